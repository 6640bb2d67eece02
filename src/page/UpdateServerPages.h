#pragma once
// Addresses of the update server's pages. Region 0 is "台灣"; region 1,
// "中國", has its own pages, named with a "C" before "_NEW".

#include <string>

#include "common/Result.h"
#include "common/UpdateServerSetting.h"
#include "page/PageState.h"

namespace mzt {

enum class ServerPage { kVersionCheck, kDownloadAddress, kSuccessReport };

const char* ServerPageName(ServerPage page, int region);

// base + page + "?DBVer=%d-%02d-%02d&Num=%d"
std::string VersionCheckUrl(const std::string& base, int region, const DatabaseVersion& version);
// base + page + "?SN=" + the device ID in code page 950, percent-encoded.
std::string DeviceIdUrl(const std::string& base, ServerPage page, int region,
                        const std::wstring& deviceId);

// The server this user's settings choose: MZT_UPDATE_SERVER, else the settings
// file's, else the build's default.
Result<UpdateServerAddress> ConfiguredUpdateServer();

}  // namespace mzt
