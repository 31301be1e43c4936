// velm_tablegen: reads the model family's text tables (data/*.txt), checks them, and writes
// the constant tables of the settings library as one C++ source file.
//
//   velm_tablegen --data <folder> [--out <file.cpp>] [--ids <file.h>] [--output-trays <file.cpp>]
//                 [--job-credential-names <file.h>] [--page-ids <file.h>] [--tray-slots <file.h>]
//
// --page-ids writes the header of page and control identifiers.
// --output-trays writes the interface's output-tray tables (data/output_trays.txt).
// --job-credential-names writes the header of the job-credential items' printer-data names
// (data/job_credential_names.txt).
// --tray-slots writes the header of the paper-tray slots and tray labels (data/tray_slots.txt).
// --out writes the tables, --ids the header of item identifiers; without either only the checks
// run. Every fault is reported as "file:line: what"; any fault
// ends the run with exit status 1 and no output file. On success the counts are printed beside
// the ones the item table is known to have.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "page_sources.h"
#include "saved_settings_values.h"
#include "tray_slots.h"

namespace fs = std::filesystem;

namespace {

// ---- Reporting --------------------------------------------------------------------------

int g_errors = 0;

void Fail(const std::string& where, const std::string& what) {
  ++g_errors;
  if (g_errors <= 200) std::cerr << where << ": " << what << "\n";
}

// ---- Reading ----------------------------------------------------------------------------

struct Line {
  std::string where;                 // "items.txt:12"
  std::vector<std::string> fields;   // whitespace-separated, comment removed
  std::string comment;               // text after '#', trimmed
};

std::vector<Line> ReadTable(const fs::path& file, bool required = true) {
  std::vector<Line> lines;
  std::ifstream in(file);
  if (!in) {
    if (required) Fail(file.filename().string(), "cannot be read");
    return lines;
  }
  std::string text;
  int number = 0;
  while (std::getline(in, text)) {
    ++number;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    Line line;
    line.where = file.filename().string() + ":" + std::to_string(number);
    const size_t hash = text.find('#');
    if (hash != std::string::npos) {
      line.comment = text.substr(hash + 1);
      const size_t start = line.comment.find_first_not_of(' ');
      line.comment = start == std::string::npos ? "" : line.comment.substr(start);
      text.resize(hash);
    }
    std::istringstream words(text);
    std::string word;
    while (words >> word) line.fields.push_back(word);
    if (!line.fields.empty()) lines.push_back(std::move(line));
  }
  return lines;
}

bool ParseNumber(const std::string& text, long long& value) {
  std::string_view s = text;
  bool negative = false;
  if (!s.empty() && s[0] == '-') {
    negative = true;
    s.remove_prefix(1);
  }
  int base = 10;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    s.remove_prefix(2);
  }
  if (s.empty()) return false;
  unsigned long long magnitude = 0;
  const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), magnitude, base);
  if (error != std::errc() || end != s.data() + s.size() || magnitude > 0xFFFFFFFFull) return false;
  value = negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
  return true;
}

bool Number(const Line& line, size_t column, const char* what, long long low, long long high,
            long long& value) {
  if (!ParseNumber(line.fields[column], value)) {
    Fail(line.where, std::string(what) + " \"" + line.fields[column] + "\" is not a number");
    return false;
  }
  if (value < low || value > high) {
    Fail(line.where, std::string(what) + " " + line.fields[column] + " is outside " +
                         std::to_string(low) + ".." + std::to_string(high));
    return false;
  }
  return true;
}

// Names end up in C++ string literals, so only plain identifier characters are allowed.
bool IsName(const std::string& text) {
  if (text.empty()) return false;
  return std::all_of(text.begin(), text.end(), [](unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '.';
  });
}

std::string Optional(const std::string& field) { return field == "-" ? "" : field; }

// ---- Item table -------------------------------------------------------------------------

constexpr int kSectionSize[4] = {0, 1260, 508, 2040};

struct Item {
  std::string where;
  int id = 0;
  std::string name;
  int section = 0;
  int type = 0;
  int length = 0;
  int offset = 0;
  int storage = 0;
  std::string group, keyName, map;
  int key = 0;
  long long code = 0;
  bool transfer = false, transfer2 = false, preset = false;
  std::string meaning;
};

int ParseType(const std::string& text) {
  static const std::map<std::string, int> kTypes = {{"s8", 1},  {"s16", 2},   {"s32", 3},   {"u8", 4},
                                                    {"u16", 5}, {"u32", 6},   {"ansi", 10}, {"wide", 11},
                                                    {"bytes", 9}};
  if (auto it = kTypes.find(text); it != kTypes.end()) return it->second;
  if (text.rfind("bit", 0) == 0) {
    long long n;
    if (ParseNumber(text.substr(3), n) && n >= 0 && n <= 31) return 16 + static_cast<int>(n);
  }
  return 0;
}

int NumberWidth(int type) {
  switch (type) {
    case 1: case 4: return 1;
    case 2: case 5: return 2;
    case 3: case 6: return 4;
    default: return 0;
  }
}

bool IsBit(int type) { return type >= 16 && type <= 47; }

// The identifier row n must hold: 1..962, then 10001..10277.
int ExpectedId(size_t row) { return row < 962 ? static_cast<int>(row) + 1 : static_cast<int>(row) - 962 + 10001; }
constexpr size_t kItemRows = 1239;

std::vector<Item> ReadItems(const fs::path& folder) {
  std::vector<Item> items;
  for (const Line& line : ReadTable(folder / "items.txt")) {
    if (line.fields.size() != 13) {
      Fail(line.where, "expected 13 columns, found " + std::to_string(line.fields.size()));
      continue;
    }
    Item item;
    item.where = line.where;
    long long v;
    if (Number(line, 0, "identifier", 0, 65535, v)) item.id = static_cast<int>(v);
    item.name = Optional(line.fields[1]);
    if (!item.name.empty() && !IsName(item.name)) Fail(line.where, "bad item name \"" + item.name + "\"");
    if (Number(line, 2, "section", 1, 3, v)) item.section = static_cast<int>(v);
    item.type = ParseType(line.fields[3]);
    if (item.type == 0) Fail(line.where, "unknown type \"" + line.fields[3] + "\"");
    if (Number(line, 4, "length", 1, 0xFFFF, v)) item.length = static_cast<int>(v);
    if (Number(line, 5, "offset", 0, 0xFFFF, v)) item.offset = static_cast<int>(v);
    if (Number(line, 6, "storage class", 0, 2, v)) item.storage = static_cast<int>(v);
    item.group = Optional(line.fields[7]);
    item.keyName = Optional(line.fields[8]);
    item.map = Optional(line.fields[9]);
    for (const std::string* text : {&item.group, &item.keyName, &item.map}) {
      if (!text->empty() && !IsName(*text)) Fail(line.where, "bad name \"" + *text + "\"");
    }
    if (Number(line, 10, "key", 0, 32767, v)) item.key = static_cast<int>(v);
    if (Number(line, 11, "code", 0, 0xFFFFFFFF, v)) item.code = v;
    const std::string& marks = line.fields[12];
    if (marks != "-") {
      for (char c : marks) {
        if (c == 'T') item.transfer = true;
        else if (c == 'S') item.transfer2 = true;
        else if (c == 'P') item.preset = true;
        else Fail(line.where, std::string("unknown mark '") + c + "'");
      }
    }
    item.meaning = line.comment;
    items.push_back(std::move(item));
  }
  return items;
}

// Identifiers, section bounds, widths, overlaps and bits.
void CheckItemLayout(const std::vector<Item>& items) {
  for (size_t row = 0; row < items.size(); ++row) {
    const Item& item = items[row];
    if (row < kItemRows && item.id != ExpectedId(row)) {
      Fail(item.where, "identifier " + std::to_string(item.id) + " out of order or missing: row " +
                           std::to_string(row) + " must hold " + std::to_string(ExpectedId(row)));
      break;  // every later row would repeat the same complaint
    }
  }
  if (items.size() != kItemRows && g_errors == 0) {
    Fail("items.txt", "has " + std::to_string(items.size()) + " rows, the table needs " +
                          std::to_string(kItemRows) + " (1..962 and 10001..10277)");
  }

  // Per section: which item owns each byte, and each bit of a byte given to bit items.
  std::vector<int> byteOwner[4], bitOwner[4];
  for (int s = 1; s <= 3; ++s) {
    byteOwner[s].assign(kSectionSize[s], 0);
    bitOwner[s].assign(kSectionSize[s] * 8, 0);
  }
  auto owner = [&](int id) { return "item " + std::to_string(id); };
  for (const Item& item : items) {
    if (item.section < 1 || item.section > 3 || item.type == 0 || item.length == 0) continue;
    const int size = kSectionSize[item.section];
    if (item.offset + item.length > size) {
      Fail(item.where, "field " + std::to_string(item.offset) + ".." +
                           std::to_string(item.offset + item.length - 1) + " lies outside section " +
                           std::to_string(item.section) + " (" + std::to_string(size) + " bytes)");
      continue;
    }
    if (const int width = NumberWidth(item.type); width != 0 && width != item.length) {
      Fail(item.where, "a number of this type is " + std::to_string(width) + " bytes, not " +
                           std::to_string(item.length));
      continue;
    }
    if (item.type == 11 && item.length % 2 != 0) Fail(item.where, "a wide string needs an even length");
    if (IsBit(item.type)) {
      const int byteIndex = (item.type - 16) / 8;
      if (byteIndex >= item.length) {
        Fail(item.where, "bit " + std::to_string(item.type - 16) + " lies outside its " +
                             std::to_string(item.length) + "-byte word");
        continue;
      }
      const int byte = item.offset + byteIndex;
      const int bit = byte * 8 + (item.type - 16) % 8;
      if (byteOwner[item.section][byte] > 0) {
        Fail(item.where, "bit lies in byte " + std::to_string(byte) + ", which " +
                             owner(byteOwner[item.section][byte]) + " uses");
      } else if (bitOwner[item.section][bit] != 0) {
        Fail(item.where, "two bit items on one bit: byte " + std::to_string(byte) + " bit " +
                             std::to_string((item.type - 16) % 8) + " is " +
                             owner(bitOwner[item.section][bit]) + "'s");
      } else {
        bitOwner[item.section][bit] = item.id;
        byteOwner[item.section][byte] = -1;  // a byte of bits
      }
      continue;
    }
    for (int b = item.offset; b < item.offset + item.length; ++b) {
      const int other = byteOwner[item.section][b];
      if (other != 0) {
        Fail(item.where, "field " + std::to_string(item.offset) + ".." +
                             std::to_string(item.offset + item.length - 1) + " overlaps " +
                             (other > 0 ? owner(other) : std::string("bit items")) + " at byte " +
                             std::to_string(b) + " of section " + std::to_string(item.section));
        break;
      }
      byteOwner[item.section][b] = item.id;
    }
  }
}

// ---- Value maps -------------------------------------------------------------------------

struct MapList {
  std::vector<std::pair<unsigned, unsigned>> rows;  // stored, model (0xFFFF: none)
  bool present = false;
};
struct ValueMap {
  std::string where;
  MapList first, second;
  bool used = false;
};

std::map<std::string, ValueMap> ReadValueMaps(const fs::path& folder) {
  std::map<std::string, ValueMap> maps;
  for (const Line& line : ReadTable(folder / "value_maps.txt")) {
    if (line.fields.size() < 2 || (line.fields[1] != "first" && line.fields[1] != "second")) {
      Fail(line.where, "expected: name first|second stored=model ... end");
      continue;
    }
    const std::string& name = line.fields[0];
    if (!IsName(name)) Fail(line.where, "bad map name \"" + name + "\"");
    ValueMap& map = maps[name];
    if (map.where.empty()) map.where = line.where;
    MapList& list = line.fields[1] == "first" ? map.first : map.second;
    if (list.present) {
      Fail(line.where, "map " + name + " has its " + line.fields[1] + " list twice");
      continue;
    }
    list.present = true;
    if (line.fields.back() != "end") {
      Fail(line.where, "value map " + name + " " + line.fields[1] + " list has no end");
    }
    const size_t last = line.fields.back() == "end" ? line.fields.size() - 1 : line.fields.size();
    std::set<unsigned> stored;
    for (size_t i = 2; i < last; ++i) {
      const std::string& pair = line.fields[i];
      const size_t equals = pair.find('=');
      long long s, m = 0xFFFF;
      if (equals == std::string::npos || !ParseNumber(pair.substr(0, equals), s) || s < 0 ||
          (pair.substr(equals + 1) != "none" && !ParseNumber(pair.substr(equals + 1), m))) {
        Fail(line.where, "bad pair \"" + pair + "\" (stored=model or stored=none)");
        continue;
      }
      if (m <= 0 || m > 0xFFFF) {
        Fail(line.where, "model value in \"" + pair + "\" must be 1..65534 (0 would end the list)");
        continue;
      }
      if (!stored.insert(static_cast<unsigned>(s)).second) {
        Fail(line.where, "stored value " + std::to_string(s) + " listed twice");
      }
      list.rows.emplace_back(static_cast<unsigned>(s), static_cast<unsigned>(m));
    }
    if (list.rows.empty()) Fail(line.where, "empty value list");
  }
  for (const auto& [name, map] : maps) {
    if (!map.first.present) Fail(map.where, "map " + name + " has a second list but no first");
  }
  return maps;
}

