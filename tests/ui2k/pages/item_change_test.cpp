// A control's change as a control class hands it to the framework: alerts answered either way,
// the focus after a refusal, a rule that opens a dialog, the watermark switch's alert through the
// page's message, and the job-type confirmation that is let through.
#include "pages_fixture.h"

#include "ui2k/pages/item_change.h"
#include "ui2k/pages/sub_dialogs.h"

namespace velm::test {
namespace {

class ItemChangeTest : public PagesTest {
 protected:
  // Runs `body` on the page `pageId` of the document sheet.
  void OnPage(WORD pageId, std::function<void(UiContext*, HWND)> body) {
    Document([&](ui::Sheet& sheet) {
      ui::Page page = sheet.activate(pageId);
      body(ContextOf(page), page.hwnd());
    });
  }
  // Runs `body` inside the modal dialog `pageId` opened from the first page.
  void InDialog(WORD pageId, std::function<void(UiContext*, HWND)> body) {
    OnPage(1001, [&](UiContext* ui, HWND page) {
      ui::onDialog(pageId, [&](ui::Dlg& dialog) {
        dialog.pump();
        body(ui, dialog.hwnd());
        dialog.ctl(IDCANCEL).click();
      });
      EXPECT_EQ(PageRunSubDialog(ui, kPageModal, pageId, page), IDCANCEL);
    });
  }
};

TEST_F(ItemChangeTest, APropertyAlertAnsweredNoRefusesAndYesKeepsTheValue) {
  OnPage(1002, [&](UiContext* ui, HWND page) {
    PageItemTemplate* row = PageFindRow(page, kCtlCollateCheck);
    ASSERT_NE(row, nullptr);
    ASSERT_TRUE(OptSetValue(ui->driver, kItemCollate, 1));
    ui::onMessageBox(std::deque<int>{IDNO, IDYES});
    EXPECT_EQ(PageApplyItemChange(ui, page, row, 0, TRUE), 1);
    EXPECT_EQ(OptGetValue(ui->driver, kItemCollate), 1u) << "the previous value is back";
    EXPECT_EQ(PageApplyItemChange(ui, page, row, 0, TRUE), 0);
    EXPECT_EQ(OptGetValue(ui->driver, kItemCollate), 0u);
    ASSERT_EQ(ui::messageBoxes().size(), 2u);
    EXPECT_EQ(ui::messageBoxes()[0].type, static_cast<UINT>(MB_ICONQUESTION | MB_YESNO));
    EXPECT_EQ(ui::messageBoxes()[0].text, String(ui, 10047));
    EXPECT_EQ(ui::messageBoxes()[0].caption, u"Velm Printer");
  });
}

TEST_F(ItemChangeTest, ARefusalOnThePrintTypeDialogFocusesTheControlForTheAlert) {
  InDialog(kPageDialogPrinttype, [&](UiContext* ui, HWND dialog) {
    PageItemTemplate* row = PageFindRow(dialog, kCtlPrnmethodsub);
    ASSERT_NE(row, nullptr);
    ui::onMessageBox(std::deque<int>{IDNO, IDYES, IDNO});
    // 10003 (user id missing): the user id.
    EXPECT_EQ(PageApplyItemChange(ui, dialog, row, 1, TRUE), 1);
    EXPECT_EQ(OptGetValue(ui->driver, kItemPrnMethodSub), 0u);
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, kCtlPtUserId));
    // Another text on a locked print: the password, emptied; any answer of a dialog alert refuses.
    OptSetValue(ui->driver, kItemPrnMethod, 1);
    SetDlgItemTextW(dialog, kCtlPtPassword, u"1234");
    EXPECT_EQ(PageApplyItemChange(ui, dialog, row, 2, TRUE), 1);
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, kCtlPtPassword));
    EXPECT_EQ(ui::Ctl(GetDlgItem(dialog, kCtlPtPassword)).text(), u"");
    // Otherwise the stored-job password.
    OptSetValue(ui->driver, kItemPrnMethod, 3);
    SetDlgItemTextW(dialog, kCtlPtStoredPassword, u"99");
    EXPECT_EQ(PageApplyItemChange(ui, dialog, row, 2, TRUE), 1);
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, kCtlPtStoredPassword));
    EXPECT_EQ(ui::Ctl(GetDlgItem(dialog, kCtlPtStoredPassword)).text(), u"");
  });
}

