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

void CtlPaintPreview(UiContext*, HWND, const PageItemTemplate* row, HDC, const RECT&) {
  Note("CtlPaintPreview", row ? row->controlId : 0);
}
