// The order of the notifications pages receive on open, switch, OK, Apply, Cancel and Help, the
// refusals that stop them, and dialogs and sheets opened from a page.
#include <map>

#include "sheet_fixture.h"

namespace velm::test {
namespace {

using ui::Sheet;

std::vector<std::string> g_log;
std::map<WORD, LRESULT> g_killActive;  // answers by template id; absent = 0
std::map<WORD, LRESULT> g_apply;
std::map<WORD, LRESULT> g_queryCancel;
HMODULE g_resources = nullptr;

constexpr int kPressOkCommand = 32771;
constexpr int kNestedSheetCommand = 5003;

WORD PageId(HWND page) { return static_cast<WORD>(GetWindowLongPtrW(page, DWLP_USER)); }

void Log(HWND page, const std::string& what) { g_log.push_back(std::to_string(PageId(page)) + " " + what); }

INT_PTR NestedPageProc(HWND page, UINT message, WPARAM, LPARAM lParam);

INT_PTR DetailsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(dialog, LOWORD(wParam));
    return TRUE;
  }
  return message == WM_INITDIALOG;
}

INT_PTR PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      const auto* record = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
      SetWindowLongPtrW(page, DWLP_USER, record->lParam);
      Log(page, "init");
      return TRUE;
    }
    case WM_NOTIFY: {
      const auto* notify = reinterpret_cast<const PSHNOTIFY*>(lParam);
      LRESULT answer = 0;
      const WORD id = PageId(page);
      switch (notify->hdr.code) {
        case PSN_SETACTIVE: Log(page, "setactive"); break;
        case PSN_KILLACTIVE: Log(page, "killactive"); answer = g_killActive[id]; break;
        case PSN_APPLY:
          Log(page, "apply " + std::to_string(notify->lParam));
          answer = g_apply[id];
          break;
        case PSN_RESET: Log(page, "reset"); break;
        case PSN_QUERYCANCEL: Log(page, "querycancel"); answer = g_queryCancel[id]; break;
        case PSN_HELP: Log(page, "help"); break;
        default: return FALSE;
      }
      EXPECT_EQ(notify->hdr.hwndFrom, GetParent(page));
      SetWindowLongPtrW(page, DWLP_MSGRESULT, answer);
      return TRUE;
    }
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;  // the edits' own notifications
      if (LOWORD(wParam) == 5002) {  // "Details...": a modal dialog over the sheet
        const INT_PTR result = DialogBoxParamW(g_resources, MAKEINTRESOURCEW(503), page, DetailsProc, 0);
        Log(page, "details " + std::to_string(result));
        return TRUE;
      }
      if (LOWORD(wParam) == kPressOkCommand) {
        Log(page, "press ok");
        SendMessageW(GetParent(page), PSM_PRESSBUTTON, PSBTN_OK, 0);
        return TRUE;
      }
      if (LOWORD(wParam) == kNestedSheetCommand) {
        PROPSHEETPAGEW nested{};
        nested.dwSize = sizeof nested;
        nested.hInstance = g_resources;
        nested.pszTemplate = MAKEINTRESOURCEW(502);
        nested.pfnDlgProc = NestedPageProc;
        nested.lParam = 902;
        PROPSHEETHEADERW header{};
        header.dwSize = sizeof header;
        header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW;
        header.hwndParent = GetParent(page);
        header.pszCaption = u"Nested";
        header.nPages = 1;
        header.ppsp = &nested;
        Log(page, "nested " + std::to_string(PropertySheetW(&header)));
        return TRUE;
      }
      Log(page, "command " + std::to_string(LOWORD(wParam)));
      return TRUE;
  }
  return FALSE;
}

INT_PTR NestedPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) { return PageProc(page, message, wParam, lParam); }

class SheetOrderTest : public SheetTest {
 protected:
  void SetUp() override {
    SheetTest::SetUp();
    g_log.clear();
    g_killActive.clear();
    g_apply.clear();
    g_queryCancel.clear();
    g_resources = resources_;
  }

