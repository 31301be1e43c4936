// The hook of the settings-file dialogs: an open/save dialog hook (LPOFNHOOKPROC) that checks
// the chosen name before the dialog takes it, asks and warns with the interface's messages, runs
// a trial load of a settings file, and for the spool-folder kind stores the chosen folder.
//
// The dialog's runner passes a RstFileDialog in OPENFILENAMEW::lCustData and the template of the
// kind. The file dialogs' templates are child templates: their dialogs are explorer-style
// (OFN_EXPLORER), the hook runs in the template's child dialog, takes OK as CDN_FILEOK and reads
// the name (edt1, 1152) and folder chain (lst2) of the system's dialog around it. The spool
// folder's template is a whole dialog: that dialog is old-style and OK comes as WM_COMMAND.
//   kind     template  what
//   0x100    4001      open a settings file (trial load; the printer's section written into it)
//   0x200    4002      settings files: 5001 save, 5002 load, 5003 delete; the command is left in
//                      `command` for the runner, which saves, loads (RstLoadFile(0)) or deletes
//   0x400    4003      choose a bitmap
//   0x800    4007      save an overlay (no "Readonly" check; 5003 deletes here)
//   0x1000   4008      choose an existing overlay
//   0x8000   4015      the spool folder: 2887 the default folder, 2897 all users; the folder is
//                      stored in the registry or the printer's data, then the dialog is cancelled
#pragma once

#include "ui2k/entry/ui_context.h"
#include "win32.h"

constexpr DWORD kRstDialogOpen = 0x100;
constexpr DWORD kRstDialogSettingsFiles = 0x200;
constexpr DWORD kRstDialogBitmap = 0x400;
constexpr DWORD kRstDialogOverlaySave = 0x800;
constexpr DWORD kRstDialogOverlay = 0x1000;
constexpr DWORD kRstDialogSpoolFolder = 0x8000;

// Commands of the dialog.
constexpr WORD kRstCmdFileList = 1136;       // a double-click in the list: the command is forgotten
constexpr WORD kRstCmdDefaultFolder = 2887;
constexpr WORD kRstCmdAllUsers = 2897;
constexpr WORD kRstCmdSave = 5001;
constexpr WORD kRstCmdLoad = 5002;
constexpr WORD kRstCmdDelete = 5003;
constexpr int kRstFileNameControl = 1152;

// What the runner passes in lCustData.
struct RstFileDialog {
  UiContext* ui;
  DWORD kind;
  WORD pageId;   // the template's page
  WORD command;  // out: 5001, 5002 or 5003 chosen on kind 0x200 (0: none)
};

// The registry key and value of the spool folder for all users, and the printer data value.
inline constexpr WCHAR kRstSpoolDirectoryValue[] = WSTR("SpoolDirectory");

// The hook: WM_INITDIALOG takes the RstFileDialog of the OPENFILENAMEW; WM_COMMAND checks OK and
// the dialog's commands. Non-zero when it handled the message (the dialog then keeps the name
// from being taken).
UINT_PTR CALLBACK RstSettingsFileHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
