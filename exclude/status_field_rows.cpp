// The status rows of numbers: a field table says where each item sits in the record, which item
// switches the row on (its word at +28), and how the row is verified; small row-specific checks
// come before the generic write.
#include <algorithm>
#include <iterator>

#include "data/item_ids.h"
#include "exclude/api_model_tests.h"
#include "exclude/status_handlers.h"
#include "settings/constraints/eval.h"
#include "settings/description/access.h"
#include "settings/description/parse_result.h"
#include "settings/devmode/item_checks.h"
#include "settings/devmode/paper_geometry.h"
#include "settings/items/store.h"
#include "settings/items/unit_conversion.h"
#include "settings/persistence/options.h"
#include "settings/persistence/user_lists.h"
#include "settings/services/device_caps.h"
#include "settings/services/feature_test.h"

namespace {

constexpr DWORD kRecordBytes = 32;
constexpr DWORD kSwitchOffset = 28;
constexpr DWORD kSameAsSourcePaper = 1024;
constexpr DWORD kScratchStampValue = 256;

enum FieldForm : BYTE {
  kFormValue,
  kFormMargin,      // 1200-dpi dots in the item, 0.1 mm in the record (0 while item 70 is off)
  kFormStampIndex,  // the stamp index + 1 in the record; 256 stays 256
  kFormResolution,  // item 248 when the model pairs resolutions, else item 42 as a resolution id
};

enum VerifyForm : BYTE {
  kVerifyFields,        // every field equals its item
  kVerifySwitch,        // a switch word of 0 passes, else the switch item is on
  kVerifySwitchFields,  // the same, then every field equals its item
  kVerifyPaper,         // item 8, and the custom size for the custom paper
  kVerifyNone,
};

struct FieldSpec {
  BYTE offset;
  WORD item;
  FieldForm form;
};

struct FieldLayout {
  DWORD row;
  WORD switchItem;   // 0: none
  bool switchWord;   // the record carries the switch at +28
  VerifyForm verify;
  DWORD dmFieldsBit; // marked in dmFields on a set
  FieldSpec fields[4];
};

constexpr FieldLayout kLayouts[] = {
    {2, 0, false, kVerifyFields, DM_DEFAULTSOURCE, {{4, kItemDefaultSource, kFormValue}}},
    {3, 0, false, kVerifyFields, 0, {{4, kItemVdmMediaType, kFormValue}}},
    {4, 0, false, kVerifyFields, 0, {{4, kItemOutputTrayID, kFormValue}}},
    {5, 0, false, kVerifyFields, DM_COLOR, {{4, kItemColor, kFormValue}}},
    {6, 0, false, kVerifyFields, DM_ORIENTATION, {{4, kItemOrientation, kFormValue}}},
    {7, 0, false, kVerifyPaper, 0,
     {{4, kItemPaperSize, kFormValue}, {8, kItemPaperWidth, kFormValue}, {12, kItemPaperLength, kFormValue}}},
    {8, 0, false, kVerifyFields, 0, {{4, kItemOutPaperSize, kFormValue}}},
    {9, 0, false, kVerifyFields, DM_COPIES, {{4, kItemCopies, kFormValue}}},
    {11, kItemFuncSelectScale, true, kVerifySwitch, 0,
     {{4, kItemScaleType, kFormValue}, {8, kItemScaleH, kFormValue}, {12, kItemScaleV, kFormValue}}},
    {12, kItemFuncSelectCover, true, kVerifySwitchFields, 0,
     {{4, kItemCoverType, kFormValue}, {8, kItemCoverInputTray, kFormValue}}},
    {13, kItemFuncSelectMark, true, kVerifySwitchFields, 0,
     {{4, kItemMarkPaperType, kFormValue}, {8, kItemMPInputTray, kFormValue}}},
    {14, kItemFuncSelectNup, true, kVerifySwitch, 0, {{4, kItemNUPType, kFormValue}}},
    {15, kItemFuncSelectDuplex, true, kVerifySwitch, 0,
     {{4, kItemDuplexType, kFormValue}, {8, kItemMarginOdd, kFormMargin}, {12, kItemMarginEven, kFormMargin}}},
    {17, kItemFuncSelectWaterMark, true, kVerifyNone, 0, {{4, kItemWmID, kFormStampIndex}}},
    {18, kItemFuncSelectMargin, false, kVerifySwitch, 0,
     {{4, kItemSimplexBindType, kFormValue}, {8, kItemBindMargin, kFormMargin}, {12, kItemBindMargin2, kFormMargin}}},
    {19, kItemFuncSelectSort, true, kVerifySwitch, 0, {{4, kItemSortType, kFormValue}}},
    {20, kItemFuncSelectStaple, true, kVerifySwitch, 0, {{4, kItemStapleType, kFormValue}}},
    {21, kItemFuncSelectPunch, true, kVerifySwitch, 0, {{4, kItemPunchType, kFormValue}}},
    {22, 0, false, kVerifyFields, 0, {{4, kItemExtOutputDirection, kFormValue}}},
    {23, 0, false, kVerifyFields, 0, {{4, kItemExtOutputOrderly, kFormValue}}},
    {24, 0, false, kVerifyFields, 0, {{4, kItemExtOutputWhitePaper, kFormValue}}},
    {25, 0, false, kVerifyFields, 0, {{4, kItemEmulation, kFormValue}}},
    {27, 0, false, kVerifyFields, 0, {{4, 182, kFormValue}}},
    {28, 0, false, kVerifyFields, 0, {{4, kItemPaperRotation, kFormValue}}},
    {29, 0, false, kVerifyFields, 0, {{4, kItemActionMarge, kFormValue}}},
    {30, 0, false, kVerifyFields, 0, {{4, kItemActionProof, kFormValue}}},
    {31, 0, false, kVerifyFields, 0, {{4, kItemActionSecurity, kFormValue}}},
    {32, 0, false, kVerifyFields, 0, {{4, kItemActionStored, kFormValue}}},
    {33, 0, false, kVerifyFields, 0, {{4, kItemActionOverlay, kFormValue}}},
    {34, 0, false, kVerifyNone, 0, {{4, kItemDstResolutionBoth, kFormResolution}}},
    {35, 0, false, kVerifyFields, 0,
     {{4, kItemPlaneUseCMYKCyan, kFormValue}, {8, kItemPlaneUseCMYKMagenta, kFormValue},
      {12, kItemPlaneUseCMYKYellow, kFormValue}, {16, kItemPlaneUseCMYKBlack, kFormValue}}},
};

const FieldLayout* FindLayout(DWORD row) {
  for (const FieldLayout& layout : kLayouts)
    if (layout.row == row) return &layout;
  return nullptr;
}

template <class Visit>
void ForEachField(const FieldLayout& layout, Visit visit) {
  for (const FieldSpec& field : layout.fields)
    if (field.item != 0) visit(field);
}

DWORD Get(StatusCall& call, WORD item) { return OptGetValue(call.context, item); }

bool IsActionItem(WORD item) { return item >= kItemFirstAction && item <= kItemLastAction; }

// The model pairs resolutions when item 42 is a range: the resolution is then item 248's id.
bool PairsResolutions(StatusCall& call) {
  return DescGetNodeKind(kItemDstResolutionW, call.context) == kUiNumeric;
}

LONG GetResolution(StatusCall& call) {
  if (PairsResolutions(call)) {
    const DWORD id = Get(call, kItemDstResolutionBoth);
    return id != 0 ? static_cast<LONG>(id) : -1;
  }
  const WORD id = CapsResolutionIdFromDpi(static_cast<WORD>(Get(call, kItemDstResolutionW)),
                                          static_cast<WORD>(Get(call, kItemDstResolutionH)));
  return id != 0 ? id : -1;
}

DWORD GetField(StatusCall& call, const FieldSpec& field) {
  const DWORD value = Get(call, field.item);
  switch (field.form) {
    case kFormMargin:
      return Get(call, kItemFuncSelectMargin) != 0 ? DmDotsToUnits(kUnitTenthMm, value, kSettingsDpi) : 0;
    case kFormStampIndex: return value == kScratchStampValue ? value : value + 1;
    case kFormResolution: return static_cast<DWORD>(GetResolution(call));
    default: return value;
  }
}

// ---- Row-specific checks before the write ------------------------------------------------------

// Row 7: the custom paper's size must lie within the model's custom range.
bool CustomSizeFits(StatusCall& call, const BYTE* record) {
  LONG width = static_cast<LONG>(RecordLoad(record, 8));
  LONG length = static_cast<LONG>(RecordLoad(record, 12));
  const LONG askedWidth = width, askedLength = length;
  if (width <= 0 || length <= 0) return false;
  DmHoldCustomSize(call.context, &length, &width);
  return width == askedWidth && length == askedLength;
}

// Row 12: under booklet duplex (types 17..19) the cover type must be a usable model value of item
// 141; a cover type of 3 that the model check answers "hidden" is let through.
bool CoverTypeFits(StatusCall& call, DWORD coverType) {
  DriverContext* context = call.context;
  const DWORD duplexType = Get(call, kItemDuplexType);
  if (Get(call, kItemFuncSelectDuplex) == 0 || duplexType < 17 || duplexType > 19) return true;
  if (coverType == 3 &&
      CondCheckValue(OptFindItem(context->itemTable, kItemCoverType), kItemCoverType, 3, context) == kValueHidden)
    return true;
  const DWORD model = ApiFindValueByDevmodeValue(context, kItemCoverType, coverType);
  return model != 0 && ApiIsItemUsable(context, kItemCoverType, model, kApiUsableNotDisabled | kApiUsableNotHidden);
}

// Rows 20 and 21: the position is set with the switch on, on a copy of the devmode, and must
// survive the constraints' rules.
bool PositionSurvives(StatusCall& call, WORD switchItem, WORD positionItem, DWORD position) {
  DriverContext* context = call.context;
  BYTE* copy = ApiSnapshotDevmode(context);
  if (!copy) return false;
  OptSetValue(context, switchItem, 1);
  OptSetValue(context, positionItem, position);
  CondApplyNodeRules(DescGetNode(switchItem, context), context);
  CondApplyNodeRules(DescGetNode(positionItem, context), context);
  const bool kept = Get(call, switchItem) != 0 && Get(call, positionItem) == position;
  ApiRestoreDevmode(context, copy, TRUE);
  return kept;
}

// Row 17: the watermark of stamp index + 1, or the scratch stamp (256) when one is stored.
int SetStampIndex(StatusCall& call, DWORD value) {
  DriverContext* context = call.context;
  if (value == kScratchStampValue) {
    if (!ApiHasScratchStamp(context)) return -1;
    return LstLoadStamp(context, kScratchStampValue) ? 1 : -1;
  }
  if (value == 0 || value - 1 >= LstGetStampCount(context)) return -1;
  return LstLoadStamp(context, value - 1) ? 1 : -1;
}

int SetResolution(StatusCall& call, DWORD id) {
  DriverContext* context = call.context;
  if (PairsResolutions(call)) {
    if (!StatusCheckedSet(call, kItemDstResolutionBoth, id)) return -1;
    CondApplyNodeRules(DescGetNode(kItemDstResolutionBoth, context), context);
    return 1;
  }
  const CapsResolutionRow* resolution = id <= 0xFFFF ? CapsFindResolution(static_cast<WORD>(id)) : nullptr;
  if (!resolution || !StatusCheckedSet(call, kItemDstResolutionW, resolution->xDpi)) return -1;
  return OptSetValue(context, kItemDstResolutionH, resolution->yDpi) ? 1 : -1;
}

// Checks the row's own rules; false refuses the set.
bool RowAllows(StatusCall& call, const FieldLayout& layout, const BYTE* record) {
  const DWORD first = RecordLoad(record, 4);
  switch (layout.row) {
    case 7: return first != kStatusCustomPaper || CustomSizeFits(call, record);
    case 12: return CoverTypeFits(call, first);
    case 20:
    case 21: return PositionSurvives(call, layout.switchItem, layout.fields[0].item, first);
    case 29: return SysIsFeatureInstalled(kFeatureCountedCompanion) != FALSE;
    case 35: return first != 0 || RecordLoad(record, 8) != 0 || RecordLoad(record, 12) != 0 || RecordLoad(record, 16) != 0;
    default: return true;
  }
}

int WriteField(StatusCall& call, const FieldLayout& layout, const FieldSpec& field, const BYTE* record) {
  DWORD value = RecordLoad(record, field.offset);
  switch (field.form) {
    case kFormStampIndex: return SetStampIndex(call, value);
    case kFormResolution: return SetResolution(call, value);
    case kFormMargin: value = DmUnitsToDots(kUnitTenthMm, value, kSettingsDpi); break;
    default: break;
  }
  // The output paper "as the source paper" is always taken; a standard paper writes no size.
  if (layout.row == 8 && value == kSameAsSourcePaper) return OptSetValue(call.context, field.item, value) ? 1 : -1;
  if (layout.row == 7 && field.item != kItemPaperSize && RecordLoad(record, 4) != kStatusCustomPaper) return 1;
  return StatusCheckedSet(call, field.item, value) ? 1 : -1;
}

}  // namespace

