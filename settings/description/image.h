// The compiled model description (`ModelDescription`): one contiguous block that the compiler
// builds from a parse result, that the cache file beside the description holds byte for byte,
// and that every reader walks.
//
// The block is little-endian and position independent. Every link is a tagged offset from the
// block's start, (offset << 4) | 1, and 0 links nothing; links are never turned into pointers,
// so the same bytes serve in memory and on disk. Readers reach elements only through the
// accessors below, which follow a link only when it lands inside the block.
//
// Layout: the 4984-byte header, a 40-byte stamp, then in this order the Judge programs, the
// Item, Action, Transact, AlertAction and Alert entries, the conditions blocks, the UI records,
// their value lists and blocks, the job-control templates and font lists, and last all texts.
// Every element starts on a 4-byte boundary; the elements of one list are consecutive and each
// links to the next, always forward. A loaded block has passed DescValidateImage: every link
// reachable from the header leads to a whole element of the right kind, every list ends, every
// program ends with its end cell and passes the program check, every text ends with a NUL.
#pragma once

#include <cstddef>

#include "settings/description/parse_result.h"
#include "win32.h"

struct ModelDescription {
  BYTE* bytes;  // the block, header first; GlobalAlloc'ed, owned by the description
  DWORD size;
};

// ---- Header ---------------------------------------------------------------------------------

constexpr DWORD kDescOffVersion = 0;             // WCHAR[16]: `*FileVersion`, NUL-terminated
constexpr DWORD kDescOffImageSize = 32;          // u32: the whole block
constexpr DWORD kDescOffFirstNode = 36;          // link: the UI records in file order
constexpr DWORD kDescOffUiResDllName = 4936;     // link: wide text
constexpr DWORD kDescOffExcDepDllName = 4940;    // link: wide text
// 4944..4960: links to the templates of the job points (DescCommandPointOffset).
constexpr DWORD kDescOffDeviceFontCount = 4964;  // u32
constexpr DWORD kDescOffDeviceFonts = 4968;      // link: array of font rows
constexpr DWORD kDescOffCartridgeCount = 4972;   // u32
constexpr DWORD kDescOffCartridges = 4976;       // link: array of font rows
constexpr DWORD kDescOffFirstConditions = 4980;  // plain byte offset (not a link), 0 for none

// The stamp that follows the header: what a cache file must match to be used.
constexpr DWORD kDescOffStamp = 4984;
constexpr DWORD kDescStampMagic = 0x53434256;    // "VBCS"
constexpr DWORD kDescLayoutVersion = 1;
constexpr DWORD kDescOffStampMagic = 4984;       // u32
constexpr DWORD kDescOffStampLayout = 4988;      // u32
constexpr DWORD kDescOffStampSymbols = 4992;     // u64: DescSymbolTablesHash of the build
constexpr DWORD kDescOffStampSourceSize = 5000;  // u64: the description file's size
constexpr DWORD kDescOffStampSourceTime = 5008;  // u64: its last-write FILETIME
constexpr DWORD kDescOffStampChecksum = 5016;    // u64: DescImageChecksum
constexpr DWORD kDescFirstPartOffset = 5024;

// Links hold offsets in 28 bits; a block stays well below that.
constexpr DWORD kDescMaxImageBytes = DWORD(1) << 27;

constexpr DWORD DescLinkTo(DWORD offset) { return offset ? (offset << 4) | 1 : 0; }

// ---- Element kinds and sizes ------------------------------------------------------------------

// What a UI record's value link leads to. The list kinds are also the layouts of their entries.
enum DescBlockKind : WORD {
  kDescBlockNone = 0,
  kDescBlockList = 1,       // entries {next, value, kind, text}
  kDescBlockPageList = 2,   // ... + metric width and length, paper records (PickPage)
  kDescBlockSlotList = 3,   // ... + count and array of accepted papers (PickSlot)
  kDescBlockFontList = 4,   // ... + count and two arrays of font-pair texts (FontTbl)
  kDescBlockRange = 5,      // `*NumericValue`
  kDescBlockString = 6,     // `*StringValue` and the String default
  kDescBlockBoolean = 7,    // default and the true and false texts
};
constexpr bool DescIsListBlock(WORD kind) { return kind >= kDescBlockList && kind <= kDescBlockFontList; }

constexpr DWORD kDescNodeBytes = 32;
constexpr DWORD kDescPaperBytes = 36;
constexpr DWORD kDescRangeBytes = 24;
constexpr DWORD kDescStringBytes = 8;
constexpr DWORD kDescBooleanBytes = 12;
constexpr DWORD kDescConditionsBytes = 32;
constexpr DWORD kDescItemValueBytes = 16;
constexpr DWORD kDescRuleBytes = 12;
constexpr DWORD kDescActionBytes = 12;
constexpr DWORD kDescAlertActionBytes = 12;
constexpr DWORD kDescAlertBytes = 20;
constexpr DWORD kDescBranchBytes = 12;
constexpr DWORD kDescTemplateNodeBytes = 16;
constexpr DWORD kDescFontRowBytes = 8;
// The size of a value entry of a list kind, 0 for another kind.
DWORD DescValueEntryBytes(WORD blockKind);

