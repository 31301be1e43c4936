// The shipped model description parsed whole, the file entry points, and a parse that runs out
// of memory at each allocation in turn.
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/memory.h"
#include "settings/description/description_fixture.h"
#include "settings/description/judge_compiler.h"
#include "support/temp_root.h"

namespace {

using velm::test::IssueList;
using velm::test::ParseDescription;
using velm::test::ParsedDescription;
using velm::test::Text;

std::string ShippedText() { return velm::test::ReadHostFile(velm::test::SourceDir() / "data" / "model" / "qnvelm.dsc"); }

class ShippedDescriptionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    result_ = ParseDescription(ShippedText());
    ASSERT_TRUE(result_);
  }
  const DescParseResult& result() const { return *result_; }
  const DescUiRecord* Record(WORD item) const { return DescFindParsedRecord(result_.get(), item); }
  WORD Kind(WORD item) const {
    const DescUiRecord* record = Record(item);
    return record ? DescUiKind(record->type) : 0;
  }

  ParsedDescription result_;
};

TEST_F(ShippedDescriptionTest, DropsNothing) {
  EXPECT_EQ(result().issueCount, 0u) << IssueList(result());
  EXPECT_EQ(std::u16string(result().version), u"3.60");
  EXPECT_EQ(result().uiResDllName, u"qnresus.dll");
  EXPECT_TRUE(result().hasExcDepDllName);
  for (int point = kPointJobStart; point <= kPointDocReset; ++point) EXPECT_TRUE(result().hasCommandTree[point]) << point;
  EXPECT_EQ(result().records.size(), 311u);  // 83 of the printing settings, 228 of the pages
  EXPECT_EQ(result().judges.size(), 104u);
  EXPECT_EQ(result().itemSets.size(), 9u);
  EXPECT_EQ(result().actionSets.size(), 18u);
  EXPECT_EQ(result().transactSets.size(), 17u);
  EXPECT_EQ(result().alertActionSets.size(), 12u);
  EXPECT_EQ(result().alertSets.size(), 18u);
  EXPECT_EQ(result().exclusives.size(), 34u);
  EXPECT_EQ(result().commandStrings.size(), 8u);
  EXPECT_EQ(result().deviceFonts.size(), 6u);
  EXPECT_EQ(result().fontCartridges.size(), 3u);
}

TEST_F(ShippedDescriptionTest, PublicFieldsHaveTheKindsTheirValidationExpects) {
  for (WORD item : {7, 14, 15, 16, 17, 18, 27, 28, 29, 30}) EXPECT_EQ(Kind(item), kUiPickOne) << item;
  EXPECT_EQ(Kind(8), kUiPickPage);
  EXPECT_EQ(Kind(13), kUiPickSlot);
  for (WORD item : {9, 10, 11, 12}) EXPECT_EQ(Kind(item), kUiNumeric) << item;
  EXPECT_EQ(Kind(19), kUiBoolean);
  EXPECT_EQ(Kind(20), kUiString);
  for (WORD item : {2, 3, 4, 5, 6}) EXPECT_EQ(Record(item), nullptr) << item;  // never described
}

TEST_F(ShippedDescriptionTest, CoverInsertAndMarkSheetItemsShareTheTrayPaperAndMediaLists) {
  struct Shared {
    WORD source, paper, media;
  };
  const Shared sheets[] = {{142, 143, 144}, {146, 147, 148}, {131, 132, 133}, {138, 139, 140}};
  for (const Shared& sheet : sheets) {
    EXPECT_EQ(Record(sheet.source)->values, Record(13)->values) << sheet.source;
    EXPECT_EQ(Record(sheet.paper)->values, Record(8)->values) << sheet.paper;
    EXPECT_EQ(Record(sheet.media)->values, Record(29)->values) << sheet.media;
    EXPECT_EQ(Kind(sheet.source), kUiPickSlot);
    EXPECT_EQ(Kind(sheet.paper), kUiPickPage);
    EXPECT_EQ(Kind(sheet.media), kUiPickOne);
  }
}

