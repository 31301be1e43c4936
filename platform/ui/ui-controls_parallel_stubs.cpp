// Temporary: removed when the parallel branches merge.
#include "ui/ui-controls_parallel_gdi.h"

extern "C" {
int FrameRect(HDC, const RECT*, HBRUSH) { return 1; }
BOOL DrawFocusRect(HDC, const RECT*) { return TRUE; }
BOOL DrawEdge(HDC, RECT* rect, UINT, UINT flags) {
  if ((flags & BF_ADJUST) != 0) {
    rect->left += 2, rect->top += 2, rect->right -= 2, rect->bottom -= 2;
  }
  return TRUE;
}
int DrawTextW(HDC, LPCWSTR, int, RECT*, UINT) { return 16; }
COLORREF SetTextColor(HDC, COLORREF) { return 0; }
COLORREF SetBkColor(HDC, COLORREF) { return 0; }
int SetBkMode(HDC, int) { return 2; }
HGDIOBJ SelectObject(HDC, HGDIOBJ) { return nullptr; }
DWORD GetSysColor(int) { return 0; }
HBRUSH CreateSolidBrush(COLORREF) { return nullptr; }
BOOL DeleteObject(HGDIOBJ) { return TRUE; }
}
