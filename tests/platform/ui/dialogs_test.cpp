// Dialogs from compiled templates: creation, the dialog manager's keys, modal loops with scripts,
// message boxes, help and the dialog item helpers.
#include <gmock/gmock.h>

#include "ui/dialog_template.h"
#include "ui_fixture.h"

namespace velm::test {
namespace {

using ::testing::ElementsAre;

constexpr WORD kTestDialog = 100;
constexpr WORD kNestedDialog = 101;
constexpr WORD kBrokenDialog = 102;
constexpr WORD kTabsDialog = 103;

std::vector<std::string> g_commands;
bool g_endOnButtons = true;
INT_PTR CALLBACK LoggingDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  UiLog().push_back("dlg:" + UiMessageName(message));
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    return TRUE;  // the focus to the first tab stop
  }
  if (message == WM_COMMAND) {
    g_commands.push_back(std::to_string(LOWORD(wParam)) + "/" + std::to_string(HIWORD(wParam)));
    if (g_endOnButtons && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) EndDialog(dialog, LOWORD(wParam));
    return TRUE;
  }
  if (message == WM_APP) {
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, 1234);
    return TRUE;
  }
  return FALSE;
}

class DialogsTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    g_commands.clear();
    g_endOnButtons = true;
  }
  HWND Modeless(WORD id, LPARAM param = 0) {
    return CreateDialogParamW(Resources(), MAKEINTRESOURCEW(id), nullptr, LoggingDialog, param);
  }
  static void Key(HWND dialog, int vk) {
    MSG message{GetFocus() ? GetFocus() : dialog, WM_KEYDOWN, static_cast<WPARAM>(vk), 0, 0, {0, 0}};
    EXPECT_TRUE(IsDialogMessageW(dialog, &message));
  }
};

TEST_F(DialogsTest, ATemplateCompiledByTheResourceCompilerBuildsTheDialog) {
  HWND dialog = Modeless(kTestDialog, 77);
  ASSERT_NE(dialog, nullptr) << GetLastError();
  WCHAR text[64] = {};
  GetWindowTextW(dialog, text, 64);
  EXPECT_EQ(std::u16string(text), u"Test dialog");
  EXPECT_EQ(GetWindowLongPtrW(dialog, DWLP_USER), 77);
  EXPECT_EQ(GetWindowLongPtrW(dialog, DWLP_DLGPROC), reinterpret_cast<LONG_PTR>(LoggingDialog));
  RECT rect{};
  GetWindowRect(dialog, &rect);
  EXPECT_EQ(rect.left, 10);
  EXPECT_EQ(rect.right - rect.left, 200);
  HWND edit = GetDlgItem(dialog, 1001);
  ASSERT_NE(edit, nullptr);
  GetDlgItemTextW(dialog, 1001, text, 64);
  EXPECT_EQ(std::u16string(text), u"start");
  const LONG style = GetWindowLongW(edit, GWL_STYLE);
  EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER), WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER);
  EXPECT_EQ(GetWindowLongW(edit, GWL_EXSTYLE), static_cast<LONG>(WS_EX_CLIENTEDGE));
  GetWindowRect(edit, &rect);
  EXPECT_EQ(rect.left, 20);  // 10 in the dialog at 10
  EXPECT_NE(GetDlgItem(dialog, 0xFFFF), nullptr);  // the label's id -1
  EXPECT_EQ(GetParent(edit), dialog);
  // WM_INITDIALOG comes after every control exists; TRUE puts the focus on the first tab stop.
  EXPECT_EQ(GetFocus(), edit);
  EXPECT_EQ(GetNextDlgTabItem(dialog, edit, FALSE), GetDlgItem(dialog, 1002));
}

TEST_F(DialogsTest, MissingOrBrokenTemplatesCreateNothing) {
  EXPECT_EQ(Modeless(999), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
  UiLog().clear();
  EXPECT_EQ(Modeless(kBrokenDialog), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);
  EXPECT_TRUE(UiLogOf({WM_INITDIALOG}).empty());
  EXPECT_THAT(UiLogOf({WM_NCDESTROY}), ElementsAre("dlg:WM_NCDESTROY"));
  EXPECT_EQ(DialogBoxParamW(Resources(), MAKEINTRESOURCEW(999), nullptr, LoggingDialog, 0), -1);
}

TEST_F(DialogsTest, ReturnInAnEditKillsItsFocusBeforeTheDefaultButtonCommand) {
  HWND dialog = Modeless(kTestDialog);
  HWND edit = GetDlgItem(dialog, 1001);
  UiNameWindow(edit, "edit");
  ASSERT_EQ(GetFocus(), edit);
  UiLog().clear();
  g_commands.clear();
  Key(dialog, VK_RETURN);
  EXPECT_THAT(UiLogOf({WM_KILLFOCUS, WM_SETFOCUS, WM_COMMAND}),
              ElementsAre("edit:WM_KILLFOCUS", "dlg:WM_COMMAND", "1:WM_SETFOCUS", "dlg:WM_COMMAND"));
  EXPECT_THAT(g_commands, ElementsAre("1001/512", "1/0"));  // EN_KILLFOCUS, then IDOK
  EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDOK));
}

