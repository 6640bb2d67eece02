#include "devsim/FaultScript.h"

#include <algorithm>
#include <limits>

#include "devicelink/Checksum.h"

namespace mzt::devsim {
namespace {

std::string DefaultNoise() { return std::string("\xA5\x5A\x00\x13$G\r\n#\xFF\x0D", 11); }

std::string DefaultOtherTalker() {
  std::string sentence = "$GPRMC,081836,A,2502.0000,N,12133.9000,E,000.0,360.0,130912,,,A";
  AppendChecksum(sentence);
  return sentence;
}

bool SuitsTrigger(Fault::Effect effect, Fault::Trigger trigger) {
  using E = Fault::Effect;
  switch (trigger) {
    case Fault::Trigger::kSentence:
      return effect != E::kFrameStatus2;
    case Fault::Trigger::kFrame:
      return effect == E::kDropReply || effect == E::kCorruptChecksum ||
             effect == E::kNoiseBefore || effect == E::kOtherTalkerBefore ||
             effect == E::kDelayReply || effect == E::kFrameStatus2 ||
             effect == E::kStopAnswering || effect == E::kUnplug || effect == E::kReplaceReply;
    case Fault::Trigger::kTransferBytes:
      return effect == E::kStopAnswering || effect == E::kUnplug;
  }
  return false;
}

// Effects that only mean something for one command.
Result<void> BindCommand(Fault& fault, int command, int argument) {
  if (fault.command == -1) fault.command = command;
  if (fault.argument == -1) fault.argument = argument;
  if (fault.command != command || fault.argument != argument)
    return Error{ErrorCode::kInvalidArgument,
                 std::string(EffectName(fault.effect)) + " applies to command " +
                     std::to_string(command) +
                     (argument >= 0 ? " with " + std::to_string(argument) : std::string()) +
                     " only"};
  return Success();
}

}  // namespace

const char* EffectName(Fault::Effect effect) {
  switch (effect) {
    case Fault::Effect::kDropReply: return "drop";
    case Fault::Effect::kCorruptChecksum: return "corrupt";
    case Fault::Effect::kNoiseBefore: return "noise";
    case Fault::Effect::kOtherTalkerBefore: return "talker";
    case Fault::Effect::kDelayReply: return "delay";
    case Fault::Effect::kFrameStatus2: return "status2";
    case Fault::Effect::kAnswerZero: return "zero";
    case Fault::Effect::kRefuseDeletion: return "refuse";
    case Fault::Effect::kPoiCount: return "poicount";
    case Fault::Effect::kStopAnswering: return "mute";
    case Fault::Effect::kUnplug: return "unplug";
    case Fault::Effect::kReplaceReply: return "answer";
    case Fault::Effect::kEndlessFileTable: return "endless";
    case Fault::Effect::kLoseFile: return "lose";
  }
  return "?";
}

bool FaultHits::Any() const {
  return drop || corrupt || answerZero || refuseDeletion || stopAnswering || unplug ||
         frameStatus2 || endlessTable || loseFile || poiCount >= 0 || delay.count() > 0 || !before.empty() || !answer.empty();
}

Result<void> FaultScript::Add(Fault fault) {
  if (!SuitsTrigger(fault.effect, fault.trigger))
    return Error{ErrorCode::kInvalidArgument,
                 std::string(EffectName(fault.effect)) + " does not suit this trigger"};
  if (fault.nth == 0) return Error{ErrorCode::kInvalidArgument, "counts start at 1"};
  if (fault.duration.count() < 0) return Error{ErrorCode::kInvalidArgument, "negative time"};
  if (fault.effect == Fault::Effect::kReplaceReply && fault.text.empty())
    return Error{ErrorCode::kInvalidArgument, "answer wants the text to send"};
  Result<void> bound = Success();
  switch (fault.effect) {
    case Fault::Effect::kAnswerZero: bound = BindCommand(fault, 113, 0); break;
    case Fault::Effect::kRefuseDeletion: bound = BindCommand(fault, 996, fault.argument); break;
    case Fault::Effect::kEndlessFileTable: bound = BindCommand(fault, 995, fault.argument); break;
    case Fault::Effect::kLoseFile: bound = BindCommand(fault, 999, 2); break;
    case Fault::Effect::kPoiCount:
      bound = BindCommand(fault, 108, 3);
      if (bound && fault.value < 0) bound = Error{ErrorCode::kInvalidArgument, "negative count"};
      break;
    default: break;
  }
  if (!bound) return bound;
  if (fault.effect == Fault::Effect::kNoiseBefore && fault.text.empty()) fault.text = DefaultNoise();
  if (fault.effect == Fault::Effect::kOtherTalkerBefore && fault.text.empty())
    fault.text = DefaultOtherTalker();
  entries_.push_back(Entry{std::move(fault)});
  return Success();
}

bool FaultScript::Counts(Entry& entry) {
  if (entry.spent) return false;
  ++entry.seen;
  const Fault& fault = entry.fault;
  if (entry.seen < fault.nth) return false;
  if (fault.times == 0 || entry.seen < fault.nth + fault.times) return true;
  entry.spent = true;
  return false;
}

void FaultScript::Apply(const Fault& fault, FaultHits& hits) {
  switch (fault.effect) {
    case Fault::Effect::kDropReply: hits.drop = true; break;
    case Fault::Effect::kCorruptChecksum: hits.corrupt = true; break;
    case Fault::Effect::kNoiseBefore:
    case Fault::Effect::kOtherTalkerBefore: hits.before += fault.text; break;
    case Fault::Effect::kDelayReply: hits.delay += fault.duration; break;
    case Fault::Effect::kFrameStatus2: hits.frameStatus2 = true; break;
    case Fault::Effect::kAnswerZero: hits.answerZero = true; break;
    case Fault::Effect::kRefuseDeletion: hits.refuseDeletion = true; break;
    case Fault::Effect::kPoiCount: hits.poiCount = fault.value; break;
    case Fault::Effect::kStopAnswering: hits.stopAnswering = true; break;
    case Fault::Effect::kUnplug:
      hits.unplug = true;
      hits.unplugFor = fault.duration;
      break;
    case Fault::Effect::kReplaceReply: hits.answer = fault.text; break;
    case Fault::Effect::kEndlessFileTable: hits.endlessTable = true; break;
    case Fault::Effect::kLoseFile: hits.loseFile = true; break;
  }
}

FaultHits FaultScript::OnSentence(int command, int argument) {
  FaultHits hits;
  for (Entry& entry : entries_) {
    const Fault& fault = entry.fault;
    if (fault.trigger != Fault::Trigger::kSentence) continue;
    if (fault.command != -1 && fault.command != command) continue;
    if (fault.argument != -1 && fault.argument != argument) continue;
    if (Counts(entry)) Apply(fault, hits);
  }
  return hits;
}

FaultHits FaultScript::OnFrame(int fileId) {
  FaultHits hits;
  for (Entry& entry : entries_) {
    const Fault& fault = entry.fault;
    if (fault.trigger != Fault::Trigger::kFrame) continue;
    if (fault.fileId != -1 && fault.fileId != fileId) continue;
    if (Counts(entry)) Apply(fault, hits);
  }
  return hits;
}

FaultHits FaultScript::OnTransferBytes(int fileId, uint64_t count) {
  FaultHits hits;
  for (Entry& entry : entries_) {
    const Fault& fault = entry.fault;
    if (fault.trigger != Fault::Trigger::kTransferBytes || entry.spent) continue;
    if (fault.fileId != -1 && fault.fileId != fileId) continue;
    entry.seen += count;
    if (entry.seen >= fault.nth) {
      entry.spent = true;
      Apply(fault, hits);
    }
  }
  return hits;
}

uint64_t FaultScript::BytesUntilNextFault(int fileId) const {
  uint64_t least = std::numeric_limits<uint64_t>::max();
  for (const Entry& entry : entries_) {
    const Fault& fault = entry.fault;
    if (fault.trigger != Fault::Trigger::kTransferBytes || entry.spent) continue;
    if (fault.fileId != -1 && fault.fileId != fileId) continue;
    least = std::min(least, fault.nth - entry.seen);
  }
  return least;
}

}  // namespace mzt::devsim
