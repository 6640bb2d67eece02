#include "platform/Sha256.h"

#include "platform/InputFile.h"

namespace mzt {

std::string HexDigits(std::span<const uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (uint8_t b : bytes) {
    text += kDigits[b >> 4];
    text += kDigits[b & 0x0F];
  }
  return text;
}

std::string Sha256Hex(std::span<const uint8_t> bytes) {
  Sha256 hasher;
  hasher.Update(bytes);
  return hasher.HexDigest();
}

Result<FileDigest> Sha256OfFile(const std::filesystem::path& file) {
  auto input = InputFile::Open(file);
  if (!input) return std::move(input).TakeError();
  Sha256 hasher;
  FileDigest result;
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[65536]);
  for (;;) {
    auto got = input.Value().Read(std::span(buffer.get(), 65536));
    if (!got) return std::move(got).TakeError();
    if (got.Value() == 0) break;
    hasher.Update(std::span(buffer.get(), got.Value()));
    result.size += got.Value();
  }
  result.sha256 = hasher.HexDigest();
  return result;
}

}  // namespace mzt
