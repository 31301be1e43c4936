// What the description parser hands to the description compiler: the model description file
// read into ordinary memory, in the shape of the image it becomes.
//
// Values are model values (data/README.md, "The value space"): every value symbol of the file
// stands for its model value. References between statements (Judge, Item, Action, Transact,
// AlertAction, Alert) are kept as the number of the referenced statement, resolved from a
// direct reference ("Judge12") or a name; 0 is none. The compiler turns numbers into links.
#pragma once

#include <array>
#include <deque>
#include <string>
#include <vector>

#include "settings/context/global_allocator.h"
#include "win32.h"

template <class T>
using DescVector = std::vector<T, GlobalAllocator<T>>;
template <class T>
using DescDeque = std::deque<T, GlobalAllocator<T>>;
using DescString = CountedString;
using DescWideString = CountedWString;

// ---- UI types ------------------------------------------------------------------------------
// Bit 0 marks the list types. Identity and TypeUnknown are flags ORed into a type; readers
// mask them (kUiFlagMask) before they look at the kind.

constexpr WORD kUiPickOne = 0x1;
constexpr WORD kUiPickMany = 0x2;
constexpr WORD kUiBoolean = 0x4;
constexpr WORD kUiNumeric = 0x8;
constexpr WORD kUiString = 0x10;
constexpr WORD kUiPickPage = 0x101;
constexpr WORD kUiPickSlot = 0x201;
constexpr WORD kUiFontTbl = 0x401;
constexpr WORD kUiIdentity = 0x1000;
constexpr WORD kUiTypeUnknown = 0x2000;
constexpr WORD kUiFlagMask = 0x3000;

constexpr WORD DescUiKind(WORD type) { return WORD(type & ~kUiFlagMask); }
constexpr bool DescIsListType(WORD type) { return (type & 1) != 0; }

// ---- Value lists and blocks ------------------------------------------------------------------

// A paper record of a paper value: margins and printable size in dots at `resolution`, for
// one orientation and optionally only while `conditionItem` holds `conditionValue`.
struct DescPaperRecord {
  WORD resolution;      // dpi, never 0
  WORD orientation;     // model value of dmOrientation
  WORD conditionItem;   // 0: no condition
  WORD conditionValue;
  LONG left, top, width, length;
  LONG a, b;            // the full paper length and width in dots (0 when not given)
};

struct DescFontPair {
  DescString first;     // TrueType face
  DescString second;    // device face
};

// One entry of a list type. Besides value and text, a paper value carries its metric size and
// paper records, a tray value the papers it accepts, a font-table value its font pairs.
struct DescValueEntry {
  WORD value = 0;
  bool hasText = false;
  DescString text;
  bool hasMetric = false;
  LONG metricWidth = 0;   // 0.1 mm
  LONG metricLength = 0;
  DescVector<DescPaperRecord> papers;
  bool hasTrayPapers = false;
  DescVector<WORD> trayPapers;
  bool hasFontPairs = false;
  DescVector<DescFontPair> fontPairs;
};

// `*NumericValue`: n0 and n1 are the multiplier and divisor that scale the value into the
// job-control text; n2..n5 are further fields of the model, kept as written.
struct DescRange {
  WORD n0 = 0, n1 = 0, n2 = 0, n3 = 0, n4 = 0, n5 = 0;
  LONG defaultValue = 0;
  LONG minimum = 0;
  LONG maximum = 0;
};

// `*StringValue` and the String kind's default line.
struct DescStringBlock {
  WORD length = 0;
  WORD stringClass = 0;
  WORD showFlags = 0;
  WORD defaultValue = 0;
};

// The two texts and the default of a record that is not a list (Boolean above all).
struct DescBoolBlock {
  LONG defaultValue = 0;
  bool hasTrueText = false;
  bool hasFalseText = false;
  DescString trueText;
  DescString falseText;
};

// What a UI record's value link leads to. An Identity record shares its referenced record's
// data; a numbered copy gets a copy of its own. The record's type says which part counts.
struct DescValueData {
  DescVector<DescValueEntry> entries;
  bool hasRange = false;
  DescRange range;
  bool hasString = false;
  DescStringBlock string;
  bool hasBoolean = false;
  DescBoolBlock boolean;
};

