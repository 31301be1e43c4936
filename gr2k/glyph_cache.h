// The glyph cache: which glyphs were downloaded to the device on this page, so that a glyph is
// sent once per page. Entries hang in 1024 buckets; a clear frees them all and moves the
// generation on, which the text hooks put into every key so that nothing from before a clear
// can match.
#pragma once

#include "win32.h"

constexpr DWORD kGlyphCacheBuckets = 1024;

// A glyph's key: the font it belongs to, the cache generation it was sent in, its character
// code and the pitch kind of the font selection.
struct GlyphCacheEntry {
  GlyphCacheEntry* next;
  DWORD fontId;
  WORD generation;
  WORD code;
  BYTE pitchKind;
};

struct GlyphCache {
  GlyphCacheEntry* buckets[kGlyphCacheBuckets];
  DWORD generation;
  // The allocator entries come from (the PDEV's allocation list).
  void* allocContext;
  void* (*alloc)(void* context, SIZE_T bytes);
  void (*free)(void* context, void* block);
};

// FALSE when no entry can be allocated.
BOOL GlyphCacheAdd(GlyphCache* cache, DWORD fontId, WORD generation, WORD code, BYTE pitchKind);
BOOL GlyphCacheFind(const GlyphCache* cache, DWORD fontId, WORD generation, WORD code, BYTE pitchKind);
void GlyphCacheClear(GlyphCache* cache);
