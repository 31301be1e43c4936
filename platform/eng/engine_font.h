// The engine font's glyphs at any pixel size: printable ASCII in the engine's own 5 x 7 design,
// every other character of the Basic Multilingual Plane that the host's unifont.hex covers in
// unifont's 16-row design. The engine draws its font with these, and the job renderer draws the
// printer's resident fonts with the same, so that a page the engine drew and the same page drawn
// from its records agree.
//
// The design: a cell 8 units high with the baseline 7 units down; half-width characters advance
// 6 units, full-width characters (16 columns in unifont) 12. At a cell `height` pixels high a
// design length u is round(u * height / 8) pixels, and each pixel of a glyph takes the design
// pixel under its centre (nearest neighbour): at whole multiples of 8 each pixel of the 5 x 7
// design is a whole square, as it was when the font came in those sizes only.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/wintypes.h"

namespace velm::platform::eng {

constexpr LONG kEngineFontCell = 8, kEngineFontAscent = 7, kEngineFontAdvance = 6;
// The cell heights the engine font is drawn at.
constexpr LONG kEngineFontMinHeight = 1, kEngineFontMaxHeight = 512;

// Glyphs read from unifont's .hex text: one line a character, "CODE:ROWS", the code point in
// hex and 16 rows of 2 (8 columns) or 4 (16 columns) hex digits, the leftmost pixel the high
// bit. Lines beyond the Basic Multilingual Plane, or of any other form, are skipped.
class HexGlyphs {
 public:
  // Indexes the lines of `text`; a glyph's rows are decoded when first asked for.
  static HexGlyphs Read(std::string text);
  // The 16 rows of c, columns / 8 bytes each, with its columns (8 or 16); null when missing.
  const uint8_t* Rows(char16_t c, int* columns) const;
  // Its columns (8 or 16) without decoding it; 0 when missing.
  int Columns(char16_t c) const { return offset_.empty() || !offset_[c] ? 0 : wide_[c] ? 16 : 8; }
  size_t Count() const { return count_; }

 private:
  std::string text_;
  std::vector<uint32_t> offset_;  // per code unit: 1 + its digits' offset in text_, 0 when missing
  std::vector<uint8_t> wide_;     // per code unit: 16 columns
  size_t count_ = 0;
  std::unique_ptr<std::mutex> mutex_ = std::make_unique<std::mutex>();
  mutable std::unordered_map<char16_t, std::array<uint8_t, 32>> decoded_;  // nodes stay put
};

// The host's unifont glyphs, read once from /usr/share/unifont/unifont.hex; none when missing.
const HexGlyphs& UnifontGlyphs();

// A design length in pixels at a cell `height` pixels high.
LONG EngineFontPixels(LONG units, LONG height);

// Whether the engine font draws c (control characters and surrogates it never does).
bool EngineFontCovers(char16_t c);

// The character set the engine font states (its glyph handles and glyph set): printable ASCII and
// U+00A0 on, less surrogates and U+FFFE/U+FFFF. A stated character it does not cover draws as the
// default character. Stating the set does not read the glyph file.
bool EngineFontStates(char16_t c);

// A glyph at a cell height: its bitmap starts at the cell's top-left corner (left 0, top minus
// the ascent from the baseline origin) and is as wide as the glyph's ink (ASCII) or its advance.
struct EngineGlyphBitmap {
  LONG top = 0;  // from the baseline origin: minus the ascent
  LONG width = 0, height = 0;
  LONG advance = 0;
  std::vector<BYTE> bits;  // rows of (width + 7) / 8 bytes, bit 7 the leftmost pixel
};
// False when the font does not cover c. `height` is kept within the font's cell heights.
bool DrawEngineGlyph(char16_t c, LONG height, EngineGlyphBitmap* out);
// The advance of c in pixels at a cell height; 0 when the font does not cover it.
LONG EngineGlyphAdvance(char16_t c, LONG height);

}  // namespace velm::platform::eng
