// The extra data of the pages' controls, generated from data/pages: what a control class needs
// beyond the control row (conflict marks, tab lists, slider steps, edit line lists, check-list
// items, linked steps), the control's information string, the sub-dialog it opens and its linked
// control.
#pragma once

#include "win32.h"

// Kinds of the extra-data words; the first word is the kind.
enum PageExtraKind : WORD {
  kExtraLinkedSteps = 2,  // {2, pairs, then per pair: control, step (signed)}
  kExtraSliderSteps = 3,  // {3, line step, page step, 1}
  kExtraConflictMark = 4, // {4, 1, mark picture}
  kExtraSpaceKey = 5,     // {5}
  kExtraTabs = 6,         // {6, tabs, then per tab: caption string, control count, control ids}
  kExtraEditLines = 7,    // {7, lines, then per line: label string, item, alternative item (0 none)}
  kExtraCheckItems = 8,   // {8, rows, then per check-list row: item, label string}
  kExtraPreview = 9,      // {9, entries, then per entry: PagePreviewRole, item}
};

// What a page preview reads an item for (kind 9 entries).
enum PagePreviewRole : WORD {
  kPreviewPaper = 1,     // paper size
  kPreviewOrientation,   // 1 portrait, 2 landscape
  kPreviewNup,           // several pages on a sheet: on/off
  kPreviewLayout,        // the n-up layout: pages per sheet and their order
  kPreviewDuplex,        // both sides: on/off
  kPreviewBinding,       // the binding edge of both sides
  kPreviewStamp,         // a stamp in use: on/off
  kPreviewStampKind,     // text, image, overlay or pattern
  kPreviewStampText,     // a text stamp's text
  kPreviewBrightness,    // -50..50
  kPreviewContrast,      // -50..50
};

struct PageControlExtra {
  WORD page;
  WORD control;
  WORD infoString;   // 0: none
  WORD subDialog;    // the page id the control opens, 0: none
  WORD linkedControl;
  const WORD* words; // null: no extra-data words
  size_t wordCount;
};

extern const PageControlExtra kPageControlExtras[];
extern const int kPageControlExtraCount;

// The extra data of control `control` on page `page`; null when it has none.
const PageControlExtra* PageFindControlExtra(WORD page, WORD control);
