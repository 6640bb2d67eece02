#pragma once
// The databases the local update server offers: a folder per region whose
// files with a "%CDB" header are candidates; the newest by header version wins.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <tuple>

namespace mzt::updserver {

struct HeaderVersion {
  int year = 0;
  int month = 0;
  int day = 0;
  int number = 0;

  auto Key() const { return std::tie(year, month, day, number); }
  bool operator<(const HeaderVersion& other) const { return Key() < other.Key(); }
  bool operator==(const HeaderVersion& other) const { return Key() == other.Key(); }
};

struct OfferedDatabase {
  std::filesystem::path path;
  HeaderVersion version;

  // "20240105": year, month and day as the version check answers them.
  std::string DateText() const;
};

// The version in a database file's header (little-endian: "%CDB", year 16
// bits, month, day, number 16 bits); nullopt for any other file.
std::optional<HeaderVersion> ReadHeaderVersion(const std::filesystem::path& file);

// The newest database directly in `folder`; nullopt when it holds none.
std::optional<OfferedDatabase> NewestDatabase(const std::filesystem::path& folder);

}  // namespace mzt::updserver
