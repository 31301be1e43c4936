// velm_rescomp: checks the resource library's string tables (data/strings/<code>.txt) and its
// dialogs, bitmaps and cursors (data/dialogs/*.txt), and writes the resource image of one
// language's library as a C++ source that puts it into the section the platform's resource
// functions read (core/resources.h; the dialog, bitmap and cursor formats are ui/dialog_template.h).
//
//   velm_rescomp --data <data folder> --language <code> [--out <file.cpp>] [--rc <file.rc>]
//   velm_rescomp --resources <folder> [--out <file.cpp>] [--rc <file.rc>]
//   velm_rescomp --fonts <device_fonts.txt> [--out <file.cpp>] [--rc <file.rc>]
//
// The second form compiles only the *.txt resource files of a folder, in the neutral language
// (the test programs' resource modules). The third compiles the graphics library's device-font
// resources (device_font_resources.h), in the neutral language. With --rc the same resources are also written as a
// Windows resource script, for windres to build the library's Windows form (see WriteScript).
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
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "core/resources.h"
#include "device_font_resources.h"
#include "generator_files.h"
#include "page_sources.h"
#include "ui/dialog_template.h"
#include "ui/style_names.h"
#include "ui/winuser.h"

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

// One resource of the image.
struct Resource {
  uint16_t type = 0;
  uint16_t name = 0;
  std::vector<uint8_t> data;
};

// String tables: one per sixteen ids that hold any string.
std::vector<Resource> StringTables(const std::map<long, std::u16string>& strings) {
  std::map<long, std::vector<const std::u16string*>> tables;
  for (const auto& [id, text] : strings) {
    auto& table = tables[id / velm::platform::kStringsPerTable + 1];
    table.resize(velm::platform::kStringsPerTable, nullptr);
    table[id % velm::platform::kStringsPerTable] = &text;
  }
  std::vector<Resource> out;
  for (const auto& [name, table] : tables) {
    Resource resource{6, static_cast<uint16_t>(name), {}};  // RT_STRING
    for (const std::u16string* text : table) {
      PutU16(resource.data, text ? static_cast<uint32_t>(text->size()) : 0);
      if (text)
        for (char16_t c : *text) PutU16(resource.data, c);
    }
    out.push_back(std::move(resource));
  }
  return out;
}

// The image of `resources` (unique by type and name), all in `language`, entries sorted.
std::vector<uint8_t> BuildImage(std::vector<Resource> resources, int language) {
  std::sort(resources.begin(), resources.end(),
            [](const Resource& a, const Resource& b) { return std::tie(a.type, a.name) < std::tie(b.type, b.name); });
  std::vector<uint8_t> image(velm::platform::kResourceMagic, velm::platform::kResourceMagic + 4);
  PutU16(image, velm::platform::kResourceVersion);
  PutU16(image, static_cast<uint32_t>(resources.size()));
  PutU32(image, 0);  // size, filled in below
  PutU32(image, 0);
  const size_t entries = image.size();
  image.resize(entries + resources.size() * velm::platform::kResourceEntryBytes);
  size_t entry = entries;
  for (const Resource& resource : resources) {
    while (image.size() % 4) image.push_back(0);
    const size_t offset = image.size();
    image.insert(image.end(), resource.data.begin(), resource.data.end());
    StoreU32(image, entry, resource.type | (uint32_t(resource.name) << 16));
    StoreU32(image, entry + 4, static_cast<uint32_t>(language));
    StoreU32(image, entry + 8, static_cast<uint32_t>(offset));
    StoreU32(image, entry + 12, static_cast<uint32_t>(resource.data.size()));
    entry += velm::platform::kResourceEntryBytes;
  }
  StoreU32(image, 8, static_cast<uint32_t>(image.size()));
  return image;
}

