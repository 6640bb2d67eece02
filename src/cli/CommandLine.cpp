#include "cli/CommandLine.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>

#include "cli/CommandHandlers.h"
#include "common/UpdateServerSetting.h"
#include "platform/Translation.h"
#include "common/TextFill.h"

namespace mzt {
namespace {

struct CommandEntry {
  const char* name;
  CommandHandler run;
  size_t minArguments;
  size_t maxArguments;
  const char* synopsis;  // after "mzt NAME"
  const char* summary;   // one line for the overview
  const char* help;      // more lines for `mzt help NAME`
  unsigned options = 0;  // OptionGroup
};

// Which option groups a command's help lists; --json output is not listed there.
enum OptionGroup : unsigned { kDeviceOptions = 1, kServerOptions = 2, kYesOption = 4, kRecordOptions = 8,
                              kJsonOutput = 16 };

constexpr const char* kPortOptionText =
#ifdef _WIN32
    TrLater("  --port PORT      port name (COM3); default: the settings file's port, else\n"
       "                   the only detector found\n");
#else
    TrLater("  --port PORT      device path (/dev/ttyACM0) or name (ttyACM0); default: the\n"
       "                   settings file's port, else the only detector found\n");
#endif
constexpr const char* kDeviceOptionsText =
    TrLater("  --serial SN      the detector with this USB serial number (mzt ports lists them)\n"
       "  --data-dir DIR   folder for POI.csv and the work files (ULDB.bin, the device\n"
       "                   files)\n"
       "  --verbose        show the sentences on the wire and the HTTP requests\n"
       "  --quiet          no progress and no messages but errors\n");
constexpr const char* kServerOptionsText =
    TrLater("  --region tw|cn   database region: Taiwan (default) or China\n"
       "  --server URL     update server base address (http://host:port/)\n");
constexpr const char* kYesOptionText = TrLater("  --yes            answer Yes to every question\n");
constexpr const char* kRecordOptionsText =
    TrLater("  --record FILE    write the session to FILE for a problem report (JSON Lines:\n"
       "                   the sentences, the port's events, the HTTP requests)\n"
       "  --record-data    with the data frames' bytes (default: their size and SHA-256)\n"
       "  --anonymise      replace the device ID and serial number, drop the POIs'\n"
       "                   coordinates (default: recorded as they are)\n");

constexpr std::array<CommandEntry, 12> kCommands = {{
    {"ports", RunPorts, 0, 0, " [--json]", TrLater("list the detectors found, with their identity"),
     TrLater("Lists each detector: its port, USB serial number and product, tab-separated.\n"
     "With --json, an array of objects {\"port\", \"serialNumber\", \"product\"}.\n"), kJsonOutput},
    {"query", RunQuery, 0, 0, " [--json] [--port PORT]", TrLater("show the firmware and database versions and region"),
     TrLater("Reads the firmware version, database version and region from the detector.\n"
     "With --json, one object {\"port\", \"firmwareVersion\", \"databaseVersion\",\n"
     "\"databaseDate\", \"databaseNumber\", \"databaseComplete\", \"databaseState\",\n"
     "\"region\"} (state \"complete\", \"none\", \"incomplete\" or \"unknown\"; region\n"
     "\"tw\", \"cn\" or \"\").\n"
     "\n"), kDeviceOptions | kRecordOptions | kJsonOutput},
    {"check", RunCheck, 0, 0, " [--json] [--port PORT] [--region tw|cn] [--server URL]",
     TrLater("ask the server whether a newer database exists"),
     TrLater("Prints the detector's database version and the server's newest, without\n"
     "downloading or changing anything. Exit status 0: the detector is current,\n"
     "10: the server has a newer database, 2: no detector, 3: server failure.\n"
     "With --json, one object {\"port\", \"databaseVersion\", \"databaseState\",\n"
     "\"serverVersion\", \"newer\"} (serverVersion \"\" when nothing is newer).\n"
     "\n"), kDeviceOptions | kServerOptions | kRecordOptions | kJsonOutput},
    {"update", RunUpdate, 0, 0, " [--yes] [--port PORT] [--region tw|cn] [--server URL]",
     TrLater("the whole online update (POIs saved to POI.csv first)"),
     TrLater("Asks the server for a newer database and, on a terminal, shows what will\n"
     "replace what (versions, region, the POIs to be saved) and asks first; with\n"
     "--yes, or without a terminal, it goes on without asking. Then saves the\n"
     "detector's POIs to POI.csv, downloads the database and installs it.\n"
     "\n"), kDeviceOptions | kServerOptions | kYesOption | kRecordOptions},
    {"upload", RunUpload, 1, 1, " FILE [--yes] [--port PORT]", TrLater("install a database file from disk, without the server"),
     TrLater("Installs FILE in the detector (POIs saved to POI.csv first). A database older\n"
     "than the detector's asks first: without a terminal the answer is No.\n"
     "\n"), kDeviceOptions | kYesOption | kRecordOptions},
    {"clear-poi", RunClearPoi, 0, 0, " [--yes] [--port PORT]", TrLater("delete the user's own points in the device"),
     TrLater("After asking (Enter, or no terminal, is No), saves the detector's POIs to\n"
     "POI.csv and deletes them in the detector.\n"
     "\n"), kDeviceOptions | kYesOption | kRecordOptions},
    {"export-poi", RunExportPoi, 0, 0, " [--port PORT]", TrLater("save the device's own points to POI.csv"),
     TrLater("Appends the detector's POIs to POI.csv in the data folder.\n\n"), kDeviceOptions | kRecordOptions},
    {"split", RunSplit, 1, 1, " FILE [--out DIR]", TrLater("check a database file and convert it into the device files"),
     TrLater("Writes FF00.bin, FF01.bin and FF02.bin next to FILE (or into DIR) and prints\n"
     "their paths. Exit status 4 when FILE is not a valid database.\n"
     "\n  --out DIR        where the files go\n")},
    {"doctor", RunDoctor, 0, 0, " [--json] [--port PORT] [--server URL]", TrLater("find out why the detector or the server cannot be reached"),
     TrLater("Checks each detector port (present, permitted, not held by another program,\n"
     "ModemManager), the proxy and the update server, and prints a fix for each\n"
     "problem. Exit status 0 only when an update could run, else 11.\n"
     "With --json, one object {\"updateCouldRun\", \"problems\", \"sections\"}, each\n"
     "section {\"subject\", \"findings\"}, each finding {\"kind\" (\"ok\", \"warning\"\n"
     "or \"problem\"), \"text\", \"fix\"}.\n"
     "\n"), kDeviceOptions | kServerOptions | kJsonOutput},
    {"send-copydata", RunSendCopyData, 1, 1, " TEXT", TrLater("start the online update in the running desktop program"),
     TrLater("TEXT is \"PATH,PORT\". Asks the running mzt-utility to select PORT (a port\n"
     "its list offers, or that port's number) and to run the online update there,\n"
     "as its update button does: it asks the update server for the newest\n"
     "database, saves the POIs and installs the download. PATH is not used: the\n"
     "update installs what the server offers. The window refuses while it runs an\n"
     "action. Exit status 0: accepted, 5: refused, 9: no desktop program, 12: it is\n"
     "busy.\n")},
    {"replay-check", RunReplayCheck, 1, 1, " FILE [--database DB]", TrLater("replay a recorded session and compare"),
     TrLater("Runs the command recorded in FILE (mzt --record) against the simulated device\n"
     "and the local update server playing the recorded answers, and says whether\n"
     "the program still sends the same sentences in the same order and ends the\n"
     "same way. Exit status 0: it does, 13: it does not. mzt-devsim and\n"
     "mzt-updserver are looked for beside mzt, then in $MZT_DEVSIM, $MZT_UPDSERVER.\n"
     "\n  --database DB    the database file the session downloaded or uploaded\n")},
    {"help", RunHelp, 0, 1, " [COMMAND]", TrLater("this text, or one command's"), ""},
}};

const CommandEntry* FindCommand(const std::string& name) {
  auto known = std::find_if(kCommands.begin(), kCommands.end(),
                            [&](const CommandEntry& c) { return name == c.name; });
  return known == kCommands.end() ? nullptr : &*known;
}

Error Usage(const std::string& text) { return Error{ErrorCode::kInvalidArgument, text}; }

// Letters inserted, deleted or changed to turn one name into the other.
size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// The same words for `mzt NAME --help` and `mzt help NAME`, with the nearest
// command when the name looks like a slip of the fingers.
Error UnknownCommand(const std::string& name) {
  const CommandEntry* nearest = nullptr;
  size_t best = 3;  // more than two slips is another word
  for (const CommandEntry& command : kCommands) {
    size_t distance = EditDistance(name, command.name);
    if (distance < best && distance < std::string(command.name).size()) {
      best = distance;
      nearest = &command;
    }
  }
  return Usage(nearest ? Fill(Tr("unknown command {1}; did you mean {2}?"), {name, nearest->name})
                       : Fill(Tr("unknown command {1}"), {name}));
}

}  // namespace

CommandHandler HandlerOf(const std::string& command) {
  const CommandEntry* entry = FindCommand(command);
  return entry ? entry->run : RunHelp;
}

std::string UsageLine() { return Tr("Usage: mzt COMMAND [OPTIONS]"); }

std::string UsageText() {
  std::string text = UsageLine() + "\n" +
                     Tr("Keeps the speed-camera database of the detector on its USB serial port current.\n"
                        "\n"
                        "Commands:\n");
  for (const CommandEntry& command : kCommands) {
    std::string name = command.name;
    if (command.minArguments) name += command.name == std::string("send-copydata") ? " TEXT" : " FILE";
    name.resize(std::max<size_t>(name.size() + 1, 20), ' ');
    text += "  " + name + Tr(command.summary) + "\n";
  }
  return text + "\n" +
         Tr("Options (a value may also follow an =, as in --port=PATH; -- ends the options,\n"
            "so that a FILE may begin with -):\n") +
#ifdef _WIN32
         Tr("  --port PORT       port name (COM3)\n") +
#else
         Tr("  --port PORT       device path (/dev/ttyACM0) or port name (ttyACM0)\n") +
#endif
         Tr("  --serial SN       the detector with this USB serial number (see mzt ports)\n"
            "  --region tw|cn    database region: Taiwan (default) or China\n"
            "  --server URL      update server base address (http://host:port/)\n"
            "  --data-dir [DIR]  data folder (a DIR named like a command is written ./DIR);\n"
            "                    mzt --data-dir alone prints where the files are\n"
            "  --json            ports, query, check and doctor: JSON on standard output\n"
            "  -y, --yes         answer Yes to every question\n"
            "  -v, --verbose     show the sentences on the wire and the HTTP requests\n"
            "  -q, --quiet       no progress and no messages but errors (questions are\n"
            "                    still asked)\n"
            "  --out DIR         split: where the device files go\n"
            "  --database DB     replay-check: the database file the session used\n"
            "  --record FILE     device commands: write the session to FILE for a problem\n"
            "                    report; --record-data keeps the data frames' bytes,\n"
            "                    --anonymise leaves out the device ID, serial number and\n"
            "                    POI coordinates (default: recorded as they are)\n"
            "  -h, --help        this text, or with a command that command's\n"
            "  --version         the program's version\n"
            "\n"
            "Results go to standard output; questions, messages and progress to standard\n"
            "error (a question is asked only when standard input and error are terminals,\n"
            "else the answer is No). Exit status: 0 success, 1 usage, 2 device not\n"
            "reachable, 3 server or network failure, 4 invalid database, 5 declined,\n"
            "6 transfer failed, 7 a file (or standard output) could not be written, 8 input\n"
            "file unreadable, 9 no desktop program, 10 newer database (check), 11 problems\n"
            "found (doctor), 12 desktop program busy, 13 replay differs (replay-check),\n"
            "130 stopped (Ctrl-C, a hang-up, a termination request, or standard error\n"
            "closed).\n"
            "'mzt help COMMAND' tells more of a command.\n");
}

std::string CommandHelpText(const std::string& command) {
  const CommandEntry* entry = FindCommand(command);
  if (!entry || command == "help") return UsageText();
  std::string summary = Tr(entry->summary);
  summary[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(summary[0])));
  std::string text = Fill(Tr("Usage: mzt {1}"), {std::string(entry->name) + entry->synopsis}) + "\n" + summary +
                     Tr(".") + "\n\n" + (*entry->help ? Tr(entry->help) : "");
  if (entry->options & kDeviceOptions) text += std::string(Tr(kPortOptionText)) + Tr(kDeviceOptionsText);
  if (entry->options & kServerOptions) text += Tr(kServerOptionsText);
  if (entry->options & kYesOption) text += Tr(kYesOptionText);
  if (entry->options & kRecordOptions) text += Tr(kRecordOptionsText);
  return text;
}

