// The engine font's glyph source: unifont's .hex lines read, and glyphs scaled to any cell
// height, checked against sizes and pixels worked out by hand from the design.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "eng/engine_font.h"

namespace velm::test {
namespace {

using platform::eng::DrawEngineGlyph;
using platform::eng::EngineGlyphBitmap;
using platform::eng::HexGlyphs;

bool Ink(const EngineGlyphBitmap& g, LONG x, LONG y) {
  return (g.bits[static_cast<size_t>(y) * ((g.width + 7) / 8) + x / 8] >> (7 - x % 8)) & 1;
}

std::set<std::pair<LONG, LONG>> InkedPixels(const EngineGlyphBitmap& g) {
  std::set<std::pair<LONG, LONG>> inked;
  for (LONG y = 0; y < g.height; ++y) {
    for (LONG x = 0; x < g.width; ++x) {
      if (Ink(g, x, y)) inked.insert({x, y});
    }
  }
  return inked;
}

TEST(EngineFontTest, HexLinesAreReadAndOthersSkipped) {
  const std::string sixteen(64, 'f');
  const std::string text = "0041:0000000018242442427E424242420000\n"
                           "4e00:" + sixteen + "\n"
                           "0044:00000000000000000000000000000080\r\n"
                           "1F600:0000000018242442427E424242420000\n"  // beyond the BMP
                           "0042:0018\n"                               // too short
                           "0043:Z000000018242442427E424242420000\n"   // not hex
                           ":0000000018242442427E424242420000\n"
                           "no colon\n"
                           "0045:0000000018242442427E42424242000000\n"  // 34 digits
                           "0046:0000000018242442427E424242420000";     // no line end
  const HexGlyphs glyphs = HexGlyphs::Read(text);
  EXPECT_EQ(glyphs.Count(), 4u);
  int columns = 0;
  const uint8_t* a = glyphs.Rows(u'A', &columns);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(columns, 8);
  EXPECT_EQ(a[4], 0x18);
  EXPECT_EQ(a[9], 0x7E);
  const uint8_t* one = glyphs.Rows(0x4E00, &columns);
  ASSERT_NE(one, nullptr);
  EXPECT_EQ(columns, 16);
  EXPECT_EQ(one[31], 0xFF);
  const uint8_t* d = glyphs.Rows(u'D', &columns);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d[15], 0x80);
  EXPECT_NE(glyphs.Rows(u'F', nullptr), nullptr);
  for (char16_t missing : {u'B', u'C', u'E', char16_t{0xF600}}) EXPECT_EQ(glyphs.Rows(missing, nullptr), nullptr);
  EXPECT_EQ(HexGlyphs::Read("").Rows(u'A', nullptr), nullptr);
}

TEST(EngineFontTest, GlyphsTakeTheirSizeAtAnyCellHeight) {
  struct Case {
    char16_t c;
    LONG height;
    LONG width, rows, top, advance;
  };
  // ASCII: 5 x 7 ink of a 6 x 8 cell; unifont: the whole cell, 6 units a half-width character
  // and 12 a full-width one; lengths rounded half up.
  const Case cases[] = {
      {u'I', 8, 5, 7, -7, 6},       {u'I', 16, 10, 14, -14, 12},   {u'I', 20, 13, 18, -18, 15},
      {u'I', 12, 8, 11, -11, 9},    {u'I', 1, 1, 1, -1, 1},        {u'I', 4000, 320, 448, -448, 384},
      {0x4E00, 20, 30, 20, -18, 30}, {0xFF70, 20, 15, 20, -18, 15}, {0xFF70, 8, 6, 8, -7, 6},
  };
  for (const Case& c : cases) {
    EngineGlyphBitmap g;
    ASSERT_TRUE(DrawEngineGlyph(c.c, c.height, &g)) << int(c.c) << " at " << c.height;
    EXPECT_EQ(g.width, c.width) << int(c.c) << " at " << c.height;
    EXPECT_EQ(g.height, c.rows) << int(c.c) << " at " << c.height;
    EXPECT_EQ(g.top, c.top) << int(c.c) << " at " << c.height;
    EXPECT_EQ(g.advance, c.advance) << int(c.c) << " at " << c.height;
    EXPECT_EQ(platform::eng::EngineGlyphAdvance(c.c, c.height), c.advance);
  }
  EngineGlyphBitmap g;
  for (char16_t none : {char16_t{0x07}, char16_t{0x7F}, char16_t{0x85}, char16_t{0xD800}}) {
    EXPECT_FALSE(DrawEngineGlyph(none, 16, &g)) << int(none);
    EXPECT_EQ(platform::eng::EngineGlyphAdvance(none, 16), 0);
  }
}

// Unifont's U+4E00 is row 7 with columns 0..14 inked; U+FF70 row 6 column 1 and row 7 columns
// 2..7. At a cell of 20 pixels, pixel row y shows design row (2y + 1) * 16 / 40 and pixel
// column x design column (2x + 1) * 16 / 60 (full-width) or (2x + 1) * 8 / 30 (half-width).
TEST(EngineFontTest, ScaledGlyphsTakeTheDesignPixelUnderEachPixelCentre) {
  EngineGlyphBitmap one, bar;
  ASSERT_TRUE(DrawEngineGlyph(0x4E00, 20, &one));
  ASSERT_TRUE(DrawEngineGlyph(0xFF70, 20, &bar));
  std::set<std::pair<LONG, LONG>> expected;
  for (LONG x = 0; x <= 27; ++x) expected.insert({x, 9});
  EXPECT_EQ(InkedPixels(one), expected);
  expected = {{2, 7}, {3, 7}, {2, 8}, {3, 8}};
  for (LONG x = 4; x <= 14; ++x) expected.insert({x, 9});
  EXPECT_EQ(InkedPixels(bar), expected);
}

// Where every design pixel is whole pixels (ASCII's 5 x 7 at a multiple of 8, unifont's 16 rows
// and 8 columns at a multiple of 32), doubling the height doubles every pixel.
TEST(EngineFontTest, DoublingAWholeScaleDoublesEveryPixel) {
  for (char16_t c : {u'A', u'g', u'%', char16_t{0xFF71}, char16_t{0x6F22}}) {
    EngineGlyphBitmap small, large;
    ASSERT_TRUE(DrawEngineGlyph(c, 32, &small));
    ASSERT_TRUE(DrawEngineGlyph(c, 64, &large));
    ASSERT_EQ(large.width, 2 * small.width);
    ASSERT_EQ(large.height, 2 * small.height);
    for (LONG y = 0; y < large.height; ++y) {
      for (LONG x = 0; x < large.width; ++x) {
        ASSERT_EQ(Ink(large, x, y), Ink(small, x / 2, y / 2)) << int(c) << " " << x << "," << y;
      }
    }
  }
}

}  // namespace
}  // namespace velm::test

TEST(EngineFontTest, TheStatedSetLeavesOutControlsSurrogatesAndNonCharacters) {
  const std::pair<char16_t, bool> cases[] = {{u' ', true},     {u'~', true},     {0x7F, false},  {0x9F, false},
                                             {0xA0, true},     {0x6F22, true},   {0xD800, false}, {0xDFFF, false},
                                             {0xFFFD, true},   {0xFFFE, false},  {0x1F, false}};
  for (const auto& [c, stated] : cases) EXPECT_EQ(velm::platform::eng::EngineFontStates(c), stated) << int{c};
}
