// The edit family's control classes on the real pages: decimal numbers formatted and parsed,
// lengths in millimetres and inches, typing past 32 bits of dots, the user-size minimum, the
// arrow keys, edits' blanks and line breaks, and the scroll bars' ranges, steps and arrows.
#include "ui2k/controls/edit_controls.h"

#include <deque>

#include "../pages/pages_fixture.h"
#include "settings/items/unit_conversion.h"
#include "settings/services/resource_strings.h"
#include "ui2k/controls/control_classes.h"
#include "ui2k/pages/sub_dialogs.h"

namespace velm::test {
namespace {

struct FormatCase {
  LONG value;
  DWORD divisor;
  const char16_t* text;
};

TEST(CtlFormatDecimal, WritesTheSignTheWholePartAndThePaddedDecimals) {
  const FormatCase cases[] = {
      {12345, 10000, u"1.2345"}, {123456, 10000, u"12.3456"}, {5, 10, u"0.5"},
      {-5, 10, u"-0.5"},         {-12345, 10000, u"-1.2345"}, {7, 100, u"0.07"},
      {1234, 1000, u"1.234"},    {42, 1, u"42"},              {-42, 1, u"-42"},
      {42, 0, u"42"},            {LONG(0x80000000), 10, u"-214748364.8"},
  };
  for (const FormatCase& c : cases) {
    WCHAR text[64];
    CtlFormatDecimal(c.value, c.divisor, text, 64);
    EXPECT_EQ(std::u16string(text), c.text) << c.value << " / " << c.divisor;
  }
  WCHAR small[4];
  EXPECT_EQ(CtlFormatDecimal(123456, 10000, small, 4), 3);
  EXPECT_EQ(std::u16string(small), u"12.");
}

struct ParseCase {
  const char16_t* text;
  DWORD divisor;
  LONG value;
};

TEST(CtlParseDecimal, ScalesTypedNumbersAndRefusesNegativesAndNoise) {
  const ParseCase cases[] = {
      {u"1.2345", 10000, 12345},   {u"12.3456", 10000, 123456}, {u"0.5", 10, 5},
      {u"1.23456", 10000, 12345},  {u"1.2", 100, 120},          {u"3", 1000, 3000},
      {u"  7 mm", 1, 7},           {u"x12.5mm", 10, 125},       {u"5", 0, 5},
      {u"abc", 10, 0},             {u"", 10, 0},                {u"-5", 1, 0},
      {u"-0.5", 10, 0},            {u"99999999999", 1, 0x7FFFFFFF}, {u"214748364.8", 10, 0x7FFFFFFF},
  };
  for (const ParseCase& c : cases) EXPECT_EQ(CtlParseDecimal(c.text, c.divisor), c.value) << c.divisor << " case " << (&c - cases);
}

TEST(EditClassRows, TheTableFindsTheFamilyAndSubclassesTheDecimalEditAndTheScaleSlider) {
  const struct {
    WORD type;
    bool subclassed;
  } cases[] = {{0x3d, false}, {0x3e, false}, {0x3f, true},  {0x17, false},
               {0x51, false}, {0x52, false}, {0x54, true}, {0x55, false}};
  for (const auto& c : cases) {
    const CtlClass* found = CtlFindClass(c.type);
    ASSERT_NE(found, nullptr) << c.type;
    EXPECT_EQ(found, CtlFindEditClass(c.type));
    EXPECT_EQ(found->subclass == CtlWndProc, c.subclassed) << c.type;
  }
}

class EditControlsTest : public PagesTest {
 protected:
  void SetUp() override {
    PagesTest::SetUp();
    pageSeams_.ctlFindClass = CtlFindEditClass;
  }
  static PageItemTemplate* Row(ui::Dlg page, WORD controlId) {
    PageItemTemplate* row = PageFindRow(page.hwnd(), controlId);
    EXPECT_NE(row, nullptr) << controlId;
    return row;
  }
  static LRESULT Send(LRESULT (*handler)(UiContext*, HWND, PageItemTemplate*, UINT, WPARAM, LPARAM), ui::Dlg page,
                      PageItemTemplate* row, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return handler(PageContextOf(page.hwnd()), page.hwnd(), row, message, wParam, lParam);
  }
  // The brightness slider of the quality page as a slider with a drawn scale (0x54).
  static PageItemTemplate ScaleSlider(ui::Dlg page) {
    PageItemTemplate scale = *Row(page, kCtlBrightness);
    scale.controlType = 0x54;
    return scale;
  }
  static SCROLLINFO Scroll(HWND window) {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    GetScrollInfo(window, SB_CTL, &info);
    return info;
  }
  // The dialog `id` opened from the basic page, driven by `script`.
  void SubDialog(WORD id, std::function<void(UiContext*, ui::Dlg&)> script) {
    Document([&](ui::Sheet& sheet) {
      ui::Page page = sheet.activate(1002);
      UiContext* ui = ContextOf(page);
      ui::onDialog(id, [&](ui::Dlg& dialog) { script(ui, dialog); });
      PageRunSubDialog(ui, kPageModal, id, page.hwnd());
      ui::onDialog(id, nullptr);
    });
  }
  void FreeSize(std::function<void(UiContext*, ui::Dlg&)> script) { SubDialog(kPageDialogFreesize, script); }
};

TEST_F(EditControlsTest, TheCopiesEditShowsItsValueAndStoresWhatIsTyped) {
  Document([&](ui::Sheet& sheet) {
    ui::Page page = sheet.activate(1002);
    UiContext* ui = ContextOf(page);
    EXPECT_EQ(page.ctl(kCtlCopiesEdit).text(), u"1");
    page.ctl(kCtlCopiesEdit).focus().setText(u"").type(u"12");
    EXPECT_EQ(OptGetValue(ui->driver, kItemCopies), 12u);
    EXPECT_EQ(Scroll(page.ctl(kCtlCopiesEditSpin).hwnd()).nPos, 12);
  });
}

TEST_F(EditControlsTest, ATypedNumberIsCheckedWhenTheEditLosesTheFocusAndARefusalPutsThePreviousOneBack) {
  const struct {
    const char16_t* typed;
    DWORD stored;
    size_t boxes;
    const char16_t* shown;
  } cases[] = {{u"950", 5, 1, u"5"}, {u"12", 12, 0, u"12"}, {u"5", 5, 0, u"5"}};
  for (const auto& c : cases) {
    Document([&](ui::Sheet& sheet) {
      ui::Page page = sheet.activate(1002);
      UiContext* ui = ContextOf(page);
      OptSetValue(ui->driver, kItemCopies, 5);
      ui::Ctl edit = page.ctl(kCtlCopiesEdit);
      const size_t boxes = ui::messageBoxes().size();
      edit.focus().setText(u"").type(c.typed);
      if (c.boxes) ui::onMessageBox(std::deque<int>{IDOK});  // more than 900 copies are refused
      page.ctl(kCtlPaperSizeCombo).focus();
      EXPECT_EQ(ui::messageBoxes().size() - boxes, c.boxes) << c.stored;
      EXPECT_EQ(OptGetValue(ui->driver, kItemCopies), c.stored);
      EXPECT_EQ(edit.text(), c.shown);
    });
  }
}

// The copies edit and its spin on the live page: keys reach the edit's class through its window
// procedure, scrolling reaches the spin's through the page.
TEST_F(EditControlsTest, KeysAndScrollingOnTheLivePageReachTheClasses) {
  const struct {
    WORD control;
    int key;       // a key pressed on the control, or 0
    int scroll;    // a scroll code sent to the page, or -1
    DWORD copies;
  } cases[] = {
      {kCtlCopiesEdit, VK_UP, -1, 6},       {kCtlCopiesEdit, VK_DOWN, -1, 5},   {kCtlCopiesEdit, VK_DOWN, -1, 4},
      {kCtlCopiesEditSpin, 0, SB_LINEUP, 5}, {kCtlCopiesEditSpin, 0, SB_LINEDOWN, 4},
      {kCtlCopiesEditSpin, 0, SB_THUMBPOSITION, 4},
  };
  Document([&](ui::Sheet& sheet) {
    ui::Page page = sheet.activate(1002);
    UiContext* ui = ContextOf(page);
    OptSetValue(ui->driver, kItemCopies, 5);
    for (const auto& c : cases) {
      ui::Ctl control = page.ctl(c.control);
      if (c.key) control.key(c.key);
      if (c.scroll >= 0) control.scroll(c.scroll, static_cast<int>(c.copies));
      EXPECT_EQ(OptGetValue(ui->driver, kItemCopies), c.copies) << (&c - cases);
      EXPECT_EQ(page.ctl(kCtlCopiesEdit).text(), std::u16string(1, u'0' + c.copies)) << (&c - cases);
    }
  });
}

// The sheet's PSM_CHANGED messages, counted by a procedure put over the sheet's own.
int g_sheetChanged = 0;
WNDPROC g_sheetProcedure = nullptr;
LRESULT CALLBACK CountSheetChanged(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == PSM_CHANGED) ++g_sheetChanged;
  return CallWindowProcW(g_sheetProcedure, window, message, wParam, lParam);
}

TEST_F(EditControlsTest, AnEditCommitsItsTextThroughTheChangeCheckAndARefusalPutsThePreviousTextBack) {
  const struct {
    DWORD copies;  // over 900 the alert on the copies' node refuses
    const char16_t* stored;
    size_t boxes;
    int changed;
  } cases[] = {{950, u"Report", 1, 0}, {1, u"Letter", 0, 1}};
  for (const auto& c : cases) {
    Document([&](ui::Sheet& sheet) {
      const DescNode* copiesNode = Row(sheet.activate(1002), kCtlCopiesEdit)->node;
      ui::Page page = sheet.activate(1005);
      UiContext* ui = ContextOf(page);
      ItemTableRow* item = OptFindItem(ui->driver->itemTable, kItemDocumentName);
      OptSetString(ui->driver, item, u"Report");
      PageItemTemplate* row = Row(page, kCtlDocumentname);
      const DescNode* node = row->node;
      row->node = copiesNode;
      OptSetValue(ui->driver, kItemCopies, c.copies);
      HWND frame = GetParent(page.hwnd());
      g_sheetChanged = 0;
      g_sheetProcedure = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrW(frame, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountSheetChanged)));
      const size_t boxes = ui::messageBoxes().size();
      if (c.boxes) ui::onMessageBox(std::deque<int>{IDOK});
      page.ctl(kCtlDocumentname).setText(u" Letter ");
      Send(CtlEditCommand, page, row, WM_COMMAND, MAKEWPARAM(kCtlDocumentname, EN_KILLFOCUS));
      SetWindowLongPtrW(frame, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_sheetProcedure));
      EXPECT_EQ(ui::messageBoxes().size() - boxes, c.boxes);
      EXPECT_EQ(g_sheetChanged, c.changed);
      WCHAR text[64] = {};
      OptGetString(ui->driver, item, text, 64);
      EXPECT_EQ(std::u16string(text), c.stored);
      row->node = node;
      OptSetValue(ui->driver, kItemCopies, 1);
    });
  }
}

