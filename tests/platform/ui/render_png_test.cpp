// The PNG encoder against bytes worked out independently (zlib's crc32 and adler32), and the
// file it writes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ui/png_writer.h"

namespace velm::ui {
namespace {

const BYTE* Bytes(const char* text) { return reinterpret_cast<const BYTE*>(text); }

DWORD BigEndianAt(const std::vector<BYTE>& bytes, size_t at) {
  return (DWORD(bytes[at]) << 24) | (DWORD(bytes[at + 1]) << 16) | (DWORD(bytes[at + 2]) << 8) | bytes[at + 3];
}

TEST(RenderPngTest, ChecksumsMatchTheirPublishedCheckValues) {
  EXPECT_EQ(PngCrc32(Bytes("123456789"), 9), 0xCBF43926u);
  EXPECT_EQ(PngCrc32(Bytes("IEND"), 4), 0xAE426082u);
  EXPECT_EQ(PngCrc32(nullptr, 0), 0u);
  EXPECT_EQ(ZlibAdler32(Bytes("Wikipedia"), 9), 0x11E60398u);
  EXPECT_EQ(ZlibAdler32(nullptr, 0), 1u);
}

TEST(RenderPngTest, ATwoPixelImageIsByteForByteTheExpectedFile) {
  const std::vector<BYTE> png = EncodePng(2, 1, {255, 0, 0, 0, 0, 255});
  const std::vector<BYTE> expected = {
      0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A,
      // IHDR: 13 bytes, 2 x 1, depth 8, colour type 2, deflate, filter 0, no interlace.
      0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0, 2, 0, 0, 0, 1, 8, 2, 0, 0, 0, 0x7B, 0x40, 0xE8, 0xDD,
      // IDAT: a zlib stream of one final stored block of the 7 filtered bytes.
      0, 0, 0, 18, 'I', 'D', 'A', 'T', 0x78, 0x01, 0x01, 0x07, 0x00, 0xF8, 0xFF, 0x00, 0xFF, 0x00, 0x00, 0x00,
      0x00, 0xFF, 0x07, 0x00, 0x01, 0xFF, 0x55, 0x36, 0xBA, 0xC7,
      // IEND.
      0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
  EXPECT_EQ(png, expected);
}

TEST(RenderPngTest, LargeDataIsSplitIntoStoredBlocksOfAtMost65535Bytes) {
  std::vector<BYTE> data(70144);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<BYTE>(i);
  const std::vector<BYTE> stream = ZlibStore(data.data(), data.size());
  ASSERT_EQ(stream.size(), 2 + 5 + 65535 + 5 + 4609 + 4u);
  EXPECT_EQ(stream[2], 0);  // not the last block
  EXPECT_EQ(stream[3] | (stream[4] << 8), 65535);
  EXPECT_EQ(stream[5] | (stream[6] << 8), 0);
  const size_t second = 2 + 5 + 65535;
  EXPECT_EQ(stream[second], 1);
  EXPECT_EQ(stream[second + 1] | (stream[second + 2] << 8), 4609);
  EXPECT_EQ(stream[second + 3] | (stream[second + 4] << 8), 0xFFFF ^ 4609);
  EXPECT_EQ(stream[second + 5], data[65535]);
  EXPECT_EQ(BigEndianAt(stream, stream.size() - 4), 0x6FEB7EF9u);

  const std::vector<BYTE> empty = ZlibStore(nullptr, 0);
  EXPECT_EQ(empty, (std::vector<BYTE>{0x78, 0x01, 0x01, 0x00, 0x00, 0xFF, 0xFF, 0, 0, 0, 1}));
}

TEST(RenderPngTest, ImagesWithoutSidesOrPixelsAreRefused) {
  EXPECT_TRUE(EncodePng(0, 1, {}).empty());
  EXPECT_TRUE(EncodePng(2, 2, std::vector<BYTE>(11)).empty());
  const std::vector<BYTE> tall = EncodePng(1, 3, std::vector<BYTE>(9, 0x80));
  ASSERT_FALSE(tall.empty());
  EXPECT_EQ(BigEndianAt(tall, 16), 1u);  // width and height at their IHDR offsets
  EXPECT_EQ(BigEndianAt(tall, 20), 3u);
}

}  // namespace
}  // namespace velm::ui
