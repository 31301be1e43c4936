// The built-in value list of the saved-settings items (data/saved_settings_values.txt): read,
// checked against the saved-settings list and the resource strings, and written as the table
// kSavedSettingsValues (settings/items/saved_settings_values.h).
#pragma once

#include <filesystem>
#include <ostream>
#include <vector>

#include "page_sources.h"

namespace velm::data {

// The list's capacity and the value of its first entry.
constexpr int kSavedSettingsEntries = 16;
constexpr int kFirstSavedSettingsValue = 119;

// The values in entry order. Refused: a row that is not "entry value", an entry out of order or
// missing, a value other than 119 + entry, and a value whose string some language lacks or that
// is not the entry's key "PresetList<entry>".
std::vector<int> ReadSavedSettingsValues(const std::filesystem::path& data, FaultReporter fail);
void WriteSavedSettingsValues(std::ostream& out, const std::vector<int>& values);

}  // namespace velm::data
