#include "platform/windows/WinHttpClient.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>

#include "common/BuildConfig.h"
#include "common/FieldReader.h"
#include "common/TextFill.h"
#include "platform/SystemError.h"
#include "platform/TextCodec.h"
#include "platform/Translation.h"

namespace mzt {
namespace {

using Clock = std::chrono::steady_clock;

constexpr DWORD kReadPiece = 64 * 1024;
constexpr DWORD kMaxRedirects = 10;

struct InternetCloser {
  void operator()(HINTERNET handle) const { ::WinHttpCloseHandle(handle); }
};
using Internet = std::unique_ptr<void, InternetCloser>;

std::wstring UserAgent() {
  return L"MZT-Utility/" + std::to_wstring(kVersionMajor) + L"." + std::to_wstring(kVersionMinor) +
         L"." + std::to_wstring(kVersionBuild) + L"." + std::to_wstring(kVersionRevision);
}

std::string Trim(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n";
  size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  size_t last = text.find_last_not_of(kBlanks);
  return std::string(text.substr(first, last - first + 1));
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

bool IsSecureUrl(const std::wstring& url) {
  return url.size() > 6 && EqualsNoCase(WideToUtf8(url.substr(0, 6)), "https:");
}

// The address of the response in hand, after any redirects.
std::optional<std::wstring> FinalUrl(HINTERNET request) {
  DWORD bytes = 0;
  ::WinHttpQueryOption(request, WINHTTP_OPTION_URL, nullptr, &bytes);
  if (bytes == 0) return std::nullopt;
  std::wstring url(bytes / sizeof(wchar_t), L'\0');
  if (!::WinHttpQueryOption(request, WINHTTP_OPTION_URL, url.data(), &bytes)) return std::nullopt;
  url.resize(bytes / sizeof(wchar_t));
  while (!url.empty() && url.back() == L'\0') url.pop_back();
  return url;
}

struct UrlParts {
  bool secure = false;
  std::wstring host;
  INTERNET_PORT port = 0;
  std::wstring path;  // with the query
};

// Only http and https are fetched; anything else is refused before a request.
Result<UrlParts> SplitUrl(const std::string& url) {
  std::wstring wide = Utf8ToWide(url);
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  parts.dwSchemeLength = static_cast<DWORD>(-1);
  if (wide.empty() || !::WinHttpCrackUrl(wide.c_str(), static_cast<DWORD>(wide.size()), 0, &parts))
    return Error{ErrorCode::kRefused, Fill(Tr("not an http or https address: {1}"), {url})};
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)
    return Error{ErrorCode::kRefused, Fill(Tr("not an http or https address: {1}"), {url})};
  UrlParts split;
  split.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  split.host.assign(parts.lpszHostName, parts.dwHostNameLength);
  split.port = parts.nPort;
  split.path.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
  split.path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  if (split.path.empty()) split.path = L"/";
  if (split.host.empty()) return Error{ErrorCode::kRefused, Fill(Tr("no host in {1}"), {url})};
  return split;
}

// Whether "http://host:port/" reads back as exactly that host and port, so
// that user info, paths or stray characters in the host are refused.
bool IsUsableProxy(const std::string& host, int port) {
  if (host.empty() || port <= 0 || port > 65535) return false;
  if (host.find_first_of("/@?#\\ ") != std::string::npos) return false;
  auto parts = SplitUrl("http://" + host + ":" + std::to_string(port) + "/");
  return parts && EqualsNoCase(WideToUtf8(parts.Value().host), host) &&
         parts.Value().port == port;
}

DWORD Milliseconds(Clock::duration span) {
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(span).count();
  return static_cast<DWORD>(std::clamp<long long>(ms, 1, 0x7FFFFFFF));
}

Error NetworkError(const char* what, DWORD code) {
  ErrorCode kind = code == ERROR_WINHTTP_TIMEOUT ? ErrorCode::kTimeout : ErrorCode::kNetwork;
  return Error{kind, std::string(what) + ": " + SystemErrorText(static_cast<int>(code)),
               kind == ErrorCode::kTimeout ? 0 : static_cast<int>(code)};
}

}  // namespace

Result<void> WinHttpClient::SetProxy(const ProxyAddress& proxy, const std::string& bypassList) {
  std::string host = proxy.host;
  if (host.starts_with("//")) host.erase(0, 2);
  if (!IsUsableProxy(host, proxy.port))
    return Error{ErrorCode::kRefused,
                 Fill(Tr("unusable proxy {1}:{2}"), {proxy.host, std::to_string(proxy.port)})};
  // WinHTTP speaks to HTTP proxies only.
  if (proxy.scheme != "http")
    return Error{ErrorCode::kRefused, Fill(Tr("the proxy type {1} is not supported"), {proxy.scheme})};
  proxy_ = Utf8ToWide(host + ":" + std::to_string(proxy.port));
  proxyUser_ = Utf8ToWide(proxy.user);
  proxyPassword_ = Utf8ToWide(proxy.password);
  bypass_ = Utf8ToWide(bypassList);
  std::replace(bypass_.begin(), bypass_.end(), L',', L';');
  return Success();
}

void WinHttpClient::SetProgressCallback(ProgressCallback callback) {
  progress_ = std::move(callback);
}

Result<HttpResponse> WinHttpClient::Get(const std::string& url, size_t limit) {
  std::string body;
  Sink sink;
  sink.body = &body;
  sink.limit = limit;
  auto result = Perform(url, sink, Delay::kHttpAnswerDeadline);
  if (result) result.Value().body = std::move(body);
  return result;
}

Result<HttpResponse> WinHttpClient::GetToFile(const std::string& url,
                                              const std::filesystem::path& file) {
  status_.reset();
  headers_.clear();
  // A new file only: whatever already has the name, a link too, is left alone.
  HANDLE handle = ::CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    int code = static_cast<int>(::GetLastError());
    return Error{ErrorCode::kIo, Fill(Tr("creating {1}"), {file.string()}) + ": " + SystemErrorText(code), code};
  }
  Sink sink;
  sink.file = handle;
  sink.limit = options_.maxBodyBytes;
  sink.checkRate = true;
  auto result = Perform(url, sink, Delay::kHttpDownloadDeadline);
  // A complete download must also be on disk before anyone renames it into place.
  int code = 0;
  if (result && !::FlushFileBuffers(handle)) code = static_cast<int>(::GetLastError());
  if (!::CloseHandle(handle) && result && code == 0) code = static_cast<int>(::GetLastError());
  if (result && code != 0)
    return Error{ErrorCode::kIo, Fill(Tr("writing {1}"), {file.string()}) + ": " + SystemErrorText(code), code};
  return result;
}

