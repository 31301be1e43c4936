// The graphics-state cache: repeated state is not sent again on a page, a page start forgets
// everything, and a failed write leaves the cache as it was.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gr2k/graphics_state_cache.h"
#include "stream_harness.h"
#include "test_paths.h"

namespace {

using velm::test::kColourSettings;
using velm::test::StreamHarness;
using velm::test::TestClip;

// The opcodes the stream carries, in order.
std::vector<int> Opcodes(StreamHarness& h) {
  std::string error;
  std::vector<int> ops;
  for (const auto& record : h.FlushedRecords(&error)) ops.push_back(record.opcode);
  EXPECT_EQ(error, "");
  h.output.bytes.clear();
  return ops;
}

ColorDescriptor Solid(DWORD colour) {
  ColorDescriptor c{};
  c.kind = 1;
  c.color1 = colour;
  c.color2 = 0xFFFFFF;
  return c;
}

TEST(GraphicsStateCacheTest, EqualColoursAreSentOncePerPage) {
  StreamHarness h;
  GraphicsStateCache cache{};
  GraphicsStateCacheReset(&cache);
  CommandStream* s = h.stream();
  EXPECT_TRUE(StrmEmitColorIfChanged(s, &cache, kColourSettings, Solid(0x112233)));
  EXPECT_TRUE(StrmEmitColorIfChanged(s, &cache, kColourSettings, Solid(0x112233)));
  EXPECT_EQ(Opcodes(h), (std::vector<int>{0x30}));

  // Any compared part sends it again: the second colour of a one-colour descriptor counts, a
  // third colour only when present.
  ColorDescriptor c = Solid(0x112233);
  c.color2 = 0;
  EXPECT_TRUE(StrmEmitColorIfChanged(s, &cache, kColourSettings, c));
  c.color3 = 0x123456;
  EXPECT_TRUE(StrmEmitColorIfChanged(s, &cache, kColourSettings, c));
  c.hasThird = TRUE;
  EXPECT_TRUE(StrmEmitColorIfChanged(s, &cache, kColourSettings, c));
  c.colorMode = 4;
  EXPECT_TRUE(StrmEmitColorIfChanged(s, &cache, kColourSettings, c));
  c.kind = 2;
  EXPECT_TRUE(StrmEmitColorIfChanged(s, &cache, kColourSettings, c));
  EXPECT_EQ(Opcodes(h), (std::vector<int>{0x30, 0x30, 0x30, 0x30}));

  GraphicsStateCacheReset(&cache);
  EXPECT_TRUE(StrmEmitColorIfChanged(s, &cache, kColourSettings, c));
  EXPECT_EQ(Opcodes(h), (std::vector<int>{0x30}));
}

TEST(GraphicsStateCacheTest, RopAndColourAttributeCompareWhatTheyWrite) {
  StreamHarness h;
  GraphicsStateCache cache{};
  CommandStream* s = h.stream();
  EXPECT_TRUE(StrmEmitRopIfChanged(s, &cache, 0xCC));
  EXPECT_TRUE(StrmEmitRopIfChanged(s, &cache, 0xAACC));  // same low byte
  EXPECT_TRUE(StrmEmitRopIfChanged(s, &cache, 0x88));
  EXPECT_TRUE(StrmEmitColorAttrIfChanged(s, &cache, 1));
  EXPECT_TRUE(StrmEmitColorAttrIfChanged(s, &cache, 1));
  EXPECT_TRUE(StrmEmitColorAttrIfChanged(s, &cache, 2));
  EXPECT_EQ(Opcodes(h), (std::vector<int>{0x31, 0x31, 0x32, 0x32}));
  EXPECT_EQ(cache.rop, 0x88);
  GraphicsStateCacheReset(&cache);
  EXPECT_TRUE(StrmEmitRopIfChanged(s, &cache, 0x88));
  EXPECT_TRUE(StrmEmitColorAttrIfChanged(s, &cache, 2));
  EXPECT_EQ(Opcodes(h), (std::vector<int>{0x31, 0x32}));
}

TEST(GraphicsStateCacheTest, PatternBrushesAreAlwaysSentSolidOnesOnce) {
  StreamHarness h;
  GraphicsStateCache cache{};
  CommandStream* s = h.stream();
  const std::vector<BYTE> tile(128, 0x0F);
  const PatternDescriptor solid{0, 24, 32, FALSE, nullptr};
  const PatternDescriptor hatch{2, 1, 32, FALSE, tile.data()};
  EXPECT_TRUE(StrmEmitPatternIfChanged(s, &cache, &solid));
  EXPECT_TRUE(StrmEmitPatternIfChanged(s, &cache, &solid));
  EXPECT_TRUE(StrmEmitPatternIfChanged(s, &cache, &hatch));
  EXPECT_TRUE(StrmEmitPatternIfChanged(s, &cache, &hatch));
  EXPECT_TRUE(StrmEmitPatternIfChanged(s, &cache, &solid));
  EXPECT_FALSE(StrmEmitPatternIfChanged(s, &cache, nullptr));
  EXPECT_EQ(Opcodes(h), (std::vector<int>{0x40, 0x40, 0x40, 0x40}));
}

TEST(GraphicsStateCacheTest, LineAttributesAllFirstThenOnlyWhatChanged) {
  StreamHarness h;
  GraphicsStateCache cache{};
  CommandStream* s = h.stream();
  LineAttrs pen{3, 1, 0xFFFFFFFF, 0, 1, 2, 2560};
  EXPECT_TRUE(StrmEmitLineAttrsIfChanged(s, &cache, pen));
  EXPECT_EQ(Opcodes(h), (std::vector<int>{0x33, 0x34, 0x35, 0x36}));
  EXPECT_TRUE(StrmEmitLineAttrsIfChanged(s, &cache, pen));
  EXPECT_EQ(Opcodes(h), (std::vector<int>{}));

  pen.join = 1;
  EXPECT_TRUE(StrmEmitLineAttrsIfChanged(s, &cache, pen));
  pen.miterLimit = 256;
  EXPECT_TRUE(StrmEmitLineAttrsIfChanged(s, &cache, pen));
  pen.styleOffset = 8;
  EXPECT_TRUE(StrmEmitLineAttrsIfChanged(s, &cache, pen));
  pen.styleUnit = 2;
  EXPECT_TRUE(StrmEmitLineAttrsIfChanged(s, &cache, pen));
  pen.endCap = 2;
  EXPECT_TRUE(StrmEmitLineAttrsIfChanged(s, &cache, pen));
  EXPECT_EQ(Opcodes(h), (std::vector<int>{0x36, 0x36, 0x34, 0x33, 0x35}));

  // An end cap or join outside 1 and 2 goes as 0: after a round cap, 7 is no change.
  pen.endCap = 0;
  EXPECT_TRUE(StrmEmitLineAttrsIfChanged(s, &cache, pen));
  pen.endCap = 7;
  EXPECT_TRUE(StrmEmitLineAttrsIfChanged(s, &cache, pen));
  std::string error;
  const auto records = h.FlushedRecords(&error);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].Get("endcap"), 0);
  h.output.bytes.clear();

  GraphicsStateCacheReset(&cache);
  EXPECT_TRUE(StrmEmitLineAttrsIfChanged(s, &cache, pen));
  EXPECT_EQ(Opcodes(h), (std::vector<int>{0x33, 0x34, 0x35, 0x36}));
}

