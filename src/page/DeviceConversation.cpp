// What runs on the connect worker once the port is open: upload mode, the
// firmware flags, the version query and the update's chain of steps.

#include <cstdio>

#include "common/FieldReader.h"
#include "common/TextFill.h"
#include "common/Timing.h"
#include "database/DatabaseLayout.h"
#include "devicelink/Cmd108.h"
#include "page/ControlIds.h"
#include "page/DeviceDatabase.h"
#include "page/MztUtilitySheet.h"
#include "page/OnlineUpdate.h"
#include "page/UploadDBDlg.h"
#include "platform/TextCodec.h"
#include "platform/Translation.h"

namespace mzt {

using namespace ids;

namespace {

constexpr const wchar_t* kNoDatabaseInDevice = L"裝置內無測速照相資料庫";
constexpr const char* kIncompleteDatabase = TrLater("Incomplete speed-camera database in the device");
constexpr const char* kListingCut = TrLater(" (file list not read to the end)");
constexpr const wchar_t* kVersionQueryFailed = L"DB版本查詢失敗,請重試!!";

}  // namespace

void CUploadDBDlg::ConnectWorker(PageLock& run) {
  // A device that keeps accepting the enter command without ever reporting
  // the mode must not hold the worker forever.
  for (int round = 0; round < kMaxUploadModeRounds; ++round) {
    Pause(Delay::kConnectStart);
    surface_.OpenWaitDialog();
    if (sheet_.QueryUploadMode() != 0) return DispatchByMode(run);
    Pause(Delay::kUploadModeRetry);
    if (!sheet_.EnterUploadMode()) break;
  }
  run.End({.outcome = FlowOutcome::kDeviceUnreachable,
           .message = L"無法連結裝置,請確認是否選擇到正確通訊埠或請檢查機器",
           .clearDisplay = false});
}

void CUploadDBDlg::DispatchByMode(PageLock& run) {
  switch (state_.mode) {
    case PageMode::kUpdate:
      return UpdateWorkerBody(run);
    case PageMode::kClearPoi:
      return run.End({.outcome = ClearingStep(), .clearDisplay = false, .keepBusy = true});
    case PageMode::kExportPoi:
      return run.End({.outcome = ExportStep()});
    case PageMode::kQuery: {
      ReadFirmwareFlags();
      Pause(Delay::kAfterFirmwareFlags);
      ListDeviceFiles();
      bool shown = ReadAndShowDeviceDatabase(false);
      Pause(Delay::kAfterDatabaseVersion);
      return run.End({.outcome = shown ? FlowOutcome::kSuccess : FlowOutcome::kDeviceUnreachable,
                      .message = shown ? L"" : kVersionQueryFailed,
                      .keepBusy = true});
    }
  }
}

void CUploadDBDlg::ReadFirmwareFlags() {
  FirmwareFlags& flags = state_.firmware;
  flags.regionQuery = false;
  flags.regionCapable = false;
  flags.block8192 = true;
  flags.exact1003 = false;
  sheet_.SetExactMode(false);
  if (!sheet_.QueryDeviceInfo(Cmd108::kFirmwareVersion)) return;
  std::string version = sheet_.GetVersionText();
  surface_.SetText(kFwVersionText, AnsiToWide(version));
  if (version == "1.0.0.3") {
    flags.exact1003 = true;
    sheet_.SetExactMode(true);
  }
  size_t dot = version.find('.');
  if (dot == std::string::npos) return;
  long long minor = ParseDecimal(std::string_view(version).substr(dot + 1));
  if (minor >= 2) flags.block8192 = false;
  if (minor >= 3) flags.regionCapable = true;
  if (minor >= 4) flags.regionQuery = true;
}

bool CUploadDBDlg::RegionQueryStep() {
  if (!state_.firmware.regionQuery) return true;
  return sheet_.QueryDeviceInfo(Cmd108::kRegion);
}

std::string CUploadDBDlg::AskedRegionCode() {
  // Firmware that is not asked has no region, whatever an earlier device said.
  return state_.firmware.regionQuery ? sheet_.GetRegionCode() : std::string();
}

void CUploadDBDlg::ShowRegion() {
  state_.deviceRegionCode = AskedRegionCode();
  surface_.SetText(kDbRegionText,
                   state_.deviceRegionCode == "TW" ? strings::kTaiwan : strings::kChina);
}

void CUploadDBDlg::ListDeviceFiles() {
  ForgetDeviceFileRecords();
  state_.fileIndex = 1;
  bool askedAgain = false;
  // A device that never ends its table must not hold the flow.
  while (state_.fileIndex <= kMaxFileEntries) {
    int identifier = 0;
    int location = 0;
    if (!sheet_.QueryFileEntry(state_.fileIndex, identifier, location)) {
      // Silence ends the table, but one late reply must not end it early:
      // the same entry is asked for once more, and a late answer counts.
      if (askedAgain) break;
      askedAgain = true;
      continue;
    }
    askedAgain = false;
    if (identifier >= kHeaderFileId && identifier <= kRecordsFileId)
      state_.records[identifier - kHeaderFileId] = {identifier, location};
    ++state_.fileIndex;
    Pause(Delay::kFileListingStep);
  }
  --state_.fileIndex;
}

bool CUploadDBDlg::ReadAndShowDeviceDatabase(bool withRecords) {
  if (!sheet_.QueryDeviceInfo(Cmd108::kDatabaseVersion) || !RegionQueryStep()) return false;
  ShowRegion();
  DatabaseVersion reported;
  reported.number = sheet_.GetDatabaseVersion(reported.year, reported.month, reported.day);
  bool versionReported = reported.year != 0 || reported.month != 0 || reported.day != 0;
  DeviceDatabase& held = state_.deviceDatabase;
  held = JudgeDeviceDatabase(state_.records, versionReported);
  // An incomplete database is no database to the server: any offer installs.
  state_.deviceVersion = held == DeviceDatabase::kComplete || held == DeviceDatabase::kUnknown
                             ? reported
                             : DatabaseVersion{};
  std::wstring text;
  switch (held) {
    case DeviceDatabase::kComplete: text = DatabaseVersionText(reported); break;
    case DeviceDatabase::kUnknown: text = DatabaseVersionText(reported) + TrW(kListingCut); break;
    case DeviceDatabase::kIncomplete: text = TrW(kIncompleteDatabase); break;
    case DeviceDatabase::kNone: text = withRecords ? kNoDatabaseInDevice : L"無測速照相資料庫"; break;
  }
  if (held == DeviceDatabase::kComplete || !withRecords) surface_.Check(kDatabaseCheck, true);
  surface_.SetText(kDbVersionText, text);
  if (withRecords && held == DeviceDatabase::kUnknown)
    Message(Fill(TrW("The device's file list could not be read whole; the database version {1} the device "
                     "reports stands."),
                 {DatabaseVersionText(reported)}),
            strings::kAppCaption);
  return true;
}

void CUploadDBDlg::UpdateWorkerBody(PageLock& run) {
  surface_.OpenWaitDialog();
  ReadFirmwareFlags();
  Pause(Delay::kAfterFirmwareFlags);

  state_.waitText = surface_.WaitCaption();
  surface_.SetWaitCaption(L"讀取裝置檔案資料," + state_.waitText);
  ListDeviceFiles();
  if (surface_.IsWaitDialogOpen())
    surface_.SetWaitCaption(L"讀取資料庫版本資訊," + state_.waitText);

  RegionQueryStep();
  if (!ReadAndShowDeviceDatabase(true))
    return run.End({.outcome = FlowOutcome::kDeviceUnreachable, .message = kVersionQueryFailed});
  if (!sheet_.QueryDeviceInfo(Cmd108::kDeviceId))
    return run.End({.outcome = FlowOutcome::kDeviceUnreachable, .message = L"裝置識別碼查詢失敗,請重試!!"});
  state_.deviceId = AnsiToWide(sheet_.GetDeviceIdText());
  surface_.SetText(kDeviceIdText, state_.deviceId);
  // The run after a failed transfer has saved this device's POIs already
  // (appending them again would only double POI.csv) and goes on with the
  // download it checked.
  const bool again = state_.retry.rerun && state_.retry.poisSavedOf == state_.deviceId;
  if (!again) {
    // Asked first, the update saves the POIs only after the user's Yes.
    if (askBeforeOnlineUpdate_ && offlineDatabase_.empty()) CountPois();
    else BackUpPois();
    state_.retry.poisSavedOf = state_.deviceId;
  }

  // Once started, the upload worker ends the run.
  if (!offlineDatabase_.empty()) {
    if (!PrepareOfflineDatabase()) run.End({.outcome = FlowOutcome::kDeclined});
  } else if (!(again && online_->UploadAgain()) && !online_->Run(state_.waitText)) {
    run.End({.outcome = online_->FailureOutcome()});
  }
}

}  // namespace mzt
