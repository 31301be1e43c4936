// Types and constants of the graphics driver interface: fixed-point geometry, the device
// description a driver answers (GDIINFO, DEVINFO), its hook table (DRVENABLEDATA, the INDEX_Drv
// numbers, HOOK_ bits), font metrics (IFIMETRICS, FD_DEVICEMETRICS, GLYPHDATA) and line
// attributes. Layouts follow the interface where drivers size or offset into them; the few
// pointer fields no driver of this system reads are kept 32-bit so GDIINFO stays 304 bytes.
#pragma once

#include <cstddef>

#include "core/wintypes.h"
#include "eng/gdi_types.h"

using FLONG = ULONG;
using FIX = LONG;  // 28.4 fixed point
using FLOATL = float;
using LDECI4 = LONG;
using HGLYPH = ULONG;
using FWORD = SHORT;
using PTRDIFF = LONG;  // byte offset inside the structure that holds it
using ROP4 = ULONG;
using MIX = ULONG;  // foreground R2_ code in bits 0..7, background in bits 8..15
using PFLONG = FLONG*;
using PULONG = ULONG*;
using PUSHORT = USHORT*;
using PCHAR = CHAR*;

VELM_DECLARE_HANDLE(HSURF);
VELM_DECLARE_HANDLE(DHSURF);
VELM_DECLARE_HANDLE(DHPDEV);
VELM_DECLARE_HANDLE(HDEV);

constexpr HGLYPH HGLYPH_INVALID = 0xFFFFFFFF;
constexpr ULONG DDI_ERROR = 0xFFFFFFFF;

struct POINTFIX {
  FIX x;
  FIX y;
};
using PPOINTFIX = POINTFIX*;
struct RECTFX {
  FIX xLeft;
  FIX yTop;
  FIX xRight;
  FIX yBottom;
};
using PRECTFX = RECTFX*;
struct POINTE {
  FLOATL x;
  FLOATL y;
};
// 28.36 fixed point: the high part holds the 28.4 value.
struct POINTQF {
  LARGE_INTEGER x;
  LARGE_INTEGER y;
};
union FLOAT_LONG {
  FLOATL e;
  LONG l;
};
using PFLOAT_LONG = FLOAT_LONG*;
struct XFORML {
  FLOATL eM11;
  FLOATL eM12;
  FLOATL eM21;
  FLOATL eM22;
  FLOATL eDx;
  FLOATL eDy;
};
using PXFORML = XFORML*;
struct FD_XFORM {
  FLOATL eXX;
  FLOATL eXY;
  FLOATL eYX;
  FLOATL eYY;
};

constexpr FIX LTOFX(LONG value) { return static_cast<FIX>(static_cast<uint32_t>(value) << 4); }
constexpr LONG FXTOL(FIX value) { return value >> 4; }
constexpr LONG FXTOLROUND(FIX value) { return (value + 8) >> 4; }

// Line attributes (pens).
constexpr FLONG LA_GEOMETRIC = 0x1;
constexpr FLONG LA_ALTERNATE = 0x2;
constexpr FLONG LA_STARTGAP = 0x4;
constexpr FLONG LA_STYLED = 0x8;
constexpr ULONG JOIN_ROUND = 0;
constexpr ULONG JOIN_BEVEL = 1;
constexpr ULONG JOIN_MITER = 2;
constexpr ULONG ENDCAP_ROUND = 0;
constexpr ULONG ENDCAP_SQUARE = 1;
constexpr ULONG ENDCAP_BUTT = 2;
struct LINEATTRS {
  FLONG fl;
  ULONG iJoin;
  ULONG iEndCap;
  FLOAT_LONG elWidth;  // LA_GEOMETRIC: width in world units (e); cosmetic: pixels (l)
  FLOATL eMiterLimit;
  ULONG cstyle;
  PFLOAT_LONG pstyle;
  FLOAT_LONG elStyleState;
};
using PLINEATTRS = LINEATTRS*;

