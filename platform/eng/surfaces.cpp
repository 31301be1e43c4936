// Surfaces and devices: memory bitmaps, device surfaces, their association with a driver's
// device, banding marks; the engine's fault switches, call log and live counts.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

#include "core/memory.h"
#include "core/winerror.h"
#include "eng/eng_internal.h"

namespace velm::platform::eng {
namespace {

std::mutex g_faultMutex;
EngineFaults g_faults;
uint64_t g_bitmapCalls = 0;

std::mutex g_logMutex;
std::vector<std::string> g_log;

std::atomic<ULONG> g_surfaceUniq{1};

constexpr LONG kMaxSide = 0x100000;
constexpr uint64_t kMaxBits = 0x7FFFFFFF;

bool BitmapFaultTrips(uint64_t bytes) {
  std::lock_guard<std::mutex> lock(g_faultMutex);
  ++g_bitmapCalls;
  if (g_faults.failBitmapAt != 0 && g_bitmapCalls == g_faults.failBitmapAt) return true;
  return g_faults.bitmapByteLimit != 0 && bytes > g_faults.bitmapByteLimit;
}

Surface* NewSurface() {
  auto* surface = new (std::nothrow) Surface;
  if (!surface) return nullptr;
  surface->so.hsurf = reinterpret_cast<HSURF>(surface);
  surface->so.iUniq = g_surfaceUniq++;
  Surfaces().Add(surface);
  return surface;
}

}  // namespace

Registry<Surface>& Surfaces() {
  static Registry<Surface> registry;
  return registry;
}
Registry<Device>& Devices() {
  static Registry<Device> registry;
  return registry;
}

Surface* FindSurface(const SURFOBJ* pso) { return pso ? Surfaces().Find(pso) : nullptr; }
Surface* FindSurface(HSURF hsurf) { return hsurf ? Surfaces().Find(hsurf) : nullptr; }
Device* FindDevice(HDEV hdev) { return hdev ? Devices().Find(hdev) : nullptr; }

ULONG BitsPerPixel(ULONG format) {
  switch (format) {
    case BMF_1BPP: return 1;
    case BMF_4BPP: return 4;
    case BMF_8BPP: return 8;
    case BMF_16BPP: return 16;
    case BMF_24BPP: return 24;
    case BMF_32BPP: return 32;
    default: return 0;
  }
}

bool SurfacePixels(const SURFOBJ* pso, Pixels& pixels) {
  if (!pso || pso->iType == STYPE_DEVICE || !pso->pvScan0) return false;
  const ULONG bpp = BitsPerPixel(pso->iBitmapFormat);
  if (bpp == 0 || pso->sizlBitmap.cx <= 0 || pso->sizlBitmap.cy <= 0) return false;
  pixels.scan0 = static_cast<BYTE*>(pso->pvScan0);
  pixels.delta = pso->lDelta;
  pixels.cx = pso->sizlBitmap.cx;
  pixels.cy = pso->sizlBitmap.cy;
  pixels.format = pso->iBitmapFormat;
  pixels.bpp = bpp;
  pixels.mask = bpp == 32 ? 0xFFFFFFFF : (1u << bpp) - 1;
  return true;
}

ULONG Pixels::Get(LONG x, LONG y) const {
  const BYTE* row = Row(y);
  switch (bpp) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4: return (x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4;
    case 8: return row[x];
    case 16: return row[2 * x] | (row[2 * x + 1] << 8);
    case 24: return row[3 * x] | (row[3 * x + 1] << 8) | (static_cast<ULONG>(row[3 * x + 2]) << 16);
    default: {
      ULONG value;
      std::memcpy(&value, row + 4 * x, 4);
      return value;
    }
  }
}

void Pixels::Put(LONG x, LONG y, ULONG value) const {
  BYTE* row = Row(y);
  switch (bpp) {
    case 1: {
      const BYTE bit = static_cast<BYTE>(0x80 >> (x & 7));
      row[x >> 3] = (value & 1) ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit);
      break;
    }
    case 4:
      row[x >> 1] = (x & 1) ? ((row[x >> 1] & 0xF0) | (value & 0x0F)) : ((row[x >> 1] & 0x0F) | ((value & 0x0F) << 4));
      break;
    case 8: row[x] = static_cast<BYTE>(value); break;
    case 16:
      row[2 * x] = static_cast<BYTE>(value);
      row[2 * x + 1] = static_cast<BYTE>(value >> 8);
      break;
    case 24:
      row[3 * x] = static_cast<BYTE>(value);
      row[3 * x + 1] = static_cast<BYTE>(value >> 8);
      row[3 * x + 2] = static_cast<BYTE>(value >> 16);
      break;
    default: std::memcpy(row + 4 * x, &value, 4); break;
  }
}

