// Driving the headless user interface from tests as a person would: open a sheet through the
// common property-sheet host or a modal dialog, find controls by id, type, click, select, scroll,
// press the sheet's buttons, answer message boxes and file dialogs, and read back what is shown.
//
// Modal things (sheets, dialogs, file dialogs, message boxes) run their scripts inside their own
// loops: a test hands each a function that drives it. Anything modal that shows up without a
// script is reported through UiReportUnexpected; FailOnUnexpected turns those reports into test
// failures without this header knowing the test framework.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/write_observer.h"
#include "ui/commdlg.h"
#include "ui/compstui.h"
#include "ui/prsht.h"
#include "ui/wingdi.h"
#include "ui/winuser.h"

namespace velm::ui {

// One control (or any window). Every action reports through UiReportUnexpected when the window
// is gone, disabled or hidden where a person could not reach it, and then does nothing.
class Ctl {
 public:
  explicit Ctl(HWND window = nullptr) : window_(window) {}
  HWND hwnd() const { return window_; }
  int id() const;
  bool exists() const;

  Ctl& setText(std::u16string_view text);  // WM_SETTEXT, as a program sets it
  Ctl& type(std::u16string_view chars);    // focus, then WM_CHAR for each character
  Ctl& key(int virtualKey);                // WM_KEYDOWN and WM_KEYUP to the control
  Ctl& focus();                            // SetFocus
  Ctl& click();                            // a button's click (BM_CLICK); else left down and up in its middle
  Ctl& check(bool on = true);              // clicks a check box or radio button whose state differs
  Ctl& select(int row);                    // a list or combo row as a user picks it (selection + its notification)
  Ctl& dropDown(bool open = true);         // a combo's list shown or closed
  Ctl& scroll(int code, int position = 0);  // WM_VSCROLL / WM_HSCROLL from this scroll bar to its parent
  Ctl& lvSelect(int row);                  // a list-view row selected and focused
  Ctl& tabSelect(int index);               // a tab clicked: TCN_SELCHANGING, the selection, TCN_SELCHANGE
  Ctl& mouse(UINT message, POINT client, WPARAM keys = 0);  // a mouse message at a client point
  // Invalidates and repaints the control now; what that WM_PAINT drew.
  const UiDrawLog& paint();

  bool isEnabled() const;
  bool isVisible() const;
  std::u16string text() const;
  std::vector<std::u16string> rows() const;  // list and combo rows, tab captions
  int selection() const;  // list, combo, list-view, tab: the selected index (-1 none); buttons: the check state
  std::u16string className() const;

 private:
  bool reachable(const char* action) const;
  HWND window_;
};

// A dialog or a property page.
class Dlg {
 public:
  explicit Dlg(HWND window = nullptr) : window_(window) {}
  HWND hwnd() const { return window_; }
  bool exists() const;
  // The direct child with `id`; a missing one is reported and answers an empty Ctl.
  Ctl ctl(int id) const;
  bool has(int id) const;
  // WM_COMMAND(id, code) from the control with `id` (lParam its window), as the control sends it.
  LRESULT command(int id, int code = 0) const;
  std::u16string text() const;
  void pump() const;

 private:
  HWND window_;
};
using Page = Dlg;

// A running property sheet (inside its script).
class Sheet {
 public:
  explicit Sheet(HWND frame = nullptr) : frame_(frame) {}
  HWND hwnd() const { return frame_; }
  bool open() const;
  // Clicks the page's tab (creating the page on first use) and answers the page now current.
  Page activate(WORD pageId);
  // The page of template `pageId` (empty while it is not created), the current page.
  Page page(WORD pageId) const;
  Page current() const;
  std::vector<WORD> pageIds() const;
  Ctl button(int id) const;  // IDOK, IDCANCEL, IDAPPLY, IDHELP (or a button a page added)
  // The buttons clicked as a person clicks them; the pump runs afterwards.
  void pressOk();
  void pressApply();
  void pressCancel();
  void pressHelp();

 private:
  HWND frame_;
};

// What CommonPropertySheetUIW answered and wrote.
struct HostResult {
  LONG returned = ERR_CPSUI_GETLASTERROR;
  DWORD result = 0;  // *pResult
};

// Opens sheets and dialogs the way the system's callers do.
class Host {
 public:
  // Loads "compstui.dll", takes "CommonPropertySheetUIW" and calls it with `sheetFunction` (a
  // driver's DrvDocumentPropertySheets / DrvDevicePropertySheets or a test's own) and `lParam`;
  // `script` drives the sheet. A missing library or entry answers ERR_CPSUI_GETLASTERROR.
  HostResult open(PFNPROPSHEETUI sheetFunction, LPARAM lParam, std::function<void(Sheet&)> script,
                  HWND owner = nullptr);
  // A modal dialog of `module`'s template, driven by `script`; DialogBoxParamW's answer.
  INT_PTR dialog(HINSTANCE module, WORD templateId, DLGPROC procedure, LPARAM lParam,
                 std::function<void(Dlg&)> script, HWND owner = nullptr);
};

// ---- Scripts ----------------------------------------------------------------------------------
// Modal dialogs of `templateId` opened by the code under test.
void onDialog(WORD templateId, std::function<void(Dlg&)> script);
// Message boxes: a function answering each, or a queue of answers taken one per box (a box
// beyond the queue is reported and answers IDCANCEL).
void onMessageBox(std::function<int(const UiMessageBoxCall&)> script);
void onMessageBox(std::deque<int> answers);
void onFileDialog(std::function<UiFileDialogAnswer(const UiFileDialogCall&, Dlg&)> script);
// Sheets the code under test opens itself (nested sheets).
void onSheet(std::function<void(Sheet&)> script);

// ---- Observers --------------------------------------------------------------------------------
const std::vector<UiMessageBoxCall>& messageBoxes();
const std::vector<UiWinHelpCall>& winHelpCalls();
const std::vector<UiBeepCall>& beeps();
const std::vector<UiFileDialogCall>& fileDialogs();
const std::vector<std::string>& unexpectedEvents();
// Printer settings, printer data and INI writes, recorded from watchWrites() until the next
// UiResetAll (which stops the watch and forgets them).
void watchWrites();
const std::vector<platform::ObservedWrite>& writes();

// Every unexpected event (an unscripted box, a missing control ...) calls `fail` with its text;
// a test installs its framework's failure call here.
void FailOnUnexpected(std::function<void(const std::string&)> fail);

}  // namespace velm::ui
