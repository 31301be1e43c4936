// Temporary: removed when the parallel branches merge.
#include "ui/wingdi.h"

extern "C" {
int FrameRect(HDC, const RECT*, HBRUSH) { return 0; }
BOOL DrawFocusRect(HDC, const RECT*) { return FALSE; }
BOOL DrawEdge(HDC, RECT*, UINT, UINT) { return FALSE; }
int DrawTextW(HDC, LPCWSTR, int, RECT*, UINT) { return 0; }
COLORREF SetTextColor(HDC, COLORREF) { return CLR_INVALID; }
COLORREF SetBkColor(HDC, COLORREF) { return CLR_INVALID; }
int SetBkMode(HDC, int) { return 0; }
HGDIOBJ SelectObject(HDC, HGDIOBJ) { return nullptr; }
DWORD GetSysColor(int) { return 0; }
HBRUSH CreateSolidBrush(COLORREF) { return nullptr; }
BOOL DeleteObject(HGDIOBJ) { return FALSE; }
}
