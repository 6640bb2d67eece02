// The update action end to end: conversation, POI export, online update,
// upload, and the replug after a failed transfer.

#include <optional>
#include <regex>

#include "page/FlowFixture.h"
#include "page/PoiExport.h"
#include "page/ReplugWatcher.h"
#include "devicelink/PortDiscovery.h"
#include "support/ParamName.h"

namespace mzt::test {
namespace {

using devsim::Fault;

class UpdateFlowTest : public FlowFixture {
 protected:
  void Update() {
    Page().OnUpdateButton();
    Finish();
  }
  std::vector<size_t> FrameLengths(uint16_t fileId) const {
    std::vector<size_t> lengths;
    for (const auto& frame : device_->ReceivedFrames())
      if (frame.fileId == fileId) lengths.push_back(frame.length);
    return lengths;
  }
  std::string Stored(uint16_t id) const { return device_->StoredData(id).value_or("<none>"); }
  fs::path DataFile(const std::string& name) { return folder_ / "home" / name; }
};

TEST_F(UpdateFlowTest, RegionCapableFirmwareGetsTheNewDatabaseAndIndexBin) {
  Start({.firmware = "1.4.0.7", .pois = 3});
  Update();
  ASSERT_EQ(Page().LastOutcome(), FlowOutcome::kSuccess) << Transcript();
  auto expected = ExpectedDeviceFiles(offered_, true);
  EXPECT_EQ(Stored(0xFF00), expected[0]);
  EXPECT_EQ(Stored(0xFF01), expected[1]);
  EXPECT_EQ(Stored(0xFF02), expected[2]);
  EXPECT_EQ(device_->Version().year, 2026);
  EXPECT_EQ(device_->Version().number, 12);
  // The old database went first, records, index, header; 11264-byte blocks.
  ASSERT_EQ(device_->Deletions().size(), 3u);
  EXPECT_EQ(device_->Deletions()[0].fileId, 0xFF02);
  EXPECT_EQ(device_->Deletions()[2].fileId, 0xFF00);
  auto lengths = FrameLengths(0xFF02);
  ASSERT_FALSE(lengths.empty());
  EXPECT_EQ(*std::max_element(lengths.begin(), lengths.end()), 11264u);
  // No device file, download or Index.bin is left on the PC.
  for (const char* name : {"FF00.bin", "FF01.bin", "FF02.bin", "Index.bin", "ULDB.bin"})
    EXPECT_FALSE(fs::exists(DataFile(name))) << name;
  EXPECT_EQ(Messages(), (std::vector<std::wstring>{
                            L"裝置進入資料上傳模式,所有在裝置上的功能都會被關閉",
                            L"網站上有新的資料庫可做更新, 資料庫版本為:202611300012",
                            L"請重新啟動裝置!!"}))
      << Transcript();
  ASSERT_EQ(server_->SuccessReports().size(), 1u);
  EXPECT_EQ(server_->SuccessReports()[0].deviceId, "MZT0000001");
  EXPECT_EQ(surface_.Control(ids::kStatusText).text, L"");  // reset after the report
}

TEST_F(UpdateFlowTest, PoisAreExportedBeforeTheServerIsAsked) {
  Start({.pois = 3});
  Update();
  std::string csv = ReadFileBytes(DataFile("POI.csv"));
  ASSERT_EQ(csv.rfind(PoiCsvHeader(), 0), 0u);
  std::vector<std::string> lines;
  for (size_t pos = PoiCsvHeader().size(); pos < csv.size();) {
    size_t end = csv.find("\r\n", pos);
    ASSERT_NE(end, std::string::npos);
    lines.push_back(csv.substr(pos, end - pos));
    pos = end + 2;
  }
  // The device's three generated POIs, as the export prints them after the
  // two time columns.
  const char* expected[] = {
      "25.033001,121.565399,0,40,300,1,0,65537,25.030300,121.566307,180,N/A,N/A,N/A",
      "25.035101,121.563698,37,50,400,2,1,65544,25.032402,121.564598,217,N/A,N/A,N/A",
      "25.037201,121.562004,74,60,500,3,2,65551,25.034500,121.562904,254,N/A,N/A,N/A",
  };
  ASSERT_EQ(lines.size(), 3u);
  const std::regex time("^[0-9]{8}, [0-9]{2}:[0-9]{2}:[0-9]{2},");
  for (size_t i = 0; i < 3; ++i) {
    std::smatch match;
    ASSERT_TRUE(std::regex_search(lines[i], match, time)) << lines[i];
    EXPECT_EQ(lines[i].substr(match.length()), expected[i]);
  }
  // The POI step's caption comes before the network step's.
  auto captions = surface_.EventsOf(SurfaceCall::kSetWaitCaption);
  auto at = [&](const std::wstring& prefix) {
    return std::find_if(captions.begin(), captions.end(),
                        [&](const SurfaceEvent& e) { return e.text.rfind(prefix, 0) == 0; });
  };
  ASSERT_NE(at(L"下載POI,"), captions.end());
  ASSERT_NE(at(L"檢查網路更新,"), captions.end());
  EXPECT_LT(at(L"下載POI,"), at(L"檢查網路更新,"));
  EXPECT_EQ(at(L"下載POI,")->text, L"下載POI,請稍候");
}

TEST_F(UpdateFlowTest, DeviceWithoutPoisGoesStraightToTheServer) {
  Start({.pois = 0});
  Update();
  EXPECT_TRUE(Sentences("$PQEL114").empty());
  EXPECT_FALSE(fs::exists(DataFile("POI.csv")));
  EXPECT_EQ(Page().LastOutcome(), FlowOutcome::kSuccess);
}

TEST_F(UpdateFlowTest, NothingNewerLeavesTheDeviceAlone) {
  Offer(DeviceSetup{}.installed);  // the same version as the device's
  Start({});
  Update();
  EXPECT_TRUE(Shown(L"網站無新的資料庫可供更新")) << Transcript();
  EXPECT_TRUE(Sentences("$PQEL996").empty());
  EXPECT_TRUE(Sentences("$PQEL999").empty());
  EXPECT_EQ(Page().LastOutcome(), FlowOutcome::kUpToDate);
  EXPECT_FALSE(surface_.IsWaitDialogOpen());
}

// A question before the device's database is deleted: the region would
// change, or the POI backup is incomplete.
struct DecisionRow {
  std::string name;
  DeviceSetup setup;
  std::optional<Fault> fault;
  bool poiFileBlocked;  // "POI.csv" cannot be written
  MessageAnswer answer;
  std::wstring question;
  FlowOutcome yesOutcome = FlowOutcome::kSuccess;
};

class UserDecisionTest : public UpdateFlowTest, public ::testing::WithParamInterface<DecisionRow> {};

TEST_P(UserDecisionTest, TheUserDecidesBeforeTheDeviceIsTouched) {
  const DecisionRow& row = GetParam();
  if (row.poiFileBlocked) fs::create_directories(DataFile("POI.csv"));
  Start(row.setup);
  if (row.fault) {
    ASSERT_TRUE(device_->AddFault(*row.fault));
  }
  surface_.SetDefaultAnswer(MessageButtons::kYesNo, row.answer);
  Update();
  auto questions = surface_.Messages();
  std::erase_if(questions, [](const ShownMessage& m) { return m.buttons != MessageButtons::kYesNo; });
  ASSERT_EQ(questions.size(), 1u) << Transcript();
  EXPECT_EQ(questions[0].text, row.question);
  EXPECT_EQ(questions[0].caption, L"MZT Utility");
  bool declined = row.answer == MessageAnswer::kNo;
  if (declined) {
    EXPECT_TRUE(Sentences("$PQEL996").empty());
    EXPECT_TRUE(Sentences("$PQEL999").empty());
    EXPECT_EQ(device_->Version().number, 3);
    for (const char* name : {"FF00.bin", "FF01.bin", "FF02.bin", "Index.bin"})
      EXPECT_FALSE(fs::exists(DataFile(name))) << name;
  }
  EXPECT_EQ(Page().LastOutcome(), declined ? FlowOutcome::kDeclined : row.yesOutcome) << Transcript();
}

const std::wstring kCnToTw =
    L"您的機器內目前是 [中國] 的測速照相資料,確定要置換為 [台灣] 的測速照相資料嗎?";
const std::wstring kGoOn = L"\n更新將刪除裝置內的資料, 請問是否仍要繼續更新?";
const std::wstring kUnknownCount = L"POI備份不完整: 無法讀取裝置內的POI數量, 存入POI.csv 0 個。" + kGoOn;
const Fault kCountRefused{.effect = Fault::Effect::kPoiCount, .times = 0};

INSTANTIATE_TEST_SUITE_P(
    Questions, UserDecisionTest,
    ::testing::Values(
        DecisionRow{"RegionNo", {.region = "CN"}, {}, false, MessageAnswer::kNo, kCnToTw},
        DecisionRow{"RegionYes", {.region = "CN"}, {}, false, MessageAnswer::kYes, kCnToTw},
        DecisionRow{"PoiFileUnwritableNo", {.pois = 3}, {}, true, MessageAnswer::kNo,
                    L"POI備份不完整: 裝置內共 3 個POI, 只有 0 個存入POI.csv。" + kGoOn},
        DecisionRow{"PoiFileUnwritableYes", {.pois = 3}, {}, true, MessageAnswer::kYes,
                    L"POI備份不完整: 裝置內共 3 個POI, 只有 0 個存入POI.csv。" + kGoOn},
        // 100 or more POIs: the device refuses the count query.
        DecisionRow{"CountRefusedNo", {.pois = 3}, kCountRefused, false, MessageAnswer::kNo,
                    kUnknownCount},
        DecisionRow{"CountRefusedYes", {.pois = 3}, kCountRefused, false, MessageAnswer::kYes,
                    kUnknownCount},
        DecisionRow{"PoiUnreadableNo", {.pois = 3},
                    Fault{.effect = Fault::Effect::kDropReply, .command = 114, .argument = 1},
                    false, MessageAnswer::kNo,
                    L"POI備份不完整: 裝置內共 3 個POI, 只有 2 個存入POI.csv。" + kGoOn},
        // Gone after the first POI: a Yes then fails at the deletion.
        DecisionRow{"DeviceGoneDuringPoisNo", {.pois = 3},
                    Fault{.effect = Fault::Effect::kUnplug, .command = 114, .argument = 1},
                    false, MessageAnswer::kNo,
                    L"POI備份不完整: 裝置內共 3 個POI, 只有 1 個存入POI.csv。" + kGoOn},
        DecisionRow{"DeviceGoneDuringPoisYes", {.pois = 3},
                    Fault{.effect = Fault::Effect::kUnplug, .command = 114, .argument = 1},
                    false, MessageAnswer::kYes,
                    L"POI備份不完整: 裝置內共 3 個POI, 只有 1 個存入POI.csv。" + kGoOn,
                    FlowOutcome::kTransferFailed}),
    test::RowName());

struct FirmwareCase {
  const char* firmware;
  size_t block;
  bool reducedIndex;
};

class FirmwareUpdateTest : public UpdateFlowTest,
                           public ::testing::WithParamInterface<FirmwareCase> {};

TEST_P(FirmwareUpdateTest, BlockSizeAndIndexFollowTheFirmware) {
  // Big enough for several blocks of either size.
  offered_.records = 1200;
  Start({.firmware = GetParam().firmware, .region = "TW"});
  Update();
  ASSERT_EQ(Page().LastOutcome(), FlowOutcome::kSuccess) << Transcript();
  auto lengths = FrameLengths(0xFF02);
  ASSERT_FALSE(lengths.empty());
  EXPECT_EQ(*std::max_element(lengths.begin(), lengths.end()), GetParam().block);
  auto expected = ExpectedDeviceFiles(offered_, GetParam().reducedIndex);
  EXPECT_EQ(Stored(0xFF01), expected[1]);
  EXPECT_EQ(Stored(0xFF02), expected[2]);
  EXPECT_FALSE(fs::exists(DataFile("FF01.bin")));
}

INSTANTIATE_TEST_SUITE_P(Firmware, FirmwareUpdateTest,
                         ::testing::Values(FirmwareCase{"1.1.0.9", 8192, false},
                                           FirmwareCase{"1.0.0.3", 8192, false},
                                           FirmwareCase{"1.2.0.1", 11264, false},
                                           FirmwareCase{"1.3.0.0", 11264, true}));

TEST_F(UpdateFlowTest, DeviceListingOnlyTheHeaderGetsOneDeletion) {
  Start({.onlyFiles = {0xFF00}});
  Update();
  ASSERT_EQ(device_->Deletions().size(), 1u) << Transcript();
  EXPECT_EQ(device_->Deletions()[0].fileId, 0xFF00);
  EXPECT_EQ(Page().LastOutcome(), FlowOutcome::kSuccess);
  // Whatever version it reports, a device without all three files has no database.
  auto shown = surface_.EventsOf(SurfaceCall::kSetText);
  EXPECT_TRUE(std::any_of(shown.begin(), shown.end(), [](const SurfaceEvent& e) {
    return e.id == ids::kDbVersionText && e.text == L"裝置內無測速照相資料庫";
  }));
}

TEST_F(UpdateFlowTest, FileAtLocationZeroIsDeletedWith44) {
  Start({.unplaced = {0xFF02}});
  Update();
  ASSERT_EQ(device_->Deletions().size(), 3u) << Transcript();
  EXPECT_EQ(device_->Deletions()[0].fileId, 0xFF02);
  EXPECT_EQ(device_->Deletions()[0].location, 44u);
  EXPECT_EQ(Sentences("$PQEL996,44").size(), 1u);
  EXPECT_EQ(Page().LastOutcome(), FlowOutcome::kSuccess);
}

TEST_F(UpdateFlowTest, PoiExportProgressRisesByQuarters) {
  Start({.pois = 4});
  Update();
  std::vector<int> positions;
  bool inExport = false;
  for (const auto& e : surface_.Events()) {
    if (e.call == SurfaceCall::kSetWaitCaption) inExport = e.text.rfind(L"下載POI,", 0) == 0;
    if (inExport && e.call == SurfaceCall::kSetProgressPosition && e.id == ids::kProgressBar)
      positions.push_back(e.value);
  }
  EXPECT_EQ(positions, (std::vector<int>{0, 0, 25, 50, 75, 100}));
}

TEST_F(UpdateFlowTest, RefusedRecordsFileShowsNoMessage) {
  Start({});
  ASSERT_TRUE(device_->AddFault({.effect = Fault::Effect::kFrameStatus2,
                                 .trigger = Fault::Trigger::kFrame, .fileId = 0xFF02,
                                 .nth = 1, .times = 2}));
  surface_.SetDefaultReplugResult(ReplugResult::kNone);
  Update();
  EXPECT_EQ(Messages(), (std::vector<std::wstring>{
                            L"裝置進入資料上傳模式,所有在裝置上的功能都會被關閉",
                            L"網站上有新的資料庫可做更新, 資料庫版本為:202611300012"}))
      << Transcript();
  EXPECT_EQ(surface_.EventsOf(SurfaceCall::kRunReplugDialog).size(), 1u);
  EXPECT_EQ(Page().LastOutcome(), FlowOutcome::kTransferFailed);
  for (const char* name : {"FF00.bin", "FF02.bin", "Index.bin"}) EXPECT_FALSE(fs::exists(DataFile(name)));
}

TEST_F(UpdateFlowTest, CancelledReplugRunsTheUpdateAgainToo) {
  Start({});
  ASSERT_TRUE(device_->AddFault({.effect = Fault::Effect::kFrameStatus2,
                                 .trigger = Fault::Trigger::kFrame, .fileId = 0xFF00,
                                 .nth = 1, .times = 2}));
  surface_.SetDefaultReplugResult(ReplugResult::kCancel);
  Update();
  EXPECT_EQ(Page().LastOutcome(), FlowOutcome::kSuccess) << Transcript();
  EXPECT_EQ(device_->PlugCount(), 1u);
  EXPECT_EQ(Sentences("$PQEL108,2,").size(), 2u);  // two conversations
}

TEST_F(UpdateFlowTest, LaterFailureAfterAQuietUpToDateCheckIsNotSuccess) {
  Offer(DeviceSetup{}.installed);  // the check says "nothing newer"
  Start({.firmware = "1.4.0.7", .region = "CN"});
  server_->SetFault(updserver::Page::kDownloadAddress, {.status = 500});
  surface_.QueueAnswers({MessageAnswer::kOk, MessageAnswer::kYes});
  Update();
  EXPECT_EQ(Page().LastOutcome(), FlowOutcome::kNetworkFailure) << Transcript();
  EXPECT_TRUE(Sentences("$PQEL996").empty());
}

TEST_F(UpdateFlowTest, RefusedDeletionStopsBeforeAnyTransfer) {
  Start({});
  ASSERT_TRUE(device_->AddFault({.effect = Fault::Effect::kRefuseDeletion, .command = 996,
                                 .nth = 1, .times = 0}));
  Update();
  EXPECT_TRUE(Shown(L"刪除DB失敗,請重試!!")) << Transcript();
  EXPECT_TRUE(Sentences("$PQEL999").empty());
  EXPECT_EQ(Page().LastOutcome(), FlowOutcome::kTransferFailed);
}

TEST_F(UpdateFlowTest, BadDownloadTouchesTheDeviceNotAtAll) {
  Start({});
  updserver::PageFault garbage;
  garbage.body = std::string(100, 'x');
  server_->SetFault(updserver::Page::kDownload, garbage);
  Update();
  EXPECT_TRUE(Shown(L"測速照相資料庫格式錯誤")) << Transcript();
  EXPECT_TRUE(Sentences("$PQEL996").empty());
  EXPECT_TRUE(Sentences("$PQEL999").empty());
  EXPECT_EQ(Page().LastOutcome(), FlowOutcome::kInvalidDatabase);
}

TEST_F(UpdateFlowTest, FailedTransferLeadsToReplugAndASecondRun) {
  Start({});
  // The first two frames of FF00 are refused: the first run fails.
  ASSERT_TRUE(device_->AddFault({.effect = Fault::Effect::kFrameStatus2,
                                 .trigger = Fault::Trigger::kFrame, .fileId = 0xFF00,
                                 .nth = 1, .times = 2}));
  int replugs = 0;
  surface_.SetReplugHandler([&] {
    ++replugs;
    // The cable comes out and goes back in; the prompt's watcher sees both
    // through the fake sysfs tree.
    device_->Unplug(std::chrono::milliseconds(100));
    ReplugWatcher watcher({IsUsbSerialDeviceGone, IsUsbSerialDevicePresent}, RealClock());
    auto outcome = RunReplugWatcher(watcher, RealClock(), {}, {}, std::chrono::seconds(5));
    return outcome == ReplugOutcome::kOk ? ReplugResult::kOk : ReplugResult::kCancel;
  });
  Update();
  Finish();
  EXPECT_EQ(replugs, 1);
  EXPECT_EQ(device_->PlugCount(), 2u);
  EXPECT_TRUE(Shown(L"DB 上傳失敗,請重試,請洽經銷商")) << Transcript();
  EXPECT_EQ(Page().LastOutcome(), FlowOutcome::kSuccess) << Transcript();
  EXPECT_EQ(device_->Version().number, 12);
  // The second run did not warn again.
  auto all = Messages();
  EXPECT_EQ(std::count(all.begin(), all.end(), L"裝置進入資料上傳模式,所有在裝置上的功能都會被關閉"), 1);
}

}  // namespace
}  // namespace mzt::test
