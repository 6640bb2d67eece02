#pragma once
// The speed-camera page's controller: its state, its actions (query, update,
// clear POIs), the device conversation on its connect worker, the POI export,
// the database upload on its upload worker and the online update. It talks
// to widgets only through the control surface and to the device only
// through the sheet. Each run of a flow holds the page by a PageLock, which
// ends the run in one place.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "common/Result.h"
#include "page/ControlSurface.h"
#include "page/FlowReport.h"
#include "page/PageLock.h"
#include "page/PageState.h"
#include "page/WorkerThreads.h"
#include "platform/HttpClient.h"

namespace mzt {

class CMZTUtilitySheet;
class DeviceLock;
class OnlineUpdate;
class WorkFolder;

class CUploadDBDlg {
 public:
  static constexpr int kMaxUploadModeRounds = 5;
  static constexpr int kMaxFileEntries = 256;

  explicit CUploadDBDlg(CMZTUtilitySheet& sheet);
  ~CUploadDBDlg();
  CUploadDBDlg(const CUploadDBDlg&) = delete;
  CUploadDBDlg& operator=(const CUploadDBDlg&) = delete;

  // Window events.
  void OnInitDialog();
  void OnShowWindow();
  void OnPortListDropDown();
  // Called now and then while the window is idle: lists the ports anew when
  // a detector came or went. Quiet, and nothing while an action runs.
  void OnPortsPoll();
  void OnPortSelectionChange();
  void OnUpdateButton();
  void OnQueryButton();
  void OnClearPoiButton();
  // Saves the device's POIs to "POI.csv" without updating.
  void OnExportPoiAction();
  void ShowProgress(uint64_t done, uint64_t total);
  // "path,port" from another program; false when refused.
  bool OnCopyData(std::string_view text);

  void ForgetDeviceFileRecords();
  bool IsUploadInProgress() const { return state_.uploadInProgress; }

  // For front ends: install this database file instead of asking the server.
  // The file is only read, never written or deleted; the device files are
  // made in the data folder. No success is reported to the server.
  void SetOfflineDatabase(const std::filesystem::path& file) { offlineDatabase_ = file; }
  // For front ends without a warning of their own before an update: the
  // online update asks, once the server's offer is known and before anything
  // is written (the POIs are saved after the Yes), what replaces what.
  void AskBeforeOnlineUpdate(bool ask) { askBeforeOnlineUpdate_ = ask; }
  void SetServerUrl(const std::string& url);
  // Makes the client of each request to the update server (front ends that show them).
  void SetHttpClientFactory(HttpClientFactory factory);
  // Blocks until no worker runs (a replug rerun included).
  void WaitForIdle() { workers_.WaitIdle(); }
  bool IsFlowRunning() { return workers_.AnyRunning(); }
  FlowOutcome LastOutcome() const { return outcome_; }
  PageState& State() { return state_; }
  // Removes the running update's work folder at once (a program that ends
  // in the middle of a flow); safe from any thread.
  void DiscardWorkFolder();

 private:
  friend class PageLock;

  // Counts an action of the page while it runs on the caller's stack: the
  // window runs another program's request inside the modal loop of the
  // action's message box.
  class ActionScope {
   public:
    explicit ActionScope(CUploadDBDlg& page) : count_(page.actions_) { ++count_; }
    ~ActionScope() { --count_; }
    ActionScope(const ActionScope&) = delete;
    ActionScope& operator=(const ActionScope&) = delete;

   private:
    std::atomic<int>& count_;
  };

