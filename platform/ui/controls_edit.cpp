// The edit ("EDIT"): single- and multi-line text ("\r\n" between lines), a selection with the
// caret at its end, the text limit, read-only, password, number and case styles.
//
// The text lives in the window's own text (DefWindowProcW's WM_SETTEXT), so GetWindowTextW and
// WM_GETTEXT read what the user typed. What the user changes (WM_CHAR, Delete, EM_REPLACESEL,
// EM_UNDO) notifies EN_UPDATE then EN_CHANGE; WM_SETTEXT notifies them for single-line edits only,
// as Windows does. Typing past the limit is refused with EN_MAXTEXT. The edit itself tells its
// parent EN_SETFOCUS/EN_KILLFOCUS from its WM_SETFOCUS/WM_KILLFOCUS.
#include <algorithm>
#include <cstring>

#include "ui/controls_internal.h"

namespace velm::ui {
namespace {

struct EditState : ControlState {
  size_t anchor = 0;  // the selection is [min(anchor, caret), max(anchor, caret))
  size_t caret = 0;
  size_t limit = kEditDefaultLimit;
  bool modified = false;
  bool focused = false;
  bool tracking = false;
  size_t firstVisible = 0;  // first character (single-line) or line (multi-line) shown
  WCHAR passwordChar = u'*';
  std::u16string undoText;
  bool canUndo = false;
  WORD leftMargin = 1;
  WORD rightMargin = 1;
};

std::u16string TextOf(HWND window) {
  LRESULT length = DefWindowProcW(window, WM_GETTEXTLENGTH, 0, 0);
  std::u16string text(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, u'\0');
  LRESULT copied = DefWindowProcW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(std::max<LRESULT>(copied, 0)));
  return text;
}

void StoreText(HWND window, const std::u16string& text) {
  DefWindowProcW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

bool Multiline(HWND window) { return (StyleOf(window) & ES_MULTILINE) != 0; }

size_t SelStart(const EditState& state) { return std::min(state.anchor, state.caret); }
size_t SelEnd(const EditState& state) { return std::max(state.anchor, state.caret); }

// Starts of the lines of a multi-line text.
std::vector<size_t> LineStarts(const std::u16string& text) {
  std::vector<size_t> starts{0};
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] == u'\r' && text[i + 1] == u'\n') starts.push_back(i + 2);
  }
  return starts;
}

size_t LineOf(const std::vector<size_t>& starts, size_t position) {
  return static_cast<size_t>(std::upper_bound(starts.begin(), starts.end(), position) - starts.begin()) - 1;
}

size_t LineLength(const std::u16string& text, const std::vector<size_t>& starts, size_t line) {
  size_t end = line + 1 < starts.size() ? starts[line + 1] - 2 : text.size();
  return end - starts[line];
}

void Notify(HWND window, WORD code) { NotifyCommand(window, code); }

void ClampSelection(EditState& state, size_t length) {
  state.anchor = std::min(state.anchor, length);
  state.caret = std::min(state.caret, length);
}

// Keeps the caret in view: the first visible character of a single-line edit, or line.
void ScrollCaretIntoView(HWND window, EditState& state, const std::u16string& text) {
  RECT client = ClientRectOf(window);
  if (!Multiline(window)) {
    int columns = std::max((WidthOf(client) - 6) / kCharWidth, 1);
    if (state.caret < state.firstVisible) state.firstVisible = state.caret;
    if (state.caret > state.firstVisible + static_cast<size_t>(columns)) {
      state.firstVisible = state.caret - static_cast<size_t>(columns);
    }
    return;
  }
  std::vector<size_t> starts = LineStarts(text);
  size_t line = LineOf(starts, state.caret);
  size_t rows = static_cast<size_t>(std::max((HeightOf(client) - 4) / kCharHeight, 1));
  if (line < state.firstVisible) state.firstVisible = line;
  if (line >= state.firstVisible + rows) state.firstVisible = line - rows + 1;
}

