// Merging a caller's devmode into a context: which public fields and private bytes are taken,
// what the record keeps, and what never comes from outside.
#include <gtest/gtest.h>

#include <set>

#include "core/memory.h"
#include "settings/description/access.h"
#include "settings/devmode/record_build_fixture.h"

namespace {

constexpr WORD kPresetNo = 41;
constexpr DWORD kGraphics = 0x10008;  // the graphics library's merge: no reload, no rules

class DevmodeMergeTest : public RecordBuildTest {
 protected:
  void SetUp() override {
    RecordBuildTest::SetUp();
    context_ = Build(Open(), kKindModelDefaults);
    ASSERT_NE(context_, nullptr);
    incoming_ = context_->settings->devmode;
  }
  BYTE* Record() { return context_->settings->devmode.bytes; }
  const DEVMODEW* Incoming() { return reinterpret_cast<const DEVMODEW*>(incoming_.bytes); }
  std::vector<BYTE> WholeRecord() {
    const BYTE* r = reinterpret_cast<const BYTE*>(context_->settings);
    return std::vector<BYTE>(r, r + sizeof(SettingsRecord));
  }
  // The incoming devmode's public field at `at`, and its dmFields set to `fields` alone.
  void Field(size_t at, int width, DWORD value, DWORD fields) {
    if (width == 2) DmStoreU16(incoming_.bytes, at, static_cast<WORD>(value));
    else DmStoreU32(incoming_.bytes, at, value);
    DmStoreU32(incoming_.bytes, 72, fields);
  }

