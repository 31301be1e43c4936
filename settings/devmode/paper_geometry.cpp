#include "settings/devmode/paper_geometry.h"

#include <algorithm>
#include <cstdint>

#include "data/item_ids.h"
#include "settings/description/access.h"
#include "settings/devmode/item_checks.h"
#include "settings/items/store.h"
#include "settings/items/settings_record.h"
#include "settings/items/unit_conversion.h"
#include "settings/persistence/user_lists.h"

namespace {

constexpr DWORD kPaperSameAsSource = 1024;
constexpr DWORD kPaperCustom = 256;
constexpr DWORD kLandscape = 2;
constexpr DWORD kCustomSizeFields = DM_PAPERLENGTH | DM_PAPERWIDTH;

struct PaperSize {
  DWORD width;
  DWORD length;
};

PaperSize SlotSize(DriverContext* context, int slot) {
  FreeSizeSlot bytes;
  LstGetFreeSizeSlot(context, slot, &bytes);
  return {bytes.width, bytes.length};
}

// The custom size in 1200-dpi dots: the record's own dmPaperLength and dmPaperWidth; a record
// that has none (either is 0 or below) has the size of items 860 and 861.
PaperSize CustomSize(DriverContext* context) {
  const LONG length = static_cast<SHORT>(OptGetValue(context, kItemPaperLength));
  const LONG width = static_cast<SHORT>(OptGetValue(context, kItemPaperWidth));
  if (length <= 0 || width <= 0)
    return {OptGetValue(context, kItemFreeSizeWidth), OptGetValue(context, kItemFreeSizeLength)};
  return {DmUnitsToDots(kUnitTenthMm, static_cast<DWORD>(width), kSettingsDpi),
          DmUnitsToDots(kUnitTenthMm, static_cast<DWORD>(length), kSettingsDpi)};
}

// The size of user paper `paper`: the custom size for 256, else its free-size slot's.
PaperSize UserPaperSize(DriverContext* context, DWORD paper) {
  return paper == kPaperCustom ? CustomSize(context) : SlotSize(context, LstPaperToFreeSizeSlot(paper));
}

// The geometry items are u16 dots: a value is held within their range rather than wrapped.
void SetDots(DriverContext* context, WORD id, int64_t value) {
  OptSetValue(context, id, static_cast<DWORD>(std::clamp<int64_t>(value, 0, 0xFFFF)));
}

// Length, width, printable length and width, x0, y0 into the six items from `first` on.
void SetGeometry(DriverContext* context, WORD first, int64_t length, int64_t width, int64_t printLength,
                 int64_t printWidth, LONG x0, LONG y0) {
  SetDots(context, first, length);
  SetDots(context, first + 1, width);
  SetDots(context, first + 2, printLength);
  SetDots(context, first + 3, printWidth);
  SetDots(context, first + 4, x0);
  SetDots(context, first + 5, y0);
}

// A user paper's size in 1200-dpi dots, its margins from `area`, rescaled: the printable size is
// the rescaled size less both margins, so the two sides always agree.
void SetUserGeometry(DriverContext* context, WORD first, DWORD length, DWORD width, DWORD lengthDpi, DWORD widthDpi,
                     const RECT& area) {
  const int64_t l = std::min<DWORD>(DmRescale(length, kSettingsDpi, lengthDpi), 0xFFFF);
  const int64_t w = std::min<DWORD>(DmRescale(width, kSettingsDpi, widthDpi), 0xFFFF);
  SetGeometry(context, first, l, w, l - 2 * int64_t{area.top}, w - 2 * int64_t{area.left}, area.left, area.top);
}

void SetStandardGeometry(DriverContext* context, WORD first, const RECT& area, const LONG pair[2]) {
  SetGeometry(context, first, pair[0], pair[1], int64_t{area.bottom} - area.top, int64_t{area.right} - area.left,
              area.left, area.top);
}

// The paper's record at the current resolution and orientation, found through `mapRow`'s map.
bool FindArea(DriverContext* context, const ItemTableRow* mapRow, DWORD paper, RECT* area, LONG pair[2]) {
  *area = RECT{};
  pair[0] = pair[1] = 0;
  const DWORD model = OptRawToModelValue(context, mapRow, paper);
  if (model > 0xFFFF) return false;
  return DescFindPaperArea(context, static_cast<WORD>(model), area, pair) != FALSE;
}

// A size clamped into the custom limits of `limitItem` (860 width, 861 length), compared in the
// units the user sees; a size outside takes the limit back in dots.
DWORD ClampToCustomLimits(DriverContext* context, WORD limitItem, DWORD dots) {
  DWORD minimum = 0, maximum = 0;
  if (!DmGetCustomPaperLimits(context, limitItem, &minimum, &maximum)) return dots;
  const DWORD shown = DmDotsToDisplayUnits(context, kItemNone, static_cast<LONG>(std::min<DWORD>(dots, 0x7FFFFFFF)));
  if (shown < minimum) return DmDisplayUnitsToDots(context, kItemNone, static_cast<LONG>(minimum));
  if (shown > maximum) return DmDisplayUnitsToDots(context, kItemNone, static_cast<LONG>(maximum));
  return dots;
}

bool IsLandscape(DriverContext* context) { return OptGetValue(context, kItemOrientation) == kLandscape; }

void ChangeFields(DriverContext* context, DWORD add, DWORD remove) {
  OptSetValue(context, kItemFields, (OptGetValue(context, kItemFields) & ~remove) | add);
}

SHORT ToTenthMm(DWORD dots) {
  return static_cast<SHORT>(std::min<DWORD>(DmDotsToUnits(kUnitTenthMm, dots, kSettingsDpi), 0x7FFF));
}

bool Usable(DriverContext* context) { return context && context->settings && context->itemTable; }

}  // namespace

