#include "ui2k/store/settings_file_dialog.h"

#include "data/item_ids.h"
#include "settings/context/settings_history.h"
#include "settings/items/store.h"
#include "settings/persistence/file_primitives.h"
#include "settings/persistence/paths.h"
#include "settings/persistence/printer_data.h"
#include "settings/persistence/settings_export.h"
#include "settings/services/registry_values.h"
#include "settings/services/resource_strings.h"
#include "settings/services/spooler_info.h"
#include "settings/services/string_convert.h"
#include "ui2k/store/file_utils.h"
#include "ui2k/store/stored_settings.h"

namespace {

constexpr int kFolderChain = 0x0461;  // lst2: the drive root, then each folder down to the current one
constexpr DWORD kNameChars = kRstPathChars;
inline constexpr WCHAR kTempFolder[] = WSTR("\\temp");

// Each kind's extension, and the name an overlay-save dialog shows after a delete.
struct KindRow {
  DWORD kind;
  const WCHAR* extension;
  const WCHAR* defaultName;
};
constexpr KindRow kKinds[] = {
    {kRstDialogOpen, WSTR("rst"), WSTR("")},        {kRstDialogSettingsFiles, WSTR("rst"), WSTR("")},
    {kRstDialogBitmap, WSTR("bmp"), WSTR("")},      {kRstDialogOverlaySave, WSTR("rpo"), WSTR("*.rpo")},
    {kRstDialogOverlay, WSTR("rpo"), WSTR("")},     {kRstDialogSpoolFolder, nullptr, WSTR("")},
};

const KindRow& RowOf(DWORD kind) {
  for (const KindRow& row : kKinds)
    if (row.kind == kind) return row;
  return kKinds[0];
}

RstFileDialog* DataOf(HWND dialog) { return reinterpret_cast<RstFileDialog*>(GetWindowLongPtrW(dialog, DWLP_USER)); }

// The dialog that holds the name, the folder chain and OK: the system's dialog around an
// explorer-style child, else the hook's own.
HWND HostOf(HWND hook) {
  return (GetWindowLongPtrW(hook, GWL_STYLE) & WS_CHILD) && GetParent(hook) ? GetParent(hook) : hook;
}

void Press(HWND dialog, int id) { PostMessageW(HostOf(dialog), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

DWORD GetName(HWND dialog, WCHAR* name) {
  return GetDlgItemTextW(HostOf(dialog), kRstFileNameControl, name, static_cast<int>(kNameChars));
}
void SetName(HWND dialog, const WCHAR* name) { SetDlgItemTextW(HostOf(dialog), kRstFileNameControl, name); }

bool HasWildcard(const WCHAR* name) {
  for (; *name; ++name)
    if (*name == WCH('*') || *name == WCH('?')) return true;
  return false;
}

bool IsFullPath(const WCHAR* name) {
  return (name[0] && name[1] == WCH(':')) || (name[0] == WCH('\\') && name[1] == WCH('\\'));
}

// The folder the list box's chain names, up to its selection, joined by '\' ("C:\x\y").
void ChainFolder(HWND dialog, WCHAR* out, DWORD capacity) {
  out[0] = 0;
  HWND chain = GetDlgItem(HostOf(dialog), kFolderChain);
  if (!chain) return;
  LRESULT last = SendMessageW(chain, LB_GETCURSEL, 0, 0);
  if (last < 0) last = SendMessageW(chain, LB_GETCOUNT, 0, 0) - 1;
  WCHAR part[kNameChars];
  for (LRESULT i = 0; i <= last; ++i) {
    if (SendMessageW(chain, LB_GETTEXTLEN, i, 0) >= static_cast<LRESULT>(kNameChars)) return;
    SendMessageW(chain, LB_GETTEXT, i, reinterpret_cast<LPARAM>(part));
    const DWORD length = static_cast<DWORD>(lstrlenW(out));
    const bool separator = length > 0 && out[length - 1] != WCH('\\');
    WCHAR joined[kNameChars];
    if (!PathJoin(joined, kNameChars, {WStringView(out), separator ? WSTR("\\") : WSTR(""), WStringView(part)}) ||
        static_cast<DWORD>(lstrlenW(joined)) >= capacity) {
      out[0] = 0;
      return;
    }
    lstrcpynW(out, joined, static_cast<int>(capacity));
  }
  const DWORD length = static_cast<DWORD>(lstrlenW(out));
  if (length > 3 && out[length - 1] == WCH('\\')) out[length - 1] = 0;
}

// The Windows folder + "\temp", or the Windows folder itself when that is missing.
void TempFolder(WCHAR* out, DWORD capacity, bool mustExist) {
  WCHAR windows[MAX_PATH];
  out[0] = 0;
  const UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  PathJoin(out, capacity, {WStringView(windows), WStringView(kTempFolder)});
  const DWORD attributes = GetFileAttributesW(out);
  if (mustExist && (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)))
    lstrcpynW(out, windows, static_cast<int>(capacity));
}

bool HasExtension(const WCHAR* name, const WCHAR* extension) {
  DWORD length = 0;
  const WCHAR* own = PathGetExtension(name, &length);
  return own && extension && lstrcmpiW(own, extension) == 0;
}

bool LacksExtension(const WCHAR* name) {
  DWORD length = 0;
  return PathGetExtension(name, &length) == nullptr;
}

bool AppendExtension(WCHAR* name, const WCHAR* extension) {
  WCHAR joined[kNameChars];
  if (!extension || !PathJoin(joined, kNameChars, {WStringView(name), WSTR("."), WStringView(extension)})) return false;
  lstrcpynW(name, joined, static_cast<int>(kNameChars));
  return true;
}

// ---- The spool folder ---------------------------------------------------------------------------

void StoreSpoolFolder(HWND dialog, RstFileDialog& data, const WCHAR* name) {
  WCHAR folder[kNameChars];
  if (name[0])
    lstrcpynW(folder, name, static_cast<int>(kNameChars));
  else
    ChainFolder(dialog, folder, kNameChars);
  WCHAR temp[kNameChars];
  TempFolder(temp, kNameChars, false);
  // The Windows temp folder is the default: nothing is stored for it.
  if (temp[0] && lstrcmpiW(folder, temp) == 0) folder[0] = 0;
  const DWORD bytes = static_cast<DWORD>((lstrlenW(folder) + 1) * sizeof(WCHAR));
  DriverContext* context = data.ui->driver;
  if (OptGetValue(context, kItemSpoolDirAllUsers) == 1) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kDriverRegistryKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) ==
        ERROR_SUCCESS) {
      RegSetValueExW(key, kRstSpoolDirectoryValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(folder), bytes);
      RegCloseKey(key);
    }
  } else {
    PrnSetData(context->printer, kRstSpoolDirectoryValue, REG_SZ, folder, bytes);
  }
  Press(dialog, IDCANCEL);
}