// ---- Dialogs, bitmaps and cursors -----------------------------------------------------------
// A resource file holds, one per line, '#' starting a comment:
//   dialog <id> "<caption>" <x> <y> <width> <height> [style <flags>] [exstyle <flags>] [font "<face>" <points>]
//     control <id> <class> "<text>" <x> <y> <width> <height> [style <flags>] [exstyle <flags>]
//   end
//   bitmap <id> <width> <height>      a placeholder of that size
//   bitmap <id> "<file.ppm>"          24-bit pixels from a binary PPM (P6, maxval 255) beside the file
//   cursor <id> <hot x> <hot y> <width> <height>
// Flags are names of window, dialog and control styles (ui/style_names.h) or numbers joined by
// '|'; "~NAME" removes a flag. A dialog without a style is a modal-frame popup with a caption;
// controls are always WS_CHILD and WS_VISIBLE unless "~WS_VISIBLE" says otherwise. A control id
// of -1 is 0xFFFF, as for labels.

constexpr uint32_t kDefaultDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
constexpr uint32_t kControlStyle = WS_CHILD | WS_VISIBLE;

// Splits a line into words; a quoted text is one word, kept with its quotes. False with a reason.
bool SplitWords(const std::string& line, std::vector<std::string>& words, std::string& why) {
  for (size_t at = 0; at < line.size();) {
    if (line[at] == ' ' || line[at] == '\t') {
      ++at;
      continue;
    }
    if (line[at] == '#') break;
    if (line[at] == '"') {
      size_t end = at + 1;
      for (; end < line.size() && line[end] != '"'; ++end)
        if (line[end] == '\\') ++end;
      if (end >= line.size()) return why = "the text has no closing quote", false;
      words.push_back(line.substr(at, end + 1 - at));
      at = end + 1;
      continue;
    }
    const size_t end = line.find_first_of(" \t#\"", at);
    words.push_back(line.substr(at, end == std::string::npos ? std::string::npos : end - at));
    at = end == std::string::npos ? line.size() : end;
  }
  return true;
}

bool ParseInt(const std::string& word, long& value) {
  if (!word.empty() && word[0] == '-') {
    if (!ParseLong(word.substr(1), value)) return false;
    value = -value;
    return true;
  }
  return ParseLong(word, value);
}

bool ParseFlags(const std::string& word, uint32_t& set, uint32_t& cleared, std::string& why) {
  std::istringstream parts(word);
  std::string part;
  while (std::getline(parts, part, '|')) {
    const bool remove = !part.empty() && part[0] == '~';
    if (remove) part.erase(0, 1);
    uint32_t value = 0;
    if (part.size() > 2 && part[0] == '0' && (part[1] == 'x' || part[1] == 'X') && part.size() <= 10 &&
        part.find_first_not_of("0123456789abcdefABCDEF", 2) == std::string::npos) {
      value = static_cast<uint32_t>(std::stoul(part.substr(2), nullptr, 16));
    } else if (long number = 0; ParseLong(part, number)) {
      value = static_cast<uint32_t>(number);
    } else if (const auto named = velm::ui::StyleValue(part)) {
      value = *named;
    } else {
      return why = "unknown flag \"" + part + "\"", false;
    }
    (remove ? cleared : set) |= value;
  }
  return true;
}

// A quoted word as UTF-16 text.
bool QuotedText(const std::string& word, std::u16string& text, std::string& why) {
  std::string utf8;
  if (!ParseQuoted(word, utf8, why)) return false;
  if (!AppendUtf8(utf8, text)) return why = "the text is not UTF-8", false;
  if (text.size() > velm::ui::kMaxTemplateText) return why = "the text is too long", false;
  return true;
}

// The words after the rectangle: style, exstyle, and for dialogs font.
bool ParseOptions(const std::vector<std::string>& words, size_t from, bool dialog, uint32_t& style, bool& styled,
                  uint32_t& cleared, uint32_t& exStyle, std::u16string* face, long* points, std::string& why) {
  for (size_t i = from; i < words.size(); ++i) {
    const std::string& key = words[i];
    if ((key == "style" || key == "exstyle") && i + 1 < words.size()) {
      uint32_t set = 0, off = 0;
      if (!ParseFlags(words[++i], set, off, why)) return false;
      if (key == "style") {
        style |= set;
        cleared |= off;
        styled = true;
      } else {
        exStyle = (exStyle | set) & ~off;
      }
    } else if (dialog && key == "font" && i + 2 < words.size()) {
      if (!QuotedText(words[++i], *face, why)) return false;
      if (!ParseLong(words[++i], *points) || *points < 1 || *points > 72) return why = "font size 1..72 expected", false;
    } else {
      return why = "unexpected \"" + key + "\"", false;
    }
  }
  return true;
}