Result<CliOptions> ParseCommandLine(const std::vector<std::string>& args) {
  CliOptions options;
  auto value = [&](size_t& i, const std::string& name) -> Result<std::string> {
    if (i + 1 >= args.size()) return Usage(Fill(Tr("{1} needs a value"), {name}));
    return args[++i];
  };
  bool optionsEnded = false;  // after "--" every word is a command or an argument
  for (size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    if (optionsEnded || arg == "--") {
      if (optionsEnded && options.command.empty()) options.command = arg;
      else if (optionsEnded) options.arguments.push_back(arg);
      optionsEnded = true;
      options.given.push_back(arg);
      continue;
    }
    std::optional<std::string> attached;  // --option=VALUE
    if (size_t equals = arg.find('='); arg.rfind("--", 0) == 0 && equals != std::string::npos) {
      attached = arg.substr(equals + 1);
      arg.resize(equals);
    }
    std::string* target = nullptr;
    if (arg == "--help" || arg == "-h") options.help = true;
    else if (arg == "--version") options.version = true;
    else if (arg == "--yes" || arg == "-y") options.yes = true;
    else if (arg == "--verbose" || arg == "-v") options.verbose = true;
    else if (arg == "--quiet" || arg == "-q") options.quiet = true;
    else if (arg == "--json") options.json = true;
    else if (arg == "--record-data") options.recordData = true;
    else if (arg == "--anonymise" || arg == "--anonymize") options.anonymise = true;
    else if (arg == "--record") target = &options.record;
    else if (arg == "--database") target = &options.database;
    else if (arg == "--port") target = &options.port;
    else if (arg == "--serial") target = &options.serial;
    else if (arg == "--region") target = &options.region;
    else if (arg == "--server") target = &options.server;
    else if (arg == "--data-dir") target = &options.dataDir;
    else if (arg == "--out") target = &options.outDir;
    else if (arg.size() > 1 && arg[0] == '-') return Usage(Fill(Tr("unknown option {1}"), {arg}));
    else if (options.command.empty()) options.command = arg;
    else options.arguments.push_back(arg);
    if (attached && !target) return Usage(Fill(Tr("{1} takes no value"), {arg}));
    // The recording's own options are no part of the command it records.
    bool recordFile = target == &options.record;
    if (!recordFile && arg != "--record-data" && arg != "--anonymise" && arg != "--anonymize")
      options.given.push_back(args[i]);
    if (target && attached) {
      *target = *attached;
    } else if (target == &options.dataDir && i + 1 == args.size()) {
      // Alone at the end: the question where the files are.
      options.showDataDir = true;
    } else if (target == &options.dataDir && FindCommand(args[i + 1])) {
      // `mzt --data-dir query` asks where the files are, not for a folder named "query".
      return Usage(Fill(Tr("--data-dir needs a folder, not the command {1} (a folder of that name is ./{1}); "
                           "alone, mzt --data-dir prints where the files are"),
                        {args[i + 1]}));
    } else if (target) {
      auto text = value(i, arg);
      if (!text) return std::move(text).TakeError();
      *target = text.Value();
      if (!recordFile) options.given.push_back(args[i]);
    }
  }
  std::string about = options.command == "help" && !options.arguments.empty() ? options.arguments[0]
                                                                              : options.command;
  if ((options.help || options.command == "help") && !about.empty() && !FindCommand(about))
    return UnknownCommand(about);
  if (options.help || options.version) return options;
  if (options.command.empty() && (options.showDataDir || !options.dataDir.empty())) {
    options.showDataDir = true;
    return options;
  }
  if (options.showDataDir) return Usage(Tr("--data-dir needs a value"));
  if (options.command.empty()) return Usage(Tr("no command given"));
  const CommandEntry* known = FindCommand(options.command);
  if (!known) return UnknownCommand(options.command);
  if (options.arguments.size() < known->minArguments || options.arguments.size() > known->maxArguments)
    return Usage(Fill(known->maxArguments ? Tr("{1} takes one argument") : Tr("{1} takes no argument"),
                      {options.command}));
  if (options.json && !(known->options & kJsonOutput))
    return Usage(Tr("--json is for ports, query, check and doctor"));
  if (!options.region.empty() && options.region != "tw" && options.region != "cn")
    return Usage(Tr("--region is tw or cn"));
  if (!options.outDir.empty() && options.command != "split") return Usage(Tr("--out is for split"));
  if (!options.serial.empty() && !(known->options & kDeviceOptions))
    return Usage(Tr("--serial is for the commands that talk to the device"));
  if (!options.serial.empty() && !options.port.empty())
    return Usage(Tr("--port and --serial both choose the detector: give one"));
  if ((options.recordData || options.anonymise) && options.record.empty())
    return Usage(Tr("--record-data and --anonymise go with --record FILE"));
  if (!options.record.empty() && !(known->options & kRecordOptions))
    return Usage(Tr("--record is for the commands that talk to the device"));
  if (!options.database.empty() && options.command != "replay-check") return Usage(Tr("--database is for replay-check"));
  // Checked before the device is touched.
  if (!options.server.empty() && !IsServerUrl(options.server))
    return Usage(Fill(Tr("--server needs an http:// or https:// address with a host, not {1}"), {options.server}));
  return options;
}

}  // namespace mzt
