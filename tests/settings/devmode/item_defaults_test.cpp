// The item default table: its shape against the rows the driver is known to have, the handler
// contract (test mode writes nothing for a passing value, generic rows are always rewritten),
// the defaults that come from elsewhere, and the walk that hands only unjudgeable items to it.
#include "settings/devmode/item_defaults.h"

#include <map>

#include "settings/devmode/item_checks_fixture.h"
#include "settings/devmode/item_checks.h"

namespace {

class ItemDefaultsTest : public ItemCheckTest {
 protected:
  // Runs item `id`'s handler on `value`; the handler's answer.
  int Run(WORD id, DWORD value, int mode) {
    const DmDefaultRow* row = DmFindDefaultRow(id);
    EXPECT_NE(row, nullptr) << id;
    const DmDefaultHandler handler = DmGetDefaultHandler(row);
    EXPECT_NE(handler, nullptr) << id;
    return row && handler ? handler(value, row, row->argument, mode, context_) : -1;
  }
  // Whether running the handler left the record exactly as it was.
  bool Untouched(WORD id, DWORD value, int mode, int* answer = nullptr) {
    const std::vector<BYTE> before = WholeRecord();
    const int a = Run(id, value, mode);
    if (answer) *answer = a;
    return WholeRecord() == before;
  }
};

TEST_F(ItemDefaultsTest, TheTableHasARowForEachPrivateItemAnd185Handlers) {
  int count = 0;
  const DmDefaultRow* rows = DmGetDefaultTable(&count);
  ASSERT_EQ(count, 672);
  std::map<WORD, int> kinds;
  for (int i = 0; i < count; ++i) {
    const DmDefaultRow& row = rows[i];
    ASSERT_EQ(row.item, DWORD(35 + i));
    ++kinds[row.kind];
    const bool testsASet =
        row.kind == kDefaultInSet || row.kind == kDefaultInSetModel || row.kind == kDefaultResolution;
    EXPECT_EQ(row.accepted.count != 0, testsASet) << "item " << row.item;
    const bool modelDefault = row.kind == kDefaultAlwaysModel || row.kind == kDefaultInSetModel ||
                              row.kind == kDefaultEqualsModel || row.kind == kDefaultResolution ||
                              row.kind == kDefaultLanguage || row.kind == kDefaultHelpLanguage;
    if (modelDefault) {
      EXPECT_TRUE(DmGetItemModelDefault(context_, WORD(row.item), nullptr)) << row.item;
    }
  }
  EXPECT_EQ(count - kinds[kDefaultNone], 185);
  EXPECT_EQ(kinds[kDefaultAlways] + kinds[kDefaultAlwaysModel], 65);
  EXPECT_EQ(DmFindDefaultRow(34), nullptr);
  EXPECT_EQ(DmFindDefaultRow(707), nullptr);
  EXPECT_NE(DmGetDefaultHandler(DmFindDefaultRow(35)), nullptr);
  EXPECT_EQ(DmGetDefaultHandler(DmFindDefaultRow(72)), nullptr);  // a row without a handler
}

TEST_F(ItemDefaultsTest, RowsCarryTheRulesAndArgumentsOfTheirItems) {
  struct Golden {
    WORD item;
    WORD kind;
    DWORD argument;
    LONG in;   // a value the rule accepts
    LONG out;  // one it refuses
  };
  const Golden rows[] = {
      {50, kDefaultInSet, 1024, 1024, 515},  {92, kDefaultInSet, 100, 400, 401},
      {95, kDefaultInSet, 1, 32772, 32773},  {99, kDefaultInSet, 32769, 0, 1},
      {119, kDefaultInSet, 0, 359, 360},     {131, kDefaultInSet, 7, 285, 286},
      {155, kDefaultInSet, 257, 515, 264},   {157, kDefaultInSet, 0, -50, -51},
      {212, kDefaultInSet, 255, 255, 254},   {378, kDefaultInSet, 1, 516, 272},
      {132, kDefaultInSetModel, 0, 392, 393}, {441, kDefaultInSetModel, 0, 999, 1000},
  };
  for (const Golden& g : rows) {
    const DmDefaultRow* row = DmFindDefaultRow(g.item);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->kind, g.kind) << g.item;
    EXPECT_EQ(row->argument, g.argument) << g.item;
    EXPECT_TRUE(DmValueSetHas(row->accepted, g.in)) << g.item << " " << g.in;
    EXPECT_FALSE(DmValueSetHas(row->accepted, g.out)) << g.item << " " << g.out;
  }
  const std::map<WORD, std::pair<WORD, DWORD>> others = {
      {64, {kDefaultAlways, 1}},      {100, {kDefaultGutter, 15}},     {121, {kDefaultUntouched, 0}},
      {167, {kDefaultAlways, 8}},     {230, {kDefaultAlways, 64}},     {243, {kDefaultAccepted, 0}},
  };
  for (const auto& [item, expected] : others) {
    EXPECT_EQ(DmFindDefaultRow(item)->kind, expected.first) << item;
    EXPECT_EQ(DmFindDefaultRow(item)->argument, expected.second) << item;
  }
}