  DriverContext* context_ = nullptr;
  PrivateDevmode incoming_{};
};

TEST_F(DevmodeMergeTest, WithoutTheUpdateFlagsNothingChanges) {
  SetIn(&incoming_, kPresetNo, 3);
  Field(86, 2, 7, DM_COPIES);
  const std::vector<BYTE> before = WholeRecord();
  EXPECT_EQ(DmMerge(context_, Incoming(), 0x10000 | kMergePrompt), 1);
  EXPECT_EQ(WholeRecord(), before);
  EXPECT_EQ(context_->work->mergeFlags, 0x10004u);
}

TEST_F(DevmodeMergeTest, TheModelsOwnPrivatePartIsTakenAndTheRecordKeepsItsOwnBytes) {
  // The record's environment and the word at 832 before the merge.
  for (size_t at = 1241; at <= 1256; ++at) Record()[at] = static_cast<BYTE>(at);
  DmStoreU32(Record(), 832, 0xAABBCCDD);
  SetIn(&incoming_, kPresetNo, 3);
  for (size_t at = 1241; at <= 1256; ++at) incoming_.bytes[at] = 0x80 | static_cast<BYTE>(at & 0x0F);
  DmStoreU32(incoming_.bytes, 832, 0x01020304);
  DmStoreU16(incoming_.bytes, kDmOffSectionBase + 2, 2);  // a section base from outside

  EXPECT_EQ(DmMerge(context_, Incoming(), kGraphics), 1);
  EXPECT_EQ(Get(context_, kPresetNo), 3u);
  EXPECT_EQ(Get(context_, 885), 0u);
  const std::set<size_t> kept{1241, 1242, 1243, 1244, 1245, 1246, 1249, 1253, 1255, 1256};
  for (size_t at : {1241, 1242, 1243, 1244, 1245, 1246, 1250, 1251, 1252, 1253, 1254, 1255, 1256}) {
    EXPECT_EQ(Record()[at], kept.count(at) ? static_cast<BYTE>(at) : incoming_.bytes[at]) << "byte " << at;
  }
  // 1247, 1248 and 1249 follow item 40, the queue and the server name whatever came in.
  EXPECT_EQ(Record()[1249], 0);
  EXPECT_EQ(DmLoadU32(Record(), 832), 0xDDu);
  EXPECT_EQ(DmLoadU16(Record(), kDmOffSectionBase + 2), kDmSize);
  EXPECT_TRUE(DmHasOwnPrivatePart(&context_->settings->devmode));
}

TEST_F(DevmodeMergeTest, AForeignPrivatePartIsNeverTakenButItsPublicFieldsAre) {
  SetIn(&incoming_, kPresetNo, 3);
  Field(86, 2, 7, DM_COPIES);
  const PrivateDevmode own = incoming_;
  const struct {
    const char* what;
    size_t at;
    int width;
    DWORD value;
  } foreign[] = {
      {"model tag", kDmOffModelTag, 1, 'q'},   {"private size", kDmOffPrivateSize, 2, 1048},
      {"version", kDmOffFormatVersion, 1, 4},  {"variant", kDmOffModelVariant, 1, 1},
      {"machine identifier", kDmOffMachineId, 1, 0x5A},  {"signature", kDmOffSignature, 1, 'X'},
      {"driver version", 66, 2, 0x0301},       {"driver extra", kDmOffDriverExtra, 2, 1000},
  };
  for (const auto& f : foreign) {
    SCOPED_TRACE(f.what);
    incoming_ = own;
    if (f.width == 1) incoming_.bytes[f.at] = static_cast<BYTE>(f.value);
    else DmStoreU16(incoming_.bytes, f.at, static_cast<WORD>(f.value));
    OptSetValue(context_, 12, 1);
    ASSERT_EQ(DmMerge(context_, Incoming(), kGraphics), 1);
    EXPECT_EQ(Get(context_, kPresetNo), 0u);
    EXPECT_EQ(Get(context_, 12), 7u);
    EXPECT_TRUE(DmHasOwnPrivatePart(&context_->settings->devmode));
  }
}

TEST_F(DevmodeMergeTest, AnOldDevmodeShortOfTheHeaderBringsOnlyItsPublicFields) {
  // A DEVMODE of 1993 (188 bytes) whose 100 private bytes would land on this record's header.
  std::vector<BYTE> old(188 + 100, 0);
  std::memcpy(old.data(), incoming_.bytes, 188);
  DmStoreU16(old.data(), 64, 0x320);
  DmStoreU16(old.data(), kDmOffSize, 188);
  DmStoreU16(old.data(), kDmOffDriverExtra, 100);
  DmStoreU32(old.data(), 72, DM_COPIES);
  DmStoreU16(old.data(), 86, 4);
  std::memcpy(old.data() + 188, "VELM\0\0\0\0other.ini", 17);
  const std::string iniName(reinterpret_cast<const char*>(Record() + kDmOffIniName));
  ASSERT_EQ(DmMergeBytes(context_, reinterpret_cast<const DEVMODEW*>(old.data()), old.size(), kGraphics), 1);
  EXPECT_EQ(Get(context_, 12), 4u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(Record() + kDmOffIniName)), iniName);

  // The same version with a whole private part of this model is taken.
  SetIn(&incoming_, kPresetNo, 3);
  std::vector<BYTE> whole(incoming_.bytes, incoming_.bytes + 188);
  whole.insert(whole.end(), incoming_.bytes + kDmPublicSize, incoming_.bytes + kDmSize);
  DmStoreU16(whole.data(), kDmOffSize, 188);
  ASSERT_EQ(DmMergeBytes(context_, reinterpret_cast<const DEVMODEW*>(whole.data()), whole.size(), kGraphics), 1);
  EXPECT_EQ(Get(context_, kPresetNo), 3u);
}

TEST_F(DevmodeMergeTest, ADevmodeThatClaimsMoreThanItHoldsCountsAsNone) {
  SetIn(&incoming_, kPresetNo, 3);
  Field(86, 2, 7, DM_COPIES);
  EXPECT_EQ(DmMergeBytes(context_, Incoming(), kDmSize - 1, kGraphics), 1);
  EXPECT_EQ(Get(context_, kPresetNo), 0u);
  EXPECT_EQ(Get(context_, 12), 1u);
  DmStoreU16(incoming_.bytes, kDmOffSize, 40);  // no room for dmFields
  EXPECT_EQ(DmMergeBytes(context_, Incoming(), kDmSize, kGraphics), 1);
  EXPECT_EQ(DmMerge(context_, Incoming(), kGraphics), 1);
  EXPECT_EQ(Get(context_, 12), 1u);
  EXPECT_EQ(DmMergeBytes(context_, Incoming(), 50, kGraphics), 1);
  EXPECT_EQ(Get(context_, kPresetNo), 0u);
  EXPECT_TRUE(DmHasOwnPrivatePart(&context_->settings->devmode));
}

