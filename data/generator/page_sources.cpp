#include "page_sources.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "ui/style_names.h"

namespace fs = std::filesystem;

namespace velm::data {
namespace {

// The words of a line without its comment.
std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line.substr(0, line.find('#')));
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

bool ParseNumber(const std::string& word, long long low, long long high, long long& value) {
  if (word.empty()) return false;
  size_t used = 0;
  try {
    value = std::stoll(word, &used, 0);
  } catch (...) {
    return false;
  }
  return used == word.size() && value >= low && value <= high;
}

bool ParseInt(const std::string& word, long long low, long long high, int& value) {
  long long v = 0;
  if (!ParseNumber(word, low, high, v)) return false;
  value = static_cast<int>(v);
  return true;
}

// `s<n>` or `b<n>` (ids 1..65535) or "-".
bool ParseCaption(const std::string& word, char& kind, int& id) {
  if (word == "-") return kind = 0, id = 0, true;
  if (word.size() < 2 || (word[0] != 's' && word[0] != 'b')) return false;
  kind = word[0];
  return ParseInt(word.substr(1), 1, 0xFFFF, id);
}

bool ParseStringId(const std::string& word, int& id) {
  char kind = 0;
  return ParseCaption(word, kind, id) && kind == 's';
}

bool ParseFlags(const std::string& word, uint32_t& set, uint32_t& cleared) {
  std::istringstream parts(word);
  std::string part;
  while (std::getline(parts, part, '|')) {
    const bool remove = !part.empty() && part[0] == '~';
    if (remove) part.erase(0, 1);
    long long number = 0;
    uint32_t value = 0;
    if (ParseNumber(part, 0, 0xFFFFFFFFll, number)) value = static_cast<uint32_t>(number);
    else if (const auto named = velm::ui::StyleValue(part)) value = *named;
    else return false;
    (remove ? cleared : set) |= value;
  }
  return true;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::istringstream in(text);
  for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
  return parts;
}

// The kinds of extra data (the first word), as settings/items/page_control_extras.h reads them.
constexpr int kExtraKindLinkedSteps = 2, kExtraKindSteps = 3, kExtraKindMark = 4, kExtraKindSpace = 5,
              kExtraKindTabs = 6, kExtraKindLines = 7, kExtraKindChecks = 8, kExtraKindPreview = 9;

constexpr int kControlTypes[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x15, 0x16, 0x17, 0x29, 0x2a, 0x2b,
                                 0x2c, 0x2d, 0x2e, 0x2f, 0x30, 0x31, 0x32, 0x3d, 0x3e, 0x3f, 0x40, 0x41,
                                 0x51, 0x52, 0x53, 0x54, 0x55, 0x65, 0x66, 0x68, 0x69};

// The roles of a preview's items (kind 9 pairs), numbered as PagePreviewRole of
// settings/items/page_control_extras.h.
constexpr const char* kPreviewRoles[] = {nullptr,  "paper",     "orientation", "nup",        "layout",  "duplex",
                                         "binding", "stamp",     "stampkind",   "stamptext",  "brightness",
                                         "contrast"};

int PreviewRoleOf(const std::string& name) {
  for (int role = 1; role < static_cast<int>(std::size(kPreviewRoles)); ++role)
    if (name == kPreviewRoles[role]) return role;
  return 0;
}

std::string PreviewRoleNames() {
  std::string names;
  for (int role = 1; role < static_cast<int>(std::size(kPreviewRoles)); ++role)
    names += (role > 1 ? ", " : "") + std::string(kPreviewRoles[role]);
  return names;
}

// The extra data words after `row … `; false with a reason.
bool ParseExtra(const std::vector<std::string>& words, size_t& i, PageRow& row, std::string& why) {
  const std::string& key = words[i];
  auto next = [&](std::string& out) {
    if (i + 1 >= words.size()) return false;
    out = words[++i];
    return true;
  };
  auto setKind = [&](std::initializer_list<int> head) {
    if (!row.extra.empty()) return why = "a row carries one kind of extra data", false;
    row.extra.assign(head);
    return true;
  };
  std::string value, second;
  if (key == "mark") {
    int bitmap = 0;
    if (!next(value) || !ParseInt(value, 1, 0xFFFF, bitmap)) return why = "mark takes a bitmap id", false;
    row.extraBitmaps.push_back(bitmap);
    return setKind({4, 1, bitmap});
  }
  if (key == "space") return setKind({5});
  if (key == "steps") {
    int line = 0, page = 0;
    if (!next(value) || !next(second) || !ParseInt(value, 1, 0xFFFF, line) || !ParseInt(second, 1, 0xFFFF, page))
      return why = "steps takes a line and a page step", false;
    return setKind({3, line, page, 1});
  }
  if (key == "tabs") {
    if (!next(value)) return why = "tabs takes <caption>:<control>,…/…", false;
    const auto tabs = Split(value, '/');
    if (!setKind({6, static_cast<int>(tabs.size())})) return false;
    for (const std::string& tab : tabs) {
      const auto parts = Split(tab, ':');
      int caption = 0;
      if (parts.size() != 2 || !ParseStringId(parts[0], caption)) return why = "a tab is <s-caption>:<controls>", false;
      const auto controls = Split(parts[1], ',');
      row.extra.push_back(caption);
      row.extra.push_back(static_cast<int>(controls.size()));
      row.extraStrings.push_back(caption);
      for (const std::string& control : controls) {
        row.extraControls.push_back(control);
        row.extra.push_back(0);  // the control's id, filled by the checks
      }
    }
    return true;
  }
  if (key == "lines") {
    if (!next(value)) return why = "lines takes <s-label>:<item>:<item|->,…", false;
    const auto lines = Split(value, ',');
    if (!setKind({7, static_cast<int>(lines.size())})) return false;
    for (const std::string& line : lines) {
      const auto parts = Split(line, ':');
      int label = 0;
      if (parts.size() != 3 || !ParseStringId(parts[0], label)) return why = "a line is <s-label>:<item>:<item|->", false;
      row.extraStrings.push_back(label);
      row.extra.push_back(label);
      for (size_t k = 1; k < 3; ++k) {
        row.extra.push_back(0);  // item ids, filled by the checks
        row.extraItems.push_back(parts[k]);
      }
    }
    return true;
  }
  if (key == "checks") {
    if (!next(value)) return why = "checks takes <item>:<s-label>,…", false;
    const auto checks = Split(value, ',');
    if (!setKind({8, static_cast<int>(checks.size())})) return false;
    for (const std::string& check : checks) {
      const auto parts = Split(check, ':');
      int label = 0;
      if (parts.size() != 2 || !ParseStringId(parts[1], label)) return why = "a check row is <item>:<s-label>", false;
      row.extra.push_back(0);  // the item's id, filled by the checks
      row.extraItems.push_back(parts[0]);
      row.extra.push_back(label);
      row.extraStrings.push_back(label);
    }
    return true;
  }
  if (key == "preview") {
    if (!next(value)) return why = "preview takes <role>:<item>,…", false;
    const auto entries = Split(value, ',');
    if (!setKind({kExtraKindPreview, static_cast<int>(entries.size())})) return false;
    std::set<int> roles;
    for (const std::string& entry : entries) {
      const auto parts = Split(entry, ':');
      const int role = parts.size() == 2 && parts[1] != "-" ? PreviewRoleOf(parts[0]) : 0;
      if (!role) return why = "a preview entry is <role>:<item> with a role of " + PreviewRoleNames(), false;
      if (!roles.insert(role).second) return why = "preview role " + parts[0] + " named twice", false;
      row.extra.push_back(role);
      row.extra.push_back(0);  // the item's id, filled by the checks
      row.extraItems.push_back(parts[1]);
    }
    return true;
  }
  if (key == "linksteps") {
    if (!next(value)) return why = "linksteps takes <control>:<step>,…", false;
    const auto pairs = Split(value, ',');
    if (!setKind({kExtraKindLinkedSteps, static_cast<int>(pairs.size())})) return false;
    for (const std::string& pair : pairs) {
      const auto parts = Split(pair, ':');
      int step = 0;
      if (parts.size() != 2 || !ParseInt(parts[1], -32768, 32767, step) || step == 0)
        return why = "a linked step is <control>:<step>, the step a non-zero 16-bit number", false;
      row.extraControls.push_back(parts[0]);
      row.extra.push_back(0);  // the control's id, filled by the checks
      row.extra.push_back(static_cast<uint16_t>(step));
    }
    return true;
  }
  if (key == "info") {
    if (!next(value) || !ParseStringId(value, row.info)) return why = "info takes a string s<n>", false;
    row.extraStrings.push_back(row.info);
    return true;
  }
  if (key == "dialog") return next(row.dialog) || (why = "dialog takes a page name", false);
  if (key == "link") return next(row.link) || (why = "link takes a control name", false);
  return why = "unexpected \"" + key + "\"", false;
}

void ParseRow(const std::vector<std::string>& words, const std::string& where, PageSource& page, FaultReporter fail) {
  PageRow row;
  row.where = where;
  if (words.size() < 4 || !ParseInt(words[2], 0, 0xFFFF, row.type)) {
    fail(where, "expected: row <control> <type> <item|-> [help n] [partner control] [flags n] [extra …]");
    return;
  }
  row.control = words[1];
  row.item = words[3];
  for (size_t i = 4; i < words.size(); ++i) {
    const std::string& key = words[i];
    std::string why;
    const bool hasValue = i + 1 < words.size();
    if (key == "help" && hasValue) {
      if (!ParseInt(words[++i], 0, 0xFFFF, row.help)) return fail(where, "help takes 0..65535");
    } else if (key == "partner" && hasValue) {
      row.partner = words[++i];
    } else if (key == "flags" && hasValue) {
      if (!ParseNumber(words[++i], 0, 0xFFFFFFFFll, row.flags)) return fail(where, "flags take a 32-bit number");
    } else if (!ParseExtra(words, i, row, why)) {
      return fail(where, why);
    }
  }
  page.rows.push_back(std::move(row));
}

void ParseControl(const std::vector<std::string>& words, const std::string& where, PageSource& page,
                  FaultReporter fail) {
  PageControl control;
  control.where = where;
  long long rect[4] = {};
  bool fine = words.size() >= 8 && ParseCaption(words[3], control.captionKind, control.caption);
  for (int k = 0; fine && k < 4; ++k) fine = ParseNumber(words[4 + k], k < 2 ? -32768 : 0, 32767, rect[k]);
  if (!fine) {
    fail(where, "expected: control <name|-> <class> <caption> <x> <y> <width> <height> [style f] [exstyle f]");
    return;
  }
  control.name = words[1];
  control.className = words[2];
  control.x = rect[0], control.y = rect[1], control.width = rect[2], control.height = rect[3];
  for (size_t i = 8; i < words.size(); ++i) {
    uint32_t set = 0, cleared = 0;
    if ((words[i] != "style" && words[i] != "exstyle") || i + 1 >= words.size() ||
        !ParseFlags(words[i + 1], set, cleared)) {
      fail(where, "unexpected or unknown style \"" + words[i] + "\"");
      return;
    }
    if (words[i] == "style") {
      control.style |= set;
      control.styleCleared |= cleared;
      control.styled = true;
    } else {
      control.exStyle = (control.exStyle | set) & ~cleared;
    }
    ++i;
  }
  page.controls.push_back(std::move(control));
}

// Reads one source; false when it has no page line.
bool ReadSource(const fs::path& file, PageSource& page, FaultReporter fail) {
  std::ifstream in(file, std::ios::binary);
  const std::string name = "pages/" + file.filename().string();
  if (!in) {
    fail(name, "cannot be read");
    return false;
  }
  std::string line;
  bool headed = false;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string where = name + ":" + std::to_string(number);
    const auto words = Words(line);
    if (words.empty()) continue;
    if (words[0] == "page") {
      if (headed) {
        fail(where, "a second page line");
        continue;
      }
      char kind = 0;
      long long width = 0, height = 0;
      if (words.size() != 5 || !ParseCaption(words[2], kind, page.caption) || kind == 'b' ||
          !ParseNumber(words[3], 1, 32767, width) || !ParseNumber(words[4], 1, 32767, height)) {
        fail(where, "expected: page <name> <s-caption|-> <width> <height>");
        continue;
      }
      headed = true;
      page.where = where;
      page.name = words[1];
      page.width = width;
      page.height = height;
    } else if (!headed) {
      fail(where, "the file must begin with its page line");
    } else if (words[0] == "control") {
      ParseControl(words, where, page, fail);
    } else if (words[0] == "row") {
      ParseRow(words, where, page, fail);
    } else {
      fail(where, "unknown statement \"" + words[0] + "\"");
    }
  }
  if (!headed) fail(name, "has no page line");
  return headed;
}

