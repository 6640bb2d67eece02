#include "platform/posix/CurlHttpClient.h"

#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <mutex>
#include <optional>
#include <utility>

#include "common/BuildConfig.h"
#include "common/FieldReader.h"
#include "common/TextFill.h"
#include "common/Timing.h"
#include "platform/SystemError.h"
#include "platform/Translation.h"

namespace mzt {
namespace {

using Clock = std::chrono::steady_clock;

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct UrlDeleter {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

std::string UserAgent() {
  return "MZT-Utility/" + std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) +
         "." + std::to_string(kVersionBuild) + "." + std::to_string(kVersionRevision);
}

std::string Trim(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n";
  size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  size_t last = text.find_last_not_of(kBlanks);
  return std::string(text.substr(first, last - first + 1));
}

// Whether curl reads "http://host:port" back as exactly that host and port,
// so that user info, paths or stray characters in the host are refused.
bool IsUsableProxy(const std::string& host, int port) {
  if (host.empty() || port <= 0 || port > 65535) return false;
  std::unique_ptr<CURLU, UrlDeleter> url(curl_url());
  if (!url) return false;
  std::string text = "http://" + host + ":" + std::to_string(port);
  if (curl_url_set(url.get(), CURLUPART_URL, text.c_str(), 0) != CURLUE_OK) return false;
  char* parsedHost = nullptr;
  char* parsedPort = nullptr;
  bool same = curl_url_get(url.get(), CURLUPART_HOST, &parsedHost, 0) == CURLUE_OK &&
              curl_url_get(url.get(), CURLUPART_PORT, &parsedPort, 0) == CURLUE_OK &&
              strcasecmp(parsedHost, host.c_str()) == 0 && std::to_string(port) == parsedPort;
  curl_free(parsedHost);
  curl_free(parsedPort);
  return same;
}

// The proxy types curl speaks, by the scheme the user wrote.
std::optional<long> ProxyType(const std::string& scheme) {
  static const std::pair<const char*, long> kTypes[] = {
      {"http", CURLPROXY_HTTP},     {"https", CURLPROXY_HTTPS},
      {"socks4", CURLPROXY_SOCKS4}, {"socks4a", CURLPROXY_SOCKS4A},
      {"socks5", CURLPROXY_SOCKS5}, {"socks5h", CURLPROXY_SOCKS5_HOSTNAME}};
  for (const auto& [name, type] : kTypes)
    if (scheme == name) return type;
  return std::nullopt;
}

}  // namespace

CurlHttpClient::CurlHttpClient(const HttpClientOptions& options) : options_(options) {
  InitCurlOnce();
}

Result<void> CurlHttpClient::SetProxy(const ProxyAddress& proxy, const std::string& bypassList) {
  std::string host = proxy.host;
  if (host.starts_with("//")) host.erase(0, 2);
  if (!IsUsableProxy(host, proxy.port))
    return Error{ErrorCode::kRefused,
                 Fill(Tr("unusable proxy {1}:{2}"), {proxy.host, std::to_string(proxy.port)})};
  auto type = ProxyType(proxy.scheme);
  if (!type)
    return Error{ErrorCode::kRefused, Fill(Tr("the proxy type {1} is not supported"), {proxy.scheme})};
  proxyHost_ = host;
  proxyPort_ = proxy.port;
  proxyType_ = *type;
  proxyUser_ = proxy.user;
  proxyPassword_ = proxy.password;
  bypassList_ = bypassList;
  return Success();
}

void CurlHttpClient::SetProgressCallback(ProgressCallback callback) {
  progress_ = std::move(callback);
}

Result<HttpResponse> CurlHttpClient::Get(const std::string& url, size_t limit) {
  std::string body;
  Transfer transfer;
  transfer.body = &body;
  transfer.limit = limit;
  auto result = Perform(url, transfer, Delay::kHttpAnswerDeadline);
  if (result) result.Value().body = std::move(body);
  return result;
}

Result<HttpResponse> CurlHttpClient::GetToFile(const std::string& url,
                                               const std::filesystem::path& file) {
  status_.reset();
  headers_.clear();
  Transfer transfer;
  // A new file only: whatever already has the name, a link too, is left alone.
  transfer.fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (transfer.fd < 0) {
    int code = errno;
    return Error{ErrorCode::kIo, Fill(Tr("creating {1}"), {file.string()}) + ": " + SystemErrorText(code), code};
  }
  transfer.limit = options_.maxBodyBytes;
  transfer.checkRate = true;
  auto result = Perform(url, transfer, Delay::kHttpDownloadDeadline);
  // A complete download must also be on disk before anyone renames it into place.
  if (result && ::fsync(transfer.fd) != 0 && transfer.writeErrno == 0) transfer.writeErrno = errno;
  if (::close(transfer.fd) != 0 && result && transfer.writeErrno == 0) transfer.writeErrno = errno;
  if (result && transfer.writeErrno != 0)
    return Error{ErrorCode::kIo,
                 Fill(Tr("writing {1}"), {file.string()}) + ": " + SystemErrorText(transfer.writeErrno),
                 transfer.writeErrno};
  return result;
}

std::optional<int> CurlHttpClient::StatusCode() const { return status_; }

std::optional<std::string> CurlHttpClient::ResponseHeader(std::string_view name) const {
  for (const auto& [key, value] : headers_) {
    if (key.size() == name.size() && strncasecmp(key.data(), name.data(), key.size()) == 0)
      return value;
  }
  return std::nullopt;
}

Result<HttpResponse> CurlHttpClient::Perform(const std::string& url, Transfer& transfer,
                                             Delay deadline) {
  status_.reset();
  headers_.clear();
  std::unique_ptr<CURL, EasyDeleter> handle(curl_easy_init());
  if (!handle) return Error{ErrorCode::kNetwork, Tr("the HTTP client could not start")};
  CURL* curl = handle.get();
  char errorText[CURL_ERROR_SIZE] = {};
  std::string agent = UserAgent();

  transfer.client = this;
  transfer.startTime = transfer.checkpointTime = Clock::now();
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_USERAGENT, agent.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  // A redirect keeps the scheme: https never falls back to plain http, nor
  // does http turn into anything else on the server's word.
  const bool secure = url.size() > 6 && strncasecmp(url.c_str(), "https:", 6) == 0;
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS,
                   static_cast<long>(Duration(Delay::kHttpConnectTimeout).count()));
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(Duration(deadline).count()));
  // An answer longer than its limit is cut, not refused; only a download has a cap.
  if (!transfer.body) {
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE,
                     static_cast<curl_off_t>(std::min<uint64_t>(
                         transfer.limit, std::numeric_limits<curl_off_t>::max())));
  }
  // An empty proxy keeps curl from taking one from the environment on its own.
  curl_easy_setopt(curl, CURLOPT_PROXY, proxyHost_.c_str());
  if (!proxyHost_.empty()) {
    curl_easy_setopt(curl, CURLOPT_PROXYPORT, static_cast<long>(proxyPort_));
    curl_easy_setopt(curl, CURLOPT_PROXYTYPE, proxyType_);
    curl_easy_setopt(curl, CURLOPT_NOPROXY, bypassList_.c_str());
    if (!proxyUser_.empty()) {
      curl_easy_setopt(curl, CURLOPT_PROXYUSERNAME, proxyUser_.c_str());
      curl_easy_setopt(curl, CURLOPT_PROXYPASSWORD, proxyPassword_.c_str());
    }
  }
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &CurlHttpClient::OnHeader);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &CurlHttpClient::OnBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &CurlHttpClient::OnTransferInfo);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);

  CURLcode rc = curl_easy_perform(curl);
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  if (status > 0) status_ = static_cast<int>(status);
  if (rc == CURLE_OK || (transfer.cut && rc == CURLE_WRITE_ERROR))
    return HttpResponse{static_cast<int>(status), {}, transfer.received, transfer.cut};

  std::string detail = errorText[0] ? errorText : curl_easy_strerror(rc);
  if (transfer.tooLarge || rc == CURLE_FILESIZE_EXCEEDED)
    return Error{ErrorCode::kTooLarge,
                 Fill(Tr("the body exceeds {1} bytes"), {std::to_string(transfer.limit)})};
  if (transfer.writeErrno != 0)
    return Error{ErrorCode::kIo, Tr("writing the body") + (": " + SystemErrorText(transfer.writeErrno)),
                 transfer.writeErrno};
  if (transfer.tooSlow)
    return Error{ErrorCode::kTimeout, Fill(Tr("the download averaged below {1} bytes a second"),
                                           {std::to_string(kHttpMinimumDownloadRate)})};
  if (transfer.stalled) return Error{ErrorCode::kTimeout, Tr("the transfer stalled")};
  if (rc == CURLE_OPERATION_TIMEDOUT) return Error{ErrorCode::kTimeout, detail};
  if (rc == CURLE_UNSUPPORTED_PROTOCOL) {
    if (auto target = ResponseHeader("Location"); target && status_ && *status_ / 100 == 3)
      return Error{ErrorCode::kRefused,
                   Fill(Tr("refused the redirect from {1} to {2}: another scheme"), {url, *target})};
    return Error{ErrorCode::kRefused, detail};
  }
  long osError = 0;
  curl_easy_getinfo(curl, CURLINFO_OS_ERRNO, &osError);
  return Error{ErrorCode::kNetwork, detail, static_cast<int>(osError)};
}