  // Page
  struct PortEntry {
    std::wstring port;   // what the flows open
    std::wstring label;  // what the list shows
  };
  // The detectors found, then the stored port; `error` tells when the
  // listing failed.
  static std::vector<PortEntry> FindPorts(std::string& error);
  void FillPortList();
  void ListPorts(const std::vector<PortEntry>& entries);
  // Lists the ports `found` (found anew when null) and keeps the chosen one
  // when it is still there.
  void RefillPortList(const std::vector<PortEntry>* found = nullptr);
  // The selected port; with none, the list read again first (a detector
  // plugged in since). Empty when there is still none.
  std::string PortToOpen();
  // Selects `wanted` when the list holds it, else the settings' port, else
  // the first entry.
  void SelectPort(const std::wstring& wanted);
  // All the controls a flow locks; enabled, the update button reads as idle.
  void EnableControls(bool enabled);
  void ResetProgressDisplay();
  // Opens the device at `port` for `run`, locks the page and starts the
  // connect worker; the run ends unreachable when the port cannot be
  // opened. The workers of an update hold its work folder, which goes when
  // the last of them ends.
  void StartConversation(std::shared_ptr<PageLock> run, const std::string& port,
                         std::shared_ptr<WorkFolder> work = nullptr);
  std::shared_ptr<WorkFolder> CurrentWorkFolder();
  std::shared_ptr<PageLock> CurrentRun();
  // The update action, for the user and for its own run after a replug.
  void StartUpdate();
  // After a replug: the port list selects the device's port under its new
  // name when the flow opened it by the name it had.
  void FollowReplugged();
  std::string SelectedPortName();
  // The update button's label, and whether an update runs: the page keeps
  // that itself, never reads it back from the button.
  void ShowUpdateLabel(bool updating);
  // Only as a run starts (kNone) and at its end (PageLock::End).
  void Finish(FlowOutcome outcome);
  void Message(const std::wstring& text, const std::wstring& caption);
  // "無法連結裝置，請重試" and, on its second line, why.
  void ShowPortOpenFailure(const std::string& why);
  // With no port, says that no detector was found and what to do. Else
  // takes the lock of the device at `port` (keeps the flow's own when it
  // holds that device's already: its run after a replug), then opens the
  // port. The flow's workers hold the lock until the last of them ends.
  // Null after the page said why not.
  std::shared_ptr<DeviceLock> OpenDevice(const std::string& port);
  std::shared_ptr<DeviceLock> CurrentDeviceLock();

  // Device conversation
  void ConnectWorker(PageLock& run);
  void DispatchByMode(PageLock& run);
  void ReadFirmwareFlags();
  bool RegionQueryStep();
  std::string AskedRegionCode();
  void ShowRegion();
  // Fills the device file records from the device's file table.
  void ListDeviceFiles();
  // Reads the database version and region and shows what the device holds;
  // withRecords is the update's form of the texts. False when the reading failed.
  bool ReadAndShowDeviceDatabase(bool withRecords);
  void UpdateWorkerBody(PageLock& run);

  // POIs
  // Reads the POI count and saves the POIs to "POI.csv" into
  // state_.poiBackup.
  void BackUpPois();
  // The two halves of BackUpPois: the count into state_.poiBackup, then the export.
  void CountPois();
  void SavePois();
  // The question of AskBeforeOnlineUpdate, then the POIs saved; true to go on.
  bool ConfirmOnlineUpdate();
  PoiBackup ExportPois();
  // True when the backup is complete or the user chose to go on without it,
  // asked with `question` (what is lost) after what the backup holds.
  bool ConfirmIncompleteBackup(const std::wstring& question, MessageButtons buttons);
  FlowOutcome ClearingStep();
  FlowOutcome ExportStep();

  // Upload
  void StartUpload();
  void UploadWorker(PageLock& run);
  // The database's device files, or why not.
  Result<void> SplitDatabase();
  // Checks the offline database file before the device is touched.
  Result<void> CheckOfflineDatabase();
  // Says why the database cannot be installed and ends the run before the
  // device's database is touched.
  void RejectDatabase(PageLock& run, const Error& error);
  // The device files open and have the sizes the database makes.
  Result<void> CheckDeviceFiles();
  // Ends the upload while the device still holds its database.
  void EndBeforeDeletion(PageLock& run, FlowOutcome outcome);
  bool DeleteDeviceDatabase();
  void DeletePcDeviceFiles();
  void TransferFailed(PageLock& run, const std::wstring& message);
  bool PrepareOfflineDatabase();

  CMZTUtilitySheet& sheet_;
  IControlSurface& surface_;
  IFlowReport& report_;
  PageState state_;
  std::unique_ptr<OnlineUpdate> online_;
  std::filesystem::path offlineDatabase_;
  bool askBeforeOnlineUpdate_ = false;
  std::atomic<FlowOutcome> outcome_{FlowOutcome::kNone};
  std::atomic<int> actions_{0};
  std::atomic<bool> updating_{false};
  std::mutex workMutex_;
  std::weak_ptr<WorkFolder> work_;
  std::weak_ptr<DeviceLock> deviceLock_;
  std::weak_ptr<PageLock> run_;
  WorkerThreads workers_;
};

}  // namespace mzt
