// The scroll bar control ("SCROLLBAR") and the scroll bar functions for controls (SB_CTL) and for
// the bars of windows with WS_HSCROLL/WS_VSCROLL (SB_HORZ, SB_VERT).
//
// As on Windows, a scroll bar never moves itself: a click on an arrow or the track, a key or a
// thumb drag only tells the parent (WM_HSCROLL/WM_VSCROLL, lParam = the bar), and the parent sets
// the new position. Each action ends with SB_ENDSCROLL.
#include <algorithm>

#include "ui/controls_internal.h"

namespace velm::ui {
namespace {

struct ScrollBarState : ControlState {
  ScrollData data;
  bool focused = false;
  bool tracking = false;      // thumb drag in progress
  bool clicking = false;      // arrow or track held down
  int dragOffset = 0;         // pointer offset inside the thumb
};

bool Vertical(HWND window) { return (StyleOf(window) & SBS_VERT) != 0; }

void Normalise(ScrollData& data) {
  if (data.maximum < data.minimum) data.maximum = data.minimum;
  long long range = static_cast<long long>(data.maximum) - data.minimum + 1;
  if (static_cast<long long>(data.page) > range) data.page = static_cast<UINT>(range);
  long long top = static_cast<long long>(data.maximum) - std::max<long long>(static_cast<long long>(data.page) - 1, 0);
  data.position = ClampInt(data.position, data.minimum, static_cast<int>(std::max<long long>(top, data.minimum)));
}

// Applies a SCROLLINFO to `data`; the new position.
int ApplyInfo(ScrollData& data, const SCROLLINFO& info) {
  if ((info.fMask & SIF_RANGE) != 0) {
    data.minimum = info.nMin;
    data.maximum = info.nMax;
  }
  if ((info.fMask & SIF_PAGE) != 0) data.page = info.nPage;
  if ((info.fMask & SIF_POS) != 0) data.position = info.nPos;
  data.present = true;
  Normalise(data);
  return data.position;
}

void ReadInfo(const ScrollData& data, SCROLLINFO* info) {
  if ((info->fMask & SIF_RANGE) != 0) {
    info->nMin = data.minimum;
    info->nMax = data.maximum;
  }
  if ((info->fMask & SIF_PAGE) != 0) info->nPage = data.page;
  if ((info->fMask & SIF_POS) != 0) info->nPos = data.position;
  if ((info->fMask & SIF_TRACKPOS) != 0) info->nTrackPos = data.trackPosition;
}

bool ValidInfo(const SCROLLINFO* info) {
  return info != nullptr && (info->cbSize == sizeof(SCROLLINFO) || info->cbSize == sizeof(SCROLLINFO) - sizeof(int));
}

// Where a point lies along the bar.
enum class Part { kNone, kFirstArrow, kFirstTrack, kThumb, kSecondTrack, kSecondArrow };

Part HitTest(HWND window, const ScrollData& data, POINT point, int* along) {
  RECT client = ClientRectOf(window);
  bool vertical = Vertical(window);
  int length = vertical ? HeightOf(client) : WidthOf(client);
  int at = vertical ? point.y - client.top : point.x - client.left;
  *along = at;
  if (at < 0 || at >= length) return Part::kNone;
  int arrow = std::min(kScrollArrow, length / 2);
  if (at < arrow) return Part::kFirstArrow;
  if (at >= length - arrow) return Part::kSecondArrow;
  int thumbStart = 0;
  int thumbLength = 0;
  ScrollThumb(data, length, &thumbStart, &thumbLength);
  if (thumbLength <= 0) return Part::kNone;
  if (at < thumbStart) return Part::kFirstTrack;
  if (at >= thumbStart + thumbLength) return Part::kSecondTrack;
  return Part::kThumb;
}

// The position a thumb whose start is at `thumbStart` pixels stands for.
int PositionAt(HWND window, const ScrollData& data, int thumbStart) {
  RECT client = ClientRectOf(window);
  int length = Vertical(window) ? HeightOf(client) : WidthOf(client);
  int start = 0;
  int thumb = 0;
  ScrollThumb(data, length, &start, &thumb);
  int track = std::max(length - 2 * kScrollArrow - thumb, 1);
  long long positions = static_cast<long long>(data.maximum) - data.minimum -
                        std::max<long long>(static_cast<long long>(data.page) - 1, 0);
  long long position = data.minimum + (static_cast<long long>(thumbStart - kScrollArrow) * positions + track / 2) / track;
  return ClampInt(position, data.minimum, static_cast<int>(data.minimum + std::max<long long>(positions, 0)));
}

bool ArrowEnabled(const ScrollData& data, bool first) {
  return (data.disabledArrows & (first ? ESB_DISABLE_LTUP : ESB_DISABLE_RTDN)) == 0;
}

void PaintScrollBar(HWND window, ScrollBarState& state, HDC dc, const RECT& client) {
  ControlColor(window, dc, WM_CTLCOLORSCROLLBAR);
  DrawScrollBar(dc, client, Vertical(window), state.data, IsWindowEnabled(window) != FALSE);
  if (state.focused) {
    RECT focus = client;
    InflateRect(&focus, -2, -2);
    DrawFocusRect(dc, &focus);
  }
}

}  // namespace

LRESULT ScrollBarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto state = ControlStateOf<ScrollBarState>(window);
  ScrollData& data = state->data;
  LRESULT result = 0;
  if (HandleCommonMessage(window, *state, message, wParam, lParam, &result)) return result;
  if (HandleFocusedControlMessage(window, &state->focused, DLGC_WANTARROWS, false, message, &result)) {
    return result;
  }
  bool vertical = Vertical(window);
  switch (message) {
    case WM_CREATE:
      data.present = true;
      return 0;
    case WM_PAINT:
    case WM_PRINTCLIENT:
      return PaintControl(window, *state, message, wParam,
                          [&](HDC dc, const RECT& client) { PaintScrollBar(window, *state, dc, client); });
    case WM_LBUTTONDOWN: {
      if (data.maximum <= data.minimum) return 0;
      int along = 0;
      Part part = HitTest(window, data, PointFromLParam(lParam), &along);
      if ((StyleOf(window) & WS_TABSTOP) != 0 && GetFocus() != window) SetFocus(window);
      switch (part) {
        case Part::kFirstArrow:
          if (!ArrowEnabled(data, true)) return 0;
          NotifyScroll(window, vertical, SB_LINEUP, 0);
          break;
        case Part::kSecondArrow:
          if (!ArrowEnabled(data, false)) return 0;
          NotifyScroll(window, vertical, SB_LINEDOWN, 0);
          break;
        case Part::kFirstTrack: NotifyScroll(window, vertical, SB_PAGEUP, 0); break;
        case Part::kSecondTrack: NotifyScroll(window, vertical, SB_PAGEDOWN, 0); break;
        case Part::kThumb: {
          RECT client = ClientRectOf(window);
          int length = vertical ? HeightOf(client) : WidthOf(client);
          int start = 0;
          int thumb = 0;
          ScrollThumb(data, length, &start, &thumb);
          state->dragOffset = along - start;
          state->tracking = true;
          data.trackPosition = data.position;
          SetCapture(window);
          return 0;
        }
        case Part::kNone: return 0;
      }
      auto alive = FindControlState(window);
      if (alive != nullptr) {
        state->clicking = true;
        SetCapture(window);
      }
      return 0;
    }
    case WM_MOUSEMOVE: {
      if (!state->tracking) return 0;
      POINT point = PointFromLParam(lParam);
      int along = vertical ? point.y : point.x;
      int position = PositionAt(window, data, along - state->dragOffset);
      if (position != data.trackPosition) {
        data.trackPosition = position;
        NotifyScroll(window, vertical, SB_THUMBTRACK, position);
      }
      return 0;
    }
    case WM_LBUTTONUP: {
      if (state->tracking) {
        state->tracking = false;
        if (GetCapture() == window) ReleaseCapture();
        NotifyScroll(window, vertical, SB_THUMBPOSITION, data.trackPosition);
        NotifyScroll(window, vertical, SB_ENDSCROLL, 0);
      } else if (state->clicking) {
        state->clicking = false;
        if (GetCapture() == window) ReleaseCapture();
        NotifyScroll(window, vertical, SB_ENDSCROLL, 0);
      }
      return 0;
    }
    case WM_KEYDOWN: {
      WORD code = 0;
      switch (static_cast<int>(wParam)) {
        case VK_UP:
        case VK_LEFT: code = SB_LINEUP; break;
        case VK_DOWN:
        case VK_RIGHT: code = SB_LINEDOWN; break;
        case VK_PRIOR: code = SB_PAGEUP; break;
        case VK_NEXT: code = SB_PAGEDOWN; break;
        case VK_HOME: code = SB_TOP; break;
        case VK_END: code = SB_BOTTOM; break;
        default: return 0;
      }
      if (code == SB_LINEUP && !ArrowEnabled(data, true)) return 0;
      if (code == SB_LINEDOWN && !ArrowEnabled(data, false)) return 0;
      NotifyScroll(window, vertical, code, 0);
      return 0;
    }
    case WM_KEYUP:
      switch (static_cast<int>(wParam)) {
        case VK_UP: case VK_LEFT: case VK_DOWN: case VK_RIGHT:
        case VK_PRIOR: case VK_NEXT: case VK_HOME: case VK_END:
          NotifyScroll(window, vertical, SB_ENDSCROLL, 0);
          break;
        default: break;
      }
      return 0;

    case SBM_SETSCROLLINFO: {
      const auto* info = reinterpret_cast<const SCROLLINFO*>(lParam);
      if (!ValidInfo(info)) return 0;
      int position = ApplyInfo(data, *info);
      if (wParam != 0) InvalidateRect(window, nullptr, TRUE);
      return position;
    }
    case SBM_GETSCROLLINFO: {
      auto* info = reinterpret_cast<SCROLLINFO*>(lParam);
      if (!ValidInfo(info)) return FALSE;
      ReadInfo(data, info);
      return TRUE;
    }
    case SBM_SETPOS: {
      int previous = data.position;
      data.position = static_cast<int>(static_cast<INT_PTR>(wParam));
      Normalise(data);
      if (lParam != 0) InvalidateRect(window, nullptr, TRUE);
      return previous;
    }
    case SBM_GETPOS:
      return data.position;
    case SBM_SETRANGE:
    case SBM_SETRANGEREDRAW: {
      int previous = data.position;
      data.minimum = static_cast<int>(static_cast<INT_PTR>(wParam));
      data.maximum = static_cast<int>(lParam);
      Normalise(data);
      if (message == SBM_SETRANGEREDRAW) InvalidateRect(window, nullptr, TRUE);
      return previous;
    }
    case SBM_GETRANGE:
      if (wParam != 0) *reinterpret_cast<int*>(wParam) = data.minimum;
      if (lParam != 0) *reinterpret_cast<int*>(lParam) = data.maximum;
      return 0;
    case SBM_ENABLE_ARROWS: {
      UINT arrows = static_cast<UINT>(wParam) & ESB_DISABLE_BOTH;
      if (arrows == data.disabledArrows) return FALSE;
      data.disabledArrows = arrows;
      InvalidateRect(window, nullptr, TRUE);
      return TRUE;
    }
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

namespace {

bool WindowBarExists(HWND window, int bar) {
  DWORD style = StyleOf(window);
  return (bar == SB_HORZ && (style & WS_HSCROLL) != 0) || (bar == SB_VERT && (style & WS_VSCROLL) != 0);
}

}  // namespace
}  // namespace velm::ui

using velm::ui::ScrollData;

int SetScrollInfo(HWND window, int bar, LPCSCROLLINFO info, BOOL redraw) {
  if (!IsWindow(window) || !velm::ui::ValidInfo(info)) return 0;
  if (bar == SB_CTL) return static_cast<int>(SendMessageW(window, SBM_SETSCROLLINFO, redraw, reinterpret_cast<LPARAM>(info)));
  if (bar != SB_HORZ && bar != SB_VERT) return 0;
  ScrollData& data = velm::ui::WindowScrollData(window, bar);
  int position = velm::ui::ApplyInfo(data, *info);
  if (redraw) InvalidateRect(window, nullptr, TRUE);
  return position;
}

BOOL GetScrollInfo(HWND window, int bar, LPSCROLLINFO info) {
  if (!IsWindow(window) || !velm::ui::ValidInfo(info)) return FALSE;
  if (bar == SB_CTL) return static_cast<BOOL>(SendMessageW(window, SBM_GETSCROLLINFO, 0, reinterpret_cast<LPARAM>(info)));
  if (bar != SB_HORZ && bar != SB_VERT) return FALSE;
  ScrollData& data = velm::ui::WindowScrollData(window, bar);
  if (!data.present && !velm::ui::WindowBarExists(window, bar)) return FALSE;
  velm::ui::ReadInfo(data, info);
  return TRUE;
}

int SetScrollPos(HWND window, int bar, int position, BOOL redraw) {
  SCROLLINFO info{sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, 0, 0};
  if (!GetScrollInfo(window, bar, &info) && bar != SB_HORZ && bar != SB_VERT) return 0;
  int previous = info.nPos;
  info.fMask = SIF_POS;
  info.nPos = position;
  SetScrollInfo(window, bar, &info, redraw);
  return previous;
}

int GetScrollPos(HWND window, int bar) {
  SCROLLINFO info{sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, 0, 0};
  return GetScrollInfo(window, bar, &info) ? info.nPos : 0;
}

BOOL SetScrollRange(HWND window, int bar, int minimum, int maximum, BOOL redraw) {
  if (!IsWindow(window)) return FALSE;
  SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE, minimum, maximum, 0, 0, 0};
  SetScrollInfo(window, bar, &info, redraw);
  return TRUE;
}

