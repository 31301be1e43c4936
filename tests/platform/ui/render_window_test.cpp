// Pictures of windows: each visible window painted through WM_ERASEBKGND and WM_PRINTCLIENT
// into its place, clipped by its parent, in z-order, with a frame for captioned windows.
#include <gtest/gtest.h>

#include "ui/png_writer.h"
#include "ui_fixture.h"

namespace velm::test {
namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

// Paints its client area in the colour kept in GWLP_USERDATA, and a black dot at (1, 1), in
// WM_PAINT only (so pictures reach it through the paint redirect of WM_PRINTCLIENT).
LRESULT CALLBACK SolidProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ERASEBKGND) return 1;
  if (message != WM_PAINT) return DefWindowProcW(window, message, wParam, lParam);
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(window, &paint);
  HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(GetWindowLongPtrW(window, GWLP_USERDATA)));
  RECT client{};
  GetClientRect(window, &client);
  FillRect(dc, &client, brush);
  DeleteObject(brush);
  SetPixel(dc, 1, 1, RGB(0, 0, 0));
  EndPaint(window, &paint);
  return 0;
}

INT_PTR CALLBACK PlainDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

class RenderWindowTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    WNDCLASSW wc{};
    wc.lpfnWndProc = SolidProc;
    wc.lpszClassName = u"Solid";
    ASSERT_NE(RegisterClassW(&wc), 0);
  }
  HWND Solid(HWND parent, DWORD style, int x, int y, int w, int h, COLORREF color) {
    const HWND window = CreateWindowExW(0, u"Solid", u"Settings", style, x, y, w, h, parent, nullptr, nullptr, nullptr);
    EXPECT_NE(window, nullptr);
    SetWindowLongPtrW(window, GWLP_USERDATA, static_cast<LONG_PTR>(color));
    return window;
  }
};

TEST_F(RenderWindowTest, ChildrenArePaintedInTheirPlaceClippedByTheirParent) {
  const HWND top = Solid(nullptr, WS_POPUP, 100, 50, 60, 40, kRed);
  const HWND child = Solid(top, WS_CHILD | WS_VISIBLE, 10, 5, 20, 10, kGreen);
  Solid(top, WS_CHILD, 40, 5, 10, 10, kBlue);                        // hidden: not painted
  const HWND overhang = Solid(top, WS_CHILD | WS_VISIBLE, 50, 30, 30, 30, kBlue);  // partly outside
  Solid(child, WS_CHILD | WS_VISIBLE, 15, 0, 20, 20, kBlue);         // mostly outside its parent
  (void)overhang;

  UiImage image;
  ASSERT_TRUE(UiRenderWindow(top, &image));
  EXPECT_EQ(image.width, 60);
  EXPECT_EQ(image.height, 40);
  EXPECT_EQ(image.Pixel(0, 0), kRed);
  EXPECT_EQ(image.Pixel(1, 1), RGB(0, 0, 0));  // the top window's own dot
  EXPECT_EQ(image.Pixel(12, 8), kGreen);
  EXPECT_EQ(image.Pixel(11, 6), RGB(0, 0, 0));  // the child's dot: its viewport origin is its client area
  EXPECT_EQ(image.Pixel(27, 8), kBlue);         // the grandchild inside the child
  EXPECT_EQ(image.Pixel(31, 6), kRed);          // ... but not past the child's edge
  EXPECT_EQ(image.Pixel(45, 8), kRed);          // the hidden child
  EXPECT_EQ(image.Pixel(59, 39), kBlue);        // the overhanging child up to the edge
  EXPECT_EQ(image.Pixel(60, 0), CLR_INVALID);
}

TEST_F(RenderWindowTest, TheTopmostSiblingIsPaintedLast) {
  const HWND top = Solid(nullptr, WS_POPUP, 0, 0, 30, 30, kRed);
  Solid(top, WS_CHILD | WS_VISIBLE, 0, 0, 20, 20, kGreen);  // created first: top of the z-order
  Solid(top, WS_CHILD | WS_VISIBLE, 10, 10, 20, 20, kBlue);
  UiImage image;
  ASSERT_TRUE(UiRenderWindow(top, &image));
  EXPECT_EQ(image.Pixel(15, 15), kGreen);
  EXPECT_EQ(image.Pixel(25, 25), kBlue);
}

