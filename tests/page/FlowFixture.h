#pragma once
// The page's flows end to end: the simulated device on a pty (with a fake
// sysfs tree), the local update server on loopback, and the recording
// surface in place of the window. The timing table is scaled down.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "page/ControlIds.h"
#include "page/MztUtilitySheet.h"
#include "page/UploadDBDlg.h"
#include "devicelink/DevicePort.h"
#include "devsim/SimulatedDevice.h"
#include "platform/TextCodec.h"
#include "support/RecordingSurface.h"
#include "support/TempFolder.h"
#include "support/TestDatabase.h"
#include "support/TinyProxy.h"
#include "updserver/UpdateServer.h"
#include "dbgen/SyntheticDatabase.h"

namespace mzt::test {

namespace fs = std::filesystem;

struct DeviceSetup {
  std::string firmware = "1.4.0.7";
  std::string region = "TW";
  size_t pois = 0;
  bool database = true;  // an older database in the device
  dbgen::DatabaseOptions installed{2025, 1, 15, 3, 4, 4, 200, 7};
  std::vector<uint16_t> onlyFiles{};  // list only these of the installed files
  std::vector<uint16_t> unplaced{};   // installed files listed at location 0
  bool rawFrames = false;             // frames read blindly (see DeviceParser)
  bool behindAnother = false;         // another detector stays on ttyACM0; this one is ttyACM1
  // Chosen by its listed name; a replug brings it back under the next one.
  bool renamedAtReplug = false;
};

class FlowFixture : public ::testing::Test {
 protected:
  // The database the server offers for Taiwan: newer than the device's.
  dbgen::DatabaseOptions offered_{2026, 11, 30, 12, 4, 8, 700, 21};

  void SetUp() override {
    setenv("MZT_HOME", (folder_ / "home").c_str(), 1);
    setenv("MZT_SYSFS_ROOT", (folder_ / "sys").c_str(), 1);
    ClearProxyEnvironment();
    unsetenv("MZT_UPDATE_SERVER");
    fs::create_directories(folder_ / "home");
    fs::create_directories(folder_ / "server" / "tw");
    fs::create_directories(folder_ / "server" / "cn");
  }

  void TearDown() override {
    sheet_.reset();  // joins the page's workers
    surface_.SetCloseCommandObserver(nullptr);
    // Unlocked controls let a new flow open the port while this one still
    // closes it.
    EXPECT_EQ(unlockedWhileOpen_.load(), 0) << "controls unlocked before the port was closed";
    if (device_) device_->Stop();
    if (other_) other_->Stop();
    if (server_) server_->Stop();
    for (const char* name : {"MZT_HOME", "MZT_SYSFS_ROOT", "MZT_DEVICE_ROOT"}) unsetenv(name);
  }

  void Offer(const dbgen::DatabaseOptions& options, const std::string& region = "tw") {
    ASSERT_TRUE(dbgen::SyntheticDatabase(options).WriteTo(folder_ / "server" / region / "DB.bin"));
  }

