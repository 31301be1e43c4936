// Open and save dialogs: the OPENFILENAMEW checks, the dialog (the caller's template or the
// built-in one) with its hook, the test script that answers it, and the bounded copy of the result.
#include <algorithm>
#include <map>
#include <mutex>
#include <new>

#include "core/files.h"
#include "core/memory.h"
#include "core/unicode.h"
#include "core/winerror.h"
#include "ui/commdlg.h"
#include "ui/controls.h"
#include "ui/window_manager.h"

namespace velm::ui {
namespace {

using velm::platform::EqualsNoCase;
using velm::platform::Utf16ToUtf8;

constexpr size_t kMaxFilterPairs = 256;
constexpr size_t kMaxFilterChars = 32768;
constexpr size_t kMaxPathChars = 32767;

thread_local DWORD t_lastError = 0;

std::mutex g_lock;

std::function<UiFileDialogAnswer(const UiFileDialogCall&, HWND)>& Script() {
  static auto* script = new std::function<UiFileDialogAnswer(const UiFileDialogCall&, HWND)>();
  return *script;
}
std::vector<UiFileDialogCall>& Calls() {
  static auto* calls = new std::vector<UiFileDialogCall>();
  return *calls;
}

struct FileDialog {
  OPENFILENAMEW* ofn = nullptr;
  UiFileDialogCall call;
  std::u16string folder;  // where relative names are taken
  std::u16string pattern;  // of lst1
  bool ended = false;
  bool chosen = false;
  DWORD error = 0;
  bool explorer = false;  // OFN_EXPLORER with a hook or template: the hook runs in `child`
  HWND child = nullptr;
};

std::map<HWND, FileDialog*>& Dialogs() {
  static auto* dialogs = new std::map<HWND, FileDialog*>();
  return *dialogs;
}

FileDialog* FindDialog(HWND window) {
  std::lock_guard lock(g_lock);
  const auto it = Dialogs().find(window);
  return it == Dialogs().end() ? nullptr : it->second;
}

// A caller's string of at most `limit` characters; false when it runs longer.
bool BoundedText(LPCWSTR text, size_t limit, std::u16string& out) {
  out.clear();
  if (!text) return true;
  size_t length = 0;
  while (length <= limit && text[length]) ++length;
  if (length > limit) return false;
  out.assign(text, length);
  return true;
}

// The filter's (name, pattern) pairs up to the empty string; false for a filter without its
// double NUL within the bounds, a name without a pattern, or an empty pattern.
bool ParseFilter(LPCWSTR filter, std::vector<std::pair<std::u16string, std::u16string>>& pairs) {
  pairs.clear();
  if (!filter) return true;
  size_t at = 0;
  while (true) {
    if (at >= kMaxFilterChars) return false;
    if (!filter[at]) return !pairs.empty();  // the terminating empty string
    std::u16string name, pattern;
    if (!BoundedText(filter + at, kMaxFilterChars - at, name)) return false;
    at += name.size() + 1;
    if (at >= kMaxFilterChars || !BoundedText(filter + at, kMaxFilterChars - at, pattern) || pattern.empty())
      return false;
    at += pattern.size() + 1;
    if (pairs.size() == kMaxFilterPairs) return false;
    pairs.emplace_back(std::move(name), std::move(pattern));
  }
}

bool IsFullPath(std::u16string_view path) {
  return (path.size() >= 3 && path[1] == u':' && (path[2] == u'\\' || path[2] == u'/')) ||
         (path.size() >= 2 && path[0] == u'\\' && path[1] == u'\\');
}

bool HasWildcard(std::u16string_view text) { return text.find_first_of(u"*?") != std::u16string_view::npos; }

std::u16string CurrentFolder() {
  WCHAR buffer[MAX_PATH + 1]{};
  const DWORD length = GetCurrentDirectoryW(MAX_PATH + 1, buffer);
  return length && length <= MAX_PATH ? std::u16string(buffer, length) : std::u16string(u"C:\\");
}

std::u16string Join(std::u16string folder, std::u16string_view name) {
  if (!folder.empty() && folder.back() != u'\\') folder += u'\\';
  return folder + std::u16string(name);
}

size_t NameOffset(std::u16string_view path) {
  const size_t cut = path.find_last_of(u"\\/:");
  return cut == std::u16string_view::npos ? 0 : cut + 1;
}

// Offset of the extension after the dot; the path's length when the name has none.
size_t ExtensionOffset(std::u16string_view path) {
  const size_t name = NameOffset(path);
  const size_t dot = path.find_last_of(u'.');
  return dot == std::u16string_view::npos || dot < name ? path.size() : dot + 1;
}

bool Exists(const std::u16string& path, bool folder) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  return folder == ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
}

// The folder chain into lst2 and the folder's matching files into lst1, when the dialog has them.
void ListFolder(HWND dialog, FileDialog& state) {
  if (HWND folders = GetDlgItem(dialog, lst2)) {
    SendMessageW(folders, LB_RESETCONTENT, 0, 0);
    size_t start = 0;
    LRESULT last = LB_ERR;
    while (start < state.folder.size()) {
      size_t end = state.folder.find(u'\\', start);
      if (end == std::u16string::npos) end = state.folder.size();
      std::u16string part = state.folder.substr(start, end - start);
      if (start == 0) part += u'\\';  // the drive root keeps its backslash
      if (!part.empty() && part != u"\\")
        last = SendMessageW(folders, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(part.c_str()));
      start = end + 1;
    }
    if (last != LB_ERR) SendMessageW(folders, LB_SETCURSEL, static_cast<WPARAM>(last), 0);
  }
  if (HWND files = GetDlgItem(dialog, lst1)) {
    SendMessageW(files, LB_RESETCONTENT, 0, 0);
    std::u16string patterns = state.pattern.empty() ? u"*.*" : state.pattern;
    std::vector<std::u16string> names;
    size_t start = 0;
    while (start <= patterns.size()) {
      size_t end = patterns.find(u';', start);
      if (end == std::u16string::npos) end = patterns.size();
      const std::u16string search = Join(state.folder, patterns.substr(start, end - start));
      WIN32_FIND_DATAW found{};
      HANDLE find = FindFirstFileW(search.c_str(), &found);
      if (find != INVALID_HANDLE_VALUE) {
        do
          if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.emplace_back(found.cFileName);
        while (FindNextFileW(find, &found));
        FindClose(find);
      }
      start = end + 1;
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    for (const std::u16string& name : names) SendMessageW(files, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  }
}

void FillDialog(HWND dialog, FileDialog& state) {
  const OPENFILENAMEW& ofn = *state.ofn;
  if (!state.call.title.empty()) SetWindowTextW(dialog, state.call.title.c_str());
  SetDlgItemTextW(dialog, edt1, state.call.initialFile.c_str());
  if (HWND types = GetDlgItem(dialog, cmb1)) {
    for (const auto& [name, pattern] : state.call.filter)
      SendMessageW(types, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    if (!state.call.filter.empty()) SendMessageW(types, CB_SETCURSEL, ofn.nFilterIndex ? ofn.nFilterIndex - 1 : 0, 0);
  }
  ListFolder(dialog, state);
}

void Finish(FileDialog& state, bool chosen, DWORD error) {
  state.ended = true;
  state.chosen = chosen;
  state.error = error;
}

// OK: the name in edt1 checked and copied out. False when the dialog stays open.
bool Choose(HWND dialog, FileDialog& state) {
  OPENFILENAMEW& ofn = *state.ofn;
  std::u16string name(kMaxPathChars, u'\0');
  name.resize(GetDlgItemTextW(dialog, edt1, name.data(), static_cast<int>(name.size())));
  while (!name.empty() && name.back() == u' ') name.pop_back();
  if (name.empty()) return false;
  if (HasWildcard(name)) {  // a pattern lists the folder instead
    state.pattern = name.substr(NameOffset(name));
    ListFolder(dialog, state);
    return false;
  }
  std::u16string path = IsFullPath(name) ? name : Join(state.folder, name);
  if (ExtensionOffset(path) == path.size() && !state.call.defaultExtension.empty())
    path += u"." + state.call.defaultExtension;
  const std::u16string title = state.call.title.empty() ? (state.call.save ? u"Save As" : u"Open") : state.call.title;
  if (!(ofn.Flags & OFN_NOVALIDATE)) {
    const std::u16string folder = path.substr(0, std::max<size_t>(NameOffset(path), 1) - 1);
    if ((ofn.Flags & (OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST)) && !folder.empty() && !Exists(folder, true) &&
        !(folder.size() == 2 && folder[1] == u':')) {
      MessageBoxW(dialog, (path + u"\r\nPath does not exist.\r\nCheck the path and try again.").c_str(),
                  title.c_str(), MB_OK | MB_ICONWARNING);
      return false;
    }
    if ((ofn.Flags & OFN_FILEMUSTEXIST) && !Exists(path, false)) {
      MessageBoxW(dialog, (path + u"\r\nFile not found.\r\nCheck the file name and try again.").c_str(),
                  title.c_str(), MB_OK | MB_ICONWARNING);
      return false;
    }
    if (state.call.save && (ofn.Flags & OFN_OVERWRITEPROMPT) && Exists(path, false) &&
        MessageBoxW(dialog, (path + u" already exists.\r\nDo you want to replace it?").c_str(), title.c_str(),
                    MB_YESNO | MB_ICONWARNING) != IDYES)
      return false;
  }
  // An explorer-style hook sees the checked name and may keep the dialog open.
  if (state.explorer && state.child) {
    OFNOTIFYW note{};
    note.hdr.hwndFrom = state.child;
    note.hdr.code = CDN_FILEOK;
    note.lpOFN = &ofn;
    note.pszFile = path.data();
    SetWindowLongPtrW(state.child, DWLP_MSGRESULT, 0);
    if (SendMessageW(state.child, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&note)) != 0) return false;
  }
  // The copy is bounded by nMaxFile; a short buffer gets the characters needed in its first WORD.
  if (path.size() + 1 > ofn.nMaxFile) {
    if (ofn.nMaxFile >= 1) ofn.lpstrFile[0] = static_cast<WCHAR>(std::min<size_t>(path.size() + 1, 0xFFFF));
    Finish(state, false, FNERR_BUFFERTOOSMALL);
    return true;
  }
  std::copy(path.begin(), path.end(), ofn.lpstrFile);
  ofn.lpstrFile[path.size()] = 0;
  const size_t nameAt = NameOffset(path);
  const size_t extension = ExtensionOffset(path);
  ofn.nFileOffset = static_cast<WORD>(std::min<size_t>(nameAt, 0xFFFF));
  ofn.nFileExtension = static_cast<WORD>(extension == path.size() ? 0 : std::min<size_t>(extension, 0xFFFF));
  if (ofn.lpstrFileTitle && ofn.nMaxFileTitle > 0) {
    const std::u16string_view fileTitle = std::u16string_view(path).substr(nameAt);
    const size_t copied = std::min<size_t>(fileTitle.size(), ofn.nMaxFileTitle - 1);
    std::copy_n(fileTitle.begin(), copied, ofn.lpstrFileTitle);
    ofn.lpstrFileTitle[copied] = 0;
  }
  Finish(state, true, 0);
  return true;
}

INT_PTR FileDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* state = reinterpret_cast<FileDialog*>(lParam);
    {
      std::lock_guard lock(g_lock);
      Dialogs()[dialog] = state;
    }
    FillDialog(dialog, *state);
    const OPENFILENAMEW& ofn = *state->ofn;
    if (!state->explorer && (ofn.Flags & OFN_ENABLEHOOK) && ofn.lpfnHook)
      return static_cast<INT_PTR>(ofn.lpfnHook(dialog, message, wParam, reinterpret_cast<LPARAM>(state->ofn)));
    return TRUE;
  }
  FileDialog* state = FindDialog(dialog);
  if (!state) return FALSE;
  const OPENFILENAMEW& ofn = *state->ofn;
  if (!state->explorer && (ofn.Flags & OFN_ENABLEHOOK) && ofn.lpfnHook && ofn.lpfnHook(dialog, message, wParam, lParam))
    return TRUE;
  if (message == WM_COMMAND && !state->ended) {
    switch (LOWORD(wParam)) {
      case IDOK:
        Choose(dialog, *state);
        return TRUE;
      case IDCANCEL:
        Finish(*state, false, 0);
        return TRUE;
      case cmb1:
        if (HIWORD(wParam) == CBN_SELCHANGE) {
          const LRESULT index = SendDlgItemMessageW(dialog, cmb1, CB_GETCURSEL, 0, 0);
          if (index >= 0 && static_cast<size_t>(index) < state->call.filter.size()) {
            state->pattern = state->call.filter[index].second;
            state->ofn->nFilterIndex = static_cast<DWORD>(index + 1);
            ListFolder(dialog, *state);
          }
        }
        return TRUE;
    }
  }
  if (message == WM_CLOSE && !state->ended) {
    Finish(*state, false, 0);
    return TRUE;
  }
  return FALSE;
}

// The procedure of an explorer-style child dialog: the hook's, with the OPENFILENAMEW at
// WM_INITDIALOG.
INT_PTR ExplorerChildProc(HWND child, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* state = reinterpret_cast<FileDialog*>(lParam);
    {
      std::lock_guard lock(g_lock);
      Dialogs()[child] = state;
    }
    state->child = child;
    const OPENFILENAMEW& ofn = *state->ofn;
    if (!(ofn.Flags & OFN_ENABLEHOOK) || !ofn.lpfnHook) return TRUE;
    return static_cast<INT_PTR>(ofn.lpfnHook(child, message, wParam, reinterpret_cast<LPARAM>(state->ofn)));
  }
  FileDialog* state = FindDialog(child);
  if (!state || !(state->ofn->Flags & OFN_ENABLEHOOK) || !state->ofn->lpfnHook) return FALSE;
  return static_cast<INT_PTR>(state->ofn->lpfnHook(child, message, wParam, lParam));
}

