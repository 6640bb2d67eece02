// The desktop program as a user runs it, on an Xvfb display of its own, driven through its test
// hook (MZT_UI_TEST_HOOK=1): the simulated device on a pty named in MZTConfig.ini, the update
// server on loopback. A screenshot of each step is left in the build folder.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <mutex>
#include <span>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/CopyDataChannel.h"
#include "reliability/MztChild.h"

namespace mzt {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::TempFolder;

constexpr auto kPatience = 60s;  // a hung window fails the test instead of blocking it

pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env, int in,
            int out, int err = -1) {
  std::vector<std::string> a = args, e = env;
  std::vector<char*> argv, envp;
  for (auto& s : a) argv.push_back(s.data());
  for (auto& s : e) envp.push_back(s.data());
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    if (in >= 0) dup2(in, 0);
    if (out >= 0) dup2(out, 1);
    if (err >= 0) dup2(err, 2);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  return pid;
}

int WaitExit(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// A program that should end but opens a window instead is killed: -1.
int WaitExitWithin(pid_t pid, std::chrono::seconds patience) {
  int status = 0;
  for (auto end = std::chrono::steady_clock::now() + patience; std::chrono::steady_clock::now() < end;
       std::this_thread::sleep_for(std::chrono::milliseconds(50)))
    if (waitpid(pid, &status, WNOHANG) == pid)
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  kill(pid, SIGKILL);
  WaitExit(pid);
  return -1;
}

// One X server for the suite, on a display it picks itself.
class XServer {
 public:
  static std::string Display() {
    static XServer server;
    return server.display_;
  }
  ~XServer() {
    for (pid_t pid : {windowManager_, pid_})
      if (pid > 0) {
        kill(pid, SIGTERM);
        WaitExit(pid);
      }
  }

 private:
  XServer() {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
             "tcp", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    // The number arrives once the server is ready, ended by a newline.
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) return;
    display_ = ":" + number;
    // Title bars, focus and placement as on a desktop.
    windowManager_ = Spawn({"/usr/bin/openbox"}, {"DISPLAY=" + display_, "PATH=/usr/bin:/bin"}, -1, -1);
    std::this_thread::sleep_for(1s);
  }
  pid_t pid_ = -1;
  pid_t windowManager_ = -1;
  std::string display_;
};

std::vector<std::string> Fields(const std::string& line, char separator = '\t') {
  std::vector<std::string> fields;
  std::istringstream in(line);
  for (std::string field; std::getline(in, field, separator);) fields.push_back(field);
  return fields;
}

std::vector<int> Numbers(const std::string& list) {
  std::vector<int> numbers;
  for (const auto& n : Fields(list, ',')) numbers.push_back(std::stoi(n));
  return numbers;
}

class GuiSmokeTest : public test::MztChildTest {
 protected:
  void SetUp() override {
    test::MztChildTest::SetUp();
    if (HasFatalFailure()) return;
    display_ = XServer::Display();
    ASSERT_FALSE(display_.empty()) << "Xvfb did not start (is the xvfb package installed?)";
    test::WriteFileBytes(folder_ / "home" / "MZTConfig.ini",
                         "[Comm. Port]\nPortNumber=" + (folder_ / "port").string() + "\n");
    if (!detectorAtStart_) device_->Unplug(0ms);
    if (language_ != "C.UTF-8") {
      ASSERT_FALSE(test::TaiwanLocaleFolder().empty()) << "localedef failed (is the locales package installed?)";
    }
    StartProgram();
  }

  void TearDown() override {
    if (HasFailure()) std::printf("What mzt-utility said:\n%s", Lines().c_str());
    if (pid_ > 0) {
      close(toProgram_);
      kill(pid_, SIGKILL);
      WaitExit(pid_);
    }
    if (reader_.joinable()) reader_.join();
    test::MztChildTest::TearDown();
  }

  std::vector<std::string> Environment() const {
    return {"DISPLAY=" + display_,
            "HOME=" + folder_.Path().string(),
            "MZT_HOME=" + (folder_ / "home").string(),
            "MZT_SYSFS_ROOT=" + (folder_ / "sys").string(),
            "MZT_UPDATE_SERVER=" + server_->BaseUrl(),
            "MZT_TIME_SCALE=0.05",
            "MZT_UI_TEST_HOOK=1",
            "XDG_RUNTIME_DIR=" + folder_.Path().string(),
            "NO_AT_BRIDGE=1",
            "PATH=/usr/bin:/bin",
            "LOCPATH=" + test::TaiwanLocaleFolder(),
            "LANG=" + language_};
  }

