#include "settings/devmode/item_defaults.h"

#include "data/item_ids.h"
#include "settings/devmode/item_checks.h"
#include "settings/items/store.h"
#include "settings/items/unit_conversion.h"

// The generated rows (data/item_defaults.txt).
extern const DmDefaultRow kDmDefaultRows[];
extern const int kDmDefaultRowCount;

namespace {


constexpr DWORD kTenthMmPerMm = 10;
constexpr DWORD kMarginLimitTenthMm = 500;  // 50 mm

void Write(DriverContext* context, const DmDefaultRow* row, DWORD value) {
  OptSetValue(context, static_cast<WORD>(row->item), value);
}

// The handler contract: in test mode a passing value stays (1); everything else takes the
// default (0).
int Judge(bool passes, DWORD fallback, const DmDefaultRow* row, int mode, DriverContext* context) {
  if (mode == kDefaultModeTest && passes) return 1;
  Write(context, row, fallback);
  return 0;
}

DWORD ModelDefault(const DriverContext* context, const DmDefaultRow* row) {
  DWORD value = 0;
  DmGetItemModelDefault(context, static_cast<WORD>(row->item), &value);
  return value;
}

bool InAccepted(const DmDefaultRow* row, DWORD value) {
  return DmValueSetHas(row->accepted, static_cast<LONG>(value)) != FALSE;
}

bool IsLanguageValue(DWORD value) {
  for (const ResLanguageRow* language = ResGetLanguageTable(); language->value != kLanguageEnd; ++language) {
    if (language->value == value) return true;
  }
  return false;
}

// Lengths the handlers give in 0.1 mm, as dots at the destination resolution (item 42).
DWORD DotsAtDestination(DriverContext* context, DWORD tenthMm) {
  return DmUnitsToDots(kUnitTenthMm, tenthMm, OptGetValue(context, kItemDstResolutionW));
}

int HandleAlways(DWORD, const DmDefaultRow* row, DWORD argument, int mode, DriverContext* context) {
  return Judge(false, argument, row, mode, context);
}

int HandleAlwaysModel(DWORD, const DmDefaultRow* row, DWORD, int mode, DriverContext* context) {
  return Judge(false, ModelDefault(context, row), row, mode, context);
}

int HandleInSet(DWORD value, const DmDefaultRow* row, DWORD argument, int mode, DriverContext* context) {
  return Judge(InAccepted(row, value), argument, row, mode, context);
}

int HandleInSetModel(DWORD value, const DmDefaultRow* row, DWORD, int mode, DriverContext* context) {
  return Judge(InAccepted(row, value), ModelDefault(context, row), row, mode, context);
}

int HandleEqualsModel(DWORD value, const DmDefaultRow* row, DWORD, int mode, DriverContext* context) {
  const DWORD model = ModelDefault(context, row);
  return Judge(value == model, model, row, mode, context);
}

// Item 41 is a signed byte: 255 (none) reads back as -1, so the rule looks at the byte.
int HandlePresetNumber(DWORD value, const DmDefaultRow* row, DWORD argument, int mode, DriverContext* context) {
  const DWORD preset = value & 0xFF;
  return Judge(preset < 128 || preset == 255, argument, row, mode, context);
}

// The resolution follows the print quality when that is a real resolution; the quality levels
// -4..-1 that the print-quality validator also accepts are no resolution.
int HandleResolution(DWORD value, const DmDefaultRow* row, DWORD, int mode, DriverContext* context) {
  const LONG quality = static_cast<LONG>(OptGetValue(context, kItemPrintQuality));
  const DWORD fallback = quality > 0 && OptValidatePrintQuality(quality, context) ? static_cast<DWORD>(quality)
                                                                                  : ModelDefault(context, row);
  return Judge(InAccepted(row, value), fallback, row, mode, context);
}

int HandleAnyValue(DWORD, const DmDefaultRow* row, DWORD argument, int mode, DriverContext* context) {
  return Judge(true, argument, row, mode, context);
}

int HandleGutter(DWORD, const DmDefaultRow* row, DWORD argument, int mode, DriverContext* context) {
  return Judge(false, DotsAtDestination(context, argument * kTenthMmPerMm), row, mode, context);
}

int HandleMargin(DWORD value, const DmDefaultRow* row, DWORD argument, int mode, DriverContext* context) {
  return Judge(value <= DotsAtDestination(context, kMarginLimitTenthMm), argument, row, mode, context);
}

int HandleUntouched(DWORD, const DmDefaultRow*, DWORD, int, DriverContext*) { return 0; }

int HandleAccepted(DWORD, const DmDefaultRow*, DWORD, int, DriverContext*) { return 1; }

int HandleLanguage(DWORD value, const DmDefaultRow* row, DWORD, int mode, DriverContext* context) {
  return Judge(IsLanguageValue(value), ModelDefault(context, row), row, mode, context);
}

// The help language follows the display language except when only tested.
int HandleHelpLanguage(DWORD value, const DmDefaultRow* row, DWORD, int mode, DriverContext* context) {
  if (mode == kDefaultModeTest) return Judge(IsLanguageValue(value), ModelDefault(context, row), row, mode, context);
  Write(context, row, OptGetValue(context, kItemLanguageID));
  return 0;
}

const DmDefaultHandler kHandlers[kDefaultKindCount] = {
    nullptr,          HandleAlways,      HandleAlwaysModel, HandleInSet,       HandleInSetModel,
    HandleEqualsModel, HandlePresetNumber, HandleResolution, HandleAnyValue,    HandleGutter,
    HandleMargin,     HandleUntouched,   HandleAccepted,    HandleLanguage,    HandleHelpLanguage,
};

}  // namespace

