// Scroll bars, trackbars, tab controls, list views and tree views: their notifications, codes and
// the state changes behind them.
#include <gmock/gmock.h>

#include "controls_fixture.h"

namespace velm::test {
namespace {

using ::testing::ElementsAre;

class ScrollBarTest : public ControlsTest {};

std::vector<std::pair<UINT, WORD>> Scrolls(const std::vector<ControlEvent>& events) {
  std::vector<std::pair<UINT, WORD>> out;
  for (const ControlEvent& event : events) out.emplace_back(event.code, event.position);
  return out;
}

TEST_F(ScrollBarTest, InfoIsClampedAndTheBarNeverMovesItself) {
  HWND bar = Control(WC_SCROLLBARW, SBS_VERT, 110, 10, 10, 16, 116);
  SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 9, 4, 50, 0};
  EXPECT_EQ(SetScrollInfo(bar, SB_CTL, &info, TRUE), 6);  // the last page starts at 9 - (4 - 1)
  SCROLLINFO read{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
  ASSERT_TRUE(GetScrollInfo(bar, SB_CTL, &read));
  EXPECT_EQ(read.nMin, 0);
  EXPECT_EQ(read.nMax, 9);
  EXPECT_EQ(read.nPage, 4u);
  EXPECT_EQ(SetScrollPos(bar, SB_CTL, 2, TRUE), 6);
  EXPECT_EQ(GetScrollPos(bar, SB_CTL), 2);
  // A page larger than the range is cut to it.
  SCROLLINFO page{sizeof(SCROLLINFO), SIF_PAGE, 0, 0, 50, 0, 0};
  SetScrollInfo(bar, SB_CTL, &page, FALSE);
  GetScrollInfo(bar, SB_CTL, &read);
  EXPECT_EQ(read.nPage, 10u);
  EXPECT_EQ(read.nPos, 0);
  SCROLLINFO bad{7, SIF_POS, 0, 0, 0, 3, 0};
  EXPECT_EQ(SetScrollInfo(bar, SB_CTL, &bad, FALSE), 0);
  EXPECT_FALSE(GetScrollInfo(bar, SB_CTL, &bad));

  page.nPage = 2;
  SetScrollInfo(bar, SB_CTL, &page, FALSE);
  SetScrollPos(bar, SB_CTL, 3, FALSE);
  RecordedEvents().clear();
  Click(bar, 8, 4);         // up arrow
  Click(bar, 8, 116 - 4);   // down arrow
  EXPECT_THAT(Scrolls(Events({WM_VSCROLL})),
              ElementsAre(std::make_pair(UINT{SB_LINEUP}, WORD{0}), std::make_pair(UINT{SB_ENDSCROLL}, WORD{0}),
                          std::make_pair(UINT{SB_LINEDOWN}, WORD{0}), std::make_pair(UINT{SB_ENDSCROLL}, WORD{0})));
  EXPECT_EQ(Events({WM_VSCROLL})[0].from, bar);
  EXPECT_EQ(GetScrollPos(bar, SB_CTL), 3);  // only the parent moves it
  EXPECT_TRUE(Events({WM_HSCROLL}).empty());
}

TEST_F(ScrollBarTest, DisabledArrowsAndKeysAndThumbDrag) {
  HWND bar = Control(WC_SCROLLBARW, SBS_HORZ | WS_TABSTOP, 111, 10, 10, 116, 16);
  SetScrollRange(bar, SB_CTL, 0, 10, FALSE);
  EXPECT_TRUE(EnableScrollBar(bar, SB_CTL, ESB_DISABLE_LEFT));
  EXPECT_FALSE(EnableScrollBar(bar, SB_CTL, ESB_DISABLE_LEFT));  // already so
  RecordedEvents().clear();
  Click(bar, 4, 8);
  Key(bar, VK_LEFT);
  // Neither the click nor the key line left; the key's release still ends the scroll.
  EXPECT_THAT(Scrolls(Events({WM_HSCROLL})), ElementsAre(std::make_pair(UINT{SB_ENDSCROLL}, WORD{0})));
  RecordedEvents().clear();
  Key(bar, VK_RIGHT);
  Key(bar, VK_END);
  EXPECT_THAT(Scrolls(Events({WM_HSCROLL})),
              ElementsAre(std::make_pair(UINT{SB_LINERIGHT}, WORD{0}), std::make_pair(UINT{SB_ENDSCROLL}, WORD{0}),
                          std::make_pair(UINT{SB_RIGHT}, WORD{0}), std::make_pair(UINT{SB_ENDSCROLL}, WORD{0})));
  // Dragging the thumb (16 pixels at 16..32 with position 0) to the far end.
  RecordedEvents().clear();
  SendMessageW(bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 8));
  SendMessageW(bar, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(200, 8));
  SendMessageW(bar, WM_LBUTTONUP, 0, MAKELPARAM(200, 8));
  EXPECT_THAT(Scrolls(Events({WM_HSCROLL})),
              ElementsAre(std::make_pair(UINT{SB_THUMBTRACK}, WORD{10}), std::make_pair(UINT{SB_THUMBPOSITION}, WORD{10}),
                          std::make_pair(UINT{SB_ENDSCROLL}, WORD{0})));
  EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), 16);
  EXPECT_EQ(GetSystemMetrics(SM_CYHSCROLL), 16);
}