RECTL Intersect(const RECTL& a, const RECTL& b) {
  RECTL r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (IsEmpty(r)) r = RECTL{0, 0, 0, 0};
  return r;
}

RECTL Ordered(const RECTL& r) {
  return RECTL{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
               std::max(r.top, r.bottom)};
}

void LogEngineCall(std::string line) {
  std::lock_guard<std::mutex> lock(g_logMutex);
  if (g_log.size() < 100000) g_log.push_back(std::move(line));
}

std::string RectText(const RECTL* rect) {
  if (!rect) return "(none)";
  return "(" + std::to_string(rect->left) + "," + std::to_string(rect->top) + "," + std::to_string(rect->right) +
         "," + std::to_string(rect->bottom) + ")";
}

}  // namespace velm::platform::eng

namespace velm::platform {
using namespace eng;

HDEV CreateEngineDevice(const DRVENABLEDATA& data) {
  if (!data.pdrvfn && data.c != 0) return nullptr;
  auto* device = new (std::nothrow) Device;
  if (!device) return nullptr;
  for (ULONG i = 0; i < data.c; ++i) {
    const DRVFN& fn = data.pdrvfn[i];
    if (fn.iFunc < INDEX_LAST) device->hooks[fn.iFunc] = fn.pfn;
  }
  Devices().Add(device);
  return reinterpret_cast<HDEV>(device);
}

void SetEngineDevicePdev(HDEV hdev, DHPDEV dhpdev) {
  if (Device* device = FindDevice(hdev)) device->dhpdev = dhpdev;
}

void DeleteEngineDevice(HDEV hdev) {
  Device* device = FindDevice(hdev);
  if (device && Devices().Remove(device)) delete device;
}

PFN EngineDeviceHook(HDEV hdev, ULONG index) {
  Device* device = FindDevice(hdev);
  return device && index < INDEX_LAST ? device->hooks[index] : nullptr;
}

bool QuerySurface(HSURF hsurf, SurfaceFacts& facts) {
  Surface* surface = FindSurface(hsurf);
  if (!surface) return false;
  facts.hdev = surface->hdev;
  facts.hooks = surface->hooks;
  facts.associated = surface->associated;
  facts.banding = surface->banding;
  return true;
}

void SetEngineFaults(const EngineFaults& faults) {
  std::lock_guard<std::mutex> lock(g_faultMutex);
  g_faults = faults;
  g_bitmapCalls = 0;
}

std::vector<std::string> TakeEngineCalls() {
  std::lock_guard<std::mutex> lock(g_logMutex);
  std::vector<std::string> calls;
  calls.swap(g_log);
  return calls;
}

EngineObjectCounts LiveEngineObjects() {
  EngineObjectCounts counts;
  counts.surfaces = Surfaces().Count();
  counts.palettes = Palettes().Count();
  counts.paths = Paths().Count();
  counts.clips = Clips().Count();
  counts.xlates = Xlates().Count();
  counts.brushes = Brushes().Count();
  counts.xforms = Xforms().Count();
  counts.fonts = Fonts().Count();
  counts.strings = Strs().Count();
  counts.devices = Devices().Count();
  return counts;
}

}  // namespace velm::platform

using namespace velm::platform::eng;

