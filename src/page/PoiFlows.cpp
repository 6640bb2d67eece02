// The device's own POIs: the export to "POI.csv" before an update or a
// clearing, the clear action with its clearing step, and the question before
// an online update that front ends without a warning of their own ask.

#include <cwchar>

#include "common/CameraRecord.h"
#include "common/TextFill.h"
#include "devicelink/Cmd108.h"
#include "page/ControlIds.h"
#include "page/MztUtilitySheet.h"
#include "page/PoiExport.h"
#include "page/UploadDBDlg.h"
#include "platform/ProgramFolder.h"
#include "platform/SystemError.h"
#include "platform/TextCodec.h"
#include "platform/Translation.h"

namespace mzt {

using namespace ids;

PoiBackup CUploadDBDlg::ExportPois() {
  const int count = state_.poiCount;
  PoiBackup backup{.held = count};
  auto folder = CheckedDataFolder();
  PoiCsvFile file(folder ? folder.Value() / kPoiFileName : std::filesystem::path());
  if (!file.IsOpen()) {
    Message(L"無法產生ＰＯＩ檔案", strings::kErrorCaption);
    backup.fileFailed = true;
    backup.fileProblem = !folder ? folder.Err().message : SystemErrorText(file.LastError());
    return backup;
  }
  report_.BeginProgress(ProgressUnit::kItems, static_cast<uint64_t>(count));
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
      backup.fileProblem = SystemErrorText(file.LastError());
      break;
    }
    ++backup.saved;
    report_.Progress(ProgressUnit::kItems, static_cast<uint64_t>(index), static_cast<uint64_t>(count));
  }
  report_.Progress(ProgressUnit::kItems, static_cast<uint64_t>(count), static_cast<uint64_t>(count));
  return backup;
}

void CUploadDBDlg::CountPois() {
  // A refused count (the device does not tell 100 or more) is no count of 0.
  bool counted = sheet_.QueryDeviceInfo(Cmd108::kPoiCount);
  state_.poiCount = counted ? sheet_.GetPoiCount() : 0;
  state_.poiBackup = PoiBackup{.held = counted ? state_.poiCount : -1};
}

void CUploadDBDlg::SavePois() {
  if (state_.poiCount == 0) return;
  surface_.SetWaitCaption(L"下載POI," + state_.waitText);
  state_.poiBackup = ExportPois();
}

void CUploadDBDlg::BackUpPois() {
  CountPois();
  SavePois();
}

bool CUploadDBDlg::ConfirmOnlineUpdate() {
  if (!askBeforeOnlineUpdate_) return true;
  wchar_t number[16];
  std::swprintf(number, 16, L"%04d", state_.newDbNumber);
  const std::wstring offered = state_.newDbDate.empty() && state_.newDbNumber == 0
                                   ? TrW("the site's new database")
                                   : Fill(TrW("the site's database {1}"), {state_.newDbDate + number});
  const std::wstring region = surface_.SelectedListItem(kRegionList) == 1 ? strings::kChina
                                                                           : strings::kTaiwan;
  std::wstring held = surface_.GetText(kDbVersionText);
  std::wstring heldRegion = surface_.GetText(kDbRegionText);
  std::u8string file = (DataFolder() / kPoiFileName).u8string();
  const std::wstring where = Utf8ToWide(std::string(file.begin(), file.end()));
  const int32_t count = state_.poiBackup ? state_.poiBackup->held : -1;
  std::wstring pois = count == 0  ? TrW("The device holds no POIs.")
                      : count < 0 ? Fill(TrW("Before the update the device's POIs (how many is unknown) are saved to {1}."),
                                         {where})
                                  : Fill(TrW("Before the update the device's {1} POIs are saved to {2}."),
                                         {std::to_wstring(count), where});
  const std::wstring replaced = (held.empty() ? TrW("the database") : held) +
                                (heldRegion.empty() ? L"" : L" [" + heldRegion + L"]");
  std::wstring text = Fill(TrW("{1} [{2}] replaces the device's {3}.\n{4}\nUpdate?"),
                           {offered, region, replaced, pois});
  if (report_.Ask(text, strings::kAppCaption, MessageButtons::kYesNo) != MessageAnswer::kYes)
    return false;
  SavePois();
  return true;
}