struct ArrowCase {
  DWORD start;
  WPARAM key;
  DWORD flags;
  DWORD expected;
};

TEST_F(EditControlsTest, ArrowKeysStepStopAtTheBoundsAndDoNothingWhenTheRowSaysSo) {
  const ArrowCase cases[] = {
      {5, 38, 0, 6}, {5, 40, 0, 4}, {999, 38, 0, 999}, {1, 40, 0, 1}, {5, 38, kCtlFlagNoArrowSteps, 5},
  };
  Document([&](ui::Sheet& sheet) {
    ui::Page page = sheet.activate(1002);
    UiContext* ui = ContextOf(page);
    PageItemTemplate* row = Row(page, kCtlCopiesEdit);
    const DWORD flags = row->flags;
    for (const ArrowCase& c : cases) {
      OptSetValue(ui->driver, kItemCopies, c.start);
      row->flags = flags | c.flags;
      Send(CtlDecimalMessage, page, row, WM_KEYDOWN, c.key);
      EXPECT_EQ(OptGetValue(ui->driver, kItemCopies), c.expected) << c.start << " key " << c.key;
    }
    row->flags = flags;
    EXPECT_EQ(page.ctl(kCtlCopiesEdit).text(), u"4");  // the last step shown
  });
}

TEST_F(EditControlsTest, LengthsShowInMillimetresOrInchesByTheUnitItem) {
  FreeSize([&](UiContext* ui, ui::Dlg& dialog) {
    PageItemTemplate* row = Row(dialog, kCtlFreesizeWidth);
    OptSetValue(ui->driver, kItemFreeSizeWidth, 2400);  // two inches in 1200-dpi dots
    OptSetValue(ui->driver, kItemUnit, 0);
    CtlSetRedisplayMark(ui, kItemFreeSizeWidth, TRUE);
    Send(CtlDecimalShow, dialog, row, WM_PAINT);
    EXPECT_EQ(dialog.ctl(kCtlFreesizeWidth).text(), u"50.8" + String(ui, 158));
    OptSetValue(ui->driver, kItemUnit, 1);
    CtlSetRedisplayMark(ui, kItemUnit, TRUE);
    Send(CtlDecimalShow, dialog, row, WM_PAINT);
    CtlSetRedisplayMark(ui, kItemUnit, FALSE);
    EXPECT_EQ(dialog.ctl(kCtlFreesizeWidth).text(), u"2.00" + String(ui, kStringInchUnit)) << "the inch unit's name";
    dialog.command(IDCANCEL);
  });
}

