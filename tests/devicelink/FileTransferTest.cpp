// Sending files into the simulated device.

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>

#include "common/Timing.h"
#include "devicelink/DevicePort.h"
#include "devsim/DeviceFirmware.h"
#include "devsim/SimulatedDevice.h"
#include "support/TempFolder.h"

namespace mzt {
namespace {

using devsim::Fault;

class FileTransferTest : public ::testing::Test {
 protected:
  virtual bool RawFrames() const { return false; }
  void SetUp() override {
    devsim::SimulatedDevice::Options options;
    options.uploadModeAtStart = true;
    options.rawFrames = RawFrames();
    device_ = std::make_unique<devsim::SimulatedDevice>(options);
    auto path = device_->Start();
    ASSERT_TRUE(path) << path.Err().message;
    ASSERT_TRUE(port_.OpenPort(path.Value()));
    port_.SetProgressCallback([this](uint32_t acknowledged, uint32_t size) {
      std::lock_guard lock(mutex_);
      progress_.emplace_back(acknowledged, size);
    });
  }
  void TearDown() override {
    port_.ClosePort();
    device_->Stop();
  }

  std::string MakeFile(const std::string& name, size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 31 + 7) & 0xFF);
    test::WriteFileBytes(folder_ / name, bytes);
    return bytes;
  }
  std::vector<std::string> Transfer999() const {
    std::vector<std::string> found;
    for (const auto& s : device_->ReceivedSentences())
      if (s.rfind("$PQEL999", 0) == 0) found.push_back(s.substr(0, s.find('*')));
    return found;
  }
  size_t Frames() const { return device_->ReceivedFrames().size(); }

  test::TempFolder folder_;
  std::unique_ptr<devsim::SimulatedDevice> device_;
  CDevicePort port_;
  std::mutex mutex_;
  std::vector<std::pair<uint32_t, uint32_t>> progress_;
};

// The first header's reply comes after its time-out and the second's soon
// after, while each frame is slow to be stored.
std::vector<Fault> LateHeaderReply() {
  return {{.effect = Fault::Effect::kDelayReply, .command = 999, .argument = 1, .nth = 1,
           .times = 1, .duration = kMinScaledReply + std::chrono::milliseconds(50)},
          {.effect = Fault::Effect::kDelayReply, .command = 999, .argument = 1, .nth = 2,
           .times = 1, .duration = std::chrono::milliseconds(20)},
          {.effect = Fault::Effect::kDelayReply, .trigger = Fault::Trigger::kFrame, .nth = 1,
           .times = 0, .duration = std::chrono::milliseconds(20)}};
}

// A device that answers nothing but whole sentences of its own.
Fault Answer(uint64_t frame, const std::string& sentences) {
  return {.effect = Fault::Effect::kReplaceReply, .trigger = Fault::Trigger::kFrame, .nth = frame,
          .times = 1, .text = sentences};
}

struct PlanCase {
  const char* name;
  size_t size;
  int chunk;
  std::vector<std::string> sentences;  // the 999 sentences without checksum; empty: not checked
  size_t frames;
  std::vector<Fault> faults{};  // the device recovers from these
};

class ChunkPlanTest : public FileTransferTest, public ::testing::WithParamInterface<PlanCase> {};

TEST_P(ChunkPlanTest, HeadersAndFramesFollowThePlan) {
  std::string bytes = MakeFile("FF02.bin", GetParam().size);
  port_.SetChunkSize(GetParam().chunk);
  for (const Fault& fault : GetParam().faults) ASSERT_TRUE(device_->AddFault(fault));
  ASSERT_TRUE(port_.SendFile(folder_ / "FF02.bin"));
  EXPECT_EQ(device_->StoredData(0xFF02).value_or("<none>"), bytes);
  std::lock_guard lock(mutex_);
  ASSERT_FALSE(progress_.empty());
  EXPECT_EQ(progress_.back(), std::make_pair(static_cast<uint32_t>(GetParam().size),
                                             static_cast<uint32_t>(GetParam().size)));
  if (GetParam().sentences.empty()) return;
  EXPECT_EQ(Transfer999(), GetParam().sentences);
  EXPECT_EQ(Frames(), GetParam().frames);
  EXPECT_EQ(progress_.size(), GetParam().frames + 1);  // each frame and the end
}