TEST_F(ItemDefaultsTest, TestModeKeepsAPassingValueAndWritesNothing) {
  Set(92, 300);
  context_->work->dirty = 0;
  int answer = -1;
  EXPECT_TRUE(Untouched(92, 300, kDefaultModeTest, &answer));
  EXPECT_EQ(answer, 1);
  EXPECT_EQ(context_->work->dirty, 0u);

  EXPECT_EQ(Run(92, 500, kDefaultModeTest), 0);
  EXPECT_EQ(Get(92), 100u);
  Set(92, 300);
  EXPECT_EQ(Run(92, 300, kDefaultModeFix), 0);  // any other mode writes the default
  EXPECT_EQ(Get(92), 100u);
}

TEST_F(ItemDefaultsTest, GenericRowsAreRewrittenEvenInTestMode) {
  Set(64, 0);
  EXPECT_EQ(Run(64, 0, kDefaultModeTest), 0);
  EXPECT_EQ(Get(64), 1u);
  Row(64)->changed = 0;
  EXPECT_EQ(Run(64, 1, kDefaultModeTest), 0);
  EXPECT_EQ(Row(64)->changed, 1);  // written again, though it already held its default

  // Items 35..38 and 245 take their bytes from the context's model defaults.
  context_->modelDefaults->item35To38Defaults[1] = 7;
  Set(35, 5);
  Run(35, 5, kDefaultModeTest);
  Run(36, 0, kDefaultModeTest);
  EXPECT_EQ(Get(35), 0u);
  EXPECT_EQ(Get(36), 7u);
  Run(245, 0, kDefaultModeTest);
  EXPECT_EQ(Get(245), 16u);
}

TEST_F(ItemDefaultsTest, ResolutionsFollowAValidPrintQuality) {
  Set(14, 1200);
  EXPECT_EQ(Run(42, 5, kDefaultModeTest), 0);
  EXPECT_EQ(Get(42), 1200u);
  EXPECT_EQ(Run(43, 2400, kDefaultModeTest), 1);
  EXPECT_EQ(Get(43), 0u);

  Set(14, 450);  // no resolution the validator knows
  Run(42, 0, kDefaultModeFix);
  EXPECT_EQ(Get(42), 600u);
  Set(14, DWORD(-2));  // a quality level, which the validator accepts, is no resolution either
  ASSERT_TRUE(OptValidatePrintQuality(-2, context_));
  Run(42, 0, kDefaultModeFix);
  EXPECT_EQ(Get(42), 600u);
  context_->modelDefaults->item43Default = 300;
  Run(43, 0, kDefaultModeFix);
  EXPECT_EQ(Get(43), 300u);
}

