#include "ui2k/controls/control_seams.h"

#include <string>

#include "ui2k/entry/seams.h"

namespace {

// A record lost for want of memory changes nothing the driver does.
void Note(const char* name, WORD control) try {
  UiNoteSeamCall(std::string(name) + " " + std::to_string(control));
} catch (...) {
}

}  // namespace

void CtlDraw3DFrame(HDC, const RECT&, BOOL pressed) { Note("CtlDraw3DFrame", pressed ? 1 : 0); }

LRESULT CtlContextHelp(UiContext*, HWND, PageItemTemplate* row, UINT, WPARAM, LPARAM) {
  Note("CtlContextHelp", row ? row->controlId : 0);
  return 0;
}

void CtlStepLinkedItems(UiContext*, HWND, PageItemTemplate* row) { Note("CtlStepLinkedItems", row ? row->controlId : 0); }
