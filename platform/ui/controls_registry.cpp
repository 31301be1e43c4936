// Registers the standard control classes with the window manager.
#include "ui/controls_internal.h"

namespace {

struct StandardClass {
  LPCWSTR name;
  WNDPROC procedure;
  UINT style;
  int background;  // COLOR_* + 1 as the class brush, 0 for none
};

// Every control erases its own background in its paint; the class brush only serves windows that
// ask DefWindowProcW to erase them.
constexpr StandardClass kStandardClasses[] = {
    {WC_BUTTONW, &velm::ui::ButtonProc, CS_DBLCLKS | CS_PARENTDC | CS_HREDRAW | CS_VREDRAW, COLOR_BTNFACE + 1},
    {WC_EDITW, &velm::ui::EditProc, CS_DBLCLKS | CS_PARENTDC, COLOR_WINDOW + 1},
    {WC_STATICW, &velm::ui::StaticProc, CS_DBLCLKS | CS_PARENTDC, COLOR_BTNFACE + 1},
    {WC_LISTBOXW, &velm::ui::ListBoxProc, CS_DBLCLKS | CS_PARENTDC, COLOR_WINDOW + 1},
    {WC_COMBOBOXW, &velm::ui::ComboBoxProc, CS_DBLCLKS | CS_PARENTDC | CS_HREDRAW | CS_VREDRAW, COLOR_WINDOW + 1},
    {WC_SCROLLBARW, &velm::ui::ScrollBarProc, CS_DBLCLKS | CS_PARENTDC | CS_HREDRAW | CS_VREDRAW, COLOR_BTNFACE + 1},
    {WC_LISTVIEWW, &velm::ui::ListViewProc, CS_DBLCLKS, COLOR_WINDOW + 1},
    {WC_TABCONTROLW, &velm::ui::TabControlProc, CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, COLOR_BTNFACE + 1},
    {WC_TREEVIEWW, &velm::ui::TreeViewProc, CS_DBLCLKS, COLOR_WINDOW + 1},
    {TRACKBAR_CLASSW, &velm::ui::TrackbarProc, CS_DBLCLKS, COLOR_BTNFACE + 1},
};

}  // namespace

void UiRegisterStandardControls() {
  for (const StandardClass& entry : kStandardClasses) {
    WNDCLASSW windowClass{};
    windowClass.style = entry.style | CS_GLOBALCLASS;
    windowClass.lpfnWndProc = entry.procedure;
    windowClass.hCursor = LoadCursorW(nullptr, entry.procedure == &velm::ui::EditProc ? IDC_IBEAM : IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(entry.background));
    windowClass.lpszClassName = entry.name;
    // A second registration (after UiResetAll) finds the class already there; that is fine.
    RegisterClassW(&windowClass);
  }
}
