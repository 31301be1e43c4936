// The sheets' pages: which pages each sheet gets and in what order, an excluded page, a missing
// resource library; the first binding of a context's rows; apply with and without a conflict;
// help.
#include "pages_fixture.h"

#include <cstring>

#include "settings/constraints/eval.h"
#include "ui2k/items/item_setup.h"
#include "ui2k/pages/hint_window.h"

namespace velm::test {
namespace {

std::vector<BYTE> Devmode(HANDLE printer) {
  std::vector<BYTE> bytes(1260);
  EXPECT_EQ(DrvDocumentProperties(nullptr, printer, const_cast<LPWSTR>(u"Velm Printer"),
                                  reinterpret_cast<DEVMODEW*>(bytes.data()), nullptr, DM_COPY),
            IDOK);
  return bytes;
}

TEST_F(PagesTest, EachSheetGetsItsTabPagesInPageTableOrder) {
  std::vector<WORD> document, device;
  Document([&](ui::Sheet& sheet) { document = sheet.pageIds(); });
  Device([&](ui::Sheet& sheet) { device = sheet.pageIds(); });
  EXPECT_EQ(document, (std::vector<WORD>{1001, 1002, 1003, 1004, 1005, 1006, 1010}));
  EXPECT_EQ(device, (std::vector<WORD>{1011, 1009, 1008, 1015}));
}

// The pages a sheet function is handed, counted and given back.
int g_pagesHanded = 0;
LONG_PTR CountingComPropSheet(HANDLE, UINT function, LPARAM page, LPARAM) {
  if (function != CPSFUNC_ADD_HPROPSHEETPAGE) return 0;
  ++g_pagesHanded;
  DestroyPropertySheetPage(reinterpret_cast<HPROPSHEETPAGE>(page));
  return g_pagesHanded;
}

TEST_F(PagesTest, APageTheConstraintsExcludeIsLeftOut) {
  UiContext* ui = UiCreateContext(printer_, 0, kKindOrdinary, kUiCreateSheet, 0, nullptr);
  ASSERT_NE(ui, nullptr);
  ui->state.pfnComPropSheet = CountingComPropSheet;
  ui->state.hComPropSheet = ui;
  // The description leaves the font-substitution tab out of raster output.
  g_pagesHanded = 0;
  EXPECT_EQ(SheetAddPages(ui, kUiSheetDevice), 4);
  EXPECT_EQ(SheetAddPages(ui, kUiSheetDocument), 7);
  ASSERT_TRUE(OptSetValue(ui->driver, kItemRasterMode, 1));
  EXPECT_EQ(SheetAddPages(ui, kUiSheetDevice), 3);
  EXPECT_EQ(SheetAddPages(ui, kUiSheetDocument), 7);
  UiDestroyContext(ui);
}

TEST_F(PagesTest, WithoutTheResourceLibraryTheSheetHasNoPages) {
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root_.path()))
    if (entry.path().filename().string().rfind("qnres", 0) == 0) std::filesystem::remove(entry.path());
  const ui::HostResult result = Document([](ui::Sheet&) { ADD_FAILURE() << "a sheet without pages was shown"; });
  EXPECT_EQ(result.returned, ERR_CPSUI_NO_PROPSHEETPAGE);
}

TEST_F(PagesTest, TheFirstBindingRunsOncePerContextAndBindsEveryRow) {
  Document([&](ui::Sheet& sheet) {
    UiContext* ui = ContextOf(sheet.current());
    ASSERT_NE(ui, nullptr);
    for (WORD id : sheet.pageIds()) sheet.activate(id);
    EXPECT_EQ(OptFindItem(ui->driver->itemTable, kItemPaperSize)->flags, 0x30000u);  // the item set-up ran
    EXPECT_EQ(OptGetValue(ui->driver, kItemUIStart), 1u);
    EXPECT_EQ(ui->driver->work->dirty, 0u);
    const DriverContext* context = ui->driver;
    int spins = 0;
    for (SHORT i = 0; i < ui->pages.count; ++i) {
      const PageTemplate& page = ui->pages.rows[i];
      const HWND window = PageWindowOf(ui, page.id);
      for (DWORD n = 0; n < page.itemCount; ++n) {
        const PageItemTemplate& row = page.items[n];
        SCOPED_TRACE(std::to_string(page.id) + " row " + std::to_string(n));
        EXPECT_NE(row.helpId, 0);
        if (row.itemId) {
          EXPECT_EQ(row.itemRow, OptFindItem(context->itemTable, row.itemId));
        }
        if (row.controlType == 0x17 && row.partnerId) {
          ++spins;
          const PageItemTemplate* partner = OptFindPageItem(&ui->pages, &page, row.partnerId);
          ASSERT_NE(partner, nullptr);
          EXPECT_EQ(row.node, ItemSetupNodeOf(ui, partner->itemId));
        } else if (row.itemId && row.itemId <= 947) {
          EXPECT_EQ(row.node, ItemSetupNodeOf(ui, row.itemId));
        }
        if (window) {
          EXPECT_EQ(row.window, GetDlgItem(window, row.controlId));
        }
      }
    }
    EXPECT_GT(spins, 0);
  });
}

