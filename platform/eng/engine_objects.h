// What the graphics system's side of the engine offers a host (the print host) and tests:
// making the objects that a driver is handed, the engine's device record of a driver's hooks,
// where EngWritePrinter's bytes go, fault switches, the call log of work handed to the engine
// on device surfaces, and live-object counts for leak checks.
//
// Colours here are 0x00RRGGBB ("rgb"); a palette turns them into target pixel values.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "eng/engine.h"

namespace velm::platform {

// Devices ----------------------------------------------------------------------------------

// The engine's record of one enabled driver: a copy of its hook table, so that the engine can
// call back (DrvRealizeBrush from BRUSHOBJ_pvGetRbrush). Hooks at or above INDEX_LAST are
// ignored. Null when the table is missing.
HDEV CreateEngineDevice(const DRVENABLEDATA& data);
// The PDEV the driver made for the device; surfaces associated with it carry it as dhpdev.
void SetEngineDevicePdev(HDEV hdev, DHPDEV dhpdev);
void DeleteEngineDevice(HDEV hdev);
// The hook at `index`, or null.
PFN EngineDeviceHook(HDEV hdev, ULONG index);
// A hook or export as the function type it has.
template <class Function, class Pointer>
Function HookAs(Pointer pointer) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(pointer));
}

// What the engine knows of a surface beyond its SURFOBJ.
struct SurfaceFacts {
  HDEV hdev = nullptr;  // from EngAssociateSurface
  FLONG hooks = 0;
  bool associated = false;
  bool banding = false;  // EngMarkBandingSurface
};
bool QuerySurface(HSURF hsurf, SurfaceFacts& facts);

// Palettes ---------------------------------------------------------------------------------

struct PaletteFacts {
  ULONG mode = 0;
  std::vector<ULONG> rgb;  // indexed palettes: each entry as 0x00RRGGBB
  ULONG masks[3] = {};     // PAL_BITFIELDS: red, green, blue
};
bool QueryPalette(HPALETTE hpal, PaletteFacts& facts);
// The palette's pixel value for an rgb colour (indexed: the nearest entry), and back.
ULONG PaletteValueFromRgb(HPALETTE hpal, ULONG rgb);
ULONG PaletteRgbFromValue(HPALETTE hpal, ULONG value);

// Translations: source values to target values. Between two palettes: XO_TRIVIAL when both
// are the same kind of direct colour, XO_TABLE for an indexed source, otherwise computed by
// XLATEOBJ_iXlate through the two palettes. extraFlags adds bits such as XO_HOST_ICM.
XLATEOBJ* CreateXlate(HPALETTE source, HPALETTE target, FLONG extraFlags = 0);
// A table translation the caller states outright (flags as given, XO_TABLE added).
XLATEOBJ* CreateTableXlate(const ULONG* entries, ULONG count, FLONG extraFlags = 0);
void DeleteXlate(XLATEOBJ* pxlo);

// Brushes ----------------------------------------------------------------------------------

// A solid brush of one target value; `logical` is the application's colour as COLORREF.
BRUSHOBJ* CreateSolidBrushObj(ULONG targetValue, COLORREF logical = 0, FLONG colorType = 0);
// A pattern brush: the pattern bitmap and its translation to the target stay the caller's and
// must outlive the brush. `target` is the surface it will paint (DrvRealizeBrush is asked
// through that surface's device); hatch > 5 for a plain pattern.
BRUSHOBJ* CreatePatternBrushObj(SURFOBJ* pattern, XLATEOBJ* xlate, SURFOBJ* target, ULONG hatch = HS_DDI_MAX,
                                FLONG colorType = 0);
// A hatch brush (HS_*): an 8 x 8 1-bit pattern of the hatch (1 = line) with a two-entry
// translation {background, foreground}, both owned by the brush.
BRUSHOBJ* CreateHatchBrushObj(ULONG hatch, ULONG foreValue, ULONG backValue, SURFOBJ* target, FLONG colorType = 0);
void DeleteBrushObj(BRUSHOBJ* pbo);
// The 8 rows of a hatch style's pattern, bit 7 leftmost; null for a style above 5.
const BYTE* HatchRows(ULONG hatch);

// Clips ------------------------------------------------------------------------------------

// A clip of the union of `count` rectangles: DC_RECT for a single rectangle (or none, with
// empty bounds), DC_COMPLEX otherwise, its rectangles non-overlapping and in rows. Free it
// with EngDeleteClip.
CLIPOBJ* CreateRegionClip(const RECTL* rects, size_t count);
// The rectangles the engine clips to for `pco` inside `limit` (right, bottom exclusive).
std::vector<RECTL> ClipRectangles(CLIPOBJ* pco, const RECTL& limit);

// Paths ------------------------------------------------------------------------------------

// At most maxPoints points per PATHDATA record (0: a run of a figure in one record), so that
// drivers can be shown figures split over records. Béziers stay whole.
void SetPathEnumLimit(PATHOBJ* ppo, ULONG maxPoints);
// A copy of the path with every Bézier replaced by lines.
PATHOBJ* FlattenPath(PATHOBJ* ppo);

// Transforms -------------------------------------------------------------------------------

XFORMOBJ* CreateXformObj(const XFORML& matrix);
void DeleteXformObj(XFORMOBJ* pxo);

// Fonts and strings ------------------------------------------------------------------------