size_t CurlHttpClient::OnBody(char* data, size_t size, size_t count, void* context) {
  auto& transfer = *static_cast<Transfer*>(context);
  size_t length = size * count;
  size_t taken = length;
  if (transfer.body) {
    // An answer is read only as far as its caller uses it.
    uint64_t room = transfer.limit - transfer.received;
    if (length > room) {
      taken = static_cast<size_t>(room);
      transfer.cut = true;
    }
    transfer.body->append(data, taken);
  } else {
    // The cap is kept here too: curl's own size limit does not hold when the length is unknown.
    if (transfer.received + length > transfer.limit) {
      transfer.tooLarge = true;
      return 0;
    }
    for (size_t done = 0; done < length;) {
      ssize_t written = ::write(transfer.fd, data + done, length - done);
      if (written < 0) {
        if (errno == EINTR) continue;
        transfer.writeErrno = errno;
        return 0;
      }
      done += static_cast<size_t>(written);
    }
  }
  transfer.received += taken;
  if (const auto& progress = transfer.client->progress_) {
    auto total = transfer.client->ResponseHeader("Content-Length");
    long long declared = total ? ParseDecimal(*total) : 0;
    progress(transfer.received, declared > 0 ? static_cast<uint64_t>(declared) : 0);
  }
  // Taking less than was given ends the transfer.
  return taken;
}

