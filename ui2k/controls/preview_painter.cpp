#include "ui2k/controls/preview_painter.h"

#include <algorithm>
#include <utility>

#include "settings/description/access.h"
#include "settings/description/image.h"
#include "settings/items/store.h"
#include "settings/services/resource_strings.h"
#include "ui2k/controls/painters.h"
#include "ui2k/pages/page_framework.h"
#include "ui2k/sheets/resource_library.h"

namespace {

constexpr LONG kA4Width = 2100;  // 0.1 mm, when the paper has no metric size
constexpr LONG kA4Length = 2970;
constexpr DWORD kLandscape = 2;
constexpr DWORD kTextStamp = 1;
constexpr int kMargin = 4;        // pixels around the pictures
constexpr int kCellGap = 2;       // pixels between a sheet's pages
constexpr int kBindingWidth = 3;  // pixels of the binding edge
constexpr int kToneBands = 5;
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kBindingColor = RGB(64, 64, 64);
constexpr COLORREF kNumberColor = RGB(0, 0, 160);
constexpr COLORREF kStampColor = RGB(208, 0, 0);

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

RECT Inset(const RECT& r, int by) { return {r.left + by, r.top + by, r.right - by, r.bottom - by}; }

// The binding edge of a two-sided binding value (1..3 and the booklet values 17..22).
PreviewBinding BindingOf(DWORD binding) {
  if (binding >= 17 && binding <= 19) binding -= 16;       // booklet
  else if (binding >= 20 && binding <= 22) binding -= 19;  // booklet, the other way round
  switch (binding) {
    case 1: return kPreviewBindTop;
    case 2: return kPreviewBindRight;
    case 3: return kPreviewBindLeft;
    default: return kPreviewNoBinding;
  }
}

// The paper's metric size (0.1 mm, portrait) from the model's value of the paper item.
void PaperSize(DriverContext* context, ItemTableRow* paper, LONG* width, LONG* length) {
  *width = kA4Width;
  *length = kA4Length;
  if (!paper || !context->description) return;
  const ModelDescription* d = context->description;
  const DWORD model = OptGetModelValue(context, paper);
  for (const DescValue* value = DescNodeFirstValue(d, DescLookupNode(paper->id, context)); value;
       value = DescNextValue(d, value)) {
    LONG w = 0, l = 0;
    if (DescValueValue(value) == model && DescValueMetric(value, &w, &l) && w > 0 && l > 0) {
      *width = std::min(w, l);
      *length = std::max(w, l);
      return;
    }
  }
}

// The stamp's text: a text stamp's own text, else the name of the stamp's kind.
void StampText(DriverContext* context, const PreviewDescription& description, WCHAR* text) {
  text[0] = 0;
  ItemTableRow* kind = CtlPreviewItem(description, kPreviewStampKind);
  ItemTableRow* own = CtlPreviewItem(description, kPreviewStampText);
  const DWORD kindValue = kind ? OptReadRaw(context, kind) : kTextStamp;
  if (own && kindValue == kTextStamp) OptGetString(context, own, text, kPreviewStampChars);
  if (!text[0] && kind) ResLoadString(context, OptRawToModelValue(context, kind, kindValue), text, kPreviewStampChars, FALSE);
}

// The pictures of the preview library for one paint.
class Pictures {
 public:
  explicit Pictures(UiContext* ui) : library_(UiResLoadPreviewLibrary(ui->driver)) {}

  // Picture `id` stretched over `to`; with `keepShape` the largest rectangle of its proportions
  // centred in `to`.
  void Draw(HDC dc, WORD id, const RECT& to, bool keepShape) {
    CtlDrawPicture(library_, dc, id, to, keepShape ? CtlPictureFit::kKeepShape : CtlPictureFit::kStretch);
  }

 private:
  HMODULE library_;
};

// A pen or font selected into the DC for one scope.
class Selected {
 public:
  Selected(HDC dc, HGDIOBJ object, bool owned) : dc_(dc), object_(object), owned_(owned) {
    previous_ = object ? SelectObject(dc, object) : nullptr;
  }
  ~Selected() {
    if (previous_) SelectObject(dc_, previous_);
    if (owned_ && object_) DeleteObject(object_);
  }
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;