TEST_F(DialogsTest, ReturnOnAPushButtonPressesThatButtonAndEscapeCancels) {
  g_endOnButtons = false;
  HWND dialog = Modeless(kTestDialog);
  SetFocus(GetDlgItem(dialog, IDCANCEL));
  g_commands.clear();
  Key(dialog, VK_RETURN);
  Key(dialog, VK_ESCAPE);
  EXPECT_THAT(g_commands, ElementsAre("2/0", "2/0"));
  // A disabled default button is not pressed.
  SetFocus(GetDlgItem(dialog, 1001));
  EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
  g_commands.clear();
  Key(dialog, VK_RETURN);
  EXPECT_TRUE(g_commands.empty());
  EXPECT_EQ(UiMessageBeeps().size(), 1u);
}

TEST_F(DialogsTest, TabSkipsDisabledAndHiddenStopsAndWraps) {
  HWND dialog = Modeless(kTabsDialog);
  ASSERT_NE(dialog, nullptr);
  SetFocus(GetDlgItem(dialog, 11));
  Key(dialog, VK_TAB);
  EXPECT_EQ(GetFocus(), GetDlgItem(dialog, 14));
  Key(dialog, VK_TAB);
  EXPECT_EQ(GetFocus(), GetDlgItem(dialog, 11));
  UiSetKeyState(VK_SHIFT, true);
  Key(dialog, VK_TAB);
  EXPECT_EQ(GetFocus(), GetDlgItem(dialog, 14));
}

TEST_F(DialogsTest, TheDialogProcedureAnswersThroughTheMessageResult) {
  HWND dialog = Modeless(kTestDialog);
  EXPECT_EQ(SendMessageW(dialog, WM_APP, 0, 0), 1234);
  // A message the procedure does not handle does not return the previous message's result.
  EXPECT_EQ(SendMessageW(dialog, WM_APP + 1, 0, 0), 0);
  EXPECT_EQ(SendMessageW(dialog, DM_GETDEFID, 0, 0), MAKELONG(IDOK, DC_HASDEFID));
  SendMessageW(dialog, DM_SETDEFID, IDCANCEL, 0);
  EXPECT_EQ(LOWORD(static_cast<DWORD>(SendMessageW(dialog, DM_GETDEFID, 0, 0))), IDCANCEL);
}

TEST_F(DialogsTest, ModalDialogsNestAndEachRunsItsOwnScript) {
  std::vector<std::string> steps;
  UiSetDialogScript(kTestDialog, [&](HWND dialog) {
    steps.push_back("outer script");
    EXPECT_FALSE(IsWindowEnabled(GetWindow(dialog, GW_OWNER)));
    const INT_PTR inner = DialogBoxParamW(Resources(), MAKEINTRESOURCEW(kNestedDialog), dialog, LoggingDialog, 0);
    steps.push_back("inner returned " + std::to_string(inner));
    EXPECT_TRUE(IsWindowEnabled(dialog));  // the owner is enabled again once the inner loop ends
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  });
  UiSetDialogScript(kNestedDialog, [&](HWND dialog) {
    steps.push_back("inner script");
    EXPECT_FALSE(IsWindowEnabled(GetParent(dialog)));
    EndDialog(dialog, 55);
  });
  HWND owner = CreateWindowExW(0, u"TestWindow", u"owner", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr, nullptr,
                               nullptr, nullptr);
  EXPECT_EQ(DialogBoxParamW(Resources(), MAKEINTRESOURCEW(kTestDialog), owner, LoggingDialog, 0), IDOK);
  EXPECT_THAT(steps, ElementsAre("outer script", "inner script", "inner returned 55"));
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_TRUE(UiUnexpectedEvents().empty());
  EXPECT_EQ(GetWindow(GetDesktopWindow(), GW_CHILD), owner);  // both dialogs are gone
  EXPECT_EQ(GetWindow(owner, GW_HWNDNEXT), nullptr);
}

TEST_F(DialogsTest, AnUnscriptedModalDialogIsReportedAndCancelled) {
  EXPECT_EQ(DialogBoxParamW(Resources(), MAKEINTRESOURCEW(kNestedDialog), nullptr, LoggingDialog, 0), IDCANCEL);
  ASSERT_EQ(UiUnexpectedEvents().size(), 1u);
  EXPECT_EQ(UiUnexpectedEvents()[0], "unscripted modal dialog 101");
  EXPECT_THAT(g_commands, ElementsAre("2/0"));  // the dialog saw Cancel pressed
}