// One `*OpenUI` block (`DescNode` in the image).
struct DescUiRecord {
  WORD key = 0;            // command key of the item symbol
  SHORT number = 0;        // numbered copy; an Identity record: the referenced item's key
  WORD itemId = 0;
  WORD type = 0;
  WORD defaultIndex = 0;   // list types: index of the default entry once the block is closed
  DescValueData* values = nullptr;  // owned by the parse result
  bool hasCommand = false;  // `*OptionCommand`
  DescString commandPrefix;
  DescString commandSuffix;
  // Parse-time state: a default line gave a value that the close turns into an index; a copy
  // or Identity record came with an index of its own.
  bool defaultPending = false;
  bool inherited = false;
  WORD inheritedIndex = 0;
};

// ---- Command trees -----------------------------------------------------------------------

enum DescCommandKind : WORD {
  kCommandGroup = 1,        // the OptionCommand of the UI record (itemId, number)
  kCommandString = 2,       // command string `stringNumber`
  kCommandConditional = 3,  // Judge `judge` chooses thenList or elseList
  kCommandFont = 4,         // the device-font line
};

struct DescCommandNode {
  WORD kind = 0;
  WORD itemId = 0;
  SHORT number = 0;
  LONG stringNumber = 0;
  LONG judge = 0;
  std::vector<DescCommandNode, GlobalAllocator<DescCommandNode>> thenList;
  std::vector<DescCommandNode, GlobalAllocator<DescCommandNode>> elseList;
};
using DescCommandList = DescVector<DescCommandNode>;

// Job points of `*CommandGroup`, in the file's numbering.
enum DescCommandPoint : int {
  kPointJobStart = 1,
  kPointJobEnd = 2,
  kPointPageStart = 3,
  kPointPageEnd = 4,
  kPointDocReset = 5,
};
constexpr int kDescCommandPoints = 6;  // indexed by DescCommandPoint; 0 unused

// ---- Statement lists -----------------------------------------------------------------------

struct DescCommandString {
  LONG number = 0;
  DescString text;  // decoded bytes; the image stores text.size() + 1 bytes with the terminator
};

// A program cell: kind 1 item, 2 constant, 3 operator.
struct DescCell {
  WORD kind;
  WORD value;
  bool operator==(const DescCell&) const = default;
};
constexpr WORD kCellItem = 1;
constexpr WORD kCellConstant = 2;
constexpr WORD kCellOperator = 3;
constexpr WORD kOpEqual = 1, kOpNotEqual = 2, kOpAnd = 3, kOpOr = 4, kOpNot = 5;
constexpr WORD kOpGreater = 6, kOpLess = 7, kOpGreaterEqual = 8, kOpLessEqual = 9, kOpEnd = 10;

struct DescJudge {
  LONG number = 0;
  DescVector<DescCell> cells;  // ends with {3, 10}
};

struct DescItemEntry {
  WORD value;
  LONG disabledJudge;
  LONG hiddenJudge;
};

constexpr WORD kActionTargetItem = 0;
constexpr WORD kActionTargetPage = 1;
struct DescActionEntry {
  WORD target;      // item id or page id
  WORD targetKind;  // kActionTargetItem or kActionTargetPage
  LONG value;
};

struct DescTransactEntry {
  LONG judge;   // 0: the rule always fires
  LONG action;
};

struct DescAlertActionEntry {
  WORD itemId;
  LONG transact;
};

struct DescAlertEntry {
  LONG judge;
  WORD message;      // message id (257..292), 0 when unknown
  LONG icon;         // -1 when unknown
  LONG buttons;      // -1 when unknown
  LONG kind;         // -1 when unknown
  LONG alertAction;
};

// One `*Exclusive` entry: the conditions block of its item.
struct DescExclusiveEntry {
  WORD itemId;
  WORD key;
  LONG disabledJudge;
  LONG hiddenJudge;
  LONG itemSet;
  LONG alertSet;
  LONG rules;
  LONG secondRules;
};

template <class Entry>
struct DescSet {
  LONG number = 0;
  DescVector<Entry> entries;
};

struct DescFont {
  LONG number = 0;
  DescString name;
};

// ---- What the parser reports ------------------------------------------------------------

