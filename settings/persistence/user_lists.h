// The user's lists of a printer: presets (in memory), quality sets (a file each), stamps and ten
// free paper sizes (sections of the settings INI), with their keys, slots and section names.
//
// Every list entry but a preset is a group of items that the settings export and import files
// carry as one INI section:
//   "PresetList%d" (+ "Name", "Comment")  keys of saved settings 0..15; the plain key also names
//                                          the in-memory preset slot
//   "QualityList%d" (+ "Name")            printer's section: the path of quality set %d's file
//                                          (group 16) and its name (item 867)
//   "StampCount"                          language section: the number of stamps
//   "Stamp%d%s", "FreeSize%d%s"           sections of stamp %d (group 32) and free size %d
//                                          (groups 128 and 512) for language code %s (item 177)
// The language section is named by the code of item 177 ("fr").
#pragma once

#include "settings/context/open_steps.h"
#include "settings/context/driver_context.h"
#include "settings/persistence/settings_export.h"
#include "win32.h"


constexpr int kLstPresetSlots = 16;      // "PresetList0".."PresetList15"
constexpr int kLstQualitySets = 8;       // item 188 names sets 0..7
constexpr DWORD kLstStampSlots = 256;    // stamps 0..255
constexpr DWORD kLstScratchStamp = 256;  // a stamp outside the list that never changes its count
constexpr int kLstFreeSizeSlots = 10;

// Change-mask bit: the free-size slots of the work area hold the stored free sizes.
constexpr DWORD kChangeMaskFreeSizesLoaded = 0x4000000;

// Preset operations of LstPresetSlots (context/open_steps.h names forget and free).
constexpr int kPresetSlotsRestore = 1;
constexpr int kPresetSlotsSave = 2;

// Forms of LstFormatPresetKey.
constexpr int kPresetKeyPath = 0;
constexpr int kPresetKeyName = 1;
constexpr int kPresetKeyComment = 2;

// ---- Keys and section names -----------------------------------------------------------------
// Each writes into `buffer` (capacity in characters, NUL included) and answers the length; 0 and
// "" when the index is out of range or the text does not fit.

// "PresetList%d" for n 0..15, with "Name" (form 1) or "Comment" (form 2) appended.
DWORD LstFormatPresetKey(WCHAR* buffer, DWORD capacity, int n, int form);
// "QualityList%d" for n 0..7, with "Name" appended when `name` is set.
DWORD LstFormatQualityKey(WCHAR* buffer, DWORD capacity, int n, BOOL name);
// "Stamp%d%s" for stamp n (0..255, or the scratch stamp 256) in the language of item 177.
DWORD LstFormatStampKey(DriverContext* context, DWORD n, WCHAR* buffer, DWORD capacity);
// "FreeSize%d%s" for free size n (0..9) in the language of item 177.
DWORD LstFormatFreeSizeKey(DriverContext* context, int n, WCHAR* buffer, DWORD capacity);

// ---- List transfers -------------------------------------------------------------------------

// The export and import a list entry goes through (XferLoad and XferSave of the settings export
// and import files). Tests put their own in.
struct LstTransfers {
  BOOL (*load)(HANDLE printer, const WCHAR* file, DWORD flags, DriverContext* context);
  BOOL (*save)(HANDLE printer, const WCHAR* file, DWORD flags, DriverContext* context);
};
extern const LstTransfers kLstTransfers;
// Puts `transfers` in force (null: the library's own).
void LstSetTransfers(const LstTransfers* transfers);

// Reads (flags with kXferRead) or writes (kXferWrite) the group of `flags` as section `section`
// of the settings INI: the section name takes the place of the printer name in the work area
// for the transfer, and the printer name is back when this returns, whatever the transfer did.
// FALSE when the transfer fails or the context has no settings INI.
BOOL LstTransferSection(DriverContext* context, const WCHAR* section, DWORD flags);

// ---- Presets --------------------------------------------------------------------------------

// LstPresetSlots (context, key, op), declared with the open steps: the in-memory preset slots
// of the work area. `key` names a slot ("PresetList%d", compared exactly, 0..15); ops 0 and 3
// take none.
//   op 0  forgets every slot without freeing it (a fresh work area copied from the template)
//   op 3  frees every slot, then forgets it
//   op 2  saves the preset items (every row marked for transfer or preset in the static item
//         table, in table order, each over its full length) into the key's slot, allocating it
//         at its first save
//   op 1  restores them from the slot; a bit item changes only its own bit of its stored word
// 1 on success; 0 for an unknown key or operation, an empty slot on restore, a context without
// a record or no memory (nothing changed).
// The bytes a preset slot holds.
DWORD LstPresetSlotBytes();

