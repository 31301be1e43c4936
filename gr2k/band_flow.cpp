// Raster mode: the engine draws a page into the band bitmap one band at a time; each band
// leaves as an image record and the bitmap is whitened for the next one.
#include <cstdint>
#include <cstring>

#include "gr2k/document_flow.h"
#include "gr2k/image_senders.h"
#include "gr2k/pdev.h"

namespace {

constexpr DWORD kBandRop = 0xCC;  // the bands are copied onto the page

// White: 0xFF bytes are white in both band formats (entry 1 of the 1-bit palette, and BGR).
void WhitenBand(SURFOBJ* band) {
  if (band && band->pvBits) std::memset(band->pvBits, 0xFF, band->cjBits);
}

BOOL RefuseNoPoint() {
  SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE;
}

}  // namespace

extern "C" BOOL DrvStartBanding(SURFOBJ* pso, POINTL* pptl) {
  RenderPdev* pdev = PdevFromSurface(pso);
  if (!pdev) return FALSE;
  if (!pptl) return RefuseNoPoint();
  // A spooled job's page may reach the band walk without DrvStartPage.
  if (pdev->settings.emfSpool && !pdev->pageStartDone && !DrvStartPage(pso)) return FALSE;
  pdev->bandX = 0;
  pdev->bandY = 0;
  pdev->bandCounter = 0;
  *pptl = POINTL{0, 0};
  EngineClip none(nullptr);
  if (!ClipSelect(&pdev->stream, &pdev->cache, &none)) return FALSE;
  if (!StrmEmitRopIfChanged(&pdev->stream, &pdev->cache, kBandRop)) return FALSE;
  SURFOBJ* band = EngLockSurface(pdev->surface);
  WhitenBand(band);
  if (band) EngUnlockSurface(band);
  return TRUE;
}

extern "C" BOOL DrvNextBand(SURFOBJ* pso, POINTL* pptl) {
  RenderPdev* pdev = PdevFromSurface(pso);
  if (!pdev) return FALSE;
  if (!pptl) return RefuseNoPoint();
  pdev->bandCounter += 1;
  const RECTL rect{pdev->bandX, pdev->bandY, pdev->bandX + static_cast<LONG>(pdev->bandWidth),
                   pdev->bandY + static_cast<LONG>(pdev->bandHeight)};
  // The last band is the one that reaches the page's end; a band that would start at the page
  // height would lie wholly below the page.
  const bool last = static_cast<int64_t>(rect.bottom) >= static_cast<int64_t>(pdev->pageHeight);
  const POINTL next = last ? POINTL{-1, -1} : POINTL{pdev->bandX, rect.bottom};
  SURFOBJ* band = EngLockSurface(pdev->surface);
  const POINTL origin{0, 0};
  const BOOL sent = band && ImgEmitBand(pdev, nullptr, band, &origin, &rect);
  WhitenBand(band);
  if (band) EngUnlockSurface(band);
  pdev->bandX = next.x;
  pdev->bandY = next.y;
  *pptl = next;
  if (!last) return sent;
  const BOOL ended = PdevEndPage(pdev);
  return sent && ended;
}
