// The summary record applied code by code, the capability record of the shipped model against
// the bit tables, merging a committed devmode back, the collate rule and the kept bytes.
#include "data/item_ids.h"
#include "entry_fixture.h"

namespace velm::test {
namespace {

class SummaryTest : public EntryTest {
 protected:
  void SetUp() override {
    EntryTest::SetUp();
    ui_ = UiCreateContext(printer_, 0, kKindOrdinary, kUiCreateSheet, 0, nullptr);
    ASSERT_NE(ui_, nullptr);
  }
  void TearDown() override {
    UiDestroyContext(ui_);
    EntryTest::TearDown();
  }
  DWORD Item(WORD id) { return OptGetValue(ui_->driver, id); }
  BYTE* Own() { return ui_->driver->settings->devmode.bytes; }

  UiContext* ui_ = nullptr;
};

struct SummaryCase {
  const char* name;
  size_t byte;
  WORD code;  // bytes 10..11 take it as a u16
  std::vector<std::pair<WORD, DWORD>> before;
  std::vector<std::pair<WORD, DWORD>> after;
};

class SummaryCodeTest : public SummaryTest, public ::testing::WithParamInterface<SummaryCase> {};

TEST_P(SummaryCodeTest, SetsTheItemsOfItsCode) {
  const SummaryCase& c = GetParam();
  for (auto [item, value] : c.before) OptSetValue(ui_->driver, item, value);
  BYTE record[32] = {0, 1};
  if (c.byte == 10) DmStoreU16(record, 10, c.code);
  else record[c.byte] = static_cast<BYTE>(c.code);
  DmApplySummaryBytes(ui_, record);
  for (auto [item, value] : c.after) EXPECT_EQ(Item(item), value) << "item " << item;
}

INSTANTIATE_TEST_SUITE_P(
    Codes, SummaryCodeTest,
    ::testing::Values(
        SummaryCase{"scale", 10, 16388, {}, {{92, 80}, {58, 1}, {90, 1}}},
        SummaryCase{"scaleFirst", 10, 16385, {}, {{92, 67}}},
        SummaryCase{"scaleAsIs", 10, 150, {}, {{92, 150}}},
        SummaryCase{"staple", 5, 5, {}, {{66, 1}, {136, 49}}},
        SummaryCase{"stapleOff", 5, 1, {{66, 1}}, {{66, 0}}},
        SummaryCase{"nupLandscape", 12, 2, {{7, 2}}, {{59, 1}, {94, 1}, {95, 3}}},
        SummaryCase{"nupPortrait", 12, 2, {{7, 1}}, {{59, 1}, {94, 1}, {95, 1}}},
        SummaryCase{"nupFour", 12, 4, {}, {{59, 1}, {94, 2}, {95, 33}}},
        SummaryCase{"outputPaper", 13, 13, {}, {{50, 267}}},
        SummaryCase{"outputPaperUnknown", 13, 16, {}, {{50, 0xFFFF}}},
        SummaryCase{"duplexLeft", 2, 4, {}, {{61, 1}, {102, 3}}},
        SummaryCase{"sortStack", 3, 3, {}, {{64, 1}, {129, 4}}},
        SummaryCase{"punchRight", 4, 3, {}, {{65, 1}, {134, 2}}},
        SummaryCase{"trayFaceUp", 6, 3, {}, {{57, 13}}},
        SummaryCase{"trayNumbered", 6, 7, {}, {{57, 17}}},
        SummaryCase{"trayNoFinisher", 6, 14, {}, {{57, 0}}},
        SummaryCase{"resolution", 7, 3, {}, {{42, 1200}}},
        SummaryCase{"printArea", 8, 2, {}, {{182, 1}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SummaryTest, TheFinisherTrayCodesComeFromTheOutputTrayTable) {
  OptSetSavedValue(ui_->driver, kItemOutputOptionTypeFinisher, 1);
  BYTE record[32] = {0, 1};
  record[6] = 14;
  DmApplySummaryBytes(ui_, record);
  EXPECT_EQ(Item(57), 32u) << "code 14: the row's third field, the finisher's shift bin";
  record[6] = 15;
  DmApplySummaryBytes(ui_, record);
  EXPECT_EQ(Item(57), 31u) << "code 15: the second field, the proof bin";
}

TEST_F(SummaryTest, TheBitsNameOnlyTheItemsThatWereSet) {
  BYTE record[32] = {0, 1};
  DmStoreU16(record, 10, 16388);
  const DWORD bits = DmApplySummaryBytes(ui_, record);
  // 58 is the list's fifth item, 90 the eleventh, 92 the twelfth.
  EXPECT_EQ(bits, (1u << 4) | (1u << 10) | (1u << 11));
}

// Staple on without a stapler is a conflict whose rule switches stapling off; the rule runs only
// when the summary set a staple item.
TEST_F(SummaryTest, OnlyTheItemsTheSummarySetHaveTheirRulesRun) {
  OptSetValue(ui_->driver, kItemFuncSelectStaple, 1);
  const std::vector<BYTE> own(Own(), Own() + 1260);
  for (const auto& [code, staple] : {std::pair<int, DWORD>{0, 1}, {5, 0}}) {
    SCOPED_TRACE(code);
    std::vector<BYTE> devmode = own;
    devmode[285] = 0;
    devmode[286] = 1;
    devmode[285 + 7] = 2;  // 600 dpi
    devmode[285 + 5] = static_cast<BYTE>(code);
    ASSERT_EQ(DmApplyCapsSummary(ui_, reinterpret_cast<PrivateDevmode*>(devmode.data())), 1);
    EXPECT_EQ(std::vector<BYTE>(Own(), Own() + 1260), own) << "the context's own devmode is put back";
    std::copy(devmode.begin(), devmode.end(), Own());
    EXPECT_EQ(Item(kItemFuncSelectStaple), staple);
    EXPECT_EQ(Item(kItemDstResolutionW), 600u);
    std::copy(own.begin(), own.end(), Own());
  }
}

TEST_F(SummaryTest, ARecordWithoutItsMarkOrAMergeWithoutFlagsChangesNothing) {
  std::vector<BYTE> devmode = DefaultDevmode();
  devmode[285] = 5;
  devmode[286] = 0;  // the mark is missing
  devmode[285 + 13] = 13;
  ASSERT_EQ(DmMergeIntoUiContext(ui_, Dm(devmode), 0x8000008), 1);
  EXPECT_NE(Item(50), 267u);
  EXPECT_FALSE(UiGetStateFlags(ui_) & kUiFlagSummaryApplied);

  const std::vector<BYTE> before(Own(), Own() + 3808);
  const DWORD flagsBefore = UiGetStateFlags(ui_);
  devmode[286] = 1;
  Dm(devmode)->dmCopies = 9;
  EXPECT_EQ(DmMergeIntoUiContext(ui_, Dm(devmode), 0), 1);
  EXPECT_EQ(std::vector<BYTE>(Own(), Own() + 3808), before);
  EXPECT_EQ(UiGetStateFlags(ui_), flagsBefore);
}

TEST_F(SummaryTest, AMarkedRecordIsAppliedInTheMergeAndTheContextKeepsItsEnvironment) {
  std::vector<BYTE> devmode = DefaultDevmode();
  devmode[285] = 5;
  devmode[286] = 1;
  devmode[285 + 13] = 1;  // output paper A3 (8)
  for (size_t b = 1241; b <= 1256; ++b) devmode[b] = 0x77;
  OptSetValue(ui_->driver, kItemJobBinder, 0);
  std::vector<BYTE> kept(Own() + 1241, Own() + 1257);
  ASSERT_EQ(DmMergeIntoUiContext(ui_, Dm(devmode), 0x8000008), 1);
  EXPECT_EQ(Item(50), 8u);
  EXPECT_TRUE(UiGetStateFlags(ui_) & kUiFlagSummaryApplied);
  for (size_t b : {1241, 1242, 1243, 1244, 1245, 1246, 1249, 1253, 1254, 1255, 1256})
    EXPECT_EQ(Own()[b], kept[b - 1241]) << "byte " << b;
}

TEST_F(SummaryTest, TheInterfaceDefaultsCarryTheCommonHeader) {
  Own()[285] = 9;
  Own()[317] = 9;
  DmLoadUiDefaults(ui_);
  EXPECT_EQ(std::memcmp(Own() + 228, "qnset.ini", 10), 0);
  EXPECT_EQ(std::memcmp(Own() + 276, "QCOMMON", 8), 0);
  EXPECT_EQ(Own()[284], 5);
  EXPECT_EQ(std::vector<BYTE>(Own() + 285, Own() + 349), std::vector<BYTE>(64, 0));
}

TEST_F(SummaryTest, TheCapabilityRecordOfTheShippedModel) {
  BYTE record[32];
  DmBuildCapsRecord(ui_, record);
  // Worked out from the model description's lists and the bit tables, with no device
  // information read and nothing installed:
  //  1  7     device information present (item 10014, the duplex unit, defaults to installed)
  //  2  0x07  collate: SORT 1 -> 0x01, STACK 4 -> 0x02, ROTATE 6 -> 0x04
  //  3  3
  //  4  0x07  punch: T 1, R 2, L 3 -> bits 0..2
  //  7  0x1F  trays DEFAULT, UPPER, FACEUP, FINISHERPROOF, FINISHERSHIFT (bits 0..4)
  // 10  0x06  resolutions 600 and 1200 (300 has no bit)
  // 11  1, 12 63
  // 13  0xB7  A3 0x01, A4 0x02, A5 0x04, B4 0x10, B5 0x20, Letter 0x80
  // 14  0x09  Legal 0x01, Ledger 0x08
  // 17  1
  const BYTE golden[32] = {0, 7, 0x07, 3, 0x07, 0, 0, 0x1F, 0, 0, 0x06, 1, 63, 0xB7, 0x09, 0, 0, 1};
  EXPECT_EQ(std::vector<BYTE>(record, record + 32), std::vector<BYTE>(golden, golden + 32));
}

TEST_F(SummaryTest, ACommittedDevmodeMergedIntoAFreshContextGivesTheSameItems) {
  OptSetValue(ui_->driver, kItemDstResolutionW, 1200);
  OptSetValue(ui_->driver, kItemCopies, 5);
  std::vector<BYTE> out(1260);
  ui_->state.fMode = DM_COPY;
  ui_->state.pdmOut = Dm(out);
  SheetCommitWithMode(ui_, kCommitDocumentSheet);
  EXPECT_EQ(out[286], 0) << "the second record never asks to be applied";

  UiContext* fresh = UiCreateContext(printer_, 0, kKindOrdinary, kUiCreateSheet, 0, nullptr);
  ASSERT_NE(fresh, nullptr);
  ASSERT_EQ(DmMergeIntoUiContext(fresh, Dm(out), 0x8000008), 1);
  for (const WORD item : {kItemDstResolutionW, kItemCopies, kItemPaperSize, kItemOrientation, kItemOutputTrayID,
                          kItemFuncSelectStaple, kItemStapleType, kItemOutPaperSize})
    EXPECT_EQ(OptGetValue(fresh->driver, item), Item(item)) << "item " << item;
  UiDestroyContext(fresh);
}

struct CollateCase {
  const char* name;
  bool inHasCollate;
  const char* os;
  BYTE callSrc;
  SHORT collate;  // dmCollate written back, -1: left as the caller had it
};

class CollateTest : public SummaryTest, public ::testing::WithParamInterface<CollateCase> {};

TEST_P(CollateTest, TheWrittenBackCollateFollowsTheRule) {
  const CollateCase c = GetParam();
  ASSERT_TRUE(platform::SetMachineSetting("os", c.os));
  std::vector<BYTE> in = DefaultDevmode();
  Dm(in)->dmFields = c.inHasCollate ? (Dm(in)->dmFields | DM_COLLATE) : (Dm(in)->dmFields & ~DM_COLLATE);
  Dm(in)->dmCollate = 7;
  OptSetSavedValue(ui_->driver, kItemFuncSelectSort, 1);
  OptSetValue(ui_->driver, kItemCollate, 7);
  DmSetEnvironmentByte(ui_->driver, kEnvCallSrc, c.callSrc);
  std::vector<BYTE> out(1260);
  ui_->state.fMode = DM_COPY;
  ui_->state.pdmIn = Dm(in);
  ui_->state.pdmOut = Dm(out);
  SheetCommitDevmode(ui_);
  EXPECT_TRUE(Dm(out)->dmFields & DM_COLLATE);
  EXPECT_EQ(Dm(out)->dmCollate, c.collate);
}

INSTANTIATE_TEST_SUITE_P(Cases, CollateTest,
                         ::testing::Values(CollateCase{"callerCollatesOnNt5", true, "nt10", 1, 7},
                                           CollateCase{"callerCollatesOnNt4FromTheSheet", true, "nt4", 1, 1},
                                           CollateCase{"callerDoesNotCollate", false, "nt10", 1, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velm::test
