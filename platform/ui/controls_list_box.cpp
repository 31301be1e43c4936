// The list box ("LISTBOX") and the item list a combo box shares with it.
//
// LBN_SELCHANGE goes out only for what the user does (a click, a key) and only with LBS_NOTIFY, as
// on Windows; LB_SETCURSEL and its kin change the selection silently.
#include <algorithm>
#include <cstring>
#include <mutex>

#include "core/strings.h"
#include "ui/controls_internal.h"

namespace velm::ui {
namespace {

struct InsertFault {
  bool active = false;
  HWND target = nullptr;
  int successes = 0;
};
std::mutex g_faultMutex;
InsertFault g_fault;

int CompareText(const std::u16string& a, LPCWSTR b) { return lstrcmpiW(a.c_str(), b); }

bool StartsWithNoCase(const std::u16string& text, LPCWSTR prefix) {
  size_t length = wcslen(prefix);
  return text.size() >= length && _wcsnicmp(text.c_str(), prefix, length) == 0;
}

}  // namespace

void ResetListInsertFault() {
  std::lock_guard<std::mutex> lock(g_faultMutex);
  g_fault = InsertFault{};
}

bool ListInsertRefused(HWND owner) {
  std::lock_guard<std::mutex> lock(g_faultMutex);
  if (!g_fault.active || (g_fault.target != nullptr && g_fault.target != owner)) return false;
  if (g_fault.successes > 0) {
    --g_fault.successes;
    return false;
  }
  return true;
}

LRESULT ListModel::Insert(HWND owner, int index, LPARAM value) {
  if (index < -1 || index > Count()) return LB_ERR;
  if (hasStrings && value == 0) return LB_ERR;
  if (ListInsertRefused(owner)) return LB_ERR;
  ListItem item;
  if (hasStrings) {
    item.text = reinterpret_cast<LPCWSTR>(value);
  } else {
    item.data = static_cast<ULONG_PTR>(value);
  }
  if (index == -1) {
    index = Count();
    if (sorted && hasStrings) {
      // After the equal rows already there, as Windows places duplicates.
      index = static_cast<int>(std::upper_bound(items.begin(), items.end(), item.text,
                                                [](const std::u16string& text, const ListItem& row) {
                                                  return CompareText(text, row.text.c_str()) < 0;
                                                }) -
                               items.begin());
    }
  }
  items.insert(items.begin() + index, std::move(item));
  if (selection >= index) ++selection;
  if (caret >= index) ++caret;
  return index;
}

LRESULT ListModel::Find(int start, LPCWSTR text, bool exact) const {
  if (text == nullptr || items.empty()) return LB_ERR;
  int count = Count();
  int first = (start < -1 || start >= count) ? 0 : start + 1;
  for (int step = 0; step < count; ++step) {
    const ListItem& item = items[static_cast<size_t>((first + step) % count)];
    bool match = false;
    if (!hasStrings) {
      match = item.data == reinterpret_cast<ULONG_PTR>(text);
    } else {
      match = exact ? CompareText(item.text, text) == 0 : StartsWithNoCase(item.text, text);
    }
    if (match) return (first + step) % count;
  }
  return LB_ERR;
}

LRESULT ListModel::TextLength(int index) const {
  if (!Valid(index)) return LB_ERR;
  if (!hasStrings) return static_cast<LRESULT>(sizeof(ULONG_PTR));
  return static_cast<LRESULT>(items[static_cast<size_t>(index)].text.size());
}

LRESULT ListModel::CopyText(int index, LPARAM buffer) const {
  if (!Valid(index) || buffer == 0) return LB_ERR;
  const ListItem& item = items[static_cast<size_t>(index)];
  if (!hasStrings) {
    memcpy(reinterpret_cast<void*>(buffer), &item.data, sizeof(item.data));
    return static_cast<LRESULT>(sizeof(ULONG_PTR));
  }
  // The caller's buffer holds LB_GETTEXTLEN + 1 characters, as the message requires.
  auto* target = reinterpret_cast<WCHAR*>(buffer);
  std::copy(item.text.begin(), item.text.end(), target);
  target[item.text.size()] = 0;
  return static_cast<LRESULT>(item.text.size());
}

void ListModel::Erase(int index) {
  items.erase(items.begin() + index);
  if (selection == index) {
    selection = -1;
  } else if (selection > index) {
    --selection;
  }
  if (caret >= Count()) caret = Count() - 1;
  else if (caret > index) --caret;
  if (top > 0 && top >= Count()) top = std::max(Count() - 1, 0);
}

void ListModel::EnsureVisible(int index, int visibleRows) {
  if (!Valid(index)) return;
  visibleRows = std::max(visibleRows, 1);
  if (index < top) top = index;
  else if (index >= top + visibleRows) top = index - visibleRows + 1;
  ClampTop(visibleRows);
}

void ListModel::ClampTop(int visibleRows) {
  top = ClampInt(top, 0, std::max(Count() - std::max(visibleRows, 1), 0));
}

namespace {

struct ListBoxState : ControlState {
  ListModel list;
  UINT itemHeight = kCharHeight;
  bool measured = false;
  bool focused = false;
  bool tracking = false;  // a click in progress (capture held)
};

bool IsOwnerDrawn(DWORD style) { return (style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) != 0; }

// The rows area: the client less the frame and the scroll bar the box draws inside.
RECT RowsRect(HWND window, const ListBoxState& state, bool* scrollBar) {
  RECT rect = ControlInnerRect(window);
  DWORD style = StyleOf(window);
  int rows = std::max(HeightOf(rect) / static_cast<int>(state.itemHeight), 1);
  bool bar = (style & WS_VSCROLL) != 0 && (state.list.Count() > rows || (style & LBS_DISABLENOSCROLL) != 0);
  if (bar) rect.right -= kScrollArrow;
  if (scrollBar != nullptr) *scrollBar = bar;
  return rect;
}

int VisibleRows(HWND window, const ListBoxState& state) {
  RECT rows = RowsRect(window, state, nullptr);
  return std::max(HeightOf(rows) / static_cast<int>(state.itemHeight), 1);
}

void SyncScrollBar(HWND window, ListBoxState& state) {
  if ((StyleOf(window) & WS_VSCROLL) == 0) return;
  ScrollData& bar = WindowScrollData(window, SB_VERT);
  bar.present = true;
  bar.minimum = 0;
  bar.maximum = std::max(state.list.Count() - 1, 0);
  bar.page = static_cast<UINT>(VisibleRows(window, state));
  bar.position = state.list.top;
}

void Changed(HWND window, ListBoxState& state) {
  state.list.ClampTop(VisibleRows(window, state));
  SyncScrollBar(window, state);
  InvalidateRect(window, nullptr, TRUE);
}

void SendSelChange(HWND window) {
  if ((StyleOf(window) & LBS_NOTIFY) != 0) NotifyCommand(window, LBN_SELCHANGE);
}

int RowFromPoint(HWND window, const ListBoxState& state, POINT point) {
  RECT rows = RowsRect(window, state, nullptr);
  if (point.y < rows.top || point.x < rows.left || point.x >= rows.right) return -1;
  int row = state.list.top + (point.y - rows.top) / static_cast<int>(state.itemHeight);
  return state.list.Valid(row) ? row : -1;
}

// Moves the user's selection (and caret) to `row`; true when it changed.
bool UserSelect(HWND window, ListBoxState& state, int row, bool toggle) {
  if (!state.list.Valid(row) || (StyleOf(window) & LBS_NOSEL) != 0) return false;
  bool changed = false;
  if (state.list.multiple) {
    ListItem& item = state.list.items[static_cast<size_t>(row)];
    bool wanted = toggle ? !item.selected : true;
    changed = item.selected != wanted;
    item.selected = wanted;
  } else {
    changed = state.list.selection != row;
    state.list.selection = row;
  }
  state.list.caret = row;
  state.list.EnsureVisible(row, VisibleRows(window, state));
  SyncScrollBar(window, state);
  InvalidateRect(window, nullptr, TRUE);
  return changed;
}

void Paint(HWND window, ListBoxState& state, HDC dc, const RECT& client) {
  DWORD style = StyleOf(window);
  bool enabled = IsWindowEnabled(window) != FALSE;
  HBRUSH background = ControlColor(window, dc, WM_CTLCOLORLISTBOX);
  RECT inner = client;
  DrawControlFrame(dc, &inner, style, ExStyleOf(window));
  FillRect(dc, &inner, background);
  bool bar = false;
  RECT rows = RowsRect(window, state, &bar);
  if (bar) {
    RECT barRect{rows.right, rows.top, rows.right + kScrollArrow, rows.bottom};
    DrawScrollBar(dc, barRect, true, WindowScrollData(window, SB_VERT), enabled);
  }
  int height = static_cast<int>(state.itemHeight);
  for (int row = state.list.top; row < state.list.Count(); ++row) {
    RECT item{rows.left, rows.top + (row - state.list.top) * height, rows.right, 0};
    item.bottom = item.top + height;
    if (item.top >= rows.bottom) break;
    const ListItem& entry = state.list.items[static_cast<size_t>(row)];
    bool selected = state.list.multiple ? entry.selected : row == state.list.selection;
    bool hasFocus = state.focused && row == state.list.caret;
    if (IsOwnerDrawn(style)) {
      UINT itemState = (selected ? ODS_SELECTED : 0) | (hasFocus ? ODS_FOCUS : 0) | (enabled ? 0 : ODS_DISABLED);
      SendDrawItem(window, ODT_LISTBOX, static_cast<UINT>(row), ODA_DRAWENTIRE, itemState, dc, item, entry.data);
      continue;
    }
    if (selected) {
      FillSolid(dc, item, COLOR_HIGHLIGHT);
      SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
      SetBkColor(dc, GetSysColor(COLOR_HIGHLIGHT));
    }
    if (!enabled) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    RECT text = item;
    text.left += 2;
    UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | ((style & LBS_USETABSTOPS) != 0 ? DT_EXPANDTABS : 0);
    DrawLabel(dc, entry.text, text, format);
    if (selected) {
      SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    }
    if (hasFocus) DrawFocusRect(dc, &item);
  }
  if (state.focused && state.list.Count() == 0) {
    RECT item{rows.left, rows.top, rows.right, rows.top + height};
    DrawFocusRect(dc, &item);
  }
}

LRESULT HandleKey(HWND window, ListBoxState& state, int key) {
  int count = state.list.Count();
  if (count == 0) return 0;
  int current = state.list.caret >= 0 ? state.list.caret : (state.list.selection >= 0 ? state.list.selection : -1);
  int page = VisibleRows(window, state);
  int target = current;
  switch (key) {
    case VK_UP: target = current <= 0 ? 0 : current - 1; break;
    case VK_DOWN: target = current < 0 ? 0 : std::min(current + 1, count - 1); break;
    case VK_PRIOR: target = std::max((current < 0 ? 0 : current) - (page - 1), 0); break;
    case VK_NEXT: target = std::min((current < 0 ? 0 : current) + (page - 1), count - 1); break;
    case VK_HOME: target = 0; break;
    case VK_END: target = count - 1; break;
    case VK_SPACE:
      if (state.list.multiple && current >= 0) {
        UserSelect(window, state, current, true);
        SendSelChange(window);
      }
      return 0;
    default: return 0;
  }
  if (state.list.multiple) {
    // Keys move only the caret of a multiple-selection box; Space selects.
    state.list.caret = target;
    state.list.EnsureVisible(target, page);
    SyncScrollBar(window, state);
    InvalidateRect(window, nullptr, TRUE);
    return 0;
  }
  if (UserSelect(window, state, target, false)) SendSelChange(window);
  return 0;
}

void ScrollTo(HWND window, ListBoxState& state, WORD code, int thumb) {
  int page = VisibleRows(window, state);
  int top = state.list.top;
  switch (code) {
    case SB_LINEUP: --top; break;
    case SB_LINEDOWN: ++top; break;
    case SB_PAGEUP: top -= page; break;
    case SB_PAGEDOWN: top += page; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: top = thumb; break;
    case SB_TOP: top = 0; break;
    case SB_BOTTOM: top = state.list.Count(); break;
    default: return;
  }
  state.list.top = top;
  Changed(window, state);
}

}  // namespace

LRESULT ListBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto state = ControlStateOf<ListBoxState>(window);
  ListModel& list = state->list;
  LRESULT result = 0;
  if (HandleCommonMessage(window, *state, message, wParam, lParam, &result)) return result;
  int index = static_cast<int>(static_cast<INT_PTR>(wParam));
  switch (message) {
    case WM_CREATE: {
      DWORD style = StyleOf(window);
      list.hasStrings = !IsOwnerDrawn(style) || (style & LBS_HASSTRINGS) != 0;
      list.sorted = (style & LBS_SORT) != 0;
      list.multiple = (style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) != 0;
      if ((style & LBS_OWNERDRAWFIXED) != 0) {
        // Fixed rows are measured once, as item 0, when the box is made.
        state->itemHeight = SendMeasureItem(window, ODT_LISTBOX, 0, static_cast<UINT>(WidthOf(ClientRectOf(window))),
                                            kCharHeight, 0);
      }
      SyncScrollBar(window, *state);
      return 0;
    }
    case WM_PAINT:
    case WM_PRINTCLIENT:
      return PaintControl(window, *state, message, wParam,
                          [&](HDC dc, const RECT& client) { Paint(window, *state, dc, client); });
    case WM_ERASEBKGND:
      return 1;  // the paint fills the whole box
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFOCUS:
      state->focused = true;
      InvalidateRect(window, nullptr, TRUE);
      if ((StyleOf(window) & LBS_NOTIFY) != 0) NotifyCommand(window, LBN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      state->focused = false;
      if (state->tracking) {
        state->tracking = false;
        if (GetCapture() == window) ReleaseCapture();
      }
      InvalidateRect(window, nullptr, TRUE);
      if ((StyleOf(window) & LBS_NOTIFY) != 0) NotifyCommand(window, LBN_KILLFOCUS);
      return 0;
    case WM_LBUTTONDOWN: {
      if (GetFocus() != window) SetFocus(window);
      int row = RowFromPoint(window, *state, PointFromLParam(lParam));
      if (row < 0) return 0;
      UserSelect(window, *state, row, list.multiple);
      state->tracking = true;
      SetCapture(window);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (state->tracking && !list.multiple) {
        int row = RowFromPoint(window, *state, PointFromLParam(lParam));
        if (row >= 0) UserSelect(window, *state, row, false);
      }
      return 0;
    case WM_LBUTTONUP:
      // One LBN_SELCHANGE per click, when the button comes up, as Windows sends it.
      if (!state->tracking) return 0;
      state->tracking = false;
      if (GetCapture() == window) ReleaseCapture();
      if (list.Count() > 0) SendSelChange(window);
      return 0;
    case WM_LBUTTONDBLCLK:
      if ((StyleOf(window) & LBS_NOTIFY) != 0) NotifyCommand(window, LBN_DBLCLK);
      return 0;
    case WM_KEYDOWN:
      return HandleKey(window, *state, static_cast<int>(wParam));
    case WM_CHAR: {
      // Type-ahead: the next row that starts with the character.
      if (!list.hasStrings || wParam < 0x20) return 0;
      WCHAR prefix[2] = {static_cast<WCHAR>(wParam), 0};
      LRESULT found = list.Find(list.caret, prefix, false);
      if (found != LB_ERR && !list.multiple && UserSelect(window, *state, static_cast<int>(found), false)) {
        SendSelChange(window);
      }
      return 0;
    }
    case WM_VSCROLL:
      ScrollTo(window, *state, LOWORD(wParam), HIWORD(wParam));
      return 0;

    case LB_ADDSTRING:
    case LB_INSERTSTRING: {
      int at = message == LB_ADDSTRING ? -1 : index;
      if (message == LB_INSERTSTRING && at == -1) at = list.Count();
      LRESULT inserted = list.Insert(window, at, lParam);
      if (inserted >= 0 && (StyleOf(window) & LBS_OWNERDRAWVARIABLE) != 0) {
        state->itemHeight = std::max<UINT>(
            state->itemHeight, SendMeasureItem(window, ODT_LISTBOX, static_cast<UINT>(inserted),
                                               static_cast<UINT>(WidthOf(ClientRectOf(window))), kCharHeight,
                                               list.items[static_cast<size_t>(inserted)].data));
      }
      if (inserted >= 0) Changed(window, *state);
      return inserted;
    }
    case LB_DELETESTRING: {
      if (!list.Valid(index)) return LB_ERR;
      ULONG_PTR data = list.items[static_cast<size_t>(index)].data;
      list.Erase(index);
      if (IsOwnerDrawn(StyleOf(window)) || data != 0) SendDeleteItem(window, ODT_LISTBOX, static_cast<UINT>(index), data);
      Changed(window, *state);
      return list.Count();
    }
    case LB_RESETCONTENT: {
      std::vector<ListItem> removed;
      removed.swap(list.items);
      list.selection = list.caret = -1;
      list.top = 0;
      bool ownerDrawn = IsOwnerDrawn(StyleOf(window));
      for (size_t i = 0; i < removed.size(); ++i) {
        if (ownerDrawn || removed[i].data != 0) SendDeleteItem(window, ODT_LISTBOX, static_cast<UINT>(i), removed[i].data);
      }
      Changed(window, *state);
      return LB_OKAY;
    }
    case LB_GETCOUNT:
      return list.Count();
    case LB_GETTEXT:
      return list.CopyText(index, lParam);
    case LB_GETTEXTLEN:
      return list.TextLength(index);
    case LB_GETITEMDATA:
      return list.Valid(index) ? static_cast<LRESULT>(list.items[static_cast<size_t>(index)].data) : LB_ERR;
    case LB_SETITEMDATA:
      if (!list.Valid(index)) return LB_ERR;
      list.items[static_cast<size_t>(index)].data = static_cast<ULONG_PTR>(lParam);
      return TRUE;
    case LB_GETCURSEL:
      if (list.multiple) return list.caret >= 0 ? list.caret : LB_ERR;
      return list.selection >= 0 ? list.selection : LB_ERR;
    case LB_SETCURSEL:
      if (list.multiple) return LB_ERR;
      if (index == -1) {
        list.selection = -1;
        InvalidateRect(window, nullptr, TRUE);
        return LB_ERR;  // as Windows answers for a cleared selection
      }
      if (!list.Valid(index)) return LB_ERR;
      list.selection = list.caret = index;
      list.EnsureVisible(index, VisibleRows(window, *state));
      Changed(window, *state);
      return index;
    case LB_SETSEL: {
      if (!list.multiple) return LB_ERR;
      int row = static_cast<int>(lParam);
      if (row == -1) {
        for (ListItem& item : list.items) item.selected = wParam != 0;
      } else if (list.Valid(row)) {
        list.items[static_cast<size_t>(row)].selected = wParam != 0;
      } else {
        return LB_ERR;
      }
      InvalidateRect(window, nullptr, TRUE);
      return LB_OKAY;
    }
    case LB_GETSEL:
      if (!list.Valid(index)) return LB_ERR;
      return list.multiple ? (list.items[static_cast<size_t>(index)].selected ? 1 : 0) : (index == list.selection ? 1 : 0);
    case LB_GETSELCOUNT:
      if (!list.multiple) return LB_ERR;
      return std::count_if(list.items.begin(), list.items.end(), [](const ListItem& item) { return item.selected; });
    case LB_GETSELITEMS: {
      if (!list.multiple || lParam == 0) return LB_ERR;
      auto* target = reinterpret_cast<int*>(lParam);
      int written = 0;
      for (int row = 0; row < list.Count() && written < index; ++row) {
        if (list.items[static_cast<size_t>(row)].selected) target[written++] = row;
      }
      return written;
    }
    case LB_FINDSTRING:
    case LB_FINDSTRINGEXACT:
      return list.Find(index, reinterpret_cast<LPCWSTR>(lParam), message == LB_FINDSTRINGEXACT);
    case LB_SELECTSTRING: {
      if (list.multiple) return LB_ERR;
      LRESULT found = list.Find(index, reinterpret_cast<LPCWSTR>(lParam), false);
      if (found == LB_ERR) return LB_ERR;
      return ListBoxProc(window, LB_SETCURSEL, static_cast<WPARAM>(found), 0);
    }
    case LB_GETTOPINDEX:
      return list.top;
    case LB_SETTOPINDEX:
      if (!list.Valid(index) && !(index == 0 && list.Count() == 0)) return LB_ERR;
      list.top = index;
      Changed(window, *state);
      return LB_OKAY;
    case LB_GETCARETINDEX:
      return list.caret >= 0 ? list.caret : (list.multiple ? 0 : LB_ERR);
    case LB_SETCARETINDEX:
      if (!list.Valid(index)) return LB_ERR;
      list.caret = index;
      list.EnsureVisible(index, VisibleRows(window, *state));
      Changed(window, *state);
      return LB_OKAY;
    case LB_GETITEMHEIGHT:
      return static_cast<LRESULT>(state->itemHeight);
    case LB_SETITEMHEIGHT: {
      UINT height = LOWORD(static_cast<DWORD_PTR>(lParam));
      if (height == 0 || height > 255) return LB_ERR;
      state->itemHeight = height;
      Changed(window, *state);
      return LB_OKAY;
    }
    case LB_GETITEMRECT: {
      if (lParam == 0 || (!list.Valid(index) && !(index == 0 && list.Count() == 0))) return LB_ERR;
      RECT rows = RowsRect(window, *state, nullptr);
      int height = static_cast<int>(state->itemHeight);
      RECT item{rows.left, rows.top + (index - list.top) * height, rows.right, rows.top + (index - list.top + 1) * height};
      *reinterpret_cast<RECT*>(lParam) = item;
      return 1;
    }
    case LB_ITEMFROMPOINT: {
      POINT point = PointFromLParam(lParam);
      RECT rows = RowsRect(window, *state, nullptr);
      int row = list.top + (point.y - rows.top) / static_cast<int>(state->itemHeight);
      bool outside = !PtInRect(&rows, point) || !list.Valid(row);
      row = ClampInt(row, 0, std::max(list.Count() - 1, 0));
      return MAKELONG(static_cast<WORD>(row), outside ? 1 : 0);
    }
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace velm::ui

void UiSetListInsertFault(HWND control, int successes) {
  std::lock_guard<std::mutex> lock(velm::ui::g_faultMutex);
  velm::ui::g_fault.active = successes >= 0;
  velm::ui::g_fault.target = control;
  velm::ui::g_fault.successes = successes;
}
