// Brushes: solid, pattern and hatch brushes, their realization by the driver, and the brush
// sampler the drawing code paints with.
#include <new>

#include "core/memory.h"
#include "core/winerror.h"
#include "eng/eng_internal.h"

namespace velm::platform::eng {
namespace {

// Rows of the 8 x 8 hatch patterns, bit 7 leftmost, 1 = line.
constexpr BYTE kHatchRows[HS_DDI_MAX][8] = {
    {0x00, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00},  // HS_HORIZONTAL
    {0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08},  // HS_VERTICAL
    {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01},  // HS_FDIAGONAL
    {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80},  // HS_BDIAGONAL
    {0x08, 0x08, 0x08, 0x08, 0xFF, 0x08, 0x08, 0x08},  // HS_CROSS
    {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81},  // HS_DIAGCROSS
};

constexpr ULONG kMaxRealization = 16u << 20;
constexpr LONG kMaxPatternSide = 1024;

struct BrushState {
  std::vector<void*> blocks;  // BRUSHOBJ_pvAllocRbrush's, freed with the brush
  bool realizing = false;
};
std::mutex g_stateMutex;
std::map<Brush*, BrushState> g_states;

Brush* NewBrush() {
  auto* brush = new (std::nothrow) Brush;
  if (!brush) return nullptr;
  Brushes().Add(brush);
  return brush;
}

}  // namespace

Registry<Brush>& Brushes() {
  static Registry<Brush> registry;
  return registry;
}
Brush* FindBrush(const BRUSHOBJ* pbo) { return pbo ? Brushes().Find(pbo) : nullptr; }

bool BrushSampler::Init(BRUSHOBJ* pbo, const POINTL* origin, ULONG valueMask) {
  width_ = height_ = 0;
  values_.clear();
  solid_ = 0;
  if (!pbo) return true;
  if (pbo->iSolidColor != 0xFFFFFFFF) {
    solid_ = pbo->iSolidColor & valueMask;
    return true;
  }
  Brush* brush = FindBrush(pbo);
  Pixels pattern;
  if (!brush || !SurfacePixels(brush->pattern, pattern) || pattern.cx > kMaxPatternSide ||
      pattern.cy > kMaxPatternSide) {
    return false;
  }
  width_ = pattern.cx;
  height_ = pattern.cy;
  ox_ = origin ? origin->x : 0;
  oy_ = origin ? origin->y : 0;
  values_.resize(static_cast<size_t>(width_) * height_);
  for (LONG y = 0; y < height_; ++y) {
    for (LONG x = 0; x < width_; ++x) {
      values_[static_cast<size_t>(y) * width_ + x] = XLATEOBJ_iXlate(brush->xlate, pattern.Get(x, y)) & valueMask;
    }
  }
  return true;
}

}  // namespace velm::platform::eng