  void StartProgram() {
    int in[2], out[2];
    ASSERT_EQ(pipe(in), 0);
    ASSERT_EQ(pipe(out), 0);
    pid_ = Spawn({MZT_UTILITY_PROGRAM}, Environment(), in[0], out[1]);
    close(in[0]);
    close(out[1]);
    toProgram_ = in[1];
    reader_ = std::thread([this, fd = out[0]] {
      std::string pending;
      char buffer[512];
      ssize_t n;
      while ((n = read(fd, buffer, sizeof buffer)) > 0) {
        pending.append(buffer, static_cast<size_t>(n));
        for (size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
          std::lock_guard lock(mutex_);
          lines_.push_back(pending.substr(0, end));
          changed_.notify_all();
        }
      }
      close(fd);
    });
  }

  // The next line from the program that `accept` takes, after those already seen.
  // Replies and message lines are read with cursors of their own, so that a
  // box announced while a command waits for its reply is not passed over.
  std::string NextLine(const std::function<bool(const std::string&)>& accept, size_t& seen) {
    std::unique_lock lock(mutex_);
    std::string found;
    changed_.wait_for(lock, kPatience, [&] {
      for (; seen < lines_.size(); ++seen)
        if (accept(lines_[seen])) {
          found = lines_[seen++];
          return true;
        }
      return false;
    });
    return found;
  }

  // Sends a hook command and answers its reply line.
  std::string Command(const std::string& command) {
    std::string line = command + "\n";
    EXPECT_EQ(write(toProgram_, line.data(), line.size()), static_cast<ssize_t>(line.size()));
    std::string verb = command.substr(0, command.find(' '));
    return NextLine([&](const std::string& l) {
      return l.rfind(verb + "\t", 0) == 0 || l == "closed" || l.rfind("unknown", 0) == 0;
    }, seenReplies_);
  }

  std::string Text(int id) {
    std::string reply = Command("text " + std::to_string(id));
    std::string prefix = "text\t" + std::to_string(id) + "\t";
    return reply.rfind(prefix, 0) == 0 ? reply.substr(prefix.size()) : "<" + reply + ">";
  }

  // Polls until `done`, or patience runs out.
  bool Until(const std::function<bool()>& done, std::chrono::milliseconds pause = 100ms) {
    for (auto start = std::chrono::steady_clock::now();
         std::chrono::steady_clock::now() - start < kPatience; std::this_thread::sleep_for(pause))
      if (done()) return true;
    return false;
  }
  bool WaitForIdle() { return Until([&] { return Command("idle") == "idle\t1"; }); }

  // The next message box: {caption, text, buttons}.
  std::vector<std::string> NextMessage() {
    auto fields = Fields(NextLine([](const std::string& l) { return l.rfind("message\t", 0) == 0; }, seenMessages_));
    fields.resize(4);
    return {fields.begin() + 1, fields.end()};
  }

  // Answers every message box (Yes to questions) up to the one reading `last`,
  // which is left open; false when the flow ended without it.
  bool AnswerUntil(const std::string& last) {
    for (;;) {
      auto message = NextMessage();
      if (message[1].empty()) return false;
      if (message[1] == last) return true;
      Command(message[2] == "yesno" ? "answer yes" : "answer ok");
    }
  }

  void Screenshot(const std::string& step) {
    // The window paints after it answered the hook: let the display catch up.
    std::this_thread::sleep_for(700ms);
    std::string file = std::string(MZT_SCREENSHOT_DIR) + "/gui-" + step + ".png";
    pid_t pid = Spawn({"/usr/bin/import", "-display", display_, "-window", "root", file},
                      {"PATH=/usr/bin:/bin"}, -1, -1);
    EXPECT_EQ(WaitExit(pid), 0) << "screenshot " << file;
  }

