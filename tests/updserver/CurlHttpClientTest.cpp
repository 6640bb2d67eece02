#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "updserver/UpdateServer.h"
#include "platform/HttpClient.h"
#include "support/ParamName.h"
#include "support/TempFolder.h"
#include "support/TestDatabase.h"
#include "support/TinyProxy.h"

namespace mzt {
namespace {
namespace fs = std::filesystem;
using updserver::Page;
using updserver::PageFault;

constexpr size_t kFileSize = 5000;
constexpr size_t kWhole = 1 << 20;  // a limit no body here reaches
const char* const kCheckPage = "CheckDBVersion_NEW.aspx?DBVer=2008-01-01&Num=1";

class CurlHttpClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::ClearProxyEnvironment();
    fs::create_directories(folder_ / "tw");
    test::WriteFileBytes(folder_ / "tw" / "db.bin", File());
    ASSERT_TRUE(server_.Start());
  }

  static std::string File() { return test::TestDatabaseBytes(2024, 1, 5, 12, kFileSize); }
  std::string Url(const std::string& target) const { return server_.BaseUrl() + target; }

  test::TempFolder folder_;
  updserver::UpdateServer server_{{.databaseFolder = folder_.Path()}};
};

TEST_F(CurlHttpClientTest, AnyStatusIsAResponseAndOnlyTheSameSchemeIsFollowed) {
  auto client = CreateHttpClient();
  auto answer = client->Get(Url(kCheckPage), kWhole);
  ASSERT_TRUE(answer) << answer.Err().message;
  EXPECT_EQ(answer.Value().status, 200);
  EXPECT_FALSE(answer.Value().cut);
  EXPECT_EQ(answer.Value().body, "3,20240105,12");
  EXPECT_EQ(client->ResponseHeader("content-LENGTH"), "13");
  EXPECT_FALSE(client->ResponseHeader("X-Missing"));

  server_.SetFault(Page::kDownloadAddress, {.status = 404});
  auto missing = client->Get(Url("DBDownload_NEW.aspx?SN=1"), kWhole);
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing.Value().status, 404);
  EXPECT_EQ(client->StatusCode(), 404);

  // Only http and https, and a redirect only to the scheme asked for.
  EXPECT_EQ(client->Get("ftp://127.0.0.1/db.bin", kWhole).Err().code, ErrorCode::kRefused);
  EXPECT_EQ(client->Get("file:///etc/hostname", kWhole).Err().code, ErrorCode::kRefused);
  std::string secure = Url(kCheckPage);
  secure.replace(0, 4, "https");
  for (const std::string& elsewhere : {std::string("file:///etc/hostname"), secure}) {
    server_.SetFault(Page::kDownloadAddress, {.status = 302, .location = elsewhere});
    auto refused = client->Get(Url("DBDownload_NEW.aspx?SN=1"), kWhole);
    ASSERT_FALSE(refused) << elsewhere;
    EXPECT_EQ(refused.Err().code, ErrorCode::kRefused) << refused.Err().message;
    EXPECT_NE(refused.Err().message.find("to " + elsewhere + ": another scheme"), std::string::npos)
        << refused.Err().message;
  }

  server_.SetFault(Page::kDownloadAddress, {.status = 302, .location = Url(kCheckPage)});
  auto followed = client->Get(Url("DBDownload_NEW.aspx?SN=1"), kWhole);
  ASSERT_TRUE(followed);
  EXPECT_EQ(followed.Value().status, 200);
  EXPECT_EQ(followed.Value().body, "3,20240105,12");
}

TEST_F(CurlHttpClientTest, FileDownloadStreamsWithRisingProgress) {
  // libcurl hands at most 16 KiB to one write, however the bytes arrive: a
  // larger file is reported in several steps on any machine.
  const std::string big = test::TestDatabaseBytes(2024, 1, 5, 12, 4 * 16384 + 4);
  test::WriteFileBytes(folder_ / "tw" / "big.bin", big);
  std::vector<std::pair<uint64_t, uint64_t>> progress;
  auto client = CreateHttpClient();
  client->SetProgressCallback([&](uint64_t done, uint64_t total) {
    progress.emplace_back(done, total);
  });
  auto response = client->GetToFile(Url("db/tw/big.bin"), folder_ / "out.bin");
  ASSERT_TRUE(response) << response.Err().message;
  EXPECT_EQ(response.Value().length, big.size());
  EXPECT_TRUE(response.Value().body.empty());
  EXPECT_EQ(test::ReadFileBytes(folder_ / "out.bin"), big);
  ASSERT_GE(progress.size(), 5u);
  EXPECT_EQ(std::adjacent_find(progress.begin(), progress.end(),
                               [](auto a, auto b) { return a.first >= b.first; }),
            progress.end());
  EXPECT_EQ(progress.back(), std::make_pair(uint64_t{big.size()}, uint64_t{big.size()}));
  for (auto [done, total] : progress) EXPECT_EQ(total, big.size());
}

