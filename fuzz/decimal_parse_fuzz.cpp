// libFuzzer target: the decimal edit's parser (fuzz/decimal_parse_fuzz.h).
#include <cstdlib>
#include <iostream>

#include "fuzz/decimal_parse_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string fault = velm::fuzz::CheckDecimalParse(data, size);
  if (!fault.empty()) {
    std::cerr << fault << "\n";
    std::abort();
  }
  return 0;
}
