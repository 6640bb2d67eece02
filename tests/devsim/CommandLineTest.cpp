#include "devsim/CommandLine.h"

#include <gtest/gtest.h>

#include "support/ParamName.h"

namespace mzt::devsim {
namespace {

using namespace std::chrono_literals;

TEST(CommandLine, DefaultsPaceAtTheLineRateAndKeepNoRecords) {
  auto settings = ParseCommandLine({});
  ASSERT_TRUE(settings);
  EXPECT_EQ(settings.Value().device.bytesPerSecond, 11520u);
  EXPECT_EQ(settings.Value().device.flashTime, 20ms);
  EXPECT_EQ(settings.Value().replugDelay, 3000ms);
  EXPECT_FALSE(settings.Value().device.record);
  EXPECT_TRUE(settings.Value().device.databaseFolder.empty());
  EXPECT_FALSE(settings.Value().help);
}

TEST(CommandLine, ReadsEveryKindOfOption) {
  auto settings = ParseCommandLine({"--firmware", "1.0.0.3", "--device-id=ABC123", "--region", "CN",
                                    "--pois", "4", "--database", "/db", "--unplaced", "ff01",
                                    "--store", "/keep", "--upload-mode", "--rate", "0", "--flash-ms", "5",
                                    "--capacity", "1000", "--link", "/tmp/port", "--sysfs-root", "/tmp/sys",
                                    "--tty-name", "ttyACM3", "--replug-ms", "0", "--verbose",
                                    "--parameters", "0,3,23,59,2,-5,8A,2,80,90", "--fault", "drop@108:3"});
  ASSERT_TRUE(settings) << settings.Err().message;
  const ProgramSettings& s = settings.Value();
  EXPECT_EQ(s.device.firmware, "1.0.0.3");
  EXPECT_EQ(s.device.deviceId, "ABC123");
  EXPECT_EQ(s.device.region, "CN");
  EXPECT_EQ(s.device.pois.size(), 4u);
  EXPECT_EQ(s.device.databaseFolder, "/db");
  EXPECT_EQ(s.device.unplacedIds, std::vector<uint16_t>{0xFF01});
  EXPECT_EQ(s.device.storeFolder, "/keep");
  EXPECT_TRUE(s.device.uploadModeAtStart);
  EXPECT_EQ(s.device.bytesPerSecond, 0u);
  EXPECT_EQ(s.device.flashTime, 5ms);
  EXPECT_EQ(s.device.flashCapacity, 1000u);
  EXPECT_EQ(s.device.linkPath, "/tmp/port");
  EXPECT_EQ(s.device.sysfsRoot, "/tmp/sys");
  EXPECT_EQ(s.device.ttyName, "ttyACM3");
  EXPECT_EQ(s.replugDelay, 0ms);
  EXPECT_TRUE(s.verbose);
  EXPECT_EQ(s.device.parameters.roadAlert, 3);
  EXPECT_EQ(s.device.parameters.speedOffset, -5);
  EXPECT_EQ(s.device.parameters.utcOffset, 0x8A);
  EXPECT_EQ(s.device.parameters.cameraSpeedLimit, 90);
  ASSERT_EQ(s.device.faults.size(), 1u);
  EXPECT_EQ(s.device.faults[0].command, 108);
  EXPECT_EQ(s.device.faults[0].argument, 3);
}

TEST(CommandLine, TimeScaleShortensTimesAndRaisesTheRate) {
  auto settings = ParseCommandLine({"--flash-ms", "500", "--fault", "delay@995,ms=1500"}, 0.01);
  ASSERT_TRUE(settings);
  EXPECT_EQ(settings.Value().device.flashTime, 5ms);
  EXPECT_EQ(settings.Value().device.faults[0].duration, 15ms);
  EXPECT_EQ(settings.Value().replugDelay, 30ms);
  EXPECT_EQ(settings.Value().device.bytesPerSecond, 1152000u);
}

TEST(CommandLine, HelpNamesEveryOptionAndEveryFault) {
  std::string help = HelpText();
  for (const std::string& name : OptionNames()) EXPECT_NE(help.find(name), std::string::npos) << name;
  for (const char* effect : {"drop", "corrupt", "noise", "talker", "delay", "status2", "zero", "refuse",
                             "poicount", "mute", "unplug", "answer"})
    EXPECT_NE(help.find(std::string(effect) + " "), std::string::npos) << effect;
  auto settings = ParseCommandLine({"--help"});
  ASSERT_TRUE(settings);
  EXPECT_TRUE(settings.Value().help);
}

struct BadLine {
  const char* name;
  std::vector<std::string> args;
};

class RejectedCommandLines : public ::testing::TestWithParam<BadLine> {};

TEST_P(RejectedCommandLines, SayWhy) {
  auto settings = ParseCommandLine(GetParam().args);
  ASSERT_FALSE(settings);
  EXPECT_FALSE(settings.Err().message.empty());
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, RejectedCommandLines,
    ::testing::Values(BadLine{"Unknown", {"--colour"}},
                      BadLine{"MissingValue", {"--firmware"}},
                      BadLine{"SwitchWithValue", {"--verbose=1"}},
                      BadLine{"NegativeRate", {"--rate", "-1"}},
                      BadLine{"LongRegion", {"--region", "TWN"}},
                      BadLine{"BadFileId", {"--unplaced", "FF0G"}},
                      BadLine{"PoisTwice", {"--pois", "2", "--poi-csv", "x.csv"}},
                      BadLine{"ShortParameters", {"--parameters", "1,2,3"}},
                      BadLine{"BadFault", {"--fault", "explode"}}),
    test::RowName());

struct FaultRow {
  const char* name;
  const char* text;
  Fault::Effect effect;
  Fault::Trigger trigger;
  int command;
  int argument;
  int fileId;
  uint64_t nth;
  uint32_t times;
};

class FaultTexts : public ::testing::TestWithParam<FaultRow> {};

TEST_P(FaultTexts, Parse) {
  const FaultRow& row = GetParam();
  auto fault = ParseFault(row.text);
  ASSERT_TRUE(fault) << fault.Err().message;
  EXPECT_EQ(fault.Value().effect, row.effect);
  EXPECT_EQ(fault.Value().trigger, row.trigger);
  EXPECT_EQ(fault.Value().command, row.command);
  EXPECT_EQ(fault.Value().argument, row.argument);
  EXPECT_EQ(fault.Value().fileId, row.fileId);
  EXPECT_EQ(fault.Value().nth, row.nth);
  EXPECT_EQ(fault.Value().times, row.times);
}

using E = Fault::Effect;
using T = Fault::Trigger;

INSTANTIATE_TEST_SUITE_P(
    CommandLine, FaultTexts,
    ::testing::Values(FaultRow{"DropAny", "drop", E::kDropReply, T::kSentence, -1, -1, -1, 1, 1},
                      FaultRow{"DropSelector", "drop@108:3,nth=2", E::kDropReply, T::kSentence, 108, 3, -1, 2, 1},
                      FaultRow{"Status2", "status2,nth=3,times=2", E::kFrameStatus2, T::kFrame, -1, -1, -1, 3, 2},
                      FaultRow{"Status2OfFile", "status2@frame:ff02", E::kFrameStatus2, T::kFrame, -1, -1, 0xFF02, 1, 1},
                      FaultRow{"Zero", "zero,times=3", E::kAnswerZero, T::kSentence, 113, 0, -1, 1, 3},
                      FaultRow{"Refuse", "refuse", E::kRefuseDeletion, T::kSentence, 996, -1, -1, 1, 1},
                      FaultRow{"PoiCount", "poicount,value=120", E::kPoiCount, T::kSentence, 108, 3, -1, 1, 1},
                      FaultRow{"MuteAlways", "mute@995,times=0", E::kStopAnswering, T::kSentence, 995, -1, -1, 1, 0},
                      FaultRow{"UnplugAfterBytes", "unplug@bytes:FF02,nth=20000,ms=2000", E::kUnplug,
                               T::kTransferBytes, -1, -1, 0xFF02, 20000, 1}),
    test::RowName());

TEST(CommandLine, FaultTextTakesTheRestWithEscapes) {
  auto fault = ParseFault("talker@109,nth=2,text=$GPGGA,1,2*00\\r\\n\\x00");
  ASSERT_TRUE(fault) << fault.Err().message;
  EXPECT_EQ(fault.Value().text, std::string("$GPGGA,1,2*00\r\n\0", 16));
  EXPECT_EQ(fault.Value().nth, 2u);
  EXPECT_FALSE(ParseFault("noise,text=\\q"));
  EXPECT_FALSE(ParseFault("noise,text=\\x4"));
  EXPECT_FALSE(ParseFault("drop@frame:12345"));
  EXPECT_FALSE(ParseFault("drop,when=3"));
  EXPECT_FALSE(ParseFault("status2@108"));
  EXPECT_FALSE(ParseFault("drop@bytes,nth=4"));
}

}  // namespace
}  // namespace mzt::devsim
