// The interface's resource library: the identifiers the pages ask of it, its module handle as the
// instance of every page and dialog, and the second (preview) library.
//
// The resource library itself is the model's, localized with the display language and loaded by
// the settings library (ResLoadDll, settings/services/resource_strings.h: the two characters before
// the extension become the language code, "qnresus.dll" -> "qnresjp.dll"). Its dialog templates
// are numbered as the pages (UiResTemplate). The preview library lies in the driver directory and
// is named after the driver's own file (UiResPreviewLibraryName); it is loaded on first use into
// the context's second handle and freed with the context (ResFreeDlls).
#pragma once

#include "settings/context/driver_context.h"
#include "win32.h"

// Cursors of the pages: the hand over a hot spot, and the second special cursor.
constexpr WORD kUiResCursorHand = 0x1F40;
constexpr WORD kUiResCursorSecond = 0x1F41;

// Strings the page framework loads.
constexpr UINT kUiResStringOkSave = 372;           // text of the replaced OK button (id 11111)
constexpr UINT kUiResStringOkSaveAs = 373;         // the same for id 22222
constexpr UINT kUiResStringReadOnlyPreset = 10024;
constexpr UINT kUiResStringPresetNameEmpty = 10031;
constexpr UINT kUiResStringPresetOverwrite = 10032;
constexpr UINT kUiResStringFileCannotOpen = 10043;

// The preview library's name changes these characters of the driver's file name, counted from
// its end (1 = the last character).
constexpr size_t kUiResPreviewNameMinChars = 8;

// The module handle of the context's resource library: the instance of every property page and
// modal dialog. Null while the library cannot be loaded (no page can be made then).
HINSTANCE UiResInstance(DriverContext* context);

// The resource name of the dialog template of page `pageId`: the page id itself.
LPCWSTR UiResTemplate(WORD pageId);

// Cursor `id` (kUiResCursorHand, kUiResCursorSecond) of the resource library; null without it.
HCURSOR UiResLoadCursor(DriverContext* context, WORD id);

// The preview library's path: `driverDirectory` (ending with a backslash) followed by the file
// name of `driverPath` with its 8th character from the end replaced by 'C' and its 6th and 5th by
// 'X' ("velmui.dll" -> "veCmXX.dll"). FALSE with ERROR_INVALID_NAME for a file name shorter than
// eight characters, ERROR_INSUFFICIENT_BUFFER when the path does not fit `capacity` characters;
// `path` is then "" (when capacity allows).
BOOL UiResPreviewLibraryName(LPCWSTR driverDirectory, LPCWSTR driverPath, WCHAR* path, DWORD capacity);

// The context's preview library, loaded on the first call that finds the second handle null:
// named from the driver directory of the context and this library's own file name. Null while it
// cannot be loaded; the next call tries again.
HMODULE UiResLoadPreviewLibrary(DriverContext* context);
