// The preset page as a user drives it: the edit and add buttons open the user-settings sheet with
// the OK button each state of the presets gives, what a cancel and an added preset leave behind,
// the add button's save dialog once the page is back, and the button that restores the first
// preset.
#include "../pages/pages_fixture.h"

#include "settings/persistence/paths.h"
#include "settings/persistence/user_lists.h"

namespace velm::test {
namespace {

class PresetPageTest : public PagesTest {
 protected:
  // `count` presets, "P0", "P1" ..., entry 1 read-only when `currentReadOnly`; entry 1 current.
  void Presets(int count, bool currentReadOnly) {
    for (int i = 0; i < count; ++i) {
      g_presets.names.push_back(u"P" + std::u16string(1, static_cast<char16_t>(u'a' + i)));
      g_presets.readOnly.push_back(i == 1 && currentReadOnly);
    }
  }
  // The folder of the settings INI, where the stamp list lives.
  static void MakeSettingsFolder(UiContext* ui) {
    std::u16string path = PathGetSettingsIni(ui->driver);
    for (size_t at = path.find(u'\\', 3); at != std::u16string::npos; at = path.find(u'\\', at + 1))
      CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
  }
  // The preset page of the document sheet with entry 1 current.
  void OnPresetPage(std::function<void(UiContext*, ui::Page&)> script) {
    Document([&](ui::Sheet& sheet) {
      ui::Page page = sheet.activate(kPagePreset);
      UiContext* ui = ContextOf(page);
      OptSetModelValueById(ui->driver, kItemPresetNo, 120);
      script(ui, page);
    });
  }
};

struct ButtonCase {
  const char* name;
  int count;
  bool readOnly;
  WORD okCommand;   // what the nested sheet's OK sends
  bool saveNewButton;
};
const ButtonCase kButtonCases[] = {
    {"writable, 16 presets: overwrite only", 16, false, 22222, false},
    {"writable, fewer: overwrite and save new", 3, false, 22222, true},
    {"read-only: save new only", 3, true, 11111, false},
};

TEST_F(PresetPageTest, EditAndAddOpenTheUserSettingsSheetWithTheOkButtonThePresetsAllow) {
  for (WORD button : {kCtlPresetEdit, kCtlPresetAdd}) {
    for (const ButtonCase& c : kButtonCases) {
      SCOPED_TRACE(std::string(c.name) + (button == kCtlPresetAdd ? " (add)" : " (edit)"));
      g_presets = PresetList{};
      Presets(c.count, c.readOnly);
      OnPresetPage([&](UiContext* ui, ui::Page& page) {
        int sheets = 0;
        ui::onSheet([&](ui::Sheet& nested) {
          ++sheets;
          EXPECT_EQ(nested.current().hwnd(), nested.page(kPageEdit).hwnd()) << "the edit page in front";
          EXPECT_EQ(nested.pageIds(), (std::vector<WORD>{kPageBasic, kPageEdit, kPageFinish, kPageOthers}));
          EXPECT_EQ(GetDlgItem(nested.hwnd(), IDOK), nullptr);
          EXPECT_NE(GetDlgItem(nested.hwnd(), c.okCommand), nullptr);
          const bool added = c.okCommand != 11111 && GetDlgItem(nested.hwnd(), 11111) != nullptr;
          EXPECT_EQ(added, c.saveNewButton);
          nested.pressCancel();
        });
        int saveDialogs = 0;
        ui::onDialog(kPageDialogSavePreset, [&](ui::Dlg& dialog) {
          ++saveDialogs;
          dialog.command(IDCANCEL);
        });
        page.ctl(button).click();
        SendMessageW(page.hwnd(), WM_NULL, 0, 0);
        EXPECT_EQ(sheets, 1);
        EXPECT_EQ(saveDialogs, button == kCtlPresetAdd ? 1 : 0) << "add also opens the save dialog";
        EXPECT_EQ(CtxGetChangeMask(ui->driver) & 0x20000000, 0u);
      });
    }
  }
}

TEST_F(PresetPageTest, TheAddButtonsSaveDialogOpensOnceAsTheSheetStarts) {
  Presets(3, false);
  OnPresetPage([&](UiContext*, ui::Page& page) {
    int saveDialogs = 0;
    ui::onSheet([&](ui::Sheet& nested) {
      EXPECT_EQ(saveDialogs, 1) << "the name is asked for before the settings are edited";
      nested.pressCancel();
    });
    ui::onDialog(kPageDialogSavePreset, [&](ui::Dlg& dialog) {
      ++saveDialogs;
      dialog.command(IDCANCEL);
    });
    page.ctl(kCtlPresetAdd).click();
    SendMessageW(page.hwnd(), WM_NULL, 0, 0);
    SendMessageW(page.hwnd(), WM_NULL, 0, 0);
    EXPECT_EQ(saveDialogs, 1);
  });
}

struct StampCase {
  const char* name;
  DWORD inUse, index, kind;
  DWORD inUseAfter, indexAfter;
};
const StampCase kStampCases[] = {
    {"a stamp of the list stays", 1, 0, 1, 1, 0},
    {"an index past the list clears it", 1, 99, 1, 0, 0},
    {"a kind outside 1..3 clears it", 1, 0, 4, 0, 0},
    {"no stamp in use clears the index", 0, 1, 1, 0, 0},
};

TEST_F(PresetPageTest, ACancelledSheetLeavesTheStampAsTheListHasIt) {
  Presets(3, false);
  for (const StampCase& c : kStampCases) {
    SCOPED_TRACE(c.name);
    OnPresetPage([&](UiContext* ui, ui::Page& page) {
      MakeSettingsFolder(ui);
      ASSERT_TRUE(LstSetStampCount(ui->driver, 2));
      ui::onSheet([&](ui::Sheet& nested) {
        OptSetValue(ui->driver, kItemFuncSelectWaterMark, c.inUse);
        OptSetValue(ui->driver, kItemWmID, c.index);
        OptSetValue(ui->driver, kItemWmKind, c.kind);
        nested.pressCancel();
      });
      page.ctl(kCtlPresetEdit).click();
      EXPECT_EQ(OptGetValue(ui->driver, kItemFuncSelectWaterMark), c.inUseAfter);
      EXPECT_EQ(OptGetValue(ui->driver, kItemWmID), c.indexAfter);
      EXPECT_TRUE(g_presets.applied.empty());
    });
  }
}

TEST_F(PresetPageTest, APresetSavedAsNewInTheSheetBecomesTheCurrentOne) {
  Presets(3, false);
  OnPresetPage([&](UiContext* ui, ui::Page& page) {
    ui::onSheet([&](ui::Sheet& nested) {
      OptSetString(ui->driver, OptFindItem(ui->driver->itemTable, kItemPresetName), u"Brand new");
      nested.button(11111).click();
      UiPump();
    });
    page.ctl(kCtlPresetEdit).click();
    EXPECT_EQ(g_presets.appended, (std::vector<std::u16string>{u"Brand new"}));
    EXPECT_EQ(g_presets.applied, (std::vector<int>{3})) << "the new last entry restored";
    EXPECT_EQ(OptGetModelValueById(ui->driver, kItemPresetNo), 4u + 118u);
  });
}

TEST_F(PresetPageTest, WithNoPresetChosenTheListsDialogOpensBeforeTheSheet) {
  Presets(3, false);
  OnPresetPage([&](UiContext* ui, ui::Page& page) {
    OptSetModelValueById(ui->driver, kItemPresetNo, 118);
    std::vector<std::string> order;
    ui::onDialog(kPageMaintenance, [&](ui::Dlg& dialog) {
      order.push_back("maintenance");
      dialog.command(IDCANCEL);
    });
    ui::onSheet([&](ui::Sheet& nested) {
      order.push_back("sheet");
      nested.pressCancel();
    });
    page.ctl(kCtlPresetEdit).click();
    EXPECT_EQ(order, (std::vector<std::string>{"maintenance", "sheet"}));
  });
}

TEST_F(PresetPageTest, TheDefaultButtonRestoresTheFirstPreset) {
  Presets(3, false);
  OnPresetPage([&](UiContext* ui, ui::Page& page) {
    page.ctl(kCtlPresetDefault).click();
    EXPECT_EQ(g_presets.applied, (std::vector<int>{0}));
    EXPECT_EQ(OptGetModelValueById(ui->driver, kItemPresetNo), 119u);
  });
}

}  // namespace
}  // namespace velm::test
