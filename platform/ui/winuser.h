// The window manager of the stand-in: window classes, windows and their tree, messages (sent,
// posted, timers), focus, painting, geometry, the simulated mouse and keyboard, dialogs, message
// boxes and help, all headless and in-process so that tests can drive and inspect them.
//
// Windows are records of this process. An HWND is an opaque number that is never reused: once
// a window is destroyed its handle answers 0/FALSE/null everywhere. Messages are delivered to the
// thread that calls SendMessageW (re-entrantly) or queued FIFO per thread by PostMessageW and run
// by the pump (UiPump, GetMessageW/PeekMessageW + DispatchMessageW, and every modal loop).
//
// Functions with Windows names behave as Windows documents them; the Ui* functions at the end are
// the stand-in's own switches and records for tests and for the other parts of platform/ui.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/resources.h"
#include "core/wintypes.h"
#include "eng/gdi_types.h"

VELM_DECLARE_HANDLE(HMENU);
VELM_DECLARE_HANDLE(HICON);
using HCURSOR = HICON;
using LPRECT = RECT*;
using LPCRECT = const RECT*;
using LPPOINT = POINT*;

using WNDPROC = LRESULT (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
using DLGPROC = INT_PTR (*)(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
using TIMERPROC = void (*)(HWND window, UINT message, UINT_PTR id, DWORD time);
using WNDENUMPROC = BOOL (*)(HWND window, LPARAM lParam);

struct WNDCLASSW {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;  // a brush, or (COLOR_* + 1) as a system colour
  LPCWSTR lpszMenuName;
  LPCWSTR lpszClassName;
};
using LPWNDCLASSW = WNDCLASSW*;

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};
using LPMSG = MSG*;

struct CREATESTRUCTW {
  LPVOID lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy;
  int cx;
  int y;
  int x;
  LONG style;
  LPCWSTR lpszName;
  LPCWSTR lpszClass;
  DWORD dwExStyle;
};
using LPCREATESTRUCTW = CREATESTRUCTW*;

struct PAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
  BOOL fRestore;
  BOOL fIncUpdate;
  BYTE rgbReserved[32];
};
using LPPAINTSTRUCT = PAINTSTRUCT*;

// The header of every WM_NOTIFY.
struct NMHDR {
  HWND hwndFrom;
  UINT_PTR idFrom;
  UINT code;
};
using LPNMHDR = NMHDR*;

struct HELPINFO {
  UINT cbSize;
  int iContextType;  // HELPINFO_WINDOW or HELPINFO_MENUITEM
  int iCtrlId;
  HANDLE hItemHandle;
  DWORD_PTR dwContextId;
  POINT MousePos;
};
using LPHELPINFO = HELPINFO*;

struct WINDOWPOS {
  HWND hwnd;
  HWND hwndInsertAfter;
  int x;
  int y;
  int cx;
  int cy;
  UINT flags;
};

