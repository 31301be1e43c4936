// The window model: creation and destruction order, stale handles, sent and posted messages,
// subclassing, focus, the default procedure, painting, timers, geometry and the mouse.
#include <gmock/gmock.h>

#include "ui_fixture.h"

namespace velm::test {
namespace {

using ::testing::ElementsAre;

class WindowModelTest : public UiTest {
 protected:
  HWND Top(const char* name, DWORD style = WS_POPUP | WS_VISIBLE) {
    HWND w = CreateWindowExW(0, u"TestWindow", u"top", style, 100, 50, 300, 200, nullptr, nullptr, nullptr, nullptr);
    UiNameWindow(w, name);
    return w;
  }
  HWND Child(HWND parent, const char* name, int id, const char16_t* cls = u"TestWindow") {
    HWND w = CreateWindowExW(0, cls, u"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 10, 20, 50, 30, parent,
                             reinterpret_cast<HMENU>(static_cast<LONG_PTR>(id)), nullptr, nullptr);
    UiNameWindow(w, name);
    return w;
  }
};

TEST_F(WindowModelTest, CreationAndDestructionFollowWindowsOrder) {
  HWND top = Top("top");
  HWND child = Child(top, "child", 7);
  HWND grandchild = Child(child, "grand", 8);
  EXPECT_THAT(UiLogOf({WM_NCCREATE, WM_CREATE}),
              ElementsAre("0:WM_NCCREATE", "0:WM_CREATE", "7:WM_NCCREATE", "7:WM_CREATE", "8:WM_NCCREATE",
                          "8:WM_CREATE"));  // named by id: the names come after creation
  UiLog().clear();
  ASSERT_TRUE(DestroyWindow(top));
  // WM_DESTROY parent first, WM_NCDESTROY children first.
  EXPECT_THAT(UiLogOf({WM_DESTROY, WM_NCDESTROY}),
              ElementsAre("top:WM_DESTROY", "child:WM_DESTROY", "grand:WM_DESTROY", "grand:WM_NCDESTROY",
                          "child:WM_NCDESTROY", "top:WM_NCDESTROY"));
  for (HWND dead : {top, child, grandchild}) EXPECT_FALSE(IsWindow(dead));
}

TEST_F(WindowModelTest, StaleHandlesAnswerNothingAndAreNeverReused) {
  HWND first = Top("first");
  HWND child = Child(first, "child", 5);
  ASSERT_TRUE(DestroyWindow(first));
  HWND second = Top("second");
  EXPECT_NE(second, first);
  EXPECT_NE(second, child);
  SetLastError(0);
  EXPECT_EQ(SendMessageW(first, WM_GETTEXTLENGTH, 0, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_FALSE(PostMessageW(child, WM_USER, 0, 0));
  EXPECT_FALSE(DestroyWindow(child));
  EXPECT_EQ(GetParent(child), nullptr);
  EXPECT_EQ(GetDlgItem(first, 5), nullptr);
  EXPECT_EQ(GetWindowLongPtrW(child, GWLP_USERDATA), 0);
  EXPECT_EQ(SetFocus(child), nullptr);
  EXPECT_FALSE(IsWindowVisible(child));
  RECT rect{1, 1, 1, 1};
  EXPECT_FALSE(GetWindowRect(child, &rect));
}

TEST_F(WindowModelTest, PostedMessagesWaitForThePumpInOrderAndDieWithTheirWindow) {
  HWND top = Top("top");
  HWND other = Top("other");
  UiLog().clear();
  ASSERT_TRUE(PostMessageW(top, WM_USER, 0, 0));
  ASSERT_TRUE(PostMessageW(other, WM_USER + 1, 0, 0));
  ASSERT_TRUE(PostMessageW(top, WM_USER + 2, 0, 0));
  SendMessageW(top, WM_USER + 1, 0, 0);
  EXPECT_THAT(UiLog(), ElementsAre("top:WM_USER+1"));  // sent at once, before the posted ones
  UiLog().clear();
  PostMessageW(other, WM_USER, 0, 0);
  DestroyWindow(other);
  UiLog().clear();
  UiPump();
  EXPECT_THAT(UiLogOf({WM_USER, WM_USER + 1, WM_USER + 2}), ElementsAre("top:WM_USER", "top:WM_USER+2"));
  EXPECT_EQ(UiPump(), 0);
}

// A procedure that posts to itself for ever would hang a pump without a limit.
LRESULT CALLBACK Repost(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER) PostMessageW(window, WM_USER, 0, 0);
  return DefWindowProcW(window, message, wParam, lParam);
}

TEST_F(WindowModelTest, APumpThatNeverEmptiesIsStoppedAndReported) {
  HWND top = Top("top");
  SetWindowLongPtrW(top, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Repost));
  PostMessageW(top, WM_USER, 0, 0);
  UiPump();
  ASSERT_EQ(UiUnexpectedEvents().size(), 1u);
}

WNDPROC g_previous = nullptr;
LRESULT CALLBACK Subclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  UiLog().push_back("subclass:" + UiMessageName(message));
  if (message == WM_CHAR && wParam == u'x') return 0;  // swallowed
  return CallWindowProcW(g_previous, window, message, wParam, lParam);
}

TEST_F(WindowModelTest, SubclassingChainsToThePreviousProcedureAndCanBeUndone) {
  HWND top = Top("top");
  HWND edit = Child(top, "edit", 3, u"TestEdit");
  g_previous = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Subclass)));
  WNDCLASSW info{};
  ASSERT_TRUE(GetClassInfoW(nullptr, u"testedit", &info));  // class names ignore case
  EXPECT_EQ(g_previous, info.lpfnWndProc);
  UiLog().clear();
  SendMessageW(edit, WM_CHAR, u'x', 0);
  SendMessageW(edit, WM_CHAR, u'y', 0);
  EXPECT_THAT(UiLog(), ElementsAre("subclass:WM_CHAR", "subclass:WM_CHAR", "edit:WM_CHAR"));
  EXPECT_EQ(SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(info.lpfnWndProc)),
            reinterpret_cast<LONG_PTR>(Subclass));
  UiLog().clear();
  SendMessageW(edit, WM_CHAR, u'x', 0);
  EXPECT_THAT(UiLog(), ElementsAre("edit:WM_CHAR"));
  // A null procedure would crash the next message: refused.
  EXPECT_EQ(SetWindowLongPtrW(edit, GWLP_WNDPROC, 0), 0);
  EXPECT_EQ(GetWindowLongPtrW(edit, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(info.lpfnWndProc));
}

