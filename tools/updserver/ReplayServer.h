#pragma once
// The server side of a recorded session (`mzt-updserver --replay FILE`):
// each request is answered as the recording's request for the same path
// and query was, in the recorded order, with the recorded server's address
// in the answers replaced by this server's. A download is served from the
// database file the caller supplies, when its size and SHA-256 are the
// recorded ones.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "common/Result.h"
#include "recording/SessionFile.h"

namespace mzt::updserver {

class ReplayServer {
 public:
  ReplayServer(RecordedSession session, std::filesystem::path database, std::string host = "127.0.0.1",
               int port = 0);
  ~ReplayServer();
  ReplayServer(const ReplayServer&) = delete;
  ReplayServer& operator=(const ReplayServer&) = delete;

  // Checks the database file against the recording, binds and serves.
  Result<void> Start();
  void Stop();
  std::string BaseUrl() const;
  // Told each request the recording cannot answer.
  void SetComplaintListener(std::function<void(const std::string&)> listener);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace mzt::updserver
