// The update action end to end: conversation, POI export, online update,
// upload, and the replug after a failed transfer.

#include <optional>
#include <regex>

#include "common/Timing.h"
#include "page/FlowFixture.h"
#include "page/PoiExport.h"
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
  EXPECT_EQ(Stored(0xFF00), ExpectedDeviceFiles(offered_, true)[0]);
  // The old database went first: records, index, header.
  ASSERT_EQ(device_->Deletions().size(), 3u);
  EXPECT_EQ(device_->Deletions()[0].fileId, 0xFF02);
  EXPECT_EQ(device_->Deletions()[2].fileId, 0xFF00);
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
  EXPECT_EQ(surface_.Control(ids::kStatusText).text, L"測試照像資料庫上傳完成");  // kept after the report
  // The wait dialog said what was read, the update button that an update
  // ran; the button reads as idle again.
  for (const char* shown : {"SetWaitCaption \"讀取裝置檔案資料,請稍候\"", "SetWaitCaption \"讀取資料庫版本資訊,請稍候\"",
                            "SetText 1001 \"更新中\""})
    EXPECT_NE(Transcript().find(shown), std::string::npos) << shown;
  EXPECT_EQ(surface_.Control(ids::kUpdateButton).text, L"更新資料庫");

  // The device's three generated POIs were saved, as the export prints them
  // after the two time columns, before the server was asked.
  std::string csv = ReadFileBytes(DataFile("POI.csv"));
  ASSERT_EQ(csv.rfind(PoiCsvHeader(), 0), 0u);
  const std::regex time("[0-9]{8}, [0-9]{2}:[0-9]{2}:[0-9]{2},");
  EXPECT_EQ(std::regex_replace(csv.substr(PoiCsvHeader().size()), time, ""),
            "25.033001,121.565399,0,40,300,1,0,65537,25.030300,121.566307,180,N/A,N/A,N/A\r\n"
            "25.035101,121.563698,37,50,400,2,1,65544,25.032402,121.564598,217,N/A,N/A,N/A\r\n"
            "25.037201,121.562004,74,60,500,3,2,65551,25.034500,121.562904,254,N/A,N/A,N/A\r\n");
  std::vector<std::wstring> captions;
  for (const auto& e : surface_.EventsOf(SurfaceCall::kSetWaitCaption)) captions.push_back(e.text);
  auto poiCaption = std::find(captions.begin(), captions.end(), L"下載POI,請稍候");
  ASSERT_NE(poiCaption, captions.end());
  EXPECT_NE(std::find_if(poiCaption, captions.end(),
                         [](const std::wstring& c) { return c.rfind(L"檢查網路更新,", 0) == 0; }),
            captions.end());
  // The export's progress rises with each POI read.
  std::vector<int> positions;
  bool inExport = false;
  for (const auto& e : surface_.Events()) {
    if (e.call == SurfaceCall::kSetWaitCaption) inExport = e.text.rfind(L"下載POI,", 0) == 0;
    if (inExport && e.call == SurfaceCall::kSetProgressPosition && e.id == ids::kProgressBar)
      positions.push_back(e.value);
  }
  EXPECT_EQ(positions, (std::vector<int>{0, 0, 33, 66, 100}));
}

// One update, start to end: the device, the server's fault, the user's
// answers; the outcome, what was shown and asked, and the device afterwards.
using SentenceCounts = std::vector<std::pair<std::string, size_t>>;