// Device colour description.
struct CIECHROMA {
  LDECI4 x;
  LDECI4 y;
  LDECI4 Y;
};
struct COLORINFO {
  CIECHROMA Red;
  CIECHROMA Green;
  CIECHROMA Blue;
  CIECHROMA Cyan;
  CIECHROMA Magenta;
  CIECHROMA Yellow;
  CIECHROMA AlignmentWhite;
  LDECI4 RedGamma;
  LDECI4 GreenGamma;
  LDECI4 BlueGamma;
  LDECI4 MagentaInCyanDye;
  LDECI4 YellowInCyanDye;
  LDECI4 CyanInMagentaDye;
  LDECI4 YellowInMagentaDye;
  LDECI4 CyanInYellowDye;
  LDECI4 MagentaInYellowDye;
};
static_assert(sizeof(COLORINFO) == 120);

constexpr ULONG GDI_DRIVER_VERSION = 0x4000;
constexpr ULONG DT_RASPRINTER = 2;
constexpr ULONG PRIMARY_ORDER_CBA = 4;
constexpr ULONG HT_FLAG_HAS_BLACK_DYE = 0x2;
constexpr ULONG HT_FORMAT_1BPP = 0;
constexpr ULONG HT_FORMAT_4BPP = 2;
constexpr ULONG HT_FORMAT_4BPP_IRGB = 3;
constexpr ULONG HT_FORMAT_8BPP = 4;
constexpr ULONG HT_FORMAT_16BPP = 5;
constexpr ULONG HT_FORMAT_24BPP = 6;
constexpr ULONG HT_FORMAT_32BPP = 7;
constexpr ULONG HT_PATSIZE_2x2 = 0;
constexpr ULONG HT_PATSIZE_4x4 = 2;
constexpr ULONG HT_PATSIZE_6x6 = 4;
constexpr ULONG HT_PATSIZE_8x8 = 6;
constexpr ULONG HT_PATSIZE_16x16 = 14;
constexpr ULONG HT_PATSIZE_MAX_INDEX = 18;

// What a driver tells the engine about its device at DrvEnablePDEV. 304 bytes.
struct GDIINFO {
  ULONG ulVersion;
  ULONG ulTechnology;
  ULONG ulHorzSize;
  ULONG ulVertSize;
  ULONG ulHorzRes;
  ULONG ulVertRes;
  ULONG cBitsPixel;
  ULONG cPlanes;
  ULONG ulNumColors;
  ULONG flRaster;
  ULONG ulLogPixelsX;
  ULONG ulLogPixelsY;
  ULONG flTextCaps;
  ULONG ulDACRed;
  ULONG ulDACGreen;
  ULONG ulDACBlue;
  ULONG ulAspectX;
  ULONG ulAspectY;
  ULONG ulAspectXY;
  LONG xStyleStep;
  LONG yStyleStep;
  LONG denStyleStep;
  POINTL ptlPhysOffset;
  SIZEL szlPhysSize;
  ULONG ulNumPalReg;
  COLORINFO ciDevice;
  ULONG ulDevicePelsDPI;
  ULONG ulPrimaryOrder;
  ULONG ulHTPatternSize;
  ULONG ulHTOutputFormat;
  ULONG flHTFlags;
  ULONG ulVRefresh;
  ULONG ulBltAlignment;
  ULONG ulPanningHorzRes;
  ULONG ulPanningVertRes;
  ULONG xPanningAlignment;
  ULONG yPanningAlignment;
  ULONG cxHTPat;
  ULONG cyHTPat;
  ULONG pHTPatA;  // user halftone patterns: not supported by this engine, kept 32-bit
  ULONG pHTPatB;
  ULONG pHTPatC;
  ULONG flShadeBlend;
  ULONG ulPhysicalPixelCharacteristics;
  ULONG ulPhysicalPixelGamma;
};
using PGDIINFO = GDIINFO*;
static_assert(sizeof(GDIINFO) == 304);
static_assert(offsetof(GDIINFO, ptlPhysOffset) == 88);
static_assert(offsetof(GDIINFO, ciDevice) == 108);
static_assert(offsetof(GDIINFO, ulHTPatternSize) == 236);

