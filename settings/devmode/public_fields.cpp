#include "settings/devmode/public_fields.h"

#include <algorithm>
#include <limits>

#include "data/item_ids.h"
#include "settings/constraints/eval.h"
#include "settings/description/access.h"
#include "settings/devmode/merge.h"
#include "settings/devmode/item_checks.h"
#include "settings/devmode/item_defaults.h"
#include "settings/devmode/paper_geometry.h"
#include "settings/items/store.h"
#include "settings/constraints/option_availability.h"
#include "settings/constraints/condition_items.h"
#include "settings/constraints/eval.h"
#include "settings/devmode/record_build.h"
#include "settings/persistence/user_lists.h"
#include "settings/services/device_caps.h"
#include "settings/items/settings_record.h"
#include "settings/items/unit_conversion.h"

namespace {


constexpr LONG kPaperCustom = 256;
constexpr DWORD kCustomSizeFields = DM_PAPERLENGTH | DM_PAPERWIDTH;
constexpr LONG kQualityThatAlwaysFits = 600;  // DmCheckResolutionFit passes any page at 600 dpi
constexpr LONG kCollateOn = 1;

// Merge flag: the caller's resolution stands, whether or not the page fits it.
constexpr DWORD kMergeKeepResolution = 0x10000000;

// Byte offsets of the incoming DEVMODEW read outside the item rows (dmFields: kDmOffFields).
constexpr size_t kDmOffFormName = 102;
constexpr int kFormNameChars = 32;

// ---- Value sets of the validation tests ---------------------------------------------------------

constexpr LONG kMax = std::numeric_limits<LONG>::max();
constexpr LONG kMin = std::numeric_limits<LONG>::min();
constexpr DmValueRange kPositiveRanges[] = {{1, kMax}};
constexpr DmValueRange kNonZeroRanges[] = {{kMin, -1}, {1, kMax}};
constexpr DmValueRange kOrientationRanges[] = {{1, 2}};
constexpr DmValueRange kPaperRanges[] = {{1, 118}, {256, kMax}};
constexpr DmValueRange kSourceRanges[] = {{1, 15}, {256, kMax}};
constexpr DmValueRange kDraftRanges[] = {{-4, -1}};  // the draft print qualities
constexpr DmValueSet kPositive{kPositiveRanges, 1};
constexpr DmValueSet kNonZero{kNonZeroRanges, 2};
constexpr DmValueSet kOrientationValues{kOrientationRanges, 1};
constexpr DmValueSet kPaperValues{kPaperRanges, 2};
constexpr DmValueSet kSourceValues{kSourceRanges, 2};
constexpr DmValueSet kDraftValues{kDraftRanges, 1};

// ---- The field table ----------------------------------------------------------------------------

constexpr WORD kAnyNode = 0xFFFF;  // a clause that holds for a record of any kind

// One way a value passes: the item's record is of `kind`, the value lies in `values` (null: any)
// and, with `withinRange`, in the record's range.
struct Clause {
  WORD kind = 0;  // 0: an unused clause
  const DmValueSet* values = nullptr;
  bool withinRange = false;
};

enum class Check : BYTE {
  kNone,      // no validation step
  kClauses,   // kept when one of the clauses holds
  kFormName,  // kept when the item has a record and the name is not empty
  kCollate,   // follows whether collation is available
};

enum class BitChange : BYTE {
  kNone,
  kSet,
  kClear,
  kSetWhenPairPositive,  // set when the paired dimension is above 0, else cleared
};

enum class DefaultStep : BYTE {
  kNone,         // no default step
  kValue,        // the value of `value`
  kFormName,     // the model's form name, when it has one
  kYResolution,  // dmPrintQuality validated and copied, when the model describes it
};

// Where a field's default comes from: a SHORT or DWORD field of the model defaults, else a
// constant.
struct FieldDefault {
  SHORT ModelDefaults::*s16 = nullptr;
  DWORD ModelDefaults::*u32 = nullptr;
  DWORD constant = 0;
};
constexpr FieldDefault S16(SHORT ModelDefaults::*field) { return {field, nullptr, 0}; }
constexpr FieldDefault U32(DWORD ModelDefaults::*field) { return {nullptr, field, 0}; }
constexpr FieldDefault Constant(DWORD value) { return {nullptr, nullptr, value}; }

struct PublicField {
  WORD item;
  DWORD bit = 0;                   // the dmFields bit the two steps change
  Check check = Check::kNone;
  Clause clauses[4] = {};
  bool zeroStays = false;          // a value of 0 is left as it is, its bit untouched
  WORD pairedWith = 0;             // for BitChange::kSetWhenPairPositive
  BitChange onKept = BitChange::kNone;
  DefaultStep defaultStep = DefaultStep::kNone;
  FieldDefault value = {};
  BitChange onDefault = BitChange::kNone;
};

using MD = ModelDefaults;

// The thirty-four fields in DEVMODEW order; row i is item i + 1.
const PublicField kPublicFields[] = {
    {.item = 1},  // dmDeviceName: the spooler's
    {.item = 2, .check = Check::kClauses, .clauses = {{kAnyNode}}, .defaultStep = DefaultStep::kValue,
     .value = S16(&MD::specVersion)},
    {.item = 3, .check = Check::kClauses, .clauses = {{kAnyNode}}, .defaultStep = DefaultStep::kValue,
     .value = S16(&MD::driverVersion)},
    {.item = 4, .check = Check::kClauses, .clauses = {{kAnyNode}}, .defaultStep = DefaultStep::kValue,
     .value = Constant(kDmPublicSize)},
    {.item = 5, .check = Check::kClauses, .clauses = {{kAnyNode}}, .defaultStep = DefaultStep::kValue,
     .value = Constant(kDmSize - kDmPublicSize)},
    {.item = 6, .check = Check::kClauses, .clauses = {{kAnyNode}}, .defaultStep = DefaultStep::kValue,
     .value = U32(&MD::publicFieldsMask)},
    {.item = 7, .bit = DM_ORIENTATION, .check = Check::kClauses, .clauses = {{kUiPickOne, &kOrientationValues}},
     .onKept = BitChange::kSet, .defaultStep = DefaultStep::kValue, .value = S16(&MD::defaultOrientation),
     .onDefault = BitChange::kSet},
    {.item = 8, .bit = DM_PAPERSIZE, .check = Check::kClauses, .clauses = {{kUiPickPage, &kPaperValues}},
     .onKept = BitChange::kSet, .defaultStep = DefaultStep::kValue, .value = S16(&MD::defaultPaperSize),
     .onDefault = BitChange::kSet},
    {.item = 9, .bit = DM_PAPERLENGTH, .check = Check::kClauses, .clauses = {{kUiNumeric, &kPositive}},
     .zeroStays = true, .pairedWith = kItemPaperWidth, .onKept = BitChange::kSetWhenPairPositive,
     .defaultStep = DefaultStep::kValue, .value = S16(&MD::defaultPaperLength), .onDefault = BitChange::kClear},
    {.item = 10, .bit = DM_PAPERWIDTH, .check = Check::kClauses, .clauses = {{kUiNumeric, &kPositive}},
     .zeroStays = true, .pairedWith = kItemPaperLength, .onKept = BitChange::kSetWhenPairPositive,
     .defaultStep = DefaultStep::kValue, .value = S16(&MD::defaultPaperWidth), .onDefault = BitChange::kClear},
    {.item = 11, .bit = DM_SCALE, .check = Check::kClauses,
     .clauses = {{kUiNumeric, nullptr, true}, {kUiPickOne, &kPositive}}, .defaultStep = DefaultStep::kValue,
     .value = S16(&MD::defaultScale)},
    {.item = 12, .bit = DM_COPIES, .check = Check::kClauses, .clauses = {{kUiNumeric, &kPositive, true}},
     .onKept = BitChange::kSet, .defaultStep = DefaultStep::kValue, .value = S16(&MD::defaultCopies),
     .onDefault = BitChange::kSet},
    {.item = 13, .bit = DM_DEFAULTSOURCE, .check = Check::kClauses, .clauses = {{kUiPickSlot, &kSourceValues}},
     .onKept = BitChange::kSet, .defaultStep = DefaultStep::kValue, .value = S16(&MD::defaultDefaultSource),
     .onDefault = BitChange::kSet},
    {.item = 14, .bit = DM_PRINTQUALITY, .check = Check::kClauses,
     .clauses = {{kUiNumeric, nullptr, true}, {kUiPickOne, &kPositive}, {kUiPickOne, &kDraftValues},
                 {kUiNumeric, &kDraftValues}},
     .onKept = BitChange::kSet, .defaultStep = DefaultStep::kValue, .value = S16(&MD::defaultPrintQuality),
     .onDefault = BitChange::kSet},
    {.item = 15, .bit = DM_COLOR, .check = Check::kClauses, .clauses = {{kUiPickOne, &kPositive}},
     .onKept = BitChange::kSet, .defaultStep = DefaultStep::kValue, .value = S16(&MD::defaultColor)},
    {.item = 16, .bit = DM_DUPLEX, .check = Check::kClauses,
     .clauses = {{kUiPickOne, &kPositive}, {kUiBoolean, &kPositive}}, .onKept = BitChange::kSet,
     .defaultStep = DefaultStep::kValue, .value = S16(&MD::defaultDuplex), .onDefault = BitChange::kSet},
    {.item = 17, .bit = DM_YRESOLUTION, .check = Check::kClauses,
     .clauses = {{kUiNumeric, nullptr, true}, {kUiPickOne, &kPositive}}, .onKept = BitChange::kSet,
     .defaultStep = DefaultStep::kYResolution, .value = S16(&MD::defaultYResolution)},
    {.item = 18, .bit = DM_TTOPTION, .check = Check::kClauses, .clauses = {{kUiPickOne, &kPositive}},
     .onKept = BitChange::kSet, .defaultStep = DefaultStep::kValue, .value = S16(&MD::defaultTTOption),
     .onDefault = BitChange::kSet},
    {.item = 19, .bit = DM_COLLATE, .check = Check::kCollate, .defaultStep = DefaultStep::kValue,
     .value = S16(&MD::defaultCollate)},
    {.item = 20, .bit = DM_FORMNAME, .check = Check::kFormName, .onKept = BitChange::kSet,
     .defaultStep = DefaultStep::kFormName, .onDefault = BitChange::kClear},
    {.item = 21, .defaultStep = DefaultStep::kValue, .value = Constant(0)},  // dmLogPixels
    {.item = 22, .defaultStep = DefaultStep::kValue, .value = Constant(0)},  // dmBitsPerPel
    {.item = 23, .defaultStep = DefaultStep::kValue, .value = Constant(0)},  // dmPelsWidth
    {.item = 24, .defaultStep = DefaultStep::kValue, .value = Constant(0)},  // dmPelsHeight
    {.item = 25, .defaultStep = DefaultStep::kValue, .value = Constant(0)},  // dmDisplayFlags
    {.item = 26, .defaultStep = DefaultStep::kValue, .value = Constant(0)},  // dmDisplayFrequency
    {.item = 27, .bit = DM_ICMMETHOD, .check = Check::kClauses, .clauses = {{kUiPickOne, &kNonZero}},
     .onKept = BitChange::kSet, .defaultStep = DefaultStep::kValue, .value = U32(&MD::defaultIcmMethod)},
    {.item = 28, .bit = DM_ICMINTENT, .check = Check::kClauses, .clauses = {{kUiPickOne, &kNonZero}},
     .onKept = BitChange::kSet, .defaultStep = DefaultStep::kValue, .value = U32(&MD::defaultIcmIntent)},
    // A kept media type changes no bit: the fresh mask lacks DM_MEDIATYPE and so does a kept one.
    {.item = 29, .bit = DM_MEDIATYPE, .check = Check::kClauses, .clauses = {{kUiPickOne, &kNonZero}},
     .defaultStep = DefaultStep::kValue, .value = U32(&MD::defaultMediaType)},
    {.item = 30, .bit = DM_DITHERTYPE, .check = Check::kClauses, .clauses = {{kUiPickOne, &kNonZero}},
     .onKept = BitChange::kSet, .defaultStep = DefaultStep::kValue, .value = U32(&MD::defaultDitherType)},
    {.item = 31},  // dmICCManufacturer
    {.item = 32},  // dmICCModel
    {.item = 33, .defaultStep = DefaultStep::kValue, .value = Constant(0)},  // dmPanningWidth
    {.item = 34, .defaultStep = DefaultStep::kValue, .value = Constant(0)},  // dmPanningHeight
};
static_assert(sizeof kPublicFields / sizeof kPublicFields[0] == kItemLastPublic);

const PublicField& FieldOf(WORD item) { return kPublicFields[item - 1]; }

// ---- Record access ------------------------------------------------------------------------------

bool Usable(const DriverContext* context) { return context && context->settings && context->itemTable; }

LONG Get(DriverContext* context, WORD item) { return static_cast<LONG>(OptGetValue(context, item)); }
void Put(DriverContext* context, WORD item, LONG value) { OptSetValue(context, item, static_cast<DWORD>(value)); }

void ChangeFields(DriverContext* context, DWORD add, DWORD remove) {
  Put(context, kItemFields, static_cast<LONG>((OptGetValue(context, kItemFields) & ~remove) | add));
}

void ApplyBit(DriverContext* context, const PublicField& field, BitChange change) {
  switch (change) {
    case BitChange::kNone: return;
    case BitChange::kSet: ChangeFields(context, field.bit, 0); return;
    case BitChange::kClear: ChangeFields(context, 0, field.bit); return;
    case BitChange::kSetWhenPairPositive:
      if (Get(context, field.pairedWith) > 0) {
        ChangeFields(context, field.bit, 0);
      } else {
        ChangeFields(context, 0, field.bit);
      }
      return;
  }
}

DWORD ModelDefaultsValue(const DriverContext* context, const FieldDefault& value) {
  const ModelDefaults& defaults = ContextModelDefaults(context);
  if (value.s16) return static_cast<DWORD>(static_cast<LONG>(defaults.*value.s16));
  if (value.u32) return defaults.*value.u32;
  return value.constant;
}

// The item's model default: the description's when it describes the field, else the model
// defaults record's.
void ResetToModelDefault(DriverContext* context, WORD item) {
  if (DescLookupNode(item, context)) {
    OptResetToDefault(context, OptFindItem(context->itemTable, item));
  } else {
    Put(context, item, static_cast<LONG>(ModelDefaultsValue(context, FieldOf(item).value)));
  }
}

void SetDefaultFormName(DriverContext* context) {
  if (const WCHAR* name = ContextModelDefaults(context).defaultFormName)
    OptSetString(context, OptFindItem(context->itemTable, kItemFormName), name);
}

bool FormNameIsEmpty(DriverContext* context) {
  WCHAR name[kFormNameChars] = {};
  OptGetString(context, OptFindItem(context->itemTable, kItemFormName), name, kFormNameChars);
  return name[0] == 0;
}

// ---- Validation and default steps ---------------------------------------------------------------

void ValidateField(DriverContext* context, const PublicField& field);

void RunDefaultStep(DriverContext* context, const PublicField& field) {
  switch (field.defaultStep) {
    case DefaultStep::kNone: return;
    case DefaultStep::kValue:
      Put(context, field.item, static_cast<LONG>(ModelDefaultsValue(context, field.value)));
      break;
    case DefaultStep::kFormName: SetDefaultFormName(context); break;
    case DefaultStep::kYResolution:
      if (DescLookupNode(kItemPrintQuality, context)) {
        ValidateField(context, FieldOf(kItemPrintQuality));
        Put(context, kItemYResolution, Get(context, kItemPrintQuality));
      } else {
        Put(context, kItemYResolution, static_cast<LONG>(ModelDefaultsValue(context, field.value)));
      }
      break;
  }
  ApplyBit(context, field, field.onDefault);
}

bool ClauseHolds(DriverContext* context, const Clause& clause, const DescNode* node, WORD kind, LONG value) {
  if (clause.kind == 0 || !node) return false;
  if (clause.kind != kAnyNode && clause.kind != kind) return false;
  if (clause.values && !DmValueSetHas(*clause.values, value)) return false;
  return !clause.withinRange || CondValueInRange(node, value, context);
}

// Collation available: a field whose bit is set stays; else it follows the sort item and its bit
// is set. Not available: off, bit cleared.
void ValidateCollate(DriverContext* context, const PublicField& field) {
  if (!CapsCanCollate(context)) {
    ChangeFields(context, 0, field.bit);
    Put(context, field.item, 0);
    return;
  }
  if (OptGetValue(context, kItemFields) & field.bit) return;
  Put(context, field.item, Get(context, kItemFuncSelectSort) != 0 ? kCollateOn : 0);
  ChangeFields(context, field.bit, 0);
}

void ValidateField(DriverContext* context, const PublicField& field) {
  const DescNode* node = nullptr;
  const WORD kind = DescGetNodeKind(field.item, context, &node);
  bool kept = false;
  switch (field.check) {
    case Check::kNone: return;
    case Check::kCollate: ValidateCollate(context, field); return;
    case Check::kFormName: kept = node && !FormNameIsEmpty(context); break;
    case Check::kClauses: {
      const LONG value = Get(context, field.item);
      if (field.zeroStays && value == 0) return;
      for (const Clause& clause : field.clauses) kept = kept || ClauseHolds(context, clause, node, kind, value);
      break;
    }
  }
  if (kept) {
    ApplyBit(context, field, field.onKept);
  } else {
    RunDefaultStep(context, field);
  }
}

// ---- Merge --------------------------------------------------------------------------------------

const BYTE* BytesOf(const PrivateDevmode* devmode) { return devmode->bytes; }

// A public field of the incoming devmode, read as its item row types it (s16 sign-extended).
LONG In(DriverContext* context, const PrivateDevmode* incoming, WORD item) {
  const ItemTableRow* row = OptFindItem(context->itemTable, item);
  if (!row || row->offset + 4 > kDmPublicSize) return 0;
  switch (DescriptorType(row->descriptor)) {
    case kTypeS16: return static_cast<SHORT>(DmLoadU16(BytesOf(incoming), row->offset));
    case kTypeU16: return DmLoadU16(BytesOf(incoming), row->offset);
    default: return static_cast<LONG>(DmLoadU32(BytesOf(incoming), row->offset));
  }
}

DWORD MergeFlags(const DriverContext* context) { return context->work ? context->work->mergeFlags : 0; }

enum class MergeBit : BYTE { kAlways, kWhenTaken };

// A field that a field validator judges: valid -> taken, else the model default.
struct ValidatedMerge {
  WORD item;
  DWORD bit;  // considered only when the incoming dmFields has it
  MergeBit setBit;
};

constexpr ValidatedMerge kMergeSourceAndOrientation[] = {
    {13, DM_DEFAULTSOURCE, MergeBit::kAlways},
    {7, DM_ORIENTATION, MergeBit::kAlways},
};
constexpr ValidatedMerge kMergeDuplexColorTT[] = {
    {16, DM_DUPLEX, MergeBit::kAlways},
    {15, DM_COLOR, MergeBit::kAlways},
    {18, DM_TTOPTION, MergeBit::kWhenTaken},
};
// A media type taken keeps its bit, so that the items follow it (DmApplyPublicToItems).
constexpr ValidatedMerge kMergeColorManagement[] = {
    {27, DM_ICMMETHOD, MergeBit::kWhenTaken},
    {28, DM_ICMINTENT, MergeBit::kWhenTaken},
    {30, DM_DITHERTYPE, MergeBit::kWhenTaken},
    {29, DM_MEDIATYPE, MergeBit::kWhenTaken},
};

template <size_t N>
void MergeValidated(DriverContext* context, const PrivateDevmode* incoming, DWORD fields, const ValidatedMerge (&rows)[N]) {
  for (const ValidatedMerge& row : rows) {
    if (!(fields & row.bit)) continue;
    const LONG value = In(context, incoming, row.item);
    const bool valid = OptValidateField(row.item, value, context) != FALSE;
    if (valid) {
      Put(context, row.item, value);
    } else {
      ResetToModelDefault(context, row.item);
    }
    if (row.setBit == MergeBit::kAlways || (row.setBit == MergeBit::kWhenTaken && valid))
      ChangeFields(context, row.bit, 0);
  }
}

SHORT DotsToTenthMm(DWORD dots) {
  return static_cast<SHORT>(std::min<DWORD>(DmDotsToUnits(kUnitTenthMm, dots, kSettingsDpi), 0x7FFF));
}

// A free-size paper: its size from the slot the user lists fill.
void TakeFreeSize(DriverContext* context, LONG paper, int slot) {
  LstLoadFreeSizes(context);
  FreeSizeSlot sizes{};
  LstGetFreeSizeSlot(context, slot, &sizes);
  const DWORD width = sizes.width, length = sizes.length;
  Put(context, kItemPaperSize, paper);
  Put(context, kItemPaperLength, DotsToTenthMm(length));
  Put(context, kItemPaperWidth, DotsToTenthMm(width));
  ChangeFields(context, kCustomSizeFields, 0);
}

// The custom size (paper 256) of the caller's length and width, held within the model's limits.
void TakeCustomSize(DriverContext* context, LONG length, LONG width) {
  DmHoldCustomSize(context, &length, &width);
  Put(context, kItemPaperSize, kPaperCustom);
  Put(context, kItemPaperLength, length);
  Put(context, kItemPaperWidth, width);
  ChangeFields(context, kCustomSizeFields, 0);
}

// The form name of the incoming devmode: empty empties the field; a name terminated within the
// field is taken, with the model's paper of that name; one that runs over the field cannot be,
// and the model's form name stands.
void MergeFormName(DriverContext* context, const PrivateDevmode* incoming) {
  WCHAR name[kFormNameChars] = {};
  int length = kFormNameChars;
  for (int i = 0; i < kFormNameChars; ++i) {
    name[i] = static_cast<WCHAR>(DmLoadU16(BytesOf(incoming), kDmOffFormName + 2 * size_t(i)));
    if (name[i] == 0 && length == kFormNameChars) length = i;
  }
  ItemTableRow* row = OptFindItem(context->itemTable, kItemFormName);
  if (length == 0) {
    OptSetString(context, row, WSTR(""));
  } else if (length < kFormNameChars) {
    OptSetString(context, row, name);
    ChangeFields(context, DM_FORMNAME, 0);
    // The form names the paper, as it does for every printer of this platform.
    if (const DWORD paper = CapsFindPaperOfForm(context, name)) {
      Put(context, kItemPaperSize, static_cast<LONG>(paper));
      ChangeFields(context, DM_PAPERSIZE, kCustomSizeFields);
    }
  } else {
    OptWriteBytes(context, row, nullptr, 0);
    SetDefaultFormName(context);
    ChangeFields(context, 0, DM_FORMNAME);
  }
}

// The paper: a custom size, a paper value, orientation alone, or a form name, the first that the
// incoming fields carry. The custom size a user defined lives in the record's own dmPaperLength
// and dmPaperWidth (marked by the record's state flags 0x4 and 0x8), so a paper value taken here,
// or an orientation alone, leaves those two as they are.
void MergePaper(DriverContext* context, const PrivateDevmode* incoming, DWORD fields) {
  const LONG paper = In(context, incoming, kItemPaperSize);
  if (paper == kPaperCustom) fields |= kCustomSizeFields;
  const LONG length = In(context, incoming, kItemPaperLength);
  const LONG width = In(context, incoming, kItemPaperWidth);

  if ((fields & kCustomSizeFields) == kCustomSizeFields && length > 0 && width > 0 && !(fields & DM_PAPERSIZE)) {
    // A length and width alone are a custom size, whatever dmPaperSize held.
    TakeCustomSize(context, length, width);
    ChangeFields(context, 0, DM_PAPERSIZE);
  } else if (fields & DM_PAPERSIZE) {
    if (paper == kPaperCustom) {
      // Without a size of its own the caller keeps the record's custom size.
      TakeCustomSize(context, length > 0 ? length : Get(context, kItemPaperLength),
                     width > 0 ? width : Get(context, kItemPaperWidth));
    } else if (const int slot = OptUserSizeSlotOf(paper); slot >= 0) {
      TakeFreeSize(context, paper, slot);
    } else {
      if (OptValidatePaperSize(paper, context)) {
        Put(context, kItemPaperSize, paper);
      } else {
        ResetToModelDefault(context, kItemPaperSize);
      }
      ChangeFields(context, 0, kCustomSizeFields);
    }
    ChangeFields(context, DM_PAPERSIZE, 0);
  } else if ((fields & DM_ORIENTATION) && !(fields & DM_FORMNAME)) {
    // Orientation alone: the record's custom size already stands (see above).
  } else if (fields & DM_FORMNAME) {
    MergeFormName(context, incoming);
  }
}

// Whether `value` lies in the node's range of a field described as a range, else within the
// model's own limits.
bool WithinFieldRange(DriverContext* context, WORD item, LONG value, LONG minimum, LONG maximum) {
  const DescNode* node = nullptr;
  DescRange range{};
  if (DescGetNodeKind(item, context, &node) == kUiNumeric && DescNodeRange(context->description, node, &range)) {
    minimum = range.minimum;
    maximum = range.maximum;
  }
  return value >= minimum && value <= maximum;
}

void MergeWithinRange(DriverContext* context, const PrivateDevmode* incoming, WORD item, LONG minimum, LONG maximum,
                      LONG fallback) {
  const LONG value = In(context, incoming, item);
  Put(context, item, WithinFieldRange(context, item, value, minimum, maximum) ? value : fallback);
}

// The resolution the print quality follows when the caller's is refused: that of item 248 in the
// resolution table while a quality set is in use, else item 42.
LONG FollowedResolution(DriverContext* context) {
  if (LstGetQualityIndex(context) >= 0) {
    const DWORD id = OptGetValue(context, kItemDstResolutionBoth);
    for (const CapsResolutionRow* row = CapsGetResolutionTable(); row->id != 0; ++row) {
      if (row->id == id) return row->xDpi;
    }
  }
  return Get(context, kItemDstResolutionW);
}

void MergePrintQuality(DriverContext* context, const PrivateDevmode* incoming) {
  const LONG quality = In(context, incoming, kItemPrintQuality);
  if (DmValueSetHas(kDraftValues, quality)) {
    ResetToModelDefault(context, kItemPrintQuality);
  } else if (OptValidatePrintQuality(quality, context)) {
    Put(context, kItemPrintQuality, quality);
  } else {
    const LONG followed = FollowedResolution(context);
    Put(context, kItemPrintQuality, followed);
    if (!OptValidatePrintQuality(followed, context)) ResetToModelDefault(context, kItemPrintQuality);
  }

  const DWORD flags = MergeFlags(context);
  if (const int set = LstGetQualityIndex(context);
      set >= 0 && (flags & kMergeInterface) && (flags & kMergePrompt)) {
    LstLoadQuality(context, static_cast<DWORD>(set));
    if (Get(context, kItemPrintQuality) != Get(context, kItemDstResolutionW))
      Put(context, kItemPrintQuality, Get(context, kItemDstResolutionW));
  }
  if (!(flags & kMergeKeepResolution) && !DmCheckResolutionFit(context, FALSE))
    Put(context, kItemPrintQuality, kQualityThatAlwaysFits);
  ChangeFields(context, DM_PRINTQUALITY, 0);
  Put(context, kItemYResolution, Get(context, kItemPrintQuality));
  ChangeFields(context, DM_YRESOLUTION, 0);
}

// Collate is judged whether or not the caller marked it: off unless collation is available; then
// the caller's choice when marked, else the sort item's.
void MergeCollate(DriverContext* context, const PrivateDevmode* incoming, DWORD fields) {
  ChangeFields(context, 0, DM_COLLATE);
  Put(context, kItemCollate, 0);
  if (!CapsCanCollate(context)) return;
  ChangeFields(context, DM_COLLATE, 0);
  const bool on = (fields & DM_COLLATE) ? In(context, incoming, kItemCollate) == kCollateOn
                                        : Get(context, kItemFuncSelectSort) != 0;
  Put(context, kItemCollate, on ? kCollateOn : 0);
}

}  // namespace

