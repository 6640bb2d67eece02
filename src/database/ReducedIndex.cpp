#include "database/ReducedIndex.h"

#include <algorithm>
#include <array>
#include <system_error>
#include <vector>

#include "platform/AtomicFile.h"
#include "database/DatabaseLayout.h"
#include "platform/InputFile.h"

namespace mzt {
namespace fs = std::filesystem;

Result<void> MakeReducedIndex(const fs::path& ff01Path, const fs::path& indexPath) {
  std::error_code ec;
  uint64_t size = fs::file_size(ff01Path, ec);
  if (ec) return Error{ErrorCode::kIo, ec.message(), ec.value()}.With("opening " + ff01Path.string());
  if (size < kIndexTrailerSize || (size - kIndexTrailerSize) % kIndexEntrySize != 0)
    return Error{ErrorCode::kFormat, "not a grid index of whole 16-byte entries"}.With(
        ff01Path.string());

  auto in = InputFile::Open(ff01Path);
  if (!in) return std::move(in).TakeError();
  auto out = AtomicFile::Create(indexPath);
  if (!out) return std::move(out).TakeError();

  constexpr size_t kHalf = kReducedIndexEntrySize;
  static_assert(kHalf * 2 == kIndexEntrySize);
  // Pieces of up to 1 MiB, never more than the index holds.
  uint64_t left = size - kIndexTrailerSize;
  std::vector<uint8_t> buffer(
      static_cast<size_t>(std::min<uint64_t>(65536 * kIndexEntrySize, left)));
  while (left > 0) {
    size_t piece = static_cast<size_t>(std::min<uint64_t>(left, buffer.size()));
    if (auto read = in.Value().ReadExact({buffer.data(), piece}); !read) return read;
    // Keep the second half of each entry, packed towards the front.
    size_t kept = 0;
    for (size_t at = 0; at < piece; at += kIndexEntrySize, kept += kHalf)
      std::copy_n(buffer.data() + at + kHalf, kHalf, buffer.data() + kept);
    if (auto written = out.Value().Write({buffer.data(), kept}); !written) return written;
    left -= piece;
  }
  constexpr std::array<uint8_t, 4> kEnd{};
  if (auto written = out.Value().Write(kEnd); !written) return written;
  return out.Value().Commit();
}

}  // namespace mzt
