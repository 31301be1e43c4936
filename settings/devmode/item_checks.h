// Judging one item value: first by the model description (the item's record and the current
// constraints), repairing what the model rejects; the field validators of the public devmode
// fields on the same check; the paper predicates; the stamp and quality-set indexes.
//
// Values are stored values, as OptReadRaw gives them (signed types sign-extended).
#pragma once

#include "settings/context/driver_context.h"
#include "settings/items/table.h"
#include "win32.h"

// Answers of the item checks.
constexpr int kCheckRejected = 0;   // the non-repairing checks only
constexpr int kCheckAccepted = 1;
constexpr int kCheckNoKey = 2;      // no item row, or a row without a command key
constexpr int kCheckHidden = 3;     // no record in the model, or a record of type TypeUnknown only

// The repairing check. 2 and 3 as above, with nothing written. Otherwise 1: when the model check
// (CondCheckValue) allows the value (1, or 5 hidden but allowed) nothing is written; when it
// refuses (0) or disables (4) the value, the item is repaired: items 92 and 93 with a Numeric
// record are clamped into its range while the work area's merge flags hold 0x40000000; every
// other item is reset to its model default (OptResetToDefault).
// CondCheckValue itself may set items: a layout of item 95 makes item 94 follow it.
int OptCheckItemValue(WORD item, DWORD value, DriverContext* context);
// The same test without repair: 1 acceptable, 0 not, 2 and 3 as above. Not free of effects for
// item 95, which the model check keeps in step with item 94.
int OptCheckValue(WORD item, DWORD value, DriverContext* context);

// The pair again over the model test that has no side effects (CondIsValueAllowed): a value the
// model refuses still counts as allowed when the item has a value map that maps it and its record
// is of a list kind (type bit 0 or 1). OptCheckItemValueQuiet repairs as OptCheckItemValue does;
// OptCheckValueQuiet never writes.
int OptCheckItemValueQuiet(WORD item, DWORD value, DriverContext* context);
int OptCheckValueQuiet(WORD item, DWORD value, DriverContext* context);

// Resets the row's item to the model's default for it: a number or bit takes the default through
// the row's value map; item 41 takes the default less 119 (119..134 give 0..15, 118 gives 255,
// any other result of 128 or more gives 0); a string or byte item is emptied, because the model's
// default for it is a number, not text. FALSE when nothing could be written.
BOOL OptResetToDefault(DriverContext* context, ItemTableRow* row);

// ---- Field validators ---------------------------------------------------------------------------
// Each asks OptCheckValue for the field's item: 1 accepts, 0 rejects, and on 2 or 3 (the model
// cannot judge the field) a built-in set decides. The paper size has no built-in set: only the
// model accepts a paper.

BOOL OptValidateDefaultSource(LONG value, DriverContext* context);  // item 13: 1..15, 256..272, 281..285
BOOL OptValidateOrientation(LONG value, DriverContext* context);    // item 7: 1, 2
BOOL OptValidatePaperSize(LONG value, DriverContext* context);      // item 8: the model alone
BOOL OptValidatePrintQuality(LONG value, DriverContext* context);   // item 14: 300, 600, 1200, 2400, -4..-1
BOOL OptValidateDuplex(LONG value, DriverContext* context);         // item 16: 1..3
BOOL OptValidateColor(LONG value, DriverContext* context);          // item 15: 1, 2
BOOL OptValidateTTOption(LONG value, DriverContext* context);       // item 18: 1..4
BOOL OptValidateIcmMethod(LONG value, DriverContext* context);      // item 27: 1..4, 256
BOOL OptValidateIcmIntent(LONG value, DriverContext* context);      // item 28: 1, 2, 256
BOOL OptValidateMediaType(LONG value, DriverContext* context);      // item 29: 1..3, 256..271, 513..516
BOOL OptValidateDitherType(LONG value, DriverContext* context);     // item 30: 1..4, 10, 256
// The validator of public field `item` as above; FALSE for an item without one.
BOOL OptValidateField(WORD item, LONG value, DriverContext* context);

// ---- Paper predicates ---------------------------------------------------------------------------

BOOL OptIsPaper1024(LONG value, DriverContext* context);        // 1024: "as the source paper"
BOOL OptIsStandardPaper(LONG value, DriverContext* context);    // 1..118, 256, 513, 514, 517
BOOL OptIsUserPaper(LONG value, DriverContext* context);        // 256, 384..392
BOOL OptIsFreeSizePaperId(LONG value, DriverContext* context);  // the paper of a free-size slot
BOOL OptAcceptAnyValue(LONG value, DriverContext* context);     // TRUE

// The free-size slot of a paper: 384..392 give 0..8, 256 gives 9, any other -1.
int OptUserSizeSlotOf(LONG paper);
// The free-size slot of the paper in item 8 (dmPaperSize) or item 50 (the output paper); -1 for
// any other item.
int OptGetUserSizeSlot(DriverContext* context, WORD item);

// ---- User list indexes --------------------------------------------------------------------------

// The stamp in use: item 120 while item 63 (stamp on) is set, else -1.
int LstGetStampIndex(DriverContext* context);
// The quality set in use, 0..7: item 188's model value (135..142) less 135 while item 185 is 1;
// -1 when no quality set is in use or item 188 names none.
int LstGetQualityIndex(DriverContext* context);
