#include "saved_settings_values.h"

#include <charconv>
#include <fstream>
#include <map>
#include <string>

#include "generator_files.h"

namespace fs = std::filesystem;

namespace velm::data {

namespace {

constexpr char kFile[] = "saved_settings_values.txt";
constexpr char kKeyPrefix[] = "PresetList";

bool ParseWhole(const std::string& text, int& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc{} && end == text.data() + text.size();
}

// The texts of strings `first`..`last` of one language file (id "text"; escapes are kept).
std::map<int, std::string> StringTexts(const fs::path& file, int first, int last) {
  std::map<int, std::string> texts;
  std::ifstream in(file, std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    const size_t open = line.find('"');
    const size_t close = line.rfind('"');
    int id = 0;
    if (open == std::string::npos || close <= open) continue;
    std::string head = line.substr(0, open);
    head.erase(head.find_last_not_of(" \t") + 1);
    if (!ParseWhole(head, id) || id < first || id > last) continue;
    texts[id] = line.substr(open + 1, close - open - 1);
  }
  return texts;
}

}  // namespace

std::vector<int> ReadSavedSettingsValues(const fs::path& data, FaultReporter fail) {
  std::vector<int> values;
  std::ifstream in(data / kFile);
  if (!in) {
    fail(kFile, "cannot be read");
    return values;
  }
  ForEachDataLine(in, kFile, [&](const std::string& where, const std::string& first,
                                 const std::vector<std::string>& rest) {
    int entry = 0, value = 0;
    if (rest.size() != 1 || !ParseWhole(first, entry) || !ParseWhole(rest[0], value))
      return fail(where, "expected: entry value");
    if (entry != static_cast<int>(values.size()))
      return fail(where, "entry " + first + " stands where entry " + std::to_string(values.size()) + " belongs");
    if (value != kFirstSavedSettingsValue + entry)
      fail(where, "entry " + first + " has the value " + rest[0] + ", not " +
                      std::to_string(kFirstSavedSettingsValue + entry));
    values.push_back(value);
  });
  if (values.size() != kSavedSettingsEntries)
    fail(kFile, std::to_string(values.size()) + " entries, the saved-settings list holds " +
                    std::to_string(kSavedSettingsEntries));
  const int last = kFirstSavedSettingsValue + kSavedSettingsEntries - 1;
  for (const auto& [code, ids] : ReadLanguageStringIds(data, fail)) {
    const std::map<int, std::string> texts =
        StringTexts(data / "strings" / (code + ".txt"), kFirstSavedSettingsValue, last);
    for (size_t entry = 0; entry < values.size(); ++entry) {
      const std::string key = kKeyPrefix + std::to_string(entry);
      const auto text = texts.find(values[entry]);
      if (text == texts.end())
        fail("strings/" + code + ".txt", "string " + std::to_string(values[entry]) + " (saved-settings entry " +
                                             std::to_string(entry) + ") is missing");
      else if (text->second != key)
        fail("strings/" + code + ".txt", "string " + std::to_string(values[entry]) + " is \"" + text->second +
                                             "\", not the entry's key \"" + key + "\"");
    }
  }
  return values;
}

void WriteSavedSettingsValues(std::ostream& out, const std::vector<int>& values) {
  out << "\n// ---- The built-in value list of the saved-settings items ----\n"
         "#include \"settings/items/saved_settings_values.h\"\n\n"
         "extern const WORD kSavedSettingsValues[] = {";
  for (size_t i = 0; i < values.size(); ++i) out << (i ? ", " : "") << values[i];
  out << "};\nextern const int kSavedSettingsValueCount = " << values.size() << ";\n";
}

}  // namespace velm::data