void DmHoldCustomSize(DriverContext* context, LONG* length, LONG* width) {
  if (!context || !length || !width) return;
  const ModelDefaults& defaults = ContextModelDefaults(context);
  auto hold = [](LONG* value, DWORD minDots, DWORD maxDots) {
    DWORD minimum = 0, maximum = 0;
    DmDotsRangeToUnits(kUnitTenthMm, minDots, maxDots, &minimum, &maximum);
    *value = std::clamp<LONG>(*value, static_cast<LONG>(minimum), static_cast<LONG>(maximum));
  };
  hold(length, defaults.customLengthMin, defaults.customLengthMax);
  hold(width, defaults.customWidthMin, defaults.customWidthMax);
}

BOOL DmDeriveSrcPaperFrom(DriverContext* context, DWORD paper, WORD item, BOOL swap) {
  if (!Usable(context)) return FALSE;
  RECT area{};
  LONG pair[2] = {};
  const bool found = FindArea(context, OptFindItem(context->itemTable, item), paper, &area, pair);

  if (LstIsFreeSizePaper(paper)) {
    const int slot = LstPaperToFreeSizeSlot(paper);
    LstLoadFreeSizes(context);
    LstSelectSrcFreeSize(context, slot);
    const DWORD dpi = OptGetValue(context, kItemDstResolutionW);
    const PaperSize size = UserPaperSize(context, paper);
    const DWORD width = ClampToCustomLimits(context, kItemFreeSizeWidth, size.width);
    const DWORD length = ClampToCustomLimits(context, kItemFreeSizeLength, size.length);
    const bool turned = swap && IsLandscape(context);
    SetUserGeometry(context, kItemSrcPaperLengthDot, turned ? width : length, turned ? length : width, dpi, dpi, area);
    if (paper != kPaperCustom) {
      OptSetValue(context, kItemPaperLength, static_cast<DWORD>(ToTenthMm(length)));
      OptSetValue(context, kItemPaperWidth, static_cast<DWORD>(ToTenthMm(width)));
      ChangeFields(context, kCustomSizeFields, 0);
    }
  } else {
    if (!found || OptCheckValue(kItemPaperSize, paper, context) != 1) return FALSE;
    SetStandardGeometry(context, kItemSrcPaperLengthDot, area, pair);
    LONG width = 0, length = 0;
    if (DescGetPaperSize(context, &width, &length)) {
      OptSetValue(context, kItemPaperLength, static_cast<DWORD>(length));
      OptSetValue(context, kItemPaperWidth, static_cast<DWORD>(width));
    }
    ChangeFields(context, 0, kCustomSizeFields);
  }
  ChangeFields(context, DM_PAPERSIZE, 0);
  return TRUE;
}

