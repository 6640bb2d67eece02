// The Windows backends where they differ from Linux in more than the system
// call: code page 950 through the system's tables, the replace-in-one-step
// rename, process liveness, the system's error texts and the WinHTTP client.
// The HTTP cases need run-wine-tests.sh's update servers (their addresses in
// MZT_WINE_SERVER, MZT_WINE_CHUNKED_SERVER and MZT_WINE_DRIP_SERVER).

#include <windows.h>
#include <winhttp.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/AtomicFile.h"
#include "platform/HttpClient.h"
#include "platform/Process.h"
#include "platform/SystemError.h"
#include "platform/TextCodec.h"
#include "support/TempFolder.h"

namespace mzt {
namespace {
namespace fs = std::filesystem;

TEST(TextCodecWindowsTest, CodePage950BothWays) {
  EXPECT_EQ(AnsiToWide("\xA4\xE9\xB4\xC1"), L"日期");
  EXPECT_EQ(WideToAnsi(L"台灣"), "\xA5\x78\xC6\x57");
  // A byte that starts no character becomes U+FFFD, and only that byte.
  EXPECT_EQ(AnsiToWide("A\xA4"), L"A\xFFFD");
  EXPECT_EQ(AnsiToWide("\xA4 B"), L"\xFFFD B");
  // No look-alike stands in for a character without a form.
  EXPECT_EQ(WideToAnsi(L"e\u00E9\u0E01"), "e??");
  EXPECT_EQ(WideToUtf8(L"中國"), "中國");
  EXPECT_EQ(Utf8ToWide("中國"), L"中國");
}

TEST(AtomicFileWindowsTest, CommitReplacesTheTargetAndLeftoversOfDeadWritersGo) {
  test::TempFolder folder;
  fs::path target = folder / "FF02.bin";
  test::WriteFileBytes(target, "old");
  auto file = AtomicFile::Create(target);
  ASSERT_TRUE(file) << file.Err().message;
  const uint8_t bytes[] = {'n', 'e', 'w'};
  ASSERT_TRUE(file.Value().Write(bytes));
  ASSERT_TRUE(file.Value().Commit()) << "the target exists";
  EXPECT_EQ(test::ReadFileBytes(target), "new");

  // 4000000000 is no process's id; this process's own file stays.
  std::string mine = "FF02.bin.part-" + std::to_string(CurrentProcessId()) + "-0a1b2c3d";
  test::WriteFileBytes(folder / "FF02.bin.part-4000000000-0a1b2c3d", "x");
  test::WriteFileBytes(folder / mine, "x");
  EXPECT_EQ(AtomicFile::RemoveLeftovers(folder.Path()), 1);
  EXPECT_TRUE(fs::exists(folder / mine));
  EXPECT_TRUE(IsProcessRunning(CurrentProcessId()));
  EXPECT_FALSE(IsProcessRunning(4000000000u));
}

TEST(SystemErrorWindowsTest, TextsComeFromTheSystemWithoutTheLineEnd) {
  for (DWORD code : {DWORD{ERROR_FILE_NOT_FOUND}, DWORD{ERROR_ACCESS_DENIED},
                     DWORD{ERROR_WINHTTP_CANNOT_CONNECT}}) {
    std::string text = SystemErrorText(static_cast<int>(code));
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text.find("Unknown error"), std::string::npos) << code;
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
  }
}

std::string Server(const char* variable) {
  const char* value = std::getenv(variable);
  return value ? value : "";
}

class WinHttpClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (Server("MZT_WINE_SERVER").empty()) GTEST_SKIP() << "run by run-wine-tests.sh";
  }
  test::TempFolder folder_;
};

TEST_F(WinHttpClientTest, AnswersAreCutAtTheirLimitAndDownloadsStream) {
  auto client = CreateHttpClient();
  std::string check = Server("MZT_WINE_SERVER") + "CheckDBVersion_NEW.aspx?DBVer=2008-01-01&Num=1";
  auto whole = client->Get(check, 1 << 20);
  ASSERT_TRUE(whole) << whole.Err().message;
  EXPECT_EQ(whole.Value().status, 200);
  ASSERT_GT(whole.Value().body.size(), 4u);
  EXPECT_EQ(client->ResponseHeader("content-LENGTH"), std::to_string(whole.Value().body.size()));
  auto cut = client->Get(check, 4);
  ASSERT_TRUE(cut) << cut.Err().message;
  EXPECT_TRUE(cut.Value().cut);
  EXPECT_EQ(cut.Value().body, whole.Value().body.substr(0, 4));

  uint64_t seen = 0;
  client->SetProgressCallback([&](uint64_t done, uint64_t) { seen = done; });
  auto download = client->GetToFile(Server("MZT_WINE_SERVER") + "db/tw/DB.bin", folder_ / "a.bin");
  ASSERT_TRUE(download) << download.Err().message;
  EXPECT_EQ(fs::file_size(folder_ / "a.bin"), download.Value().length);
  EXPECT_EQ(seen, download.Value().length);

  auto missing = client->Get(Server("MZT_WINE_SERVER") + "db/tw/none.bin", 1 << 20);
  ASSERT_TRUE(missing);
  EXPECT_EQ(client->StatusCode(), 404);
}

TEST_F(WinHttpClientTest, DownloadsKeepTheirCapAndMinimumRate) {
  // Without a length the cap is kept as the bytes come.
  auto capped = CreateHttpClient({.maxBodyBytes = 1000});
  auto tooLarge =
      capped->GetToFile(Server("MZT_WINE_CHUNKED_SERVER") + "db/tw/DB.bin", folder_ / "b.bin");
  ASSERT_FALSE(tooLarge);
  EXPECT_EQ(tooLarge.Err().code, ErrorCode::kTooLarge);
  EXPECT_LE(fs::file_size(folder_ / "b.bin"), 1000u);

  auto client = CreateHttpClient();
  auto slow = client->GetToFile(Server("MZT_WINE_DRIP_SERVER") + "db/tw/DB.bin", folder_ / "c.bin");
  ASSERT_FALSE(slow);
  EXPECT_EQ(slow.Err().code, ErrorCode::kTimeout);
  EXPECT_NE(slow.Err().message.find("averaged below"), std::string::npos) << slow.Err().message;
  auto answer = client->Get(Server("MZT_WINE_DRIP_SERVER") + "db/tw/DB.bin", 1 << 20);
  ASSERT_FALSE(answer);
  EXPECT_EQ(answer.Err().code, ErrorCode::kTimeout);
}

TEST_F(WinHttpClientTest, OnlyHttpAndHttpsAndRefusedConnectionsAreNetworkErrors) {
  auto client = CreateHttpClient();
  EXPECT_EQ(client->Get("ftp://127.0.0.1/db.bin", 100).Err().code, ErrorCode::kRefused);
  EXPECT_EQ(client->Get("file:///C:/db.bin", 100).Err().code, ErrorCode::kRefused);
  // Port 1 on loopback: nothing listens there.
  auto refused = client->Get("http://127.0.0.1:1/", 100);
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.Err().code, ErrorCode::kNetwork);
  EXPECT_FALSE(client->StatusCode());
}

}  // namespace
}  // namespace mzt
