// Text in vector mode: the font selection (0x50 for resident fonts, 0x56 for downloaded ones)
// and the glyph records of the three paths: resident glyphs (0x52 runs, 0x51 per glyph),
// outlines (0x51 kind 1) and downloaded bitmaps (0x54 then 0x55 placed, or 0x53/0x57 each).
#pragma once

#include "win32.h"

struct RenderPdev;

// Descriptor kinds, which the 0x50 record carries in byte 1.
enum : BYTE { kFontKindResident = 2, kFontKindOutline = 4, kFontKindDownload = 5 };

// The text call of DrvTextOut once the PDEV is known to draw in vector mode.
BOOL TxtTextOut(RenderPdev* pdev, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra, RECTL* prclOpaque,
                BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, MIX mix);

// The 0x50/0x56 style flags of a descriptor kind: resident 0x0008; outline 0x0200 and 0x2000;
// download 0x2000.
WORD TxtKindStyle(BYTE kind);
