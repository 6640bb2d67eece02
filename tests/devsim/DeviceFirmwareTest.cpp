#include "devsim/DeviceFirmware.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "common/FieldReader.h"
#include "devicelink/Checksum.h"
#include "devicelink/SentenceFramer.h"
#include "devsim/FirmwareHarness.h"
#include "support/ParamName.h"
#include "support/TempFolder.h"

namespace mzt::devsim {
namespace {

using test::Bytes;
using test::Command;
using test::DatabaseHeader;
using test::Defaults;
using test::Device;
using test::Frame;

// Replies taken from the command tables, checksums worked out by hand.
struct GoldenRow {
  const char* name;
  std::string command;
  std::string reply;
};

class GoldenReplies : public ::testing::TestWithParam<GoldenRow> {};

TEST_P(GoldenReplies, MatchTheTables) {
  Device device;
  EXPECT_EQ(device.Send(GetParam().command), GetParam().reply);
}

INSTANTIATE_TEST_SUITE_P(
    DeviceFirmware, GoldenReplies,
    ::testing::Values(
        GoldenRow{"Firmware", "$PQEL108,1,*00\r\n", "$LOG108,1,1,1.4.0.7*7D\r\n"},
        GoldenRow{"DeviceId", "$PQEL108,2,*03\r\n", "$LOG108,1,2,MZT0000001*20\r\n"},
        GoldenRow{"Parameters", "$PQEL108,3,*02\r\n", "$LOG108,1,3,1,2,7,30,1,0,10,1,60,0,2*51\r\n"},
        GoldenRow{"NoDatabase", "$PQEL108,4,*05\r\n", "$LOG108,1,4,258,00000000*47\r\n"},
        GoldenRow{"RegionReversed", "$PQEL108,7,*06\r\n", "$LOG108,1,7,WT*54\r\n"},
        GoldenRow{"UnknownSelector", "$PQEL108,5,*04\r\n", "$LOG108,0,5*78\r\n"},
        GoldenRow{"ClearPois", "$PQEL109*30\r\n", "$LOG109,1*61\r\n"},
        GoldenRow{"ModeBeforeEnter", "$PQEL113,0*27\r\n", "$LOG113,1,0*76\r\n"},
        GoldenRow{"Enter", "$PQEL113,1*26\r\n", "$LOG113,1,1*77\r\n"},
        GoldenRow{"BadModeArgument", "$PQEL113,2*25\r\n", "$LOG113,0,2*75\r\n"},
        GoldenRow{"PoiPastTheEnd", "$PQEL114,5*25\r\n", "$LOG114,0,5*75\r\n"},
        GoldenRow{"EmptyFileTable", "$PQEL995,1*20\r\n", ""},
        GoldenRow{"DeleteNothing", "$PQEL996,7*25\r\n", "$LOG996,1,0,2*6D\r\n"},
        GoldenRow{"StartWithoutHeader", "$PQEL999,0,65280,1,0,0*25\r\n", "$LOG999,1,65280,1,1*75\r\n"},
        GoldenRow{"HeaderWithoutStart", "$PQEL999,1,65280,8,2*33\r\n", "$LOG999,0,65280,8,0*7C\r\n"},
        GoldenRow{"WrongChecksumIsIgnored", "$PQEL108,1,*01\r\n", ""},
        GoldenRow{"OtherTalkerIsIgnored", "$GPGGA,1*4E\r\n", ""}),
    test::RowName());

TEST(DeviceFirmware, GoldenTransferWithAResentFrame) {
  Device device;
  EXPECT_EQ(device.Send("$PQEL999,0,65280,1,0,0*25\r\n"), "$LOG999,1,65280,1,1*75\r\n");
  EXPECT_EQ(device.Send("$PQEL999,1,65280,8,2*33\r\n"), "$LOG999,1,65280,8,1*7C\r\n");
  std::string first = DatabaseHeader(2012, 5, 13, 3).substr(0, 8);
  std::string second = DatabaseHeader(2012, 5, 13, 3).substr(8, 8);
  EXPECT_EQ(device.Send(Frame(first)), "$LOG999,1,8*74\r\n");
  std::string spoilt = Frame(second);
  spoilt.back() = static_cast<char>(spoilt.back() ^ 0x40);
  EXPECT_EQ(device.Send(spoilt), "$LOG999,2*63\r\n");
  EXPECT_EQ(device.Send(Frame(second)), "$LOG999,1,16*4B\r\n");
  EXPECT_EQ(device.Send("$PQEL999,1,65280,3,1*3B\r\n"), "$LOG999,1,65280,3,1*77\r\n");
  EXPECT_EQ(device.Send(Frame("abc")), "$LOG999,1,19*44\r\n");
  EXPECT_EQ(device.Send("$PQEL999,2,65280,1,0,0*27\r\n"), "$LOG999,1,65280,1,1*75\r\n");
  EXPECT_EQ(device.Send("$PQEL995,1*20\r\n"), "$LOG995,1,1,65280,1*79\r\n");
  EXPECT_EQ(device.Send("$PQEL995,2*23\r\n"), "");
  EXPECT_EQ(device.Send("$PQEL108,4,*05\r\n"), "$LOG108,1,4,3,07DC050D*3A\r\n");

  const StoredFile* file = device.Firmware().Store().Find(0xFF00);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->data, first + second + "abc");
  const auto& frames = device.Firmware().Frames();
  ASSERT_EQ(frames.size(), 4u);
  EXPECT_FALSE(frames[1].intact);
  EXPECT_EQ(frames[1].status, 2);
  EXPECT_EQ(frames[3].length, 3u);
}

TEST(DeviceFirmware, StoredFilesAreWhatWasSentAndTheHeaderGivesTheVersion) {
  Device device;
  std::string records;
  for (int i = 0; i < 11264 * 3 / 4; ++i) records += static_cast<char>(i * 7 + 3);
  std::string index(8192 + 10, '\0');
  for (size_t i = 0; i < index.size(); ++i) index[i] = static_cast<char>(i % 251);
  device.SendFile(0xFF00, DatabaseHeader(2024, 12, 31, 77), 11264);
  device.SendFile(0xFF01, index, 8192);
  device.SendFile(0xFF02, records, 11264);
  EXPECT_EQ(device.Firmware().Store().Find(0xFF01)->data, index);
  EXPECT_EQ(device.Firmware().Store().Find(0xFF02)->data, records);
  EXPECT_EQ(device.Firmware().Version(), (DatabaseVersion{2024, 12, 31, 77}));
  ASSERT_EQ(device.Firmware().ReceivedFiles().size(), 3u);
  // Present files sit at distinct, non-zero locations.
  const auto& table = device.Firmware().Store().Table();
  ASSERT_EQ(table.size(), 3u);
  EXPECT_NE(table[0].location, 0u);
  EXPECT_NE(table[0].location, table[1].location);
  EXPECT_NE(table[1].location, table[2].location);
}

TEST(DeviceFirmware, EmptyFileIsStored) {
  Device device;
  device.SendFile(0x0001, "", 8192);
  const StoredFile* file = device.Firmware().Store().Find(1);
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(file->complete);
  EXPECT_TRUE(file->data.empty());
}

TEST(DeviceFirmware, DeletingTheHeaderFileForgetsTheVersion) {
  Device device;
  device.SendFile(0xFF00, DatabaseHeader(2012, 5, 13, 3), 8192);
  EXPECT_EQ(device.Send("$PQEL996,1*23\r\n"), "$LOG996,1,65280,0*66\r\n");
  EXPECT_EQ(device.Firmware().Version(), DatabaseVersion{});
  EXPECT_EQ(device.Send("$PQEL108,4,*05\r\n"), "$LOG108,1,4,258,00000000*47\r\n");
  ASSERT_EQ(device.Firmware().Deletions().size(), 1u);
  EXPECT_EQ(device.Firmware().Deletions()[0].fileId, 0xFF00);
}

// Firmware 1.0.0.3 answers selector 3 without the alarm group and selector 4
// with the date as four raw bytes; a day of 13 puts a CR into the reply.
TEST(DeviceFirmware, ExactFormsOfFirmware1003) {
  test::TempFolder folder;
  test::WriteFileBytes(folder / "FF00.bin", DatabaseHeader(2012, 5, 13, 3));
  FileStore store;
  ASSERT_TRUE(store.LoadDatabaseFolder(folder.Path(), {}));
  Device device(Defaults("1.0.0.3"), std::move(store));
  EXPECT_EQ(device.Send("$PQEL108,1,*00\r\n"), "$LOG108,1,1,1.0.0.3*7D\r\n");
  EXPECT_EQ(device.Send("$PQEL108,3,*02\r\n"), "$LOG108,1,3,1,1,0,10,1,60,0,2*7B\r\n");
  std::string date = device.Send("$PQEL108,4,*05\r\n");
  EXPECT_EQ(date, std::string("$LOG108,1,4,3,\x07\xDC\x05\x0D*98\r\n", 23));

  // The program's framer keeps the raw CR inside the reply.
  std::vector<std::string> framed;
  SentenceFramer framer;
  framer.Feed(Bytes(date), [&](std::span<const uint8_t> s) { framed.emplace_back(s.begin(), s.end()); });
  ASSERT_EQ(framed.size(), 1u);
  EXPECT_EQ(framed[0], date);
}

TEST(DeviceFirmware, ExactFormWithoutDatabaseSendsFourZeroBytes) {
  Device device(Defaults("1.0.0.3"));
  EXPECT_EQ(device.Send("$PQEL108,4,*05\r\n"), std::string("$LOG108,1,4,258,\0\0\0\0*47\r\n", 25));
}

// The program reads the POI count from field 14, or field 11 for 1.0.0.3.
TEST(DeviceFirmware, PoiCountSitsWhereEachFormIsRead) {
  for (auto [firmware, field] : {std::pair{"1.4.0.7", 14}, std::pair{"1.0.0.3", 11}}) {
    DeviceFirmware::Settings settings = Defaults(firmware);
    settings.pois = GeneratePois(7);
    Device device(settings);
    std::string reply = device.Send("$PQEL108,3,*02\r\n");
    FieldCursor cursor(reply);
    std::string value;
    for (int i = 0; i < field; ++i) value = cursor.Next();
    EXPECT_EQ(value, "7") << firmware;
  }
}

TEST(DeviceFirmware, UploadModeIsReportedOnceEntered) {
  Device device;
  EXPECT_EQ(device.Send(Command("$PQEL113,0")), Sentence("$LOG113,1,0"));
  EXPECT_EQ(device.Send(Command("$PQEL113,1")), Sentence("$LOG113,1,1"));
  EXPECT_EQ(device.Send(Command("$PQEL113,0")), Sentence("$LOG113,1,1"));
  EXPECT_TRUE(device.Firmware().InUploadMode());
  // A replug starts the device's USB side afresh.
  device.Firmware().OnUnplug();
  device.Firmware().OnReplug();
  EXPECT_EQ(device.Send(Command("$PQEL113,0")), Sentence("$LOG113,1,0"));
}

// The program multiplies the radians, read as a 32-bit float, by
// 57.295780181884766 and keeps a float.
float ProgramDegrees(const std::string& field) {
  return static_cast<float>(static_cast<float>(std::strtod(field.c_str(), nullptr)) * 57.295780181884766);
}

TEST(DeviceFirmware, PoiRecordsComeInTheDeviceUnits) {
  DeviceFirmware::Settings settings = Defaults();
  Poi poi;
  poi.cameraLatitude = 25.05;
  poi.cameraLongitude = 121.5;
  poi.warningLatitude = 25.04;
  poi.warningLongitude = 121.49;
  poi.warningHeading = 90;
  poi.cameraHeading = 270;
  poi.speedLimit = 60;
  poi.hiddenValue = 0xBEEF;
  poi.id = 0x00012345;
  poi.voiceCode = 3;
  poi.angleCode = 2;
  poi.warningDistance = 500;
  settings.pois = {poi};
  Device device(settings);
  std::string reply = device.Send(Command("$PQEL114,0"));
  ASSERT_TRUE(HasValidChecksum(Bytes(reply.substr(0, reply.size() - 2))));
  std::string body = reply.substr(0, reply.find('*'));
  FieldCursor cursor(body);
  std::vector<std::string> f;
  for (std::string field = cursor.Next(); cursor.LastFound(); field = cursor.Next()) f.push_back(field);
  ASSERT_EQ(f.size(), 16u);
  EXPECT_EQ(f[0], "$LOG114");
  EXPECT_EQ(f[1], "1");
  EXPECT_EQ(f[2], "0");
  EXPECT_NEAR(ProgramDegrees(f[3]), 25.04f, 5e-6);
  EXPECT_NEAR(ProgramDegrees(f[4]), 121.49f, 2e-5);
  EXPECT_NEAR(ProgramDegrees(f[5]), 25.05f, 5e-6);
  EXPECT_NEAR(ProgramDegrees(f[6]), 121.5f, 2e-5);
  EXPECT_EQ((std::vector<std::string>(f.begin() + 7, f.end())),
            (std::vector<std::string>{"90", "270", "60", "BEEF", "2345", "1", "3", "2", "500"}));

  EXPECT_EQ(device.Send(Command("$PQEL109")), Sentence("$LOG109,1"));
  EXPECT_EQ(device.Send(Command("$PQEL114,0")), Sentence("$LOG114,0,0"));
  EXPECT_EQ(device.Send(Command("$PQEL108,3,")), Sentence("$LOG108,1,3,1,2,7,30,1,0,10,1,60,0,0"));
}

TEST(DeviceFirmware, FilesListedAtLocationZeroAreDeletedBy44LastFirst) {
  test::TempFolder folder;
  for (const char* name : {"FF00.bin", "FF01.bin", "FF02.bin"}) test::WriteFileBytes(folder / name, name);
  FileStore store;
  ASSERT_TRUE(store.LoadDatabaseFolder(folder.Path(), {0xFF01, 0xFF02}));
  Device device(Defaults(), std::move(store));
  EXPECT_EQ(device.Send(Command("$PQEL995,1")), Sentence("$LOG995,1,1,65280,1"));
  EXPECT_EQ(device.Send(Command("$PQEL995,2")), Sentence("$LOG995,1,2,65281,0"));
  EXPECT_EQ(device.Send(Command("$PQEL995,3")), Sentence("$LOG995,1,3,65282,0"));
  // The order in which the program deletes: FF02, FF01, FF00.
  EXPECT_EQ(device.Send("$PQEL996,44*12\r\n"), Sentence("$LOG996,1,65282,0"));
  EXPECT_EQ(device.Send("$PQEL996,44*12\r\n"), Sentence("$LOG996,1,65281,0"));
  EXPECT_EQ(device.Send("$PQEL996,1*23\r\n"), "$LOG996,1,65280,0*66\r\n");
  EXPECT_EQ(device.Send(Command("$PQEL995,1")), "");
}

TEST(DeviceFirmware, TransferThatEndsInsideAGroupStaysAtLocationZero) {
  Device device;
  device.Send(Command("$PQEL999,0,65282,1,0,0"));
  device.Send(Command("$PQEL999,1,65282,16,3"));
  EXPECT_EQ(device.Send(Frame(std::string(16, 'a'))), Sentence("$LOG999,1,16"));
  // The program gave up and sends its end sentence where a frame was due.
  EXPECT_EQ(device.Send(Command("$PQEL999,2,65282,1,0,0")), Sentence("$LOG999,0,65282,1,0"));
  EXPECT_FALSE(device.Firmware().ExpectsFrames());
  EXPECT_EQ(device.Send(Command("$PQEL995,1")), Sentence("$LOG995,1,1,65282,0"));
  EXPECT_EQ(device.Send(Command("$PQEL996,44")), Sentence("$LOG996,1,65282,0"));
}

TEST(DeviceFirmware, HeadersOutsideTheLimitsAreRefused) {
  Device device;
  device.Send(Command("$PQEL999,0,1,1,0,0"));
  EXPECT_EQ(device.Send(Command("$PQEL999,1,1,16385,1")), Sentence("$LOG999,0,1,16385,0"));
  EXPECT_EQ(device.Send(Command("$PQEL999,1,1,16,0")), Sentence("$LOG999,0,1,16,0"));
  EXPECT_EQ(device.Send(Command("$PQEL999,1,2,16,1")), Sentence("$LOG999,0,2,16,0"));
  EXPECT_EQ(device.Send(Command("$PQEL999,0,65536,1,0,0")), Sentence("$LOG999,0,65536,1,0"));
  EXPECT_FALSE(device.Firmware().ExpectsFrames());
}

TEST(DeviceFirmware, FullFlashAnswersStatus3AndKeepsTheFileUnplaced) {
  DeviceFirmware::Settings settings = Defaults();
  settings.flashCapacity = 20;
  Device device(settings);
  device.Send(Command("$PQEL999,0,1,1,0,0"));
  device.Send(Command("$PQEL999,1,1,16,2"));
  EXPECT_EQ(device.Send(Frame(std::string(16, 'x'))), Sentence("$LOG999,1,16"));
  EXPECT_EQ(device.Send(Frame(std::string(16, 'y'))), Sentence("$LOG999,3"));
  EXPECT_EQ(device.Send(Command("$PQEL999,2,1,1,0,0")), Sentence("$LOG999,0,1,1,0"));
  EXPECT_EQ(device.Firmware().Store().Find(1)->location, 0u);
}

TEST(DeviceFirmware, RepeatedEndOfAStoredFileIsAcknowledged) {
  Device device;
  device.SendFile(7, "data", 8192);
  EXPECT_EQ(device.Send(Command("$PQEL999,2,7,1,0,0")), Sentence("$LOG999,1,7,1,1"));
  EXPECT_EQ(device.Send(Command("$PQEL999,2,8,1,0,0")), Sentence("$LOG999,0,8,1,0"));
}

TEST(DeviceFirmware, FlashTimeDelaysEachFrameAcknowledgement) {
  DeviceFirmware::Settings settings = Defaults();
  settings.flashTime = std::chrono::milliseconds(40);
  Device device(settings);
  device.Send(Command("$PQEL999,0,1,1,0,0"));
  EXPECT_EQ(device.Reactions().at(0).delay.count(), 0);
  device.Send(Command("$PQEL999,1,1,4,1"));
  device.Send(Frame("abcd"));
  EXPECT_EQ(device.Reactions().at(0).delay.count(), 40);
}

}  // namespace
}  // namespace mzt::devsim
