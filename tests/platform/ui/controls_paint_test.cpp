// Painting: each control asks its parent for colours (WM_CTLCOLOR*) before it draws and fills
// with the brush the parent answers; pictures show the control's state; WM_PAINT and
// WM_PRINTCLIENT draw the same.
#include <gmock/gmock.h>

#include "controls_fixture.h"

namespace velm::test {
namespace {

class ControlPaintTest : public ControlsTest {
 protected:
  // The WM_CTLCOLOR* message `control` sends when it paints.
  std::vector<UINT> ColourRequests(HWND control) {
    RecordedEvents().clear();
    InvalidateRect(control, nullptr, TRUE);
    UpdateWindow(control);
    std::vector<UINT> messages;
    for (const ControlEvent& event : RecordedEvents()) {
      if (event.message >= WM_CTLCOLORMSGBOX && event.message <= WM_CTLCOLORSTATIC) {
        EXPECT_EQ(event.from, control);
        messages.push_back(event.message);
      }
    }
    return messages;
  }
};

TEST_F(ControlPaintTest, EachControlAsksForTheColoursWindowsControlsAskFor) {
  using V = std::vector<UINT>;
  EXPECT_EQ(ColourRequests(Control(WC_BUTTONW, BS_PUSHBUTTON, 1, 10, 10, 80, 24, u"OK")), V{WM_CTLCOLORBTN});
  EXPECT_EQ(ColourRequests(Control(WC_BUTTONW, BS_AUTOCHECKBOX, 2, 10, 40, 80, 20, u"Box")), V{WM_CTLCOLORSTATIC});
  EXPECT_EQ(ColourRequests(Control(WC_BUTTONW, BS_GROUPBOX, 3, 10, 70, 80, 40, u"Group")), V{WM_CTLCOLORSTATIC});
  EXPECT_EQ(ColourRequests(Control(WC_STATICW, SS_LEFT, 4, 10, 120, 80, 20, u"Label")), V{WM_CTLCOLORSTATIC});
  EXPECT_EQ(ColourRequests(Control(WC_EDITW, WS_BORDER, 5, 100, 10, 80, 22)), V{WM_CTLCOLOREDIT});
  EXPECT_EQ(ColourRequests(Control(WC_EDITW, ES_READONLY, 6, 100, 40, 80, 22)), V{WM_CTLCOLORSTATIC});
  EXPECT_EQ(ColourRequests(Control(WC_LISTBOXW, 0, 7, 200, 10, 80, 60)), V{WM_CTLCOLORLISTBOX});
  EXPECT_EQ(ColourRequests(Control(WC_SCROLLBARW, SBS_VERT, 8, 300, 10, 16, 80)), V{WM_CTLCOLORSCROLLBAR});
  EXPECT_EQ(ColourRequests(Control(WC_COMBOBOXW, CBS_DROPDOWNLIST, 9, 200, 100, 80, 80)), V{WM_CTLCOLOREDIT});
  EXPECT_EQ(ColourRequests(Control(TRACKBAR_CLASSW, 0, 10, 200, 150, 100, 30)), V{WM_CTLCOLORSTATIC});
}

TEST_F(ControlPaintTest, TheParentsBrushFillsTheControl) {
  HBRUSH brush = CreateSolidBrush(RGB(10, 200, 30));
  Answers().colorBrush = brush;
  HWND label = Control(WC_STATICW, SS_LEFT, 20, 20, 20, 100, 20, u"");
  HWND edit = Control(WC_EDITW, 0, 21, 20, 60, 100, 22);
  UiImage image;
  ASSERT_TRUE(UiRenderWindow(parent_, &image));
  EXPECT_EQ(image.Pixel(20 + 50, 20 + 10), RGB(10, 200, 30));
  EXPECT_EQ(image.Pixel(20 + 50, 60 + 10), RGB(10, 200, 30));
  EXPECT_NE(image.Pixel(20 + 50, 45), RGB(10, 200, 30));  // between them: the parent's own background
  // Without an answer the system colours are used.
  Answers().colorBrush = nullptr;
  ASSERT_TRUE(UiRenderWindow(parent_, &image));
  EXPECT_EQ(image.Pixel(20 + 50, 20 + 10), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(image.Pixel(20 + 50, 60 + 10), GetSysColor(COLOR_WINDOW));
  DestroyWindow(label);
  DestroyWindow(edit);
  EXPECT_TRUE(DeleteObject(brush));
}

TEST_F(ControlPaintTest, PicturesShowChecksSelectionsAndText) {
  HWND box = Control(WC_BUTTONW, BS_AUTOCHECKBOX, 30, 0, 0, 100, 20, u"Duplex");
  HWND list = Control(WC_LISTBOXW, 0, 31, 0, 40, 100, 48);
  SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"one"));
  SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"two"));
  UiImage before;
  ASSERT_TRUE(UiRenderWindow(parent_, &before));
  // The tick's first column: the box is 13 pixels high, centred, its inside 2 pixels in.
  const int tickX = 3;
  const int tickY = (20 - 13) / 2 + 2 + 1 + 2 + 1;
  EXPECT_EQ(before.Pixel(tickX, tickY), GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(before.Pixel(50, 40 + 16 + 8), GetSysColor(COLOR_WINDOW));
  SendMessageW(box, BM_SETCHECK, BST_CHECKED, 0);
  SendMessageW(list, LB_SETCURSEL, 1, 0);
  UiImage after;
  ASSERT_TRUE(UiRenderWindow(parent_, &after));
  EXPECT_EQ(after.Pixel(tickX, tickY), GetSysColor(COLOR_WINDOWTEXT));
  EXPECT_EQ(after.Pixel(95, 40 + 16 + 1), GetSysColor(COLOR_HIGHLIGHT));

  // WM_PAINT draws what WM_PRINTCLIENT draws, the caption included.
  InvalidateRect(box, nullptr, TRUE);
  UpdateWindow(box);
  const UiDrawLog& log = UiWindowDrawLog(box);
  bool caption = false;
  for (const UiDrawRecord& record : log) caption = caption || (record.kind == UiDrawKind::kText && record.text == u"Duplex");
  EXPECT_TRUE(caption);
}