// ---- Checks of a chosen name --------------------------------------------------------------------

// The answer of a check: the dialog takes the name, or keeps it from being taken.
enum class Verdict { kTake, kKeep };

int Ask(RstFileDialog& data, HWND dialog, UINT id, const WCHAR* file) {
  return RstShowMessage(data.ui, HostOf(dialog), id, file, MB_OKCANCEL);
}

void Tell(RstFileDialog& data, HWND dialog, UINT id, const WCHAR* file) {
  RstShowMessage(data.ui, HostOf(dialog), id, file, MB_OK);
}

// The trial load of a chosen file: the settings as they were afterwards; a file of another model
// keeps the dialog open.
Verdict TrialLoad(HWND dialog, RstFileDialog& data, const WCHAR* path) {
  DriverContext* context = data.ui->driver;
  if (!DmHistoryPush(context)) return Verdict::kKeep;
  CtxSetTransferStatus(context, kXferStatusMatched);
  RstLoadFile(context->printer, path, kRstLoadDialogTrial, data.ui);
  const bool matched = CtxGetTransferStatus(context) == kXferStatusMatched;
  const WCHAR* printer = PrnGetPrinterName(context);
  const WCHAR* driver = PrnGetDriverName(context);
  if (data.kind == kRstDialogOpen && matched && printer && driver && lstrcmpW(printer, driver) != 0)
    RstTransferOptions(data.ui, path, (kRstLoadDialogTrial | kXferWrite) & ~kXferRead);
  DmHistoryPop(context, TRUE);
  (void)dialog;
  return matched ? Verdict::kTake : Verdict::kKeep;
}

