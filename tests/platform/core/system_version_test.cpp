#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "core/machine_root.h"
#include "core/version.h"
#include "core/winerror.h"
#include "support/temp_root.h"

namespace velm::platform {
namespace {

struct Expected {
  const char* os;
  DWORD major, minor, build, platform;
  WORD servicePack;
  BYTE productType;
};

constexpr Expected kVersions[] = {
    {"nt10", 10, 0, 19045, VER_PLATFORM_WIN32_NT, 0, VER_NT_WORKSTATION},
    {"nt6", 6, 1, 7601, VER_PLATFORM_WIN32_NT, 1, VER_NT_WORKSTATION},
    {"2003", 5, 2, 3790, VER_PLATFORM_WIN32_NT, 2, VER_NT_SERVER},
    {"xp", 5, 1, 2600, VER_PLATFORM_WIN32_NT, 3, VER_NT_WORKSTATION},
    {"2000", 5, 0, 2195, VER_PLATFORM_WIN32_NT, 4, VER_NT_WORKSTATION},
    {"nt4", 4, 0, 1381, VER_PLATFORM_WIN32_NT, 6, VER_NT_WORKSTATION},
    {"9x", 4, 10, 2222, VER_PLATFORM_WIN32_WINDOWS, 0, 0},
    {"me", 4, 90, 3000, VER_PLATFORM_WIN32_WINDOWS, 0, 0},
    {"95", 4, 0, 950, VER_PLATFORM_WIN32_WINDOWS, 0, 0},
};

BOOL Verify(DWORD major, DWORD minor, WORD servicePack, BYTE condition,
            DWORD types = VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR) {
  OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = sizeof info;
  info.dwMajorVersion = major;
  info.dwMinorVersion = minor;
  info.wServicePackMajor = servicePack;
  ULONGLONG mask = 0;
  for (DWORD bit : {VER_MAJORVERSION, VER_MINORVERSION, VER_SERVICEPACKMAJOR})
    if (types & bit) mask = VerSetConditionMask(mask, bit, condition);
  return VerifyVersionInfoW(&info, types, mask);
}

// The suite test the settings library makes for a terminal-server session before Vista.
BOOL IsTerminalSuite() {
  OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = sizeof info;
  info.wSuiteMask = VER_SUITE_TERMINAL;
  return VerifyVersionInfoW(&info, VER_SUITENAME, VerSetConditionMask(0, VER_SUITENAME, VER_AND));
}

TEST(VersionTest, EverySelectableVersionIsAnsweredAndVerified) {
  test::TempMachineRoot root;
  for (const Expected& want : kVersions) {
    SCOPED_TRACE(want.os);
    ASSERT_TRUE(SetMachineSetting("os", want.os));
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExW(&info));
    EXPECT_EQ(info.dwMajorVersion, want.major);
    EXPECT_EQ(info.dwMinorVersion, want.minor);
    EXPECT_EQ(LOWORD(info.dwBuildNumber), want.build);
    EXPECT_EQ(info.dwPlatformId, want.platform);
    // 9x keeps major and minor in the build number's high word; NT keeps the whole build.
    const WORD high = want.platform == VER_PLATFORM_WIN32_WINDOWS ? MAKEWORD(want.minor, want.major) : 0;
    EXPECT_EQ(HIWORD(info.dwBuildNumber), high);

    OSVERSIONINFOEXW ex{};
    ex.dwOSVersionInfoSize = sizeof ex;
    ASSERT_TRUE(GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&ex)));
    EXPECT_EQ(ex.wServicePackMajor, want.servicePack);
    EXPECT_EQ(ex.wProductType, want.productType);

    EXPECT_TRUE(Verify(want.major, want.minor, want.servicePack, VER_EQUAL));
    EXPECT_FALSE(Verify(want.major, want.minor + 1, 0, VER_GREATER_EQUAL));
    EXPECT_EQ(GetLastError(), ERROR_OLD_WIN_VERSION);
    OSVERSIONINFOEXW platform{};
    platform.dwPlatformId = want.platform;
    platform.dwBuildNumber = want.build;
    const ULONGLONG mask =
        VerSetConditionMask(VerSetConditionMask(0, VER_PLATFORMID, VER_EQUAL), VER_BUILDNUMBER, VER_EQUAL);
    EXPECT_TRUE(VerifyVersionInfoW(&platform, VER_PLATFORMID | VER_BUILDNUMBER, mask));
  }
}

TEST(VersionTest, UnknownOrMissingOsSettingIsTheDefault) {
  test::TempMachineRoot root;
  for (const char* os : {"nt11", ""}) {
    ASSERT_TRUE(SetMachineSetting("os", os));
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExW(&info));
    EXPECT_EQ(info.dwMajorVersion, 10u);
    EXPECT_EQ(GetVersion(), 0x4A65000Au);  // 10.0, build 19045 in the high word
  }
  ASSERT_TRUE(SetMachineSetting("os", "9x"));
  EXPECT_EQ(GetVersion() & 0x8000FFFFu, 0x80000A04u);
}

