// The resolution fit and the full re-pass, and the constraints of the shipped description run
// through the value checks and the re-pass, each case checked against the description's text.
#include <functional>
#include <string>
#include <vector>

#include "constraint_eval_fixture.h"
#include "settings/description_access.h"
#include "settings/item_store.h"

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

// ---- The shipped description ------------------------------------------------------------------

class ShippedConstraintTest : public velm::test::DescriptionMachineTest {
 protected:
  void SetUp() override {
    DescriptionMachineTest::SetUp();
    context_ = CtxCreate(Open(), 0, 0);
    ASSERT_NE(context_, nullptr);
    ASSERT_NE(context_->description, nullptr);
  }
  void TearDown() override {
    CtxDestroyEx(context_, kReleaseDestroy);
    DescriptionMachineTest::TearDown();
  }
  // The stored value of a value symbol.
  static DWORD V(const char* name) {
    const ValueSymbolRow* row = OptFindValueSymbolByName(name);
    EXPECT_NE(row, nullptr) << name;
    return row ? row->value : 0;
  }
  void Set(WORD id, DWORD stored) { ASSERT_TRUE(OptSetValue(context_, id, stored)) << id; }
  DWORD Get(WORD id) { return OptGetValue(context_, id); }
  int Check(WORD id, DWORD stored) {
    return CondCheckValue(OptFindItem(context_->itemTable, id), id, stored, context_);
  }
  bool Disabled(WORD id) { return CondIsDisabled(DescGetNode(id, context_), 0, context_) != FALSE; }
  bool Hidden(WORD id) { return CondIsHidden(DescGetNode(id, context_), 0, context_) != FALSE; }

  DriverContext* context_ = nullptr;
};

constexpr WORD kOrientation = 7, kPaperSize = 8, kSource = 13, kDuplex = 16, kColor = 15, kMediaType = 29,
               kDitherType = 30, kOutputTray = 57, kDuplexOn = 61, kPunchOn = 65, kStapleOn = 66,
               kDuplexType = 102, kStapleType = 136, kPrnMethod = 222, kPassword = 220, kDocumentName = 219,
               kDuplexUnit = 10014, kFinisher = 10047, kTray3 = 10113, kTray4 = 10114, kLct = 10136;

TEST_F(ShippedConstraintTest, ValueChecksFollowTheItemSets) {
  struct Conflict {
    const char* text;  // what the description says
    std::function<void()> setUp;
    WORD item;
    const char* value;
    int expected;
  };
  const Conflict conflicts[] = {
      {"TrayValues: TRAY3 disabled while Tray3Missing", [&] { Set(kTray3, 0); }, kSource, "DMDEFAULTSOURCE_TRAY3",
       kValueDisabled},
      {"... and allowed once the tray is installed", [&] { Set(kTray3, 1); }, kSource, "DMDEFAULTSOURCE_TRAY3",
       kValueAllowed},
      {"TrayValues: TRAY4 disabled while Tray4Missing", [&] { Set(kTray4, 0); }, kSource, "DMDEFAULTSOURCE_TRAY4",
       kValueDisabled},
      {"TrayValues: LCT disabled while !vdmTrayInstalledLCT", [&] { Set(kLct, 0); }, kSource, "DMDEFAULTSOURCE_LCT",
       kValueDisabled},
      {"... allowed with the LCT", [&] { Set(kLct, 1); }, kSource, "DMDEFAULTSOURCE_LCT", kValueAllowed},
      {"TRAY1 has no entry", [&] {}, kSource, "DMDEFAULTSOURCE_TRAY1", kValueAllowed},
      {"DuplexValues: long edge disabled without the duplex unit", [&] { Set(kDuplexUnit, 0); }, kDuplex,
       "DMDUPLEX_VERTICAL", kValueDisabled},
      {"DuplexValues: short edge likewise", [&] {}, kDuplex, "DMDUPLEX_HORIZONTAL", kValueDisabled},
      {"... simplex has no entry", [&] {}, kDuplex, "DMDUPLEX_SIMPLEX", kValueAllowed},
      {"... long edge allowed with the unit", [&] { Set(kDuplexUnit, 1); }, kDuplex, "DMDUPLEX_VERTICAL",
       kValueAllowed},
      {"MediaValues: transparency disabled while DuplexOn", [&] { Set(kDuplexOn, 1); }, kMediaType,
       "DMMEDIATYPE_TRANSPARENCY", kValueDisabled},
      {"... not while duplex is off", [&] { Set(kDuplexOn, 0); }, kMediaType, "DMMEDIATYPE_TRANSPARENCY",
       kValueAllowed},
      {"FinisherBins: proof bin hidden while FinisherMissing", [&] { Set(kFinisher, 0); }, kOutputTray,
       "VDMOUTPUTTRAYID_FINISHERPROOF", kValueHidden},
      {"FinisherBins: shift bin likewise", [&] {}, kOutputTray, "VDMOUTPUTTRAYID_FINISHERSHIFT", kValueHidden},
      {"... the upper bin has no entry", [&] {}, kOutputTray, "VDMOUTPUTTRAYID_UPPER", kValueAllowed},
      {"... both shown with the finisher", [&] { Set(kFinisher, 1); }, kOutputTray, "VDMOUTPUTTRAYID_FINISHERSHIFT",
       kValueAllowed},
  };
  for (const Conflict& c : conflicts) {
    c.setUp();
    EXPECT_EQ(Check(c.item, V(c.value)), c.expected) << c.text;
  }
}

