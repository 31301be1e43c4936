// Reads data/device_fonts.txt into the device-font resources (formats in device_font_resources.h).
// Checks: malformed lines; an unknown metrics field or one out of its range; not exactly the
// four device faces in order (kinds 0..3), a face on a glyph set other than its kind's (2 for
// kinds 0 and 1, 3 for 2 and 3), a face name longer than 32 bytes in code page 932; a glyph set
// without ranges, with a range that code page 932 cannot hold, or that holds no character.
#include "device_font_resources.h"

#include <iconv.h>

#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include "generator_files.h"

namespace velm::data {
namespace {

constexpr uint16_t kCodePage = 932;
constexpr size_t kFaceBytes = 32;

// The device faces by kind, in UTF-8.
constexpr const char* kDeviceFaces[4] = {"\uFF7A\uFF9E\uFF7C\uFF6F\uFF78", "\u660E\u671D",
                                         "@\uFF7A\uFF9E\uFF7C\uFF6F\uFF78", "@\u660E\u671D"};

// IFIMETRICS fields the data may set: offset in the structure, width in bytes, signedness.
struct IfiField {
  const char* name;
  uint32_t offset;
  int width;
  bool isSigned;
};
constexpr IfiField kIfiFields[] = {
    {"jWinCharSet", 44, 1, false},          {"jWinPitchAndFamily", 45, 1, false},
    {"usWinWeight", 46, 2, false},          {"flInfo", 48, 4, false},
    {"fsSelection", 52, 2, false},          {"fsType", 54, 2, false},
    {"fwdUnitsPerEm", 56, 2, true},         {"fwdLowestPPEm", 58, 2, true},
    {"fwdWinAscender", 60, 2, true},        {"fwdWinDescender", 62, 2, true},
    {"fwdMacAscender", 64, 2, true},        {"fwdMacDescender", 66, 2, true},
    {"fwdMacLineGap", 68, 2, true},         {"fwdTypoAscender", 70, 2, true},
    {"fwdTypoDescender", 72, 2, true},      {"fwdTypoLineGap", 74, 2, true},
    {"fwdAveCharWidth", 76, 2, true},       {"fwdMaxCharInc", 78, 2, true},
    {"fwdCapHeight", 80, 2, true},          {"fwdXHeight", 82, 2, true},
    {"fwdUnderscoreSize", 100, 2, true},    {"fwdUnderscorePosition", 102, 2, true},
    {"fwdStrikeoutSize", 104, 2, true},     {"fwdStrikeoutPosition", 106, 2, true},
    {"chFirstChar", 108, 1, false},         {"chLastChar", 109, 1, false},
    {"chDefaultChar", 110, 1, false},       {"chBreakChar", 111, 1, false},
    {"wcDefaultChar", 116, 2, false},       {"wcBreakChar", 118, 2, false},
    {"ptlBaseline.x", 120, 4, true},        {"ptlBaseline.y", 124, 4, true},
    {"ptlAspect.x", 128, 4, true},          {"ptlAspect.y", 132, 4, true},
    {"ptlCaret.x", 136, 4, true},           {"ptlCaret.y", 140, 4, true},
    {"rclFontBox.left", 144, 4, true},      {"rclFontBox.top", 148, 4, true},
    {"rclFontBox.right", 152, 4, true},     {"rclFontBox.bottom", 156, 4, true},
};
constexpr uint32_t kFaceNameOffsets[] = {8, 12, 16, 20};  // family, style, face and unique name
constexpr uint32_t kWcFirstChar = 112, kWcLastChar = 114;

void Store(std::vector<uint8_t>& out, size_t at, uint32_t value, int width) {
  for (int i = 0; i < width; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}
void Put(std::vector<uint8_t>& out, uint32_t value, int width) {
  out.resize(out.size() + width);
  Store(out, out.size() - width, value, width);
}

std::optional<std::string> Convert(const char* to, const char* from, const std::string& in) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out(16 + in.size() * 4, '\0');
  char* source = const_cast<char*>(in.data());
  char* target = out.data();
  size_t sourceLeft = in.size(), targetLeft = out.size();
  const bool ok = iconv(cd, &source, &sourceLeft, &target, &targetLeft) != static_cast<size_t>(-1) && !sourceLeft;
  iconv_close(cd);
  if (!ok) return std::nullopt;
  out.resize(out.size() - targetLeft);
  return out;
}

bool ParseNumber(const std::string& word, long long& value) {
  try {
    size_t used = 0;
    value = std::stoll(word, &used, 0);
    return used == word.size();
  } catch (...) {
    return false;
  }
}

struct Face {
  std::string where;
  int id = 0;
  std::string name;  // UTF-8
  int glyphSet = 0;
  std::vector<std::pair<const IfiField*, long long>> overrides;  // this face's own metrics fields
};

const IfiField* FindField(const std::string& name) {
  for (const IfiField& f : kIfiFields)
    if (name == f.name) return &f;
  return nullptr;
}

bool InRange(const IfiField& field, long long value) {
  const long long bits = 8LL * field.width;
  const long long low = field.isSigned ? -(1LL << (bits - 1)) : 0;
  const long long high = field.isSigned ? (1LL << (bits - 1)) - 1 : (1LL << bits) - 1;
  return value >= low && value <= high;
}

// A glyph set: characters (UTF-16) to their code page 932 codes, in character order.
using GlyphMap = std::map<uint16_t, uint16_t>;

// Every character whose code page 932 code lies in [first, last], both ways.
void AddRange(GlyphMap& glyphs, uint32_t first, uint32_t last) {
  iconv_t cd = iconv_open("UTF-16LE", "CP932");
  iconv_t back = iconv_open("CP932", "UTF-16LE");
  for (uint32_t code = first; code <= last; ++code) {
    char in[2] = {static_cast<char>(code > 0xFF ? code >> 8 : code), static_cast<char>(code & 0xFF)};
    const size_t inBytes = code > 0xFF ? 2 : 1;
    char out[8], again[8];
    char* source = in;
    char* target = out;
    size_t sourceLeft = inBytes, targetLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &source, &sourceLeft, &target, &targetLeft) == static_cast<size_t>(-1) || targetLeft != 6) continue;
    // Only the code the character converts back to is its glyph handle (code page 932 has
    // several codes for some characters).
    char* backSource = out;
    char* backTarget = again;
    size_t backLeft = 2, againLeft = sizeof again;
    iconv(back, nullptr, nullptr, nullptr, nullptr);
    if (iconv(back, &backSource, &backLeft, &backTarget, &againLeft) == static_cast<size_t>(-1) ||
        sizeof again - againLeft != inBytes || std::memcmp(again, in, inBytes) != 0)
      continue;
    const uint16_t c = static_cast<uint16_t>(uint8_t(out[0]) | uint8_t(out[1]) << 8);
    glyphs.emplace(c, static_cast<uint16_t>(code));
  }
  iconv_close(cd);
  iconv_close(back);
}