// ---- Symbols ----------------------------------------------------------------------------

struct ItemSymbol {
  std::string where;
  int key = 0, item = 0;
  std::string name;
};

struct ValueSymbol {
  std::string where;
  int item = 0, key = 0;
  unsigned value = 0, model = 0, flag = 0;
  std::string name;
};

std::vector<ItemSymbol> ReadItemSymbols(const fs::path& folder) {
  std::vector<ItemSymbol> symbols;
  for (const Line& line : ReadTable(folder / "item_symbols.txt")) {
    if (line.fields.size() != 3) {
      Fail(line.where, "expected: key item name");
      continue;
    }
    ItemSymbol symbol;
    symbol.where = line.where;
    long long v;
    if (Number(line, 0, "key", 1, 32767, v)) symbol.key = static_cast<int>(v);
    if (Number(line, 1, "item", 0, 32767, v)) symbol.item = static_cast<int>(v);
    symbol.name = line.fields[2];
    if (!IsName(symbol.name)) Fail(line.where, "bad symbol name \"" + symbol.name + "\"");
    symbols.push_back(std::move(symbol));
  }
  return symbols;
}

std::vector<ValueSymbol> ReadValueSymbols(const fs::path& folder) {
  std::vector<ValueSymbol> symbols;
  for (const Line& line : ReadTable(folder / "value_symbols.txt")) {
    if (line.fields.size() != 5) {
      Fail(line.where, "expected: item stored-value model-value flag name");
      continue;
    }
    ValueSymbol symbol;
    symbol.where = line.where;
    long long v;
    if (Number(line, 0, "item", 1, 32767, v)) symbol.item = static_cast<int>(v);
    if (Number(line, 1, "stored value", -0x80000000LL, 0xFFFFFFFF, v)) symbol.value = static_cast<unsigned>(v);
    if (Number(line, 2, "model value", 0, 0xFFFFFFFF, v)) symbol.model = static_cast<unsigned>(v);
    if (Number(line, 3, "flag", 0, 1, v)) symbol.flag = static_cast<unsigned>(v);
    symbol.name = line.fields[4];
    if (!IsName(symbol.name)) Fail(line.where, "bad value name \"" + symbol.name + "\"");
    symbols.push_back(std::move(symbol));
  }
  return symbols;
}

// ---- Messages, pages, small tables ------------------------------------------------------

struct Message {
  int id = 0, string = 0;
  std::string name;
};
struct Page {
  std::string where;
  int id = 0, key = 0;
  long long kind = 0, help = 0;
  int declared = 0;
  std::string name;
};
struct PageItem {
  std::string where;
  int page = 0, item = 0, control = 0, type = 0, help = 0, partner = 0;
  long long flags = 0;
};
struct Resolution { int id, x, y; };
struct Language { int value, primary, sub, cls; std::string code; };

std::vector<Message> ReadMessages(const fs::path& folder) {
  std::vector<Message> messages;
  std::set<int> ids;
  std::set<std::string> names;
  for (const Line& line : ReadTable(folder / "messages.txt")) {
    if (line.fields.size() != 3) {
      Fail(line.where, "expected: id string name");
      continue;
    }
    Message m;
    long long v;
    if (Number(line, 0, "message id", 1, 65535, v)) m.id = static_cast<int>(v);
    if (Number(line, 1, "string id", 0, 65535, v)) m.string = static_cast<int>(v);
    m.name = line.fields[2];
    if (!IsName(m.name)) Fail(line.where, "bad message name");
    if (!ids.insert(m.id).second) Fail(line.where, "message id " + std::to_string(m.id) + " twice");
    if (!names.insert(m.name).second) Fail(line.where, "message name " + m.name + " twice");
    messages.push_back(m);
  }
  return messages;
}

std::vector<Page> ReadPages(const fs::path& folder) {
  std::vector<Page> pages;
  std::set<int> ids;
  std::set<std::string> names;
  for (const Line& line : ReadTable(folder / "pages.txt")) {
    if (line.fields.size() != 6) {
      Fail(line.where, "expected: id symbol-key kind help-base rows name");
      continue;
    }
    Page p;
    p.where = line.where;
    long long v;
    if (Number(line, 0, "page id", 1, 65535, v)) p.id = static_cast<int>(v);
    if (Number(line, 1, "symbol key", 0, 65535, v)) p.key = static_cast<int>(v);
    Number(line, 2, "kind", 0, 0xFFFFFFFF, p.kind);
    Number(line, 3, "help base", 0, 0xFFFFFFFF, p.help);
    if (Number(line, 4, "rows", 0, 1000, v)) p.declared = static_cast<int>(v);
    p.name = line.fields[5];
    if (!IsName(p.name)) Fail(line.where, "bad page name");
    if (!ids.insert(p.id).second) Fail(line.where, "page id " + std::to_string(p.id) + " twice");
    if (!names.insert(p.name).second) Fail(line.where, "page name " + p.name + " twice");
    pages.push_back(p);
  }
  return pages;
}

std::vector<Resolution> ReadResolutions(const fs::path& folder) {
  std::vector<Resolution> rows;
  std::set<int> ids;
  for (const Line& line : ReadTable(folder / "resolutions.txt")) {
    if (line.fields.size() != 3) {
      Fail(line.where, "expected: id x y");
      continue;
    }
    long long id = 0, x = 0, y = 0;
    Number(line, 0, "resolution id", 1, 65535, id);
    Number(line, 1, "x dpi", 1, 65535, x);
    Number(line, 2, "y dpi", 1, 65535, y);
    if (!ids.insert(static_cast<int>(id)).second) Fail(line.where, "resolution id twice");
    rows.push_back({static_cast<int>(id), static_cast<int>(x), static_cast<int>(y)});
  }
  return rows;
}

std::vector<Language> ReadLanguages(const fs::path& folder) {
  std::vector<Language> rows;
  std::set<int> values;
  for (const Line& line : ReadTable(folder / "languages.txt")) {
    if (line.fields.size() != 5) {
      Fail(line.where, "expected: value primary sub class code");
      continue;
    }
    long long value = 0, primary = 0, sub = 0, cls = 0;
    Number(line, 0, "language value", 0, 0xFFFE, value);
    Number(line, 1, "primary language", 0, 0x3FF, primary);
    Number(line, 2, "sub-language", 0, 0x3F, sub);
    Number(line, 3, "class", 0, 65535, cls);
    const std::string& code = line.fields[4];
    if (code.size() != 2 || !IsName(code)) Fail(line.where, "language code must be two letters");
    if (!values.insert(static_cast<int>(value)).second) Fail(line.where, "language value twice");
    rows.push_back({static_cast<int>(value), static_cast<int>(primary), static_cast<int>(sub),
                    static_cast<int>(cls), code});
  }
  return rows;
}

// ---- Cross checks -----------------------------------------------------------------------

// The job-action items 224..239 are stored together as the u16 INI key "vdmAction", each at its
// bit's place: they must be the sixteen bits of one 16-bit word of section 1, each bit once, and
// no item may use the group key as its own.
void CheckActionGroup(const std::vector<Item>& items) {
  const Item* first = nullptr;
  unsigned bits = 0;
  for (const Item& item : items) {
    if (item.keyName == "vdmAction") Fail(item.where, "the key name vdmAction belongs to the job-action word");
    if (item.id < 224 || item.id > 239) continue;
    if (!first) first = &item;
    const int bit = item.type - 16;
    if (item.section != 1 || !IsBit(item.type) || item.length != 2 || bit > 15) {
      Fail(item.where, "a job-action item must be a bit of the 16-bit word (section 1, bit0..bit15, length 2)");
    } else if (item.offset != first->offset) {
      Fail(item.where, "the job-action items must share one word (offset " + std::to_string(first->offset) + ")");
    } else if (bits & (1u << bit)) {
      Fail(item.where, "job-action bit " + std::to_string(bit) + " used twice");
    } else {
      bits |= 1u << bit;
    }
  }
  if (first && bits != 0xFFFF) Fail(first->where, "the job-action items 224..239 must cover the sixteen bits of their word");
}

// A stored value must fit the item's field: a byte field holds 0..255, a 16-bit field 0..65535.
void CheckMapFitsField(const Item& item, const ValueMap& map) {
  const unsigned limit = item.length == 1 ? 0xFFu : item.length == 2 ? 0xFFFFu : 0xFFFFFFFFu;
  for (const MapList* list : {&map.first, &map.second})
    for (const auto& [stored, model] : list->rows)
      if (stored > limit)
        Fail(item.where, "value map " + item.map + " stores " + std::to_string(stored) + ", beyond the field of " +
                             item.name);
}

void CheckItemsAgainstTables(std::vector<Item>& items, std::map<std::string, ValueMap>& maps,
                             const std::vector<ItemSymbol>& itemSymbols,
                             std::vector<ValueSymbol>& valueSymbols) {
  std::map<int, const Item*> byId;
  std::map<std::string, const Item*> byName;
  std::map<int, const Item*> byKey;
  std::map<std::string, const Item*> printerDataNames;
  for (const Item& item : items) {
    byId[item.id] = &item;
    if (!item.name.empty() && !byName.emplace(item.name, &item).second) {
      Fail(item.where, "duplicate item name " + item.name + " (also " + byName[item.name]->where + ")");
    }
    if (item.key != 0 && !byKey.emplace(item.key, &item).second) {
      Fail(item.where, "command key " + std::to_string(item.key) + " used by two items");
    }
    if (!item.map.empty()) {
      auto it = maps.find(item.map);
      if (it == maps.end()) Fail(item.where, "unknown value map " + item.map);
      else it->second.used = true;
      if (it != maps.end()) CheckMapFitsField(item, it->second);
    }
    if (item.storage == 2 && item.keyName.empty()) Fail(item.where, "a settings-INI item needs a key name");
    if (item.section == 2 && item.storage == 1 && !item.keyName.empty() &&
        !printerDataNames.emplace(item.keyName, &item).second) {
      Fail(item.where, "printer-data value name " + item.keyName + " used twice");
    }
  }
  for (const auto& [name, map] : maps) {
    if (!map.used) Fail(map.where, "value map " + name + " is used by no item");
  }
  CheckActionGroup(items);

  std::map<int, const ItemSymbol*> symbolByKey;
  std::set<std::string> symbolNames;
  for (const ItemSymbol& symbol : itemSymbols) {
    if (!symbolByKey.emplace(symbol.key, &symbol).second) {
      Fail(symbol.where, "symbol key " + std::to_string(symbol.key) + " twice");
    }
    if (!symbolNames.insert(symbol.name).second) Fail(symbol.where, "duplicate symbol " + symbol.name);
    if (symbol.item != 0 && !byId.count(symbol.item)) {
      Fail(symbol.where, "symbol " + symbol.name + " names unknown item " + std::to_string(symbol.item));
    }
  }
  for (const Item& item : items) {
    if (item.key == 0) continue;
    auto it = symbolByKey.find(item.key);
    if (it == symbolByKey.end()) {
      Fail(item.where, "key " + std::to_string(item.key) + " has no symbol row");
    } else if (it->second->item != item.id) {
      Fail(item.where, "key " + std::to_string(item.key) + " belongs to symbol " + it->second->name +
                           " of item " + std::to_string(it->second->item));
    }
  }

  std::set<std::string> valueNames;
  for (ValueSymbol& symbol : valueSymbols) {
    if (!valueNames.insert(symbol.name).second) Fail(symbol.where, "duplicate value symbol " + symbol.name);
    auto it = byId.find(symbol.item);
    if (it == byId.end()) {
      Fail(symbol.where, "value symbol " + symbol.name + " for unknown item " + std::to_string(symbol.item));
      continue;
    }
    const Item& item = *it->second;
    symbol.key = item.key;
    if (item.map.empty()) {
      if (symbol.model != symbol.value) {
        Fail(symbol.where, "item " + std::to_string(item.id) +
                               " has no value map, so the model value must equal the stored value");
      }
      continue;
    }
    auto mapIt = maps.find(item.map);
    if (mapIt == maps.end()) continue;
    const std::pair<unsigned, unsigned> pair{symbol.value, symbol.model};
    const auto& first = mapIt->second.first.rows;
    const auto& second = mapIt->second.second.rows;
    if (std::find(first.begin(), first.end(), pair) == first.end() &&
        std::find(second.begin(), second.end(), pair) == second.end()) {
      Fail(symbol.where, "value symbol " + symbol.name + " (" + std::to_string(symbol.value) + " -> " +
                             std::to_string(symbol.model) + ") disagrees with value map " + item.map);
    }
  }
}

