// Image records: the header, the palette, row padding, the two-byte carry of one-bit images with
// a palette, grey conversion, and rows reserved in pieces that may leave over several packets.
#include <vector>

#include <gtest/gtest.h>

#include "gr2k/image_record.h"
#include "stream_harness.h"

namespace {

using velm::test::kColourSettings;
using velm::test::StreamHarness;
using Bytes = std::vector<uint8_t>;

uint32_t At32(const Bytes& b, size_t o) {
  return b[o] | (b[o + 1] << 8) | (b[o + 2] << 16) | (uint32_t{b[o + 3]} << 24);
}

// The bytes the records of a flushed stream carry, packets joined.
Bytes RecordBytes(StreamHarness& h) {
  StrmFlush(h.stream());
  Bytes run;
  for (size_t at = 0; at < h.output.bytes.size();) {
    const uint32_t length = At32(h.output.bytes, at + 4);
    run.insert(run.end(), h.output.bytes.begin() + at + 8, h.output.bytes.begin() + at + 8 + length);
    at += 8 + length;
  }
  return run;
}

struct Bitmap {
  DWORD width, height, bits;
  Bytes memory;
  LONG stride;
  Bitmap(DWORD w, DWORD h, DWORD b) : width(w), height(h), bits(b) {
    stride = static_cast<LONG>((w * b + 31) / 32 * 4);
    memory.resize(static_cast<size_t>(stride) * h);
    for (size_t i = 0; i < memory.size(); ++i) memory[i] = static_cast<uint8_t>(i * 13 + 1);
  }
  const BYTE* Row(DWORD y) const { return memory.data() + static_cast<size_t>(stride) * y; }
};

ImageDescription ImageOf(const Bitmap& bitmap, DWORD format, const BYTE* palette = nullptr, DWORD paletteBytes = 0) {
  return {format, 100, 200, static_cast<LONG>(bitmap.width), static_cast<LONG>(bitmap.height), 0, 0,
          bitmap.width, bitmap.height, palette, paletteBytes, bitmap.memory.data(), bitmap.stride, nullptr};
}

TEST(ImageRecordTest, OneBitImageWithPaletteCarriesTwoBytesIntoTheHeader) {
  // 100 x 10 one-bit rows with palette: 56 + 6 + 10 * 16 = 222 bytes of content, length 224.
  Bitmap bitmap(100, 10, 1);
  const BYTE palette[6] = {0, 0, 0, 0xFF, 0xFF, 0xFF};
  StreamHarness h;
  ASSERT_TRUE(StrmEmitImage(h.stream(), kColourSettings, ImageOf(bitmap, 0x80, palette, 6)));
  // The header reservation holds the first two row bytes; the rows follow as one more piece.
  EXPECT_EQ(h.stream()->recordsBuffered, 2u);
  const Bytes record = RecordBytes(h);
  ASSERT_EQ(record.size(), 224u);
  EXPECT_EQ(Bytes(record.begin(), record.begin() + 8), (Bytes{0x20, 0x00, 0x80, 0x00, 224, 0, 0, 0}));
  const uint32_t header[] = {100, 200, 200, 210, 0, 0, 100, 10, 100, 200, 100, 10};
  for (size_t i = 0; i < 12; ++i) EXPECT_EQ(At32(record, 8 + 4 * i), header[i]) << "field at " << 8 + 4 * i;
  EXPECT_EQ(Bytes(record.begin() + 56, record.begin() + 62), Bytes(palette, palette + 6));
  for (DWORD y = 0; y < 10; ++y) {
    EXPECT_EQ(Bytes(record.begin() + 62 + 16 * y, record.begin() + 78 + 16 * y), Bytes(bitmap.Row(y), bitmap.Row(y) + 16))
        << "row " << y;
  }
  EXPECT_EQ(record[222], 0);
  EXPECT_EQ(record[223], 0);

  // Reserved whole (print type 7) the bytes are the same.
  StreamHarness whole;
  RecordSettings settings = kColourSettings;
  settings.printType = 7;
  ASSERT_TRUE(StrmEmitImage(whole.stream(), settings, ImageOf(bitmap, 0x80, palette, 6)));
  EXPECT_EQ(whole.stream()->recordsBuffered, 1u);
  EXPECT_EQ(RecordBytes(whole), record);
}

TEST(ImageRecordTest, PaletteSizesAndTheNoPaletteFlag) {
  const struct {
    DWORD format, bits, palette;
  } cases[] = {{0, 1, 6}, {1, 4, 48}, {2, 8, 768}, {4, 24, 0}};
  for (const auto& c : cases) {
    Bitmap bitmap(5, 3, c.bits);
    Bytes palette(c.palette ? c.palette - 3 : 0, 0x77);  // short: the rest is zero-filled
    StreamHarness h;
    ASSERT_TRUE(StrmEmitImage(h.stream(), kColourSettings, ImageOf(bitmap, c.format, palette.data(), static_cast<DWORD>(palette.size()))));
    const Bytes record = RecordBytes(h);
    const uint32_t rowBytes = (5 * c.bits + 31) / 32 * 4;
    EXPECT_EQ(record.size(), (56 + c.palette + 3 * rowBytes + 3) & ~3u) << c.bits;
    EXPECT_EQ(record[2], c.palette ? c.format : c.format | 0x20) << c.bits;
    if (c.palette) {
      EXPECT_EQ(record[56 + c.palette - 4], 0x77);
      EXPECT_EQ(record[56 + c.palette - 1], 0);
    }
    // Without a palette given, none is sent and the flag says so.
    StreamHarness bare;
    ASSERT_TRUE(StrmEmitImage(bare.stream(), kColourSettings, ImageOf(bitmap, c.format)));
    const Bytes none = RecordBytes(bare);
    EXPECT_EQ(none[2], c.format | 0x20);
    EXPECT_EQ(none.size(), (56 + 3 * rowBytes + 3) & ~3u);
  }
}

TEST(ImageRecordTest, FormatBytesAndTheRasterBit) {
  Bitmap bitmap(4, 1, 8);
  StreamHarness h;
  RecordSettings raster = kColourSettings;
  raster.rasterMode = TRUE;
  ASSERT_TRUE(StrmEmitImage(h.stream(), raster, ImageOf(bitmap, 0x20882)));
  const Bytes record = RecordBytes(h);
  EXPECT_EQ(Bytes(record.begin(), record.begin() + 4), (Bytes{0x20, 0x02, 0xA2, 0x0C}));
}

TEST(ImageRecordTest, TwentyFourBitRowsGoGreyUnlessTheMachineIsColour) {
  // Blue, green, red, white in BGR order; a bottom-up bitmap: its top row is the last in memory.
  Bytes memory = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                  0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};
  ImageDescription image{4, 0, 0, 4, 1, 0, 0, 4, 1, nullptr, 0, memory.data() + 16, -16, nullptr};
  StreamHarness grey;
  const RecordSettings mono{0, FALSE, 0, FALSE, FALSE, 2};
  ASSERT_TRUE(StrmEmitImage(grey.stream(), mono, image));
  const Bytes record = RecordBytes(grey);
  // (R * 306 + G * 601 + B * 117) >> 10; format (4 & 0xE0) | 0x12, no palette.
  ASSERT_EQ(record.size(), 60u);
  EXPECT_EQ(record[2], 0x32);
  EXPECT_EQ(Bytes(record.begin() + 56, record.end()), (Bytes{29, 149, 76, 255}));

