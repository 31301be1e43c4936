// The initial-settings dialog: tray labels as the drawing log and a picture show them, the
// language warning, and the device query's two outcomes.
#include "../pages/pages_fixture.h"

#include <fstream>
#include <sstream>

#include "core/machine_root.h"

#include "ui2k/items/tray_labels.h"
#include "ui2k/pages/sub_dialogs.h"

namespace velm::test {
namespace {

constexpr WORD kSlot = 1;  // the second tray: label 2412
constexpr char16_t kMedia[] = u"/Transparency";

class InitialSettingsTest : public PagesTest {
 protected:
  void SetUp() override {
    PagesTest::SetUp();
    uiSeams_ = kUiSeamsRecording;
    UiSetSeams(&uiSeams_);
  }
  // The dialog's page with slot 1 holding custom-size transparencies lying long edge first.
  void OnInitialSettings(std::function<void(UiContext*, ui::Page&)> script) {
    Document([&](ui::Sheet& sheet) {
      ui::Page page = sheet.activate(kPageDialogInit);
      UiContext* ui = ContextOf(page);
      OptSetValue(ui->driver, kTraySlotPaperItem + kSlot, 256);
      OptSetValue(ui->driver, kTraySlotMediaItem + kSlot, 2);
      OptSetValue(ui->driver, kTraySlotOrientationItem + kSlot, 1);
      script(ui, page);
    });
  }
  static std::vector<const UiDrawRecord*> Of(const UiDrawLog& log, UiDrawKind kind) {
    std::vector<const UiDrawRecord*> records;
    for (const UiDrawRecord& record : log)
      if (record.kind == kind) records.push_back(&record);
    return records;
  }
  UiSeams uiSeams_{};
};

TEST_F(InitialSettingsTest, ATrayLabelShowsPaperPictureAndMediaAndCutsALongPaperName) {
  struct Case {
    const char* name;
    int paperRoomChars;     // what the label leaves the paper name
    std::u16string paper;   // as drawn
  };
  const Case cases[] = {
      {"room for the whole name", 20, u"Custom Size"},
      {"a name too long is cut with an ellipsis", 8, u"Custo..."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OnInitialSettings([&](UiContext* ui, ui::Page& page) {
      ui::Ctl label = page.ctl(kCtlTrayLabel2);
      RECT rect{};
      GetWindowRect(label.hwnd(), &rect);
      MapWindowPoints(nullptr, page.hwnd(), reinterpret_cast<POINT*>(&rect), 2);
      const int width = 16 + 8 * (13 + c.paperRoomChars);  // picture square, media, paper
      MoveWindow(label.hwnd(), rect.left, rect.top, width, 20, TRUE);
      const UiDrawLog log = label.paint();
      const auto fills = Of(log, UiDrawKind::kFillRect);
      ASSERT_FALSE(fills.empty());
      EXPECT_EQ(fills[0]->color, GetSysColor(COLOR_BTNFACE));
      const auto texts = Of(log, UiDrawKind::kText);
      std::vector<std::u16string> drawn;
      for (const UiDrawRecord* text : texts)
        if (!text->text.empty()) drawn.push_back(text->text);
      EXPECT_EQ(drawn, (std::vector<std::u16string>{c.paper, kMedia}));
      for (const UiDrawRecord* text : texts) EXPECT_EQ(text->color, GetSysColor(COLOR_WINDOWTEXT));
      const auto pictures = Of(log, UiDrawKind::kBitmap);
      ASSERT_EQ(pictures.size(), 1u);
      EXPECT_EQ(pictures[0]->bitmapId, 6193) << "long edge first";
      EXPECT_EQ(pictures[0]->rect.right - pictures[0]->rect.left, 16) << "a square of the text height";

      OptSetValue(ui->driver, kTraySlotOrientationItem + kSlot, 0);
      EnableWindow(label.hwnd(), FALSE);
      const UiDrawLog later = label.paint();
      ASSERT_EQ(Of(later, UiDrawKind::kBitmap).size(), 1u);
      EXPECT_EQ(Of(later, UiDrawKind::kBitmap)[0]->bitmapId, 6194);
      for (const UiDrawRecord* text : Of(later, UiDrawKind::kText)) EXPECT_EQ(text->color, GetSysColor(COLOR_GRAYTEXT));
    });
  }
}

TEST_F(InitialSettingsTest, TheCoverAndMarkDialogsPaintTheirLabelsForTheirSlots) {
  struct Case {
    WORD dialog, control;
    BYTE slot;
  };
  const Case cases[] = {{kPageDialogCover, 2463, 1}, {kPageDialogCover, 2521, 28}, {kPageDialogMark, 2545, 25}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.control);
    Document([&](ui::Sheet& sheet) {
      UiContext* ui = ContextOf(sheet.current());
      OptSetValue(ui->driver, kTraySlotOrientationItem + c.slot, 1);
      OptSetValue(ui->driver, kTraySlotMediaItem + c.slot, 3);
      ui::onDialog(c.dialog, [&](ui::Dlg& dialog) {
        dialog.pump();
        const UiDrawLog log = dialog.ctl(c.control).paint();
        const auto pictures = Of(log, UiDrawKind::kBitmap);
        ASSERT_EQ(pictures.size(), 1u);
        EXPECT_EQ(pictures[0]->bitmapId, 6193);
        std::u16string last;
        for (const UiDrawRecord* text : Of(log, UiDrawKind::kText)) last = text->text;
        EXPECT_EQ(last, u"/" + String(ui, 4603));
        dialog.command(IDCANCEL);
      });
      PageRunSubDialog(ui, kPageModal, c.dialog, sheet.current().hwnd());
    });
  }
}

TEST_F(InitialSettingsTest, TheDialogsPictureShowsTheLabels) {
  OnInitialSettings([&](UiContext*, ui::Page& page) {
    ui::Ctl label = page.ctl(kCtlTrayLabel2);
    RECT rect{};
    GetWindowRect(label.hwnd(), &rect);
    MapWindowPoints(nullptr, page.hwnd(), reinterpret_cast<POINT*>(&rect), 2);
    MoveWindow(label.hwnd(), rect.left, rect.top, 16 + 8 * (13 + 8), 20, TRUE);
    const std::filesystem::path png = root_.path() / "initial_settings.png";
    ASSERT_TRUE(UiSaveWindowPng(page.hwnd(), png));
    if (const char* keep = std::getenv("VELM_KEEP_PICTURES")) std::filesystem::copy_file(png, std::filesystem::path(keep) / png.filename(), std::filesystem::copy_options::overwrite_existing);
    UiImage image;
    ASSERT_TRUE(UiRenderWindow(page.hwnd(), &image));
    int text = 0;
    for (int y = rect.top; y < rect.top + 20; ++y)
      for (int x = rect.left; x < rect.left + 8 * 8; ++x) text += image.Pixel(x, y) == GetSysColor(COLOR_WINDOWTEXT);
    EXPECT_GT(text, 20) << "the cut paper name is drawn in the label";
  });
}

TEST_F(InitialSettingsTest, ChoosingAnotherLanguageWarnsChoosingTheSameOneDoesNot) {
  OnInitialSettings([&](UiContext* ui, ui::Page& page) {
    ui::Ctl combo = page.ctl(kCtlLanguageCombo);
    ASSERT_GT(combo.rows().size(), 1u);
    const int current = combo.selection();
    ASSERT_GE(current, 0);
    combo.select(current);
    EXPECT_TRUE(ui::messageBoxes().empty());
    ui::onMessageBox(std::deque<int>{IDOK});
    combo.select((current + 1) % static_cast<int>(combo.rows().size()));
    ASSERT_EQ(ui::messageBoxes().size(), 1u);
    EXPECT_EQ(ui::messageBoxes()[0].text, String(ui, 10056));
    EXPECT_EQ(ui::messageBoxes()[0].caption, u"Velm Printer");
    EXPECT_EQ(ui::messageBoxes()[0].type, static_cast<UINT>(MB_ICONWARNING));
  });
}

TEST_F(InitialSettingsTest, AFailedDeviceQueryIsReportedAndASucceededOneRebuildsThePresetsOnce) {
  for (BOOL answer : {FALSE, TRUE}) {
    SCOPED_TRACE(answer);
    static BOOL s_answer;
    s_answer = answer;
    uiSeams_.bidiUiFetchInstalledOptions = [](UiContext*) -> BOOL { return UiNoteSeamCall("Fetch"), s_answer; };
    OnInitialSettings([&](UiContext*, ui::Page& page) {
      UiClearSeamCalls();
      page.ctl(kCtlQueryOptions).click();
      EXPECT_EQ(Count("Fetch"), 1);
      EXPECT_EQ(Count("BidiUiUpdateStatus"), answer ? 0 : 1);
      EXPECT_EQ(Count("InstRefreshPresetsOnce 0"), answer ? 1 : 0);
    });
  }
}

// What the job-credential service was told since the log was last removed.
std::string ServiceLog() {
  std::ifstream in(platform::MachineStore("jobcr") / "calls.log");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST_F(InitialSettingsTest, TheJobControlButtonSendsTheLanguageAndTheCredentialButtonWritesTheUserCode) {
  struct Case {
    WORD button;
    std::string told;
    int fetches;
  };
  const Case cases[] = {
      {kCtlJobControl, "notify Velm Printer 1 0800000006000c00\n", 0},  // French
      {kCtlQueryCredentials, "write Velm Printer 1\n", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button);
    OnInitialSettings([&](UiContext* ui, ui::Page& page) {
      ASSERT_TRUE(OptSetValue(ui->driver, kItemLanguageID, 6));
      ASSERT_TRUE(OptSetString(ui->driver, OptFindItem(ui->driver->itemTable, kItemUserCode), u"1234"));
      std::filesystem::remove(platform::MachineStore("jobcr") / "calls.log");
      UiClearSeamCalls();
      page.ctl(c.button).click();
      EXPECT_EQ(ServiceLog(), c.told);
      EXPECT_EQ(Count("BidiUiFetchInstalledOptions"), c.fetches);
    });
  }
}

}  // namespace
}  // namespace velm::test
