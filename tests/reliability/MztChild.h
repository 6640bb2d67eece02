#pragma once
// `mzt` run as a child against the simulated device and the local update
// server, its output watched as it grows so that a test acts on markers.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "database/ReducedIndex.h"
#include "dbgen/SyntheticDatabase.h"
#include "devsim/SimulatedDevice.h"
#include "support/ChildProgram.h"
#include "support/TempFolder.h"
#include "support/TestDatabase.h"
#include "updserver/UpdateServer.h"

namespace mzt::test {

// POIs in the simulated device.
constexpr size_t kPois = 3;

using MztRun = ChildRun;

// zh_TW built into a folder of the suite's own (LOCPATH), as a fresh machine
// has only C; empty when localedef failed.
inline std::string TaiwanLocaleFolder() {
  static TempFolder folder;
  static bool built = RunChild({"/usr/bin/localedef", "-i", "zh_TW", "-f", "UTF-8", (folder / "zh_TW.UTF-8").string()},
                               {"PATH=/usr/bin:/bin"}, {})
                          .status == 0;
  return built ? folder.Path().string() : std::string();
}

class MztChildTest : public ::testing::Test {
 protected:
  void SetUp() override {
    namespace fs = std::filesystem;
    for (const char* dir : {"home", "server/tw", "installed", "expected"})
      fs::create_directories(folder_ / dir);
    ASSERT_TRUE(dbgen::SyntheticDatabase({2025, 1, 15, 3, 4, 4, 200, 7}).WriteTo(folder_ / "installed" / "ULDB.bin"));
    ASSERT_TRUE(dbgen::SyntheticDatabase(kNewer).WriteTo(folder_ / "server" / "tw" / "DB.bin"));
    ASSERT_TRUE(dbgen::SyntheticDatabase(kNewer).WriteTo(folder_ / "expected" / "ULDB.bin"));
    for (const char* dir : {"installed", "expected"}) ASSERT_TRUE(SplitBeside(folder_ / dir / "ULDB.bin"));
    // The device gets the index reduced.
    ASSERT_TRUE(MakeReducedIndex(folder_ / "expected" / "FF01.bin", folder_ / "expected" / "Index.bin"));
    deviceOptions_.pois = devsim::GeneratePois(kPois);
    deviceOptions_.databaseFolder = folder_ / "installed";
    deviceOptions_.linkPath = folder_ / "port";
    deviceOptions_.sysfsRoot = folder_ / "sys";
    device_ = std::make_unique<devsim::SimulatedDevice>(deviceOptions_);
    ASSERT_TRUE(device_->Start());
    updserver::UpdateServerOptions serverOptions;
    serverOptions.databaseFolder = folder_ / "server";
    server_ = std::make_unique<updserver::UpdateServer>(serverOptions);
    ASSERT_TRUE(server_->Start());
  }
  void TearDown() override {
    device_->Stop();
    server_->Stop();
  }

  // The child's whole environment: `extra`, then the defaults it does not set.
  std::vector<std::string> Environment(std::vector<std::string> extra = {}) const {
    std::vector<std::string> env = extra;
    const std::vector<std::string> defaults{"MZT_TIME_SCALE=0.01", "PATH=/usr/bin:/bin", "LANG=C.UTF-8",
                                            "MZT_HOME=" + (folder_ / "home").string(),
                                            "MZT_SYSFS_ROOT=" + (folder_ / "sys").string(),
                                            "MZT_UDEV_ROOT=" + (folder_ / "udev").string(),
                                            "XDG_RUNTIME_DIR=" + folder_.Path().string()};
    for (const std::string& e : defaults) {
      std::string name = e.substr(0, e.find('=') + 1);
      if (std::none_of(extra.begin(), extra.end(), [&](const std::string& x) { return x.starts_with(name); }))
        env.push_back(e);
    }
    // The leak checker's suppressions (the C library's own, see tests/lsan-suppressions.txt).
    if (const char* leakOptions = std::getenv("LSAN_OPTIONS")) env.push_back(std::string("LSAN_OPTIONS=") + leakOptions);
    return env;
  }

  // A device started again with other options.
  void RestartDevice(const std::function<void(devsim::SimulatedDevice::Options&)>& change) {
    device_->Stop();
    change(deviceOptions_);
    device_ = std::make_unique<devsim::SimulatedDevice>(deviceOptions_);
    ASSERT_TRUE(device_->Start());
  }

  // Runs mzt, with `env` added to the test's environment.
  MztRun Mzt(std::vector<std::string> args, const ChildOptions& options = {},
             std::vector<std::string> env = {}) {
    args.insert(args.begin(), std::string(MZT_PROGRAM));
    return RunChild(std::move(args), Environment(std::move(env)), options);
  }

  std::vector<std::string> Update() const {
    return {"update", "--yes", "--port", (folder_ / "port").string(), "--server", server_->BaseUrl()};
  }

  // The device holds exactly the new database's three files.
  void ExpectNewDatabase() const {
    auto table = device_->FileTable();
    EXPECT_EQ(table.size(), 3u);
    for (uint16_t id : {uint16_t{0xFF00}, uint16_t{0xFF01}, uint16_t{0xFF02}}) {
      auto stored = device_->StoredData(id);
      const char* name = id == 0xFF00 ? "FF00.bin" : id == 0xFF01 ? "Index.bin" : "FF02.bin";
      ASSERT_TRUE(stored) << name;
      EXPECT_TRUE(*stored == ReadFileBytes(folder_ / "expected" / name)) << name;
    }
  }

  // POI.csv holds every POI (each backup appends all of them, after its time
  // stamp) and nothing else is left in the data folder but the user's settings.
  void ExpectCleanDataFolder(bool poiCsv) const {
    namespace fs = std::filesystem;
    for (const auto& entry : fs::directory_iterator(folder_ / "home")) {
      if (entry.path().filename() == "MZTConfig.ini") continue;
      EXPECT_EQ(entry.path().filename(), "POI.csv") << entry.path();
    }
    if (!poiCsv) return;
    std::istringstream csv(ReadFileBytes(folder_ / "home" / "POI.csv"));
    std::set<std::string> pois;
    std::string line;
    for (std::getline(csv, line); std::getline(csv, line);)
      pois.insert(line.substr(line.find(',', line.find(',') + 1)));
    EXPECT_EQ(pois.size(), kPois);
  }

  static constexpr dbgen::DatabaseOptions kNewer{2026, 11, 30, 12, 4, 8, 300, 21};
  TempFolder folder_;
  devsim::SimulatedDevice::Options deviceOptions_;
  std::unique_ptr<devsim::SimulatedDevice> device_;
  std::unique_ptr<updserver::UpdateServer> server_;
};

}  // namespace mzt::test
