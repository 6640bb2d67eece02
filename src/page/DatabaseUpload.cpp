// The upload worker: split the database file, delete the device's database,
// send the new files, then report; a failed transfer leads to the replug and
// a new run of the update.

#include <filesystem>
#include <system_error>

#include "common/Timing.h"
#include "page/ControlIds.h"
#include "database/DatabaseSplitter.h"
#include "page/MztUtilitySheet.h"
#include "page/OnlineUpdate.h"
#include "database/ReducedIndex.h"
#include "page/UploadDBDlg.h"
#include "platform/ProgramFolder.h"
#include "platform/SystemError.h"
#include "platform/TextCodec.h"

namespace mzt {

using namespace ids;
namespace fs = std::filesystem;

namespace {

constexpr int kChunkSizeOld = 8192;
constexpr int kChunkSizeNew = 11264;
constexpr const wchar_t* kUploadFailed = L"DB 上傳失敗,請重試,請洽經銷商";

void RemoveQuietly(const fs::path& path) {
  std::error_code ec;
  if (!path.empty()) fs::remove(path, ec);
}

}  // namespace

bool CUploadDBDlg::PrepareOfflineDatabase() {
  // The user's own file is never split in place nor deleted: a copy in the
  // data folder takes the place of the download.
  fs::path folder = DataFolder();
  std::error_code ec;
  if (folder.empty() ||
      !fs::copy_file(offlineDatabase_, folder / "ULDB.bin", fs::copy_options::overwrite_existing, ec)) {
    std::string why = ec ? ec.message() : std::string("no data folder");
    Message(Utf8ToWide(offlineDatabase_.string() + ": " + why), L"Error");
    Finish(FlowOutcome::kFileError);
    return false;
  }
  state_.databasePath = folder / "ULDB.bin";
  surface_.CloseWaitDialog();
  surface_.SetProgressPosition(kProgressBar, 0);
  surface_.SetText(kProgressText, L"");
  StartUpload();
  return true;
}

void CUploadDBDlg::StartUpload() {
  if (state_.databasePath.empty()) {
    Message(L"請先選擇檔案！！", strings::kAppCaption);
    return;
  }
  ResetProgressDisplay();
  workers_.Start([this] { UploadWorker(); });
}

bool CUploadDBDlg::SplitDatabase() {
  DatabaseSplitter splitter;
  Result<void> result = splitter.SplitHeader(state_.databasePath, true, state_.ff00Path);
  if (result) result = splitter.SplitIndex(state_.databasePath, true, state_.ff01Path);
  if (result) result = splitter.SplitRecords(state_.databasePath, true, state_.ff02Path);
  if (result) return true;
  RejectDatabase(result.Err());
  return false;
}

void CUploadDBDlg::RejectDatabase(const Error& error) {
  // Nothing has touched the device yet.
  if (error.code == ErrorCode::kFormat)
    Message(L"測速照相資料庫格式錯誤", strings::kErrorCaption);
  else
    Message(Utf8ToWide(error.message), L"Error");
  DeletePcDeviceFiles();
  sheet_.SetPagesEnabled(true);
  Reset();
  surface_.Enable(kRegionList, true);
  Finish(error.code == ErrorCode::kFormat ? FlowOutcome::kInvalidDatabase : FlowOutcome::kFileError);
}

bool CUploadDBDlg::DeleteDeviceDatabase() {
  for (int i = 2; i >= 0; --i) {
    const DeviceFileRecord& record = state_.records[i];
    if (record.identifier == 0) continue;
    int location = record.location == 0 ? 44 : record.location;
    if (!sheet_.DeleteDeviceFile(record.identifier, location)) return false;
  }
  ForgetDeviceFileRecords();
  return true;
}

void CUploadDBDlg::DeletePcDeviceFiles() {
  RemoveQuietly(state_.ff00Path);
  RemoveQuietly(state_.ff01Path);
  RemoveQuietly(state_.ff02Path);
}

void CUploadDBDlg::UploadWorker() {
  sheet_.SetPagesEnabled(false);
  state_.ff00Path.clear();
  state_.ff01Path.clear();
  state_.ff02Path.clear();
  surface_.SetText(kStatusText, L"SCDB處理中, 請等待");

  if (!SplitDatabase()) return;
  if (state_.firmware.regionCapable) {
    // Made before the device is touched, so that a failure leaves it as it was.
    fs::path index = IndexPath();
    Result<void> made = index.empty()
                            ? Result<void>(Error{ErrorCode::kIo, "no data folder for Index.bin"})
                            : MakeReducedIndex(state_.ff01Path, index);
    if (!made) return RejectDatabase(std::move(made).TakeError().With("Index.bin"));
    RemoveQuietly(state_.ff01Path);
    state_.ff01Path = index;
  }

  state_.deviceChange = DeviceChange::kInProgress;
  if (!DeleteDeviceDatabase()) {
    state_.deviceChange = DeviceChange::kIncomplete;
    sheet_.SetPagesEnabled(true);
    surface_.Enable(kUpdateButton, true);
    DeletePcDeviceFiles();
    Reset();
    Message(L"刪除DB失敗,請重試!!", strings::kErrorCaption);
    Finish(FlowOutcome::kTransferFailed);
    return;
  }

  state_.uploadInProgress = true;
  sheet_.SetChunkSize(state_.firmware.block8192 ? kChunkSizeOld : kChunkSizeNew);
  sheet_.SetBusy(true);

  surface_.SetText(kStatusText, L"FF00.bin 上傳中, 請等待");
  if (!sheet_.SendFile(state_.ff00Path.string())) return TransferFailed(kUploadFailed);

  surface_.SetText(kStatusText, L"FF01.bin 上傳中, 請等待");
  Pause(Delay::kBeforeFileUpload);
  bool sent = state_.firmware.regionCapable ? sheet_.SendFileById(0xFF01, state_.ff01Path.string())
                                            : sheet_.SendFile(state_.ff01Path.string());
  if (!sent) return TransferFailed(kUploadFailed);

  surface_.SetText(kStatusText, L"FF02.bin 上傳中, 請等待");
  Pause(Delay::kBeforeFileUpload);
  if (!sheet_.SendFile(state_.ff02Path.string())) return TransferFailed(L"");
  state_.deviceChange = DeviceChange::kDone;

  surface_.SetText(kStatusText, L"測試照像資料庫上傳完成");
  surface_.SetText(kUpdateButton, strings::kUpdateDatabase);
  sheet_.SetPagesEnabled(true);
  DeletePcDeviceFiles();
  ForgetDeviceFileRecords();
  for (int id : {kUpdateButton, kQueryButton, kBrowseButton}) surface_.Enable(id, true);
  sheet_.SetPagesEnabled(true);
  surface_.Enable(kRegionList, true);
  Reset();
  RemoveQuietly(state_.databasePath);
  if (offlineDatabase_.empty()) online_->ReportSuccess();
  Message(L"請重新啟動裝置!!", strings::kAppCaption);
  Finish(FlowOutcome::kSuccess);
}

void CUploadDBDlg::TransferFailed(const std::wstring& message) {
  state_.deviceChange = DeviceChange::kIncomplete;
  if (!message.empty()) Message(message, strings::kErrorCaption);
  sheet_.ClosePort();
  Pause(Delay::kReplugClosePause);
  ReplugResult replug = surface_.RunReplugDialog();
  // The clean-up of this run ends before a new run starts, so that it cannot
  // unlock the controls or delete the files of the new one.
  sheet_.SetPagesEnabled(true);
  surface_.Enable(kUploadButton, false);
  surface_.Enable(kBrowseButton, false);
  ForgetDeviceFileRecords();
  DeletePcDeviceFiles();
  surface_.Enable(kRegionList, true);
  Finish(FlowOutcome::kTransferFailed);
  if (replug == ReplugResult::kNone) return;
  state_.skipWarning = true;
  surface_.SetText(kUpdateButton, strings::kUpdateDatabase);
  OnUpdateButton();
}

}  // namespace mzt
