// The drawing calls: the record each one leaves, and the pixels it puts on a canvas (a memory
// DC with a bitmap), with clipping, the viewport origin, raster operations and bitmaps.
#include <gtest/gtest.h>

#include "ui_fixture.h"

namespace velm::test {
namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

// A white 40 x 30 memory canvas.
class GdiDrawingTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateCompatibleBitmap(dc_, 40, 30);
    old_ = SelectObject(dc_, bitmap_);
    red_ = CreateSolidBrush(kRed);
  }
  void TearDown() override {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
    DeleteObject(bitmap_);
    DeleteObject(red_);
    UiTest::TearDown();
  }
  const UiDrawRecord& Last() { return UiDcDrawLog(dc_)->back(); }

  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  HBRUSH red_ = nullptr;
};

TEST_F(GdiDrawingTest, EachCallLeavesOneTypedRecordWithItsGeometryAndColours) {
  RECT rect{1, 2, 11, 12};
  FillRect(dc_, &rect, red_);
  EXPECT_EQ(Last().kind, UiDrawKind::kFillRect);
  EXPECT_EQ(Last().rect.right, 11);
  EXPECT_EQ(Last().color, kRed);

  FrameRect(dc_, &rect, GetSysColorBrush(COLOR_BTNSHADOW));
  EXPECT_EQ(Last().kind, UiDrawKind::kFrameRect);
  EXPECT_EQ(Last().color, GetSysColor(COLOR_BTNSHADOW));

  DrawFocusRect(dc_, &rect);
  EXPECT_EQ(Last().kind, UiDrawKind::kFocusRect);

  HPEN pen = CreatePen(PS_SOLID, 1, kBlue);
  const HGDIOBJ oldPen = SelectObject(dc_, pen);
  SelectObject(dc_, GetStockObject(NULL_BRUSH));
  Rectangle(dc_, 0, 0, 5, 5);
  EXPECT_EQ(Last().kind, UiDrawKind::kRectangle);
  EXPECT_EQ(Last().color, kBlue);
  EXPECT_EQ(Last().background, CLR_INVALID);

  MoveToEx(dc_, 3, 4, nullptr);
  LineTo(dc_, 9, 4);
  ASSERT_EQ(Last().kind, UiDrawKind::kLine);
  ASSERT_EQ(Last().points.size(), 2u);
  EXPECT_EQ(Last().points[0].x, 3);
  EXPECT_EQ(Last().points[1].x, 9);
  EXPECT_EQ(Last().color, kBlue);
  SelectObject(dc_, oldPen);
  DeleteObject(pen);

  RECT edge{0, 0, 20, 20};
  DrawEdge(dc_, &edge, EDGE_SUNKEN, BF_RECT);
  EXPECT_EQ(Last().kind, UiDrawKind::kEdge);
  EXPECT_EQ(Last().style, EDGE_SUNKEN);
  EXPECT_EQ(Last().flags, BF_RECT);

  SetTextColor(dc_, kBlue);
  SetBkMode(dc_, TRANSPARENT);
  TextOutW(dc_, 2, 3, u"Tray", 4);
  EXPECT_EQ(Last().kind, UiDrawKind::kText);
  EXPECT_EQ(Last().text, u"Tray");
  EXPECT_EQ(Last().color, kBlue);
  EXPECT_EQ(Last().bkMode, TRANSPARENT);
  EXPECT_EQ(Last().rect.right, 2 + 4 * 8);
  EXPECT_EQ(Last().rect.bottom, 3 + 16);

  EXPECT_EQ(UiDcDrawLog(dc_)->size(), 7u);
  EXPECT_EQ(UiDcDrawLog(nullptr), nullptr);
}

TEST_F(GdiDrawingTest, FillsAndLinesLeaveTheRightAndBottomEdgesAndTheEndPointOut) {
  RECT rect{2, 2, 6, 5};
  FillRect(dc_, &rect, red_);
  EXPECT_EQ(GetPixel(dc_, 2, 2), kRed);
  EXPECT_EQ(GetPixel(dc_, 5, 4), kRed);
  EXPECT_EQ(GetPixel(dc_, 6, 4), kWhite);
  EXPECT_EQ(GetPixel(dc_, 5, 5), kWhite);

  // A system colour passed as (HBRUSH)(index + 1) fills with that colour.
  RECT face{10, 10, 12, 12};
  FillRect(dc_, &face, reinterpret_cast<HBRUSH>(static_cast<ULONG_PTR>(COLOR_HIGHLIGHT + 1)));
  EXPECT_EQ(GetPixel(dc_, 10, 10), GetSysColor(COLOR_HIGHLIGHT));

  MoveToEx(dc_, 0, 20, nullptr);
  LineTo(dc_, 10, 20);
  EXPECT_EQ(GetPixel(dc_, 0, 20), RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(dc_, 9, 20), RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(dc_, 10, 20), kWhite);
  LineTo(dc_, 10, 25);  // continues from where the last line ended
  EXPECT_EQ(GetPixel(dc_, 10, 20), RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(dc_, 10, 24), RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(dc_, 10, 25), kWhite);
}

