// Vector-mode paths: the pen the line-attribute records carry, derived from GDI's line
// attributes and transform, and the three path hooks (DrvStrokePath, DrvFillPath,
// DrvStrokeAndFillPath, declared in drawing_hooks.h), which set the drawing state through the
// graphics-state cache and write each path as one path record. A path the device cannot take is
// answered FALSE, so that GDI breaks it into simpler calls.
#pragma once

#include "gr2k/graphics_state_cache.h"
#include "win32.h"

// The transform's pen scale in 1/256: -1 for the identity (no scaling), else the mean of the
// absolute diagonal factors, (|eM11 * 256| + |eM22 * 256|) / 2. A null transform is the identity.
LONG XformPenScale(XFORMOBJ* xform);

// The pen of `lineAttrs` at `resolution` dpi under `xform` into *pen; *geometric tells whether
// the pen is geometric. FALSE when the device cannot draw it: a geometric pen under a transform
// of scale 0, a styled pen wider than one pixel, or a geometric style whose unit exceeds 255.
//   width     geometric: the float width's integer part (an integer-encoded width as itself), at
//             least 1, times the scale / 256 (at least 1, at most 0xFFFF); cosmetic: 1
//   caps      geometric only: square 2, butt 1, round 0; joins: bevel 1, miter 2, round 0
//   miter     geometric or styled: the limit clamped to 1..0x7FFF, in 1/256; else 10.0
//   style     dash-gap elements (cosmetic: times resolution / 50 pixels; geometric: pixels,
//             scaled as the width), LA_STARTGAP's first element the start offset, zero elements
//             the next one's length; spread over the 32 mask bits (bit 31 first)
BOOL PenFromLineAttrs(DWORD resolution, const LINEATTRS* lineAttrs, XFORMOBJ* xform, LineAttrs* pen,
                      BOOL* geometric);