// ---- Handles ----------------------------------------------------------------------------------
// Each handle is the address of an element inside a loaded block; the types are never defined.

struct DescNode;         // UI record: one `*OpenUI` block
struct DescValue;        // value-list entry
struct DescPaper;        // paper record of a paper value
struct DescConditions;   // conditions block of an item (`*Exclusive` entry)
struct DescItemValue;    // per-value entry of a conditions block (`*Item` entry)
struct DescRule;         // `*Transact` entry: condition program and actions
struct DescAction;       // `*Action` entry
struct DescAlertAction;  // `*AlertAction` entry
struct DescAlert;        // `*Alert` entry
struct DescProgram;      // Judge program: cells up to the end cell
struct DescBranch;       // job-control template: {program, list if it holds or is absent, else list}
struct DescTemplateNode; // node of a template list

// ---- Reading the header ------------------------------------------------------------------------

// The `*FileVersion` text ("" when the block has none). The block must hold a header.
const WCHAR* DescImageVersion(const ModelDescription* d);
// The first UI record (file order), or null.
const DescNode* DescFirstNode(const ModelDescription* d);
// The header slot's record of an item (its first record), or null: ids 1..947 and 10001..10277.
const DescNode* DescSlotNode(const ModelDescription* d, WORD itemId);
// `*UIResDLLName` and `*ExcDepDLLName`, or null.
const WCHAR* DescUiResDllName(const ModelDescription* d);
const WCHAR* DescExcDepDllName(const ModelDescription* d);
// The template of a job point (kPointJobStart ...), or null.
const DescBranch* DescCommandTree(const ModelDescription* d, int point);
// The first conditions block (all of them in file order), or null.
const DescConditions* DescFirstConditions(const ModelDescription* d);
// The device-font list (cartridges false) or the font-cartridge list: its count, 0 without one.
DWORD DescFontCount(const ModelDescription* d, bool cartridges);
// Entry `index` of that list: its number and its name (the decoded bytes of the file). FALSE
// past the end.
BOOL DescFontEntry(const ModelDescription* d, bool cartridges, DWORD index, DWORD* number, const char** name);

// ---- UI records -------------------------------------------------------------------------------

const DescNode* DescNextNode(const ModelDescription* d, const DescNode* node);
WORD DescNodeKey(const DescNode* node);            // command key of the item symbol
SHORT DescNodeNumber(const DescNode* node);        // numbered copy; Identity: the other item's key
WORD DescNodeItemId(const DescNode* node);
WORD DescNodeType(const DescNode* node);           // UI type with its flag bits
WORD DescNodeDefaultIndex(const DescNode* node);   // list kinds: index of the default entry
WORD DescNodeBlockKind(const DescNode* node);      // DescBlockKind of the value link
const DescConditions* DescNodeConditions(const ModelDescription* d, const DescNode* node);
// The first entry of a list kind, or null.
const DescValue* DescNodeFirstValue(const ModelDescription* d, const DescNode* node);
// The blocks of the other kinds; FALSE (and nothing written) when the record has no such block.
BOOL DescNodeRange(const ModelDescription* d, const DescNode* node, DescRange* range);
BOOL DescNodeString(const ModelDescription* d, const DescNode* node, DescStringBlock* block);
struct DescBooleanView {
  LONG defaultValue;
  const char* trueText;   // null when the file gave none
  const char* falseText;
};
BOOL DescNodeBoolean(const ModelDescription* d, const DescNode* node, DescBooleanView* block);
// The two `*OptionCommand` texts; FALSE when the record has none.
BOOL DescNodeCommand(const ModelDescription* d, const DescNode* node, const char** prefix, const char** suffix);

// ---- Value entries ------------------------------------------------------------------------------

const DescValue* DescNextValue(const ModelDescription* d, const DescValue* value);
WORD DescValueValue(const DescValue* value);             // model value
WORD DescValueKind(const DescValue* value);              // the list kind it belongs to
const char* DescValueText(const ModelDescription* d, const DescValue* value);  // null when none
// Paper values: the metric width and length (0.1 mm); FALSE when not given.
BOOL DescValueMetric(const DescValue* value, LONG* width, LONG* length);
const DescPaper* DescValueFirstPaper(const ModelDescription* d, const DescValue* value);
const DescPaper* DescNextPaper(const ModelDescription* d, const DescPaper* paper);
void DescReadPaper(const DescPaper* paper, DescPaperRecord* record);
// Tray values: the papers they take (model values of item 8).
DWORD DescValueTrayCount(const DescValue* value);
WORD DescValueTrayPaper(const ModelDescription* d, const DescValue* value, DWORD index);  // 0 past the end
// Font-table values: the font pairs.
DWORD DescValueFontPairCount(const DescValue* value);
BOOL DescValueFontPair(const ModelDescription* d, const DescValue* value, DWORD index, const char** first,
                       const char** second);

