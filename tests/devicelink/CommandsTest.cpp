#include <gtest/gtest.h>

#include <string>

#include "devicelink/Commands.h"
#include "devicelink/ReplyBuilder.h"
#include "support/ParamName.h"

namespace mzt {
namespace {

using test::Reply;

std::string SentenceOf(const CMZTCmd& command) {
  auto bytes = command.Sentence();
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// Feeds a reply (without its line end) and tells whether it was accepted.
bool Feed(CMZTCmd& command, const std::string& replyWithLineEnd) {
  command.ReplyEvent().Reset();
  std::string sentence = replyWithLineEnd.substr(0, replyWithLineEnd.size() - 2);
  command.ParseReply(std::span(reinterpret_cast<const uint8_t*>(sentence.data()), sentence.size()));
  return command.ReplyEvent().IsSet();
}

TEST(CommandSentenceTest, GoldenBytes) {
  Cmd108 cmd108;
  ASSERT_TRUE(cmd108.SetSelector(1));
  EXPECT_EQ(SentenceOf(cmd108), "$PQEL108,1,*00\r\n");
  EXPECT_FALSE(cmd108.SetSelector(8));
  EXPECT_EQ(SentenceOf(cmd108), "$PQEL108,1,*00\r\n");  // a refusal composes nothing

  Cmd109 cmd109;
  EXPECT_EQ(SentenceOf(cmd109), "$PQEL109*30\r\n");

  Cmd113 cmd113;
  ASSERT_TRUE(cmd113.SetArgument(1));
  EXPECT_EQ(SentenceOf(cmd113), Reply("$PQEL113,1"));
  EXPECT_FALSE(cmd113.SetArgument(2));

  Cmd114 cmd114;
  cmd114.SetIndex(5);
  EXPECT_EQ(SentenceOf(cmd114), Reply("$PQEL114,5"));

  Cmd995 cmd995;
  ASSERT_TRUE(cmd995.SetIndex(3));
  EXPECT_EQ(SentenceOf(cmd995), Reply("$PQEL995,3"));
  EXPECT_FALSE(cmd995.SetIndex(0));
  EXPECT_FALSE(cmd995.SetIndex(65536));

  Cmd996 cmd996;
  cmd996.SetLocation(44);
  EXPECT_EQ(SentenceOf(cmd996), Reply("$PQEL996,44"));

  // File transfer units.
  Cmd999 cmd;
  const uint8_t zero[] = {'0'};
  EXPECT_FALSE(cmd.SetHeader(Cmd999::kStart, 0xFF00, 1, zero, 0));  // no payload allowed yet
  cmd.SetMaximumPayload(8192);
  ASSERT_TRUE(cmd.SetHeader(Cmd999::kStart, 0xFF00, 1, zero, 0));
  EXPECT_EQ(SentenceOf(cmd), Reply("$PQEL999,0,65280,1,0,0"));
  ASSERT_TRUE(cmd.SetHeader(Cmd999::kData, 0xFF00, 8192, {}, 3));
  EXPECT_EQ(SentenceOf(cmd), Reply("$PQEL999,1,65280,8192,3"));
  EXPECT_FALSE(cmd.SetHeader(Cmd999::kData, 0xFF00, 8193, {}, 1));
  ASSERT_TRUE(cmd.SetHeader(Cmd999::kData, 0xFF02, 3, {}, 1));
  const uint8_t data[] = {0x01, 0x02, 0x04};
  ASSERT_TRUE(cmd.SetDataFrame(data));
  EXPECT_EQ(SentenceOf(cmd), std::string("\x01\x02\x04\x07", 4));
  ASSERT_TRUE(cmd.SetHeader(Cmd999::kEnd, 0xFF02, 1, zero, 0));
  EXPECT_EQ(SentenceOf(cmd), Reply("$PQEL999,2,65282,1,0,0"));
}

TEST(FileTableRepliesTest, NeedTheirOwnIndexOrFileAndNoError) {
  Cmd995 entry;
  entry.SetIndex(2);
  EXPECT_FALSE(Feed(entry, Reply("$LOG995,1,3,65281,4096")));
  EXPECT_FALSE(Feed(entry, Reply("$LOG995,0,2,65281,4096")));
  ASSERT_TRUE(Feed(entry, Reply("$LOG995,1,2,65281,4096")));
  EXPECT_EQ(entry.FileIdentifier(), 65281);
  EXPECT_EQ(entry.LocationValue(), 4096);

  Cmd996 deletion;
  deletion.SetExpectedIdentifier(0xFF00);
  deletion.SetLocation(44);
  for (const char* refused : {"$LOG996,1,65280,1", "$LOG996,1,65281,0", "$LOG996,2,65280,0"})
    EXPECT_FALSE(Feed(deletion, Reply(refused))) << refused;
  EXPECT_TRUE(Feed(deletion, Reply("$LOG996,1,65280,0")));
}

TEST(Cmd113ReplyTest, ValueKeptOnlyForTheQuery) {
  Cmd113 cmd;
  cmd.SetArgument(0);
  EXPECT_TRUE(Feed(cmd, Reply("$LOG113,1,1")));
  EXPECT_EQ(cmd.Value(), 1);
  cmd.SetArgument(1);
  EXPECT_TRUE(Feed(cmd, Reply("$LOG113,1,0")));
  EXPECT_EQ(cmd.Value(), 1);  // the enter reply's field is not a mode value
  EXPECT_FALSE(Feed(cmd, Reply("$LOG113,0,1")));
}

TEST(Cmd114ReplyTest, DecodesThePoiRecord) {
  Cmd114 cmd;
  cmd.SetIndex(5);
  EXPECT_FALSE(Feed(cmd, Reply("$LOG114,1,4,0.1,0.2,0.3,0.4,1,2,3,4,5,6,7,8,9")));
  ASSERT_TRUE(Feed(cmd, Reply("$LOG114,1,5,0.4372,2.1,0.4372,-2.1,370,90,59,1A2B,5678,9ABC,3,4,500")));
  CameraRecord record = cmd.Record();
  char text[32];
  std::snprintf(text, sizeof text, "%f", record.CameraPoint().latitude);
  EXPECT_STREQ(text, "25.049715");
  EXPECT_FLOAT_EQ(record.WarningPoint().longitude,
                  static_cast<float>(2.1f * Cmd114::kDegreesPerRadian));
  EXPECT_LT(record.CameraPoint().longitude, 0.0f);
  EXPECT_EQ(record.WarningHeading(), 370);
  EXPECT_EQ(record.CameraHeading(), 90);
  EXPECT_EQ(record.SpeedLimit(), 59.0f);
  EXPECT_EQ(record.RecordValue(), 0x1A2B);
  EXPECT_EQ(record.CameraId(), 0x9ABC5678u);
  EXPECT_EQ(record.VoiceCode(), 3);
  EXPECT_EQ(record.AngleCode(), 4);
  EXPECT_EQ(record.WarningDistance(), 500);

  // Missing fields read as zero, values keep their low 16 bits.
  cmd.SetIndex(0);
  ASSERT_TRUE(Feed(cmd, Reply("$LOG114,1,0,0,0,0,0,65537,x")));
  record = cmd.Record();
  EXPECT_EQ(record.WarningHeading(), 1);
  EXPECT_EQ(record.CameraHeading(), 0);
  EXPECT_EQ(record.CameraId(), 0u);
}

// Everything the command holds: version|device ID|region|POI count|database.
std::string Held(const Cmd108& cmd) {
  DeviceDatabaseVersion v = cmd.DatabaseVersion();
  return cmd.VersionText() + "|" + cmd.DeviceIdText() + "|" + cmd.RegionCode() + "|" +
         std::to_string(cmd.PoiCount()) + "|" + std::to_string(v.number) + " " +
         std::to_string(v.year) + "-" + std::to_string(v.month) + "-" + std::to_string(v.day);
}

struct Reply108Case {
  const char* name;
  int selector;
  bool exact;
  std::string reply;
  bool accepted;
  std::string held;  // a refused reply leaves the empty holders
};

class Cmd108ReplyTest : public ::testing::TestWithParam<Reply108Case> {};
TEST_P(Cmd108ReplyTest, DecodesItsSelectorsField) {
  Cmd108 cmd;
  cmd.SetExactMode(GetParam().exact);
  cmd.SetSelector(GetParam().selector);
  EXPECT_EQ(Feed(cmd, Reply(GetParam().reply)), GetParam().accepted);
  EXPECT_EQ(Held(cmd), GetParam().held);
}
using Q = Reply108Case;
INSTANTIATE_TEST_SUITE_P(
    Replies, Cmd108ReplyTest,
    ::testing::Values(
        Q{"Version", 1, false, "$LOG108,1,1,1.0.0.3", true, "1.0.0.3|||0|0 0-0-0"},
        Q{"DeviceIdCutToItsHolder", 2, false, "$LOG108,1,2," + std::string(60, 'A'), true,
          "|" + std::string(19, 'A') + "||0|0 0-0-0"},
        Q{"RegionReversed", 7, false, "$LOG108,1,7,WT", true, "||TW|0|0 0-0-0"},
        Q{"RegionOfThreeCut", 7, false, "$LOG108,1,7,NCX", true, "||CN|0|0 0-0-0"},
        Q{"RegionOfOneIsNone", 7, false, "$LOG108,1,7,W", true, "|||0|0 0-0-0"},
        // Normal form: count in field 14. Exact form: field 11.
        Q{"PoiCountNormalForm", 3, false, "$LOG108,1,3,1,2,3,4,5,6,7,8,9,10,11", true, "|||11|0 0-0-0"},
        Q{"PoiCountExactForm", 3, true, "$LOG108,1,3,1,2,3,4,5,6,7,8,9,10,11", true, "|||8|0 0-0-0"},
        Q{"PoiCount99", 3, false, "$LOG108,1,3,1,2,3,4,5,6,7,8,9,10,99", true, "|||99|0 0-0-0"},
        Q{"PoiCount100", 3, false, "$LOG108,1,3,1,2,3,4,5,6,7,8,9,10,100", false, "|||0|0 0-0-0"},
        Q{"DateAsText", 4, false, "$LOG108,1,4,3,07DC0511", true, "|||0|3 2012-5-17"},
        // Raw bytes holding a 13 and a ',' still decode by position.
        Q{"RawDate", 4, true, std::string("$LOG108,1,4,12,\x07\xE8\x2C\x0D", 19), true,
          "|||0|12 2024-44-13"},
        Q{"RawNulDate", 4, true, std::string("$LOG108,1,4,258,\0\0\0\0", 20), true, "|||0|258 0-0-0"},
        Q{"Status0", 1, false, "$LOG108,0,1,9.9.9.9", false, "|||0|0 0-0-0"},
        Q{"SelectorNotKept", 5, false, "$LOG108,1,5,9.9.9.9", false, "|||0|0 0-0-0"},
        // A late reply to another query does not answer this one.
        Q{"ReplyToAnotherQuery", 2, false, "$LOG108,1,1,9.9.9.9", false, "|||0|0 0-0-0"}),
    test::RowName());

struct Reply999Case {
  enum Awaiting { kHeader, kFrame, kBetweenFrames };
  const char* name;
  Awaiting awaiting;
  std::string reply;
  bool signalled;
  bool resend;
};

class Cmd999ReplyTest : public ::testing::TestWithParam<Reply999Case> {};
TEST_P(Cmd999ReplyTest, Acknowledgements) {
  Cmd999 cmd;
  cmd.SetMaximumPayload(100);
  ASSERT_TRUE(cmd.SetHeader(Cmd999::kData, 0xFF01, 10, {}, 2));
  if (GetParam().awaiting != Reply999Case::kHeader) {
    const uint8_t data[10] = {};
    ASSERT_TRUE(cmd.SetDataFrame(data));
  }
  // The second frame of the file: 20 bytes sent so far.
  if (GetParam().awaiting == Reply999Case::kFrame) cmd.AwaitAcknowledgement(20);
  EXPECT_EQ(Feed(cmd, GetParam().reply), GetParam().signalled);
  EXPECT_EQ(cmd.ResendRequested(), GetParam().resend);
}
using R = Reply999Case;
INSTANTIATE_TEST_SUITE_P(
    Replies, Cmd999ReplyTest,
    ::testing::Values(R{"HeaderTaken", R::kHeader, Reply("$LOG999,1,65281,10,1"), true, false},
                      R{"HeaderWrongLength", R::kHeader, Reply("$LOG999,1,65281,9,1"), false, false},
                      R{"HeaderNotConfirmed", R::kHeader, Reply("$LOG999,1,65281,10,0"), false, false},
                      R{"HeaderWrongFile", R::kHeader, Reply("$LOG999,1,65280,10,1"), false, false},
                      R{"FrameTaken", R::kFrame, Reply("$LOG999,1,20"), true, false},
                      R{"FrameResend", R::kFrame, Reply("$LOG999,2"), true, true},
                      R{"FrameRefused", R::kFrame, Reply("$LOG999,3"), true, false},
                      R{"CountOfTheFrameBefore", R::kFrame, Reply("$LOG999,1,10"), false, false},
                      R{"CountPastTheFrame", R::kFrame, Reply("$LOG999,1,30"), false, false},
                      R{"LateHeaderReply", R::kFrame, Reply("$LOG999,1,20,10,1"), false, false},
                      R{"ResendBetweenFrames", R::kBetweenFrames, Reply("$LOG999,2"), false, false},
                      R{"CountBetweenFrames", R::kBetweenFrames, Reply("$LOG999,1,20"), false, false}),
    test::RowName());

}  // namespace
}  // namespace mzt
