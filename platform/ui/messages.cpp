// Sent and posted messages, the per-thread queues and the pump, focus and capture, the simulated
// mouse and keyboard, virtual timers, invalidation and painting, and cursors.
#include <algorithm>
#include <deque>
#include <map>
#include <mutex>
#include <set>

#include "core/winerror.h"
#include "ui/dialog_template.h"
#include "ui/window_manager.h"

namespace velm::ui {
namespace {

// One pump dispatches at most this many messages: a window that keeps posting to itself ends
// the pump (reported) instead of hanging the test.
constexpr LRESULT kMaxDispatchesPerPump = 100000;

struct Timer {
  HWND window;
  UINT_PTR id;
  UINT elapse;
  TIMERPROC proc;
  DWORD thread;
  UINT waited = 0;
  bool due = false;
};

struct CursorInfo {
  HMODULE module;
  WORD id;
  CursorResource shape;
};

struct State {
  std::mutex lock;
  std::map<DWORD, std::deque<MSG>> queues;
  std::map<DWORD, bool> quit;
  std::vector<Timer> timers;
  UINT_PTR nextTimerId = 1;
  DWORD clock = 0;
  HWND focus = nullptr;
  HWND active = nullptr;
  HWND capture = nullptr;
  POINT cursorPos{0, 0};
  std::set<int> keysDown;
  std::vector<CursorInfo> cursors;  // HCURSOR = index + kFirstCursor
  HCURSOR cursor = nullptr;
};

State& state() {
  static State* instance = new State;
  return *instance;
}

constexpr uintptr_t kFirstCursor = 0x7C000;

DWORD ThreadOf(HWND window) {
  auto w = FindWindowRecord(window, false);
  return w ? w->thread : 0;
}

bool Matches(const MSG& m, HWND filter, UINT first, UINT last) {
  if (filter && m.hwnd != filter && !IsChild(filter, m.hwnd)) return false;
  if (first == 0 && last == 0) return true;
  return m.message >= first && m.message <= last;
}

// A window of the calling thread that waits for WM_PAINT, parents before children.
HWND DirtyWindow(HWND filter) {
  const DWORD thread = CurrentThread();
  for (HWND window : AllWindows()) {
    auto w = FindWindowRecord(window, false);
    if (!w || !w->dirty || w->thread != thread || !IsWindowVisible(window)) continue;
    if (filter && window != filter && !IsChild(filter, window)) continue;
    return window;
  }
  return nullptr;
}

HCURSOR CursorHandle(size_t index) { return reinterpret_cast<HCURSOR>(kFirstCursor + index); }

}  // namespace

bool PeekNext(MSG& message, HWND filter, UINT first, UINT last, bool remove) {
  State& s = state();
  const DWORD thread = CurrentThread();
  {
    std::lock_guard guard(s.lock);
    auto& queue = s.queues[thread];
    for (auto it = queue.begin(); it != queue.end(); ++it) {
      if (!Matches(*it, filter, first, last)) continue;
      message = *it;
      if (remove) queue.erase(it);
      return true;
    }
    if (s.quit[thread] && (first == 0 && last == 0 ? true : WM_QUIT >= first && WM_QUIT <= last)) {
      message = MSG{nullptr, WM_QUIT, 0, 0, s.clock, s.cursorPos};
      if (remove) s.quit[thread] = false;
      return true;
    }
  }
  const bool wantsPaint = (first == 0 && last == 0) || (WM_PAINT >= first && WM_PAINT <= last);
  if (wantsPaint) {
    if (HWND dirty = DirtyWindow(filter)) {
      message = MSG{dirty, WM_PAINT, 0, 0, s.clock, s.cursorPos};
      return true;  // WM_PAINT stays until the window is validated
    }
  }
  const bool wantsTimer = (first == 0 && last == 0) || (WM_TIMER >= first && WM_TIMER <= last);
  if (wantsTimer) {
    std::lock_guard guard(s.lock);
    for (Timer& timer : s.timers) {
      if (!timer.due || timer.thread != thread) continue;
      if (filter && timer.window != filter && !IsChild(filter, timer.window)) continue;
      message = MSG{timer.window, WM_TIMER, timer.id, reinterpret_cast<LPARAM>(timer.proc), s.clock, s.cursorPos};
      if (remove) timer.due = false;
      return true;
    }
  }
  return false;
}

void DropWindowState(HWND window) {
  State& s = state();
  std::lock_guard guard(s.lock);
  for (auto& [thread, queue] : s.queues)
    queue.erase(std::remove_if(queue.begin(), queue.end(), [&](const MSG& m) { return m.hwnd == window; }), queue.end());
  s.timers.erase(std::remove_if(s.timers.begin(), s.timers.end(), [&](const Timer& t) { return t.window == window; }),
                 s.timers.end());
  if (s.focus == window) s.focus = nullptr;
  if (s.active == window) s.active = nullptr;
  if (s.capture == window) s.capture = nullptr;
}

void ResetMessages() {
  State& s = state();
  std::lock_guard guard(s.lock);
  s.queues.clear();
  s.quit.clear();
  s.timers.clear();
  s.clock = 0;
  s.focus = s.active = s.capture = nullptr;
  s.cursorPos = POINT{0, 0};
  s.keysDown.clear();
  s.cursor = nullptr;
}

}  // namespace velm::ui

