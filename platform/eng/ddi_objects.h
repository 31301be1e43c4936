// The engine objects a graphics driver is handed (SURFOBJ, CLIPOBJ, PATHOBJ, XFORMOBJ,
// XLATEOBJ, BRUSHOBJ, FONTOBJ, STROBJ) and the functions that read them. The public part of
// each object is laid out as the interface lays it out; the engine keeps its own state behind
// it. Objects come from the engine (see engine_objects.h for how a host or a test makes them).
#pragma once

#include "core/wintypes.h"
#include "eng/ddi_types.h"

// Surface types.
constexpr USHORT STYPE_BITMAP = 0;
constexpr USHORT STYPE_DEVICE = 1;
constexpr USHORT STYPE_DEVBITMAP = 3;

struct SURFOBJ {
  DHSURF dhsurf;
  HSURF hsurf;
  DHPDEV dhpdev;
  HDEV hdev;
  SIZEL sizlBitmap;
  ULONG cjBits;
  PVOID pvBits;   // start of the bits in memory (the bottom row of a bottom-up bitmap)
  PVOID pvScan0;  // the top scan line
  LONG lDelta;    // bytes from one scan line to the next one down; negative when bottom-up
  ULONG iUniq;
  ULONG iBitmapFormat;
  USHORT iType;
  USHORT fjBitmap;
};
using PSURFOBJ = SURFOBJ*;

// Clipping.
constexpr BYTE DC_TRIVIAL = 0;
constexpr BYTE DC_RECT = 1;
constexpr BYTE DC_COMPLEX = 3;
constexpr BYTE FC_RECT = 1;
constexpr BYTE FC_RECT4 = 2;
constexpr BYTE FC_COMPLEX = 3;
constexpr BYTE TC_RECTANGLES = 0;
constexpr BYTE TC_PATHOBJ = 2;
constexpr BYTE OC_BANK_CLIP = 1;
constexpr ULONG CT_RECTANGLES = 0;
constexpr ULONG CD_RIGHTDOWN = 0;
constexpr ULONG CD_LEFTDOWN = 1;
constexpr ULONG CD_RIGHTUP = 2;
constexpr ULONG CD_LEFTUP = 3;
constexpr ULONG CD_ANY = 4;

struct CLIPOBJ {
  ULONG iUniq;  // the same region keeps its number
  RECTL rclBounds;
  BYTE iDComplexity;
  BYTE iFComplexity;
  BYTE iMode;
  BYTE fjOptions;
};
using PCLIPOBJ = CLIPOBJ*;
// What CLIPOBJ_bEnum fills: a count and that many rectangles (right and bottom exclusive).
struct ENUMRECTS {
  ULONG c;
  RECTL arcl[1];
};
static_assert(offsetof(ENUMRECTS, arcl) == 4);

// Paths. Points are 28.4 fixed point.
constexpr FLONG PO_BEZIERS = 0x01;
constexpr FLONG PO_ELLIPSE = 0x02;
constexpr FLONG PO_ALL_INTEGERS = 0x04;
constexpr FLONG PO_ENUM_AS_INTEGERS = 0x08;
constexpr FLONG PD_BEGINSUBPATH = 0x01;
constexpr FLONG PD_ENDSUBPATH = 0x02;
constexpr FLONG PD_RESETSTYLE = 0x04;
constexpr FLONG PD_CLOSEFIGURE = 0x08;
constexpr FLONG PD_BEZIERS = 0x10;

// cCurves counts the path's lines and Béziers and, for each figure, its starting point, so
// that 3 * cCurves bounds the number of points the enumeration hands out.
struct PATHOBJ {
  FLONG fl;
  ULONG cCurves;
};
using PPATHOBJ = PATHOBJ*;
// One record of a path enumeration: a run of lines or of Béziers (three points each). The
// first record of a figure has PD_BEGINSUBPATH and starts with the figure's first point; a
// figure may be split over several records; its last record has PD_ENDSUBPATH, and
// PD_CLOSEFIGURE when it is closed.
struct PATHDATA {
  FLONG flags;
  ULONG count;
  POINTFIX* pptfx;
};
using PPATHDATA = PATHDATA*;

// Fill modes.
constexpr FLONG FP_ALTERNATEMODE = 1;
constexpr FLONG FP_WINDINGMODE = 2;

// Transforms.
constexpr ULONG GX_IDENTITY = 0;
constexpr ULONG GX_OFFSET = 1;
constexpr ULONG GX_SCALE = 2;
constexpr ULONG GX_GENERAL = 3;
constexpr ULONG XF_LTOL = 0;
constexpr ULONG XF_INV_LTOL = 1;
constexpr ULONG XF_LTOFX = 2;
constexpr ULONG XF_INV_FXTOL = 3;
struct XFORMOBJ {
  ULONG ulReserved;
};
using PXFORMOBJ = XFORMOBJ*;

