// The test-driving interface over the window manager, the controls and the sheets.
#include "ui/ui_driver.h"

#include <memory>
#include <mutex>

#include "core/modules.h"
#include "core/unicode.h"
#include "ui/controls.h"

namespace velm::ui {
namespace {

using velm::platform::EqualsNoCase;
using velm::platform::Utf16ToUtf8;

std::string Describe(HWND window) {
  const int id = window ? GetDlgCtrlID(window) : 0;
  WCHAR name[64]{};
  if (window) GetClassNameW(window, name, 64);
  return "control " + std::to_string(id) + " (" + Utf16ToUtf8(name) + ")";
}

bool ClassIs(HWND window, std::u16string_view name) {
  WCHAR buffer[64]{};
  const int length = GetClassNameW(window, buffer, 64);
  return length > 0 && EqualsNoCase(std::u16string_view(buffer, length), name);
}

HWND Parent(HWND window) { return GetParent(window); }

void Command(HWND control, WORD code) {
  SendMessageW(Parent(control), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(control)), code),
               reinterpret_cast<LPARAM>(control));
}

LRESULT Notify(HWND control, UINT code) {
  NMHDR header{};
  header.hwndFrom = control;
  header.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(control));
  header.code = code;
  return SendMessageW(Parent(control), WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

LPARAM CentreOf(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return MAKELPARAM(static_cast<WORD>((client.right - client.left) / 2),
                    static_cast<WORD>((client.bottom - client.top) / 2));
}

std::u16string WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::u16string text(static_cast<size_t>(std::max(length, 0)) + 1, u'\0');
  text.resize(GetWindowTextW(window, text.data(), static_cast<int>(text.size())));
  return text;
}

// A message box queue shared with its script.
struct AnswerQueue {
  std::mutex lock;
  std::deque<int> answers;
};

}  // namespace

// ---- Ctl ----------------------------------------------------------------------------------------

int Ctl::id() const { return window_ ? GetDlgCtrlID(window_) : 0; }

bool Ctl::exists() const { return window_ && UiIsWindow(window_); }

bool Ctl::reachable(const char* action) const {
  if (!exists()) {
    UiReportUnexpected(std::string(action) + ": no such control");
    return false;
  }
  if (!IsWindowEnabled(window_) || !IsWindowVisible(window_)) {
    UiReportUnexpected(std::string(action) + ": " + Describe(window_) + " is " +
                       (IsWindowEnabled(window_) ? "hidden" : "disabled"));
    return false;
  }
  return true;
}

Ctl& Ctl::setText(std::u16string_view text) {
  if (!exists()) {
    UiReportUnexpected("setText: no such control");
    return *this;
  }
  const std::u16string copy(text);
  SendMessageW(window_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(copy.c_str()));
  return *this;
}

Ctl& Ctl::type(std::u16string_view chars) {
  if (!reachable("type")) return *this;
  if (GetFocus() != window_) SetFocus(window_);
  for (const char16_t c : chars) SendMessageW(window_, WM_CHAR, c, 1);
  return *this;
}

Ctl& Ctl::key(int virtualKey) {
  if (!reachable("key")) return *this;
  SendMessageW(window_, WM_KEYDOWN, static_cast<WPARAM>(virtualKey), 1);
  if (UiIsWindow(window_)) SendMessageW(window_, WM_KEYUP, static_cast<WPARAM>(virtualKey), static_cast<LPARAM>(0xC0000001));
  return *this;
}

Ctl& Ctl::focus() {
  if (reachable("focus")) SetFocus(window_);
  return *this;
}

Ctl& Ctl::click() {
  if (!reachable("click")) return *this;
  if (ClassIs(window_, WC_BUTTONW)) {
    SendMessageW(window_, BM_CLICK, 0, 0);
    return *this;
  }
  const LPARAM at = CentreOf(window_);
  SendMessageW(window_, WM_LBUTTONDOWN, MK_LBUTTON, at);
  if (UiIsWindow(window_)) SendMessageW(window_, WM_LBUTTONUP, 0, at);
  return *this;
}

Ctl& Ctl::check(bool on) {
  if (!reachable("check")) return *this;
  const bool checked = SendMessageW(window_, BM_GETCHECK, 0, 0) == BST_CHECKED;
  if (checked != on) click();
  return *this;
}

