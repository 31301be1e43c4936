#include "settings/devmode/item_checks.h"

#include "data/item_ids.h"
#include "settings/description/access.h"
#include "settings/devmode/item_defaults.h"
#include "settings/items/saved_settings_values.h"
#include "settings/items/store.h"
#include "settings/persistence/user_lists.h"

namespace {


// Set while a devmode's summary record drives the merge: a scale outside the model's range then
// keeps the nearest value the model allows instead of falling back to the default.
constexpr DWORD kMergeKeepNearestScale = 0x40000000;

// A default of item 41 resets it to a stored index below this, or to none.
constexpr DWORD kPresetIndexLimit = 128;

// Model values of item 188: 135..142 the quality sets 0..7.
constexpr LONG kQualityModelBase = 135;
constexpr LONG kQualitySetCount = 8;

// What the model can say about an item before any value is looked at: kCheckNoKey or
// kCheckHidden when it cannot judge it, else 0 with the item's row and record.
int ModelCanJudge(WORD item, DriverContext* context, ItemTableRow** row, const DescNode** node) {
  *row = context && context->itemTable ? OptFindItem(context->itemTable, item) : nullptr;
  *node = nullptr;
  if (!*row || (*row)->key == 0) return kCheckNoKey;
  *node = DescLookupNode(item, context);
  if (!*node || DescNodeType(*node) == kUiTypeUnknown) return kCheckHidden;
  return 0;
}

bool ModelAllows(ItemTableRow* row, WORD item, DWORD value, DriverContext* context) {
  const int answer = CondCheckValue(row, item, value, context);
  return answer == kValueAllowed || answer == kValueHidden;
}

// The side-effect-free model test; a list item also takes any value its map knows.
bool ModelAllowsQuietly(ItemTableRow* row, const DescNode* node, WORD item, DWORD value, DriverContext* context) {
  if (CondIsValueAllowed(row, item, value, context) == kValueAllowed) return true;
  return row->valueMap && (DescNodeType(node) & (kUiPickOne | kUiPickMany)) &&
         OptIsRawValueMapped(context, row, value);
}

// Items 92 and 93 under kMergeKeepNearestScale: the value clamped into the Numeric record's range.
bool ClampScale(DriverContext* context, ItemTableRow* row, const DescNode* node, DWORD value) {
  if (row->id != kItemScaleH && row->id != kItemScaleV) return false;
  if (!context->work || !(context->work->mergeFlags & kMergeKeepNearestScale)) return false;
  if (DescUiKind(DescNodeType(node)) != kUiNumeric) return false;
  DescRange range{};
  if (!DescNodeRange(context->description, node, &range) || range.minimum > range.maximum) return false;
  LONG clamped = static_cast<LONG>(value);
  if (clamped < range.minimum) clamped = range.minimum;
  if (clamped > range.maximum) clamped = range.maximum;
  OptWriteRaw(context, row, static_cast<DWORD>(clamped));
  return true;
}

void Repair(DriverContext* context, ItemTableRow* row, const DescNode* node, DWORD value) {
  if (!ClampScale(context, row, node, value)) OptResetToDefault(context, row);
}

int CheckItem(WORD item, DWORD value, DriverContext* context, bool quiet) {
  ItemTableRow* row = nullptr;
  const DescNode* node = nullptr;
  if (const int cannot = ModelCanJudge(item, context, &row, &node)) return cannot;
  const bool allowed =
      quiet ? ModelAllowsQuietly(row, node, item, value, context) : ModelAllows(row, item, value, context);
  // A repaired item counts as accepted: it now holds a value the model gave.
  if (!allowed) Repair(context, row, node, value);
  return kCheckAccepted;
}

int CheckValue(WORD item, DWORD value, DriverContext* context, bool quiet) {
  ItemTableRow* row = nullptr;
  const DescNode* node = nullptr;
  if (const int cannot = ModelCanJudge(item, context, &row, &node)) return cannot;
  const bool allowed =
      quiet ? ModelAllowsQuietly(row, node, item, value, context) : ModelAllows(row, item, value, context);
  return allowed ? kCheckAccepted : kCheckRejected;
}

// A field validator: the model's word when it has one, else the built-in set (none: refused).
BOOL ValidateWith(WORD item, const DmValueSet* builtIn, LONG value, DriverContext* context) {
  switch (OptCheckValue(item, static_cast<DWORD>(value), context)) {
    case kCheckAccepted: return TRUE;
    case kCheckNoKey:
    case kCheckHidden: return builtIn && DmValueSetHas(*builtIn, value);
    default: return FALSE;
  }
}

struct FieldValidator {
  WORD item;
  const DmValueSet* builtIn;  // null: only the model accepts
};

const FieldValidator kFieldValidators[] = {
    {7, &kValueSet_orientation}, {8, nullptr},           {13, &kValueSet_source},    {14, &kValueSet_print_quality},
    {15, &kValueSet_color},      {16, &kValueSet_duplex}, {18, &kValueSet_tt_option}, {27, &kValueSet_icm_method},
    {28, &kValueSet_icm_intent}, {29, &kValueSet_media},  {30, &kValueSet_dither},
};

}  // namespace

