// libFuzzer target for the address list loader (see address_list_fuzz.h for the input's form).
#include <cstdio>
#include <cstdlib>

#include "fuzz/address_list_fuzz.h"
#include "fuzz/fuzz_machine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = (velm::fuzz::SetUpFuzzMachine("address_list", {}), true);
  (void)ready;
  const std::string failure = velm::fuzz::CheckAddressList(data, size);
  if (!failure.empty()) {
    std::fprintf(stderr, "address list: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