Ctl& Ctl::select(int row) {
  if (!reachable("select")) return *this;
  if (ClassIs(window_, WC_LISTBOXW)) {
    if (SendMessageW(window_, LB_SETCURSEL, static_cast<WPARAM>(row), 0) == LB_ERR && row != -1) {
      UiReportUnexpected("select: " + Describe(window_) + " has no row " + std::to_string(row));
      return *this;
    }
    Command(window_, LBN_SELCHANGE);
  } else if (ClassIs(window_, WC_COMBOBOXW)) {
    if (SendMessageW(window_, CB_SETCURSEL, static_cast<WPARAM>(row), 0) == CB_ERR && row != -1) {
      UiReportUnexpected("select: " + Describe(window_) + " has no row " + std::to_string(row));
      return *this;
    }
    Command(window_, CBN_SELCHANGE);
  } else {
    UiReportUnexpected("select: " + Describe(window_) + " is not a list or combo box");
  }
  return *this;
}

Ctl& Ctl::dropDown(bool open) {
  if (!reachable("dropDown")) return *this;
  SendMessageW(window_, CB_SHOWDROPDOWN, open ? TRUE : FALSE, 0);
  return *this;
}

Ctl& Ctl::scroll(int code, int position) {
  if (!reachable("scroll")) return *this;
  const bool vertical = (GetWindowLongPtrW(window_, GWL_STYLE) & SBS_VERT) != 0;
  SendMessageW(Parent(window_), vertical ? WM_VSCROLL : WM_HSCROLL,
               MAKEWPARAM(static_cast<WORD>(code), static_cast<WORD>(position)), reinterpret_cast<LPARAM>(window_));
  return *this;
}

Ctl& Ctl::lvSelect(int row) {
  if (!reachable("lvSelect")) return *this;
  LVITEMW clear{};
  clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(window_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
  LVITEMW item{};
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  if (!SendMessageW(window_, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)))
    UiReportUnexpected("lvSelect: " + Describe(window_) + " has no row " + std::to_string(row));
  return *this;
}

