#pragma once
// HTTP GET for the online update: a page's answer into memory or a file
// streamed to disk, optionally through a proxy, with progress reports.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/ProxyText.h"
#include "common/Result.h"

namespace mzt {

// No download is accepted beyond this, whether or not the server announced its length.
inline constexpr uint64_t kMaxHttpBodyBytes = 256ull << 20;

struct HttpResponse {
  int status = 0;
  std::string body;     // Get only; GetToFile leaves it empty
  uint64_t length = 0;  // body bytes received
  bool cut = false;     // Get only: the body went on past its limit, unread
};

// A request that ends without a complete response fails with an Error whose
// code is kNetwork (systemCode: the socket's errno, 0 when it had none, as
// for time-outs), kTimeout (the transfer stalled, passed its deadline or, a
// download, fell below the minimum average rate; see common/Timing.h),
// kTooLarge, kRefused (an address that is not http or https, or a redirect
// to another scheme than the address's) or kIo (the
// file; systemCode: errno).
class IHttpClient {
 public:
  // Bytes of the body received so far, and the total from Content-Length (0 when unknown).
  using ProgressCallback = std::function<void(uint64_t received, uint64_t total)>;

  virtual ~IHttpClient() = default;

  // Sends the following requests through `proxy` (its type by its scheme,
  // with its credentials), except to the hosts of `bypassList`. Fails
  // (kRefused) when the proxy's host or port is not usable or its type is not
  // one the client speaks; the client then stays direct. A host written
  // "//name" names `name`.
  virtual Result<void> SetProxy(const ProxyAddress& proxy, const std::string& bypassList) = 0;
  virtual void SetProgressCallback(ProgressCallback callback) = 0;

  // Any status is a response; only a request that got no complete response fails.
  // Keeps at most `limit` bytes of the body: a longer body ends the request
  // there and the response is marked `cut`. Bounded by the deadline of a
  // short answer.
  virtual Result<HttpResponse> Get(const std::string& url, size_t limit) = 0;
  // Streams the body, at most `maxBodyBytes` of it, into `file`, a new file
  // for this user only (no request is made when that name is taken, by a
  // link or anything else, or the file cannot be made). Bounded by the
  // download's deadline and minimum average rate. A failed transfer leaves a
  // partial file behind.
  virtual Result<HttpResponse> GetToFile(const std::string& url,
                                         const std::filesystem::path& file) = 0;

  // Of the last request: the status when a response began, also when its body broke off.
  virtual std::optional<int> StatusCode() const = 0;
  // Of the last request's final response; the name is compared without case.
  virtual std::optional<std::string> ResponseHeader(std::string_view name) const = 0;
};

struct HttpClientOptions {
  uint64_t maxBodyBytes = kMaxHttpBodyBytes;  // of a download
};

using HttpClientFactory = std::function<std::unique_ptr<IHttpClient>()>;

// A client with the connect time-out, deadlines, stall abort and minimum
// download rate of the timing table; following redirects only to the scheme
// of the address asked for.
std::unique_ptr<IHttpClient> CreateHttpClient(const HttpClientOptions& options = {});

// Percent-encodes everything but letters, digits and "-._~", for a query value.
std::string EscapeUrlComponent(std::string_view text);

}  // namespace mzt
