// The OK button of the user-settings sheet replaced by the preset-save commands, for each offer
// of the change mask; OK pressed while replaced; the saves and their refusals; and a picture of
// the sheet with both buttons.
#include "pages_fixture.h"

#include "settings/items/store.h"
#include "ui2k/pages/sub_dialogs.h"

namespace velm::test {
namespace {

struct Offer {
  DWORD mask;
  WORD okId;          // the command OK sends now
  UINT okText;
  bool addedButton;   // a save-new button beside it
};
const Offer kOffers[] = {
    {0x80000000, 11111, 372, false},
    {0x40000000, 22222, 373, false},
    {0xC0000000, 22222, 373, true},
};

class OkButtonTest : public PagesTest {
 protected:
  // Opens the user-settings sheet with `mask` raised, from the document sheet's first page.
  void UserSettings(DWORD mask, std::function<void(UiContext*, ui::Sheet&)> script) {
    Document([&](ui::Sheet& outer) {
      UiContext* ui = ContextOf(outer.current());
      CtxRaiseChangeMask(ui->driver, mask);
      ui::onSheet([&](ui::Sheet& sheet) { script(ui, sheet); });
      PageRunSubDialog(ui, kPageUserSettingsTab, kPageEdit, outer.current().hwnd());
      // The caller's sheet keeps its own OK button.
      EXPECT_EQ(CtxGetChangeMask(ui->driver) & 0x800000, 0u);
      EXPECT_EQ(ui->state.frame.okReplacement, 0);
      EXPECT_NE(GetDlgItem(outer.hwnd(), IDOK), nullptr);
    });
  }
  static std::u16string Text(HWND window) { return ui::Ctl(window).text(); }
  static RECT Rect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
  }
};

TEST_F(OkButtonTest, EachOfferGivesItsButtonsTextsAndCommands) {
  for (const Offer& offer : kOffers) {
    SCOPED_TRACE(offer.mask);
    UserSettings(offer.mask, [&](UiContext* ui, ui::Sheet& sheet) {
      HWND frame = sheet.hwnd();
      EXPECT_EQ(GetDlgItem(frame, IDOK), nullptr);
      HWND ok = GetDlgItem(frame, offer.okId);
      ASSERT_NE(ok, nullptr);
      EXPECT_EQ(Text(ok), String(ui, offer.okText));
      EXPECT_EQ(ui->state.frame.okReplacement, offer.okId);
      const DWORD mask = CtxGetChangeMask(ui->driver);
      EXPECT_EQ(mask & 0xC0000000, 0u) << "the offer is used";
      EXPECT_NE(mask & 0x800000, 0u);
      HWND cancel = GetDlgItem(frame, IDCANCEL);
      EXPECT_EQ(Rect(ok).right - Rect(ok).left, 100) << "4/3 of the 75 pixels of a sheet button";
      if (offer.addedButton) {
        HWND added = GetDlgItem(frame, 11111);
        ASSERT_NE(added, nullptr);
        EXPECT_EQ(Text(added), String(ui, 372));
        EXPECT_EQ(GetWindowLongPtrW(added, GWL_STYLE) & BS_DEFPUSHBUTTON, 0);
        EXPECT_EQ(Rect(added).right, Rect(ok).right + 100);
        EXPECT_LT(Rect(added).right, Rect(cancel).left);
      } else {
        EXPECT_LT(Rect(ok).right, Rect(cancel).left);
      }
      sheet.pressCancel();
    });
  }
}

TEST_F(OkButtonTest, OkPressedWhileReplacedRunsTheReplacementAndThenClosesTheSheet) {
  g_presets.names = {u"Standard", u"Mine"};
  g_presets.readOnly = {true, false};
  UserSettings(0x40000000, [&](UiContext* ui, ui::Sheet& sheet) {
    OptSetModelValueById(ui->driver, kItemPresetNo, 120);
    OptSetString(ui->driver, OptFindItem(ui->driver->itemTable, kItemPresetName), u"Mine");
    SendMessageW(sheet.hwnd(), PSM_PRESSBUTTON, PSBTN_OK, 0);
    UiPump();
    EXPECT_FALSE(sheet.open()) << "the save pressed OK again, which closed the sheet";
    EXPECT_EQ(g_presets.edited, (std::vector<int>{1}));
    EXPECT_EQ(OptGetModelValueById(ui->driver, kItemPresetNo), 120u);
    EXPECT_EQ(CtxGetChangeMask(ui->driver) & 0x800000, 0u);
  });
}

TEST_F(OkButtonTest, OverwritingWithAnEmptyNameIsRefusedAndSavesNothing) {
  ui::onMessageBox(std::deque<int>{IDOK});
  UserSettings(0x40000000, [&](UiContext* ui, ui::Sheet& sheet) {
    ui::Page page = sheet.current();
    page.command(22222);
    UiPump();
    ASSERT_TRUE(sheet.open());
    ASSERT_EQ(ui::messageBoxes().size(), 1u);
    EXPECT_EQ(ui::messageBoxes()[0].text, String(ui, 10031));
    EXPECT_EQ(ui::messageBoxes()[0].type, static_cast<UINT>(MB_ICONWARNING));
    EXPECT_EQ(GetFocus(), GetDlgItem(page.hwnd(), kCtlPresetNameEdit));
    EXPECT_TRUE(g_presets.edited.empty());
    EXPECT_TRUE(g_presets.appended.empty());
    sheet.pressCancel();
  });
}

TEST_F(OkButtonTest, ASeventeenthPresetIsRefused) {
  for (int i = 0; i < 16; ++i) {
    g_presets.names.push_back(u"P" + std::u16string(1, static_cast<char16_t>(u'a' + i)));
    g_presets.readOnly.push_back(false);
  }
  ui::onMessageBox(std::deque<int>{IDOK});
  UserSettings(0x80000000, [&](UiContext* ui, ui::Sheet& sheet) {
    OptSetString(ui->driver, OptFindItem(ui->driver->itemTable, kItemPresetName), u"New one");
    sheet.current().command(11111);
    UiPump();
    ASSERT_TRUE(sheet.open());
    ASSERT_EQ(ui::messageBoxes().size(), 1u);
    EXPECT_EQ(ui::messageBoxes()[0].text, String(ui, 10049));
    EXPECT_TRUE(g_presets.appended.empty());
    sheet.pressCancel();
  });
}

TEST_F(OkButtonTest, SavingUnderAnotherPresetsNameAsksFirstAndAReadOnlyOneIsRefused) {
  g_presets.names = {u"Standard", u"Mine", u"Theirs"};
  g_presets.readOnly = {true, false, false};
  ui::onMessageBox(std::deque<int>{IDNO, IDYES, IDOK});
  UserSettings(0x80000000, [&](UiContext* ui, ui::Sheet& sheet) {
    OptSetModelValueById(ui->driver, kItemPresetNo, 120);
    OptSetString(ui->driver, OptFindItem(ui->driver->itemTable, kItemPresetName), u"Theirs");
    ui::Page page = sheet.current();
    page.command(2097);  // the finishing tab's save button: no OK afterwards
    EXPECT_TRUE(g_presets.edited.empty()) << "No keeps everything";
    page.command(2097);
    EXPECT_EQ(g_presets.edited, (std::vector<int>{2}));
    EXPECT_EQ(OptGetModelValueById(ui->driver, kItemPresetNo), 121u);
    OptSetString(ui->driver, OptFindItem(ui->driver->itemTable, kItemPresetName), u"Standard");
    page.command(2097);
    EXPECT_EQ(ui::messageBoxes().back().text, String(ui, 10024));
    EXPECT_EQ(g_presets.edited.size(), 1u);
    UiPump();
    EXPECT_TRUE(sheet.open());
    // The edit tab's save button is not one of the preset-save commands.
    page.command(2080);
    EXPECT_EQ(g_presets.edited.size(), 1u);
    EXPECT_EQ(ui::messageBoxes().size(), 3u);
    sheet.pressCancel();
  });
}

TEST_F(OkButtonTest, ThePictureShowsBothButtonsInTheirPlaces) {
  UserSettings(0xC0000000, [&](UiContext*, ui::Sheet& sheet) {
    HWND frame = sheet.hwnd();
    UiPump();
    UiImage image;
    ASSERT_TRUE(UiRenderWindow(frame, &image));
    const std::filesystem::path png = BuildDir() / "ok_button_both_offers.png";
    ASSERT_TRUE(UiSaveWindowPng(frame, png));
    // The picture adds the frame (3 pixels) and the caption bar (18) around the client area.
    POINT origin{0, 0};
    ClientToScreen(frame, &origin);
    const int dx = 3 - origin.x, dy = 21 - origin.y;
    for (int id : {22222, 11111}) {
      SCOPED_TRACE(id);
      const RECT rect = Rect(GetDlgItem(frame, id));
      const int left = rect.left + dx, top = rect.top + dy, right = rect.right + dx - 1, bottom = rect.bottom + dy - 1;
      const int middle = (top + bottom) / 2;
      int edge = 0;
      for (int x = left + 2; x < right - 2; ++x) edge += image.Pixel(x, bottom) != image.Pixel(x, bottom + 3);
      EXPECT_GT(edge, (right - left) / 2) << "the lower edge of the button is drawn";
      EXPECT_NE(image.Pixel(right, middle), image.Pixel(right - 3, middle)) << "its right edge too";
    }
    sheet.pressCancel();
  });
}

}  // namespace
}  // namespace velm::test
