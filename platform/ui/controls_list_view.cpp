// The list view ("SysListView32") in report view: columns, rows with sub-item texts and lParam,
// item states (LVIS_SELECTED, LVIS_FOCUSED, state images), owner-drawn rows (LVS_OWNERDRAWFIXED).
//
// Every state change, whether by LVM_SETITEMSTATE or by the user, asks LVN_ITEMCHANGING (TRUE
// refuses) and reports LVN_ITEMCHANGED with NMLISTVIEW {iItem, uNewState, uOldState, uChanged =
// LVIF_STATE, lParam}, as Windows does. Focus moving to a row first takes it from the old one;
// selecting a row of a single-selection view first clears the others.
#include <algorithm>

#include "core/strings.h"
#include "ui/controls_internal.h"

namespace velm::ui {
namespace {

struct Column {
  std::u16string text;
  int width = 50;
  int format = LVCFMT_LEFT;
  int subItem = 0;
};

struct Row {
  std::vector<std::u16string> texts;  // [0] = the item, [n] = sub-item n
  LPARAM data = 0;
  UINT state = 0;
  int image = 0;
  int indent = 0;
};

struct ListViewState : ControlState {
  std::vector<Column> columns;
  std::vector<Row> rows;
  int top = 0;
  int rowHeight = kListViewRowHeight;
  DWORD extended = 0;
  COLORREF background = 0;
  bool backgroundSet = false;
  bool focused = false;
};

constexpr UINT kStateBits = LVIS_FOCUSED | LVIS_SELECTED | LVIS_CUT | LVIS_DROPHILITED | 0x0F00 | LVIS_STATEIMAGEMASK;

bool Valid(const ListViewState& state, int index) { return index >= 0 && index < static_cast<int>(state.rows.size()); }

bool HasHeader(HWND window) { return (StyleOf(window) & LVS_NOCOLUMNHEADER) == 0; }

RECT InnerRect(HWND window) { return ControlInnerRect(window); }

int RowsTop(HWND window) { return InnerRect(window).top + (HasHeader(window) ? kListViewHeaderHeight : 0); }

int VisibleRows(HWND window, const ListViewState& state) {
  RECT inner = InnerRect(window);
  return std::max((inner.bottom - RowsTop(window)) / state.rowHeight, 1);
}

int ColumnLeft(const ListViewState& state, size_t column) {
  int left = 0;
  for (size_t i = 0; i < column && i < state.columns.size(); ++i) left += state.columns[i].width;
  return left;
}

int TotalWidth(const ListViewState& state) { return ColumnLeft(state, state.columns.size()); }

RECT RowRect(HWND window, const ListViewState& state, int index) {
  RECT inner = InnerRect(window);
  int top = RowsTop(window) + (index - state.top) * state.rowHeight;
  return RECT{inner.left, top, inner.left + std::max(TotalWidth(state), 0), top + state.rowHeight};
}

const std::u16string& TextOf(const Row& row, int subItem) {
  static const std::u16string kEmpty;
  return subItem >= 0 && static_cast<size_t>(subItem) < row.texts.size() ? row.texts[static_cast<size_t>(subItem)]
                                                                           : kEmpty;
}

void SetText(Row& row, int subItem, LPCWSTR text) {
  if (subItem < 0) return;
  if (row.texts.size() <= static_cast<size_t>(subItem)) row.texts.resize(static_cast<size_t>(subItem) + 1);
  row.texts[static_cast<size_t>(subItem)] = text != nullptr ? text : u"";
}

LRESULT NotifyItem(HWND window, UINT code, int item, UINT newState, UINT oldState, UINT changed, LPARAM data) {
  NMLISTVIEW info{};
  info.iItem = item;
  info.uNewState = newState;
  info.uOldState = oldState;
  info.uChanged = changed;
  info.lParam = data;
  return NotifyParent(window, &info.hdr, code);
}

// Changes the masked state bits of one row with LVN_ITEMCHANGING/LVN_ITEMCHANGED; false when
// the parent refused or the row is gone.
bool ChangeState(HWND window, ListViewState& state, int index, UINT value, UINT mask) {
  if (!Valid(state, index)) return false;
  mask &= kStateBits;
  UINT old = state.rows[static_cast<size_t>(index)].state;
  UINT now = (old & ~mask) | (value & mask);
  if (now == old) return true;
  LPARAM data = state.rows[static_cast<size_t>(index)].data;
  if (NotifyItem(window, LVN_ITEMCHANGING, index, now, old, LVIF_STATE, data) != 0) return false;
  if (FindControlState(window) == nullptr || !Valid(state, index)) return false;
  // The focus belongs to one row; a single-selection view has one selected row.
  if ((now & ~old & LVIS_FOCUSED) != 0) {
    for (int i = 0; i < static_cast<int>(state.rows.size()); ++i) {
      if (i != index && (state.rows[static_cast<size_t>(i)].state & LVIS_FOCUSED) != 0) {
        ChangeState(window, state, i, 0, LVIS_FOCUSED);
      }
    }
  }
  if ((now & ~old & LVIS_SELECTED) != 0 && (StyleOf(window) & LVS_SINGLESEL) != 0) {
    for (int i = 0; i < static_cast<int>(state.rows.size()); ++i) {
      if (i != index && (state.rows[static_cast<size_t>(i)].state & LVIS_SELECTED) != 0) {
        ChangeState(window, state, i, 0, LVIS_SELECTED);
      }
    }
  }
  if (FindControlState(window) == nullptr || !Valid(state, index)) return false;
  old = state.rows[static_cast<size_t>(index)].state;
  now = (old & ~mask) | (value & mask);
  state.rows[static_cast<size_t>(index)].state = now;
  InvalidateRect(window, nullptr, TRUE);
  NotifyItem(window, LVN_ITEMCHANGED, index, now, old, LVIF_STATE, data);
  return true;
}

void EnsureVisible(HWND window, ListViewState& state, int index) {
  if (!Valid(state, index)) return;
  int visible = VisibleRows(window, state);
  if (index < state.top) state.top = index;
  if (index >= state.top + visible) state.top = index - visible + 1;
  state.top = ClampInt(state.top, 0, std::max(static_cast<int>(state.rows.size()) - visible, 0));
  InvalidateRect(window, nullptr, TRUE);
}

// The user picks one row: the others lose their selection, the row takes selection and focus.
void UserPick(HWND window, ListViewState& state, int index) {
  for (int i = 0; i < static_cast<int>(state.rows.size()); ++i) {
    if (i != index && (state.rows[static_cast<size_t>(i)].state & LVIS_SELECTED) != 0) {
      ChangeState(window, state, i, 0, LVIS_SELECTED);
    }
  }
  if (index >= 0) {
    ChangeState(window, state, index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    EnsureVisible(window, state, index);
  }
}

int FocusedRow(const ListViewState& state) {
  for (int i = 0; i < static_cast<int>(state.rows.size()); ++i) {
    if ((state.rows[static_cast<size_t>(i)].state & LVIS_FOCUSED) != 0) return i;
  }
  return -1;
}

int HitRow(HWND window, const ListViewState& state, POINT point, int* subItem) {
  RECT inner = InnerRect(window);
  if (point.y < RowsTop(window) || point.x < inner.left || point.x >= inner.right || point.y >= inner.bottom) return -1;
  int row = state.top + (point.y - RowsTop(window)) / state.rowHeight;
  if (!Valid(state, row)) return -1;
  int x = point.x - inner.left;
  if (x >= TotalWidth(state) && !state.columns.empty()) return -1;
  if (subItem != nullptr) {
    *subItem = 0;
    for (size_t c = 0; c < state.columns.size(); ++c) {
      if (x >= ColumnLeft(state, c) && x < ColumnLeft(state, c + 1)) *subItem = static_cast<int>(c);
    }
  }
  return row;
}

void SendClick(HWND window, UINT code, int row, int subItem, POINT point) {
  NMITEMACTIVATE info{};
  info.iItem = row;
  info.iSubItem = subItem;
  info.ptAction = point;
  NotifyParent(window, &info.hdr, code);
}

UINT FormatOf(int format) {
  switch (format & 3) {
    case LVCFMT_RIGHT: return DT_RIGHT;
    case LVCFMT_CENTER: return DT_CENTER;
    default: return DT_LEFT;
  }
}

void PaintListView(HWND window, ListViewState& state, HDC dc, const RECT& client) {
  DWORD style = StyleOf(window);
  bool enabled = IsWindowEnabled(window) != FALSE;
  RECT inner = client;
  DrawControlFrame(dc, &inner, style, ExStyleOf(window));
  if (state.backgroundSet) {
    HBRUSH brush = CreateSolidBrush(state.background);
    FillRect(dc, &inner, brush);
    DeleteObject(reinterpret_cast<HGDIOBJ>(brush));
  } else {
    FillSolid(dc, inner, COLOR_WINDOW);
  }
  SetBkMode(dc, TRANSPARENT);
  if (HasHeader(window)) {
    for (size_t c = 0; c < state.columns.size(); ++c) {
      RECT cell{inner.left + ColumnLeft(state, c), inner.top, inner.left + ColumnLeft(state, c + 1),
                inner.top + kListViewHeaderHeight};
      cell.right = std::min(cell.right, inner.right);
      if (cell.left >= cell.right) break;
      DrawPushFace(dc, cell, false, false);
      SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
      RECT label = cell;
      InflateRect(&label, -6, 0);
      DrawLabel(dc, state.columns[c].text, label,
                DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | FormatOf(state.columns[c].format));
    }
    RECT rest{inner.left + TotalWidth(state), inner.top, inner.right, inner.top + kListViewHeaderHeight};
    if (rest.left < rest.right) DrawPushFace(dc, rest, false, false);
  }
  bool checkboxes = (state.extended & LVS_EX_CHECKBOXES) != 0;
  for (int i = state.top; i < static_cast<int>(state.rows.size()); ++i) {
    RECT row = RowRect(window, state, i);
    if (row.top >= inner.bottom) break;
    const Row& entry = state.rows[static_cast<size_t>(i)];
    bool selected = (entry.state & LVIS_SELECTED) != 0 && (state.focused || (style & LVS_SHOWSELALWAYS) != 0);
    bool hasFocus = state.focused && (entry.state & LVIS_FOCUSED) != 0;
    if ((style & LVS_OWNERDRAWFIXED) != 0) {
      UINT itemState = ((entry.state & LVIS_SELECTED) != 0 ? ODS_SELECTED : 0) | (hasFocus ? ODS_FOCUS : 0) |
                       (enabled ? 0 : ODS_DISABLED);
      SendDrawItem(window, ODT_LISTVIEW, static_cast<UINT>(i), ODA_DRAWENTIRE, itemState, dc, row,
                   static_cast<ULONG_PTR>(entry.data));
      continue;
    }
    for (size_t c = 0; c < std::max<size_t>(state.columns.size(), 1); ++c) {
      RECT cell{row.left + ColumnLeft(state, c), row.top, row.left + ColumnLeft(state, c + 1), row.bottom};
      if (state.columns.empty()) cell.right = inner.right;
      cell.right = std::min(cell.right, inner.right);
      if (cell.left >= cell.right) break;
      if (c == 0 && checkboxes) {
        UINT image = (entry.state & LVIS_STATEIMAGEMASK) >> 12;
        DrawCheckBox(dc, RECT{cell.left + 2, cell.top + 2, cell.left + 15, cell.top + 15},
                     image == 2 ? BST_CHECKED : BST_UNCHECKED, enabled);
        cell.left += 18;
      }
      bool highlight = selected && (c == 0 || (state.extended & LVS_EX_FULLROWSELECT) != 0);
      if (highlight) FillSolid(dc, cell, state.focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
      SetTextColor(dc, GetSysColor(!enabled ? COLOR_GRAYTEXT
                                            : (highlight && state.focused ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT)));
      RECT label = cell;
      InflateRect(&label, -4, 0);
      int subItem = state.columns.empty() ? 0 : state.columns[c].subItem;
      DrawLabel(dc, TextOf(entry, subItem), label,
                DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS |
                    (state.columns.empty() ? DT_LEFT : FormatOf(state.columns[c].format)));
    }
    if ((state.extended & LVS_EX_GRIDLINES) != 0) FillSolid(dc, row.left, row.bottom - 1, WidthOf(row), 1, COLOR_BTNFACE);
    if (hasFocus) DrawFocusRect(dc, &row);
  }
}

LRESULT InsertItem(HWND window, ListViewState& state, const LVITEMW* item) {
  if (item == nullptr || item->iItem < 0 || item->iSubItem != 0) return -1;
  Row row;
  if ((item->mask & LVIF_TEXT) != 0) SetText(row, 0, item->pszText);
  if (row.texts.empty()) row.texts.emplace_back();
  if ((item->mask & LVIF_PARAM) != 0) row.data = item->lParam;
  if ((item->mask & LVIF_IMAGE) != 0) row.image = item->iImage;
  if ((item->mask & LVIF_INDENT) != 0) row.indent = item->iIndent;
  if ((item->mask & LVIF_STATE) != 0) row.state = item->state & item->stateMask & kStateBits;
  if ((state.extended & LVS_EX_CHECKBOXES) != 0 && (row.state & LVIS_STATEIMAGEMASK) == 0) {
    row.state |= INDEXTOSTATEIMAGEMASK(1);
  }
  int index = std::min(item->iItem, static_cast<int>(state.rows.size()));
  DWORD style = StyleOf(window);
  if ((style & (LVS_SORTASCENDING | LVS_SORTDESCENDING)) != 0) {
    bool ascending = (style & LVS_SORTASCENDING) != 0;
    index = 0;
    while (index < static_cast<int>(state.rows.size())) {
      int order = lstrcmpiW(state.rows[static_cast<size_t>(index)].texts[0].c_str(), row.texts[0].c_str());
      if (ascending ? order > 0 : order < 0) break;
      ++index;
    }
  }
  // A new row of a single-selection view that arrives selected takes the selection over.
  if ((row.state & LVIS_SELECTED) != 0 && (style & LVS_SINGLESEL) != 0) {
    for (Row& other : state.rows) other.state &= ~LVIS_SELECTED;
  }
  if ((row.state & LVIS_FOCUSED) != 0) {
    for (Row& other : state.rows) other.state &= ~LVIS_FOCUSED;
  }
  state.rows.insert(state.rows.begin() + index, std::move(row));
  InvalidateRect(window, nullptr, TRUE);
  NotifyItem(window, LVN_INSERTITEM, index, 0, 0, 0, 0);
  return index;
}

BOOL GetItem(const ListViewState& state, LVITEMW* item) {
  if (item == nullptr || !Valid(state, item->iItem)) return FALSE;
  const Row& row = state.rows[static_cast<size_t>(item->iItem)];
  if ((item->mask & LVIF_TEXT) != 0 && item->pszText != nullptr && item->cchTextMax > 0) {
    const std::u16string& text = TextOf(row, item->iSubItem);
    size_t copied = std::min(text.size(), static_cast<size_t>(item->cchTextMax) - 1);
    std::copy_n(text.begin(), copied, item->pszText);
    item->pszText[copied] = 0;
  }
  if ((item->mask & LVIF_PARAM) != 0) item->lParam = row.data;
  if ((item->mask & LVIF_STATE) != 0) item->state = row.state & item->stateMask;
  if ((item->mask & LVIF_IMAGE) != 0) item->iImage = row.image;
  if ((item->mask & LVIF_INDENT) != 0) item->iIndent = row.indent;
  return TRUE;
}

BOOL SetItem(HWND window, ListViewState& state, const LVITEMW* item) {
  if (item == nullptr || !Valid(state, item->iItem)) return FALSE;
  Row& row = state.rows[static_cast<size_t>(item->iItem)];
  if ((item->mask & LVIF_TEXT) != 0) SetText(row, item->iSubItem, item->pszText);
  if (item->iSubItem == 0) {
    if ((item->mask & LVIF_PARAM) != 0) row.data = item->lParam;
    if ((item->mask & LVIF_IMAGE) != 0) row.image = item->iImage;
    if ((item->mask & LVIF_INDENT) != 0) row.indent = item->iIndent;
  }
  InvalidateRect(window, nullptr, TRUE);
  if (item->iSubItem == 0 && (item->mask & LVIF_STATE) != 0) {
    return ChangeState(window, state, item->iItem, item->state, item->stateMask) ? TRUE : FALSE;
  }
  return TRUE;
}

void DeleteRow(HWND window, ListViewState& state, int index) {
  LPARAM data = state.rows[static_cast<size_t>(index)].data;
  NotifyItem(window, LVN_DELETEITEM, index, 0, 0, 0, data);
  if (FindControlState(window) == nullptr || !Valid(state, index)) return;
  state.rows.erase(state.rows.begin() + index);
  state.top = ClampInt(state.top, 0, std::max(static_cast<int>(state.rows.size()) - 1, 0));
  InvalidateRect(window, nullptr, TRUE);
}

LRESULT ItemRect(HWND window, const ListViewState& state, int index, int subItem, int code, RECT* out) {
  if (out == nullptr || !Valid(state, index)) return FALSE;
  RECT row = RowRect(window, state, index);
  if (subItem < 0 || (subItem > 0 && static_cast<size_t>(subItem) >= state.columns.size())) return FALSE;
  if (subItem == 0 && (code == LVIR_BOUNDS || code == LVIR_SELECTBOUNDS)) {
    *out = row;  // column 0's bounds are the whole row
    return TRUE;
  }
  size_t column = static_cast<size_t>(subItem);
  RECT cell{row.left + ColumnLeft(state, column), row.top,
            row.left + (state.columns.empty() ? WidthOf(row) : ColumnLeft(state, column + 1)), row.bottom};
  if (code == LVIR_ICON) cell.right = cell.left;
  *out = cell;
  return TRUE;
}

}  // namespace

LRESULT ListViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto state = ControlStateOf<ListViewState>(window);
  LRESULT result = 0;
  if (HandleCommonMessage(window, *state, message, wParam, lParam, &result)) return result;
  if (HandleFocusedControlMessage(window, &state->focused, DLGC_WANTARROWS | DLGC_WANTCHARS, true, message, &result)) {
    return result;
  }
  int index = static_cast<int>(static_cast<INT_PTR>(wParam));
  switch (message) {
    case WM_CREATE:
      if ((StyleOf(window) & LVS_OWNERDRAWFIXED) != 0) {
        state->rowHeight = static_cast<int>(
            SendMeasureItem(window, ODT_LISTVIEW, 0, static_cast<UINT>(WidthOf(ClientRectOf(window))),
                            kListViewRowHeight, 0));
      }
      return 0;
    case WM_PAINT:
    case WM_PRINTCLIENT:
      return PaintControl(window, *state, message, wParam,
                          [&](HDC dc, const RECT& client) { PaintListView(window, *state, dc, client); });
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      if (GetFocus() != window) SetFocus(window);
      POINT point = PointFromLParam(lParam);
      int subItem = 0;
      int row = HitRow(window, *state, point, &subItem);
      bool onCheckbox = row >= 0 && (state->extended & LVS_EX_CHECKBOXES) != 0 &&
                        point.x - InnerRect(window).left < 18 && message == WM_LBUTTONDOWN;
      if (onCheckbox) {
        UINT image = (state->rows[static_cast<size_t>(row)].state & LVIS_STATEIMAGEMASK) >> 12;
        ChangeState(window, *state, row, INDEXTOSTATEIMAGEMASK(image == 2 ? 1 : 2), LVIS_STATEIMAGEMASK);
      } else if (message != WM_LBUTTONDBLCLK) {
        bool toggle = (wParam & MK_CONTROL) != 0 && (StyleOf(window) & LVS_SINGLESEL) == 0;
        if (toggle && row >= 0) {
          UINT selected = state->rows[static_cast<size_t>(row)].state & LVIS_SELECTED;
          ChangeState(window, *state, row, (selected ^ LVIS_SELECTED) | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        } else if (row >= 0 || message == WM_LBUTTONDOWN) {
          UserPick(window, *state, row);  // a click on no row clears the selection
        }
      }
      if (FindControlState(window) == nullptr) return 0;
      UINT code = message == WM_RBUTTONDOWN ? NM_RCLICK : (message == WM_LBUTTONDBLCLK ? NM_DBLCLK : NM_CLICK);
      SendClick(window, code, row, subItem, point);
      return 0;
    }
    case WM_KEYDOWN: {
      NMLVKEYDOWN key{};
      key.wVKey = static_cast<WORD>(wParam);
      NotifyParent(window, &key.hdr, LVN_KEYDOWN);
      if (FindControlState(window) == nullptr || state->rows.empty()) return 0;
      int count = static_cast<int>(state->rows.size());
      int current = FocusedRow(*state);
      int target = current;
      switch (static_cast<int>(wParam)) {
        case VK_UP: target = current <= 0 ? 0 : current - 1; break;
        case VK_DOWN: target = current < 0 ? 0 : std::min(current + 1, count - 1); break;
        case VK_HOME: target = 0; break;
        case VK_END: target = count - 1; break;
        case VK_PRIOR: target = std::max(current - VisibleRows(window, *state), 0); break;
        case VK_NEXT: target = std::min(std::max(current, 0) + VisibleRows(window, *state), count - 1); break;
        case VK_SPACE:
          if (current >= 0 && (state->extended & LVS_EX_CHECKBOXES) != 0) {
            UINT image = (state->rows[static_cast<size_t>(current)].state & LVIS_STATEIMAGEMASK) >> 12;
            ChangeState(window, *state, current, INDEXTOSTATEIMAGEMASK(image == 2 ? 1 : 2), LVIS_STATEIMAGEMASK);
          } else if (current >= 0) {
            ChangeState(window, *state, current, LVIS_SELECTED, LVIS_SELECTED);
          }
          return 0;
        default: return 0;
      }
      if (target != current || (target >= 0 && (state->rows[static_cast<size_t>(target)].state & LVIS_SELECTED) == 0)) {
        UserPick(window, *state, target);
      }
      return 0;
    }

    case LVM_INSERTCOLUMNW: {
      const auto* column = reinterpret_cast<const LVCOLUMNW*>(lParam);
      if (column == nullptr || index < 0) return -1;
      Column stored;
      if ((column->mask & LVCF_TEXT) != 0 && column->pszText != nullptr) stored.text = column->pszText;
      if ((column->mask & LVCF_WIDTH) != 0) stored.width = std::max(column->cx, 0);
      if ((column->mask & LVCF_FMT) != 0) stored.format = column->fmt;
      index = std::min(index, static_cast<int>(state->columns.size()));
      stored.subItem = (column->mask & LVCF_SUBITEM) != 0 ? column->iSubItem : index;
      state->columns.insert(state->columns.begin() + index, std::move(stored));
      InvalidateRect(window, nullptr, TRUE);
      return index;
    }
    case LVM_SETCOLUMNW:
    case LVM_GETCOLUMNW: {
      auto* column = reinterpret_cast<LVCOLUMNW*>(lParam);
      if (column == nullptr || index < 0 || index >= static_cast<int>(state->columns.size())) return FALSE;
      Column& stored = state->columns[static_cast<size_t>(index)];
      if (message == LVM_SETCOLUMNW) {
        if ((column->mask & LVCF_TEXT) != 0) stored.text = column->pszText != nullptr ? column->pszText : u"";
        if ((column->mask & LVCF_WIDTH) != 0) stored.width = std::max(column->cx, 0);
        if ((column->mask & LVCF_FMT) != 0) stored.format = column->fmt;
        if ((column->mask & LVCF_SUBITEM) != 0) stored.subItem = column->iSubItem;
        InvalidateRect(window, nullptr, TRUE);
        return TRUE;
      }
      if ((column->mask & LVCF_TEXT) != 0 && column->pszText != nullptr && column->cchTextMax > 0) {
        size_t copied = std::min(stored.text.size(), static_cast<size_t>(column->cchTextMax) - 1);
        std::copy_n(stored.text.begin(), copied, column->pszText);
        column->pszText[copied] = 0;
      }
      if ((column->mask & LVCF_WIDTH) != 0) column->cx = stored.width;
      if ((column->mask & LVCF_FMT) != 0) column->fmt = stored.format;
      if ((column->mask & LVCF_SUBITEM) != 0) column->iSubItem = stored.subItem;
      return TRUE;
    }
    case LVM_DELETECOLUMN:
      if (index < 0 || index >= static_cast<int>(state->columns.size())) return FALSE;
      state->columns.erase(state->columns.begin() + index);
      InvalidateRect(window, nullptr, TRUE);
      return TRUE;
    case LVM_GETCOLUMNWIDTH:
      if (index < 0 || index >= static_cast<int>(state->columns.size())) return 0;
      return state->columns[static_cast<size_t>(index)].width;
    case LVM_SETCOLUMNWIDTH:
      if (index < 0 || index >= static_cast<int>(state->columns.size())) return FALSE;
      state->columns[static_cast<size_t>(index)].width = std::max(static_cast<int>(static_cast<SHORT>(LOWORD(lParam))), 0);
      InvalidateRect(window, nullptr, TRUE);
      return TRUE;
    case LVM_GETHEADER:
      return 0;  // the header is drawn by the list view itself; there is no header window
    case LVM_INSERTITEMW:
      return InsertItem(window, *state, reinterpret_cast<const LVITEMW*>(lParam));
    case LVM_GETITEMW:
      return GetItem(*state, reinterpret_cast<LVITEMW*>(lParam));
    case LVM_SETITEMW:
      return SetItem(window, *state, reinterpret_cast<const LVITEMW*>(lParam));
    case LVM_GETITEMTEXTW: {
      auto* item = reinterpret_cast<LVITEMW*>(lParam);
      if (item == nullptr || !Valid(*state, index) || item->pszText == nullptr || item->cchTextMax <= 0) return 0;
      const std::u16string& text = TextOf(state->rows[static_cast<size_t>(index)], item->iSubItem);
      size_t copied = std::min(text.size(), static_cast<size_t>(item->cchTextMax) - 1);
      std::copy_n(text.begin(), copied, item->pszText);
      item->pszText[copied] = 0;
      return static_cast<LRESULT>(copied);
    }
    case LVM_SETITEMTEXTW: {
      const auto* item = reinterpret_cast<const LVITEMW*>(lParam);
      if (item == nullptr || !Valid(*state, index)) return FALSE;
      SetText(state->rows[static_cast<size_t>(index)], item->iSubItem, item->pszText);
      InvalidateRect(window, nullptr, TRUE);
      return TRUE;
    }
    case LVM_GETITEMCOUNT:
      return static_cast<LRESULT>(state->rows.size());
    case LVM_DELETEITEM:
      if (!Valid(*state, index)) return FALSE;
      DeleteRow(window, *state, index);
      return TRUE;
    case LVM_DELETEALLITEMS: {
      // A TRUE answer to LVN_DELETEALLITEMS spares the per-row LVN_DELETEITEM.
      bool perRow = NotifyItem(window, LVN_DELETEALLITEMS, -1, 0, 0, 0, 0) == 0;
      if (FindControlState(window) == nullptr) return TRUE;
      if (perRow) {
        for (int i = 0; i < static_cast<int>(state->rows.size()); ++i) {
          NotifyItem(window, LVN_DELETEITEM, i, 0, 0, 0, state->rows[static_cast<size_t>(i)].data);
          if (FindControlState(window) == nullptr) return TRUE;
        }
      }
      state->rows.clear();
      state->top = 0;
      InvalidateRect(window, nullptr, TRUE);
      return TRUE;
    }
    case LVM_SETITEMSTATE: {
      const auto* item = reinterpret_cast<const LVITEMW*>(lParam);
      if (item == nullptr) return FALSE;
      if (index == -1) {
        bool all = true;
        for (int i = 0; i < static_cast<int>(state->rows.size()); ++i) {
          all = ChangeState(window, *state, i, item->state, item->stateMask) && all;
          if (FindControlState(window) == nullptr) return FALSE;
        }
        return all ? TRUE : FALSE;
      }
      return ChangeState(window, *state, index, item->state, item->stateMask) ? TRUE : FALSE;
    }
    case LVM_GETITEMSTATE:
      if (!Valid(*state, index)) return 0;
      return static_cast<LRESULT>(state->rows[static_cast<size_t>(index)].state & static_cast<UINT>(lParam));
    case LVM_GETSELECTEDCOUNT:
      return std::count_if(state->rows.begin(), state->rows.end(),
                           [](const Row& row) { return (row.state & LVIS_SELECTED) != 0; });
    case LVM_GETNEXTITEM: {
      UINT flags = LOWORD(static_cast<DWORD_PTR>(lParam));
      UINT wanted = ((flags & LVNI_FOCUSED) != 0 ? LVIS_FOCUSED : 0) | ((flags & LVNI_SELECTED) != 0 ? LVIS_SELECTED : 0);
      int count = static_cast<int>(state->rows.size());
      int step = (flags & LVNI_ABOVE) != 0 ? -1 : 1;
      for (int i = (index < -1 ? -1 : index) + step; i >= 0 && i < count; i += step) {
        if ((state->rows[static_cast<size_t>(i)].state & wanted) == wanted) return i;
      }
      return -1;
    }
    case LVM_ENSUREVISIBLE:
      if (!Valid(*state, index)) return FALSE;
      EnsureVisible(window, *state, index);
      return TRUE;
    case LVM_GETTOPINDEX:
      return state->top;
    case LVM_GETCOUNTPERPAGE:
      return VisibleRows(window, *state);
    case LVM_GETITEMRECT: {
      auto* rect = reinterpret_cast<RECT*>(lParam);
      if (rect == nullptr) return FALSE;
      int code = rect->left;
      return ItemRect(window, *state, index, 0, code == LVIR_LABEL ? LVIR_LABEL : code, rect);
    }
    case LVM_GETSUBITEMRECT: {
      auto* rect = reinterpret_cast<RECT*>(lParam);
      if (rect == nullptr) return FALSE;
      return ItemRect(window, *state, index, rect->top, rect->left, rect);
    }
    case LVM_HITTEST: {
      auto* info = reinterpret_cast<LVHITTESTINFO*>(lParam);
      if (info == nullptr) return -1;
      int subItem = 0;
      int row = HitRow(window, *state, info->pt, &subItem);
      info->iItem = row;
      info->iSubItem = subItem;
      info->flags = row < 0 ? LVHT_NOWHERE : LVHT_ONITEMLABEL;
      return row;
    }
    case LVM_SETEXTENDEDLISTVIEWSTYLE: {
      DWORD previous = state->extended;
      DWORD mask = wParam != 0 ? static_cast<DWORD>(wParam) : ~0U;
      state->extended = (state->extended & ~mask) | (static_cast<DWORD>(lParam) & mask);
      if ((state->extended & LVS_EX_CHECKBOXES) != 0 && (previous & LVS_EX_CHECKBOXES) == 0) {
        for (Row& row : state->rows) {
          if ((row.state & LVIS_STATEIMAGEMASK) == 0) row.state |= INDEXTOSTATEIMAGEMASK(1);
        }
      }
      InvalidateRect(window, nullptr, TRUE);
      return static_cast<LRESULT>(previous);
    }
    case LVM_GETEXTENDEDLISTVIEWSTYLE:
      return static_cast<LRESULT>(state->extended);
    case LVM_SETBKCOLOR:
      state->background = static_cast<COLORREF>(lParam);
      state->backgroundSet = true;
      InvalidateRect(window, nullptr, TRUE);
      return TRUE;
    case LVM_GETBKCOLOR:
      return static_cast<LRESULT>(state->backgroundSet ? state->background : GetSysColor(COLOR_WINDOW));
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace velm::ui
