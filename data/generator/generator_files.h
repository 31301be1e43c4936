// What the data generators share: reading a data file's lines as words, and writing an output
// file whole or not at all.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

namespace velm::data {

// Calls `row(where, kind, rest)` for every line of `in` that holds a word once "#" comments are
// cut off: `where` is "name:line", `kind` the first word, `rest` the others.
template <typename Row>
void ForEachDataLine(std::istream& in, const std::string& name, Row row) {
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (const size_t hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    std::istringstream words(line);
    std::string kind;
    if (!(words >> kind)) continue;
    std::vector<std::string> rest;
    for (std::string w; words >> w;) rest.push_back(w);
    row(name + ":" + std::to_string(number), kind, rest);
  }
}

// Writes `content` to a temporary file beside `out` and renames it into place.
inline bool WriteAtomically(const std::filesystem::path& out, const std::string& content) {
  const std::filesystem::path temporary = out.string() + ".tmp";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file << content;
    if (!file.flush()) return false;
  }
  std::error_code error;
  std::filesystem::rename(temporary, out, error);
  return !error;
}

}  // namespace velm::data
