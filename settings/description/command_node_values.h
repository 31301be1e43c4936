// The value of an item as the text of its model command node: the one parser and formatter that
// the job-control templates and the constraint-query engine share, so that the text the engine
// compares is the text the job stream carries.
//
// A command node is a UI record of the model description with its two `*OptionCommand` texts
// (before and after the value). Its kind says how a value becomes text:
//   name    the text of the value entry whose model value is the item's;
//   on/off  the Boolean block's true text for a non-zero value, its false text for 0;
//   number  the value scaled by the `*NumericValue` pair {n0, n1}: text = value * n0 / n1, and
//           for a resolution-dependent item (item-table code 2) value * n0 * dpi / (n1 * 1200),
//           dpi being item 42; parsing reverses it. n0 is the number before the quotes, n1 the
//           first number inside them;
//   string  the item's own text (wide fields narrowed through the ANSI code page).
// Values are model values (OptGetModelValue / OptSetModelValue).
#pragma once

#include "settings/description/image.h"
#include "settings/context/driver_context.h"
#include "settings/items/table.h"
#include "win32.h"

enum CmdValueKind : DWORD {
  kCmdKindNone = 0,
  kCmdKindName = 0x1,
  kCmdKindOnOff = 0x4,
  kCmdKindNumber = 0x8,
  kCmdKindString = 0x10,
};

// Room for any value text with its NUL: the longest string item (521 bytes) in quotes.
constexpr DWORD kCmdValueTextBytes = 1024;

// The kind a node's UI type selects: PickOne, PickPage, PickSlot and FontTbl name, Boolean
// on/off, Numeric number, String string; none for PickMany, TypeUnknown, other types and null.
CmdValueKind CmdKindOfNode(const DescNode* node);
// The kind of a command-table value type (kExcType... of constraints/pjl_command_table.h); none for others.
CmdValueKind CmdKindOfValueType(DWORD valueType);

// The command node of (item, key): the item's record numbered `key`, or an Identity record,
// which serves every key. Null without one (or without a description).
const DescNode* CmdFindCommandNode(DriverContext* context, WORD itemId, SHORT key);
// The node's texts before and after the value; "" for an absent text or node.
void CmdNodeTexts(DriverContext* context, const DescNode* node, const char** prefix, const char** suffix);

// Whether the item's numbers scale with the resolution (item-table code 2).
BOOL CmdIsResolutionDependent(const ItemTableRow* row);
// A number item's value as the number it stands for: s8, s16 and s32 sign-extended.
LONGLONG CmdItemNumber(const ItemTableRow* row, DWORD value);

// value -> the number the text carries: value * n0 / n1, or with `byResolution`
// value * n0 * dpi / (n1 * 1200), in 64 bits. A non-zero value that scales to 0 gives 1 (-1 when
// negative), so that a setting that is on never reads as off. FALSE (and 0) without a range
// block, when n0, n1 or dpi is 0, or when the result leaves 32 bits.
BOOL CmdScaleToText(DriverContext* context, const DescNode* node, LONGLONG value, BOOL byResolution,
                    LONGLONG* number);
// The reverse: number * n1 / n0, or number * n1 * 1200 / (n0 * dpi); a non-zero number that
// scales to 0 gives 1 (-1). FALSE (and 0) in the same cases.
BOOL CmdScaleFromText(DriverContext* context, const DescNode* node, LONGLONG number, BOOL byResolution,
                      LONGLONG* value);

// Formats the model value `value` of the item of `row` as `kind` through `node` into `out`
// (`capacity` bytes with the NUL). A string is the item's current text (`value` unused), in
// double quotes; 0 prints "0". Returns the length without the NUL; 0 (and "") when the value
// gives no text: no entry or an entry without text, an empty string, a zero scale field, a kind
// of none, or a text that does not fit.
DWORD CmdFormatValue(DriverContext* context, const ItemTableRow* row, const DescNode* node, CmdValueKind kind,
                     DWORD value, char* out, DWORD capacity);
// The value as it stands between the node's texts: as CmdFormatValue, but a string as it is
// (the node's texts carry its quotes).
DWORD CmdFormatLineValue(DriverContext* context, const ItemTableRow* row, const DescNode* node, CmdValueKind kind,
                         DWORD value, char* out, DWORD capacity);
// The node's line for the value: its text before, CmdFormatLineValue, its text after. Length
// without the NUL, 0 (and "") when the value gives no text or the line does not fit; a buffer
// of CmdLineBytes always fits.
DWORD CmdFormatLine(DriverContext* context, const ItemTableRow* row, const DescNode* node, CmdValueKind kind,
                    DWORD value, char* out, DWORD capacity);
DWORD CmdLineBytes(DriverContext* context, const DescNode* node);
// The text of a string item in ANSI into `out` (capacity with the NUL): an ANSI field as
// stored, a wide field narrowed, each bounded by its field; a double quote or a control byte
// becomes a blank and a lead byte left alone at the end is dropped, so that the text cannot end
// the quotes or the line it is written in. The length; 0 for another type or an empty field.
DWORD CmdItemText(DriverContext* context, const ItemTableRow* row, char* out, DWORD capacity);
// Blanks double quotes and control bytes of text bound for a PJL line (trail bytes of
// double-byte characters are never below 0x40, so they stay) and returns the length to send:
// a lead byte without its trail byte at the end is left off, or it would take the closing
// quote along as its trail byte.
DWORD CmdBlankLineBreakers(char* bytes, DWORD n);

// Parses `text` as a model value of the item through `node`: name -> the value of the entry of
// that text; on/off -> 1 for the true text, else 0; number -> a decimal number (sign allowed)
// scaled back, refused (FALSE, 0) outside the node's range or what the item's field can hold. *value always receives the result described (0 when the text names no entry,
// is no number, or a scale field is 0); the result says whether the text was one the node
// knows. Strings are not numbers: FALSE (use CmdParseString).
BOOL CmdParseValue(DriverContext* context, const ItemTableRow* row, const DescNode* node, CmdValueKind kind,
                   const char* text, DWORD* value);
// A string value's text without one pair of enclosing double quotes, into `out` (capacity with
// the NUL). FALSE when it does not fit.
BOOL CmdParseString(const char* text, char* out, DWORD capacity);

// The node's range block in item values. FALSE (and zeros) without one.
BOOL CmdNodeRange(DriverContext* context, const DescNode* node, LONG* lower, LONG* upper, LONG* defaultValue);
// The node's Boolean texts (off, on); null when absent. FALSE without a Boolean block.
BOOL CmdNodeOnOffTexts(DriverContext* context, const DescNode* node, const char** offText, const char** onText);
// Entry `index` of the node's value list: its text (null when it has none) and model value.
// FALSE past the end or without a list.
BOOL CmdNodeEntry(DriverContext* context, const DescNode* node, DWORD index, const char** text, DWORD* value);
