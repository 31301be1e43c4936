// Constraint statements: references and names, numbered options, and the brace bodies of
// Item, Action, Transact, AlertAction, Alert and Exclusive with their fixed field groups.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "settings/description/description_fixture.h"
#include "settings/description/parser_internal.h"

namespace {

using velm::test::IssueKinds;
using velm::test::IssueList;
using velm::test::ParseDescription;

// Two Judges, an Action and a Transact to refer to.
const char kBase[] =
    "*Judge 5=Paper: ZMD_dmPaperSize == DMPAPERSIZE_A4\n"
    "*Judge 6=JudgeFoo: ZMD_dmCopies > 1\n"
    "*Action 2=Off: { {ZMD_vdmFuncSelectDuplex 0} }\n"
    "*Transact 3=Rule: { {Paper Off} }\n";

TEST(DescriptionConstraintTest, ReferenceTokens) {
  EXPECT_EQ(DescClassifyReference("Judge12"), 0x1000Cu);
  EXPECT_EQ(DescClassifyReference("Item7"), 0x20007u);
  EXPECT_EQ(DescClassifyReference("Action1"), 0x30001u);
  EXPECT_EQ(DescClassifyReference("Transact2"), 0x40002u);
  EXPECT_EQ(DescClassifyReference("Alert3"), 0x50003u);
  EXPECT_EQ(DescClassifyReference("AlertAction3"), 0x60003u);  // not Alert "Action3"
  EXPECT_EQ(DescClassifyReference("Judge65535"), 0x1FFFFu);
  EXPECT_EQ(DescClassifyReference("NULL"), 0u);
  // Only a prefix followed by digits alone is a direct reference; the rest are names.
  for (const char* name : {"Judge", "JudgeFoo", "Judge1x", "Judge65536", "Judge-1", "NULLx", "NULL1", "ActionOff",
                           "AlertBox", "Paper", "judge1", "123"}) {
    EXPECT_EQ(DescClassifyReference(name), kRefTagName) << name;
  }
}

TEST(DescriptionConstraintTest, ReferencesResolveByKindAndName) {
  std::string text = kBase;
  text +=
      "*Transact 4=Mixed: {\n"
      "  {Paper Off}\n"          // names
      "  {Judge5 Action2}\n"     // direct references
      "  {Action2 Judge5}\n"     // each of the wrong kind: the rule is dropped
      "  {NULL Off}\n"           // no Judge: the rule always fires
      "  {Unknown Nothing}\n"    // an unknown Judge name: dropped too
      "  {Paper Nothing}\n"      // an unknown Action name: none
      "  {JudgeFoo Action77}\n"  // a name that looks like a reference; a number no statement has
      "}\n";
  const auto result = ParseDescription(text);
  ASSERT_TRUE(result);
  // A rule whose Judge names nothing would fire on every run: it goes, with a remark.
  EXPECT_EQ(IssueKinds(*result),
            (std::vector<DescIssue>{DescIssue::kUnresolvedReference, DescIssue::kUnresolvedReference}))
      << IssueList(*result);
  EXPECT_EQ(result->droppedCount, 0u);
  ASSERT_EQ(result->transactSets.size(), 2u);
  const DescSet<DescTransactEntry>& mixed = result->transactSets[1];
  EXPECT_EQ(mixed.number, 4);
  std::vector<std::pair<LONG, LONG>> entries;
  for (const DescTransactEntry& entry : mixed.entries) entries.push_back({entry.judge, entry.action});
  EXPECT_EQ(entries, (std::vector<std::pair<LONG, LONG>>{{5, 2}, {5, 2}, {0, 2}, {5, 0}, {6, 77}}));
}

TEST(DescriptionConstraintTest, NumberedOptions) {
  const auto result = ParseDescription(
      "*Item 0=Zero: { }\n"
      "*Item: { }\n"
      "*Item =Name: { }\n"
      "*Item -3=Negative: { }\n"
      "*Item 1-2=Dash: { }\n"  // a `-` anywhere makes the number negative
      "*Item 9=: { }\n"        // an empty name
      "*Transact 1=Use: { {NULL Negative} }\n"
      "*Exclusive: { {ZMD_dmColor NULL NULL Negative NULL NULL NULL} {ZMD_dmCopies NULL NULL Dash NULL NULL NULL} }\n");
  ASSERT_TRUE(result);
  EXPECT_EQ(IssueKinds(*result),
            (std::vector<DescIssue>{DescIssue::kNumberZero, DescIssue::kNumberZero, DescIssue::kBadNumber}));
  ASSERT_EQ(result->itemSets.size(), 3u);
  EXPECT_EQ(result->itemSets[0].number, -3);
  EXPECT_EQ(result->itemSets[1].number, -12);
  EXPECT_EQ(result->itemSets[2].number, 9);
  EXPECT_EQ(result->transactSets.at(0).entries.at(0).action, 0);  // Negative is an Item set
  EXPECT_EQ(result->exclusives.at(0).itemSet, -3);
  EXPECT_EQ(result->exclusives.at(1).itemSet, -12);
}

TEST(DescriptionConstraintTest, NamesKeepTheirFirstStatement) {
  std::string text = kBase;
  text +=
      "*Action 7=Off: { {ZMD_dmCopies 1} }\n"
      "*Transact 8: { {NULL Off} }\n";
  const auto result = ParseDescription(text);
  ASSERT_TRUE(result);
  ASSERT_EQ(result->issues.size(), 1u);
  EXPECT_EQ(result->issues[0].issue, DescIssue::kDuplicateName);
  EXPECT_FALSE(result->issues[0].dropped);
  EXPECT_EQ(result->actionSets.size(), 2u);  // the statement itself stands
  EXPECT_EQ(result->transactSets.at(1).entries.at(0).action, 2);
}

TEST(DescriptionConstraintTest, ItemEntriesAreTakenInThreesWhateverTheBraces) {
  std::string text = kBase;
  text +=
      "*Item 1=Flat: { DMPAPERSIZE_A4 Paper NULL 3013 NULL JudgeFoo }\n"
      "*Item 2=Shifted: { {DMPAPERSIZE_A4 Paper} {DMPAPERSIZE_A5 NULL Paper} }\n";
  const auto result = ParseDescription(text);
  ASSERT_TRUE(result);
  // The second set is kept, but its braces do not match its entries.
  ASSERT_EQ(result->issues.size(), 1u) << IssueList(*result);
  EXPECT_EQ(result->issues[0].issue, DescIssue::kEntriesMisaligned);
  EXPECT_FALSE(result->issues[0].dropped);
  const auto values = [](const DescSet<DescItemEntry>& set) {
    std::vector<std::vector<LONG>> out;
    for (const DescItemEntry& e : set.entries) out.push_back({e.value, e.disabledJudge, e.hiddenJudge});
    return out;
  };
  EXPECT_EQ(values(result->itemSets.at(0)), (std::vector<std::vector<LONG>>{{3009, 5, 0}, {3013, 0, 6}}));
  // One missing token moves every later one: A5 lands in the hidden-Judge field of the first
  // entry, and the second entry is short.
  EXPECT_EQ(values(result->itemSets.at(1)), (std::vector<std::vector<LONG>>{{3009, 5, 0}, {0, 5, 0}}));
}

TEST(DescriptionConstraintTest, BodiesTakeOnlyNamesNumbersAndBraces) {
  const auto result = ParseDescription(
      "*Item 1: DMPAPERSIZE_A4 NULL NULL\n"
      "*Item 2: { DMPAPERSIZE_A4 == NULL }\n"
      "*Item 3: { \"DMPAPERSIZE_A4\" NULL NULL }\n"
      "*Item 4: { (DMPAPERSIZE_A4 NULL NULL) }\n"
      "*Item 5: { DMPAPERSIZE_A4 NULL NULL } ignored after the body\n"
      "*Item 6: { }\n");
  ASSERT_TRUE(result);
  EXPECT_EQ(IssueKinds(*result),
            (std::vector<DescIssue>{DescIssue::kSyntax, DescIssue::kSyntax, DescIssue::kSyntax, DescIssue::kSyntax}));
  ASSERT_EQ(result->itemSets.size(), 2u);
  EXPECT_EQ(result->itemSets[0].entries.size(), 1u);
  EXPECT_TRUE(result->itemSets[1].entries.empty());
}

TEST(DescriptionConstraintTest, ActionTargetsAndValues) {
  const auto result = ParseDescription(
      "*OpenUI *ZMD_dmColor: PickOne\n"
      "*ZMD_dmColor DMCOLOR_COLOR: \"C\"\n"
      "*ZMD_dmColor DMCOLOR_MONO: \"M\"\n"
      "*DefaultZMD_dmColor: DMCOLOR_MONO\n"
      "*CloseUI\n"
      "*OpenUI *ZMD_dmCopies: Numeric\n"
      "*NumericValue: 1 \"1 3 1 999\"\n"
      "*CloseUI\n"
      "*OpenUI *ZMD_dmOrientation: PickOne\n"
      "*DefaultZMD_dmOrientation: DMORIENTATION_LANDSCAPE\n"
      // Inside the open block the default is the value its default line named.
      "*Action 1=Defaults: { {ZMD_dmColor Default} {ZMD_dmCopies Default} {ZMD_dmOrientation Default} }\n"
      "*CloseUI\n"
      "*Action 2=Mixed: {\n"
      "  {ZMD_IDD_BASIC 0}\n"            // a page: kind 1
      "  {ZMD_dmCopies 2147483647}\n"
      "  {ZMD_dmColor DMCOLOR_COLOR}\n"  // a value symbol: its model value
      "  {ZMD_dmScale Default}\n"        // no block: 0
      "  {ZMD_IDD_BASIC Default}\n"
      "  {ZMD_NoSuchThing 5}\n"
      "  {ZMD_dmCopies 2147483648}\n"    // beyond 32 bits: 0
      "}\n");
  ASSERT_TRUE(result);
  EXPECT_EQ(result->issueCount, 0u) << IssueList(*result);
  const auto entries = [](const DescSet<DescActionEntry>& set) {
    std::vector<std::vector<LONG>> out;
    for (const DescActionEntry& e : set.entries) out.push_back({e.target, e.targetKind, e.value});
    return out;
  };
  EXPECT_EQ(entries(result->actionSets.at(0)),
            (std::vector<std::vector<LONG>>{{15, 0, 2030}, {12, 0, 3}, {7, 0, 2027}}));
  EXPECT_EQ(entries(result->actionSets.at(1)),
            (std::vector<std::vector<LONG>>{{1002, 1, 0}, {12, 0, 2147483647}, {15, 0, 2031}, {11, 0, 0},
                                            {1002, 1, 0}, {0, 0, 5}, {12, 0, 0}}));
}

TEST(DescriptionConstraintTest, AlertFieldsAndTheirNames) {
  std::string text = kBase;
  text +=
      "*AlertAction 1=Fix: { {ZMD_dmPaperSize Rule} {ZMD_Unknown Transact3} }\n"
      "*Alert 2=Warn: {\n"
      "  {Paper ZMD_PrintSizeIllegalMessage MB_ICONEXCLAMATION MB_OKCANCEL AlertOkApply Fix}\n"
      "  {JudgeFoo ZMD_ScaleIllegalMessage MB_ICONINFORMATION MB_OK AlertAtOnce NULL}\n"
      "  {Judge5 ZMD_NoMessage MB_ICONHAND MB_MAYBE AlertSometimes AlertAction1}\n"
      "}\n";
  const auto result = ParseDescription(text);
  ASSERT_TRUE(result);
  EXPECT_EQ(result->issueCount, 0u) << IssueList(*result);
  const auto& fixes = result->alertActionSets.at(0).entries;
  ASSERT_EQ(fixes.size(), 2u);
  EXPECT_EQ(fixes[0].itemId, 8);
  EXPECT_EQ(fixes[0].transact, 3);
  EXPECT_EQ(fixes[1].itemId, 0);
  EXPECT_EQ(fixes[1].transact, 3);
  const auto alerts = [](const DescSet<DescAlertEntry>& set) {
    std::vector<std::vector<LONG>> out;
    for (const DescAlertEntry& e : set.entries) out.push_back({e.judge, e.message, e.icon, e.buttons, e.kind, e.alertAction});
    return out;
  };
  EXPECT_EQ(alerts(result->alertSets.at(0)), (std::vector<std::vector<LONG>>{{5, 278, 0x30, 1, 2, 1},
                                                                              {6, 257, 0x40, 0, 0, 0},
                                                                              {5, 0, -1, -1, -1, 1}}));
}

TEST(DescriptionConstraintTest, EnumerationNames) {
  const std::pair<const char*, LONG> icons[] = {{"MB_ICONEXCLAMATION", 0x30}, {"MB_ICONINFORMATION", 0x40},
                                                {"MB_ICONQUESTION", 0x20},    {"MB_ICONSTOP", 0x10}};
  const std::pair<const char*, LONG> buttons[] = {{"MB_ABORTRETRYIGNORE", 2}, {"MB_OK", 0}, {"MB_OKCANCEL", 1},
                                                  {"MB_RETRYCANCEL", 5},      {"MB_YESNO", 4}, {"MB_YESNOCANCEL", 3}};
  const std::pair<const char*, LONG> kinds[] = {{"AlertAtOnce", 0}, {"AlertProperty", 1}, {"AlertOkApply", 2}, {"AlertDialog", 3}};
  std::string body;
  for (int i = 0; i < 6; ++i) {
    body += std::string("{NULL NULL ") + icons[i % 4].first + " " + buttons[i].first + " " + kinds[i % 4].first + " NULL}\n";
  }
  const auto result = ParseDescription("*Alert 1: {\n" + body + "}\n");
  ASSERT_TRUE(result);
  const auto& entries = result->alertSets.at(0).entries;
  ASSERT_EQ(entries.size(), 6u);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(entries[i].icon, icons[i % 4].second);
    EXPECT_EQ(entries[i].buttons, buttons[i].second);
    EXPECT_EQ(entries[i].kind, kinds[i % 4].second);
  }
}