int StatusSetFields(StatusCall& call, const BYTE* record) {
  const FieldLayout* layout = FindLayout(call.row);
  if (!layout) return -1;
  DriverContext* context = call.context;
  if (layout->switchWord && RecordLoad(record, kSwitchOffset) == 0)
    return OptSetValue(context, layout->switchItem, 0) ? 1 : -1;
  if (!RowAllows(call, *layout, record)) return -1;
  // Row 12 writes the cover tray before the cover type.
  if (layout->row == 12 && WriteField(call, *layout, layout->fields[1], record) != 1) return -1;
  int result = 1;
  ForEachField(*layout, [&](const FieldSpec& field) {
    if (result != 1 || (layout->row == 12 && field.offset == 8)) return;
    result = WriteField(call, *layout, field, record);
    if (result == 1 && IsActionItem(field.item)) call.pending.actionItem = field.item;
  });
  if (result != 1) return -1;
  if (layout->dmFieldsBit) OptSetValue(context, kItemFields, Get(call, kItemFields) | layout->dmFieldsBit);
  if (layout->switchItem && !OptSetValue(context, layout->switchItem, 1)) return -1;
  return 1;
}

int StatusVerifyFields(StatusCall& call, const BYTE* record) {
  const FieldLayout* layout = FindLayout(call.row);
  if (!layout) return -1;
  const auto fieldsEqual = [&] {
    bool equal = true;
    ForEachField(*layout, [&](const FieldSpec& field) {
      if (Get(call, field.item) != RecordLoad(record, field.offset)) equal = false;
    });
    return equal;
  };
  const bool switchedOff = RecordLoad(record, kSwitchOffset) == 0;
  switch (layout->verify) {
    case kVerifyFields: return fieldsEqual() ? 1 : -1;
    case kVerifySwitch: return switchedOff || Get(call, layout->switchItem) != 0 ? 1 : -1;
    case kVerifySwitchFields:
      if (switchedOff) return 1;
      return Get(call, layout->switchItem) != 0 && fieldsEqual() ? 1 : -1;
    case kVerifyPaper:
      if (Get(call, kItemPaperSize) != RecordLoad(record, 4)) return -1;
      if (RecordLoad(record, 4) != kStatusCustomPaper) return 1;
      return fieldsEqual() ? 1 : -1;
    default: return 1;
  }
}

LONG StatusGetFields(StatusCall& call, BYTE* record) {
  const FieldLayout* layout = FindLayout(call.row);
  if (!layout) return -1;
  if (!record) return kRecordBytes;
  ForEachField(*layout, [&](const FieldSpec& field) { RecordStore(record, field.offset, GetField(call, field)); });
  if (layout->switchWord) RecordStore(record, kSwitchOffset, Get(call, layout->switchItem));
  return kRecordBytes;
}
