#include "devsim/SimulatedDevice.h"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "common/Timing.h"
#include "devicelink/Checksum.h"
#include "devsim/FirmwareHarness.h"
#include "devsim/ProgramSide.h"
#include "support/TempFolder.h"

namespace mzt::devsim {
namespace {

using namespace std::chrono_literals;
using test::Command;
using test::DatabaseHeader;
using test::ProgramSide;
using test::SendFileTheProgramsWay;

constexpr auto kPatience = 5s;  // only a failing test waits this long

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

class SimulatedDeviceTest : public ::testing::Test {
 protected:
  SimulatedDevice::Options BaseOptions() {
    SimulatedDevice::Options options;
    options.pois = GeneratePois(3);
    return options;
  }

  std::string Start(SimulatedDevice::Options options) {
    device_ = std::make_unique<SimulatedDevice>(std::move(options));
    auto path = device_->Start();
    EXPECT_TRUE(path) << path.Err().message;
    return path ? path.Value() : std::string();
  }

  static std::string Exchange(ProgramSide& port, const std::string& bytes) {
    EXPECT_TRUE(port.Write(bytes));
    return port.ReadReply(kPatience);
  }

  test::TempFolder folder_;
  std::unique_ptr<SimulatedDevice> device_;
};

TEST_F(SimulatedDeviceTest, AnswersOverThePtyWhileTheProgramClosesAndReopensIt) {
  std::string path = Start(BaseOptions());
  {
    ProgramSide port(path);
    ASSERT_TRUE(port.IsOpen());
    EXPECT_EQ(Exchange(port, "$PQEL108,1,*00\r\n"), "$LOG108,1,1,1.4.0.7*7D\r\n");
  }
  ProgramSide again(path);
  EXPECT_EQ(Exchange(again, "$PQEL113,1*26\r\n"), "$LOG113,1,1*77\r\n");
  EXPECT_EQ(Exchange(again, "$PQEL108,3,*02\r\n"), "$LOG108,1,3,1,2,7,30,1,0,10,1,60,0,3*50\r\n");
  EXPECT_EQ(device_->ReceivedSentences(),
            (std::vector<std::string>{"$PQEL108,1,*00", "$PQEL113,1*26", "$PQEL108,3,*02"}));
  EXPECT_EQ(device_->SentReplies().size(), 3u);
  EXPECT_TRUE(device_->InUploadMode());
}

TEST_F(SimulatedDeviceTest, TakesAWholeDatabaseWithAResentFrame) {
  SimulatedDevice::Options options = BaseOptions();
  Fault resend;
  resend.effect = Fault::Effect::kFrameStatus2;
  resend.trigger = Fault::Trigger::kFrame;
  resend.fileId = 0xFF02;
  resend.nth = 2;
  options.faults.push_back(resend);
  ProgramSide port(Start(options));
  auto exchange = [&](const std::string& bytes) { return Exchange(port, bytes); };

  std::string index(8192 + 10, '\0'), records(11264 * 3, '\0');
  for (size_t i = 0; i < index.size(); ++i) index[i] = static_cast<char>(i * 13);
  for (size_t i = 0; i < records.size(); ++i) records[i] = static_cast<char>(i % 253);
  SendFileTheProgramsWay(exchange, 0xFF00, DatabaseHeader(2023, 7, 9, 12), 11264);
  SendFileTheProgramsWay(exchange, 0xFF01, index, 8192);
  SendFileTheProgramsWay(exchange, 0xFF02, records, 11264);

  EXPECT_EQ(device_->StoredData(0xFF01), index);
  EXPECT_EQ(device_->StoredData(0xFF02), records);
  EXPECT_EQ(device_->Version(), (DatabaseVersion{2023, 7, 9, 12}));
  EXPECT_EQ(Exchange(port, Command("$PQEL108,4,")), Sentence("$LOG108,1,4,12,07E70709"));
  EXPECT_EQ(Exchange(port, Command("$PQEL995,3")), Sentence("$LOG995,1,3,65282,3"));
  // 1 + 2 + 3 frames, and the one asked for again.
  auto frames = device_->ReceivedFrames();
  ASSERT_EQ(frames.size(), 7u);
  EXPECT_EQ(frames[4].status, 2);
  EXPECT_EQ(device_->ReceivedFiles().size(), 3u);
}

TEST_F(SimulatedDeviceTest, DroppedReplyLeavesOnlyThatSentenceUnanswered) {
  SimulatedDevice::Options options = BaseOptions();
  Fault drop;
  drop.effect = Fault::Effect::kDropReply;
  drop.command = 108;
  options.faults.push_back(drop);
  ProgramSide port(Start(options));
  ASSERT_TRUE(port.Write(Command("$PQEL108,2,")));
  EXPECT_TRUE(port.ReadRaw(Duration(Delay::kReply108)).empty());
  EXPECT_EQ(Exchange(port, Command("$PQEL108,2,")), "$LOG108,1,2,MZT0000001*20\r\n");
  EXPECT_EQ(device_->ReceivedSentences().size(), 2u);
}

TEST_F(SimulatedDeviceTest, DelayedReplyArrivesAfterItsDelay) {
  ProgramSide port(Start(BaseOptions()));
  Fault delay;
  delay.effect = Fault::Effect::kDelayReply;
  delay.duration = 300ms;
  ASSERT_TRUE(device_->AddFault(delay));
  ASSERT_TRUE(port.Write(Command("$PQEL109")));
  EXPECT_TRUE(port.ReadRaw(Duration(Delay::kReply109)).empty());
  EXPECT_EQ(port.ReadReply(kPatience), Sentence("$LOG109,1"));
}

TEST_F(SimulatedDeviceTest, NoiseAndACorruptedReplyReachTheProgram) {
  ProgramSide port(Start(BaseOptions()));
  for (auto effect : {Fault::Effect::kNoiseBefore, Fault::Effect::kCorruptChecksum}) {
    Fault fault;
    fault.effect = effect;
    ASSERT_TRUE(device_->AddFault(fault));
  }
  ASSERT_TRUE(port.Write(Command("$PQEL113,0")));
  std::string raw;
  while (!raw.ends_with("\r\n") || raw.find("$LOG") == std::string::npos) {
    std::string more = port.ReadRaw(100ms);
    if (more.empty()) break;
    raw += more;
  }
  size_t start = raw.find("$LOG113");
  ASSERT_NE(start, std::string::npos);
  EXPECT_GT(start, 0u);
  std::string reply = raw.substr(start, raw.size() - start - 2);
  EXPECT_EQ(reply.substr(0, reply.find('*')), "$LOG113,1,0");
  EXPECT_FALSE(HasValidChecksum(test::Bytes(reply)));
}

TEST_F(SimulatedDeviceTest, StopsAnsweringAfterNBytesUntilReplugged) {
  ProgramSide port(Start(BaseOptions()));
  Fault mute;
  mute.effect = Fault::Effect::kStopAnswering;
  mute.trigger = Fault::Trigger::kTransferBytes;
  mute.nth = 100;
  ASSERT_TRUE(device_->AddFault(mute));
  EXPECT_EQ(Exchange(port, Command("$PQEL999,0,1,1,0,0")), Sentence("$LOG999,1,1,1,1"));
  EXPECT_EQ(Exchange(port, Command("$PQEL999,1,1,64,3")), Sentence("$LOG999,1,1,64,1"));
  EXPECT_EQ(Exchange(port, test::Frame(std::string(64, 'a'))), Sentence("$LOG999,1,64"));
  ASSERT_TRUE(port.Write(test::Frame(std::string(64, 'b'))));
  EXPECT_TRUE(port.ReadRaw(Duration(Delay::kReply999Data)).empty());
  ASSERT_TRUE(port.Write(Command("$PQEL109")));
  EXPECT_TRUE(port.ReadRaw(Duration(Delay::kReply109)).empty());

  device_->Unplug();
  auto path = device_->Replug();
  ASSERT_TRUE(path);
  ProgramSide fresh(path.Value());
  EXPECT_EQ(Exchange(fresh, Command("$PQEL109")), Sentence("$LOG109,1"));
}

TEST_F(SimulatedDeviceTest, UnplugsAfterNBytesAndComesBackWhereTheLinkPoints) {
  SimulatedDevice::Options options = BaseOptions();
  options.linkPath = folder_ / "port";
  options.sysfsRoot = folder_ / "sys";
  Fault unplug;
  unplug.effect = Fault::Effect::kUnplug;
  unplug.trigger = Fault::Trigger::kTransferBytes;
  unplug.fileId = 0xFF02;
  unplug.nth = 70;
  unplug.duration = 50ms;
  options.faults.push_back(unplug);
  std::string first = Start(options);
  ProgramSide port(options.linkPath.string());
  ASSERT_TRUE(port.IsOpen());
  EXPECT_EQ(Exchange(port, Command("$PQEL113,1")), Sentence("$LOG113,1,1"));
  EXPECT_EQ(Exchange(port, Command("$PQEL999,0,65282,1,0,0")), Sentence("$LOG999,1,65282,1,1"));
  EXPECT_EQ(Exchange(port, Command("$PQEL999,1,65282,64,2")), Sentence("$LOG999,1,65282,64,1"));
  EXPECT_EQ(Exchange(port, test::Frame(std::string(64, 'a'))), Sentence("$LOG999,1,64"));
  ASSERT_TRUE(port.Write(test::Frame(std::string(64, 'b'))));
  EXPECT_TRUE(port.SeesHangup(kPatience));

  ASSERT_TRUE(device_->WaitUntilPlugged(true, kPatience));
  std::string second = device_->PortPath();
  EXPECT_EQ(std::filesystem::read_symlink(options.linkPath), second);
  EXPECT_EQ(ReadText(folder_ / "sys/class/tty/ttyACM0/uevent"), "DEVNAME=" + second.substr(5));
  EXPECT_EQ(device_->PlugCount(), 2u);

  ProgramSide back(options.linkPath.string());
  // A fresh start: out of upload mode, and the broken file at location 0.
  EXPECT_EQ(Exchange(back, Command("$PQEL113,0")), Sentence("$LOG113,1,0"));
  EXPECT_EQ(Exchange(back, Command("$PQEL995,1")), Sentence("$LOG995,1,1,65282,0"));
  // The frame the cable cut off never reached the flash.
  EXPECT_EQ(device_->StoredData(0xFF02), std::string(64, 'a'));
  EXPECT_EQ(Exchange(back, Command("$PQEL996,44")), Sentence("$LOG996,1,65282,0"));
}

TEST_F(SimulatedDeviceTest, UnplugOnRequestRemovesPortLinkAndSysfsEntry) {
  SimulatedDevice::Options options = BaseOptions();
  options.linkPath = folder_ / "port";
  options.sysfsRoot = folder_ / "sys";
  std::string first = Start(options);
  ProgramSide port(first);
  device_->Unplug();
  EXPECT_FALSE(device_->IsPlugged());
  EXPECT_TRUE(device_->PortPath().empty());
  EXPECT_TRUE(port.SeesHangup(kPatience));
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(options.linkPath)));
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(folder_ / "sys/class/tty/ttyACM0")));
  EXPECT_FALSE(std::filesystem::exists(folder_ / "sys/devices/usb1/1-1"));

  auto second = device_->Replug();
  ASSERT_TRUE(second) << second.Err().message;
  EXPECT_TRUE(device_->IsPlugged());
  EXPECT_EQ(std::filesystem::read_symlink(options.linkPath), second.Value());
  ProgramSide back(second.Value());
  EXPECT_EQ(Exchange(back, "$PQEL108,7,*06\r\n"), "$LOG108,1,7,WT*54\r\n");
}

