#include "devsim/CommandLine.h"

#include <cmath>
#include <functional>
#include <limits>

#include "common/FieldReader.h"

namespace mzt::devsim {
namespace {

constexpr uint32_t kLineRate = 11520;  // 115200 baud, 8N1
constexpr std::chrono::milliseconds kFlashTime{20};

Error Bad(const std::string& what) { return Error{ErrorCode::kInvalidArgument, what}; }

bool AllDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

Result<uint64_t> Count(std::string_view text, const std::string& what) {
  if (!AllDigits(text) || text.size() > 18) return Bad(what + " wants a whole number, not \"" + std::string(text) + "\"");
  return static_cast<uint64_t>(ParseDecimal(text));
}

Result<uint16_t> FileId(std::string_view text) {
  if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos)
    return Bad("a file identifier is up to four hexadecimal digits, not \"" + std::string(text) + "\"");
  return static_cast<uint16_t>(ParseHex(text));
}

std::chrono::milliseconds Scaled(uint64_t ms, double scale) {
  if (ms == 0) return std::chrono::milliseconds(0);
  double value = std::max(1.0, std::round(static_cast<double>(ms) * scale));
  return std::chrono::milliseconds(static_cast<long long>(value));
}

// \r, \n, \t, \\ and \xHH in a fault's text.
Result<std::string> Unescape(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) return Bad("a fault text ends in a lone backslash");
    switch (text[i]) {
      case 'r': out += '\r'; break;
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      case '\\': out += '\\'; break;
      case 'x': {
        std::string_view hex = text.substr(i + 1, 2);
        if (hex.size() != 2 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos)
          return Bad("\\x wants two hexadecimal digits");
        out += static_cast<char>(ParseHex(hex));
        i += 2;
        break;
      }
      default: return Bad(std::string("unknown escape \\") + text[i]);
    }
  }
  return out;
}

struct EffectEntry {
  const char* name;
  Fault::Effect effect;
  const char* where;  // the default place
};

constexpr EffectEntry kEffects[] = {
    {"drop", Fault::Effect::kDropReply, "any"},
    {"corrupt", Fault::Effect::kCorruptChecksum, "any"},
    {"noise", Fault::Effect::kNoiseBefore, "any"},
    {"talker", Fault::Effect::kOtherTalkerBefore, "any"},
    {"delay", Fault::Effect::kDelayReply, "any"},
    {"status2", Fault::Effect::kFrameStatus2, "frame"},
    {"zero", Fault::Effect::kAnswerZero, "113:0"},
    {"refuse", Fault::Effect::kRefuseDeletion, "996"},
    {"poicount", Fault::Effect::kPoiCount, "108:3"},
    {"mute", Fault::Effect::kStopAnswering, "any"},
    {"unplug", Fault::Effect::kUnplug, "any"},
    {"answer", Fault::Effect::kReplaceReply, "any"},
    {"endless", Fault::Effect::kEndlessFileTable, "995"},
    {"lose", Fault::Effect::kLoseFile, "999:2"},
};

Result<void> ParseWhere(std::string_view where, Fault& fault) {
  std::string_view head = where.substr(0, where.find(':'));
  std::string_view tail = head.size() < where.size() ? where.substr(head.size() + 1) : std::string_view();
  bool hasTail = head.size() < where.size();
  if (head == "frame" || head == "bytes") {
    fault.trigger = head == "frame" ? Fault::Trigger::kFrame : Fault::Trigger::kTransferBytes;
    if (hasTail) {
      auto id = FileId(tail);
      if (!id) return std::move(id).TakeError();
      fault.fileId = id.Value();
    }
    return Success();
  }
  fault.trigger = Fault::Trigger::kSentence;
  if (head == "any" && !hasTail) return Success();
  if (!AllDigits(head) || head.size() > 4) return Bad("unknown place \"" + std::string(where) + "\"");
  fault.command = static_cast<int>(ParseDecimal(head));
  if (hasTail) {
    if (!AllDigits(tail) || tail.size() > 9) return Bad("unknown argument \"" + std::string(tail) + "\"");
    fault.argument = static_cast<int>(ParseDecimal(tail));
  }
  return Success();
}

