// The Windows version the machine claims, from the root's "os" setting ("nt10" when unset or
// unknown), with the suite bit of a terminal-server session from "terminal_server".
#pragma once

#include <cstddef>

#include "core/wintypes.h"

constexpr DWORD VER_PLATFORM_WIN32s = 0;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

constexpr WORD VER_SUITE_SMALLBUSINESS = 0x0001;
constexpr WORD VER_SUITE_ENTERPRISE = 0x0002;
constexpr WORD VER_SUITE_BACKOFFICE = 0x0004;
constexpr WORD VER_SUITE_TERMINAL = 0x0010;
constexpr WORD VER_SUITE_DATACENTER = 0x0080;
constexpr WORD VER_SUITE_SINGLEUSERTS = 0x0100;
constexpr WORD VER_SUITE_PERSONAL = 0x0200;

constexpr BYTE VER_NT_WORKSTATION = 1;
constexpr BYTE VER_NT_DOMAIN_CONTROLLER = 2;
constexpr BYTE VER_NT_SERVER = 3;

// Type bits of VerifyVersionInfoW and VerSetConditionMask.
constexpr DWORD VER_MINORVERSION = 0x01;
constexpr DWORD VER_MAJORVERSION = 0x02;
constexpr DWORD VER_BUILDNUMBER = 0x04;
constexpr DWORD VER_PLATFORMID = 0x08;
constexpr DWORD VER_SERVICEPACKMINOR = 0x10;
constexpr DWORD VER_SERVICEPACKMAJOR = 0x20;
constexpr DWORD VER_SUITENAME = 0x40;
constexpr DWORD VER_PRODUCT_TYPE = 0x80;

// Conditions: the first five compare numbers, the last two suite masks.
constexpr BYTE VER_EQUAL = 1;
constexpr BYTE VER_GREATER = 2;
constexpr BYTE VER_GREATER_EQUAL = 3;
constexpr BYTE VER_LESS = 4;
constexpr BYTE VER_LESS_EQUAL = 5;
constexpr BYTE VER_AND = 6;
constexpr BYTE VER_OR = 7;

struct OSVERSIONINFOW {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  WCHAR szCSDVersion[128];
};
using LPOSVERSIONINFOW = OSVERSIONINFOW*;
using POSVERSIONINFOW = OSVERSIONINFOW*;

struct OSVERSIONINFOEXW {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  WCHAR szCSDVersion[128];
  WORD wServicePackMajor;
  WORD wServicePackMinor;
  WORD wSuiteMask;
  BYTE wProductType;
  BYTE wReserved;
};
using LPOSVERSIONINFOEXW = OSVERSIONINFOEXW*;
using POSVERSIONINFOEXW = OSVERSIONINFOEXW*;

static_assert(sizeof(OSVERSIONINFOW) == 276);
static_assert(offsetof(OSVERSIONINFOW, dwMajorVersion) == 4);
static_assert(offsetof(OSVERSIONINFOW, dwMinorVersion) == 8);
static_assert(offsetof(OSVERSIONINFOW, dwBuildNumber) == 12);
static_assert(offsetof(OSVERSIONINFOW, dwPlatformId) == 16);
static_assert(offsetof(OSVERSIONINFOW, szCSDVersion) == 20);
static_assert(sizeof(OSVERSIONINFOEXW) == 284);
static_assert(offsetof(OSVERSIONINFOEXW, szCSDVersion) == 20);
static_assert(offsetof(OSVERSIONINFOEXW, wServicePackMajor) == 276);
static_assert(offsetof(OSVERSIONINFOEXW, wServicePackMinor) == 278);
static_assert(offsetof(OSVERSIONINFOEXW, wSuiteMask) == 280);
static_assert(offsetof(OSVERSIONINFOEXW, wProductType) == 282);
static_assert(offsetof(OSVERSIONINFOEXW, wReserved) == 283);

extern "C" {
// Fills `info` (in: dwOSVersionInfoSize, 276 or 284; out: the rest). The EX fields are filled
// only for 284. Any other size: FALSE with ERROR_INSUFFICIENT_BUFFER; null: ERROR_INVALID_PARAMETER.
// On the 9x family the high word of dwBuildNumber holds major and minor, as those systems
// answer, and the suite mask and product type are 0.
BOOL GetVersionExW(LPOSVERSIONINFOW info);

// major | minor << 8 in the low word; the build in the high word on NT, bit 31 set on 9x.
DWORD GetVersion(void);

// Records `condition` for every type bit in `typeMask` (3 bits per type) and returns the mask.
ULONGLONG VerSetConditionMask(ULONGLONG conditionMask, DWORD typeMask, BYTE condition);

// Compares the machine's version with `info` for the fields in `typeMask`. Major, minor and
// service-pack numbers present together are compared as one version, most significant first,
// under the condition of the most significant one (so "5.1 SP2 or later" is one test). The
// suite mask takes VER_AND (all bits) or VER_OR (any bit). TRUE when met; FALSE with
// ERROR_OLD_WIN_VERSION when not; FALSE with ERROR_INVALID_PARAMETER for an empty type mask,
// a type without a valid condition, or a null `info`. Answers on every selectable version,
// 9x included.
BOOL VerifyVersionInfoW(LPOSVERSIONINFOEXW info, DWORD typeMask, ULONGLONG conditionMask);
}
