#include "devsim/DeviceFirmware.h"

#include <algorithm>
#include <cstdio>

#include "common/FieldReader.h"
#include "devicelink/Checksum.h"
#include "devsim/DeviceParser.h"
#include "devsim/Printable.h"

namespace mzt::devsim {
namespace {

std::string Format(const char* format, auto... values) {
  char text[512];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

// The fields of a sentence without its checksum suffix; the first is the
// talker and number ("$PQEL108"). A trailing comma adds no field.
std::vector<std::string> Fields(const std::string& sentence) {
  std::string_view body(sentence);
  size_t star = body.rfind('*');
  if (star != std::string_view::npos) body = body.substr(0, star);
  std::vector<std::string> fields;
  FieldCursor cursor(body);
  for (std::string field = cursor.Next(); cursor.LastFound(); field = cursor.Next())
    fields.push_back(std::move(field));
  return fields;
}

bool IsNumber(std::string_view text) {
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) text.remove_prefix(1);
  return !text.empty() && std::all_of(text.begin(), text.end(),
                                      [](char c) { return c >= '0' && c <= '9'; });
}

// Spoils the low checksum digit of a finished sentence ("...*hh\r\n").
void SpoilChecksum(std::string& sentence) {
  if (sentence.size() < 5) return;
  char& digit = sentence[sentence.size() - 3];
  digit = digit == '0' ? '1' : '0';
}

}  // namespace

std::string Sentence(std::string body) {
  AppendChecksum(body);
  return body;
}

DeviceFirmware::DeviceFirmware(Settings settings, FileStore store)
    : settings_(std::move(settings)), store_(std::move(store)) {
  uploadMode_ = settings_.uploadModeAtStart ? 1 : 0;
  parser_.SetRawFrames(settings_.rawFrames);
}

void DeviceFirmware::Log(const std::string& line) const {
  if (settings_.log) settings_.log(line);
}

DatabaseVersion DeviceFirmware::Version() const {
  const StoredFile* header = store_.Find(0xFF00);
  if (!header || !header->complete || header->data.size() < 10) return {};
  auto byte = [&](size_t i) { return static_cast<int>(static_cast<uint8_t>(header->data[i])); };
  return {byte(4) << 8 | byte(5), byte(6), byte(7), byte(8) << 8 | byte(9)};
}

DeviceFirmware::Outcome DeviceFirmware::Feed(std::span<const uint8_t> bytes) {
  Outcome outcome;
  uint16_t fileId = openFile_.value_or(0);
  if (parser_.InFrameMode()) {
    uint64_t limit = std::max<uint64_t>(faults_.BytesUntilNextFault(fileId), 1);
    if (limit < bytes.size()) bytes = bytes.first(static_cast<size_t>(limit));
  }
  DeviceParser::Step step = parser_.Feed(bytes);
  outcome.consumed = step.consumed;
  if (step.frameBytes > 0) {
    Reaction reaction;
    Finish(reaction, {}, faults_.OnTransferBytes(fileId, step.frameBytes));
    if (reaction.unplug) {
      // The rest of the frame never arrives.
      outcome.reactions.push_back(std::move(reaction));
      return outcome;
    }
  }
  if (step.unit) {
    const ParsedUnit& unit = *step.unit;
    if (unit.kind == ParsedUnit::Kind::kFrame) {
      Log("<- frame of " + std::to_string(unit.bytes.size()) + " bytes" + (unit.intact ? "" : ", wrong XOR"));
    } else {
      Log("<- " + Printable(unit.bytes) + (unit.intact ? "" : "  (wrong checksum)"));
    }
    Reaction reaction = OnUnit(unit);
    // The next byte may already belong to a frame.
    if (reaction.frames) parser_.ExpectFrames(reaction.frames->first, reaction.frames->second);
    outcome.reactions.push_back(std::move(reaction));
  }
  return outcome;
}

Reaction DeviceFirmware::OnUnit(const ParsedUnit& unit) {
  return unit.kind == ParsedUnit::Kind::kFrame ? OnFrame(unit) : OnSentence(unit);
}

void DeviceFirmware::Finish(Reaction& reaction, std::string reply, const FaultHits& hits) {
  if (hits.stopAnswering && !muted_) {
    muted_ = true;
    Log("stops answering");
  }
  if (hits.unplug) {
    reaction.unplug = true;
    reaction.unplugFor = hits.unplugFor;
  }
  if (muted_ || hits.drop || hits.unplug || reply.empty()) return;
  if (!hits.answer.empty()) reply = hits.answer;
  if (hits.corrupt) SpoilChecksum(reply);
  reaction.reply = std::move(reply);
  reaction.before = hits.before;
  reaction.delay += hits.delay;
}

Reaction DeviceFirmware::OnSentence(const ParsedUnit& unit) {
  Reaction reaction;
  if (!unit.intact) {
    ++damagedSentences_;
    Log("ignores a sentence with a wrong checksum");
    return reaction;
  }
  if (settings_.record) sentences_.push_back(unit.bytes);
  if (unit.interruptedFrames) {
    groupBroken_ = true;
    framesLeft_ = 0;
  }
  std::vector<std::string> fields = Fields(unit.bytes);
  std::string_view head = fields.empty() ? std::string_view() : std::string_view(fields[0]);
  if (!head.starts_with(kTalker) || !IsNumber(head.substr(kTalker.size()))) {
    Log("ignores a sentence of another talker");
    return reaction;
  }
  int command = static_cast<int>(ParseDecimal(head.substr(kTalker.size())));
  int argument = fields.size() > 1 && IsNumber(fields[1]) ? static_cast<int>(ParseDecimal(fields[1])) : -1;
  FaultHits hits = faults_.OnSentence(command, argument);

  std::string reply;
  switch (command) {
    case 108: reply = Answer108(argument, hits); break;
    case 109:
      settings_.pois.clear();
      reply = Sentence("$LOG109,1");
      break;
    case 113: reply = Answer113(argument, hits); break;
    case 114: reply = Answer114(argument); break;
    case 995: reply = Answer995(argument, hits); break;
    case 996: reply = Answer996(static_cast<uint32_t>(std::max(argument, 0)), hits); break;
    case 999: reply = Answer999(fields, hits, reaction); break;
    default: Log("does not know command " + std::to_string(command)); break;
  }
  Finish(reaction, std::move(reply), hits);
  return reaction;
}

std::string DeviceFirmware::Answer108(int selector, const FaultHits& hits) const {
  const DeviceParameters& p = settings_.parameters;
  switch (selector) {
    case 1: return Sentence("$LOG108,1,1," + settings_.firmware);
    case 2: return Sentence("$LOG108,1,2," + settings_.deviceId);
    case 3: {
      int count = hits.poiCount >= 0 ? hits.poiCount : static_cast<int>(settings_.pois.size());
      std::string tail = Format("%d,%d,%02X,%d,%d,%d,%d", p.functionType, p.speedOffset,
                                unsigned{p.utcOffset}, p.amMode, p.amSpeedLimit,
                                p.cameraSpeedLimit, count);
      // Firmware 1.0.0.3 has no alarm group; its field 4 holds the critical alert alone.
      if (ExactForm()) return Sentence(Format("$LOG108,1,3,%d,", p.criticalAlert) + tail);
      return Sentence(Format("$LOG108,1,3,%d,%d,%d,%d,", p.criticalAlert, p.roadAlert,
                             p.alarmHour, p.alarmMinute) + tail);
    }
    case 4: {
      DatabaseVersion v = Version();
      std::string body = Format("$LOG108,1,4,%d,", v.number);
      if (ExactForm()) {
        body += static_cast<char>((v.year >> 8) & 0xFF);
        body += static_cast<char>(v.year & 0xFF);
        body += static_cast<char>(v.month & 0xFF);
        body += static_cast<char>(v.day & 0xFF);
      } else {
        body += Format("%04X%02X%02X", unsigned(v.year), unsigned(v.month), unsigned(v.day));
      }
      return Sentence(std::move(body));
    }
    case 7: {
      std::string reversed(settings_.region.rbegin(), settings_.region.rend());
      return Sentence("$LOG108,1,7," + reversed);
    }
    default: return Sentence("$LOG108,0," + std::to_string(selector));
  }
}

std::string DeviceFirmware::Answer113(int argument, const FaultHits& hits) {
  if (argument == 0) return Sentence(Format("$LOG113,1,%d", hits.answerZero ? 0 : uploadMode_));
  if (argument == 1) {
    if (uploadMode_ == 0) Log("enters data upload mode");
    uploadMode_ = 1;
    return Sentence("$LOG113,1,1");
  }
  return Sentence(Format("$LOG113,0,%d", argument));
}

std::string DeviceFirmware::Answer114(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= settings_.pois.size())
    return Sentence(Format("$LOG114,0,%d", index));
  return Sentence(Format("$LOG114,1,%d,", index) + FormatPoiFields(settings_.pois[static_cast<size_t>(index)]));
}

