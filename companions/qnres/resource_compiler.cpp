// velm_rescomp: checks the resource library's string tables (data/strings/<code>.txt) and writes
// the resource image of one language's library as a C++ source that puts it into the section
// the platform's resource functions read (core/resources.h).
//
//   velm_rescomp --data <data folder> --language <code> [--out <file.cpp>]
//
// English ("us") is the fallback language: every library holds every English string, and a
// language's own file replaces the strings it translates. The language's identifier comes
// from languages.txt. Checks, each reported as "file:line: what" with exit status 1 and no
// output: malformed lines, ids out of order or outside 1..65535, bad escapes or UTF-8, texts
// longer than 1024 characters; a translation of an id English lacks, or one whose printf
// conversions differ from the English text's; English lacking a string the driver looks up
// (the alert messages of messages.txt, the decorated and unit strings, the name of every value
// of the items listed in kNamedItems).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/resources.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kFallbackCode = "us";
constexpr size_t kMaxTextChars = 1024;

// Strings the settings library and the interface look up by number.
struct IdRange {
  long first, last;
  const char* what;
};
constexpr IdRange kRequiredIds[] = {
    {29, 37, "output bin names"},
    {50017, 50025, "output bin names"},
    {109, 118, "user paper size names"},
    {153, 154, "unit names"},
    {204, 204, "the name of a value without one"},
};
// Items whose every value symbol needs its display name (string id = model value).
constexpr int kNamedItems[] = {7, 8, 13, 15};

int g_errors = 0;
void Fail(const std::string& where, const std::string& what) {
  ++g_errors;
  if (g_errors <= 200) std::cerr << where << ": " << what << "\n";
}

struct Text {
  std::string where;
  std::u16string text;
};
using StringTable = std::map<long, Text>;

bool ParseLong(const std::string& word, long& value) {
  if (word.empty() || word.size() > 9) return false;
  value = 0;
  for (char c : word) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

// Appends the UTF-8 text to `out` as UTF-16; false on a malformed sequence.
bool AppendUtf8(const std::string& in, std::u16string& out) {
  for (size_t i = 0; i < in.size();) {
    const auto c = static_cast<unsigned char>(in[i]);
    const size_t extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : 4;
    if (extra == 4 || extra >= in.size() - i) return false;
    uint32_t code = extra == 0 ? c : c & (0x3F >> extra);
    for (size_t k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(in[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    static constexpr uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    if (code >= 0x10000) {
      code -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (code >> 10));
      out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      out += static_cast<char16_t>(code);
    }
    i += extra + 1;
  }
  return true;
}

// `"text"` with \" \\ \n \t, then an optional '#' comment. False with a reason.
bool ParseQuoted(const std::string& rest, std::string& text, std::string& why) {
  size_t at = rest.find_first_not_of(" \t");
  if (at == std::string::npos || rest[at] != '"') return why = "expected a quoted text", false;
  for (++at; at < rest.size() && rest[at] != '"'; ++at) {
    if (rest[at] != '\\') {
      text += rest[at];
      continue;
    }
    if (++at == rest.size()) break;
    switch (rest[at]) {
      case '"': text += '"'; break;
      case '\\': text += '\\'; break;
      case 'n': text += '\n'; break;
      case 't': text += '\t'; break;
      default: return why = std::string("unknown escape \\") + rest[at], false;
    }
  }
  if (at >= rest.size()) return why = "the text has no closing quote", false;
  const size_t after = rest.find_first_not_of(" \t", at + 1);
  if (after != std::string::npos && rest[after] != '#') return why = "text after the closing quote", false;
  return true;
}

StringTable ReadStrings(const fs::path& file) {
  StringTable table;
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    Fail(file.filename().string(), "cannot be read");
    return table;
  }
  std::string line;
  long previous = 0;
  for (int number = 1; std::getline(in, line); ++number) {
    const std::string where = file.filename().string() + ":" + std::to_string(number);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') continue;
    const size_t end = line.find_first_of(" \t", start);
    long id = 0;
    if (!ParseLong(line.substr(start, end - start), id) || id < 1 || id > 0xFFFF) {
      Fail(where, "expected a string id 1..65535");
      continue;
    }
    if (id <= previous) Fail(where, "string " + std::to_string(id) + " out of order");
    previous = std::max(previous, id);
    std::string utf8, why;
    if (end == std::string::npos || !ParseQuoted(line.substr(end), utf8, why)) {
      Fail(where, why.empty() ? "expected a quoted text" : why);
      continue;
    }
    Text text{where, {}};
    if (!AppendUtf8(utf8, text.text)) Fail(where, "the text is not UTF-8");
    if (text.text.size() > kMaxTextChars) Fail(where, "the text is longer than 1024 characters");
    table.emplace(id, std::move(text));
  }
  return table;
}

// The printf conversions of a text, without flags, width and precision: "ld s d".
std::string Conversions(const std::u16string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != u'%') continue;
    if (i + 1 < text.size() && text[i + 1] == u'%') {
      ++i;
      continue;
    }
    std::string conversion;
    for (++i; i < text.size(); ++i) {
      const char16_t c = text[i];
      if (std::u16string_view(u"-+ #0123456789.*").find(c) != std::u16string_view::npos) continue;
      if (c == u'l' || c == u'h') {
        conversion += static_cast<char>(c);
        continue;
      }
      conversion += c < 0x80 ? static_cast<char>(c) : '?';
      break;
    }
    out += conversion + " ";
  }
  return out;
}

