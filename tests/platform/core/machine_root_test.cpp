#include "core/machine_root.h"

#include <gtest/gtest.h>

#include "support/temp_root.h"

namespace velm::platform {
namespace {

TEST(MachineRootTest, SettingsDefaultAndSurviveRewrites) {
  test::TempMachineRoot root;
  EXPECT_EQ(MachineSetting("os"), "nt10");
  EXPECT_EQ(MachineSetting("codepage"), "1252");
  EXPECT_EQ(MachineSetting("no-such-key", "fallback"), "fallback");
  EXPECT_TRUE(SetMachineSetting("os", "xp"));
  EXPECT_TRUE(SetMachineSetting("clock_ms", "1000"));
  EXPECT_EQ(MachineSetting("os"), "xp");
  EXPECT_EQ(MachineSetting("codepage"), "1252");
  EXPECT_TRUE(EraseMachineSetting("clock_ms"));
  EXPECT_EQ(MachineSetting("clock_ms", "none"), "none");
  EXPECT_FALSE(SetMachineSetting("bad=key", "v"));
  EXPECT_FALSE(SetMachineSetting("key", "two\nlines"));
}

TEST(MachineRootTest, RootLaysOutDriveCAndTheStores) {
  test::TempMachineRoot root;
  EXPECT_TRUE(std::filesystem::is_directory(root.OnDriveC("Windows/System32/spool/drivers/w32x86/3")));
  EXPECT_TRUE(std::filesystem::is_directory(root.OnDriveC("Users/user/AppData/LocalLow")));
  EXPECT_TRUE(std::filesystem::is_directory(MachineStore("registry")));
}

}  // namespace
}  // namespace velm::platform
