// UI blocks and their lines: records and slots, option and default lines, numbered copies,
// Identity records, range, string and command lines, and the per-value paper, tray and font
// statements.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "settings/description/description_fixture.h"

namespace {

using velm::test::IssueKinds;
using velm::test::IssueList;
using velm::test::ParseDescription;
using velm::test::Text;

constexpr WORD kPortrait = 2026;
constexpr WORD kLandscape = 2027;

const char kOrientation[] =
    "*OpenUI *ZMD_dmOrientation: PickOne\n"
    "*ZMD_dmOrientation DMORIENTATION_PORTRAIT: \"PORTRAIT\"\n"
    "*ZMD_dmOrientation DMORIENTATION_LANDSCAPE: \"LANDSCAPE\"\n"
    "*DefaultZMD_dmOrientation: DMORIENTATION_LANDSCAPE\n"
    "*OptionCommand: { \"@PJL SET ORIENTATION = \" \" <0D0A>\" }\n"
    "*CloseUI\n";

std::vector<WORD> Values(const DescUiRecord& record) {
  std::vector<WORD> values;
  for (const DescValueEntry& entry : record.values->entries) values.push_back(entry.value);
  return values;
}

TEST(DescriptionUiBlockTest, RecordGoesIntoItsItemSlotAndTheList) {
  const auto result = ParseDescription(kOrientation);
  ASSERT_TRUE(result);
  EXPECT_EQ(result->issueCount, 0u) << IssueList(*result);
  ASSERT_EQ(result->records.size(), 1u);
  const DescUiRecord& record = result->records[0];
  EXPECT_EQ(record.key, 7);
  EXPECT_EQ(record.itemId, 7);
  EXPECT_EQ(record.number, 0);
  EXPECT_EQ(record.type, kUiPickOne);
  EXPECT_EQ(record.defaultIndex, 1);
  EXPECT_EQ(Values(record), (std::vector<WORD>{kPortrait, kLandscape}));
  EXPECT_EQ(Text(record.values->entries[1].text), "LANDSCAPE");
  EXPECT_EQ(result->slots[DescHeaderSlotOfItem(7)], &record);
  EXPECT_EQ(DescFindParsedRecord(result.get(), 7), &record);
  EXPECT_EQ(DescFindParsedRecord(result.get(), 8), nullptr);
}

TEST(DescriptionUiBlockTest, HeaderSlotsAndCommandPoints) {
  EXPECT_EQ(DescHeaderSlotOfItem(0), -1);
  EXPECT_EQ(DescHeaderSlotOfItem(1) * 4, 40);
  EXPECT_EQ(DescHeaderSlotOfItem(706) * 4, 2860);
  EXPECT_EQ(DescHeaderSlotOfItem(10001) * 4, 2864);
  EXPECT_EQ(DescHeaderSlotOfItem(10277) * 4, 3968);
  EXPECT_EQ(DescHeaderSlotOfItem(707) * 4, 3972);
  EXPECT_EQ(DescHeaderSlotOfItem(947) * 4, 4932);
  EXPECT_EQ(DescHeaderSlotOfItem(948), -1);
  EXPECT_EQ(DescHeaderSlotOfItem(5000), -1);
  EXPECT_EQ(DescHeaderSlotOfItem(10278), -1);
  // The image orders the job points differently from their numbers.
  EXPECT_EQ(DescCommandPointOffset(kPointJobStart), 4944);
  EXPECT_EQ(DescCommandPointOffset(kPointJobEnd), 4948);
  EXPECT_EQ(DescCommandPointOffset(kPointDocReset), 4952);
  EXPECT_EQ(DescCommandPointOffset(kPointPageStart), 4956);
  EXPECT_EQ(DescCommandPointOffset(kPointPageEnd), 4960);
  EXPECT_EQ(DescCommandPointOffset(0), 0);
  EXPECT_EQ(DescCommandPointOffset(6), 0);
}

TEST(DescriptionUiBlockTest, ItemsWithoutASlotAreFoundThroughTheList) {
  const auto result = ParseDescription("*OpenUI *ZMD_wdmWork955: Numeric\n*NumericValue: \"1 5 0 9\"\n*CloseUI\n");
  ASSERT_TRUE(result);
  ASSERT_EQ(result->records.size(), 1u);
  EXPECT_EQ(DescFindParsedRecord(result.get(), 955), &result->records[0]);
  EXPECT_EQ(DescParsedDefaultValue(result.get(), 955), 5);
}

TEST(DescriptionUiBlockTest, OpenUiRefusals) {
  const auto result = ParseDescription(
      "*OpenUI *ZMD_dmOrientation: PickOne\n"
      "*OpenUI *ZMD_dmColor: PickOne\n"         // a block is open
      "*ZMD_dmOrientation DMORIENTATION_PORTRAIT: \"P\"\n"
      "*ZMD_dmColor DMCOLOR_MONO: \"M\"\n"      // the colour block never opened
      "*CloseUI\n"
      "*CloseUI\n"                              // nothing left to close
      "*OpenUI ZMD_dmColor: PickOne\n"          // no star
      "*OpenUI *ZMD_NoSuchItem: PickOne\n"
      "*OpenUI *ZMD_IDD_BASIC: PickOne\n"       // a page name, not an item
      "*OpenUI *ZMD_dmColor 99999: PickOne\n"   // a record number beyond 16 bits
      "*OpenUI: PickOne\n");
  ASSERT_TRUE(result);
  EXPECT_EQ(IssueKinds(*result),
            (std::vector<DescIssue>{DescIssue::kBlockAlreadyOpen, DescIssue::kOutsideBlock, DescIssue::kNoOpenBlock,
                                    DescIssue::kSyntax, DescIssue::kUnknownItemSymbol, DescIssue::kUnknownItemSymbol,
                                    DescIssue::kBadNumber, DescIssue::kSyntax}));
  EXPECT_EQ(result->droppedCount, 8u);
  ASSERT_EQ(result->records.size(), 1u);
  EXPECT_EQ(Values(result->records[0]), std::vector<WORD>{kPortrait});
}

TEST(DescriptionUiBlockTest, TypesAndFlags) {
  const auto result = ParseDescription(
      "*OpenUI *ZMD_dmColor: PickOne|TypeUnknown\n*CloseUI\n"
      "*OpenUI *ZMD_dmDuplex: PickOne | TypeUnknown\n*CloseUI\n"
      "*OpenUI *ZMD_dmPaperSize: PickPage\n*CloseUI\n"
      "*OpenUI *ZMD_dmDefaultSource: PickSlot\n*CloseUI\n"
      "*OpenUI *ZMD_dmScale: Numeric\n*CloseUI\n"
      "*OpenUI *ZMD_vdmUserID: String\n*CloseUI\n"
      "*OpenUI *ZMD_vdmDeviceFontSelect: FontTbl\n*CloseUI\n"
      "*OpenUI *ZMD_dmCollate: PickMany\n*CloseUI\n"
      "*OpenUI *ZMD_dmTTOption: Nonsense\n*CloseUI\n");
  ASSERT_TRUE(result);
  EXPECT_EQ(result->issueCount, 0u) << IssueList(*result);
  std::vector<WORD> types;
  for (const DescUiRecord& record : result->records) types.push_back(record.type);
  EXPECT_EQ(types, (std::vector<WORD>{0x2001, 0x2001, 0x101, 0x201, 0x8, 0x10, 0x401, 0x2, 0}));
}

TEST(DescriptionUiBlockTest, CloseTurnsTheDefaultValueIntoAnIndex) {
  const auto result = ParseDescription(
      // The default names the second entry.
      "*OpenUI *ZMD_dmOrientation: PickOne\n"
      "*DefaultZMD_dmOrientation: DMORIENTATION_LANDSCAPE\n"  // may come before the entries
      "*ZMD_dmOrientation DMORIENTATION_PORTRAIT: \"P\"\n"
      "*ZMD_dmOrientation DMORIENTATION_LANDSCAPE: \"L\"\n"
      "*CloseUI\n"
      // A default that no entry holds gives index 0.
      "*OpenUI *ZMD_dmColor: PickOne\n"
      "*ZMD_dmColor DMCOLOR_COLOR: \"C\"\n"
      "*ZMD_dmColor DMCOLOR_MONO: \"M\"\n"
      "*DefaultZMD_dmColor: DMDUPLEX_VERTICAL\n"
      "*CloseUI\n"
      // Without a default line the entry of value 0 is the default.
      "*OpenUI *ZMD_vdmLanguageID: PickOne\n"
      "*ZMD_vdmLanguageID: IDList { VDMLANGUAGEID_CZ VDMLANGUAGEID_US VDMLANGUAGEID_JP }\n"
      "*CloseUI\n"
      // An unknown default is dropped.
      "*OpenUI *ZMD_dmDuplex: PickOne\n"
      "*ZMD_dmDuplex DMDUPLEX_SIMPLEX: \"S\"\n"
      "*DefaultZMD_dmDuplex: DMDUPLEX_NOSUCH\n"
      "*CloseUI: *ZMD_dmDuplex\n");
  ASSERT_TRUE(result);
  EXPECT_EQ(IssueKinds(*result), std::vector<DescIssue>{DescIssue::kUnknownValueSymbol});
  ASSERT_EQ(result->records.size(), 4u);
  EXPECT_EQ(result->records[0].defaultIndex, 1);
  EXPECT_EQ(result->records[1].defaultIndex, 0);
  EXPECT_EQ(result->records[2].defaultIndex, 2);
  EXPECT_EQ(result->records[3].defaultIndex, 0);
  for (const DescUiRecord& record : result->records) EXPECT_FALSE(record.defaultPending);
}

TEST(DescriptionUiBlockTest, ABlockLeftOpenAtTheEndIsClosed) {
  const auto result = ParseDescription(
      "*OpenUI *ZMD_dmOrientation: PickOne\n"
      "*ZMD_dmOrientation DMORIENTATION_PORTRAIT: \"P\"\n"
      "*ZMD_dmOrientation DMORIENTATION_LANDSCAPE: \"L\"\n"
      "*DefaultZMD_dmOrientation: DMORIENTATION_LANDSCAPE");
  ASSERT_TRUE(result);
  EXPECT_EQ(result->records.at(0).defaultIndex, 1);
  EXPECT_FALSE(result->records[0].defaultPending);
}

TEST(DescriptionUiBlockTest, AValueStandsOnceInAList) {
  const auto result = ParseDescription(
      "*OpenUI *ZMD_dmOrientation: PickOne\n"
      "*ZMD_dmOrientation DMORIENTATION_PORTRAIT: \"FIRST\"\n"
      "*ZMD_dmOrientation DMORIENTATION_PORTRAIT: \"AGAIN\"\n"
      "*ZMD_dmOrientation: IDList { {DMORIENTATION_LANDSCAPE \"L\"} {DMORIENTATION_PORTRAIT \"THIRD\"} }\n"
      "*CloseUI\n");
  ASSERT_TRUE(result);
  ASSERT_EQ(result->issues.size(), 2u);
  EXPECT_EQ(result->issues[0].issue, DescIssue::kDuplicateValue);
  EXPECT_TRUE(result->issues[0].dropped);
  EXPECT_EQ(result->issues[0].line, 3u);
  // In an IDList only the repeated entry goes; the rest of the line stands.
  EXPECT_EQ(result->issues[1].issue, DescIssue::kDuplicateValue);
  EXPECT_FALSE(result->issues[1].dropped);
  const DescUiRecord& record = result->records.at(0);
  EXPECT_EQ(Values(record), (std::vector<WORD>{kPortrait, kLandscape}));
  EXPECT_EQ(Text(record.values->entries[0].text), "FIRST");
}

TEST(DescriptionUiBlockTest, IdListForms) {
  const auto result = ParseDescription(
      "*OpenUI *ZMD_dmPaperSize: PickPage\n"
      "*ZMD_dmPaperSize: IDList {\n"
      "  {DMPAPERSIZE_A4 \"A4\"} DMPAPERSIZE_A5 {DMPAPERSIZE_A3}\n"
      "}\n"
      "*ZMD_dmPaperSize: IDList { DMPAPERSIZE_LETTER DMPAPERSIZE_BOGUS }\n"  // one unknown drops the line
      "*ZMD_dmPaperSize: IDList { {DMPAPERSIZE_LEGAL \"LEGAL\" extra} }\n"
      "*ZMD_dmPaperSize: { DMPAPERSIZE_LEGAL }\n"
      "*CloseUI\n"
      "*OpenUI *ZMD_dmCollate: Boolean\n"
      "*ZMD_dmCollate: IDList { DMCOLLATE_ON }\n"  // only lists take IDList
      "*CloseUI\n");
  ASSERT_TRUE(result);
  EXPECT_EQ(IssueKinds(*result), (std::vector<DescIssue>{DescIssue::kUnknownValueSymbol, DescIssue::kSyntax,
                                                         DescIssue::kSyntax, DescIssue::kWrongUiType}));
  const DescUiRecord& record = result->records.at(0);
  EXPECT_EQ(Values(record), (std::vector<WORD>{3009, 3011, 3008}));
  EXPECT_TRUE(record.values->entries[0].hasText);
  EXPECT_FALSE(record.values->entries[1].hasText);
  EXPECT_FALSE(record.values->entries[2].hasText);
}

TEST(DescriptionUiBlockTest, OptionTextsMustBeQuoted) {
  const auto result = ParseDescription(
      "*OpenUI *ZMD_dmOrientation: PickOne\n"
      "*ZMD_dmOrientation DMORIENTATION_PORTRAIT: PORTRAIT\n"
      "*ZMD_dmOrientation DMORIENTATION_LANDSCAPE:\n"
      "*ZMD_dmOrientation DMORIENTATION_WRONG: \"W\"\n"
      "*CloseUI\n");
  ASSERT_TRUE(result);
  EXPECT_EQ(IssueKinds(*result), (std::vector<DescIssue>{DescIssue::kSyntax, DescIssue::kUnknownValueSymbol}));
  // An empty value gives an entry without a text.
  ASSERT_EQ(Values(result->records.at(0)), std::vector<WORD>{kLandscape});
  EXPECT_FALSE(result->records[0].values->entries[0].hasText);
}

TEST(DescriptionUiBlockTest, BooleanTextsAndDefault) {
  const auto result = ParseDescription(
      "*OpenUI *ZMD_vdmFuncSelectDuplex: Boolean\n"
      "*DefaultZMD_vdmFuncSelectDuplex: True\n"
      "*ZMD_vdmFuncSelectDuplex True: \"ON\"\n"
      "*ZMD_vdmFuncSelectDuplex Anything: \"OFF\"\n"
      "*CloseUI\n"
      "*OpenUI *ZMD_vdmTonerSave: Boolean\n"
      "*DefaultZMD_vdmTonerSave: Maybe\n"
      "*CloseUI\n");
  ASSERT_TRUE(result);
  EXPECT_EQ(result->issueCount, 0u) << IssueList(*result);
  const DescBoolBlock& on = result->records.at(0).values->boolean;
  EXPECT_TRUE(result->records[0].values->hasBoolean);
  EXPECT_EQ(on.defaultValue, 1);
  EXPECT_EQ(Text(on.trueText), "ON");
  EXPECT_EQ(Text(on.falseText), "OFF");
  EXPECT_EQ(result->records.at(1).values->boolean.defaultValue, 0);  // an unknown word is False
  EXPECT_EQ(DescParsedDefaultValue(result.get(), 61), 1);
}

TEST(DescriptionUiBlockTest, IdentitySharesTheReferencedList) {
  const auto result = ParseDescription(
      "*OpenUI *ZMD_dmMediaType: PickOne|TypeUnknown\n"
      "*ZMD_dmMediaType DMMEDIATYPE_PLAIN: \"PLAIN\"\n"
      "*ZMD_dmMediaType DMMEDIATYPE_THICK: \"THICK\"\n"
      "*DefaultZMD_dmMediaType: DMMEDIATYPE_THICK\n"
      "*CloseUI\n"
      "*OpenUI *ZMD_vdmMediaType: Identity *ZMD_dmMediaType\n"
      "*CloseUI\n"
      // The referenced item has no block: refused, and so is everything of the block.
      "*OpenUI *ZMD_vdmTrayMediaTray1: Identity *ZMD_dmColor\n"
      "*ZMD_vdmTrayMediaTray1 DMMEDIATYPE_PLAIN: \"PLAIN\"\n"
      "*CloseUI\n"
      "*OpenUI *ZMD_vdmTrayMediaTray2: Identity ZMD_dmMediaType\n");
  ASSERT_TRUE(result);
  EXPECT_EQ(IssueKinds(*result), (std::vector<DescIssue>{DescIssue::kUnresolvedReference, DescIssue::kOutsideBlock,
                                                         DescIssue::kNoOpenBlock, DescIssue::kSyntax}));
  ASSERT_EQ(result->records.size(), 2u);
  const DescUiRecord& media = result->records[0];
  const DescUiRecord& shared = result->records[1];
  EXPECT_EQ(shared.itemId, 378);
  EXPECT_EQ(shared.key, 378);
  EXPECT_EQ(shared.number, 29);  // the referenced item's key
  EXPECT_EQ(shared.type, kUiIdentity | kUiTypeUnknown | kUiPickOne);
  EXPECT_EQ(shared.values, media.values);
  EXPECT_EQ(shared.defaultIndex, 1);
  EXPECT_EQ(DescParsedDefaultValue(result.get(), 378), 4604);  // DMMEDIATYPE_THICK
}

TEST(DescriptionUiBlockTest, NumberedCopyHasItsOwnListAndLeavesTheSlotToTheFirst) {
  std::string text = kOrientation;
  text +=
      "*OpenUI *ZMD_dmOrientation 2: Boolean\n"  // the copy keeps the record's type
      "*OptionCommand: { \"@PJL SET PAGEORIENTATION = \" \" <0D0A>\" }\n"
      "*ZMD_dmOrientation DMDUPLEX_VERTICAL: \"EXTRA\"\n"
      "*CloseUI\n"
      "*OpenUI *ZMD_dmColor -3: PickOne\n"  // no record of the item yet: a new one, numbered
      "*CloseUI\n";
  const auto result = ParseDescription(text);
  ASSERT_TRUE(result);
  EXPECT_EQ(result->issueCount, 0u) << IssueList(*result);
  ASSERT_EQ(result->records.size(), 3u);
  const DescUiRecord& base = result->records[0];
  const DescUiRecord& copy = result->records[1];
  EXPECT_EQ(copy.number, 2);
  EXPECT_EQ(copy.type, kUiPickOne);
  EXPECT_EQ(copy.defaultIndex, 1);
  EXPECT_NE(copy.values, base.values);
  EXPECT_EQ(Values(copy), (std::vector<WORD>{kPortrait, kLandscape, 2}));
  EXPECT_EQ(Values(base), (std::vector<WORD>{kPortrait, kLandscape}));
  EXPECT_EQ(Text(base.commandPrefix), "@PJL SET ORIENTATION = ");
  EXPECT_EQ(Text(copy.commandPrefix), "@PJL SET PAGEORIENTATION = ");
  EXPECT_EQ(result->slots[DescHeaderSlotOfItem(7)], &base);
  EXPECT_EQ(result->records[2].number, -3);
  EXPECT_EQ(result->records[2].type, kUiPickOne);
}

TEST(DescriptionUiBlockTest, CopyKeepsItsIndexUnlessItsOwnDefaultNamesAValue) {
  // Entries 4, 0, 1 with the default at index 1 (value 0). Looked up as a value, index 1 would
  // find the entry of value 1 at index 2: the copy keeps 1 instead.
  const auto result = ParseDescription(
      "*OpenUI *ZMD_vdmSortType: PickOne\n"
      "*ZMD_vdmSortType: IDList { VDMSORTTYPE_STACK VDMSORTTYPE_OFF VDMSORTTYPE_SORT }\n"
      "*DefaultZMD_vdmSortType: VDMSORTTYPE_OFF\n"
      "*CloseUI\n"
      "*OpenUI *ZMD_vdmSortType 1: PickOne\n"
      "*CloseUI\n"
      "*OpenUI *ZMD_vdmSortType 2: PickOne\n"
      "*DefaultZMD_vdmSortType: VDMSORTTYPE_SORT\n"
      "*CloseUI\n"
      "*OpenUI *ZMD_vdmSortType 3: PickOne\n"
      "*DefaultZMD_vdmSortType: VDMSORTTYPE_ROTATE\n"  // not in the list: the index it came with
      "*CloseUI\n");
  ASSERT_TRUE(result);
  EXPECT_EQ(result->issueCount, 0u) << IssueList(*result);
  ASSERT_EQ(result->records.size(), 4u);
  EXPECT_EQ(result->records[0].defaultIndex, 1);
  EXPECT_EQ(result->records[1].defaultIndex, 1);
  EXPECT_EQ(result->records[2].defaultIndex, 2);
  EXPECT_EQ(result->records[3].defaultIndex, 1);
}

TEST(DescriptionUiBlockTest, NumericRanges) {
  const auto result = ParseDescription(
      "*NumericValue: 1 \"1 1 1 999\"\n"  // no block
      "*OpenUI *ZMD_dmCopies: Numeric\n"
      "*NumericValue: 3 \"10 50 -5 100 7 8 9 65535\"\n"
      "*CloseUI\n"
      "*OpenUI *ZMD_dmScale: Numeric\n"
      "*NumericValue: \"1 100 25 400\"\n"  // n0 may be left out
      "*NumericValue: 1 \"1 100 25\"\n"    // too few
      "*NumericValue: 1 \"70000 100 25 400\"\n"
      "*NumericValue: 1 \"1 100 25 400 1 2 3 4 5\"\n"
      "*NumericValue: 1 \"1 x 25 400\"\n"
      "*NumericValue: 1 2 \"1 100 25 400\"\n"
      "*NumericValue: 1 \"1 100 25 400\" 7\n"
      "*CloseUI\n");
  ASSERT_TRUE(result);
  EXPECT_EQ(IssueKinds(*result),
            (std::vector<DescIssue>{DescIssue::kNoOpenBlock, DescIssue::kBadNumber, DescIssue::kBadNumber,
                                    DescIssue::kBadNumber, DescIssue::kBadNumber, DescIssue::kBadNumber,
                                    DescIssue::kSyntax}));
  const DescRange& copies = result->records.at(0).values->range;
  EXPECT_EQ(copies.n0, 3);
  EXPECT_EQ(copies.n1, 10);
  EXPECT_EQ(copies.defaultValue, 50);
  EXPECT_EQ(copies.minimum, -5);
  EXPECT_EQ(copies.maximum, 100);
  EXPECT_EQ((std::vector<WORD>{copies.n2, copies.n3, copies.n4, copies.n5}), (std::vector<WORD>{7, 8, 9, 65535}));
  const DescRange& scale = result->records.at(1).values->range;
  EXPECT_EQ(scale.n0, 0);
  EXPECT_EQ(scale.maximum, 400);
  EXPECT_EQ(DescParsedDefaultValue(result.get(), 12), 50);
}

TEST(DescriptionUiBlockTest, StringBlocks) {
  const auto result = ParseDescription(
      "*OpenUI *ZMD_vdmJOBPassword: String\n"
      "*StringValue: 8 Numeric | Password\n"
      "*DefaultZMD_vdmJOBPassword: VDMPRNMETHOD_STORED\n"
      "*CloseUI\n"
      "*OpenUI *ZMD_vdmUserID: String\n"
      "*StringValue: 16 Unheard|Unknown\n"
      "*StringValue: 70000 ASCII\n"
      "*StringValue: 8\n"
      "*CloseUI\n"
      "*OpenUI *ZMD_vdmDocumentName: String\n"
      "*StringValue: 16 ASCII\n"
      "*CloseUI\n");
  ASSERT_TRUE(result);
  EXPECT_EQ(IssueKinds(*result), (std::vector<DescIssue>{DescIssue::kBadNumber, DescIssue::kSyntax}));
  const DescStringBlock& password = result->records.at(0).values->string;
  EXPECT_EQ(password.length, 8);
  EXPECT_EQ(password.stringClass, 4);
  EXPECT_EQ(password.showFlags, 0x100);
  EXPECT_EQ(password.defaultValue, 4674);  // VDMPRNMETHOD_STORED
  const DescStringBlock& user = result->records.at(1).values->string;
  EXPECT_EQ(user.stringClass, 1);  // unknown names give 1
  EXPECT_EQ(user.showFlags, 1);
  EXPECT_EQ(result->records.at(2).values->string.showFlags, 0);  // no show flag given
  EXPECT_EQ(DescParsedDefaultValue(result.get(), 220), 4674);
}

TEST(DescriptionUiBlockTest, OptionCommandNeedsTwoTexts) {
  const auto result = ParseDescription(
      "*OptionCommand: { \"a\" \"b\" }\n"
      "*OpenUI *ZMD_dmColor: PickOne\n"
      "*OptionCommand: { \"only one\" }\n"
      "*OptionCommand: \"a\" \"b\"\n"
      "*OptionCommand: { \"@PJL SET RENDERMODE = \" \"\" }\n"
      "*CloseUI\n");
  ASSERT_TRUE(result);
  EXPECT_EQ(IssueKinds(*result),
            (std::vector<DescIssue>{DescIssue::kNoOpenBlock, DescIssue::kSyntax, DescIssue::kSyntax}));
  EXPECT_TRUE(result->records.at(0).hasCommand);
  EXPECT_EQ(Text(result->records[0].commandPrefix), "@PJL SET RENDERMODE = ");
  EXPECT_EQ(Text(result->records[0].commandSuffix), "");
}

const char kPapers[] =
    "*OpenUI *ZMD_dmPaperSize: PickPage\n"
    "*ZMD_dmPaperSize: IDList { {DMPAPERSIZE_A4 \"A4\"} {DMPAPERSIZE_LETTER \"LETTER\"} }\n"
    "*DefaultZMD_dmPaperSize: DMPAPERSIZE_A4\n"
    "*CloseUI\n"
    "*OpenUI *ZMD_dmOrientation: PickOne\n"
    "*ZMD_dmOrientation DMORIENTATION_PORTRAIT: \"P\"\n"
    "*CloseUI\n";

TEST(DescriptionUiBlockTest, PaperRecordsAndMetricSizes) {
  std::string text = kPapers;
  text +=
      "*PageMMValue DMPAPERSIZE_A4: \"2100 2970\"\n"
      "*PageValue DMPAPERSIZE_A4: VDMDSTRESOLUTIONW_600 DMORIENTATION_PORTRAIT ZMD_vdmExtPrintArea "
      "VDMEXTPRINTAREA_AREA1 \"47 47 4866 6922 7016 4960\"\n"
      "*PageValue DMPAPERSIZE_A4: 600 DMORIENTATION_PORTRAIT \"99 99 4762 6818 7016 4960\"\n"
      "*PageValue DMPAPERSIZE_A4: 1200 DMORIENTATION_LANDSCAPE ZMD_vdmFuncSelectDuplex True \"1 2 3 4\"\n"
      "*PageValue DMPAPERSIZE_A4: 0 DMORIENTATION_PORTRAIT \"1 2 3 4\"\n"           // resolution 0
      "*PageValue DMPAPERSIZE_A4: 600 DMORIENTATION_SIDEWAYS \"1 2 3 4\"\n"        // unknown name
      "*PageValue DMPAPERSIZE_A4: 600 DMORIENTATION_PORTRAIT \"1 2 3 4 5\"\n"      // 4 or 6 numbers
      "*PageValue DMPAPERSIZE_A3: 600 DMORIENTATION_PORTRAIT \"1 2 3 4\"\n"        // not in the list
      "*PageValue DMORIENTATION_PORTRAIT: 600 DMORIENTATION_PORTRAIT \"1 2 3 4\"\n"  // not a paper list
      "*PageValue DMPAPERSIZE_A4: 600 DMORIENTATION_PORTRAIT ZMD_Nothing True \"1 2 3 4\"\n"
      "*PageMMValue DMPAPERSIZE_LETTER: \"2159\"\n"
      "*PageMMValue DMPAPERSIZE_LETTER: \"0 2794\"\n";
  const auto result = ParseDescription(text);
  ASSERT_TRUE(result);
  EXPECT_EQ(IssueKinds(*result),
            (std::vector<DescIssue>{DescIssue::kResolutionZero, DescIssue::kUnknownValueSymbol, DescIssue::kBadNumber,
                                    DescIssue::kUnknownEntry, DescIssue::kWrongUiType, DescIssue::kUnknownItemSymbol,
                                    DescIssue::kBadNumber, DescIssue::kBadNumber}));
  const DescValueEntry& a4 = result->records.at(0).values->entries.at(0);
  EXPECT_TRUE(a4.hasMetric);
  EXPECT_EQ(a4.metricWidth, 2100);
  EXPECT_EQ(a4.metricLength, 2970);
  ASSERT_EQ(a4.papers.size(), 3u);
  const DescPaperRecord& edge = a4.papers[0];
  EXPECT_EQ(edge.resolution, 600);
  EXPECT_EQ(edge.orientation, kPortrait);
  EXPECT_EQ(edge.conditionItem, 182);
  EXPECT_EQ(edge.conditionValue, 1);
  EXPECT_EQ((std::vector<LONG>{edge.left, edge.top, edge.width, edge.length, edge.a, edge.b}),
            (std::vector<LONG>{47, 47, 4866, 6922, 7016, 4960}));
  EXPECT_EQ(a4.papers[1].conditionItem, 0);
  EXPECT_EQ(a4.papers[2].resolution, 1200);
  EXPECT_EQ(a4.papers[2].orientation, kLandscape);
  EXPECT_EQ(a4.papers[2].conditionItem, 61);
  EXPECT_EQ(a4.papers[2].conditionValue, 1);
  EXPECT_EQ(a4.papers[2].a, 0);
  EXPECT_FALSE(result->records[0].values->entries[1].hasMetric);
}

TEST(DescriptionUiBlockTest, TraysListTheirPapers) {
  const auto result = ParseDescription(
      "*OpenUI *ZMD_dmDefaultSource: PickSlot\n"
      "*ZMD_dmDefaultSource DMDEFAULTSOURCE_TRAY1: \"TRAY1\"\n"
      "*ZMD_dmDefaultSource DMDEFAULTSOURCE_MANUAL: \"BYPASS\"\n"
      "*CloseUI\n"
      "*SlotPaper DMDEFAULTSOURCE_TRAY1: { DMPAPERSIZE_A4 DMPAPERSIZE_LETTER }\n"
      "*SlotPaper DMDEFAULTSOURCE_MANUAL: { DMPAPERSIZE_A4 DMPAPERSIZE_POSTCARDS }\n"  // one unknown name
      "*SlotPaper DMDEFAULTSOURCE_MANUAL: { DMPAPERSIZE_A4 123 }\n"
      "*SlotPaper DMDEFAULTSOURCE_TRAY2: { DMPAPERSIZE_A4 }\n"
      "*SlotPaper DMDEFAULTSOURCE_TRAY1: { DMPAPERSIZE_A5 }\n");  // replaces the first list
  ASSERT_TRUE(result);
  ASSERT_EQ(result->issues.size(), 4u) << IssueList(*result);
  EXPECT_EQ(IssueKinds(*result), (std::vector<DescIssue>{DescIssue::kUnknownValueSymbol, DescIssue::kSyntax,
                                                         DescIssue::kUnknownEntry, DescIssue::kReplaced}));
  EXPECT_FALSE(result->issues[3].dropped);
  const auto& entries = result->records.at(0).values->entries;
  EXPECT_EQ(std::vector<WORD>(entries[0].trayPapers.begin(), entries[0].trayPapers.end()), std::vector<WORD>{3011});
  EXPECT_FALSE(entries[1].hasTrayPapers);
}

TEST(DescriptionUiBlockTest, FontTableValuesCarryFontPairs) {
  const auto result = ParseDescription(
      "*OpenUI *ZMD_vdmDeviceFontSelect: FontTbl\n"
      "*ZMD_vdmDeviceFontSelect VDMDEVICEFONTSELECT_OFF: \"OFF\"\n"
      "*ZMD_vdmDeviceFontSelect VDMDEVICEFONTSELECT_ON: \"ON\"\n"
      "*CloseUI\n"
      "*TTFS VDMDEVICEFONTSELECT_ON: IDList { {\"Arial\" \"Helvetica\"} {\"Times New Roman\" \"Times\"} "
      "{\"Broken\"} {\"Never\" \"Read\"} }\n"
      "*TTFS VDMDEVICEFONTSELECT_OFF: { {\"A\" \"B\"} }\n"
      "*TTFS DMCOLOR_MONO: IDList { }\n");
  ASSERT_TRUE(result);
  EXPECT_EQ(IssueKinds(*result),
            (std::vector<DescIssue>{DescIssue::kListEndedEarly, DescIssue::kSyntax, DescIssue::kUnknownEntry}));
  EXPECT_FALSE(result->issues[0].dropped);
  const DescValueEntry& on = result->records.at(0).values->entries.at(1);
  EXPECT_TRUE(on.hasFontPairs);
  ASSERT_EQ(on.fontPairs.size(), 2u);
  EXPECT_EQ(Text(on.fontPairs[1].first), "Times New Roman");
  EXPECT_EQ(Text(on.fontPairs[1].second), "Times");
  EXPECT_FALSE(result->records[0].values->entries[0].hasFontPairs);
}

TEST(DescriptionUiBlockTest, DefaultValueAsDescribedSoFar) {
  const auto result = ParseDescription(
      "*OpenUI *ZMD_dmColor: PickOne\n"
      "*ZMD_dmColor DMCOLOR_COLOR: \"C\"\n"
      "*ZMD_dmColor DMCOLOR_MONO: \"M\"\n"
      "*DefaultZMD_dmColor: DMCOLOR_MONO\n"
      "*CloseUI\n"
      "*OpenUI *ZMD_dmMediaType: PickMany\n"
      "*CloseUI\n"
      "*OpenUI *ZMD_dmOrientation: PickOne\n"
      "*ZMD_dmOrientation DMORIENTATION_PORTRAIT: \"P\"\n"
      "*DefaultZMD_dmOrientation: DMORIENTATION_LANDSCAPE\n");
  ASSERT_TRUE(result);
  EXPECT_EQ(DescParsedDefaultValue(result.get(), 15), 2030);
  EXPECT_EQ(DescParsedDefaultValue(result.get(), 29), 0);   // PickMany is no list kind here
  EXPECT_EQ(DescParsedDefaultValue(result.get(), 16), 0);   // no record
  // Closed at the end of the file: the named default is not in the list, so the first entry.
  EXPECT_EQ(DescParsedDefaultValue(result.get(), 7), kPortrait);
}

}  // namespace
