#include "devicelink/Cmd999.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "devicelink/Checksum.h"
#include "devicelink/ReplyFields.h"

namespace mzt {
namespace {

// Fields after the command number: a data frame's answer has the status and
// at most a count; start, header and end replies have four.
size_t FieldCount(std::string_view sentence) {
  sentence = sentence.substr(0, sentence.rfind('*'));
  return static_cast<size_t>(std::count(sentence.begin(), sentence.end(), ','));
}

}  // namespace

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
  ClearDataFrameFlag();
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

void Cmd999::ClearDataFrameFlag() {
  dataFrame_ = false;
  frameOutstanding_ = false;
}

void Cmd999::AwaitAcknowledgement(uint32_t bytesSoFar) {
  expectedBytes_ = bytesSoFar;
  resend_ = false;
  replyStatus_ = 0;
  ReplyEvent().Reset();
  frameOutstanding_ = true;
}

Delay Cmd999::ReplyTimeout() const {
  return mode_ == kData ? Delay::kReply999Data : Delay::kReply999Control;
}

bool Cmd999::ParseReply(std::span<const uint8_t> sentence) {
  ReplyFields fields(sentence, kShortField);
  int status = fields.Status();
  if (dataFrame_) {
    // Only an answer to the frame just written counts: a late header or
    // start reply, or anything that arrives between frames, is none.
    if (!frameOutstanding_ || FieldCount(fields.Sentence()) > 2) return false;
    if (status == 1) {
      // A count other than the bytes sent so far belongs to another frame.
      long long count = fields.Decimal();
      if (count != static_cast<long long>(expectedBytes_.load())) return false;
      acknowledgedBytes_ = static_cast<uint32_t>(count);
    }
    // Status 2 asks for the frame again; any other refuses it.
    replyStatus_ = status;
    resend_ = status == 2;
    frameOutstanding_ = false;
    ReplyEvent().Set();
    return true;
  }
  replyStatus_ = status;
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
