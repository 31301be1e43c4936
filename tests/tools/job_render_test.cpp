// The job renderer on small pages whose records are written here byte by byte from the record
// layouts: what each record kind draws, pixel by pixel.
#include "job_render.h"

#include <gtest/gtest.h>

#include <set>

#include <initializer_list>
#include <string>
#include <vector>

namespace velm::jobrender {
namespace {

// One record's bytes, little-endian, padded to 4 by Done().
class Bytes {
 public:
  Bytes& U8(uint32_t v) {
    b_.push_back(static_cast<uint8_t>(v));
    return *this;
  }
  Bytes& U16(uint32_t v) { return U8(v).U8(v >> 8); }
  Bytes& U32(uint32_t v) { return U16(v).U16(v >> 16); }
  Bytes& Rect(int32_t l, int32_t t, int32_t r, int32_t b) { return U32(l).U32(t).U32(r).U32(b); }
  Bytes& Raw(std::initializer_list<uint8_t> bytes) {
    b_.insert(b_.end(), bytes);
    return *this;
  }
  Bytes& Raw(const std::vector<uint8_t>& bytes) {
    b_.insert(b_.end(), bytes.begin(), bytes.end());
    return *this;
  }
  // Pads to 4 and writes the length at offset 4 when asked.
  std::vector<uint8_t> Done(bool length = true) {
    while (b_.size() % 4) b_.push_back(0);
    if (length) {
      for (int i = 0; i < 4; ++i) b_[4 + i] = static_cast<uint8_t>(b_.size() >> (8 * i));
    }
    return b_;
  }

