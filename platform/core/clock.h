// Time and the tick count. Both can be fixed by the machine root so that tests see stable
// clocks:
//   "clock_ms"     when it holds a number, GetTickCount64 answers it (and GetTickCount its low
//                  32 bits, wrapping as on Windows); tests advance it with SetMachineSetting.
//                  Sleep(n) still sleeps for real, and then advances a fixed clock by n, so
//                  code that waits for an age to pass sees it pass. The performance counter
//                  follows the same clock. Otherwise the tick count is the host's monotonic
//                  clock in milliseconds.
//   "clock_local"  "YYYY-MM-DD hh:mm:ss" (optionally ".mmm") fixes the wall clock; it does not
//                  move by itself. Otherwise the host's real time.
// This machine keeps its local time in UTC: GetLocalTime equals GetSystemTime and the
// local/UTC file-time conversions return their input.
#pragma once

#include <cstdint>

#include "core/wintypes.h"

extern "C" {
DWORD GetTickCount(void);
ULONGLONG GetTickCount64(void);
// Sleeps `milliseconds` (INFINITE: for ever; 0: yields the rest of the time slice).
void Sleep(DWORD milliseconds);

void GetLocalTime(LPSYSTEMTIME time);
void GetSystemTime(LPSYSTEMTIME time);
void GetSystemTimeAsFileTime(LPFILETIME time);
// FALSE with ERROR_INVALID_PARAMETER for a file time at or above 2^63 (100 ns units).
BOOL FileTimeToSystemTime(const FILETIME* fileTime, LPSYSTEMTIME systemTime);
// FALSE with ERROR_INVALID_PARAMETER for a field out of range (year 1601..30827, a day the
// month does not have, ...); wDayOfWeek is ignored.
BOOL SystemTimeToFileTime(const SYSTEMTIME* systemTime, LPFILETIME fileTime);
BOOL FileTimeToLocalFileTime(const FILETIME* fileTime, LPFILETIME localFileTime);
BOOL LocalFileTimeToFileTime(const FILETIME* localFileTime, LPFILETIME fileTime);
// -1, 0 or 1.
LONG CompareFileTime(const FILETIME* first, const FILETIME* second);

// 10 MHz, as current Windows reports.
BOOL QueryPerformanceFrequency(PLARGE_INTEGER frequency);
BOOL QueryPerformanceCounter(PLARGE_INTEGER counter);
}

namespace velm::platform {
// Host (Unix) time <-> FILETIME, for the file functions' time stamps. Times before 1601 give 0.
FILETIME FileTimeFromUnix(int64_t seconds, uint32_t nanoseconds);
// Seconds since 1970 (negative before), the remainder in 100 ns units going to `hundredNs`.
int64_t FileTimeToUnix(const FILETIME& time, uint32_t* hundredNs = nullptr);
}  // namespace velm::platform