 private:
  HDC dc_;
  HGDIOBJ object_;
  bool owned_;
  HGDIOBJ previous_ = nullptr;
};

void Fill(HDC dc, const RECT& rect, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

// The printer, the document's orientation and, for an n-up sheet, the layout frame, one under
// the other in `column`.
void DrawIcons(HDC dc, Pictures& pictures, const PreviewSettings& settings, const RECT& column) {
  const int slots = settings.pagesPerSheet > 1 ? 3 : 2;
  const int step = Height(column) / slots;
  const WORD icons[] = {kPreviewBitmapPrinter, settings.landscape ? kPreviewBitmapLandscape : kPreviewBitmapPortrait,
                        kPreviewBitmapLayout};
  for (int n = 0; n < slots; ++n) {
    const RECT slot{column.left, column.top + n * step, column.right, column.top + (n + 1) * step};
    pictures.Draw(dc, icons[n], Inset(slot, 1), true);
  }
}

// The print-quality picture's strip of greys from dark to light, moved by the brightness and
// spread by the contrast.
void DrawTone(HDC dc, const PreviewSettings& settings, const RECT& area) {
  const int band = Width(area) / kToneBands;
  for (int n = 0; n < kToneBands; ++n) {
    const LONG spread = (n - kToneBands / 2) * 48 * (100 + settings.contrast) / 100;
    const LONG grey = std::clamp<LONG>(128 + spread + settings.brightness * 2, 0, 255);
    const RECT part{area.left + n * band, area.top, n + 1 == kToneBands ? area.right : area.left + (n + 1) * band,
                    area.bottom};
    Fill(dc, part, RGB(grey, grey, grey));
  }
}

void DrawBinding(HDC dc, const PreviewSettings& settings, const RECT& sheet) {
  RECT edge = sheet;
  switch (settings.binding) {
    case kPreviewBindTop: edge.bottom = edge.top + kBindingWidth; break;
    case kPreviewBindRight: edge.left = edge.right - kBindingWidth; break;
    case kPreviewBindLeft: edge.right = edge.left + kBindingWidth; break;
    default: return;
  }
  Fill(dc, edge, kBindingColor);
}

void DrawText(HDC dc, const WCHAR* text, RECT box, COLORREF color) {
  SetTextColor(dc, color);
  DrawTextW(dc, text, -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

// The sheet: its pages (each the paper picture, numbered on an n-up sheet) or the tone strip,
// its binding edge, its frame and the stamp over it all, centred on the sheet and as wide as
// `area` allows.
void DrawSheet(HDC dc, HWND page, Pictures& pictures, const PreviewSettings& settings, const RECT& area) {
  const RECT sheet = CtlFitRect(area, settings.sheetWidth, settings.sheetLength);
  Fill(dc, sheet, RGB(255, 255, 255));
  const RECT inside = Inset(sheet, kCellGap);
  const Selected font(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(page, WM_GETFONT, 0, 0)), false);
  SetBkMode(dc, TRANSPARENT);
  if (settings.tone) {
    DrawTone(dc, settings, inside);
  } else {
    RECT cells[kPreviewMaxCells];
    const int count = CtlPreviewCells(settings, inside, cells);
    for (int n = 0; n < count; ++n) {
      pictures.Draw(dc, kPreviewBitmapPaper, cells[n], false);
      if (count == 1) continue;
      WCHAR number[4];
      wsprintfW(number, WSTR("%d"), n + 1);
      DrawText(dc, number, cells[n], kNumberColor);
    }
  }
  DrawBinding(dc, settings, sheet);
  {
    const Selected pen(dc, CreatePen(PS_SOLID, 1, kBlack), true);
    const Selected hollow(dc, GetStockObject(NULL_BRUSH), false);
    Rectangle(dc, sheet.left, sheet.top, sheet.right, sheet.bottom);
  }
  if (settings.stamp && settings.stampText[0])
    DrawText(dc, settings.stampText, {area.left, inside.top, area.right, inside.bottom}, kStampColor);
}

}  // namespace

int CtlPreviewPagesOf(DWORD layout) {
  if (layout >= 1 && layout <= 31) return 2;
  if (layout >= 33 && layout <= 63) return 4;
  if (layout >= 65 && layout <= 95) return 9;
  if (layout >= 97 && layout <= 127) return 16;
  return 1;
}

PreviewOrder CtlPreviewOrderOf(DWORD layout) {
  switch (layout & 0x7) {
    case 2: return kPreviewAcrossFromRight;
    case 5: return kPreviewDownFromLeft;
    case 6: return kPreviewDownFromRight;
    default: return kPreviewAcrossFromLeft;
  }
}

PreviewSettings CtlReadPreviewSettings(UiContext* ui, const PreviewDescription& description) {
  DriverContext* context = ui->driver;
  auto value = [&](WORD role, DWORD otherwise) {
    ItemTableRow* row = CtlPreviewItem(description, role);
    return row ? OptReadRaw(context, row) : otherwise;
  };
  PreviewSettings settings{};
  PaperSize(context, CtlPreviewItem(description, kPreviewPaper), &settings.sheetWidth, &settings.sheetLength);
  settings.landscape = value(kPreviewOrientation, 1) == kLandscape;
  const DWORD layout = value(kPreviewLayout, 0);
  settings.pagesPerSheet = value(kPreviewNup, 0) ? CtlPreviewPagesOf(layout) : 1;
  settings.order = CtlPreviewOrderOf(layout);
  // Two pages lie side by side on a sheet turned the other way.
  if (settings.landscape != (settings.pagesPerSheet == 2)) std::swap(settings.sheetWidth, settings.sheetLength);
  settings.binding = value(kPreviewDuplex, 0) ? BindingOf(value(kPreviewBinding, 0)) : kPreviewNoBinding;
  settings.stamp = value(kPreviewStamp, 0) != 0;
  if (settings.stamp) StampText(context, description, settings.stampText);
  settings.tone = CtlPreviewItem(description, kPreviewBrightness) || CtlPreviewItem(description, kPreviewContrast);
  settings.brightness = static_cast<LONG>(value(kPreviewBrightness, 0));
  settings.contrast = static_cast<LONG>(value(kPreviewContrast, 0));
  return settings;
}

int CtlPreviewCells(const PreviewSettings& settings, const RECT& sheet, RECT cells[kPreviewMaxCells]) {
  const int pages = std::clamp(settings.pagesPerSheet, 1, kPreviewMaxCells);
  int columns = 1, rows = 1;
  if (pages == 2) {
    (Width(sheet) >= Height(sheet) ? columns : rows) = 2;
  } else {
    while (columns * columns < pages) ++columns;
    rows = columns;
  }
  const bool down = settings.order == kPreviewDownFromLeft || settings.order == kPreviewDownFromRight;
  const bool fromRight = settings.order == kPreviewAcrossFromRight || settings.order == kPreviewDownFromRight;
  for (int n = 0; n < pages; ++n) {
    int column = down ? n / rows : n % columns;
    const int row = down ? n % rows : n / columns;
    if (fromRight) column = columns - 1 - column;
    cells[n] = {sheet.left + Width(sheet) * column / columns, sheet.top + Height(sheet) * row / rows,
                sheet.left + Width(sheet) * (column + 1) / columns, sheet.top + Height(sheet) * (row + 1) / rows};
    if (pages > 1) cells[n] = Inset(cells[n], kCellGap / 2);
  }
  return pages;
}

void CtlPaintPreview(UiContext* ui, HWND page, const PageItemTemplate* row, HDC dc, const RECT& rect) {
  const PageWindow* record = PageRecordOf(page);
  if (!ui || !row || !dc || !record || !record->page || Width(rect) <= 2 * kMargin || Height(rect) <= 2 * kMargin)
    return;
  const PreviewDescription* description = CtlFindPreview(ui, record->page->id, row->controlId);
  if (!description) return;
  const PreviewSettings settings = CtlReadPreviewSettings(ui, *description);
  const int saved = SaveDC(dc);
  SetStretchBltMode(dc, COLORONCOLOR);  // shrunk pictures keep their lines
  Fill(dc, rect, RGB(255, 255, 255));
  Pictures pictures(ui);
  const RECT area = Inset(rect, kMargin);
  // The icons take a column as wide as a third of the height at the left; the sheet the rest.
  const int column = std::min(Height(area) / 3, Width(area) / 4);
  DrawIcons(dc, pictures, settings, {area.left, area.top, area.left + column, area.bottom});
  const RECT sheetArea{area.left + column + kMargin, area.top, area.right, area.bottom};
  DrawSheet(dc, page, pictures, settings, sheetArea);
  RestoreDC(dc, saved);
}
