// The window manager's records, shared by the files of platform/ui that implement winuser.h.
//
// The table of windows is guarded by one mutex that is never held while a window procedure
// runs; a window's own fields belong to the thread that created it, as on Windows, where a
// window is used from its thread only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ui/controls.h"
#include "ui/wingdi.h"
#include "ui/winuser.h"

namespace velm::ui {

struct WindowClass {
  std::u16string name;
  WNDCLASSW info{};  // lpszClassName points into `name`
  ATOM atom = 0;
};

struct DialogState {
  WORD templateId = 0;  // 0 for a named template
  bool modal = false;
  bool ended = false;
  INT_PTR result = 0;
  WORD defaultId = 0;  // DM_SETDEFID; 0 = not set
  HWND lastFocus = nullptr;
};

struct Window {
  HWND handle = nullptr;
  DWORD thread = 0;
  std::shared_ptr<WindowClass> windowClass;
  WNDPROC proc = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  LONG_PTR id = 0;
  LONG_PTR userData = 0;
  HINSTANCE instance = nullptr;
  HWND parent = nullptr;  // children only
  HWND owner = nullptr;   // top-level windows only
  std::vector<HWND> children;  // z-order, top first
  std::u16string text;
  RECT rect{};  // in the parent's client coordinates (the screen's for top-level windows)
  std::vector<BYTE> extra;
  bool destroying = false;
  bool dirty = false;
  bool erase = false;
  RECT update{};
  bool redraw = true;
  HDC redirect = nullptr;  // WM_PRINTCLIENT's DC for the next BeginPaint
  bool redirectedPaint = false;
  HFONT font = nullptr;       // a dialog's WM_SETFONT, answered by WM_GETFONT
  HFONT ownedFont = nullptr;  // the font made for the dialog, deleted after WM_NCDESTROY
  std::unique_ptr<DialogState> dialog;
};

// The window behind a live handle; null for a dead or unknown one (and, with `setError`,
// ERROR_INVALID_WINDOW_HANDLE).
std::shared_ptr<Window> FindWindowRecord(HWND handle, bool setError = true);
// Live top-level windows (desktop children), oldest first.
std::vector<HWND> TopLevelWindows();
// Every live window, oldest first.
std::vector<HWND> AllWindows();
// The calling thread's id as the window manager counts threads.
DWORD CurrentThread();
// Registers the dialog class and the standard controls once per process (and after a reset).
void EnsureClasses();
// Creates a window whose record `prepare` adjusts before the first message (dialogs set their
// procedure this way). Same results as CreateWindowExW.
HWND CreateWindowRecord(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                        int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param,
                        void (*prepare)(Window& window, void* context), void* context);
// The window's origin in screen coordinates.
POINT ScreenOrigin(HWND window);

// Message-loop pieces the dialogs share.
bool PeekNext(MSG& message, HWND filter, UINT first, UINT last, bool remove);
void DropWindowState(HWND window);  // timers, focus, capture and queued messages of a dying window
void ResetMessages();
void ResetDialogs();
void ResetWindows();
void ResetRecords();

// Makes the dialog font of `face` (the default face when empty) at `points`, owned by `dialog`
// (deleted with it), and sends WM_SETFONT with it to the dialog and to each child it has so far.
// Null when the font cannot be made.
HFONT SetUpDialogFont(HWND dialog, const std::u16string& face, WORD points);

// The answer of a message box nobody scripted: what closing it would give.
int UnscriptedAnswer(UINT type);

}  // namespace velm::ui
