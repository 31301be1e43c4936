#include "settings/description/access.h"

#include <atomic>
#include <utility>

#include "data/item_ids.h"
#include "settings/constraints/eval.h"
#include "settings/items/store.h"
#include "settings/context/memory.h"
#include "settings/services/string_convert.h"

namespace {

constexpr DWORD kPortrait = 1;
constexpr DWORD kLandscape = 2;

const DescConditionHooks kLibraryHooks = {CondIsDisabled, CondIsHidden, CondEvaluate};
std::atomic<const DescConditionHooks*> g_hooks{&kLibraryHooks};

const DescConditionHooks& Hooks() { return *g_hooks.load(std::memory_order_acquire); }

const ModelDescription* Description(const DriverContext* context) { return context ? context->description : nullptr; }

bool IsDisabled(const DescNode* node, DWORD value, DriverContext* context) {
  return Hooks().isDisabled(node, value, context) != FALSE;
}
bool IsHidden(const DescNode* node, DWORD value, DriverContext* context) {
  return Hooks().isHidden(node, value, context) != FALSE;
}
// A record that exists and is neither disabled nor hidden.
bool Usable(const DescNode* node, DriverContext* context) {
  return node && !IsDisabled(node, 0, context) && !IsHidden(node, 0, context);
}

// The list kinds whose values the checks look up (a font table allows any value).
bool IsCheckedList(WORD kind) { return kind == kUiPickOne || kind == kUiPickPage || kind == kUiPickSlot; }

// The n-up kind of a layout (a stored value of item 95): 2, 4, 9 and 16 pages a sheet are kinds
// 1 to 4, the poster layouts above 0x8000 kind 9; 0 leaves the kind as it is.
DWORD NupKindOf(DWORD layout) {
  if (layout >= 1 && layout <= 31) return 1;
  if (layout >= 33 && layout <= 63) return 2;
  if (layout >= 65 && layout <= 95) return 3;
  if (layout >= 97 && layout <= 127) return 4;
  if (layout >= 0x8001) return 9;
  return 0;
}

const DescValue* FindValue(const ModelDescription* d, const DescNode* node, DWORD model) {
  for (const DescValue* value = DescNodeFirstValue(d, node); value; value = DescNextValue(d, value)) {
    if (DescValueValue(value) == model) return value;
  }
  return nullptr;
}

DescFontRow* FontRows(DriverContext* context, bool cartridges, DWORD* count) {
  if (count) *count = 0;
  const ModelDescription* d = Description(context);
  const DWORD fonts = DescFontCount(d, cartridges);
  if (fonts == 0) return nullptr;
  auto* rows = static_cast<DescFontRow*>(SysAlloc(SIZE_T(fonts) * sizeof(DescFontRow)));
  if (!rows) return nullptr;
  for (DWORD i = 0; i < fonts; ++i) {
    const char* name = nullptr;
    DescFontEntry(d, cartridges, i, &rows[i].number, &name);
    if (name) StrAnsiToWide(rows[i].name, 32, name);
  }
  if (count) *count = fonts;
  return rows;
}

// The list path of the value checks up to the list itself: the model value of `value` in
// `model`, and 0 or 1 when that already decides (-1 when the list must decide).
int MapAndFind(const ItemTableRow* row, const DescNode* node, DWORD value, DriverContext* context, DWORD* model) {
  *model = value;
  if (row && row->valueMap) {
    if (!OptIsRawValueMapped(context, row, value)) return kValueNotAllowed;
    *model = OptRawToModelValue(context, row, value);
  }
  if (!DescNodeFirstValue(Description(context), node)) return *model != 0 ? kValueAllowed : kValueNotAllowed;
  return CondValueInList(node, *model, context) ? -1 : kValueNotAllowed;
}

int CheckOtherKinds(WORD kind, const DescNode* node, DWORD value, DriverContext* context) {
  if (kind == kUiBoolean || kind == kUiPickMany) return CondIsBool(value) ? kValueAllowed : kValueNotAllowed;
  if (kind == kUiNumeric) return CondValueInRange(node, LONG(value), context) ? kValueAllowed : kValueNotAllowed;
  return kValueAllowed;
}

// The on/off item that governs whether the values of a finishing item can be disabled.
WORD OnOffItemOf(WORD itemId) {
  switch (itemId) {
    case kItemDuplexType: return kItemFuncSelectDuplex;
    case kItemStapleType: return kItemFuncSelectStaple;
    case kItemPunchType: return kItemFuncSelectPunch;
    default: return 0;
  }
}

}  // namespace

