// The tree view ("SysTreeView32"): items with text, lParam and state under parents, inserted
// first, last, sorted or after a sibling; selection through TVM_SELECTITEM, a click or Up/Down
// with TVN_SELCHANGING (TRUE keeps the old item) then TVN_SELCHANGED, as Windows sends them even
// for TVM_SELECTITEM; TVN_DELETEITEM for every item removed.
#include <algorithm>
#include <cstring>
#include <map>

#include "core/strings.h"
#include "ui/controls_internal.h"

namespace velm::ui {
namespace {

constexpr int kIndent = 19;

struct TreeNode {
  ULONG_PTR parent = 0;  // 0 = the root
  std::vector<ULONG_PTR> children;
  std::u16string text;
  LPARAM data = 0;
  UINT state = 0;
  int image = 0;
  int selectedImage = 0;
  int childrenFlag = 0;
};

struct TreeState : ControlState {
  std::map<ULONG_PTR, TreeNode> nodes;
  std::vector<ULONG_PTR> roots;
  ULONG_PTR nextHandle = 1;
  ULONG_PTR selection = 0;
  bool focused = false;
  int top = 0;  // first visible row
};

HTREEITEM ToHandle(ULONG_PTR id) { return reinterpret_cast<HTREEITEM>(id); }
ULONG_PTR FromHandle(HTREEITEM item) { return reinterpret_cast<ULONG_PTR>(item); }

TreeNode* Find(TreeState& state, ULONG_PTR id) {
  auto found = state.nodes.find(id);
  return found == state.nodes.end() ? nullptr : &found->second;
}

std::vector<ULONG_PTR>& Siblings(TreeState& state, ULONG_PTR parent) {
  return parent == 0 ? state.roots : state.nodes[parent].children;
}

// Items in display order; with `visibleOnly`, the children of collapsed items are skipped.
void Walk(TreeState& state, const std::vector<ULONG_PTR>& level, int depth, bool visibleOnly,
          std::vector<std::pair<ULONG_PTR, int>>* out) {
  for (ULONG_PTR id : level) {
    out->emplace_back(id, depth);
    const TreeNode& node = state.nodes[id];
    if (!visibleOnly || (node.state & TVIS_EXPANDED) != 0) Walk(state, node.children, depth + 1, visibleOnly, out);
  }
}

std::vector<std::pair<ULONG_PTR, int>> VisibleRows(TreeState& state) {
  std::vector<std::pair<ULONG_PTR, int>> rows;
  Walk(state, state.roots, 0, true, &rows);
  return rows;
}

void FillItem(const TreeNode& node, ULONG_PTR id, TVITEMW* item) {
  item->hItem = ToHandle(id);
  if ((item->mask & TVIF_TEXT) != 0 && item->pszText != nullptr && item->cchTextMax > 0) {
    size_t copied = std::min(node.text.size(), static_cast<size_t>(item->cchTextMax) - 1);
    std::copy_n(node.text.begin(), copied, item->pszText);
    item->pszText[copied] = 0;
  }
  if ((item->mask & TVIF_PARAM) != 0) item->lParam = node.data;
  if ((item->mask & TVIF_STATE) != 0) item->state = node.state & (item->stateMask != 0 ? item->stateMask : ~0U);
  if ((item->mask & TVIF_IMAGE) != 0) item->iImage = node.image;
  if ((item->mask & TVIF_SELECTEDIMAGE) != 0) item->iSelectedImage = node.selectedImage;
  if ((item->mask & TVIF_CHILDREN) != 0) item->cChildren = node.children.empty() ? node.childrenFlag : 1;
}

void StoreItem(TreeNode& node, const TVITEMW& item) {
  if ((item.mask & TVIF_TEXT) != 0) node.text = item.pszText != nullptr ? item.pszText : u"";
  if ((item.mask & TVIF_PARAM) != 0) node.data = item.lParam;
  if ((item.mask & TVIF_STATE) != 0) node.state = (node.state & ~item.stateMask) | (item.state & item.stateMask);
  if ((item.mask & TVIF_IMAGE) != 0) node.image = item.iImage;
  if ((item.mask & TVIF_SELECTEDIMAGE) != 0) node.selectedImage = item.iSelectedImage;
  if ((item.mask & TVIF_CHILDREN) != 0) node.childrenFlag = item.cChildren;
}

// TVN_SELCHANGING then TVN_SELCHANGED; false when the parent refused.
bool Select(HWND window, TreeState& state, ULONG_PTR id, UINT action) {
  if (id == state.selection) return true;
  NMTREEVIEWW change{};
  change.action = action;
  change.itemOld.mask = change.itemNew.mask = TVIF_HANDLE | TVIF_STATE | TVIF_PARAM;
  if (TreeNode* old = Find(state, state.selection)) FillItem(*old, state.selection, &change.itemOld);
  if (TreeNode* now = Find(state, id)) FillItem(*now, id, &change.itemNew);
  if (NotifyParent(window, &change.hdr, TVN_SELCHANGINGW) != 0) return false;
  if (FindControlState(window) == nullptr) return false;
  if (TreeNode* old = Find(state, state.selection)) old->state &= ~TVIS_SELECTED;
  state.selection = id;
  if (TreeNode* now = Find(state, id)) now->state |= TVIS_SELECTED;
  InvalidateRect(window, nullptr, TRUE);
  NMTREEVIEWW changed = change;
  if (TreeNode* now = Find(state, id)) FillItem(*now, id, &changed.itemNew);
  NotifyParent(window, &changed.hdr, TVN_SELCHANGEDW);
  return true;
}

void Delete(HWND window, TreeState& state, ULONG_PTR id) {
  TreeNode* node = Find(state, id);
  if (node == nullptr) return;
  std::vector<ULONG_PTR> children = node->children;
  for (ULONG_PTR child : children) Delete(window, state, child);
  node = Find(state, id);
  if (node == nullptr) return;
  NMTREEVIEWW deleted{};
  deleted.itemOld.mask = TVIF_HANDLE | TVIF_PARAM;
  FillItem(*node, id, &deleted.itemOld);
  std::vector<ULONG_PTR>& siblings = Siblings(state, node->parent);
  siblings.erase(std::remove(siblings.begin(), siblings.end(), id), siblings.end());
  if (state.selection == id) state.selection = 0;
  state.nodes.erase(id);
  NotifyParent(window, &deleted.hdr, TVN_DELETEITEMW);
}

LRESULT Insert(HWND window, TreeState& state, const TVINSERTSTRUCTW* insert) {
  if (insert == nullptr) return 0;
  ULONG_PTR parent = (insert->hParent == nullptr || insert->hParent == TVI_ROOT) ? 0 : FromHandle(insert->hParent);
  if (parent != 0 && Find(state, parent) == nullptr) return 0;
  std::vector<ULONG_PTR>& siblings = Siblings(state, parent);
  TreeNode node;
  node.parent = parent;
  StoreItem(node, insert->item);
  node.state &= ~TVIS_SELECTED;
  size_t at = siblings.size();
  HTREEITEM after = insert->hInsertAfter;
  if (after == TVI_FIRST) {
    at = 0;
  } else if (after == TVI_SORT) {
    at = 0;
    while (at < siblings.size() && lstrcmpiW(state.nodes[siblings[at]].text.c_str(), node.text.c_str()) <= 0) ++at;
  } else if (after != TVI_LAST && after != nullptr) {
    auto found = std::find(siblings.begin(), siblings.end(), FromHandle(after));
    if (found == siblings.end()) return 0;
    at = static_cast<size_t>(found - siblings.begin()) + 1;
  }
  ULONG_PTR id = state.nextHandle++;
  state.nodes[id] = std::move(node);
  std::vector<ULONG_PTR>& list = Siblings(state, parent);  // re-fetched: the map may have grown
  list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), id);
  InvalidateRect(window, nullptr, TRUE);
  return reinterpret_cast<LRESULT>(ToHandle(id));
}