void DmPreparePublic(DriverContext* context, int callType) {
  if (!Usable(context)) return;
  switch (callType) {
    case kPublicValidate: DmValidatePublic(context); return;
    case kPublicFromPrinter:
      DmResetAllToDefaults(context);
      DmTakePrinterDevmode(context);
      DmValidatePublic(context);
      return;
    default: DmSetPublicDefaults(context); return;
  }
}

void DmSetPublicDefaults(DriverContext* context) {
  if (!Usable(context)) return;
  for (const PublicField& field : kPublicFields) RunDefaultStep(context, field);
}

void DmValidatePublic(DriverContext* context) {
  if (!Usable(context)) return;
  for (const PublicField& field : kPublicFields) ValidateField(context, field);
}

void DmCheckStoredPublic(DriverContext* context) {
  if (!Usable(context)) return;
  const ModelDefaults& defaults = ContextModelDefaults(context);
  const auto judge = [context](const auto& rows) {
    for (const ValidatedMerge& row : rows) {
      if (!OptValidateField(row.item, Get(context, row.item), context)) ResetToModelDefault(context, row.item);
    }
  };
  judge(kMergeSourceAndOrientation);
  judge(kMergeDuplexColorTT);
  judge(kMergeColorManagement);

  // A paper is a free size, a custom size with both lengths, or one the validator takes.
  const LONG paper = Get(context, kItemPaperSize);
  const bool customSized =
      paper == kPaperCustom && Get(context, kItemPaperLength) > 0 && Get(context, kItemPaperWidth) > 0;
  if (OptUserSizeSlotOf(paper) < 0 && !customSized && !OptValidatePaperSize(paper, context))
    ResetToModelDefault(context, kItemPaperSize);

  if (!WithinFieldRange(context, kItemScale, Get(context, kItemScale), static_cast<LONG>(defaults.scaleMin),
                        static_cast<LONG>(defaults.scaleMax)))
    Put(context, kItemScale, defaults.defaultScale);
  if (!WithinFieldRange(context, kItemCopies, Get(context, kItemCopies), static_cast<LONG>(defaults.copiesMin),
                        static_cast<LONG>(defaults.copiesMax)))
    Put(context, kItemCopies, defaults.defaultCopies);

  const LONG quality = Get(context, kItemPrintQuality);
  if (!DmValueSetHas(kDraftValues, quality) && !OptValidatePrintQuality(quality, context)) {
    ResetToModelDefault(context, kItemPrintQuality);
    Put(context, kItemYResolution, Get(context, kItemPrintQuality));
  }
}

