#include "settings/items/page_control_extras.h"

const PageControlExtra* PageFindControlExtra(WORD page, WORD control) {
  for (int i = 0; i < kPageControlExtraCount; ++i) {
    const PageControlExtra& extra = kPageControlExtras[i];
    if (extra.page == page && extra.control == control) return &extra;
  }
  return nullptr;
}
