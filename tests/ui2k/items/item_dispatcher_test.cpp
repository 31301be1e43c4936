// The item dispatcher: which procedure each page's events go to, the saved-settings controls of
// every page, commands of another control, the edit page's stamp caption, the quality list's
// rows measured before a page exists, and the tray slots.
#include "../pages/pages_fixture.h"

#include "ui2k/items/item_dispatcher.h"
#include "ui2k/items/tray_labels.h"

namespace velm::test {
namespace {

TEST(TraySlots, EachTrayValueHasItsSlotAndAnyOtherUsesSlotZero) {
  struct Case {
    DWORD tray;
    BYTE slot;
  };
  const Case cases[] = {{2, 0},   {3, 1},   {5, 2},     {6, 3},      {7, 25}, {169, 25}, {50002, 25},
                        {4, 27},  {50000, 27}, {8, 28}, {1, 0},      {9, 0},  {50001, 0}, {0, 0}};
  for (const Case& c : cases) EXPECT_EQ(TraySlotOfValue(c.tray), c.slot) << c.tray;
}

TEST(TraySlots, LabelsBelongToTheirPagesAndSlots) {
  struct Case {
    WORD page, control;
    int slot;
  };
  const Case cases[] = {
      {kPageDialogInit, kCtlTrayLabel1, 0},      {kPageDialogInit, kCtlTrayLabelMp, 28},
      {kPageDialogInit, kCtlTrayLabelLct, 25},   {kPageDialogInit, kCtlTrayLabelLct2, 25},
      {kPageDialogInit, kCtlTrayLabelManual, 27}, {kPageDialogCover, 2458, 0},
      {kPageDialogCover, 2521, 28},              {kPageDialogMark, 2541, 3},
      {kPageDialogMark, 2569, 25},               {kPageDialogMark, 2549, 27},
      {kPageDialogCover, 2541, -1},              {kPageDialogInit, kCtlTrayPicture, -1},
  };
  for (const Case& c : cases) EXPECT_EQ(TrayLabelSlot(c.page, c.control), c.slot) << c.page << " " << c.control;
}

TEST(ItemDispatcher, WithoutAPageOnlyTheQualityListsRowsAreMeasuredTwiceAsHigh) {
  struct Case {
    UINT message;
    WPARAM control;
    BOOL taken;
    UINT height;
  };
  const Case cases[] = {{WM_MEASUREITEM, kCtlQualityList, TRUE, 36},
                        {WM_MEASUREITEM, kCtlQualityList + 1, FALSE, 18},
                        {WM_DRAWITEM, kCtlQualityList, FALSE, 18}};
  for (const Case& c : cases) {
    MEASUREITEMSTRUCT measure{};
    measure.CtlID = static_cast<UINT>(c.control);
    measure.itemHeight = 18;
    INT_PTR result = FALSE;
    EXPECT_EQ(PageItemProc(nullptr, nullptr, nullptr, nullptr, c.message, c.control, reinterpret_cast<LPARAM>(&measure),
                           &result),
              c.taken);
    EXPECT_EQ(measure.itemHeight, c.height);
  }
}

class ItemDispatcherTest : public PagesTest {
 protected:
  // A command of `control` offered for `pageId` (its window: the sheet's current page).
  static BOOL Offer(UiContext* ui, HWND window, WORD pageId, WORD control, WORD sender = 0) {
    PageTemplate* page = OptFindPage(&ui->pages, pageId);
    PageItemTemplate* row = const_cast<PageItemTemplate*>(OptFindPageItem(&ui->pages, page, control));
    EXPECT_NE(row, nullptr) << pageId << " " << control;
    INT_PTR result = FALSE;
    return PageItemProc(ui, page, row, window, WM_COMMAND, MAKEWPARAM(sender ? sender : control, BN_CLICKED), 0,
                        &result);
  }
};

TEST_F(ItemDispatcherTest, EachPagesCommandsGoToItsOwnProcedure) {
  struct Case {
    WORD page, control;
    const char* call;  // null: the page takes nothing
  };
  const Case cases[] = {
      {kPageTtf, 2380, "DlgFontSubstitutionProc 2380"},
      {kPageDialogUserTtf, 2289, "DlgFontSubstitutionProc 2289"},
      {kPageEdit, kCtlStampNewOverlay, "DlgStampProc 2407"},
      {kPageDialogStampChar, 2310, "DlgStampProc 2310"},
      {kPageDialogOption, 2164, "DlgOptionProc 2164"},
      {kPageDialogFreesize, 2364, "DlgFreeSizeProc 2364"},
      {kPageDialogRemote, 2482, "DlgRemoteProc 2482"},
      {kPageDialogAddress, 2490, "DlgAddressProc 2490"},
      {kPagePrintquality, kCtlQualityList, "DlgQualityProc 2134"},
      {kPageMaintenance, kCtlMaintName, "DlgMaintenanceProc 2145"},
      {kPageDialogPrinttype, 2241, "DlgPrintTypeProc 2241"},
      {kPageDialogStatus, 3175, nullptr},
      // The saved-settings controls go to their procedure on every page.
      {kPagePreset, kCtlPresetRestore, "DlgPresetControlProc 2002"},
      {kPageEdit, kCtlPresetComboEdit, "DlgPresetControlProc 2078"},
      {kPageBasic, kCtlPresetNameBasic, "DlgPresetControlProc 2388"},
      {kPageOthers, kCtlRestoreOthers, "DlgPresetControlProc 2114"},
  };
  Document([&](ui::Sheet& sheet) {
    UiContext* ui = ContextOf(sheet.current());
    for (const Case& c : cases) {
      const PageTemplate* page = OptFindPage(&ui->pages, c.page);
      ASSERT_NE(OptFindPageItem(&ui->pages, page, c.control), nullptr) << c.control << " on " << c.page;
      SCOPED_TRACE(std::to_string(c.page) + " " + std::to_string(c.control));
      UiClearSeamCalls();
      EXPECT_FALSE(Offer(ui, sheet.current().hwnd(), c.page, c.control)) << "the procedures take nothing yet";
      EXPECT_EQ(UiSeamCalls(), c.call ? std::vector<std::string>{c.call} : std::vector<std::string>{});
    }
  });
}

TEST_F(ItemDispatcherTest, ACommandOfAnotherControlIsNeverHandledInline) {
  Document([&](ui::Sheet& sheet) {
    UiContext* ui = ContextOf(sheet.current());
    const DWORD preset = OptGetValue(ui->driver, kItemPresetNo);
    // The default button's row with the edit button's command: nothing restored.
    EXPECT_FALSE(Offer(ui, sheet.current().hwnd(), kPagePreset, kCtlPresetDefault, kCtlPresetEdit));
    EXPECT_TRUE(g_presets.applied.empty());
    EXPECT_EQ(OptGetValue(ui->driver, kItemPresetNo), preset);
  });
}

TEST_F(ItemDispatcherTest, TheEditPagesStampCheckSaysFirstPageOnlyWhileTheOverlayButtonIsThere) {
  Document([&](ui::Sheet& sheet) {
    ui::Page page = sheet.activate(kPageEdit);
    UiContext* ui = ContextOf(page);
    EXPECT_EQ(page.ctl(kCtlStampUse).text(), String(ui, 563));

    PageTemplate* edit = OptFindPage(&ui->pages, kPageEdit);
    INT_PTR result = FALSE;
    SetDlgItemTextW(page.hwnd(), kCtlStampUse, u"old");
    DestroyWindow(GetDlgItem(page.hwnd(), kCtlStampNewOverlay));
    EXPECT_FALSE(PageItemProc(ui, edit, nullptr, page.hwnd(), WM_INITDIALOG, 0, 0, &result)) << "never taken";
    EXPECT_EQ(page.ctl(kCtlStampUse).text(), u"old");
  });
}

}  // namespace
}  // namespace velm::test
