#include <cstring>

#include <gtest/gtest.h>

#include "core/clock.h"
#include "core/machine_root.h"
#include "core/winerror.h"
#include "support/temp_root.h"

namespace velm::platform {
namespace {

FILETIME Make(uint64_t value) { return FILETIME{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)}; }
uint64_t ValueOf(const FILETIME& t) { return (uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime; }

SYSTEMTIME Date(WORD y, WORD mo, WORD d, WORD h = 0, WORD mi = 0, WORD s = 0, WORD ms = 0) {
  return SYSTEMTIME{y, mo, 0, d, h, mi, s, ms};
}

TEST(ClockTest, FixedTickCountIsAnsweredAdvancedAndWraps) {
  test::TempMachineRoot root;
  ASSERT_TRUE(SetMachineSetting("clock_ms", "1000"));
  EXPECT_EQ(GetTickCount(), 1000u);
  ASSERT_TRUE(SetMachineSetting("clock_ms", "61000"));
  EXPECT_EQ(GetTickCount64(), 61000u);
  ASSERT_TRUE(SetMachineSetting("clock_ms", "4294967301"));  // 2^32 + 5
  EXPECT_EQ(GetTickCount(), 5u);
  EXPECT_EQ(GetTickCount64(), 4294967301ull);
  LARGE_INTEGER frequency{}, counter{};
  ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
  ASSERT_TRUE(QueryPerformanceCounter(&counter));
  EXPECT_EQ(counter.QuadPart / frequency.QuadPart, 4294967);  // the counter follows the fixed clock
}

TEST(ClockTest, SleepAdvancesOnlyAFixedClock) {
  test::TempMachineRoot root;
  ASSERT_TRUE(SetMachineSetting("clock_ms", "500"));
  Sleep(20);
  EXPECT_EQ(GetTickCount(), 520u);
  Sleep(0);
  EXPECT_EQ(GetTickCount(), 520u);

  ASSERT_TRUE(EraseMachineSetting("clock_ms"));
  const ULONGLONG before = GetTickCount64();
  Sleep(2);
  EXPECT_GE(GetTickCount64(), before + 2);
  EXPECT_EQ(MachineSetting("clock_ms", "absent"), "absent");  // a real clock is never turned into a fixed one
}

TEST(ClockTest, FixedLocalTimeIsUtcAndRoundTrips) {
  test::TempMachineRoot root;
  ASSERT_TRUE(SetMachineSetting("clock_local", "2024-02-29 23:59:58.250"));
  SYSTEMTIME local{}, system{};
  GetLocalTime(&local);
  GetSystemTime(&system);
  EXPECT_EQ(local.wYear, 2024);
  EXPECT_EQ(local.wMonth, 2);
  EXPECT_EQ(local.wDay, 29);
  EXPECT_EQ(local.wDayOfWeek, 4);  // a Thursday
  EXPECT_EQ(local.wHour, 23);
  EXPECT_EQ(local.wSecond, 58);
  EXPECT_EQ(local.wMilliseconds, 250);
  EXPECT_EQ(std::memcmp(&local, &system, sizeof local), 0);

  FILETIME now{}, asLocal{}, back{};
  GetSystemTimeAsFileTime(&now);
  ASSERT_TRUE(FileTimeToLocalFileTime(&now, &asLocal));
  ASSERT_TRUE(LocalFileTimeToFileTime(&asLocal, &back));
  EXPECT_EQ(ValueOf(asLocal), ValueOf(now));
  SYSTEMTIME decoded{};
  ASSERT_TRUE(FileTimeToSystemTime(&now, &decoded));
  EXPECT_EQ(std::memcmp(&decoded, &local, sizeof local), 0);

  // 2023 had no February 29th: the setting is not taken (no silent roll into March).
  ASSERT_TRUE(SetMachineSetting("clock_local", "2023-02-29 00:00:00"));
  GetLocalTime(&local);
  EXPECT_NE(local.wYear, 2023);
}

TEST(ClockTest, FileTimeConversionsMatchWindowsAtTheEdges) {
  SYSTEMTIME t{};
  FILETIME zero = Make(0);
  ASSERT_TRUE(FileTimeToSystemTime(&zero, &t));
  EXPECT_EQ(t.wYear, 1601);
  EXPECT_EQ(t.wDayOfWeek, 1);  // 1601-01-01 was a Monday
  const FILETIME unixEpoch = Make(116444736000000000ull);
  ASSERT_TRUE(FileTimeToSystemTime(&unixEpoch, &t));
  EXPECT_EQ(t.wYear, 1970);
  EXPECT_EQ(t.wDayOfWeek, 4);

  FILETIME f{};
  const SYSTEMTIME last = Date(30827, 12, 31, 23, 59, 59, 999);
  ASSERT_TRUE(SystemTimeToFileTime(&last, &f));
  ASSERT_TRUE(FileTimeToSystemTime(&f, &t));
  EXPECT_EQ(t.wYear, 30827);
  EXPECT_EQ(t.wMilliseconds, 999);
  const SYSTEMTIME leap = Date(2000, 2, 29);
  EXPECT_TRUE(SystemTimeToFileTime(&leap, &f));
  for (const SYSTEMTIME& bad : {Date(1900, 2, 29), Date(1600, 12, 31), Date(30828, 1, 1), Date(2024, 13, 1),
                                Date(2024, 4, 31), Date(2024, 1, 1, 24), Date(2024, 1, 1, 0, 0, 0, 1000)}) {
    SetLastError(0);
    EXPECT_FALSE(SystemTimeToFileTime(&bad, &f)) << bad.wYear << "-" << bad.wMonth << "-" << bad.wDay;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
  const FILETIME tooLate = Make(0x8000000000000000ull);
  EXPECT_FALSE(FileTimeToSystemTime(&tooLate, &t));

  // The high word decides before the low word does.
  const FILETIME a = Make(0x00000001'00000000ull), b = Make(0x00000000'FFFFFFFFull);
  EXPECT_EQ(CompareFileTime(&a, &b), 1);
  EXPECT_EQ(CompareFileTime(&b, &a), -1);
  EXPECT_EQ(CompareFileTime(&a, &a), 0);

  uint32_t rest = 0;
  EXPECT_EQ(FileTimeToUnix(FileTimeFromUnix(-86400, 500), &rest), -86400);
  EXPECT_EQ(rest, 5u);
  EXPECT_EQ(ValueOf(FileTimeFromUnix(0, 0)), 116444736000000000ull);
}

}  // namespace
}  // namespace velm::platform