void DescSetConditionHooks(const DescConditionHooks* hooks) {
  g_hooks.store(hooks ? hooks : &kLibraryHooks, std::memory_order_release);
}

LONG DescEvaluateCondition(DriverContext* context, const DescProgram* program) {
  return program ? Hooks().evaluate(context, program) : 0;
}

// ---- Records --------------------------------------------------------------------------------

const DescNode* DescLookupNode(WORD itemId, DriverContext* context) {
  const ModelDescription* d = Description(context);
  if (!d || itemId == kItemNone) return nullptr;
  if (DescHeaderSlotOfItem(itemId) >= 0) return DescSlotNode(d, itemId);
  for (const DescNode* node = DescFirstNode(d); node; node = DescNextNode(d, node)) {
    if (DescNodeItemId(node) == itemId) return node;
  }
  return nullptr;
}

const DescNode* DescGetNode(WORD itemId, DriverContext* context) { return DescLookupNode(itemId, context); }

const DescNode* DescGetRowNode(DriverContext* context, const ItemTableRow* row) {
  return row ? DescLookupNode(row->id, context) : nullptr;
}

const DescNode* DescFindNodeByKey(WORD key, DriverContext* context) {
  const ModelDescription* d = Description(context);
  for (const DescNode* node = DescFirstNode(d); node; node = DescNextNode(d, node)) {
    if (DescNodeKey(node) == key) return node;
  }
  return nullptr;
}

const DescNode* DescFindExtraNode(WORD key, DriverContext* context) { return DescFindNodeByKey(key, context); }

WORD DescGetNodeKind(WORD itemId, DriverContext* context, const DescNode** node) {
  const DescNode* found = DescLookupNode(itemId, context);
  if (node) *node = found;
  return DescUiKind(DescNodeType(found));
}

WORD DescGetNodeType(WORD itemId, DriverContext* context) { return DescNodeType(DescLookupNode(itemId, context)); }

// ---- Values ---------------------------------------------------------------------------------

const DescValue* DescGetValueList(WORD itemId, DriverContext* context, WORD* defaultIndex) {
  const DescNode* node = DescLookupNode(itemId, context);
  if (defaultIndex) *defaultIndex = DescIsListBlock(DescNodeBlockKind(node)) ? DescNodeDefaultIndex(node) : 0;
  return DescNodeFirstValue(Description(context), node);
}

int DescGetValueCount(WORD itemId, DriverContext* context) {
  const DescNode* node = nullptr;
  const WORD kind = DescGetNodeKind(itemId, context, &node);
  if (!node) return -1;
  if (kind == kUiBoolean || kind == kUiNumeric || kind == kUiString) return 0;
  const ModelDescription* d = Description(context);
  int count = 0;
  for (const DescValue* value = DescNodeFirstValue(d, node); value; value = DescNextValue(d, value)) ++count;
  return count;
}

