// The Velm records of the page stream: one writer per record. Each reserves the record whole
// from the command stream, fills every byte of its layout (reserved bytes and padding 0), and
// returns the record or null when the reservation fails. Multi-byte fields are little-endian;
// every record length is a multiple of 4. Paths are in path_record.h, images in image_record.h,
// the state caches in graphics_state_cache.h.
//
// Fields the drawing hooks fill whose meaning the device defines (the font-select bytes, the
// glyph-record positions) are named here once; the job decoder uses the same names:
//   0x50  1 kind, 2 pitchFamily, 3 charSet, 6 weight, 20 cellHeight, 22 leading
//   0x56  1 pitchFamily, 2 charSet (as 0x50 bytes 2 and 3; the kind is the opcode's)
//   0x53/0x57  24 x, 28 y (moved by the ascent), 36 originX, 40 originY, 44 width, 48 height,
//              60 code, 62 bitmapKind
//   0x54  12 width, 16 height, 24 code, 26 bitmapKind
//   0x55  24 x, 28 y (the first glyph); entries {i16 dx, i16 dy, u16 code}
#pragma once

#include "gr2k/command_stream.h"

enum : BYTE {
  kRecRect = 0x10,
  kRecPathCurves = 0x11,
  kRecPathLines = 0x12,
  kRecImage = 0x20,
  kRecColor = 0x30,
  kRecRop = 0x31,
  kRecColorAttr = 0x32,
  kRecLineWidth = 0x33,
  kRecLineStyleOffset = 0x34,
  kRecLineEnd = 0x35,
  kRecLineJoin = 0x36,
  kRecClipOff = 0x37,
  kRecPattern = 0x40,
  kRecFontSelect = 0x50,
  kRecText = 0x51,
  kRecGlyphRun = 0x52,
  kRecGlyphCached = 0x53,
  kRecFontData = 0x54,
  kRecPositionedGlyphs = 0x55,
  kRecDownloadFontSelect = 0x56,
  kRecGlyphUncached = 0x57,
  kRecPageStart = 0x60,
  kRecPageEnd = 0x61,
};

// Rectangle kinds of 0x10.
constexpr BYTE kRectFill = 1;
constexpr BYTE kRectClip = 5;
constexpr BYTE kRectKind6 = 6;

// The settings the records depend on, read once by the device state.
struct RecordSettings {
  DWORD colorMode;    // item 184; 2 marks colour records with 0x40
  BOOL rasterMode;    // item 183; image records carry the raster bit
  DWORD printType;    // item 222; 5 and 7 reserve an image whole
  BOOL apiUse;        // item 247; reserves an image whole
  BOOL machineColor;  // item 246 is set
  DWORD colorChoice;  // item 15; 1 sends 24-bit images as grey
};

// The colour of a drawing call. Colours are 0x00BBGGRR by the time they reach a record
// (ColorSwapDescriptor), so that the record carries red first.
struct ColorDescriptor {
  DWORD mix;        // the mix, or 11 for blits with a source
  DWORD kind;       // 1 one colour, 2 two colours; also the colour attribute
  DWORD color1;
  DWORD color2;
  DWORD color3;     // the third colour (a stroke colour), when hasThird
  BOOL hasThird;
  DWORD colorMode;  // 4 for blits with a source, 0 otherwise
  BOOL hostIcm;     // the brush is colour-managed by the host ("marked")
};

// Exchanges bits 0-7 and 16-23: 0x00RRGGBB <-> 0x00BBGGRR.
constexpr DWORD ColorSwapRB(DWORD color) {
  return (color & 0xFF00FF00u) | ((color & 0xFF) << 16) | ((color >> 16) & 0xFF);
}
// Turns the descriptor's colours to record order; a third colour of 0 stays 0.
void ColorSwapDescriptor(ColorDescriptor* color);

// A brush as the pattern record needs it.
struct PatternDescriptor {
  DWORD kind;          // 0 solid colour, 2 one-bit tile, 3 24-bit tile
  DWORD bitsPerPixel;  // 1 or 24
  DWORD tileSize;      // edge in pixels
  BOOL hostIcm;
  const BYTE* tile;    // tileSize rows, top row first: size*size/8 or size*size*3 bytes
};

