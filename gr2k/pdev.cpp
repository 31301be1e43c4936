// The PDEV's life: DrvEnablePDEV builds it from the job's devmode, DrvEnableSurface gives it a
// surface, DrvResetPDEV hands an open document to a new PDEV, DrvDisablePDEV frees it.
#include "gr2k/pdev.h"

#include <cstdint>
#include <cstring>

#include "data/item_ids.h"
#include "gr2k/device_fonts.h"
#include "gr2k/job_user_settings.h"
#include "gr2k/output_library.h"
#include "settings/devmode/merge.h"
#include "settings/context/driver_context.h"
#include "settings/items/store.h"
#include "settings/context/process_state.h"

namespace {

constexpr DWORD kMergeForEnable = 0x10008;
constexpr FLONG kRasterHooks = HOOK_BITBLT | HOOK_STRETCHBLT | HOOK_TEXTOUT;
constexpr FLONG kVectorHooks = HOOK_BITBLT | HOOK_STRETCHBLT | HOOK_TEXTOUT | HOOK_STROKEPATH | HOOK_FILLPATH |
                               HOOK_STROKEANDFILLPATH | HOOK_COPYBITS;

BOOL Refuse(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// Binds the stream to this PDEV's allocation list, flags and page counter, and empties it.
void BindStream(RenderPdev* pdev) {
  CommandStream& stream = pdev->stream;
  stream.printer = pdev->printer;
  stream.owner = StreamOwner{pdev, PdevStreamAlloc, PdevStreamFree, &pdev->flags, &pdev->pageCounter,
                             pdev->settings.passThrough};
  StrmReset(&stream);
  GlyphCache& glyphs = pdev->glyphs;
  glyphs.allocContext = pdev;
  glyphs.alloc = PdevStreamAlloc;
  glyphs.free = PdevStreamFree;
}

// Frees everything a PDEV holds, the PDEV itself last (it lives on its own list).
void DestroyPdev(RenderPdev* pdev) {
  // A document that never ended (or was not handed on) still holds its output library.
  OutRelease(pdev);
  if (pdev->surface) EngDeleteSurface(pdev->surface);
  if (pdev->palette) EngDeletePalette(pdev->palette);
  DevFontTableFree(pdev);
  CtxDestroy(pdev->context);
  void** list = pdev->allocations;
  pdev->magicHead = pdev->magicTail = 0;
  PdevMemDestroy(list);
}

bool SaveDevmode(RenderPdev* pdev, const DEVMODEW* devmode) {
  if (!devmode) return true;
  const SIZE_T bytes = static_cast<SIZE_T>(devmode->dmSize) + devmode->dmDriverExtra;
  auto* copy = static_cast<DEVMODEW*>(PdevMemAlloc(pdev->allocations, bytes));
  if (!copy) return false;
  std::memcpy(copy, devmode, bytes);
  pdev->savedDevmode = copy;
  return true;
}

BOOL Enable(RenderPdev* pdev, DEVMODEW* pdm, ULONG cPat, HSURF* patterns, ULONG cjCaps, ULONG* caps,
            ULONG cjDevInfo, DEVINFO* devInfo) {
  if (!caps || !devInfo) return Refuse(ERROR_INVALID_PARAMETER);
  // The module handle is the sign that process attach ran and the settings library is ready.
  if (!SysProcessState().module) return Refuse(ERROR_DLL_INIT_FAILED);
  pdev->context = CtxCreate(pdev->printer, reinterpret_cast<ULONG_PTR>(pdev), kCreateGraphics);
  if (!pdev->context) return FALSE;
  if (!DmMerge(pdev->context, pdm, kMergeForEnable)) return Refuse(ERROR_NOT_ENOUGH_MEMORY);
  if (!SaveDevmode(pdev, pdm)) return FALSE;
  PdevReadSettings(pdev);
  if (!PdevPageIsUsable(pdev)) return Refuse(ERROR_INVALID_PARAMETER);
  PdevFillGdiInfo(pdev, reinterpret_cast<GDIINFO*>(caps), cjCaps);
  if (!pdev->settings.rasterMode && OptGetValue(pdev->context, kItemNoDeviceFont) != 1)
    pdev->fontCount = DevFontTableLoad(pdev);
  if (!PdevFillDevInfo(pdev, devInfo, cjDevInfo)) return FALSE;
  if (patterns && cPat) std::memset(patterns, 0, static_cast<size_t>(cPat) * sizeof(HSURF));
  GraphicsStateCacheReset(&pdev->cache);
  pdev->osVersion.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
  GetVersionExW(&pdev->osVersion);
  BindStream(pdev);
  return TRUE;
}

// Copies the job name into the new PDEV's own list.
BOOL CarryJobName(const RenderPdev* from, RenderPdev* to) {
  if (!from->jobName || from->jobNameLength == 0) return TRUE;
  auto* copy = static_cast<BYTE*>(PdevMemAlloc(to->allocations, kJobNameBytes));
  if (!copy) return FALSE;
  std::memcpy(copy, from->jobName, from->jobNameLength);
  PdevMemFree(to->allocations, to->jobName);
  to->jobName = copy;
  to->jobNameLength = from->jobNameLength;
  return TRUE;
}

}  // namespace

BOOL PdevIsValid(const RenderPdev* pdev) {
  return pdev && pdev->magicHead == kPdevMagic && pdev->magicTail == kPdevMagic;
}

RenderPdev* PdevFromHandle(DHPDEV dhpdev) {
  auto* pdev = reinterpret_cast<RenderPdev*>(dhpdev);
  if (PdevIsValid(pdev)) return pdev;
  SetLastError(ERROR_INVALID_PARAMETER);
  return nullptr;
}

RenderPdev* PdevFromSurface(SURFOBJ* surface) { return PdevFromHandle(surface ? surface->dhpdev : nullptr); }

extern "C" DHPDEV DrvEnablePDEV(DEVMODEW* pdm, LPWSTR, ULONG cPat, HSURF* phsurfPatterns, ULONG cjCaps,
                                ULONG* pdevcaps, ULONG cjDevInfo, DEVINFO* pdi, HDEV, LPWSTR, HANDLE hDriver) {
  void** list = PdevMemCreateList();
  if (!list) return nullptr;
  auto* pdev = static_cast<RenderPdev*>(PdevMemAlloc(list, sizeof(RenderPdev)));
  if (!pdev) {
    PdevMemDestroy(list);
    return nullptr;
  }
  std::memset(static_cast<void*>(pdev), 0, sizeof(RenderPdev));
  pdev->magicHead = pdev->magicTail = kPdevMagic;
  pdev->allocations = list;
  pdev->printer = hDriver;
  pdev->stream.printer = hDriver;
  if (!Enable(pdev, pdm, cPat, phsurfPatterns, cjCaps, pdevcaps, cjDevInfo, pdi)) {
    const DWORD error = GetLastError();
    DestroyPdev(pdev);
    SetLastError(error);
    return nullptr;
  }
  return reinterpret_cast<DHPDEV>(pdev);
}

extern "C" void DrvCompletePDEV(DHPDEV dhpdev, HDEV hdev) {
  if (RenderPdev* pdev = PdevFromHandle(dhpdev)) pdev->hdev = hdev;
}

extern "C" void DrvDisablePDEV(DHPDEV dhpdev) {
  if (RenderPdev* pdev = PdevFromHandle(dhpdev)) DestroyPdev(pdev);
}

extern "C" HSURF DrvEnableSurface(DHPDEV dhpdev) {
  RenderPdev* pdev = PdevFromHandle(dhpdev);
  if (!pdev) return nullptr;
  if (pdev->surface) return pdev->surface;
  const BOOL oneBit = PdevIsOneBit(pdev);
  const ULONG format = oneBit ? BMF_1BPP : BMF_24BPP;
  HSURF surface = nullptr;
  FLONG hooks = 0;
  if (pdev->settings.rasterMode) {
    const DWORD width = pdev->bandWidth;
    pdev->bandHeight = PdevBandHeight(width, pdev->pageHeight);
    if (pdev->bandHeight == 0 || width > 0x7FFFFFFF / 24) {
      SetLastError(ERROR_INVALID_DATA);
      return nullptr;
    }
    const DWORD bits = oneBit ? 1 : 24;
    const LONG stride = static_cast<LONG>(((static_cast<uint64_t>(width) * bits + 7) / 8 + 3) & ~uint64_t{3});
    const SIZEL size{static_cast<LONG>(width), static_cast<LONG>(pdev->bandHeight)};
    surface = reinterpret_cast<HSURF>(EngCreateBitmap(size, stride, format, BMF_TOPDOWN, nullptr));
    if (!surface) return nullptr;
    if (!EngMarkBandingSurface(surface)) {
      EngDeleteSurface(surface);
      return nullptr;
    }
    hooks = kRasterHooks;
  } else {
    const SIZEL size{static_cast<LONG>(pdev->geometry.printableWidth),
                     static_cast<LONG>(pdev->geometry.printableLength)};
    surface = EngCreateDeviceSurface(reinterpret_cast<DHSURF>(pdev), size, format);
    if (!surface) return nullptr;
    hooks = kVectorHooks | (pdev->settings.noStretchBltRop ? 0 : HOOK_STRETCHBLTROP);
  }
  if (!EngAssociateSurface(surface, pdev->hdev, hooks)) {
    const DWORD error = GetLastError();
    EngDeleteSurface(surface);
    SetLastError(error);
    return nullptr;
  }
  pdev->surface = surface;
  return surface;
}

extern "C" void DrvDisableSurface(DHPDEV dhpdev) {
  RenderPdev* pdev = PdevFromHandle(dhpdev);
  if (!pdev || !pdev->surface) return;
  EngDeleteSurface(pdev->surface);
  pdev->surface = nullptr;
}

extern "C" BOOL DrvResetPDEV(DHPDEV dhpdevOld, DHPDEV dhpdevNew) {
  RenderPdev* old = PdevFromHandle(dhpdevOld);
  RenderPdev* next = old ? PdevFromHandle(dhpdevNew) : nullptr;
  if (!old || !next) return FALSE;
  if (!(old->flags & kPdevFlagDocument)) return TRUE;
  next->pageCounter = old->pageCounter;
  old->flags |= kPdevFlagContinuation;
  next->flags |= kPdevFlagContinuation | kPdevFlagDocument;
  next->jobId = old->jobId;
  if (!StrmFlush(&old->stream)) return FALSE;
  if (!CarryJobName(old, next)) return FALSE;
  // Only the binding to the output library moves: the new stream starts empty on its own
  // chunk, so nothing points into the old PDEV once GDI frees it. The old PDEV lets go of the
  // library, which the new one now ends.
  next->stream.outputModule = old->stream.outputModule;
  next->stream.outputHandle = old->stream.outputHandle;
  next->stream.writeCallback = old->stream.writeCallback;
  old->stream.outputModule = nullptr;
  old->stream.outputHandle = nullptr;
  old->stream.writeCallback = nullptr;
  StrmReset(&next->stream);
  next->colorTransform = old->colorTransform;
  next->colorProfile = old->colorProfile;
  if (next->settings.rasterMode) JobCopyUserSettings(next->context, old->context);
  GlyphCacheClear(&old->glyphs);
  next->settings.printType = old->settings.printType;
  next->settings.printType7 = old->settings.printType7;
  return TRUE;
}