// Names of chains, lists, ranges and value sets become parts of C++ identifiers.
bool IsIdentifier(const std::string& text) {
  return !text.empty() && !(text[0] >= '0' && text[0] <= '9') &&
         std::all_of(text.begin(), text.end(), [](unsigned char c) {
           return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
         });
}

// ---- PJL command table ------------------------------------------------------------------

struct ChainTerm {
  unsigned flags = 0;  // 1 link, 2 or
  int item = 0;
  long long value = 0;
};
struct Chain {
  std::string where;
  std::vector<ChainTerm> terms;
  bool used = false;
};
struct ValueRowData {
  std::string where;
  std::string text, own, side, cond;
  long long value = 0;
  long long flags = 0;
};
struct ValueList {
  std::string where;
  std::vector<ValueRowData> rows;
  bool used = false;
};
struct CommandRowData {
  std::string where;
  std::string name, itemName, side, values, range, cond;
  int item = 0;
  long long sub = 0, flags = 0, access = 0, type = 0;
};
struct CommandTable {
  std::map<std::string, Chain> chains, ranges;  // a range is its condition chain
  std::map<std::string, ValueList> lists;
  std::vector<std::string> listOrder;  // first appearance, for stable output
  std::vector<CommandRowData> commands;
  std::vector<std::pair<std::string, int>> required;  // where, item
  struct Alias { std::string where; int item, commandItem; };
  std::vector<Alias> aliases;
  std::string forceFeedWhere;
  std::vector<std::string> forceFeed;
  struct Booklet { std::string where; long long booklet, base; };
  std::vector<Booklet> booklets;
  struct WaterMarkField { std::string where, itemName; long long kinds, skip, type; int item; };
  std::vector<WaterMarkField> waterMarkFields;
  std::string keywordWhere;
  std::vector<std::string> keyword;  // name, value
};

constexpr unsigned kCommandFromList = 0x1, kCommandModelNode = 0x2, kCommandTestOnCopy = 0x8,
                   kCommandForceFeed = 0x100, kCommandBinding = 0x800, kCommandBooklet = 0x1000,
                   kCommandLinked = 0x10000;
constexpr unsigned kValueFlagsKnown = 0x1 | 0x10 | 0x100;
constexpr long long kTypeKeywordPair = 0x20, kWaterMarkAllKinds = 0x10;

// "452=1", "or:441=128", "link:487=1".
bool ParseTerm(const Line& line, const std::string& text, ChainTerm& term) {
  std::string body = text;
  term.flags = 0;
  if (body.rfind("or:", 0) == 0) {
    term.flags = 2;
    body = body.substr(3);
  } else if (body.rfind("link:", 0) == 0) {
    term.flags = 1;
    body = body.substr(5);
  }
  const size_t equals = body.find('=');
  long long item = 0;
  if (equals == std::string::npos || !ParseNumber(body.substr(0, equals), item) || item < 1 || item > 65535 ||
      !ParseNumber(body.substr(equals + 1), term.value)) {
    Fail(line.where, "bad term \"" + text + "\" (item=value, or:item=value or link:item=value)");
    return false;
  }
  term.item = static_cast<int>(item);
  return true;
}

// Splits the fields from `first` on into name=value attributes; only `allowed` names are taken.
std::map<std::string, std::string> Attributes(const Line& line, size_t first, const std::set<std::string>& allowed) {
  std::map<std::string, std::string> attributes;
  for (size_t i = first; i < line.fields.size(); ++i) {
    const std::string& field = line.fields[i];
    const size_t equals = field.find('=');
    const std::string name = equals == std::string::npos ? field : field.substr(0, equals);
    if (equals == std::string::npos || !allowed.count(name)) {
      Fail(line.where, "unknown attribute \"" + field + "\"");
      continue;
    }
    if (!attributes.emplace(name, field.substr(equals + 1)).second) Fail(line.where, "attribute " + name + " twice");
  }
  return attributes;
}

long long ParseAccess(const Line& line, const std::string& text) {
  static const std::map<std::string, long long> kAccess = {{"job", 1}, {"option", 2}, {"value", 4}};
  long long access = 0;
  std::istringstream words(text);
  for (std::string word; std::getline(words, word, ',');) {
    auto it = kAccess.find(word);
    if (it == kAccess.end()) Fail(line.where, "unknown access \"" + word + "\" (job, option, value)");
    else access |= it->second;
  }
  return access;
}

long long ParseValueType(const Line& line, const std::string& text) {
  static const std::map<std::string, long long> kTypes = {
      {"enum", 0x1}, {"onoff", 0x4}, {"numeric", 0x8}, {"string", 0x10}};
  auto it = kTypes.find(text);
  if (it != kTypes.end()) return it->second;
  Fail(line.where, "unknown value type \"" + text + "\" (enum, onoff, numeric, string)");
  return 0;
}

CommandTable ReadCommandTable(const fs::path& folder) {
  CommandTable table;
  for (const Line& line : ReadTable(folder / "pjl_commands.txt")) {
    const std::string& kind = line.fields[0];
    long long v = 0;
    if (kind == "chain" || kind == "range") {
      if (line.fields.size() < 3) {
        Fail(line.where, "expected: " + kind + " NAME TERM...");
        continue;
      }
      const std::string& name = line.fields[1];
      if (!IsIdentifier(name)) Fail(line.where, "bad " + kind + " name \"" + name + "\"");
      auto& chains = kind == "chain" ? table.chains : table.ranges;
      if (chains.count(name)) {
        Fail(line.where, kind + " " + name + " twice (also " + chains[name].where + ")");
        continue;
      }
      Chain chain;
      chain.where = line.where;
      for (size_t i = 2; i < line.fields.size(); ++i) {
        ChainTerm term;
        if (ParseTerm(line, line.fields[i], term)) chain.terms.push_back(term);
      }
      chains.emplace(name, std::move(chain));
    } else if (kind == "value") {
      if (line.fields.size() < 4) {
        Fail(line.where, "expected: value LIST TEXT VALUE [flags=F] [side=CHAIN] [cond=CHAIN] [own=NAME]");
        continue;
      }
      const std::string& list = line.fields[1];
      if (!IsIdentifier(list)) Fail(line.where, "bad value list name \"" + list + "\"");
      ValueRowData row;
      row.where = line.where;
      row.text = line.fields[2];
      if (!IsName(row.text)) Fail(line.where, "bad value text \"" + row.text + "\"");
      if (!ParseNumber(line.fields[3], row.value)) Fail(line.where, "value \"" + line.fields[3] + "\" is not a number");
      auto attributes = Attributes(line, 4, {"flags", "side", "cond", "own"});
      if (attributes.count("flags") && (!ParseNumber(attributes["flags"], row.flags) || row.flags < 0 ||
                                        (row.flags & ~static_cast<long long>(kValueFlagsKnown)))) {
        Fail(line.where, "value flags \"" + attributes["flags"] + "\" must be a sum of 0x1, 0x10 and 0x100");
      }
      row.side = attributes["side"];
      row.cond = attributes["cond"];
      row.own = attributes["own"];
      if (!row.own.empty() && !IsName(row.own)) Fail(line.where, "bad own command name \"" + row.own + "\"");
      ValueList& values = table.lists[list];
      if (values.where.empty()) {
        values.where = line.where;
        table.listOrder.push_back(list);
      }
      values.rows.push_back(std::move(row));
    } else if (kind == "command") {
      if (line.fields.size() < 7) {
        Fail(line.where, "expected: command NAME ITEM ITEMNAME FLAGS ACCESS TYPE [attributes]");
        continue;
      }
      CommandRowData row;
      row.where = line.where;
      row.name = Optional(line.fields[1]);
      if (!row.name.empty() && !IsName(row.name)) Fail(line.where, "bad command name \"" + row.name + "\"");
      if (Number(line, 2, "item", 0, 65535, v)) row.item = static_cast<int>(v);
      row.itemName = Optional(line.fields[3]);
      Number(line, 4, "flags", 0, 0xFFFFFFFF, row.flags);
      row.access = ParseAccess(line, line.fields[5]);
      row.type = ParseValueType(line, line.fields[6]);
      auto attributes = Attributes(line, 7, {"sub", "side", "values", "range", "cond"});
      if (attributes.count("sub") && (!ParseNumber(attributes["sub"], row.sub) || row.sub < 0)) {
        Fail(line.where, "bad sub-id \"" + attributes["sub"] + "\"");
      }
      row.side = attributes["side"];
      row.values = attributes["values"];
      row.range = attributes["range"];
      row.cond = attributes["cond"];
      table.commands.push_back(std::move(row));
    } else if (kind == "required") {
      for (size_t i = 1; i < line.fields.size(); ++i) {
        if (ParseNumber(line.fields[i], v) && v >= 1 && v <= 65535) {
          table.required.push_back({line.where, static_cast<int>(v)});
        } else {
          Fail(line.where, "bad required item \"" + line.fields[i] + "\"");
        }
      }
    } else if (kind == "alias") {
      long long item = 0, command = 0;
      if (line.fields.size() != 3) Fail(line.where, "expected: alias ITEM COMMAND-ITEM");
      else if (Number(line, 1, "item", 1, 65535, item) && Number(line, 2, "command item", 1, 65535, command)) {
        table.aliases.push_back({line.where, static_cast<int>(item), static_cast<int>(command)});
      }
    } else if (kind == "forcefeed") {
      if (!table.forceFeedWhere.empty()) Fail(line.where, "forcefeed twice");
      table.forceFeedWhere = line.where;
      for (size_t i = 1; i < line.fields.size(); ++i) {
        if (!IsName(line.fields[i])) Fail(line.where, "bad forced-feed text \"" + line.fields[i] + "\"");
        table.forceFeed.push_back(line.fields[i]);
      }
    } else if (kind == "booklet") {
      long long booklet = 0, base = 0;
      if (line.fields.size() != 3) Fail(line.where, "expected: booklet VALUE BASE");
      else if (Number(line, 1, "booklet value", 0, 0xFFFF, booklet) &&
               Number(line, 2, "binding base", 1, 0xFFFF, base)) {
        table.booklets.push_back({line.where, booklet, base});
      }
    } else if (kind == "watermark") {
      CommandTable::WaterMarkField field{line.where, "", 0, 0, 0, 0};
      if (line.fields.size() != 6) {
        Fail(line.where, "expected: watermark KINDS SKIP TYPE ITEM ITEMNAME");
        continue;
      }
      if (line.fields[1] == "all") field.kinds = kWaterMarkAllKinds;
      else Number(line, 1, "kinds", 0, 1, field.kinds);
      Number(line, 2, "skip", 0, 17, field.skip);
      field.type = line.fields[3] == "keyword" ? kTypeKeywordPair : ParseValueType(line, line.fields[3]);
      if (Number(line, 4, "item", 0, 65535, v)) field.item = static_cast<int>(v);
      field.itemName = Optional(line.fields[5]);
      table.waterMarkFields.push_back(std::move(field));
    } else if (kind == "wmkeyword") {
      if (!table.keywordWhere.empty()) Fail(line.where, "wmkeyword twice");
      table.keywordWhere = line.where;
      if (line.fields.size() != 3 || !IsName(line.fields[1]) || !IsName(line.fields[2])) {
        Fail(line.where, "expected: wmkeyword NAME VALUE");
      } else {
        table.keyword = {line.fields[1], line.fields[2]};
      }
    } else {
      Fail(line.where, "unknown line kind \"" + kind + "\"");
    }
  }
  return table;
}