TEST_F(SimulatedDeviceTest, SysfsEntryResolvesLikeTheKernels) {
  SimulatedDevice::Options options = BaseOptions();
  options.sysfsRoot = folder_ / "sys";
  Start(options);
  namespace fs = std::filesystem;
  fs::path root = fs::canonical(folder_ / "sys");
  fs::path entry = root / "class/tty/ttyACM0";
  ASSERT_TRUE(fs::is_symlink(entry));
  EXPECT_EQ(fs::canonical(entry), root / "devices/usb1/1-1/1-1:1.0/tty/ttyACM0");
  fs::path interface = fs::canonical(entry / "device");
  EXPECT_EQ(interface, root / "devices/usb1/1-1/1-1:1.0");
  EXPECT_EQ(ReadText(interface / "bInterfaceClass"), "02");
  EXPECT_EQ(fs::canonical(interface / "driver").filename(), "cdc_acm");
  EXPECT_EQ(fs::canonical(entry / "subsystem"), root / "class/tty");
  EXPECT_TRUE(ReadText(interface.parent_path() / "product").starts_with("AT32UC3"));
  EXPECT_EQ(ReadText(interface.parent_path() / "serial"), "MZT0000001");
  device_->Stop();
  EXPECT_FALSE(fs::exists(fs::symlink_status(entry)));
}

