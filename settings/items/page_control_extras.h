// The extra data of the pages' controls, generated from data/pages: what a control class needs
// beyond the control row (conflict marks, tab lists, slider steps, edit line lists, check-list
// items, linked steps), the control's information string, the sub-dialog it opens and its linked
// control.
#pragma once

#include "win32.h"

// Kinds of the extra-data words; the first word is the kind.
enum PageExtraKind : WORD {
  kExtraSliderSteps = 3,  // {3, line step, page step, 1}
  kExtraConflictMark = 4, // {4, 1, mark picture}
  kExtraSpaceKey = 5,     // {5}
  kExtraTabs = 6,         // {6, tabs, then per tab: caption string, control count, control ids}
  kExtraEditLines = 7,    // {7, lines, then per line: label string, item, alternative item (0 none)}
  kExtraCheckItems = 8,   // {8, rows, then one item per check-list row}
  kExtraLinkedSteps = 9,  // {9, pairs, then per pair: control id, step (a signed 16-bit word)}
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
