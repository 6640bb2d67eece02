#include "page/DeviceDatabase.h"

#include <algorithm>
#include <cwchar>
#include <iterator>

namespace mzt {

DeviceDatabase JudgeDeviceDatabase(std::span<const DeviceFileRecord, 3> records,
                                   bool versionReported) {
  auto listed = [](const DeviceFileRecord& r) { return r.identifier != 0; };
  auto whole = [&](const DeviceFileRecord& r) { return listed(r) && r.location != 0; };
  if (std::all_of(records.begin(), records.end(), whole))
    return versionReported ? DeviceDatabase::kComplete : DeviceDatabase::kNone;
  if (std::any_of(records.begin(), records.end(), listed)) return DeviceDatabase::kIncomplete;
  // The header holds the version: with no file listed, the listing was cut
  // short rather than the device empty.
  return versionReported ? DeviceDatabase::kUnknown : DeviceDatabase::kNone;
}

DatabaseVersion VersionOf(const DatabaseLayout& layout) {
  return {layout.year, layout.month, layout.day, int32_t{layout.number}};
}

std::wstring DatabaseVersionText(const DatabaseVersion& v) {
  wchar_t text[48];
  std::swprintf(text, 48, L"%d%02d%02d%04d", v.year, v.month, v.day, v.number);
  return text;
}

std::wstring AnnouncedVersionText(const PageState& state) {
  if (state.newDbDate.empty() && state.newDbNumber == 0) return {};
  wchar_t number[16];
  std::swprintf(number, std::size(number), L"%04d", state.newDbNumber);
  return state.newDbDate + number;
}

const char* DeviceDatabaseName(DeviceDatabase held) {
  switch (held) {
    case DeviceDatabase::kComplete: return "complete";
    case DeviceDatabase::kIncomplete: return "incomplete";
    case DeviceDatabase::kUnknown: return "unknown";
    case DeviceDatabase::kNone: break;
  }
  return "none";
}

}  // namespace mzt
