// The program's own link against the simulated device: what the device
// writes passes the program's framer and checksum check, raw date bytes
// included, and a transfer written by the link lands in the device's flash.

#include <gtest/gtest.h>

#include "devicelink/DevicePort.h"
#include "devicelink/RecordingCommand.h"
#include "devsim/FirmwareHarness.h"
#include "devsim/SimulatedDevice.h"
#include "support/TempFolder.h"

namespace mzt::devsim {
namespace {

using namespace std::chrono_literals;

class DeviceLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port_.Receiver().Attach(cmd108_);
    port_.Receiver().Attach(cmd999_);
  }

  bool Send(const std::string& bytes) {
    return port_.WriteBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }

  std::string Exchange(test::RecordingCommand& command, const std::string& bytes) {
    size_t before = command.Replies().size();
    if (!Send(bytes) || !command.ReplyEvent().Wait(5s)) return {};
    auto replies = command.Replies();
    return replies.size() > before ? replies.back() : std::string();
  }

  test::TempFolder folder_;
  test::RecordingCommand cmd108_{108}, cmd999_{999};
  CDevicePort port_;  // last: its reader stops before the commands go
};

TEST_F(DeviceLinkTest, RawDateBytesOfFirmware1003ReachTheCommandWhole) {
  test::WriteFileBytes(folder_ / "FF00.bin", test::DatabaseHeader(2012, 10, 13, 3));
  SimulatedDevice::Options options;
  options.firmware = "1.0.0.3";
  options.databaseFolder = folder_.Path();
  SimulatedDevice device(options);
  auto path = device.Start();
  ASSERT_TRUE(path);
  ASSERT_TRUE(port_.OpenPort(path.Value()));
  // Month 10 and day 13 put LF and CR into the reply.
  EXPECT_EQ(Exchange(cmd108_, "$PQEL108,4,*05\r\n"), std::string("$LOG108,1,4,3,\x07\xDC\x0A\x0D*97", 21));
}

TEST_F(DeviceLinkTest, FramesWrittenByTheLinkAreStored) {
  SimulatedDevice device({});
  auto path = device.Start();
  ASSERT_TRUE(path);
  ASSERT_TRUE(port_.OpenPort(path.Value()));
  std::string data(8192 * 2, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + i / 256);
  auto exchange = [&](const std::string& bytes) { return Exchange(cmd999_, bytes) + "\r\n"; };
  test::SendFileTheProgramsWay(exchange, 0xFF01, data, 8192);
  EXPECT_EQ(device.StoredData(0xFF01), data);
}

}  // namespace
}  // namespace mzt::devsim
