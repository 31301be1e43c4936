#include "ui2k/store/font_substitution.h"

#include <cstring>

#include "data/item_ids.h"
#include "settings/items/block_handles.h"
#include "settings/items/settings_record.h"
#include "settings/items/store.h"
#include "settings/persistence/font_lists.h"
#include "settings/persistence/printer_data.h"
#include "ui2k/entry/ui_context.h"

namespace {

constexpr DWORD kNameOffset = sizeof(DWORD);  // a font record's name follows its number

// One of the option store's font lists: its count and its block.
struct FontRecords {
  const BYTE* bytes;
  LONG count;
};

// The list of items `countId` and `handleId`, entries of `entryBytes`; a block shorter than its
// count says is read only as far as it reaches.
FontRecords ListOf(DriverContext* context, WORD countId, WORD handleId, DWORD entryBytes = kDeviceFontBytes) {
  const LONG count = static_cast<SHORT>(OptGetValue(context, countId));
  SIZE_T size = 0;
  const auto* bytes = static_cast<const BYTE*>(SysBlockGet(OptGetValue(context, handleId), &size));
  if (count <= 0 || !bytes) return {nullptr, 0};
  const LONG whole = static_cast<LONG>(size / entryBytes);
  return {bytes, count < whole ? count : whole};
}

// The table in force.
FontRecords TableOf(DriverContext* context) {
  return ListOf(context, kItemFontTableNum, kItemFontTable, kFontTableRowBytes);
}

// Copies a name of at most kFontSubNameUnits units (ending at a terminator or at its end) into
// `out` of `chars` units, terminated.
void CopyName(const BYTE* name, WCHAR* out, DWORD chars) {
  if (!out || chars == 0) return;
  DWORD i = 0;
  for (; i < kFontSubNameUnits && i + 1 < chars; ++i) {
    const WCHAR unit = DmLoadU16(name, i * sizeof(WCHAR));
    if (unit == 0) break;
    out[i] = unit;
  }
  out[i] = 0;
}

// Whether the 32-unit half `name` holds exactly `face`.
bool SameFace(const BYTE* name, const WCHAR* face) {
  for (DWORD i = 0; i < kFontSubNameUnits; ++i) {
    const WCHAR unit = DmLoadU16(name, i * sizeof(WCHAR));
    if (unit != face[i]) return false;
    if (unit == 0) return true;
  }
  return face[kFontSubNameUnits] == 0;  // a full half matches a face of exactly 32 units
}

// Frees the table in force and clears both items.
void FreeTable(DriverContext* context) {
  if (const DWORD handle = OptGetValue(context, kItemFontTable)) SysBlockFree(handle);
  OptSetValue(context, kItemFontTable, 0);
  OptSetValue(context, kItemFontTableNum, 0);
}

// A block of its own holding `count` rows of `rows`: handle 0 for no rows; FALSE without memory.
bool CopyRows(const BYTE* rows, LONG count, DWORD* handle) {
  *handle = 0;
  if (count <= 0) return true;
  void* block = SysBlockAlloc(SIZE_T(count) * kFontTableRowBytes, handle);
  if (!block) return false;
  std::memcpy(block, rows, SIZE_T(count) * kFontTableRowBytes);
  return true;
}

void Install(DriverContext* context, LONG count, DWORD handle) {
  OptSetValue(context, kItemFontTableNum, static_cast<DWORD>(count));
  OptSetValue(context, kItemFontTable, handle);
}

}  // namespace

BOOL FontSubWriteTableValues(UiContext* ui, DWORD flags) {
  if (!ui || !ui->driver) return FALSE;
  return CfgSaveFontTables(ui->driver->printer, ui->driver, flags & kFontDefaultTable);
}

BOOL FontSubResetDefaultTable(UiContext* ui) {
  if (!ui || !ui->driver) return FALSE;
  DriverContext* context = ui->driver;
  FreeTable(context);
  BYTE countBytes[2];
  if (!PrnGetData(context->printer, WSTR("DefFontTableNum"), countBytes, sizeof countBytes)) return TRUE;
  LONG count = 0;
  DWORD handle = 0;
  if (!CfgReadFontTables(context->printer, kFontDefaultTable, &count, &handle)) return FALSE;
  Install(context, count, handle);
  return TRUE;
}

BOOL FontSubInstallDefaultTable(UiContext* ui) {
  if (!ui || !ui->driver) return FALSE;
  BYTE countBytes[2];
  if (PrnGetData(ui->driver->printer, WSTR("DefFontTableNum"), countBytes, sizeof countBytes)) return TRUE;
  if (GetLastError() != ERROR_FILE_NOT_FOUND) return FALSE;
  return FontSubWriteTableValues(ui, kFontDefaultTable);
}

LONG FontSubGetFaceCount(UiContext* ui) {
  if (!ui || !ui->driver) return 0;
  return ListOf(ui->driver, kItemDeviceFontNum, kItemDeviceFont).count +
         ListOf(ui->driver, kItemOptionFontNum, kItemOptionFont).count;
}

void FontSubGetFaceName(UiContext* ui, LONG index, WCHAR* name, DWORD chars) {
  if (!name || chars == 0) return;
  name[0] = 0;
  if (!ui || !ui->driver || index < 0) return;
  const FontRecords lists[] = {ListOf(ui->driver, kItemDeviceFontNum, kItemDeviceFont),
                               ListOf(ui->driver, kItemOptionFontNum, kItemOptionFont)};
  for (const FontRecords& list : lists) {
    if (index < list.count) return CopyName(list.bytes + index * kDeviceFontBytes + kNameOffset, name, chars);
    index -= list.count;
  }
}

BOOL FontSubSetTable(UiContext* ui, const BYTE* rows, LONG count) {
  if (!ui || !ui->driver || (rows && count < 0) || (rows && count > 0x7FFF)) return FALSE;
  DriverContext* context = ui->driver;
  FontSubKept& kept = ui->state.fontSubKept;
  if (!kept.kept) {
    const FontRecords table = TableOf(context);
    if (!CopyRows(table.bytes, table.count, &kept.handle)) return FALSE;
    kept = {TRUE, table.count, kept.handle};
  }
  if (!rows) return FontSubResetDefaultTable(ui);
  DWORD handle = 0;
  if (!CopyRows(rows, count, &handle)) return FALSE;
  FreeTable(context);
  Install(context, count, handle);
  return TRUE;
}

void FontSubRestoreTable(UiContext* ui) {
  if (!ui || !ui->driver || !ui->state.fontSubKept.kept) return;
  FontSubKept& kept = ui->state.fontSubKept;
  FreeTable(ui->driver);
  Install(ui->driver, kept.count, kept.handle);
  kept = {};
}

void FontSubDropKeptTable(UiContext* ui) {
  if (!ui) return;
  SysBlockFree(ui->state.fontSubKept.handle);
  ui->state.fontSubKept = {};
}

void FontSubFindSubstitute(UiContext* ui, const WCHAR* face, WCHAR* substitute, DWORD chars) {
  if (!substitute || chars == 0) return;
  substitute[0] = 0;
  if (!ui || !ui->driver) return;
  if (face) {
    const FontRecords table = TableOf(ui->driver);
    for (LONG row = 0; row < table.count; ++row) {
      const BYTE* at = table.bytes + row * kFontTableRowBytes;
      if (SameFace(at, face)) return CopyName(at + kFontTableHalfBytes, substitute, chars);
    }
  }
  FontSubGetFaceName(ui, 0, substitute, chars);
}
