// The record writers over the engine's own path and clip objects: what the drawing hooks hand
// them.
#include <string>

#include <gtest/gtest.h>

#include "eng/engine_objects.h"
#include "gr2k/graphics_state_cache.h"
#include "gr2k/path_record.h"
#include "stream_harness.h"

namespace {

using velm::test::StreamHarness;

TEST(EngineSourcesTest, EnginePathBecomesOnePathRecord) {
  PATHOBJ* path = EngCreatePath();
  ASSERT_NE(path, nullptr);
  POINTFIX line[] = {{160, 0}, {160, 160}};
  POINTFIX curve[] = {{320, 320}, {480, 320}, {480, 480}};
  ASSERT_TRUE(PATHOBJ_bMoveTo(path, {0, 0}));
  ASSERT_TRUE(PATHOBJ_bPolyLineTo(path, line, 2));
  ASSERT_TRUE(PATHOBJ_bCloseFigure(path));
  ASSERT_TRUE(PATHOBJ_bMoveTo(path, {-32, 320}));
  ASSERT_TRUE(PATHOBJ_bPolyBezierTo(path, curve, 3));

  StreamHarness h;
  EnginePath source(path);
  ASSERT_NE(StrmEmitPath(h.stream(), &source, kPathFillWinding), nullptr);
  EngDeletePath(path);
  std::string error;
  const auto records = h.FlushedRecords(&error);
  ASSERT_EQ(error, "");
  ASSERT_EQ(records.size(), 1u);
  const auto& record = records[0];
  EXPECT_EQ(record.opcode, 0x11);
  EXPECT_EQ(record.Get("mode"), 2);
  EXPECT_EQ(record.Get("closed"), 1);
  EXPECT_EQ(record.Get("multiple"), 1);
  EXPECT_EQ(record.Get("bounds.left"), -2);
  EXPECT_EQ(record.Get("bounds.bottom"), 30);
  ASSERT_EQ(record.subpaths.size(), 2u);
  EXPECT_EQ(record.subpaths[0].entries.size(), 2u);
  EXPECT_EQ(record.subpaths[1].x, -32);
  ASSERT_EQ(record.subpaths[1].entries.size(), 1u);
  EXPECT_TRUE(record.subpaths[1].entries[0].curve);
}

TEST(EngineSourcesTest, EngineClipsAreSelectedAndTheirOutlinesFreed) {
  const size_t pathsBefore = velm::platform::LiveEngineObjects().paths;
  const RECTL one{10, 20, 30, 40};
  const RECTL two[] = {{0, 0, 10, 10}, {20, 0, 30, 10}};
  CLIPOBJ* rect = velm::platform::CreateRegionClip(&one, 1);
  CLIPOBJ* region = velm::platform::CreateRegionClip(two, 2);
  ASSERT_EQ(rect->iDComplexity, DC_RECT);
  ASSERT_EQ(region->iDComplexity, DC_COMPLEX);

  StreamHarness h;
  GraphicsStateCache cache{};
  EngineClip none(nullptr), byRect(rect), byRegion(region), again(region);
  EXPECT_TRUE(ClipSelect(h.stream(), &cache, &byRect));
  EXPECT_TRUE(ClipSelect(h.stream(), &cache, &byRegion));
  EXPECT_TRUE(ClipSelect(h.stream(), &cache, &again));  // the same region: reused
  EXPECT_TRUE(ClipSelect(h.stream(), &cache, &none));
  EngDeleteClip(rect);
  EngDeleteClip(region);
  EXPECT_EQ(velm::platform::LiveEngineObjects().paths, pathsBefore);

  std::string error;
  const auto records = h.FlushedRecords(&error);
  ASSERT_EQ(error, "");
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].opcode, 0x10);
  EXPECT_EQ(records[0].Get("kind"), 5);
  EXPECT_EQ(records[0].Get("bottom"), 40);
  EXPECT_EQ(records[1].Get("mode"), 5);
  EXPECT_EQ(records[1].subpaths.size(), 2u);
  EXPECT_EQ(records[2].opcode, 0x37);
}

}  // namespace
