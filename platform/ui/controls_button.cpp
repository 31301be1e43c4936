// The button ("BUTTON"): push and default push buttons, check boxes (two- and three-state, auto
// or not), radio buttons (an auto radio button checks itself and clears the others of its group),
// group boxes and owner-drawn buttons.
//
// A click is WM_LBUTTONDOWN (pushed, focus, capture) then WM_LBUTTONUP inside the button; Space
// down and up does the same from the keyboard; BM_CLICK sends both. The auto styles change
// their check first, then the parent gets WM_COMMAND(BN_CLICKED).
#include "ui/controls_internal.h"

namespace velm::ui {
namespace {

struct ButtonState : ControlState {
  UINT check = BST_UNCHECKED;
  bool pushed = false;
  bool focused = false;
  bool tracking = false;  // mouse button down on it, capture held
  bool spaceDown = false;
  HANDLE image = nullptr;
};

DWORD TypeOf(DWORD style) { return style & BS_TYPEMASK; }

bool IsCheckType(DWORD type) {
  return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE;
}
bool IsRadioType(DWORD type) { return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON; }
bool IsPushType(DWORD type) { return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || type == BS_PUSHBOX; }

void NotifyIfAsked(HWND window, WORD code) {
  if ((StyleOf(window) & BS_NOTIFY) != 0) NotifyCommand(window, code);
}

// Clears every other auto radio button of the group `window` belongs to: the siblings from the
// nearest WS_GROUP at or before it up to the next WS_GROUP.
void ClearRadioGroup(HWND window) {
  HWND parent = GetParent(window);
  if (parent == nullptr) return;
  HWND first = window;
  while ((StyleOf(first) & WS_GROUP) == 0) {
    HWND previous = GetWindow(first, GW_HWNDPREV);
    if (previous == nullptr) break;
    first = previous;
  }
  for (HWND sibling = first; sibling != nullptr; sibling = GetWindow(sibling, GW_HWNDNEXT)) {
    if (sibling != first && (StyleOf(sibling) & WS_GROUP) != 0) break;
    if (sibling == window) continue;
    if (TypeOf(StyleOf(sibling)) == BS_AUTORADIOBUTTON) SendMessageW(sibling, BM_SETCHECK, BST_UNCHECKED, 0);
  }
}

void SetPushed(HWND window, ButtonState& state, bool pushed) {
  if (state.pushed == pushed) return;
  state.pushed = pushed;
  InvalidateRect(window, nullptr, TRUE);
  NotifyIfAsked(window, pushed ? BN_HILITE : BN_UNHILITE);
}

// The end of a click: the auto styles' check, then BN_CLICKED.
void Click(HWND window, ButtonState& state) {
  DWORD type = TypeOf(StyleOf(window));
  switch (type) {
    case BS_AUTOCHECKBOX:
      SendMessageW(window, BM_SETCHECK, state.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
      break;
    case BS_AUTO3STATE:
      SendMessageW(window, BM_SETCHECK, (state.check + 1) % 3, 0);
      break;
    case BS_AUTORADIOBUTTON:
      SendMessageW(window, BM_SETCHECK, BST_CHECKED, 0);
      break;
    default:
      break;
  }
  NotifyCommand(window, BN_CLICKED);
}

UINT TextFormat(DWORD style, bool push) {
  UINT format = (style & BS_MULTILINE) != 0 ? DT_WORDBREAK : DT_SINGLELINE;
  switch (style & BS_CENTER) {
    case BS_LEFT: format |= DT_LEFT; break;
    case BS_RIGHT: format |= DT_RIGHT; break;
    case BS_CENTER: format |= DT_CENTER; break;
    default: format |= push ? DT_CENTER : DT_LEFT; break;
  }
  if ((style & BS_MULTILINE) == 0) format |= DT_VCENTER;
  return format;
}

std::u16string TextOf(HWND window) {
  int length = GetWindowTextLengthW(window);
  std::u16string text(static_cast<size_t>(length) + 1, u'\0');
  int copied = GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<size_t>(copied < 0 ? 0 : copied));
  return text;
}

void PaintButton(HWND window, ButtonState& state, HDC dc, const RECT& client) {
  DWORD style = StyleOf(window);
  DWORD type = TypeOf(style);
  bool enabled = IsWindowEnabled(window) != FALSE;
  std::u16string text = TextOf(window);

  if (type == BS_OWNERDRAW) {
    UINT itemState = (state.pushed ? ODS_SELECTED : 0) | (state.focused ? ODS_FOCUS : 0) | (enabled ? 0 : ODS_DISABLED);
    SendDrawItem(window, ODT_BUTTON, 0, ODA_DRAWENTIRE, itemState, dc, client, 0);
    return;
  }
  if (IsPushType(type) || (style & BS_PUSHLIKE) != 0) {
    ControlColor(window, dc, WM_CTLCOLORBTN);
    bool pushed = state.pushed || ((style & BS_PUSHLIKE) != 0 && state.check == BST_CHECKED);
    DrawPushFace(dc, client, pushed, type == BS_DEFPUSHBUTTON);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    RECT label = client;
    InflateRect(&label, -4, -3);
    if (pushed) OffsetRect(&label, 1, 1);
    DrawLabel(dc, text, label, TextFormat(style, true));
    if (state.focused) {
      RECT focus = client;
      InflateRect(&focus, -4, -4);
      DrawFocusRect(dc, &focus);
    }
    return;
  }
  // Check boxes, radio buttons and group boxes take their colours as statics do.
  HBRUSH background = ControlColor(window, dc, WM_CTLCOLORSTATIC);
  if (!enabled) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
  if (type == BS_GROUPBOX) {
    RECT frame = client;
    frame.top += kCharHeight / 2;
    DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
    if (!text.empty()) {
      RECT label{client.left + 8, client.top, client.left + 8 + kCharWidth * static_cast<int>(text.size()) + 4,
                 client.top + kCharHeight};
      if (label.right > client.right - 2) label.right = client.right - 2;
      FillRect(dc, &label, background);
      label.left += 2;
      DrawLabel(dc, text, label, DT_SINGLELINE | DT_LEFT | DT_END_ELLIPSIS);
    }
    return;
  }
  FillRect(dc, &client, background);
  constexpr int kBox = 13;
  bool leftText = (style & BS_LEFTTEXT) != 0;
  int boxLeft = leftText ? client.right - kBox : client.left;
  int boxTop = client.top + (HeightOf(client) - kBox) / 2;
  if (IsRadioType(type)) {
    DrawRadio(dc, boxLeft, boxTop, state.check == BST_CHECKED, enabled);
  } else {
    DrawCheckBox(dc, RECT{boxLeft, boxTop, boxLeft + kBox, boxTop + kBox}, state.check, enabled);
  }
  RECT label = client;
  if (leftText) {
    label.right -= kBox + 4;
  } else {
    label.left += kBox + 4;
  }
  DrawLabel(dc, text, label, TextFormat(style, false));
  if (state.focused && !text.empty()) {
    RECT focus = label;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &focus, TextFormat(style, false) | DT_CALCRECT);
    InflateRect(&focus, 1, 1);
    DrawFocusRect(dc, &focus);
  }
}

}  // namespace

