// Senders of bitmaps as image records (0x20): what the raster hooks and the band walk hand to
// the image record writer. A source that already has the size and format the record carries is
// sent from its own memory; any other is first copied (converted, cut, stretched, mirrored or
// masked) into a temporary bitmap. A palette of the translation's entries goes with 1-, 4- and
// 8-bit rows unless the entries are the plain grey ramp. Temporaries and palettes are freed on
// every way out.
#pragma once

#include "win32.h"

struct RenderPdev;

// Image format values besides the pixel format (image_record.h).
constexpr DWORD kImageFromBlit = 0x80;
constexpr DWORD kImageHostIcm = 0x800;
constexpr DWORD kImageReduced = 0x20000;

// DrvBitBlt's image: `source` at `sourcePoint` into `target`. ROP4 0xAACC with a mask first
// sends the mask (ROP 0xEE) and then the image whitened outside it (ROP 0x88).
BOOL ImgEmitBlt(RenderPdev* pdev, XLATEOBJ* xlate, SURFOBJ* source, const RECTL* target, const POINTL* sourcePoint,
                SURFOBJ* mask, const POINTL* maskPoint, DWORD rop4);
// DrvCopyBits' image and the raster band: `source` at `sourcePoint` into `target` (its smaller
// corner and its size).
BOOL ImgEmitBand(RenderPdev* pdev, XLATEOBJ* xlate, SURFOBJ* source, const POINTL* sourcePoint, const RECTL* target);
// A 24-bit bitmap's part at `sourcePoint` of the target's size as one record reserved whole,
// without grey conversion. FALSE, with nothing written, when the bitmap does not hold that part
// or the record cannot be reserved.
BOOL ImgEmitSubRect24(RenderPdev* pdev, SURFOBJ* source, const POINTL* sourcePoint, const RECTL* target);
// DrvStretchBlt's image: `sourceRect` (clamped to the bitmap) stretched onto `target`, mirrored
// where the target's edges are exchanged. Large 24- and 32-bit sources are reduced to the target's
// size on a directly printed page under ROP 0xCC; when memory for the copy is short, the image
// goes in strips or at a half to a fifth of its size.
BOOL ImgEmitStretched(RenderPdev* pdev, XLATEOBJ* xlate, SURFOBJ* source, COLORADJUSTMENT* adjustment,
                      POINTL* halftoneOrigin, const RECTL* target, const RECTL* sourceRect);
// The 8-, 24- and 32-bit source rectangle sent row by row without a whole copy; 32-bit rows are
// converted one at a time and halved when the target is smaller both ways or the image exceeds
// 0xA00000 bytes. FALSE for other formats.
BOOL ImgEmitStretchedStrips(RenderPdev* pdev, XLATEOBJ* xlate, SURFOBJ* source, COLORADJUSTMENT* adjustment,
                            POINTL* halftoneOrigin, const RECTL* target, const RECTL* sourceRect, BOOL grey);
