// The graphics engine's callbacks (Eng...), which draw into memory bitmaps, and the signatures
// of the driver hooks (Drv...) that the engine calls.
//
// Pixel values: every drawing call works on the target's own pixel values. A 1, 4 or 8 bpp
// value is a palette index; a 16 bpp value is 5-5-5 (blue in bits 0..4); 24 and 32 bpp values
// are 0x00RRGGBB (bytes blue, green, red in memory). Brush colours are target values already;
// a source reaches the target through its XLATEOBJ (none: the values are taken as they are).
// Raster operations apply bit by bit to those values.
//
// A surface of type STYPE_DEVICE has no bits: a drawing call on it is recorded in the engine's
// call log (engine_objects.h) and answers TRUE, so that a driver can hand work back to the
// engine without the engine touching memory it does not have.
#pragma once

#include "core/devmode.h"
#include "core/wintypes.h"
#include "eng/ddi_objects.h"
#include "eng/ddi_types.h"
#include "eng/gdi_types.h"

extern "C" {
// Surfaces ----------------------------------------------------------------------------------

// A bitmap of sizl pixels in iFormat (BMF_1BPP .. BMF_32BPP). lWidth is the stride in bytes:
// with pvBits (memory the caller keeps) it is taken as it is and must hold a row; without, the
// engine allocates rows of max(lWidth, row bytes) rounded up to 4. fl: BMF_TOPDOWN (else the
// first row in memory is the bottom one), BMF_NOZEROINIT. Null with ERROR_INVALID_PARAMETER
// for a bad size or format, ERROR_NOT_ENOUGH_MEMORY when the bits cannot be had.
HBITMAP EngCreateBitmap(SIZEL sizl, LONG lWidth, ULONG iFormat, FLONG fl, PVOID pvBits);
// A surface the driver draws itself (STYPE_DEVICE, no bits).
HSURF EngCreateDeviceSurface(DHSURF dhsurf, SIZEL sizl, ULONG iFormatCompat);
// Binds a surface to the engine's device and says which drawing calls the driver hooks on it.
BOOL EngAssociateSurface(HSURF hsurf, HDEV hdev, FLONG flHooks);
// Marks a bitmap as the band of a banding driver: the engine then walks the page in bands
// (DrvStartBanding, DrvNextBand) instead of calling DrvSendPage.
BOOL EngMarkBandingSurface(HSURF hsurf);
BOOL EngDeleteSurface(HSURF hsurf);
SURFOBJ* EngLockSurface(HSURF hsurf);
void EngUnlockSurface(SURFOBJ* pso);
// Fills prcl with the pixel value iColor (masked to the format's bits).
BOOL EngEraseSurface(SURFOBJ* pso, RECTL* prcl, ULONG iColor);

// Drawing -----------------------------------------------------------------------------------

// The general blit: ROP4 combines pattern (pbo), source (psoSrc at pptlSrc, through pxlo) and
// target; its low byte applies where the 1-bit mask (psoMask at pptlMask) is 1, its high byte
// where it is 0. Source, brush and mask are required only when the ROP4 uses them.
BOOL EngBitBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclTrg,
               POINTL* pptlSrc, POINTL* pptlMask, BRUSHOBJ* pbo, POINTL* pptlBrush, ROP4 rop4);
BOOL EngCopyBits(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest, POINTL* pptlSrc);
// Scales prclSrc of the source onto prclDest by nearest neighbour; a rectangle whose edges are
// exchanged mirrors. HALFTONE into a 1-bit target dithers (ordered 4 x 4) when the translation
// knows both palettes; every other mode, and HALFTONE elsewhere, copies the nearest pixel. A
// mask (in source coordinates) keeps the target where it is 0.
BOOL EngStretchBlt(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                   COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc, POINTL* pptlMask,
                   ULONG iMode);
// EngStretchBlt into a temporary of the target's size and format, then EngBitBlt with rop4.
BOOL EngStretchBltROP(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                      COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc, POINTL* pptlMask,
                      ULONG iMode, BRUSHOBJ* pbo, DWORD rop4);
// Draws the glyphs of pstro with the foreground brush and mix, after filling prclOpaque (when
// given) with the opaque brush; prclExtra is a list of rectangles ended by an all-zero one.
BOOL EngTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra, RECTL* prclOpaque,
                BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, POINTL* pptlOrg, MIX mix);
// Strokes the path: a cosmetic pen draws 1-pixel lines (the last pixel of an open figure left
// out; LA_ALTERNATE every other pixel; a style array counts pixels); a geometric pen wider
// than one pixel draws each dash of its style (world units; LA_STARTGAP starts with a gap) as
// filled bands, with round joins and ends as polygons, bevel joins filled and miter joins
// within the miter limit.
BOOL EngStrokePath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pbo, POINTL* pptlBrushOrg,
                   LINEATTRS* plineattrs, MIX mix);
