#pragma once
// Base of the long-lived command objects: the composed outgoing sentence, the
// reply event and the decoding of the device's reply.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/Timing.h"
#include "platform/AutoResetEvent.h"

namespace mzt {

class CMZTCmd {
 public:
  static constexpr size_t kSentenceCapacity = 17408;

  explicit CMZTCmd(int number) : number_(number) { sentence_.reserve(kSentenceCapacity); }
  virtual ~CMZTCmd() = default;
  CMZTCmd(const CMZTCmd&) = delete;
  CMZTCmd& operator=(const CMZTCmd&) = delete;

  // Composes the sentence from the argument fields.
  virtual void Build() {}
  // Decodes a reply (from '$' up to, not including, the carriage return) and
  // sets the reply event when the reply is acceptable. Runs on the reader thread.
  virtual bool ParseReply(std::span<const uint8_t> sentence) = 0;
  // How long a caller waits for the reply.
  virtual Delay ReplyTimeout() const = 0;

  int Number() const { return number_; }
  std::span<const uint8_t> Sentence() const { return sentence_; }
  AutoResetEvent& ReplyEvent() { return replyEvent_; }

 protected:
  // Sets the sentence to `body` followed by its checksum suffix.
  void ComposeText(std::string body);
  void SetRawSentence(std::span<const uint8_t> bytes);

 private:
  const int number_;
  std::vector<uint8_t> sentence_;
  AutoResetEvent replyEvent_;
};

}  // namespace mzt
