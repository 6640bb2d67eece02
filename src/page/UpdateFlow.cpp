#include "page/UpdateFlow.h"

#include <system_error>

#include "common/TextFill.h"
#include "common/Timing.h"
#include "database/DatabaseLayout.h"
#include "devicelink/Cmd108.h"
#include "page/ControlIds.h"
#include "page/DeviceDatabase.h"
#include "page/DeviceReading.h"
#include "page/MztUtilitySheet.h"
#include "page/OnlineUpdate.h"
#include "page/PageTexts.h"
#include "page/PoiExportFlow.h"
#include "page/UpdateServerPages.h"
#include "page/WorkFiles.h"
#include "platform/ProgramFolder.h"
#include "platform/TextCodec.h"
#include "platform/Translation.h"

namespace mzt {

using namespace ids;
namespace fs = std::filesystem;

UpdateFlow::UpdateFlow(const FlowContext& context, std::function<void()> startUpload)
    : context_(context), startUpload_(std::move(startUpload)) {
  OnlineUpdateHooks hooks;
  hooks.startUpload = startUpload_;
  hooks.beforeDownload = [this] { return ConfirmOnlineUpdate(); };
  online_ = std::make_unique<OnlineUpdate>(context.surface, context.state, HttpClientFactory(), std::string(),
                                           std::move(hooks), &context.report);
  online_->SetServer(ConfiguredUpdateServer());
}

UpdateFlow::~UpdateFlow() = default;

Result<void> UpdateFlow::CheckOfflineDatabase() const {
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

void UpdateFlow::Run(PageLock& run) {
  const FlowContext& c = context_;
  PageState& state = c.state;
  c.surface.OpenWaitDialog();
  ReadFirmwareFlags(c);
  Pause(Delay::kAfterFirmwareFlags);

  state.waitText = c.surface.WaitCaption();
  c.surface.SetWaitCaption(strings::kReadingDeviceFiles + state.waitText);
  ListDeviceFiles(c);
  if (c.surface.IsWaitDialogOpen()) c.surface.SetWaitCaption(strings::kReadingDatabaseVersion + state.waitText);

  RegionQueryStep(c);
  if (!ReadAndShowDeviceDatabase(c, true))
    return run.End({.outcome = FlowOutcome::kDeviceUnreachable, .message = strings::kVersionQueryFailed});
  if (!c.sheet.QueryDeviceInfo(Cmd108::kDeviceId))
    return run.End({.outcome = FlowOutcome::kDeviceUnreachable, .message = strings::kDeviceIdQueryFailed});
  state.deviceId = AnsiToWide(c.sheet.GetDeviceIdText());
  c.surface.SetText(kDeviceIdText, state.deviceId);
  // The run after a failed transfer has saved this device's POIs already
  // (appending them again would only double POI.csv) and goes on with the
  // download it checked.
  const bool again = state.retry.rerun && state.retry.poisSavedOf == state.deviceId;
  if (!again) {
    // Asked first, the update saves the POIs only after the user's Yes.
    if (askBeforeOnlineUpdate_ && offlineDatabase_.empty()) CountPois(c);
    else BackUpPois(c);
    state.retry.poisSavedOf = state.deviceId;
  }

  // Once started, the upload worker ends the run.
  if (!offlineDatabase_.empty()) {
    if (!StartOfflineUpload()) run.End({.outcome = FlowOutcome::kDeclined});
  } else if (!(again && online_->UploadAgain()) && !online_->Run(state.waitText)) {
    run.End({.outcome = online_->FailureOutcome()});
  }
}

bool UpdateFlow::StartOfflineUpload() {
  const FlowContext& c = context_;
  c.state.databasePath = offlineDatabase_;
  c.surface.CloseWaitDialog();
  // Going back to an older database is allowed, but never by accident.
  auto layout = InspectDatabase(offlineDatabase_);
  const DatabaseVersion& held = c.state.deviceVersion;
  if (layout && VersionOf(layout.Value()) < held) {
    std::wstring text = Fill(TrW("The database file's version {1} is older than the device's {2}. Update anyway?"),
                             {DatabaseVersionText(VersionOf(layout.Value())), DatabaseVersionText(held)});
    if (c.report.Ask(text, strings::kAppCaption, MessageButtons::kYesNo) != MessageAnswer::kYes) return false;
  }
  c.report.ClearProgress();
  startUpload_();
  return true;
}

bool UpdateFlow::ConfirmOnlineUpdate() {
  if (!askBeforeOnlineUpdate_) return true;
  const FlowContext& c = context_;
  const PageState& state = c.state;
  const std::wstring announced = AnnouncedVersionText(state);
  const std::wstring offered =
      announced.empty() ? TrW("the site's new database") : Fill(TrW("the site's database {1}"), {announced});
  const std::wstring region = c.surface.SelectedListItem(kRegionList) == 1 ? strings::kChina : strings::kTaiwan;
  std::u8string file = (DataFolder() / kPoiFileName).u8string();
  const std::wstring where = Utf8ToWide(std::string(file.begin(), file.end()));
  const int32_t count = state.poiBackup ? state.poiBackup->held : -1;
  std::wstring pois = count == 0  ? TrW("The device holds no POIs.")
                      : count < 0 ? Fill(TrW("Before the update the device's POIs (how many is unknown) are saved to {1}."),
                                         {where})
                                  : Fill(TrW("Before the update the device's {1} POIs are saved to {2}."),
                                         {std::to_wstring(count), where});
  const std::wstring replaced = HeldDatabaseText(state, true) + L" [" + HeldRegionText(state) + L"]";
  std::wstring text = Fill(TrW("{1} [{2}] replaces the device's {3}.\n{4}\nUpdate?"),
                           {offered, region, replaced, pois});
  if (c.report.Ask(text, strings::kAppCaption, MessageButtons::kYesNo) != MessageAnswer::kYes) return false;
  SavePois(c);
  return true;
}

}  // namespace mzt
