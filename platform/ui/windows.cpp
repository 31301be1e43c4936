// Window classes, windows and their tree, window longs, texts, state flags, geometry and the
// default window procedure.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <utility>

#include "core/winerror.h"
#include "ui/window_manager.h"

namespace velm::ui {
namespace {

// Handles count up from here in steps of 2 and are never reused; the desktop has the first.
constexpr uintptr_t kDesktopHandle = 0x10010;
constexpr uintptr_t kFirstHandle = 0x10012;
const ATOM kDialogAtom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(WC_DIALOG));  // its class name "#32770" too
constexpr ATOM kFirstAtom = 0xC000;

struct Table {
  std::mutex lock;
  std::map<uintptr_t, std::shared_ptr<Window>> windows;  // ordered: oldest first
  std::vector<std::shared_ptr<WindowClass>> classes;
  uintptr_t nextHandle = kFirstHandle;
  ATOM nextAtom = kFirstAtom;
  bool classesReady = false;
  std::vector<void (*)()> resetHooks;
  std::u16string defaultFace = u"MS Shell Dlg";
};

Table& table() {
  static Table* instance = new Table;  // lives until exit: windows may be used from atexit paths
  return *instance;
}

char16_t Fold(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }
bool SameName(const std::u16string& a, const std::u16string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) {
           return Fold(x) == Fold(y);
         });
}

std::u16string TextOf(LPCWSTR text) { return text ? std::u16string(text) : std::u16string(); }

// A class by name or atom; null when none.
std::shared_ptr<WindowClass> FindClass(LPCWSTR name) {
  if (!name) return nullptr;
  Table& t = table();
  std::lock_guard guard(t.lock);
  for (const auto& c : t.classes) {
    if (IS_INTRESOURCE(name) ? c->atom == static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(name)) : SameName(c->name, name))
      return c;
  }
  return nullptr;
}

ATOM AddClass(const WNDCLASSW& info, LPCWSTR name, ATOM atom) {
  Table& t = table();
  std::lock_guard guard(t.lock);
  for (const auto& c : t.classes)
    if (SameName(c->name, name)) {
      SetLastError(ERROR_CLASS_ALREADY_EXISTS);
      return 0;
    }
  auto made = std::make_shared<WindowClass>();
  made->name = name;
  made->info = info;
  made->info.lpszClassName = made->name.c_str();
  made->info.cbWndExtra = std::clamp(info.cbWndExtra, 0, 1024);
  made->atom = atom ? atom : t.nextAtom++;
  t.classes.push_back(made);
  return made->atom;
}

HWND HandleOf(uintptr_t id) { return reinterpret_cast<HWND>(id); }
uintptr_t IdOf(HWND window) { return reinterpret_cast<uintptr_t>(window); }
bool IsDesktop(HWND window) { return IdOf(window) == kDesktopHandle; }

LRESULT CALLBACK ForeignWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

void Invalidate(Window& w, bool erase) {
  w.dirty = true;
  w.erase = w.erase || erase;
  w.update = RECT{0, 0, w.rect.right - w.rect.left, w.rect.bottom - w.rect.top};
}

// Removes `window` from its parent's list of children.
void Unlink(const std::shared_ptr<Window>& w) {
  if (!w->parent) return;
  if (auto parent = FindWindowRecord(w->parent, false)) {
    auto& list = parent->children;
    list.erase(std::remove(list.begin(), list.end(), w->handle), list.end());
  }
}

void SendDestroy(HWND window) {
  auto w = FindWindowRecord(window, false);
  if (!w) return;
  SendMessageW(window, WM_DESTROY, 0, 0);
  for (HWND child : std::vector<HWND>(w->children)) SendDestroy(child);
}

void SendNcDestroy(HWND window) {
  auto w = FindWindowRecord(window, false);
  if (!w) return;
  for (HWND child : std::vector<HWND>(w->children)) SendNcDestroy(child);
  SendMessageW(window, WM_NCDESTROY, 0, 0);
  DropWindowState(window);
  // The children that used the dialog's font are gone by now.
  if (w->ownedFont) DeleteObject(std::exchange(w->ownedFont, nullptr));
  Table& t = table();
  std::lock_guard guard(t.lock);
  t.windows.erase(IdOf(window));
}

