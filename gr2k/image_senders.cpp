#include "gr2k/image_senders.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "gr2k/image_record.h"
#include "gr2k/pdev.h"

namespace {

constexpr DWORD kImageHostIcm = 0x800;

struct SourceFormat {
  ULONG bitmapFormat;
  DWORD imageFormat;
  DWORD paletteEntries;
};
constexpr SourceFormat kSourceFormats[] = {
    {BMF_1BPP, 0, 2}, {BMF_4BPP, 1, 16}, {BMF_8BPP, 2, 256}, {BMF_24BPP, 4, 0}};

const SourceFormat* FormatOf(const SURFOBJ* source) {
  for (const SourceFormat& row : kSourceFormats)
    if (row.bitmapFormat == source->iBitmapFormat) return &row;
  return nullptr;
}

// The translation maps index i to the grey level i * 255 / (entries - 1): the device's own
// reading of rows without a palette.
bool IsGreyRamp(const XLATEOBJ* xlate, DWORD entries) {
  if (!xlate->pulXlate || xlate->cEntries != entries || entries < 2) return false;
  for (DWORD i = 0; i < entries; ++i) {
    const ULONG grey = i * 255 / (entries - 1);
    if ((xlate->pulXlate[i] & 0xFFFFFF) != grey * 0x010101) return false;
  }
  return true;
}

}  // namespace

BOOL ImgEmitBand(RenderPdev* pdev, XLATEOBJ* xlate, SURFOBJ* source, const POINTL* sourcePoint, const RECTL* target) {
  if (!pdev || !source || !sourcePoint || !target || !source->pvScan0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const LONG x = std::min(target->left, target->right), y = std::min(target->top, target->bottom);
  const int64_t w = std::abs(static_cast<int64_t>(target->right) - target->left);
  const int64_t h = std::abs(static_cast<int64_t>(target->bottom) - target->top);
  const SourceFormat* format = FormatOf(source);
  if (!format || source->sizlBitmap.cx != w || source->sizlBitmap.cy != h || sourcePoint->x != 0 ||
      sourcePoint->y != 0) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  ImageDescription image{};
  image.format = format->imageFormat;
  image.x = x;
  image.y = y;
  image.cx = static_cast<LONG>(w);
  image.cy = static_cast<LONG>(h);
  image.width = static_cast<DWORD>(w);
  image.rows = static_cast<DWORD>(h);
  image.bits = static_cast<const BYTE*>(source->pvScan0);
  image.stride = source->lDelta;

  BYTE* palette = nullptr;
  if (xlate && format->paletteEntries && xlate->pulXlate && !IsGreyRamp(xlate, format->paletteEntries)) {
    const DWORD entries = std::min<DWORD>(xlate->cEntries, format->paletteEntries);
    palette = static_cast<BYTE*>(PdevMemAlloc(pdev->allocations, format->paletteEntries * 3));
    if (!palette) return FALSE;
    std::fill(palette, palette + format->paletteEntries * 3, 0);
    for (DWORD i = 0; i < entries; ++i) {
      const ULONG entry = xlate->pulXlate[i];
      palette[3 * i] = static_cast<BYTE>(entry);
      palette[3 * i + 1] = static_cast<BYTE>(entry >> 8);
      palette[3 * i + 2] = static_cast<BYTE>(entry >> 16);
    }
    image.palette = palette;
    image.paletteBytes = format->paletteEntries * 3;
  }
  if (xlate && (xlate->flXlate & XO_HOST_ICM)) image.format |= kImageHostIcm;
  const BOOL ok = StrmEmitImage(&pdev->stream, PdevRecordSettings(pdev), image);
  PdevMemFree(pdev->allocations, palette);
  return ok;
}
