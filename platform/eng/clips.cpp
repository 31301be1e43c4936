// Clip regions: a union of rectangles kept as non-overlapping rows, enumerated as ENUMRECTS.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

#include "core/winerror.h"
#include "eng/eng_internal.h"

namespace velm::platform::eng {
namespace {

std::atomic<ULONG> g_clipUniq{1};

Clip* NewClip() {
  auto* clip = new (std::nothrow) Clip;
  if (!clip) return nullptr;
  clip->co.iUniq = g_clipUniq++;
  clip->co.iMode = TC_RECTANGLES;
  Clips().Add(clip);
  return clip;
}

// The union of rectangles as rows of disjoint rectangles, top to bottom, left to right;
// rows with the same spans are joined.
std::vector<RECTL> RegionUnion(const RECTL* rects, size_t count) {
  std::vector<RECTL> input;
  std::vector<LONG> edges;
  for (size_t i = 0; i < count; ++i) {
    const RECTL r = Ordered(rects[i]);
    if (IsEmpty(r)) continue;
    input.push_back(r);
    edges.push_back(r.top);
    edges.push_back(r.bottom);
  }
  std::sort(edges.begin(), edges.end());
  edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
  std::vector<RECTL> out;
  std::vector<std::pair<LONG, LONG>> previous;
  size_t previousStart = 0;
  for (size_t e = 0; e + 1 < edges.size(); ++e) {
    const LONG top = edges[e], bottom = edges[e + 1];
    std::vector<std::pair<LONG, LONG>> spans;
    for (const RECTL& r : input) {
      if (r.top <= top && r.bottom >= bottom) spans.emplace_back(r.left, r.right);
    }
    std::sort(spans.begin(), spans.end());
    std::vector<std::pair<LONG, LONG>> merged;
    for (const auto& span : spans) {
      if (!merged.empty() && span.first <= merged.back().second) {
        merged.back().second = std::max(merged.back().second, span.second);
      } else {
        merged.push_back(span);
      }
    }
    const bool continues = !merged.empty() && merged == previous && !out.empty() && out.back().bottom == top;
    if (continues) {
      for (size_t i = previousStart; i < out.size(); ++i) out[i].bottom = bottom;
      continue;
    }
    previousStart = out.size();
    for (const auto& span : merged) out.push_back(RECTL{span.first, top, span.second, bottom});
    previous = merged;
  }
  return out;
}

RECTL Bounds(const std::vector<RECTL>& rects) {
  if (rects.empty()) return RECTL{0, 0, 0, 0};
  RECTL b = rects.front();
  for (const RECTL& r : rects) {
    b.left = std::min(b.left, r.left);
    b.top = std::min(b.top, r.top);
    b.right = std::max(b.right, r.right);
    b.bottom = std::max(b.bottom, r.bottom);
  }
  return b;
}

}  // namespace

Registry<Clip>& Clips() {
  static Registry<Clip> registry;
  return registry;
}
Clip* FindClip(const CLIPOBJ* pco) { return pco ? Clips().Find(pco) : nullptr; }

}  // namespace velm::platform::eng

namespace velm::platform {
using namespace eng;

CLIPOBJ* CreateRegionClip(const RECTL* rects, size_t count) {
  if (!rects && count) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Clip* clip = NewClip();
  if (!clip) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  clip->rects = RegionUnion(rects, count);
  clip->co.rclBounds = Bounds(clip->rects);
  if (clip->rects.size() <= 1) {
    clip->co.iDComplexity = DC_RECT;
    clip->co.iFComplexity = FC_RECT;
    clip->rects.clear();
  } else {
    clip->co.iDComplexity = DC_COMPLEX;
    clip->co.iFComplexity = clip->rects.size() <= 4 ? FC_RECT4 : FC_COMPLEX;
  }
  return &clip->co;
}

std::vector<RECTL> ClipRectangles(CLIPOBJ* pco, const RECTL& limit) {
  std::vector<RECTL> out;
  const auto add = [&](const RECTL& r) {
    const RECTL piece = Intersect(r, limit);
    if (!IsEmpty(piece)) out.push_back(piece);
  };
  if (!pco || pco->iDComplexity == DC_TRIVIAL) {
    add(limit);
    return out;
  }
  Clip* clip = FindClip(pco);
  if (pco->iDComplexity == DC_COMPLEX && clip && !clip->rects.empty()) {
    for (const RECTL& r : clip->rects) add(Intersect(r, pco->rclBounds));
  } else {
    add(pco->rclBounds);
  }
  return out;
}

}  // namespace velm::platform

