// The trackbar ("msctls_trackbar32"): a range, a position it moves itself, line and page sizes.
// Keys and clicks move the position and tell the parent with WM_HSCROLL (WM_VSCROLL for
// TBS_VERT), lParam = the trackbar, then TB_ENDTRACK; TBM_SETPOS notifies nothing.
#include <algorithm>

#include "ui/controls_internal.h"

namespace velm::ui {
namespace {

constexpr int kThumbWidth = 11;
constexpr int kChannelMargin = 8;

struct TrackbarState : ControlState {
  int minimum = 0;
  int maximum = 100;
  int position = 0;
  int lineSize = 1;
  int pageSize = 20;
  bool pageSizeSet = false;
  int ticFrequency = 1;
  bool focused = false;
  bool dragging = false;
  bool clicking = false;
};

bool Vertical(HWND window) { return (StyleOf(window) & TBS_VERT) != 0; }

void ClampPosition(TrackbarState& state) { state.position = ClampInt(state.position, state.minimum, state.maximum); }

void DefaultPage(TrackbarState& state) {
  if (!state.pageSizeSet) state.pageSize = std::max((state.maximum - state.minimum) / 5, 1);
}

RECT ChannelRect(HWND window) {
  RECT client = ClientRectOf(window);
  if (Vertical(window)) {
    int x = client.left + WidthOf(client) / 2;
    return RECT{x - 2, client.top + kChannelMargin, x + 2, client.bottom - kChannelMargin};
  }
  int y = client.top + HeightOf(client) / 2;
  return RECT{client.left + kChannelMargin, y - 2, client.right - kChannelMargin, y + 2};
}

int Offset(HWND window, const TrackbarState& state, int value) {
  RECT channel = ChannelRect(window);
  int length = Vertical(window) ? HeightOf(channel) : WidthOf(channel);
  int range = std::max(state.maximum - state.minimum, 1);
  return static_cast<int>(static_cast<long long>(value - state.minimum) * length / range);
}

RECT ThumbRect(HWND window, const TrackbarState& state) {
  RECT client = ClientRectOf(window);
  RECT channel = ChannelRect(window);
  int at = Offset(window, state, state.position);
  if (Vertical(window)) {
    int y = channel.top + at;
    return RECT{client.left + 2, y - kThumbWidth / 2, client.right - 2, y + kThumbWidth / 2 + 1};
  }
  int x = channel.left + at;
  return RECT{x - kThumbWidth / 2, client.top + 2, x + kThumbWidth / 2 + 1, client.bottom - 2};
}

int ValueAt(HWND window, const TrackbarState& state, POINT point) {
  RECT channel = ChannelRect(window);
  int length = std::max(Vertical(window) ? HeightOf(channel) : WidthOf(channel), 1);
  int along = Vertical(window) ? point.y - channel.top : point.x - channel.left;
  long long value = state.minimum + (static_cast<long long>(along) * (state.maximum - state.minimum) + length / 2) / length;
  return ClampInt(value, state.minimum, state.maximum);
}

// Moves the position by a user action and notifies the parent (no message when it cannot move).
void Move(HWND window, TrackbarState& state, WORD code, int target) {
  target = ClampInt(target, state.minimum, state.maximum);
  if (target == state.position && code != TB_THUMBPOSITION) return;
  state.position = target;
  InvalidateRect(window, nullptr, TRUE);
  NotifyScroll(window, Vertical(window), code, target);
}

void PaintTrackbar(HWND window, TrackbarState& state, HDC dc, const RECT& client) {
  HBRUSH background = ControlColor(window, dc, WM_CTLCOLORSTATIC);
  FillRect(dc, &client, background);
  RECT channel = ChannelRect(window);
  DrawEdge(dc, &channel, EDGE_SUNKEN, BF_RECT);
  DWORD style = StyleOf(window);
  if ((style & TBS_NOTICKS) == 0 && (style & TBS_AUTOTICKS) != 0 && state.ticFrequency > 0) {
    for (long long value = state.minimum; value <= state.maximum; value += state.ticFrequency) {
      int at = Offset(window, state, static_cast<int>(value));
      if (Vertical(window)) {
        FillSolid(dc, client.right - 4, channel.top + at, 3, 1, COLOR_WINDOWTEXT);
      } else {
        FillSolid(dc, channel.left + at, client.bottom - 4, 1, 3, COLOR_WINDOWTEXT);
      }
    }
  }
  if ((style & TBS_NOTHUMB) == 0) {
    RECT thumb = ThumbRect(window, state);
    DrawPushFace(dc, thumb, state.dragging, false);
  }
  if (state.focused) {
    RECT focus = client;
    DrawFocusRect(dc, &focus);
  }
}

}  // namespace

LRESULT TrackbarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto state = ControlStateOf<TrackbarState>(window);
  LRESULT result = 0;
  if (HandleCommonMessage(window, *state, message, wParam, lParam, &result)) return result;
  if (HandleFocusedControlMessage(window, &state->focused, DLGC_WANTARROWS, false, message, &result)) {
    return result;
  }
  bool redraw = wParam != 0;
  switch (message) {
    case WM_CREATE:
      DefaultPage(*state);
      return 0;
    case WM_PAINT:
    case WM_PRINTCLIENT:
      return PaintControl(window, *state, message, wParam,
                          [&](HDC dc, const RECT& client) { PaintTrackbar(window, *state, dc, client); });
    case WM_KEYDOWN:
      switch (static_cast<int>(wParam)) {
        case VK_UP:
        case VK_LEFT: Move(window, *state, TB_LINEUP, state->position - state->lineSize); break;
        case VK_DOWN:
        case VK_RIGHT: Move(window, *state, TB_LINEDOWN, state->position + state->lineSize); break;
        case VK_PRIOR: Move(window, *state, TB_PAGEUP, state->position - state->pageSize); break;
        case VK_NEXT: Move(window, *state, TB_PAGEDOWN, state->position + state->pageSize); break;
        case VK_HOME: Move(window, *state, TB_TOP, state->minimum); break;
        case VK_END: Move(window, *state, TB_BOTTOM, state->maximum); break;
        default: break;
      }
      return 0;
    case WM_KEYUP:
      switch (static_cast<int>(wParam)) {
        case VK_UP: case VK_LEFT: case VK_DOWN: case VK_RIGHT:
        case VK_PRIOR: case VK_NEXT: case VK_HOME: case VK_END:
          NotifyScroll(window, Vertical(window), TB_ENDTRACK, 0);
          break;
        default: break;
      }
      return 0;
    case WM_LBUTTONDOWN: {
      if (GetFocus() != window) SetFocus(window);
      POINT point = PointFromLParam(lParam);
      RECT thumb = ThumbRect(window, *state);
      SetCapture(window);
      if (PtInRect(&thumb, point)) {
        state->dragging = true;
        InvalidateRect(window, nullptr, TRUE);
        return 0;
      }
      // A click beside the thumb pages toward the click.
      state->clicking = true;
      int target = ValueAt(window, *state, point);
      if (target < state->position) {
        Move(window, *state, TB_PAGEUP, std::max(state->position - state->pageSize, target));
      } else if (target > state->position) {
        Move(window, *state, TB_PAGEDOWN, std::min(state->position + state->pageSize, target));
      }
      return 0;
    }
    case WM_MOUSEMOVE:
      if (state->dragging) Move(window, *state, TB_THUMBTRACK, ValueAt(window, *state, PointFromLParam(lParam)));
      return 0;
    case WM_LBUTTONUP:
      if (state->dragging) {
        state->dragging = false;
        if (GetCapture() == window) ReleaseCapture();
        Move(window, *state, TB_THUMBPOSITION, state->position);
        NotifyScroll(window, Vertical(window), TB_ENDTRACK, 0);
      } else if (state->clicking) {
        state->clicking = false;
        if (GetCapture() == window) ReleaseCapture();
        NotifyScroll(window, Vertical(window), TB_ENDTRACK, 0);
      }
      return 0;

    case TBM_GETPOS:
      return state->position;
    case TBM_GETRANGEMIN:
      return state->minimum;
    case TBM_GETRANGEMAX:
      return state->maximum;
    case TBM_SETPOS:
      state->position = static_cast<int>(lParam);
      ClampPosition(*state);
      if (redraw) InvalidateRect(window, nullptr, TRUE);
      return 0;
    case TBM_SETRANGE:
      state->minimum = static_cast<SHORT>(LOWORD(static_cast<DWORD_PTR>(lParam)));
      state->maximum = static_cast<SHORT>(HIWORD(static_cast<DWORD_PTR>(lParam)));
      if (state->maximum < state->minimum) std::swap(state->minimum, state->maximum);
      DefaultPage(*state);
      ClampPosition(*state);
      if (redraw) InvalidateRect(window, nullptr, TRUE);
      return 0;
    case TBM_SETRANGEMIN:
    case TBM_SETRANGEMAX:
      (message == TBM_SETRANGEMIN ? state->minimum : state->maximum) = static_cast<int>(lParam);
      if (state->maximum < state->minimum) state->maximum = state->minimum;
      DefaultPage(*state);
      ClampPosition(*state);
      if (redraw) InvalidateRect(window, nullptr, TRUE);
      return 0;
    case TBM_SETTICFREQ:
      state->ticFrequency = std::max(static_cast<int>(static_cast<INT_PTR>(wParam)), 1);
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    case TBM_SETPAGESIZE: {
      int previous = state->pageSize;
      state->pageSize = static_cast<int>(lParam);
      state->pageSizeSet = true;
      return previous;
    }
    case TBM_GETPAGESIZE:
      return state->pageSize;
    case TBM_SETLINESIZE: {
      int previous = state->lineSize;
      state->lineSize = static_cast<int>(lParam);
      return previous;
    }
    case TBM_GETLINESIZE:
      return state->lineSize;
    case TBM_GETTHUMBRECT:
      if (lParam != 0) *reinterpret_cast<RECT*>(lParam) = ThumbRect(window, *state);
      return 0;
    case TBM_GETCHANNELRECT:
      if (lParam != 0) *reinterpret_cast<RECT*>(lParam) = ChannelRect(window);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace velm::ui
