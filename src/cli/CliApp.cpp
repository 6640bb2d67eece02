#include "cli/CliApp.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "cli/Doctor.h"
#include "cli/CommandHandlers.h"
#include "cli/InterruptWatcher.h"
#include "common/JsonText.h"
#include "cli/ServerClient.h"
#include "cli/TerminalSurface.h"
#include "cli/VerboseHttpClient.h"
#include "common/ModuleVersion.h"
#include "common/PortSettings.h"
#include "common/TextFill.h"
#include "common/Timing.h"
#include "page/ControlIds.h"
#include "page/DeviceDatabase.h"
#include "page/DeviceReading.h"
#include "database/DatabaseLayout.h"
#include "database/DatabaseSplitter.h"
#include "page/MztUtilitySheet.h"
#include "page/PoiExport.h"
#include "page/ServerAnswer.h"
#include "page/VersionCheck.h"
#include "page/UpdateServerPages.h"
#include "page/UploadDBDlg.h"
#include "devicelink/DevicePort.h"
#include "devicelink/PortDiscovery.h"
#include "platform/CopyDataChannel.h"
#include "platform/DeviceEnumeration.h"
#include "platform/FileSystem.h"
#include "platform/HttpClient.h"
#include "platform/InputFile.h"
#include "platform/ProgramFolder.h"
#include "platform/SystemError.h"
#include "platform/Terminal.h"
#include "platform/TextCodec.h"
#include "platform/Translation.h"
#include "recording/RecordingHttpClient.h"
#include "recording/RecordingSerialPort.h"
#include "cli/ReplayCheck.h"

namespace mzt {
namespace fs = std::filesystem;
namespace {

// Results go to standard output, everything else to standard error.
// Arguments are UTF-8 on every platform (see CommandLineArguments); a path
// made from one must say so, or Windows reads it in its 8-bit code page.
fs::path ArgumentPath(const std::string& text) {
  return fs::path(std::u8string(text.begin(), text.end()));
}

void Say(const std::string& line) { std::printf("%s\n", line.c_str()); }
void Complain(const std::string& line) { std::fprintf(stderr, "mzt: %s\n", line.c_str()); }

int ExitStatusOf(FlowOutcome outcome) {
  switch (outcome) {
    case FlowOutcome::kSuccess:
    case FlowOutcome::kUpToDate:
      return kExitSuccess;
    case FlowOutcome::kNetworkFailure:
      return kExitNetworkFailure;
    case FlowOutcome::kInvalidDatabase:
      return kExitInvalidDatabase;
    case FlowOutcome::kDeclined:
      return kExitDeclined;
    case FlowOutcome::kTransferFailed:
      return kExitTransferFailed;
    case FlowOutcome::kFileError:
      return kExitFileError;
    case FlowOutcome::kNone:
    case FlowOutcome::kDeviceUnreachable:
      break;
  }
  return kExitDeviceUnreachable;
}

// Sentences as they cross the wire; data frames only by their size.
void PrintWire(CDevicePort::WireDirection direction, std::span<const uint8_t> bytes) {
  bool outgoing = direction == CDevicePort::WireDirection::kToDevice;
  if (outgoing && (bytes.empty() || bytes[0] != '$')) {
    std::fprintf(stderr, "> [data frame, %zu bytes]\n", bytes.size());
    return;
  }
  std::string text;
  for (uint8_t b : bytes) {
    if (b == '\r') text += "\\r";
    else if (b == '\n') text += "\\n";
    else if (b >= 0x20 && b < 0x7F) text += static_cast<char>(b);
    else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", b);
      text += hex;
    }
  }
  std::fprintf(stderr, "%c %s\n", outgoing ? '>' : '<', text.c_str());
}

// What the export saved of what the device holds; POI.csv is named only
// when lines were written to it.
void ReportPoiBackup(const PoiBackup& backup) {
  std::string saved = std::to_string(backup.saved);
  std::string where = backup.saved > 0 ? Fill(Tr(" to {1}"), {(DataFolder() / kPoiFileName).string()}) : "";
  if (backup.Complete()) {
    Say(backup.held == 0 ? Tr("No POIs in the device: nothing to save.")
                         : Fill(Tr("POIs: {1} of {1} saved{2}"), {saved, where}));
    return;
  }
  std::string summary = backup.CountKnown()
                            ? Fill(Tr("{1} of {2} POIs saved{3}"), {saved, std::to_string(backup.held), where})
                            : Fill(Tr("{1} POIs saved"), {saved});
  std::vector<std::string> reasons;
  if (!backup.CountKnown())
    reasons.push_back(Tr("the device did not tell how many POIs it holds (it does not for 100 or more)"));
  if (backup.unread > 0)
    reasons.push_back(Fill(Tr("{1} could not be read from the device"), {std::to_string(backup.unread)}));
  if (backup.fileFailed)
    reasons.push_back(backup.fileProblem.empty()
                          ? std::string(Tr("the POI file could not be written"))
                          : Fill(Tr("the POI file could not be written ({1})"), {backup.fileProblem}));
  std::string why;
  for (const auto& reason : reasons) why += (why.empty() ? "" : Tr("; ")) + reason;
  Complain(summary + ": " + why);
}

// Each detector with its identity; the "several detectors" error shows the same.
std::string IdentityLine(const UsbSerialPort& device) {
  return EscapeControls(device.portName) + "\t" +
         (device.serialNumber.empty() ? "-" : EscapeControls(device.serialNumber)) + "\t" +
         EscapeControls(device.friendlyName);
}

}  // namespace

