// The compiled block: the shipped description compiles whole, the header's slots, the exact bytes
// of a small block, references resolved to shared elements, rules whose Judge names nothing, and
// job-control templates.
#include <string>
#include <vector>

#include "settings/description/image_fixture.h"

namespace {

using velm::test::CompileText;
using velm::test::Image;
using velm::test::IssueKinds;
using velm::test::ParseDescription;

std::vector<const DescNode*> Nodes(const ModelDescription* d) {
  std::vector<const DescNode*> nodes;
  for (const DescNode* node = DescFirstNode(d); node && nodes.size() < 100000; node = DescNextNode(d, node))
    nodes.push_back(node);
  return nodes;
}

TEST(DescriptionImageTest, TheShippedDescriptionCompilesWhole) {
  const auto parsed = ParseDescription(velm::test::ShippedDescriptionText());
  ASSERT_TRUE(parsed);
  const Image image(DescBuildImage(parsed.get(), DescSourceStamp{1, 2}));
  ASSERT_TRUE(image);
  EXPECT_EQ(parsed->issueCount, 0u) << velm::test::IssueList(*parsed);
  EXPECT_TRUE(DescValidateImage(image->bytes, image->size));
  EXPECT_EQ(std::u16string(DescImageVersion(image.get())), u"3.60");
  EXPECT_EQ(DescLoadU32(image->bytes + kDescOffImageSize), image->size);
  EXPECT_EQ(Nodes(image.get()).size(), parsed->records.size());
  EXPECT_EQ(std::u16string(DescUiResDllName(image.get())), u"qnresus.dll");
  EXPECT_EQ(std::u16string(DescExcDepDllName(image.get())), u"qnexcdep.dll");
  for (int point = kPointJobStart; point <= kPointDocReset; ++point) EXPECT_NE(DescCommandTree(image.get(), point), nullptr);
  // The stamp: this build's tables, the source named, a checksum over the rest.
  EXPECT_EQ(DescLoadU64(image->bytes + kDescOffStampSymbols), DescSymbolTablesHash());
  EXPECT_EQ(DescLoadU64(image->bytes + kDescOffStampSourceSize), 1u);
  EXPECT_EQ(DescLoadU64(image->bytes + kDescOffStampSourceTime), 2u);
  EXPECT_EQ(DescLoadU64(image->bytes + kDescOffStampChecksum), DescImageChecksum(image->bytes, image->size));
}

TEST(DescriptionImageTest, RecordsSitInTheHeaderSlotsOfTheirItems) {
  const Image image = CompileText(
      "*OpenUI *ZMD_dmDeviceName: PickOne\n*CloseUI\n"
      "*OpenUI *ZMD_vdmPrintOption44: PickOne\n*CloseUI\n"
      "*OpenUI *ZMD_vdmIniFileName: PickOne\n*CloseUI\n"
      "*OpenUI *ZMD_wdmCustomFunc31: PickOne\n*CloseUI\n"
      "*OpenUI *ZMD_vdmServerLogCode: PickOne\n*CloseUI\n"
      "*OpenUI *ZMD_vdmMPDefTray: PickOne\n*CloseUI\n"
      "*OpenUI *ZMD_wdmWork948: PickOne\n*CloseUI\n");
  ASSERT_TRUE(image);
  const std::vector<const DescNode*> nodes = Nodes(image.get());
  ASSERT_EQ(nodes.size(), 7u);
  const struct {
    WORD item;
    DWORD slotByte;
  } slots[] = {{1, 40}, {429, 1752}, {707, 3972}, {947, 4932}, {10001, 2864}, {10277, 3968}};
  for (size_t i = 0; i < std::size(slots); ++i) {
    const DWORD link = DescLoadU32(image->bytes + slots[i].slotByte);
    EXPECT_EQ(link & 0xF, 1u) << slots[i].item;
    EXPECT_EQ(image->bytes + (link >> 4), reinterpret_cast<const BYTE*>(nodes[i])) << slots[i].item;
    EXPECT_EQ(DescSlotNode(image.get(), slots[i].item), nodes[i]);
    EXPECT_EQ(DescNodeItemId(nodes[i]), slots[i].item);
  }
  EXPECT_EQ(DescHeaderSlotOfItem(706) * 4, 2860);  // the last private item, which has no symbol
  // Item 948 has no slot: only the list finds it.
  EXPECT_EQ(DescSlotNode(image.get(), 948), nullptr);
  EXPECT_EQ(DescNodeItemId(nodes[6]), 948);
}

// The whole block of a one-item description, byte for byte after the header and stamp.
TEST(DescriptionImageTest, ASmallBlockIsLaidOutByteForByte) {
  const Image image = CompileText(
      "*FileVersion: 3.60\n"
      "*OpenUI *ZMD_dmOrientation: PickOne\n"
      "*ZMD_dmOrientation DMORIENTATION_PORTRAIT: \"P\"\n"
      "*ZMD_dmOrientation DMORIENTATION_LANDSCAPE: \"L\"\n"
      "*DefaultZMD_dmOrientation: DMORIENTATION_LANDSCAPE\n"
      "*CloseUI\n");
  ASSERT_TRUE(image);
  ASSERT_EQ(image->size, 5088u);
  const BYTE* b = image->bytes;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(b), 10), std::string("3\0.\0006\0000\0\0\0", 10));
  EXPECT_EQ(DescLoadU32(b + 32), 5088u);
  EXPECT_EQ(DescLoadU32(b + 36), (5024u << 4) | 1);  // the first record
  EXPECT_EQ(DescLoadU32(b + 36 + 4 * 7), (5024u << 4) | 1);  // item 7's slot
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(b + kDescOffStampMagic), 8), std::string("VBCS\1\0\0\0", 8));
  const std::string parts(reinterpret_cast<const char*>(b + 5024), 5088 - 5024);
  const std::string expected(
      // UI record at 5024: next, key 7, number 0, item 7, PickOne, default index 1, plain list,
      // no conditions, values at 5056, no command texts.
      "\0\0\0\0" "\7\0" "\0\0" "\7\0" "\1\0" "\1\0" "\1\0" "\0\0\0\0" "\x01\x3C\x01\0" "\0\0\0\0" "\0\0\0\0"
      // Entries at 5056 and 5068: next, model value (2026, 2027), list kind, text link.
      "\xC1\x3C\x01\0" "\xEA\x07" "\1\0" "\x81\x3D\x01\0"
      "\0\0\0\0" "\xEB\x07" "\1\0" "\xC1\x3D\x01\0"
      // Texts at 5080 and 5084, each on its own 4-byte boundary.
      "P\0\0\0" "L\0\0\0",
      64);
  EXPECT_EQ(parts, expected);
}