  // A sheet of pages 500, 501, 502 (each page's lParam is its template id).
  INT_PTR Run(std::function<void(Sheet&)> script, UINT start = 0, DWORD flags = 0, DWORD pageFlags = 0) {
    HPROPSHEETPAGE pages[3] = {MakePage(500, PageProc, 500, pageFlags), MakePage(501, PageProc, 501),
                               MakePage(502, PageProc, 502)};
    for (HPROPSHEETPAGE page : pages) EXPECT_NE(page, nullptr);
    PROPSHEETHEADERW header{};
    header.dwSize = sizeof header;
    header.dwFlags = flags;
    header.pszCaption = u"Printer";
    header.nPages = 3;
    header.nStartPage = start;
    header.phpage = pages;
    UiSetNextSheetScript([&](HWND frame) {
      Sheet sheet(frame);
      script(sheet);
    });
    return PropertySheetW(&header);
  }

  std::vector<std::string> TakeLog() { return std::exchange(g_log, {}); }
};

using Log_ = std::vector<std::string>;

TEST_F(SheetOrderTest, OpeningCreatesOnlyTheStartPageAndCancelResetsIt) {
  const INT_PTR result = Run(
      [&](Sheet& sheet) {
        EXPECT_EQ(TakeLog(), (Log_{"501 init", "501 setactive"}));
        EXPECT_EQ(UiSheetPageWindow(sheet.hwnd(), 0), nullptr);
        EXPECT_EQ(UiSheetPageWindow(sheet.hwnd(), 2), nullptr);
        const HWND page = sheet.current().hwnd();
        EXPECT_EQ(GetParent(page), sheet.hwnd());
        EXPECT_TRUE(IsWindowVisible(page));
        for (int id : {IDOK, IDCANCEL, IDAPPLY}) EXPECT_EQ(GetParent(sheet.button(id).hwnd()), sheet.hwnd()) << id;
        EXPECT_FALSE(sheet.button(IDHELP).exists());  // no page has help
        EXPECT_FALSE(sheet.button(IDAPPLY).isEnabled());
        EXPECT_EQ(ui::Ctl(reinterpret_cast<HWND>(SendMessageW(sheet.hwnd(), PSM_GETTABCONTROL, 0, 0))).rows(),
                  (std::vector<std::u16string>{u"General", u"Paper", u"Finishing"}));
        sheet.pressCancel();
        EXPECT_FALSE(sheet.open());
      },
      1);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(TakeLog(), (Log_{"501 querycancel", "501 reset"}));
}

TEST_F(SheetOrderTest, SwitchingPagesKillsTheOldPageFirstAndCreatesTheNewOneOnce) {
  Run([&](Sheet& sheet) {
    TakeLog();
    const HWND first = sheet.current().hwnd();
    sheet.activate(501);
    EXPECT_EQ(TakeLog(), (Log_{"500 killactive", "501 init", "501 setactive"}));
    EXPECT_FALSE(IsWindowVisible(first));
    sheet.activate(500);
    EXPECT_EQ(TakeLog(), (Log_{"501 killactive", "500 setactive"}));  // no second WM_INITDIALOG

    // A page that refuses to lose the focus keeps it, and its tab stays selected.
    g_killActive[500] = TRUE;
    sheet.activate(502);
    EXPECT_EQ(TakeLog(), (Log_{"500 killactive"}));
    EXPECT_EQ(PageId(sheet.current().hwnd()), 500);
    EXPECT_EQ(UiSheetCurrentIndex(sheet.hwnd()), 0);
    EXPECT_FALSE(sheet.page(502).exists());
    g_killActive[500] = FALSE;
    sheet.pressCancel();
  });
}

