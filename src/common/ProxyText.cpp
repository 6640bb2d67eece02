#include "common/ProxyText.h"

#include <algorithm>
#include <climits>

#include "common/FieldReader.h"

namespace mzt {

std::optional<ProxyAddress> ParseProxyText(std::string_view text) {
  if (size_t scheme = text.find("://"); scheme != std::string_view::npos)
    text.remove_prefix(scheme + 3);
  while (!text.empty() && text.back() == '/') text.remove_suffix(1);

  size_t colon = text.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  ProxyAddress proxy;
  proxy.host = std::string(text.substr(0, colon));
  if (size_t slashes = proxy.host.find("//", 1); slashes != std::string::npos)
    proxy.host.erase(0, slashes);
  proxy.port = static_cast<int>(
      std::clamp<long long>(ParseDecimal(text.substr(colon + 1)), INT_MIN, INT_MAX));
  if (proxy.host.empty() || proxy.port == 0) return std::nullopt;
  return proxy;
}

}  // namespace mzt