// The language identifiers of languages.txt by code: the table's sub-language, or the default
// sub-language where it gives none.
std::map<std::string, int> ReadLanguageIds(const fs::path& file) {
  std::map<std::string, int> ids;
  std::ifstream in(file);
  if (!in) Fail(file.filename().string(), "cannot be read");
  std::string line;
  while (std::getline(in, line)) {
    line = line.substr(0, line.find('#'));
    std::istringstream words(line);
    std::string value, primary, sub, cls, code;
    if (!(words >> value >> primary >> sub >> cls >> code)) continue;
    const int p = std::stoi(primary, nullptr, 0);
    const int s = std::stoi(sub, nullptr, 0);
    ids[code] = (s ? s : SUBLANG_DEFAULT) << 10 | p;
  }
  return ids;
}

// String ids of the messages (second column of messages.txt) and model values of the value
// symbols of kNamedItems, each with where it was named.
std::vector<std::pair<long, std::string>> NamedIds(const fs::path& data) {
  std::vector<std::pair<long, std::string>> ids;
  std::string line;
  std::ifstream messages(data / "messages.txt");
  for (int number = 1; std::getline(messages, line); ++number) {
    std::istringstream words(line.substr(0, line.find('#')));
    long message = 0, string = 0;
    if (words >> message >> string) ids.emplace_back(string, "messages.txt:" + std::to_string(number));
  }
  std::ifstream symbols(data / "value_symbols.txt");
  for (int number = 1; std::getline(symbols, line); ++number) {
    std::istringstream words(line.substr(0, line.find('#')));
    long item = 0, stored = 0, model = 0, flag = 0;
    if (!(words >> item >> stored >> model >> flag) || flag != 1) continue;
    if (std::find(std::begin(kNamedItems), std::end(kNamedItems), item) != std::end(kNamedItems))
      ids.emplace_back(model, "value_symbols.txt:" + std::to_string(number));
  }
  return ids;
}