  StreamHarness choiceOne;
  RecordSettings colourMachine = kColourSettings;
  colourMachine.colorChoice = 1;
  ASSERT_TRUE(StrmEmitImage(choiceOne.stream(), colourMachine, image));
  EXPECT_EQ(RecordBytes(choiceOne)[2], 0x32);

  StreamHarness colour;
  ASSERT_TRUE(StrmEmitImage(colour.stream(), kColourSettings, image));
  const Bytes kept = RecordBytes(colour);
  EXPECT_EQ(kept[2], 0x24);
  EXPECT_EQ(Bytes(kept.begin() + 56, kept.end()), Bytes(memory.begin() + 16, memory.begin() + 28));
  // Grey rows of a blitted, host-managed image keep only the low flag bits.
  StreamHarness flags;
  image.format = 0x884;
  ASSERT_TRUE(StrmEmitImage(flags.stream(), mono, image));
  const Bytes flagged = RecordBytes(flags);
  EXPECT_EQ(Bytes(flagged.begin(), flagged.begin() + 4), (Bytes{0x20, 0, 0xB2, 0}));
}

TEST(ImageRecordTest, LongImageIsReservedInPiecesOfAboutOneMegabyte) {
  // Rows of 24576 bytes: 42 rows per piece, so 100 rows go as 42, 42 and 16 after the header.
  Bitmap bitmap(8192, 100, 24);
  StreamHarness h;
  ASSERT_TRUE(StrmEmitImage(h.stream(), kColourSettings, ImageOf(bitmap, 4)));
  // The third piece found more than 1 MB buffered and flushed the header and two pieces first,
  // each chunk as its own packet: the record leaves split over several packets.
  EXPECT_EQ(h.output.bytes.size(), 3 * 8u + 56 + 2 * 42 * 24576);
  std::string error;
  const auto records = h.FlushedRecords(&error);
  EXPECT_EQ(error, "");
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].Get("rows"), 100);
  EXPECT_EQ(records[0].data, bitmap.memory);

  // A row above 1 MB goes one row per piece.
  Bitmap wide(400000, 3, 24);
  StreamHarness big;
  ASSERT_TRUE(StrmEmitImage(big.stream(), kColourSettings, ImageOf(wide, 4)));
  const auto rows = big.FlushedRecords(&error);
  EXPECT_EQ(error, "");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].data, wide.memory);
  EXPECT_TRUE(big.allocator.live.empty());
}

