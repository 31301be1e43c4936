#include <gtest/gtest.h>

#include <algorithm>

#include "eng_test_support.h"

namespace velm::test {
namespace {

using EngTextTest = EngTest;

TEST_F(EngTextTest, TheEngineFontGivesScaledGlyphBitsAndMetrics) {
  FONTOBJ* font = platform::CreateEngineFontObj(16, 300);  // scale 2
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(font->flFontType & FO_TYPE_RASTER, FO_TYPE_RASTER);
  EXPECT_EQ(font->iFace, 0u);
  HGLYPH hg = 'I';
  PVOID data = nullptr;
  ASSERT_EQ(FONTOBJ_cGetGlyphs(font, FO_GLYPHBITS, 1, &hg, &data), 1u);
  const auto* glyph = static_cast<GLYPHDATA*>(data);
  EXPECT_EQ(glyph->hg, 'I');
  EXPECT_EQ(glyph->fxD, 12 * 16);
  EXPECT_EQ(glyph->ptqD.x.u.HighPart, 12 * 16);
  const GLYPHBITS* bits = glyph->gdf.pgb;
  EXPECT_EQ(bits->sizlBitmap.cx, 10);
  EXPECT_EQ(bits->sizlBitmap.cy, 14);
  EXPECT_EQ(bits->ptlOrigin.y, -14);
  // 'I' is a vertical bar in columns 2 (scaled: 4 and 5) with serifs top and bottom.
  EXPECT_EQ(bits->aj[2 * 7], 0x0C);   // row 7 of stride 2: pixels 4 and 5
  EXPECT_EQ(bits->aj[0], 0x3F);       // top serif: columns 1..3 scaled to pixels 2..7
  // A full-width character fills two cells of 6 x 8 units; a control character has no glyph.
  hg = 0x3042;
  ASSERT_EQ(FONTOBJ_cGetGlyphs(font, FO_GLYPHBITS, 1, &hg, &data), 1u);
  EXPECT_EQ(static_cast<GLYPHDATA*>(data)->fxD, 24 * 16);
  EXPECT_EQ(static_cast<GLYPHDATA*>(data)->gdf.pgb->sizlBitmap.cx, 24);
  EXPECT_EQ(static_cast<GLYPHDATA*>(data)->gdf.pgb->sizlBitmap.cy, 16);
  EXPECT_EQ(static_cast<GLYPHDATA*>(data)->gdf.pgb->ptlOrigin.y, -14);
  hg = 0x0007;
  EXPECT_EQ(FONTOBJ_cGetGlyphs(font, FO_GLYPHBITS, 1, &hg, &data), 0u);
  const IFIMETRICS* ifi = FONTOBJ_pifi(font);
  ASSERT_NE(ifi, nullptr);
  EXPECT_EQ(ifi->fwdUnitsPerEm, 8);
  EXPECT_EQ(ifi->flInfo & (FM_INFO_CONSTANT_WIDTH | FM_INFO_DBCS_FIXED_PITCH), FM_INFO_DBCS_FIXED_PITCH);
  EXPECT_EQ(ifi->fwdMaxCharInc, 12);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(reinterpret_cast<const BYTE*>(ifi) + ifi->dpwszFaceName)),
            u"Engine Mono");
  XFORML m;
  EXPECT_EQ(XFORMOBJ_iGetXform(FONTOBJ_pxoGetXform(font), &m), GX_SCALE);
  EXPECT_EQ(m.eM11, 2.0f);
  std::vector<HGLYPH> handles(FONTOBJ_cGetAllGlyphHandles(font, nullptr));
  ASSERT_GT(handles.size(), 95u);
  EXPECT_EQ(FONTOBJ_cGetAllGlyphHandles(font, handles.data()), handles.size());
  for (HGLYPH present : {HGLYPH{' '}, HGLYPH{'~'}, HGLYPH{0xFF71}, HGLYPH{0x6F22}}) {
    EXPECT_TRUE(std::binary_search(handles.begin(), handles.end(), present)) << present;
  }
  for (HGLYPH absent : {HGLYPH{0x1F}, HGLYPH{0x7F}, HGLYPH{0x85}, HGLYPH{0xD800}}) {
    EXPECT_FALSE(std::binary_search(handles.begin(), handles.end(), absent)) << absent;
  }
  platform::DeleteFontObj(font);
}