// Items whose rows show names found at run time (the saved settings' own names), not the names
// of their values.
constexpr int kItemSavedSettings = 41;
bool NamedAtRunTime(int item) { return item == kItemSavedSettings; }

// The owner-drawn lists whose rows show each value's picture beside its name (binding edges and
// slip sheets on the edit page, staple and punch positions, the free size's icon).
bool DrawsValuePictures(int control) {
  return control == 2085 || control == 2087 || control == 2100 || control == 2102 || control == 2457;
}

// Items whose list or combo the page fills itself (the stored stamps, the address list's entries,
// the option rows), so that their nodes are numbers; the saved settings' index is one too, as its
// "none" (255) is a signed byte's -1.
bool FilledByItsPage(int item) { return item == 120 || item == 242 || item == 10013; }

bool IsListNode(const std::string& type) {
  return type == "PickOne" || type == "PickPage" || type == "PickSlot" || type == "FontTbl";
}

// A static text over a list shows the current value's name.
bool ShowsValueName(const PageRow& row, const PageCheckTables& tables) {
  const auto node = tables.describedItems.find(row.item);
  return row.type == kStaticValueText && node != tables.describedItems.end() && IsListNode(node->second);
}

// A row's control must fit its item's node: a choice needs a list, a number control a number.
void CheckControlFitsNode(const PageRow& row, const PageCheckTables& tables, FaultReporter fail) {
  const auto node = tables.describedItems.find(row.item);
  if (node == tables.describedItems.end()) return;
  std::ostringstream type;
  type << "control type 0x" << std::hex << row.type;
  if (ChoosesAValue(row.type) && node->second == "Numeric" && !FilledByItsPage(row.itemId) &&
      !NamedAtRunTime(row.itemId))
    fail(row.where, type.str() + " offers values for choice, but the node of " + row.item + " is a number range");
  if (StepsANumber(row.type) && IsListNode(node->second))
    fail(row.where, type.str() + " steps a number, but the node of " + row.item + " is a list of values");
}

