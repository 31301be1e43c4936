#include "gr2k/velm_records.h"

#include <cstring>

#include "settings/items/settings_record.h"

namespace {

constexpr DWORD Round4(DWORD n) { return (n + 3) & ~3u; }

constexpr DWORD kMaxFaceUnits = 1024;
constexpr DWORD kMaxGlyphs = 0x10000;  // a u16 count field

// A zeroed record of n bytes with its opcode.
BYTE* Reserve(CommandStream* stream, BYTE op, DWORD n) {
  BYTE* record = StrmReserve(stream, n);
  if (!record) return nullptr;
  std::memset(record, 0, n);
  record[0] = op;
  return record;
}

void StoreRect(BYTE* record, size_t offset, const RECTL& rect) {
  DmStoreU32(record, offset, static_cast<DWORD>(rect.left));
  DmStoreU32(record, offset + 4, static_cast<DWORD>(rect.top));
  DmStoreU32(record, offset + 8, static_cast<DWORD>(rect.right));
  DmStoreU32(record, offset + 12, static_cast<DWORD>(rect.bottom));
}

void StoreRgb(BYTE* record, size_t offset, DWORD color) {
  record[offset] = static_cast<BYTE>(color);
  record[offset + 1] = static_cast<BYTE>(color >> 8);
  record[offset + 2] = static_cast<BYTE>(color >> 16);
}

BYTE* FixedRecord(CommandStream* stream, BYTE op, BYTE value) {
  BYTE* record = Reserve(stream, op, 4);
  if (record) record[1] = value;
  return record;
}

// Bytes 4 to 23 of the font-select records (the record length at 14 included).
void StoreFontFields(BYTE* record, const FontSelect& font, DWORD length) {
  DmStoreU16(record, 4, font.style);
  DmStoreU16(record, 6, font.weight);
  DmStoreU16(record, 8, font.height);
  DmStoreU16(record, 10, font.width);
  DmStoreU16(record, 12, font.rotation);
  DmStoreU16(record, 14, static_cast<WORD>(length));
  DmStoreU16(record, 20, font.cellHeight);
  DmStoreU16(record, 22, font.leading);
}

BYTE* FontSelectRecord(CommandStream* stream, BYTE op, DWORD faceOffset, const WCHAR* face, DWORD count) {
  if ((!face && count) || count > kMaxFaceUnits) return nullptr;
  const DWORD length = Round4(faceOffset + 2 * count + 2);
  BYTE* record = Reserve(stream, op, length);
  if (!record) return nullptr;
  for (DWORD i = 0; i < count; ++i) DmStoreU16(record, faceOffset + 2 * i, static_cast<WORD>(face[i]));
  return record;
}

}  // namespace

void ColorSwapDescriptor(ColorDescriptor* color) {
  color->color1 = ColorSwapRB(color->color1);
  color->color2 = ColorSwapRB(color->color2);
  if (color->color3 != 0) color->color3 = ColorSwapRB(color->color3);
}

BYTE MixToDeviceRop(ULONG m) {
  // The ROP2-to-ROP3 mapping with the source in place of the pen, except that its two ends are
  // exchanged: mix 1 gives 0xFF and mix 16 gives 0x00. The device takes them this way.
  if (m == 1) return 0xFF;
  if (m >= 2 && m <= 15) return static_cast<BYTE>((m - 1) * 0x11);
  if (m == 16) return 0x00;
  return 0xCC;
}

BYTE* StrmEmitRect(CommandStream* stream, BYTE kind, const RECTL& rect) {
  const bool single = kind == kRectClip || kind == kRectKind6;
  const DWORD length = single ? 24 : 40;
  BYTE* record = Reserve(stream, kRecRect, length);
  if (!record) return nullptr;
  record[2] = kind;
  DmStoreU32(record, 4, length);
  StoreRect(record, 8, rect);
  if (!single) StoreRect(record, 24, rect);
  return record;
}

BYTE* StrmEmitColor(CommandStream* stream, const RecordSettings& settings, const ColorDescriptor& color) {
  const bool second = color.kind == 2;
  BYTE flags = 0x01;
  if (second) flags |= 0x08;
  if (color.hasThird) flags |= 0x10;
  if (settings.colorMode == 2) flags |= 0x40;
  if (color.hostIcm) flags |= 0x80;
  const DWORD rgbBytes = 3 + (second ? 3 : 0) + (color.hasThird ? 3 : 0);
  const DWORD length = (rgbBytes + 7) & ~3u;
  BYTE* record = Reserve(stream, kRecColor, length);
  if (!record) return nullptr;
  record[1] = static_cast<BYTE>(length);
  record[2] = flags;
  size_t at = 4;
  StoreRgb(record, at, color.color1);
  at += 3;
  if (second) {
    StoreRgb(record, at, color.color2);
    at += 3;
  }
  if (color.hasThird) StoreRgb(record, at, color.color3);
  return record;
}

