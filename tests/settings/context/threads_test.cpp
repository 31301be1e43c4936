// Eight threads opening and closing contexts for one printer at once: no context is ever held
// by two threads, and nothing leaks.
#include <atomic>
#include <set>
#include <thread>

#include "settings/context/context_fixture.h"

namespace {

TEST_F(ContextTest, ThreadsOpeningAndClosingAtOnceNeverShareAContextAndLeakNothing) {
  constexpr int kThreads = 8;
  constexpr int kPairs = 500;  // per thread
  HANDLE shared = Open();
  std::vector<HANDLE> own;
  for (int t = 0; t < kThreads; ++t) own.push_back(Open());
  const uint64_t live = velm::platform::LiveAllocationCount();
  std::mutex heldLock;
  std::set<DriverContext*> held;
  std::atomic<int> failures{0};

  auto worker = [&](int t) {
    for (int i = 0; i < kPairs; ++i) {
      // Half the opens share one handle; the others reuse across handles. Some are names-only.
      const WORD kind = i % 7 == 3 ? kKindNamesOnly : kKindOrdinary;
      const WORD kindWord = i % 2 ? kind | kKindReuseOtherHandle | kKindReuseAnyKind : kind;
      DriverContext* c = CtxCreateEx(i % 2 ? own[t] : shared, t, kindWord, 0, 0, nullptr);
      if (!c) {
        ++failures;
        continue;
      }
      {
        std::lock_guard guard(heldLock);
        if (!held.insert(c).second) ++failures;
      }
      const DWORD mark = static_cast<DWORD>(t * kPairs + i + 1);
      Mark(c, mark);
      std::this_thread::yield();
      if (MarkOf(c) != mark) ++failures;
      {
        std::lock_guard guard(heldLock);
        held.erase(c);
      }
      CtxDestroyEx(c, kind == kKindNamesOnly ? kReleaseToTable1 : kReleaseToTable2);
      if (t == 0 && i % 50 == 0) CtxFlushCache(1);
    }
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back(worker, t);
  for (std::thread& thread : threads) thread.join();

  EXPECT_EQ(failures, 0);
  CtxFlushCache(1);
  EXPECT_EQ(velm::platform::LiveAllocationCount(), live);
}

}  // namespace