struct OverflowCase {
  DWORD unit;
  const char16_t* typed;  // the last character, typed after `kept`
  const char16_t* kept;
};

TEST_F(EditControlsTest, ALengthWhoseDotsWouldOverflowLosesItsLastCharacterAndStoresNothing) {
  const OverflowCase cases[] = {{0, u"1", u"4545507"}, {1, u"0", u"178957"}};
  for (const OverflowCase& c : cases) {
    FreeSize([&](UiContext* ui, ui::Dlg& dialog) {
      OptSetValue(ui->driver, kItemUnit, c.unit);
      ui::Ctl edit = dialog.ctl(kCtlFreesizeWidth);
      edit.focus();
      SendMessageW(edit.hwnd(), EM_SETLIMITTEXT, 32, 0);
      edit.setText(c.kept);  // stored as it is typed
      SendMessageW(edit.hwnd(), EM_SETSEL, 32, 32);
      const DWORD before = OptGetValue(ui->driver, kItemFreeSizeWidth);
      edit.type(c.typed);
      dialog.pump();
      EXPECT_EQ(edit.text(), c.kept) << "unit " << c.unit;
      EXPECT_EQ(OptGetValue(ui->driver, kItemFreeSizeWidth), before) << "unit " << c.unit;
      dialog.command(IDCANCEL);
    });
  }
}

