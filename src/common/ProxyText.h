#pragma once
// The user's proxy setting as text ("host:port", or "http://host:port/" as the
// environment usually holds it) read into the proxy the HTTP client is told.

#include <optional>
#include <string>
#include <string_view>

namespace mzt {

struct ProxyAddress {
  std::string host;
  int port = 0;
};

// Scheme and trailing slashes are dropped first; then the text before the
// first ':' is the host and the decimal number after it the port. A host that
// holds "//" after its first character is cut to begin at that "//". No ':',
// an empty host or port 0 mean a direct connection (nullopt).
std::optional<ProxyAddress> ParseProxyText(std::string_view text);

}  // namespace mzt
