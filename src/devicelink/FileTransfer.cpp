// Sending a PC file into the device with command 999: a start sentence, the
// bytes in acknowledged chunks (a header per group of frames), an end sentence.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "common/FieldReader.h"
#include "common/Timing.h"
#include "devicelink/DevicePort.h"
#include "platform/FileSystem.h"
#include "platform/SystemError.h"

namespace mzt {
namespace {

constexpr uint8_t kStartEndPayload[] = {'0'};

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

void CDevicePort::SetChunkSize(int bytes) {
  chunkSize_ = bytes;
  cmd999_.SetMaximumPayload(bytes);
}

int CDevicePort::FileIdentifierFromName(const std::filesystem::path& path) {
  // UTF-8 whatever the system's code page: only the leading digits count.
  std::u8string utf8 = path.filename().u8string();
  std::string name(utf8.begin(), utf8.end());
  if (name.size() > 49) name.resize(49);
  // At most as many digits as the extension has characters, its dot included.
  size_t dot = name.rfind('.');
  size_t limit = dot == std::string::npos ? 0 : name.size() - dot;
  return static_cast<int>(ParseHex(std::string_view(name).substr(0, limit)));
}

bool CDevicePort::SendFile(const std::filesystem::path& path) {
  return SendFileById(FileIdentifierFromName(path), path);
}

bool CDevicePort::SendFileById(int fileIdentifier, const std::filesystem::path& path) {
  // A chunk size that was never set (or is out of range) would make frames
  // the device cannot take: refuse before anything is sent.
  if (chunkSize_ < 1 || chunkSize_ > kMaxChunkSize) return false;
  if (fileIdentifier < 0 || fileIdentifier > 0xFFFF) return false;
  if (stopRequested_) return false;
  ApplyTimeouts(0, 0, ProductionMilliseconds(Delay::kReaderPoll), 0,
                ProductionMilliseconds(Delay::kWriteDeadline));
  if (!BeginFileTransfer(fileIdentifier)) return false;

  bool sent = false;
  std::unique_ptr<std::FILE, FileCloser> file(OpenStdioFile(path, "rb"));
  if (file) {
    firstChunk_ = true;
    headerRepeated_ = false;
    fileBytesAcknowledged_ = 0;
    std::error_code ec;
    auto size = std::filesystem::file_size(path, ec);
    fileSize_ = ec ? 0 : static_cast<uint32_t>(size);
    std::vector<uint8_t> buffer(kFileBufferSize);
    int failedReads = 0;
    for (;;) {
      size_t n = std::fread(buffer.data(), 1, buffer.size(), file.get());
      // Taken before the transfer's own calls can change it.
      const int readError = std::ferror(file.get()) ? LastSystemError() : 0;
      if (n > 0) {
        failedReads = 0;
        if (!SendBuffer(fileIdentifier, std::span(buffer.data(), n))) break;
        if (n == buffer.size()) continue;
      }
      if (std::ferror(file.get())) {
        // Report, then retry a bounded number of times instead of forever.
        if (errorReporter_) errorReporter_(SystemErrorText(readError));
        std::clearerr(file.get());
        if (++failedReads >= kFileReadAttempts) break;
        continue;
      }
      // End of file: the device must hold exactly the file, not less (a
      // file that changed while it was read is not the file either).
      ReportProgress(fileBytesAcknowledged_);
      sent = !ec && fileBytesAcknowledged_ == size;
      break;
    }
  }
  // Only the device's answer to the end says that it stored the file.
  return EndFileTransfer(fileIdentifier) && sent;
}

bool CDevicePort::BeginFileTransfer(int fileIdentifier) {
  return SendChunk(Cmd999::kStart, fileIdentifier, kStartEndPayload, 0);
}

bool CDevicePort::EndFileTransfer(int fileIdentifier) {
  Pause(Delay::kEndTransferPause);
  return SendChunk(Cmd999::kEnd, fileIdentifier, kStartEndPayload, 0);
}

bool CDevicePort::SendBuffer(int fileIdentifier, std::span<const uint8_t> bytes) {
  if (chunkSize_ < 1 || chunkSize_ > kMaxChunkSize) return false;
  const size_t chunk = static_cast<size_t>(chunkSize_);
  firstChunk_ = true;
  int chunkCount = static_cast<int>(bytes.size() / chunk);
  size_t length = chunk;
  size_t offset = 0;
  while (offset < bytes.size()) {
    if (stopRequested_) return false;
    if (offset + chunk > bytes.size()) {
      // A new header announces the last, shorter chunk.
      length = bytes.size() % chunk;
      chunkCount = 1;
      firstChunk_ = true;
    }
    if (!SendChunk(Cmd999::kData, fileIdentifier, bytes.subspan(offset, length), chunkCount)) {
      firstChunk_ = true;
      return false;
    }
    offset += length;
  }
  return true;
}

bool CDevicePort::SendChunk(int mode, int fileIdentifier, std::span<const uint8_t> bytes,
                            int chunkCount) {
  const int length = static_cast<int>(bytes.size());
  if (mode != Cmd999::kData) {
    cmd999_.ClearDataFrameFlag();
    if (!cmd999_.SetHeader(mode, fileIdentifier, length, bytes, chunkCount)) return false;
    return RunAttempts(cmd999_, 2);
  }

  // The chunk pause and a frame's write pause, when nothing comes between
  // them, are one sleep: a wake-up less per frame.
  auto pause = Duration(Delay::kChunkPause);
  if (firstChunk_) {
    std::this_thread::sleep_for(std::exchange(pause, {}));
    if (!cmd999_.SetHeader(Cmd999::kData, fileIdentifier, length, {}, chunkCount)) return false;
    if (!Attempt(cmd999_)) {
      headerRepeated_ = true;
      if (!Attempt(cmd999_)) return false;
    }
    firstChunk_ = false;
  }
  if (!cmd999_.SetDataFrame(bytes)) return false;
  const uint32_t bytesSoFar = fileBytesAcknowledged_ + static_cast<uint32_t>(length);
  for (int attempt = 0; attempt < 2; ++attempt) {
    std::this_thread::sleep_for(std::exchange(pause, {}) + Duration(Delay::kWritePause));
    // Armed only now: whatever arrived before the frame went out answers
    // something else.
    cmd999_.AwaitAcknowledgement(bytesSoFar);
    if (!Transmit(cmd999_.Sentence())) continue;
    // No acknowledgement: the device lost the frame's bytes; a resend
    // would be taken as the start of another frame.
    if (!SendAndWait(cmd999_)) return false;
    if (cmd999_.ResendRequested()) {
      // The XOR of a frame read out of step still matches, so after a
      // repeated header a resend would be acknowledged with the wrong bytes.
      if (headerRepeated_) return false;
      Pause(Delay::kResendPause);
      continue;
    }
    // Only a success status accepts the frame; any other refuses it.
    if (cmd999_.ReplyStatus() != 1) return false;
    fileBytesAcknowledged_ = cmd999_.AcknowledgedByteCount();
    ReportProgress(fileBytesAcknowledged_);
    return true;
  }
  return false;
}

void CDevicePort::ReportProgress(uint32_t acknowledged) {
  // Never more than the file holds, even if it grew while it was read.
  if (progress_) progress_(std::min(acknowledged, fileSize_), fileSize_);
}

}  // namespace mzt
