// Typed access to the items of a context's settings record, the translation between stored
// values and model value identifiers, and the change bookkeeping.
//
// A row is one of the context's own item rows (OptFindItem on context->itemTable): writes mark
// it changed. Numbers and bits are read and written as DWORD; byte types (strings and raw bytes)
// are reached only through their address, OptWriteBytes and the string functions, because an
// address does not fit a 32-bit value.
#pragma once

#include "data/item_ids.h"
#include "settings/context/driver_context.h"
#include "settings/items/table.h"
#include "win32.h"

// Change-mask bits that other parts use as once-flags.
constexpr DWORD kChangeMaskLowHalf = 0x0000FFFF;
constexpr DWORD kChangeMaskTopBits = 0xF0000000;  // cleared in the saved masks too
constexpr DWORD kRowChangeGroupMask = 0x001F0000;  // item row flags bits 16-20

// ---- Raw access by row ---------------------------------------------------------------------

// The address of the row's value in the record (section base + offset), or null for a null row,
// a row without a section, a context without a record, or a field that would leave its section.
BYTE* OptGetItemAddress(DriverContext* context, const ItemTableRow* row);
// The same in the saved copy of the record.
BYTE* OptGetSavedAddress(DriverContext* context, const ItemTableRow* row);

// The row's value: s8 and s16 sign-extended, u8 and u16 zero-extended, 32-bit as stored, a bit
// as 0 or 1. Byte types and rows that cannot be reached read 0.
DWORD OptReadRaw(DriverContext* context, const ItemTableRow* row);
DWORD OptReadSavedRaw(DriverContext* context, const ItemTableRow* row);

// Writes a number (truncated to its width) or a bit (set for any non-zero value, cleared for 0;
// the other bits of the byte stay). On a byte type only 0 is taken, as a zero-fill. Then the
// side effects, in this order: the row's changed mark := 1; the work area's dirty flag := 1;
// when the row is item 92 and item 90 is 1, item 93 is written with the same value; the row's
// change group (flags bits 16-20) is raised into the change mask. FALSE (and no side effect)
// when nothing could be written.
BOOL OptWriteRaw(DriverContext* context, ItemTableRow* row, DWORD value);
// Writes a byte-type item from `source` of `size` bytes: the first min(size, length) bytes are
// copied, the rest of the field zero-filled; a null source zero-fills it all. The side effects
// of OptWriteRaw follow. FALSE for a row that is not a byte type.
BOOL OptWriteBytes(DriverContext* context, ItemTableRow* row, const void* source, DWORD size);
// Writes a number or bit into the saved copy, without any side effect.
BOOL OptWriteSavedRaw(DriverContext* context, const ItemTableRow* row, DWORD value);

// ---- By identifier -------------------------------------------------------------------------
// An unknown identifier reads 0 and writes nothing.

DWORD OptGetValue(DriverContext* context, WORD id, ItemTableRow** row = nullptr);
BOOL OptSetValue(DriverContext* context, WORD id, DWORD value);
DWORD OptGetSavedValue(DriverContext* context, WORD id);
BOOL OptSetSavedValue(DriverContext* context, WORD id, DWORD value);

// ---- Model values --------------------------------------------------------------------------
// Items 95 and 102 translate through their second list while item 7 is 2 (landscape), items 134
// and 136 while the print paper lies landscape (CondPrintPaperOrient). A value that no row maps
// passes through unchanged; a stored value listed only without a model value (0xFFFF) counts as
// unmapped.

// The list the row translates through now, or null when it has none.
const ItemValueMapRow* OptGetActiveValueMap(DriverContext* context, const ItemTableRow* row);
DWORD OptRawToModelValue(DriverContext* context, const ItemTableRow* row, DWORD stored);
BOOL OptIsRawValueMapped(DriverContext* context, const ItemTableRow* row, DWORD stored);
DWORD OptModelToRawValue(DriverContext* context, const ItemTableRow* row, DWORD model);
// The row's model value: its entry of the override array when the context has one, else the
// stored value translated.
DWORD OptGetModelValue(DriverContext* context, const ItemTableRow* row);
// Stores the model value translated back, and records it in the override array when there is one.
BOOL OptSetModelValue(DriverContext* context, ItemTableRow* row, DWORD model);
DWORD OptGetModelValueById(DriverContext* context, WORD id);
BOOL OptSetModelValueById(DriverContext* context, WORD id, DWORD model);

// ---- Strings -------------------------------------------------------------------------------

// The text of a string item into `buffer` (capacity in characters, NUL included): ANSI fields
// widened, wide fields copied, both bounded by the field (a field without a NUL is read to its
// end) and by the buffer. Any other type gives "wrong". The characters written.
DWORD OptGetString(DriverContext* context, const ItemTableRow* row, WCHAR* buffer, DWORD capacity);
// Zero-fills the item (with the side effects of a write), then stores `text`, narrowed for ANSI
// fields; at most the field's length less the terminator is stored, so the field always ends
// with a NUL. FALSE for a row that is not a string type, and (ERROR_NO_UNICODE_TRANSLATION, the
// field unchanged) for a text an ANSI field cannot hold without changing a character.
BOOL OptSetString(DriverContext* context, ItemTableRow* row, const WCHAR* text);

// ---- Change masks and transfer status ------------------------------------------------------

// 0 clears the current mask. Otherwise, when any of bits 0-15 is raised the low half of the
// mask is cleared first; then the bits are ORed in.
void CtxRaiseChangeMask(DriverContext* context, DWORD bits);
DWORD CtxGetChangeMask(const DriverContext* context);
// Clears `bits` in the current mask; bits above 0x0FFFFFFF also in the three saved masks.
void CtxClearChangeMask(DriverContext* context, DWORD bits);

// 0 at the start of a settings-file transfer, 1 when the file was rejected.
void CtxSetTransferStatus(DriverContext* context, DWORD status);
DWORD CtxGetTransferStatus(const DriverContext* context);