size_t CurlHttpClient::OnHeader(char* data, size_t size, size_t count, void* context) {
  auto& transfer = *static_cast<Transfer*>(context);
  size_t length = size * count;
  std::string_view line(data, length);
  auto& headers = transfer.client->headers_;
  // Each response of a redirect chain starts with its status line.
  if (line.starts_with("HTTP/")) {
    headers.clear();
  } else if (size_t colon = line.find(':'); colon != std::string_view::npos) {
    headers.emplace_back(Trim(line.substr(0, colon)), Trim(line.substr(colon + 1)));
  }
  return length;
}

int CurlHttpClient::OnTransferInfo(void* context, curl_off_t, curl_off_t downloaded, curl_off_t,
                                   curl_off_t) {
  auto& transfer = *static_cast<Transfer*>(context);
  // A transfer below 1 byte per second for the whole window is given up.
  auto window = Duration(Delay::kHttpLowSpeedTime);
  auto needed = std::max<uint64_t>(1, static_cast<uint64_t>(window.count() / 1000));
  auto now = Clock::now();
  uint64_t bytes = downloaded > 0 ? static_cast<uint64_t>(downloaded) : 0;
  // A drip of a few bytes a second is no stall, yet would never end.
  std::chrono::duration<double> elapsed = now - transfer.startTime;
  if (transfer.checkRate && elapsed >= Duration(Delay::kHttpRateGrace) &&
      static_cast<double>(bytes) < kHttpMinimumDownloadRate * elapsed.count()) {
    transfer.tooSlow = true;
    return 1;
  }
  if (bytes >= transfer.checkpointBytes + needed) {
    transfer.checkpointBytes = bytes;
    transfer.checkpointTime = now;
  } else if (now - transfer.checkpointTime >= window) {
    transfer.stalled = true;
    return 1;
  }
  return 0;
}

std::unique_ptr<IHttpClient> CreateHttpClient(const HttpClientOptions& options) {
  return std::make_unique<CurlHttpClient>(options);
}

std::string EscapeUrlComponent(std::string_view text) {
  InitCurlOnce();
  int length = static_cast<int>(std::min<size_t>(text.size(), std::numeric_limits<int>::max()));
  char* escaped = curl_easy_escape(nullptr, text.data(), length);
  if (!escaped) return {};
  std::string result = escaped;
  curl_free(escaped);
  return result;
}

}  // namespace mzt
