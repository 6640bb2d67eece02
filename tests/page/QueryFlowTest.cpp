// The query action, and what every conversation starts with.

#include "page/DeviceReading.h"
#include "page/FlowFixture.h"
#include "support/ParamName.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace mzt::test {
namespace {

using devsim::Fault;

class QueryFlowTest : public FlowFixture {
 protected:
  void Query() {
    Page().OnQueryButton();
    Finish();
  }
};

struct ShownRow {
  std::string name;
  DeviceSetup setup;
  std::wstring database;
  std::wstring region;
  bool regionAsked = true;
};

class QueryShowsTest : public QueryFlowTest, public ::testing::WithParamInterface<ShownRow> {};

TEST_P(QueryShowsTest, FirmwareDatabaseAndRegion) {
  Start(GetParam().setup, false);
  Query();
  EXPECT_EQ(surface_.Control(ids::kFwVersionText).text, Utf8ToWide(GetParam().setup.firmware));
  EXPECT_EQ(surface_.Control(ids::kDbVersionText).text, GetParam().database);
  EXPECT_EQ(surface_.Control(ids::kDbRegionText).text, GetParam().region);
  EXPECT_EQ(Sentences("$PQEL108,7,").empty(), !GetParam().regionAsked);
  EXPECT_EQ(Page().LastOutcome(), FlowOutcome::kSuccess);
  EXPECT_TRUE(Messages().empty()) << Transcript();
  // The query ends with the page busy but its controls and close command enabled.
  EXPECT_TRUE(sheet_->IsBusy());
  EXPECT_TRUE(surface_.CloseCommandEnabled());
  EXPECT_TRUE(surface_.Control(ids::kQueryButton).enabled);
  EXPECT_TRUE(surface_.Control(ids::kPortList).enabled);
  EXPECT_FALSE(surface_.IsWaitDialogOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Devices, QueryShowsTest,
    ::testing::Values(
        ShownRow{"China", {.firmware = "1.4.0.7", .region = "CN"}, L"202501150003", L"中國"},
        ShownRow{"Taiwan", {.firmware = "1.4.0.7", .region = "TW"}, L"202501150003", L"台灣"},
        // Not asked for its region: shown as the other region.
        ShownRow{"Firmware1003", {.firmware = "1.0.0.3", .region = "CN"}, L"202501150003", L"中國", false},
        ShownRow{"WithoutDatabase", {.database = false}, L"無測速照相資料庫", L"台灣"},
        // An update cut short: the header is whole, the records file is not.
        ShownRow{"InterruptedUpdate", {.unplaced = {0xFF02}}, L"Incomplete speed-camera database in the device", L"台灣"}),
    test::RowName());

// A device that enters its upload mode late, never, answers nothing, or
// does not tell its database version.
struct ConnectRow {
  std::string name;
  Fault fault;
  size_t modeRequests;  // 113,1 sent
  FlowOutcome outcome;
  std::wstring message = L"無法連結裝置,請確認是否選擇到正確通訊埠或請檢查機器";  // unless it succeeds
};

class ConnectTest : public QueryFlowTest, public ::testing::WithParamInterface<ConnectRow> {};

TEST_P(ConnectTest, TriesAsOftenAsItMayAndSaysSo) {
  Start({}, false);
  ASSERT_TRUE(device_->AddFault(GetParam().fault));
  Query();
  EXPECT_EQ(Sentences("$PQEL113,1").size(), GetParam().modeRequests);
  EXPECT_EQ(Page().LastOutcome(), GetParam().outcome);
  EXPECT_EQ(Messages(), GetParam().outcome == FlowOutcome::kSuccess ? std::vector<std::wstring>{}
                                                                     : std::vector<std::wstring>{GetParam().message});
  EXPECT_FALSE(surface_.IsWaitDialogOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Devices, ConnectTest,
    ::testing::Values(
        ConnectRow{"LateUploadMode", {.effect = Fault::Effect::kAnswerZero, .command = 113, .argument = 0, .nth = 1, .times = 2},
                   2, FlowOutcome::kSuccess},
        ConnectRow{"NeverUploadMode", {.effect = Fault::Effect::kAnswerZero, .command = 113, .argument = 0, .nth = 1, .times = 0},
                   kMaxUploadModeRounds, FlowOutcome::kDeviceUnreachable},
        ConnectRow{"Silent", {.effect = Fault::Effect::kStopAnswering, .nth = 1}, 2, FlowOutcome::kDeviceUnreachable},
        ConnectRow{"VersionUnanswered", {.command = 108, .argument = 4, .times = 0}, 1,
                   FlowOutcome::kDeviceUnreachable, L"DB版本查詢失敗,請重試!!"}),
    test::RowName());

TEST_F(QueryFlowTest, PortThatCannotBeOpenedFailsAtOnceSayingWhy) {
  Start({}, false);
  // Held by another program: its own reason and the fix.
  int holder = ::open((folder_ / "port").c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
  Query();
  ::close(holder);
  surface_.AddListItem(ids::kPortList, L"/dev/no-such-port");
  surface_.SelectListItem(ids::kPortList, surface_.ListCount(ids::kPortList) - 1);
  Query();
  auto messages = Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].rfind(L"無法連結裝置，請重試\nopen ", 0), 0u) << WideToUtf8(messages[0]);
  EXPECT_NE(messages[0].find(L": another program is using the port\nClose the program"),
            std::wstring::npos) << WideToUtf8(messages[0]);
  EXPECT_EQ(messages[1], L"無法連結裝置，請重試\nopen /dev/no-such-port: No such file or directory");
  EXPECT_EQ(Page().LastOutcome(), FlowOutcome::kDeviceUnreachable);
  EXPECT_TRUE(device_->ReceivedSentences().empty());
}

}  // namespace
}  // namespace mzt::test