// ---- Quality sets ---------------------------------------------------------------------------

// Imports (Load) or exports (Save) quality set n (0..7) from or to the file that "QualityList%d"
// of the printer's section names (group 16). Saving then writes "QualityList%dName" = item 867.
// FALSE when n is out of range, no file is listed, or the transfer fails.
BOOL LstLoadQuality(DriverContext* context, int n);
BOOL LstSaveQuality(DriverContext* context, int n);

// ---- Stamps ---------------------------------------------------------------------------------

// "StampCount" of the language section, held to 0..256 (a damaged count lists no more stamps
// than there can be).
DWORD LstGetStampCount(DriverContext* context);
BOOL LstSetStampCount(DriverContext* context, DWORD count);
// Imports stamp n (group 32) from "Stamp%d%s"; item 120 := n. FALSE when n is above 256 or the
// transfer fails.
BOOL LstLoadStamp(DriverContext* context, DWORD n);
// Item 120 := n, exports the stamp items to "Stamp%d%s"; once that succeeded, a stamp n at or
// past the end raises "StampCount" to n + 1 (never for the scratch stamp 256). Then the preset
// slots are freed. FALSE (count unchanged) when n is above 256 or the export fails.
BOOL LstSaveStamp(DriverContext* context, DWORD n);
// Deletes stamp n of the list: the later stamps move up by one, the count drops by one and the
// last section is removed. The settings are as before afterwards. FALSE when n is not a stamp of
// the list or a move fails.
BOOL LstDeleteStamp(DriverContext* context, DWORD n);

// ---- Free sizes -----------------------------------------------------------------------------

// A free-size slot of the work area (200 bytes): the display name twice and the user's name,
// ANSI, each NUL-terminated within its 64 bytes; width and length in 1200-dpi dots.
struct FreeSizeSlot {
  char displayName[64];
  char displayName2[64];
  char userName[64];
  DWORD width;
  DWORD length;
};
static_assert(sizeof(FreeSizeSlot) == 200);

// 10.
int LstFreeSizeCount();
// Items 859..861 := 0, then imports free size n (group 128) from "FreeSize%d%s".
BOOL LstLoadFreeSize(DriverContext* context, int n);
// Items 862..864 := 0, then imports free size n (group 512) from "FreeSize%d%s".
BOOL LstLoadSrcFreeSize(DriverContext* context, int n);
// Exports items 859..861 (group 128) to "FreeSize%d%s".
BOOL LstSaveFreeSize(DriverContext* context, int n);
// Fills the ten slots from the stored free sizes, once per context (change-mask bit 0x4000000):
// inside a history push and pop with restore, so the settings are as before afterwards.
void LstLoadFreeSizes(DriverContext* context);
// Slot n into items 859 (the user's name), 860, 861 / into items 862, 863, 864.
BOOL LstSelectFreeSize(DriverContext* context, int slot);
BOOL LstSelectSrcFreeSize(DriverContext* context, int slot);
// Items 860, 861, 859 / 863, 864, 862 into slot n (the name narrowed to 63 bytes); then both
// display names := resource string 109 + n, decorated, narrowed to 63 bytes.
BOOL LstStoreFreeSize(DriverContext* context, int slot);
BOOL LstStoreSrcFreeSize(DriverContext* context, int slot);
// A copy of slot n; FALSE (and a zeroed copy) when n is not a slot or there is no work area.
BOOL LstGetFreeSizeSlot(const DriverContext* context, int slot, FreeSizeSlot* out);

// The slot table: slots 0..8 hold papers 384..392, slot 9 paper 256 (the custom size).
// The paper of `slot`; 0 when it has none or is not below `count`.
DWORD LstSlotToPaper(int slot, int count);
// The slot of `paper`; -1 when it is not a free-size paper.
int LstPaperToFreeSizeSlot(DWORD paper);
BOOL LstIsFreeSizePaper(DWORD paper);

// ---- After an import ------------------------------------------------------------------------

// Re-derives the lists from the settings of a whole printer section just imported, in this
// order: the output paper's free size (item 50) reloaded from its section into its slot; the
// source paper's free size (item 8) stored into its slot, selected into items 859..861 and saved
// to its section; item 120 held to "StampCount" and that stamp saved; the quality set in use
// saved to its file.
void LstRederiveAfterImport(DriverContext* context);
// The source paper's free size (item 8) stored into its slot, selected into items 859..861 and
// saved to its section; nothing when the paper is no free size.
void LstRederiveSrcFreeSize(DriverContext* context);
// Item 120 held to "StampCount" (lowered to the count when past it, as the lists keep it); the
// index it holds.
DWORD LstClampStampIndex(DriverContext* context);