TEST_F(ShippedConstraintTest, ItemsAreDisabledOrHiddenByTheirOwnJudges) {
  // Staple and punch: FinisherMissing disables both switches and disables and hides their types.
  Set(kFinisher, 0);
  EXPECT_TRUE(Disabled(kStapleOn));
  EXPECT_TRUE(Disabled(kPunchOn));
  EXPECT_TRUE(Disabled(kStapleType) && Hidden(kStapleType));
  EXPECT_FALSE(Hidden(kStapleOn));
  Set(kFinisher, 1);
  EXPECT_FALSE(Disabled(kStapleOn) || Disabled(kStapleType) || Hidden(kStapleType));
  // The password only for secure print (NotSecurePrint); the document name only for stored print.
  Set(kPrnMethod, V("VDMPRNMETHOD_NORMAL"));
  EXPECT_TRUE(Disabled(kPassword));
  EXPECT_TRUE(Disabled(kDocumentName));
  Set(kPrnMethod, V("VDMPRNMETHOD_SECURITY"));
  EXPECT_FALSE(Disabled(kPassword));
  Set(kPrnMethod, V("VDMPRNMETHOD_STORED"));
  EXPECT_FALSE(Disabled(kDocumentName));
  // MonoForced: dithering is fixed in grayscale unless it is NONE.
  Set(kColor, V("DMCOLOR_MONO"));
  Set(kDitherType, V("DMDITHERTYPE_NONE"));
  EXPECT_FALSE(Disabled(kDitherType));
  Set(kDitherType, 2);
  EXPECT_TRUE(Disabled(kDitherType));
  Set(kColor, V("DMCOLOR_COLOR"));
  EXPECT_FALSE(Disabled(kDitherType));
}

TEST_F(ShippedConstraintTest, NupWithBookletReadsTheBindingThroughItsLandscapeList) {
  // NupWithBooklet: n-up on and a binding of the booklet family, in either orientation's list.
  Set(kNupOn, 1);
  for (DWORD orientation : {1u, 2u}) {
    Set(kOrientation, orientation);
    Set(kDuplexType, 17);  // booklet top: 2503 in portrait, 2523 in landscape
    EXPECT_TRUE(Disabled(kNupType)) << orientation;
    Set(kDuplexType, 3);   // left: 2502 / 2522
    EXPECT_FALSE(Disabled(kNupType)) << orientation;
  }
  Set(kNupOn, 0);
  Set(kDuplexType, 17);
  EXPECT_FALSE(Disabled(kNupType));
}

TEST_F(ShippedConstraintTest, SecurePrintJudgesCompareThePasswordsLength) {
  ItemTableRow* password = OptFindItem(context_->itemTable, kPassword);
  Set(kPrnMethod, V("VDMPRNMETHOD_SECURITY"));
  // vdmJOBPassword's rule PasswordFirst asks for the password page while it is empty.
  const DescNode* node = DescGetNode(kPassword, context_);
  EXPECT_EQ(CondApplyNodeRules(node, context_), 1002);
  ASSERT_TRUE(OptSetString(context_, password, u"123"));
  EXPECT_EQ(CondApplyNodeRules(node, context_), 0);
}

TEST_F(ShippedConstraintTest, TheRepassBringsConflictingSettingsIntoLine) {
  // NoSmallDuplex: duplex on JPOST paper goes off, dmDuplex to simplex.
  Set(kPaperSize, V("DMPAPERSIZE_JPOST"));
  Set(kDuplexOn, 1);
  Set(kDuplex, V("DMDUPLEX_VERTICAL"));
  // TrayFallback (TRAY3 without the tray back to AUTO) is dmDefaultSource's second rule list,
  // which nothing runs: the source stays.
  Set(kTray3, 0);
  Set(kSource, V("DMDEFAULTSOURCE_TRAY3"));
  // FinisherOnly: staple and punch go off without a finisher.
  Set(kFinisher, 0);
  Set(kStapleOn, 1);
  Set(kPunchOn, 1);
  EXPECT_EQ(CondReapplyAll(context_), 0);
  EXPECT_EQ(Get(kDuplexOn), 0u);
  EXPECT_EQ(Get(kDuplex), V("DMDUPLEX_SIMPLEX"));
  EXPECT_EQ(Get(kSource), V("DMDEFAULTSOURCE_TRAY3"));
  EXPECT_EQ(Get(kStapleOn), 0u);
  EXPECT_EQ(Get(kPunchOn), 0u);
  EXPECT_NE(DmGetStateFlags(&context_->settings->devmode) & kDmStateConstraintPassDone, 0u);

  // CustomFromBypass: a custom paper from a tray is fed from the bypass. NoTransparencyDuplex
  // (dmMediaType's rules) turns duplex off on transparencies.
  Set(kPaperSize, V("DMPAPERSIZE_CUSTOM"));
  Set(kSource, V("DMDEFAULTSOURCE_TRAY1"));
  Set(kMediaType, V("DMMEDIATYPE_TRANSPARENCY"));
  Set(kDuplexOn, 1);
  CondReapplyAll(context_);
  EXPECT_EQ(Get(kSource), V("DMDEFAULTSOURCE_MANUAL"));
  EXPECT_EQ(Get(kDuplexOn), 0u);
  // Settings without a conflict stay.
  Set(kPaperSize, V("DMPAPERSIZE_A4"));
  Set(kMediaType, V("DMMEDIATYPE_PLAIN"));
  Set(kDuplexOn, 1);
  Set(kSource, V("DMDEFAULTSOURCE_TRAY1"));
  CondReapplyAll(context_);
  EXPECT_EQ(Get(kDuplexOn), 1u);
  EXPECT_EQ(Get(kSource), V("DMDEFAULTSOURCE_TRAY1"));
}

}  // namespace