 private:
  std::vector<uint8_t> b_;
};

std::vector<uint8_t> PageStart(uint32_t w, uint32_t h) {
  return Bytes().Raw({0x60, 0, 0, 0}).U32(w).U32(h).U16(600).U16(600).Done(false);
}
std::vector<uint8_t> PageEnd() { return {0x61, 0, 0, 0}; }
std::vector<uint8_t> Colour(uint32_t rgb) {
  return {0x30, 8, 0x01, 0, static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb), 0};
}
std::vector<uint8_t> TwoColours(uint32_t a, uint32_t b) {
  return {0x30, 12, 0x09, 0,
          static_cast<uint8_t>(a >> 16), static_cast<uint8_t>(a >> 8), static_cast<uint8_t>(a),
          static_cast<uint8_t>(b >> 16), static_cast<uint8_t>(b >> 8), static_cast<uint8_t>(b), 0, 0};
}
std::vector<uint8_t> Rop(uint8_t rop) { return {0x31, rop, 0, 0}; }
std::vector<uint8_t> ColourAttribute(uint8_t value) { return {0x32, value, 0, 0}; }
std::vector<uint8_t> Fill(int32_t l, int32_t t, int32_t r, int32_t b) {
  return Bytes().Raw({0x10, 0, 1, 0}).U32(0).Rect(l, t, r, b).Rect(l, t, r, b).Done();
}
std::vector<uint8_t> ClipRect(int32_t l, int32_t t, int32_t r, int32_t b) {
  return Bytes().Raw({0x10, 0, 5, 0}).U32(0).Rect(l, t, r, b).Done();
}

// A path record of line sub-paths (points in whole pixels).
std::vector<uint8_t> LinePath(uint8_t flags, const std::vector<std::vector<std::pair<int, int>>>& subs) {
  Bytes path;
  uint32_t lines = 0;
  for (const auto& sub : subs) lines += static_cast<uint32_t>(sub.size() - 1);
  const uint32_t s = static_cast<uint32_t>(subs.size());
  if (s > 1) flags |= 0x10;
  path.Raw({0x12, 0, flags, 0}).U32(0).Rect(0, 0, 0, 0).U32(3 * lines + 3 * s + (s > 1 ? 1 : 0));
  for (const auto& sub : subs) {
    path.U32(static_cast<uint32_t>(sub.size() - 1)).U32(sub[0].first * 16).U32(sub[0].second * 16);
    for (size_t i = 1; i < sub.size(); ++i) path.U32(0).U32(sub[i].first * 16).U32(sub[i].second * 16);
  }
  return path.Done();
}

struct Drawn {
  Rendering rendering;
  const Canvas& page() const { return rendering.pages.at(0); }
  uint32_t At(int x, int y) const { return page().At(x, y); }
};

// Decodes the page's records (page start and end added) and draws them.
Drawn Draw(uint32_t w, uint32_t h, const std::vector<std::vector<uint8_t>>& records) {
  std::vector<uint8_t> bytes = PageStart(w, h);
  for (const auto& record : records) bytes.insert(bytes.end(), record.begin(), record.end());
  const std::vector<uint8_t> end = PageEnd();
  bytes.insert(bytes.end(), end.begin(), end.end());
  std::vector<jobdump::Record> decoded;
  std::string error;
  EXPECT_TRUE(jobdump::DecodeRecords(bytes.data(), bytes.size(), &decoded, &error)) << error;
  Drawn drawn{DrawRecords(decoded)};
  EXPECT_EQ(drawn.rendering.pages.size(), 1u);
  return drawn;
}

constexpr uint32_t kWhite = 0xFFFFFF, kBlack = 0;

TEST(JobRenderTest, APageIsWhiteAndAFilledRectangleEndsBeforeItsRightAndBottom) {
  const Drawn drawn = Draw(20, 10, {Colour(0x112233), Fill(2, 3, 6, 5)});
  EXPECT_EQ(drawn.page().width, 20);
  EXPECT_EQ(drawn.page().height, 10);
  EXPECT_EQ(drawn.page().xres, 600);
  EXPECT_EQ(drawn.At(2, 3), 0x112233u);
  EXPECT_EQ(drawn.At(5, 4), 0x112233u);
  EXPECT_EQ(drawn.At(6, 4), kWhite);
  EXPECT_EQ(drawn.At(5, 5), kWhite);
  EXPECT_EQ(drawn.At(1, 3), kWhite);
  EXPECT_TRUE(drawn.rendering.problems.empty());
}

TEST(JobRenderTest, TheDeviceRopCombinesTheBrushWithThePage) {
  // On a page half 0x0F0F0F (left) and half white, a brush of 0x3C3C3C under each ROP.
  struct Case {
    uint8_t rop;
    uint32_t onGrey, onWhite;
  } const cases[] = {
      {0xCC, 0x3C3C3C, 0x3C3C3C},  // source copy (the mix table's copy)
      {0x66, 0x333333, 0xC3C3C3},  // source xor destination
      {0x88, 0x0C0C0C, 0x3C3C3C},  // and
      {0xEE, 0x3F3F3F, 0xFFFFFF},  // or
      {0x55, 0xF0F0F0, 0x000000},  // not destination
      {0x33, 0xC3C3C3, 0xC3C3C3},  // not source
      {0x00, 0x000000, 0x000000},
      {0xFF, 0xFFFFFF, 0xFFFFFF},
      {0xAA, 0x0F0F0F, 0xFFFFFF},  // destination unchanged
      {0x5A, 0x333333, 0xC3C3C3},  // pattern xor destination
  };
  for (const Case& c : cases) {
    const Drawn drawn =
        Draw(8, 2, {Colour(0x0F0F0F), Fill(0, 0, 4, 2), Colour(0x3C3C3C), Rop(c.rop), Fill(0, 0, 8, 2)});
    EXPECT_EQ(drawn.At(1, 1), c.onGrey) << std::hex << int(c.rop);
    EXPECT_EQ(drawn.At(6, 1), c.onWhite) << std::hex << int(c.rop);
  }
}

std::vector<uint8_t> OneBitTile16(uint8_t flags) {
  // Rows alternate all ones and all zeros.
  Bytes tile;
  tile.Raw({0x40, flags, 16, 1}).U16(32);
  for (int row = 0; row < 16; ++row) tile.U16(row % 2 ? 0x0000 : 0xFFFF);
  return tile.Done(false);
}

TEST(JobRenderTest, AOneBitTilePaintsItsZerosWithTheSecondColourOrLeavesThem) {
  // Colour kind 2: ones red, zeros blue. Repeats from the page's origin every 16 pixels.
  Drawn drawn = Draw(40, 40, {OneBitTile16(0x80), TwoColours(0xFF0000, 0x0000FF), ColourAttribute(2),
                              Fill(0, 0, 40, 40)});
  EXPECT_EQ(drawn.At(3, 0), 0xFF0000u);
  EXPECT_EQ(drawn.At(3, 1), 0x0000FFu);
  EXPECT_EQ(drawn.At(35, 32), 0xFF0000u);
  EXPECT_EQ(drawn.At(35, 33), 0x0000FFu);
  // Colour attribute 1: the zeros leave the page as it was.
  drawn = Draw(40, 40, {Colour(0x00FF00), Fill(0, 0, 40, 40), OneBitTile16(0x80), Colour(0xFF0000),
                        ColourAttribute(1), Fill(0, 0, 40, 40)});
  EXPECT_EQ(drawn.At(3, 2), 0xFF0000u);
  EXPECT_EQ(drawn.At(3, 3), 0x00FF00u);
  // A solid pattern record returns to the plain colour.
  drawn = Draw(40, 40, {OneBitTile16(0x80), Bytes().Raw({0x40, 0x00, 0, 1}).U16(0).Done(false), Colour(0x123456),
                        Fill(0, 0, 40, 40)});
  EXPECT_EQ(drawn.At(3, 3), 0x123456u);
}

TEST(JobRenderTest, ATwentyFourBitTileTakesItsPixelsInBlueGreenRedOrder) {
  Bytes tile;
  tile.Raw({0x40, 0x81, 16, 1}).U16(16 * 16 * 3);
  for (int i = 0; i < 16 * 16; ++i) tile.Raw(i == 17 ? std::initializer_list<uint8_t>{0x30, 0x20, 0x10}
                                                     : std::initializer_list<uint8_t>{0xFF, 0xFF, 0xFF});
  const Drawn drawn = Draw(40, 40, {tile.Done(false), ColourAttribute(2), Fill(0, 0, 40, 40)});
  EXPECT_EQ(drawn.At(1, 1), 0x102030u);
  EXPECT_EQ(drawn.At(17, 17), 0x102030u);
  EXPECT_EQ(drawn.At(2, 1), kWhite);
}

// An image record at (left, top, right, bottom) from rows of `width` pixels.
std::vector<uint8_t> Image(uint8_t format, int32_t l, int32_t t, int32_t r, int32_t b, uint32_t width, uint32_t rows,
                           const std::vector<uint8_t>& palette, const std::vector<uint8_t>& data, int32_t sx = 0,
                           int32_t sy = 0) {
  return Bytes()
      .Raw({0x20, 0, format, 0x04})
      .U32(0)
      .Rect(l, t, r, b)
      .U32(sx)
      .U32(sy)
      .U32(width)
      .U32(rows)
      .U32(std::min(l, r))
      .U32(std::min(t, b))
      .U32(std::abs(r - l))
      .U32(std::abs(b - t))
      .Raw(palette)
      .Raw(data)
      .Done();
}

TEST(JobRenderTest, EveryImageFormatWithAndWithoutPalette) {
  // Two pixels per image, drawn at (0, 0) and (1, 0); each row padded to 4 bytes.
  struct Case {
    const char* what;
    uint8_t format;
    std::vector<uint8_t> palette, row;
    uint32_t first, second;
  } const cases[] = {
      {"1 bit, palette", 0x00, {0x11, 0x22, 0x33, 0xAA, 0xBB, 0xCC}, {0x40, 0, 0, 0}, 0x112233, 0xAABBCC},
      {"1 bit, no palette", 0x20, {}, {0x80, 0, 0, 0}, kWhite, kBlack},
      {"4 bit, palette", 0x01, [] {
         std::vector<uint8_t> p(48, 0);
         p[3 * 2] = 0xFF, p[3 * 15 + 1] = 0xEE;
         return p;
       }(), {0x2F, 0, 0, 0}, 0xFF0000, 0x00EE00},
      {"4 bit, no palette", 0x21, {}, {0x5F, 0, 0, 0}, 0x555555, kWhite},
      {"8 bit, palette", 0x02, [] {
         std::vector<uint8_t> p(768, 0);
         p[3 * 200 + 2] = 0x77;
         return p;
       }(), {200, 0, 0, 0}, 0x000077, kBlack},
      {"8 bit, no palette", 0x22, {}, {0x80, 0xFF, 0, 0}, 0x808080, kWhite},
      {"8 bit grey rows", 0x32, {}, {0x10, 0xF0, 0, 0}, 0x101010, 0xF0F0F0},
      {"24 bit, blue green red", 0x24, {}, {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0, 0}, 0x030201, 0x060504},
  };
  for (const Case& c : cases) {
    const Drawn drawn = Draw(4, 2, {Image(c.format, 0, 0, 2, 1, 2, 1, c.palette, c.row)});
    EXPECT_EQ(drawn.At(0, 0), c.first) << c.what;
    EXPECT_EQ(drawn.At(1, 0), c.second) << c.what;
    EXPECT_EQ(drawn.At(2, 0), kWhite) << c.what;
    EXPECT_TRUE(drawn.rendering.problems.empty()) << c.what;
  }
}

TEST(JobRenderTest, ImagesAreStretchedTurnedOverAndReadFromTheirSourcePoint) {
  // Rows: top 10 20, bottom 30 40 (8-bit grey).
  const std::vector<uint8_t> rows = {0x10, 0x20, 0, 0, 0x30, 0x40, 0, 0};
  Drawn drawn = Draw(8, 8, {Image(0x32, 0, 0, 4, 4, 2, 2, {}, rows)});  // twice the size
  EXPECT_EQ(drawn.At(1, 1), 0x101010u);
  EXPECT_EQ(drawn.At(2, 1), 0x202020u);
  EXPECT_EQ(drawn.At(3, 3), 0x404040u);
  drawn = Draw(8, 8, {Image(0x32, 0, 2, 2, 0, 2, 2, {}, rows)});  // bottom above top: rows from the bottom
  EXPECT_EQ(drawn.At(0, 0), 0x303030u);
  EXPECT_EQ(drawn.At(1, 1), 0x202020u);
  drawn = Draw(8, 8, {Image(0x32, 5, 5, 6, 6, 2, 2, {}, rows, 1, 1)});  // from source point (1, 1)
  EXPECT_EQ(drawn.At(5, 5), 0x404040u);
  EXPECT_EQ(drawn.At(6, 5), kWhite);
}

TEST(JobRenderTest, AnImageSplitOverSeveralDataPacketsIsDrawnWhole) {
  std::vector<uint8_t> rows(64 * 40 * 3);
  for (size_t i = 0; i < rows.size(); i += 3) rows[i + 2] = static_cast<uint8_t>(i / 3 / 64);  // red = row
  const std::vector<uint8_t> image = Image(0x24, 0, 0, 64, 40, 64, 40, {}, rows);
  std::vector<uint8_t> records = PageStart(64, 40);
  records.insert(records.end(), image.begin(), image.end());
  records.insert(records.end(), {0x61, 0, 0, 0});
  // A job whose record run is cut into three data packets in the middle of the image.
  std::string job;
  const auto packet = [&](uint8_t type, const std::string& body) {
    job += std::string{static_cast<char>(type), 0, 0, 0};
    for (int i = 0; i < 4; ++i) job += static_cast<char>(body.size() >> (8 * i));
    job += body;
  };
  const std::string run(records.begin(), records.end());
  packet(0xF3, "@PJL\r\n");
  packet(0xF4, "@PJL\r\n");
  packet(0xF0, "");
  packet(0xF5, run.substr(0, 100));
  packet(0xF5, run.substr(100, 3000));
  packet(0xF5, run.substr(3100));
  packet(0xF1, "@PJL\r\n");
  jobdump::Job decoded;
  std::string error;
  ASSERT_TRUE(jobdump::DecodeJob(reinterpret_cast<const uint8_t*>(job.data()), job.size(), {}, &decoded, &error)) << error;
  const Rendering rendering = DrawJob(decoded);
  ASSERT_EQ(rendering.pages.size(), 1u);
  for (int y : {0, 13, 39}) EXPECT_EQ(rendering.pages[0].At(63, y), static_cast<uint32_t>(y) << 16) << y;
}

TEST(JobRenderTest, TheWindingRuleFillsWhereTheAlternateRuleLeavesAHole) {
  // Two overlapping squares drawn the same way round: (0,0)-(20,20) and (10,10)-(30,30).
  const std::vector<std::vector<std::pair<int, int>>> squares = {{{0, 0}, {20, 0}, {20, 20}, {0, 20}, {0, 0}},
                                                                 {{10, 10}, {30, 10}, {30, 30}, {10, 30}, {10, 10}}};
  const Drawn alternate = Draw(40, 40, {Colour(kBlack), LinePath(0x01 | 0x08, squares)});
  const Drawn winding = Draw(40, 40, {Colour(kBlack), LinePath(0x02 | 0x08, squares)});
  EXPECT_EQ(alternate.At(5, 5), kBlack);
  EXPECT_EQ(alternate.At(15, 15), kWhite);
  EXPECT_EQ(winding.At(15, 15), kBlack);
  EXPECT_EQ(winding.At(25, 25), kBlack);
  EXPECT_EQ(winding.At(35, 35), kWhite);
  // Centre sampling: the right and bottom edges at whole pixels are outside.
  EXPECT_EQ(winding.At(30, 20), kWhite);
  EXPECT_EQ(winding.At(29, 29), kBlack);
}

TEST(JobRenderTest, ClipsLimitDrawingUntilTheClipIsTurnedOff) {
  const Drawn drawn = Draw(40, 40,
                           {ClipRect(10, 10, 20, 20), Colour(kBlack), Fill(0, 0, 40, 5), Fill(0, 12, 40, 14),
                            Bytes().Raw({0x37, 0, 0, 0}).Done(false), Fill(0, 30, 40, 32),
                            // A triangle as the clip path (mode 5).
                            LinePath(0x05 | 0x08, {{{0, 0}, {30, 0}, {0, 30}, {0, 0}}}), Colour(0xFF0000),
                            Fill(0, 0, 40, 40)});
  EXPECT_EQ(drawn.At(15, 2), 0xFF0000u);  // the first fill was clipped away; the last fills the triangle
  EXPECT_EQ(drawn.At(15, 13), 0xFF0000u);
  EXPECT_EQ(drawn.At(19, 13), kBlack);    // the second fill inside the rectangle, outside the triangle
  EXPECT_EQ(drawn.At(25, 13), kWhite);    // outside both clips
  EXPECT_EQ(drawn.At(35, 31), kBlack);    // drawn with the clip off
  EXPECT_EQ(drawn.At(35, 35), kWhite);
}

// A horizontal line from (x0, y) to (x1, y) stroked with the pen of the line records.
std::vector<std::vector<uint8_t>> Line(int x0, int x1, int y, uint16_t width, uint8_t unit, uint32_t mask, uint8_t cap) {
  return {Bytes().Raw({0x33, unit}).U16(width).U32(mask).Done(false), {0x34, 0, 0, 0}, {0x35, cap, 0, 0},
          Bytes().Raw({0x36, 0, 0, 0}).U32(10 * 256).Done(false), Colour(kBlack), LinePath(0x00, {{{x0, y}, {x1, y}}})};
}

TEST(JobRenderTest, ADashedWideLineDrawsItsMaskFromBit31InStepsOfItsUnit) {
  // 9 pixels wide, butt ends; mask 0xFF00FF00 in steps of 4: 32 pixels on, 32 off, ...
  const Drawn drawn = Draw(300, 40, Line(10, 290, 20, 9, 4, 0xFF00FF00, 1));
  EXPECT_EQ(drawn.At(10, 20), kBlack);
  EXPECT_EQ(drawn.At(41, 16), kBlack);   // within the half width
  EXPECT_EQ(drawn.At(41, 25), kWhite);
  EXPECT_EQ(drawn.At(43, 20), kWhite);   // the first gap
  EXPECT_EQ(drawn.At(75, 20), kBlack);   // the second dash
  EXPECT_EQ(drawn.At(9, 20), kWhite);    // butt end
  const Drawn square = Draw(300, 40, Line(10, 290, 20, 9, 4, 0xFFFFFFFF, 2));
  EXPECT_EQ(square.At(7, 20), kBlack);   // a square end reaches half the width out
  EXPECT_EQ(square.At(4, 20), kWhite);
  EXPECT_EQ(square.At(150, 20), kBlack);
}

TEST(JobRenderTest, AOnePixelDashedLineStepsPixelByPixel) {
  const Drawn drawn = Draw(40, 4, Line(0, 40, 1, 1, 1, 0xF0F0F0F0, 0));
  for (int x = 0; x < 4; ++x) EXPECT_EQ(drawn.At(x, 1), kBlack) << x;
  for (int x = 4; x < 8; ++x) EXPECT_EQ(drawn.At(x, 1), kWhite) << x;
  EXPECT_EQ(drawn.At(8, 1), kBlack);
  EXPECT_EQ(drawn.At(0, 0), kWhite);
}

TEST(JobRenderTest, MiterJoinsFillTheCornerWithinTheirLimitAndBevelJoinsCutIt) {
  const auto corner = [](uint8_t join) {
    return Draw(60, 60, {Bytes().Raw({0x33, 1}).U16(10).U32(0xFFFFFFFF).Done(false), {0x35, 1, 0, 0},
                         Bytes().Raw({0x36, join, 0, 0}).U32(10 * 256).Done(false), Colour(kBlack),
                         LinePath(0x00, {{{10, 30}, {30, 30}, {30, 50}}})});
  };
  EXPECT_EQ(corner(2).At(34, 26), kBlack);  // the outer corner of the miter
  EXPECT_EQ(corner(1).At(34, 26), kWhite);
  EXPECT_EQ(corner(1).At(31, 28), kBlack);
}

TEST(JobRenderTest, CurvesAreFlattenedBeforeFilling) {
  // A closed curve through (10,20) bulging right to x = 40 at y = 20.
  Bytes path;
  path.Raw({0x11, 0, 0x02 | 0x08, 0}).U32(0).Rect(0, 0, 0, 0).U32(7 + 3 + 3);
  path.U32(2).U32(10 * 16).U32(10 * 16);
  path.U32(1).U32(50 * 16).U32(10 * 16).U32(50 * 16).U32(30 * 16).U32(10 * 16).U32(30 * 16);
  path.U32(0).U32(10 * 16).U32(10 * 16);
  const Drawn drawn = Draw(60, 40, {Colour(kBlack), path.Done()});
  EXPECT_EQ(drawn.At(35, 20), kBlack);
  EXPECT_EQ(drawn.At(45, 20), kWhite);  // the curve reaches x = 40 only
  EXPECT_EQ(drawn.At(45, 11), kWhite);
}

// A resident font select (0x50) of face "A" at a cell `height` pixels high.
std::vector<uint8_t> ResidentSelect(uint16_t height) {
  std::vector<uint8_t> select = Bytes()
                                    .Raw({0x50, 2, 0x31, 0})
                                    .U16(0)
                                    .U16(400)
                                    .U16(height)
                                    .U16(0)
                                    .U16(0)
                                    .U16(0)
                                    .U32(0)
                                    .U16(0)
                                    .U16(0)
                                    .U16('A')
                                    .U16(0)
                                    .Done(false);
  select[14] = static_cast<uint8_t>(select.size());
  return select;
}

// The engine font's 'I' at scale 1: columns 1 to 3 of the top and bottom rows, column 2 between.
TEST(JobRenderTest, ResidentTextIsDrawnWithTheEngineFontAtTheSelectedHeight) {
  const std::vector<uint8_t> select = ResidentSelect(16);  // cells of 8 at scale 2
  const std::vector<uint8_t> run =
      Bytes().Raw({0x52, 0, 0, 0}).U32(0).Rect(0, 0, 0, 0).U32(10).U32(4).U16(2).U16(0).U16(12).U16('I').U16('I').Done();
  const Drawn drawn = Draw(60, 30, {Colour(0x0000FF), select, run});
  EXPECT_TRUE(drawn.rendering.problems.empty());
  EXPECT_EQ(drawn.At(10 + 2 * 2, 4 + 2 * 3), 0x0000FFu);   // the stem
  EXPECT_EQ(drawn.At(10 + 2 * 0, 4 + 2 * 3), kWhite);
  EXPECT_EQ(drawn.At(10 + 2 * 1, 4), 0x0000FFu);           // the top bar
  EXPECT_EQ(drawn.At(22 + 2 * 2, 4 + 2 * 3), 0x0000FFu);   // the second glyph, one step on
  // A single code at a position (0x51 kind 0).
  const Drawn one = Draw(20, 20, {Colour(kBlack), Bytes().Raw({0x51, 0, 0, 0}).U32(0).Rect(0, 0, 0, 0).U32(5).U32(5).U16('I').U16(0).Done()});
  EXPECT_EQ(one.At(5 + 2, 5 + 3), kBlack);
  EXPECT_EQ(one.At(5 + 2, 5 + 7), kWhite);
}

// Resident codes are code page 932's: 0x88EA is U+4E00 (unifont: row 7, columns 0..14) and
// 0xB0 U+FF70 (row 6 column 1, row 7 columns 2..7). At a cell of 20 pixels the full-width
// glyph is 30 pixels wide and its row 7 pixel row 9 (centres: (2y + 1) * 16 / 40), columns
// 0..27; the half-width one 15 wide, its row 6 pixel rows 7 and 8, columns 2 and 3.
TEST(JobRenderTest, ResidentCodesAreCodePage932CharactersAtAnyHeight) {
  const std::vector<uint8_t> select = ResidentSelect(20);  // not a multiple of the cell
  const std::vector<uint8_t> run = Bytes()
                                       .Raw({0x52, 0, 0x80, 0})  // one step a glyph
                                       .U32(0)
                                       .Rect(0, 0, 0, 0)
                                       .U32(10)
                                       .U32(4)
                                       .U16(2)
                                       .U16(0)
                                       .U16(30)
                                       .U16(0)
                                       .U16(0x88EA)
                                       .U16(0xB0)
                                       .Done();
  const Drawn drawn = Draw(80, 40, {Colour(kBlack), select, run});
  EXPECT_TRUE(drawn.rendering.problems.empty());
  std::set<std::pair<int, int>> expected = {{42, 11}, {43, 11}, {42, 12}, {43, 12}};
  for (int x = 10; x <= 37; ++x) expected.insert({x, 13});
  for (int x = 44; x <= 54; ++x) expected.insert({x, 13});
  std::set<std::pair<int, int>> inked;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 80; ++x) {
      if (drawn.At(x, y) != kWhite) inked.insert({x, y});
    }
  }
  EXPECT_EQ(inked, expected);
}