// A caller's devmode cut at every length short of what its header claims, each in a buffer of
// exactly that size: the merge reads nothing past it and takes none of its fields.
TEST_F(DevmodeMergeTest, ADevmodeCutAtAnyLengthIsReadNoFurtherAndTakenAsNone) {
  SetIn(&incoming_, kPresetNo, 3);
  Field(86, 2, 7, DM_COPIES);
  for (size_t cut = 0; cut < kDmSize; cut += cut < 80 ? 1 : 37) {
    std::vector<BYTE> given(incoming_.bytes, incoming_.bytes + cut);
    const DEVMODEW* devmode = given.empty() ? nullptr : reinterpret_cast<const DEVMODEW*>(given.data());
    ASSERT_EQ(DmMergeBytes(context_, devmode, given.size(), kGraphics), 1) << cut;
    EXPECT_EQ(Get(context_, 12), 1u) << cut;
    EXPECT_EQ(Get(context_, kPresetNo), 0u) << cut;
  }
}

// An application changes one public field; the merge takes it (or its default when the value is
// not valid), carries it into the items, and leaves the other public fields as they were.
TEST_F(DevmodeMergeTest, ApplicationDevmodesThatChangeOneFieldAtATime) {
  const struct {
    const char* what;
    size_t at;
    int width;
    DWORD value;
    DWORD bit;
    DWORD stored;                                  // the field after the merge
    std::vector<size_t> alsoChanging;              // other public fields that follow it
    std::vector<std::pair<WORD, DWORD>> items;     // items that follow it
  } cases[] = {
      // The description gives the paper's size as it lies: landscape swaps length and width.
      {"orientation", 76, 2, 2, DM_ORIENTATION, 2, {80, 82}, {{7, 2}}},
      {"orientation not valid", 76, 2, 5, DM_ORIENTATION, 1, {}, {{7, 1}}},
      {"copies", 86, 2, 7, DM_COPIES, 7, {}, {{12, 7}}},
      {"paper", 78, 2, 8, DM_PAPERSIZE, 8, {80, 82}, {{44, 9921}, {45, 7016}}},  // A3 at 600 dpi
      {"print quality", 90, 2, 1200, DM_PRINTQUALITY, 1200, {96}, {{42, 1200}, {43, 1200}}},
      {"duplex", 94, 2, 2, DM_DUPLEX, 2, {}, {{61, 1}, {102, 3}}},
      {"color", 92, 2, 1, DM_COLOR, 1, {}, {}},
      // A media type taken keeps its bit and reaches the media item.
      {"media type", 196, 4, 2, DM_MEDIATYPE, 2, {}, {{378, 2}}},
  };
  const PrivateDevmode start = context_->settings->devmode;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    context_->settings->devmode = start;
    incoming_ = start;
    Field(c.at, c.width, c.value, c.bit);
    ASSERT_EQ(DmMerge(context_, Incoming(), kGraphics), 1);
    const DWORD stored = c.width == 2 ? DmLoadU16(Record(), c.at) : DmLoadU32(Record(), c.at);
    EXPECT_EQ(stored, c.stored);
    EXPECT_TRUE(DmLoadU32(Record(), 72) & c.bit);
    for (const auto& [item, value] : c.items) EXPECT_EQ(Get(context_, item), value) << "item " << item;
    // dmFields and the collate field (which follows the model) aside, the rest stays.
    std::set<size_t> changing{72, 73, 74, 75, 100, 101};
    for (size_t at : c.alsoChanging) changing.insert({at, at + 1});
    for (int i = 0; i < c.width; ++i) changing.insert(c.at + i);
    for (size_t at = 0; at < kDmPublicSize; ++at) {
      if (!changing.count(at)) {
        EXPECT_EQ(Record()[at], start.bytes[at]) << "byte " << at;
      }
    }
    EXPECT_TRUE(DmHasOwnPrivatePart(&context_->settings->devmode));
  }
}