using namespace velm::ui;

// ---- Messages ---------------------------------------------------------------------------------

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto w = FindWindowRecord(window);
  if (!w || !w->proc) return 0;
  // `w` keeps the record alive while its procedure runs, even if it destroys the window.
  return w->proc(window, message, wParam, lParam);
}

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD thread = CurrentThread();
  if (window) {
    thread = ThreadOf(window);
    if (!thread) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
  }
  State& s = state();
  std::lock_guard guard(s.lock);
  s.queues[thread].push_back(MSG{window, message, wParam, lParam, s.clock, s.cursorPos});
  return TRUE;
}

BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
  State& s = state();
  std::lock_guard guard(s.lock);
  s.queues[threadId].push_back(MSG{nullptr, message, wParam, lParam, s.clock, s.cursorPos});
  return TRUE;
}

void PostQuitMessage(int exitCode) {
  State& s = state();
  std::lock_guard guard(s.lock);
  s.quit[CurrentThread()] = true;
  (void)exitCode;
}

BOOL PeekMessageW(LPMSG message, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
  MSG found{};
  if (!PeekNext(found, window, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0)) return FALSE;
  if (message) *message = found;
  return TRUE;
}

BOOL GetMessageW(LPMSG message, HWND window, UINT filterMin, UINT filterMax) {
  if (!message) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  if (!PeekNext(*message, window, filterMin, filterMax, true)) {
    // Nothing could ever arrive in a headless process: waiting would hang.
    UiReportUnexpected("GetMessageW waited on an empty queue");
    SetLastError(ERROR_NO_MORE_ITEMS);
    return -1;
  }
  return message->message == WM_QUIT ? FALSE : TRUE;
}

LRESULT DispatchMessageW(const MSG* message) {
  if (!message || !message->hwnd) return 0;
  if (message->message == WM_TIMER && message->lParam) {
    reinterpret_cast<TIMERPROC>(message->lParam)(message->hwnd, WM_TIMER, message->wParam, state().clock);
    return 0;
  }
  const LRESULT result = SendMessageW(message->hwnd, message->message, message->wParam, message->lParam);
  if (message->message == WM_PAINT) {
    // A procedure that paints without BeginPaint would be asked again for ever.
    if (auto w = FindWindowRecord(message->hwnd, false)) w->dirty = w->erase = false;
  }
  return result;
}