// ---- Messages -------------------------------------------------------------------------------
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_ENABLE = 0x000A;
constexpr UINT WM_SETREDRAW = 0x000B;
constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_GETTEXT = 0x000D;
constexpr UINT WM_GETTEXTLENGTH = 0x000E;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_ERASEBKGND = 0x0014;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_CANCELMODE = 0x001F;
constexpr UINT WM_SETCURSOR = 0x0020;
constexpr UINT WM_NEXTDLGCTL = 0x0028;
constexpr UINT WM_DRAWITEM = 0x002B;
constexpr UINT WM_MEASUREITEM = 0x002C;
constexpr UINT WM_DELETEITEM = 0x002D;
constexpr UINT WM_SETFONT = 0x0030;
constexpr UINT WM_GETFONT = 0x0031;
constexpr UINT WM_WINDOWPOSCHANGED = 0x0047;
constexpr UINT WM_NOTIFY = 0x004E;
constexpr UINT WM_HELP = 0x0053;
constexpr UINT WM_CONTEXTMENU = 0x007B;
constexpr UINT WM_STYLECHANGED = 0x007D;
constexpr UINT WM_NCCREATE = 0x0081;
constexpr UINT WM_NCDESTROY = 0x0082;
constexpr UINT WM_NCHITTEST = 0x0084;
constexpr UINT WM_GETDLGCODE = 0x0087;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_SYSKEYDOWN = 0x0104;
constexpr UINT WM_SYSKEYUP = 0x0105;
constexpr UINT WM_SYSCHAR = 0x0106;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_HSCROLL = 0x0114;
constexpr UINT WM_VSCROLL = 0x0115;
constexpr UINT WM_CTLCOLORMSGBOX = 0x0132;
constexpr UINT WM_CTLCOLOREDIT = 0x0133;
constexpr UINT WM_CTLCOLORLISTBOX = 0x0134;
constexpr UINT WM_CTLCOLORBTN = 0x0135;
constexpr UINT WM_CTLCOLORDLG = 0x0136;
constexpr UINT WM_CTLCOLORSCROLLBAR = 0x0137;
constexpr UINT WM_CTLCOLORSTATIC = 0x0138;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_RBUTTONDBLCLK = 0x0206;
constexpr UINT WM_MOUSEWHEEL = 0x020A;
constexpr UINT WM_CAPTURECHANGED = 0x0215;
constexpr UINT WM_PRINTCLIENT = 0x0318;
constexpr UINT WM_USER = 0x0400;
constexpr UINT WM_APP = 0x8000;

// Dialog manager messages.
constexpr UINT DM_GETDEFID = WM_USER + 0;
constexpr UINT DM_SETDEFID = WM_USER + 1;
constexpr WORD DC_HASDEFID = 0x534B;  // high word of DM_GETDEFID's answer

// WM_PRINTCLIENT / WM_PRINT flags.
constexpr LPARAM PRF_CHECKVISIBLE = 0x01;
constexpr LPARAM PRF_NONCLIENT = 0x02;
constexpr LPARAM PRF_CLIENT = 0x04;
constexpr LPARAM PRF_ERASEBKGND = 0x08;
constexpr LPARAM PRF_CHILDREN = 0x10;

// ---- Window and class styles ------------------------------------------------------------------
constexpr DWORD WS_OVERLAPPED = 0x00000000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_MINIMIZE = 0x20000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
constexpr DWORD WS_MAXIMIZE = 0x01000000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_DLGFRAME = 0x00400000;
constexpr DWORD WS_CAPTION = WS_BORDER | WS_DLGFRAME;
constexpr DWORD WS_VSCROLL = 0x00200000;
constexpr DWORD WS_HSCROLL = 0x00100000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_THICKFRAME = 0x00040000;
constexpr DWORD WS_GROUP = 0x00020000;
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
constexpr DWORD WS_OVERLAPPEDWINDOW =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
constexpr DWORD WS_POPUPWINDOW = WS_POPUP | WS_BORDER | WS_SYSMENU;

constexpr DWORD WS_EX_DLGMODALFRAME = 0x00000001;
constexpr DWORD WS_EX_NOPARENTNOTIFY = 0x00000004;
constexpr DWORD WS_EX_TOPMOST = 0x00000008;
constexpr DWORD WS_EX_TRANSPARENT = 0x00000020;
constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080;
constexpr DWORD WS_EX_WINDOWEDGE = 0x00000100;
constexpr DWORD WS_EX_CLIENTEDGE = 0x00000200;
constexpr DWORD WS_EX_CONTEXTHELP = 0x00000400;
constexpr DWORD WS_EX_CONTROLPARENT = 0x00010000;
constexpr DWORD WS_EX_STATICEDGE = 0x00020000;

