// The page previews' descriptions in a context: which items a preview reads, by role, copied
// from the extra data of the basic page's preview (1002, 2039) and of the print-quality
// picture (1021, 2249) and bound to the context's own item rows; and the controls that draw
// each: the preview pictures of the user-settings and stamp pages, and the saved-settings lists
// whose rows show a preview.
#pragma once

#include "settings/items/page_control_extras.h"
#include "settings/items/table.h"
#include "win32.h"

struct UiContext;

constexpr int kPreviewItemSlots = 16;
struct PreviewItem {
  WORD role;             // PagePreviewRole
  ItemTableRow* row;     // the context's row of the item
};
struct PreviewDescription {
  int count;
  PreviewItem items[kPreviewItemSlots];
};

// A control that draws a description: its page, its control and the description's index.
struct PreviewUser {
  WORD page;
  WORD control;
  int description;
};

constexpr int kPreviewDescriptions = 2;
constexpr int kPreviewUserSlots = 16;
struct PreviewState {
  BOOL bound;
  PreviewDescription descriptions[kPreviewDescriptions];
  int userCount;
  PreviewUser users[kPreviewUserSlots];
};

// Copies the descriptions into the context and names the controls that draw them; once per
// context (a second call changes nothing). A description whose extra data is missing stays
// empty, and its controls draw no preview.
void CtlBindPreviewData(UiContext* ui);

// The description control `controlId` of page `pageId` draws, or null (none bound, or empty).
const PreviewDescription* CtlFindPreview(const UiContext* ui, WORD pageId, WORD controlId);

// The row of the item a description reads for `role`, or null when it has none.
ItemTableRow* CtlPreviewItem(const PreviewDescription& description, WORD role);
