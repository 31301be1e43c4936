// The page preview on the real pages of the document sheet: what it draws for the paper,
// orientation, n-up layout, binding edge and stamp of the settings, the one description the
// preview pictures and the saved-settings lists share, the redraw after a change of paper, and
// the routing of the pages' and the controls' paints.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "../pages/pages_fixture.h"
#include "ui2k/controls/control_classes.h"
#include "ui2k/controls/preview_data.h"
#include "ui2k/controls/preview_painter.h"

namespace velm::test {
namespace {

constexpr COLORREF kStampColor = RGB(208, 0, 0);
constexpr COLORREF kBindingColor = RGB(64, 64, 64);

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

int CountBitmaps(const UiDrawLog& log, WORD id) {
  return static_cast<int>(std::count_if(log.begin(), log.end(), [&](const UiDrawRecord& r) {
    return r.kind == UiDrawKind::kBitmap && r.bitmapId == id;
  }));
}

const UiDrawRecord* Find(const UiDrawLog& log, std::function<bool(const UiDrawRecord&)> match) {
  const auto found = std::find_if(log.begin(), log.end(), match);
  return found == log.end() ? nullptr : &*found;
}

// The sheet's frame: the preview's one rectangle.
RECT SheetOf(const UiDrawLog& log) {
  const UiDrawRecord* frame = Find(log, [](const UiDrawRecord& r) { return r.kind == UiDrawKind::kRectangle; });
  return frame ? frame->rect : RECT{};
}

class PreviewPainterTest : public PagesTest {
 protected:
  // The interface library as the process knows it: its file name names the preview library,
  // which lies beside it in the driver directory.
  void SetUp() override {
    PagesTest::SetUp();
    if (HasFatalFailure()) return;
    ownModule_ = LoadLibraryW(u"C:\\Windows\\System32\\spool\\drivers\\w32x86\\3\\velmui.dll");
    ASSERT_NE(ownModule_, nullptr);
    SysProcessState().module = ownModule_;
  }
  void TearDown() override {
    SysProcessState().module = nullptr;
    if (ownModule_) FreeLibrary(ownModule_);
    PagesTest::TearDown();
  }
  // The basic page in front, `script` run on it with its context.
  void OnBasicPage(std::function<void(ui::Page&, UiContext*)> script) {
    Document([&](ui::Sheet& sheet) {
      ui::Page page = sheet.activate(kPageBasic);
      page.pump();
      script(page, ContextOf(page));
    });
  }
  static void SetText(UiContext* ui, WORD item, const char16_t* text) {
    OptSetString(ui->driver, OptFindItem(ui->driver->itemTable, item), text);
  }