constexpr DWORD DS_ABSALIGN = 0x0001;
constexpr DWORD DS_SYSMODAL = 0x0002;
constexpr DWORD DS_3DLOOK = 0x0004;
constexpr DWORD DS_FIXEDSYS = 0x0008;
constexpr DWORD DS_NOFAILCREATE = 0x0010;
constexpr DWORD DS_LOCALEDIT = 0x0020;
constexpr DWORD DS_SETFONT = 0x0040;
constexpr DWORD DS_MODALFRAME = 0x0080;
constexpr DWORD DS_NOIDLEMSG = 0x0100;
constexpr DWORD DS_SETFOREGROUND = 0x0200;
constexpr DWORD DS_CONTROL = 0x0400;
constexpr DWORD DS_CENTER = 0x0800;
constexpr DWORD DS_CENTERMOUSE = 0x1000;
constexpr DWORD DS_CONTEXTHELP = 0x2000;
constexpr DWORD DS_SHELLFONT = DS_SETFONT | DS_FIXEDSYS;

constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;
constexpr UINT CS_DBLCLKS = 0x0008;
constexpr UINT CS_PARENTDC = 0x0080;
constexpr UINT CS_SAVEBITS = 0x0800;
constexpr UINT CS_GLOBALCLASS = 0x4000;

// The dialog box class, as a class-name atom ("#32770").
#define WC_DIALOG (reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(0x8002)))

// ---- Window longs ---------------------------------------------------------------------------
constexpr int GWLP_WNDPROC = -4;
constexpr int GWLP_HINSTANCE = -6;
constexpr int GWLP_HWNDPARENT = -8;
constexpr int GWLP_ID = -12;
constexpr int GWL_ID = -12;
constexpr int GWL_STYLE = -16;
constexpr int GWL_EXSTYLE = -20;
constexpr int GWLP_USERDATA = -21;
// The dialog's extra words (64-bit layout: one LONG_PTR each).
constexpr int DWLP_MSGRESULT = 0;
constexpr int DWLP_DLGPROC = DWLP_MSGRESULT + static_cast<int>(sizeof(LRESULT));
constexpr int DWLP_USER = DWLP_DLGPROC + static_cast<int>(sizeof(DLGPROC));
constexpr int DLGWINDOWEXTRA = 30;  // bytes of window extra a dialog class reserves (at least DWLP_USER + 8)

constexpr int GCLP_HBRBACKGROUND = -10;
constexpr int GCLP_HCURSOR = -12;
constexpr int GCLP_WNDPROC = -24;

// ---- Message boxes and results --------------------------------------------------------------
constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_OKCANCEL = 0x00000001;
constexpr UINT MB_ABORTRETRYIGNORE = 0x00000002;
constexpr UINT MB_YESNOCANCEL = 0x00000003;
constexpr UINT MB_YESNO = 0x00000004;
constexpr UINT MB_RETRYCANCEL = 0x00000005;
constexpr UINT MB_ICONHAND = 0x00000010;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONSTOP = MB_ICONHAND;
constexpr UINT MB_ICONQUESTION = 0x00000020;
constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONASTERISK = 0x00000040;
constexpr UINT MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr UINT MB_DEFBUTTON1 = 0x00000000;
constexpr UINT MB_DEFBUTTON2 = 0x00000100;
constexpr UINT MB_DEFBUTTON3 = 0x00000200;
constexpr UINT MB_APPLMODAL = 0x00000000;
constexpr UINT MB_SYSTEMMODAL = 0x00001000;
constexpr UINT MB_TASKMODAL = 0x00002000;
constexpr UINT MB_SETFOREGROUND = 0x00010000;
constexpr UINT MB_TOPMOST = 0x00040000;
constexpr UINT MB_TYPEMASK = 0x0000000F;
constexpr UINT MB_ICONMASK = 0x000000F0;
constexpr UINT MB_DEFMASK = 0x00000F00;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;
constexpr int IDCLOSE = 8;
constexpr int IDHELP = 9;

// The sound of MessageBeep(0xFFFFFFFF).
constexpr UINT MB_SIMPLEBEEP = 0xFFFFFFFF;

// ---- Help -----------------------------------------------------------------------------------
constexpr UINT HELP_CONTEXT = 0x0001;
constexpr UINT HELP_QUIT = 0x0002;
constexpr UINT HELP_INDEX = 0x0003;
constexpr UINT HELP_CONTENTS = 0x0003;
constexpr UINT HELP_HELPONHELP = 0x0004;
constexpr UINT HELP_SETINDEX = 0x0005;
constexpr UINT HELP_CONTEXTPOPUP = 0x0008;
constexpr UINT HELP_CONTEXTMENU = 0x000A;
constexpr UINT HELP_FINDER = 0x000B;
constexpr UINT HELP_WM_HELP = 0x000C;
constexpr int HELPINFO_WINDOW = 0x0001;
constexpr int HELPINFO_MENUITEM = 0x0002;

