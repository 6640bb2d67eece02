#include "platform/AtomicFile.h"

#include <atomic>
#include <cstdio>
#include <random>
#include <string_view>
#include <system_error>
#include <utility>

#include "common/TextFill.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/SystemError.h"
#include "platform/Translation.h"

namespace mzt {
namespace fs = std::filesystem;
namespace {

constexpr std::string_view kPartMark = ".part-";
constexpr size_t kCounterDigits = 8;

bool IsDecimal(std::string_view text) {
  return !text.empty() && text.size() <= 10 &&
         text.find_first_not_of("0123456789") == std::string_view::npos;
}

}  // namespace

std::string WriterSuffix(std::string_view mark) {
  // Distinct names for concurrent writers, in this process or another one.
  static std::atomic<uint64_t> counter{std::random_device{}()};
  char text[48];
  std::snprintf(text, sizeof text, "%.*s%lu-%08llx", static_cast<int>(mark.size()), mark.data(),
                static_cast<unsigned long>(CurrentProcessId()),
                static_cast<unsigned long long>(counter.fetch_add(0x9E3779B9u) & 0xFFFFFFFFu));
  return text;
}

uint32_t WriterOf(std::string_view name, std::string_view mark) {
  size_t at = name.rfind(mark);
  if (at == std::string_view::npos || at == 0) return 0;
  std::string_view tail = name.substr(at + mark.size());
  size_t dash = tail.find('-');
  if (dash == std::string_view::npos) return 0;
  std::string_view pid = tail.substr(0, dash);
  std::string_view counter = tail.substr(dash + 1);
  if (!IsDecimal(pid) || counter.size() != kCounterDigits ||
      counter.find_first_not_of("0123456789abcdef") != std::string_view::npos)
    return 0;
  unsigned long long id = std::stoull(std::string(pid));
  return id <= UINT32_MAX ? static_cast<uint32_t>(id) : 0;
}

AtomicFile::AtomicFile(std::FILE* file, fs::path target, fs::path temporary)
    : file_(file), target_(std::move(target)), temporary_(std::move(temporary)) {}

Result<AtomicFile> AtomicFile::Create(const fs::path& target) {
  int code = 0;
  for (int attempt = 0; attempt < 16; ++attempt) {
    fs::path temporary = target;
    temporary += WriterSuffix(kPartMark);
    bool taken = false;
    if (std::FILE* file = CreateNewStdioFile(temporary, taken)) {
      std::setvbuf(file, nullptr, _IONBF, 0);
      return AtomicFile(file, target, std::move(temporary));
    }
    code = LastSystemError();
    if (!taken) break;
  }
  return Error{ErrorCode::kIo, SystemErrorText(code), code}.With(Fill(Tr("creating {1}"), {target.string()}));
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
  return Error{ErrorCode::kIo, SystemErrorText(code), code}.With(Fill(Tr(action), {target_.string()}));
}

Result<void> AtomicFile::Write(std::span<const uint8_t> bytes) {
  if (!file_) return Error{ErrorCode::kIo, Tr("the file was already closed")}.With(target_.string());
  if (bytes.empty()) return Success();
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
    Error error = SystemFailure(TrLater("writing {1}"));
    Discard();
    return error;
  }
  return Success();
}

Result<void> AtomicFile::Commit() {
  if (!file_) return Error{ErrorCode::kIo, Tr("the file was already closed")}.With(target_.string());
  if (std::fclose(std::exchange(file_, nullptr)) != 0) {
    Error error = SystemFailure(TrLater("writing {1}"));
    Discard();
    return error;
  }
  if (int code = ReplaceFileWith(temporary_, target_); code != 0) {
    Discard();
    return Error{ErrorCode::kIo, SystemErrorText(code), code}.With(
        Fill(Tr("replacing {1}"), {target_.string()}));
  }
  temporary_.clear();
  return Success();
}

int AtomicFile::RemoveLeftovers(const fs::path& folder) {
  int removed = 0;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    uint32_t writer = WriterOf(it->path().filename().string(), kPartMark);
    if (writer == 0 || writer == CurrentProcessId() || IsProcessRunning(writer)) continue;
    std::error_code ignored;
    if (it->is_regular_file(ignored) && fs::remove(it->path(), ignored)) ++removed;
  }
  return removed;
}

}  // namespace mzt