// Sends WM_SIZE/WM_MOVE for a change of the window's rectangle.
void SetRectOf(HWND window, const RECT& rect, bool repaint) {
  auto w = FindWindowRecord(window, false);
  if (!w) return;
  const RECT old = w->rect;
  w->rect = rect;
  const bool moved = old.left != rect.left || old.top != rect.top;
  const bool sized = old.right - old.left != rect.right - rect.left || old.bottom - old.top != rect.bottom - rect.top;
  if (moved || sized) {
    WINDOWPOS pos{window, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, 0};
    SendMessageW(window, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
  }
  if (sized)
    SendMessageW(window, WM_SIZE, 0,
                 MAKELPARAM(static_cast<WORD>(rect.right - rect.left), static_cast<WORD>(rect.bottom - rect.top)));
  if (moved) SendMessageW(window, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(rect.left), static_cast<WORD>(rect.top)));
  if (repaint && (moved || sized)) {
    if (auto again = FindWindowRecord(window, false)) Invalidate(*again, true);
  }
}

}  // namespace

std::shared_ptr<Window> FindWindowRecord(HWND handle, bool setError) {
  Table& t = table();
  {
    std::lock_guard guard(t.lock);
    const auto found = t.windows.find(IdOf(handle));
    if (found != t.windows.end()) return found->second;
  }
  if (setError) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return nullptr;
}

std::vector<HWND> AllWindows() {
  Table& t = table();
  std::lock_guard guard(t.lock);
  std::vector<HWND> out;
  for (const auto& [id, w] : t.windows) out.push_back(w->handle);
  return out;
}

std::vector<HWND> TopLevelWindows() {
  Table& t = table();
  std::lock_guard guard(t.lock);
  std::vector<HWND> out;
  for (const auto& [id, w] : t.windows)
    if (!w->parent) out.push_back(w->handle);
  return out;
}

DWORD CurrentThread() {
  static std::atomic<DWORD> next{1};
  thread_local const DWORD mine = next++;
  return mine;
}

void EnsureClasses() {
  Table& t = table();
  {
    std::lock_guard guard(t.lock);
    if (t.classesReady) return;
    t.classesReady = true;
  }
  WNDCLASSW dialog{};
  dialog.style = CS_SAVEBITS | CS_DBLCLKS;
  dialog.lpfnWndProc = DefDlgProcW;
  dialog.cbWndExtra = DLGWINDOWEXTRA;
  dialog.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<ULONG_PTR>(COLOR_BTNFACE + 1));
  AddClass(dialog, u"#32770", kDialogAtom);
  UiRegisterStandardControls();
}

POINT ScreenOrigin(HWND window) {
  POINT origin{0, 0};
  for (int depth = 0; depth < 256; ++depth) {
    auto w = FindWindowRecord(window, false);
    if (!w) break;
    origin.x += w->rect.left;
    origin.y += w->rect.top;
    if (!w->parent) break;
    window = w->parent;
  }
  return origin;
}

