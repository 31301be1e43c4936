// The items' set-up at the first binding, on the real pages: the change groups of the items, the
// controls' flags, controls that share one item, items that share a model node, the saved-settings
// lists' built-in values and the hidden-functions check list.
#include "../pages/pages_fixture.h"

#include "settings/description/image.h"
#include "settings/items/page_control_extras.h"
#include "ui2k/items/item_setup.h"
#include "ui2k/pages/sub_dialogs.h"

namespace velm::test {
namespace {

class ItemSetupTest : public PagesTest {
 protected:
  void FromFirstPage(std::function<void(UiContext*, HWND)> body) {
    Document([&](ui::Sheet& sheet) { body(ContextOf(sheet.current()), sheet.current().hwnd()); });
  }
  static PageItemTemplate* Row(UiContext* ui, WORD pageId, WORD controlId) {
    PageTemplate* page = OptFindPage(&ui->pages, pageId);
    return page ? OptFindPageItem(&ui->pages, page, controlId) : nullptr;
  }
};

TEST_F(ItemSetupTest, ItemsGetTheirChangeGroupsOnTheContextsRowsOnlyAndOnce) {
  FromFirstPage([&](UiContext* ui, HWND page) {
    struct Case {
      WORD item;
      DWORD flags;
    };
    for (const Case& c : {Case{kItemOrientation, 0x30000}, Case{kItemPaperSize, 0x30000}, Case{9, 0},
                          Case{kItemNUPPOSTKind, 0x30000}, Case{kItemNUPType, 0}, Case{10012, 0},
                          Case{kItemPrinterMemoryType, 0x30000}, Case{kItemOutputOptionTypeRemote, 0x130000},
                          Case{10063, 0}, Case{kItemOutputOptionTypeHDD, 0x130000}, Case{10142, 0},
                          Case{kItemTrayOrientTray1, 0x30000}, Case{kItemTrayPaperSlot31, 0x30000}, Case{10207, 0}}) {
      SCOPED_TRACE(c.item);
      EXPECT_EQ(OptFindItem(ui->driver->itemTable, c.item)->flags, c.flags);
      EXPECT_EQ(OptFindItem(OptGetStaticItemTable(), c.item)->flags, 0u);
    }
    // A write raises the item's group into the change mask.
    CtxClearChangeMask(ui->driver, 0x130000);
    OptSetValue(ui->driver, kItemPaperSize, OptGetValue(ui->driver, kItemPaperSize));
    EXPECT_EQ(CtxGetChangeMask(ui->driver) & 0x130000, 0x30000u);
    // Further pages and dialogs bind without running the set-up again.
    OptFindItem(ui->driver->itemTable, 9)->flags = 0x80000;
    ui::onDialog(kPageMaintenance, [](ui::Dlg& dialog) { dialog.command(IDCANCEL); });
    PageRunSubDialog(ui, kPageModal, kPageMaintenance, page);
    ui::onDialog(kPageMaintenance, nullptr);
    EXPECT_EQ(OptFindItem(ui->driver->itemTable, 9)->flags, 0x80000u);
  });
}

TEST_F(ItemSetupTest, ControlsGetTheirFlagsOnEveryPageThatHoldsThem) {
  FromFirstPage([&](UiContext* ui, HWND) {
    struct Case {
      WORD page, control;
      DWORD flags;
    };
    for (const Case& c : {Case{kPageBasic, kCtlPaperSizeCombo, 0x100000}, Case{kPageBasic, kCtlPaperSourceCombo, 0x100000},
                          Case{kPageFinish, kCtlStapleType, 0x10000}, Case{kPageFinish, kCtlPunchType, 0x20000},
                          Case{kPageDialogUserPqc, kCtlPqcBrightness, 0x200000},
                          Case{kPageDialogStampChar, kCtlStampDensity, 0x200000},
                          Case{kPageDialogMargin, kCtlMarginGutter, 0x80200000},  // keeps its length mark
                          Case{kPageDialogStampImage, kCtlStampImageFile, 0x400000},
                          Case{kPageDialogOverlay, kCtlOverlayFile, 0x400000},
                          Case{kPageDialogVersion, kCtlVersionLogo, kPageItemHiddenFunctions},
                          Case{kPageBasic, kCtlPresetComboBasic, 0}}) {
      SCOPED_TRACE(c.control);
      const PageItemTemplate* row = Row(ui, c.page, c.control);
      ASSERT_NE(row, nullptr);
      EXPECT_EQ(row->flags, c.flags);
    }
  });
}

TEST_F(ItemSetupTest, TheVersionLogoOpensTheHiddenFunctionsBecauseTheSetUpMarksIt) {
  // The set-up runs over rows whose mark was lost: it gives the logo its mark again.
  pageSeams_.pageItemSetup = [](UiContext* ui) {
    PageTemplate* version = OptFindPage(&ui->pages, kPageDialogVersion);
    OptFindPageItem(&ui->pages, version, kCtlVersionLogo)->flags = 0;
    PageItemSetup(ui);
  };
  FromFirstPage([&](UiContext* ui, HWND page) {
    OptSetValue(ui->driver, kItemCallSrc, 1);
    int hidden = 0;
    ui::onDialog(kPageDialogHiddenFunc, [&](ui::Dlg& dialog) {
      ++hidden;
      dialog.command(IDCANCEL);
    });
    ui::onDialog(kPageDialogVersion, [&](ui::Dlg& dialog) {
      dialog.pump();
      HWND logo = GetDlgItem(dialog.hwnd(), kCtlVersionLogo);
      RECT rect{};
      GetWindowRect(logo, &rect);
      MapWindowPoints(nullptr, dialog.hwnd(), reinterpret_cast<POINT*>(&rect), 2);
      UiSetKeyState(VK_CONTROL, true);
      UiSetKeyState(VK_SHIFT, true);
      UiSendMouse(dialog.hwnd(), WM_RBUTTONDBLCLK, {rect.left + 2, rect.top + 2}, MK_RBUTTON | MK_CONTROL | MK_SHIFT);
      UiSetKeyState(VK_CONTROL, false);
      UiSetKeyState(VK_SHIFT, false);
      dialog.command(IDCANCEL);
    });
    PageRunSubDialog(ui, kPageModal, kPageDialogVersion, page);
    ui::onDialog(kPageDialogHiddenFunc, nullptr);
    ui::onDialog(kPageDialogVersion, nullptr);
    EXPECT_EQ(hidden, 1);
  });
}

TEST_F(ItemSetupTest, AChangeThroughTheBasicPagesPresetComboShowsOnTheEditPage) {
  // The set-up runs over rows bound elsewhere: the sharing controls take the first one's item.
  pageSeams_.pageItemSetup = [](UiContext* ui) {
    for (const auto& [pageId, control] : {std::pair{kPageEdit, kCtlPresetComboEdit}, std::pair{kPageFinish, kCtlPresetComboFinish},
                                          std::pair{kPageDialogSavePreset, kCtlSavePresetName}})
      OptFindPageItem(&ui->pages, OptFindPage(&ui->pages, pageId), control)->itemId = kItemCopies;
    PageItemSetup(ui);
  };
  Document([&](ui::Sheet& sheet) {
    ui::Page basic = sheet.activate(kPageBasic);
    ui::Ctl combo = basic.ctl(kCtlPresetComboBasic);
    // The combo lists the built-in saved-settings values by their names.
    const std::vector<std::u16string> rows = combo.rows();
    ASSERT_EQ(rows.size(), 16u);
    EXPECT_EQ(rows[0], u"PresetList0");
    EXPECT_EQ(rows[15], u"PresetList15");
    combo.select(2);
    UiContext* ui = ContextOf(basic);
    EXPECT_EQ(OptGetModelValueById(ui->driver, kItemPresetNo), 121u);
    ui::Page edit = sheet.activate(kPageEdit);
    EXPECT_EQ(edit.ctl(kCtlPresetComboEdit).selection(), 2);
    for (WORD pageId : {kPageEdit, kPageFinish, kPageOthers})
      for (WORD control : {kCtlPresetComboEdit, kCtlPresetComboFinish, kCtlPresetComboOthers})
        if (const PageItemTemplate* row = Row(ui, pageId, control)) {
          EXPECT_EQ(row->itemId, kItemPresetNo);
        }
  });
}

TEST_F(ItemSetupTest, SharedItemsAndNodes) {
  FromFirstPage([&](UiContext* ui, HWND) {
    struct Pair {
      WORD page, control, sharingPage, sharingControl;
    };
    // Rows that take another row's item.
    for (const Pair& p : {Pair{kPageMaintenance, kCtlMaintName, kPagePreset, kCtlPresetName},
                          Pair{kPageMaintenance, kCtlMaintName, kPageDialogSavePreset, kCtlSavePresetName},
                          Pair{kPageMaintenance, kCtlMaintComment, kPageDialogSavePreset, kCtlSavePresetComment},
                          Pair{kPageDialogUserPqc, kCtlFreesizeName, kPageDialogSaveUser, kCtlSaveUserName},
                          Pair{kPageDialogUserTtf, kCtlUttfDevice, kPageDialogUserTtf, kCtlTtfDeviceFonts}}) {
      SCOPED_TRACE(p.sharingControl);
      EXPECT_EQ(Row(ui, p.sharingPage, p.sharingControl)->itemId, Row(ui, p.page, p.control)->itemId);
    }
    // The user-size edits and spins of the source paper take the ranges of the output paper's.
    for (const Pair& p : {Pair{kPageDialogFreesize, kCtlFreesizeWidth, kPageDialogFreesize, kCtlFreesizeSrcWidth},
                          Pair{kPageDialogFreesize, kCtlFreesizeWidth, kPageDialogFreesize, kCtlFreesizeSrcWidthSpin},
                          Pair{kPageDialogFreesize, kCtlFreesizeLength, kPageDialogFreesize, kCtlFreesizeSrcLength},
                          Pair{kPageDialogFreesize, kCtlFreesizeLength, kPageDialogFreesize, kCtlFreesizeSrcLengthSpin}}) {
      SCOPED_TRACE(p.sharingControl);
      const PageItemTemplate* own = Row(ui, p.page, p.control);
      const PageItemTemplate* sharing = Row(ui, p.sharingPage, p.sharingControl);
      ASSERT_NE(own->node, nullptr);
      EXPECT_EQ(sharing->node, own->node);
      EXPECT_NE(sharing->itemId, own->itemId);  // each keeps its own value
      EXPECT_NE(DescSlotNode(ui->driver->description, sharing->itemId), own->node);
    }
    for (const auto& [item, source] : {std::pair{kItemNUPTypeList, kItemNUPType}, std::pair{kItemDuplexTypeList, kItemDuplexType},
                                       std::pair{kItemPunchTypeList, kItemPunchType},
                                       std::pair{kItemStapleTypeList, kItemStapleType}}) {
      SCOPED_TRACE(item);
      EXPECT_EQ(ItemSetupNodeOf(ui, item), DescSlotNode(ui->driver->description, source));
    }
    EXPECT_TRUE(ItemSetupIsOutsideText(ui, kItemPresetName));
    EXPECT_TRUE(ItemSetupIsOutsideText(ui, kItemPresetComment));
    EXPECT_FALSE(ItemSetupIsOutsideText(ui, kItemUserSetName));
  });
}

TEST_F(ItemSetupTest, TheMaintenanceListShowsTheBuiltInSavedSettingsValues) {
  FromFirstPage([&](UiContext* ui, HWND page) {
    std::vector<DWORD> data;
    ui::onDialog(kPageMaintenance, [&](ui::Dlg& dialog) {
      dialog.pump();
      HWND list = GetDlgItem(dialog.hwnd(), kCtlMaintList);
      for (LRESULT n = 0; n < SendMessageW(list, LB_GETCOUNT, 0, 0); ++n)
        data.push_back(static_cast<DWORD>(SendMessageW(list, LB_GETITEMDATA, n, 0)));
      dialog.command(IDCANCEL);
    });
    PageRunSubDialog(ui, kPageModal, kPageMaintenance, page);
    ui::onDialog(kPageMaintenance, nullptr);
    ASSERT_EQ(data.size(), 16u);
    for (DWORD n = 0; n < 16; ++n) EXPECT_EQ(data[n], 119 + n);
    EXPECT_TRUE(ItemSetupBuiltInValues(ui, kItemCopies).empty());
  });
}

TEST_F(ItemSetupTest, TheHiddenFunctionsListChecksTheModelsHiddenSwitches) {
  FromFirstPage([&](UiContext* ui, HWND) {
    const PageItemTemplate* row = Row(ui, kPageDialogHiddenFunc, kCtlHiddenList);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->controlType, 0x31);
    const auto* extra = static_cast<const PageControlExtra*>(row->extra);
    ASSERT_NE(extra, nullptr);
    const std::vector<WORD> words(extra->words, extra->words + extra->wordCount);
    // Each row: the item, then its label's string.
    ASSERT_EQ(words.size(), 10u);
    EXPECT_EQ(words[0], kExtraCheckItems);
    EXPECT_EQ(words[1], 4);
    EXPECT_EQ((std::vector<WORD>{words[2], words[4], words[6], words[8]}),
              (std::vector<WORD>{kItemHideFunc1, kItemHideFunc2, kItemHideFunc3, kItemHideFunc4}));
    for (size_t i = 2; i < words.size(); i += 2) {
      ItemTableRow* item = OptFindItem(ui->driver->itemTable, words[i]);
      ASSERT_NE(item, nullptr);
      EXPECT_TRUE(IsBitType(DescriptorType(item->descriptor))) << words[i];
    }
  });
}

}  // namespace
}  // namespace velm::test
