// The device state of one printer device context (the PDEV): made by DrvEnablePDEV from the
// job's devmode, handed to every hook, and freed by DrvDisablePDEV. It reads its settings once
// from its driver context, owns the job stream, and chains every allocation of its own to one
// list that is freed with it.
#pragma once

#include "gr2k/brushes.h"
#include "gr2k/command_stream.h"
#include "gr2k/glyph_cache.h"
#include "gr2k/graphics_state_cache.h"
#include "gr2k/velm_records.h"
#include "win32.h"

struct DriverContext;
struct DevFontTable;

constexpr DWORD kPdevMagic = 0x19651013;

// Flags word.
constexpr DWORD kPdevFlagDocument = 0x4;         // between DrvStartDoc and DrvEndDoc
// kPdevFlagAbort (0x8, command_stream.h): a write failed; every later page start fails
constexpr DWORD kPdevFlagPageOpen = 0x8000;
constexpr DWORD kPdevFlagContinuation = 0x100000;  // the document came over from another PDEV

constexpr DWORD kJobNameBytes = 128;  // device code page bytes, no terminator
constexpr DWORD kFaceNameChars = 33;  // the 32-byte face name items, widened, and a NUL
constexpr DWORD kEscapeTextChars = 64;  // the text an application leaves with escape 121, NUL included

// The page as the settings give it, read at enable time.
struct PageGeometry {
  DWORD paperSize[2];     // the settings' paper-size query: not built, kept 0
  DWORD paperWidth;       // item 45
  DWORD paperLength;      // item 44
  DWORD printableWidth;   // item 47, pixels
  DWORD printableLength;  // item 46, pixels
  DWORD widthTenthMm;     // printable width * 254 / resolution
  DWORD lengthTenthMm;
  DWORD paperId;          // item 8
  DWORD xOffset;          // item 48
  DWORD yOffset;          // item 49
};

// The rendering options, read once (PdevReadSettings). Items are read as stored: the model's
// value identifiers of the mapped public fields (7, 8, 13, 15) are for the description's
// comparisons, not for the device state.
struct PdevSettings {
  DWORD copies;            // item 12
  BOOL rasterMode;         // item 183, off in pass-through
  DWORD colorMode;         // item 184; vector mode 0 becomes 2 with item 407
  DWORD orientationIndex;  // item 7 - 1
  DWORD resolution;        // item 14, dpi; 0 (or anything a record cannot carry) becomes 600
  DWORD language;          // item 177
  BOOL passThrough;        // bit 0 of item 714
  BOOL machineColor;       // item 246 set
  BOOL emfSpool;           // item 181
  DWORD colorChoice;       // item 15
  DWORD printArea;         // item 182
  WCHAR defaultFace[kFaceNameChars];  // item 350
  BOOL eudc;               // item 361, or bit 0x80 of item 249
  WCHAR secondFace[kFaceNameChars];   // item 364 as a face name
  BOOL drawNothing;        // item 364 as a switch: only a numeric row can set it
  BOOL vector1Bit;         // item 376
  BOOL noStretchBltRop;    // item 351
  BYTE icmProgram;         // item 149
  BYTE icmType;            // item 150
  BOOL deviceFontsUsable;  // item 395 when item 394 is set, else item 372
  DWORD printType;         // item 222
  BOOL apiUse;             // item 247
  BOOL printType7;
  BOOL directPage;         // the source page fits the output page unscaled
};

