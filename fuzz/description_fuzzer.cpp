// Feeds arbitrary bytes to the description parser and checks what it hands on.
//   build/fuzz/bin/fuzz_description <new-inputs-folder> fuzz/corpus/description -runs=1000000
#include <cstddef>
#include <cstdint>

#include "fuzz/description_invariants.h"
#include "settings/description/parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first byte also chooses the code page: an odd byte brings double-byte characters.
  static const DescLeadBytes kSingleByte{};
  static const DescLeadBytes kDoubleByte = DescLeadBytes::DoubleByteTestPage();
  const DescLeadBytes* lead = size && (data[0] & 1) ? &kDoubleByte : &kSingleByte;
  DescParseResult* result = DescParseText(data, size, lead);
  if (result && !velm::fuzz::ResultHolds(*result)) __builtin_trap();
  DescFreeParseResult(result);
  return 0;
}