// The explorer-style child of `dialog`: the caller's template, or an empty child dialog.
HWND CreateExplorerChild(FileDialog& state, HWND dialog) {
  const OPENFILENAMEW& ofn = *state.ofn;
  if (ofn.Flags & OFN_ENABLETEMPLATE)
    return CreateDialogParamW(ofn.hInstance, ofn.lpTemplateName, dialog, ExplorerChildProc,
                              reinterpret_cast<LPARAM>(&state));
  HWND child = CreateWindowExW(0, WC_DIALOG, u"", WS_CHILD | WS_VISIBLE | DS_CONTROL, 0, 0, 0, 0, dialog, nullptr,
                               nullptr, nullptr);
  if (!child) return nullptr;
  SetWindowLongPtrW(child, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(ExplorerChildProc));
  SendMessageW(child, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(&state));
  return child;
}

// The built-in dialog: a dialog-class window with the controls of an open / save box.
HWND CreateBuiltInDialog(FileDialog& state, HWND owner) {
  HWND dialog = CreateWindowExW(WS_EX_DLGMODALFRAME, WC_DIALOG, state.call.save ? u"Save As" : u"Open",
                                WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 40, 40, 430, 270, owner, nullptr,
                                nullptr, nullptr);
  if (!dialog) return nullptr;
  struct Control {
    int id;
    LPCWSTR className;
    LPCWSTR text;
    DWORD style;
    int x, y, width, height;
  };
  const Control controls[] = {
      {stc3, WC_STATICW, u"File &name:", SS_LEFT, 8, 8, 150, 16},
      {edt1, WC_EDITW, u"", WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 8, 26, 200, 22},
      {lst1, WC_LISTBOXW, u"", WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_SORT, 8, 52, 200, 140},
      {lst2, WC_LISTBOXW, u"", WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY, 216, 52, 120, 140},
      {cmb1, WC_COMBOBOXW, u"", WS_TABSTOP | CBS_DROPDOWNLIST, 8, 200, 200, 120},
      {IDOK, WC_BUTTONW, state.call.save ? u"&Save" : u"&Open", WS_TABSTOP | BS_DEFPUSHBUTTON, 344, 26, 75, 23},
      {IDCANCEL, WC_BUTTONW, u"Cancel", WS_TABSTOP | BS_PUSHBUTTON, 344, 55, 75, 23},
  };
  for (const Control& control : controls)
    if (!CreateWindowExW(0, control.className, control.text, WS_CHILD | WS_VISIBLE | control.style, control.x,
                         control.y, control.width, control.height, dialog,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), nullptr, nullptr)) {
      DestroyWindow(dialog);
      return nullptr;
    }
  SetUpDialogFont(dialog, u"", 0);
  SetWindowLongPtrW(dialog, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(FileDialogProc));
  SendMessageW(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(GetDlgItem(dialog, edt1)),
               reinterpret_cast<LPARAM>(&state));
  return dialog;
}

