#include "query_command.h"

#include "core/modules.h"
#include "exclude/velmexc.h"
#include "spool/spool_store.h"

namespace velm::tools {

namespace {

struct Library {
  HMODULE module = nullptr;
  ExcGetExclusiveProc getExclusive = nullptr;
  ExcFreeExclusiveProc freeExclusive = nullptr;
  ExcSetCommandBaseProc setBase = nullptr;
  ExcUpdateCommandProc update = nullptr;
  ExcGetCommandChangeProc getChange = nullptr;
  ExcGetCommandValueProc getValue = nullptr;
  ~Library() {
    if (module) FreeLibrary(module);
  }
  template <class Proc>
  void Bind(Proc* proc, const char* name) {
    *proc = reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
  }
  bool Load() {
    module = LoadLibraryW((std::u16string(platform::kDriverDirectory) + u"velmexc.dll").c_str());
    if (!module) return false;
    Bind(&getExclusive, "ExcGetExclusive");
    Bind(&freeExclusive, "ExcFreeExclusive");
    Bind(&setBase, "ExcSetCommandBase");
    Bind(&update, "ExcUpdateCommand");
    Bind(&getChange, "ExcGetCommandChange");
    Bind(&getValue, "ExcGetCommandValue");
    return getExclusive && freeExclusive && setBase && update && getChange && getValue;
  }
};

// The entries of a list that ends with an extra NUL, or the lines of a block.
std::vector<std::string> Entries(const std::string& bytes, char separator) {
  std::vector<std::string> entries;
  size_t at = 0;
  while (at < bytes.size() && bytes[at] != 0) {
    size_t end = bytes.find(separator, at);
    if (end == std::string::npos) end = bytes.size();
    std::string entry = bytes.substr(at, end - at);
    while (!entry.empty() && (entry.back() == '\r' || entry.back() == ' ' || entry.back() == '\0')) entry.pop_back();
    entries.push_back(entry);
    at = end + 1;
  }
  return entries;
}

std::string Changes(const Library& library, EXCSESSION session) {
  uint32_t needed = 0;
  library.getChange(session, 0, nullptr, &needed);
  if (needed == 0) return {};
  std::string text(needed, '\0');
  if (library.getChange(session, needed, text.data(), &needed) != 0) return {};
  return text;
}

const char* Explain(int32_t result, bool base) {
  switch (result) {
    case -1: return "a line is malformed or the query failed";
    case -2: return base ? "the base lacks APLPAGESIZE, APLPAGELAYOUT, PAPER or TRAY" : "no data";
    default: return "unexpected result";
  }
}

}  // namespace

std::string ExtractSetLines(const std::string& text) {
  std::string lines;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line.compare(start, 9, "@PJL SET ") != 0) continue;
    lines += line + "\r\n";
  }
  return lines;
}

bool RunQuery(const QueryOptions& options, std::string* out, std::string* error) {
  const std::string base = ExtractSetLines(options.text);
  if (base.empty()) {
    *error = "the input holds no \"@PJL SET\" lines";
    return false;
  }
  if (base.find('\0') != std::string::npos) {
    *error = "the input holds a NUL byte";
    return false;
  }
  Library library;
  if (!library.Load()) {
    *error = "the query library velmexc.dll cannot be loaded from the driver folder";
    return false;
  }
  EXCSESSION session = library.getExclusive(options.printer.c_str());
  if (!session) {
    *error = "printer \"" + options.printer + "\" cannot be opened";
    return false;
  }
  bool ok = true;
  uint32_t size = 0;
  int32_t result = library.setBase(session, base.c_str(), &size);
  std::string changes = result == 1 ? Changes(library, session) : "";
  if (result < 0) {
    *error = std::string("the base is refused: ") + Explain(result, true);
    ok = false;
  } else if (!options.update.empty()) {
    const std::string line = ExtractSetLines(options.update);
    result = line.empty() ? -1 : library.update(session, line.c_str(), &size);
    if (result < 0) {
      *error = "the update \"" + options.update + "\" is refused: " + Explain(result, false);
      ok = false;
    }
    changes = result == 1 ? Changes(library, session) : "";
    *out += "update: " + options.update + "\n";
  }
  if (ok) {
    const std::vector<std::string> lines = Entries(changes, '\n');
    *out += lines.empty() ? "changed: none\n" : "changed:\n";
    for (const std::string& line : lines) *out += "  " + line + "\n";
    for (const std::string& command : options.values) {
      uint32_t needed = 0;
      std::string list;
      if (library.getValue(session, command.c_str(), 1, 0, nullptr, &needed) == 1) {
        list.assign(needed, '\0');
        if (library.getValue(session, command.c_str(), 1, needed, list.data(), &needed) != 0) list.clear();
      }
      *out += "values " + command + ":";
      for (const std::string& value : Entries(list, '\0')) *out += " " + value;
      *out += "\n";
    }
  }
  library.freeExclusive(session);
  return ok;
}

}  // namespace velm::tools