INSTANTIATE_TEST_SUITE_P(
    Plans, ChunkPlanTest,
    ::testing::Values(
        PlanCase{"ThreeWholeChunks", 3 * 11264, 11264,
                 {"$PQEL999,0,65282,1,0,0", "$PQEL999,1,65282,11264,3", "$PQEL999,2,65282,1,0,0"}, 3},
        PlanCase{"ShortFile", 100, 8192,
                 {"$PQEL999,0,65282,1,0,0", "$PQEL999,1,65282,100,1", "$PQEL999,2,65282,1,0,0"}, 1},
        PlanCase{"OneByteChunks", 2, 1,
                 {"$PQEL999,0,65282,1,0,0", "$PQEL999,1,65282,1,2", "$PQEL999,2,65282,1,0,0"}, 2},
        PlanCase{"OneAndABit", 8192 + 10, 8192,
                 {"$PQEL999,0,65282,1,0,0", "$PQEL999,1,65282,8192,1", "$PQEL999,1,65282,10,1",
                  "$PQEL999,2,65282,1,0,0"},
                 2},
        PlanCase{"TwoFileBufferPieces", 1126400 + 5, 16384,
                 {"$PQEL999,0,65282,1,0,0", "$PQEL999,1,65282,16384,68", "$PQEL999,1,65282,12288,1",
                  "$PQEL999,1,65282,5,1", "$PQEL999,2,65282,1,0,0"},
                 70},
        PlanCase{"ResendThenAccept", 300, 100, {}, 0,
                 {{.effect = Fault::Effect::kFrameStatus2, .trigger = Fault::Trigger::kFrame, .nth = 2, .times = 1}}},
        // The first header's reply comes after its time-out, so the header is
        // sent again; a clean run of acknowledgements after it is the file.
        PlanCase{"LateHeaderReplyThenACleanRun", 6400, 1000, {}, 0, LateHeaderReply()},
        PlanCase{"StrayStatus2BetweenFrames", 300, 100, {}, 0,
                 {Answer(1, devsim::Sentence("$LOG999,1,100") + devsim::Sentence("$LOG999,2"))}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(FileTransferTest, EmptyFileAfterALargeOneIsStartEndAndOneEmptyReport) {
  MakeFile("FF02.bin", 3000);
  MakeFile("FF00.bin", 0);
  port_.SetChunkSize(1000);
  ASSERT_TRUE(port_.SendFile(folder_ / "FF02.bin"));
  progress_.clear();
  size_t before = Transfer999().size();
  ASSERT_TRUE(port_.SendFile(folder_ / "FF00.bin"));
  auto sentences = Transfer999();
  EXPECT_EQ(std::vector<std::string>(sentences.begin() + before, sentences.end()),
            (std::vector<std::string>{"$PQEL999,0,65280,1,0,0", "$PQEL999,2,65280,1,0,0"}));
  std::lock_guard lock(mutex_);
  EXPECT_EQ(progress_, (std::vector<std::pair<uint32_t, uint32_t>>{{0, 0}}));
}

struct FailureCase {
  const char* name;
  std::vector<Fault> faults;
  size_t framesSent;
  bool deviceHasAllFrames = false;  // so that the end sentence completes the file there
  bool rawFrames = false;           // the device then takes the end sentence as frame bytes
};

class TransferFailureTest : public FileTransferTest,
                            public ::testing::WithParamInterface<FailureCase> {
  bool RawFrames() const override { return GetParam().rawFrames; }
};

TEST_P(TransferFailureTest, FailsAndStillSendsTheEnd) {
  MakeFile("FF02.bin", 300);
  port_.SetChunkSize(100);
  for (const Fault& fault : GetParam().faults) ASSERT_TRUE(device_->AddFault(fault));
  EXPECT_FALSE(port_.SendFile(folder_ / "FF02.bin"));
  EXPECT_EQ(Frames(), GetParam().framesSent);
  auto sentences = Transfer999();
  ASSERT_FALSE(sentences.empty());
  if (!GetParam().rawFrames) {
    EXPECT_EQ(sentences.back(), "$PQEL999,2,65282,1,0,0");
  }
  if (GetParam().deviceHasAllFrames) return;
  for (const auto& file : device_->ReceivedFiles()) EXPECT_NE(file.id, 0xFF02);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, TransferFailureTest,
    ::testing::Values(
        FailureCase{"ResendTwice",
                    {{.effect = Fault::Effect::kFrameStatus2, .trigger = Fault::Trigger::kFrame,
                      .nth = 2, .times = 2}},
                    3},
        FailureCase{"NoAcknowledgementFailsAtOnce",
                    {{.effect = Fault::Effect::kDropReply, .trigger = Fault::Trigger::kFrame,
                      .nth = 1, .times = 1}},
                    1},
        FailureCase{"HeaderRefused",
                    {{.effect = Fault::Effect::kDropReply, .command = 999, .argument = 1,
                      .nth = 1, .times = 2}},
                    0},
        FailureCase{"CountOfAnEarlierFrame", {Answer(2, devsim::Sentence("$LOG999,1,100"))}, 2},
        FailureCase{"CountPastTheFrame", {Answer(2, devsim::Sentence("$LOG999,1,300"))}, 2},
        FailureCase{"FinalCountShortOfTheSize", {Answer(3, devsim::Sentence("$LOG999,1,290"))}, 3,
                    true},
        FailureCase{"FrameRefusedWithStatus3", {Answer(2, devsim::Sentence("$LOG999,3"))}, 2},
        // Nothing says that the device stored the file.
        FailureCase{"EndUnanswered",
                    {{.effect = Fault::Effect::kDropReply, .command = 999, .argument = 2,
                      .nth = 1, .times = 2}},
                    3, true},
        // After a repeated header a resend request means that the device may
        // read the frames out of step: the XOR cannot tell.
        FailureCase{"ResendAfterARepeatedHeader",
                    [] {
                      auto faults = LateHeaderReply();
                      faults.push_back({.effect = Fault::Effect::kFrameStatus2,
                                        .trigger = Fault::Trigger::kFrame, .nth = 2});
                      return faults;
                    }(),
                    2},
        // A device reading raw bytes takes the repeated header as the first
        // frame's start and asks for that frame again.
        FailureCase{"RepeatedHeaderReadAsFrameBytes", {LateHeaderReply()[0]}, 1, false, true}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(FileTransferTest, ABadChunkSizeSendsNothingAndARefusedStartNothingElse) {
  MakeFile("FF00.bin", 300);
  for (int size : {0, 16385}) {
    port_.SetChunkSize(size);
    EXPECT_FALSE(port_.SendFile(folder_ / "FF00.bin"));
  }
  EXPECT_TRUE(device_->ReceivedSentences().empty());
  port_.SetChunkSize(100);
  ASSERT_TRUE(device_->AddFault({.effect = Fault::Effect::kDropReply, .command = 999,
                                 .argument = 0, .nth = 1, .times = 2}));
  EXPECT_FALSE(port_.SendFile(folder_ / "FF00.bin"));
  EXPECT_EQ(Transfer999(), (std::vector<std::string>{"$PQEL999,0,65280,1,0,0", "$PQEL999,0,65280,1,0,0"}));
}

TEST_F(FileTransferTest, UnreadableFileIsReportedAndEndsTheTransfer) {
  std::vector<std::string> reported;
  port_.SetErrorReporter([&](const std::string& text) { reported.push_back(text); });
  port_.SetChunkSize(100);
  std::filesystem::create_directory(folder_ / "FF02.bin");  // opens, but cannot be read
  EXPECT_FALSE(port_.SendFile(folder_ / "FF02.bin"));
  EXPECT_EQ(reported.size(), static_cast<size_t>(CDevicePort::kFileReadAttempts));
  EXPECT_EQ(Transfer999().back(), "$PQEL999,2,65282,1,0,0");
}

TEST(FileIdentifierTest, HexadecimalStartOfTheName) {
  EXPECT_EQ(CDevicePort::FileIdentifierFromName("/tmp/x/FF00.bin"), 0xFF00);
  EXPECT_EQ(CDevicePort::FileIdentifierFromName("0001.bin"), 1);
  EXPECT_EQ(CDevicePort::FileIdentifierFromName("Index.bin"), 0);
  EXPECT_EQ(CDevicePort::FileIdentifierFromName("ABCDEF.bin"), 0xABCD);
}

}  // namespace
}  // namespace mzt