void PaintTree(HWND window, TreeState& state, HDC dc, const RECT& client) {
  RECT inner = client;
  DrawControlFrame(dc, &inner, StyleOf(window), ExStyleOf(window));
  FillSolid(dc, inner, COLOR_WINDOW);
  std::vector<std::pair<ULONG_PTR, int>> rows = VisibleRows(state);
  DWORD style = StyleOf(window);
  int base = (style & TVS_LINESATROOT) != 0 ? 1 : 0;
  for (size_t i = static_cast<size_t>(std::max(state.top, 0)); i < rows.size(); ++i) {
    int y = inner.top + static_cast<int>(i - static_cast<size_t>(state.top)) * kCharHeight;
    if (y >= inner.bottom) break;
    const TreeNode& node = state.nodes[rows[i].first];
    int x = inner.left + (rows[i].second + base) * kIndent;
    if ((style & TVS_HASBUTTONS) != 0 && !node.children.empty() && x - kIndent >= inner.left) {
      RECT box{x - kIndent + 5, y + 4, x - kIndent + 14, y + 13};
      FrameRect(dc, &box, GetSysColorBrush(COLOR_BTNSHADOW));
      FillSolid(dc, box.left + 2, box.top + 4, 5, 1, COLOR_WINDOWTEXT);
      if ((node.state & TVIS_EXPANDED) == 0) FillSolid(dc, box.left + 4, box.top + 2, 1, 5, COLOR_WINDOWTEXT);
    }
    RECT label{x + 2, y, std::min(x + 6 + static_cast<int>(node.text.size()) * kCharWidth, static_cast<int>(inner.right)),
               y + kCharHeight};
    bool selected = rows[i].first == state.selection && (state.focused || (style & TVS_SHOWSELALWAYS) != 0);
    if (selected) FillSolid(dc, label, state.focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(selected && state.focused ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    RECT text = label;
    text.left += 2;
    DrawLabel(dc, node.text, text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    if (rows[i].first == state.selection && state.focused) DrawFocusRect(dc, &label);
  }
}

}  // namespace

LRESULT TreeViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto state = ControlStateOf<TreeState>(window);
  LRESULT result = 0;
  if (HandleCommonMessage(window, *state, message, wParam, lParam, &result)) return result;
  if (HandleFocusedControlMessage(window, &state->focused, DLGC_WANTARROWS | DLGC_WANTCHARS, true, message, &result)) {
    return result;
  }
  switch (message) {
    case WM_CREATE:
      return 0;
    case WM_PAINT:
    case WM_PRINTCLIENT:
      return PaintControl(window, *state, message, wParam,
                          [&](HDC dc, const RECT& client) { PaintTree(window, *state, dc, client); });
    case WM_LBUTTONDOWN: {
      if (GetFocus() != window) SetFocus(window);
      RECT inner = ControlInnerRect(window);
      POINT point = PointFromLParam(lParam);
      std::vector<std::pair<ULONG_PTR, int>> rows = VisibleRows(*state);
      int row = state->top + (point.y - inner.top) / kCharHeight;
      if (row < 0 || row >= static_cast<int>(rows.size())) return 0;
      Select(window, *state, rows[static_cast<size_t>(row)].first, TVC_BYMOUSE);
      return 0;
    }
    case WM_KEYDOWN: {
      std::vector<std::pair<ULONG_PTR, int>> rows = VisibleRows(*state);
      if (rows.empty()) return 0;
      auto current = std::find_if(rows.begin(), rows.end(), [&](const auto& row) { return row.first == state->selection; });
      int at = current == rows.end() ? -1 : static_cast<int>(current - rows.begin());
      int target = at;
      if (wParam == static_cast<WPARAM>(VK_UP)) target = std::max(at - 1, 0);
      if (wParam == static_cast<WPARAM>(VK_DOWN)) target = std::min(at + 1, static_cast<int>(rows.size()) - 1);
      if (wParam == static_cast<WPARAM>(VK_HOME)) target = 0;
      if (wParam == static_cast<WPARAM>(VK_END)) target = static_cast<int>(rows.size()) - 1;
      if (target >= 0 && target != at) Select(window, *state, rows[static_cast<size_t>(target)].first, TVC_BYKEYBOARD);
      return 0;
    }

    case TVM_INSERTITEMW:
      return Insert(window, *state, reinterpret_cast<const TVINSERTSTRUCTW*>(lParam));
    case TVM_DELETEITEM: {
      auto item = reinterpret_cast<HTREEITEM>(lParam);
      if (item == nullptr || item == TVI_ROOT) {
        std::vector<ULONG_PTR> roots = state->roots;
        for (ULONG_PTR id : roots) Delete(window, *state, id);
        state->top = 0;
        InvalidateRect(window, nullptr, TRUE);
        return TRUE;
      }
      if (Find(*state, FromHandle(item)) == nullptr) return FALSE;
      Delete(window, *state, FromHandle(item));
      InvalidateRect(window, nullptr, TRUE);
      return TRUE;
    }
    case TVM_GETCOUNT:
      return static_cast<LRESULT>(state->nodes.size());
    case TVM_GETNEXTITEM: {
      ULONG_PTR id = FromHandle(reinterpret_cast<HTREEITEM>(lParam));
      TreeNode* node = Find(*state, id);
      switch (static_cast<UINT>(wParam)) {
        case TVGN_ROOT:
          return state->roots.empty() ? 0 : reinterpret_cast<LRESULT>(ToHandle(state->roots.front()));
        case TVGN_CARET:
          return reinterpret_cast<LRESULT>(ToHandle(state->selection));
        case TVGN_PARENT:
          return node == nullptr ? 0 : reinterpret_cast<LRESULT>(ToHandle(node->parent));
        case TVGN_CHILD: {
          const std::vector<ULONG_PTR>& children = node == nullptr ? state->roots : node->children;
          if (node == nullptr && lParam != 0 && reinterpret_cast<HTREEITEM>(lParam) != TVI_ROOT) return 0;
          return children.empty() ? 0 : reinterpret_cast<LRESULT>(ToHandle(children.front()));
        }
        case TVGN_NEXT:
        case TVGN_PREVIOUS: {
          if (node == nullptr) return 0;
          std::vector<ULONG_PTR>& siblings = Siblings(*state, node->parent);
          auto at = std::find(siblings.begin(), siblings.end(), id);
          if (wParam == TVGN_NEXT) return (at + 1 < siblings.end()) ? reinterpret_cast<LRESULT>(ToHandle(*(at + 1))) : 0;
          return at == siblings.begin() ? 0 : reinterpret_cast<LRESULT>(ToHandle(*(at - 1)));
        }
        case TVGN_FIRSTVISIBLE: {
          auto rows = VisibleRows(*state);
          return state->top < static_cast<int>(rows.size())
                     ? reinterpret_cast<LRESULT>(ToHandle(rows[static_cast<size_t>(state->top)].first))
                     : 0;
        }
        case TVGN_NEXTVISIBLE:
        case TVGN_PREVIOUSVISIBLE: {
          auto rows = VisibleRows(*state);
          auto at = std::find_if(rows.begin(), rows.end(), [&](const auto& row) { return row.first == id; });
          if (at == rows.end()) return 0;
          if (wParam == TVGN_NEXTVISIBLE) return at + 1 < rows.end() ? reinterpret_cast<LRESULT>(ToHandle((at + 1)->first)) : 0;
          return at == rows.begin() ? 0 : reinterpret_cast<LRESULT>(ToHandle((at - 1)->first));
        }
        default:
          return 0;
      }
    }
    case TVM_SELECTITEM: {
      ULONG_PTR id = FromHandle(reinterpret_cast<HTREEITEM>(lParam));
      if (wParam != TVGN_CARET) return FALSE;
      if (id != 0 && Find(*state, id) == nullptr) return FALSE;
      return Select(window, *state, id, TVC_UNKNOWN) ? TRUE : FALSE;
    }
    case TVM_GETITEMW:
    case TVM_SETITEMW: {
      auto* item = reinterpret_cast<TVITEMW*>(lParam);
      if (item == nullptr) return FALSE;
      ULONG_PTR id = FromHandle(item->hItem);
      TreeNode* node = Find(*state, id);
      if (node == nullptr) return FALSE;
      if (message == TVM_GETITEMW) {
        FillItem(*node, id, item);
      } else {
        StoreItem(*node, *item);
        InvalidateRect(window, nullptr, TRUE);
      }
      return TRUE;
    }
    case TVM_EXPAND: {
      TreeNode* node = Find(*state, FromHandle(reinterpret_cast<HTREEITEM>(lParam)));
      if (node == nullptr) return FALSE;
      UINT action = static_cast<UINT>(wParam) & TVE_TOGGLE;
      bool expand = action == TVE_EXPAND || (action == TVE_TOGGLE && (node->state & TVIS_EXPANDED) == 0);
      node->state = expand ? (node->state | TVIS_EXPANDED) : (node->state & ~TVIS_EXPANDED);
      InvalidateRect(window, nullptr, TRUE);
      return TRUE;
    }
    case TVM_ENSUREVISIBLE: {
      ULONG_PTR id = FromHandle(reinterpret_cast<HTREEITEM>(lParam));
      TreeNode* node = Find(*state, id);
      if (node == nullptr) return FALSE;
      for (ULONG_PTR up = node->parent; up != 0; up = state->nodes[up].parent) state->nodes[up].state |= TVIS_EXPANDED;
      auto rows = VisibleRows(*state);
      auto at = std::find_if(rows.begin(), rows.end(), [&](const auto& row) { return row.first == id; });
      int row = static_cast<int>(at - rows.begin());
      int visible = std::max(HeightOf(ClientRectOf(window)) / kCharHeight, 1);
      if (row < state->top) state->top = row;
      if (row >= state->top + visible) state->top = row - visible + 1;
      InvalidateRect(window, nullptr, TRUE);
      return TRUE;
    }
    case TVM_GETITEMRECT: {
      auto* rect = reinterpret_cast<RECT*>(lParam);
      if (rect == nullptr) return FALSE;
      ULONG_PTR id = 0;
      memcpy(&id, rect, sizeof(id));  // the item handle comes in the rectangle's first bytes
      auto rows = VisibleRows(*state);
      auto at = std::find_if(rows.begin(), rows.end(), [&](const auto& row) { return row.first == id; });
      if (at == rows.end()) return FALSE;
      int y = static_cast<int>(at - rows.begin() - state->top) * kCharHeight;
      int base = (StyleOf(window) & TVS_LINESATROOT) != 0 ? 1 : 0;
      int x = wParam != 0 ? (at->second + base) * kIndent : 0;
      int right = wParam != 0 ? x + 6 + static_cast<int>(state->nodes[id].text.size()) * kCharWidth
                              : WidthOf(ClientRectOf(window));
      *rect = RECT{x, y, right, y + kCharHeight};
      return TRUE;
    }
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace velm::ui

std::vector<UiTreeItemInfo> UiTreeItems(HWND tree) {
  std::vector<UiTreeItemInfo> items;
  auto state = std::dynamic_pointer_cast<velm::ui::TreeState>(velm::ui::FindControlState(tree));
  if (state == nullptr) return items;
  std::vector<std::pair<ULONG_PTR, int>> rows;
  velm::ui::Walk(*state, state->roots, 0, false, &rows);
  for (const auto& [id, depth] : rows) {
    const velm::ui::TreeNode& node = state->nodes[id];
    items.push_back(UiTreeItemInfo{node.text, node.data, node.state, depth});
  }
  return items;
}
