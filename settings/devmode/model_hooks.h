// The model-specific hooks of the settings library: the build-feature bits, the model's feature
// items, the model code text, and the device-code tables that the bidirectional installed-option
// query translates its answers with.
//
// The device-code tables are generated from data/bidi_device_codes.txt; every table ends with a
// row of zeros.
#pragma once

#include "settings/context/driver_context.h"
#include "win32.h"

// ---- Device-code tables ---------------------------------------------------------------------

// The device reports option `code`: installed-option item `item` is set. {0, 0} ends the table.
struct BidiOptionCodeRow {
  DWORD item;
  DWORD code;
};

// A translation {result, device code}; the 16-bit result is an item or a value. A result of 0
// ends the table.
struct BidiTranslationRow {
  DWORD result;
  DWORD code;
};

// The item groups of a tray slot, by device tray identifier.
enum BidiTrayGroup : int {
  kBidiTrayField = 0,     // the tray is present (items 10111..)
  kBidiTrayOrientation,   // 10143..
  kBidiTrayPaper,         // 10175..
  kBidiTrayMedia,         // 10207..
  kBidiTrayLock,          // 10239..
  kBidiTrayGroupCount
};

// The option-code table of machine `model` (one table serves every model): 14 rows and the
// zero row.
const BidiOptionCodeRow* BidiGetOptionCodeTable(DWORD model);
// The tray table of one item group; null for a group outside the enumeration.
const BidiTranslationRow* BidiGetTrayTable(int group);
// Device tray identifier -> tray value (dmDefaultSource).
const BidiTranslationRow* BidiGetTrayValueTable();
// Device paper code -> paper value: the first table, or the second (searched when the first
// lacks the code). Both begin with {2048, 0}; 2048 and 2049 mean no paper.
const BidiTranslationRow* BidiGetPaperTable(BOOL second);
// Device media code -> media value; 2048 means none.
const BidiTranslationRow* BidiGetMediaTable();

// 1 when the device option `code` stands for a group of options (132, 133, 134, 137, 138, 12).
int BidiIsGroupedOptionCode(DWORD code);

// The query set installed-option `item` because the device reported option `code`: applies the
// side setting that goes with that pair (item 10023 with code 101 sets item 10110 to 1) and then
// sets *changed to 1. TRUE when a side setting was applied; otherwise nothing is touched.
BOOL BidiApplyOptionSideEffect(DWORD item, DWORD code, DWORD* changed, DriverContext* context);

// ---- Model code and feature bits --------------------------------------------------------------

// Builds the 14-character model code text and stores it into item 10274: "0101870207d014" when
// item 380 is 0, else "0100870207d014", with the characters at 0-based positions 6-7 and 12-13
// replaced by the memory class of item 10012 (when the card-memory unit is supported and
// installed, items 299 and 10063: 160 -> "00"/"05", 192 -> "01"/"0a", else "02"/"14";
// otherwise 32 -> "00"/"05", 64 -> "01"/"0a", 96 and above "02"/"14", other values keep the
// base). FALSE when the context has no record.
BOOL CfgBuildModelCode(DriverContext* context);

// Whether the user code is read from the user-code INI: never for this model family (0).
int CfgUserCodeSwitch(DriverContext* context);

// Bit `n` (0..31) of the build-feature bits (bit 7 set, bit 0 clear; they select the kind of
// remote-management connection); 0 for any other n.
int SysTestFeatureBit(DWORD n);

// The value of a model feature item 916..947 (stored in the printer configuration); 0 for any
// other item.
DWORD OptGetUserPaperItem(DriverContext* context, WORD item);