namespace velm::platform {
using namespace eng;

const BYTE* HatchRows(ULONG hatch) { return hatch < HS_DDI_MAX ? kHatchRows[hatch] : nullptr; }

BRUSHOBJ* CreateSolidBrushObj(ULONG targetValue, COLORREF logical, FLONG colorType) {
  Brush* brush = NewBrush();
  if (!brush) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  brush->bo.iSolidColor = targetValue;
  brush->bo.flColorType = colorType;
  brush->logical = logical;
  return &brush->bo;
}

BRUSHOBJ* CreatePatternBrushObj(SURFOBJ* pattern, XLATEOBJ* xlate, SURFOBJ* target, ULONG hatch, FLONG colorType) {
  if (!pattern) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Brush* brush = NewBrush();
  if (!brush) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  brush->bo.iSolidColor = 0xFFFFFFFF;
  brush->bo.flColorType = colorType;
  brush->logical = 0xFFFFFFFF;
  brush->pattern = pattern;
  brush->xlate = xlate;
  brush->target = target;
  brush->hatch = hatch;
  return &brush->bo;
}

BRUSHOBJ* CreateHatchBrushObj(ULONG hatch, ULONG foreValue, ULONG backValue, SURFOBJ* target, FLONG colorType) {
  const BYTE* rows = HatchRows(hatch);
  if (!rows) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const HSURF pattern = reinterpret_cast<HSURF>(EngCreateBitmap(SIZEL{8, 8}, 4, BMF_1BPP, BMF_TOPDOWN, nullptr));
  if (!pattern) return nullptr;
  SURFOBJ* so = EngLockSurface(pattern);
  for (int y = 0; y < 8; ++y) static_cast<BYTE*>(so->pvScan0)[y * so->lDelta] = rows[y];
  const ULONG entries[2] = {backValue, foreValue};
  XLATEOBJ* xlate = CreateTableXlate(entries, 2);
  BRUSHOBJ* bo = xlate ? CreatePatternBrushObj(so, xlate, target, hatch, colorType) : nullptr;
  if (!bo) {
    DeleteXlate(xlate);
    EngDeleteSurface(pattern);
    return nullptr;
  }
  Brush* brush = FindBrush(bo);
  brush->ownedPattern = pattern;
  brush->ownedXlate = xlate;
  return bo;
}

void DeleteBrushObj(BRUSHOBJ* pbo) {
  Brush* brush = FindBrush(pbo);
  if (!brush || !Brushes().Remove(brush)) return;
  {
    std::lock_guard<std::mutex> lock(g_stateMutex);
    auto state = g_states.find(brush);
    if (state != g_states.end()) {
      for (void* block : state->second.blocks) GlobalFree(block);
      g_states.erase(state);
    }
  }
  DeleteXlate(brush->ownedXlate);
  if (brush->ownedPattern) EngDeleteSurface(brush->ownedPattern);
  delete brush;
}

}  // namespace velm::platform

using namespace velm::platform::eng;

extern "C" PVOID BRUSHOBJ_pvAllocRbrush(BRUSHOBJ* pbo, ULONG cj) {
  Brush* brush = FindBrush(pbo);
  if (!brush || cj == 0 || cj > kMaxRealization) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  void* block = GlobalAlloc(GPTR, cj);
  if (!block) return nullptr;
  std::lock_guard<std::mutex> lock(g_stateMutex);
  g_states[brush].blocks.push_back(block);
  brush->realization = block;
  return block;
}

extern "C" PVOID BRUSHOBJ_pvGetRbrush(BRUSHOBJ* pbo) {
  if (!pbo) return nullptr;
  if (pbo->pvRbrush) return pbo->pvRbrush;
  Brush* brush = FindBrush(pbo);
  if (!brush || !brush->target) return nullptr;
  Surface* target = FindSurface(brush->target);
  const auto realize = velm::platform::HookAs<PFN_DrvRealizeBrush>(
      target ? velm::platform::EngineDeviceHook(target->hdev, INDEX_DrvRealizeBrush) : nullptr);
  if (!realize) return nullptr;
  {
    std::lock_guard<std::mutex> lock(g_stateMutex);
    BrushState& state = g_states[brush];
    if (state.realizing) return nullptr;  // a realization that asks for itself
    state.realizing = true;
  }
  brush->realization = nullptr;
  const BOOL ok = realize(pbo, brush->target, brush->pattern, nullptr, brush->xlate, brush->hatch);
  {
    std::lock_guard<std::mutex> lock(g_stateMutex);
    g_states[brush].realizing = false;
  }
  if (!ok) {
    pbo->pvRbrush = nullptr;
    return nullptr;
  }
  if (!pbo->pvRbrush) pbo->pvRbrush = brush->realization;
  return pbo->pvRbrush;
}

extern "C" ULONG BRUSHOBJ_ulGetBrushColor(BRUSHOBJ* pbo) {
  if (!pbo) return 0xFFFFFFFF;
  Brush* brush = FindBrush(pbo);
  if (pbo->iSolidColor == 0xFFFFFFFF) return 0xFFFFFFFF;
  return brush ? brush->logical : pbo->iSolidColor;
}
