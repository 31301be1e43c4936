#include "settings/services/device_caps.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "data/item_ids.h"
#include "settings/constraints/eval.h"
#include "settings/context/memory.h"
#include "settings/description/access.h"
#include "settings/items/store.h"
#include "settings/services/resource_strings.h"
#include "settings/constraints/condition_items.h"
#include "settings/constraints/eval.h"
#include "settings/persistence/user_lists.h"
#include "settings/items/settings_record.h"
#include "settings/services/string_convert.h"
#include "settings/items/unit_conversion.h"

namespace {


// The item's record when it is a list, with whether it is the paper list (PickPage).
struct ListRecord {
  const DescNode* node = nullptr;
  ItemTableRow* row = nullptr;
  bool papers = false;
};
bool FindList(DriverContext* context, WORD item, ListRecord& list) {
  if (!context || !context->description) return false;
  list.node = DescLookupNode(item, context);
  if (!list.node || !DescIsListType(DescNodeType(list.node))) return false;
  list.row = OptFindItem(context->itemTable, item);
  list.papers = DescUiKind(DescNodeType(list.node)) == kUiPickPage;
  return true;
}

// Visits the values of `list` in order: `visit(value, model, index)`, index counting the values
// visited. With `skipDisabled` a value the constraints disable is passed over. The count.
template <class Visit>
int ForEachValue(DriverContext* context, const ListRecord& list, bool skipDisabled, Visit visit) {
  const ModelDescription* d = context->description;
  int count = 0;
  for (const DescValue* value = DescNodeFirstValue(d, list.node); value; value = DescNextValue(d, value)) {
    const WORD model = DescValueValue(value);
    if (skipDisabled && CondIsDisabled(list.node, model, context)) continue;
    visit(value, model, count);
    ++count;
  }
  return count;
}

// The free-size slot of `paper`; false when the context has none.
bool Slot(DriverContext* context, DWORD paper, FreeSizeSlot& slot) {
  return LstGetFreeSizeSlot(context, LstPaperToFreeSizeSlot(paper), &slot) != FALSE;
}

// The range of an item's record; false (and 0, 0) without one.
bool ItemRange(DriverContext* context, WORD item, CapsRange& range) {
  range = {0, 0};
  DescRange block{};
  if (!context || !context->description ||
      !DescNodeRange(context->description, DescLookupNode(item, context), &block))
    return false;
  range = {block.minimum, block.maximum};
  return true;
}

int TwoRanges(DriverContext* context, WORD first, WORD second, CapsRange ranges[2]) {
  CapsRange local[2];
  CapsRange* out = ranges ? ranges : local;
  return int{ItemRange(context, first, out[0])} + int{ItemRange(context, second, out[1])};
}

// A custom-paper limit in 0.1 mm: `dots` converted, the maximum corrected down, then held within
// the range of `item` (860 or 861) when it has one.
DWORD CustomExtent(DriverContext* context, WORD item, DWORD minDots, DWORD maxDots, bool maximum) {
  DWORD low = 0, high = 0;
  DmDotsRangeToUnits(kUnitTenthMm, minDots, maxDots, &low, &high);
  DWORD value = maximum ? high : low;
  CapsRange range{};
  if (ItemRange(context, item, range)) {
    DWORD rangeLow = 0, rangeHigh = 0;
    DmDotsRangeToUnits(kUnitTenthMm, static_cast<DWORD>(std::max<LONG>(range.minimum, 0)),
                       static_cast<DWORD>(std::max<LONG>(range.maximum, 0)), &rangeLow, &rangeHigh);
    if (rangeLow <= rangeHigh) value = std::clamp(value, rangeLow, rangeHigh);
  }
  return value;
}

LONG Extent(DriverContext* context, POINT* extent, bool maximum) {
  const ModelDefaults& defaults = ContextModelDefaults(context);
  const DWORD width =
      CustomExtent(context, kItemFreeSizeWidth, defaults.customWidthMin, defaults.customWidthMax, maximum) & 0xFFFF;
  const DWORD length =
      CustomExtent(context, kItemFreeSizeLength, defaults.customLengthMin, defaults.customLengthMax, maximum) & 0xFFFF;
  if (extent) *extent = {static_cast<LONG>(width), static_cast<LONG>(length)};
  return static_cast<LONG>(length << 16 | width);
}

// Collects resolutions into `out` (or counts them) in the chosen mode.
class ResolutionList {
 public:
  ResolutionList(LONG* out, int mode) : out_(out), ids_(mode == kCapsResolutionIds) {}

