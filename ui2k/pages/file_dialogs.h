// The pages' open and save dialogs: settings files, stamp pictures, overlays and the folder for
// created files, each run through the system's file dialog with the kind's filter, title and
// initial folder, and its result put where the kind keeps it.
//
// The dialog's kind is the page-table kind of its row. Folders chosen before are kept under the
// kind's key in the printer's section of the settings INI.
#pragma once

#include "ui2k/entry/ui_context.h"
#include "win32.h"

// Dialog kinds.
constexpr DWORD kFdlgOpenSettings = 0x100;    // open a settings file
constexpr DWORD kFdlgSaveSettings = 0x200;    // save a settings file
constexpr DWORD kFdlgPicture = 0x400;         // a stamp's bitmap file
constexpr DWORD kFdlgOverlaySave = 0x800;     // save an overlay
constexpr DWORD kFdlgOverlayRefer = 0x1000;   // choose an overlay
constexpr DWORD kFdlgCreatedFiles = 0x8000;   // the folder for created files

// What each kind shows and where its name comes from and goes.
struct FdlgKind {
  DWORD kind;
  const WCHAR* pattern;       // "*.rst"; also the initial name when no file is given
  UINT filterName;            // string of the filter's name, 0 without a filter
  UINT title;                 // string of the title, 0 for the dialog's own
  const WCHAR* folderKey;     // key of the last folder, null when the kind keeps none
  WORD control;               // control of the parent holding the name (in and out), 0 none
  WORD item;                  // item holding the name (in and out), 0 none
};

// The row of `kind`; null for a kind that is no file dialog.
const FdlgKind* FdlgFindKind(DWORD kind);

// The filter of `kind`: its name string (the pattern when the string cannot be had), NUL, its
// pattern, NUL, NUL, into `out` (`capacity` characters). The characters written with every NUL; 0 (and nothing usable) when the kind has
// no filter or it does not fit.
DWORD FdlgBuildFilter(UiContext* ui, const FdlgKind& kind, WCHAR* out, DWORD capacity);

// The folder of `path` as the dialogs keep it: up to its last backslash, or the drive root with
// its backslash ("C:\") when that backslash is the third character. FALSE ("") for a path
// without a backslash or one that does not fit `capacity`.
BOOL FdlgFolderOf(const WCHAR* path, WCHAR* folder, DWORD capacity);

// The folder the dialog of `kind` starts in. `initialFile` is the name the dialog starts with:
// an existing file gives its own folder (FdlgFolderOf); the bare pattern, a file that does not
// exist or a name without a backslash give the folder stored under the kind's key, else on
// NT 5 and later the user's documents folder, else the system folder. FALSE ("") when none
// can be had.
BOOL FdlgInitialFolder(UiContext* ui, const FdlgKind& kind, const WCHAR* initialFile, WCHAR* folder,
                       DWORD capacity);

// The folder for created files: item 904 (for all users) := 0; the driver's registry value
// "SpoolDirectory", and when it is not empty item 904 := 1; else the printer data
// "SpoolDirectory"; else the Windows folder + "\temp", or the Windows folder when that does not
// exist. A registry or printer-data value that is missing is written empty. FALSE ("") when no
// folder fits `capacity`.
BOOL FdlgCreatedFilesFolder(UiContext* ui, WCHAR* folder, DWORD capacity);

// Whether the last four characters of `name` are the extension of `kind`'s pattern: the dot,
// then each letter equal to the pattern's or to its upper-case form. FALSE for a name shorter
// than four characters and for a kind without a pattern.
BOOL FdlgMatchExtension(const WCHAR* name, DWORD kind);

// Runs the file dialog of `kind` (the page-table kind of `pageId`, whose template the dialog
// uses when the resource library is at hand) over `parent`: the open dialog for every kind but
// kFdlgSaveSettings. A chosen name goes to the kind's control of `parent` or item, its folder
// under the kind's key, and the name into the context's file-name buffer. IDOK when a name was
// chosen, IDCANCEL when the dialog was cancelled, failed, or the kind is no file dialog.
INT_PTR FdlgRunFileDialog(UiContext* ui, DWORD kind, WORD pageId, HWND parent);

// Puts in force the hook that FdlgRunFileDialog sets in every dialog it runs, with an
// RstFileDialog record in lCustData: by default the stored settings files' checks and commands
// (RstSettingsFileHook). Null puts that one back.
void FdlgSetSettingsFileHook(LPOFNHOOKPROC hook);