BOOL TranslateMessage(const MSG* message) {
  if (!message || message->message != WM_KEYDOWN) return FALSE;
  const int key = static_cast<int>(message->wParam);
  const bool shift = GetKeyState(VK_SHIFT) < 0;
  char16_t c = 0;
  if (key >= 'A' && key <= 'Z') c = static_cast<char16_t>(shift ? key : key + 32);
  else if (key >= '0' && key <= '9' && !shift) c = static_cast<char16_t>(key);
  else if (key == VK_SPACE) c = u' ';
  else if (key == VK_RETURN) c = u'\r';
  else if (key == VK_BACK) c = 8;
  else if (key == VK_ESCAPE) c = 27;
  else if (key == VK_TAB) c = u'\t';
  if (!c) return FALSE;
  return PostMessageW(message->hwnd, WM_CHAR, c, message->lParam);
}

LONG GetMessageTime() { return state().clock; }

DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId) {
  if (processId) *processId = 1;
  return ThreadOf(window);
}

LRESULT UiPump() {
  LRESULT dispatched = 0;
  MSG message{};
  while (PeekNext(message, nullptr, 0, 0, true)) {
    if (message.message == WM_QUIT) continue;
    if (dispatched == kMaxDispatchesPerPump) {
      UiReportUnexpected("the pump stopped after " + std::to_string(kMaxDispatchesPerPump) + " messages");
      break;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
    ++dispatched;
  }
  return dispatched;
}

// ---- Focus and activation -------------------------------------------------------------------------

HWND SetFocus(HWND window) {
  State& s = state();
  if (window) {
    auto w = FindWindowRecord(window);
    if (!w || (w->style & WS_DISABLED)) return nullptr;
  }
  HWND old;
  {
    std::lock_guard guard(s.lock);
    old = s.focus;
  }
  if (old == window) return old;
  {
    std::lock_guard guard(s.lock);
    s.focus = nullptr;
  }
  if (old) SendMessageW(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
  if (window && IsWindow(window)) {
    {
      std::lock_guard guard(s.lock);
      s.focus = window;
      s.active = GetAncestor(window, GA_ROOT);
    }
    SendMessageW(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
  }
  return old && IsWindow(old) ? old : nullptr;
}

HWND GetFocus() {
  State& s = state();
  std::lock_guard guard(s.lock);
  return s.focus;
}

HWND GetActiveWindow() {
  State& s = state();
  std::lock_guard guard(s.lock);
  return s.active;
}

HWND SetActiveWindow(HWND window) {
  if (window && !IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  State& s = state();
  std::lock_guard guard(s.lock);
  const HWND old = s.active;
  s.active = window;
  return old;
}

HWND GetForegroundWindow() { return GetActiveWindow(); }
BOOL SetForegroundWindow(HWND window) { return IsWindow(window) && (SetActiveWindow(window), TRUE); }

// ---- Painting -----------------------------------------------------------------------------------

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
  if (!window) {
    for (HWND each : AllWindows()) InvalidateRect(each, nullptr, erase);
    return TRUE;
  }
  auto w = FindWindowRecord(window);
  if (!w) return FALSE;
  const RECT client{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
  RECT area = client;
  if (rect && !IntersectRect(&area, rect, &client)) return TRUE;
  if (w->dirty) UnionRect(&w->update, &w->update, &area);
  else w->update = area;
  w->dirty = true;
  w->erase = w->erase || erase;
  return TRUE;
}

BOOL ValidateRect(HWND window, const RECT* rect) {
  auto w = FindWindowRecord(window);
  if (!w) return FALSE;
  // Validating a part keeps the window dirty: the update area stays a rectangle here.
  RECT area{};
  if (!rect || !IntersectRect(&area, rect, &w->update) || EqualRect(&area, &w->update)) {
    w->dirty = w->erase = false;
    w->update = RECT{};
  }
  return TRUE;
}

BOOL GetUpdateRect(HWND window, LPRECT rect, BOOL erase) {
  auto w = FindWindowRecord(window);
  if (!w) return FALSE;
  if (rect) *rect = w->dirty ? w->update : RECT{};
  return w->dirty;
}

BOOL UpdateWindow(HWND window) {
  auto w = FindWindowRecord(window);
  if (!w) return FALSE;
  if (w->dirty && IsWindowVisible(window)) {
    const MSG paint{window, WM_PAINT, 0, 0, state().clock, state().cursorPos};
    DispatchMessageW(&paint);
  }
  return TRUE;
}

BOOL RedrawWindow(HWND window, const RECT* update, HRGN region, UINT flags) {
  if (!window) window = GetDesktopWindow();
  if (!IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  std::vector<HWND> targets = {window};
  if (flags & RDW_ALLCHILDREN) {
    EnumChildWindows(
        window,
        [](HWND child, LPARAM list) {
          reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&targets));
  }
  for (HWND target : targets) {
    if (!FindWindowRecord(target, false)) continue;
    if (flags & RDW_INVALIDATE) InvalidateRect(target, target == window ? update : nullptr, (flags & RDW_ERASE) != 0);
    if (flags & RDW_VALIDATE) ValidateRect(target, nullptr);
    if (flags & (RDW_UPDATENOW | RDW_ERASENOW)) UpdateWindow(target);
  }
  return TRUE;
}

HDC BeginPaint(HWND window, LPPAINTSTRUCT paint) {
  auto w = FindWindowRecord(window);
  if (!w || !paint) return nullptr;
  *paint = PAINTSTRUCT{};
  const RECT client{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
  if (w->redirect) {
    // WM_PRINTCLIENT: the whole client area into the given DC; the window stays as dirty as it was.
    w->redirectedPaint = true;
    paint->hdc = w->redirect;
    paint->rcPaint = client;
    return paint->hdc;
  }
  w->redirectedPaint = false;
  UiBeginWindowLog(window);
  paint->hdc = GetDC(window);
  paint->rcPaint = w->dirty ? w->update : RECT{};
  const bool erase = w->erase;
  w->dirty = w->erase = false;
  w->update = RECT{};
  paint->fErase = TRUE;
  if (erase && paint->hdc) paint->fErase = SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(paint->hdc), 0) ? FALSE : TRUE;
  return paint->hdc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) {
  auto w = FindWindowRecord(window, false);
  if (!paint) return FALSE;
  const bool redirected = w && w->redirectedPaint;
  if (w) w->redirectedPaint = false;
  if (!redirected && paint->hdc) ReleaseDC(window, paint->hdc);
  return TRUE;
}

// ---- Mouse and keyboard ---------------------------------------------------------------------------

BOOL GetCursorPos(POINT* point) {
  if (!point) return FALSE;
  State& s = state();
  std::lock_guard guard(s.lock);
  *point = s.cursorPos;
  return TRUE;
}

BOOL SetCursorPos(int x, int y) {
  State& s = state();
  std::lock_guard guard(s.lock);
  s.cursorPos = POINT{x, y};
  return TRUE;
}

HWND SetCapture(HWND window) {
  if (!FindWindowRecord(window)) return nullptr;
  State& s = state();
  HWND old;
  {
    std::lock_guard guard(s.lock);
    old = s.capture;
    s.capture = window;
  }
  if (old && old != window) SendMessageW(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(window));
  return old;
}

HWND GetCapture() {
  State& s = state();
  std::lock_guard guard(s.lock);
  return s.capture;
}

BOOL ReleaseCapture() {
  State& s = state();
  HWND old;
  {
    std::lock_guard guard(s.lock);
    old = s.capture;
    s.capture = nullptr;
  }
  if (old) SendMessageW(old, WM_CAPTURECHANGED, 0, 0);
  return TRUE;
}

SHORT GetKeyState(int virtualKey) {
  State& s = state();
  std::lock_guard guard(s.lock);
  return s.keysDown.count(virtualKey) ? static_cast<SHORT>(0x8000) : 0;
}

SHORT GetAsyncKeyState(int virtualKey) { return GetKeyState(virtualKey); }

// ---- Timers -------------------------------------------------------------------------------------

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  if (window && !FindWindowRecord(window)) return 0;
  State& s = state();
  std::lock_guard guard(s.lock);
  if (!window) id = s.nextTimerId++;
  for (Timer& timer : s.timers)
    if (timer.window == window && timer.id == id) {
      timer = Timer{window, id, std::max(elapse, 1u), proc, timer.thread};
      return window ? 1 : id;
    }
  s.timers.push_back(Timer{window, id, std::max(elapse, 1u), proc, CurrentThread()});
  return window ? 1 : id;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
  State& s = state();
  std::lock_guard guard(s.lock);
  const auto before = s.timers.size();
  s.timers.erase(std::remove_if(s.timers.begin(), s.timers.end(),
                                [&](const Timer& t) { return t.window == window && t.id == id; }),
                 s.timers.end());
  return s.timers.size() != before;
}

// ---- Cursors ------------------------------------------------------------------------------------

HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name) {
  if (!IS_INTRESOURCE(name)) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  const WORD id = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
  CursorResource shape{0, 0, 32, 32};
  if (instance) {
    const HRSRC found = FindResourceW(instance, name, RT_GROUP_CURSOR);
    if (!found) return nullptr;
    const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(instance, found)));
    const auto decoded = DecodeCursorResource(data, SizeofResource(instance, found));
    if (!decoded) {
      SetLastError(ERROR_INVALID_DATA);
      return nullptr;
    }
    shape = *decoded;
  } else if (id < 32512 || id > 32651) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  State& s = state();
  std::lock_guard guard(s.lock);
  for (size_t i = 0; i < s.cursors.size(); ++i)
    if (s.cursors[i].module == instance && s.cursors[i].id == id) return CursorHandle(i);
  s.cursors.push_back(CursorInfo{instance, id, shape});
  return CursorHandle(s.cursors.size() - 1);
}

HCURSOR SetCursor(HCURSOR cursor) {
  State& s = state();
  std::lock_guard guard(s.lock);
  const HCURSOR old = s.cursor;
  s.cursor = cursor;
  return old;
}

HCURSOR GetCursor() {
  State& s = state();
  std::lock_guard guard(s.lock);
  return s.cursor;
}

// ---- The stand-in's own interface ---------------------------------------------------------------

void UiSetKeyState(int virtualKey, bool down) {
  State& s = state();
  std::lock_guard guard(s.lock);
  if (down) s.keysDown.insert(virtualKey);
  else s.keysDown.erase(virtualKey);
}

LRESULT UiSendMouse(HWND window, UINT message, POINT point, WPARAM keys) {
  if (!FindWindowRecord(window)) return 0;
  POINT screen = point;
  ClientToScreen(window, &screen);
  SetCursorPos(screen.x, screen.y);
  const LPARAM screenPoint = MAKELPARAM(static_cast<WORD>(screen.x), static_cast<WORD>(screen.y));
  HWND target = GetCapture();
  if (!target) {
    const LRESULT hit = SendMessageW(window, WM_NCHITTEST, 0, screenPoint);
    SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window),
                 MAKELPARAM(static_cast<WORD>(hit), static_cast<WORD>(message)));
    target = window;
  }
  POINT local = screen;
  ScreenToClient(target, &local);
  return SendMessageW(target, message, keys, MAKELPARAM(static_cast<WORD>(local.x), static_cast<WORD>(local.y)));
}

void UiAdvanceTimers(UINT milliseconds) {
  State& s = state();
  std::lock_guard guard(s.lock);
  s.clock += milliseconds;
  for (Timer& timer : s.timers) {
    timer.waited += milliseconds;
    if (timer.waited >= timer.elapse) {
      timer.due = true;  // a late timer fires once, as WM_TIMER does not pile up
      timer.waited %= timer.elapse;
    }
  }
}

BOOL UiFireTimer(HWND window, UINT_PTR id) {
  State& s = state();
  std::lock_guard guard(s.lock);
  for (Timer& timer : s.timers)
    if (timer.window == window && timer.id == id) {
      timer.due = true;
      timer.waited = 0;
      return TRUE;
    }
  return FALSE;
}

bool UiHasTimer(HWND window, UINT_PTR id) {
  State& s = state();
  std::lock_guard guard(s.lock);
  return std::any_of(s.timers.begin(), s.timers.end(), [&](const Timer& t) { return t.window == window && t.id == id; });
}
