// Text with the fixed 8 x 16 metrics: DrawTextW's formatting (ellipses, measuring, breaking,
// alignment, prefixes, clipping), colours and background mode, and the enumerated faces.
#include <gtest/gtest.h>

#include "ui_fixture.h"

namespace velm::test {
namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

class GdiTextTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateCompatibleBitmap(dc_, 200, 60);
    old_ = SelectObject(dc_, bitmap_);
  }
  void TearDown() override {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
    DeleteObject(bitmap_);
    UiTest::TearDown();
  }
  // The text DrawTextW shows for `text` in a single line `width` pixels wide.
  std::u16string Shown(const std::u16string& text, LONG width, UINT format) {
    RECT rect{0, 0, width, 16};
    DrawTextW(dc_, text.c_str(), -1, &rect, format | DT_SINGLELINE);
    return UiDcDrawLog(dc_)->back().text;
  }
  std::vector<UiDrawRecord> Texts() {
    std::vector<UiDrawRecord> texts;
    for (const UiDrawRecord& record : *UiDcDrawLog(dc_))
      if (record.kind == UiDrawKind::kText) texts.push_back(record);
    return texts;
  }

  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

TEST_F(GdiTextTest, MetricsAreFixedAtEightBySixteenWhateverTheFont) {
  LOGFONTW logFont{};
  logFont.lfHeight = -40;
  StringCchCopyW(logFont.lfFaceName, LF_FACESIZE, u"Arial");
  HFONT font = CreateFontIndirectW(&logFont);
  const HGDIOBJ old = SelectObject(dc_, font);
  TEXTMETRICW metrics{};
  ASSERT_TRUE(GetTextMetricsW(dc_, &metrics));
  EXPECT_EQ(metrics.tmHeight, 16);
  EXPECT_EQ(metrics.tmAscent + metrics.tmDescent, 16);
  EXPECT_EQ(metrics.tmAveCharWidth, 8);
  SIZE size{};
  ASSERT_TRUE(GetTextExtentPoint32W(dc_, u"abcde", 5, &size));
  EXPECT_EQ(size.cx, 40);
  EXPECT_EQ(size.cy, 16);
  EXPECT_FALSE(GetTextExtentPoint32W(dc_, u"abc", -1, &size));
  SelectObject(dc_, old);
  DeleteObject(font);
}

TEST_F(GdiTextTest, EllipsesCutTheTextToWhatTheRectangleHolds) {
  EXPECT_EQ(Shown(u"Paper source settings", 80, DT_END_ELLIPSIS), u"Paper s...");
  EXPECT_EQ(Shown(u"0123456789", 80, DT_END_ELLIPSIS), u"0123456789");  // fits exactly: untouched
  EXPECT_EQ(Shown(u"0123456789", 79, DT_END_ELLIPSIS), u"012345...");
  EXPECT_EQ(Shown(u"0123456789", 16, DT_END_ELLIPSIS), u"...");
  EXPECT_EQ(Shown(u"0123456789", 0, DT_END_ELLIPSIS), u"...");
  EXPECT_EQ(Shown(u"0123456789", 16, 0), u"0123456789");  // without the flag the text is only clipped
  EXPECT_EQ(Shown(u"alpha beta gamma", 80, DT_WORD_ELLIPSIS), u"alpha...");
  EXPECT_EQ(Shown(u"C:\\Windows\\file.txt", 96, DT_PATH_ELLIPSIS), u"...\\file.txt");

  WCHAR buffer[32] = u"0123456789AB";
  RECT rect{0, 0, 80, 16};
  DrawTextW(dc_, buffer, -1, &rect, DT_SINGLELINE | DT_END_ELLIPSIS | DT_MODIFYSTRING);
  EXPECT_EQ(std::u16string(buffer), u"0123456...");
}

