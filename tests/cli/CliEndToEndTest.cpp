// The `mzt` program itself, run as a user runs it, against the simulated
// device on a pty and the local update server on loopback.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "updserver/UpdateServer.h"
#include "database/DatabaseSplitter.h"
#include "dbgen/SyntheticDatabase.h"
#include "devsim/SimulatedDevice.h"
#include "platform/CopyDataChannel.h"
#include "support/ParamName.h"
#include "support/TempFolder.h"

namespace mzt {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::string output;
};

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(folder_ / "home");
    fs::create_directories(folder_ / "server" / "tw");
    fs::create_directories(folder_ / "installed");
    ASSERT_TRUE(dbgen::SyntheticDatabase({2025, 1, 15, 3, 4, 4, 200, 7}).WriteTo(folder_ / "installed" / "ULDB.bin"));
    DatabaseSplitter splitter;
    fs::path a, b, c;
    ASSERT_TRUE(splitter.SplitHeader(folder_ / "installed" / "ULDB.bin", true, a));
    ASSERT_TRUE(splitter.SplitIndex(folder_ / "installed" / "ULDB.bin", true, b));
    ASSERT_TRUE(splitter.SplitRecords(folder_ / "installed" / "ULDB.bin", true, c));
    ASSERT_TRUE(dbgen::SyntheticDatabase(newer_).WriteTo(folder_ / "server" / "tw" / "DB.bin"));

    devsim::SimulatedDevice::Options options;
    options.pois = devsim::GeneratePois(3);
    options.databaseFolder = folder_ / "installed";
    options.linkPath = folder_ / "port";
    options.sysfsRoot = folder_ / "sys";
    device_ = std::make_unique<devsim::SimulatedDevice>(options);
    ASSERT_TRUE(device_->Start());

    updserver::UpdateServerOptions serverOptions;
    serverOptions.databaseFolder = folder_ / "server";
    server_ = std::make_unique<updserver::UpdateServer>(serverOptions);
    ASSERT_TRUE(server_->Start());
  }
  void TearDown() override {
    device_->Stop();
    server_->Stop();
  }

  std::vector<std::string> Environment() const {
    return {"MZT_TIME_SCALE=0.01", "MZT_HOME=" + (folder_ / "home").string(),
            "MZT_SYSFS_ROOT=" + (folder_ / "sys").string(),
            "XDG_RUNTIME_DIR=" + folder_.Path().string(), "PATH=/usr/bin:/bin", "LANG=C.UTF-8"};
  }

  // Runs mzt with its output on a pipe (no terminal), or on a pty whose input
  // gets `typed`.
  Outcome Mzt(std::vector<std::string> args, bool onTerminal = false, const std::string& typed = "",
              std::function<void(const std::string& output, pid_t)> watch = {}) {
    args.insert(args.begin(), std::string(MZT_PROGRAM));
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    auto env = Environment();
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    int fd = -1;
    pid_t pid;
    if (onTerminal) {
      pid = forkpty(&fd, nullptr, nullptr, nullptr);
    } else {
      int pipeFds[2];
      if (pipe(pipeFds) != 0) return {};
      pid = fork();
      if (pid == 0) {
        dup2(pipeFds[1], 1);
        dup2(pipeFds[1], 2);
        int null = ::open("/dev/null", O_RDONLY);
        dup2(null, 0);
      }
      close(pipeFds[1]);
      fd = pipeFds[0];
      if (pid == 0) close(fd);
    }
    if (pid == 0) {
      if (childSetup_) childSetup_();
      execve(argv[0], argv.data(), envp.data());
      _exit(127);
    }
    if (!typed.empty()) {
      ssize_t written = write(fd, typed.data(), typed.size());
      (void)written;
    }
    Outcome run;
    char buffer[4096];
    for (;;) {
      ssize_t n = read(fd, buffer, sizeof buffer);
      if (n <= 0) break;  // a pty reads EIO once the program has ended
      run.output.append(buffer, static_cast<size_t>(n));
      if (watch) watch(run.output, pid);
    }
    close(fd);
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
  }

  std::string Port() const { return (folder_ / "port").string(); }
  bool Has(const Outcome& run, const std::string& text) const {
    return run.output.find(text) != std::string::npos;
  }

  dbgen::DatabaseOptions newer_{2026, 11, 30, 12, 4, 8, 300, 21};
  // Runs in the child before mzt starts (async-signal-safe calls only).
  void (*childSetup_)() = nullptr;
  test::TempFolder folder_;
  std::unique_ptr<devsim::SimulatedDevice> device_;
  std::unique_ptr<updserver::UpdateServer> server_;
};

