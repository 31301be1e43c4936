#include "ui2k/pages/hint_window.h"

#include "settings/items/page_control_extras.h"
#include "settings/services/resource_strings.h"
#include "ui2k/pages/page_framework.h"

namespace {

constexpr WORD kComboTypes[] = {43, 45, 48};
constexpr int kHintGap = 2;
constexpr int kHintCharWidth = 7;
constexpr int kHintPadding = 8;
constexpr int kHintHeight = 18;

const PageControlExtra* ExtraOf(HWND window, const PageItemTemplate& row) {
  const PageWindow* record = PageRecordOf(window);
  return record && record->page ? PageFindControlExtra(record->page->id, row.controlId) : nullptr;
}

bool IsComboRow(const PageItemTemplate& row) {
  for (WORD type : kComboTypes)
    if (row.controlType == type) return true;
  return false;
}

bool CursorOn(HWND control, bool combo) {
  POINT cursor{};
  if (!GetCursorPos(&cursor)) return false;
  RECT rect{};
  if (GetWindowRect(control, &rect) && PtInRect(&rect, cursor)) return true;
  return combo && SendMessageW(control, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&rect)) &&
         PtInRect(&rect, cursor);
}

void ShowHint(UiContext* ui, HWND control, UINT stringId) {
  WCHAR text[kUiTextChars] = {};
  if (ResLoadString(ui->driver, stringId, text, kUiTextChars, FALSE) <= 0) return;
  RECT rect{};
  GetWindowRect(control, &rect);
  PageShowHintBelow(ui, control, rect, text);
}

}  // namespace

void PageShowHintBelow(UiContext* ui, HWND control, const RECT& rect, const WCHAR* text) {
  if (!ui || !control || !text || !text[0]) return;
  const int width = lstrlenW(text) * kHintCharWidth + kHintPadding;
  PageFrameState& frame = ui->state.frame;
  if (!frame.hint) {
    frame.hint = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, WSTR("STATIC"), text, WS_POPUP | WS_BORDER | SS_LEFT,
                                 rect.left, rect.bottom + kHintGap, width, kHintHeight, GetParent(control), nullptr,
                                 nullptr, nullptr);
    if (!frame.hint) return;
  } else {
    SetWindowTextW(frame.hint, text);
  }
  SetWindowPos(frame.hint, HWND_TOP, rect.left, rect.bottom + kHintGap, width, kHintHeight, SWP_NOACTIVATE);
  ShowWindow(frame.hint, SW_SHOWNOACTIVATE);
  frame.hinted = control;
}

void PageHideHint(UiContext* ui) {
  if (!ui) return;
  PageFrameState& frame = ui->state.frame;
  if (frame.hinted) KillTimer(GetParent(frame.hinted), kPageHintTimer);
  if (frame.hint && IsWindow(frame.hint)) DestroyWindow(frame.hint);
  frame.hint = nullptr;
  frame.hinted = nullptr;
}

void PageStartHint(UiContext* ui, HWND window, const PageItemTemplate* row) {
  if (!ui || !row || !row->window) return;
  if (ui->state.frame.hinted == row->window) return;
  PageHideHint(ui);
  const PageControlExtra* extra = ExtraOf(window, *row);
  if (!extra || !extra->infoString) return;
  ui->state.frame.hinted = row->window;
  SetTimer(window, kPageHintTimer, kPageHintDelay, nullptr);
}

void PageHintTimer(UiContext* ui, HWND window) {
  KillTimer(window, kPageHintTimer);
  PageFrameState& frame = ui->state.frame;
  HWND control = frame.hinted;
  const PageWindow* record = PageRecordOf(window);
  if (!control || !record || !record->page || GetParent(control) != window) return;
  if (record->page->id != frame.currentPageId) return;
  const PageItemTemplate* row = PageFindRow(window, static_cast<WORD>(GetDlgCtrlID(control)));
  if (!row || !CursorOn(control, IsComboRow(*row))) return;
  if (const PageControlExtra* extra = ExtraOf(window, *row); extra && extra->infoString) ShowHint(ui, control, extra->infoString);
}
