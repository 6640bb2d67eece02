#pragma once
// A file that appears complete or not at all: the bytes go to a temporary file
// in the target's folder, which replaces the target only on Commit(). Dropped
// without Commit(), the temporary file is removed and the target untouched.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>

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

 private:
  AtomicFile(std::FILE* file, std::filesystem::path target, std::filesystem::path temporary);
  Error SystemFailure(const char* action) const;
  void Discard();

  std::FILE* file_ = nullptr;
  std::filesystem::path target_;
  std::filesystem::path temporary_;
};

}  // namespace mzt
