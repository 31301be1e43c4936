// The page preview: the current paper with its proportions and orientation, the pages of an
// n-up sheet in their order, the binding edge of a two-sided job and the stamp in use (or, for
// the print-quality picture, a tone strip of its brightness and contrast), drawn from the items
// the control's preview description names with the preview library's pictures, scaled to the
// rectangle it is given. It only draws: no dialog is ever opened.
#pragma once

#include "ui2k/controls/preview_data.h"
#include "ui2k/entry/ui_context.h"
#include "win32.h"

// Pictures of the preview library.
constexpr WORD kPreviewBitmapPaper = 220;
constexpr WORD kPreviewBitmapPrinter = 221;
constexpr WORD kPreviewBitmapLayout = 222;
constexpr WORD kPreviewBitmapPortrait = 2026;
constexpr WORD kPreviewBitmapLandscape = 2027;

// How the pages follow each other on an n-up sheet.
enum PreviewOrder {
  kPreviewAcrossFromLeft,   // rows left to right, then down
  kPreviewAcrossFromRight,  // rows right to left, then down
  kPreviewDownFromLeft,     // columns top to bottom, then right
  kPreviewDownFromRight,    // columns top to bottom, then left
};

// Binding edges of a two-sided job.
enum PreviewBinding { kPreviewNoBinding, kPreviewBindTop, kPreviewBindRight, kPreviewBindLeft };

constexpr int kPreviewStampChars = 66;
constexpr int kPreviewMaxCells = 16;

// What the preview shows, read from its description's items.
struct PreviewSettings {
  LONG sheetWidth;    // the sheet as it lies, in 0.1 mm
  LONG sheetLength;
  BOOL landscape;     // the document's orientation
  int pagesPerSheet;  // 1, 2, 4, 9 or 16
  PreviewOrder order;
  PreviewBinding binding;
  BOOL stamp;
  WCHAR stampText[kPreviewStampChars];
  BOOL tone;          // the description reads brightness or contrast
  LONG brightness;    // -50..50
  LONG contrast;
};

PreviewSettings CtlReadPreviewSettings(UiContext* ui, const PreviewDescription& description);

// Pages per sheet and their order for an n-up layout value (the item's stored value).
int CtlPreviewPagesOf(DWORD layout);
PreviewOrder CtlPreviewOrderOf(DWORD layout);

// The rectangles of the sheet's pages in `sheet`, cells[0] holding page 1; their count.
int CtlPreviewCells(const PreviewSettings& settings, const RECT& sheet, RECT cells[kPreviewMaxCells]);

// The preview that `row` (a preview picture, or a list whose rows show one) describes, drawn
// into `rect` of `dc` from the current settings. Nothing for a control without a description.
void CtlPaintPreview(UiContext* ui, HWND page, const PageItemTemplate* row, HDC dc, const RECT& rect);