LONG DescGetDefaultValue(WORD itemId, DriverContext* context) {
  const ModelDescription* d = Description(context);
  const DescNode* node = DescLookupNode(itemId, context);
  switch (DescNodeType(node) & 0xFF) {
    case kUiPickOne: {
      WORD index = DescNodeDefaultIndex(node);
      const DescValue* value = DescNodeFirstValue(d, node);
      for (; value && index > 0; --index) value = DescNextValue(d, value);
      return DescValueValue(value);
    }
    case kUiBoolean: {
      DescBooleanView block{};
      return DescNodeBoolean(d, node, &block) ? block.defaultValue : 0;
    }
    case kUiNumeric: {
      DescRange range{};
      return DescNodeRange(d, node, &range) ? range.defaultValue : 0;
    }
    case kUiString: {
      DescStringBlock block{};
      return DescNodeString(d, node, &block) ? block.defaultValue : 0;
    }
    default: return 0;
  }
}

const WCHAR* DescGetLangFileBase(DriverContext* context) { return DescUiResDllName(Description(context)); }

// ---- Fonts ----------------------------------------------------------------------------------

DescFontRow* DescGetDeviceFonts(DriverContext* context, DWORD* count) { return FontRows(context, false, count); }

DescFontRow* DescGetFontCartridges(DriverContext* context, DWORD* count) { return FontRows(context, true, count); }

DescFontSubstitute* DescGetFontSubstitutes(DriverContext* context, DWORD* count) {
  if (count) *count = 0;
  const ModelDescription* d = Description(context);
  for (const DescNode* node = DescFirstNode(d); node; node = DescNextNode(d, node)) {
    if (DescUiKind(DescNodeType(node)) != kUiFontTbl) continue;
    for (const DescValue* value = DescNodeFirstValue(d, node); value; value = DescNextValue(d, value)) {
      const DWORD pairs = DescValueFontPairCount(value);
      if (pairs == 0) continue;
      auto* rows = static_cast<DescFontSubstitute*>(SysAlloc(SIZE_T(pairs) * sizeof(DescFontSubstitute)));
      if (!rows) return nullptr;
      for (DWORD i = 0; i < pairs; ++i) {
        const char* first = nullptr;
        const char* second = nullptr;
        DescValueFontPair(d, value, i, &first, &second);
        if (first) StrAnsiToWide(rows[i].trueType, 32, first);
        if (second) StrAnsiToWide(rows[i].device, 32, second);
      }
      if (count) *count = pairs;
      return rows;
    }
  }
  return nullptr;
}

// ---- Paper ------------------------------------------------------------------------------------

BOOL DescGetPaperSize(DriverContext* context, LONG* width, LONG* length) {
  LONG w = 0, l = 0;
  const DescValue* paper = FindValue(Description(context), DescLookupNode(kItemPaperSize, context),
                                     OptGetModelValueById(context, kItemPaperSize));
  const BOOL found = DescValueMetric(paper, &w, &l);
  if (found && OptGetValue(context, kItemOrientation) == kLandscape) std::swap(w, l);
  if (width) *width = w;
  if (length) *length = l;
  return found;
}

BOOL DescFindPaperArea(DriverContext* context, WORD paperKey, RECT* area, LONG extra[2]) {
  const ModelDescription* d = Description(context);
  const DescValue* paper = FindValue(d, DescLookupNode(kItemPaperSize, context), paperKey);
  if (!paper) return FALSE;
  const DWORD resolution = OptGetModelValueById(context, kItemDstResolutionW);
  const DWORD orientation = OptGetModelValueById(context, kItemOrientation);
  auto fits = [&](const DescPaperRecord& record, bool sameOrientation) {
    return record.resolution == resolution && (!sameOrientation || record.orientation == orientation) &&
           (record.conditionItem == kItemNone ||
            OptGetModelValueById(context, record.conditionItem) == record.conditionValue);
  };
  for (const bool sameOrientation : {true, false}) {
    for (const DescPaper* p = DescValueFirstPaper(d, paper); p; p = DescNextPaper(d, p)) {
      DescPaperRecord r{};
      DescReadPaper(p, &r);
      if (!fits(r, sameOrientation)) continue;
      // A record of another orientation serves turned: its axes swap.
      const RECT found = sameOrientation ? RECT{r.left, r.top, r.left + r.width, r.top + r.length}
                                         : RECT{r.top, r.left, r.top + r.length, r.left + r.width};
      if (area) *area = found;
      if (extra) {
        extra[0] = sameOrientation ? r.a : r.b;
        extra[1] = sameOrientation ? r.b : r.a;
      }
      return TRUE;
    }
  }
  return FALSE;
}

