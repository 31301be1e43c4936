#include <gtest/gtest.h>

#include "core/winerror.h"
#include "eng_test_support.h"

namespace velm::test {
namespace {

using EngClipTest = EngTest;
using EngPathTest = EngTest;

int64_t Area(const std::vector<RECTL>& rects) {
  int64_t area = 0;
  for (const RECTL& r : rects) area += int64_t{r.right - r.left} * (r.bottom - r.top);
  return area;
}

// All rectangles of an enumeration, in batches of `room` rectangles.
std::vector<RECTL> Enumerate(CLIPOBJ* clip, ULONG direction, size_t room, std::vector<size_t>* batches = nullptr) {
  std::vector<RECTL> out;
  CLIPOBJ_cEnumStart(clip, TRUE, CT_RECTANGLES, direction, 0);
  std::vector<BYTE> buffer(sizeof(ULONG) + room * sizeof(RECTL));
  BOOL more;
  do {
    more = CLIPOBJ_bEnum(clip, static_cast<ULONG>(buffer.size()), reinterpret_cast<ULONG*>(buffer.data()));
    ULONG c;
    std::memcpy(&c, buffer.data(), 4);
    if (batches) batches->push_back(c);
    for (ULONG i = 0; i < c; ++i) {
      RECTL r;
      std::memcpy(&r, buffer.data() + 4 + i * sizeof(RECTL), sizeof r);  // ENUMRECTS: c, then rectangles
      out.push_back(r);
    }
  } while (more);
  return out;
}

TEST_F(EngClipTest, RegionsAreTheUnionAsDisjointRows) {
  const RECTL rects[3] = {{0, 0, 10, 10}, {5, 5, 15, 15}, {20, 0, 25, 3}};
  CLIPOBJ* clip = platform::CreateRegionClip(rects, 3);
  EXPECT_EQ(clip->iDComplexity, DC_COMPLEX);
  EXPECT_EQ(clip->iFComplexity, FC_COMPLEX);  // five rectangles in four rows
  EXPECT_EQ(clip->rclBounds.left, 0);
  EXPECT_EQ(clip->rclBounds.right, 25);
  EXPECT_EQ(clip->rclBounds.bottom, 15);
  const std::vector<RECTL> region = Enumerate(clip, CD_ANY, 100);
  EXPECT_EQ(Area(region), 100 + 100 - 25 + 15);
  for (size_t i = 0; i < region.size(); ++i) {
    for (size_t j = i + 1; j < region.size(); ++j) {
      const RECTL& a = region[i];
      const RECTL& b = region[j];
      EXPECT_TRUE(a.right <= b.left || b.right <= a.left || a.bottom <= b.top || b.bottom <= a.top);
    }
  }
  EngDeleteClip(clip);

  // One rectangle, or none, is a rectangular clip.
  CLIPOBJ* one = platform::CreateRegionClip(rects, 1);
  EXPECT_EQ(one->iDComplexity, DC_RECT);
  CLIPOBJ* none = platform::CreateRegionClip(nullptr, 0);
  EXPECT_EQ(none->iDComplexity, DC_RECT);
  EXPECT_EQ(Enumerate(none, CD_ANY, 4).size(), 0u);
  EngDeleteClip(one);
  EngDeleteClip(none);
}

TEST_F(EngClipTest, EnumerationComesInBatchesUntilFalse) {
  const RECTL rects[5] = {{0, 0, 1, 1}, {2, 0, 3, 1}, {4, 0, 5, 1}, {0, 2, 1, 3}, {2, 4, 3, 5}};
  CLIPOBJ* clip = platform::CreateRegionClip(rects, 5);
  EXPECT_EQ(CLIPOBJ_cEnumStart(clip, TRUE, CT_RECTANGLES, CD_RIGHTDOWN, 0), 5u);
  EXPECT_EQ(CLIPOBJ_cEnumStart(clip, TRUE, CT_RECTANGLES, CD_RIGHTDOWN, 4), 0xFFFFFFFFu);
  EXPECT_EQ(CLIPOBJ_cEnumStart(clip, TRUE, CT_RECTANGLES, CD_RIGHTDOWN, 5), 5u);
  std::vector<size_t> batches;
  const std::vector<RECTL> down = Enumerate(clip, CD_RIGHTDOWN, 2, &batches);
  EXPECT_EQ(batches, (std::vector<size_t>{2, 2, 1}));
  ASSERT_EQ(down.size(), 5u);
  EXPECT_EQ(down[0].left, 0);
  EXPECT_EQ(down[2].left, 4);
  EXPECT_EQ(down[4].top, 4);
  const std::vector<RECTL> up = Enumerate(clip, CD_LEFTUP, 8);
  EXPECT_EQ(up[0].top, 4);
  EXPECT_EQ(up[2].left, 4);  // the top row, from the right
  EXPECT_EQ(up[4].left, 0);
  // A buffer without room for a rectangle still answers whether more remain.
  CLIPOBJ_cEnumStart(clip, TRUE, CT_RECTANGLES, CD_ANY, 0);
  ULONG tiny[2] = {99, 0};
  EXPECT_TRUE(CLIPOBJ_bEnum(clip, sizeof tiny, tiny));
  EXPECT_EQ(tiny[0], 0u);
  EngDeleteClip(clip);
}

TEST_F(EngClipTest, TheRegionsPathOutlinesEachRectangle) {
  const RECTL rects[2] = {{0, 0, 2, 2}, {5, 5, 7, 9}};
  CLIPOBJ* clip = platform::CreateRegionClip(rects, 2);
  PATHOBJ* path = CLIPOBJ_ppoGetPath(clip);
  ASSERT_NE(path, nullptr);
  RECTFX bounds;
  PATHOBJ_vGetBounds(path, &bounds);
  EXPECT_EQ(bounds.xLeft, 0);
  EXPECT_EQ(bounds.yBottom, 9 * 16);
  PATHDATA data;
  PATHOBJ_vEnumStart(path);
  int closed = 0;
  BOOL more;
  do {
    more = PATHOBJ_bEnum(path, &data);
    closed += (data.flags & PD_CLOSEFIGURE) != 0;
  } while (more);
  EXPECT_EQ(closed, 2);
  EngDeletePath(path);
  EngDeleteClip(clip);
  CLIPOBJ* trivial = EngCreateClip();
  EXPECT_EQ(CLIPOBJ_ppoGetPath(trivial), nullptr);
  EngDeleteClip(trivial);
}

POINTFIX Fx(double x, double y) { return POINTFIX{static_cast<FIX>(x * 16), static_cast<FIX>(y * 16)}; }

struct Record {
  FLONG flags;
  std::vector<POINTFIX> points;
  bool more;
};
std::vector<Record> Records(PATHOBJ* path) {
  std::vector<Record> out;
  PATHOBJ_vEnumStart(path);
  for (int guard = 0; guard < 1000; ++guard) {
    PATHDATA data;
    const BOOL more = PATHOBJ_bEnum(path, &data);
    out.push_back(Record{data.flags, std::vector<POINTFIX>(data.pptfx, data.pptfx + data.count), more != FALSE});
    if (!more) break;
  }
  return out;
}

// Figure 1: a line run, a Bézier, a line, closed. Figure 2: one open line.
PATHOBJ* SamplePath() {
  PATHOBJ* path = EngCreatePath();
  POINTFIX lines[2] = {Fx(10, 0), Fx(10, 10)};
  POINTFIX curve[3] = {Fx(8, 12), Fx(2, 12), Fx(0, 10)};
  POINTFIX back[1] = {Fx(0, 5)};
  POINTFIX open[1] = {Fx(30, 30)};
  EXPECT_TRUE(PATHOBJ_bMoveTo(path, Fx(0, 0)));
  EXPECT_TRUE(PATHOBJ_bPolyLineTo(path, lines, 2));
  EXPECT_TRUE(PATHOBJ_bPolyBezierTo(path, curve, 3));
  EXPECT_TRUE(PATHOBJ_bPolyLineTo(path, back, 1));
  EXPECT_TRUE(PATHOBJ_bCloseFigure(path));
  EXPECT_TRUE(PATHOBJ_bMoveTo(path, Fx(20, 20)));
  EXPECT_TRUE(PATHOBJ_bPolyLineTo(path, open, 1));
  return path;
}

TEST_F(EngPathTest, EnumerationGivesRunsWithFigureFlags) {
  PATHOBJ* path = SamplePath();
  EXPECT_EQ(path->fl & PO_BEZIERS, PO_BEZIERS);
  EXPECT_EQ(path->cCurves, 2u + 2 + 1 + 1 + 1);  // two starts, three lines, one curve, one line
  const std::vector<Record> records = Records(path);
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0].flags, PD_BEGINSUBPATH | PD_RESETSTYLE);
  EXPECT_EQ(records[0].points.size(), 3u);  // the start and two lines
  EXPECT_EQ(records[0].points[0].x, 0);
  EXPECT_EQ(records[1].flags, PD_BEZIERS);
  EXPECT_EQ(records[1].points.size(), 3u);
  EXPECT_EQ(records[2].flags, PD_ENDSUBPATH | PD_CLOSEFIGURE);
  EXPECT_EQ(records[3].flags, PD_BEGINSUBPATH | PD_RESETSTYLE | PD_ENDSUBPATH);
  EXPECT_TRUE(records[2].more);
  EXPECT_FALSE(records[3].more);
  // Past the end: nothing more.
  PATHDATA data;
  EXPECT_FALSE(PATHOBJ_bEnum(path, &data));
  EXPECT_EQ(data.count, 0u);
  RECTFX bounds;
  PATHOBJ_vGetBounds(path, &bounds);
  EXPECT_EQ(bounds.xRight, 30 * 16);
  EXPECT_EQ(bounds.yBottom, 30 * 16);
  EngDeletePath(path);
}

