#include "devicelink/Cmd999.h"

#include <algorithm>
#include <string>
#include <vector>

#include "devicelink/Checksum.h"
#include "devicelink/ReplyFields.h"

namespace mzt {

bool Cmd999::SetHeader(int mode, int fileIdentifier, int dataLength,
                       std::span<const uint8_t> data, int chunkCount) {
  if (dataLength < 0 || dataLength > maximumPayload_ || dataLength > static_cast<int>(kMaxData))
    return false;
  if (mode != kData && data.size() < static_cast<size_t>(dataLength)) return false;
  mode_ = mode;
  fileIdentifier_ = fileIdentifier;
  dataLength_ = dataLength;
  chunkCount_ = chunkCount;
  if (mode != kData) std::copy_n(data.begin(), dataLength, data_);
  dataFrame_ = false;
  Build();
  return true;
}

void Cmd999::Build() {
  std::string body = "$PQEL999," + std::to_string(mode_) + "," + std::to_string(fileIdentifier_) +
                     "," + std::to_string(dataLength_) + "," + std::to_string(chunkCount_);
  if (mode_ != kData) {
    body += ',';
    body.append(reinterpret_cast<const char*>(data_), static_cast<size_t>(dataLength_));
  }
  ComposeText(std::move(body));
}

bool Cmd999::SetDataFrame(std::span<const uint8_t> data) {
  size_t length = static_cast<size_t>(dataLength_.load());
  if (data.size() < length) return false;
  std::copy_n(data.begin(), length, data_);
  std::vector<uint8_t> frame(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(length));
  frame.push_back(XorBytes(frame));
  SetRawSentence(frame);
  dataFrame_ = true;
  return true;
}

Delay Cmd999::ReplyTimeout() const {
  return mode_ == kData ? Delay::kReply999Data : Delay::kReply999Control;
}

bool Cmd999::ParseReply(std::span<const uint8_t> sentence) {
  ReplyFields fields(sentence, kShortField);
  int status = fields.Status();
  replyStatus_ = status;
  if (dataFrame_) {
    if (status == 2) {
      resend_ = true;
    } else if (status == 1) {
      acknowledgedBytes_ = static_cast<uint32_t>(fields.Decimal());
      resend_ = false;
    }
    // Every reply to a data frame ends its wait; the status tells the rest.
    ReplyEvent().Set();
    return true;
  }
  if (status != 1) return false;
  long long identifier = fields.Decimal();
  int acknowledgedLength = static_cast<int>(fields.Decimal());
  long long confirmation = fields.Decimal();
  if (identifier != fileIdentifier_ || identifier < 0 || identifier > 65535) return false;
  if (mode_ == kData && (acknowledgedLength != dataLength_ || confirmation != 1)) return false;
  ReplyEvent().Set();
  return true;
}

}  // namespace mzt
