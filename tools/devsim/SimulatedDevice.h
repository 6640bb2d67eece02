#pragma once
// The simulated speed-camera detector: a pty that answers the device
// protocol from a thread of its own, with a file store, POIs, scripted
// faults, line-rate pacing, unplug and replug (with a stable link and a fake
// sysfs entry) and a record of everything it received.
//
// Every method is safe to call from any thread. The log callback runs on the
// device thread, sometimes with the device's lock held: it must not call
// back into the device.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/Result.h"
#include "devsim/DeviceFirmware.h"
#include "devsim/FakeSysfs.h"
#include "devsim/FaultScript.h"
#include "devsim/Pacer.h"
#include "devsim/PortLink.h"
#include "devsim/Pty.h"
#include "devsim/Wakeup.h"

namespace mzt::devsim {

class SimulatedDevice {
 public:
  struct Options {
    std::string firmware = "1.4.0.7";  // exactly "1.0.0.3" selects that firmware's reply forms
    std::string deviceId = "MZT0000001";
    std::string region = "TW";         // sent reversed, as the device does
    DeviceParameters parameters;
    std::vector<Poi> pois;             // degrees; see GeneratePois and LoadPoiCsv
    // FF00.bin, FF01.bin and FF02.bin to start with; empty for no database.
    std::filesystem::path databaseFolder;
    std::vector<uint16_t> unplacedIds;  // initial files listed at location 0
    // Keeps the device's files across runs; what it holds wins over
    // databaseFolder. Empty: memory only.
    std::filesystem::path storeFolder;
    bool uploadModeAtStart = false;
    // Frame bytes are read blindly: a sentence sent in their place (a
    // repeated header) is taken as the start of a frame.
    bool rawFrames = false;
    uint64_t flashCapacity = 16u << 20;
    uint32_t bytesPerSecond = 0;        // 0: takes bytes as fast as they come
    std::chrono::milliseconds flashTime{0};  // per data frame, before its acknowledgement
    std::vector<Fault> faults;
    std::filesystem::path linkPath;     // a symlink to the current pty; empty for none
    std::filesystem::path sysfsRoot;    // a fake sysfs tree; empty for none
    std::string ttyName = "ttyACM0";
    std::string usbPath = "1-1";        // the USB device's place on the bus in that tree
    // A folder in which the port's node shows as a link named ttyName to the
    // pty, as the system's /dev holds it; empty for none.
    std::filesystem::path deviceRoot;
    // Each replug comes back under the next name (ttyACM0, then ttyACM1), as
    // the kernel names a device whose old node some program still holds.
    bool renamedAtReplug = false;
    bool record = true;                 // keep what was received for the getters
    std::function<void(const std::string&)> log;
  };

  explicit SimulatedDevice(Options options);
  ~SimulatedDevice();
  SimulatedDevice(const SimulatedDevice&) = delete;
  SimulatedDevice& operator=(const SimulatedDevice&) = delete;

  // Loads the files, opens the pty, makes the link and the sysfs entry and
  // starts answering; answers the pty slave's path.
  Result<std::string> Start();
  // Stops answering and removes the pty, the link and the sysfs entry. An
  // unfinished transfer is kept at location 0.
  void Stop();

  // The slave's path; empty while unplugged or stopped.
  std::string PortPath() const;
  bool IsPlugged() const;
  // How often a pty was opened: 1 after Start, one more per replug.
  unsigned PlugCount() const;
  // Pulls the cable: the pty closes, the link and the sysfs entry go. With a
  // time, it plugs itself in again after that time; with 0 only Replug does.
  void Unplug(std::chrono::milliseconds replugAfter = std::chrono::milliseconds(0));
  // Plugs in on a new pty; answers its path.
  Result<std::string> Replug();
  bool WaitUntilPlugged(bool plugged, std::chrono::milliseconds timeout) const;

  // Counting starts when the fault is added.
  Result<void> AddFault(Fault fault);
  void ClearFaults();

  // What the device received and holds.
  std::vector<std::string> ReceivedSentences() const;  // intact ones, without CR LF
  uint64_t DamagedSentences() const;
  std::vector<FrameRecord> ReceivedFrames() const;
  std::vector<StoredFile> ReceivedFiles() const;  // every transfer that ended well
  std::vector<DeletionRecord> Deletions() const;
  std::vector<std::string> SentReplies() const;   // as written, with CR LF
  std::vector<StoredFile> FileTable() const;
  std::optional<std::string> StoredData(uint16_t id) const;
  DatabaseVersion Version() const;
  size_t PoiCount() const;
  bool InUploadMode() const;

 private:
  void Run(std::stop_token stop);
  void HandleRequests();
  void Process(std::span<const uint8_t> bytes);
  void Execute(const Reaction& reaction);
  bool WaitUnlessInterrupted(std::chrono::milliseconds duration);
  bool Interrupted();
  void DoUnplug(std::chrono::milliseconds replugAfter);
  Result<std::string> DoReplug();
  Result<std::string> Plug();
  void Write(const std::string& bytes, bool isReply);
  void Log(const std::string& line) const;

  Options options_;
  std::unique_ptr<DeviceFirmware> firmware_;
  std::unique_ptr<PortLink> link_;
  std::unique_ptr<FakeSysfs> sysfs_;
  std::unique_ptr<PortLink> node_;  // in deviceRoot
  // Owned by the device thread once it runs.
  Pty pty_;
  Pacer pacer_;
  Wakeup wakeup_;
  std::optional<std::chrono::steady_clock::time_point> replugAt_;

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::string portPath_;
  unsigned plugCount_ = 0;
  std::vector<std::string> sentReplies_;
  // Requests to the device thread, numbered so that callers can wait for theirs.
  std::optional<std::chrono::milliseconds> unplugRequest_;
  bool replugRequest_ = false;
  Result<std::string> replugResult_{std::string()};
  uint64_t requested_ = 0;
  uint64_t handled_ = 0;
  bool running_ = false;
  std::stop_token stop_;
  std::jthread thread_;
};

}  // namespace mzt::devsim