// Graphics capabilities (DEVINFO flGraphicsCaps).
constexpr FLONG GCAPS_BEZIERS = 0x00000001;
constexpr FLONG GCAPS_GEOMETRICWIDE = 0x00000002;
constexpr FLONG GCAPS_ALTERNATEFILL = 0x00000004;
constexpr FLONG GCAPS_WINDINGFILL = 0x00000008;
constexpr FLONG GCAPS_HALFTONE = 0x00000010;
constexpr FLONG GCAPS_COLOR_DITHER = 0x00000020;
constexpr FLONG GCAPS_HORIZSTRIKE = 0x00000040;
constexpr FLONG GCAPS_VERTSTRIKE = 0x00000080;
constexpr FLONG GCAPS_OPAQUERECT = 0x00000100;
constexpr FLONG GCAPS_VECTORFONT = 0x00000200;
constexpr FLONG GCAPS_MONO_DITHER = 0x00000400;
constexpr FLONG GCAPS_DONTJOURNAL = 0x00002000;
constexpr FLONG GCAPS_ARBRUSHOPAQUE = 0x00008000;
constexpr FLONG GCAPS_HIGHRESTEXT = 0x00040000;
constexpr FLONG GCAPS_PALMANAGED = 0x00080000;
constexpr FLONG GCAPS_DITHERONREALIZE = 0x00200000;
constexpr FLONG GCAPS_FORCEDITHER = 0x00800000;
constexpr FLONG GCAPS_GRAY16 = 0x01000000;
constexpr FLONG GCAPS_ICM = 0x02000000;
constexpr FLONG GCAPS_CMYKCOLOR = 0x04000000;

// Bitmap formats (iBitmapFormat, iDitherFormat).
constexpr ULONG BMF_1BPP = 1;
constexpr ULONG BMF_4BPP = 2;
constexpr ULONG BMF_8BPP = 3;
constexpr ULONG BMF_16BPP = 4;
constexpr ULONG BMF_24BPP = 5;
constexpr ULONG BMF_32BPP = 6;
constexpr ULONG BMF_4RLE = 7;
constexpr ULONG BMF_8RLE = 8;
constexpr ULONG BMF_JPEG = 9;
constexpr ULONG BMF_PNG = 10;
// Bitmap flags (EngCreateBitmap fl, SURFOBJ fjBitmap).
constexpr ULONG BMF_TOPDOWN = 0x0001;
constexpr ULONG BMF_NOZEROINIT = 0x0002;
constexpr ULONG BMF_DONTCACHE = 0x0004;
constexpr ULONG BMF_USERMEM = 0x0008;

// Palette modes.
constexpr ULONG PAL_INDEXED = 0x01;
constexpr ULONG PAL_BITFIELDS = 0x02;
constexpr ULONG PAL_RGB = 0x04;  // 0x00BBGGRR
constexpr ULONG PAL_BGR = 0x08;  // 0x00RRGGBB
constexpr ULONG PAL_CMYK = 0x10;

// What a driver tells the engine about its drawing at DrvEnablePDEV.
struct DEVINFO {
  FLONG flGraphicsCaps;
  LOGFONTW lfDefaultFont;
  LOGFONTW lfAnsiVarFont;
  LOGFONTW lfAnsiFixFont;
  ULONG cFonts;
  ULONG iDitherFormat;
  USHORT cxDither;
  USHORT cyDither;
  HPALETTE hpalDefault;
  FLONG flGraphicsCaps2;
};
using PDEVINFO = DEVINFO*;
static_assert(offsetof(DEVINFO, cFonts) == 280);
static_assert(offsetof(DEVINFO, hpalDefault) == 296);

// The driver's hook table.
using PFN = LONG_PTR (*)();
struct DRVFN {
  ULONG iFunc;
  PFN pfn;
};
using PDRVFN = DRVFN*;
struct DRVENABLEDATA {
  ULONG iDriverVersion;
  ULONG c;
  DRVFN* pdrvfn;
};
using PDRVENABLEDATA = DRVENABLEDATA*;
static_assert(sizeof(DRVENABLEDATA) == 16);