std::optional<int> WinHttpClient::StatusCode() const { return status_; }

std::optional<std::string> WinHttpClient::ResponseHeader(std::string_view name) const {
  for (const auto& [key, value] : headers_) {
    if (EqualsNoCase(key, name)) return value;
  }
  return std::nullopt;
}

void WinHttpClient::ReadHeaders(void* request) {
  headers_.clear();
  DWORD size = 0;
  ::WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                        nullptr, &size, WINHTTP_NO_HEADER_INDEX);
  if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return;
  std::wstring raw(size / sizeof(wchar_t) + 1, L'\0');
  if (!::WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                             raw.data(), &size, WINHTTP_NO_HEADER_INDEX))
    return;
  raw.resize(size / sizeof(wchar_t));
  std::string text = WideToUtf8(raw);
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + pos, end - pos);
    // The status line has no colon before its first blank.
    if (size_t colon = line.find(':'); colon != std::string_view::npos && !line.starts_with("HTTP/"))
      headers_.emplace_back(Trim(line.substr(0, colon)), Trim(line.substr(colon + 1)));
    pos = end + 1;
  }
}

Result<HttpResponse> WinHttpClient::Perform(const std::string& url, Sink& sink, Delay deadline) {
  status_.reset();
  headers_.clear();
  auto parts = SplitUrl(url);
  if (!parts) return parts.Err();
  const UrlParts& target = parts.Value();

  const auto start = Clock::now();
  const auto end = start + Duration(deadline);
  const auto stallWindow = Duration(Delay::kHttpLowSpeedTime);
  const auto connectTimeout = Duration(Delay::kHttpConnectTimeout);

  // Never the system's own proxy setting on its own: only what SetProxy was told.
  Internet session(::WinHttpOpen(UserAgent().c_str(),
                                 proxy_.empty() ? WINHTTP_ACCESS_TYPE_NO_PROXY
                                                : WINHTTP_ACCESS_TYPE_NAMED_PROXY,
                                 proxy_.empty() ? WINHTTP_NO_PROXY_NAME : proxy_.c_str(),
                                 proxy_.empty() || bypass_.empty() ? WINHTTP_NO_PROXY_BYPASS
                                                                   : bypass_.c_str(),
                                 0));
  if (!session) return NetworkError(Tr("starting the HTTP client"), ::GetLastError());
  auto remaining = [&end] { return Milliseconds(end - Clock::now()); };
  auto bounded = [&](Clock::duration span) {
    return static_cast<int>(std::min(Milliseconds(span), remaining()));
  };
  ::WinHttpSetTimeouts(session.get(), bounded(connectTimeout), bounded(connectTimeout),
                       bounded(stallWindow), bounded(stallWindow));

  Internet connection(::WinHttpConnect(session.get(), target.host.c_str(), target.port, 0));
  if (!connection) return NetworkError(Tr("connecting"), ::GetLastError());
  Internet request(::WinHttpOpenRequest(connection.get(), L"GET", target.path.c_str(), nullptr,
                                        WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                        target.secure ? WINHTTP_FLAG_SECURE : 0));
  if (!request) return NetworkError(Tr("preparing the request"), ::GetLastError());
  DWORD redirects = kMaxRedirects;
  ::WinHttpSetOption(request.get(), WINHTTP_OPTION_MAX_HTTP_AUTOMATIC_REDIRECTS, &redirects,
                     sizeof redirects);
  if (!proxy_.empty() && !proxyUser_.empty()) {
    ::WinHttpSetCredentials(request.get(), WINHTTP_AUTH_TARGET_PROXY, WINHTTP_AUTH_SCHEME_BASIC,
                            proxyUser_.c_str(), proxyPassword_.c_str(), nullptr);
  }

  auto failure = [&](const char* what) -> Error {
    DWORD code = ::GetLastError();
    if (code == ERROR_WINHTTP_TIMEOUT && Clock::now() >= end)
      return Error{ErrorCode::kTimeout, std::string(what) + ": " + Tr("the request passed its deadline")};
    if (code == ERROR_WINHTTP_TIMEOUT && status_)
      return Error{ErrorCode::kTimeout, Tr("the transfer stalled")};
    if (code == ERROR_WINHTTP_REDIRECT_FAILED)
      return Error{ErrorCode::kRefused, std::string(what) + ": " +
                                            SystemErrorText(static_cast<int>(code))};
    return NetworkError(what, code);
  };

  if (!::WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                            WINHTTP_NO_REQUEST_DATA, 0, 0, 0))
    return failure(Tr("sending the request"));
  if (!::WinHttpReceiveResponse(request.get(), nullptr)) return failure(Tr("receiving the response"));
  // A redirect keeps the scheme. WinHTTP itself never follows https to http;
  // http that became https is refused here, before any of its body is read.
  if (auto final = FinalUrl(request.get()); final && IsSecureUrl(*final) != target.secure)
    return Error{ErrorCode::kRefused,
                 Fill(Tr("refused the redirect from {1} to {2}: another scheme"), {url, WideToUtf8(*final)})};

  DWORD status = 0;
  DWORD size = sizeof status;
  ::WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                        WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
  if (status > 0) status_ = static_cast<int>(status);
  ReadHeaders(request.get());
  uint64_t declared = 0;
  if (auto length = ResponseHeader("Content-Length")) {
    long long value = ParseDecimal(*length);
    if (value > 0) declared = static_cast<uint64_t>(value);
  }
  const auto tooLarge = [&sink] {
    return Error{ErrorCode::kTooLarge, Fill(Tr("the body exceeds {1} bytes"), {std::to_string(sink.limit)})};
  };
  if (sink.file && declared > sink.limit) return tooLarge();

  HttpResponse response{static_cast<int>(status), {}, 0, false};
  std::vector<char> piece(kReadPiece);
  auto checkpointTime = Clock::now();
  uint64_t checkpointBytes = 0;
  const uint64_t needed =
      std::max<uint64_t>(1, static_cast<uint64_t>(stallWindow.count() / 1000));
  for (;;) {
    if (Clock::now() >= end)
      return Error{ErrorCode::kTimeout, Tr("the transfer passed its deadline")};
    // Each read waits at most for the stall window, and never past the deadline.
    DWORD wait = std::min(Milliseconds(stallWindow), remaining());
    ::WinHttpSetOption(request.get(), WINHTTP_OPTION_RECEIVE_TIMEOUT, &wait, sizeof wait);
    // Waits for some bytes, then reads just those: a read for more may wait
    // to fill its buffer however slowly the bytes come.
    DWORD available = 0;
    if (!::WinHttpQueryDataAvailable(request.get(), &available))
      return failure(Tr("receiving the body"));
    if (available == 0) break;  // the body is complete
    DWORD got = 0;
    if (!::WinHttpReadData(request.get(), piece.data(), std::min(available, kReadPiece), &got))
      return failure(Tr("receiving the body"));
    if (got == 0) break;
    size_t taken = got;
    if (sink.body) {
      // An answer is read only as far as its caller uses it.
      uint64_t room = sink.limit - response.length;
      if (got > room) {
        taken = static_cast<size_t>(room);
        response.cut = true;
      }
      sink.body->append(piece.data(), taken);
    } else {
      // The cap holds also when the length was not announced.
      if (response.length + got > sink.limit) return tooLarge();
      DWORD written = 0;
      if (!::WriteFile(sink.file, piece.data(), got, &written, nullptr) || written != got) {
        int code = static_cast<int>(::GetLastError());
        return Error{ErrorCode::kIo, Tr("writing the body") + (": " + SystemErrorText(code)), code};
      }
    }
    response.length += taken;
    if (progress_) progress_(response.length, declared);
    if (response.cut) break;

    auto now = Clock::now();
    std::chrono::duration<double> elapsed = now - start;
    // A drip of a few bytes a second is no stall, yet would never end.
    if (sink.checkRate && elapsed >= Duration(Delay::kHttpRateGrace) &&
        static_cast<double>(response.length) < kHttpMinimumDownloadRate * elapsed.count())
      return Error{ErrorCode::kTimeout, Fill(Tr("the download averaged below {1} bytes a second"),
                                             {std::to_string(kHttpMinimumDownloadRate)})};
    if (response.length >= checkpointBytes + needed) {
      checkpointBytes = response.length;
      checkpointTime = now;
    } else if (now - checkpointTime >= stallWindow) {
      return Error{ErrorCode::kTimeout, Tr("the transfer stalled")};
    }
  }
  return response;
}

std::unique_ptr<IHttpClient> CreateHttpClient(const HttpClientOptions& options) {
  return std::make_unique<WinHttpClient>(options);
}

std::string EscapeUrlComponent(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    bool plain = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                 (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' ||
                 byte == '~';
    if (plain) {
      escaped.push_back(c);
    } else {
      escaped.push_back('%');
      escaped.push_back(kHex[byte >> 4]);
      escaped.push_back(kHex[byte & 0x0F]);
    }
  }
  return escaped;
}

}  // namespace mzt
