#pragma once

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "common/Timing.h"
#include "platform/HttpClient.h"

namespace mzt {

// IHttpClient on WinHTTP: a session and a connection per request, synchronous.
class WinHttpClient final : public IHttpClient {
 public:
  explicit WinHttpClient(const HttpClientOptions& options) : options_(options) {}

  Result<void> SetProxy(const ProxyAddress& proxy, const std::string& bypassList) override;
  void SetProgressCallback(ProgressCallback callback) override;
  Result<HttpResponse> Get(const std::string& url, size_t limit) override;
  Result<HttpResponse> GetToFile(const std::string& url,
                                 const std::filesystem::path& file) override;
  std::optional<int> StatusCode() const override;
  std::optional<std::string> ResponseHeader(std::string_view name) const override;

 private:
  // Where the body goes: memory up to `limit` (cut beyond), or a file that
  // takes at most `limit` bytes (too large beyond).
  struct Sink {
    std::string* body = nullptr;
    void* file = nullptr;  // HANDLE
    uint64_t limit = 0;
    bool checkRate = false;
  };

  Result<HttpResponse> Perform(const std::string& url, Sink& sink, Delay deadline);
  void ReadHeaders(void* request);

  HttpClientOptions options_;
  std::wstring proxy_;   // "host:port"; empty: direct
  std::wstring bypass_;  // WinHTTP's form: separated by ';'
  std::wstring proxyUser_;  // empty: no credentials
  std::wstring proxyPassword_;
  ProgressCallback progress_;
  std::optional<int> status_;
  std::vector<std::pair<std::string, std::string>> headers_;
};

}  // namespace mzt