// The numbered spare bits of the settings (print options, function options, job actions without a
// name) mean nothing yet; no control may stand for one of them.
bool IsSpareBit(const std::string& symbol) {
  for (const char* prefix : {"ZMD_vdmPrintOption", "ZMD_vdmFuncOption", "ZMD_vdmAction"}) {
    const std::string head = prefix;
    if (symbol.size() > head.size() && symbol.compare(0, head.size(), head) == 0 &&
        std::all_of(symbol.begin() + head.size(), symbol.end(), [](char c) { return c >= '0' && c <= '9'; }))
      return true;
  }
  return false;
}

bool Contains(const std::vector<int>& list, int value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

// Strings the interface loads by number, in every language.
struct InterfaceStrings {
  int first, last;
  const char* what;
};
constexpr InterfaceStrings kInterfaceStrings[] = {
    {109, 118, "user paper size slot names"}, {119, 134, "saved-settings keys"}, {135, 144, "quality-set keys"},
    {153, 154, "unit names"}, {235, 235, "a message"}, {336, 338, "address list headers"},
    {372, 373, "the replaced OK button's texts"}, {376, 377, "file dialog filters"}, {433, 433, "file dialog filter"},
    {563, 563, "the stamp check box's caption with overlays"}, {5002, 5009, "file dialog titles"},
    {6001, 6004, "tray list headers"}, {10002, 10005, "messages"}, {10007, 10007, "a message"},
    {10009, 10012, "messages"}, {10016, 10016, "a message"}, {10024, 10024, "a message"}, {10029, 10029, "a message"},
    {10031, 10032, "messages"}, {10034, 10034, "a message"}, {10036, 10036, "a message"}, {10041, 10041, "a message"},
    {10043, 10043, "a message"}, {10045, 10045, "a message"}, {10047, 10047, "a message"}, {10049, 10052, "messages"},
    {10054, 10054, "a message"}, {10056, 10056, "a message"}, {10058, 10058, "a message"}, {10063, 10063, "a message"},
    {13187, 13193, "button captions"},
};

bool Overlap(const PageControl& a, const PageControl& b) {
  return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

// Group boxes and tab controls hold other controls; they may lie under them.
bool IsContainer(const PageControl& control) {
  return control.className == "SysTabControl32" ||
         (control.className == "BUTTON" && (control.style & 0xF) == BS_GROUPBOX);
}

}  // namespace

bool IsChildTemplate(long kind) { return (kind & kTabPageKinds) != 0 && (kind & 0x4) == 0; }

bool IsControlType(int type) { return Contains({std::begin(kControlTypes), std::end(kControlTypes)}, type); }

bool ChoosesAValue(int type) {
  return ListsValueNames(type) || type == 0x29 || type == 0x32;
}

bool StepsANumber(int type) {
  return type == 0x3f || type == 0x17 || type == 0x51 || type == 0x52 || type == 0x54 || type == 0x55;
}

bool ListsValueNames(int type) {
  return type == kPictureOfValues || type == 0x2a || type == 0x2b || type == 0x2f || type == 0x30 || type == 0x69;
}

std::map<std::string, PageEntry> ReadPageEntries(const fs::path& data, FaultReporter fail) {
  std::map<std::string, PageEntry> pages;
  std::ifstream in(data / "pages.txt");
  if (!in) fail("pages.txt", "cannot be read");
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    const auto words = Words(line);
    if (words.size() != 6) continue;  // velm_tablegen reports malformed rows
    PageEntry entry;
    long long kind = 0;
    if (!ParseInt(words[0], 1, 0xFFFF, entry.id) || !ParseNumber(words[2], 0, 0xFFFFFFFFll, kind) ||
        !ParseInt(words[4], 0, 1000, entry.rows))
      continue;
    entry.kind = static_cast<long>(kind);
    pages[words[5]] = entry;
  }
  return pages;
}

