// What the serial port's reader makes of read()'s answer once poll() has said
// there is input: an end of file is the device gone; a read that
// would block or was interrupted is no data yet, and the port reads on.
//
// read() is replaced in this program: once armed, the next read of a
// terminal answers as the row says; every other read goes to the system.

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <string>

#include "platform/SerialPort.h"
#include "support/ParamName.h"

namespace {

std::atomic<bool> g_armed{false};
std::atomic<ssize_t> g_result{0};
std::atomic<int> g_errno{0};

}  // namespace

extern "C" ssize_t read(int fd, void* buffer, size_t size) {
  if (g_armed.load() && isatty(fd) && g_armed.exchange(false)) {
    errno = g_errno.load();
    return g_result.load();
  }
  return syscall(SYS_read, fd, buffer, size);
}

namespace mzt {
namespace {

struct ReadRow {
  std::string name;
  ssize_t result;
  int error;
  bool gone;
};

class SerialReadTest : public ::testing::TestWithParam<ReadRow> {
 protected:
  void SetUp() override {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master_, 0);
    ASSERT_EQ(grantpt(master_), 0);
    ASSERT_EQ(unlockpt(master_), 0);
    ASSERT_TRUE(port_->Open(ptsname(master_), 115200)) << "open the pty's device";
  }
  void TearDown() override {
    port_->Close();
    if (master_ >= 0) close(master_);
  }

  int master_ = -1;
  std::unique_ptr<ISerialPort> port_ = CreateSerialPort();
};

TEST_P(SerialReadTest, EndOfFileIsGoneAndWouldBlockIsNoDataYet) {
  const ReadRow& row = GetParam();
  ASSERT_EQ(write(master_, "$", 1), 1);  // input waits: poll() reports it
  uint8_t byte = 0;
  g_result = row.result;
  g_errno = row.error;
  g_armed = true;
  auto read = port_->Read({&byte, 1}, std::chrono::milliseconds(5000));
  EXPECT_FALSE(g_armed) << "the port did not read";
  if (row.gone) {
    ASSERT_FALSE(read);
    EXPECT_EQ(read.Err().code, ErrorCode::kDisconnected);
    return;
  }
  ASSERT_TRUE(read) << read.Err().message;
  EXPECT_EQ(read.Value(), 0u);
  // Still open: the byte that waited is read next.
  auto next = port_->Read({&byte, 1}, std::chrono::milliseconds(5000));
  ASSERT_TRUE(next) << next.Err().message;
  EXPECT_EQ(next.Value(), 1u);
  EXPECT_EQ(byte, '$');
}

INSTANTIATE_TEST_SUITE_P(Answers, SerialReadTest,
                         // An end of file leaves errno as an earlier read set it.
                         ::testing::Values(ReadRow{"EndOfFile", 0, EAGAIN, true},
                                           ReadRow{"WouldBlock", -1, EAGAIN, false},
                                           ReadRow{"Interrupted", -1, EINTR, false}),
                         test::RowName());

}  // namespace
}  // namespace mzt
