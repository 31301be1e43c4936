// The model questions of the application records on a real context: lock nodes through
// property-page controls (a page table made for the test), usable items, value lists, the
// scratch stamp and the job-action store.
#include <gtest/gtest.h>

#include <cstring>

#include "api_fixture.h"
#include "exclude/api_job_items.h"
#include "exclude/api_model_tests.h"
#include "settings/constraints/eval.h"
#include "settings/description/access.h"
#include "settings/persistence/user_lists.h"
#include "settings/services/device_caps.h"

namespace velm::test {
namespace {

class ApiModelTestsTest : public ApiContextTest {
 protected:
  void TearDown() override {
    if (shipped_) context_->pageTemplates = shipped_;
    ApiContextTest::TearDown();
  }
  // Page `pageId` of `kind` and symbol `symbolKey`, whose control `controlId` edits `item`.
  void UsePage(WORD pageId, DWORD kind, WORD symbolKey, WORD controlId, WORD item) {
    shipped_ = context_->pageTemplates;
    control_ = PageItemTemplate{};
    control_.itemId = item;
    control_.controlId = controlId;
    page_ = PageTemplate{};
    page_.id = pageId;
    page_.symbolKey = symbolKey;
    page_.kind = kind;
    page_.itemCount = 1;
    page_.items = &control_;
    table_ = PageTable{1, &page_};
    context_->pageTemplates = &table_;
  }
  bool Disabled(WORD item) { return CondIsDisabled(DescGetNode(item, context_), 0, context_) != FALSE; }