TEST_F(SimulatedDeviceTest, FilesSurviveARestartInTheStoreFolder) {
  SimulatedDevice::Options options = BaseOptions();
  options.storeFolder = folder_ / "store";
  {
    ProgramSide port(Start(options));
    SendFileTheProgramsWay([&](const std::string& b) { return Exchange(port, b); }, 0xFF00,
                           DatabaseHeader(2022, 2, 2, 9), 8192);
    device_->Stop();
  }
  ProgramSide port(Start(options));
  EXPECT_EQ(device_->Version(), (DatabaseVersion{2022, 2, 2, 9}));
  EXPECT_EQ(Exchange(port, Command("$PQEL995,1")), Sentence("$LOG995,1,1,65280,1"));
}

TEST_F(SimulatedDeviceTest, InitialDatabaseFolderIsListed) {
  test::WriteFileBytes(folder_ / "FF00.bin", DatabaseHeader(2012, 5, 17, 3));
  test::WriteFileBytes(folder_ / "FF01.bin", "index");
  test::WriteFileBytes(folder_ / "FF02.bin", "records");
  SimulatedDevice::Options options = BaseOptions();
  options.databaseFolder = folder_.Path();
  options.unplacedIds = {0xFF02};
  ProgramSide port(Start(options));
  EXPECT_EQ(Exchange(port, Command("$PQEL995,3")), Sentence("$LOG995,1,3,65282,0"));
  EXPECT_EQ(Exchange(port, Command("$PQEL108,4,")), Sentence("$LOG108,1,4,3,07DC0511"));
}

