// velm_codepagegen: the device character set of the graphics library's text conversion
// (data/device_code_page.txt): its row table, its 32 single-byte specials and the bytes marked
// as lead bytes of the machine's double-byte code page. The set is derived from code pages 932
// and 1252 through iconv; the data file is that derivation written out, so that a change shows
// in review and the build refuses a file that no longer matches it.
//
//   velm_codepagegen --data <data folder> --out <file.cpp>    check the file and write the tables
//   velm_codepagegen --generate <file.txt>                   write the file from the code pages
//
// Derivation:
// - row r (the high byte of a UTF-16 character) is coded when code page 932 holds, both ways, a
//   character of that row: "whole" when one of them has a low byte of 0x80 or above, else "low"
//   (only low bytes below 0x80). Coded rows get lead bytes 0x01, 0x02, ... in row order; row 0
//   is "whole" with lead byte 0x9F, the lead byte every character below 256 takes in the
//   two-byte mode. Surrogate rows are never coded.
// - the specials are the device bytes 0x80..0x9F: code page 1252's character where it has one,
//   else the control character of the same number; sorted by character.
// - the marked bytes are code page 932's lead bytes: a special written as one of them would be
//   read as the first half of a two-byte character by a reader of the engine's conversion.
// Checks, each "file:line: what" with exit status 1 and no output: malformed lines; rows out of
// order or twice, a lead byte of 0 or used twice; not 32 specials, specials out of order, a
// device byte twice, a special the conversion never searches (below 256 and outside
// 0x80..0x9F); anything that differs from the derivation.
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "generator_files.h"

namespace fs = std::filesystem;

