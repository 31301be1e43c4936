// What a write does besides storing the value, the saved copy, and the change masks.
#include "settings/items/store_fixture.h"

namespace {

TEST_F(ItemStoreTest, AWriteMarksRowAndContextMirrorsScaleAndRaisesTheChangeGroup) {
  ItemTableRow* across = Row(kItemScaleH);
  ItemTableRow* along = Row(kItemScaleV);
  across->flags = 0x00050000;  // change group bits 16 and 18
  along->flags = 0x00100000;
  CtxRaiseChangeMask(context_, 0x3);
  ASSERT_TRUE(OptSetValue(context_, kItemScaleType, 2));
  ASSERT_TRUE(OptSetValue(context_, kItemScaleH, 150));
  EXPECT_EQ(across->changed, 1);
  EXPECT_EQ(context_->work->dirty, 1u);
  EXPECT_EQ(CtxGetChangeMask(context_), 0x00050003u);  // high bits leave the low half
  EXPECT_EQ(OptGetValue(context_, kItemScaleV), 0u);
  EXPECT_EQ(along->changed, 0);

  ASSERT_TRUE(OptSetValue(context_, kItemScaleType, 1));
  ASSERT_TRUE(OptSetValue(context_, kItemScaleH, 0x10000 + 175));
  EXPECT_EQ(OptGetValue(context_, kItemScaleV), 175u);
  EXPECT_EQ(along->changed, 1);  // the mirror is a write of its own
  EXPECT_EQ(CtxGetChangeMask(context_), 0x00150003u);
  ASSERT_TRUE(OptSetValue(context_, kItemScaleV, 90));  // never the other way
  EXPECT_EQ(OptGetValue(context_, kItemScaleH), 175u);
}

TEST_F(ItemStoreTest, TheSavedCopyIsWrittenWithoutSideEffects) {
  ItemTableRow* row = Row(41);
  row->flags = 0x00010000;
  ASSERT_TRUE(OptSetSavedValue(context_, 41, 0xFF));
  EXPECT_EQ(OptGetSavedValue(context_, 41), 0xFFFFFFFFu);
  EXPECT_EQ(reinterpret_cast<BYTE*>(context_->work->savedCopy)[374], 0xFF);
  EXPECT_EQ(OptGetValue(context_, 41), 0u);
  EXPECT_EQ(row->changed, 0);
  EXPECT_EQ(context_->work->dirty, 0u);
  EXPECT_EQ(CtxGetChangeMask(context_), 0u);
}

TEST_F(ItemStoreTest, ChangeMaskRules) {
  CtxRaiseChangeMask(context_, 0x00F0000F);
  CtxRaiseChangeMask(context_, 0x00000100);  // a low bit clears the low half first
  EXPECT_EQ(CtxGetChangeMask(context_), 0x00F00100u);
  CtxRaiseChangeMask(context_, 0);
  EXPECT_EQ(CtxGetChangeMask(context_), 0u);

  DWORD* saved = context_->work->changeMasks;
  for (int i = 0; i < 3; ++i) saved[i] = 0xF00000FF;
  CtxRaiseChangeMask(context_, 0xC4000001);
  CtxClearChangeMask(context_, 0x04000001);  // below the top four bits: the current mask only
  EXPECT_EQ(CtxGetChangeMask(context_), 0xC0000000u);
  EXPECT_EQ(saved[0], 0xF00000FFu);
  CtxClearChangeMask(context_, 0x40000001);  // a top bit: the saved masks too, and only it
  EXPECT_EQ(CtxGetChangeMask(context_), 0x80000000u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(saved[i], 0xB00000FFu) << i;

  CtxSetTransferStatus(context_, 1);
  EXPECT_EQ(CtxGetTransferStatus(context_), 1u);
}

}  // namespace
