#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "updserver/UpdateServer.h"
#include "page/ControlIds.h"
#include "page/PageTexts.h"
#include "page/OnlineUpdate.h"
#include "page/ProgressDisplay.h"
#include "page/UpdateServerPages.h"
#include "platform/SystemError.h"
#include "platform/TextCodec.h"
#include "support/ParamName.h"
#include "support/RecordingSurface.h"
#include "support/TempFolder.h"
#include "support/TestDatabase.h"
#include "support/TinyProxy.h"

namespace mzt {
namespace {
namespace fs = std::filesystem;
using test::SurfaceCall;
using updserver::Page;
using updserver::PageFault;
using Shown = std::vector<std::pair<std::wstring, std::wstring>>;

constexpr size_t kTaiwanSize = 300000;
const std::wstring kInfo = L"MZT Utility";
const std::wstring kError = L"錯誤";
const std::wstring kStatusBase = L"Connecting to Web server...Failure";
const std::wstring kNewTaiwan = L"網站上有新的資料庫可做更新, 資料庫版本為:202401050012";
const std::wstring kNoNewer = L"網站無新的資料庫可供更新";
const std::wstring kUnstable = L"網路可能不穩定,請稍後再試";
const std::wstring kFormatError = L"測速照相資料庫格式錯誤";
const std::string kCheckTw = "/CheckDBVersion_NEW.aspx?DBVer=2008-01-01&Num=1";
const std::string kAddressTw = "/DBDownload_NEW.aspx?SN=SN%200001%2FA";
const std::string kFileTw = "/db/tw/tw.bin";
const std::string kCheckCn = "/CheckDBVersionC_NEW.aspx?DBVer=2008-01-01&Num=1";
const std::string kAddressCn = "/DBDownloadC_NEW.aspx?SN=SN%200001%2FA";
const std::string kFileCn = "/db/cn/cn.bin";

std::string TaiwanFile() { return test::TestDatabaseBytes(2024, 1, 5, 12, kTaiwanSize); }
std::string ChinaFile() { return test::TestDatabaseBytes(2024, 2, 1, 3, 2000); }

class OnlineUpdateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::ClearProxyEnvironment();
    state_.workFolder = data_.Path();
    fs::create_directories(databases_ / "tw");
    fs::create_directories(databases_ / "cn");
    test::WriteFileBytes(databases_ / "tw" / "tw.bin", TaiwanFile());
    test::WriteFileBytes(databases_ / "cn" / "cn.bin", ChinaFile());
    ASSERT_TRUE(server_.Start());
    surface_.AddListItem(ids::kRegionList, strings::kTaiwan);
    surface_.AddListItem(ids::kRegionList, strings::kChina);
    surface_.SelectListItem(ids::kRegionList, 0);
    surface_.OpenWaitDialog();
    surface_.ClearEvents();
    state_.deviceId = L"SN 0001/A";
    state_.deviceRegionCode = "TW";
    state_.firmware.regionCapable = true;
  }

  void TearDown() override { test::ClearProxyEnvironment(); }

  OnlineUpdate MakeFlow(HttpClientFactory factory = {}) {
    OnlineUpdateHooks hooks;
    hooks.showProgress = [this](uint64_t done, uint64_t total) {
      progress_.emplace_back(done, total);
      ShowProgress(surface_, done, total);
    };
    hooks.startUpload = [this] { ++uploads_; };
    return OnlineUpdate(surface_, state_, std::move(factory), server_.BaseUrl(), hooks);
  }

  bool Run(HttpClientFactory factory = {}) { return MakeFlow(std::move(factory)).Run(L"wait"); }

  Shown Messages() const {
    Shown shown;
    for (const auto& message : surface_.Messages()) shown.emplace_back(message.text, message.caption);
    return shown;
  }

  fs::path Database() const { return data_ / "ULDB.bin"; }
  bool PartialLeft() const { return fs::exists(data_ / "ULDB.bin.download"); }

  test::TempFolder data_;
  test::TempFolder databases_;
  updserver::UpdateServer server_{{.databaseFolder = databases_.Path()}};
  test::RecordingSurface surface_;
  PageState state_;
  int uploads_ = 0;
  std::vector<std::pair<uint64_t, uint64_t>> progress_;
};

