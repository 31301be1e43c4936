// The PNG writer: the file's fixed header bytes, the pixels read back through libpng, real
// compression of a page-sized picture, and the images it refuses.
#include <gtest/gtest.h>

#include <string>

#include "ui/png_writer.h"

namespace velm::ui {
namespace {

DWORD BigEndianAt(const std::vector<BYTE>& bytes, size_t at) {
  return (DWORD(bytes[at]) << 24) | (DWORD(bytes[at + 1]) << 16) | (DWORD(bytes[at + 2]) << 8) | bytes[at + 3];
}

TEST(RenderPngTest, TheFileStartsWithTheSignatureAndAnRgbHeader) {
  const std::vector<BYTE> png = EncodePng(2, 1, {255, 0, 0, 0, 0, 255});
  ASSERT_GT(png.size(), 33u);
  const std::vector<BYTE> start(png.begin(), png.begin() + 29);
  const std::vector<BYTE> expected = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A,
                                      // IHDR: 13 bytes, 2 x 1, depth 8, colour type 2, deflate, filter 0, no interlace.
                                      0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0, 2, 0, 0, 0, 1, 8, 2, 0, 0, 0};
  EXPECT_EQ(start, expected);
  EXPECT_EQ(BigEndianAt(png, 29), 0x7B40E8DDu);  // the IHDR chunk's CRC-32
  const std::vector<BYTE> end(png.end() - 12, png.end());
  EXPECT_EQ(end, (std::vector<BYTE>{0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82}));
}

TEST(RenderPngTest, PixelsReadBackUnchanged) {
  std::vector<BYTE> rgb;
  for (int i = 0; i < 7 * 5 * 3; ++i) rgb.push_back(static_cast<BYTE>(i * 37));
  const std::vector<BYTE> png = EncodePng(7, 5, rgb);
  DWORD width = 0, height = 0;
  std::vector<BYTE> back;
  ASSERT_TRUE(DecodePng(png.data(), png.size(), &width, &height, &back));
  EXPECT_EQ(width, 7u);
  EXPECT_EQ(height, 5u);
  EXPECT_EQ(back, rgb);
}

TEST(RenderPngTest, APageOfMostlyWhiteIsCompressed) {
  // An A4 page at 300 dpi: 25 MB of pixels, white but for a black band.
  const DWORD width = 2480, height = 3508;
  std::vector<BYTE> rgb(static_cast<size_t>(width) * height * 3, 0xFF);
  std::fill(rgb.begin() + 1000 * width * 3, rgb.begin() + 1100 * width * 3, 0);
  const std::vector<BYTE> png = EncodePng(width, height, rgb);
  ASSERT_FALSE(png.empty());
  EXPECT_LT(png.size(), 200000u);
}

TEST(RenderPngTest, ImagesWithoutSidesOrPixelsAndDamagedFilesAreRefused) {
  EXPECT_TRUE(EncodePng(0, 1, {}).empty());
  EXPECT_TRUE(EncodePng(2, 2, std::vector<BYTE>(11)).empty());
  std::vector<BYTE> png = EncodePng(1, 3, std::vector<BYTE>(9, 0x80));
  ASSERT_FALSE(png.empty());
  EXPECT_EQ(BigEndianAt(png, 16), 1u);  // width and height at their IHDR offsets
  EXPECT_EQ(BigEndianAt(png, 20), 3u);
  DWORD width = 0, height = 0;
  std::vector<BYTE> back;
  EXPECT_FALSE(DecodePng(png.data(), png.size() - 20, &width, &height, &back));
  png[40] ^= 0xFF;
  EXPECT_FALSE(DecodePng(png.data(), png.size(), &width, &height, &back));
  EXPECT_FALSE(DecodePng(nullptr, 0, &width, &height, &back));
}

}  // namespace
}  // namespace velm::ui
