// The decimal edit's parser under arbitrary text: byte 0 chooses the divisor (0, 1, 10, 100,
// 1000, 10000 or an odd one), the rest are UTF-16 units of the typed text. The parse never
// answers a negative number, and a number the formatter wrote parses back to itself. Shared by
// the fuzz target and the test that replays its corpus.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui2k/controls/edit_controls.h"

namespace velm::fuzz {

inline std::string CheckDecimalParse(const uint8_t* data, size_t size) {
  if (size < 1) return "";
  const DWORD divisors[] = {0, 1, 10, 100, 1000, 10000, 7};
  const DWORD divisor = divisors[data[0] % 7];
  std::vector<WCHAR> text;
  for (size_t i = 1; i + 1 < size; i += 2) text.push_back(static_cast<WCHAR>(data[i] | (data[i + 1] << 8)));
  text.push_back(0);
  const LONG value = CtlParseDecimal(text.data(), divisor);
  if (value < 0) return "a negative number";
  if (divisor == 7) return "";  // not a power of ten: the formatter's decimals differ from the parser's
  WCHAR shown[64];
  CtlFormatDecimal(value, divisor, shown, 64);
  if (CtlParseDecimal(shown, divisor) != value) return "a formatted number that does not parse back";
  return "";
}

}  // namespace velm::fuzz
