// The resolution fit and the full re-pass.
#include "settings/constraints/eval_fixture.h"
#include "settings/items/store.h"

namespace {

constexpr WORD kQuality = 14, kSrcLength = 44, kSrcWidth = 45, kDstLength = 51, kDstWidth = 52, kScaleOn = 58,
               kNupOn = 59, kScaleType = 90, kScaleH = 92, kScaleV = 93, kNupKind = 94, kNupType = 95;

class ResolutionFitTest : public ConstraintContextTest {
 protected:
  void SetUp() override {
    ConstraintContextTest::SetUp();
    Set(kQuality, 1200);
  }
  // The source paper in dots; the output paper stays within its limit.
  bool Fits(DWORD width, DWORD length) {
    Set(kSrcWidth, width);
    Set(kSrcLength, length);
    return DmCheckResolutionFit(context_, FALSE) != FALSE;
  }
};

TEST_F(ResolutionFitTest, TheOutputPaperStaysBelow30709AndTheSourceAtMost30708Except600Dots) {
  EXPECT_TRUE(Fits(30708, 30708));
  EXPECT_FALSE(Fits(30709, 30708));
  EXPECT_FALSE(Fits(30708, 30709));
  Set(kDstWidth, 30708);
  Set(kDstLength, 30708);
  EXPECT_TRUE(Fits(0, 0));
  Set(kDstWidth, 30709);
  EXPECT_FALSE(Fits(0, 0));
  Set(kDstWidth, 0);
  Set(kDstLength, 30709);
  EXPECT_FALSE(Fits(0, 0));
  EXPECT_FALSE(DmCheckResolutionFit(context_, TRUE));
  Set(kQuality, 600);
  for (WORD id : {kSrcLength, kSrcWidth, kDstLength, kDstWidth}) Set(id, 0xFFFF);
  EXPECT_TRUE(DmCheckResolutionFit(context_, FALSE));
  EXPECT_TRUE(DmCheckResolutionFit(context_, TRUE));
}

TEST_F(ResolutionFitTest, TheZoomScalesTheSourcePaper) {
  Set(kScaleOn, 1);
  Set(kScaleType, 3);
  Set(kScaleH, 200);
  Set(kScaleV, 50);
  EXPECT_TRUE(Fits(15354, 30708));  // 30708 across, 15354 along
  EXPECT_FALSE(Fits(15355, 30708));
  EXPECT_TRUE(Fits(15354, 61417));  // 61417 x 50 / 100 = 30708
  EXPECT_FALSE(Fits(15354, 61418));
  // Paper scale: the across scale goes both ways (set after item 93, which keeps its 50).
  Set(kScaleType, 1);
  EXPECT_FALSE(Fits(100, 15355));
  EXPECT_TRUE(Fits(100, 15354));
  // Fit to paper leaves the size as it is.
  Set(kScaleType, 2);
  EXPECT_TRUE(Fits(30708, 30708));
  Set(kScaleOn, 0);
  Set(kScaleType, 3);
  EXPECT_TRUE(Fits(30708, 30708));
}

TEST_F(ResolutionFitTest, APosterLayoutMultipliesTheSourcePaper) {
  Set(kNupOn, 1);
  Set(kNupKind, 9);
  Set(kNupType, 0x8001);  // two pages: the shorter side doubles
  EXPECT_TRUE(Fits(20000, 15354));
  EXPECT_FALSE(Fits(20000, 15355));
  EXPECT_FALSE(Fits(15355, 20000));
  Set(kNupType, 0x8003);  // three pages a side: both
  EXPECT_TRUE(Fits(10236, 10236));
  EXPECT_FALSE(Fits(10237, 100));
  EXPECT_FALSE(Fits(100, 10237));
  // Only the poster kind, only layouts above 0x8000, and only while the zoom does not apply.
  Set(kNupType, 0x8000);
  EXPECT_TRUE(Fits(30708, 30708));
  Set(kNupType, 0x8003);
  Set(kNupKind, 4);
  EXPECT_TRUE(Fits(30708, 30708));
  Set(kNupKind, 9);
  Set(kScaleOn, 1);
  Set(kScaleType, 3);
  Set(kScaleH, 100);
  Set(kScaleV, 100);
  EXPECT_TRUE(Fits(30708, 30708));
  Set(kScaleType, 2);
  EXPECT_FALSE(Fits(10237, 100));
}

TEST_F(ResolutionFitTest, TheRepassSetsSixHundredWhenThePaperDoesNotFitAndMarksItselfDone) {
  PrivateDevmode* devmode = &context_->settings->devmode;
  DmSetStateFlags(devmode, kDmStateItem394Default);
  Set(kSrcWidth, 20000);
  EXPECT_EQ(CondReapplyAll(context_), 0);
  EXPECT_EQ(Get(kQuality), 1200u);
  EXPECT_EQ(DmGetStateFlags(devmode), kDmStateItem394Default | kDmStateConstraintPassDone);
  EXPECT_EQ(DmLoadU8(devmode->bytes, 859), 0x24);
  Set(kSrcWidth, 30709);
  EXPECT_EQ(CondReapplyAll(context_), 0);
  EXPECT_EQ(Get(kQuality), 600u);
  EXPECT_TRUE(DmCheckResolutionFit(context_, FALSE));
}

TEST_F(ResolutionFitTest, WithoutARecordNothingFitsAndTheRepassDoesNothing) {
  SettingsRecord* record = context_->settings;
  context_->settings = nullptr;
  EXPECT_FALSE(DmCheckResolutionFit(context_, FALSE));
  EXPECT_EQ(CondReapplyAll(context_), 0);
  context_->settings = record;
  EXPECT_EQ(DmGetStateFlags(&record->devmode), 0u);
}

TEST_F(ResolutionFitTest, TheRepassRunsTheRulesAfterTheFit) {
  // The rule sees the quality the fit set.
  Describe(
      "*OpenUI *ZMD_dmCopies: Numeric\n*CloseUI\n"
      "*Judge 1=Fixed: ZMD_dmPrintQuality == 600\n"
      "*Action 1=Two: { {ZMD_dmCopies 2} }\n"
      "*Transact 1=Rules: { {Fixed Two} }\n"
      "*Exclusive: { {ZMD_dmCopies NULL NULL NULL NULL Rules NULL} }\n");
  Set(kDstWidth, 40000);
  CondReapplyAll(context_);
  EXPECT_EQ(Get(12), 2u);
}

}  // namespace