TEST_F(GdiTextTest, CalcRectMeasuresWithoutDrawing) {
  RECT rect{10, 20, 10, 20};
  EXPECT_EQ(DrawTextW(dc_, u"Hello", -1, &rect, DT_SINGLELINE | DT_CALCRECT), 16);
  EXPECT_EQ(rect.right, 50);
  EXPECT_EQ(rect.bottom, 36);
  EXPECT_TRUE(UiDcDrawLog(dc_)->empty());
  EXPECT_EQ(GetPixel(dc_, 12, 28), kWhite);

  RECT wrapped{0, 0, 64, 0};
  EXPECT_EQ(DrawTextW(dc_, u"one two three", -1, &wrapped, DT_WORDBREAK | DT_CALCRECT), 32);
  EXPECT_EQ(wrapped.right, 56);  // the widest line, "one two"
  EXPECT_EQ(wrapped.bottom, 32);

  // A word wider than the rectangle stands on its own line and widens the result.
  RECT wide{0, 0, 40, 0};
  EXPECT_EQ(DrawTextW(dc_, u"a extraordinarily b", -1, &wide, DT_WORDBREAK | DT_CALCRECT), 48);
  EXPECT_EQ(wide.right, 15 * 8);

  RECT lines{0, 0, 100, 0};
  EXPECT_EQ(DrawTextW(dc_, u"a\r\nb\nc", -1, &lines, DT_CALCRECT), 48);
  RECT ellipsis{0, 0, 40, 0};
  DrawTextW(dc_, u"0123456789", -1, &ellipsis, DT_SINGLELINE | DT_END_ELLIPSIS | DT_CALCRECT);
  EXPECT_EQ(ellipsis.right, 40);  // measured as shown
  RECT counted{0, 0, 0, 0};
  DrawTextW(dc_, u"abcdef", 2, &counted, DT_SINGLELINE | DT_CALCRECT);
  EXPECT_EQ(counted.right, 16);
}

TEST_F(GdiTextTest, AlignmentPlacesEachLineAndVerticalCentringAnswersTheOffset) {
  RECT rect{0, 0, 100, 30};
  EXPECT_EQ(DrawTextW(dc_, u"abc", -1, &rect, DT_SINGLELINE | DT_CENTER | DT_VCENTER), 23);
  EXPECT_EQ(Texts().back().rect.left, 38);
  EXPECT_EQ(Texts().back().rect.top, 7);
  EXPECT_EQ(DrawTextW(dc_, u"abc", -1, &rect, DT_SINGLELINE | DT_RIGHT | DT_BOTTOM), 30);
  EXPECT_EQ(Texts().back().rect.left, 76);
  EXPECT_EQ(Texts().back().rect.top, 14);
  EXPECT_EQ(Texts().back().flags, DT_SINGLELINE | DT_RIGHT | DT_BOTTOM);

  UiResetAll();
  DeleteDC(dc_);
  dc_ = CreateCompatibleDC(nullptr);
  RECT block{0, 0, 100, 60};
  EXPECT_EQ(DrawTextW(dc_, u"a\r\nbb", -1, &block, DT_CENTER), 32);
  ASSERT_EQ(Texts().size(), 2u);
  EXPECT_EQ(Texts()[0].text, u"a");
  EXPECT_EQ(Texts()[1].text, u"bb");
  EXPECT_EQ(Texts()[1].rect.top, 16);
  EXPECT_EQ(Texts()[1].rect.left, 42);
  EXPECT_EQ(DrawTextW(dc_, nullptr, -1, &block, 0), 0);
}

TEST_F(GdiTextTest, PrefixesUnderlineTheMnemonicUnlessTurnedOff) {
  RECT rect{0, 0, 100, 16};
  DrawTextW(dc_, u"&File", -1, &rect, DT_SINGLELINE);
  EXPECT_EQ(Texts().back().text, u"File");
  EXPECT_EQ(GetPixel(dc_, 0, 13), kBlack);  // the underline below the first cell
  EXPECT_EQ(GetPixel(dc_, 8, 13), kWhite);

  RECT next{0, 20, 100, 36};
  DrawTextW(dc_, u"&File", -1, &next, DT_SINGLELINE | DT_HIDEPREFIX);
  EXPECT_EQ(Texts().back().text, u"File");
  EXPECT_EQ(GetPixel(dc_, 0, 33), kWhite);
  EXPECT_EQ(Shown(u"A&&B", 100, 0), u"A&B");
  EXPECT_EQ(Shown(u"&File", 100, DT_NOPREFIX), u"&File");
}

TEST_F(GdiTextTest, TextIsClippedToItsRectangleUnlessNoClipIsAsked) {
  RECT rect{0, 0, 16, 16};
  DrawTextW(dc_, u"WWWWWWWW", -1, &rect, DT_SINGLELINE);
  EXPECT_EQ(GetPixel(dc_, 1, 8), kBlack);  // the first column of the first 'W'
  EXPECT_EQ(GetPixel(dc_, 17, 8), kWhite);
  DrawTextW(dc_, u"WWWWWWWW", -1, &rect, DT_SINGLELINE | DT_NOCLIP);
  EXPECT_EQ(GetPixel(dc_, 17, 8), kBlack);
}