TEST(DescriptionImageTest, ReferencesByNumberAndByNameLeadToOneElement) {
  const Image image = CompileText(
      "*OpenUI *ZMD_dmPaperSize: PickOne\n*ZMD_dmPaperSize DMPAPERSIZE_A4: \"A4\"\n*CloseUI\n"
      "*Judge 5=Paper: ZMD_dmPaperSize == DMPAPERSIZE_A4\n"
      "*Action 2=Off: { {ZMD_vdmFuncSelectDuplex 0} {ZMD_dmCopies 3} }\n"
      "*Item 4=Values: { {DMPAPERSIZE_A4 Paper Judge5} }\n"
      "*Transact 3=Rule: { {Paper Off} {Judge5 Action2} {NULL Off} }\n"
      "*Exclusive: { {ZMD_dmPaperSize Judge5 NULL Values NULL Rule Transact3} }\n");
  ASSERT_TRUE(image);
  const ModelDescription* d = image.get();
  const DescConditions* block = DescNodeConditions(d, DescSlotNode(d, 8));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block, DescFirstConditions(d));
  DescConditionsView conditions{};
  DescReadConditions(d, block, &conditions);
  EXPECT_EQ(conditions.key, 8);
  EXPECT_EQ(conditions.itemId, 8);
  EXPECT_EQ(conditions.next, nullptr);
  EXPECT_EQ(conditions.secondRules, conditions.rules);  // one set, named and numbered
  EXPECT_EQ(conditions.hidden, nullptr);
  DescItemValueView value{};
  DescReadItemValue(d, conditions.values, &value);
  EXPECT_EQ(value.value, 3009);
  EXPECT_EQ(value.disabled, conditions.disabled);
  EXPECT_EQ(value.hidden, conditions.disabled);

  DescRuleView rules[3] = {};
  DescReadRule(d, conditions.rules, &rules[0]);
  DescReadRule(d, rules[0].next, &rules[1]);
  DescReadRule(d, rules[1].next, &rules[2]);
  EXPECT_EQ(rules[2].next, nullptr);
  EXPECT_EQ(rules[0].program, conditions.disabled);
  EXPECT_EQ(rules[1].program, conditions.disabled);
  EXPECT_EQ(rules[2].program, nullptr);  // NULL: always fires
  EXPECT_EQ(rules[0].actions, rules[1].actions);
  EXPECT_EQ(rules[0].actions, rules[2].actions);
  DescActionView actions[2] = {};
  DescReadAction(d, rules[0].actions, &actions[0]);
  DescReadAction(d, actions[0].next, &actions[1]);
  EXPECT_EQ(actions[0].target, 61);
  EXPECT_EQ(actions[1].target, 12);
  EXPECT_EQ(actions[1].value, 3);
  EXPECT_EQ(actions[1].next, nullptr);
  // The program itself: item 8, constant 3009, ==, end.
  const DescCell cells[] = {{1, 8}, {2, 3009}, {3, 1}, {3, 10}};
  for (DWORD i = 0; i < 4; ++i) EXPECT_EQ(DescProgramCell(conditions.disabled, i), cells[i]) << i;
}