struct CapRow {
  std::string name;
  PageFault fault;
  bool toFile;
  uint64_t cap;
  bool whole;
};

class BodyCapTest : public CurlHttpClientTest, public ::testing::WithParamInterface<CapRow> {};

// A download beyond its cap is refused; an answer is read up to its limit
// and no further, however long the body.
TEST_P(BodyCapTest, ReadsNoFurtherThanTheCap) {
  const CapRow& row = GetParam();
  server_.SetFault(Page::kDownload, row.fault);
  auto client = CreateHttpClient({.maxBodyBytes = row.cap});
  uint64_t seen = 0;
  client->SetProgressCallback([&](uint64_t done, uint64_t) { seen = done; });
  if (row.toFile) {
    auto response = client->GetToFile(Url("db/tw/db.bin"), folder_ / "out.bin");
    ASSERT_EQ(response.Ok(), row.whole);
    if (!row.whole) {
      EXPECT_EQ(response.Err().code, ErrorCode::kTooLarge);
      EXPECT_LE(fs::file_size(folder_ / "out.bin"), row.cap);
    }
  } else {
    auto response = client->Get(Url("db/tw/db.bin"), row.cap);
    ASSERT_TRUE(response) << response.Err().message;
    EXPECT_EQ(response.Value().cut, !row.whole);
    std::string served = File();
    served.resize(std::max<size_t>(served.size(), row.fault.hugeBytes), ',');
    EXPECT_EQ(response.Value().body, served.substr(0, row.cap));
  }
  EXPECT_LE(seen, row.cap);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, BodyCapTest,
    ::testing::Values(CapRow{"KnownLengthInMemory", {}, false, 1000, false},
                      CapRow{"KnownLengthToFile", {}, true, 1000, false},
                      CapRow{"UnknownLengthInMemory", {.chunked = true}, false, 1000, false},
                      CapRow{"UnknownLengthToFile", {.chunked = true}, true, 1000, false},
                      CapRow{"UnknownLengthAtTheCap", {.chunked = true}, true, kFileSize, true},
                      CapRow{"KnownLengthAtTheCap", {}, false, kFileSize, true},
                      CapRow{"HugeInMemory", {.hugeBytes = 64 << 20}, false, 4096, false}),
    test::RowName());

// A body that trickles for ever ends at the answer's deadline, or for a
// download once its average rate is too low; neither is a stall.
TEST_F(CurlHttpClientTest, EndlessBodyEndsAsATimeOut) {
  server_.SetFault(Page::kDownload, {.dripRate = 64});
  for (bool toFile : {false, true}) {
    auto client = CreateHttpClient();
    auto response = toFile ? client->GetToFile(Url("db/tw/db.bin"), folder_ / "out.bin")
                           : client->Get(Url("db/tw/db.bin"), kWhole);
    ASSERT_FALSE(response);
    EXPECT_EQ(response.Err().code, ErrorCode::kTimeout);
    EXPECT_NE(response.Err().message.find(toFile ? "averaged below 1024 bytes a second" : "timed out"),
              std::string::npos) << response.Err().message;
    EXPECT_EQ(client->StatusCode(), 200);
  }
}

TEST_F(CurlHttpClientTest, FailuresSayWhetherAResponseCame) {
  auto client = CreateHttpClient();
  server_.SetFault(Page::kDownload, {.truncate = true});
  auto truncated = client->GetToFile(Url("db/tw/db.bin"), folder_ / "out.bin");
  ASSERT_FALSE(truncated);
  EXPECT_EQ(truncated.Err().code, ErrorCode::kNetwork);
  EXPECT_EQ(client->StatusCode(), 200);

  // A file that cannot be made new costs no request, and a link at its name
  // is never followed.
  fs::create_directories(folder_ / "dir.bin");
  test::WriteFileBytes(folder_ / "victim", "someone's file");
  fs::create_symlink(folder_ / "victim", folder_ / "link.bin");
  size_t before = server_.Requests().size();
  for (const char* name : {"dir.bin", "link.bin", "out.bin"}) {
    auto unwritable = client->GetToFile(Url("db/tw/db.bin"), folder_ / name);
    ASSERT_FALSE(unwritable) << name;
    EXPECT_EQ(unwritable.Err().code, ErrorCode::kIo);
    EXPECT_EQ(unwritable.Err().systemCode, EEXIST) << name;
  }
  EXPECT_FALSE(client->StatusCode());
  EXPECT_EQ(server_.Requests().size(), before);
  EXPECT_EQ(test::ReadFileBytes(folder_ / "victim"), "someone's file");

  std::string base = server_.BaseUrl();
  server_.Stop();
  auto refused = client->Get(base + kCheckPage, kWhole);
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.Err().code, ErrorCode::kNetwork);
  EXPECT_EQ(refused.Err().systemCode, ECONNREFUSED);
  EXPECT_FALSE(client->StatusCode());
}

