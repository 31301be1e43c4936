// Page descriptions: the drawing calls of a print job as text, one call per line, which the
// print host turns into engine objects and driver hooks.
//
//   # a comment; blank lines are skipped
//   page                          starts the next page (the first page needs none)
//   reset                         before the next page: a new PDEV over the same devmode
//   clip L T R B [L T R B ...]    later calls of the page are clipped to the union
//   clip none
//   fill L T R B COLOR [rop=0xF0F0] [hatch=N] [pattern=HEX [patternbits=N] [patternsize=W,H]
//        [patternbottomup]] [bg=COLOR]
//                                 a blit without source: the brush under a ROP4
//   rect L T R B [pen=COLOR] [brush=COLOR] [hatch=N] [pattern=HEX] [bg=COLOR] [width=W]
//                [mix=N] [winding]
//   line X1 Y1 X2 Y2 [X Y ...] [pen=COLOR] [width=W] [style=A,B,...] [mix=N] [LINE OPTIONS]
//   path [pen=COLOR] [brush=COLOR] [hatch=N] [pattern=HEX] [bg=COLOR] [width=W] [mix=N]
//        [winding] [style=A,B,...] [LINE OPTIONS] : M x y L x y C x1 y1 x2 y2 x3 y3 Z ...
//        LINE OPTIONS: [join=round|bevel|miter] [cap=round|square|butt] [miter=N] [geometric]
//                      [startgap]
//   text X Y "TEXT" [size=H] [color=COLOR] [bg=COLOR] [device=N] [underline]
//        [face=NAME] [vertical] [glyphindex] [strikeout] [rotate=DEGREES] [mirror]
//   image L T R B W H [bpp=1|4|8|16|24|32] [fill=gradient|checker|COLOR|hex:HEX]
//                     [rop=0xCCCC] [brush=COLOR [hatch=N] [pattern=...] [bg=COLOR]]
//                     [alpha=N] [mask] [bottomup] [halftone]
//   escape N [HEX] [out=N]
//
// Coordinates are device pixels of the printable page; path points may have a fraction
// (".5"), kept in 28.4. COLOR is #RRGGBB, or black, white, red, green, blue, gray, none. A
// pattern is 8 hex bytes, the rows of an 8 x 8 1-bit pattern (bit 7 leftmost; 1 bits take the
// colour, 0 bits bg, white by default). With patternbits (1, 4, 8, 16, 24 or 32) or patternsize
// (default 8,8) the hex holds the pattern's rows, each padded to 4 bytes, top row first; their
// palette is an image's of that depth (below), a 1-bit one's the colour and bg; patternbottomup
// keeps its rows bottom row first in memory. Text is UTF-8 between double quotes (\" and \\ escape);
// its point (X, Y) is the baseline start; size is the cell height in pixels; device=N draws with
// the driver's device font N (the engine's font when the driver offers none); underline draws a
// bar under the text. face=NAME names the engine's font (UTF-8, no blanks) as the driver sees it;
// vertical runs the text down the page; glyphindex marks the string as glyph indices;
// strikeout draws a bar through the text; rotate (0 to 359) turns the engine's font counter-clockwise and
// mirror flips its glyphs left to right (a device font is never turned). An image is a W x H source bitmap drawn into L T R B: copied when
// the sizes agree, stretched otherwise (halftone: mode HALFTONE); its pixels are a gradient
// (the default), an 8-pixel checker, one colour, or the raw rows in hex (each row padded to
// 4 bytes, top row first). R < L or B < T mirrors the image. A 32-bit image's fourth bytes are
// alpha (0 unless given); mask blits it through a 1-bit mask of 8-pixel squares (1 in the top-left
// square) with its ROP4, which for a mask is usually 0xAACC; brush is the brush of its ROP4.
// A pen wider than 1, or with geometric, is a geometric pen (width in world units, round joins
// and ends unless given; miter is its miter limit); a style then counts world units, else
// pixels; startgap sets LA_STARTGAP. An escape hands the driver the hex bytes as its input and
// an output buffer of out bytes (none by default); it goes once per page, on the first band.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "eng/engine.h"

namespace velm::platform {

struct PathStep {
  char op = 'M';  // M, L, C (three points), Z
  POINTFIX points[3] = {};
};

struct PageCall {
  enum class Kind { Fill, Rect, Line, Path, Text, Image, Escape };
  Kind kind = Kind::Fill;
  int line = 0;   // in the description, for messages
  int clip = -1;  // index into DescribedPage::clips, -1 for none

  RECTL rect{};                 // fill, rect, image target
  std::vector<POINTL> points;   // line
  std::vector<PathStep> steps;  // path

  bool hasPen = false, hasBrush = false, hasBackground = false;
  ULONG pen = 0, brush = 0, background = 0xFFFFFF;  // 0x00RRGGBB
  ULONG hatch = HS_DDI_MAX;
  std::vector<BYTE> pattern;  // 8 rows of a 1-bit 8 x 8 pattern, or padded rows (below)
  ULONG patternBits = 1;
  LONG patternWidth = 8, patternHeight = 8;
  bool patternRows = false;  // pattern holds padded rows
  bool patternBottomUp = false;
  ULONG rop4 = 0xF0F0;
  ULONG mix = R2_COPYPEN;
  LONG width = 0;
  std::vector<LONG> style;
  bool winding = false;
  ULONG join = JOIN_ROUND, cap = ENDCAP_ROUND;
  LONG miterLimit = 10;
  bool geometric = false, startGap = false;

  std::u16string text;
  LONG size = 0;
  ULONG deviceFont = 0;
  bool underline = false;
  std::u16string face;  // the engine font's face name; empty keeps its own
  bool vertical = false, glyphIndex = false, strikeOut = false;
  LONG rotation = 0;  // degrees counter-clockwise
  bool mirror = false;

  LONG imageWidth = 0, imageHeight = 0;
  ULONG bpp = 24;
  enum class Fill { Gradient, Checker, Solid, Hex };
  Fill fill = Fill::Gradient;
  std::vector<BYTE> bits;  // Fill::Hex
  bool bottomUp = false;
  bool halftone = false;
  ULONG fillColour = 0;  // Fill::Solid
  BYTE alpha = 0;        // 32-bit images
  bool mask = false;

  ULONG escape = 0;
  std::vector<BYTE> data;
  ULONG escapeOut = 0;  // bytes of output buffer
};

struct DescribedPage {
  bool resetBefore = false;
  std::vector<std::vector<RECTL>> clips;
  std::vector<PageCall> calls;
};

struct PageDescription {
  std::vector<DescribedPage> pages;
};

// Parses a description; false with "line N: what is wrong" for bad input.
bool ParsePageDescription(std::string_view text, PageDescription& out, std::string& error);

// A page that exercises every kind of call, for demonstrations and smoke tests.
std::string_view BuiltInTestPage();

}  // namespace velm::platform