// Whether `value` can be stored in (and read back from) the item: numbers within their width,
// bits 0 or 1; byte types hold no number.
bool ValueFitsItem(const Item& item, long long value) {
  if (IsBit(item.type)) return value == 0 || value == 1;
  switch (item.type) {
    case 1: return value >= -128 && value <= 127;
    case 2: return value >= -32768 && value <= 32767;
    case 4: return value >= 0 && value <= 255;
    case 5: return value >= 0 && value <= 65535;
    case 3: case 6: return value >= -0x80000000LL && value <= 0xFFFFFFFFLL;
    default: return false;
  }
}

void CheckCommandTable(CommandTable& table, const std::vector<Item>& items) {
  std::map<int, const Item*> byId;
  for (const Item& item : items) byId[item.id] = &item;

  auto checkTerms = [&](const std::string& where, const std::string& what, const Chain& chain) {
    for (const ChainTerm& term : chain.terms) {
      auto it = byId.find(term.item);
      if (it == byId.end()) {
        Fail(where, what + ": unknown item " + std::to_string(term.item));
      } else if (!ValueFitsItem(*it->second, term.value)) {
        Fail(where, what + ": item " + std::to_string(term.item) + " cannot hold " + std::to_string(term.value));
      }
    }
  };
  for (const auto& [name, chain] : table.chains) checkTerms(chain.where, "chain " + name, chain);
  for (const auto& [name, range] : table.ranges) checkTerms(range.where, "range " + name, range);

  auto useChain = [&](const std::string& where, const std::string& name) {
    if (name.empty()) return;
    auto it = table.chains.find(name);
    if (it == table.chains.end()) Fail(where, "unknown chain " + name);
    else it->second.used = true;
  };
  for (auto& [name, list] : table.lists) {
    std::set<long long> values;
    for (const ValueRowData& row : list.rows) {
      useChain(row.where, row.side);
      useChain(row.where, row.cond);
      if (!values.insert(row.value).second) {
        Fail(row.where, "value " + std::to_string(row.value) + " twice in list " + name);
      }
    }
  }

  std::set<int> commandItems;
  std::set<std::string> names;
  const CommandRowData* bindingRow = nullptr;
  const CommandRowData* bookletRow = nullptr;
  bool forceFeedRow = false;
  for (const CommandRowData& row : table.commands) {
    if (!row.name.empty() && !names.insert(row.name).second) Fail(row.where, "command " + row.name + " twice");
    if (!commandItems.insert(row.item).second) {
      Fail(row.where, "item " + std::to_string(row.item) + " has two commands");
    }
    constexpr unsigned kKnownFlags = kCommandFromList | kCommandModelNode | kCommandTestOnCopy | kCommandForceFeed |
                                     kCommandBinding | kCommandBooklet | kCommandLinked;
    if (row.flags & ~static_cast<long long>(kKnownFlags)) {
      Fail(row.where, "unknown command flags");
    }
    if ((row.flags & (kCommandForceFeed | kCommandBinding | kCommandBooklet)) && !(row.flags & kCommandLinked)) {
      Fail(row.where, "flags 0x100, 0x800 and 0x1000 belong to linked commands (0x10000)");
    }
    if (row.access == 0) Fail(row.where, "a command needs an access");
    if (row.flags & kCommandForceFeed) forceFeedRow = true;
    if (row.flags & kCommandBinding) bindingRow = &row;
    if (row.flags & kCommandBooklet) bookletRow = &row;

    const Item* item = nullptr;
    if (row.item == 0) {
      if (!(row.flags & kCommandForceFeed)) Fail(row.where, "only the forced-feed command has no item");
    } else if (auto it = byId.find(row.item); it == byId.end()) {
      Fail(row.where, "unknown item " + std::to_string(row.item));
    } else {
      item = it->second;
      if (item->name != row.itemName) {
        Fail(row.where, "item " + std::to_string(row.item) + " is \"" + (item->name.empty() ? "-" : item->name) +
                            "\", not \"" + (row.itemName.empty() ? "-" : row.itemName) + "\"");
      }
    }

    useChain(row.where, row.side);
    useChain(row.where, row.cond);
    if (!row.values.empty()) {
      if (!(row.flags & kCommandFromList)) Fail(row.where, "a value list needs flag 0x1");
      auto it = table.lists.find(row.values);
      if (it == table.lists.end()) {
        Fail(row.where, "unknown value list " + row.values);
      } else {
        it->second.used = true;
        // A linked command keeps its value in a slot of its own, not in the item.
        if (item && !(row.flags & kCommandLinked)) {
          for (const ValueRowData& value : it->second.rows) {
            if (!ValueFitsItem(*item, value.value)) {
              Fail(value.where, "item " + std::to_string(row.item) + " of command " + row.name + " cannot hold " +
                                    std::to_string(value.value));
            }
          }
        }
      }
    } else if (row.flags & kCommandFromList) {
      Fail(row.where, "flag 0x1 needs a value list");
    }
    if (!row.range.empty()) {
      if (row.type != 0x8) Fail(row.where, "a range record belongs to a numeric command");
      auto it = table.ranges.find(row.range);
      if (it == table.ranges.end()) Fail(row.where, "unknown range " + row.range);
      else it->second.used = true;
    }
  }
  for (const auto& [name, chain] : table.chains) {
    if (!chain.used) Fail(chain.where, "chain " + name + " is used by nothing");
  }
  for (const auto& [name, range] : table.ranges) {
    if (!range.used) Fail(range.where, "range " + name + " is used by no command");
  }
  for (const auto& [name, list] : table.lists) {
    if (!list.used) Fail(list.where, "value list " + name + " is used by no command");
  }

  for (const auto& [where, item] : table.required) {
    if (!commandItems.count(item)) Fail(where, "required item " + std::to_string(item) + " has no command");
  }
  for (const CommandTable::Alias& alias : table.aliases) {
    if (!byId.count(alias.item)) Fail(alias.where, "unknown item " + std::to_string(alias.item));
    if (!commandItems.count(alias.commandItem)) {
      Fail(alias.where, "item " + std::to_string(alias.commandItem) + " has no command");
    }
  }
  if (!table.forceFeed.empty() && !forceFeedRow) {
    Fail(table.forceFeedWhere, "forced-feed texts without a forced-feed command");
  }
  if (forceFeedRow && table.forceFeed.empty()) {
    Fail("pjl_commands.txt", "the forced-feed command has no forcefeed texts");
  }

  // Every family must be a BOOKLET value, and its three binding codes BINDING values.
  auto listValues = [&](const CommandRowData* row) {
    std::set<long long> values;
    if (!row) return values;
    if (auto it = table.lists.find(row->values); it != table.lists.end()) {
      for (const ValueRowData& value : it->second.rows) values.insert(value.value);
    }
    return values;
  };
  const std::set<long long> booklets = listValues(bookletRow), bindings = listValues(bindingRow);
  std::set<long long> seen;
  for (const CommandTable::Booklet& family : table.booklets) {
    if (!seen.insert(family.booklet).second) {
      Fail(family.where, "booklet value " + std::to_string(family.booklet) + " twice");
    }
    if (!booklets.count(family.booklet)) {
      Fail(family.where, "booklet value " + std::to_string(family.booklet) + " is not a value of the booklet command");
    }
    for (long long code = family.base; code < family.base + 3; ++code) {
      if (!bindings.count(code)) {
        Fail(family.where, "binding code " + std::to_string(code) + " is not a value of the binding command");
      }
    }
  }
  if (bookletRow) {
    for (long long booklet : booklets) {
      if (!seen.count(booklet)) Fail(bookletRow->where, "booklet value " + std::to_string(booklet) + " has no family");
    }
  }

  // Watermark fields: each names an item of its name; only the keyword row has none, and the
  // keyword pair is given exactly when a row writes it. A skip may not run past the list.
  int keywordRows = 0;
  for (size_t i = 0; i < table.waterMarkFields.size(); ++i) {
    const CommandTable::WaterMarkField& field = table.waterMarkFields[i];
    if (field.type == kTypeKeywordPair) {
      ++keywordRows;
      if (field.item != 0) Fail(field.where, "the keyword row names no item");
    } else if (auto it = byId.find(field.item); it == byId.end()) {
      Fail(field.where, "unknown item " + std::to_string(field.item));
    } else if (it->second->name != field.itemName) {
      Fail(field.where, "item " + std::to_string(field.item) + " is \"" +
                            (it->second->name.empty() ? "-" : it->second->name) + "\", not \"" +
                            (field.itemName.empty() ? "-" : field.itemName) + "\"");
    }
    if (i + 1 + static_cast<size_t>(field.skip) > table.waterMarkFields.size()) {
      Fail(field.where, "skip " + std::to_string(field.skip) + " runs past the last watermark field");
    }
  }
  if (keywordRows > 1) Fail(table.keywordWhere.empty() ? "pjl_commands.txt" : table.keywordWhere, "two keyword rows");
  if ((keywordRows != 0) != !table.keyword.empty()) {
    Fail(table.keywordWhere.empty() ? "pjl_commands.txt" : table.keywordWhere,
         "a keyword row needs wmkeyword, and wmkeyword a keyword row");
  }
}

// ---- Device codes of the bidirectional query ----------------------------------------------------

struct CodeRow {
  std::string where;
  long long result = 0, code = 0;
};
struct SideEffect {
  std::string where;
  long long item = 0, code = 0, target = 0, value = 0;
};
struct DeviceCodes {
  std::vector<CodeRow> options;  // result = item
  std::vector<std::pair<std::string, long long>> grouped;
  std::vector<SideEffect> sideEffects;
  std::map<std::string, std::vector<CodeRow>> tables;
};

// The translation tables in the order the generated arrays hold them.
const std::vector<std::string> kTrayTables = {"trayfield", "trayorientation", "traypaper", "traymedia", "traylock"};
const std::vector<std::string> kOtherTables = {"trayvalue", "paper", "paper2", "media"};

DeviceCodes ReadDeviceCodes(const fs::path& folder) {
  DeviceCodes codes;
  std::set<std::string> known(kTrayTables.begin(), kTrayTables.end());
  known.insert(kOtherTables.begin(), kOtherTables.end());
  for (const Line& line : ReadTable(folder / "bidi_device_codes.txt")) {
    const std::string& kind = line.fields[0];
    if (kind == "option") {
      CodeRow row{line.where};
      if (line.fields.size() != 3) Fail(line.where, "expected: option ITEM CODE");
      else if (Number(line, 1, "item", 10014, 10109, row.result) && Number(line, 2, "code", 1, 0xFFFFFFFF, row.code)) {
        codes.options.push_back(row);
      }
    } else if (kind == "grouped") {
      for (size_t i = 1; i < line.fields.size(); ++i) {
        long long code = 0;
        if (Number(line, i, "code", 1, 0xFFFFFFFF, code)) codes.grouped.push_back({line.where, code});
      }
    } else if (kind == "sideeffect") {
      SideEffect e{line.where};
      if (line.fields.size() != 5) Fail(line.where, "expected: sideeffect ITEM CODE TARGET VALUE");
      else if (Number(line, 1, "item", 1, 65535, e.item) && Number(line, 2, "code", 1, 0xFFFFFFFF, e.code) &&
               Number(line, 3, "target", 1, 65535, e.target) && Number(line, 4, "value", 0, 0xFFFFFFFF, e.value)) {
        codes.sideEffects.push_back(e);
      }
    } else if (kind == "table") {
      CodeRow row{line.where};
      if (line.fields.size() != 4) {
        Fail(line.where, "expected: table NAME RESULT CODE");
      } else if (!known.count(line.fields[1])) {
        Fail(line.where, "unknown translation table \"" + line.fields[1] + "\"");
      } else if (Number(line, 2, "result", 1, 0xFFFF, row.result) && Number(line, 3, "code", 0, 0xFFFFFFFF, row.code)) {
        codes.tables[line.fields[1]].push_back(row);
      }
    } else {
      Fail(line.where, "unknown line kind \"" + kind + "\"");
    }
  }
  return codes;
}