TEST_F(SheetOrderTest, OkKillsTheCurrentPageThenAppliesEveryCreatedPageInPageOrder) {
  const INT_PTR result = Run([&](Sheet& sheet) {
    sheet.activate(502);
    sheet.activate(500);
    TakeLog();
    sheet.pressOk();
    EXPECT_FALSE(sheet.open());
  });
  EXPECT_EQ(result, 1);
  // Page 501 was never shown, so it is never told to apply.
  EXPECT_EQ(TakeLog(), (Log_{"500 killactive", "500 apply 1", "502 apply 1"}));
}

TEST_F(SheetOrderTest, ApplyKeepsTheSheetOpenAndCountsAsSavedAfterACancel) {
  const INT_PTR result = Run([&](Sheet& sheet) {
    const HWND page = sheet.current().hwnd();
    SendMessageW(sheet.hwnd(), PSM_CHANGED, reinterpret_cast<WPARAM>(page), 0);
    EXPECT_TRUE(sheet.button(IDAPPLY).isEnabled());
    SendMessageW(sheet.hwnd(), PSM_UNCHANGED, reinterpret_cast<WPARAM>(page), 0);
    EXPECT_FALSE(sheet.button(IDAPPLY).isEnabled());
    SendMessageW(sheet.hwnd(), PSM_CHANGED, reinterpret_cast<WPARAM>(page), 0);
    TakeLog();
    sheet.pressApply();
    EXPECT_EQ(TakeLog(), (Log_{"500 killactive", "500 apply 0", "500 setactive"}));
    EXPECT_TRUE(sheet.open());
    EXPECT_FALSE(sheet.button(IDAPPLY).isEnabled());
    sheet.pressCancel();
  });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(TakeLog(), (Log_{"500 querycancel", "500 reset"}));
}

TEST_F(SheetOrderTest, APageRefusingApplyStopsTheClose) {
  const INT_PTR result = Run([&](Sheet& sheet) {
    sheet.activate(501);
    sheet.activate(500);
    // NOCHANGEPAGE: the sheet stays, on the page that had the focus; later pages are not asked.
    g_apply[500] = PSNRET_INVALID_NOCHANGEPAGE;
    sheet.activate(501);
    TakeLog();
    sheet.pressOk();
    EXPECT_TRUE(sheet.open());
    EXPECT_EQ(TakeLog(), (Log_{"501 killactive", "500 apply 1"}));
    EXPECT_EQ(PageId(sheet.current().hwnd()), 501);

    // INVALID: the sheet stays and shows the refusing page.
    g_apply[500] = PSNRET_INVALID;
    sheet.pressOk();
    EXPECT_TRUE(sheet.open());
    EXPECT_EQ(TakeLog(), (Log_{"501 killactive", "500 apply 1", "500 setactive"}));
    EXPECT_EQ(PageId(sheet.current().hwnd()), 500);

    // A current page refusing to lose the focus stops it before any apply.
    g_apply[500] = PSNRET_NOERROR;
    g_killActive[500] = TRUE;
    sheet.pressOk();
    EXPECT_EQ(TakeLog(), (Log_{"500 killactive"}));
    g_killActive[500] = FALSE;
    sheet.pressOk();
    EXPECT_FALSE(sheet.open());
  });
  EXPECT_EQ(result, 1);
}

