// A context of kind 0 with a settings record and no printer behind it, for the item store.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "settings/context/open_steps.h"
#include "settings/context/driver_context.h"
#include "settings/items/store.h"
#include "settings/context/process_state.h"
#include "settings/items/settings_record.h"
#include "support/temp_root.h"

// The library's open steps, but no description (without a printer there is no data file) and
// no record built: the store's tests start from a zeroed record with the private header and no
// item marked as written.
inline const ContextOpenSteps kStepsWithoutDescription = [] {
  ContextOpenSteps steps = kContextOpenSteps;
  steps.descLoad = [](DriverContext*) -> BOOL { return TRUE; };
  steps.dmBuildForContext = [](DriverContext*, int) -> BOOL { return TRUE; };
  return steps;
}();

class ItemStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SysLibraryAttach(nullptr);
    CtxSetOpenSteps(&kStepsWithoutDescription);
    context_ = CtxCreateEx(nullptr, 0, kKindOrdinary, 0, 0, nullptr);
    ASSERT_NE(context_, nullptr);
    ASSERT_NE(context_->settings, nullptr);
    record_ = reinterpret_cast<BYTE*>(context_->settings);
  }
  void TearDown() override {
    CtxDestroyEx(context_, kReleaseDestroy);
    CtxSetOpenSteps(nullptr);
    SysLibraryDetach();
  }

  ItemTableRow* Row(WORD id) {
    ItemTableRow* row = OptFindItem(context_->itemTable, id);
    EXPECT_NE(row, nullptr) << id;
    return row;
  }
  // Record bytes [at, at + n).
  std::vector<BYTE> At(size_t at, size_t n) const { return std::vector<BYTE>(record_ + at, record_ + at + n); }

  velm::test::TempMachineRoot root_;
  DriverContext* context_ = nullptr;
  BYTE* record_ = nullptr;
};

// Record offsets of the sections on NT.
constexpr size_t kConfigBase = 1260;
constexpr size_t kWorkBase = 1768;
