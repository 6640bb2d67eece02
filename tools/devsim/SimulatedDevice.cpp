#include "devsim/SimulatedDevice.h"

#include <algorithm>
#include <cstdio>

#include "common/Timing.h"
#include "devsim/Printable.h"

namespace mzt::devsim {
namespace {

using Clock = std::chrono::steady_clock;

std::span<const uint8_t> AsBytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// ttyACM1 after ttyACM0.
std::string NextTtyName(const std::string& name) {
  size_t digits = name.find_last_not_of("0123456789") + 1;
  unsigned long number = digits < name.size() ? std::stoul(name.substr(digits)) : 0;
  return name.substr(0, digits) + std::to_string(number + 1);
}

}  // namespace

SimulatedDevice::SimulatedDevice(Options options)
    : options_(std::move(options)), pacer_(options_.bytesPerSecond) {}

SimulatedDevice::~SimulatedDevice() { Stop(); }

void SimulatedDevice::Log(const std::string& line) const {
  if (options_.log) options_.log(line);
}

Result<std::string> SimulatedDevice::Start() {
  std::unique_lock lock(mutex_);
  if (running_ || firmware_) return Error{ErrorCode::kBusy, "the device runs already"};

  FileStore store(options_.storeFolder, [this](const std::string& line) { Log("warning: " + line); });
  auto persisted = store.LoadPersisted();
  if (!persisted) return std::move(persisted).TakeError();
  if (!persisted.Value() && !options_.databaseFolder.empty()) {
    auto loaded = store.LoadDatabaseFolder(options_.databaseFolder, options_.unplacedIds);
    if (!loaded) return std::move(loaded).TakeError();
  }

  DeviceFirmware::Settings settings;
  settings.firmware = options_.firmware;
  settings.deviceId = options_.deviceId;
  settings.region = options_.region;
  settings.parameters = options_.parameters;
  settings.pois = options_.pois;
  settings.uploadModeAtStart = options_.uploadModeAtStart;
  settings.rawFrames = options_.rawFrames;
  settings.flashTime = options_.flashTime;
  settings.flashCapacity = options_.flashCapacity;
  settings.record = options_.record;
  settings.log = options_.log;
  auto firmware = std::make_unique<DeviceFirmware>(std::move(settings), std::move(store));
  for (const Fault& fault : options_.faults) {
    auto added = firmware->AddFault(fault);
    if (!added) return std::move(added).TakeError().With(std::string("fault ") + EffectName(fault.effect));
  }
  firmware_ = std::move(firmware);
  if (!options_.linkPath.empty()) link_ = std::make_unique<PortLink>(options_.linkPath);
  if (!options_.sysfsRoot.empty())
    sysfs_ = std::make_unique<FakeSysfs>(options_.sysfsRoot, options_.ttyName, options_.deviceId,
                                         options_.usbPath);

  auto path = Plug();
  if (!path) {
    firmware_.reset();
    link_.reset();
    sysfs_.reset();
    return path;
  }
  running_ = true;
  thread_ = std::jthread([this](std::stop_token stop) { Run(stop); });
  return path;
}

Result<std::string> SimulatedDevice::Plug() {
  auto path = pty_.Open();
  if (!path) return path;
  if (options_.renamedAtReplug && plugCount_ > 0) options_.ttyName = NextTtyName(options_.ttyName);
  if (sysfs_) sysfs_->SetTtyName(options_.ttyName);
  if (!options_.deviceRoot.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(options_.deviceRoot, ec);
    node_ = std::make_unique<PortLink>(options_.deviceRoot / options_.ttyName);
  }
  // The link comes last: once it is there, everything is.
  Result<void> shown = Success();
  if (sysfs_) shown = sysfs_->Plug(path.Value());
  if (shown && node_) shown = node_->PointAt(path.Value());
  if (shown && link_) shown = link_->PointAt(path.Value());
  if (!shown) {
    pty_.Close();
    if (sysfs_) sysfs_->Unplug();
    node_.reset();
    return std::move(shown).TakeError();
  }
  pacer_ = Pacer(options_.bytesPerSecond);
  portPath_ = path.Value();
  ++plugCount_;
  changed_.notify_all();
  return path;
}

void SimulatedDevice::Stop() {
  if (thread_.joinable()) {
    thread_.request_stop();
    wakeup_.Notify();
    thread_.join();
  }
  std::lock_guard lock(mutex_);
  running_ = false;
  if (firmware_) firmware_->OnUnplug();
  pty_.Close();
  if (link_) link_->Remove();
  if (sysfs_) sysfs_->Unplug();
  node_.reset();
  portPath_.clear();
  changed_.notify_all();
}

std::string SimulatedDevice::PortPath() const {
  std::lock_guard lock(mutex_);
  return portPath_;
}

bool SimulatedDevice::IsPlugged() const { return !PortPath().empty(); }

unsigned SimulatedDevice::PlugCount() const {
  std::lock_guard lock(mutex_);
  return plugCount_;
}

bool SimulatedDevice::WaitUntilPlugged(bool plugged, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return portPath_.empty() != plugged; });
}