  const PageTable* shipped_ = nullptr;
  PageItemTemplate control_{};
  PageTemplate page_{};
  PageTable table_{};
};

TEST_F(ApiModelTestsTest, LockNodeComesFromADocumentPageControlOnly) {
  shipped_ = context_->pageTemplates;
  // The shipped pages bind no controls: every item answers its own node.
  EXPECT_EQ(ApiGetLockNode(kItemDefaultSource, context_), DescGetNode(kItemDefaultSource, context_));
  ASSERT_TRUE(Disabled(kItemFuncSelectStaple)) << "the fixture's printer has no stapler";
  ASSERT_FALSE(Disabled(kItemFuncSelectSort));
  struct Case {
    WORD item;
    WORD page;
    DWORD kind;
    WORD symbol;
    WORD control;
    WORD controlItem;
    WORD expectedNodeOf;
  };
  const Case cases[] = {
      {13, 1002, 0x11, 1002, 2007, kItemFuncSelectDuplex, kItemFuncSelectDuplex},  // the control's item
      {222, 1002, 0x1, 1002, 2041, kItemUserID, kItemUserID},
      {13, 1002, 0x2, 1002, 2007, kItemFuncSelectDuplex, 13},     // not a document tab
      {13, 1002, 0x11, 66, 2007, kItemFuncSelectDuplex, 13},      // the page's symbol is disabled
      {13, 1002, 0x11, 1002, 2008, kItemFuncSelectDuplex, 13},    // another control
      {13, 1003, 0x11, 1002, 2007, kItemFuncSelectDuplex, 13},    // another page
      {13, 1002, 0x11, 1002, 2007, 0, 13},                        // a control without an item
      {15, 1002, 0x11, 1002, 2007, kItemFuncSelectDuplex, 15},    // not a lock-node item
      {378, 1002, 0x11, 1002, 2007, kItemFuncSelectDuplex, 378},  // its row names control 2064
  };
  for (const Case& c : cases) {
    UsePage(c.page, c.kind, c.symbol, c.control, c.controlItem);
    EXPECT_EQ(ApiGetLockNode(c.item, context_), DescGetNode(c.expectedNodeOf, context_))
        << c.item << " page " << c.page << " kind " << c.kind << " control " << c.control;
  }
}

TEST_F(ApiModelTestsTest, ControlFeaturesAndUsableItems) {
  UsePage(kApiWatermarkKind3Page, 0x11, 1003, kApiWatermarkKind3Control, kItemFuncSelectStaple);
  EXPECT_EQ(ApiIsControlFeatureOn(context_, kApiWatermarkKind3Page, kApiWatermarkKind3Control), 0) << "disabled";
  UsePage(kApiWatermarkKind3Page, 0x11, 1003, kApiWatermarkKind3Control, kItemFuncSelectScale);  // enabled while n-up is off
  EXPECT_EQ(ApiIsControlFeatureOn(context_, kApiWatermarkKind3Page, kApiWatermarkKind3Control), 1);
  EXPECT_EQ(ApiIsControlFeatureOn(context_, kApiPlaneSelectionPage, kApiPlaneSelectionControl), 0) << "no page";
  UsePage(kApiPlaneSelectionPage, 0x20, 1029, kApiPlaneSelectionControl, 0);
  EXPECT_EQ(ApiIsControlFeatureOn(context_, kApiPlaneSelectionPage, kApiPlaneSelectionControl), 0) << "no item";

  struct Case {
    WORD item;
    DWORD flags;
    int expected;
  };
  const Case usable[] = {
      {kItemStapleType, 0, 1},
      {kItemStapleType, kApiUsableNotDisabled, 0},                // no stapler
      {kItemStapleType, kApiUsableNotHidden, 0},                  // hidden as well
      {kItemOutputTrayID, kApiUsableNotDisabled | kApiUsableNotHidden, 1},
      {kItemFuncSelectDuplex, 0, 1},                              // a Boolean allows 0 and 1
      {kItemUserID, 0, 0},                                        // a String has no values
      {kItemAction15, 0, 0},                                      // no node in the model
      {kItemCoverType, kApiUsableNotDisabled | kApiUsableNotHidden, 1},  // a list of three cover kinds
  };
  for (const Case& c : usable) EXPECT_EQ(ApiIsItemUsable(context_, c.item, 0, c.flags), c.expected) << c.item << " " << c.flags;
}

TEST_F(ApiModelTestsTest, ValueListsAndDevmodeValues) {
  DWORD all[32] = {};
  const int count = ApiListValueIds(context_, kItemOutputTrayID, FALSE, all, 32);
  ASSERT_GT(count, 1);
  // The list in devmode values, as the capability query of the same item gives them.
  DWORD expected[32] = {};
  ASSERT_EQ(CapsGetAllowedValues(context_, expected, kItemOutputTrayID), count);
  for (int i = 0; i < count; ++i) EXPECT_EQ(all[i], expected[i]) << i;
  EXPECT_EQ(ApiListValueIds(context_, kItemOutputTrayID, FALSE, nullptr, 0), count) << "a count alone";
  DWORD shortList[1] = {0xCC};
  EXPECT_EQ(ApiListValueIds(context_, kItemOutputTrayID, FALSE, shortList, 1), -1) << "more than the capacity";
  EXPECT_EQ(ApiListValueIds(context_, kItemFuncSelectDuplex, FALSE, all, 32), -1) << "no list";
  EXPECT_EQ(ApiListValueIds(context_, kItemStapleType, TRUE, all, 32), -1) << "every value disabled";

  std::vector<WCHAR> names(static_cast<size_t>(count) * 8 + 1, 0xCCCC);
  ASSERT_EQ(ApiListValueNames(context_, kItemOutputTrayID, FALSE, names.data(), 8, count), count);
  for (int i = 0; i < count; ++i) EXPECT_EQ(names[static_cast<size_t>(i) * 8 + 7], 0) << "each name ends in its width";
  EXPECT_EQ(names.back(), 0xCCCC) << "nothing past the list";

  // The devmode value of each entry finds its model value.
  for (int i = 0; i < count; ++i) {
    const ValueSymbolRow* symbol = OptFindValueSymbol(kItemOutputTrayID, all[i]);
    ASSERT_NE(symbol, nullptr);
    EXPECT_EQ(ApiFindValueByDevmodeValue(context_, kItemOutputTrayID, all[i]), symbol->modelValue);
  }
  EXPECT_EQ(ApiFindValueByDevmodeValue(context_, kItemOutputTrayID, 0xBEEF), 0u);
  EXPECT_EQ(ApiFindValueByDevmodeValue(context_, kItemFuncSelectDuplex, 1), 0u) << "not a list";
}

TEST_F(ApiModelTestsTest, ScratchStampAndActionStore) {
  WriteHostFile(root_.OnDriveC("_velm/qnset.ini"), "");
  EXPECT_EQ(ApiHasScratchStamp(context_), 0);
  SetItems(context_, {{kItemWmKind, 1}});
  ASSERT_TRUE(LstSaveStamp(context_, kApiScratchStamp));
  EXPECT_EQ(ApiHasScratchStamp(context_), 1);

  SetItems(context_, {{kItemActionProof, 1}});
  ASSERT_TRUE(ApiStoreActionItem(context_, kItemActionProof));
  const std::string ini = ReadHostFile(root_.OnDriveC("_velm/qnset.ini"));
  EXPECT_NE(ini.find("vdmAction=2"), std::string::npos) << ini;
  EXPECT_FALSE(ApiStoreActionItem(context_, kItemUserID)) << "not a job-action item";

  EXPECT_EQ(ApiIsTerminalServerRestricted(context_), 0);
  SetItems(context_, {{kItemTSE, 1}});
  EXPECT_EQ(ApiIsTerminalServerRestricted(context_), 1);
  ASSERT_TRUE(platform::SetMachineSetting("os", "me"));
  EXPECT_EQ(ApiIsTerminalServerRestricted(context_), 0);
}

TEST_F(ApiModelTestsTest, JobItemsOfWindows9xGoStraightToTheService) {
  ApiPrinterScope scope;
  ASSERT_TRUE(ApiReopenPrinter(context_, &scope));
  const std::pair<WORD, std::u16string> items[] = {{kItemOwnerName, u"Owner"}, {kItemJOBPassword, u"1234"},
                                                   {kItemUserID, u"uid9"}, {kItemDocumentName, u"Doc"},
                                                   {kItemStoredPassword, u"5678"}};
  for (const auto& [item, text] : items) OptSetString(context_, OptFindItem(context_->itemTable, item), text.c_str());
  ASSERT_TRUE(platform::SetMachineSetting("os", "me"));
  EXPECT_EQ(ApiWriteJobItem(context_, 0x2 | 0x4 | 0x8 | 0x10 | 0x80), 0u);
  for (const auto& [item, text] : items) OptSetString(context_, OptFindItem(context_->itemTable, item), u"");
  EXPECT_EQ(ApiReadJobItems(context_, 0x2 | 0x4 | 0x8 | 0x10 | 0x80), 0u);
  for (const auto& [item, text] : items) {
    WCHAR read[40] = {};
    OptGetString(context_, OptFindItem(context_->itemTable, item), read, 40);
    EXPECT_EQ(std::u16string(read), text) << item;
  }
  // Only an interface of version 257 is asked for; a service that refuses it gets nothing.
  ASSERT_TRUE(platform::SetMachineSetting("qnjobcr_fail_interface", "5"));
  const char16_t text[] = u"x";
  EXPECT_EQ(ApiWriteJobItemDirect(context_, 4, 1, text, sizeof text), 0);
  ASSERT_TRUE(platform::EraseMachineSetting("qnjobcr_fail_interface"));
  ApiReleasePrinter(context_, &scope);
  EXPECT_EQ(ApiWriteJobItemDirect(context_, 4, 1, text, sizeof text), 0) << "no printer to name";
}

}  // namespace
}  // namespace velm::test
