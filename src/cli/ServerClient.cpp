#include "cli/ServerClient.h"

#include "cli/VerboseHttpClient.h"
#include "page/UpdateServerPages.h"
#include "platform/Translation.h"

namespace mzt {

Result<UpdateServerAddress> ChosenServer(const CliOptions& options) {
  if (options.server.empty()) return ConfiguredUpdateServer();
  return UpdateServerAddress{NormalizeServerUrl(options.server), ServerSource::kCommandLine};
}

Result<ServerClient> MakeServerClient(const std::string& url, bool verbose) {
  ServerClient made;
  made.client = CreateHttpClient();
  if (verbose) made.client = MakeVerboseHttpClient(std::move(made.client));
  auto proxy = UseUserProxy(*made.client, url);
  if (!proxy) return std::move(proxy).TakeError();
  made.proxy = std::move(proxy).Value();
  return made;
}

}  // namespace mzt