TEST_F(ShippedDescriptionTest, RecordsAreComplete) {
  for (const DescUiRecord& record : result().records) {
    const WORD kind = DescUiKind(record.type);
    const DescValueData& data = *record.values;
    if (DescIsListType(record.type)) {
      ASSERT_FALSE(data.entries.empty()) << record.itemId;
      EXPECT_LT(record.defaultIndex, data.entries.size()) << record.itemId;
      // A value that goes into job-control text has its word.
      for (const DescValueEntry& entry : data.entries) {
        if (record.hasCommand) {
          EXPECT_TRUE(entry.hasText) << record.itemId << " " << entry.value;
        }
      }
    } else if (kind == kUiBoolean) {
      EXPECT_TRUE(data.boolean.hasTrueText && data.boolean.hasFalseText) << record.itemId;
    } else if (kind == kUiNumeric) {
      ASSERT_TRUE(data.hasRange) << record.itemId;
      EXPECT_NE(data.range.n1, 0) << record.itemId;  // the divisor of the job-control number
      EXPECT_LE(data.range.minimum, data.range.defaultValue) << record.itemId;
      EXPECT_LE(data.range.defaultValue, data.range.maximum) << record.itemId;
    } else if (kind == kUiString) {
      EXPECT_TRUE(data.hasString && data.string.length > 0) << record.itemId;
    } else {
      ADD_FAILURE() << "record of item " << record.itemId << " has type " << record.type;
    }
    if (record.hasCommand) {
      EXPECT_EQ(Text(record.commandPrefix).rfind("@PJL SET ", 0), 0u) << record.itemId;
      EXPECT_TRUE(Text(record.commandSuffix).ends_with(" \r\n")) << record.itemId;
    }
  }
}

TEST_F(ShippedDescriptionTest, PapersTraysAndFonts) {
  std::set<WORD> papers;
  for (const DescValueEntry& paper : Record(8)->values->entries) {
    papers.insert(paper.value);
    const bool userSize = paper.value == 3256 || (paper.value >= 3384 && paper.value <= 3392);
    EXPECT_EQ(paper.hasMetric, !userSize) << paper.value;
    // A portrait record at each resolution; conditional records come before the plain one.
    std::set<WORD> resolutions;
    for (const DescPaperRecord& record : paper.papers) {
      EXPECT_EQ(record.orientation, 2026);
      if (record.conditionItem) {
        EXPECT_EQ(resolutions.count(record.resolution), 0u) << paper.value;
        continue;
      }
      resolutions.insert(record.resolution);
      if (userSize) continue;
      EXPECT_EQ(2 * record.left + record.width, record.b) << paper.value;
      EXPECT_EQ(2 * record.top + record.length, record.a) << paper.value;
      // The full size in dots agrees with the metric size.
      EXPECT_NEAR(record.b * 254.0 / record.resolution, paper.metricWidth, 1.0) << paper.value;
      EXPECT_NEAR(record.a * 254.0 / record.resolution, paper.metricLength, 1.0) << paper.value;
    }
    EXPECT_EQ(resolutions, (std::set<WORD>{300, 600, 1200})) << paper.value;
  }
  EXPECT_EQ(papers.size(), 28u);
  for (const DescValueEntry& tray : Record(13)->values->entries) {
    EXPECT_TRUE(tray.hasTrayPapers && !tray.trayPapers.empty()) << tray.value;
    for (WORD paper : tray.trayPapers) EXPECT_EQ(papers.count(paper), 1u) << tray.value << " " << paper;
  }
  const DescUiRecord* fonts = Record(394);
  ASSERT_EQ(DescUiKind(fonts->type), kUiFontTbl);
  EXPECT_EQ(fonts->values->entries.at(1).fontPairs.size(), 4u);
  for (const DescFont& font : result().deviceFonts) EXPECT_LT(font.name.size(), 32u);
}

