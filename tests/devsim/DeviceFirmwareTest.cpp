// The simulated device's replies, byte for byte as the command tables give
// them: every end-to-end test trusts the simulator to answer like the device.

#include "devsim/DeviceFirmware.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "devicelink/Checksum.h"
#include "devicelink/ReplyBuilder.h"
#include "support/ParamName.h"

namespace mzt::devsim {
namespace {

// A command as the program composes it.
constexpr auto Command = &mzt::test::Reply;

std::span<const uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

std::string Frame(const std::string& data) { return data + static_cast<char>(XorBytes(Bytes(data))); }

// The device without its port: bytes in, written bytes out.
std::string Send(DeviceFirmware& firmware, std::string_view stream) {
  std::string written;
  for (auto bytes = Bytes(stream); !bytes.empty();) {
    auto outcome = firmware.Feed(bytes);
    EXPECT_GT(outcome.consumed, 0u);
    bytes = bytes.subspan(outcome.consumed);
    for (const Reaction& reaction : outcome.reactions) written += reaction.before + reaction.reply;
  }
  return written;
}

using Exchanges = std::vector<std::pair<std::string, std::string>>;  // written, expected reply

struct GoldenRow {
  const char* name;
  Exchanges exchanges;
  const char* firmware = "1.4.0.7";
};

class GoldenReplies : public ::testing::TestWithParam<GoldenRow> {};

TEST_P(GoldenReplies, MatchTheTables) {
  DeviceFirmware::Settings settings;
  settings.firmware = GetParam().firmware;
  settings.pois = GeneratePois(2);
  DeviceFirmware firmware(std::move(settings), FileStore());
  for (const auto& [written, reply] : GetParam().exchanges) EXPECT_EQ(Send(firmware, written), reply) << written;
}

std::string Spoilt(std::string frame) {
  frame.back() = static_cast<char>(frame.back() ^ 0x40);
  return frame;
}

// 0xFF00 as the split writes it: "%CDB", then year 2012, month 5, day 13 and
// number 3 big-endian, then the rest of the 44 bytes.
const std::string kHeader = std::string("%CDB\x07\xDC\x05\x0D\x00\x03", 10) + std::string(34, '\x11');

// The header file stored first, as the program sends it, then `exchanges`.
Exchanges AfterTheHeader(Exchanges exchanges) {
  Exchanges all = {{Command("$PQEL999,0,65280,1,0,0"), Sentence("$LOG999,1,65280,1,1")},
                   {Command("$PQEL999,1,65280,44,1"), Sentence("$LOG999,1,65280,44,1")},
                   {Frame(kHeader), Sentence("$LOG999,1,44")},
                   {Command("$PQEL999,2,65280,1,0,0"), Sentence("$LOG999,1,65280,1,1")}};
  all.insert(all.end(), exchanges.begin(), exchanges.end());
  return all;
}

// Checksums of the single sentences worked out by hand.
INSTANTIATE_TEST_SUITE_P(
    DeviceFirmware, GoldenReplies,
    ::testing::Values(
        GoldenRow{"Firmware", {{"$PQEL108,1,*00\r\n", "$LOG108,1,1,1.4.0.7*7D\r\n"}}},
        GoldenRow{"DeviceId", {{"$PQEL108,2,*03\r\n", "$LOG108,1,2,MZT0000001*20\r\n"}}},
        GoldenRow{"Parameters", {{"$PQEL108,3,*02\r\n", "$LOG108,1,3,1,2,7,30,1,0,10,1,60,0,2*51\r\n"}}},
        GoldenRow{"NoDatabase", {{"$PQEL108,4,*05\r\n", "$LOG108,1,4,258,00000000*47\r\n"}}},
        GoldenRow{"RegionReversed", {{"$PQEL108,7,*06\r\n", "$LOG108,1,7,WT*54\r\n"}}},
        GoldenRow{"UnknownSelector", {{"$PQEL108,5,*04\r\n", "$LOG108,0,5*78\r\n"}}},
        // The first generated POI: warning point, then camera point, in radians.
        GoldenRow{"PoiInDeviceUnits",
                  {{"$PQEL114,0*20\r\n",
                    "$LOG114,1,0,0.436861148,2.121732194,0.436908272,2.121716487,180,0,40,0,1,1,1,0,300*57\r\n"}}},
        GoldenRow{"PoiPastTheEnd", {{"$PQEL114,5*25\r\n", "$LOG114,0,5*75\r\n"}}},
        GoldenRow{"ClearPois",
                  {{"$PQEL109*30\r\n", "$LOG109,1*61\r\n"},
                   {Command("$PQEL114,0"), Sentence("$LOG114,0,0")},
                   {Command("$PQEL108,3,"), Sentence("$LOG108,1,3,1,2,7,30,1,0,10,1,60,0,0")}}},
        GoldenRow{"UploadModeReportedOnceEntered",
                  {{"$PQEL113,0*27\r\n", "$LOG113,1,0*76\r\n"},
                   {"$PQEL113,1*26\r\n", "$LOG113,1,1*77\r\n"},
                   {"$PQEL113,0*27\r\n", "$LOG113,1,1*77\r\n"}}},
        GoldenRow{"EmptyFileTable", {{"$PQEL995,1*20\r\n", ""}}},
        GoldenRow{"DeleteNothing", {{"$PQEL996,7*25\r\n", "$LOG996,1,0,2*6D\r\n"}}},
        GoldenRow{"HeaderWithoutStart", {{"$PQEL999,1,65280,8,2*33\r\n", "$LOG999,0,65280,8,0*7C\r\n"}}},
        GoldenRow{"TransferWithAResentFrame",
                  {{"$PQEL999,0,65280,1,0,0*25\r\n", "$LOG999,1,65280,1,1*75\r\n"},
                   {"$PQEL999,1,65280,8,2*33\r\n", "$LOG999,1,65280,8,1*7C\r\n"},
                   {Frame(kHeader.substr(0, 8)), "$LOG999,1,8*74\r\n"},
                   {Spoilt(Frame(kHeader.substr(8, 8))), "$LOG999,2*63\r\n"},
                   {Frame(kHeader.substr(8, 8)), "$LOG999,1,16*4B\r\n"},
                   {"$PQEL999,1,65280,3,1*3B\r\n", "$LOG999,1,65280,3,1*77\r\n"},
                   {Frame("abc"), "$LOG999,1,19*44\r\n"},
                   {"$PQEL999,2,65280,1,0,0*27\r\n", "$LOG999,1,65280,1,1*75\r\n"},
                   {"$PQEL995,1*20\r\n", "$LOG995,1,1,65280,1*79\r\n"},
                   {"$PQEL995,2*23\r\n", ""},
                   {"$PQEL108,4,*05\r\n", "$LOG108,1,4,3,07DC050D*3A\r\n"},
                   // A stored file's end repeated is acknowledged, an unknown one's is not.
                   {Command("$PQEL999,2,65280,1,0,0"), Sentence("$LOG999,1,65280,1,1")},
                   {Command("$PQEL999,2,8,1,0,0"), Sentence("$LOG999,0,8,1,0")}}},
        GoldenRow{"DeletingTheHeaderForgetsTheVersion",
                  AfterTheHeader({{"$PQEL996,1*23\r\n", "$LOG996,1,65280,0*66\r\n"},
                                  {"$PQEL108,4,*05\r\n", "$LOG108,1,4,258,00000000*47\r\n"}})},
        // The program gave up inside a group and sends its end where a frame was due.
        GoldenRow{"UnfinishedTransferStaysAtLocationZero",
                  {{Command("$PQEL999,0,65282,1,0,0"), Sentence("$LOG999,1,65282,1,1")},
                   {Command("$PQEL999,1,65282,16,3"), Sentence("$LOG999,1,65282,16,1")},
                   {Frame(std::string(16, 'a')), Sentence("$LOG999,1,16")},
                   {Command("$PQEL999,2,65282,1,0,0"), Sentence("$LOG999,0,65282,1,0")},
                   {Command("$PQEL995,1"), Sentence("$LOG995,1,1,65282,0")},
                   {Command("$PQEL996,44"), Sentence("$LOG996,1,65282,0")},
                   {Command("$PQEL995,1"), ""}}},
        // Firmware 1.0.0.3 answers selector 3 without the alarm group and
        // selector 4 with the date as four raw bytes; day 13 puts a CR in.
        GoldenRow{"ExactFormsOfFirmware1003",
                  AfterTheHeader({{"$PQEL108,1,*00\r\n", "$LOG108,1,1,1.0.0.3*7D\r\n"},
                                  {"$PQEL108,3,*02\r\n", "$LOG108,1,3,1,1,0,10,1,60,0,2*7B\r\n"},
                                  {"$PQEL108,4,*05\r\n",
                                   std::string("$LOG108,1,4,3,\x07\xDC\x05\x0D*98\r\n", 23)}}),
                  "1.0.0.3"},
        GoldenRow{"ExactFormWithoutDatabase",
                  {{"$PQEL108,4,*05\r\n", std::string("$LOG108,1,4,258,\0\0\0\0*47\r\n", 25)}},
                  "1.0.0.3"}),
    test::RowName());

}  // namespace
}  // namespace mzt::devsim
