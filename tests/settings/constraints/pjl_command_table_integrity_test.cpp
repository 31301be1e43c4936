// The command table as a whole: its rows and lists hang together, and the shipped description
// carries every command node the rows and the watermark fields read.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "settings/description/image_fixture.h"
#include "settings/description/command_node_values.h"
#include "settings/items/store.h"
#include "settings/constraints/pjl_command_table.h"

namespace {

std::vector<const CondNode*> ChainsOf(const ExcCommandRow& row) {
  std::vector<const CondNode*> chains = {row.side, row.condition, row.range ? row.range->condition : nullptr};
  for (DWORD i = 0; row.values && i < row.values->count; ++i) {
    chains.push_back(row.values->rows[i].side);
    chains.push_back(row.values->rows[i].condition);
  }
  return chains;
}

TEST(PjlCommandTableIntegrityTest, RowsNamesAndValueLists) {
  const ExcCommandTable* table = ExcGetCommandTable();
  ASSERT_EQ(table->count, 48u);
  // Value-list sizes by command (V1..V23), and the lists whose "OFF" is the one "none" row.
  const std::map<std::string, DWORD> sizes = {
      {"COLLATE", 2},         {"OUTBIN", 10},          {"TRAY", 7},           {"DUPLEX", 2},
      {"STAPLE", 8},          {"PUNCH", 4},            {"TRAYPAPER1", 10},    {"MANUALPAPER", 14},
      {"TRAYPAPERORIENT1", 2}, {"TRAYPAPERMEDIA1", 8}, {"APLPAGESIZE", 13},   {"APLPAGELAYOUT", 2},
      {"PAPER", 23},          {"SCALETYPE", 3},        {"BINDING", 9},        {"NUP", 16},
      {"NUPENCLOSURE", 2},    {"MEDIATYPE", 8},        {"DSTRESOLUTIONH", 2}, {"DSTRESOLUTIONW", 2},
      {"COLORSELECT", 2},     {"SIMPLEXBINDING", 4},   {"PUNCHHOLE", 1},      {"BOOKLET", 3}};
  const std::set<std::string> withNoneRow = {"COLLATE", "STAPLE", "PUNCH", "SCALETYPE", "NUP", "PUNCHHOLE"};
  std::set<std::string> names;
  std::set<DWORD> items;
  for (DWORD i = 0; i < table->count; ++i) {
    const ExcCommandRow& row = table->rows[i];
    ASSERT_NE(row.name, nullptr) << i;
    const std::string name = row.name;
    EXPECT_TRUE(names.insert(name).second) << name;
    EXPECT_TRUE(items.insert(row.item).second) << name;
    EXPECT_EQ(row.subId, 0u) << name;
    EXPECT_EQ(row.condition, nullptr) << name;
    // A value list exactly when the value comes from it; a model node row has neither.
    EXPECT_EQ(row.values != nullptr, (row.flags & kExcCommandFromList) != 0) << name;
    if (row.flags & kExcCommandModelNode) {
      EXPECT_EQ(row.values, nullptr) << name;
    }
    if (auto size = sizes.find(name); size != sizes.end()) {
      ASSERT_NE(row.values, nullptr) << name;
      EXPECT_EQ(row.values->count, size->second) << name;
    }
    if (!row.values) continue;
    int noneRows = 0;
    for (DWORD v = 0; v < row.values->count; ++v) {
      const ExcValueRow& value = row.values->rows[v];
      EXPECT_NE(value.text, nullptr) << name;
      EXPECT_EQ(value.commandName, nullptr) << name;
      EXPECT_EQ(value.extra, nullptr) << name;
      if (value.flags & kExcValueNone) ++noneRows;
    }
    EXPECT_EQ(noneRows, withNoneRow.count(name) ? 1 : 0) << name;
  }
  // Rows that share a list share it by address (V7, V9, V10, V18).
  auto row = [&](const char* name) {
    for (DWORD i = 0; i < table->count; ++i)
      if (std::strcmp(table->rows[i].name, name) == 0) return &table->rows[i];
    return static_cast<const ExcCommandRow*>(nullptr);
  };
  EXPECT_EQ(row("TRAYPAPER4")->values, row("LCTPAPER1")->values);
  EXPECT_EQ(row("MEDIATYPE")->values, row("MANUALPAPERMEDIA")->values);
  EXPECT_EQ(row("SRCRESOLUTIONW")->values, row("DSTRESOLUTIONH")->values);
  EXPECT_NE(row("DSTRESOLUTIONW")->values, row("DSTRESOLUTIONH")->values);  // V19 is a list of its own
  // First match wins: PAPER's first CUSTOM is the plain 256.
  EXPECT_EQ(row("PAPER")->values->rows[13].value, 256u);
  EXPECT_EQ(row("PAPER")->values->rows[13].flags, 0u);
}

TEST(PjlCommandTableIntegrityTest, ChainsEndAndCarryTheirLinks) {
  const ExcCommandTable* table = ExcGetCommandTable();
  for (DWORD i = 0; i < table->count; ++i) {
    for (const CondNode* chain : ChainsOf(table->rows[i])) {
      int terms = 0;
      for (const CondNode* n = chain; n && terms <= 32; n = n->next) {
        ++terms;
        EXPECT_EQ(n->flags & ~(kCondNodeLink | kCondNodeAlternative), 0u);
        EXPECT_NE(n->conditionId, 0u);
      }
      EXPECT_LE(terms, 13) << table->rows[i].name;
    }
  }
  // C10 = 478 f0, 487 f1, 499 f0, 441=128 f2, 492 f0, 441=160 f2, 492, 441=192 f2, 492, 256, 288, 320, 384.
  const ExcValueRow& slant = table->rows[4].values->rows[0];
  std::vector<std::pair<DWORD, DWORD>> c10;
  for (const CondNode* n = slant.condition; n; n = n->next) c10.push_back({n->flags, n->conditionId});
  const std::vector<std::pair<DWORD, DWORD>> expected = {{0, 478}, {1, 487}, {0, 499}, {2, 441}, {0, 492},
                                                         {2, 441}, {0, 492}, {2, 441}, {0, 492}, {0, 441},
                                                         {0, 441}, {0, 441}, {0, 441}};
  EXPECT_EQ(c10, expected);
}

TEST(PjlCommandTableIntegrityTest, WaterMarkFieldsAndKeyword) {
  DWORD count = 0;
  const ExcWaterMarkField* fields = ExcGetWaterMarkFields(&count);
  ASSERT_EQ(count, 18u);
  const DWORD items[] = {869, 870, 116, 117, 118, 0, 114, 110, 112, 128, 113, 119, 121, 122, 127, 124, 125, 126};
  const DWORD kinds[] = {0, 1, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0};
  for (DWORD i = 0; i < count; ++i) {
    EXPECT_EQ(fields[i].item, items[i]) << i;
    EXPECT_EQ(fields[i].kinds, kinds[i]) << i;
    EXPECT_EQ(fields[i].skip, i == 2 ? 2u : 0u) << i;
  }
  EXPECT_EQ(fields[5].valueType, kExcTypeKeywordPair);
  EXPECT_EQ(fields[2].valueType, kExcTypeOnOff);
  EXPECT_EQ(fields[12].valueType, kExcTypeString);
  EXPECT_EQ(fields[6].valueType, kExcTypeEnumeration);
  EXPECT_STREQ(ExcGetWaterMarkKeyword(0), "WMKORDER");
  EXPECT_STREQ(ExcGetWaterMarkKeyword(1), "PAPER");
  EXPECT_EQ(ExcGetWaterMarkKeyword(2), nullptr);
}

// ---- The shipped description's command nodes ---------------------------------------------

class ShippedCommandNodesTest : public velm::test::DescriptionMachineTest {
 protected:
  void SetUp() override {
    DescriptionMachineTest::SetUp();
    context_ = CtxCreate(Open(), 0, 0);
    ASSERT_NE(context_, nullptr);
  }
  void TearDown() override {
    CtxDestroyEx(context_, kReleaseDestroy);
    DescriptionMachineTest::TearDown();
  }
  std::string Prefix(const DescNode* node) {
    const char *prefix = nullptr, *suffix = nullptr;
    CmdNodeTexts(context_, node, &prefix, &suffix);
    return prefix;
  }
  std::string Suffix(const DescNode* node) {
    const char *prefix = nullptr, *suffix = nullptr;
    CmdNodeTexts(context_, node, &prefix, &suffix);
    return suffix;
  }
  ItemTableRow* Row(DWORD item) { return OptFindItem(context_->itemTable, WORD(item)); }

