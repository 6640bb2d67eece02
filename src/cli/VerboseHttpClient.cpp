#include "cli/VerboseHttpClient.h"

#include <chrono>
#include <cstdio>

namespace mzt {
namespace {

class VerboseHttpClient : public IHttpClient {
 public:
  explicit VerboseHttpClient(std::unique_ptr<IHttpClient> client) : client_(std::move(client)) {}

  Result<void> SetProxy(const ProxyAddress& proxy, const std::string& bypassList) override {
    auto result = client_->SetProxy(proxy, bypassList);
    proxy_ = ProxyDisplayText(proxy);
    if (!bypassList.empty()) proxy_ += " (not for " + bypassList + ")";
    if (!result) {
      std::fprintf(stderr, "http: proxy %s refused: %s\n", proxy_.c_str(), result.Err().message.c_str());
      proxy_.clear();
    }
    return result;
  }
  void SetProgressCallback(ProgressCallback callback) override {
    client_->SetProgressCallback(std::move(callback));
  }
  Result<HttpResponse> Get(const std::string& url, size_t limit) override {
    return Tell(url, [&] { return client_->Get(url, limit); });
  }
  Result<HttpResponse> GetToFile(const std::string& url, const std::filesystem::path& file) override {
    return Tell(url, [&] { return client_->GetToFile(url, file); });
  }
  std::optional<int> StatusCode() const override { return client_->StatusCode(); }
  std::optional<std::string> ResponseHeader(std::string_view name) const override {
    return client_->ResponseHeader(name);
  }

 private:
  template <typename Request>
  Result<HttpResponse> Tell(const std::string& url, Request request) {
    std::fprintf(stderr, "http: GET %s via %s\n", url.c_str(),
                 proxy_.empty() ? "a direct connection" : ("proxy " + proxy_).c_str());
    auto start = std::chrono::steady_clock::now();
    Result<HttpResponse> response = request();
    long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now() - start).count();
    if (response)
      std::fprintf(stderr, "http: status %d, %llu bytes, %lld ms\n", response.Value().status,
                   static_cast<unsigned long long>(response.Value().length), ms);
    else
      std::fprintf(stderr, "http: failed after %lld ms: %s\n", ms, response.Err().message.c_str());
    return response;
  }

  std::unique_ptr<IHttpClient> client_;
  std::string proxy_;
};

}  // namespace

std::unique_ptr<IHttpClient> MakeVerboseHttpClient(std::unique_ptr<IHttpClient> client) {
  return std::make_unique<VerboseHttpClient>(std::move(client));
}

}  // namespace mzt