TEST(ProxyRefusalTest, RefusesWhatIsNoHostAndPort) {
  auto client = CreateHttpClient();
  for (const char* host : {"proxy.example", "10.1.2.3", "[::1]", "//proxy.example",
                           "a-proxy-with-a-rather-long-name.example.internal"})
    EXPECT_TRUE(client->SetProxy({host, 3128}, "")) << host;
  for (auto [host, port] : std::initializer_list<std::pair<const char*, int>>{
           {"bad host", 3128}, {"user@host", 3128}, {"host/x", 3128}, {"", 3128},
           {"host", -5}, {"host", 65536}}) {
    auto set = client->SetProxy({host, port}, "");
    ASSERT_FALSE(set) << host << ":" << port;
    EXPECT_EQ(set.Err().code, ErrorCode::kRefused);
  }
  // Every proxy type curl speaks is taken as what it is; another is refused.
  for (const char* scheme : {"https", "socks4", "socks4a", "socks5", "socks5h"})
    EXPECT_TRUE(client->SetProxy({.host = "proxy.example", .port = 1080, .scheme = scheme}, "")) << scheme;
  EXPECT_FALSE(client->SetProxy({.host = "proxy.example", .port = 21, .scheme = "ftp"}, ""));
}

TEST_F(CurlHttpClientTest, GoesThroughTheProxyExceptToBypassedHosts) {
  if (!test::TinyProxy::Installed()) GTEST_SKIP() << "tinyproxy is not installed";
  test::TinyProxy proxy("my-user pass.w0rd");
  ASSERT_TRUE(proxy.Running()) << proxy.Problem();

  // Bypassed first: its absence from the log is certain once the later request shows.
  auto bypassing = CreateHttpClient();
  ASSERT_TRUE(bypassing->SetProxy({"127.0.0.1", proxy.Port()}, "localhost,127.0.0.1"));
  ASSERT_TRUE(bypassing->Get(Url("SuccessPage_NEW.aspx?SN=direct"), kWhole));

  // The proxy's credentials go with every request, and only they let it through.
  auto stranger = CreateHttpClient();
  ASSERT_TRUE(stranger->SetProxy({"127.0.0.1", proxy.Port()}, ""));
  auto refused = stranger->Get(Url(kCheckPage), kWhole);
  ASSERT_TRUE(refused) << refused.Err().message;
  EXPECT_EQ(refused.Value().status, 407);

  auto proxied = CreateHttpClient();
  auto setting = ParseProxyText("HTTP://my-user:pass%2Ew0rd@//127.0.0.1:" + std::to_string(proxy.Port()));
  ASSERT_TRUE(setting);
  ASSERT_TRUE(proxied->SetProxy(*setting, "example.invalid"));
  auto answer = proxied->Get(Url(kCheckPage), kWhole);
  ASSERT_TRUE(answer) << answer.Err().message;
  EXPECT_EQ(answer.Value().body, "3,20240105,12");
  EXPECT_TRUE(proxy.LogContains("GET " + Url(kCheckPage) + " HTTP/1.1",
                                std::chrono::seconds(5)))
      << proxy.Log();
  EXPECT_EQ(proxy.Log().find("SN=direct"), std::string::npos) << proxy.Log();
}

TEST(EscapeUrlComponentTest, KeepsOnlyUnreservedCharacters) {
  EXPECT_EQ(EscapeUrlComponent("AZaz09-._~"), "AZaz09-._~");
  EXPECT_EQ(EscapeUrlComponent("SN 01/&=?+%"), "SN%2001%2F%26%3D%3F%2B%25");
  EXPECT_EQ(EscapeUrlComponent("\xA4\xE9"), "%A4%E9");
  EXPECT_EQ(EscapeUrlComponent(""), "");
}

}  // namespace
}  // namespace mzt