std::map<std::string, int> ReadControlIds(const fs::path& data, FaultReporter fail) {
  std::map<std::string, int> ids;
  std::set<int> seen;
  std::ifstream in(data / "control_ids.txt");
  if (!in) fail("control_ids.txt", "cannot be read");
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    const std::string where = "control_ids.txt:" + std::to_string(number);
    const auto words = Words(line);
    if (words.empty()) continue;
    int id = 0;
    if (words.size() != 2 || !ParseInt(words[0], 1, 0xFFFE, id) || words[1].rfind("ZMD_IDC_", 0) != 0) {
      fail(where, "expected: <id 1..65534> ZMD_IDC_<name>");
      continue;
    }
    if (!seen.insert(id).second) fail(where, "control id " + std::to_string(id) + " named twice");
    if (!ids.emplace(words[1], id).second) fail(where, "control name " + words[1] + " twice");
  }
  return ids;
}

std::vector<PageSource> ReadPageSources(const fs::path& data, FaultReporter fail) {
  const auto pages = ReadPageEntries(data, fail);
  const auto controlIds = ReadControlIds(data, fail);
  std::vector<fs::path> files;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(data / "pages", error))
    if (entry.path().extension() == ".txt") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  std::vector<PageSource> sources;
  std::set<std::string> seen;
  for (const fs::path& file : files) {
    PageSource page;
    if (!ReadSource(file, page, fail)) continue;
    const auto entry = pages.find(page.name);
    if (entry == pages.end()) {
      fail(page.where, "page " + page.name + " is not in pages.txt");
      continue;
    }
    if (!seen.insert(page.name).second) {
      fail(page.where, "page " + page.name + " has a second source");
      continue;
    }
    page.id = entry->second.id;
    page.kind = entry->second.kind;
    auto idOf = [&](const std::string& name, const std::string& where, int& id) {
      if (name == "-") return;
      const auto found = controlIds.find(name);
      if (found == controlIds.end()) fail(where, "control " + name + " is not in control_ids.txt");
      else id = found->second;
    };
    for (PageControl& control : page.controls) idOf(control.name, control.where, control.id);
    for (PageRow& row : page.rows) {
      idOf(row.control, row.where, row.controlId);
      if (row.control == "-") fail(row.where, "a row needs a control with an identifier");
      if (!row.partner.empty()) idOf(row.partner, row.where, row.partnerId);
      if (!row.link.empty()) idOf(row.link, row.where, row.linkId);
    }
    sources.push_back(std::move(page));
  }
  for (const auto& [name, entry] : pages)
    if (!seen.count(name)) fail("pages/", "page " + name + " has no source");
  std::sort(sources.begin(), sources.end(), [](const PageSource& a, const PageSource& b) { return a.id < b.id; });
  return sources;
}

std::map<std::string, std::vector<int>> ReadLanguageStringIds(const fs::path& data, FaultReporter fail) {
  std::map<std::string, std::vector<int>> strings;
  std::ifstream languages(data / "languages.txt");
  std::string line;
  while (std::getline(languages, line)) {
    const auto words = Words(line);
    if (words.size() != 5) continue;
    const fs::path file = data / "strings" / (words[4] + ".txt");
    if (!fs::exists(file)) continue;  // the model has no library in that language
    std::ifstream in(file);
    std::vector<int>& ids = strings[words[4]];
    for (std::string text; std::getline(in, text);) {
      const auto first = Words(text);
      int id = 0;
      if (!first.empty() && ParseInt(first[0], 1, 0xFFFF, id)) ids.push_back(id);
    }
    std::sort(ids.begin(), ids.end());
  }
  if (strings.empty()) fail("strings/", "no language of languages.txt has a string table");
  return strings;
}