TEST_F(EngPathTest, AnEnumerationLimitSplitsFiguresButKeepsBeziersWhole) {
  PATHOBJ* path = EngCreatePath();
  POINTFIX lines[4] = {Fx(1, 0), Fx(2, 0), Fx(3, 0), Fx(4, 0)};
  POINTFIX curves[6] = {Fx(5, 1), Fx(6, 1), Fx(7, 0), Fx(8, 1), Fx(9, 1), Fx(10, 0)};
  PATHOBJ_bMoveTo(path, Fx(0, 0));
  PATHOBJ_bPolyLineTo(path, lines, 4);
  PATHOBJ_bPolyBezierTo(path, curves, 6);
  platform::SetPathEnumLimit(path, 2);
  std::vector<size_t> counts;
  size_t points = 0;
  for (const Record& r : Records(path)) {
    counts.push_back(r.points.size());
    points += r.points.size();
    if (r.flags & PD_BEZIERS) {
      EXPECT_EQ(r.points.size() % 3, 0u);
    }
  }
  EXPECT_EQ(counts, (std::vector<size_t>{2, 2, 1, 3, 3}));
  EXPECT_LE(points, 3u * path->cCurves);

  // A figure that begins with Béziers carries its start in the first record.
  PATHOBJ* curve = EngCreatePath();
  PATHOBJ_bMoveTo(curve, Fx(0, 0));
  PATHOBJ_bPolyBezierTo(curve, curves, 6);
  platform::SetPathEnumLimit(curve, 1);
  const std::vector<Record> records = Records(curve);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].points.size(), 4u);
  EXPECT_EQ(records[0].flags, PD_BEGINSUBPATH | PD_RESETSTYLE | PD_BEZIERS);
  EXPECT_EQ(records[1].flags, PD_BEZIERS | PD_ENDSUBPATH);
  EngDeletePath(path);
  EngDeletePath(curve);
}