TEST(DescriptionImageTest, ARuleWhoseJudgeNamesNothingIsDroppedAndReported) {
  const auto parsed = ParseDescription(
      "*OpenUI *ZMD_dmCopies: Numeric\n*CloseUI\n"
      "*Judge 1=Many: ZMD_dmCopies > 1\n"
      "*Action 1=One: { {ZMD_dmCopies 1} }\n"
      "*Item 1=Values: { {1 Judge42 NULL} }\n"
      "*Transact 1=Rules: { {Judge99 One} {Mistyped One} {NULL One} {Many Action7} }\n"
      "*Exclusive: { {ZMD_dmCopies NULL NULL Values NULL Rules NULL} {ZMD_NoSuchItem NULL NULL NULL NULL NULL NULL} }\n");
  ASSERT_TRUE(parsed);
  const Image image(DescBuildImage(parsed.get(), {}));
  ASSERT_TRUE(image);
  // The parser drops the rule of the unknown name; the compiler the one of a number that no Judge
  // has, the disabled program of a number, the Action set and the Exclusive entry of an unknown item.
  EXPECT_EQ(IssueKinds(*parsed),
            (std::vector<DescIssue>{DescIssue::kUnresolvedReference, DescIssue::kUnresolvedReference,
                                    DescIssue::kUnresolvedReference, DescIssue::kUnresolvedReference,
                                    DescIssue::kUnknownItemSymbol}));
  EXPECT_NE(parsed->issues[0].line, 0u);
  for (size_t i = 1; i < parsed->issues.size(); ++i) EXPECT_EQ(parsed->issues[i].line, 0u) << i;
  EXPECT_EQ(velm::test::Text(parsed->issues[1].keyword), "Item");
  EXPECT_EQ(velm::test::Text(parsed->issues[2].keyword), "Transact");

  const ModelDescription* d = image.get();
  DescConditionsView conditions{};
  DescReadConditions(d, DescFirstConditions(d), &conditions);
  EXPECT_EQ(conditions.next, nullptr);  // only dmCopies has a block
  DescItemValueView value{};
  DescReadItemValue(d, conditions.values, &value);
  EXPECT_EQ(value.disabled, nullptr);
  DescRuleView first{}, second{};
  DescReadRule(d, conditions.rules, &first);
  DescReadRule(d, first.next, &second);
  EXPECT_EQ(first.program, nullptr);  // the NULL rule
  EXPECT_NE(first.actions, nullptr);
  EXPECT_NE(second.program, nullptr);  // Many, with an Action set that names nothing
  EXPECT_EQ(second.actions, nullptr);
  EXPECT_EQ(second.next, nullptr);
}

