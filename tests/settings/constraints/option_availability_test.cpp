// Option availability over the shipped command table: the list result codes, skipping the
// "none" rows, the conditions of real rows, the literal chain walk, the trial application of a
// value, the collate test, and what the generated table holds.
#include <cstring>
#include <string>
#include <vector>

#include "core/memory.h"
#include "settings/description/image_fixture.h"
#include "settings/items/store_fixture.h"
#include "settings/description/image.h"
#include "settings/context/memory.h"
#include "settings/constraints/option_availability.h"
#include "settings/constraints/eval.h"
#include "settings/constraints/pjl_command_table.h"

namespace {

// Items of the installed-option flags that the shipped chains read.
constexpr WORD kMemory = 441, kDuplexUnit = 443, kBankTray = 449, kManualTray = 450, kOneStep = 452,
               kLargeTray = 447, kFinisher1 = 478, kMailbox2 = 486, kFinisher2 = 487, kCardMemory = 492,
               kLowerBins = 493, kHardDisk = 499;
constexpr WORD kCollate = 129, kSource = 13, kDuplexOn = 61, kStaple = 136, kBinding = 102, kNupKind = 94,
               kNupOn = 59, kScaleOn = 58, kScaleType = 90, kScaleAcross = 92, kScaleAlong = 93;

class OptionAvailabilityTest : public ItemStoreTest {
 protected:
  void Set(WORD id, DWORD value) { ASSERT_TRUE(OptSetValue(context_, id, value)) << id; }
  DWORD Get(WORD id) { return OptGetValue(context_, id); }

  // Every option flag off, so that each test turns on what it needs.
  void NoOptions() {
    for (WORD id : {kMemory, kDuplexUnit, kBankTray, kManualTray, kOneStep, kLargeTray, kFinisher1, kMailbox2,
                    kFinisher2, kLowerBins, kHardDisk}) {
      Set(id, 0);
    }
    Set(kCardMemory, 1);  // "card memory absent" (0) is itself an alternative of several chains
  }

  std::vector<DWORD> Allowed(WORD key, BOOL skip = FALSE) {
    DWORD values[64];
    DWORD count = 0;
    EXPECT_EQ(CondListAllowedValues(context_, key, 64, values, &count, skip), kListDone);
    return {values, values + count};
  }

