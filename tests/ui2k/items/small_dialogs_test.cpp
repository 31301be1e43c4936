// The print-post, margin and user-code input dialogs as a user drives them.
#include "../pages/pages_fixture.h"

#include <algorithm>

#include "ui2k/controls/control_classes.h"
#include "ui2k/items/item_dispatcher.h"
#include "ui2k/pages/sub_dialogs.h"

namespace velm::test {
namespace {

// What the tests' edit class and the item procedure were asked.
struct Seen {
  std::vector<WORD> editCommands;   // HIWORD of each edit command
  int shows = 0;                    // show-value calls of static texts
  std::vector<std::pair<WORD, WORD>> inits;  // (page, control) offered WM_INITDIALOG
};
Seen g_seen;

// Edits (types 0x3d, 0x3e, 0x3f) count their commands; static texts of type 0x2c count their
// shows; the other classes are the real ones.
const CtlClass kEditClass = {0, nullptr, nullptr, nullptr,
                             [](UiContext*, HWND, PageItemTemplate*, UINT, WPARAM wParam, LPARAM) -> LRESULT {
                               g_seen.editCommands.push_back(HIWORD(wParam));
                               return 0;
                             },
                             nullptr, nullptr};
const CtlClass kStaticClass = {0, nullptr, nullptr,
                               [](UiContext*, HWND, PageItemTemplate*, UINT, WPARAM, LPARAM) -> LRESULT {
                                 return ++g_seen.shows, 0;
                               },
                               nullptr, nullptr, nullptr};

class SmallDialogsTest : public PagesTest {
 protected:
  void SetUp() override {
    PagesTest::SetUp();
    g_seen = Seen{};
    pageSeams_.ctlFindClass = [](WORD type) -> const CtlClass* {
      if (type == 0x3d || type == 0x3e || type == 0x3f) return &kEditClass;
      if (type == 0x2c) return &kStaticClass;
      return CtlFindClass(type);
    };
    pageSeams_.pageItemProc = [](UiContext* ui, PageTemplate* page, PageItemTemplate* control, HWND window,
                                 UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) -> BOOL {
      if (message == WM_INITDIALOG && page && control) g_seen.inits.emplace_back(page->id, control->controlId);
      return PageItemProc(ui, page, control, window, message, wParam, lParam, result);
    };
  }
  // Dialog `pageId` opened from the document sheet's basic page, driven by `script`, which ends it.
  INT_PTR FromBasicPage(WORD pageId, std::function<void(UiContext*, ui::Dlg&)> script) {
    INT_PTR result = -1;
    Document([&](ui::Sheet& sheet) {
      ui::Page basic = sheet.activate(kPageBasic);
      UiContext* ui = ContextOf(basic);
      ui::onDialog(pageId, [&](ui::Dlg& dialog) {
        dialog.pump();
        g_seen.editCommands.clear();
        script(ui, dialog);
      });
      result = PageRunSubDialog(ui, kPageModal, pageId, basic.hwnd());
    });
    return result;
  }
};

TEST_F(SmallDialogsTest, ThePrintPostNameInFocusIsNumberedAndLeavingItClearsTheNumber) {
  struct Step {
    WORD focus;
    DWORD number;
  };
  const Step steps[] = {{kCtlPostName1 + 4, 3}, {IDOK, 0}, {kCtlPostName1, 1}, {kCtlPostName9, 9}, {IDCANCEL, 0}};
  FromBasicPage(kPageDialogPrintpost, [&](UiContext* ui, ui::Dlg& dialog) {
    for (const Step& step : steps) {
      SCOPED_TRACE(step.focus);
      dialog.ctl(step.focus).focus();
      EXPECT_EQ(OptGetValue(ui->driver, kItemPrintPostFocus), step.number);
    }
    dialog.command(IDCANCEL);
  });
}

TEST_F(SmallDialogsTest, ThePrintPostLabelsBetweenTheNamesAreNeverHandled) {
  FromBasicPage(kPageDialogPrintpost, [&](UiContext* ui, ui::Dlg& dialog) {
    PageTemplate* page = OptFindPage(&ui->pages, kPageDialogPrintpost);
    PageItemTemplate* label = PageFindRow(dialog.hwnd(), kCtlPostName1 + 1);
    ASSERT_NE(label, nullptr);
    for (UINT message : {static_cast<UINT>(WM_SETFOCUS), static_cast<UINT>(WM_KILLFOCUS), static_cast<UINT>(WM_COMMAND)}) {
      OptSetValue(ui->driver, kItemPrintPostFocus, 5);
      INT_PTR result = FALSE;
      EXPECT_FALSE(PageItemProc(ui, page, label, dialog.hwnd(), message, MAKEWPARAM(kCtlPostName1 + 1, EN_CHANGE), 0,
                                &result));
      EXPECT_EQ(OptGetValue(ui->driver, kItemPrintPostFocus), 5u);
    }
    EXPECT_TRUE(g_seen.editCommands.empty());
    dialog.command(IDCANCEL);
  });
}

TEST_F(SmallDialogsTest, TypingAPrintPostNameStoresItAndRefillsTheMarks) {
  FromBasicPage(kPageDialogPrintpost, [&](UiContext*, ui::Dlg& dialog) {
    g_seen.inits.clear();
    dialog.ctl(kCtlPostName1 + 2).type(u"B");
    EXPECT_EQ(std::count(g_seen.editCommands.begin(), g_seen.editCommands.end(), EN_CHANGE), 1)
        << "the class command ran once";
    EXPECT_EQ(g_seen.inits, (std::vector<std::pair<WORD, WORD>>{{kPagePreset, kCtlMarkGroup},
                                                                {kPageBasic, kCtlMarkGroupBasic}}))
        << "the mark groups of the preset and basic pages filled again";
    dialog.command(IDCANCEL);
  });
}

TEST_F(SmallDialogsTest, TheMarginEditsUpdateThePageAtOnce) {
  struct Case {
    WORD control, code;
    bool handled;
  };
  const Case cases[] = {
      {kCtlMarginOdd, EN_CHANGE, true},     {kCtlMarginEven, EN_KILLFOCUS, true}, {kCtlMarginBind, EN_CHANGE, true},
      {kCtlMarginBind2, EN_KILLFOCUS, true}, {kCtlMarginOdd, EN_SETFOCUS, false},
  };
  FromBasicPage(kPageDialogMargin, [&](UiContext*, ui::Dlg& dialog) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::to_string(c.control) + " " + std::to_string(c.code));
      g_seen.editCommands.clear();
      g_seen.shows = 0;
      dialog.command(c.control, c.code);
      EXPECT_EQ(g_seen.editCommands, (std::vector<WORD>{c.code})) << "the class command ran once";
      if (c.handled) {
        EXPECT_GT(g_seen.shows, 0) << "the page shows the change";
      }
    }
    g_seen.editCommands.clear();
    g_seen.shows = 0;
    dialog.ctl(kCtlMarginOdd).type(u"5");
    EXPECT_EQ(std::count(g_seen.editCommands.begin(), g_seen.editCommands.end(), EN_CHANGE), 1);
    EXPECT_GT(g_seen.shows, 0);
    dialog.command(IDCANCEL);
  });
}