TEST_F(SheetOrderTest, QueryCancelCanKeepTheSheetAndResetGoesToEveryCreatedPage) {
  const INT_PTR result = Run([&](Sheet& sheet) {
    sheet.activate(502);
    g_queryCancel[502] = TRUE;
    TakeLog();
    sheet.pressCancel();
    EXPECT_TRUE(sheet.open());
    EXPECT_EQ(TakeLog(), (Log_{"502 querycancel"}));
    g_queryCancel[502] = FALSE;
    sheet.pressCancel();
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(TakeLog(), (Log_{"502 querycancel", "500 reset", "502 reset"}));
}

TEST_F(SheetOrderTest, HelpGoesToTheCurrentPageAndIsEnabledOnlyOnPagesWithHelp) {
  Run(
      [&](Sheet& sheet) {
        ASSERT_TRUE(sheet.button(IDHELP).exists());
        EXPECT_TRUE(sheet.button(IDHELP).isEnabled());
        TakeLog();
        sheet.pressHelp();
        EXPECT_EQ(TakeLog(), (Log_{"500 help"}));
        sheet.activate(501);
        EXPECT_FALSE(sheet.button(IDHELP).isEnabled());
        sheet.pressCancel();
      },
      0, 0, PSP_HASHELP);
}

TEST_F(SheetOrderTest, UnknownCommandsReachTheCurrentPageAndPressButtonIsPosted) {
  const INT_PTR result = Run([&](Sheet& sheet) {
    TakeLog();
    SendMessageW(sheet.hwnd(), WM_COMMAND, MAKEWPARAM(11111, BN_CLICKED), 0);
    EXPECT_EQ(TakeLog(), (Log_{"500 command 11111"}));
    // The page presses OK from its command handler; the press arrives only through the queue.
    PostMessageW(sheet.hwnd(), WM_COMMAND, kPressOkCommand, 0);
    UiPump();
    EXPECT_EQ(TakeLog(), (Log_{"500 press ok", "500 killactive", "500 apply 1"}));
    EXPECT_FALSE(sheet.open());
  });
  EXPECT_EQ(result, 1);
}

TEST_F(SheetOrderTest, PressingADisabledApplyDoesNothing) {
  Run([&](Sheet& sheet) {
    TakeLog();
    EXPECT_EQ(SendMessageW(sheet.hwnd(), PSM_PRESSBUTTON, PSBTN_APPLYNOW, 0), FALSE);
    UiPump();
    EXPECT_TRUE(TakeLog().empty());
    sheet.pressCancel();
  });
}

TEST_F(SheetOrderTest, AModalDialogRunsInsideTheSheet) {
  bool ran = false;
  ui::onDialog(503, [&](ui::Dlg& dialog) {
    ran = true;
    dialog.ctl(IDOK).click();
  });
  Run([&](Sheet& sheet) {
    TakeLog();
    sheet.current().ctl(5002).click();
    EXPECT_EQ(TakeLog(), (Log_{"500 details 1"}));
    EXPECT_TRUE(sheet.open());
    sheet.pressOk();
  });
  EXPECT_TRUE(ran);
}

TEST_F(SheetOrderTest, ANestedSheetRunsModallyOverItsParentSheet) {
  HWND outer = nullptr;
  ui::onSheet([&](Sheet& nested) {
    EXPECT_NE(nested.hwnd(), outer);
    EXPECT_FALSE(IsWindowEnabled(outer));
    EXPECT_FALSE(nested.button(IDAPPLY).exists());  // PSH_NOAPPLYNOW
    nested.pressOk();
  });
  Run([&](Sheet& sheet) {
    outer = sheet.hwnd();
    TakeLog();
    sheet.current().command(kNestedSheetCommand);
    EXPECT_EQ(TakeLog(), (Log_{"902 init", "902 setactive", "902 killactive", "902 apply 1", "500 nested 1"}));
    EXPECT_TRUE(IsWindowEnabled(outer));
    sheet.pressCancel();
  });
}

TEST_F(SheetOrderTest, ASheetWithoutScriptOrLeftOpenIsReportedAndCancelled) {
  allowUnexpected_ = true;
  HPROPSHEETPAGE page = MakePage(500, PageProc, 500);
  PROPSHEETHEADERW header{};
  header.dwSize = sizeof header;
  header.nPages = 1;
  header.phpage = &page;
  EXPECT_EQ(PropertySheetW(&header), 0);
  ASSERT_EQ(UiUnexpectedEvents().size(), 1u);
  EXPECT_EQ(TakeLog(), (Log_{"500 init", "500 setactive", "500 reset"}));

  EXPECT_EQ(Run([](Sheet&) {}), 0);
  EXPECT_EQ(UiUnexpectedEvents().size(), 2u);
}

}  // namespace
}  // namespace velm::test
