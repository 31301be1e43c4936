// The PJL command table: which "@PJL SET" commands the constraint-query interface knows, the
// item each one sets, the value texts it accepts and what they mean, and the lists beside it.
//
// The rows are generated from data/pjl_commands.txt, which the table generator checks (every
// item exists and carries the named item, values fit their item, every list and chain is
// defined and used). Everything here is constant; values are stored values, never model values.
// The command engine and the availability queries (constraints/option_availability.h) only walk it.
#pragma once

#include "settings/constraints/condition_node.h"
#include "win32.h"

// ---- Rows -----------------------------------------------------------------------------------

// Flags of a command row.
constexpr DWORD kExcCommandFromList = 0x1;      // the value comes from the row's value list
constexpr DWORD kExcCommandModelNode = 0x2;     // read, parsed and formatted through the model
                                                // command node of (item, sub-id)
constexpr DWORD kExcCommandTestOnCopy = 0x8;    // a value is available only if applying it
                                                // survives a full constraint re-pass
constexpr DWORD kExcCommandForceFeed = 0x100;   // with kExcCommandLinked: FORCEFEED
constexpr DWORD kExcCommandBinding = 0x800;     // with kExcCommandLinked: coded by the booklet family
constexpr DWORD kExcCommandBooklet = 0x1000;    // with kExcCommandLinked: BOOKLET
constexpr DWORD kExcCommandLinked = 0x10000;

// Access bits of a command row (the "mode" of a lookup).
constexpr DWORD kExcAccessJob = 0x1;            // SET lines of a base or an update, value lists
constexpr DWORD kExcAccessPrinterOption = 0x2;  // printer options; the row's condition list must hold
constexpr DWORD kExcAccessPrinterValue = 0x4;   // printer values

// Value types of a command row.
constexpr DWORD kExcTypeEnumeration = 0x1;
constexpr DWORD kExcTypeOnOff = 0x4;
constexpr DWORD kExcTypeNumeric = 0x8;
constexpr DWORD kExcTypeString = 0x10;
constexpr DWORD kExcTypeKeywordPair = 0x20;  // watermark fields only: the WMKORDER line

// Flags of a value row.
constexpr DWORD kExcValueNone = 0x1;         // the "none" row: matched whatever the value when its
                                             // side settings agree; skipped by lists that ask to
                                             // skip, and not applied by the re-pass test
constexpr DWORD kExcValueConditional = 0x10; // listed only when acceptable
constexpr DWORD kExcValueHidden = 0x100;     // never acceptable

// A line written after the value's own line (no row of the shipped table has one).
struct ExcExtraLine {
  const ExcExtraLine* next;
  const char* text;
  const char* commandName;
};

struct ExcValueRow {
  DWORD flags;                 // kExcValue...
  DWORD value;                 // the item's stored value
  const char* text;            // the PJL value text ("SORT")
  const char* commandName;     // the row's own command name, or null
  const CondNode* side;        // side settings applied with the value, or null
  const CondNode* condition;   // must hold for the value to be available; null holds
  const ExcExtraLine* extra;   // or null
};

struct ExcValueList {
  DWORD count;
  const ExcValueRow* rows;
};

// The range record of a numeric command: the bounds come from the model command node; the
// condition says when its values are listed as acceptable.
struct ExcRangeRecord {
  const CondNode* condition;
};

struct ExcCommandRow {
  DWORD item;                  // the item the command sets (0 for FORCEFEED)
  DWORD subId;                 // second key of the model command node
  DWORD flags;                 // kExcCommand...
  DWORD access;                // kExcAccess...
  DWORD valueType;             // kExcType...
  const char* name;            // the PJL command name, or null (found through its values' names)
  const CondNode* side;        // side settings applied whenever the command is applied, or null
  const ExcValueList* values;  // or null
  const ExcRangeRecord* range; // numeric rows with a range record, else null
  const CondNode* condition;   // tested for the printer-option access, or null
};

struct ExcCommandTable {
  DWORD count;
  const ExcCommandRow* rows;
};

// An item written through the command of another item.
struct ExcCommandAlias {
  DWORD item;
  DWORD commandItem;
};

// A BOOKLET value and the binding code (item 102) of TOP in its family; RIGHT and LEFT follow
// as base + 1 and base + 2.
struct ExcBookletFamily {
  DWORD booklet;
  DWORD bindingBase;
};

// A row of the watermark field list: one SET line of a loaded stamp.
struct ExcWaterMarkField {
  DWORD kinds;      // the stamp kind it serves (0 text, 1 image), or a bit of 0xF0 for all
  DWORD skip;       // rows passed over after this row wrote its line
  DWORD valueType;  // kExcType... or kExcTypeKeywordPair
  DWORD item;       // 0 for the keyword pair
};
constexpr DWORD kExcWaterMarkAllKinds = 0x10;
constexpr DWORD kExcWaterMarkKindMask = 0xF0;  // any of these bits: every kind

// ---- Accessors ------------------------------------------------------------------------------
// Each returns the constant table and its row count; nothing is ever null.

// The 48 command rows, in search order.
const ExcCommandTable* ExcGetCommandTable();
// The items whose commands every command base must set (8, 7, 50, 13).
const DWORD* ExcGetRequiredCommands(DWORD* count);
// Items written through another item's command (64 through 129).
const ExcCommandAlias* ExcGetCommandAliases(DWORD* count);
// The FORCEFEED value texts in order ("SEF", "LEF", "ALL").
const char* const* ExcGetForceFeedTexts(DWORD* count);
// The booklet families, by BOOKLET value.
const ExcBookletFamily* ExcGetBookletFamilies(DWORD* count);
// The watermark field rows, in order.
const ExcWaterMarkField* ExcGetWaterMarkFields(DWORD* count);
// The keyword pair's texts: "WMKORDER" (0) and "PAPER" (1); null for any other n.
const char* ExcGetWaterMarkKeyword(DWORD n);