TEST_F(EditControlsTest, LeavingAUserSizeBelowItsMinimumStoresTheMinimum) {
  FreeSize([&](UiContext* ui, ui::Dlg& dialog) {
    OptSetValue(ui->driver, kItemUnit, 0);
    PageItemTemplate* row = Row(dialog, kCtlFreesizeWidth);
    dialog.ctl(kCtlFreesizeWidth).focus().setText(u"1.0");
    dialog.ctl(kCtlFreesizeLength).focus();
    // 900 dots, the model's minimum, are 19.05 mm: the shown minimum is 19.1 mm.
    const DWORD dots = OptGetValue(ui->driver, kItemFreeSizeWidth);
    EXPECT_GE(dots, 900u);
    EXPECT_EQ(DmDotsToDisplayUnits(ui->driver, 0, static_cast<LONG>(dots)), 191u);
    Send(CtlDecimalShow, dialog, row, WM_PAINT);
    EXPECT_EQ(dialog.ctl(kCtlFreesizeWidth).text(), u"19.1" + String(ui, 158));
    dialog.command(IDCANCEL);
  });
}

TEST_F(EditControlsTest, AnEmptiedLengthOutsideItsRangeShowsTheBoundAndTheSuffixWidensTheLimit) {
  FreeSize([&](UiContext* ui, ui::Dlg& dialog) {
    pageSeams_.ctlFindClass = [](WORD) -> const CtlClass* { return nullptr; };  // the text stays as set
    OptSetValue(ui->driver, kItemUnit, 0);
    PageItemTemplate* row = Row(dialog, kCtlFreesizeWidth);
    ui::Ctl edit = dialog.ctl(kCtlFreesizeWidth);
    edit.setText(u"");
    OptSetValue(ui->driver, kItemFreeSizeWidth, 100);
    Send(CtlDecimalShow, dialog, row, WM_PAINT);
    EXPECT_EQ(OptGetValue(ui->driver, kItemFreeSizeWidth), 900u);
    EXPECT_EQ(edit.text(), u"19.1" + String(ui, 158));

    // Five characters for the number, the suffix's own while the text ends with it.
    const WPARAM update = MAKEWPARAM(kCtlFreesizeWidth, EN_UPDATE);
    Send(CtlDecimalCommand, dialog, row, WM_COMMAND, update, reinterpret_cast<LPARAM>(edit.hwnd()));
    EXPECT_EQ(SendMessageW(edit.hwnd(), EM_GETLIMITTEXT, 0, 0), static_cast<LRESULT>(5 + String(ui, 158).size()));
    edit.setText(u"19.1");
    Send(CtlDecimalCommand, dialog, row, WM_COMMAND, update, reinterpret_cast<LPARAM>(edit.hwnd()));
    EXPECT_EQ(SendMessageW(edit.hwnd(), EM_GETLIMITTEXT, 0, 0), 5);
    dialog.command(IDCANCEL);
  });
}

