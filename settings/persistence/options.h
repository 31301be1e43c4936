// Loading and saving the persisted items of a context between sessions.
//
// Each item row says where its value lives:
//   section 2, storage class 1   printer data, value name = the row's key name
//   section 1 or 3, class 2      the settings INI: section = the row's group, or the printer's
//                                name made safe; key = the row's key name
//   (section 2, class 2          the settings INI as well)
//   anything else                not stored here (section-1 class-1 rows live in the devmode)
// A row without a key name is never stored. The font lists of section 2 (10004..10009) have their
// own operations (persistence/font_lists.h).
//
// Printer data holds numbers as REG_BINARY of their width (1, 2 or 4 bytes; a bit as the 4-byte
// value 0 or 1) and strings as their full field; item 10275 alone is REG_DWORD. The INI holds
// decimal text (unsigned for u8, u16 and u32) and string text.
//
// The job-action bits 224..239 are one 16-bit word, stored together as the INI key "vdmAction".
// A settings INI written before the word existed holds a key per bit ("ACT_PROOFPRINT"); the first
// load that finds no "vdmAction" reads those and writes "vdmAction".
#pragma once

#include "data/item_ids.h"
#include "settings/context/driver_context.h"
#include "settings/persistence/ini_engine.h"
#include "settings/items/table.h"
#include "win32.h"

// The section argument that means every section.
constexpr int kCfgAllSections = -1;

// Classes of CfgLoad.
constexpr int kCfgLoadAll = -1;        // every section, then the font lists
constexpr int kCfgLoadSettings = 1;    // sections 3 and 1 (the INI items)
constexpr int kCfgLoadDevice = 2;      // section 2, then the font lists

// Flags of the loads and saves.
constexpr DWORD kCfgDeviceInfoOnly = 0x1;       // save: only device-information rows
constexpr DWORD kCfgFromServer = 0x10;          // load: printer data through the server reader
// Save every device-information row, the unchanged ones too (the sign bit turns off the rule of
// writing only values that differ from the saved copy).
constexpr DWORD kCfgSaveAllDeviceInfo = 0x80000001;

constexpr WORD kItemFirstAction = kItemActionSecurity;  // bit 0 of the job-action word
constexpr WORD kItemLastAction = kItemAction15;        // bit 15
inline constexpr WCHAR kActionGroupKey[] = WSTR("vdmAction");

// Where a client of a shared printer reads the server's printer data (kCfgFromServer). `key` is
// "PrinterDriverData", `name` the value name.
struct CfgServerValueReader {
  void* state;
  // The server value's size in bytes; FALSE when the server has no such value.
  BOOL (*size)(void* state, const WCHAR* key, const WCHAR* name, DWORD* bytes);
  // Reads `bytes` bytes of it; TRUE on success.
  BOOL (*read)(void* state, const WCHAR* key, const WCHAR* name, BYTE* data, DWORD bytes);
};

// ---- Whole contexts -------------------------------------------------------------------------

// CfgLoadOnOpen (context/open_steps.h): CfgLoad of every class on the context's printer; then,
// unless the printer is a client of a server printer (item 723 = 1), device information saved
// for it in the shared INI by a caller that could not write printer data is loaded and, when
// this caller can, saved to printer data (every device-information row) and removed from the
// INI (saved information that cannot be read stays in the INI). 1; 0 when CfgLoad failed or the
// saved information could not be read for want of memory.

// `cls` -1 (every section and the font lists), 1 (sections 3 then 1) or 2 (section 2 and the
// font lists) of `printer` into the context. 1 when loaded: an absent or damaged entry keeps its
// value. 0 with ERROR_NOT_ENOUGH_MEMORY when a store could not be read for want of memory: the
// items then hold no faithful copy of what is stored, and the caller must not save them.
int CfgLoad(HANDLE printer, int cls, DriverContext* context);

// Loads the rows of `section` (or every section) from their stores, from the first private item
// on; the configuration copy and the environment bytes (identifiers 430..730) are left alone.
// Rows of the settings INI are skipped for a context of kind 1 and for creation flags 0x1000000,
// 0x2000000 or 0x10000. Runs under the global settings mutex unless the context's caller holds
// it. With kCfgFromServer printer-data values come through `reader` (none: those entries fail).
// 1; 0 (ERROR_NOT_ENOUGH_MEMORY) as CfgLoad, stopping at the entry that could not be read.
int CfgLoadEntries(HANDLE printer, DriverContext* context, int section, DWORD flags,
                   const CfgServerValueReader* reader);
inline int CfgLoadClass(HANDLE printer, DriverContext* context, int section, DWORD flags,
                        const CfgServerValueReader* reader) {
  return CfgLoadEntries(printer, context, section, flags, reader);
}

// Writes the job-action word (items 224..239) to the settings INI as "vdmAction". TRUE on success.
BOOL CfgSaveActionGroup(DriverContext* context);

// Saves the INI items of sections 3 and 1. 1 when every write succeeded, else 0 with the first
// failure's reason as the last error.
int CfgSave(HANDLE printer, DriverContext* context);
// Saves the rows of `section` (or every section) to their stores, under the global settings
// mutex unless the caller holds it. The font lists are not saved here; user-code rows 10002 and
// 10003 are not saved for a printer on a server that publishes no user code (item 10001 = 0).
// With kCfgDeviceInfoOnly only device-information rows are saved. On a kind-0 context with a
// saved copy, a section-2 save with flags >= 0 (as signed) writes only values that differ from
// the saved copy. 1 when every write succeeded; 0 when any failed (the others are still written),
// the last error then being the first failure's reason.
int CfgSaveClass(HANDLE printer, DriverContext* context, int section, DWORD flags);

// ---- One entry ------------------------------------------------------------------------------
// Each answers TRUE on success. A row without a key name, or an INI path that is not a drive
// path ("X:..."), counts as success and does nothing.

// Reads one printer-data value into its item. A value shorter than the item fills the rest with
// zeros; a longer one, an absent one or an item of length 0 fails and leaves the item as it was.
// With kCfgFromServer the value comes from `reader` and, when its size is the item's, is also
// written to the local printer data.
BOOL CfgReadPrinterDataEntry(HANDLE printer, DriverContext* context, ItemTableRow* row, DWORD flags,
                             const CfgServerValueReader* reader);
// Reads one INI value into its item: from `sectionText` at `*cursor` (persistence/ini_engine.h) when a text
// is given, else through the profile functions from `iniPath`. FALSE, with the item unchanged,
// when the key is absent or cannot be read (the last error is then ERROR_NOT_ENOUGH_MEMORY). An empty value clears a string item and reads as 0 for a number.
BOOL CfgReadIniEntry(DriverContext* context, ItemTableRow* row, const WCHAR* iniPath, const char* sectionText,
                     LONG* cursor);
// Writes one item to its store (printer data or the settings INI of the context) at once.
BOOL CfgWriteEntry(HANDLE printer, DriverContext* context, ItemTableRow* row);
BOOL CfgWritePrinterDataEntry(HANDLE printer, DriverContext* context, const ItemTableRow* row);
// Writes one item as INI text: appended to `text` when one is given, else through the profile
// functions into `iniPath`.
BOOL CfgWriteIniEntry(DriverContext* context, const ItemTableRow* row, const WCHAR* iniPath, IniSectionText* text);

// ---- Device information ---------------------------------------------------------------------

// The printer-configuration items that a device query fills: 10012..10272, 10274, 10276, 10277.
BOOL OptIsDeviceInfoId(WORD id);
BOOL OptIsDeviceInfoEntry(const ItemTableRow* row);
