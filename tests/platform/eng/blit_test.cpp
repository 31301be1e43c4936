#include <gtest/gtest.h>

#include <functional>

#include "core/winerror.h"
#include "eng_test_support.h"

namespace velm::test {
namespace {

using EngBlitTest = EngTest;

struct RopCase {
  ROP4 rop4;
  std::function<ULONG(ULONG p, ULONG s, ULONG d)> expected;
};

const std::vector<RopCase>& RopCases() {
  static const std::vector<RopCase> cases = {
      {0xCCCC, [](ULONG, ULONG s, ULONG) { return s; }},          // SRCCOPY
      {0xF0F0, [](ULONG p, ULONG, ULONG) { return p; }},          // PATCOPY
      {0x0000, [](ULONG, ULONG, ULONG) { return 0u; }},           // BLACKNESS
      {0xFFFF, [](ULONG, ULONG, ULONG) { return ~0u; }},          // WHITENESS
      {0x8888, [](ULONG, ULONG s, ULONG d) { return s & d; }},    // SRCAND
      {0xEEEE, [](ULONG, ULONG s, ULONG d) { return s | d; }},    // SRCPAINT
      {0x6666, [](ULONG, ULONG s, ULONG d) { return s ^ d; }},    // SRCINVERT
      {0x5A5A, [](ULONG p, ULONG, ULONG d) { return p ^ d; }},    // PATINVERT
      {0x5555, [](ULONG, ULONG, ULONG d) { return ~d; }},         // DSTINVERT
      {0xB8B8, [](ULONG p, ULONG s, ULONG d) { return (s & d) | (~s & p); }},  // D where S, else P
      {0xE2E2, [](ULONG p, ULONG s, ULONG d) { return (s & p) | (~s & d); }},  // P where S, else D
  };
  return cases;
}

TEST_F(EngBlitTest, Rop3sCombinePatternSourceAndTargetOn24Bpp) {
  const ULONG p = 0x00F0F00F, s = 0x00CC33AA, d = 0x00AAAA55;
  for (const RopCase& c : RopCases()) {
    Bitmap target(6, 3, BMF_24BPP), source(6, 3, BMF_24BPP);
    target.Fill(d);
    source.Fill(s);
    BRUSHOBJ* brush = platform::CreateSolidBrushObj(p);
    RECTL rect{1, 1, 5, 2};
    POINTL at{0, 0};
    ASSERT_TRUE(EngBitBlt(target.so(), source.so(), nullptr, nullptr, nullptr, &rect, &at, nullptr, brush, nullptr,
                          c.rop4));
    EXPECT_EQ(target.Get(1, 1), c.expected(p, s, d) & 0xFFFFFF) << std::hex << c.rop4;
    EXPECT_EQ(target.Get(4, 1), c.expected(p, s, d) & 0xFFFFFF);
    EXPECT_EQ(target.Get(0, 1), d);  // outside the rectangle
    EXPECT_EQ(target.Get(5, 1), d);
    EXPECT_EQ(target.Get(2, 0), d);
    platform::DeleteBrushObj(brush);
  }
}

TEST_F(EngBlitTest, Rop3sOn1BppTouchOnlyTheBitsOfTheRectangle) {
  for (const RopCase& c : RopCases()) {
    Bitmap target(24, 2, BMF_1BPP), source(24, 2, BMF_1BPP);
    for (LONG x = 0; x < 24; ++x) {
      target.Put(x, 0, (x / 2) & 1);
      source.Put(x, 0, x & 1);
    }
    BRUSHOBJ* brush = platform::CreateSolidBrushObj(1);
    RECTL rect{3, 0, 13, 1};
    POINTL at{3, 0};
    ASSERT_TRUE(EngBitBlt(target.so(), source.so(), nullptr, nullptr, nullptr, &rect, &at, nullptr, brush, nullptr,
                          c.rop4));
    for (LONG x = 0; x < 24; ++x) {
      const ULONG d = (x / 2) & 1, s = x & 1;
      const ULONG want = x >= 3 && x < 13 ? c.expected(1, s, d) & 1 : d;
      EXPECT_EQ(target.Get(x, 0), want) << std::hex << c.rop4 << " x=" << std::dec << x;
    }
    platform::DeleteBrushObj(brush);
  }
}

TEST_F(EngBlitTest, Rop4TakesTheLowRopWhereTheMaskIsSetAndTheHighRopElsewhere) {
  Bitmap target(8, 1, BMF_24BPP), source(8, 1, BMF_24BPP), mask(8, 1, BMF_1BPP);
  target.Fill(0x111111);
  source.Fill(0x222222);
  mask.Row(0)[0] = 0xA5;  // 1 0 1 0 0 1 0 1
  RECTL rect{0, 0, 8, 1};
  POINTL zero{0, 0};
  ASSERT_TRUE(EngBitBlt(target.so(), source.so(), mask.so(), nullptr, nullptr, &rect, &zero, &zero, nullptr, nullptr,
                        0xAACC));
  const ULONG expected[8] = {0x222222, 0x111111, 0x222222, 0x111111, 0x111111, 0x222222, 0x111111, 0x222222};
  for (LONG x = 0; x < 8; ++x) EXPECT_EQ(target.Get(x, 0), expected[x]) << x;
  // A ROP4 that needs a mask without one is refused.
  EXPECT_FALSE(EngBitBlt(target.so(), source.so(), nullptr, nullptr, nullptr, &rect, &zero, nullptr, nullptr, nullptr,
                         0xAACC));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(EngBlitTest, SourcesReachTheTargetThroughTheTranslation) {
  const ULONG blackWhite[2] = {RGB(0, 0, 0), RGB(255, 255, 255)};
  const HPALETTE mono = EngCreatePalette(PAL_INDEXED, 2, const_cast<ULONG*>(blackWhite), 0, 0, 0);
  const HPALETTE bgr = EngCreatePalette(PAL_BGR, 0, nullptr, 0, 0, 0);
  Bitmap one(4, 1, BMF_1BPP), colour(4, 1, BMF_24BPP);
  one.Row(0)[0] = 0x50;  // 0 1 0 1
  XLATEOBJ* up = platform::CreateXlate(mono, bgr);
  ASSERT_NE(up, nullptr);
  EXPECT_EQ(up->flXlate & XO_TABLE, XO_TABLE);
  RECTL rect{0, 0, 4, 1};
  POINTL zero{0, 0};
  ASSERT_TRUE(EngCopyBits(colour.so(), one.so(), nullptr, up, &rect, &zero));
  EXPECT_EQ(colour.Get(0, 0), 0x000000u);
  EXPECT_EQ(colour.Get(1, 0), 0xFFFFFFu);

  // Down to 1 bit by the nearest palette entry.
  colour.Put(0, 0, 0x303030);
  colour.Put(1, 0, 0xD0D0D0);
  colour.Put(2, 0, 0xFF0000);
  colour.Put(3, 0, 0x00FFFF);
  XLATEOBJ* down = platform::CreateXlate(bgr, mono);
  EXPECT_EQ(down->flXlate & (XO_TABLE | XO_TRIVIAL), 0u);
  ASSERT_TRUE(EngCopyBits(one.so(), colour.so(), nullptr, down, &rect, &zero));
  EXPECT_EQ(one.Row(0)[0] & 0xF0, 0x50);
  platform::DeleteXlate(up);
  platform::DeleteXlate(down);
  EngDeletePalette(mono);
  EngDeletePalette(bgr);
}

TEST_F(EngBlitTest, ClipRegionsLimitEveryPixel) {
  Bitmap target(10, 6, BMF_8BPP);
  const RECTL rects[2] = {{1, 1, 3, 5}, {6, 0, 9, 2}};
  CLIPOBJ* clip = platform::CreateRegionClip(rects, 2);
  ASSERT_EQ(clip->iDComplexity, DC_COMPLEX);
  BRUSHOBJ* brush = platform::CreateSolidBrushObj(7);
  RECTL all{0, 0, 10, 6};
  ASSERT_TRUE(EngBitBlt(target.so(), nullptr, nullptr, clip, nullptr, &all, nullptr, nullptr, brush, nullptr, 0xF0F0));
  EXPECT_EQ(target.Count(7, all), 2 * 4 + 3 * 2);
  EXPECT_EQ(target.Count(7, RECTL{1, 1, 3, 5}), 8);
  EXPECT_EQ(target.Count(7, RECTL{6, 0, 9, 2}), 6);
  // A rectangular clip clips to its bounds.
  CLIPOBJ* rect = platform::CreateRegionClip(rects, 1);
  EXPECT_EQ(rect->iDComplexity, DC_RECT);
  target.Fill(0);
  ASSERT_TRUE(EngBitBlt(target.so(), nullptr, nullptr, rect, nullptr, &all, nullptr, nullptr, brush, nullptr, 0xF0F0));
  EXPECT_EQ(target.Count(7, all), 8);
  EngDeleteClip(clip);
  EngDeleteClip(rect);
  platform::DeleteBrushObj(brush);
}

TEST_F(EngBlitTest, OverlappingCopiesReadTheSourceBeforeWriting) {
  Bitmap bitmap(8, 3, BMF_8BPP);
  for (LONG y = 0; y < 3; ++y) {
    for (LONG x = 0; x < 8; ++x) bitmap.Put(x, y, static_cast<ULONG>(10 * y + x));
  }
  RECTL rect{1, 1, 8, 3};
  POINTL from{0, 0};
  ASSERT_TRUE(EngCopyBits(bitmap.so(), bitmap.so(), nullptr, nullptr, &rect, &from));
  for (LONG x = 1; x < 8; ++x) {
    EXPECT_EQ(bitmap.Get(x, 1), static_cast<ULONG>(x - 1));
    EXPECT_EQ(bitmap.Get(x, 2), static_cast<ULONG>(10 + x - 1));
  }
}

TEST_F(EngBlitTest, PixelsWhoseSourceLiesOutsideTheSourceAreLeftAlone) {
  Bitmap target(8, 8, BMF_8BPP), source(4, 4, BMF_8BPP);
  source.Fill(9);
  RECTL rect{0, 0, 8, 8};
  POINTL from{2, -1};
  ASSERT_TRUE(EngCopyBits(target.so(), source.so(), nullptr, nullptr, &rect, &from));
  EXPECT_EQ(target.Count(9, rect), 2 * 4);  // source columns 2..3, rows 0..3
  EXPECT_EQ(target.Get(0, 1), 9u);
  EXPECT_EQ(target.Get(0, 0), 0u);
}

TEST_F(EngBlitTest, PatternBrushesRepeatFromTheBrushOrigin) {
  Bitmap target(16, 16, BMF_24BPP);
  BRUSHOBJ* hatch = platform::CreateHatchBrushObj(HS_HORIZONTAL, 0x0000FF, 0xFFFFFF, target.so());
  ASSERT_EQ(hatch->iSolidColor, 0xFFFFFFFFu);
  RECTL all{0, 0, 16, 16};
  POINTL origin{0, 2};
  ASSERT_TRUE(EngBitBlt(target.so(), nullptr, nullptr, nullptr, nullptr, &all, nullptr, nullptr, hatch, &origin, 0xF0F0));
  // The hatch line is row 4 of the pattern: rows 6 and 14 here.
  for (LONG y = 0; y < 16; ++y) {
    EXPECT_EQ(target.Get(5, y), (y == 6 || y == 14) ? 0x0000FFu : 0xFFFFFFu) << y;
  }
  platform::DeleteBrushObj(hatch);
}

TEST_F(EngBlitTest, MissingOperandsAreRefused) {
  Bitmap target(4, 4, BMF_8BPP);
  RECTL rect{0, 0, 4, 4};
  SetLastError(0);
  EXPECT_FALSE(EngBitBlt(target.so(), nullptr, nullptr, nullptr, nullptr, &rect, nullptr, nullptr, nullptr, nullptr,
                         0xCCCC));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(EngBitBlt(target.so(), nullptr, nullptr, nullptr, nullptr, &rect, nullptr, nullptr, nullptr, nullptr,
                         0xF0F0));
  EXPECT_TRUE(EngBitBlt(target.so(), nullptr, nullptr, nullptr, nullptr, &rect, nullptr, nullptr, nullptr, nullptr,
                        0x0000));  // BLACKNESS needs nothing
}

TEST_F(EngBlitTest, PaintFillsTheClipWithTheMix) {
  Bitmap target(6, 2, BMF_8BPP);
  target.Fill(0x0F);
  const RECTL area{2, 0, 4, 2};
  CLIPOBJ* clip = platform::CreateRegionClip(&area, 1);
  BRUSHOBJ* brush = platform::CreateSolidBrushObj(0xF0);
  ASSERT_TRUE(EngPaint(target.so(), clip, brush, nullptr, R2_XORPEN | (R2_XORPEN << 8)));
  EXPECT_EQ(target.Count(0xFF, RECTL{0, 0, 6, 2}), 4);
  EXPECT_EQ(target.Get(1, 0), 0x0Fu);
  EngDeleteClip(clip);
  platform::DeleteBrushObj(brush);
}

}  // namespace
}  // namespace velm::test
