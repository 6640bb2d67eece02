#pragma once
// A local update server: the version check, download-address and success
// pages of both regions and the database files, from a folder of databases
// per region ("tw", "cn"), with faults to inject per page.

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/Result.h"

namespace mzt::updserver {

enum class Page { kVersionCheck, kDownloadAddress, kDownload, kSuccessReport };

// How a page answers instead of its normal answer. The default answers normally.
struct PageFault {
  int status = 200;
  std::optional<std::string> body{};  // replaces the answer or the file
  bool truncate = false;            // announces the whole length, sends half, hangs up
  std::chrono::milliseconds pieceDelay{0};  // slow body: a pause before each piece
  size_t pieceSize = 4096;
  bool chunked = false;             // no Content-Length
  bool unframed = false;            // no Content-Length, no chunks: the body ends as the connection closes
  size_t lengthShortBy = 0;         // announces a Content-Length this much short, sends the whole body
  std::string location{};           // a redirect's target, with a 3xx status
  size_t dripRate = 0;    // bytes a second: the body, then blanks for ever, without a length
  size_t hugeBytes = 0;   // the body padded with commas to this length
};

struct SuccessReport {
  std::string region;  // "tw" or "cn"
  std::string deviceId;
};

struct UpdateServerOptions {
  std::string host = "127.0.0.1";
  int port = 0;  // 0: any free port
  std::filesystem::path databaseFolder{};
};

class UpdateServer {
 public:
  explicit UpdateServer(UpdateServerOptions options);
  ~UpdateServer();
  UpdateServer(const UpdateServer&) = delete;
  UpdateServer& operator=(const UpdateServer&) = delete;

  // Binds and serves on a thread of its own until Stop.
  Result<void> Start();
  void Stop();

  int Port() const;
  // "http://host:port/"
  std::string BaseUrl() const;

  void SetFault(Page page, PageFault fault);
  void ClearFaults();

  std::vector<SuccessReport> SuccessReports() const;
  // Every request's target ("/page?query"), in order of arrival.
  std::vector<std::string> Requests() const;
  // Called with a line for each request, from the serving threads.
  void SetLogListener(std::function<void(const std::string&)> listener);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace mzt::updserver
