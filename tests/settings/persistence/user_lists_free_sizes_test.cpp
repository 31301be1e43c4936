#include <cstring>

#include "settings/constraints/condition_items.h"
#include "settings/constraints/eval.h"
#include "settings/context/settings_history.h"
#include "settings/services/string_convert.h"
#include "settings/services/resource_strings.h"
#include "settings/persistence/user_lists.h"
#include "settings/persistence/user_lists_fixture.h"

namespace velm::test {
namespace {

constexpr WORD kLanguage = 177;
constexpr DWORD kFrench = 6;

void SaveFreeSize(DriverContext* c, int n, const std::u16string& name, DWORD width, DWORD length) {
  ASSERT_TRUE(OptSetString(c, OptFindItem(c->itemTable, 859), name.c_str()));
  ASSERT_TRUE(OptSetValue(c, 860, width));
  ASSERT_TRUE(OptSetValue(c, 861, length));
  ASSERT_TRUE(LstSaveFreeSize(c, n));
}

TEST_F(UserListsTest, AFreeSizeRoundTripsThroughItsLanguageSection) {
  Set(kLanguage, kFrench);
  SaveFreeSize(context_, 3, u"Carte", 4724, 6992);
  EXPECT_NE(IniText(context_).find("[FreeSize3fr]\r\nwdmFreeSizeName=Carte\r\nwdmFreeSizeWidth=4724\r\n"),
            std::string::npos);
  EXPECT_EQ(PrinterName(), u"Velm Printer");

  DriverContext* fresh = Fresh();
  Set(kLanguage, kFrench, fresh);
  SetText(859, u"left over", fresh);
  Set(860, 1, fresh);
  ASSERT_TRUE(LstLoadFreeSize(fresh, 3));
  EXPECT_EQ(Text(859, fresh), u"Carte");
  EXPECT_EQ(Get(860, fresh), 4724u);
  EXPECT_EQ(Get(861, fresh), 6992u);
  EXPECT_EQ(g_transferCalls.back().section, u"FreeSize3fr");

  // Nothing stored for free size 4: the items are cleared, not left as they were.
  ASSERT_TRUE(LstLoadFreeSize(fresh, 4));
  EXPECT_EQ(Text(859, fresh), u"");
  EXPECT_EQ(Get(860, fresh), 0u);
  // The source-tray items read the same section.
  ASSERT_TRUE(LstLoadSrcFreeSize(fresh, 3));
  EXPECT_EQ(Text(862, fresh), u"Carte");
  EXPECT_EQ(Get(864, fresh), 6992u);
  EXPECT_EQ(g_transferCalls.back().flags, kXferGroupSrcFreeSize | kXferRead);
  EXPECT_FALSE(LstLoadFreeSize(fresh, 10));
  EXPECT_FALSE(LstSaveFreeSize(fresh, -1));
}

TEST_F(UserListsTest, StoringAndSelectingASlotKeepsTheNameWhole) {
  const std::u16string longest(63, u'n');  // the most an item and a slot name hold
  SetText(859, longest);
  Set(860, 9921);
  Set(861, 14031);
  ASSERT_TRUE(LstStoreFreeSize(context_, 9));
  FreeSizeSlot slot;
  ASSERT_TRUE(LstGetFreeSizeSlot(context_, 9, &slot));
  EXPECT_EQ(std::string(slot.userName), std::string(63, 'n'));
  EXPECT_EQ(slot.width, 9921u);
  EXPECT_EQ(slot.length, 14031u);
  WCHAR display[256];
  ResLoadString(context_, 109 + 9, display, 256, TRUE);
  char narrow[64];
  StrWideToAnsi(narrow, 64, display);
  EXPECT_STREQ(slot.displayName, narrow);
  EXPECT_STREQ(slot.displayName2, narrow);

  ASSERT_TRUE(LstSelectSrcFreeSize(context_, 9));
  EXPECT_EQ(Text(862), longest);
  EXPECT_EQ(Get(863), 9921u);
  EXPECT_EQ(Get(864), 14031u);
  Set(863, 100);
  ASSERT_TRUE(LstStoreSrcFreeSize(context_, 0));
  ASSERT_TRUE(LstSelectFreeSize(context_, 0));
  EXPECT_EQ(Text(859), longest);
  EXPECT_EQ(Get(860), 100u);

  // A slot name that fills all 64 bytes (no NUL) is read within them.
  std::memset(context_->work->freeSizeSlots[1] + 128, 'z', 64);
  ASSERT_TRUE(LstSelectFreeSize(context_, 1));
  EXPECT_EQ(Text(859), std::u16string(63, u'z'));

  EXPECT_FALSE(LstStoreFreeSize(context_, 10));
  EXPECT_FALSE(LstSelectFreeSize(context_, -1));
  EXPECT_FALSE(LstGetFreeSizeSlot(context_, 10, &slot));
}

TEST_F(UserListsTest, TheSlotsAreFilledOncePerContextAndTheSettingsStay) {
  for (int n = 0; n < kLstFreeSizeSlots; ++n)
    SaveFreeSize(context_, n, u"Size" + std::u16string(1, static_cast<char16_t>(u'0' + n)), 1000 + n, 2000 + n);
  DriverContext* fresh = Fresh();
  SetText(859, u"editing", fresh);
  Set(860, 42, fresh);
  ASSERT_TRUE(DmHistoryPush(fresh));
  const std::vector<BYTE> before = Record(fresh);
  g_transferCalls.clear();

  LstLoadFreeSizes(fresh);
  EXPECT_EQ(g_transferCalls.size(), 10u);
  EXPECT_EQ(Record(fresh), before);
  EXPECT_EQ(DmHistoryDepth(fresh), 1u) << "the caller's history is as it was";
  for (int n = 0; n < kLstFreeSizeSlots; ++n) {
    FreeSizeSlot slot;
    ASSERT_TRUE(LstGetFreeSizeSlot(fresh, n, &slot));
    EXPECT_EQ(slot.userName, "Size" + std::string(1, '0' + n));
    EXPECT_EQ(slot.width, 1000u + n);
    EXPECT_EQ(slot.length, 2000u + n);
  }
  EXPECT_TRUE(CtxGetChangeMask(fresh) & kChangeMaskFreeSizesLoaded);
  LstLoadFreeSizes(fresh);
  EXPECT_EQ(g_transferCalls.size(), 10u) << "read once per context";
}

}  // namespace
}  // namespace velm::test