// Replaces the selection with `insert` as the user would; false when nothing could change.
// With `honourLimit` the insert is cut to what the limit leaves room for (EN_MAXTEXT when cut).
bool ReplaceSelection(HWND window, EditState& state, std::u16string insert, bool honourLimit, bool keepUndo) {
  std::u16string text = TextOf(window);
  ClampSelection(state, text.size());
  size_t start = SelStart(state);
  size_t end = SelEnd(state);
  if (honourLimit) {
    size_t kept = text.size() - (end - start);
    size_t room = state.limit > kept ? state.limit - kept : 0;
    if (insert.size() > room) {
      insert.resize(room);
      // A "\r\n" cut in half would leave a lone carriage return.
      if (!insert.empty() && insert.back() == u'\r') insert.pop_back();
      Notify(window, EN_MAXTEXT);
      if (insert.empty() && start == end) return false;
    }
  }
  if (insert.empty() && start == end) return false;
  if (keepUndo) {
    state.undoText = text;
    state.canUndo = true;
  }
  text.replace(start, end - start, insert);
  state.anchor = state.caret = start + insert.size();
  StoreText(window, text);
  state.modified = true;
  ScrollCaretIntoView(window, state, text);
  InvalidateRect(window, nullptr, TRUE);
  return true;
}

void UserChanged(HWND window) {
  Notify(window, EN_UPDATE);
  Notify(window, EN_CHANGE);
}

WCHAR ApplyCase(DWORD style, WCHAR c) {
  if ((style & ES_UPPERCASE) != 0 && c >= u'a' && c <= u'z') return static_cast<WCHAR>(c - 32);
  if ((style & ES_LOWERCASE) != 0 && c >= u'A' && c <= u'Z') return static_cast<WCHAR>(c + 32);
  return c;
}

void Typed(HWND window, EditState& state, WCHAR c) {
  DWORD style = StyleOf(window);
  if ((style & ES_READONLY) != 0) return;
  std::u16string insert;
  if (c == VK_BACK) {
    if (SelStart(state) == SelEnd(state)) {
      if (state.caret == 0) return;
      std::u16string text = TextOf(window);
      ClampSelection(state, text.size());
      size_t from = state.caret - 1;
      if (from > 0 && text[from] == u'\n' && text[from - 1] == u'\r') --from;
      state.anchor = from;
    }
  } else if (c == u'\r') {
    if ((style & ES_MULTILINE) == 0) return;
    insert = u"\r\n";
  } else if (c == u'\t') {
    if ((style & ES_MULTILINE) == 0) return;
    insert = u"\t";
  } else if (c < 0x20) {
    return;  // other control characters are shortcuts, not text
  } else {
    if ((style & ES_NUMBER) != 0 && (c < u'0' || c > u'9')) return;
    insert.assign(1, ApplyCase(style, c));
  }
  if (ReplaceSelection(window, state, insert, true, true)) UserChanged(window);
}

void MoveCaret(HWND window, EditState& state, size_t position, bool extend) {
  state.caret = position;
  if (!extend) state.anchor = position;
  ScrollCaretIntoView(window, state, TextOf(window));
  InvalidateRect(window, nullptr, TRUE);
}

void KeyDownEdit(HWND window, EditState& state, int key) {
  std::u16string text = TextOf(window);
  ClampSelection(state, text.size());
  bool extend = KeyDown(VK_SHIFT);
  size_t caret = state.caret;
  std::vector<size_t> starts = LineStarts(text);
  size_t line = LineOf(starts, caret);
  switch (key) {
    case VK_LEFT:
      if (!extend && SelStart(state) != SelEnd(state)) return MoveCaret(window, state, SelStart(state), false);
      if (caret > 0) caret -= (caret >= 2 && text[caret - 1] == u'\n' && text[caret - 2] == u'\r') ? 2 : 1;
      return MoveCaret(window, state, caret, extend);
    case VK_RIGHT:
      if (!extend && SelStart(state) != SelEnd(state)) return MoveCaret(window, state, SelEnd(state), false);
      if (caret < text.size()) caret += (text[caret] == u'\r' && caret + 1 < text.size() && text[caret + 1] == u'\n') ? 2 : 1;
      return MoveCaret(window, state, caret, extend);
    case VK_HOME:
      return MoveCaret(window, state, Multiline(window) && !KeyDown(VK_CONTROL) ? starts[line] : 0, extend);
    case VK_END:
      return MoveCaret(window, state,
                       Multiline(window) && !KeyDown(VK_CONTROL) ? starts[line] + LineLength(text, starts, line)
                                                                  : text.size(),
                       extend);
    case VK_UP:
    case VK_DOWN: {
      if (!Multiline(window)) {
        // A single-line edit treats them as Left and Right.
        return KeyDownEdit(window, state, key == VK_UP ? VK_LEFT : VK_RIGHT);
      }
      size_t column = caret - starts[line];
      if (key == VK_UP && line == 0) return;
      if (key == VK_DOWN && line + 1 >= starts.size()) return;
      size_t target = key == VK_UP ? line - 1 : line + 1;
      return MoveCaret(window, state, starts[target] + std::min(column, LineLength(text, starts, target)), extend);
    }
    case VK_DELETE: {
      if ((StyleOf(window) & ES_READONLY) != 0) return;
      if (SelStart(state) == SelEnd(state)) {
        if (caret >= text.size()) return;
        state.anchor = caret;
        state.caret = caret + ((text[caret] == u'\r' && caret + 1 < text.size() && text[caret + 1] == u'\n') ? 2 : 1);
      }
      if (ReplaceSelection(window, state, u"", false, true)) UserChanged(window);
      return;
    }
    default:
      return;
  }
}

