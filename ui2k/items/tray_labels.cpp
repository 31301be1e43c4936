#include "ui2k/items/tray_labels.h"

#include "data/page_ids.h"
#include "data/tray_slots.h"
#include "settings/devmode/model_defaults.h"
#include "settings/items/store.h"
#include "settings/services/resource_strings.h"
#include "ui2k/controls/painters.h"
#include "ui2k/pages/page_framework.h"
#include "ui2k/sheets/resource_library.h"

namespace {

constexpr WORD kPictureLongEdge = 6193;  // orientation item set
constexpr WORD kPictureShortEdge = 6194;
constexpr BYTE kSwappedPicturesModel = 128;
constexpr WCHAR kMediaSeparator[] = WSTR("/");

// The display name of the slot item's value, read as the item of the pages' `controlId` (the
// tray's paper or media choice) reads its values; empty while the pages have no such control.
void ValueName(UiContext* ui, WORD controlId, WORD item, WCHAR* text) {
  text[0] = 0;
  const PageItemTemplate* row = OptFindPageItem(&ui->pages, nullptr, controlId);
  if (!row || !row->itemRow) return;
  const DWORD model = OptRawToModelValue(ui->driver, row->itemRow, OptGetValue(ui->driver, item));
  if (model) ResLoadString(ui->driver, model, text, kUiTextChars, FALSE);
}

int TextWidth(HDC dc, const WCHAR* text) {
  SIZE size{};
  GetTextExtentPoint32W(dc, text, lstrlenW(text), &size);
  return size.cx;
}

void Paint(UiContext* ui, HWND page, HWND control, HDC dc, int slot) {
  RECT client{};
  GetClientRect(control, &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  const HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(page, WM_GETFONT, 0, 0)));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(IsWindowEnabled(control) ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
  constexpr UINT kLine = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;

  WCHAR own[kUiTextChars] = {}, paper[kUiTextChars] = {}, media[kUiTextChars] = {};
  GetWindowTextW(control, own, kUiTextChars);
  ValueName(ui, kCtlTrayPaper, static_cast<WORD>(kTraySlotPaperItem + slot), paper);
  const bool showsMedia = OptFindPageItem(&ui->pages, nullptr, kCtlTrayMedia) != nullptr;
  if (showsMedia) {
    WCHAR name[kUiTextChars] = {};
    ValueName(ui, kCtlTrayMedia, static_cast<WORD>(kTraySlotMediaItem + slot), name);
    lstrcpyW(media, kMediaSeparator);
    lstrcatW(media, name);
  }
  SIZE line{};
  GetTextExtentPoint32W(dc, WSTR("M"), 1, &line);
  const int square = line.cy;

  RECT box = client;
  DrawTextW(dc, own, -1, &box, kLine);
  box.left += TextWidth(dc, own);
  // The paper name takes what the picture and the media name leave.
  RECT paperBox = box;
  paperBox.right = client.right - square - TextWidth(dc, media);
  if (paperBox.right > paperBox.left && paper[0]) {
    DrawTextW(dc, paper, -1, &paperBox, kLine | DT_END_ELLIPSIS);
    RECT used = paperBox;
    DrawTextW(dc, paper, -1, &used, kLine | DT_END_ELLIPSIS | DT_CALCRECT);
    box.left = used.right < paperBox.right ? used.right : paperBox.right;
  }
  const bool longEdge = OptGetValue(ui->driver, static_cast<WORD>(kTraySlotOrientationItem + slot)) != 0;
  const bool swapped = kModelDefaults.machineId == kSwappedPicturesModel;
  const RECT pictureBox{box.left, (client.bottom - square) / 2, box.left + square, (client.bottom - square) / 2 + square};
  CtlDrawPicture(UiResInstance(ui->driver), dc, longEdge != swapped ? kPictureLongEdge : kPictureShortEdge, pictureBox,
                 CtlPictureFit::kStretch);
  box.left = pictureBox.right;
  if (showsMedia) DrawTextW(dc, media, -1, &box, kLine);
  SelectObject(dc, oldFont);
}

}  // namespace

BYTE TraySlotOfValue(DWORD trayValue) {
  for (const TraySlotRow& row : kTraySlots)
    if (row.trayValue == trayValue) return row.slot;
  return 0;
}

int TrayLabelSlot(WORD pageId, WORD controlId) {
  for (const TrayLabelRow& row : kTrayLabels)
    if (row.page == pageId && row.control == controlId) return row.slot;
  return -1;
}

LRESULT DlgPaintTrayLabel(UiContext* ui, HWND page, PageItemTemplate* row, UINT message, WPARAM wParam, int slot) {
  HWND control = row && row->window ? row->window : nullptr;
  if (!ui || !control) return 0;
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PRINTCLIENT:
      if (wParam) Paint(ui, page, control, reinterpret_cast<HDC>(wParam), slot);
      return 1;
    case WM_PAINT: {
      // A paint the window asked for, or one the page's refresh asks for outside it.
      if (GetUpdateRect(control, nullptr, FALSE)) {
        PAINTSTRUCT paint{};
        if (HDC dc = BeginPaint(control, &paint)) Paint(ui, page, control, dc, slot);
        EndPaint(control, &paint);
      } else if (HDC dc = GetDC(control)) {
        Paint(ui, page, control, dc, slot);
        ReleaseDC(control, dc);
      }
      return 1;
    }
    default:
      return 0;
  }
}

void DlgPaintTrayLabels(UiContext* ui, HWND page) {
  const PageWindow* record = PageRecordOf(page);
  if (!record || !record->page) return;
  for (const TrayLabelRow& label : kTrayLabels) {
    if (label.page != record->page->id) continue;
    PageItemTemplate* row = PageFindRow(page, label.control);
    if (row && row->window && IsWindowVisible(row->window)) DlgPaintTrayLabel(ui, page, row, WM_PAINT, 0, label.slot);
  }
}
