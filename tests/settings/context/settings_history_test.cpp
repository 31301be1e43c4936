// The settings history: push, tentative change and undo leave the record byte for byte as it was;
// pops in order with their masks; keeping a change; an empty history; the font blocks a dropped
// record names; nested pushes past the three buffers.
#include <algorithm>
#include <vector>

#include "core/memory.h"
#include "settings/constraints/eval_fixture.h"
#include "settings/items/block_handles.h"
#include "settings/items/store.h"
#include "settings/context/settings_history.h"

namespace {

constexpr WORD kCopies = 12, kCollate = 19, kQuality = 14, kDstWidth = 52, kFontTable = 10005, kDeviceFonts = 10007;

class SettingsHistoryTest : public ConstraintContextTest {
 protected:
  std::vector<BYTE> Record() const {
    const BYTE* bytes = reinterpret_cast<const BYTE*>(context_->settings);
    return {bytes, bytes + sizeof(SettingsRecord)};
  }
  DWORD Mask() const { return CtxGetChangeMask(context_); }
  int ChangedRows() const {
    int n = 0;
    for (SHORT i = 0; i < context_->itemTable->count; ++i) n += context_->itemTable->rows[i].changed != 0;
    return n;
  }
  DWORD NewBlock() {
    DWORD handle = 0;
    EXPECT_NE(SysBlockAlloc(64, &handle), nullptr);
    return handle;
  }
  static bool Alive(DWORD handle) { return SysBlockGet(handle) != nullptr; }
};

TEST_F(SettingsHistoryTest, ATentativeChangeUndoneLeavesTheRecordByteIdentical) {
  Describe(
      "*OpenUI *ZMD_dmCopies: Numeric\n*CloseUI\n"
      "*Judge 1=Many: ZMD_dmCopies > 1\n"
      "*Action 1=Collate: { {ZMD_dmCollate 1} {ZMD_dmScale 50} }\n"
      "*Transact 1=Rules: { {Many Collate} }\n"
      "*Exclusive: { {ZMD_dmCopies NULL NULL NULL NULL Rules NULL} }\n");
  Set(kCopies, 1);
  CtxRaiseChangeMask(context_, 0x00010002);
  for (SHORT i = 0; i < context_->itemTable->count; ++i) context_->itemTable->rows[i].changed = 0;
  context_->work->dirty = 0;
  const std::vector<BYTE> before = Record();

  ASSERT_TRUE(DmHistoryPush(context_));
  Set(kCopies, 3);
  Set(kDstWidth, 40000);
  CtxRaiseChangeMask(context_, 0x4);
  EXPECT_EQ(CondReapplyAll(context_), 0);
  ASSERT_EQ(Get(kCollate), 1u);  // the rule fired
  ASSERT_EQ(Get(kQuality), 600u);  // the fit failed
  ASSERT_NE(Record(), before);

  ASSERT_TRUE(DmHistoryPop(context_, TRUE));
  EXPECT_EQ(Record(), before);
  EXPECT_EQ(Mask(), 0x00010002u);
  EXPECT_EQ(context_->work->dirty, 0u);
  EXPECT_EQ(ChangedRows(), 0);
  EXPECT_EQ(DmHistoryDepth(context_), 0u);
}

TEST_F(SettingsHistoryTest, NestedPushesPastThreePopInOrderWithTheirMasks) {
  // Five nested pushes: none overwrites an outer copy.
  std::vector<std::vector<BYTE>> records;
  for (DWORD n = 1; n <= 5; ++n) {
    Set(kCopies, n);
    CtxRaiseChangeMask(context_, 0);
    CtxRaiseChangeMask(context_, n);
    records.push_back(Record());
    ASSERT_TRUE(DmHistoryPush(context_));
    EXPECT_EQ(DmHistoryDepth(context_), n);
  }
  Set(kCopies, 6);
  for (int n = 5; n >= 1; --n) {
    ASSERT_TRUE(DmHistoryPop(context_, TRUE)) << n;
    EXPECT_EQ(Record(), records[n - 1]) << n;
    EXPECT_EQ(Mask(), DWORD(n)) << n;
  }
  EXPECT_EQ(DmHistoryDepth(context_), 0u);
  EXPECT_FALSE(DmHistoryPop(context_, TRUE));
  EXPECT_EQ(Record(), records[0]);
}

TEST_F(SettingsHistoryTest, APushPastThreeWithoutMemoryFailsAndKeepsEveryCopy) {
  for (DWORD n = 1; n <= 3; ++n) {
    Set(kCopies, n);
    ASSERT_TRUE(DmHistoryPush(context_));
  }
  Set(kCopies, 4);
  velm::platform::SetAllocationFault(1);
  EXPECT_FALSE(DmHistoryPush(context_));
  velm::platform::SetAllocationFault(0);
  EXPECT_EQ(DmHistoryDepth(context_), 3u);
  for (DWORD n = 3; n >= 1; --n) {
    ASSERT_TRUE(DmHistoryPop(context_, TRUE));
    EXPECT_EQ(Get(kCopies), n);
  }
}

TEST_F(SettingsHistoryTest, PopWithoutRestoreKeepsTheCurrentRecord) {
  Set(kCopies, 1);
  ASSERT_TRUE(DmHistoryPush(context_));
  Set(kCopies, 2);
  ASSERT_TRUE(DmHistoryPush(context_));
  Set(kCopies, 3);
  const std::vector<BYTE> current = Record();
  ASSERT_TRUE(DmHistoryPop(context_, FALSE));
  EXPECT_EQ(Record(), current);
  EXPECT_EQ(context_->work->dirty, 1u);
  EXPECT_EQ(Row(kCopies)->changed, 1);
  // The older copy is next.
  ASSERT_TRUE(DmHistoryPop(context_, TRUE));
  EXPECT_EQ(Get(kCopies), 1u);
}

TEST_F(SettingsHistoryTest, APopOnAnEmptyHistoryChangesNothing) {
  Set(kCopies, 7);
  CtxRaiseChangeMask(context_, 0x20);
  const std::vector<BYTE> current = Record();
  EXPECT_FALSE(DmHistoryPop(context_, TRUE));
  EXPECT_FALSE(DmHistoryPop(context_, FALSE));
  EXPECT_EQ(Record(), current);
  EXPECT_EQ(Mask(), 0x20u);
  EXPECT_EQ(context_->work->dirty, 1u);
  EXPECT_EQ(Row(kCopies)->changed, 1);
  // After a push and its pop the history is empty again.
  ASSERT_TRUE(DmHistoryPush(context_));
  ASSERT_TRUE(DmHistoryPop(context_, FALSE));
  EXPECT_FALSE(DmHistoryPop(context_, TRUE));
  EXPECT_EQ(Record(), current);
  // Without a record there is nothing to keep.
  SettingsRecord* record = context_->settings;
  context_->settings = nullptr;
  EXPECT_FALSE(DmHistoryPush(context_));
  context_->settings = record;
}

TEST_F(SettingsHistoryTest, ADroppedRecordFreesOnlyTheBlocksNoOtherRecordNames) {
  const DWORD blocks = SysBlockCount();
  const DWORD saved = NewBlock(), shared = NewBlock();
  Set(kFontTable, saved);
  Set(kDeviceFonts, shared);
  // Undo: the block the change brought goes, the restored one and the shared one stay.
  ASSERT_TRUE(DmHistoryPush(context_));
  Set(kFontTable, NewBlock());
  const DWORD loaded = Get(kFontTable);
  ASSERT_TRUE(DmHistoryPop(context_, TRUE));
  EXPECT_EQ(Get(kFontTable), saved);
  EXPECT_TRUE(Alive(saved) && Alive(shared));
  EXPECT_FALSE(Alive(loaded));
  // Keep: the block only the copy named goes.
  ASSERT_TRUE(DmHistoryPush(context_));
  Set(kFontTable, NewBlock());
  ASSERT_TRUE(DmHistoryPop(context_, FALSE));
  EXPECT_FALSE(Alive(saved));
  EXPECT_TRUE(Alive(Get(kFontTable)) && Alive(shared));
  SysBlockFree(Get(kFontTable));
  SysBlockFree(shared);
  EXPECT_EQ(SysBlockCount(), blocks);
}

TEST_F(SettingsHistoryTest, ABlockThatAnOlderCopyNamesIsNotFreed) {
  const DWORD first = NewBlock();
  Set(kFontTable, first);
  ASSERT_TRUE(DmHistoryPush(context_));
  ASSERT_TRUE(DmHistoryPush(context_));
  const DWORD second = NewBlock();
  Set(kFontTable, second);
  // Keeping the newest change: the copy popped named `first`, but the older copy still does.
  ASSERT_TRUE(DmHistoryPop(context_, FALSE));
  EXPECT_TRUE(Alive(first));
  // Undoing the older change: `second` goes, `first` is current again.
  ASSERT_TRUE(DmHistoryPop(context_, TRUE));
  EXPECT_FALSE(Alive(second));
  EXPECT_EQ(Get(kFontTable), first);
  // A block only a copy below the three buffers names stays while it is held, and goes when that
  // copy is dropped by a pop that keeps the current record.
  const DWORD oldest = NewBlock();
  Set(kFontTable, oldest);
  ASSERT_TRUE(DmHistoryPush(context_));
  Set(kFontTable, first);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(DmHistoryPush(context_));
  EXPECT_TRUE(Alive(oldest));
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(DmHistoryPop(context_, FALSE));
  EXPECT_TRUE(Alive(oldest));
  ASSERT_TRUE(DmHistoryPop(context_, FALSE));
  EXPECT_FALSE(Alive(oldest));
  EXPECT_TRUE(Alive(first));
  SysBlockFree(first);
}

}  // namespace