TEST(DescriptionImageTest, IdentityRecordsShareTheListAndNumberedCopiesOwnOne) {
  const Image image = CompileText(
      "*OpenUI *ZMD_dmMediaType: PickOne\n"
      "*ZMD_dmMediaType DMMEDIATYPE_PLAIN: \"PLAIN\"\n*ZMD_dmMediaType DMMEDIATYPE_THICK: \"THICK\"\n"
      "*DefaultZMD_dmMediaType: DMMEDIATYPE_THICK\n"
      "*OptionCommand: { \"@PJL SET MEDIATYPE = \" \"<0D0A>\" }\n*CloseUI\n"
      "*OpenUI *ZMD_vdmMediaType: Identity *ZMD_dmMediaType\n*CloseUI\n"
      "*OpenUI *ZMD_dmMediaType 2: PickOne\n*ZMD_dmMediaType DMMEDIATYPE_GLOSSY: \"GLOSSY\"\n"
      "*OptionCommand: { \"@PJL SET PAGEMEDIA = \" \"<0D0A>\" }\n*CloseUI\n");
  ASSERT_TRUE(image);
  const ModelDescription* d = image.get();
  const std::vector<const DescNode*> nodes = Nodes(d);
  ASSERT_EQ(nodes.size(), 3u);
  const DescNode* media = nodes[0];
  const DescNode* identity = nodes[1];
  const DescNode* copy = nodes[2];
  EXPECT_EQ(DescSlotNode(d, 378), identity);
  EXPECT_EQ(DescSlotNode(d, DescNodeItemId(media)), media);  // the copy is reached by the list only
  EXPECT_EQ(DescNodeFirstValue(d, identity), DescNodeFirstValue(d, media));
  EXPECT_EQ(DescNodeType(identity), kUiIdentity | kUiPickOne);
  EXPECT_EQ(DescNodeNumber(identity), DescNodeKey(media));
  EXPECT_EQ(DescNodeDefaultIndex(identity), 1);
  EXPECT_EQ(DescNodeNumber(copy), 2);
  EXPECT_EQ(DescNodeDefaultIndex(copy), 1);
  EXPECT_NE(DescNodeFirstValue(d, copy), DescNodeFirstValue(d, media));
  std::vector<std::string> texts;
  for (const DescValue* v = DescNodeFirstValue(d, copy); v; v = DescNextValue(d, v)) texts.push_back(DescValueText(d, v));
  EXPECT_EQ(texts, (std::vector<std::string>{"PLAIN", "THICK", "GLOSSY"}));
  EXPECT_EQ(DescValueValue(DescNextValue(d, DescNodeFirstValue(d, media))), DescValueValue(DescNextValue(d, DescNodeFirstValue(d, copy))));
  const char* prefix = nullptr;
  const char* suffix = nullptr;
  ASSERT_TRUE(DescNodeCommand(d, copy, &prefix, &suffix));
  EXPECT_STREQ(prefix, "@PJL SET PAGEMEDIA = ");
  EXPECT_STREQ(suffix, "\r\n");
  ASSERT_TRUE(DescNodeCommand(d, media, &prefix, &suffix));
  EXPECT_STREQ(prefix, "@PJL SET MEDIATYPE = ");
  EXPECT_FALSE(DescNodeCommand(d, identity, &prefix, &suffix));
}