BOOL RunFileDialog(LPOPENFILENAMEW ofn, bool save) {
  t_lastError = 0;
  auto fail = [](DWORD error) {
    t_lastError = error;
    return FALSE;
  };
  if (!ofn) return fail(CDERR_INITIALIZATION);
  if (ofn->lStructSize != sizeof(OPENFILENAMEW) && ofn->lStructSize != OPENFILENAME_SIZE_VERSION_400W)
    return fail(CDERR_STRUCTSIZE);
  if (!ofn->lpstrFile || ofn->nMaxFile == 0) return fail(CDERR_INITIALIZATION);
  if ((ofn->Flags & OFN_ENABLEHOOK) && !ofn->lpfnHook) return fail(CDERR_NOHOOK);
  if (ofn->Flags & OFN_ENABLETEMPLATEHANDLE) return fail(CDERR_NOTEMPLATE);  // templates come from modules only
  if ((ofn->Flags & OFN_ENABLETEMPLATE) && !ofn->hInstance) return fail(CDERR_NOHINSTANCE);
  if ((ofn->Flags & OFN_ENABLETEMPLATE) && !ofn->lpTemplateName) return fail(CDERR_NOTEMPLATE);
  try {
    FileDialog state;
    state.ofn = ofn;
    UiFileDialogCall& call = state.call;
    call.save = save;
    call.flags = ofn->Flags;
    call.filterIndex = ofn->nFilterIndex;
    call.hooked = (ofn->Flags & OFN_ENABLEHOOK) != 0;
    if (!ParseFilter(ofn->lpstrFilter, call.filter) || ofn->nFilterIndex > call.filter.size())
      return fail(CDERR_INITIALIZATION);
    // lpstrFile is read up to nMaxFile characters: an initial name without its NUL is refused.
    if (!BoundedText(ofn->lpstrFile, ofn->nMaxFile - 1, call.initialFile) ||
        !BoundedText(ofn->lpstrTitle, kMaxPathChars, call.title) ||
        !BoundedText(ofn->lpstrInitialDir, kMaxPathChars, call.initialDir) ||
        !BoundedText(ofn->lpstrDefExt, 3, call.defaultExtension))
      return fail(CDERR_INITIALIZATION);
    if ((ofn->Flags & OFN_ENABLETEMPLATE) && IS_INTRESOURCE(ofn->lpTemplateName))
      call.templateId = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(ofn->lpTemplateName));
    {
      std::lock_guard lock(g_lock);
      Calls().push_back(call);
    }
    state.folder = !call.initialDir.empty() ? call.initialDir : CurrentFolder();
    if (IsFullPath(call.initialFile) && NameOffset(call.initialFile) > 0)
      state.folder = call.initialFile.substr(0, std::max<size_t>(NameOffset(call.initialFile) - 1, 3));
    if (!call.filter.empty()) state.pattern = call.filter[ofn->nFilterIndex ? ofn->nFilterIndex - 1 : 0].second;

    HWND owner = ofn->hwndOwner;
    const bool ownerWasEnabled = owner && IsWindowEnabled(owner);
    HWND dialog = nullptr;
    state.explorer = (ofn->Flags & OFN_EXPLORER) && (ofn->Flags & (OFN_ENABLEHOOK | OFN_ENABLETEMPLATE));
    if (state.explorer) {
      dialog = CreateBuiltInDialog(state, owner);
      if (!dialog) return fail(CDERR_DIALOGFAILURE);
      if (!CreateExplorerChild(state, dialog)) {
        DestroyWindow(dialog);
        return fail(CDERR_FINDRESFAILURE);
      }
    } else if (ofn->Flags & OFN_ENABLETEMPLATE) {
      dialog = CreateDialogParamW(ofn->hInstance, ofn->lpTemplateName, owner, FileDialogProc,
                                  reinterpret_cast<LPARAM>(&state));
      if (!dialog) return fail(CDERR_FINDRESFAILURE);
    } else {
      dialog = CreateBuiltInDialog(state, owner);
      if (!dialog) return fail(CDERR_DIALOGFAILURE);
    }
    if (ownerWasEnabled) EnableWindow(owner, FALSE);
    ShowWindow(dialog, SW_SHOW);

    std::function<UiFileDialogAnswer(const UiFileDialogCall&, HWND)> script;
    {
      std::lock_guard lock(g_lock);
      script = Script();
    }
    const std::string what = std::string(save ? "save" : "open") + " dialog \"" + Utf16ToUtf8(call.title) + "\"";
    if (!state.ended) {
      if (!script) {
        UiReportUnexpected(what + " opened without a file dialog script");
      } else {
        const UiFileDialogAnswer answer = script(call, dialog);
        if (!state.ended && UiIsWindow(dialog)) {
          if (answer.kind == UiFileDialogAnswer::Kind::kChoose) {
            SetDlgItemTextW(dialog, edt1, answer.path.c_str());
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
          } else if (answer.kind == UiFileDialogAnswer::Kind::kCancel) {
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
          }
        }
      }
    }
    while (!state.ended && UiIsWindow(dialog) && UiPump() > 0) {
    }
    if (!state.ended && script) UiReportUnexpected(what + " left open by its script");
    if (ownerWasEnabled) EnableWindow(owner, TRUE);
    {
      std::lock_guard lock(g_lock);
      Dialogs().erase(dialog);
      if (state.child) Dialogs().erase(state.child);
    }
    if (UiIsWindow(dialog)) DestroyWindow(dialog);
    if (state.chosen) return TRUE;
    return fail(state.error);
  } catch (const std::bad_alloc&) {
    return fail(CDERR_DIALOGFAILURE);
  }
}

