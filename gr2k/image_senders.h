// Senders of bitmaps as image records (0x20): what the raster hooks and the band walk hand to
// the image record writer.
#pragma once

#include "win32.h"

struct RenderPdev;

// Sends `source` at `sourcePoint` into `target` (its smaller corner and its size) through the
// translation `xlate` (null: none). Built so far: a 1-, 4-, 8- or 24-bit source of exactly the
// target's size, sent as it is (a band); a palette of the translation's entries unless they are
// the plain grey ramp, and the host colour-management mark. A source of another size or format
// needs a converted copy, which comes with the raster hooks: FALSE with ERROR_NOT_SUPPORTED.
BOOL ImgEmitBand(RenderPdev* pdev, XLATEOBJ* xlate, SURFOBJ* source, const POINTL* sourcePoint, const RECTL* target);
