// The graphics library's exports: the hook table, the driver query, and the module as the
// loader sees it.
#include <gtest/gtest.h>

#include <vector>

#include "driver_fixture.h"
#include "settings/context/boundary.h"

namespace velm::test {
namespace {

TEST(PdevEntryTest, EnableDriverHandsOutThirtyHooksInTheirOrder) {
  DRVENABLEDATA data{};
  SetLastError(0);
  EXPECT_FALSE(DrvEnableDriver(0x1FFFF, sizeof data, &data));
  EXPECT_EQ(GetLastError(), ERROR_BAD_DRIVER_LEVEL);
  // The answer holds a pointer: a 64-bit process needs all 16 bytes of it.
  EXPECT_FALSE(DrvEnableDriver(0x20000, sizeof data - 1, &data));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(data.pdrvfn, nullptr);

  ASSERT_TRUE(DrvEnableDriver(0x20000, sizeof data, &data));
  EXPECT_EQ(data.iDriverVersion, 0x20000u);
  ASSERT_EQ(data.c, 30u);
  const std::vector<ULONG> order = {0, 2, 1, 7, 3, 4, 33, 32, 35, 34, 57, 58, 18, 20, 14,
                                    15, 16, 12, 24, 37, 13, 19, 26, 28, 27, 64, 65, 69, 53, 23};
  for (ULONG i = 0; i < data.c; ++i) {
    EXPECT_EQ(data.pdrvfn[i].iFunc, order[i]) << "row " << i + 1;
    EXPECT_NE(data.pdrvfn[i].pfn, nullptr) << "row " << i + 1;
  }
  // Each hook is its function behind the guard that keeps exceptions from GDI.
  EXPECT_EQ(platform::HookAs<void*>(data.pdrvfn[0].pfn),
            reinterpret_cast<void*>(&SysGuardedHook<DrvEnablePDEV>::Call));
  EXPECT_EQ(platform::HookAs<void*>(data.pdrvfn[29].pfn), reinterpret_cast<void*>(&SysGuardedHook<DrvTextOut>::Call));
}

TEST(PdevEntryTest, DriverQueryAnswersUserModeOnly) {
  DWORD answer = 0, needed = 0;
  EXPECT_TRUE(DrvQueryDriverInfo(DRVQUERY_USERMODE, &answer, sizeof answer, &needed));
  EXPECT_EQ(answer, static_cast<DWORD>(TRUE));
  EXPECT_EQ(needed, 4u);
  needed = 0;
  EXPECT_FALSE(DrvQueryDriverInfo(DRVQUERY_USERMODE, &answer, 3, &needed));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(needed, 4u);
  EXPECT_FALSE(DrvQueryDriverInfo(2, &answer, sizeof answer, &needed));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

class PdevModuleTest : public DriverTest {};

TEST_F(PdevModuleTest, TheInstalledLibraryExportsItsEntriesAndAttachesThroughDllEntryPoint) {
  const HMODULE module = LoadLibraryW(platform::kDefaultGraphicsDriver);
  ASSERT_NE(module, nullptr) << GetLastError();
  for (const char* name : {"DllEntryPoint", "DrvEnableDriver", "DrvQueryDriverInfo", "DrvDisableDriver"})
    EXPECT_NE(GetProcAddress(module, name), nullptr) << name;
  EXPECT_EQ(GetProcAddress(module, "DllMain"), nullptr);
  EXPECT_EQ(GetProcAddress(module, "DrvEnablePDEV"), nullptr);  // hooks are reached through the table
  EXPECT_TRUE(FreeLibrary(module));
  // The entry ran: a job through the loaded library gets its PDEV (which needs the attach).
  const platform::PrintResult result = PrintThroughHost("rect 10 10 20 20 brush=black\n", {});
  EXPECT_TRUE(result.ok) << result.message;
}

}  // namespace
}  // namespace velm::test
