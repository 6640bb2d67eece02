#include "page/UpdateServerPages.h"

#include <cstdio>
#include <cstdlib>

#include "platform/HttpClient.h"
#include "platform/ProgramFolder.h"
#include "platform/TextCodec.h"

namespace mzt {

const char* ServerPageName(ServerPage page, int region) {
  bool china = region == 1;
  switch (page) {
    case ServerPage::kVersionCheck:
      return china ? "CheckDBVersionC_NEW.aspx" : "CheckDBVersion_NEW.aspx";
    case ServerPage::kDownloadAddress:
      return china ? "DBDownloadC_NEW.aspx" : "DBDownload_NEW.aspx";
    case ServerPage::kSuccessReport:
      return china ? "SuccessPageC_NEW.aspx" : "SuccessPage_NEW.aspx";
  }
  return "";
}

std::string VersionCheckUrl(const std::string& base, int region, const DatabaseVersion& version) {
  char query[96];
  std::snprintf(query, sizeof query, "?DBVer=%d-%02d-%02d&Num=%d", version.year, version.month,
                version.day, version.number);
  return base + ServerPageName(ServerPage::kVersionCheck, region) + query;
}

std::string DeviceIdUrl(const std::string& base, ServerPage page, int region,
                        const std::wstring& deviceId) {
  return base + ServerPageName(page, region) + "?SN=" + EscapeUrlComponent(WideToAnsi(deviceId));
}

Result<UpdateServerAddress> ConfiguredUpdateServer() {
  return ChooseUpdateServer(std::getenv(kUpdateServerVariable), SettingsFilePath());
}

}  // namespace mzt
