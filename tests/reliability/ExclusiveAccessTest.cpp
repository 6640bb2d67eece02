// Two programs never talk to the device at once: a second `mzt` on a port in
// use fails at once and says why, for root (whom TIOCEXCL does not stop) and
// for an unprivileged user; a killed upload leaves no lock behind. Two updates
// of two devices on one data folder keep to their own files.

#include <signal.h>

#include <chrono>
#include <iostream>

#include "MztChild.h"
#include "support/ParamName.h"

namespace mzt::test {
namespace {

namespace fs = std::filesystem;

struct SecondOpenerRow {
  std::string name;
  void (*childSetup)();
};

void BecomeNobody() {
  if (setgid(65534) != 0 || setuid(65534) != 0) _exit(126);
}

class ExclusiveAccess : public MztChildTest, public ::testing::WithParamInterface<SecondOpenerRow> {};

TEST_P(ExclusiveAccess, SecondProgramIsRefusedAndAKilledUploadLeavesNoLock) {
  // Frames the device takes its time to store: the upload runs a while.
  RestartDevice([](devsim::SimulatedDevice::Options& options) { options.flashTime = std::chrono::milliseconds(40); });
  fs::path file = folder_ / "big.bin";
  ASSERT_TRUE(dbgen::SyntheticDatabase({2026, 11, 30, 12, 4, 8, 12000, 21}).WriteTo(file));
  // The second opener may be nobody: it needs the pty and the link (the data
  // folder stays root's, which nobody may read but not write).
  for (const fs::path& path : {fs::path(device_->PortPath()), folder_.Path()})
    fs::permissions(path, fs::perms::all);
  const std::vector<std::string> upload = {"upload", file.string(), "--port", (folder_ / "port").string()};
  // Slow frames on a busy machine must not miss the scaled acknowledgement
  // time-out: this test is about the lock, not the link.
  const std::vector<std::string> roomyTimeouts = {"MZT_TIME_SCALE=0.1"};

  MztRun second;
  std::chrono::milliseconds took{0};
  MztRun first = Mzt(upload, {.watch = [&](const std::string& output, pid_t pid) {
    if (second.status != -1 || output.find("FF02.bin 上傳中") == std::string::npos) return;
    auto start = std::chrono::steady_clock::now();
    second = Mzt({"query", "--port", (folder_ / "port").string()}, {.childSetup = GetParam().childSetup});
    took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    kill(pid, SIGKILL);
  }}, roomyTimeouts);
  std::cout << "the second program ended after " << took.count() << " ms" << std::endl;
  EXPECT_EQ(first.status, -1) << first.output;
  EXPECT_EQ(second.status, 2) << second.output;
  EXPECT_NE(second.output.find("another program is using the port"), std::string::npos) << second.output;
  EXPECT_NE(second.output.find("Close the program that holds the port"), std::string::npos) << second.output;

  // The killed upload's lock went with it.
  MztRun next = Mzt(upload, {}, roomyTimeouts);
  EXPECT_EQ(next.status, 0) << next.output;
  EXPECT_EQ(device_->Version().number, 12);
}

// The first update is held still once it has made its device files and
// begun to send them; a second one, of the other region on another device,
// runs whole meanwhile on the same data folder.
TEST_F(MztChildTest, TwoUpdatesOnOneDataFolderKeepToTheirOwnFiles) {
  // Frames the first device takes its time to store: it is still sending when held.
  RestartDevice([](devsim::SimulatedDevice::Options& options) { options.flashTime = std::chrono::milliseconds(40); });
  constexpr dbgen::DatabaseOptions kChina{2026, 12, 1, 13, 4, 8, 250, 33};
  fs::create_directories(folder_ / "server" / "cn");
  fs::create_directories(folder_ / "expected-cn");
  ASSERT_TRUE(dbgen::SyntheticDatabase(kChina).WriteTo(folder_ / "server" / "cn" / "DB.bin"));
  ASSERT_TRUE(dbgen::SyntheticDatabase(kChina).WriteTo(folder_ / "expected-cn" / "ULDB.bin"));
  ASSERT_TRUE(SplitBeside(folder_ / "expected-cn" / "ULDB.bin"));
  ASSERT_TRUE(MakeReducedIndex(folder_ / "expected-cn" / "FF01.bin", folder_ / "expected-cn" / "Index.bin"));
  devsim::SimulatedDevice::Options chinaOptions = deviceOptions_;
  chinaOptions.flashTime = {};
  chinaOptions.region = "CN";
  chinaOptions.deviceId = "MZT0000002";
  chinaOptions.linkPath = folder_ / "port2";
  chinaOptions.sysfsRoot = folder_ / "sys2";
  devsim::SimulatedDevice china(chinaOptions);
  ASSERT_TRUE(china.Start());
  // The user's own files under the names of the work files.
  for (const char* name : {"ULDB.bin", "FF00.bin", "Index.bin"})
    test::WriteFileBytes(folder_ / "home" / name, std::string("the user's own ") + name);

  MztRun second;
  MztRun first = Mzt(Update(), {.watch = [&](const std::string& output, pid_t pid) {
    if (second.status != -1 || output.find("FF00.bin 上傳中") == std::string::npos) return;
    kill(pid, SIGSTOP);
    second = Mzt({"update", "--yes", "--region", "cn", "--port", (folder_ / "port2").string(), "--server",
                  server_->BaseUrl()});
    kill(pid, SIGCONT);
  }}, {"MZT_TIME_SCALE=0.1"});
  china.Stop();
  EXPECT_EQ(first.status, 0) << first.output;
  EXPECT_EQ(second.status, 0) << second.output;
  ExpectNewDatabase();
  for (uint16_t id : {uint16_t{0xFF00}, uint16_t{0xFF01}, uint16_t{0xFF02}}) {
    auto stored = china.StoredData(id);
    const char* name = id == 0xFF00 ? "FF00.bin" : id == 0xFF01 ? "Index.bin" : "FF02.bin";
    ASSERT_TRUE(stored) << name;
    EXPECT_TRUE(*stored == ReadFileBytes(folder_ / "expected-cn" / name)) << name;
  }
  // Only POI.csv and the user's files: no run left its work folder.
  for (const char* name : {"ULDB.bin", "FF00.bin", "Index.bin"}) {
    EXPECT_EQ(ReadFileBytes(folder_ / "home" / name), std::string("the user's own ") + name);
    fs::remove(folder_ / "home" / name);
  }
  ExpectCleanDataFolder(true);
}

INSTANTIATE_TEST_SUITE_P(Users, ExclusiveAccess,
                         ::testing::Values(SecondOpenerRow{"Root", nullptr},
                                           SecondOpenerRow{"Nobody", BecomeNobody}),
                         RowName());

}  // namespace
}  // namespace mzt::test
