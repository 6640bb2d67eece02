#include "updserver/ReplayServer.h"

#include <httplib.h>

#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/Sha256.h"

namespace mzt::updserver {
namespace {

// "http://host:port" of an address, and what follows it ("/path?query").
std::pair<std::string, std::string> SplitUrl(const std::string& url) {
  size_t scheme = url.find("://");
  size_t path = url.find('/', scheme == std::string::npos ? 0 : scheme + 3);
  if (path == std::string::npos) return {url, "/"};
  return {url.substr(0, path), url.substr(path)};
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  if (from.empty()) return text;
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

}  // namespace

struct ReplayServer::Impl {
  RecordedSession session;
  std::filesystem::path database;
  std::string host;
  int port = 0;
  httplib::Server server;
  std::thread thread;
  std::mutex mutex;
  std::vector<const SessionLine*> exchanges;
  std::vector<bool> answered;
  std::string recordedOrigin;
  std::string databaseError;  // why the supplied file is not the recorded download
  std::function<void(const std::string&)> complain;

  std::string Origin() const { return "http://" + host + ":" + std::to_string(port); }

  void Complain(const std::string& line) {
    if (complain) complain(line);
  }

  // The first unanswered exchange for this path and query, else the last answered one.
  const SessionLine* Find(const std::string& target) {
    std::lock_guard lock(mutex);
    const SessionLine* again = nullptr;
    for (size_t i = 0; i < exchanges.size(); ++i) {
      if (SplitUrl(exchanges[i]->Text("url")).second != target) continue;
      if (!answered[i]) {
        answered[i] = true;
        return exchanges[i];
      }
      again = exchanges[i];
    }
    return again;
  }

  void Answer(const httplib::Request& request, httplib::Response& response) {
    const SessionLine* line = Find(request.target);
    if (!line) {
      Complain("no recorded request for " + request.target);
      response.status = 404;
      return;
    }
    if (!line->Has("status")) {
      Complain("the recorded request for " + request.target + " got no answer then (" + line->Text("error") + ")");
      response.status = 503;
      return;
    }
    response.status = static_cast<int>(line->Number("status"));
    std::string type = "text/html";
    for (const std::string& header : line->fields.at("headers").list) {
      std::string name = header.substr(0, header.find(':'));
      std::string value = header.size() > name.size() + 2 ? header.substr(name.size() + 2) : std::string();
      if (name == "Content-Type") type = value;
      else if (name == "Location") response.set_header(name, Replaced(value, recordedOrigin, Origin()));
    }
    if (!line->Has("download")) {
      response.set_content(Replaced(line->bytes, recordedOrigin, Origin()), type);
      return;
    }
    if (!databaseError.empty()) {
      Complain(databaseError);
      response.status = 404;
      return;
    }
    std::ifstream in(database, std::ios::binary);
    response.set_content(std::string(std::istreambuf_iterator<char>(in), {}), type);
  }
};

ReplayServer::ReplayServer(RecordedSession session, std::filesystem::path database, std::string host, int port)
    : impl_(std::make_unique<Impl>()) {
  impl_->session = std::move(session);
  impl_->database = std::move(database);
  impl_->host = std::move(host);
  impl_->port = port;
  for (SessionLine& line : impl_->session.lines) {
    if (line.kind != "http") continue;
    line.fields["headers"].kind = JsonValue::Kind::kList;  // none recorded: an empty list
    if (impl_->recordedOrigin.empty()) impl_->recordedOrigin = SplitUrl(line.Text("url")).first;
    impl_->exchanges.push_back(&line);
  }
  impl_->answered.assign(impl_->exchanges.size(), false);
}

ReplayServer::~ReplayServer() { Stop(); }

Result<void> ReplayServer::Start() {
  for (const SessionLine* line : impl_->exchanges) {
    if (!line->Has("download") || !line->Has("size")) continue;
    std::string recorded = std::to_string(line->Number("size")) + " bytes, SHA-256 " + line->Text("sha256");
    if (impl_->database.empty()) {
      impl_->databaseError = "the recording downloaded a database (" + recorded + "): give it with --database";
      break;
    }
    auto digest = Sha256OfFile(impl_->database);
    if (!digest) return std::move(digest).TakeError();
    if (digest.Value().sha256 != line->Text("sha256") ||
        static_cast<int64_t>(digest.Value().size) != line->Number("size"))
      return Error{ErrorCode::kInvalidArgument, impl_->database.string() + " is not the recorded download (" +
                                                    recorded + ")"};
  }
  impl_->server.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
    impl_->Answer(request, response);
  });
  if (impl_->port == 0) impl_->port = impl_->server.bind_to_any_port(impl_->host);
  else if (!impl_->server.bind_to_port(impl_->host, impl_->port)) impl_->port = -1;
  if (impl_->port <= 0) return Error{ErrorCode::kIo, "cannot listen on " + impl_->host};
  impl_->thread = std::thread([this] { impl_->server.listen_after_bind(); });
  while (!impl_->server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return Success();
}

void ReplayServer::Stop() {
  impl_->server.stop();
  if (impl_->thread.joinable()) impl_->thread.join();
}

std::string ReplayServer::BaseUrl() const { return impl_->Origin() + "/"; }

void ReplayServer::SetComplaintListener(std::function<void(const std::string&)> listener) {
  impl_->complain = std::move(listener);
}

}  // namespace mzt::updserver
