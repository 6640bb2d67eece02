#include "devicelink/Nmea.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "common/FieldReader.h"
#include "devicelink/Checksum.h"
#include "devicelink/MztCmd.h"

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
  static constexpr uint8_t kMarker[] = {'$', 'L', 'O', 'G'};
  std::vector<uint8_t> sentence;
  // The port hands over one short reply at a time: reserve no more than the block holds.
  sentence.reserve(std::min(kMaxSentence, block.size()));
  bool inSentence = false;
  size_t dispatched = 0;
  size_t i = 0;
  while (i < block.size()) {
    if (!inSentence) {
      auto found = std::search(block.begin() + static_cast<std::ptrdiff_t>(i), block.end(),
                               std::begin(kMarker), std::end(kMarker));
      if (found == block.end()) break;
      sentence.assign(1, '$');
      inSentence = true;
      i = static_cast<size_t>(found - block.begin()) + 1;
      continue;
    }
    uint8_t byte = block[i++];
    if (byte == '\r' && EndsWithChecksumSuffix(sentence)) {
      if (!HasValidChecksum(sentence)) break;  // the rest of the block is dropped
      Dispatch(sentence);
      ++dispatched;
      sentence.clear();
      inSentence = false;
      if (i < block.size() && block[i] == '\n') ++i;
      continue;
    }
    if (sentence.size() < kMaxSentence) sentence.push_back(byte);
  }
  return static_cast<int>(dispatched);
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
