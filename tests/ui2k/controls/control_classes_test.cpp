// The control classes on the real pages of the document sheet: combos, lists, check boxes,
// radio buttons, pictures and tabs as a user works them, over a model description whose tray
// values the tests can hide and disable.
#include <gtest/gtest.h>

#include "../pages/pages_fixture.h"
#include "settings/constraints/eval.h"
#include "ui2k/controls/button_controls.h"
#include "ui2k/controls/control_classes.h"
#include "ui2k/controls/list_controls.h"
#include "ui2k/controls/listed_values.h"
#include "ui2k/controls/refill_groups.h"
#include "ui2k/controls/static_controls.h"

namespace velm::test {
namespace {

// Tray 2 hidden while copies are 77; every tray disabled while copies are 55 (the statements
// come before the block that names them).
constexpr char kTrayValues[] =
    "*Judge 909=TestTraysOff: ZMD_dmCopies == 55\n"
    "*Judge 910=TestTrayHidden: ZMD_dmCopies == 77\n"
    "*Item 1=TrayValues: {\n"
    "  {DMDEFAULTSOURCE_AUTO TestTraysOff NULL}\n"
    "  {DMDEFAULTSOURCE_TRAY1 TestTraysOff NULL}\n"
    "  {DMDEFAULTSOURCE_TRAY2 TestTraysOff TestTrayHidden}\n"
    "  {DMDEFAULTSOURCE_TRAY3 TestTraysOff NULL}\n"
    "  {DMDEFAULTSOURCE_TRAY4 TestTraysOff NULL}\n"
    "  {DMDEFAULTSOURCE_LCT TestTraysOff NULL}\n"
    "  {DMDEFAULTSOURCE_MANUAL TestTraysOff NULL}\n"
    "}\n";
constexpr UINT kInfoString = 4800;
constexpr WORD kConflictWords[] = {kExtraConflictMark, 1, 6195};

class ControlClassesTest : public PagesTest {
 protected:
  void SetUp() override {
    PagesTest::SetUp();
    if (HasFatalFailure()) return;
    ReinstallModel([](std::string& text) { ReplaceBlock(text, "*Item 1=TrayValues: {", kTrayValues); });
  }

  // The basic page in front, `script` run on it with its context.
  void OnBasicPage(std::function<void(ui::Page&, UiContext*)> script) {
    Document([&](ui::Sheet& sheet) {
      ui::Page page = sheet.activate(kPageBasic);
      page.pump();
      script(page, ContextOf(page));
    });
  }

  static PageItemTemplate* Row(ui::Page& page, WORD control) { return PageFindRow(page.hwnd(), control); }

