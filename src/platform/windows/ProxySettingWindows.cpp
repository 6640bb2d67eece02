#include <windows.h>
#include <winhttp.h>

#include "platform/ProxySetting.h"
#include "platform/TextCodec.h"

namespace mzt {
namespace {

std::string TakeText(LPWSTR text) {
  if (!text) return {};
  std::string utf8 = WideToUtf8(text);
  ::GlobalFree(text);
  return utf8;
}

// "http=host:3128;https=other:8080" names a proxy per scheme; a list without
// "=" serves every scheme.
std::string ProxyForScheme(const std::string& list, std::string_view scheme) {
  if (list.find('=') == std::string::npos) {
    size_t end = list.find_first_of("; ");
    return list.substr(0, end);
  }
  size_t pos = 0;
  while (pos < list.size()) {
    size_t end = list.find_first_of("; ", pos);
    if (end == std::string::npos) end = list.size();
    std::string entry = list.substr(pos, end - pos);
    size_t equals = entry.find('=');
    if (equals != std::string::npos && entry.compare(0, equals, scheme) == 0)
      return entry.substr(equals + 1);
    pos = end + 1;
  }
  return {};
}

// The bypass list is separated by semicolons or blanks; the client takes commas.
std::string CommaSeparated(std::string list) {
  for (char& c : list) {
    if (c == ';' || c == ' ') c = ',';
  }
  return list;
}

}  // namespace

ProxySetting ReadUserProxySetting(std::string_view scheme) {
  ProxySetting setting;
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
  if (!::WinHttpGetIEProxyConfigForCurrentUser(&config)) return setting;
  if (config.lpszAutoConfigUrl) ::GlobalFree(config.lpszAutoConfigUrl);
  std::string proxy = TakeText(config.lpszProxy);
  std::string bypass = TakeText(config.lpszProxyBypass);
  setting.proxyText = ProxyForScheme(proxy, scheme);
  if (!setting.proxyText.empty()) setting.bypassList = CommaSeparated(bypass);
  return setting;
}

}  // namespace mzt
