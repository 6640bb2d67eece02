#pragma once
// A client for one request to the update server, told the user's proxy the
// way the update itself is (check and doctor ask the same server).

#include <memory>
#include <string>

#include "cli/CommandLine.h"
#include "common/Result.h"
#include "common/UpdateServerSetting.h"
#include "page/VersionCheck.h"
#include "platform/HttpClient.h"

namespace mzt {

struct ServerClient {
  std::unique_ptr<IHttpClient> client;
  ProxyChoice proxy;
};

// --server, else the server the user's settings choose (ConfiguredUpdateServer).
Result<UpdateServerAddress> ChosenServer(const CliOptions& options);

// Fails (kRefused) when the client refuses the user's proxy.
Result<ServerClient> MakeServerClient(const std::string& url, bool verbose);

}  // namespace mzt
