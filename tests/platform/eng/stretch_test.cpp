#include <gtest/gtest.h>

#include "eng_test_support.h"

namespace velm::test {
namespace {

using EngStretchTest = EngTest;

TEST_F(EngStretchTest, EnlargingRepeatsEachPixel) {
  Bitmap source(2, 2, BMF_8BPP), target(4, 4, BMF_8BPP);
  source.Put(0, 0, 1), source.Put(1, 0, 2), source.Put(0, 1, 3), source.Put(1, 1, 4);
  RECTL to{0, 0, 4, 4}, from{0, 0, 2, 2};
  ASSERT_TRUE(EngStretchBlt(target.so(), source.so(), nullptr, nullptr, nullptr, nullptr, nullptr, &to, &from, nullptr,
                            COLORONCOLOR));
  EXPECT_EQ(target.Count(1, RECTL{0, 0, 2, 2}), 4);
  EXPECT_EQ(target.Count(2, RECTL{2, 0, 4, 2}), 4);
  EXPECT_EQ(target.Count(4, RECTL{2, 2, 4, 4}), 4);
}

TEST_F(EngStretchTest, ShrinkingTakesTheNearestPixelAndExchangedEdgesMirror) {
  Bitmap source(4, 1, BMF_8BPP), target(2, 1, BMF_8BPP), mirror(4, 1, BMF_8BPP);
  for (LONG x = 0; x < 4; ++x) source.Put(x, 0, static_cast<ULONG>(10 + x));
  RECTL to{0, 0, 2, 1}, from{0, 0, 4, 1};
  ASSERT_TRUE(EngStretchBlt(target.so(), source.so(), nullptr, nullptr, nullptr, nullptr, nullptr, &to, &from, nullptr,
                            COLORONCOLOR));
  EXPECT_EQ(target.Get(0, 0), 11u);
  EXPECT_EQ(target.Get(1, 0), 13u);
  RECTL reversed{4, 0, 0, 1};
  ASSERT_TRUE(EngStretchBlt(mirror.so(), source.so(), nullptr, nullptr, nullptr, nullptr, nullptr, &reversed, &from,
                            nullptr, COLORONCOLOR));
  for (LONG x = 0; x < 4; ++x) EXPECT_EQ(mirror.Get(x, 0), static_cast<ULONG>(13 - x));
}

TEST_F(EngStretchTest, HalftoneDithersGreyIntoOneBit) {
  const ULONG blackWhite[2] = {RGB(0, 0, 0), RGB(255, 255, 255)};
  const HPALETTE mono = EngCreatePalette(PAL_INDEXED, 2, const_cast<ULONG*>(blackWhite), 0, 0, 0);
  const HPALETTE bgr = EngCreatePalette(PAL_BGR, 0, nullptr, 0, 0, 0);
  XLATEOBJ* xlate = platform::CreateXlate(bgr, mono);
  Bitmap grey(1, 1, BMF_24BPP), target(8, 8, BMF_1BPP);
  grey.Put(0, 0, 0x808080);
  RECTL to{0, 0, 8, 8}, from{0, 0, 1, 1};
  ASSERT_TRUE(EngStretchBlt(target.so(), grey.so(), nullptr, nullptr, xlate, nullptr, nullptr, &to, &from, nullptr,
                            HALFTONE));
  EXPECT_EQ(target.Count(1, to), 32);  // half the cells of the 4 x 4 dither
  ASSERT_TRUE(EngStretchBlt(target.so(), grey.so(), nullptr, nullptr, xlate, nullptr, nullptr, &to, &from, nullptr,
                            COLORONCOLOR));
  EXPECT_EQ(target.Count(1, to), 64);  // 0x80 is nearer to white than to black
  platform::DeleteXlate(xlate);
  EngDeletePalette(mono);
  EngDeletePalette(bgr);
}

TEST_F(EngStretchTest, StretchWithARopCombinesWithTheTarget) {
  Bitmap source(1, 1, BMF_8BPP), target(3, 3, BMF_8BPP);
  source.Put(0, 0, 0x0F);
  target.Fill(0x3C);
  RECTL to{0, 0, 3, 2}, from{0, 0, 1, 1};
  ASSERT_TRUE(EngStretchBltROP(target.so(), source.so(), nullptr, nullptr, nullptr, nullptr, nullptr, &to, &from,
                               nullptr, COLORONCOLOR, nullptr, 0x8888));
  EXPECT_EQ(target.Count(0x0C, RECTL{0, 0, 3, 3}), 6);
  EXPECT_EQ(target.Get(1, 2), 0x3Cu);
}

// 24-bit pixels stretched between palettes that keep them, and between two that swap red and
// blue, mirrored and cut by the target's edge: each target pixel is the source pixel at the
// centre of its cell, as the palettes translate it.
TEST_F(EngStretchTest, DeepPixelsKeepOrSwapTheirChannelsAsThePalettesSay) {
  struct Case {
    const char* name;
    FLONG sourceMode, targetMode;  // 0: no translation
    bool swapped;
  };
  const Case cases[] = {{"none", 0, 0, false},
                        {"BGR to BGR", PAL_BGR, PAL_BGR, false},
                        {"RGB to RGB", PAL_RGB, PAL_RGB, false},
                        {"BGR to RGB", PAL_BGR, PAL_RGB, true}};
  constexpr LONG kSw = 5, kSh = 3, kTw = 13, kTh = 7;
  Bitmap source(kSw, kSh, BMF_24BPP);
  for (LONG y = 0; y < kSh; ++y)
    for (LONG x = 0; x < kSw; ++x) source.Put(x, y, 0x100000 * (x + 1) + 0x0100 * (16 * y + 3) + 0x40 + x);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const HPALETTE from = c.sourceMode ? EngCreatePalette(c.sourceMode, 0, nullptr, 0, 0, 0) : nullptr;
    const HPALETTE to = c.targetMode ? EngCreatePalette(c.targetMode, 0, nullptr, 0, 0, 0) : nullptr;
    XLATEOBJ* xlate = from ? platform::CreateXlate(from, to) : nullptr;
    Bitmap target(kTw - 2, kTh, BMF_24BPP);  // the target rectangle runs two pixels past its right edge
    target.Fill(0xABCDEF);
    RECTL dest{kTw, 0, 0, kTh}, src{0, 0, kSw, kSh};  // mirrored left to right
    ASSERT_TRUE(EngStretchBlt(target.so(), source.so(), nullptr, nullptr, xlate, nullptr, nullptr, &dest, &src,
                              nullptr, COLORONCOLOR));
    for (LONG y = 0; y < kTh; ++y) {
      for (LONG x = 0; x < kTw - 2; ++x) {
        const LONG sx = kSw - 1 - (2 * x + 1) * kSw / (2 * kTw), sy = (2 * y + 1) * kSh / (2 * kTh);
        ULONG expected = source.Get(sx, sy);
        if (c.swapped) expected = (expected & 0x00FF00) | (expected >> 16) | ((expected & 0xFF) << 16);
        ASSERT_EQ(target.Get(x, y), expected) << x << "," << y;
      }
    }
    if (xlate) platform::DeleteXlate(xlate);
    if (to) EngDeletePalette(to);
    if (from) EngDeletePalette(from);
  }
}

}  // namespace
}  // namespace velm::test
