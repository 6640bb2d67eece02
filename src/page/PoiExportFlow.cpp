#include "page/PoiExportFlow.h"

#include "common/CameraRecord.h"
#include "common/TextFill.h"
#include "devicelink/Cmd108.h"
#include "page/DeviceReading.h"
#include "page/MztUtilitySheet.h"
#include "page/PageTexts.h"
#include "page/PoiExport.h"
#include "platform/ProgramFolder.h"
#include "platform/SystemError.h"
#include "platform/Translation.h"

namespace mzt {

namespace {

PoiBackup ExportPois(const FlowContext& c) {
  const int count = c.state.poiCount;
  PoiBackup backup{.held = count};
  auto folder = CheckedDataFolder();
  PoiCsvFile file(folder ? folder.Value() / kPoiFileName : std::filesystem::path());
  if (!file.IsOpen()) {
    c.Say(strings::kPoiFileFailed, strings::kErrorCaption);
    backup.fileFailed = true;
    backup.fileProblem = !folder ? folder.Err().message : SystemErrorText(file.LastError());
    return backup;
  }
  c.report.BeginProgress(ProgressUnit::kItems, static_cast<uint64_t>(count));
  const UtcTime time = CurrentUtcTime();
  for (int index = 0; index < count; ++index) {
    // A POI that cannot be read is skipped, and counted.
    if (!c.sheet.ReadPoiRecord(index)) {
      ++backup.unread;
      continue;
    }
    CameraRecord record;
    c.sheet.CopyPoiRecord(record);
    if (!file.Append(FormatPoiLine(record, time))) {
      // The disk is full or gone: the rest would fail alike.
      backup.fileFailed = true;
      backup.fileProblem = SystemErrorText(file.LastError());
      break;
    }
    ++backup.saved;
    c.report.Progress(ProgressUnit::kItems, static_cast<uint64_t>(index), static_cast<uint64_t>(count));
  }
  c.report.Progress(ProgressUnit::kItems, static_cast<uint64_t>(count), static_cast<uint64_t>(count));
  return backup;
}

}  // namespace

void CountPois(const FlowContext& c) {
  bool counted = c.sheet.QueryDeviceInfo(Cmd108::kPoiCount);
  c.state.poiCount = counted ? c.sheet.GetPoiCount() : 0;
  c.state.poiBackup = PoiBackup{.held = counted ? c.state.poiCount : -1};
}

void SavePois(const FlowContext& c) {
  if (c.state.poiCount == 0) return;
  c.surface.SetWaitCaption(strings::kDownloadingPoi + c.state.waitText);
  c.state.poiBackup = ExportPois(c);
}

void BackUpPois(const FlowContext& c) {
  CountPois(c);
  SavePois(c);
}

bool ConfirmIncompleteBackup(const FlowContext& c, const std::wstring& question, MessageButtons buttons) {
  if (!c.state.poiBackup || c.state.poiBackup->Complete()) return true;
  const PoiBackup& backup = *c.state.poiBackup;
  std::wstring saved = std::to_wstring(backup.saved);
  std::wstring text =
      backup.CountKnown()
          ? Fill(TrW("Incomplete POI backup: the device holds {1} POIs, only {2} were saved to POI.csv."),
                 {std::to_wstring(backup.held), saved})
          : Fill(TrW("Incomplete POI backup: the device's POI count could not be read; {1} saved to POI.csv."),
                 {saved});
  return c.report.Ask(text + L"\n" + question, strings::kAppCaption, buttons) == MessageAnswer::kYes;
}

FlowEnd RunPoiExport(const FlowContext& c) {
  ReadFirmwareFlags(c);  // the POI count's field depends on the firmware
  c.state.waitText = c.surface.WaitCaption();
  BackUpPois(c);
  const PoiBackup& backup = *c.state.poiBackup;
  return {.outcome = backup.fileFailed     ? FlowOutcome::kFileError
                     : !backup.Complete() ? FlowOutcome::kDeviceUnreachable
                                          : FlowOutcome::kSuccess};
}

}  // namespace mzt
