// The GDI types that the graphics engine's interface shares with applications: colours,
// palettes, logical fonts, mixes and raster operations, stretch modes, hatch styles, colour
// adjustment and logical colour spaces.
#pragma once

#include "core/wintypes.h"

VELM_DECLARE_HANDLE(HBITMAP);
VELM_DECLARE_HANDLE(HPALETTE);
VELM_DECLARE_HANDLE(HBRUSH);
VELM_DECLARE_HANDLE(HFONT);
VELM_DECLARE_HANDLE(HRGN);

// 0x00BBGGRR: red in the low byte.
using COLORREF = DWORD;
constexpr COLORREF RGB(BYTE red, BYTE green, BYTE blue) {
  return static_cast<COLORREF>(red) | (static_cast<COLORREF>(green) << 8) | (static_cast<COLORREF>(blue) << 16);
}
constexpr BYTE GetRValue(COLORREF color) { return static_cast<BYTE>(color); }
constexpr BYTE GetGValue(COLORREF color) { return static_cast<BYTE>(color >> 8); }
constexpr BYTE GetBValue(COLORREF color) { return static_cast<BYTE>(color >> 16); }

// One palette entry; as a ULONG it reads 0x00BBGGRR.
struct PALETTEENTRY {
  BYTE peRed;
  BYTE peGreen;
  BYTE peBlue;
  BYTE peFlags;
};
static_assert(sizeof(PALETTEENTRY) == 4);

constexpr LONG LF_FACESIZE = 32;
struct LOGFONTW {
  LONG lfHeight;
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  WCHAR lfFaceName[LF_FACESIZE];
};
using PLOGFONTW = LOGFONTW*;
static_assert(sizeof(LOGFONTW) == 92);
static_assert(offsetof(LOGFONTW, lfFaceName) == 28);

constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_BOLD = 700;
constexpr BYTE ANSI_CHARSET = 0;
constexpr BYTE SHIFTJIS_CHARSET = 128;
constexpr BYTE HANGUL_CHARSET = 129;
constexpr BYTE JOHAB_CHARSET = 130;
constexpr BYTE GB2312_CHARSET = 134;
constexpr BYTE CHINESEBIG5_CHARSET = 136;
constexpr BYTE HEBREW_CHARSET = 177;
constexpr BYTE FIXED_PITCH = 1;
constexpr BYTE VARIABLE_PITCH = 2;
constexpr BYTE FF_ROMAN = 0x10;
constexpr BYTE FF_MODERN = 0x30;

// Binary raster operations (mixes): the pen P against the destination D.
constexpr ULONG R2_BLACK = 1;         // 0
constexpr ULONG R2_NOTMERGEPEN = 2;   // ~(P | D)
constexpr ULONG R2_MASKNOTPEN = 3;    // ~P & D
constexpr ULONG R2_NOTCOPYPEN = 4;    // ~P
constexpr ULONG R2_MASKPENNOT = 5;    // P & ~D
constexpr ULONG R2_NOT = 6;           // ~D
constexpr ULONG R2_XORPEN = 7;        // P ^ D
constexpr ULONG R2_NOTMASKPEN = 8;    // ~(P & D)
constexpr ULONG R2_MASKPEN = 9;       // P & D
constexpr ULONG R2_NOTXORPEN = 10;    // ~(P ^ D)
constexpr ULONG R2_NOP = 11;          // D
constexpr ULONG R2_MERGENOTPEN = 12;  // ~P | D
constexpr ULONG R2_COPYPEN = 13;      // P
constexpr ULONG R2_MERGEPENNOT = 14;  // P | ~D
constexpr ULONG R2_MERGEPEN = 15;     // P | D
constexpr ULONG R2_WHITE = 16;        // 1

// Ternary raster operations as GDI passes them to applications (ROP3 in bits 16..23).
constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr DWORD SRCPAINT = 0x00EE0086;
constexpr DWORD SRCAND = 0x008800C6;
constexpr DWORD SRCINVERT = 0x00660046;
constexpr DWORD SRCERASE = 0x00440328;
constexpr DWORD NOTSRCCOPY = 0x00330008;
constexpr DWORD NOTSRCERASE = 0x001100A6;
constexpr DWORD MERGECOPY = 0x00C000CA;
constexpr DWORD MERGEPAINT = 0x00BB0226;
constexpr DWORD PATCOPY = 0x00F00021;
constexpr DWORD PATPAINT = 0x00FB0A09;
constexpr DWORD PATINVERT = 0x005A0049;
constexpr DWORD DSTINVERT = 0x00550009;
constexpr DWORD BLACKNESS = 0x00000042;
constexpr DWORD WHITENESS = 0x00FF0062;

// Stretching modes.
constexpr ULONG BLACKONWHITE = 1;
constexpr ULONG WHITEONBLACK = 2;
constexpr ULONG COLORONCOLOR = 3;
constexpr ULONG HALFTONE = 4;

// Hatch styles.
constexpr ULONG HS_HORIZONTAL = 0;
constexpr ULONG HS_VERTICAL = 1;
constexpr ULONG HS_FDIAGONAL = 2;
constexpr ULONG HS_BDIAGONAL = 3;
constexpr ULONG HS_CROSS = 4;
constexpr ULONG HS_DIAGCROSS = 5;
constexpr ULONG HS_DDI_MAX = 6;

// Colour adjustment of halftoning; the engine passes it through unread.
struct COLORADJUSTMENT {
  WORD caSize;
  WORD caFlags;
  WORD caIlluminantIndex;
  WORD caRedGamma;
  WORD caGreenGamma;
  WORD caBlueGamma;
  WORD caReferenceBlack;
  WORD caReferenceWhite;
  SHORT caContrast;
  SHORT caBrightness;
  SHORT caColorfulness;
  SHORT caRedGreenTint;
};
using PCOLORADJUSTMENT = COLORADJUSTMENT*;
static_assert(sizeof(COLORADJUSTMENT) == 24);

using FXPT2DOT30 = LONG;
struct CIEXYZ {
  FXPT2DOT30 ciexyzX;
  FXPT2DOT30 ciexyzY;
  FXPT2DOT30 ciexyzZ;
};
struct CIEXYZTRIPLE {
  CIEXYZ ciexyzRed;
  CIEXYZ ciexyzGreen;
  CIEXYZ ciexyzBlue;
};
struct LOGCOLORSPACEW {
  DWORD lcsSignature;
  DWORD lcsVersion;
  DWORD lcsSize;
  LONG lcsCSType;
  LONG lcsIntent;
  CIEXYZTRIPLE lcsEndpoints;
  DWORD lcsGammaRed;
  DWORD lcsGammaGreen;
  DWORD lcsGammaBlue;
  WCHAR lcsFilename[MAX_PATH];
};
using LPLOGCOLORSPACEW = LOGCOLORSPACEW*;
static_assert(sizeof(LOGCOLORSPACEW) == 588);

// Escapes of ExtEscape/DrvEscape that printer drivers answer.
constexpr ULONG QUERYESCSUPPORT = 8;
constexpr ULONG SETCOPYCOUNT = 17;
constexpr ULONG PASSTHROUGH = 19;
constexpr ULONG GETTECHNOLOGY = 20;
constexpr ULONG GETDEVICEUNITS = 42;