constexpr ULONG DDI_DRIVER_VERSION_NT4 = 0x00020000;
constexpr ULONG DDI_DRIVER_VERSION_SP3 = 0x00020003;
constexpr ULONG DDI_DRIVER_VERSION_NT5 = 0x00030000;
constexpr ULONG DDI_DRIVER_VERSION_NT5_01 = 0x00030100;
constexpr DWORD DRVQUERY_USERMODE = 1;
constexpr FLONG ED_ABORTDOC = 1;

// Hook indices (DRVFN iFunc).
constexpr ULONG INDEX_DrvEnablePDEV = 0;
constexpr ULONG INDEX_DrvCompletePDEV = 1;
constexpr ULONG INDEX_DrvDisablePDEV = 2;
constexpr ULONG INDEX_DrvEnableSurface = 3;
constexpr ULONG INDEX_DrvDisableSurface = 4;
constexpr ULONG INDEX_DrvResetPDEV = 7;
constexpr ULONG INDEX_DrvDisableDriver = 8;
constexpr ULONG INDEX_DrvRealizeBrush = 12;
constexpr ULONG INDEX_DrvDitherColor = 13;
constexpr ULONG INDEX_DrvStrokePath = 14;
constexpr ULONG INDEX_DrvFillPath = 15;
constexpr ULONG INDEX_DrvStrokeAndFillPath = 16;
constexpr ULONG INDEX_DrvPaint = 17;
constexpr ULONG INDEX_DrvBitBlt = 18;
constexpr ULONG INDEX_DrvCopyBits = 19;
constexpr ULONG INDEX_DrvStretchBlt = 20;
constexpr ULONG INDEX_DrvTextOut = 23;
constexpr ULONG INDEX_DrvEscape = 24;
constexpr ULONG INDEX_DrvDrawEscape = 25;
constexpr ULONG INDEX_DrvQueryFont = 26;
constexpr ULONG INDEX_DrvQueryFontTree = 27;
constexpr ULONG INDEX_DrvQueryFontData = 28;
constexpr ULONG INDEX_DrvLineTo = 31;
constexpr ULONG INDEX_DrvSendPage = 32;
constexpr ULONG INDEX_DrvStartPage = 33;
constexpr ULONG INDEX_DrvEndDoc = 34;
constexpr ULONG INDEX_DrvStartDoc = 35;
constexpr ULONG INDEX_DrvGetGlyphMode = 37;
constexpr ULONG INDEX_DrvFree = 42;
constexpr ULONG INDEX_DrvDestroyFont = 43;
constexpr ULONG INDEX_DrvQueryAdvanceWidths = 53;
constexpr ULONG INDEX_DrvStartBanding = 57;
constexpr ULONG INDEX_DrvNextBand = 58;
constexpr ULONG INDEX_DrvQuerySpoolType = 62;
constexpr ULONG INDEX_DrvIcmCreateColorTransform = 64;
constexpr ULONG INDEX_DrvIcmDeleteColorTransform = 65;
constexpr ULONG INDEX_DrvGradientFill = 68;
constexpr ULONG INDEX_DrvStretchBltROP = 69;
constexpr ULONG INDEX_DrvPlgBlt = 70;
constexpr ULONG INDEX_DrvAlphaBlend = 71;
constexpr ULONG INDEX_DrvTransparentBlt = 74;
constexpr ULONG INDEX_LAST = 96;  // the engine keeps hooks below this index

// Drawing calls a surface hooks (EngAssociateSurface flHooks).
constexpr FLONG HOOK_BITBLT = 0x00000001;
constexpr FLONG HOOK_STRETCHBLT = 0x00000002;
constexpr FLONG HOOK_PLGBLT = 0x00000004;
constexpr FLONG HOOK_TEXTOUT = 0x00000008;
constexpr FLONG HOOK_PAINT = 0x00000010;
constexpr FLONG HOOK_STROKEPATH = 0x00000020;
constexpr FLONG HOOK_FILLPATH = 0x00000040;
constexpr FLONG HOOK_STROKEANDFILLPATH = 0x00000080;
constexpr FLONG HOOK_LINETO = 0x00000100;
constexpr FLONG HOOK_COPYBITS = 0x00000400;
constexpr FLONG HOOK_STRETCHBLTROP = 0x00002000;
constexpr FLONG HOOK_TRANSPARENTBLT = 0x00008000;
constexpr FLONG HOOK_ALPHABLEND = 0x00010000;
constexpr FLONG HOOK_GRADIENTFILL = 0x00020000;