struct Option {
  const char* name;
  const char* argument;  // nullptr for a switch
  const char* help;
  std::function<Result<void>(ProgramSettings&, const std::string&, double)> apply;
};

Result<void> SetParameters(DeviceParameters& p, const std::string& text) {
  std::vector<std::string> parts;
  FieldCursor cursor(text);
  for (std::string part = cursor.Next(); cursor.LastFound(); part = cursor.Next()) parts.push_back(part);
  if (parts.size() != 10) return Bad("--parameters wants ten comma-separated values");
  int* decimal[] = {&p.criticalAlert, &p.roadAlert, &p.alarmHour, &p.alarmMinute, &p.functionType,
                    &p.speedOffset, nullptr, &p.amMode, &p.amSpeedLimit, &p.cameraSpeedLimit};
  for (size_t i = 0; i < parts.size(); ++i) {
    if (!decimal[i]) {
      auto value = FileId(parts[i]);
      if (!value || value.Value() > 0xFF) return Bad("the UTC offset is one hexadecimal byte");
      p.utcOffset = static_cast<uint8_t>(value.Value());
    } else {
      std::string_view digits = parts[i];
      if (digits.starts_with('-')) digits.remove_prefix(1);
      if (!AllDigits(digits) || digits.size() > 9) return Bad("--parameters: \"" + parts[i] + "\" is not a number");
      *decimal[i] = static_cast<int>(ParseDecimal(parts[i]));
    }
  }
  return Success();
}

