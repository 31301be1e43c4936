#include "ui2k/items/control_operations.h"

#include "settings/description/image.h"
#include "settings/items/page_control_extras.h"
#include "settings/items/store.h"
#include "settings/services/help_language.h"
#include "settings/services/resource_strings.h"
#include "ui2k/controls/button_controls.h"
#include "ui2k/controls/listed_values.h"
#include "ui2k/controls/painters.h"
#include "ui2k/pages/page_framework.h"
#include "ui2k/sheets/resource_library.h"

namespace {

constexpr DWORD kFileDialogKinds = kPageFileOpen | kPageSettingsOpenSave | kPageFileRefer | kPagePresetSave |
                                   kPagePresetRefer | kPageCreateFiles;

// ---- Context help ----

LRESULT ShowHelp(UiContext* ui, HWND page, const PageItemTemplate* row, UINT message) {
  if (!ui || !row || !row->window || !IsWindowVisible(row->window)) return 0;
  WCHAR helpFile[MAX_PATH] = {};
  CfgReadHelpFileName(ui->driver->printer, helpFile, MAX_PATH);
  // The pairs end with 0, 0.
  DWORD pairs[4] = {row->controlId, row->helpId ? row->helpId : row->controlId, 0, 0};
  HWND target = row->controlType == kCtlTypeStaticText ? page : row->window;
  WinHelpW(target, helpFile, message == WM_HELP ? HELP_WM_HELP : HELP_CONTEXTMENU, reinterpret_cast<ULONG_PTR>(pairs));
  return 1;
}

// ---- 3-D frame ----

struct BevelColours {
  int topLeft, bottomRight;
};
// Released and pressed: the outer ring, then the inner one.
constexpr BevelColours kReleased[2] = {{COLOR_3DHILIGHT, COLOR_3DDKSHADOW}, {COLOR_BTNFACE, COLOR_BTNSHADOW}};
constexpr BevelColours kPressed[2] = {{COLOR_BTNSHADOW, COLOR_BTNFACE}, {COLOR_3DDKSHADOW, COLOR_3DHILIGHT}};

void Line(HDC dc, int colour, POINT from, POINT to) {
  HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(colour));
  HGDIOBJ previous = SelectObject(dc, pen);
  MoveToEx(dc, from.x, from.y, nullptr);
  LineTo(dc, to.x, to.y);
  SelectObject(dc, previous);
  DeleteObject(pen);
}

// One ring: the top and left edges, then the bottom and right ones.
void Ring(HDC dc, const RECT& r, const BevelColours& colours) {
  if (r.right - r.left < 2 || r.bottom - r.top < 2) return;
  Line(dc, colours.topLeft, {r.left, r.bottom - 1}, {r.left, r.top});
  Line(dc, colours.topLeft, {r.left, r.top}, {r.right - 1, r.top});
  Line(dc, colours.bottomRight, {r.right - 1, r.top}, {r.right - 1, r.bottom - 1});
  Line(dc, colours.bottomRight, {r.right - 1, r.bottom - 1}, {r.left, r.bottom - 1});
}

// The arrows' pictures in the upper and lower quarters of each side they are chosen for.
void Arrows(UiContext* ui, HDC dc, const RECT& r, DWORD style) {
  constexpr WORD kLeftPictures[] = {0, 220, 221, 222};
  constexpr WORD kRightPictures[] = {0, 222, 221, 220};
  const LONG midX = (r.left + r.right) / 2, midY = (r.top + r.bottom) / 2;
  const WORD left = kLeftPictures[(style & kFrameLeftArrowMask) >> 4];
  const WORD right = kRightPictures[(style & kFrameRightArrowMask) >> 6];
  const HINSTANCE library = ui ? UiResInstance(ui->driver) : nullptr;
  const auto picture = [&](WORD id, const RECT& to) { CtlDrawPicture(library, dc, id, to, CtlPictureFit::kStretch); };
  if (left) {
    picture(left, {r.left, r.top, midX, midY});
    picture(left, {r.left, midY, midX, r.bottom});
  }
  if (right) {
    picture(right, {midX, r.top, r.right, midY});
    picture(right, {midX, midY, r.right, r.bottom});
  }
}

