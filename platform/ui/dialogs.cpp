// Dialogs: creation from templates, the dialog class's procedure, modal loops with their test
// scripts, the dialog manager's keys, and the dialog item helpers.
#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "core/winerror.h"
#include "ui/dialog_template.h"
#include "ui/window_manager.h"

namespace velm::ui {
namespace {

struct Scripts {
  std::mutex lock;
  std::map<WORD, std::function<void(HWND)>> dialogs;
};

Scripts& scripts() {
  static Scripts* instance = new Scripts;
  return *instance;
}

LONG_PTR Extra(HWND dialog, int index) { return GetWindowLongPtrW(dialog, index); }

struct Prepare {
  DLGPROC proc;
  const DialogTemplate* dialog;
  WORD templateId;
  bool modal;
};

void PrepareDialog(Window& window, void* context) {
  const auto* prepare = static_cast<const Prepare*>(context);
  const LONG_PTR proc = reinterpret_cast<LONG_PTR>(prepare->proc);
  if (window.extra.size() >= DWLP_DLGPROC + sizeof proc) std::memcpy(window.extra.data() + DWLP_DLGPROC, &proc, sizeof proc);
  window.dialog = std::make_unique<DialogState>();
  window.dialog->templateId = prepare->templateId;
  window.dialog->modal = prepare->modal;
}

DialogState* StateOf(HWND dialog) {
  auto w = FindWindowRecord(dialog, false);
  return w ? w->dialog.get() : nullptr;
}

bool IsTabStop(HWND window) {
  auto w = FindWindowRecord(window, false);
  return w && (w->style & WS_TABSTOP) && (w->style & WS_VISIBLE) && !(w->style & WS_DISABLED);
}

std::vector<HWND> Children(HWND dialog) {
  auto w = FindWindowRecord(dialog, false);
  return w ? w->children : std::vector<HWND>{};
}

// The default button's id: DM_SETDEFID's, else a child answering DLGC_DEFPUSHBUTTON, else IDOK.
WORD DefaultId(HWND dialog) {
  const LRESULT answer = SendMessageW(dialog, DM_GETDEFID, 0, 0);
  return HIWORD(static_cast<DWORD_PTR>(answer)) == DC_HASDEFID ? LOWORD(static_cast<DWORD_PTR>(answer)) : IDOK;
}

// A button press as the dialog manager makes it: the focus moves to the button first, so the
// control that had it sees its kill-focus before the command.
void PressButton(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  if (button) {
    if (!IsWindowEnabled(button) || !(GetWindowLongW(button, GWL_STYLE) & WS_VISIBLE)) {
      MessageBeep(0);
      return;
    }
    SetFocus(button);
  }
  if (IsWindow(dialog)) SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED),
                                     reinterpret_cast<LPARAM>(button));
}

HWND CreateDialogFrom(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC dialogProc, LPARAM initParam,
                      bool modal) {
  const HRSRC found = FindResourceW(instance, templateName, RT_DIALOG);
  if (!found) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(instance, found)));
  const auto dialog = DecodeDialogTemplate(data, SizeofResource(instance, found));
  if (!dialog) {
    SetLastError(ERROR_INVALID_DATA);
    return nullptr;
  }
  DWORD style = dialog->style;
  if (modal) style = (style | WS_VISIBLE) & ~WS_CHILD;
  int x = dialog->x, y = dialog->y;
  if (parent && !(style & WS_CHILD) && !(style & DS_ABSALIGN)) {
    const POINT origin = ScreenOrigin(parent);
    x += origin.x, y += origin.y;
  }
  const Prepare prepare{dialogProc, &*dialog,
                        static_cast<WORD>(IS_INTRESOURCE(templateName) ? reinterpret_cast<ULONG_PTR>(templateName) : 0),
                        modal};
  // Shown only once it is complete.
  const HWND window = CreateWindowRecord(dialog->exStyle, WC_DIALOG, dialog->caption.c_str(), style & ~WS_VISIBLE, x,
                                         y, dialog->width, dialog->height, parent, nullptr, instance,
                                         reinterpret_cast<LPVOID>(initParam), PrepareDialog,
                                         const_cast<Prepare*>(&prepare));
  if (!window) return nullptr;
  // The font reaches the dialog before its controls exist and each control as it is made, all
  // before WM_INITDIALOG, so that the dialog procedure finds every font in place.
  const HFONT font = SetUpDialogFont(window, dialog->fontFace, dialog->pointSize);
  if (!IsWindow(window)) return nullptr;
  for (const DialogControl& control : dialog->controls) {
    const HWND made = CreateWindowExW(control.exStyle, control.className.c_str(), control.text.c_str(),
                                      control.style | WS_CHILD, control.x, control.y, control.width, control.height,
                                      window, reinterpret_cast<HMENU>(static_cast<ULONG_PTR>(control.id)), instance,
                                      nullptr);
    if (!made && !(dialog->style & DS_NOFAILCREATE)) {
      const DWORD error = GetLastError();
      DestroyWindow(window);
      SetLastError(error);
      return nullptr;
    }
    if (made && font) SendMessageW(made, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  HWND first = GetNextDlgTabItem(window, nullptr, FALSE);
  if (SendMessageW(window, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), initParam) && IsWindow(window)) {
    first = GetNextDlgTabItem(window, nullptr, FALSE);
    if (first) SetFocus(first);
  }
  if (IsWindow(window) && (style & WS_VISIBLE)) ShowWindow(window, SW_SHOW);
  return IsWindow(window) ? window : nullptr;
}

}  // namespace

