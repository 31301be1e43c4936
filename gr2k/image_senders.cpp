#include "gr2k/image_senders.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "gr2k/brushes.h"
#include "gr2k/image_record.h"
#include "gr2k/pdev.h"

namespace {

constexpr DWORD kStripHalvingBytes = 0xA00000;

// How a bitmap format is sent: its record pixel format, the palette entries it takes, and
// whether it is first converted to a 24-bit copy.
struct SourceFormat {
  ULONG bitmapFormat;
  DWORD imageFormat;
  DWORD paletteEntries;
  bool converted;
};
constexpr SourceFormat kSourceFormats[] = {{BMF_1BPP, 0, 2, false},   {BMF_4BPP, 1, 16, false},
                                           {BMF_8BPP, 2, 256, false}, {BMF_24BPP, 4, 0, false},
                                           {BMF_16BPP, 4, 0, true},   {BMF_32BPP, 4, 0, true}};

const SourceFormat* FormatOf(const SURFOBJ* source) {
  for (const SourceFormat& row : kSourceFormats)
    if (row.bitmapFormat == source->iBitmapFormat) return &row;
  return nullptr;
}

ULONG SentBitmapFormat(const SourceFormat& format) { return format.converted ? BMF_24BPP : format.bitmapFormat; }

// The translation maps index i to the grey level i * 255 / (entries - 1): the device's own
// reading of rows without a palette.
bool IsGreyRamp(const XLATEOBJ* xlate, DWORD entries) {
  if (!xlate || !xlate->pulXlate || xlate->cEntries != entries || entries < 2) return false;
  for (DWORD i = 0; i < entries; ++i) {
    const ULONG grey = i * 255 / (entries - 1);
    if ((xlate->pulXlate[i] & 0xFFFFFF) != grey * 0x010101) return false;
  }
  return true;
}

bool IsBitmap(const SURFOBJ* surface) { return surface && surface->iType == STYPE_BITMAP && surface->pvScan0; }

LONG Magnitude(LONG a, LONG b) { return static_cast<LONG>(std::llabs(static_cast<int64_t>(b) - a)); }

// What one send makes: up to two temporary bitmaps, a palette and a row buffer, all freed with it.
class SendScope {
 public:
  explicit SendScope(RenderPdev* pdev) : pdev_(pdev) {}
  SendScope(const SendScope&) = delete;
  SendScope& operator=(const SendScope&) = delete;
  ~SendScope() {
    for (int i = 0; i < kSlots; ++i) PdevDeleteTempBitmap(bitmaps_[i], handles_[i]);
    for (BYTE* block : blocks_) PdevMemFree(pdev_->allocations, block);
  }

  SURFOBJ* Temporary(LONG width, LONG height, ULONG format) {
    for (int i = 0; i < kSlots; ++i) {
      if (bitmaps_[i]) continue;
      bitmaps_[i] = PdevCreateTempBitmap(pdev_, &handles_[i], width, height, format);
      return bitmaps_[i];
    }
    return nullptr;
  }
  void Release(SURFOBJ* bitmap) {
    for (int i = 0; i < kSlots; ++i) {
      if (bitmaps_[i] != bitmap) continue;
      PdevDeleteTempBitmap(bitmaps_[i], handles_[i]);
      bitmaps_[i] = nullptr;
      handles_[i] = nullptr;
    }
  }
  BYTE* Memory(SIZE_T bytes) {
    for (BYTE*& block : blocks_) {
      if (block) continue;
      block = static_cast<BYTE*>(PdevMemAlloc(pdev_->allocations, bytes));
      return block;
    }
    return nullptr;
  }

