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
#include "common/TextFill.h"
#include "devicelink/PortDiscovery.h"
#include "page/PageState.h"
#include "page/VersionCheck.h"
#include "page/UpdateServerPages.h"
#include "platform/DeviceAccess.h"
#include "platform/DeviceEnumeration.h"
#include "platform/ProgramFolder.h"
#include "platform/SerialPort.h"
#include "platform/Translation.h"

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
      std::printf("%s\n", Tr("An update could run."));
    } else {
      std::printf("%s\n", problems_ == 1 ? Tr("An update cannot run: 1 problem.")
                                         : Fill(Tr("An update cannot run: {1} problems."),
                                                {std::to_string(problems_)}).c_str());
    }
  }

 private:
  void Finding(const char* kind, const std::string& text, const std::string& fix) {
    if (!json_) {
      // The kind's word on a terminal; JSON keeps the names.
      const char* word = kind == std::string("ok") ? Tr("ok") : kind == std::string("problem") ? Tr("problem") : Tr("warning");
      Print(("  " + std::string(word) + ": ").c_str(), fix.empty() ? text : text + "\n    " + Tr("fix: ") + fix);
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
    report.Heading(Tr("Detectors:"));
    report.Problem(Fill(Tr("the USB serial ports could not be listed ({1})"), {error}), DeviceListingFix());
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
  const char* text = copy.empty() ? Tr("install the udev rule {1} from the program's sources (sudo cp {2} "
                                       "/etc/udev/rules.d/ && sudo udevadm control --reload, then replug)")
                                  : Tr("install the udev rule {1} (sudo cp {2} /etc/udev/rules.d/ && "
                                       "sudo udevadm control --reload, then replug)");
  if (copy.empty()) copy = std::string("packaging/") + kRuleFile;
  return Fill(text, {kRuleFile, copy});
}

// Joining the node's group helps only when the group may read and write it.
std::string PermissionFix(const PortPermission& permission, bool groupMay, const std::string& rule) {
  std::string group = groupMay && !permission.inGroup
                          ? Fill(Tr(", or: sudo usermod -aG {1} $USER, then log in again"), {permission.group})
                          : "";
  if (!rule.empty())
    return Fill(Tr("unplug the detector and plug it in again (the rule {1} applies at plug-in)"), {rule}) + group;
  return InstallRuleFix() + group;
}

// True when an update could use the port.
bool CheckPort(const std::string& port, const std::optional<std::string>& udevRule, bool modemManager,
               Report& report) {
  const bool systemHasUdev = udevRule.has_value();
  const std::string rule = udevRule.value_or("");
  auto identity = UsbSerialPortOf(port);
  std::string heading = Fill(Tr("Port {1}"), {port});
  if (identity) {
    heading += identity->serialNumber.empty()
                   ? Fill(Tr(": {1}, no USB serial number"), {identity->friendlyName})
                   : Fill(Tr(": {1}, USB serial number {2}"), {identity->friendlyName, identity->serialNumber});
  }
  report.Heading(heading);

  PortPermission permission = InspectPortPermission(port);
  if (!permission.exists) {
    report.Problem(Tr("the port does not exist (the detector is not plugged in, or is another port)"),
                   Tr("plug the detector in and turn it on; `mzt ports` lists the detectors found"));
    return false;
  }
  if (!identity)
    report.Warning(Tr("the port is not a USB detector known to the system"),
                   Tr("check the port name; `mzt ports` lists the detectors found"));
  else if (identity->friendlyName.compare(0, 7, kDeviceNamePrefix) != 0)
    report.Warning(Fill(Tr("the device on the port is no detector ({1})"), {identity->friendlyName}),
                   Tr("give the detector's port with --port; `mzt ports` lists the detectors found"));
  else
    report.Fine(Tr("the detector is there"));

  if (!permission.mayOpen) {
    // The mode's group bits: "crw-rw----" gives the group read and write.
    bool groupMay = permission.mode.size() >= 7 && permission.mode.compare(4, 2, "rw") == 0;
    std::string membership = Fill(!permission.inGroup ? Tr("not a member of {1}")
                                  : groupMay          ? Tr("a member of {1}")
                                                      : Tr("its group {1} may not write it"),
                                  {permission.group});
    std::string why = Fill(rule.empty() ? Tr("user {1} may not open it ({2} {3}:{4}; {5}; no access list entry "
                                             "for this user; the udev rule is not installed)")
                                        : Tr("user {1} may not open it ({2} {3}:{4}; {5}; no access list entry "
                                             "for this user; the udev rule is installed)"),
                           {CurrentUserName(), permission.mode, permission.owner, permission.group, membership});
    report.Problem(why, PermissionFix(permission, groupMay, rule));
    return false;
  }
  std::string how = permission.aclGrantsUser ? std::string(Tr("by its access list"))
                    : permission.isOwner     ? std::string(Tr("as its owner"))
                    : permission.inGroup     ? Fill(Tr("as a member of {1}"), {permission.group})
                                             : Fill(Tr("by its mode {1}"), {permission.mode});
  report.Fine(Fill(Tr("user {1} may open it ({2})"), {CurrentUserName(), how}));

  bool usable = true;
  auto serial = CreateSerialPort();
  auto opened = serial->Open(port, 115200);
  serial->Close();
  if (opened) {
    report.Fine(Tr("no other program holds it"));
  } else if (opened.Err().code == ErrorCode::kBusy) {
    std::string holders;
    for (const auto& program : ProgramsHoldingPort(port))
      holders += (holders.empty() ? "" : ", ") +
                 Fill(Tr("{1}, process {2}"), {program.name, std::to_string(program.processId)});
    report.Problem(holders.empty() ? std::string(Tr("another program holds it"))
                                   : Fill(Tr("another program holds it ({1})"), {holders}),
                   Tr("close that program (a terminal program, another mzt or mzt-utility) and try again"));
    usable = false;
  } else {
    std::string advice = PortOpenAdvice(opened.Err());
    report.Problem(opened.Err().message, advice.empty() ? std::string(Tr("unplug the detector, plug it in again and retry")) : advice);
    usable = false;
  }

  if (!systemHasUdev) return usable;  // no ModemManager either
  if (!modemManager) {
    report.Fine(Tr("ModemManager is not running"));
  } else if (IsPortIgnoredByModemManager(port)) {
    report.Fine(Tr("ModemManager runs but leaves this port alone"));
  } else {
    report.Warning(Tr("ModemManager runs and may probe the port, which garbles the link"),
                   Fill(Tr("{1}, or: sudo systemctl stop ModemManager"),
                        {rule.empty() ? InstallRuleFix() : std::string(Tr("unplug the detector and plug it in again"))}));
  }
  return usable;
}

// Where the server's address came from, as the user would change it.
std::string ServerOrigin(ServerSource source, const std::string& settings) {
  switch (source) {
    case ServerSource::kCommandLine: return Fill(Tr("from {1}"), {"--server"});
    case ServerSource::kEnvironment: return Fill(Tr("from {1}"), {kUpdateServerVariable});
    case ServerSource::kSettingsFile: return Fill(Tr("from {1}"), {settings});
    case ServerSource::kBuildDefault: break;
  }
  return Tr("the build's default");
}

// True when the server's version check answers.
bool CheckServer(const CliOptions& options, Report& report) {
  const std::filesystem::path settingsFile = SettingsFilePath();
  const std::string settings = Fill(Tr("[Update] Server= in {1}"),
                                    {settingsFile.empty() ? std::string("MZTConfig.ini") : settingsFile.string()});
  auto chosen = ChosenServer(options);
  if (!chosen) {
    report.Heading(Tr("Update server:"));
    report.Problem(chosen.Err().message, Tr("give an http:// or https:// address there, or remove it"));
    return false;
  }
  const std::string& server = chosen.Value().url;
  report.Heading(Fill(Tr("Update server {1} ({2})"), {server, ServerOrigin(chosen.Value().source, settings)}));
  if (IsLoopbackServer(server))
    report.Warning(Tr("the address is this computer's own (loopback): a test server, not the detector maker's"),
                   Fill(Tr("name the update server in {1} or {2}"), {kUpdateServerVariable, settings}));
  std::string url = VersionCheckUrl(server, options.region == "cn" ? 1 : 0, DatabaseVersion{});
  auto made = MakeServerClient(url, options.verbose);
  if (!made) {
    report.Problem(made.Err().message, Tr("correct http_proxy / https_proxy, or unset them for a direct connection"));
    return false;
  }
  const auto& proxy = made.Value().proxy.proxy;
  const ProxySetting& setting = made.Value().proxy.setting;
  if (proxy)
    report.Fine(setting.bypassList.empty()
                    ? Fill(Tr("proxy {1}"), {ProxyDisplayText(*proxy)})
                    : Fill(Tr("proxy {1}, not for {2}"), {ProxyDisplayText(*proxy), setting.bypassList}));
  else
    report.Fine(setting.proxyText.empty()
                    ? std::string(Tr("no proxy: a direct connection"))
                    : Fill(Tr("no proxy (\"{1}\" names none): a direct connection"),
                           {MaskProxyPassword(setting.proxyText)}));
  auto checked = AskVersionCheck(*made.Value().client, url);
  const std::string fix = proxy ? Tr("check the network and the proxy (http_proxy, no_proxy); --server names another server")
                                : Tr("check the network (a proxy goes in http_proxy); --server names another server");
  if (!checked) {
    report.Problem(Fill(Tr("the server does not answer: {1}"), {checked.Err().message}), fix);
    return false;
  }
  const VersionCheckAnswer& check = checked.Value();
  if (check.status != 200) {
    report.Problem(Fill(Tr("the server answered HTTP status {1}"), {std::to_string(check.status)}), fix);
    return false;
  }
  if (check.verdict == VersionVerdict::kUnanswered) {
    report.Problem(Tr("the server's answer is not an update server's"), fix);
    return false;
  }
  // The update refuses such a version: a server that gives one cannot update.
  if (check.verdict == VersionVerdict::kMalformedVersion) {
    report.Problem(Fill(Tr("the server's version is no date and number: {1}"), {check.body}), fix);
    return false;
  }
  report.Fine(check.verdict == VersionVerdict::kNewer
                  ? Fill(Tr("the server answers; its newest database: {1}"), {check.Offered()})
                  : std::string(Tr("the server answers")));
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
    report.Heading(Tr("Detectors:"));
    report.Problem(Tr("no detector found"),
                   Tr("plug the detector in with a data cable and turn it on; if it still is not "
                      "listed, check `dmesg` for a cdc_acm port"));
  }
  for (const auto& port : ports) portUsable = CheckPort(port, rule, modemManager, report) || portUsable;
  if (rule) report.Heading(rule->empty() ? std::string(Tr("udev rule: not installed")) : Fill(Tr("udev rule: {1}"), {*rule}));
  bool serverAnswers = CheckServer(options, report);
  bool couldRun = portUsable && serverAnswers;
  report.End(couldRun);
  return couldRun ? kExitSuccess : kExitProblemsFound;
}

}  // namespace mzt