bool IsBitmap(const WCHAR* path) {
  char ansi[kNameChars * 2];
  StrWideToAnsi(ansi, sizeof ansi, path);
  HFILE file = HFILE_ERROR;
  if (!ResOpenBitmapFile(ansi, &file)) return false;
  _lclose(file);
  return true;
}

// The full path of `name`: as it stands, or in the folder of the list box's chain. False when it
// is longer than a chosen path may be.
bool ChosenPath(HWND dialog, const WCHAR* name, WCHAR* path) {
  WCHAR folder[kNameChars];
  ChainFolder(dialog, folder, kNameChars);
  const bool joined = IsFullPath(name) ? PathJoin(path, kNameChars, {WStringView(name)}) != 0
                                       : PathJoin(path, kNameChars, {WStringView(folder), WSTR("\\"), WStringView(name)}) != 0;
  return joined && static_cast<DWORD>(lstrlenW(path)) <= kRstMaxPathLength;
}

// Checks the name of control 1152 for `command` (5001..5003, or IDOK) and acts on it.
Verdict Check(HWND dialog, RstFileDialog& data, WORD command) {
  WCHAR name[kNameChars] = {};
  GetName(dialog, name);
  if (HasWildcard(name)) {
    // The dialog's own OK lists the folder for a pattern.
    if (command != IDOK) Press(dialog, IDOK);
    return command == IDOK ? Verdict::kTake : Verdict::kKeep;
  }
  if (data.kind == kRstDialogSpoolFolder) {
    if (lstrcmpW(name, WSTR("*.*")) == 0) name[0] = 0;
    StoreSpoolFolder(dialog, data, name);
    return Verdict::kKeep;
  }
  if (!name[0]) {
    if (command == kRstCmdDelete) Tell(data, dialog, kRstMsgBadName, name);
    return Verdict::kKeep;
  }
  if (LacksExtension(name) && AppendExtension(name, RowOf(data.kind).extension))
    SetName(dialog, name);
  WCHAR path[kNameChars];
  if (!ChosenPath(dialog, name, path)) {
    Tell(data, dialog, kRstMsgBadName, name);
    return Verdict::kKeep;
  }
  const bool load = command == kRstCmdLoad || (command == IDOK && data.kind == kRstDialogOpen);
  const bool save = command == kRstCmdSave;
  const bool erase = command == kRstCmdDelete;
  const bool exists = FsFileExists(path) != FALSE;
  if (!exists && (load || erase)) {
    Tell(data, dialog, load ? kRstMsgHeaderMismatch : kRstMsgDeleteMissing, path);
    return Verdict::kKeep;
  }
  if ((exists || save) && data.kind != kRstDialogOverlaySave && !HasExtension(name, RowOf(data.kind).extension) && RowOf(data.kind).extension) {
    if (Ask(data, dialog, kRstMsgAddExtension, path) != IDOK || !AppendExtension(name, RowOf(data.kind).extension))
      return Verdict::kKeep;
    SetName(dialog, name);
    return Check(dialog, data, command);
  }
  if (exists) {
    if (data.kind != kRstDialogOverlaySave && !RstIsWritable(data.ui, path)) {
      Tell(data, dialog, kRstMsgReadonly, path);
      return Verdict::kKeep;
    }
    if (save && Ask(data, dialog, kRstMsgOverwrite, path) != IDOK) return Verdict::kKeep;
    if (erase && RstIsStoredSettingsFile(data.ui, path)) {
      Tell(data, dialog, kRstMsgListed, path);
      return Verdict::kKeep;
    }
  }
  if (erase) {
    if (Ask(data, dialog, kRstMsgDeleteAsk, path) != IDOK) return Verdict::kKeep;
    if (data.kind == kRstDialogOverlaySave) {
      FsDeleteFile(path);
      SetName(dialog, RowOf(data.kind).defaultName);
      return Verdict::kKeep;
    }
  }
  if (command != IDOK) {
    data.command = command;
    Press(dialog, IDOK);
    return Verdict::kKeep;
  }
  switch (data.kind) {
    case kRstDialogOpen:
      return TrialLoad(dialog, data, path);
    case kRstDialogBitmap:
      if (IsBitmap(path)) return Verdict::kTake;
      Tell(data, dialog, kRstMsgNotBitmap, path);
      return Verdict::kKeep;
    case kRstDialogOverlaySave:
      if (!HasExtension(name, RowOf(data.kind).extension)) {
        if (Ask(data, dialog, kRstMsgOverlayExtension, path) != IDOK || !AppendExtension(name, RowOf(data.kind).extension))
          return Verdict::kKeep;
        SetName(dialog, name);
        return Check(dialog, data, command);
      }
      return exists && Ask(data, dialog, kRstMsgOverwrite, path) != IDOK ? Verdict::kKeep : Verdict::kTake;
    case kRstDialogOverlay:
      if (exists && HasExtension(name, RowOf(data.kind).extension)) return Verdict::kTake;
      Tell(data, dialog, kRstMsgBadName, path);
      return Verdict::kKeep;
    default:
      return Verdict::kTake;
  }
}