TEST_F(OnlineUpdateTest, NewerDatabaseIsDownloadedAndTheUploadStarted) {
  ASSERT_TRUE(Run()) << surface_.Transcript();
  EXPECT_EQ(uploads_, 1);
  EXPECT_EQ(Messages(), (Shown{{kNewTaiwan, kInfo}}));
  EXPECT_EQ(state_.databasePath, Database());
  EXPECT_EQ(state_.downloadUrl, server_.BaseUrl() + "db/tw/tw.bin");
  EXPECT_EQ(state_.newDbDate, L"20240105");
  EXPECT_EQ(state_.newDbNumber, 12);

  // Each request is shown, in the status line and the wait dialog, while it runs.
  std::wstring shown;
  for (const auto& e : surface_.Events())
    if (e.call == SurfaceCall::kSetWaitCaption || e.call == SurfaceCall::kOpenWaitDialog ||
        e.call == SurfaceCall::kCloseWaitDialog || (e.call == SurfaceCall::kSetText && e.id == ids::kStatusText))
      shown += (e.call == SurfaceCall::kOpenWaitDialog    ? L"open"
                : e.call == SurfaceCall::kCloseWaitDialog ? L"closed"
                                                          : e.text) + L"|";
  EXPECT_EQ(shown, L"open|檢查網路更新,wait|檢查網路更新,wait|open|Getting the download address,wait|Getting the download address,wait|"
                   L"closed|closed|open|資料下載中,請稍等|資料下載中,請稍等|closed|closed|");
  EXPECT_FALSE(surface_.IsWaitDialogOpen());
  EXPECT_EQ(surface_.Control(ids::kProgressText).text, L"");
  EXPECT_EQ(surface_.Control(ids::kProgressBar).position, 0);

  // The download's progress reaches the total and is shown.
  ASSERT_GE(progress_.size(), 2u);
  EXPECT_EQ(progress_.back(), std::pair(uint64_t{kTaiwanSize}, uint64_t{kTaiwanSize}));
  EXPECT_EQ(surface_.Control(ids::kProgressBar).rangeHigh, static_cast<int>(kTaiwanSize));
}

// One page misbehaves: what the user is shown, what a front end can tell
// where the page keeps silent, and that only a whole database replaces the
// former file.
struct AnswerRow {
  std::string name;
  Page page;
  PageFault fault;
  Shown messages;        // for the download, after the news of the newer database
  std::string silent{};  // a part of SilentFailure(); empty: nothing
  FlowOutcome outcome = FlowOutcome::kNetworkFailure;
  bool downloaded = false;
};

class AnswerTest : public OnlineUpdateTest, public ::testing::WithParamInterface<AnswerRow> {};

TEST_P(AnswerTest, EndsTheUpdateOrGoesOn) {
  const AnswerRow& row = GetParam();
  test::WriteFileBytes(Database(), "former");
  server_.SetFault(row.page, row.fault);
  OnlineUpdate flow = MakeFlow();
  EXPECT_EQ(flow.Run(L"wait"), row.downloaded);
  Shown expected;
  if (row.page == Page::kDownload) expected.emplace_back(kNewTaiwan, kInfo);
  expected.insert(expected.end(), row.messages.begin(), row.messages.end());
  EXPECT_EQ(Messages(), expected) << surface_.Transcript();
  if (!row.downloaded) {
    EXPECT_EQ(flow.FailureOutcome(), row.outcome);
  }
  if (row.silent.empty()) {
    EXPECT_EQ(flow.SilentFailure(), "");
  } else {
    EXPECT_NE(flow.SilentFailure().find(row.silent), std::string::npos) << flow.SilentFailure();
  }
  std::vector<std::string> asked{kCheckTw, kAddressTw, kFileTw};
  asked.resize(static_cast<size_t>(row.page) + 1);
  EXPECT_EQ(server_.Requests(), asked);
  EXPECT_EQ(uploads_, row.downloaded ? 1 : 0);
  EXPECT_EQ(test::ReadFileBytes(Database()),
            row.downloaded ? row.fault.body.value_or(TaiwanFile()) : "former");
  EXPECT_FALSE(PartialLeft());
  // The wait dialog shows the check, and closes before the check's messages
  // (a silent failure leaves it to the page's end of the flow).
  if (row.page == Page::kVersionCheck) {
    EXPECT_EQ(surface_.EventsOf(SurfaceCall::kCloseWaitDialog).size(), row.messages.empty() ? 0u : 1u);
    auto events = surface_.Events();
    auto shown = std::find_if(events.begin(), events.end(),
                              [](const auto& e) { return e.call == SurfaceCall::kShowMessage; });
    if (shown != events.end() && shown != events.begin()) {
      EXPECT_EQ((shown - 1)->call, SurfaceCall::kCloseWaitDialog);
    }
  }
}