TEST_F(WindowModelTest, FocusChangesKillTheOldBeforeSettingTheNew) {
  HWND top = Top("top");
  HWND a = Child(top, "a", 1, u"TestEdit");
  HWND b = Child(top, "b", 2, u"TestEdit");
  ASSERT_EQ(SetFocus(a), nullptr);
  UiLog().clear();
  EXPECT_EQ(SetFocus(b), a);
  EXPECT_THAT(UiLogOf({WM_KILLFOCUS, WM_SETFOCUS, WM_COMMAND}),
              ElementsAre("a:WM_KILLFOCUS", "top:WM_COMMAND", "b:WM_SETFOCUS", "top:WM_COMMAND"));
  EXPECT_EQ(GetFocus(), b);
  UiLog().clear();
  EXPECT_EQ(SetFocus(b), b);  // no change, no messages
  EXPECT_TRUE(UiLogOf({WM_KILLFOCUS, WM_SETFOCUS}).empty());
  // A disabled window cannot take the focus; disabling the focus takes it away.
  EnableWindow(a, FALSE);
  EXPECT_EQ(SetFocus(a), nullptr);
  EXPECT_EQ(GetFocus(), b);
  EnableWindow(b, FALSE);
  EXPECT_EQ(GetFocus(), nullptr);
}

