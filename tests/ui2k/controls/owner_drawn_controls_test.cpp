// The owner-drawn lists, combos and check list and the stored-settings icon list on the real
// pages: what their rows draw, a check-list row toggled by the keyboard and the mouse, and a
// saved setting chosen in the icon list, kept or undone on a conflict.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "../pages/pages_fixture.h"
#include "settings/context/settings_history.h"
#include "settings/persistence/paths.h"
#include "settings/services/spooler_info.h"
#include "ui2k/controls/control_classes.h"
#include "ui2k/controls/painters.h"
#include "ui2k/pages/sub_dialogs.h"
#include "ui/png_writer.h"

namespace velm::test {
namespace {

// The second staple position hidden while copies are 77 (the statements come before the block
// that names them); a saved-settings index that conflicts once a loaded setting's stamp density
// is above 90.
constexpr char kStatements[] =
    "*Judge 911=TestDensityHigh: ZMD_vdmWmDensity > 90\n"
    "*Alert 905=TestPresetAlert: { {TestDensityHigh ZMD_ScaleIllegalMessage MB_ICONSTOP MB_OK AlertDialog NULL} }\n";
constexpr char kEntries[] = "  {ZMD_vdmPresetNo NULL NULL NULL TestPresetAlert NULL NULL}\n";
constexpr char kStapleValues[] =
    "*Judge 912=TestStapleHidden: ZMD_dmCopies == 77\n"
    "*Item 6=StapleValues: {\n"
    "  {VDMSTAPLETYPE_S1 NULL NULL} {VDMSTAPLETYPE_S2 NULL TestStapleHidden}\n"
    "}\n";
constexpr WORD kStapleS1 = 2700, kStapleS2 = 2701;
constexpr WORD kMark = 6195;
constexpr WORD kUnchecked = 7001, kChecked = 7003, kUncheckedDisabled = 7002;
constexpr WORD kFirstEntry = 119;

// The sheet's own procedure while a test counts the PSM_CHANGED it gets, and their pages.
LONG_PTR g_sheetProcedure = 0;
std::vector<HWND> g_changedTabs;
LRESULT CALLBACK CountingSheetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == PSM_CHANGED) g_changedTabs.push_back(reinterpret_cast<HWND>(wParam));
  return CallWindowProcW(reinterpret_cast<WNDPROC>(g_sheetProcedure), window, message, wParam, lParam);
}

class OwnerDrawnTest : public PagesTest {
 protected:
  void SetUp() override {
    PagesTest::SetUp();
    if (HasFatalFailure()) return;
    ReinstallModel([](std::string& text) {
      ReplaceBlock(text, "*Item 6=StapleValues: {", kStapleValues);
      const std::string exclusive = "*Exclusive: {\n";
      const size_t at = text.find(exclusive);
      ASSERT_NE(at, std::string::npos);
      text.insert(at + exclusive.size(), kEntries);
      text.insert(at, kStatements);
    });
  }

  void OnPage(WORD pageId, std::function<void(ui::Page&, UiContext*)> script) {
    Document([&](ui::Sheet& sheet) {
      ui::Page page = sheet.activate(pageId);
      page.pump();
      script(page, ContextOf(page));
    });
  }

  // What row `itemId` of `control` draws with `itemState` (and `action`) into a fresh canvas of
  // the row's size, the message sent to the page as the control sends it.
  static UiDrawLog DrawRow(ui::Page& page, WORD control, UINT itemId, ULONG_PTR data, UINT itemState,
                           UINT action = ODA_DRAWENTIRE) {
    HWND window = page.ctl(control).hwnd();
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP canvas = CreateCompatibleBitmap(dc, 200, 40);
    HGDIOBJ previous = SelectObject(dc, canvas);
    DRAWITEMSTRUCT draw{};
    draw.CtlType = ui::Ctl(window).className() == u"ComboBox" ? ODT_COMBOBOX : ODT_LISTBOX;
    draw.CtlID = control;
    draw.itemID = itemId;
    draw.itemAction = action;
    draw.itemState = itemState;
    draw.hwndItem = window;
    draw.hDC = dc;
    draw.rcItem = RECT{0, 0, 200, 16};
    draw.itemData = data;
    SendMessageW(page.hwnd(), WM_DRAWITEM, control, reinterpret_cast<LPARAM>(&draw));
    UiDrawLog log = *UiDcDrawLog(dc);
    SelectObject(dc, previous);
    DeleteObject(canvas);
    DeleteDC(dc);
    return log;
  }