 private:
  static constexpr int kSlots = 2;
  RenderPdev* pdev_;
  SURFOBJ* bitmaps_[kSlots] = {};
  HSURF handles_[kSlots] = {};
  BYTE* blocks_[2] = {};
};

// The record of `rows` (a bitmap sent whole from its first scan line) at (x, y, cx, cy).
ImageDescription Describe(DWORD format, LONG x, LONG y, LONG cx, LONG cy, const SURFOBJ* rows, LONG srcX, LONG srcY) {
  ImageDescription image{};
  image.format = format;
  image.x = x;
  image.y = y;
  image.cx = cx;
  image.cy = cy;
  image.srcX = srcX;
  image.srcY = srcY;
  image.width = static_cast<DWORD>(rows->sizlBitmap.cx);
  image.rows = static_cast<DWORD>(rows->sizlBitmap.cy);
  image.bits = static_cast<const BYTE*>(rows->pvScan0);
  image.stride = rows->lDelta;
  return image;
}

// The palette of an indexed format whose translation is not the grey ramp: each entry red,
// green, blue. FALSE when its memory cannot be had.
BOOL AttachPalette(SendScope& scope, XLATEOBJ* xlate, DWORD entries, bool grey, ImageDescription* image) {
  if (!entries || !xlate || grey) return TRUE;
  BYTE* palette = scope.Memory(entries * 3);
  if (!palette) return FALSE;
  for (DWORD i = 0; i < entries; ++i) {
    const DWORD rgb = ColorXlateEntry(xlate, i);
    palette[3 * i] = static_cast<BYTE>(rgb >> 16);
    palette[3 * i + 1] = static_cast<BYTE>(rgb >> 8);
    palette[3 * i + 2] = static_cast<BYTE>(rgb);
  }
  image->palette = palette;
  image->paletteBytes = entries * 3;
  return TRUE;
}

// The palette, the host colour-management mark, then the image writer and, when it fails, the
// row-by-row writer.
BOOL Send(RenderPdev* pdev, SendScope& scope, XLATEOBJ* xlate, DWORD entries, bool grey, ImageDescription image) {
  if (!AttachPalette(scope, xlate, entries, grey, &image)) return FALSE;
  if (xlate && (xlate->flXlate & XO_HOST_ICM)) image.format |= kImageHostIcm;
  // StrmEmitImage, then StrmEmitImageRows; the rows' padding is zero, not whatever a temporary holds.
  const RecordSettings settings = PdevRecordSettings(pdev);
  return StrmEmitImageAs(&pdev->stream, settings, image, ImageWriting{true, true, ImageReserve::kPieces, true}) ||
         StrmEmitImageAs(&pdev->stream, settings, image, ImageWriting{false, false, ImageReserve::kRows, true});
}

// The mask of a masked blit, sent as a 1-bit image without palette under ROP 0xEE: white where
// the mask is set.
BOOL SendMask(RenderPdev* pdev, SendScope& scope, SURFOBJ* mask, const POINTL* maskPoint, LONG x, LONG y, LONG w,
              LONG h) {
  SURFOBJ* copy = scope.Temporary(w, h, BMF_1BPP);
  if (!copy) return FALSE;
  RECTL whole{0, 0, w, h};
  POINTL from = maskPoint ? *maskPoint : POINTL{0, 0};
  if (!EngBitBlt(copy, mask, nullptr, nullptr, nullptr, &whole, &from, nullptr, nullptr, nullptr, 0xCCCC)) return FALSE;
  if (!StrmEmitRopIfChanged(&pdev->stream, &pdev->cache, 0xEE)) return FALSE;
  const BOOL sent = Send(pdev, scope, nullptr, 0, true, Describe(kImageFromBlit, x, y, w, h, copy, 0, 0));
  scope.Release(copy);
  return sent;
}

// The rows of the strip form: source rows of the source rectangle taken as they are sent,
// 32-bit ones converted one at a time, every second row and pixel when halved, and mirrored
// where the target is.
class StripRows : public ImageRowSource {
 public:
  struct Setup {
    RenderPdev* pdev;
    SURFOBJ* source;
    XLATEOBJ* xlate;
    COLORADJUSTMENT* adjustment;
    POINTL* halftoneOrigin;
    RECTL sourceRect;
    DWORD sourceBytes;  // per source pixel
    DWORD sentBytes;    // per sent pixel
    DWORD width;        // pixels sent per row
    DWORD rows;
    bool halved, mirrorX, mirrorY;
  };
  StripRows(const Setup& setup, SendScope& scope) : s_(setup), scope_(scope) {}

