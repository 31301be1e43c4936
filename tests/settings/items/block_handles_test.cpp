// The registry of 32-bit block handles: its own storage draws on the counted allocator, so a
// failed allocation anywhere in SysBlockAlloc is a null answer the caller sees, and an empty
// registry holds no memory.
#include "settings/items/block_handles.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/memory.h"

namespace {

struct FaultOff {
  ~FaultOff() { velm::platform::SetAllocationFault(0); }
};

// Allocates with the nth allocation failing; true when the block was had.
bool AllocWithFault(uint64_t nth, DWORD* handle) {
  FaultOff off;
  velm::platform::SetAllocationFault(nth);
  SetLastError(ERROR_SUCCESS);
  void* block = SysBlockAlloc(32, handle);
  if (!block) {
    EXPECT_EQ(*handle, 0u) << "allocation " << nth;
    EXPECT_EQ(GetLastError(), DWORD{ERROR_NOT_ENOUGH_MEMORY}) << "allocation " << nth;
  }
  return block != nullptr;
}

// Held blocks before the failing one: none (the registry's first storage) and 16 (its growth).
TEST(BlockHandlesTest, EachAllocationFailingIsANullAnswerAndChangesNothing) {
  for (const size_t held : {size_t{0}, size_t{16}}) {
    ASSERT_EQ(SysBlockCount(), 0u);
    const uint64_t live = velm::platform::LiveAllocationCount();
    std::vector<DWORD> handles(held);
    for (DWORD& h : handles) ASSERT_NE(SysBlockAlloc(8, &h), nullptr);
    uint64_t nth = 1;
    DWORD handle = 0;
    for (; !AllocWithFault(nth, &handle); ++nth) {
      EXPECT_EQ(SysBlockCount(), held) << "allocation " << nth;
      for (DWORD h : handles) EXPECT_NE(SysBlockGet(h), nullptr) << "allocation " << nth;
    }
    EXPECT_GE(nth, held == 0 ? 3u : 2u) << "held " << held;  // the block, then the storage
    EXPECT_NE(SysBlockGet(handle), nullptr);
    SysBlockFree(handle);
    for (DWORD h : handles) SysBlockFree(h);
    EXPECT_EQ(velm::platform::LiveAllocationCount(), live) << "held " << held;
  }
}

// Storage given back when the registry empties must not let an old handle find a new block.
TEST(BlockHandlesTest, AHandleFromEmptiedStorageFindsNothing) {
  DWORD old = 0;
  ASSERT_NE(SysBlockAlloc(8, &old), nullptr);
  SysBlockFree(old);
  DWORD fresh = 0;
  ASSERT_NE(SysBlockAlloc(8, &fresh), nullptr);
  EXPECT_NE(fresh, old);
  EXPECT_EQ(SysBlockGet(old), nullptr);
  SysBlockFree(old);
  EXPECT_NE(SysBlockGet(fresh), nullptr);
  SysBlockFree(fresh);
}

}  // namespace