BOOL DmValueSetHas(const DmValueSet& set, LONG value) {
  for (DWORD i = 0; set.ranges && i < set.count; ++i) {
    if (set.ranges[i].low <= value && value <= set.ranges[i].high) return TRUE;
  }
  return FALSE;
}

const DmDefaultRow* DmGetDefaultTable(int* count) {
  if (count) *count = kDmDefaultRowCount;
  return kDmDefaultRows;
}

const DmDefaultRow* DmFindDefaultRow(WORD item) {
  if (item < kDefaultFirstItem || item > kDefaultLastItem) return nullptr;
  const int index = item - kDefaultFirstItem;
  return index < kDmDefaultRowCount ? &kDmDefaultRows[index] : nullptr;
}

DmDefaultHandler DmGetDefaultHandler(const DmDefaultRow* row) {
  return row && row->kind < kDefaultKindCount ? kHandlers[row->kind] : nullptr;
}

BOOL DmGetItemModelDefault(const DriverContext* context, WORD item, DWORD* value) {
  const ModelDefaults& defaults = ContextModelDefaults(context);
  DWORD found = 0;
  switch (item) {
    case 35: case 36: case 37: case 38: found = defaults.item35To38Defaults[item - 35]; break;
    case 39: found = defaults.machineId; break;
    case kItemDstResolutionW: found = static_cast<DWORD>(defaults.item42Default); break;
    case kItemDstResolutionH: found = static_cast<DWORD>(defaults.item43Default); break;
    case 132: found = static_cast<DWORD>(defaults.trayPaperDefaults[0]); break;
    case 139: found = static_cast<DWORD>(defaults.trayPaperDefaults[1]); break;
    case 143: found = static_cast<DWORD>(defaults.trayPaperDefaults[2]); break;
    case 147: found = static_cast<DWORD>(defaults.trayPaperDefaults[3]); break;
    case kItemLanguageID: found = defaults.languageDefault; break;
    case kItemHelpLanguageID: found = defaults.item178Default; break;
    case 179: found = defaults.item179Default; break;
    case 182: found = defaults.item182Default; break;
    case 245: found = static_cast<DWORD>(defaults.item245Default); break;
    case 441: found = static_cast<DWORD>(defaults.item441Default); break;
    default:
      if (value) *value = 0;
      return FALSE;
  }
  if (value) *value = found;
  return TRUE;
}

void DmRunDefaultTable(DriverContext* context, int mode) {
  if (!context || !context->settings || !context->itemTable) return;
  for (int i = 0; i < kDmDefaultRowCount; ++i) {
    const DmDefaultRow* row = &kDmDefaultRows[i];
    const WORD item = static_cast<WORD>(row->item);
    const DWORD value = OptGetValue(context, item);
    // Only an item the model cannot judge is the table's; the check repairs the others.
    if (OptCheckItemValue(item, value, context) != kCheckNoKey) continue;
    if (const DmDefaultHandler handler = DmGetDefaultHandler(row)) handler(value, row, row->argument, mode, context);
  }
}