void PutU16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  PutU16(out, v & 0xFFFF);
  PutU16(out, v >> 16);
}
void StoreU32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// The image: one string table per sixteen ids that hold any string, all in `language`.
std::vector<uint8_t> BuildImage(const std::map<long, std::u16string>& strings, int language) {
  std::map<long, std::vector<const std::u16string*>> tables;
  for (const auto& [id, text] : strings) {
    auto& table = tables[id / velm::platform::kStringsPerTable + 1];
    table.resize(velm::platform::kStringsPerTable, nullptr);
    table[id % velm::platform::kStringsPerTable] = &text;
  }
  std::vector<uint8_t> image(velm::platform::kResourceMagic, velm::platform::kResourceMagic + 4);
  PutU16(image, velm::platform::kResourceVersion);
  PutU16(image, static_cast<uint32_t>(tables.size()));
  PutU32(image, 0);  // size, filled in below
  PutU32(image, 0);
  const size_t entries = image.size();
  image.resize(entries + tables.size() * velm::platform::kResourceEntryBytes);
  size_t entry = entries;
  for (const auto& [name, table] : tables) {
    while (image.size() % 4) image.push_back(0);
    const size_t offset = image.size();
    for (const std::u16string* text : table) {
      PutU16(image, text ? static_cast<uint32_t>(text->size()) : 0);
      if (text)
        for (char16_t c : *text) PutU16(image, c);
    }
    image[entry] = 6;  // RT_STRING
    image[entry + 1] = 0;
    image[entry + 2] = static_cast<uint8_t>(name);
    image[entry + 3] = static_cast<uint8_t>(name >> 8);
    image[entry + 4] = static_cast<uint8_t>(language);
    image[entry + 5] = static_cast<uint8_t>(language >> 8);
    StoreU32(image, entry + 8, static_cast<uint32_t>(offset));
    StoreU32(image, entry + 12, static_cast<uint32_t>(image.size() - offset));
    entry += velm::platform::kResourceEntryBytes;
  }
  StoreU32(image, 8, static_cast<uint32_t>(image.size()));
  return image;
}

bool WriteSource(const fs::path& out, const std::vector<uint8_t>& image, const std::string& code) {
  const fs::path temporary = out.string() + ".tmp";
  {
    std::ofstream file(temporary, std::ios::trunc);
    file << "// Generated by velm_rescomp from data/strings: the resource image of the \"" << code
         << "\" resource library.\n"
         << "__attribute__((section(\"" << velm::platform::kResourceSection
         << "\"), used, aligned(16))) const unsigned char kResourceImage[" << image.size() << "] = {";
    for (size_t i = 0; i < image.size(); ++i) file << (i % 20 == 0 ? "\n  " : " ") << int(image[i]) << ",";
    file << "\n};\n";
    if (!file.flush()) return false;
  }
  std::error_code error;
  fs::rename(temporary, out, error);
  return !error;
}

}  // namespace

int main(int argc, char** argv) {
  fs::path data, out;
  std::string code;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--data" && i + 1 < argc) data = argv[++i];
    else if (arg == "--language" && i + 1 < argc) code = argv[++i];
    else if (arg == "--out" && i + 1 < argc) out = argv[++i];
    else data.clear(), i = argc;
  }
  if (data.empty() || code.empty()) {
    std::cerr << "usage: velm_rescomp --data <folder> --language <code> [--out <file.cpp>]\n";
    return 2;
  }

  const std::map<std::string, int> languages = ReadLanguageIds(data / "languages.txt");
  const auto language = languages.find(code);
  if (language == languages.end()) Fail("languages.txt", "no language with the code \"" + code + "\"");
  const StringTable fallback = ReadStrings(data / "strings" / (std::string(kFallbackCode) + ".txt"));
  StringTable own;
  if (code != kFallbackCode) own = ReadStrings(data / "strings" / (code + ".txt"));

  for (const IdRange& range : kRequiredIds)
    for (long id = range.first; id <= range.last; ++id)
      if (!fallback.count(id)) Fail("us.txt", "string " + std::to_string(id) + " is missing (" + range.what + ")");
  for (const auto& [id, where] : NamedIds(data))
    if (!fallback.count(id)) Fail(where, "string " + std::to_string(id) + " is missing from us.txt");

  std::map<long, std::u16string> strings;
  for (const auto& [id, text] : fallback) strings[id] = text.text;
  for (const auto& [id, text] : own) {
    const auto english = fallback.find(id);
    if (english == fallback.end()) {
      Fail(text.where, "string " + std::to_string(id) + " has no English text");
      continue;
    }
    if (Conversions(text.text) != Conversions(english->second.text))
      Fail(text.where, "the conversions differ from the English text's (" + english->second.where + ")");
    strings[id] = text.text;
  }

  if (g_errors > 0) {
    std::cerr << "velm_rescomp: " << g_errors << " fault(s); no resource image written\n";
    return 1;
  }
  if (out.empty()) return 0;
  if (!WriteSource(out, BuildImage(strings, language->second), code)) {
    std::cerr << "velm_rescomp: cannot write " << out.string() << "\n";
    return 1;
  }
  return 0;
}
