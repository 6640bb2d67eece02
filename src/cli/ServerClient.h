#pragma once
// A client for one request to the update server, told the user's proxy the
// way the update itself is (check and doctor ask the same server).

#include <memory>
#include <optional>
#include <string>

#include "cli/CommandLine.h"
#include "common/ProxyText.h"
#include "common/Result.h"
#include "common/UpdateServerSetting.h"
#include "page/ServerAnswer.h"
#include "platform/HttpClient.h"
#include "platform/ProxySetting.h"

namespace mzt {

struct ServerClient {
  std::unique_ptr<IHttpClient> client;
  ProxySetting setting;                // as the user's environment holds it
  std::optional<ProxyAddress> proxy;   // none: a direct connection
};

// --server, else the server the user's settings choose (ConfiguredUpdateServer).
Result<UpdateServerAddress> ChosenServer(const CliOptions& options);

// The version a version check's code-3 answer offers, as the device's is printed.
std::string OfferedVersionText(const ServerAnswer& answer);

// Fails (kRefused) when the client refuses the user's proxy.
Result<ServerClient> MakeServerClient(const std::string& url, bool verbose);

}  // namespace mzt
