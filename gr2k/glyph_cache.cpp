#include "gr2k/glyph_cache.h"

namespace {

DWORD Bucket(DWORD fontId, WORD generation, WORD code) {
  return (fontId + generation + code) & (kGlyphCacheBuckets - 1);
}

}  // namespace

BOOL GlyphCacheAdd(GlyphCache* cache, DWORD fontId, WORD generation, WORD code, BYTE pitchKind) {
  if (!cache || !cache->alloc) return FALSE;
  auto* entry = static_cast<GlyphCacheEntry*>(cache->alloc(cache->allocContext, sizeof(GlyphCacheEntry)));
  if (!entry) return FALSE;
  GlyphCacheEntry*& head = cache->buckets[Bucket(fontId, generation, code)];
  *entry = GlyphCacheEntry{head, fontId, generation, code, pitchKind};
  head = entry;
  return TRUE;
}

BOOL GlyphCacheFind(const GlyphCache* cache, DWORD fontId, WORD generation, WORD code, BYTE pitchKind) {
  if (!cache) return FALSE;
  for (const GlyphCacheEntry* e = cache->buckets[Bucket(fontId, generation, code)]; e; e = e->next)
    if (e->fontId == fontId && e->generation == generation && e->code == code && e->pitchKind == pitchKind)
      return TRUE;
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
