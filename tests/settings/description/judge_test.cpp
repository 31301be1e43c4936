// The Judge compiler: programs compared cell by cell with hand-worked postfix, the program
// check, and Judges in descriptions (names, inlining, refusals).
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "settings/description/description_fixture.h"
#include "settings/description/judge_compiler.h"

namespace {

using velm::test::Cells;
using velm::test::IssueKinds;
using velm::test::IssueList;
using velm::test::ParseDescription;

// Names of the compiler tests: A..D are items 1..4, V the constant 500, J an earlier Judge
// (item 9 == 3).
class TestNames : public JudgeNameResolver {
 public:
  bool AppendName(std::string_view name, DescVector<DescCell>* program) const override {
    if (name.size() == 1 && name[0] >= 'A' && name[0] <= 'D') {
      program->push_back({kCellItem, static_cast<WORD>(name[0] - 'A' + 1)});
    } else if (name == "V") {
      program->push_back({kCellConstant, 500});
    } else if (name == "J") {
      program->insert(program->end(), {{kCellItem, 9}, {kCellConstant, 3}, {kCellOperator, kOpEqual}});
    } else {
      return false;
    }
    return true;
  }
};

// Hand-written postfix: names as above, numbers, operators; the end cell is added.
std::vector<DescCell> Postfix(const std::string& text) {
  std::vector<DescCell> cells;
  DescVector<DescCell> named;
  std::istringstream words(text);
  for (std::string word; words >> word;) {
    if (const WORD code = DescOperatorCode(word)) {
      cells.push_back({kCellOperator, code});
    } else if (std::isdigit(static_cast<unsigned char>(word[0]))) {
      cells.push_back({kCellConstant, static_cast<WORD>(std::stoul(word))});
    } else {
      named.clear();
      TestNames().AppendName(word, &named);
      cells.insert(cells.end(), named.begin(), named.end());
    }
  }
  cells.push_back({kCellOperator, kOpEnd});
  return cells;
}

JudgeResult Compile(std::string_view expression, std::vector<DescCell>* cells = nullptr) {
  DescVector<DescCell> program;
  const JudgeResult result = DescCompileJudge(expression, DescLeadBytes{}, TestNames(), &program);
  if (cells) cells->assign(program.begin(), program.end());
  return result;
}

std::vector<DescCell> Program(std::string_view expression) {
  std::vector<DescCell> cells;
  EXPECT_EQ(Compile(expression, &cells), JudgeResult::kOk) << expression;
  return cells;
}

std::string Show(const std::vector<DescCell>& cells) {
  std::string out;
  for (const DescCell& cell : cells) out += "{" + std::to_string(cell.kind) + "," + std::to_string(cell.value) + "}";
  return out;
}

#define EXPECT_PROGRAM(expression, postfix) \
  EXPECT_EQ(Show(Program(expression)), Show(Postfix(postfix))) << (expression)

TEST(DescriptionJudgeTest, OperatorsApplyLeftToRightWithoutPrecedence) {
  // The reading descriptions rely on: ((A == B) && C) == D.
  EXPECT_EQ(Program("A == B && C == D"),
            (std::vector<DescCell>{{1, 1}, {1, 2}, {3, 1}, {1, 3}, {3, 3}, {1, 4}, {3, 1}, {3, 10}}));
  EXPECT_PROGRAM("A || B && C", "A B || C &&");
  EXPECT_PROGRAM("A > 1 == B", "A 1 > B ==");
  EXPECT_PROGRAM("A", "A");
  EXPECT_PROGRAM("7", "7");
}

TEST(DescriptionJudgeTest, EveryOperatorHasItsCode) {
  const std::pair<const char*, WORD> operators[] = {{"==", 1}, {"!=", 2}, {"&&", 3}, {"||", 4}, {">", 6},
                                                    {"<", 7},  {">=", 8}, {"<=", 9}};
  for (const auto& [text, code] : operators) {
    EXPECT_EQ(Program(std::string("A ") + text + " B"),
              (std::vector<DescCell>{{1, 1}, {1, 2}, {3, code}, {3, 10}}))
        << text;
  }
  EXPECT_EQ(DescOperatorCode("!"), 5);
  EXPECT_EQ(DescOperatorCode("=>"), 0);
  EXPECT_EQ(DescOperatorCode("==="), 0);
}

TEST(DescriptionJudgeTest, ParenthesesGroupOperands) {
  EXPECT_PROGRAM("A == B && (C == D)", "A B == C D == &&");
  EXPECT_PROGRAM("(A || B) && C", "A B || C &&");
  EXPECT_PROGRAM("A && (B || (C != D))", "A B C D != || &&");
  EXPECT_PROGRAM("((A))", "A");
  EXPECT_PROGRAM("(A == 1) || (B == 2) || (C == 3)", "A 1 == B 2 == || C 3 == ||");
}

TEST(DescriptionJudgeTest, AGroupAfterTheLastOperatorIsAnOperand) {
  EXPECT_PROGRAM("A && (B)", "A B &&");
  EXPECT_PROGRAM("A == 1 && (B == 2)", "A 1 == B 2 == &&");
}

TEST(DescriptionJudgeTest, NotAppliesToTheOperandAfterIt) {
  EXPECT_PROGRAM("!A", "A !");
  EXPECT_PROGRAM("A && !B", "A B ! &&");
  EXPECT_PROGRAM("!A && B", "A ! B &&");
  EXPECT_PROGRAM("!(A == B)", "A B == !");
  EXPECT_PROGRAM("! ! A", "A ! !");
  EXPECT_PROGRAM("A || !(B && !C)", "A B C ! && ! ||");
  EXPECT_PROGRAM("!J", "J !");
}

TEST(DescriptionJudgeTest, NamesAndConstants) {
  EXPECT_PROGRAM("A == V", "A 500 ==");
  EXPECT_PROGRAM("J && A", "J A &&");  // an earlier Judge's cells, without its end cell
  EXPECT_PROGRAM("A == 65535", "A 65535 ==");
  EXPECT_PROGRAM("A == 007", "A 7 ==");
  EXPECT_EQ(Compile("A == 65536"), JudgeResult::kNumberTooLarge);
  EXPECT_EQ(Compile("A == 1234567890123"), JudgeResult::kNumberTooLarge);
  EXPECT_EQ(Compile("A == E"), JudgeResult::kUnknownName);
}

TEST(DescriptionJudgeTest, MalformedExpressionsFailInsteadOfCompilingAPrefix) {
  const char* const malformed[] = {
      "A == -1",   // no negative numbers: the `-` stops nothing, it fails
      "A ==",      // a trailing operator
      "== A",      "A B",      "A && && B", "()",       "A && ()",  "(A",       "A)",
      "A == \"x\"", "A => B",  // an unknown operator run
      "A &&!B",    // one run: write `&& !B`
      "A ! B",     "A !",      "",          "{A}",      "A: B",     "A == B ;",
  };
  for (const char* expression : malformed) EXPECT_EQ(Compile(expression), JudgeResult::kSyntax) << expression;
}

TEST(DescriptionJudgeTest, BoundsOnNestingAndSize) {
  std::string deep = "A";
  for (int i = 0; i < kJudgeMaxDepth; ++i) deep = "(" + deep + ")";
  EXPECT_EQ(Compile(deep), JudgeResult::kOk);
  EXPECT_EQ(Compile("(" + deep + ")"), JudgeResult::kTooDeep);
  std::string wide = "A";
  for (size_t i = 0; i < kJudgeMaxCells / 2; ++i) wide += " == A";
  EXPECT_EQ(Compile(wide), JudgeResult::kTooLarge);
}

TEST(DescriptionJudgeTest, ProgramCheck) {
  const auto check = [](std::vector<DescCell> cells) { return DescCheckProgram(cells.data(), cells.size()); };
  EXPECT_TRUE(check(Postfix("A B ==")));
  EXPECT_TRUE(check(Postfix("A !")));
  EXPECT_FALSE(check(Postfix("A ==")));     // an operator needs two
  EXPECT_FALSE(check(Postfix("!")));        // `!` needs one
  EXPECT_FALSE(check(Postfix("A B")));      // exactly one at the end
  EXPECT_FALSE(check({{1, 1}}));            // no end cell
  EXPECT_FALSE(check({{1, 1}, {3, 10}, {1, 2}}));  // the end cell is the last
  EXPECT_FALSE(check({{1, 1}, {3, 11}, {3, 10}}));
  EXPECT_FALSE(check({{4, 1}, {3, 10}}));
  EXPECT_FALSE(check({}));
  // 127 operands alive at once are the most; 128 are too many.
  const auto stack = [](int operands) {
    std::vector<DescCell> cells(operands, DescCell{kCellConstant, 1});
    cells.insert(cells.end(), operands - 1, DescCell{kCellOperator, kOpAnd});
    cells.push_back({kCellOperator, kOpEnd});
    return cells;
  };
  EXPECT_TRUE(check(stack(127)));
  EXPECT_FALSE(check(stack(128)));
}

// `1 == (1 == (... inner ...))`: each level keeps one operand waiting.
std::string Chain(int levels, const std::string& inner) {
  std::string text;
  for (int i = 0; i < levels; ++i) text += "1 == (";
  return text + inner + std::string(levels, ')');
}

TEST(DescriptionJudgeTest, LiveOperandsOfInlinedJudgesCount) {
  // Peaks: J1 33, J2 64, J3 95, J4 126, J5 127 (accepted), J6 128 (refused).
  std::string text = "*Judge 1=J1: " + Chain(31, "1 == 1") + "\n";
  text += "*Judge 2=J2: " + Chain(31, "J1") + "\n";
  text += "*Judge 3=J3: " + Chain(31, "J2") + "\n";
  text += "*Judge 4=J4: " + Chain(31, "J3") + "\n";
  text += "*Judge 5=J5: " + Chain(1, "J4") + "\n";
  text += "*Judge 6=J6: " + Chain(2, "J4") + "\n";
  const auto result = ParseDescription(text);
  ASSERT_TRUE(result);
  EXPECT_EQ(result->judges.size(), 5u);
  EXPECT_EQ(IssueKinds(*result), std::vector<DescIssue>{DescIssue::kIllFormedProgram});
  EXPECT_EQ(result->issues.at(0).line, 6u);
}

TEST(DescriptionJudgeTest, SymbolsOfTheTablesAndEarlierJudges) {
  const auto result = ParseDescription(
      "*Judge 1=Mono: ZMD_dmColor == DMCOLOR_MONO\n"
      "*Judge 2=DuplexOn: ZMD_vdmFuncSelectDuplex\n"
      "*Judge 3: Mono && !DuplexOn || (ZMD_dmCopies > 99)\n"
      "*Judge 4=JudgeFoo: ZMD_dmCopies\n"  // a name that begins like a reference is a name
      "*Judge 5: JudgeFoo\n"
      "*Judge 6: ZMD_IDD_BASIC == 1\n");   // a page name is no item
  ASSERT_TRUE(result);
  EXPECT_EQ(IssueKinds(*result), std::vector<DescIssue>{DescIssue::kUnknownName});
  ASSERT_EQ(result->judges.size(), 5u);
  // A value symbol stands for its model value.
  EXPECT_EQ(Cells(result->judges[0]), (std::vector<DescCell>{{1, 15}, {2, 2030}, {3, 1}, {3, 10}}));
  EXPECT_EQ(Cells(result->judges[2]), (std::vector<DescCell>{{1, 15}, {2, 2030}, {3, 1}, {1, 61}, {3, 5}, {3, 3},
                                                              {1, 12}, {2, 99}, {3, 6}, {3, 4}, {3, 10}}));
  EXPECT_EQ(result->judges[3].number, 4);
  EXPECT_EQ(Cells(result->judges[4]), (std::vector<DescCell>{{1, 12}, {3, 10}}));
}

TEST(DescriptionJudgeTest, ADroppedJudgeTakesLaterJudgesThatNameItAlong) {
  const auto result = ParseDescription(
      "*Judge 1=Bad: ZMD_dmColor == DMCOLOR_PURPLE\n"
      "*Judge 2=Worse: Bad && ZMD_dmCopies\n"
      "*Judge 0=Zero: ZMD_dmCopies\n"
      "*Judge: ZMD_dmCopies\n"
      "*Judge x: ZMD_dmCopies\n"
      "*Judge 3=Cut: ZMD_dmCopies == -1\n"
      "*Judge 4=Fine: ZMD_dmCopies == 1\n"
      "*Judge 5: Zero || Cut || Fine\n");
  ASSERT_TRUE(result);
  EXPECT_EQ(IssueKinds(*result),
            (std::vector<DescIssue>{DescIssue::kUnknownName, DescIssue::kUnknownName, DescIssue::kNumberZero,
                                    DescIssue::kNumberZero, DescIssue::kBadNumber, DescIssue::kSyntax,
                                    DescIssue::kUnknownName}));
  ASSERT_EQ(result->judges.size(), 1u);
  EXPECT_EQ(result->judges[0].number, 4);
  EXPECT_EQ(result->droppedCount, 7u) << IssueList(*result);
}

}  // namespace
