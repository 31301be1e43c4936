#include "core/version.h"

#include <array>
#include <cstring>
#include <string>

#include "core/machine_root.h"
#include "core/system_settings.h"
#include "core/winerror.h"

namespace {

struct OsRow {
  const char* setting;
  DWORD major;
  DWORD minor;
  DWORD build;
  DWORD platform;
  const char16_t* servicePack;
  WORD servicePackMajor;
  BYTE productType;
};

// The first row is the default.
constexpr std::array<OsRow, 9> kOsRows = {{
    {"nt10", 10, 0, 19045, VER_PLATFORM_WIN32_NT, u"", 0, VER_NT_WORKSTATION},
    {"nt6", 6, 1, 7601, VER_PLATFORM_WIN32_NT, u"Service Pack 1", 1, VER_NT_WORKSTATION},
    {"2003", 5, 2, 3790, VER_PLATFORM_WIN32_NT, u"Service Pack 2", 2, VER_NT_SERVER},
    {"xp", 5, 1, 2600, VER_PLATFORM_WIN32_NT, u"Service Pack 3", 3, VER_NT_WORKSTATION},
    {"2000", 5, 0, 2195, VER_PLATFORM_WIN32_NT, u"Service Pack 4", 4, VER_NT_WORKSTATION},
    {"nt4", 4, 0, 1381, VER_PLATFORM_WIN32_NT, u"Service Pack 6", 6, VER_NT_WORKSTATION},
    {"9x", 4, 10, 2222, VER_PLATFORM_WIN32_WINDOWS, u" A", 0, 0},
    {"me", 4, 90, 3000, VER_PLATFORM_WIN32_WINDOWS, u"", 0, 0},
    {"95", 4, 0, 950, VER_PLATFORM_WIN32_WINDOWS, u"", 0, 0},
}};

const OsRow& CurrentOs() {
  const std::string os = velm::platform::MachineSetting("os");
  for (const OsRow& row : kOsRows)
    if (os == row.setting) return row;
  return kOsRows[0];
}

bool IsNineX(const OsRow& os) { return os.platform == VER_PLATFORM_WIN32_WINDOWS; }

WORD SuiteMask(const OsRow& os) {
  if (IsNineX(os)) return 0;
  return velm::platform::MachineSwitchIsOn("terminal_server") ? VER_SUITE_TERMINAL : 0;
}

BYTE ConditionFor(ULONGLONG mask, DWORD typeBit) {
  int index = 0;
  while (!(typeBit & (1u << index))) ++index;
  return static_cast<BYTE>((mask >> (3 * index)) & 7);
}

bool Compare(int64_t actual, int64_t wanted, BYTE condition) {
  switch (condition) {
    case VER_EQUAL: return actual == wanted;
    case VER_GREATER: return actual > wanted;
    case VER_GREATER_EQUAL: return actual >= wanted;
    case VER_LESS: return actual < wanted;
    case VER_LESS_EQUAL: return actual <= wanted;
    default: return false;
  }
}

// -1, 0 or 1 over the version fields present in `typeMask`, most significant first.
int CompareVersion(const OsRow& os, const OSVERSIONINFOEXW& wanted, DWORD typeMask) {
  const struct {
    DWORD bit;
    DWORD actual;
    DWORD wanted;
  } fields[] = {
      {VER_MAJORVERSION, os.major, wanted.dwMajorVersion},
      {VER_MINORVERSION, os.minor, wanted.dwMinorVersion},
      {VER_SERVICEPACKMAJOR, os.servicePackMajor, wanted.wServicePackMajor},
      {VER_SERVICEPACKMINOR, 0, wanted.wServicePackMinor},
  };
  for (const auto& f : fields) {
    if (!(typeMask & f.bit) || f.actual == f.wanted) continue;
    return f.actual < f.wanted ? -1 : 1;
  }
  return 0;
}

}  // namespace

