// Path records: layout, flags, size figure, the trim of the upper-bound reservation, and the
// pieces a path is handed out in.
#include <vector>

#include <gtest/gtest.h>

#include "gr2k/path_record.h"
#include "stream_harness.h"
#include "test_paths.h"

namespace {

using velm::test::Px;
using velm::test::StreamHarness;
using velm::test::TestPath;
using Bytes = std::vector<uint8_t>;

void Put32(Bytes* b, int32_t v) {
  for (int i = 0; i < 4; ++i) b->push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
}
void PutAll(Bytes* b, std::initializer_list<int32_t> values) {
  for (int32_t v : values) Put32(b, v);
}

TEST(PathRecordTest, TwoSubPathsOneClosedGoldenBytes) {
  StreamHarness h;
  TestPath path({{PD_BEGINSUBPATH, {Px(0, 0), Px(1, 0)}},
                 {PD_ENDSUBPATH | PD_CLOSEFIGURE, {Px(1, 1)}},
                 {PD_BEGINSUBPATH | PD_ENDSUBPATH, {Px(2, 2), Px(3, 3)}}});
  BYTE* record = StrmEmitPath(h.stream(), &path, kPathFillAlternate);
  ASSERT_NE(record, nullptr);

  // Lines only: 0x12; flags 1 + 0x08 (a closed figure) + 0x10 (two sub-paths); size figure
  // 3 * 3 lines + 3 * (2 - 1) + 3 + 1 = 16; length 24 + 4 + (12 + 24) + (12 + 12) = 88.
  Bytes expected{0x12, 0, 0x19, 0};
  PutAll(&expected, {88, 0, 0, 3, 3, 16});
  PutAll(&expected, {2, 0, 0, 0, 16, 0, 0, 16, 16});
  PutAll(&expected, {1, 32, 32, 0, 48, 48});
  EXPECT_EQ(Bytes(record, record + 88), expected);

  // The reservation was 5 * 4 + ((5 * 36 + 15) & ~3) + 28 = 240 bytes; the unused end went back.
  EXPECT_EQ(PathRecordBound(5), 240u);
  EXPECT_EQ(StrmReserve(h.stream(), 4), record + 88);
}

TEST(PathRecordTest, CurvesAcrossPiecesMakeOneClosedFigure) {
  StreamHarness h;
  TestPath path({{PD_BEGINSUBPATH | PD_BEZIERS, {Px(0, 0), Px(1, 2), Px(3, 4), Px(5, 6)}},
                 {PD_BEZIERS | PD_ENDSUBPATH | PD_CLOSEFIGURE, {{7, 8}, {9, 10}, {-11, -12}}}});
  BYTE* record = StrmEmitPath(h.stream(), &path, kPathStroke);
  ASSERT_NE(record, nullptr);
  // 0x11 for curves; size figure 7 * 2 + 3 = 17; one sub-path, so no 0x10.
  Bytes expected{0x11, 0, 0x08, 0};
  PutAll(&expected, {96, -1, -1, 5, 6, 17, 2, 0, 0});
  PutAll(&expected, {1, 16, 32, 48, 64, 80, 96});
  PutAll(&expected, {1, 7, 8, 9, 10, -11, -12});
  EXPECT_EQ(Bytes(record, record + 96), expected);
}

TEST(PathRecordTest, FailedPathLeavesNothingInTheStream) {
  StreamHarness h;
  ASSERT_NE(StrmEmitPageEnd(h.stream()), nullptr);
  const DWORD before = h.stream()->bytesBuffered;
  // A curve run of two points is not a whole curve.
  TestPath partial({{PD_BEGINSUBPATH | PD_BEZIERS | PD_ENDSUBPATH, {Px(0, 0), Px(1, 1), Px(2, 2)}}});
  EXPECT_EQ(StrmEmitPath(h.stream(), &partial, kPathStroke), nullptr);
  // Points before any figure begins.
  TestPath orphan({{PD_ENDSUBPATH, {Px(0, 0)}}});
  EXPECT_EQ(StrmEmitPath(h.stream(), &orphan, kPathStroke), nullptr);
  // More points than the bound the engine promised.
  TestPath liar({{PD_BEGINSUBPATH | PD_ENDSUBPATH, std::vector<POINTFIX>(40, Px(1, 1))}}, 2);
  EXPECT_EQ(StrmEmitPath(h.stream(), &liar, kPathStroke), nullptr);
  EXPECT_EQ(h.stream()->bytesBuffered, before);
  EXPECT_EQ(h.stream()->first.write, h.stream()->firstData + 4);
}

TEST(PathRecordTest, EmptyPathHasNoSubPaths) {
  StreamHarness h;
  TestPath empty({});
  BYTE* record = StrmEmitPath(h.stream(), &empty, kPathClip);
  ASSERT_NE(record, nullptr);
  Bytes expected{0x12, 0, 0x05, 0};
  PutAll(&expected, {28, 0, 0, 0, 0, 0});
  EXPECT_EQ(Bytes(record, record + 28), expected);
}

TEST(PathRecordTest, BodyMovedToAnOriginForGlyphOutlines) {
  TestPath square = velm::test::Square(10, 20, 2);
  std::vector<BYTE> body(PathRecordBound(square.PointBound()));
  PathBodyInfo info{};
  ASSERT_TRUE(PathWriteBody(&square, Px(10, 20), body.data(), static_cast<DWORD>(body.size()), &info));
  EXPECT_EQ(info.bytes, 4u + 12 + 3 * 12);
  EXPECT_EQ(info.subpaths, 1u);
  EXPECT_TRUE(info.closed);
  EXPECT_FALSE(info.curves);
  Bytes expected;
  PutAll(&expected, {3 * 3 + 3, 3, 0, 0, 0, 32, 0, 0, 32, 32, 0, 0, 32});
  EXPECT_EQ(Bytes(body.begin(), body.begin() + info.bytes), expected);
  // Too small a buffer fails rather than writing past it.
  EXPECT_FALSE(PathWriteBody(&square, Px(0, 0), body.data(), 20, &info));
}

}  // namespace

