#include <filesystem>

#include "core/memory.h"
#include "settings/services/platform_services_fixture.h"

namespace {

namespace fs = std::filesystem;
using velm::platform::SetMachineSetting;

TEST_F(PlatformServicesTest, VersionTestsOnEverySelectableWindows) {
  struct Row {
    const char* os;
    BOOL nt5, afterXp, nt6, win9x, win9xMinor;
  } rows[] = {
      {"nt4", 0, 0, 0, 0, 0},  {"2000", 1, 0, 0, 0, 0}, {"xp", 1, 0, 0, 0, 0}, {"2003", 1, 1, 0, 0, 0},
      {"nt6", 1, 1, 1, 0, 0},  {"nt10", 1, 1, 1, 0, 0}, {"95", 0, 0, 0, 1, 0}, {"9x", 0, 0, 0, 1, 1},
      {"me", 0, 0, 0, 1, 1},
  };
  for (const Row& row : rows) {
    ASSERT_TRUE(SetMachineSetting("os", row.os));
    EXPECT_EQ(SysIsNt5OrLater(), row.nt5) << row.os;
    EXPECT_EQ(SysIsAfterXp(), row.afterXp) << row.os;
    EXPECT_EQ(SysIsNt6OrLater(), row.nt6) << row.os;
    EXPECT_EQ(SysIsWin9x(), row.win9x) << row.os;
    EXPECT_EQ(SysIsWin9xMinor(), row.win9xMinor) << row.os;
  }
}

TEST_F(PlatformServicesTest, TheTestLibraryAnswersOnlyWithOne) {
  const std::u16string library = kInstalledDriverDirectory + u"qntsetst.dll";
  ASSERT_TRUE(SetMachineSetting("terminal_server", "1"));
  EXPECT_TRUE(SysIsTerminalServer(context_.printer));
  EXPECT_EQ(GetModuleHandleW(library.c_str()), nullptr);  // freed again
  ASSERT_TRUE(SetMachineSetting("terminal_server", "0"));
  EXPECT_FALSE(SysIsTerminalServer(context_.printer));
  ASSERT_TRUE(SetMachineSetting("qntsetst_answer", "2"));
  EXPECT_FALSE(SysIsTerminalServer(context_.printer));
  ASSERT_TRUE(SetMachineSetting("qntsetst_answer", "1"));
  EXPECT_TRUE(SysIsTerminalServer(context_.printer));
  EXPECT_EQ(GetModuleHandleW(library.c_str()), nullptr);

  // A library without the export answers no, and so does no library.
  fs::copy_file(velm::test::ModuleDir() / "velmgr.so", Host(library), fs::copy_options::overwrite_existing);
  EXPECT_FALSE(SysIsTerminalServer(context_.printer));
  fs::remove(Host(library));
  EXPECT_FALSE(SysIsTerminalServer(context_.printer));
}

TEST_F(PlatformServicesTest, BeforeXpEndsOrWithoutAPrinterTheSystemAnswers) {
  // The library would say yes; the system says no.
  ASSERT_TRUE(SetMachineSetting("qntsetst_answer", "1"));
  ASSERT_TRUE(SetMachineSetting("terminal_server", "0"));
  EXPECT_FALSE(SysIsTerminalServer(nullptr));
  ASSERT_TRUE(SetMachineSetting("os", "xp"));
  EXPECT_FALSE(SysIsTerminalServer(context_.printer));
  ASSERT_TRUE(SetMachineSetting("os", "2000"));
  EXPECT_FALSE(SysIsTerminalServer(context_.printer));
  // Version 5.2 is after XP: the library answers.
  ASSERT_TRUE(SetMachineSetting("os", "2003"));
  EXPECT_TRUE(SysIsTerminalServer(context_.printer));

  ASSERT_TRUE(SetMachineSetting("qntsetst_answer", "0"));
  ASSERT_TRUE(SetMachineSetting("terminal_server", "1"));
  ASSERT_TRUE(SetMachineSetting("os", "xp"));
  EXPECT_TRUE(SysIsTerminalServer(context_.printer));
  ASSERT_TRUE(SetMachineSetting("os", "9x"));
  EXPECT_FALSE(SysIsTerminalServer(context_.printer));  // no terminal-server suite on that platform
}

TEST_F(PlatformServicesTest, TheKeptAnswerSticksForTheProcess) {
  ASSERT_TRUE(SetMachineSetting("terminal_server", "1"));
  EXPECT_TRUE(SysIsTerminalServerCached(context_.printer));
  ASSERT_TRUE(SetMachineSetting("terminal_server", "0"));
  EXPECT_TRUE(SysIsTerminalServerCached(context_.printer));
  EXPECT_TRUE(SysIsTerminalServerCached(nullptr));  // whatever the later caller asks about
  SysResetTerminalServerCache();
  EXPECT_FALSE(SysIsTerminalServerCached(context_.printer));
}

// Whether this thread still impersonates (it must not after any administrator test).
bool ThreadImpersonates() {
  HANDLE token = nullptr;
  if (OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) {
    CloseHandle(token);
    return true;
  }
  EXPECT_EQ(GetLastError(), ERROR_NO_TOKEN);
  return false;
}

TEST_F(PlatformServicesTest, TheAdministratorTestBothWaysAlwaysReverting) {
  ASSERT_TRUE(SetMachineSetting("administrator", "1"));
  EXPECT_TRUE(SysIsAdministrator());
  EXPECT_FALSE(ThreadImpersonates());
  ASSERT_TRUE(SetMachineSetting("administrator", "0"));
  EXPECT_FALSE(SysIsAdministrator());
  EXPECT_FALSE(ThreadImpersonates());

  // Every allocation of the test failing in turn: an answer of no, and never left impersonating.
  ASSERT_TRUE(SetMachineSetting("administrator", "1"));
  const uint64_t before = velm::platform::AllocationCount();
  ASSERT_TRUE(SysIsAdministrator());
  const uint64_t allocations = velm::platform::AllocationCount() - before;
  ASSERT_GT(allocations, 0u);
  for (uint64_t nth = 1; nth <= allocations; ++nth) {
    velm::platform::SetAllocationFault(nth);
    SysIsAdministrator();
    velm::platform::SetAllocationFault(0);
    EXPECT_FALSE(ThreadImpersonates()) << "allocation " << nth;
  }
  EXPECT_TRUE(SysIsAdministrator());
}

}  // namespace