const std::string k44 = "6," + std::string(42, '-');
constexpr Page kCheck = Page::kVersionCheck;
constexpr Page kAddress = Page::kDownloadAddress;
constexpr Page kFile = Page::kDownload;

INSTANTIATE_TEST_SUITE_P(
    Pages, AnswerTest,
    ::testing::Values(
        AnswerRow{"CheckCode2", kCheck, {.body = "2"}, {{kNoNewer, kInfo}}, "", FlowOutcome::kUpToDate},
        AnswerRow{"CheckCode4", kCheck, {.body = "4"}, {{L"網站上沒有測數照像資料庫", kInfo}}},
        AnswerRow{"CheckCode6", kCheck, {.body = "6"}, {}, "version check (http://"},
        AnswerRow{"CheckCode7", kCheck, {.body = "7"}, {}, "answered code 7"},
        AnswerRow{"CheckMalformedVersion", kCheck, {.body = "3,1"},
                  {{L"The update server answered a database version in a wrong format: 3,1", kError}}},
        AnswerRow{"CheckNonNumericCode", kCheck, {.body = "X3,20240105,12"}, {},
                  "not an answer code: \"X3,20240105,12\""},
        AnswerRow{"CheckGarbage", kCheck, {.body = std::string("\x89GARBAGE \x7f\r\n\xff\xfe<html>", 20)}, {},
                  "not an answer code: \".GARBAGE .....<html>\""},
        AnswerRow{"CheckStatus404", kCheck, {.status = 404}, {}, "answered HTTP status 404"},
        AnswerRow{"CheckEndlessDrip", kCheck, {.dripRate = 2}, {{kUnstable, kError}}},
        AnswerRow{"AddressCode2", kAddress, {.body = "2"}, {{kNoNewer, kInfo}}, "", FlowOutcome::kUpToDate},
        AnswerRow{"AddressCode4", kAddress, {.body = "4"}, {{L"網站上沒有測數照像資料庫", kInfo}}},
        AnswerRow{"AddressCode6", kAddress, {.body = "6"}, {{L"資料庫伺服器有錯誤", kInfo}}},
        AnswerRow{"AddressCode7", kAddress, {.body = "7"}, {},
                  "DBDownload_NEW.aspx?SN=SN%200001%2FA answered code 7"},
        AnswerRow{"AddressBrokenOffSilently", kAddress, {.truncate = true}, {},
                  "DBDownload_NEW.aspx?SN=SN%200001%2FA failed: "},
        AnswerRow{"AddressEndlessDripSilently", kAddress, {.dripRate = 2}, {},
                  "DBDownload_NEW.aspx?SN=SN%200001%2FA failed: "},
        AnswerRow{"AddressStatus403", kAddress, {.status = 403}, {{kStatusBase + L"  Forbidden", kInfo}}},
        AnswerRow{"FileStatus404", kFile, {.status = 404},
                  {{kStatusBase + L"  Not Found", kInfo}, {L"下載的DB檔不存在", kError}}},
        AnswerRow{"FileStatus500", kFile, {.status = 500}, {{kStatusBase + L"   Internal Server Error", kInfo}}},
        AnswerRow{"FileAnswerCode2", kFile, {.body = "2"}, {{kNoNewer, kInfo}}},
        AnswerRow{"FileAnswerWithoutMessage", kFile, {.body = "7"}, {{L"", kInfo}}},
        AnswerRow{"FileAnswer44Bytes", kFile, {.body = k44}, {{L"資料庫伺服器有錯誤", kInfo}}},
        AnswerRow{"File45BytesAreNoDatabase", kFile, {.body = k44 + "-"}, {{kFormatError, kError}},
                  "is not a whole database: ", FlowOutcome::kInvalidDatabase},
        AnswerRow{"FileTruncated", kFile, {.truncate = true}, {{kStatusBase, kInfo}}},
        AnswerRow{"FileChunkedTruncated", kFile, {.truncate = true, .chunked = true}, {{kStatusBase, kInfo}}},
        // Cut short where no length tells: only the database's own structure shows it.
        AnswerRow{"FileCutWithoutALength", kFile, {.truncate = true, .unframed = true},
                  {{kFormatError, kError}}, "(is it cut short?)", FlowOutcome::kInvalidDatabase},
        AnswerRow{"FileLengthShortOfTheBody", kFile, {.lengthShortBy = 3600}, {{kFormatError, kError}},
                  "(is it cut short?)", FlowOutcome::kInvalidDatabase},
        AnswerRow{"FileOfAnotherVersion", kFile, {.body = test::TestDatabaseBytes(2010, 1, 2, 1, 2000)},
                  {{L"The downloaded database's version 201001020001 is not the version 202401050012 the site announced", kError}}},
        AnswerRow{"FileUnknownLength", kFile, {.chunked = true}, {}, "", {}, true},
        // Far longer than the scaled stall window; the server's pause ends when it stops.
        AnswerRow{"FileStalled", kFile, {.pieceDelay = std::chrono::seconds(30)}, {{kUnstable, kError}}},
        AnswerRow{"FileEndlessDrip", kFile, {.dripRate = 64}, {{kUnstable, kError}}}),
    test::RowName());