  HMODULE ownModule_ = nullptr;
};

// ---- The drawing for a few settings --------------------------------------------------------

struct Drawn {
  const char* what;
  std::vector<std::pair<WORD, DWORD>> items;
  bool tall;           // the sheet stands upright
  WORD orientation;    // the orientation picture shown
  int pages;           // paper pictures on the sheet
  bool layoutFrame;    // the layout picture shown
  const char16_t* stamp;
  int bindingSide;     // 0 none, 1 top, 2 right, 3 left
};

const Drawn kDrawn[] = {
    {"portrait A4", {{kItemPaperSize, 9}, {kItemOrientation, 1}}, true, 2026, 1, false, nullptr, 0},
    {"landscape A4", {{kItemPaperSize, 9}, {kItemOrientation, 2}}, false, 2027, 1, false, nullptr, 0},
    {"2-up turns a portrait sheet", {{kItemOrientation, 1}, {kItemFuncSelectNup, 1}, {kItemNUPType, 1}}, false, 2026,
     2, true, nullptr, 0},
    {"2-up turns a landscape sheet", {{kItemOrientation, 2}, {kItemFuncSelectNup, 1}, {kItemNUPType, 1}}, true, 2027,
     2, true, nullptr, 0},
    {"4-up", {{kItemOrientation, 1}, {kItemFuncSelectNup, 1}, {kItemNUPType, 33}}, true, 2026, 4, true, nullptr, 0},
    {"a layout while n-up is off", {{kItemFuncSelectNup, 0}, {kItemNUPType, 33}}, true, 2026, 1, false, nullptr, 0},
    {"stamp on", {{kItemFuncSelectWaterMark, 1}, {kItemWmKind, 1}}, true, 2026, 1, false, u"DRAFT", 0},
    {"stamp off", {{kItemFuncSelectWaterMark, 0}, {kItemWmKind, 1}}, true, 2026, 1, false, nullptr, 0},
    {"an image stamp shows its kind", {{kItemFuncSelectWaterMark, 1}, {kItemWmKind, 2}}, true, 2026, 1, false,
     u"Image stamp", 0},
    {"two-sided, left edge", {{kItemFuncSelectDuplex, 1}, {kItemDuplexType, 3}}, true, 2026, 1, false, nullptr, 3},
    {"booklet, top edge", {{kItemFuncSelectDuplex, 1}, {kItemDuplexType, 17}}, true, 2026, 1, false, nullptr, 1},
    {"binding while one-sided", {{kItemFuncSelectDuplex, 0}, {kItemDuplexType, 3}}, true, 2026, 1, false, nullptr, 0},
};

TEST_F(PreviewPainterTest, DrawsTheSettingsOfItsDescription) {
  OnBasicPage([&](ui::Page& page, UiContext* ui) {
    ui::Ctl preview = page.ctl(kCtlPreview);
    for (const Drawn& drawn : kDrawn) {
      SCOPED_TRACE(drawn.what);
      OptSetValue(ui->driver, kItemFuncSelectNup, 0);
      OptSetValue(ui->driver, kItemFuncSelectDuplex, 0);
      OptSetValue(ui->driver, kItemFuncSelectWaterMark, 0);
      SetText(ui, kItemWmChar, u"DRAFT");
      for (const auto& [item, value] : drawn.items) OptSetValue(ui->driver, item, value);
      const UiDrawLog log = preview.paint();

      const RECT sheet = SheetOf(log);
      ASSERT_GT(Width(sheet), 0);
      EXPECT_EQ(Height(sheet) > Width(sheet), drawn.tall) << Width(sheet) << " x " << Height(sheet);
      EXPECT_EQ(CountBitmaps(log, kPreviewBitmapPaper), drawn.pages);
      EXPECT_EQ(CountBitmaps(log, drawn.orientation), 1);
      EXPECT_EQ(CountBitmaps(log, kPreviewBitmapPrinter), 1);
      EXPECT_EQ(CountBitmaps(log, kPreviewBitmapLayout), drawn.layoutFrame ? 1 : 0);
      // Every picture and text lies inside the control.
      RECT client{};
      GetClientRect(preview.hwnd(), &client);
      for (const UiDrawRecord& r : log) {
        if (r.kind == UiDrawKind::kBitmap) {
          EXPECT_EQ(r.flags, static_cast<UINT>(COLORONCOLOR)) << "shrunk lines stay";
        }
        if (r.kind != UiDrawKind::kBitmap && r.kind != UiDrawKind::kRectangle) continue;
        RECT inside{};
        EXPECT_TRUE(IntersectRect(&inside, &r.rect, &client) && EqualRect(&inside, &r.rect));
      }

      const UiDrawRecord* stamp =
          Find(log, [](const UiDrawRecord& r) { return r.kind == UiDrawKind::kText && r.color == kStampColor; });
      ASSERT_EQ(stamp != nullptr, drawn.stamp != nullptr);
      if (stamp) {
        EXPECT_EQ(stamp->text, drawn.stamp);
      }

      const UiDrawRecord* edge = Find(log, [](const UiDrawRecord& r) {
        return r.kind == UiDrawKind::kFillRect && r.color == kBindingColor;
      });
      ASSERT_EQ(edge != nullptr, drawn.bindingSide != 0);
      if (!edge) continue;
      const RECT& e = edge->rect;
      const bool top = e.top == sheet.top && Width(e) == Width(sheet);
      const bool right = e.right == sheet.right && Height(e) == Height(sheet);
      const bool left = e.left == sheet.left && Height(e) == Height(sheet);
      EXPECT_TRUE(drawn.bindingSide == 1 ? top : drawn.bindingSide == 2 ? right : left);
    }
  });
}

TEST_F(PreviewPainterTest, ThePaperGivesTheSheetItsProportions) {
  OnBasicPage([&](ui::Page& page, UiContext* ui) {
    auto ratio = [&](DWORD paper) {
      OptSetValue(ui->driver, kItemPaperSize, paper);
      const RECT sheet = SheetOf(page.ctl(kCtlPreview).paint());
      return static_cast<double>(Height(sheet)) / Width(sheet);
    };
    EXPECT_NEAR(ratio(9), 297.0 / 210.0, 0.05);   // A4
    EXPECT_NEAR(ratio(1), 279.4 / 215.9, 0.05);   // Letter
    EXPECT_NEAR(ratio(12), 364.0 / 257.0, 0.05);  // B4
  });
}

// The pages of a sheet numbered in the layout's order: where page 2 and the last page lie
// beside page 1.
struct Order {
  DWORD layout;
  int pages;
  int secondRight;  // page 2 to the right of page 1: 1, to the left: -1, same column: 0
  int secondBelow;  // page 2 below page 1: 1, same row: 0
};
const Order kOrders[] = {
    {1, 2, 1, 0},     // 2-up, left to right
    {2, 2, -1, 0},    // 2-up, right to left
    {33, 4, 1, 0},    // 4-up across from the left
    {34, 4, -1, 0},   // across from the right
    {37, 4, 0, 1},    // down from the left
    {38, 4, 0, 1},    // down from the right
    {65, 9, 1, 0},    // 9-up
    {97, 16, 1, 0},   // 16-up
};

TEST(PreviewCells, NumberThePagesInTheLayoutsOrder) {
  for (const Order& order : kOrders) {
    SCOPED_TRACE(order.layout);
    PreviewSettings settings{};
    settings.pagesPerSheet = CtlPreviewPagesOf(order.layout);
    settings.order = CtlPreviewOrderOf(order.layout);
    ASSERT_EQ(settings.pagesPerSheet, order.pages);
    const RECT sheet{10, 10, 210, 110};
    RECT cells[kPreviewMaxCells];
    ASSERT_EQ(CtlPreviewCells(settings, sheet, cells), order.pages);
    const int dx = cells[1].left - cells[0].left, dy = cells[1].top - cells[0].top;
    EXPECT_EQ((dx > 0) - (dx < 0), order.secondRight);
    EXPECT_EQ((dy > 0) - (dy < 0), order.secondBelow);
    for (int n = 0; n < order.pages; ++n) {
      RECT inside{};
      EXPECT_TRUE(IntersectRect(&inside, &cells[n], &sheet) && EqualRect(&inside, &cells[n])) << n;
      for (int m = 0; m < n; ++m) EXPECT_FALSE(IntersectRect(&inside, &cells[n], &cells[m])) << n << " " << m;
    }
  }
  // A down-from-the-right sheet starts in its right column.
  PreviewSettings settings{};
  settings.pagesPerSheet = 4;
  settings.order = kPreviewDownFromRight;
  RECT cells[kPreviewMaxCells];
  CtlPreviewCells(settings, {0, 0, 100, 100}, cells);
  EXPECT_GT(cells[0].left, cells[2].left);
}

// ---- One description for many controls -----------------------------------------------------

TEST_F(PreviewPainterTest, ThePreviewsShareTheirDescriptionsBoundToTheContextsRows) {
  OnBasicPage([&](ui::Page&, UiContext* ui) {
    const PreviewDescription* basic = CtlFindPreview(ui, kPageBasic, kCtlPreview);
    ASSERT_NE(basic, nullptr);
    const std::pair<WORD, WORD> sharing[] = {
        {kPageEdit, kCtlPreview},           {kPageFinish, kCtlPreview},         {kPageOthers, kCtlPreview},
        {kPageDialogStampChar, kCtlPreview}, {kPageDialogStampImage, kCtlPreview}, {kPagePreset, kCtlPresetList},
        {kPageMaintenance, kCtlMaintList},
    };
    for (const auto& [pageId, control] : sharing) EXPECT_EQ(CtlFindPreview(ui, pageId, control), basic) << pageId;
    // Controls outside the list have none; the print-quality picture has its own.
    EXPECT_EQ(CtlFindPreview(ui, kPageDialogMargin, kCtlPreview), nullptr);
    EXPECT_EQ(CtlFindPreview(ui, kPageBasic, kCtlPaperSizeCombo), nullptr);
    const PreviewDescription* quality = CtlFindPreview(ui, kPageDialogUserPqc, kCtlPqcPicture);
    ASSERT_NE(quality, nullptr);
    EXPECT_NE(quality, basic);

    // Each role reads the item the page's data names, through the context's own row.
    const std::tuple<const PreviewDescription*, WORD, WORD> roles[] = {
        {basic, kPreviewPaper, kItemPaperSize},           {basic, kPreviewOrientation, kItemOrientation},
        {basic, kPreviewNup, kItemFuncSelectNup},         {basic, kPreviewLayout, kItemNUPType},
        {basic, kPreviewDuplex, kItemFuncSelectDuplex},   {basic, kPreviewBinding, kItemDuplexType},
        {basic, kPreviewStamp, kItemFuncSelectWaterMark}, {basic, kPreviewStampKind, kItemWmKind},
        {basic, kPreviewStampText, kItemWmChar},          {quality, kPreviewPaper, kItemPaperSize},
        {quality, kPreviewBrightness, kItemBrightness},   {quality, kPreviewContrast, kItemContrast},
    };
    for (const auto& [description, role, item] : roles)
      EXPECT_EQ(CtlPreviewItem(*description, role), OptFindItem(ui->driver->itemTable, item)) << role;
    EXPECT_EQ(CtlPreviewItem(*quality, kPreviewStamp), nullptr);

    // A second binding keeps what the first bound.
    CtlBindPreviewData(ui);
    EXPECT_EQ(CtlFindPreview(ui, kPageEdit, kCtlPreview), basic);
  });
}

TEST_F(PreviewPainterTest, APresetListDrawsTheSharedPreviewIntoItsRow) {
  Document([&](ui::Sheet& sheet) {
    ui::Page page = sheet.activate(kPagePreset);
    page.pump();
    UiContext* ui = ContextOf(page);
    PageItemTemplate* list = PageFindRow(page.hwnd(), kCtlPresetList);
    ASSERT_NE(list, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    const size_t objects = UiLiveGdiObjects(0);
    CtlPaintPreview(ui, page.hwnd(), list, dc, RECT{0, 20, 120, 100});
    const UiDrawLog& log = *UiDcDrawLog(dc);
    EXPECT_EQ(CountBitmaps(log, kPreviewBitmapPaper), 1);
    const RECT sheetRect = SheetOf(log);
    EXPECT_GE(sheetRect.top, 20);
    EXPECT_LE(sheetRect.right, 120);
    EXPECT_EQ(UiLiveGdiObjects(0), objects) << "the preview leaves no object behind";
    DeleteDC(dc);
  });
}

TEST_F(PreviewPainterTest, TheQualityPictureDrawsItsToneStrip) {
  OnBasicPage([&](ui::Page& page, UiContext* ui) {
    // The basic page's window stands in for the print-quality dialog's.
    PageWindow* record = PageRecordOf(page.hwnd());
    PageTemplate* basic = record->page;
    PageTemplate quality{};
    quality.id = kPageDialogUserPqc;
    PageItemTemplate row{};
    row.controlId = kCtlPqcPicture;
    struct Tone {
      LONG brightness, contrast;
      std::vector<int> greys;  // the strip's bands from the left
    } tones[] = {
        {0, 0, {32, 80, 128, 176, 224}},
        {50, 0, {132, 180, 228, 255, 255}},
        {0, -50, {80, 104, 128, 152, 176}},
        {-50, 50, {0, 0, 28, 100, 172}},
    };
    for (const Tone& tone : tones) {
      OptSetValue(ui->driver, kItemBrightness, static_cast<DWORD>(tone.brightness));
      OptSetValue(ui->driver, kItemContrast, static_cast<DWORD>(tone.contrast));
      HDC dc = CreateCompatibleDC(nullptr);
      record->page = &quality;
      CtlPaintPreview(ui, page.hwnd(), &row, dc, RECT{0, 0, 236, 98});
      record->page = basic;
      const UiDrawLog log = *UiDcDrawLog(dc);
      DeleteDC(dc);
      EXPECT_EQ(CountBitmaps(log, kPreviewBitmapPaper), 0);
      // After the control's and the sheet's white come the bands.
      std::vector<int> greys;
      for (const UiDrawRecord& r : log)
        if (r.kind == UiDrawKind::kFillRect && GetRValue(r.color) == GetGValue(r.color)) greys.push_back(GetRValue(r.color));
      ASSERT_GE(greys.size(), 2u);
      EXPECT_EQ(std::vector<int>(greys.begin() + 2, greys.end()), tone.greys) << tone.brightness << " " << tone.contrast;
    }
  });
}

// ---- Redraws and routing ---------------------------------------------------------------------

TEST_F(PreviewPainterTest, ChoosingAPaperRedrawsThePreview) {
  OnBasicPage([&](ui::Page& page, UiContext* ui) {
    ui::Ctl preview = page.ctl(kCtlPreview);
    ui::Ctl combo = page.ctl(kCtlPaperSizeCombo);
    OptSetValue(ui->driver, kItemPaperSize, 9);
    const RECT before = SheetOf(preview.paint());
    int letter = -1;
    for (int n = 0; n < SendMessageW(combo.hwnd(), CB_GETCOUNT, 0, 0); ++n)
      if (SendMessageW(combo.hwnd(), CB_GETITEMDATA, n, 0) == 3001) letter = n;
    ASSERT_GE(letter, 0);
    combo.select(letter);
    EXPECT_EQ(OptGetValue(ui->driver, kItemPaperSize), 1u);
    RECT dirty{};
    EXPECT_TRUE(GetUpdateRect(preview.hwnd(), &dirty, FALSE)) << "the preview waits for its paint";
    UiBeginWindowLog(preview.hwnd());
    page.pump();
    const RECT after = SheetOf(UiWindowDrawLog(preview.hwnd()));
    EXPECT_GT(Width(after), Width(before)) << "Letter is wider than A4 at the same height";
  });
}

TEST_F(PreviewPainterTest, ThePagesPaintClipsTheSiblingsOverThePreview) {
  OnBasicPage([&](ui::Page& page, UiContext*) {
    HWND preview = page.ctl(kCtlPreview).hwnd();
    RECT place{};
    GetWindowRect(preview, &place);
    MapWindowPoints(nullptr, page.hwnd(), reinterpret_cast<POINT*>(&place), 2);
    // One window over the preview's top left corner, at the top of the order; one beside it.
    HWND over = CreateWindowExW(0, u"STATIC", u"", WS_CHILD | WS_VISIBLE, place.left - 5, place.top - 5, 20, 15,
                                page.hwnd(), nullptr, nullptr, nullptr);
    SetWindowPos(over, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    HWND beside = CreateWindowExW(0, u"STATIC", u"", WS_CHILD | WS_VISIBLE, place.right + 50, place.top, 20, 15,
                                  page.hwnd(), nullptr, nullptr, nullptr);
    SetWindowPos(beside, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    UiBeginWindowLog(preview);
    SendMessageW(page.hwnd(), WM_PAINT, 0, 0);
    const UiDrawLog& log = UiWindowDrawLog(preview);
    std::vector<RECT> excluded;
    for (const UiDrawRecord& r : log)
      if (r.kind == UiDrawKind::kExcludeClip) excluded.push_back(r.rect);
    ASSERT_EQ(excluded.size(), 1u);
    const RECT corner{0, 0, 15, 10};
    EXPECT_TRUE(EqualRect(&excluded[0], &corner));
    EXPECT_GT(CountBitmaps(log, kPreviewBitmapPaper), 0) << "the page's paint drew the preview";
    DestroyWindow(over);
    DestroyWindow(beside);
  });
}

TEST_F(PreviewPainterTest, APaintPassedToTheClassDoesNotUpdateThePage) {
  OnBasicPage([&](ui::Page& page, UiContext* ui) {
    PageItemTemplate* row = PageFindRow(page.hwnd(), kCtlPreview);
    ASSERT_NE(row, nullptr);
    page.pump();
    HDC dc = GetDC(row->window);
    EXPECT_EQ(CtlOnMessage(ui, page.hwnd(), row, WM_PAINT, reinterpret_cast<WPARAM>(dc), 0), 1);
    ReleaseDC(row->window, dc);
    RECT dirty{};
    EXPECT_FALSE(GetUpdateRect(row->window, &dirty, FALSE)) << "an update would invalidate the preview again";
    // A picture without a description paints nothing of its own.
    PageItemTemplate* marks = PageFindRow(page.hwnd(), kCtlFinishMarks);
    ASSERT_NE(marks, nullptr);
    dc = GetDC(marks->window);
    EXPECT_EQ(CtlOnMessage(ui, page.hwnd(), marks, WM_PAINT, reinterpret_cast<WPARAM>(dc), 0), 0);
    ReleaseDC(marks->window, dc);
  });
}

TEST_F(PreviewPainterTest, TheRenderedPageShowsTheStampAndTheBindingEdge) {
  OnBasicPage([&](ui::Page& page, UiContext* ui) {
    RECT place{};
    GetWindowRect(page.ctl(kCtlPreview).hwnd(), &place);
    MapWindowPoints(nullptr, page.hwnd(), reinterpret_cast<POINT*>(&place), 2);
    auto count = [&](COLORREF color) {
      UiImage image;
      EXPECT_TRUE(UiRenderWindow(page.hwnd(), &image));
      int n = 0;
      for (int y = place.top; y < place.bottom; ++y)
        for (int x = place.left; x < place.right; ++x) n += image.Pixel(x, y) == color;
      return n;
    };
    SetText(ui, kItemWmChar, u"COPY");
    OptSetValue(ui->driver, kItemWmKind, 1);
    EXPECT_EQ(count(kStampColor), 0);
    EXPECT_EQ(count(kBindingColor), 0);
    OptSetValue(ui->driver, kItemFuncSelectWaterMark, 1);
    OptSetValue(ui->driver, kItemFuncSelectDuplex, 1);
    OptSetValue(ui->driver, kItemDuplexType, 3);
    EXPECT_GT(count(kStampColor), 10);
    EXPECT_GT(count(kBindingColor), 100);
  });
}

}  // namespace
}  // namespace velm::test
