// The font substitution table of the interface's context: which device font prints in place of
// each TrueType face. Items 10004 (rows) and 10005 (the block's handle) hold it; a row is 32
// UTF-16 units of TrueType face and 32 of device face, neither half sure to end in a terminator.
// Printer data keeps it through the settings library's font lists (persistence/font_lists.h).
//
// The faces offered as substitutes form one combined list: the device fonts (items 10006/10007)
// followed by the option fonts (10008/10009), records of a u32 number and 32 units of name. Its
// entry 0, the first device font, is what a face without a row of its own prints in.
#pragma once

#include "win32.h"

struct UiContext;

constexpr DWORD kFontSubNameUnits = 32;

// The table as it was before a run of FontSubSetTable calls, kept for a cancel.
struct FontSubKept {
  BOOL kept;
  LONG count;
  DWORD handle;  // a block of its own, never the table in force
};

// Writes the context's table to printer data: the current form, or with kFontDefaultTable
// (0x100) the default form. Values of rows past the new count are deleted. FALSE when any write
// failed or the table in the items is damaged.
BOOL FontSubWriteTableValues(UiContext* ui, DWORD flags);

// The table reset to the printer's default table: the table in force is freed and both items
// cleared; then a "DefFontTableNum" above 0 brings the default rows in. TRUE when there is no
// default table (no count, or 0) or it was taken whole; FALSE (table empty) otherwise.
BOOL FontSubResetDefaultTable(UiContext* ui);
// When the printer has no default table yet ("DefFontTableNum" absent), the table in force
// becomes it. TRUE when nothing was to be done or the write succeeded.
BOOL FontSubInstallDefaultTable(UiContext* ui);

// Entries of the combined list.
LONG FontSubGetFaceCount(UiContext* ui);
// Entry `index` of the combined list into `name` (`chars` units, terminated); "" past the end.
void FontSubGetFaceName(UiContext* ui, LONG index, WCHAR* name, DWORD chars);

// Puts `count` rows of `rows` (copied; the caller keeps its block) in force; null rows reset the
// table to the default one. The first call of a run keeps the table in force aside for a cancel.
// FALSE when the copy cannot be had (the table stays as it was) or the default reset failed.
BOOL FontSubSetTable(UiContext* ui, const BYTE* rows, LONG count);
// Cancel: the table kept aside by FontSubSetTable is put back in force. Nothing kept: nothing done.
void FontSubRestoreTable(UiContext* ui);
// Ends a run of changes that stay: the kept table is freed.
void FontSubDropKeptTable(UiContext* ui);

// The device face that prints `face`: the substitute of the first row whose face equals `face`
// exactly, else entry 0 of the combined list ("" when that list is empty). `substitute` receives
// at most `chars` - 1 units and a terminator.
void FontSubFindSubstitute(UiContext* ui, const WCHAR* face, WCHAR* substitute, DWORD chars);