bool ParseRect(const std::vector<std::string>& words, size_t from, LONG* out, std::string& why) {
  for (size_t i = 0; i < 4; ++i) {
    long value = 0;
    if (from + i >= words.size() || !ParseInt(words[from + i], value) || value < -32768 || value > 32767 ||
        (i >= 2 && value < 0))
      return why = "expected x, y, width and height", false;
    out[i] = static_cast<LONG>(value);
  }
  return true;
}

// A binary PPM (P6, maxval 255) as 24-bit RGB rows.
bool ReadPpm(const fs::path& file, velm::ui::BitmapResource& bitmap, std::string& why) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return why = file.filename().string() + " cannot be read", false;
  std::string magic;
  long width = 0, height = 0, maxval = 0;
  in >> magic;
  auto number = [&](long& value) {
    std::string word;
    while (in >> word && word[0] == '#') in.ignore(1 << 20, '\n');
    return ParseLong(word, value);
  };
  if (magic != "P6" || !number(width) || !number(height) || !number(maxval) || maxval != 255)
    return why = file.filename().string() + " is not a binary PPM with maxval 255", false;
  if (width < 1 || height < 1 || width > long(velm::ui::kMaxBitmapSide) || height > long(velm::ui::kMaxBitmapSide))
    return why = file.filename().string() + ": sides 1.." + std::to_string(velm::ui::kMaxBitmapSide) + " expected", false;
  in.get();  // the one white-space character before the pixels
  bitmap.width = static_cast<DWORD>(width);
  bitmap.height = static_cast<DWORD>(height);
  bitmap.bitsPerPixel = 24;
  bitmap.rgb.resize(size_t(width) * height * 3);
  if (!in.read(reinterpret_cast<char*>(bitmap.rgb.data()), static_cast<std::streamsize>(bitmap.rgb.size())) ||
      in.peek() != std::char_traits<char>::eof())
    return why = file.filename().string() + " does not hold exactly width * height pixels", false;
  return true;
}