// ---- Keyboard and mouse ---------------------------------------------------------------------
constexpr int VK_LBUTTON = 0x01;
constexpr int VK_RBUTTON = 0x02;
constexpr int VK_CANCEL = 0x03;
constexpr int VK_MBUTTON = 0x04;
constexpr int VK_BACK = 0x08;
constexpr int VK_TAB = 0x09;
constexpr int VK_RETURN = 0x0D;
constexpr int VK_SHIFT = 0x10;
constexpr int VK_CONTROL = 0x11;
constexpr int VK_MENU = 0x12;
constexpr int VK_ESCAPE = 0x1B;
constexpr int VK_SPACE = 0x20;
constexpr int VK_PRIOR = 0x21;
constexpr int VK_NEXT = 0x22;
constexpr int VK_END = 0x23;
constexpr int VK_HOME = 0x24;
constexpr int VK_LEFT = 0x25;
constexpr int VK_UP = 0x26;
constexpr int VK_RIGHT = 0x27;
constexpr int VK_DOWN = 0x28;
constexpr int VK_INSERT = 0x2D;
constexpr int VK_DELETE = 0x2E;
constexpr int VK_F1 = 0x70;

constexpr WPARAM MK_LBUTTON = 0x0001;
constexpr WPARAM MK_RBUTTON = 0x0002;
constexpr WPARAM MK_SHIFT = 0x0004;
constexpr WPARAM MK_CONTROL = 0x0008;
constexpr WPARAM MK_MBUTTON = 0x0010;

// WM_NCHITTEST answers.
constexpr LRESULT HTERROR = -2;
constexpr LRESULT HTTRANSPARENT = -1;
constexpr LRESULT HTNOWHERE = 0;
constexpr LRESULT HTCLIENT = 1;
constexpr LRESULT HTCAPTION = 2;

// WM_GETDLGCODE answers.
constexpr LRESULT DLGC_WANTARROWS = 0x0001;
constexpr LRESULT DLGC_WANTTAB = 0x0002;
constexpr LRESULT DLGC_WANTALLKEYS = 0x0004;
constexpr LRESULT DLGC_WANTMESSAGE = 0x0004;
constexpr LRESULT DLGC_HASSETSEL = 0x0008;
constexpr LRESULT DLGC_DEFPUSHBUTTON = 0x0010;
constexpr LRESULT DLGC_UNDEFPUSHBUTTON = 0x0020;
constexpr LRESULT DLGC_RADIOBUTTON = 0x0040;
constexpr LRESULT DLGC_WANTCHARS = 0x0080;
constexpr LRESULT DLGC_STATIC = 0x0100;
constexpr LRESULT DLGC_BUTTON = 0x2000;

// ---- Showing, positions, relations, painting ------------------------------------------------
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_NORMAL = 1;
constexpr int SW_SHOWMINIMIZED = 2;
constexpr int SW_SHOWMAXIMIZED = 3;
constexpr int SW_SHOWNOACTIVATE = 4;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_SHOWMINNOACTIVE = 7;
constexpr int SW_SHOWNA = 8;
constexpr int SW_RESTORE = 9;

constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT SWP_NOREDRAW = 0x0008;
constexpr UINT SWP_NOACTIVATE = 0x0010;
constexpr UINT SWP_FRAMECHANGED = 0x0020;
constexpr UINT SWP_SHOWWINDOW = 0x0040;
constexpr UINT SWP_HIDEWINDOW = 0x0080;
constexpr UINT SWP_NOOWNERZORDER = 0x0200;
#define HWND_TOP (reinterpret_cast<HWND>(static_cast<LONG_PTR>(0)))
#define HWND_BOTTOM (reinterpret_cast<HWND>(static_cast<LONG_PTR>(1)))
#define HWND_TOPMOST (reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1)))
#define HWND_NOTOPMOST (reinterpret_cast<HWND>(static_cast<LONG_PTR>(-2)))