  const ExcCommandRow* Command(const char* name) {
    const ExcCommandTable* table = ExcGetCommandTable();
    for (DWORD i = 0; i < table->count; ++i) {
      if (table->rows[i].name && std::strcmp(table->rows[i].name, name) == 0) return &table->rows[i];
    }
    ADD_FAILURE() << "no command " << name;
    return nullptr;
  }
  const ExcValueRow* Value(const char* command, const char* text) {
    const ExcCommandRow* row = Command(command);
    for (DWORD i = 0; row && i < row->values->count; ++i) {
      if (std::strcmp(row->values->rows[i].text, text) == 0) return &row->values->rows[i];
    }
    ADD_FAILURE() << "no value " << text << " of " << command;
    return nullptr;
  }
  bool Holds(const char* command, const char* text) {
    return CondEvalChain(context_, Value(command, text)->condition) != FALSE;
  }
};

TEST_F(OptionAvailabilityTest, ListResultCodes) {
  NoOptions();
  for (WORD id : {kOneStep, kBankTray, kLargeTray, kManualTray}) Set(id, 1);
  const std::vector<DWORD> trays = {7, 1, 3, 2, 256, 11, 4};

  DWORD exact[7];
  DWORD count = 0;
  EXPECT_EQ(CondListAllowedValues(context_, kSource, 7, exact, &count, FALSE), kListDone);
  EXPECT_EQ(count, 7u);
  EXPECT_EQ(std::vector<DWORD>(exact, exact + 7), trays);

  DWORD shortArray[7];
  std::memset(shortArray, 0xAB, sizeof(shortArray));
  count = 0;
  EXPECT_EQ(CondListAllowedValues(context_, kSource, 6, shortArray, &count, FALSE), kListTooSmall);
  EXPECT_EQ(count, 7u);
  for (DWORD v : shortArray) EXPECT_EQ(v, 0xABABABABu);  // nothing copied

  count = 0;
  EXPECT_EQ(CondGetAllowedValues(context_, kSource, 0, nullptr, &count), kListTooSmall);
  EXPECT_EQ(count, 7u);

  // Every BINDING value needs duplex on: none is available, and no array is needed.
  Set(kDuplexOn, 0);
  count = 99;
  EXPECT_EQ(CondGetAllowedValues(context_, kBinding, 0, nullptr, &count), kListDone);
  EXPECT_EQ(count, 0u);

  // No job row: an unknown item, item 0, a printer-value row, a numeric row without values.
  for (DWORD key : {12345u, 0u, 604u, 12u}) {
    count = 99;
    EXPECT_EQ(CondGetAllowedValues(context_, key, 0, nullptr, &count), kListDone) << key;
    EXPECT_EQ(count, 0u) << key;
  }
}

TEST_F(OptionAvailabilityTest, MemoryRunningOutGives255) {
  velm::platform::SetAllocationFault(1);
  DWORD count = 99;
  EXPECT_EQ(CondGetAllowedValues(context_, kSource, 0, nullptr, &count), kListNoMemory);
  velm::platform::SetAllocationFault(0);
  EXPECT_EQ(count, 0u);
}

TEST_F(OptionAvailabilityTest, SkippingLeavesOutTheNoneRows) {
  NoOptions();
  Set(kHardDisk, 1);
  EXPECT_EQ(Allowed(kCollate), (std::vector<DWORD>{1, 0}));
  EXPECT_EQ(Allowed(kCollate, TRUE), (std::vector<DWORD>{1}));
  Set(kFinisher2, 1);
  EXPECT_EQ(Allowed(kStaple).back(), 0u);  // "OFF"
  EXPECT_EQ(Allowed(kStaple, TRUE), (std::vector<DWORD>{65, 67, 66, 50, 49}));
  // PUNCHHOLE has only its "none" row.
  DWORD count = 99;
  EXPECT_EQ(CondListAllowedValues(context_, 65, 0, nullptr, &count, TRUE), kListDone);
  EXPECT_EQ(count, 0u);
}

TEST_F(OptionAvailabilityTest, RealRowsFollowTheInstalledOptions) {
  NoOptions();
  EXPECT_EQ(Allowed(kSource), (std::vector<DWORD>{7, 1, 3}));
  Set(kOneStep, 1);  // TRAY3 needs the one-step option or the bank tray
  EXPECT_EQ(Allowed(kSource), (std::vector<DWORD>{7, 1, 3, 2}));
  Set(kOneStep, 0);
  Set(kBankTray, 1);  // the bank tray brings TRAY3 and TRAY4
  EXPECT_EQ(Allowed(kSource), (std::vector<DWORD>{7, 1, 3, 2, 256}));
  Set(kManualTray, 1);
  EXPECT_EQ(Allowed(kSource), (std::vector<DWORD>{7, 1, 3, 2, 256, 4}));

  EXPECT_EQ(Allowed(kDuplexOn), (std::vector<DWORD>{0}));
  Set(kDuplexUnit, 1);
  EXPECT_EQ(Allowed(kDuplexOn), (std::vector<DWORD>{1, 0}));

  EXPECT_EQ(Allowed(57), (std::vector<DWORD>{2, 4}));  // OUTBIN without finisher or bins
  Set(kFinisher2, 1);
  EXPECT_EQ(Allowed(57), (std::vector<DWORD>{2, 4, 31, 32}));
}

// The chain walk is taken literally: a term marked "or" is read only first in a chain or right
// after a "link" term, so the "or" terms of C1, C10 and C11 are never read, and terms with
// flags 0 are alternatives of each other.
TEST_F(OptionAvailabilityTest, TheChainWalkIsLiteral) {
  NoOptions();
  // C1 (COLLATE SORT): 499=1 | or 441=128 | 492=0 | or 441=160 | ... | 441=256 | 441=288 ...
  EXPECT_FALSE(Holds("COLLATE", "SORT"));
  Set(kMemory, 128);  // an "or" term: never read
  EXPECT_FALSE(Holds("COLLATE", "SORT"));
  Set(kMemory, 256);  // a flag-0 term: an alternative
  EXPECT_TRUE(Holds("COLLATE", "SORT"));
  Set(kMemory, 0);
  Set(kCardMemory, 0);  // "492=0" alone holds, whatever the memory
  EXPECT_TRUE(Holds("COLLATE", "SORT"));
  Set(kCardMemory, 1);
  Set(kHardDisk, 1);
  EXPECT_TRUE(Holds("COLLATE", "SORT"));

  // C5 (TRAY3): 452=1 | 449=1, two alternatives.
  Set(kOneStep, 1);
  EXPECT_TRUE(Holds("TRAY", "TRAY3"));
  Set(kOneStep, 0);
  Set(kBankTray, 1);
  EXPECT_TRUE(Holds("TRAY", "TRAY3"));

  // C10 (STAPLE LEFTTOPSLANT): 478=1, then the group from the link term 487=1 must hold too.
  NoOptions();
  Set(kFinisher2, 1);
  EXPECT_FALSE(Holds("STAPLE", "LEFTTOPSLANT"));  // 478 off: the link term ends the chain
  Set(kFinisher1, 1);
  EXPECT_TRUE(Holds("STAPLE", "LEFTTOPSLANT"));
  Set(kFinisher2, 0);
  EXPECT_FALSE(Holds("STAPLE", "LEFTTOPSLANT"));
  Set(kHardDisk, 1);  // an alternative within the linked group
  EXPECT_TRUE(Holds("STAPLE", "LEFTTOPSLANT"));
  // C11 starts with the link term: the group alone decides.
  EXPECT_TRUE(Holds("STAPLE", "TOP2"));
  Set(kHardDisk, 0);
  EXPECT_FALSE(Holds("STAPLE", "TOP2"));

  // S10 (NUP side settings) read as a condition: link 94=1, then 59=1 as an alternative.
  const CondNode* s10 = Value("NUP", "2IN1P1")->side;
  ASSERT_NE(s10, nullptr);
  Set(kNupKind, 0);
  Set(kNupOn, 0);
  EXPECT_FALSE(CondEvalChain(context_, s10));
  Set(kNupKind, 1);
  EXPECT_TRUE(CondEvalChain(context_, s10));
  Set(kNupKind, 2);
  Set(kNupOn, 1);
  EXPECT_TRUE(CondEvalChain(context_, s10));

  // Hand-made chains for the rules the shipped ones do not reach.
  EXPECT_TRUE(CondEvalChain(context_, nullptr));  // empty: holds
  CondNode orFirst[2] = {{&orFirst[1], kCondNodeAlternative, kNupKind, 2}, {nullptr, kCondNodeLink, kNupOn, 0}};
  EXPECT_FALSE(CondEvalChain(context_, orFirst));  // an "or" term first is read, then the link must hold
  orFirst[1].value = 1;
  EXPECT_TRUE(CondEvalChain(context_, orFirst));
  CondNode loop[1] = {{loop, 0, kNupKind, 9}};
  EXPECT_FALSE(CondEvalChain(context_, loop));  // a chain without an end does not hold
}

TEST_F(OptionAvailabilityTest, ConditionIdsStandForTheSupportItems) {
  Set(250, 1);  // id 443
  Set(kDuplexUnit, 0);
  CondNode list[2] = {{&list[1], 0, 443, 1}, {nullptr, kCondNodeLink, 12, 5}};  // id 12: ignored
  EXPECT_TRUE(CondWalkChain(context_, list, kCondChainConditionIds));
  EXPECT_FALSE(CondWalkChain(context_, list, kCondChainItems));  // item 443 itself is 0
  Set(250, 0);
  EXPECT_FALSE(CondWalkChain(context_, list, kCondChainConditionIds));
}

TEST_F(OptionAvailabilityTest, CommandLookupByItemAndAccess) {
  const ExcCommandRow* tray = CondFindCommand(context_, kSource, kExcAccessJob);
  ASSERT_NE(tray, nullptr);
  EXPECT_STREQ(tray->name, "TRAY");
  EXPECT_EQ(CondFindCommand(context_, kSource, kExcAccessPrinterOption), tray);
  EXPECT_EQ(CondFindCommand(context_, kSource, kExcAccessPrinterValue), nullptr);
  EXPECT_EQ(CondFindCommand(context_, 604, kExcAccessJob), nullptr);
  ASSERT_NE(CondFindCommand(context_, 604, kExcAccessPrinterValue), nullptr);
  EXPECT_STREQ(CondFindCommand(context_, 604, kExcAccessPrinterValue)->name, "TRAYPAPER1");
  EXPECT_EQ(CondFindCommand(context_, 0, kExcAccessJob), nullptr);  // FORCEFEED's item 0 names no item
}

TEST_F(OptionAvailabilityTest, CollateNeedsMoreThanTheSingleZero) {
  NoOptions();
  EXPECT_EQ(Allowed(kCollate), (std::vector<DWORD>{0}));
  EXPECT_EQ(CapsCanCollate(context_), 0);
  Set(kHardDisk, 1);
  EXPECT_EQ(Allowed(kCollate), (std::vector<DWORD>{1, 0}));
  EXPECT_EQ(CapsCanCollate(context_), 1);
}

// A row with check flag 0x8 applies each value for a trial. Item 92 is mirrored into item 93
// while item 90 is 1, so a side setting of 92 undoes a value of 93 after it was applied.
class TrialApplicationTest : public OptionAvailabilityTest {
 protected:
  void SetUp() override {
    OptionAvailabilityTest::SetUp();
    Set(kScaleType, 1);
    Set(kScaleAcross, 100);
    Set(kScaleAlong, 100);
    Set(kScaleOn, 0);
    // The rows of this context raise change groups and the context keeps overrides, so that
    // the trial has all of them to put back.
    Row(kScaleAlong)->flags |= 0x00030000;
    Row(kScaleOn)->flags |= 0x00100000;
    const DWORD rows = static_cast<DWORD>(context_->itemTable->count);
    context_->work->overrides = static_cast<LONG*>(SysAlloc(rows * sizeof(LONG)));
    ASSERT_NE(context_->work->overrides, nullptr);
    for (DWORD i = 0; i < rows; ++i) context_->work->overrides[i] = static_cast<LONG>(i * 7);
    for (DWORD i = 0; i < rows; ++i) context_->itemTable->rows[i].changed = static_cast<LONG>(i % 3 == 0);
    context_->work->dirty = 0;
    context_->work->changeMasks[3] = 0x00000001;
  }