bool CUploadDBDlg::ConfirmIncompleteBackup(const std::wstring& question, MessageButtons buttons) {
  if (!state_.poiBackup || state_.poiBackup->Complete()) return true;
  const PoiBackup& backup = *state_.poiBackup;
  std::wstring saved = std::to_wstring(backup.saved);
  std::wstring text =
      backup.CountKnown()
          ? Fill(TrW("Incomplete POI backup: the device holds {1} POIs, only {2} were saved to POI.csv."),
                 {std::to_wstring(backup.held), saved})
          : Fill(TrW("Incomplete POI backup: the device's POI count could not be read; {1} saved to POI.csv."),
                 {saved});
  return report_.Ask(text + L"\n" + question, strings::kAppCaption, buttons) ==
         MessageAnswer::kYes;
}

void CUploadDBDlg::OnClearPoiButton() {
  ActionScope action(*this);
  auto run = std::make_shared<PageLock>(*this);
  std::string port = PortToOpen();
  state_.mode = PageMode::kClearPoi;
  for (int id : {kPortList, kUpdateButton, kCheckDbOnly, kQueryButton, kRegionList, kClearPoiButton})
    surface_.Enable(id, false);
  MessageAnswer answer = report_.Ask(L"程式將刪除裝置內POI資料,請問是否刪除?", strings::kAppCaption,
                                     MessageButtons::kYesNoDefaultNo);
  if (answer != MessageAnswer::kYes) return run->End({.outcome = FlowOutcome::kDeclined, .clearDisplay = false});
  StartConversation(std::move(run), port);
}

void CUploadDBDlg::OnExportPoiAction() {
  ActionScope action(*this);
  auto run = std::make_shared<PageLock>(*this);
  state_.poiBackup.reset();
  for (int id : {kUploadButton, kClearPoiButton, kQueryButton}) surface_.Enable(id, false);
  state_.mode = PageMode::kExportPoi;
  StartConversation(std::move(run), PortToOpen());
}

FlowOutcome CUploadDBDlg::ExportStep() {
  ReadFirmwareFlags();  // the POI count's field depends on the firmware
  state_.waitText = surface_.WaitCaption();
  BackUpPois();
  const PoiBackup& backup = *state_.poiBackup;
  return backup.fileFailed     ? FlowOutcome::kFileError
         : !backup.Complete() ? FlowOutcome::kDeviceUnreachable
                              : FlowOutcome::kSuccess;
}

FlowOutcome CUploadDBDlg::ClearingStep() {
  // Clearing cannot be undone: the POIs go to "POI.csv" first, as before an
  // update, and the page says where.
  ReadFirmwareFlags();  // the POI count's field depends on the firmware
  state_.waitText = surface_.WaitCaption();
  BackUpPois();
  const PoiBackup& backup = *state_.poiBackup;
  if (backup.saved > 0) {
    // From the UTF-8 form: path::wstring() throws on a non-ASCII name under the C locale.
    std::u8string where = (DataFolder() / kPoiFileName).u8string();
    report_.Step(Fill(TrW("{1} POIs saved to {2}"), {std::to_wstring(backup.saved),
                                                                      Utf8ToWide(std::string(where.begin(), where.end()))}));
  }
  if (!backup.Complete()) surface_.CloseWaitDialog();
  if (!ConfirmIncompleteBackup(TrW("The device's POIs cannot be restored once cleared. Clear them anyway?"),
                               MessageButtons::kYesNoDefaultNo))
    return FlowOutcome::kDeclined;
  const bool cleared = sheet_.ClearPois();
  surface_.CloseWaitDialog();
  Message(cleared ? L"POI清除完成,請重新啟動裝置!" : L"POI清除失敗,請稍後再試!", strings::kAppCaption);
  return cleared ? FlowOutcome::kSuccess : FlowOutcome::kDeviceUnreachable;
}

}  // namespace mzt