void DmMergePublicFields(DriverContext* context, const PrivateDevmode* incoming) {
  if (!Usable(context) || !incoming) return;
  const DWORD fields = DmLoadU32(BytesOf(incoming), kDmOffFields);
  const ModelDefaults& defaults = ContextModelDefaults(context);

  MergeValidated(context, incoming, fields, kMergeSourceAndOrientation);
  MergePaper(context, incoming, fields);
  if (fields & DM_SCALE) {
    MergeWithinRange(context, incoming, kItemScale, static_cast<LONG>(defaults.scaleMin),
                     static_cast<LONG>(defaults.scaleMax), defaults.defaultScale);
    ChangeFields(context, 0, DM_SCALE);
  }
  if (fields & DM_COPIES) {
    MergeWithinRange(context, incoming, kItemCopies, static_cast<LONG>(defaults.copiesMin),
                     static_cast<LONG>(defaults.copiesMax), defaults.defaultCopies);
    ChangeFields(context, DM_COPIES, 0);
  }
  if (fields & DM_PRINTQUALITY) MergePrintQuality(context, incoming);
  MergeValidated(context, incoming, fields, kMergeDuplexColorTT);
  MergeCollate(context, incoming, fields);
  MergeValidated(context, incoming, fields, kMergeColorManagement);
}