// OK: true when the dialog is to keep the name from being taken.
bool KeepOnOk(HWND dialog, RstFileDialog& data) {
  WCHAR name[kNameChars] = {};
  GetName(dialog, name);
  if (data.kind == kRstDialogSettingsFiles && !HasWildcard(name)) {
    // OK with no command chosen saves; after a command its checks are done.
    if (data.command == 0) {
      Check(dialog, data, kRstCmdSave);
      return true;
    }
    WCHAR path[kNameChars];
    if (data.command != kRstCmdLoad) return false;
    return !ChosenPath(dialog, name, path) || TrialLoad(dialog, data, path) == Verdict::kKeep;
  }
  // The system's dialog around an explorer-style hook took the name as it stood: a name given
  // its extension goes through OK anew.
  if (HostOf(dialog) != dialog && name[0] && !HasWildcard(name) && LacksExtension(name) &&
      AppendExtension(name, RowOf(data.kind).extension)) {
    SetName(dialog, name);
    Press(dialog, IDOK);
    return true;
  }
  return Check(dialog, data, IDOK) == Verdict::kKeep;
}

UINT_PTR Command(HWND dialog, RstFileDialog& data, WORD id, WORD code) {
  switch (id) {
    case IDOK:
      return KeepOnOk(dialog, data);
    case kRstCmdSave:
    case kRstCmdLoad:
    case kRstCmdDelete:
      if (data.kind != kRstDialogSettingsFiles && !(data.kind == kRstDialogOverlaySave && id == kRstCmdDelete))
        return FALSE;
      Check(dialog, data, id);
      return TRUE;
    case kRstCmdDefaultFolder: {
      WCHAR folder[kNameChars];
      TempFolder(folder, kNameChars, true);
      SetName(dialog, folder);
      Press(dialog, IDOK);
      return TRUE;
    }
    case kRstCmdAllUsers:
      OptSetValue(data.ui->driver, kItemSpoolDirAllUsers,
                  IsDlgButtonChecked(dialog, kRstCmdAllUsers) == BST_CHECKED ? 1 : 0);
      return TRUE;
    case kRstCmdFileList:
      if (code == LBN_DBLCLK) data.command = 0;
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

UINT_PTR CALLBACK RstSettingsFileHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) try {
  if (message == WM_INITDIALOG) {
    const auto* ofn = reinterpret_cast<const OPENFILENAMEW*>(lParam);
    auto* data = ofn ? reinterpret_cast<RstFileDialog*>(ofn->lCustData) : nullptr;
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(data));
    if (data && data->ui) {
      data->command = 0;
      CheckDlgButton(dialog, kRstCmdAllUsers,
                     OptGetValue(data->ui->driver, kItemSpoolDirAllUsers) == 1 ? BST_CHECKED : BST_UNCHECKED);
    }
    return TRUE;
  }
  RstFileDialog* data = DataOf(dialog);
  if (!data || !data->ui || !data->ui->driver) return FALSE;
  if (message == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lParam)->code == CDN_FILEOK) {
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, KeepOnOk(dialog, *data) ? 1 : 0);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  return Command(dialog, *data, LOWORD(wParam), HIWORD(wParam));
} catch (...) {
  // Nothing leaves a dialog procedure: the dialog goes on with the message.
  return FALSE;
}
