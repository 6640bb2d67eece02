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
#include <optional>
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
  std::string output;          // standard error, and standard output unless kept apart
  std::string standardOutput;  // when kept apart
};

struct How {
  bool onTerminal = false;
  std::string typed{};             // typed on the terminal
  bool separateOutput = false;     // standard output to a pipe of its own
  std::vector<std::string> environment{};
  // Sees the output so far as it grows (send signals on a marker, never on time).
  std::function<void(const std::string& output, pid_t)> watch{};
};

// Ctrl-C as each marker shows, each after the one before.
std::function<void(const std::string&, pid_t)> InterruptAt(std::vector<std::string> markers) {
  size_t next = 0;
  size_t from = 0;
  return [markers = std::move(markers), next, from](const std::string& output, pid_t pid) mutable {
    if (next >= markers.size()) return;
    size_t found = output.find(markers[next], from);
    if (found == std::string::npos) return;
    from = found + markers[next].size();
    ++next;
    kill(pid, SIGINT);
  };
}

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

    deviceOptions_.pois = devsim::GeneratePois(3);
    deviceOptions_.databaseFolder = folder_ / "installed";
    deviceOptions_.linkPath = folder_ / "port";
    deviceOptions_.sysfsRoot = folder_ / "sys";
    device_ = std::make_unique<devsim::SimulatedDevice>(deviceOptions_);
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

  // A device started again with other options.
  void RestartDevice(const std::function<void(devsim::SimulatedDevice::Options&)>& change) {
    device_->Stop();
    change(deviceOptions_);
    device_ = std::make_unique<devsim::SimulatedDevice>(deviceOptions_);
    ASSERT_TRUE(device_->Start());
  }

  // Runs mzt with its output on a pipe (no terminal), or on a pty whose input
  // gets `typed`.
  Outcome Mzt(std::vector<std::string> args, const How& how = {}) {
    args.insert(args.begin(), std::string(MZT_PROGRAM));
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    auto env = Environment();
    for (const auto& extra : how.environment) {
      // An extra setting replaces the default of the same name.
      std::string name = extra.substr(0, extra.find('=') + 1);
      std::erase_if(env, [&](const std::string& e) { return e.rfind(name, 0) == 0; });
      env.push_back(extra);
    }
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    int outFds[2] = {-1, -1};
    if (how.separateOutput && pipe(outFds) != 0) return {};
    int fd = -1;
    pid_t pid;
    if (how.onTerminal) {
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
      if (how.separateOutput) dup2(outFds[1], 1);
      execve(argv[0], argv.data(), envp.data());
      _exit(127);
    }
    if (how.separateOutput) close(outFds[1]);
    if (!how.typed.empty()) {
      ssize_t written = write(fd, how.typed.data(), how.typed.size());
      (void)written;
    }
    Outcome run;
    char buffer[4096];
    for (;;) {
      ssize_t n = read(fd, buffer, sizeof buffer);
      if (n <= 0) break;  // a pty reads EIO once the program has ended
      run.output.append(buffer, static_cast<size_t>(n));
      if (how.watch) how.watch(run.output, pid);
    }
    close(fd);
    if (how.separateOutput) {
      for (ssize_t n; (n = read(outFds[0], buffer, sizeof buffer)) > 0;)
        run.standardOutput.append(buffer, static_cast<size_t>(n));
      close(outFds[0]);
    }
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
  devsim::SimulatedDevice::Options deviceOptions_;
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
  Outcome mistyped = Mzt({"flash"});
  EXPECT_EQ(mistyped.status, 1);
  EXPECT_EQ(mistyped.output,
            "mzt: unknown command flash\nUsage: mzt COMMAND [OPTIONS]\n"
            "Try 'mzt --help' for the commands and options.\n");
}

TEST_F(CliTest, QueryShowsWhatTheDeviceHoldsOnStandardOutputOnly) {
  Outcome run = Mzt({"query", "--port=" + Port()}, {.separateOutput = true});
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.standardOutput, "FW 版本: 1.4.0.7\nDB 版本: 202501150003\nDB區域: 台灣\n");
  EXPECT_TRUE(Has(run, "請稍候...")) << run.output;
}

TEST_F(CliTest, UpdateWithYesInstallsTheNewDatabase) {
  Outcome run = Mzt({"update", "--yes", "--port", Port(), "--server", server_->BaseUrl()});
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(device_->Version().number, 12);
  EXPECT_TRUE(Has(run, "[MZT Utility] 請重新啟動裝置!!")) << run.output;
  EXPECT_TRUE(fs::exists(folder_ / "home" / "POI.csv"));
  EXPECT_EQ(server_->SuccessReports().size(), 1u);
}

struct ServerRow {
  std::string name;
  std::optional<updserver::Page> page;  // the page that misbehaves
  updserver::PageFault fault;
  std::string server;  // instead of the local server's address
  int status;
  std::string says;
};

class CliServerTest : public CliTest, public ::testing::WithParamInterface<ServerRow> {};