int OptCheckItemValue(WORD item, DWORD value, DriverContext* context) { return CheckItem(item, value, context, false); }

int OptCheckValue(WORD item, DWORD value, DriverContext* context) { return CheckValue(item, value, context, false); }

int OptCheckItemValueQuiet(WORD item, DWORD value, DriverContext* context) {
  return CheckItem(item, value, context, true);
}

int OptCheckValueQuiet(WORD item, DWORD value, DriverContext* context) { return CheckValue(item, value, context, true); }

BOOL OptResetToDefault(DriverContext* context, ItemTableRow* row) {
  if (!context || !row) return FALSE;
  if (IsByteType(DescriptorType(row->descriptor))) return OptWriteBytes(context, row, nullptr, 0);
  const DWORD model = static_cast<DWORD>(DescGetDefaultValue(row->id, context));
  if (row->id == kItemPresetNo) {
    DWORD preset = (model - kPresetFirstValue) & 0xFF;
    if (preset >= kPresetIndexLimit && preset != kPresetNoneIndex) preset = 0;
    return OptWriteRaw(context, row, preset);
  }
  return OptSetModelValue(context, row, model);
}

// ---- Field validators ---------------------------------------------------------------------------

BOOL OptValidateField(WORD item, LONG value, DriverContext* context) {
  for (const FieldValidator& validator : kFieldValidators) {
    if (validator.item == item) return ValidateWith(item, validator.builtIn, value, context);
  }
  return FALSE;
}

BOOL OptValidateDefaultSource(LONG value, DriverContext* context) { return OptValidateField(13, value, context); }
BOOL OptValidateOrientation(LONG value, DriverContext* context) { return OptValidateField(7, value, context); }
BOOL OptValidatePaperSize(LONG value, DriverContext* context) { return OptValidateField(8, value, context); }
BOOL OptValidatePrintQuality(LONG value, DriverContext* context) { return OptValidateField(14, value, context); }
BOOL OptValidateDuplex(LONG value, DriverContext* context) { return OptValidateField(16, value, context); }
BOOL OptValidateColor(LONG value, DriverContext* context) { return OptValidateField(15, value, context); }
BOOL OptValidateTTOption(LONG value, DriverContext* context) { return OptValidateField(18, value, context); }
BOOL OptValidateIcmMethod(LONG value, DriverContext* context) { return OptValidateField(27, value, context); }
BOOL OptValidateIcmIntent(LONG value, DriverContext* context) { return OptValidateField(28, value, context); }
BOOL OptValidateMediaType(LONG value, DriverContext* context) { return OptValidateField(29, value, context); }
BOOL OptValidateDitherType(LONG value, DriverContext* context) { return OptValidateField(30, value, context); }

// ---- Paper predicates ---------------------------------------------------------------------------

BOOL OptIsPaper1024(LONG value, DriverContext*) { return value == 1024; }

BOOL OptIsStandardPaper(LONG value, DriverContext*) { return DmValueSetHas(kValueSet_standard_paper, value); }

BOOL OptIsUserPaper(LONG value, DriverContext*) { return DmValueSetHas(kValueSet_user_paper, value); }

BOOL OptIsFreeSizePaperId(LONG value, DriverContext*) { return OptUserSizeSlotOf(value) >= 0; }

BOOL OptAcceptAnyValue(LONG, DriverContext*) { return TRUE; }

int OptUserSizeSlotOf(LONG paper) { return paper < 0 ? -1 : LstPaperToFreeSizeSlot(static_cast<DWORD>(paper)); }

int OptGetUserSizeSlot(DriverContext* context, WORD item) {
  if (item != kItemPaperSize && item != kItemOutPaperSize) return -1;
  return OptUserSizeSlotOf(static_cast<LONG>(OptGetValue(context, item)));
}

// ---- User list indexes --------------------------------------------------------------------------

int LstGetStampIndex(DriverContext* context) {
  if (OptGetValue(context, kItemFuncSelectWaterMark) == 0) return -1;
  return static_cast<int>(OptGetValue(context, kItemWmID));
}

int LstGetQualityIndex(DriverContext* context) {
  if (OptGetValue(context, kItemQualityListUse) != 1) return -1;
  const LONG index = static_cast<LONG>(OptGetModelValueById(context, kItemQualityListNo)) - kQualityModelBase;
  return index >= 0 && index < kQualitySetCount ? static_cast<int>(index) : -1;
}