TEST_F(GdiTextTest, ColoursAndBackgroundModeGoIntoThePixelsAndTheRecord) {
  EXPECT_EQ(SetTextColor(dc_, RGB(0, 128, 0)), kBlack);
  SetBkColor(dc_, RGB(0, 0, 255));
  EXPECT_EQ(GetBkMode(dc_), OPAQUE);
  TextOutW(dc_, 0, 0, u"I", 1);
  EXPECT_EQ(GetPixel(dc_, 0, 0), RGB(0, 0, 255));  // the cell's background
  EXPECT_EQ(Texts().back().background, RGB(0, 0, 255));
  EXPECT_EQ(Texts().back().color, RGB(0, 128, 0));

  EXPECT_EQ(SetBkMode(dc_, TRANSPARENT), OPAQUE);
  EXPECT_EQ(SetBkMode(dc_, 7), 0);
  TextOutW(dc_, 20, 0, u"I", 1);
  EXPECT_EQ(GetPixel(dc_, 20, 0), kWhite);
  EXPECT_EQ(Texts().back().bkMode, TRANSPARENT);

  RECT opaque{40, 0, 60, 20};
  ExtTextOutW(dc_, 40, 0, ETO_OPAQUE, &opaque, u"I", 1, nullptr);
  EXPECT_EQ(GetPixel(dc_, 59, 19), RGB(0, 0, 255));
  EXPECT_EQ(UiDcDrawLog(dc_)->at(UiDcDrawLog(dc_)->size() - 2).kind, UiDrawKind::kFillRect);
  EXPECT_FALSE(TextOutW(dc_, 0, 0, u"x", -1));
}

int CALLBACK CollectFaces(const LOGFONTW* logFont, const TEXTMETRICW*, DWORD type, LPARAM lParam) {
  auto* faces = reinterpret_cast<std::vector<std::pair<std::u16string, DWORD>>*>(lParam);
  faces->emplace_back(logFont->lfFaceName, type);
  return faces->size() < 100 ? 1 : 0;
}

int CALLBACK StopAtOnce(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM lParam) {
  ++*reinterpret_cast<int*>(lParam);
  return 0;
}

TEST_F(GdiTextTest, FontFamiliesComeFromTheConfiguredFaceList) {
  HDC screen = GetDC(GetDesktopWindow());
  ASSERT_NE(screen, nullptr);
  std::vector<std::pair<std::u16string, DWORD>> faces;
  EXPECT_EQ(EnumFontFamiliesW(screen, nullptr, CollectFaces, reinterpret_cast<LPARAM>(&faces)), 1);
  auto has = [&](const std::u16string& name, DWORD type) {
    return std::find(faces.begin(), faces.end(), std::make_pair(name, type)) != faces.end();
  };
  EXPECT_TRUE(has(u"@MS Gothic", TRUETYPE_FONTTYPE));
  EXPECT_TRUE(has(u"MS Sans Serif", RASTER_FONTTYPE));

  faces.clear();
  EnumFontFamiliesW(screen, u"courier new", CollectFaces, reinterpret_cast<LPARAM>(&faces));
  ASSERT_EQ(faces.size(), 1u);
  EXPECT_EQ(faces[0].first, u"Courier New");
  int calls = 0;
  EXPECT_EQ(EnumFontFamiliesW(screen, nullptr, StopAtOnce, reinterpret_cast<LPARAM>(&calls)), 0);
  EXPECT_EQ(calls, 1);

  UiSetFontFaces({{u"Only Face", DEVICE_FONTTYPE, ANSI_CHARSET}});
  faces.clear();
  EnumFontFamiliesW(screen, nullptr, CollectFaces, reinterpret_cast<LPARAM>(&faces));
  ASSERT_EQ(faces.size(), 1u);
  EXPECT_EQ(faces[0].second, DEVICE_FONTTYPE);
  EXPECT_EQ(EnumFontFamiliesW(screen, u"Arial", CollectFaces, reinterpret_cast<LPARAM>(&faces)), 0);
  ReleaseDC(GetDesktopWindow(), screen);

  UiResetAll();
  faces.clear();
  screen = GetDC(nullptr);
  EnumFontFamiliesW(screen, u"Arial", CollectFaces, reinterpret_cast<LPARAM>(&faces));
  EXPECT_EQ(faces.size(), 1u);
  ReleaseDC(nullptr, screen);
}

}  // namespace
}  // namespace velm::test