TEST_F(GdiDrawingTest, RectangleOutlinesWithThePenFillsWithTheBrushAndWithoutAPenShrinks) {
  SelectObject(dc_, red_);
  Rectangle(dc_, 0, 0, 6, 6);
  EXPECT_EQ(GetPixel(dc_, 0, 0), RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(dc_, 5, 5), RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(dc_, 3, 3), kRed);
  EXPECT_EQ(GetPixel(dc_, 6, 6), kWhite);

  SelectObject(dc_, GetStockObject(NULL_PEN));
  Rectangle(dc_, 10, 10, 14, 14);
  EXPECT_EQ(GetPixel(dc_, 10, 10), kRed);
  EXPECT_EQ(GetPixel(dc_, 12, 12), kRed);
  EXPECT_EQ(GetPixel(dc_, 13, 13), kWhite);
  EXPECT_EQ(Last().color, CLR_INVALID);
  EXPECT_EQ(Last().background, kRed);
  SelectObject(dc_, GetStockObject(WHITE_BRUSH));
}

TEST_F(GdiDrawingTest, RaisedEdgeHasTheClassicColoursAndAdjustLeavesTheInside) {
  RECT rect{0, 0, 10, 10};
  ASSERT_TRUE(DrawEdge(dc_, &rect, EDGE_RAISED, BF_RECT | BF_ADJUST | BF_MIDDLE));
  EXPECT_EQ(GetPixel(dc_, 0, 0), GetSysColor(COLOR_3DLIGHT));
  EXPECT_EQ(GetPixel(dc_, 1, 1), GetSysColor(COLOR_3DHILIGHT));
  EXPECT_EQ(GetPixel(dc_, 9, 9), GetSysColor(COLOR_3DDKSHADOW));
  EXPECT_EQ(GetPixel(dc_, 8, 8), GetSysColor(COLOR_3DSHADOW));
  EXPECT_EQ(GetPixel(dc_, 0, 9), GetSysColor(COLOR_3DDKSHADOW));  // bottom and right run over the corners
  EXPECT_EQ(GetPixel(dc_, 5, 5), GetSysColor(COLOR_3DFACE));
  EXPECT_EQ(rect.left, 2);
  EXPECT_EQ(rect.bottom, 8);
  EXPECT_EQ(UiDcDrawLog(dc_)->back().rect.left, 0);  // the record keeps the rectangle as given

  RECT sunken{20, 0, 30, 10};
  DrawEdge(dc_, &sunken, EDGE_SUNKEN, BF_RECT);
  EXPECT_EQ(GetPixel(dc_, 20, 0), GetSysColor(COLOR_3DSHADOW));
  EXPECT_EQ(GetPixel(dc_, 21, 1), GetSysColor(COLOR_3DDKSHADOW));
  EXPECT_EQ(GetPixel(dc_, 29, 9), GetSysColor(COLOR_3DHILIGHT));
  EXPECT_EQ(sunken.left, 20);  // no BF_ADJUST
}

TEST_F(GdiDrawingTest, AFocusRectangleDrawnTwiceLeavesThePixelsAsTheyWere) {
  RECT fill{0, 0, 40, 30};
  FillRect(dc_, &fill, red_);
  RECT rect{3, 3, 13, 9};
  DrawFocusRect(dc_, &rect);
  int changed = 0;
  for (int x = 3; x < 13; ++x) changed += GetPixel(dc_, x, 3) != kRed;
  EXPECT_GT(changed, 2);
  EXPECT_LT(changed, 10);  // dotted, not solid
  DrawFocusRect(dc_, &rect);
  for (int x = 0; x < 20; ++x)
    for (int y = 0; y < 12; ++y) ASSERT_EQ(GetPixel(dc_, x, y), kRed) << x << "," << y;
}

