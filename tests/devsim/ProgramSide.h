#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace mzt::test {

// The program's end of the simulated device's port: opened by path as the
// program opens it, raw, with the program's own sentence framer for reading.
class ProgramSide {
 public:
  explicit ProgramSide(const std::string& path);
  ~ProgramSide();
  ProgramSide(const ProgramSide&) = delete;
  ProgramSide& operator=(const ProgramSide&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  void Close();
  bool Write(std::string_view bytes);
  // The reply sentences (from '$' through CR LF) that arrive before `count`
  // came or the time passed, framed as the program frames them.
  std::vector<std::string> ReadReplies(size_t count, std::chrono::milliseconds timeout);
  std::string ReadReply(std::chrono::milliseconds timeout = std::chrono::seconds(5));
  // Every byte that arrives within the time.
  std::string ReadRaw(std::chrono::milliseconds window);
  // Whether the device end went away (hang-up or EIO) within the time.
  bool SeesHangup(std::chrono::milliseconds timeout);

 private:
  int fd_ = -1;
  std::string pending_;  // bytes read but not yet framed
};

}  // namespace mzt::test
