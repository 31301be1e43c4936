// Buttons and edits: clicks and keys, auto check boxes and radio groups, notification codes and
// their order, the text limit, typing and deleting, and a subclassed edit swallowing characters.
#include <gmock/gmock.h>

#include "controls_fixture.h"

namespace velm::test {
namespace {

using ::testing::ElementsAre;

class ButtonTest : public ControlsTest {};

TEST_F(ButtonTest, ClickTogglesAnAutoCheckBoxBeforeBnClickedAndReleasesOutsideDoNothing) {
  HWND box = Control(WC_BUTTONW, BS_AUTOCHECKBOX | WS_TABSTOP, 40, 10, 10, 100, 20, u"Duplex");
  UINT checkSeenByParent = 99;
  Click(box, 5, 5);
  checkSeenByParent = static_cast<UINT>(SendMessageW(box, BM_GETCHECK, 0, 0));
  ASSERT_EQ(Events({WM_COMMAND}).size(), 1u);
  EXPECT_EQ(Events({WM_COMMAND})[0].code, BN_CLICKED);
  EXPECT_EQ(Events({WM_COMMAND})[0].id, 40);
  EXPECT_EQ(Events({WM_COMMAND})[0].from, box);
  EXPECT_EQ(checkSeenByParent, BST_CHECKED);
  EXPECT_EQ(GetFocus(), box);
  EXPECT_EQ(GetCapture(), nullptr);

  // Released outside the button: no click, the check stays.
  SendMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(SendMessageW(box, BM_GETSTATE, 0, 0) & BST_PUSHED, BST_PUSHED);
  SendMessageW(box, WM_LBUTTONUP, 0, MAKELPARAM(300, 5));
  EXPECT_EQ(Commands().size(), 1u);
  EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageW(box, BM_GETSTATE, 0, 0) & BST_PUSHED, 0);

