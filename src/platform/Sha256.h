#pragma once
// SHA-256 from the system's library, as 64 lower-case hexadecimal digits:
// how a recorded session names a data frame or a download without its bytes.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

#include "common/Result.h"

namespace mzt {

class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void Update(std::span<const uint8_t> bytes);
  // The digest of everything given; the hasher is spent after it.
  std::string HexDigest();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

std::string Sha256Hex(std::span<const uint8_t> bytes);

struct FileDigest {
  uint64_t size = 0;
  std::string sha256;
};
// The file's size and digest, read once.
Result<FileDigest> Sha256OfFile(const std::filesystem::path& file);

// Lower-case hexadecimal digits of the bytes.
std::string HexDigits(std::span<const uint8_t> bytes);

}  // namespace mzt
