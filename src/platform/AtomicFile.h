#pragma once
// A file that appears complete or not at all: the bytes go to a temporary file
// in the target's folder, which replaces the target only on Commit(). Dropped
// without Commit(), the temporary file is removed and the target untouched.
// The temporary file is named after the target, the writing process and a
// counter ("FF02.bin.part-4711-0a1b2c3d"), so that what a killed run left
// can be told from what a running one is writing.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "common/Result.h"

namespace mzt {

class AtomicFile {
 public:
  // ErrorCode::kIo with the system's text for `target` when no file can be
  // created in its folder.
  static Result<AtomicFile> Create(const std::filesystem::path& target);

  AtomicFile(AtomicFile&& other) noexcept;
  AtomicFile& operator=(AtomicFile&& other) noexcept;
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  ~AtomicFile();

  Result<void> Write(std::span<const uint8_t> bytes);
  // Flushes, closes and renames the temporary file over the target.
  Result<void> Commit();

  // Removes the temporary files in `folder` whose writing process no longer
  // runs; files of any other name are left alone. Answers how many went.
  static int RemoveLeftovers(const std::filesystem::path& folder);

 private:
  AtomicFile(std::FILE* file, std::filesystem::path target, std::filesystem::path temporary);
  Error SystemFailure(const char* action) const;
  void Discard();

  std::FILE* file_ = nullptr;
  std::filesystem::path target_;
  std::filesystem::path temporary_;
};

// "<mark><process id>-<8 hex digits>": a name part of this process's own,
// distinct from its others, that tells which process made the file or folder.
std::string WriterSuffix(std::string_view mark);
// The process id of a name that ends in such a part after a name of its own,
// 0 for any other name.
uint32_t WriterOf(std::string_view name, std::string_view mark);

}  // namespace mzt