TEST_F(PagesTest, HelpIdZeroBecomesTheControlId) {
  Document([&](ui::Sheet& sheet) {
    UiContext* ui = ContextOf(sheet.current());
    const PageTemplate* statics = OptGetStaticPageTable()->rows;
    int replaced = 0;
    for (SHORT i = 0; i < ui->pages.count; ++i)
      for (DWORD n = 0; n < ui->pages.rows[i].itemCount; ++n)
        if (statics[i].items[n].helpId == 0) {
          EXPECT_EQ(ui->pages.rows[i].items[n].helpId, ui->pages.rows[i].items[n].controlId);
          ++replaced;
        }
    EXPECT_GT(replaced, 0);
  });
}

TEST_F(PagesTest, AConflictRefusesApplyAndCommitsNothingWithoutOneTheFirstPageCommitsOnce) {
  std::vector<BYTE> in = Devmode(printer_);
  std::vector<BYTE> out(1260, 0xEE);
  int commits = 0;
  ui::onMessageBox([](const UiMessageBoxCall& box) {
    EXPECT_EQ(box.type, static_cast<UINT>(MB_ICONSTOP | MB_OK));
    return IDOK;
  });
  const ui::HostResult result = Document(
      [&](ui::Sheet& sheet) {
        UiContext* ui = ContextOf(sheet.current());
        sheet.activate(1002);
        sheet.activate(1001);
        ASSERT_TRUE(OptSetValue(ui->driver, kItemCollate, 1));
        ASSERT_TRUE(OptSetValue(ui->driver, kItemCopies, 950));
        sheet.pressOk();
        ASSERT_TRUE(sheet.open()) << "a conflict keeps the sheet open";
        EXPECT_EQ(ui::messageBoxes().size(), 1u);
        EXPECT_EQ(ui::messageBoxes()[0].text, String(ui, 235));
        EXPECT_EQ(sheet.current().hwnd(), sheet.page(1001).hwnd());
        EXPECT_EQ(ui->state.okPressed, 0u) << "nothing committed";
        EXPECT_EQ(out, std::vector<BYTE>(1260, 0xEE));

        ASSERT_TRUE(OptSetValue(ui->driver, kItemCopies, 5));
        OptFindItem(ui->driver->itemTable, kItemCopies)->changed = 1;
        sheet.pressOk();
        EXPECT_FALSE(sheet.open());
        commits = static_cast<int>(ui->state.okPressed);
        EXPECT_EQ(ui->state.changed, 1u);
        EXPECT_EQ(OptFindItem(ui->driver->itemTable, kItemCopies)->changed, 0);
        EXPECT_EQ(ui->state.frame.applying, 0u);
      },
      &out, reinterpret_cast<DEVMODEW*>(in.data()));
  EXPECT_EQ(result.returned, CPSUI_OK);
  EXPECT_EQ(commits, 1);
  EXPECT_EQ(reinterpret_cast<DEVMODEW*>(out.data())->dmCopies, 5);
}

TEST_F(PagesTest, OnlyTheFirstPageShownCommits) {
  // The apply of the second page does not commit: the device's quality tab committing would
  // refresh the presets (forced) a second time.
  int applies = 0;
  Device([&](ui::Sheet& sheet) {
    sheet.activate(1009);
    UiClearSeamCalls();
    sheet.pressOk();
    applies = Count("InstRefreshPresetsOnce 1");
  });
  EXPECT_EQ(applies, 1);
}

TEST_F(PagesTest, CancelCommitsNothing) {
  std::vector<BYTE> out(1260, 0xEE);
  const ui::HostResult result = Document(
      [&](ui::Sheet& sheet) {
        UiContext* ui = ContextOf(sheet.current());
        OptSetValue(ui->driver, kItemCopies, 7);
        sheet.pressCancel();
      },
      &out);
  EXPECT_EQ(result.returned, CPSUI_CANCEL);
  EXPECT_EQ(out, std::vector<BYTE>(1260, 0xEE));
}

