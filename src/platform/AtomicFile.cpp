#include "platform/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <random>
#include <system_error>
#include <utility>

#include "platform/SystemError.h"

namespace mzt {
namespace fs = std::filesystem;
namespace {

// Distinct names for concurrent writers, in this process or another one.
std::string TemporarySuffix() {
  static std::atomic<uint64_t> counter{std::random_device{}()};
  char text[32];
  std::snprintf(text, sizeof text, ".part-%08llx",
                static_cast<unsigned long long>(counter.fetch_add(0x9E3779B9u) & 0xFFFFFFFFu));
  return text;
}

}  // namespace

AtomicFile::AtomicFile(std::FILE* file, fs::path target, fs::path temporary)
    : file_(file), target_(std::move(target)), temporary_(std::move(temporary)) {}

Result<AtomicFile> AtomicFile::Create(const fs::path& target) {
  int code = 0;
  for (int attempt = 0; attempt < 16; ++attempt) {
    fs::path temporary = target;
    temporary += TemporarySuffix();
    // "x": never reuse a file that someone else just created under that name.
    if (std::FILE* file = std::fopen(temporary.c_str(), "wbx")) {
      std::setvbuf(file, nullptr, _IONBF, 0);
      return AtomicFile(file, target, std::move(temporary));
    }
    code = LastSystemError();
    if (code != EEXIST) break;
  }
  return Error{ErrorCode::kIo, SystemErrorText(code), code}.With("creating " + target.string());
}

AtomicFile::AtomicFile(AtomicFile&& other) noexcept
    : file_(std::exchange(other.file_, nullptr)),
      target_(std::move(other.target_)),
      temporary_(std::exchange(other.temporary_, {})) {}

AtomicFile& AtomicFile::operator=(AtomicFile&& other) noexcept {
  if (this != &other) {
    Discard();
    file_ = std::exchange(other.file_, nullptr);
    target_ = std::move(other.target_);
    temporary_ = std::exchange(other.temporary_, {});
  }
  return *this;
}

AtomicFile::~AtomicFile() { Discard(); }

void AtomicFile::Discard() {
  if (file_) std::fclose(std::exchange(file_, nullptr));
  if (!temporary_.empty()) {
    std::error_code ignored;
    fs::remove(std::exchange(temporary_, {}), ignored);
  }
}

Error AtomicFile::SystemFailure(const char* action) const {
  int code = LastSystemError();
  return Error{ErrorCode::kIo, SystemErrorText(code), code}.With(action + target_.string());
}

Result<void> AtomicFile::Write(std::span<const uint8_t> bytes) {
  if (!file_) return Error{ErrorCode::kIo, "the file was already closed"}.With(target_.string());
  if (bytes.empty()) return Success();
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
    Error error = SystemFailure("writing ");
    Discard();
    return error;
  }
  return Success();
}

Result<void> AtomicFile::Commit() {
  if (!file_) return Error{ErrorCode::kIo, "the file was already closed"}.With(target_.string());
  if (std::fclose(std::exchange(file_, nullptr)) != 0) {
    Error error = SystemFailure("writing ");
    Discard();
    return error;
  }
  std::error_code ec;
  fs::rename(temporary_, target_, ec);
  if (ec) {
    Discard();
    return Error{ErrorCode::kIo, ec.message(), ec.value()}.With(
        "replacing " + target_.string());
  }
  temporary_.clear();
  return Success();
}

}  // namespace mzt