std::map<std::string, std::string> ReadDescribedItems(const fs::path& data) {
  std::map<std::string, std::string> items;
  std::map<std::string, std::string> sharing;  // item -> the item whose node it shares
  std::ifstream in(data / "model" / "qnvelm.dsc", std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("*OpenUI *", 0) != 0) continue;
    const size_t end = line.find_first_of(" :", 9);
    if (end == std::string::npos) continue;
    const std::string item = line.substr(9, end - 9);
    const size_t colon = line.find(':', end);
    auto words = Words(colon == std::string::npos ? "" : line.substr(colon + 1));
    if (words.empty()) words.push_back("-");
    const std::string type = words[0].substr(0, words[0].find('|'));
    if (type == "Identity" && words.size() > 1 && words[1].size() > 1) sharing.emplace(item, words[1].substr(1));
    items.emplace(item, type);  // a numbered record keeps the first record's type
  }
  for (const auto& [item, shared] : sharing) {
    const auto found = items.find(shared);
    if (found != items.end()) items[item] = found->second;
  }
  return items;
}

std::vector<int> ReadBitmapIds(const fs::path& data) {
  std::vector<int> ids;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(data / "dialogs", error)) {
    if (entry.path().extension() != ".txt") continue;
    std::ifstream in(entry.path());
    for (std::string line; std::getline(in, line);) {
      const auto words = Words(line);
      int id = 0;
      if (words.size() >= 3 && words[0] == "bitmap" && ParseInt(words[1], 1, 0xFFFF, id)) ids.push_back(id);
    }
  }
  std::sort(ids.begin(), ids.end());
  return ids;
}

// A listed value shows the string whose id is its model value, so that id must be the value's own:
// an item listing another listed item's value names (the language list's among them) would show
// that item's texts. Items with the same list of values share their names, and so do two items
// whose value maps store the same value under a name (the paper codes of the paper and tray lists).
bool ShareValueName(int item, int other, int value, const PageCheckTables& tables) {
  if (tables.valueNames.at(item) == tables.valueNames.at(other)) return true;
  const auto mine = tables.mappedValues.find(item), theirs = tables.mappedValues.find(other);
  if (mine == tables.mappedValues.end() || theirs == tables.mappedValues.end()) return false;
  const auto a = mine->second.find(value), b = theirs->second.find(value);
  return a != mine->second.end() && b != theirs->second.end() && a->second == b->second;
}

void CheckOwnValueNames(const std::map<int, std::string>& listed, const PageCheckTables& tables, FaultReporter fail) {
  std::map<int, std::vector<int>> owners;  // value name -> listed items whose values use it
  for (const auto& [item, where] : listed) {
    const auto values = tables.valueNames.find(item);
    if (values == tables.valueNames.end()) continue;
    for (int value : values->second)
      if (value != 0) owners[value].push_back(item);
  }
  std::map<int, std::string> symbols;
  for (const auto& [name, id] : tables.items) symbols.emplace(id, name);
  for (const auto& [value, items] : owners)
    for (int item : items)
      for (int other : items)
        if (other != item && !ShareValueName(item, other, value, tables))
          fail(listed.at(item), "string " + std::to_string(value) + " (a value name of " + symbols[item] +
                                    ") is a value name of " + symbols[other] + " as well");
}

std::map<std::string, std::vector<long long>> ReadDescribedRanges(const fs::path& data) {
  std::map<std::string, std::vector<long long>> ranges;
  std::map<std::string, std::string> sharing;
  std::ifstream in(data / "model" / "qnvelm.dsc", std::ios::binary);
  std::string line, open;
  while (std::getline(in, line)) {
    if (line.rfind("*OpenUI *", 0) == 0) {
      const size_t end = line.find_first_of(" :", 9);
      const std::string item = line.substr(9, end == std::string::npos ? std::string::npos : end - 9);
      const bool numbered = end != std::string::npos && line[end] == ' ';
      open = numbered ? "" : item;  // a numbered record keeps the first record's range
      const size_t identity = line.find("Identity *");
      const auto shared = identity == std::string::npos ? std::vector<std::string>{} : Words(line.substr(identity + 10));
      if (!numbered && !shared.empty()) sharing.emplace(item, shared[0]);
    } else if (line.rfind("*CloseUI", 0) == 0) {
      open.clear();
    } else if (!open.empty() && line.rfind("*NumericValue:", 0) == 0) {
      const size_t first = line.find('"'), last = line.rfind('"');
      if (first == std::string::npos || last <= first) continue;
      std::vector<long long>& numbers = ranges[open];
      numbers.clear();
      for (const std::string& word : Words(line.substr(first + 1, last - first - 1))) {
        long long number = 0;
        if (!ParseNumber(word, -0x80000000ll, 0xFFFFFFFFll, number)) break;
        numbers.push_back(number);
      }
    }
  }
  for (const auto& [item, shared] : sharing) {
    const auto found = ranges.find(shared);
    if (found != ranges.end()) ranges[item] = found->second;
  }
  return ranges;
}

std::map<std::string, std::map<int, std::string>> ReadLanguageStringTexts(const fs::path& data) {
  std::map<std::string, std::map<int, std::string>> texts;
  std::ifstream languages(data / "languages.txt");
  std::string line;
  while (std::getline(languages, line)) {
    const auto words = Words(line);
    if (words.size() != 5) continue;
    std::ifstream in(data / "strings" / (words[4] + ".txt"));
    for (std::string text; std::getline(in, text);) {
      const auto first = Words(text);
      const size_t open = text.find('"'), close = text.rfind('"');
      int id = 0;
      if (!first.empty() && ParseInt(first[0], 1, 0xFFFF, id) && open != std::string::npos && close > open)
        texts[words[4]][id] = text.substr(open + 1, close - open - 1);
    }
  }
  return texts;
}

