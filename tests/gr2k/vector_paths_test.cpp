// Vector-mode paths: the pen derived from line attributes and transforms (widths, ends, joins,
// miter limits, style masks), and the path hooks' records: strokes, fills under both rules,
// strokes with fills, clips by rectangles and regions, and the calls handed back to GDI.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "driver_fixture.h"
#include "gr2k/vector_paths.h"

namespace velm::test {
namespace {

FLOAT_LONG Float(float e) {
  FLOAT_LONG v;
  v.e = e;
  return v;
}
FLOAT_LONG Long(LONG l) {
  FLOAT_LONG v;
  v.l = l;
  return v;
}

struct PenCase {
  const char* name;
  FLONG fl;
  FLOAT_LONG width;
  XFORML xform;
  ULONG cap, join;
  float miter;
  BOOL ok;
  WORD width_;
  BYTE cap_, join_;
  DWORD miter_;
};

constexpr XFORML kIdentity{1, 0, 0, 1, 0, 0};

TEST(PenFromLineAttrsTest, WidthsEndsJoinsAndMiterLimits) {
  const PenCase cases[] = {
      {"cosmetic", 0, Long(1), kIdentity, ENDCAP_SQUARE, JOIN_MITER, 4, TRUE, 1, 0, 0, 2560},
      {"geometric miter square", LA_GEOMETRIC, Float(5), kIdentity, ENDCAP_SQUARE, JOIN_MITER, 4, TRUE, 5, 2, 2, 1024},
      {"butt bevel", LA_GEOMETRIC, Float(5.9f), kIdentity, ENDCAP_BUTT, JOIN_BEVEL, 10, TRUE, 5, 1, 1, 2560},
      {"round", LA_GEOMETRIC, Float(3), kIdentity, ENDCAP_ROUND, JOIN_ROUND, 1.5f, TRUE, 3, 0, 0, 384},
      {"scaled twice", LA_GEOMETRIC, Float(5), {2, 0, 0, 2, 0, 0}, 0, 0, 10, TRUE, 10, 0, 0, 2560},
      {"scaled 2 and 1", LA_GEOMETRIC, Float(4), {2, 0, 0, 1, 0, 0}, 0, 0, 10, TRUE, 6, 0, 0, 2560},
      {"rotated 90 refused", LA_GEOMETRIC, Float(5), {0, 1, -1, 0, 0, 0}, 0, 0, 10, FALSE, 0, 0, 0, 0},
      {"half a pixel is 1", LA_GEOMETRIC, Float(0.5f), kIdentity, 0, 0, 10, TRUE, 1, 0, 0, 2560},
      {"below 1 skips the scale", LA_GEOMETRIC, Float(0.5f), {0, 1, -1, 0, 0, 0}, 0, 0, 10, TRUE, 1, 0, 0, 2560},
      {"integer-encoded width", LA_GEOMETRIC, Long(3), kIdentity, 0, 0, 10, TRUE, 3, 0, 0, 2560},
      {"negative width", LA_GEOMETRIC, Float(-4), kIdentity, 0, 0, 10, TRUE, 1, 0, 0, 2560},
      {"huge width clamped", LA_GEOMETRIC, Float(1e9f), {4, 0, 0, 4, 0, 0}, 0, 0, 10, TRUE, 0xFFFF, 0, 0, 2560},
      {"miter below 1", LA_GEOMETRIC, Float(2), kIdentity, 0, JOIN_MITER, 0.5f, TRUE, 2, 0, 2, 256},
      {"miter clamped", LA_GEOMETRIC, Float(2), kIdentity, 0, JOIN_MITER, 1e6f, TRUE, 2, 0, 2, 0x7FFF * 256},
  };
  for (const PenCase& c : cases) {
    LINEATTRS la{};
    la.fl = c.fl;
    la.elWidth = c.width;
    la.iEndCap = c.cap;
    la.iJoin = c.join;
    la.eMiterLimit = c.miter;
    XFORMOBJ* xform = platform::CreateXformObj(c.xform);
    LineAttrs pen{};
    BOOL geometric = 2;
    EXPECT_EQ(PenFromLineAttrs(600, &la, xform, &pen, &geometric), c.ok) << c.name;
    EXPECT_EQ(geometric, (c.fl & LA_GEOMETRIC) ? TRUE : FALSE) << c.name;
    if (c.ok) {
      EXPECT_EQ(pen.width, c.width_) << c.name;
      EXPECT_EQ(pen.endCap, c.cap_) << c.name;
      EXPECT_EQ(pen.join, c.join_) << c.name;
      EXPECT_EQ(pen.miterLimit, c.miter_) << c.name;
      EXPECT_EQ(pen.styleMask, 0xFFFFFFFFu) << c.name;
      EXPECT_EQ(pen.styleUnit, 0) << c.name;
    }
    platform::DeleteXformObj(xform);
  }
}

TEST(PenFromLineAttrsTest, PenScaleOfTransforms) {
  EXPECT_EQ(XformPenScale(nullptr), -1);
  const struct {
    XFORML m;
    LONG scale;
  } cases[] = {{kIdentity, -1}, {{2, 0, 0, 2, 0, 0}, 512}, {{0, 1, -1, 0, 0, 0}, 0}, {{-1, 0, 0, 3, 0, 0}, 512},
               {{1, 0, 0, 1, 5, 5}, 256}};
  for (const auto& c : cases) {
    XFORMOBJ* xform = platform::CreateXformObj(c.m);
    EXPECT_EQ(XformPenScale(xform), c.scale) << c.m.eM11 << " " << c.m.eM22;
    platform::DeleteXformObj(xform);
  }
}

struct StyleCase {
  const char* name;
  FLONG fl;
  std::vector<FLOAT_LONG> style;
  DWORD resolution;
  BOOL ok;
  BYTE unit;
  DWORD mask;
  BYTE offset;
};

TEST(PenFromLineAttrsTest, StyleMasksUnitsAndOffsets) {
  const StyleCase cases[] = {
      // Cosmetic elements are resolution / 50 pixels: 4 and 4 at 600 dpi are 48 and 48.
      {"cosmetic dash 4 gap 4", LA_STYLED, {Long(4), Long(4)}, 600, TRUE, 3, 0xFFFF0000, 0},
      // At 50 dpi they are 4 pixels: the 8-pixel pattern repeats four times over the 32 bits.
      {"short pattern repeated", LA_STYLED, {Long(4), Long(4)}, 50, TRUE, 1, 0xF0F0F0F0, 0},
      {"start offset", LA_STYLED | LA_STARTGAP, {Long(2), Long(4), Long(4)}, 600, TRUE, 3, 0xFFFF0000, 8},
      {"one element stays solid", LA_STYLED, {Long(5)}, 600, TRUE, 0, 0xFFFFFFFF, 0},
      {"geometric 3 on 1 off", LA_GEOMETRIC, {Float(3), Float(1)}, 600, TRUE, 1, 0xEEEEEEEE, 0},
      // 40 and 20 over 32 bits: the dash ends at 40 * 32 / 60 = 21.3, bit 21.
      {"proportional spread", LA_GEOMETRIC, {Float(40), Float(20)}, 600, TRUE, 1, 0xFFFFF800, 0},
      {"zeros take the next", LA_GEOMETRIC, {Float(0), Float(4), Float(4), Float(0)}, 600, TRUE, 1, 0xF0F0F0F0, 0},
      // An odd count is taken twice: 4 on, 2 off, 2 on, 4 off, 2 on, 2 off, twice.
      {"odd count", LA_GEOMETRIC, {Float(4), Float(2), Float(2)}, 600, TRUE, 1, 0xF30CF30C, 0},
      {"geometric unit above 255", LA_GEOMETRIC, {Float(9000), Float(9000)}, 600, FALSE, 0, 0, 0},
      {"cosmetic unit capped", LA_STYLED, {Long(1000), Long(1000)}, 600, TRUE, 255, 0xFFFF0000, 0},
  };
  for (const StyleCase& c : cases) {
    std::vector<FLOAT_LONG> style = c.style;
    LINEATTRS la{};
    la.fl = c.fl;
    la.elWidth = (c.fl & LA_GEOMETRIC) ? Float(1) : Long(1);
    la.eMiterLimit = 10;
    la.cstyle = static_cast<ULONG>(style.size());
    la.pstyle = style.data();
    LineAttrs pen{};
    BOOL geometric = FALSE;
    EXPECT_EQ(PenFromLineAttrs(c.resolution, &la, nullptr, &pen, &geometric), c.ok) << c.name;
    if (!c.ok) continue;
    EXPECT_EQ(pen.styleUnit, c.unit) << c.name;
    EXPECT_EQ(pen.styleMask, c.mask) << c.name << std::hex << " " << pen.styleMask;
    EXPECT_EQ(pen.styleOffset, c.offset) << c.name;
  }
}

TEST(PenFromLineAttrsTest, AStyledWidePenIsRefused) {
  FLOAT_LONG style[] = {Float(6), Float(3)};
  LINEATTRS la{};
  la.fl = LA_GEOMETRIC;
  la.elWidth = Float(4);
  la.cstyle = 2;
  la.pstyle = style;
  LineAttrs pen{};
  BOOL geometric = FALSE;
  EXPECT_FALSE(PenFromLineAttrs(600, &la, nullptr, &pen, &geometric));
  EXPECT_TRUE(geometric);
}

// An owned engine path.
struct Path {
  PATHOBJ* ppo = EngCreatePath();
  ~Path() { EngDeletePath(ppo); }
};

POINTFIX Fx(LONG x, LONG y) { return POINTFIX{x * 16, y * 16}; }

void Polygon(PATHOBJ* ppo, std::vector<POINTFIX> points, bool close) {
  PATHOBJ_bMoveTo(ppo, points[0]);
  PATHOBJ_bPolyLineTo(ppo, points.data() + 1, static_cast<ULONG>(points.size() - 1));
  if (close) PATHOBJ_bCloseFigure(ppo);
}

struct Brush {
  explicit Brush(ULONG rgb) : bo(platform::CreateSolidBrushObj(rgb)) {}
  ~Brush() { platform::DeleteBrushObj(bo); }
  BRUSHOBJ* bo;
};

class VectorPathsTest : public VectorPageTest {
 protected:
  // The bytes of a record as the job carries them.
  std::vector<uint8_t> RawBytes(const jobdump::Job& job, const jobdump::Record& record) const {
    const size_t at = job.packets[record.packet].offset + 8 + record.offset;
    return std::vector<uint8_t>(jobBytes_.begin() + at, jobBytes_.begin() + at + record.length);
  }
};

// A wide pen's stroke, byte for byte: the line records from the pen, a solid pattern, colour
// attribute 2, ROP 0xCC, the pen colour, and the path with mode 0.
TEST_F(VectorPathsTest, AStrokeWritesThePenColourAndPathGoldenBytes) {
  RenderPdev* pdev = Start();
  ASSERT_NE(pdev, nullptr);
  Path path;
  Polygon(path.ppo, {Fx(10, 20), Fx(30, 20)}, false);
  Brush red(0x112233);
  LINEATTRS la{};
  la.fl = LA_GEOMETRIC;
  la.elWidth.e = 5;
  la.iEndCap = ENDCAP_SQUARE;
  la.iJoin = JOIN_MITER;
  la.eMiterLimit = 4;
  EXPECT_TRUE(DrvStrokePath(device_, path.ppo, nullptr, nullptr, red.bo, nullptr, &la, R2_COPYPEN | (R2_COPYPEN << 8)));
  const jobdump::Job job = Finish(pdev);
  EXPECT_EQ(Opcodes(job), "33 34 35 36 40 32 31 30 12");
  const auto bytes = [&](uint8_t opcode) { return RawBytes(job, *RecordsOf(job, opcode).at(0)); };
  using B = std::vector<uint8_t>;
  EXPECT_EQ(bytes(0x33), (B{0x33, 0, 5, 0, 0xFF, 0xFF, 0xFF, 0xFF}));  // unit 0, width 5, solid
  EXPECT_EQ(bytes(0x34), (B{0x34, 0, 0, 0}));
  EXPECT_EQ(bytes(0x35), (B{0x35, 2, 0, 0}));                      // square
  EXPECT_EQ(bytes(0x36), (B{0x36, 2, 0, 0, 0x00, 0x04, 0, 0}));    // miter, 4.0 = 1024/256
  EXPECT_EQ(bytes(0x32), (B{0x32, 2, 0, 0}));                      // two colours: no R2_NOP background
  EXPECT_EQ(bytes(0x31), (B{0x31, 0xCC, 0, 0}));                   // mix 13
  // Colour 0x112233 red first, second colour white: flags 0x01 | 0x08 | 0x40 (colour mode 2).
  const B colour = bytes(0x30);
  ASSERT_EQ(colour.size(), 12u);
  EXPECT_EQ(B(colour.begin() + 3, colour.end()), (B{0, 0x11, 0x22, 0x33, 0xFF, 0xFF, 0xFF, 0, 0}));
  // 0x12, mode 0, length 24 + 4 + 12 + 12 = 52, bounds (10,20)-(30,20), size figure 3 + 3,
  // one sub-path of one line entry, points in 28.4.
  B expected{0x12, 0, 0, 0, 52, 0, 0, 0, 10, 0, 0, 0, 20, 0, 0, 0, 30, 0, 0, 0, 20, 0, 0, 0, 6, 0, 0, 0,
             1, 0, 0, 0, 160, 0, 0, 0, 0x40, 1, 0, 0, 0, 0, 0, 0, 0xE0, 1, 0, 0, 0x40, 1, 0, 0};
  EXPECT_EQ(bytes(0x12), expected);
}

TEST_F(VectorPathsTest, AHatchedPenIsHandedBackAndWritesNothing) {
  RenderPdev* pdev = Start();
  ASSERT_NE(pdev, nullptr);
  Path path;
  Polygon(path.ppo, {Fx(10, 20), Fx(30, 20)}, false);
  BRUSHOBJ* hatch = platform::CreateHatchBrushObj(HS_CROSS, 0, 0xFFFFFF, device_);
  LINEATTRS la{};
  la.elWidth.l = 1;
  EXPECT_FALSE(DrvStrokePath(device_, path.ppo, nullptr, nullptr, hatch, nullptr, &la, R2_COPYPEN));
  platform::DeleteBrushObj(hatch);
  EXPECT_EQ(Opcodes(Finish(pdev)), "");
}

TEST_F(VectorPathsTest, FillsUnderBothRulesShareOneColourRecord) {
  RenderPdev* pdev = Start();
  ASSERT_NE(pdev, nullptr);
  Path path;
  Polygon(path.ppo, {Fx(10, 10), Fx(60, 10), Fx(10, 60)}, true);
  Polygon(path.ppo, {Fx(30, 30), Fx(80, 30), Fx(30, 80)}, true);
  Brush blue(0x0000FF);
  EXPECT_TRUE(DrvFillPath(device_, path.ppo, nullptr, blue.bo, nullptr, R2_COPYPEN, FP_ALTERNATEMODE));
  EXPECT_TRUE(DrvFillPath(device_, path.ppo, nullptr, blue.bo, nullptr, R2_COPYPEN, FP_WINDINGMODE));
  const jobdump::Job job = Finish(pdev);
  EXPECT_EQ(Opcodes(job), "40 30 32 31 12 12");
  const auto paths = RecordsOf(job, 0x12);
  ASSERT_EQ(paths.size(), 2u);
  EXPECT_EQ(paths[0]->Get("mode"), 1);
  EXPECT_EQ(paths[1]->Get("mode"), 2);
  EXPECT_EQ(paths[0]->Get("multiple"), 1);
  EXPECT_EQ(paths[0]->Get("closed"), 1);
}

TEST_F(VectorPathsTest, SolidStrokeAndFillIsOneColourWithAThirdAndOnePath) {
  for (const FLONG rule : {FP_ALTERNATEMODE, FP_WINDINGMODE}) {
    RenderPdev* pdev = Start();
    ASSERT_NE(pdev, nullptr);
    Path path;
    Polygon(path.ppo, {Fx(10, 10), Fx(60, 10), Fx(10, 60)}, true);
    Brush pen(0x00FF00), fill(0x0000FF);
    LINEATTRS la{};
    la.elWidth.l = 1;
    EXPECT_TRUE(DrvStrokeAndFillPath(device_, path.ppo, nullptr, nullptr, pen.bo, &la, fill.bo, nullptr, R2_COPYPEN,
                                     rule));
    const jobdump::Job job = Finish(pdev);
    EXPECT_EQ(Opcodes(job), "33 34 35 36 40 30 32 31 12");
    const jobdump::Record* colour = RecordsOf(job, 0x30).at(0);
    EXPECT_EQ(colour->Get("rgb1"), 0x0000FF);
    EXPECT_EQ(colour->Get("rgb3"), 0x00FF00);
    EXPECT_EQ(RawBytes(job, *colour)[2] & 0x10, 0x10);
    EXPECT_EQ(RecordsOf(job, 0x12).at(0)->Get("mode"), rule == FP_WINDINGMODE ? 4 : 3);
  }
}

TEST_F(VectorPathsTest, APatternFillWithAStrokeGoesAsFillThenStroke) {
  RenderPdev* pdev = Start();
  ASSERT_NE(pdev, nullptr);
  Path path;
  Polygon(path.ppo, {Fx(10, 10), Fx(60, 10), Fx(10, 60)}, true);
  Brush pen(0x000000);
  BRUSHOBJ* hatch = platform::CreateHatchBrushObj(HS_CROSS, 0xFF0000, 0xFFFFFF, device_);
  LINEATTRS la{};
  la.elWidth.l = 1;
  EXPECT_TRUE(DrvStrokeAndFillPath(device_, path.ppo, nullptr, nullptr, pen.bo, &la, hatch, nullptr, R2_COPYPEN,
                                   FP_ALTERNATEMODE));
  platform::DeleteBrushObj(hatch);
  const jobdump::Job job = Finish(pdev);
  // The hatch's pattern and colours with mode 1, then the pen's line records, a solid pattern
  // and mode 0.
  EXPECT_EQ(Opcodes(job), "40 30 32 31 12 33 34 35 36 40 30 12");
  const auto paths = RecordsOf(job, 0x12);
  EXPECT_EQ(paths.at(0)->Get("mode"), 1);
  EXPECT_EQ(paths.at(1)->Get("mode"), 0);
}

TEST_F(VectorPathsTest, ClipsByRectangleAndRegionPrecedeThePath) {
  RenderPdev* pdev = Start();
  ASSERT_NE(pdev, nullptr);
  Path path;
  Polygon(path.ppo, {Fx(0, 0), Fx(100, 0), Fx(100, 100), Fx(0, 100)}, true);
  Brush blue(0x0000FF);
  const RECTL one{10, 10, 50, 50};
  const RECTL two[] = {{10, 10, 50, 30}, {30, 40, 90, 60}};
  CLIPOBJ* rect = platform::CreateRegionClip(&one, 1);
  CLIPOBJ* region = platform::CreateRegionClip(two, 2);
  EXPECT_TRUE(DrvFillPath(device_, path.ppo, rect, blue.bo, nullptr, R2_COPYPEN, FP_ALTERNATEMODE));
  EXPECT_TRUE(DrvFillPath(device_, path.ppo, rect, blue.bo, nullptr, R2_COPYPEN, FP_ALTERNATEMODE));
  EXPECT_TRUE(DrvFillPath(device_, path.ppo, region, blue.bo, nullptr, R2_COPYPEN, FP_WINDINGMODE));
  EXPECT_TRUE(DrvFillPath(device_, path.ppo, nullptr, blue.bo, nullptr, R2_COPYPEN, FP_WINDINGMODE));
  EngDeleteClip(rect);
  EngDeleteClip(region);
  const jobdump::Job job = Finish(pdev);
  // The rectangle once for two fills; the region as a clip path (mode 5); clip off at the end.
  EXPECT_EQ(Opcodes(job), "40 30 32 31 10 12 12 12 12 37 12");
  const auto paths = RecordsOf(job, 0x12);
  EXPECT_EQ(paths.at(2)->Get("mode"), 5);
  EXPECT_EQ(paths.at(3)->Get("mode"), 2);
  EXPECT_EQ(RecordsOf(job, 0x10).at(0)->Get("kind"), 5);
}

TEST_F(VectorPathsTest, AStrokeOfTwoFiguresOneClosedGoesOneRecordEach) {
  RenderPdev* pdev = Start();
  ASSERT_NE(pdev, nullptr);
  Path path;
  Polygon(path.ppo, {Fx(10, 10), Fx(60, 10)}, false);
  Polygon(path.ppo, {Fx(10, 30), Fx(60, 30), Fx(60, 60)}, true);
  Brush black(0);
  LINEATTRS la{};
  la.elWidth.l = 1;
  EXPECT_TRUE(DrvStrokePath(device_, path.ppo, nullptr, nullptr, black.bo, nullptr, &la, R2_COPYPEN));
  const jobdump::Job job = Finish(pdev);
  const auto paths = RecordsOf(job, 0x12);
  ASSERT_EQ(paths.size(), 2u);
  EXPECT_EQ(paths[0]->Get("closed"), 0);
  EXPECT_EQ(paths[1]->Get("closed"), 1);
  EXPECT_EQ(paths[0]->Get("multiple") + paths[1]->Get("multiple"), 0);
}

TEST_F(VectorPathsTest, RefusedPensAndBadPdevs) {
  RenderPdev* pdev = Start();
  ASSERT_NE(pdev, nullptr);
  Path path;
  Polygon(path.ppo, {Fx(10, 10), Fx(60, 10)}, false);
  Brush black(0);
  FLOAT_LONG style[] = {Float(6), Float(3)};
  LINEATTRS wideDashes{};
  wideDashes.fl = LA_GEOMETRIC;
  wideDashes.elWidth.e = 4;
  wideDashes.cstyle = 2;
  wideDashes.pstyle = style;
  EXPECT_FALSE(DrvStrokePath(device_, path.ppo, nullptr, nullptr, black.bo, nullptr, &wideDashes, R2_COPYPEN));
  XFORMOBJ* rotated = platform::CreateXformObj(XFORML{0, 1, -1, 0, 0, 0});
  LINEATTRS wide{};
  wide.fl = LA_GEOMETRIC;
  wide.elWidth.e = 4;
  EXPECT_FALSE(DrvStrokePath(device_, path.ppo, nullptr, rotated, black.bo, nullptr, &wide, R2_COPYPEN));
  platform::DeleteXformObj(rotated);
  SURFOBJ foreign{};
  SetLastError(0);
  EXPECT_EQ(DrvFillPath(&foreign, path.ppo, nullptr, black.bo, nullptr, R2_COPYPEN, 0), static_cast<BOOL>(DDI_ERROR));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  // A job that lost a write draws nothing more.
  pdev->flags |= kPdevFlagAbort;
  EXPECT_FALSE(DrvFillPath(device_, path.ppo, nullptr, black.bo, nullptr, R2_COPYPEN, 0));
  pdev->flags &= ~kPdevFlagAbort;
  EXPECT_EQ(Opcodes(Finish(pdev)), "");
}

}  // namespace
}  // namespace velm::test

