// List and combo boxes: notifications only on user selection, the insert fault, sorting and
// searching, owner-drawn rows and item deletion, and the simulated drop-down list.
#include <gmock/gmock.h>

#include "controls_fixture.h"

namespace velm::test {
namespace {

using ::testing::ElementsAre;

LPARAM Str(const char16_t* text) { return reinterpret_cast<LPARAM>(text); }

class ListBoxTest : public ControlsTest {
 protected:
  HWND Filled(DWORD style, int id = 90) {
    HWND list = Control(WC_LISTBOXW, style, id, 10, 10, 150, 5 * 16);
    for (const char16_t* text : {u"Letter", u"Legal", u"A4", u"A5", u"B5", u"Executive", u"Postcard"}) {
      SendMessageW(list, LB_ADDSTRING, 0, Str(text));
    }
    RecordedEvents().clear();
    return list;
  }
};

TEST_F(ListBoxTest, SelChangeOnlyForTheUserAndOnlyWithLbsNotify) {
  HWND list = Filled(LBS_NOTIFY);
  EXPECT_EQ(SendMessageW(list, LB_SETCURSEL, 2, 0), 2);
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 2);
  EXPECT_TRUE(Commands().empty());  // programmatic: silent
  Click(list, 5, 16 + 3);           // row 1
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(Commands(), (std::vector<UINT>{LBN_SETFOCUS, LBN_SELCHANGE}));
  RecordedEvents().clear();
  Key(list, VK_DOWN);
  Key(list, VK_HOME);
  Key(list, VK_HOME);  // already there: nothing to tell
  EXPECT_EQ(Commands(), (std::vector<UINT>{LBN_SELCHANGE, LBN_SELCHANGE}));
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 0);
  // -1 clears the selection and answers LB_ERR; an index past the end changes nothing.
  EXPECT_EQ(SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(-1), 0), LB_ERR);
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), LB_ERR);
  SendMessageW(list, LB_SETCURSEL, 3, 0);
  EXPECT_EQ(SendMessageW(list, LB_SETCURSEL, 7, 0), LB_ERR);
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 3);

  HWND quiet = Filled(0, 91);
  Click(quiet, 5, 3);
  EXPECT_EQ(SendMessageW(quiet, LB_GETCURSEL, 0, 0), 0);
  for (const ControlEvent& event : Events({WM_COMMAND})) EXPECT_NE(event.from, quiet);
  EXPECT_EQ(Commands(), (std::vector<UINT>{LBN_KILLFOCUS}));  // the first box lost the focus
}

TEST_F(ListBoxTest, InsertFaultAnswersLbErrAfterTheGivenSuccesses) {
  HWND list = Control(WC_LISTBOXW, LBS_NOTIFY, 92);
  HWND other = Control(WC_LISTBOXW, LBS_NOTIFY, 93, 200, 10);
  UiSetListInsertFault(list, 1);
  EXPECT_EQ(SendMessageW(list, LB_ADDSTRING, 0, Str(u"one")), 0);
  EXPECT_EQ(SendMessageW(list, LB_ADDSTRING, 0, Str(u"two")), LB_ERR);
  EXPECT_EQ(SendMessageW(list, LB_INSERTSTRING, 0, Str(u"three")), LB_ERR);
  EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 1);
  EXPECT_EQ(SendMessageW(other, LB_ADDSTRING, 0, Str(u"elsewhere")), 0);  // another box is not affected
  UiSetListInsertFault(nullptr, 0);  // every box, combos too
  HWND combo = Control(WC_COMBOBOXW, CBS_DROPDOWNLIST, 94, 10, 150, 120, 100);
  EXPECT_EQ(SendMessageW(other, LB_ADDSTRING, 0, Str(u"x")), LB_ERR);
  EXPECT_EQ(SendMessageW(combo, CB_ADDSTRING, 0, Str(u"x")), CB_ERR);
  UiSetListInsertFault(nullptr, -1);
  EXPECT_EQ(SendMessageW(combo, CB_ADDSTRING, 0, Str(u"x")), 0);
  // A reset clears the fault.
  UiSetListInsertFault(nullptr, 0);
  UiResetAll();
  ControlsTest::SetUp();
  HWND fresh = Control(WC_LISTBOXW, 0, 95);
  EXPECT_EQ(SendMessageW(fresh, LB_ADDSTRING, 0, Str(u"ok")), 0);
}

