// The painters of the owner-drawn controls: a picture of the resource library in a rectangle, a
// value's picture with its name in a list row, and the hint of an open drawn combo's highlighted
// row.
#pragma once

#include "ui2k/entry/ui_context.h"
#include "win32.h"

// How a row of an owner-drawn list looks, as system colour indexes: the button face with grey
// text when disabled, the highlight when selected, else the window's colours.
struct CtlRowLook {
  BOOL disabled;
  BOOL selected;
  int background;
  int text;
};
// The look of the row of `draw` (disabled by its state, its window's or `disabled`), with its
// background filled.
CtlRowLook CtlBeginRow(const DRAWITEMSTRUCT& draw, BOOL disabled);
// The focus rectangle of a row that has the focus.
void CtlFinishRow(const DRAWITEMSTRUCT& draw);

// How a picture takes its rectangle: stretched over it, or centred in it with its proportions
// kept, as large as it fits or (kShrinkToFit) never above its own size.
enum class CtlPictureFit { kStretch, kKeepShape, kShrinkToFit };
// Draws bitmap `pictureId` of `library` in `rect` of `dc`. FALSE when the library has no such
// bitmap or nothing could be drawn.
BOOL CtlDrawPicture(HINSTANCE library, HDC dc, WORD pictureId, const RECT& rect, CtlPictureFit fit);
// The largest rectangle of `width` by `height` proportions centred in `area`.
RECT CtlFitRect(const RECT& area, LONG width, LONG height);

// Draws bitmap `pictureId` of the resource library centred in `rect` of `dc`, scaled down (never
// up) to fit it with its proportions kept. FALSE when the library has no such bitmap or nothing
// could be drawn.
BOOL CtlPaintValuePicture(UiContext* ui, HDC dc, WORD pictureId, const RECT& rect);

// Draws the picture of value `model` in a square of the row's height at the row's left, then the
// value's name after it in `textColor`, centred on the row and cut with an ellipsis.
void CtlPaintIconAndText(UiContext* ui, HDC dc, WORD model, const RECT& row, COLORREF textColor);

// Shows the name of value `model` in the page's hint popup below the open list of `combo`.
void CtlShowDrawnComboHint(UiContext* ui, HWND combo, WORD model);
