#include "gr2k/graphics_state_cache.h"

namespace {

BYTE NormalisedCapOrJoin(BYTE value) { return value == 1 || value == 2 ? value : 0; }

bool SameColor(const ColorDescriptor& a, const ColorDescriptor& b) {
  if (a.colorMode != b.colorMode || a.kind != b.kind || !a.hasThird != !b.hasThird) return false;
  if (a.color1 != b.color1 || a.color2 != b.color2) return false;
  return !a.hasThird || a.color3 == b.color3;
}

bool SameRect(const RECTL& a, const RECTL& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

BOOL ClipOff(CommandStream* stream, GraphicsStateCache* cache) {
  if (!StrmEmitClipOff(stream)) return FALSE;
  cache->clip = ActiveClip::kNone;
  return TRUE;
}

}  // namespace

void GraphicsStateCacheReset(GraphicsStateCache* cache) {
  cache->ropValid = FALSE;
  cache->colorAttrValid = FALSE;
  cache->patternValid = FALSE;
  cache->colorValid = FALSE;
  cache->lineValid = FALSE;
  cache->clip = ActiveClip::kNone;
  cache->fontValid = FALSE;
}

BOOL StrmEmitRopIfChanged(CommandStream* stream, GraphicsStateCache* cache, DWORD rop) {
  const BYTE low = static_cast<BYTE>(rop);
  if (cache->ropValid && cache->rop == low) return TRUE;
  if (!StrmEmitRop(stream, rop)) return FALSE;
  cache->ropValid = TRUE;
  cache->rop = low;
  return TRUE;
}

BOOL StrmEmitColorAttrIfChanged(CommandStream* stream, GraphicsStateCache* cache, BYTE value) {
  if (cache->colorAttrValid && cache->colorAttr == value) return TRUE;
  if (!StrmEmitColorAttr(stream, value)) return FALSE;
  cache->colorAttrValid = TRUE;
  cache->colorAttr = value;
  return TRUE;
}

BOOL StrmEmitPatternIfChanged(CommandStream* stream, GraphicsStateCache* cache, const PatternDescriptor* brush) {
  if (!brush) return FALSE;
  if (brush->kind == 0 && cache->patternValid && cache->patternKind == 0) return TRUE;
  if (!StrmEmitPattern(stream, *brush)) return FALSE;
  cache->patternValid = TRUE;
  cache->patternKind = brush->kind;
  return TRUE;
}

BOOL StrmEmitColorIfChanged(CommandStream* stream, GraphicsStateCache* cache, const RecordSettings& settings,
                            const ColorDescriptor& color) {
  if (cache->colorValid && SameColor(cache->color, color)) return TRUE;
  if (!StrmEmitColor(stream, settings, color)) return FALSE;
  cache->colorValid = TRUE;
  cache->color = color;
  return TRUE;
}

BOOL StrmEmitLineAttrsIfChanged(CommandStream* stream, GraphicsStateCache* cache, const LineAttrs& pen) {
  LineAttrs next = pen;
  next.endCap = NormalisedCapOrJoin(pen.endCap);
  next.join = NormalisedCapOrJoin(pen.join);
  const bool all = !cache->lineValid;
  const LineAttrs& held = cache->line;
  if (all || next.width != held.width || next.styleMask != held.styleMask || next.styleUnit != held.styleUnit) {
    if (!StrmEmitLineA(stream, next.styleUnit, next.width, next.styleMask)) return FALSE;
  }
  if (all || next.styleOffset != held.styleOffset) {
    if (!StrmEmitLineB(stream, next.styleOffset)) return FALSE;
  }
  if (all || next.endCap != held.endCap) {
    if (!StrmEmitLineEnd(stream, next.endCap)) return FALSE;
  }
  if (all || next.join != held.join || next.miterLimit != held.miterLimit) {
    if (!StrmEmitLineJoin(stream, next.join, next.miterLimit)) return FALSE;
  }
  cache->lineValid = TRUE;
  cache->line = next;
  return TRUE;
}

BOOL ClipSelect(CommandStream* stream, GraphicsStateCache* cache, ClipSource* clip) {
  const DWORD complexity = clip ? clip->Complexity() : DC_TRIVIAL;
  if (complexity == DC_TRIVIAL) {
    return cache->clip == ActiveClip::kNone ? TRUE : ClipOff(stream, cache);
  }
  if (complexity == DC_RECT) {
    const RECTL rect = clip->Bounds();
    if (cache->clip == ActiveClip::kRect && SameRect(cache->clipRect, rect)) return TRUE;
    if (!StrmEmitRect(stream, kRectClip, rect)) return FALSE;
    cache->clip = ActiveClip::kRect;
    cache->clipRect = rect;
    return TRUE;
  }
  if (complexity == DC_COMPLEX) {
    // A region numbered 0 is not identified, so its path is always sent.
    const ULONG uniq = clip->Uniq();
    if (cache->clip == ActiveClip::kPath && uniq != 0 && cache->clipUniq == uniq) return TRUE;
    PathSource* outline = clip->OpenOutline();
    if (!outline) return FALSE;
    const bool written = StrmEmitPath(stream, outline, kPathClip) != nullptr;
    clip->CloseOutline(outline);
    if (!written) return FALSE;
    cache->clip = ActiveClip::kPath;
    cache->clipUniq = uniq;
    return TRUE;
  }
  return ClipOff(stream, cache);
}

DWORD EngineClip::Complexity() const { return clip_ ? clip_->iDComplexity : DC_TRIVIAL; }

RECTL EngineClip::Bounds() const { return clip_ ? clip_->rclBounds : RECTL{}; }

ULONG EngineClip::Uniq() const { return clip_ ? clip_->iUniq : 0; }

PathSource* EngineClip::OpenOutline() {
  if (!clip_ || outline_) return nullptr;
  outline_ = CLIPOBJ_ppoGetPath(clip_);
  if (!outline_) return nullptr;
  path_ = EnginePath(outline_);
  return &path_;
}

void EngineClip::CloseOutline(PathSource* outline) {
  if (outline != &path_ || !outline_) return;
  EngDeletePath(outline_);
  outline_ = nullptr;
}
