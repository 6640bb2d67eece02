#include "page/UploadDBDlg.h"

#include <algorithm>

#include "common/FieldReader.h"
#include "common/PortNumber.h"
#include "common/PortSettings.h"
#include "common/TextFill.h"
#include "devicelink/PortDiscovery.h"
#include "page/ControlIds.h"
#include "page/DeviceReading.h"
#include "page/MztUtilitySheet.h"
#include "page/OnlineUpdate.h"
#include "page/PageTexts.h"
#include "page/PoiClearingFlow.h"
#include "page/PoiExportFlow.h"
#include "page/QueryFlow.h"
#include "platform/AtomicFile.h"
#include "platform/DeviceAccess.h"
#include "platform/DeviceEnumeration.h"
#include "platform/DeviceLock.h"
#include "platform/ProgramFolder.h"
#include "platform/TextCodec.h"
#include "platform/Translation.h"
#include "platform/WorkFolder.h"

namespace mzt {

using namespace ids;
namespace fs = std::filesystem;

CUploadDBDlg::CUploadDBDlg(CMZTUtilitySheet& sheet)
    : sheet_(sheet),
      surface_(sheet.Surface()),
      report_(sheet.Report()),
      context_{sheet_, surface_, report_, state_},
      update_(context_, [this] { StartUpload(); }),
      upload_(context_, update_, [this] { RerunUpdate(); }) {}

CUploadDBDlg::~CUploadDBDlg() { workers_.JoinAll(); }

void CUploadDBDlg::SetServerUrl(const std::string& url) { update_.Online().SetServerUrl(url); }

void CUploadDBDlg::SetHttpClientFactory(HttpClientFactory factory) {
  update_.Online().SetClientFactory(std::move(factory));
}

void CUploadDBDlg::Finish(FlowOutcome outcome) {
  outcome_ = outcome;
  report_.Outcome(outcome, update_.Online().SilentFailure());
}

void CUploadDBDlg::ShowPortOpenFailure(const std::string& why) {
  std::wstring text = strings::kPortOpenFailed;
  if (!why.empty()) text += L"\n" + Utf8ToWide(why);
  context_.Say(text, strings::kErrorCaption);
}

std::shared_ptr<DeviceLock> CUploadDBDlg::CurrentDeviceLock() {
  std::lock_guard lock(workMutex_);
  return deviceLock_.lock();
}

std::shared_ptr<DeviceLock> CUploadDBDlg::OpenDevice(const std::string& port) {
  if (port.empty()) {
    context_.Say(TrW(strings::kNoDeviceFound), strings::kErrorCaption);
    return nullptr;
  }
  // Named as the replug wait follows the device if a transfer fails: by its
  // USB serial number, else by its place on the bus; a port of no USB
  // device by its name.
  state_.portDevice = UsbSerialPortOf(port);
  const auto& device = state_.portDevice;
  std::string identity = "port " + port;
  if (device && !device->serialNumber.empty()) identity = "usb " + device->serialNumber;
  else if (device && !device->busPath.empty()) identity = "bus " + device->busPath;
  std::shared_ptr<DeviceLock> held = CurrentDeviceLock();
  if (!held || held->Identity() != identity) {
    auto taken = DeviceLock::Take(identity, port);
    if (!taken) {
      ShowPortOpenFailure(PortFailureText(taken.Err()));
      return nullptr;
    }
    held = std::move(taken).Value();
    std::lock_guard lock(workMutex_);
    deviceLock_ = held;
  }
  if (!sheet_.OpenPort(port)) {
    ShowPortOpenFailure(sheet_.OpenPortFailure());
    return nullptr;
  }
  return held;
}

void CUploadDBDlg::OnInitDialog() {
  // What a killed run was writing is of no use to anyone.
  if (fs::path folder = DataFolder(); !folder.empty()) {
    AtomicFile::RemoveLeftovers(folder);
    WorkFolder::RemoveLeftovers(folder);
  }
  if (auto work = CheckedWorkParent(); work && work.Value() != DataFolder()) {
    AtomicFile::RemoveLeftovers(work.Value());
    WorkFolder::RemoveLeftovers(work.Value());
  }
  FillPortList();
  SelectPort(L"");
  EnableControls(true);
  for (int id : {kUploadButton, kBrowseButton, kDbPathLabel, kDbPathText, kDatabaseCheck,
                 kCheckDbOnly, kVoiceBrowseButton, kVoicePathLabel, kVoicePathText,
                 kDeviceIdLabel, kDeviceIdText, kUnusedStatic})
    surface_.Show(id, false);
  surface_.ClearList(kRegionList);
  surface_.AddListItem(kRegionList, strings::kTaiwan);
  surface_.AddListItem(kRegionList, strings::kChina);
  surface_.SelectListItem(kRegionList, 0);
}

void CUploadDBDlg::OnShowWindow() {
  // The port is the user's choice, and a running flow's port and display are
  // its own: a visit to the other tab changes none of them. A running flow
  // (also before it has reached the device) locks and unlocks the controls
  // itself. A finished query or clearing leaves the device connected and the
  // sheet busy; the user goes on with any action (the next one opens the
  // port again).
  if (workers_.AnyRunning()) return;
  EnableControls(true);
  ResetProgressDisplay();
}

std::vector<CUploadDBDlg::PortEntry> CUploadDBDlg::FindPorts(std::string& error) {
  std::vector<UsbSerialPort> devices;
  FillDeviceList(devices, error);
  std::vector<PortEntry> entries;
  // A detector reads with its serial number, so that two can be told apart.
  for (const auto& device : devices)
    entries.push_back({Utf8ToWide(device.portName),
                       Utf8ToWide(device.portName) +
                           (device.serialNumber.empty()
                                ? std::wstring()
                                : Fill(TrW(" (serial number {1})"), {Utf8ToWide(device.serialNumber)}))});
  // The stored port is offered too when it exists but is not a discovered
  // device (another product string, or the simulated device's pty).
  std::wstring stored = Utf8ToWide(mzt::LoadPortSettings(SettingsFilePath()).portNumber);
  if (std::none_of(entries.begin(), entries.end(), [&](const PortEntry& e) { return e.port == stored; }) &&
      IsCharacterDevice(WideToUtf8(stored)))
    entries.push_back({stored, stored});
  return entries;
}

void CUploadDBDlg::FillPortList() {
  std::string error;
  std::vector<PortEntry> entries = FindPorts(error);
  if (!error.empty()) {
    surface_.ClearList(kPortList);
    context_.Say(Utf8ToWide(error), strings::kErrorCaption);
    return;
  }
  ListPorts(entries);
}

void CUploadDBDlg::ListPorts(const std::vector<PortEntry>& entries) {
  surface_.ClearList(kPortList);
  for (const auto& entry : entries) surface_.AddLabelledListItem(kPortList, entry.port, entry.label);
}

void CUploadDBDlg::SelectPort(const std::wstring& wanted) {
  std::wstring stored = Utf8ToWide(mzt::LoadPortSettings(SettingsFilePath()).portNumber);
  int count = surface_.ListCount(kPortList);
  int wantedAt = -1, storedAt = -1;
  for (int i = 0; i < count; ++i) {
    std::wstring entry = surface_.ListItem(kPortList, i);
    if (wantedAt < 0 && !wanted.empty() && entry == wanted) wantedAt = i;
    if (storedAt < 0 && entry == stored) storedAt = i;
  }
  surface_.SelectListItem(kPortList, wantedAt >= 0 ? wantedAt
                                     : storedAt >= 0 ? storedAt
                                     : count > 0     ? 0
                                                     : -1);
}

// The list is filled anew each time it opens; closing it without a choice
// keeps the port chosen before.
void CUploadDBDlg::OnPortListDropDown() {
  ActionScope action(*this);
  RefillPortList();
}

void CUploadDBDlg::OnPortsPoll() {
  if (workers_.AnyRunning() || actions_ > 0) return;
  std::string error;
  std::vector<PortEntry> entries = FindPorts(error);
  // A listing that failed is told when the user opens the list.
  if (!error.empty()) return;
  int count = surface_.ListCount(kPortList);
  bool same = count == static_cast<int>(entries.size());
  for (int i = 0; same && i < count; ++i) same = surface_.ListItem(kPortList, i) == entries[i].port;
  if (!same) RefillPortList(&entries);
}

void CUploadDBDlg::RefillPortList(const std::vector<PortEntry>* found) {
  std::wstring chosen = surface_.ListItem(kPortList, surface_.SelectedListItem(kPortList));
  if (found)
    ListPorts(*found);
  else
    FillPortList();
  SelectPort(chosen);
  OnPortSelectionChange();
}

// The versions shown are the detector's that was asked: another port's
// detector is not known yet.
void CUploadDBDlg::OnPortSelectionChange() {
  std::string port = SelectedPortName();
  if (port != state_.portName)
    for (int id : {kDbVersionText, kFwVersionText, kDbRegionText}) surface_.SetText(id, L"");
  state_.portName = port;
}

std::string CUploadDBDlg::PortToOpen() {
  if (surface_.SelectedListItem(kPortList) < 0) {
    FillPortList();
    SelectPort(L"");
  }
  return SelectedPortName();
}

std::string CUploadDBDlg::SelectedPortName() {
  int selected = surface_.SelectedListItem(kPortList);
  return selected < 0 ? std::string() : WideToUtf8(surface_.ListItem(kPortList, selected));
}

void CUploadDBDlg::EnableControls(bool enabled) {
  for (int id : {kUploadButton, kClearPoiButton, kQueryButton, kPortList, kUpdateButton, kCheckDbOnly, kRegionList})
    surface_.Enable(id, enabled);
  if (enabled) ShowUpdateLabel(false);
}

void CUploadDBDlg::ShowUpdateLabel(bool updating) {
  updating_ = updating;
  surface_.SetText(kUpdateButton, updating ? strings::kUpdating : strings::kUpdateDatabase);
}

void CUploadDBDlg::ResetProgressDisplay() {
  report_.ClearProgress();
  report_.Step(L"");
}

void CUploadDBDlg::ShowProgress(uint64_t done, uint64_t total) {
  report_.Progress(ProgressUnit::kBytes, done, total);
}

std::shared_ptr<WorkFolder> CUploadDBDlg::CurrentWorkFolder() {
  std::lock_guard lock(workMutex_);
  return work_.lock();
}

std::shared_ptr<PageLock> CUploadDBDlg::CurrentRun() {
  std::lock_guard lock(workMutex_);
  return run_.lock();
}

void CUploadDBDlg::DiscardWorkFolder() {
  if (auto work = CurrentWorkFolder()) work->Remove();
}

void CUploadDBDlg::StartConversation(std::shared_ptr<PageLock> run, const std::string& port,
                                     std::shared_ptr<WorkFolder> work) {
  std::shared_ptr<DeviceLock> device = OpenDevice(port);
  if (!device)
    return run->End({.outcome = FlowOutcome::kDeviceUnreachable, .clearDisplay = state_.mode == PageMode::kQuery});
  if (state_.mode == PageMode::kUpdate) {
    surface_.SetText(kDbVersionText, L"");
    if (!state_.skipWarning) context_.Say(strings::kUploadModeWarning, strings::kAppCaption);
  }
  Finish(FlowOutcome::kNone);
  state_.portName = port;
  // Locked before the worker starts, so that its own end cannot come first.
  run->Engage();
  {
    std::lock_guard lock(workMutex_);
    run_ = run;
  }
  workers_.Start([this, run = std::move(run), work = std::move(work), device = std::move(device)] {
    ConnectWorker(*run);
  });
}

void CUploadDBDlg::ConnectWorker(PageLock& run) {
  if (!EnterUploadMode(context_))
    return run.End({.outcome = FlowOutcome::kDeviceUnreachable,
                    .message = strings::kDeviceUnreachable,
                    .clearDisplay = false});
  switch (state_.mode) {
    case PageMode::kUpdate: return update_.Run(run);
    case PageMode::kClearPoi: return run.End(RunPoiClearing(context_));
    case PageMode::kExportPoi: return run.End(RunPoiExport(context_));
    case PageMode::kQuery: return run.End(RunQuery(context_));
  }
}

void CUploadDBDlg::StartUpload() {
  if (state_.databasePath.empty()) {
    context_.Say(strings::kChooseFileFirst, strings::kAppCaption);
    return;
  }
  ResetProgressDisplay();
  workers_.Start([this, run = CurrentRun(), work = CurrentWorkFolder(), device = CurrentDeviceLock()] {
    upload_.Run(*run);
  });
}

void CUploadDBDlg::OnQueryButton() {
  ActionScope action(*this);
  auto run = std::make_shared<PageLock>(*this);
  state_.mode = PageMode::kQuery;
  for (int id : {kDbVersionText, kFwVersionText, kDbRegionText}) surface_.SetText(id, L"");
  StartConversation(std::move(run), PortToOpen());
}

void CUploadDBDlg::OnClearPoiButton() {
  ActionScope action(*this);
  auto run = std::make_shared<PageLock>(*this);
  std::string port = PortToOpen();
  state_.mode = PageMode::kClearPoi;
  if (!ConfirmPoiClearing(context_)) return run->End({.outcome = FlowOutcome::kDeclined, .clearDisplay = false});
  StartConversation(std::move(run), port);
}

void CUploadDBDlg::OnExportPoiAction() {
  ActionScope action(*this);
  auto run = std::make_shared<PageLock>(*this);
  state_.poiBackup.reset();
  state_.mode = PageMode::kExportPoi;
  StartConversation(std::move(run), PortToOpen());
}

void CUploadDBDlg::OnUpdateButton() {
  state_.retry = UpdateRetry{};
  StartUpdate();
}

void CUploadDBDlg::StartUpdate() {
  ActionScope action(*this);
  auto run = std::make_shared<PageLock>(*this);
  for (int id : {kDeviceIdText, kDbVersionText, kFwVersionText, kDbRegionText})
    surface_.SetText(id, L"");
  ForgetDeviceFileRecords(state_);
  state_.poiBackup.reset();
  state_.mode = PageMode::kUpdate;
  report_.Step(L"");
  report_.ClearProgress();
  state_.firmware.exact1003 = false;
  state_.firmware.block8192 = false;
  state_.firmware.regionQuery = false;
  if (updating_) {
    run->End({});
    surface_.SetText(kDbVersionText, L"");
    surface_.SetText(kFwVersionText, L"");
    return;
  }
  // A file that cannot be installed is told before the device is touched.
  if (!update_.OfflineDatabase().empty()) {
    if (auto checked = update_.CheckOfflineDatabase(); !checked) return upload_.Reject(*run, checked.Err());
  }
  // Each update downloads and splits in a folder of its own; the run after a
  // replug goes on in its flow's folder, where the checked download is.
  std::shared_ptr<WorkFolder> work = state_.retry.rerun ? CurrentWorkFolder() : nullptr;
  if (!work) {
    auto parent = CheckedWorkParent();
    auto made = parent ? WorkFolder::Create(parent.Value())
                       : Result<std::shared_ptr<WorkFolder>>(std::move(parent).TakeError());
    if (!made) return upload_.Reject(*run, made.Err());
    work = std::move(made).Value();
    {
      std::lock_guard lock(workMutex_);
      work_ = work;
    }
    state_.workFolder = work->Path();
  }
  ShowUpdateLabel(true);
  surface_.Enable(kBrowseButton, true);
  StartConversation(std::move(run), PortToOpen(), std::move(work));
}

void CUploadDBDlg::RerunUpdate() {
  FollowReplugged();
  StartUpdate();
}

void CUploadDBDlg::FollowReplugged() {
  // A link or another name of the node follows the device by itself.
  if (!state_.portDevice || state_.portDevice->portName != state_.portName) return;
  auto now = FindUsbSerialPort(*state_.portDevice);
  if (!now || now->portName == state_.portName) return;
  FillPortList();
  std::wstring name = Utf8ToWide(now->portName);
  for (int i = 0, count = surface_.ListCount(kPortList); i < count; ++i)
    if (surface_.ListItem(kPortList, i) == name) surface_.SelectListItem(kPortList, i);
}

bool CUploadDBDlg::OnCopyData(std::string_view text) {
  // While a flow runs, a new update would reset the page and close the port
  // in the middle of it; while an action waits for the user's answer, it
  // would run under that question. (A finished query leaves the sheet busy:
  // that is no reason to refuse.)
  if (workers_.AnyRunning() || actions_ > 0) return false;
  size_t comma = text.find(',');
  if (comma == std::string_view::npos) return false;
  // A port the window does not offer is refused: the update would run on
  // whichever port is selected.
  std::string_view port = text.substr(comma + 1);
  bool numeric = !port.empty() && std::all_of(port.begin(), port.end(),
                                              [](char c) { return c >= '0' && c <= '9'; });
  int count = surface_.ListCount(kPortList);
  int listed = -1;
  for (int i = 0; i < count && listed < 0; ++i) {
    std::string entry = WideToUtf8(surface_.ListItem(kPortList, i));
    if (numeric ? GetSelectedPortNumber(entry) == ParseDecimal(port) : entry == port) listed = i;
  }
  if (listed < 0) return false;
  // Shown from the converted text: path::wstring() follows the C library's
  // locale and throws on any non-ASCII name under the default one.
  std::wstring path = AnsiToWide(text.substr(0, comma));
  state_.databasePath = WideToUtf8(path);
  surface_.SetText(kDbPathText, path);
  surface_.SelectListItem(kPortList, listed);
  OnUpdateButton();
  return true;
}

}  // namespace mzt
