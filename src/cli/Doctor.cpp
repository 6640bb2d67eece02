#include "cli/Doctor.h"

#include <algorithm>
#include <optional>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "common/JsonText.h"
#include "cli/ServerClient.h"
#include "common/PortSettings.h"
#include "devicelink/PortDiscovery.h"
#include "page/PageState.h"
#include "page/VersionCheck.h"
#include "page/UpdateServerPages.h"
#include "platform/DeviceAccess.h"
#include "platform/DeviceEnumeration.h"
#include "platform/ProgramFolder.h"
#include "platform/SerialPort.h"

namespace mzt {
namespace {

constexpr const char* kRuleFile = "60-mzt-utility.rules";

// Findings carry the device's names and the server's texts: escaped on a
// terminal, quoted in JSON (printed whole at the end).
class Report {
 public:
  explicit Report(bool json) : json_(json) {}
  void Heading(const std::string& text) {
    if (json_) sections_.push_back({text, {}});
    else Print("", text);
  }
  void Fine(const std::string& text) { Finding("ok", text, ""); }
  void Problem(const std::string& text, const std::string& fix) {
    ++problems_;
    Finding("problem", text, fix);
  }
  // Does not keep an update from running, but may spoil one.
  void Warning(const std::string& text, const std::string& fix) { Finding("warning", text, fix); }
  int Problems() const { return problems_; }
  void End(bool couldRun) const {
    if (json_) {
      std::vector<JsonObject> sections;
      for (const auto& [subject, findings] : sections_)
        sections.push_back(JsonObject().Add("subject", subject).Add("findings", findings));
      std::printf("%s\n", JsonObject()
                              .AddFlag("updateCouldRun", couldRun)
                              .Add("problems", int64_t{problems_})
                              .Add("sections", sections)
                              .Text()
                              .c_str());
    } else if (couldRun) {
      std::printf("An update could run.\n");
    } else {
      std::printf("An update cannot run: %d problem%s.\n", problems_, problems_ == 1 ? "" : "s");
    }
  }