TEST_F(ShippedDescriptionTest, ConstraintsUseEveryFormAndReferToWhatExists) {
  std::set<WORD> operators;
  for (const DescJudge& judge : result().judges) {
    EXPECT_TRUE(DescCheckProgram(judge.cells.data(), judge.cells.size())) << judge.number;
    for (const DescCell& cell : judge.cells) {
      if (cell.kind == kCellOperator) operators.insert(cell.value);
    }
  }
  EXPECT_EQ(operators, (std::set<WORD>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));

  const auto has = [](const auto& sets, LONG number) {
    return number == 0 || std::any_of(sets.begin(), sets.end(), [&](const auto& set) { return set.number == number; });
  };
  const auto& judges = result().judges;
  for (const auto& set : result().itemSets) {
    for (const auto& e : set.entries) EXPECT_TRUE(e.value && has(judges, e.disabledJudge) && has(judges, e.hiddenJudge));
  }
  for (const auto& set : result().actionSets) {
    for (const auto& e : set.entries) EXPECT_NE(e.target, 0) << set.number;
  }
  for (const auto& set : result().transactSets) {
    for (const auto& e : set.entries) EXPECT_TRUE(has(judges, e.judge) && e.action && has(result().actionSets, e.action));
  }
  for (const auto& set : result().alertActionSets) {
    for (const auto& e : set.entries) EXPECT_TRUE(e.itemId && e.transact && has(result().transactSets, e.transact));
  }
  for (const auto& set : result().alertSets) {
    for (const auto& e : set.entries) {
      EXPECT_TRUE(e.judge && has(judges, e.judge) && has(result().alertActionSets, e.alertAction)) << set.number;
      EXPECT_TRUE(e.message && e.icon >= 0 && e.buttons >= 0 && e.kind >= 0) << set.number;
    }
  }
  std::set<WORD> conditioned;
  for (const DescExclusiveEntry& e : result().exclusives) {
    // A page or dialog (item 0, keyed by its page id) has no record: its block only excludes it.
    if (e.itemId != 0) {
      EXPECT_NE(Record(e.itemId), nullptr) << e.itemId;
    }
    EXPECT_TRUE(conditioned.insert(e.itemId ? e.itemId : e.key).second) << e.itemId << " " << e.key;
    EXPECT_TRUE(has(judges, e.disabledJudge) && has(judges, e.hiddenJudge) && has(result().itemSets, e.itemSet) &&
                has(result().alertSets, e.alertSet) && has(result().transactSets, e.rules) &&
                has(result().transactSets, e.secondRules))
        << e.itemId;
  }
}

TEST_F(ShippedDescriptionTest, JobControlTemplatesReferToWhatExists) {
  std::vector<const DescCommandList*> lists;
  for (int point = kPointJobStart; point <= kPointDocReset; ++point) lists.push_back(&result().commandTrees[point]);
  size_t groups = 0;
  while (!lists.empty()) {
    const DescCommandList* list = lists.back();
    lists.pop_back();
    for (const DescCommandNode& node : *list) {
      if (node.kind == kCommandString) {
        EXPECT_TRUE(std::any_of(result().commandStrings.begin(), result().commandStrings.end(),
                                [&](const DescCommandString& s) { return s.number == node.stringNumber; }))
            << node.stringNumber;
      } else if (node.kind == kCommandGroup) {
        ++groups;
        EXPECT_TRUE(std::any_of(result().records.begin(), result().records.end(), [&](const DescUiRecord& r) {
          return r.itemId == node.itemId && r.number == node.number && r.hasCommand;
        })) << node.itemId << "/" << node.number;
      } else if (node.kind == kCommandConditional) {
        EXPECT_TRUE(std::any_of(result().judges.begin(), result().judges.end(),
                                [&](const DescJudge& j) { return j.number == node.judge; }));
        lists.push_back(&node.thenList);
        lists.push_back(&node.elseList);
      }
    }
  }
  EXPECT_GE(groups, 15u);
  // The job starts with the universal exit and PJL, and ends with it.
  EXPECT_EQ(Text(result().commandStrings.at(0).text).rfind("\x1B%-12345X@PJL", 0), 0u);
  EXPECT_TRUE(Text(result().commandStrings.at(5).text).ends_with("\x1B%-12345X"));
}

// ---- Entry points --------------------------------------------------------------------------

class DescriptionFileTest : public ::testing::Test {
 protected:
  // Writes `text` as the driver's data file and gives its Windows path.
  std::u16string Install(const std::string& name, const std::string& text) {
    velm::test::WriteHostFile(root_.OnDriveC("Windows/System32/spool/drivers/x64/3/" + name), text);
    return u"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\" + std::u16string(name.begin(), name.end());
  }
  std::u16string Version(const std::u16string& path) {
    WCHAR version[16];
    std::fill(std::begin(version), std::end(version), u'?');
    EXPECT_TRUE(DescReadFileVersion(path.c_str(), version));
    return version;
  }

  velm::test::TempMachineRoot root_;
};

TEST_F(DescriptionFileTest, ParsesTheMappedFile) {
  const std::string text = ShippedText();
  const std::u16string path = Install("QNVELM.DSC", text);
  DescParseResult* result = DescParseFile(u"c:\\windows\\system32\\spool\\drivers\\x64\\3\\qnvelm.dsc");
  ASSERT_NE(result, nullptr);
  const auto fromText = ParseDescription(text);
  EXPECT_EQ(result->records.size(), fromText->records.size());
  EXPECT_EQ(result->judges.size(), fromText->judges.size());
  EXPECT_EQ(result->issueCount, 0u);
  DescFreeParseResult(result);
  EXPECT_EQ(Version(path), u"3.60");
}

