// A context with a settings record and no printer, into which a test puts a description compiled
// from its own text (or none), for the item checks and the item default table.
#pragma once

#include <string>
#include <vector>

#include "settings/description/image_fixture.h"
#include "settings/items/store_fixture.h"
#include "settings/description/access.h"

class ItemCheckTest : public ItemStoreTest {
 protected:
  void TearDown() override {
    DescSetConditionHooks(nullptr);
    context_->description = nullptr;
    ItemStoreTest::TearDown();
  }

  // Puts the description of `text` in force; without a call the context has none, so every item
  // with a command key answers "hidden".
  void UseDescription(const std::string& text) {
    std::string remarks;
    image_ = velm::test::CompileText(text, &remarks);
    ASSERT_TRUE(image_);
    ASSERT_EQ(remarks, "") << text;
    context_->description = image_.get();
  }

  DWORD Get(WORD id) { return OptGetValue(context_, id); }
  void Set(WORD id, DWORD value) { ASSERT_TRUE(OptSetValue(context_, id, value)) << id; }
  std::vector<BYTE> WholeRecord() const { return At(0, kDmRecordSize); }

  velm::test::Image image_;
};

// Numeric records of items 41 (saved setting, model values 119..134) and 92/93 (scale).
inline std::string NumericRecord(const std::string& item, int fallback, int minimum, int maximum) {
  return "*OpenUI *ZMD_" + item + ": Numeric\n*NumericValue: 1 \"1 " + std::to_string(fallback) + " " +
         std::to_string(minimum) + " " + std::to_string(maximum) + "\"\n*CloseUI\n";
}