namespace {

// What each control class reads of its row beyond the item: the kind of extra data it expects,
// the range record of a decimal edit, the format of a static text.
constexpr int kTab = 0x68, kCheckList = 0x31, kButton = 0x15, kDecimalEdit = 0x3f;
constexpr int kStaticTypes[] = {0x01, 0x04, 0x05, 0x06, 0x2c, 0x2d, 0x2e, 0x40, 0x41, 0x53, 0x65, 0x66};

bool IsStaticText(int type) { return Contains({std::begin(kStaticTypes), std::end(kStaticTypes)}, type); }
bool IsSlider(int type) { return type == 0x52 || type == 0x54; }
bool IsEdit(int type) { return type == 0x3d || type == 0x3e; }
// The lists and combos that draw or refuse a hidden value with its conflict mark.
bool DrawsConflictMarks(int type) { return type == 0x2a || type == 0x2b || type == 0x2f || type == 0x30; }

std::string TypeName(int type) {
  std::ostringstream name;
  name << "control type 0x" << std::hex << type;
  return name.str();
}

// Each kind of extra data belongs to the classes that read it; the tab control and the check list
// read nothing else.
void CheckExtraKind(const PageRow& row, FaultReporter fail) {
  const int kind = row.extra.empty() ? 0 : row.extra[0];
  struct KindOwner {
    int kind;
    bool (*owner)(int type);
    const char* what;
  };
  static const KindOwner kOwners[] = {
      {kExtraKindSteps, [](int t) { return IsSlider(t); }, "slider steps (steps) belong to a slider"},
      {kExtraKindMark, [](int t) { return DrawsConflictMarks(t); }, "a conflict mark (mark) belongs to a list or combo"},
      {kExtraKindSpace, [](int t) { return t == kButton; }, "the space key (space) belongs to a push button"},
      {kExtraKindTabs, [](int t) { return t == kTab; }, "a tab list (tabs) belongs to a tab control"},
      {kExtraKindLines, [](int t) { return IsEdit(t); }, "an edit line list (lines) belongs to an edit"},
      {kExtraKindChecks, [](int t) { return t == kCheckList; }, "check-list items (checks) belong to a check list"},
      {kExtraKindLinkedSteps, [](int t) { return t == 0x02 || t == 0x03 || t == 0x16 || t == 0x29; },
       "linked steps (linksteps) belong to a control that takes a click (picture, check box, radio button)"},
  };
  for (const KindOwner& owner : kOwners)
    if (kind == owner.kind && !owner.owner(row.type)) fail(row.where, TypeName(row.type) + ": " + owner.what);
  if (row.type == kTab && kind != kExtraKindTabs) fail(row.where, "a tab control needs its tab list (tabs …)");
  if (row.type == kCheckList && kind != kExtraKindChecks)
    fail(row.where, "a check list needs the items of its rows (checks …)");
  if (kind == kExtraKindMark && !row.info)
    fail(row.where, "a conflict mark needs the information string (info s<n>) that the refusal shows");
  if (kind == kExtraKindSteps && row.extra[1] > row.extra[2])
    fail(row.where, "the slider's line step is larger than its page step");
  if (kind == kExtraKindTabs) {
    for (size_t at = 2; at + 1 < row.extra.size(); at += 2 + row.extra[at + 1])
      if (row.extra[at + 1] == 0) fail(row.where, "a tab shows no control");
  }
}

int DecimalsOf(long long scale) {
  int decimals = 0;
  for (; scale > 1; scale /= 10) ++decimals;
  return decimals;
}

// Characters of `value` shown with `decimals` decimals.
int ShownChars(long long value, int decimals) {
  long long whole = value < 0 ? -value : value;
  for (int d = 0; d < decimals; ++d) whole /= 10;
  return static_cast<int>(std::to_string(whole).size()) + (decimals ? decimals + 1 : 0) + (value < 0 ? 1 : 0);
}

// A decimal edit shows its item through the range record: unit suffix, text length, decimal scale.
void CheckDecimalRange(const PageRow& row, const PageCheckTables& tables, FaultReporter fail) {
  const auto found = tables.ranges.find(row.item);
  if (found == tables.ranges.end() || found->second.size() < 8) {
    fail(row.where, "decimal edit over " + row.item +
                        ", whose range in the model description lacks its unit suffix, text length, decimal "
                        "scale and page step");
    return;
  }
  const std::vector<long long>& n = found->second;
  const long long minimum = n[2], maximum = n[3], suffix = n[4], length = n[5], scale = n[6];
  if (scale != 0 && scale != 1 && scale != 10 && scale != 100 && scale != 1000 && scale != 10000)
    fail(row.where, "decimal scale " + std::to_string(scale) + " of " + row.item + " is not 0, 1, 10, 100, 1000 or 10000");
  int needed = 0;
  if (row.flags & 0x80000000ll) {  // a length in 1200-dpi dots, shown in 0.1 mm or 0.01 inch
    for (const long long bound : {minimum, maximum})
      needed = std::max({needed, ShownChars(bound * 254 / 1200, 1), ShownChars(bound * 100 / 1200, 2)});
  } else {
    needed = std::max(ShownChars(minimum, DecimalsOf(scale)), ShownChars(maximum, DecimalsOf(scale)));
  }
  if (length < needed)
    fail(row.where, "text length " + std::to_string(length) + " of " + row.item + " cannot show its range (" +
                        std::to_string(needed) + " characters)");
  if (suffix == 0) return;
  for (const auto& [code, texts] : tables.stringTexts) {
    const auto text = texts.find(static_cast<int>(suffix));
    if (text == texts.end())
      fail(row.where, "unit suffix string " + std::to_string(suffix) + " of " + row.item + " is missing from strings/" +
                          code + ".txt");
    else if (text->second.size() > 16)
      fail(row.where, "unit suffix string " + std::to_string(suffix) + " is longer than 16 characters");
  }
}

// A static text formats its item's value with a value's string: at most one integer conversion.
std::string FormatFault(const std::string& format) {
  int conversions = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') continue;
    if (i + 1 < format.size() && format[i + 1] == '%') {
      ++i;
      continue;
    }
    size_t at = i + 1;
    if (at < format.size() && format[at] == 'l') ++at;
    if (at >= format.size() || std::string("diuxX").find(format[at]) == std::string::npos)
      return "a '%' that is no integer conversion";
    if (++conversions > 1) return "more than one conversion";
    i = at;
  }
  return "";
}