const std::vector<Option>& OptionTable() {
  using S = ProgramSettings;
  static const std::vector<Option> options = {
      {"--firmware", "TEXT", "firmware version text (default 1.4.0.7); exactly 1.0.0.3 selects that firmware's reply forms",
       [](S& s, const std::string& v, double) -> Result<void> {
         if (v.empty() || v.size() > 19) return Bad("--firmware wants 1 to 19 characters");
         s.device.firmware = v;
         return Success();
       }},
      {"--device-id", "TEXT", "device ID (default MZT0000001)",
       [](S& s, const std::string& v, double) -> Result<void> {
         if (v.empty() || v.size() > 19) return Bad("--device-id wants 1 to 19 characters");
         s.device.deviceId = v;
         return Success();
       }},
      {"--region", "CODE", "database region code, TW or CN (default TW)",
       [](S& s, const std::string& v, double) -> Result<void> {
         if (v.size() != 2) return Bad("--region wants two letters");
         s.device.region = v;
         return Success();
       }},
      {"--parameters", "LIST", "selector-3 parameters, ten values: critical, road, hour, minute, function, offset, UTC (hex), AM mode, AM limit, camera limit (default 1,2,7,30,1,0,10,1,60,0)",
       [](S& s, const std::string& v, double) { return SetParameters(s.device.parameters, v); }},
      {"--pois", "N", "hold N generated POIs (default 0)",
       [](S& s, const std::string& v, double) -> Result<void> {
         auto n = Count(v, "--pois");
         if (!n || n.Value() > 100000) return Bad("--pois wants 0 to 100000");
         s.device.pois = GeneratePois(static_cast<size_t>(n.Value()));
         return Success();
       }},
      {"--poi-csv", "FILE", "hold the POIs of a CSV in degrees, in the columns of POI.csv",
       [](S& s, const std::string& v, double) -> Result<void> {
         s.poiCsv = v;
         return Success();
       }},
      {"--database", "DIR", "start with the database files DIR/FF00.bin, FF01.bin, FF02.bin (default: none)",
       [](S& s, const std::string& v, double) -> Result<void> {
         s.device.databaseFolder = v;
         return Success();
       }},
      {"--unplaced", "ID", "list the initial file ID (hex, e.g. FF01) at location 0; repeatable",
       [](S& s, const std::string& v, double) -> Result<void> {
         auto id = FileId(v);
         if (!id) return std::move(id).TakeError();
         s.device.unplacedIds.push_back(id.Value());
         return Success();
       }},
      {"--store", "DIR", "keep the device's files in DIR across runs (its content wins over --database)",
       [](S& s, const std::string& v, double) -> Result<void> {
         s.device.storeFolder = v;
         return Success();
       }},
      {"--upload-mode", nullptr, "start in data upload mode instead of waiting for 113,1",
       [](S& s, const std::string&, double) -> Result<void> {
         s.device.uploadModeAtStart = true;
         return Success();
       }},
      {"--raw-frames", nullptr, "read data frames blindly, as a UART buffer does: a sentence sent in a frame's place is frame data",
       [](S& s, const std::string&, double) -> Result<void> {
         s.device.rawFrames = true;
         return Success();
       }},
      {"--rate", "BYTES", "take received bytes no faster than BYTES per second (default 11520, 115200 baud; 0: unpaced). Frames longer than half a second's worth outlast the program's 500 ms acknowledgement wait",
       [](S& s, const std::string& v, double scale) -> Result<void> {
         auto n = Count(v, "--rate");
         if (!n || n.Value() > std::numeric_limits<uint32_t>::max()) return Bad("--rate wants 0 to 4294967295");
         double rate = static_cast<double>(n.Value()) / scale;
         s.device.bytesPerSecond = static_cast<uint32_t>(std::min(rate, 4294967295.0));
         return Success();
       }},
      {"--flash-ms", "MS", "time to store one data frame before it is acknowledged (default 20)",
       [](S& s, const std::string& v, double scale) -> Result<void> {
         auto n = Count(v, "--flash-ms");
         if (!n) return std::move(n).TakeError();
         s.device.flashTime = Scaled(n.Value(), scale);
         return Success();
       }},
      {"--capacity", "BYTES", "flash size for all files together (default 16777216)",
       [](S& s, const std::string& v, double) -> Result<void> {
         auto n = Count(v, "--capacity");
         if (!n) return std::move(n).TakeError();
         s.device.flashCapacity = n.Value();
         return Success();
       }},
      {"--fault", "FAULT", "misbehave as FAULT says (see FAULTS); repeatable",
       [](S& s, const std::string& v, double scale) -> Result<void> {
         auto fault = ParseFault(v, scale);
         if (!fault) return std::move(fault).TakeError().With("--fault " + v);
         s.device.faults.push_back(std::move(fault).Value());
         return Success();
       }},
      {"--link", "PATH", "keep a symbolic link at PATH to the current pty (gone while unplugged)",
       [](S& s, const std::string& v, double) -> Result<void> {
         s.device.linkPath = v;
         return Success();
       }},
      {"--sysfs-root", "DIR", "keep a fake sysfs tree in DIR showing a USB CDC ACM port while plugged in",
       [](S& s, const std::string& v, double) -> Result<void> {
         s.device.sysfsRoot = v;
         return Success();
       }},
      {"--tty-name", "NAME", "the port's name in the fake sysfs (default ttyACM0)",
       [](S& s, const std::string& v, double) -> Result<void> {
         if (v.empty() || v.find('/') != std::string::npos) return Bad("--tty-name wants a plain name");
         s.device.ttyName = v;
         return Success();
       }},
      {"--replug-ms", "MS", "how long SIGUSR1 keeps the device unplugged (default 3000; 0: until SIGUSR2)",
       [](S& s, const std::string& v, double scale) -> Result<void> {
         auto n = Count(v, "--replug-ms");
         if (!n) return std::move(n).TakeError();
         s.replugDelay = Scaled(n.Value(), scale);
         return Success();
       }},
      {"--replay", "FILE", "play the device side of a session recorded with mzt --record: answer each write as recorded, with its pauses (scaled by MZT_TIME_SCALE over the recording's), unplug where it unplugged; a write the recording does not have there ends the replay (exit status 3) with both sides. Takes --link, --sysfs-root, --tty-name and --verbose",
       [](S& s, const std::string& v, double) -> Result<void> {
         s.replay = v;
         return Success();
       }},
      {"--verbose", nullptr, "log every sentence, frame, reply and event on standard error",
       [](S& s, const std::string&, double) -> Result<void> {
         s.verbose = true;
         return Success();
       }},
      {"--help", nullptr, "show this text",
       [](S& s, const std::string&, double) -> Result<void> {
         s.help = true;
         return Success();
       }},
      {"--version", nullptr, "show the version",
       [](S& s, const std::string&, double) -> Result<void> {
         s.version = true;
         return Success();
       }},
  };
  return options;
}