HWND CreateWindowRecord(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                        int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param,
                        void (*prepare)(Window& window, void* context), void* context) {
  EnsureClasses();
  const auto windowClass = FindClass(className);
  if (!windowClass) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  if (IsDesktop(parent)) parent = nullptr;
  std::shared_ptr<Window> parentRecord;
  if (parent && !(parentRecord = FindWindowRecord(parent))) return nullptr;
  if ((style & WS_CHILD) && !parentRecord) {
    SetLastError(ERROR_TLW_WITH_WSCHILD);
    return nullptr;
  }
  auto w = std::make_shared<Window>();
  w->thread = CurrentThread();
  w->windowClass = windowClass;
  w->proc = windowClass->info.lpfnWndProc;
  w->style = style;
  w->exStyle = exStyle;
  w->instance = instance;
  w->text = TextOf(IS_INTRESOURCE(windowName) ? nullptr : windowName);
  w->extra.assign(static_cast<size_t>(windowClass->info.cbWndExtra), 0);
  if (x == CW_USEDEFAULT) x = 0, y = 0;
  if (width == CW_USEDEFAULT) width = 0, height = 0;
  w->rect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
  if (style & WS_CHILD) {
    w->parent = parent;
    w->id = reinterpret_cast<LONG_PTR>(menu);
  } else if (parentRecord) {
    // The owner of a top-level window is a top-level window.
    HWND root = parent;
    for (auto r = parentRecord; r && r->parent; r = FindWindowRecord(r->parent, false)) root = r->parent;
    w->owner = root;
  }
  if (prepare) prepare(*w, context);
  Table& t = table();
  {
    std::lock_guard guard(t.lock);
    w->handle = HandleOf(t.nextHandle);
    t.nextHandle += 2;
    t.windows.emplace(IdOf(w->handle), w);
  }
  if (parentRecord) parentRecord->children.push_back(w->handle);
  const HWND window = w->handle;

  CREATESTRUCTW create{param, instance, menu, parent, height, width, y, x, static_cast<LONG>(style), windowName,
                       className, exStyle};
  if (!SendMessageW(window, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create))) {
    if (FindWindowRecord(window, false)) {
      Unlink(w);
      SendNcDestroy(window);
    }
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  if (SendMessageW(window, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
    DestroyWindow(window);
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  if (!FindWindowRecord(window, false)) return nullptr;
  SendMessageW(window, WM_SIZE, 0, MAKELPARAM(static_cast<WORD>(width), static_cast<WORD>(height)));
  SendMessageW(window, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
  if (auto again = FindWindowRecord(window, false)) {
    if (again->style & WS_VISIBLE) Invalidate(*again, true);
    return window;
  }
  return nullptr;
}

void ResetWindows() {
  for (HWND window : TopLevelWindows()) DestroyWindow(window);
  Table& t = table();
  std::lock_guard guard(t.lock);
  t.windows.clear();  // whatever a procedure re-created while being destroyed
  t.classes.clear();
  t.classesReady = false;
  t.defaultFace = u"MS Shell Dlg";
}

}  // namespace velm::ui

using namespace velm::ui;

// ---- Classes ----------------------------------------------------------------------------------

ATOM RegisterClassW(const WNDCLASSW* windowClass) {
  if (!windowClass || !windowClass->lpfnWndProc || !windowClass->lpszClassName ||
      IS_INTRESOURCE(windowClass->lpszClassName) || !*windowClass->lpszClassName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  EnsureClasses();
  return AddClass(*windowClass, windowClass->lpszClassName, 0);
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE instance) {
  const auto found = FindClass(className);
  if (!found) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  for (HWND window : AllWindows())
    if (auto w = FindWindowRecord(window, false); w && w->windowClass == found) {
      SetLastError(ERROR_CLASS_HAS_WINDOWS);
      return FALSE;
    }
  Table& t = table();
  std::lock_guard guard(t.lock);
  t.classes.erase(std::remove(t.classes.begin(), t.classes.end(), found), t.classes.end());
  return TRUE;
}

BOOL GetClassInfoW(HINSTANCE instance, LPCWSTR className, WNDCLASSW* windowClass) {
  EnsureClasses();
  const auto found = FindClass(className);
  if (!found || !windowClass) {
    SetLastError(found ? ERROR_INVALID_PARAMETER : ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  *windowClass = found->info;
  windowClass->lpszClassName = className;  // as Windows: the caller's name back
  return TRUE;
}

int GetClassNameW(HWND window, LPWSTR className, int maxCount) {
  auto w = FindWindowRecord(window);
  if (!w || !className || maxCount <= 0) return 0;
  const size_t n = std::min(w->windowClass->name.size(), static_cast<size_t>(maxCount - 1));
  std::copy_n(w->windowClass->name.begin(), n, className);
  className[n] = 0;
  return static_cast<int>(n);
}

ULONG_PTR GetClassLongPtrW(HWND window, int index) {
  auto w = FindWindowRecord(window);
  if (!w) return 0;
  switch (index) {
    case GCLP_HBRBACKGROUND: return reinterpret_cast<ULONG_PTR>(w->windowClass->info.hbrBackground);
    case GCLP_HCURSOR: return reinterpret_cast<ULONG_PTR>(w->windowClass->info.hCursor);
    case GCLP_WNDPROC: return reinterpret_cast<ULONG_PTR>(w->windowClass->info.lpfnWndProc);
    default: SetLastError(ERROR_INVALID_INDEX); return 0;
  }
}

LRESULT CallWindowProcW(WNDPROC procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return procedure ? procedure(window, message, wParam, lParam) : 0;
}

// ---- The default window procedure ----------------------------------------------------------------

LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto w = FindWindowRecord(window, false);
  if (!w) return 0;
  switch (message) {
    case WM_NCCREATE: {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
      if (create && create->lpszName && !IS_INTRESOURCE(create->lpszName)) w->text = create->lpszName;
      return TRUE;
    }
    case WM_SETTEXT:
      w->text = TextOf(reinterpret_cast<LPCWSTR>(lParam));
      return TRUE;
    case WM_GETTEXT: {
      auto* out = reinterpret_cast<LPWSTR>(lParam);
      if (!out || wParam == 0) return 0;
      const size_t n = std::min(w->text.size(), static_cast<size_t>(wParam - 1));
      std::copy_n(w->text.begin(), n, out);
      out[n] = 0;
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(w->text.size());
    case WM_SETREDRAW:
      w->redraw = wParam != 0;
      return 0;
    case WM_PRINTCLIENT: {
      // Windows whose procedure paints only in WM_PAINT paint into the given DC.
      const HDC previous = w->redirect;
      w->redirect = reinterpret_cast<HDC>(wParam);
      SendMessageW(window, WM_PAINT, 0, 0);
      if (auto again = FindWindowRecord(window, false)) again->redirect = previous;
      return 0;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      BeginPaint(window, &paint);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_ERASEBKGND: {
      HBRUSH brush = w->windowClass->info.hbrBackground;
      if (!brush) return 0;
      const ULONG_PTR value = reinterpret_cast<ULONG_PTR>(brush);
      if (value <= 64) brush = GetSysColorBrush(static_cast<int>(value - 1));
      RECT client{};
      GetClientRect(window, &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
      return 1;
    }
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      return reinterpret_cast<LRESULT>(
          GetSysColorBrush(message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX ? COLOR_WINDOW : COLOR_BTNFACE));
    case WM_NCHITTEST: {
      RECT rect{};
      GetWindowRect(window, &rect);
      const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      return PtInRect(&rect, point) ? HTCLIENT : HTNOWHERE;
    }
    case WM_SETCURSOR: {
      // The parent has the first say, as on Windows.
      if (w->parent && SendMessageW(w->parent, WM_SETCURSOR, wParam, lParam)) return TRUE;
      if (static_cast<SHORT>(LOWORD(static_cast<DWORD_PTR>(lParam))) == HTCLIENT && w->windowClass->info.hCursor) {
        SetCursor(w->windowClass->info.hCursor);
        return TRUE;
      }
      return FALSE;
    }
    case WM_RBUTTONUP: {
      POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ClientToScreen(window, &point);
      SendMessageW(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window),
                   MAKELPARAM(static_cast<WORD>(point.x), static_cast<WORD>(point.y)));
      return 0;
    }
    case WM_CONTEXTMENU:
    case WM_HELP:
      if (w->parent && (w->style & WS_CHILD)) SendMessageW(w->parent, message, wParam, lParam);
      return message == WM_HELP ? TRUE : 0;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    default:
      return 0;
  }
}

// ---- Windows and their tree -------------------------------------------------------------------

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  return CreateWindowRecord(exStyle, className, windowName, style, x, y, width, height, parent, menu, instance, param,
                            nullptr, nullptr);
}

BOOL DestroyWindow(HWND window) {
  auto w = FindWindowRecord(window);
  if (!w) return FALSE;
  if (w->destroying) return TRUE;
  w->destroying = true;
  for (HWND other : TopLevelWindows())
    if (auto o = FindWindowRecord(other, false); o && o->owner == window) DestroyWindow(other);
  if (w->style & WS_VISIBLE) {
    w->style &= ~WS_VISIBLE;
    if (!w->parent) SendMessageW(window, WM_SHOWWINDOW, FALSE, 0);
  }
  if (w->dialog && w->dialog->modal && !w->dialog->ended) {
    w->dialog->ended = true;  // a modal dialog destroyed from inside ends its loop
    w->dialog->result = 0;
  }
  SendDestroy(window);
  Unlink(w);
  SendNcDestroy(window);
  return TRUE;
}

BOOL IsWindow(HWND window) { return IsDesktop(window) || FindWindowRecord(window, false) != nullptr; }

BOOL IsChild(HWND parent, HWND window) {
  for (int depth = 0; depth < 256; ++depth) {
    auto w = FindWindowRecord(window, false);
    if (!w || !w->parent) return FALSE;
    if (w->parent == parent) return TRUE;
    window = w->parent;
  }
  return FALSE;
}

HWND GetParent(HWND window) {
  auto w = FindWindowRecord(window);
  if (!w) return nullptr;
  return (w->style & WS_CHILD) ? w->parent : w->owner;
}

HWND SetParent(HWND window, HWND newParent) {
  auto w = FindWindowRecord(window);
  if (!w) return nullptr;
  if (IsDesktop(newParent)) newParent = nullptr;
  auto parent = newParent ? FindWindowRecord(newParent) : nullptr;
  if (newParent && !parent) return nullptr;
  const HWND old = w->parent ? w->parent : GetDesktopWindow();
  Unlink(w);
  w->parent = newParent;
  if (parent) {
    parent->children.push_back(window);
    w->style |= WS_CHILD;
  } else {
    w->style &= ~WS_CHILD;
  }
  return old;
}

HWND GetAncestor(HWND window, UINT flags) {
  auto w = FindWindowRecord(window);
  if (!w) return nullptr;
  if (flags == GA_PARENT) return w->parent ? w->parent : GetDesktopWindow();  // GA_PARENT
  for (int depth = 0; depth < 256 && w->parent; ++depth) {
    window = w->parent;
    w = FindWindowRecord(window, false);
    if (!w) return nullptr;
  }
  if (flags == GA_ROOTOWNER) {
    for (int depth = 0; depth < 256 && w && w->owner; ++depth) {
      window = w->owner;
      w = FindWindowRecord(window, false);
    }
  }
  return window;
}

HWND GetWindow(HWND window, UINT relation) {
  if (IsDesktop(window)) {
    const auto tops = TopLevelWindows();  // newest on top
    return relation == GW_CHILD && !tops.empty() ? tops.back() : nullptr;
  }
  auto w = FindWindowRecord(window);
  if (!w) return nullptr;
  if (relation == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
  if (relation == GW_OWNER) return w->owner;
  std::vector<HWND> siblings;
  if (w->parent) {
    if (auto p = FindWindowRecord(w->parent, false)) siblings = p->children;
  } else {
    siblings = TopLevelWindows();
    std::reverse(siblings.begin(), siblings.end());
  }
  const auto at = std::find(siblings.begin(), siblings.end(), window);
  if (at == siblings.end()) return nullptr;
  switch (relation) {
    case GW_HWNDFIRST: return siblings.front();
    case GW_HWNDLAST: return siblings.back();
    case GW_HWNDNEXT: return at + 1 == siblings.end() ? nullptr : *(at + 1);
    case GW_HWNDPREV: return at == siblings.begin() ? nullptr : *(at - 1);
    default: SetLastError(ERROR_INVALID_PARAMETER); return nullptr;
  }
}

HWND GetTopWindow(HWND window) { return GetWindow(window ? window : GetDesktopWindow(), GW_CHILD); }
HWND GetNextWindow(HWND window, UINT relation) { return GetWindow(window, relation); }
HWND GetDesktopWindow() { return HandleOf(kDesktopHandle); }

HWND GetDlgItem(HWND dialog, int id) {
  auto w = FindWindowRecord(dialog);
  if (!w) return nullptr;
  for (HWND child : w->children)
    if (auto c = FindWindowRecord(child, false); c && static_cast<int>(c->id) == id) return child;
  SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
  return nullptr;
}

int GetDlgCtrlID(HWND window) {
  auto w = FindWindowRecord(window);
  return w && (w->style & WS_CHILD) ? static_cast<int>(w->id) : 0;
}

BOOL EnumChildWindows(HWND parent, WNDENUMPROC callback, LPARAM lParam) {
  if (!callback) return FALSE;
  std::vector<HWND> all;
  std::vector<HWND> stack = {parent};
  while (!stack.empty()) {
    auto w = FindWindowRecord(stack.back(), false);
    stack.pop_back();
    if (!w) continue;
    for (auto it = w->children.rbegin(); it != w->children.rend(); ++it) stack.push_back(*it);
    if (w->handle != parent) all.push_back(w->handle);
  }
  for (HWND child : all)
    if (FindWindowRecord(child, false) && !callback(child, lParam)) break;
  return TRUE;
}

HWND FindWindowW(LPCWSTR className, LPCWSTR windowName) {
  const auto wanted = className ? FindClass(className) : nullptr;
  if (className && !wanted) return nullptr;
  for (HWND window : TopLevelWindows()) {
    auto w = FindWindowRecord(window, false);
    if (!w || (wanted && w->windowClass != wanted) || (windowName && w->text != windowName)) continue;
    return window;
  }
  return nullptr;
}

// ---- Window longs -------------------------------------------------------------------------------

LONG_PTR GetWindowLongPtrW(HWND window, int index) {
  auto w = FindWindowRecord(window);
  if (!w) return 0;
  if (index >= 0) {
    if (static_cast<size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) {
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
    }
    LONG_PTR value = 0;
    std::memcpy(&value, w->extra.data() + index, sizeof value);
    return value;
  }
  switch (index) {
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>(w->parent ? w->parent : w->owner);
    case GWLP_ID: return w->id;
    case GWL_STYLE: return static_cast<LONG>(w->style);
    case GWL_EXSTYLE: return static_cast<LONG>(w->exStyle);
    case GWLP_USERDATA: return w->userData;
    default: SetLastError(ERROR_INVALID_INDEX); return 0;
  }
}

LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value) {
  auto w = FindWindowRecord(window);
  if (!w) return 0;
  LONG_PTR old = 0;
  if (index >= 0) {
    if (static_cast<size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) {
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
    }
    std::memcpy(&old, w->extra.data() + index, sizeof old);
    std::memcpy(w->extra.data() + index, &value, sizeof value);
    SetLastError(0);
    return old;
  }
  SetLastError(0);  // so that a previous value of 0 can be told from a failure
  switch (index) {
    case GWLP_WNDPROC:
      if (!value) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
      }
      old = reinterpret_cast<LONG_PTR>(w->proc);
      w->proc = reinterpret_cast<WNDPROC>(value);
      return old;
    case GWLP_HINSTANCE:
      old = reinterpret_cast<LONG_PTR>(w->instance);
      w->instance = reinterpret_cast<HINSTANCE>(value);
      return old;
    case GWLP_ID: old = w->id; w->id = value; return old;
    case GWLP_USERDATA: old = w->userData; w->userData = value; return old;
    case GWL_STYLE:
      old = static_cast<LONG>(w->style);
      w->style = static_cast<DWORD>(value);
      return old;
    case GWL_EXSTYLE:
      old = static_cast<LONG>(w->exStyle);
      w->exStyle = static_cast<DWORD>(value);
      return old;
    default: SetLastError(ERROR_INVALID_INDEX); return 0;
  }
}

LONG GetWindowLongW(HWND window, int index) {
  auto w = FindWindowRecord(window);
  if (!w) return 0;
  if (index >= 0) {
    if (static_cast<size_t>(index) + sizeof(LONG) > w->extra.size()) {
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
    }
    LONG value = 0;
    std::memcpy(&value, w->extra.data() + index, sizeof value);
    return value;
  }
  return static_cast<LONG>(GetWindowLongPtrW(window, index));
}

LONG SetWindowLongW(HWND window, int index, LONG value) {
  auto w = FindWindowRecord(window);
  if (!w) return 0;
  if (index >= 0) {
    if (static_cast<size_t>(index) + sizeof(LONG) > w->extra.size()) {
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
    }
    LONG old = 0;
    std::memcpy(&old, w->extra.data() + index, sizeof old);
    std::memcpy(w->extra.data() + index, &value, sizeof value);
    return old;
  }
  return static_cast<LONG>(SetWindowLongPtrW(window, index, value));
}

// ---- Texts and state --------------------------------------------------------------------------

BOOL SetWindowTextW(HWND window, LPCWSTR text) {
  if (!FindWindowRecord(window)) return FALSE;
  return SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

int GetWindowTextW(HWND window, LPWSTR text, int maxCount) {
  if (text && maxCount > 0) text[0] = 0;
  if (!FindWindowRecord(window) || !text || maxCount <= 0) return 0;
  return static_cast<int>(SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(maxCount), reinterpret_cast<LPARAM>(text)));
}

int GetWindowTextLengthW(HWND window) {
  if (!FindWindowRecord(window)) return 0;
  return static_cast<int>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0));
}

BOOL EnableWindow(HWND window, BOOL enable) {
  auto w = FindWindowRecord(window);
  if (!w) return FALSE;
  const bool wasDisabled = (w->style & WS_DISABLED) != 0;
  if (wasDisabled == !enable) return wasDisabled;
  if (enable) {
    w->style &= ~WS_DISABLED;
  } else {
    w->style |= WS_DISABLED;
    if (GetFocus() == window || IsChild(window, GetFocus())) SetFocus(nullptr);
    if (GetCapture() == window) ReleaseCapture();
  }
  SendMessageW(window, WM_ENABLE, enable ? TRUE : FALSE, 0);
  if (auto again = FindWindowRecord(window, false)) Invalidate(*again, true);
  return wasDisabled;
}

BOOL IsWindowEnabled(HWND window) {
  auto w = FindWindowRecord(window);
  return w && !(w->style & WS_DISABLED);
}

BOOL ShowWindow(HWND window, int command) {
  auto w = FindWindowRecord(window);
  if (!w) return FALSE;
  const bool wasVisible = (w->style & WS_VISIBLE) != 0;
  const bool show = command != SW_HIDE;
  if (wasVisible == show) return wasVisible;
  SendMessageW(window, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
  w = FindWindowRecord(window, false);
  if (!w) return wasVisible;
  if (show) {
    w->style |= WS_VISIBLE;
    Invalidate(*w, true);
  } else {
    w->style &= ~WS_VISIBLE;
    if (w->parent) {
      if (auto p = FindWindowRecord(w->parent, false)) Invalidate(*p, true);
    }
    if (GetFocus() == window || IsChild(window, GetFocus())) SetFocus(nullptr);
  }
  return wasVisible;
}

BOOL IsWindowVisible(HWND window) {
  if (IsDesktop(window)) return TRUE;
  for (int depth = 0; depth < 256; ++depth) {
    auto w = FindWindowRecord(window, false);
    if (!w || !(w->style & WS_VISIBLE)) return FALSE;
    if (!w->parent) return TRUE;
    window = w->parent;
  }
  return FALSE;
}

// ---- Geometry -----------------------------------------------------------------------------------

BOOL GetWindowRect(HWND window, LPRECT rect) {
  if (!rect) return FALSE;
  if (IsDesktop(window)) {
    *rect = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return TRUE;
  }
  auto w = FindWindowRecord(window);
  if (!w) return FALSE;
  const POINT origin = ScreenOrigin(window);
  *rect = RECT{origin.x, origin.y, origin.x + (w->rect.right - w->rect.left), origin.y + (w->rect.bottom - w->rect.top)};
  return TRUE;
}

BOOL GetClientRect(HWND window, LPRECT rect) {
  if (!rect) return FALSE;
  if (IsDesktop(window)) return GetWindowRect(window, rect);  // the screen, at 0,0 either way
  auto w = FindWindowRecord(window);
  if (!w) return FALSE;
  *rect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
  return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
  if (!FindWindowRecord(window)) return FALSE;
  SetRectOf(window, RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)}, repaint != FALSE);
  return TRUE;
}

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags) {
  auto w = FindWindowRecord(window);
  if (!w) return FALSE;
  RECT rect = w->rect;
  if (!(flags & SWP_NOMOVE)) rect = RECT{x, y, x + (rect.right - rect.left), y + (rect.bottom - rect.top)};
  if (!(flags & SWP_NOSIZE)) rect.right = rect.left + std::max(width, 0), rect.bottom = rect.top + std::max(height, 0);
  if (!(flags & SWP_NOZORDER) && w->parent) {
    if (auto p = FindWindowRecord(w->parent, false)) {
      auto& list = p->children;
      list.erase(std::remove(list.begin(), list.end(), window), list.end());
      const auto after = std::find(list.begin(), list.end(), insertAfter);
      if (insertAfter == HWND_BOTTOM) list.push_back(window);
      else if (after != list.end()) list.insert(after + 1, window);
      else list.insert(list.begin(), window);  // HWND_TOP and the topmost variants
    }
  }
  SetRectOf(window, rect, !(flags & SWP_NOREDRAW));
  if (flags & SWP_SHOWWINDOW) ShowWindow(window, SW_SHOWNA);
  if (flags & SWP_HIDEWINDOW) ShowWindow(window, SW_HIDE);
  return TRUE;
}