struct RenderPdev {
  DWORD magicHead;
  DriverContext* context;
  void** allocations;      // head of the allocation list; the PDEV itself is on it
  HANDLE printer;          // hDriver of DrvEnablePDEV
  HDEV hdev;               // from DrvCompletePDEV
  HSURF surface;           // the band bitmap or the device surface
  HPALETTE palette;        // the default palette of DEVINFO
  DWORD flags;
  PageGeometry geometry;
  DWORD pageCounter;       // pages started in this document
  DevFontTable* fonts;     // the device-font table, or null
  DWORD fontCount;
  PdevSettings settings;
  BYTE* jobName;           // device code page bytes on the allocation list, or null
  WORD jobNameLength;
  BOOL pageStartDone;      // DrvStartPage ran for the page now being drawn
  CommandStream stream;
  GraphicsStateCache cache;
  LONG bandX;
  LONG bandY;
  DWORD bandCounter;
  DWORD bandHeight;
  DWORD bandWidth;         // the printable width, kept when GDIINFO is filled
  DWORD pageHeight;        // the printable length, likewise
  const WCHAR* outputLibraryName;  // the model defaults' output library file name
  HANDLE colorTransform;   // the two colour transforms of the colour-management hooks
  HANDLE colorProfile;
  RealizedBrush solidBrush;  // the descriptor of solid colours, refilled at every drawing call
  GlyphCache glyphs;
  DWORD jobId;
  DEVMODEW* savedDevmode;  // the devmode DrvEnablePDEV was given (dmSize + dmDriverExtra bytes)
  OSVERSIONINFOW osVersion;
  WCHAR escapeText[kEscapeTextChars];  // escape 121's text: the settings' work area has no field for it
  DWORD magicTail;
};

// Non-null with both magic words intact.
BOOL PdevIsValid(const RenderPdev* pdev);
// The PDEV of a hook's PDEV argument or of its surface, or null with ERROR_INVALID_PARAMETER
// when it is not valid.
RenderPdev* PdevFromHandle(DHPDEV dhpdev);
RenderPdev* PdevFromSurface(SURFOBJ* surface);

// The allocation list. A list is a one-pointer head; each block links to the next through the
// bytes in front of what PdevMemAlloc returns.
void** PdevMemCreateList();
// `bytes` more on the list (not cleared), or null.
void* PdevMemAlloc(void** list, SIZE_T bytes);
// Unlinks and frees the block whose data `block` is; a block not on the list is ignored.
void PdevMemFree(void** list, void* block);
// Frees every block and then the head. Null is ignored.
void PdevMemDestroy(void** list);
// The stream's and glyph cache's allocator over a PDEV's list.
void* PdevStreamAlloc(void* pdev, SIZE_T bytes);
void PdevStreamFree(void* pdev, void* block);

// Clears the flags and the page counter and reads every rendering option and the page geometry
// from the PDEV's context.
void PdevReadSettings(RenderPdev* pdev);
// Whether the page read by PdevReadSettings can be printed: a printable area on both axes, and
// neither it nor the paper larger than the model's largest paper at the PDEV's resolution.
BOOL PdevPageIsUsable(const RenderPdev* pdev);
// What the record writers need of the settings.
RecordSettings PdevRecordSettings(const RenderPdev* pdev);
// Whether the surface is one bit per pixel: raster mode, or vector mode with item 376, and in
// both colour mode 1 with colour choice 1.
BOOL PdevIsOneBit(const RenderPdev* pdev);

// The device description of DrvEnablePDEV: at most `size` bytes of each are written (GDIINFO
// at most 304). FillDevInfo (re)creates the default palette; FALSE when it cannot.
void PdevFillGdiInfo(RenderPdev* pdev, GDIINFO* out, ULONG size);
BOOL PdevFillDevInfo(RenderPdev* pdev, DEVINFO* out, ULONG size);
// The halftone pattern size (HT_PATSIZE_ numbering) of a resolution.
ULONG PdevHalftonePatternSize(DWORD resolution);
// Lines of the raster band for a page `width` pixels wide and `height` long: a 307200-byte
// budget of 1-bit rows rounded up to 32 lines, at most the page. 0 when either is 0.
DWORD PdevBandHeight(DWORD width, DWORD height);

// Hooks of the device state.
extern "C" {
DHPDEV DrvEnablePDEV(DEVMODEW* pdm, LPWSTR pwszLogAddress, ULONG cPat, HSURF* phsurfPatterns, ULONG cjCaps,
                     ULONG* pdevcaps, ULONG cjDevInfo, DEVINFO* pdi, HDEV hdev, LPWSTR pwszDeviceName,
                     HANDLE hDriver);
void DrvCompletePDEV(DHPDEV dhpdev, HDEV hdev);
void DrvDisablePDEV(DHPDEV dhpdev);
BOOL DrvResetPDEV(DHPDEV dhpdevOld, DHPDEV dhpdevNew);
HSURF DrvEnableSurface(DHPDEV dhpdev);
void DrvDisableSurface(DHPDEV dhpdev);
}