extern "C" BOOL GetVersionExW(LPOSVERSIONINFOW info) {
  if (!info) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const DWORD size = info->dwOSVersionInfoSize;
  if (size != sizeof(OSVERSIONINFOW) && size != sizeof(OSVERSIONINFOEXW)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  const OsRow& os = CurrentOs();
  info->dwMajorVersion = os.major;
  info->dwMinorVersion = os.minor;
  info->dwBuildNumber = IsNineX(os) ? MAKELONG(static_cast<WORD>(os.build), MAKEWORD(os.minor, os.major))
                                    : os.build;
  info->dwPlatformId = os.platform;
  std::memset(info->szCSDVersion, 0, sizeof(info->szCSDVersion));
  const std::u16string_view csd = os.servicePack;
  std::memcpy(info->szCSDVersion, csd.data(), csd.size() * sizeof(WCHAR));
  if (size == sizeof(OSVERSIONINFOEXW)) {
    auto* ex = reinterpret_cast<LPOSVERSIONINFOEXW>(info);
    ex->wServicePackMajor = os.servicePackMajor;
    ex->wServicePackMinor = 0;
    ex->wSuiteMask = SuiteMask(os);
    ex->wProductType = os.productType;
    ex->wReserved = 0;
  }
  return TRUE;
}

extern "C" DWORD GetVersion(void) {
  const OsRow& os = CurrentOs();
  const DWORD low = os.major | (os.minor << 8);
  if (IsNineX(os)) return low | 0x80000000u;
  return low | (os.build << 16);
}

extern "C" ULONGLONG VerSetConditionMask(ULONGLONG conditionMask, DWORD typeMask, BYTE condition) {
  if (condition == 0) return conditionMask;
  for (int index = 0; index < 8; ++index) {
    if (!(typeMask & (1u << index))) continue;
    const int shift = 3 * index;
    conditionMask = (conditionMask & ~(7ull << shift)) | (static_cast<ULONGLONG>(condition & 7) << shift);
  }
  return conditionMask;
}

extern "C" BOOL VerifyVersionInfoW(LPOSVERSIONINFOEXW info, DWORD typeMask, ULONGLONG conditionMask) {
  constexpr DWORD kKnownTypes = 0xFF;
  if (!info || typeMask == 0 || (typeMask & ~kKnownTypes)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  for (DWORD bit = 1; bit <= VER_PRODUCT_TYPE; bit <<= 1) {
    if (!(typeMask & bit)) continue;
    const BYTE condition = ConditionFor(conditionMask, bit);
    const bool valid = bit == VER_SUITENAME ? (condition == VER_AND || condition == VER_OR)
                                            : (condition >= VER_EQUAL && condition <= VER_LESS_EQUAL);
    if (!valid) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
  }

  const OsRow& os = CurrentOs();
  bool met = true;
  constexpr DWORD kVersionTypes = VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR | VER_SERVICEPACKMINOR;
  if (typeMask & kVersionTypes) {
    // The condition of the most significant field present governs the whole version.
    DWORD governing = VER_SERVICEPACKMINOR;
    for (DWORD bit : {VER_MAJORVERSION, VER_MINORVERSION, VER_SERVICEPACKMAJOR, VER_SERVICEPACKMINOR}) {
      if (typeMask & bit) {
        governing = bit;
        break;
      }
    }
    met = Compare(CompareVersion(os, *info, typeMask), 0, ConditionFor(conditionMask, governing));
  }
  if (met && (typeMask & VER_BUILDNUMBER))
    met = Compare(os.build, info->dwBuildNumber, ConditionFor(conditionMask, VER_BUILDNUMBER));
  if (met && (typeMask & VER_PLATFORMID))
    met = Compare(os.platform, info->dwPlatformId, ConditionFor(conditionMask, VER_PLATFORMID));
  if (met && (typeMask & VER_PRODUCT_TYPE))
    met = Compare(os.productType, info->wProductType, ConditionFor(conditionMask, VER_PRODUCT_TYPE));
  if (met && (typeMask & VER_SUITENAME)) {
    const WORD actual = SuiteMask(os);
    const WORD wanted = info->wSuiteMask;
    met = ConditionFor(conditionMask, VER_SUITENAME) == VER_AND ? (actual & wanted) == wanted
                                                                : (actual & wanted) != 0;
  }
  if (!met) {
    SetLastError(ERROR_OLD_WIN_VERSION);
    return FALSE;
  }
  return TRUE;
}
