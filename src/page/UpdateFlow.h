#pragma once
// The update: what the device holds, its ID and its POIs saved, then the
// server's newer database (or a database file given instead) handed to the
// upload. Asked first where the front end has no warning of its own.

#include <filesystem>
#include <functional>
#include <memory>

#include "common/Result.h"
#include "page/FlowContext.h"
#include "page/PageLock.h"

namespace mzt {

class OnlineUpdate;

class UpdateFlow {
 public:
  // `startUpload` starts the upload of state.databasePath on a worker of its
  // own, which ends the run.
  UpdateFlow(const FlowContext& context, std::function<void()> startUpload);
  ~UpdateFlow();
  UpdateFlow(const UpdateFlow&) = delete;
  UpdateFlow& operator=(const UpdateFlow&) = delete;

  OnlineUpdate& Online() { return *online_; }
  // The file installed instead of the server's database; empty online. It
  // is only read, never written or deleted, and no success is reported.
  const std::filesystem::path& OfflineDatabase() const { return offlineDatabase_; }
  void SetOfflineDatabase(const std::filesystem::path& file) { offlineDatabase_ = file; }
  // The online update asks, once the server's offer is known and before
  // anything is written, what replaces what (the POIs are saved after the Yes).
  void AskBeforeOnlineUpdate(bool ask) { askBeforeOnlineUpdate_ = ask; }
  // The offline file checked before the device is touched.
  Result<void> CheckOfflineDatabase() const;

  // On the connect worker once the device is in upload mode: ends `run`, or
  // hands it on to the upload.
  void Run(PageLock& run);

 private:
  bool ConfirmOnlineUpdate();
  // Asks before an older database goes in, then starts the upload; false
  // when the user declined.
  bool StartOfflineUpload();

  FlowContext context_;
  std::function<void()> startUpload_;
  std::unique_ptr<OnlineUpdate> online_;
  std::filesystem::path offlineDatabase_;
  bool askBeforeOnlineUpdate_ = false;
};

}  // namespace mzt
