#include "devicelink/Nmea.h"

#include <string_view>

#include "common/FieldReader.h"
#include "devicelink/Checksum.h"
#include "devicelink/MztCmd.h"
#include "devicelink/SentenceFramer.h"

namespace mzt {

void CNMEA::Attach(CMZTCmd& command) {
  for (size_t i = 0; i < commandCount_; ++i) {
    if (commands_[i]->Number() == command.Number()) {
      commands_[i] = &command;
      return;
    }
  }
  if (commandCount_ < commands_.size()) commands_[commandCount_++] = &command;
}

void CNMEA::SetNotification(Notification notification) {
  std::lock_guard lock(notificationMutex_);
  notification_ = std::move(notification);
}

int CNMEA::ProcessBlock(std::span<const uint8_t> block) {
  // Each block is framed on its own: the port's framer hands over whole
  // sentences, and a block's leftovers are not kept for the next one.
  SentenceFramer framer;
  int dispatched = 0;
  bool rejected = false;
  framer.Feed(block, [&](std::span<const uint8_t> framed) {
    if (rejected) return;
    auto sentence = framed.first(framed.size() - 2);  // without CR LF
    if (!HasValidChecksum(sentence)) {
      rejected = true;  // the rest of the block is dropped
      return;
    }
    Dispatch(sentence);
    ++dispatched;
  });
  return dispatched;
}

int CNMEA::CommandNumber(std::span<const uint8_t> sentence) {
  std::string_view text(reinterpret_cast<const char*>(sentence.data()), sentence.size());
  size_t pos = 0;
  std::string first;
  if (!NextField(text, pos, first)) return -1;
  size_t log = first.find("LOG");
  if (log == std::string::npos) return -1;
  std::string_view digits = std::string_view(first).substr(log + 3, 4);
  if (digits.empty() || digits[0] < '0' || digits[0] > '9') return -1;
  return static_cast<int>(ParseDecimal(digits));
}

void CNMEA::Dispatch(std::span<const uint8_t> sentence) {
  int number = CommandNumber(sentence);
  for (size_t i = 0; i < commandCount_; ++i) {
    if (commands_[i]->Number() == number) {
      commands_[i]->ParseReply(sentence);
      break;
    }
  }
  Notification notification;
  {
    std::lock_guard lock(notificationMutex_);
    notification = notification_;
  }
  if (notification) notification(number);
}

}  // namespace mzt