// ---- Shell folders ----------------------------------------------------------------------------

std::u16string& DocumentsFolder() {
  static auto* folder = new std::u16string();
  return *folder;
}

void ResetFileDialogs() {
  std::lock_guard lock(g_lock);
  Script() = nullptr;
  Calls().clear();
  Dialogs().clear();
  DocumentsFolder().clear();
}

struct ResetRegistration {
  ResetRegistration() { UiOnReset(ResetFileDialogs); }
} g_resetRegistration;

// The profile folder through the known-folder lookup, so that both name the same place.
std::u16string KnownFolder(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  std::u16string result;
  if (SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &path) == S_OK && path) result = path;
  CoTaskMemFree(path);
  return result;
}

}  // namespace
}  // namespace velm::ui

using namespace velm::ui;

extern "C" BOOL GetOpenFileNameW(LPOPENFILENAMEW ofn) { return RunFileDialog(ofn, false); }

extern "C" BOOL GetSaveFileNameW(LPOPENFILENAMEW ofn) { return RunFileDialog(ofn, true); }

extern "C" DWORD CommDlgExtendedError() { return t_lastError; }

extern "C" HRESULT SHGetFolderPathW(HWND, int csidl, HANDLE, DWORD, LPWSTR path) {
  if (!path) return E_INVALIDARG;
  path[0] = 0;
  try {
    std::u16string folder;
    switch (csidl & ~CSIDL_FLAG_CREATE) {
      case CSIDL_PERSONAL: {
        std::lock_guard lock(g_lock);
        folder = DocumentsFolder();
      }
        if (folder.empty()) folder = KnownFolder(FOLDERID_Profile) + u"\\Documents";
        break;
      case CSIDL_APPDATA:
        folder = KnownFolder(FOLDERID_RoamingAppData);
        break;
      case CSIDL_LOCAL_APPDATA:
        folder = KnownFolder(FOLDERID_LocalAppData);
        break;
      case CSIDL_WINDOWS:
      case CSIDL_SYSTEM: {
        WCHAR buffer[MAX_PATH]{};
        const UINT length = (csidl & ~CSIDL_FLAG_CREATE) == CSIDL_WINDOWS ? GetWindowsDirectoryW(buffer, MAX_PATH)
                                                                          : GetSystemDirectoryW(buffer, MAX_PATH);
        if (length && length < MAX_PATH) folder.assign(buffer, length);
        break;
      }
      default:
        return E_INVALIDARG;
    }
    if (folder.empty() || folder.size() >= MAX_PATH) return E_FAIL;
    if ((csidl & CSIDL_FLAG_CREATE) && !Exists(folder, true)) {
      // Every missing folder of the chain, from the drive down.
      for (size_t cut = folder.find(u'\\', 3); ; cut = folder.find(u'\\', cut + 1)) {
        const std::u16string part = folder.substr(0, cut);
        if (!Exists(part, true) && !CreateDirectoryW(part.c_str(), nullptr)) return E_FAIL;
        if (cut == std::u16string::npos) break;
      }
    }
    std::copy(folder.begin(), folder.end(), path);
    path[folder.size()] = 0;
    return Exists(folder, true) ? S_OK : S_FALSE;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

void UiSetDocumentsFolder(std::u16string folder) {
  std::lock_guard lock(g_lock);
  DocumentsFolder() = std::move(folder);
}

void UiSetFileDialogScript(std::function<UiFileDialogAnswer(const UiFileDialogCall&, HWND dialog)> script) {
  std::lock_guard lock(g_lock);
  Script() = std::move(script);
}

const std::vector<UiFileDialogCall>& UiFileDialogCalls() { return Calls(); }
