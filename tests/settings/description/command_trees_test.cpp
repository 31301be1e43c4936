// `*CommandGroup`: clauses, conditional nodes with ElseIf and Else, job points, refusals.
#include <string>

#include <gtest/gtest.h>

#include "settings/description/description_fixture.h"

namespace {

using velm::test::IssueKinds;
using velm::test::IssueList;
using velm::test::ParseDescription;

const char kJudges[] =
    "*Judge 1=DuplexOn: ZMD_vdmFuncSelectDuplex\n"
    "*Judge 2=StapleOn: ZMD_vdmFuncSelectStaple\n";

// A tree as text: S<n> string, G<item>/<number> group, F font, (J<n> then | else) conditional.
std::string Show(const DescCommandList& list) {
  std::string out;
  for (const DescCommandNode& node : list) {
    if (!out.empty()) out += " ";
    switch (node.kind) {
      case kCommandString: out += "S" + std::to_string(node.stringNumber); break;
      case kCommandGroup: out += "G" + std::to_string(node.itemId) + "/" + std::to_string(node.number); break;
      case kCommandFont: out += "F"; break;
      case kCommandConditional:
        out += "(J" + std::to_string(node.judge) + " " + Show(node.thenList) + " | " + Show(node.elseList) + ")";
        break;
      default: out += "?";
    }
  }
  return out;
}

TEST(DescriptionCommandTreeTest, TypeClauses) {
  const auto result = ParseDescription(
      "*CommandGroup: JobStart {\n"
      "  Type: StringType 1\n"
      "  Type : GroupType ZMD_dmCopies\n"
      "  Type:GroupType ZMD_dmOrientation 2\n"
      "  Type: GroupType ZMD_dmOrientation -2 Type: FontType\n"
      "}\n");
  ASSERT_TRUE(result);
  EXPECT_EQ(result->issueCount, 0u) << IssueList(*result);
  EXPECT_TRUE(result->hasCommandTree[kPointJobStart]);
  EXPECT_EQ(Show(result->commandTrees[kPointJobStart]), "S1 G12/0 G7/2 G7/-2 F");
}

TEST(DescriptionCommandTreeTest, ConditionalsNestWithElseIfAndElse) {
  std::string text = kJudges;
  text +=
      "*CommandGroup: PageStart {\n"
      "  Command: DuplexOn { Type: StringType 1 }\n"
      "  ElseIf: StapleOn {\n"
      "    Type: StringType 2\n"
      "    Command: Judge1 { Type: FontType } Else { }\n"
      "  }\n"
      "  Else { Type: StringType 3 }\n"
      "  Command: StapleOn { Type: StringType 4 }\n"
      "  Type: StringType 5\n"
      "}\n";
  const auto result = ParseDescription(text);
  ASSERT_TRUE(result);
  EXPECT_EQ(result->issueCount, 0u) << IssueList(*result);
  const DescCommandList& tree = result->commandTrees[kPointPageStart];
  EXPECT_EQ(Show(tree), "(J1 S1 | (J2 S2 (J1 F | ) | S3)) (J2 S4 | ) S5");
  ASSERT_EQ(tree.size(), 3u);
  EXPECT_EQ(tree[0].kind, kCommandConditional);
  EXPECT_EQ(tree[0].elseList.at(0).kind, kCommandConditional);
}

TEST(DescriptionCommandTreeTest, EveryJobPointHasItsTree) {
  const auto result = ParseDescription(
      "*CommandGroup: JobStart { Type: StringType 1 }\n"
      "*CommandGroup: JobEnd { Type: StringType 2 }\n"
      "*CommandGroup: PageStart { Type: StringType 3 }\n"
      "*CommandGroup: PageEnd { Type: StringType 4 }\n"
      "*CommandGroup: DocReset { Type: StringType 5 }\n"
      "*CommandGroup: PageEnd { Type: StringType 6 }\n");  // replaces the first PageEnd tree
  ASSERT_TRUE(result);
  ASSERT_EQ(result->issues.size(), 1u);
  EXPECT_EQ(result->issues[0].issue, DescIssue::kReplaced);
  EXPECT_FALSE(result->issues[0].dropped);
  EXPECT_EQ(Show(result->commandTrees[kPointJobStart]), "S1");
  EXPECT_EQ(Show(result->commandTrees[kPointJobEnd]), "S2");
  EXPECT_EQ(Show(result->commandTrees[kPointPageStart]), "S3");
  EXPECT_EQ(Show(result->commandTrees[kPointPageEnd]), "S6");
  EXPECT_EQ(Show(result->commandTrees[kPointDocReset]), "S5");
  EXPECT_FALSE(result->hasCommandTree[0]);
}

TEST(DescriptionCommandTreeTest, RefusedTrees) {
  std::string text = kJudges;
  text +=
      "*CommandGroup: JobStart { Type: StringType 0 }\n"
      "*CommandGroup: JobMiddle { Type: StringType 1 }\n"
      "*CommandGroup: JobStart Type: StringType 1\n"
      "*CommandGroup: JobStart { Command: Nobody { Type: FontType } }\n"  // would print always
      "*CommandGroup: JobStart { Command: NULL { Type: FontType } }\n"
      "*CommandGroup: JobStart { Command: Action1 { Type: FontType } }\n"
      "*CommandGroup: JobStart { Kind: FontType }\n"
      "*CommandGroup: JobStart { Type FontType }\n"
      "*CommandGroup: JobStart { Type: LineType }\n"
      "*CommandGroup: JobStart { Type: GroupType ZMD_NoSuchItem }\n"
      "*CommandGroup: JobStart { Type: GroupType ZMD_dmCopies 40000 }\n"
      "*CommandGroup: JobStart { Type: GroupType ZMD_dmCopies - }\n"
      "*CommandGroup: JobStart { Type: StringType } \n"
      "*CommandGroup: JobStart { Command: DuplexOn { } ElseIf DuplexOn { } }\n"
      "*CommandGroup: JobStart { Type: FontType } trailing\n";
  const auto result = ParseDescription(text);
  ASSERT_TRUE(result);
  EXPECT_EQ(IssueKinds(*result),
            (std::vector<DescIssue>{DescIssue::kNumberZero, DescIssue::kSyntax, DescIssue::kSyntax,
                                    DescIssue::kUnresolvedReference, DescIssue::kUnresolvedReference,
                                    DescIssue::kUnresolvedReference, DescIssue::kSyntax, DescIssue::kSyntax,
                                    DescIssue::kSyntax, DescIssue::kUnknownItemSymbol, DescIssue::kBadNumber,
                                    DescIssue::kBadNumber, DescIssue::kBadNumber, DescIssue::kSyntax,
                                    DescIssue::kSyntax}));
  EXPECT_EQ(result->droppedCount, result->issueCount);
  EXPECT_FALSE(result->hasCommandTree[kPointJobStart]);
}

TEST(DescriptionCommandTreeTest, NestingIsBounded) {
  std::string text = kJudges;
  // 32 levels of Command or ElseIf are the most.
  std::string body = "Type: FontType";
  for (int i = 0; i < 33; ++i) body = "Command: DuplexOn { " + body + " }";
  text += "*CommandGroup: JobStart { " + body + " }\n";
  std::string chain = "Command: DuplexOn { }";
  for (int i = 0; i < 32; ++i) chain += " ElseIf: StapleOn { }";
  text += "*CommandGroup: PageStart { " + chain + " }\n";
  std::string fits = "Type: FontType";
  for (int i = 0; i < 32; ++i) fits = "Command: DuplexOn { " + fits + " }";
  text += "*CommandGroup: PageEnd { " + fits + " }\n";
  const auto result = ParseDescription(text);
  ASSERT_TRUE(result);
  EXPECT_EQ(IssueKinds(*result), (std::vector<DescIssue>{DescIssue::kTooLarge, DescIssue::kTooLarge}));
  EXPECT_TRUE(result->hasCommandTree[kPointPageEnd]);
}

}  // namespace
