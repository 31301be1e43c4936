#include "core/clock.h"

#include <chrono>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "core/machine_root.h"
#include "core/system_settings.h"
#include "core/winerror.h"

namespace {

constexpr uint64_t kTicksPerMs = 10'000;  // FILETIME units (100 ns)
constexpr uint64_t kTicksPerSecond = 1000 * kTicksPerMs;
constexpr uint64_t kTicksPerDay = 86'400 * kTicksPerSecond;
constexpr int64_t kDaysFrom1601To1970 = 134'774;
constexpr uint64_t kPerformanceFrequency = 10'000'000;

// Serialises the read-and-advance of a fixed clock between this process's sleepers.
std::mutex g_advanceMutex;

std::optional<uint64_t> FixedTickCount() {
  const auto value = velm::platform::IntegerMachineSetting("clock_ms");
  if (!value || *value < 0) return std::nullopt;
  return static_cast<uint64_t>(*value);
}

uint64_t MonotonicNanoseconds() {
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = static_cast<int64_t>(yoe) + era * 400 + (m <= 2);
}

bool IsLeapYear(unsigned year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

unsigned DaysInMonth(unsigned year, unsigned month) {
  static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValidSystemTime(const SYSTEMTIME& t) {
  return t.wYear >= 1601 && t.wYear <= 30827 && t.wMonth >= 1 && t.wMonth <= 12 && t.wDay >= 1 &&
         t.wDay <= DaysInMonth(t.wYear, t.wMonth) && t.wHour < 24 && t.wMinute < 60 && t.wSecond < 60 &&
         t.wMilliseconds < 1000;
}

uint64_t ToFileTimeValue(const SYSTEMTIME& t) {
  const int64_t days = DaysFromCivil(t.wYear, t.wMonth, t.wDay) + kDaysFrom1601To1970;
  return static_cast<uint64_t>(days) * kTicksPerDay +
         ((t.wHour * 60ull + t.wMinute) * 60ull + t.wSecond) * kTicksPerSecond + t.wMilliseconds * kTicksPerMs;
}

SYSTEMTIME FromFileTimeValue(uint64_t value) {
  const int64_t days = static_cast<int64_t>(value / kTicksPerDay);
  uint64_t rest = value % kTicksPerDay;
  int64_t year = 0;
  unsigned month = 0;
  unsigned day = 0;
  CivilFromDays(days - kDaysFrom1601To1970, year, month, day);
  SYSTEMTIME t{};
  t.wYear = static_cast<WORD>(year);
  t.wMonth = static_cast<WORD>(month);
  t.wDay = static_cast<WORD>(day);
  t.wDayOfWeek = static_cast<WORD>((days + 1) % 7);  // 1601-01-01 was a Monday
  t.wHour = static_cast<WORD>(rest / (3600 * kTicksPerSecond));
  rest %= 3600 * kTicksPerSecond;
  t.wMinute = static_cast<WORD>(rest / (60 * kTicksPerSecond));
  rest %= 60 * kTicksPerSecond;
  t.wSecond = static_cast<WORD>(rest / kTicksPerSecond);
  t.wMilliseconds = static_cast<WORD>((rest % kTicksPerSecond) / kTicksPerMs);
  return t;
}

uint64_t Value(const FILETIME& t) { return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; }

FILETIME FromValue(uint64_t value) {
  return FILETIME{static_cast<DWORD>(value & 0xFFFFFFFFu), static_cast<DWORD>(value >> 32)};
}

std::optional<uint64_t> FixedWallClock() {
  const std::string text = velm::platform::MachineSetting("clock_local");
  if (text.empty()) return std::nullopt;
  unsigned y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
  int used = 0;
  const int fields = std::sscanf(text.c_str(), "%4u-%2u-%2u %2u:%2u:%2u%n", &y, &mo, &d, &h, &mi, &s, &used);
  if (fields != 6) return std::nullopt;
  if (text[used] == '.') {
    int more = 0;
    if (std::sscanf(text.c_str() + used, ".%3u%n", &ms, &more) != 1) return std::nullopt;
    used += more;
  }
  if (static_cast<size_t>(used) != text.size()) return std::nullopt;
  const SYSTEMTIME t{static_cast<WORD>(y), static_cast<WORD>(mo), 0, static_cast<WORD>(d),
                     static_cast<WORD>(h), static_cast<WORD>(mi), static_cast<WORD>(s), static_cast<WORD>(ms)};
  if (!IsValidSystemTime(t)) return std::nullopt;
  return ToFileTimeValue(t);
}

uint64_t NowFileTimeValue() {
  if (const auto fixed = FixedWallClock()) return *fixed;
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
  const FILETIME t = velm::platform::FileTimeFromUnix(ns / 1'000'000'000, static_cast<uint32_t>(ns % 1'000'000'000));
  return Value(t);
}

}  // namespace

namespace velm::platform {

FILETIME FileTimeFromUnix(int64_t seconds, uint32_t nanoseconds) {
  constexpr int64_t kEpochSeconds = kDaysFrom1601To1970 * 86'400;
  if (seconds < -kEpochSeconds) return FILETIME{0, 0};
  const uint64_t value =
      static_cast<uint64_t>(seconds + kEpochSeconds) * kTicksPerSecond + nanoseconds / 100;
  return FromValue(value);
}

int64_t FileTimeToUnix(const FILETIME& time, uint32_t* hundredNs) {
  constexpr int64_t kEpochSeconds = kDaysFrom1601To1970 * 86'400;
  const uint64_t value = Value(time);
  if (hundredNs) *hundredNs = static_cast<uint32_t>(value % kTicksPerSecond);
  return static_cast<int64_t>(value / kTicksPerSecond) - kEpochSeconds;
}

}  // namespace velm::platform

extern "C" ULONGLONG GetTickCount64(void) {
  if (const auto fixed = FixedTickCount()) return *fixed;
  return MonotonicNanoseconds() / 1'000'000;
}

extern "C" DWORD GetTickCount(void) { return static_cast<DWORD>(GetTickCount64() & 0xFFFFFFFFu); }

extern "C" void Sleep(DWORD milliseconds) {
  if (milliseconds == INFINITE) {
    for (;;) std::this_thread::sleep_for(std::chrono::hours(24));
  }
  if (milliseconds == 0) {
    std::this_thread::yield();
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  std::lock_guard lock(g_advanceMutex);
  if (const auto fixed = FixedTickCount())
    velm::platform::SetMachineSetting("clock_ms", std::to_string(*fixed + milliseconds));
}

extern "C" void GetSystemTime(LPSYSTEMTIME time) {
  if (time) *time = FromFileTimeValue(NowFileTimeValue());
}

extern "C" void GetLocalTime(LPSYSTEMTIME time) { GetSystemTime(time); }

extern "C" void GetSystemTimeAsFileTime(LPFILETIME time) {
  if (time) *time = FromValue(NowFileTimeValue());
}

extern "C" BOOL FileTimeToSystemTime(const FILETIME* fileTime, LPSYSTEMTIME systemTime) {
  if (!fileTime || !systemTime || (fileTime->dwHighDateTime & 0x80000000u)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *systemTime = FromFileTimeValue(Value(*fileTime));
  return TRUE;
}

extern "C" BOOL SystemTimeToFileTime(const SYSTEMTIME* systemTime, LPFILETIME fileTime) {
  if (!systemTime || !fileTime || !IsValidSystemTime(*systemTime)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *fileTime = FromValue(ToFileTimeValue(*systemTime));
  return TRUE;
}

extern "C" BOOL FileTimeToLocalFileTime(const FILETIME* fileTime, LPFILETIME localFileTime) {
  if (!fileTime || !localFileTime) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *localFileTime = *fileTime;
  return TRUE;
}

extern "C" BOOL LocalFileTimeToFileTime(const FILETIME* localFileTime, LPFILETIME fileTime) {
  return FileTimeToLocalFileTime(localFileTime, fileTime);
}

extern "C" LONG CompareFileTime(const FILETIME* first, const FILETIME* second) {
  const uint64_t a = Value(*first);
  const uint64_t b = Value(*second);
  return a < b ? -1 : (a > b ? 1 : 0);
}

extern "C" BOOL QueryPerformanceFrequency(PLARGE_INTEGER frequency) {
  if (!frequency) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  frequency->QuadPart = static_cast<LONGLONG>(kPerformanceFrequency);
  return TRUE;
}

extern "C" BOOL QueryPerformanceCounter(PLARGE_INTEGER counter) {
  if (!counter) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const auto fixed = FixedTickCount();
  const uint64_t ticks = fixed ? *fixed * (kPerformanceFrequency / 1000) : MonotonicNanoseconds() / 100;
  counter->QuadPart = static_cast<LONGLONG>(ticks);
  return TRUE;
}