// Reads one resource file, appending its resources; faults are reported through Fail.
void ReadResourceFile(const fs::path& file, std::vector<Resource>& out, std::map<std::pair<int, long>, std::string>& seen) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    Fail(file.filename().string(), "cannot be read");
    return;
  }
  auto claim = [&](int type, long id, const std::string& where) {
    const auto [at, fresh] = seen.emplace(std::make_pair(type, id), where);
    if (!fresh) Fail(where, "resource " + std::to_string(id) + " is defined already (" + at->second + ")");
    return fresh;
  };
  std::string line, why;
  std::optional<velm::ui::DialogTemplate> dialog;
  long dialogId = 0;
  std::string dialogWhere;
  bool dialogFine = true;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    const std::string where = file.filename().string() + ":" + std::to_string(number);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> words;
    why.clear();
    if (!SplitWords(line, words, why)) {
      Fail(where, why);
      dialogFine = false;
      continue;
    }
    if (words.empty()) continue;
    const std::string& kind = words[0];
    long id = 0;
    const bool idFine = words.size() > 1 && ParseLong(words[1], id) && id >= 1 && id <= 0xFFFF;
    if (kind == "control") {
      if (!dialog) {
        Fail(where, "a control outside a dialog");
        continue;
      }
      velm::ui::DialogControl control;
      long controlId = 0;
      LONG rect[4] = {};
      uint32_t style = kControlStyle, cleared = 0, exStyle = 0;
      bool styled = false;
      if (words.size() < 8 || !ParseInt(words[1], controlId) || controlId < -1 || controlId > 0xFFFF) {
        Fail(where, "expected: control <id> <class> \"<text>\" <x> <y> <width> <height>");
        dialogFine = false;
        continue;
      }
      if (!QuotedText("\"" + words[2] + "\"", control.className, why) || control.className.empty() ||
          !QuotedText(words[3], control.text, why) || !ParseRect(words, 4, rect, why) ||
          !ParseOptions(words, 8, false, style, styled, cleared, exStyle, nullptr, nullptr, why)) {
        Fail(where, why.empty() ? "malformed control" : why);
        dialogFine = false;
        continue;
      }
      control.id = controlId < 0 ? 0xFFFF : static_cast<DWORD>(controlId);
      control.style = style & ~cleared;
      control.exStyle = exStyle;
      control.x = rect[0], control.y = rect[1], control.width = rect[2], control.height = rect[3];
      if (dialog->controls.size() == velm::ui::kMaxTemplateControls) {
        Fail(where, "more than " + std::to_string(velm::ui::kMaxTemplateControls) + " controls");
        dialogFine = false;
        continue;
      }
      dialog->controls.push_back(std::move(control));
      continue;
    }
    if (kind == "end") {
      if (!dialog || words.size() != 1) {
        Fail(where, dialog ? "text after end" : "an end without a dialog");
        continue;
      }
      const auto bytes = velm::ui::EncodeDialogTemplate(*dialog);
      if (!bytes) Fail(dialogWhere, "the dialog does not fit its format");
      if (bytes && dialogFine && claim(5, dialogId, dialogWhere))  // RT_DIALOG
        out.push_back({5, static_cast<uint16_t>(dialogId), *bytes});
      dialog.reset();
      continue;
    }
    if (dialog) {
      Fail(where, "dialog " + std::to_string(dialogId) + " has no end before this line");
      dialog.reset();
    }
    if (!idFine) {
      Fail(where, "expected a resource id 1..65535 after \"" + kind + "\"");
      continue;
    }
    if (kind == "dialog") {
      velm::ui::DialogTemplate made;
      LONG rect[4] = {};
      uint32_t style = 0, cleared = 0;
      bool styled = false;
      long points = 0;
      const bool fine = words.size() >= 7 && QuotedText(words[2], made.caption, why) && ParseRect(words, 3, rect, why) &&
                        ParseOptions(words, 7, true, style, styled, cleared, made.exStyle, &made.fontFace, &points, why);
      if (!fine) Fail(where, why.empty() ? "expected: dialog <id> \"<caption>\" <x> <y> <width> <height>" : why);
      made.style = ((styled ? style : kDefaultDialogStyle) | (points ? DS_SETFONT : 0)) & ~cleared;
      made.pointSize = static_cast<WORD>(points);
      made.x = rect[0], made.y = rect[1], made.width = rect[2], made.height = rect[3];
      dialog = std::move(made);
      dialogId = id;
      dialogWhere = where;
      dialogFine = fine;
      continue;
    }
    if (kind == "bitmap") {
      velm::ui::BitmapResource bitmap;
      long width = 0, height = 0;
      if (words.size() == 3 && words[2][0] == '"') {
        std::string name;
        if (!ParseQuoted(words[2], name, why) || !ReadPpm(file.parent_path() / name, bitmap, why)) {
          Fail(where, why);
          continue;
        }
      } else if (words.size() == 4 && ParseLong(words[2], width) && ParseLong(words[3], height) && width >= 1 &&
                 height >= 1 && width <= long(velm::ui::kMaxBitmapSide) && height <= long(velm::ui::kMaxBitmapSide)) {
        bitmap.width = static_cast<DWORD>(width);
        bitmap.height = static_cast<DWORD>(height);
      } else {
        Fail(where, "expected: bitmap <id> <width> <height> or bitmap <id> \"<file.ppm>\"");
        continue;
      }
      if (claim(2, id, where)) out.push_back({2, static_cast<uint16_t>(id), velm::ui::EncodeBitmapResource(bitmap)});
      continue;
    }
    if (kind == "cursor") {
      long v[4] = {};
      bool fine = words.size() == 6;
      for (size_t i = 0; fine && i < 4; ++i) fine = ParseLong(words[2 + i], v[i]) && v[i] <= 256;
      if (!fine || v[2] < 1 || v[3] < 1 || v[0] >= v[2] || v[1] >= v[3]) {
        Fail(where, "expected: cursor <id> <hot x> <hot y> <width> <height>, the hot spot inside");
        continue;
      }
      const velm::ui::CursorResource cursor{DWORD(v[0]), DWORD(v[1]), DWORD(v[2]), DWORD(v[3])};
      if (claim(12, id, where)) {  // RT_GROUP_CURSOR, and RT_CURSOR for those who look there
        out.push_back({12, static_cast<uint16_t>(id), velm::ui::EncodeCursorResource(cursor)});
        out.push_back({1, static_cast<uint16_t>(id), velm::ui::EncodeCursorResource(cursor)});
      }
      continue;
    }
    Fail(where, "unknown line \"" + kind + "\"");
  }
  if (dialog) Fail(dialogWhere, "dialog " + std::to_string(dialogId) + " has no end");
}