TEST_P(CliServerTest, ExitStatusAndReason) {
  const ServerRow& row = GetParam();
  if (row.page) server_->SetFault(*row.page, row.fault);
  Outcome run = Mzt({"update", "--port", Port(), "--server",
                     row.server.empty() ? server_->BaseUrl() : row.server});
  EXPECT_EQ(run.status, row.status) << run.output;
  EXPECT_TRUE(Has(run, row.says)) << run.output;
  EXPECT_EQ(device_->Version().number, 3);
  if (row.status == 1) {
    EXPECT_TRUE(device_->ReceivedSentences().empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, CliServerTest,
    ::testing::Values(
        ServerRow{"NothingNewer", updserver::Page::kVersionCheck, {.body = "2"}, "", 0,
                  "網站無新的資料庫可供更新"},
        ServerRow{"AddressPageSaysNothingNewer", updserver::Page::kDownloadAddress,
                  {.body = "2"}, "", 0, "網站無新的資料庫可供更新"},
        ServerRow{"VersionCheckGarbage", updserver::Page::kVersionCheck, {.body = "<html>"}, "", 3,
                  "mzt: the version check (http://"},
        ServerRow{"VersionCheckStatus", updserver::Page::kVersionCheck, {.status = 503}, "", 3,
                  "answered HTTP status 503"},
        ServerRow{"DeadServer", std::nullopt, {}, "http://127.0.0.1:1/", 3, "Error"},
        ServerRow{"ServerAddressCheckedFirst", std::nullopt, {}, "127.0.0.1:8086", 1,
                  "mzt: --server needs an http:// or https:// address"}),
    test::RowName());

TEST_F(CliTest, UploadInstallsAFileWithoutTheServerAndKeepsIt) {
  fs::path file = folder_ / "mine.bin";
  ASSERT_TRUE(dbgen::SyntheticDatabase(newer_).WriteTo(file));
  Outcome run = Mzt({"upload", file.string(), "--port", Port(), "--server", server_->BaseUrl()});
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(device_->Version().number, 12);
  EXPECT_TRUE(fs::exists(file));
  EXPECT_TRUE(server_->Requests().empty());
  Outcome missing = Mzt({"upload", (folder_ / "missing.bin").string(), "--port", Port()});
  EXPECT_EQ(missing.status, 8);
  EXPECT_TRUE(Has(missing, "missing.bin: No such file or directory")) << missing.output;
}

TEST_F(CliTest, ClearPoiAsksAndNoTerminalMeansNo) {
  Outcome noTerminal = Mzt({"clear-poi", "--port", Port()});
  EXPECT_EQ(noTerminal.status, 5) << noTerminal.output;
  EXPECT_EQ(device_->PoiCount(), 3u);

  Outcome typedNo = Mzt({"clear-poi", "--port", Port()}, {.onTerminal = true, .typed = "n\n"});
  EXPECT_EQ(typedNo.status, 5) << typedNo.output;
  EXPECT_TRUE(Has(typedNo, "程式將刪除裝置內POI資料,請問是否刪除? (y/n)"));
  EXPECT_EQ(device_->PoiCount(), 3u);

  // The end of input (Ctrl-D) at the question.
  Outcome ended = Mzt({"clear-poi", "--port", Port()}, {.onTerminal = true, .typed = "\x04"});
  EXPECT_EQ(ended.status, 5) << ended.output;
  EXPECT_EQ(device_->PoiCount(), 3u);

  // `mzt clear-poi > log` still asks on the terminal.
  Outcome typedYes = Mzt({"clear-poi", "--port", Port()},
                         {.onTerminal = true, .typed = "y\n", .separateOutput = true});
  EXPECT_EQ(typedYes.status, 0) << typedYes.output;
  EXPECT_TRUE(Has(typedYes, "請問是否刪除? (y/n)")) << typedYes.output;
  EXPECT_EQ(typedYes.standardOutput, "");
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
  EXPECT_EQ(Mzt({"split", (folder_ / "missing.bin").string()}).status, 8);
  EXPECT_EQ(Mzt({"split", folder_.Path().string()}).status, 8);
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

struct InterruptRow {
  std::string name;
  std::vector<std::string> markers;  // Ctrl-C as each shows
  int status;
  std::vector<std::string> says;
  bool onTerminal = true;
  std::vector<std::string> environment{};
  std::string command = "update";
};

class CliInterruptTest : public CliTest, public ::testing::WithParamInterface<InterruptRow> {
 protected:
  Outcome RunRow(std::vector<std::string> args) {
    const InterruptRow& row = GetParam();
    return Mzt(std::move(args), {.onTerminal = row.onTerminal, .environment = row.environment,
                                 .watch = InterruptAt(row.markers)});
  }
  void ExpectSays(const Outcome& run) {
    EXPECT_EQ(run.status, GetParam().status) << run.output;
    for (const auto& text : GetParam().says) EXPECT_TRUE(Has(run, text)) << text << "\n" << run.output;
  }
  // No download, device file or temporary of this run is left in the data folder.
  void ExpectNoWorkFiles() {
    for (const auto& entry : fs::directory_iterator(folder_ / "home"))
      EXPECT_EQ(entry.path().filename(), "POI.csv") << entry.path();
  }
};

// A failed transfer ends at the replug prompt.
class CtrlCAtTheReplugPrompt : public CliInterruptTest {};

TEST_P(CtrlCAtTheReplugPrompt, StopsWithTheTransferFailedStatus) {
  ASSERT_TRUE(device_->AddFault({.effect = devsim::Fault::Effect::kFrameStatus2,
                                 .trigger = devsim::Fault::Trigger::kFrame, .fileId = 0xFF00,
                                 .nth = 1, .times = 2}));
  ExpectSays(RunRow({"update", "--yes", "--port", Port(), "--server", server_->BaseUrl()}));
  ExpectNoWorkFiles();
}

INSTANTIATE_TEST_SUITE_P(
    Colours, CtrlCAtTheReplugPrompt,
    ::testing::Values(
        InterruptRow{"Coloured", {"請拔除USB線"}, 6,
                     {"\x1b[32m請拔除USB線\x1b[0m", "Stopped.", "unplug the device, plug it in again"}},
        InterruptRow{"NoColour", {"請拔除USB線"}, 6, {"\r\n請拔除USB線\r\n", "Stopped."}, true,
                     {"NO_COLOR=1"}}),
    test::RowName());

// Anywhere but in the change of the device's database, Ctrl-C stops at once.
class CtrlCStopsAtOnce : public CliInterruptTest {};

TEST_P(CtrlCStopsAtOnce, AndCleansUp) {
  // A download that takes seconds.
  server_->SetFault(updserver::Page::kDownload,
                    {.pieceDelay = std::chrono::milliseconds(500), .pieceSize = 1024});
  std::vector<std::string> args = {GetParam().command, "--port", Port(), "--server",
                                   server_->BaseUrl()};
  if (!GetParam().onTerminal) args.push_back("--yes");
  Outcome run = RunRow(args);
  ExpectSays(run);
  EXPECT_FALSE(Has(run, "Press Ctrl-C again")) << run.output;
  EXPECT_EQ(device_->Version().number, 3);
  EXPECT_EQ(device_->PoiCount(), 3u);
  ExpectNoWorkFiles();
}

INSTANTIATE_TEST_SUITE_P(
    Steps, CtrlCStopsAtOnce,
    ::testing::Values(
        InterruptRow{"AtTheQuestion", {"(y/n)"}, 130, {"mzt: stopped."}, true, {}, "clear-poi"},
        // Once the first piece is in the partial file (its progress line shows).
        InterruptRow{"DuringTheDownload", {"資料下載中,請稍等\n["}, 130, {"mzt: stopped."}, false}),
    test::RowName());

// While the device's database is being replaced.
class CtrlCDuringTheChange : public CliInterruptTest {};

TEST_P(CtrlCDuringTheChange, WarnsFirstThenStopsCleanly) {
  // Frames the device takes its time to store, and enough of them.
  RestartDevice([](devsim::SimulatedDevice::Options& options) {
    options.flashTime = std::chrono::milliseconds(40);
  });
  fs::path file = folder_ / "big.bin";
  ASSERT_TRUE(dbgen::SyntheticDatabase({2026, 11, 30, 12, 4, 8, 12000, 21}).WriteTo(file));
  const std::string before = test::ReadFileBytes(file);
  ExpectSays(RunRow({"upload", file.string(), "--port", Port()}));
  EXPECT_EQ(test::ReadFileBytes(file), before);
  ExpectNoWorkFiles();
  // The transfer of FF02 was cut short and ended with its end sentence.
  for (const auto& stored : device_->ReceivedFiles()) EXPECT_NE(stored.id, 0xFF02);
  auto sentences = device_->ReceivedSentences();
  ASSERT_FALSE(sentences.empty());
  EXPECT_EQ(sentences.back().rfind("$PQEL999,2,65282", 0), 0u) << sentences.back();
}

INSTANTIATE_TEST_SUITE_P(
    Presses, CtrlCDuringTheChange,
    ::testing::Values(InterruptRow{
        "Twice",
        // Once the first frame of FF02 is acknowledged (its progress line starts).
        {"FF02.bin 上傳中, 請等待\r\n\r[", "Press Ctrl-C again"},
        130,
        {"stopping now leaves the device without a complete database", "mzt: stopping...",
         "unplug the device, plug it in again, then run `mzt upload "},
        true,
        // Reply waits with room for a loaded machine: this test is about Ctrl-C, not speed.
        {"MZT_TIME_SCALE=0.1"}}),
    test::RowName());

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
  EXPECT_TRUE(Has(run, "[錯誤] 無法連結裝置，請重試\nopen /dev/no-such-port: No such file or directory"))
      << run.output;
  Outcome alone = Mzt({"send-copydata", "a.bin,1"});
  EXPECT_EQ(alone.status, 9);
  EXPECT_TRUE(Has(alone, "no desktop program is running")) << alone.output;
}

}  // namespace
}  // namespace mzt