  const BYTE* Row(DWORD row) override {
    const DWORD k = s_.mirrorY ? s_.rows - 1 - row : row;
    const LONG sourceRow = s_.sourceRect.top + static_cast<LONG>(s_.halved ? 2 * k : k);
    const BYTE* pixels = nullptr;
    if (s_.sourceBytes == 4) {
      if (!converted_ && !MakeConverter()) return nullptr;
      RECTL to{0, 0, converted_->sizlBitmap.cx, 1};
      RECTL from{s_.sourceRect.left, sourceRow, s_.sourceRect.right, sourceRow + 1};
      if (!EngStretchBlt(converted_, s_.source, nullptr, nullptr, s_.xlate, s_.adjustment, s_.halftoneOrigin, &to,
                         &from, nullptr, COLORONCOLOR)) {
        return nullptr;
      }
      pixels = static_cast<const BYTE*>(converted_->pvScan0);
    } else {
      pixels = static_cast<const BYTE*>(s_.source->pvScan0) + static_cast<ptrdiff_t>(sourceRow) * s_.source->lDelta +
               static_cast<ptrdiff_t>(s_.sourceRect.left) * s_.sourceBytes;
    }
    if (!s_.halved && !s_.mirrorX) return pixels;
    if (!line_ && !(line_ = scope_.Memory(SIZE_T{s_.width} * s_.sentBytes))) return nullptr;
    const DWORD step = s_.halved ? 2 : 1;
    for (DWORD i = 0; i < s_.width; ++i) {
      const DWORD j = s_.mirrorX ? s_.width - 1 - i : i;
      std::copy_n(pixels + SIZE_T{j} * step * s_.sentBytes, s_.sentBytes, line_ + SIZE_T{i} * s_.sentBytes);
    }
    return line_;
  }

 private:
  bool MakeConverter() {
    converted_ = scope_.Temporary(s_.sourceRect.right - s_.sourceRect.left, 1, BMF_24BPP);
    return converted_ != nullptr;
  }
  Setup s_;
  SendScope& scope_;
  SURFOBJ* converted_ = nullptr;
  BYTE* line_ = nullptr;
};

}  // namespace

BOOL ImgEmitBlt(RenderPdev* pdev, XLATEOBJ* xlate, SURFOBJ* source, const RECTL* target, const POINTL* sourcePoint,
                SURFOBJ* mask, const POINTL* maskPoint, DWORD rop4) {
  if (!pdev || !IsBitmap(source) || !sourcePoint || !target) return FALSE;
  const SourceFormat* format = FormatOf(source);
  if (!format) return FALSE;
  const LONG x = std::min(target->left, target->right), y = std::min(target->top, target->bottom);
  const LONG w = Magnitude(target->left, target->right), h = Magnitude(target->top, target->bottom);
  if (w == 0 || h == 0) return TRUE;
  const bool masked = (rop4 & 0xFFFF) == 0xAACC && mask;
  const bool copy =
      format->converted || source->sizlBitmap.cx != w || source->sizlBitmap.cy != h || masked;
  const bool grey = IsGreyRamp(xlate, format->paletteEntries);
  const DWORD imageFormat = format->imageFormat | kImageFromBlit;
  SendScope scope(pdev);
  if (!copy) {
    return Send(pdev, scope, xlate, format->paletteEntries, grey,
                Describe(imageFormat, x, y, w, h, source, sourcePoint->x, sourcePoint->y));
  }
  SURFOBJ* image = scope.Temporary(w, h, SentBitmapFormat(*format));
  if (!image) return FALSE;
  RECTL whole{0, 0, w, h};
  POINTL from = *sourcePoint;
  XLATEOBJ* conversion = format->converted ? xlate : nullptr;
  if (masked) {
    if (!SendMask(pdev, scope, mask, maskPoint, x, y, w, h)) return FALSE;
    if (!StrmEmitRopIfChanged(&pdev->stream, &pdev->cache, 0x88)) return FALSE;
    POINTL maskFrom = maskPoint ? *maskPoint : POINTL{0, 0};
    if (!EngEraseSurface(image, &whole, 0xFFFFFF) ||
        !EngBitBlt(image, source, mask, nullptr, conversion, &whole, &from, &maskFrom, nullptr, nullptr, 0xAACC)) {
      return FALSE;
    }
  } else if (!EngBitBlt(image, source, nullptr, nullptr, conversion, &whole, &from, nullptr, nullptr, nullptr,
                        0xCCCC)) {
    return FALSE;
  }
  return Send(pdev, scope, xlate, format->paletteEntries, grey, Describe(imageFormat, x, y, w, h, image, 0, 0));
}

