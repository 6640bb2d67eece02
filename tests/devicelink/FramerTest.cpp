#include <gtest/gtest.h>

#include "support/ParamName.h"

#include <random>
#include <string>
#include <vector>

#include "devicelink/Nmea.h"
#include "devicelink/SentenceFramer.h"
#include "devicelink/RecordingCommand.h"
#include "devicelink/ReplyBuilder.h"

namespace mzt {
namespace {

using test::RecordingCommand;
using test::Reply;

std::string WithoutLineEnd(std::string sentence) {
  return sentence.substr(0, sentence.size() - 2);
}

// The framer and the receiver together, the way the reader thread uses them.
class Link {
 public:
  Link() {
    receiver_.Attach(cmd109_);
    receiver_.Attach(cmd113_);
    receiver_.Attach(cmd108_);
    receiver_.SetNotification([this](int number) { notified_.push_back(number); });
  }
  void Feed(const std::string& bytes) {
    framer_.Feed(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
                 [this](std::span<const uint8_t> block) { receiver_.ProcessBlock(block); });
  }
  std::vector<std::string> Routed() const {
    std::vector<std::string> all;
    for (const auto* cmd : {&cmd108_, &cmd109_, &cmd113_})
      for (auto& reply : cmd->Replies()) all.push_back(reply);
    return all;
  }
  const std::vector<int>& Notified() const { return notified_; }