size_t CharFromPoint(HWND window, const EditState& state, const std::u16string& text, POINT point) {
  int column = std::max((point.x - 3 + kCharWidth / 2) / kCharWidth, 0);
  if (!Multiline(window)) return std::min(state.firstVisible + static_cast<size_t>(column), text.size());
  std::vector<size_t> starts = LineStarts(text);
  size_t line = std::min(state.firstVisible + static_cast<size_t>(std::max((point.y - 2) / kCharHeight, 0)),
                         starts.size() - 1);
  return starts[line] + std::min(static_cast<size_t>(column), LineLength(text, starts, line));
}

void PaintEdit(HWND window, EditState& state, HDC dc, const RECT& client) {
  DWORD style = StyleOf(window);
  bool enabled = IsWindowEnabled(window) != FALSE;
  bool readOnly = (style & ES_READONLY) != 0;
  HBRUSH background = ControlColor(window, dc, (readOnly || !enabled) ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT);
  RECT inner = client;
  DrawControlFrame(dc, &inner, style, ExStyleOf(window));
  FillRect(dc, &inner, background);
  if ((style & WS_VSCROLL) != 0 && (style & ES_MULTILINE) != 0) {
    RECT bar{inner.right - kScrollArrow, inner.top, inner.right, inner.bottom};
    inner.right = bar.left;
    DrawScrollBar(dc, bar, true, WindowScrollData(window, SB_VERT), enabled);
  }
  if (!enabled) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
  std::u16string text = TextOf(window);
  if ((style & ES_PASSWORD) != 0 && (style & ES_MULTILINE) == 0 && state.passwordChar != 0) {
    text.assign(text.size(), state.passwordChar);
  }
  ClampSelection(state, text.size());
  InflateRect(&inner, -1, -1);
  inner.left += state.leftMargin;
  inner.right -= state.rightMargin;
  size_t selStart = SelStart(state);
  size_t selEnd = SelEnd(state);
  bool showSelection = selStart != selEnd && (state.focused || (style & ES_NOHIDESEL) != 0);
  UINT align = (style & ES_CENTER) != 0 ? DT_CENTER : ((style & ES_RIGHT) != 0 ? DT_RIGHT : DT_LEFT);
  std::vector<size_t> starts = (style & ES_MULTILINE) != 0 ? LineStarts(text) : std::vector<size_t>{0};
  size_t firstLine = (style & ES_MULTILINE) != 0 ? std::min(state.firstVisible, starts.size() - 1) : 0;
  for (size_t line = firstLine; line < starts.size(); ++line) {
    int top = inner.top + static_cast<int>(line - firstLine) * kCharHeight;
    if (top >= inner.bottom) break;
    size_t from = starts[line];
    size_t length = (style & ES_MULTILINE) != 0 ? LineLength(text, starts, line) : text.size();
    size_t skip = (style & ES_MULTILINE) != 0 ? 0 : std::min(state.firstVisible, text.size());
    RECT row{inner.left, top, inner.right, std::min(top + kCharHeight, static_cast<int>(inner.bottom))};
    std::u16string shown = text.substr(from + skip, length - skip);
    DrawLabel(dc, shown, row, DT_SINGLELINE | DT_NOPREFIX | DT_EXPANDTABS | align);
    if (showSelection && align == DT_LEFT) {
      size_t a = std::max(selStart, from + skip);
      size_t b = std::min(selEnd, from + length);
      if (a < b) {
        RECT highlight{row.left + static_cast<int>(a - from - skip) * kCharWidth, row.top,
                       row.left + static_cast<int>(b - from - skip) * kCharWidth, row.bottom};
        highlight.right = std::min(highlight.right, row.right);
        FillSolid(dc, highlight, COLOR_HIGHLIGHT);
        COLORREF oldText = SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        COLORREF oldBack = SetBkColor(dc, GetSysColor(COLOR_HIGHLIGHT));
        DrawLabel(dc, text.substr(a, b - a), highlight, DT_SINGLELINE | DT_NOPREFIX | DT_LEFT);
        SetTextColor(dc, oldText);
        SetBkColor(dc, oldBack);
      }
    }
    if (state.focused && selStart == selEnd && align == DT_LEFT && state.caret >= from + skip &&
        state.caret <= from + length) {
      int x = row.left + static_cast<int>(state.caret - from - skip) * kCharWidth;
      if (x < row.right) FillSolid(dc, x, row.top + 1, 1, kCharHeight - 2, COLOR_WINDOWTEXT);
    }
    if ((style & ES_MULTILINE) == 0) break;
  }
}

}  // namespace