TEST_F(OnlineUpdateTest, UnwritableDatabaseFileIsAFileFailure) {
  auto expectFileFailure = [this](int code) {
    surface_.ClearEvents();
    OnlineUpdate flow = MakeFlow();
    EXPECT_FALSE(flow.Run(L"wait"));
    EXPECT_EQ(flow.FailureOutcome(), FlowOutcome::kFileError);
    EXPECT_EQ(Messages().back(),
              std::pair(Utf8ToWide(SystemErrorText(code)) + L"\nFolder: " + data_.Path().wstring(),
                        std::wstring(L"Error")));
    EXPECT_EQ(uploads_, 0);
  };
  fs::create_directories(Database() / "occupied");
  expectFileFailure(EISDIR);
  EXPECT_FALSE(PartialLeft());

  // Where the download itself cannot be made new, it is not even asked for.
  fs::remove_all(Database());
  fs::create_directories(data_ / "ULDB.bin.download" / "occupied");
  expectFileFailure(EEXIST);
  EXPECT_EQ(server_.Requests().back(), kAddressTw);
}

struct HugeRow {
  std::string name;
  Page page;
  size_t request;  // 0 version check, 1 download address, 3 success report
  size_t mostRead;
};

class HugeAnswerTest : public OnlineUpdateTest, public ::testing::WithParamInterface<HugeRow> {};

// An answer padded with tens of MiB is read only as far as its fields go.
TEST_P(HugeAnswerTest, IsReadOnlyAsFarAsItIsUsed) {
  server_.SetFault(GetParam().page, {.hugeBytes = 16 << 20});
  std::vector<uint64_t> read;  // bytes of the body received, per request
  OnlineUpdate flow = MakeFlow([&read] {
    auto client = CreateHttpClient();
    client->SetProgressCallback([&read, index = read.size()](uint64_t done, uint64_t) {
      read[index] = done;
    });
    read.push_back(0);
    return client;
  });
  ASSERT_TRUE(flow.Run(L"wait")) << surface_.Transcript();
  EXPECT_EQ(flow.ReportSuccess(), 7);
  EXPECT_EQ(Messages(), (Shown{{kNewTaiwan, kInfo}}));
  EXPECT_EQ(test::ReadFileBytes(Database()), TaiwanFile());
  ASSERT_EQ(read.size(), 4u);
  EXPECT_GT(read[GetParam().request], 0u);
  EXPECT_LE(read[GetParam().request], GetParam().mostRead);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, HugeAnswerTest,
    ::testing::Values(HugeRow{"VersionCheck", Page::kVersionCheck, 0, 50},
                      HugeRow{"DownloadAddress", Page::kDownloadAddress, 1, kMaxServerAnswerBytes},
                      HugeRow{"SuccessReport", Page::kSuccessReport, 3, kMaxServerAnswerBytes}),
    test::RowName());