 private:
  void Finding(const char* kind, const std::string& text, const std::string& fix) {
    if (!json_) {
      Print(("  " + std::string(kind) + ": ").c_str(), fix.empty() ? text : text + "\n    fix: " + fix);
      return;
    }
    if (sections_.empty()) sections_.push_back({"", {}});
    sections_.back().second.push_back(JsonObject().Add("kind", kind).Add("text", text).Add("fix", fix));
  }
  static void Print(const char* kind, const std::string& text) {
    std::printf("%s%s\n", kind, EscapeControls(text, true).c_str());
  }
  bool json_;
  int problems_ = 0;
  std::vector<std::pair<std::string, std::vector<JsonObject>>> sections_;
};

// The port asked for, else the settings file's port and every detector found.
std::vector<std::string> CandidatePorts(const CliOptions& options, Report& report) {
  if (!options.port.empty()) return {PortNameFromUser(options.port)};
  std::vector<std::string> ports;
  std::string stored = LoadPortSettings(SettingsFilePath()).portNumber;
  if (IsCharacterDevice(stored)) ports.push_back(stored);
  std::vector<UsbSerialPort> found;
  std::string error;
  if (!FillDeviceList(found, error)) {
    report.Heading("Detectors:");
    report.Problem("the USB serial ports could not be listed (" + error + ")",
                   DeviceListingFix());
  }
  for (const auto& device : found)
    if (std::find(ports.begin(), ports.end(), device.portName) == ports.end())
      ports.push_back(device.portName);
  return ports;
}

// The rule to copy is one the user has: the program's own copy, else the
// one in the sources' packaging folder.
std::string InstallRuleFix() {
  std::string copy = UdevRuleCopy();
  std::string from = copy.empty() ? std::string(" from the program's sources") : "";
  if (copy.empty()) copy = std::string("packaging/") + kRuleFile;
  return std::string("install the udev rule ") + kRuleFile + from + " (sudo cp " + copy +
         " /etc/udev/rules.d/ && sudo udevadm control --reload, then replug)";
}

// Joining the node's group helps only when the group may read and write it.
std::string PermissionFix(const PortPermission& permission, bool groupMay, const std::string& rule) {
  std::string group = groupMay && !permission.inGroup
                          ? ", or: sudo usermod -aG " + permission.group + " $USER, then log in again"
                          : "";
  if (!rule.empty())
    return "unplug the detector and plug it in again (the rule " + rule + " applies at plug-in)" + group;
  return InstallRuleFix() + group;
}

// True when an update could use the port.
bool CheckPort(const std::string& port, const std::optional<std::string>& udevRule, bool modemManager,
               Report& report) {
  const bool systemHasUdev = udevRule.has_value();
  const std::string rule = udevRule.value_or("");
  auto identity = UsbSerialPortOf(port);
  std::string heading = "Port " + port;
  if (identity) {
    heading += ": " + identity->friendlyName;
    heading += identity->serialNumber.empty() ? ", no USB serial number"
                                              : ", USB serial number " + identity->serialNumber;
  }
  report.Heading(heading);

  PortPermission permission = InspectPortPermission(port);
  if (!permission.exists) {
    report.Problem("the port does not exist (the detector is not plugged in, or is another port)",
                   "plug the detector in and turn it on; `mzt ports` lists the detectors found");
    return false;
  }
  if (!identity)
    report.Warning("the port is not a USB detector known to the system",
                   "check the port name; `mzt ports` lists the detectors found");
  else if (identity->friendlyName.compare(0, 7, kDeviceNamePrefix) != 0)
    report.Warning("the device on the port is no detector (" + identity->friendlyName + ")",
                   "give the detector's port with --port; `mzt ports` lists the detectors found");
  else
    report.Fine("the detector is there");

  if (!permission.mayOpen) {
    // The mode's group bits: "crw-rw----" gives the group read and write.
    bool groupMay = permission.mode.size() >= 7 && permission.mode.compare(4, 2, "rw") == 0;
    std::string why = "user " + CurrentUserName() + " may not open it (" + permission.mode + " " +
                      permission.owner + ":" + permission.group + "; " +
                      (!permission.inGroup ? "not a member of " + permission.group
                       : groupMay          ? "a member of " + permission.group
                                           : "its group " + permission.group + " may not write it") +
                      "; no access list entry for this user; " +
                      (rule.empty() ? "the udev rule is not installed)" : "the udev rule is installed)");
    report.Problem(why, PermissionFix(permission, groupMay, rule));
    return false;
  }
  std::string how = permission.aclGrantsUser ? "by its access list"
                    : permission.isOwner     ? "as its owner"
                    : permission.inGroup     ? "as a member of " + permission.group
                                             : "by its mode " + permission.mode;
  report.Fine("user " + CurrentUserName() + " may open it (" + how + ")");

  bool usable = true;
  auto serial = CreateSerialPort();
  auto opened = serial->Open(port, 115200);
  serial->Close();
  if (opened) {
    report.Fine("no other program holds it");
  } else if (opened.Err().code == ErrorCode::kBusy) {
    std::string holders;
    for (const auto& program : ProgramsHoldingPort(port))
      holders += (holders.empty() ? " (" : ", ") + program.name + ", process " +
                 std::to_string(program.processId);
    if (!holders.empty()) holders += ")";
    report.Problem("another program holds it" + holders,
                   "close that program (a terminal program, another mzt or mzt-utility) and try again");
    usable = false;
  } else {
    std::string advice = PortOpenAdvice(opened.Err());
    report.Problem(opened.Err().message, advice.empty() ? "unplug the detector, plug it in again and retry" : advice);
    usable = false;
  }

  if (!systemHasUdev) return usable;  // no ModemManager either
  if (!modemManager) {
    report.Fine("ModemManager is not running");
  } else if (IsPortIgnoredByModemManager(port)) {
    report.Fine("ModemManager runs but leaves this port alone");
  } else {
    report.Warning("ModemManager runs and may probe the port, which garbles the link",
                   (rule.empty() ? InstallRuleFix() : std::string("unplug the detector and plug it in again")) +
                       ", or: sudo systemctl stop ModemManager");
  }
  return usable;
}

// Where the server's address came from, as the user would change it.
std::string ServerOrigin(ServerSource source, const std::string& settings) {
  switch (source) {
    case ServerSource::kCommandLine: return "from --server";
    case ServerSource::kEnvironment: return std::string("from ") + kUpdateServerVariable;
    case ServerSource::kSettingsFile: return "from " + settings;
    case ServerSource::kBuildDefault: break;
  }
  return "the build's default";
}

// True when the server's version check answers.
bool CheckServer(const CliOptions& options, Report& report) {
  const std::filesystem::path settingsFile = SettingsFilePath();
  const std::string settings =
      "[Update] Server= in " + (settingsFile.empty() ? std::string("MZTConfig.ini") : settingsFile.string());
  auto chosen = ChosenServer(options);
  if (!chosen) {
    report.Heading("Update server:");
    report.Problem(chosen.Err().message, "give an http:// or https:// address there, or remove it");
    return false;
  }
  const std::string& server = chosen.Value().url;
  report.Heading("Update server " + server + " (" + ServerOrigin(chosen.Value().source, settings) + ")");
  if (IsLoopbackServer(server))
    report.Warning("the address is this computer's own (loopback): a test server, not the detector maker's",
                   std::string("name the update server in ") + kUpdateServerVariable + " or " + settings);
  std::string url = VersionCheckUrl(server, options.region == "cn" ? 1 : 0, DatabaseVersion{});
  auto made = MakeServerClient(url, options.verbose);
  if (!made) {
    report.Problem(made.Err().message, "correct http_proxy / https_proxy, or unset them for a direct connection");
    return false;
  }
  const auto& proxy = made.Value().proxy.proxy;
  const ProxySetting& setting = made.Value().proxy.setting;
  if (proxy)
    report.Fine("proxy " + ProxyDisplayText(*proxy) +
                (setting.bypassList.empty() ? "" : ", not for " + setting.bypassList));
  else
    report.Fine(setting.proxyText.empty()
                    ? "no proxy: a direct connection"
                    : "no proxy (\"" + MaskProxyPassword(setting.proxyText) +
                          "\" names none): a direct connection");
  auto checked = AskVersionCheck(*made.Value().client, url);
  const std::string fix = proxy ? "check the network and the proxy (http_proxy, no_proxy); --server names another server"
                                : "check the network (a proxy goes in http_proxy); --server names another server";
  if (!checked) {
    report.Problem("the server does not answer: " + checked.Err().message, fix);
    return false;
  }
  const VersionCheckAnswer& check = checked.Value();
  if (check.status != 200) {
    report.Problem("the server answered HTTP status " + std::to_string(check.status), fix);
    return false;
  }
  if (check.verdict == VersionVerdict::kUnanswered) {
    report.Problem("the server's answer is not an update server's", fix);
    return false;
  }
  // The update refuses such a version: a server that gives one cannot update.
  if (check.verdict == VersionVerdict::kMalformedVersion) {
    report.Problem("the server's version is no date and number: " + check.body, fix);
    return false;
  }
  report.Fine(check.verdict == VersionVerdict::kNewer ? "the server answers; its newest database: " + check.Offered()
                                                      : "the server answers");
  return true;
}

}  // namespace

int RunDoctor(const CliOptions& options) {
  Report report(options.json);
  std::optional<std::string> rule = InstalledUdevRule();
  bool modemManager = rule && IsProgramRunning("ModemManager");
  bool portUsable = false;
  std::vector<std::string> ports = CandidatePorts(options, report);
  if (ports.empty()) {
    report.Heading("Detectors:");
    report.Problem("no detector found",
                   "plug the detector in with a data cable and turn it on; if it still is not "
                   "listed, check `dmesg` for a cdc_acm port");
  }
  for (const auto& port : ports) portUsable = CheckPort(port, rule, modemManager, report) || portUsable;
  if (rule) report.Heading(rule->empty() ? "udev rule: not installed" : "udev rule: " + *rule);
  bool serverAnswers = CheckServer(options, report);
  bool couldRun = portUsable && serverAnswers;
  report.End(couldRun);
  return couldRun ? kExitSuccess : kExitProblemsFound;
}

}  // namespace mzt