// Every *.txt of `folder` in name order; an absent folder holds none.
std::vector<Resource> ReadResourceFolder(const fs::path& folder) {
  std::vector<Resource> out;
  std::error_code error;
  if (!fs::is_directory(folder, error)) return out;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(folder, error))
    if (entry.path().extension() == ".txt") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  std::map<std::pair<int, long>, std::string> seen;
  for (const fs::path& file : files) ReadResourceFile(file, out, seen);
  return out;
}

// ---- The pages' dialog templates ------------------------------------------------------------
// Every page source of data/pages becomes the dialog template of its page id, its captions taken
// from the language's strings (velm_tablegen has checked that every language holds them). Tab
// pages, nested sheets and the file dialogs' hook templates are child templates.

void FailFault(const std::string& where, const std::string& what) { Fail(where, what); }

std::vector<Resource> PageDialogs(const fs::path& data, const std::map<long, std::u16string>& strings) {
  std::vector<Resource> out;
  auto text = [&](char kind, int id, const std::string& where) -> std::u16string {
    if (kind == 'b') {
      const std::string number = std::to_string(id);
      return u"#" + std::u16string(number.begin(), number.end());
    }
    if (kind != 's') return u"";
    const auto found = strings.find(id);
    if (found == strings.end()) Fail(where, "string " + std::to_string(id) + " is missing");
    return found == strings.end() ? u"" : found->second;
  };
  for (const velm::data::PageSource& page : velm::data::ReadPageSources(data, FailFault)) {
    velm::ui::DialogTemplate dialog;
    dialog.caption = text(page.caption ? 's' : 0, page.caption, page.where);
    dialog.style = velm::data::IsChildTemplate(page.kind) ? WS_CHILD | DS_CONTROL
                                                          : kDefaultDialogStyle;
    dialog.width = page.width;
    dialog.height = page.height;
    for (const velm::data::PageControl& source : page.controls) {
      velm::ui::DialogControl control;
      control.id = static_cast<DWORD>(source.id);
      control.className.assign(source.className.begin(), source.className.end());
      control.text = text(source.captionKind, source.caption, source.where);
      control.style = (kControlStyle | source.style) & ~source.styleCleared;
      control.exStyle = source.exStyle;
      control.x = source.x, control.y = source.y, control.width = source.width, control.height = source.height;
      dialog.controls.push_back(std::move(control));
    }
    const auto bytes = velm::ui::EncodeDialogTemplate(dialog);
    if (!bytes) Fail(page.where, "the template is too large");
    else out.push_back({5, static_cast<uint16_t>(page.id), *bytes});  // RT_DIALOG
  }
  return out;
}

using velm::data::WriteAtomically;