TEST_F(RenderWindowTest, ACaptionedWindowGetsItsFrameAndCaptionBar) {
  const HWND top = Solid(nullptr, WS_POPUP | WS_CAPTION, 0, 0, 100, 50, kRed);
  UiImage image;
  ASSERT_TRUE(UiRenderWindow(top, &image));
  EXPECT_EQ(image.width, 100 + 2 * 3);
  EXPECT_EQ(image.height, 50 + 2 * 3 + 18);
  EXPECT_EQ(image.Pixel(3, 5), GetSysColor(COLOR_ACTIVECAPTION));
  EXPECT_EQ(image.Pixel(0, 0), GetSysColor(COLOR_3DLIGHT));
  EXPECT_EQ(image.Pixel(3, 21), kRed);  // the window itself starts below the bar
  EXPECT_EQ(image.Pixel(102, 70), kRed);
  // The caption's text is drawn in the caption text colour somewhere in the bar.
  bool text = false;
  for (int x = 7; x < 60 && !text; ++x)
    for (int y = 3; y < 20; ++y) text = text || image.Pixel(x, y) == GetSysColor(COLOR_CAPTIONTEXT);
  EXPECT_TRUE(text);
}

TEST_F(RenderWindowTest, PicturesLeaveNoObjectsOrDcsBehindAndRefuseDeadWindows) {
  const HWND top = Solid(nullptr, WS_POPUP | WS_CAPTION, 0, 0, 40, 30, kRed);
  Solid(top, WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, kGreen);
  const size_t objects = UiLiveGdiObjects(0);
  const size_t dcs = UiLiveGdiObjects(OBJ_DC) + UiLiveGdiObjects(OBJ_MEMDC);
  UiImage image;
  ASSERT_TRUE(UiRenderWindow(top, &image));
  EXPECT_EQ(UiLiveGdiObjects(0), objects);
  EXPECT_EQ(UiLiveGdiObjects(OBJ_DC) + UiLiveGdiObjects(OBJ_MEMDC), dcs);

  DestroyWindow(top);
  EXPECT_FALSE(UiRenderWindow(top, &image));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_FALSE(UiSaveWindowPng(top, root_.path() / "gone.png"));
  EXPECT_FALSE(std::filesystem::exists(root_.path() / "gone.png"));
}

// Dialog 110 of render_resources.txt: standard controls in a captioned dialog.
TEST_F(RenderWindowTest, ADialogOfStandardControlsIsSavedAsThePngOfItsPicture) {
  const HWND dialog = CreateDialogParamW(Resources(), MAKEINTRESOURCEW(110), nullptr, PlainDialog, 0);
  ASSERT_NE(dialog, nullptr) << GetLastError();
  const std::filesystem::path file = root_.path() / "dialog.png";
  ASSERT_TRUE(UiSaveWindowPng(dialog, file));
  const std::string png = ReadHostFile(file);
  ASSERT_GT(png.size(), 33u);
  EXPECT_EQ(png.substr(1, 3), "PNG");
  auto be32 = [&](size_t at) {
    return (DWORD(BYTE(png[at])) << 24) | (DWORD(BYTE(png[at + 1])) << 16) | (DWORD(BYTE(png[at + 2])) << 8) |
           DWORD(BYTE(png[at + 3]));
  };
  EXPECT_EQ(be32(16), 240u + 6);  // the dialog and its frame
  EXPECT_EQ(be32(20), 150u + 24);

  UiImage image;
  ASSERT_TRUE(UiRenderWindow(dialog, &image));
  const std::vector<BYTE> again = ui::EncodePng(image.width, image.height, image.rgb);
  EXPECT_EQ(png, std::string(again.begin(), again.end()));  // the file holds exactly the picture
  EXPECT_EQ(image.Pixel(3, 5), GetSysColor(COLOR_ACTIVECAPTION));

  // Where a control is in the picture: its screen rectangle less the dialog's, below the caption.
  RECT dialogRect{};
  GetWindowRect(dialog, &dialogRect);
  auto place = [&](int id) {
    RECT rect{};
    GetWindowRect(GetDlgItem(dialog, id), &rect);
    return RECT{rect.left - dialogRect.left + 3, rect.top - dialogRect.top + 21, rect.right - dialogRect.left + 3,
                rect.bottom - dialogRect.top + 21};
  };
  const RECT edit = place(1103);
  EXPECT_EQ(image.Pixel(edit.left, edit.top), GetSysColor(COLOR_3DSHADOW));  // the sunken client edge
  EXPECT_EQ(image.Pixel(edit.right - 10, edit.top + 10), GetSysColor(COLOR_WINDOW));
  int textPixels = 0;
  for (LONG x = edit.left + 2; x < edit.left + 30; ++x)
    for (LONG y = edit.top + 2; y < edit.bottom - 2; ++y) textPixels += image.Pixel(x, y) == GetSysColor(COLOR_WINDOWTEXT);
  EXPECT_GT(textPixels, 10);  // "300"

  const RECT ok = place(IDOK);
  EXPECT_EQ(image.Pixel(ok.left, ok.top), GetSysColor(COLOR_WINDOWFRAME));  // the default button's dark frame
  EXPECT_EQ(image.Pixel(ok.left + 5, ok.bottom - 5), GetSysColor(COLOR_BTNFACE));
  DestroyWindow(dialog);
}

}  // namespace
}  // namespace velm::test