void CheckDeviceCodes(DeviceCodes& codes, const std::vector<Item>& items) {
  std::map<int, const Item*> byId;
  for (const Item& item : items) byId[item.id] = &item;
  auto knownItem = [&](const std::string& where, long long id) {
    if (byId.count(static_cast<int>(id))) return true;
    Fail(where, "unknown item " + std::to_string(id));
    return false;
  };

  // A code listed twice in one table could never be found the second time.
  std::set<long long> optionCodes;
  std::set<std::pair<long long, long long>> optionPairs;
  for (const CodeRow& row : codes.options) {
    knownItem(row.where, row.result);
    if (!optionCodes.insert(row.code).second) Fail(row.where, "option code " + std::to_string(row.code) + " twice");
    optionPairs.insert({row.result, row.code});
  }
  if (codes.options.empty()) Fail("bidi_device_codes.txt", "no option codes");
  std::set<long long> grouped;
  for (const auto& [where, code] : codes.grouped) {
    if (!grouped.insert(code).second) Fail(where, "grouped code " + std::to_string(code) + " twice");
  }
  for (const SideEffect& e : codes.sideEffects) {
    if (!optionPairs.count({e.item, e.code})) {
      Fail(e.where, "item " + std::to_string(e.item) + " with code " + std::to_string(e.code) + " is no option row");
    }
    if (knownItem(e.where, e.target) && !ValueFitsItem(*byId[static_cast<int>(e.target)], e.value)) {
      Fail(e.where, "item " + std::to_string(e.target) + " cannot hold " + std::to_string(e.value));
    }
  }

  for (const std::vector<std::string>* names : {&kTrayTables, &kOtherTables}) {
    for (const std::string& name : *names) {
      const std::vector<CodeRow>& rows = codes.tables[name];
      if (rows.empty()) Fail("bidi_device_codes.txt", "translation table " + name + " has no rows");
      std::set<long long> seen;
      for (const CodeRow& row : rows) {
        if (!seen.insert(row.code).second) Fail(row.where, "code " + std::to_string(row.code) + " twice in " + name);
      }
    }
  }
  // The tray tables and the tray values follow one list of tray ids; the five item groups give
  // each tray the same slot.
  const std::vector<CodeRow>& first = codes.tables[kTrayTables[0]];
  std::vector<std::string> trayLists = kTrayTables;
  trayLists.push_back("trayvalue");
  for (const std::string& name : trayLists) {
    const std::vector<CodeRow>& rows = codes.tables[name];
    if (rows.size() != first.size()) {
      Fail(rows.empty() ? "bidi_device_codes.txt" : rows.front().where,
           name + " lists " + std::to_string(rows.size()) + " trays, " + kTrayTables[0] + " " +
               std::to_string(first.size()));
      continue;
    }
    for (size_t i = 0; i < rows.size(); ++i) {
      if (rows[i].code != first[i].code) {
        Fail(rows[i].where, "tray id " + std::to_string(rows[i].code) + " out of step with " + kTrayTables[0]);
      }
      if (name == "trayvalue") continue;
      knownItem(rows[i].where, rows[i].result);
      if (rows[i].result - rows[0].result != first[i].result - first[0].result) {
        Fail(rows[i].where, "item " + std::to_string(rows[i].result) + " is not the slot that " + kTrayTables[0] +
                                " gives this tray");
      }
    }
  }
}

// ---- Output -----------------------------------------------------------------------------

std::string WideLiteral(const std::string& text) { return text.empty() ? "nullptr" : "WSTR(\"" + text + "\")"; }
std::string AnsiLiteral(const std::string& text) { return "\"" + text + "\""; }

std::string MapArrayName(const std::string& name) { return "kMap_" + name; }

// The rows of a symbol table by name (bytes compared unsigned, rows of one name in table order),
// so that the parser looks names up by binary search without building an index.
template <class Symbol>
void WriteNameOrder(std::ostream& out, const char* name, const std::vector<Symbol>& symbols) {
  std::vector<int> order;
  for (size_t i = 0; i < symbols.size(); ++i)
    if (!symbols[i].name.empty()) order.push_back(static_cast<int>(i));
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return symbols[a].name < symbols[b].name; });
  out << "extern const int " << name << "[] = {";
  for (size_t i = 0; i < order.size(); ++i) out << (i % 16 ? " " : "\n    ") << order[i] << ",";
  out << "\n};\nextern const int " << name << "Count = " << order.size() << ";\n\n";
}

void WriteTables(std::ostream& out, const std::vector<Item>& items, const std::map<std::string, ValueMap>& maps,
                 const std::vector<ItemSymbol>& itemSymbols, const std::vector<ValueSymbol>& valueSymbols,
                 const std::vector<Message>& messages, const std::vector<Page>& pages,
                 const std::vector<PageItem>& pageItems, const std::vector<Resolution>& resolutions,
                 const std::vector<Language>& languages) {
  out << "// Generated by velm_tablegen from the text tables under data/. Edit those, not this.\n"
         "#include \"settings/constraints/command_code_data.h\"\n"
         "#include \"settings/items/data.h\"\n\n"
         "namespace {\n\n";
  // Each map: the first list, its terminator, then the second list and its terminator, so
  // that a reader walking past the first terminator finds the second.
  for (const auto& [name, map] : maps) {
    out << "const ItemValueMapRow " << MapArrayName(name) << "[] = {\n";
    for (const MapList* list : {&map.first, &map.second}) {
      if (!list->present) continue;
      for (const auto& [stored, model] : list->rows) out << "    {" << stored << "u, " << model << ", 0},\n";
      out << "    {0, 0, 0},\n";
    }
    out << "};\n";
  }
  out << "\n";
  std::map<int, std::vector<const PageItem*>> rowsOfPage;
  for (const PageItem& row : pageItems) rowsOfPage[row.page].push_back(&row);
  for (const auto& [page, rows] : rowsOfPage) {
    out << "const PageItemTemplate kPageItems_" << page << "[] = {\n";
    for (const PageItem* r : rows) {
      out << "    {" << r->item << ", " << r->control << ", " << r->type << ", " << r->help << ", " << r->partner
          << ", 0x" << std::hex << r->flags << std::dec << "u, nullptr, nullptr, nullptr, nullptr, 0},\n";
    }
    out << "};\n";
  }
  out << "}  // namespace\n\n";

  out << "extern const ItemTableRow kItemRows[] = {\n";
  for (const Item& item : items) {
    out << "    {" << item.id << ", " << item.key << ", MakeItemDescriptor(" << item.section << ", "
        << item.type << ", " << item.length << "), " << item.offset << ", " << item.storage << ", 0, "
        << WideLiteral(item.group) << ", " << WideLiteral(item.keyName) << ", "
        << (item.map.empty() ? "nullptr" : MapArrayName(item.map)) << ", " << item.code << "u, "
        << (item.transfer ? 1 : 0) << ", " << (item.transfer2 ? 1 : 0) << ", " << (item.preset ? 1 : 0)
        << ", 0, 0, " << WideLiteral(item.name) << "},";
    if (!item.meaning.empty()) out << "  // " << item.meaning;
    out << "\n";
  }
  out << "};\nextern const int kItemRowCount = " << items.size() << ";\n\n";

  out << "extern const ItemSymbolRow kItemSymbols[] = {\n";
  for (const ItemSymbol& s : itemSymbols) out << "    {" << s.item << ", " << s.key << ", " << AnsiLiteral(s.name) << "},\n";
  out << "};\nextern const int kItemSymbolCount = " << itemSymbols.size() << ";\n\n";
  WriteNameOrder(out, "kItemSymbolsByName", itemSymbols);

  out << "extern const ValueSymbolRow kValueSymbols[] = {\n";
  for (const ValueSymbol& s : valueSymbols) {
    out << "    {" << s.item << ", " << s.key << ", " << s.value << "u, " << AnsiLiteral(s.name) << ", " << s.flag
        << ", " << s.model << "u},\n";
  }
  out << "};\nextern const int kValueSymbolCount = " << valueSymbols.size() << ";\n\n";
  WriteNameOrder(out, "kValueSymbolsByName", valueSymbols);

  out << "extern const MessageRow kMessageRows[] = {\n";
  for (const Message& m : messages) out << "    {" << m.id << ", " << m.string << ", 0, " << AnsiLiteral(m.name) << ", 0},\n";
  out << "};\nextern const int kMessageRowCount = " << messages.size() << ";\n\n";

  // Static page rows are read-only: a context copies the pages and their control rows before it
  // binds them, so the non-const pointer type never leads to a write here.
  out << "extern const PageTemplate kPageTemplates[] = {\n";
  for (const Page& p : pages) {
    const auto it = rowsOfPage.find(p.id);
    const size_t count = it == rowsOfPage.end() ? 0 : it->second.size();
    out << "    {" << p.id << ", " << p.key << ", 0x" << std::hex << p.kind << std::dec << "u, " << AnsiLiteral(p.name)
        << ", " << p.help << "u, " << count << "u, "
        << (count ? "const_cast<PageItemTemplate*>(kPageItems_" + std::to_string(p.id) + ")" : std::string("nullptr"))
        << ", {}},\n";
  }
  out << "};\nextern const int kPageTemplateCount = " << pages.size() << ";\n\n";

  out << "extern const SecondValueMap kSecondValueMaps[] = {\n";
  int seconds = 0;
  for (const auto& [name, map] : maps) {
    if (!map.second.present) continue;
    out << "    {" << MapArrayName(name) << ", " << MapArrayName(name) << " + " << map.first.rows.size() + 1 << "},\n";
    ++seconds;
  }
  if (seconds == 0) out << "    {nullptr, nullptr},\n";
  out << "};\nextern const int kSecondValueMapCount = " << seconds << ";\n\n";

  out << "extern const CapsResolutionRow kResolutionRows[] = {\n";
  for (const Resolution& r : resolutions) out << "    {" << r.id << ", " << r.x << ", " << r.y << "},\n";
  out << "    {0, 0, 0},\n};\n\n";

  out << "extern const ResLanguageRow kLanguageRows[] = {\n";
  for (const Language& l : languages) {
    out << "    {" << l.value << ", 0x" << std::hex << l.primary << std::dec << ", " << l.sub << ", " << l.cls << ", WSTR(\""
        << l.code << "\")},\n";
  }
  out << "    {kLanguageEnd, 0, 0, 0, nullptr},\n};\n";
}

std::string Hex(long long value) {
  std::ostringstream text;
  text << "0x" << std::hex << static_cast<unsigned long long>(static_cast<uint32_t>(value)) << "u";
  return text.str();
}
std::string U32(long long value) { return std::to_string(static_cast<uint32_t>(value)) + "u"; }
std::string ChainName(const std::string& name) { return name.empty() ? "nullptr" : "kChain_" + name; }
std::string OptionalAnsi(const std::string& text) { return text.empty() ? "nullptr" : AnsiLiteral(text); }

// A chain is an array whose nodes link to the next element.
void WriteChain(std::ostream& out, const std::string& array, const Chain& chain) {
  out << "const CondNode " << array << "[" << chain.terms.size() << "] = {\n";
  for (size_t i = 0; i < chain.terms.size(); ++i) {
    const ChainTerm& t = chain.terms[i];
    const std::string next = i + 1 < chain.terms.size() ? "&" + array + "[" + std::to_string(i + 1) + "]" : "nullptr";
    out << "    {" << next << ", " << Hex(t.flags) << ", " << t.item << "u, " << U32(t.value) << "},\n";
  }
  out << "};\n";
}