BOOL ImgEmitSubRect24(RenderPdev* pdev, SURFOBJ* source, const POINTL* sourcePoint, const RECTL* target) {
  if (!pdev || !IsBitmap(source) || source->iBitmapFormat != BMF_24BPP || !sourcePoint || !target) return FALSE;
  const LONG x = std::min(target->left, target->right), y = std::min(target->top, target->bottom);
  const LONG w = Magnitude(target->left, target->right), h = Magnitude(target->top, target->bottom);
  if (sourcePoint->x < 0 || sourcePoint->y < 0 || int64_t{sourcePoint->x} + w > source->sizlBitmap.cx ||
      int64_t{sourcePoint->y} + h > source->sizlBitmap.cy) {
    return FALSE;
  }
  ImageDescription image{};
  image.format = 4;
  image.x = x;
  image.y = y;
  image.cx = w;
  image.cy = h;
  image.width = static_cast<DWORD>(w);
  image.rows = static_cast<DWORD>(h);
  image.bits = static_cast<const BYTE*>(source->pvScan0) +
               static_cast<ptrdiff_t>(sourcePoint->y) * source->lDelta + static_cast<ptrdiff_t>(sourcePoint->x) * 3;
  image.stride = source->lDelta;
  return StrmEmitImageAs(&pdev->stream, PdevRecordSettings(pdev), image,
                         ImageWriting{false, false, ImageReserve::kWhole, true});
}

BOOL ImgEmitBand(RenderPdev* pdev, XLATEOBJ* xlate, SURFOBJ* source, const POINTL* sourcePoint, const RECTL* target) {
  if (!pdev || !IsBitmap(source) || !sourcePoint || !target) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const SourceFormat* format = FormatOf(source);
  if (!format) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  const LONG x = std::min(target->left, target->right), y = std::min(target->top, target->bottom);
  const LONG w = Magnitude(target->left, target->right), h = Magnitude(target->top, target->bottom);
  if (w == 0 || h == 0) return TRUE;
  // A bitmap of the target's size is sent from its own memory; a part of a larger one is cut
  // out (a 24-bit one straight into the record).
  bool copy = format->converted || sourcePoint->x != 0 || sourcePoint->y != 0;
  if (source->sizlBitmap.cx != w || source->sizlBitmap.cy != h) {
    if (source->iBitmapFormat == BMF_24BPP && ImgEmitSubRect24(pdev, source, sourcePoint, target)) return TRUE;
    copy = true;
  }
  const bool grey = IsGreyRamp(xlate, format->paletteEntries);
  SendScope scope(pdev);
  const SURFOBJ* rows = source;
  if (copy) {
    SURFOBJ* image = scope.Temporary(w, h, SentBitmapFormat(*format));
    if (!image) return FALSE;
    RECTL whole{0, 0, w, h};
    POINTL from = *sourcePoint;
    if (!EngCopyBits(image, source, nullptr, format->converted ? xlate : nullptr, &whole, &from)) return FALSE;
    rows = image;
  }
  return Send(pdev, scope, xlate, format->paletteEntries, grey, Describe(format->imageFormat, x, y, w, h, rows, 0, 0));
}

BOOL ImgEmitStretched(RenderPdev* pdev, XLATEOBJ* xlate, SURFOBJ* source, COLORADJUSTMENT* adjustment,
                      POINTL* halftoneOrigin, const RECTL* target, const RECTL* sourceRect) {
  if (!pdev || !IsBitmap(source) || !target || !sourceRect) return FALSE;
  const SourceFormat* format = FormatOf(source);
  if (!format) return FALSE;
  const LONG cx = source->sizlBitmap.cx, cy = source->sizlBitmap.cy;
  const RECTL src{std::clamp<LONG>(sourceRect->left, 0, cx), std::clamp<LONG>(sourceRect->top, 0, cy),
                  std::clamp<LONG>(sourceRect->right, 0, cx), std::clamp<LONG>(sourceRect->bottom, 0, cy)};
  const LONG x = std::min(target->left, target->right), y = std::min(target->top, target->bottom);
  const int64_t dw = int64_t{target->right} - target->left, dh = int64_t{target->bottom} - target->top;
  const LONG w = Magnitude(target->left, target->right), h = Magnitude(target->top, target->bottom);
  LONG sw = src.right - src.left, sh = src.bottom - src.top;
  if (w == 0 || h == 0 || sw <= 0 || sh <= 0) return TRUE;
  bool copy = format->converted || sw != cx || sh != cy || dw < 0 || dh < 0;
  const bool grey = IsGreyRamp(xlate, format->paletteEntries);
  const bool deep = source->iBitmapFormat == BMF_24BPP || source->iBitmapFormat == BMF_32BPP;
  // A directly printed page sends a large deep image at the size it is printed at.
  if (pdev->settings.directPage && pdev->cache.ropValid && pdev->cache.rop == 0xCC && deep && (w < sw || h < sh)) {
    sw = w;
    sh = h;
    copy = true;
  }
  DWORD imageFormat = format->imageFormat;
  SendScope scope(pdev);
  if (!copy) {
    ImageDescription image = Describe(imageFormat, x, y, w, h, source, src.left, src.top);
    return Send(pdev, scope, xlate, format->paletteEntries, grey, image);
  }
  SURFOBJ* image = scope.Temporary(sw, sh, SentBitmapFormat(*format));
  if (!image) {
    if (deep || source->iBitmapFormat == BMF_8BPP) {
      return ImgEmitStretchedStrips(pdev, xlate, source, adjustment, halftoneOrigin, target, &src, grey);
    }
    for (LONG i = 2; i <= 5 && !image; ++i) {
      if (sw / i == 0 || sh / i == 0) return FALSE;
      image = scope.Temporary(sw / i, sh / i, SentBitmapFormat(*format));
    }
    if (!image) return FALSE;
    imageFormat |= kImageReduced;
  }
  RECTL to{0, 0, image->sizlBitmap.cx, image->sizlBitmap.cy};
  if (dw < 0) std::swap(to.left, to.right);
  if (dh < 0) std::swap(to.top, to.bottom);
  RECTL from = src;
  if (!EngStretchBlt(image, source, nullptr, nullptr, format->converted ? xlate : nullptr, adjustment, halftoneOrigin,
                     &to, &from, nullptr, COLORONCOLOR)) {
    return FALSE;
  }
  return Send(pdev, scope, xlate, format->paletteEntries, grey, Describe(imageFormat, x, y, w, h, image, 0, 0));
}

