// The state store, notifications, paint scaffolding, owner-draw messages and drawing primitives
// the standard controls share.
#include <algorithm>
#include <map>
#include <mutex>

#include "core/strings.h"
#include "ui/controls_internal.h"

namespace velm::ui {
namespace {

std::mutex& StateMutex() {
  static std::mutex mutex;
  return mutex;
}
std::map<HWND, std::shared_ptr<ControlState>>& States() {
  static std::map<HWND, std::shared_ptr<ControlState>> states;
  return states;
}
std::map<std::pair<HWND, int>, ScrollData>& WindowBars() {
  static std::map<std::pair<HWND, int>, ScrollData> bars;
  return bars;
}

void ResetControlStates() {
  std::map<HWND, std::shared_ptr<ControlState>> dropped;
  {
    std::lock_guard<std::mutex> lock(StateMutex());
    dropped.swap(States());
    WindowBars().clear();
  }
  ResetListInsertFault();
}

// Installs the reset hook once, the first time any control state is touched.
void EnsureResetHook() {
  static std::once_flag once;
  std::call_once(once, [] { UiOnReset(&ResetControlStates); });
}

}  // namespace

std::shared_ptr<ControlState> FindControlState(HWND window) {
  std::lock_guard<std::mutex> lock(StateMutex());
  auto found = States().find(window);
  return found == States().end() ? nullptr : found->second;
}

void StoreControlState(HWND window, std::shared_ptr<ControlState> state) {
  EnsureResetHook();
  std::lock_guard<std::mutex> lock(StateMutex());
  States()[window] = std::move(state);
}

void DropControlState(HWND window) {
  std::shared_ptr<ControlState> dropped;  // released outside the lock
  std::lock_guard<std::mutex> lock(StateMutex());
  auto found = States().find(window);
  if (found != States().end()) {
    dropped = found->second;
    States().erase(found);
  }
  WindowBars().erase({window, SB_HORZ});
  WindowBars().erase({window, SB_VERT});
}

ScrollData& WindowScrollData(HWND window, int bar) {
  EnsureResetHook();
  std::lock_guard<std::mutex> lock(StateMutex());
  return WindowBars()[{window, bar}];
}

void DropWindowScrollData(HWND window) {
  std::lock_guard<std::mutex> lock(StateMutex());
  WindowBars().erase({window, SB_HORZ});
  WindowBars().erase({window, SB_VERT});
}

bool HandleCommonMessage(HWND window, ControlState& state, UINT message, WPARAM wParam, LPARAM lParam,
                         LRESULT* result) {
  switch (message) {
    case WM_SETFONT:
      state.font = reinterpret_cast<HFONT>(wParam);
      if (LOWORD(static_cast<DWORD_PTR>(lParam)) != 0) InvalidateRect(window, nullptr, TRUE);
      *result = 0;
      return true;
    case WM_GETFONT:
      *result = reinterpret_cast<LRESULT>(state.font);
      return true;
    case WM_ENABLE:
      InvalidateRect(window, nullptr, TRUE);
      *result = 0;
      return true;
    case WM_NCDESTROY:
      DropControlState(window);
      *result = DefWindowProcW(window, message, wParam, lParam);
      return true;
    default:
      return false;
  }
}

bool HandleFocusedControlMessage(HWND window, bool* focused, LRESULT dialogCode, bool notifyFocus, UINT message,
                                 LRESULT* result) {
  switch (message) {
    case WM_ERASEBKGND:
      *result = 1;
      return true;
    case WM_GETDLGCODE:
      *result = dialogCode;
      return true;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      *focused = message == WM_SETFOCUS;
      InvalidateRect(window, nullptr, TRUE);
      if (notifyFocus) {
        NMHDR header{};
        NotifyParent(window, &header, *focused ? NM_SETFOCUS : NM_KILLFOCUS);
      }
      *result = 0;
      return true;
    default:
      return false;
  }
}

DWORD StyleOf(HWND window) { return static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)); }
DWORD ExStyleOf(HWND window) { return static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)); }

RECT ClientRectOf(HWND window) {
  RECT rect{};
  GetClientRect(window, &rect);
  return rect;
}

int WidthOf(const RECT& rect) { return rect.right - rect.left; }
int HeightOf(const RECT& rect) { return rect.bottom - rect.top; }

POINT PointFromLParam(LPARAM lParam) { return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }

bool KeyDown(int virtualKey) { return (GetKeyState(virtualKey) & 0x8000) != 0; }

int ClampInt(long long value, int low, int high) {
  if (high < low) high = low;
  return static_cast<int>(std::clamp<long long>(value, low, high));
}

// ---- Notifications ----------------------------------------------------------------------------

void NotifyCommand(HWND control, WORD code) {
  HWND parent = GetParent(control);
  if (parent == nullptr) return;
  WORD id = static_cast<WORD>(GetDlgCtrlID(control));
  SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
}

LRESULT NotifyParent(HWND control, NMHDR* header, UINT code) {
  header->hwndFrom = control;
  header->idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(control));
  header->code = code;
  HWND parent = GetParent(control);
  if (parent == nullptr) return 0;
  return SendMessageW(parent, WM_NOTIFY, header->idFrom, reinterpret_cast<LPARAM>(header));
}

void NotifyScroll(HWND control, bool vertical, WORD code, int position) {
  HWND parent = GetParent(control);
  if (parent == nullptr) return;
  bool carriesPosition = code == SB_THUMBPOSITION || code == SB_THUMBTRACK;
  WORD high = carriesPosition ? static_cast<WORD>(position) : 0;
  SendMessageW(parent, vertical ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(code, high), reinterpret_cast<LPARAM>(control));
}

// ---- Painting ---------------------------------------------------------------------------------

HBRUSH ControlColor(HWND control, HDC dc, UINT message) {
  bool windowBackground = message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX;
  int background = windowBackground ? COLOR_WINDOW : COLOR_BTNFACE;
  if (message == WM_CTLCOLORSCROLLBAR) background = COLOR_SCROLLBAR;
  SetTextColor(dc, GetSysColor(windowBackground ? COLOR_WINDOWTEXT : COLOR_BTNTEXT));
  SetBkColor(dc, GetSysColor(background == COLOR_SCROLLBAR ? COLOR_BTNFACE : background));
  HWND parent = GetParent(control);
  HBRUSH brush = nullptr;
  if (parent != nullptr) {
    brush = reinterpret_cast<HBRUSH>(
        SendMessageW(parent, message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control)));
  }
  return brush != nullptr ? brush : GetSysColorBrush(background);
}

void FillSolid(HDC dc, const RECT& rect, int colorIndex) {
  if (rect.right <= rect.left || rect.bottom <= rect.top) return;
  FillRect(dc, &rect, GetSysColorBrush(colorIndex));
}

void FillSolid(HDC dc, int left, int top, int width, int height, int colorIndex) {
  FillSolid(dc, RECT{left, top, left + width, top + height}, colorIndex);
}

