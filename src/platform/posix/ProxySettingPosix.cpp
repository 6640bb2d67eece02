#include <cstdlib>

#include "platform/ProxySetting.h"

namespace mzt {
namespace {

// The lower-case variable wins, as with other programs that read these.
std::string FirstSet(const char* lower, const char* upper) {
  for (const char* name : {lower, upper}) {
    if (const char* value = std::getenv(name); value && *value) return value;
  }
  return {};
}

}  // namespace

ProxySetting ReadUserProxySetting(std::string_view scheme) {
  ProxySetting setting;
  setting.proxyText = scheme == "https" ? FirstSet("https_proxy", "HTTPS_PROXY")
                                        : FirstSet("http_proxy", "HTTP_PROXY");
  setting.bypassList = FirstSet("no_proxy", "NO_PROXY");
  return setting;
}

}  // namespace mzt