  // Starts the device, the server and the page with the device's port chosen.
  void Start(const DeviceSetup& setup, bool withServer = true) {
    devsim::SimulatedDevice::Options options;
    options.firmware = setup.firmware;
    options.region = setup.region;
    options.rawFrames = setup.rawFrames;
    options.pois = devsim::GeneratePois(setup.pois);
    options.linkPath = folder_ / "port";
    options.sysfsRoot = folder_ / "sys";
    if (setup.behindAnother) {
      devsim::SimulatedDevice::Options first;
      first.deviceId = "MZT0000009";
      first.sysfsRoot = options.sysfsRoot;
      other_ = std::make_unique<devsim::SimulatedDevice>(first);
      ASSERT_TRUE(other_->Start());
      options.ttyName = "ttyACM1";
      options.usbPath = "1-2";
    }
    fs::path port = folder_ / "port";
    if (setup.renamedAtReplug) {
      options.deviceRoot = folder_ / "dev";
      options.renamedAtReplug = true;
      setenv("MZT_DEVICE_ROOT", options.deviceRoot.c_str(), 1);
      port = options.deviceRoot / options.ttyName;
    }
    if (setup.database) {
      fs::path installed = folder_ / "installed";
      fs::create_directories(installed);
      ASSERT_TRUE(dbgen::SyntheticDatabase(setup.installed).WriteTo(installed / "ULDB.bin"));
      ASSERT_TRUE(SplitBeside(installed / "ULDB.bin"));
      for (uint16_t id : {uint16_t{0xFF00}, uint16_t{0xFF01}, uint16_t{0xFF02}}) {
        bool listed = setup.onlyFiles.empty() ||
                      std::find(setup.onlyFiles.begin(), setup.onlyFiles.end(), id) != setup.onlyFiles.end();
        if (!listed) fs::remove(installed / (id == 0xFF00 ? "FF00.bin" : id == 0xFF01 ? "FF01.bin" : "FF02.bin"));
      }
      options.databaseFolder = installed;
      options.unplacedIds = setup.unplaced;
    }
    device_ = std::make_unique<devsim::SimulatedDevice>(options);
    auto started = device_->Start();
    ASSERT_TRUE(started) << started.Err().message;

    if (withServer) {
      if (!fs::exists(folder_ / "server" / "tw" / "DB.bin")) Offer(offered_);
      updserver::UpdateServerOptions serverOptions;
      serverOptions.databaseFolder = folder_ / "server";
      server_ = std::make_unique<updserver::UpdateServer>(serverOptions);
      auto serving = server_->Start();
      ASSERT_TRUE(serving) << serving.Err().message;
    }

    // The settings file names the device's stable link (or its listed name), as a user would.
    WriteFileBytes(folder_ / "home" / "MZTConfig.ini", "[Comm. Port]\nPortNumber=" + port.string() + "\n");
    sheet_ = std::make_unique<CMZTUtilitySheet>(surface_, std::make_unique<CDevicePort>());
    surface_.SetCloseCommandObserver([this, link = sheet_->Link()](bool enabled) {
      if (enabled && link->IsOpen()) ++unlockedWhileOpen_;
    });
    if (server_) Page().SetServerUrl(server_->BaseUrl());
    Page().OnInitDialog();
    Page().OnShowWindow();
    ASSERT_EQ(surface_.ListItem(ids::kPortList, surface_.SelectedListItem(ids::kPortList)), port.wstring());
  }

  CUploadDBDlg& Page() { return sheet_->Page(); }
  void Finish() { Page().WaitForIdle(); }

  std::vector<std::string> Sentences(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const auto& s : device_->ReceivedSentences())
      if (s.rfind(prefix, 0) == 0) found.push_back(s);
    return found;
  }
  std::vector<std::wstring> Messages() const { return surface_.MessageTexts(); }
  bool Shown(const std::wstring& text) const {
    auto all = Messages();
    return std::find(all.begin(), all.end(), text) != all.end();
  }
  std::string Transcript() const { return surface_.Transcript(); }

  // The device files that the split of `options` makes, for comparison.
  std::vector<std::string> ExpectedDeviceFiles(const dbgen::DatabaseOptions& options, bool reduced) {
    fs::path folder = folder_ / "expected";
    fs::create_directories(folder);
    EXPECT_TRUE(dbgen::SyntheticDatabase(options).WriteTo(folder / "DB.bin"));
    EXPECT_TRUE(SplitBeside(folder / "DB.bin"));
    std::string index = ReadFileBytes(folder / "FF01.bin");
    if (reduced) {
      std::string reducedIndex;
      for (size_t pos = 0; pos + 4 < index.size(); pos += 16) reducedIndex += index.substr(pos + 8, 8);
      index = reducedIndex + std::string(4, '\0');
    }
    return {ReadFileBytes(folder / "FF00.bin"), index, ReadFileBytes(folder / "FF02.bin")};
  }

  TempFolder folder_;
  RecordingSurface surface_;
  std::unique_ptr<devsim::SimulatedDevice> device_;
  std::unique_ptr<devsim::SimulatedDevice> other_;
  std::unique_ptr<updserver::UpdateServer> server_;
  std::unique_ptr<CMZTUtilitySheet> sheet_;
  std::atomic<int> unlockedWhileOpen_{0};
};

}  // namespace mzt::test
