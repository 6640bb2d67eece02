#pragma once
// The sentence receiver: checks each reply sentence of a block, routes it by
// its command number to the command object and then notifies.

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>

#include "devicelink/Protocol.h"

namespace mzt {

class CMZTCmd;

class CNMEA : public CProtocol {
 public:
  // Called on the reader thread after every accepted reply, routed or not.
  using Notification = std::function<void(int commandNumber)>;

  // Routes replies with this command's number to it.
  void Attach(CMZTCmd& command);
  void SetNotification(Notification notification);

  // Checks and dispatches every reply sentence in the block, framed as
  // SentenceFramer frames the stream; a sentence that fails its check drops
  // the rest of the block.
  int ProcessBlock(std::span<const uint8_t> block) override;

  // The command number of a checked sentence: the digits after "LOG" in its
  // first field (at most four), or -1.
  static int CommandNumber(std::span<const uint8_t> sentence);

 private:
  void Dispatch(std::span<const uint8_t> sentence);

  std::array<CMZTCmd*, 8> commands_{};
  size_t commandCount_ = 0;
  std::mutex notificationMutex_;
  Notification notification_;
};

}  // namespace mzt
