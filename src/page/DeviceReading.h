#pragma once
// The readings the flows make of the device on the connect worker: upload
// mode, the firmware's flags, the file table and the database it holds.

#include "page/FlowContext.h"

namespace mzt {

inline constexpr int kMaxUploadModeRounds = 5;
inline constexpr int kMaxFileEntries = 256;

// Puts the device into upload mode; false when it never reported the mode.
bool EnterUploadMode(const FlowContext& context);
void ReadFirmwareFlags(const FlowContext& context);
// Asks the region where the firmware tells it; false when that failed.
bool RegionQueryStep(const FlowContext& context);
// Fills the device file records from the device's file table.
void ListDeviceFiles(const FlowContext& context);
// Reads the database version and region and shows what the device holds;
// withRecords is the update's form of the texts. False when the reading failed.
bool ReadAndShowDeviceDatabase(const FlowContext& context, bool withRecords);
void ForgetDeviceFileRecords(PageState& state);

// What the page shows of the database the device holds, as read last;
// withRecords is the update's form.
std::wstring HeldDatabaseText(const PageState& state, bool withRecords);
// What the page shows of the device's region.
const wchar_t* HeldRegionText(const PageState& state);

}  // namespace mzt
