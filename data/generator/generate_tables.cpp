// velm_tablegen: reads the model family's text tables (data/*.txt), checks them, and writes
// the constant tables of the settings library as one C++ source file.
//
//   velm_tablegen --data <folder> [--out <file.cpp>]
//
// Without --out only the checks run. Every fault is reported as "file:line: what"; any fault
// ends the run with exit status 1 and no output file. On success the counts are printed beside
// the ones the item table is known to have.
#include <algorithm>
#include <charconv>
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
  char source = 'I';
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
    if (line.fields.size() != 14) {
      Fail(line.where, "expected 14 columns, found " + std::to_string(line.fields.size()));
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
    const std::string& source = line.fields[13];
    if (source == "G" || source == "P" || source == "I") item.source = source[0];
    else Fail(line.where, "source must be G, P or I");
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

std::vector<PageItem> ReadPageItems(const fs::path& folder) {
  std::vector<PageItem> rows;
  for (const Line& line : ReadTable(folder / "page_items.txt")) {
    if (line.fields.size() != 7) {
      Fail(line.where, "expected: page item control type help partner flags");
      continue;
    }
    PageItem r;
    r.where = line.where;
    long long v;
    if (Number(line, 0, "page", 1, 65535, v)) r.page = static_cast<int>(v);
    if (Number(line, 1, "item", 0, 65535, v)) r.item = static_cast<int>(v);
    if (Number(line, 2, "control", 1, 65535, v)) r.control = static_cast<int>(v);
    if (Number(line, 3, "control type", 0, 65535, v)) r.type = static_cast<int>(v);
    if (Number(line, 4, "help", 0, 65535, v)) r.help = static_cast<int>(v);
    if (Number(line, 5, "partner", 0, 65535, v)) r.partner = static_cast<int>(v);
    Number(line, 6, "flags", 0, 0xFFFFFFFF, r.flags);
    rows.push_back(r);
  }
  return rows;
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

void CheckPageItems(const std::vector<Page>& pages, const std::vector<PageItem>& rows,
                    const std::vector<Item>& items) {
  std::set<int> itemIds;
  for (const Item& item : items) itemIds.insert(item.id);
  std::map<int, size_t> order;
  for (size_t i = 0; i < pages.size(); ++i) order[pages[i].id] = i;
  std::map<int, int> counts;
  size_t lastPage = 0;
  for (const PageItem& row : rows) {
    auto it = order.find(row.page);
    if (it == order.end()) {
      Fail(row.where, "unknown page " + std::to_string(row.page));
      continue;
    }
    if (it->second < lastPage) Fail(row.where, "page rows must follow the page-table order");
    lastPage = it->second;
    if (row.item != 0 && !itemIds.count(row.item)) Fail(row.where, "unknown item " + std::to_string(row.item));
    ++counts[row.page];
  }
  for (const Page& page : pages) {
    auto it = counts.find(page.id);
    if (it != counts.end() && it->second != page.declared) {
      Fail(page.where, "page " + page.name + " lists " + std::to_string(it->second) + " rows, not " +
                           std::to_string(page.declared));
    }
  }
}

// ---- Output -----------------------------------------------------------------------------

std::string WideLiteral(const std::string& text) { return text.empty() ? "nullptr" : "u\"" + text + "\""; }
std::string AnsiLiteral(const std::string& text) { return "\"" + text + "\""; }

std::string MapArrayName(const std::string& name) { return "kMap_" + name; }

void WriteTables(std::ostream& out, const std::vector<Item>& items, const std::map<std::string, ValueMap>& maps,
                 const std::vector<ItemSymbol>& itemSymbols, const std::vector<ValueSymbol>& valueSymbols,
                 const std::vector<Message>& messages, const std::vector<Page>& pages,
                 const std::vector<PageItem>& pageItems, const std::vector<Resolution>& resolutions,
                 const std::vector<Language>& languages) {
  out << "// Generated by velm_tablegen from the text tables under data/. Edit those, not this.\n"
         "#include \"settings/item_data.h\"\n\n"
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

  out << "extern const ValueSymbolRow kValueSymbols[] = {\n";
  for (const ValueSymbol& s : valueSymbols) {
    out << "    {" << s.item << ", " << s.key << ", " << s.value << "u, " << AnsiLiteral(s.name) << ", " << s.flag
        << ", " << s.model << "u},\n";
  }
  out << "};\nextern const int kValueSymbolCount = " << valueSymbols.size() << ";\n\n";

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
    out << "    {" << l.value << ", 0x" << std::hex << l.primary << std::dec << ", " << l.sub << ", " << l.cls << ", u\""
        << l.code << "\"},\n";
  }
  out << "    {kLanguageEnd, 0, 0, 0, nullptr},\n};\n";
}

// ---- Counts -----------------------------------------------------------------------------

void PrintCounts(const std::vector<Item>& items, const std::vector<ItemSymbol>& itemSymbols,
                 const std::vector<ValueSymbol>& valueSymbols, const std::vector<Message>& messages,
                 const std::vector<Page>& pages, const std::vector<PageItem>& pageItems,
                 const std::vector<Resolution>& resolutions, const std::vector<Language>& languages) {
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
    ++n[std::string("source ") + item.source];
    if (item.section == 2 && item.storage == 1 && !item.keyName.empty()) ++n["printer-data names"];
  }
  int flagged = 0;
  for (const ValueSymbol& s : valueSymbols) flagged += s.flag;
  std::set<int> pagesWithRows;
  for (const PageItem& r : pageItems) pagesWithRows.insert(r.page);

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
  };
  std::cout << "velm_tablegen: counts [expected]\n";
  for (const Count& c : counts) {
    std::printf("  %-24s %6lld [%lld]%s\n", c.what.c_str(), c.have, c.expected, c.have == c.expected ? "" : "  differs");
  }
  std::printf("  rows whose type and place are given: %d, name or meaning given: %d, invented: %d\n",
              n["source G"], n["source P"], n["source I"]);
  std::printf("  pages with control rows: %zu of %zu\n", pagesWithRows.size(), pages.size());
}

}  // namespace