// What comes before the download: the device's region and firmware, the
// region chosen, the user's answer, the proxy, a server that is not there.
struct SetupRow {
  std::string name;
  std::string deviceCode = "TW";
  int chosen = 0;  // in the region list
  bool regionCapable = true;
  MessageAnswer answer = MessageAnswer::kYes;  // to the region question
  std::optional<PageFault> check{};            // the version check's fault
  const char* proxy = nullptr;                 // http_proxy
  bool serverDown = false;
  Shown messages{};
  std::vector<std::string> requests{};
  DatabaseVersion device{};  // the device's database
  bool installs = true;      // once downloaded
};

class SetupTest : public OnlineUpdateTest, public ::testing::WithParamInterface<SetupRow> {};

TEST_P(SetupTest, AsksAndDownloadsWhatTheSetupCallsFor) {
  const SetupRow& row = GetParam();
  state_.deviceRegionCode = row.deviceCode;
  state_.firmware.regionCapable = row.regionCapable;
  surface_.SelectListItem(ids::kRegionList, row.chosen);
  surface_.SetDefaultAnswer(MessageButtons::kYesNo, row.answer);
  if (row.check) server_.SetFault(Page::kVersionCheck, *row.check);
  if (row.proxy) setenv("http_proxy", row.proxy, 1);
  if (row.serverDown) server_.Stop();
  state_.deviceVersion = row.device;
  bool downloaded = row.requests.size() == 3 && row.installs;
  EXPECT_EQ(Run(), downloaded);
  EXPECT_EQ(Messages(), row.messages) << surface_.Transcript();
  EXPECT_EQ(server_.Requests(), row.requests);
  EXPECT_EQ(uploads_, downloaded ? 1 : 0);
  if (downloaded) {
    EXPECT_EQ(test::ReadFileBytes(Database()), row.requests[0] == kCheckCn ? ChinaFile() : TaiwanFile());
  }
  for (const auto& m : surface_.Messages())
    EXPECT_EQ(m.buttons == MessageButtons::kYesNo, m.text.find(L"確定要置換") != std::wstring::npos);
  // Old firmware: the list is set back to Taiwan, however the update ends.
  if (!row.regionCapable) {
    EXPECT_EQ(surface_.Control(ids::kRegionList).selection, 0);
    EXPECT_FALSE(surface_.Control(ids::kRegionList).enabled);
  }
}

const std::wstring kTaiwanOnly = L"機器韌體版本只能下載[台灣]的測速照相資料";
const std::vector<std::string> kTaiwanRequests{kCheckTw, kAddressTw, kFileTw};
// From a device that holds 2025-01-15 number 3.
const std::vector<std::string> kTaiwanRequests2025{"/CheckDBVersion_NEW.aspx?DBVer=2025-01-15&Num=3",
                                                   kAddressTw, kFileTw};