TEST_F(DescriptionFileTest, FilesThatGiveNoResult) {
  EXPECT_EQ(DescParseFile(Install("empty.dsc", "").c_str()), nullptr);  // an empty file cannot be mapped
  EXPECT_EQ(DescParseFile(u"C:\\missing.dsc"), nullptr);
  EXPECT_EQ(DescParseFile(nullptr), nullptr);
  DescFreeParseResult(nullptr);
  // Text in memory may be empty.
  const auto empty = ParseDescription("");
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty->records.empty());
}

TEST_F(DescriptionFileTest, ReadFileVersionAlwaysSucceeds) {
  EXPECT_EQ(Version(Install("noversion.dsc", "*% none here\n*OpenUI *ZMD_dmColor: PickOne\n*CloseUI\n")), u"");
  EXPECT_EQ(Version(u"C:\\missing.dsc"), u"");
  EXPECT_EQ(Version(Install("empty.dsc", "")), u"");
  // The first FileVersion statement, after malformed lines; raw text, at most 15 characters.
  EXPECT_EQ(Version(Install("late.dsc", "*CloseUI \n*A: \"(\"\n*FileVersion: 3.60 beta release two\n*FileVersion: 9\n")),
            u"3.60 beta relea");
  WCHAR version[16] = {u'x'};
  EXPECT_TRUE(DescReadFileVersion(nullptr, version));
  EXPECT_EQ(version[0], 0);
  EXPECT_TRUE(DescReadFileVersion(u"C:\\late.dsc", nullptr));
}

// ---- Bounds ------------------------------------------------------------------------------

// Copies are the only statements that cost more than their own bytes: numbered UI records copy
// a list, Judges copy the Judges they name. Both stop at the parser's budget.
TEST(DescriptionBoundsTest, NumberedCopiesStopAtTheValueBudget) {
  const std::string word(40000, 'W');
  std::string text = "*OpenUI *ZMD_dmPaperSize: PickPage\n";
  for (const char* paper : {"A3", "A4", "A5", "A6", "LETTER", "LEGAL", "LEDGER", "EXECUTIVE", "JISB4", "JISB5",
                            "JISB6", "FOLIO", "FOOLSCAP", "GOVLETTER", "PRC16K", "KAI16", "JPOST", "HALFLETTER"}) {
    text += std::string("*ZMD_dmPaperSize DMPAPERSIZE_") + paper + ": \"" + word + "\"\n";
  }
  text += "*CloseUI\n";
  for (int i = 1; i <= 120; ++i) text += "*OpenUI *ZMD_dmPaperSize " + std::to_string(i) + ": PickPage\n*CloseUI\n";
  const auto result = ParseDescription(text);
  ASSERT_TRUE(result);
  // About 0.7 MB a copy: the budget of 64 MiB takes some ninety of them.
  EXPECT_GT(result->records.size(), 80u);
  EXPECT_LT(result->records.size(), 100u);
  ASSERT_FALSE(result->issues.empty());
  EXPECT_EQ(result->issues[0].issue, DescIssue::kTooLarge);
}

TEST(DescriptionBoundsTest, InlinedJudgesStopAtTheCellBudget) {
  std::string big = "ZMD_dmCopies";
  for (int i = 0; i < 2000; ++i) big += " == 1";  // 4002 cells
  std::string text = "*Judge 1=Big: " + big + "\n";
  for (int i = 2; i <= 400; ++i) text += "*Judge " + std::to_string(i) + ": Big\n";
  const auto result = ParseDescription(text);
  ASSERT_TRUE(result);
  size_t cells = 0;
  for (const DescJudge& judge : result->judges) cells += judge.cells.size();
  EXPECT_LE(cells, size_t(1) << 20);
  EXPECT_EQ(result->judges.size(), (size_t(1) << 20) / 4002);
  EXPECT_EQ(result->issueCount, 400 - result->judges.size());
  EXPECT_EQ(result->issues.at(0).issue, DescIssue::kTooLarge);
}

// ---- Memory --------------------------------------------------------------------------------