int main(int argc, char** argv) {
  fs::path data, out;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--data" && i + 1 < argc) data = argv[++i];
    else if (arg == "--out" && i + 1 < argc) out = argv[++i];
    else {
      std::cerr << "usage: velm_tablegen --data <folder> [--out <file.cpp>]\n";
      return 2;
    }
  }
  if (data.empty()) {
    std::cerr << "usage: velm_tablegen --data <folder> [--out <file.cpp>]\n";
    return 2;
  }

  std::vector<Item> items = ReadItems(data);
  std::map<std::string, ValueMap> maps = ReadValueMaps(data);
  const std::vector<ItemSymbol> itemSymbols = ReadItemSymbols(data);
  std::vector<ValueSymbol> valueSymbols = ReadValueSymbols(data);
  const std::vector<Message> messages = ReadMessages(data);
  const std::vector<Page> pages = ReadPages(data);
  const std::vector<PageItem> pageItems = ReadPageItems(data);
  const std::vector<Resolution> resolutions = ReadResolutions(data);
  const std::vector<Language> languages = ReadLanguages(data);
  CheckItemLayout(items);
  CheckItemsAgainstTables(items, maps, itemSymbols, valueSymbols);
  CheckPageItems(pages, pageItems, items);

  if (g_errors > 0) {
    std::cerr << "velm_tablegen: " << g_errors << " fault(s) in " << data.string() << "; no tables written\n";
    return 1;
  }
  PrintCounts(items, itemSymbols, valueSymbols, messages, pages, pageItems, resolutions, languages);
  if (out.empty()) return 0;

  // Written beside the target and renamed, so that a failed run never leaves half a file.
  const fs::path temporary = out.string() + ".tmp";
  {
    std::ofstream file(temporary, std::ios::trunc);
    WriteTables(file, items, maps, itemSymbols, valueSymbols, messages, pages, pageItems, resolutions, languages);
    if (!file.flush()) {
      std::cerr << "velm_tablegen: cannot write " << temporary.string() << "\n";
      return 1;
    }
  }
  std::error_code error;
  fs::rename(temporary, out, error);
  if (error) {
    std::cerr << "velm_tablegen: cannot rename to " << out.string() << ": " << error.message() << "\n";
    return 1;
  }
  return 0;
}