std::vector<DescTemplateNodeView> ListOf(const ModelDescription* d, const DescTemplateNode* node) {
  std::vector<DescTemplateNodeView> list;
  for (; node && list.size() < 100; node = list.back().next) {
    list.emplace_back();
    DescReadTemplateNode(d, node, &list.back());
  }
  return list;
}

TEST(DescriptionImageTest, TemplatesNestTheirBranchesAndCarryTheirTexts) {
  const auto parsed = ParseDescription(
      "*CommandString 1: \"A<0D0A>\"\n"
      "*Judge 1=One: ZMD_dmCopies > 1\n"
      "*Judge 2=Two: ZMD_dmCopies > 2\n"
      "*CommandGroup: JobStart {\n"
      "  Type: StringType 1\n"
      "  Command: One { Type: GroupType ZMD_dmCopies -3 } ElseIf: Two { Type: FontType } Else { Type: StringType 9 }\n"
      "}\n"
      "*CommandGroup: PageEnd { Command: Judge7 { Type: FontType } }\n");
  ASSERT_TRUE(parsed);
  const Image image(DescBuildImage(parsed.get(), {}));
  ASSERT_TRUE(image);
  // Command string 9 does not exist (its node writes nothing); Judge 7 neither, which drops the
  // whole template rather than guess at its branch.
  EXPECT_EQ(IssueKinds(*parsed),
            (std::vector<DescIssue>{DescIssue::kUnresolvedReference, DescIssue::kUnresolvedReference}));
  EXPECT_EQ(parsed->droppedCount, 1u);
  const ModelDescription* d = image.get();
  EXPECT_EQ(DescCommandTree(d, kPointPageEnd), nullptr);
  EXPECT_EQ(DescCommandTree(d, kPointJobEnd), nullptr);

  DescBranchView top{};
  DescReadBranch(d, DescCommandTree(d, kPointJobStart), &top);
  EXPECT_EQ(top.program, nullptr);
  EXPECT_EQ(top.elseList, nullptr);
  const auto list = ListOf(d, top.thenList);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].kind, kCommandString);
  EXPECT_EQ(list[0].textLength, 4u);
  EXPECT_STREQ(list[0].text, "A\r\n");
  ASSERT_EQ(list[1].kind, kCommandConditional);
  DescBranchView one{};
  DescReadBranch(d, list[1].branch, &one);
  EXPECT_EQ(DescProgramCell(one.program, 0), (DescCell{1, 12}));
  EXPECT_EQ(DescProgramCell(one.program, 1), (DescCell{2, 1}));
  const auto thenOne = ListOf(d, one.thenList);
  ASSERT_EQ(thenOne.size(), 1u);
  EXPECT_EQ(thenOne[0].kind, kCommandGroup);
  EXPECT_EQ(thenOne[0].itemId, 12);
  EXPECT_EQ(thenOne[0].number, -3);
  const auto elseOne = ListOf(d, one.elseList);
  ASSERT_EQ(elseOne.size(), 1u);
  ASSERT_EQ(elseOne[0].kind, kCommandConditional);  // the ElseIf
  DescBranchView two{};
  DescReadBranch(d, elseOne[0].branch, &two);
  EXPECT_EQ(DescProgramCell(two.program, 1), (DescCell{2, 2}));
  const auto thenTwo = ListOf(d, two.thenList);
  const auto elseTwo = ListOf(d, two.elseList);
  ASSERT_EQ(thenTwo.size(), 1u);
  ASSERT_EQ(elseTwo.size(), 1u);
  EXPECT_EQ(thenTwo[0].kind, kCommandFont);
  EXPECT_EQ(elseTwo[0].kind, kCommandString);
  EXPECT_EQ(elseTwo[0].text, nullptr);
}

}  // namespace
