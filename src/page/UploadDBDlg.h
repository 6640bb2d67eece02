#pragma once
// The speed-camera page's controller: its events, the port list, and the
// start of each flow (query, update, POI export, POI clearing) on the
// connect worker and of the upload on its own. The flows are units of their
// own; each run holds the page by a PageLock, which ends it in one place.
// It talks to widgets only through the control surface and to the device
// only through the sheet.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "page/DatabaseUpload.h"
#include "page/FlowContext.h"
#include "page/PageLock.h"
#include "page/PageState.h"
#include "page/UpdateFlow.h"
#include "page/WorkerThreads.h"
#include "platform/HttpClient.h"

namespace mzt {

class CMZTUtilitySheet;
class DeviceLock;
class WorkFolder;

class CUploadDBDlg {
 public:
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

  bool IsUploadInProgress() const { return state_.uploadInProgress; }

  // For front ends: install this database file instead of asking the server.
  void SetOfflineDatabase(const std::filesystem::path& file) { update_.SetOfflineDatabase(file); }
  // For front ends without a warning of their own before an update.
  void AskBeforeOnlineUpdate(bool ask) { update_.AskBeforeOnlineUpdate(ask); }
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
  // "無法連結裝置，請重試" and, on its second line, why.
  void ShowPortOpenFailure(const std::string& why);
  // With no port, says that no detector was found and what to do. Else
  // takes the lock of the device at `port` (keeps the flow's own when it
  // holds that device's already: its run after a replug), then opens the
  // port. The flow's workers hold the lock until the last of them ends.
  // Null after the page said why not.
  std::shared_ptr<DeviceLock> OpenDevice(const std::string& port);
  std::shared_ptr<DeviceLock> CurrentDeviceLock();

  // On the connect worker: upload mode, then the flow of state_.mode.
  void ConnectWorker(PageLock& run);
  void StartUpload();
  // After the replug that followed a failed transfer.
  void RerunUpdate();

  CMZTUtilitySheet& sheet_;
  IControlSurface& surface_;
  IFlowReport& report_;
  PageState state_;
  FlowContext context_;
  UpdateFlow update_;
  DatabaseUpload upload_;
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