TEST_F(GdiDrawingTest, TheViewportOriginMovesPixelsWhileRecordsKeepLogicalCoordinates) {
  SetViewportOrgEx(dc_, 10, 5, nullptr);
  RECT rect{0, 0, 2, 2};
  FillRect(dc_, &rect, red_);
  EXPECT_EQ(Last().rect.left, 0);
  EXPECT_EQ(Last().viewportOrg.x, 10);
  EXPECT_EQ(GetPixel(dc_, 0, 0), kRed);  // GetPixel reads logical coordinates too
  POINT previous{};
  OffsetViewportOrgEx(dc_, -10, -5, &previous);
  EXPECT_EQ(previous.y, 5);
  EXPECT_EQ(GetPixel(dc_, 10, 5), kRed);
  EXPECT_EQ(GetPixel(dc_, 0, 0), kWhite);
}

TEST_F(GdiDrawingTest, ClippingProtectsExcludedPixelsAndIsRecordedInLogicalCoordinates) {
  SetViewportOrgEx(dc_, 5, 0, nullptr);
  EXPECT_EQ(ExcludeClipRect(dc_, 2, 2, 4, 4), COMPLEXREGION);
  EXPECT_EQ(Last().kind, UiDrawKind::kExcludeClip);
  RECT all{0, 0, 10, 10};
  FillRect(dc_, &all, red_);
  EXPECT_TRUE(Last().clipped);
  EXPECT_EQ(GetPixel(dc_, 1, 1), kRed);
  EXPECT_EQ(GetPixel(dc_, 2, 2), CLR_INVALID);  // clipped away: GetPixel answers nothing there
  SetViewportOrgEx(dc_, 0, 0, nullptr);
  EXPECT_EQ(GetPixel(dc_, 7, 2), CLR_INVALID);  // the excluded rectangle moved with the origin
  EXPECT_EQ(GetPixel(dc_, 7, 7), kRed);
  SetViewportOrgEx(dc_, 5, 0, nullptr);

  EXPECT_EQ(IntersectClipRect(dc_, 0, 0, 3, 3), COMPLEXREGION);  // an L shape is left
  RECT box{};
  EXPECT_EQ(GetClipBox(dc_, &box), COMPLEXREGION);
  EXPECT_EQ(box.left, 0);
  EXPECT_EQ(box.right, 3);
  EXPECT_EQ(IntersectClipRect(dc_, 2, 2, 3, 3), NULLREGION);
  SetViewportOrgEx(dc_, 0, 0, nullptr);
  RECT everything{0, 0, 40, 30};
  HBRUSH blue = CreateSolidBrush(kBlue);
  FillRect(dc_, &everything, blue);
  DeleteObject(blue);
  SetViewportOrgEx(dc_, 5, 0, nullptr);
  EXPECT_EQ(GetPixel(dc_, 1, 1), CLR_INVALID);

  // A saved state brings the unclipped DC back.
  DeleteDC(dc_);
  dc_ = CreateCompatibleDC(nullptr);
  SelectObject(dc_, bitmap_);
  const int level = SaveDC(dc_);
  IntersectClipRect(dc_, 0, 0, 1, 1);
  RestoreDC(dc_, level);
  EXPECT_EQ(GetClipBox(dc_, &box), SIMPLEREGION);
  EXPECT_EQ(box.right, 40);
  EXPECT_EQ(box.bottom, 30);
}

TEST_F(GdiDrawingTest, RasterOperationsCombineSourceDestinationAndBrush) {
  HDC source = CreateCompatibleDC(dc_);
  HBITMAP sourceBitmap = CreateCompatibleBitmap(source, 4, 4);
  const HGDIOBJ oldSource = SelectObject(source, sourceBitmap);
  RECT all{0, 0, 4, 4};
  FillRect(source, &all, red_);
  ASSERT_TRUE(BitBlt(dc_, 1, 1, 2, 2, source, 0, 0, SRCCOPY));
  EXPECT_EQ(GetPixel(dc_, 1, 1), kRed);
  EXPECT_EQ(GetPixel(dc_, 3, 3), kWhite);
  ASSERT_TRUE(BitBlt(dc_, 1, 1, 1, 1, source, 0, 0, SRCINVERT));  // red ^ red
  EXPECT_EQ(GetPixel(dc_, 1, 1), RGB(0, 0, 0));
  ASSERT_TRUE(PatBlt(dc_, 2, 2, 1, 1, DSTINVERT));  // not red = cyan
  EXPECT_EQ(GetPixel(dc_, 2, 2), RGB(0, 255, 255));
  SelectObject(dc_, red_);
  ASSERT_TRUE(PatBlt(dc_, 10, 10, 2, 1, PATCOPY));
  EXPECT_EQ(GetPixel(dc_, 11, 10), kRed);
  EXPECT_FALSE(PatBlt(dc_, 0, 0, 1, 1, SRCCOPY));  // PatBlt has no source
  SelectObject(dc_, GetStockObject(NULL_BRUSH));
  ASSERT_TRUE(PatBlt(dc_, 10, 10, 2, 1, PATCOPY));  // a null brush paints nothing
  EXPECT_EQ(GetPixel(dc_, 11, 10), kRed);

  // Within one canvas the copy reads what was there before it began.
  RECT stripe{0, 25, 1, 26};
  FillRect(dc_, &stripe, red_);
  ASSERT_TRUE(BitBlt(dc_, 1, 25, 5, 1, dc_, 0, 25, SRCCOPY));
  EXPECT_EQ(GetPixel(dc_, 1, 25), kRed);
  EXPECT_EQ(GetPixel(dc_, 2, 25), kWhite);

  ASSERT_TRUE(StretchBlt(dc_, 20, 0, 8, 8, source, 0, 0, 4, 4, SRCCOPY));
  EXPECT_EQ(GetPixel(dc_, 27, 7), kRed);
  EXPECT_EQ(GetPixel(dc_, 28, 8), kWhite);
  SelectObject(dc_, GetStockObject(WHITE_BRUSH));
  SelectObject(source, oldSource);
  DeleteDC(source);
  DeleteObject(sourceBitmap);
}

