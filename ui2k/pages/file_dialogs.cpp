#include "ui2k/pages/file_dialogs.h"

#include <atomic>
#include <string>

#include "settings/items/store.h"
#include "settings/persistence/paths.h"
#include "settings/persistence/printer_data.h"
#include "settings/persistence/profile_wrappers.h"
#include "settings/services/platform_tests.h"
#include "settings/services/registry_values.h"
#include "settings/services/resource_strings.h"
#include "settings/services/spooler_info.h"
#include "ui2k/store/settings_file_dialog.h"
#include "ui2k/sheets/resource_library.h"
#include "data/item_ids.h"

namespace {

// The name buffer of the dialog (and of the file-name control its hook reads).
constexpr DWORD kDialogChars = kUiTextChars;

const FdlgKind kKinds[] = {
    {kFdlgOpenSettings, WSTR("*.rst"), 376, 5002, WSTR("OpenFilePath"), 0, 0},
    {kFdlgSaveSettings, WSTR("*.rst"), 376, 5003, WSTR("SaveFilePath"), 0, 0},
    {kFdlgPicture, WSTR("*.bmp"), 377, 5004, WSTR("RefFilePath"), 2341, 0},
    {kFdlgOverlaySave, WSTR("*.rpo"), 433, 5008, nullptr, 0, kItemOvlPath},
    {kFdlgOverlayRefer, WSTR("*.rpo"), 433, 5009, WSTR("RporefPath"), 2586, 0},
    {kFdlgCreatedFiles, WSTR("*.*"), 0, 0, nullptr, 0, 0},
};

constexpr WCHAR kSpoolDirectoryValue[] = WSTR("SpoolDirectory");

std::atomic<LPOFNHOOKPROC> g_settingsFileHook{RstSettingsFileHook};

BOOL Copy(const WCHAR* text, WCHAR* out, DWORD capacity) {
  if (!out || capacity == 0) return FALSE;
  out[0] = 0;
  if (!text || static_cast<DWORD>(lstrlenW(text)) >= capacity) return FALSE;
  lstrcpynW(out, text, static_cast<int>(capacity));
  return TRUE;
}

BOOL IsExistingFile(const WCHAR* path) {
  const DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

BOOL IsExistingFolder(const WCHAR* path) {
  const DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The folder stored under the kind's key; FALSE ("") when none is stored.
BOOL StoredFolder(UiContext* ui, const FdlgKind& kind, WCHAR* folder, DWORD capacity) {
  folder[0] = 0;
  const WCHAR* ini = PathGetSettingsIni(ui->driver);
  const WCHAR* printer = PrnGetPrinterName(ui->driver);
  if (!kind.folderKey || !ini || !ini[0] || !printer || !printer[0]) return FALSE;
  // A folder that does not fit the buffer whole is not taken cut short.
  if (IniProfileGetString(printer, kind.folderKey, WSTR(""), folder, capacity, ini) >= capacity - 1) folder[0] = 0;
  return folder[0] != 0;
}

BOOL DefaultFolder(WCHAR* folder, DWORD capacity) {
  folder[0] = 0;
  if (SysIsNt5OrLater()) {
    WCHAR documents[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents)) && documents[0])
      return Copy(documents, folder, capacity);
  }
  WCHAR system[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  return length && length < MAX_PATH && Copy(system, folder, capacity);
}

// A REG_SZ value read into `text` (`capacity` characters). Answers whether the value is missing
// (not merely too long or unreadable), so that only a missing one is written empty.
struct TextValue {
  BOOL read;
  BOOL missing;
};

TextValue ReadDriverRegText(WCHAR* text, DWORD capacity) {
  DWORD type = 0;
  DWORD size = (capacity - 1) * sizeof(WCHAR);
  text[0] = 0;
  if (SysReadDriverRegValue(kSpoolDirectoryValue, &type, reinterpret_cast<BYTE*>(text), &size)) {
    if (type != REG_SZ && type != REG_EXPAND_SZ) text[0] = 0;
    text[size / sizeof(WCHAR)] = 0;
    return {TRUE, FALSE};
  }
  text[0] = 0;
  return {FALSE, size <= (capacity - 1) * sizeof(WCHAR)};
}

TextValue ReadPrinterDataText(HANDLE printer, WCHAR* text, DWORD capacity) {
  DWORD read = 0;
  DWORD type = 0;
  text[0] = 0;
  if (PrnGetData(printer, kSpoolDirectoryValue, text, (capacity - 1) * sizeof(WCHAR), &read, &type)) {
    if (type != REG_SZ && type != REG_EXPAND_SZ) text[0] = 0;
    text[read / sizeof(WCHAR)] = 0;
    return {TRUE, FALSE};
  }
  text[0] = 0;
  return {FALSE, GetLastError() == ERROR_FILE_NOT_FOUND};
}

// The initial name: the text of the kind's control or item, else the pattern.
void InitialName(UiContext* ui, const FdlgKind& kind, HWND parent, WCHAR* name, DWORD capacity) {
  name[0] = 0;
  if (kind.control && parent) GetDlgItemTextW(parent, kind.control, name, static_cast<int>(capacity));
  if (kind.item) {
    ItemTableRow* row = nullptr;
    OptGetValue(ui->driver, kind.item, &row);
    if (row) OptGetString(ui->driver, row, name, capacity);
  }
  if (!name[0]) Copy(kind.pattern, name, capacity);
}

void StoreResult(UiContext* ui, const FdlgKind& kind, HWND parent, const WCHAR* path) {
  if (kind.control && parent) SetDlgItemTextW(parent, kind.control, path);
  if (kind.item) {
    ItemTableRow* row = nullptr;
    OptGetValue(ui->driver, kind.item, &row);
    if (row) OptSetString(ui->driver, row, path);
  }
  WCHAR folder[kDialogChars];
  const WCHAR* ini = PathGetSettingsIni(ui->driver);
  const WCHAR* printer = PrnGetPrinterName(ui->driver);
  if (kind.folderKey && ini && ini[0] && printer && printer[0] && FdlgFolderOf(path, folder, kDialogChars))
    IniProfileWriteString(printer, kind.folderKey, folder, ini);
  Copy(path, ui->state.fileName, kUiTextChars);
}

}  // namespace

const FdlgKind* FdlgFindKind(DWORD kind) {
  for (const FdlgKind& row : kKinds)
    if (row.kind == kind) return &row;
  return nullptr;
}

DWORD FdlgBuildFilter(UiContext* ui, const FdlgKind& kind, WCHAR* out, DWORD capacity) {
  if (!out || capacity == 0) return 0;
  out[0] = 0;
  if (!ui || !kind.filterName || !kind.pattern) return 0;
  WCHAR name[kDialogChars];
  // Without the resource library's text the pattern names itself: a filter with an empty name
  // would read as no filter at all.
  if (!ResLoadString(ui->driver, kind.filterName, name, kDialogChars, FALSE)) Copy(kind.pattern, name, kDialogChars);
  const DWORD nameLength = static_cast<DWORD>(lstrlenW(name));
  const DWORD patternLength = static_cast<DWORD>(lstrlenW(kind.pattern));
  const DWORD total = nameLength + 1 + patternLength + 1 + 1;
  if (total > capacity) return 0;
  WCHAR* at = out;
  for (DWORD i = 0; i < nameLength; ++i) *at++ = name[i];
  *at++ = 0;
  for (DWORD i = 0; i < patternLength; ++i) *at++ = kind.pattern[i];
  *at++ = 0;
  *at = 0;
  return total;
}

BOOL FdlgFolderOf(const WCHAR* path, WCHAR* folder, DWORD capacity) {
  if (!folder || capacity == 0) return FALSE;
  folder[0] = 0;
  if (!path) return FALSE;
  const WStringView text(path);
  const size_t cut = text.find_last_of(WCH('\\'));
  if (cut == WStringView::npos) return FALSE;
  // "C:\x" keeps the root's backslash: "C:" alone would name the drive's current folder.
  const size_t length = cut == 2 ? 3 : cut;
  if (length + 1 > capacity) return FALSE;
  text.copy(folder, length);
  folder[length] = 0;
  return TRUE;
}

BOOL FdlgInitialFolder(UiContext* ui, const FdlgKind& kind, const WCHAR* initialFile, WCHAR* folder,
                       DWORD capacity) {
  if (!folder || capacity == 0) return FALSE;
  folder[0] = 0;
  if (!ui) return FALSE;
  if (initialFile && WStringView(initialFile) != WStringView(kind.pattern) && IsExistingFile(initialFile) &&
      FdlgFolderOf(initialFile, folder, capacity))
    return TRUE;
  return StoredFolder(ui, kind, folder, capacity) || DefaultFolder(folder, capacity);
}

BOOL FdlgCreatedFilesFolder(UiContext* ui, WCHAR* folder, DWORD capacity) {
  if (!folder || capacity == 0) return FALSE;
  folder[0] = 0;
  if (!ui) return FALSE;
  OptSetValue(ui->driver, kItemSpoolDirAllUsers, 0);
  WCHAR text[MAX_PATH + 1];
  const TextValue machine = ReadDriverRegText(text, MAX_PATH + 1);
  if (machine.missing) SysWriteDriverRegText(kSpoolDirectoryValue, WSTR(""));
  if (text[0]) {
    OptSetValue(ui->driver, kItemSpoolDirAllUsers, 1);
    return Copy(text, folder, capacity);
  }
  const TextValue printer = ReadPrinterDataText(ui->driver->printer, text, MAX_PATH + 1);
  if (printer.missing) PrnSetData(ui->driver->printer, kSpoolDirectoryValue, REG_SZ, WSTR(""), sizeof(WCHAR));
  if (text[0]) return Copy(text, folder, capacity);
  WCHAR windows[MAX_PATH];
  const UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
  if (!length || length >= MAX_PATH) return FALSE;
  WCHAR temp[MAX_PATH];
  if (PathJoin(temp, MAX_PATH, {windows, WSTR("\\temp")}) && IsExistingFolder(temp)) return Copy(temp, folder, capacity);
  return Copy(windows, folder, capacity);
}

BOOL FdlgMatchExtension(const WCHAR* name, DWORD kind) {
  const FdlgKind* row = FdlgFindKind(kind);
  if (!name || !row || !row->pattern) return FALSE;
  const WStringView text(name);
  const WStringView pattern(row->pattern);
  if (text.size() < 4 || pattern.size() < 4) return FALSE;
  const WStringView last = text.substr(text.size() - 4);
  const WStringView wanted = pattern.substr(pattern.size() - 4);
  if (last[0] != WCH('.') || wanted[0] != WCH('.')) return FALSE;
  for (size_t i = 1; i < 4; ++i) {
    const WCHAR letter = wanted[i];
    const WCHAR upper = letter >= WCH('a') && letter <= WCH('z') ? static_cast<WCHAR>(letter - WCH('a') + WCH('A')) : letter;
    if (last[i] != letter && last[i] != upper) return FALSE;
  }
  return TRUE;
}

INT_PTR FdlgRunFileDialog(UiContext* ui, DWORD kind, WORD pageId, HWND parent) {
  const FdlgKind* row = FdlgFindKind(kind);
  if (!ui || !ui->driver || !row) return IDCANCEL;
  WCHAR name[kDialogChars];
  WCHAR folder[kDialogChars];
  WCHAR filter[kDialogChars];
  WCHAR title[kDialogChars] = {};
  BOOL haveFolder;
  if (kind == kFdlgCreatedFiles) {
    Copy(row->pattern, name, kDialogChars);
    haveFolder = FdlgCreatedFilesFolder(ui, folder, kDialogChars);
  } else {
    InitialName(ui, *row, parent, name, kDialogChars);
    haveFolder = FdlgInitialFolder(ui, *row, name, folder, kDialogChars);
  }
  const DWORD filterChars = FdlgBuildFilter(ui, *row, filter, kDialogChars);
  if (row->title) ResLoadString(ui->driver, row->title, title, kDialogChars, FALSE);

  RstFileDialog hookData{ui, kind, pageId, 0};
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = parent;
  ofn.lpstrFilter = filterChars ? filter : nullptr;
  ofn.lpstrFile = name;
  ofn.nMaxFile = kDialogChars;
  ofn.lpstrInitialDir = haveFolder ? folder : nullptr;
  ofn.lpstrTitle = title[0] ? title : nullptr;
  ofn.Flags = OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_ENABLEHOOK;
  ofn.lCustData = reinterpret_cast<LPARAM>(&hookData);
  ofn.lpfnHook = g_settingsFileHook.load();
  // The page's template holds the controls the hook works with.
  if (HINSTANCE resources = UiResInstance(ui->driver)) {
    ofn.hInstance = resources;
    ofn.lpTemplateName = UiResTemplate(pageId);
    ofn.Flags |= OFN_ENABLETEMPLATE;
  }
  // The settings files' templates are children of the system's dialog; the folder dialog's is the
  // whole dialog.
  if (kind != kFdlgCreatedFiles) ofn.Flags |= OFN_EXPLORER;
  const BOOL chosen = kind == kFdlgSaveSettings ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
  if (!chosen) return IDCANCEL;
  name[kDialogChars - 1] = 0;
  StoreResult(ui, *row, parent, name);
  return IDOK;
}

void FdlgSetSettingsFileHook(LPOFNHOOKPROC hook) { g_settingsFileHook.store(hook ? hook : RstSettingsFileHook); }
