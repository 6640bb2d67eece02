#pragma once
// The device's side of the serial stream: cuts the bytes from the PC into
// command sentences or, once the device has accepted a transfer header, into
// raw data frames of a known length followed by their XOR byte.
//
// The parser knows nothing about the meaning of what it cuts; the device tells
// it when frames are expected (ExpectFrames) and how many remain. Feed stops
// right after each completed unit so that the device can switch the mode
// before the next byte is looked at.
//
// While frames are expected, bytes that form one whole, valid command
// sentence are handed over as that sentence: the PC gave up on the frames and
// talks again. A longer frame shows it at the sentence's line end; a frame
// shorter than the sentence that begins like a command and fails its XOR is
// read on to the line end to find out (a frame of data that only looks like
// that is then answered as a bad frame once its line end or 512 bytes came).
// With raw frames the device reads frame bytes blindly, as a receive buffer
// fed by a UART does: a sentence in their place is frame data.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace mzt::devsim {

// What every command sentence from the PC begins with.
inline constexpr std::string_view kTalker = "$PQEL";

struct ParsedUnit {
  enum class Kind { kSentence, kFrame };
  Kind kind = Kind::kSentence;
  // Sentence: from its '$' up to the byte before its carriage return.
  // Frame: the data bytes without the XOR byte.
  std::string bytes;
  // Sentence: the checksum matches. Frame: the XOR byte matches the data.
  bool intact = false;
  uint8_t frameXor = 0;
  // A sentence that arrived while frames were expected: the PC gave up on
  // the frames, and the frame mode has ended.
  bool interruptedFrames = false;
};

class DeviceParser {
 public:
  // Longer sentences are discarded; a command sentence is a few dozen bytes.
  static constexpr size_t kMaxSentence = 512;
  static constexpr size_t kMaxFrame = 16384;

  struct Step {
    size_t consumed = 0;
    size_t frameBytes = 0;  // of `consumed`, the bytes taken as frame data
    std::optional<ParsedUnit> unit;
  };

  // Consumes bytes until one unit is complete or the bytes are used up.
  Step Feed(std::span<const uint8_t> bytes);

  // The next `count` units are frames of `length` data bytes each; a count of
  // 0 returns to sentence mode. A partial frame is dropped.
  void ExpectFrames(size_t length, uint32_t count);
  bool InFrameMode() const { return framesLeft_ > 0; }
  uint32_t FramesLeft() const { return framesLeft_; }
  size_t FrameLength() const { return frameLength_; }
  // Bytes of the frame being collected.
  size_t PartialFrameBytes() const { return InFrameMode() ? current_.size() : 0; }

  // Back to sentence mode with nothing collected (a new connection).
  void Reset();
  void SetRawFrames(bool raw) { rawFrames_ = raw; }

  // Bytes skipped outside sentences, and sentences discarded as too long.
  uint64_t SkippedBytes() const { return skippedBytes_; }

 private:
  Step FeedSentence(std::span<const uint8_t> bytes);
  Step FeedFrame(std::span<const uint8_t> bytes);
  // A partial frame that holds exactly one valid command sentence with its
  // line end: the PC has left the transfer and talks again.
  bool PartialFrameIsSentence() const;
  bool MaySentenceStart() const;
  ParsedUnit FrameUnit() const;
  ParsedUnit TakeFrame();
  ParsedUnit TakeInterruptingSentence();

  std::string current_;
  bool inSentence_ = false;
  bool skipLineFeed_ = false;  // a line feed right after a carriage return
  bool salvaging_ = false;     // reading past a frame that may be a sentence
  bool rawFrames_ = false;
  size_t frameLength_ = 0;
  uint32_t framesLeft_ = 0;
  uint64_t skippedBytes_ = 0;
};

}  // namespace mzt::devsim
