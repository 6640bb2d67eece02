#pragma once

#include <curl/curl.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "common/Timing.h"
#include "platform/HttpClient.h"

namespace mzt {

// IHttpClient on libcurl: one easy handle per request.
class CurlHttpClient final : public IHttpClient {
 public:
  explicit CurlHttpClient(const HttpClientOptions& options);

  Result<void> SetProxy(const ProxyAddress& proxy, const std::string& bypassList) override;
  void SetProgressCallback(ProgressCallback callback) override;
  Result<HttpResponse> Get(const std::string& url, size_t limit) override;
  Result<HttpResponse> GetToFile(const std::string& url,
                                 const std::filesystem::path& file) override;
  std::optional<int> StatusCode() const override;
  std::optional<std::string> ResponseHeader(std::string_view name) const override;

 private:
  struct Transfer {
    CurlHttpClient* client = nullptr;
    std::string* body = nullptr;  // memory requests
    int fd = -1;                  // file requests
    uint64_t limit = 0;           // memory: the bytes kept; file: the most accepted
    uint64_t received = 0;
    bool cut = false;
    bool tooLarge = false;
    int writeErrno = 0;
    bool stalled = false;
    bool tooSlow = false;
    bool checkRate = false;       // downloads keep a minimum average rate
    std::chrono::steady_clock::time_point startTime;
    std::chrono::steady_clock::time_point checkpointTime;
    uint64_t checkpointBytes = 0;
  };

  Result<HttpResponse> Perform(const std::string& url, Transfer& transfer, Delay deadline);
  static size_t OnBody(char* data, size_t size, size_t count, void* context);
  static size_t OnHeader(char* data, size_t size, size_t count, void* context);
  static int OnTransferInfo(void* context, curl_off_t downloadTotal, curl_off_t downloaded,
                            curl_off_t uploadTotal, curl_off_t uploaded);

  HttpClientOptions options_;
  std::string proxyHost_;  // empty: direct
  int proxyPort_ = 0;
  long proxyType_ = CURLPROXY_HTTP;
  std::string proxyUser_;  // empty: no credentials
  std::string proxyPassword_;
  std::string bypassList_;
  ProgressCallback progress_;
  std::optional<int> status_;
  std::vector<std::pair<std::string, std::string>> headers_;
};

}  // namespace mzt
