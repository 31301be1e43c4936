// The model hooks: the option-code and translation tables as the bidirectional query reads them,
// the one-step side effect, the model code text for each memory class, and the feature bits.
#include <string>
#include <utility>
#include <vector>

#include "settings/items/store_fixture.h"
#include "settings/devmode/model_hooks.h"

namespace {

constexpr WORD kNoDeviceFont = 380, kSupportCardMemory = 299, kCardMemory = 10063, kMemory = 10012,
               kModelCode = 10274, kOneStep = 10023, kOneStepCount = 10110;

std::vector<std::pair<DWORD, DWORD>> Rows(const BidiTranslationRow* table) {
  std::vector<std::pair<DWORD, DWORD>> rows;
  for (; table->result != 0; ++table) rows.push_back({table->result, table->code});
  EXPECT_EQ(table->code, 0u);  // the end row is {0, 0}
  return rows;
}

// The first row with `code`, as the query looks it up; 0 when none.
DWORD Translate(const BidiTranslationRow* table, DWORD code) {
  for (; table->result != 0; ++table) {
    if (table->code == code) return table->result;
  }
  return 0;
}

TEST(ModelHooksTablesTest, OptionCodes) {
  const BidiOptionCodeRow* table = BidiGetOptionCodeTable(131);
  EXPECT_EQ(table, BidiGetOptionCodeTable(0));  // one table for every model
  std::vector<std::pair<DWORD, DWORD>> rows;
  for (; table->item != 0; ++table) rows.push_back({table->item, table->code});
  EXPECT_EQ(table->code, 0u);
  const std::vector<std::pair<DWORD, DWORD>> expected = {
      {10014, 1},  {10018, 104}, {10020, 102}, {10021, 16},  {10023, 101}, {10023, 30},  {10057, 15},
      {10058, 33}, {10063, 203}, {10070, 3},   {10074, 132}, {10075, 133}, {10076, 134}, {10064, 204}};
  EXPECT_EQ(rows, expected);

  std::vector<DWORD> grouped;
  for (DWORD code = 0; code < 1000; ++code) {
    if (BidiIsGroupedOptionCode(code)) grouped.push_back(code);
  }
  EXPECT_EQ(grouped, (std::vector<DWORD>{12, 132, 133, 134, 137, 138}));
}

TEST(ModelHooksTablesTest, TrayTablesShareTheTrayIds) {
  const std::vector<DWORD> ids = {3, 4, 12, 5, 6, 7, 11, 1, 2};
  const DWORD bases[kBidiTrayGroupCount] = {10111, 10143, 10175, 10207, 10239};
  const std::vector<DWORD> slots = {0, 1, 1, 2, 3, 25, 25, 27, 28};
  for (int group = 0; group < kBidiTrayGroupCount; ++group) {
    const auto rows = Rows(BidiGetTrayTable(group));
    ASSERT_EQ(rows.size(), ids.size()) << group;
    for (size_t i = 0; i < rows.size(); ++i) {
      EXPECT_EQ(rows[i].second, ids[i]);
      EXPECT_EQ(rows[i].first, bases[group] + slots[i]) << group << " " << i;
    }
  }
  EXPECT_EQ(BidiGetTrayTable(kBidiTrayGroupCount), nullptr);
  EXPECT_EQ(BidiGetTrayTable(-1), nullptr);
  const auto values = Rows(BidiGetTrayValueTable());
  std::vector<DWORD> trays;
  for (const auto& [value, id] : values) trays.push_back(value);
  EXPECT_EQ(trays, (std::vector<DWORD>{1, 3, 5, 2, 256, 11, 11, 4, 4}));
}

TEST(ModelHooksTablesTest, PaperAndMediaCodes) {
  for (const BidiTranslationRow* table : {BidiGetPaperTable(FALSE), BidiGetPaperTable(TRUE), BidiGetMediaTable()}) {
    EXPECT_EQ(table[0].result, 2048u);  // code 0: none
    EXPECT_EQ(table[0].code, 0u);
  }
  EXPECT_EQ(Rows(BidiGetPaperTable(FALSE)).size(), 27u);
  EXPECT_EQ(Rows(BidiGetPaperTable(TRUE)).size(), 26u);
  EXPECT_EQ(Rows(BidiGetMediaTable()).size(), 18u);
  EXPECT_EQ(Translate(BidiGetPaperTable(FALSE), 9), 9u);   // A4
  EXPECT_EQ(Translate(BidiGetPaperTable(FALSE), 8), 0u);   // only in the second table
  EXPECT_EQ(Translate(BidiGetPaperTable(TRUE), 8), 9u);
  EXPECT_EQ(Translate(BidiGetPaperTable(FALSE), 1), 2049u);
  EXPECT_EQ(Translate(BidiGetMediaTable(), 9), 264u);
  EXPECT_EQ(Translate(BidiGetMediaTable(), 99), 0u);
}

TEST(ModelHooksTablesTest, FeatureBits) {
  EXPECT_EQ(SysTestFeatureBit(7), 1);
  EXPECT_EQ(SysTestFeatureBit(0), 0);
  for (DWORD n : {1u, 6u, 8u, 31u, 32u, 0xFFFFFFFFu}) EXPECT_EQ(SysTestFeatureBit(n), 0) << n;
}

class ModelHooksTest : public ItemStoreTest {
 protected:
  void Set(WORD id, DWORD value) { ASSERT_TRUE(OptSetValue(context_, id, value)) << id; }
  std::u16string ModelCode() {
    WCHAR text[40] = {};
    OptGetString(context_, Row(kModelCode), text, 40);
    return text;
  }
  std::u16string Build(DWORD memory) {
    Set(kMemory, memory);
    EXPECT_TRUE(CfgBuildModelCode(context_));
    return ModelCode();
  }
};

TEST_F(ModelHooksTest, OneStepCodeCountsOneUnit) {
  Set(kOneStepCount, 0);
  DWORD changed = 0;
  EXPECT_FALSE(BidiApplyOptionSideEffect(kOneStep, 30, &changed, context_));
  EXPECT_FALSE(BidiApplyOptionSideEffect(10014, 1, &changed, context_));
  EXPECT_EQ(changed, 0u);
  EXPECT_EQ(OptGetValue(context_, kOneStepCount), 0u);
  Row(kOneStepCount)->changed = 0;
  EXPECT_TRUE(BidiApplyOptionSideEffect(kOneStep, 101, &changed, context_));
  EXPECT_EQ(changed, 1u);
  EXPECT_EQ(OptGetValue(context_, kOneStepCount), 1u);
  EXPECT_EQ(Row(kOneStepCount)->changed, 1);
  EXPECT_FALSE(BidiApplyOptionSideEffect(kOneStep, 101, &changed, nullptr));
}

TEST_F(ModelHooksTest, ModelCodeByBaseAndMemoryClass) {
  // A longer text before must not show through.
  ASSERT_TRUE(OptSetString(context_, Row(kModelCode), u"zzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzz"));
  Set(kSupportCardMemory, 0);
  Set(kCardMemory, 0);
  Set(kNoDeviceFont, 0);
  EXPECT_EQ(Build(32), u"0101870007d005");
  EXPECT_EQ(Build(64), u"0101870107d00a");
  EXPECT_EQ(Build(96), u"0101870207d014");
  EXPECT_EQ(Build(160), u"0101870207d014");
  EXPECT_EQ(Build(192), u"0101870207d014");
  // 95 keeps the base, which already holds the top class.
  ASSERT_TRUE(OptSetString(context_, Row(kModelCode), u"x"));
  EXPECT_EQ(Build(95), u"0101870207d014");
  EXPECT_EQ(Build(0), u"0101870207d014");

  Set(kNoDeviceFont, 1);
  EXPECT_EQ(Build(32), u"0100870007d005");
  EXPECT_EQ(Build(95), u"0100870207d014");

  // With the card-memory unit supported and installed the classes move up.
  Set(kNoDeviceFont, 0);
  Set(kSupportCardMemory, 1);
  EXPECT_EQ(Build(32), u"0101870007d005");  // supported but not installed: the plain classes
  Set(kCardMemory, 1);
  EXPECT_EQ(Build(160), u"0101870007d005");
  EXPECT_EQ(Build(192), u"0101870107d00a");
  EXPECT_EQ(Build(32), u"0101870207d014");
  EXPECT_EQ(Build(95), u"0101870207d014");

  DriverContext bare = *context_;
  bare.settings = nullptr;
  EXPECT_FALSE(CfgBuildModelCode(&bare));
  EXPECT_FALSE(CfgBuildModelCode(nullptr));
}

TEST_F(ModelHooksTest, ModelFeatureItems) {
  Set(916, 1);
  Set(947, 1);
  Set(930, 0);
  EXPECT_EQ(OptGetUserPaperItem(context_, 916), 1u);
  EXPECT_EQ(OptGetUserPaperItem(context_, 947), 1u);
  EXPECT_EQ(OptGetUserPaperItem(context_, 930), 0u);
  Set(39, 131);
  EXPECT_EQ(OptGetUserPaperItem(context_, 39), 0u);  // not a feature item
  EXPECT_EQ(OptGetUserPaperItem(context_, 915), 0u);
  EXPECT_EQ(OptGetUserPaperItem(context_, 948), 0u);
  EXPECT_EQ(CfgUserCodeSwitch(context_), 0);
}

}  // namespace
