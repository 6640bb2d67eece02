#include "devsim/ReplayDevice.h"

#include <span>

#include "platform/Sha256.h"

namespace mzt::devsim {
namespace {

using Clock = std::chrono::steady_clock;

// How long a write that began to differ may go on before it is shown.
constexpr std::chrono::milliseconds kRestOfWrite{200};

std::string Shown(const std::string& bytes) {
  return JsonBytes(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

std::string SerialOf(const RecordedSession& session) {
  for (const SessionLine& line : session.lines)
    if (line.kind == "open" && !line.Text("serial").empty()) return line.Text("serial");
  return "MZT0000001";
}

}  // namespace

ReplayDevice::ReplayDevice(RecordedSession session, Options options)
    : session_(std::move(session)), options_(std::move(options)) {
  if (!options_.linkPath.empty()) link_ = std::make_unique<PortLink>(options_.linkPath);
  if (!options_.sysfsRoot.empty())
    sysfs_ = std::make_unique<FakeSysfs>(options_.sysfsRoot, options_.ttyName, SerialOf(session_));
}

ReplayDevice::~ReplayDevice() { Stop(); }

Result<std::string> ReplayDevice::Start() {
  auto path = Plug();
  if (!path) return path;
  thread_ = std::jthread([this](std::stop_token stop) { Run(stop); });
  return path;
}

void ReplayDevice::Stop() {
  if (thread_.joinable()) {
    thread_.request_stop();
    wakeup_.Notify();
    thread_.join();
    // Writes the program never made are a difference too.
    for (size_t i = cursor_; i < session_.lines.size(); ++i) {
      const SessionLine& line = session_.lines[i];
      if (line.kind == "tx") {
        Fail("the program stopped writing; the recording goes on with " + DescribeLine(line));
        break;
      }
    }
  }
  Unplug();
}

std::string ReplayDevice::Failure() const {
  std::lock_guard lock(mutex_);
  return failure_;
}

void ReplayDevice::Fail(const std::string& why) {
  std::lock_guard lock(mutex_);
  if (failure_.empty()) failure_ = why;
}

void ReplayDevice::Log(const std::string& line) const {
  if (options_.log) options_.log(line);
}

Result<std::string> ReplayDevice::Plug() {
  auto path = pty_.Open();
  if (!path) return path;
  Result<void> shown = Success();
  if (sysfs_) shown = sysfs_->Plug(path.Value());
  if (shown && link_) shown = link_->PointAt(path.Value());
  if (!shown) {
    Unplug();
    return std::move(shown).TakeError();
  }
  received_.clear();
  Log("plugged in at " + path.Value());
  return path;
}

void ReplayDevice::Unplug() {
  pty_.Close();
  if (link_) link_->Remove();
  if (sysfs_) sysfs_->Unplug();
}

bool ReplayDevice::Pause(Clock::time_point until) {
  auto left = until - Clock::now();
  if (left <= Clock::duration::zero()) return true;
  return !wakeup_.WaitFor(std::chrono::duration_cast<std::chrono::microseconds>(left));
}

bool ReplayDevice::Receive(const SessionLine& line, std::stop_token stop) {
  const bool frame = line.IsFrame();
  const size_t wanted = frame ? static_cast<size_t>(line.Number("frame")) : line.bytes.size();
  std::optional<Clock::time_point> differsSince;
  for (;;) {
    bool whole = received_.size() >= wanted;
    bool differs = !frame && received_.compare(0, std::min(wanted, received_.size()),
                                                line.bytes, 0, std::min(wanted, received_.size())) != 0;
    if (differs && !differsSince) differsSince = Clock::now();
    // A differing sentence is shown to its end, or what came of it in a moment.
    bool shown = differsSince && (received_.find('\n') != std::string::npos || Clock::now() - *differsSince > kRestOfWrite);
    if ((whole && !differs) || shown) break;
    if (whole && differs) break;
    if (stop.stop_requested()) return false;
    if (pty_.WaitReadable(wakeup_, std::chrono::milliseconds(20)) != Pty::Wait::kReadable) continue;
    uint8_t buffer[4096];
    auto got = pty_.Read(buffer);
    if (got && got.Value() > 0) received_.append(reinterpret_cast<const char*>(buffer), got.Value());
  }
  std::string write = received_.substr(0, frame ? wanted : std::min(received_.size(), received_.find('\n') + 1));
  received_.erase(0, write.size());
  bool same = frame ? Sha256Hex(std::span(reinterpret_cast<const uint8_t*>(write.data()), write.size())) ==
                          line.Text("sha256")
                    : write == line.bytes;
  if (same) {
    Log("< " + (frame ? "data frame of " + std::to_string(write.size()) + " bytes" : Shown(write)));
    return true;
  }
  Fail("the program's write differs from the recording's " + DescribeLine(line) + ": the program sent " +
       (frame && write.size() == wanted ? "a data frame of " + std::to_string(write.size()) + " bytes, SHA-256 " +
                Sha256Hex(std::span(reinterpret_cast<const uint8_t*>(write.data()), write.size()))
                                        : Shown(write)));
  return false;
}

void ReplayDevice::Run(std::stop_token stop) {
  // Recorded times count from the program's last matched write.
  int64_t anchorT = 0;
  Clock::time_point anchor = Clock::now();
  auto at = [&](int64_t t) {
    auto ms = static_cast<double>(t - anchorT) * options_.pauseScale;
    return anchor + std::chrono::microseconds(static_cast<int64_t>(ms * 1000));
  };
  bool gone = false;  // unplugged: the program's writes go nowhere until it opens again
  for (; cursor_ < session_.lines.size() && !stop.stop_requested(); ++cursor_) {
    const SessionLine& line = session_.lines[cursor_];
    if (line.kind == "open" && gone) {
      gone = false;
    } else if (line.kind == "tx" && !gone) {
      if (!Receive(line, stop)) break;
      anchorT = line.t;
      anchor = Clock::now();
    } else if (line.kind == "rx" && !gone) {
      if (!Pause(at(line.t))) break;
      auto written = pty_.Write(std::span(reinterpret_cast<const uint8_t*>(line.bytes.data()), line.bytes.size()),
                                std::chrono::milliseconds(1000));
      if (!written) Log("reply not written: " + written.Err().message);
      Log("> " + Shown(line.bytes));
    } else if (line.kind == "unplug" && !gone) {
      if (!Pause(at(line.t))) break;
      Unplug();
      Log("unplugged");
      gone = true;
      // Back when the program would find it again: half the time it took then.
      int64_t backT = line.t;
      for (size_t i = cursor_ + 1; i < session_.lines.size(); ++i)
        if (session_.lines[i].kind == "open") {
          backT = line.t + (session_.lines[i].t - line.t) / 2;
          break;
        }
      if (!Pause(at(backT))) break;
      if (auto again = Plug(); !again) Fail("no replug: " + again.Err().message);
    }
  }
  // Past the recording's end, anything the program writes is more than it wrote then.
  while (Failure().empty() && !stop.stop_requested() && cursor_ == session_.lines.size() && pty_.IsOpen()) {
    if (pty_.WaitReadable(wakeup_, std::chrono::milliseconds(50)) != Pty::Wait::kReadable) continue;
    uint8_t buffer[4096];
    auto got = pty_.Read(buffer);
    if (got && got.Value() > 0) received_.append(reinterpret_cast<const char*>(buffer), got.Value());
    if (!received_.empty() && (received_.find('\n') != std::string::npos || received_[0] != '$'))
      Fail("the program wrote more than the recording has: " + Shown(received_));
  }
  if (!Failure().empty()) {
    Log("replay failed: " + Failure());
    Unplug();
    if (options_.ended) options_.ended();
  }
}

}  // namespace mzt::devsim
