// The device-font table: the printer's resident fonts that GDI may choose by name (their
// metrics and glyph sets, kept on the PDEV's allocation list).
#pragma once

#include "win32.h"

struct RenderPdev;

constexpr DWORD kDeviceFontCount = 4;

// The device faces by kind: 0 and 1 horizontal, 2 and 3 their vertical ("@") forms.
enum : BYTE { kFaceGothic = 0, kFaceMincho = 1, kFaceGothicVertical = 2, kFaceMinchoVertical = 3 };

struct DeviceFont {
  BYTE kind;
  IFIMETRICS* metrics;  // with its face name behind it
};

struct DevFontTable {
  DWORD count;
  DeviceFont fonts[kDeviceFontCount];
  FD_GLYPHSET* glyphSets[2];  // made on first use: kinds 0 and 1 share the first, 2 and 3 the second
  FD_KERNINGPAIR noKerning;   // the empty kerning table: one zero pair
};

// Builds the PDEV's device-font table (pdev->fonts) and answers its font count, 0 when it
// cannot be built (GDI then offers no device font).
DWORD DevFontTableLoad(RenderPdev* pdev);
// Frees what DevFontTableLoad kept; nothing without a table.
void DevFontTableFree(RenderPdev* pdev);
// Device font `face` (1-based), or null.
const DeviceFont* DevFontAt(const RenderPdev* pdev, ULONG face);
// The glyph set of a kind, made on first use; null when it cannot be.
FD_GLYPHSET* DevFontGlyphSet(RenderPdev* pdev, BYTE kind);
// The kind of a face name: the index of the device face it equals, or -1.
int DevFontFaceIndex(const WCHAR* face);
// The face name of a font's metrics (empty when it has none).
const WCHAR* IfiFaceName(const IFIMETRICS* ifi);
// The advance of a glyph in font units: the narrow width for codes below 256, 0x8640 and
// 0x85xx, the wide width otherwise.
LONG DevFontGlyphWidth(const IFIMETRICS* ifi, HGLYPH code);
