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

#include "common/Result.h"

namespace mzt {

inline constexpr size_t kMaxCopyDataBytes = 260;

// $XDG_RUNTIME_DIR/mzt-utility.sock, else copydata.sock in a folder of the
// user's own under the temporary folder (created by CopyDataServer::Start).
std::filesystem::path CopyDataSocketPath();

class CopyDataServer {
 public:
  // Answers true to accept the request; runs on the server's thread.
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
  void Answer(int connection);

  int listener_ = -1;
  int lock_ = -1;
  std::filesystem::path path_;
  Handler handler_;
  std::jthread thread_;
};

// Sends one request; the result tells whether the program accepted it.
// Errors: kTooLarge above 260 bytes (nothing sent), kNotFound when no
// program listens, kRefused when the folder or the listening program is not
// this user's (nothing sent), kIo when the program does not answer.
Result<bool> SendCopyData(const std::filesystem::path& path, uint32_t identifier,
                          std::span<const uint8_t> data);

}  // namespace mzt