// Colour translation from a source's pixel values to the target's.
constexpr FLONG XO_TRIVIAL = 0x01;
constexpr FLONG XO_TABLE = 0x02;
constexpr FLONG XO_TO_MONO = 0x04;
constexpr FLONG XO_FROM_CMYK = 0x08;
constexpr FLONG XO_DEVICE_ICM = 0x10;
constexpr FLONG XO_HOST_ICM = 0x20;
constexpr ULONG XO_SRCPALETTE = 1;
constexpr ULONG XO_DESTPALETTE = 2;
constexpr ULONG XO_DESTDCPALETTE = 3;
struct XLATEOBJ {
  ULONG iUniq;
  FLONG flXlate;
  USHORT iSrcType;  // the source palette's PAL_ mode
  USHORT iDstType;
  ULONG cEntries;   // entries of pulXlate (XO_TABLE)
  ULONG* pulXlate;  // target value of each source index
};
using PXLATEOBJ = XLATEOBJ*;

// Brushes. iSolidColor is a target pixel value, or 0xFFFFFFFF for a pattern or hatch brush.
constexpr FLONG BR_DEVICE_ICM = 0x01;
constexpr FLONG BR_HOST_ICM = 0x02;
constexpr FLONG BR_CMYKCOLOR = 0x04;
constexpr FLONG BR_ORIGCOLOR = 0x08;
struct BRUSHOBJ {
  ULONG iSolidColor;
  PVOID pvRbrush;  // the driver's realization, once made
  FLONG flColorType;
};
using PBRUSHOBJ = BRUSHOBJ*;

// Fonts.
constexpr FLONG FO_TYPE_RASTER = 0x1;
constexpr FLONG FO_TYPE_DEVICE = 0x2;
constexpr FLONG FO_TYPE_TRUETYPE = 0x4;
constexpr FLONG FO_SIM_BOLD = 0x2000;
constexpr FLONG FO_SIM_ITALIC = 0x4000;
constexpr FLONG FO_EM_HEIGHT = 0x8000;
constexpr ULONG FO_HGLYPHS = 0;
constexpr ULONG FO_GLYPHBITS = 1;
constexpr ULONG FO_PATHOBJ = 2;
struct FONTOBJ {
  ULONG iUniq;
  ULONG iFace;  // a device font's number (1-based); 0 for a font the engine draws
  ULONG cxMax;
  FLONG flFontType;
  ULONG_PTR iTTUniq;
  ULONG_PTR iFile;
  SIZEL sizLogResPpi;
  ULONG ulStyleSize;
  PVOID pvConsumer;  // the driver's own
  PVOID pvProducer;  // the font producer's own
};
using PFONTOBJ = FONTOBJ*;

// Strings.
constexpr FLONG SO_FLAG_DEFAULT_PLACEMENT = 0x00000001;
constexpr FLONG SO_HORIZONTAL = 0x00000002;
constexpr FLONG SO_VERTICAL = 0x00000004;
constexpr FLONG SO_REVERSED = 0x00000008;
constexpr FLONG SO_ZERO_BEARINGS = 0x00000010;
constexpr FLONG SO_CHAR_INC_EQUAL_BM_BASE = 0x00000020;
constexpr FLONG SO_MAXEXT_EQUAL_BM_SIDE = 0x00000040;
constexpr FLONG SO_GLYPHINDEX_TEXTOUT = 0x00000100;
constexpr FLONG SO_DXDY = 0x00000400;
struct STROBJ {
  ULONG cGlyphs;
  FLONG flAccel;
  ULONG ulCharInc;  // the fixed advance in pixels with SO_FLAG_DEFAULT_PLACEMENT, else 0
  RECTL rclBkGround;
  GLYPHPOS* pgp;  // all positions at once, or null when they come in batches (STROBJ_bEnum)
  LPWSTR pwszOrg;
};
using PSTROBJ = STROBJ*;