struct Scenario {
  std::string name;
  DeviceSetup setup{};
  std::optional<Fault> fault{};           // the device's
  std::optional<updserver::Page> page{};  // the server's page that misbehaves
  updserver::PageFault serverFault{};
  bool offerSame = false;       // the server offers the device's own version
  bool poiFileBlocked = false;  // "POI.csv" cannot be written
  MessageAnswer answer = MessageAnswer::kYes;  // to a Yes/No question
  ReplugResult replug = ReplugResult::kCancel;
  bool tabSwitchAtReplug = false;  // the other tab and back while the prompt shows
  bool userIdle = false;        // at the replug prompt; else the user pulls and plugs the cable
  bool secondRunAtReplug = false;  // another update of the device once it is back, before the rerun
  FlowOutcome outcome = FlowOutcome::kSuccess;
  std::wstring question{};             // the one Yes/No question; empty: none
  std::vector<std::wstring> shown{};   // among the messages
  std::optional<std::vector<std::wstring>> messages{};  // all of them
  SentenceCounts sentences{};          // sentences sent, by their start
  size_t fileQueriesAtMost = 0;        // file-table queries; 0: any number
  int versionAfter = 12;               // the device's database number; -1: any
  std::optional<std::vector<uint16_t>> deleted{};
  size_t replugs = 0;                  // replug prompts
  std::optional<size_t> serverRequests{};
  bool poisSavedOnce = false;          // POI.csv holds the device's POIs once
  std::wstring dbVersionShown{};
  size_t block = 0;                    // FF02's frame size; 0: any
  std::optional<bool> reducedIndex{};  // the index the device got
};

class ScenarioTest : public UpdateFlowTest, public ::testing::WithParamInterface<Scenario> {};

