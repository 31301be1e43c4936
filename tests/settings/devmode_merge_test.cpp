// Merging a job's devmode into a context: what is taken and what the record keeps.
#include "settings/devmode_merge.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "context_fixture.h"
#include "settings/settings_record.h"

namespace {

class DevmodeMergeTest : public ContextTest {
 protected:
  void SetUp() override {
    ContextTest::SetUp();
    context_ = CtxCreateEx(Open(), 0, kKindModelDefaults, 0, 0, nullptr);
    ASSERT_NE(context_, nullptr);
    // The record before the merge: environment bytes and the front-function word set.
    Record()[1241] = 0x11;
    Record()[1247] = 0x22;
    DmStoreU32(Record(), 832, 0xAABBCCDD);
    // An incoming devmode of this model that differs from the record everywhere it may.
    incoming_.assign(Record(), Record() + kDmSize);
    OptSetValue(context_, 12, 1);
    DmStoreU16(incoming_.data(), kDmOffSize, kDmPublicSize);
    DmStoreU16(incoming_.data(), kDmOffDriverExtra, kDmPrivateSize);
    DmStoreU16(incoming_.data(), 86, 7);     // dmCopies
    DmStoreU16(incoming_.data(), 506, 4760); // item 47
    incoming_[1241] = 0x99;
    incoming_[1247] = 0x98;
    DmStoreU32(incoming_.data(), 832, 0x01020304);
    DmStoreU16(incoming_.data(), kDmOffSectionBase + 2, 2);  // a section base from outside
  }
  void TearDown() override {
    CtxDestroyEx(context_, kReleaseDestroy);
    ContextTest::TearDown();
  }
  BYTE* Record() { return context_->settings->devmode.bytes; }
  const DEVMODEW* Incoming() { return reinterpret_cast<const DEVMODEW*>(incoming_.data()); }

  DriverContext* context_ = nullptr;
  std::vector<BYTE> incoming_;
};

TEST_F(DevmodeMergeTest, WithoutTheUpdateFlagsNothingChanges) {
  const std::vector<BYTE> before(Record(), Record() + kDmRecordSize);
  EXPECT_EQ(DmMerge(context_, Incoming(), 0x10000), 1);
  EXPECT_EQ(std::vector<BYTE>(Record(), Record() + kDmRecordSize), before);
  EXPECT_EQ(context_->work->mergeFlags, 0x10000u);
}

TEST_F(DevmodeMergeTest, TheModelsOwnPrivatePartIsTakenAndTheRecordKeepsItsOwnBytes) {
  EXPECT_EQ(DmMerge(context_, Incoming(), 0x10008 | kMergePrompt), 1);
  EXPECT_EQ(OptGetValue(context_, 47), 4760u);
  EXPECT_EQ(OptGetValue(context_, 885), 1u);
  EXPECT_EQ(Record()[1241], 0x11);  // kept
  EXPECT_EQ(Record()[1247], 0x98);  // the incoming devmode's
  EXPECT_EQ(DmLoadU32(Record(), 832), 0xDDu);
  EXPECT_EQ(DmLoadU16(Record(), kDmOffSectionBase + 2), kDmSize);
  // Public fields wait for their validated merge.
  EXPECT_EQ(OptGetValue(context_, 12), 1u);
}

TEST_F(DevmodeMergeTest, AForeignOrOtherwiseLaidOutDevmodeBringsNoPrivateItems) {
  DmStoreU32(incoming_.data(), kDmOffModelTag, 0x12345678);
  EXPECT_EQ(DmMerge(context_, Incoming(), 0x10008), 1);
  EXPECT_EQ(OptGetValue(context_, 47), 0u);
  DmStoreU32(incoming_.data(), kDmOffModelTag, kModelTagPriv);
  DmStoreU16(incoming_.data(), kDmOffDriverExtra, 1048);
  EXPECT_EQ(DmMerge(context_, Incoming(), 0x2000000), 1);
  EXPECT_EQ(OptGetValue(context_, 47), 0u);
  EXPECT_EQ(DmMerge(context_, nullptr, 0x2000000), 1);
  EXPECT_EQ(OptGetValue(context_, 885), 0u);
}

}  // namespace