TEST_F(EditControlsTest, EditsTrimBlanksAndTurnLineBreaksIntoNewlinesAndBack) {
  Document([&](ui::Sheet& sheet) {
    ui::Page page = sheet.activate(1005);
    UiContext* ui = ContextOf(page);
    page.ctl(kCtlDocumentname).focus().setText(u"  Report \t");
    Send(CtlEditCommand, page, Row(page, kCtlDocumentname), WM_COMMAND, MAKEWPARAM(kCtlDocumentname, EN_KILLFOCUS));
    WCHAR text[64] = {};
    OptGetString(ui->driver, OptFindItem(ui->driver->itemTable, kItemDocumentName), text, 64);
    EXPECT_EQ(std::u16string(text), u"Report");
  });
  Document([&](ui::Sheet& sheet) {
    UiContext* ui = ContextOf(sheet.activate(1001));
    ui::onDialog(kPageMaintenance, [&](ui::Dlg& page) {
    ItemTableRow* item = OptFindItem(ui->driver->itemTable, kItemPresetComment);
    PageItemTemplate* row = Row(page, kCtlMaintComment);
    OptSetString(ui->driver, item, u"first\nsecond");
    Send(CtlEditShow, page, row, WM_PAINT);
    EXPECT_EQ(page.ctl(kCtlMaintComment).text(), u"first\r\nsecond");
    page.ctl(kCtlMaintComment).setText(u" one\r\ntwo ");
    Send(CtlEditCommand, page, row, WM_COMMAND, MAKEWPARAM(kCtlMaintComment, EN_KILLFOCUS));
    WCHAR text[64] = {};
    OptGetString(ui->driver, item, text, 64);
    EXPECT_EQ(std::u16string(text), u"one\ntwo");
    page.command(IDCANCEL);
    });
    PageRunSubDialog(ui, kPageModal, kPageMaintenance, sheet.current().hwnd());
    ui::onDialog(kPageMaintenance, nullptr);
  });
}

TEST_F(EditControlsTest, AnEditWithALineListShowsEachLabelWithItsItemOnALineOfItsOwn) {
  Document([&](ui::Sheet& sheet) {
    ui::Page basic = sheet.activate(1002);
    UiContext* ui = ContextOf(basic);
    OptSetString(ui->driver, OptFindItem(ui->driver->itemTable, kItemModelCode), u"QN-4711");
    ui::onDialog(kPageDialogVersion, [&](ui::Dlg& dialog) {
      const std::u16string text = dialog.ctl(kCtlVersionText).text();
      const std::u16string first = String(ui, 40001), second = String(ui, 40002), third = String(ui, 40003);
      const size_t one = text.find(u"\r\n"), two = text.find(u"\r\n", one + 2);
      ASSERT_NE(two, std::u16string::npos) << std::string(text.begin(), text.end());
      EXPECT_EQ(text.substr(0, first.size()), first);
      EXPECT_EQ(text.substr(one + 2, two - one - 2), second + u"QN-4711");
      EXPECT_EQ(text.substr(two + 2, third.size()), third);
      EXPECT_EQ(text.find(u"\r\n", two + 2), std::u16string::npos);
      dialog.command(IDCANCEL);
    });
    PageRunSubDialog(ui, kPageModal, kPageDialogVersion, basic.hwnd());
    ui::onDialog(kPageDialogVersion, nullptr);
  });
}

TEST_F(EditControlsTest, ScrollBarsWithoutARangeTakeTheirDefaults) {
  Document([&](ui::Sheet& sheet) {
    ui::Page page = sheet.activate(1002);
    PageItemTemplate spin = *Row(page, kCtlCopiesEditSpin);
    spin.node = nullptr;
    Send(CtlSpinInit, page, &spin, WM_INITDIALOG);
    EXPECT_EQ(Scroll(spin.window).nMin, -100);
    EXPECT_EQ(Scroll(spin.window).nMax, 100);

    ui::Page quality = sheet.activate(1006);
    PageItemTemplate slider = *Row(quality, kCtlBrightness);
    slider.node = nullptr;
    Send(CtlSliderInit, quality, &slider, WM_INITDIALOG);
    EXPECT_EQ(Scroll(slider.window).nMin, 0);
    EXPECT_EQ(Scroll(slider.window).nMax, 200);

    HWND bar = CreateWindowExW(0, TRACKBAR_CLASSW, u"", WS_CHILD | WS_VISIBLE, 0, 0, 100, 20, quality.hwnd(), nullptr,
                               nullptr, nullptr);
    PageItemTemplate track = slider;
    track.controlType = 0x55;
    track.window = bar;
    Send(CtlTrackbarInit, quality, &track, WM_INITDIALOG);
    EXPECT_EQ(SendMessageW(bar, TBM_GETRANGEMIN, 0, 0), 0);
    EXPECT_EQ(SendMessageW(bar, TBM_GETRANGEMAX, 0, 0), 200);

    // With the brightness range, -50..50, the position moved stores the item.
    UiContext* ui = ContextOf(quality);
    track.node = Row(quality, kCtlBrightness)->node;
    OptSetValue(ui->driver, kItemBrightness, 20);
    Send(CtlTrackbarInit, quality, &track, WM_INITDIALOG);
    EXPECT_EQ(SendMessageW(bar, TBM_GETRANGEMIN, 0, 0), -50);
    EXPECT_EQ(SendMessageW(bar, TBM_GETPOS, 0, 0), 20);
    SendMessageW(bar, TBM_SETPOS, TRUE, -30);
    Send(CtlTrackbarScroll, quality, &track, WM_HSCROLL, TB_THUMBPOSITION, reinterpret_cast<LPARAM>(bar));
    EXPECT_EQ(static_cast<LONG>(OptGetValue(ui->driver, kItemBrightness)), -30);
    DestroyWindow(bar);
  });
}

