// Temporary: removed when the parallel branches merge.
#include "ui/winuser.h"

extern "C" HDC GetDC(HWND) { return nullptr; }
extern "C" int ReleaseDC(HWND, HDC) { return 0; }
void UiBeginWindowLog(HWND) {}
void UiRegisterStandardControls() {}
