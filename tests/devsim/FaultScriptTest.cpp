#include "devsim/FaultScript.h"

#include <gtest/gtest.h>

#include "support/ParamName.h"

#include "devicelink/Checksum.h"
#include "devicelink/SentenceFramer.h"
#include "devsim/FirmwareHarness.h"

namespace mzt::devsim {
namespace {

using namespace std::chrono_literals;
using test::Bytes;
using test::Command;
using test::Device;
using test::Frame;

Fault On(Fault::Effect effect, int command = -1, int argument = -1) {
  Fault fault;
  fault.effect = effect;
  fault.command = command;
  fault.argument = argument;
  return fault;
}

Fault OnFrame(Fault::Effect effect, uint64_t nth, uint32_t times = 1) {
  Fault fault;
  fault.effect = effect;
  fault.trigger = Fault::Trigger::kFrame;
  fault.nth = nth;
  fault.times = times;
  return fault;
}

Fault AfterBytes(Fault::Effect effect, uint64_t bytes, int fileId = -1) {
  Fault fault;
  fault.effect = effect;
  fault.trigger = Fault::Trigger::kTransferBytes;
  fault.nth = bytes;
  fault.fileId = fileId;
  return fault;
}

bool Intact(const std::string& reply) {
  return reply.size() > 2 && HasValidChecksum(Bytes(reply.substr(0, reply.size() - 2)));
}

// The sentences the program's framer takes from what the device wrote.
std::vector<std::string> Framed(const std::string& written) {
  std::vector<std::string> sentences;
  SentenceFramer framer;
  framer.Feed(Bytes(written), [&](std::span<const uint8_t> s) { sentences.emplace_back(s.begin(), s.end()); });
  return sentences;
}

TEST(FaultScript, CountsFromWhenTheFaultWasAddedAndActsOnNthToNthPlusTimes) {
  Device device;
  for (int i = 0; i < 3; ++i) ASSERT_FALSE(device.Send(Command("$PQEL108,1,")).empty());
  Fault fault = On(Fault::Effect::kDropReply, 108);
  fault.nth = 2;
  fault.times = 2;
  ASSERT_TRUE(device.Firmware().AddFault(fault));
  std::vector<bool> answered;
  for (int i = 0; i < 5; ++i) answered.push_back(!device.Send(Command("$PQEL108,1,")).empty());
  EXPECT_EQ(answered, (std::vector<bool>{true, false, false, true, true}));
}

TEST(FaultScript, ArgumentNarrowsTheSentencesThatCount) {
  Device device;
  ASSERT_TRUE(device.Firmware().AddFault(On(Fault::Effect::kDropReply, 108, 3)));
  EXPECT_FALSE(device.Send(Command("$PQEL108,1,")).empty());
  EXPECT_TRUE(device.Send(Command("$PQEL108,3,")).empty());
  EXPECT_FALSE(device.Send(Command("$PQEL108,3,")).empty());
}

TEST(FaultScript, TimesZeroActsForever) {
  Device device;
  Fault fault = On(Fault::Effect::kDropReply, 109);
  fault.times = 0;
  ASSERT_TRUE(device.Firmware().AddFault(fault));
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(device.Send(Command("$PQEL109")).empty());
}

TEST(FaultScript, CorruptedReplyFailsTheChecksumCheck) {
  Device device;
  ASSERT_TRUE(device.Firmware().AddFault(On(Fault::Effect::kCorruptChecksum, 113)));
  std::string bad = device.Send(Command("$PQEL113,0"));
  EXPECT_FALSE(Intact(bad));
  EXPECT_EQ(bad.substr(0, bad.find('*')), "$LOG113,1,0");
  EXPECT_TRUE(Intact(device.Send(Command("$PQEL113,0"))));
}

TEST(FaultScript, NoiseAndOtherTalkerComeBeforeAnIntactReply) {
  for (auto effect : {Fault::Effect::kNoiseBefore, Fault::Effect::kOtherTalkerBefore}) {
    Device device;
    ASSERT_TRUE(device.Firmware().AddFault(On(effect)));
    std::string written = device.Send(Command("$PQEL109"));
    std::string reply = Sentence("$LOG109,1");
    ASSERT_GT(written.size(), reply.size()) << EffectName(effect);
    EXPECT_TRUE(written.ends_with(reply));
    EXPECT_EQ(Framed(written), std::vector<std::string>{reply}) << EffectName(effect);
  }
  Device device;
  Fault talker = On(Fault::Effect::kOtherTalkerBefore);
  talker.text = "$GPGSV,1*00\r\n";
  ASSERT_TRUE(device.Firmware().AddFault(talker));
  EXPECT_EQ(device.Send(Command("$PQEL109")), "$GPGSV,1*00\r\n" + Sentence("$LOG109,1"));
}

TEST(FaultScript, DelayTravelsWithTheReply) {
  Device device;
  Fault fault = On(Fault::Effect::kDelayReply, 995);
  fault.duration = 1500ms;
  ASSERT_TRUE(device.Firmware().AddFault(fault));
  device.SendFile(1, "x", 8192);
  EXPECT_FALSE(device.Send(Command("$PQEL995,1")).empty());
  EXPECT_EQ(device.Reactions().at(0).delay, 1500ms);
}

TEST(FaultScript, UploadModeQueryAnswersZeroForTheFirstN) {
  Device device;
  Fault fault = On(Fault::Effect::kAnswerZero);
  fault.times = 2;
  ASSERT_TRUE(device.Firmware().AddFault(fault));
  ASSERT_EQ(device.Send(Command("$PQEL113,1")), Sentence("$LOG113,1,1"));
  EXPECT_EQ(device.Send(Command("$PQEL113,0")), Sentence("$LOG113,1,0"));
  EXPECT_EQ(device.Send(Command("$PQEL113,0")), Sentence("$LOG113,1,0"));
  EXPECT_EQ(device.Send(Command("$PQEL113,0")), Sentence("$LOG113,1,1"));
}

TEST(FaultScript, RefusedDeletionKeepsTheFile) {
  Device device;
  device.SendFile(0xFF00, "header", 8192);
  ASSERT_TRUE(device.Firmware().AddFault(On(Fault::Effect::kRefuseDeletion)));
  EXPECT_EQ(device.Send(Command("$PQEL996,1")), Sentence("$LOG996,1,65280,1"));
  EXPECT_NE(device.Firmware().Store().Find(0xFF00), nullptr);
  EXPECT_EQ(device.Send(Command("$PQEL996,1")), Sentence("$LOG996,1,65280,0"));
  EXPECT_EQ(device.Firmware().Store().Find(0xFF00), nullptr);
}

TEST(FaultScript, PoiCountOfAHundredOrMore) {
  Device device;
  ASSERT_TRUE(device.Firmware().AddFault(On(Fault::Effect::kPoiCount)));
  EXPECT_EQ(device.Send("$PQEL108,3,*02\r\n"), "$LOG108,1,3,1,2,7,30,1,0,10,1,60,0,100*52\r\n");
  EXPECT_EQ(device.Send("$PQEL108,3,*02\r\n"), "$LOG108,1,3,1,2,7,30,1,0,10,1,60,0,2*51\r\n");
}

TEST(FaultScript, Status2ToFrameKThenTheResentFrameIsTaken) {
  Device device;
  ASSERT_TRUE(device.Firmware().AddFault(OnFrame(Fault::Effect::kFrameStatus2, 2)));
  device.Send(Command("$PQEL999,0,9,1,0,0"));
  device.Send(Command("$PQEL999,1,9,4,3"));
  EXPECT_EQ(device.Send(Frame("aaaa")), Sentence("$LOG999,1,4"));
  EXPECT_EQ(device.Send(Frame("bbbb")), Sentence("$LOG999,2"));
  EXPECT_EQ(device.Send(Frame("bbbb")), Sentence("$LOG999,1,8"));
  EXPECT_EQ(device.Send(Frame("cccc")), Sentence("$LOG999,1,12"));
  EXPECT_EQ(device.Send(Command("$PQEL999,2,9,1,0,0")), Sentence("$LOG999,1,9,1,1"));
  EXPECT_EQ(device.Firmware().Store().Find(9)->data, "aaaabbbbcccc");
}

TEST(FaultScript, LostFrameAcknowledgementLeavesAnUnfinishedFile) {
  Device device;
  ASSERT_TRUE(device.Firmware().AddFault(OnFrame(Fault::Effect::kDropReply, 1)));
  device.Send(Command("$PQEL999,0,9,1,0,0"));
  device.Send(Command("$PQEL999,1,9,64,2"));
  EXPECT_EQ(device.Send(Frame(std::string(64, 'q'))), "");
  // The program times out and ends the transfer where a frame was due.
  EXPECT_EQ(device.Send(Command("$PQEL999,2,9,1,0,0")), Sentence("$LOG999,0,9,1,0"));
  EXPECT_EQ(device.Firmware().Store().Find(9)->location, 0u);
}

TEST(FaultScript, StopAnsweringAfterNBytesOfATransfer) {
  Device device;
  ASSERT_TRUE(device.Firmware().AddFault(AfterBytes(Fault::Effect::kStopAnswering, 10)));
  device.Send(Command("$PQEL999,0,9,1,0,0"));
  device.Send(Command("$PQEL999,1,9,8,2"));
  EXPECT_EQ(device.Send(Frame("01234567")), Sentence("$LOG999,1,8"));
  EXPECT_EQ(device.Send(Frame("89abcdef")), "");
  EXPECT_TRUE(device.Firmware().Muted());
  EXPECT_EQ(device.Send(Command("$PQEL109")), "");
  // Still listening: it stored the frame it did not acknowledge.
  EXPECT_EQ(device.Firmware().Store().Find(9)->data, "0123456789abcdef");
}

TEST(FaultScript, UnplugExactlyAfterNBytesOfTheChosenFile) {
  Device device;
  Fault fault = AfterBytes(Fault::Effect::kUnplug, 5, 0xFF02);
  fault.duration = 200ms;
  ASSERT_TRUE(device.Firmware().AddFault(fault));
  device.SendFile(0xFF00, "header-bytes", 4);  // another file does not count
  device.Send(Command("$PQEL999,0,65282,1,0,0"));
  device.Send(Command("$PQEL999,1,65282,8,1"));
  auto outcome = device.Firmware().Feed(Bytes(Frame("ABCDEFGH")));
  EXPECT_EQ(outcome.consumed, 5u);
  ASSERT_EQ(outcome.reactions.size(), 1u);
  EXPECT_TRUE(outcome.reactions[0].unplug);
  EXPECT_EQ(outcome.reactions[0].unplugFor, 200ms);
  device.Firmware().OnUnplug();
  const StoredFile* file = device.Firmware().Store().Find(0xFF02);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->location, 0u);
  EXPECT_FALSE(file->complete);
}

struct BadFaultRow {
  const char* name;
  Fault fault;
};

class RejectedFaults : public ::testing::TestWithParam<BadFaultRow> {};

TEST_P(RejectedFaults, AreRefusedWhenAdded) {
  FaultScript script;
  EXPECT_FALSE(script.Add(GetParam().fault));
  EXPECT_TRUE(script.Empty());
}

Fault With(Fault fault, auto change) {
  change(fault);
  return fault;
}

INSTANTIATE_TEST_SUITE_P(
    FaultScript, RejectedFaults,
    ::testing::Values(
        BadFaultRow{"Status2OnASentence", On(Fault::Effect::kFrameStatus2, 108)},
        BadFaultRow{"ZeroOnAnotherCommand", On(Fault::Effect::kAnswerZero, 108)},
        BadFaultRow{"ZeroOnEnter", On(Fault::Effect::kAnswerZero, 113, 1)},
        BadFaultRow{"RefuseOnAnotherCommand", On(Fault::Effect::kRefuseDeletion, 995)},
        BadFaultRow{"PoiCountOnSelector4", On(Fault::Effect::kPoiCount, 108, 4)},
        BadFaultRow{"DropAfterBytes", AfterBytes(Fault::Effect::kDropReply, 10)},
        BadFaultRow{"CountFromZero", With(On(Fault::Effect::kDropReply), [](Fault& f) { f.nth = 0; })},
        BadFaultRow{"NegativeDelay",
                    With(On(Fault::Effect::kDelayReply), [](Fault& f) { f.duration = -1ms; })}),
    test::RowName());

}  // namespace
}  // namespace mzt::devsim
