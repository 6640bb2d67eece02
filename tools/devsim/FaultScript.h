#pragma once
// Scripted misbehaviour of the simulated device. Each fault watches one kind
// of event (a command sentence, a data frame, or the bytes of a transfer),
// counts the matching events from the moment it was added, and acts on the
// ones numbered `nth` to `nth + times - 1` (every one from `nth` on when
// `times` is 0).

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "common/Result.h"

namespace mzt::devsim {

struct Fault {
  enum class Effect {
    kDropReply,         // no reply at all
    kCorruptChecksum,   // the reply's checksum digits are wrong
    kNoiseBefore,       // bytes that are no sentence go out before the reply
    kOtherTalkerBefore, // another talker's sentence goes out before the reply
    kDelayReply,        // the reply waits `duration`
    kFrameStatus2,      // a data frame is answered with status 2 (resend)
    kAnswerZero,        // a 113 query answers mode value 0
    kRefuseDeletion,    // a 996 is answered with error 1 and the file is kept
    kPoiCount,          // a 108 selector 3 reports `value` POIs (100 by default)
    kStopAnswering,     // no reply to anything until the next replug
    kUnplug,            // the pty closes; replug after `duration` (0: only on request)
    kReplaceReply,      // `text` goes out instead of the reply, as it is
    kEndlessFileTable,  // a 995 past the last entry is answered with one more file
    kLoseFile,          // an end (999,2) is acknowledged, the file stays at location 0
  };
  enum class Trigger {
    kSentence,       // command sentences with an intact checksum
    kFrame,          // data frames, intact or not
    kTransferBytes,  // data frame bytes as they arrive; fires once `nth` arrived
  };

  Effect effect = Effect::kDropReply;
  Trigger trigger = Trigger::kSentence;
  int command = -1;   // sentence trigger: the command number, -1 for any
  int argument = -1;  // sentence trigger: the first field after the number, -1 for any
  int fileId = -1;    // frame and byte triggers: the file being sent, -1 for any
  uint64_t nth = 1;
  uint32_t times = 1;
  std::chrono::milliseconds duration{0};
  std::string text{};  // noise, the other talker's sentence (a default when empty) or the answer
  int value = 100;    // the reported POI count
};

const char* EffectName(Fault::Effect effect);

// What the faults make of one event.
struct FaultHits {
  bool drop = false;
  bool corrupt = false;
  bool answerZero = false;
  bool refuseDeletion = false;
  bool stopAnswering = false;
  bool unplug = false;
  bool frameStatus2 = false;
  bool endlessTable = false;
  bool loseFile = false;
  int poiCount = -1;  // -1: the true count
  std::chrono::milliseconds delay{0};
  std::chrono::milliseconds unplugFor{0};
  std::string before;  // bytes to send ahead of the reply
  std::string answer;  // bytes to send instead of the reply; none when empty

  bool Any() const;
};

class FaultScript {
 public:
  // Checks that the effect suits the trigger and fills in the natural
  // command of the effects that belong to one (113, 996, 108 selector 3).
  Result<void> Add(Fault fault);
  void Clear() { entries_.clear(); }
  bool Empty() const { return entries_.empty(); }

  FaultHits OnSentence(int command, int argument);
  FaultHits OnFrame(int fileId);
  // Counts frame bytes of the file; fires byte faults whose count is reached.
  FaultHits OnTransferBytes(int fileId, uint64_t count);
  // How many more frame bytes of the file may arrive before a byte fault
  // fires; UINT64_MAX when none is armed.
  uint64_t BytesUntilNextFault(int fileId) const;

 private:
  struct Entry {
    Fault fault;
    uint64_t seen = 0;
    bool spent = false;
  };
  static void Apply(const Fault& fault, FaultHits& hits);
  bool Counts(Entry& entry);

  std::vector<Entry> entries_;
};

}  // namespace mzt::devsim