// Fills the path (every figure closed) with the brush: FP_ALTERNATEMODE or FP_WINDINGMODE. A
// pixel is inside when its centre is.
BOOL EngFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* pptlBrushOrg, MIX mix,
                 FLONG flOptions);
BOOL EngStrokeAndFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pboStroke,
                          LINEATTRS* plineattrs, BRUSHOBJ* pboFill, POINTL* pptlBrushOrg, MIX mixFill,
                          FLONG flOptions);
// A cosmetic line from (x1, y1) to (x2, y2), the last pixel left out.
BOOL EngLineTo(SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, LONG x1, LONG y1, LONG x2, LONG y2, RECTL* prclBounds,
               MIX mix);
// Fills the clip region with the brush.
BOOL EngPaint(SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* pptlBrushOrg, MIX mix);

// Palettes, paths, clips ------------------------------------------------------------------

// PAL_INDEXED: cColors entries of pulColors, each a PALETTEENTRY read as a ULONG (0x00BBGGRR);
// PAL_BITFIELDS: the three masks; PAL_RGB, PAL_BGR: no entries.
HPALETTE EngCreatePalette(ULONG iMode, ULONG cColors, ULONG* pulColors, FLONG flRed, FLONG flGreen, FLONG flBlue);
BOOL EngDeletePalette(HPALETTE hpal);
PATHOBJ* EngCreatePath(void);
void EngDeletePath(PATHOBJ* ppo);
// A clip object the caller fills in (trivial to begin with).
CLIPOBJ* EngCreateClip(void);
void EngDeleteClip(CLIPOBJ* pco);

// Output and services ---------------------------------------------------------------------

// Writes to the spooler job open on the printer handle (WritePrinter), or to the sink a host
// set (SetPrinterWriteSink).
BOOL EngWritePrinter(HANDLE hPrinter, LPVOID pBuf, DWORD cbBuf, LPDWORD pcWritten);
// The machine's OEM and ANSI code pages.
void EngGetCurrentCodePage(PUSHORT OemCodePage, PUSHORT AnsiCodePage);
// Converts BytesInUnicodeString bytes of UTF-16 into the ANSI code page, at most MaxBytes
// bytes (a character that does not fit whole is left out); the bytes written go to
// *BytesInMultiByteString when given.
void EngUnicodeToMultiByteN(LPSTR MultiByteString, ULONG MaxBytesInMultiByteString, PULONG BytesInMultiByteString,
                            PWSTR UnicodeString, ULONG BytesInUnicodeString);
void EngMultiByteToUnicodeN(LPWSTR UnicodeString, ULONG MaxBytesInUnicodeString, PULONG BytesInUnicodeString,
                            PCHAR MultiByteString, ULONG BytesInMultiByteString);
void EngQueryLocalTime(PENG_TIME_FIELDS ptf);
// Memory from the process allocator (so allocation faults reach it). FL_ZERO_MEMORY zero-fills.
PVOID EngAllocMem(ULONG Flags, ULONG MemSize, ULONG Tag);
void EngFreeMem(PVOID Mem);
void EngSetLastError(ULONG iError);
ULONG EngGetLastError(void);
}

constexpr ULONG FL_ZERO_MEMORY = 0x1;
constexpr ULONG FL_NONPAGED_MEMORY = 0x2;

// Driver hooks, as the engine calls them.
using PFN_DrvEnableDriver = BOOL (*)(ULONG iEngineVersion, ULONG cj, DRVENABLEDATA* pded);
using PFN_DrvDisableDriver = void (*)();
using PFN_DrvQueryDriverInfo = BOOL (*)(DWORD dwMode, PVOID pBuffer, DWORD cbBuf, PDWORD pcbNeeded);
using PFN_DrvEnablePDEV = DHPDEV (*)(DEVMODEW* pdm, LPWSTR pwszLogAddress, ULONG cPat, HSURF* phsurfPatterns,
                                     ULONG cjCaps, ULONG* pdevcaps, ULONG cjDevInfo, DEVINFO* pdi, HDEV hdev,
                                     LPWSTR pwszDeviceName, HANDLE hDriver);
