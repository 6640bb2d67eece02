#pragma once
// Which update server the program talks to. The build names a default
// (MZT_UPDATE_SERVER_URL); the settings file's "[Update] Server=" overrides
// it, and the environment's MZT_UPDATE_SERVER overrides both. Both front ends
// choose through ChooseUpdateServer, so they always talk to the same server.

#include <filesystem>
#include <string>
#include <string_view>

#include "common/Result.h"

namespace mzt {

inline constexpr const char* kUpdateServerVariable = "MZT_UPDATE_SERVER";

enum class ServerSource { kBuildDefault, kSettingsFile, kEnvironment, kCommandLine };

struct UpdateServerAddress {
  std::string url;  // ends in "/"
  ServerSource source = ServerSource::kBuildDefault;
};

// An http or https address with a host.
bool IsServerUrl(std::string_view url);
// Adds the "/" that the page names are appended to, when it is missing.
std::string NormalizeServerUrl(std::string url);
// A server on this computer: localhost, 127.0.0.0/8 or ::1.
bool IsLoopbackServer(std::string_view url);

// `environment` is MZT_UPDATE_SERVER's value (nullptr when unset). An empty
// value counts as none; a value that is no http(s) address is an error
// (kInvalidArgument) naming where it was found, never quietly passed over for
// the next source.
Result<UpdateServerAddress> ChooseUpdateServer(const char* environment,
                                               const std::filesystem::path& settingsFile);

}  // namespace mzt