constexpr UINT GW_HWNDFIRST = 0;
constexpr UINT GW_HWNDLAST = 1;
constexpr UINT GW_HWNDNEXT = 2;
constexpr UINT GW_HWNDPREV = 3;
constexpr UINT GW_OWNER = 4;
constexpr UINT GW_CHILD = 5;

constexpr UINT GA_PARENT = 1;
constexpr UINT GA_ROOT = 2;
constexpr UINT GA_ROOTOWNER = 3;

constexpr UINT RDW_INVALIDATE = 0x0001;
constexpr UINT RDW_INTERNALPAINT = 0x0002;
constexpr UINT RDW_ERASE = 0x0004;
constexpr UINT RDW_VALIDATE = 0x0008;
constexpr UINT RDW_NOINTERNALPAINT = 0x0010;
constexpr UINT RDW_NOERASE = 0x0020;
constexpr UINT RDW_NOCHILDREN = 0x0040;
constexpr UINT RDW_ALLCHILDREN = 0x0080;
constexpr UINT RDW_UPDATENOW = 0x0100;
constexpr UINT RDW_ERASENOW = 0x0200;
constexpr UINT RDW_FRAME = 0x0400;
constexpr UINT RDW_NOFRAME = 0x0800;

constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000);

constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;

// Standard cursors (LoadCursorW with a null instance).
#define IDC_ARROW MAKEINTRESOURCEW(32512)
#define IDC_IBEAM MAKEINTRESOURCEW(32513)
#define IDC_WAIT MAKEINTRESOURCEW(32514)
#define IDC_CROSS MAKEINTRESOURCEW(32515)
#define IDC_SIZEALL MAKEINTRESOURCEW(32646)
#define IDC_NO MAKEINTRESOURCEW(32648)
#define IDC_HAND MAKEINTRESOURCEW(32649)
#define IDC_HELP MAKEINTRESOURCEW(32651)

inline WPARAM MAKEWPARAM(WORD lo, WORD hi) { return static_cast<WPARAM>(MAKELONG(lo, hi)); }
inline LPARAM MAKELPARAM(WORD lo, WORD hi) { return static_cast<LPARAM>(MAKELONG(lo, hi)); }
inline int GET_X_LPARAM(LPARAM lp) { return static_cast<SHORT>(LOWORD(static_cast<DWORD_PTR>(lp))); }
inline int GET_Y_LPARAM(LPARAM lp) { return static_cast<SHORT>(HIWORD(static_cast<DWORD_PTR>(lp))); }