TEST_F(PagesTest, HelpButtonAndHelpCommandCallWinHelpWithThePagesHelpBase) {
  Document([&](ui::Sheet& sheet) {
    sheet.activate(1002);
    sheet.pressHelp();
    ui::Page page = sheet.activate(1006);
    SendMessageW(page.hwnd(), WM_COMMAND, MAKEWPARAM(IDHELP, BN_CLICKED), 0);
  });
  ASSERT_EQ(ui::winHelpCalls().size(), 2u);
  EXPECT_EQ(ui::winHelpCalls()[0].command, static_cast<UINT>(HELP_CONTEXT));
  EXPECT_EQ(ui::winHelpCalls()[0].data, 22001u);
  EXPECT_EQ(ui::winHelpCalls()[1].data, 21401u);
}

TEST_F(PagesTest, ControlsAreHiddenUntilLaidOutAndShownThroughTheirClasses) {
  UseCountingClass();
  Document([&](ui::Sheet& sheet) {
    ui::Page page = sheet.activate(1002);
    EXPECT_TRUE(page.ctl(kCtlSmoothing).isVisible());
    EXPECT_GT(g_classCalls.fill, 0);
    EXPECT_GT(g_classCalls.showValue, 0);
  });
}

TEST_F(PagesTest, TheHintOfAControlAppearsBelowItWhenTheMouseRestsOnIt) {
  Document([&](ui::Sheet& sheet) {
    ui::Page page = sheet.activate(1002);
    UiContext* ui = ContextOf(page);
    HWND smoothing = GetDlgItem(page.hwnd(), kCtlSmoothing);
    RECT rect{};
    GetWindowRect(smoothing, &rect);
    MapWindowPoints(nullptr, page.hwnd(), reinterpret_cast<POINT*>(&rect), 2);
    UiSendMouse(page.hwnd(), WM_MOUSEMOVE, {rect.left + 3, rect.top + 3}, 0);
    EXPECT_TRUE(UiHasTimer(page.hwnd(), kPageHintTimer));
    EXPECT_EQ(ui->state.frame.hint, nullptr) << "not before the mouse has rested";
    UiAdvanceTimers(600);
    UiPump();
    ASSERT_NE(ui->state.frame.hint, nullptr);
    EXPECT_TRUE(IsWindowVisible(ui->state.frame.hint));
    EXPECT_EQ(ui::Ctl(ui->state.frame.hint).text(), String(ui, 4800));
    RECT hint{}, control{};
    GetWindowRect(ui->state.frame.hint, &hint);
    GetWindowRect(smoothing, &control);
    EXPECT_EQ(hint.left, control.left);
    EXPECT_GT(hint.top, control.bottom - 1);
    EXPECT_FALSE(UiHasTimer(page.hwnd(), kPageHintTimer));
    // Away from every control the hint goes.
    UiSendMouse(page.hwnd(), WM_MOUSEMOVE, {1, 1}, 0);
    EXPECT_EQ(ui->state.frame.hint, nullptr);
    // A control without an information text starts no timer.
    GetWindowRect(GetDlgItem(page.hwnd(), kCtlDmcollate), &rect);
    MapWindowPoints(nullptr, page.hwnd(), reinterpret_cast<POINT*>(&rect), 2);
    UiSendMouse(page.hwnd(), WM_MOUSEMOVE, {rect.left + 3, rect.top + 3}, 0);
    EXPECT_FALSE(UiHasTimer(page.hwnd(), kPageHintTimer));
  });
}

TEST_F(PagesTest, AColourMessageTheClassHandlesAnswersThePagesBrush) {
  UseCountingClass();
  Document([&](ui::Sheet& sheet) {
    ui::Page page = sheet.activate(1002);
    UiContext* ui = ContextOf(page);
    HDC dc = GetDC(page.hwnd());
    const LRESULT brush = SendMessageW(page.hwnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                       reinterpret_cast<LPARAM>(GetDlgItem(page.hwnd(), kCtlSmoothing)));
    ReleaseDC(page.hwnd(), dc);
    EXPECT_EQ(brush, reinterpret_cast<LRESULT>(ui->state.brushes[0]));
    EXPECT_NE(ui->state.brushes[0], nullptr);
    EXPECT_NE(ui->state.brushes[1], nullptr);
  });
}

TEST(PageCallback, AnswersThreeForCodeSixInTheRecordsSecondWord) {
  PROPSHEETPAGEW record{};
  record.dwSize = 6u << 16;  // the second 16-bit word of the record
  EXPECT_EQ(PageCallback(nullptr, PSPCB_CREATE, &record), 3u);
  record.dwSize = sizeof record;
  EXPECT_EQ(PageCallback(nullptr, PSPCB_CREATE, &record), 0u);
  EXPECT_EQ(PageCallback(nullptr, PSPCB_CREATE, nullptr), 0u);
}

}  // namespace
}  // namespace velm::test
