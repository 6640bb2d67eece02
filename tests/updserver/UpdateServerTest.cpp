#include <gtest/gtest.h>

#include <filesystem>

#include "updserver/UpdateServer.h"
#include "platform/HttpClient.h"
#include "support/ParamName.h"
#include "support/TempFolder.h"
#include "support/TestDatabase.h"
#include "support/TinyProxy.h"

namespace mzt::updserver {
namespace {
namespace fs = std::filesystem;
using test::TestDatabaseBytes;

constexpr size_t kWhole = 1 << 20;  // a limit no body here reaches

class UpdateServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::ClearProxyEnvironment();
    fs::create_directories(folder_ / "tw");
    fs::create_directories(folder_ / "cn");
    test::WriteFileBytes(folder_ / "tw" / "old.bin", TestDatabaseBytes(2023, 12, 31, 99, 3000));
    test::WriteFileBytes(folder_ / "tw" / "new.bin", TestDatabaseBytes(2024, 1, 5, 12, 5000));
    test::WriteFileBytes(folder_ / "tw" / "readme.txt", "%CD not a database");
    ASSERT_TRUE(server_.Start());
  }

  HttpResponse Get(const std::string& target) {
    auto response = CreateHttpClient()->Get(server_.BaseUrl() + target, kWhole);
    EXPECT_TRUE(response) << target << ": " << (response ? "" : response.Err().message);
    return response ? response.Value() : HttpResponse{};
  }

  test::TempFolder folder_;
  UpdateServer server_{{.databaseFolder = folder_.Path()}};
};

struct AnswerRow {
  std::string name;
  std::string target;
  std::string answer;
};

class UpdateServerAnswerTest : public UpdateServerTest,
                               public ::testing::WithParamInterface<AnswerRow> {};

TEST_P(UpdateServerAnswerTest, AnswersByTheNewestDatabaseOfTheRegion) {
  HttpResponse response = Get(GetParam().target);
  EXPECT_EQ(response.status, 200);
  EXPECT_EQ(response.body, GetParam().answer);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, UpdateServerAnswerTest,
    ::testing::Values(
        AnswerRow{"OlderDeviceGetsCode3", "CheckDBVersion_NEW.aspx?DBVer=2008-01-01&Num=1",
                  "3,20240105,12"},
        AnswerRow{"SameDateLowerNumber", "CheckDBVersion_NEW.aspx?DBVer=2024-01-05&Num=11",
                  "3,20240105,12"},
        AnswerRow{"SameVersionGetsCode2", "CheckDBVersion_NEW.aspx?DBVer=2024-01-05&Num=12",
                  "2"},
        AnswerRow{"NewerDeviceGetsCode2", "CheckDBVersion_NEW.aspx?DBVer=2024-02-01&Num=1", "2"},
        AnswerRow{"EmptyRegionGetsCode4", "CheckDBVersionC_NEW.aspx?DBVer=2008-01-01&Num=1",
                  "4"},
        AnswerRow{"MalformedVersionGetsCode6", "CheckDBVersion_NEW.aspx?DBVer=2008-01&Num=1",
                  "6"},
        AnswerRow{"AddressWithoutDeviceId", "DBDownload_NEW.aspx", "6"},
        AnswerRow{"AddressOfEmptyRegion", "DBDownloadC_NEW.aspx?SN=1", "4"},
        AnswerRow{"SuccessWithoutDeviceId", "SuccessPage_NEW.aspx?SN=", "6"}),
    test::RowName());

TEST_F(UpdateServerTest, AddressNamesTheNewestFileWhichIsServedWhole) {
  HttpResponse address = Get("DBDownload_NEW.aspx?SN=X1");
  EXPECT_EQ(address.body, "3," + server_.BaseUrl() + "db/tw/new.bin");
  HttpResponse file = Get("db/tw/new.bin");
  EXPECT_EQ(file.body, TestDatabaseBytes(2024, 1, 5, 12, 5000));
  // Only databases of the region's own folder are served.
  EXPECT_EQ(Get("db/tw/readme.txt").status, 404);
  EXPECT_EQ(Get("db/cn/new.bin").status, 404);
  EXPECT_EQ(Get("db/tw/..%2Ftw%2Fnew.bin").status, 404);
}

TEST_F(UpdateServerTest, RecordsSuccessReportsPerRegion) {
  EXPECT_EQ(Get("SuccessPage_NEW.aspx?SN=AB%2012").body, "7");
  EXPECT_EQ(Get("SuccessPageC_NEW.aspx?SN=CD34").body, "7");
  auto reports = server_.SuccessReports();
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0].region, "tw");
  EXPECT_EQ(reports[0].deviceId, "AB 12");
  EXPECT_EQ(reports[1].region, "cn");
  EXPECT_EQ(reports[1].deviceId, "CD34");
  EXPECT_EQ(server_.Requests(),
            (std::vector<std::string>{"/SuccessPage_NEW.aspx?SN=AB%2012",
                                      "/SuccessPageC_NEW.aspx?SN=CD34"}));
}

}  // namespace
}  // namespace mzt::updserver