// ---- Values under the constraints ---------------------------------------------------------------

LONG CondEvalEntry(WORD key, WORD value, DriverContext* context) {
  const ModelDescription* d = Description(context);
  for (const DescConditions* block = DescFirstConditions(d); block;) {
    DescConditionsView view{};
    DescReadConditions(d, block, &view);
    if (view.key != key) {
      block = view.next;
      continue;
    }
    const DescProgram* program = view.disabled;
    if (value != 0) {
      program = nullptr;
      for (const DescItemValue* entry = view.values; entry;) {
        DescItemValueView item{};
        DescReadItemValue(d, entry, &item);
        if (item.value == value) {
          program = item.disabled;
          break;
        }
        entry = item.next;
      }
    }
    return program ? Hooks().evaluate(context, program) : 0;
  }
  return -1;
}

BOOL CondValueInList(const DescNode* node, DWORD model, DriverContext* context) {
  return FindValue(Description(context), node, model) != nullptr;
}

BOOL CondIsBool(DWORD value) { return value == 0 || value == 1; }

BOOL CondValueInRange(const DescNode* node, LONG value, DriverContext* context) {
  DescRange range{};
  return DescNodeRange(Description(context), node, &range) && range.minimum <= value && value <= range.maximum;
}

int CondCheckValue(const ItemTableRow* row, WORD itemId, DWORD value, DriverContext* context) {
  const DescNode* node = nullptr;
  const WORD kind = DescGetNodeKind(itemId, context, &node);
  if (node && !IsCheckedList(kind)) return CheckOtherKinds(kind, node, value, context);
  DWORD model = 0;
  if (const int decided = MapAndFind(row, node, value, context, &model); decided >= 0) return decided;

  if (itemId == kItemNUPType) {
    // The n-up kind follows the layout chosen, and a 2-up layout its orientation's variant.
    if (Usable(DescLookupNode(kItemFuncSelectNup, context), context) && OptGetValue(context, kItemFuncSelectNup) != 0) {
      const DWORD nupKind = NupKindOf(value);
      const DWORD twoUp = OptGetValue(context, kItemOrientation) == kPortrait ? 1 : 3;
      if (nupKind != 0 && nupKind != OptGetValue(context, kItemNUPPOSTKind)) {
        OptSetValue(context, kItemNUPPOSTKind, nupKind);
        if (nupKind == 1) OptSetValue(context, kItemNUPType, twoUp);
      }
      if (nupKind == 1 && IsDisabled(node, model, context)) OptSetValue(context, kItemNUPType, twoUp);
    }
    return kValueAllowed;
  }
  if (const WORD onOff = OnOffItemOf(itemId)) {
    if (!Usable(DescLookupNode(onOff, context), context)) return kValueAllowed;
    return OptGetValue(context, onOff) != 0 && IsDisabled(node, model, context) ? kValueDisabled : kValueAllowed;
  }
  if (IsDisabled(node, model, context)) return kValueDisabled;
  return IsHidden(node, model, context) ? kValueHidden : kValueAllowed;
}

int CondIsValueAllowed(const ItemTableRow* row, WORD itemId, DWORD value, DriverContext* context) {
  const DescNode* node = nullptr;
  const WORD kind = DescGetNodeKind(itemId, context, &node);
  if (node && !IsCheckedList(kind)) return CheckOtherKinds(kind, node, value, context);
  DWORD model = 0;
  if (const int decided = MapAndFind(row, node, value, context, &model); decided >= 0) return decided;
  return IsDisabled(node, model, context) ? kValueNotAllowed : kValueAllowed;
}