TEST_F(WindowModelTest, DefaultProcedureKeepsTextsAndForwardsHelpAndContextMenusToTheParent) {
  HWND top = Top("top");
  HWND child = Child(top, "child", 4);
  ASSERT_TRUE(SetWindowTextW(child, u"Hello"));
  EXPECT_EQ(GetWindowTextLengthW(child), 5);
  WCHAR small[3] = {u'?', u'?', u'?'};
  EXPECT_EQ(GetWindowTextW(child, small, 3), 2);
  EXPECT_EQ(std::u16string(small), u"He");
  WCHAR none[1] = {u'?'};
  EXPECT_EQ(GetWindowTextW(child, none, 1), 0);
  EXPECT_EQ(none[0], 0);
  UiLog().clear();
  HELPINFO help{sizeof(HELPINFO), HELPINFO_WINDOW, 4, child, 0, {0, 0}};
  SendMessageW(child, WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
  UiSendMouse(child, WM_RBUTTONUP, POINT{5, 5}, 0);
  EXPECT_THAT(UiLogOf({WM_HELP, WM_CONTEXTMENU}),
              ElementsAre("child:WM_HELP", "top:WM_HELP", "child:WM_CONTEXTMENU", "top:WM_CONTEXTMENU"));
}

HDC g_paintDc = nullptr;
LRESULT CALLBACK PaintsInWmPaint(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint{};
    g_paintDc = BeginPaint(window, &paint);
    EndPaint(window, &paint);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

TEST_F(WindowModelTest, PrintClientRedirectsTheNextPaintAndLeavesTheWindowDirty) {
  HWND top = Top("top");
  SetWindowLongPtrW(top, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PaintsInWmPaint));
  HDC canvas = reinterpret_cast<HDC>(static_cast<uintptr_t>(0x5150));
  SendMessageW(top, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas), PRF_CLIENT);
  EXPECT_EQ(g_paintDc, canvas);
  RECT update{};
  EXPECT_TRUE(GetUpdateRect(top, &update, FALSE));  // the real paint is still owed
  UiPump();
  EXPECT_NE(g_paintDc, canvas);
  EXPECT_FALSE(GetUpdateRect(top, &update, FALSE));
}

TEST_F(WindowModelTest, PaintIsSentOnlyToDirtyVisibleWindowsAndOnce) {
  HWND top = Top("top");
  HWND hidden = CreateWindowExW(0, u"TestWindow", u"", WS_CHILD, 0, 0, 5, 5, top, nullptr, nullptr, nullptr);
  UiNameWindow(hidden, "hidden");
  UiPump();
  UiLog().clear();
  EXPECT_EQ(UiPump(), 0);
  InvalidateRect(top, nullptr, TRUE);
  InvalidateRect(hidden, nullptr, TRUE);
  UiPump();
  EXPECT_THAT(UiLogOf({WM_PAINT}), ElementsAre("top:WM_PAINT"));
}

TEST_F(WindowModelTest, TimersFireOnlyWhenTheClockPassesTheirPeriod) {
  HWND top = Top("top");
  UiPump();
  ASSERT_EQ(SetTimer(top, 42, 500, nullptr), 1u);
  UiLog().clear();
  UiAdvanceTimers(499);
  UiPump();
  EXPECT_TRUE(UiLogOf({WM_TIMER}).empty());
  UiAdvanceTimers(1200);  // late by more than two periods: still one WM_TIMER
  UiPump();
  EXPECT_THAT(UiLogOf({WM_TIMER}), ElementsAre("top:WM_TIMER"));
  ASSERT_TRUE(KillTimer(top, 42));
  EXPECT_FALSE(UiFireTimer(top, 42));
  SetTimer(top, 43, 10, nullptr);
  DestroyWindow(top);
  EXPECT_FALSE(UiHasTimer(top, 43));
}

