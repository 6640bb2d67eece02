#include "cli/CommandLine.h"

#include <algorithm>
#include <array>
#include <optional>

namespace mzt {
namespace {

struct CommandSpec {
  const char* name;
  size_t arguments;
};

constexpr std::array<CommandSpec, 8> kCommands = {{
    {"ports", 0},
    {"query", 0},
    {"update", 0},
    {"upload", 1},
    {"clear-poi", 0},
    {"export-poi", 0},
    {"split", 1},
    {"send-copydata", 1},
}};

Error Usage(const std::string& text) { return Error{ErrorCode::kInvalidArgument, text}; }

// An http or https address with a host; checked before the device is touched.
bool IsServerUrl(const std::string& url) {
  for (const char* scheme : {"http://", "https://"}) {
    std::string prefix = scheme;
    if (url.size() > prefix.size() && url.compare(0, prefix.size(), prefix) == 0)
      return url.find_first_of("/?#", prefix.size()) != prefix.size();
  }
  return false;
}

}  // namespace

std::string UsageLine() { return "Usage: mzt COMMAND [OPTIONS]"; }

std::string UsageText() {
  return
      UsageLine() + "\n"
      "Keeps the speed-camera database of the detector on its USB serial port current.\n"
      "\n"
      "Commands:\n"
      "  ports               list the device ports found\n"
      "  query               show the firmware version, database version and region\n"
      "  update              the whole online update (POIs saved to POI.csv first)\n"
      "  upload FILE         install a database file from disk, without the server\n"
      "  clear-poi           delete the user's own points in the device\n"
      "  export-poi          save the device's own points to POI.csv\n"
      "  split FILE          convert a database file into the device files only;\n"
      "                      the exit status says whether it is a valid database\n"
      "  send-copydata TEXT  send \"path,port\" to a running desktop program\n"
      "\n"
      "Options (a value may also follow an =, as in --port=PATH):\n"
#ifdef _WIN32
      "  --port PORT         port name (COM7);\n"
#else
      "  --port PORT         device path (/dev/ttyACM0) or port name (ttyACM0);\n"
#endif
      "                      default: the settings file's port, else the only one found\n"
      "  --region tw|cn      database region: Taiwan (default) or China\n"
      "  --server URL        update server base address (http://host:port/)\n"
      "  --data-dir DIR      folder for ULDB.bin, the device files and POI.csv\n"
      "  --out DIR           where split writes its files (default: next to FILE)\n"
      "  --yes               answer Yes to every question\n"
      "  --verbose           show the sentences on the wire\n"
      "  --help              this text\n"
      "  --version           the program's version\n"
      "\n"
      "Questions, messages and progress go to standard error, results to standard\n"
      "output. Ctrl-C stops at once; while the device's database is being replaced\n"
      "it asks for a second Ctrl-C first.\n"
      "\n"
      "Exit status: 0 success, 1 usage, 2 device not reachable, 3 server or network\n"
      "failure, 4 invalid database, 5 declined, 6 transfer failed, 7 a file could not\n"
      "be written, 8 the input file is missing or unreadable, 9 no desktop program\n"
      "to send to, 130 stopped with Ctrl-C.\n";
}

Result<CliOptions> ParseCommandLine(const std::vector<std::string>& args) {
  CliOptions options;
  auto value = [&](size_t& i, const std::string& name) -> Result<std::string> {
    if (i + 1 >= args.size()) return Usage(name + " needs a value");
    return args[++i];
  };
  for (size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
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
    else if (arg == "--port") target = &options.port;
    else if (arg == "--region") target = &options.region;
    else if (arg == "--server") target = &options.server;
    else if (arg == "--data-dir") target = &options.dataDir;
    else if (arg == "--out") target = &options.outDir;
    else if (arg.size() > 1 && arg[0] == '-') return Usage("unknown option " + arg);
    else if (options.command.empty()) options.command = arg;
    else options.arguments.push_back(arg);
    if (attached && !target) return Usage(arg + " takes no value");
    if (target && attached) {
      *target = *attached;
    } else if (target) {
      auto text = value(i, arg);
      if (!text) return std::move(text).TakeError();
      *target = text.Value();
    }
  }
  if (options.help || options.version) return options;
  if (options.command.empty()) return Usage("no command given");
  auto known = std::find_if(kCommands.begin(), kCommands.end(),
                           [&](const CommandSpec& c) { return options.command == c.name; });
  if (known == kCommands.end()) return Usage("unknown command " + options.command);
  if (options.arguments.size() != known->arguments)
    return Usage(options.command + (known->arguments ? " takes one argument" : " takes no argument"));
  if (!options.region.empty() && options.region != "tw" && options.region != "cn")
    return Usage("--region is tw or cn");
  if (!options.outDir.empty() && options.command != "split") return Usage("--out is for split");
  if (!options.server.empty() && !IsServerUrl(options.server))
    return Usage("--server needs an http:// or https:// address with a host, not " + options.server);
  return options;
}

}  // namespace mzt
