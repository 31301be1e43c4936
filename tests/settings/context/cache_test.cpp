// The reuse cache: hits within 500 ms, expiry, eviction, the job-binder bit, and which cached
// context an open call may take.
#include "settings/context/context_fixture.h"

namespace {

TEST_F(ContextTest, AReopenWithin500MsTakesTheSameContextAsLeftAndLaterANewOne) {
  HANDLE printer = Open();
  DriverContext* first = CtxCreate(printer, 1, 0);
  ASSERT_TRUE(OptSetValue(first, 41, 5));
  CtxDestroy(first);
  EXPECT_EQ(Cached(2), (std::vector<DriverContext*>{first, nullptr}));
  Advance(500);
  DriverContext* again = CtxCreate(printer, 2, 0);
  EXPECT_EQ(again, first);
  EXPECT_EQ(OptGetValue(again, 41), 5u);
  EXPECT_EQ(again->callerValue, 2u);
  EXPECT_EQ(Cached(2), kEmpty);
  CtxDestroy(again);
  Advance(501);
  DriverContext* fresh = CtxCreate(printer, 3, 0);
  EXPECT_EQ(OptGetValue(fresh, 41), 0u);
  EXPECT_EQ(g_steps.Destroyed(), 1);
  CtxDestroyEx(fresh, kReleaseDestroy);
}

TEST_F(ContextTest, AgesSurviveTheTickCounterWrap) {
  HANDLE printer = Open();
  Advance(0xFFFFFF00ull - now_);  // 256 ms before the 32-bit tick count wraps
  DriverContext* first = CtxCreate(printer, 0, 0);
  CtxDestroy(first);
  Advance(496);
  ASSERT_EQ(GetTickCount(), 240u);
  EXPECT_EQ(CtxCreate(printer, 0, 0), first);
  CtxDestroy(first);
  Advance(501);
  CtxFlushCache(0);
  EXPECT_EQ(Cached(2), kEmpty);
}

TEST_F(ContextTest, JobBinderBitZeroKeepsAContextOutOfTheCache) {
  HANDLE printer = Open();
  DriverContext* binder = CtxCreate(printer, 0, 0);
  OptSetValue(binder, kItemJobBinder, 3);
  CtxDestroy(binder);
  EXPECT_EQ(Cached(2), kEmpty);
  EXPECT_EQ(g_steps.Destroyed(), 1);
  DriverContext* other = CtxCreate(printer, 0, 0);
  OptSetValue(other, kItemJobBinder, 2);
  CtxDestroy(other);
  EXPECT_EQ(Cached(2)[0], other);
}

TEST_F(ContextTest, AReleaseIntoAFullTableEvictsTheOldestOrTheFirstOfEqualStamps) {
  DriverContext* c[5];
  for (DriverContext*& context : c) context = CtxCreate(Open(), 0, 0);  // each on its own handle
  CtxDestroy(c[1]);
  Advance(10);
  CtxDestroy(c[0]);
  Advance(10);
  CtxDestroy(c[2]);  // c[1] is the oldest
  EXPECT_EQ(Cached(2), (std::vector<DriverContext*>{c[2], c[0]}));
  EXPECT_EQ(g_steps.Destroyed(), 1);
  CtxDestroy(c[3]);  // c[0] is now the oldest
  EXPECT_EQ(Cached(2), (std::vector<DriverContext*>{c[2], c[3]}));
  CtxDestroy(c[4]);  // c[2] and c[3] were stamped alike: the first slot goes
  EXPECT_EQ(Cached(2), (std::vector<DriverContext*>{c[4], c[3]}));
}

TEST_F(ContextTest, FlushZeroTakesOnlyOldEntriesAndDetachTakesAll) {
  HANDLE printer = Open();
  DescFreeAll();  // the detach below frees the description too: count from before its load
  const uint64_t live = velm::platform::LiveAllocationCount();
  DriverContext* kept = CtxCreate(printer, 0, 0);
  DriverContext* names = CtxCreateEx(printer, 0, kKindNamesOnly, 0, 0, nullptr);
  CtxDestroyEx(names, kReleaseToTable1);
  Advance(300);
  CtxDestroy(kept);
  Advance(201);
  CtxFlushCache(0);
  EXPECT_EQ(Cached(1), kEmpty);
  EXPECT_EQ(Cached(2)[0], kept);
  SysLibraryDetach();
  EXPECT_EQ(Cached(2), kEmpty);
  EXPECT_EQ(velm::platform::LiveAllocationCount(), live);
  SysLibraryAttach(nullptr);
}

TEST_F(ContextTest, AnOpenWithoutAPrinterNameBypassesTheCache) {
  DriverContext* first = CtxCreateEx(nullptr, 0, kKindNamesOnly, 0, 0, nullptr);
  CtxDestroyEx(first, kReleaseToTable1);
  ASSERT_EQ(Cached(1)[0], first);
  DriverContext* second = CtxCreateEx(nullptr, 0, kKindNamesOnly | kKindReuseAnyKind, 0, 0, nullptr);
  EXPECT_NE(second, first);
  EXPECT_EQ(Cached(1)[0], first);
  CtxDestroyEx(second, kReleaseDestroy);
}

TEST_F(ContextTest, ReuseNeedsEqualFlagsAndNameAndTheSameHandleUnlessFlagged) {
  HANDLE printer = Open(), other = Open(), second = Open(u"Velm Printer 2");
  DriverContext* context = CtxCreate(printer, 0, kCreateInterface);
  Mark(context, 9);
  CtxDestroy(context);
  auto reuses = [&](HANDLE h, WORD kindWord, DWORD flags) {
    DriverContext* got = CtxCreateEx(h, 77, kindWord, flags, 0, nullptr);
    if (MarkOf(got) == 9) return true;
    CtxDestroyEx(got, kReleaseDestroy);
    return false;
  };
  constexpr WORD kAnyHandle = kKindReuseOtherHandle | kKindReuseAnyKind;
  EXPECT_FALSE(reuses(printer, 0, 0));                            // other creation flags
  EXPECT_FALSE(reuses(second, kAnyHandle, kCreateInterface));     // other printer name
  EXPECT_FALSE(reuses(other, 0, kCreateInterface));               // other handle
  EXPECT_FALSE(reuses(printer, kKindResync, kCreateInterface));   // kind word not 0
  EXPECT_FALSE(reuses(other, kKindReuseOtherHandle, kCreateInterface));  // a flag makes the word non-zero
  ASSERT_TRUE(reuses(other, kAnyHandle, kCreateInterface));
  // It serves the new handle and caller: the handle it was cached with may be closed.
  EXPECT_EQ(context->printer, other);
  EXPECT_EQ(context->callerValue, 77u);
  CtxDestroy(context);
  EXPECT_TRUE(reuses(other, kKindResync | kKindReuseAnyKind, kCreateInterface));
  CtxDestroy(context);
}

TEST_F(ContextTest, TableOneServesCreationFlags0x1000000AndNeverARecordlessContextToAKindWithRecord) {
  HANDLE printer = Open();
  DriverContext* names = CtxCreateEx(printer, 0, kKindNamesOnly, kCreateCacheTable1, 0, nullptr);
  CtxDestroyEx(names, kReleaseToTable1);
  ASSERT_EQ(Cached(1)[0], names);
  for (WORD kindWord : {WORD{0}, kKindReuseAnyKind}) {
    DriverContext* withRecord = CtxCreateEx(printer, 0, kindWord, kCreateCacheTable1, 0, nullptr);
    EXPECT_NE(withRecord, names);
    EXPECT_NE(withRecord->settings, nullptr);
    CtxDestroyEx(withRecord, kReleaseDestroy);
  }
  EXPECT_EQ(CtxCreateEx(printer, 0, kKindNamesOnly | kKindReuseAnyKind, kCreateCacheTable1, 0, nullptr), names);
  CtxDestroy(names);  // release kind 0: table 2, which these flags never search
  EXPECT_EQ(Cached(2)[0], names);
  DriverContext* missed = CtxCreateEx(printer, 0, kKindNamesOnly | kKindReuseAnyKind, kCreateCacheTable1, 0, nullptr);
  EXPECT_NE(missed, names);
  CtxDestroyEx(missed, kReleaseDestroy);
}

TEST_F(ContextTest, InterfaceFlagWithExtraTwoNeedsStateTwo) {
  HANDLE printer = Open();
  DriverContext* context = CtxCreate(printer, 0, kCreateInterface);
  CtxDestroy(context);
  DriverContext* got = CtxCreateEx(printer, 0, 0, kCreateInterface, kExtraInterfaceState, nullptr);
  EXPECT_NE(got, context);
  CtxDestroyEx(got, kReleaseDestroy);
  ASSERT_EQ(CtxCreateEx(printer, 0, 0, kCreateInterface, 0, nullptr), context);  // extra 0: not asked
  context->work->state = kExtraInterfaceState;
  CtxDestroy(context);
  EXPECT_EQ(CtxCreateEx(printer, 0, 0, kCreateInterface, kExtraInterfaceState, nullptr), context);
  CtxDestroy(context);
}

}  // namespace