LRESULT EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto state = ControlStateOf<EditState>(window);
  LRESULT result = 0;
  if (HandleCommonMessage(window, *state, message, wParam, lParam, &result)) return result;
  switch (message) {
    case WM_CREATE:
      if ((StyleOf(window) & ES_MULTILINE) != 0) state->limit = kEditMaximumLimit;
      return 0;
    case WM_PAINT:
    case WM_PRINTCLIENT:
      return PaintControl(window, *state, message, wParam,
                          [&](HDC dc, const RECT& client) { PaintEdit(window, *state, dc, client); });
    case WM_ERASEBKGND:
      return 1;
    case WM_GETDLGCODE: {
      LRESULT code = DLGC_HASSETSEL | DLGC_WANTCHARS | DLGC_WANTARROWS;
      // A multi-line edit with ES_WANTRETURN keeps Return for a new line instead of the default button.
      const MSG* pending = reinterpret_cast<const MSG*>(lParam);
      if (pending != nullptr && pending->message == WM_KEYDOWN && pending->wParam == static_cast<WPARAM>(VK_RETURN) &&
          (StyleOf(window) & (ES_MULTILINE | ES_WANTRETURN)) == (ES_MULTILINE | ES_WANTRETURN)) {
        code |= DLGC_WANTMESSAGE;
      }
      return code;
    }
    case WM_SETTEXT: {
      // Not the user's edit: no limit, no undo; the modified flag clears.
      result = DefWindowProcW(window, message, wParam, lParam);
      state->anchor = state->caret = 0;
      state->firstVisible = 0;
      state->modified = false;
      state->canUndo = false;
      InvalidateRect(window, nullptr, TRUE);
      if (!Multiline(window)) UserChanged(window);
      return result;
    }
    case WM_SETFOCUS:
      state->focused = true;
      InvalidateRect(window, nullptr, TRUE);
      NotifyCommand(window, EN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      state->focused = false;
      if (state->tracking) {
        state->tracking = false;
        if (GetCapture() == window) ReleaseCapture();
      }
      InvalidateRect(window, nullptr, TRUE);
      NotifyCommand(window, EN_KILLFOCUS);
      return 0;
    case WM_CHAR:
      Typed(window, *state, static_cast<WCHAR>(wParam));
      return 0;
    case WM_KEYDOWN:
      KeyDownEdit(window, *state, static_cast<int>(wParam));
      return 0;
    case WM_LBUTTONDOWN: {
      if (GetFocus() != window) SetFocus(window);
      std::u16string text = TextOf(window);
      size_t at = CharFromPoint(window, *state, text, PointFromLParam(lParam));
      state->caret = at;
      if ((wParam & MK_SHIFT) == 0) state->anchor = at;
      state->tracking = true;
      SetCapture(window);
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (state->tracking) {
        state->caret = CharFromPoint(window, *state, TextOf(window), PointFromLParam(lParam));
        InvalidateRect(window, nullptr, TRUE);
      }
      return 0;
    case WM_LBUTTONUP:
      if (state->tracking) {
        state->tracking = false;
        if (GetCapture() == window) ReleaseCapture();
      }
      return 0;
    case WM_LBUTTONDBLCLK: {
      // Selects the word under the pointer.
      std::u16string text = TextOf(window);
      size_t at = CharFromPoint(window, *state, text, PointFromLParam(lParam));
      auto isWord = [&](size_t i) { return i < text.size() && text[i] != u' ' && text[i] != u'\r' && text[i] != u'\n'; };
      size_t start = at;
      while (start > 0 && isWord(start - 1)) --start;
      size_t end = at;
      while (isWord(end)) ++end;
      state->anchor = start;
      state->caret = end;
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    }

    case EM_GETSEL: {
      size_t start = SelStart(*state);
      size_t end = SelEnd(*state);
      if (wParam != 0) *reinterpret_cast<DWORD*>(wParam) = static_cast<DWORD>(start);
      if (lParam != 0) *reinterpret_cast<DWORD*>(lParam) = static_cast<DWORD>(end);
      return static_cast<LRESULT>(MAKELONG(static_cast<WORD>(std::min<size_t>(start, 0xFFFF)),
                                           static_cast<WORD>(std::min<size_t>(end, 0xFFFF))));
    }
    case EM_SETSEL: {
      // (0, -1) selects everything; a negative start removes the selection.
      size_t length = TextOf(window).size();
      auto start = static_cast<INT_PTR>(wParam);
      auto end = static_cast<INT_PTR>(lParam);
      if (start < 0) {
        state->anchor = state->caret;
      } else {
        if (end < 0) end = static_cast<INT_PTR>(length);
        state->anchor = std::min(static_cast<size_t>(start), length);
        state->caret = std::min(static_cast<size_t>(end), length);
      }
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    }
    case EM_REPLACESEL: {
      auto* insert = reinterpret_cast<LPCWSTR>(lParam);
      if (insert == nullptr) return 0;
      if (ReplaceSelection(window, *state, insert, true, wParam != 0)) UserChanged(window);
      return 0;
    }
    case EM_LIMITTEXT: {
      size_t limit = static_cast<size_t>(wParam);
      state->limit = limit == 0 ? kEditMaximumLimit : limit;
      return 0;
    }
    case EM_GETLIMITTEXT:
      return static_cast<LRESULT>(state->limit);
    case EM_GETMODIFY:
      return state->modified ? TRUE : FALSE;
    case EM_SETMODIFY:
      state->modified = wParam != 0;
      return 0;
    case EM_CANUNDO:
      return state->canUndo ? TRUE : FALSE;
    case EM_EMPTYUNDOBUFFER:
      state->canUndo = false;
      state->undoText.clear();
      return 0;
    case EM_UNDO: {
      if (!state->canUndo) return FALSE;
      std::u16string previous = TextOf(window);
      StoreText(window, state->undoText);
      state->undoText = previous;  // a second undo redoes
      state->anchor = state->caret = TextOf(window).size();
      state->modified = true;
      InvalidateRect(window, nullptr, TRUE);
      UserChanged(window);
      return TRUE;
    }
    case EM_SETREADONLY: {
      DWORD style = StyleOf(window);
      style = wParam != 0 ? (style | ES_READONLY) : (style & ~ES_READONLY);
      SetWindowLongPtrW(window, GWL_STYLE, static_cast<LONG_PTR>(style));
      InvalidateRect(window, nullptr, TRUE);
      return TRUE;
    }
    case EM_SETPASSWORDCHAR: {
      state->passwordChar = static_cast<WCHAR>(wParam);
      DWORD style = StyleOf(window);
      style = wParam != 0 ? (style | ES_PASSWORD) : (style & ~ES_PASSWORD);
      SetWindowLongPtrW(window, GWL_STYLE, static_cast<LONG_PTR>(style));
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    }
    case EM_GETPASSWORDCHAR:
      return (StyleOf(window) & ES_PASSWORD) != 0 ? state->passwordChar : 0;
    case EM_SETMARGINS:
      if ((wParam & 1) != 0) state->leftMargin = LOWORD(static_cast<DWORD_PTR>(lParam));
      if ((wParam & 2) != 0) state->rightMargin = HIWORD(static_cast<DWORD_PTR>(lParam));
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    case EM_GETMARGINS:
      return static_cast<LRESULT>(MAKELONG(state->leftMargin, state->rightMargin));
    case EM_GETLINECOUNT:
      return Multiline(window) ? static_cast<LRESULT>(LineStarts(TextOf(window)).size()) : 1;
    case EM_LINEINDEX: {
      std::u16string text = TextOf(window);
      std::vector<size_t> starts = LineStarts(text);
      auto line = static_cast<INT_PTR>(wParam);
      if (line < 0) return static_cast<LRESULT>(starts[LineOf(starts, std::min(state->caret, text.size()))]);
      if (!Multiline(window)) return line == 0 ? 0 : -1;
      return static_cast<size_t>(line) < starts.size() ? static_cast<LRESULT>(starts[static_cast<size_t>(line)]) : -1;
    }
    case EM_LINEFROMCHAR: {
      if (!Multiline(window)) return 0;
      std::u16string text = TextOf(window);
      auto position = static_cast<INT_PTR>(wParam);
      size_t at = position < 0 ? SelStart(*state) : std::min(static_cast<size_t>(position), text.size());
      return static_cast<LRESULT>(LineOf(LineStarts(text), at));
    }
    case EM_LINELENGTH: {
      std::u16string text = TextOf(window);
      std::vector<size_t> starts = LineStarts(text);
      auto position = static_cast<INT_PTR>(wParam);
      if (!Multiline(window)) return static_cast<LRESULT>(text.size());
      if (position < 0) return static_cast<LRESULT>(LineLength(text, starts, LineOf(starts, state->caret)));
      if (static_cast<size_t>(position) > text.size()) return 0;
      return static_cast<LRESULT>(LineLength(text, starts, LineOf(starts, static_cast<size_t>(position))));
    }
    case EM_GETLINE: {
      // The buffer's first WORD holds its capacity; the copy is not terminated.
      auto* buffer = reinterpret_cast<WCHAR*>(lParam);
      if (buffer == nullptr) return 0;
      WORD capacity = 0;
      memcpy(&capacity, buffer, sizeof(capacity));
      std::u16string text = TextOf(window);
      std::vector<size_t> starts = LineStarts(text);
      size_t line = Multiline(window) ? static_cast<size_t>(wParam) : 0;
      if (line >= starts.size()) return 0;
      size_t length = Multiline(window) ? LineLength(text, starts, line) : text.size();
      size_t copied = std::min<size_t>(length, capacity);
      std::copy_n(text.begin() + static_cast<std::ptrdiff_t>(starts[line]), copied, buffer);
      return static_cast<LRESULT>(copied);
    }
    case EM_GETFIRSTVISIBLELINE:
      return static_cast<LRESULT>(state->firstVisible);
    case EM_SCROLLCARET:
      ScrollCaretIntoView(window, *state, TextOf(window));
      InvalidateRect(window, nullptr, TRUE);
      return TRUE;
    case EM_GETRECT: {
      if (lParam == 0) return 0;
      RECT rect = ClientRectOf(window);
      InflateRect(&rect, -1, -1);
      rect.left += state->leftMargin;
      rect.right -= state->rightMargin;
      *reinterpret_cast<RECT*>(lParam) = rect;
      return 0;
    }
    case EM_POSFROMCHAR: {
      std::u16string text = TextOf(window);
      size_t at = static_cast<size_t>(wParam);
      if (at > text.size()) return -1;
      std::vector<size_t> starts = Multiline(window) ? LineStarts(text) : std::vector<size_t>{0};
      size_t line = LineOf(starts, at);
      int x = 1 + state->leftMargin +
              static_cast<int>(at - starts[line] - (Multiline(window) ? 0 : std::min(state->firstVisible, at))) * kCharWidth;
      int y = 1 + static_cast<int>(line - (Multiline(window) ? std::min(state->firstVisible, line) : 0)) * kCharHeight;
      return static_cast<LRESULT>(MAKELONG(static_cast<WORD>(x), static_cast<WORD>(y)));
    }
    case EM_CHARFROMPOS: {
      std::u16string text = TextOf(window);
      size_t at = CharFromPoint(window, *state, text, PointFromLParam(lParam));
      size_t line = Multiline(window) ? LineOf(LineStarts(text), at) : 0;
      return static_cast<LRESULT>(MAKELONG(static_cast<WORD>(at), static_cast<WORD>(line)));
    }
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace velm::ui
