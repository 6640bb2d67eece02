#include "updserver/DatabaseCatalog.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <system_error>

namespace mzt::updserver {
namespace fs = std::filesystem;

std::string OfferedDatabase::DateText() const {
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02d%02d", version.year, version.month, version.day);
  return text;
}

std::optional<HeaderVersion> ReadHeaderVersion(const fs::path& file) {
  std::array<unsigned char, 10> header{};
  std::ifstream in(file, std::ios::binary);
  if (!in.read(reinterpret_cast<char*>(header.data()), header.size())) return std::nullopt;
  if (header[0] != '%' || header[1] != 'C' || header[2] != 'D' || header[3] != 'B')
    return std::nullopt;
  HeaderVersion version;
  version.year = header[4] | header[5] << 8;
  version.month = header[6];
  version.day = header[7];
  version.number = header[8] | header[9] << 8;
  return version;
}

std::optional<OfferedDatabase> NewestDatabase(const fs::path& folder) {
  std::optional<OfferedDatabase> newest;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    if (!entry.is_regular_file(error)) continue;
    auto version = ReadHeaderVersion(entry.path());
    if (!version) continue;
    // Equal versions: the name decides, so that the choice does not depend on listing order.
    if (!newest || newest->version < *version ||
        (newest->version == *version && entry.path().filename() > newest->path.filename()))
      newest = OfferedDatabase{entry.path(), *version};
  }
  return newest;
}

}  // namespace mzt::updserver