TEST_F(EditControlsTest, TheSpinStepsByOneAndStopsAtItsRange) {
  Document([&](ui::Sheet& sheet) {
    ui::Page page = sheet.activate(1002);
    UiContext* ui = ContextOf(page);
    PageItemTemplate* spin = Row(page, kCtlCopiesEditSpin);
    const struct {
      DWORD start;
      WORD code;
      DWORD expected;
      bool ranged;
    } cases[] = {{5, SB_LINEUP, 6, true},      {5, SB_LINEDOWN, 4, true},          {1, SB_LINEDOWN, 1, true},
                 {100, SB_LINEUP, 100, false}, {DWORD(-100), SB_LINEDOWN, DWORD(-100), false}};
    for (const auto& c : cases) {
      PageItemTemplate row = *spin;
      if (!c.ranged) row.node = nullptr;  // the copies' alerts stay out of the default range's ends
      OptSetValue(ui->driver, kItemCopies, c.start);
      Send(CtlSpinInit, page, &row, WM_INITDIALOG);
      Send(CtlSpinShow, page, &row, WM_PAINT);
      Send(CtlSpinScroll, page, &row, WM_VSCROLL, c.code, reinterpret_cast<LPARAM>(row.window));
      EXPECT_EQ(OptGetValue(ui->driver, kItemCopies), c.expected) << static_cast<LONG>(c.start);
    }
  });
}

TEST_F(EditControlsTest, SliderStepsComeFromItsExtraData) {
  struct StepCase {
    const WORD* extra;
    WORD code;
    LONG moved;
  };
  static const WORD kSteps[] = {3, 5, 20, 1};
  static const WORD kStepsOff[] = {3, 5, 20, 0};
  const StepCase cases[] = {
      {nullptr, SB_LINERIGHT, 1}, {nullptr, SB_PAGERIGHT, 10}, {kSteps, SB_LINERIGHT, 5},
      {kSteps, SB_PAGELEFT, -20}, {kStepsOff, SB_LINELEFT, -1}, {kSteps, SB_RIGHT, 1},
  };
  Document([&](ui::Sheet& sheet) {
    ui::Page page = sheet.activate(1006);
    UiContext* ui = ContextOf(page);
    PageItemTemplate* row = Row(page, kCtlBrightness);
    void* extra = row->extra;
    for (const StepCase& c : cases) {
      OptSetValue(ui->driver, kItemBrightness, 0);
      Send(CtlSliderShow, page, row, WM_PAINT);
      PageControlExtra record{1006, kCtlBrightness, 0, 0, 0, c.extra, 4};
      row->extra = c.extra ? &record : nullptr;
      Send(CtlSliderMessage, page, row, WM_HSCROLL, c.code, reinterpret_cast<LPARAM>(row->window));
      EXPECT_EQ(static_cast<LONG>(OptGetValue(ui->driver, kItemBrightness)), c.moved) << c.code;
    }
    row->extra = extra;
  });
}

TEST_F(EditControlsTest, NoArrowPopupAtTheMinimumOrMaximumOrBetweenTheArrows) {
  Document([&](ui::Sheet& sheet) {
    ui::Page page = sheet.activate(1006);
    UiContext* ui = ContextOf(page);
    PageItemTemplate scale = ScaleSlider(page);
    RECT client{};
    GetClientRect(scale.window, &client);
    const int left = client.left + 2, right = client.right - 2, middle = (client.left + client.right) / 2;
    const LONG y = (client.top + client.bottom) / 2;
    const struct {
      LONG value;
      int x;
      bool popup;
    } cases[] = {{-50, left, false}, {-50, right, true}, {50, right, false}, {50, left, true}, {0, middle, false}};
    for (const auto& c : cases) {
      OptSetValue(ui->driver, kItemBrightness, static_cast<DWORD>(c.value));
      Send(CtlSliderShowScale, page, &scale, WM_PAINT);
      Send(CtlSliderMessage, page, &scale, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(c.x, y));
      EXPECT_EQ(CtlSliderPressedArrow(ui) != nullptr, c.popup) << c.value << " at " << c.x;
      if (HWND popup = CtlSliderPressedArrow(ui)) {
        const UiDrawLog& drawn = UiWindowDrawLog(popup);
        ASSERT_EQ(drawn.size(), c.x == left ? 3u : 4u);  // face, frame, bar (and the plus's upright)
        EXPECT_EQ(drawn[1].kind, UiDrawKind::kEdge);
        EXPECT_EQ(drawn[1].style, static_cast<UINT>(EDGE_SUNKEN));
      }
      CtlSliderEndPress(ui);
    }
  });
}