TEST_F(ListBoxTest, SortingSearchingInsertingAndDeleting) {
  HWND list = Filled(LBS_SORT);
  WCHAR text[32] = {};
  EXPECT_EQ(SendMessageW(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(text)), 2);
  EXPECT_EQ(std::u16string(text), u"A4");
  EXPECT_EQ(SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), Str(u"legal")), 4);
  EXPECT_EQ(SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), Str(u"Leg")), LB_ERR);
  EXPECT_EQ(SendMessageW(list, LB_FINDSTRING, static_cast<WPARAM>(-1), Str(u"Le")), 4);
  // The search starts after the given row and wraps round.
  EXPECT_EQ(SendMessageW(list, LB_FINDSTRING, 5, Str(u"A")), 0);
  EXPECT_EQ(SendMessageW(list, LB_INSERTSTRING, 8, Str(u"past")), LB_ERR);
  EXPECT_EQ(SendMessageW(list, LB_INSERTSTRING, static_cast<WPARAM>(-1), Str(u"End")), 7);  // not sorted
  SendMessageW(list, LB_SETCURSEL, 5, 0);
  SendMessageW(list, LB_SETITEMDATA, 5, 0x1234);
  EXPECT_EQ(SendMessageW(list, LB_DELETESTRING, 1, 0), 7);
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 4);  // the selection follows its row
  EXPECT_EQ(SendMessageW(list, LB_GETITEMDATA, 4, 0), 0x1234);
  EXPECT_EQ(SendMessageW(list, LB_DELETESTRING, 4, 0), 6);
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), LB_ERR);
  EXPECT_EQ(SendMessageW(list, LB_GETTEXTLEN, 9, 0), LB_ERR);
  // Data was set on the deleted row, so the parent hears of it.
  ASSERT_EQ(Events({WM_DELETEITEM}).size(), 1u);
  EXPECT_EQ(Events({WM_DELETEITEM})[0].deleted.itemData, 0x1234u);
  EXPECT_EQ(Events({WM_DELETEITEM})[0].deleted.CtlType, ODT_LISTBOX);
  // The top row stays within the rows there are.
  EXPECT_EQ(SendMessageW(list, LB_SETTOPINDEX, 3, 0), LB_OKAY);
  EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 1);  // 6 rows, 5 visible
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 0);
}

TEST_F(ListBoxTest, OwnerDrawnRowsAreMeasuredOnceAndDrawnWithTheirData) {
  Answers().measuredHeight = 20;
  HWND list = Control(WC_LISTBOXW, LBS_OWNERDRAWFIXED | LBS_NOTIFY, 96, 10, 10, 150, 60);
  ASSERT_EQ(Events({WM_MEASUREITEM}).size(), 1u);
  MEASUREITEMSTRUCT measure = Events({WM_MEASUREITEM})[0].measure;
  EXPECT_EQ(measure.CtlType, ODT_LISTBOX);
  EXPECT_EQ(measure.CtlID, 96u);
  EXPECT_EQ(measure.itemID, 0u);
  EXPECT_EQ(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0), 20);
  // Without LBS_HASSTRINGS the value is the item data.
  SendMessageW(list, LB_ADDSTRING, 0, 0xA1);
  SendMessageW(list, LB_ADDSTRING, 0, 0xB2);
  EXPECT_EQ(SendMessageW(list, LB_GETITEMDATA, 1, 0), 0xB2);
  EXPECT_EQ(SendMessageW(list, LB_GETTEXTLEN, 1, 0), static_cast<LRESULT>(sizeof(ULONG_PTR)));
  EXPECT_EQ(SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), 0xB2), 1);
  SendMessageW(list, LB_SETCURSEL, 1, 0);
  SetFocus(list);
  RecordedEvents().clear();
  SendMessageW(list, WM_PRINTCLIENT, 0, PRF_CLIENT);
  std::vector<ControlEvent> draws = Events({WM_DRAWITEM});
  ASSERT_EQ(draws.size(), 2u);
  EXPECT_EQ(draws[0].draw.CtlType, ODT_LISTBOX);
  EXPECT_EQ(draws[0].draw.CtlID, 96u);
  EXPECT_EQ(draws[0].draw.itemID, 0u);
  EXPECT_EQ(draws[0].draw.itemAction, ODA_DRAWENTIRE);
  EXPECT_EQ(draws[0].draw.itemState, 0u);
  EXPECT_EQ(draws[0].draw.itemData, 0xA1u);
  EXPECT_EQ(draws[0].draw.hwndItem, list);
  EXPECT_EQ(draws[1].draw.itemState, ODS_SELECTED | ODS_FOCUS);
  EXPECT_EQ(draws[1].draw.rcItem.top, draws[0].draw.rcItem.bottom);
  EXPECT_EQ(draws[1].draw.rcItem.bottom - draws[1].draw.rcItem.top, 20);
  // Deleting owner-drawn rows tells the parent each one, data and all.
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  std::vector<ControlEvent> deleted = Events({WM_DELETEITEM});
  ASSERT_EQ(deleted.size(), 2u);
  EXPECT_EQ(deleted[1].deleted.itemID, 1u);
  EXPECT_EQ(deleted[1].deleted.itemData, 0xB2u);
}

