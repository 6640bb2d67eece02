#include "common/UpdateServerSetting.h"

#include <cctype>

#include "common/BuildConfig.h"
#include "common/PortSettings.h"

namespace mzt {
namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

// The host of an http(s) address, lower case, without brackets or port.
std::string HostOf(std::string_view url) {
  size_t start = url.find("://");
  if (start == std::string_view::npos) return {};
  std::string_view rest = url.substr(start + 3);
  rest = rest.substr(0, rest.find_first_of("/?#"));
  if (size_t at = rest.rfind('@'); at != std::string_view::npos) rest.remove_prefix(at + 1);
  if (rest.starts_with("[")) return Lower(rest.substr(1, rest.find(']') - 1));
  return Lower(rest.substr(0, rest.find(':')));
}

}  // namespace

bool IsServerUrl(std::string_view url) {
  std::string lower = Lower(url.substr(0, 8));
  for (std::string_view scheme : {"http://", "https://"}) {
    if (url.size() > scheme.size() && lower.starts_with(scheme))
      return url.find_first_of("/?#", scheme.size()) != scheme.size();
  }
  return false;
}

std::string NormalizeServerUrl(std::string url) {
  if (!url.empty() && url.back() != '/') url += '/';
  return url;
}

bool IsLoopbackServer(std::string_view url) {
  std::string host = HostOf(url);
  bool dotted = !host.empty() && host.find_first_not_of("0123456789.") == std::string::npos;
  return host == "localhost" || host.ends_with(".localhost") || host == "::1" ||
         (dotted && host.starts_with("127."));
}

UpdateServerAddress ChooseUpdateServer(const char* environment, const std::filesystem::path& settingsFile) {
  if (environment && *environment) {
    if (!IsServerUrl(environment)) return {environment, ServerSource::kEnvironment, false};
    return {NormalizeServerUrl(environment), ServerSource::kEnvironment};
  }
  std::string stored = settingsFile.empty() ? std::string() : LoadPortSettings(settingsFile).updateServer;
  if (!stored.empty()) {
    if (!IsServerUrl(stored)) return {stored, ServerSource::kSettingsFile, false};
    return {NormalizeServerUrl(stored), ServerSource::kSettingsFile};
  }
  return {NormalizeServerUrl(kDefaultUpdateServerUrl), ServerSource::kBuildDefault};
}

}  // namespace mzt