void WriteCommandTables(std::ostream& out, const CommandTable& table) {
  out << "\n// ---- PJL command table (data/pjl_commands.txt)\n\nnamespace {\n\n";
  for (const auto& [name, chain] : table.chains) WriteChain(out, ChainName(name), chain);
  for (const auto& [name, range] : table.ranges) {
    WriteChain(out, "kRangeChain_" + name, range);
    out << "const ExcRangeRecord kRange_" << name << " = {kRangeChain_" << name << "};\n";
  }
  for (const std::string& name : table.listOrder) {
    const ValueList& list = table.lists.at(name);
    out << "const ExcValueRow kValues_" << name << "[] = {\n";
    for (const ValueRowData& row : list.rows) {
      out << "    {" << Hex(row.flags) << ", " << U32(row.value) << ", " << AnsiLiteral(row.text) << ", "
          << OptionalAnsi(row.own) << ", " << ChainName(row.side) << ", " << ChainName(row.cond) << ", nullptr},\n";
    }
    out << "};\nconst ExcValueList kValueList_" << name << " = {" << list.rows.size() << ", kValues_" << name << "};\n";
  }
  out << "\n}  // namespace\n\n";

  out << "extern const ExcCommandRow kExcCommandRows[] = {\n";
  for (const CommandRowData& row : table.commands) {
    out << "    {" << row.item << "u, " << U32(row.sub) << ", " << Hex(row.flags) << ", " << Hex(row.access) << ", "
        << Hex(row.type) << ", " << OptionalAnsi(row.name) << ", " << ChainName(row.side) << ", "
        << (row.values.empty() ? "nullptr" : "&kValueList_" + row.values) << ", "
        << (row.range.empty() ? "nullptr" : "&kRange_" + row.range) << ", " << ChainName(row.cond) << "},\n";
  }
  if (table.commands.empty()) out << "    {},\n";
  out << "};\nextern const DWORD kExcCommandRowCount = " << table.commands.size() << ";\n\n";

  out << "extern const DWORD kExcRequiredCommands[] = {";
  for (const auto& [where, item] : table.required) out << item << "u, ";
  if (table.required.empty()) out << "0";
  out << "};\nextern const DWORD kExcRequiredCommandCount = " << table.required.size() << ";\n";

  out << "extern const ExcCommandAlias kExcCommandAliases[] = {";
  for (const CommandTable::Alias& a : table.aliases) out << "{" << a.item << "u, " << a.commandItem << "u}, ";
  if (table.aliases.empty()) out << "{0, 0}";
  out << "};\nextern const DWORD kExcCommandAliasCount = " << table.aliases.size() << ";\n";

  out << "extern const char* const kExcForceFeedTexts[] = {";
  for (const std::string& text : table.forceFeed) out << AnsiLiteral(text) << ", ";
  if (table.forceFeed.empty()) out << "nullptr";
  out << "};\nextern const DWORD kExcForceFeedTextCount = " << table.forceFeed.size() << ";\n";

  out << "extern const ExcBookletFamily kExcBookletFamilies[] = {";
  for (const CommandTable::Booklet& b : table.booklets) out << "{" << U32(b.booklet) << ", " << U32(b.base) << "}, ";
  if (table.booklets.empty()) out << "{0, 0}";
  out << "};\nextern const DWORD kExcBookletFamilyCount = " << table.booklets.size() << ";\n";

  out << "extern const ExcWaterMarkField kExcWaterMarkFields[] = {\n";
  for (const CommandTable::WaterMarkField& f : table.waterMarkFields) {
    out << "    {" << Hex(f.kinds) << ", " << U32(f.skip) << ", " << Hex(f.type) << ", " << f.item << "u},\n";
  }
  if (table.waterMarkFields.empty()) out << "    {0, 0, 0, 0},\n";
  out << "};\nextern const DWORD kExcWaterMarkFieldCount = " << table.waterMarkFields.size() << ";\n";
  out << "extern const char* const kExcWaterMarkKeyword[2] = {";
  if (table.keyword.empty()) out << "nullptr, nullptr";
  else out << AnsiLiteral(table.keyword[0]) << ", " << AnsiLiteral(table.keyword[1]);
  out << "};\n";
}

void WriteCodeRows(std::ostream& out, const std::vector<CodeRow>& rows) {
  for (const CodeRow& row : rows) out << "    {" << U32(row.result) << ", " << U32(row.code) << "},\n";
  out << "    {0, 0},\n";
}

void WriteDeviceCodes(std::ostream& out, const DeviceCodes& codes) {
  out << "\n// ---- Device codes (data/bidi_device_codes.txt)\n\n";
  out << "extern const BidiOptionCodeRow kBidiOptionCodes[] = {\n";
  WriteCodeRows(out, codes.options);
  out << "};\n\nnamespace {\n\n";
  for (const std::string& name : kTrayTables) {
    out << "const BidiTranslationRow kTable_" << name << "[] = {\n";
    WriteCodeRows(out, codes.tables.at(name));
    out << "};\n";
  }
  out << "\n}  // namespace\n\n";
  out << "extern const BidiTranslationRow* const kBidiTrayTables[kBidiTrayGroupCount] = {";
  for (const std::string& name : kTrayTables) out << "kTable_" << name << ", ";
  out << "};\n";
  const std::vector<std::pair<std::string, std::string>> arrays = {
      {"trayvalue", "kBidiTrayValues"},
      {"paper", "kBidiPapers"},
      {"paper2", "kBidiPapersSecond"},
      {"media", "kBidiMedia"}};
  for (const auto& [name, array] : arrays) {
    out << "extern const BidiTranslationRow " << array << "[] = {\n";
    WriteCodeRows(out, codes.tables.at(name));
    out << "};\n";
  }

  out << "extern const DWORD kBidiGroupedCodes[] = {";
  for (const auto& [where, code] : codes.grouped) out << U32(code) << ", ";
  if (codes.grouped.empty()) out << "0";
  out << "};\nextern const DWORD kBidiGroupedCodeCount = " << codes.grouped.size() << ";\n";
  out << "extern const BidiOptionSideEffect kBidiOptionSideEffects[] = {";
  for (const SideEffect& e : codes.sideEffects) {
    out << "{" << U32(e.item) << ", " << U32(e.code) << ", " << U32(e.target) << ", " << U32(e.value) << "}, ";
  }
  if (codes.sideEffects.empty()) out << "{0, 0, 0, 0}";
  out << "};\nextern const DWORD kBidiOptionSideEffectCount = " << codes.sideEffects.size() << ";\n";
}

// ---- Counts -----------------------------------------------------------------------------

void PrintCounts(const std::vector<Item>& items, const std::vector<ItemSymbol>& itemSymbols,
                 const std::vector<ValueSymbol>& valueSymbols, const std::vector<Message>& messages,
                 const std::vector<Page>& pages, const std::vector<PageItem>& pageItems,
                 const std::vector<Resolution>& resolutions, const std::vector<Language>& languages,
                 const CommandTable& commands, const DeviceCodes& codes) {
  std::map<std::string, int> n;
  for (const Item& item : items) {
    ++n["section " + std::to_string(item.section)];
    ++n["storage class " + std::to_string(item.storage)];
    const char* type = IsBit(item.type) ? "bits" : item.type == 1 ? "s8" : item.type == 2 ? "s16"
                     : item.type == 3 ? "s32" : item.type == 4 ? "u8" : item.type == 5 ? "u16"
                     : item.type == 6 ? "u32" : item.type == 10 ? "ANSI" : item.type == 11 ? "wide" : "bytes";
    ++n[std::string("type ") + type];
    n["transfer rows"] += item.transfer;
    n["second transfer rows"] += item.transfer2;
    n["preset rows"] += item.preset;
    if (item.section == 2 && item.storage == 1 && !item.keyName.empty()) ++n["printer-data names"];
  }
  int flagged = 0;
  for (const ValueSymbol& s : valueSymbols) flagged += s.flag;
  std::set<int> pagesWithRows;
  for (const PageItem& r : pageItems) pagesWithRows.insert(r.page);
  long long valueRows = 0;
  for (const auto& [name, list] : commands.lists) valueRows += static_cast<long long>(list.rows.size());

  struct Count { std::string what; long long have; long long expected; };
  const std::vector<Count> counts = {
      {"item rows", static_cast<long long>(items.size()), 1239},
      {"section 1 rows", n["section 1"], 730},
      {"section 2 rows", n["section 2"], 318},
      {"section 3 rows", n["section 3"], 191},
      {"storage class 0 rows", n["storage class 0"], 66},
      {"storage class 1 rows", n["storage class 1"], 1163},
      {"storage class 2 rows", n["storage class 2"], 10},
      {"printer-data names", n["printer-data names"], 70},
      {"s8 rows", n["type s8"], 10},
      {"s16 rows", n["type s16"], 51},
      {"s32 rows", n["type s32"], 0},
      {"u8 rows", n["type u8"], 113},
      {"u16 rows", n["type u16"], 159},
      {"u32 rows", n["type u32"], 47},
      {"ANSI rows", n["type ANSI"], 51},
      {"wide rows", n["type wide"], 2},
      {"bit rows", n["type bits"], 806},
      {"transfer rows", n["transfer rows"], 41},
      {"second transfer rows", n["second transfer rows"], 25},
      {"preset rows", n["preset rows"], 25},
      {"item symbols", static_cast<long long>(itemSymbols.size()), 1085},
      {"value symbols", static_cast<long long>(valueSymbols.size()), 1759},
      {"value symbols flagged", flagged, 1294},
      {"messages", static_cast<long long>(messages.size()), 36},
      {"page templates", static_cast<long long>(pages.size()), 47},
      {"resolution rows", static_cast<long long>(resolutions.size()), 7},
      {"language rows", static_cast<long long>(languages.size()), 17},
      {"command rows", static_cast<long long>(commands.commands.size()), 48},
      {"command value lists", static_cast<long long>(commands.lists.size()), 23},
      {"command value rows", valueRows, 149},
      {"command chains", static_cast<long long>(commands.chains.size()), 30},
      {"watermark fields", static_cast<long long>(commands.waterMarkFields.size()), 18},
      {"option-code rows", static_cast<long long>(codes.options.size()), 14},
  };
  std::cout << "velm_tablegen: counts [expected]\n";
  for (const Count& c : counts) {
    std::printf("  %-24s %6lld [%lld]%s\n", c.what.c_str(), c.have, c.expected, c.have == c.expected ? "" : "  differs");
  }
  std::printf("  pages with control rows: %zu of %zu\n", pagesWithRows.size(), pages.size());
}


// ---- Item default table (item_defaults.txt) ---------------------------------------------
// A self-contained section: it reads its own file, checks it, prints its counts and writes its
// own part of the output; main() calls it in three places.

using ValueRanges = std::vector<std::pair<long long, long long>>;

struct DefaultRow {
  std::string where;
  int item = 0;
  std::string handler;
  long long argument = 0;
  ValueRanges values;
};

struct ItemDefaults {
  std::vector<std::pair<std::string, ValueRanges>> sets;  // in file order
  std::vector<DefaultRow> rows;
};

constexpr int kDefaultFirstItem = 35;
constexpr int kDefaultLastItem = 706;

// Handlers: whether each tests a list of values and whether it writes its argument (else it
// takes its default from the model defaults or from another item, and the argument is "-").
struct DefaultHandler {
  bool values;
  bool argument;
};
const std::map<std::string, DefaultHandler> kDefaultHandlers = {
    {"always", {false, true}},         {"always-model", {false, false}}, {"in-set", {true, true}},
    {"in-set-model", {true, false}},   {"equals-model", {false, false}}, {"preset-number", {false, true}},
    {"resolution", {true, true}},      {"any-value", {false, true}},     {"gutter", {false, true}},
    {"margin", {false, true}},         {"untouched", {false, false}},    {"accepted", {false, false}},
    {"language", {false, false}},      {"help-language", {false, false}},
};

// "in-set-model" -> "kDefaultInSetModel"
std::string DefaultKindName(const std::string& handler) {
  std::string name = "kDefault";
  bool upper = true;
  for (char c : handler) {
    if (c == '-') {
      upper = true;
      continue;
    }
    name += upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
    upper = false;
  }
  return name;
}

// Values from field `from` on: numbers, ranges low..high and @set references.
bool ParseDefaultValues(const Line& line, size_t from, const ItemDefaults& defaults, ValueRanges& out) {
  constexpr long long kLow = -2147483647LL, kHigh = 2147483647LL;
  bool good = true;
  for (size_t i = from; i < line.fields.size(); ++i) {
    const std::string& word = line.fields[i];
    if (word[0] == '@') {
      const auto it = std::find_if(defaults.sets.begin(), defaults.sets.end(),
                                   [&](const auto& set) { return set.first == word.substr(1); });
      if (it == defaults.sets.end()) {
        Fail(line.where, "value set " + word + " is not defined above");
        good = false;
      } else {
        out.insert(out.end(), it->second.begin(), it->second.end());
      }
      continue;
    }
    // A range's "..": the first one after the first character, so that "-4..-1" reads.
    const size_t dots = word.find("..", 1);
    long long low = 0, high = 0;
    const bool parsed = dots == std::string::npos
                            ? ParseNumber(word, low) && ((high = low), true)
                            : ParseNumber(word.substr(0, dots), low) && ParseNumber(word.substr(dots + 2), high);
    if (!parsed || low > high || low < kLow || high > kHigh) {
      Fail(line.where, "bad value or range \"" + word + "\"");
      good = false;
      continue;
    }
    out.emplace_back(low, high);
  }
  return good;
}

