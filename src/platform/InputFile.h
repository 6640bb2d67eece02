#pragma once
// A file read front to back in large pieces, with the system's error text
// for every failure.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>

#include "common/Result.h"

namespace mzt {

class InputFile {
 public:
  // ErrorCode::kIo with the system's text when the file cannot be opened.
  static Result<InputFile> Open(const std::filesystem::path& path);

  InputFile(InputFile&& other) noexcept;
  InputFile& operator=(InputFile&& other) noexcept;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile();

  // Reads until `buffer` is full or the file ends; answers the count read.
  Result<size_t> Read(std::span<uint8_t> buffer);
  // Reads exactly buffer.size() bytes; a file that ends first is kFormat.
  Result<void> ReadExact(std::span<uint8_t> buffer);
  // Moves the read position forward.
  Result<void> Skip(uint64_t bytes);
  // Moves the read position to `offset` from the start.
  Result<void> SeekTo(uint64_t offset);

  const std::filesystem::path& Path() const { return path_; }

 private:
  InputFile(std::FILE* file, std::filesystem::path path) : file_(file), path_(std::move(path)) {}
  Error ReadError() const;

  std::FILE* file_ = nullptr;
  std::filesystem::path path_;
};

}  // namespace mzt
