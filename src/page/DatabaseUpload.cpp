#include "page/DatabaseUpload.h"

#include <filesystem>
#include <system_error>

#include "common/TextFill.h"
#include "common/Timing.h"
#include "database/DatabaseLayout.h"
#include "database/DatabaseSplitter.h"
#include "database/ReducedIndex.h"
#include "page/ControlIds.h"
#include "page/DeviceDatabase.h"
#include "page/DeviceReading.h"
#include "page/MztUtilitySheet.h"
#include "page/OnlineUpdate.h"
#include "page/PageTexts.h"
#include "page/PoiExportFlow.h"
#include "page/ReplugWatcher.h"
#include "page/UpdateFlow.h"
#include "page/WorkFiles.h"
#include "platform/InputFile.h"
#include "platform/TextCodec.h"
#include "platform/Translation.h"

namespace mzt {

using namespace ids;
namespace fs = std::filesystem;

namespace {

constexpr int kChunkSizeOld = 8192;
constexpr int kChunkSizeNew = 11264;
// Another round would fail the same way; the user is told what to do instead.
constexpr int kTransferAttempts = 2;
constexpr const char* kNoCompleteDatabase =
    TrLater("The device holds no complete speed-camera database now.\nCheck the USB cable's connection and run the "
       "update again; if it fails again, ask your dealer.");
constexpr const char* kFailedAgain = TrLater("The database upload failed again. ");
// The page's own words, then what the user may do now.
constexpr const char* kDeletionFailedAdvice =
    TrLater("The device may hold no speed-camera database now: check the USB cable's connection and run the update "
       "again; if it fails again, ask your dealer.");

void RemoveQuietly(const fs::path& path) {
  std::error_code ec;
  if (!path.empty()) fs::remove(path, ec);
}

}  // namespace

Result<void> DatabaseUpload::SplitDatabase() {
  const FlowContext& c = context_;
  // The device files go to the update's work folder; the paths are kept
  // only once written, so that the clean-up removes nothing else.
  auto split = DatabaseSplitter(c.state.workFolder).SplitAll(c.state.databasePath);
  if (!split) return std::move(split).TakeError();
  c.state.ff00Path = split.Value().header;
  c.state.ff01Path = split.Value().index;
  c.state.ff02Path = split.Value().records;
  if (!c.state.firmware.regionCapable) return Success();
  // Made before the device is touched, so that a failure leaves it as it was.
  fs::path index = c.state.workFolder / kIndexFileName;
  Result<void> made = MakeReducedIndex(c.state.ff01Path, index);
  if (!made) return std::move(made).TakeError().With(kIndexFileName);
  RemoveQuietly(c.state.ff01Path);
  c.state.ff01Path = index;
  return Success();
}

void DatabaseUpload::Reject(PageLock& run, const Error& error) {
  const FlowContext& c = context_;
  if (error.code == ErrorCode::kFormat)
    c.Say(strings::kDatabaseFormatError, strings::kErrorCaption);
  else
    c.Say(Utf8ToWide(error.message), strings::kSystemErrorCaption);
  EndBeforeDeletion(run, error.code == ErrorCode::kFormat ? FlowOutcome::kInvalidDatabase : FlowOutcome::kFileError);
}

void DatabaseUpload::EndBeforeDeletion(PageLock& run, FlowOutcome outcome) {
  DeletePcDeviceFiles();
  run.End({.outcome = outcome});
}

bool DatabaseUpload::DeleteDeviceDatabase() {
  const FlowContext& c = context_;
  for (int i = 2; i >= 0; --i) {
    const DeviceFileRecord& record = c.state.records[i];
    if (record.identifier == 0) continue;
    // A file listed without a location is deleted with the header's size as
    // its location value.
    int location = record.location == 0 ? static_cast<int>(kDatabaseHeaderSize) : record.location;
    if (!c.sheet.DeleteDeviceFile(record.identifier, location)) return false;
  }
  ForgetDeviceFileRecords(c.state);
  return true;
}

Result<void> DatabaseUpload::CheckDeviceFiles() {
  const FlowContext& c = context_;
  // Read back before the device's database is deleted: a file that does not
  // open or is not whole must fail here, while the device keeps what it has.
  auto layout = InspectDatabase(c.state.databasePath);
  if (!layout) return std::move(layout).TakeError();
  const DatabaseLayout& l = layout.Value();
  const uint64_t cells = uint64_t{l.gridA} * l.gridB;
  const uint64_t index = c.state.firmware.regionCapable ? cells * kReducedIndexEntrySize + kIndexTrailerSize
                                                       : l.indexLength;
  for (const auto& [path, size] : {std::pair{&c.state.ff00Path, kDatabaseHeaderSize},
                                   std::pair{&c.state.ff01Path, index},
                                   std::pair{&c.state.ff02Path, l.RecordsLength()}}) {
    auto file = InputFile::Open(*path);
    if (!file) return std::move(file).TakeError();
    std::error_code ec;
    uint64_t held = fs::file_size(*path, ec);
    if (ec) return Error{ErrorCode::kIo, ec.message(), ec.value()}.With(WideToUtf8(path->wstring()));
    if (held != size)
      return Error{ErrorCode::kIo, Fill(Tr("holds {1} bytes, not the {2} the database makes"),
                                        {std::to_string(held), std::to_string(size)})}
          .With(WideToUtf8(path->wstring()));
  }
  return Success();
}

void DatabaseUpload::DeletePcDeviceFiles() {
  const FlowContext& c = context_;
  // Forgotten once removed: a later run must not remove a file of that name
  // that it did not write.
  for (fs::path* path : {&c.state.ff00Path, &c.state.ff01Path, &c.state.ff02Path}) {
    RemoveQuietly(*path);
    path->clear();
  }
}

void DatabaseUpload::Run(PageLock& run) {
  const FlowContext& c = context_;
  c.state.ff00Path.clear();
  c.state.ff01Path.clear();
  c.state.ff02Path.clear();
  c.report.Step(strings::kProcessingDatabase);

  if (auto split = SplitDatabase(); !split) return Reject(run, split.Err());
  if (auto ready = CheckDeviceFiles(); !ready) return Reject(run, ready.Err());
  if (!ConfirmIncompleteBackup(c, TrW("The update deletes the data in the device. Go on with the update anyway?"),
                               MessageButtons::kYesNo))
    return EndBeforeDeletion(run, FlowOutcome::kDeclined);

  c.state.deviceChange = DeviceChange::kInProgress;
  if (!DeleteDeviceDatabase()) {
    c.state.deviceChange = DeviceChange::kIncomplete;
    DeletePcDeviceFiles();
    return run.End({.outcome = FlowOutcome::kTransferFailed,
                    .message = strings::kDeletionFailed + std::wstring(L"\n") + TrW(kDeletionFailedAdvice)});
  }

  c.state.uploadInProgress = true;
  c.sheet.SetChunkSize(c.state.firmware.block8192 ? kChunkSizeOld : kChunkSizeNew);

  c.report.Step(strings::kUploadingFF00);
  if (!c.sheet.SendFile(c.state.ff00Path)) return TransferFailed(run, strings::kUploadFailed);

  c.report.Step(strings::kUploadingFF01);
  Pause(Delay::kBeforeFileUpload);
  bool sent = c.state.firmware.regionCapable ? c.sheet.SendFileById(kIndexFileId, c.state.ff01Path)
                                            : c.sheet.SendFile(c.state.ff01Path);
  if (!sent) return TransferFailed(run, strings::kUploadFailed);

  c.report.Step(strings::kUploadingFF02);
  Pause(Delay::kBeforeFileUpload);
  if (!c.sheet.SendFile(c.state.ff02Path)) return TransferFailed(run, L"");
  // Every reply may have been right and the device still hold less: only
  // its own file table shows the three files whole.
  c.report.Step(TrW("Checking the database in the device, please wait"));
  ListDeviceFiles(c);
  if (JudgeDeviceDatabase(c.state.records, true) != DeviceDatabase::kComplete)
    return TransferFailed(run, strings::kUploadFailed);
  c.state.deviceChange = DeviceChange::kDone;

  DeletePcDeviceFiles();
  ForgetDeviceFileRecords(c.state);
  // The outcome stays in sight until the user starts something else.
  c.report.ClearProgress();
  c.report.Step(L"");
  c.report.Step(strings::kUploadDone);
  if (auto installed = InspectDatabase(c.state.databasePath))
    c.surface.SetText(kDbVersionText, DatabaseVersionText(VersionOf(installed.Value())));
  // The download is the program's own; an offline database is the user's.
  if (update_.OfflineDatabase().empty()) {
    RemoveQuietly(c.state.databasePath);
    update_.Online().ReportSuccess();
  }
  run.End({.outcome = FlowOutcome::kSuccess, .message = strings::kRestartDevice, .caption = strings::kAppCaption,
           .clearDisplay = false});
  c.surface.Enable(kBrowseButton, true);
}

void DatabaseUpload::TransferFailed(PageLock& run, const std::wstring& message) {
  const FlowContext& c = context_;
  c.state.deviceChange = DeviceChange::kIncomplete;
  if (!message.empty()) c.Say(message, strings::kErrorCaption);
  c.sheet.ClosePort();
  const bool retry = ++c.state.retry.failedTransfers < kTransferAttempts;
  ReplugResult replug = ReplugResult::kNone;
  if (retry) {
    Pause(Delay::kReplugClosePause);
    replug = c.surface.RunReplugDialog(ReplugProbesFor(c.state.portDevice));
  }
  ForgetDeviceFileRecords(c.state);
  DeletePcDeviceFiles();
  // This run ends before a new one starts, so that it cannot unlock the
  // controls or delete the files of the new one. Whatever ended the prompt,
  // the device is left without a whole database.
  run.End({.outcome = FlowOutcome::kTransferFailed,
           .message = replug == ReplugResult::kOk ? L"" : (retry ? L"" : TrW(kFailedAgain)) + TrW(kNoCompleteDatabase),
           .clearDisplay = false});
  c.surface.Enable(kUploadButton, false);
  c.surface.Enable(kBrowseButton, false);
  if (replug != ReplugResult::kOk) return;
  c.state.skipWarning = true;
  c.state.retry.rerun = true;
  rerun_();
}

}  // namespace mzt