TEST_P(ScenarioTest, EndsAsTheUserExpects) {
  const Scenario& row = GetParam();
  if (row.offerSame) Offer(DeviceSetup{}.installed);
  if (row.poiFileBlocked) fs::create_directories(DataFile("POI.csv"));
  Start(row.setup);
  if (row.fault) {
    ASSERT_TRUE(device_->AddFault(*row.fault));
  }
  if (row.page) server_->SetFault(*row.page, row.serverFault);
  surface_.SetDefaultAnswer(MessageButtons::kYesNo, row.answer);
  // While the prompt watches the device, the user pulls the cable and plugs it in again.
  surface_.SetDefaultReplugResult(row.replug, [this, act = row.replug == ReplugResult::kOk && !row.userIdle,
                                                second = row.secondRunAtReplug] {
    if (!act) return;
    device_->Unplug(std::chrono::milliseconds(50));
    device_->WaitUntilPlugged(true, std::chrono::seconds(5));
    if (!second) return;
    // It is refused as by a port in use, and the device hears nothing of it.
    size_t heard = device_->ReceivedSentences().size();
    RecordingSurface otherSurface;
    CMZTUtilitySheet other(otherSurface, std::make_unique<CDevicePort>());
    other.Page().SetServerUrl(server_->BaseUrl());
    other.Page().OnInitDialog();
    other.Page().OnUpdateButton();
    other.Page().WaitForIdle();
    EXPECT_EQ(other.Page().LastOutcome(), FlowOutcome::kDeviceUnreachable) << otherSurface.Transcript();
    EXPECT_EQ(device_->ReceivedSentences().size(), heard);
    EXPECT_NE(otherSurface.Transcript().find("another program is using the port"), std::string::npos);
  });
  if (row.tabSwitchAtReplug) {
    // The settings name another detector than the one the user chose.
    WriteFileBytes(folder_ / "home" / "MZTConfig.ini", "[Comm. Port]\nPortNumber=/dev/ttyACM0\n");
    surface_.SetDialogObserver([this](const SurfaceEvent& opened) {
      if (opened.call != SurfaceCall::kRunReplugDialog) return;
      size_t before = surface_.Events().size();
      Page().OnShowWindow();
      EXPECT_EQ(surface_.Events().size(), before) << "the tab switch changed the running flow's page";
    });
  }
  Update();
  EXPECT_EQ(Page().LastOutcome(), row.outcome) << Transcript();
  std::vector<std::wstring> asked;
  for (const auto& m : surface_.Messages()) {
    if (m.buttons != MessageButtons::kYesNo) continue;
    asked.push_back(m.text);
    EXPECT_EQ(m.caption, L"MZT Utility");
  }
  EXPECT_EQ(asked, row.question.empty() ? std::vector<std::wstring>{} : std::vector{row.question});
  for (const auto& text : row.shown) EXPECT_TRUE(Shown(text)) << WideToUtf8(text) << "\n" << Transcript();
  if (row.messages) {
    EXPECT_EQ(Messages(), *row.messages) << Transcript();
  }
  for (const auto& [start, count] : row.sentences) EXPECT_EQ(Sentences(start).size(), count) << start;
  if (row.fileQueriesAtMost) {
    // The listing before the deletion; the one after the transfer is its own.
    auto sent = device_->ReceivedSentences();
    auto deletion = std::find_if(sent.begin(), sent.end(), [](const std::string& s) { return s.starts_with("$PQEL996"); });
    EXPECT_LE(std::count_if(sent.begin(), deletion, [](const std::string& s) { return s.starts_with("$PQEL995"); }),
              row.fileQueriesAtMost);
  }
  if (row.setup.pois == 0) {
    EXPECT_TRUE(Sentences("$PQEL114").empty());
    EXPECT_FALSE(fs::exists(DataFile("POI.csv")));
  }
  if (row.versionAfter >= 0) {
    EXPECT_EQ(device_->Version().number, row.versionAfter);
  }
  if (row.deleted) {
    std::vector<uint16_t> deleted;
    for (const auto& deletion : device_->Deletions()) deleted.push_back(static_cast<uint16_t>(deletion.fileId));
    EXPECT_EQ(deleted, *row.deleted);
  }
  EXPECT_EQ(surface_.EventsOf(SurfaceCall::kRunReplugDialog).size(), row.replugs);
  if (row.serverRequests) {
    EXPECT_EQ(server_->Requests().size(), *row.serverRequests);
  }
  if (row.poisSavedOnce) {
    std::string csv = ReadFileBytes(DataFile("POI.csv"));
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'),
              std::count(PoiCsvHeader().begin(), PoiCsvHeader().end(), '\n') + row.setup.pois);
  }
  if (!row.dbVersionShown.empty()) {
    auto texts = surface_.EventsOf(SurfaceCall::kSetText);
    EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [&](const SurfaceEvent& e) {
      return e.id == ids::kDbVersionText && e.text == row.dbVersionShown;
    }));
  }
  if (row.block) {
    auto lengths = FrameLengths(0xFF02);
    ASSERT_FALSE(lengths.empty());
    EXPECT_EQ(*std::max_element(lengths.begin(), lengths.end()), row.block);
  }
  if (row.reducedIndex) {
    auto expected = ExpectedDeviceFiles(offered_, *row.reducedIndex);
    EXPECT_EQ(Stored(0xFF01), expected[1]);
    EXPECT_EQ(Stored(0xFF02), expected[2]);
  }
  for (const char* name : {"FF00.bin", "FF01.bin", "FF02.bin", "Index.bin"})
    EXPECT_FALSE(fs::exists(DataFile(name))) << name;
  EXPECT_FALSE(surface_.IsWaitDialogOpen());
}

const std::wstring kCnToTw =
    L"您的機器內目前是 [中國] 的測速照相資料,確定要置換為 [台灣] 的測速照相資料嗎?";
const std::wstring kGoOn = L"\nThe update deletes the data in the device. Go on with the update anyway?";
const std::wstring kUnknownCount = L"Incomplete POI backup: the device's POI count could not be read; 0 saved to POI.csv." + kGoOn;
const std::wstring kNoneSaved = L"Incomplete POI backup: the device holds 3 POIs, only 0 were saved to POI.csv." + kGoOn;
const std::wstring kOneSaved = L"Incomplete POI backup: the device holds 3 POIs, only 1 were saved to POI.csv." + kGoOn;
const std::wstring kWarning = L"裝置進入資料上傳模式,所有在裝置上的功能都會被關閉";
const std::wstring kNews = L"網站上有新的資料庫可做更新, 資料庫版本為:202611300012";
const std::wstring kUploadFailed = L"DB 上傳失敗,請重試,請洽經銷商";
const std::wstring kRestart = L"請重新啟動裝置!!";
const std::wstring kNoCompleteDatabase =
    L"The device holds no complete speed-camera database now.\nCheck the USB cable's connection and run the update again; if it fails again, ask your dealer.";