BOOL GetScrollRange(HWND window, int bar, int* minimum, int* maximum) {
  SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE, 0, 0, 0, 0, 0};
  BOOL ok = GetScrollInfo(window, bar, &info);
  if (minimum != nullptr) *minimum = ok ? info.nMin : 0;
  if (maximum != nullptr) *maximum = ok ? info.nMax : 0;
  return ok;
}

BOOL EnableScrollBar(HWND window, UINT bar, UINT arrows) {
  if (!IsWindow(window)) return FALSE;
  arrows &= ESB_DISABLE_BOTH;
  if (bar == static_cast<UINT>(SB_CTL)) return static_cast<BOOL>(SendMessageW(window, SBM_ENABLE_ARROWS, arrows, 0));
  BOOL changed = FALSE;
  for (int which : {SB_HORZ, SB_VERT}) {
    if (bar != static_cast<UINT>(which) && bar != static_cast<UINT>(SB_BOTH)) continue;
    ScrollData& data = velm::ui::WindowScrollData(window, which);
    if (data.disabledArrows != arrows) {
      data.disabledArrows = arrows;
      changed = TRUE;
    }
  }
  if (changed) InvalidateRect(window, nullptr, TRUE);
  return changed;
}

BOOL ShowScrollBar(HWND window, int bar, BOOL show) {
  if (!IsWindow(window)) return FALSE;
  if (bar == SB_CTL) return ShowWindow(window, show ? SW_SHOW : SW_HIDE), TRUE;
  DWORD style = velm::ui::StyleOf(window);
  DWORD bits = (bar == SB_HORZ ? WS_HSCROLL : 0) | (bar == SB_VERT ? WS_VSCROLL : 0) |
               (bar == SB_BOTH ? WS_HSCROLL | WS_VSCROLL : 0);
  style = show ? (style | bits) : (style & ~bits);
  SetWindowLongPtrW(window, GWL_STYLE, static_cast<LONG_PTR>(style));
  InvalidateRect(window, nullptr, TRUE);
  return TRUE;
}