// A static text formats its item's current value with the string of the item's value; every listed
// value formats in turn and the last one's text stays, so the item must list one value only.
void CheckStaticFormats(const PageRow& row, const PageCheckTables& tables, FaultReporter fail) {
  const auto values = tables.valueNames.find(row.itemId);
  if (values == tables.valueNames.end()) return;
  if (values->second.size() > 1)
    fail(row.where, "a static text shows the one value of its item, but " + row.item + " lists " +
                        std::to_string(values->second.size()) + " values (bind the row to -)");
  for (int value : values->second) {
    for (const auto& [code, texts] : tables.stringTexts) {
      const auto text = texts.find(value);
      if (text == texts.end()) continue;
      const std::string fault = FormatFault(text->second);
      if (!fault.empty())
        fail(row.where, "string " + std::to_string(value) + " in strings/" + code + ".txt, the format of a static text over " +
                            row.item + ", has " + fault);
    }
  }
}

// A linked step adds to the item of another control of the page, within that item's range.
void CheckLinkedSteps(const PageSource& page, const PageRow& row, const PageCheckTables& tables, FaultReporter fail) {
  if (row.extra.empty() || row.extra[0] != kExtraKindLinkedSteps) return;
  for (const std::string& name : row.extraControls) {
    const auto linked = std::find_if(page.rows.begin(), page.rows.end(), [&](const PageRow& r) { return r.control == name; });
    const auto range = linked == page.rows.end() ? tables.ranges.end() : tables.ranges.find(linked->item);
    if (range == tables.ranges.end() || range->second.size() < 4)
      fail(row.where, "linked step of " + name + ", which has no row over an item with a range on this page");
  }
}

void CheckClassData(const PageSource& page, const PageRow& row, const PageCheckTables& tables, FaultReporter fail) {
  CheckExtraKind(row, fail);
  CheckLinkedSteps(page, row, tables, fail);
  if (row.type == kDecimalEdit && row.itemId) CheckDecimalRange(row, tables, fail);
  if (IsStaticText(row.type) && row.itemId) CheckStaticFormats(row, tables, fail);
}

}  // namespace

