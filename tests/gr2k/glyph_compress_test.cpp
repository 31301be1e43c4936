// Glyph bitmaps coded by GlyphCompress expand back to themselves through the job renderer's
// decoder, and the coded bytes of small cases are worked out by hand.
#include "gr2k/glyph_compress.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "job_render.h"

namespace {

std::vector<BYTE> Code(const std::vector<BYTE>& bitmap, DWORD capacity) {
  std::vector<BYTE> out(capacity);
  out.resize(GlyphCompress(bitmap.data(), static_cast<DWORD>(bitmap.size()), out.data(), capacity));
  return out;
}

void ExpectRoundTrip(const std::vector<BYTE>& bitmap) {
  const std::vector<BYTE> coded = Code(bitmap, static_cast<DWORD>(bitmap.size() * 2 + 16));
  ASSERT_FALSE(coded.empty());
  std::vector<uint8_t> expanded;
  ASSERT_TRUE(velm::jobrender::ExpandGlyphBitmap(coded, bitmap.size(), &expanded));
  EXPECT_EQ(expanded, bitmap);
}

TEST(GlyphCompressTest, HandWorkedGroups) {
  struct Case {
    std::vector<BYTE> in;
    std::vector<BYTE> coded;
  } cases[] = {
      // Two zeros skipped, then three 0xFF repeated: 1 0010 010, 0xFF.
      {{0, 0, 0xFF, 0xFF, 0xFF}, {0x92, 0xFF}},
      // Literals 1 2, trailing zeros left out: 0 0000 001, 1, 2.
      {{1, 2, 0, 0, 0}, {0x01, 1, 2}},
      // 20 zeros skipped: field 15 continued by 5; one literal.
      {std::vector<BYTE>(20, 0), {}},
      // A repeat of 9: count field 7 continued by 1 (9 - 1 - 7).
      {std::vector<BYTE>(9, 0x3C), {0x87, 0x01, 0x3C}},
      // A repeat of 263 = 1 + 7 + 255: continued by 255 then 0.
      {std::vector<BYTE>(263, 0x11), {0x87, 0xFF, 0x00, 0x11}},
  };
  for (const Case& c : cases) EXPECT_EQ(Code(c.in, 64), c.coded);
  std::vector<BYTE> skipped(21, 0);
  skipped[20] = 7;
  EXPECT_EQ(Code(skipped, 64), (std::vector<BYTE>{0x78, 0x05, 7}));
}

TEST(GlyphCompressTest, RoundTripsThroughTheRendererDecoder) {
  std::mt19937 random(28);
  for (int n = 0; n < 200; ++n) {
    std::vector<BYTE> bitmap(1 + random() % 300);
    // Sparse ink, runs and noise, as glyph rows have.
    for (BYTE& b : bitmap) b = random() % 3 == 0 ? static_cast<BYTE>(random()) : (random() % 2 ? 0 : 0xFF);
    bitmap.back() = 0x80;
    ExpectRoundTrip(bitmap);
  }
  std::vector<BYTE> longRuns(2000, 0);
  for (size_t i = 300; i < 1400; ++i) longRuns[i] = 0xAA;  // > 255 repeated after > 255 zeros
  for (size_t i = 1700; i < 1708; ++i) longRuns[i] = static_cast<BYTE>(i);  // 8 literals (> 7)
  longRuns[1999] = 1;
  ExpectRoundTrip(longRuns);
}

TEST(GlyphCompressTest, ZerosOrNoRoomGiveZero) {
  const std::vector<BYTE> zeros(64, 0);
  EXPECT_TRUE(Code(zeros, 64).empty());
  std::vector<BYTE> noise(32);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<BYTE>(i * 37 + 1);
  EXPECT_TRUE(Code(noise, 32).empty());  // 32 literals need 32 + 1 + 1 bytes
  EXPECT_EQ(Code(noise, 34).size(), 34u);
}

}  // namespace
