// libFuzzer target: the devmode conversion core (fuzz/convert_core_fuzz.h).
#include <cstdlib>
#include <iostream>

#include "fuzz/convert_core_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string fault = velm::fuzz::CheckConvertCore(data, size);
  if (!fault.empty()) {
    std::cerr << fault << "\n";
    std::abort();
  }
  return 0;
}