TEST_F(EngPathTest, BuildingRefusesWhatIsNotAPath) {
  PATHOBJ* path = EngCreatePath();
  POINTFIX p[2] = {Fx(1, 1), Fx(2, 2)};
  EXPECT_FALSE(PATHOBJ_bPolyLineTo(path, p, 1));  // no figure begun
  PATHOBJ_bMoveTo(path, Fx(0, 0));
  EXPECT_FALSE(PATHOBJ_bPolyBezierTo(path, p, 2));  // not whole Béziers
  // After a close the next line starts a figure at the closed one's start.
  EXPECT_TRUE(PATHOBJ_bPolyLineTo(path, p, 2));
  EXPECT_TRUE(PATHOBJ_bCloseFigure(path));
  EXPECT_TRUE(PATHOBJ_bPolyLineTo(path, p, 1));
  const std::vector<Record> records = Records(path);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].points[0].x, 0);
  EXPECT_EQ(records[1].points[1].x, 16);
  EngDeletePath(path);
}

void FillPath(Bitmap& bitmap, PATHOBJ* path, FLONG mode) {
  BRUSHOBJ* brush = platform::CreateSolidBrushObj(1);
  ASSERT_TRUE(EngFillPath(bitmap.so(), path, nullptr, brush, nullptr, R2_COPYPEN, mode));
  platform::DeleteBrushObj(brush);
}