TEST(VersionTest, OnlyTheTwoStructureSizesAreAccepted) {
  test::TempMachineRoot root;
  // A 276-byte request must not touch the EX fields that follow it.
  std::vector<unsigned char> buffer(sizeof(OSVERSIONINFOEXW), 0xCC);
  const DWORD small = sizeof(OSVERSIONINFOW);
  std::memcpy(buffer.data(), &small, sizeof small);
  ASSERT_TRUE(GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(buffer.data())));
  for (size_t i = sizeof(OSVERSIONINFOW); i < buffer.size(); ++i) EXPECT_EQ(buffer[i], 0xCC) << i;

  for (DWORD size : {0u, 275u, 277u, 283u, 285u, 1024u}) {
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = size;
    SetLastError(0);
    EXPECT_FALSE(GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&info))) << size;
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER) << size;
    EXPECT_EQ(info.dwMajorVersion, 0u);
  }
  EXPECT_FALSE(GetVersionExW(nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(VersionTest, TerminalSuiteFollowsTheSettingOnNtOnly) {
  test::TempMachineRoot root;
  for (const char* os : {"nt10", "2003", "2000"}) {
    SCOPED_TRACE(os);
    ASSERT_TRUE(SetMachineSetting("os", os));
    ASSERT_TRUE(SetMachineSetting("terminal_server", "0"));
    EXPECT_FALSE(IsTerminalSuite());
    EXPECT_EQ(GetLastError(), ERROR_OLD_WIN_VERSION);
    ASSERT_TRUE(SetMachineSetting("terminal_server", "1"));
    EXPECT_TRUE(IsTerminalSuite());
    OSVERSIONINFOEXW ex{};
    ex.dwOSVersionInfoSize = sizeof ex;
    ASSERT_TRUE(GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&ex)));
    EXPECT_EQ(ex.wSuiteMask, VER_SUITE_TERMINAL);
  }
  // AND needs every bit asked for, OR any one of them.
  OSVERSIONINFOEXW both{};
  both.wSuiteMask = VER_SUITE_TERMINAL | VER_SUITE_ENTERPRISE;
  EXPECT_FALSE(VerifyVersionInfoW(&both, VER_SUITENAME, VerSetConditionMask(0, VER_SUITENAME, VER_AND)));
  EXPECT_TRUE(VerifyVersionInfoW(&both, VER_SUITENAME, VerSetConditionMask(0, VER_SUITENAME, VER_OR)));
  ASSERT_TRUE(SetMachineSetting("os", "9x"));
  EXPECT_FALSE(IsTerminalSuite());
}

TEST(VersionTest, VersionFieldsCompareAsOneNumber) {
  test::TempMachineRoot root;
  ASSERT_TRUE(SetMachineSetting("os", "xp"));  // 5.1 SP3
  EXPECT_TRUE(Verify(5, 1, 2, VER_GREATER_EQUAL));
  EXPECT_TRUE(Verify(5, 0, 4, VER_GREATER_EQUAL));  // SP3 < SP4 does not matter below a higher minor
  EXPECT_FALSE(Verify(5, 2, 0, VER_GREATER_EQUAL));
  EXPECT_TRUE(Verify(5, 2, 0, VER_LESS));
  ASSERT_TRUE(SetMachineSetting("os", "nt6"));  // 6.1: minor 1 < 2, yet 6.1 >= 5.2
  EXPECT_TRUE(Verify(5, 2, 0, VER_GREATER_EQUAL, VER_MAJORVERSION | VER_MINORVERSION));
  EXPECT_FALSE(Verify(6, 1, 0, VER_GREATER, VER_MAJORVERSION | VER_MINORVERSION));
}

TEST(VersionTest, BadTypeOrConditionIsRefused) {
  test::TempMachineRoot root;
  OSVERSIONINFOEXW info{};
  EXPECT_FALSE(VerifyVersionInfoW(&info, 0, VerSetConditionMask(0, VER_MAJORVERSION, VER_EQUAL)));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(VerifyVersionInfoW(&info, VER_MAJORVERSION | VER_MINORVERSION,
                                  VerSetConditionMask(0, VER_MAJORVERSION, VER_GREATER_EQUAL)));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(VerifyVersionInfoW(&info, VER_MAJORVERSION, VerSetConditionMask(0, VER_MAJORVERSION, VER_AND)));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(VerifyVersionInfoW(nullptr, VER_MAJORVERSION, VerSetConditionMask(0, VER_MAJORVERSION, VER_EQUAL)));

  // Three bits per type; a later call for the same type replaces its condition.
  ULONGLONG mask = VerSetConditionMask(0, VER_SUITENAME, VER_OR);
  EXPECT_EQ(mask, 7ull << 18);
  mask = VerSetConditionMask(mask, VER_SUITENAME, VER_AND);
  EXPECT_EQ(mask, 6ull << 18);
  EXPECT_EQ(VerSetConditionMask(mask, VER_MAJORVERSION, 0), mask);
}

}  // namespace
}  // namespace velm::platform
