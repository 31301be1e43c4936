// Conversions between device dots and the lengths people see: 0.1 mm and 0.01 inch.
//
// Lengths in the settings are 1200-dpi dots; they are shown in 0.1 mm when item 179 is 0, else in
// 0.01 inch. The formulas are unsigned and carry the remainder; their products are taken in 64
// bits, so no intermediate overflows. A resolution that gives no divisor answers 0.
#pragma once

#include "settings/context/driver_context.h"
#include "win32.h"

constexpr DWORD kSettingsDpi = 1200;  // the resolution of every length in the settings
constexpr int kUnitTenthMm = 1;
constexpr int kUnitHundredthInch = 2;

// (a / dpi) x 254 + (a mod dpi) x 254 / dpi; 0 when dpi is 0.
DWORD DmDotsToTenthMm(DWORD dots, DWORD dpi);
// a / (dpi / 100); 0 when dpi is below 100.
DWORD DmDotsToHundredthInch(DWORD dots, DWORD dpi);
// dpi x (a / 254) + dpi x (a mod 254) / 254.
DWORD DmTenthMmToDots(DWORD tenthMm, DWORD dpi);
// a x (dpi / 100).
DWORD DmHundredthInchToDots(DWORD hundredthInch, DWORD dpi);

// to x (p / from) + to x (p mod from) / from; 0 when either resolution is 0.
DWORD DmRescale(DWORD value, DWORD from, DWORD to);
// a x b / c in 64 bits, truncated toward zero; -1 when c is 0 or the result does not fit.
LONG DmMulDiv(LONG a, LONG b, LONG c);

// A length in `unit` (kUnitTenthMm, kUnitHundredthInch; any other unit gives 0) as dots at `dpi`:
// the 1200-dpi dot count is lowered to an even number that does not convert back to more than
// the length, then rescaled.
DWORD DmUnitsToDots(int unit, DWORD length, DWORD dpi);
// Dots at `dpi` as a length in `unit`: the smallest length whose 1200-dpi dot count reaches them.
DWORD DmDotsToUnits(int unit, DWORD dots, DWORD dpi);

// The unit lengths are shown in: item 179 is 0.
BOOL OptIsMetricUnit(DriverContext* context);
// 1200-dpi dots as a display length (0.1 mm or 0.01 inch), rounding up through DmDotsToUnits so
// that a display length converted to dots and back is the same. With an item (non-zero) its
// model value is taken as the dots. Negative dots give 0.
DWORD DmDotsToDisplayUnits(DriverContext* context, WORD item, LONG dots);
// A display length as 1200-dpi dots (DmUnitsToDots); with an item the dots are stored as its
// model value. A negative length gives 0.
DWORD DmDisplayUnitsToDots(DriverContext* context, WORD item, LONG length);
// A range of 1200-dpi dots as a range in `unit`: each end converted (DmDotsToUnits), then the
// maximum lowered by one when it converts back above `maxDots` and the minimum raised by one
// when it converts back below `minDots`, so that the range never leaves the dots' range.
void DmDotsRangeToUnits(int unit, DWORD minDots, DWORD maxDots, DWORD* minimum, DWORD* maximum);
// The custom paper limits in display units: item 860 the width, 861 the length. Each model limit
// is converted, then the maximum lowered by one when it converts back above the model maximum
// and the minimum raised by one when it converts back below the model minimum. FALSE (and 0, 0)
// for any other item.
BOOL DmGetCustomPaperLimits(DriverContext* context, WORD item, DWORD* minimum, DWORD* maximum);