TEST_F(ControlPaintTest, OwnerDrawnButtonAndStaticDrawEntirelyWithTheirState) {
  HWND button = Control(WC_BUTTONW, BS_OWNERDRAW, 40, 10, 10, 80, 24, u"Pic");
  HWND picture = Control(WC_STATICW, SS_OWNERDRAW, 41, 10, 50, 80, 24);
  SetFocus(button);
  SendMessageW(button, BM_SETSTATE, TRUE, 0);
  EnableWindow(picture, FALSE);
  RecordedEvents().clear();
  UiImage image;
  ASSERT_TRUE(UiRenderWindow(parent_, &image));
  std::vector<ControlEvent> draws = Events({WM_DRAWITEM});
  ASSERT_EQ(draws.size(), 2u);
  // Siblings are drawn from the bottom of the z-order up: the later control first.
  if (draws[0].id != 40) std::swap(draws[0], draws[1]);
  EXPECT_EQ(draws[0].draw.CtlType, ODT_BUTTON);
  EXPECT_EQ(draws[0].draw.CtlID, 40u);
  EXPECT_EQ(draws[0].draw.itemAction, ODA_DRAWENTIRE);
  EXPECT_EQ(draws[0].draw.itemState, ODS_SELECTED | ODS_FOCUS);
  EXPECT_EQ(draws[0].draw.rcItem.right, 80);
  EXPECT_NE(draws[0].draw.hDC, nullptr);
  EXPECT_EQ(draws[1].draw.CtlType, ODT_STATIC);
  EXPECT_EQ(draws[1].draw.itemState, ODS_DISABLED);
  EXPECT_EQ(draws[1].draw.hwndItem, picture);
}

TEST_F(ControlPaintTest, FontsAreKeptAndSelectedForDrawing) {
  LOGFONTW face{};
  face.lfHeight = -11;
  HFONT font = CreateFontIndirectW(&face);
  HWND label = Control(WC_STATICW, 0, 50, 10, 10, 80, 20, u"Text");
  SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  EXPECT_EQ(SendMessageW(label, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(font));
  UiImage image;
  ASSERT_TRUE(UiRenderWindow(parent_, &image));
  // Selected only while painting: afterwards the font can be deleted.
  DestroyWindow(label);
  EXPECT_TRUE(DeleteObject(font));
  EXPECT_EQ(UiLiveGdiObjects(OBJ_FONT), 0u);
}

}  // namespace
}  // namespace velm::test

namespace velm::test {
namespace {

TEST_F(ControlPaintTest, BitmapStaticDrawsItsImageAndLeavesItSelectedNowhere) {
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 8, 6);
  HDC memory = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(memory, bitmap);
  RECT all{0, 0, 8, 6};
  HBRUSH red = CreateSolidBrush(RGB(200, 0, 0));
  FillRect(memory, &all, red);
  SelectObject(memory, old);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  HWND picture = Control(WC_STATICW, SS_BITMAP | SS_CENTERIMAGE, 60, 10, 10, 40, 30);
  EXPECT_EQ(SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)), 0);
  EXPECT_EQ(SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0), reinterpret_cast<LRESULT>(bitmap));
  UiImage image;
  ASSERT_TRUE(UiRenderWindow(parent_, &image));
  EXPECT_EQ(image.Pixel(10 + 20, 10 + 15), RGB(200, 0, 0));
  EXPECT_EQ(image.Pixel(10 + 2, 10 + 2), GetSysColor(COLOR_BTNFACE));
  // The control does not own the image: it can be deleted once taken back.
  SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP, 0);
  EXPECT_TRUE(DeleteObject(bitmap));
  EXPECT_TRUE(DeleteObject(red));
}

}  // namespace
}  // namespace velm::test
