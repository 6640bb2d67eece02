#pragma once
// Cuts the byte stream from the device into reply sentences.
//
// A sentence starts at "$LOG" and ends at a carriage return that follows '*'
// and two hexadecimal digits; any other carriage return is data (a raw date
// byte of 13). Bytes outside sentences are skipped, a new "$LOG" inside a
// sentence restarts it, and an incomplete sentence is kept until later bytes
// complete it, however the stream is split into reads.

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace mzt {

class SentenceFramer {
 public:
  static constexpr size_t kMaxSentence = 4196;

  // Receives one complete sentence at a time, from its '$' through CR LF.
  using Sink = std::function<void(std::span<const uint8_t> block)>;

  void Feed(std::span<const uint8_t> bytes, const Sink& sink);
  void Reset();

 private:
  std::vector<uint8_t> sentence_;  // stored bytes of the current sentence
  size_t received_ = 0;            // bytes of the current sentence, stored or not
  uint8_t tail_[3] = {};           // the last three bytes received in the sentence
  size_t markerMatched_ = 0;       // how much of "$LOG" the latest bytes match
  bool inSentence_ = false;
};

}  // namespace mzt