// DrvDitherColor answers.
constexpr ULONG DCR_SOLID = 0;
constexpr ULONG DCR_DRIVER = 1;
constexpr ULONG DCR_HALFTONE = 2;

// Font queries.
constexpr ULONG QFD_GLYPHANDBITMAP = 1;
constexpr ULONG QFD_GLYPHANDOUTLINE = 2;
constexpr ULONG QFD_MAXEXTENTS = 3;
constexpr ULONG QFT_LIGATURES = 1;
constexpr ULONG QFT_KERNPAIRS = 2;
constexpr ULONG QFT_GLYPHSET = 3;
constexpr ULONG QAW_GETWIDTHS = 0;
constexpr ULONG QAW_GETEASYWIDTHS = 1;

// IFIMETRICS flInfo.
constexpr FLONG FM_INFO_TECH_TRUETYPE = 0x00000001;
constexpr FLONG FM_INFO_TECH_BITMAP = 0x00000002;
constexpr FLONG FM_INFO_TECH_STROKE = 0x00000004;
constexpr FLONG FM_INFO_TECH_OUTLINE_NOT_TRUETYPE = 0x00000008;
constexpr FLONG FM_INFO_ARB_XFORMS = 0x00000010;
constexpr FLONG FM_INFO_1BPP = 0x00000020;
constexpr FLONG FM_INFO_INTEGER_WIDTH = 0x00000800;
constexpr FLONG FM_INFO_CONSTANT_WIDTH = 0x00001000;
constexpr FLONG FM_INFO_RETURNS_OUTLINES = 0x00008000;
constexpr FLONG FM_INFO_RETURNS_BITMAPS = 0x00020000;
constexpr FLONG FM_INFO_RIGHT_HANDED = 0x00080000;
constexpr FLONG FM_INFO_INTEGRAL_SCALING = 0x00100000;
constexpr FLONG FM_INFO_DBCS_FIXED_PITCH = 0x10000000;

struct PANOSE {
  BYTE bFamilyType;
  BYTE bSerifStyle;
  BYTE bWeight;
  BYTE bProportion;
  BYTE bContrast;
  BYTE bStrokeVariation;
  BYTE bArmStyle;
  BYTE bLetterform;
  BYTE bMidline;
  BYTE bXHeight;
};

// A font's metrics in its notional units (y up). The dpwsz fields are byte offsets from the
// start of the structure to NUL-terminated UTF-16 names that follow it.
struct IFIMETRICS {
  ULONG cjThis;
  ULONG cjIfiExtra;
  PTRDIFF dpwszFamilyName;
  PTRDIFF dpwszStyleName;
  PTRDIFF dpwszFaceName;
  PTRDIFF dpwszUniqueName;
  PTRDIFF dpFontSim;
  LONG lEmbedId;
  LONG lItalicAngle;
  LONG lCharBias;
  PTRDIFF dpCharSets;
  BYTE jWinCharSet;
  BYTE jWinPitchAndFamily;
  USHORT usWinWeight;
  FLONG flInfo;
  USHORT fsSelection;
  USHORT fsType;
  FWORD fwdUnitsPerEm;
  FWORD fwdLowestPPEm;
  FWORD fwdWinAscender;
  FWORD fwdWinDescender;
  FWORD fwdMacAscender;
  FWORD fwdMacDescender;
  FWORD fwdMacLineGap;
  FWORD fwdTypoAscender;
  FWORD fwdTypoDescender;
  FWORD fwdTypoLineGap;
  FWORD fwdAveCharWidth;
  FWORD fwdMaxCharInc;
  FWORD fwdCapHeight;
  FWORD fwdXHeight;
  FWORD fwdSubscriptXSize;
  FWORD fwdSubscriptYSize;
  FWORD fwdSubscriptXOffset;
  FWORD fwdSubscriptYOffset;
  FWORD fwdSuperscriptXSize;
  FWORD fwdSuperscriptYSize;
  FWORD fwdSuperscriptXOffset;
  FWORD fwdSuperscriptYOffset;
  FWORD fwdUnderscoreSize;
  FWORD fwdUnderscorePosition;
  FWORD fwdStrikeoutSize;
  FWORD fwdStrikeoutPosition;
  BYTE chFirstChar;
  BYTE chLastChar;
  BYTE chDefaultChar;
  BYTE chBreakChar;
  WCHAR wcFirstChar;
  WCHAR wcLastChar;
  WCHAR wcDefaultChar;
  WCHAR wcBreakChar;
  POINTL ptlBaseline;
  POINTL ptlAspect;
  POINTL ptlCaret;
  RECTL rclFontBox;
  BYTE achVendId[4];
  ULONG cKerningPairs;
  ULONG ulPanoseCulture;
  PANOSE panose;
};
using PIFIMETRICS = IFIMETRICS*;
static_assert(offsetof(IFIMETRICS, flInfo) == 48);
static_assert(offsetof(IFIMETRICS, fwdUnitsPerEm) == 56);
static_assert(offsetof(IFIMETRICS, fwdUnderscoreSize) == 100);
static_assert(offsetof(IFIMETRICS, rclFontBox) == 144);
static_assert(sizeof(IFIMETRICS) == 184);