  // The window as the screen shows it, also written as `name`.png into $VELM_TEST_PICTURES when
  // that is set (to look at).
  static UiImage Picture(HWND window, const std::string& name) {
    UiImage image;
    EXPECT_TRUE(UiRenderWindow(window, &image));
    if (const char* folder = std::getenv("VELM_TEST_PICTURES")) {
      const std::vector<BYTE> png = ui::EncodePng(image.width, image.height, image.rgb);
      std::ofstream(std::filesystem::path(folder) / (name + ".png"), std::ios::binary)
          .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    }
    return image;
  }

  static std::vector<UiDrawRecord> Of(const UiDrawLog& log, UiDrawKind kind) {
    std::vector<UiDrawRecord> found;
    for (const UiDrawRecord& record : log)
      if (record.kind == kind) found.push_back(record);
    return found;
  }
  static const UiDrawRecord* Bitmap(const UiDrawLog& log, WORD id) {
    for (const UiDrawRecord& record : log)
      if (record.kind == UiDrawKind::kBitmap && record.bitmapId == id) return &record;
    return nullptr;
  }

  // A stored settings file whose stamp density is `density`, listed as saved setting `n`.
  void StoreSetting(UiContext* ui, int n, int density) {
    const std::string file = "sets/s" + std::to_string(n) + ".rst";
    const std::filesystem::path host = root_.OnDriveC(file);
    std::filesystem::create_directories(host.parent_path());
    const std::u16string printer = PrnGetPrinterName(ui->driver);
    std::ofstream(host, std::ios::binary)
        << "[" << std::string(printer.begin(), printer.end()) << "]\r\nRstVersion=200\r\nRstMachine=130\r\n"
        << "RstLanguage=" << OptGetValue(ui->driver, kItemLanguageID) << "\r\nvdmWmDensity=" << density << "\r\n";
    const std::u16string key = u"PresetList" + std::u16string(1, static_cast<char16_t>(u'0' + n));
    const std::u16string path = u"C:\\sets\\s" + std::u16string(1, static_cast<char16_t>(u'0' + n)) + u".rst";
    const WCHAR* ini = PathGetSettingsIni(ui->driver);
    std::string folder(ini + 3, ini + std::char_traits<char16_t>::length(ini));
    for (char& ch : folder)
      if (ch == '\\') ch = '/';
    std::filesystem::create_directories(root_.OnDriveC(folder).parent_path());
    WritePrivateProfileStringW(printer.c_str(), key.c_str(), path.c_str(), ini);
    WritePrivateProfileStringW(printer.c_str(), (key + u"Name").c_str(), (u"Setting " + key).c_str(), ini);
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, ini);
    g_presets.names.resize(std::max<size_t>(g_presets.names.size(), n + 1));
  }
};

TEST(OwnerDrawnClassTable, HoldsTheOwnerDrawnTypes) {
  for (WORD type : {0x2f, 0x30, 0x31, 0x32}) {
    const CtlClass* found = CtlFindClass(type);
    ASSERT_NE(found, nullptr) << type;
    EXPECT_NE(found->fill, nullptr);
    EXPECT_NE(found->message, nullptr);
  }
  EXPECT_EQ(CtlFindClass(0x31)->subclass, CtlWndProc) << "the check list takes its own keys";
}