  // Closes like the close box; answers the program's exit status, or -1
  // when the close was refused.
  int Close() {
    std::string reply = Command("close");
    if (reply == "close\tvetoed") return -1;
    close(toProgram_);
    int status = 0;
    if (!Until([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, 50ms)) {
      ADD_FAILURE() << "mzt-utility did not end after its close was accepted:\n" << Lines();
      return -2;
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  std::string Lines() {
    std::lock_guard lock(mutex_);
    std::string all;
    for (const auto& line : lines_) all += "  " + line + "\n";
    return all;
  }

  std::string display_;
  std::string language_ = "C.UTF-8";
  // Without: no detector plugged in when the window starts.
  bool detectorAtStart_ = true;
  pid_t pid_ = -1;
  int toProgram_ = -1;
  std::thread reader_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> lines_;
  size_t seenReplies_ = 0;
  size_t seenMessages_ = 0;
};

constexpr const char* kUploadModeWarning = "裝置進入資料上傳模式,所有在裝置上的功能都會被關閉";
constexpr const char* kRestartDevice = "請重新啟動裝置!!";

TEST_F(GuiSmokeTest, QueryThenUpdateToTheRestartPrompt) {
  EXPECT_EQ(Command("title"), "title\tMZT Utility Online  1.1.53.68");
  EXPECT_EQ(Command("tabs"), "tabs\t測速點資料庫上傳\t關於");
  EXPECT_EQ(Text(1001), "更新資料庫");
  Screenshot("1-start");

  // A question ended by Escape or by its close box is answered No.
  for (std::string way : {"escape", "close"}) {
    // Its box may be announced before the click's own reply: not waited for.
    ASSERT_EQ(write(toProgram_, "click 1067\n", 11), 11);
    EXPECT_EQ(NextMessage()[1], "程式將刪除裝置內POI資料,請問是否刪除?");
    auto box = Fields(Command("box"));
    ASSERT_EQ(box.size(), 5u);
    EXPECT_EQ(box[1], "question");
    EXPECT_EQ(box[2], "No,Yes");  // in the toolkit's order
    EXPECT_EQ(box[4], "program-icon");
    EXPECT_EQ(Command("answer " + way), "answer\t" + way);
    ASSERT_TRUE(Until([&] { return Command("enabled 1067") == "enabled\t1067\t1"; }));
  }

  // The button that started a flow has the keyboard focus again after it.
  EXPECT_EQ(Command("focus 1117"), "focus\t1117");
  Command("click 1117");
  EXPECT_TRUE(Until([&] { return Text(1064) == "202501150003"; }));
  EXPECT_EQ(Text(1146), "1.4.0.7");
  EXPECT_EQ(Text(1148), "台灣");
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(Command("focus"), "focus\t1117");
  EXPECT_EQ(device_->PoiCount(), test::kPois) << "the POIs were cleared without a Yes";
  Screenshot("2-query");
  Command("tab 1");
  Screenshot("3-about");
  Command("tab 0");

  // A device slow to take upload mode: the please-wait bar sweeps meanwhile.
  // It then refuses FF00, so that the replug dialog leads to the second run.
  ASSERT_TRUE(device_->AddFault({.effect = devsim::Fault::Effect::kAnswerZero, .command = 113, .argument = 0, .times = 4}));
  // Slow as well, so that the dialog stays up while it is minimised.
  ASSERT_TRUE(device_->AddFault({.effect = devsim::Fault::Effect::kDelayReply, .command = 113, .argument = 0,
                                 .times = 4, .duration = 150ms}));
  ASSERT_TRUE(device_->AddFault({.effect = devsim::Fault::Effect::kFrameStatus2,
                                 .trigger = devsim::Fault::Trigger::kFrame, .fileId = 0xFF00, .times = 2}));
  Command("click 1001");
  auto warning = NextMessage();
  EXPECT_EQ(warning[0], "MZT Utility");
  EXPECT_EQ(warning[1], kUploadModeWarning);
  Screenshot("5-warning");
  Command("answer ok");
  // Once the box has returned the update runs, and the please-wait bar sweeps.
  EXPECT_TRUE(Until([&] { return Command("bar").find_first_of("123456789") != std::string::npos; }, 20ms));
  // Laid out in dialog units: 175 x 40, the bar at (0,12) 175 x 17; fixed in
  // size, over the middle of the main window.
  auto wait = Fields(Command("wait"));
  ASSERT_EQ(wait.size(), 10u) << Command("wait");
  EXPECT_EQ(wait[1], "請稍候");
  auto base = Numbers(wait[4]);
  auto pixels = [&](int units, bool across) {
    return across ? units * base[0] / 400 : units * base[1] / 800;
  };
  auto client = Numbers(wait[2]), bar = Numbers(wait[3]), offset = Numbers(wait[6]);
  EXPECT_NEAR(client[2], pixels(175, true), 1);
  EXPECT_NEAR(client[3], pixels(40, false), 1);
  EXPECT_NEAR(bar[0], 0, 1);
  EXPECT_NEAR(bar[1], pixels(12, false), 1);
  EXPECT_NEAR(bar[2], pixels(175, true), 1);
  EXPECT_NEAR(bar[3], pixels(17, false), 1);
  EXPECT_EQ(wait[5], "fixed");
  EXPECT_LE(offset[0], 2);
  EXPECT_LE(offset[1], 30) << "a title bar may shift it down";
  EXPECT_EQ(wait[7], "program-icon");
  Screenshot("4-wait");
  // The window manager's minimise button (openbox shows one on any dialog)
  // does not hide what the locked window waits for.
  EXPECT_EQ(Command("iconize wait"), "iconize\tsent");
  EXPECT_TRUE(Until([&] {
    auto now = Fields(Command("wait"));
    return now.size() == 10u && now[9] != "0" && now[8] == "shown";
  }, 20ms)) << Command("wait");
  EXPECT_EQ(Close(), -1) << "the close box must be refused while the update runs";
  ASSERT_TRUE(AnswerUntil("An update is running: wait until it has finished before closing."));
  Command("answer ok");
  ASSERT_TRUE(AnswerUntil("DB 上傳失敗,請重試,請洽經銷商"));
  Command("answer ok");
  // The prompt follows the cable: out, then in again.
  EXPECT_TRUE(Until([&] { return Command("replug") == "replug\t請拔除USB線"; }));
  device_->Unplug(0ms);
  EXPECT_TRUE(Until([&] { return Command("replug") == "replug\t請插入USB線"; }));
  ASSERT_TRUE(device_->Replug());
  ASSERT_TRUE(AnswerUntil(kRestartDevice));
  Screenshot("6-restart");
  Command("answer ok");

  // The device now holds the server's database.
  ASSERT_TRUE(WaitForIdle());
  Command("click 1117");
  EXPECT_TRUE(Until([&] { return Text(1064) == "202611300012"; }));
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(Close(), 0);
}

// A second start brings the running window forward and ends; one that finds
// it busy says so and ends all the same.
TEST_F(GuiSmokeTest, SecondStartHandsOverToTheRunningWindow) {
  Command("iconize");
  ASSERT_TRUE(Until([&] { return Command("window") == "window\ticonized"; }));
  EXPECT_EQ(WaitExitWithin(Spawn({MZT_UTILITY_PROGRAM}, Environment(), -1, -1), 20s), 0);
  EXPECT_TRUE(Until([&] { return Command("window") == "window\tnormal"; }));

  TempFolder busyFolder;
  std::mutex mutex;
  std::condition_variable changed;
  bool handling = false, release = false;
  CopyDataServer busy;
  ASSERT_TRUE(busy.Start(busyFolder / "mzt-utility.sock", [&](uint32_t, std::span<const uint8_t>) {
    std::unique_lock lock(mutex);
    handling = true;
    changed.notify_all();
    changed.wait(lock, [&] { return release; });
    return true;
  }));
  std::thread occupier([&] { (void)SendCopyData(busyFolder / "mzt-utility.sock", 1, {}); });
  {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return handling; });
  }
  auto env = Environment();
  for (auto& e : env)
    if (e.starts_with("XDG_RUNTIME_DIR=")) e = "XDG_RUNTIME_DIR=" + busyFolder.Path().string();
  int err[2];
  ASSERT_EQ(pipe(err), 0);
  pid_t second = Spawn({MZT_UTILITY_PROGRAM}, env, -1, -1, err[1]);
  close(err[1]);
  std::string said;
  char buffer[256];
  for (ssize_t n; (n = read(err[0], buffer, sizeof buffer)) > 0;) said.append(buffer, static_cast<size_t>(n));
  close(err[0]);
  EXPECT_EQ(WaitExitWithin(second, 20s), 1);
  EXPECT_NE(said.find("already running"), std::string::npos) << said;
  {
    std::lock_guard lock(mutex);
    release = true;
  }
  changed.notify_all();
  occupier.join();
  busy.Stop();
  EXPECT_EQ(Close(), 0);
}

// Started with no detector: 查詢 says so; detectors plugged in later show up
// by themselves with their serial numbers, and the versions shown are always
// the chosen detector's.
class GuiSmokeTestWithoutDetector : public GuiSmokeTest {
 protected:
  GuiSmokeTestWithoutDetector() { detectorAtStart_ = false; }
};

TEST_F(GuiSmokeTestWithoutDetector, DetectorsPluggedInLaterAreListedWithTheirSerialNumbers) {
  EXPECT_EQ(Command("list 1000"), "list\t1000\t-1");
  ASSERT_EQ(write(toProgram_, "click 1117\n", 11), 11);
  auto missing = NextMessage();
  EXPECT_EQ(missing[0], "錯誤");
  EXPECT_EQ(missing[1], "No detector found.") << "its second line says what to do";
  Command("answer ok");
  ASSERT_TRUE(WaitForIdle());

  // The fake sysfs names each detector's port after its tty; the settings'
  // link is the way to the first one's pty.
  ASSERT_TRUE(device_->Replug());
  std::string first = "/dev/ttyACM0 (serial number MZT0000001)", link = (folder_ / "port").string();
  EXPECT_TRUE(Until([&] { return Command("list 1000") == "list\t1000\t1\t" + first + "\t" + link; }));
  Command("click 1117");
  EXPECT_TRUE(Until([&] { return Text(1064) == "202501150003"; }));
  ASSERT_TRUE(WaitForIdle());

  devsim::SimulatedDevice::Options options;
  options.deviceId = "MZT0000002";
  options.sysfsRoot = folder_ / "sys";
  options.ttyName = "ttyACM1";
  options.usbPath = "1-2";
  devsim::SimulatedDevice second(options);
  ASSERT_TRUE(second.Start());
  std::string all = first + "\t/dev/ttyACM1 (serial number MZT0000002)\t" + link;
  EXPECT_TRUE(Until([&] { return Command("list 1000") == "list\t1000\t2\t" + all; }));
  EXPECT_EQ(Text(1064), "202501150003") << "the chosen detector and its versions stay";
  Command("popup 1000 1");
  Screenshot("8-detectors");
  Command("popup 1000 0");

  // Another detector chosen: the versions shown were not its own.
  EXPECT_EQ(Command("select 1000 1"), "select\t1000\t1");
  for (int id : {1064, 1146, 1148}) EXPECT_EQ(Text(id), "") << id;
  EXPECT_EQ(Close(), 0);
  second.Stop();
}

// In the user's language: the toolkit's buttons read 是/否 and 確定.
class GuiSmokeTestInTaiwanese : public GuiSmokeTest {
 protected:
  GuiSmokeTestInTaiwanese() { language_ = "zh_TW.UTF-8"; }
};

TEST_F(GuiSmokeTestInTaiwanese, CopyDataRequestStartsAnUpdate) {
  ASSERT_EQ(Command("title").rfind("title\t", 0), 0u);  // the window is up
  ASSERT_EQ(write(toProgram_, "click 1067\n", 11), 11);
  EXPECT_EQ(NextMessage()[1], "程式將刪除裝置內POI資料,請問是否刪除?");
  EXPECT_EQ(Fields(Command("box"))[2], "否(N),是(Y)");
  Command("answer no");
  std::string text = "C:\\ULDB.bin," + (folder_ / "port").string();
  auto refused = SendCopyData(folder_ / "mzt-utility.sock", 2,
                              {reinterpret_cast<const uint8_t*>(text.c_str()), text.size() + 1});
  EXPECT_TRUE(refused && !refused.Value()) << "a request of another kind is refused";
  pid_t sender = Spawn({MZT_PROGRAM, "send-copydata", text}, Environment(), -1, -1);
  auto warning = NextMessage();
  EXPECT_EQ(WaitExit(sender), 0) << "mzt send-copydata reports the request refused";
  EXPECT_EQ(warning[1], kUploadModeWarning);
  auto box = Fields(Command("box"));
  EXPECT_EQ(box[1], "warning");
  EXPECT_EQ(box[2], "確認(O)");
  Command("answer ok");
  ASSERT_TRUE(AnswerUntil(kRestartDevice));
  EXPECT_EQ(Fields(Command("box"))[1], "information");
  Command("answer ok");
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(Text(1001), "更新資料庫");

  // A device that stopped answering: an error box, with the error's icon.
  ASSERT_TRUE(device_->AddFault({.effect = devsim::Fault::Effect::kStopAnswering}));
  Command("click 1117");
  auto error = NextMessage();
  EXPECT_EQ(error[0], "錯誤");
  box = Fields(Command("box"));
  EXPECT_EQ(box[1], "error");
  EXPECT_EQ(box[2], "確認(O)");
  EXPECT_LE(Numbers(box[3])[0], 600) << "long texts wrap";
  Screenshot("7-error-zh_TW");
  Command("answer ok");
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(Close(), 0);
}

}  // namespace
}  // namespace mzt
