#include <gtest/gtest.h>

#include <thread>

#include "common/Timing.h"
#include "devicelink/DevicePort.h"
#include "devicelink/ReplyBuilder.h"
#include "PtyDevice.h"

namespace mzt {
namespace {

using namespace std::chrono_literals;

// A device played by hand on a pty, with the timing table at a tenth so that
// the reply windows are wide enough for a loaded machine.
class ReplyTimingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedScale_ = TimeScale();
    SetTimeScale(0.1);  // 108 waits 500 ms
    ASSERT_TRUE(port_.OpenPort(pty_.SlavePath()));
  }
  void TearDown() override {
    port_.ClosePort();
    SetTimeScale(savedScale_);
  }

  double savedScale_ = 1.0;
  test::PtyDevice pty_;
  AutoResetEvent seen_;  // set by the reader: it lives longer than the port
  CDevicePort port_;
};

TEST_F(ReplyTimingTest, LateReplyDoesNotSatisfyTheNextQuery) {
  SetTimeScale(0.01);
  port_.SetSentenceNotification([this](int) { seen_.Set(); });
  EXPECT_FALSE(port_.QueryDeviceInfo(1));  // nobody answers either attempt
  pty_.Write(test::Reply("$LOG108,1,1,9.9.9.9"));  // too late
  ASSERT_TRUE(seen_.Wait(2s));  // the link has taken it
  EXPECT_FALSE(port_.QueryDeviceInfo(1));
}

TEST_F(ReplyTimingTest, SlowReplyStillSatisfiesTheRetry) {
  std::string query = "$PQEL108,2,*03\r\n";
  std::thread device([&] {
    // Answer the first attempt only after its wait has ended.
    EXPECT_EQ(pty_.Read(query.size(), 2s), query);
    // Past the first wait, well inside the second.
    std::this_thread::sleep_for(Duration(Delay::kReply108) * 14 / 10);
    pty_.Write(test::Reply("$LOG108,1,2,ID-42"));
  });
  EXPECT_TRUE(port_.QueryDeviceInfo(2));
  device.join();
  EXPECT_EQ(port_.GetDeviceIdText(), "ID-42");
  // The retry was written, but only one reply was needed.
  EXPECT_EQ(pty_.Read(query.size(), 200ms), query);
}

}  // namespace
}  // namespace mzt
