// The GDI object table and device contexts: live counts for leak checks, what a selected object
// and a stock object allow, saved DC states, and the system colours.
#include <gtest/gtest.h>

#include "ui_fixture.h"

namespace velm::test {
namespace {

class GdiObjectsTest : public UiTest {};

TEST_F(GdiObjectsTest, LiveCountsFollowEachKindThroughCreateAndDelete) {
  const size_t brushes = UiLiveGdiObjects(OBJ_BRUSH);
  const size_t pens = UiLiveGdiObjects(OBJ_PEN);
  const size_t fonts = UiLiveGdiObjects(OBJ_FONT);
  const size_t bitmaps = UiLiveGdiObjects(OBJ_BITMAP);
  const size_t all = UiLiveGdiObjects(0);

  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  HBRUSH second = CreateSolidBrush(RGB(1, 2, 3));
  HPEN pen = CreatePen(PS_DOT, 1, RGB(4, 5, 6));
  LOGFONTW logFont{};
  HFONT font = CreateFontIndirectW(&logFont);
  HBITMAP bitmap = CreateCompatibleBitmap(nullptr, 4, 4);
  EXPECT_NE(brush, second);
  EXPECT_EQ(UiLiveGdiObjects(OBJ_BRUSH), brushes + 2);
  EXPECT_EQ(UiLiveGdiObjects(OBJ_PEN), pens + 1);
  EXPECT_EQ(UiLiveGdiObjects(OBJ_FONT), fonts + 1);
  EXPECT_EQ(UiLiveGdiObjects(OBJ_BITMAP), bitmaps + 1);
  EXPECT_EQ(UiLiveGdiObjects(0), all + 5);

  for (HGDIOBJ object : {static_cast<HGDIOBJ>(brush), static_cast<HGDIOBJ>(second), static_cast<HGDIOBJ>(pen),
                         static_cast<HGDIOBJ>(font), static_cast<HGDIOBJ>(bitmap)})
    EXPECT_TRUE(DeleteObject(object));
  EXPECT_EQ(UiLiveGdiObjects(0), all);
  // A handle deleted once is gone: deleting it again is an error, not a second decrement.
  EXPECT_FALSE(DeleteObject(brush));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(GetObjectW(brush, 0, nullptr), 0);
  EXPECT_EQ(UiLiveGdiObjects(OBJ_BRUSH), brushes);
}

TEST_F(GdiObjectsTest, AnObjectHeldByADcCannotBeDeletedUntilItIsLetGo) {
  const size_t brushes = UiLiveGdiObjects(OBJ_BRUSH);
  const size_t pens = UiLiveGdiObjects(OBJ_PEN);
  HDC dc = CreateCompatibleDC(nullptr);
  HBRUSH brush = CreateSolidBrush(RGB(10, 20, 30));
  HPEN pen = CreatePen(PS_SOLID, 2, RGB(0, 0, 0));
  const HGDIOBJ oldBrush = SelectObject(dc, brush);
  EXPECT_EQ(oldBrush, GetStockObject(WHITE_BRUSH));
  EXPECT_FALSE(DeleteObject(brush));
  EXPECT_EQ(UiLiveGdiObjects(OBJ_BRUSH), brushes + 1);

  // Kept only by a saved state, the brush is still held.
  const int level = SaveDC(dc);
  SelectObject(dc, oldBrush);
  EXPECT_FALSE(DeleteObject(brush));
  SelectObject(dc, pen);
  ASSERT_TRUE(RestoreDC(dc, level));
  EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), brush);
  EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), GetStockObject(BLACK_PEN));
  EXPECT_TRUE(DeleteObject(pen));  // the restore let the pen go

  // Ending the DC lets go of everything it held.
  ASSERT_TRUE(DeleteDC(dc));
  EXPECT_TRUE(DeleteObject(brush));
  EXPECT_EQ(UiLiveGdiObjects(OBJ_BRUSH), brushes);
  EXPECT_EQ(UiLiveGdiObjects(OBJ_PEN), pens);
}