using namespace velm::platform::eng;

extern "C" CLIPOBJ* EngCreateClip(void) {
  Clip* clip = NewClip();
  if (!clip) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  clip->co.iDComplexity = DC_TRIVIAL;
  return &clip->co;
}

extern "C" void EngDeleteClip(CLIPOBJ* pco) {
  Clip* clip = FindClip(pco);
  if (clip && Clips().Remove(clip)) delete clip;
}

extern "C" ULONG CLIPOBJ_cEnumStart(CLIPOBJ* pco, BOOL, ULONG, ULONG iDirection, ULONG cLimit) {
  Clip* clip = FindClip(pco);
  if (!clip) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  clip->enumeration.clear();
  clip->next = 0;
  if (pco->iDComplexity == DC_COMPLEX && !clip->rects.empty()) {
    for (const RECTL& r : clip->rects) {
      const RECTL piece = Intersect(r, pco->rclBounds);
      if (!IsEmpty(piece)) clip->enumeration.push_back(piece);
    }
  } else if (!IsEmpty(pco->rclBounds)) {
    clip->enumeration.push_back(pco->rclBounds);
  }
  const bool down = iDirection == CD_RIGHTDOWN || iDirection == CD_LEFTDOWN;
  const bool right = iDirection == CD_RIGHTDOWN || iDirection == CD_RIGHTUP;
  if (iDirection != CD_ANY) {
    std::stable_sort(clip->enumeration.begin(), clip->enumeration.end(), [&](const RECTL& a, const RECTL& b) {
      if (a.top != b.top) return down ? a.top < b.top : a.top > b.top;
      return right ? a.left < b.left : a.left > b.left;
    });
  }
  const ULONG count = static_cast<ULONG>(clip->enumeration.size());
  return cLimit != 0 && count > cLimit ? 0xFFFFFFFF : count;
}

extern "C" BOOL CLIPOBJ_bEnum(CLIPOBJ* pco, ULONG cj, ULONG* pv) {
  Clip* clip = FindClip(pco);
  if (!clip || !pv || cj < sizeof(ULONG)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const size_t room = (cj - sizeof(ULONG)) / sizeof(RECTL);
  const size_t remaining = clip->enumeration.size() - clip->next;
  const size_t taken = std::min(room, remaining);
  const ULONG c = static_cast<ULONG>(taken);
  auto* out = reinterpret_cast<BYTE*>(pv);
  std::memcpy(out, &c, sizeof c);
  if (taken) std::memcpy(out + offsetof(ENUMRECTS, arcl), &clip->enumeration[clip->next], taken * sizeof(RECTL));
  clip->next += taken;
  return clip->next < clip->enumeration.size() ? TRUE : FALSE;
}

extern "C" PATHOBJ* CLIPOBJ_ppoGetPath(CLIPOBJ* pco) {
  if (!pco || pco->iDComplexity == DC_TRIVIAL) return nullptr;
  const std::vector<RECTL> rects = velm::platform::ClipRectangles(pco, pco->rclBounds);
  PATHOBJ* ppo = EngCreatePath();
  if (!ppo) return nullptr;
  for (const RECTL& r : rects) {
    POINTFIX corners[3] = {{LTOFX(r.right), LTOFX(r.top)}, {LTOFX(r.right), LTOFX(r.bottom)},
                           {LTOFX(r.left), LTOFX(r.bottom)}};
    if (!PATHOBJ_bMoveTo(ppo, POINTFIX{LTOFX(r.left), LTOFX(r.top)}) || !PATHOBJ_bPolyLineTo(ppo, corners, 3) ||
        !PATHOBJ_bCloseFigure(ppo)) {
      EngDeletePath(ppo);
      return nullptr;
    }
  }
  return ppo;
}
