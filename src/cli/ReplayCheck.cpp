#include "cli/ReplayCheck.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/BuildConfig.h"
#include "common/TextFill.h"
#include "page/UpdateServerPages.h"
#include "platform/ChildProcess.h"
#include "platform/Process.h"
#include "platform/ProgramFolder.h"
#include "platform/Translation.h"
#include "recording/SessionFile.h"

namespace mzt {
namespace fs = std::filesystem;
namespace {

constexpr std::chrono::seconds kStartTime{10};

void Tell(const std::string& line) { std::fprintf(stderr, "mzt: %s\n", line.c_str()); }

// $MZT_DEVSIM (or $MZT_UPDSERVER), else the program beside this one.
fs::path ToolPath(const char* variable, const char* name) {
  if (const char* given = std::getenv(variable); given && *given) return given;
  auto folder = GetModuleDirectory();
  return folder ? *folder / name : fs::path(name);
}

// The writes of a session that reached the device, in order. Writes made
// between an unplug and the next opening went nowhere, and how many the
// program tries depends on where the system tells it of the unplug (Linux on
// the next read, Windows already on the write that was draining), so a
// session recorded on one system replays on the other.
std::vector<const SessionLine*> Writes(const RecordedSession& session) {
  std::vector<const SessionLine*> writes;
  bool gone = false;
  for (const SessionLine& line : session.lines) {
    if (line.kind == "unplug") gone = true;
    else if (line.kind == "open") gone = false;
    else if (line.kind == "tx" && !gone) writes.push_back(&line);
  }
  return writes;
}

bool SameWrite(const SessionLine& a, const SessionLine& b) {
  if (a.IsFrame() != b.IsFrame()) return false;
  if (a.IsFrame()) return a.Number("frame") == b.Number("frame") && a.Text("sha256") == b.Text("sha256");
  return a.bytes == b.bytes;
}

// A temporary folder of this run, removed at the end.
class Scratch {
 public:
  Scratch() {
    path_ = fs::temp_directory_path() / ("mzt-replay-" + std::to_string(CurrentProcessId()));
    std::error_code ec;
    fs::remove_all(path_, ec);
    fs::create_directories(path_ / "home", ec);
    fs::permissions(path_, fs::perms::owner_all, ec);
    fs::permissions(path_ / "home", fs::perms::owner_all, ec);
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

}  // namespace

int RunReplayCheck(const CliOptions& options) {
  const fs::path file = options.arguments[0];
  auto read = ReadSession(file);
  if (!read) {
    Tell(read.Err().message);
    return kExitInputFile;
  }
  const RecordedSession& session = read.Value();
  auto recorded = ParseCommandLine(session.command);
  if (!recorded || recorded.Value().command == "replay-check") {
    Tell(Fill(Tr("{1}: the recorded command is not one to replay"), {file.string()}));
    return kExitInputFile;
  }
  const CliOptions& then = recorded.Value();
  bool usesServer = false;
  for (const SessionLine& line : session.lines) usesServer = usesServer || line.kind == "http";
  if (then.command == "upload" && options.database.empty()) {
    Tell(Tr("the session installed a database file: give it with --database FILE"));
    return kExitUsage;
  }

  Scratch scratch;
  const fs::path port = scratch.Path() / "port";
  const fs::path sysfs = scratch.Path() / "sys";
  const fs::path again = scratch.Path() / "again.jsonl";
  char scale[32];
  std::snprintf(scale, sizeof scale, "%g", session.timeScale);
  // The program's time-outs and the device's pauses as they were, whatever
  // the caller's $MZT_TIME_SCALE: a device at another pace than the program
  // it answers would make a session that passed fail.
  const std::string programScale = std::string("MZT_TIME_SCALE=") + scale;

  auto device = ChildProcess::Start({ToolPath("MZT_DEVSIM", "mzt-devsim").string(), "--replay", file.string(),
                                     "--link", port.string(), "--sysfs-root", sysfs.string()},
                                    {programScale}, true);
  if (!device) {
    Tell(Fill(Tr("the simulated device did not start: {1}"), {device.Err().message}));
    return kExitDeviceUnreachable;
  }
  if (auto ready = device.Value().ReadLine(kStartTime); !ready) {
    Tell(Fill(Tr("the simulated device did not start: {1}"), {ready.Err().message}));
    return kExitDeviceUnreachable;
  }
  ChildProcess server;
  std::string serverUrl;
  if (usesServer) {
    std::vector<std::string> command{ToolPath("MZT_UPDSERVER", "mzt-updserver").string(), "--replay", file.string(),
                                     "--port", "0"};
    if (!options.database.empty()) command.insert(command.end(), {"--database", options.database});
    auto started = ChildProcess::Start(command, {}, true);
    auto url = started ? started.Value().ReadLine(kStartTime) : Result<std::string>(started.Err());
    if (!url) {
      Tell(Fill(Tr("the local update server did not start: {1}"), {url.Err().message}));
      return kExitNetworkFailure;
    }
    server = std::move(started).Value();
    // The recorded server's path below this one's address, as the program asked for it then.
    std::string base = then.server;
    if (base.empty()) {
      auto configured = ConfiguredUpdateServer();
      base = configured ? configured.Value().url : kDefaultUpdateServerUrl;
    }
    size_t path = base.find('/', base.find("://") == std::string::npos ? 0 : base.find("://") + 3);
    serverUrl = url.Value() + (path == std::string::npos ? "" : base.substr(path + 1));
  }

  auto self = GetModuleDirectory();
  std::vector<std::string> command{(self ? *self / "mzt" : fs::path("mzt")).string(), then.command};
  command.insert(command.end(), then.arguments.begin(), then.arguments.end());
  if (then.command == "upload") command.back() = options.database;
  command.insert(command.end(), {"--port", port.string(), "--data-dir", (scratch.Path() / "home").string(),
                                 "--record", again.string()});
  if (!then.region.empty()) command.insert(command.end(), {"--region", then.region});
  if (!serverUrl.empty()) command.insert(command.end(), {"--server", serverUrl});
  if (then.yes) command.push_back("--yes");
  if (then.json) command.push_back("--json");
  auto program = ChildProcess::Start(command,
                                     {programScale, "MZT_SYSFS_ROOT=" + sysfs.string(),
                                      "MZT_HOME=" + (scratch.Path() / "home").string()},
                                     false);
  if (!program) {
    Tell(Fill(Tr("mzt did not start: {1}"), {program.Err().message}));
    return kExitUsage;
  }
  int status = program.Value().Wait();
  device.Value().Terminate();
  int deviceStatus = device.Value().Wait();
  server.Terminate();
  server.Wait();

  std::vector<std::string> differences;
  if (deviceStatus != 0) differences.push_back(Tr("the simulated device stopped the replay (its message is above)"));
  auto replayed = ReadSession(again);
  if (!replayed) {
    differences.push_back(Fill(Tr("the replay's own recording cannot be read: {1}"), {replayed.Err().message}));
  } else {
    auto before = Writes(session), now = Writes(replayed.Value());
    size_t i = 0;
    while (i < before.size() && i < now.size() && SameWrite(*before[i], *now[i])) ++i;
    if (i < before.size() || i < now.size())
      differences.push_back(Fill(Tr("write {1} differs: then {2}; now {3}"),
                                 {std::to_string(i + 1),
                                  i < before.size() ? DescribeLine(*before[i]) : Tr("nothing more"),
                                  i < now.size() ? DescribeLine(*now[i]) : Tr("nothing more")}));
  }
  if (!session.exitStatus) {
    differences.push_back(Fill(Tr("the recording has no end (the program was killed then); it ended with {1} now"),
                               {std::to_string(status)}));
  } else if (*session.exitStatus != status) {
    differences.push_back(Fill(Tr("the program ended with exit status {1}, then with {2}"),
                               {std::to_string(status), std::to_string(*session.exitStatus)}));
  }
  size_t writes = Writes(session).size();
  if (differences.empty()) {
    std::printf("%s\n", Fill(Tr("replay-check: {1}: the same: {2} writes in the recorded order, exit status {3} as recorded"),
                             {file.string(), std::to_string(writes), std::to_string(status)}).c_str());
    return kExitSuccess;
  }
  std::printf("%s\n", Fill(Tr("replay-check: {1}: differs:"), {file.string()}).c_str());
  for (const std::string& difference : differences) std::printf("  %s\n", difference.c_str());
  return kExitReplayDiffers;
}

}  // namespace mzt