extern "C" {
// ---- Classes ----------------------------------------------------------------------------------
// Registers a class; its atom, or 0 (ERROR_CLASS_ALREADY_EXISTS, ERROR_INVALID_PARAMETER for a
// null procedure or name). Class names compare without regard to case.
ATOM RegisterClassW(const WNDCLASSW* windowClass);
BOOL UnregisterClassW(LPCWSTR className, HINSTANCE instance);
// The class's registration; FALSE with ERROR_CLASS_DOES_NOT_EXIST. Standard controls are found
// with any instance.
BOOL GetClassInfoW(HINSTANCE instance, LPCWSTR className, WNDCLASSW* windowClass);
int GetClassNameW(HWND window, LPWSTR className, int maxCount);
ULONG_PTR GetClassLongPtrW(HWND window, int index);
// The default handling of every message the window procedure passes on.
LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProcW(WNDPROC procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// ---- Windows and their tree -------------------------------------------------------------------
// Creates a window of a registered class: WM_NCCREATE, WM_CREATE (either refusing destroys it
// and answers null), then WM_SIZE and WM_MOVE. A child is placed at the bottom of its siblings'
// z-order and sends its parent nothing (WS_EX_NOPARENTNOTIFY is the stand-in's only behaviour);
// `menu` is a child's id. Null with ERROR_CANNOT_FIND_WND_CLASS, ERROR_TLW_WITH_WSCHILD (a child
// without a parent) or ERROR_INVALID_WINDOW_HANDLE (a dead parent, or creation refused).
HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
// Destroys the window, its owned windows and its children: WM_DESTROY goes to the window before
// its children, WM_NCDESTROY to the children before the window. Afterwards the handle is dead.
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
BOOL IsChild(HWND parent, HWND window);
HWND GetParent(HWND window);
HWND SetParent(HWND window, HWND newParent);
HWND GetAncestor(HWND window, UINT flags);
HWND GetWindow(HWND window, UINT relation);
HWND GetTopWindow(HWND window);
HWND GetNextWindow(HWND window, UINT relation);
HWND GetDesktopWindow();
// The first direct child with the id; null with ERROR_CONTROL_ID_NOT_FOUND.
HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND window);
BOOL EnumChildWindows(HWND parent, WNDENUMPROC callback, LPARAM lParam);
// Top-level windows by class and title (either null = any), including the foreign windows of
// UiAddForeignWindow.
HWND FindWindowW(LPCWSTR className, LPCWSTR windowName);

LONG_PTR GetWindowLongPtrW(HWND window, int index);
// The previous value; 0 with ERROR_INVALID_INDEX for an index the window does not have.
// GWLP_WNDPROC subclasses the window (the procedure it answers is what CallWindowProcW takes).
LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value);
LONG GetWindowLongW(HWND window, int index);
LONG SetWindowLongW(HWND window, int index, LONG value);

// ---- Messages ---------------------------------------------------------------------------------
LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Queues the message for the window's thread; FALSE with ERROR_INVALID_WINDOW_HANDLE. A null
// window posts a thread message to the calling thread.
BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
// The next queued message (posted first, then WM_PAINT of a dirty window, then due timers).
// A queue that is empty does not block: GetMessageW answers -1 with ERROR_NO_MORE_ITEMS, since
// nothing else could fill it in a headless process. WM_QUIT answers 0.
BOOL GetMessageW(LPMSG message, HWND window, UINT filterMin, UINT filterMax);
BOOL PeekMessageW(LPMSG message, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags);
LRESULT DispatchMessageW(const MSG* message);
// WM_KEYDOWN of a character key posts its WM_CHAR (the stand-in's keyboard is US English).
BOOL TranslateMessage(const MSG* message);
LONG GetMessageTime();
DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId);

// ---- Texts, state, focus ------------------------------------------------------------------------
BOOL SetWindowTextW(HWND window, LPCWSTR text);
int GetWindowTextW(HWND window, LPWSTR text, int maxCount);
int GetWindowTextLengthW(HWND window);
BOOL EnableWindow(HWND window, BOOL enable);  // answers whether it was disabled before
BOOL IsWindowEnabled(HWND window);
BOOL ShowWindow(HWND window, int command);  // answers whether it was visible before
// Visible when it and every ancestor have WS_VISIBLE.
BOOL IsWindowVisible(HWND window);
// WM_KILLFOCUS (wParam = the new focus) to the old focus, then WM_SETFOCUS (wParam = the old
// focus) to the new; answers the old focus. A disabled window cannot take the focus.
HWND SetFocus(HWND window);
HWND GetFocus();
HWND GetActiveWindow();
HWND SetActiveWindow(HWND window);
HWND GetForegroundWindow();
BOOL SetForegroundWindow(HWND window);

// ---- Painting -----------------------------------------------------------------------------------
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
BOOL ValidateRect(HWND window, const RECT* rect);
BOOL GetUpdateRect(HWND window, LPRECT rect, BOOL erase);
// Sends WM_PAINT now when the window is dirty.
BOOL UpdateWindow(HWND window);
BOOL RedrawWindow(HWND window, const RECT* update, HRGN region, UINT flags);
// The window's DC from GetDC (or the redirected DC of WM_PRINTCLIENT), the invalid area, and
// WM_ERASEBKGND when the area asked for erasing; validates the window.
HDC BeginPaint(HWND window, LPPAINTSTRUCT paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
// Device contexts of windows (defined with the rest of GDI).
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);