struct FontSelect {
  BYTE kind;  // 0x50 only
  BYTE pitchFamily;
  BYTE charSet;
  WORD style;
  WORD weight;
  WORD height;
  WORD width;
  WORD rotation;  // degrees, 0 to 359
  WORD cellHeight;
  WORD leading;
};

struct GlyphDownload {
  BYTE flags;
  RECTL box;
  LONG x;  // moved back by the ascent
  LONG y;
  LONG originX;
  LONG originY;
  DWORD width;
  DWORD height;
  WORD code;
  BYTE bitmapKind;  // 0 copied, 2 compressed
};

struct FontData {
  BYTE flags;
  DWORD width;
  DWORD height;
  WORD code;
  BYTE bitmapKind;
};

struct PositionedGlyph {
  SHORT dx;
  SHORT dy;
  WORD code;
};

// The device ROP of a mix value m (the foreground R2_ code): 0 and anything above 16 give 0xCC.
BYTE MixToDeviceRop(ULONG m);

// 0x10: kinds 5 and 6 carry one rectangle (24 bytes); every other kind two, both `rect`.
BYTE* StrmEmitRect(CommandStream* stream, BYTE kind, const RECTL& rect);
// 0x30, 8, 12 or 16 bytes: RGB1, RGB2 for kind 2, RGB3 with a third colour.
BYTE* StrmEmitColor(CommandStream* stream, const RecordSettings& settings, const ColorDescriptor& color);
// 0x31: the ROP's low byte; 0xF0 is written as 0xCC.
BYTE* StrmEmitRop(CommandStream* stream, DWORD rop);
BYTE* StrmEmitColorAttr(CommandStream* stream, BYTE value);
BYTE* StrmEmitLineA(CommandStream* stream, BYTE styleUnit, WORD width, DWORD styleMask);
BYTE* StrmEmitLineB(CommandStream* stream, BYTE styleOffset);
BYTE* StrmEmitLineEnd(CommandStream* stream, BYTE endCap);
BYTE* StrmEmitLineJoin(CommandStream* stream, BYTE join, DWORD miterLimit);
BYTE* StrmEmitClipOff(CommandStream* stream);
// 0x40; a solid brush carries no tile. Sizes other than 16, 32 and 64 are sent with size byte 0;
// null for a tile whose byte count does not fit the u16 count.
BYTE* StrmEmitPattern(CommandStream* stream, const PatternDescriptor& brush);
// 0x50 and 0x56 with `count` UTF-16 units of face name (at most 1024).
BYTE* StrmEmitFontSelect(CommandStream* stream, const FontSelect& font, const WCHAR* face, DWORD count);
BYTE* StrmEmitDownloadFontSelect(CommandStream* stream, const FontSelect& font, const WCHAR* face, DWORD count);
// 0x51: one glyph at a position.
BYTE* StrmEmitTextPos(CommandStream* stream, const RECTL& rect, LONG x, LONG y, WORD code);
// 0x51 kind 1: a glyph outline, `n` bytes of path body (PathWriteBody) relative to the box.
BYTE* StrmEmitTextRun(CommandStream* stream, const RECTL& box, DWORD code, const BYTE* outline, DWORD n);
// 0x52: `count` codes with one step, or as many steps as codes.
BYTE* StrmEmitGlyphs(CommandStream* stream, const RECTL& rect, LONG x, LONG y, const WORD* steps,
                     DWORD stepCount, const WORD* codes, DWORD count);
// 0x53 when the glyph cache is in use, else 0x57; no bitmap (n 0) gives data offset 0.
BYTE* StrmEmitGlyphDownload(CommandStream* stream, BOOL cached, const GlyphDownload& glyph, const BYTE* bitmap,
                            DWORD n);
// 0x54; null also for empty data.
BYTE* StrmEmitFontData(CommandStream* stream, const FontData& font, const BYTE* data, DWORD n);
// 0x55: glyphs placed by steps from the first one at (x, y).
BYTE* StrmEmitPositionedGlyphs(CommandStream* stream, BYTE flags, const RECTL& rect, LONG x, LONG y,
                               const PositionedGlyph* glyphs, DWORD count);
BYTE* StrmEmitPageStart(CommandStream* stream, DWORD width, DWORD height, WORD xResolution, WORD yResolution);
BYTE* StrmEmitPageEnd(CommandStream* stream);