void CheckPageSources(const std::map<std::string, PageEntry>& pages, std::vector<PageSource>& sources,
                      const PageCheckTables& tables, FaultReporter fail) {
  auto needString = [&](int id, const std::string& where, const std::string& what) {
    for (const auto& [code, ids] : tables.strings)
      if (!std::binary_search(ids.begin(), ids.end(), id))
        fail(where, "string " + std::to_string(id) + " (" + what + ") is missing from strings/" + code + ".txt");
  };
  for (const InterfaceStrings& range : kInterfaceStrings)
    for (int id = range.first; id <= range.last; ++id) needString(id, "strings/", range.what);
  auto needBitmap = [&](int id, const std::string& where, const std::string& what) {
    if (!std::binary_search(tables.bitmaps.begin(), tables.bitmaps.end(), id))
      fail(where, "bitmap " + std::to_string(id) + " (" + what + ") is not in dialogs/");
  };
  auto itemOf = [&](const std::string& symbol, const std::string& where, int& id) {
    const auto found = tables.items.find(symbol);
    if (found == tables.items.end()) return fail(where, "item " + symbol + " is not in the item table");
    id = found->second;
    if (!tables.describedItems.count(symbol)) fail(where, "item " + symbol + " has no node in the model description");
  };
  std::map<int, std::string> listed;  // items whose values a row lists by name -> the first such row
  std::map<int, std::string> shown;   // items whose current value's name a static text shows
  for (PageSource& page : sources) {
    const PageEntry& entry = pages.at(page.name);
    if (static_cast<int>(page.rows.size()) != entry.rows)
      fail(page.where, "page " + page.name + " has " + std::to_string(page.rows.size()) + " rows, the page table " +
                           std::to_string(entry.rows));
    if (page.caption) needString(page.caption, page.where, "the page's caption");

    std::map<int, const PageControl*> byId;
    for (const PageControl& control : page.controls) {
      if (control.id != 0xFFFF && !byId.emplace(control.id, &control).second)
        fail(control.where, "control " + control.name + " twice on page " + page.name);
      if (control.x < 0 || control.y < 0 || control.x + control.width > page.width ||
          control.y + control.height > page.height)
        fail(control.where, "control " + control.name + " lies outside its dialog");
      if (control.captionKind == 's') needString(control.caption, control.where, "the control's caption");
      if (control.captionKind == 'b') needBitmap(control.caption, control.where, "the control's picture");
    }
    for (size_t a = 0; a < page.controls.size(); ++a) {
      for (size_t b = a + 1; b < page.controls.size(); ++b) {
        const PageControl& first = page.controls[a];
        const PageControl& second = page.controls[b];
        if (!IsContainer(first) && !IsContainer(second) && Overlap(first, second))
          fail(second.where, "control " + second.name + " overlaps " + first.name + " (" + first.where + ")");
      }
    }

    std::set<int> rowControls;
    for (PageRow& row : page.rows) {
      if (row.controlId && !rowControls.insert(row.controlId).second)
        fail(row.where, "control " + row.control + " has a second row on page " + page.name);
      if (row.controlId && !byId.count(row.controlId))
        fail(row.where, "control " + row.control + " is not in the template of " + page.name);
      if (row.partnerId && !byId.count(row.partnerId))
        fail(row.where, "partner " + row.partner + " is not in the template of " + page.name);
      if (row.linkId && !byId.count(row.linkId))
        fail(row.where, "linked control " + row.link + " is not in the template of " + page.name);
      if (!IsControlType(row.type)) fail(row.where, "control type " + std::to_string(row.type) + " has no control class");
      if (row.item != "-") {
        if (IsSpareBit(row.item)) fail(row.where, "item " + row.item + " is a spare bit that no control may stand for");
        itemOf(row.item, row.where, row.itemId);
        CheckControlFitsNode(row, tables, fail);
      }
      if (!row.dialog.empty()) {
        const auto dialog = pages.find(row.dialog);
        if (dialog == pages.end()) fail(row.where, "dialog " + row.dialog + " is not in pages.txt");
        else row.dialogId = dialog->second.id;
      }
      for (int id : row.extraStrings) needString(id, row.where, "named by the row's extra data");
      for (int id : row.extraBitmaps) needBitmap(id, row.where, "the row's conflict mark");
      // Control and item names of the extra data, in the order their zero words stand.
      size_t control = 0, item = 0;
      for (size_t w = row.extra.empty() ? 0 : 2; w < row.extra.size(); ++w) {
        if (row.extra[w] != 0) continue;
        if ((row.extra[0] == 6 || row.extra[0] == kExtraKindLinkedSteps) && control < row.extraControls.size()) {
          const std::string& name = row.extraControls[control++];
          const auto found = std::find_if(page.controls.begin(), page.controls.end(),
                                          [&](const PageControl& c) { return c.name == name; });
          if (found == page.controls.end()) fail(row.where, "control " + name + " of the extra data is not in the template");
          else row.extra[w] = found->id;
        } else if ((row.extra[0] == 7 || row.extra[0] == 8 || row.extra[0] == kExtraKindPreview) &&
                   item < row.extraItems.size()) {
          const std::string& symbol = row.extraItems[item++];
          if (symbol != "-") itemOf(symbol, row.where, row.extra[w]);
          // A check-list row toggles its item between 0 and 1.
          const auto node = tables.describedItems.find(symbol);
          if (row.extra[0] == 8 && node != tables.describedItems.end() && node->second != "Boolean")
            fail(row.where, "check-list item " + symbol + " is not a Boolean of the model description");
        }
      }
      if (!row.extra.empty() && row.extra[0] == kExtraKindPreview && row.type != kPreviewPicture)
        fail(row.where, "a preview is drawn by a picture (type 0x02), not by type " + std::to_string(row.type));
      CheckClassData(page, row, tables, fail);
      if (row.itemId && ShowsValueName(row, tables)) shown.emplace(row.itemId, row.where);
      if (row.itemId && ListsValueNames(row.type) && !NamedAtRunTime(row.itemId)) {
        listed.emplace(row.itemId, row.where);
        const auto values = tables.valueNames.find(row.itemId);
        if (values == tables.valueNames.end()) continue;
        for (int value : values->second) {
          if (value == 0) continue;  // 0 stands for the item itself and is never listed
          needString(value, row.where, "a value name of " + row.item);
          if (row.type == kPictureOfValues || DrawsValuePictures(row.controlId))
            needBitmap(value, row.where, "a value picture of " + row.item);
        }
      }
    }
  }
  // Names a static text shows must be the value's own as well.
  listed.insert(shown.begin(), shown.end());
  CheckOwnValueNames(listed, tables, fail);
}

void WritePageControlExtras(std::ostream& out, const std::vector<PageSource>& sources) {
  out << "\n#include \"settings/items/page_control_extras.h\"\n\nnamespace {\n";
  std::ostringstream rows;
  int count = 0;
  for (const PageSource& page : sources) {
    for (const PageRow& row : page.rows) {
      if (row.extra.empty() && !row.info && !row.dialogId && !row.linkId) continue;
      const std::string words = "kExtraWords_" + std::to_string(page.id) + "_" + std::to_string(row.controlId);
      if (!row.extra.empty()) {
        out << "const WORD " << words << "[] = {";
        for (size_t i = 0; i < row.extra.size(); ++i) out << (i ? ", " : "") << row.extra[i];
        out << "};\n";
      }
      rows << "    {" << page.id << ", " << row.controlId << ", " << row.info << ", " << row.dialogId << ", "
           << row.linkId << ", " << (row.extra.empty() ? "nullptr" : words) << ", " << row.extra.size() << "},\n";
      ++count;
    }
  }
  out << "}  // namespace\n\nextern const PageControlExtra kPageControlExtras[] = {\n" << rows.str()
      << (count ? "" : "    {0, 0, 0, 0, 0, nullptr, 0},\n") << "};\nextern const int kPageControlExtraCount = " << count
      << ";\n";
}

}  // namespace velm::data