TEST_F(ItemChangeTest, TheJobTypeConfirmationIsLetThroughForJobType56Only) {
  InDialog(kPageDialogPrinttype, [&](UiContext* ui, HWND dialog) {
    PageItemTemplate* row = PageFindRow(dialog, kCtlPrnmethodsub);
    ui::onMessageBox(std::deque<int>{IDNO, IDNO});
    OptSetValue(ui->driver, kItemPrnMethod, 56);
    EXPECT_EQ(PageApplyItemChange(ui, dialog, row, 3, TRUE), 0);
    EXPECT_EQ(OptGetValue(ui->driver, kItemPrnMethodSub), 3u);
    OptSetValue(ui->driver, kItemPrnMethodSub, 0);
    OptSetValue(ui->driver, kItemPrnMethod, 0);
    EXPECT_EQ(PageApplyItemChange(ui, dialog, row, 3, TRUE), 1);
    EXPECT_EQ(OptGetValue(ui->driver, kItemPrnMethodSub), 0u);
    EXPECT_EQ(ui::messageBoxes().size(), 2u);
  });
}

TEST_F(ItemChangeTest, ARuleNamingADialogOpensItAndItsCancelRefreshesThePage) {
  UseCountingClass();
  OnPage(1002, [&](UiContext* ui, HWND page) {
    PageItemTemplate* row = PageFindRow(page, kCtlSmoothing);
    ASSERT_NE(row, nullptr);
    int opened = 0;
    ui::onDialog(kPageDialogRotation, [&](ui::Dlg& dialog) {
      ++opened;
      dialog.ctl(IDCANCEL).click();
    });
    const int fills = g_classCalls.fill;
    EXPECT_EQ(PageApplyItemChange(ui, page, row, 1, TRUE), 0);
    EXPECT_EQ(opened, 1);
    EXPECT_GT(g_classCalls.fill, fills) << "the page is filled again after the cancel";
    EXPECT_EQ(OptGetValue(ui->driver, kItemSmoothing), 1u);
    EXPECT_EQ(PageApplyItemChange(ui, page, row, 0, TRUE), 0);
    EXPECT_EQ(opened, 1);
  });
}

TEST_F(ItemChangeTest, TheWatermarkSwitchShowsItsAlertThroughThePageAndCountsAsAccepted) {
  OnPage(1003, [&](UiContext* ui, HWND page) {
    PageItemTemplate* row = PageFindRow(page, kCtlStampUse);
    ASSERT_NE(row, nullptr);
    ui::onMessageBox(std::deque<int>{IDCANCEL});
    EXPECT_EQ(PageApplyItemChange(ui, page, row, 1, TRUE), 0);
    EXPECT_EQ(OptGetValue(ui->driver, kItemFuncSelectWaterMark), 1u);
    ASSERT_EQ(ui::messageBoxes().size(), 1u);
    EXPECT_EQ(ui::messageBoxes()[0].type, static_cast<UINT>(MB_ICONEXCLAMATION | MB_OKCANCEL));
  });
}

TEST_F(ItemChangeTest, ARowWithoutModelNodeOnlyStores) {
  OnPage(1001, [&](UiContext* ui, HWND page) {
    PageItemTemplate row{};
    row.itemId = kItemCopies;
    EXPECT_EQ(PageApplyItemChange(ui, page, &row, 33, TRUE), 0);
    EXPECT_EQ(OptGetValue(ui->driver, kItemCopies), 33u);
  });
}

}  // namespace
}  // namespace velm::test