TEST(JobRenderTest, AGlyphOutlineIsFilledAtItsBox) {
  Bytes outline;
  outline.Raw({0x51, 0, 1, 0}).U32(0).Rect(20, 10, 24, 14).U32(20).U32(10).U32('x').U32(3 * 4 + 3);
  outline.U32(4).U32(0).U32(0);
  for (auto [x, y] : std::vector<std::pair<int, int>>{{4, 0}, {4, 4}, {0, 4}, {0, 0}}) outline.U32(0).U32(x * 16).U32(y * 16);
  const Drawn drawn = Draw(40, 30, {Colour(kBlack), outline.Done()});
  EXPECT_EQ(drawn.At(20, 10), kBlack);
  EXPECT_EQ(drawn.At(23, 13), kBlack);
  EXPECT_EQ(drawn.At(24, 13), kWhite);
}

// A downloaded font select with face "DL".
std::vector<uint8_t> DownloadSelect() {
  std::vector<uint8_t> select =
      Bytes().Raw({0x56, 0x31, 0, 0}).U16(0).U16(400).U16(16).U16(0).U16(0).U16(0).U32(0).U16(0).U16(0).U32(0).U32(0)
          .U16('D').U16('L').U16(0).Done(false);
  select[14] = static_cast<uint8_t>(select.size());
  return select;
}