ItemDefaults ReadItemDefaults(const fs::path& folder) {
  ItemDefaults defaults;
  int lastItem = 0;
  for (const Line& line : ReadTable(folder / "item_defaults.txt")) {
    if (line.fields[0] == "set") {
      if (line.fields.size() < 3 || !IsIdentifier(line.fields[1])) {
        Fail(line.where, "expected: set name values...");
        continue;
      }
      const std::string& name = line.fields[1];
      if (std::any_of(defaults.sets.begin(), defaults.sets.end(), [&](const auto& s) { return s.first == name; })) {
        Fail(line.where, "value set " + name + " defined twice");
        continue;
      }
      ValueRanges ranges;
      if (ParseDefaultValues(line, 2, defaults, ranges)) defaults.sets.emplace_back(name, std::move(ranges));
      continue;
    }
    if (line.fields.size() < 3) {
      Fail(line.where, "expected: item handler argument [values...]");
      continue;
    }
    DefaultRow row;
    row.where = line.where;
    long long v = 0;
    if (!Number(line, 0, "item", kDefaultFirstItem, kDefaultLastItem, v)) continue;
    row.item = static_cast<int>(v);
    if (row.item <= lastItem) {
      Fail(line.where, "item " + std::to_string(row.item) + " out of order or listed twice");
      continue;
    }
    lastItem = row.item;
    row.handler = line.fields[1];
    const auto handler = kDefaultHandlers.find(row.handler);
    if (handler == kDefaultHandlers.end()) {
      Fail(line.where, "unknown handler \"" + row.handler + "\"");
      continue;
    }
    if (handler->second.argument) {
      if (line.fields[2] == "-") Fail(line.where, "handler " + row.handler + " writes its argument: give one");
      else Number(line, 2, "argument", 0, 0xFFFFFFFF, row.argument);
    } else if (line.fields[2] != "-") {
      Fail(line.where, "handler " + row.handler + " takes no argument: write -");
    }
    const bool hasValues = line.fields.size() > 3;
    if (handler->second.values != hasValues) {
      Fail(line.where, "handler " + row.handler + (hasValues ? " takes no values" : " needs the values it accepts"));
      continue;
    }
    ParseDefaultValues(line, 3, defaults, row.values);
    defaults.rows.push_back(std::move(row));
  }
  return defaults;
}

void WriteRanges(std::ostream& out, const std::string& name, const ValueRanges& ranges) {
  out << "const DmValueRange " << name << "[] = {";
  for (size_t i = 0; i < ranges.size(); ++i) {
    out << (i ? ", " : "") << "{" << ranges[i].first << ", " << ranges[i].second << "}";
  }
  out << "};\n";
}

// One row for every item 35..706; items without a data row have no handler.
void WriteItemDefaults(std::ostream& out, const ItemDefaults& defaults) {
  out << "\n// ---- The item default table (item_defaults.txt)\n"
         "#include \"settings/devmode/item_defaults.h\"\n\n"
         "namespace {\n";
  for (const auto& [name, ranges] : defaults.sets) WriteRanges(out, "kDefaultSet_" + name, ranges);
  for (const DefaultRow& row : defaults.rows) {
    if (!row.values.empty()) WriteRanges(out, "kDefaultValues_" + std::to_string(row.item), row.values);
  }
  out << "}  // namespace\n\n";
  for (const auto& [name, ranges] : defaults.sets) {
    out << "extern const DmValueSet kValueSet_" << name << " = {kDefaultSet_" << name << ", " << ranges.size()
        << "};\n";
  }
  out << "\nextern const DmDefaultRow kDmDefaultRows[] = {\n";
  size_t next = 0;
  for (int item = kDefaultFirstItem; item <= kDefaultLastItem; ++item) {
    if (next < defaults.rows.size() && defaults.rows[next].item == item) {
      const DefaultRow& row = defaults.rows[next++];
      out << "    {" << item << ", " << DefaultKindName(row.handler) << ", " << row.argument << "u, ";
      if (row.values.empty()) out << "{nullptr, 0}},\n";
      else out << "{kDefaultValues_" << item << ", " << row.values.size() << "}},\n";
    } else {
      out << "    {" << item << ", kDefaultNone, 0u, {nullptr, 0}},\n";
    }
  }
  out << "};\nextern const int kDmDefaultRowCount = " << kDefaultLastItem - kDefaultFirstItem + 1 << ";\n";
}

void PrintItemDefaultCounts(const ItemDefaults& defaults) {
  const auto generic = std::count_if(defaults.rows.begin(), defaults.rows.end(), [](const DefaultRow& row) {
    return row.handler == "always" || row.handler == "always-model";
  });
  std::printf("  %-24s %6d [672]\n", "item default rows", kDefaultLastItem - kDefaultFirstItem + 1);
  std::printf("  %-24s %6zu [185]%s\n", "  with a handler", defaults.rows.size(),
              defaults.rows.size() == 185 ? "" : "  differs");
  std::printf("  %-24s %6ld [65]%s\n", "  without a rule", static_cast<long>(generic), generic == 65 ? "" : "  differs");
}

// ---- Page and control identifiers (page_ids.h) ---------------------------------------------
// One constant per page of pages.txt and per control of control_ids.txt, named after the symbol
// without its prefix, in mixed case: ZMD_IDD_DIALOG_ROTATION -> kPageDialogRotation,
// ZMD_IDC_MAINT_NAME -> kCtlMaintName.

std::string MixedCase(const std::string& upper) {
  std::string out;
  bool start = true;
  for (char c : upper) {
    if (c == '_') {
      start = true;
      continue;
    }
    out += start ? static_cast<char>(std::toupper(static_cast<unsigned char>(c)))
                 : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    start = false;
  }
  return out;
}

void WritePageIdentifiers(std::ostream& out, const std::vector<Page>& pages, const fs::path& data) {
  out << "// Generated by velm_tablegen from data/pages.txt and data/control_ids.txt. Edit those, not this.\n"
         "// The page and dialog identifiers and the control identifiers by name.\n"
         "#pragma once\n\n"
         "#include \"win32.h\"\n\n";
  for (const Page& page : pages)
    if (page.name.rfind("ZMD_IDD_", 0) == 0 || page.name.rfind("ZMD_", 0) == 0) {
      const std::string body = page.name.rfind("ZMD_IDD_", 0) == 0 ? page.name.substr(8) : page.name.substr(4);
      out << "constexpr WORD kPage" << MixedCase(body) << " = " << page.id << ";\n";
    }
  out << "\n";
  for (const Line& line : ReadTable(data / "control_ids.txt")) {
    if (line.fields.size() != 2 || line.fields[1].rfind("ZMD_IDC_", 0) != 0) continue;  // page_sources checks them
    out << "constexpr WORD kCtl" << MixedCase(line.fields[1].substr(8)) << " = " << line.fields[0] << ";\n";
  }
}

// ---- Item identifiers (item_ids.h) ------------------------------------------------------
// One constant per item that has a name: the name column's name, or for an unnamed item the
// name of its symbol row without "ZMD_", with its lower-case prefix (dm, vdm, wdm) dropped:
// dmPaperSize -> kItemPaperSize. Where two items would get one name, both keep the prefix
// (dmMediaType -> kItemDmMediaType, vdmMediaType -> kItemVdmMediaType).

struct ItemIdentifier {
  std::string name;
  int id = 0;
  std::string meaning;
};

std::string DropLowerPrefix(const std::string& name) {
  size_t start = 0;
  while (start < name.size() && std::islower(static_cast<unsigned char>(name[start]))) ++start;
  return start < name.size() ? name.substr(start) : name;
}

std::vector<ItemIdentifier> ItemIdentifiers(const std::vector<Item>& items, const std::vector<ItemSymbol>& itemSymbols) {
  std::map<int, std::string> symbolOfItem;
  for (const ItemSymbol& symbol : itemSymbols) {
    if (symbol.item != 0 && symbol.name.rfind("ZMD_", 0) == 0) symbolOfItem.emplace(symbol.item, symbol.name.substr(4));
  }
  std::vector<std::pair<const Item*, std::string>> named;
  std::map<std::string, int> uses;
  for (const Item& item : items) {
    std::string name = item.name;
    if (name.empty()) {
      const auto it = symbolOfItem.find(item.id);
      if (it == symbolOfItem.end()) continue;
      name = it->second;
    }
    named.emplace_back(&item, name);
    ++uses[DropLowerPrefix(name)];
  }
  std::vector<ItemIdentifier> identifiers;
  Item none;
  none.where = "kItemNone, no item";
  std::map<std::string, const Item*> taken = {{"kItemNone", &none}};
  for (const auto& [item, name] : named) {
    std::string body = DropLowerPrefix(name);
    if (uses[body] > 1) {
      body = name;
      body[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(body[0])));
    }
    ItemIdentifier identifier{"kItem" + body, item->id, item->meaning};
    if (!IsIdentifier(identifier.name)) {
      Fail(item->where, "item name " + name + " makes no C++ identifier");
      continue;
    }
    if (!taken.emplace(identifier.name, item).second) {
      Fail(item->where, "identifier " + identifier.name + " also names " + taken[identifier.name]->where);
      continue;
    }
    identifiers.push_back(std::move(identifier));
  }
  return identifiers;
}

void WriteItemIdentifiers(std::ostream& out, const std::vector<ItemIdentifier>& identifiers) {
  out << "// Generated by velm_tablegen from data/items.txt and data/item_symbols.txt. Edit those, not this.\n"
         "// The item identifiers by name.\n"
         "#pragma once\n\n"
         "#include \"win32.h\"\n\n"
         "constexpr WORD kItemNone = 0;  // no item\n";
  for (const ItemIdentifier& identifier : identifiers) {
    out << "constexpr WORD " << identifier.name << " = " << identifier.id << ";";
    if (!identifier.meaning.empty()) out << "  // " << identifier.meaning;
    out << "\n";
  }
}

// Writes `file` through a temporary beside it, so that a failed run never leaves half a file.
template <typename Write>
bool WriteFile(const fs::path& file, Write write) {
  const fs::path temporary = file.string() + ".tmp";
  {
    std::ofstream stream(temporary, std::ios::trunc);
    write(stream);
    if (!stream.flush()) {
      std::cerr << "velm_tablegen: cannot write " << temporary.string() << "\n";
      return false;
    }
  }
  std::error_code error;
  fs::rename(temporary, file, error);
  if (error) {
    std::cerr << "velm_tablegen: cannot rename to " << file.string() << ": " << error.message() << "\n";
    return false;
  }
  return true;
}

// ---- Output trays of the interface's summary and capability records ----------------------

struct OutputTrayRow {
  long long item = -1;  // -1: the end row
  unsigned second = 0, third = 0;
};
struct OutputTrayBit {
  unsigned tray = 0;
  int bit = 0;
};
struct OutputTrays {
  std::vector<OutputTrayRow> rows;
  std::vector<OutputTrayBit> bits;
};

constexpr int kOutputTrayItem = 57;

// The value symbols of item 57 that the shipped description lists in its block of the item.
std::set<std::string> DescriptionOutputTrays(const fs::path& folder) {
  std::set<std::string> offered;
  std::ifstream in(folder / "model" / "qnvelm.dsc");
  if (!in) {
    Fail("model/qnvelm.dsc", "cannot be read");
    return offered;
  }
  const std::string prefix = "*ZMD_vdmOutputTrayID ";
  std::string text;
  while (std::getline(in, text)) {
    if (text.rfind(prefix, 0) != 0) continue;
    const size_t colon = text.find(':', prefix.size());
    if (colon != std::string::npos) offered.insert(text.substr(prefix.size(), colon - prefix.size()));
  }
  return offered;
}

OutputTrays ReadOutputTrays(const fs::path& folder, const std::vector<Item>& items,
                            const std::vector<ValueSymbol>& valueSymbols) {
  OutputTrays trays;
  const std::set<std::string> offered = DescriptionOutputTrays(folder);
  auto tray = [&](const Line& line, const std::string& name, unsigned& value) {
    if (!offered.count(name)) return Fail(line.where, name + " is not an output tray the description offers");
    for (const ValueSymbol& symbol : valueSymbols)
      if (symbol.item == kOutputTrayItem && symbol.name == name) {
        value = symbol.value;
        return;
      }
    Fail(line.where, name + " is not a value of item 57");
  };
  bool ended = false;
  std::set<long long> bitsUsed;
  std::set<std::string> withBit;
  for (const Line& line : ReadTable(folder / "output_trays.txt")) {
    const std::string& kind = line.fields[0];
    if (kind == "table" && line.fields.size() == 4) {
      if (ended) Fail(line.where, "a row after the end row");
      OutputTrayRow row;
      if (line.fields[1] == "end") {
        ended = true;
      } else {
        const auto item = std::find_if(items.begin(), items.end(), [&](const Item& i) { return i.name == line.fields[1]; });
        if (item == items.end() || item->id < 10014 || item->id > 10109)
          Fail(line.where, line.fields[1] + " is not an installed-option item");
        else
          row.item = item->id;
      }
      tray(line, line.fields[2], row.second);
      tray(line, line.fields[3], row.third);
      trays.rows.push_back(row);
    } else if (kind == "bit" && line.fields.size() == 3) {
      OutputTrayBit bit;
      tray(line, line.fields[1], bit.tray);
      long long number = -1;
      if (!ParseNumber(line.fields[2], number) || number < 0 || number > 7) Fail(line.where, "a bit is 0..7");
      else if (!bitsUsed.insert(number).second) Fail(line.where, "bit " + line.fields[2] + " twice");
      if (!withBit.insert(line.fields[1]).second) Fail(line.where, line.fields[1] + " has a bit already");
      bit.bit = static_cast<int>(number);
      trays.bits.push_back(bit);
    } else {
      Fail(line.where, "expected: table ITEM SECOND THIRD, or bit TRAY BIT");
    }
  }
  if (!ended) Fail("output_trays.txt", "no end row (table end SECOND THIRD)");
  for (const std::string& name : offered)
    if (!withBit.count(name)) Fail("output_trays.txt", name + " has no capability bit");
  return trays;
}

