// The combo box ("COMBOBOX"): a selection field (a drop list's, or the "EDIT" child with id 1001
// of CBS_DROPDOWN and CBS_SIMPLE) over the same item list a list box keeps.
//
// The dropped list is simulated in the combo itself: it lies right below the field, the combo
// holds the capture while it is down, and mouse messages sent to the combo at points in that
// area reach the list (UiComboListRect). Picking a row sends CBN_SELENDOK, CBN_CLOSEUP, then
// CBN_SELCHANGE; dropping sends CBN_DROPDOWN first; closing without a pick sends CBN_SELENDCANCEL
// then CBN_CLOSEUP. CB_SETCURSEL notifies nothing.
#include <algorithm>

#include "ui/controls_internal.h"

namespace velm::ui {
namespace {

struct ComboState : ControlState {
  ListModel list;
  bool dropped = false;
  int highlight = -1;
  UINT fieldHeight = kCharHeight;
  UINT itemHeight = kCharHeight;
  int droppedHeight = 0;  // the height the combo was made with: its field and dropped list
  HWND edit = nullptr;
  bool focused = false;
  bool openingClick = false;  // the button-up of the click that dropped the list keeps it down
  bool quietEdit = false;     // the combo itself sets the edit's text
};

DWORD KindOf(DWORD style) { return style & 3; }
bool HasEdit(DWORD style) { return KindOf(style) == CBS_DROPDOWN || KindOf(style) == CBS_SIMPLE; }
bool IsOwnerDrawn(DWORD style) { return (style & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)) != 0; }

int FieldBottom(const ComboState& state) { return static_cast<int>(state.fieldHeight) + 6; }

int ListRows(const ComboState& state) { return std::min(std::max(state.list.Count(), 1), kComboDroppedRows); }

RECT ListRect(HWND window, const ComboState& state) {
  RECT client = ClientRectOf(window);
  int top = FieldBottom(state);
  if (KindOf(StyleOf(window)) == CBS_SIMPLE) return RECT{client.left, top, client.right, client.bottom};
  return RECT{client.left, top, client.right, top + ListRows(state) * static_cast<int>(state.itemHeight) + 2};
}

int RowAt(HWND window, const ComboState& state, POINT point) {
  RECT list = ListRect(window, state);
  if (!PtInRect(&list, point)) return -1;
  int row = state.list.top + (point.y - list.top - 1) / static_cast<int>(state.itemHeight);
  return state.list.Valid(row) ? row : -1;
}

std::u16string ItemText(const ComboState& state, int row) {
  if (!state.list.Valid(row) || !state.list.hasStrings) return {};
  return state.list.items[static_cast<size_t>(row)].text;
}

void SyncEdit(ComboState& state) {
  if (state.edit == nullptr) return;
  state.quietEdit = true;
  std::u16string text = ItemText(state, state.list.selection);
  SetWindowTextW(state.edit, text.c_str());
  SendMessageW(state.edit, EM_SETSEL, 0, -1);
  state.quietEdit = false;
}

void DrawRow(HWND window, ComboState& state, HDC dc, int row, UINT action) {
  RECT list = ListRect(window, state);
  int height = static_cast<int>(state.itemHeight);
  RECT item{list.left + 1, list.top + 1 + (row - state.list.top) * height, list.right - 1, 0};
  item.bottom = item.top + height;
  bool highlighted = row == state.highlight;
  const ListItem& entry = state.list.items[static_cast<size_t>(row)];
  if (IsOwnerDrawn(StyleOf(window))) {
    SendDrawItem(window, ODT_COMBOBOX, static_cast<UINT>(row), action, highlighted ? ODS_SELECTED | ODS_FOCUS : 0, dc,
                 item, entry.data);
    return;
  }
  FillSolid(dc, item, highlighted ? COLOR_HIGHLIGHT : COLOR_WINDOW);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(highlighted ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  RECT text = item;
  text.left += 2;
  DrawLabel(dc, entry.text, text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

void DrawList(HWND window, ComboState& state, HDC dc, UINT action) {
  RECT list = ListRect(window, state);
  ControlColor(window, dc, WM_CTLCOLORLISTBOX);
  FrameRect(dc, &list, GetSysColorBrush(COLOR_WINDOWTEXT));
  RECT inside = list;
  InflateRect(&inside, -1, -1);
  FillSolid(dc, inside, COLOR_WINDOW);
  int rows = std::max(HeightOf(inside) / static_cast<int>(state.itemHeight), 1);
  for (int row = state.list.top; row < state.list.Count() && row < state.list.top + rows; ++row) {
    DrawRow(window, state, dc, row, action);
  }
}

// A dropped list redraws the rows whose highlight changes at once, as the list's own window does.
void MoveHighlight(HWND window, ComboState& state, int row) {
  if (row == state.highlight) return;
  int previous = state.highlight;
  state.highlight = row;
  int visible = KindOf(StyleOf(window)) == CBS_SIMPLE
                    ? std::max((HeightOf(ListRect(window, state)) - 2) / static_cast<int>(state.itemHeight), 1)
                    : kComboDroppedRows;
  state.list.EnsureVisible(row, visible);
  HDC dc = GetDC(window);
  const HGDIOBJ oldFont = dc && state.font ? SelectObject(dc, state.font) : nullptr;
  if (state.list.Valid(previous)) DrawRow(window, state, dc, previous, ODA_SELECT);
  if (state.list.Valid(row)) DrawRow(window, state, dc, row, ODA_SELECT);
  if (oldFont) SelectObject(dc, oldFont);
  if (dc != nullptr) ReleaseDC(window, dc);
}

void DropDown(HWND window, ComboState& state) {
  if (state.dropped || KindOf(StyleOf(window)) == CBS_SIMPLE) return;
  NotifyCommand(window, CBN_DROPDOWN);
  auto alive = FindControlState(window);
  if (alive == nullptr) return;
  state.dropped = true;
  state.highlight = state.list.selection;
  state.list.EnsureVisible(state.highlight, kComboDroppedRows);
  SetCapture(window);
  InvalidateRect(window, nullptr, TRUE);
}

// Closes the list; `picked` is the row the user chose, or -1 for closing without a choice.
void CloseUp(HWND window, ComboState& state, int picked) {
  if (!state.dropped) return;
  state.dropped = false;
  state.openingClick = false;
  state.highlight = -1;
  if (GetCapture() == window) ReleaseCapture();
  if (picked >= 0) {
    state.list.selection = picked;
    SyncEdit(state);
  }
  InvalidateRect(window, nullptr, TRUE);
  NotifyCommand(window, picked >= 0 ? CBN_SELENDOK : CBN_SELENDCANCEL);
  NotifyCommand(window, CBN_CLOSEUP);
  if (picked >= 0) NotifyCommand(window, CBN_SELCHANGE);
}

// A selection change by key or type-ahead: CBN_SELCHANGE when it moved.
void KeySelect(HWND window, ComboState& state, int row) {
  if (!state.list.Valid(row) || row == state.list.selection) return;
  state.list.selection = row;
  if (state.dropped || KindOf(StyleOf(window)) == CBS_SIMPLE) MoveHighlight(window, state, row);
  SyncEdit(state);
  InvalidateRect(window, nullptr, TRUE);
  NotifyCommand(window, CBN_SELCHANGE);
}

void HandleKey(HWND window, ComboState& state, int key) {
  int count = state.list.Count();
  int current = state.list.selection;
  if (key == VK_F1 + 3 || (key == VK_DOWN && KeyDown(VK_MENU)) || (key == VK_UP && KeyDown(VK_MENU))) {  // F4, Alt+arrows
    if (state.dropped) {
      CloseUp(window, state, state.highlight);
    } else {
      DropDown(window, state);
    }
    return;
  }
  if (state.dropped && key == VK_RETURN) return CloseUp(window, state, state.highlight);
  if (state.dropped && key == VK_ESCAPE) return CloseUp(window, state, -1);
  if (count == 0) return;
  switch (key) {
    case VK_UP:
    case VK_LEFT: KeySelect(window, state, current <= 0 ? 0 : current - 1); break;
    case VK_DOWN:
    case VK_RIGHT: KeySelect(window, state, current < 0 ? 0 : std::min(current + 1, count - 1)); break;
    case VK_HOME: KeySelect(window, state, 0); break;
    case VK_END: KeySelect(window, state, count - 1); break;
    case VK_PRIOR: KeySelect(window, state, std::max(current - (kComboDroppedRows - 1), 0)); break;
    case VK_NEXT: KeySelect(window, state, std::min(std::max(current, 0) + kComboDroppedRows - 1, count - 1)); break;
    default: break;
  }
}

void PaintCombo(HWND window, ComboState& state, HDC dc, const RECT& client) {
  DWORD style = StyleOf(window);
  bool enabled = IsWindowEnabled(window) != FALSE;
  RECT field{client.left, client.top, client.right, client.top + FieldBottom(state)};
  if (KindOf(style) == CBS_SIMPLE) {
    FillSolid(dc, field, COLOR_BTNFACE);
    DrawList(window, state, dc, ODA_DRAWENTIRE);
    return;
  }
  HBRUSH background = ControlColor(window, dc, enabled ? WM_CTLCOLOREDIT : WM_CTLCOLORSTATIC);
  RECT inner = field;
  DrawEdge(dc, &inner, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  FillRect(dc, &inner, background);
  RECT button{inner.right - kScrollArrow, inner.top, inner.right, inner.bottom};
  DrawPushFace(dc, button, state.dropped, false);
  DrawArrow(dc, button, ArrowDirection::kDown, enabled);
  if (KindOf(style) == CBS_DROPDOWNLIST) {
    RECT selection{inner.left + 1, inner.top + 1, button.left - 1, inner.bottom - 1};
    int row = state.list.selection;
    bool highlighted = state.focused && !state.dropped;
    if (IsOwnerDrawn(style)) {
      UINT itemState = ODS_COMBOBOXEDIT | (highlighted ? ODS_SELECTED | ODS_FOCUS : 0) | (enabled ? 0 : ODS_DISABLED);
      SendDrawItem(window, ODT_COMBOBOX, static_cast<UINT>(row), ODA_DRAWENTIRE, itemState, dc, selection,
                   state.list.Valid(row) ? state.list.items[static_cast<size_t>(row)].data : 0);
    } else {
      if (highlighted) {
        FillSolid(dc, selection, COLOR_HIGHLIGHT);
        SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        SetBkColor(dc, GetSysColor(COLOR_HIGHLIGHT));
      }
      if (!enabled) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
      RECT text = selection;
      text.left += 2;
      DrawLabel(dc, ItemText(state, row), text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
      if (highlighted) DrawFocusRect(dc, &selection);
    }
  }
  if (state.dropped) DrawList(window, state, dc, ODA_DRAWENTIRE);
}

void Measure(HWND window, ComboState& state) {
  DWORD style = StyleOf(window);
  if ((style & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)) == 0) return;
  UINT width = static_cast<UINT>(WidthOf(ClientRectOf(window)));
  // The selection field is measured as item -1, then the rows as item 0.
  state.fieldHeight = SendMeasureItem(window, ODT_COMBOBOX, static_cast<UINT>(-1), width, kCharHeight, 0);
  if ((style & CBS_OWNERDRAWFIXED) != 0) {
    state.itemHeight = SendMeasureItem(window, ODT_COMBOBOX, 0, width, kCharHeight, 0);
  }
}

LRESULT EditCommand(HWND window, ComboState& state, WORD code) {
  switch (code) {
    case EN_UPDATE:
      if (!state.quietEdit) NotifyCommand(window, CBN_EDITUPDATE);
      break;
    case EN_CHANGE:
      if (!state.quietEdit) NotifyCommand(window, CBN_EDITCHANGE);
      break;
    case EN_SETFOCUS:
      if (!state.focused) {
        state.focused = true;
        NotifyCommand(window, CBN_SETFOCUS);
      }
      break;
    case EN_KILLFOCUS:
      if (state.focused) {
        state.focused = false;
        CloseUp(window, state, -1);
        NotifyCommand(window, CBN_KILLFOCUS);
      }
      break;
    default:
      break;
  }
  return 0;
}

}  // namespace

LRESULT ComboBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto state = ControlStateOf<ComboState>(window);
  ListModel& list = state->list;
  LRESULT result = 0;
  if (message == WM_SETFONT && state->edit != nullptr) SendMessageW(state->edit, WM_SETFONT, wParam, lParam);
  if (HandleCommonMessage(window, *state, message, wParam, lParam, &result)) return result;
  DWORD style = StyleOf(window);
  int index = static_cast<int>(static_cast<INT_PTR>(wParam));
  switch (message) {
    case WM_CREATE: {
      list.hasStrings = !IsOwnerDrawn(style) || (style & CBS_HASSTRINGS) != 0;
      list.sorted = (style & CBS_SORT) != 0;
      Measure(window, *state);
      RECT client = ClientRectOf(window);
      state->droppedHeight = HeightOf(client);
      if (HasEdit(style)) {
        DWORD editStyle = WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | ES_NOHIDESEL |
                          ((style & CBS_UPPERCASE) != 0 ? ES_UPPERCASE : 0) |
                          ((style & CBS_LOWERCASE) != 0 ? ES_LOWERCASE : 0);
        int right = KindOf(style) == CBS_SIMPLE ? WidthOf(client) - 2 : WidthOf(client) - 2 - kScrollArrow;
        state->edit = CreateWindowExW(0, WC_EDITW, u"", editStyle, 3, 3, std::max(right - 3, 1),
                                      static_cast<int>(state->fieldHeight), window,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kComboEditId)), nullptr, nullptr);
      }
      if (KindOf(style) != CBS_SIMPLE) {
        // As on Windows, the window keeps the field's height; the rest was the dropped list's.
        SetWindowPos(window, nullptr, 0, 0, WidthOf(client), FieldBottom(*state),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
      }
      return 0;
    }
    case WM_PAINT:
    case WM_PRINTCLIENT:
      return PaintControl(window, *state, message, wParam,
                          [&](HDC dc, const RECT& client) { PaintCombo(window, *state, dc, client); });
    case WM_ERASEBKGND:
      return 1;
    case WM_GETDLGCODE: {
      LRESULT code = DLGC_WANTARROWS | DLGC_WANTCHARS;
      const MSG* pending = reinterpret_cast<const MSG*>(lParam);
      if (state->dropped && pending != nullptr && pending->message == WM_KEYDOWN &&
          (pending->wParam == static_cast<WPARAM>(VK_RETURN) || pending->wParam == static_cast<WPARAM>(VK_ESCAPE))) {
        code |= DLGC_WANTMESSAGE;  // Return and Escape close the list, not the dialog
      }
      return code;
    }
    case WM_COMMAND:
      if (reinterpret_cast<HWND>(lParam) == state->edit && state->edit != nullptr) {
        return EditCommand(window, *state, HIWORD(wParam));
      }
      return 0;
    case WM_SETFOCUS:
      if (state->edit != nullptr) {
        SetFocus(state->edit);
        return 0;
      }
      state->focused = true;
      InvalidateRect(window, nullptr, TRUE);
      NotifyCommand(window, CBN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS: {
      if (state->edit != nullptr && reinterpret_cast<HWND>(wParam) == state->edit) return 0;
      CloseUp(window, *state, -1);
      if (state->edit != nullptr) return 0;  // the edit's EN_KILLFOCUS says it
      state->focused = false;
      InvalidateRect(window, nullptr, TRUE);
      NotifyCommand(window, CBN_KILLFOCUS);
      return 0;
    }
    case WM_LBUTTONDOWN: {
      POINT point = PointFromLParam(lParam);
      if (KindOf(style) == CBS_SIMPLE) {
        int row = RowAt(window, *state, point);
        if (row >= 0) {
          list.selection = row;
          MoveHighlight(window, *state, row);
          SyncEdit(*state);
          NotifyCommand(window, CBN_SELCHANGE);
        }
        return 0;
      }
      if (!state->dropped) {
        if (GetFocus() != window && (state->edit == nullptr || GetFocus() != state->edit)) SetFocus(window);
        DropDown(window, *state);
        state->openingClick = true;
        return 0;
      }
      int row = RowAt(window, *state, point);
      if (row >= 0) {
        MoveHighlight(window, *state, row);
        return 0;
      }
      CloseUp(window, *state, -1);  // a click on the field or outside closes without a choice
      return 0;
    }
    case WM_MOUSEMOVE:
      if (state->dropped) {
        int row = RowAt(window, *state, PointFromLParam(lParam));
        if (row >= 0) MoveHighlight(window, *state, row);
      }
      return 0;
    case WM_LBUTTONUP: {
      if (!state->dropped) return 0;
      int row = RowAt(window, *state, PointFromLParam(lParam));
      if (row >= 0) {
        CloseUp(window, *state, row);
      } else {
        state->openingClick = false;
      }
      return 0;
    }
    case WM_CAPTURECHANGED:
      if (state->dropped && reinterpret_cast<HWND>(lParam) != window) CloseUp(window, *state, -1);
      return 0;
    case WM_KEYDOWN:
      HandleKey(window, *state, static_cast<int>(wParam));
      return 0;
    case WM_CHAR: {
      if (state->edit != nullptr) return SendMessageW(state->edit, WM_CHAR, wParam, lParam);
      if (!list.hasStrings || wParam < 0x20) return 0;
      WCHAR prefix[2] = {static_cast<WCHAR>(wParam), 0};
      LRESULT found = list.Find(list.selection, prefix, false);
      if (found != CB_ERR) KeySelect(window, *state, static_cast<int>(found));
      return 0;
    }
    case WM_GETTEXTLENGTH:
      if (state->edit != nullptr) return GetWindowTextLengthW(state->edit);
      return static_cast<LRESULT>(ItemText(*state, list.selection).size());
    case WM_GETTEXT: {
      if (state->edit != nullptr) return GetWindowTextW(state->edit, reinterpret_cast<LPWSTR>(lParam), index);
      auto* buffer = reinterpret_cast<WCHAR*>(lParam);
      if (buffer == nullptr || wParam == 0) return 0;
      std::u16string text = ItemText(*state, list.selection);
      size_t copied = std::min(text.size(), static_cast<size_t>(wParam) - 1);
      std::copy_n(text.begin(), copied, buffer);
      buffer[copied] = 0;
      return static_cast<LRESULT>(copied);
    }
    case WM_SETTEXT: {
      if (state->edit != nullptr) {
        state->quietEdit = true;
        SetWindowTextW(state->edit, reinterpret_cast<LPCWSTR>(lParam));
        state->quietEdit = false;
        return TRUE;
      }
      LRESULT found = list.Find(-1, reinterpret_cast<LPCWSTR>(lParam), true);
      if (found == CB_ERR) return CB_ERR;
      list.selection = static_cast<int>(found);
      InvalidateRect(window, nullptr, TRUE);
      return TRUE;
    }
    case WM_ENABLE:
      if (state->edit != nullptr) EnableWindow(state->edit, wParam != 0 ? TRUE : FALSE);
      InvalidateRect(window, nullptr, TRUE);
      return 0;

    case CB_ADDSTRING:
    case CB_INSERTSTRING: {
      int at = message == CB_ADDSTRING ? -1 : index;
      if (message == CB_INSERTSTRING && at == -1) at = list.Count();
      LRESULT inserted = list.Insert(window, at, lParam);
      if (inserted >= 0 && (style & CBS_OWNERDRAWVARIABLE) != 0) {
        state->itemHeight = std::max<UINT>(
            state->itemHeight, SendMeasureItem(window, ODT_COMBOBOX, static_cast<UINT>(inserted),
                                               static_cast<UINT>(WidthOf(ClientRectOf(window))), kCharHeight,
                                               list.items[static_cast<size_t>(inserted)].data));
      }
      if (inserted >= 0) InvalidateRect(window, nullptr, TRUE);
      return inserted;
    }
    case CB_DELETESTRING: {
      if (!list.Valid(index)) return CB_ERR;
      ULONG_PTR data = list.items[static_cast<size_t>(index)].data;
      list.Erase(index);
      if (state->highlight >= list.Count()) state->highlight = list.Count() - 1;
      if (IsOwnerDrawn(style) || data != 0) SendDeleteItem(window, ODT_COMBOBOX, static_cast<UINT>(index), data);
      InvalidateRect(window, nullptr, TRUE);
      return list.Count();
    }
    case CB_RESETCONTENT: {
      std::vector<ListItem> removed;
      removed.swap(list.items);
      list.selection = list.caret = -1;
      list.top = 0;
      state->highlight = -1;
      for (size_t i = 0; i < removed.size(); ++i) {
        if (IsOwnerDrawn(style) || removed[i].data != 0) {
          SendDeleteItem(window, ODT_COMBOBOX, static_cast<UINT>(i), removed[i].data);
        }
      }
      SyncEdit(*state);
      InvalidateRect(window, nullptr, TRUE);
      return CB_OKAY;
    }
    case CB_GETCOUNT:
      return list.Count();
    case CB_GETLBTEXT:
      return list.CopyText(index, lParam);
    case CB_GETLBTEXTLEN:
      return list.TextLength(index);
    case CB_GETITEMDATA:
      return list.Valid(index) ? static_cast<LRESULT>(list.items[static_cast<size_t>(index)].data) : CB_ERR;
    case CB_SETITEMDATA:
      if (!list.Valid(index)) return CB_ERR;
      list.items[static_cast<size_t>(index)].data = static_cast<ULONG_PTR>(lParam);
      return TRUE;
    case CB_GETCURSEL:
      return list.selection >= 0 ? list.selection : CB_ERR;
    case CB_SETCURSEL:
      // An index out of range (or -1) clears the selection and answers CB_ERR.
      list.selection = list.Valid(index) ? index : -1;
      if (state->dropped) state->highlight = list.selection;
      if (list.selection >= 0) list.EnsureVisible(index, kComboDroppedRows);
      SyncEdit(*state);
      InvalidateRect(window, nullptr, TRUE);
      return list.selection >= 0 ? list.selection : CB_ERR;
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT:
      return list.Find(index, reinterpret_cast<LPCWSTR>(lParam), message == CB_FINDSTRINGEXACT);
    case CB_SELECTSTRING: {
      LRESULT found = list.Find(index, reinterpret_cast<LPCWSTR>(lParam), false);
      if (found == CB_ERR) return CB_ERR;
      return ComboBoxProc(window, CB_SETCURSEL, static_cast<WPARAM>(found), 0);
    }
    case CB_SHOWDROPDOWN:
      if (wParam != 0) {
        DropDown(window, *state);
      } else {
        CloseUp(window, *state, -1);
      }
      return TRUE;
    case CB_GETDROPPEDSTATE:
      return state->dropped ? TRUE : FALSE;
    case CB_GETDROPPEDCONTROLRECT: {
      if (lParam == 0) return CB_ERR;
      RECT rect{};
      GetWindowRect(window, &rect);
      rect.bottom = rect.top + ListRect(window, *state).bottom;
      *reinterpret_cast<RECT*>(lParam) = rect;
      return CB_OKAY;
    }
    case CB_GETITEMHEIGHT:
      if (index == -1) return static_cast<LRESULT>(state->fieldHeight);
      return static_cast<LRESULT>(state->itemHeight);
    case CB_SETITEMHEIGHT: {
      UINT height = LOWORD(static_cast<DWORD_PTR>(lParam));
      if (height == 0 || height > 255) return CB_ERR;
      if (index == -1) {
        state->fieldHeight = height;
        if (KindOf(style) != CBS_SIMPLE) {
          SetWindowPos(window, nullptr, 0, 0, WidthOf(ClientRectOf(window)), FieldBottom(*state),
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
      } else {
        state->itemHeight = height;
      }
      InvalidateRect(window, nullptr, TRUE);
      return CB_OKAY;
    }
    case CB_GETTOPINDEX:
      return list.top;
    case CB_SETTOPINDEX:
      if (!list.Valid(index)) return CB_ERR;
      list.top = index;
      list.ClampTop(kComboDroppedRows);
      InvalidateRect(window, nullptr, TRUE);
      return CB_OKAY;
    case CB_LIMITTEXT:
      if (state->edit == nullptr) return CB_ERR;
      SendMessageW(state->edit, EM_LIMITTEXT, wParam, 0);
      return TRUE;
    case CB_GETEDITSEL:
      if (state->edit == nullptr) return CB_ERR;
      return SendMessageW(state->edit, EM_GETSEL, wParam, lParam);
    case CB_SETEDITSEL:
      if (state->edit == nullptr) return CB_ERR;
      SendMessageW(state->edit, EM_SETSEL, static_cast<WPARAM>(static_cast<SHORT>(LOWORD(static_cast<DWORD_PTR>(lParam)))),
                   static_cast<SHORT>(HIWORD(static_cast<DWORD_PTR>(lParam))));
      return TRUE;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace velm::ui

int UiComboHighlightedRow(HWND combo) {
  auto state = std::dynamic_pointer_cast<velm::ui::ComboState>(velm::ui::FindControlState(combo));
  if (state == nullptr || (!state->dropped && velm::ui::KindOf(velm::ui::StyleOf(combo)) != CBS_SIMPLE)) {
    return static_cast<int>(LB_ERR);
  }
  return state->dropped ? state->highlight : state->list.selection;
}

RECT UiComboListRect(HWND combo) {
  auto state = std::dynamic_pointer_cast<velm::ui::ComboState>(velm::ui::FindControlState(combo));
  if (state == nullptr) return RECT{};
  return velm::ui::ListRect(combo, *state);
}
