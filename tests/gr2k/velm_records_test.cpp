// Golden bytes of the fixed-layout records, written out from the record tables: opcode, length
// rule, every field at its offset, reserved bytes and padding zero.
#include <algorithm>
#include <iterator>
#include <vector>

#include <gtest/gtest.h>

#include "gr2k/velm_records.h"
#include "stream_harness.h"

namespace {

using velm::test::kColourSettings;
using velm::test::StreamHarness;
using Bytes = std::vector<uint8_t>;

Bytes Of(const BYTE* record, size_t n) { return Bytes(record, record + n); }

// Little-endian pieces for building expected records.
void Put32(Bytes* b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b->push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Put16(Bytes* b, uint16_t v) {
  b->push_back(static_cast<uint8_t>(v));
  b->push_back(static_cast<uint8_t>(v >> 8));
}
void PutRect(Bytes* b, int32_t l, int32_t t, int32_t r, int32_t bt) {
  Put32(b, l);
  Put32(b, t);
  Put32(b, r);
  Put32(b, bt);
}

ColorDescriptor Colour(DWORD kind, DWORD c1, DWORD c2 = 0xFFFFFF, DWORD c3 = 0, BOOL third = FALSE) {
  ColorDescriptor colour{};
  colour.kind = kind;
  colour.color1 = c1;
  colour.color2 = c2;
  colour.color3 = c3;
  colour.hasThird = third;
  ColorSwapDescriptor(&colour);
  return colour;
}

TEST(VelmRecordsTest, ColourIsRedFirstWithLengthFromItsLayout) {
  StreamHarness h;
  const RecordSettings plain{};
  // One colour: 3 RGB bytes, length (3 + 7) & ~3 = 8.
  EXPECT_EQ(Of(StrmEmitColor(h.stream(), plain, Colour(1, 0x112233)), 8),
            (Bytes{0x30, 8, 0x01, 0, 0x11, 0x22, 0x33, 0}));
  // Two colours (kind 2): flags 0x09, length 12.
  EXPECT_EQ(Of(StrmEmitColor(h.stream(), plain, Colour(2, 0x112233, 0x445566)), 12),
            (Bytes{0x30, 12, 0x09, 0, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0, 0}));
  // One colour and a third: RGB3 right behind RGB1, length 12.
  EXPECT_EQ(Of(StrmEmitColor(h.stream(), plain, Colour(1, 0x010203, 0xFFFFFF, 0x0A0B0C, TRUE)), 12),
            (Bytes{0x30, 12, 0x11, 0, 0x01, 0x02, 0x03, 0x0A, 0x0B, 0x0C, 0, 0}));
  // All three, colour mode 2 and a marked brush: length 16.
  ColorDescriptor all = Colour(2, 0x010203, 0x040506, 0x070809, TRUE);
  all.hostIcm = TRUE;
  const RecordSettings mode2{2, FALSE, 0, FALSE, TRUE, 2};
  EXPECT_EQ(Of(StrmEmitColor(h.stream(), mode2, all), 16),
            (Bytes{0x30, 16, 0xD9, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0}));
}

TEST(VelmRecordsTest, ColourSwapTurnsRgbIntoRecordOrder) {
  EXPECT_EQ(ColorSwapRB(0x112233), 0x332211u);
  EXPECT_EQ(ColorSwapRB(0xAB112233), 0xAB332211u);
  ColorDescriptor colour{0, 1, 0x112233, 0xFFFFFF, 0, FALSE, 0, FALSE};
  ColorSwapDescriptor(&colour);
  EXPECT_EQ(colour.color1, 0x332211u);
  EXPECT_EQ(colour.color3, 0u);
}

TEST(VelmRecordsTest, FourAndEightByteStateRecords) {
  StreamHarness h;
  CommandStream* s = h.stream();
  EXPECT_EQ(Of(StrmEmitRop(s, 0xF0), 4), (Bytes{0x31, 0xCC, 0, 0}));
  EXPECT_EQ(Of(StrmEmitRop(s, 0xF0F0), 4), (Bytes{0x31, 0xCC, 0, 0}));
  EXPECT_EQ(Of(StrmEmitRop(s, 0xAACC), 4), (Bytes{0x31, 0xCC, 0, 0}));
  EXPECT_EQ(Of(StrmEmitRop(s, 0x88), 4), (Bytes{0x31, 0x88, 0, 0}));
  EXPECT_EQ(Of(StrmEmitColorAttr(s, 2), 4), (Bytes{0x32, 2, 0, 0}));
  EXPECT_EQ(Of(StrmEmitLineA(s, 3, 0x0102, 0xF0F0FF00), 8), (Bytes{0x33, 3, 0x02, 0x01, 0x00, 0xFF, 0xF0, 0xF0}));
  EXPECT_EQ(Of(StrmEmitLineB(s, 16), 4), (Bytes{0x34, 16, 0, 0}));
  EXPECT_EQ(Of(StrmEmitLineEnd(s, 2), 4), (Bytes{0x35, 2, 0, 0}));
  EXPECT_EQ(Of(StrmEmitLineJoin(s, 2, 2560), 8), (Bytes{0x36, 2, 0, 0, 0x00, 0x0A, 0, 0}));
  EXPECT_EQ(Of(StrmEmitClipOff(s), 4), (Bytes{0x37, 0, 0, 0}));
  EXPECT_EQ(Of(StrmEmitPageEnd(s), 4), (Bytes{0x61, 0, 0, 0}));
  EXPECT_EQ(Of(StrmEmitPageStart(s, 4960, 7016, 600, 1200), 16),
            (Bytes{0x60, 0, 0, 0, 0x60, 0x13, 0, 0, 0x68, 0x1B, 0, 0, 0x58, 0x02, 0xB0, 0x04}));
}

TEST(VelmRecordsTest, RectanglesOfEachKind) {
  StreamHarness h;
  Bytes fill{0x10, 0, 1, 0, 40, 0, 0, 0};
  PutRect(&fill, -5, 10, 300, 400);
  PutRect(&fill, -5, 10, 300, 400);
  EXPECT_EQ(Of(StrmEmitRect(h.stream(), kRectFill, {-5, 10, 300, 400}), 40), fill);
  Bytes clip{0x10, 0, 5, 0, 24, 0, 0, 0};
  PutRect(&clip, 1, 2, 3, 4);
  EXPECT_EQ(Of(StrmEmitRect(h.stream(), kRectClip, {1, 2, 3, 4}), 24), clip);
  clip[2] = 6;
  EXPECT_EQ(Of(StrmEmitRect(h.stream(), kRectKind6, {1, 2, 3, 4}), 24), clip);
  // Each record starts right behind the previous one: lengths are exact.
  EXPECT_EQ(h.stream()->bytesBuffered, 88u);
}

TEST(VelmRecordsTest, PatternOfEachBrushKind) {
  StreamHarness h;
  // A 32 x 32 one-bit tile: 6 header bytes, 128 tile bytes, 2 padding bytes.
  Bytes tile(128);
  for (size_t i = 0; i < tile.size(); ++i) tile[i] = static_cast<uint8_t>(i + 1);
  const PatternDescriptor oneBit{2, 1, 32, FALSE, tile.data()};
  Bytes expected(136, 0);
  const uint8_t head[] = {0x40, 0x80, 32, 1, 128, 0};
  std::copy(std::begin(head), std::end(head), expected.begin());
  std::copy(tile.begin(), tile.end(), expected.begin() + 6);
  EXPECT_EQ(Of(StrmEmitPattern(h.stream(), oneBit), 136), expected);

  // A 24-bit tile of a host-managed brush: flags 0x01 | 0x40 | 0x80, 3072 bytes.
  Bytes wide(3072, 0x5A);
  const BYTE* record = StrmEmitPattern(h.stream(), {3, 24, 32, TRUE, wide.data()});
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(Of(record, 6), (Bytes{0x40, 0xC1, 32, 1, 0x00, 0x0C}));
  EXPECT_EQ(record[6 + 3071], 0x5A);
  EXPECT_EQ(Of(record + 6 + 3072, 2), (Bytes{0, 0}));

  // A solid brush carries no tile: 8 bytes.
  EXPECT_EQ(Of(StrmEmitPattern(h.stream(), {0, 24, 32, FALSE, nullptr}), 8), (Bytes{0x40, 0, 0, 1, 0, 0, 0, 0}));
  // A tile too large for the u16 count is refused.
  EXPECT_EQ(StrmEmitPattern(h.stream(), {3, 24, 256, FALSE, wide.data()}), nullptr);
}

TEST(VelmRecordsTest, FontSelectRecordsCarryTheFaceName) {
  StreamHarness h;
  const FontSelect font{2, 0x31, 128, 0x2006, 400, 87, 43, 270, 100, 13};
  // 0x50: 24 + 2 * 2 + 2 = 30, rounded to 32.
  Bytes select{0x50, 2, 0x31, 128};
  Put16(&select, 0x2006);
  Put16(&select, 400);
  Put16(&select, 87);
  Put16(&select, 43);
  Put16(&select, 270);
  Put16(&select, 32);
  Put32(&select, 0);
  Put16(&select, 100);
  Put16(&select, 13);
  select.insert(select.end(), {'A', 0, 'B', 0, 0, 0, 0, 0});
  EXPECT_EQ(Of(StrmEmitFontSelect(h.stream(), font, u"AB", 2), 32), select);

  // 0x56: bytes 1 and 2 are what 0x50 carries at 2 and 3; 32 + 2 * 3 + 2 = 40.
  Bytes download{0x56, 0x31, 128, 0};
  Put16(&download, 0x2006);
  Put16(&download, 400);
  Put16(&download, 87);
  Put16(&download, 43);
  Put16(&download, 270);
  Put16(&download, 40);
  Put32(&download, 0);
  Put16(&download, 100);
  Put16(&download, 13);
  download.insert(download.end(), 8, 0);
  download.insert(download.end(), {0x0E, 0x66, 'x', 0, 'y', 0, 0, 0});
  EXPECT_EQ(Of(StrmEmitDownloadFontSelect(h.stream(), font, u"\u660Exy", 3), 40), download);
  EXPECT_EQ(StrmEmitFontSelect(h.stream(), font, nullptr, 1), nullptr);
}

TEST(VelmRecordsTest, TextAndGlyphRecords) {
  StreamHarness h;
  CommandStream* s = h.stream();
  Bytes pos{0x51, 0, 0, 0, 36, 0, 0, 0};
  PutRect(&pos, 10, 20, 30, 40);
  Put32(&pos, 11);
  Put32(&pos, 12);
  pos.insert(pos.end(), {0x41, 0x82, 0, 0});
  EXPECT_EQ(Of(StrmEmitTextPos(s, {10, 20, 30, 40}, 11, 12, 0x8241), 36), pos);

  // 0x51 kind 1: (n + 39) & ~3 with n = 16 bytes of outline; x, y are the box's top-left.
  const Bytes outline{3, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0};
  Bytes run{0x51, 0, 1, 0, 52, 0, 0, 0};
  PutRect(&run, 5, 6, 7, 8);
  Put32(&run, 5);
  Put32(&run, 6);
  Put32(&run, 0x3042);
  run.insert(run.end(), outline.begin(), outline.end());
  EXPECT_EQ(Of(StrmEmitTextRun(s, {5, 6, 7, 8}, 0x3042, outline.data(), 16), 52), run);

  // 0x52 with one step for three codes: 36 + ((2 + 6 + 3) & ~3) = 44.
  const WORD codes[] = {0x41, 0x42, 0x43};
  const WORD step = 50;
  Bytes glyphs{0x52, 0, 0, 0, 44, 0, 0, 0};
  PutRect(&glyphs, 0, 0, 150, 100);
  Put32(&glyphs, 0);
  Put32(&glyphs, 80);
  glyphs.insert(glyphs.end(), {3, 0, 0, 0, 50, 0, 0x41, 0, 0x42, 0, 0x43, 0});
  EXPECT_EQ(Of(StrmEmitGlyphs(s, {0, 0, 150, 100}, 0, 80, &step, 1, codes, 3), 44), glyphs);
  // As many steps as codes: flag 0x80, 36 + ((6 + 6 + 3) & ~3) = 48.
  const WORD steps[] = {50, 51, 0};
  const BYTE* each = StrmEmitGlyphs(s, {0, 0, 150, 100}, 0, 80, steps, 3, codes, 3);
  ASSERT_NE(each, nullptr);
  EXPECT_EQ(each[2], 0x80);
  EXPECT_EQ(Of(each + 4, 4), (Bytes{48, 0, 0, 0}));
  EXPECT_EQ(Of(each + 36, 12), (Bytes{50, 0, 51, 0, 0, 0, 0x41, 0, 0x42, 0, 0x43, 0}));
  EXPECT_EQ(StrmEmitGlyphs(s, {}, 0, 0, steps, 2, codes, 3), nullptr);
}

TEST(VelmRecordsTest, GlyphDownloadAndFontData) {
  StreamHarness h;
  CommandStream* s = h.stream();
  const GlyphDownload glyph{0x08, {100, 200, 108, 210}, 100, 190, -1, -9, 8, 10, 0x3042, 0};
  const Bytes bitmap{1, 2, 3, 4, 5};
  // (5 + 67) & ~3 = 72; data offset 64.
  Bytes expected{0x53, 0, 0x08, 0, 72, 0, 0, 0};
  PutRect(&expected, 100, 200, 108, 210);
  Put32(&expected, 100);
  Put32(&expected, 190);
  Put32(&expected, 64);
  Put32(&expected, static_cast<uint32_t>(-1));
  Put32(&expected, static_cast<uint32_t>(-9));
  Put32(&expected, 8);
  Put32(&expected, 10);
  Put32(&expected, 5);
  Put32(&expected, 0);
  expected.insert(expected.end(), {0x42, 0x30, 0, 0, 1, 2, 3, 4, 5, 0, 0, 0});
  EXPECT_EQ(Of(StrmEmitGlyphDownload(s, TRUE, glyph, bitmap.data(), 5), 72), expected);

  // Uncached: 0x57. Without bitmap: 64 bytes, data offset 0.
  const BYTE* bare = StrmEmitGlyphDownload(s, FALSE, glyph, nullptr, 0);
  ASSERT_NE(bare, nullptr);
  EXPECT_EQ(bare[0], 0x57);
  EXPECT_EQ(Of(bare + 4, 4), (Bytes{64, 0, 0, 0}));
  EXPECT_EQ(Of(bare + 32, 4), (Bytes{0, 0, 0, 0}));

  // 0x54: (6 + 31) & ~3 = 36.
  const Bytes data{9, 8, 7, 6, 5, 4};
  Bytes font{0x54, 0, 0x04, 0, 36, 0, 0, 0};
  Put32(&font, 6);
  Put32(&font, 16);
  Put32(&font, 3);
  Put32(&font, 0);
  font.insert(font.end(), {0x41, 0x00, 2, 0, 9, 8, 7, 6, 5, 4, 0, 0});
  EXPECT_EQ(Of(StrmEmitFontData(s, {0x04, 16, 3, 0x41, 2}, data.data(), 6), 36), font);
  EXPECT_EQ(StrmEmitFontData(s, {0x04, 16, 3, 0x41, 2}, data.data(), 0), nullptr);

  // 0x55: 36 + ((6 * 3 + 3) & ~3) = 56.
  const PositionedGlyph placed[] = {{0, 0, 0x41}, {-12, 3, 0x42}, {300, -1, 0x43}};
  Bytes positioned{0x55, 0, 0x08, 0, 56, 0, 0, 0};
  PutRect(&positioned, 1, 2, 3, 4);
  Put32(&positioned, 7);
  Put32(&positioned, 9);
  Put32(&positioned, 3);
  positioned.insert(positioned.end(), {0, 0, 0, 0, 0x41, 0, 0xF4, 0xFF, 3, 0, 0x42, 0, 0x2C, 0x01, 0xFF, 0xFF, 0x43, 0,
                                       0, 0});
  EXPECT_EQ(Of(StrmEmitPositionedGlyphs(s, 0x08, {1, 2, 3, 4}, 7, 9, placed, 3), 56), positioned);
}

TEST(VelmRecordsTest, MixTableAsTheDeviceTakesIt) {
  const BYTE expected[17] = {0xCC, 0xFF, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                             0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0x00};
  for (ULONG m = 0; m < 17; ++m) EXPECT_EQ(MixToDeviceRop(m), expected[m]) << m;
  EXPECT_EQ(MixToDeviceRop(17), 0xCC);
  EXPECT_EQ(MixToDeviceRop(0x0D0D), 0xCC);  // a whole MIX is not a mix value
}

TEST(VelmRecordsTest, FailedReservationWritesNothing) {
  StreamHarness h;
  ASSERT_NE(StrmReserve(h.stream(), 10236), nullptr);  // the inline chunk is full
  h.allocator.failFrom = 0;
  EXPECT_EQ(StrmEmitColor(h.stream(), kColourSettings, Colour(1, 0)), nullptr);
  EXPECT_EQ(StrmEmitPageEnd(h.stream()), nullptr);
  EXPECT_EQ(h.stream()->bytesBuffered, 10236u);
}

}  // namespace