TEST_F(EngPathTest, FillingTakesPixelsWhoseCentreIsInside) {
  Bitmap bitmap(8, 8, BMF_8BPP);
  PATHOBJ* path = EngCreatePath();
  POINTFIX corners[3] = {Fx(4, 1), Fx(4, 3), Fx(1, 3)};
  PATHOBJ_bMoveTo(path, Fx(1, 1));
  PATHOBJ_bPolyLineTo(path, corners, 3);
  FillPath(bitmap, path, FP_ALTERNATEMODE);
  EXPECT_EQ(bitmap.Count(1, RECTL{0, 0, 8, 8}), 6);
  EXPECT_EQ(bitmap.Count(1, RECTL{1, 1, 4, 3}), 6);
  EngDeletePath(path);
}

TEST_F(EngPathTest, AStarIsHollowUnderAlternateAndSolidUnderWinding) {
  PATHOBJ* star = EngCreatePath();
  PATHOBJ_bMoveTo(star, Fx(20, 2));
  PATHOBJ_bMoveTo(star, Fx(32, 2));  // a move after a move only moves
  POINTFIX points[4] = {Fx(50, 62), Fx(2, 24), Fx(62, 24), Fx(14, 62)};
  PATHOBJ_bPolyLineTo(star, points, 4);
  PATHOBJ_bCloseFigure(star);
  Bitmap alternate(64, 64, BMF_8BPP), winding(64, 64, BMF_8BPP);
  FillPath(alternate, star, FP_ALTERNATEMODE);
  FillPath(winding, star, FP_WINDINGMODE);
  EXPECT_EQ(alternate.Get(32, 34), 0u);
  EXPECT_EQ(winding.Get(32, 34), 1u);
  EXPECT_EQ(alternate.Get(32, 10), 1u);  // a point of the star
  EXPECT_EQ(winding.Get(32, 10), 1u);
  EXPECT_GT(winding.Count(1, RECTL{0, 0, 64, 64}), alternate.Count(1, RECTL{0, 0, 64, 64}));
  EngDeletePath(star);
}

TEST_F(EngPathTest, CosmeticStrokesLeaveOutTheLastPixel) {
  Bitmap bitmap(10, 10, BMF_8BPP);
  PATHOBJ* line = EngCreatePath();
  POINTFIX end[1] = {Fx(5, 0)};
  PATHOBJ_bMoveTo(line, Fx(0, 0));
  PATHOBJ_bPolyLineTo(line, end, 1);
  BRUSHOBJ* pen = platform::CreateSolidBrushObj(3);
  LINEATTRS cosmetic{};
  cosmetic.elWidth.l = 1;
  ASSERT_TRUE(EngStrokePath(bitmap.so(), line, nullptr, nullptr, pen, nullptr, &cosmetic, R2_COPYPEN));
  EXPECT_EQ(bitmap.Count(3, RECTL{0, 0, 10, 10}), 5);
  EXPECT_EQ(bitmap.Get(5, 0), 0u);

  // A closed figure is drawn all round, each corner once.
  Bitmap box(10, 10, BMF_8BPP);
  PATHOBJ* square = EngCreatePath();
  POINTFIX corners[3] = {Fx(5, 1), Fx(5, 5), Fx(1, 5)};
  PATHOBJ_bMoveTo(square, Fx(1, 1));
  PATHOBJ_bPolyLineTo(square, corners, 3);
  PATHOBJ_bCloseFigure(square);
  ASSERT_TRUE(EngStrokePath(box.so(), square, nullptr, nullptr, pen, nullptr, &cosmetic, R2_XORPEN));
  EXPECT_EQ(box.Count(3, RECTL{0, 0, 10, 10}), 16);
  EXPECT_EQ(box.Get(3, 3), 0u);

  // LA_ALTERNATE draws every other pixel.
  Bitmap dotted(10, 1, BMF_8BPP);
  LINEATTRS alternate = cosmetic;
  alternate.fl = LA_ALTERNATE;
  ASSERT_TRUE(EngStrokePath(dotted.so(), line, nullptr, nullptr, pen, nullptr, &alternate, R2_COPYPEN));
  EXPECT_EQ(dotted.Get(0, 0), 3u);
  EXPECT_EQ(dotted.Get(1, 0), 0u);
  EXPECT_EQ(dotted.Get(2, 0), 3u);
  EngDeletePath(line);
  EngDeletePath(square);
  platform::DeleteBrushObj(pen);
}

