#include "core/memory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "core/winerror.h"

namespace velm::platform {
namespace {

bool AllBytes(const void* p, size_t n, unsigned char value) {
  const auto* b = static_cast<const unsigned char*>(p);
  for (size_t i = 0; i < n; ++i)
    if (b[i] != value) return false;
  return true;
}

TEST(MemoryTest, ZeroInitAndSizes) {
  const uint64_t live = LiveAllocationCount();
  void* p = GlobalAlloc(GPTR, 100);
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(AllBytes(p, 100, 0));
  EXPECT_EQ(GlobalSize(p), 100u);
  EXPECT_EQ(GlobalLock(p), p);  // a fixed block is its own pointer
  EXPECT_EQ(GlobalHandle(p), p);
  void* empty = LocalAlloc(LMEM_FIXED, 0);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(LocalSize(empty), 0u);
  void* heap = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, 33);
  ASSERT_NE(heap, nullptr);
  EXPECT_TRUE(AllBytes(heap, 33, 0));
  EXPECT_EQ(HeapSize(GetProcessHeap(), 0, heap), 33u);
  EXPECT_EQ(LiveAllocationCount(), live + 3);
  EXPECT_EQ(GlobalFree(p), nullptr);
  EXPECT_EQ(LocalFree(empty), nullptr);
  EXPECT_TRUE(HeapFree(GetProcessHeap(), 0, heap));
  EXPECT_EQ(LiveAllocationCount(), live);
}

TEST(MemoryTest, ReallocationKeepsContentsAndZeroesTheGrowth) {
  auto* p = static_cast<char*>(GlobalAlloc(GMEM_FIXED, 8));
  ASSERT_NE(p, nullptr);
  std::memcpy(p, "contents", 8);
  auto* q = static_cast<char*>(GlobalReAlloc(p, 4000, GMEM_MOVEABLE | GMEM_ZEROINIT));
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(std::memcmp(q, "contents", 8), 0);
  EXPECT_TRUE(AllBytes(q + 8, 4000 - 8, 0));
  EXPECT_EQ(GlobalSize(q), 4000u);
  q = static_cast<char*>(GlobalReAlloc(q, 4, 0));
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(std::memcmp(q, "cont", 4), 0);
  EXPECT_EQ(GlobalSize(q), 4u);
  EXPECT_EQ(GlobalFree(q), nullptr);

  HANDLE heap = GetProcessHeap();
  auto* h = static_cast<char*>(HeapAlloc(heap, 0, 16));
  ASSERT_NE(h, nullptr);
  std::memcpy(h, "0123456789abcdef", 16);
  SetLastError(0);
  EXPECT_EQ(HeapReAlloc(heap, HEAP_REALLOC_IN_PLACE_ONLY, h, 32), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(HeapReAlloc(heap, HEAP_REALLOC_IN_PLACE_ONLY, h, 10), h);
  EXPECT_EQ(HeapSize(heap, 0, h), 10u);
  auto* g = static_cast<char*>(HeapReAlloc(heap, 0, h, 64));
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(std::memcmp(g, "0123456789", 10), 0);
  EXPECT_TRUE(HeapFree(heap, 0, g));

  void* t = CoTaskMemRealloc(nullptr, 5);
  ASSERT_NE(t, nullptr);
  std::memcpy(t, "task", 5);
  t = CoTaskMemRealloc(t, 500);
  ASSERT_NE(t, nullptr);
  EXPECT_STREQ(static_cast<char*>(t), "task");
  EXPECT_EQ(CoTaskMemRealloc(t, 0), nullptr);
}

TEST(MemoryTest, MoveableHandleStaysWhileItsDataMoves) {
  HGLOBAL h = GlobalAlloc(GHND, 16);
  ASSERT_NE(h, nullptr);
  auto* p = static_cast<char*>(GlobalLock(h));
  ASSERT_NE(p, nullptr);
  EXPECT_NE(static_cast<void*>(p), h);
  EXPECT_EQ(GlobalHandle(p), h);
  EXPECT_EQ(GlobalSize(h), 16u);
  std::memcpy(p, "moveable", 9);

  // Locked, the data may not move unless the call allows it; shrinking stays in place.
  SetLastError(0);
  EXPECT_EQ(GlobalReAlloc(h, 1 << 20, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(GlobalReAlloc(h, 12, 0), h);
  EXPECT_EQ(GlobalLock(h), p);
  EXPECT_TRUE(GlobalUnlock(h));  // still locked once
  SetLastError(ERROR_INVALID_DATA);
  EXPECT_FALSE(GlobalUnlock(h));
  EXPECT_EQ(GetLastError(), NO_ERROR);
  EXPECT_FALSE(GlobalUnlock(h));
  EXPECT_EQ(GetLastError(), ERROR_NOT_LOCKED);

  EXPECT_EQ(GlobalReAlloc(h, 1 << 20, GMEM_ZEROINIT), h);
  auto* moved = static_cast<char*>(GlobalLock(h));
  EXPECT_STREQ(moved, "moveable");
  EXPECT_TRUE(AllBytes(moved + 12, (1 << 20) - 12, 0));
  EXPECT_EQ(GlobalSize(h), static_cast<SIZE_T>(1 << 20));
  GlobalUnlock(h);
  EXPECT_EQ(GlobalFree(h), nullptr);

  // A fixed block made moveable gets a handle of its own over the same data.
  void* fixed = LocalAlloc(LPTR, 4);
  HLOCAL made = LocalReAlloc(fixed, 0, LMEM_MODIFY | LMEM_MOVEABLE);
  ASSERT_NE(made, nullptr);
  EXPECT_NE(made, fixed);
  EXPECT_EQ(LocalLock(made), fixed);
  EXPECT_EQ(LocalHandle(fixed), made);
  EXPECT_EQ(LocalSize(made), 4u);
  EXPECT_EQ(LocalFree(made), nullptr);
}

TEST(MemoryTest, FaultInjectionFailsExactlyTheNthCall) {
  const uint64_t live = LiveAllocationCount();
  const uint64_t before = AllocationCount();
  SetAllocationFault(3);
  void* a = GlobalAlloc(GPTR, 8);
  void* b = LocalAlloc(LPTR, 8);
  SetLastError(0);
  void* c = HeapAlloc(GetProcessHeap(), 0, 8);
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
  void* d = CoTaskMemAlloc(8);
  EXPECT_NE(a, nullptr);
  EXPECT_NE(b, nullptr);
  EXPECT_EQ(c, nullptr);
  EXPECT_NE(d, nullptr);
  EXPECT_EQ(AllocationCount(), before + 4);
  EXPECT_EQ(LiveAllocationCount(), live + 3);

  // A failed reallocation leaves the block as it was.
  std::memcpy(a, "keep", 5);
  SetAllocationFault(1);
  EXPECT_EQ(GlobalReAlloc(a, 4096, GMEM_MOVEABLE), nullptr);
  EXPECT_STREQ(static_cast<char*>(a), "keep");
  EXPECT_EQ(GlobalSize(a), 8u);

  SetAllocationFault(1);
  SetAllocationFault(0);
  void* e = GlobalAlloc(GMEM_FIXED, 1);
  EXPECT_NE(e, nullptr);
  for (void* p : {a, b, e}) GlobalFree(p);
  CoTaskMemFree(d);
  EXPECT_EQ(LiveAllocationCount(), live);
}

TEST(MemoryTest, FaultInjectionFailsOneCallAcrossThreads) {
  SetAllocationFault(500);
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&failures] {
      for (int i = 0; i < 200; ++i) {
        void* p = HeapAlloc(GetProcessHeap(), 0, 24);
        if (!p) ++failures;
        HeapFree(GetProcessHeap(), 0, p);
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(failures.load(), 1);
}

TEST(MemoryTest, NullIsFreedAndForeignHandlesAreRefused) {
  EXPECT_EQ(GlobalFree(nullptr), nullptr);
  EXPECT_EQ(LocalFree(nullptr), nullptr);
  EXPECT_TRUE(HeapFree(GetProcessHeap(), 0, nullptr));
  CoTaskMemFree(nullptr);

  SetLastError(0);
  EXPECT_EQ(GlobalSize(nullptr), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  // Inside a zeroed block of ours but not at its start: no header there, so not a handle.
  auto* block = static_cast<char*>(GlobalAlloc(GPTR, 128));
  void* inside = block + 64;
  SetLastError(0);
  EXPECT_EQ(GlobalFree(inside), inside);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(GlobalLock(block + 3), nullptr);  // misaligned
  EXPECT_FALSE(HeapFree(GetProcessHeap(), 0, inside));
  EXPECT_EQ(HeapSize(GetProcessHeap(), 0, inside), static_cast<SIZE_T>(-1));
  GlobalFree(block);

  // Heap functions take neither another heap nor a moveable handle.
  int otherHeap;
  SetLastError(0);
  EXPECT_EQ(HeapAlloc(&otherHeap, 0, 8), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 8);
  EXPECT_FALSE(HeapFree(GetProcessHeap(), 0, h));
  GlobalFree(h);

  SetLastError(0);
  EXPECT_EQ(GlobalAlloc(0x80000, 8), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  SetLastError(0);
  EXPECT_EQ(GlobalAlloc(GMEM_FIXED, static_cast<SIZE_T>(-1)), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
}

}  // namespace
}  // namespace velm::platform
