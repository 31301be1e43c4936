// A parent window that records what the standard controls tell it (WM_COMMAND, WM_NOTIFY,
// scroll messages, owner-draw and colour requests), and helpers that make controls in it.
#pragma once

#include <string>
#include <vector>

#include "ui/controls.h"
#include "ui_fixture.h"

namespace velm::test {

struct ControlEvent {
  UINT message = 0;
  HWND from = nullptr;  // the control (lParam, hwndFrom, hwndItem)
  WORD id = 0;
  UINT code = 0;        // WM_COMMAND's notification, WM_NOTIFY's code, or the scroll code
  WORD position = 0;    // HIWORD of a scroll message
  NMLISTVIEW listView{};
  NMTREEVIEWW treeView{};
  DRAWITEMSTRUCT draw{};
  MEASUREITEMSTRUCT measure{};
  DELETEITEMSTRUCT deleted{};
};

class ControlsTest : public UiTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  HWND Control(const char16_t* className, DWORD style, int id, int x = 10, int y = 10, int width = 120,
               int height = 80, const char16_t* text = u"", DWORD exStyle = 0);
  // The recorded events of these messages; all when the list is empty.
  std::vector<ControlEvent> Events(std::initializer_list<UINT> messages = {}) const;
  // WM_COMMAND notification codes, in order.
  std::vector<UINT> Commands() const;
  std::vector<UINT> Notifies() const;
  static std::u16string Text(HWND window);
  // A left click (down and up) at client point (x, y) of `window`.
  static void Click(HWND window, int x, int y, WPARAM keys = 0);
  static void Key(HWND window, int virtualKey);
  static void Type(HWND window, const std::u16string& characters);

  HWND parent_ = nullptr;
};

// What the parent answers.
struct ParentAnswers {
  HBRUSH colorBrush = nullptr;    // WM_CTLCOLOR*; null = leave it to DefWindowProcW
  UINT measuredHeight = 0;        // WM_MEASUREITEM; 0 = leave the height
  LRESULT notifyAnswer = 0;       // WM_NOTIFY for the codes in refuseCodes
  std::vector<UINT> refuseCodes;
  bool destroyOnCommand = false;  // destroys the sender on its first WM_COMMAND
};
ParentAnswers& Answers();
std::vector<ControlEvent>& RecordedEvents();

}  // namespace velm::test