const Fault kCountRefused{.effect = Fault::Effect::kPoiCount, .times = 0};
const Fault kGoneAfterFirstPoi{.effect = Fault::Effect::kUnplug, .command = 114, .argument = 1};
const SentenceCounts kUntouched{{"$PQEL996", 0}, {"$PQEL999", 0}};
constexpr auto kNo = MessageAnswer::kNo;
constexpr auto kDeclined = FlowOutcome::kDeclined;

Fault RefusedFrames(uint16_t fileId, uint32_t times = 2) {
  return {.effect = Fault::Effect::kFrameStatus2, .trigger = Fault::Trigger::kFrame,
          .fileId = fileId, .nth = 1, .times = times};
}

INSTANTIATE_TEST_SUITE_P(
    Updates, ScenarioTest,
    ::testing::Values(
        Scenario{.name = "NoPoisGoStraightToTheServer", .dbVersionShown = L"202611300012", .block = 11264, .reducedIndex = true},
        // The frame size and the index follow the firmware.
        Scenario{.name = "Firmware1109", .setup = {.firmware = "1.1.0.9"}, .block = 8192, .reducedIndex = false},
        Scenario{.name = "Firmware1003", .setup = {.firmware = "1.0.0.3"}, .block = 8192, .reducedIndex = false},
        Scenario{.name = "Firmware1201", .setup = {.firmware = "1.2.0.1"}, .block = 11264, .reducedIndex = false},
        Scenario{.name = "Firmware1300", .setup = {.firmware = "1.3.0.0"},
                 .question = L"您的機器內目前是 [未知] 的測速照相資料,確定要置換為 [台灣] 的測速照相資料嗎?",
                 .block = 11264, .reducedIndex = true},
        Scenario{.name = "NothingNewer", .offerSame = true, .outcome = FlowOutcome::kUpToDate,
                 .shown = {L"網站無新的資料庫可供更新"}, .sentences = kUntouched, .versionAfter = 3},
        // Whatever version it reports, a device without all three files has
        // no complete database.
        Scenario{.name = "OnlyTheHeaderListed", .setup = {.onlyFiles = {0xFF00}},
                 .deleted = std::vector<uint16_t>{0xFF00}, .dbVersionShown = L"Incomplete speed-camera database in the device"},
        // All three files, but the version the device reports when it has none.
        Scenario{.name = "NoVersionInAllThreeFiles", .setup = {.installed = {0, 0, 0, 258, 4, 4, 200, 7}},
                 .dbVersionShown = L"裝置內無測速照相資料庫"},
        Scenario{.name = "FileAtLocationZeroIsDeletedWith44", .setup = {.unplaced = {0xFF02}},
                 .sentences = {{"$PQEL996,44", 1}},
                 .deleted = std::vector<uint16_t>{0xFF02, 0xFF01, 0xFF00}},
        // A device whose file table never ends is asked for 256 entries at
        // most (fewer when a reply comes late on a loaded machine).
        Scenario{.name = "FileTableThatNeverEnds",
                 .fault = Fault{.effect = Fault::Effect::kEndlessFileTable, .times = 300},
                 .fileQueriesAtMost = 256},
        // A prompt that could not run (a closing window, nobody at the terminal) still says what to do.
        Scenario{.name = "RefusedRecordsFileWithoutPrompt", .fault = RefusedFrames(0xFF02),
                 .replug = ReplugResult::kNone, .outcome = FlowOutcome::kTransferFailed,
                 .messages = std::vector{kWarning, kNews, kNoCompleteDatabase}, .versionAfter = -1, .replugs = 1},
        // Dismissing the replug prompt stops, saying what to do.
        Scenario{.name = "CancelledReplugStops", .fault = RefusedFrames(0xFF00),
                 .outcome = FlowOutcome::kTransferFailed,
                 .messages = std::vector{kWarning, kNews, kUploadFailed, kNoCompleteDatabase},
                 .sentences = {{"$PQEL108,2,", 1}}, .versionAfter = -1, .replugs = 1},
        // The run after the replug neither saves the POIs again nor downloads
        // again; the second failure ends the update.
        Scenario{.name = "TransferThatKeepsFailing", .setup = {.pois = 3},
                 .fault = RefusedFrames(0xFF00, 0), .replug = ReplugResult::kOk,
                 .outcome = FlowOutcome::kTransferFailed,
                 .messages = std::vector{kWarning, kNews, kUploadFailed, kUploadFailed,
                                         L"The database upload failed again. " + kNoCompleteDatabase},
                 .sentences = {{"$PQEL108,3,", 1}, {"$PQEL108,2,", 2}}, .versionAfter = -1,
                 .replugs = 1, .serverRequests = 3, .poisSavedOnce = true},
        // Unplugged and back while the POIs were counted: the prompt that
        // comes later finds the device replugged already.
        Scenario{.name = "ReplugBeforeThePrompt", .setup = {.database = false},
                 .fault = Fault{.effect = Fault::Effect::kUnplug, .command = 108, .argument = 3,
                                .duration = std::chrono::milliseconds(50)},
                 .replug = ReplugResult::kOk, .userIdle = true, .question = kUnknownCount,
                 .replugs = 1},
        // Back under another name: the run after the replug follows it there.
        Scenario{.name = "BackUnderAnotherName", .setup = {.renamedAtReplug = true},
                 .fault = RefusedFrames(0xFF00), .replug = ReplugResult::kOk,
                 .messages = std::vector{kWarning, kNews, kUploadFailed, kRestart}, .replugs = 1},
        // The device stays the flow's own between the failed transfer and its rerun.
        Scenario{.name = "SecondRunDuringTheReplugIsRefused", .fault = RefusedFrames(0xFF00),
                 .replug = ReplugResult::kOk, .secondRunAtReplug = true,
                 .messages = std::vector{kWarning, kNews, kUploadFailed, kRestart}, .replugs = 1},
        // The run after the replug uses the flow's port, whatever the tabs did.
        Scenario{.name = "TabSwitchDuringTheReplugKeepsThePort", .fault = RefusedFrames(0xFF00),
                 .replug = ReplugResult::kOk, .tabSwitchAtReplug = true, .replugs = 1},
        Scenario{.name = "LaterFailureAfterAQuietUpToDateCheck", .setup = {.region = "CN"},
                 .page = updserver::Page::kDownloadAddress, .serverFault = {.status = 500},
                 .offerSame = true, .outcome = FlowOutcome::kNetworkFailure, .question = kCnToTw,
                 .sentences = kUntouched, .versionAfter = 3},
        Scenario{.name = "DeviceIdUnanswered",
                 .fault = Fault{.effect = Fault::Effect::kDropReply, .command = 108, .argument = 2, .times = 0},
                 .outcome = FlowOutcome::kDeviceUnreachable, .shown = {L"裝置識別碼查詢失敗,請重試!!"},
                 .sentences = kUntouched, .versionAfter = 3},
        Scenario{.name = "RefusedDeletionStopsBeforeAnyTransfer",
                 .fault = Fault{.effect = Fault::Effect::kRefuseDeletion, .command = 996, .nth = 1, .times = 0},
                 .outcome = FlowOutcome::kTransferFailed,
                 .shown = {L"刪除DB失敗,請重試!!\nThe device may hold no speed-camera database now: check the USB cable's connection and run the update again; if it fails again, ask your dealer."},
                 .sentences = {{"$PQEL999", 0}}, .versionAfter = -1},
        Scenario{.name = "BadDownloadTouchesTheDeviceNotAtAll", .page = updserver::Page::kDownload,
                 .serverFault = {.body = std::string(100, 'x')}, .outcome = FlowOutcome::kInvalidDatabase,
                 .shown = {L"測速照相資料庫格式錯誤"}, .sentences = kUntouched, .versionAfter = 3},
        // Questions before the device's database is deleted.
        Scenario{.name = "RegionNo", .setup = {.region = "CN"}, .answer = kNo, .outcome = kDeclined,
                 .question = kCnToTw, .sentences = kUntouched, .versionAfter = 3},
        Scenario{.name = "PoiFileUnwritableNo", .setup = {.pois = 3}, .poiFileBlocked = true,
                 .answer = kNo, .outcome = kDeclined, .question = kNoneSaved, .sentences = kUntouched,
                 .versionAfter = 3},
        Scenario{.name = "PoiFileUnwritableYes", .setup = {.pois = 3}, .poiFileBlocked = true,
                 .question = kNoneSaved},
        // 100 or more POIs: the device refuses the count query.
        Scenario{.name = "CountRefusedNo", .setup = {.pois = 3}, .fault = kCountRefused, .answer = kNo,
                 .outcome = kDeclined, .question = kUnknownCount, .sentences = kUntouched,
                 .versionAfter = 3},
        Scenario{.name = "PoiUnreadableNo", .setup = {.pois = 3},
                 .fault = Fault{.effect = Fault::Effect::kDropReply, .command = 114, .argument = 1},
                 .answer = kNo, .outcome = kDeclined,
                 .question = L"Incomplete POI backup: the device holds 3 POIs, only 2 were saved to POI.csv." + kGoOn,
                 .sentences = kUntouched, .versionAfter = 3},
        // Gone after the first POI: a Yes then fails at the deletion.
        Scenario{.name = "DeviceGoneDuringPoisNo", .setup = {.pois = 3}, .fault = kGoneAfterFirstPoi,
                 .answer = kNo, .outcome = kDeclined, .question = kOneSaved, .sentences = kUntouched,
                 .versionAfter = 3},
        // The device acknowledges FF02's end but lists it unfinished: the
        // check of its file table fails the transfer, and the rerun, with the
        // same download, mends it. Another detector stays attached meanwhile:
        // the prompt watches the one being updated.
        Scenario{.name = "FileLostAfterItsEnd", .setup = {.behindAnother = true},
                 .fault = Fault{.effect = Fault::Effect::kLoseFile, .nth = 3},
                 .replug = ReplugResult::kOk,
                 .messages = std::vector{kWarning, kNews, kUploadFailed, kRestart},
                 .replugs = 1, .serverRequests = 4, .reducedIndex = true},
        // A device reading frames blindly takes a repeated header as frame
        // bytes: the first file fails, and the rerun sends it whole.
        Scenario{.name = "RepeatedHeaderReadAsFrameBytes", .setup = {.rawFrames = true},
                 .fault = Fault{.effect = Fault::Effect::kDelayReply, .command = 999, .argument = 1,
                                .duration = kMinScaledReply + std::chrono::milliseconds(50)},
                 .replug = ReplugResult::kOk,
                 .messages = std::vector{kWarning, kNews, kUploadFailed, kRestart},
                 .replugs = 1, .reducedIndex = true},
        // One late entry of the file table must not make the device look empty.
        Scenario{.name = "LateFileListingReply",
                 .fault = Fault{.effect = Fault::Effect::kDelayReply, .command = 995,
                                .duration = kMinScaledReply + std::chrono::milliseconds(50)},
                 .offerSame = true, .outcome = FlowOutcome::kUpToDate, .shown = {L"網站無新的資料庫可供更新"},
                 .sentences = kUntouched, .versionAfter = 3},
        Scenario{.name = "DeviceGoneDuringPoisYes", .setup = {.pois = 3}, .fault = kGoneAfterFirstPoi,
                 .outcome = FlowOutcome::kTransferFailed, .question = kOneSaved, .versionAfter = -1}),
    test::RowName());

}  // namespace
}  // namespace mzt::test