INSTANTIATE_TEST_SUITE_P(
    Setups, SetupTest,
    ::testing::Values(
        SetupRow{.name = "UnknownToChinaYes", .deviceCode = "", .chosen = 1,
                 .messages = {{L"您的機器內目前是 [未知] 的測速照相資料,確定要置換為 [中國] 的測速照相資料嗎?", kInfo},
                              {L"網站上有新的資料庫可做更新, 資料庫版本為:202402010003", kInfo}},
                 .requests = {kCheckCn, kAddressCn, kFileCn}},
        SetupRow{.name = "TaiwanToChinaNo", .chosen = 1, .answer = MessageAnswer::kNo,
                 .messages = {{L"您的機器內目前是 [台灣] 的測速照相資料,確定要置換為 [中國] 的測速照相資料嗎?", kInfo}},
                 .requests = {kCheckCn}},
        // No message for code 2, and without an offered version the short form of the news;
        // the other region's database may be older than the device's.
        SetupRow{.name = "QuestionAfterAQuietCheck", .deviceCode = "CN",
                 .messages = {{L"您的機器內目前是 [中國] 的測速照相資料,確定要置換為 [台灣] 的測速照相資料嗎?", kInfo},
                              {L"網站上有新的資料庫可做更新", kInfo}},
                 .requests = kTaiwanRequests2025, .device = {2025, 1, 15, 3}},
        SetupRow{.name = "AnnouncedButOlderThanTheDevice", .check = PageFault{.body = "3,20240105,12"},
                 .messages = {{kNewTaiwan, kInfo},
                              {L"The downloaded database's version 202401050012 is not newer than the device's 202501150003", kError}},
                 .requests = kTaiwanRequests2025, .device = {2025, 1, 15, 3}, .installs = false},
        SetupRow{.name = "OldFirmwareWithChinaChosenGetsTaiwan", .deviceCode = "", .chosen = 1,
                 .regionCapable = false, .messages = {{kTaiwanOnly, kInfo}, {kNewTaiwan, kInfo}},
                 .requests = kTaiwanRequests},
        SetupRow{.name = "OldFirmwareNothingNewer", .deviceCode = "", .chosen = 1, .regionCapable = false,
                 .check = PageFault{.body = "2"}, .messages = {{kTaiwanOnly, kInfo}, {kNoNewer, kInfo}},
                 .requests = {kCheckTw}},
        SetupRow{.name = "RefusedProxyMakesNoRequest", .proxy = "http://bad host:3128/",
                 .messages = {{L"Proxy設定失敗", kError}}},
        SetupRow{.name = "UnreachableServerShowsTheSystemsText", .serverDown = true,
                 .messages = {{L"The update server cannot be reached. Check the network connection and the proxy setting, or run mzt doctor to find out why.\nThe system says: " +
                                   Utf8ToWide(SystemErrorText(ECONNREFUSED)), kError}}}),
    test::RowName());

TEST_F(OnlineUpdateTest, SuccessReportGoesToTheChosenRegionsPage) {
  surface_.SelectListItem(ids::kRegionList, 1);
  OnlineUpdate flow = MakeFlow();
  EXPECT_EQ(flow.ReportSuccess(), 7);
  ASSERT_EQ(server_.SuccessReports().size(), 1u);
  EXPECT_EQ(server_.SuccessReports()[0].region, "cn");
  EXPECT_EQ(server_.SuccessReports()[0].deviceId, "SN 0001/A");
  EXPECT_TRUE(Messages().empty());

  server_.SetFault(Page::kSuccessReport, {.body = "6"});
  EXPECT_EQ(flow.ReportSuccess(), 6);
  server_.SetFault(Page::kSuccessReport, {.status = 500});
  EXPECT_EQ(flow.ReportSuccess(), 0);
  server_.SetFault(Page::kSuccessReport, {.dripRate = 2});
  EXPECT_EQ(flow.ReportSuccess(), 0);
  EXPECT_EQ(Messages(), (Shown{{L"資料庫伺服器有錯誤", kInfo},
                               {kStatusBase + L"   Internal Server Error", kInfo}}));
}

// A server setting that names no server is said, and nothing is asked of
// anyone; a usable one set afterwards is asked, its slash added.
TEST_F(OnlineUpdateTest, RefusedServerSettingAndAnAddressWithoutItsSlash) {
  OnlineUpdate refused = MakeFlow();
  refused.SetServer(Error{ErrorCode::kInvalidArgument, "MZT_UPDATE_SERVER=x is not an http:// address"});
  EXPECT_FALSE(refused.Run(L""));
  EXPECT_TRUE(server_.Requests().empty());
  EXPECT_EQ(Messages(), (Shown{{L"The update server's address is set wrongly:\nMZT_UPDATE_SERVER=x is not an http:// address", kError}}));
  std::string base = server_.BaseUrl();
  refused.SetServer(UpdateServerAddress{.url = base.substr(0, base.size() - 1)});
  EXPECT_TRUE(refused.Run(L""));
}

}  // namespace
}  // namespace mzt