TEST(GraphicsStateCacheTest, ClipSelectReusesWhatIsActive) {
  StreamHarness h;
  GraphicsStateCache cache{};
  CommandStream* s = h.stream();
  EXPECT_TRUE(ClipSelect(s, &cache, nullptr));  // nothing active: nothing to switch off
  TestClip rect(DC_RECT, {10, 20, 30, 40});
  TestClip sameRect(DC_RECT, {10, 20, 30, 40});
  TestClip otherRect(DC_RECT, {10, 20, 30, 41});
  EXPECT_TRUE(ClipSelect(s, &cache, &rect));
  EXPECT_TRUE(ClipSelect(s, &cache, &sameRect));
  EXPECT_TRUE(ClipSelect(s, &cache, &otherRect));
  TestClip trivial(DC_TRIVIAL, {});
  EXPECT_TRUE(ClipSelect(s, &cache, &trivial));
  EXPECT_TRUE(ClipSelect(s, &cache, &trivial));
  EXPECT_EQ(Opcodes(h), (std::vector<int>{0x10, 0x10, 0x37}));

  TestClip region(DC_COMPLEX, {0, 0, 8, 8}, 7);
  TestClip sameRegion(DC_COMPLEX, {0, 0, 8, 8}, 7);
  TestClip changed(DC_COMPLEX, {0, 0, 8, 8}, 8);
  EXPECT_TRUE(ClipSelect(s, &cache, &region));
  EXPECT_TRUE(ClipSelect(s, &cache, &sameRegion));
  EXPECT_EQ(sameRegion.opened, 0);
  EXPECT_TRUE(ClipSelect(s, &cache, &changed));
  EXPECT_EQ(region.opened, 1);
  EXPECT_EQ(region.closed, 1);
  // A region without a number is never taken for the active one.
  TestClip unnumbered(DC_COMPLEX, {0, 0, 8, 8}, 0);
  EXPECT_TRUE(ClipSelect(s, &cache, &unnumbered));
  EXPECT_TRUE(ClipSelect(s, &cache, &unnumbered));
  // A rectangle after a path is written even when it equals an earlier rectangle.
  EXPECT_TRUE(ClipSelect(s, &cache, &rect));
  TestClip odd(2, {});
  EXPECT_TRUE(ClipSelect(s, &cache, &odd));
  EXPECT_TRUE(ClipSelect(s, &cache, &odd));
  std::string error;
  const auto records = h.FlushedRecords(&error);
  EXPECT_EQ(error, "");
  std::vector<int> ops;
  for (const auto& record : records) ops.push_back(record.opcode);
  EXPECT_EQ(ops, (std::vector<int>{0x12, 0x12, 0x12, 0x12, 0x10, 0x37, 0x37}));
  EXPECT_EQ(records[0].Get("mode"), 5);
  EXPECT_EQ(records[4].Get("kind"), 5);

  // A page start forgets the clip: a trivial clip then writes nothing.
  EXPECT_TRUE(ClipSelect(s, &cache, &rect));
  GraphicsStateCacheReset(&cache);
  h.output.bytes.clear();
  StrmReset(s);
  EXPECT_TRUE(ClipSelect(s, &cache, &trivial));
  EXPECT_EQ(s->bytesBuffered, 0u);
}