TEST_F(OwnerDrawnTest, ARowIsDrawnInTheColoursOfItsState) {
  OnPage(kPagePrintquality, [&](ui::Page& page, UiContext*) {
    struct Case {
      const char* what;
      UINT state;
      bool enabled;
      int fill, text;
      bool focus;
    } cases[] = {
        {"plain", 0, true, COLOR_WINDOW, COLOR_WINDOWTEXT, false},
        {"selected with the focus", ODS_SELECTED | ODS_FOCUS, true, COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT, true},
        {"disabled by its state", ODS_DISABLED | ODS_SELECTED, true, COLOR_BTNFACE, COLOR_GRAYTEXT, false},
        {"in a disabled list", 0, false, COLOR_BTNFACE, COLOR_GRAYTEXT, false},
    };
    HWND list = page.ctl(kCtlQualityList).hwnd();
    const ULONG_PTR data = SendMessageW(list, LB_GETITEMDATA, 2, 0);
    for (const Case& c : cases) {
      EnableWindow(list, c.enabled);
      const UiDrawLog log = DrawRow(page, kCtlQualityList, 2, data, c.state);
      const auto fills = Of(log, UiDrawKind::kFillRect);
      const auto texts = Of(log, UiDrawKind::kText);
      ASSERT_FALSE(fills.empty()) << c.what;
      ASSERT_EQ(texts.size(), 1u) << c.what;
      EXPECT_EQ(fills.front().color, GetSysColor(c.fill)) << c.what;
      EXPECT_EQ(texts[0].color, GetSysColor(c.text)) << c.what;
      EXPECT_EQ(texts[0].text, u"Print quality No.3") << c.what;
      EXPECT_EQ(Of(log, UiDrawKind::kFocusRect).size(), c.focus ? 1u : 0u) << c.what;
    }
    EnableWindow(list, TRUE);
    const UiDrawLog focusOnly = DrawRow(page, kCtlQualityList, 2, data, ODS_FOCUS, ODA_FOCUS);
    ASSERT_EQ(focusOnly.size(), 1u);
    EXPECT_EQ(focusOnly[0].kind, UiDrawKind::kFocusRect);
    EXPECT_TRUE(DrawRow(page, kCtlQualityList, 2, 0, 0).empty()) << "a row without data draws nothing";
  });
}

TEST_F(OwnerDrawnTest, AHiddenValueWithAConflictMarkIsGreyedAndIndentedBehindItsMark) {
  OnPage(kPageFinish, [&](ui::Page& page, UiContext* ui) {
    OptSetValue(ui->driver, kItemCopies, 77);
    HWND combo = page.ctl(kCtlStapleType).hwnd();
    EnableWindow(combo, TRUE);
    struct Case {
      WORD value;
      bool marked;
    } cases[] = {{kStapleS2, true}, {kStapleS1, false}};
    for (const Case& c : cases) {
      const UiDrawLog log = DrawRow(page, kCtlStapleType, 1, c.value, 0);
      const UiDrawRecord* mark = Bitmap(log, kMark);
      const UiDrawRecord* picture = Bitmap(log, c.value);
      const auto texts = Of(log, UiDrawKind::kText);
      ASSERT_NE(picture, nullptr) << c.value;
      ASSERT_EQ(texts.size(), 1u) << c.value;
      EXPECT_EQ(texts[0].text, String(ui, c.value));
      if (c.marked) {
        ASSERT_NE(mark, nullptr);
        EXPECT_LT(mark->rect.left, 16) << "the mark stands in the row's first square";
        EXPECT_GE(picture->rect.left, 16) << "the value is indented by the row height";
        EXPECT_EQ(texts[0].color, GetSysColor(COLOR_GRAYTEXT));
      } else {
        EXPECT_EQ(mark, nullptr);
        EXPECT_LT(picture->rect.left, 16);
        EXPECT_EQ(texts[0].color, GetSysColor(COLOR_WINDOWTEXT));
      }
      EXPECT_GT(texts[0].rect.left, picture->rect.right - 1) << "the name follows the picture";
    }
  });
}