class ComboBoxTest : public ControlsTest {
 protected:
  HWND Combo(DWORD style, int id = 100) {
    HWND combo = Control(WC_COMBOBOXW, style, id, 10, 10, 150, 150);
    for (const char16_t* text : {u"Auto", u"Tray 1", u"Tray 2", u"Manual"}) {
      SendMessageW(combo, CB_ADDSTRING, 0, Str(text));
    }
    RecordedEvents().clear();
    return combo;
  }
};

TEST_F(ComboBoxTest, DropListKeepsTheFieldHeightAndDropsBelowIt) {
  HWND combo = Combo(CBS_DROPDOWNLIST);
  RECT window{};
  GetWindowRect(combo, &window);
  EXPECT_EQ(window.bottom - window.top, 22);  // a 16-pixel field in its frame
  SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
  RECT list = UiComboListRect(combo);
  EXPECT_EQ(list.top, 22);
  EXPECT_EQ(list.bottom - list.top, 4 * 16 + 2);
  RECT dropped{};
  SendMessageW(combo, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
  EXPECT_EQ(dropped.top, window.top);
  EXPECT_EQ(dropped.bottom, window.top + list.bottom);
}

TEST_F(ComboBoxTest, PickingFromTheDroppedListNotifiesInWindowsOrder) {
  HWND combo = Combo(CBS_DROPDOWNLIST);
  SendMessageW(combo, CB_SETCURSEL, 1, 0);
  EXPECT_TRUE(Commands().empty());
  Click(combo, 30, 10);  // opens; the button-up of the opening click keeps it open
  EXPECT_TRUE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
  EXPECT_EQ(UiComboHighlightedRow(combo), 1);
  EXPECT_EQ(GetCapture(), combo);
  RECT list = UiComboListRect(combo);
  SendMessageW(combo, WM_MOUSEMOVE, 0, MAKELPARAM(30, static_cast<WORD>(list.top + 1 + 3 * 16 + 4)));
  EXPECT_EQ(UiComboHighlightedRow(combo), 3);
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);  // hovering does not select
  Click(combo, 30, list.top + 1 + 2 * 16 + 4);
  EXPECT_FALSE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(Commands(), (std::vector<UINT>{CBN_SETFOCUS, CBN_DROPDOWN, CBN_SELENDOK, CBN_CLOSEUP, CBN_SELCHANGE}));
  EXPECT_EQ(Text(combo), u"Tray 2");
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(UiComboHighlightedRow(combo), LB_ERR);
}

TEST_F(ComboBoxTest, ClosingWithoutAChoiceAndKeyboardSelection) {
  HWND combo = Combo(CBS_DROPDOWNLIST);
  SetFocus(combo);
  RecordedEvents().clear();
  SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
  Key(combo, VK_ESCAPE);
  EXPECT_EQ(Commands(), (std::vector<UINT>{CBN_DROPDOWN, CBN_SELENDCANCEL, CBN_CLOSEUP}));
  RecordedEvents().clear();
  Key(combo, VK_DOWN);  // from no selection to the first row
  Key(combo, VK_DOWN);
  Key(combo, VK_UP);
  EXPECT_EQ(Commands(), (std::vector<UINT>{CBN_SELCHANGE, CBN_SELCHANGE, CBN_SELCHANGE}));
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 0);
  RecordedEvents().clear();
  Key(combo, VK_UP);  // at the top already
  EXPECT_TRUE(Commands().empty());
  // The focus leaving closes an open list first.
  SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
  RecordedEvents().clear();
  SetFocus(parent_);
  EXPECT_EQ(Commands(), (std::vector<UINT>{CBN_SELENDCANCEL, CBN_CLOSEUP, CBN_KILLFOCUS}));
  // While dropped, Return and Escape belong to the combo, not the dialog.
  SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
  MSG escape{combo, WM_KEYDOWN, static_cast<WPARAM>(VK_ESCAPE), 0, 0, {}};
  EXPECT_NE(SendMessageW(combo, WM_GETDLGCODE, 0, reinterpret_cast<LPARAM>(&escape)) & DLGC_WANTMESSAGE, 0);
}

