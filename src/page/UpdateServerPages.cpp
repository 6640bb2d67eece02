#include "page/UpdateServerPages.h"

#include <cstdio>
#include <cstdlib>

#include "common/TextFill.h"
#include "platform/HttpClient.h"
#include "platform/ProgramFolder.h"
#include "platform/TextCodec.h"
#include "platform/Translation.h"

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
  std::filesystem::path settingsFile = SettingsFilePath();
  UpdateServerAddress chosen = ChooseUpdateServer(std::getenv(kUpdateServerVariable), settingsFile);
  if (chosen.usable) return chosen;
  // The setting is named as the user writes it, in any language.
  bool inFile = chosen.source == ServerSource::kSettingsFile;
  Error error{ErrorCode::kInvalidArgument,
              Fill(Tr("{1}={2} is not an http:// or https:// address with a host"),
                   {inFile ? "[Update] Server" : kUpdateServerVariable, chosen.url})};
  if (inFile) return std::move(error).With(Fill(Tr("the settings file {1}"), {settingsFile.string()}));
  return error;
}

}  // namespace mzt