// An 8 x 3 glyph: rows FF 00 81, compressed as a repeated FF (1 byte), one skipped zero, then a
// literal 81: control 0x80, FF; control 0x08, 81.
const std::vector<uint8_t> kCompressedGlyph = {0x80, 0xFF, 0x08, 0x81};

TEST(JobRenderTest, ACompressedDownloadedGlyphIsKeptAndPlacedByItsSteps) {
  const std::vector<uint8_t> data = Bytes().Raw({0x54, 0, 0x08, 0}).U32(0).U32(4).U32(8).U32(3).U32(0).U16('A').U8(2)
                                        .U8(0).Raw(kCompressedGlyph).Done();
  const std::vector<uint8_t> placed = Bytes().Raw({0x55, 0, 0x08, 0}).U32(0).Rect(0, 0, 0, 0).U32(4).U32(2).U32(2)
                                          .U16(0).U16(0).U16('A').U16(10).U16(5).U16('A').Done();
  const Drawn drawn = Draw(40, 20, {DownloadSelect(), Colour(0xFF0000), data, placed});
  EXPECT_TRUE(drawn.rendering.problems.empty()) << drawn.rendering.problems.front();
  for (int x = 4; x < 12; ++x) EXPECT_EQ(drawn.At(x, 2), 0xFF0000u) << x;
  EXPECT_EQ(drawn.At(5, 3), kWhite);
  EXPECT_EQ(drawn.At(4, 4), 0xFF0000u);
  EXPECT_EQ(drawn.At(5, 4), kWhite);
  EXPECT_EQ(drawn.At(11, 4), 0xFF0000u);
  EXPECT_EQ(drawn.At(14, 7), 0xFF0000u);  // the second glyph, 10 right and 5 down
}

