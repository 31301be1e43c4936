// The device capabilities of a printer as applications ask for them (DeviceCapabilitiesW): `velm caps`.
#pragma once

#include <string>
#include <vector>

#include "core/wintypes.h"

namespace velm::tools {

struct CapsOptions {
  std::u16string printer = u"Velm Printer";
  std::vector<WORD> indexes;  // DC_* indexes; empty: 1..33
};

// The DC_* index that `text` names: a number, or a name with or without "DC_" in any case
// ("DC_PAPERS", "papers"). False when it names none.
bool ParseCapsIndex(const std::string& text, WORD* index);

// Asks each index of the printer of the machine root in force: a count first, then a buffer of
// that size filled. Each answer is a line "DC_NAME (n): answer", a list's entries one a line
// below it. False with a message when the printer cannot be asked at all.
bool RunCaps(const CapsOptions& options, std::string* out, std::string* error);

}  // namespace velm::tools