TEST_F(SmallDialogsTest, TheUserCodeInputStaysOpenWhileTheConfirmationAnswersNo) {
  std::deque<int> answers{IDNO, IDOK};
  int confirmations = 0;
  ui::onDialog(kPageDialogUsercodeConfirmation, [&](ui::Dlg& confirmation) {
    ++confirmations;
    const int answer = answers.front();
    answers.pop_front();
    confirmation.command(answer);
  });
  bool stayed = false;
  EXPECT_EQ(FromBasicPage(kPageDialogUsercodeInput,
                          [&](UiContext* ui, ui::Dlg& dialog) {
                            // OK that ends the dialog marks the settings changed first.
                            ui->state.changed = 0;
                            dialog.command(IDOK);
                            stayed = ui->state.changed == 0;
                            dialog.command(IDOK);
                          }),
            IDOK);
  EXPECT_TRUE(stayed);
  EXPECT_EQ(confirmations, 2);
}

}  // namespace
}  // namespace velm::test

namespace velm::test {
namespace {

TEST_F(SmallDialogsTest, LeavingAPresetNameEditStoresItAndRefillsThePresetLists) {
  struct Case {
    WORD code;
    bool refilled;
  };
  const Case cases[] = {{EN_KILLFOCUS, true}, {EN_CHANGE, false}};
  Document([&](ui::Sheet& sheet) {
    ui::Page basic = sheet.activate(kPageBasic);
    for (const Case& c : cases) {
      SCOPED_TRACE(c.code);
      g_seen = Seen{};
      basic.command(kCtlPresetNameBasic, c.code);
      EXPECT_EQ(g_seen.editCommands, (std::vector<WORD>{c.code})) << "the class command ran once";
      const bool refilled = std::count(g_seen.inits.begin(), g_seen.inits.end(),
                                       std::pair<WORD, WORD>{kPageBasic, kCtlPresetComboBasic}) == 1;
      EXPECT_EQ(refilled, c.refilled);
    }
  });
}

}  // namespace
}  // namespace velm::test
