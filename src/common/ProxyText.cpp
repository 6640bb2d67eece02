#include "common/ProxyText.h"

#include <algorithm>
#include <cctype>
#include <climits>

#include "common/FieldReader.h"

namespace mzt {
namespace {

constexpr std::string_view kSchemeEnd = "://";

// "%40" and the like, as user info in an address is written.
std::string PercentDecoded(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    auto hex = [&](size_t at) {
      char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[at])));
      return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    };
    if (text[i] == '%' && i + 2 < text.size() && hex(i + 1) >= 0 && hex(i + 2) >= 0) {
      out += static_cast<char>(hex(i + 1) * 16 + hex(i + 2));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

int UsualPort(const std::string& scheme) {
  if (scheme == "https") return 443;
  if (scheme.starts_with("socks")) return 1080;
  return 80;
}

// Where the user info of `text` (after its scheme) ends at its '@', npos without one.
size_t UserInfoEnd(std::string_view text, size_t from) {
  size_t authorityEnd = text.find('/', from);
  size_t at = text.rfind('@', authorityEnd == std::string_view::npos ? text.size() : authorityEnd);
  return at != std::string_view::npos && at >= from ? at : std::string_view::npos;
}

size_t AfterScheme(std::string_view text) {
  size_t scheme = text.find(kSchemeEnd);
  return scheme == std::string_view::npos ? 0 : scheme + kSchemeEnd.size();
}

}  // namespace

std::optional<ProxyAddress> ParseProxyText(std::string_view text) {
  ProxyAddress proxy;
  if (size_t start = AfterScheme(text); start > 0) {
    proxy.scheme = std::string(text.substr(0, start - kSchemeEnd.size()));
    std::transform(proxy.scheme.begin(), proxy.scheme.end(), proxy.scheme.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    text.remove_prefix(start);
  }
  if (size_t at = UserInfoEnd(text, 0); at != std::string_view::npos) {
    std::string_view info = text.substr(0, at);
    size_t colon = info.find(':');
    proxy.user = PercentDecoded(info.substr(0, colon));
    if (colon != std::string_view::npos) proxy.password = PercentDecoded(info.substr(colon + 1));
    text.remove_prefix(at + 1);
  }
  while (!text.empty() && text.back() == '/') text.remove_suffix(1);

  size_t bracket = text.starts_with('[') ? text.find(']') : std::string_view::npos;
  size_t colon = text.find(':', bracket == std::string_view::npos ? 0 : bracket);
  proxy.host = std::string(text.substr(0, colon));
  if (size_t slashes = proxy.host.find("//", 1); slashes != std::string::npos)
    proxy.host.erase(0, slashes);
  proxy.port = colon == std::string_view::npos
                   ? UsualPort(proxy.scheme)
                   : static_cast<int>(std::clamp<long long>(ParseDecimal(text.substr(colon + 1)),
                                                            INT_MIN, INT_MAX));
  if (proxy.host.empty() || proxy.port == 0) return std::nullopt;
  return proxy;
}

std::string ProxyDisplayText(const ProxyAddress& proxy) {
  std::string user = proxy.user.empty() ? "" : proxy.user + (proxy.password.empty() ? "@" : ":***@");
  return proxy.scheme + "://" + user + proxy.host + ":" + std::to_string(proxy.port);
}

std::string MaskProxyPassword(std::string_view text) {
  size_t start = AfterScheme(text);
  size_t at = UserInfoEnd(text, start);
  if (at == std::string_view::npos) return std::string(text);
  size_t colon = text.substr(start, at - start).find(':');
  if (colon == std::string_view::npos) return std::string(text);
  return std::string(text.substr(0, start + colon + 1)) + "***" + std::string(text.substr(at));
}

}  // namespace mzt