BOOL DmDeriveSrcPaper(DriverContext* context, DWORD paper, WORD item) {
  return DmDeriveSrcPaperFrom(context, paper, item, FALSE);
}

BOOL DmDeriveSrcPaperOriented(DriverContext* context, DWORD paper, WORD item) {
  return DmDeriveSrcPaperFrom(context, paper, item, TRUE);
}

void DmDeriveSrcPaperCustom(DriverContext* context) {
  if (!Usable(context)) return;
  // The draft levels (-4..-1) are no resolution: dots at them would be meaningless.
  const LONG quality = static_cast<SHORT>(OptGetValue(context, kItemPrintQuality));
  const DWORD dpi = quality > 0 ? static_cast<DWORD>(quality) : ContextModelDefaults(context).defaultResolution;
  RECT area{};
  LONG pair[2] = {};
  FindArea(context, OptFindItem(context->itemTable, kItemPaperSize), kPaperCustom, &area, pair);
  // The public lengths are held to the model's smallest and largest paper before they are dots.
  const ModelDefaults& defaults = ContextModelDefaults(context);
  auto dots = [&](WORD id, DWORD smallest, DWORD largest) {
    const LONG tenthMm = static_cast<SHORT>(OptGetValue(context, id));
    const DWORD settingsDots = DmUnitsToDots(kUnitTenthMm, static_cast<DWORD>(std::max<LONG>(tenthMm, 0)), kSettingsDpi);
    return std::min<DWORD>(DmRescale(std::clamp(settingsDots, smallest, largest), kSettingsDpi, dpi), 0xFFFF);
  };
  const int64_t length = dots(kItemPaperLength, defaults.customLengthMin, defaults.customLengthMax);
  const int64_t width = dots(kItemPaperWidth, defaults.customWidthMin, defaults.customWidthMax);
  SetGeometry(context, kItemSrcPaperLengthDot, length, width, length - 2 * int64_t{area.top},
              width - 2 * int64_t{area.left}, area.left, area.top);
}

BOOL DmDeriveDstPaperFrom(DriverContext* context, DWORD paper, WORD item, BOOL swap) {
  if (!Usable(context)) return FALSE;
  if (paper == kPaperSameAsSource) {
    paper = OptGetValue(context, kItemPaperSize);
    if (LstIsFreeSizePaper(paper)) {
      for (WORD i = 0; i < 6; ++i) {
        OptSetValue(context, kItemDstPaperLengthDot + i, OptGetValue(context, kItemSrcPaperLengthDot + i));
      }
      return TRUE;
    }
  }
  const ItemTableRow* own = OptFindItem(context->itemTable, item);
  const ItemTableRow* mapRow =
      own && OptIsRawValueMapped(context, own, paper) ? own : OptFindItem(context->itemTable, kItemPaperSize);
  RECT area{};
  LONG pair[2] = {};
  const bool found = FindArea(context, mapRow, paper, &area, pair);

  if (LstIsFreeSizePaper(paper)) {
    LstLoadFreeSizes(context);
    const PaperSize size = UserPaperSize(context, paper);
    const bool turned = swap && IsLandscape(context);
    SetUserGeometry(context, kItemDstPaperLengthDot, turned ? size.width : size.length, turned ? size.length : size.width,
                    OptGetValue(context, kItemDstResolutionH), OptGetValue(context, kItemDstResolutionW), area);
    return TRUE;
  }
  if (!found || OptCheckValue(kItemPaperSize, paper, context) != 1) return FALSE;
  SetStandardGeometry(context, kItemDstPaperLengthDot, area, pair);
  return TRUE;
}

BOOL DmDeriveDstPaper(DriverContext* context, DWORD paper, WORD item) {
  return DmDeriveDstPaperFrom(context, paper, item, FALSE);
}

BOOL DmDeriveDstPaperOriented(DriverContext* context, DWORD paper, WORD item) {
  return DmDeriveDstPaperFrom(context, paper, item, TRUE);
}