// ---- Constraints ------------------------------------------------------------------------------

struct DescConditionsView {
  const DescConditions* next;
  WORD key;                        // command key of the item
  WORD itemId;
  const DescProgram* disabled;     // the item's own programs
  const DescProgram* hidden;
  const DescItemValue* values;     // per-value programs
  const DescAlert* alerts;
  const DescRule* rules;
  const DescRule* secondRules;     // kept; nothing reads it
};
void DescReadConditions(const ModelDescription* d, const DescConditions* block, DescConditionsView* view);

struct DescItemValueView {
  const DescItemValue* next;
  WORD value;                      // model value
  const DescProgram* disabled;
  const DescProgram* hidden;
};
void DescReadItemValue(const ModelDescription* d, const DescItemValue* entry, DescItemValueView* view);

struct DescRuleView {
  const DescRule* next;
  const DescProgram* program;      // null: the rule always fires
  const DescAction* actions;
};
void DescReadRule(const ModelDescription* d, const DescRule* rule, DescRuleView* view);

struct DescActionView {
  const DescAction* next;
  WORD target;                     // item id or page id
  WORD targetKind;                 // kActionTargetItem or kActionTargetPage
  LONG value;                      // model value for an item
};
void DescReadAction(const ModelDescription* d, const DescAction* action, DescActionView* view);

struct DescAlertActionView {
  const DescAlertAction* next;
  WORD itemId;
  const DescRule* rules;
};
void DescReadAlertAction(const ModelDescription* d, const DescAlertAction* entry, DescAlertActionView* view);

struct DescAlertView {
  const DescAlert* next;
  const DescProgram* program;
  WORD message;                    // message id, 0 when unknown
  SHORT icon;                      // -1 when unknown
  SHORT buttons;
  SHORT kind;
  const DescAlertAction* alertAction;
};
void DescReadAlert(const ModelDescription* d, const DescAlert* alert, DescAlertView* view);

// Cell `index` of a program. A program ends with its end cell {3, 10}; read no further.
DescCell DescProgramCell(const DescProgram* program, DWORD index);

// ---- Job-control templates ---------------------------------------------------------------------
// Node kinds: kCommandGroup (the item's record `number` and its `*OptionCommand`), kCommandString
// (a literal text), kCommandConditional (a nested branch), kCommandFont (the device-font line).
// The record a kCommandGroup node names is the item's command node: its two `*OptionCommand`
// texts go around the value, which its UI type writes: a list type the text of the entry of the
// item's model value, Boolean the block's true or false text, Numeric the value times the range's
// n0 divided by its n1, String the item's text.

struct DescBranchView {
  const DescProgram* program;      // null: the first list is taken
  const DescTemplateNode* thenList;
  const DescTemplateNode* elseList;
};
void DescReadBranch(const ModelDescription* d, const DescBranch* branch, DescBranchView* view);

struct DescTemplateNodeView {
  const DescTemplateNode* next;
  WORD kind;
  WORD itemId;                     // kCommandGroup
  SHORT number;                    // kCommandGroup
  const char* text;                // kCommandString: the command string, null when it has none
  DWORD textLength;                // its length with the terminating NUL
  const DescBranch* branch;        // kCommandConditional
};
void DescReadTemplateNode(const ModelDescription* d, const DescTemplateNode* node, DescTemplateNodeView* view);

// ---- Checking a block ------------------------------------------------------------------------

// Checks the structure of a block that came from outside (a cache file): the header's size and
// version text, the stamp's magic and layout version, and every element reachable from the
// header as described at the top of this file. Nothing else is read; the block is not changed.
BOOL DescValidateImage(const BYTE* bytes, DWORD size);

// A hash of the symbol, page and message tables that names in a description resolve through;
// a block compiled against other tables must not be used.
ULONGLONG DescSymbolTablesHash();
// A hash of the whole block with its checksum field taken as 0.
ULONGLONG DescImageChecksum(const BYTE* bytes, DWORD size);

// Little-endian loads and stores of the block's fields.
inline WORD DescLoadU16(const BYTE* p) { return static_cast<WORD>(p[0] | (p[1] << 8)); }
inline DWORD DescLoadU32(const BYTE* p) {
  return DWORD(p[0]) | (DWORD(p[1]) << 8) | (DWORD(p[2]) << 16) | (DWORD(p[3]) << 24);
}
inline ULONGLONG DescLoadU64(const BYTE* p) { return DescLoadU32(p) | (ULONGLONG(DescLoadU32(p + 4)) << 32); }
inline void DescStoreU16(BYTE* p, WORD v) {
  p[0] = BYTE(v);
  p[1] = BYTE(v >> 8);
}
inline void DescStoreU32(BYTE* p, DWORD v) {
  for (int i = 0; i < 4; ++i) p[i] = BYTE(v >> (8 * i));
}
inline void DescStoreU64(BYTE* p, ULONGLONG v) {
  DescStoreU32(p, DWORD(v));
  DescStoreU32(p + 4, DWORD(v >> 32));
}