TEST(JobRenderTest, ACachedGlyphIsDrawnAgainWithoutItsBitmapAndAnUnknownOneIsReported) {
  const auto glyph = [](uint8_t op, int x, bool withBitmap) {
    Bytes record;
    record.Raw({op, 0, static_cast<uint8_t>(withBitmap ? 0x08 : 0x48), 0}).U32(0).Rect(x, 2, x + 8, 5).U32(x).U32(0);
    record.U32(withBitmap ? 64 : 0).U32(0).U32(0).U32(8).U32(3).U32(withBitmap ? 4 : 0).U32(0).U16('B').U8(2).U8(0);
    if (withBitmap) record.Raw(kCompressedGlyph);
    return record.Done();
  };
  Drawn drawn = Draw(40, 10, {DownloadSelect(), Colour(kBlack), glyph(0x53, 1, true), glyph(0x53, 20, false)});
  EXPECT_EQ(drawn.At(20, 2), kBlack);
  EXPECT_EQ(drawn.At(27, 4), kBlack);
  EXPECT_TRUE(drawn.rendering.problems.empty());
  // An uncached download (0x57) is drawn but not kept.
  drawn = Draw(40, 10, {DownloadSelect(), Colour(kBlack), glyph(0x57, 1, true), glyph(0x53, 20, false)});
  EXPECT_EQ(drawn.At(1, 2), kBlack);
  EXPECT_EQ(drawn.At(20, 2), kWhite);
  ASSERT_EQ(drawn.rendering.problems.size(), 1u);
  EXPECT_NE(drawn.rendering.problems[0].find("GLYPH_DL_CACHED: code 66 was not downloaded"), std::string::npos)
      << drawn.rendering.problems[0];
}