const char kAllStatements[] =
    "*FileVersion: 3.60\n*UIResDLLName: \"qnresus.dll\"\n*ExcDepDLLName: \"qnexcdep.dll\"\n"
    "*OpenUI *ZMD_dmPaperSize: PickPage\n"
    "*ZMD_dmPaperSize: IDList { {DMPAPERSIZE_A4 \"A4\"} {DMPAPERSIZE_LETTER \"LETTER\"} }\n"
    "*DefaultZMD_dmPaperSize: DMPAPERSIZE_A4\n*OptionCommand: { \"@PJL SET PAPER = \" \" <0D0A>\" }\n*CloseUI\n"
    "*OpenUI *ZMD_dmPaperSize 1: PickPage\n*CloseUI\n"
    "*OpenUI *ZMD_vdmOutPaperSize: Identity *ZMD_dmPaperSize\n*CloseUI\n"
    "*PageMMValue DMPAPERSIZE_A4: \"2100 2970\"\n"
    "*PageValue DMPAPERSIZE_A4: 600 DMORIENTATION_PORTRAIT \"99 99 4762 6818 7016 4960\"\n"
    "*OpenUI *ZMD_dmDefaultSource: PickSlot\n*ZMD_dmDefaultSource DMDEFAULTSOURCE_TRAY1: \"TRAY1\"\n*CloseUI\n"
    "*SlotPaper DMDEFAULTSOURCE_TRAY1: { DMPAPERSIZE_A4 DMPAPERSIZE_LETTER }\n"
    "*OpenUI *ZMD_vdmDeviceFontSelect: FontTbl\n*ZMD_vdmDeviceFontSelect VDMDEVICEFONTSELECT_ON: \"ON\"\n*CloseUI\n"
    "*TTFS VDMDEVICEFONTSELECT_ON: IDList { {\"Arial\" \"Helvetica\"} }\n"
    "*OpenUI *ZMD_dmCopies: Numeric\n*NumericValue: 1 \"1 1 1 999\"\n*CloseUI\n"
    "*OpenUI *ZMD_vdmUserID: String\n*StringValue: 8 ASCII\n*CloseUI\n"
    "*OpenUI *ZMD_vdmFuncSelectDuplex: Boolean\n*ZMD_vdmFuncSelectDuplex True: \"ON\"\n*CloseUI\n"
    "*DeviceFonts: IDList { {\"Courier\" 1} }\n*FontCartridge: IDList { {\"OCR-B\" 2} }\n"
    "*CommandString 1: \"<1B>%%-12345X@PJL<0D0A>\"\n"
    "*Judge 1=DuplexOn: ZMD_vdmFuncSelectDuplex == 1\n*Judge 2=Both: DuplexOn && !(ZMD_dmCopies > 1)\n"
    "*Item 1=Values: { {DMPAPERSIZE_A4 DuplexOn NULL} }\n*Action 1=Off: { {ZMD_vdmFuncSelectDuplex 0} }\n"
    "*Transact 1=Rule: { {Both Off} }\n*AlertAction 1=Fix: { {ZMD_vdmFuncSelectDuplex Rule} }\n"
    "*Alert 1=Warn: { {Both ZMD_PrintSizeIllegalMessage MB_ICONSTOP MB_OK AlertDialog Fix} }\n"
    "*Exclusive: { {ZMD_dmPaperSize NULL NULL Values Warn Rule NULL} }\n"
    "*CommandGroup: JobStart { Type: StringType 1 Command: Both { Type: FontType } Else { Type: GroupType "
    "ZMD_dmPaperSize } }\n";

const DescLeadBytes kNoLeadBytes{};

TEST(DescriptionMemoryTest, RunningOutOfMemoryAtEachAllocationLeavesNothingBehind) {
  const std::string text = kAllStatements;
  const uint64_t before = velm::platform::AllocationCount();
  {
    const auto full = ParseDescription(text);
    ASSERT_TRUE(full);
    ASSERT_EQ(full->issueCount, 0u) << IssueList(*full);
  }
  const uint64_t allocations = velm::platform::AllocationCount() - before;
  ASSERT_GT(allocations, 50u);
  int none = 0;
  int reported = 0;
  for (uint64_t n = 1; n <= allocations + 1; ++n) {
    const uint64_t live = velm::platform::LiveAllocationCount();
    velm::platform::SetAllocationFault(n);
    DescParseResult* result = DescParseText(text.data(), text.size(), &kNoLeadBytes);
    velm::platform::SetAllocationFault(0);
    if (!result) {
      ++none;
    } else if (n <= allocations) {
      // Whatever a failed allocation cost is in the report.
      EXPECT_GE(result->issueCount, 1u) << n;
      reported += result->issueCount > 0;
    }
    DescFreeParseResult(result);
    ASSERT_EQ(velm::platform::LiveAllocationCount(), live) << "allocation " << n;
  }
  EXPECT_GT(none, 0);
  EXPECT_GT(reported, 0);
}

}  // namespace
