// The upload worker: split the database file, delete the device's database,
// send the new files, then report; a failed transfer leads to the replug and
// a new run of the update.

#include <filesystem>
#include <system_error>

#include "common/Timing.h"
#include "common/TextFill.h"
#include "page/ControlIds.h"
#include "page/DeviceDatabase.h"
#include "database/DatabaseLayout.h"
#include "database/DatabaseSplitter.h"
#include "page/MztUtilitySheet.h"
#include "page/OnlineUpdate.h"
#include "page/PoiExport.h"
#include "page/ReplugWatcher.h"
#include "database/ReducedIndex.h"
#include "page/UploadDBDlg.h"
#include "platform/InputFile.h"
#include "platform/ProgramFolder.h"
#include "platform/SystemError.h"
#include "platform/TextCodec.h"
#include "platform/Translation.h"

namespace mzt {

using namespace ids;
namespace fs = std::filesystem;

namespace {

constexpr int kChunkSizeOld = 8192;
constexpr int kChunkSizeNew = 11264;
constexpr const wchar_t* kUploadFailed = L"DB 上傳失敗,請重試,請洽經銷商";
// Another round would fail the same way; the user is told what to do instead.
constexpr int kTransferAttempts = 2;
constexpr const char* kNoCompleteDatabase =
    TrLater("The device holds no complete speed-camera database now.\nCheck the USB cable's connection and run the "
       "update again; if it fails again, ask your dealer.");
constexpr const char* kFailedAgain = TrLater("The database upload failed again. ");
// The page's own words, then what the user may do now.
constexpr const wchar_t* kDeletionFailed = L"刪除DB失敗,請重試!!";
constexpr const char* kDeletionFailedAdvice =
    TrLater("The device may hold no speed-camera database now: check the USB cable's connection and run the update "
       "again; if it fails again, ask your dealer.");
constexpr const wchar_t* kUploadDone = L"測試照像資料庫上傳完成";

void RemoveQuietly(const fs::path& path) {
  std::error_code ec;
  if (!path.empty()) fs::remove(path, ec);
}

}  // namespace

Result<void> CUploadDBDlg::CheckOfflineDatabase() {
  auto layout = InspectDatabase(offlineDatabase_);
  if (!layout) return std::move(layout).TakeError();
  auto folder = CheckedDataFolder();
  if (!folder) return std::move(folder).TakeError().With(offlineDatabase_.string());
  // The file is read in place: it must not be the one the update appends to
  // (its own files are in a work folder of their own).
  std::error_code ec;
  if (fs::equivalent(folder.Value() / kPoiFileName, offlineDatabase_, ec))
    return Error{ErrorCode::kInvalidArgument,
                 Fill(Tr("the update appends the device's POIs to {1} in {2}; install a copy under another name"),
                      {kPoiFileName, folder.Value().string()})}
        .With(offlineDatabase_.string());
  return Success();
}

bool CUploadDBDlg::PrepareOfflineDatabase() {
  state_.databasePath = offlineDatabase_;
  surface_.CloseWaitDialog();
  // Going back to an older database is allowed, but never by accident.
  auto layout = InspectDatabase(offlineDatabase_);
  const DatabaseVersion& held = state_.deviceVersion;
  if (layout && VersionOf(layout.Value()) < held) {
    std::wstring text = Fill(TrW("The database file's version {1} is older than the device's {2}. Update anyway?"),
                             {DatabaseVersionText(VersionOf(layout.Value())), DatabaseVersionText(held)});
    if (report_.Ask(text, strings::kAppCaption, MessageButtons::kYesNo) != MessageAnswer::kYes) return false;
  }
  report_.ClearProgress();
  StartUpload();
  return true;
}

void CUploadDBDlg::StartUpload() {
  if (state_.databasePath.empty()) {
    Message(L"請先選擇檔案！！", strings::kAppCaption);
    return;
  }
  ResetProgressDisplay();
  workers_.Start([this, run = CurrentRun(), work = CurrentWorkFolder(), device = CurrentDeviceLock()] {
    UploadWorker(*run);
  });
}

Result<void> CUploadDBDlg::SplitDatabase() {
  // The device files go to the update's work folder; the paths are kept
  // only once written, so that the clean-up removes nothing else.
  auto split = DatabaseSplitter(state_.workFolder).SplitAll(state_.databasePath);
  if (!split) return std::move(split).TakeError();
  state_.ff00Path = split.Value().header;
  state_.ff01Path = split.Value().index;
  state_.ff02Path = split.Value().records;
  if (!state_.firmware.regionCapable) return Success();
  // Made before the device is touched, so that a failure leaves it as it was.
  fs::path index = state_.workFolder / kIndexFileName;
  Result<void> made = MakeReducedIndex(state_.ff01Path, index);
  if (!made) return std::move(made).TakeError().With(kIndexFileName);
  RemoveQuietly(state_.ff01Path);
  state_.ff01Path = index;
  return Success();
}

void CUploadDBDlg::RejectDatabase(PageLock& run, const Error& error) {
  if (error.code == ErrorCode::kFormat)
    Message(L"測速照相資料庫格式錯誤", strings::kErrorCaption);
  else
    Message(Utf8ToWide(error.message), strings::kSystemErrorCaption);
  EndBeforeDeletion(run, error.code == ErrorCode::kFormat ? FlowOutcome::kInvalidDatabase : FlowOutcome::kFileError);
}

void CUploadDBDlg::EndBeforeDeletion(PageLock& run, FlowOutcome outcome) {
  DeletePcDeviceFiles();
  run.End({.outcome = outcome});
}

bool CUploadDBDlg::DeleteDeviceDatabase() {
  for (int i = 2; i >= 0; --i) {
    const DeviceFileRecord& record = state_.records[i];
    if (record.identifier == 0) continue;
    // A file listed without a location is deleted with the header's size as
    // its location value.
    int location = record.location == 0 ? static_cast<int>(kDatabaseHeaderSize) : record.location;
    if (!sheet_.DeleteDeviceFile(record.identifier, location)) return false;
  }
  ForgetDeviceFileRecords();
  return true;
}

Result<void> CUploadDBDlg::CheckDeviceFiles() {
  // Read back before the device's database is deleted: a file that does not
  // open or is not whole must fail here, while the device keeps what it has.
  auto layout = InspectDatabase(state_.databasePath);
  if (!layout) return std::move(layout).TakeError();
  const DatabaseLayout& l = layout.Value();
  const uint64_t cells = uint64_t{l.gridA} * l.gridB;
  const uint64_t index = state_.firmware.regionCapable ? cells * kReducedIndexEntrySize + kIndexTrailerSize
                                                       : l.indexLength;
  for (const auto& [path, size] : {std::pair{&state_.ff00Path, kDatabaseHeaderSize},
                                   std::pair{&state_.ff01Path, index},
                                   std::pair{&state_.ff02Path, l.RecordsLength()}}) {
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

void CUploadDBDlg::DeletePcDeviceFiles() {
  // Forgotten once removed: a later run must not remove a file of that name
  // that it did not write.
  for (fs::path* path : {&state_.ff00Path, &state_.ff01Path, &state_.ff02Path}) {
    RemoveQuietly(*path);
    path->clear();
  }
}

void CUploadDBDlg::UploadWorker(PageLock& run) {
  state_.ff00Path.clear();
  state_.ff01Path.clear();
  state_.ff02Path.clear();
  report_.Step(L"SCDB處理中, 請等待");

  if (auto split = SplitDatabase(); !split) return RejectDatabase(run, split.Err());
  if (auto ready = CheckDeviceFiles(); !ready) return RejectDatabase(run, ready.Err());
  if (!ConfirmIncompleteBackup(TrW("The update deletes the data in the device. Go on with the update anyway?"),
                               MessageButtons::kYesNo))
    return EndBeforeDeletion(run, FlowOutcome::kDeclined);

  state_.deviceChange = DeviceChange::kInProgress;
  if (!DeleteDeviceDatabase()) {
    state_.deviceChange = DeviceChange::kIncomplete;
    DeletePcDeviceFiles();
    return run.End({.outcome = FlowOutcome::kTransferFailed,
                    .message = kDeletionFailed + std::wstring(L"\n") + TrW(kDeletionFailedAdvice)});
  }

  state_.uploadInProgress = true;
  sheet_.SetChunkSize(state_.firmware.block8192 ? kChunkSizeOld : kChunkSizeNew);

  report_.Step(L"FF00.bin 上傳中, 請等待");
  if (!sheet_.SendFile(state_.ff00Path)) return TransferFailed(run, kUploadFailed);

  report_.Step(L"FF01.bin 上傳中, 請等待");
  Pause(Delay::kBeforeFileUpload);
  bool sent = state_.firmware.regionCapable ? sheet_.SendFileById(kIndexFileId, state_.ff01Path)
                                            : sheet_.SendFile(state_.ff01Path);
  if (!sent) return TransferFailed(run, kUploadFailed);

  report_.Step(L"FF02.bin 上傳中, 請等待");
  Pause(Delay::kBeforeFileUpload);
  if (!sheet_.SendFile(state_.ff02Path)) return TransferFailed(run, L"");
  // Every reply may have been right and the device still hold less: only
  // its own file table shows the three files whole.
  report_.Step(TrW("Checking the database in the device, please wait"));
  ListDeviceFiles();
  if (JudgeDeviceDatabase(state_.records, true) != DeviceDatabase::kComplete)
    return TransferFailed(run, kUploadFailed);
  state_.deviceChange = DeviceChange::kDone;

  DeletePcDeviceFiles();
  ForgetDeviceFileRecords();
  // The outcome stays in sight until the user starts something else.
  ResetProgressDisplay();
  report_.Step(kUploadDone);
  if (auto installed = InspectDatabase(state_.databasePath))
    surface_.SetText(kDbVersionText, DatabaseVersionText(VersionOf(installed.Value())));
  // The download is the program's own; an offline database is the user's.
  if (offlineDatabase_.empty()) {
    RemoveQuietly(state_.databasePath);
    online_->ReportSuccess();
  }
  run.End({.outcome = FlowOutcome::kSuccess, .message = L"請重新啟動裝置!!", .caption = strings::kAppCaption,
           .clearDisplay = false});
  surface_.Enable(kBrowseButton, true);
}

void CUploadDBDlg::TransferFailed(PageLock& run, const std::wstring& message) {
  state_.deviceChange = DeviceChange::kIncomplete;
  if (!message.empty()) Message(message, strings::kErrorCaption);
  sheet_.ClosePort();
  const bool retry = ++state_.retry.failedTransfers < kTransferAttempts;
  ReplugResult replug = ReplugResult::kNone;
  if (retry) {
    Pause(Delay::kReplugClosePause);
    replug = surface_.RunReplugDialog(ReplugProbesFor(state_.portDevice));
  }
  ForgetDeviceFileRecords();
  DeletePcDeviceFiles();
  // This run ends before a new one starts, so that it cannot unlock the
  // controls or delete the files of the new one. Whatever ended the prompt,
  // the device is left without a whole database.
  run.End({.outcome = FlowOutcome::kTransferFailed,
           .message = replug == ReplugResult::kOk ? L"" : (retry ? L"" : TrW(kFailedAgain)) + TrW(kNoCompleteDatabase),
           .clearDisplay = false});
  surface_.Enable(kUploadButton, false);
  surface_.Enable(kBrowseButton, false);
  if (replug != ReplugResult::kOk) return;
  FollowReplugged();
  state_.skipWarning = true;
  state_.retry.rerun = true;
  StartUpdate();
}

}  // namespace mzt