  void AddDpi(DWORD dpi) {
    if (ids_) {
      if (const WORD id = CapsResolutionIdFromDpi(static_cast<WORD>(dpi), static_cast<WORD>(dpi))) Put(id, 0);
    } else {
      Put(static_cast<LONG>(dpi), static_cast<LONG>(dpi));
    }
  }
  void AddId(DWORD id) {
    if (ids_) return Put(static_cast<LONG>(id), 0);
    const CapsResolutionRow* row = id <= 0xFFFF ? CapsFindResolution(static_cast<WORD>(id)) : nullptr;
    if (!row || row->xDpi != row->yDpi) return;
    if (count_ > 0 && lastX_ == row->xDpi && lastY_ == row->yDpi) return;
    Put(row->xDpi, row->yDpi);
  }
  int count() const { return count_; }

 private:
  void Put(LONG first, LONG second) {
    if (out_) {
      if (ids_) {
        out_[count_] = first;
      } else {
        out_[2 * count_] = first;
        out_[2 * count_ + 1] = second;
      }
    }
    lastX_ = first;
    lastY_ = second;
    ++count_;
  }

  LONG* out_;
  bool ids_;
  int count_ = 0;
  LONG lastX_ = 0, lastY_ = 0;
};

}  // namespace

int CapsGetValueNames(DriverContext* context, WCHAR* names, DWORD width, WORD item) {
  ListRecord list;
  if (width == 0 || !FindList(context, item, list)) return -1;
  if (list.papers) LstLoadFreeSizes(context);
  const int count = ForEachValue(context, list, list.papers, [&](const DescValue*, WORD model, int index) {
    if (!names) return;
    WCHAR* field = names + size_t(index) * width;
    std::fill(field, field + width, WCHAR{0});
    const DWORD paper = OptModelToRawValue(context, list.row, model);
    if (list.papers && LstIsFreeSizePaper(paper)) {
      CapsGetFreeSizeName(context, paper, field, width);
      return;
    }
    ResLoadString(context, model, field, width, TRUE);
  });
  return count > 0 ? count : -1;
}

BOOL CapsGetFreeSizeName(DriverContext* context, DWORD paper, WCHAR* field, DWORD width) {
  FreeSizeSlot slot;
  if (!field || width == 0 || !Slot(context, paper, slot)) return FALSE;
  char name[sizeof(slot.displayName) + 1] = {};
  std::memcpy(name, slot.displayName, sizeof(slot.displayName));  // need not end with a NUL
  StrAnsiToWide(field, static_cast<int>(std::min<DWORD>(width, sizeof(name))), name);
  return TRUE;
}

int CapsGetPaperSizes(DriverContext* context, POINT* sizes, WORD item) {
  ListRecord list;
  if (!FindList(context, item, list) || !list.papers) return -1;
  LstLoadFreeSizes(context);
  const int count = ForEachValue(context, list, true, [&](const DescValue* value, WORD model, int index) {
    if (!sizes) return;
    POINT& size = sizes[index];
    size = {0, 0};
    const DWORD paper = OptModelToRawValue(context, list.row, model);
    if (LstIsFreeSizePaper(paper)) {
      if (FreeSizeSlot slot; Slot(context, paper, slot)) {
        size.x = static_cast<LONG>(DmDotsToUnits(kUnitTenthMm, slot.width, kSettingsDpi));
        size.y = static_cast<LONG>(DmDotsToUnits(kUnitTenthMm, slot.length, kSettingsDpi));
      }
      return;
    }
    DescValueMetric(value, &size.x, &size.y);
  });
  return count > 0 ? count : -1;
}

LONG CapsGetMinExtent(DriverContext* context, POINT* extent) { return Extent(context, extent, false); }

LONG CapsGetMaxExtent(DriverContext* context, POINT* extent) { return Extent(context, extent, true); }

LONG CapsGetCopiesMax(DriverContext* context) {
  CapsRange range{};
  if (ItemRange(context, kItemCopies, range)) return range.maximum;
  return static_cast<LONG>(ContextModelDefaults(context).copiesMax);
}

int CapsGetPaperScaleRanges(DriverContext* context, CapsRange ranges[2]) {
  return TwoRanges(context, kItemScaleH, kItemScaleV, ranges);
}

int CapsGetMarginRanges(DriverContext* context, CapsRange ranges[2]) {
  return TwoRanges(context, kItemBindMargin, kItemBindMargin2, ranges);
}

int CapsGetOddEvenMarginRanges(DriverContext* context, CapsRange ranges[2]) {
  return TwoRanges(context, kItemMarginOdd, kItemMarginEven, ranges);
}

int CapsGetAllowedValues(DriverContext* context, DWORD* values, WORD item) {
  ListRecord list;
  if (!FindList(context, item, list)) return -1;
  const int count = ForEachValue(context, list, true, [&](const DescValue*, WORD model, int index) {
    if (values) values[index] = OptModelToRawValue(context, list.row, model);
  });
  return count > 0 ? count : -1;
}