TEST_F(EditControlsTest, TheScaleSliderPaintsMinusAndPlusGreyAtTheirBoundAndATickPerPageStep) {
  SubDialog(kPageDialogUserPqc, [&](UiContext* ui, ui::Dlg& dialog) {
    PageItemTemplate* scale = Row(dialog, kCtlPqcBrightnessSlider);
    ASSERT_EQ(scale->controlType, 0x54u);
    OptSetValue(ui->driver, kItemBrightness, static_cast<DWORD>(-50));
    UiBeginWindowLog(scale->window);
    EXPECT_EQ(CtlOnMessage(ui, dialog.hwnd(), scale, WM_PAINT, 0, 0), 0);
    const UiDrawLog& drawn = UiWindowDrawLog(scale->window);
    // Minus: face, frame, bar; plus: face, frame, two bars; then the ticks of -50..50 every 10.
    ASSERT_EQ(drawn.size(), 7u + 11u);
    EXPECT_EQ(drawn[1].style, static_cast<UINT>(EDGE_RAISED));
    EXPECT_EQ(drawn[2].color, GetSysColor(COLOR_GRAYTEXT));   // nothing below the minimum
    EXPECT_EQ(drawn[5].color, GetSysColor(COLOR_BTNTEXT));
    EXPECT_EQ(drawn[6].color, GetSysColor(COLOR_BTNTEXT));
    EXPECT_GT(drawn[6].rect.bottom - drawn[6].rect.top, drawn[5].rect.bottom - drawn[5].rect.top);  // the upright
    RECT client{};
    GetClientRect(scale->window, &client);
    const LONG arrow = GetSystemMetrics(SM_CXHSCROLL);
    EXPECT_EQ(drawn[7].rect.left, client.left + arrow);            // the minimum's tick
    EXPECT_EQ(drawn[17].rect.left, client.right - arrow - 1);      // the maximum's
    EXPECT_EQ(drawn[12].rect.left, (drawn[7].rect.left + drawn[17].rect.left) / 2);  // 0 in the middle
    EXPECT_EQ(drawn[12].rect.bottom, client.bottom);
    dialog.command(IDCANCEL);
  });
}

// Brightness runs from -50 to 50: its decimal edit takes a typed sign and shows what the slider
// sets without storing its own text back.
TEST_F(EditControlsTest, ANumberBelowZeroIsTypedAndShownWhereTheRangeReachesThere) {
  const struct {
    const char16_t* typed;
    LONG stored;
    const char16_t* shown;
  } cases[] = {{u"-20", -20, u"-20"}, {u"20", 20, u"20"}, {u"-", 0, u"0"}, {u"x-7", -7, u"-7"}};
  SubDialog(kPageDialogUserPqc, [&](UiContext* ui, ui::Dlg& dialog) {
    ui::Ctl edit = dialog.ctl(kCtlPqcBrightness);
    for (const auto& c : cases) {
      edit.focus().setText(c.typed);
      dialog.ctl(kCtlPqcBrightnessSlider).focus();
      EXPECT_EQ(static_cast<LONG>(OptGetValue(ui->driver, kItemBrightness)), c.stored) << c.stored;
      EXPECT_EQ(edit.text(), c.shown);
    }
    dialog.ctl(kCtlPqcBrightnessSlider).scroll(SB_THUMBPOSITION, static_cast<WORD>(-30));
    EXPECT_EQ(edit.text(), u"-30");
    EXPECT_EQ(static_cast<LONG>(OptGetValue(ui->driver, kItemBrightness)), -30);
    dialog.command(IDCANCEL);
  });
}