TEST_F(OwnerDrawnTest, TheRenderedPageShowsTheMarkedValueAndTheDisabledCombo) {
  OnPage(kPageFinish, [&](ui::Page& page, UiContext* ui) {
    OptSetValue(ui->driver, kItemCopies, 77);
    HWND staple = page.ctl(kCtlStapleType).hwnd();
    HWND punch = page.ctl(kCtlPunchType).hwnd();
    EnableWindow(staple, TRUE);
    EnableWindow(punch, FALSE);
    SendMessageW(staple, CB_SETCURSEL, 1, 0);
    ASSERT_EQ(SendMessageW(staple, CB_GETITEMDATA, 1, 0), kStapleS2);
    ASSERT_GE(SendMessageW(punch, CB_GETCURSEL, 0, 0), 0);
    const UiImage image = Picture(page.hwnd(), "owner_drawn_finishing");
    // Where each combo's row lies in the page's picture: inside its frame, left of its arrow.
    auto field = [&](HWND combo) {
      RECT rect{};
      GetWindowRect(combo, &rect);
      MapWindowPoints(nullptr, page.hwnd(), reinterpret_cast<POINT*>(&rect), 2);
      return RECT{rect.left + 3, rect.top + 3, rect.right - 20, rect.bottom - 3};
    };
    auto count = [&](const RECT& rect, COLORREF color) {
      int n = 0;
      for (LONG y = rect.top; y < rect.bottom; ++y)
        for (LONG x = rect.left; x < rect.right; ++x) n += image.Pixel(x, y) == color;
      return n;
    };
    const RECT disabled = field(punch), marked = field(staple);
    EXPECT_GT(count(disabled, GetSysColor(COLOR_GRAYTEXT)), 10) << "grey text";
    EXPECT_EQ(count(RECT{disabled.left + 20, disabled.top, disabled.right, disabled.bottom}, GetSysColor(COLOR_WINDOW)), 0)
        << "beside its picture, on the button face rather than the window colour";
    const RECT markSquare{marked.left, marked.top, marked.left + 20, marked.bottom};
    EXPECT_GT(count(RECT{marked.left + 20, marked.top, marked.right, marked.bottom}, GetSysColor(COLOR_GRAYTEXT)), 10)
        << "the hidden value's name in grey";
    EXPECT_LT(count(markSquare, GetSysColor(COLOR_WINDOW)), (markSquare.right - markSquare.left) * (markSquare.bottom - markSquare.top))
        << "the mark fills part of the first square";
  });
}

TEST_F(OwnerDrawnTest, TheOpenDrawnComboHighlightsItsRowAndHintsItsName) {
  OnPage(kPageFinish, [&](ui::Page& page, UiContext* ui) {
    ui::Ctl combo = page.ctl(kCtlStapleType);
    EnableWindow(combo.hwnd(), TRUE);
    ASSERT_GE(SendMessageW(combo.hwnd(), CB_GETCOUNT, 0, 0), 2);
    SendMessageW(combo.hwnd(), CB_SETCURSEL, 1, 0);
    combo.dropDown(true);
    const UiDrawLog& log = combo.paint();
    bool highlighted = false;
    for (const UiDrawRecord& record : log)
      highlighted |= record.kind == UiDrawKind::kText && record.text == String(ui, kStapleS2) &&
                     record.color == GetSysColor(COLOR_HIGHLIGHTTEXT);
    EXPECT_TRUE(highlighted);
    ASSERT_NE(ui->state.frame.hint, nullptr);
    EXPECT_EQ(ui::Ctl(ui->state.frame.hint).text(), String(ui, kStapleS2));
    RECT hint{}, list{};
    GetWindowRect(ui->state.frame.hint, &hint);
    SendMessageW(combo.hwnd(), CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&list));
    EXPECT_GE(hint.top, list.bottom) << "below the open list";
    combo.dropDown(false);
    combo.paint();
    EXPECT_EQ(ui->state.frame.hint, nullptr) << "the hint goes with the list";
  });
}

TEST_F(OwnerDrawnTest, AListAnswersItsColourMessageWithItsBackground) {
  Document([&](ui::Sheet& sheet) {
    struct Case {
      const char* what;
      WORD pageId, control;
      bool enabled;
      bool pageBrush;  // else the white stock brush
    } cases[] = {
        {"owner-drawn list", kPagePrintquality, kCtlQualityList, true, false},
        {"disabled owner-drawn list", kPagePrintquality, kCtlQualityList, false, true},
        {"icon list", kPagePreset, kCtlPresetList, true, true},
    };
    for (const Case& c : cases) {
      ui::Page page = sheet.activate(c.pageId);
      page.pump();
      UiContext* ui = ContextOf(page);
      HWND list = page.ctl(c.control).hwnd();
      EnableWindow(list, c.enabled);
      HDC dc = GetDC(list);
      const auto answer = reinterpret_cast<HBRUSH>(
          SendMessageW(page.hwnd(), WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(list)));
      ReleaseDC(list, dc);
      EnableWindow(list, TRUE);
      EXPECT_EQ(answer, c.pageBrush ? ui->state.brushes[0] : static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH))) << c.what;
    }
  });
}