extern "C" HBITMAP EngCreateBitmap(SIZEL sizl, LONG lWidth, ULONG iFormat, FLONG fl, PVOID pvBits) {
  const ULONG bpp = BitsPerPixel(iFormat);
  if (bpp == 0 || sizl.cx <= 0 || sizl.cy <= 0 || sizl.cx > kMaxSide || sizl.cy > kMaxSide) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const uint64_t rowBytes = (static_cast<uint64_t>(sizl.cx) * bpp + 7) / 8;
  uint64_t stride;
  if (pvBits) {
    if (lWidth <= 0 || static_cast<uint64_t>(lWidth) < rowBytes) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    stride = static_cast<uint64_t>(lWidth);
  } else {
    stride = std::max<uint64_t>(rowBytes, lWidth > 0 ? static_cast<uint64_t>(lWidth) : 0);
    stride = (stride + 3) & ~uint64_t{3};
  }
  const uint64_t bytes = stride * static_cast<uint64_t>(sizl.cy);
  if (bytes > kMaxBits) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (BitmapFaultTrips(bytes)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  void* owned = nullptr;
  if (!pvBits) {
    owned = GlobalAlloc((fl & BMF_NOZEROINIT) ? GMEM_FIXED : GPTR, static_cast<SIZE_T>(bytes));
    if (!owned) return nullptr;  // GlobalAlloc set the error
  }
  Surface* surface = NewSurface();
  if (!surface) {
    if (owned) GlobalFree(owned);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  surface->ownedBits = owned;
  SURFOBJ& so = surface->so;
  BYTE* bits = static_cast<BYTE*>(pvBits ? pvBits : owned);
  so.sizlBitmap = sizl;
  so.cjBits = static_cast<ULONG>(bytes);
  so.pvBits = bits;
  so.iBitmapFormat = iFormat;
  so.iType = STYPE_BITMAP;
  so.fjBitmap = static_cast<USHORT>(fl & BMF_TOPDOWN);
  if (fl & BMF_TOPDOWN) {
    so.pvScan0 = bits;
    so.lDelta = static_cast<LONG>(stride);
  } else {
    so.pvScan0 = bits + (static_cast<uint64_t>(sizl.cy) - 1) * stride;
    so.lDelta = -static_cast<LONG>(stride);
  }
  return reinterpret_cast<HBITMAP>(so.hsurf);
}

extern "C" HSURF EngCreateDeviceSurface(DHSURF dhsurf, SIZEL sizl, ULONG iFormatCompat) {
  if (sizl.cx <= 0 || sizl.cy <= 0 || sizl.cx > kMaxSide || sizl.cy > kMaxSide) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Surface* surface = NewSurface();
  if (!surface) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  surface->so.dhsurf = dhsurf;
  surface->so.sizlBitmap = sizl;
  surface->so.iBitmapFormat = iFormatCompat;
  surface->so.iType = STYPE_DEVICE;
  return surface->so.hsurf;
}

extern "C" BOOL EngAssociateSurface(HSURF hsurf, HDEV hdev, FLONG flHooks) {
  Surface* surface = FindSurface(hsurf);
  if (!surface) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!hdev) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  {
    std::lock_guard<std::mutex> lock(g_faultMutex);
    if (g_faults.failAssociate) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return FALSE;
    }
  }
  surface->hdev = hdev;
  surface->hooks = flHooks;
  surface->associated = true;
  surface->so.hdev = hdev;
  if (Device* device = FindDevice(hdev)) surface->so.dhpdev = device->dhpdev;
  return TRUE;
}

extern "C" BOOL EngMarkBandingSurface(HSURF hsurf) {
  Surface* surface = FindSurface(hsurf);
  if (!surface || surface->so.iType != STYPE_BITMAP) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  surface->banding = true;
  return TRUE;
}

extern "C" BOOL EngDeleteSurface(HSURF hsurf) {
  Surface* surface = FindSurface(hsurf);
  if (!surface || !Surfaces().Remove(surface)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (surface->ownedBits) GlobalFree(surface->ownedBits);
  delete surface;
  return TRUE;
}

extern "C" SURFOBJ* EngLockSurface(HSURF hsurf) {
  Surface* surface = FindSurface(hsurf);
  if (!surface) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return &surface->so;
}

// Locks are not counted: a surface lives until EngDeleteSurface.
extern "C" void EngUnlockSurface(SURFOBJ*) {}

extern "C" BOOL EngEraseSurface(SURFOBJ* pso, RECTL* prcl, ULONG iColor) {
  if (!pso || !prcl) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Pixels pixels;
  if (!SurfacePixels(pso, pixels)) {
    if (pso->iType == STYPE_DEVICE) {
      LogEngineCall("EngEraseSurface device " + RectText(prcl));
      return TRUE;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const RECTL area = Intersect(Ordered(*prcl), RECTL{0, 0, pixels.cx, pixels.cy});
  const ULONG value = iColor & pixels.mask;
  for (LONG y = area.top; y < area.bottom; ++y) {
    for (LONG x = area.left; x < area.right; ++x) pixels.Put(x, y, value);
  }
  return TRUE;
}