std::string DeviceFirmware::Answer995(int index, const FaultHits& hits) const {
  const auto& table = store_.Table();
  if (hits.endlessTable && index > 0 && static_cast<size_t>(index) > table.size())
    return Sentence(Format("$LOG995,1,%d,%u,1", index, 0x0100u + static_cast<unsigned>(index)));
  // Past the last entry the device stays silent.
  if (index < 1 || static_cast<size_t>(index) > table.size()) return {};
  const StoredFile& file = table[static_cast<size_t>(index) - 1];
  return Sentence(Format("$LOG995,1,%d,%u,%u", index, unsigned{file.id}, file.location));
}

std::string DeviceFirmware::Answer996(uint32_t location, const FaultHits& hits) {
  DeletionRecord record{location, -1, 2};
  if (hits.refuseDeletion) {
    const auto& table = store_.Table();
    auto matches = [location](const StoredFile& f) {
      return location == FileStore::kUnplacedAlias ? f.location == 0 : f.location == location;
    };
    auto it = std::find_if(table.rbegin(), table.rend(), matches);
    if (it != table.rend()) record.fileId = it->id;
    record.error = record.fileId >= 0 ? 1 : 2;
  } else if (auto removed = store_.DeleteAt(location)) {
    record.fileId = removed->id;
    record.error = 0;
    if (openFile_ == removed->id) LeaveTransfer();
    Log("deletes " + DeviceFileName(removed->id));
  }
  if (settings_.record) deletions_.push_back(record);
  return Sentence(Format("$LOG996,1,%d,%d", record.fileId >= 0 ? record.fileId : 0, record.error));
}

