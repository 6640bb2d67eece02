#include "platform/InputFile.h"

#include <algorithm>
#include <climits>
#include <utility>
#include <vector>

#include "common/TextFill.h"
#include "platform/FileSystem.h"
#include "platform/SystemError.h"
#include "platform/Translation.h"

namespace mzt {

Result<InputFile> InputFile::Open(const std::filesystem::path& path) {
  std::FILE* file = OpenStdioFile(path, "rb");
  if (!file) {
    int code = LastSystemError();
    return Error{ErrorCode::kIo, SystemErrorText(code), code}.With(Fill(Tr("opening {1}"), {path.string()}));
  }
  // The callers read in large pieces of their own; a second buffer only copies.
  std::setvbuf(file, nullptr, _IONBF, 0);
  return InputFile(file, path);
}

InputFile::InputFile(InputFile&& other) noexcept
    : file_(std::exchange(other.file_, nullptr)), path_(std::move(other.path_)) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
  if (this != &other) {
    if (file_) std::fclose(file_);
    file_ = std::exchange(other.file_, nullptr);
    path_ = std::move(other.path_);
  }
  return *this;
}

InputFile::~InputFile() {
  if (file_) std::fclose(file_);
}

Error InputFile::ReadError() const {
  int code = LastSystemError();
  return Error{ErrorCode::kIo, SystemErrorText(code), code}.With(Fill(Tr("reading {1}"), {path_.string()}));
}

Result<size_t> InputFile::Read(std::span<uint8_t> buffer) {
  size_t total = 0;
  while (total < buffer.size()) {
    size_t got = std::fread(buffer.data() + total, 1, buffer.size() - total, file_);
    total += got;
    if (got == 0) {
      if (std::ferror(file_)) return ReadError();
      break;
    }
  }
  return total;
}

Result<void> InputFile::ReadExact(std::span<uint8_t> buffer) {
  auto got = Read(buffer);
  if (!got) return std::move(got).TakeError();
  if (got.Value() != buffer.size())
    return Error{ErrorCode::kFormat, Tr("the file ended early (it changed while being read)")}.With(
        path_.string());
  return Success();
}

Result<void> InputFile::Skip(uint64_t bytes) {
  if (bytes <= static_cast<uint64_t>(LONG_MAX)) {
    if (std::fseek(file_, static_cast<long>(bytes), SEEK_CUR) != 0) return ReadError();
    return Success();
  }
  // Beyond what fseek can address everywhere: read past it.
  std::vector<uint8_t> scratch(1 << 20);
  while (bytes > 0) {
    size_t piece = static_cast<size_t>(std::min<uint64_t>(bytes, scratch.size()));
    if (auto read = ReadExact({scratch.data(), piece}); !read) return read;
    bytes -= piece;
  }
  return Success();
}

Result<void> InputFile::SeekTo(uint64_t offset) {
  if (std::fseek(file_, 0, SEEK_SET) != 0) return ReadError();
  return Skip(offset);
}

}  // namespace mzt
