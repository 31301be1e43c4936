// The item checks: what the model cannot judge, the repair of what it rejects (reset, the saved
// setting's translation, the scale clamp), the checks that must not write, the field validators'
// built-in sets, the paper predicates and the user list indexes.
#include "settings/devmode/item_checks.h"

#include <set>
#include <utility>

#include "settings/devmode/item_checks_fixture.h"

namespace {

constexpr WORD kColor = 15, kPresetNumber = 41, kScaleStep = 91, kScaleAcross = 92, kScaleAlong = 93;
constexpr size_t kOffPresetNumber = 374;  // the saved setting's byte in the devmode

// dmColor as a list of monochrome and colour (model values 2030, 2031), default as given.
std::string ColorList(const char* fallback) {
  return std::string("*OpenUI *ZMD_dmColor: PickOne\n*ZMD_dmColor DMCOLOR_MONO: \"MONO\"\n"
                     "*ZMD_dmColor DMCOLOR_COLOR: \"COLOR\"\n*DefaultZMD_dmColor: ") +
         fallback + "\n*CloseUI\n";
}

std::set<std::pair<WORD, DWORD>> g_disabled;  // {item, model value}
std::set<std::pair<WORD, DWORD>> g_hidden;
const DescConditionHooks kConditionHooks = {
    [](const DescNode* node, DWORD value, DriverContext*) -> BOOL {
      return g_disabled.count({DescNodeItemId(node), value}) != 0;
    },
    [](const DescNode* node, DWORD value, DriverContext*) -> BOOL {
      return g_hidden.count({DescNodeItemId(node), value}) != 0;
    },
    [](DriverContext*, const DescProgram*) -> LONG { return 0; },
};

using ItemChecksTest = ItemCheckTest;

TEST_F(ItemChecksTest, ItemsTheModelCannotJudgeAnswerTwoOrThree) {
  for (auto check : {OptCheckItemValue, OptCheckValue, OptCheckItemValueQuiet, OptCheckValueQuiet}) {
    EXPECT_EQ(check(430, 5, context_), kCheckNoKey);  // a row without a command key
    EXPECT_EQ(check(5000, 5, context_), kCheckNoKey);  // no row
    EXPECT_EQ(check(kScaleStep, 50, context_), kCheckHidden);  // no description at all
  }
  UseDescription("*OpenUI *ZMD_vdmScaleStep: TypeUnknown\n*CloseUI\n" + ColorList("DMCOLOR_MONO"));
  Set(kScaleStep, 50);
  EXPECT_EQ(OptCheckItemValue(kScaleStep, 50, context_), kCheckHidden);
  EXPECT_EQ(OptCheckItemValue(kScaleAcross, 9999, context_), kCheckHidden);  // no record for it
  EXPECT_EQ(Get(kScaleStep), 50u);
  EXPECT_EQ(Get(kScaleAcross), 0u);
}

TEST_F(ItemChecksTest, AllowedAndHiddenValuesStandRejectedAndDisabledOnesTakeTheModelDefault) {
  UseDescription(ColorList("DMCOLOR_MONO"));
  g_disabled = {{kColor, 2031}};
  g_hidden = {{kColor, 2030}};
  DescSetConditionHooks(&kConditionHooks);
  Set(kColor, 1);
  Row(kColor)->changed = 0;
  context_->work->dirty = 0;
  EXPECT_EQ(OptCheckValue(kColor, 1, context_), kCheckAccepted);
  EXPECT_EQ(OptCheckItemValue(kColor, 1, context_), kCheckAccepted);
  EXPECT_EQ(Row(kColor)->changed, 0);
  EXPECT_EQ(context_->work->dirty, 0u);

  for (DWORD value : {7u, 2u}) {  // no model value at all; a disabled one
    Set(kColor, value);
    EXPECT_EQ(OptCheckValue(kColor, value, context_), kCheckRejected);
    EXPECT_EQ(Get(kColor), value);
    EXPECT_EQ(OptCheckItemValue(kColor, value, context_), kCheckAccepted);
    EXPECT_EQ(Get(kColor), 1u);  // the default 2030 stored back as 1
  }
}

TEST_F(ItemChecksTest, TheSavedSettingTakesTheModelDefaultLess119) {
  // {model default, stored byte}: 119..134 are the saved settings 0..15, 118 is none (255);
  // any other result of 128 or more becomes 0.
  const std::pair<int, BYTE> cases[] = {{118, 0xFF}, {125, 6}, {119, 0}, {134, 15}, {50, 0}, {0, 0}};
  for (const auto& [fallback, stored] : cases) {
    UseDescription(NumericRecord("vdmPresetNo", fallback, 119, 134));
    Set(kPresetNumber, 3);  // stored 3 is no model value of the range
    EXPECT_EQ(OptCheckItemValue(kPresetNumber, 3, context_), kCheckAccepted);
    EXPECT_EQ(record_[kOffPresetNumber], stored) << "default " << fallback;
  }
}

TEST_F(ItemChecksTest, ScalesAreClampedIntoTheRangeOnlyUnderTheSummaryMergeFlag) {
  UseDescription(NumericRecord("vdmScaleH", 150, 20, 400) + NumericRecord("vdmScaleV", 150, 20, 400) +
                 NumericRecord("vdmPresetNo", 125, 119, 134));
  context_->work->mergeFlags = 0x40000000;
  EXPECT_EQ(OptCheckItemValue(kScaleAcross, 500, context_), kCheckAccepted);
  EXPECT_EQ(Get(kScaleAcross), 400u);
  OptCheckItemValue(kScaleAlong, 5, context_);
  EXPECT_EQ(Get(kScaleAlong), 20u);
  Set(kPresetNumber, 3);
  OptCheckItemValue(kPresetNumber, 3, context_);  // other items are still reset
  EXPECT_EQ(Get(kPresetNumber), 6u);

  context_->work->mergeFlags = 0x10000000;
  EXPECT_EQ(OptCheckItemValue(kScaleAcross, 500, context_), kCheckAccepted);
  EXPECT_EQ(Get(kScaleAcross), 150u);
}

TEST_F(ItemChecksTest, TheNonRepairingChecksNeverWrite) {
  UseDescription("*OpenUI *ZMD_dmColor: PickOne\n*ZMD_dmColor DMCOLOR_MONO: \"MONO\"\n*CloseUI\n" +
                 NumericRecord("vdmScaleH", 150, 20, 400) + NumericRecord("vdmPresetNo", 118, 119, 134));
  context_->work->mergeFlags = 0x40000000;
  context_->work->dirty = 0;
  const std::vector<BYTE> before = WholeRecord();
  for (auto check : {OptCheckValue, OptCheckValueQuiet}) {
    EXPECT_EQ(check(kColor, 7, context_), kCheckRejected);
    EXPECT_EQ(check(kScaleAcross, 500, context_), kCheckRejected);
    EXPECT_EQ(check(kPresetNumber, 3, context_), kCheckRejected);
    EXPECT_EQ(check(kScaleAcross, 400, context_), kCheckAccepted);
  }
  EXPECT_EQ(WholeRecord(), before);
  EXPECT_EQ(context_->work->dirty, 0u);
}

TEST_F(ItemChecksTest, TheQuietPairTakesAnyMappedValueOfAListItem) {
  UseDescription("*OpenUI *ZMD_dmColor: PickOne\n*ZMD_dmColor DMCOLOR_MONO: \"MONO\"\n"
                 "*DefaultZMD_dmColor: DMCOLOR_MONO\n*CloseUI\n");
  EXPECT_EQ(OptCheckValue(kColor, 2, context_), kCheckRejected);  // not in the list
  EXPECT_EQ(OptCheckValueQuiet(kColor, 2, context_), kCheckAccepted);  // but the map knows it
  EXPECT_EQ(OptCheckValueQuiet(kColor, 7, context_), kCheckRejected);
  Set(kColor, 2);
  EXPECT_EQ(OptCheckItemValueQuiet(kColor, 2, context_), kCheckAccepted);
  EXPECT_EQ(Get(kColor), 2u);
  EXPECT_EQ(OptCheckItemValueQuiet(kColor, 7, context_), kCheckAccepted);
  EXPECT_EQ(Get(kColor), 1u);

  // A mapped item of a Numeric record is judged by its range alone.
  UseDescription(NumericRecord("dmColor", 1, 1, 1));
  EXPECT_EQ(OptCheckValueQuiet(kColor, 2, context_), kCheckRejected);
}

TEST_F(ItemChecksTest, ResettingAStringItemEmptiesIt) {
  UseDescription("*OpenUI *ZMD_vdmUserID: String\n*StringValue: 8 ASCII\n*DefaultZMD_vdmUserID: DMCOLOR_COLOR\n"
                 "*CloseUI\n");
  ItemTableRow* row = Row(215);
  ASSERT_TRUE(OptSetString(context_, row, u"someone"));
  EXPECT_TRUE(OptResetToDefault(context_, row));
  WCHAR text[16] = {u'x'};
  OptGetString(context_, row, text, 16);
  EXPECT_EQ(std::u16string(text), u"");
}

// ---- Field validators ---------------------------------------------------------------------------

TEST_F(ItemChecksTest, WithoutTheModelTheBuiltInSetsDecide) {
  struct Case {
    BOOL (*validator)(LONG, DriverContext*);
    LONG value;
    BOOL accepted;
  };
  const Case cases[] = {
      {OptValidateDefaultSource, 15, TRUE},  {OptValidateDefaultSource, 16, FALSE},
      {OptValidateDefaultSource, 272, TRUE}, {OptValidateDefaultSource, 273, FALSE},
      {OptValidateDefaultSource, 281, TRUE}, {OptValidateDefaultSource, 286, FALSE},
      {OptValidateOrientation, 2, TRUE},     {OptValidateOrientation, 3, FALSE},
      {OptValidatePaperSize, 9, FALSE},      {OptValidatePrintQuality, 2400, TRUE},
      {OptValidatePrintQuality, 400, FALSE}, {OptValidatePrintQuality, -4, TRUE},
      {OptValidatePrintQuality, -5, FALSE},  {OptValidateDuplex, 4, FALSE},
      {OptValidateColor, 3, FALSE},          {OptValidateTTOption, 5, FALSE},
      {OptValidateIcmMethod, 256, TRUE},     {OptValidateIcmIntent, 256, TRUE},
      {OptValidateIcmIntent, 3, FALSE},      {OptValidateMediaType, 516, TRUE},
      {OptValidateMediaType, 517, FALSE},    {OptValidateMediaType, 272, FALSE},
      {OptValidateDitherType, 10, TRUE},     {OptValidateDitherType, 5, FALSE},
  };
  for (const Case& c : cases) EXPECT_EQ(c.validator(c.value, context_), c.accepted) << c.value;
  EXPECT_FALSE(OptValidateField(12, 1, context_));  // dmCopies has no validator
}

TEST_F(ItemChecksTest, WithTheModelItsAnswerStands) {
  UseDescription("*OpenUI *ZMD_dmColor: PickOne\n*ZMD_dmColor DMCOLOR_MONO: \"MONO\"\n*CloseUI\n"
                 "*OpenUI *ZMD_dmPaperSize: PickPage\n*ZMD_dmPaperSize DMPAPERSIZE_A4: \"A4\"\n*CloseUI\n");
  EXPECT_TRUE(OptValidateColor(1, context_));
  EXPECT_FALSE(OptValidateColor(2, context_));  // in the built-in set, but the model says no
  EXPECT_TRUE(OptValidatePaperSize(9, context_));
  EXPECT_FALSE(OptValidatePaperSize(8, context_));
  EXPECT_TRUE(OptValidateOrientation(2, context_));  // no record: the built-in set again
}

// ---- Paper predicates and list indexes ----------------------------------------------------------

TEST_F(ItemChecksTest, PaperPredicatesAndUserSizeSlots) {
  EXPECT_FALSE(OptIsStandardPaper(119, context_));
  EXPECT_TRUE(OptIsStandardPaper(517, context_));
  EXPECT_FALSE(OptIsStandardPaper(515, context_));
  for (LONG paper : {255, 383, 393}) EXPECT_FALSE(OptIsFreeSizePaperId(paper, context_)) << paper;
  EXPECT_EQ(OptUserSizeSlotOf(384), 0);
  EXPECT_EQ(OptUserSizeSlotOf(392), 8);
  EXPECT_EQ(OptUserSizeSlotOf(256), 9);
  EXPECT_EQ(OptUserSizeSlotOf(383), -1);
  Set(8, 386);
  Set(50, 256);
  EXPECT_EQ(OptGetUserSizeSlot(context_, 8), 2);
  EXPECT_EQ(OptGetUserSizeSlot(context_, 50), 9);
  EXPECT_EQ(OptGetUserSizeSlot(context_, 132), -1);  // not a paper of the two
}

TEST_F(ItemChecksTest, StampAndQualitySetIndexes) {
  Set(120, 3);
  EXPECT_EQ(LstGetStampIndex(context_), -1);
  Set(63, 1);
  EXPECT_EQ(LstGetStampIndex(context_), 3);

  Set(188, 32);
  EXPECT_EQ(LstGetQualityIndex(context_), -1);  // no quality set in use
  Set(185, 1);
  EXPECT_EQ(LstGetQualityIndex(context_), 0);
  Set(188, 39);
  EXPECT_EQ(LstGetQualityIndex(context_), 7);
  EXPECT_EQ(OptGetModelValueById(context_, 188), 142u);
  Set(188, 0);  // what a reset leaves: names no set
  EXPECT_EQ(LstGetQualityIndex(context_), -1);
}

}  // namespace