BOOL ImgEmitStretchedStrips(RenderPdev* pdev, XLATEOBJ* xlate, SURFOBJ* source, COLORADJUSTMENT* adjustment,
                            POINTL* halftoneOrigin, const RECTL* target, const RECTL* sourceRect, BOOL grey) {
  if (!pdev || !IsBitmap(source) || !target || !sourceRect) return FALSE;
  StripRows::Setup setup{pdev, source, xlate, adjustment, halftoneOrigin, *sourceRect, 0, 0, 0, 0, false, false, false};
  DWORD pixelFormat = 4, paletteEntries = 0;
  switch (source->iBitmapFormat) {
    case BMF_24BPP: setup.sourceBytes = setup.sentBytes = 3; break;
    case BMF_32BPP: setup.sourceBytes = 4, setup.sentBytes = 3; break;
    case BMF_8BPP:
      setup.sourceBytes = setup.sentBytes = 1;
      pixelFormat = 2;
      paletteEntries = 256;
      break;
    default: return FALSE;
  }
  const LONG sw = sourceRect->right - sourceRect->left, sh = sourceRect->bottom - sourceRect->top;
  const LONG x = std::min(target->left, target->right), y = std::min(target->top, target->bottom);
  const LONG w = Magnitude(target->left, target->right), h = Magnitude(target->top, target->bottom);
  if (sw <= 0 || sh <= 0 || sourceRect->left < 0 || sourceRect->top < 0 || sourceRect->right > source->sizlBitmap.cx ||
      sourceRect->bottom > source->sizlBitmap.cy) {
    return FALSE;
  }
  setup.halved = setup.sourceBytes == 4 &&
                 ((w < sw && h < sh) || uint64_t{static_cast<ULONG>(sw)} * static_cast<ULONG>(sh) * 3 > kStripHalvingBytes);
  setup.width = static_cast<DWORD>(setup.halved ? sw / 2 : sw);
  setup.rows = static_cast<DWORD>(setup.halved ? sh / 2 : sh);
  if (setup.width == 0 || setup.rows == 0) return FALSE;
  setup.mirrorX = target->right < target->left;
  setup.mirrorY = target->bottom < target->top;

  SendScope scope(pdev);
  StripRows rows(setup, scope);
  ImageDescription image{};
  image.format = pixelFormat | (setup.halved ? kImageReduced : 0);
  image.x = x;
  image.y = y;
  image.cx = w;
  image.cy = h;
  image.width = setup.width;
  image.rows = setup.rows;
  image.rowSource = &rows;
  if (!AttachPalette(scope, xlate, paletteEntries, grey, &image)) return FALSE;
  if (xlate && (xlate->flXlate & XO_HOST_ICM)) image.format |= kImageHostIcm;
  return StrmEmitImageAs(&pdev->stream, PdevRecordSettings(pdev), image,
                         ImageWriting{false, false, ImageReserve::kRows, true});
}