constexpr size_t kHelpIndent = 24;
constexpr size_t kHelpWidth = 79;

// Words to lines of the help's right column; every line after the first is
// indented.
std::string Wrapped(std::string_view words) {
  std::string text;
  size_t column = kHelpIndent;
  while (!words.empty()) {
    size_t end = words.find(' ');
    std::string_view word = words.substr(0, end);
    words = end == std::string_view::npos ? std::string_view() : words.substr(end + 1);
    if (column > kHelpIndent && column + 1 + word.size() > kHelpWidth) {
      text += "\n" + std::string(kHelpIndent, ' ');
      column = kHelpIndent;
    } else if (column > kHelpIndent) {
      text += ' ';
      ++column;
    }
    text += word;
    column += word.size();
  }
  return text + "\n";
}

}  // namespace

Result<Fault> ParseFault(std::string_view text, double timeScale) {
  Fault fault;
  std::string_view head = text.substr(0, text.find(','));
  std::string_view rest = head.size() < text.size() ? text.substr(head.size() + 1) : std::string_view();
  std::string_view name = head.substr(0, head.find('@'));
  const EffectEntry* entry = nullptr;
  for (const EffectEntry& e : kEffects)
    if (name == e.name) entry = &e;
  if (!entry) return Bad("unknown fault \"" + std::string(name) + "\"");
  fault.effect = entry->effect;
  std::string_view where = name.size() < head.size() ? head.substr(name.size() + 1) : std::string_view(entry->where);
  auto placed = ParseWhere(where, fault);
  if (!placed) return std::move(placed).TakeError();

  while (!rest.empty()) {
    std::string_view item = rest.substr(0, rest.find(','));
    size_t eq = item.find('=');
    if (eq == std::string_view::npos) return Bad("\"" + std::string(item) + "\" is no KEY=VALUE");
    std::string_view key = item.substr(0, eq);
    if (key == "text") {
      // The text takes the rest, commas included.
      auto bytes = Unescape(rest.substr(eq + 1));
      if (!bytes) return std::move(bytes).TakeError();
      fault.text = std::move(bytes).Value();
      break;
    }
    std::string_view value = item.substr(eq + 1);
    rest = item.size() < rest.size() ? rest.substr(item.size() + 1) : std::string_view();
    auto number = Count(value, std::string(key));
    if (!number) return std::move(number).TakeError();
    if (key == "nth") {
      fault.nth = number.Value();
    } else if (key == "times") {
      if (number.Value() > std::numeric_limits<uint32_t>::max()) return Bad("times is too large");
      fault.times = static_cast<uint32_t>(number.Value());
    } else if (key == "ms") {
      fault.duration = Scaled(number.Value(), timeScale);
    } else if (key == "value") {
      if (number.Value() > 1000000) return Bad("value is too large");
      fault.value = static_cast<int>(number.Value());
    } else {
      return Bad("unknown key \"" + std::string(key) + "\"");
    }
  }
  // The script's own check, so that a bad combination fails here.
  FaultScript check;
  auto valid = check.Add(fault);
  if (!valid) return std::move(valid).TakeError();
  return fault;
}