int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count) {
  if ((from && !IsWindow(from)) || (to && !IsWindow(to))) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  const POINT a = from && !IsDesktop(from) ? ScreenOrigin(from) : POINT{0, 0};
  const POINT b = to && !IsDesktop(to) ? ScreenOrigin(to) : POINT{0, 0};
  const LONG dx = a.x - b.x, dy = a.y - b.y;
  for (UINT i = 0; points && i < count; ++i) points[i].x += dx, points[i].y += dy;
  SetLastError(0);
  return static_cast<int>(MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy)));
}

BOOL ScreenToClient(HWND window, POINT* point) {
  if (!point || !IsWindow(window)) return FALSE;
  MapWindowPoints(nullptr, window, point, 1);
  return TRUE;
}

BOOL ClientToScreen(HWND window, POINT* point) {
  if (!point || !IsWindow(window)) return FALSE;
  MapWindowPoints(window, nullptr, point, 1);
  return TRUE;
}

HWND ChildWindowFromPoint(HWND parent, POINT point) {
  auto w = FindWindowRecord(parent);
  if (!w) return nullptr;
  RECT client{};
  GetClientRect(parent, &client);
  if (!PtInRect(&client, point)) return nullptr;
  for (HWND child : w->children)
    if (auto c = FindWindowRecord(child, false); c && PtInRect(&c->rect, point)) return child;
  return parent;
}

