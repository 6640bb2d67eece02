// What runs on the connect worker once the port is open: upload mode, the
// firmware flags, the version query and the update's chain of steps.

#include <cstdio>

#include "common/FieldReader.h"
#include "common/Timing.h"
#include "page/ControlIds.h"
#include "page/MztUtilitySheet.h"
#include "page/OnlineUpdate.h"
#include "page/UploadDBDlg.h"
#include "platform/TextCodec.h"

namespace mzt {

using namespace ids;

namespace {

constexpr const wchar_t* kNoDatabaseInDevice = L"裝置內無測速照相資料庫";

std::wstring VersionText(const DatabaseVersion& v) {
  char text[48];
  std::snprintf(text, sizeof text, "%d%02d%02d%04d", v.year, v.month, v.day, v.number);
  return Utf8ToWide(text);
}

}  // namespace

void CUploadDBDlg::ConnectWorker() {
  // A device that keeps accepting the enter command without ever reporting
  // the mode must not hold the worker forever.
  for (int round = 0; round < kMaxUploadModeRounds; ++round) {
    Pause(Delay::kConnectStart);
    surface_.OpenWaitDialog();
    if (sheet_.QueryUploadMode() != 0) {
      state_.connected = true;
      DispatchByMode();
      return;
    }
    Pause(Delay::kUploadModeRetry);
    if (!sheet_.EnterUploadMode()) break;
  }
  surface_.SetText(kUpdateButton, strings::kUpdateDatabase);
  sheet_.SetPagesEnabled(true);
  sheet_.EnableCloseCommand();
  EnablePageControls(true);
  state_.connected = false;
  surface_.CloseWaitDialog();
  sheet_.ClosePort();
  Message(L"無法連結裝置,請確認是否選擇到正確通訊埠或請檢查機器", strings::kErrorCaption);
  surface_.Enable(kQueryButton, true);
  Finish(FlowOutcome::kDeviceUnreachable);
}

void CUploadDBDlg::DispatchByMode() {
  switch (state_.mode) {
    case PageMode::kUpdate:
      UpdateWorkerBody();
      break;
    case PageMode::kClearPoi:
      ClearingStep();
      sheet_.SetPagesEnabled(false);
      sheet_.EnableCloseCommand();
      EnableActionButtons(true);
      EnablePageControls(true);
      break;
    case PageMode::kExportPoi:
      ExportStep();
      break;
    case PageMode::kQuery: {
      ReadFirmwareFlags();
      Pause(Delay::kAfterFirmwareFlags);
      bool shown = VersionDisplay(false);
      Pause(Delay::kAfterVersionDisplay);
      sheet_.SetPagesEnabled(false);
      sheet_.EnableCloseCommand();
      EnablePageControls(true);
      EnableActionButtons(true);
      surface_.CloseWaitDialog();
      Finish(shown ? FlowOutcome::kSuccess : FlowOutcome::kDeviceUnreachable);
      break;
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
  if (!sheet_.QueryDeviceInfo(1)) return;
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
  return sheet_.QueryDeviceInfo(7);
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

bool CUploadDBDlg::VersionDisplay(bool withRecords) {
  if (!sheet_.QueryDeviceInfo(4) || !RegionQueryStep()) {
    surface_.CloseWaitDialog();
    sheet_.SetPagesEnabled(true);
    Message(L"DB版本查詢失敗,請重試!!", strings::kErrorCaption);
    Reset();
    return false;
  }
  ShowRegion();
  DatabaseVersion& version = state_.deviceVersion;
  auto readVersion = [&] {
    version.number = sheet_.GetDatabaseVersion(version.year, version.month, version.day);
  };
  std::wstring text;
  if (withRecords) {
    bool allPresent = state_.records[0].location != 0 && state_.records[1].location != 0 &&
                      state_.records[2].location != 0;
    if (allPresent) {
      surface_.Check(kDatabaseCheck, true);
      readVersion();
      bool none = version.year == 0 && version.month == 0 && version.day == 0 && version.number == 258;
      if (none) {
        version = DatabaseVersion{};
        text = kNoDatabaseInDevice;
      } else {
        text = VersionText(version);
      }
    } else {
      version = DatabaseVersion{};
      text = kNoDatabaseInDevice;
    }
  } else {
    surface_.Check(kDatabaseCheck, true);
    readVersion();
    if (version.year == 0 && version.month == 0 && version.day == 0) {
      text = L"無測速照相資料庫";
      version = DatabaseVersion{};
    } else {
      text = VersionText(version);
    }
    surface_.SetText(kDbVersionText, text);
    Reset();
  }
  surface_.SetText(kDbVersionText, text);
  return true;
}

void CUploadDBDlg::UpdateWorkerBody() {
  surface_.OpenWaitDialog();
  state_.fileIndex = 1;
  ForgetDeviceFileRecords();
  ReadFirmwareFlags();
  Pause(Delay::kAfterFirmwareFlags);

  bool firstPass = true;
  for (;;) {
    if (firstPass) {
      state_.waitText = surface_.WaitCaption();
      surface_.SetWaitCaption(L"讀取裝置檔案資料," + state_.waitText);
      firstPass = false;
    }
    int identifier = 0;
    int location = 0;
    // A device that never ends its table must not hold the update.
    if (state_.fileIndex > kMaxFileEntries ||
        !sheet_.QueryFileEntry(state_.fileIndex, identifier, location)) {
      --state_.fileIndex;
      break;
    }
    if (identifier >= 0xFF00 && identifier <= 0xFF02)
      state_.records[identifier - 0xFF00] = {identifier, location};
    ++state_.fileIndex;
    Pause(Delay::kFileListingStep);
  }
  if (surface_.IsWaitDialogOpen())
    surface_.SetWaitCaption(L"讀取資料庫版本資訊," + state_.waitText);

  RegionQueryStep();
  if (!VersionDisplay(true)) {
    surface_.Enable(kUpdateButton, true);
    Reset();
    surface_.Enable(kQueryButton, true);
    surface_.Enable(kClearPoiButton, true);
  }

  if (!sheet_.QueryDeviceInfo(2)) {
    surface_.CloseWaitDialog();
    sheet_.SetPagesEnabled(true);
    Message(L"裝置識別碼查詢失敗,請重試!!", strings::kErrorCaption);
    surface_.Enable(kUpdateButton, true);
    Reset();
    surface_.Enable(kQueryButton, true);
    surface_.Enable(kClearPoiButton, true);
    surface_.SetText(kUpdateButton, strings::kUpdateDatabase);
    Finish(FlowOutcome::kDeviceUnreachable);
    return;
  }
  state_.deviceId = AnsiToWide(sheet_.GetDeviceIdText());
  surface_.SetText(kDeviceIdText, state_.deviceId);
  BackUpPois();

  bool started = offlineDatabase_.empty() ? online_->Run(state_.waitText) : PrepareOfflineDatabase();
  if (!started) {
    surface_.SetText(kUpdateButton, strings::kUpdateDatabase);
    surface_.Enable(kUpdateButton, true);
    surface_.CloseWaitDialog();
    Reset();
    surface_.Enable(kQueryButton, true);
    surface_.Enable(kClearPoiButton, true);
    surface_.Enable(kRegionList, true);
    if (outcome_ == FlowOutcome::kNone) Finish(online_->FailureOutcome());
  }
}

}  // namespace mzt