TEST(GraphicsStateCacheTest, FailedWriteLeavesTheCacheAsItWas) {
  StreamHarness h;
  GraphicsStateCache cache{};
  CommandStream* s = h.stream();
  ASSERT_NE(StrmReserve(s, 10236), nullptr);  // the inline chunk is full
  h.allocator.failFrom = 0;
  EXPECT_FALSE(StrmEmitColorIfChanged(s, &cache, kColourSettings, Solid(1)));
  EXPECT_FALSE(StrmEmitRopIfChanged(s, &cache, 0xCC));
  EXPECT_FALSE(StrmEmitLineAttrsIfChanged(s, &cache, {1, 0, 0xFFFFFFFF, 0, 0, 0, 2560}));
  TestClip rect(DC_RECT, {1, 2, 3, 4});
  EXPECT_FALSE(ClipSelect(s, &cache, &rect));
  EXPECT_FALSE(cache.colorValid);
  EXPECT_FALSE(cache.ropValid);
  EXPECT_FALSE(cache.lineValid);
  EXPECT_EQ(cache.clip, ActiveClip::kNone);

  h.allocator.failFrom = SIZE_MAX;
  EXPECT_TRUE(StrmEmitColorIfChanged(s, &cache, kColourSettings, Solid(1)));
  EXPECT_TRUE(cache.colorValid);
}

}  // namespace