  // Space down and up clicks it again.
  Key(box, VK_SPACE);
  EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(Commands(), (std::vector<UINT>{BN_CLICKED, BN_CLICKED}));
}

TEST_F(ButtonTest, PlainCheckBoxLeavesItsCheckToTheParentAndThreeStateCycles) {
  HWND plain = Control(WC_BUTTONW, BS_CHECKBOX, 41, 10, 10, 100, 20, u"Plain");
  Click(plain, 2, 2);
  EXPECT_EQ(SendMessageW(plain, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(Commands(), (std::vector<UINT>{BN_CLICKED}));
  // A two-state box takes "indeterminate" as checked.
  SendMessageW(plain, BM_SETCHECK, BST_INDETERMINATE, 0);
  EXPECT_EQ(SendMessageW(plain, BM_GETCHECK, 0, 0), BST_CHECKED);

  HWND three = Control(WC_BUTTONW, BS_AUTO3STATE, 42, 10, 40, 100, 20, u"Three");
  std::vector<LRESULT> seen;
  for (int i = 0; i < 3; ++i) {
    Click(three, 2, 2);
    seen.push_back(SendMessageW(three, BM_GETCHECK, 0, 0));
  }
  EXPECT_THAT(seen, ElementsAre(BST_CHECKED, BST_INDETERMINATE, BST_UNCHECKED));
}

TEST_F(ButtonTest, AutoRadioButtonClearsOnlyItsOwnGroup) {
  HWND a1 = Control(WC_BUTTONW, BS_AUTORADIOBUTTON | WS_GROUP, 51, 10, 10, 80, 20, u"A1");
  HWND a2 = Control(WC_BUTTONW, BS_AUTORADIOBUTTON, 52, 10, 30, 80, 20, u"A2");
  HWND plainRadio = Control(WC_BUTTONW, BS_RADIOBUTTON, 53, 10, 50, 80, 20, u"A3");
  HWND b1 = Control(WC_BUTTONW, BS_AUTORADIOBUTTON | WS_GROUP, 61, 10, 80, 80, 20, u"B1");
  HWND b2 = Control(WC_BUTTONW, BS_AUTORADIOBUTTON, 62, 10, 100, 80, 20, u"B2");
  SendMessageW(plainRadio, BM_SETCHECK, BST_CHECKED, 0);
  SendMessageW(b1, BM_SETCHECK, BST_CHECKED, 0);
  Click(a1, 2, 2);
  Click(a2, 2, 2);
  EXPECT_EQ(SendMessageW(a1, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(SendMessageW(a2, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageW(plainRadio, BM_GETCHECK, 0, 0), BST_CHECKED);  // not an auto radio: left alone
  EXPECT_EQ(SendMessageW(b1, BM_GETCHECK, 0, 0), BST_CHECKED);          // another group
  Click(b2, 2, 2);
  EXPECT_EQ(SendMessageW(b1, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(SendMessageW(a2, BM_GETCHECK, 0, 0), BST_CHECKED);
  // The dialog helpers reach the same state through BM_SETCHECK.
  EXPECT_TRUE(CheckDlgButton(parent_, 51, BST_CHECKED));
  EXPECT_EQ(IsDlgButtonChecked(parent_, 52), BST_UNCHECKED);
  EXPECT_EQ(SendMessageW(a1, WM_GETDLGCODE, 0, 0), DLGC_BUTTON | DLGC_RADIOBUTTON);
}

TEST_F(ButtonTest, BmClickNotifiesOnlyWhenEnabledAndDefaultStyleShowsInDialogCode) {
  HWND push = Control(WC_BUTTONW, BS_DEFPUSHBUTTON, 1, 10, 10, 80, 24, u"OK");
  EXPECT_EQ(SendMessageW(push, WM_GETDLGCODE, 0, 0), DLGC_BUTTON | DLGC_DEFPUSHBUTTON);
  SendMessageW(push, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
  EXPECT_EQ(SendMessageW(push, WM_GETDLGCODE, 0, 0), DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON);
  EnableWindow(push, FALSE);
  SendMessageW(push, BM_CLICK, 0, 0);
  EXPECT_TRUE(Commands().empty());
  EnableWindow(push, TRUE);
  SendMessageW(push, BM_CLICK, 0, 0);
  EXPECT_EQ(Commands(), (std::vector<UINT>{BN_CLICKED}));
  // BS_NOTIFY adds focus notifications around the click.
  RecordedEvents().clear();
  HWND notify = Control(WC_BUTTONW, BS_PUSHBUTTON | BS_NOTIFY, 2, 10, 40, 80, 24, u"Go");
  SetFocus(nullptr);
  Click(notify, 3, 3);
  SetFocus(push);
  EXPECT_EQ(Commands(), (std::vector<UINT>{BN_SETFOCUS, BN_HILITE, BN_UNHILITE, BN_CLICKED, BN_KILLFOCUS}));
}

TEST_F(ButtonTest, ParentDestroyingTheButtonInBnClickedIsSurvived) {
  HWND box = Control(WC_BUTTONW, BS_AUTOCHECKBOX, 44, 10, 10, 100, 20, u"Gone");
  Answers().destroyOnCommand = true;
  Click(box, 2, 2);
  EXPECT_FALSE(IsWindow(box));
  EXPECT_EQ(GetCapture(), nullptr);
}

class EditTest : public ControlsTest {};

TEST_F(EditTest, TypingSendsUpdateThenChangeAndBackspaceDeletes) {
  HWND edit = Control(WC_EDITW, WS_BORDER | ES_AUTOHSCROLL, 70, 10, 10, 150, 22);
  RecordedEvents().clear();
  Type(edit, u"A4x");
  EXPECT_EQ(Text(edit), u"A4x");
  EXPECT_EQ(Commands(), (std::vector<UINT>{EN_UPDATE, EN_CHANGE, EN_UPDATE, EN_CHANGE, EN_UPDATE, EN_CHANGE}));
  EXPECT_TRUE(SendMessageW(edit, EM_GETMODIFY, 0, 0));
  RecordedEvents().clear();
  Type(edit, u"\b");
  EXPECT_EQ(Text(edit), u"A4");
  EXPECT_EQ(Commands(), (std::vector<UINT>{EN_UPDATE, EN_CHANGE}));
  // Backspace with a selection removes the selection only.
  SendMessageW(edit, EM_SETSEL, 0, 1);
  Type(edit, u"\b");
  EXPECT_EQ(Text(edit), u"4");
  // Backspace at the start changes nothing and says nothing.
  SendMessageW(edit, EM_SETSEL, 0, 0);
  RecordedEvents().clear();
  Type(edit, u"\b");
  EXPECT_EQ(Text(edit), u"4");
  EXPECT_TRUE(Commands().empty());
}

TEST_F(EditTest, LimitRefusesTypingButNotWmSetText) {
  HWND edit = Control(WC_EDITW, WS_BORDER, 71, 10, 10, 150, 22);
  SendMessageW(edit, EM_LIMITTEXT, 3, 0);
  EXPECT_EQ(SendMessageW(edit, EM_GETLIMITTEXT, 0, 0), 3);
  RecordedEvents().clear();
  Type(edit, u"12345");
  EXPECT_EQ(Text(edit), u"123");
  EXPECT_EQ(Commands(), (std::vector<UINT>{EN_UPDATE, EN_CHANGE, EN_UPDATE, EN_CHANGE, EN_UPDATE, EN_CHANGE,
                                           EN_MAXTEXT, EN_MAXTEXT}));
  // Replacing a selection is allowed while the result fits.
  SendMessageW(edit, EM_SETSEL, 1, 2);
  Type(edit, u"9");
  EXPECT_EQ(Text(edit), u"193");
  // WM_SETTEXT is not held to the limit; a pasted replacement is cut to it.
  SetWindowTextW(edit, u"abcdef");
  EXPECT_EQ(Text(edit), u"abcdef");
  SendMessageW(edit, EM_SETSEL, 0, -1);
  SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(u"wxyz"));
  EXPECT_EQ(Text(edit), u"wxy");
  // EM_LIMITTEXT 0 is the largest limit, not zero.
  SendMessageW(edit, EM_LIMITTEXT, 0, 0);
  EXPECT_EQ(SendMessageW(edit, EM_GETLIMITTEXT, 0, 0), static_cast<LRESULT>(kEditMaximumLimit));
}

TEST_F(EditTest, SetTextNotifiesSingleLineEditsOnlyAndClearsTheModifiedFlag) {
  HWND single = Control(WC_EDITW, WS_BORDER, 72, 10, 10, 150, 22);
  HWND multi = Control(WC_EDITW, WS_BORDER | ES_MULTILINE, 73, 10, 40, 150, 60);
  Type(single, u"x");
  RecordedEvents().clear();
  SetWindowTextW(single, u"Letter");
  SetWindowTextW(multi, u"a\r\nb");
  ASSERT_EQ(Events({WM_COMMAND}).size(), 2u);
  EXPECT_EQ(Events({WM_COMMAND})[0].from, single);
  EXPECT_EQ(Commands(), (std::vector<UINT>{EN_UPDATE, EN_CHANGE}));
  EXPECT_FALSE(SendMessageW(single, EM_GETMODIFY, 0, 0));
  EXPECT_EQ(SendMessageW(multi, EM_GETLINECOUNT, 0, 0), 2);
  EXPECT_EQ(SendMessageW(multi, EM_LINEINDEX, 1, 0), 3);
  EXPECT_EQ(SendMessageW(multi, EM_LINELENGTH, 3, 0), 1);
}

TEST_F(EditTest, FocusNotificationsComeFromTheEditItselfInOrder) {
  HWND first = Control(WC_EDITW, WS_BORDER, 74, 10, 10, 150, 22);
  HWND second = Control(WC_EDITW, WS_BORDER, 75, 10, 40, 150, 22);
  SetFocus(first);
  SetFocus(second);
  std::vector<std::pair<WORD, UINT>> seen;
  for (const ControlEvent& event : Events({WM_COMMAND})) seen.emplace_back(event.id, event.code);
  EXPECT_THAT(seen, ElementsAre(std::make_pair(WORD{74}, UINT{EN_SETFOCUS}), std::make_pair(WORD{74}, UINT{EN_KILLFOCUS}),
                                std::make_pair(WORD{75}, UINT{EN_SETFOCUS})));
}

TEST_F(EditTest, StylesFilterTypedCharacters) {
  HWND number = Control(WC_EDITW, ES_NUMBER, 76, 10, 10, 150, 22);
  Type(number, u"1a2-3");
  EXPECT_EQ(Text(number), u"123");
  HWND upper = Control(WC_EDITW, ES_UPPERCASE, 77, 10, 40, 150, 22);
  Type(upper, u"ab1");
  EXPECT_EQ(Text(upper), u"AB1");
  HWND readOnly = Control(WC_EDITW, ES_READONLY, 78, 10, 70, 150, 22, u"fixed");
  RecordedEvents().clear();
  Type(readOnly, u"z\b");
  Key(readOnly, VK_DELETE);
  EXPECT_EQ(Text(readOnly), u"fixed");
  EXPECT_TRUE(Commands().empty());
  // Return breaks a line in a multi-line edit only.
  HWND single = Control(WC_EDITW, 0, 79, 10, 100, 150, 22);
  Type(single, u"a\rb");
  EXPECT_EQ(Text(single), u"ab");
  HWND multi = Control(WC_EDITW, ES_MULTILINE | ES_WANTRETURN, 80, 10, 130, 150, 60);
  Type(multi, u"a\rb");
  EXPECT_EQ(Text(multi), u"a\r\nb");
  // One backspace takes the whole line break.
  Type(multi, u"\b\b");
  EXPECT_EQ(Text(multi), u"a");
  MSG returnKey{multi, WM_KEYDOWN, static_cast<WPARAM>(VK_RETURN), 0, 0, {}};
  EXPECT_NE(SendMessageW(multi, WM_GETDLGCODE, VK_RETURN, reinterpret_cast<LPARAM>(&returnKey)) & DLGC_WANTMESSAGE, 0);
  EXPECT_EQ(SendMessageW(single, WM_GETDLGCODE, VK_RETURN, reinterpret_cast<LPARAM>(&returnKey)) & DLGC_WANTMESSAGE, 0);
}

TEST_F(EditTest, KeysMoveTheCaretAndDeleteWorksForward) {
  HWND edit = Control(WC_EDITW, 0, 81, 10, 10, 150, 22, u"abcd");
  SendMessageW(edit, EM_SETSEL, 4, 4);
  Key(edit, VK_LEFT);
  Key(edit, VK_LEFT);
  RecordedEvents().clear();
  Key(edit, VK_DELETE);
  EXPECT_EQ(Text(edit), u"abd");
  EXPECT_EQ(Commands(), (std::vector<UINT>{EN_UPDATE, EN_CHANGE}));
  Key(edit, VK_HOME);
  Type(edit, u"X");
  EXPECT_EQ(Text(edit), u"Xabd");
  DWORD start = 0;
  DWORD end = 0;
  SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 1u);
  EXPECT_EQ(end, 1u);
  // Undo restores the text before the last edit.
  EXPECT_TRUE(SendMessageW(edit, EM_UNDO, 0, 0));
  EXPECT_EQ(Text(edit), u"abd");
}

LRESULT CALLBACK SwallowDigits(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_CHAR && wParam >= u'0' && wParam <= u'9') return 0;
  return CallWindowProcW(previous, window, message, wParam, lParam);
}

TEST_F(EditTest, SubclassedProcedureSwallowsCharactersBeforeTheEditSeesThem) {
  HWND edit = Control(WC_EDITW, WS_BORDER, 82, 10, 10, 150, 22);
  LONG_PTR original = SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SwallowDigits));
  SetWindowLongPtrW(edit, GWLP_USERDATA, original);
  RecordedEvents().clear();
  Type(edit, u"a1b2");
  EXPECT_EQ(Text(edit), u"ab");
  EXPECT_EQ(Commands().size(), 4u);  // two characters, EN_UPDATE and EN_CHANGE each
  // Put back, the edit takes digits again.
  SetWindowLongPtrW(edit, GWLP_WNDPROC, original);
  Type(edit, u"3");
  EXPECT_EQ(Text(edit), u"ab3");
}

}  // namespace
}  // namespace velm::test