// ---- Geometry -----------------------------------------------------------------------------------
// Screen coordinates; client area = window rect less the frame (the stand-in draws borders
// inside: a window's client rect is its full size).
BOOL GetWindowRect(HWND window, LPRECT rect);
BOOL GetClientRect(HWND window, LPRECT rect);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags);
int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count);
BOOL ScreenToClient(HWND window, POINT* point);
BOOL ClientToScreen(HWND window, POINT* point);
HWND WindowFromPoint(POINT point);
HWND ChildWindowFromPoint(HWND parent, POINT point);

BOOL PtInRect(const RECT* rect, POINT point);
BOOL SetRect(LPRECT rect, int left, int top, int right, int bottom);
BOOL SetRectEmpty(LPRECT rect);
BOOL CopyRect(LPRECT to, const RECT* from);
BOOL IsRectEmpty(const RECT* rect);
BOOL EqualRect(const RECT* a, const RECT* b);
BOOL InflateRect(LPRECT rect, int dx, int dy);
BOOL OffsetRect(LPRECT rect, int dx, int dy);
BOOL IntersectRect(LPRECT out, const RECT* a, const RECT* b);
BOOL UnionRect(LPRECT out, const RECT* a, const RECT* b);

// ---- Mouse, keyboard, timers, cursors -----------------------------------------------------------
BOOL GetCursorPos(POINT* point);
BOOL SetCursorPos(int x, int y);
HWND SetCapture(HWND window);
HWND GetCapture();
BOOL ReleaseCapture();
// High bit set while the simulated key is down (UiSetKeyState).
SHORT GetKeyState(int virtualKey);
SHORT GetAsyncKeyState(int virtualKey);
// Virtual timers: they fire only when a test advances the clock (UiAdvanceTimers) or fires one
// (UiFireTimer); then the pump delivers WM_TIMER (or calls `proc`).
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc);
BOOL KillTimer(HWND window, UINT_PTR id);
// A standard cursor (null instance) or a cursor resource of `instance`; null with
// ERROR_RESOURCE_NAME_NOT_FOUND.
HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name);
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();

// ---- Dialogs ------------------------------------------------------------------------------------
// A modeless dialog from the RT_DIALOG template `templateName` of `instance`: the dialog window,
// its controls, WM_SETFONT to each, WM_INITDIALOG (lParam = `initParam`; TRUE sets the focus to
// the first tab stop), then shown when the template asks for WS_VISIBLE. Null with
// ERROR_RESOURCE_NAME_NOT_FOUND (no template), ERROR_INVALID_DATA (a damaged one) or
// ERROR_CANNOT_FIND_WND_CLASS (a control of an unknown class).
HWND CreateDialogParamW(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC dialogProc, LPARAM initParam);
// A modal dialog: created as above, the owner disabled, then a loop that runs the dialog script
// registered for the template (UiSetDialogScript) and pumps until EndDialog; answers EndDialog's
// result, -1 when the dialog cannot be created. An unscripted modal dialog is reported through
// UiReportUnexpected and ends with IDCANCEL.
INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC dialogProc, LPARAM initParam);
BOOL EndDialog(HWND dialog, INT_PTR result);
// The dialog class's procedure: calls the DWLP_DLGPROC, answers DWLP_MSGRESULT for the messages
// whose answer a dialog procedure gives through it, and handles the dialog keys and commands.
LRESULT DefDlgProcW(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// The dialog manager: Return, Escape and Tab for `dialog` (see dialogs.cpp); TRUE when it took
// the message.
BOOL IsDialogMessageW(HWND dialog, LPMSG message);
HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous);
HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous);
LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text);
UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR text, int maxCount);
BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned);
UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId);
BOOL MapDialogRect(HWND dialog, LPRECT rect);  // dialog units are pixels here
LONG GetDialogBaseUnits();