bool WriteSource(const fs::path& out, const std::vector<uint8_t>& image, const std::string& code) {
  std::ostringstream file;
  file << "// Generated by velm_rescomp: the resource image of the \"" << code << "\" resource library.\n"
       << "__attribute__((section(\"" << velm::platform::kResourceSection
       << "\"), used, aligned(16))) const unsigned char kResourceImage[" << image.size() << "] = {";
  for (size_t i = 0; i < image.size(); ++i) file << (i % 20 == 0 ? "\n  " : " ") << int(image[i]) << ",";
  file << "\n};\n";
  return WriteAtomically(out, file.str());
}

// ---- The Windows resource script --------------------------------------------------------------
// The same resources in windres's syntax: a STRINGTABLE, DIALOGEX templates (coordinates copied
// as they are: Windows reads them as dialog units), BITMAP and CURSOR resources naming .bmp and
// .cur files written beside the script. Texts are L"..." with every unit outside printable ASCII
// as \xHHHH (windres reads at most four digits), so the script is ASCII whatever the language.

std::string Hex(uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

std::string ScriptText(std::u16string_view text) {
  std::string out = "L\"";
  for (const char16_t c : text) {
    if (c == u'"') out += "\"\"";
    else if (c == u'\\') out += "\\\\";
    else if (c == u'\n') out += "\\n";
    else if (c == u'\t') out += "\\t";
    else if (c >= 0x20 && c < 0x7F) out += static_cast<char>(c);
    else out += "\\x" + Hex(c, 4).substr(2);
  }
  return out + "\"";
}

std::string ScriptFileName(const fs::path& file) {
  return "\"" + fs::absolute(file).generic_string() + "\"";
}

void PutLe(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i));
}

// A BITMAPINFOHEADER without compression or palette.
void PutBitmapInfoHeader(std::string& out, uint32_t width, uint32_t height, uint16_t bits, uint32_t imageBytes) {
  PutLe(out, 40, 4);
  PutLe(out, width, 4);
  PutLe(out, height, 4);
  PutLe(out, 1, 2);
  PutLe(out, bits, 2);
  PutLe(out, 0, 4);  // BI_RGB
  PutLe(out, imageBytes, 4);
  out.append(16, '\0');  // resolution, colours used and important
}

// A 24-bit .bmp file: bottom-up rows of BGR, each padded to four bytes. A placeholder is white.
std::string BmpFile(const velm::ui::BitmapResource& bitmap) {
  const uint32_t stride = (bitmap.width * 3 + 3) & ~3u;
  const uint32_t pixels = stride * bitmap.height;
  std::string out = "BM";
  PutLe(out, 14 + 40 + pixels, 4);
  PutLe(out, 0, 4);
  PutLe(out, 14 + 40, 4);
  PutBitmapInfoHeader(out, bitmap.width, bitmap.height, 24, pixels);
  for (uint32_t row = bitmap.height; row-- > 0;) {
    std::string line(stride, '\0');
    for (uint32_t x = 0; x < bitmap.width; ++x)
      for (int c = 0; c < 3; ++c)
        line[x * 3 + c] = bitmap.bitsPerPixel ? static_cast<char>(bitmap.rgb[(size_t(row) * bitmap.width + x) * 3 + 2 - c])
                                              : '\xFF';
    out += line;
  }
  return out;
}

// A .cur file of one monochrome image of the cursor's size and hot spot, wholly transparent
// (the stand-in's cursors have no pixels).
std::string CurFile(const velm::ui::CursorResource& cursor) {
  const uint32_t stride = ((cursor.width + 31) / 32) * 4;
  const uint32_t masks = stride * cursor.height * 2;
  const uint32_t imageBytes = 40 + 8 + masks;
  std::string out;
  PutLe(out, 0, 2);
  PutLe(out, 2, 2);  // a cursor
  PutLe(out, 1, 2);
  PutLe(out, cursor.width & 0xFF, 1);  // 256 is written 0
  PutLe(out, cursor.height & 0xFF, 1);
  PutLe(out, 0, 2);
  PutLe(out, cursor.hotX, 2);
  PutLe(out, cursor.hotY, 2);
  PutLe(out, imageBytes, 4);
  PutLe(out, 22, 4);
  PutBitmapInfoHeader(out, cursor.width, cursor.height * 2, 1, masks);
  PutLe(out, 0, 4);         // black
  PutLe(out, 0xFFFFFF, 4);  // white
  out += std::string(masks / 2, '\0');     // XOR mask
  out += std::string(masks / 2, '\xFF');   // AND mask: transparent
  return out;
}