enum class DescIssue : int {
  // The statement could not be read.
  kNoKeyword = 1,
  kEmptyOption,
  kMissingColon,
  kBracketInQuotes,      // ( ) { } inside quotes: write them as %( or <28>
  kUnbalancedBracket,
  kLineEndAfterPercent,
  kUnterminatedValue,    // the file ends inside quotes, parentheses or braces
  // The statement was read and refused.
  kUnknownKeyword,
  kOutsideBlock,         // an option or default line with no block of its item open
  kBlockAlreadyOpen,
  kNoOpenBlock,
  kUnknownItemSymbol,
  kUnknownValueSymbol,
  kUnknownName,
  kUnknownEntry,         // a per-value statement names a value that its item's list lacks
  kWrongUiType,
  kDuplicateValue,
  kBadNumber,
  kNumberZero,
  kResolutionZero,
  kSyntax,
  kIllFormedProgram,
  kTooLarge,             // a program, nesting or total beyond the parser's bounds
  kUnresolvedReference,
  kOutOfMemory,
  // Kept, with a remark.
  kReplaced,             // a later statement replaced this point's tree or list
  kEntriesMisaligned,    // inner braces do not match the entry groups
  kListEndedEarly,       // an IDList stopped at an unreadable entry
  kDuplicateName,        // the name keeps its first statement
};

struct DescParseIssue {
  DWORD line = 0;       // 1-based line of the statement's `*`
  bool dropped = false; // the whole statement was ignored
  DescIssue issue = DescIssue::kSyntax;
  DescString keyword;   // at most 40 bytes of the keyword
};

// A short English phrase for an issue.
const char* DescIssueText(DescIssue issue);

// ---- The parse result --------------------------------------------------------------------

// The header's 32-bit slots: slot n is header byte 4n.
constexpr int kDescHeaderBytes = 4984;
constexpr int kDescHeaderSlots = kDescHeaderBytes / 4;

// The header slot of an item's UI record, or -1 for an id that has none (0, 948..10000, above
// 10277): items 1..706 at byte 36 + 4 id, 10001..10277 at 4 (id - 9285), 707..947 at
// 36 + 4 (id + 277).
int DescHeaderSlotOfItem(WORD itemId);
// The header byte offset of a job point's command tree (the image orders them JobStart,
// JobEnd, DocReset, PageStart, PageEnd), or 0 for a number that is no point.
int DescCommandPointOffset(int point);

struct DescParseResult {
  WCHAR version[16] = {};
  // The first UI record of each item that has a header slot.
  std::array<DescUiRecord*, kDescHeaderSlots> slots{};
  DescDeque<DescUiRecord> records;   // every UI record in file order
  DescDeque<DescValueData> valueData;
  bool hasUiResDllName = false;
  DescWideString uiResDllName;
  bool hasExcDepDllName = false;
  DescWideString excDepDllName;
  std::array<bool, kDescCommandPoints> hasCommandTree{};
  std::array<DescCommandList, kDescCommandPoints> commandTrees;
  bool hasDeviceFonts = false;
  DescVector<DescFont> deviceFonts;
  bool hasFontCartridges = false;
  DescVector<DescFont> fontCartridges;

  DescVector<DescCommandString> commandStrings;
  DescVector<DescJudge> judges;
  DescVector<DescSet<DescItemEntry>> itemSets;
  DescVector<DescSet<DescActionEntry>> actionSets;
  DescVector<DescSet<DescTransactEntry>> transactSets;
  DescVector<DescSet<DescAlertActionEntry>> alertActionSets;
  DescVector<DescSet<DescAlertEntry>> alertSets;
  DescVector<DescExclusiveEntry> exclusives;

  // What the parser dropped or remarked on, in file order; the first kDescMaxIssues are kept
  // and issueCount counts them all.
  DescVector<DescParseIssue> issues;
  DWORD issueCount = 0;
  DWORD droppedCount = 0;
  DWORD outOfMemoryCount = 0;  // statements lost to a lack of memory: the result is not the file's
};

// The record of an item: its header slot, or for an item without one the first record of
// that id in file order. Null when the item has none.
const DescUiRecord* DescFindParsedRecord(const DescParseResult* result, WORD itemId);
// The model default of an item as described so far: the value at the default index for list
// types (while a block is open, the value its default line gave), the Boolean default, the
// range default, the String default; 0 for any other record or none.
LONG DescParsedDefaultValue(const DescParseResult* result, WORD itemId);
