// The constraint evaluator: operators (unsigned orderings, sign-extended constants), item
// operands (model values, text lengths, unknown items, repeated reads), the stack's bounds and
// nesting, disabled and hidden programs, rules and actions, and condition lists.
#include <string>
#include <vector>

#include "settings/constraints/eval_fixture.h"
#include "core/memory.h"
#include "settings/items/store.h"

namespace {

constexpr WORD kPaperSize = 8, kCopies = 12, kDuplex = 16, kCollate = 19, kFormName = 20, kDocumentName = 219;
constexpr WORD kSupport10014 = 250, kSupport10015 = 251, kSupport10016 = 252;
constexpr WORD kPageBasic = 1002;

using ConstraintEvalTest = ConstraintContextTest;

TEST_F(ConstraintEvalTest, OperatorsOnConstants) {
  const std::pair<const char*, LONG> cases[] = {
      {"5 == 5", 1}, {"5 == 6", 0}, {"5 != 6", 1}, {"5 != 5", 0}, {"3 && 2", 1}, {"3 && 0", 0},
      {"0 || 4", 1}, {"0 || 0", 0}, {"!0", 1},     {"!7", 0},     {"! !7", 1},    {"6 > 5", 1},
      {"5 > 5", 0},  {"4 < 5", 1},  {"5 < 5", 0},  {"5 >= 5", 1}, {"4 >= 5", 0}, {"5 <= 5", 1},
      {"6 <= 5", 0}, {"7", 7},      {"(1 == 1) && (2 == 3)", 0},  {"1 == 1 && 2 == 3", 0},
  };
  for (const auto& [expression, expected] : cases) EXPECT_EQ(Evaluate(expression), expected) << expression;
}

TEST_F(ConstraintEvalTest, OrderingsCompareUnsignedAndConstantsAreSignExtended) {
  // 65535 is the 16-bit constant -1: it is above every other value.
  EXPECT_EQ(Evaluate("65535"), -1);
  EXPECT_EQ(Evaluate("65535 > 5"), 1);
  EXPECT_EQ(Evaluate("5 < 65535"), 1);
  EXPECT_EQ(Evaluate("65535 <= 40000"), 0);
  // dmCopies is a signed 16-bit field: stored 0xFFFF reads -1.
  Set(kCopies, 0xFFFF);
  EXPECT_EQ(Evaluate("ZMD_dmCopies > 5"), 1);
  EXPECT_EQ(Evaluate("ZMD_dmCopies == 65535"), 1);
  for (DWORD copies : {0u, 1u, 0xFFFFu}) {
    Set(kCopies, copies);
    EXPECT_EQ(Evaluate("ZMD_dmCopies < 0"), 0) << copies;   // never
    EXPECT_EQ(Evaluate("ZMD_dmCopies >= 0"), 1) << copies;  // always
  }
}

TEST_F(ConstraintEvalTest, ItemsPushTheirModelValue) {
  Set(kPaperSize, 9);  // A4, model value 3009
  EXPECT_EQ(Evaluate("ZMD_dmPaperSize"), 3009);
  EXPECT_EQ(Evaluate("ZMD_dmPaperSize == DMPAPERSIZE_A4"), 1);
  EXPECT_EQ(Evaluate("ZMD_dmPaperSize == 9"), 0);
  Set(kDuplex, 2);  // no map: the stored value
  EXPECT_EQ(Evaluate("ZMD_dmDuplex == DMDUPLEX_VERTICAL"), 1);
}

TEST_F(ConstraintEvalTest, TextItemsPushTheirLengthInCharacters) {
  EXPECT_EQ(Evaluate("ZMD_vdmDocumentName"), 0);
  EXPECT_EQ(Evaluate("!ZMD_vdmDocumentName"), 1);
  ASSERT_TRUE(OptSetString(context_, Row(kDocumentName), u"Report"));  // ANSI field
  EXPECT_EQ(Evaluate("ZMD_vdmDocumentName == 6"), 1);
  ASSERT_TRUE(OptSetString(context_, Row(kFormName), u"Letter Plus"));  // wide field
  EXPECT_EQ(Evaluate("ZMD_dmFormName"), 11);
  // A field filled to its end without a NUL counts to its end.
  ASSERT_TRUE(OptWriteBytes(context_, Row(kDocumentName), "0123456789abcdefXYZ", 19));
  EXPECT_EQ(Evaluate("ZMD_vdmDocumentName"), 17);
  // Without a buffer for the text the item pushes 0.
  velm::platform::SetAllocationFault(1);
  EXPECT_EQ(CondEvaluate(context_, RawProgram({Item(kDocumentName), Const(0), Op(kOpEqual), kEnd}).get()), 1);
  velm::platform::SetAllocationFault(0);
}

TEST_F(ConstraintEvalTest, AnItemThatTheNextItemCellReadsAgainIsReadOnce) {
  ASSERT_TRUE(OptSetString(context_, Row(kDocumentName), u"Report"));
  // Each read of a text item takes one buffer.
  auto buffersFor = [&](const RawProgram& program, LONG expected) {
    const uint64_t before = velm::platform::AllocationCount();
    EXPECT_EQ(CondEvaluate(context_, program.get()), expected);
    return velm::platform::AllocationCount() - before;
  };
  // Cells in between do not matter; only the item of the previous item cell.
  EXPECT_EQ(buffersFor(RawProgram({Item(kDocumentName), Const(6), Op(kOpEqual), Item(kDocumentName), Const(5),
                                   Op(kOpGreater), Op(kOpAnd), kEnd}),
                       1),
            1u);
  EXPECT_EQ(buffersFor(RawProgram({Item(kDocumentName), Item(kCopies), Item(kDocumentName), Op(kOpEqual),
                                   Op(kOpOr), kEnd}),
                       1),
            2u);
}

TEST_F(ConstraintEvalTest, AnUnknownItemGivesZeroWhateverFollows) {
  for (WORD unknown : {WORD(0), WORD(963), WORD(10000), WORD(10278)}) {
    EXPECT_EQ(CondEvaluate(context_, RawProgram({Item(unknown), Op(kOpNot), kEnd}).get()), 0) << unknown;
    EXPECT_EQ(CondEvaluate(context_, RawProgram({Const(1), Item(unknown), Op(kOpOr), kEnd}).get()), 0) << unknown;
  }
  EXPECT_EQ(CondEvaluate(context_, nullptr), 0);
}

TEST_F(ConstraintEvalTest, OtherKindsAndOperatorNumbersAreSkippedAndTheEndGivesTheTop) {
  EXPECT_EQ(CondEvaluate(context_, RawProgram({Const(4), {0, 9}, {4, 1}, Op(0), Op(11), Op(0xFFFF), kEnd}).get()), 4);
  // Values below the top are left; cells after the end are never read.
  EXPECT_EQ(CondEvaluate(context_, RawProgram({Const(1), Const(2), Const(3), kEnd, Op(kOpNot)}).get()), 3);
}

TEST_F(ConstraintEvalTest, TheStackBoundsEndARunWithZero) {
  const CondStack& stack = *context_->work->condStack;
  std::vector<DescCell> full(kCondStackEntries, Const(7));
  full.push_back(kEnd);
  EXPECT_EQ(CondEvaluate(context_, RawProgram(full).get()), 7);
  full.insert(full.begin(), Const(7));
  EXPECT_EQ(CondEvaluate(context_, RawProgram(full).get()), 0);
  EXPECT_EQ(stack.top, 0u);
  // Underflow: an operator or the end without its operands.
  for (const RawProgram& program : {RawProgram({kEnd}), RawProgram({Op(kOpNot), Const(1), kEnd}),
                                    RawProgram({Const(1), Op(kOpEqual), kEnd}),
                                    RawProgram({Const(1), Op(kOpLessEqual), Const(1), kEnd})}) {
    EXPECT_EQ(CondEvaluate(context_, program.get()), 0);
    EXPECT_EQ(stack.top, 0u);
  }
  // Without a stack nothing runs; a new one serves again.
  CondFreeStack(context_);
  CondFreeStack(context_);
  EXPECT_EQ(CondEvaluate(context_, RawProgram({Const(1), kEnd}).get()), 0);
  ASSERT_EQ(CondAllocStack(context_), 0);
  EXPECT_EQ(CondEvaluate(context_, RawProgram({Const(1), kEnd}).get()), 1);
}

TEST_F(ConstraintEvalTest, ANestedRunWorksAboveItsCallersEntries) {
  // As when a computed item runs value checks in the middle of a program: 250 entries in use.
  CondStack& stack = *context_->work->condStack;
  for (DWORD i = 0; i < 250; ++i) stack.entries[i] = LONG(1000 + i);
  stack.top = 250;
  EXPECT_EQ(CondEvaluate(context_, RawProgram({Const(1), Const(2), Const(3), Const(4), Const(5), Const(6),
                                              Op(kOpLess), kEnd})
                                       .get()),
            1);
  EXPECT_EQ(CondEvaluate(context_, RawProgram({Const(1), Const(2), Const(3), Const(4), Const(5), Const(6), Const(7),
                                              kEnd})
                                       .get()),
            0);
  // It may not pop what is not its own.
  EXPECT_EQ(CondEvaluate(context_, RawProgram({Op(kOpOr), kEnd}).get()), 0);
  EXPECT_EQ(stack.top, 250u);
  for (DWORD i = 0; i < 250; ++i) ASSERT_EQ(stack.entries[i], LONG(1000 + i)) << i;
  stack.top = 0;
}

TEST_F(ConstraintEvalTest, DisabledAndHiddenComeFromTheItemOrItsValueEntry) {
  Describe(
      "*OpenUI *ZMD_dmPaperSize: PickOne\n*ZMD_dmPaperSize DMPAPERSIZE_A4: \"A4\"\n"
      "*ZMD_dmPaperSize DMPAPERSIZE_A5: \"A5\"\n*CloseUI\n"
      "*OpenUI *ZMD_dmCopies: Numeric\n*CloseUI\n"
      "*OpenUI *ZMD_dmCollate: Boolean\n*CloseUI\n"
      "*Judge 1=Many: ZMD_dmCopies > 1\n"
      "*Judge 2=Collated: ZMD_dmCollate\n"
      "*Item 1=Papers: { {DMPAPERSIZE_A4 Many NULL} {DMPAPERSIZE_A5 NULL Collated} }\n"
      "*Exclusive: { {ZMD_dmPaperSize Collated Many Papers NULL NULL NULL} }\n");
  const DescNode* paper = DescSlotNode(D(), kPaperSize);
  const DescNode* copies = DescSlotNode(D(), kCopies);
  ASSERT_NE(paper, nullptr);
  auto state = [&](DWORD value) {
    return std::string(CondIsDisabled(paper, value, context_) ? "D" : "-") +
           (CondIsHidden(paper, value, context_) ? "H" : "-");
  };
  EXPECT_EQ(state(0), "--");
  EXPECT_EQ(state(3009), "--");
  Set(kCopies, 2);
  // Value 0 is the item itself; A4 is disabled by its entry, A5 has no disabled program.
  EXPECT_EQ(state(0), "-H");
  EXPECT_EQ(state(3009), "D-");
  EXPECT_EQ(state(3011), "--");
  Set(kCollate, 1);
  EXPECT_EQ(state(0), "DH");
  EXPECT_EQ(state(3011), "-H");
  EXPECT_EQ(state(3008), "--");  // a value without an entry
  EXPECT_EQ(state(9), "--");     // stored values are not model values
  // No conditions block, no record, no description.
  EXPECT_FALSE(CondIsDisabled(copies, 0, context_));
  EXPECT_FALSE(CondIsHidden(nullptr, 0, context_));
  context_->description = nullptr;
  EXPECT_FALSE(CondIsDisabled(paper, 0, context_));
}

// Rules over dmCopies: `rules` is the body of Transact 1, run as dmCopies' rule list.
class ConstraintRulesTest : public ConstraintContextTest {
 protected:
  void DescribeRules(const std::string& rules) {
    Describe(
        "*OpenUI *ZMD_dmCopies: Numeric\n*CloseUI\n"
        "*Judge 1=Two: ZMD_dmCopies == 2\n"
        "*Judge 2=Named: ZMD_vdmDocumentName\n"
        "*Action 1=Three: { {ZMD_dmCopies 3} }\n"
        "*Action 2=Collate: { {ZMD_dmCollate 1} }\n"
        "*Action 3=Page: { {ZMD_dmCollate 5} {ZMD_IDD_BASIC 0} {ZMD_dmDuplex 3} }\n"
        "*Action 4=A4: { {ZMD_dmPaperSize DMPAPERSIZE_A4} {ZMD_dmDuplex DMDUPLEX_HORIZONTAL} }\n"
        "*Transact 1=Rules: { " +
        rules + " }\n*Exclusive: { {ZMD_dmCopies NULL NULL NULL NULL Rules NULL} }\n");
  }
  WORD Apply() { return CondApplyRules(Conditions(kCopies).rules, context_); }
};

TEST_F(ConstraintRulesTest, ActionsWriteModelValuesAndARuleWithoutProgramFires) {
  DescribeRules("{NULL A4}");
  EXPECT_EQ(Apply(), 0);
  EXPECT_EQ(Get(kPaperSize), 9u);  // model 3009 stored as 9
  EXPECT_EQ(Get(kDuplex), 3u);
  EXPECT_EQ(Row(kPaperSize)->changed, 1);
  EXPECT_EQ(context_->work->dirty, 1u);
}

TEST_F(ConstraintRulesTest, ASharedProgramAfterZeroIsNotRunAgainAfterOneItIsAndSeesTheWrites) {
  DescribeRules("{Two Three} {Two Collate}");
  Set(kCopies, 5);
  EXPECT_EQ(Apply(), 0);
  EXPECT_EQ(Get(kCopies), 5u);
  EXPECT_EQ(Get(kCollate), 0u);
  // With copies 2 the first rule fires, and the second, run again, sees copies 3.
  Set(kCopies, 2);
  EXPECT_EQ(Apply(), 0);
  EXPECT_EQ(Get(kCopies), 3u);
  EXPECT_EQ(Get(kCollate), 0u);

  // Counted through the text item's buffer: one run after a 0, two after a 1.
  DescribeRules("{Named Three} {Named Collate}");
  auto runs = [&] {
    const uint64_t before = velm::platform::AllocationCount();
    Apply();
    return velm::platform::AllocationCount() - before;
  };
  EXPECT_EQ(runs(), 1u);
  ASSERT_TRUE(OptSetString(context_, Row(kDocumentName), u"x"));
  EXPECT_EQ(runs(), 2u);
  EXPECT_EQ(Get(kCollate), 1u);
}

TEST_F(ConstraintRulesTest, APageActionEndsTheRunWithItsTarget) {
  DescribeRules("{NULL Page} {NULL Three}");
  EXPECT_EQ(Apply(), kPageBasic);
  EXPECT_EQ(Get(kCollate), 5u);  // the action before it ran
  EXPECT_EQ(Get(kDuplex), 0u);   // the one after it did not, nor the next rule
  EXPECT_EQ(Get(kCopies), 0u);
  EXPECT_EQ(CondApplyNodeRules(DescSlotNode(D(), kCopies), context_), kPageBasic);
  EXPECT_EQ(CondApplyNodeRules(nullptr, context_), 0);
}

TEST_F(ConstraintEvalTest, AllRulesRunInItemTableOrderPastAPageAction) {
  // File order puts dmCollate's rules first; the table order runs dmCopies' first, whose page
  // action ends only its own run.
  Describe(
      "*OpenUI *ZMD_dmCopies: Numeric\n*CloseUI\n*OpenUI *ZMD_dmCollate: Boolean\n*CloseUI\n"
      "*Action 1=Seven: { {ZMD_dmDuplex 7} {ZMD_IDD_BASIC 0} {ZMD_dmScale 50} }\n"
      "*Action 2=Eight: { {ZMD_dmDuplex 8} }\n"
      "*Transact 1=First: { {NULL Seven} }\n*Transact 2=Second: { {NULL Eight} }\n"
      "*Exclusive: { {ZMD_dmCollate NULL NULL NULL NULL Second NULL} {ZMD_dmCopies NULL NULL NULL NULL First NULL} }\n");
  CondApplyAllRules(context_);
  EXPECT_EQ(Get(kDuplex), 8u);
  EXPECT_EQ(Get(11), 0u);  // dmScale: after the page action
}

// ---- Condition lists ------------------------------------------------------------------------

class ConditionListTest : public ConstraintContextTest {
 protected:
  // Terms over items 250, 251, 252 (condition ids 443, 444, 445), each asking for 1.
  std::vector<CondNode> List(std::initializer_list<std::pair<WORD, DWORD>> terms) {
    std::vector<CondNode> nodes;
    for (const auto& [item, flags] : terms) nodes.push_back({nullptr, flags, DWORD(item + 193), 1});
    for (size_t i = 0; i + 1 < nodes.size(); ++i) nodes[i].next = &nodes[i + 1];
    return nodes;
  }
  int Holds(const std::vector<CondNode>& list) { return CondEvalList(context_, list.empty() ? nullptr : &list[0]); }
  // The list's answer for every setting of A and B: "ab" for A = 0/1, B = 0/1.
  std::string Table(const std::vector<CondNode>& list) {
    std::string out;
    for (DWORD a : {0u, 1u}) {
      for (DWORD b : {0u, 1u}) {
        OptSetValue(context_, kSupport10014, a);
        OptSetValue(context_, kSupport10015, b);
        out += char('0' + Holds(list));
      }
    }
    return out;
  }
};

TEST_F(ConditionListTest, TruthTablesByFlags) {
  // Results for (A, B) = 00, 01, 10, 11.
  EXPECT_EQ(Table(List({{kSupport10014, 0}})), "0011");
  EXPECT_EQ(Table(List({{kSupport10014, 2}})), "0011");
  EXPECT_EQ(Table(List({{kSupport10014, 0}, {kSupport10015, 0}})), "0111");  // either
  EXPECT_EQ(Table(List({{kSupport10014, 0}, {kSupport10015, 1}})), "0001");  // both
  // Taken as the walk is written: a term with flag 2 after a plain one is never looked at, so the
  // list answers as its first term (whether it was meant as an alternative is an open question).
  EXPECT_EQ(Table(List({{kSupport10014, 0}, {kSupport10015, 2}})), "0011");
  EXPECT_EQ(Table(List({{kSupport10014, 2}, {kSupport10015, 0}})), "0101");
  EXPECT_EQ(Table(List({{kSupport10014, 1}, {kSupport10015, 1}})), "0001");
}

TEST_F(ConditionListTest, IdsOutsideTheRangeAreIgnoredAndIdsMapToItemsLessOneHundredNinetyThree) {
  EXPECT_EQ(Holds({}), 1);
  std::vector<CondNode> outside = {{nullptr, 0, 442, 1}, {nullptr, 0, 539, 1}, {nullptr, 0, 250, 1}};
  outside[0].next = &outside[1];
  outside[1].next = &outside[2];
  EXPECT_EQ(Holds(outside), 1);
  OptSetValue(context_, kSupport10016, 1);
  EXPECT_EQ(Holds(List({{kSupport10016, 0}})), 1);
  std::vector<CondNode> last = {{nullptr, 0, 538, 0}};  // item 345, which reads 0
  EXPECT_EQ(Holds(last), 1);
  last[0].value = 1;
  EXPECT_EQ(Holds(last), 0);
}

TEST_F(ConditionListTest, AListThatLoopsDoesNotHold) {
  std::vector<CondNode> loop = {{nullptr, 0, 100, 0}, {nullptr, 0, 101, 0}};
  loop[0].next = &loop[1];
  loop[1].next = &loop[0];
  EXPECT_EQ(Holds(loop), 0);
  OptSetValue(context_, kSupport10014, 1);
  std::vector<CondNode> matching = List({{kSupport10014, 2}, {kSupport10014, 2}});
  matching[1].next = &matching[0];
  EXPECT_EQ(Holds(matching), 0);
}

}  // namespace
