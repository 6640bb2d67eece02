// The device's own POIs: the export to "POI.csv" before an update, and the
// clear action with its clearing step.

#include "common/CameraRecord.h"
#include "page/ControlIds.h"
#include "page/MztUtilitySheet.h"
#include "page/PoiExport.h"
#include "page/UploadDBDlg.h"
#include "platform/ProgramFolder.h"

namespace mzt {

using namespace ids;

PoiBackup CUploadDBDlg::ExportPois() {
  const int count = state_.poiCount;
  PoiBackup backup{.held = count};
  std::filesystem::path folder = DataFolder();
  PoiCsvFile file(folder.empty() ? std::filesystem::path() : folder / kPoiFileName);
  if (!file.IsOpen()) {
    Message(L"無法產生ＰＯＩ檔案", strings::kErrorCaption);
    backup.fileFailed = true;
    backup.fileError = file.LastError();
    return backup;
  }
  surface_.SetProgressPosition(kProgressBar, 0);
  surface_.SetProgressRange(kProgressBar, 0, 100);
  const UtcTime time = CurrentUtcTime();
  for (int index = 0; index < count; ++index) {
    // A POI that cannot be read is skipped, and counted.
    if (!sheet_.ReadPoiRecord(index)) {
      ++backup.unread;
      continue;
    }
    CameraRecord record;
    sheet_.CopyPoiRecord(record);
    if (!file.Append(FormatPoiLine(record, time))) {
      // The disk is full or gone: the rest would fail alike.
      backup.fileFailed = true;
      backup.fileError = file.LastError();
      break;
    }
    ++backup.saved;
    surface_.SetProgressPosition(kProgressBar, index * 100 / count);
  }
  surface_.SetProgressPosition(kProgressBar, 100);
  return backup;
}

void CUploadDBDlg::BackUpPois() {
  // A refused count (the device does not tell 100 or more) is no count of 0.
  bool counted = sheet_.QueryDeviceInfo(3);
  state_.poiCount = counted ? sheet_.GetPoiCount() : 0;
  state_.poiBackup = PoiBackup{.held = counted ? state_.poiCount : -1};
  if (state_.poiCount == 0) return;
  surface_.SetWaitCaption(L"下載POI," + state_.waitText);
  state_.poiBackup = ExportPois();
}

bool CUploadDBDlg::ConfirmIncompleteBackup() {
  if (!state_.poiBackup || state_.poiBackup->Complete()) return true;
  const PoiBackup& backup = *state_.poiBackup;
  std::wstring saved = std::to_wstring(backup.saved);
  std::wstring text =
      backup.CountKnown()
          ? L"POI備份不完整: 裝置內共 " + std::to_wstring(backup.held) + L" 個POI, 只有 " + saved +
                L" 個存入POI.csv。"
          : L"POI備份不完整: 無法讀取裝置內的POI數量, 存入POI.csv " + saved + L" 個。";
  text += L"\n更新將刪除裝置內的資料, 請問是否仍要繼續更新?";
  return surface_.ShowMessage(text, strings::kAppCaption, MessageButtons::kYesNo) ==
         MessageAnswer::kYes;
}

void CUploadDBDlg::OnClearPoiButton() {
  ActionScope action(*this);
  std::string port = SelectedPortName();
  state_.mode = PageMode::kClearPoi;
  EnablePageControls(false);
  surface_.Enable(kClearPoiButton, false);
  surface_.Enable(kQueryButton, false);
  MessageAnswer answer = surface_.ShowMessage(L"程式將刪除裝置內POI資料,請問是否刪除?",
                                              strings::kAppCaption, MessageButtons::kYesNo);
  if (answer != MessageAnswer::kYes) {
    surface_.Enable(kClearPoiButton, true);
    EnablePageControls(true);
    surface_.Enable(kQueryButton, true);
    Finish(FlowOutcome::kDeclined);
    return;
  }
  EnablePageControls(false);
  if (!sheet_.OpenPort(port)) {
    ShowPortOpenFailure();
    sheet_.SetPagesEnabled(true);
    EnablePageControls(true);
    state_.connected = false;
    surface_.SetText(kUpdateButton, strings::kUpdateDatabase);
    Finish(FlowOutcome::kDeviceUnreachable);
    return;
  }
  outcome_ = FlowOutcome::kNone;
  surface_.Enable(kUpdateButton, false);
  state_.portName = port;
  sheet_.SetPagesEnabled(false);
  workers_.Start([this] { ConnectWorker(); });
}

void CUploadDBDlg::OnExportPoiAction() {
  ActionScope action(*this);
  state_.poiBackup.reset();
  EnableActionButtons(false);
  state_.mode = PageMode::kExportPoi;
  StartConversation(false);
}

void CUploadDBDlg::ExportStep() {
  ReadFirmwareFlags();  // the POI count's field depends on the firmware
  state_.waitText = surface_.WaitCaption();
  BackUpPois();
  surface_.CloseWaitDialog();
  Reset();
  EnableActionButtons(true);
  const PoiBackup& backup = *state_.poiBackup;
  Finish(backup.fileFailed      ? FlowOutcome::kFileError
         : !backup.Complete()   ? FlowOutcome::kDeviceUnreachable
                                : FlowOutcome::kSuccess);
}

void CUploadDBDlg::ClearingStep() {
  if (sheet_.ClearPois()) {
    surface_.CloseWaitDialog();
    Message(L"POI清除完成,請重新啟動裝置!", strings::kAppCaption);
    sheet_.ClosePort();
    Finish(FlowOutcome::kSuccess);
  } else {
    surface_.CloseWaitDialog();
    Message(L"POI清除失敗,請稍後再試!", strings::kAppCaption);
    Finish(FlowOutcome::kDeviceUnreachable);
  }
  surface_.Enable(kClearPoiButton, true);
}

}  // namespace mzt
