#pragma once
// The upload of state.databasePath on its own worker: split the database,
// check the device files, delete the device's database, send the new files
// and read the device's file table back. A failed transfer asks for the
// replug and leads to a new run of the update.

#include <functional>

#include "common/Result.h"
#include "page/FlowContext.h"
#include "page/PageLock.h"

namespace mzt {

class UpdateFlow;

class DatabaseUpload {
 public:
  // `rerun` starts the update again once the device was replugged.
  DatabaseUpload(const FlowContext& context, UpdateFlow& update, std::function<void()> rerun)
      : context_(context), update_(update), rerun_(std::move(rerun)) {}

  void Run(PageLock& run);
  // Says why the database cannot be installed and ends `run` while the
  // device still holds its database.
  void Reject(PageLock& run, const Error& error);

 private:
  // The database's device files, or why not.
  Result<void> SplitDatabase();
  // The device files open and have the sizes the database makes.
  Result<void> CheckDeviceFiles();
  void EndBeforeDeletion(PageLock& run, FlowOutcome outcome);
  bool DeleteDeviceDatabase();
  void DeletePcDeviceFiles();
  void TransferFailed(PageLock& run, const std::wstring& message);

  FlowContext context_;
  UpdateFlow& update_;
  std::function<void()> rerun_;
};

}  // namespace mzt