TEST_F(OwnerDrawnTest, TheDrawnComboShowsAValueOnlyAfterItChangedAndKeepsItsRowForAnUnlistedOne) {
  OnPage(kPageFinish, [&](ui::Page& page, UiContext* ui) {
    PageItemTemplate* row = PageFindRow(page.hwnd(), kCtlStapleType);
    ASSERT_NE(row, nullptr);
    ui::Ctl combo = page.ctl(kCtlStapleType);
    struct Case {
      const char* what;
      DWORD value;
      LONG changed;
      int selected;  // the row selected after the refresh
    } cases[] = {
        {"changed to the second value", kStapleS2, 1, 1},
        {"not changed since binding", kStapleS1, 0, 1},
        {"changed to a value without a row", 2600, 1, 1},
        {"changed back to the first", kStapleS1, 1, 0},
    };
    for (const Case& c : cases) {
      OptSetModelValueById(ui->driver, kItemStapleType, c.value);
      row->itemRow->changed = c.changed;
      CtlRefresh(ui, page.hwnd(), row);
      EXPECT_EQ(combo.selection(), c.selected) << c.what;
    }
  });
}

TEST_F(OwnerDrawnTest, ACheckListRowIsToggledByTheSpaceKeyAndAClickWithPsmChanged) {
  Document([&](ui::Sheet& sheet) {
    ui::Page page = sheet.activate(kPageBasic);
    page.pump();
    UiContext* ui = ContextOf(page);
    ui::onDialog(kPageDialogHiddenFunc, [&](ui::Dlg& dialog) {
      ui::Ctl list = dialog.ctl(kCtlHiddenList);
      ASSERT_EQ(SendMessageW(list.hwnd(), LB_GETCOUNT, 0, 0), 4);
      EXPECT_EQ(static_cast<WORD>(SendMessageW(list.hwnd(), LB_GETITEMDATA, 1, 0)), kItemHideFunc2);
      g_sheetProcedure = SetWindowLongPtrW(sheet.hwnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingSheetProc));
      g_changedTabs.clear();
      list.select(1);
      list.type(u" ");
      dialog.pump();
      EXPECT_EQ(OptGetValue(ui->driver, kItemHideFunc2), 1u);
      EXPECT_EQ(g_changedTabs, std::vector<HWND>{page.hwnd()}) << "PSM_CHANGED for the tab the dialog is over";
      RECT row{};
      SendMessageW(list.hwnd(), LB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&row));
      const POINT inside{row.left + 4, row.top + 4};
      list.mouse(WM_LBUTTONDOWN, inside).mouse(WM_LBUTTONUP, inside);
      dialog.pump();
      EXPECT_EQ(OptGetValue(ui->driver, kItemHideFunc3), 1u);
      list.type(u" ");
      dialog.pump();
      EXPECT_EQ(OptGetValue(ui->driver, kItemHideFunc3), 0u) << "toggled back";
      list.type(u"x");
      EXPECT_EQ(OptGetValue(ui->driver, kItemHideFunc3), 0u) << "only the space key toggles";

      const UiDrawLog& drawn = list.paint();
      EXPECT_NE(Bitmap(drawn, kChecked), nullptr);
      EXPECT_NE(Bitmap(drawn, kUnchecked), nullptr);
      bool labelled = false;
      for (const UiDrawRecord& record : drawn) labelled |= record.kind == UiDrawKind::kText && record.text == String(ui, 4931);
      EXPECT_TRUE(labelled);
      EnableWindow(list.hwnd(), FALSE);
      SendMessageW(list.hwnd(), WM_CHAR, u' ', 0);
      EXPECT_EQ(OptGetValue(ui->driver, kItemHideFunc3), 0u) << "a disabled list is not toggled";
      EXPECT_NE(Bitmap(list.paint(), kUncheckedDisabled), nullptr);
      EnableWindow(list.hwnd(), TRUE);
      Picture(dialog.hwnd(), "owner_drawn_hidden_functions");
      dialog.ctl(IDCANCEL).click();
    });
    PageRunSubDialog(ui, kPageModal, kPageDialogHiddenFunc, page.hwnd());
    SetWindowLongPtrW(sheet.hwnd(), GWLP_WNDPROC, g_sheetProcedure);
  });
}

