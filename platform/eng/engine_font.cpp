#include "eng/engine_font.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

#include "eng/eng_internal.h"

namespace velm::platform::eng {
namespace {

constexpr char kUnifontPath[] = "/usr/share/unifont/unifont.hex";
constexpr int kHexRows = 16;
constexpr LONG kAsciiWidth = 5, kAsciiHeight = 7;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool Ascii(char16_t c) { return c >= 0x20 && c <= 0x7E; }

// Nearest-neighbour: `target` pixels of `source` ink, read through `inked(u, v)`.
template <class Inked>
void Scale(LONG sourceWidth, LONG sourceHeight, Inked inked, EngineGlyphBitmap* out) {
  const size_t stride = (static_cast<size_t>(out->width) + 7) / 8;
  out->bits.assign(stride * static_cast<size_t>(out->height), 0);
  for (LONG y = 0; y < out->height; ++y) {
    const LONG v = static_cast<LONG>((2 * int64_t{y} + 1) * sourceHeight / (2 * int64_t{out->height}));
    for (LONG x = 0; x < out->width; ++x) {
      const LONG u = static_cast<LONG>((2 * int64_t{x} + 1) * sourceWidth / (2 * int64_t{out->width}));
      if (inked(u, v)) out->bits[static_cast<size_t>(y) * stride + static_cast<size_t>(x) / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
    }
  }
}

}  // namespace

HexGlyphs HexGlyphs::Read(std::string_view text) {
  HexGlyphs glyphs;
  glyphs.offset_.assign(0x10000, 0);
  glyphs.wide_.assign(0x10000, 0);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const size_t colon = line.find(':');
    if (colon == 0 || colon == std::string_view::npos || colon > 6) continue;
    uint32_t code = 0;
    bool valid = true;
    for (size_t i = 0; i < colon && valid; ++i) {
      const int d = HexDigit(line[i]);
      valid = d >= 0;
      code = code * 16 + static_cast<uint32_t>(d);
    }
    const std::string_view digits = line.substr(colon + 1);
    if (!valid || code > 0xFFFF || (digits.size() != 32 && digits.size() != 64)) continue;
    std::vector<uint8_t> rows(digits.size() / 2);
    for (size_t i = 0; i < rows.size() && valid; ++i) {
      const int high = HexDigit(digits[2 * i]), low = HexDigit(digits[2 * i + 1]);
      valid = high >= 0 && low >= 0;
      rows[i] = static_cast<uint8_t>(high * 16 + low);
    }
    if (!valid) continue;
    if (!glyphs.offset_[code]) ++glyphs.count_;
    glyphs.offset_[code] = static_cast<uint32_t>(glyphs.rows_.size() + 1);
    glyphs.wide_[code] = digits.size() == 64;
    glyphs.rows_.insert(glyphs.rows_.end(), rows.begin(), rows.end());
  }
  return glyphs;
}

const uint8_t* HexGlyphs::Rows(char16_t c, int* columns) const {
  if (offset_.empty() || !offset_[c]) return nullptr;
  if (columns) *columns = wide_[c] ? 16 : 8;
  return rows_.data() + offset_[c] - 1;
}

const HexGlyphs& UnifontGlyphs() {
  static const HexGlyphs glyphs = [] {
    std::ifstream file(kUnifontPath, std::ios::binary);
    std::ostringstream text;
    if (file) text << file.rdbuf();
    return HexGlyphs::Read(text.str());
  }();
  return glyphs;
}

LONG EngineFontPixels(LONG units, LONG height) {
  return static_cast<LONG>((2 * int64_t{units} * height + kEngineFontCell) / (2 * kEngineFontCell));
}

bool EngineFontCovers(char16_t c) {
  if (Ascii(c)) return true;
  if (c < 0xA0 || (c >= 0xD800 && c <= 0xDFFF)) return false;
  return UnifontGlyphs().Rows(c, nullptr) != nullptr;
}

bool DrawEngineGlyph(char16_t c, LONG height, EngineGlyphBitmap* out) {
  if (!out || !EngineFontCovers(c)) return false;
  height = std::clamp(height, kEngineFontMinHeight, kEngineFontMaxHeight);
  out->top = -EngineFontPixels(kEngineFontAscent, height);
  if (Ascii(c)) {
    const BYTE* columns = BuiltinGlyphColumns(c);
    out->width = EngineFontPixels(kAsciiWidth, height);
    out->height = EngineFontPixels(kAsciiHeight, height);
    out->advance = EngineFontPixels(kEngineFontAdvance, height);
    Scale(kAsciiWidth, kAsciiHeight, [columns](LONG u, LONG v) { return (columns[u] >> v) & 1; }, out);
    return true;
  }
  int columns = 0;
  const uint8_t* rows = UnifontGlyphs().Rows(c, &columns);
  const LONG stride = columns / 8;
  out->width = out->advance = EngineFontPixels(kEngineFontAdvance * columns / 8, height);
  out->height = EngineFontPixels(kEngineFontCell, height);
  Scale(columns, kHexRows, [rows, stride](LONG u, LONG v) { return (rows[v * stride + u / 8] >> (7 - u % 8)) & 1; },
        out);
  return true;
}

LONG EngineGlyphAdvance(char16_t c, LONG height) {
  if (!EngineFontCovers(c)) return 0;
  int columns = 8;
  if (!Ascii(c)) UnifontGlyphs().Rows(c, &columns);
  return EngineFontPixels(kEngineFontAdvance * columns / 8, std::clamp(height, kEngineFontMinHeight, kEngineFontMaxHeight));
}

}  // namespace velm::platform::eng