Ctl& Ctl::tabSelect(int index) {
  if (!reachable("tabSelect")) return *this;
  if (index < 0 || index >= SendMessageW(window_, TCM_GETITEMCOUNT, 0, 0)) {
    UiReportUnexpected("tabSelect: " + Describe(window_) + " has no tab " + std::to_string(index));
    return *this;
  }
  if (SendMessageW(window_, TCM_GETCURSEL, 0, 0) == index) return *this;
  if (Notify(window_, TCN_SELCHANGING)) return *this;  // the parent keeps the current tab
  SendMessageW(window_, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
  Notify(window_, TCN_SELCHANGE);
  return *this;
}

Ctl& Ctl::mouse(UINT message, POINT client, WPARAM keys) {
  if (!reachable("mouse")) return *this;
  SendMessageW(window_, message, keys, MAKELPARAM(static_cast<WORD>(client.x), static_cast<WORD>(client.y)));
  return *this;
}

const UiDrawLog& Ctl::paint() {
  if (exists()) {
    InvalidateRect(window_, nullptr, TRUE);
    UpdateWindow(window_);
  } else {
    UiReportUnexpected("paint: no such control");
  }
  return UiWindowDrawLog(window_);
}

bool Ctl::isEnabled() const { return exists() && IsWindowEnabled(window_); }

bool Ctl::isVisible() const { return exists() && IsWindowVisible(window_); }

std::u16string Ctl::text() const { return exists() ? WindowText(window_) : std::u16string(); }

std::u16string Ctl::className() const {
  WCHAR buffer[64]{};
  const int length = exists() ? GetClassNameW(window_, buffer, 64) : 0;
  return std::u16string(buffer, static_cast<size_t>(std::max(length, 0)));
}

std::vector<std::u16string> Ctl::rows() const {
  std::vector<std::u16string> rows;
  if (!exists()) return rows;
  const bool list = ClassIs(window_, WC_LISTBOXW);
  const bool combo = ClassIs(window_, WC_COMBOBOXW);
  if (list || combo) {
    const LRESULT count = SendMessageW(window_, list ? LB_GETCOUNT : CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      const LRESULT length = SendMessageW(window_, list ? LB_GETTEXTLEN : CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
      std::u16string row(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, u'\0');
      const LRESULT got = SendMessageW(window_, list ? LB_GETTEXT : CB_GETLBTEXT, static_cast<WPARAM>(i),
                                       reinterpret_cast<LPARAM>(row.data()));
      row.resize(static_cast<size_t>(std::max<LRESULT>(got, 0)));
      rows.push_back(std::move(row));
    }
  } else if (ClassIs(window_, WC_TABCONTROLW)) {
    const LRESULT count = SendMessageW(window_, TCM_GETITEMCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      WCHAR buffer[256]{};
      TCITEMW item{};
      item.mask = TCIF_TEXT;
      item.pszText = buffer;
      item.cchTextMax = 256;
      SendMessageW(window_, TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
      rows.emplace_back(buffer);
    }
  }
  return rows;
}

int Ctl::selection() const {
  if (!exists()) return -1;
  if (ClassIs(window_, WC_LISTBOXW)) return static_cast<int>(SendMessageW(window_, LB_GETCURSEL, 0, 0));
  if (ClassIs(window_, WC_COMBOBOXW)) return static_cast<int>(SendMessageW(window_, CB_GETCURSEL, 0, 0));
  if (ClassIs(window_, WC_LISTVIEWW))
    return static_cast<int>(SendMessageW(window_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  if (ClassIs(window_, WC_TABCONTROLW)) return static_cast<int>(SendMessageW(window_, TCM_GETCURSEL, 0, 0));
  if (ClassIs(window_, WC_BUTTONW)) return static_cast<int>(SendMessageW(window_, BM_GETCHECK, 0, 0));
  return -1;
}

// ---- Dlg ----------------------------------------------------------------------------------------

bool Dlg::exists() const { return window_ && UiIsWindow(window_); }

bool Dlg::has(int id) const { return exists() && GetDlgItem(window_, id) != nullptr; }

Ctl Dlg::ctl(int id) const {
  HWND control = exists() ? GetDlgItem(window_, id) : nullptr;
  if (!control) UiReportUnexpected("no control " + std::to_string(id) + (exists() ? " in the dialog" : ": no dialog"));
  return Ctl(control);
}

LRESULT Dlg::command(int id, int code) const {
  if (!exists()) {
    UiReportUnexpected("command " + std::to_string(id) + ": no dialog");
    return 0;
  }
  return SendMessageW(window_, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), static_cast<WORD>(code)),
                      reinterpret_cast<LPARAM>(GetDlgItem(window_, id)));
}

std::u16string Dlg::text() const { return exists() ? WindowText(window_) : std::u16string(); }

void Dlg::pump() const { UiPump(); }

// ---- Sheet --------------------------------------------------------------------------------------

bool Sheet::open() const { return frame_ && UiIsWindow(frame_) && UiIsSheetFrame(frame_); }

std::vector<WORD> Sheet::pageIds() const {
  std::vector<WORD> ids;
  for (int i = 0; i < UiSheetPageCount(frame_); ++i) ids.push_back(UiSheetPageTemplateId(frame_, i));
  return ids;
}

Page Sheet::activate(WORD pageId) {
  for (int i = 0; i < UiSheetPageCount(frame_); ++i)
    if (UiSheetPageTemplateId(frame_, i) == pageId) {
      Ctl(reinterpret_cast<HWND>(SendMessageW(frame_, PSM_GETTABCONTROL, 0, 0))).tabSelect(i);
      UiPump();
      return current();
    }
  UiReportUnexpected("activate: the sheet has no page " + std::to_string(pageId));
  return Page();
}

Page Sheet::page(WORD pageId) const {
  for (int i = 0; i < UiSheetPageCount(frame_); ++i)
    if (UiSheetPageTemplateId(frame_, i) == pageId) return Page(UiSheetPageWindow(frame_, i));
  return Page();
}

Page Sheet::current() const {
  return open() ? Page(reinterpret_cast<HWND>(SendMessageW(frame_, PSM_GETCURRENTPAGEHWND, 0, 0))) : Page();
}

Ctl Sheet::button(int id) const { return Ctl(open() ? GetDlgItem(frame_, id) : nullptr); }

void Sheet::pressOk() {
  button(IDOK).click();
  UiPump();
}

void Sheet::pressApply() {
  button(IDAPPLY).click();
  UiPump();
}

void Sheet::pressCancel() {
  button(IDCANCEL).click();
  UiPump();
}

void Sheet::pressHelp() {
  button(IDHELP).click();
  UiPump();
}

// ---- Host ---------------------------------------------------------------------------------------

HostResult Host::open(PFNPROPSHEETUI sheetFunction, LPARAM lParam, std::function<void(Sheet&)> script, HWND owner) {
  HostResult outcome;
  HMODULE library = LoadLibraryW(u"compstui.dll");
  if (!library) return outcome;
  using Entry = LONG (*)(HWND, PFNPROPSHEETUI, LPARAM, LPDWORD);
  auto entry = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(library, "CommonPropertySheetUIW")));
  if (entry) {
    UiSetNextSheetScript([script](HWND frame) {
      Sheet sheet(frame);
      if (script) script(sheet);
    });
    outcome.returned = entry(owner, sheetFunction, lParam, &outcome.result);
    UiSetNextSheetScript(nullptr);  // a call that failed before its sheet leaves none behind
  }
  FreeLibrary(library);
  return outcome;
}

INT_PTR Host::dialog(HINSTANCE module, WORD templateId, DLGPROC procedure, LPARAM lParam,
                     std::function<void(Dlg&)> script, HWND owner) {
  onDialog(templateId, std::move(script));
  const INT_PTR result = DialogBoxParamW(module, MAKEINTRESOURCEW(templateId), owner, procedure, lParam);
  UiSetDialogScript(templateId, nullptr);
  return result;
}

// ---- Scripts and observers ----------------------------------------------------------------------

void onDialog(WORD templateId, std::function<void(Dlg&)> script) {
  if (!script) {
    UiSetDialogScript(templateId, nullptr);
    return;
  }
  UiSetDialogScript(templateId, [script](HWND dialog) {
    Dlg dlg(dialog);
    script(dlg);
  });
}

void onMessageBox(std::function<int(const UiMessageBoxCall&)> script) { UiSetMessageBoxScript(std::move(script)); }

void onMessageBox(std::deque<int> answers) {
  auto queue = std::make_shared<AnswerQueue>();
  queue->answers = std::move(answers);
  UiSetMessageBoxScript([queue](const UiMessageBoxCall& call) {
    std::lock_guard lock(queue->lock);
    if (queue->answers.empty()) {
      UiReportUnexpected("message box \"" + Utf16ToUtf8(call.text) + "\" beyond the scripted answers");
      return IDCANCEL;
    }
    const int answer = queue->answers.front();
    queue->answers.pop_front();
    return answer;
  });
}

void onFileDialog(std::function<UiFileDialogAnswer(const UiFileDialogCall&, Dlg&)> script) {
  if (!script) {
    UiSetFileDialogScript(nullptr);
    return;
  }
  UiSetFileDialogScript([script](const UiFileDialogCall& call, HWND dialog) {
    Dlg dlg(dialog);
    return script(call, dlg);
  });
}

void onSheet(std::function<void(Sheet&)> script) {
  if (!script) {
    UiSetSheetScript(nullptr);
    return;
  }
  UiSetSheetScript([script](HWND frame) {
    Sheet sheet(frame);
    script(sheet);
  });
}

const std::vector<UiMessageBoxCall>& messageBoxes() { return UiMessageBoxCalls(); }
const std::vector<UiWinHelpCall>& winHelpCalls() { return UiWinHelpCalls(); }
const std::vector<UiBeepCall>& beeps() { return UiMessageBeeps(); }
const std::vector<UiFileDialogCall>& fileDialogs() { return UiFileDialogCalls(); }
const std::vector<std::string>& unexpectedEvents() { return UiUnexpectedEvents(); }

namespace {

std::vector<platform::ObservedWrite>& RecordedWrites() {
  static std::vector<platform::ObservedWrite> recorded;
  return recorded;
}

void StopWatchingWrites() {
  platform::SetWriteObserver(nullptr);
  RecordedWrites().clear();
}

}  // namespace

void watchWrites() {
  UiOnReset(StopWatchingWrites);
  RecordedWrites().clear();
  platform::SetWriteObserver([](const platform::ObservedWrite& write) { RecordedWrites().push_back(write); });
}

const std::vector<platform::ObservedWrite>& writes() { return RecordedWrites(); }

void FailOnUnexpected(std::function<void(const std::string&)> fail) { UiSetUnexpectedHook(std::move(fail)); }

}  // namespace velm::ui
