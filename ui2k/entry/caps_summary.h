// The common header of the private devmode and the two 32-byte records the interface library
// keeps in it: the summary record (item 712), which another program writes to ask for finishing,
// tray, resolution, scale, n-up and output paper settings, and the capability record (item 713),
// which tells it what the model offers.
#pragma once

#include "settings/items/settings_record.h"
#include "ui2k/entry/ui_context.h"
#include "win32.h"

constexpr size_t kUiRecordBytes = 32;
constexpr BYTE kCommonHeaderVersion = 5;

// Summary kinds (byte 0) and the mark (byte 1) without which a record is ignored.
constexpr BYTE kSummaryReset = 2;
constexpr BYTE kSummaryQuery = 3;
constexpr BYTE kSummaryResetAndQuery = 4;
constexpr BYTE kSummaryMark = 1;

// The items an applied summary may set, in the order of the bits DmApplySummaryBytes answers.
constexpr WORD kSummaryItems[] = {714, 42, 50, 57, 58, 59, 61, 64, 65, 66, 90, 92, 94, 95, 102, 129, 134, 136, 182};

// The output-tray table of the summary codes 14 and 15: the first row whose item has a non-zero
// saved value gives code 14 its third field and code 15 its second; the end row (item -1) when
// none has. The capability record's output-tray byte: a bit for each allowed tray. Both are
// generated from data/output_trays.txt.
struct UiOutputTrayRow {
  LONG item;
  LONG second;
  LONG third;
};
struct UiOutputTrayBit {
  WORD tray;  // item 57's stored value
  BYTE bit;
};
extern const UiOutputTrayRow kUiOutputTrayTable[];
extern const UiOutputTrayBit kUiOutputTrayBits[];
extern const size_t kUiOutputTrayBitCount;

// Fills the common header of `devmode` (this driver's layout) from the context's model
// defaults: the three 16-byte ANSI names, the tag "QCOMMON" with its NUL, the version byte 5, and
// the summary and capability records zeroed.
void DmFillCommonHeader(UiContext* ui, PrivateDevmode* devmode);

// Applies the summary record of `devmode` (this driver's layout) to it. Byte 1 not 1: 1, nothing
// done. Otherwise UI-state flag 0x40000000 is set and byte 0 decides: 2 the context is reset to
// the interface defaults and its devmode copied into `devmode`; 3 and 4 (4 resets first, reloads
// the device options and copies the device configuration) the device is queried for the summary
// (failure: 0) and the context's devmode copied out; any other kind applies bytes 2..13 to
// `devmode` through the context (whose own devmode is put back on every path), runs the
// constraint actions of the items whose bits were set, re-syncs resolution and duplex into the
// public fields, and copies the result into `devmode`. 1; 0 also when memory runs out.
int DmApplyCapsSummary(UiContext* ui, PrivateDevmode* devmode);

// Applies bytes 2..13 of `record` to the context's own settings; the bits of kSummaryItems that
// were set.
DWORD DmApplySummaryBytes(UiContext* ui, const BYTE* record);

// Builds the capability record of the model's allowed values into item 713, and an empty
// summary record (byte 1 = 0, so a merge of the devmode never applies it) into item 712.
void DmBuildCapsSummary(UiContext* ui);
// The capability record alone, into `record` (32 bytes).
void DmBuildCapsRecord(UiContext* ui, BYTE* record);
