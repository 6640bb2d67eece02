#include "platform/CopyDataChannel.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "support/TempFolder.h"

namespace mzt {
namespace {

std::span<const uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

class CopyDataChannelTest : public ::testing::Test {
 protected:
  void StartServer() {
    auto started = server_.Start(path_, [this](uint32_t identifier, std::span<const uint8_t> data) {
      std::lock_guard lock(mutex_);
      received_.emplace_back(identifier, std::string(data.begin(), data.end()));
      return identifier == 1;
    });
    ASSERT_TRUE(started) << started.Err().message;
  }

  test::TempFolder folder_;
  std::filesystem::path path_ = folder_ / "copydata.sock";
  CopyDataServer server_;
  std::mutex mutex_;
  std::vector<std::pair<uint32_t, std::string>> received_;
};

TEST_F(CopyDataChannelTest, RequestsReachTheHandlerAndItsAnswerComesBack) {
  StartServer();
  auto accepted = SendCopyData(path_, 1, Bytes("C:\\db\\ULDB.bin,3"));
  ASSERT_TRUE(accepted);
  EXPECT_TRUE(accepted.Value());
  auto refused = SendCopyData(path_, 2, Bytes("x"));
  ASSERT_TRUE(refused);
  EXPECT_FALSE(refused.Value());
  std::lock_guard lock(mutex_);
  ASSERT_EQ(received_.size(), 2u);
  EXPECT_EQ(received_[0].second, "C:\\db\\ULDB.bin,3");
  EXPECT_EQ(received_[1].first, 2u);
}

TEST_F(CopyDataChannelTest, OverLongPayloadIsRefusedWithoutSending) {
  StartServer();
  auto result = SendCopyData(path_, 1, Bytes(std::string(261, 'a')));
  ASSERT_TRUE(result);
  EXPECT_FALSE(result.Value());
  std::lock_guard lock(mutex_);
  EXPECT_TRUE(received_.empty());
}

TEST_F(CopyDataChannelTest, SocketIsTheUsersAloneAndAStaleOneIsReplaced) {
  // A socket file left behind by a crashed program.
  int stale = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, path_.c_str());
  ASSERT_EQ(::bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ::close(stale);
  StartServer();
  struct stat info {};
  ASSERT_EQ(::stat(path_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_TRUE(SendCopyData(path_, 1, Bytes("a,1")).Value());
}

TEST_F(CopyDataChannelTest, SecondServerAndMissingServerFail) {
  StartServer();
  CopyDataServer second;
  auto busy = second.Start(path_, {});
  ASSERT_FALSE(busy);
  EXPECT_EQ(busy.Err().code, ErrorCode::kBusy);
  server_.Stop();
  auto missing = SendCopyData(path_, 1, Bytes("a,1"));
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.Err().code, ErrorCode::kNotFound);
}

}  // namespace
}  // namespace mzt
