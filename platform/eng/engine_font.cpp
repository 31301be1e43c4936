#include "eng/engine_font.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <string>

#include "eng/eng_internal.h"

namespace velm::platform::eng {
namespace {

constexpr char kUnifontPath[] = "/usr/share/unifont/unifont.hex";
constexpr int kHexRows = 16;
constexpr LONG kAsciiWidth = 5, kAsciiHeight = 7;

constexpr std::array<signed char, 256> kHexDigits = [] {
  std::array<signed char, 256> digits{};
  for (int c = 0; c < 256; ++c)
    digits[c] = static_cast<signed char>(c >= '0' && c <= '9'   ? c - '0'
                                         : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                         : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                                : -1);
  return digits;
}();

int HexDigit(char c) { return kHexDigits[static_cast<unsigned char>(c)]; }

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

HexGlyphs HexGlyphs::Read(std::string text) {
  HexGlyphs glyphs;
  glyphs.text_ = std::move(text);
  const std::string_view all = glyphs.text_;
  glyphs.offset_.assign(0x10000, 0);
  glyphs.wide_.assign(0x10000, 0);
  size_t start = 0;
  while (start < all.size()) {
    size_t end = all.find('\n', start);
    if (end == std::string_view::npos) end = all.size();
    std::string_view line = all.substr(start, end - start);
    const size_t lineStart = start;
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
    for (size_t i = 0; i < digits.size() && valid; ++i) valid = HexDigit(digits[i]) >= 0;
    if (!valid) continue;
    if (!glyphs.offset_[code]) ++glyphs.count_;
    glyphs.offset_[code] = static_cast<uint32_t>(lineStart + colon + 1 + 1);
    glyphs.wide_[code] = digits.size() == 64;
  }
  return glyphs;
}

const uint8_t* HexGlyphs::Rows(char16_t c, int* columns) const {
  if (offset_.empty() || !offset_[c]) return nullptr;
  const size_t bytes = wide_[c] ? 32 : 16;
  if (columns) *columns = wide_[c] ? 16 : 8;
  std::lock_guard lock(*mutex_);
  const auto [slot, fresh] = decoded_.try_emplace(c);
  if (fresh) {
    const char* digits = text_.data() + offset_[c] - 1;
    for (size_t i = 0; i < bytes; ++i)
      slot->second[i] = static_cast<uint8_t>(HexDigit(digits[2 * i]) * 16 + HexDigit(digits[2 * i + 1]));
  }
  return slot->second.data();
}

const HexGlyphs& UnifontGlyphs() {
  static const HexGlyphs glyphs = [] {
    std::ifstream file(kUnifontPath, std::ios::binary | std::ios::ate);
    std::string text;
    if (file) {
      text.resize(static_cast<size_t>(std::max<std::streamoff>(file.tellg(), 0)));
      file.seekg(0);
      file.read(text.data(), static_cast<std::streamsize>(text.size()));
      text.resize(static_cast<size_t>(file.gcount()));
    }
    return HexGlyphs::Read(std::move(text));
  }();
  return glyphs;
}

LONG EngineFontPixels(LONG units, LONG height) {
  return static_cast<LONG>((2 * int64_t{units} * height + kEngineFontCell) / (2 * kEngineFontCell));
}

bool EngineFontCovers(char16_t c) {
  if (Ascii(c)) return true;
  if (c < 0xA0 || (c >= 0xD800 && c <= 0xDFFF)) return false;
  return UnifontGlyphs().Columns(c) != 0;
}

bool EngineFontStates(char16_t c) {
  if (Ascii(c)) return true;
  return c >= 0xA0 && !(c >= 0xD800 && c <= 0xDFFF) && c < 0xFFFE;
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
  if (!Ascii(c)) columns = UnifontGlyphs().Columns(c);
  return EngineFontPixels(kEngineFontAdvance * columns / 8, std::clamp(height, kEngineFontMinHeight, kEngineFontMaxHeight));
}

}  // namespace velm::platform::eng