TEST_F(EngTextTest, AGlyphOutlineFillsExactlyItsBits) {
  FONTOBJ* font = platform::CreateEngineFontObj(8, 300);
  Bitmap fromBits(8, 8, BMF_8BPP), fromPath(8, 8, BMF_8BPP);
  for (HGLYPH hg : {HGLYPH{'A'}, HGLYPH{'g'}, HGLYPH{'%'}}) {
    PVOID data = nullptr;
    ASSERT_EQ(FONTOBJ_cGetGlyphs(font, FO_GLYPHBITS, 1, &hg, &data), 1u);
    const GLYPHBITS* bits = static_cast<GLYPHDATA*>(data)->gdf.pgb;
    fromBits.Fill(0);
    fromPath.Fill(0);
    for (LONG y = 0; y < bits->sizlBitmap.cy; ++y) {
      for (LONG x = 0; x < bits->sizlBitmap.cx; ++x) {
        if ((bits->aj[y] >> (7 - x)) & 1) fromBits.Put(x, y, 1);
      }
    }
    ASSERT_EQ(FONTOBJ_cGetGlyphs(font, FO_PATHOBJ, 1, &hg, &data), 1u);
    PATHOBJ* outline = static_cast<GLYPHDATA*>(data)->gdf.ppo;
    // The outline sits on the baseline: move it down by the ascent to compare.
    PATHOBJ* moved = EngCreatePath();
    PATHDATA record;
    PATHOBJ_vEnumStart(outline);
    BOOL more;
    do {
      more = PATHOBJ_bEnum(outline, &record);
      for (ULONG i = 0; i < record.count; ++i) {
        POINTFIX p{record.pptfx[i].x, record.pptfx[i].y + 7 * 16};
        if (i == 0 && (record.flags & PD_BEGINSUBPATH)) PATHOBJ_bMoveTo(moved, p);
        else PATHOBJ_bPolyLineTo(moved, &p, 1);
      }
      if (record.flags & PD_CLOSEFIGURE) PATHOBJ_bCloseFigure(moved);
    } while (more);
    BRUSHOBJ* brush = platform::CreateSolidBrushObj(1);
    ASSERT_TRUE(EngFillPath(fromPath.so(), moved, nullptr, brush, nullptr, R2_COPYPEN, FP_WINDINGMODE));
    for (LONG y = 0; y < 8; ++y) {
      for (LONG x = 0; x < 8; ++x) EXPECT_EQ(fromPath.Get(x, y), fromBits.Get(x, y)) << char(hg) << x << "," << y;
    }
    platform::DeleteBrushObj(brush);
    EngDeletePath(moved);
  }
  platform::DeleteFontObj(font);
}

TEST_F(EngTextTest, StringsHandOutPositionsInBatches) {
  FONTOBJ* font = platform::CreateEngineFontObj(8, 300);
  STROBJ* whole = platform::CreateStrObj(font, u"Hello", POINTL{10, 20});
  EXPECT_NE(whole->pgp, nullptr);
  EXPECT_EQ(whole->cGlyphs, 5u);
  EXPECT_EQ(whole->ulCharInc, 6u);
  EXPECT_EQ(whole->flAccel, SO_FLAG_DEFAULT_PLACEMENT | SO_HORIZONTAL);
  EXPECT_EQ(whole->rclBkGround.top, 13);
  EXPECT_EQ(whole->rclBkGround.right, 40);
  EXPECT_EQ(whole->pgp[4].ptl.x, 34);
  EXPECT_EQ(whole->pgp[4].hg, HGLYPH{'o'});
  ASSERT_NE(whole->pgp[0].pgdf, nullptr);
  EXPECT_EQ(whole->pgp[0].pgdf->pgb->sizlBitmap.cx, 5);

  STROBJ* batched = platform::CreateStrObj(font, u"Hello", POINTL{0, 0}, 2);
  EXPECT_EQ(batched->pgp, nullptr);
  std::vector<ULONG> counts;
  std::vector<LONG> xs;
  STROBJ_vEnumStart(batched);
  BOOL more;
  do {
    ULONG count;
    GLYPHPOS* positions;
    more = STROBJ_bEnum(batched, &count, &positions);
    counts.push_back(count);
    for (ULONG i = 0; i < count; ++i) xs.push_back(positions[i].ptl.x);
  } while (more);
  EXPECT_EQ(counts, (std::vector<ULONG>{2, 2, 1}));
  EXPECT_EQ(xs, (std::vector<LONG>{0, 6, 12, 18, 24}));
  platform::DeleteStrObj(whole);
  platform::DeleteStrObj(batched);
  platform::DeleteFontObj(font);
}