TEST(JobRenderTest, CompressedGlyphBitmapsExpandGroupByGroup) {
  struct Case {
    const char* what;
    std::vector<uint8_t> coded;
    size_t size;
    bool ok;
    std::vector<uint8_t> expanded;
  } const cases[] = {
      {"literal bytes", {0x02, 1, 2, 3}, 4, true, {1, 2, 3, 0}},
      {"a repeated byte", {0x83, 9}, 4, true, {9, 9, 9, 9}},
      {"zeros skipped first", {0x10 | 0x80, 7}, 4, true, {0, 0, 7, 0}},
      {"a count continued past 7", {0x87, 2, 5}, 10, true, std::vector<uint8_t>(10, 5)},
      {"a skip continued past 15", {0x78, 255, 1, 4}, 275, true, [] {
         std::vector<uint8_t> v(275, 0);
         v[15 + 255 + 1] = 4;
         return v;
       }()},
      {"nothing: all zeros", {}, 3, true, {0, 0, 0}},
      {"a group past the end", {0x84, 1}, 4, false, {}},
      {"literals cut short", {0x03, 1, 2}, 8, false, {}},
      {"a continuation cut short", {0x87}, 40, false, {}},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bitmap;
    EXPECT_EQ(ExpandGlyphBitmap(c.coded, c.size, &bitmap), c.ok) << c.what;
    if (c.ok) {
      EXPECT_EQ(bitmap, c.expanded) << c.what;
    }
  }
}

