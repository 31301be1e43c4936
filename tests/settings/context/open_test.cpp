// Opening and closing a context: the order of the steps, what a new context holds, failures at
// any step, and the snapshot's font blocks.
#include <cstring>

#include "settings/context/context_fixture.h"
#include "settings/items/block_handles.h"
#include "settings/context/memory.h"
#include "settings/services/spooler_info.h"

namespace {

using Calls = std::vector<std::string>;

TEST_F(ContextTest, OpenAndCloseRunTheStepsInTheirOrder) {
  HANDLE printer = Open();
  DriverContext* context = CtxCreateEx(printer, 0, kKindOrdinary, 0, 0, nullptr);
  EXPECT_EQ(g_steps.Take(), (Calls{"LstPresetSlots 0", "DescLoad", "CondAllocStack", "DmBuildForContext 0",
                                   "CfgLoadOnOpen", "DmCopyDeviceConfig"}));
  CtxDestroyEx(context, kReleaseDestroy);
  EXPECT_EQ(g_steps.Take(),
            (Calls{"CfgFreeFontBlobs", "ResFreeDlls", "CondFreeStack", "DescRelease", "LstPresetSlots 3"}));
  context = CtxCreateEx(printer, 0, kKindModelDefaults, 0, 0, nullptr);
  EXPECT_EQ(g_steps.Take(), (Calls{"LstPresetSlots 0", "DescLoad", "CondAllocStack", "DmBuildForContext 3",
                                   "DmCopyDeviceConfig"}));
  CtxDestroyEx(context, 1);  // leaves the stored font blocks to their owner
  EXPECT_EQ(g_steps.Take(), (Calls{"ResFreeDlls", "CondFreeStack", "DescRelease", "LstPresetSlots 3"}));
  context = CtxCreateEx(printer, 0, kKindNamesOnly, 0, 0, nullptr);
  EXPECT_EQ(g_steps.Take(), (Calls{"LstPresetSlots 0"}));
  EXPECT_EQ(context->settings, nullptr);
  CtxDestroyEx(context, kReleaseDestroy);
}

TEST_F(ContextTest, ANewContextHoldsItsOwnCopiesFlagsAndPrinterInformation) {
  HANDLE printer = Open();
  DriverContext* a = CtxCreateEx(printer, 42, kKindResync | kKindForceAdmin, kCreateGraphics, 0, nullptr);
  const ContextWorkArea& work = *a->work;
  EXPECT_EQ(work.kind, kKindResync);
  EXPECT_EQ(work.kindFlags, kKindForceAdmin);
  EXPECT_EQ(work.creationFlags, kCreateGraphicsStored);
  EXPECT_EQ(std::u16string(work.printerName), u"Velm Printer");
  EXPECT_EQ(std::u16string(work.driverName), velm::tools::kDriverName);
  EXPECT_EQ(work.printerInfo.serverKind, kServerKindLocal);
  const BYTE* bytes = a->settings->devmode.bytes;
  EXPECT_EQ(std::memcmp(bytes + 220, "VELM", 4), 0);
  EXPECT_EQ(DmLoadU16(bytes, 363), 1260);
  EXPECT_EQ(std::memcmp(work.savedCopy, a->settings, sizeof(SettingsRecord)), 0);
  EXPECT_NE(a->modelDefaults, &kModelDefaults);

  // Rows are per context: a write marks A's row only.
  UiInstalling = 1;
  DriverContext* b = CtxCreateEx(printer, 0, 0, kCreateGraphics | 1, 0, nullptr);
  EXPECT_EQ(b->work->creationFlags, kCreateGraphics | 1 | kCreateSharedFolderOnly);
  // Building each record marked its rows; start from no marks.
  OptFindItem(a->itemTable, 41)->changed = 0;
  OptFindItem(b->itemTable, 41)->changed = 0;
  OptSetValue(a, 41, 3);
  EXPECT_EQ(OptFindItem(a->itemTable, 41)->changed, 1);
  EXPECT_EQ(OptFindItem(b->itemTable, 41)->changed, 0);
  EXPECT_EQ(OptFindItem(OptGetStaticItemTable(), 41)->changed, 0);
  CtxDestroyEx(a, kReleaseDestroy);
  CtxDestroyEx(b, kReleaseDestroy);
}

TEST_F(ContextTest, AFailedDescriptionLoadGivesNothingAndCachesNothing) {
  HANDLE printer = Open();
  const uint64_t live = velm::platform::LiveAllocationCount();
  g_steps.failDescLoad = true;
  EXPECT_EQ(CtxCreate(printer, 0, 0), nullptr);
  EXPECT_EQ(Cached(2), kEmpty);
  EXPECT_EQ(g_steps.Destroyed(), 1);
  EXPECT_EQ(velm::platform::LiveAllocationCount(), live);
}

// Opens once with each allocation of a complete open failing in turn; every open, failed or
// not, must leave nothing behind once closed. Answers how many opens failed.
int FailEachAllocationInTurn(HANDLE printer, WORD kindWord, const PRINTER_INFO_2W* info) {
  const uint64_t live = velm::platform::LiveAllocationCount();
  const uint64_t before = velm::platform::AllocationCount();
  CtxDestroyEx(CtxCreateEx(printer, 0, kindWord, 0, 0, info), kReleaseDestroy);
  const uint64_t total = velm::platform::AllocationCount() - before;
  int failures = 0;
  for (uint64_t n = 1; n <= total; ++n) {
    velm::platform::SetAllocationFault(n);
    DriverContext* context = CtxCreateEx(printer, 0, kindWord, 0, 0, info);
    velm::platform::SetAllocationFault(0);
    failures += context == nullptr;
    CtxDestroyEx(context, kReleaseDestroy);
    EXPECT_EQ(velm::platform::LiveAllocationCount(), live) << "allocation " << n;
  }
  return failures;
}

TEST_F(ContextTest, AnAllocationFailureAnywhereInOpenFreesWhatWasBuilt) {
  HANDLE printer = Open();
  auto* info = static_cast<PRINTER_INFO_2W*>(PrnGetPrinterInfo(printer, 2));
  // The context, item table, model defaults, work area, three history records, the driver's
  // data-file answer, saved copy, evaluation stack and record, and the 15 of loading the stored
  // settings (whose items would otherwise keep defaults a save could write over them; one is the
  // block registry's storage, taken for the first font-list block): each failure fails the open.
  EXPECT_EQ(FailEachAllocationInTurn(printer, kKindOrdinary, info), 26);
  EXPECT_EQ(FailEachAllocationInTurn(printer, kKindNamesOnly, info), 8);
  SysFree(info);
  // A failed question to the spooler leaves an open without printer information.
  EXPECT_EQ(FailEachAllocationInTurn(printer, kKindOrdinary, nullptr), 26);
}

TEST_F(ContextTest, TheSnapshotOwnsCopiesOfTheFontBlocks) {
  DriverContext* context = CtxCreateEx(Open(), 0, 0, 0, 0, nullptr);
  // The open loaded the printer's own lists; blocks of the test's own take their place.
  CfgFreeFontBlobs(context);
  CtxFreeSnapshot(context);
  const DWORD blocks = SysBlockCount();
  const struct {
    WORD countId, handleId;
    int count;
    DWORD entryBytes;
  } fonts[] = {{10004, 10005, 3, 128}, {10006, 10007, 2, 68}, {10008, 10009, 1, 68}};
  DWORD originals[3];
  for (int i = 0; i < 3; ++i) {
    const DWORD bytes = fonts[i].count * fonts[i].entryBytes;
    std::memset(SysBlockAlloc(bytes, &originals[i]), 0x11 * (i + 1), bytes);
    OptSetValue(context, fonts[i].countId, fonts[i].count);
    OptSetValue(context, fonts[i].handleId, originals[i]);
  }
  ASSERT_TRUE(CtxSnapshotDevmode(context));
  ASSERT_TRUE(CtxSnapshotDevmode(context));  // the second replaces the first's copies
  EXPECT_EQ(SysBlockCount(), blocks + 6);
  for (int i = 0; i < 3; ++i) {
    const DWORD copy = OptGetSavedValue(context, fonts[i].handleId);
    SIZE_T size = 0;
    const void* copied = SysBlockGet(copy, &size);
    EXPECT_NE(copy, originals[i]);
    ASSERT_EQ(size, fonts[i].count * fonts[i].entryBytes);
    EXPECT_EQ(std::memcmp(copied, SysBlockGet(originals[i]), size), 0);
  }
  // A copy that cannot be allocated, or a count larger than its block, leaves count 0 and no block.
  OptSetValue(context, 10008, 5);
  velm::platform::SetAllocationFault(2);
  ASSERT_TRUE(CtxSnapshotDevmode(context));
  velm::platform::SetAllocationFault(0);
  EXPECT_EQ(OptGetSavedValue(context, 10004), 3u);
  for (WORD id : {10006, 10007, 10008, 10009}) EXPECT_EQ(OptGetSavedValue(context, id), 0u) << id;
  EXPECT_EQ(SysBlockCount(), blocks + 4);
  CtxFreeSnapshot(context);
  EXPECT_EQ(SysBlockCount(), blocks + 3);
  for (DWORD handle : originals) SysBlockFree(handle);
  SysBlockFree(originals[0]);  // stale: nothing happens
  CtxDestroyEx(context, kReleaseDestroy);
  EXPECT_EQ(SysBlockCount(), blocks);
}

}  // namespace
