// The public DEVMODEW fields: the defaults of a fresh record, validation against the kinds the
// model describes them with (and the fallbacks at the edges), and the merge of a caller's fields
// one field at a time.
#include "settings/devmode/public_fields.h"

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/machine_root.h"
#include "settings/devmode/derived_items_fixture.h"
#include "settings/devmode/item_checks_fixture.h"
#include "settings/devmode/locale_defaults.h"

namespace {

constexpr WORD kSpecVersion = 2, kDriverVersion = 3, kSize = 4, kDriverExtra = 5, kFields = 6, kOrientation = 7,
               kPaperSize = 8, kPaperLength = 9, kPaperWidth = 10, kScale = 11, kCopies = 12, kSource = 13,
               kPrintQuality = 14, kColor = 15, kDuplex = 16, kYResolution = 17, kTTOption = 18, kCollate = 19,
               kFormName = 20, kLogPixels = 21, kDisplayFrequency = 26, kMediaType = 29, kDitherType = 30,
               kPanningHeight = 34, kResolutionW = 42, kDstWidthDots = 52, kSortOn = 64, kQualityListUse = 185,
               kQualityListNo = 188, kResolutionBoth = 248, kCardMemory = 492, kHardDisk = 499;
constexpr DWORD kFreshFields = 0x7F03;

std::string Numeric(const std::string& item, int fallback, int minimum, int maximum) {
  return NumericRecord(item, fallback, minimum, maximum);
}
const std::string kQualityList =
    "*OpenUI *ZMD_dmPrintQuality: PickOne\n*ZMD_dmPrintQuality DMPRINTQUALITY_300: \"300\"\n"
    "*ZMD_dmPrintQuality DMPRINTQUALITY_600: \"600\"\n*DefaultZMD_dmPrintQuality: DMPRINTQUALITY_600\n*CloseUI\n";
const std::string kPaperList =
    "*OpenUI *ZMD_dmPaperSize: PickPage\n*ZMD_dmPaperSize DMPAPERSIZE_A4: \"A4\"\n"
    "*DefaultZMD_dmPaperSize: DMPAPERSIZE_A4\n*CloseUI\n";
const std::string kTwoPapers =
    "*OpenUI *ZMD_dmPaperSize: PickPage\n*ZMD_dmPaperSize DMPAPERSIZE_A3: \"A3\"\n"
    "*ZMD_dmPaperSize DMPAPERSIZE_A4: \"A4\"\n*DefaultZMD_dmPaperSize: DMPAPERSIZE_A4\n*CloseUI\n";
// dmFields described: validation keeps the mask instead of starting again from 0x7F03.
const std::string kFieldsRecord = NumericRecord("dmFields", 0, 0, 0);
const std::string kSourceList =
    "*OpenUI *ZMD_dmDefaultSource: PickSlot\n*ZMD_dmDefaultSource DMDEFAULTSOURCE_AUTO: \"AUTO\"\n"
    "*DefaultZMD_dmDefaultSource: DMDEFAULTSOURCE_AUTO\n*CloseUI\n";

class PublicFieldTest : public ItemCheckTest {
 protected:
  LONG Public(WORD id) { return static_cast<LONG>(Get(id)); }
  DWORD Fields() { return Get(kFields); }
  std::u16string FormName() {
    WCHAR name[32] = {};
    OptGetString(context_, Row(kFormName), name, 32);
    return name;
  }
  // Collation offered (the hard disk installed) or not.
  void Collation(bool offered) {
    Set(kCardMemory, 1);
    Set(kHardDisk, offered ? 1 : 0);
  }
};

// ---- Defaults -------------------------------------------------------------------------------------

using PublicDefaultsTest = PublicFieldTest;

TEST_F(PublicDefaultsTest, AFreshRecordTakesTheModelDefaultsAndTheirMask) {
  Set(kFields, 0xFFFFFFFF);  // every bit the default steps do not name must go too
  Set(kLogPixels, 96);
  Set(kDisplayFrequency, 60);
  Set(kPanningHeight, 5);
  DmSetPublicDefaults(context_);
  EXPECT_EQ(Fields(), kFreshFields);
  EXPECT_EQ(Get(kSpecVersion), 0x401u);
  EXPECT_EQ(Get(kDriverVersion), 0x400u);
  EXPECT_EQ(Get(kSize), 220u);
  EXPECT_EQ(Get(kDriverExtra), 1040u);
  const std::pair<WORD, LONG> expected[] = {
      {kOrientation, 1}, {kPaperSize, 9}, {kPaperLength, 0}, {kPaperWidth, 0}, {kScale, 100}, {kCopies, 1},
      {kSource, 7},      {kPrintQuality, 600}, {kColor, 2}, {kDuplex, 1},    {kYResolution, 600}, {kTTOption, 3},
      {kCollate, 0},     {kLogPixels, 0},   {kDisplayFrequency, 0}, {27, 1}, {28, 1}, {kMediaType, 1},
      {kDitherType, 1},  {kPanningHeight, 0}};
  for (const auto& [item, value] : expected) EXPECT_EQ(Public(item), value) << item;
  EXPECT_EQ(FormName(), u"A4");
}

TEST_F(PublicDefaultsTest, TheDefaultPaperIsTheModelsWhateverTheUsersCountry) {
  // The locale's suggestion (Letter in the US) stays in the work area for the code that applies
  // it; the public defaults are the model's.
  ASSERT_TRUE(velm::platform::SetMachineSetting("country", "1"));
  DmSetCountryDefaults(context_);
  DmSetPublicDefaults(context_);
  EXPECT_EQ(Public(kPaperSize), 9);
  EXPECT_EQ(FormName(), u"A4");
  EXPECT_EQ(context_->work->locale.paperSize, 1u);
}

TEST_F(PublicDefaultsTest, TheYResolutionDefaultCopiesAPrintQualityTheModelDescribes) {
  ASSERT_NE(context_->modelDefaults, nullptr);
  context_->modelDefaults->defaultYResolution = 300;  // tell the two sources apart
  DmSetPublicDefaults(context_);
  EXPECT_EQ(Public(kYResolution), 300);
  UseDescription(kQualityList);
  DmSetPublicDefaults(context_);
  EXPECT_EQ(Public(kYResolution), 600);
  // dmYResolution is not described, so validation runs its default step: the print quality,
  // a draft level included, is validated and copied.
  Set(kPrintQuality, static_cast<DWORD>(-2));
  DmValidatePublic(context_);
  EXPECT_EQ(Public(kPrintQuality), -2);
  EXPECT_EQ(Public(kYResolution), -2);
}

TEST_F(PublicDefaultsTest, CallTypesChooseDefaultsOrValidation) {
  Set(kPaperSize, 150);
  DmPreparePublic(context_, kPublicValidate);
  EXPECT_EQ(Public(kPaperSize), 9);  // undescribed: validation falls back
  Set(kOrientation, 2);
  Set(kFields, 0);
  DmPreparePublic(context_, 3);
  EXPECT_EQ(Public(kOrientation), 1);
  EXPECT_EQ(Fields(), kFreshFields);
}

// ---- Validation -----------------------------------------------------------------------------------

using PublicValidationTest = PublicFieldTest;

TEST_F(PublicValidationTest, PaperAndSourceKeepTheirCodeRangesOnly) {
  UseDescription(kPaperList + kSourceList);
  for (const auto& [paper, kept] : {std::pair{1, 1}, {118, 118}, {119, 9}, {150, 9}, {255, 9}, {256, 256},
                                    {300, 300}, {0, 9}, {-1, 9}}) {
    Set(kPaperSize, static_cast<DWORD>(paper));
    Set(kFields, 0);
    DmValidatePublic(context_);
    EXPECT_EQ(Public(kPaperSize), kept) << paper;
    EXPECT_TRUE(Fields() & DM_PAPERSIZE) << paper;
  }
  for (const auto& [source, kept] : {std::pair{1, 1}, {15, 15}, {16, 7}, {255, 7}, {256, 256}, {0, 7}}) {
    Set(kSource, static_cast<DWORD>(source));
    DmValidatePublic(context_);
    EXPECT_EQ(Public(kSource), kept) << source;
  }
}

TEST_F(PublicValidationTest, AFieldDescribedAsAnotherKindFallsBack) {
  // Paper as a plain list, not a paper list: even A3 is replaced, by the default paper.
  UseDescription("*OpenUI *ZMD_dmPaperSize: PickOne\n*ZMD_dmPaperSize DMPAPERSIZE_A3: \"A3\"\n"
                 "*DefaultZMD_dmPaperSize: DMPAPERSIZE_A3\n*CloseUI\n");
  Set(kPaperSize, 8);
  DmValidatePublic(context_);
  EXPECT_EQ(Public(kPaperSize), 9);
}

TEST_F(PublicValidationTest, ACustomSizeKeepsItsBitsOnlyInPairs) {
  UseDescription(kFieldsRecord + Numeric("dmPaperLength", 2970, 1270, 4572) +
                 Numeric("dmPaperWidth", 2100, 900, 3048));
  Set(kFields, kFreshFields | DM_PAPERLENGTH);
  Set(kPaperLength, 0);  // left as it is, its bit untouched
  Set(kPaperWidth, 2100);
  DmValidatePublic(context_);
  EXPECT_EQ(Public(kPaperLength), 0);
  EXPECT_TRUE(Fields() & DM_PAPERLENGTH);
  EXPECT_FALSE(Fields() & DM_PAPERWIDTH);  // its partner is 0

  Set(kPaperLength, 2970);
  DmValidatePublic(context_);
  EXPECT_EQ(Fields() & (DM_PAPERLENGTH | DM_PAPERWIDTH), DM_PAPERLENGTH | DM_PAPERWIDTH);

  Set(kPaperWidth, static_cast<DWORD>(-5));  // negative: the default (0), bit cleared
  DmValidatePublic(context_);
  EXPECT_EQ(Public(kPaperWidth), 0);
  EXPECT_FALSE(Fields() & DM_PAPERWIDTH);
}

TEST_F(PublicValidationTest, RangesAndListsJudgeScaleCopiesAndQuality) {
  UseDescription(Numeric("dmScale", 100, 1, 1000) + Numeric("dmCopies", 1, 1, 999) + kQualityList);
  for (const auto& [scale, kept] : {std::pair{1, 1}, {1000, 1000}, {0, 100}, {1001, 100}}) {
    Set(kScale, static_cast<DWORD>(scale));
    DmValidatePublic(context_);
    EXPECT_EQ(Public(kScale), kept) << scale;
  }
  for (const auto& [copies, kept] : {std::pair{1, 1}, {999, 999}, {0, 1}, {1000, 1}}) {
    Set(kCopies, static_cast<DWORD>(copies));
    DmValidatePublic(context_);
    EXPECT_EQ(Public(kCopies), kept) << copies;
  }
  // A list accepts any positive quality and the draft levels -4..-1.
  for (const auto& [quality, kept] : {std::pair{1200, 1200}, {-3, -3}, {-4, -4}, {-5, 600}, {0, 600}}) {
    Set(kPrintQuality, static_cast<DWORD>(quality));
    DmValidatePublic(context_);
    EXPECT_EQ(Public(kPrintQuality), kept) << quality;
  }
}

TEST_F(PublicValidationTest, CollateFollowsWhetherCollationIsOffered) {
  UseDescription(kFieldsRecord);
  Collation(false);
  Set(kFields, kFreshFields | DM_COLLATE);
  Set(kCollate, 1);
  DmValidatePublic(context_);
  EXPECT_EQ(Public(kCollate), 0);
  EXPECT_FALSE(Fields() & DM_COLLATE);

  Collation(true);
  Set(kSortOn, 1);
  DmValidatePublic(context_);  // bit clear: from the sort item, then marked
  EXPECT_EQ(Public(kCollate), 1);
  EXPECT_TRUE(Fields() & DM_COLLATE);
  Set(kSortOn, 0);
  DmValidatePublic(context_);  // bit set: the field stands
  EXPECT_EQ(Public(kCollate), 1);
}

TEST_F(PublicValidationTest, AFormNameStandsOnlyWhenDescribedAndNotEmpty) {
  ASSERT_TRUE(OptSetString(context_, Row(kFormName), u"Letter"));
  DmValidatePublic(context_);
  EXPECT_EQ(FormName(), u"A4");
  EXPECT_FALSE(Fields() & DM_FORMNAME);
  UseDescription("*OpenUI *ZMD_dmFormName: String\n*StringValue: 31 MultiByte\n*CloseUI\n");
  ASSERT_TRUE(OptSetString(context_, Row(kFormName), u"Letter"));
  DmValidatePublic(context_);
  EXPECT_EQ(FormName(), u"Letter");
  EXPECT_TRUE(Fields() & DM_FORMNAME);
}

// ---- Merge ----------------------------------------------------------------------------------------

class PublicMergeTest : public PublicFieldTest {
 protected:
  void SetUp() override {
    PublicFieldTest::SetUp();
    DmSetPublicDefaults(context_);
    Collation(false);
    context_->work->mergeFlags = 0x10000000;  // the resolution fit check only where a test asks
  }
  DEVMODEW In(DWORD fields) {
    DEVMODEW devmode{};
    devmode.dmSize = sizeof(DEVMODEW);
    devmode.dmFields = fields;
    return devmode;
  }
  void Merge(const DEVMODEW& devmode) {
    const PrivateDevmode incoming = velm::test::AsRecord(devmode);
    DmMergePublicFields(context_, &incoming);
  }
  std::vector<BYTE> PublicPart() const { return At(0, 220); }
};

TEST_F(PublicMergeTest, AnOrientationAloneChangesNothingElse) {
  const std::vector<BYTE> before = PublicPart();
  DEVMODEW in = In(DM_ORIENTATION);
  in.dmOrientation = 1;
  in.dmPaperSize = 8;
  in.dmCopies = 5;
  Merge(in);
  EXPECT_EQ(PublicPart(), before);
  in.dmOrientation = 2;
  Merge(in);
  EXPECT_EQ(Public(kOrientation), 2);
  EXPECT_EQ(Public(kPaperSize), 9);
  EXPECT_EQ(Public(kCopies), 1);
  in.dmOrientation = 5;  // refused: the model default
  Merge(in);
  EXPECT_EQ(Public(kOrientation), 1);
}

TEST_F(PublicMergeTest, ACustomSizeWithoutThePaperBitIsTaken) {
  DEVMODEW in = In(DM_PAPERLENGTH | DM_PAPERWIDTH);
  in.dmPaperSize = 256;
  in.dmPaperLength = 2970;
  in.dmPaperWidth = 2100;
  Merge(in);
  EXPECT_EQ(Public(kPaperSize), 256);
  EXPECT_EQ(Public(kPaperLength), 2970);
  EXPECT_EQ(Public(kPaperWidth), 2100);
  EXPECT_EQ(Fields() & 0xE, DM_PAPERLENGTH | DM_PAPERWIDTH);

  // Paper 256 alone counts as carrying the size; a zero dimension is no custom size.
  DEVMODEW zero = In(0);
  zero.dmPaperSize = 256;
  zero.dmPaperLength = 0;
  zero.dmPaperWidth = 2100;
  Merge(zero);
  EXPECT_EQ(Public(kPaperLength), 2970);
}

TEST_F(PublicMergeTest, AFreeSizeTakesItsSlotsSizeInTenthsOfAMillimetre) {
  UseDescription(kTwoPapers);
  // Slot 2 (paper 386) at the custom limits: 4250 x 21590 dots at 1200 dpi.
  CtxRaiseChangeMask(context_, kChangeMaskFreeSizesLoaded);
  BYTE* slot = context_->work->freeSizeSlots[2];
  DmStoreU32(slot, 192, 4250);
  DmStoreU32(slot, 196, 21590);
  DEVMODEW in = In(DM_PAPERSIZE);
  in.dmPaperSize = 386;
  Merge(in);
  EXPECT_EQ(Public(kPaperSize), 386);
  EXPECT_EQ(Public(kPaperWidth), 900);    // 89.96 mm rounded up
  EXPECT_EQ(Public(kPaperLength), 4570);  // 457.0 mm
  EXPECT_EQ(Fields() & 0xE, 0xEu);

  // A standard paper clears the custom-size bits, and an unknown one takes the default.
  in.dmPaperSize = 8;
  Merge(in);
  EXPECT_EQ(Public(kPaperSize), 8);
  EXPECT_EQ(Fields() & 0xE, DWORD{DM_PAPERSIZE});
  in.dmPaperSize = 200;
  Merge(in);
  EXPECT_EQ(Public(kPaperSize), 9);
}

TEST_F(PublicMergeTest, TheFormNameIsTakenWhenTerminatedInsideTheField) {
  DEVMODEW in = In(DM_FORMNAME);
  std::u16string letter = u"Letter";
  std::copy(letter.begin(), letter.end(), in.dmFormName);
  Merge(in);
  EXPECT_EQ(FormName(), u"Letter");
  EXPECT_TRUE(Fields() & DM_FORMNAME);

  for (WCHAR& unit : in.dmFormName) unit = u'X';  // 32 units, no terminator
  Merge(in);
  EXPECT_EQ(FormName(), u"A4");
  EXPECT_FALSE(Fields() & DM_FORMNAME);

  in.dmFormName[0] = 0;
  Merge(in);
  EXPECT_EQ(FormName(), u"");
}

TEST_F(PublicMergeTest, ScaleAndCopiesOutsideTheirRangesTakeTheDefaults) {
  DEVMODEW in = In(DM_SCALE | DM_COPIES);
  for (const auto& [scale, copies, keptScale, keptCopies] :
       {std::tuple{1, 1, 1, 1}, {1000, 999, 1000, 999}, {0, 0, 100, 1}, {1001, 1000, 100, 1}, {5000, -1, 100, 1}}) {
    in.dmScale = static_cast<SHORT>(scale);
    in.dmCopies = static_cast<SHORT>(copies);
    Set(kFields, kFreshFields | DM_SCALE);
    Merge(in);
    EXPECT_EQ(Public(kScale), keptScale) << scale;
    EXPECT_EQ(Public(kCopies), keptCopies) << copies;
    EXPECT_FALSE(Fields() & DM_SCALE);
    EXPECT_TRUE(Fields() & DM_COPIES);
  }
  // A range the model gives replaces the model defaults' limits.
  UseDescription(Numeric("dmScale", 100, 25, 400));
  in.dmScale = 401;
  Merge(in);
  EXPECT_EQ(Public(kScale), 100);
  in.dmScale = 25;
  Merge(in);
  EXPECT_EQ(Public(kScale), 25);
}

TEST_F(PublicMergeTest, ADraftQualityTakesTheModelDefaultAndTheYResolutionFollows) {
  Set(kFields, 0);
  DEVMODEW in = In(DM_PRINTQUALITY);
  in.dmPrintQuality = -2;
  Merge(in);
  EXPECT_EQ(Public(kPrintQuality), 600);
  EXPECT_EQ(Public(kYResolution), 600);
  EXPECT_EQ(Fields(), DWORD{DM_PRINTQUALITY | DM_YRESOLUTION});
}

TEST_F(PublicMergeTest, ARefusedQualityFollowsTheDestinationResolution) {
  Set(kResolutionW, 1200);
  DEVMODEW in = In(DM_PRINTQUALITY);
  in.dmPrintQuality = 500;
  Merge(in);
  EXPECT_EQ(Public(kPrintQuality), 1200);
  // With a quality set in use the resolution of item 248 (id 1: 300 dpi) leads ...
  Set(kQualityListUse, 1);
  Set(kQualityListNo, 33);
  Set(kResolutionBoth, 1);
  Merge(in);
  EXPECT_EQ(Public(kPrintQuality), 300);
  // ... unless the property sheet's prompting merge reloads the set: then item 42.
  context_->work->mergeFlags |= 0x2000000 | 0x4;
  Merge(in);
  EXPECT_EQ(Public(kPrintQuality), 1200);
  EXPECT_EQ(Public(kYResolution), 1200);
}

TEST_F(PublicMergeTest, APageTooLargeForTheResolutionFallsBackTo600UnlessKept) {
  DEVMODEW in = In(DM_PRINTQUALITY);
  in.dmPrintQuality = 1200;
  Set(kDstWidthDots, 31000);  // no model to re-derive it: the output page stays too wide
  context_->work->mergeFlags = 0;
  Merge(in);
  EXPECT_EQ(Public(kPrintQuality), 600);
  EXPECT_EQ(Public(kYResolution), 600);
  context_->work->mergeFlags = 0x10000000;
  Merge(in);
  EXPECT_EQ(Public(kPrintQuality), 1200);
  EXPECT_EQ(Public(kYResolution), 1200);
}

TEST_F(PublicMergeTest, CollateIsJudgedEvenWhenTheCallerDidNotMarkIt) {
  DEVMODEW in = In(DM_COLLATE);
  in.dmCollate = 1;
  Merge(in);  // not offered
  EXPECT_EQ(Public(kCollate), 0);
  EXPECT_FALSE(Fields() & DM_COLLATE);
  Collation(true);
  Merge(in);
  EXPECT_EQ(Public(kCollate), 1);
  EXPECT_TRUE(Fields() & DM_COLLATE);
  Set(kSortOn, 0);
  Merge(In(0));  // unmarked: the sort item decides
  EXPECT_EQ(Public(kCollate), 0);
  EXPECT_TRUE(Fields() & DM_COLLATE);
}

TEST_F(PublicMergeTest, ValidatedFieldsSetTheirBitsAsTheyAreTakenOrReplaced) {
  Set(kFields, 0);
  DEVMODEW in = In(DM_DEFAULTSOURCE | DM_DUPLEX | DM_TTOPTION | DM_DITHERTYPE | DM_MEDIATYPE);
  in.dmDefaultSource = 16;  // refused: default, bit still set
  in.dmDuplex = 4;          // refused: default, bit still set
  in.dmTTOption = 5;        // refused: default, no bit
  in.dmDitherType = 5;      // refused: default, no bit
  in.dmMediaType = 517;     // refused: default, no bit
  Merge(in);
  EXPECT_EQ(Public(kSource), 7);
  EXPECT_EQ(Public(kDuplex), 1);
  EXPECT_EQ(Public(kTTOption), 3);
  EXPECT_EQ(Public(kDitherType), 1);
  EXPECT_EQ(Public(kMediaType), 1);
  EXPECT_EQ(Fields(), DWORD{DM_DEFAULTSOURCE | DM_DUPLEX});

  in.dmDefaultSource = 281;
  in.dmTTOption = 4;
  in.dmDitherType = 10;
  in.dmMediaType = 516;
  Merge(in);
  EXPECT_EQ(Public(kSource), 281);
  EXPECT_EQ(Public(kTTOption), 4);
  EXPECT_EQ(Public(kDitherType), 10);
  EXPECT_EQ(Public(kMediaType), 516);
  EXPECT_EQ(Fields(), DWORD{DM_DEFAULTSOURCE | DM_DUPLEX | DM_TTOPTION | DM_DITHERTYPE | DM_MEDIATYPE});
}

TEST_F(PublicMergeTest, ARefusedValueTakesTheModelsDefaultWhenTheModelDescribesTheField) {
  // The model's defaults (tray 1, Letter) differ from the model defaults record's (7, 9).
  UseDescription(
      "*OpenUI *ZMD_dmDefaultSource: PickSlot\n*ZMD_dmDefaultSource DMDEFAULTSOURCE_AUTO: \"AUTO\"\n"
      "*ZMD_dmDefaultSource DMDEFAULTSOURCE_TRAY1: \"TRAY1\"\n*DefaultZMD_dmDefaultSource: DMDEFAULTSOURCE_TRAY1\n"
      "*CloseUI\n*OpenUI *ZMD_dmPaperSize: PickPage\n*ZMD_dmPaperSize DMPAPERSIZE_A4: \"A4\"\n"
      "*ZMD_dmPaperSize DMPAPERSIZE_LETTER: \"LETTER\"\n*DefaultZMD_dmPaperSize: DMPAPERSIZE_LETTER\n*CloseUI\n");
  DEVMODEW in = In(DM_DEFAULTSOURCE | DM_PAPERSIZE);
  in.dmDefaultSource = 2;  // tray 3: not in the model's list
  in.dmPaperSize = 8;
  Merge(in);
  EXPECT_EQ(Public(kSource), 1);
  EXPECT_EQ(Public(kPaperSize), 1);
  in.dmDefaultSource = 7;
  in.dmPaperSize = 9;
  Merge(in);
  EXPECT_EQ(Public(kSource), 7);
  EXPECT_EQ(Public(kPaperSize), 9);
}

// ---- The shipped model --------------------------------------------------------------------------

class ShippedModelPublicTest : public velm::test::DerivedItemsTest {};

TEST_F(ShippedModelPublicTest, DefaultsPassValidationAndGainTheBitsOfTheDescribedFields) {
  Set(kCardMemory, 1);
  Set(kHardDisk, 0);  // no collation: dmCollate stays 0 and unmarked
  DmSetPublicDefaults(context_);
  std::vector<BYTE> before = Record();
  before.resize(220);
  DmValidatePublic(context_);
  std::vector<BYTE> after = Record();
  after.resize(220);
  // The model describes the form name and the colour-management fields, so validation marks them;
  // nothing else moves.
  EXPECT_EQ(DmLoadU32(after.data(), 72), kFreshFields | DM_FORMNAME | DM_ICMMETHOD | DM_ICMINTENT | DM_DITHERTYPE);
  DmStoreU32(after.data(), 72, kFreshFields);
  EXPECT_EQ(after, before);
}

}  // namespace