TEST_F(GdiObjectsTest, StockObjectsAndSystemColourBrushesAreSharedNeverCountedNeverDeleted) {
  const size_t all = UiLiveGdiObjects(0);
  const HGDIOBJ white = GetStockObject(WHITE_BRUSH);
  EXPECT_EQ(GetStockObject(WHITE_BRUSH), white);
  EXPECT_NE(GetStockObject(NULL_BRUSH), nullptr);
  EXPECT_NE(GetStockObject(NULL_PEN), nullptr);
  EXPECT_NE(GetStockObject(DEFAULT_GUI_FONT), nullptr);
  EXPECT_EQ(GetStockObject(99), nullptr);
  const HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
  EXPECT_EQ(GetSysColorBrush(COLOR_BTNFACE), face);
  EXPECT_EQ(UiLiveGdiObjects(0), all);

  EXPECT_TRUE(DeleteObject(white));
  EXPECT_TRUE(DeleteObject(face));
  LOGBRUSH logBrush{};
  ASSERT_EQ(GetObjectW(white, sizeof(logBrush), &logBrush), static_cast<int>(sizeof(logBrush)));
  EXPECT_EQ(logBrush.lbColor, RGB(255, 255, 255));
  ASSERT_EQ(GetObjectW(face, sizeof(logBrush), &logBrush), static_cast<int>(sizeof(logBrush)));
  EXPECT_EQ(logBrush.lbColor, GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(UiLiveGdiObjects(0), all);
}

TEST_F(GdiObjectsTest, BitmapsGoIntoOneMemoryDcAtATimeAndNeverIntoAWindowDc) {
  HDC first = CreateCompatibleDC(nullptr);
  HDC second = CreateCompatibleDC(first);
  HBITMAP bitmap = CreateCompatibleBitmap(first, 8, 8);
  const HGDIOBJ stock = SelectObject(first, bitmap);
  ASSERT_NE(stock, nullptr);
  EXPECT_EQ(SelectObject(second, bitmap), nullptr);
  EXPECT_FALSE(DeleteObject(bitmap));
  EXPECT_EQ(SelectObject(first, stock), bitmap);
  EXPECT_NE(SelectObject(second, bitmap), nullptr);  // free again

  HDC screen = GetDC(nullptr);
  HBITMAP other = CreateCompatibleBitmap(screen, 2, 2);
  EXPECT_EQ(SelectObject(screen, other), nullptr);
  EXPECT_TRUE(DeleteObject(other));
  EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
  EXPECT_TRUE(DeleteDC(first));
  EXPECT_TRUE(DeleteDC(second));
  EXPECT_TRUE(DeleteObject(bitmap));
  EXPECT_EQ(CreateCompatibleBitmap(nullptr, 0, 5), nullptr);
}

TEST_F(GdiObjectsTest, WindowDcsAreReleasedAndMemoryDcsDeletedNotTheOtherWayRound) {
  const HWND window = CreateWindowExW(0, u"TestWindow", u"", WS_POPUP, 0, 0, 50, 40, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  const size_t windowDcs = UiLiveGdiObjects(OBJ_DC);
  const size_t memoryDcs = UiLiveGdiObjects(OBJ_MEMDC);
  HDC dc = GetDC(window);
  HDC memory = CreateCompatibleDC(dc);
  EXPECT_EQ(UiLiveGdiObjects(OBJ_DC), windowDcs + 1);  // a DC not yet released is a leak a test can see
  EXPECT_EQ(UiLiveGdiObjects(OBJ_MEMDC), memoryDcs + 1);
  EXPECT_EQ(GetObjectType(dc), OBJ_DC);
  EXPECT_EQ(GetObjectType(memory), OBJ_MEMDC);
  EXPECT_FALSE(DeleteDC(dc));
  EXPECT_EQ(ReleaseDC(window, memory), 0);
  EXPECT_EQ(ReleaseDC(nullptr, dc), 0);  // not the window it came from
  EXPECT_EQ(ReleaseDC(window, dc), 1);
  EXPECT_TRUE(DeleteDC(memory));
  EXPECT_EQ(UiLiveGdiObjects(OBJ_DC), windowDcs);
  EXPECT_EQ(UiLiveGdiObjects(OBJ_MEMDC), memoryDcs);
  EXPECT_EQ(ReleaseDC(window, dc), 0);

  DestroyWindow(window);
  EXPECT_EQ(GetDC(window), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

TEST_F(GdiObjectsTest, GetObjectDescribesEachKindAndHonoursTheBufferSize) {
  LOGFONTW in{};
  in.lfHeight = -11;
  in.lfWeight = FW_BOLD;
  StringCchCopyW(in.lfFaceName, LF_FACESIZE, u"MS Shell Dlg");
  HFONT font = CreateFontIndirectW(&in);
  EXPECT_EQ(GetObjectW(font, 0, nullptr), static_cast<int>(sizeof(LOGFONTW)));
  LOGFONTW out{};
  ASSERT_EQ(GetObjectW(font, sizeof(out), &out), static_cast<int>(sizeof(out)));
  EXPECT_EQ(std::u16string(out.lfFaceName), u"MS Shell Dlg");
  EXPECT_EQ(out.lfWeight, FW_BOLD);
  // A short buffer receives what fits and nothing beyond it.
  BYTE shortBuffer[8 + 4];
  std::fill(std::begin(shortBuffer), std::end(shortBuffer), 0xEE);
  EXPECT_EQ(GetObjectW(font, 8, shortBuffer), 8);
  EXPECT_EQ(shortBuffer[8], 0xEE);

  HPEN pen = CreatePen(PS_DASH, 3, RGB(1, 2, 3));
  LOGPEN logPen{};
  ASSERT_EQ(GetObjectW(pen, sizeof(logPen), &logPen), static_cast<int>(sizeof(logPen)));
  EXPECT_EQ(logPen.lopnStyle, static_cast<UINT>(PS_DASH));
  EXPECT_EQ(logPen.lopnWidth.x, 3);
  EXPECT_EQ(logPen.lopnColor, RGB(1, 2, 3));
  EXPECT_EQ(CreatePen(42, 1, 0), nullptr);

  HBITMAP bitmap = CreateCompatibleBitmap(nullptr, 7, 3);
  BITMAP info{};
  ASSERT_EQ(GetObjectW(bitmap, sizeof(info), &info), static_cast<int>(sizeof(info)));
  EXPECT_EQ(info.bmWidth, 7);
  EXPECT_EQ(info.bmHeight, 3);
  EXPECT_EQ(info.bmBitsPixel, 24);
  for (HGDIOBJ object : {static_cast<HGDIOBJ>(font), static_cast<HGDIOBJ>(pen), static_cast<HGDIOBJ>(bitmap)})
    DeleteObject(object);
}

TEST_F(GdiObjectsTest, SavedStatesComeBackByLevelOrByCountingBack) {
  HDC dc = CreateCompatibleDC(nullptr);
  SetTextColor(dc, RGB(1, 1, 1));
  const int one = SaveDC(dc);
  SetTextColor(dc, RGB(2, 2, 2));
  SetViewportOrgEx(dc, 5, 6, nullptr);
  const int two = SaveDC(dc);
  SetTextColor(dc, RGB(3, 3, 3));
  SaveDC(dc);
  EXPECT_EQ(one, 1);
  EXPECT_EQ(two, 2);

  EXPECT_TRUE(RestoreDC(dc, -1));  // the last one saved
  EXPECT_EQ(GetTextColor(dc), RGB(3, 3, 3));
  EXPECT_TRUE(RestoreDC(dc, one));  // drops level 2 with it
  EXPECT_EQ(GetTextColor(dc), RGB(1, 1, 1));
  POINT origin{};
  GetViewportOrgEx(dc, &origin);
  EXPECT_EQ(origin.x, 0);
  EXPECT_FALSE(RestoreDC(dc, two));
  EXPECT_FALSE(RestoreDC(dc, -1));
  EXPECT_FALSE(RestoreDC(dc, 0));
  DeleteDC(dc);
}

TEST_F(GdiObjectsTest, SystemColoursAreTheClassicPalette) {
  EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(212, 208, 200));
  EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), RGB(10, 36, 106));
  EXPECT_EQ(GetSysColor(COLOR_WINDOW), RGB(255, 255, 255));
  EXPECT_EQ(GetSysColor(COLOR_GRAYTEXT), RGB(128, 128, 128));
  EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHTTEXT), RGB(255, 255, 255));
  EXPECT_EQ(GetSysColor(COLOR_WINDOWTEXT), RGB(0, 0, 0));
  EXPECT_EQ(GetSysColor(COLOR_3DHILIGHT), RGB(255, 255, 255));
  EXPECT_EQ(GetSysColor(COLOR_3DDKSHADOW), RGB(64, 64, 64));
  EXPECT_EQ(GetSysColor(COLOR_BTNSHADOW), RGB(128, 128, 128));
  EXPECT_EQ(GetSysColor(-1), 0u);
  EXPECT_EQ(GetSysColor(200), 0u);
  EXPECT_EQ(GetSysColorBrush(200), nullptr);
}

}  // namespace
}  // namespace velm::test
