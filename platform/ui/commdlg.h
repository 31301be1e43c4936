// Open and save dialogs, and the shell's folder lookup.
//
// GetOpenFileNameW/GetSaveFileNameW check the OPENFILENAMEW, record the call and show a modal
// dialog: the caller's template (OFN_ENABLETEMPLATE) or the built-in one, both holding the file
// name edit (edt1, 1152), the file list (lst1), the folder chain (lst2: the drive root, then each
// folder down to the current one, which is selected), the file types (cmb1, 1136), OK and Cancel. With OFN_ENABLEHOOK every
// message of the dialog goes to the hook first (WM_INITDIALOG with lParam = the OPENFILENAMEW);
// a hook answering non-zero has handled it. With OFN_EXPLORER the caller's template (or an
// empty one) is a child dialog of the built-in one whose procedure is the hook (see CDN_FILEOK
// below). OK takes the name in edt1: a name with wildcards or
// none keeps the dialog open; a relative name is taken in the folder (lpstrInitialDir, else the
// current directory). The test script of UiSetFileDialogScript answers each dialog.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/wintypes.h"
#include "ui/winuser.h"

using LPOFNHOOKPROC = UINT_PTR (*)(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

struct OPENFILENAMEW {
  DWORD lStructSize;
  HWND hwndOwner;
  HINSTANCE hInstance;  // OFN_ENABLETEMPLATE: the module holding lpTemplateName
  LPCWSTR lpstrFilter;  // pairs of NUL-terminated strings (name, pattern), ending with an empty one
  LPWSTR lpstrCustomFilter;
  DWORD nMaxCustFilter;
  DWORD nFilterIndex;  // 1-based; 0 takes the first pair
  LPWSTR lpstrFile;    // in: the initial name; out: the chosen path
  DWORD nMaxFile;      // characters of lpstrFile, NUL included
  LPWSTR lpstrFileTitle;
  DWORD nMaxFileTitle;
  LPCWSTR lpstrInitialDir;
  LPCWSTR lpstrTitle;
  DWORD Flags;
  WORD nFileOffset;
  WORD nFileExtension;
  LPCWSTR lpstrDefExt;
  LPARAM lCustData;
  LPOFNHOOKPROC lpfnHook;
  LPCWSTR lpTemplateName;
  void* pvReserved;
  DWORD dwReserved;
  DWORD FlagsEx;
};
using LPOPENFILENAMEW = OPENFILENAMEW*;
// The record without the trailing reserved fields, as older callers size it.
inline constexpr DWORD OPENFILENAME_SIZE_VERSION_400W = offsetof(OPENFILENAMEW, pvReserved);

constexpr DWORD OFN_READONLY = 0x00000001;
constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
constexpr DWORD OFN_NOCHANGEDIR = 0x00000008;
constexpr DWORD OFN_SHOWHELP = 0x00000010;
constexpr DWORD OFN_ENABLEHOOK = 0x00000020;
constexpr DWORD OFN_ENABLETEMPLATE = 0x00000040;
constexpr DWORD OFN_ENABLETEMPLATEHANDLE = 0x00000080;
constexpr DWORD OFN_NOVALIDATE = 0x00000100;
constexpr DWORD OFN_ALLOWMULTISELECT = 0x00000200;
constexpr DWORD OFN_EXTENSIONDIFFERENT = 0x00000400;
constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800;
constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;
constexpr DWORD OFN_CREATEPROMPT = 0x00002000;
constexpr DWORD OFN_SHAREAWARE = 0x00004000;
constexpr DWORD OFN_NOREADONLYRETURN = 0x00008000;
constexpr DWORD OFN_NOTESTFILECREATE = 0x00010000;
constexpr DWORD OFN_EXPLORER = 0x00080000;
constexpr DWORD OFN_LONGNAMES = 0x00200000;

// Controls of the file dialog.
constexpr int edt1 = 0x0480;  // 1152, the file name
constexpr int lst1 = 0x0460;  // the files of the folder that match the chosen pattern
constexpr int lst2 = 0x0461;  // the folder chain
constexpr int cmb1 = 0x0470;  // 1136, the file types of the filter
constexpr int stc3 = 0x0442;  // "File name:"
constexpr int pshHelp = 0x040E;

// Explorer-style dialogs (OFN_EXPLORER): the caller's template is a child dialog of the system's
// dialog, with the hook as its procedure. OK sends the hook WM_NOTIFY CDN_FILEOK (an OFNOTIFYW)
// once the name is checked; a non-zero DWLP_MSGRESULT keeps the dialog open.
constexpr UINT CDN_FIRST = 0U - 601U;
constexpr UINT CDN_FILEOK = CDN_FIRST - 0x0005;
struct OFNOTIFYW {
  NMHDR hdr;
  LPOPENFILENAMEW lpOFN;
  LPWSTR pszFile;
};
using LPOFNOTIFYW = OFNOTIFYW*;

// CommDlgExtendedError codes.
constexpr DWORD CDERR_DIALOGFAILURE = 0xFFFF;
constexpr DWORD CDERR_STRUCTSIZE = 0x0001;
constexpr DWORD CDERR_INITIALIZATION = 0x0002;
constexpr DWORD CDERR_NOTEMPLATE = 0x0003;
constexpr DWORD CDERR_NOHINSTANCE = 0x0004;
constexpr DWORD CDERR_LOADSTRFAILURE = 0x0005;
constexpr DWORD CDERR_FINDRESFAILURE = 0x0006;
constexpr DWORD CDERR_LOADRESFAILURE = 0x0007;
constexpr DWORD CDERR_NOHOOK = 0x000B;
constexpr DWORD FNERR_SUBCLASSFAILURE = 0x3001;
constexpr DWORD FNERR_INVALIDFILENAME = 0x3002;
constexpr DWORD FNERR_BUFFERTOOSMALL = 0x3003;

extern "C" {
// The modal open / save dialog. TRUE with the chosen path in lpstrFile (nFileOffset and
// nFileExtension set, lpstrFileTitle filled when given); FALSE when cancelled
// (CommDlgExtendedError 0) or on an error: CDERR_STRUCTSIZE, CDERR_INITIALIZATION (a bad filter,
// no lpstrFile or nMaxFile 0), CDERR_NOHOOK, CDERR_NOHINSTANCE, CDERR_FINDRESFAILURE (template),
// FNERR_BUFFERTOOSMALL (lpstrFile's first WORD then holds the characters needed, NUL included).
BOOL GetOpenFileNameW(LPOPENFILENAMEW ofn);
BOOL GetSaveFileNameW(LPOPENFILENAMEW ofn);
// The error of the last file dialog call of this thread; 0 after success or a cancel.
DWORD CommDlgExtendedError();
}

// ---- Shell folders ----------------------------------------------------------------------------
constexpr int CSIDL_PERSONAL = 0x0005;  // the user's documents folder
constexpr int CSIDL_APPDATA = 0x001A;
constexpr int CSIDL_LOCAL_APPDATA = 0x001C;
constexpr int CSIDL_WINDOWS = 0x0024;
constexpr int CSIDL_SYSTEM = 0x0025;
constexpr int CSIDL_FLAG_CREATE = 0x8000;
constexpr DWORD SHGFP_TYPE_CURRENT = 0;
constexpr DWORD SHGFP_TYPE_DEFAULT = 1;

extern "C" {
// The folder of `csidl` into `path` (MAX_PATH characters). S_OK; S_FALSE (path still filled)
// when the folder does not exist and CSIDL_FLAG_CREATE was not given; E_INVALIDARG for an
// unknown folder or a null path. CSIDL_PERSONAL is "<profile>\Documents" unless
// UiSetDocumentsFolder chose another.
HRESULT SHGetFolderPathW(HWND owner, int csidl, HANDLE token, DWORD flags, LPWSTR path);
}

// The folder CSIDL_PERSONAL answers; empty restores the default. Cleared by UiResetAll.
void UiSetDocumentsFolder(std::u16string folder);

// ---- Test script ------------------------------------------------------------------------------
// What one file dialog was asked for.
struct UiFileDialogCall {
  bool save = false;  // GetSaveFileNameW
  std::vector<std::pair<std::u16string, std::u16string>> filter;  // (name, pattern) pairs
  DWORD filterIndex = 0;
  std::u16string title;
  std::u16string initialDir;
  std::u16string initialFile;  // lpstrFile as given
  std::u16string defaultExtension;
  DWORD flags = 0;
  bool hooked = false;
  WORD templateId = 0;  // OFN_ENABLETEMPLATE with a numeric template; else 0
};

// The script's answer: choose `path` (typed into edt1 and OK pressed, so a hook sees it as a
// user's choice), cancel, or leave the dialog to what the script did with its window itself.
struct UiFileDialogAnswer {
  enum class Kind { kChoose, kCancel, kDriven } kind = Kind::kCancel;
  std::u16string path;
  static UiFileDialogAnswer Choose(std::u16string p) { return {Kind::kChoose, std::move(p)}; }
  static UiFileDialogAnswer Cancel() { return {Kind::kCancel, {}}; }
  static UiFileDialogAnswer Driven() { return {Kind::kDriven, {}}; }
};

// Runs inside the dialog's loop with the call and the dialog window. A dialog still open after
// the answer (a hook refused the name, a driven script left it) is reported through
// UiReportUnexpected and cancelled; a dialog with no script is reported and cancelled.
void UiSetFileDialogScript(std::function<UiFileDialogAnswer(const UiFileDialogCall&, HWND dialog)> script);
// Every file dialog call since the last UiResetAll, in order.
const std::vector<UiFileDialogCall>& UiFileDialogCalls();
