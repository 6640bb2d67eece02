// The user's proxy setting: a proxy, when one is read, has a host and a port
// other than 0.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "common/ProxyText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  auto proxy = mzt::ParseProxyText(text);
  if (proxy && (proxy->host.empty() || proxy->port == 0 || proxy->host.size() > size))
    std::abort();
  return 0;
}
