#include "recording/RecordingHttpClient.h"

#include "platform/Sha256.h"

namespace mzt {
namespace {

// The headers kept; the client tells headers only by name.
constexpr const char* kKeptHeaders[] = {"Content-Type", "Content-Length", "Transfer-Encoding", "Location",
                                        "Last-Modified"};

class RecordingHttpClient : public IHttpClient {
 public:
  RecordingHttpClient(std::unique_ptr<IHttpClient> client, std::shared_ptr<RecorderSlot> slot)
      : client_(std::move(client)), slot_(std::move(slot)) {}

  Result<void> SetProxy(const ProxyAddress& proxy, const std::string& bypassList) override {
    auto result = client_->SetProxy(proxy, bypassList);
    proxy_ = result ? ProxyDisplayText(proxy) : std::string();
    return result;
  }
  void SetProgressCallback(ProgressCallback callback) override {
    client_->SetProgressCallback(std::move(callback));
  }
  Result<HttpResponse> Get(const std::string& url, size_t limit) override {
    auto response = client_->Get(url, limit);
    auto recorder = slot_->Get();
    if (!recorder) return response;
    HttpExchange exchange = Exchange(url, response);
    if (response) exchange.body = response.Value().body;
    recorder->Http(std::move(exchange));
    return response;
  }
  Result<HttpResponse> GetToFile(const std::string& url, const std::filesystem::path& file) override {
    auto response = client_->GetToFile(url, file);
    auto recorder = slot_->Get();
    if (!recorder) return response;
    HttpExchange exchange = Exchange(url, response);
    exchange.toFile = true;
    if (auto digest = Sha256OfFile(file)) {
      exchange.size = digest.Value().size;
      exchange.sha256 = digest.Value().sha256;
    }
    recorder->Http(std::move(exchange));
    return response;
  }
  std::optional<int> StatusCode() const override { return client_->StatusCode(); }
  std::optional<std::string> ResponseHeader(std::string_view name) const override {
    return client_->ResponseHeader(name);
  }

 private:
  HttpExchange Exchange(const std::string& url, const Result<HttpResponse>& response) const {
    HttpExchange exchange;
    exchange.url = url;
    exchange.proxy = proxy_.empty() ? "direct" : proxy_;
    exchange.status = client_->StatusCode();
    if (response) exchange.status = response.Value().status;
    else exchange.error = response.Err().message;
    if (exchange.status) {
      for (const char* name : kKeptHeaders)
        if (auto value = client_->ResponseHeader(name)) exchange.headers.push_back(std::string(name) + ": " + *value);
    }
    return exchange;
  }

  std::unique_ptr<IHttpClient> client_;
  std::shared_ptr<RecorderSlot> slot_;
  std::string proxy_;
};

}  // namespace

std::unique_ptr<IHttpClient> MakeRecordingHttpClient(std::unique_ptr<IHttpClient> client,
                                                     std::shared_ptr<RecorderSlot> slot) {
  return std::make_unique<RecordingHttpClient>(std::move(client), std::move(slot));
}

}  // namespace mzt
