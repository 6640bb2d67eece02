// The program file's version resource. Compiled into mzt_common on Windows.
#include <windows.h>

#include <vector>

#include "common/ModuleVersion.h"

namespace mzt {

bool GetModuleFileVersion(uint16_t& major, uint16_t& minor, uint16_t& build,
                          uint16_t& revision) {
  wchar_t path[MAX_PATH * 2];
  DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
  if (length == 0 || length >= MAX_PATH * 2) return false;
  DWORD ignored = 0;
  DWORD size = ::GetFileVersionInfoSizeW(path, &ignored);
  if (size == 0) return false;
  std::vector<uint8_t> block(size);
  if (!::GetFileVersionInfoW(path, 0, size, block.data())) return false;
  VS_FIXEDFILEINFO* info = nullptr;
  UINT infoSize = 0;
  if (!::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &infoSize) ||
      infoSize < sizeof(VS_FIXEDFILEINFO))
    return false;
  major = HIWORD(info->dwFileVersionMS);
  minor = LOWORD(info->dwFileVersionMS);
  build = HIWORD(info->dwFileVersionLS);
  revision = LOWORD(info->dwFileVersionLS);
  return true;
}

}  // namespace mzt
