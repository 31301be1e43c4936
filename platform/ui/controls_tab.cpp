// The tab control ("SysTabControl32"): one row of tabs with captions and lParam data. A click or
// Left/Right asks the parent with TCN_SELCHANGING (a TRUE answer keeps the current tab), then
// changes the selection and sends TCN_SELCHANGE; TCM_SETCURSEL notifies nothing.
#include <algorithm>

#include "ui/controls_internal.h"

namespace velm::ui {
namespace {

constexpr int kTabPadding = 6;

struct TabItem {
  std::u16string text;
  LPARAM data = 0;
  int image = -1;
  DWORD state = 0;
};

struct TabState : ControlState {
  std::vector<TabItem> items;
  int selection = -1;
  int focusItem = -1;
  bool focused = false;
};

RECT ItemRect(const TabState& state, int index) {
  int left = 2;
  for (int i = 0; i < index; ++i) {
    left += static_cast<int>(state.items[static_cast<size_t>(i)].text.size()) * kCharWidth + 2 * kTabPadding;
  }
  int width = static_cast<int>(state.items[static_cast<size_t>(index)].text.size()) * kCharWidth + 2 * kTabPadding;
  return RECT{left, 2, left + width, kTabRowHeight};
}

int HitItem(const TabState& state, POINT point) {
  for (int i = 0; i < static_cast<int>(state.items.size()); ++i) {
    RECT rect = ItemRect(state, i);
    if (PtInRect(&rect, point)) return i;
  }
  return -1;
}

// The user's change of tab: TCN_SELCHANGING may refuse it.
void UserSelect(HWND window, int index) {
  auto state = ControlStateOf<TabState>(window);
  if (index < 0 || index >= static_cast<int>(state->items.size()) || index == state->selection) return;
  NMHDR header{};
  if (NotifyParent(window, &header, TCN_SELCHANGING) != 0) return;
  if (FindControlState(window) == nullptr) return;
  state->selection = state->focusItem = index;
  InvalidateRect(window, nullptr, TRUE);
  NMHDR changed{};
  NotifyParent(window, &changed, TCN_SELCHANGE);
}

void CopyItem(const TabItem& item, TCITEMW* out) {
  if ((out->mask & TCIF_TEXT) != 0 && out->pszText != nullptr && out->cchTextMax > 0) {
    size_t copied = std::min(item.text.size(), static_cast<size_t>(out->cchTextMax) - 1);
    std::copy_n(item.text.begin(), copied, out->pszText);
    out->pszText[copied] = 0;
  }
  if ((out->mask & TCIF_PARAM) != 0) out->lParam = item.data;
  if ((out->mask & TCIF_IMAGE) != 0) out->iImage = item.image;
  if ((out->mask & TCIF_STATE) != 0) out->dwState = item.state & out->dwStateMask;
}

void StoreItem(TabItem& item, const TCITEMW& in) {
  if ((in.mask & TCIF_TEXT) != 0) item.text = in.pszText != nullptr ? in.pszText : u"";
  if ((in.mask & TCIF_PARAM) != 0) item.data = in.lParam;
  if ((in.mask & TCIF_IMAGE) != 0) item.image = in.iImage;
  if ((in.mask & TCIF_STATE) != 0) item.state = (item.state & ~in.dwStateMask) | (in.dwState & in.dwStateMask);
}

void PaintTabs(HWND window, TabState& state, HDC dc, const RECT& client) {
  FillSolid(dc, client, COLOR_BTNFACE);
  RECT page{client.left, client.top + kTabRowHeight, client.right, client.bottom};
  DrawEdge(dc, &page, EDGE_RAISED, BF_RECT);
  SetBkMode(dc, TRANSPARENT);
  bool enabled = IsWindowEnabled(window) != FALSE;
  for (int i = 0; i < static_cast<int>(state.items.size()); ++i) {
    RECT tab = ItemRect(state, i);
    bool selected = i == state.selection;
    if (selected) InflateRect(&tab, 2, 2);
    tab.bottom = client.top + kTabRowHeight + (selected ? 1 : 0);
    FillSolid(dc, tab, COLOR_BTNFACE);
    DrawEdge(dc, &tab, EDGE_RAISED, BF_LEFT | BF_TOP | BF_RIGHT);
    SetTextColor(dc, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    RECT label = tab;
    label.top += 2;
    DrawLabel(dc, state.items[static_cast<size_t>(i)].text, label, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    if (selected && state.focused) {
      RECT focus = tab;
      InflateRect(&focus, -3, -3);
      DrawFocusRect(dc, &focus);
    }
  }
}

}  // namespace

LRESULT TabControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto state = ControlStateOf<TabState>(window);
  LRESULT result = 0;
  if (HandleCommonMessage(window, *state, message, wParam, lParam, &result)) return result;
  if (HandleFocusedControlMessage(window, &state->focused, DLGC_WANTARROWS | DLGC_WANTCHARS, true, message, &result)) {
    return result;
  }
  int index = static_cast<int>(static_cast<INT_PTR>(wParam));
  int count = static_cast<int>(state->items.size());
  switch (message) {
    case WM_CREATE:
      return 0;
    case WM_PAINT:
    case WM_PRINTCLIENT:
      return PaintControl(window, *state, message, wParam,
                          [&](HDC dc, const RECT& client) { PaintTabs(window, *state, dc, client); });
    case WM_LBUTTONDOWN: {
      int hit = HitItem(*state, PointFromLParam(lParam));
      if (hit < 0) return 0;
      if ((StyleOf(window) & WS_TABSTOP) != 0 && GetFocus() != window) SetFocus(window);
      UserSelect(window, hit);
      return 0;
    }
    case WM_KEYDOWN:
      if (wParam == static_cast<WPARAM>(VK_LEFT) && state->selection > 0) UserSelect(window, state->selection - 1);
      if (wParam == static_cast<WPARAM>(VK_RIGHT) && state->selection + 1 < count) UserSelect(window, state->selection + 1);
      return 0;

    case TCM_GETITEMCOUNT:
      return count;
    case TCM_INSERTITEMW: {
      const auto* item = reinterpret_cast<const TCITEMW*>(lParam);
      if (item == nullptr || index < 0) return -1;
      index = std::min(index, count);
      TabItem stored;
      StoreItem(stored, *item);
      state->items.insert(state->items.begin() + index, std::move(stored));
      if (state->selection >= index) ++state->selection;
      if (state->focusItem >= index) ++state->focusItem;
      if (state->selection < 0) state->selection = state->focusItem = 0;  // the first tab is selected
      InvalidateRect(window, nullptr, TRUE);
      return index;
    }
    case TCM_SETITEMW:
    case TCM_GETITEMW: {
      auto* item = reinterpret_cast<TCITEMW*>(lParam);
      if (item == nullptr || index < 0 || index >= count) return FALSE;
      if (message == TCM_GETITEMW) {
        CopyItem(state->items[static_cast<size_t>(index)], item);
      } else {
        StoreItem(state->items[static_cast<size_t>(index)], *item);
        InvalidateRect(window, nullptr, TRUE);
      }
      return TRUE;
    }
    case TCM_DELETEITEM:
      if (index < 0 || index >= count) return FALSE;
      state->items.erase(state->items.begin() + index);
      if (state->selection == index) state->selection = -1;
      else if (state->selection > index) --state->selection;
      if (state->focusItem >= static_cast<int>(state->items.size())) state->focusItem = static_cast<int>(state->items.size()) - 1;
      InvalidateRect(window, nullptr, TRUE);
      return TRUE;
    case TCM_DELETEALLITEMS:
      state->items.clear();
      state->selection = state->focusItem = -1;
      InvalidateRect(window, nullptr, TRUE);
      return TRUE;
    case TCM_GETCURSEL:
      return state->selection;
    case TCM_SETCURSEL: {
      if (index < 0 || index >= count) return -1;
      int previous = state->selection;
      state->selection = state->focusItem = index;
      InvalidateRect(window, nullptr, TRUE);
      return previous;
    }
    case TCM_GETCURFOCUS:
      return state->focusItem;
    case TCM_SETCURFOCUS:
      if (index >= 0 && index < count) UserSelect(window, index);
      return 0;
    case TCM_GETITEMRECT:
      if (index < 0 || index >= count || lParam == 0) return FALSE;
      *reinterpret_cast<RECT*>(lParam) = ItemRect(*state, index);
      return TRUE;
    case TCM_HITTEST: {
      auto* info = reinterpret_cast<TCHITTESTINFO*>(lParam);
      if (info == nullptr) return -1;
      int hit = HitItem(*state, info->pt);
      info->flags = hit < 0 ? TCHT_NOWHERE : TCHT_ONITEMLABEL;
      return hit;
    }
    case TCM_ADJUSTRECT: {
      // FALSE: the display area of a window rectangle; TRUE: the window rectangle of a display area.
      auto* rect = reinterpret_cast<RECT*>(lParam);
      if (rect == nullptr) return 0;
      int sign = wParam != 0 ? -1 : 1;
      rect->left += sign * 4;
      rect->right -= sign * 4;
      rect->bottom -= sign * 4;
      rect->top += sign * (kTabRowHeight + 4);
      return 0;
    }
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace velm::ui
