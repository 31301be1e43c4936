#include "settings/items/unit_conversion.h"

#include <cstdint>
#include <limits>

#include "settings/items/store.h"

namespace {

constexpr DWORD kTenthMmPerInch = 254;
constexpr DWORD kHundredthsPerInch = 100;

DWORD Low32(uint64_t value) { return static_cast<DWORD>(value); }

// The unit's length of 1200-dpi dots, and back; 0 for an unknown unit.
DWORD SettingsDotsToUnits(int unit, DWORD dots) {
  if (unit == kUnitTenthMm) return DmDotsToTenthMm(dots, kSettingsDpi);
  if (unit == kUnitHundredthInch) return DmDotsToHundredthInch(dots, kSettingsDpi);
  return 0;
}
uint64_t UnitsToSettingsDots(int unit, DWORD length) {
  if (unit == kUnitTenthMm) {
    return uint64_t{kSettingsDpi} * (length / kTenthMmPerInch) +
           uint64_t{kSettingsDpi} * (length % kTenthMmPerInch) / kTenthMmPerInch;
  }
  if (unit == kUnitHundredthInch) return uint64_t{length} * (kSettingsDpi / kHundredthsPerInch);
  return 0;
}

int DisplayUnit(DriverContext* context) { return OptIsMetricUnit(context) ? kUnitTenthMm : kUnitHundredthInch; }

}  // namespace

DWORD DmDotsToTenthMm(DWORD dots, DWORD dpi) {
  if (dpi == 0) return 0;
  return Low32(uint64_t{dots / dpi} * kTenthMmPerInch + uint64_t{dots % dpi} * kTenthMmPerInch / dpi);
}

DWORD DmDotsToHundredthInch(DWORD dots, DWORD dpi) {
  const DWORD perHundredth = dpi / kHundredthsPerInch;
  return perHundredth == 0 ? 0 : dots / perHundredth;
}

DWORD DmTenthMmToDots(DWORD tenthMm, DWORD dpi) {
  return Low32(uint64_t{dpi} * (tenthMm / kTenthMmPerInch) + uint64_t{dpi} * (tenthMm % kTenthMmPerInch) / kTenthMmPerInch);
}

DWORD DmHundredthInchToDots(DWORD hundredthInch, DWORD dpi) {
  return Low32(uint64_t{hundredthInch} * (dpi / kHundredthsPerInch));
}

DWORD DmRescale(DWORD value, DWORD from, DWORD to) {
  if (from == 0 || to == 0) return 0;
  return Low32(uint64_t{to} * (value / from) + uint64_t{to} * (value % from) / from);
}

LONG DmMulDiv(LONG a, LONG b, LONG c) {
  if (c == 0) return -1;
  const int64_t result = int64_t{a} * b / c;
  if (result < std::numeric_limits<LONG>::min() || result > std::numeric_limits<LONG>::max()) return -1;
  return static_cast<LONG>(result);
}

DWORD DmUnitsToDots(int unit, DWORD length, DWORD dpi) {
  if (unit != kUnitTenthMm && unit != kUnitHundredthInch) return 0;
  uint64_t n = UnitsToSettingsDots(unit, length);
  // A length beyond what 32-bit dots hold is held at the largest even count.
  if (n > 0xFFFFFFFEu) n = 0xFFFFFFFEu;
  DWORD dots = static_cast<DWORD>(n);
  // Each step lowers the count; the conversion back never exceeds the length by more than the
  // remainder, so this ends within a few steps.
  while (dots > 0 && ((dots & 1) || SettingsDotsToUnits(unit, dots) > length)) --dots;
  return DmRescale(dots, kSettingsDpi, dpi);
}

DWORD DmDotsToUnits(int unit, DWORD dots, DWORD dpi) {
  if (unit != kUnitTenthMm && unit != kUnitHundredthInch) return 0;
  const DWORD target = DmRescale(dots, dpi, kSettingsDpi);
  DWORD length = SettingsDotsToUnits(unit, target);
  // A unit is at least 4 dots at 1200 dpi, so one or two steps reach the target.
  while (UnitsToSettingsDots(unit, length) < target && length < 0xFFFFFFFFu) ++length;
  return length;
}

BOOL OptIsMetricUnit(DriverContext* context) { return OptGetValue(context, kItemUnit) == 0; }

DWORD DmDotsToDisplayUnits(DriverContext* context, WORD item, LONG dots) {
  if (item != kItemNone) dots = static_cast<LONG>(OptGetModelValueById(context, item));
  if (dots < 0) return 0;
  return DmDotsToUnits(DisplayUnit(context), static_cast<DWORD>(dots), kSettingsDpi);
}

DWORD DmDisplayUnitsToDots(DriverContext* context, WORD item, LONG length) {
  if (length < 0) return 0;
  const DWORD dots = DmUnitsToDots(DisplayUnit(context), static_cast<DWORD>(length), kSettingsDpi);
  if (item != kItemNone) OptSetModelValueById(context, item, dots);
  return dots;
}

BOOL DmGetCustomPaperLimits(DriverContext* context, WORD item, DWORD* minimum, DWORD* maximum) {
  if (minimum) *minimum = 0;
  if (maximum) *maximum = 0;
  const ModelDefaults& defaults = ContextModelDefaults(context);
  DWORD modelMin;
  DWORD modelMax;
  if (item == kItemFreeSizeWidth) {
    modelMin = defaults.customWidthMin;
    modelMax = defaults.customWidthMax;
  } else if (item == kItemFreeSizeLength) {
    modelMin = defaults.customLengthMin;
    modelMax = defaults.customLengthMax;
  } else {
    return FALSE;
  }
  DmDotsRangeToUnits(DisplayUnit(context), modelMin, modelMax, minimum, maximum);
  return TRUE;
}

void DmDotsRangeToUnits(int unit, DWORD minDots, DWORD maxDots, DWORD* minimum, DWORD* maximum) {
  DWORD low = DmDotsToUnits(unit, minDots, kSettingsDpi);
  DWORD high = DmDotsToUnits(unit, maxDots, kSettingsDpi);
  if (high > 0 && DmUnitsToDots(unit, high, kSettingsDpi) > maxDots) --high;
  if (DmUnitsToDots(unit, low, kSettingsDpi) < minDots) ++low;
  if (minimum) *minimum = low;
  if (maximum) *maximum = high;
}