TEST_F(ItemDefaultsTest, GutterAndMarginsAreLengthsAtTheDestinationResolution) {
  Set(42, 600);
  EXPECT_EQ(Run(100, 354, kDefaultModeTest), 0);  // no rule: always rewritten
  EXPECT_EQ(Get(100), 354u);                       // 15 mm at 600 dpi
  Set(42, 1200);
  Run(100, 0, kDefaultModeFix);
  EXPECT_EQ(Get(100), 708u);

  Set(42, 600);
  Set(106, 1181);  // 50 mm at 600 dpi
  EXPECT_TRUE(Untouched(106, 1181, kDefaultModeTest));
  EXPECT_EQ(Run(106, 1182, kDefaultModeTest), 0);
  EXPECT_EQ(Get(106), 0u);
}

TEST_F(ItemDefaultsTest, LanguagesMachineIdentifierAndSavedSetting) {
  Set(177, 6);
  Set(178, 2);
  EXPECT_EQ(Run(178, 2, kDefaultModeFix), 0);
  EXPECT_EQ(Get(178), 6u);  // follows the display language
  EXPECT_EQ(Run(178, 17, kDefaultModeTest), 1);
  EXPECT_EQ(Run(178, 15, kDefaultModeTest), 0);  // the language table has no 15
  EXPECT_EQ(Get(178), 0u);

  EXPECT_EQ(Run(39, 130, kDefaultModeTest), 1);
  EXPECT_EQ(Run(39, 129, kDefaultModeTest), 0);
  EXPECT_EQ(Get(39), 130u);

  // The saved setting is a signed byte: 255 (none) reads back as -1.
  EXPECT_EQ(Run(41, DWORD(-1), kDefaultModeTest), 1);
  EXPECT_EQ(Run(41, 127, kDefaultModeTest), 1);
  Set(41, 0x80);
  EXPECT_EQ(Run(41, DWORD(-128), kDefaultModeTest), 0);
  EXPECT_EQ(Get(41), 0u);
}

TEST_F(ItemDefaultsTest, HandlersThatNeverWriteAndTrayPapersFromTheModelDefaults) {
  int answer = -1;
  for (WORD id : {120, 121}) {
    EXPECT_TRUE(Untouched(id, 12345, kDefaultModeFix, &answer)) << id;
    EXPECT_EQ(answer, 0);
  }
  for (WORD id : {180, 215, 220, 243}) {
    EXPECT_TRUE(Untouched(id, 12345, kDefaultModeFix, &answer)) << id;
    EXPECT_EQ(answer, 1);
  }
  EXPECT_TRUE(Untouched(132, 384, kDefaultModeTest));
  Run(132, 119, kDefaultModeTest);
  EXPECT_EQ(Get(132), 9u);
  context_->modelDefaults->trayPaperDefaults[3] = 11;
  Run(147, 0, kDefaultModeFix);
  EXPECT_EQ(Get(147), 11u);
}

TEST_F(ItemDefaultsTest, TheWalkHandsOnlyItemsWithoutACommandKeyToTheirHandlers) {
  Set(430, 5);     // no key, rule 0..1: default 0
  Set(431, 1);     // no key, passes
  Set(572, 1);     // no key, generic: rewritten with 0
  Set(441, 5000);  // no key, default from the model defaults: 32
  Set(91, 50);     // key but no record: hidden, left alone
  Set(39, 7);      // the same: the machine identifier has a key
  DmRunDefaultTable(context_, kDefaultModeTest);
  EXPECT_EQ(Get(430), 0u);
  EXPECT_EQ(Get(431), 1u);
  EXPECT_EQ(Get(572), 0u);
  EXPECT_EQ(Get(441), 32u);
  EXPECT_EQ(Get(91), 50u);
  EXPECT_EQ(Get(39), 7u);

  // An item the model judges is repaired by the check, to the model's default, not the table's.
  UseDescription(NumericRecord("vdmScaleH", 150, 20, 400));
  Set(92, 999);
  Set(431, 1);
  DmRunDefaultTable(context_, kDefaultModeFix);
  EXPECT_EQ(Get(92), 150u);
  EXPECT_EQ(Get(431), 0u);  // fix mode writes every handled default
}

}  // namespace