std::string DeviceFirmware::Answer999(const std::vector<std::string>& fields, const FaultHits& hits,
                                      Reaction& reaction) {
  auto field = [&](size_t i) { return i < fields.size() ? ParseDecimal(fields[i]) : -1; };
  long long mode = field(1), id = field(2), length = field(3), count = field(4);
  if (id < 0 || id > 0xFFFF) return Sentence(Format("$LOG999,0,%lld,%lld,0", id, length));
  uint16_t fileId = static_cast<uint16_t>(id);
  switch (mode) {
    case 0: {
      if (openFile_ && *openFile_ != fileId) LeaveTransfer();
      store_.Begin(fileId);
      openFile_ = fileId;
      framesLeft_ = 0;
      groupBroken_ = false;
      reaction.frames = std::pair<size_t, uint32_t>{0, 0};
      Log("begins " + DeviceFileName(fileId));
      return Sentence(Format("$LOG999,1,%u,1,1", unsigned{fileId}));
    }
    case 1: {
      bool fits = length >= 1 && length <= static_cast<long long>(DeviceParser::kMaxFrame) &&
                  count >= 1 && count <= 0xFFFFFF;
      if (openFile_ != fileId || !fits)
        return Sentence(Format("$LOG999,0,%u,%lld,0", unsigned{fileId}, length));
      frameLength_ = static_cast<size_t>(length);
      framesLeft_ = static_cast<uint32_t>(count);
      groupBroken_ = false;
      reaction.frames = std::pair<size_t, uint32_t>{frameLength_, framesLeft_};
      return Sentence(Format("$LOG999,1,%u,%lld,1", unsigned{fileId}, length));
    }
    case 2: {
      if (openFile_ != fileId) {
        // A repeated end after a lost reply finds the file already whole.
        const StoredFile* file = store_.Find(fileId);
        bool whole = file && file->complete;
        return Sentence(Format("$LOG999,%d,%u,1,%d", whole ? 1 : 0, unsigned{fileId}, whole ? 1 : 0));
      }
      reaction.frames = std::pair<size_t, uint32_t>{0, 0};
      if (groupBroken_ || framesLeft_ > 0) {
        Log("keeps the unfinished " + DeviceFileName(fileId) + " at location 0");
        LeaveTransfer();
        return Sentence(Format("$LOG999,0,%u,1,0", unsigned{fileId}));
      }
      if (hits.loseFile) {
        Log("acknowledges the end but keeps " + DeviceFileName(fileId) + " unfinished");
        LeaveTransfer();
        return Sentence(Format("$LOG999,1,%u,1,1", unsigned{fileId}));
      }
      store_.Complete(fileId);
      openFile_.reset();
      if (const StoredFile* file = store_.Find(fileId)) {
        if (settings_.record) receivedFiles_.push_back(*file);
        Log("stores " + DeviceFileName(fileId) + ", " + std::to_string(file->data.size()) +
            " bytes, at location " + std::to_string(file->location));
      }
      return Sentence(Format("$LOG999,1,%u,1,1", unsigned{fileId}));
    }
    default: return Sentence(Format("$LOG999,0,%u,%lld,0", unsigned{fileId}, length));
  }
}

