#pragma once
// Requests from another program of the same user to the running program:
// an identifier and at most 260 bytes, answered accepted or refused, over a
// per-user local socket. Only this user's programs take part: the socket's
// folder must be this user's alone, and each side checks the other's
// credentials.
//
// On Windows the request is a WM_COPYDATA message: the "path" is the
// window's title, SendCopyData sends it, and the window receives it in its
// own window procedure (CopyDataServer is Linux's alone).

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "common/Result.h"

namespace mzt {

inline constexpr size_t kMaxCopyDataBytes = 260;

// The requests: "path,port" starts the online update on that port; the
// raise request (no data) brings the running window to the front, as a
// second start of the desktop program asks before it ends.
inline constexpr uint32_t kCopyDataUpdate = 1;
inline constexpr uint32_t kCopyDataRaise = 0x4D5A5452;  // "MZTR"

// $XDG_RUNTIME_DIR/mzt-utility.sock, else copydata.sock in a folder of the
// user's own under the temporary folder (created by CopyDataServer::Start).
std::filesystem::path CopyDataSocketPath();

class CopyDataServer {
 public:
  // Answers true to accept the request; runs on a thread of the server's,
  // one request at a time. A request that arrives meanwhile is answered
  // busy, and every client has a time limit for sending its request, so
  // that no client keeps the others out.
  using Handler = std::function<bool(uint32_t identifier, std::span<const uint8_t> data)>;

  ~CopyDataServer() { Stop(); }
  // Listens at `path`, replacing a socket left by a program that is gone.
  // Fails with kBusy when another program serves there, and with kRefused
  // when the socket's folder is not a 0700 folder of this user's own (a
  // missing last folder is created so).
  Result<void> Start(const std::filesystem::path& path, Handler handler);
  void Stop();

 private:
  void Serve(std::stop_token stop);
  // Hands a whole request to the handler, or answers busy while it works.
  void Dispatch(int connection, uint32_t identifier, std::vector<uint8_t> data);

  int listener_ = -1;
  int lock_ = -1;
  std::filesystem::path path_;
  Handler handler_;
  std::jthread thread_;
  std::thread handling_;  // the handler's request; joined before the next
  std::atomic<bool> handlerBusy_{false};
};

// Sends one request; the result tells whether the program accepted it.
// Errors: kTooLarge above 260 bytes (nothing sent), kNotFound when no
// program listens, kRefused when the folder or the listening program is not
// this user's (nothing sent), kBusy when the program runs but is busy with
// another request or does not answer in time, kIo when it broke off.
Result<bool> SendCopyData(const std::filesystem::path& path, uint32_t identifier,
                          std::span<const uint8_t> data);

}  // namespace mzt