// ---- Message boxes, beeps, help -----------------------------------------------------------------
// Recorded, answered by the message box script; an unscripted box is reported through
// UiReportUnexpected and answers IDCANCEL (IDOK for a box with only an OK button).
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
BOOL MessageBeep(UINT type);
// Recorded; TRUE.
BOOL WinHelpW(HWND window, LPCWSTR helpFile, UINT command, ULONG_PTR data);
}

// ---- The stand-in's own interface (C++ linkage) -------------------------------------------------

// Registers "BUTTON", "EDIT", "STATIC", ... Called once by the window manager before the first
// window of a process is created (and again after UiResetAll).
void UiRegisterStandardControls();
// Runs every posted message of the calling thread's queue, then due timers and pending WM_PAINT;
// answers how many messages were dispatched.
LRESULT UiPump();
BOOL UiIsWindow(HWND window);
// Destroys every window, clears queues, timers, focus, capture, scripts and records, and runs
// every hook given to UiOnReset. Tests call it in SetUp.
void UiResetAll();
void UiOnReset(void (*hook)());
// Called by BeginPaint just before GetDC: the window's next GetDC starts a fresh draw log.
void UiBeginWindowLog(HWND window);

// Message boxes. The script answers each call; without one the box is unexpected.
struct UiMessageBoxCall {
  HWND owner;
  std::u16string text;
  std::u16string caption;
  UINT type;
};
void UiSetMessageBoxScript(std::function<int(const UiMessageBoxCall&)> script);
const std::vector<UiMessageBoxCall>& UiMessageBoxCalls();

// Modal dialogs. The script runs inside DialogBoxParamW's loop after WM_INITDIALOG, with the
// dialog; it ends the dialog (EndDialog, or by pressing a button). A script that returns
// without ending it leaves the dialog to the loop, which ends it with IDCANCEL and records that
// as unexpected. An empty function removes the script.
void UiSetDialogScript(WORD templateId, std::function<void(HWND dialog)> script);

// Events a test did not arrange for (unscripted boxes and dialogs ...). Tests fail on them.
void UiReportUnexpected(const std::string& text);
const std::vector<std::string>& UiUnexpectedEvents();
// Called on every unexpected event as well (a test framework's failure hook); empty = none.
void UiSetUnexpectedHook(std::function<void(const std::string&)> hook);

struct UiBeepCall {
  UINT type;
};
const std::vector<UiBeepCall>& UiMessageBeeps();
struct UiWinHelpCall {
  HWND window;
  std::u16string file;
  UINT command;
  ULONG_PTR data;
  std::vector<DWORD> pairs;  // HELP_WM_HELP / HELP_CONTEXTMENU: the (control id, help id) list up to 0, 0
};
const std::vector<UiWinHelpCall>& UiWinHelpCalls();

// The simulated mouse and keyboard.
void UiSetKeyState(int virtualKey, bool down);
// A mouse message as a user's mouse makes it: the cursor moves to `point` (client coordinates of
// `window`), WM_NCHITTEST and WM_SETCURSOR go to the window under the mouse, then `message`
// (WM_MOUSEMOVE, WM_LBUTTONDOWN ...; lParam = the point, wParam = `keys`) goes to the capture
// window when there is one (the point mapped to it), else to `window`. Answers the message's result.
LRESULT UiSendMouse(HWND window, UINT message, POINT point, WPARAM keys);

// Timers: advance the virtual clock (timers whose period has passed become due), or make one due.
void UiAdvanceTimers(UINT milliseconds);
BOOL UiFireTimer(HWND window, UINT_PTR id);
bool UiHasTimer(HWND window, UINT_PTR id);

// A top-level window of another program, for FindWindowW: hidden, of `className` (registered
// for it when unknown), answering every message with DefWindowProcW.
HWND UiAddForeignWindow(LPCWSTR className, LPCWSTR windowName);

// WM_SETREDRAW as the window received it through DefWindowProcW (TRUE = drawing on).
BOOL UiIsRedrawOn(HWND window);
// The default dialog font's face name (WM_GETFONT of dialogs without a template font).
void UiSetDefaultDialogFace(const std::u16string& face);
const std::u16string& UiDefaultDialogFace();
