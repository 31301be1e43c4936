// A context on the shipped model description for the public-field and paper-geometry tests, with
// condition hooks that can disable model values, and short hands for items and records.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

#include "settings/description/image_fixture.h"
#include "settings/description/access.h"
#include "settings/items/store.h"
#include "settings/items/settings_record.h"
#include "settings/persistence/user_lists.h"

namespace velm::test {

// Model values (item 8's) that the test's constraint hooks report as disabled.
inline std::set<DWORD> g_disabledPapers;

inline const DescConditionHooks kPaperHooks = {
    [](const DescNode* node, DWORD value, DriverContext*) -> BOOL {
      return DescNodeItemId(node) == 8 && g_disabledPapers.count(value) != 0;
    },
    [](const DescNode*, DWORD, DriverContext*) -> BOOL { return FALSE; },
    [](DriverContext*, const DescProgram*) -> LONG { return 0; },
};

class DerivedItemsTest : public DescriptionMachineTest {
 protected:
  void SetUp() override {
    DescriptionMachineTest::SetUp();
    g_disabledPapers.clear();
    DescSetConditionHooks(&kPaperHooks);
    context_ = CtxCreate(Open(), 0, 0);
    ASSERT_NE(context_, nullptr);
    ASSERT_NE(context_->settings, nullptr);
    // A portrait A4 page at 600 dpi in metric units, output paper as the source.
    Set(7, 1);
    Set(8, 9);
    Set(14, 600);
    Set(42, 600);
    Set(43, 600);
    Set(50, 1024);
    Set(179, 0);
  }
  void TearDown() override {
    DescSetConditionHooks(nullptr);
    CtxDestroyEx(context_, kReleaseDestroy);
    DescriptionMachineTest::TearDown();
  }

  void Set(WORD id, DWORD value) { ASSERT_TRUE(OptSetValue(context_, id, value)) << id; }
  DWORD Get(WORD id) { return OptGetValue(context_, id); }
  LONG Public(WORD id) { return static_cast<SHORT>(Get(id)); }  // an s16 public field
  // Items first..first+n-1.
  std::vector<DWORD> Items(WORD first, WORD n) {
    std::vector<DWORD> values;
    for (WORD i = 0; i < n; ++i) values.push_back(Get(first + i));
    return values;
  }
  std::vector<BYTE> Record() const {
    const BYTE* bytes = reinterpret_cast<const BYTE*>(context_->settings);
    return std::vector<BYTE>(bytes, bytes + sizeof(SettingsRecord));
  }
  // Free-size slot `slot` of the work area holds this width and length (1200-dpi dots), and the
  // slots count as loaded, so that no derivation reads them again from the settings INI.
  void SetSlot(int slot, DWORD width, DWORD length) {
    CtxRaiseChangeMask(context_, kChangeMaskFreeSizesLoaded);
    BYTE* bytes = context_->work->freeSizeSlots[slot];
    DmStoreU32(bytes, 192, width);
    DmStoreU32(bytes, 196, length);
  }

  DriverContext* context_ = nullptr;
};

// A caller's devmode that marks `fields`.
inline DEVMODEW Incoming(DWORD fields) {
  DEVMODEW devmode{};
  devmode.dmSize = sizeof(DEVMODEW);
  devmode.dmFields = fields;
  return devmode;
}

// A caller's public fields as the merge hands them on: in a record-sized devmode.
inline PrivateDevmode AsRecord(const DEVMODEW& devmode) {
  PrivateDevmode record{};
  std::memcpy(record.bytes, &devmode, sizeof devmode);
  return record;
}

}  // namespace velm::test
