// Half-width katakana and double-byte text printed in vector and in raster mode and drawn from
// both jobs. Through a device face the driver sends code page 932 codes, which the renderer maps
// back to their characters and draws with the engine font's glyphs; in raster mode (no device
// fonts there) the engine draws the same characters with its own font. Through the engine's
// face with device fonts usable the driver downloads the engine font's glyph bitmaps; with them
// off it sends the characters as code page 932 codes too, and a string holding a character
// that code page lacks as outlines.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <tuple>
#include <utility>

#include "page_compare.h"
#include "printer_fixture.h"

namespace velm::tools {
namespace {

const std::vector<ItemAssignment> kPage = {{"6", "0"}, {"47", "240"}, {"46", "160"}};

// Sizes that are not multiples of the font's 8-unit cell: 20 and 28 (three quarters of them,
// the half-width advance, whole, as the device faces' 750 units of 1000 give), and 12.
constexpr char kText[] =
    "text 4 24 \"ｶﾀｶﾅ ﾃｷｽﾄ\" size=20 device=1\n"
    "text 4 56 \"漢字と仮名\" size=28 device=1\n"
    "text 4 84 \"ABC ｱｲｳ 日本語\" size=20 device=1\n"
    "text 4 104 \"全角ﾃｽﾄ 12\" size=12 device=1 underline\n";
// The engine's face, downloaded when device fonts are usable, else resident; "é" is not in
// code page 932.
constexpr char kEngineFaceText[] =
    "text 4 140 \"ﾀﾞｳﾝ 字形\" size=20\n"
    "text 150 140 \"é字\" size=20\n";
const std::vector<ItemAssignment> kDeviceFontsUsable = {{"vdmDeviceFontOK", "1"}, {"vdmDeviceFontOK2", "1"}};

class CodePageTextPicturesTest : public PrinterTest {};

// Tolerance as for the other text pictures: the largest differing box at most 2 pixels on a
// side at 600 dpi. The device faces' ascent (875 of 1000) and the engine's (7 of 8) round alike,
// so glyphs land on the same pixels; a rounding of half a pixel either way moves a glyph edge
// by one pixel, which the comparison's one-pixel neighbourhood takes up to 2 columns.
TEST_F(CodePageTextPicturesTest, KatakanaAndDoubleByteTextAgreesInVectorAndRasterMode) {
  const std::string withDownload = std::string(kText) + kEngineFaceText;
  const std::vector<std::tuple<const char*, std::string, std::vector<ItemAssignment>>> variants = {
      {"device faces", kText, {}},
      {"device faces and a downloaded face", withDownload, kDeviceFontsUsable},
      {"device faces and the engine's face resident", withDownload, {}},
  };
  for (const auto& [what, text, extra] : variants) {
    std::vector<ItemAssignment> items = kPage;
    items.insert(items.end(), extra.begin(), extra.end());
    const ModeComparison comparison = CompareModes(printer_, text, items);
    ASSERT_TRUE(comparison.printed) << what << ": " << comparison.error;
    EXPECT_TRUE(comparison.problems.empty()) << what << ": " << comparison.problems.front();
    ASSERT_EQ(comparison.pages.size(), 1u) << what;
    EXPECT_TRUE(comparison.Within({600, 2})) << what << ": " << comparison.Describe();
  }
  // VELM_TEXT_PNG=prefix writes the pictures of both modes, to look at.
  if (const char* prefix = std::getenv("VELM_TEXT_PNG")) {
    for (const auto& [name, extra] : {std::pair{std::string(), kDeviceFontsUsable},
                                      std::pair{std::string("-resident"), std::vector<ItemAssignment>{}}})
    for (const bool raster : {false, true}) {
      std::vector<ItemAssignment> items = kPage;
      items.insert(items.end(), extra.begin(), extra.end());
      items.push_back({"vdmRasterMode", raster ? "1" : "0"});
      PrintedPages printed;
      std::string error;
      ASSERT_TRUE(PrintAndDraw(printer_, withDownload, items, false, &printed, &error)) << error;
      const std::vector<uint8_t> png = jobrender::PagePng(printed.rendering.pages.at(0), 600);
      FILE* f = std::fopen((prefix + name + (raster ? "-raster.png" : "-vector.png")).c_str(), "wb");
      ASSERT_NE(f, nullptr);
      std::fwrite(png.data(), 1, png.size(), f);
      std::fclose(f);
    }
  }
}

// The pictures are not of the missing-glyph mark: the same line with every character replaced
// by "?" draws differently in both modes.
TEST_F(CodePageTextPicturesTest, TheCharactersAreDrawnNotTheMissingGlyphMark) {
  for (const bool raster : {false, true}) {
    std::vector<jobrender::Canvas> pages;
    for (const char* line : {"text 4 24 \"ｱ漢\" size=20 device=1\n", "text 4 24 \"???\" size=20 device=1\n"}) {
      std::vector<ItemAssignment> items = kPage;
      items.push_back({"vdmRasterMode", raster ? "1" : "0"});
      PrintedPages printed;
      std::string error;
      ASSERT_TRUE(PrintAndDraw(printer_, line, items, false, &printed, &error)) << error;
      ASSERT_EQ(printed.rendering.pages.size(), 1u);
      pages.push_back(std::move(printed.rendering.pages[0]));
    }
    EXPECT_GT(ComparePictures(pages[0], pages[1]).differing, 50u) << (raster ? "raster" : "vector");
  }
}

}  // namespace
}  // namespace velm::tools
