// Temporary: removed when the parallel branches merge.
#include "ui/winuser.h"

extern "C" HDC GetDC(HWND) { return nullptr; }
extern "C" int ReleaseDC(HWND, HDC) { return 0; }
void UiBeginWindowLog(HWND) {}
void UiRegisterStandardControls() {}
extern "C" int FillRect(HDC, const RECT*, HBRUSH) { return 0; }
extern "C" HBRUSH GetSysColorBrush(int) { return nullptr; }
