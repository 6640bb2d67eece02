#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "devicelink/DevicePort.h"
#include "devicelink/RecordingCommand.h"
#include "devicelink/ReplyBuilder.h"
#include "PtyDevice.h"

namespace mzt {
namespace {

using namespace std::chrono_literals;
using test::PtyDevice;
using test::RecordingCommand;
using test::Reply;

class DevicePortPtyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port_.Receiver().Attach(cmd109_);
    port_.Receiver().Attach(cmd113_);
    port_.SetSentenceNotification([this](int number) {
      if (number == 123) ++unknownNotified_;
      ++notified_;
    });
  }

  PtyDevice pty_;
  RecordingCommand cmd109_{109}, cmd113_{113};
  std::atomic<int> notified_{0};
  std::atomic<int> unknownNotified_{0};
  CDevicePort port_;  // last: its reader stops before what it signals goes
};

TEST_F(DevicePortPtyTest, RepliesWrittenInPiecesAreDispatched) {
  ASSERT_TRUE(port_.OpenPort(pty_.SlavePath()));
  std::string stream = Reply("$LOG109,1") + Reply("$LOG123,1") + Reply("$LOG113,1,2");
  for (size_t pos = 0; pos < stream.size(); pos += 7) {
    pty_.Write(stream.substr(pos, 7));
    std::this_thread::sleep_for(2ms);
  }
  ASSERT_TRUE(cmd113_.ReplyEvent().Wait(2s));
  EXPECT_EQ(cmd109_.Replies(), std::vector<std::string>{"$LOG109,1*61"});
  EXPECT_EQ(cmd113_.Replies().size(), 1u);
  for (int i = 0; i < 200 && notified_.load() < 3; ++i) std::this_thread::sleep_for(10ms);  // after the event
  EXPECT_EQ(unknownNotified_.load(), 1);
  EXPECT_EQ(notified_.load(), 3);
}

TEST_F(DevicePortPtyTest, ReopenClosesTheOldPortAndCloseTwiceIsHarmless) {
  PtyDevice second;
  ASSERT_TRUE(port_.OpenPort(pty_.SlavePath()));
  ASSERT_TRUE(port_.OpenPort(second.SlavePath()));
  // The first port is free again: another link may take it.
  CDevicePort other;
  EXPECT_TRUE(other.OpenPort(pty_.SlavePath()));
  // Only the new port feeds the receiver.
  pty_.Write(Reply("$LOG109,1"));
  second.Write(Reply("$LOG113,1,1"));
  EXPECT_TRUE(cmd113_.ReplyEvent().Wait(2s));
  EXPECT_FALSE(cmd109_.ReplyEvent().Wait(100ms));
  port_.ClosePort();
  port_.ClosePort();
  EXPECT_FALSE(port_.IsOpen());
}

TEST_F(DevicePortPtyTest, OpenAndCloseFromTwoThreads) {
  // A worker still closing while the front end opens for the next flow.
  std::thread closer([this] {
    for (int i = 0; i < 20; ++i) port_.ClosePort();
  });
  for (int i = 0; i < 20; ++i) port_.OpenPort(pty_.SlavePath());
  closer.join();
  ASSERT_TRUE(port_.OpenPort(pty_.SlavePath()));
  pty_.Write(Reply("$LOG109,1"));
  EXPECT_TRUE(cmd109_.ReplyEvent().Wait(2s));
}

TEST_F(DevicePortPtyTest, FailedOpenLeavesThePortClosedAndAnUnpluggedOneFailsWrites) {
  ASSERT_TRUE(port_.OpenPort(pty_.SlavePath()));
  CDevicePort other;
  EXPECT_FALSE(other.OpenPort(pty_.SlavePath()));  // in use
  EXPECT_FALSE(other.IsOpen());
  EXPECT_FALSE(other.OpenPort("/dev/no-such-port-here"));
  EXPECT_FALSE(other.IsOpen());
  EXPECT_FALSE(other.LastOpenError().empty());
  const std::string sentence = "$PQEL109*30\r\n";
  const auto* bytes = reinterpret_cast<const uint8_t*>(sentence.data());
  EXPECT_FALSE(other.WriteBytes(bytes, sentence.size()));

  pty_.Close();
  std::this_thread::sleep_for(100ms);  // the reader notices the hang-up
  EXPECT_FALSE(port_.WriteBytes(bytes, sentence.size()));
  port_.ClosePort();
  EXPECT_FALSE(port_.IsOpen());
}

}  // namespace
}  // namespace mzt
