// The printer's three font lists, kept in printer data and held by the settings record as
// blocks named by 32-bit handles (items/block_handles.h):
//
//   list           count item / handle item   printer data
//   device fonts   10006 / 10007              "DeviceFontNum" (2 bytes), "DeviceFont" (n x 68)
//   option fonts   10008 / 10009              "OptionFontNum" (2 bytes), "OptionFont" (n x 68)
//   font table     10004 / 10005              "FontTableNum" (2 bytes), then per row n (1-based)
//                                             "TTFontTable<n>" and "DevFontTable<n>" (its two
//                                             64-byte halves), then "LastFontTableNum"
//
// The default font table uses "DefFontTableNum", "TTFontDefTable<n>" and "DevFontDefTable<n>".
// A device or option font record is a u32 number and 32 UTF-16 units of name; a font-table row is
// 32 UTF-16 units of TrueType face and 32 of device face; all little-endian. A printer without a
// list is given the model description's default list on its first load.
#pragma once

#include "settings/context/driver_context.h"
#include "win32.h"

constexpr DWORD kDeviceFontBytes = 68;
constexpr DWORD kFontTableRowBytes = 128;
constexpr DWORD kFontTableHalfBytes = 64;

// Flags of the save and read operations.
constexpr DWORD kFontFromModel = 0x1;         // write the model description's default list
constexpr DWORD kFontOnlyWhenChanged = 0x2;   // on a kind-0 context, only a list that differs from
                                              // the saved copy of the record is written
constexpr DWORD kFontDefaultTable = 0x100;    // the default font table's value names

// Write one list to printer data: the model's default list (kFontFromModel) or the record's.
// With kFontOnlyWhenChanged on a kind-0 context, a list whose count and bytes equal the saved
// copy's is not written (TRUE). FALSE when a write fails (the writes after it are still tried for
// the font table), when the record's block is missing or shorter than its count says, or, with
// kFontFromModel, when the model has no such list.
BOOL CfgSaveDeviceFonts(HANDLE printer, DriverContext* context, DWORD flags);
BOOL CfgSaveOptionFonts(HANDLE printer, DriverContext* context, DWORD flags);
BOOL CfgSaveFontTables(HANDLE printer, DriverContext* context, DWORD flags);

// Writes `count` rows of 128 bytes as a font table (the default table's names with
// kFontDefaultTable): the count, each row's two halves, then the count again as
// "LastFontTableNum" (or "DefFontTableNum"); then the rows the old counts reached past the new
// count are deleted. A count of 0 writes only the counts. TRUE when every write and delete
// succeeded.
BOOL CfgWriteFontTables(HANDLE printer, const BYTE* rows, LONG count, DWORD flags);
// Reads a font table (the default one with kFontDefaultTable) into a new block: `count` and
// `handle` receive its row count and the block's handle (0 for a table of 0 rows). FALSE (and
// 0, 0) when the count is absent or out of range, or any half of any row is missing or not 64
// bytes: a table is taken whole or not at all.
BOOL CfgReadFontTables(HANDLE printer, DWORD flags, LONG* count, DWORD* handle);
// A font-table row and its two halves (64 bytes each).
void CfgSplitFontTables(const BYTE* row, BYTE* trueTypeHalf, BYTE* deviceHalf);
void CfgJoinFontTables(const BYTE* trueTypeHalf, const BYTE* deviceHalf, BYTE* row);

// Loads the three lists into the record, each in turn: its old block is freed and its count and
// handle cleared; a list whose count value is absent is first seeded from the model's default
// list (nothing to seed: the list stays empty; a seed that cannot be written, for want of
// permission, leaves it empty too); then count and block are read. TRUE when no list failed to
// read; a list that fails stays empty. A list whose block could not be allocated leaves the last
// error ERROR_NOT_ENOUGH_MEMORY, which the loads of whole contexts treat as their failure.
BOOL CfgLoadFontLists(HANDLE printer, DriverContext* context);

// CfgFreeFontBlobs (context/open_steps.h) frees the three blocks and clears their counts and
// handles.
