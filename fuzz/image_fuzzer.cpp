// Feeds arbitrary bytes to the checks of a cached description block; a block they pass is then
// walked through every reader. A damaged block must be refused, never crash or loop.
//   build/fuzz/bin/fuzz_image <new-inputs-folder> fuzz/corpus/image -runs=1000000
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/image_walk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kDescMaxImageBytes) return 0;
  // A block of exactly the input's size, so that a read past its end is one past the block.
  const std::vector<BYTE> block(data, data + size);
  if (!velm::fuzz::ImageHolds(block.data(), DWORD(size))) __builtin_trap();
  return 0;
}