// The deepest visible, enabled window under the screen point, top of the z-order first.
HWND WindowFromPoint(POINT point) {
  auto tops = TopLevelWindows();
  for (auto top = tops.rbegin(); top != tops.rend(); ++top) {
    RECT rect{};
    if (!IsWindowVisible(*top) || !GetWindowRect(*top, &rect) || !PtInRect(&rect, point)) continue;
    HWND found = *top;
    for (int depth = 0; depth < 256; ++depth) {
      auto w = FindWindowRecord(found, false);
      HWND next = nullptr;
      for (HWND child : w ? w->children : std::vector<HWND>{}) {
        auto c = FindWindowRecord(child, false);
        if (!c || !(c->style & WS_VISIBLE) || (c->style & WS_DISABLED)) continue;
        RECT r{};
        GetWindowRect(child, &r);
        if (PtInRect(&r, point)) {
          next = child;
          break;
        }
      }
      if (!next) break;
      found = next;
    }
    return found;
  }
  return nullptr;
}

BOOL PtInRect(const RECT* rect, POINT point) {
  return rect && point.x >= rect->left && point.x < rect->right && point.y >= rect->top && point.y < rect->bottom;
}
BOOL SetRect(LPRECT rect, int left, int top, int right, int bottom) {
  if (!rect) return FALSE;
  *rect = RECT{left, top, right, bottom};
  return TRUE;
}
BOOL SetRectEmpty(LPRECT rect) { return SetRect(rect, 0, 0, 0, 0); }
BOOL CopyRect(LPRECT to, const RECT* from) {
  if (!to || !from) return FALSE;
  *to = *from;
  return TRUE;
}
BOOL IsRectEmpty(const RECT* rect) { return !rect || rect->right <= rect->left || rect->bottom <= rect->top; }
BOOL EqualRect(const RECT* a, const RECT* b) {
  return a && b && a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}