  // The combo row whose value is `model`, -1 when none.
  static int RowOf(ui::Ctl combo, DWORD model) {
    const LRESULT count = SendMessageW(combo.hwnd(), CB_GETCOUNT, 0, 0);
    for (int n = 0; n < count; ++n)
      if (static_cast<DWORD>(SendMessageW(combo.hwnd(), CB_GETITEMDATA, n, 0)) == model) return n;
    return -1;
  }
};

TEST(StaticFormat, TakesOneIntegerConversionAndShowsAnyOtherPercent) {
  struct Case {
    const char16_t* format;
    LONG value;
    const char16_t* shown;
  } cases[] = {
      {u"%d copies", 5, u"5 copies"},
      {u"%ld%%", 80, u"80%"},
      {u"%d", -12, u"-12"},
      {u"%u", -1, u"4294967295"},
      {u"0x%X", 255, u"0xFF"},
      {u"%d of %d", 3, u"3 of %d"},
      {u"%s and %d", 7, u"%s and 7"},
      {u"%n", 1, u"%n"},
      {u"100%", 1, u"100%"},
      {u"A4", 9, u"A4"},
  };
  for (const Case& c : cases) {
    WCHAR out[64] = {};
    CtlFormatOneValue(c.format, c.value, out, 64);
    EXPECT_EQ(std::u16string(out), c.shown) << std::u16string(c.format).size();
  }
  WCHAR small[4] = {};
  CtlFormatOneValue(u"%d items", 12345, small, 4);
  EXPECT_EQ(std::u16string(small), u"123");
}

TEST(ControlClassTable, FindsThisFamilysTypesOnly) {
  for (WORD type : {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x15, 0x16, 0x29, 0x2a, 0x2b, 0x2c, 0x2d, 0x2e, 0x40, 0x41,
                    0x53, 0x65, 0x66, 0x68, 0x69}) {
    const CtlClass* found = CtlFindClass(type);
    ASSERT_NE(found, nullptr) << type;
    EXPECT_EQ(found->controlType, type);
  }
  for (WORD type : {0x00, 0x07, 0x6a, 0x0115})
    EXPECT_EQ(CtlFindClass(type), nullptr) << type;
  EXPECT_EQ(CtlButtonCaption(2037), 0xFFFF);
  EXPECT_EQ(CtlButtonCaption(2003), 13187);
  EXPECT_EQ(CtlButtonCaption(2503), 13193);
  EXPECT_EQ(CtlButtonCaption(2004), 0);
}

TEST_F(ControlClassesTest, ChoosingAPaperChangesTheItemAndSelectsItsRow) {
  OnBasicPage([](ui::Page& page, UiContext* ui) {
    ui::Ctl combo = page.ctl(kCtlPaperSizeCombo);
    ASSERT_GT(combo.rows().size(), 2u);
    const int before = combo.selection();
    ASSERT_GE(before, 0);
    const int choice = before == 0 ? 1 : 0;
    const auto model = static_cast<DWORD>(SendMessageW(combo.hwnd(), CB_GETITEMDATA, choice, 0));
    combo.select(choice);
    page.pump();
    EXPECT_EQ(OptGetModelValueById(ui->driver, kItemPaperSize), model);
    EXPECT_EQ(combo.selection(), choice);
    EXPECT_EQ(combo.rows()[choice], String(ui, model));
  });
}

TEST_F(ControlClassesTest, AConstraintDisablesTheControlsItTiesToTheChangedItem) {
  OnBasicPage([](ui::Page& page, UiContext* ui) {
    ASSERT_TRUE(page.ctl(kCtlScaleCheck).isEnabled());
    page.ctl(kCtlNupCheck).check(true);
    page.pump();
    EXPECT_EQ(OptGetValue(ui->driver, kItemFuncSelectNup), 1u);
    EXPECT_FALSE(page.ctl(kCtlScaleCheck).isEnabled());
    page.ctl(kCtlNupCheck).check(false);
    page.pump();
    EXPECT_EQ(OptGetValue(ui->driver, kItemFuncSelectNup), 0u);
    EXPECT_TRUE(page.ctl(kCtlScaleCheck).isEnabled());
  });
}

TEST_F(ControlClassesTest, SelectingAComboByValueCommitsItAsAUserChoice) {
  OnBasicPage([](ui::Page& page, UiContext* ui) {
    ui::Ctl combo = page.ctl(kCtlPaperSizeCombo);
    const int choice = combo.selection() == 1 ? 2 : 1;
    const auto model = static_cast<DWORD>(SendMessageW(combo.hwnd(), CB_GETITEMDATA, choice, 0));
    EXPECT_EQ(CtlSelectComboByValue(ui, page.hwnd(), kCtlPaperSizeCombo, model), 1);
    EXPECT_EQ(combo.selection(), choice);
    EXPECT_EQ(OptGetModelValueById(ui->driver, kItemPaperSize), model);
    EXPECT_EQ(CtlSelectComboByValue(ui, page.hwnd(), kCtlPaperSizeCombo, 0xFFFE), 0) << "a value not listed";
    EXPECT_EQ(OptGetModelValueById(ui->driver, kItemPaperSize), model);
  });
}

TEST_F(ControlClassesTest, APushButtonOpensItsSubDialog) {
  OnBasicPage([](ui::Page& page, UiContext*) {
    int opened = 0;
    ui::onDialog(kPageDialogScale, [&](ui::Dlg& dialog) {
      ++opened;
      dialog.command(IDCANCEL);
    });
    page.ctl(kCtlScaleButton).click();
    page.pump();
    EXPECT_EQ(opened, 1);
  });
}

TEST_F(ControlClassesTest, ADrawnButtonMeasuresItselfAndDrawsAPressedFrameWhenSelected) {
  OnBasicPage([](ui::Page& page, UiContext*) {
    HWND button = page.ctl(kCtlScaleButton).hwnd();
    RECT client{};
    GetClientRect(button, &client);
    MEASUREITEMSTRUCT measure{};
    measure.CtlID = kCtlScaleButton;
    SendMessageW(page.hwnd(), WM_MEASUREITEM, kCtlScaleButton, reinterpret_cast<LPARAM>(&measure));
    EXPECT_EQ(measure.itemWidth, static_cast<UINT>(client.right - client.left));
    EXPECT_EQ(measure.itemHeight, static_cast<UINT>(client.bottom - client.top));
    HDC dc = GetDC(button);
    // The outer bevel's top-left colour tells pressed from released.
    for (const auto& [state, colour] : {std::pair{ODS_SELECTED, COLOR_BTNSHADOW}, std::pair{0u, COLOR_3DHILIGHT}}) {
      DRAWITEMSTRUCT draw{};
      draw.CtlID = kCtlScaleButton;
      draw.itemAction = ODA_DRAWENTIRE;
      draw.itemState = state;
      draw.hwndItem = button;
      draw.hDC = dc;
      draw.rcItem = client;
      const size_t before = UiDcDrawLog(dc)->size();
      SendMessageW(page.hwnd(), WM_DRAWITEM, kCtlScaleButton, reinterpret_cast<LPARAM>(&draw));
      const UiDrawLog& log = *UiDcDrawLog(dc);
      const auto line = std::find_if(log.begin() + static_cast<ptrdiff_t>(before), log.end(),
                                     [](const UiDrawRecord& r) { return r.kind == UiDrawKind::kLine; });
      ASSERT_NE(line, log.end());
      EXPECT_EQ(line->color, GetSysColor(colour)) << state;
    }
    ReleaseDC(button, dc);
  });
}

TEST_F(ControlClassesTest, ADropDownWithOneOfTheFirstRowsSelectedScrollsToTheTop) {
  OnBasicPage([](ui::Page& page, UiContext* ui) {
    HWND combo = page.ctl(kCtlPaperSizeCombo).hwnd();
    ASSERT_GT(SendMessageW(combo, CB_GETCOUNT, 0, 0), 6);
    const DWORD paper = OptGetValue(ui->driver, kItemPaperSize);
    for (const auto& [row, top] : {std::pair{2, 0}, std::pair{5, 5}}) {
      SendMessageW(combo, CB_SETCURSEL, row, 0);
      SendMessageW(combo, CB_SETTOPINDEX, 5, 0);
      page.command(kCtlPaperSizeCombo, CBN_DROPDOWN);
      EXPECT_EQ(SendMessageW(combo, CB_GETTOPINDEX, 0, 0), top) << row;
    }
    EXPECT_EQ(OptGetValue(ui->driver, kItemPaperSize), paper) << "a drop-down changes nothing";
  });
}

TEST_F(ControlClassesTest, AHiddenValueWithAConflictMarkIsRefusedWithTheInformationBox) {
  PageControlExtra extra{kPageBasic, kCtlPaperSourceCombo, kInfoString, 0, 0, kConflictWords, 3};
  OnBasicPage([&](ui::Page& page, UiContext* ui) {
    PageItemTemplate* row = Row(page, kCtlPaperSourceCombo);
    ASSERT_NE(row, nullptr);
    row->extra = &extra;
    OptSetValue(ui->driver, kItemCopies, 77);
    PageUpdateControls(ui, page.hwnd(), TRUE);
    ui::Ctl combo = page.ctl(kCtlPaperSourceCombo);
    const DWORD before = OptGetValue(ui->driver, kItemDefaultSource);
    const int selected = combo.selection();
    int hidden = -1;
    for (int n = 0; n < static_cast<int>(combo.rows().size()); ++n)
      if (CtlIsValueHidden(ui, *row, static_cast<DWORD>(SendMessageW(combo.hwnd(), CB_GETITEMDATA, n, 0)))) hidden = n;
    ASSERT_GE(hidden, 0) << "tray 2 is listed while hidden";
    ASSERT_NE(hidden, selected);
    ui::onMessageBox({IDOK});
    combo.select(hidden);
    page.pump();
    ASSERT_EQ(ui::messageBoxes().size(), 1u);
    EXPECT_EQ(ui::messageBoxes()[0].caption, u"Information");
    EXPECT_EQ(ui::messageBoxes()[0].text, String(ui, kInfoString));
    EXPECT_NE(ui::messageBoxes()[0].type & MB_ICONINFORMATION, 0u);
    EXPECT_EQ(combo.selection(), selected);
    EXPECT_EQ(OptGetValue(ui->driver, kItemDefaultSource), before);
    row->extra = nullptr;
  });
}

TEST_F(ControlClassesTest, ChoosingTheCurrentValueAgainOnlyChecksIt) {
  OnBasicPage([](ui::Page& page, UiContext* ui) {
    ui::Ctl combo = page.ctl(kCtlPaperSizeCombo);
    PageItemTemplate* row = Row(page, kCtlPaperSizeCombo);
    const DWORD before = OptGetValue(ui->driver, kItemPaperSize);
    combo.select(combo.selection());
    page.pump();
    EXPECT_EQ(OptGetValue(ui->driver, kItemPaperSize), before);
    EXPECT_EQ(row->itemRow->changed, 0u) << "the value is not written again";
    EXPECT_TRUE(ui::messageBoxes().empty());
  });
}

TEST_F(ControlClassesTest, AListWhoseValuesAreAllDisabledIsEmptyWithNothingSelected) {
  OnBasicPage([&](ui::Page& page, UiContext* ui) {
    ui::Ctl combo = page.ctl(kCtlPaperSourceCombo);
    ASSERT_FALSE(combo.rows().empty());
    OptSetValue(ui->driver, kItemCopies, 55);
    PageUpdateControls(ui, page.hwnd(), TRUE);
    EXPECT_TRUE(combo.rows().empty());
    EXPECT_EQ(combo.selection(), -1);
    OptSetValue(ui->driver, kItemCopies, 1);
    PageUpdateControls(ui, page.hwnd(), TRUE);
    EXPECT_GE(combo.selection(), 0);
  });
}

TEST_F(ControlClassesTest, ACheckBoxCommitsOnlyWhenBoxAndItemDisagree) {
  OnBasicPage([](ui::Page& page, UiContext* ui) {
    PageItemTemplate* row = Row(page, kCtlNupCheck);
    ASSERT_EQ(OptGetValue(ui->driver, kItemFuncSelectNup), 0u);
    // The box agrees with the item: a click notification changes nothing.
    page.command(kCtlNupCheck, BN_CLICKED);
    EXPECT_EQ(row->itemRow->changed, 0u);
    EXPECT_EQ(OptGetValue(ui->driver, kItemFuncSelectNup), 0u);
    // Checked by a program while the item is 0: the notification commits the box.
    SendMessageW(page.ctl(kCtlNupCheck).hwnd(), BM_SETCHECK, BST_CHECKED, 0);
    page.command(kCtlNupCheck, BN_CLICKED);
    EXPECT_EQ(OptGetValue(ui->driver, kItemFuncSelectNup), 1u);
    EXPECT_EQ(row->itemRow->changed, 1u);
  });
}

TEST_F(ControlClassesTest, ARadioButtonCommitsItsOwnControlId) {
  Document([](ui::Sheet& sheet) {
    ui::Page page = sheet.activate(kPagePrintquality);
    page.pump();
    UiContext* ui = ContextOf(page);
    page.ctl(kCtlQuality1 + 1).check(true);
    page.pump();
    EXPECT_EQ(OptGetModelValueById(ui->driver, kItemQualityMode), kCtlQuality1 + 1u);
    EXPECT_EQ(page.ctl(kCtlQuality1 + 1).selection(), BST_CHECKED);
    EXPECT_EQ(page.ctl(kCtlQuality1).selection(), BST_UNCHECKED);
  });
}

TEST_F(ControlClassesTest, AClickOnThePictureStepsToTheNextValueAndWraps) {
  OnBasicPage([](ui::Page& page, UiContext* ui) {
    PageItemTemplate* row = Row(page, kCtlOrientationPicture);
    const std::vector<WORD> values = CtlListedValues(ui, *row);
    ASSERT_GE(values.size(), 2u);
    OptSetModelValueById(ui->driver, kItemOrientation, values.back());
    page.ctl(kCtlOrientationPicture).mouse(WM_LBUTTONDOWN, {2, 2});
    page.pump();
    EXPECT_EQ(OptGetModelValueById(ui->driver, kItemOrientation), values.front()) << "wrapped to the first";
    page.ctl(kCtlOrientationPicture).mouse(WM_LBUTTONDOWN, {2, 2});
    page.pump();
    EXPECT_EQ(OptGetModelValueById(ui->driver, kItemOrientation), values[1]);
  });
}

TEST_F(ControlClassesTest, APictureIsHotOnlyWhileEnabledAndShowsTheHandCursor) {
  OnBasicPage([](ui::Page& page, UiContext* ui) {
    HWND picture = page.ctl(kCtlOrientationPicture).hwnd();
    ASSERT_NE(ui->state.frame.cursors[0], nullptr);
    EXPECT_EQ(SendMessageW(picture, WM_NCHITTEST, 0, 0), HTCLIENT);
    EXPECT_EQ(GetCursor(), ui->state.frame.cursors[0]);
    const DWORD before = OptGetModelValueById(ui->driver, kItemOrientation);
    EnableWindow(picture, FALSE);
    EXPECT_NE(SendMessageW(picture, WM_NCHITTEST, 0, 0), HTCLIENT);
    SendMessageW(picture, WM_LBUTTONDOWN, 0, MAKELPARAM(2, 2));
    EXPECT_EQ(OptGetModelValueById(ui->driver, kItemOrientation), before) << "a disabled picture does not step";
    EnableWindow(picture, TRUE);
    SendMessageW(picture, WM_LBUTTONDOWN, 0, MAKELPARAM(2, 2));
    EXPECT_NE(OptGetModelValueById(ui->driver, kItemOrientation), before);
  });
}

TEST_F(ControlClassesTest, APictureStepSkipsToTheFirstEnabledValueAndIgnoresAnUnlistedOne) {
  OnBasicPage([](ui::Page& page, UiContext* ui) {
    PageItemTemplate* row = Row(page, kCtlOrientationPicture);
    OptSetModelValueById(ui->driver, kItemOrientation, 0x7777);
    EXPECT_EQ(CtlPictureStep(ui, page.hwnd(), row, WM_LBUTTONDOWN, 0, 0), 0);
    EXPECT_EQ(OptGetModelValueById(ui->driver, kItemOrientation), 0x7777u);
  });
}

TEST_F(ControlClassesTest, ATabSwitchHidesTheOtherTabsControls) {
  OnBasicPage([](ui::Page& page, UiContext*) {
    const WORD words[] = {kExtraTabs, 2, 40041, 2, kCtlCollateCheck, kCtlDuplexCheck, 40042, 2, kCtlNupCheck,
                          kCtlDuplexCheck};
    CtlShowTab(page.hwnd(), words, std::size(words), 0);
    EXPECT_TRUE(page.ctl(kCtlCollateCheck).isVisible());
    EXPECT_TRUE(page.ctl(kCtlDuplexCheck).isVisible());
    EXPECT_FALSE(page.ctl(kCtlNupCheck).isVisible());
    CtlShowTab(page.hwnd(), words, std::size(words), 1);
    EXPECT_FALSE(page.ctl(kCtlCollateCheck).isVisible());
    EXPECT_TRUE(page.ctl(kCtlDuplexCheck).isVisible()) << "a control on both tabs stays";
    EXPECT_TRUE(page.ctl(kCtlNupCheck).isVisible());
    // A list cut short shows what it has and reads nothing past its end.
    CtlShowTab(page.hwnd(), words, 5, 0);
    EXPECT_TRUE(page.ctl(kCtlCollateCheck).isVisible());
  });
}

// A tab control and a tree made on the basic page for rows of the tests' own.
TEST_F(ControlClassesTest, ATabControlGetsItsCaptionsAndItsSwitchShowsTheChosenTab) {
  OnBasicPage([](ui::Page& page, UiContext* ui) {
    const WORD words[] = {kExtraTabs, 2, 40041, 1, kCtlCollateCheck, 40042, 1, kCtlNupCheck};
    PageControlExtra extra{kPageBasic, 3999, 0, 0, 0, words, std::size(words)};
    PageItemTemplate row{};
    row.controlId = 3999;
    row.controlType = 0x68;
    row.extra = &extra;
    row.window = CreateWindowExW(0, WC_TABCONTROLW, u"", WS_CHILD | WS_VISIBLE, 0, 0, 200, 20, page.hwnd(),
                                 reinterpret_cast<HMENU>(3999), nullptr, nullptr);
    ASSERT_NE(row.window, nullptr);
    EXPECT_EQ(CtlFindClass(0x68)->fill(ui, page.hwnd(), &row, WM_INITDIALOG, 0, 0), 1);
    EXPECT_EQ(ui::Ctl(row.window).rows(), (std::vector<std::u16string>{String(ui, 40041), String(ui, 40042)}));
    EXPECT_TRUE(page.ctl(kCtlCollateCheck).isVisible());
    EXPECT_FALSE(page.ctl(kCtlNupCheck).isVisible());
    SendMessageW(row.window, TCM_SETCURSEL, 1, 0);
    NMHDR header{row.window, 3999, TCN_SELCHANGE};
    EXPECT_EQ(CtlFindClass(0x68)->message(ui, page.hwnd(), &row, WM_NOTIFY, 3999, reinterpret_cast<LPARAM>(&header)), 1);
    EXPECT_FALSE(page.ctl(kCtlCollateCheck).isVisible());
    EXPECT_TRUE(page.ctl(kCtlNupCheck).isVisible());
    DestroyWindow(row.window);
  });
}

TEST_F(ControlClassesTest, ATreeListsTheItemsValuesAgainOnEveryFill) {
  OnBasicPage([](ui::Page& page, UiContext* ui) {
    PageItemTemplate row = *Row(page, kCtlPaperSourceCombo);
    row.controlType = 0x69;
    row.window = CreateWindowExW(0, WC_TREEVIEWW, u"", WS_CHILD | WS_VISIBLE, 0, 0, 200, 200, page.hwnd(),
                                 reinterpret_cast<HMENU>(3998), nullptr, nullptr);
    ASSERT_NE(row.window, nullptr);
    const size_t listed = CtlListedValues(ui, row).size();
    for (int pass = 0; pass < 2; ++pass) {
      EXPECT_EQ(CtlFindClass(0x69)->fill(ui, page.hwnd(), &row, 0, 0, 0), 1);
      EXPECT_EQ(static_cast<size_t>(SendMessageW(row.window, TVM_GETCOUNT, 0, 0)), listed);
    }
    EXPECT_EQ(CtlFindClass(0x69)->message, nullptr);
    DestroyWindow(row.window);
  });
}

TEST_F(ControlClassesTest, ARefillSkipsAPageThatHasNoWindowYet) {
  Document([](ui::Sheet& sheet) {
    ui::Page basic = sheet.activate(kPageBasic);
    UiContext* ui = ContextOf(basic);
    ASSERT_NE(PageWindowOf(ui, kPagePreset), nullptr);
    ASSERT_EQ(PageWindowOf(ui, kPageMaintenance), nullptr);
    // No saved settings: a preset number past the first one names none.
    OptSetModelValueById(ui->driver, kItemPresetNo, 125);
    DlgRefillPresetLists(ui);
    EXPECT_EQ(OptGetModelValueById(ui->driver, kItemPresetNo), 119u);
    // Groups on the edit page, which has no window yet, are skipped.
    ASSERT_EQ(PageWindowOf(ui, kPageEdit), nullptr);
    OptSetValue(ui->driver, kItemFuncSelectWaterMark, 1);
    CtlRefillStampCombo(ui);
    CtlRefillIconGroup(ui);
    OptSetValue(ui->driver, kItemFuncSelectWaterMark, 0);
    EXPECT_EQ(PageWindowOf(ui, kPageEdit), nullptr);
    // A preset number inside the list stays.
    OptSetModelValueById(ui->driver, kItemPresetNo, 119);
    DlgRefillPresetLists(ui);
    EXPECT_EQ(OptGetModelValueById(ui->driver, kItemPresetNo), 119u);
  });
}

}  // namespace
}  // namespace velm::test