TEST(JobRenderTest, RecordsThatCannotBeDrawnAreNamed) {
  const std::vector<uint8_t> kind6 = Bytes().Raw({0x10, 0, 6, 0}).U32(0).Rect(0, 0, 4, 4).Done();
  const Drawn drawn = Draw(8, 8, {Colour(kBlack), kind6, Fill(0, 0, 1, 1)});
  ASSERT_EQ(drawn.rendering.problems.size(), 1u);
  EXPECT_EQ(drawn.rendering.problems[0], "page 1, record 3 RECT: kind 6 has no known drawing");
  EXPECT_EQ(drawn.At(0, 0), kBlack);  // drawing goes on after it
  EXPECT_EQ(drawn.At(2, 2), kWhite);

  // Records outside a page, and a page without its end.
  std::vector<jobdump::Record> records;
  std::string error;
  std::vector<uint8_t> bytes = Colour(kBlack);
  const std::vector<uint8_t> start = PageStart(4, 4);
  bytes.insert(bytes.end(), start.begin(), start.end());
  ASSERT_TRUE(jobdump::DecodeRecords(bytes.data(), bytes.size(), &records, &error)) << error;
  const Rendering rendering = DrawRecords(records);
  EXPECT_EQ(rendering.pages.size(), 1u);
  ASSERT_EQ(rendering.problems.size(), 2u);
  EXPECT_EQ(rendering.problems[0], "record COLOR outside a page is not drawn");
  EXPECT_EQ(rendering.problems[1], "page 1 has no page end: drawn as far as it goes");

  // A page too large to draw.
  records.clear();
  bytes = PageStart(1u << 20, 1u << 20);
  ASSERT_TRUE(jobdump::DecodeRecords(bytes.data(), bytes.size(), &records, &error)) << error;
  const Rendering huge = DrawRecords(records);
  EXPECT_TRUE(huge.pages.empty());
  ASSERT_EQ(huge.problems.size(), 1u);
  EXPECT_NE(huge.problems[0].find("PAGE_START: a page of 1048576 x 1048576 pixels is not drawn"), std::string::npos);
}

TEST(JobRenderTest, APictureBelowThePageResolutionAveragesItsArea) {
  // A 600 dpi page of 8 x 4 pixels: left half black, right half white; at 150 dpi 2 x 1 pixels.
  const Drawn drawn = Draw(8, 4, {Colour(kBlack), Fill(0, 0, 4, 4), Colour(0x808080), Fill(2, 0, 4, 4)});
  const Canvas small = Reduce(drawn.page(), 150);
  ASSERT_EQ(small.width, 2);
  ASSERT_EQ(small.height, 1);
  EXPECT_EQ(small.At(0, 0), 0x404040u);
  EXPECT_EQ(small.At(1, 0), kWhite);
  EXPECT_EQ(Reduce(drawn.page(), 600).rgb, drawn.page().rgb);
  // 600 to 250 dpi: picture pixels that cover parts of page pixels.
  const Canvas odd = Reduce(drawn.page(), 250);
  EXPECT_EQ(odd.width, 3);
  EXPECT_EQ(odd.At(0, 0), 0x202020u);  // 8 / 3 pixels: 2 black, 2 / 3 grey
}

}  // namespace
}  // namespace velm::jobrender