BYTE* StrmEmitRop(CommandStream* stream, DWORD rop) {
  const BYTE device = static_cast<BYTE>(rop);
  return FixedRecord(stream, kRecRop, device == 0xF0 ? 0xCC : device);
}

BYTE* StrmEmitColorAttr(CommandStream* stream, BYTE value) { return FixedRecord(stream, kRecColorAttr, value); }

BYTE* StrmEmitLineA(CommandStream* stream, BYTE styleUnit, WORD width, DWORD styleMask) {
  BYTE* record = Reserve(stream, kRecLineWidth, 8);
  if (!record) return nullptr;
  record[1] = styleUnit;
  DmStoreU16(record, 2, width);
  DmStoreU32(record, 4, styleMask);
  return record;
}

BYTE* StrmEmitLineB(CommandStream* stream, BYTE styleOffset) {
  return FixedRecord(stream, kRecLineStyleOffset, styleOffset);
}

BYTE* StrmEmitLineEnd(CommandStream* stream, BYTE endCap) { return FixedRecord(stream, kRecLineEnd, endCap); }

BYTE* StrmEmitLineJoin(CommandStream* stream, BYTE join, DWORD miterLimit) {
  BYTE* record = Reserve(stream, kRecLineJoin, 8);
  if (!record) return nullptr;
  record[1] = join;
  DmStoreU32(record, 4, miterLimit);
  return record;
}

BYTE* StrmEmitClipOff(CommandStream* stream) { return FixedRecord(stream, kRecClipOff, 0); }

BYTE* StrmEmitPattern(CommandStream* stream, const PatternDescriptor& brush) {
  const bool pattern = brush.kind != 0;
  const bool wide = pattern && brush.bitsPerPixel == 24;
  const DWORD size = brush.tileSize;
  const bool namedSize = size == 16 || size == 32 || size == 64;
  DWORD tileBytes = 0;
  if (pattern) {
    if (!brush.tile || size == 0 || size > 0xFFFF) return nullptr;
    const ULONGLONG bytes = wide ? ULONGLONG{size} * size * 3 : ULONGLONG{size} * size / 8;
    if (bytes > 0xFFFF) return nullptr;  // the count is a u16
    tileBytes = static_cast<DWORD>(bytes);
  }
  BYTE* record = Reserve(stream, kRecPattern, (tileBytes + 9) & ~3u);
  if (!record) return nullptr;
  BYTE flags = 0;
  if (wide) flags |= 0x01;
  if (brush.hostIcm) flags |= 0x40;
  if (pattern) flags |= 0x80;
  record[1] = flags;
  record[2] = pattern && namedSize ? static_cast<BYTE>(size) : 0;
  record[3] = 1;
  DmStoreU16(record, 4, static_cast<WORD>(tileBytes));
  if (tileBytes) std::memcpy(record + 6, brush.tile, tileBytes);
  return record;
}

BYTE* StrmEmitFontSelect(CommandStream* stream, const FontSelect& font, const WCHAR* face, DWORD count) {
  BYTE* record = FontSelectRecord(stream, kRecFontSelect, 24, face, count);
  if (!record) return nullptr;
  record[1] = font.kind;
  record[2] = font.pitchFamily;
  record[3] = font.charSet;
  StoreFontFields(record, font, Round4(24 + 2 * count + 2));
  return record;
}

BYTE* StrmEmitDownloadFontSelect(CommandStream* stream, const FontSelect& font, const WCHAR* face, DWORD count) {
  BYTE* record = FontSelectRecord(stream, kRecDownloadFontSelect, 32, face, count);
  if (!record) return nullptr;
  record[1] = font.pitchFamily;
  record[2] = font.charSet;
  StoreFontFields(record, font, Round4(32 + 2 * count + 2));
  return record;
}

BYTE* StrmEmitTextPos(CommandStream* stream, const RECTL& rect, LONG x, LONG y, WORD code) {
  BYTE* record = Reserve(stream, kRecText, 36);
  if (!record) return nullptr;
  DmStoreU32(record, 4, 36);
  StoreRect(record, 8, rect);
  DmStoreU32(record, 24, static_cast<DWORD>(x));
  DmStoreU32(record, 28, static_cast<DWORD>(y));
  DmStoreU16(record, 32, code);
  return record;
}

BYTE* StrmEmitTextRun(CommandStream* stream, const RECTL& box, DWORD code, const BYTE* outline, DWORD n) {
  if ((!outline && n) || n > kStreamMaxReserve - 39) return nullptr;
  const DWORD length = (n + 39) & ~3u;
  BYTE* record = Reserve(stream, kRecText, length);
  if (!record) return nullptr;
  record[2] = 1;
  DmStoreU32(record, 4, length);
  StoreRect(record, 8, box);
  DmStoreU32(record, 24, static_cast<DWORD>(box.left));
  DmStoreU32(record, 28, static_cast<DWORD>(box.top));
  DmStoreU32(record, 32, code);
  if (n) std::memcpy(record + 36, outline, n);
  return record;
}

