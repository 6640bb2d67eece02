#include "page/DeviceReading.h"

#include "common/FieldReader.h"
#include "common/TextFill.h"
#include "common/Timing.h"
#include "database/DatabaseLayout.h"
#include "devicelink/Cmd108.h"
#include "page/ControlIds.h"
#include "page/DeviceDatabase.h"
#include "page/MztUtilitySheet.h"
#include "page/PageTexts.h"
#include "platform/TextCodec.h"
#include "platform/Translation.h"

namespace mzt {

using namespace ids;

namespace {

constexpr const char* kIncompleteDatabase = TrLater("Incomplete speed-camera database in the device");
constexpr const char* kListingCut = TrLater(" (file list not read to the end)");

}  // namespace

std::wstring HeldDatabaseText(const PageState& state, bool withRecords) {
  const std::wstring version = DatabaseVersionText(state.deviceVersion);
  switch (state.deviceDatabase) {
    case DeviceDatabase::kComplete: return version;
    case DeviceDatabase::kUnknown: return version + TrW(kListingCut);
    case DeviceDatabase::kIncomplete: return TrW(kIncompleteDatabase);
    case DeviceDatabase::kNone: break;
  }
  return withRecords ? strings::kNoDatabaseInDevice : strings::kNoDatabase;
}

const wchar_t* HeldRegionText(const PageState& state) {
  return state.deviceRegionCode == "TW" ? strings::kTaiwan : strings::kChina;
}

bool EnterUploadMode(const FlowContext& c) {
  // A device that keeps accepting the enter command without ever reporting
  // the mode must not hold the worker forever.
  for (int round = 0; round < kMaxUploadModeRounds; ++round) {
    Pause(Delay::kConnectStart);
    c.surface.OpenWaitDialog();
    if (c.sheet.QueryUploadMode() != 0) return true;
    Pause(Delay::kUploadModeRetry);
    if (!c.sheet.EnterUploadMode()) break;
  }
  return false;
}

void ReadFirmwareFlags(const FlowContext& c) {
  FirmwareFlags& flags = c.state.firmware;
  flags = FirmwareFlags{.block8192 = true};
  c.state.firmwareVersion.clear();
  c.sheet.SetExactMode(false);
  if (!c.sheet.QueryDeviceInfo(Cmd108::kFirmwareVersion)) return;
  const std::string version = c.state.firmwareVersion = c.sheet.GetVersionText();
  c.surface.SetText(kFwVersionText, AnsiToWide(version));
  if (version == "1.0.0.3") {
    flags.exact1003 = true;
    c.sheet.SetExactMode(true);
  }
  size_t dot = version.find('.');
  if (dot == std::string::npos) return;
  long long minor = ParseDecimal(std::string_view(version).substr(dot + 1));
  if (minor >= 2) flags.block8192 = false;
  if (minor >= 3) flags.regionCapable = true;
  if (minor >= 4) flags.regionQuery = true;
}

bool RegionQueryStep(const FlowContext& c) {
  if (!c.state.firmware.regionQuery) return true;
  return c.sheet.QueryDeviceInfo(Cmd108::kRegion);
}

void ForgetDeviceFileRecords(PageState& state) {
  for (auto& record : state.records) record = DeviceFileRecord{};
}

void ListDeviceFiles(const FlowContext& c) {
  PageState& state = c.state;
  ForgetDeviceFileRecords(state);
  state.fileIndex = 1;
  bool askedAgain = false;
  // A device that never ends its table must not hold the flow.
  while (state.fileIndex <= kMaxFileEntries) {
    int identifier = 0;
    int location = 0;
    if (!c.sheet.QueryFileEntry(state.fileIndex, identifier, location)) {
      // Silence ends the table, but one late reply must not end it early:
      // the same entry is asked for once more, and a late answer counts.
      if (askedAgain) break;
      askedAgain = true;
      continue;
    }
    askedAgain = false;
    if (identifier >= kHeaderFileId && identifier <= kRecordsFileId)
      state.records[identifier - kHeaderFileId] = {identifier, location};
    ++state.fileIndex;
    Pause(Delay::kFileListingStep);
  }
  --state.fileIndex;
}

bool ReadAndShowDeviceDatabase(const FlowContext& c, bool withRecords) {
  if (!c.sheet.QueryDeviceInfo(Cmd108::kDatabaseVersion) || !RegionQueryStep(c)) return false;
  // Firmware that is not asked has no region, whatever an earlier device said.
  c.state.deviceRegionCode = c.state.firmware.regionQuery ? c.sheet.GetRegionCode() : std::string();
  c.surface.SetText(kDbRegionText, HeldRegionText(c.state));
  DatabaseVersion reported;
  reported.number = c.sheet.GetDatabaseVersion(reported.year, reported.month, reported.day);
  bool versionReported = reported.year != 0 || reported.month != 0 || reported.day != 0;
  DeviceDatabase& held = c.state.deviceDatabase;
  held = JudgeDeviceDatabase(c.state.records, versionReported);
  // An incomplete database is no database to the server: any offer installs.
  c.state.deviceVersion = held == DeviceDatabase::kComplete || held == DeviceDatabase::kUnknown
                              ? reported
                              : DatabaseVersion{};
  if (held == DeviceDatabase::kComplete || !withRecords) c.surface.Check(kDatabaseCheck, true);
  c.surface.SetText(kDbVersionText, HeldDatabaseText(c.state, withRecords));
  if (withRecords && held == DeviceDatabase::kUnknown)
    c.Say(Fill(TrW("The device's file list could not be read whole; the database version {1} the device "
                   "reports stands."),
               {DatabaseVersionText(reported)}),
          strings::kAppCaption);
  return true;
}

}  // namespace mzt
