// `velm query`: a constraint query through the installed query library, as an application makes
// it: the library loaded by name from the driver folder, a session on the printer, a base of
// "@PJL SET" lines, optionally one update, and the allowed values of commands.
#pragma once

#include <string>
#include <vector>

namespace velm::tools {

struct QueryOptions {
  std::string printer;
  std::string text;                 // the input; its "@PJL SET" lines are the base
  std::string update;               // an update line after the base, or empty
  std::vector<std::string> values;  // commands whose acceptable values are listed
};

// The "@PJL SET" lines of `text` (lines of other kinds skipped, blanks before them allowed), each
// ended with CR LF whatever ended it in the text.
std::string ExtractSetLines(const std::string& text);

// Runs the query against the machine root of the environment and writes its report to `out`:
// the changed lines of the base (or of the update), then each command's acceptable values. FALSE
// with `error` set for a printer that cannot be opened, input without SET lines, a malformed
// line, a base without a required command, or a library that cannot be loaded.
bool RunQuery(const QueryOptions& options, std::string* out, std::string* error);

}  // namespace velm::tools
