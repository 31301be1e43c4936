// The small operations of the control classes on the real pages: linked steps kept inside their
// items' ranges, context help through WinHelpW, the file-dialog kinds, and the 3-D frame of a
// drawn button as the drawing log shows it.
#include "../pages/pages_fixture.h"

#include "settings/description/image.h"
#include "settings/items/page_control_extras.h"
#include "ui2k/controls/button_controls.h"
#include "ui2k/items/control_operations.h"
#include "ui2k/pages/sub_dialogs.h"

namespace velm::test {
namespace {

class ControlOperationsTest : public PagesTest {
 protected:
  void OnBasicPage(std::function<void(ui::Page&, UiContext*)> script) {
    Document([&](ui::Sheet& sheet) {
      ui::Page page = sheet.activate(kPageBasic);
      page.pump();
      script(page, ContextOf(page));
    });
  }
  static std::vector<COLORREF> LineColours(const UiDrawLog& log) {
    std::vector<COLORREF> colours;
    for (const UiDrawRecord& record : log)
      if (record.kind == UiDrawKind::kLine) colours.push_back(record.color);
    return colours;
  }
  static std::vector<WORD> Pictures(const UiDrawLog& log) {
    std::vector<WORD> ids;
    for (const UiDrawRecord& record : log)
      if (record.kind == UiDrawKind::kBitmap) ids.push_back(record.bitmapId);
    return ids;
  }
  static std::vector<std::u16string> Texts(const UiDrawLog& log) {
    std::vector<std::u16string> texts;
    for (const UiDrawRecord& record : log)
      if (record.kind == UiDrawKind::kText) texts.push_back(record.text);
    return texts;
  }
};

TEST_F(ControlOperationsTest, LinkedStepsStayInsideTheirItemsRanges) {
  Document([&](ui::Sheet& sheet) {
    UiContext* ui = ContextOf(sheet.current());
    ui::onDialog(kPageDialogUserPqc, [&](ui::Dlg& dialog) {
      dialog.pump();
      PageItemTemplate* picture = PageFindRow(dialog.hwnd(), kCtlPqcPicture);
      PageItemTemplate* brightness = PageFindRow(dialog.hwnd(), kCtlPqcBrightness);
      PageItemTemplate* contrast = PageFindRow(dialog.hwnd(), kCtlPqcContrast);
      ASSERT_TRUE(picture && brightness && contrast && brightness->node && contrast->node);
      DescRange range{}, contrastRange{};
      ASSERT_TRUE(DescNodeRange(ui->driver->description, brightness->node, &range));
      ASSERT_TRUE(DescNodeRange(ui->driver->description, contrast->node, &contrastRange));
      ASSERT_LT(range.minimum + 4, range.maximum);
      struct Case {
        LONG start;
        SHORT step;
        LONG expected;
      };
      const LONG middle = (range.minimum + range.maximum) / 2;
      for (const Case& c : {Case{range.maximum - 1, 5, range.maximum}, Case{range.maximum, 1, range.maximum},
                            Case{range.minimum + 1, -3, range.minimum}, Case{middle, 2, middle + 2},
                            Case{middle, -1, middle - 1}}) {
        SCOPED_TRACE(::testing::Message() << c.start << " " << c.step);
        // The contrast steps once with it; a control the page does not hold is skipped.
        const WORD words[] = {kExtraLinkedSteps, 3, kCtlHiddenList, 1, kCtlPqcBrightness, static_cast<WORD>(c.step),
                              kCtlPqcContrast, 1};
        const PageControlExtra extra{kPageDialogUserPqc, kCtlPqcPicture, 0, 0, 0, words, std::size(words)};
        picture->extra = const_cast<PageControlExtra*>(&extra);
        OptSetValue(ui->driver, brightness->itemId, static_cast<DWORD>(c.start));
        OptSetValue(ui->driver, contrast->itemId, static_cast<DWORD>(contrastRange.minimum));
        EXPECT_EQ(CtlStepLinkedItems(ui, dialog.hwnd(), picture), 1);
        EXPECT_EQ(static_cast<LONG>(OptGetValue(ui->driver, brightness->itemId)), c.expected);
        EXPECT_EQ(static_cast<LONG>(OptGetValue(ui->driver, contrast->itemId)), contrastRange.minimum + 1);
        picture->extra = nullptr;
      }
      dialog.command(IDCANCEL);
    });
    PageRunSubDialog(ui, kPageModal, kPageDialogUserPqc, sheet.current().hwnd());
    ui::onDialog(kPageDialogUserPqc, nullptr);
  });
}

TEST_F(ControlOperationsTest, ContextHelpCallsWinHelpWithTheControlsPair) {
  const std::u16string helpFile = u"C:\\help\\velmus.hlp";
  SetPrinterDataW(printer_, const_cast<LPWSTR>(u"HelpFileName"), REG_SZ,
                  reinterpret_cast<BYTE*>(const_cast<char16_t*>(helpFile.c_str())),
                  static_cast<DWORD>((helpFile.size() + 1) * sizeof(char16_t)));
  OnBasicPage([&](ui::Page& page, UiContext*) {
    HWND check = page.ctl(kCtlCollateCheck).hwnd();
    const PageItemTemplate* row = PageFindRow(page.hwnd(), kCtlCollateCheck);
    ASSERT_NE(row, nullptr);
    HELPINFO info{};
    info.cbSize = sizeof info;
    info.iContextType = HELPINFO_WINDOW;
    info.iCtrlId = kCtlCollateCheck;
    info.hItemHandle = check;
    struct Case {
      UINT message;
      WPARAM wParam;
      LPARAM lParam;
      UINT command;
    };
    for (const Case& c : {Case{WM_HELP, 0, reinterpret_cast<LPARAM>(&info), HELP_WM_HELP},
                          Case{WM_CONTEXTMENU, reinterpret_cast<WPARAM>(check), 0, HELP_CONTEXTMENU}}) {
      SCOPED_TRACE(c.message);
      const size_t before = ui::winHelpCalls().size();
      SendMessageW(page.hwnd(), c.message, c.wParam, c.lParam);
      ASSERT_EQ(ui::winHelpCalls().size(), before + 1);
      const UiWinHelpCall& call = ui::winHelpCalls().back();
      EXPECT_EQ(call.window, check);
      EXPECT_EQ(call.file, helpFile);
      EXPECT_EQ(call.command, c.command);
      EXPECT_EQ(call.pairs, (std::vector<DWORD>{kCtlCollateCheck, row->helpId}));
    }
    // A hidden control asks for nothing; the form over a page and control window finds the row by
    // that window.
    ShowWindow(check, SW_HIDE);
    const size_t before = ui::winHelpCalls().size();
    SendMessageW(page.hwnd(), WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(CtlContextHelp(page.hwnd(), check, WM_CONTEXTMENU), 0);
    EXPECT_EQ(ui::winHelpCalls().size(), before);
    ShowWindow(check, SW_SHOW);
    EXPECT_EQ(CtlContextHelp(page.hwnd(), check, WM_CONTEXTMENU), 1);
    EXPECT_EQ(ui::winHelpCalls().back().command, HELP_CONTEXTMENU);
    EXPECT_EQ(CtlContextHelp(page.hwnd(), page.hwnd(), WM_HELP), 0);  // not a control of a row
  });
}

TEST_F(ControlOperationsTest, FileDialogKinds) {
  struct Case {
    DWORD kind;
    BOOL file;
  };
  for (const Case& c : {Case{0x100, TRUE}, Case{0x200, TRUE}, Case{0x400, TRUE}, Case{0x800, TRUE},
                        Case{0x1000, TRUE}, Case{0x8000, TRUE}, Case{0x104, TRUE}, Case{0x4, FALSE}, Case{0x10, FALSE},
                        Case{0x20, FALSE}, Case{0x2000, FALSE}, Case{0x4000, FALSE}, Case{0, FALSE}}) {
    SCOPED_TRACE(c.kind);
    PageTemplate page{};
    page.kind = c.kind;
    EXPECT_EQ(PageIsFileDialog(&page), c.file);
    EXPECT_EQ(PageIsNotFileDialog(&page), !c.file);
  }
  EXPECT_TRUE(PageIsFileDialog(OptFindPage(OptGetStaticPageTable(), kPageFileopen)));
  EXPECT_TRUE(PageIsNotFileDialog(OptFindPage(OptGetStaticPageTable(), kPageBasic)));
}

TEST_F(ControlOperationsTest, TheFramesBevelsAndPicturesByStyle) {
  OnBasicPage([&](ui::Page& page, UiContext* ui) {
    const COLORREF face = GetSysColor(COLOR_BTNFACE), light = GetSysColor(COLOR_3DHILIGHT);
    const COLORREF dark = GetSysColor(COLOR_3DDKSHADOW), shadow = GetSysColor(COLOR_BTNSHADOW);
    ASSERT_EQ((std::set<COLORREF>{face, light, dark, shadow}).size(), 4u);
    HWND button = page.ctl(kCtlScaleButton).hwnd();
    const PageItemTemplate* row = PageFindRow(page.hwnd(), kCtlScaleButton);
    const RECT rect{0, 0, 40, 20};
    struct Case {
      DWORD style;
      BOOL pressed, inset;
      std::vector<COLORREF> lines;
      std::vector<WORD> pictures;
    };
    const std::vector<Case> cases = {
        {kFrameDoubleBevel, FALSE, FALSE, {light, light, dark, dark, face, face, shadow, shadow}, {}},
        {kFrameDoubleBevel, TRUE, FALSE, {shadow, shadow, face, face, dark, dark, light, light}, {}},
        {kFramePlain, FALSE, TRUE, {}, {}},
        {kFrameArrows | 0x10 | 0xC0, FALSE, FALSE, {}, {220, 220, 220, 220}},
        {kFrameArrows | 0x30 | 0x80, FALSE, FALSE, {}, {222, 222, 221, 221}},
        {kFrameArrows | 0x40, FALSE, FALSE, {}, {222, 222}},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message() << std::hex << c.style << " pressed " << c.pressed);
      HDC dc = GetDC(button);
      CtlDraw3DFrame(ui, page.hwnd(), row, button, dc, rect, c.style, c.pressed, c.inset);
      const UiDrawLog log = *UiDcDrawLog(dc);
      ReleaseDC(button, dc);
      ASSERT_FALSE(log.empty());
      const RECT filled = c.inset ? RECT{1, 1, 39, 19} : rect;
      EXPECT_EQ(log[0].kind, UiDrawKind::kFillRect);
      EXPECT_EQ(log[0].color, face);
      EXPECT_TRUE(EqualRect(&log[0].rect, &filled));
      EXPECT_EQ(LineColours(log), c.lines);
      EXPECT_EQ(Pictures(log), c.pictures);
      const bool framed = std::any_of(log.begin(), log.end(), [](const UiDrawRecord& r) {
        return r.kind == UiDrawKind::kFrameRect && r.color == GetSysColor(COLOR_WINDOWFRAME);
      });
      EXPECT_EQ(framed, (c.style & kFramePlain) != 0);
      // The scale button has no caption of its own.
      EXPECT_EQ(Texts(log), std::vector<std::u16string>{u"..."});
    }
  });
}

TEST_F(ControlOperationsTest, TheCaptionComesFromTheButtonCaptionTable) {
  Document([&](ui::Sheet& sheet) {
    ui::Page preset = sheet.activate(kPagePreset);
    preset.pump();
    UiContext* ui = ContextOf(preset);
    struct Case {
      WORD control;
      std::vector<std::u16string> texts;
    };
    for (const Case& c : {Case{kCtlPresetEdit, {String(ui, 13187)}}, Case{kCtlPresetRestore, {String(ui, 13188)}}}) {
      SCOPED_TRACE(c.control);
      HWND button = preset.ctl(c.control).hwnd();
      HDC dc = GetDC(button);
      CtlDraw3DFrame(ui, preset.hwnd(), PageFindRow(preset.hwnd(), c.control), button, dc, RECT{0, 0, 60, 20},
                     kFrameDoubleBevel, FALSE, FALSE);
      EXPECT_EQ(Texts(*UiDcDrawLog(dc)), c.texts);
      ReleaseDC(button, dc);
    }
    // A control marked as having no caption draws none; without a window nothing is written.
    PageItemTemplate none{};
    none.controlId = 2037;
    HWND button = preset.ctl(kCtlPresetEdit).hwnd();
    HDC dc = GetDC(button);
    CtlDraw3DFrame(ui, preset.hwnd(), &none, button, dc, RECT{0, 0, 60, 20}, kFrameDoubleBevel, FALSE, FALSE);
    CtlDraw3DFrame(ui, preset.hwnd(), nullptr, nullptr, dc, RECT{0, 0, 60, 20}, kFrameDoubleBevel, FALSE, FALSE);
    EXPECT_TRUE(Texts(*UiDcDrawLog(dc)).empty());
    ReleaseDC(button, dc);
  });
}

}  // namespace
}  // namespace velm::test
