// The save-preset dialog: its refusals in their order, the question before another preset is
// replaced, and what OK leaves in item 41 for the framework to save.
#include "../pages/pages_fixture.h"

#include "ui2k/pages/sub_dialogs.h"

namespace velm::test {
namespace {

class SavePresetDialogTest : public PagesTest {
 protected:
  // Presets "Standard" (read-only), "Mine", "Theirs", "Locked" (read-only), then fillers up to
  // `count`.
  static void Presets(int count) {
    g_presets.names = {u"Standard", u"Mine", u"Theirs", u"Locked"};
    g_presets.readOnly = {true, false, false, true};
    for (int i = 4; i < count; ++i) {
      g_presets.names.push_back(u"Filler" + std::u16string(1, static_cast<char16_t>(u'a' + i)));
      g_presets.readOnly.push_back(false);
    }
  }
  // Opens the dialog from the document sheet with item 41 at `preset` and the name `name`; the
  // dialog's script presses OK `presses` times (then cancels when it is still open). Answers
  // the dialog's result; `left` gets item 41 as the dialog left it.
  INT_PTR SaveAs(DWORD preset, const char16_t* name, int presses, DWORD* left = nullptr, bool saving = false,
                 UINT refusal = 0) {
    INT_PTR result = -1;
    Document([&](ui::Sheet& sheet) {
      UiContext* ui = ContextOf(sheet.current());
      OptSetModelValueById(ui->driver, kItemPresetNo, preset);
      OptSetString(ui->driver, OptFindItem(ui->driver->itemTable, kItemPresetName), name);
      if (saving) CtxRaiseChangeMask(ui->driver, 0x10000000);
      ui->state.changed = 0;
      ui::onDialog(kPageDialogSavePreset, [&](ui::Dlg& dialog) {
        for (int i = 0; i < presses; ++i) dialog.command(IDOK);
        if (refusal) {
          EXPECT_EQ(GetFocus(), GetDlgItem(dialog.hwnd(), kCtlSavePresetName));
          dialog.command(IDCANCEL);
        }
      });
      result = PageRunSubDialog(ui, kPageModal, kPageDialogSavePreset, sheet.current().hwnd());
      if (left) *left = OptGetModelValueById(ui->driver, kItemPresetNo);
      if (saving) {
        EXPECT_EQ(CtxGetChangeMask(ui->driver) & 0x10000000, 0u);
      }
      if (refusal && !ui::messageBoxes().empty()) {
        EXPECT_EQ(ui::messageBoxes()[0].text, String(ui, refusal));
      }
      if (!refusal) {
        EXPECT_EQ(ui->state.changed, 1u) << "OK went on";
      }
    });
    return result;
  }
};

struct Refusal {
  const char* name;
  int count;
  DWORD preset;          // item 41 when the dialog opens
  const char16_t* name16;
  UINT stringId;
};
const Refusal kRefusals[] = {
    {"a name another preset has, while one is current", 4, 120, u"Theirs", 10052},
    {"... even when that one is read-only: the name is checked first", 4, 120, u"Locked", 10052},
    {"a new name with 16 presets", 16, 118, u"Yet another", 10049},
    {"a read-only preset", 4, 118, u"Locked", 10024},
    {"the current preset read-only, renamed", 4, 119, u"Renamed", 10024},
};

TEST_F(SavePresetDialogTest, RefusalsComeInTheirOrderAndKeepTheDialogOpen) {
  for (const Refusal& c : kRefusals) {
    SCOPED_TRACE(c.name);
    UiResetAll();
    ui::FailOnUnexpected([](const std::string& what) { ADD_FAILURE() << "unexpected: " << what; });
    Presets(c.count);
    ui::onMessageBox(std::deque<int>{IDOK});
    DWORD left = 0;
    EXPECT_EQ(SaveAs(c.preset, c.name16, 1, &left, false, c.stringId), IDCANCEL);
    ASSERT_EQ(ui::messageBoxes().size(), 1u);
    EXPECT_EQ(ui::messageBoxes()[0].type, static_cast<UINT>(MB_ICONWARNING));
    EXPECT_EQ(ui::messageBoxes()[0].caption, u"Velm Printer");
    EXPECT_EQ(left, c.preset) << "nothing chosen";
  }
}

TEST_F(SavePresetDialogTest, ReplacingAnotherPresetAsksAndNoKeepsTheDialog) {
  Presets(4);
  ui::onMessageBox(std::deque<int>{IDNO, IDYES});
  DWORD left = 0;
  EXPECT_EQ(SaveAs(118, u"Theirs", 2, &left), IDOK);
  ASSERT_EQ(ui::messageBoxes().size(), 2u);
  EXPECT_EQ(ui::messageBoxes()[0].type, static_cast<UINT>(MB_YESNO | MB_ICONWARNING));
  EXPECT_EQ(left, 2u + 119u);
}

struct Chosen {
  const char* name;
  DWORD preset;
  const char16_t* name16;
  DWORD left;
};
const Chosen kChosen[] = {
    {"a new name without a current preset: a new one", 118, u"Fresh", 118},
    {"the current preset's own name", 121, u"Theirs", 121},
    {"a new name while one is current renames it", 120, u"Renamed", 120},
};

TEST_F(SavePresetDialogTest, OkLeavesThePresetTheSettingsGoTo) {
  for (const Chosen& c : kChosen) {
    SCOPED_TRACE(c.name);
    Presets(4);
    DWORD left = 0;
    EXPECT_EQ(SaveAs(c.preset, c.name16, 1, &left), IDOK);
    EXPECT_TRUE(ui::messageBoxes().empty());
    EXPECT_EQ(left, c.left);
  }
}

TEST_F(SavePresetDialogTest, WhileTheSheetSavesTheDialogStartsWithNoPresetChosen) {
  Presets(4);
  ui::onMessageBox(std::deque<int>{IDYES});
  DWORD left = 0;
  EXPECT_EQ(SaveAs(120, u"Theirs", 1, &left, true), IDOK);
  ASSERT_EQ(ui::messageBoxes().size(), 1u) << "replacing another preset asks: none was current";
  EXPECT_EQ(left, 2u + 119u);
}

}  // namespace
}  // namespace velm::test