// Types from 256 up are the driver's own (the device fonts'); Windows' types lie below.
constexpr uint16_t kFirstOwnResourceType = 256;

// A resource of the driver's own type: its bytes in a file beside the script, named by type.
bool WriteRawResource(std::ostringstream& out, const fs::path& script, const Resource& resource,
                      const std::string& stem, const std::string& id) {
  const fs::path file = script.parent_path() / (stem + "_" + std::to_string(resource.type) + "_" + id + ".bin");
  if (!WriteAtomically(file, std::string(resource.data.begin(), resource.data.end()))) return false;
  out << "\n" << id << " " << resource.type << " " << ScriptFileName(file) << "\n";
  return true;
}

// The script of `resources` and `strings` in `language`; bitmaps and cursors go into files named
// after the script. False when a file cannot be written.
bool WriteScript(const fs::path& script, std::vector<Resource> resources, const std::map<long, std::u16string>& strings,
                 int language) {
  std::sort(resources.begin(), resources.end(),
            [](const Resource& a, const Resource& b) { return std::tie(a.type, a.name) < std::tie(b.type, b.name); });
  std::ostringstream out;
  out << "// Generated by velm_rescomp.\n"
      << "LANGUAGE " << Hex(language & 0x3FF, 2) << ", " << Hex(language >> 10, 2) << "\n";
  if (!strings.empty()) {
    out << "\nSTRINGTABLE\nBEGIN\n";
    for (const auto& [id, text] : strings) out << "  " << id << ", " << ScriptText(text) << "\n";
    out << "END\n";
  }
  const std::string stem = script.stem().string();
  for (const Resource& resource : resources) {
    const std::string id = std::to_string(resource.name);
    if (resource.type == 5) {  // RT_DIALOG
      const auto dialog = velm::ui::DecodeDialogTemplate(resource.data.data(), resource.data.size());
      if (!dialog) return false;
      out << "\n" << id << " DIALOGEX " << dialog->x << ", " << dialog->y << ", " << dialog->width << ", "
          << dialog->height << "\nCAPTION " << ScriptText(dialog->caption) << "\n";
      if (dialog->pointSize) out << "FONT " << dialog->pointSize << ", " << ScriptText(dialog->fontFace) << "\n";
      // STYLE last: CAPTION and FONT would add their own flags to it.
      out << "STYLE " << Hex(dialog->style, 8) << "\nEXSTYLE " << Hex(dialog->exStyle, 8) << "\nBEGIN\n";
      for (const velm::ui::DialogControl& control : dialog->controls) {
        // CONTROL adds WS_CHILD and WS_VISIBLE; NOT takes back what the control lacks.
        const DWORD lacking = (WS_CHILD | WS_VISIBLE) & ~control.style;
        out << "  CONTROL " << ScriptText(control.text) << ", " << (control.id == 0xFFFF ? -1L : long(control.id))
            << ", " << ScriptText(control.className) << ", " << Hex(control.style, 8)
            << (lacking ? " | NOT " + Hex(lacking, 8) : "") << ", " << control.x << ", " << control.y << ", "
            << control.width << ", " << control.height << ", " << Hex(control.exStyle, 8) << "\n";
      }
      out << "END\n";
    } else if (resource.type == 2) {  // RT_BITMAP
      const auto bitmap = velm::ui::DecodeBitmapResource(resource.data.data(), resource.data.size());
      const fs::path file = script.parent_path() / (stem + "_bitmap_" + id + ".bmp");
      if (!bitmap || !WriteAtomically(file, BmpFile(*bitmap))) return false;
      out << "\n" << id << " BITMAP " << ScriptFileName(file) << "\n";
    } else if (resource.type == 12) {  // RT_GROUP_CURSOR; windres writes its RT_CURSOR itself
      const auto cursor = velm::ui::DecodeCursorResource(resource.data.data(), resource.data.size());
      const fs::path file = script.parent_path() / (stem + "_cursor_" + id + ".cur");
      if (!cursor || !WriteAtomically(file, CurFile(*cursor))) return false;
      out << "\n" << id << " CURSOR " << ScriptFileName(file) << "\n";
    } else if (resource.type >= kFirstOwnResourceType) {
      if (!WriteRawResource(out, script, resource, stem, id)) return false;
    }
  }
  return WriteAtomically(script, out.str());
}

