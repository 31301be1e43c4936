// The glyph cache: entries stay findable in a shared bucket, and a clear frees them all and
// moves the generation on.
#include "gr2k/glyph_cache.h"

#include <gtest/gtest.h>

#include "stream_harness.h"

namespace {

using velm::test::CountingAllocator;

TEST(GlyphCacheTest, EntriesOfOneBucketStayApartAndAClearFreesThem) {
  CountingAllocator allocator;
  GlyphCache cache{};
  cache.allocContext = &allocator;
  cache.alloc = &CountingAllocator::Alloc;
  cache.free = &CountingAllocator::Free;
  // (1, 2, 3) and (3, 2, 1) share a bucket; d tells two keys of the same bucket apart too.
  ASSERT_TRUE(GlyphCacheAdd(&cache, 1, 2, 3, 4));
  ASSERT_TRUE(GlyphCacheAdd(&cache, 3, 2, 1, 4));
  ASSERT_TRUE(GlyphCacheAdd(&cache, 1, 2, 3, 5));
  EXPECT_TRUE(GlyphCacheFind(&cache, 1, 2, 3, 4));
  EXPECT_TRUE(GlyphCacheFind(&cache, 3, 2, 1, 4));
  EXPECT_TRUE(GlyphCacheFind(&cache, 1, 2, 3, 5));
  EXPECT_FALSE(GlyphCacheFind(&cache, 1, 2, 3, 6));
  EXPECT_FALSE(GlyphCacheFind(&cache, 1027, 2, 3, 4));  // same bucket, other key
  EXPECT_EQ(allocator.live.size(), 3u);
  GlyphCacheClear(&cache);
  EXPECT_EQ(allocator.live.size(), 0u);
  EXPECT_EQ(cache.generation, 1u);
  EXPECT_FALSE(GlyphCacheFind(&cache, 1, 2, 3, 4));
  allocator.failFrom = allocator.sizes.size();
  EXPECT_FALSE(GlyphCacheAdd(&cache, 1, 2, 3, 4));
}

}  // namespace