Result<ProgramSettings> ParseCommandLine(const std::vector<std::string>& args, double timeScale) {
  ProgramSettings settings;
  settings.device.bytesPerSecond = static_cast<uint32_t>(std::min(kLineRate / timeScale, 4294967295.0));
  settings.device.flashTime = Scaled(static_cast<uint64_t>(kFlashTime.count()), timeScale);
  settings.replugDelay = Scaled(static_cast<uint64_t>(settings.replugDelay.count()), timeScale);
  settings.device.record = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::string value;
    bool inlineValue = false;
    if (size_t eq = name.find('='); name.starts_with("--") && eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.resize(eq);
      inlineValue = true;
    }
    const Option* option = nullptr;
    for (const Option& o : OptionTable())
      if (name == o.name) option = &o;
    if (!option) return Bad("unknown option " + args[i] + " (see --help)");
    if (option->argument && !inlineValue) {
      if (i + 1 == args.size()) return Bad(name + " wants " + option->argument);
      value = args[++i];
    } else if (!option->argument && inlineValue) {
      return Bad(name + " takes no value");
    }
    auto applied = option->apply(settings, value, timeScale);
    if (!applied) return std::move(applied).TakeError();
  }
  if (!settings.poiCsv.empty() && !settings.device.pois.empty())
    return Bad("--pois and --poi-csv exclude each other");
  return settings;
}

std::vector<std::string> OptionNames() {
  std::vector<std::string> names;
  for (const Option& option : OptionTable()) names.push_back(option.name);
  return names;
}

std::string HelpText() {
  std::string text =
      "Usage: mzt-devsim [OPTION]...\n"
      "A simulated speed-camera detector on a pseudo-terminal. The first line on\n"
      "standard output is the port's path. SIGUSR1 unplugs the device, SIGUSR2\n"
      "plugs it in again, SIGINT and SIGTERM end it (exit status 0).\n"
      "Times in milliseconds are multiplied, and the byte rate divided, by\n"
      "MZT_TIME_SCALE (0 < scale <= 1) when it is set.\n\nOptions:\n";
  for (const Option& option : OptionTable()) {
    std::string left = std::string("  ") + option.name;
    if (option.argument) left += std::string(" ") + option.argument;
    text += left;
    text += left.size() < kHelpIndent ? std::string(kHelpIndent - left.size(), ' ')
                                      : "\n" + std::string(kHelpIndent, ' ');
    text += Wrapped(option.help);
  }
  text +=
      "\nFAULTS: EFFECT[@WHERE][,KEY=VALUE]...\n"
      "  EFFECT  drop      no reply\n"
      "          corrupt   a reply with a wrong checksum\n"
      "          noise     bytes that are no sentence before the reply\n"
      "          talker    another talker's sentence before the reply\n"
      "          delay     the reply waits ms=MS\n"
      "          status2   a data frame answered with status 2 (WHERE frame)\n"
      "          zero      an upload-mode query (113,0) answers 0\n"
      "          refuse    a deletion (996) is refused with error 1\n"
      "          poicount  selector 3 reports value=N POIs (default 100)\n"
      "          mute      no reply to anything until the next replug\n"
      "          unplug    the pty closes; back after ms=MS (0: on SIGUSR2)\n"
      "          answer    text=T goes out instead of the reply (whole sentences)\n"
      "          endless   a file listing (995) past its end lists one more file\n"
      "          lose      an end sentence (999:2) is acknowledged, but the file\n"
      "                    stays unfinished at location 0\n"
      "  WHERE   CMD or CMD:ARG  the command's sentences (e.g. 108:3); any: every sentence\n"
      "          frame[:ID]      data frames (of file ID, hex)\n"
      "          bytes[:ID]      data frame bytes; nth=N is the byte count (mute, unplug)\n"
      "  KEY     nth=N    the first event that counts, from 1 (default 1)\n"
      "          times=N  how many in a row (default 1; 0: all from nth on)\n"
      "          ms=MS    delay, or the time unplugged\n"
      "          value=N  the POI count of poicount\n"
      "          text=T   noise, talker or answer bytes, the rest of the FAULT; \\r \\n \\t \\\\ \\xHH\n"
      "  Counting starts when the device starts. Examples:\n"
      "    --fault drop@108:3   --fault status2,nth=3   --fault zero,times=2\n"
      "    --fault unplug@bytes:FF02,nth=20000,ms=2000   --fault delay@995,ms=1500\n";
  return text;
}

}  // namespace mzt::devsim