TEST_F(EngPathTest, GeometricPensCoverTheirWidth) {
  Bitmap bitmap(40, 20, BMF_8BPP);
  PATHOBJ* line = EngCreatePath();
  POINTFIX end[1] = {Fx(30, 10)};
  PATHOBJ_bMoveTo(line, Fx(10, 10));
  PATHOBJ_bPolyLineTo(line, end, 1);
  BRUSHOBJ* pen = platform::CreateSolidBrushObj(5);
  LINEATTRS wide{};
  wide.fl = LA_GEOMETRIC;
  wide.iEndCap = ENDCAP_BUTT;
  wide.elWidth.e = 6;
  ASSERT_TRUE(EngStrokePath(bitmap.so(), line, nullptr, nullptr, pen, nullptr, &wide, R2_COPYPEN));
  EXPECT_EQ(bitmap.Count(5, RECTL{0, 0, 40, 20}), 20 * 6);
  EXPECT_EQ(bitmap.Get(20, 7), 5u);
  EXPECT_EQ(bitmap.Get(20, 13), 0u);
  EXPECT_EQ(bitmap.Get(9, 10), 0u);
  // Round ends reach past the end points.
  wide.iEndCap = ENDCAP_ROUND;
  Bitmap round(40, 20, BMF_8BPP);
  ASSERT_TRUE(EngStrokePath(round.so(), line, nullptr, nullptr, pen, nullptr, &wide, R2_COPYPEN));
  EXPECT_EQ(round.Get(8, 10), 5u);
  EXPECT_EQ(round.Get(32, 10), 5u);
  EngDeletePath(line);
  platform::DeleteBrushObj(pen);
}

// A right-angle corner of a 6-pixel pen: a miter join fills the outer corner square, a bevel
// cuts it, and a miter beyond the limit falls back to the bevel.
TEST_F(EngPathTest, MiterJoinsFillTheOuterCornerWithinTheirLimit) {
  PATHOBJ* corner = EngCreatePath();
  POINTFIX points[2] = {Fx(30, 10), Fx(30, 30)};
  PATHOBJ_bMoveTo(corner, Fx(10, 10));
  PATHOBJ_bPolyLineTo(corner, points, 2);
  BRUSHOBJ* pen = platform::CreateSolidBrushObj(5);
  LINEATTRS wide{};
  wide.fl = LA_GEOMETRIC;
  wide.iEndCap = ENDCAP_BUTT;
  wide.elWidth.e = 6;
  const struct {
    ULONG join;
    FLOATL limit;
    bool cornerFilled;
  } cases[] = {{JOIN_MITER, 10, true}, {JOIN_BEVEL, 10, false}, {JOIN_MITER, 1.2f, false}};
  for (const auto& c : cases) {
    Bitmap bitmap(40, 40, BMF_8BPP);
    wide.iJoin = c.join;
    wide.eMiterLimit = c.limit;
    ASSERT_TRUE(EngStrokePath(bitmap.so(), corner, nullptr, nullptr, pen, nullptr, &wide, R2_COPYPEN));
    EXPECT_EQ(bitmap.Get(32, 7) == 5u, c.cornerFilled) << c.join << " " << c.limit;
    EXPECT_EQ(bitmap.Get(30, 9), 5u);  // inside the bevel either way
  }
  EngDeletePath(corner);
  platform::DeleteBrushObj(pen);
}

TEST_F(EngPathTest, FlatteningReplacesCurvesByLinesThroughTheEnds) {
  PATHOBJ* path = SamplePath();
  PATHOBJ* flat = platform::FlattenPath(path);
  ASSERT_NE(flat, nullptr);
  EXPECT_EQ(flat->fl & PO_BEZIERS, 0u);
  bool passesEnd = false;
  for (const Record& r : Records(flat)) {
    for (const POINTFIX& p : r.points) passesEnd = passesEnd || (p.x == 0 && p.y == 160);
  }
  EXPECT_TRUE(passesEnd);
  EngDeletePath(flat);
  EngDeletePath(path);
}

}  // namespace
}  // namespace velm::test