// The engine's own bitmap font (eng/engine_font.h: printable ASCII in 5 x 7 glyphs of a 6 x 8
// cell, the host's unifont for the rest, full-width characters two cells wide) with a cell
// cellHeight pixels tall (1 to 512). Glyph handles are the characters; characters the font does
// not cover have no glyph. resolution is the device's dpi.
FONTOBJ* CreateEngineFontObj(LONG cellHeight, LONG resolution);
// A device font: iFace (1-based) of the driver, its metrics (kept by the caller; may be null)
// and the notional-to-device transform. The engine draws no glyphs for it.
FONTOBJ* CreateDeviceFontObj(ULONG iFace, IFIMETRICS* pifi, const XFORML& xform, LONG resolution);
// Gives a device font the driver's glyph set (kept by the caller): strings in it then carry
// the set's handles, as the font mapper hands them out, and a character the set lacks takes
// the handle of the font's default character (0 when that is missing too).
void SetDeviceFontGlyphSet(FONTOBJ* pfo, const FD_GLYPHSET* glyphs);
void DeleteFontObj(FONTOBJ* pfo);
// The advance of a glyph in pixels: an engine font's glyph (0 when missing), or a device font's
// average width.
LONG FontAdvance(FONTOBJ* pfo, HGLYPH hg);
// Ascent and descent of an engine font in pixels.
void FontExtent(FONTOBJ* pfo, LONG& ascent, LONG& descent);

// A string in `font` from the baseline point `origin`: glyph handles are the characters,
// advances from the font (an engine font's glyphs; a device font's metrics, double-byte
// characters of a double-byte fixed-pitch font twice as wide), placed horizontally with
// SO_FLAG_DEFAULT_PLACEMENT (ulCharInc 0 when the advances differ). batch > 0 hands positions out that many at a
// time through STROBJ_bEnum (pgp is then null).
STROBJ* CreateStrObj(FONTOBJ* font, std::u16string_view text, POINTL origin, ULONG batch = 0);
// How a string is laid out beyond the default: down the page (SO_VERTICAL, each glyph a cell
// height below the last), and whether it carries glyph indices (SO_GLYPHINDEX_TEXTOUT).
struct StrLayout {
  bool vertical = false;
  bool glyphIndex = false;
};
STROBJ* CreateStrObj(FONTOBJ* font, std::u16string_view text, POINTL origin, const StrLayout& layout,
                     ULONG batch = 0);
// Names an engine font's face (at most 31 characters), as its metrics give it to the driver.
BOOL SetEngineFontFace(FONTOBJ* pfo, std::u16string_view face);
// Turns an engine font by whole degrees (counter-clockwise on the page), its glyphs mirrored left
// to right first when `mirror` is set; before any string is made in it. A turned glyph's pixels
// are those under the turned pixel centres (quarter turns move pixels whole). Strings
// in a turned or mirrored font carry their positions (no SO_HORIZONTAL, no ulCharInc).
BOOL SetEngineFontTransform(FONTOBJ* pfo, LONG degrees, bool mirror);
void DeleteStrObj(STROBJ* pstro);

// Output -----------------------------------------------------------------------------------

// Where EngWritePrinter's bytes go instead of the spooler job of the printer handle
// (WritePrinter), which takes them while no sink is set. Returns the sink it replaces.
using PrinterWriteSink = std::function<BOOL(HANDLE printer, const BYTE* data, DWORD size, DWORD* written)>;
PrinterWriteSink SetPrinterWriteSink(PrinterWriteSink sink);

// Write faults: once `limit` bytes have been accepted (counted from this call on), a write
// takes only what still fits and then either answers TRUE with the short count (shortWrite)
// or fails with ERROR_WRITE_FAULT. The default limit never trips.
struct PrinterWriteFault {
  uint64_t limit = UINT64_MAX;
  bool shortWrite = false;
};
void SetPrinterWriteFault(const PrinterWriteFault& fault);

// Faults -----------------------------------------------------------------------------------

struct EngineFaults {
  uint64_t failBitmapAt = 0;     // the nth EngCreateBitmap from now fails (0: none)
  uint64_t bitmapByteLimit = 0;  // bitmaps with more bits than this fail (0: no limit)
  bool failAssociate = false;    // EngAssociateSurface fails
};
void SetEngineFaults(const EngineFaults& faults);

// Diagnostics ------------------------------------------------------------------------------

// Work the engine was handed on device surfaces (and ROPs or modes it could not do), one line
// each, oldest first; taking them empties the log.
std::vector<std::string> TakeEngineCalls();

struct EngineObjectCounts {
  size_t surfaces = 0;
  size_t palettes = 0;
  size_t paths = 0;
  size_t clips = 0;
  size_t xlates = 0;
  size_t brushes = 0;
  size_t xforms = 0;
  size_t fonts = 0;
  size_t strings = 0;
  size_t devices = 0;
  size_t Total() const {
    return surfaces + palettes + paths + clips + xlates + brushes + xforms + fonts + strings + devices;
  }
};
EngineObjectCounts LiveEngineObjects();

// Colour management: every OpenColorProfileW fails (ERROR_FILE_NOT_FOUND) while set; the open
// profiles and transforms.
void SetColorProfileOpenFails(bool fails);
size_t LiveColorHandles();

}  // namespace velm::platform