BYTE* StrmEmitGlyphs(CommandStream* stream, const RECTL& rect, LONG x, LONG y, const WORD* steps,
                     DWORD stepCount, const WORD* codes, DWORD count) {
  if (count == 0 || count >= kMaxGlyphs || !codes || !steps || (stepCount != 1 && stepCount != count)) return nullptr;
  const DWORD length = 36 + ((2 * stepCount + 2 * count + 3) & ~3u);
  BYTE* record = Reserve(stream, kRecGlyphRun, length);
  if (!record) return nullptr;
  record[2] = stepCount == count ? 0x80 : 0;
  DmStoreU32(record, 4, length);
  StoreRect(record, 8, rect);
  DmStoreU32(record, 24, static_cast<DWORD>(x));
  DmStoreU32(record, 28, static_cast<DWORD>(y));
  DmStoreU16(record, 32, static_cast<WORD>(count));
  size_t at = 36;
  for (DWORD i = 0; i < stepCount; ++i, at += 2) DmStoreU16(record, at, steps[i]);
  for (DWORD i = 0; i < count; ++i, at += 2) DmStoreU16(record, at, codes[i]);
  return record;
}

BYTE* StrmEmitGlyphDownload(CommandStream* stream, BOOL cached, const GlyphDownload& glyph, const BYTE* bitmap,
                            DWORD n) {
  if ((!bitmap && n) || n > kStreamMaxReserve - 67) return nullptr;
  const DWORD length = (n + 67) & ~3u;
  BYTE* record = Reserve(stream, cached ? kRecGlyphCached : kRecGlyphUncached, length);
  if (!record) return nullptr;
  record[2] = glyph.flags;
  DmStoreU32(record, 4, length);
  StoreRect(record, 8, glyph.box);
  DmStoreU32(record, 24, static_cast<DWORD>(glyph.x));
  DmStoreU32(record, 28, static_cast<DWORD>(glyph.y));
  DmStoreU32(record, 32, n ? 64 : 0);
  DmStoreU32(record, 36, static_cast<DWORD>(glyph.originX));
  DmStoreU32(record, 40, static_cast<DWORD>(glyph.originY));
  DmStoreU32(record, 44, glyph.width);
  DmStoreU32(record, 48, glyph.height);
  DmStoreU32(record, 52, n);
  DmStoreU16(record, 60, glyph.code);
  record[62] = glyph.bitmapKind;
  if (n) std::memcpy(record + 64, bitmap, n);
  return record;
}

BYTE* StrmEmitFontData(CommandStream* stream, const FontData& font, const BYTE* data, DWORD n) {
  if (!data || n == 0 || n > kStreamMaxReserve - 31) return nullptr;
  const DWORD length = (n + 31) & ~3u;
  BYTE* record = Reserve(stream, kRecFontData, length);
  if (!record) return nullptr;
  record[2] = font.flags;
  DmStoreU32(record, 4, length);
  DmStoreU32(record, 8, n);
  DmStoreU32(record, 12, font.width);
  DmStoreU32(record, 16, font.height);
  DmStoreU16(record, 24, font.code);
  record[26] = font.bitmapKind;
  std::memcpy(record + 28, data, n);
  return record;
}

BYTE* StrmEmitPositionedGlyphs(CommandStream* stream, BYTE flags, const RECTL& rect, LONG x, LONG y,
                               const PositionedGlyph* glyphs, DWORD count) {
  if ((!glyphs && count) || count >= kMaxGlyphs) return nullptr;
  const DWORD length = 36 + ((6 * count + 3) & ~3u);
  BYTE* record = Reserve(stream, kRecPositionedGlyphs, length);
  if (!record) return nullptr;
  record[2] = flags;
  DmStoreU32(record, 4, length);
  StoreRect(record, 8, rect);
  DmStoreU32(record, 24, static_cast<DWORD>(x));
  DmStoreU32(record, 28, static_cast<DWORD>(y));
  DmStoreU32(record, 32, count);
  for (DWORD i = 0; i < count; ++i) {
    DmStoreU16(record, 36 + 6 * i, static_cast<WORD>(glyphs[i].dx));
    DmStoreU16(record, 38 + 6 * i, static_cast<WORD>(glyphs[i].dy));
    DmStoreU16(record, 40 + 6 * i, glyphs[i].code);
  }
  return record;
}

BYTE* StrmEmitPageStart(CommandStream* stream, DWORD width, DWORD height, WORD xResolution, WORD yResolution) {
  BYTE* record = Reserve(stream, kRecPageStart, 16);
  if (!record) return nullptr;
  DmStoreU32(record, 4, width);
  DmStoreU32(record, 8, height);
  DmStoreU16(record, 12, xResolution);
  DmStoreU16(record, 14, yResolution);
  return record;
}

BYTE* StrmEmitPageEnd(CommandStream* stream) { return FixedRecord(stream, kRecPageEnd, 0); }
