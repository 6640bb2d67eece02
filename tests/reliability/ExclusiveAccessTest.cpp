// Two programs never talk to the device at once: a second `mzt` on a port in
// use fails at once and says why, for root (whom TIOCEXCL does not stop) and
// for an unprivileged user; a killed upload leaves no lock behind.

#include <signal.h>
#include <sys/stat.h>

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
  // The second opener may be nobody: it needs the pty, the link and the folders.
  for (const fs::path& path : {fs::path(device_->PortPath()), folder_.Path(), folder_ / "home"})
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

INSTANTIATE_TEST_SUITE_P(Users, ExclusiveAccess,
                         ::testing::Values(SecondOpenerRow{"Root", nullptr},
                                           SecondOpenerRow{"Nobody", BecomeNobody}),
                         RowName());

}  // namespace
}  // namespace mzt::test