TEST_F(ScrollBarTest, WindowBarsExistOnlyWhenStyledOrSet) {
  HWND plain = Control(u"TestWindow", 0, 112);
  SCROLLINFO info{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
  EXPECT_FALSE(GetScrollInfo(plain, SB_VERT, &info));
  HWND styled = Control(u"TestWindow", WS_VSCROLL, 113);
  EXPECT_TRUE(GetScrollInfo(styled, SB_VERT, &info));
  SetScrollRange(plain, SB_HORZ, 0, 5, FALSE);
  EXPECT_EQ(SetScrollPos(plain, SB_HORZ, 9, FALSE), 0);
  EXPECT_EQ(GetScrollPos(plain, SB_HORZ), 5);
  EXPECT_FALSE(GetScrollInfo(plain, 7, &info));
}

class TrackbarTest : public ControlsTest {};

TEST_F(TrackbarTest, SetPosIsSilentAndKeysMoveAndNotify) {
  HWND slider = Control(TRACKBAR_CLASSW, 0, 120, 10, 10, 200, 30);
  SendMessageW(slider, TBM_SETRANGE, TRUE, MAKELPARAM(0, 8));
  SendMessageW(slider, TBM_SETPOS, TRUE, 20);
  EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 8);  // clamped to the range
  EXPECT_TRUE(Events({WM_HSCROLL}).empty());
  Key(slider, VK_LEFT);
  Key(slider, VK_HOME);
  Key(slider, VK_HOME);  // at the start: no move, only the end of tracking
  EXPECT_THAT(Scrolls(Events({WM_HSCROLL})),
              ElementsAre(std::make_pair(UINT{TB_LINEUP}, WORD{0}), std::make_pair(UINT{TB_ENDTRACK}, WORD{0}),
                          std::make_pair(UINT{TB_TOP}, WORD{0}), std::make_pair(UINT{TB_ENDTRACK}, WORD{0}),
                          std::make_pair(UINT{TB_ENDTRACK}, WORD{0})));
  EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 0);
  HWND vertical = Control(TRACKBAR_CLASSW, TBS_VERT, 121, 250, 10, 30, 200);
  Key(vertical, VK_DOWN);
  EXPECT_EQ(Events({WM_VSCROLL}).size(), 2u);
  EXPECT_EQ(SendMessageW(vertical, TBM_GETPOS, 0, 0), 1);
}

class TabControlTest : public ControlsTest {};