BOOL InflateRect(LPRECT rect, int dx, int dy) {
  if (!rect) return FALSE;
  rect->left -= dx, rect->right += dx, rect->top -= dy, rect->bottom += dy;
  return TRUE;
}
BOOL OffsetRect(LPRECT rect, int dx, int dy) {
  if (!rect) return FALSE;
  rect->left += dx, rect->right += dx, rect->top += dy, rect->bottom += dy;
  return TRUE;
}
BOOL IntersectRect(LPRECT out, const RECT* a, const RECT* b) {
  if (!out || !a || !b) return FALSE;
  const RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
               std::min(a->bottom, b->bottom)};
  if (IsRectEmpty(&r)) {
    *out = RECT{};
    return FALSE;
  }
  *out = r;
  return TRUE;
}
BOOL UnionRect(LPRECT out, const RECT* a, const RECT* b) {
  if (!out || !a || !b) return FALSE;
  if (IsRectEmpty(a)) *out = IsRectEmpty(b) ? RECT{} : *b;
  else if (IsRectEmpty(b)) *out = *a;
  else *out = RECT{std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
                   std::max(a->bottom, b->bottom)};
  return !IsRectEmpty(out);
}

// ---- The stand-in's own interface ---------------------------------------------------------------

BOOL UiIsWindow(HWND window) { return IsWindow(window); }