int RunPorts(const CliOptions& options) {
  std::vector<UsbSerialPort> devices;
  std::string error;
  if (!FillDeviceList(devices, error)) {
    Complain(error);
    return kExitDeviceUnreachable;
  }
  if (options.json) {
    std::vector<JsonObject> items;
    for (const auto& device : devices)
      items.push_back(JsonObject()
                          .Add("port", device.portName)
                          .Add("serialNumber", device.serialNumber)
                          .Add("product", device.friendlyName));
    Say(JsonArray(items));
    return kExitSuccess;
  }
  if (devices.empty() && !options.quiet) std::fprintf(stderr, "%s\n", Tr("No device found."));
  for (const auto& device : devices) Say(IdentityLine(device));
  return kExitSuccess;
}

namespace {

// Says where the files are, or would be: asking creates nothing.
int ShowDataFolder() {
  fs::path data = ChosenDataFolder();
  auto settings = CheckedSettingsFile();
  std::error_code ec;
  std::string refused = data.empty()             ? Tr("no home folder is known for this user")
                        : fs::exists(data, ec) ? UnsafeFolderReason(data)
                                               : "";
  if (!refused.empty())
    Complain(data.empty() ? Fill(Tr("no data folder: {1}"), {refused})
                          : Fill(Tr("no data folder: refusing {1}: {2}"), {data.string(), refused}));
  if (!settings) Complain(Fill(Tr("no settings file: {1}"), {settings.Err().message}));
  if (!refused.empty() || !settings) return kExitFileError;
  Say(Fill(Tr("data folder: {1}"), {data.string()}));
  Say(Fill(Tr("settings file: {1}"), {settings.Value().string()}));
  return kExitSuccess;
}

// A missing or unreadable file is not an invalid database: it has a status of its own.
bool InputReadable(const fs::path& file) {
  std::error_code ec;
  if (fs::is_directory(file, ec)) {
    Complain(Fill(Tr("{1}: is a folder, not a database file"), {file.string()}));
    return false;
  }
  auto opened = InputFile::Open(file);
  if (!opened) Complain(opened.Err().message);
  return opened.Ok();
}

}  // namespace

int RunSplit(const CliOptions& options) {
  fs::path file = ArgumentPath(options.arguments[0]);
  if (!InputReadable(file)) return kExitInputFile;
  auto layout = InspectDatabase(file);
  if (!layout) {
    Complain(layout.Err().message);
    return kExitInvalidDatabase;
  }
  std::error_code ec;
  const fs::path outDir = ArgumentPath(options.outDir);
  if (!outDir.empty() && !fs::create_directories(outDir, ec) && ec) {
    Complain(options.outDir + ": " + ec.message());
    return kExitFileError;
  }
  auto split = DatabaseSplitter(outDir).SplitAll(file);
  if (!split) {
    bool ownInput = split.Err().code == ErrorCode::kInvalidArgument;
    Complain(split.Err().message + (ownInput ? " (--out DIR)" : ""));
    return split.Err().code == ErrorCode::kFormat ? kExitInvalidDatabase : kExitFileError;
  }
  const DeviceFiles& files = split.Value();
  for (const auto& path : {files.header, files.index, files.records}) Say(path.string());
  return kExitSuccess;
}

