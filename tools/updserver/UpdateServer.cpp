#include "updserver/UpdateServer.h"

#include <httplib.h>

#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <thread>

#include "updserver/DatabaseCatalog.h"

namespace mzt::updserver {
namespace {

constexpr const char* kTextType = "text/plain";
constexpr const char* kFileType = "application/octet-stream";
constexpr const char* kServerError = "6";

struct Answer {
  int status = 200;
  std::string body;
  std::string type = kTextType;
};

std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// "2024-01-05" and "12" into a version; false when either is malformed.
bool ParseClientVersion(const std::string& date, const std::string& number, HeaderVersion& out) {
  char end = 0;
  if (std::sscanf(date.c_str(), "%d-%d-%d%c", &out.year, &out.month, &out.day, &end) != 3)
    return false;
  return std::sscanf(number.c_str(), "%d%c", &out.number, &end) == 1;
}

// `length` bytes of `body` from `offset`, with `filler` past its end.
std::string PaddedPiece(const std::string& body, size_t offset, size_t length, char filler) {
  std::string piece(length, filler);
  if (offset < body.size()) body.copy(piece.data(), std::min(length, body.size() - offset), offset);
  return piece;
}

}  // namespace

struct UpdateServer::Impl {
  UpdateServerOptions options;
  httplib::Server server;
  std::thread thread;
  int port = 0;

  mutable std::mutex mutex;
  std::condition_variable stopSignal;
  bool stopping = false;
  std::map<Page, PageFault> faults;
  std::vector<SuccessReport> reports;
  std::vector<std::string> requests;
  std::function<void(const std::string&)> logListener;

  void Log(const std::string& line) {
    std::function<void(const std::string&)> listener;
    {
      std::lock_guard lock(mutex);
      listener = logListener;
    }
    if (listener) listener(line);
  }

  // Waits a slow body's pause; false when the server stops meanwhile.
  bool PauseUnlessStopping(std::chrono::microseconds delay) {
    std::unique_lock lock(mutex);
    return !stopSignal.wait_for(lock, delay, [this] { return stopping; });
  }

  std::filesystem::path RegionFolder(const std::string& region) const {
    return options.databaseFolder / region;
  }

  static std::string BaseUrlOf(const httplib::Request& request, const std::string& fallback) {
    std::string host = request.get_header_value("Host");
    return host.empty() ? fallback : "http://" + host + "/";
  }

  Answer VersionCheck(const httplib::Request& request, const std::string& region) {
    HeaderVersion asked;
    if (!ParseClientVersion(request.get_param_value("DBVer"), request.get_param_value("Num"),
                            asked))
      return {200, kServerError};
    auto offered = NewestDatabase(RegionFolder(region));
    if (!offered) return {200, "4"};
    if (!(asked < offered->version)) return {200, "2"};
    return {200, "3," + offered->DateText() + "," + std::to_string(offered->version.number)};
  }

  Answer DownloadAddress(const httplib::Request& request, const std::string& region,
                         const std::string& baseUrl) {
    if (request.get_param_value("SN").empty()) return {200, kServerError};
    auto offered = NewestDatabase(RegionFolder(region));
    if (!offered) return {200, "4"};
    return {200, "3," + baseUrl + "db/" + region + "/" + offered->path.filename().string()};
  }

  Answer Download(const std::string& region, const std::string& name) {
    auto file = RegionFolder(region) / name;
    // Only databases of the folder itself are served.
    if (name.find('/') != std::string::npos || name == ".." || !ReadHeaderVersion(file))
      return {404, "not found"};
    return {200, ReadWholeFile(file), kFileType};
  }

  Answer SuccessReportPage(const httplib::Request& request, const std::string& region) {
    std::string deviceId = request.get_param_value("SN");
    if (deviceId.empty()) return {200, kServerError};
    {
      std::lock_guard lock(mutex);
      reports.push_back({region, deviceId});
    }
    Log("success " + region + " " + deviceId);
    return {200, "7"};
  }