void DrawControlFrame(HDC dc, RECT* rect, DWORD style, DWORD exStyle) {
  if ((exStyle & WS_EX_CLIENTEDGE) != 0) {
    DrawEdge(dc, rect, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  } else if ((exStyle & WS_EX_STATICEDGE) != 0) {
    DrawEdge(dc, rect, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
  }
  if ((style & WS_BORDER) != 0) {
    FrameRect(dc, rect, GetSysColorBrush(COLOR_WINDOWTEXT));
    InflateRect(rect, -1, -1);
  }
}

RECT ControlInnerRect(HWND window) {
  RECT rect = ClientRectOf(window);
  DWORD exStyle = ExStyleOf(window);
  if ((exStyle & WS_EX_CLIENTEDGE) != 0) InflateRect(&rect, -2, -2);
  else if ((exStyle & WS_EX_STATICEDGE) != 0) InflateRect(&rect, -1, -1);
  if ((StyleOf(window) & WS_BORDER) != 0) InflateRect(&rect, -1, -1);
  return rect;
}

void DrawArrow(HDC dc, const RECT& rect, ArrowDirection direction, bool enabled) {
  int color = enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT;
  int cx = (rect.left + rect.right) / 2;
  int cy = (rect.top + rect.bottom) / 2;
  constexpr int kRows = 4;
  for (int i = 0; i < kRows; ++i) {
    int half = i;  // the row i steps from the tip is 2i+1 wide
    switch (direction) {
      case ArrowDirection::kUp:
        FillSolid(dc, cx - half, cy - 2 + i, 2 * half + 1, 1, color);
        break;
      case ArrowDirection::kDown:
        FillSolid(dc, cx - half, cy + 1 - i, 2 * half + 1, 1, color);
        break;
      case ArrowDirection::kLeft:
        FillSolid(dc, cx - 2 + i, cy - half, 1, 2 * half + 1, color);
        break;
      case ArrowDirection::kRight:
        FillSolid(dc, cx + 1 - i, cy - half, 1, 2 * half + 1, color);
        break;
    }
  }
}

void DrawPushFace(HDC dc, RECT rect, bool pushed, bool isDefault) {
  if (isDefault) {
    FrameRect(dc, &rect, GetSysColorBrush(COLOR_WINDOWTEXT));
    InflateRect(&rect, -1, -1);
  }
  FillSolid(dc, rect, COLOR_BTNFACE);
  if (pushed) {
    FrameRect(dc, &rect, GetSysColorBrush(COLOR_BTNSHADOW));
  } else {
    DrawEdge(dc, &rect, EDGE_RAISED, BF_RECT);
  }
}

void DrawCheckBox(HDC dc, const RECT& box, UINT check, bool enabled) {
  RECT frame = box;
  DrawEdge(dc, &frame, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  FillSolid(dc, frame, enabled && check != BST_INDETERMINATE ? COLOR_WINDOW : COLOR_BTNFACE);
  if (check == BST_UNCHECKED) return;
  int color = enabled && check == BST_CHECKED ? COLOR_WINDOWTEXT : COLOR_BTNSHADOW;
  // The classic 7-pixel tick, three pixels thick.
  static constexpr int kTickTop[7] = {2, 3, 4, 3, 2, 1, 0};
  for (int x = 0; x < 7; ++x) FillSolid(dc, frame.left + 1 + x, frame.top + 1 + kTickTop[x], 1, 3, color);
}

void DrawRadio(HDC dc, int left, int top, bool checked, bool enabled) {
  // Spans of a 12-pixel circle, row by row: first column and width.
  static constexpr int kOuter[12][2] = {{4, 4}, {2, 8}, {1, 10}, {1, 10}, {0, 12}, {0, 12},
                                        {0, 12}, {0, 12}, {1, 10}, {1, 10}, {2, 8}, {4, 4}};
  for (int y = 0; y < 12; ++y) FillSolid(dc, left + kOuter[y][0], top + y, kOuter[y][1], 1, COLOR_BTNSHADOW);
  for (int y = 1; y < 11; ++y) {
    int first = std::max(kOuter[y][0], 1);
    int width = std::min(kOuter[y][0] + kOuter[y][1], 11) - first;
    if (y == 1 || y == 10) first += 1, width -= 2;
    FillSolid(dc, left + first, top + y, width, 1, enabled ? COLOR_WINDOW : COLOR_BTNFACE);
  }
  if (!checked) return;
  static constexpr int kDot[4][2] = {{5, 2}, {4, 4}, {4, 4}, {5, 2}};
  int color = enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT;
  for (int y = 0; y < 4; ++y) FillSolid(dc, left + kDot[y][0], top + 4 + y, kDot[y][1], 1, color);
}

void DrawLabel(HDC dc, const std::u16string& text, RECT rect, UINT format) {
  if (text.empty()) return;
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, format);
}

void ScrollThumb(const ScrollData& data, int barLength, int* thumbStart, int* thumbLength) {
  int track = std::max(barLength - 2 * kScrollArrow, 0);
  long long range = static_cast<long long>(data.maximum) - data.minimum + 1;
  if (range <= 0 || track < 8) {
    *thumbStart = kScrollArrow;
    *thumbLength = 0;
    return;
  }
  int length = data.page == 0 ? kScrollArrow
                              : static_cast<int>(std::max<long long>(8, track * static_cast<long long>(data.page) / range));
  length = std::min(length, track);
  long long positions = range - std::max<long long>(static_cast<long long>(data.page) - 1, 0) - 1;
  if (data.page == 0) positions = range - 1;
  long long offset = positions <= 0 ? 0 : (static_cast<long long>(data.position) - data.minimum) * (track - length) / positions;
  *thumbStart = kScrollArrow + static_cast<int>(std::clamp<long long>(offset, 0, track - length));
  *thumbLength = length;
}

void DrawScrollBar(HDC dc, const RECT& rect, bool vertical, const ScrollData& data, bool enabled) {
  int length = vertical ? HeightOf(rect) : WidthOf(rect);
  int arrow = std::min(kScrollArrow, length / 2);
  RECT first = rect;
  RECT second = rect;
  if (vertical) {
    first.bottom = rect.top + arrow;
    second.top = rect.bottom - arrow;
  } else {
    first.right = rect.left + arrow;
    second.left = rect.right - arrow;
  }
  RECT track = rect;
  if (vertical) {
    track.top = first.bottom, track.bottom = second.top;
  } else {
    track.left = first.right, track.right = second.left;
  }
  FillSolid(dc, track, COLOR_3DLIGHT);
  bool scrollable = enabled && data.maximum > data.minimum;
  for (int i = 0; i < 2; ++i) {
    RECT button = i == 0 ? first : second;
    DrawPushFace(dc, button, false, false);
    bool arrowEnabled = scrollable && (data.disabledArrows & (i == 0 ? ESB_DISABLE_LTUP : ESB_DISABLE_RTDN)) == 0;
    ArrowDirection direction = vertical ? (i == 0 ? ArrowDirection::kUp : ArrowDirection::kDown)
                                        : (i == 0 ? ArrowDirection::kLeft : ArrowDirection::kRight);
    DrawArrow(dc, button, direction, arrowEnabled);
  }
  if (!scrollable) return;
  int thumbStart = 0;
  int thumbLength = 0;
  ScrollThumb(data, length, &thumbStart, &thumbLength);
  if (thumbLength <= 0) return;
  RECT thumb = rect;
  if (vertical) {
    thumb.top = rect.top + thumbStart, thumb.bottom = thumb.top + thumbLength;
  } else {
    thumb.left = rect.left + thumbStart, thumb.right = thumb.left + thumbLength;
  }
  DrawPushFace(dc, thumb, false, false);
}

// ---- Owner drawing ----------------------------------------------------------------------------

void SendDrawItem(HWND control, UINT type, UINT itemId, UINT action, UINT itemState, HDC dc, const RECT& rect,
                  ULONG_PTR data) {
  HWND parent = GetParent(control);
  if (parent == nullptr) return;
  DRAWITEMSTRUCT item{};
  item.CtlType = type;
  item.CtlID = static_cast<UINT>(GetDlgCtrlID(control));
  item.itemID = itemId;
  item.itemAction = action;
  item.itemState = itemState;
  item.hwndItem = control;
  item.hDC = dc;
  item.rcItem = rect;
  item.itemData = data;
  SendMessageW(parent, WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
}

UINT SendMeasureItem(HWND control, UINT type, UINT itemId, UINT width, UINT height, ULONG_PTR data) {
  HWND parent = GetParent(control);
  if (parent == nullptr) return height;
  MEASUREITEMSTRUCT item{};
  item.CtlType = type;
  item.CtlID = static_cast<UINT>(GetDlgCtrlID(control));
  item.itemID = itemId;
  item.itemWidth = width;
  item.itemHeight = height;
  item.itemData = data;
  SendMessageW(parent, WM_MEASUREITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
  // A row of no height could never be hit nor drawn; Windows keeps at least one pixel too.
  return item.itemHeight == 0 ? 1 : item.itemHeight;
}

void SendDeleteItem(HWND control, UINT type, UINT itemId, ULONG_PTR data) {
  HWND parent = GetParent(control);
  if (parent == nullptr) return;
  DELETEITEMSTRUCT item{};
  item.CtlType = type;
  item.CtlID = static_cast<UINT>(GetDlgCtrlID(control));
  item.itemID = itemId;
  item.hwndItem = control;
  item.itemData = data;
  SendMessageW(parent, WM_DELETEITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
}

}  // namespace velm::ui

// ---- System metrics (global, C linkage) ----------------------------------------------------------------------

extern "C" int GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXSCREEN: return 1024;
    case SM_CYSCREEN: return 768;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
    case SM_CYVTHUMB:
    case SM_CXHTHUMB: return velm::ui::kScrollArrow;
    case SM_CYCAPTION: return 19;
    case SM_CXBORDER:
    case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME: return 3;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR: return 32;
    case SM_CYMENU: return 19;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK: return 4;
    case SM_CXEDGE:
    case SM_CYEDGE: return 2;
    case SM_CXSMICON:
    case SM_CYSMICON: return 16;
    case SM_CXMENUCHECK:
    case SM_CYMENUCHECK: return 13;
    default: return 0;
  }
}
