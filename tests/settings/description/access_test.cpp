// Queries on a context's description: what they return for items of the shipped description
// (checked against its text), defaults and counts of every kind, the value checks with their
// side effects, paper areas and sizes, fonts, and the disabled program of a conditions block.
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "settings/description/image_fixture.h"
#include "settings/description/access.h"
#include "settings/items/store.h"
#include "settings/context/memory.h"

namespace {

using velm::test::CompileText;
using velm::test::Image;

// What the test says is disabled or hidden, and the programs the checks asked to run.
struct TestConditions {
  std::set<std::pair<WORD, DWORD>> disabled;  // {item, model value}; value 0: the item itself
  std::set<std::pair<WORD, DWORD>> hidden;
  LONG result = 0;
  std::vector<const DescProgram*> evaluated;
};
TestConditions g_conditions;

const DescConditionHooks kTestHooks = {
    [](const DescNode* node, DWORD value, DriverContext*) -> BOOL {
      return g_conditions.disabled.count({DescNodeItemId(node), value}) != 0;
    },
    [](const DescNode* node, DWORD value, DriverContext*) -> BOOL {
      return g_conditions.hidden.count({DescNodeItemId(node), value}) != 0;
    },
    [](DriverContext*, const DescProgram* program) -> LONG {
      g_conditions.evaluated.push_back(program);
      return g_conditions.result;
    },
};

constexpr WORD kOrientation = 7, kPaperSize = 8, kCopies = 12, kSource = 13, kDuplex = 16, kCollate = 19,
               kMediaType = 29, kResolution = 42, kNupOn = 59, kDuplexOn = 61, kPunchOn = 65, kNupKind = 94,
               kNupType = 95, kPunchType = 134, kExtPrintArea = 182, kUserId = 215, kDriverMedia = 378,
               kFontSelect = 394;

class DescriptionAccessTest : public velm::test::DescriptionMachineTest {
 protected:
  void SetUp() override {
    DescriptionMachineTest::SetUp();
    context_ = CtxCreate(Open(), 0, 0);
    ASSERT_NE(context_, nullptr);
    shipped_ = context_->description;
    g_conditions = TestConditions{};
    DescSetConditionHooks(&kTestHooks);
  }
  void TearDown() override {
    DescSetConditionHooks(nullptr);
    context_->description = shipped_;
    CtxDestroyEx(context_, kReleaseDestroy);
    DescriptionMachineTest::TearDown();
  }

  const ModelDescription* D() const { return context_->description; }
  const DescNode* Node(WORD id) { return DescLookupNode(id, context_); }
  const ItemTableRow* Row(WORD id) { return OptFindItem(context_->itemTable, id); }
  int Check(WORD id, DWORD stored) { return CondCheckValue(Row(id), id, stored, context_); }
  int Allowed(WORD id, DWORD stored) { return CondIsValueAllowed(Row(id), id, stored, context_); }
  void Set(WORD id, DWORD stored) { ASSERT_TRUE(OptSetValue(context_, id, stored)) << id; }
  DWORD Get(WORD id) { return OptGetValue(context_, id); }

  std::vector<std::pair<WORD, std::string>> Values(WORD id) {
    std::vector<std::pair<WORD, std::string>> values;
    for (const DescValue* v = DescGetValueList(id, context_, nullptr); v; v = DescNextValue(D(), v)) {
      const char* text = DescValueText(D(), v);
      values.push_back({DescValueValue(v), text ? text : "<none>"});
    }
    return values;
  }

