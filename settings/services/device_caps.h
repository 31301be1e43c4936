// Device-capability queries: what the printer offers (paper names and sizes, custom paper
// extents, copies, ranges, allowed values, resolutions), answered from the model description
// under the constraints in force, with the user's free paper sizes in place of their model
// entries. The interface's device-capabilities entry and the application interface's capability
// records call them.
//
// Lists follow the two-call protocol: with a null buffer only the count is answered; with a
// buffer the caller has sized by that count, the entries are written and the same count answered.
// Lengths are in 0.1 mm.
#pragma once

#include "settings/context/driver_context.h"
#include "settings/items/table.h"
#include "win32.h"

// Names of the values of `item`, each in a zero-filled field of `width` characters (cut to
// width-1 and a NUL), into `names` (count x width characters) or, when it is null, nowhere. The
// paper list (a PickPage record, item 8's): the free sizes are loaded first; values that the
// constraints disable are left out; a free-size paper (256, 384..392) is named by its slot's
// display name, any other by its value's resource string (string id = model value), decorated.
// Any other list: every value in order, by its resource string, decorated. The count; -1 for an
// item without a list record, without values, with every value left out, or for width 0.
int CapsGetValueNames(DriverContext* context, WCHAR* names, DWORD width, WORD item);

// The display name of free-size paper `paper`'s slot (as loaded by LstLoadFreeSizes) into
// `field` of `width` characters, cut to width-1 and a NUL. FALSE, nothing written, when the
// paper is not a free size or the field is empty.
BOOL CapsGetFreeSizeName(DriverContext* context, DWORD paper, WCHAR* field, DWORD width);

// Sizes of the papers of CapsGetValueNames, in the same order: x the width and y the length in
// 0.1 mm. A free-size paper gives its slot's size converted from 1200-dpi dots, rounded up to
// the first 0.1 mm that covers them (DmDotsToUnits); any other paper its metric size in the
// description (0, 0 when it has none). The count; -1 for an item whose record is not a paper list
// or has no paper left.
int CapsGetPaperSizes(DriverContext* context, POINT* sizes, WORD item);

// The paper of item 8's list (a stored value) that form `name` names: the paper whose resource
// string it is (letter case aside), else the paper whose metric size is that of the spooler's
// form of that name (within 0.2 mm). Free-size papers and papers the constraints disable are
// never chosen; 0 when none fits.
constexpr DWORD kCapsPaperNameChars = 64;
DWORD CapsFindPaperOfForm(DriverContext* context, const WCHAR* name);

// The smallest and the largest custom paper: the model's custom limits (ModelDefaults, 1200-dpi
// dots) in 0.1 mm, the minimum rounded up and the maximum corrected down so that it converts
// back inside the model's limit; then held within the ranges of items 860 (width) and 861
// (length), converted the same way, when their records have one. `extent` (when given) receives
// x the width and y the length; the answer packs them as length << 16 | width.
LONG CapsGetMinExtent(DriverContext* context, POINT* extent);
LONG CapsGetMaxExtent(DriverContext* context, POINT* extent);

// The maximum of item 12's range; the model's copies maximum (999) when its record has none.
LONG CapsGetCopiesMax(DriverContext* context);

// The minimum and maximum of an item's model range, as the description holds them; 0, 0 when
// the item has no range.
struct CapsRange {
  LONG minimum;
  LONG maximum;
};
// The ranges of items 92 and 93 (scale across and along), 104 and 105 (binding margins), 106
// and 107 (front and back face margins) into ranges[0] and ranges[1]; the number of the two
// items that have a range (0..2).
int CapsGetPaperScaleRanges(DriverContext* context, CapsRange ranges[2]);
int CapsGetMarginRanges(DriverContext* context, CapsRange ranges[2]);
int CapsGetOddEvenMarginRanges(DriverContext* context, CapsRange ranges[2]);

// The stored values of the item's list that the constraints do not disable, in list order,
// into `values` (or nowhere when it is null). The count; -1 without a list or with every value
// disabled.
int CapsGetAllowedValues(DriverContext* context, DWORD* values, WORD item);

// The resolutions offered: mode kCapsResolutionIds writes one resolution id per entry, any other
// mode an (x, y) dpi pair (two LONGs) per entry; `out` may be null. Taken from, in this order:
//   item 42's list, each value not disabled a dpi (x = y); as ids, a dpi the resolution table
//   lacks is left out;
//   when item 42's record is a range: item 248's list, each value not disabled a resolution id;
//   as pairs, ids the table lacks, pairs whose x and y differ, and a pair equal to the one just
//   before are left out;
//   when item 42's record is a range and its current value is not 0: that value as one pair;
//   the model's default resolution (600, 600; as an id, 3).
// The count.
constexpr int kCapsResolutionIds = 1;
constexpr int kCapsResolutionPairs = 0;
int CapsListResolutions(DriverContext* context, LONG* out, int mode);
inline int CapsGetResolutionIds(DriverContext* context, LONG* ids) {
  return CapsListResolutions(context, ids, kCapsResolutionIds);
}

// Resolution-table lookups. The row of `id`, or null; the id of the first row with (x, y), or 0;
// the first row whose x is `x`, or null.
const CapsResolutionRow* CapsFindResolution(WORD id);
WORD CapsResolutionIdFromDpi(WORD x, WORD y);
const CapsResolutionRow* CapsResolutionFromXDpi(WORD x);

// Whether the device information has been read: item 10014 is not 0.
BOOL OptHasDeviceInfo(DriverContext* context);
// Whether the model offers the item: it has a record whose type is not TypeUnknown alone.
BOOL OptIsItemPresent(DriverContext* context, WORD item);

// Stores `value` (a stored value) into `item`, as the bidirectional query does for tray values.
// `kind` is the caller's and is not read: every kind stores the same way. FALSE when the item
// cannot be written.
BOOL CapsSetItem(DWORD kind, WORD item, DWORD value, DriverContext* context);
