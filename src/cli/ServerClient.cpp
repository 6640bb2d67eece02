#include "cli/ServerClient.h"

#include <cstdio>

#include "cli/VerboseHttpClient.h"
#include "common/FieldReader.h"
#include "common/TextFill.h"
#include "page/UpdateServerPages.h"
#include "platform/Translation.h"

namespace mzt {

Result<UpdateServerAddress> ChosenServer(const CliOptions& options) {
  if (options.server.empty()) return ConfiguredUpdateServer();
  return UpdateServerAddress{NormalizeServerUrl(options.server), ServerSource::kCommandLine};
}

std::string OfferedVersionText(const ServerAnswer& answer) {
  char number[24];
  std::snprintf(number, sizeof number, "%04lld", ParseDecimal(answer.Field(1)));
  return answer.Field(0) + number;
}

Result<ServerClient> MakeServerClient(const std::string& url, bool verbose) {
  ServerClient made;
  made.client = CreateHttpClient();
  if (verbose) made.client = MakeVerboseHttpClient(std::move(made.client));
  made.setting = ReadUserProxySetting(url.substr(0, url.find(':')));
  made.proxy = ParseProxyText(made.setting.proxyText);
  if (made.proxy) {
    auto set = made.client->SetProxy(*made.proxy, made.setting.bypassList);
    if (!set)
      return std::move(set).TakeError().With(Fill(Tr("the proxy {1}"), {MaskProxyPassword(made.setting.proxyText)}));
  }
  return made;
}

}  // namespace mzt
