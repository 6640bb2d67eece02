#pragma once
// What the device holds, judged the same way by the query, the check, the
// update and the check after a transfer: its file listing and the version it
// reports.

#include <span>
#include <string>

#include "database/DatabaseLayout.h"
#include "page/PageState.h"

namespace mzt {

// `records` are 0xFF00, 0xFF01 and 0xFF02 as the listing found them
// (identifier 0: not listed; location 0: listed but never finished).
DeviceDatabase JudgeDeviceDatabase(std::span<const DeviceFileRecord, 3> records,
                                   bool versionReported);

// The version a database file's header gives.
DatabaseVersion VersionOf(const DatabaseLayout& layout);

// The version as the user reads it: date and number, "202611300012".
std::wstring DatabaseVersionText(const DatabaseVersion& version);

// The version the server's check announced, as its news shows it: the date
// text and the number; empty when the check announced none.
std::wstring AnnouncedVersionText(const PageState& state);

// "none", "complete", "incomplete" or "unknown", for machine-readable output.
const char* DeviceDatabaseName(DeviceDatabase held);

}  // namespace mzt