void Caption(UiContext* ui, const PageItemTemplate* row, HWND window, HDC dc, RECT area) {
  const WORD controlId = row ? row->controlId : static_cast<WORD>(GetDlgCtrlID(window));
  const WORD caption = CtlButtonCaption(controlId);
  WCHAR text[kUiTextChars] = {};
  if (!caption)
    lstrcpynW(text, WSTR("..."), kUiTextChars);
  else if (caption != kCtlNoCaption && ui)
    ResLoadString(ui->driver, caption, text, kUiTextChars, FALSE);
  if (!text[0]) return;
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
  HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
  const int mode = SetBkMode(dc, TRANSPARENT);
  DrawTextW(dc, text, -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  SetBkMode(dc, mode);
  if (previous) SelectObject(dc, previous);
}

}  // namespace

LRESULT CtlStepLinkedItems(UiContext* ui, HWND page, PageItemTemplate* row) {
  const PageControlExtra* extra = row ? CtlExtraOf(page, *row) : nullptr;
  if (!ui || !extra || !extra->words || extra->wordCount < 2 || extra->words[0] != kExtraLinkedSteps) return 1;
  const size_t pairs = extra->words[1];
  for (size_t i = 0; i < pairs && 3 + 2 * i < extra->wordCount; ++i) {
    PageItemTemplate* linked = PageFindRow(page, extra->words[2 + 2 * i]);
    const LONG step = static_cast<SHORT>(extra->words[3 + 2 * i]);
    DescRange range{};
    if (!linked || !linked->itemRow || !linked->node || !ui->driver->description ||
        !DescNodeRange(ui->driver->description, linked->node, &range) || range.minimum > range.maximum)
      continue;
    const LONG current = static_cast<LONG>(OptReadRaw(ui->driver, linked->itemRow));
    LONG next = current + step;
    if (next > range.maximum) next = range.maximum;
    if (next < range.minimum) next = range.minimum;
    if (next != current) CtlCommitValue(ui, page, linked, static_cast<DWORD>(next));
  }
  return 1;
}

LRESULT CtlContextHelp(HWND page, HWND control, UINT message) {
  UiContext* ui = PageContextOf(page);
  if (!ui || !control) return 0;
  const PageItemTemplate* row = PageFindRow(page, static_cast<WORD>(GetDlgCtrlID(control)));
  return row && row->window == control ? ShowHelp(ui, page, row, message) : 0;
}

LRESULT CtlContextHelp(CTL_HANDLER_PARAMS) {
  if (message != WM_HELP && message != WM_CONTEXTMENU) return 0;
  return ShowHelp(ui, page, row, message);
}

BOOL PageIsFileDialogKind(DWORD kind) { return (kind & kFileDialogKinds) != 0 ? TRUE : FALSE; }

BOOL PageIsFileDialog(const PageTemplate* page) { return page && PageIsFileDialogKind(page->kind); }

BOOL PageIsNotFileDialog(const PageTemplate* page) { return !PageIsFileDialog(page); }

void CtlDraw3DFrame(UiContext* ui, HWND, const PageItemTemplate* row, HWND window, HDC dc, const RECT& rect,
                    DWORD style, BOOL pressed, BOOL inset) {
  RECT area = rect;
  if (inset) InflateRect(&area, -1, -1);
  FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
  if (style & kFramePlain) FrameRect(dc, &area, GetSysColorBrush(COLOR_WINDOWFRAME));
  if (style & kFrameDoubleBevel) {
    const BevelColours* rings = pressed ? kPressed : kReleased;
    RECT ring = area;
    Ring(dc, ring, rings[0]);
    InflateRect(&ring, -1, -1);
    Ring(dc, ring, rings[1]);
  }
  if (style & kFrameArrows) {
    Arrows(ui, dc, area, style);
    InflateRect(&area, -4, -2);
  }
  if (window) Caption(ui, row, window, dc, area);
}
