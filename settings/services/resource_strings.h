// Display texts from the model's resource library: loading the library once per context, fetching
// strings by number, decorating some of them with live values (a bin's user-given name, a user
// paper size's name and dimensions, the current length unit), and the bitmap-file check of the
// image stamps.
//
// The library is the description's resource library name localized with the display language
// (PathGetLocalizedModelFile): "qnresus.dll" becomes "qnresjp.dll" for a Japanese help file.
// Without the library every string is empty. ResFreeDlls (context/open_steps.h) frees it when
// the context is destroyed.
#pragma once

#include "settings/context/driver_context.h"
#include "win32.h"

// Strings the settings library asks for by number.
constexpr UINT kStringFirstBin = 29;              // 29..37: output bins 1..9 (also 50017..50025)
constexpr UINT kStringFirstUserSize = 109;        // 109..118: user paper size slots 0..9
constexpr UINT kStringMetricUnit = 153;           // "mm"
constexpr UINT kStringInchUnit = 154;             // "inch"
constexpr UINT kStringNoName = 204;               // the name of a value without one

// A row of the decoration table: string id, its item or slot, kind. {0, 0, 0} ends the table.
enum ResDecorationKind : WORD {
  kDecorateAppendItem = 1,  // ":" and the text of the item (a bin's own name) appended
  kDecorateUserSize = 2,    // replaced by the slot's user name and size in the display unit
  kDecorateUnitName = 3,    // replaced by the name of the current display unit
};
struct ResDecorationRow {
  WORD stringId;
  WORD target;  // kind 1 the item, kind 2 the free-size slot (0-based), kind 3 none
  WORD kind;
};
// The 30 rows and the end row.
const ResDecorationRow* ResGetDecorationTable();

// The context's resource library, loaded on the first call that finds the handle null
// (LoadLibraryW of the localized path) and kept in context->resourceLibrary. Null while it
// cannot be loaded; the next call tries again.
HMODULE ResLoadDll(DriverContext* context);

// String `id` into `buffer` of `capacity` characters (NUL included): "" first, then the
// library's text cut to capacity-1 characters, then, with `decorate`, ResDecorate. The
// characters in the buffer; 0 for a null buffer or capacity 0 (nothing written), and "" when the
// library cannot be loaded (no decoration then) or has no such string (decoration still runs).
int ResLoadString(DriverContext* context, UINT id, WCHAR* buffer, DWORD capacity, BOOL decorate);

// Decorates the text of string `id` in `buffer` by its row of the decoration table; an id
// without a row leaves it alone. The result is cut to capacity-1 characters and a NUL.
//   kind 1: ":" and the item's text are appended.
//   kind 2: the text becomes the slot's user name (at most 64 characters), then its width and
//           length in the display unit, rounded up to the first unit value that covers the dots
//           (DmDotsToUnits): "(%ld.%01d x %ld.%01d" in 0.1 mm or "(%ld.%02d x %ld.%02d" in
//           0.01 inch, then the unit's name (string 153 or 154, at most 16 characters) and ")".
//           No blank is added: "Card(100.0 x 148.0mm)".
//   kind 3: the text becomes the current unit's name, whichever unit was asked for.
void ResDecorate(DriverContext* context, UINT id, WCHAR* buffer, DWORD capacity);

// Opens `path` (ANSI) read-only and accepts it as a bitmap file whose information header is
// the 40-byte form: the u32 at byte offset 14 is 40. TRUE with the open file in *file, which the
// caller closes with _lclose; else the file is closed again, FALSE and *file = HFILE_ERROR. A
// file too short to hold that u32 is refused.
BOOL ResOpenBitmapFile(LPCSTR path, HFILE* file);
