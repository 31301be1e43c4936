// What the standard controls share: per-window state, notifications to the parent, the paint
// scaffolding (WM_PAINT and WM_PRINTCLIENT, WM_CTLCOLOR*, fonts), owner drawing, the drawing
// primitives of the classic 3-D look, and the item list behind list and combo boxes.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ui/controls.h"
#include "ui/gdi_internal.h"  // the fixed text metrics of the stand-in's DCs
#include "ui/wingdi.h"
#include "ui/winuser.h"

namespace velm::ui {

constexpr int kScrollArrow = 16;  // SM_CXVSCROLL / SM_CYHSCROLL

// ---- State ------------------------------------------------------------------------------------
// Each control keeps its state in an object of its own type, found by its window and dropped at
// WM_NCDESTROY. Handlers hold a shared_ptr, so a parent that destroys the control while it
// handles a notification does not pull the state from under the running handler.
struct ControlState {
  virtual ~ControlState() = default;
  HFONT font = nullptr;
};

std::shared_ptr<ControlState> FindControlState(HWND window);
void StoreControlState(HWND window, std::shared_ptr<ControlState> state);
void DropControlState(HWND window);

template <class T>
std::shared_ptr<T> ControlStateOf(HWND window) {
  auto state = std::dynamic_pointer_cast<T>(FindControlState(window));
  if (!state) {
    state = std::make_shared<T>();
    StoreControlState(window, state);
  }
  return state;
}

// The messages every control answers alike (fonts, state removal); true when handled.
bool HandleCommonMessage(HWND window, ControlState& state, UINT message, WPARAM wParam, LPARAM lParam,
                         LRESULT* result);

// The messages the controls that paint their whole client answer alike: no background erase,
// `dialogCode` for WM_GETDLGCODE, and focus changes kept in `focused` (and, with `notifyFocus`,
// reported to the parent as NM_SETFOCUS/NM_KILLFOCUS); true when handled.
bool HandleFocusedControlMessage(HWND window, bool* focused, LRESULT dialogCode, bool notifyFocus, UINT message,
                                 LRESULT* result);

DWORD StyleOf(HWND window);
DWORD ExStyleOf(HWND window);
RECT ClientRectOf(HWND window);
int WidthOf(const RECT& rect);
int HeightOf(const RECT& rect);
POINT PointFromLParam(LPARAM lParam);
bool KeyDown(int virtualKey);

// ---- Notifications ----------------------------------------------------------------------------
// WM_COMMAND(MAKEWPARAM(id, code), control) to the parent.
void NotifyCommand(HWND control, WORD code);
// WM_NOTIFY to the parent with the header filled in; the parent's answer.
LRESULT NotifyParent(HWND control, NMHDR* header, UINT code);
// WM_HSCROLL/WM_VSCROLL to the parent; `position` travels only with the thumb codes.
void NotifyScroll(HWND control, bool vertical, WORD code, int position);

// ---- Painting ---------------------------------------------------------------------------------
// Runs `paint` for WM_PAINT (through BeginPaint/EndPaint) or WM_PRINTCLIENT (into the wParam
// DC), with the control's font selected.
template <class Paint>
LRESULT PaintControl(HWND window, const ControlState& state, UINT message, WPARAM wParam, Paint paint);
// Sends WM_CTLCOLOR* to the parent after presetting the system colours; the brush it answers, or
// the system brush when it answers none.
HBRUSH ControlColor(HWND control, HDC dc, UINT message);
// Draws WS_BORDER / WS_EX_CLIENTEDGE / WS_EX_STATICEDGE inside `rect` and shrinks it by them
// (the stand-in's client area is the whole window).
void DrawControlFrame(HDC dc, RECT* rect, DWORD style, DWORD exStyle);
// The client less what DrawControlFrame draws.
RECT ControlInnerRect(HWND window);
void FillSolid(HDC dc, const RECT& rect, int colorIndex);
void FillSolid(HDC dc, int left, int top, int width, int height, int colorIndex);
enum class ArrowDirection { kUp, kDown, kLeft, kRight };
void DrawArrow(HDC dc, const RECT& rect, ArrowDirection direction, bool enabled);
// A raised push face (sunken when pushed) with the default button's black frame.
void DrawPushFace(HDC dc, RECT rect, bool pushed, bool isDefault);
void DrawCheckBox(HDC dc, const RECT& box, UINT check, bool enabled);
void DrawRadio(HDC dc, int left, int top, bool checked, bool enabled);
void DrawLabel(HDC dc, const std::u16string& text, RECT rect, UINT format);

// A scroll bar drawn into `rect` (controls and the WS_VSCROLL bars the controls draw inside).
struct ScrollData {
  int minimum = 0;
  int maximum = 100;
  UINT page = 0;
  int position = 0;
  int trackPosition = 0;
  UINT disabledArrows = 0;  // ESB_*
  bool present = false;     // an SB_HORZ/SB_VERT bar that was set or that the style asks for
};
void DrawScrollBar(HDC dc, const RECT& rect, bool vertical, const ScrollData& data, bool enabled);
// Thumb geometry along the bar: its start and length in pixels from the bar's start.
void ScrollThumb(const ScrollData& data, int barLength, int* thumbStart, int* thumbLength);
// The window's own SB_HORZ/SB_VERT bar, created on first use.
ScrollData& WindowScrollData(HWND window, int bar);
void DropWindowScrollData(HWND window);

// ---- Owner drawing ----------------------------------------------------------------------------
void SendDrawItem(HWND control, UINT type, UINT itemId, UINT action, UINT itemState, HDC dc, const RECT& rect,
                  ULONG_PTR data);
// WM_MEASUREITEM to the parent; the height it answers (`height` when it leaves it alone).
UINT SendMeasureItem(HWND control, UINT type, UINT itemId, UINT width, UINT height, ULONG_PTR data);
void SendDeleteItem(HWND control, UINT type, UINT itemId, ULONG_PTR data);

// ---- Items of list and combo boxes ------------------------------------------------------------
struct ListItem {
  std::u16string text;
  ULONG_PTR data = 0;
  bool selected = false;
};

// The rows of a list box (a combo box holds one for its list): strings or, for owner-drawn
// boxes without strings, item data; selection, caret and top row.
struct ListModel {
  std::vector<ListItem> items;
  int selection = -1;  // single-selection boxes
  int caret = -1;
  int top = 0;
  bool hasStrings = true;
  bool sorted = false;
  bool multiple = false;

