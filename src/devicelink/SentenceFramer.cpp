#include "devicelink/SentenceFramer.h"

#include "devicelink/Checksum.h"

namespace mzt {
namespace {

constexpr uint8_t kMarker[] = {'$', 'L', 'O', 'G'};

}  // namespace

void SentenceFramer::Reset() {
  sentence_.clear();
  received_ = 0;
  markerMatched_ = 0;
  inSentence_ = false;
}

void SentenceFramer::Feed(std::span<const uint8_t> bytes, const Sink& sink) {
  for (uint8_t byte : bytes) {
    // Track "$LOG" in every state: outside it starts a sentence, inside it
    // restarts one whose end never came.
    if (byte == kMarker[markerMatched_]) {
      ++markerMatched_;
    } else {
      markerMatched_ = byte == '$' ? 1 : 0;
    }
    if (markerMatched_ == 4) {
      markerMatched_ = 0;
      sentence_.assign(std::begin(kMarker), std::end(kMarker));
      received_ = 4;
      tail_[0] = 'L';
      tail_[1] = 'O';
      tail_[2] = 'G';
      inSentence_ = true;
      continue;
    }
    if (!inSentence_) continue;

    if (byte == '\r' && EndsWithChecksumSuffix(std::span(tail_, 3))) {
      // An over-long sentence ends here too, but was cut and cannot pass.
      if (received_ <= kMaxSentence) {
        sentence_.push_back('\r');
        sentence_.push_back('\n');
        sink(sentence_);
      }
      sentence_.clear();
      received_ = 0;
      inSentence_ = false;
      continue;
    }
    if (received_ < kMaxSentence) sentence_.push_back(byte);
    ++received_;
    tail_[0] = tail_[1];
    tail_[1] = tail_[2];
    tail_[2] = byte;
  }
}

}  // namespace mzt
