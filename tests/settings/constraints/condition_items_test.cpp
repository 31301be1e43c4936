// Computed condition items over a context whose record starts zeroed: every case sets exactly
// the inputs it needs, and the expected values are worked out by hand from the item rules.
#include <algorithm>

#include "settings/items/store_fixture.h"
#include "settings/constraints/condition_items.h"

namespace {

struct TestTray {
  WORD paper;
  WORD orient;
  WORD lock;
};
constexpr TestTray kTray1{10175, 10143, 10239};
constexpr TestTray kTray2{10176, 10144, 10240};
constexpr TestTray kTray3{10177, 10145, 10241};
constexpr TestTray kLct{10200, 10168, 10264};
constexpr TestTray kManual{10202, 10170, 0};
constexpr TestTray kMp{10203, 10171, 10267};

constexpr WORD kFinMk1 = 10049, kFinMk4 = 10050, kFinMk2 = 10058, kFinMk5 = 10059, kOption14 = 10060,
               kOption15 = 10061, kFinMk2NA = 10074, kFinMk2NoPunch = 10077;
constexpr WORD kLctInstalled = 10018, kManualInstalled = 10021, kMpInstalled = 10022;

class ConditionItemsTest : public ItemStoreTest {
 protected:
  void Set(WORD id, DWORD value) { ASSERT_TRUE(OptSetValue(context_, id, value)) << id; }
  DWORD Item(WORD id) { return CondGetItemValue(context_, id); }
  void Load(const TestTray& tray, WORD paper, DWORD landscape) {
    Set(tray.paper, paper);
    Set(tray.orient, landscape);
  }
  // Finishing paper P from item 50, fed from Tray 1 lying `landscape`, document orientation
  // `orientation` (1 portrait: R = 0 without n-up or booklet).
  void Finish(WORD paper, DWORD landscape = 0, DWORD orientation = 1) {
    Set(50, paper);
    Set(13, kTrayCodeTray1);
    Load(kTray1, paper, landscape);
    Set(kItemOrientation, orientation);
  }
  int FilledSlots() const {
    const auto& slots = context_->work->itemRecordCache;
    return static_cast<int>(std::count_if(std::begin(slots), std::end(slots), [](auto* row) { return row; }));
  }
};

TEST_F(ConditionItemsTest, FinishingPaperAndPaperLists) {
  Set(50, 1024);
  Set(8, 11);  // A5: only in the extended list
  EXPECT_EQ(CondGetFinishPaper(context_), 11);
  EXPECT_EQ(Item(733), 0u);
  EXPECT_EQ(Item(736), 1u);
  Set(8, 9);
  EXPECT_EQ(Item(733), 1u);
  EXPECT_EQ(Item(737), 0u);  // A4 is excluded from 737
  Set(50, 8);                // item 8 no longer counts
  EXPECT_EQ(CondGetFinishPaper(context_), 8);
  EXPECT_EQ(Item(737), 1u);
  // HLT (6) joins the extended list only with a FinMk2, not with a FinMk4.
  Set(50, 6);
  EXPECT_EQ(Item(736), 0u);
  Set(kFinMk4, 1);
  EXPECT_EQ(Item(736), 0u);
  Set(kFinMk2NA, 1);
  EXPECT_EQ(Item(736), 1u);
  EXPECT_FALSE(CondPaperInList(context_, kPapersNone, 0));
  EXPECT_FALSE(CondPaperInList(context_, kPapersFinMk5, 0x10000));  // 0 ends a list, never matches
  EXPECT_TRUE(CondPaperInList(context_, kPapersFinMk5, 0x10009));           // compared as 16 bits
}

TEST_F(ConditionItemsTest, PrintPaperOrientTakesEachBranch) {
  // 3: no n-up, no booklet: landscape paper exactly when the document is not portrait.
  Set(kItemOrientation, 1);
  EXPECT_EQ(CondPrintPaperOrient(context_), 0);
  Set(kItemOrientation, 2);
  EXPECT_EQ(CondPrintPaperOrient(context_), 1);
  // 1: n-up layouts 1..18 turn the sheet.
  Set(59, 1);
  Set(95, 18);
  EXPECT_EQ(CondPrintPaperOrient(context_), 0);
  Set(kItemOrientation, 1);
  EXPECT_EQ(Item(827), 1u);
  EXPECT_EQ(OptRawToModelValue(context_, Row(136), 33), 2724u);  // the staple map follows it
  Set(95, 0x8001);
  EXPECT_EQ(CondPrintPaperOrient(context_), 0);
  // 2: booklet bindings (17 and up) with the duplex unit installed.
  Set(61, 1);
  Set(102, 17);
  EXPECT_EQ(CondPrintPaperOrient(context_), 0);
  Set(10014, 1);
  EXPECT_EQ(CondPrintPaperOrient(context_), 1);
  Set(102, 16);
  EXPECT_EQ(CondPrintPaperOrient(context_), 0);
}

TEST_F(ConditionItemsTest, TheRowCacheKeepsRowsNotValues) {
  EXPECT_EQ(FilledSlots(), 0);
  Set(8, 9);
  EXPECT_EQ(CondCachedValue(context_, 8), 9u);
  EXPECT_EQ(FilledSlots(), 1);
  const auto& slots = context_->work->itemRecordCache;
  EXPECT_NE(std::find(std::begin(slots), std::end(slots), Row(8)), std::end(slots));
  Set(8, 12);
  EXPECT_EQ(CondCachedValue(context_, 8), 12u);
  record_[78] = 13;  // a change behind the store's back is seen too
  EXPECT_EQ(CondCachedValue(context_, 8), 13u);
  EXPECT_EQ(CondCachedValue(context_, 39), OptGetValue(context_, 39));  // not an input: no slot
  EXPECT_EQ(FilledSlots(), 1);

  // A table without the multi-purpose tray's lock: the lock reads 0 and gets no slot, so the
  // automatic walk takes the tray as unlocked; once the row is back the lock counts.
  Set(50, 9);
  Load(kMp, 9, 0);
  Set(kMpInstalled, 1);
  Set(kMp.lock, 1);
  const ItemTableRow* lock = Row(kMp.lock);
  const SHORT count = context_->itemTable->count;
  context_->itemTable->count = static_cast<SHORT>(count - 11);  // drops 10267..10277
  EXPECT_EQ(Item(828), 1u);
  EXPECT_EQ(CondCachedValue(context_, kMp.lock), 0u);
  EXPECT_EQ(std::find(std::begin(slots), std::end(slots), lock), std::end(slots));
  context_->itemTable->count = count;
  EXPECT_EQ(Item(828), 0u);
  EXPECT_NE(std::find(std::begin(slots), std::end(slots), lock), std::end(slots));
}

TEST_F(ConditionItemsTest, IdsWithoutARuleGiveZeroAndTheirBitsAreNeverRead) {
  std::fill(record_ + kWorkBase, record_ + kWorkBase + 16, BYTE{0xFF});
  Finish(9);
  for (WORD id : {kFinMk2, kFinMk1, kFinMk5, kOption14, kOption15, kLctInstalled, kMpInstalled}) Set(id, 1);
  Set(66, 1);
  Set(136, kStaple1R);
  for (WORD id = 738; id <= 746; ++id) EXPECT_EQ(Item(id), 0u) << id;
  for (WORD id : {WORD{851}, WORD{858}, WORD{730}, WORD{859}, WORD{0}, WORD{10014}}) EXPECT_EQ(Item(id), 0u) << id;
  EXPECT_EQ(Item(733), 1u);
  Set(50, 11);
  EXPECT_EQ(Item(733), 0u);  // its bit is set, but A5 is not a FinMk3 paper
}

TEST_F(ConditionItemsTest, TraysByCode) {
  Set(13, kTrayCodeAuto);
  Load(kTray2, 9, 0);
  Set(kTray2.lock, 1);
  EXPECT_FALSE(CondSourceHoldsPaper(context_, 9, 0));  // automatic skips a locked tray
  Set(13, kTrayCodeTray2);
  EXPECT_TRUE(CondSourceHoldsPaper(context_, 9, 0));   // its own code ignores the lock
  EXPECT_FALSE(CondSourceHoldsPaper(context_, 9, 1));
  Set(50, 9);
  EXPECT_EQ(Item(830), 1u);
  EXPECT_EQ(Item(828), 0u);

  // The large-capacity tray serves automatic only while installed and unlocked; its own code
  // ignores both.
  Load(kLct, 9, 1);
  EXPECT_EQ(Item(833), 1u);
  EXPECT_EQ(Item(828), 0u);
  Set(kLctInstalled, 1);
  EXPECT_EQ(Item(828), 1u);
  Set(kLct.lock, 1);
  EXPECT_EQ(Item(828), 0u);

  // Automatic never takes the manual tray; the multi-purpose tray only installed and unlocked.
  Load(kManual, 9, 0);
  Set(kManualInstalled, 1);
  EXPECT_EQ(Item(834), 1u);
  EXPECT_EQ(Item(828), 0u);
  Load(kMp, 9, 0);
  EXPECT_EQ(Item(828), 0u);
  Set(kMpInstalled, 1);
  EXPECT_EQ(Item(828), 1u);
  Set(kMp.lock, 1);
  EXPECT_EQ(Item(828), 0u);

  // The manual slot is the manual tray while installed, even when only the other holds P.
  Load(kManual, 8, 0);
  EXPECT_EQ(Item(834), 0u);
  Set(kManualInstalled, 0);
  EXPECT_EQ(Item(834), 1u);  // now the multi-purpose tray, lock ignored
  Set(kMpInstalled, 0);
  EXPECT_EQ(Item(834), 0u);
  WORD paper = 77;
  DWORD orientation = 77;
  EXPECT_FALSE(CondGetTrayPaper(context_, kTrayCodeManualSlot, &paper, &orientation));
  EXPECT_FALSE(CondGetTrayPaper(context_, kTrayCodeAuto, &paper, &orientation));
  EXPECT_FALSE(CondGetTrayPaper(context_, 5, &paper, &orientation));
  EXPECT_EQ(paper, 77);
  ASSERT_TRUE(CondGetTrayPaper(context_, kTrayCodeLct, &paper, &orientation));
  EXPECT_EQ(paper, 9);
  EXPECT_EQ(orientation, 1u);

  // Code 7 ORs the orientations of the unlocked trays that hold P.
  Set(13, kTrayCodeAuto);
  Load(kTray1, 9, 0);
  Load(kTray3, 9, 1);
  EXPECT_EQ(CondTrayOrientFlags(context_, 9), kTrayHoldsPortrait | kTrayHoldsLandscape);
  Set(kTray1.lock, 1);
  EXPECT_EQ(CondTrayOrientFlags(context_, 9), kTrayHoldsLandscape);
  EXPECT_EQ(CondTrayOrientFlags(context_, 8), 0u);
}

TEST_F(ConditionItemsTest, FinisherPaperItemsNeedTheTrayToHoldThePaperTheRightWay) {
  Finish(9, 0);
  EXPECT_EQ(Item(731), 0u);  // no FinMk3 unit
  Set(kFinMk4, 1);
  EXPECT_EQ(Item(731), 1u);
  EXPECT_EQ(Item(732), 0u);
  Finish(9, 1);
  EXPECT_EQ(Item(731), 0u);
  EXPECT_EQ(Item(732), 1u);
  Finish(8, 1);  // A3 is never finished landscape
  EXPECT_EQ(Item(732), 0u);

  // Option 14: Executive landscape except on machine 131; never portrait.
  Set(kOption14, 1);
  Finish(7, 1);
  EXPECT_EQ(Item(748), 1u);
  context_->modelDefaults->machineId = 131;
  EXPECT_EQ(Item(748), 0u);
  Finish(7, 0);
  EXPECT_EQ(Item(747), 0u);
  Finish(9, 0);
  EXPECT_EQ(Item(747), 1u);

  // 799 has no gate: a FinMk5 paper, or B5 held landscape.
  Finish(13, 0);
  EXPECT_EQ(Item(799), 0u);
  Finish(13, 1);
  EXPECT_EQ(Item(799), 1u);
  Finish(5, 0);
  EXPECT_EQ(Item(799), 1u);
}

TEST_F(ConditionItemsTest, PunchPositionsOfTheFinMk3Unit) {
  Set(kFinMk2NA, 1);  // punches 1..3 and 17..19
  Set(134, 1);
  Finish(9, 0);  // Fp, R = 0
  EXPECT_EQ(Item(734), 1u);
  Set(134, 2);
  EXPECT_EQ(Item(734), 0u);  // crossed
  Set(134, 33);
  EXPECT_EQ(Item(734), 0u);  // outside the NA model's positions, however the tray holds it
  Finish(9, 1, 2);
  EXPECT_EQ(Item(734), 0u);
  // 17 with a portrait-loaded tray also needs item 737: A4 is excluded from it, A3 not.
  Set(134, 17);
  Finish(9, 0);
  EXPECT_EQ(Item(734), 0u);
  Finish(8, 0);
  EXPECT_EQ(Item(734), 1u);
  Set(kFinMk2, 1);  // a plain FinMk2 comes first and punches 1..3 only
  EXPECT_EQ(Item(734), 0u);
  Set(kFinMk2, 0);
  Set(kFinMk2NoPunch, 1);
  EXPECT_EQ(Item(734), 0u);
}

TEST_F(ConditionItemsTest, StaplePositionsOfFinMk1AndOption14) {
  Set(kFinMk1, 1);
  Set(136, kStaple1SR);
  Finish(9, 0);
  EXPECT_EQ(Item(766), 1u);  // straight
  Set(136, kStaple1SL);
  EXPECT_EQ(Item(766), 0u);
  Finish(9, 0, 2);           // R = 1: crossed
  EXPECT_EQ(Item(766), 1u);
  Set(136, kStaple1R);
  EXPECT_EQ(Item(766), 0u);

  // Option 14 with B5 counts only trays that hold it landscape.
  Set(kOption14, 1);
  Set(136, kStaple1R);
  Finish(9, 0);
  EXPECT_EQ(Item(750), 1u);
  Finish(13, 0);
  EXPECT_EQ(Item(750), 0u);
  Finish(13, 1, 2);
  EXPECT_EQ(Item(750), 1u);
}

TEST_F(ConditionItemsTest, FinMk5StapleForEachPosition) {
  struct Case {
    WORD paper;
    DWORD landscape;
    DWORD orientation;
    WORD staple;
    DWORD expected;
  };
  // A4 portrait-held: 797 and 798. A3 portrait-held: 795 and 798. A4 landscape-held: 796.
  const Case cases[] = {
      {9, 0, 1, 49, 1}, {9, 0, 1, 50, 1}, {9, 0, 1, 65, 0}, {9, 0, 1, 66, 0}, {9, 0, 1, 68, 1}, {9, 0, 1, 33, 0},
      {8, 0, 1, 65, 1}, {8, 0, 1, 66, 0}, {8, 0, 1, 67, 0}, {8, 0, 2, 65, 0}, {8, 0, 2, 66, 1}, {8, 0, 2, 67, 1},
      {8, 0, 1, 68, 1}, {9, 1, 1, 65, 0}, {9, 1, 1, 66, 1}, {9, 1, 1, 68, 0}, {9, 1, 1, 49, 1}, {9, 1, 2, 65, 1},
  };
  Set(kFinMk5, 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.paper << " " << c.landscape << " " << c.orientation << " " << c.staple);
    Finish(c.paper, c.landscape, c.orientation);
    Set(136, c.staple);
    EXPECT_EQ(Item(800), c.expected);
  }
  Set(kFinMk5, 0);
  EXPECT_EQ(Item(800), 0u);
}

