// Queries on a context's model description: the UI record of an item, its kind, values,
// default and range, the paper, tray and font data, and whether a value is allowed for an item
// under the model and the current constraints.
//
// Every query without a description, record or block gives its "none" answer (0, -1 or null)
// and reports nothing. Values in the description are model values: a stored value is translated
// through the item's value map before it is looked for.
#pragma once

#include "settings/description/image.h"
#include "settings/context/driver_context.h"
#include "settings/items/table.h"
#include "win32.h"

// ---- Records --------------------------------------------------------------------------------

// The first UI record of an item: the header slot for ids 1..947 and 10001..10277, else the
// first record of that id in file order. Null for id 0 or an item without one.
const DescNode* DescLookupNode(WORD itemId, DriverContext* context);
const DescNode* DescGetNode(WORD itemId, DriverContext* context);
// The record of the item of an item-table row.
const DescNode* DescGetRowNode(DriverContext* context, const ItemTableRow* row);
// The first record (file order) whose command key is `key`.
const DescNode* DescFindNodeByKey(WORD key, DriverContext* context);
const DescNode* DescFindExtraNode(WORD key, DriverContext* context);
// The UI type without its flag bits (0x3000), 0 without a record; `node` receives the record.
WORD DescGetNodeKind(WORD itemId, DriverContext* context, const DescNode** node = nullptr);
// The UI type as stored.
WORD DescGetNodeType(WORD itemId, DriverContext* context);

// ---- Values ---------------------------------------------------------------------------------

// The first entry of the item's value list, with the index of its default entry in
// `defaultIndex`; null for an item without a list (a list is a type with bit 0 set). The range,
// string and Boolean blocks are read through DescNodeRange, DescNodeString, DescNodeBoolean.
const DescValue* DescGetValueList(WORD itemId, DriverContext* context, WORD* defaultIndex);
// -1 without a record; 0 for Boolean, Numeric and String kinds and for any record without a
// list; else the number of entries.
int DescGetValueCount(WORD itemId, DriverContext* context);
// By the low byte of the type: 1 (the PickOne family) the value at the default index (0 past the
// end), 4 (Boolean) the block's default, 8 (Numeric) the range's default, 16 (String) the
// string block's default; 0 for any other type or without record or block.
LONG DescGetDefaultValue(WORD itemId, DriverContext* context);
// `*UIResDLLName`: the base name of the language resource library ("qnresus.dll"), or null.
const WCHAR* DescGetLangFileBase(DriverContext* context);

// ---- Fonts ----------------------------------------------------------------------------------

// A device font or font cartridge: its number and its name, widened through the ANSI code page
// (at most 31 characters and a NUL).
struct DescFontRow {
  DWORD number;
  WCHAR name[32];
};
static_assert(sizeof(DescFontRow) == 68);

// A new array of the description's device fonts or font cartridges, with that list's count in
// `count`; null and 0 without a list. The caller frees it with SysFree.
DescFontRow* DescGetDeviceFonts(DriverContext* context, DWORD* count);
DescFontRow* DescGetFontCartridges(DriverContext* context, DWORD* count);

// A font pair of the font-substitution table (item 10005's rows): TrueType face, device face.
struct DescFontSubstitute {
  WCHAR trueType[32];
  WCHAR device[32];
};
static_assert(sizeof(DescFontSubstitute) == 128);

// A new array of the pairs of the first value of the first FontTbl record that has pairs, with
// their count in `count`; null and 0 when there is none. The caller frees it with SysFree.
DescFontSubstitute* DescGetFontSubstitutes(DriverContext* context, DWORD* count);

// ---- Paper ------------------------------------------------------------------------------------

// The metric width and length (0.1 mm) of the current paper size (item 8), swapped when the
// orientation (item 7) is landscape (2). FALSE (and 0, 0) when that paper has no metric size.
BOOL DescGetPaperSize(DriverContext* context, LONG* width, LONG* length);
// The printable area of the paper `paperKey` (a model value of item 8) at the current
// resolution (item 42): the first paper record of that resolution and of the current
// orientation (item 7) whose condition holds gives {left, top, left + width, top + length} and
// `extra` {a, b}; failing that, the first record of that resolution whose condition holds gives
// the transposed {top, left, top + length, left + width} and {b, a}. A record's condition holds
// when it has none or its item's model value is its condition value. FALSE when no record fits.
BOOL DescFindPaperArea(DriverContext* context, WORD paperKey, RECT* area, LONG extra[2]);

// ---- Values under the constraints ---------------------------------------------------------------

// Runs the disabled program of the conditions block with command key `key`: the block's own for
// value 0, else that of its entry for `value` (a model value). -1 when the description has no
// conditions blocks or none with that key; 0 when the block or value has no program.
LONG CondEvalEntry(WORD key, WORD value, DriverContext* context);

// Value checks answer these.
constexpr int kValueNotAllowed = 0;
constexpr int kValueAllowed = 1;
constexpr int kValueDisabled = 4;
constexpr int kValueHidden = 5;

// Whether `value` (a stored value) may be set for the item: 0, 1, 4 (disabled) or 5 (hidden).
// For the list kinds PickOne, PickPage and PickSlot (and an item without a record): a value the
// item's map lacks is not allowed; without a list any non-zero model value is allowed; a value
// not in the list is not allowed; item 95 (n-up layout) makes the n-up kind (item 94) follow the
// layout's kind while n-up (item 59) is on and usable, and answers 1; items 102, 136 and 134 are
// disabled only while their on/off items 61, 66, 65 are usable and on; any other item answers
// 4 when the value is disabled, 5 when hidden, else 1. Boolean and PickMany kinds allow 0 and 1,
// the Numeric kind its range; any other kind allows every value.
int CondCheckValue(const ItemTableRow* row, WORD itemId, DWORD value, DriverContext* context);
// The same without side effects: 1 allowed, 0 not (for list kinds: unmapped, not in the list,
// or disabled).
int CondIsValueAllowed(const ItemTableRow* row, WORD itemId, DWORD value, DriverContext* context);
// The primitives: a model value in the record's list; 0 or 1; a value within the record's range.
BOOL CondValueInList(const DescNode* node, DWORD model, DriverContext* context);
BOOL CondIsBool(DWORD value);
BOOL CondValueInRange(const DescNode* node, LONG value, DriverContext* context);

// The constraint evaluator's answers that the value checks ask for. The library's own are
// CondIsDisabled, CondIsHidden and CondEvaluate; tests put others in.
struct DescConditionHooks {
  BOOL (*isDisabled)(const DescNode* node, DWORD value, DriverContext* context);
  BOOL (*isHidden)(const DescNode* node, DWORD value, DriverContext* context);
  LONG (*evaluate)(DriverContext* context, const DescProgram* program);
};
// Puts `hooks` in force (null: the library's own). Only while no query runs.
void DescSetConditionHooks(const DescConditionHooks* hooks);
// Runs a condition program of the description (a job-control template's) with the evaluator
// in force; 0 for no program.
LONG DescEvaluateCondition(DriverContext* context, const DescProgram* program);
