// The item default table: for each private item 35..706, the rule that judges its value when the
// model description cannot, and the default that replaces a value the rule refuses.
//
// The rows and the value sets are data (data/item_defaults.txt, generated into the data tables);
// the handlers here read them. A handler is called as handler(value, row, argument, mode,
// context). In test mode it answers 1 when the value passes its rule and writes nothing;
// otherwise, and in every other mode, it writes its default and answers 0. Handlers without a
// rule write their default in every mode, so a test-mode run still rewrites those items.
#pragma once

#include "settings/context/driver_context.h"
#include "settings/items/table.h"
#include "win32.h"

// ---- Value sets -------------------------------------------------------------------------------

// Values low..high inclusive, compared as signed 32-bit numbers (the store sign-extends signed
// types, so -50 stands for a stored s8 of -50).
struct DmValueRange {
  LONG low;
  LONG high;
};

struct DmValueSet {
  const DmValueRange* ranges;
  DWORD count;
};

// Whether `value` lies in one of the set's ranges; FALSE for a set without ranges.
BOOL DmValueSetHas(const DmValueSet& set, LONG value);

// The named sets of the data, which the field validators share with the table.
extern const DmValueSet kValueSet_source;          // paper sources 1..15, 256..272, 281..285
extern const DmValueSet kValueSet_orientation;
extern const DmValueSet kValueSet_print_quality;   // 300, 600, 1200, 2400 and -4..-1
extern const DmValueSet kValueSet_duplex;
extern const DmValueSet kValueSet_color;
extern const DmValueSet kValueSet_tt_option;
extern const DmValueSet kValueSet_icm_method;
extern const DmValueSet kValueSet_icm_intent;
extern const DmValueSet kValueSet_media;
extern const DmValueSet kValueSet_dither;
extern const DmValueSet kValueSet_standard_paper;  // 1..118, 256, 513, 514, 517
extern const DmValueSet kValueSet_user_paper;      // 256 and 384..392

// ---- Rows -------------------------------------------------------------------------------------

// What a row's handler does; the data names them in lower case with hyphens ("in-set-model").
enum DmDefaultKind : WORD {
  kDefaultNone = 0,      // no handler: the table leaves the item alone
  kDefaultAlways,        // no rule; writes the argument
  kDefaultAlwaysModel,   // no rule; writes the item's model default (items 35..38, 245)
  kDefaultInSet,         // rule: in `accepted`; default the argument
  kDefaultInSetModel,    // rule: in `accepted`; default from the model defaults
  kDefaultEqualsModel,   // rule: equals the model default (item 39, the machine identifier)
  kDefaultPresetNumber,  // rule: low byte below 128 or 255; default the argument
  kDefaultResolution,    // rule: in `accepted`; default dmPrintQuality or the model default
  kDefaultAnyValue,      // rule: any value; default the argument
  kDefaultGutter,        // no rule; argument mm as dots at the destination resolution
  kDefaultMargin,        // rule: at most 50 mm in dots at the destination resolution
  kDefaultUntouched,     // no rule; never writes (answers 0)
  kDefaultAccepted,      // every value passes; never writes (answers 1)
  kDefaultLanguage,      // rule: a value of the language table; default from the model defaults
  kDefaultHelpLanguage,  // test mode as kDefaultLanguage; other modes copy item 177
  kDefaultKindCount,
};

struct DmDefaultRow {
  DWORD item;
  WORD kind;              // DmDefaultKind
  DWORD argument;         // the default for most handlers
  DmValueSet accepted;    // the rule's values, for the kinds that test a set
};

// Modes the callers pass.
constexpr int kDefaultModeFix = 1;   // every handled item takes its default
constexpr int kDefaultModeTest = 2;  // values that pass their rule stay

constexpr WORD kDefaultFirstItem = kItemCDCVersion;
constexpr WORD kDefaultLastItem = kItemLastPrivate;

using DmDefaultHandler = int (*)(DWORD value, const DmDefaultRow* row, DWORD argument, int mode,
                                 DriverContext* context);

// The table: one row for each item 35..706 in order; `count` receives 672.
const DmDefaultRow* DmGetDefaultTable(int* count);
// The row of `item`, or null outside 35..706.
const DmDefaultRow* DmFindDefaultRow(WORD item);
// The handler of a row, or null for a row without one (and for a null row).
DmDefaultHandler DmGetDefaultHandler(const DmDefaultRow* row);

// The model-defaults value that stands for `item`'s default (items 35..39, 42, 43, 132, 139,
// 143, 147, 177..179, 182, 245, 441); FALSE and 0 for any other item.
BOOL DmGetItemModelDefault(const DriverContext* context, WORD item, DWORD* value);

// Runs the handlers of the table over the record: for each item 35..706 in order the stored
// value goes through OptCheckItemValue (which repairs a value the model rejects); only when that
// answers 2 (no row or no command key: the model cannot judge the item) is the row's handler
// called with the stored value, the row, its argument, `mode` and the context. Items the model
// judges (answers 1 and 3) are left to the check. Nothing happens without a record.
void DmRunDefaultTable(DriverContext* context, int mode);
