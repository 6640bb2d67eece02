#include "devsim/DeviceParser.h"

#include <gtest/gtest.h>

#include "support/ParamName.h"

#include <string>
#include <vector>

namespace mzt::devsim {
namespace {

std::span<const uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// Feeds everything in pieces of `piece` bytes and collects the units.
std::vector<ParsedUnit> FeedAll(DeviceParser& parser, const std::string& stream, size_t piece) {
  std::vector<ParsedUnit> units;
  for (size_t pos = 0; pos < stream.size(); pos += piece) {
    std::string chunk = stream.substr(pos, piece);
    auto bytes = Bytes(chunk);
    while (!bytes.empty()) {
      auto step = parser.Feed(bytes);
      EXPECT_GT(step.consumed, 0u);
      bytes = bytes.subspan(step.consumed);
      if (step.unit) units.push_back(*step.unit);
    }
  }
  return units;
}

struct SentenceRow {
  const char* name;
  std::string stream;
  std::vector<std::string> sentences;
  std::vector<bool> intact;
};

class SentenceCutting : public ::testing::TestWithParam<SentenceRow> {};

TEST_P(SentenceCutting, AnySplitGivesTheSameSentences) {
  const SentenceRow& row = GetParam();
  for (size_t piece : {size_t{1}, size_t{3}, size_t{1000}}) {
    DeviceParser parser;
    auto units = FeedAll(parser, row.stream, piece);
    ASSERT_EQ(units.size(), row.sentences.size()) << "piece " << piece;
    for (size_t i = 0; i < units.size(); ++i) {
      EXPECT_EQ(units[i].kind, ParsedUnit::Kind::kSentence);
      EXPECT_EQ(units[i].bytes, row.sentences[i]);
      EXPECT_EQ(units[i].intact, row.intact[i]) << row.sentences[i];
      EXPECT_FALSE(units[i].interruptedFrames);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    DeviceParser, SentenceCutting,
    ::testing::Values(
        SentenceRow{"Query", "$PQEL108,1,*00\r\n", {"$PQEL108,1,*00"}, {true}},
        SentenceRow{"NoFields", "$PQEL109*30\r\n", {"$PQEL109*30"}, {true}},
        SentenceRow{"WrongChecksum", "$PQEL109*31\r\n", {"$PQEL109*31"}, {false}},
        SentenceRow{"NoiseBefore", std::string("\x00\xFFxyz\r\n", 7) + "$PQEL113,0*27\r\n", {"$PQEL113,0*27"}, {true}},
        SentenceRow{"RestartedByDollar", "$PQEL10$PQEL113,1*26\r\n", {"$PQEL113,1*26"}, {true}},
        SentenceRow{"TwoInARow", "$PQEL113,0*27\r\n$PQEL995,1*20\r\n", {"$PQEL113,0*27", "$PQEL995,1*20"}, {true, true}},
        SentenceRow{"CarriageReturnOnly", "$PQEL113,0*27\r$PQEL109*30\r", {"$PQEL113,0*27", "$PQEL109*30"}, {true, true}},
        SentenceRow{"StartPayload", "$PQEL999,0,65280,1,0,0*25\r\n", {"$PQEL999,0,65280,1,0,0*25"}, {true}}),
    test::RowName());

TEST(DeviceParser, OverlongSentenceIsDiscarded) {
  DeviceParser parser;
  std::string stream = "$" + std::string(DeviceParser::kMaxSentence + 10, 'A') + "\r\n$PQEL109*30\r\n";
  auto units = FeedAll(parser, stream, 64);
  ASSERT_EQ(units.size(), 1u);
  EXPECT_EQ(units[0].bytes, "$PQEL109*30");
  EXPECT_GT(parser.SkippedBytes(), DeviceParser::kMaxSentence);
}

TEST(DeviceParser, FeedStopsRightAfterEachUnit) {
  DeviceParser parser;
  std::string stream = "$PQEL109*30\r\n$PQEL113,0*27\r\n";
  auto step = parser.Feed(Bytes(stream));
  ASSERT_TRUE(step.unit);
  EXPECT_EQ(step.consumed, 13u);  // the line feed goes with its sentence
  EXPECT_EQ(step.frameBytes, 0u);
}

// A header was accepted: the bytes after it are raw frames, whatever they hold.
TEST(DeviceParser, FramesAfterAHeaderAreTakenRawWithTheirXor) {
  DeviceParser parser;
  std::string header = "$PQEL999,1,65280,4,2*3F\r";  // its line feed comes with the frames
  auto step = parser.Feed(Bytes(header));
  ASSERT_TRUE(step.unit);
  parser.ExpectFrames(4, 2);
  // Frame data may hold '$', CR and LF; the second frame's XOR byte is wrong.
  std::string frames = std::string("\n$\r\n\x01", 5) + '\x22' + std::string("ABCD", 4) + '\x00';
  frames += "$PQEL109*30\r\n";
  auto units = FeedAll(parser, frames, 2);
  ASSERT_EQ(units.size(), 3u);
  EXPECT_EQ(units[0].kind, ParsedUnit::Kind::kFrame);
  EXPECT_EQ(units[0].bytes, std::string("$\r\n\x01", 4));
  EXPECT_EQ(units[0].frameXor, 0x22);
  EXPECT_TRUE(units[0].intact);
  EXPECT_EQ(units[1].kind, ParsedUnit::Kind::kFrame);
  EXPECT_EQ(units[1].bytes, "ABCD");
  EXPECT_FALSE(units[1].intact);
  // After the last frame the parser is back in sentence mode.
  EXPECT_EQ(units[2].kind, ParsedUnit::Kind::kSentence);
  EXPECT_EQ(units[2].bytes, "$PQEL109*30");
  EXPECT_FALSE(parser.InFrameMode());
}

TEST(DeviceParser, ReportsFrameBytesAsTheyArrive) {
  DeviceParser parser;
  parser.ExpectFrames(10, 1);
  std::string part(6, 'x');
  auto step = parser.Feed(Bytes(part));
  EXPECT_EQ(step.consumed, 6u);
  EXPECT_EQ(step.frameBytes, 6u);
  EXPECT_FALSE(step.unit);
  EXPECT_EQ(parser.PartialFrameBytes(), 6u);
}

// Frames longer than the sentence show it at its line end; shorter ones are
// read on because their XOR fails and they begin like a command.
TEST(DeviceParser, ASentenceInsteadOfTheNextFrameEndsTheFrames) {
  for (size_t frameLength : {size_t{11264}, size_t{4}}) {
    DeviceParser parser;
    parser.ExpectFrames(frameLength, 3);
    auto units = FeedAll(parser, "$PQEL999,2,65280,1,0,0*27\r\n", 5);
    ASSERT_EQ(units.size(), 1u) << frameLength;
    EXPECT_EQ(units[0].kind, ParsedUnit::Kind::kSentence);
    EXPECT_TRUE(units[0].interruptedFrames);
    EXPECT_EQ(units[0].bytes, "$PQEL999,2,65280,1,0,0*27");
    EXPECT_FALSE(parser.InFrameMode());
  }
}

TEST(DeviceParser, ShortFrameThatLooksLikeACommandButIsNoneIsABadFrame) {
  DeviceParser parser;
  parser.ExpectFrames(4, 2);
  auto units = FeedAll(parser, "$PQEL-garbage\r\n", 3);
  ASSERT_EQ(units.size(), 1u);
  EXPECT_EQ(units[0].kind, ParsedUnit::Kind::kFrame);
  EXPECT_EQ(units[0].bytes, "$PQE");
  EXPECT_FALSE(units[0].intact);
  EXPECT_EQ(parser.FramesLeft(), 1u);
  // The next frame is read as usual.
  units = FeedAll(parser, std::string("$PQE") + '\x60', 5);
  ASSERT_EQ(units.size(), 1u);
  EXPECT_TRUE(units[0].intact);
}

TEST(DeviceParser, FrameDataThatOnlyLooksLikeASentenceStaysData) {
  DeviceParser parser;
  parser.ExpectFrames(32, 1);
  // A wrong checksum, so these bytes are no sentence and stay frame data.
  auto units = FeedAll(parser, "$PQEL999,2,65280,1,0,0*28\r\n", 4);
  EXPECT_TRUE(units.empty());
  EXPECT_TRUE(parser.InFrameMode());
  EXPECT_EQ(parser.PartialFrameBytes(), 27u);
}

TEST(DeviceParser, ResetDropsAPartialFrame) {
  DeviceParser parser;
  parser.ExpectFrames(8, 1);
  FeedAll(parser, "abc", 3);
  parser.Reset();
  EXPECT_FALSE(parser.InFrameMode());
  auto units = FeedAll(parser, "$PQEL109*30\r\n", 100);
  ASSERT_EQ(units.size(), 1u);
  EXPECT_TRUE(units[0].intact);
}

TEST(DeviceParser, ImpossibleFrameLengthsKeepSentenceMode) {
  DeviceParser parser;
  parser.ExpectFrames(0, 3);
  EXPECT_FALSE(parser.InFrameMode());
  parser.ExpectFrames(DeviceParser::kMaxFrame + 1, 1);
  EXPECT_FALSE(parser.InFrameMode());
}

}  // namespace
}  // namespace mzt::devsim
