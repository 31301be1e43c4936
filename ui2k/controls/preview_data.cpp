#include "ui2k/controls/preview_data.h"

#include <iterator>

#include "data/page_ids.h"
#include "ui2k/entry/ui_context.h"

namespace {

// Where each description comes from: the control whose extra data holds it.
struct PreviewSource {
  WORD page;
  WORD control;
};
constexpr PreviewSource kSources[kPreviewDescriptions] = {
    {kPageBasic, kCtlPreview},
    {kPageDialogUserPqc, kCtlPqcPicture},
};
constexpr int kPagePreview = 0;
constexpr int kQualityPreview = 1;

// The controls that draw a description: the sources themselves, the preview pictures of the
// other user-settings and stamp pages, and the saved-settings lists.
constexpr PreviewUser kUsers[] = {
    {kPageBasic, kCtlPreview, kPagePreview},
    {kPageEdit, kCtlPreview, kPagePreview},
    {kPageFinish, kCtlPreview, kPagePreview},
    {kPageOthers, kCtlPreview, kPagePreview},
    {kPageDialogStampChar, kCtlPreview, kPagePreview},
    {kPageDialogStampImage, kCtlPreview, kPagePreview},
    {kPagePreset, kCtlPresetList, kPagePreview},
    {kPageMaintenance, kCtlMaintList, kPagePreview},
    {kPageDialogUserPqc, kCtlPqcPicture, kQualityPreview},
};
static_assert(std::size(kUsers) <= kPreviewUserSlots);

// The extra data's (role, item) pairs bound to the context's rows; pairs whose item the table
// lacks are left out.
void Bind(DriverContext* context, const PageControlExtra* extra, PreviewDescription* out) {
  *out = PreviewDescription{};
  if (!extra || !extra->words || extra->wordCount < 2 || extra->words[0] != kExtraPreview) return;
  const size_t entries = extra->words[1];
  for (size_t n = 0; n < entries && 2 + 2 * n + 1 < extra->wordCount && out->count < kPreviewItemSlots; ++n) {
    ItemTableRow* row = OptFindItem(context->itemTable, extra->words[2 + 2 * n + 1]);
    if (row) out->items[out->count++] = PreviewItem{extra->words[2 + 2 * n], row};
  }
}

}  // namespace

void CtlBindPreviewData(UiContext* ui) {
  if (!ui || !ui->driver || ui->state.previews.bound) return;
  PreviewState& state = ui->state.previews;
  for (int d = 0; d < kPreviewDescriptions; ++d)
    Bind(ui->driver, PageFindControlExtra(kSources[d].page, kSources[d].control), &state.descriptions[d]);
  state.userCount = 0;
  for (const PreviewUser& user : kUsers) state.users[state.userCount++] = user;
  state.bound = TRUE;
}

const PreviewDescription* CtlFindPreview(const UiContext* ui, WORD pageId, WORD controlId) {
  if (!ui || !ui->state.previews.bound) return nullptr;
  const PreviewState& state = ui->state.previews;
  for (int n = 0; n < state.userCount && n < kPreviewUserSlots; ++n) {
    const PreviewUser& user = state.users[n];
    if (user.page != pageId || user.control != controlId) continue;
    const PreviewDescription& found = state.descriptions[user.description];
    return found.count ? &found : nullptr;
  }
  return nullptr;
}

ItemTableRow* CtlPreviewItem(const PreviewDescription& description, WORD role) {
  for (int n = 0; n < description.count && n < kPreviewItemSlots; ++n)
    if (description.items[n].role == role) return description.items[n].row;
  return nullptr;
}