void UiOnReset(void (*hook)()) {
  Table& t = table();
  std::lock_guard guard(t.lock);
  if (hook && std::find(t.resetHooks.begin(), t.resetHooks.end(), hook) == t.resetHooks.end())
    t.resetHooks.push_back(hook);
}

void UiResetAll() {
  ResetDialogs();
  ResetWindows();
  ResetMessages();
  ResetRecords();
  std::vector<void (*)()> hooks;
  {
    Table& t = table();
    std::lock_guard guard(t.lock);
    hooks = t.resetHooks;
  }
  for (auto hook : hooks) hook();
}

HWND UiAddForeignWindow(LPCWSTR className, LPCWSTR windowName) {
  if (!className || IS_INTRESOURCE(className)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  EnsureClasses();
  if (!FindClass(className)) {
    WNDCLASSW foreign{};
    foreign.lpfnWndProc = ForeignWindowProc;
    AddClass(foreign, className, 0);
  }
  return CreateWindowExW(0, className, windowName, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
}

BOOL UiIsRedrawOn(HWND window) {
  auto w = FindWindowRecord(window);
  return w && w->redraw;
}

void UiSetDefaultDialogFace(const std::u16string& face) {
  Table& t = table();
  std::lock_guard guard(t.lock);
  t.defaultFace = face;
}

const std::u16string& UiDefaultDialogFace() { return table().defaultFace; }
