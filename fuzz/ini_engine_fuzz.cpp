// libFuzzer target for the INI engine's parser (see ini_engine_fuzz.h for the input's form).
#include <cstdio>
#include <cstdlib>

#include "fuzz/ini_engine_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string failure = velm::fuzz::CheckIniEngine(data, size);
  if (!failure.empty()) {
    std::fprintf(stderr, "INI engine: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