  struct State {
    std::vector<BYTE> record;
    std::vector<LONG> marks, overrides;
    DWORD dirty;
    std::vector<DWORD> masks;
    bool operator==(const State&) const = default;
  };
  State Capture() {
    State s;
    const BYTE* bytes = reinterpret_cast<const BYTE*>(context_->settings);
    s.record.assign(bytes, bytes + sizeof(SettingsRecord));
    const DWORD rows = static_cast<DWORD>(context_->itemTable->count);
    for (DWORD i = 0; i < rows; ++i) s.marks.push_back(context_->itemTable->rows[i].changed);
    s.overrides.assign(context_->work->overrides, context_->work->overrides + rows);
    s.dirty = context_->work->dirty;
    s.masks.assign(context_->work->changeMasks, context_->work->changeMasks + 4);
    return s;
  }

  const CondNode sideAcross100_{nullptr, 0, kScaleAcross, 100};
  const CondNode sideScaleOn_{nullptr, 0, kScaleOn, 1};
  const ExcValueRow values_[3] = {
      {0, 150, "UNDONE", nullptr, &sideAcross100_, nullptr, nullptr},
      {0, 100, "KEPT", nullptr, &sideAcross100_, nullptr, nullptr},
      {kExcValueNone, 0, "NONE", nullptr, &sideScaleOn_, nullptr, nullptr},
  };
  const ExcValueList list_{3, values_};
  const ExcCommandRow row_{kScaleAlong, 0, kExcCommandFromList | kExcCommandTestOnCopy, kExcAccessJob,
                           kExcTypeEnumeration, "TRIAL", nullptr, &list_, nullptr, nullptr};
};

TEST_F(TrialApplicationTest, AValueUndoneAfterItsApplicationIsNotAvailable) {
  const State before = Capture();
  EXPECT_EQ(CondIsValueAvailable(context_, &row_, &values_[0]), 0);
  EXPECT_TRUE(Capture() == before);
  EXPECT_EQ(CondIsValueAvailable(context_, &row_, &values_[1]), 1);
  EXPECT_TRUE(Capture() == before);
  // The "none" row does not apply its value (0 would stick), only its side settings.
  EXPECT_EQ(CondIsValueAvailable(context_, &row_, &values_[2]), 1);
  EXPECT_TRUE(Capture() == before);
  EXPECT_EQ(Get(kScaleAlong), 100u);
  EXPECT_EQ(Get(kScaleOn), 0u);
}

TEST_F(TrialApplicationTest, TheTrialIsUsedOnlyWithTheCheckFlag) {
  ExcCommandRow plain = row_;
  plain.flags = kExcCommandFromList;
  EXPECT_EQ(CondIsValueAvailable(context_, &plain, &values_[0]), 1);  // no condition: holds
  const CondNode never{nullptr, 0, kScaleType, 2};
  const ExcValueRow gated{0, 150, "GATED", nullptr, nullptr, &never, nullptr};
  EXPECT_EQ(CondIsValueAvailable(context_, &plain, &gated), 0);
  EXPECT_EQ(CondIsValueAvailable(context_, &row_, &gated), 1);  // the trial ignores the condition
}

TEST_F(TrialApplicationTest, RunningOutOfMemoryChangesNothing) {
  const State before = Capture();
  velm::platform::SetAllocationFault(1);
  EXPECT_EQ(CondIsValueAvailable(context_, &row_, &values_[1]), -1);
  velm::platform::SetAllocationFault(0);
  EXPECT_TRUE(Capture() == before);
}

TEST(PjlCommandTableTest, HoldsTheListedRows) {
  const ExcCommandTable* table = ExcGetCommandTable();
  ASSERT_EQ(table->count, 48u);
  const ExcCommandRow& collate = table->rows[0];
  EXPECT_STREQ(collate.name, "COLLATE");
  EXPECT_EQ(collate.item, 129u);
  EXPECT_EQ(collate.access, kExcAccessJob | kExcAccessPrinterOption);
  ASSERT_EQ(collate.values->count, 2u);
  EXPECT_EQ(collate.values->rows[1].flags, kExcValueNone);
  EXPECT_EQ(collate.values->rows[1].side->conditionId, 64u);

  const ExcCommandRow& paper = table->rows[28];
  EXPECT_STREQ(paper.name, "PAPER");
  ASSERT_EQ(paper.values->count, 23u);
  EXPECT_EQ(paper.values->rows[22].value, 392u);
  EXPECT_EQ(paper.values->rows[22].flags, kExcValueConditional);

  const ExcCommandRow& scaleH = table->rows[31];
  EXPECT_STREQ(scaleH.name, "PAPERSCALEH");
  EXPECT_EQ(scaleH.valueType, kExcTypeNumeric);
  ASSERT_NE(scaleH.range, nullptr);
  EXPECT_EQ(scaleH.range, table->rows[32].range);
  EXPECT_EQ(scaleH.range->condition->conditionId, 90u);
  EXPECT_EQ(scaleH.range->condition->next, nullptr);

  EXPECT_EQ(table->rows[45].item, 0u);
  EXPECT_EQ(table->rows[45].flags, 0x10100u);
  EXPECT_EQ(table->rows[47].item, 732u);
  EXPECT_EQ(table->rows[47].flags, 0x11001u);

  // S15 sets two items; C10 has thirteen terms.
  const CondNode* s15 = table->rows[39].values->rows[0].side;
  ASSERT_NE(s15, nullptr);
  EXPECT_EQ(s15->flags, kCondNodeLink);
  EXPECT_EQ(s15->next->conditionId, 185u);
  int terms = 0;
  for (const CondNode* n = table->rows[4].values->rows[0].condition; n; n = n->next) ++terms;
  EXPECT_EQ(terms, 13);

  DWORD count = 0;
  const DWORD* required = ExcGetRequiredCommands(&count);
  EXPECT_EQ(std::vector<DWORD>(required, required + count), (std::vector<DWORD>{8, 7, 50, 13}));
  const ExcCommandAlias* alias = ExcGetCommandAliases(&count);
  ASSERT_EQ(count, 1u);
  EXPECT_EQ(alias->item, 64u);
  EXPECT_EQ(alias->commandItem, 129u);
  const char* const* feed = ExcGetForceFeedTexts(&count);
  ASSERT_EQ(count, 3u);
  EXPECT_STREQ(feed[2], "ALL");
  const ExcBookletFamily* families = ExcGetBookletFamilies(&count);
  ASSERT_EQ(count, 3u);
  EXPECT_EQ(families[2].booklet, 2u);
  EXPECT_EQ(families[2].bindingBase, 20u);
}

class ItemNodeTest : public velm::test::DescriptionMachineTest {};

TEST_F(ItemNodeTest, NodesAreFoundByCommandKey) {
  DriverContext* context = CtxCreate(Open(), 0, 0);
  ASSERT_NE(context, nullptr);
  const DescNode* node = CondFindItemNode(context, kSource);
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(DescNodeItemId(node), kSource);
  EXPECT_EQ(CondFindItemNode(context, 0), nullptr);
  EXPECT_EQ(CondFindItemNode(context, 9999), nullptr);
  EXPECT_FALSE(CondIsValueExcluded(context, 0));
  EXPECT_FALSE(CondIsValueExcluded(context, 9999));
  CtxDestroyEx(context, kReleaseDestroy);
}

}  // namespace
