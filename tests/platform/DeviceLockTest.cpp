// One run at a time per device, whoever asks; the lock's file is never
// reached through a link planted under its name.

#include "platform/DeviceLock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/TempFolder.h"

namespace mzt {
namespace {

namespace fs = std::filesystem;

TEST(DeviceLockTest, OneHolderAndNoLinkFollowed) {
  test::TempFolder folder;
  setenv("MZT_SYSFS_ROOT", folder.Path().c_str(), 1);  // lock names of this test's own
  auto first = DeviceLock::Take("usb T1", "/dev/ttyACM0");
  ASSERT_TRUE(first) << first.Err().message;
  auto second = DeviceLock::Take("usb T1", "/dev/ttyACM3");
  ASSERT_FALSE(second);
  EXPECT_EQ(second.Err().message, "open /dev/ttyACM3: another program is using the port");
  EXPECT_TRUE(DeviceLock::Take("usb T2", "/dev/ttyACM0"));
  fs::path file;
  for (const auto& entry : fs::directory_iterator("/run/lock"))
    if (entry.path().filename().string().starts_with("mzt-utility-usb%20T1%20in%20")) file = entry.path();
  ASSERT_FALSE(file.empty());
  first = Error{ErrorCode::kIo, "let go"};
  EXPECT_FALSE(fs::exists(file));
  test::WriteFileBytes(folder / "victim", "kept");
  fs::create_symlink(folder / "victim", file);
  auto planted = DeviceLock::Take("usb T1", "/dev/ttyACM0");
  ASSERT_FALSE(planted);
  EXPECT_EQ(planted.Err().code, ErrorCode::kIo) << planted.Err().message;
  fs::remove(file);
  EXPECT_EQ(test::ReadFileBytes(folder / "victim"), "kept");
  EXPECT_TRUE(DeviceLock::Take("usb T1", "/dev/ttyACM0"));
  unsetenv("MZT_SYSFS_ROOT");
}

}  // namespace
}  // namespace mzt