void WriteOutputTrays(std::ostream& out, const OutputTrays& trays) {
  out << "// Generated by velm_tablegen from data/output_trays.txt: do not edit.\n"
      << "#include \"ui2k/entry/caps_summary.h\"\n\n"
      << "const UiOutputTrayRow kUiOutputTrayTable[] = {\n";
  for (const OutputTrayRow& row : trays.rows)
    out << "    {" << row.item << ", " << row.second << ", " << row.third << "},\n";
  out << "};\n\nconst UiOutputTrayBit kUiOutputTrayBits[] = {\n";
  for (const OutputTrayBit& bit : trays.bits) out << "    {" << bit.tray << ", " << bit.bit << "},\n";
  out << "};\n\nconst size_t kUiOutputTrayBitCount = " << trays.bits.size() << ";\n";
}

// ---- Printer-data names of the job-credential items --------------------------------------

// The credential items of the job-credential service by kind (1..8), and which are passwords.
struct CredentialItem {
  int kind;
  int item;
  bool password;
};
constexpr CredentialItem kCredentialItems[] = {{1, 216, false}, {2, 217, false}, {3, 220, true},  {4, 215, false},
                                               {5, 219, false}, {6, 243, false}, {7, 244, false}, {8, 221, true}};

struct CredentialName {
  int kind = 0;
  int item = 0;
  std::string itemName;
  std::string name;  // empty: never in printer data
};

constexpr size_t kMaxValueNameChars = 63;

bool IsValueName(const std::string& name) {
  return !name.empty() && name.size() <= kMaxValueNameChars &&
         std::all_of(name.begin(), name.end(), [](unsigned char c) { return std::isalnum(c) || c == '_'; });
}

std::string UpperCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// One row per credential item, in kind order.
std::vector<CredentialName> ReadCredentialNames(const fs::path& folder, const std::vector<Item>& items) {
  // Names taken, by upper-case name: the items' own printer-data value names first.
  std::map<std::string, std::string> taken;
  for (const Item& item : items)
    if (item.storage == 1 && !item.keyName.empty()) taken.emplace(UpperCase(item.keyName), item.where);
  std::map<int, CredentialName> rows;  // by kind
  for (const Line& line : ReadTable(folder / "job_credential_names.txt")) {
    if (line.fields.size() != 2) {
      Fail(line.where, "expected: ITEM NAME");
      continue;
    }
    const std::string& itemName = line.fields[0];
    const auto item = std::find_if(items.begin(), items.end(), [&](const Item& i) { return i.name == itemName; });
    if (item == items.end()) {
      Fail(line.where, "unknown item " + itemName);
      continue;
    }
    const auto credential = std::find_if(std::begin(kCredentialItems), std::end(kCredentialItems),
                                         [&](const CredentialItem& c) { return c.item == item->id; });
    if (credential == std::end(kCredentialItems)) {
      Fail(line.where, itemName + " is not a credential item of the job-credential service");
      continue;
    }
    CredentialName row{credential->kind, item->id, itemName, Optional(line.fields[1])};
    if (!row.name.empty()) {
      if (credential->password)
        Fail(line.where, itemName + " is a password: it never goes to printer data");
      else if (!IsValueName(row.name))
        Fail(line.where, "a printer-data value name is 1.." + std::to_string(kMaxValueNameChars) +
                             " letters, digits and _: " + row.name);
      else if (const auto [at, fresh] = taken.emplace(UpperCase(row.name), line.where); !fresh)
        Fail(line.where, "printer-data value name " + row.name + " is taken (" + at->second + ")");
    }
    if (!rows.emplace(row.kind, row).second) Fail(line.where, itemName + " has a row already");
  }
  std::vector<CredentialName> names;
  for (const CredentialItem& credential : kCredentialItems) {
    if (const auto row = rows.find(credential.kind); row != rows.end()) {
      names.push_back(row->second);
      continue;
    }
    const auto item = std::find_if(items.begin(), items.end(), [&](const Item& i) { return i.id == credential.item; });
    Fail("job_credential_names.txt", (item != items.end() ? item->name : std::to_string(credential.item)) +
                                         " has no row");
  }
  return names;
}

void WriteCredentialNames(std::ostream& out, const std::vector<CredentialName>& names) {
  out << "// Generated by velm_tablegen from data/job_credential_names.txt: do not edit.\n"
      << "#pragma once\n\n#include \"win32.h\"\n\n"
      << "// A credential item of the job-credential service (its kind and option item) and the\n"
      << "// printer-data value name the job-control bridge keeps it under; null: never in printer data.\n"
      << "struct JcPrinterDataName {\n  DWORD kind;\n  WORD item;\n  const WCHAR* name;\n};\n\n"
      << "inline constexpr JcPrinterDataName kJcPrinterDataNames[] = {\n";
  for (const CredentialName& row : names)
    out << "    {" << row.kind << ", " << row.item << ", " << WideLiteral(row.name) << "},  // " << row.itemName
        << "\n";
  out << "};\n";
}

// ---- Page sources -----------------------------------------------------------------------

// The pages' sources of data/pages, checked against the page table, the item and value tables,
// the model description, the string tables of every language and the pictures.
std::vector<velm::data::PageSource> ReadCheckedPageSources(const fs::path& data, const std::vector<Item>& items,
                                                          const std::vector<ItemSymbol>& itemSymbols,
                                                          const std::vector<ValueSymbol>& valueSymbols) {
  std::vector<velm::data::PageSource> sources = velm::data::ReadPageSources(data, Fail);
  velm::data::PageCheckTables tables;
  std::set<int> itemIds;
  for (const Item& item : items) itemIds.insert(item.id);
  for (const ItemSymbol& symbol : itemSymbols)
    if (symbol.item != 0 && itemIds.count(symbol.item)) tables.items[symbol.name] = symbol.item;
  for (const ValueSymbol& symbol : valueSymbols)
    if (symbol.flag == 1) tables.valueNames[symbol.item].push_back(static_cast<int>(symbol.model));
  std::set<int> mapped;
  for (const Item& item : items)
    if (!item.map.empty()) mapped.insert(item.id);
  for (const ValueSymbol& symbol : valueSymbols)
    if (mapped.count(symbol.item)) tables.mappedValues[symbol.item][static_cast<int>(symbol.model)] = symbol.value;
  tables.describedItems = velm::data::ReadDescribedItems(data);
  tables.strings = velm::data::ReadLanguageStringIds(data, Fail);
  tables.bitmaps = velm::data::ReadBitmapIds(data);
  tables.ranges = velm::data::ReadDescribedRanges(data);
  tables.stringTexts = velm::data::ReadLanguageStringTexts(data);
  velm::data::CheckPageSources(velm::data::ReadPageEntries(data, Fail), sources, tables, Fail);
  return sources;
}

std::vector<PageItem> PageItemsOf(const std::vector<velm::data::PageSource>& sources) {
  std::vector<PageItem> rows;
  for (const velm::data::PageSource& page : sources) {
    for (const velm::data::PageRow& row : page.rows) {
      PageItem item;
      item.where = row.where;
      item.page = page.id;
      item.item = row.itemId;
      item.control = row.controlId;
      item.type = row.type;
      item.help = row.help;
      item.partner = row.partnerId;
      item.flags = row.flags;
      rows.push_back(item);
    }
  }
  return rows;
}

}  // namespace

int main(int argc, char** argv) {
  fs::path data, out, ids, outputTrays, pageIds;
  fs::path credentialNames;
  fs::path traySlots;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--data" && i + 1 < argc) data = argv[++i];
    else if (arg == "--out" && i + 1 < argc) out = argv[++i];
    else if (arg == "--ids" && i + 1 < argc) ids = argv[++i];
    else if (arg == "--output-trays" && i + 1 < argc) outputTrays = argv[++i];
    else if (arg == "--job-credential-names" && i + 1 < argc) credentialNames = argv[++i];
    else if (arg == "--page-ids" && i + 1 < argc) pageIds = argv[++i];
    else if (arg == "--tray-slots" && i + 1 < argc) traySlots = argv[++i];
    else {
      std::cerr << "usage: velm_tablegen --data <folder> [--out <file.cpp>] [--ids <file.h>]\n";
      return 2;
    }
  }
  if (data.empty()) {
    std::cerr << "usage: velm_tablegen --data <folder> [--out <file.cpp>] [--ids <file.h>]\n";
    return 2;
  }

  std::vector<Item> items = ReadItems(data);
  std::map<std::string, ValueMap> maps = ReadValueMaps(data);
  const std::vector<ItemSymbol> itemSymbols = ReadItemSymbols(data);
  std::vector<ValueSymbol> valueSymbols = ReadValueSymbols(data);
  const std::vector<Message> messages = ReadMessages(data);
  const std::vector<Page> pages = ReadPages(data);
  std::vector<velm::data::PageSource> pageSources = ReadCheckedPageSources(data, items, itemSymbols, valueSymbols);
  const std::vector<PageItem> pageItems = PageItemsOf(pageSources);
  const std::vector<Resolution> resolutions = ReadResolutions(data);
  const std::vector<Language> languages = ReadLanguages(data);
  const ItemDefaults itemDefaults = ReadItemDefaults(data);
  const std::vector<int> savedSettingsValues = velm::data::ReadSavedSettingsValues(data, Fail);
  CheckItemLayout(items);
  CheckItemsAgainstTables(items, maps, itemSymbols, valueSymbols);
  CommandTable commands = ReadCommandTable(data);
  CheckCommandTable(commands, items);
  DeviceCodes codes = ReadDeviceCodes(data);
  CheckDeviceCodes(codes, items);
  const std::vector<ItemIdentifier> identifiers = ItemIdentifiers(items, itemSymbols);
  // The output trays are checked against the model description, which only their output needs.
  const OutputTrays trays = outputTrays.empty() ? OutputTrays{} : ReadOutputTrays(data, items, valueSymbols);
  const std::vector<CredentialName> names =
      credentialNames.empty() ? std::vector<CredentialName>{} : ReadCredentialNames(data, items);
  const velm::data::TraySlots traySlotTable =
      traySlots.empty() ? velm::data::TraySlots{} : velm::data::ReadTraySlots(data, pageSources, Fail);

  if (g_errors > 0) {
    std::cerr << "velm_tablegen: " << g_errors << " fault(s) in " << data.string() << "; no tables written\n";
    return 1;
  }
  PrintCounts(items, itemSymbols, valueSymbols, messages, pages, pageItems, resolutions, languages, commands, codes);
  PrintItemDefaultCounts(itemDefaults);

  if (!out.empty() && !WriteFile(out, [&](std::ostream& file) {
        WriteTables(file, items, maps, itemSymbols, valueSymbols, messages, pages, pageItems, resolutions, languages);
        WriteItemDefaults(file, itemDefaults);
        WriteCommandTables(file, commands);
        WriteDeviceCodes(file, codes);
        velm::data::WritePageControlExtras(file, pageSources);
        velm::data::WriteSavedSettingsValues(file, savedSettingsValues);
      })) {
    return 1;
  }
  if (!ids.empty() && !WriteFile(ids, [&](std::ostream& file) { WriteItemIdentifiers(file, identifiers); })) return 1;
  if (!pageIds.empty() && !WriteFile(pageIds, [&](std::ostream& file) { WritePageIdentifiers(file, pages, data); }))
    return 1;
  if (!outputTrays.empty() && !WriteFile(outputTrays, [&](std::ostream& file) { WriteOutputTrays(file, trays); }))
    return 1;
  if (!credentialNames.empty() &&
      !WriteFile(credentialNames, [&](std::ostream& file) { WriteCredentialNames(file, names); }))
    return 1;
  if (!traySlots.empty() &&
      !WriteFile(traySlots, [&](std::ostream& file) { velm::data::WriteTraySlots(file, traySlotTable); }))
    return 1;
  return 0;
}
