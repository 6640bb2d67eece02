#include "support/TempFolder.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace mzt::test {

TempFolder::TempFolder() {
  // A fresh name, created only when free: the same on every platform.
  static std::random_device seed;
  std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, "mzt-test-%08x", static_cast<unsigned>(seed()));
    std::error_code ec;
    if (std::filesystem::create_directory(base / name, ec)) {
      path_ = base / name;
      // Closed to others, as a private temporary folder is (0700).
      std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
      return;
    }
    if (ec) throw std::runtime_error("creating a folder in " + base.string() + ": " + ec.message());
  }
  throw std::runtime_error("no free folder name in " + base.string());
}

TempFolder::~TempFolder() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace mzt::test