HFONT SetUpDialogFont(HWND dialog, const std::u16string& face, WORD points) {
  auto w = FindWindowRecord(dialog, false);
  if (!w) return nullptr;
  constexpr int kDefaultPoints = 8;
  constexpr int kPixelsPerInch = 96;
  LOGFONTW logFont{};
  // Negative: a character height, as a point size converts at the screen's resolution.
  logFont.lfHeight = -((points ? points : kDefaultPoints) * kPixelsPerInch + 36) / 72;
  logFont.lfWeight = FW_NORMAL;
  logFont.lfCharSet = ANSI_CHARSET;
  const std::u16string& name = face.empty() ? UiDefaultDialogFace() : face;
  const size_t length = std::min(name.size(), static_cast<size_t>(LF_FACESIZE - 1));
  std::copy_n(name.begin(), length, logFont.lfFaceName);
  const HFONT font = CreateFontIndirectW(&logFont);
  if (!font) return nullptr;
  if (w->ownedFont) DeleteObject(w->ownedFont);
  w->ownedFont = font;
  SendMessageW(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  if (!IsWindow(dialog)) return nullptr;
  for (HWND child : Children(dialog)) SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return font;
}

void ResetDialogs() {
  Scripts& s = scripts();
  std::lock_guard guard(s.lock);
  s.dialogs.clear();
}

}  // namespace velm::ui

using namespace velm::ui;

HWND CreateDialogParamW(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC dialogProc, LPARAM initParam) {
  return CreateDialogFrom(instance, templateName, parent, dialogProc, initParam, false);
}

INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC dialogProc, LPARAM initParam) {
  if (parent && !IsWindow(parent)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return -1;
  }
  const HWND owner = parent ? GetAncestor(parent, GA_ROOT) : nullptr;
  const bool ownerWasEnabled = owner && IsWindowEnabled(owner);
  const HWND dialog = CreateDialogFrom(instance, templateName, owner, dialogProc, initParam, true);
  if (!dialog) return -1;
  if (ownerWasEnabled) EnableWindow(owner, FALSE);

  const WORD templateId = StateOf(dialog) ? StateOf(dialog)->templateId : 0;
  std::function<void(HWND)> script;
  {
    Scripts& s = scripts();
    std::lock_guard guard(s.lock);
    if (const auto found = s.dialogs.find(templateId); templateId && found != s.dialogs.end()) script = found->second;
  }
  auto ended = [&] {
    const DialogState* state = StateOf(dialog);
    return !state || state->ended;
  };
  auto pump = [&] {
    MSG message{};
    for (int guard = 0; !ended() && guard < 100000 && PeekNext(message, nullptr, 0, 0, true); ++guard) {
      if (message.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(message.wParam));  // the loop above ours sees it too
        break;
      }
      if (!IsDialogMessageW(dialog, &message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
    }
  };
  pump();
  if (!ended()) {
    if (script) script(dialog);
    pump();
  }
  if (!ended()) {
    UiReportUnexpected(script ? "modal dialog " + std::to_string(templateId) + " was left open by its script"
                              : "unscripted modal dialog " + std::to_string(templateId));
    PressButton(dialog, IDCANCEL);
    pump();
    if (!ended()) EndDialog(dialog, IDCANCEL);
  }
  const DialogState* state = StateOf(dialog);
  const INT_PTR result = state ? state->result : 0;
  if (ownerWasEnabled && IsWindow(owner)) EnableWindow(owner, TRUE);
  if (IsWindow(dialog)) DestroyWindow(dialog);
  if (owner && IsWindow(owner) && IsWindowVisible(owner)) SetActiveWindow(owner);
  return result;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
  DialogState* state = StateOf(dialog);
  if (!state) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  state->ended = true;
  state->result = result;
  if (!state->modal) ShowWindow(dialog, SW_HIDE);
  return TRUE;
}

LRESULT DefDlgProcW(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto w = FindWindowRecord(dialog, false);
  if (!w) return 0;
  const auto proc = reinterpret_cast<DLGPROC>(Extra(dialog, DWLP_DLGPROC));
  if (proc) {
    // Each message's answer is its own: a stale result of an earlier message is not returned.
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, 0);
    const INT_PTR handled = proc(dialog, message, wParam, lParam);
    switch (message) {
      case WM_INITDIALOG:
      case WM_CTLCOLORMSGBOX:
      case WM_CTLCOLOREDIT:
      case WM_CTLCOLORLISTBOX:
      case WM_CTLCOLORBTN:
      case WM_CTLCOLORDLG:
      case WM_CTLCOLORSCROLLBAR:
      case WM_CTLCOLORSTATIC:
        if (handled || message == WM_INITDIALOG) return handled;
        break;
      default:
        if (handled) return IsWindow(dialog) ? Extra(dialog, DWLP_MSGRESULT) : 0;
    }
    w = FindWindowRecord(dialog, false);
    if (!w) return 0;
  }
  DialogState* state = w->dialog.get();
  switch (message) {
    case WM_CLOSE: {
      HWND cancel = GetDlgItem(dialog, IDCANCEL);
      if (!cancel || IsWindowEnabled(cancel))
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
      return 0;
    }
    case DM_GETDEFID: {
      WORD id = state ? state->defaultId : 0;
      if (!id) {
        for (HWND child : Children(dialog))
          if (SendMessageW(child, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) {
            id = static_cast<WORD>(GetDlgCtrlID(child));
            break;
          }
      }
      return MAKELONG(id ? id : static_cast<WORD>(IDOK), DC_HASDEFID);
    }
    case DM_SETDEFID:
      if (state) state->defaultId = static_cast<WORD>(wParam);
      return TRUE;
    case WM_NEXTDLGCTL: {
      HWND next = lParam ? reinterpret_cast<HWND>(wParam) : GetNextDlgTabItem(dialog, GetFocus(), wParam != 0);
      if (next) SetFocus(next);
      return 0;
    }
    case WM_SETFOCUS: {
      HWND target = state && state->lastFocus && IsChild(dialog, state->lastFocus) ? state->lastFocus
                                                                                  : GetNextDlgTabItem(dialog, nullptr, FALSE);
      if (target) SetFocus(target);
      return 0;
    }
    case WM_KILLFOCUS:
      if (state && IsChild(dialog, reinterpret_cast<HWND>(wParam))) state->lastFocus = reinterpret_cast<HWND>(wParam);
      return 0;
    case WM_GETDLGCODE:
      return 0;
    case WM_SETFONT:
      w->font = reinterpret_cast<HFONT>(wParam);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(w->font);
    default:
      return DefWindowProcW(dialog, message, wParam, lParam);
  }
}

BOOL IsDialogMessageW(HWND dialog, LPMSG message) {
  if (!message || !IsWindow(dialog) || (message->hwnd != dialog && !IsChild(dialog, message->hwnd))) return FALSE;
  const bool key = message->message == WM_KEYDOWN || message->message == WM_CHAR;
  if (!key) {
    DispatchMessageW(message);
    return TRUE;
  }
  const int vk = static_cast<int>(message->wParam);
  const LRESULT code =
      SendMessageW(message->hwnd, WM_GETDLGCODE, message->wParam, reinterpret_cast<LPARAM>(message));
  if (code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) {
    DispatchMessageW(message);
    return TRUE;
  }
  if (message->message == WM_KEYDOWN) {
    switch (vk) {
      case VK_TAB:
        if (code & DLGC_WANTTAB) break;
        if (HWND next = GetNextDlgTabItem(dialog, GetFocus(), GetKeyState(VK_SHIFT) < 0)) SetFocus(next);
        return TRUE;
      case VK_RETURN: {
        // A push button with the focus is pressed itself; otherwise the default button.
        int id = DefaultId(dialog);
        if (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) id = GetDlgCtrlID(message->hwnd);
        PressButton(dialog, id);
        return TRUE;
      }
      case VK_ESCAPE:
        PressButton(dialog, IDCANCEL);
        return TRUE;
      case VK_LEFT:
      case VK_UP:
      case VK_RIGHT:
      case VK_DOWN:
        if (code & DLGC_WANTARROWS) break;
        if (HWND next = GetNextDlgGroupItem(dialog, message->hwnd, vk == VK_LEFT || vk == VK_UP)) SetFocus(next);
        return TRUE;
      default:
        break;
    }
  } else if ((vk == u'\r' || vk == 27 || vk == u'\t') && !(code & DLGC_WANTCHARS)) {
    return TRUE;  // handled as keys already
  }
  DispatchMessageW(message);
  return TRUE;
}

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
  std::vector<HWND> children = Children(dialog);
  if (children.empty()) return nullptr;
  if (previous) std::reverse(children.begin(), children.end());
  auto at = std::find(children.begin(), children.end(), control);
  const size_t start = at == children.end() ? children.size() - 1 : static_cast<size_t>(at - children.begin());
  for (size_t step = 1; step <= children.size(); ++step) {
    HWND candidate = children[(start + step) % children.size()];
    if (IsTabStop(candidate)) return candidate;
  }
  return control && IsWindow(control) ? control : nullptr;
}

HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous) {
  const std::vector<HWND> children = Children(dialog);
  const auto at = std::find(children.begin(), children.end(), control);
  if (at == children.end()) return nullptr;
  // The group: from the nearest WS_GROUP at or before the control to the next WS_GROUP.
  size_t first = static_cast<size_t>(at - children.begin());
  while (first > 0 && !(GetWindowLongW(children[first], GWL_STYLE) & WS_GROUP)) --first;
  size_t last = static_cast<size_t>(at - children.begin()) + 1;
  while (last < children.size() && !(GetWindowLongW(children[last], GWL_STYLE) & WS_GROUP)) ++last;
  const size_t count = last - first, index = static_cast<size_t>(at - children.begin()) - first;
  for (size_t step = 1; step < count; ++step) {
    const size_t next = previous ? (index + count - step) % count : (index + step) % count;
    HWND candidate = children[first + next];
    if (IsWindowVisible(candidate) && IsWindowEnabled(candidate)) return candidate;
  }
  return control;
}

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND item = GetDlgItem(dialog, id);
  return item ? SendMessageW(item, message, wParam, lParam) : 0;
}

BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text) {
  HWND item = GetDlgItem(dialog, id);
  return item ? SetWindowTextW(item, text) : FALSE;
}

UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR text, int maxCount) {
  if (text && maxCount > 0) text[0] = 0;
  HWND item = GetDlgItem(dialog, id);
  return item ? static_cast<UINT>(GetWindowTextW(item, text, maxCount)) : 0;
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned) {
  const std::string digits = isSigned ? std::to_string(static_cast<int>(value)) : std::to_string(value);
  const std::u16string text(digits.begin(), digits.end());
  return SetDlgItemTextW(dialog, id, text.c_str());
}

UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned) {
  if (translated) *translated = FALSE;
  WCHAR buffer[64] = {};
  HWND item = GetDlgItem(dialog, id);
  if (!item) return 0;
  GetWindowTextW(item, buffer, 64);
  size_t at = 0;
  while (buffer[at] == u' ' || buffer[at] == u'\t') ++at;
  bool negative = false;
  if (isSigned && buffer[at] == u'-') negative = true, ++at;
  if (buffer[at] < u'0' || buffer[at] > u'9') return 0;
  unsigned long long value = 0;
  for (; buffer[at] >= u'0' && buffer[at] <= u'9'; ++at) {
    value = value * 10 + (buffer[at] - u'0');
    if (value > (isSigned ? (negative ? 0x80000000ull : 0x7FFFFFFFull) : 0xFFFFFFFFull)) return 0;
  }
  while (buffer[at] == u' ' || buffer[at] == u'\t') ++at;
  if (buffer[at] != 0) return 0;
  if (translated) *translated = TRUE;
  return negative ? static_cast<UINT>(-static_cast<long long>(value)) : static_cast<UINT>(value);
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
  HWND item = GetDlgItem(dialog, id);
  if (!item) return FALSE;
  SendMessageW(item, BM_SETCHECK, check, 0);
  return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
  HWND item = GetDlgItem(dialog, id);
  return item ? static_cast<UINT>(SendMessageW(item, BM_GETCHECK, 0, 0)) : 0;
}

BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId) {
  if (!IsWindow(dialog) || firstId > lastId) return FALSE;
  for (HWND child : Children(dialog)) {
    const int id = GetDlgCtrlID(child);
    if (id >= firstId && id <= lastId) SendMessageW(child, BM_SETCHECK, id == checkId ? 1 : 0, 0);
  }
  return TRUE;
}

BOOL MapDialogRect(HWND dialog, LPRECT rect) { return IsWindow(dialog) && rect; }
LONG GetDialogBaseUnits() { return MAKELONG(8, 16); }

void UiSetDialogScript(WORD templateId, std::function<void(HWND dialog)> script) {
  Scripts& s = scripts();
  std::lock_guard guard(s.lock);
  if (script) s.dialogs[templateId] = std::move(script);
  else s.dialogs.erase(templateId);
}
