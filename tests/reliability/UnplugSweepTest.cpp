// The cable pulled at every step of an update, and plugged in again once
// `mzt` asks for it: the program's replug-and-rerun must always end with the
// new database in the device, every POI saved and no file left behind.

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <random>
#include <thread>

#include "MztChild.h"
#include "support/ParamName.h"

namespace mzt::test {
namespace {

using devsim::Fault;
using namespace std::chrono_literals;

constexpr const char* kPlugPrompt = "請插入USB線";
// Data frames of the update below (FF00, FF01 and FF02 together).
constexpr uint64_t kFrames = 3;

struct UnplugRow {
  std::string name;
  Fault fault;
  // 0: the program prompts for the replug and runs the update again. Else
  // the run fails with this status and a clean folder, the device
  // untouched or without its database, and the user's next run installs.
  int firstStatus = 0;
  std::string says{};
};

void PrintTo(const UnplugRow& row, std::ostream* out) { *out << row.name; }

std::vector<UnplugRow> Rows() {
  auto at = [](int command, int argument, uint64_t nth) {
    return Fault{.effect = Fault::Effect::kUnplug, .command = command, .argument = argument, .nth = nth};
  };
  const std::string unreachable = "mzt: 無法連結裝置";
  const std::string notDeleted = "mzt: 刪除DB失敗,請重試!!";
  std::vector<UnplugRow> rows = {
      {"UploadMode", at(113, 1, 1), 2, unreachable},
      {"FileListing", at(995, -1, 1), 2, "mzt: DB版本查詢失敗,請重試!!"},
      {"PoiCount", at(108, 3, 1), 6, notDeleted},
      {"FirstPoiRead", at(114, -1, 1), 6, notDeleted},
      {"LastPoiRead", at(114, -1, kPois), 6, notDeleted},
      {"FirstDeletion", at(996, -1, 1), 6, notDeleted},
      {"LastDeletion", at(996, -1, 3), 6, notDeleted},
      {"TransferStart", at(999, 1, 1)},
      {"TransferEnd", at(999, 2, 1)},
  };
  for (uint64_t frame = 1; frame <= kFrames; ++frame)
    rows.push_back({"Frame" + std::to_string(frame),
                    {.effect = Fault::Effect::kUnplug, .trigger = Fault::Trigger::kFrame, .nth = frame}});
  return rows;
}

class UnplugSweep : public MztChildTest {
 protected:
  // Runs the update; plugs the device in again `replugAfter` after the
  // program asks for it (unless `never`).
  MztRun RunUpdate(std::chrono::milliseconds replugAfter, bool never = false) {
    bool replugged = false;
    return Mzt(Update(), {.watch = [&](const std::string& output, pid_t) {
      if (never || replugged || output.find(kPlugPrompt) == std::string::npos) return;
      replugged = true;
      std::this_thread::sleep_for(replugAfter);
      EXPECT_TRUE(device_->Replug());
    }});
  }
  void ExpectInstalled(const UnplugRow& row, std::chrono::milliseconds replugAfter) {
    MztRun run = RunUpdate(replugAfter, row.firstStatus != 0);
    if (row.firstStatus != 0) {
      EXPECT_EQ(run.status, row.firstStatus) << run.output;
      EXPECT_NE(run.output.find(row.says), std::string::npos) << run.output;
      ExpectCleanDataFolder(false);
      std::this_thread::sleep_for(replugAfter);
      ASSERT_TRUE(device_->Replug());
      run = RunUpdate(replugAfter);
    }
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(device_->PlugCount(), 2u) << "the cable was never pulled\n" << run.output;
    ExpectNewDatabase();
    ExpectCleanDataFolder(true);
  }
};

class UnplugAt : public UnplugSweep, public ::testing::WithParamInterface<UnplugRow> {};

TEST_P(UnplugAt, ReplugAndRerunInstallsTheNewDatabase) {
  ASSERT_TRUE(device_->AddFault(GetParam().fault));
  // A few seconds, scaled as the program's own waits are.
  ExpectInstalled(GetParam(), 30ms);
}

INSTANTIATE_TEST_SUITE_P(Steps, UnplugAt, ::testing::ValuesIn(Rows()), RowName());

TEST_F(UnplugSweep, NeverPluggedInAgainEndsWithTheTimeOut) {
  ASSERT_TRUE(device_->AddFault(
      {.effect = Fault::Effect::kUnplug, .trigger = Fault::Trigger::kFrame, .nth = 2}));
  MztRun run = RunUpdate(0ms, true);
  EXPECT_EQ(run.status, 6) << run.output;
  EXPECT_NE(run.output.find("The device was not replugged in time."), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("To recover: unplug the device, plug it in again"), std::string::npos);
  ExpectCleanDataFolder(true);
}

// A random step, random delays and a resend request here and there. The seed
// is printed; MZT_SWEEP_SEED replays a run (round r uses seed + r).
class SeededUnplug : public UnplugSweep, public ::testing::WithParamInterface<int> {};

TEST_P(SeededUnplug, ReplugAndRerunInstallsTheNewDatabase) {
  const char* given = std::getenv("MZT_SWEEP_SEED");
  const unsigned long seed = (given ? std::strtoul(given, nullptr, 10) : 20261207ul) + GetParam();
  std::cout << "MZT_SWEEP_SEED=" << seed << std::endl;
  RecordProperty("seed", std::to_string(seed));
  std::mt19937 random(seed);
  auto pick = [&](uint64_t low, uint64_t high) {
    return std::uniform_int_distribution<uint64_t>(low, high)(random);
  };
  // A step of the sweep, or any byte of the records file's frames.
  std::vector<UnplugRow> rows = Rows();
  const uint64_t recordBytes = ReadFileBytes(folder_ / "expected" / "FF02.bin").size();
  rows.push_back({"RecordsByte", {.effect = Fault::Effect::kUnplug,
                                  .trigger = Fault::Trigger::kTransferBytes, .fileId = 0xFF02,
                                  .nth = pick(1, recordBytes)}});
  const UnplugRow& row = rows[pick(0, rows.size() - 1)];
  std::cout << "unplug at " << row.name << " " << row.fault.nth << std::endl;
  ASSERT_TRUE(device_->AddFault(row.fault));
  if (pick(0, 1)) {
    ASSERT_TRUE(device_->AddFault({.effect = Fault::Effect::kFrameStatus2,
                                   .trigger = Fault::Trigger::kFrame, .nth = pick(1, kFrames)}));
  }
  ASSERT_TRUE(device_->AddFault({.effect = Fault::Effect::kDelayReply, .nth = pick(1, 20),
                                 .duration = std::chrono::milliseconds(pick(1, 40))}));
  ExpectInstalled(row, std::chrono::milliseconds(pick(0, 50)));
}

INSTANTIATE_TEST_SUITE_P(Rounds, SeededUnplug, ::testing::Range(0, 4));

}  // namespace
}  // namespace mzt::test