LRESULT ButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto state = ControlStateOf<ButtonState>(window);
  LRESULT result = 0;
  if (HandleCommonMessage(window, *state, message, wParam, lParam, &result)) return result;
  DWORD type = TypeOf(StyleOf(window));
  switch (message) {
    case WM_CREATE:
      return 0;
    case WM_PAINT:
    case WM_PRINTCLIENT:
      return PaintControl(window, *state, message, wParam,
                          [&](HDC dc, const RECT& client) { PaintButton(window, *state, dc, client); });
    case WM_ERASEBKGND:
      return 1;
    case WM_NCHITTEST:
      // A group box lets clicks through to what lies beneath it.
      return type == BS_GROUPBOX ? HTTRANSPARENT : HTCLIENT;
    case WM_GETDLGCODE:
      switch (type) {
        case BS_DEFPUSHBUTTON: return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
        case BS_PUSHBUTTON:
        case BS_PUSHBOX:
        case BS_OWNERDRAW: return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON: return DLGC_BUTTON | DLGC_RADIOBUTTON;
        case BS_GROUPBOX: return DLGC_STATIC;
        default: return DLGC_BUTTON;
      }
    case WM_SETTEXT:
      result = DefWindowProcW(window, message, wParam, lParam);
      InvalidateRect(window, nullptr, TRUE);
      return result;
    case WM_SETFOCUS:
      state->focused = true;
      InvalidateRect(window, nullptr, TRUE);
      NotifyIfAsked(window, BN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      state->focused = false;
      if (state->tracking || state->spaceDown) {
        state->tracking = state->spaceDown = false;
        if (GetCapture() == window) ReleaseCapture();
        SetPushed(window, *state, false);
      }
      InvalidateRect(window, nullptr, TRUE);
      NotifyIfAsked(window, BN_KILLFOCUS);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (type == BS_GROUPBOX) return 0;
      if (message == WM_LBUTTONDBLCLK && (IsRadioType(type) || type == BS_OWNERDRAW)) {
        NotifyCommand(window, BN_DOUBLECLICKED);
        return 0;
      }
      SetCapture(window);
      if (GetFocus() != window) SetFocus(window);
      state->tracking = true;
      SetPushed(window, *state, true);
      return 0;
    case WM_MOUSEMOVE:
      if (state->tracking) {
        RECT client = ClientRectOf(window);
        SetPushed(window, *state, PtInRect(&client, PointFromLParam(lParam)) != FALSE);
      }
      return 0;
    case WM_LBUTTONUP: {
      if (!state->tracking) return 0;
      state->tracking = false;
      RECT client = ClientRectOf(window);
      bool inside = PtInRect(&client, PointFromLParam(lParam)) != FALSE;
      SetPushed(window, *state, false);
      if (GetCapture() == window) ReleaseCapture();
      if (inside) Click(window, *state);
      return 0;
    }
    case WM_KEYDOWN:
      if (wParam == static_cast<WPARAM>(VK_SPACE) && type != BS_GROUPBOX && !state->spaceDown) {
        state->spaceDown = true;
        SetPushed(window, *state, true);
      }
      return 0;
    case WM_KEYUP:
      if (wParam == static_cast<WPARAM>(VK_SPACE) && state->spaceDown) {
        state->spaceDown = false;
        SetPushed(window, *state, false);
        Click(window, *state);
      }
      return 0;
    case WM_CHAR:
      return 0;
    case BM_CLICK:
      if (!IsWindowEnabled(window)) return 0;
      SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, 0);
      SendMessageW(window, WM_LBUTTONUP, 0, 0);
      return 0;
    case BM_GETCHECK:
      return (IsCheckType(type) || IsRadioType(type)) ? state->check : BST_UNCHECKED;
    case BM_SETCHECK: {
      if (!IsCheckType(type) && !IsRadioType(type)) return 0;
      UINT check = static_cast<UINT>(wParam);
      if (check == BST_INDETERMINATE && type != BS_3STATE && type != BS_AUTO3STATE) check = BST_CHECKED;
      if (check > BST_INDETERMINATE) check = BST_CHECKED;
      if (state->check != check) {
        state->check = check;
        InvalidateRect(window, nullptr, TRUE);
      }
      if (type == BS_AUTORADIOBUTTON && check == BST_CHECKED && (StyleOf(window) & WS_CHILD) != 0) {
        ClearRadioGroup(window);
      }
      return 0;
    }
    case BM_GETSTATE:
      return static_cast<LRESULT>(state->check | (state->pushed ? BST_PUSHED : 0) | (state->focused ? BST_FOCUS : 0));
    case BM_SETSTATE:
      SetPushed(window, *state, wParam != 0);
      return 0;
    case BM_SETSTYLE: {
      DWORD style = (StyleOf(window) & ~static_cast<DWORD>(0xFFFF)) | static_cast<DWORD>(LOWORD(wParam));
      SetWindowLongPtrW(window, GWL_STYLE, static_cast<LONG_PTR>(style));
      if (LOWORD(static_cast<DWORD_PTR>(lParam)) != 0) InvalidateRect(window, nullptr, TRUE);
      return 0;
    }
    case BM_SETIMAGE: {
      HANDLE previous = state->image;
      state->image = reinterpret_cast<HANDLE>(lParam);
      InvalidateRect(window, nullptr, TRUE);
      return reinterpret_cast<LRESULT>(previous);
    }
    case BM_GETIMAGE:
      return reinterpret_cast<LRESULT>(state->image);
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace velm::ui
