#include "ui2k/pages/ok_button.h"

#include "settings/items/store.h"
#include "settings/services/resource_strings.h"
#include "ui2k/pages/page_framework.h"
#include "ui2k/sheets/resource_library.h"

namespace {

constexpr int kWidenNumerator = 4;
constexpr int kWidenDenominator = 3;

void SetButtonText(UiContext* ui, HWND button, UINT stringId) {
  WCHAR text[kUiTextChars] = {};
  ResLoadString(ui->driver, stringId, text, kUiTextChars, FALSE);
  SetWindowTextW(button, text);
}

void SetButtonId(HWND button, WORD id) { SetWindowLongPtrW(button, GWLP_ID, id); }

// A second button made as the OK button is, without being the default one.
HWND CloneOkButton(HWND ok, HWND frame, const RECT& place) {
  const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(ok, GWL_STYLE)) & ~static_cast<DWORD>(BS_DEFPUSHBUTTON);
  const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(ok, GWL_EXSTYLE));
  HWND button = CreateWindowExW(exStyle, WSTR("BUTTON"), WSTR(""), style, place.left, place.top,
                                place.right - place.left, place.bottom - place.top, frame,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPageCmdSaveNewPreset)),
                                reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(ok, GWLP_HINSTANCE)), nullptr);
  if (!button) return nullptr;
  SetWindowLongPtrW(button, GWLP_WNDPROC, GetWindowLongPtrW(ok, GWLP_WNDPROC));
  SetWindowLongPtrW(button, GWLP_USERDATA, GetWindowLongPtrW(ok, GWLP_USERDATA));
  SendMessageW(button, WM_SETFONT, static_cast<WPARAM>(SendMessageW(ok, WM_GETFONT, 0, 0)), FALSE);
  return button;
}

}  // namespace

void PageReplaceOkButton(UiContext* ui, HWND frame) {
  DriverContext* context = ui->driver;
  const DWORD offers = CtxGetChangeMask(context) & (kMaskOfferSaveNew | kMaskOfferOverwrite);
  HWND ok = frame ? GetDlgItem(frame, IDOK) : nullptr;
  if (!offers || !ok) return;
  RECT rect{};
  GetWindowRect(ok, &rect);
  MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&rect), 2);
  const int width = (rect.right - rect.left) * kWidenNumerator / kWidenDenominator;
  const RECT right{rect.right - width, rect.top, rect.right, rect.bottom};
  const RECT left{right.left - width, rect.top, right.left, rect.bottom};
  WORD okCommand = kPageCmdOverwritePreset;
  if (offers == (kMaskOfferSaveNew | kMaskOfferOverwrite)) {
    MoveWindow(ok, left.left, left.top, width, left.bottom - left.top, TRUE);
    if (HWND added = CloneOkButton(ok, frame, right)) SetButtonText(ui, added, kUiResStringOkSave);
  } else {
    MoveWindow(ok, right.left, right.top, width, right.bottom - right.top, TRUE);
    if (offers == kMaskOfferSaveNew) okCommand = kPageCmdSaveNewPreset;
  }
  SetButtonText(ui, ok, okCommand == kPageCmdSaveNewPreset ? kUiResStringOkSave : kUiResStringOkSaveAs);
  SetButtonId(ok, okCommand);
  ui->state.frame.okReplacement = okCommand;
  CtxClearChangeMask(context, offers);
  CtxRaiseChangeMask(context, kMaskOkReplaced);
}
