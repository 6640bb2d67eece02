#pragma once
// The current user's proxy setting for HTTP requests.

#include <string>
#include <string_view>

namespace mzt {

struct ProxySetting {
  std::string proxyText;   // as the user wrote it; empty for a direct connection
  std::string bypassList;  // hosts reached directly, comma-separated
};

// The setting for a request whose address has `scheme` ("http" or "https").
ProxySetting ReadUserProxySetting(std::string_view scheme);

}  // namespace mzt