// DrvQueryFontData QFD_MAXEXTENTS answer. 124 bytes.
struct FD_DEVICEMETRICS {
  FLONG flRealizedType;
  POINTE pteBase;
  POINTE pteSide;
  LONG lD;
  FIX fxMaxAscender;
  FIX fxMaxDescender;
  POINTL ptlUnderline1;
  POINTL ptlStrikeout;
  POINTL ptlULThickness;
  POINTL ptlSOThickness;
  ULONG cxMax;
  ULONG cyMax;
  ULONG cjGlyphMax;
  FD_XFORM fdxQuantized;
  LONG lNonLinearExtLeading;
  LONG lNonLinearIntLeading;
  LONG lNonLinearMaxCharWidth;
  LONG lNonLinearAvgCharWidth;
  LONG lMinA;
  LONG lMinC;
  LONG lMinD;
  LONG alReserved[1];
};
static_assert(sizeof(FD_DEVICEMETRICS) == 124);

struct FD_KERNINGPAIR {
  WCHAR wcFirst;
  WCHAR wcSecond;
  FWORD fwdKern;
};
struct WCRUN {
  WCHAR wcLow;
  USHORT cGlyphs;
  HGLYPH* phg;  // null: the handles are the character codes
};
struct FD_GLYPHSET {
  ULONG cjThis;
  FLONG flAccel;
  ULONG cGlyphsSupported;
  ULONG cRuns;
  WCRUN awcrun[1];
};

struct PATHOBJ;
// A glyph's 1-bit image: rows of (cx + 7) / 8 bytes, most significant bit leftmost, top row
// first; ptlOrigin places its top-left corner relative to the glyph's baseline origin.
struct GLYPHBITS {
  POINTL ptlOrigin;
  SIZEL sizlBitmap;
  BYTE aj[1];
};
union GLYPHDEF {
  GLYPHBITS* pgb;
  PATHOBJ* ppo;
};
struct GLYPHPOS {
  HGLYPH hg;
  GLYPHDEF* pgdf;
  POINTL ptl;  // baseline origin in device pixels
};
using PGLYPHPOS = GLYPHPOS*;
struct GLYPHDATA {
  GLYPHDEF gdf;
  HGLYPH hg;
  FIX fxD;  // advance
  FIX fxA;
  FIX fxAB;
  FIX fxInkTop;
  FIX fxInkBottom;
  RECTL rclInk;
  POINTQF ptqD;
};

struct ENG_TIME_FIELDS {
  USHORT usYear;
  USHORT usMonth;
  USHORT usDay;
  USHORT usHour;
  USHORT usMinute;
  USHORT usSecond;
  USHORT usMilliseconds;
  USHORT usWeekday;  // 0 = Sunday
};
using PENG_TIME_FIELDS = ENG_TIME_FIELDS*;
