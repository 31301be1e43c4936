// The command engine against the shipped model: every command row both ways, bases and updates
// and the lines the driver changes, value lists under the constraints, the return codes and
// size protocol of the command exports, and malformed input.
#include <cstring>
#include <set>

#include "exc_fixture.h"
#include "exclude/command_lines.h"

namespace velm::test {
namespace {

class CommandEngineTest : public ExcTest {
 protected:
  static bool Enabled(EXCSESSION s, DWORD item) { return s->enabled[item - 1] != 0; }
  static DWORD Slot(EXCSESSION s, DWORD item) { return s->values[item - 1]; }
  static std::string CommandSet(EXCSESSION s) {
    ExcLineBuffer buffer{};
    EXPECT_TRUE(ExcLineBufferInit(&buffer));
    EXPECT_TRUE(ExcBuildCommandSet(&buffer, s));
    std::string text(buffer.text, buffer.length);
    ExcLineBufferFree(&buffer);
    return text;
  }
  static std::string WrittenValue(EXCSESSION s, const char* name) {
    char value[kExcTokenBytes];
    ExcFindLineValue(CommandSet(s).c_str(), name, value);
    return value;
  }
  // Everything a call could change: slots, base, change list and the context's record.
  struct State {
    std::vector<BYTE> enabled, values, record;
    std::string base, changes;
    bool operator==(const State&) const = default;
  };
  static State Capture(EXCSESSION s) {
    auto bytes = [](const void* p, size_t n) {
      return std::vector<BYTE>(static_cast<const BYTE*>(p), static_cast<const BYTE*>(p) + n);
    };
    return {bytes(s->enabled, kExcSlotCount), bytes(s->values, kExcSlotCount * 4),
            bytes(s->context->settings, sizeof(SettingsRecord)), std::string(s->base ? s->base : ""),
            std::string(s->changes ? s->changes : "")};
  }
  EXCSESSION WithBase(const std::string& extra) {
    EXCSESSION s = Session();
    if (s) {
      EXPECT_GE(ApplyBase(s, kRequiredLines + extra), 0);
    }
    return s;
  }
};

// ---- The table both ways ----------------------------------------------------------------------

TEST_F(CommandEngineTest, EveryCommandRowIsFoundByItsNameAndAccess) {
  EXCSESSION s = Session();
  ASSERT_NE(s, nullptr);
  const ExcCommandTable* table = ExcGetCommandTable();
  ASSERT_EQ(table->count, 48u);
  for (DWORD i = 0; i < table->count; ++i) {
    const ExcCommandRow& row = table->rows[i];
    ASSERT_NE(row.name, nullptr) << i;
    EXPECT_EQ(ExcFindCommand(s, row.name, row.access), &row) << row.name;
    EXPECT_EQ(ExcFindCommand(s, row.name, ~row.access & 7), nullptr) << row.name;
    if (row.item) {
      EXPECT_EQ(ExcFindCommandByItem(s->context, row.item, row.access), &row) << row.name;
    }
  }
  EXPECT_EQ(ExcFindCommand(s, "copies", 7), nullptr);  // names are case-sensitive
}

TEST_F(CommandEngineTest, EveryTableValueAppliesAndIsWrittenBackAsItsText) {
  EXCSESSION s = Session();
  ASSERT_NE(s, nullptr);
  const ExcCommandTable* table = ExcGetCommandTable();
  int checked = 0;
  for (DWORD i = 0; i < table->count; ++i) {
    const ExcCommandRow& row = table->rows[i];
    if (!row.values || row.item == 0) continue;
    std::set<std::string> seen;
    for (DWORD v = 0; v < row.values->count; ++v) {
      const ExcValueRow& value = row.values->rows[v];
      if (!seen.insert(value.text).second) continue;  // the first row of a text is the one applied
      if (row.access & kExcAccessJob) {
        ExcClearSession(s, FALSE);
        ExcApplyCommand(s, &row, row.name, value.text, FALSE);
        ASSERT_TRUE(Enabled(s, row.item)) << row.name << " " << value.text;
        if (!(value.flags & kExcValueNone) && !(row.flags & kExcCommandBinding)) {
          EXPECT_EQ(Slot(s, row.item), value.value) << row.name << " " << value.text;
        }
        EXPECT_EQ(WrittenValue(s, row.name), value.text) << row.name;
      } else {
        // Printer values are read, not applied: the stored value gives its text.
        ASSERT_TRUE(OptSetValue(s->context, static_cast<WORD>(row.item), value.value));
        char text[kExcTokenBytes] = {};
        EXPECT_EQ(ExcFormatPrinterValue(&row, s->context, sizeof(text), text), std::strlen(value.text) + 1);
        EXPECT_STREQ(text, value.text) << row.name;
      }
      ++checked;
    }
  }
  EXPECT_GT(checked, 150);
}

TEST_F(CommandEngineTest, EveryModelNodeRowHasItsNodeInTheShippedDescription) {
  EXCSESSION s = Session();
  ASSERT_NE(s, nullptr);
  const ExcCommandTable* table = ExcGetCommandTable();
  for (DWORD i = 0; i < table->count; ++i) {
    const ExcCommandRow& row = table->rows[i];
    if (!(row.flags & kExcCommandModelNode)) continue;
    const DescNode* node = CmdFindCommandNode(s->context, static_cast<WORD>(row.item), static_cast<SHORT>(row.subId));
    ASSERT_NE(node, nullptr) << row.name;
    EXPECT_EQ(CmdKindOfNode(node), CmdKindOfValueType(row.valueType)) << row.name;
    if (!(row.access & kExcAccessJob)) continue;
    // A job command's node writes the SET line of its own name, and reads its value back.
    ItemTableRow* item = OptFindItem(s->context->itemTable, static_cast<WORD>(row.item));
    char line[2048];
    const DWORD length = CmdFormatLine(s->context, item, node, CmdKindOfNode(node), OptGetModelValue(s->context, item),
                                       line, sizeof(line));
    char name[kExcTokenBytes], value[kExcTokenBytes];
    ASSERT_EQ(ExcParseSetLine(line, name, value), static_cast<int>(length)) << row.name << ": " << line;
    EXPECT_STREQ(name, row.name);
    const DWORD before = OptGetValue(s->context, static_cast<WORD>(row.item));
    ExcApplyCommand(s, &row, row.name, value, FALSE);
    EXPECT_EQ(Slot(s, row.item), before) << row.name;
  }
}

// ---- The table's own cases ----------------------------------------------------------------------

TEST_F(CommandEngineTest, CustomPaperAppliesTheFirstRowAndIsWrittenForEveryCustomCode) {
  EXCSESSION s = Session();
  ASSERT_NE(s, nullptr);
  const ExcCommandRow* paper = ExcFindCommand(s, "PAPER", kExcAccessJob);
  ExcApplyCommand(s, paper, "PAPER", "CUSTOM", FALSE);
  EXPECT_EQ(Slot(s, 50), 256u);
  EXPECT_EQ(Item(s, 50), 256u);
  for (DWORD code = 384; code <= 392; ++code) {
    ExcRecordSlot(s, 50, code);
    EXPECT_EQ(WrittenValue(s, "PAPER"), "CUSTOM") << code;
  }
}

TEST_F(CommandEngineTest, CollateIsWrittenOffWhileSortIsOffAndThroughItsAlias) {
  EXCSESSION s = Session();
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(ExcAliasOf(64), 129u);
  ExcRecordSlot(s, 129, 1);
  ExcRecordSlot(s, 64, 0);
  EXPECT_EQ(WrittenValue(s, "COLLATE"), "OFF");
  ExcRecordSlot(s, 64, 1);
  EXPECT_EQ(WrittenValue(s, "COLLATE"), "SORT");
  // Item 64 alone is written through COLLATE, with item 129's slot.
  ExcClearSession(s, FALSE);
  ExcRecordSlot(s, 64, 1);
  EXPECT_EQ(WrittenValue(s, "COLLATE"), "");  // slot 129 holds 0: no row but the "none" row, whose side disagrees
  ExcRecordSlot(s, 64, 0);
  EXPECT_EQ(WrittenValue(s, "COLLATE"), "OFF");
}

TEST_F(CommandEngineTest, NupSideSettingsAreSetWithTheLayout) {
  EXCSESSION s = Session();
  ASSERT_NE(s, nullptr);
  ExcApplyCommand(s, ExcFindCommand(s, "NUP", kExcAccessJob), "NUP", "2IN1P1", FALSE);
  for (const auto& [item, value] : Items{{94, 1}, {59, 1}, {95, 1}}) {
    EXPECT_TRUE(Enabled(s, item)) << item;
    EXPECT_EQ(Slot(s, item), value) << item;
    EXPECT_EQ(Item(s, item), value) << item;
  }
  EXPECT_EQ(WrittenValue(s, "NUP"), "2IN1P1");
  ExcApplyCommand(s, ExcFindCommand(s, "NUP", kExcAccessJob), "NUP", "OFF", FALSE);
  EXPECT_EQ(Slot(s, 59), 0u);
  EXPECT_EQ(WrittenValue(s, "NUP"), "OFF");
}

TEST_F(CommandEngineTest, BindingIsCodedByTheBookletFamily) {
  EXCSESSION s = WithBase(SetLine("DUPLEX", "ON") + SetLine("BOOKLET", "BOOKLETC") + SetLine("BINDING", "LEFT"));
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(Item(s, 102), 19u);
  EXPECT_EQ(Slot(s, kExcSlotBooklet), 1u);
  EXPECT_EQ(WrittenValue(s, "BINDING"), "LEFT");
  EXPECT_EQ(WrittenValue(s, "BOOKLET"), "BOOKLETC");
  // A new family re-codes the binding that is there.
  ASSERT_EQ(Update(s, SetLine("BOOKLET", "BOOKLETF")), kExcDone);
  EXPECT_EQ(Item(s, 102), 22u);
  EXPECT_EQ(Slot(s, kExcSlotBooklet), 2u);
  ASSERT_EQ(Update(s, SetLine("BINDING", "TOP")), kExcDone);
  EXPECT_EQ(Item(s, 102), 20u);
  EXPECT_NE(Base(s).find(SetLine("BOOKLET", "BOOKLETF") + SetLine("BINDING", "TOP")), std::string::npos) << Base(s);

  EXPECT_EQ(ExcBookletOfBinding(3), 0);
  EXPECT_EQ(ExcBookletOfBinding(17), 1);
  EXPECT_EQ(ExcBookletOfBinding(22), 2);
  EXPECT_EQ(ExcBookletOfBinding(23), -1);
  EXPECT_EQ(ExcRecodeBinding(3, 1), 19u);
  EXPECT_EQ(ExcRecodeBinding(21, 0), 2u);
  EXPECT_EQ(ExcRecodeBinding(40, 1), 40u);
}

// ---- Bases and updates --------------------------------------------------------------------------

TEST_F(CommandEngineTest, ABaseOfSeveralLinesIsAppliedAndKeptAsTheDriverHoldsIt) {
  EXCSESSION s = Session();
  ASSERT_NE(s, nullptr);
  const std::string block = kRequiredLines + SetLine("DUPLEX", "ON") + SetLine("COLLATE", "SORT") +
                            SetLine("OUTBIN", "LOWER") + SetLine("NOSUCHCOMMAND", "1") + SetLine("NUP", "4IN1P2");
  std::string changes = "?";
  EXPECT_EQ(ApplyBase(s, block, &changes), kExcDone);
  EXPECT_EQ(changes, "");
  for (const auto& [item, value] : Items{{8, 9}, {7, 1}, {50, 1024}, {13, 7}, {61, 1}, {129, 1}, {64, 1}, {57, 4}, {95, 37}, {94, 2}})
    EXPECT_EQ(Item(s, item), value) << item;
  // Unknown commands are skipped and not kept.
  EXPECT_EQ(Base(s), std::string(kRequiredLines + SetLine("DUPLEX", "ON") + SetLine("COLLATE", "SORT") +
                                 SetLine("OUTBIN", "LOWER") + SetLine("NUP", "4IN1P2")) + '\0');
}

TEST_F(CommandEngineTest, AnUpdateTheConstraintsAnswerReportsExactlyTheOtherChangedLines) {
  EXCSESSION s = Session();
  ASSERT_NE(s, nullptr);
  const std::string block = SetLine("APLPAGESIZE", "A4") + SetLine("APLPAGELAYOUT", "PORTRAIT") +
                            SetLine("PAPER", "SAME") + SetLine("TRAY", "TRAY1") + SetLine("DUPLEX", "OFF");
  ASSERT_EQ(ApplyBase(s, block), kExcDone);
  // The cassette does not take A6: the tray falls back to automatic selection.
  std::string changes;
  EXPECT_EQ(Update(s, SetLine("APLPAGESIZE", "A6"), &changes), kExcMore);
  EXPECT_EQ(changes, SetLine("TRAY", "ALL"));
  EXPECT_EQ(Base(s), SetLine("APLPAGESIZE", "A6") + SetLine("APLPAGELAYOUT", "PORTRAIT") + SetLine("PAPER", "SAME") +
                         SetLine("TRAY", "ALL") + SetLine("DUPLEX", "OFF") + '\0');
  // The change list is handed out once.
  uint32_t needed = 9;
  EXPECT_EQ(ExcGetCommandChange(s, 0, nullptr, &needed), kExcDone);
  EXPECT_EQ(needed, 0u);
  // The base's own value, and a command the base lacks, report nothing.
  EXPECT_EQ(Update(s, SetLine("DUPLEX", "OFF"), &changes), kExcDone);
  EXPECT_EQ(Update(s, SetLine("NUP", "2IN1P1"), &changes), kExcDone);
  EXPECT_EQ(Update(s, SetLine("NOSUCH", "1"), &changes), kExcDone);
}

TEST_F(CommandEngineTest, ARefusedUpdateReportsTheValueTheDriverKept) {
  EXCSESSION s = WithBase(SetLine("STAPLE", "OFF") + SetLine("NUP", "4IN1P1") + SetLine("SCALETYPE", "OFF"));
  ASSERT_NE(s, nullptr);
  std::string changes;
  // N-up turns scaling off.
  // No stapler is installed.
  EXPECT_EQ(Update(s, SetLine("STAPLE", "LEFT2"), &changes), kExcMore);
  EXPECT_EQ(changes, SetLine("STAPLE", "OFF"));
  EXPECT_EQ(Update(s, SetLine("SCALETYPE", "PAPERSCALE"), &changes), kExcMore);
  EXPECT_EQ(changes, SetLine("SCALETYPE", "OFF"));
  EXPECT_NE(Base(s).find(SetLine("STAPLE", "OFF")), std::string::npos);
}

TEST_F(CommandEngineTest, ForceFeedUpdatesRevertWithTwoLinesAndLeaveTheBase) {
  EXCSESSION s = Session();
  ASSERT_NE(s, nullptr);
  // Before any base there is nothing to compare with.
  EXPECT_EQ(Update(s, SetLine("FORCEFEED", "SEF")), kExcDone);

  std::string changes;
  ASSERT_EQ(ApplyBase(s, kRequiredLines + SetLine("STAPLE", "OFF") + SetLine("FORCEFEED", "SEF"), &changes), kExcMore);
  EXPECT_EQ(changes, SetLine("FORCEFEED", "ALL"));  // neither force-feed test holds
  const std::string base = Base(s);
  EXPECT_NE(base.find(SetLine("FORCEFEED", "ALL")), std::string::npos);
  // Each of the two passes adds the base's value.
  EXPECT_EQ(Update(s, SetLine("FORCEFEED", "LEF"), &changes), kExcMore);
  EXPECT_EQ(changes, SetLine("FORCEFEED", "ALL") + SetLine("FORCEFEED", "ALL"));
  EXPECT_EQ(Base(s), base);
  EXPECT_EQ(Update(s, SetLine("FORCEFEED", "ALL"), &changes), kExcDone);
  EXPECT_EQ(Values(s, "FORCEFEED", 0), (std::vector<std::string>{"SEF", "LEF", "ALL"}));
  EXPECT_EQ(Values(s, "FORCEFEED", 1), (std::vector<std::string>{"ALL"}));

  // Without staple or punch in the base FORCEFEED is not looked at.
  ASSERT_EQ(ApplyBase(s, kRequiredLines + SetLine("FORCEFEED", "SEF")), kExcDone);
  EXPECT_EQ(Update(s, SetLine("FORCEFEED", "LEF")), kExcDone);
}

TEST_F(CommandEngineTest, NumericCommandsGoThroughTheirCommandNodes) {
  EXCSESSION s = WithBase(SetLine("COPIES", "3") + SetLine("SCALETYPE", "PAPERSCALE") + SetLine("PAPERSCALEW", "50"));
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(Item(s, 12), 3u);
  EXPECT_EQ(Item(s, 92), 50u);
  EXPECT_EQ(Item(s, 93), 50u);  // item 92 is mirrored into 93 while the scale is by paper
  EXPECT_EQ(Update(s, SetLine("COPIES", "7")), kExcDone);
  EXPECT_NE(Base(s).find(SetLine("COPIES", "7")), std::string::npos);
  // A value the node cannot read sets nothing, and is answered as refused.
  std::string changes;
  EXPECT_EQ(Update(s, SetLine("COPIES", "many"), &changes), kExcMore);
  EXPECT_EQ(changes, SetLine("COPIES", "7"));
  EXPECT_EQ(Item(s, 12), 7u);
  EXPECT_EQ(Values(s, "PAPERSCALEW", 1), (std::vector<std::string>{"25", "400", "100"}));
}

// A number the node's range (COPIES: 1..999) or the item's 16-bit field cannot take is refused
// like a word: nothing is set, the kept value is reported, and the base keeps it.
TEST_F(CommandEngineTest, NumbersOutsideTheRangeOrTheFieldAreRefused) {
  for (const char* number : {"0", "-1", "1000", "65535", "65536", "66536", "4294967297", "9999999999"}) {
    EXCSESSION s = WithBase(SetLine("COPIES", "1"));
    ASSERT_NE(s, nullptr);
    std::string changes;
    EXPECT_EQ(Update(s, SetLine("COPIES", number), &changes), kExcMore) << number;
    EXPECT_EQ(changes, SetLine("COPIES", "1")) << number;
    EXPECT_EQ(Item(s, 12), 1u) << number;
    EXPECT_NE(Base(s).find(SetLine("COPIES", "1")), std::string::npos) << number;
    // In a base the line is skipped as a value the node cannot read: the item keeps its default.
    EXPECT_GE(ApplyBase(s, kRequiredLines + SetLine("COPIES", number)), 0) << number;
    EXPECT_EQ(Item(s, 12), 1u) << number;
  }
  EXCSESSION s = WithBase(SetLine("COPIES", "1"));
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(Update(s, SetLine("COPIES", "999")), kExcDone);  // the bounds themselves are taken
  EXPECT_EQ(Item(s, 12), 999u);
}

// ---- Value lists ----------------------------------------------------------------------------------

TEST_F(CommandEngineTest, ValueListsWithAndWithoutTheAcceptableFlag) {
  EXCSESSION s = WithBase(SetLine("STAPLE", "OFF") + SetLine("DUPLEX", "OFF") + SetLine("BOOKLET", "OFF") +
                          SetLine("NUP", "2IN1P1") + SetLine("SCALETYPE", "OFF") + SetLine("PAPERSCALEW", "100"));
  ASSERT_NE(s, nullptr);
  // Conditional rows are left out of the plain list.
  const std::vector<std::string> papers = Values(s, "PAPER", 0);
  EXPECT_EQ(std::count(papers.begin(), papers.end(), "CUSTOM"), 1);
  EXPECT_EQ(papers.front(), "SAME");
  // Values the constraints would change something for are not acceptable.
  EXPECT_EQ(Values(s, "STAPLE", 0), (std::vector<std::string>{"TOP2", "LEFT2", "RIGHT2", "LEFTTOP", "RIGHTTOP", "OFF"}));
  EXPECT_EQ(Values(s, "STAPLE", 1), (std::vector<std::string>{"OFF"}));
  EXPECT_EQ(Values(s, "BOOKLET", 1), (std::vector<std::string>{"OFF"}));  // booklets need duplex
  EXPECT_EQ(Values(s, "SCALETYPE", 0), (std::vector<std::string>{"PAPERDEFSCALE", "PAPERSCALE", "OFF"}));
  EXPECT_EQ(Values(s, "SCALETYPE", 1), (std::vector<std::string>{"OFF"}));  // n-up turns scaling off
  EXPECT_EQ(Values(s, "TRAY", 0), (std::vector<std::string>{"ALL", "TRAY1", "TRAY2"}));
  // Numbers: lower bound, upper bound, default; the scale only while SCALETYPE is PAPERSCALE.
  EXPECT_EQ(Values(s, "COPIES", 0), (std::vector<std::string>{"1", "999", "1"}));
  EXPECT_EQ(Values(s, "PAPERSCALEW", 0), (std::vector<std::string>{"25", "400", "100"}));
  EXPECT_EQ(Values(s, "PAPERSCALEW", 1), std::vector<std::string>{});
  // A command the base lacks is unavailable with the flag.
  EXPECT_EQ(Values(s, "MEDIATYPE", 1), std::vector<std::string>{});
  EXPECT_FALSE(Values(s, "MEDIATYPE", 0).empty());
  // The lists change nothing.
  const State before = Capture(s);
  Values(s, "STAPLE", 1);
  EXPECT_TRUE(Capture(s) == before);
}

// ---- Return codes, sizes and malformed input --------------------------------------------------------

TEST_F(CommandEngineTest, ReturnCodesAndSizesOfTheCommandExports) {
  uint32_t size = 5;
  char buffer[8];
  EXPECT_EQ(ExcSetCommandBase(nullptr, kRequiredLines.c_str(), &size), kExcFailed);
  EXPECT_EQ(ExcGetCommandBase(nullptr, 8, buffer, &size), kExcFailed);
  EXPECT_EQ(ExcUpdateCommand(nullptr, SetLine("TRAY", "ALL").c_str(), &size), kExcFailed);
  EXPECT_EQ(ExcGetCommandChange(nullptr, 8, buffer, &size), kExcFailed);
  EXPECT_EQ(ExcGetCommandValue(nullptr, "TRAY", 0, 8, buffer, &size), kExcFailed);

  EXCSESSION s = Session();
  ASSERT_NE(s, nullptr);
  size = 5;
  EXPECT_EQ(ExcSetCommandBase(s, nullptr, &size), kExcNoData);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(ExcSetCommandBase(s, "", nullptr), kExcNoData);
  EXPECT_EQ(ExcSetCommandBase(s, " \t", nullptr), kExcNoData);
  // A base without PAPER is refused and leaves no base.
  const std::string noPaper = SetLine("APLPAGESIZE", "A4") + SetLine("APLPAGELAYOUT", "PORTRAIT") + SetLine("TRAY", "ALL");
  EXPECT_EQ(ExcSetCommandBase(s, noPaper.c_str(), &size), kExcNoData);
  EXPECT_EQ(ExcGetCommandBase(s, 8, buffer, &size), kExcDone);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(ExcUpdateCommand(s, SetLine("TRAY", "TRAY1").c_str(), &size), kExcDone);  // unavailable without a base

  ASSERT_EQ(ExcSetCommandBase(s, kRequiredLines.c_str(), nullptr), kExcDone);
  const uint32_t length = static_cast<uint32_t>(kRequiredLines.size() + 1);
  std::string text(length, 'x');
  EXPECT_EQ(ExcGetCommandBase(s, length - 1, text.data(), &size), kExcMore);
  EXPECT_EQ(size, length);
  EXPECT_EQ(text, std::string(length, 'x'));
  EXPECT_EQ(ExcGetCommandBase(s, length, text.data(), nullptr), kExcDone);
  EXPECT_EQ(text, kRequiredLines + '\0');

  // A change list: too small keeps it, the copy frees it.
  EXPECT_EQ(ExcUpdateCommand(s, nullptr, &size), kExcDone);
  ASSERT_EQ(ExcUpdateCommand(s, SetLine("APLPAGESIZE", "A3").c_str(), nullptr), kExcDone);
  ASSERT_EQ(ApplyBase(s, SetLine("APLPAGESIZE", "A4") + SetLine("APLPAGELAYOUT", "PORTRAIT") + SetLine("PAPER", "SAME") +
                             SetLine("TRAY", "TRAY1")),
            kExcDone);
  ASSERT_EQ(ExcUpdateCommand(s, SetLine("APLPAGESIZE", "A6").c_str(), &size), kExcMore);
  const uint32_t changeLength = static_cast<uint32_t>(SetLine("TRAY", "ALL").size() + 1);
  EXPECT_EQ(size, changeLength);
  text.assign(changeLength, 'x');
  EXPECT_EQ(ExcGetCommandChange(s, changeLength - 1, text.data(), &size), kExcMore);
  EXPECT_EQ(size, changeLength);
  EXPECT_EQ(ExcGetCommandChange(s, changeLength, text.data(), &size), kExcDone);
  EXPECT_EQ(text, SetLine("TRAY", "ALL") + '\0');
  EXPECT_EQ(ExcGetCommandChange(s, changeLength, text.data(), &size), kExcDone);
  EXPECT_EQ(size, 0u);

  // Value lists: texts with their NULs and one more.
  const uint32_t listLength = 4 + 6 + 6 + 1;  // ALL TRAY1 TRAY2
  text.assign(listLength, 'x');
  EXPECT_EQ(ExcGetCommandValue(s, "TRAY", 0, listLength - 1, text.data(), &size), kExcMore);
  EXPECT_EQ(size, listLength);
  EXPECT_EQ(ExcGetCommandValue(s, "TRAY", 0, listLength, text.data(), nullptr), kExcDone);
  EXPECT_EQ(text, std::string("ALL\0TRAY1\0TRAY2\0\0", listLength));
  for (const char* command : {"NOSUCH", "TRAYPAPER1", "USERCODE"}) {  // unknown, or not a job command
    size = 3;
    EXPECT_EQ(ExcGetCommandValue(s, command, 0, listLength, text.data(), &size), kExcDone) << command;
    EXPECT_EQ(size, 0u) << command;
  }
}

TEST_F(CommandEngineTest, MalformedLinesAreRefusedAndLeaveTheSessionAsItWas) {
  EXCSESSION s = WithBase(SetLine("DUPLEX", "ON"));
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(Update(s, SetLine("APLPAGESIZE", "A3")), kExcDone);
  const State before = Capture(s);
  const std::string long260(260, 'A');
  for (const std::string& line : {std::string("@PJL SET DUPLEX=OFF \r\n"), std::string("@pjl SET DUPLEX = OFF \r\n"),
                                  std::string("@PJL SET DUPLEX = OFF"), std::string("@PJL SET DUPLEX = OFF \n"),
                                  "@PJL SET " + long260 + " = OFF \r\n", "@PJL SET DUPLEX = " + long260 + " \r\n",
                                  std::string("PJL SET DUPLEX = OFF \r\n")}) {
    uint32_t size = 7;
    EXPECT_EQ(ExcUpdateCommand(s, line.c_str(), &size), kExcFailed) << line;
    EXPECT_EQ(size, 0u);
    EXPECT_TRUE(Capture(s) == before) << line;
    // In a base the same line refuses the whole block, before the session gives up its base.
    const std::string block = kRequiredLines + line + SetLine("DUPLEX", "OFF");
    EXPECT_EQ(ExcSetCommandBase(s, block.c_str(), &size), kExcFailed) << line;
    EXPECT_TRUE(Capture(s) == before) << line;
  }
}

}  // namespace
}  // namespace velm::test
