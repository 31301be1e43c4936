// The PDEV's allocation list: every block the device state takes for itself is linked to one
// list, so that DrvDisablePDEV (or a failed DrvEnablePDEV) frees them all at once.
#include <cstddef>

#include "gr2k/pdev.h"

namespace {

// The link in front of each block's data, padded so that the data keeps the allocator's
// alignment.
struct alignas(std::max_align_t) BlockLink {
  void* next;  // the next block's link, as the head holds it
};

BlockLink* LinkOf(void* data) { return static_cast<BlockLink*>(data) - 1; }

}  // namespace

void** PdevMemCreateList() {
  auto** list = static_cast<void**>(GlobalAlloc(GMEM_FIXED, sizeof(void*)));
  if (list) *list = nullptr;
  return list;
}

void* PdevMemAlloc(void** list, SIZE_T bytes) {
  if (!list || bytes > SIZE_MAX - sizeof(BlockLink)) return nullptr;
  auto* link = static_cast<BlockLink*>(GlobalAlloc(GMEM_FIXED, sizeof(BlockLink) + bytes));
  if (!link) return nullptr;
  link->next = *list;
  *list = link;
  return link + 1;
}

void PdevMemFree(void** list, void* block) {
  if (!list || !block) return;
  BlockLink* wanted = LinkOf(block);
  for (void** at = list; *at; at = &static_cast<BlockLink*>(*at)->next) {
    if (*at == wanted) {
      *at = wanted->next;
      GlobalFree(wanted);
      return;
    }
  }
}

void PdevMemDestroy(void** list) {
  if (!list) return;
  void* link = *list;
  while (link) {
    void* next = static_cast<BlockLink*>(link)->next;
    GlobalFree(link);
    link = next;
  }
  GlobalFree(list);
}

void* PdevStreamAlloc(void* pdev, SIZE_T bytes) {
  return PdevMemAlloc(static_cast<RenderPdev*>(pdev)->allocations, bytes);
}

void PdevStreamFree(void* pdev, void* block) { PdevMemFree(static_cast<RenderPdev*>(pdev)->allocations, block); }