TEST_F(TabControlTest, ClickAsksSelChangingThenSelChangeAndSetCurSelIsSilent) {
  HWND tab = Control(WC_TABCONTROLW, 0, 130, 10, 10, 300, 200);
  TCITEMW item{TCIF_TEXT | TCIF_PARAM, 0, 0, const_cast<LPWSTR>(u"General"), 0, -1, 7};
  EXPECT_EQ(SendMessageW(tab, TCM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)), 0);
  item.pszText = const_cast<LPWSTR>(u"Paper");
  item.lParam = 8;
  EXPECT_EQ(SendMessageW(tab, TCM_INSERTITEMW, 5, reinterpret_cast<LPARAM>(&item)), 1);
  EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(SendMessageW(tab, TCM_SETCURSEL, 1, 0), 0);
  EXPECT_TRUE(Notifies().empty());
  RECT first{};
  SendMessageW(tab, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first));
  Click(tab, first.left + 3, first.top + 3);
  EXPECT_EQ(Notifies(), (std::vector<UINT>{TCN_SELCHANGING, TCN_SELCHANGE}));
  EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), 0);
  // A TRUE answer to TCN_SELCHANGING keeps the tab.
  RecordedEvents().clear();
  Answers().refuseCodes = {TCN_SELCHANGING};
  Answers().notifyAnswer = TRUE;
  Key(tab, VK_RIGHT);
  EXPECT_EQ(Notifies(), (std::vector<UINT>{TCN_SELCHANGING}));
  EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), 0);
  WCHAR text[16] = {};
  TCITEMW read{TCIF_TEXT | TCIF_PARAM, 0, 0, text, 16, 0, 0};
  ASSERT_TRUE(SendMessageW(tab, TCM_GETITEMW, 1, reinterpret_cast<LPARAM>(&read)));
  EXPECT_EQ(std::u16string(text), u"Paper");
  EXPECT_EQ(read.lParam, 8);
  RECT page{0, 0, 300, 200};
  SendMessageW(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&page));
  SendMessageW(tab, TCM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&page));
  EXPECT_EQ(page.top, 0);
  EXPECT_EQ(page.right, 300);
  SendMessageW(tab, TCM_DELETEALLITEMS, 0, 0);
  EXPECT_EQ(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0), 0);
  EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), -1);
}