TEST_F(WindowModelTest, GeometryMapsBetweenParentsAndTheScreen) {
  HWND top = Top("top");            // at (100, 50)
  HWND child = Child(top, "c", 1);  // at (10, 20) in it
  RECT rect{};
  ASSERT_TRUE(GetWindowRect(child, &rect));
  EXPECT_EQ(rect.left, 110);
  EXPECT_EQ(rect.top, 70);
  EXPECT_EQ(rect.right, 160);
  POINT point{0, 0};
  ClientToScreen(child, &point);
  EXPECT_EQ(point.x, 110);
  ScreenToClient(top, &point);
  EXPECT_EQ(point.x, 10);
  EXPECT_EQ(point.y, 20);
  POINT screen{115, 75};
  EXPECT_EQ(WindowFromPoint(screen), child);
  EnableWindow(child, FALSE);
  EXPECT_EQ(WindowFromPoint(screen), top);
  MoveWindow(top, 0, 0, 300, 200, TRUE);
  GetWindowRect(child, &rect);
  EXPECT_EQ(rect.left, 10);
  RECT a{0, 0, 10, 10}, b{5, 5, 20, 20}, out{};
  EXPECT_TRUE(IntersectRect(&out, &a, &b));
  EXPECT_EQ(out.left, 5);
  EXPECT_FALSE(PtInRect(&a, POINT{10, 5}));  // right and bottom edges are outside
}

TEST_F(WindowModelTest, CaptureRoutesTheMouseToTheCapturingWindow) {
  HWND top = Top("top");
  HWND a = Child(top, "a", 1);
  HWND b = Child(top, "b", 2);
  SetCapture(a);
  UiLog().clear();
  UiSendMouse(b, WM_MOUSEMOVE, POINT{1, 1}, MK_LBUTTON);
  EXPECT_THAT(UiLogOf({WM_MOUSEMOVE, WM_SETCURSOR}), ElementsAre("a:WM_MOUSEMOVE"));
  UiLog().clear();
  ReleaseCapture();
  UiSendMouse(b, WM_MOUSEMOVE, POINT{1, 1}, 0);
  EXPECT_THAT(UiLogOf({WM_MOUSEMOVE, WM_SETCURSOR, WM_CAPTURECHANGED}),
              ElementsAre("a:WM_CAPTURECHANGED", "b:WM_SETCURSOR", "top:WM_SETCURSOR", "b:WM_MOUSEMOVE"));
  UiSetKeyState(VK_CONTROL, true);
  EXPECT_LT(GetKeyState(VK_CONTROL), 0);
  EXPECT_EQ(GetKeyState(VK_SHIFT), 0);
}

TEST_F(WindowModelTest, ChildrenAreFoundByIdAndEnumeratedInZOrder) {
  HWND top = Top("top");
  HWND a = Child(top, "a", 1);
  HWND b = Child(top, "b", 2);
  HWND inner = Child(a, "inner", 2);
  EXPECT_EQ(GetDlgItem(top, 2), b);  // direct children only
  EXPECT_EQ(GetWindow(top, GW_CHILD), a);
  EXPECT_EQ(GetWindow(a, GW_HWNDNEXT), b);
  std::vector<HWND> all;
  EnumChildWindows(
      top, [](HWND w, LPARAM list) { return reinterpret_cast<std::vector<HWND>*>(list)->push_back(w), TRUE; },
      reinterpret_cast<LPARAM>(&all));
  EXPECT_THAT(all, ElementsAre(a, inner, b));
  EXPECT_EQ(CreateWindowExW(0, u"TestWindow", u"", WS_CHILD, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_TLW_WITH_WSCHILD);
  EXPECT_EQ(CreateWindowExW(0, u"NoClass", u"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);
}

TEST_F(WindowModelTest, ForeignWindowsAreFoundByClassAndTitle) {
  HWND foreign = UiAddForeignWindow(u"OtherAppClass", u"Other");
  ASSERT_NE(foreign, nullptr);
  EXPECT_EQ(FindWindowW(u"otherappclass", nullptr), foreign);
  EXPECT_EQ(FindWindowW(u"OtherAppClass", u"Else"), nullptr);
  EXPECT_EQ(FindWindowW(u"Missing", nullptr), nullptr);
  UiResetAll();
  EXPECT_EQ(FindWindowW(u"OtherAppClass", nullptr), nullptr);
}

}  // namespace
}  // namespace velm::test