int RunSendCopyData(const CliOptions& options) {
  std::string text = WideToAnsi(Utf8ToWide(options.arguments[0]));
  text.push_back('\0');
  auto answer = SendCopyData(CopyDataSocketPath(), 1,
                             std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  if (!answer && answer.Err().code == ErrorCode::kTooLarge) {
    Complain(Fill(Tr("the text is longer than {1} bytes"), {std::to_string(kMaxCopyDataBytes - 1)}));
    return kExitUsage;
  }
  if (!answer) {
    Complain(answer.Err().message);
    return answer.Err().code == ErrorCode::kBusy ? kExitDesktopBusy : kExitNoDesktopProgram;
  }
  Say(answer.Value() ? Tr("Accepted.") : Tr("Refused."));
  return answer.Value() ? kExitSuccess : kExitDeclined;
}

namespace {

// Picks the port on the page's list: --port, else the settings file's port,
// else the only one found.
bool SelectPort(IControlSurface& surface, const CliOptions& options) {
  std::string wanted = options.port;
  if (!wanted.empty()) wanted = PortNameFromUser(wanted);
  if (wanted.empty()) {
    std::string stored = LoadPortSettings(SettingsFilePath()).portNumber;
    if (IsCharacterDevice(stored)) wanted = stored;
  }
  int count = surface.ListCount(ids::kPortList);
  if (wanted.empty()) {
    if (count == 1) {
      surface.SelectListItem(ids::kPortList, 0);
      return true;
    }
    std::string found;
    std::vector<UsbSerialPort> devices;
    std::string error;
    FillDeviceList(devices, error);
    for (int i = 0; i < count; ++i) {
      std::string port = WideToUtf8(surface.ListItem(ids::kPortList, i));
      auto device = std::find_if(devices.begin(), devices.end(),
                                 [&](const UsbSerialPort& d) { return d.portName == port; });
      found += "\n  " + (device != devices.end() ? IdentityLine(*device) : port);
    }
    Complain(count == 0 ? std::string(Tr("no device port found; connect the device or give --port"))
                        : Tr("several detectors found; choose one with --port:") + found);
    return false;
  }
  std::wstring entry = Utf8ToWide(wanted);
  for (int i = 0; i < count; ++i) {
    if (surface.ListItem(ids::kPortList, i) == entry) {
      surface.SelectListItem(ids::kPortList, i);
      return true;
    }
  }
  surface.AddListItem(ids::kPortList, entry);
  surface.SelectListItem(ids::kPortList, count);
  return true;
}

// A listing cut short still has the version the device reported.
bool HoldsAVersion(const PageState& state) {
  return state.deviceDatabase == DeviceDatabase::kComplete || state.deviceDatabase == DeviceDatabase::kUnknown;
}

// "202501150003", empty when the device holds no database.
std::string DeviceVersionText(const PageState& state) {
  const DatabaseVersion& version = state.deviceVersion;
  char text[24] = "";
  if (HoldsAVersion(state))
    std::snprintf(text, sizeof text, "%d%02d%02d%04d", version.year, version.month, version.day, version.number);
  return text;
}

// What a device command's result is made of once its flow has ended.
struct DeviceRun {
  const CliOptions& options;
  const std::string& server;
  const PageState& state;
};

void PrintQuery(const DeviceRun& run) {
  const CliOptions& options = run.options;
  const PageState& state = run.state;
  const std::string& firmware = state.firmwareVersion;
  if (!options.json) {
    Say(Tr("Firmware version: ") + EscapeControls(firmware));
    Say(Tr("Database version: ") + EscapeControls(WideToUtf8(HeldDatabaseText(state, false))));
    Say(Tr("Database region: ") + WideToUtf8(HeldRegionText(state)));
    return;
  }
  const DatabaseVersion& version = state.deviceVersion;
  bool none = !HoldsAVersion(state);
  char date[16] = "";
  if (!none) std::snprintf(date, sizeof date, "%04d-%02d-%02d", version.year, version.month, version.day);
  std::string region = state.deviceRegionCode == "TW" ? "tw" : state.deviceRegionCode == "CN" ? "cn" : "";
  Say(JsonObject()
          .Add("port", state.portName)
          .Add("firmwareVersion", firmware)
          .Add("databaseVersion", DeviceVersionText(state))
          .Add("databaseDate", date)
          .Add("databaseNumber", none ? 0 : int64_t{version.number})
          .AddFlag("databaseComplete", state.deviceDatabase == DeviceDatabase::kComplete)
          .Add("databaseState", DeviceDatabaseName(state.deviceDatabase))
          .Add("region", region)
          .Text());
}

// The version check for the device's database, and nothing more.
int CheckForNewerDatabase(const DeviceRun& run) {
  const CliOptions& options = run.options;
  const PageState& state = run.state;
  // --json: one object once the server has answered; errors stay on standard error.
  auto result = [&](const std::string& offered, bool newer) {
    if (!options.json) {
      Say(newer ? Fill(Tr("server: {1} (newer)"), {EscapeControls(offered)}) : std::string(Tr("server: nothing newer")));
      return;
    }
    Say(JsonObject()
            .Add("port", state.portName)
            .Add("databaseVersion", DeviceVersionText(state))
            .Add("databaseState", DeviceDatabaseName(state.deviceDatabase))
            .Add("serverVersion", offered)
            .AddFlag("newer", newer)
            .Text());
  };
  if (!options.json) Say(Fill(Tr("device: {1}"), {EscapeControls(WideToUtf8(HeldDatabaseText(state, false)))}));
  // A device without regions takes Taiwan's database only, as the update does.
  int region = VersionCheckRegion(options.region == "cn" ? 1 : 0, state.firmware.regionCapable);
  std::string url = VersionCheckUrl(run.server, region, state.deviceVersion);
  auto made = MakeServerClient(url, options.verbose);
  if (!made) {
    Complain(made.Err().message);
    return kExitNetworkFailure;
  }
  auto checked = AskVersionCheck(*made.Value().client, url);
  if (!checked) {
    Complain(Fill(Tr("the version check ({1}) failed: {2}"), {url, checked.Err().message}));
    return kExitNetworkFailure;
  }
  const VersionCheckAnswer& check = checked.Value();
  switch (check.verdict) {
    case VersionVerdict::kNewer:
      result(check.Offered(), true);
      return kExitNewerDatabase;
    case VersionVerdict::kNothingNewer:
      result("", false);
      return kExitSuccess;
    case VersionVerdict::kNoDatabase:
      Complain(WideToUtf8(ServerAnswerMessage(check.answer.code)));
      break;
    case VersionVerdict::kMalformedVersion:
    case VersionVerdict::kUnanswered:
      Complain(check.Problem(url));
      break;
  }
  return kExitNetworkFailure;
}

// What a device command adds to the common run: its check before the device
// is touched, its start on the page and its result once the flow has ended.
struct DeviceFlow {
  bool asksServer = false;  // check and update: the server is chosen first
  std::string recovery = "mzt update";  // what brings the device back after a stop
  // A status other than kExitSuccess ends the command before the port.
  std::function<int()> prepare = {};
  std::function<int(CUploadDBDlg& page, TerminalSurface& surface)> start = {};
  // The command's result of a flow that ended `outcome`; `status` without one.
  std::function<int(const DeviceRun& run, FlowOutcome outcome, int status)> finish = {};
};

// The session's recorder for --record; none without it.
std::shared_ptr<SessionRecorder>& Recorder() {
  static std::shared_ptr<SessionRecorder> recorder;
  return recorder;
}

bool BeginRecording(const CliOptions& options) {
  if (options.record.empty()) return true;
  auto made = SessionRecorder::Create(ArgumentPath(options.record),
                                      RecordingOptions{options.recordData, options.anonymise});
  if (!made) {
    Complain(made.Err().message);
    return false;
  }
  Recorder() = std::move(made).Value();
  Recorder()->Begin(options.given);
  return true;
}

int RunDeviceFlow(const CliOptions& options, const DeviceFlow& flow) {
  if (!BeginRecording(options)) return kExitFileError;
  if (flow.prepare) {
    if (int status = flow.prepare(); status != kExitSuccess) return status;
  }
  const std::string& recovery = flow.recovery;
  // A server setting that names no server is said before the device is touched.
  std::string server;
  if (flow.asksServer) {
    auto chosen = ChosenServer(options);
    if (!chosen) {
      Complain(chosen.Err().message);
      return kExitUsage;
    }
    server = chosen.Value().url;
  }

  std::atomic<bool> stopping{false};
  TerminalSurface::Options terminal;
  terminal.yesToAll = options.yes;
  // A question is asked only where the user sees it and can answer it.
  terminal.interactiveInput = IsInteractiveInput() && IsInteractiveOutput();
  terminal.interactiveOutput = RedrawsInPlace();
  terminal.colour = ColourWanted();
  terminal.quiet = options.quiet;
  terminal.stopRequested = [&stopping] { return stopping.load(); };
  TerminalSurface surface(terminal);

  std::shared_ptr<SessionRecorder> recorder = Recorder();
  auto slot = std::make_shared<RecorderSlot>();
  slot->Set(recorder);
  auto link = std::make_unique<CDevicePort>(recorder ? MakeRecordingSerialPort(CreateSerialPort(), slot)
                                                     : CreateSerialPort());
  if (options.verbose) link->SetWireObserver(PrintWire);
  CDevicePort& port = *link;
  // The terminal hears the flows' report itself.
  CMZTUtilitySheet sheet(surface, std::move(link), &surface);
  CUploadDBDlg& page = sheet.Page();
  if (!server.empty()) page.SetServerUrl(server);
  if (options.verbose || recorder)
    page.SetHttpClientFactory([verbose = options.verbose, recorder, slot] {
      std::unique_ptr<IHttpClient> client = CreateHttpClient();
      if (recorder) client = MakeRecordingHttpClient(std::move(client), slot);
      return verbose ? MakeVerboseHttpClient(std::move(client)) : std::move(client);
    });

  page.OnInitDialog();
  page.OnShowWindow();
  if (!SelectPort(surface, options)) return kExitDeviceUnreachable;
  if (options.region == "cn") surface.SelectListItem(ids::kRegionList, 1);
  page.OnPortSelectionChange();

  InterruptWatcher::Hooks hooks;
  hooks.deviceChange = [&page] { return page.State().deviceChange.load(); };
  hooks.promptTakes = [&surface](int count) { return surface.TakesInterrupt(count); };
  hooks.stopDeviceChange = [&port, &stopping] {
    stopping = true;
    port.RequestStop();
  };
  hooks.removeWorkFiles = [&page] { page.DiscardWorkFolder(); };
  hooks.beforeExit = [recorder](int status) {
    if (recorder) recorder->End(status);
  };
  hooks.recovery = recovery;
  InterruptWatcher watcher(std::move(hooks));

  if (int status = flow.start(page, surface); status != kExitSuccess) return status;
  page.WaitForIdle();
  watcher.Stop();
  if (watcher.Stopping()) {
    Complain(Fill(Tr("stopped; {1}"), {InterruptWatcher::RecoveryText(recovery)}));
    return kExitInterrupted;
  }

  FlowOutcome outcome = surface.LastOutcome();
  if (surface.ReplugAbandoned()) {
    outcome = FlowOutcome::kTransferFailed;
    Complain(InterruptWatcher::RecoveryText(recovery));
  }
  int status = ExitStatusOf(outcome);
  if (status != kExitSuccess && !surface.Unsaid().empty()) Complain(EscapeControls(surface.Unsaid()));
  return flow.finish ? flow.finish(DeviceRun{options, server, page.State()}, outcome, status) : status;
}

int StartQuery(CUploadDBDlg& page, TerminalSurface&) {
  page.OnQueryButton();
  return kExitSuccess;
}

}  // namespace

int RunQuery(const CliOptions& options) {
  return RunDeviceFlow(options, {.start = StartQuery, .finish = [](const DeviceRun& run, FlowOutcome outcome, int status) {
                                   if (outcome == FlowOutcome::kSuccess) PrintQuery(run);
                                   return status;
                                 }});
}

int RunCheck(const CliOptions& options) {
  return RunDeviceFlow(options, {.asksServer = true, .start = StartQuery,
                                 .finish = [](const DeviceRun& run, FlowOutcome outcome, int status) {
                                   return outcome == FlowOutcome::kSuccess ? CheckForNewerDatabase(run) : status;
                                 }});
}

int RunUpdate(const CliOptions& options) {
  return RunDeviceFlow(options, {.asksServer = true, .start = [&options](CUploadDBDlg& page, TerminalSurface& surface) {
                                   // The window warns before an update; here the user sees what
                                   // replaces what first, unless --yes or nobody can answer.
                                   page.AskBeforeOnlineUpdate(surface.AsksQuestions() && !options.yes);
                                   page.OnUpdateButton();
                                   return int{kExitSuccess};
                                 }});
}

int RunUpload(const CliOptions& options) {
  const fs::path file = fs::absolute(ArgumentPath(options.arguments[0]));
  return RunDeviceFlow(options, {.recovery = "mzt upload " + file.string(),
                                 .prepare = [&file] { return InputReadable(file) ? kExitSuccess : kExitInputFile; },
                                 .start = [&file](CUploadDBDlg& page, TerminalSurface&) {
                                   auto layout = InspectDatabase(file);
                                   if (!layout) {
                                     Complain(layout.Err().message);
                                     return int{kExitInvalidDatabase};
                                   }
                                   page.SetOfflineDatabase(file);
                                   page.OnUpdateButton();
                                   return int{kExitSuccess};
                                 }});
}

int RunClearPoi(const CliOptions& options) {
  return RunDeviceFlow(options, {.start = [](CUploadDBDlg& page, TerminalSurface&) {
                                   page.OnClearPoiButton();
                                   return int{kExitSuccess};
                                 }});
}

int RunExportPoi(const CliOptions& options) {
  return RunDeviceFlow(options, {.start = [](CUploadDBDlg& page, TerminalSurface&) {
                                   page.OnExportPoiAction();
                                   return int{kExitSuccess};
                                 },
                                 .finish = [](const DeviceRun& run, FlowOutcome, int status) {
                                   if (run.state.poiBackup) ReportPoiBackup(*run.state.poiBackup);
                                   return status;
                                 }});
}

namespace {

// --serial: the port that `mzt ports` shows for that serial number.
Result<std::string> PortOfSerial(const std::string& serial) {
  std::vector<UsbSerialPort> devices;
  std::string error;
  if (!FillDeviceList(devices, error)) return Error{ErrorCode::kNotFound, error};
  std::string present;
  for (const auto& device : devices) {
    if (device.serialNumber == serial) return device.portName;
    if (!device.serialNumber.empty()) present += (present.empty() ? "" : ", ") + EscapeControls(device.serialNumber);
  }
  return Error{ErrorCode::kNotFound,
               present.empty()
                   ? Fill(Tr("no detector with USB serial number {1}; none with a serial number is attached"),
                          {EscapeControls(serial)})
                   : Fill(Tr("no detector with USB serial number {1}; the serial numbers present: {2}"),
                          {EscapeControls(serial), present})};
}

}  // namespace

int RunHelp(const CliOptions& options) {
  std::fputs(CommandHelpText(options.arguments.empty() ? "help" : options.arguments[0]).c_str(), stdout);
  return kExitSuccess;
}

namespace {

int RunCommand(CliOptions options) {
  PrepareConsole();
  if (options.help) {
    std::fputs(CommandHelpText(options.command).c_str(), stdout);
    return kExitSuccess;
  }
  if (options.version) {
    Say(ProgramTitle());
    return kExitSuccess;
  }
  InitTimingFromEnvironment();
  InstallInterruptHandler();
  if (!options.dataDir.empty()) SetDataFolderOverride(fs::absolute(ArgumentPath(options.dataDir)));
  if (options.showDataDir) return ShowDataFolder();
  if (!options.serial.empty()) {
    auto port = PortOfSerial(options.serial);
    if (!port) {
      Complain(port.Err().message);
      return kExitDeviceUnreachable;
    }
    options.port = port.Value();
  }
  return HandlerOf(options.command)(options);
}

// Results that did not reach standard output (a full disk, a closed pipe)
// are a failure, though the command itself succeeded.
int CloseStandardOutput(int status) {
  bool failed = std::ferror(stdout) != 0;
  errno = 0;
  if (std::fclose(stdout) != 0) failed = true;
  if (!failed) return status;
  // The system's text in the user's language (std::generic_category's is always English).
  Complain(errno != 0 ? Fill(Tr("the results could not be written to standard output: {1}"), {SystemErrorText(errno)})
                      : std::string(Tr("the results could not be written to standard output")));
  return status == kExitSuccess ? kExitFileError : status;
}

}  // namespace

int RunCli(const CliOptions& options) {
  int status = CloseStandardOutput(RunCommand(options));
  if (Recorder()) Recorder()->End(status);
  return status;
}

}  // namespace mzt