  DriverContext* context_ = nullptr;
  ModelDescription* shipped_ = nullptr;
};

TEST_F(DescriptionAccessTest, ListsOfTheShippedDescriptionAreTheFilesText) {
  // *OpenUI *ZMD_dmOrientation: PickOne, two values, default PORTRAIT, its OptionCommand.
  const DescNode* orientation = nullptr;
  EXPECT_EQ(DescGetNodeKind(kOrientation, context_, &orientation), kUiPickOne);
  EXPECT_EQ(orientation, DescGetNode(kOrientation, context_));
  EXPECT_EQ(orientation, DescGetRowNode(context_, Row(kOrientation)));
  EXPECT_EQ(orientation, DescFindNodeByKey(7, context_));
  EXPECT_EQ(orientation, DescFindExtraNode(7, context_));
  EXPECT_EQ(Values(kOrientation),
            (std::vector<std::pair<WORD, std::string>>{{2026, "PORTRAIT"}, {2027, "LANDSCAPE"}}));
  EXPECT_EQ(DescGetValueCount(kOrientation, context_), 2);
  EXPECT_EQ(DescGetDefaultValue(kOrientation, context_), 2026);
  const char* prefix = nullptr;
  const char* suffix = nullptr;
  ASSERT_TRUE(DescNodeCommand(D(), orientation, &prefix, &suffix));
  EXPECT_STREQ(prefix, "@PJL SET ORIENTATION = ");
  EXPECT_STREQ(suffix, " \r\n");
  // Its record 1 follows in the list, with a list and a command of its own.
  const DescNode* record1 = DescNextNode(D(), orientation);
  EXPECT_EQ(DescNodeItemId(record1), kOrientation);
  EXPECT_EQ(DescNodeNumber(record1), 1);
  ASSERT_TRUE(DescNodeCommand(D(), record1, &prefix, &suffix));
  EXPECT_STREQ(prefix, "@PJL SET PAGEORIENTATION = ");

  // PickPage with 28 sizes, A4 the default: "2100 2970" and four records of Letter.
  WORD defaultIndex = 99;
  const DescValue* paper = DescGetValueList(kPaperSize, context_, &defaultIndex);
  EXPECT_EQ(DescGetNodeType(kPaperSize, context_), kUiPickPage);
  EXPECT_EQ(DescGetValueCount(kPaperSize, context_), 28);
  EXPECT_EQ(defaultIndex, 6);
  EXPECT_EQ(DescGetDefaultValue(kPaperSize, context_), 3009);
  EXPECT_EQ(DescValueValue(paper), 3001);  // Letter
  int letterRecords = 0;
  for (const DescPaper* p = DescValueFirstPaper(D(), paper); p; p = DescNextPaper(D(), p)) ++letterRecords;
  EXPECT_EQ(letterRecords, 4);
  for (int i = 0; i < 6; ++i) paper = DescNextValue(D(), paper);
  EXPECT_STREQ(DescValueText(D(), paper), "A4");
  LONG width = 0, length = 0;
  EXPECT_TRUE(DescValueMetric(paper, &width, &length));
  EXPECT_EQ(width, 2100);
  EXPECT_EQ(length, 2970);

  // The LCT takes Letter and A4 only.
  const DescValue* tray = DescGetValueList(kSource, context_, &defaultIndex);
  while (tray && DescValueValue(tray) != 2204) tray = DescNextValue(D(), tray);
  ASSERT_NE(tray, nullptr);
  EXPECT_STREQ(DescValueText(D(), tray), "LCT");
  ASSERT_EQ(DescValueTrayCount(tray), 2u);
  EXPECT_EQ(DescValueTrayPaper(D(), tray, 0), 3001);
  EXPECT_EQ(DescValueTrayPaper(D(), tray, 1), 3009);
  EXPECT_EQ(DescValueTrayPaper(D(), tray, 2), 0);
  EXPECT_EQ(DescGetDefaultValue(kSource, context_), 2206);  // AUTO

  // The driver's media item is an Identity of dmMediaType: the same list.
  EXPECT_EQ(DescGetValueList(kDriverMedia, context_, nullptr), DescGetValueList(kMediaType, context_, nullptr));
  EXPECT_EQ(DescGetValueCount(kDriverMedia, context_), 9);
  EXPECT_EQ(DescGetDefaultValue(kDriverMedia, context_), 4601);  // DMMEDIATYPE_PLAIN
  EXPECT_EQ(DescGetNodeKind(kDriverMedia, context_), kUiPickOne);
  EXPECT_EQ(DescGetNodeType(kDriverMedia, context_), kUiIdentity | kUiPickOne);
  EXPECT_EQ(std::u16string(DescGetLangFileBase(context_)), u"qnresus.dll");
}

TEST_F(DescriptionAccessTest, BlocksOfTheShippedDescriptionAreTheFilesText) {
  // *NumericValue: 1 "1 1 1 999"
  DescRange range{};
  EXPECT_EQ(DescGetNodeKind(kCopies, context_), kUiNumeric);
  ASSERT_TRUE(DescNodeRange(D(), Node(kCopies), &range));
  EXPECT_EQ(std::vector<LONG>({range.n0, range.n1, range.defaultValue, range.minimum, range.maximum}),
            std::vector<LONG>({1, 1, 1, 1, 999}));
  EXPECT_EQ(DescGetValueCount(kCopies, context_), 0);
  EXPECT_EQ(DescGetDefaultValue(kCopies, context_), 1);
  EXPECT_EQ(DescGetValueList(kCopies, context_, nullptr), nullptr);
  // *DefaultZMD_dmCollate: True, "ON" and "OFF".
  DescBooleanView boolean{};
  ASSERT_TRUE(DescNodeBoolean(D(), Node(kCollate), &boolean));
  EXPECT_EQ(boolean.defaultValue, 1);
  EXPECT_STREQ(boolean.trueText, "ON");
  EXPECT_STREQ(boolean.falseText, "OFF");
  EXPECT_EQ(DescGetDefaultValue(kCollate, context_), 1);
  EXPECT_EQ(DescGetValueCount(kCollate, context_), 0);
  // *StringValue: 8 ASCII | ShowCapital
  DescStringBlock string{};
  ASSERT_TRUE(DescNodeString(D(), Node(kUserId), &string));
  EXPECT_EQ(string.length, 8);
  EXPECT_EQ(string.stringClass, 0x2);
  EXPECT_EQ(string.showFlags, 0x200);
  EXPECT_EQ(DescGetDefaultValue(kUserId, context_), 0);
  EXPECT_EQ(DescGetValueCount(kUserId, context_), 0);
  EXPECT_FALSE(DescNodeRange(D(), Node(kUserId), &range));  // a block is read only as its kind
  // No record: -1 and 0.
  EXPECT_EQ(DescLookupNode(2, context_), nullptr);
  EXPECT_EQ(DescGetValueCount(2, context_), -1);
  EXPECT_EQ(DescGetDefaultValue(2, context_), 0);
  EXPECT_EQ(DescGetNodeKind(2, context_), 0);
  EXPECT_EQ(DescLookupNode(0, context_), nullptr);
  EXPECT_EQ(DescLookupNode(5000, context_), nullptr);
}

TEST_F(DescriptionAccessTest, FontListsAndSubstitutesAreTheFilesText) {
  DWORD count = 0;
  DescFontRow* fonts = DescGetDeviceFonts(context_, &count);
  ASSERT_EQ(count, 6u);
  EXPECT_EQ(fonts[0].number, 1u);
  EXPECT_EQ(std::u16string(fonts[0].name), u"Courier");
  EXPECT_EQ(fonts[5].number, 6u);
  EXPECT_EQ(std::u16string(fonts[5].name), u"Dingbats");
  SysFree(fonts);
  DescFontRow* cartridges = DescGetFontCartridges(context_, &count);
  ASSERT_EQ(count, 3u);  // the cartridges' own count
  EXPECT_EQ(cartridges[2].number, 103u);
  EXPECT_EQ(std::u16string(cartridges[2].name), u"Barcode 3of9");
  SysFree(cartridges);
  DescFontSubstitute* pairs = DescGetFontSubstitutes(context_, &count);
  ASSERT_EQ(count, 4u);
  EXPECT_EQ(std::u16string(pairs[1].trueType), u"Times New Roman");
  EXPECT_EQ(std::u16string(pairs[1].device), u"Times");
  SysFree(pairs);
  EXPECT_EQ(DescGetNodeType(kFontSelect, context_), kUiFontTbl);
  EXPECT_EQ(DescGetValueCount(kFontSelect, context_), 2);
}

TEST_F(DescriptionAccessTest, FontNamesAreCutToThirtyOneCharactersAndListsMayBeMissing) {
  const std::string longName(40, 'N');
  const Image image = CompileText("*DeviceFonts: IDList { {\"" + longName + "\" 7} }\n"
                                  "*OpenUI *ZMD_vdmDeviceFontSelect: FontTbl\n"
                                  "*ZMD_vdmDeviceFontSelect VDMDEVICEFONTSELECT_OFF: \"OFF\"\n"
                                  "*ZMD_vdmDeviceFontSelect VDMDEVICEFONTSELECT_ON: \"ON\"\n*CloseUI\n"
                                  "*TTFS VDMDEVICEFONTSELECT_ON: IDList { {\"" + longName + "\" \"x\"} }\n");
  ASSERT_TRUE(image);
  context_->description = image.get();
  DWORD count = 0;
  DescFontRow* fonts = DescGetDeviceFonts(context_, &count);
  ASSERT_EQ(count, 1u);
  EXPECT_EQ(std::u16string(fonts[0].name), std::u16string(31, u'N'));
  SysFree(fonts);
  EXPECT_EQ(DescGetFontCartridges(context_, &count), nullptr);
  EXPECT_EQ(count, 0u);
  DescFontSubstitute* pairs = DescGetFontSubstitutes(context_, &count);  // the first value has none
  ASSERT_EQ(count, 1u);
  EXPECT_EQ(std::u16string(pairs[0].trueType), std::u16string(31, u'N'));
  EXPECT_EQ(std::u16string(pairs[0].device), u"x");
  SysFree(pairs);
}

TEST_F(DescriptionAccessTest, CountsAndDefaultsOfEveryKind) {
  const Image image = CompileText(
      "*OpenUI *ZMD_vdmNUPType: PickOne\n*ZMD_vdmNUPType VDMNUPTYPE_2IN1P1: \"A\"\n"
      "*ZMD_vdmNUPType VDMNUPTYPE_4IN1P1: \"B\"\n*DefaultZMD_vdmNUPType: VDMNUPTYPE_4IN1P1\n*CloseUI\n"
      "*OpenUI *ZMD_vdmTonerSave: PickMany\n*ZMD_vdmTonerSave True: \"ON\"\n*CloseUI\n"
      "*OpenUI *ZMD_dmScale: Numeric\n*CloseUI\n"
      "*OpenUI *ZMD_vdmUserID: String\n*StringValue: 8 ASCII\n*DefaultZMD_vdmUserID: DMCOLLATE_ON\n*CloseUI\n"
      "*OpenUI *ZMD_dmCollate: Boolean\n*DefaultZMD_dmCollate: False\n*CloseUI\n"
      "*OpenUI *ZMD_wdmWork948: Boolean\n*DefaultZMD_wdmWork948: True\n*CloseUI\n");
  ASSERT_TRUE(image);
  context_->description = image.get();
  EXPECT_EQ(DescGetDefaultValue(kNupType, context_), 2306);
  EXPECT_EQ(DescGetValueCount(kNupType, context_), 2);
  // PickMany keeps a true/false block, not a list: no entries, no default.
  EXPECT_EQ(DescGetValueCount(176, context_), 0);
  EXPECT_EQ(DescGetDefaultValue(176, context_), 0);
  EXPECT_EQ(DescGetValueList(176, context_, nullptr), nullptr);
  EXPECT_EQ(DescGetDefaultValue(11, context_), 0);  // Numeric without a range
  EXPECT_EQ(DescGetDefaultValue(kUserId, context_), 1);
  EXPECT_EQ(DescGetDefaultValue(kCollate, context_), 0);
  // Item 948 has no header slot: the list finds it.
  EXPECT_EQ(DescSlotNode(D(), 948), nullptr);
  EXPECT_EQ(DescNodeItemId(DescLookupNode(948, context_)), 948);
  EXPECT_EQ(DescGetDefaultValue(948, context_), 1);

  // A default index past the end of the list gives 0.
  auto* node = reinterpret_cast<BYTE*>(const_cast<DescNode*>(DescLookupNode(kNupType, context_)));
  DescStoreU16(node + 12, 2);
  EXPECT_EQ(DescGetDefaultValue(kNupType, context_), 0);
}

TEST_F(DescriptionAccessTest, ValueChecksAnswerAllowedDisabledHiddenOrNot) {
  g_conditions.disabled = {{kDuplex, 2}};
  g_conditions.hidden = {{kDuplex, 3}};
  EXPECT_EQ(Check(kDuplex, 1), kValueAllowed);
  EXPECT_EQ(Check(kDuplex, 2), kValueDisabled);
  EXPECT_EQ(Check(kDuplex, 3), kValueHidden);
  EXPECT_EQ(Check(kDuplex, 4), kValueNotAllowed);  // not in the list
  EXPECT_EQ(Allowed(kDuplex, 1), 1);
  EXPECT_EQ(Allowed(kDuplex, 2), 0);
  EXPECT_EQ(Allowed(kDuplex, 3), 1);  // hidden is not disabled
  EXPECT_EQ(Allowed(kDuplex, 4), 0);

  // A mapped item: its stored values are looked for as model values; one its map lacks is not allowed.
  EXPECT_EQ(Check(kOrientation, 2), kValueAllowed);
  EXPECT_EQ(Check(kOrientation, 3), kValueNotAllowed);
  EXPECT_EQ(Check(kOrientation, 2027), kValueNotAllowed);
  EXPECT_EQ(Allowed(kOrientation, 3), 0);
  g_conditions.disabled.insert({kOrientation, 2027});
  EXPECT_EQ(Check(kOrientation, 2), kValueDisabled);

  EXPECT_EQ(Check(kCollate, 0), kValueAllowed);  // Boolean: 0 and 1
  EXPECT_EQ(Check(kCollate, 1), kValueAllowed);
  EXPECT_EQ(Check(kCollate, 2), kValueNotAllowed);
  EXPECT_EQ(Check(kCopies, 1), kValueAllowed);  // Numeric: the range, both ends in
  EXPECT_EQ(Check(kCopies, 999), kValueAllowed);
  EXPECT_EQ(Check(kCopies, 0), kValueNotAllowed);
  EXPECT_EQ(Check(kCopies, 1000), kValueNotAllowed);
  EXPECT_EQ(Allowed(kCopies, 1000), 0);
  EXPECT_EQ(Check(kFontSelect, 12345), kValueAllowed);  // a font table takes any value
  EXPECT_EQ(Check(kUserId, 77), kValueAllowed);
  // Without a record: any non-zero value.
  EXPECT_EQ(Check(2, 5), kValueAllowed);
  EXPECT_EQ(Check(2, 0), kValueNotAllowed);
  EXPECT_TRUE(CondIsBool(1));
  EXPECT_FALSE(CondIsBool(2));
  EXPECT_TRUE(CondValueInList(Node(kDuplex), 3, context_));
  EXPECT_FALSE(CondValueInList(Node(kDuplex), 4, context_));
  EXPECT_TRUE(CondValueInRange(Node(kCopies), 999, context_));
  EXPECT_FALSE(CondValueInRange(Node(kDuplex), 1, context_));
}

TEST_F(DescriptionAccessTest, PickManyIsCheckedLikeABoolean) {
  const Image image = CompileText("*OpenUI *ZMD_vdmTonerSave: PickMany\n*ZMD_vdmTonerSave True: \"ON\"\n*CloseUI\n");
  ASSERT_TRUE(image);
  context_->description = image.get();
  EXPECT_EQ(Check(176, 1), kValueAllowed);
  EXPECT_EQ(Check(176, 2), kValueNotAllowed);
}

TEST_F(DescriptionAccessTest, AnNupLayoutSetsTheNupKindAndItsOrientationsTwoUpLayout) {
  Set(kNupOn, 1);
  Set(kOrientation, 1);
  Set(kNupKind, 0);
  Set(kNupType, 33);
  const std::vector<BYTE> before(context_->settings->devmode.bytes, context_->settings->devmode.bytes + 1260);
  EXPECT_EQ(Allowed(kNupType, 2), 1);  // no side effects
  EXPECT_EQ(std::memcmp(before.data(), context_->settings->devmode.bytes, 1260), 0);

  EXPECT_EQ(Check(kNupType, 33), kValueAllowed);  // 4 up: kind 2
  EXPECT_EQ(Get(kNupKind), 2u);
  EXPECT_EQ(Get(kNupType), 33u);
  EXPECT_EQ(Check(kNupType, 2), kValueAllowed);  // a 2-up layout: kind 1, portrait's layout 1
  EXPECT_EQ(Get(kNupKind), 1u);
  EXPECT_EQ(Get(kNupType), 1u);
  Set(kOrientation, 2);
  Set(kNupKind, 2);
  EXPECT_EQ(Check(kNupType, 2), kValueAllowed);  // in landscape, layout 3
  EXPECT_EQ(Get(kNupKind), 1u);
  EXPECT_EQ(Get(kNupType), 3u);
  // No change of kind, but the 2-up value is disabled: the layout is set all the same.
  Set(kNupType, 33);
  g_conditions.disabled = {{kNupType, 2352}};
  EXPECT_EQ(Check(kNupType, 2), kValueAllowed);
  EXPECT_EQ(Get(kNupType), 3u);
  // N-up off, or its record disabled: nothing changes.
  for (const bool off : {true, false}) {
    Set(kNupOn, off ? 0 : 1);
    g_conditions.disabled = {{kNupOn, 0}};
    Set(kNupKind, 2);
    EXPECT_EQ(Check(kNupType, 2), kValueAllowed);
    EXPECT_EQ(Get(kNupKind), 2u);
  }
  EXPECT_EQ(Check(kNupType, 200), kValueNotAllowed);  // unmapped: before any side effect
}

TEST_F(DescriptionAccessTest, FinishingValuesAreDisabledOnlyWhileTheirSwitchIsUsableAndOn) {
  g_conditions.disabled = {{kPunchType, 2600}};
  g_conditions.hidden = {{kPunchType, 2601}};
  Set(kOrientation, 1);  // portrait print paper: punch positions map through their first list
  Set(kPunchOn, 0);
  EXPECT_EQ(Check(kPunchType, 1), kValueAllowed);
  Set(kPunchOn, 1);
  EXPECT_EQ(Check(kPunchType, 1), kValueDisabled);
  EXPECT_EQ(Check(kPunchType, 2), kValueAllowed);  // hidden does not count here
  g_conditions.hidden.insert({kPunchOn, 0});
  EXPECT_EQ(Check(kPunchType, 1), kValueAllowed);
  g_conditions.disabled.insert({102, 2502});
  Set(kDuplexOn, 1);
  EXPECT_EQ(Check(102, 3), kValueDisabled);
  Set(kDuplexOn, 0);
  EXPECT_EQ(Check(102, 3), kValueAllowed);
}

TEST_F(DescriptionAccessTest, PaperAreasMatchResolutionOrientationAndCondition) {
  Set(kResolution, 600);
  Set(kOrientation, 1);
  Set(kExtPrintArea, 0);
  RECT area{};
  LONG extra[2] = {};
  // "99 99 4763 6818 7016 4961"
  ASSERT_TRUE(DescFindPaperArea(context_, 3009, &area, extra));
  EXPECT_EQ(std::vector<LONG>({area.left, area.top, area.right, area.bottom, extra[0], extra[1]}),
            std::vector<LONG>({99, 99, 4862, 6917, 7016, 4961}));
  // The extended area holds: "47 47 4867 6922 7016 4961".
  Set(kExtPrintArea, 1);
  ASSERT_TRUE(DescFindPaperArea(context_, 3009, &area, extra));
  EXPECT_EQ(std::vector<LONG>({area.left, area.top, area.right, area.bottom, extra[0], extra[1]}),
            std::vector<LONG>({47, 47, 4914, 6969, 7016, 4961}));
  // Landscape has no record of its own: the portrait one turned, the pair swapped.
  Set(kExtPrintArea, 0);
  Set(kOrientation, 2);
  ASSERT_TRUE(DescFindPaperArea(context_, 3009, &area, extra));
  EXPECT_EQ(std::vector<LONG>({area.left, area.top, area.right, area.bottom, extra[0], extra[1]}),
            std::vector<LONG>({99, 99, 6917, 4862, 4961, 7016}));
  Set(kResolution, 1200);
  ASSERT_TRUE(DescFindPaperArea(context_, 3009, &area, extra));
  EXPECT_EQ(area.right, 198 + 13635);
  Set(kResolution, 400);
  EXPECT_FALSE(DescFindPaperArea(context_, 3009, &area, extra));
  Set(kResolution, 600);
  EXPECT_FALSE(DescFindPaperArea(context_, 3002, &area, extra));  // a paper the list lacks
}

TEST_F(DescriptionAccessTest, ThePaperSizeTurnsWithTheOrientation) {
  Set(kPaperSize, 9);  // A4
  Set(kOrientation, 1);
  LONG width = 0, length = 0;
  ASSERT_TRUE(DescGetPaperSize(context_, &width, &length));
  EXPECT_EQ(std::make_pair(width, length), std::make_pair(LONG(2100), LONG(2970)));
  Set(kOrientation, 2);
  ASSERT_TRUE(DescGetPaperSize(context_, &width, &length));
  EXPECT_EQ(std::make_pair(width, length), std::make_pair(LONG(2970), LONG(2100)));
  Set(kPaperSize, 256);  // a user size: no metric pair
  EXPECT_FALSE(DescGetPaperSize(context_, &width, &length));
  EXPECT_EQ(width, 0);
}

TEST_F(DescriptionAccessTest, AnEntrysDisabledProgramRunsForItsKeyAndValue) {
  g_conditions.result = 7;
  DescConditionsView duplex{};
  DescReadConditions(D(), DescNodeConditions(D(), Node(kDuplex)), &duplex);
  ASSERT_NE(duplex.disabled, nullptr);
  EXPECT_EQ(CondEvalEntry(16, 0, context_), 7);  // the item's own program
  EXPECT_EQ(g_conditions.evaluated, (std::vector<const DescProgram*>{duplex.disabled}));
  DescConditionsView source{};
  DescReadConditions(D(), DescNodeConditions(D(), Node(kSource)), &source);
  DescItemValueView automatic{};
  DescReadItemValue(D(), source.values, &automatic);
  EXPECT_EQ(automatic.value, 2206);
  EXPECT_EQ(CondEvalEntry(13, 2206, context_), 7);  // a value's program
  EXPECT_EQ(g_conditions.evaluated.back(), automatic.disabled);
  EXPECT_EQ(CondEvalEntry(13, 2205, context_), 0);  // a value without an entry (the bypass)
  EXPECT_EQ(CondEvalEntry(13, 0, context_), 0);     // a block without a program of its own
  EXPECT_EQ(CondEvalEntry(7, 0, context_), -1);     // no block for the key
  EXPECT_EQ(g_conditions.evaluated.size(), 2u);

  const Image bare = CompileText("*OpenUI *ZMD_dmDuplex: PickOne\n*CloseUI\n");
  context_->description = bare.get();
  EXPECT_EQ(CondEvalEntry(16, 0, context_), -1);  // no conditions blocks at all
}

}  // namespace