TEST_F(SimulatedDeviceTest, PacedDeviceLosesNothing) {
  SimulatedDevice::Options options = BaseOptions();
  options.bytesPerSecond = 400000;
  ProgramSide port(Start(options));
  std::string data(3000, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 31);
  SendFileTheProgramsWay([&](const std::string& b) { return Exchange(port, b); }, 5, data, 1024);
  EXPECT_EQ(device_->StoredData(5), data);
}

TEST_F(SimulatedDeviceTest, StartFailsCleanlyOnBadOptions) {
  SimulatedDevice::Options missing = BaseOptions();
  missing.databaseFolder = folder_ / "nothing-here";
  SimulatedDevice noDatabase(missing);
  EXPECT_FALSE(noDatabase.Start());

  SimulatedDevice::Options badFault = BaseOptions();
  Fault fault;
  fault.effect = Fault::Effect::kFrameStatus2;  // not for sentences
  badFault.faults.push_back(fault);
  SimulatedDevice refused(badFault);
  EXPECT_FALSE(refused.Start());
  EXPECT_FALSE(refused.AddFault(fault));

  test::WriteFileBytes(folder_ / "taken", "a file of the user's");
  SimulatedDevice::Options badLink = BaseOptions();
  badLink.linkPath = folder_ / "taken";
  SimulatedDevice unlinked(badLink);
  EXPECT_FALSE(unlinked.Start());
  EXPECT_FALSE(unlinked.IsPlugged());
  EXPECT_EQ(test::ReadFileBytes(folder_ / "taken"), "a file of the user's");

  std::string path = Start(BaseOptions());
  EXPECT_FALSE(device_->Start());
  EXPECT_EQ(device_->PortPath(), path);
}

}  // namespace
}  // namespace mzt::devsim
