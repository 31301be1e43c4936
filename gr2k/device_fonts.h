// The device-font table: the printer's resident fonts that GDI may choose by name. Their
// metrics and glyph sets are the library's resources (data/device_fonts.txt), copied to the
// PDEV's allocation list.
#pragma once

#include "win32.h"

struct RenderPdev;

constexpr DWORD kDeviceFontCount = 4;

// The device faces by kind: 0 and 1 horizontal, 2 and 3 their vertical ("@") forms.
enum : BYTE { kFaceGothic = 0, kFaceMincho = 1, kFaceGothicVertical = 2, kFaceMinchoVertical = 3 };

// Resource types and identifiers of the device fonts.
constexpr WORD kFontMetricsResourceType = 258, kGlyphSetResourceType = 260;
constexpr WORD kHorizontalGlyphSetId = 2, kVerticalGlyphSetId = 3;
// The header every metrics resource begins with: 0 "VFNT", 4 u16 header bytes, 6 u16 version,
// 8 u32 resource bytes, 12 u32 IFIMETRICS offset, 16 u32 IFIMETRICS bytes, 20 u16 glyph set,
// 22 u16 code page, 24 the face name in that code page (32 bytes), 56..71 zero.
constexpr DWORD kFontHeaderBytes = 72;

struct DeviceFont {
  BYTE kind;
  IFIMETRICS* metrics;  // inside the copied resource, with its face name behind it
};

struct DevFontTable {
  DWORD count;
  HMODULE module;                       // whose resources the fonts came from
  BYTE headerTemplate[kFontHeaderBytes];  // the first metrics resource's header; the others match its format
  DeviceFont fonts[kDeviceFontCount];
  FD_GLYPHSET* glyphSets[2];  // loaded on first use: kinds 0 and 1 share the first, 2 and 3 the second
  FD_KERNINGPAIR noKerning;   // the empty kerning table: one zero pair
};

// Builds the PDEV's device-font table (pdev->fonts) from the library's resources and answers
// its font count, 0 when a resource is missing or damaged or memory runs out (GDI then offers
// no device font).
DWORD DevFontTableLoad(RenderPdev* pdev);
// Frees what DevFontTableLoad kept; nothing without a table.
void DevFontTableFree(RenderPdev* pdev);
// Device font `face` (1-based), or null.
const DeviceFont* DevFontAt(const RenderPdev* pdev, ULONG face);
// The glyph set of a kind, loaded on first use; null when it cannot be.
FD_GLYPHSET* DevFontGlyphSet(RenderPdev* pdev, BYTE kind);
// The kind of a face name: the index of the device face it equals, or -1.
int DevFontFaceIndex(const WCHAR* face);
// The face name of a font's metrics (empty when it has none).
const WCHAR* IfiFaceName(const IFIMETRICS* ifi);
// The advance of a glyph in font units: the narrow width for codes below 256, 0x8640 and
// 0x85xx, the wide width otherwise.
LONG DevFontGlyphWidth(const IFIMETRICS* ifi, HGLYPH code);