  DriverContext* context_ = nullptr;
};

TEST_F(ShippedCommandNodesTest, EveryModelNodeRowHasItsNodeAndItsLine) {
  const ExcCommandTable* table = ExcGetCommandTable();
  int modelRows = 0;
  for (DWORD i = 0; i < table->count; ++i) {
    const ExcCommandRow& row = table->rows[i];
    if (!(row.flags & kExcCommandModelNode)) continue;
    ++modelRows;
    const DescNode* node = CmdFindCommandNode(context_, WORD(row.item), SHORT(row.subId));
    ASSERT_NE(node, nullptr) << row.name;
    EXPECT_EQ(CmdKindOfNode(node), CmdKindOfValueType(row.valueType)) << row.name;
    // The line is the command's own SET line, so that the engine reads back what it writes.
    EXPECT_EQ(Prefix(node), std::string("@PJL SET ") + row.name + " = " + (row.valueType == kExcTypeString ? "\"" : ""))
        << row.name;
    EXPECT_EQ(Suffix(node), row.valueType == kExcTypeString ? "\" \r\n" : " \r\n") << row.name;
    if (row.valueType == kExcTypeNumeric) {
      LONG lower = 0, upper = 0, fallback = 0;
      EXPECT_TRUE(CmdNodeRange(context_, node, &lower, &upper, &fallback)) << row.name;
      EXPECT_LE(lower, fallback) << row.name;
      EXPECT_LE(fallback, upper) << row.name;
      // Every value of the range goes out and comes back as itself.
      for (LONG v : {lower, fallback, upper}) {
        char text[kCmdValueTextBytes];
        ASSERT_GT(CmdFormatValue(context_, Row(row.item), node, kCmdKindNumber, DWORD(v), text, sizeof text), 0u)
            << row.name;
        DWORD back = 0;
        EXPECT_TRUE(CmdParseValue(context_, Row(row.item), node, kCmdKindNumber, text, &back)) << row.name;
        EXPECT_EQ(LONG(back), v) << row.name << " " << text;
      }
    }
    if (row.valueType == kExcTypeEnumeration) {
      // Every named entry parses back to its own value.
      const char* name = nullptr;
      DWORD value = 0;
      int named = 0;
      for (DWORD e = 0; CmdNodeEntry(context_, node, e, &name, &value); ++e) {
        if (!name || !*name) continue;
        ++named;
        DWORD back = 0;
        EXPECT_TRUE(CmdParseValue(context_, Row(row.item), node, kCmdKindName, name, &back)) << name;
        EXPECT_EQ(back, value) << name;
      }
      EXPECT_GT(named, 0) << row.name;
    }
  }
  EXPECT_EQ(modelRows, 7);  // MEMORYSIZE, USERCODE, COPIES, PAPERSCALEH/W, MARGINODD/EVEN
}

TEST_F(ShippedCommandNodesTest, EveryWaterMarkFieldHasANodeOfItsKind) {
  DWORD count = 0;
  const ExcWaterMarkField* fields = ExcGetWaterMarkFields(&count);
  for (DWORD i = 0; i < count; ++i) {
    if (fields[i].valueType == kExcTypeKeywordPair) continue;
    const DescNode* node = CmdFindCommandNode(context_, WORD(fields[i].item), 0);
    ASSERT_NE(node, nullptr) << fields[i].item;
    EXPECT_EQ(CmdKindOfNode(node), CmdKindOfValueType(fields[i].valueType)) << fields[i].item;
    EXPECT_EQ(Prefix(node).rfind("@PJL SET WMK", 0), 0u) << fields[i].item;
    EXPECT_EQ(Suffix(node).back(), '\n') << fields[i].item;
  }
}

TEST_F(ShippedCommandNodesTest, TheJobStreamKeepsItsOwnCopyLine) {
  // The copy count's record 0 is the query command; the job-start template takes record 1.
  EXPECT_EQ(Prefix(CmdFindCommandNode(context_, 12, 0)), "@PJL SET COPIES = ");
  EXPECT_EQ(Prefix(CmdFindCommandNode(context_, 12, 1)), "@PJL SET QTY = ");
  // The memory is unknown until a device query fills it: no text then.
  char text[16];
  const DescNode* memory = CmdFindCommandNode(context_, 10012, 0);
  EXPECT_EQ(CmdFormatValue(context_, Row(10012), memory, kCmdKindName, 0, text, sizeof text), 0u);
  EXPECT_EQ(CmdFormatValue(context_, Row(10012), memory, kCmdKindName, 256, text, sizeof text), 3u);
  EXPECT_STREQ(text, "256");
}

}  // namespace