namespace {

constexpr int kSpecialCount = 32;
constexpr uint16_t kWholeRow = 0x80, kLowHalf = 0x40;
constexpr uint8_t kLatinLead = 0x9F;

struct Special {
  uint8_t device = 0;
  uint16_t code = 0;
};

struct CodePageTables {
  uint16_t rows[256] = {};  // lead byte << 8 | kWholeRow or kLowHalf; 0 not coded
  std::vector<Special> specials;
  bool marked[256] = {};
};

int g_errors = 0;
void Fail(const std::string& where, const std::string& what) {
  ++g_errors;
  if (g_errors <= 100) std::cerr << where << ": " << what << "\n";
}

// Converts `in` from one code page to another through iconv; nothing when iconv refuses any of it.
// The converters opened so far, closed when the program ends.
struct Converters {
  std::map<std::pair<std::string, std::string>, iconv_t> open;
  ~Converters() {
    for (const auto& [pair, cd] : open)
      if (cd && cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
  }
};

std::optional<std::string> Convert(const char* to, const char* from, const std::string& in) {
  static Converters converters;
  iconv_t& cd = converters.open[{to, from}];
  if (!cd) cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  std::string out(16 + in.size() * 4, '\0');
  char* source = const_cast<char*>(in.data());
  size_t sourceLeft = in.size();
  char* target = out.data();
  size_t targetLeft = out.size();
  const size_t done = iconv(cd, &source, &sourceLeft, &target, &targetLeft);
  const bool ended = iconv(cd, nullptr, nullptr, &target, &targetLeft) != static_cast<size_t>(-1);
  if (done == static_cast<size_t>(-1) || !ended || sourceLeft) return std::nullopt;
  out.resize(out.size() - targetLeft);
  return out;
}

std::string Utf16(uint16_t c) { return std::string{static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)}; }

// Whether code page 932 holds `c` both ways.
bool InCodePage932(uint16_t c) {
  const auto bytes = Convert("CP932", "UTF-16LE", Utf16(c));
  if (!bytes || bytes->empty()) return false;
  const auto back = Convert("UTF-16LE", "CP932", *bytes);
  return back && *back == Utf16(c);
}

// A lead byte: code page 932 reads it alone as the start of an incomplete character.
bool IsLeadByte932(uint8_t b) {
  iconv_t cd = iconv_open("UTF-16LE", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  char in[1] = {static_cast<char>(b)}, out[8];
  char* source = in;
  char* target = out;
  size_t sourceLeft = 1, targetLeft = sizeof out;
  const bool incomplete = iconv(cd, &source, &sourceLeft, &target, &targetLeft) == static_cast<size_t>(-1) &&
                          errno == EINVAL;
  iconv_close(cd);
  return incomplete;
}

CodePageTables Derive() {
  CodePageTables t;
  t.rows[0] = kLatinLead << 8 | kWholeRow;
  uint16_t lead = 1;
  for (int row = 1; row < 256; ++row) {
    if (row >= 0xD8 && row <= 0xDF) continue;
    bool low = false, high = false;
    for (int c = 0; c < 256; ++c) {
      if (InCodePage932(static_cast<uint16_t>(row << 8 | c))) (c < 0x80 ? low : high) = true;
    }
    if (low || high) t.rows[row] = static_cast<uint16_t>(lead++ << 8 | (high ? kWholeRow : kLowHalf));
  }
  for (int b = 0x80; b <= 0x9F; ++b) {
    const auto text = Convert("UTF-16LE", "CP1252", std::string(1, static_cast<char>(b)));
    uint16_t code = static_cast<uint16_t>(b);
    if (text && text->size() == 2) code = static_cast<uint16_t>(uint8_t((*text)[0]) | uint8_t((*text)[1]) << 8);
    t.specials.push_back(Special{static_cast<uint8_t>(b), code});
  }
  std::sort(t.specials.begin(), t.specials.end(), [](const Special& a, const Special& b) { return a.code < b.code; });
  for (int b = 0; b < 256; ++b) t.marked[b] = IsLeadByte932(static_cast<uint8_t>(b));
  return t;
}

std::string Hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

std::string Text(const CodePageTables& t) {
  std::ostringstream out;
  out << "# The device character set of the graphics library's text conversion, derived from code\n"
         "# pages 932 and 1252 by velm_codepagegen --generate (see data/generator/device_code_page.cpp);\n"
         "# the build refuses this file when it no longer matches that derivation. Numbers are hex.\n"
         "#\n"
         "# row <high byte of the character> <lead byte> <whole | low>: a coded row writes a character\n"
         "#   as its row's lead byte and its own low byte; \"low\" codes only low bytes below 0x80.\n";
  for (int row = 0; row < 256; ++row) {
    if (!t.rows[row]) continue;
    out << "row " << Hex(row, 2) << " " << Hex(t.rows[row] >> 8, 2) << " "
        << ((t.rows[row] & kWholeRow) ? "whole" : "low") << "\n";
  }
  out << "#\n# special <device byte> <character>: the 32 single-byte specials, sorted by character.\n";
  for (const Special& s : t.specials) out << "special " << Hex(s.device, 2) << " " << Hex(s.code, 4) << "\n";
  out << "#\n# marked <device byte> ...: lead bytes of the engine's code page; a special written as one of\n"
         "#   them is left to the engine's conversion.\n";
  std::string line;
  for (int b = 0; b < 256; ++b) {
    if (!t.marked[b]) continue;
    if (line.size() > 80) {
      out << "marked" << line << "\n";
      line.clear();
    }
    line += " " + Hex(b, 2);
  }
  if (!line.empty()) out << "marked" << line << "\n";
  return out.str();
}

bool ParseHex(const std::string& word, unsigned limit, unsigned& value) {
  if (word.empty() || word.size() > 4) return false;
  value = 0;
  for (char c : word) {
    const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (digit < 0) return false;
    value = value * 16 + static_cast<unsigned>(digit);
  }
  return value <= limit;
}

CodePageTables Read(const fs::path& file) {
  CodePageTables t;
  std::ifstream in(file);
  const std::string name = file.filename().string();
  if (!in) {
    Fail(name, "cannot be read");
    return t;
  }
  bool leadUsed[256] = {};
  int previousRow = -1;
  velm::data::ForEachDataLine(in, name, [&](const std::string& where, const std::string& kind,
                                            const std::vector<std::string>& rest) {
    unsigned a = 0, b = 0;
    if (kind == "row") {
      if (rest.size() != 3 || !ParseHex(rest[0], 0xFF, a) || !ParseHex(rest[1], 0xFF, b) ||
          (rest[2] != "whole" && rest[2] != "low")) {
        Fail(where, "expected: row <high byte> <lead byte> <whole|low>");
        return;
      }
      if (static_cast<int>(a) <= previousRow) Fail(where, "row " + Hex(a, 2) + " out of order or twice");
      if (b == 0) Fail(where, "a lead byte of 0");
      if (leadUsed[b]) Fail(where, "lead byte " + Hex(b, 2) + " used twice");
      leadUsed[b] = true;
      previousRow = static_cast<int>(a);
      t.rows[a] = static_cast<uint16_t>(b << 8 | (rest[2] == "whole" ? kWholeRow : kLowHalf));
    } else if (kind == "special") {
      if (rest.size() != 2 || !ParseHex(rest[0], 0xFF, a) || !ParseHex(rest[1], 0xFFFF, b)) {
        Fail(where, "expected: special <device byte> <character>");
        return;
      }
      if (b < 0x100 && (b < 0x80 || b > 0x9F)) Fail(where, "a special below 256 outside 80..9F is never searched");
      if (!t.specials.empty() && b <= t.specials.back().code) Fail(where, "specials out of order or twice");
      for (const Special& s : t.specials)
        if (s.device == a) Fail(where, "device byte " + Hex(a, 2) + " twice");
      t.specials.push_back(Special{static_cast<uint8_t>(a), static_cast<uint16_t>(b)});
    } else if (kind == "marked") {
      if (rest.empty()) Fail(where, "expected: marked <device byte> ...");
      for (const std::string& w : rest) {
        if (!ParseHex(w, 0xFF, a)) Fail(where, "\"" + w + "\" is not a byte");
        else t.marked[a] = true;
      }
    } else {
      Fail(where, "unknown line kind \"" + kind + "\"");
    }
  });
  if (t.specials.size() != kSpecialCount)
    Fail(name, std::to_string(t.specials.size()) + " specials, not " + std::to_string(kSpecialCount));
  return t;
}

void CompareWithDerivation(const CodePageTables& t, const CodePageTables& derived, const std::string& name) {
  for (int row = 0; row < 256; ++row) {
    if (t.rows[row] != derived.rows[row])
      Fail(name, "row " + Hex(row, 2) + " is " + Hex(t.rows[row], 4) + ", code page 932 gives " +
                     Hex(derived.rows[row], 4));
  }
  for (size_t i = 0; i < t.specials.size() && i < derived.specials.size(); ++i) {
    if (t.specials[i].device != derived.specials[i].device || t.specials[i].code != derived.specials[i].code)
      Fail(name, "special " + std::to_string(i) + " differs from code page 1252's " +
                     Hex(derived.specials[i].device, 2) + " " + Hex(derived.specials[i].code, 4));
  }
  for (int b = 0; b < 256; ++b) {
    if (t.marked[b] != derived.marked[b])
      Fail(name, "byte " + Hex(b, 2) + (derived.marked[b] ? " is a lead byte of code page 932 but not marked"
                                                          : " is marked but not a lead byte of code page 932"));
  }
}

std::string Source(const CodePageTables& t) {
  std::ostringstream out;
  out << "// Generated by velm_codepagegen from data/device_code_page.txt.\n"
         "#include \"gr2k/device_code_page.h\"\n\n"
         "extern const WORD kDeviceRowTable[256] = {";
  for (int i = 0; i < 256; ++i) out << (i % 12 == 0 ? "\n  " : " ") << "0x" << Hex(t.rows[i], 4) << ",";
  out << "\n};\n\nextern const DeviceSpecial kDeviceSpecials[kDeviceSpecialCount] = {";
  for (size_t i = 0; i < t.specials.size(); ++i)
    out << (i % 6 == 0 ? "\n  " : " ") << "{0x" << Hex(t.specials[i].device, 2) << ", 0x"
        << Hex(t.specials[i].code, 4) << "},";
  out << "\n};\n\nextern const BYTE kDeviceMarkedBytes[256] = {";
  for (int i = 0; i < 256; ++i) out << (i % 32 == 0 ? "\n  " : " ") << (t.marked[i] ? 1 : 0) << ",";
  out << "\n};\n";
  return out.str();
}

}  // namespace

int main(int argc, char** argv) {
  fs::path data, out, generate;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string arg = argv[i];
    if (arg == "--data") data = argv[i + 1];
    else if (arg == "--out") out = argv[i + 1];
    else if (arg == "--generate") generate = argv[i + 1];
  }
  if (generate.empty() == (data.empty() || out.empty())) {
    std::cerr << "usage: velm_codepagegen --data <folder> --out <file.cpp> | --generate <file.txt>\n";
    return 2;
  }
  if (!Convert("CP932", "UTF-16LE", Utf16(u'A')) || !Convert("CP1252", "UTF-16LE", Utf16(u'A'))) {
    std::cerr << "velm_codepagegen: iconv has no CP932 or CP1252\n";
    return 1;
  }
  const CodePageTables derived = Derive();
  if (!generate.empty()) return velm::data::WriteAtomically(generate, Text(derived)) ? 0 : 1;
  const fs::path file = data / "device_code_page.txt";
  const CodePageTables tables = Read(file);
  if (g_errors == 0) CompareWithDerivation(tables, derived, file.filename().string());
  if (g_errors > 0) {
    std::cerr << "velm_codepagegen: " << g_errors << " fault(s); no tables written\n";
    return 1;
  }
  if (!velm::data::WriteAtomically(out, Source(tables))) {
    std::cerr << "velm_codepagegen: cannot write " << out.string() << "\n";
    return 1;
  }
  int rows = 0;
  for (uint16_t r : tables.rows) rows += r != 0;
  std::cout << "device code page: " << rows << " rows, " << tables.specials.size() << " specials\n";
  return 0;
}