extern "C" {
// Starts an enumeration of the clip region's rectangles in direction iDirection (CD_*).
// Returns the rectangle count, or 0xFFFFFFFF when cLimit is not 0 and the count exceeds it.
// A trivial or rectangular clip enumerates rclBounds.
ULONG CLIPOBJ_cEnumStart(CLIPOBJ* pco, BOOL bAll, ULONG iType, ULONG iDirection, ULONG cLimit);
// Fills the ENUMRECTS at pv (cj bytes) with the next rectangles that fit; TRUE while more
// rectangles remain after these.
BOOL CLIPOBJ_bEnum(CLIPOBJ* pco, ULONG cj, ULONG* pv);
// The region's outline as a path (one closed rectangle per region rectangle); free it with
// EngDeletePath. Null for a trivial clip.
PATHOBJ* CLIPOBJ_ppoGetPath(CLIPOBJ* pco);

void PATHOBJ_vEnumStart(PATHOBJ* ppo);
// Hands out the next record; TRUE while more records remain after it.
BOOL PATHOBJ_bEnum(PATHOBJ* ppo, PATHDATA* ppd);
// Bounds of every point, 28.4 (an empty path gives zeros).
void PATHOBJ_vGetBounds(PATHOBJ* ppo, RECTFX* prectfx);
// Building paths (EngCreatePath): a figure starts at a move; lines and Béziers (three points
// each) extend it; closing it ends it.
BOOL PATHOBJ_bMoveTo(PATHOBJ* ppo, POINTFIX ptfx);
BOOL PATHOBJ_bPolyLineTo(PATHOBJ* ppo, POINTFIX* pptfx, ULONG cptfx);
BOOL PATHOBJ_bPolyBezierTo(PATHOBJ* ppo, POINTFIX* pptfx, ULONG cptfx);
BOOL PATHOBJ_bCloseFigure(PATHOBJ* ppo);

// The transform's complexity (GX_*) and, when pxform is given, its matrix.
ULONG XFORMOBJ_iGetXform(XFORMOBJ* pxo, XFORML* pxform);
// Transforms cPoints points: XF_LTOL (POINTL to POINTL, rounded), XF_INV_LTOL (the inverse),
// XF_LTOFX (POINTL to 28.4 POINTFIX), XF_INV_FXTOL (28.4 back to POINTL through the inverse).
// FALSE for a bad mode or a transform without inverse.
BOOL XFORMOBJ_bApplyXform(XFORMOBJ* pxo, ULONG iMode, ULONG cPoints, PVOID pvIn, PVOID pvOut);

// The target value of one source value.
ULONG XLATEOBJ_iXlate(XLATEOBJ* pxlo, ULONG iColor);
// Copies up to cPal entries of the source or target palette (0x00RRGGBB) to pPal; with pPal
// null returns the entry count. 0 for a palette that is not indexed.
ULONG XLATEOBJ_cGetPalette(XLATEOBJ* pxlo, ULONG iPal, ULONG cPal, ULONG* pPal);

// The driver's realization of the brush, realizing it through DrvRealizeBrush when it has
// none yet; null when the driver refuses or cannot be asked.
PVOID BRUSHOBJ_pvGetRbrush(BRUSHOBJ* pbo);
// cj bytes that the brush owns (freed with it) for the driver's realization.
PVOID BRUSHOBJ_pvAllocRbrush(BRUSHOBJ* pbo, ULONG cj);
// The brush's colour as the application gave it (COLORREF, 0x00BBGGRR); 0xFFFFFFFF for a
// pattern or hatch brush.
ULONG BRUSHOBJ_ulGetBrushColor(BRUSHOBJ* pbo);

// Glyph data for cGlyph (1) handles: FO_GLYPHBITS gives GLYPHDATA with gdf.pgb, FO_PATHOBJ
// with gdf.ppo. Returns the glyphs delivered: 0 for a glyph the font does not have, or for a
// device font, whose glyphs the engine cannot draw.
ULONG FONTOBJ_cGetGlyphs(FONTOBJ* pfo, ULONG iMode, ULONG cGlyph, HGLYPH* phg, PVOID* ppvGlyph);
IFIMETRICS* FONTOBJ_pifi(FONTOBJ* pfo);
// The transform from the font's notional units to device pixels.
XFORMOBJ* FONTOBJ_pxoGetXform(FONTOBJ* pfo);
// Every glyph handle of the font into phg (when given); returns the count.
ULONG FONTOBJ_cGetAllGlyphHandles(FONTOBJ* pfo, HGLYPH* phg);
// The font's characters and their glyph handles: the glyph set the driver gave for a device
// font (null when none), the engine font's covered characters (handles are the characters).
FD_GLYPHSET* FONTOBJ_pfdg(FONTOBJ* pfo);

void STROBJ_vEnumStart(STROBJ* pstro);
// Hands out the next batch of glyph positions; TRUE while more remain after it.
BOOL STROBJ_bEnum(STROBJ* pstro, ULONG* pc, PGLYPHPOS* ppgpos);
// The code page of the string's text.
DWORD STROBJ_dwGetCodePage(STROBJ* pstro);
}
