#include "controls_fixture.h"

#include <algorithm>

namespace velm::test {

ParentAnswers& Answers() {
  static ParentAnswers answers;
  return answers;
}

std::vector<ControlEvent>& RecordedEvents() {
  static std::vector<ControlEvent> events;
  return events;
}

namespace {

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  ControlEvent event;
  event.message = message;
  switch (message) {
    case WM_COMMAND:
      event.from = reinterpret_cast<HWND>(lParam);
      event.id = LOWORD(wParam);
      event.code = HIWORD(wParam);
      RecordedEvents().push_back(event);
      if (Answers().destroyOnCommand) {
        Answers().destroyOnCommand = false;
        DestroyWindow(event.from);
      }
      return 0;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      event.from = header->hwndFrom;
      event.id = static_cast<WORD>(header->idFrom);
      event.code = header->code;
      if (header->code == LVN_ITEMCHANGED || header->code == LVN_ITEMCHANGING || header->code == LVN_DELETEITEM ||
          header->code == LVN_INSERTITEM) {
        event.listView = *reinterpret_cast<const NMLISTVIEW*>(lParam);
      }
      if (header->code == TVN_SELCHANGEDW || header->code == TVN_SELCHANGINGW || header->code == TVN_DELETEITEMW) {
        event.treeView = *reinterpret_cast<const NMTREEVIEWW*>(lParam);
      }
      RecordedEvents().push_back(event);
      const auto& refuse = Answers().refuseCodes;
      return std::find(refuse.begin(), refuse.end(), header->code) != refuse.end() ? Answers().notifyAnswer : 0;
    }
    case WM_HSCROLL:
    case WM_VSCROLL:
      event.from = reinterpret_cast<HWND>(lParam);
      event.code = LOWORD(wParam);
      event.position = HIWORD(wParam);
      RecordedEvents().push_back(event);
      return 0;
    case WM_DRAWITEM:
      event.draw = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      event.from = event.draw.hwndItem;
      event.id = static_cast<WORD>(wParam);
      RecordedEvents().push_back(event);
      return TRUE;
    case WM_MEASUREITEM: {
      auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      event.measure = *measure;
      event.id = static_cast<WORD>(wParam);
      RecordedEvents().push_back(event);
      if (Answers().measuredHeight != 0) measure->itemHeight = Answers().measuredHeight;
      return TRUE;
    }
    case WM_DELETEITEM:
      event.deleted = *reinterpret_cast<const DELETEITEMSTRUCT*>(lParam);
      event.from = event.deleted.hwndItem;
      RecordedEvents().push_back(event);
      return TRUE;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      event.from = reinterpret_cast<HWND>(lParam);
      RecordedEvents().push_back(event);
      if (Answers().colorBrush != nullptr) return reinterpret_cast<LRESULT>(Answers().colorBrush);
      return DefWindowProcW(window, message, wParam, lParam);
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

void ControlsTest::SetUp() {
  UiTest::SetUp();
  Answers() = ParentAnswers{};
  RecordedEvents().clear();
  WNDCLASSW wc{};
  wc.lpfnWndProc = ParentProc;
  wc.lpszClassName = u"ControlsParent";
  RegisterClassW(&wc);
  parent_ = CreateWindowExW(0, u"ControlsParent", u"parent", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr, nullptr,
                            nullptr, nullptr);
  ASSERT_NE(parent_, nullptr);
}

void ControlsTest::TearDown() {
  RecordedEvents().clear();
  UiTest::TearDown();
}

HWND ControlsTest::Control(const char16_t* className, DWORD style, int id, int x, int y, int width, int height,
                           const char16_t* text, DWORD exStyle) {
  HWND control = CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height, parent_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
  EXPECT_NE(control, nullptr) << GetLastError();
  return control;
}

std::vector<ControlEvent> ControlsTest::Events(std::initializer_list<UINT> messages) const {
  std::vector<ControlEvent> out;
  for (const ControlEvent& event : RecordedEvents()) {
    if (messages.size() == 0 || std::find(messages.begin(), messages.end(), event.message) != messages.end()) {
      out.push_back(event);
    }
  }
  return out;
}

std::vector<UINT> ControlsTest::Commands() const {
  std::vector<UINT> codes;
  for (const ControlEvent& event : Events({WM_COMMAND})) codes.push_back(event.code);
  return codes;
}

std::vector<UINT> ControlsTest::Notifies() const {
  std::vector<UINT> codes;
  for (const ControlEvent& event : Events({WM_NOTIFY})) codes.push_back(event.code);
  return codes;
}

std::u16string ControlsTest::Text(HWND window) {
  WCHAR buffer[512] = {};
  int length = GetWindowTextW(window, buffer, 512);
  return std::u16string(buffer, static_cast<size_t>(std::max(length, 0)));
}

void ControlsTest::Click(HWND window, int x, int y, WPARAM keys) {
  LPARAM at = MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y));
  SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON | keys, at);
  SendMessageW(window, WM_LBUTTONUP, keys, at);
}

void ControlsTest::Key(HWND window, int virtualKey) {
  SendMessageW(window, WM_KEYDOWN, static_cast<WPARAM>(virtualKey), 0);
  SendMessageW(window, WM_KEYUP, static_cast<WPARAM>(virtualKey), 0);
}

void ControlsTest::Type(HWND window, const std::u16string& characters) {
  for (char16_t c : characters) SendMessageW(window, WM_CHAR, c, 1);
}

}  // namespace velm::test