namespace {

// The spooler's form `name` as its size in 0.1 mm; false when the printer has no such form.
bool SpoolerFormSize(DriverContext* context, const WCHAR* name, POINT* size) {
  DWORD needed = 0;
  GetFormW(context->printer, const_cast<LPWSTR>(name), 1, nullptr, 0, &needed);
  if (needed < sizeof(FORM_INFO_1W)) return false;
  auto* form = static_cast<BYTE*>(SysAlloc(needed));
  if (!form) return false;
  const bool found = GetFormW(context->printer, const_cast<LPWSTR>(name), 1, form, needed, &needed) != FALSE;
  FORM_INFO_1W info{};
  if (found) std::memcpy(&info, form, sizeof info);
  SysFree(form);
  if (!found) return false;
  *size = {info.Size.cx / 100, info.Size.cy / 100};  // forms are measured in 0.001 mm
  return true;
}

}  // namespace

DWORD CapsFindPaperOfForm(DriverContext* context, const WCHAR* name) {
  ListRecord list;
  if (!name || !name[0] || !FindList(context, kItemPaperSize, list) || !list.papers) return 0;
  constexpr LONG kSizeSlack = 2;  // 0.2 mm: forms and papers round their metric sizes apart
  POINT form{};
  const bool sized = SpoolerFormSize(context, name, &form);
  DWORD named = 0, ofSize = 0;
  ForEachValue(context, list, true, [&](const DescValue* value, WORD model, int) {
    const DWORD paper = OptModelToRawValue(context, list.row, model);
    if (named || LstIsFreeSizePaper(paper)) return;
    WCHAR own[kCapsPaperNameChars] = {};
    if (ResLoadString(context, model, own, kCapsPaperNameChars, FALSE) > 0 && lstrcmpiW(own, name) == 0) named = paper;
    POINT size{};
    if (sized && !ofSize && DescValueMetric(value, &size.x, &size.y) && std::abs(size.x - form.x) <= kSizeSlack &&
        std::abs(size.y - form.y) <= kSizeSlack)
      ofSize = paper;
  });
  return named ? named : ofSize;
}

int CapsListResolutions(DriverContext* context, LONG* out, int mode) {
  ListRecord list;
  if (FindList(context, kItemDstResolutionW, list)) {
    ResolutionList found(out, mode);
    ForEachValue(context, list, true, [&](const DescValue*, WORD model, int) {
      found.AddDpi(OptModelToRawValue(context, list.row, model));
    });
    if (found.count() > 0) return found.count();
  } else if (context && context->description &&
             DescUiKind(DescGetNodeType(kItemDstResolutionW, context)) == kUiNumeric) {
    ResolutionList found(out, mode);
    if (FindList(context, kItemDstResolutionBoth, list)) {
      ForEachValue(context, list, true, [&](const DescValue*, WORD model, int) {
        found.AddId(OptModelToRawValue(context, list.row, model));
      });
    }
    if (found.count() == 0) {
      if (const DWORD current = OptGetValue(context, kItemDstResolutionW)) found.AddDpi(current);
    }
    if (found.count() > 0) return found.count();
  }
  ResolutionList fallback(out, mode);
  fallback.AddDpi(ContextModelDefaults(context).defaultResolution);
  return fallback.count();
}

const CapsResolutionRow* CapsFindResolution(WORD id) {
  if (id == 0) return nullptr;
  for (const CapsResolutionRow* row = CapsGetResolutionTable(); row->id != 0; ++row)
    if (row->id == id) return row;
  return nullptr;
}

WORD CapsResolutionIdFromDpi(WORD x, WORD y) {
  for (const CapsResolutionRow* row = CapsGetResolutionTable(); row->id != 0; ++row)
    if (row->xDpi == x && row->yDpi == y) return row->id;
  return 0;
}

const CapsResolutionRow* CapsResolutionFromXDpi(WORD x) {
  for (const CapsResolutionRow* row = CapsGetResolutionTable(); row->id != 0; ++row)
    if (row->xDpi == x) return row;
  return nullptr;
}

BOOL OptHasDeviceInfo(DriverContext* context) { return OptGetValue(context, kItemSourceOptionTypeDuplex) != 0; }

BOOL OptIsItemPresent(DriverContext* context, WORD item) {
  const DescNode* node = context && context->description ? DescLookupNode(item, context) : nullptr;
  return node && DescNodeType(node) != kUiTypeUnknown;
}

BOOL CapsSetItem(DWORD, WORD item, DWORD value, DriverContext* context) { return OptSetValue(context, item, value); }