TEST_F(ConditionItemsTest, ForcedFeedFollowsTheFirstInstalledFamily) {
  Finish(9);
  Set(66, 1);
  Set(136, kStaple1SL);
  Set(65, 1);
  Set(134, 17);
  Set(kFinMk2, 1);
  EXPECT_EQ(CondGetForceFeed(context_), kFeedPortrait);  // the punch decides
  EXPECT_EQ(Item(835), 1u);
  EXPECT_EQ(Item(836), 0u);
  Set(kFinMk2NoPunch, 1);
  EXPECT_EQ(CondGetForceFeed(context_), kFeedLandscape);  // the staple decides
  EXPECT_EQ(Item(836), 1u);
  Set(kFinMk2NoPunch, 0);
  Set(65, 0);
  Set(66, 0);
  EXPECT_EQ(CondGetForceFeed(context_), kFeedEither);
  EXPECT_EQ(Item(835) + Item(836), 0u);
  // With a FinMk1 beside the FinMk2, A5 is still the FinMk3 unit's (extended) paper.
  Set(kFinMk1, 1);
  Finish(11);
  EXPECT_EQ(CondGetForceFeed(context_), kFeedEither);
  Set(kFinMk2, 0);
  EXPECT_EQ(CondGetForceFeed(context_), kFeedNone);

  // Each pair in gate order: the earlier family wins.
  struct Step {
    WORD first, second, staple, alone, both;
  };
  const Step steps[] = {
      {kFinMk1, kFinMk5, kStaple2M, kFeedNone, kFeedNone},       // FinMk5 alone: 1
      {kFinMk5, kOption14, kStaple1R, kFeedEither, kFeedEither},  // option 14 alone: 1
      {kOption14, kOption15, kStaple2T, kFeedNone, kFeedNone},    // option 15 alone: 1
  };
  Finish(9);
  Set(66, 1);
  for (const Step& s : steps) {
    SCOPED_TRACE(s.second);
    for (WORD id : {kFinMk1, kFinMk5, kOption14, kOption15}) Set(id, 0);
    Set(136, s.staple);
    Set(s.second, 1);
    EXPECT_EQ(CondGetForceFeed(context_), kFeedPortrait);
    Set(s.second, 0);
    Set(s.first, 1);
    EXPECT_EQ(CondGetForceFeed(context_), s.alone);
    Set(s.second, 1);
    EXPECT_EQ(CondGetForceFeed(context_), s.both);
  }
}

TEST_F(ConditionItemsTest, CoverAndMarkSheetTraysAgainstTheSource) {
  Set(13, kTrayCodeAuto);  // taken as Tray 1
  Load(kTray2, 9, 0);
  Load(kTray3, 9, 0);
  Load(kTray1, 8, 0);
  for (WORD item : {WORD{142}, WORD{138}}) {
    SCOPED_TRACE(item);
    const WORD id = item == 142 ? 844 : 845;
    Set(item, kTrayCodeTray2);
    EXPECT_EQ(Item(id), 0u);  // Tray 3 holds the same, but only Tray 1 counts
    Load(kTray1, 9, 1);
    EXPECT_EQ(Item(id), 0u);
    Load(kTray1, 9, 0);
    EXPECT_EQ(Item(id), 1u);
    Set(item, kTrayCodeAuto);
    EXPECT_EQ(Item(id), 0u);
    Set(item, kTrayCodeManualSlot);  // neither manual nor multi-purpose tray installed
    EXPECT_EQ(Item(id), 0u);
    Load(kTray1, 8, 0);
  }
}

}  // namespace
