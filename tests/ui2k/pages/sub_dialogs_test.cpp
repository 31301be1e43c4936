// Modal dialogs on the page procedure: the changed flag their buttons leave, the OK checks that
// keep a dialog open, the hidden-functions dialog behind Ctrl+Shift and a right double click,
// file dialogs through their seam, and a nested sheet of one page.
#include "pages_fixture.h"

#include "ui2k/pages/sub_dialogs.h"

namespace velm::test {
namespace {

class SubDialogsTest : public PagesTest {
 protected:
  void FromFirstPage(std::function<void(UiContext*, HWND)> body) {
    Document([&](ui::Sheet& sheet) { body(ContextOf(sheet.current()), sheet.current().hwnd()); });
  }
};

TEST_F(SubDialogsTest, CancelAndNoClearTheChangedFlagOtherButtonsSetIt) {
  FromFirstPage([&](UiContext* ui, HWND page) {
    struct Case {
      int button;
      DWORD changed;
    };
    for (const Case& c : {Case{IDCANCEL, 0}, Case{IDOK, 1}, Case{IDNO, 0}, Case{IDYES, 1}}) {
      SCOPED_TRACE(c.button);
      ui->state.changed = 1 - c.changed;
      ui::onDialog(kPageDialogUnit, [&](ui::Dlg& dialog) { dialog.command(c.button); });
      EXPECT_EQ(PageRunSubDialog(ui, kPageModal, kPageDialogUnit, page), c.button);
      EXPECT_EQ(ui->state.changed, c.changed);
    }
  });
}

TEST_F(SubDialogsTest, TheStampImageDialogStaysOpenUntilItsFileOpens) {
  WriteHostFile(root_.OnDriveC("stamp.bmp"), "BM");
  FromFirstPage([&](UiContext* ui, HWND page) {
    bool stayed = false;
    ui::onMessageBox(std::deque<int>{IDOK});
    ui::onDialog(kPageDialogStampImage, [&](ui::Dlg& dialog) {
      dialog.pump();
      SetDlgItemTextW(dialog.hwnd(), kCtlStampImageFile, u"C:\\missing.bmp");
      dialog.command(IDOK);
      stayed = dialog.exists() && UiIsWindow(dialog.hwnd());
      SetDlgItemTextW(dialog.hwnd(), kCtlStampImageFile, u"C:\\stamp.bmp");
      dialog.command(IDOK);
    });
    EXPECT_EQ(PageRunSubDialog(ui, kPageModal, kPageDialogStampImage, page), IDOK);
    EXPECT_TRUE(stayed);
    ASSERT_EQ(ui::messageBoxes().size(), 1u);
    EXPECT_EQ(ui::messageBoxes()[0].text, String(ui, 10043));
  });
}

TEST_F(SubDialogsTest, TheOverlayDialogWantsAnExistingOverlayFile) {
  WriteHostFile(root_.OnDriveC("form.RPO"), "x");
  WriteHostFile(root_.OnDriveC("form.bmp"), "x");
  FromFirstPage([&](UiContext* ui, HWND page) {
    ui::onMessageBox(std::deque<int>{IDOK, IDOK, IDOK});
    ui::onDialog(kPageDialogOverlay, [&](ui::Dlg& dialog) {
      for (const char16_t* refused : {u"C:\\form.bmp", u"C:\\other.rpo", u"rpo"}) {
        SetDlgItemTextW(dialog.hwnd(), kCtlOverlayFile, refused);
        dialog.command(IDOK);
      }
      SetDlgItemTextW(dialog.hwnd(), kCtlOverlayFile, u"C:\\form.RPO");
      dialog.command(IDOK);
    });
    EXPECT_EQ(PageRunSubDialog(ui, kPageModal, kPageDialogOverlay, page), IDOK);
    ASSERT_EQ(ui::messageBoxes().size(), 3u);
    EXPECT_EQ(ui::messageBoxes()[2].text, String(ui, 10024));
  });
}

TEST_F(SubDialogsTest, CtrlShiftRightDoubleClickOnAMarkedRowOpensTheHiddenFunctionsWhenTheSheetCalls) {
  for (BYTE callSource : {0, 1}) {
    SCOPED_TRACE(callSource);
    FromFirstPage([&](UiContext* ui, HWND page) {
      OptSetValue(ui->driver, kItemCallSrc, callSource);
      int hidden = 0;
      ui::onDialog(kPageDialogHiddenFunc, [&](ui::Dlg& dialog) {
        ++hidden;
        dialog.command(IDOK);
      });
      ui::onDialog(kPageDialogVersion, [&](ui::Dlg& dialog) {
        dialog.pump();
        HWND logo = GetDlgItem(dialog.hwnd(), kCtlVersionLogo);
        ASSERT_NE(logo, nullptr);
        RECT rect{};
        GetWindowRect(logo, &rect);
        MapWindowPoints(nullptr, dialog.hwnd(), reinterpret_cast<POINT*>(&rect), 2);
        const POINT inside{rect.left + 2, rect.top + 2};
        UiSendMouse(dialog.hwnd(), WM_RBUTTONDBLCLK, inside, MK_RBUTTON);  // no keys
        UiSetKeyState(VK_CONTROL, true);
        UiSendMouse(dialog.hwnd(), WM_RBUTTONDBLCLK, inside, MK_RBUTTON | MK_CONTROL);  // Ctrl alone
        UiSetKeyState(VK_SHIFT, true);
        UiSendMouse(dialog.hwnd(), WM_RBUTTONDBLCLK, {rect.right + 5, rect.bottom + 5}, MK_RBUTTON);  // elsewhere
        UiSendMouse(dialog.hwnd(), WM_RBUTTONDBLCLK, inside, MK_RBUTTON | MK_CONTROL | MK_SHIFT);
        UiSetKeyState(VK_CONTROL, false);
        UiSetKeyState(VK_SHIFT, false);
        dialog.command(IDCANCEL);
      });
      PageRunSubDialog(ui, kPageModal, kPageDialogVersion, page);
      EXPECT_EQ(hidden, callSource == 1 ? 1 : 0);
      ui::onDialog(kPageDialogHiddenFunc, nullptr);
      ui::onDialog(kPageDialogVersion, nullptr);
    });
  }
}

TEST_F(SubDialogsTest, FileDialogsRunWithTheirPagesTemplateAndANestedSheetShowsItsOnePage) {
  FromFirstPage([&](UiContext* ui, HWND page) {
    ui::onFileDialog([](const UiFileDialogCall&, ui::Dlg&) { return UiFileDialogAnswer{}; });
    const size_t before = UiFileDialogCalls().size();
    EXPECT_EQ(PageRunSubDialog(ui, kPageFileRefer, kPageFilerefer, page), IDCANCEL);
    EXPECT_EQ(PageRunSubDialog(ui, kPageCreateFiles, kPageDialogCreateMidfiles, page), IDCANCEL);
    ASSERT_EQ(UiFileDialogCalls().size(), before + 2);
    EXPECT_EQ(UiFileDialogCalls()[before].templateId, kPageFilerefer);
    EXPECT_EQ(UiFileDialogCalls()[before + 1].templateId, kPageDialogCreateMidfiles);
    std::vector<WORD> pages;
    ui::onSheet([&](ui::Sheet& sheet) {
      pages = sheet.pageIds();
      sheet.pressOk();
    });
    EXPECT_EQ(PageRunSubDialog(ui, kPageNestedSheet, kPageDialogUserPqc, page), IDOK);
    EXPECT_EQ(pages, (std::vector<WORD>{kPageDialogUserPqc}));
    EXPECT_EQ(ui->state.frame.currentPageId, kPagePreset) << "the page in front is the caller's again";
  });
}

}  // namespace
}  // namespace velm::test
