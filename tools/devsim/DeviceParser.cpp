#include "devsim/DeviceParser.h"

#include "devicelink/Checksum.h"

namespace mzt::devsim {
namespace {

std::span<const uint8_t> AsBytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

}  // namespace

DeviceParser::Step DeviceParser::Feed(std::span<const uint8_t> bytes) {
  Step step;
  // The line feed of the sentence before belongs to that sentence, whatever
  // mode the device has switched to since.
  if (skipLineFeed_ && !bytes.empty()) {
    skipLineFeed_ = false;
    if (bytes[0] == '\n') {
      step.consumed = 1;
      bytes = bytes.subspan(1);
    }
  }
  bool frames = InFrameMode();
  Step rest = frames ? FeedFrame(bytes) : FeedSentence(bytes);
  if (frames) rest.frameBytes = rest.consumed;
  rest.consumed += step.consumed;
  return rest;
}

DeviceParser::Step DeviceParser::FeedSentence(std::span<const uint8_t> bytes) {
  Step step;
  for (size_t i = 0; i < bytes.size(); ++i) {
    uint8_t byte = bytes[i];
    if (byte == '$') {
      // A new start inside a sentence: the earlier one was broken off.
      if (inSentence_) skippedBytes_ += current_.size();
      current_.assign(1, '$');
      inSentence_ = true;
      continue;
    }
    if (!inSentence_) {
      ++skippedBytes_;
      continue;
    }
    if (byte == '\r' || byte == '\n') {
      ParsedUnit unit;
      unit.kind = ParsedUnit::Kind::kSentence;
      unit.intact = HasValidChecksum(AsBytes(current_));
      unit.bytes = std::move(current_);
      current_.clear();
      inSentence_ = false;
      step.consumed = i + 1;
      if (byte == '\r') {
        if (i + 1 < bytes.size()) {
          if (bytes[i + 1] == '\n') ++step.consumed;
        } else {
          skipLineFeed_ = true;
        }
      }
      step.unit = std::move(unit);
      return step;
    }
    current_.push_back(static_cast<char>(byte));
    if (current_.size() > kMaxSentence) {
      skippedBytes_ += current_.size();
      current_.clear();
      inSentence_ = false;
    }
  }
  step.consumed = bytes.size();
  return step;
}

DeviceParser::Step DeviceParser::FeedFrame(std::span<const uint8_t> bytes) {
  Step step;
  for (size_t i = 0; i < bytes.size(); ++i) {
    current_.push_back(static_cast<char>(bytes[i]));
    step.consumed = i + 1;
    if (!rawFrames_ && bytes[i] == '\n' && PartialFrameIsSentence()) {
      step.unit = TakeInterruptingSentence();
      return step;
    }
    if (current_.size() == frameLength_ + 1 && !salvaging_) {
      ParsedUnit frame = FrameUnit();
      // A frame shorter than a sentence may be the start of one: a wrong XOR
      // and the look of a command make it worth reading on to the line end.
      if (frame.intact || rawFrames_ || !MaySentenceStart()) {
        step.unit = TakeFrame();
        return step;
      }
      salvaging_ = true;
    } else if (salvaging_ && (bytes[i] == '\n' || current_.size() > kMaxSentence)) {
      skippedBytes_ += current_.size() - (frameLength_ + 1);
      current_.resize(frameLength_ + 1);
      step.unit = TakeFrame();
      return step;
    }
  }
  return step;
}

ParsedUnit DeviceParser::FrameUnit() const {
  ParsedUnit unit;
  unit.kind = ParsedUnit::Kind::kFrame;
  unit.bytes = current_.substr(0, frameLength_);
  unit.frameXor = static_cast<uint8_t>(current_[frameLength_]);
  unit.intact = XorBytes(AsBytes(unit.bytes)) == unit.frameXor;
  return unit;
}

ParsedUnit DeviceParser::TakeFrame() {
  ParsedUnit unit = FrameUnit();
  current_.clear();
  salvaging_ = false;
  --framesLeft_;
  return unit;
}

ParsedUnit DeviceParser::TakeInterruptingSentence() {
  ParsedUnit unit;
  unit.kind = ParsedUnit::Kind::kSentence;
  unit.intact = true;
  unit.interruptedFrames = true;
  unit.bytes = current_.substr(0, current_.size() - 2);
  current_.clear();
  salvaging_ = false;
  framesLeft_ = 0;
  return unit;
}

bool DeviceParser::MaySentenceStart() const {
  std::string_view talker = kTalker;
  return current_.find('\n') == std::string::npos &&
         (current_.starts_with(talker) || talker.starts_with(current_));
}

bool DeviceParser::PartialFrameIsSentence() const {
  if (current_.size() < kTalker.size() + 5 || !current_.starts_with(kTalker) ||
      !current_.ends_with("\r\n"))
    return false;
  std::string_view body(current_.data(), current_.size() - 2);
  if (body.find_first_of("$\r\n", 1) != std::string_view::npos) return false;
  auto bodyBytes = std::span(reinterpret_cast<const uint8_t*>(body.data()), body.size());
  return EndsWithChecksumSuffix(bodyBytes) && HasValidChecksum(bodyBytes);
}

void DeviceParser::ExpectFrames(size_t length, uint32_t count) {
  if (length == 0 || length > kMaxFrame) count = 0;
  frameLength_ = count > 0 ? length : 0;
  framesLeft_ = count;
  salvaging_ = false;
  current_.clear();
  inSentence_ = false;
}

void DeviceParser::Reset() {
  current_.clear();
  inSentence_ = false;
  skipLineFeed_ = false;
  frameLength_ = 0;
  framesLeft_ = 0;
  salvaging_ = false;
}

}  // namespace mzt::devsim