void SimulatedDevice::Unplug(std::chrono::milliseconds replugAfter) {
  std::unique_lock lock(mutex_);
  if (!running_) return;
  unplugRequest_ = replugAfter;
  uint64_t ticket = ++requested_;
  wakeup_.Notify();
  changed_.wait(lock, [&] { return handled_ >= ticket || !running_; });
}

Result<std::string> SimulatedDevice::Replug() {
  std::unique_lock lock(mutex_);
  if (!running_) return Error{ErrorCode::kInvalidArgument, "the device is not running"};
  replugRequest_ = true;
  uint64_t ticket = ++requested_;
  wakeup_.Notify();
  changed_.wait(lock, [&] { return handled_ >= ticket || !running_; });
  return replugResult_;
}

void SimulatedDevice::HandleRequests() {
  std::unique_lock lock(mutex_);
  if (handled_ == requested_) return;
  if (unplugRequest_) {
    auto after = *unplugRequest_;
    unplugRequest_.reset();
    DoUnplug(after);
  }
  if (replugRequest_) {
    replugRequest_ = false;
    replugResult_ = DoReplug();
  }
  handled_ = requested_;
  changed_.notify_all();
}

// Called with the lock held.
void SimulatedDevice::DoUnplug(std::chrono::milliseconds replugAfter) {
  replugAt_.reset();
  if (replugAfter.count() > 0) replugAt_ = Clock::now() + replugAfter;
  if (!pty_.IsOpen()) return;
  pty_.Close();
  if (link_) link_->Remove();
  if (sysfs_) sysfs_->Unplug();
  node_.reset();
  firmware_->OnUnplug();
  portPath_.clear();
  changed_.notify_all();
  Log("unplugged");
}

// Called with the lock held.
Result<std::string> SimulatedDevice::DoReplug() {
  replugAt_.reset();
  if (pty_.IsOpen()) return pty_.SlavePath();
  auto path = Plug();
  if (path) {
    firmware_->OnReplug();
    Log("plugged in at " + path.Value());
  } else {
    Log("cannot plug in: " + path.Err().message);
  }
  return path;
}

bool SimulatedDevice::Interrupted() {
  if (stop_.stop_requested()) return true;
  std::lock_guard lock(mutex_);
  return unplugRequest_.has_value();
}

bool SimulatedDevice::WaitUnlessInterrupted(std::chrono::milliseconds duration) {
  auto until = Clock::now() + duration;
  while (!Interrupted()) {
    auto left = std::chrono::duration_cast<std::chrono::microseconds>(until - Clock::now());
    if (left.count() <= 0) return true;
    wakeup_.WaitFor(left);
  }
  // The request that woke the wait is served by the loop.
  wakeup_.Notify();
  return false;
}

void SimulatedDevice::Run(std::stop_token stop) {
  stop_ = stop;
  std::vector<uint8_t> buffer(4096);
  while (!stop.stop_requested()) {
    HandleRequests();
    if (stop.stop_requested()) break;
    if (!pty_.IsOpen()) {
      auto wait = std::chrono::duration_cast<std::chrono::microseconds>(Duration(Delay::kReaderPoll));
      if (replugAt_) {
        auto left = std::chrono::duration_cast<std::chrono::microseconds>(*replugAt_ - Clock::now());
        if (left.count() <= 0) {
          std::lock_guard lock(mutex_);
          (void)DoReplug();
          continue;
        }
        wait = std::min(wait, left);
      }
      wakeup_.WaitFor(wait);
      continue;
    }
    auto ready = pty_.WaitReadable(
        wakeup_, std::chrono::duration_cast<std::chrono::microseconds>(Duration(Delay::kReaderPoll)));
    if (ready != Pty::Wait::kReadable) continue;
    // Asked only once bytes are there: an allowance from before the wait
    // would spend the idle time's credit twice.
    size_t allowed = pacer_.Allowance(Clock::now(), buffer.size());
    if (allowed == 0) {
      wakeup_.WaitFor(pacer_.UntilNextByte(Clock::now()));
      continue;
    }
    auto got = pty_.Read(std::span(buffer).first(allowed));
    if (!got) {
      Log("read failed: " + got.Err().message);
      wakeup_.WaitFor(std::chrono::duration_cast<std::chrono::microseconds>(Duration(Delay::kReaderBackoff)));
      continue;
    }
    pacer_.Took(got.Value());
    Process(std::span<const uint8_t>(buffer).first(got.Value()));
  }
}