TEST_F(EngTextTest, TextOutDrawsGlyphsOverTheOpaqueRectangle) {
  FONTOBJ* font = platform::CreateEngineFontObj(8, 300);
  STROBJ* text = platform::CreateStrObj(font, u"-", POINTL{2, 10});
  Bitmap target(12, 12, BMF_24BPP);
  BRUSHOBJ* ink = platform::CreateSolidBrushObj(0x0000FF);
  BRUSHOBJ* paper = platform::CreateSolidBrushObj(0xFFFF00);
  RECTL opaque = text->rclBkGround;
  RECTL extra[2] = {{0, 11, 12, 12}, {0, 0, 0, 0}};
  ASSERT_TRUE(EngTextOut(target.so(), text, font, nullptr, extra, &opaque, ink, paper, nullptr, R2_COPYPEN));
  // '-' is row 3 of the glyph, columns 0..4: y = 10 - 7 + 3.
  EXPECT_EQ(target.Count(0x0000FF, RECTL{2, 6, 7, 7}), 5);
  EXPECT_EQ(target.Get(2, 5), 0xFFFF00u);
  EXPECT_EQ(target.Get(1, 6), 0u);
  EXPECT_EQ(target.Count(0x0000FF, RECTL{0, 11, 12, 12}), 12);  // the underline
  platform::DeleteBrushObj(ink);
  platform::DeleteBrushObj(paper);
  platform::DeleteStrObj(text);
  platform::DeleteFontObj(font);
}

TEST_F(EngTextTest, DeviceFontsHaveMetricsButNoEngineGlyphs) {
  IFIMETRICS ifi{};
  ifi.fwdUnitsPerEm = 1000;
  ifi.fwdAveCharWidth = 600;
  ifi.fwdWinAscender = 800;
  FONTOBJ* font = platform::CreateDeviceFontObj(3, &ifi, XFORML{0.02f, 0, 0, 0.02f, 0, 0}, 600);
  EXPECT_EQ(font->iFace, 3u);
  EXPECT_EQ(font->flFontType & FO_TYPE_DEVICE, FO_TYPE_DEVICE);
  EXPECT_EQ(FONTOBJ_pifi(font), &ifi);
  HGLYPH hg = 'A';
  PVOID data = nullptr;
  EXPECT_EQ(FONTOBJ_cGetGlyphs(font, FO_GLYPHBITS, 1, &hg, &data), 0u);
  STROBJ* text = platform::CreateStrObj(font, u"AB", POINTL{0, 100});
  EXPECT_EQ(text->pgp[1].ptl.x, 12);
  EXPECT_EQ(text->pgp[1].hg, HGLYPH{'B'});
  EXPECT_EQ(text->pgp[1].pgdf, nullptr);
  EXPECT_EQ(text->rclBkGround.top, 84);
  platform::DeleteStrObj(text);
  platform::DeleteFontObj(font);
}

// Double-byte characters of a Shift-JIS font with double-byte fixed pitch step two cells; a
// string of mixed steps carries no ulCharInc. The engine font's full-width glyphs do the same.
TEST_F(EngTextTest, FullWidthCharactersStepTwoCells) {
  IFIMETRICS ifi{};
  ifi.fwdUnitsPerEm = 1000;
  ifi.fwdAveCharWidth = 750;
  ifi.fwdWinAscender = 875;
  ifi.jWinCharSet = SHIFTJIS_CHARSET;
  ifi.flInfo = FM_INFO_DBCS_FIXED_PITCH;
  FONTOBJ* device = platform::CreateDeviceFontObj(1, &ifi, XFORML{0.02f, 0, 0, 0.02f, 0, 0}, 600);
  FONTOBJ* engine = platform::CreateEngineFontObj(20, 600);
  struct Case {
    FONTOBJ* font;
    const char16_t* text;
    std::vector<LONG> xs;
    ULONG charInc;
  };
  const Case cases[] = {
      {device, u"A\xFF71\x6F22" u"B", {0, 15, 30, 60}, 0},  // ASCII and half-width katakana one cell
      {device, u"AB", {0, 15}, 15},
      {engine, u"A\xFF71\x6F22" u"B", {0, 15, 30, 60}, 0},
      {engine, u"\x6F22\x5B57", {0, 30}, 30},
  };
  for (const Case& c : cases) {
    STROBJ* text = platform::CreateStrObj(c.font, c.text, POINTL{0, 100});
    ASSERT_NE(text, nullptr);
    std::vector<LONG> xs;
    for (ULONG i = 0; i < text->cGlyphs; ++i) xs.push_back(text->pgp[i].ptl.x);
    EXPECT_EQ(xs, c.xs) << (c.font == device ? "device" : "engine");
    EXPECT_EQ(text->ulCharInc, c.charInc) << (c.font == device ? "device" : "engine");
    platform::DeleteStrObj(text);
  }
  platform::DeleteFontObj(device);
  platform::DeleteFontObj(engine);
}

}  // namespace
}  // namespace velm::test
