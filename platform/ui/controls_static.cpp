// The static ("STATIC"): text (left, centred, right, with or without word wrap and ellipses),
// rectangles, frames, etched lines, bitmaps (STM_SETIMAGE) and owner-drawn statics. Without
// SS_NOTIFY it is transparent to the mouse (WM_NCHITTEST answers HTTRANSPARENT), as on Windows;
// with it a click notifies STN_CLICKED.
#include <algorithm>

#include "ui/controls_internal.h"

namespace velm::ui {
namespace {

struct StaticState : ControlState {
  HANDLE image = nullptr;
  WPARAM imageType = IMAGE_BITMAP;
};

std::u16string TextOf(HWND window) {
  int length = GetWindowTextLengthW(window);
  std::u16string text(static_cast<size_t>(length) + 1, u'\0');
  int copied = GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<size_t>(copied < 0 ? 0 : copied));
  return text;
}

UINT TextFormat(DWORD style) {
  UINT format = DT_EXPANDTABS;
  switch (style & SS_TYPEMASK) {
    case SS_CENTER: format |= DT_CENTER | DT_WORDBREAK; break;
    case SS_RIGHT: format |= DT_RIGHT | DT_WORDBREAK; break;
    case SS_SIMPLE:
    case SS_LEFTNOWORDWRAP: format |= DT_LEFT | DT_SINGLELINE; break;
    default: format |= DT_LEFT | DT_WORDBREAK; break;
  }
  if ((style & SS_NOPREFIX) != 0) format |= DT_NOPREFIX;
  if ((style & SS_CENTERIMAGE) != 0) format = (format & ~DT_WORDBREAK) | DT_SINGLELINE | DT_VCENTER;
  switch (style & SS_ELLIPSISMASK) {
    case SS_ENDELLIPSIS: format |= DT_END_ELLIPSIS; break;
    case SS_PATHELLIPSIS: format |= DT_PATH_ELLIPSIS; break;
    case SS_WORDELLIPSIS: format |= DT_WORD_ELLIPSIS; break;
    default: break;
  }
  return format;
}

// The bitmap at the top left, or centred with SS_CENTERIMAGE, clipped to the control.
void DrawBitmap(HDC dc, HANDLE image, const RECT& client, DWORD style) {
  BITMAP info{};
  if (GetObjectW(image, sizeof(info), &info) == 0) return;
  HDC memory = CreateCompatibleDC(dc);
  if (memory == nullptr) return;
  HGDIOBJ old = SelectObject(memory, image);
  int width = std::min<int>(info.bmWidth, WidthOf(client));
  int height = std::min<int>(info.bmHeight, HeightOf(client));
  int x = client.left;
  int y = client.top;
  if ((style & SS_CENTERIMAGE) != 0) {
    x += (WidthOf(client) - width) / 2;
    y += (HeightOf(client) - height) / 2;
  }
  BitBlt(dc, x, y, width, height, memory, 0, 0, SRCCOPY);
  if (old != nullptr) SelectObject(memory, old);
  DeleteDC(memory);
}

void PaintStatic(HWND window, StaticState& state, HDC dc, RECT client) {
  DWORD style = StyleOf(window);
  DWORD type = style & SS_TYPEMASK;
  bool enabled = IsWindowEnabled(window) != FALSE;
  if (type == SS_OWNERDRAW) {
    SendDrawItem(window, ODT_STATIC, 0, ODA_DRAWENTIRE, enabled ? 0 : ODS_DISABLED, dc, client, 0);
    return;
  }
  if ((style & SS_SUNKEN) != 0) DrawEdge(dc, &client, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
  switch (type) {
    case SS_BLACKRECT: FillSolid(dc, client, COLOR_3DDKSHADOW); return;
    case SS_GRAYRECT: FillSolid(dc, client, COLOR_BTNSHADOW); return;
    case SS_WHITERECT: FillSolid(dc, client, COLOR_3DHILIGHT); return;
    case SS_BLACKFRAME: FrameRect(dc, &client, GetSysColorBrush(COLOR_3DDKSHADOW)); return;
    case SS_GRAYFRAME: FrameRect(dc, &client, GetSysColorBrush(COLOR_BTNSHADOW)); return;
    case SS_WHITEFRAME: FrameRect(dc, &client, GetSysColorBrush(COLOR_3DHILIGHT)); return;
    case SS_ETCHEDHORZ: {
      RECT line{client.left, client.top, client.right, client.top + 2};
      DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);
      return;
    }
    case SS_ETCHEDVERT: {
      RECT line{client.left, client.top, client.left + 2, client.bottom};
      DrawEdge(dc, &line, EDGE_ETCHED, BF_LEFT);
      return;
    }
    case SS_ETCHEDFRAME: DrawEdge(dc, &client, EDGE_ETCHED, BF_RECT); return;
    default: break;
  }
  HBRUSH background = ControlColor(window, dc, WM_CTLCOLORSTATIC);
  FillRect(dc, &client, background);
  if (type == SS_BITMAP) {
    if (state.image != nullptr && state.imageType == IMAGE_BITMAP) DrawBitmap(dc, state.image, client, style);
    return;
  }
  if (type == SS_ICON) return;  // icons are not drawn by the stand-in
  if (!enabled) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
  DrawLabel(dc, TextOf(window), client, TextFormat(style));
}

}  // namespace

LRESULT StaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto state = ControlStateOf<StaticState>(window);
  LRESULT result = 0;
  if (HandleCommonMessage(window, *state, message, wParam, lParam, &result)) return result;
  switch (message) {
    case WM_CREATE:
      return 0;
    case WM_PAINT:
    case WM_PRINTCLIENT:
      return PaintControl(window, *state, message, wParam,
                          [&](HDC dc, const RECT& client) { PaintStatic(window, *state, dc, client); });
    case WM_ERASEBKGND:
      return 1;
    case WM_NCHITTEST:
      return (StyleOf(window) & SS_NOTIFY) != 0 ? HTCLIENT : HTTRANSPARENT;
    case WM_GETDLGCODE:
      return DLGC_STATIC;
    case WM_SETTEXT:
      result = DefWindowProcW(window, message, wParam, lParam);
      InvalidateRect(window, nullptr, TRUE);
      return result;
    case WM_LBUTTONDOWN:
      if ((StyleOf(window) & SS_NOTIFY) != 0) NotifyCommand(window, STN_CLICKED);
      return 0;
    case WM_LBUTTONDBLCLK:
      if ((StyleOf(window) & SS_NOTIFY) != 0) NotifyCommand(window, STN_DBLCLK);
      return 0;
    case STM_SETIMAGE: {
      HANDLE previous = state->image;
      state->image = reinterpret_cast<HANDLE>(lParam);
      state->imageType = wParam;
      InvalidateRect(window, nullptr, TRUE);
      return reinterpret_cast<LRESULT>(previous);
    }
    case STM_GETIMAGE:
      return wParam == state->imageType ? reinterpret_cast<LRESULT>(state->image) : 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace velm::ui
