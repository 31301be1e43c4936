#include "gr2k/glyph_cache.h"

namespace {

DWORD Bucket(DWORD a, WORD b, WORD c) { return (a + b + c) & (kGlyphCacheBuckets - 1); }

}  // namespace

BOOL GlyphCacheAdd(GlyphCache* cache, DWORD a, WORD b, WORD c, BYTE d) {
  if (!cache || !cache->alloc) return FALSE;
  auto* entry = static_cast<GlyphCacheEntry*>(cache->alloc(cache->allocContext, sizeof(GlyphCacheEntry)));
  if (!entry) return FALSE;
  GlyphCacheEntry*& head = cache->buckets[Bucket(a, b, c)];
  *entry = GlyphCacheEntry{head, a, b, c, d};
  head = entry;
  return TRUE;
}

BOOL GlyphCacheFind(const GlyphCache* cache, DWORD a, WORD b, WORD c, BYTE d) {
  if (!cache) return FALSE;
  for (const GlyphCacheEntry* e = cache->buckets[Bucket(a, b, c)]; e; e = e->next)
    if (e->a == a && e->b == b && e->c == c && e->d == d) return TRUE;
  return FALSE;
}

void GlyphCacheClear(GlyphCache* cache) {
  if (!cache) return;
  for (GlyphCacheEntry*& head : cache->buckets) {
    while (GlyphCacheEntry* entry = head) {
      head = entry->next;
      if (cache->free) cache->free(cache->allocContext, entry);
    }
  }
  cache->generation += 1;
}