class ListViewTest : public ControlsTest {
 protected:
  HWND Report(DWORD style = LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS) {
    HWND view = Control(WC_LISTVIEWW, style, 140, 10, 10, 300, 20 + 4 * 18);
    LVCOLUMNW column{LVCF_TEXT | LVCF_WIDTH, 0, 120, const_cast<LPWSTR>(u"Name"), 0, 0, 0, 0};
    SendMessageW(view, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    column.pszText = const_cast<LPWSTR>(u"Value");
    column.cx = 80;
    SendMessageW(view, LVM_INSERTCOLUMNW, 1, reinterpret_cast<LPARAM>(&column));
    for (int i = 0; i < 6; ++i) {
      LVITEMW item{LVIF_TEXT | LVIF_PARAM, i, 0, 0, 0, const_cast<LPWSTR>(u"row"), 0, 0, 100 + i, 0};
      SendMessageW(view, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    RecordedEvents().clear();
    return view;
  }
  static LRESULT SetState(HWND view, int index, UINT state, UINT mask) {
    LVITEMW item{};
    item.state = state;
    item.stateMask = mask;
    return SendMessageW(view, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  }
  std::vector<std::tuple<int, UINT, UINT>> Changes() const {
    std::vector<std::tuple<int, UINT, UINT>> out;
    for (const ControlEvent& event : Events({WM_NOTIFY})) {
      if (event.code == LVN_ITEMCHANGED) out.emplace_back(event.listView.iItem, event.listView.uOldState, event.listView.uNewState);
    }
    return out;
  }
};

TEST_F(ListViewTest, StateChangesNotifyWithNmListViewEvenWhenProgrammatic) {
  HWND view = Report();
  EXPECT_EQ(SendMessageW(view, LVM_GETITEMCOUNT, 0, 0), 6);
  EXPECT_TRUE(SetState(view, 2, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED));
  std::vector<ControlEvent> changed;
  for (const ControlEvent& event : Events({WM_NOTIFY})) {
    if (event.code == LVN_ITEMCHANGED) changed.push_back(event);
  }
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_EQ(changed[0].listView.iItem, 2);
  EXPECT_EQ(changed[0].listView.uNewState, LVIS_SELECTED | LVIS_FOCUSED);
  EXPECT_EQ(changed[0].listView.uOldState, 0u);
  EXPECT_EQ(changed[0].listView.uChanged, LVIF_STATE);
  EXPECT_EQ(changed[0].listView.lParam, 102);
  EXPECT_EQ(changed[0].listView.hdr.idFrom, 140u);
  EXPECT_EQ(Notifies(), (std::vector<UINT>{LVN_ITEMCHANGING, LVN_ITEMCHANGED}));
  // Setting a state already there says nothing.
  RecordedEvents().clear();
  SetState(view, 2, LVIS_SELECTED, LVIS_SELECTED);
  EXPECT_TRUE(Notifies().empty());
  // Single selection: the old row loses selection and focus before the new row reports.
  SetState(view, 4, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  EXPECT_THAT(Changes(), ElementsAre(std::make_tuple(2, LVIS_SELECTED | LVIS_FOCUSED, UINT{LVIS_SELECTED}),
                                     std::make_tuple(2, UINT{LVIS_SELECTED}, 0u),
                                     std::make_tuple(4, 0u, LVIS_SELECTED | LVIS_FOCUSED)));
  EXPECT_EQ(SendMessageW(view, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 4);
  EXPECT_EQ(SendMessageW(view, LVM_GETNEXTITEM, 4, LVNI_SELECTED), -1);
  EXPECT_EQ(SendMessageW(view, LVM_GETITEMSTATE, 4, LVIS_FOCUSED), LVIS_FOCUSED);
  // LVN_ITEMCHANGING answered TRUE refuses the change.
  RecordedEvents().clear();
  Answers().refuseCodes = {LVN_ITEMCHANGING};
  Answers().notifyAnswer = TRUE;
  EXPECT_FALSE(SetState(view, 1, LVIS_SELECTED, LVIS_SELECTED));
  EXPECT_EQ(SendMessageW(view, LVM_GETITEMSTATE, 1, LVIS_SELECTED), 0);
  EXPECT_TRUE(Changes().empty());
}

TEST_F(ListViewTest, ClicksAndArrowKeysMoveSelectionAndFocus) {
  HWND view = Report();
  RECT row{};
  row.left = LVIR_BOUNDS;
  ASSERT_TRUE(SendMessageW(view, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&row)));
  EXPECT_EQ(row.top, 20 + 18);
  EXPECT_EQ(row.right - row.left, 200);
  Click(view, row.left + 5, row.top + 5);
  EXPECT_EQ(SendMessageW(view, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED | LVNI_FOCUSED), 1);
  EXPECT_EQ(Notifies().back(), NM_CLICK);
  RecordedEvents().clear();
  Key(view, VK_DOWN);
  EXPECT_THAT(Changes(), ElementsAre(std::make_tuple(1, LVIS_SELECTED | LVIS_FOCUSED, UINT{LVIS_FOCUSED}),
                                     std::make_tuple(1, UINT{LVIS_FOCUSED}, 0u),
                                     std::make_tuple(2, 0u, LVIS_SELECTED | LVIS_FOCUSED)));
  // Scrolling a row into view moves the top row and the rectangles with it.
  EXPECT_TRUE(SendMessageW(view, LVM_ENSUREVISIBLE, 5, FALSE));
  EXPECT_EQ(SendMessageW(view, LVM_GETTOPINDEX, 0, 0), 2);
  RECT sub{};
  sub.top = 1;
  sub.left = LVIR_BOUNDS;
  ASSERT_TRUE(SendMessageW(view, LVM_GETSUBITEMRECT, 5, reinterpret_cast<LPARAM>(&sub)));
  EXPECT_EQ(sub.left, 120);
  EXPECT_EQ(sub.right, 200);
  EXPECT_EQ(sub.top, 20 + 3 * 18);
  EXPECT_EQ(SendMessageW(view, LVM_GETCOLUMNWIDTH, 1, 0), 80);
  // A click on no row clears the selection.
  RecordedEvents().clear();
  Click(view, 250, 30);
  EXPECT_EQ(SendMessageW(view, LVM_GETSELECTEDCOUNT, 0, 0), 0);
}

TEST_F(ListViewTest, OwnerDrawnRowsCarryTheirDataAndDeletingNotifiesEachRow) {
  Answers().measuredHeight = 24;
  HWND view = Control(WC_LISTVIEWW, LVS_REPORT | LVS_OWNERDRAWFIXED | LVS_SHOWSELALWAYS, 141, 10, 10, 300, 150);
  LVCOLUMNW column{LVCF_WIDTH, 0, 200, nullptr, 0, 0, 0, 0};
  SendMessageW(view, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
  for (int i = 0; i < 2; ++i) {
    LVITEMW item{LVIF_TEXT | LVIF_PARAM, i, 0, 0, 0, const_cast<LPWSTR>(u"x"), 0, 0, 0x500 + i, 0};
    SendMessageW(view, LVM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
  }
  SetState(view, 1, LVIS_SELECTED, LVIS_SELECTED);
  RecordedEvents().clear();
  SendMessageW(view, WM_PRINTCLIENT, 0, PRF_CLIENT);
  std::vector<ControlEvent> draws = Events({WM_DRAWITEM});
  ASSERT_EQ(draws.size(), 2u);
  EXPECT_EQ(draws[1].draw.CtlType, ODT_LISTVIEW);
  EXPECT_EQ(draws[1].draw.CtlID, 141u);
  EXPECT_EQ(draws[1].draw.itemID, 1u);
  EXPECT_EQ(draws[1].draw.itemState, ODS_SELECTED);
  EXPECT_EQ(draws[1].draw.itemData, 0x501u);
  EXPECT_EQ(draws[1].draw.rcItem.bottom - draws[1].draw.rcItem.top, 24);
  RecordedEvents().clear();
  SendMessageW(view, LVM_DELETEALLITEMS, 0, 0);
  EXPECT_EQ(Notifies(), (std::vector<UINT>{LVN_DELETEALLITEMS, LVN_DELETEITEM, LVN_DELETEITEM}));
  EXPECT_EQ(Events({WM_NOTIFY})[2].listView.lParam, 0x501);
  EXPECT_EQ(SendMessageW(view, LVM_GETITEMCOUNT, 0, 0), 0);
}

class TreeViewTest : public ControlsTest {};

TEST_F(TreeViewTest, InsertEnumerateSelectAndDeleteTheWholeTree) {
  HWND tree = Control(WC_TREEVIEWW, TVS_HASBUTTONS | TVS_LINESATROOT, 150, 10, 10, 200, 200);
  TVINSERTSTRUCTW insert{TVI_ROOT, TVI_LAST, {TVIF_TEXT | TVIF_PARAM, nullptr, 0, 0, const_cast<LPWSTR>(u"Fonts"), 0, 0, 0, 0, 1}};
  auto fonts = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
  ASSERT_NE(fonts, nullptr);
  insert.hParent = fonts;
  insert.hInsertAfter = TVI_SORT;
  for (const char16_t* name : {u"Times", u"Arial", u"Courier"}) {
    insert.item.pszText = const_cast<LPWSTR>(name);
    SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert));
  }
  insert.hParent = reinterpret_cast<HTREEITEM>(12345);
  EXPECT_EQ(SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)), 0);
  std::vector<std::u16string> names;
  for (const UiTreeItemInfo& item : UiTreeItems(tree)) names.push_back(item.text);
  EXPECT_THAT(names, ElementsAre(u"Fonts", u"Arial", u"Courier", u"Times"));
  EXPECT_EQ(UiTreeItems(tree)[1].depth, 1);
  auto child = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(fonts)));
  EXPECT_TRUE(SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(child)));
  EXPECT_EQ(Notifies(), (std::vector<UINT>{TVN_SELCHANGINGW, TVN_SELCHANGEDW}));
  EXPECT_EQ(Events({WM_NOTIFY})[1].treeView.itemNew.hItem, child);
  EXPECT_EQ(Events({WM_NOTIFY})[1].treeView.action, TVC_UNKNOWN);
  EXPECT_EQ(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0), reinterpret_cast<LRESULT>(child));
  RecordedEvents().clear();
  EXPECT_TRUE(SendMessageW(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT)));
  EXPECT_EQ(SendMessageW(tree, TVM_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(Notifies().size(), 4u);  // TVN_DELETEITEM for every item, children first
  EXPECT_EQ(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0), 0);
}

}  // namespace
}  // namespace velm::test