TEST_F(OwnerDrawnTest, AChosenSavedSettingIsKeptOrOnAConflictUndoneWithABeepAndTheFirstRow) {
  struct Case {
    const char* what;
    int density;
    bool conflict;
    DWORD density_after, preset_after;
  } cases[] = {
      {"kept", 40, false, 40, kFirstEntry + 1},
      {"conflict", 95, true, 20, kFirstEntry},
  };
  for (const Case& c : cases) {
    OnPage(kPagePreset, [&](ui::Page& page, UiContext* ui) {
      StoreSetting(ui, 0, 20);
      StoreSetting(ui, 1, c.density);
      OptSetValue(ui->driver, kItemWmDensity, 5);
      PageItemTemplate* row = PageFindRow(page.hwnd(), kCtlPresetList);
      ASSERT_NE(row, nullptr);
      CtlInit(ui, page.hwnd(), row);
      ui::Ctl list = page.ctl(kCtlPresetList);
      ASSERT_EQ(list.rows(), (std::vector<std::u16string>{u"C:\\sets\\s0.rst", u"C:\\sets\\s1.rst"})) << c.what;
      const DWORD depth = DmHistoryDepth(ui->driver);
      int maintenance = 0;
      ui::onDialog(kPageMaintenance, [&](ui::Dlg& dialog) {
        ++maintenance;
        dialog.ctl(IDCANCEL).click();
      });
      if (c.conflict) ui::onMessageBox({IDOK});
      list.select(1);
      page.pump();
      EXPECT_EQ(OptGetValue(ui->driver, kItemWmDensity), c.density_after) << c.what;
      EXPECT_EQ(OptGetModelValueById(ui->driver, kItemPresetNo), c.preset_after) << c.what;
      EXPECT_EQ(ui::beeps().size(), c.conflict ? 1u : 0u) << c.what;
      if (c.conflict) {
        EXPECT_EQ(ui::beeps()[0].type, 0xFFFFFFFFu);
      }
      EXPECT_EQ(maintenance, c.conflict ? 1 : 0) << c.what;
      EXPECT_EQ(list.selection(), c.conflict ? 0 : 1) << c.what;
      EXPECT_EQ(DmHistoryDepth(ui->driver), depth) << c.what;
    });
  }
}

TEST_F(OwnerDrawnTest, DrawingTheIconListLoadsEachRowInsideASnapshotAndOpensNoDialog) {
  OnPage(kPagePreset, [&](ui::Page& page, UiContext* ui) {
    StoreSetting(ui, 0, 20);
    StoreSetting(ui, 1, 40);
    OptSetValue(ui->driver, kItemWmDensity, 5);
    PageItemTemplate* row = PageFindRow(page.hwnd(), kCtlPresetList);
    CtlInit(ui, page.hwnd(), row);
    const DWORD depth = DmHistoryDepth(ui->driver);
    UiClearSeamCalls();
    const UiDrawLog& log = page.ctl(kCtlPresetList).paint();
    bool named = false;
    int sheets = 0;  // the preview's sheet, one a row
    for (const UiDrawRecord& record : log) {
      named |= record.kind == UiDrawKind::kText && record.text == u"Setting PresetList1" && (record.flags & DT_CENTER);
      sheets += record.kind == UiDrawKind::kRectangle;
    }
    EXPECT_EQ(sheets, 2) << "one preview a row";
    EXPECT_TRUE(named);
    EXPECT_EQ(OptGetValue(ui->driver, kItemWmDensity), 5u) << "every row's load undone";
    Picture(page.hwnd(), "owner_drawn_saved_settings");
    EXPECT_EQ(DmHistoryDepth(ui->driver), depth);
    EXPECT_TRUE(ui::messageBoxes().empty());
  });
}

}  // namespace
}  // namespace velm::test