TEST(DescriptionConstraintTest, ExclusiveEntriesAreTakenInSevens) {
  std::string text = kBase;
  text +=
      "*Item 4=Values: { DMPAPERSIZE_A4 Paper NULL }\n"
      "*Alert 9=Warn: { {Paper ZMD_PrintSizeIllegalMessage MB_ICONSTOP MB_OK AlertDialog NULL} }\n"
      "*Exclusive: {\n"
      "  ZMD_dmPaperSize Paper JudgeFoo Values Warn Rule Transact3\n"
      "  {ZMD_dmCopies NULL NULL Item4 Alert9 NULL NULL}\n"
      "}\n"
      "*Exclusive: { {ZMD_vdmFuncSelectDuplex Paper} }\n"  // a short entry: the rest empty
      "*Exclusive: { {ZMD_IDD_USER_CODE Paper NULL NULL NULL NULL NULL} {ZMD_IDD_NOSUCH Paper NULL NULL NULL NULL NULL} }\n";
  const auto result = ParseDescription(text);
  ASSERT_TRUE(result);
  ASSERT_EQ(IssueKinds(*result), std::vector<DescIssue>{DescIssue::kEntriesMisaligned}) << IssueList(*result);
  const auto rows = [&] {
    std::vector<std::vector<LONG>> out;
    for (const DescExclusiveEntry& e : result->exclusives)
      out.push_back({e.itemId, e.key, e.disabledJudge, e.hiddenJudge, e.itemSet, e.alertSet, e.rules, e.secondRules});
    return out;
  }();
  EXPECT_EQ(rows, (std::vector<std::vector<LONG>>{{8, 8, 5, 6, 4, 9, 3, 3},
                                                  {12, 12, 0, 0, 4, 9, 0, 0},
                                                  {61, 61, 5, 0, 0, 0, 0, 0},
                                                  {0, 1008, 5, 0, 0, 0, 0, 0},   // a page: keyed by its id
                                                  {0, 0, 5, 0, 0, 0, 0, 0}}));   // an unknown name
}

}  // namespace
