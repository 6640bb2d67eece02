// The device operations against the simulated device: attempts, pauses and
// plain results.

#include <gtest/gtest.h>

#include "devicelink/DevicePort.h"
#include "devsim/SimulatedDevice.h"
#include "support/TempFolder.h"

namespace mzt {
namespace {

using devsim::Fault;

class DeviceOperationsTest : public ::testing::Test {
 protected:
  void StartDevice(devsim::SimulatedDevice::Options options = {}) {
    device_ = std::make_unique<devsim::SimulatedDevice>(options);
    auto path = device_->Start();
    ASSERT_TRUE(path) << path.Err().message;
    ASSERT_TRUE(port_.OpenPort(path.Value()));
  }
  void TearDown() override {
    port_.ClosePort();
    if (device_) device_->Stop();
  }
  size_t Count(const std::string& prefix) const {
    size_t n = 0;
    for (const auto& s : device_->ReceivedSentences()) n += s.rfind(prefix, 0) == 0;
    return n;
  }
  void Silence(int command) {
    ASSERT_TRUE(device_->AddFault({.effect = Fault::Effect::kDropReply, .command = command,
                                   .nth = 1, .times = 0}));
  }

  std::unique_ptr<devsim::SimulatedDevice> device_;
  CDevicePort port_;
};

struct AttemptCase {
  const char* name;
  int command;
  std::function<bool(CDevicePort&)> operation;
  size_t writes;
};

class AttemptTest : public DeviceOperationsTest, public ::testing::WithParamInterface<AttemptCase> {};

TEST_P(AttemptTest, SilentDeviceGetsItsAttempts) {
  StartDevice();
  Silence(GetParam().command);
  EXPECT_FALSE(GetParam().operation(port_));
  EXPECT_EQ(Count("$PQEL" + std::to_string(GetParam().command)), GetParam().writes);
}

INSTANTIATE_TEST_SUITE_P(
    Operations, AttemptTest,
    ::testing::Values(
        AttemptCase{"QueryDeviceInfo", 108, [](CDevicePort& p) { return p.QueryDeviceInfo(1); }, 2},
        AttemptCase{"ClearPois", 109, [](CDevicePort& p) { return p.ClearPois(); }, 2},
        AttemptCase{"QueryUploadMode", 113, [](CDevicePort& p) { return p.QueryUploadMode() != 0; }, 2},
        AttemptCase{"EnterUploadMode", 113, [](CDevicePort& p) { return p.EnterUploadMode(); }, 2},
        AttemptCase{"DeleteDeviceFile", 996, [](CDevicePort& p) { return p.DeleteDeviceFile(0xFF00, 44); }, 2},
        AttemptCase{"ReadPoiRecord", 114, [](CDevicePort& p) { return p.ReadPoiRecord(0); }, 1},
        AttemptCase{"QueryFileEntry", 995,
                    [](CDevicePort& p) {
                      int id = 0, location = 0;
                      return p.QueryFileEntry(1, id, location);
                    },
                    1}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(DeviceOperationsTest, FileTableAndDeletion) {
  test::TempFolder folder;
  test::WriteFileBytes(folder / "FF00.bin", "%CDB" + std::string(40, '\0'));
  devsim::SimulatedDevice::Options options;
  options.databaseFolder = folder.Path();
  options.unplacedIds = {0xFF00};
  StartDevice(options);
  int id = 0, location = -1;
  ASSERT_TRUE(port_.QueryFileEntry(1, id, location));
  EXPECT_EQ(id, 0xFF00);
  EXPECT_EQ(location, 0);
  EXPECT_FALSE(port_.QueryFileEntry(2, id, location));  // past the last entry
  EXPECT_TRUE(port_.DeleteDeviceFile(0xFF00, 44));
  EXPECT_FALSE(port_.DeleteDeviceFile(0xFF00, 44));  // nothing there any more
}

TEST_F(DeviceOperationsTest, NoiseIsSkippedAndACorruptReplyCostsAnAttempt) {
  StartDevice();
  ASSERT_TRUE(device_->AddFault({.effect = Fault::Effect::kNoiseBefore, .nth = 1, .times = 0}));
  ASSERT_TRUE(device_->AddFault({.effect = Fault::Effect::kOtherTalkerBefore, .nth = 1, .times = 0}));
  EXPECT_TRUE(port_.QueryDeviceInfo(1));
  EXPECT_EQ(Count("$PQEL108"), 1u);
  ASSERT_TRUE(device_->AddFault({.effect = Fault::Effect::kCorruptChecksum, .command = 108,
                                 .nth = 1, .times = 1}));
  EXPECT_TRUE(port_.QueryDeviceInfo(2));
  EXPECT_EQ(Count("$PQEL108"), 3u);
}

}  // namespace
}  // namespace mzt