TEST(ImageRecordTest, FailedRowsGiveTheHeaderBackOrAbortTheJob) {
  Bitmap bitmap(1000, 20, 24);  // rows of 3000 bytes, 60000 in all: the rows need a chunk
  StreamHarness h;
  ASSERT_NE(StrmEmitPageEnd(h.stream()), nullptr);
  h.allocator.failFrom = 0;
  EXPECT_FALSE(StrmEmitImage(h.stream(), kColourSettings, ImageOf(bitmap, 4)));
  EXPECT_EQ(h.stream()->bytesBuffered, 4u);
  EXPECT_EQ(h.stream()->first.write, h.stream()->firstData + 4);
  EXPECT_EQ(h.flags, 0u);

  // When the header has already left in a flush, the job cannot be mended.
  StreamHarness sent;
  ASSERT_NE(StrmReserve(sent.stream(), 0x100001), nullptr);
  Bitmap tall(100000, 30, 24);  // 300000-byte rows, three per piece
  // The header joins the full chunk; the first rows flush it and take a chunk; the next fail.
  sent.allocator.failFrom = 2;
  EXPECT_FALSE(StrmEmitImage(sent.stream(), kColourSettings, ImageOf(tall, 4)));
  EXPECT_EQ(sent.flags, kPdevFlagAbort);
}

TEST(ImageRecordTest, BadSourcesAreRefused) {
  Bitmap bitmap(10, 2, 24);
  StreamHarness h;
  ImageDescription image = ImageOf(bitmap, 4);
  image.stride = 29;  // rows need 30 bytes
  EXPECT_FALSE(StrmEmitImage(h.stream(), kColourSettings, image));
  image = ImageOf(bitmap, 4);
  image.bits = nullptr;
  EXPECT_FALSE(StrmEmitImage(h.stream(), kColourSettings, image));
  image = ImageOf(bitmap, 4);
  image.rows = 0x7FFFFFFF;
  EXPECT_FALSE(StrmEmitImage(h.stream(), kColourSettings, image));
  EXPECT_EQ(h.stream()->bytesBuffered, 0u);
}

TEST(ImageRecordTest, TheRowByRowWriterReservesEachRowAndCarriesTheHeadersTwoBytes) {
  // 20 one-bit rows with palette: a 64-byte header reservation (two row bytes in it), then one
  // reservation per row holding the rest of its row and two bytes of the next.
  Bitmap bitmap(20, 3, 1);
  const BYTE palette[6] = {1, 2, 3, 4, 5, 6};
  const RecordSettings raster{0, TRUE, 0, FALSE, TRUE, 2};
  StreamHarness whole, rows;
  ASSERT_TRUE(StrmEmitImage(whole.stream(), raster, ImageOf(bitmap, 0x80, palette, 6)));
  ASSERT_TRUE(StrmEmitImageRows(rows.stream(), raster, ImageOf(bitmap, 0x80, palette, 6)));
  EXPECT_EQ(rows.stream()->recordsBuffered, 4u);
  Bytes expected = RecordBytes(whole);
  expected[3] &= ~0x04;  // no raster-mode bit
  const Bytes record = RecordBytes(rows);
  EXPECT_EQ(record, expected);
  ASSERT_EQ(record.size(), 56u + 6 + 3 * 4 + 2);
  EXPECT_EQ(Bytes(record.begin() + 62, record.begin() + 66), Bytes(bitmap.Row(0), bitmap.Row(0) + 4));
}

}  // namespace