using PFN_DrvCompletePDEV = void (*)(DHPDEV dhpdev, HDEV hdev);
using PFN_DrvDisablePDEV = void (*)(DHPDEV dhpdev);
using PFN_DrvResetPDEV = BOOL (*)(DHPDEV dhpdevOld, DHPDEV dhpdevNew);
using PFN_DrvEnableSurface = HSURF (*)(DHPDEV dhpdev);
using PFN_DrvDisableSurface = void (*)(DHPDEV dhpdev);
using PFN_DrvStartDoc = BOOL (*)(SURFOBJ* pso, LPWSTR pwszDocName, DWORD dwJobId);
using PFN_DrvEndDoc = BOOL (*)(SURFOBJ* pso, FLONG fl);
using PFN_DrvStartPage = BOOL (*)(SURFOBJ* pso);
using PFN_DrvSendPage = BOOL (*)(SURFOBJ* pso);
using PFN_DrvStartBanding = BOOL (*)(SURFOBJ* pso, POINTL* pptl);
using PFN_DrvNextBand = BOOL (*)(SURFOBJ* pso, POINTL* pptl);
using PFN_DrvBitBlt = BOOL (*)(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                               RECTL* prclTrg, POINTL* pptlSrc, POINTL* pptlMask, BRUSHOBJ* pbo, POINTL* pptlBrush,
                               ROP4 rop4);
using PFN_DrvCopyBits = BOOL (*)(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest,
                                 POINTL* pptlSrc);
using PFN_DrvStretchBlt = BOOL (*)(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco,
                                   XLATEOBJ* pxlo, COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest,
                                   RECTL* prclSrc, POINTL* pptlMask, ULONG iMode);
using PFN_DrvStretchBltROP = BOOL (*)(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco,
                                      XLATEOBJ* pxlo, COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest,
                                      RECTL* prclSrc, POINTL* pptlMask, ULONG iMode, BRUSHOBJ* pbo, DWORD rop4);
using PFN_DrvTextOut = BOOL (*)(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra,
                                RECTL* prclOpaque, BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, POINTL* pptlOrg, MIX mix);
using PFN_DrvStrokePath = BOOL (*)(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pbo,
                                   POINTL* pptlBrushOrg, LINEATTRS* plineattrs, MIX mix);
using PFN_DrvFillPath = BOOL (*)(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* pptlBrushOrg,
                                 MIX mix, FLONG flOptions);
using PFN_DrvStrokeAndFillPath = BOOL (*)(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo,
                                          BRUSHOBJ* pboStroke, LINEATTRS* plineattrs, BRUSHOBJ* pboFill,
                                          POINTL* pptlBrushOrg, MIX mixFill, FLONG flOptions);
using PFN_DrvLineTo = BOOL (*)(SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, LONG x1, LONG y1, LONG x2, LONG y2,
                               RECTL* prclBounds, MIX mix);
using PFN_DrvPaint = BOOL (*)(SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* pptlBrushOrg, MIX mix);
using PFN_DrvRealizeBrush = BOOL (*)(BRUSHOBJ* pbo, SURFOBJ* psoTarget, SURFOBJ* psoPattern, SURFOBJ* psoMask,
                                     XLATEOBJ* pxlo, ULONG iHatch);
using PFN_DrvDitherColor = ULONG (*)(DHPDEV dhpdev, ULONG iMode, ULONG rgb, ULONG* pul);
using PFN_DrvEscape = ULONG (*)(SURFOBJ* pso, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut);
using PFN_DrvGetGlyphMode = ULONG (*)(DHPDEV dhpdev, FONTOBJ* pfo);
using PFN_DrvQueryFont = IFIMETRICS* (*)(DHPDEV dhpdev, ULONG_PTR iFile, ULONG iFace, ULONG_PTR* pid);
using PFN_DrvQueryFontTree = PVOID (*)(DHPDEV dhpdev, ULONG_PTR iFile, ULONG iFace, ULONG iMode, ULONG_PTR* pid);
using PFN_DrvQueryFontData = LONG (*)(DHPDEV dhpdev, FONTOBJ* pfo, ULONG iMode, HGLYPH hg, GLYPHDATA* pgd, PVOID pv,
                                      ULONG cjSize);
using PFN_DrvQueryAdvanceWidths = BOOL (*)(DHPDEV dhpdev, FONTOBJ* pfo, ULONG iMode, HGLYPH* phg, PVOID pvWidths,
                                           ULONG cGlyphs);
using PFN_DrvIcmCreateColorTransform = HANDLE (*)(DHPDEV dhpdev, LPLOGCOLORSPACEW pLogColorSpace,
                                                  PVOID pvSourceProfile, ULONG cjSourceProfile,
                                                  PVOID pvDestProfile, ULONG cjDestProfile, PVOID pvTargetProfile,
                                                  ULONG cjTargetProfile, DWORD dwReserved);
using PFN_DrvIcmDeleteColorTransform = BOOL (*)(DHPDEV dhpdev, HANDLE hcmXform);