std::vector<uint8_t> GlyphSetResource(const GlyphMap& glyphs) {
  std::vector<std::pair<uint16_t, uint16_t>> runs;
  for (const auto& [c, code] : glyphs) {
    if (!runs.empty() && runs.back().first + runs.back().second == c && runs.back().second < 0xFFFF) ++runs.back().second;
    else runs.emplace_back(c, 1);
  }
  std::vector<uint8_t> out = {'V', 'G', 'L', 'S'};
  Put(out, 1, 2);
  Put(out, kCodePage, 2);
  Put(out, 0, 4);  // size, below
  Put(out, static_cast<uint32_t>(glyphs.size()), 4);
  Put(out, static_cast<uint32_t>(runs.size()), 4);
  for (const auto& [first, count] : runs) {
    Put(out, first, 2);
    Put(out, count, 2);
  }
  for (const auto& [c, code] : glyphs) Put(out, code, 2);
  while (out.size() % 4) out.push_back(0);
  Store(out, 8, static_cast<uint32_t>(out.size()), 4);
  return out;
}

std::vector<uint8_t> MetricsResource(const Face& face, const std::vector<uint8_t>& ifiTemplate, const GlyphMap& glyphs,
                                     const std::string& face932, const std::u16string& face16) {
  std::vector<uint8_t> ifi = ifiTemplate;
  for (const auto& [field, value] : face.overrides) Store(ifi, field->offset, static_cast<uint32_t>(value), field->width);
  for (char16_t c : face16) Put(ifi, c, 2);
  Put(ifi, 0, 2);
  while (ifi.size() % 4) ifi.push_back(0);
  Store(ifi, 0, static_cast<uint32_t>(ifi.size()), 4);  // cjThis
  for (uint32_t at : kFaceNameOffsets) Store(ifi, at, kIfiMetricsBytes, 4);
  Store(ifi, kWcFirstChar, glyphs.begin()->first, 2);
  Store(ifi, kWcLastChar, glyphs.rbegin()->first, 2);

  std::vector<uint8_t> out = {'V', 'F', 'N', 'T'};
  Put(out, kMetricsHeaderBytes, 2);
  Put(out, 1, 2);
  Put(out, static_cast<uint32_t>(kMetricsHeaderBytes + ifi.size()), 4);
  Put(out, kMetricsHeaderBytes, 4);
  Put(out, static_cast<uint32_t>(ifi.size()), 4);
  Put(out, static_cast<uint32_t>(face.glyphSet), 2);
  Put(out, kCodePage, 2);
  std::string name = face932;
  name.resize(kFaceBytes, '\0');
  out.insert(out.end(), name.begin(), name.end());
  out.resize(kMetricsHeaderBytes, 0);
  out.insert(out.end(), ifi.begin(), ifi.end());
  return out;
}

}  // namespace