TEST_F(ComboBoxTest, SetCurSelOutOfRangeClearsAndTextFollowsTheSelection) {
  HWND combo = Combo(CBS_DROPDOWNLIST);
  EXPECT_EQ(SendMessageW(combo, CB_SETCURSEL, 3, 0), 3);
  EXPECT_EQ(Text(combo), u"Manual");
  EXPECT_EQ(SendMessageW(combo, CB_SETCURSEL, 9, 0), CB_ERR);
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), CB_ERR);
  EXPECT_EQ(Text(combo), u"");
  EXPECT_EQ(SendMessageW(combo, CB_GETLBTEXTLEN, 1, 0), 6);
  EXPECT_EQ(SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), Str(u"tray 2")), 2);
  EXPECT_EQ(SendMessageW(combo, CB_DELETESTRING, 0, 0), 3);
  EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 3);
  EXPECT_TRUE(Commands().empty());
}

TEST_F(ComboBoxTest, DropDownComboHasAnEditChildWhoseChangesBecomeEditNotifications) {
  HWND combo = Combo(CBS_DROPDOWN);
  HWND edit = GetDlgItem(combo, kComboEditId);
  ASSERT_NE(edit, nullptr);
  SendMessageW(combo, CB_SETCURSEL, 2, 0);
  EXPECT_EQ(Text(edit), u"Tray 2");
  EXPECT_TRUE(Commands().empty());  // the combo's own update of its edit is quiet
  SetFocus(combo);
  EXPECT_EQ(GetFocus(), edit);
  SendMessageW(edit, EM_SETSEL, 0, -1);
  Type(edit, u"X");
  EXPECT_EQ(Text(combo), u"X");
  EXPECT_EQ(Commands(), (std::vector<UINT>{CBN_SETFOCUS, CBN_EDITUPDATE, CBN_EDITCHANGE}));
}

TEST_F(ComboBoxTest, OwnerDrawnComboMeasuresFieldAndRowsAndDrawsTheHighlightedRow) {
  Answers().measuredHeight = 18;
  HWND combo = Control(WC_COMBOBOXW, CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED, 101, 10, 10, 150, 150);
  std::vector<ControlEvent> measures = Events({WM_MEASUREITEM});
  ASSERT_EQ(measures.size(), 2u);
  EXPECT_EQ(measures[0].measure.itemID, static_cast<UINT>(-1));
  EXPECT_EQ(measures[1].measure.itemID, 0u);
  EXPECT_EQ(measures[0].measure.CtlType, ODT_COMBOBOX);
  EXPECT_EQ(SendMessageW(combo, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0), 18);
  SendMessageW(combo, CB_ADDSTRING, 0, 11);
  SendMessageW(combo, CB_ADDSTRING, 0, 22);
  SendMessageW(combo, CB_SETCURSEL, 0, 0);
  SetFocus(combo);
  RecordedEvents().clear();
  SendMessageW(combo, WM_PRINTCLIENT, 0, PRF_CLIENT);
  std::vector<ControlEvent> field = Events({WM_DRAWITEM});
  ASSERT_EQ(field.size(), 1u);
  EXPECT_EQ(field[0].draw.itemState, ODS_COMBOBOXEDIT | ODS_SELECTED | ODS_FOCUS);
  EXPECT_EQ(field[0].draw.itemData, 11u);
  SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
  RecordedEvents().clear();
  RECT list = UiComboListRect(combo);
  SendMessageW(combo, WM_MOUSEMOVE, 0, MAKELPARAM(20, static_cast<WORD>(list.top + 1 + 18 + 2)));
  // The old highlighted row and the new one are redrawn at once.
  std::vector<ControlEvent> rows = Events({WM_DRAWITEM});
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].draw.itemID, 0u);
  EXPECT_EQ(rows[0].draw.itemAction, ODA_SELECT);
  EXPECT_EQ(rows[0].draw.itemState, 0u);
  EXPECT_EQ(rows[1].draw.itemID, 1u);
  EXPECT_EQ(rows[1].draw.itemState, ODS_SELECTED | ODS_FOCUS);
  EXPECT_EQ(rows[1].draw.itemData, 22u);
  EXPECT_EQ(rows[1].draw.rcItem.top, list.top + 1 + 18);
}

}  // namespace
}  // namespace velm::test