// The scale in a picture of the slider: grey minus at the minimum, black plus, and the ticks of
// -50..50 every 10 along the bottom of the track.
TEST_F(EditControlsTest, APictureOfTheScaleSliderShowsItsSignsAndTicks) {
  SubDialog(kPageDialogUserPqc, [&](UiContext* ui, ui::Dlg& dialog) {
    HWND slider = dialog.ctl(kCtlPqcBrightnessSlider).hwnd();
    OptSetValue(ui->driver, kItemBrightness, static_cast<DWORD>(-50));
    PageUpdateControls(ui, dialog.hwnd(), FALSE);
    UiImage picture;
    ASSERT_TRUE(UiRenderWindow(slider, &picture));
    RECT client{};
    GetClientRect(slider, &client);
    ASSERT_EQ(picture.width, client.right);
    const int arrow = GetSystemMetrics(SM_CXHSCROLL), middleY = client.bottom / 2, bottom = client.bottom - 1;
    const int first = arrow, last = client.right - arrow - 1;
    const struct {
      int x, y;
      int color;
    } pixels[] = {
        {arrow / 2, middleY, COLOR_GRAYTEXT},                  // the minus, nothing below the minimum
        {client.right - arrow / 2 - 1, middleY, COLOR_BTNTEXT},  // the plus's bar
        {client.right - arrow / 2 - 1, middleY - 3, COLOR_BTNTEXT},  // and its upright
        {first, bottom, COLOR_BTNTEXT},                        // the minimum's tick
        {first + (last - first) / 10, bottom, COLOR_BTNTEXT},  // -40
        {(first + last) / 2, bottom, COLOR_BTNTEXT},           // 0
        {last, bottom, COLOR_BTNTEXT},                         // the maximum's
    };
    for (const auto& p : pixels)
      EXPECT_EQ(picture.Pixel(p.x, p.y), GetSysColor(p.color)) << p.x << "," << p.y;
    EXPECT_NE(picture.Pixel(first + (last - first) / 20, bottom), GetSysColor(COLOR_BTNTEXT));  // between ticks
    dialog.command(IDCANCEL);
  });
}

// The user's quality dialog's scale sliders on the live dialog: scrolling reaches the class
// through the dialog, the colour message answers the null brush, and a press on an arrow moves
// the value through the scroll bar with the pressed popup gone afterwards.
TEST_F(EditControlsTest, TheLiveScaleSliderScrollsByItsStepsAndPressesItsArrows) {
  const struct {
    int code, position;
    LONG value;
  } scrolls[] = {{SB_LINERIGHT, 0, 1},  {SB_PAGERIGHT, 0, 11},     {SB_PAGELEFT, 0, 1}, {SB_LEFT, 0, 0},
                 {SB_THUMBTRACK, 45, 45}, {SB_PAGERIGHT, 0, 50}, {SB_RIGHT, 0, 50}};
  const struct {
    LONG start;
    bool plus;
    LONG value;
  } presses[] = {{-50, false, -50}, {-50, true, -49}, {50, true, 50}, {50, false, 49}};
  SubDialog(kPageDialogUserPqc, [&](UiContext* ui, ui::Dlg& dialog) {
    ui::Ctl slider = dialog.ctl(kCtlPqcBrightnessSlider);
    OptSetValue(ui->driver, kItemBrightness, 0);
    PageUpdateControls(ui, dialog.hwnd(), FALSE);
    for (const auto& c : scrolls) {
      slider.scroll(c.code, c.position);
      EXPECT_EQ(static_cast<LONG>(OptGetValue(ui->driver, kItemBrightness)), c.value) << c.code;
      EXPECT_EQ(Scroll(slider.hwnd()).nPos, c.value) << c.code;
    }
    EXPECT_EQ(SendMessageW(dialog.hwnd(), WM_CTLCOLORSCROLLBAR, 0, reinterpret_cast<LPARAM>(slider.hwnd())),
              reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH)));
    // Set up without its visual theme.
    bool themeOff = false;
    for (const UiThemeCall& call : UiThemeCalls())
      themeOff |= call.window == slider.hwnd() && call.subAppName == u" " && call.subIdList == u" ";
    EXPECT_TRUE(themeOff);

    RECT client{};
    GetClientRect(slider.hwnd(), &client);
    const LONG y = (client.top + client.bottom) / 2;
    for (const auto& c : presses) {
      OptSetValue(ui->driver, kItemBrightness, static_cast<DWORD>(c.start));
      PageUpdateControls(ui, dialog.hwnd(), FALSE);
      const POINT at{c.plus ? client.right - 2 : client.left + 2, y};
      slider.mouse(WM_LBUTTONDOWN, at, MK_LBUTTON).mouse(WM_LBUTTONUP, at);
      EXPECT_EQ(static_cast<LONG>(OptGetValue(ui->driver, kItemBrightness)), c.value) << c.start << c.plus;
      EXPECT_EQ(CtlSliderPressedArrow(ui), nullptr);
    }
    dialog.command(IDCANCEL);
  });
}

}  // namespace
}  // namespace velm::test
