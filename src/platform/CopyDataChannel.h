#pragma once
// Requests from another program of the same user to the running program:
// an identifier and at most 260 bytes, answered accepted or refused, over a
// per-user local socket.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <thread>

#include "common/Result.h"

namespace mzt {

inline constexpr size_t kMaxCopyDataBytes = 260;

// $XDG_RUNTIME_DIR/mzt-utility.sock, else a 0700 folder of the user's own
// under the temporary folder.
std::filesystem::path CopyDataSocketPath();

class CopyDataServer {
 public:
  // Answers true to accept the request; runs on the server's thread.
  using Handler = std::function<bool(uint32_t identifier, std::span<const uint8_t> data)>;

  ~CopyDataServer() { Stop(); }
  // Listens at `path`, replacing a socket left by a program that is gone;
  // fails (kBusy) when another program is listening there.
  Result<void> Start(const std::filesystem::path& path, Handler handler);
  void Stop();

 private:
  void Serve(std::stop_token stop);
  void Answer(int connection);

  int listener_ = -1;
  std::filesystem::path path_;
  Handler handler_;
  std::jthread thread_;
};

// Sends one request; the result tells whether the program accepted it.
// Payloads above 260 bytes are refused without sending.
Result<bool> SendCopyData(const std::filesystem::path& path, uint32_t identifier,
                          std::span<const uint8_t> data);

}  // namespace mzt