namespace {

// A stroke of an open line figure and a closed curve figure: the combined record goes back and
// each figure gets its own record, with the whole path's bounds.
TEST(PathRecordTest, StrokeOfAClosedFigureAmongOthersGoesOneRecordPerFigure) {
  StreamHarness h;
  TestPath whole({{PD_BEGINSUBPATH | PD_ENDSUBPATH, {Px(0, 0), Px(4, 0)}},
                  {PD_BEGINSUBPATH | PD_BEZIERS | PD_ENDSUBPATH | PD_CLOSEFIGURE, {Px(1, 1), Px(2, 1), Px(2, 2), Px(1, 2)}},
                  {PD_BEGINSUBPATH | PD_ENDSUBPATH, {Px(3, 3), Px(3, 4)}}});
  BYTE* record = StrmEmitPath(h.stream(), &whole, kPathStroke);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record[2], 0x18);  // stroke, a closed figure, several sub-paths
  ASSERT_TRUE(PathNeedsPerFigure(record));
  ASSERT_TRUE(PathEmitPerFigure(h.stream(), &whole, record, kPathStroke));
  const std::vector<velm::jobdump::Record> records = h.FlushedRecords();
  ASSERT_EQ(records.size(), 3u);
  // Lines, then curves (0x11), then lines again under the sticky 0x11; 0x08 on the closed one.
  const uint8_t opcodes[] = {0x12, 0x11, 0x11};
  const int64_t closed[] = {0, 1, 0};
  const int64_t figures[] = {3 + 3, 7 + 3, 3 + 3};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(records[i].opcode, opcodes[i]) << i;
    EXPECT_EQ(records[i].Get("mode"), 0) << i;
    EXPECT_EQ(records[i].Get("closed"), closed[i]) << i;
    EXPECT_EQ(records[i].subpaths.size(), 1u) << i;
    EXPECT_EQ(records[i].Get("figure"), figures[i]) << i;
    EXPECT_EQ(records[i].Get("bounds.right"), 4) << i;  // the whole path's bounds
    EXPECT_EQ(records[i].Get("bounds.bottom"), 4) << i;
  }
}

TEST(PathRecordTest, PerFigureFailsOnACurveRunOfFourPointsAndLeavesNothing) {
  StreamHarness h;
  TestPath path({{PD_BEGINSUBPATH | PD_ENDSUBPATH | PD_CLOSEFIGURE, {Px(0, 0), Px(4, 0), Px(4, 4)}},
                 {PD_BEGINSUBPATH | PD_BEZIERS | PD_ENDSUBPATH, {Px(1, 1), Px(2, 1), Px(2, 2), Px(1, 2), Px(0, 1)}}});
  // The combined record fails already; a per-figure pass over it fails on the second figure.
  EXPECT_EQ(StrmEmitPath(h.stream(), &path, kPathStroke), nullptr);
  BYTE* start = StrmReserve(h.stream(), 4);
  ASSERT_NE(start, nullptr);
  EXPECT_FALSE(PathEmitPerFigure(h.stream(), &path, start, kPathStroke));
  EXPECT_TRUE(h.FlushedRecords().empty());
}

}  // namespace