  void Deliver(Page page, Answer answer, httplib::Response& response) {
    PageFault fault;
    {
      std::lock_guard lock(mutex);
      if (auto found = faults.find(page); found != faults.end()) fault = found->second;
    }
    if (fault.status != 200) {
      answer.status = fault.status;
      answer.body = "status " + std::to_string(fault.status);
      answer.type = kTextType;
    }
    if (fault.body) answer.body = *fault.body;
    response.status = answer.status;
    if (!fault.location.empty()) response.set_header("Location", fault.location);

    auto body = std::make_shared<std::string>(std::move(answer.body));
    if (fault.hugeBytes > 0) {
      // The answer, then commas, made as they are sent.
      response.set_content_provider(
          std::max(fault.hugeBytes, body->size()), answer.type,
          [body](size_t offset, size_t length, httplib::DataSink& sink) {
            std::string piece = PaddedPiece(*body, offset, std::min<size_t>(length, 64 << 10), ',');
            return sink.write(piece.data(), piece.size());
          });
      return;
    }
    if (fault.dripRate > 0) {
      // Never done: the answer, then blanks, in pieces small enough never to look stalled.
      size_t pieceSize = std::max<size_t>(1, fault.dripRate / 20);
      std::chrono::microseconds pause(1000000 * pieceSize / fault.dripRate);
      response.set_chunked_content_provider(
          answer.type, [this, body, pieceSize, pause](size_t offset, httplib::DataSink& sink) {
            if (offset > 0 && !PauseUnlessStopping(pause)) return false;
            std::string piece = PaddedPiece(*body, offset, pieceSize, ' ');
            return sink.write(piece.data(), piece.size());
          });
      return;
    }
    size_t pieceSize = std::max<size_t>(1, fault.pieceSize);
    size_t sendLimit = fault.truncate ? body->size() / 2 : body->size();
    auto delay = fault.pieceDelay;
    // Sends the next piece from `offset`; false ends the connection early.
    auto sendPiece = [this, body, pieceSize, sendLimit, delay](size_t offset,
                                                              httplib::DataSink& sink) {
      if (offset >= sendLimit) return false;
      if (delay.count() > 0 && !PauseUnlessStopping(delay)) return false;
      size_t length = std::min(pieceSize, sendLimit - offset);
      return sink.write(body->data() + offset, length);
    };
    if (fault.unframed) {
      response.set_content_provider(
          answer.type, [sendPiece](size_t offset, httplib::DataSink& sink) {
            return sendPiece(offset, sink);
          });
    } else if (fault.lengthShortBy > 0) {
      // The whole body at once, however much shorter the length said it was.
      response.set_content_provider(
          body->size() - std::min(fault.lengthShortBy, body->size()), answer.type,
          [body](size_t offset, size_t, httplib::DataSink& sink) {
            return offset == 0 && sink.write(body->data(), body->size());
          });
    } else if (fault.chunked) {
      response.set_chunked_content_provider(
          answer.type, [body, sendPiece, sendLimit](size_t offset, httplib::DataSink& sink) {
            if (offset >= sendLimit) {
              if (sendLimit == body->size()) sink.done();
              return sendLimit == body->size();
            }
            return sendPiece(offset, sink);
          });
    } else if (fault.truncate || delay.count() > 0) {
      response.set_content_provider(
          body->size(), answer.type,
          [sendPiece](size_t offset, size_t, httplib::DataSink& sink) {
            return sendPiece(offset, sink);
          });
    } else {
      response.set_content(*body, answer.type);
    }
  }

  void Route(const std::string& pattern, Page page,
             std::function<Answer(const httplib::Request&)> answer) {
    server.Get(pattern, [this, page, answer](const httplib::Request& request,
                                             httplib::Response& response) {
      {
        std::lock_guard lock(mutex);
        requests.push_back(request.target);
      }
      Log("GET " + request.target);
      Deliver(page, answer(request), response);
    });
  }

  void InstallRoutes() {
    for (const auto& [infix, region] : {std::pair{"", "tw"}, std::pair{"C", "cn"}}) {
      std::string suffix = std::string(infix) + "_NEW.aspx";
      std::string regionName = region;
      Route("/CheckDBVersion" + suffix, Page::kVersionCheck,
            [this, regionName](const httplib::Request& request) {
              return VersionCheck(request, regionName);
            });
      Route("/DBDownload" + suffix, Page::kDownloadAddress,
            [this, regionName](const httplib::Request& request) {
              return DownloadAddress(request, regionName, BaseUrlOf(request, BaseUrl()));
            });
      Route("/SuccessPage" + suffix, Page::kSuccessReport,
            [this, regionName](const httplib::Request& request) {
              return SuccessReportPage(request, regionName);
            });
    }
    Route(R"(/db/(tw|cn)/([^/]+))", Page::kDownload, [this](const httplib::Request& request) {
      return Download(request.matches[1], request.matches[2]);
    });
  }

  std::string BaseUrl() const {
    return "http://" + options.host + ":" + std::to_string(port) + "/";
  }
};

UpdateServer::UpdateServer(UpdateServerOptions options) : impl_(std::make_unique<Impl>()) {
  impl_->options = std::move(options);
  impl_->InstallRoutes();
}

UpdateServer::~UpdateServer() { Stop(); }

Result<void> UpdateServer::Start() {
  const auto& options = impl_->options;
  if (options.port == 0) {
    impl_->port = impl_->server.bind_to_any_port(options.host);
  } else if (impl_->server.bind_to_port(options.host, options.port)) {
    impl_->port = options.port;
  } else {
    impl_->port = -1;
  }
  if (impl_->port <= 0)
    return Error{ErrorCode::kIo, "cannot listen on " + options.host + ":" +
                                     std::to_string(options.port)};
  impl_->thread = std::thread([this] { impl_->server.listen_after_bind(); });
  // A stop before the accept loop runs would be lost: wait for it.
  while (!impl_->server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return Success();
}

void UpdateServer::Stop() {
  {
    std::lock_guard lock(impl_->mutex);
    impl_->stopping = true;
  }
  impl_->stopSignal.notify_all();
  impl_->server.stop();
  if (impl_->thread.joinable()) impl_->thread.join();
}

int UpdateServer::Port() const { return impl_->port; }

std::string UpdateServer::BaseUrl() const { return impl_->BaseUrl(); }

void UpdateServer::SetFault(Page page, PageFault fault) {
  std::lock_guard lock(impl_->mutex);
  impl_->faults[page] = std::move(fault);
}

void UpdateServer::ClearFaults() {
  std::lock_guard lock(impl_->mutex);
  impl_->faults.clear();
}

std::vector<SuccessReport> UpdateServer::SuccessReports() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->reports;
}

std::vector<std::string> UpdateServer::Requests() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->requests;
}

void UpdateServer::SetLogListener(std::function<void(const std::string&)> listener) {
  std::lock_guard lock(impl_->mutex);
  impl_->logListener = std::move(listener);
}

}  // namespace mzt::updserver
