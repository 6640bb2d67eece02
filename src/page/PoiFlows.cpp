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

bool CUploadDBDlg::ExportPois() {
  std::filesystem::path folder = DataFolder();
  if (folder.empty()) return false;
  PoiCsvFile file(folder / "POI.csv");
  if (!file.IsOpen()) {
    Message(L"無法產生ＰＯＩ檔案", strings::kErrorCaption);
    return false;
  }
  bool written = true;
  surface_.SetProgressPosition(kProgressBar, 0);
  surface_.SetProgressRange(kProgressBar, 0, 100);
  const UtcTime time = CurrentUtcTime();
  const int count = state_.poiCount;
  for (int index = 0; index < count; ++index) {
    // A POI that cannot be read is skipped.
    if (!sheet_.ReadPoiRecord(index)) continue;
    CameraRecord record;
    sheet_.CopyPoiRecord(record);
    written = file.Append(FormatPoiLine(record, time)) && written;
    surface_.SetProgressPosition(kProgressBar, index * 100 / count);
  }
  surface_.SetProgressPosition(kProgressBar, 100);
  return written;
}

void CUploadDBDlg::OnClearPoiButton() {
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
  EnableActionButtons(false);
  state_.mode = PageMode::kExportPoi;
  StartConversation(false);
}

void CUploadDBDlg::ExportStep() {
  ReadFirmwareFlags();  // the POI count's field depends on the firmware
  state_.poiCount = sheet_.QueryDeviceInfo(3) ? sheet_.GetPoiCount() : 0;
  bool exported = true;
  if (state_.poiCount != 0) {
    surface_.SetWaitCaption(L"下載POI," + surface_.WaitCaption());
    exported = ExportPois();
  }
  surface_.CloseWaitDialog();
  Reset();
  EnableActionButtons(true);
  Finish(exported ? FlowOutcome::kSuccess : FlowOutcome::kFileError);
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