// Writes the resource image (`out`) and the resource script (`script`) that are asked for;
// the exit status.
int WriteOutputs(const fs::path& out, const fs::path& script, std::vector<Resource> resources,
                 const std::map<long, std::u16string>& strings, int language, const std::string& code) {
  if (g_errors > 0) {
    std::cerr << "velm_rescomp: " << g_errors << " fault(s); no resource image written\n";
    return 1;
  }
  if (!script.empty() && !WriteScript(script, resources, strings, language)) {
    std::cerr << "velm_rescomp: cannot write " << script.string() << " or its files\n";
    return 1;
  }
  for (Resource& table : StringTables(strings)) resources.push_back(std::move(table));
  if (!out.empty() && !WriteSource(out, BuildImage(std::move(resources), language), code)) {
    std::cerr << "velm_rescomp: cannot write " << out.string() << "\n";
    return 1;
  }
  return 0;
}

// The device-font resources of the graphics library; the exit status.
int WriteFontResources(const fs::path& fonts, const fs::path& out, const fs::path& script) {
  std::vector<velm::data::FontResource> read;
  std::string errors;
  if (!velm::data::ReadDeviceFontResources(fonts, read, errors)) {
    std::cerr << errors;
    ++g_errors;
  }
  std::vector<Resource> resources;
  for (velm::data::FontResource& font : read) resources.push_back(Resource{font.type, font.name, std::move(font.data)});
  return WriteOutputs(out, script, std::move(resources), {}, LANG_NEUTRAL, "velmgr");
}

}  // namespace

int main(int argc, char** argv) {
  fs::path data, out, script, resources, fonts;
  std::string code;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--data" && i + 1 < argc) data = argv[++i];
    else if (arg == "--language" && i + 1 < argc) code = argv[++i];
    else if (arg == "--out" && i + 1 < argc) out = argv[++i];
    else if (arg == "--rc" && i + 1 < argc) script = argv[++i];
    else if (arg == "--resources" && i + 1 < argc) resources = argv[++i];
    else if (arg == "--fonts" && i + 1 < argc) fonts = argv[++i];
    else data.clear(), i = argc;
  }
  if (!fonts.empty() && data.empty() && code.empty() && resources.empty()) return WriteFontResources(fonts, out, script);
  if (!resources.empty() && data.empty() && code.empty()) {
    if (!fs::is_directory(resources)) Fail(resources.string(), "is not a folder");
    return WriteOutputs(out, script, ReadResourceFolder(resources), {}, LANG_NEUTRAL, "test");
  }
  if (data.empty() || code.empty() || !resources.empty()) {
    std::cerr << "usage: velm_rescomp --data <folder> --language <code> [--out <file.cpp>] [--rc <file.rc>]\n"
                 "       velm_rescomp --resources <folder> [--out <file.cpp>] [--rc <file.rc>]\n"
                 "       velm_rescomp --fonts <device_fonts.txt> [--out <file.cpp>] [--rc <file.rc>]\n";
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

  std::vector<Resource> library = ReadResourceFolder(data / "dialogs");
  for (Resource& dialog : PageDialogs(data, strings)) library.push_back(std::move(dialog));
  return WriteOutputs(out, script, std::move(library), strings,
                      language == languages.end() ? LANG_NEUTRAL : language->second, code);
}