TEST_F(DialogsTest, MessageBoxesAreRecordedAndAnsweredByTheScript) {
  EXPECT_EQ(MessageBoxW(nullptr, u"Sure?", u"Ask", MB_YESNO | MB_ICONWARNING), IDNO);
  ASSERT_EQ(UiUnexpectedEvents().size(), 1u);  // nobody answered
  UiSetMessageBoxScript([](const UiMessageBoxCall& call) { return call.caption == u"Ask" ? IDYES : IDOK; });
  EXPECT_EQ(MessageBoxW(nullptr, u"Sure?", u"Ask", MB_YESNO), IDYES);
  // An answer the box does not offer is the script's fault, not the caller's answer.
  EXPECT_EQ(MessageBoxW(nullptr, u"Again?", u"Other", MB_YESNO), IDNO);
  EXPECT_EQ(UiUnexpectedEvents().size(), 2u);
  ASSERT_EQ(UiMessageBoxCalls().size(), 3u);
  EXPECT_EQ(UiMessageBoxCalls()[0].text, u"Sure?");
  EXPECT_EQ(UiMessageBoxCalls()[0].type, MB_YESNO | MB_ICONWARNING);
}

TEST_F(DialogsTest, HelpCallsRecordTheirIdPairsUpToTheEnd) {
  const DWORD pairs[] = {1001, 5001, 1002, 5002, 0, 0, 9, 9};
  WinHelpW(nullptr, u"help.hlp", HELP_WM_HELP, reinterpret_cast<ULONG_PTR>(pairs));
  WinHelpW(nullptr, u"help.hlp", HELP_CONTEXT, 77);
  MessageBeep(MB_SIMPLEBEEP);
  ASSERT_EQ(UiWinHelpCalls().size(), 2u);
  EXPECT_THAT(UiWinHelpCalls()[0].pairs, ElementsAre(1001u, 5001u, 1002u, 5002u));
  EXPECT_EQ(UiWinHelpCalls()[1].data, 77u);
  EXPECT_EQ(UiMessageBeeps().at(0).type, MB_SIMPLEBEEP);
}

TEST_F(DialogsTest, ItemHelpersReachTheChildren) {
  HWND dialog = Modeless(kTestDialog);
  BOOL translated = TRUE;
  SetDlgItemInt(dialog, 1001, static_cast<UINT>(-42), TRUE);
  EXPECT_EQ(static_cast<int>(GetDlgItemInt(dialog, 1001, &translated, TRUE)), -42);
  EXPECT_TRUE(translated);
  EXPECT_EQ(GetDlgItemInt(dialog, 1001, &translated, FALSE), 0u);  // a sign without isSigned
  EXPECT_FALSE(translated);
  SetDlgItemTextW(dialog, 1001, u"4294967296");
  GetDlgItemInt(dialog, 1001, &translated, FALSE);
  EXPECT_FALSE(translated);  // overflow
  CheckDlgButton(dialog, 1002, 1);
  EXPECT_EQ(IsDlgButtonChecked(dialog, 1002), 1u);
  CheckRadioButton(dialog, 1, 2, 2);
  EXPECT_EQ(IsDlgButtonChecked(dialog, 1), 0u);
  EXPECT_EQ(IsDlgButtonChecked(dialog, 2), 1u);
  EXPECT_EQ(SendDlgItemMessageW(dialog, 4242, WM_GETTEXTLENGTH, 0, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_CONTROL_ID_NOT_FOUND);
}

TEST_F(DialogsTest, CursorsAndBitmapsOfTheResourceModuleAreReadable) {
  HCURSOR hand = LoadCursorW(Resources(), MAKEINTRESOURCEW(8000));
  ASSERT_NE(hand, nullptr);
  EXPECT_EQ(LoadCursorW(Resources(), MAKEINTRESOURCEW(8000)), hand);
  EXPECT_EQ(LoadCursorW(Resources(), MAKEINTRESOURCEW(8001)), nullptr);
  EXPECT_NE(LoadCursorW(nullptr, IDC_ARROW), hand);
  SetCursor(hand);
  EXPECT_EQ(GetCursor(), hand);
  const HRSRC bitmap = FindResourceW(Resources(), MAKEINTRESOURCEW(221), RT_BITMAP);
  ASSERT_NE(bitmap, nullptr);
  const auto decoded = velm::ui::DecodeBitmapResource(
      static_cast<const BYTE*>(LockResource(LoadResource(Resources(), bitmap))), SizeofResource(Resources(), bitmap));
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->width, 2u);
  EXPECT_EQ(decoded->bitsPerPixel, 24u);
  EXPECT_THAT(decoded->rgb, ElementsAre(255, 0, 0, 0, 0, 255));
}

}  // namespace
}  // namespace velm::test