 private:
  SentenceFramer framer_;
  CNMEA receiver_;
  RecordingCommand cmd108_{108}, cmd109_{109}, cmd113_{113};
  std::vector<int> notified_;
};

struct FramerCase {
  const char* name;
  std::string stream;
  std::vector<std::string> routed;  // sentences without line end, by command 108, 109, 113
  std::vector<int> notified;        // command numbers, in order
};

const std::string kReply109 = Reply("$LOG109,1");
const std::string kReply113 = Reply("$LOG113,1,2");
const std::string kRawDate = Reply(std::string("$LOG108,1,4,3,\x07\xDC\x05\x0D", 18));
const std::string kNulDate = Reply(std::string("$LOG108,1,4,258,\0\0\0\0", 20));
const std::string kAsteriskDate = Reply(std::string("$LOG108,1,4,7,\x08\x2A\x01\x02", 18));

// Without its line end ("$LOG109,1," and "*hh" around the x's), exactly as
// long as the framer keeps.
const std::string kLongest = Reply("$LOG109,1," + std::string(SentenceFramer::kMaxSentence - 13, 'x'));

std::string LowerCaseDigits(std::string sentence) {
  for (size_t i = sentence.size() - 4; i < sentence.size() - 2; ++i)
    sentence[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(sentence[i])));
  return sentence;
}

const FramerCase kCases[] = {
    {"OneSentence", kReply109, {WithoutLineEnd(kReply109)}, {109}},
    {"TwoSentences", kReply109 + kReply113,
     {WithoutLineEnd(kReply109), WithoutLineEnd(kReply113)}, {109, 113}},
    {"NoiseAndOtherTalkerFirst", "\x01zz$GPGGA,1,2*00\r\n" + kReply109,
     {WithoutLineEnd(kReply109)}, {109}},
    {"BytesAfterFinalLineFeed", kReply109 + "tail\x05", {WithoutLineEnd(kReply109)}, {109}},
    {"CarriageReturnWithoutLineFeed",
     WithoutLineEnd(kReply109) + "\r" + WithoutLineEnd(kReply113) + "\r",
     {WithoutLineEnd(kReply109), WithoutLineEnd(kReply113)}, {109, 113}},
    {"WrongChecksumDropsOnlyItsSentence", "$LOG109,1*00\r\n" + kReply113,
     {WithoutLineEnd(kReply113)}, {113}},
    {"LowerCaseDigits", LowerCaseDigits(Reply("$LOG109,1,ZZ")),  // checksum 4D
     {WithoutLineEnd(LowerCaseDigits(Reply("$LOG109,1,ZZ")))}, {109}},
    {"UnknownNumberNotifiedNotRouted", Reply("$LOG123,1") + kReply109,
     {WithoutLineEnd(kReply109)}, {123, 109}},
    {"OverLongSentenceDropped", Reply("$LOG109,1," + std::string(5000, 'x')) + kReply113,
     {WithoutLineEnd(kReply113)}, {113}},
    {"RawCarriageReturnIsData", kRawDate, {WithoutLineEnd(kRawDate)}, {108}},
    {"RawNulIsData", kNulDate, {WithoutLineEnd(kNulDate)}, {108}},
    {"RawAsteriskIsData", kAsteriskDate, {WithoutLineEnd(kAsteriskDate)}, {108}},
    {"UnfinishedSentenceRestartedByNext", "$LOG113,1,2,garbage" + kReply109,
     {WithoutLineEnd(kReply109)}, {109}},
    {"IncompleteTrailingSentenceWaits", kReply109 + "$LOG113,1", {WithoutLineEnd(kReply109)}, {109}},
    {"StrayDollarBeforeTheMarker", "$" + kReply109, {WithoutLineEnd(kReply109)}, {109}},
    {"LongestSentenceTaken", kLongest, {WithoutLineEnd(kLongest)}, {109}},
    {"OneByteTooLongDropped", Reply("$LOG109,1," + std::string(SentenceFramer::kMaxSentence - 12, 'x')) + kReply113,
     {WithoutLineEnd(kReply113)}, {113}},
};

class FramerTest : public ::testing::TestWithParam<FramerCase> {};

// Whole, byte by byte, and in random pieces: the same sentences come out.
TEST_P(FramerTest, RoutesWhateverThePieces) {
  const std::string& stream = GetParam().stream;
  for (unsigned seed = 0; seed <= 20; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    Link link;
    for (size_t pos = 0, piece = 0; pos < stream.size(); pos += piece) {
      piece = seed == 0 ? stream.size() : seed == 1 ? 1 : std::uniform_int_distribution<size_t>(1, 40)(random);
      link.Feed(stream.substr(pos, piece));
    }
    EXPECT_EQ(link.Routed(), GetParam().routed);
    EXPECT_EQ(link.Notified(), GetParam().notified);
  }
}

INSTANTIATE_TEST_SUITE_P(Streams, FramerTest, ::testing::ValuesIn(kCases),
                         test::RowName());

TEST(ReceiverBlockTest, RoutesBeforeNotifyingAndAWrongChecksumDropsTheRest) {
  CNMEA receiver;
  RecordingCommand cmd109(109), cmd113(113);
  receiver.Attach(cmd109);
  receiver.Attach(cmd113);
  bool routedFirst = false;  // a reply is routed before its notification
  receiver.SetNotification([&](int) { routedFirst = cmd109.ReplyEvent().IsSet(); });
  std::string block = kReply109 + "$LOG113,1*00\r\n" + kReply113;
  receiver.ProcessBlock(std::span(reinterpret_cast<const uint8_t*>(block.data()), block.size()));
  EXPECT_EQ(cmd109.Replies().size(), 1u);
  EXPECT_TRUE(cmd113.Replies().empty());
  EXPECT_TRUE(routedFirst);
}

TEST(ChecksumTest, CommandNumberAndASentenceWithoutAsterisk) {
  auto number = [](const std::string& s) {
    return CNMEA::CommandNumber(std::span(reinterpret_cast<const uint8_t*>(s.data()), s.size()));
  };
  EXPECT_EQ(number("$LOG995,1,2*00"), 995);
  EXPECT_EQ(number("$LOG99999,1*00"), 9999);
  EXPECT_EQ(number("$LOGX,1*00"), -1);
  // Without a '*' the sum runs up to the last byte but one.
  auto valid = [](const std::string& s) {
    return HasValidChecksum(std::span(reinterpret_cast<const uint8_t*>(s.data()), s.size()));
  };
  EXPECT_TRUE(valid("$000"));
  EXPECT_FALSE(valid("$100"));
}

}  // namespace
}  // namespace mzt
