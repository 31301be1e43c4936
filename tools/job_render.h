// The job renderer: draws the pages of a decoded Velm job into RGB pictures, record by record,
// as the printer would, from the record layouts alone. It is the oracle of the drawing code and
// the picture `velm render` writes.
//
// Each page start (0x60) makes a white page of its size and resolution with a fresh drawing
// state: ROP 0xCC, black, solid brush, no clip, a solid one-pixel pen with round ends and joins.
// Where the layouts leave a meaning open the graphics engine's meaning is taken: the ternary
// ROP (bit P << 2 | S << 1 | D; fills, strokes and glyphs use the brush as both source and
// pattern), centre-sampled fills, the engine's pens, nearest-pixel stretching, and the engine's
// font (eng/engine_font.h) at the selected cell height for the printer's resident fonts, whose
// codes are code page 932's (mapped to their characters through iconv).
// Downloaded glyphs are kept for the whole job under the downloaded font selected with them.
// Whatever cannot be drawn is named in the problems, never skipped silently.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "job_decoder.h"
#include "render_canvas.h"

namespace velm::jobrender {

struct Rendering {
  std::vector<Canvas> pages;
  // "page 2, record 14 RECT: kind 6 has no known drawing" for each thing not drawn.
  std::vector<std::string> problems;
};

// Draws the records of a decoded job (pages in order; records before a page start, unframed
// data and pages without a page end are problems).
Rendering DrawJob(const jobdump::Job& job);
Rendering DrawRecords(const std::vector<jobdump::Record>& records);

// Pages larger than this many pixels are not drawn.
constexpr uint64_t kMaxPagePixels = uint64_t{1} << 27;

// Expands a compressed glyph bitmap (kind 2) of `size` bytes. Groups, each one control byte:
// bit 7 a repeated byte (else literal bytes); bits 3-6 the zero bytes skipped before the group;
// bits 0-2 the group's byte count less one. A field at its largest (15, 7) continues in the
// bytes after the control byte: each 255 adds 255 and reads on, any other byte adds itself and
// ends the field (zero count first, then byte count). Then the repeated byte, or the literals.
// Bytes after the last group are zero. False when the groups overrun `size` or are cut short.
bool ExpandGlyphBitmap(const std::vector<uint8_t>& coded, size_t size, std::vector<uint8_t>* bitmap);

// The picture of a page as a PNG file at `dpi` (area-averaged when below the page's resolution).
std::vector<uint8_t> PagePng(const Canvas& page, uint32_t dpi);

}  // namespace velm::jobrender