TEST_F(GdiDrawingTest, ResourceBitmapsBlitTheirPixelsOrAPlaceholderAndLogTheirId) {
  HBITMAP pixels = LoadBitmapW(Resources(), MAKEINTRESOURCEW(221));
  HBITMAP placeholder = LoadBitmapW(Resources(), MAKEINTRESOURCEW(220));
  ASSERT_NE(pixels, nullptr);
  ASSERT_NE(placeholder, nullptr);
  BITMAP info{};
  GetObjectW(placeholder, sizeof(info), &info);
  EXPECT_EQ(info.bmWidth, 16);
  EXPECT_EQ(info.bmHeight, 8);
  EXPECT_EQ(info.bmBitsPixel, 0);

  HDC memory = CreateCompatibleDC(dc_);
  const HGDIOBJ old = SelectObject(memory, pixels);
  ASSERT_TRUE(BitBlt(dc_, 5, 5, 2, 1, memory, 0, 0, SRCCOPY));
  EXPECT_EQ(Last().kind, UiDrawKind::kBitmap);
  EXPECT_EQ(Last().bitmapId, 221);
  EXPECT_EQ(Last().rect.right, 7);
  EXPECT_EQ(GetPixel(dc_, 5, 5), kRed);
  EXPECT_EQ(GetPixel(dc_, 6, 5), kBlue);

  SelectObject(memory, placeholder);
  ASSERT_TRUE(BitBlt(dc_, 10, 10, 30, 20, memory, 0, 0, SRCCOPY));
  EXPECT_EQ(Last().bitmapId, 220);
  EXPECT_EQ(GetPixel(dc_, 12, 12), RGB(192, 192, 192));
  EXPECT_EQ(GetPixel(dc_, 10, 10), RGB(64, 64, 64));
  EXPECT_EQ(GetPixel(dc_, 27, 12), kWhite);  // the box covers the bitmap's 16 x 8 only
  SelectObject(memory, old);
  DeleteDC(memory);

  HANDLE doubled = LoadImageW(Resources(), MAKEINTRESOURCEW(221), IMAGE_BITMAP, 4, 2, 0);
  ASSERT_NE(doubled, nullptr);
  GetObjectW(doubled, sizeof(info), &info);
  EXPECT_EQ(info.bmWidth, 4);
  EXPECT_EQ(LoadImageW(Resources(), MAKEINTRESOURCEW(221), IMAGE_ICON, 0, 0, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
  EXPECT_EQ(LoadBitmapW(Resources(), MAKEINTRESOURCEW(4242)), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
  for (HGDIOBJ object : {static_cast<HGDIOBJ>(pixels), static_cast<HGDIOBJ>(placeholder), doubled})
    EXPECT_TRUE(DeleteObject(object));
}

LRESULT CALLBACK PaintingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_PAINT) return DefWindowProcW(window, message, wParam, lParam);
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(window, &paint);
  RECT rect{0, 0, 4, 4};
  FillRect(dc, &rect, GetSysColorBrush(COLOR_WINDOW));
  EndPaint(window, &paint);
  return 0;
}

TEST_F(GdiDrawingTest, AWindowKeepsTheLogOfItsLastPaint) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = PaintingProc;
  wc.lpszClassName = u"GdiPainting";
  ASSERT_NE(RegisterClassW(&wc), 0);
  const HWND window =
      CreateWindowExW(0, u"GdiPainting", u"", WS_POPUP | WS_VISIBLE, 0, 0, 30, 20, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  InvalidateRect(window, nullptr, FALSE);
  UpdateWindow(window);
  ASSERT_EQ(UiWindowDrawLog(window).size(), 1u);
  EXPECT_EQ(UiWindowDrawLog(window)[0].color, GetSysColor(COLOR_WINDOW));

  // Drawing outside a paint adds to the log; the next paint starts it afresh.
  HDC dc = GetDC(window);
  TextOutW(dc, 0, 0, u"x", 1);
  ReleaseDC(window, dc);
  EXPECT_EQ(UiWindowDrawLog(window).size(), 2u);
  InvalidateRect(window, nullptr, FALSE);
  UpdateWindow(window);
  EXPECT_EQ(UiWindowDrawLog(window).size(), 1u);

  UiResetAll();
  EXPECT_TRUE(UiWindowDrawLog(window).empty());
  EXPECT_TRUE(UiWindowDrawLog(nullptr).empty());
}

TEST_F(GdiDrawingTest, ShapesFillInsideAndOutlineWithThePen) {
  SelectObject(dc_, red_);
  Ellipse(dc_, 0, 0, 11, 11);
  EXPECT_EQ(GetPixel(dc_, 5, 5), kRed);
  EXPECT_EQ(GetPixel(dc_, 5, 0), RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(dc_, 0, 0), kWhite);  // corners stay outside

  const POINT triangle[] = {{20, 0}, {30, 10}, {20, 10}};
  Polygon(dc_, triangle, 3);
  EXPECT_EQ(Last().kind, UiDrawKind::kPolygon);
  EXPECT_EQ(GetPixel(dc_, 22, 7), kRed);
  EXPECT_EQ(GetPixel(dc_, 28, 2), kWhite);
  SelectObject(dc_, GetStockObject(WHITE_BRUSH));
}

TEST_F(GdiDrawingTest, TheThemeLibraryIsASystemModuleThatOnlyRecords) {
  const HMODULE theme = LoadLibraryW(u"UxTheme.DLL");
  ASSERT_NE(theme, nullptr);
  using SetThemeProc = HRESULT (*)(HWND, LPCWSTR, LPCWSTR);
  auto setTheme = reinterpret_cast<SetThemeProc>(reinterpret_cast<void*>(GetProcAddress(theme, "SetWindowTheme")));
  ASSERT_NE(setTheme, nullptr);
  const HWND window = CreateWindowExW(0, u"TestWindow", u"", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(setTheme(window, u"", nullptr), S_OK);
  ASSERT_EQ(UiThemeCalls().size(), 1u);
  EXPECT_EQ(UiThemeCalls()[0].window, window);
  EXPECT_EQ(UiThemeCalls()[0].subIdList, u"");
  FreeLibrary(theme);
  UiResetAll();
  EXPECT_TRUE(UiThemeCalls().empty());
}

TEST_F(GdiDrawingTest, TheStretchModeIsKeptPerStateAndRecordedWithEachBlit) {
  constexpr int kBlackOnWhite = static_cast<int>(BLACKONWHITE), kColorOnColor = static_cast<int>(COLORONCOLOR);
  EXPECT_EQ(GetStretchBltMode(dc_), kBlackOnWhite);
  EXPECT_EQ(SetStretchBltMode(dc_, 0), 0);  // refused: no such mode
  EXPECT_EQ(SetStretchBltMode(dc_, static_cast<int>(HALFTONE) + 1), 0);
  EXPECT_EQ(GetStretchBltMode(dc_), kBlackOnWhite);
  const int saved = SaveDC(dc_);
  EXPECT_EQ(SetStretchBltMode(dc_, kColorOnColor), kBlackOnWhite);
  HDC source = CreateCompatibleDC(nullptr);
  ASSERT_TRUE(StretchBlt(dc_, 0, 0, 4, 4, source, 0, 0, 8, 8, SRCCOPY));
  EXPECT_EQ(Last().kind, UiDrawKind::kBitmap);
  EXPECT_EQ(Last().flags, static_cast<UINT>(kColorOnColor));
  RestoreDC(dc_, saved);
  EXPECT_EQ(GetStretchBltMode(dc_), kBlackOnWhite);
  EXPECT_EQ(GetStretchBltMode(nullptr), 0);
  DeleteDC(source);
}

}  // namespace
}  // namespace velm::test