void SimulatedDevice::Process(std::span<const uint8_t> bytes) {
  for (;;) {
    HandleRequests();
    if (bytes.empty() || !pty_.IsOpen() || stop_.stop_requested()) return;
    DeviceFirmware::Outcome outcome;
    {
      std::lock_guard lock(mutex_);
      outcome = firmware_->Feed(bytes);
    }
    bytes = bytes.subspan(outcome.consumed);
    for (const Reaction& reaction : outcome.reactions) {
      Execute(reaction);
      if (!pty_.IsOpen()) return;
    }
  }
}

void SimulatedDevice::Execute(const Reaction& reaction) {
  if (reaction.unplug) {
    std::lock_guard lock(mutex_);
    DoUnplug(reaction.unplugFor);
    return;
  }
  if (reaction.reply.empty()) return;
  if (reaction.delay.count() > 0 && !WaitUnlessInterrupted(reaction.delay)) return;
  if (!reaction.before.empty()) Write(reaction.before, false);
  Write(reaction.reply, true);
}

void SimulatedDevice::Write(const std::string& bytes, bool isReply) {
  // Recorded first: whoever reads the reply finds it in the record.
  if (isReply && options_.record) {
    std::lock_guard lock(mutex_);
    sentReplies_.push_back(bytes);
  }
  auto written = pty_.Write(AsBytes(bytes), Duration(Delay::kWriteDeadline));
  Log("-> " + Printable(bytes) + (written ? "" : "  (" + written.Err().message + ")"));
}

Result<void> SimulatedDevice::AddFault(Fault fault) {
  std::lock_guard lock(mutex_);
  if (!firmware_) {
    FaultScript check;
    auto valid = check.Add(fault);
    if (valid) options_.faults.push_back(std::move(fault));
    return valid;
  }
  return firmware_->AddFault(std::move(fault));
}

void SimulatedDevice::ClearFaults() {
  std::lock_guard lock(mutex_);
  options_.faults.clear();
  if (firmware_) firmware_->ClearFaults();
}

std::vector<std::string> SimulatedDevice::ReceivedSentences() const {
  std::lock_guard lock(mutex_);
  return firmware_ ? firmware_->Sentences() : std::vector<std::string>{};
}

uint64_t SimulatedDevice::DamagedSentences() const {
  std::lock_guard lock(mutex_);
  return firmware_ ? firmware_->DamagedSentences() : 0;
}

std::vector<FrameRecord> SimulatedDevice::ReceivedFrames() const {
  std::lock_guard lock(mutex_);
  return firmware_ ? firmware_->Frames() : std::vector<FrameRecord>{};
}

std::vector<StoredFile> SimulatedDevice::ReceivedFiles() const {
  std::lock_guard lock(mutex_);
  return firmware_ ? firmware_->ReceivedFiles() : std::vector<StoredFile>{};
}

std::vector<DeletionRecord> SimulatedDevice::Deletions() const {
  std::lock_guard lock(mutex_);
  return firmware_ ? firmware_->Deletions() : std::vector<DeletionRecord>{};
}

std::vector<std::string> SimulatedDevice::SentReplies() const {
  std::lock_guard lock(mutex_);
  return sentReplies_;
}

std::vector<StoredFile> SimulatedDevice::FileTable() const {
  std::lock_guard lock(mutex_);
  return firmware_ ? firmware_->Store().Table() : std::vector<StoredFile>{};
}

std::optional<std::string> SimulatedDevice::StoredData(uint16_t id) const {
  std::lock_guard lock(mutex_);
  const StoredFile* file = firmware_ ? firmware_->Store().Find(id) : nullptr;
  if (!file) return std::nullopt;
  return file->data;
}

DatabaseVersion SimulatedDevice::Version() const {
  std::lock_guard lock(mutex_);
  return firmware_ ? firmware_->Version() : DatabaseVersion{};
}

size_t SimulatedDevice::PoiCount() const {
  std::lock_guard lock(mutex_);
  return firmware_ ? firmware_->Pois().size() : options_.pois.size();
}

bool SimulatedDevice::InUploadMode() const {
  std::lock_guard lock(mutex_);
  return firmware_ && firmware_->InUploadMode();
}

}  // namespace mzt::devsim