bool ReadDeviceFontResources(const std::filesystem::path& file, std::vector<FontResource>& out, std::string& errors) {
  std::ostringstream faults;
  const std::string name = file.filename().string();
  auto fail = [&](const std::string& where, const std::string& what) { faults << where << ": " << what << "\n"; };
  std::ifstream in(file);
  if (!in) fail(name, "cannot be read");
  std::vector<uint8_t> ifi(kIfiMetricsBytes, 0);
  std::vector<Face> faces;
  std::map<int, GlyphMap> glyphSets;
  ForEachDataLine(in, name, [&](const std::string& where, const std::string& kind, const std::vector<std::string>& rest) {
    long long a = 0, b = 0;
    if (kind == "ifi") {
      const IfiField* field = rest.empty() ? nullptr : FindField(rest[0]);
      if (rest.size() != 2 || !field || !ParseNumber(rest[1], a)) {
        fail(where, "expected: ifi <IFIMETRICS field> <number>");
        return;
      }
      if (!InRange(*field, a)) fail(where, std::string(field->name) + " out of range");
      Store(ifi, field->offset, static_cast<uint32_t>(a), field->width);
    } else if (kind == "face") {
      if (rest.size() < 3 || !ParseNumber(rest[0], a) || !ParseNumber(rest[2], b) || rest[1].size() < 2 ||
          rest[1].front() != '"' || rest[1].back() != '"') {
        fail(where, "expected: face <resource id> \"<face name>\" <glyph set id> [<field>=<number> ...]");
        return;
      }
      Face face{where, static_cast<int>(a), rest[1].substr(1, rest[1].size() - 2), static_cast<int>(b), {}};
      for (size_t i = 3; i < rest.size(); ++i) {
        const size_t equals = rest[i].find('=');
        const IfiField* field = equals == std::string::npos ? nullptr : FindField(rest[i].substr(0, equals));
        long long value = 0;
        if (!field || !ParseNumber(rest[i].substr(equals + 1), value) || !InRange(*field, value))
          fail(where, "\"" + rest[i] + "\" is not <IFIMETRICS field>=<number in range>");
        else face.overrides.emplace_back(field, value);
      }
      faces.push_back(std::move(face));
    } else if (kind == "glyphset") {
      if (rest.size() < 2 || !ParseNumber(rest[0], a)) {
        fail(where, "expected: glyphset <resource id> <first>-<last> ...");
        return;
      }
      GlyphMap& glyphs = glyphSets[static_cast<int>(a)];
      for (size_t i = 1; i < rest.size(); ++i) {
        const size_t dash = rest[i].find('-');
        long long first = 0, last = 0;
        if (dash == std::string::npos || !ParseNumber("0x" + rest[i].substr(0, dash), first) ||
            !ParseNumber("0x" + rest[i].substr(dash + 1), last) || first > last || last > 0xFCFC ||
            (first <= 0xFF) != (last <= 0xFF)) {
          fail(where, "\"" + rest[i] + "\" is not a range of code page 932 codes");
          continue;
        }
        const size_t before = glyphs.size();
        AddRange(glyphs, static_cast<uint32_t>(first), static_cast<uint32_t>(last));
        if (glyphs.size() == before) fail(where, "range " + rest[i] + " adds no character");
      }
    } else {
      fail(where, "unknown line kind \"" + kind + "\"");
    }
  });
  if (faces.size() != 4) fail(name, "expected the four device faces");
  for (size_t i = 0; i < faces.size() && i < 4; ++i) {
    const Face& face = faces[i];
    if (face.id != static_cast<int>(i) + 1) fail(face.where, "faces must be resources 1..4 in order");
    if (face.name != kDeviceFaces[i]) fail(face.where, "face " + std::to_string(i + 1) + " is not the device face of kind " + std::to_string(i));
    const int expectedSet = i < 2 ? 2 : 3;
    if (face.glyphSet != expectedSet)
      fail(face.where, "kind " + std::to_string(i) + " uses glyph set " + std::to_string(expectedSet));
  }
  for (int id : {2, 3})
    if (glyphSets[id].empty()) fail(name, "glyph set " + std::to_string(id) + " is missing or empty");
  for (const Face& face : faces) {
    const auto face932 = Convert("CP932", "UTF-8", face.name);
    const auto face16 = Convert("UTF-16LE", "UTF-8", face.name);
    if (!face932 || !face16 || face932->size() >= kFaceBytes) {
      fail(face.where, "the face name does not fit 31 bytes of code page 932");
      continue;
    }
    std::u16string utf16;
    for (size_t i = 0; i + 1 < face16->size(); i += 2)
      utf16 += static_cast<char16_t>(uint8_t((*face16)[i]) | uint8_t((*face16)[i + 1]) << 8);
    const GlyphMap& glyphs = glyphSets[face.glyphSet];
    if (glyphs.empty()) continue;
    out.push_back(FontResource{kMetricsResourceType, static_cast<uint16_t>(face.id),
                               MetricsResource(face, ifi, glyphs, *face932, utf16)});
  }
  for (const auto& [id, glyphs] : glyphSets) {
    if (id != 2 && id != 3) fail(name, "glyph set " + std::to_string(id) + " is not 2 or 3");
    else if (!glyphs.empty())
      out.push_back(FontResource{kGlyphSetResourceType, static_cast<uint16_t>(id), GlyphSetResource(glyphs)});
  }
  errors = faults.str();
  return errors.empty();
}

}  // namespace velm::data