TEST_F(CliTest, VersionAndPorts) {
  Outcome version = Mzt({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(Has(version, "MZT Utility Online  ")) << version.output;
  Outcome ports = Mzt({"ports"});
  EXPECT_EQ(ports.status, 0);
  EXPECT_EQ(ports.output, "/dev/ttyACM0\n");
  EXPECT_EQ(Mzt({"flash"}).status, 1);
}

TEST_F(CliTest, QueryShowsWhatTheDeviceHolds) {
  Outcome run = Mzt({"query", "--port", Port()});
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(Has(run, "FW 版本: 1.4.0.7")) << run.output;
  EXPECT_TRUE(Has(run, "DB 版本: 202501150003")) << run.output;
  EXPECT_TRUE(Has(run, "DB區域: 台灣")) << run.output;
}

TEST_F(CliTest, UpdateWithYesInstallsTheNewDatabase) {
  Outcome run = Mzt({"update", "--yes", "--port", Port(), "--server", server_->BaseUrl()});
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(device_->Version().number, 12);
  EXPECT_TRUE(Has(run, "[MZT Utility] 請重新啟動裝置!!")) << run.output;
  EXPECT_TRUE(fs::exists(folder_ / "home" / "POI.csv"));
  EXPECT_EQ(server_->SuccessReports().size(), 1u);
}

TEST_F(CliTest, UpToDateIsSuccessAndDeadServerIsANetworkFailure) {
  ASSERT_TRUE(dbgen::SyntheticDatabase({2025, 1, 15, 3, 4, 4, 200, 7}).WriteTo(folder_ / "server" / "tw" / "DB.bin"));
  Outcome upToDate = Mzt({"update", "--port", Port(), "--server", server_->BaseUrl()});
  EXPECT_EQ(upToDate.status, 0) << upToDate.output;
  EXPECT_TRUE(Has(upToDate, "網站無新的資料庫可供更新"));
  Outcome dead = Mzt({"update", "--port", Port(), "--server", "http://127.0.0.1:1/"});
  EXPECT_EQ(dead.status, 3) << dead.output;
}

TEST_F(CliTest, UploadInstallsAFileWithoutTheServerAndKeepsIt) {
  fs::path file = folder_ / "mine.bin";
  ASSERT_TRUE(dbgen::SyntheticDatabase(newer_).WriteTo(file));
  Outcome run = Mzt({"upload", file.string(), "--port", Port(), "--server", server_->BaseUrl()});
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(device_->Version().number, 12);
  EXPECT_TRUE(fs::exists(file));
  EXPECT_TRUE(server_->Requests().empty());
  Outcome invalid = Mzt({"upload", (folder_ / "missing.bin").string(), "--port", Port()});
  EXPECT_EQ(invalid.status, 4);
}

TEST_F(CliTest, ClearPoiAsksAndNoTerminalMeansNo) {
  Outcome noTerminal = Mzt({"clear-poi", "--port", Port()});
  EXPECT_EQ(noTerminal.status, 5) << noTerminal.output;
  EXPECT_EQ(device_->PoiCount(), 3u);

  Outcome typedNo = Mzt({"clear-poi", "--port", Port()}, true, "n\n");
  EXPECT_EQ(typedNo.status, 5) << typedNo.output;
  EXPECT_TRUE(Has(typedNo, "程式將刪除裝置內POI資料,請問是否刪除? (y/n)"));
  EXPECT_EQ(device_->PoiCount(), 3u);

  Outcome typedYes = Mzt({"clear-poi", "--port", Port()}, true, "y\n");
  EXPECT_EQ(typedYes.status, 0) << typedYes.output;
  EXPECT_EQ(device_->PoiCount(), 0u);
}

TEST_F(CliTest, ClearPoiWithYes) {
  Outcome run = Mzt({"clear-poi", "--yes", "--port", Port()});
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(Has(run, "POI清除完成,請重新啟動裝置!"));
  EXPECT_EQ(device_->PoiCount(), 0u);
}

// The POI backup: what was saved of what the device holds, said honestly.
struct PoiBackupRow {
  std::string name;
  std::vector<std::string> args;  // "PORT" and "SERVER" are filled in
  std::optional<devsim::Fault> fault;
  bool poiFileBlocked;
  int status;
  std::vector<std::string> shown;
  int csvLines;  // lines of POI.csv afterwards, -1: no such file
  bool namesPoiCsv;
  int installedNumber = 3;  // the device's database number afterwards
};

class PoiBackupTest : public CliTest, public ::testing::WithParamInterface<PoiBackupRow> {};

TEST_P(PoiBackupTest, SaysWhatWasSaved) {
  const PoiBackupRow& row = GetParam();
  if (row.fault) {
    ASSERT_TRUE(device_->AddFault(*row.fault));
  }
  fs::path csv = folder_ / "home" / "POI.csv";
  if (row.poiFileBlocked) fs::create_directories(csv);
  std::vector<std::string> args;
  for (const auto& arg : row.args)
    args.push_back(arg == "PORT" ? Port() : arg == "SERVER" ? server_->BaseUrl() : arg);
  Outcome run = Mzt(args);
  EXPECT_EQ(run.status, row.status) << run.output;
  for (const auto& text : row.shown) EXPECT_TRUE(Has(run, text)) << text << "\n" << run.output;
  EXPECT_EQ(Has(run, "POI.csv"), row.namesPoiCsv) << run.output;
  if (row.csvLines < 0 || row.poiFileBlocked) {
    EXPECT_FALSE(fs::is_regular_file(csv));
  } else {
    std::string content = test::ReadFileBytes(csv);
    EXPECT_EQ(std::count(content.begin(), content.end(), '\n'), row.csvLines) << content;
  }
  EXPECT_EQ(device_->Version().number, row.installedNumber);
}

const devsim::Fault kCountRefused{.effect = devsim::Fault::Effect::kPoiCount, .times = 0};
const std::string kIncompleteQuestion = "POI備份不完整: 無法讀取裝置內的POI數量";

INSTANTIATE_TEST_SUITE_P(
    Rows, PoiBackupTest,
    ::testing::Values(
        PoiBackupRow{"AllSaved", {"export-poi", "--port", "PORT"}, {}, false, 0,
                     {"POIs: 3 of 3 saved to "}, 4, true},
        PoiBackupRow{"NoPois", {"export-poi", "--port", "PORT"},
                     devsim::Fault{.effect = devsim::Fault::Effect::kPoiCount, .value = 0}, false,
                     0, {"No POIs in the device"}, -1, false},
        PoiBackupRow{"CountRefused", {"export-poi", "--port", "PORT"}, kCountRefused, false, 2,
                     {"mzt: 0 POIs saved: the device did not tell how many POIs it holds"}, -1,
                     false},
        PoiBackupRow{"OneUnreadable", {"export-poi", "--port", "PORT"},
                     devsim::Fault{.effect = devsim::Fault::Effect::kDropReply, .command = 114,
                                   .argument = 1},
                     false, 2, {"2 of 3 POIs saved to ", "1 could not be read from the device"},
                     3, true},
        PoiBackupRow{"FileUnwritable", {"export-poi", "--port", "PORT"}, {}, true, 7,
                     {"無法產生ＰＯＩ檔案",
                      "0 of 3 POIs saved: the POI file could not be written (Is a directory)"},
                     -1, false},
        // Without a terminal and without --yes the answer is No.
        PoiBackupRow{"UpdateAfterIncompleteBackupStops",
                     {"update", "--port", "PORT", "--server", "SERVER"}, kCountRefused, false, 5,
                     {kIncompleteQuestion, "(y/n) n"}, -1, true},
        PoiBackupRow{"UpdateWithYesGoesOn",
                     {"update", "--yes", "--port", "PORT", "--server", "SERVER"}, kCountRefused,
                     false, 0, {kIncompleteQuestion, "(y/n) y"}, -1, true, 12}),
    test::RowName());

TEST_F(CliTest, SplitTellsWhetherTheFileIsADatabase) {
  fs::path file = folder_ / "db.bin";
  ASSERT_TRUE(dbgen::SyntheticDatabase(newer_).WriteTo(file));
  Outcome valid = Mzt({"split", file.string(), "--out", (folder_ / "out").string()});
  EXPECT_EQ(valid.status, 0) << valid.output;
  for (const char* name : {"FF00.bin", "FF01.bin", "FF02.bin"}) EXPECT_TRUE(fs::exists(folder_ / "out" / name));
  test::WriteFileBytes(folder_ / "bad.bin", std::string(100, 'x'));
  EXPECT_EQ(Mzt({"split", (folder_ / "bad.bin").string()}).status, 4);
}

// The user's own files survive every split and upload, whatever their names.
struct KeptFileRow {
  std::string name;
  std::string file;               // the user's database, in the test folder
  std::vector<std::string> args;  // FILE and PORT filled in; "@x" is x in the test folder
  int status;
  std::vector<std::string> kept = {};      // more files of the user's, made before the run
  std::vector<std::string> absent = {};    // none of these afterwards
  bool deviceTouched = false;
  int installedNumber = 3;
  bool diskFull = false;    // files of more than 4 KiB cannot be written
  bool leftovers = false;   // temporary files of a killed and of a running writer
};

class KeptFileTest : public CliTest, public ::testing::WithParamInterface<KeptFileRow> {};

TEST_P(KeptFileTest, SourceStaysByteForByte) {
  const KeptFileRow& row = GetParam();
  fs::path file = folder_ / row.file;
  fs::create_directories(file.parent_path());
  ASSERT_TRUE(dbgen::SyntheticDatabase(newer_).WriteTo(file));
  std::map<fs::path, std::string> before{{file, test::ReadFileBytes(file)}};
  for (const auto& name : row.kept) {
    test::WriteFileBytes(folder_ / name, "the user's own " + name);
    before[folder_ / name] = "the user's own " + name;
  }
  fs::path dead, running;
  if (row.leftovers) {
    pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    dead = file.parent_path() / ("FF02.bin.part-" + std::to_string(child) + "-0a1b2c3d");
    running = file.parent_path() / ("FF01.bin.part-" + std::to_string(getpid()) + "-0a1b2c3d");
    test::WriteFileBytes(dead, "half");
    test::WriteFileBytes(running, "being written");
    before[running] = "being written";
  }
  std::vector<std::string> args;
  for (const auto& arg : row.args)
    args.push_back(arg == "FILE" ? file.string() : arg == "PORT" ? Port()
                   : arg[0] == '@'  ? (folder_ / arg.substr(1)).string()
                                    : arg);
  if (row.diskFull) {
    childSetup_ = [] {
      signal(SIGXFSZ, SIG_IGN);
      rlimit limit{4096, 4096};
      setrlimit(RLIMIT_FSIZE, &limit);
    };
  }
  Outcome run = Mzt(args);
  EXPECT_EQ(run.status, row.status) << run.output;
  for (const auto& [path, bytes] : before) {
    ASSERT_TRUE(fs::is_regular_file(path)) << path << "\n" << run.output;
    EXPECT_TRUE(test::ReadFileBytes(path) == bytes) << path;
  }
  for (const auto& name : row.absent) EXPECT_FALSE(fs::exists(folder_ / name)) << name;
  if (row.leftovers) {
    EXPECT_FALSE(fs::exists(dead));
  }
  EXPECT_EQ(!device_->ReceivedSentences().empty(), row.deviceTouched);
  EXPECT_EQ(device_->Version().number, row.installedNumber);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, KeptFileTest,
    ::testing::Values(
        KeptFileRow{"SplitOfFF00", "d/FF00.bin", {"split", "FILE"}, 7, {},
                    {"d/FF01.bin", "d/FF02.bin"}},
        KeptFileRow{"SplitOfFF02", "d/FF02.bin", {"split", "FILE"}, 7, {},
                    {"d/FF00.bin", "d/FF01.bin"}},
        // The records step fails: only the files this run wrote are removed.
        KeptFileRow{"FailedSplitRemovesOnlyItsOwnFiles", "d/db.bin", {"split", "FILE"}, 7,
                    {"d/FF02.bin"}, {"d/FF00.bin", "d/FF01.bin"}, false, 3, true},
        KeptFileRow{"FailedSplitOutLeavesNoCopy", "d/db.bin", {"split", "FILE", "--out", "@o"}, 7,
                    {}, {"o/.db.bin.split", "o/FF00.bin", "o/FF01.bin", "o/FF02.bin"}, false,
                    3, true},
        KeptFileRow{"UploadOfFF00InTheDataFolder", "D/FF00.bin",
                    {"upload", "FILE", "--data-dir", "@D", "--port", "PORT"}, 7},
        KeptFileRow{"UploadOfTheDataFoldersUldb", "D/ULDB.bin",
                    {"upload", "FILE", "--data-dir", "@D", "--port", "PORT"}, 0, {},
                    {"D/FF00.bin", "D/FF01.bin", "D/FF02.bin", "D/Index.bin"}, true, 12},
        // Names close to the temporary files' are the user's.
        KeptFileRow{"LeftoversOfAKilledRunGoAtTheNextStart", "D/FF02.bin.part-7",
                    {"query", "--data-dir", "@D", "--port", "PORT"}, 0,
                    {"D/FF00.bin.part-1-0a1b2c3d", "D/ULDB.bin.part-99999999-nothex00"}, {}, true,
                    3, false, true}),
    test::RowName());

TEST_F(CliTest, FailedTransferPromptsForTheReplugAndRunsAgain) {
  ASSERT_TRUE(device_->AddFault({.effect = devsim::Fault::Effect::kFrameStatus2,
                                 .trigger = devsim::Fault::Trigger::kFrame, .fileId = 0xFF00,
                                 .nth = 1, .times = 2}));
  // The user pulls the cable once the failed transfer has ended, and plugs it back.
  std::jthread user([this](std::stop_token stop) {
    while (!stop.stop_requested()) {
      for (const auto& s : device_->ReceivedSentences()) {
        if (s.rfind("$PQEL999,2,65280", 0) == 0) {
          device_->Unplug(std::chrono::milliseconds(300));
          return;
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  Outcome run = Mzt({"update", "--yes", "--port", Port(), "--server", server_->BaseUrl()});
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(Has(run, "請拔除USB線")) << run.output;
  EXPECT_TRUE(Has(run, "請插入USB線")) << run.output;
  EXPECT_EQ(device_->Version().number, 12);
}

TEST_F(CliTest, NobodyReplugsAnUnattendedRun) {
  ASSERT_TRUE(device_->AddFault({.effect = devsim::Fault::Effect::kFrameStatus2,
                                 .trigger = devsim::Fault::Trigger::kFrame, .fileId = 0xFF00,
                                 .nth = 1, .times = 2}));
  Outcome run = Mzt({"update", "--yes", "--port", Port(), "--server", server_->BaseUrl()});
  EXPECT_EQ(run.status, 6) << run.output;
  EXPECT_TRUE(Has(run, "[錯誤] DB 上傳失敗,請重試,請洽經銷商")) << run.output;
}

TEST_F(CliTest, CtrlCAtTheReplugPromptStopsWithTheTransferFailedStatus) {
  ASSERT_TRUE(device_->AddFault({.effect = devsim::Fault::Effect::kFrameStatus2,
                                 .trigger = devsim::Fault::Trigger::kFrame, .fileId = 0xFF00,
                                 .nth = 1, .times = 2}));
  // Ctrl-C once the unplug prompt shows.
  bool interrupted = false;
  Outcome run = Mzt({"update", "--yes", "--port", Port(), "--server", server_->BaseUrl()}, true, "",
                    [&](const std::string& output, pid_t pid) {
                      if (!interrupted && output.find("請拔除USB線") != std::string::npos) {
                        interrupted = true;
                        kill(pid, SIGINT);
                      }
                    });
  EXPECT_EQ(run.status, 6) << run.output;
  EXPECT_TRUE(Has(run, "\x1b[32m請拔除USB線\x1b[0m")) << run.output;
}

TEST_F(CliTest, SendCopyDataReachesTheRunningProgram) {
  CopyDataServer program;
  std::string received;
  ASSERT_TRUE(program.Start(folder_ / "mzt-utility.sock", [&](uint32_t id, std::span<const uint8_t> data) {
    received.assign(data.begin(), data.end());
    return id == 1;
  }));
  Outcome run = Mzt({"send-copydata", "C:\\db\\ULDB.bin,3"});
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(received, std::string("C:\\db\\ULDB.bin,3\0", 17));
  // 260 bytes with the NUL that ends the text: one too many.
  received.clear();
  EXPECT_EQ(Mzt({"send-copydata", std::string(260, 'a')}).status, 1);
  EXPECT_TRUE(received.empty());
}

TEST_F(CliTest, UnreachableDeviceAndMissingDesktopProgram) {
  Outcome run = Mzt({"query", "--port", "/dev/no-such-port"});
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(Has(run, "[錯誤] 無法連結裝置，請重試")) << run.output;
  Outcome send = Mzt({"send-copydata", "a.bin,1"});
  EXPECT_EQ(send.status, 9);
  EXPECT_TRUE(Has(send, "no desktop program is running")) << send.output;
}

}  // namespace
}  // namespace mzt