Reaction DeviceFirmware::OnFrame(const ParsedUnit& unit) {
  Reaction reaction;
  uint16_t fileId = openFile_.value_or(0);
  FaultHits hits = faults_.OnFrame(fileId);
  int status = 1;
  std::string reply;
  const StoredFile* file = store_.Find(fileId);
  if (!unit.intact || hits.frameStatus2) {
    status = 2;
    reply = Sentence("$LOG999,2");
  } else if (store_.UsedBytes() + unit.bytes.size() > settings_.flashCapacity || !file) {
    status = kStatusFlashFull;
    groupBroken_ = true;
    --framesLeft_;
    reply = Sentence(Format("$LOG999,%d", status));
  } else {
    store_.Append(fileId, std::span(reinterpret_cast<const uint8_t*>(unit.bytes.data()), unit.bytes.size()));
    --framesLeft_;
    reply = Sentence(Format("$LOG999,1,%zu", store_.Find(fileId)->data.size()));
    reaction.delay = settings_.flashTime;
  }
  // A frame asked for again is expected again.
  reaction.frames = std::pair<size_t, uint32_t>{frameLength_, framesLeft_};
  if (settings_.record) frames_.push_back(FrameRecord{fileId, unit.bytes.size(), unit.intact, static_cast<uint8_t>(status)});
  Finish(reaction, std::move(reply), hits);
  return reaction;
}

void DeviceFirmware::LeaveTransfer() {
  if (openFile_) store_.Flush(*openFile_);
  openFile_.reset();
  framesLeft_ = 0;
  groupBroken_ = false;
}

void DeviceFirmware::OnUnplug() {
  if (openFile_) Log("loses the transfer of " + DeviceFileName(*openFile_));
  LeaveTransfer();
  parser_.Reset();
}

void DeviceFirmware::OnReplug() {
  parser_.Reset();
  uploadMode_ = settings_.uploadModeAtStart ? 1 : 0;
  muted_ = false;
}

}  // namespace mzt::devsim