  int Count() const { return static_cast<int>(items.size()); }
  bool Valid(int index) const { return index >= 0 && index < Count(); }
  // Inserts at `index` (-1 = end, or the sorted place); the index, or LB_ERR when the index is
  // past the end or the insert fault refuses it.
  LRESULT Insert(HWND owner, int index, LPARAM value);
  // The search of LB_FINDSTRING/LB_FINDSTRINGEXACT: after `start` (-1 = from the first row),
  // wrapping round; LB_ERR when nothing matches.
  LRESULT Find(int start, LPCWSTR text, bool exact) const;
  // LB_GETTEXT/LB_GETTEXTLEN semantics: strings, or the item data for boxes without strings.
  LRESULT TextLength(int index) const;
  LRESULT CopyText(int index, LPARAM buffer) const;
  // Removes one row and keeps the selection and caret on the same rows.
  void Erase(int index);
  void EnsureVisible(int index, int visibleRows);
  void ClampTop(int visibleRows);
};

bool ListInsertRefused(HWND owner);
int ClampInt(long long value, int low, int high);

// ---- Class procedures -------------------------------------------------------------------------
LRESULT ButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT StaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ListBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ComboBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ScrollBarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT TrackbarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT TabControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT TreeViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ListViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

void ResetListInsertFault();

// ---- Template definitions ---------------------------------------------------------------------
template <class Paint>
LRESULT PaintControl(HWND window, const ControlState& state, UINT message, WPARAM wParam, Paint paint) {
  PAINTSTRUCT ps{};
  HDC dc = nullptr;
  if (message == WM_PRINTCLIENT) {
    dc = reinterpret_cast<HDC>(wParam);
  } else {
    dc = BeginPaint(window, &ps);
  }
  // Painting goes on without a DC too: the drawing calls fail, but owner-drawn items still
  // reach the parent, as they would on Windows.
  HGDIOBJ oldFont = nullptr;
  if (dc != nullptr && state.font != nullptr) oldFont = SelectObject(dc, reinterpret_cast<HGDIOBJ>(state.font));
  paint(dc, ClientRectOf(window));
  if (oldFont != nullptr) SelectObject(dc, oldFont);
  if (message != WM_PRINTCLIENT) EndPaint(window, &ps);
  return 0;
}

}  // namespace velm::ui