TEST_F(DevmodeMergeTest, TheDocumentMergeReloadsTheStoredSettingsAndAppliesTheRules) {
  const std::filesystem::path ini = IniFile(context_);
  velm::test::WriteHostFile(ini, "[Velm Printer]\r\nPrnMethod=1\r\n");  // a locked job
  ASSERT_EQ(DmMerge(context_, nullptr, 0x10000000 | 0x20008), 1);
  EXPECT_EQ(Get(context_, 222), 0u);
  ASSERT_EQ(DmMerge(context_, nullptr, 0x20008), 1);
  EXPECT_EQ(Get(context_, 222), 1u);
  // A stored job needs the hard disk, which this printer lacks: reloaded, then undone by the rules.
  velm::test::WriteHostFile(ini, "[Velm Printer]\r\nPrnMethod=3\r\n");
  ASSERT_EQ(DmMerge(context_, nullptr, 0x20008), 1);
  EXPECT_EQ(Get(context_, 222), 0u);
  EXPECT_TRUE(DmHasOwnPrivatePart(&context_->settings->devmode));
}

TEST_F(DevmodeMergeTest, PromptStateFlagAndTheCustomPaperBit) {
  // The prompt bit lands in item 885 and asks for the full re-sync, which carries the duplex
  // items back into dmDuplex. No public field is marked, so none is carried into the items.
  OptSetValue(context_, 6, 0);
  OptSetValue(context_, 61, 1);
  OptSetValue(context_, 102, 1);
  OptSetValue(context_, 16, 1);
  ASSERT_EQ(DmMerge(context_, nullptr, kMergeInterface), 1);
  EXPECT_EQ(Get(context_, 16), 1u);
  ASSERT_EQ(DmMerge(context_, nullptr, kMergeInterface | kMergePrompt), 1);
  EXPECT_EQ(Get(context_, 885), 1u);
  EXPECT_EQ(Get(context_, 16), 3u);  // top binding in portrait

  const DWORD item394Default = DescGetDefaultValue(394, context_) != 0 ? kDmStateItem394Default : 0;
  DmSetStateFlags(&context_->settings->devmode, kDmStateItem394Default ^ item394Default);
  ASSERT_EQ(DmMerge(context_, nullptr, kMergeUpdate), 1);
  EXPECT_EQ(DmGetStateFlags(&context_->settings->devmode) & kDmStateItem394Default, item394Default);

  // A custom paper whose item 417 says so keeps DM_PAPERSIZE.
  OptSetValue(context_, 8, 256);
  OptSetValue(context_, 6, 0);
  ASSERT_EQ(DmMerge(context_, nullptr, kMergeUpdate), 1);
  EXPECT_EQ(Get(context_, 6) & DM_PAPERSIZE, 0u);
  OptSetValue(context_, 6, 0);
  OptSetValue(context_, 417, 1);
  ASSERT_EQ(DmMerge(context_, nullptr, kMergeUpdate), 1);
  EXPECT_EQ(Get(context_, 6) & DM_PAPERSIZE, DM_PAPERSIZE);
}

TEST_F(DevmodeMergeTest, WithoutMemoryTheMergeAnswersZeroAndLeavesTheRecord) {
  SetIn(&incoming_, kPresetNo, 3);
  const std::vector<BYTE> before = WholeRecord();
  velm::platform::SetAllocationFault(1);
  EXPECT_EQ(DmMerge(context_, Incoming(), kGraphics), 0);
  velm::platform::SetAllocationFault(0);
  const std::vector<BYTE> after = WholeRecord();
  // Item 885, written before the copy is taken, lies outside the devmode.
  EXPECT_EQ(Get(context_, kPresetNo), 0u);
  EXPECT_EQ(std::memcmp(after.data(), before.data(), kDmSize), 0);
}

}  // namespace
