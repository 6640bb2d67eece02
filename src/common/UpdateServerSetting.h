#pragma once
// Which update server the program talks to. The build names a default
// (MZT_UPDATE_SERVER_URL); the settings file's "[Update] Server=" overrides
// it, and the environment's MZT_UPDATE_SERVER overrides both. Both front ends
// choose through ChooseUpdateServer, so they always talk to the same server.
// A refused address comes back as a value; its caller words the refusal in
// the user's language.

#include <filesystem>
#include <string>
#include <string_view>

namespace mzt {

inline constexpr const char* kUpdateServerVariable = "MZT_UPDATE_SERVER";

enum class ServerSource { kBuildDefault, kSettingsFile, kEnvironment, kCommandLine };

struct UpdateServerAddress {
  std::string url;  // ends in "/"; when not usable, the value as it was found
  ServerSource source = ServerSource::kBuildDefault;
  bool usable = true;  // false: `url` is no http(s) address with a host
};

// An http or https address with a host.
bool IsServerUrl(std::string_view url);
// Adds the "/" that the page names are appended to, when it is missing.
std::string NormalizeServerUrl(std::string url);
// A server on this computer: localhost, 127.0.0.0/8 or ::1.
bool IsLoopbackServer(std::string_view url);

// `environment` is MZT_UPDATE_SERVER's value (nullptr when unset). An empty
// value counts as none; a value that is no http(s) address comes back not
// usable, with its source, and is never quietly passed over for the next one.
UpdateServerAddress ChooseUpdateServer(const char* environment, const std::filesystem::path& settingsFile);

}  // namespace mzt