namespace velm::test {
namespace {

bool Logged(const platform::PrintResult& result, const std::string& line) {
  for (const std::string& call : result.calls) {
    if (call.find(line) != std::string::npos) return true;
  }
  return false;
}

// What the driver hands back the engine breaks into a region the driver fills: a wide dashed
// line becomes a clip path (mode 5) and a filled rectangle with the pen's colour.
TEST_F(DriverTest, ARefusedStrokeComesBackAsARegionTheDriverFills) {
  const platform::PrintResult result =
      PrintThroughHost("line 20 40 300 40 pen=red width=5 style=12,6\n", {{"6", "0"}, {"47", "400"}, {"46", "300"}});
  ASSERT_TRUE(result.ok) << result.message;
  EXPECT_TRUE(Logged(result, "DrvStrokePath -> FALSE (engine fallback requested)"));
  EXPECT_TRUE(Logged(result, "region stroke -> TRUE"));
  const jobdump::Job job = JobOf(result);
  const auto clips = RecordsOf(job, 0x12);
  ASSERT_EQ(clips.size(), 1u);
  EXPECT_EQ(clips[0]->Get("mode"), 5);
  EXPECT_GT(clips[0]->subpaths.size(), 10u);  // one rectangle per dash at least
  const auto fills = RecordsOf(job, 0x10);
  ASSERT_EQ(fills.size(), 1u);
  EXPECT_EQ(fills[0]->Get("kind"), 1);
  EXPECT_EQ(RecordsOf(job, 0x30).at(0)->Get("rgb1"), 0xFF0000);
}

}  // namespace
}  // namespace velm::test
