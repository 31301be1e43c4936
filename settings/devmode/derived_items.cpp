#include "settings/devmode/derived_items.h"

#include "data/item_ids.h"
#include "settings/context/open_steps.h"
#include "settings/devmode/item_defaults.h"
#include "settings/items/store.h"
#include "settings/devmode/model_hooks.h"
#include "settings/devmode/paper_geometry.h"
#include "settings/constraints/condition_items.h"
#include "settings/constraints/eval.h"
#include "settings/services/spooler_info.h"
#include "settings/persistence/user_lists.h"

namespace {


constexpr DWORD kMergeKeepResolution = 0x10000000;
constexpr DWORD kLandscape = 2;
constexpr DWORD kSimplex = 1, kLongEdge = 2, kShortEdge = 3;
constexpr int kHandlersTest = 2;

bool Usable(DriverContext* context) { return context && context->settings && context->itemTable; }

bool IsLandscape(DriverContext* context) { return OptGetValue(context, kItemOrientation) == kLandscape; }

// Bindings along the top edge (booklets bound at the top included).
bool IsTopBinding(DWORD binding) { return binding == 1 || binding == 17 || binding == 20; }

// The binding turned to the side family (2, 3 and their booklets 18, 19, 21, 22) or the top
// family (1, 17, 20), keeping the booklet kind where it has a counterpart.
DWORD SideBinding(DWORD binding) {
  switch (binding) {
    case 2:
    case 3:
    case 18:
    case 19:
    case 21:
    case 22:
      return binding;
    case 17:
      return 19;
    case 20:
      return 22;
    default:
      return 3;
  }
}
DWORD TopBinding(DWORD binding) {
  switch (binding) {
    case 1:
    case 17:
    case 20:
      return binding;
    case 18:
    case 19:
      return 17;
    case 21:
    case 22:
      return 20;
    default:
      return 1;
  }
}

void ApplyDuplex(DriverContext* context) {
  const DWORD duplex = static_cast<SHORT>(OptGetValue(context, kItemDuplex));
  if (duplex != kLongEdge && duplex != kShortEdge) {
    if (!OptGetValue(context, kItemCustomFunc0)) OptSetValue(context, kItemFuncSelectDuplex, 0);
    return;
  }
  // Long-edge binding of a portrait page, or short-edge binding of a landscape one, is a side.
  const bool side = (duplex == kLongEdge) != IsLandscape(context);
  if (OptGetValue(context, kItemFuncSelectDuplex)) {
    const DWORD binding = OptGetValue(context, kItemDuplexType);
    OptSetValue(context, kItemDuplexType, side ? SideBinding(binding) : TopBinding(binding));
  } else {
    OptSetValue(context, kItemFuncSelectDuplex, 1);
    OptSetValue(context, kItemDuplexType, side ? 3 : 1);
  }
}

// Source paper from the custom size or the paper value as `fields` marks them; FALSE when
// neither is marked.
bool ApplySourcePaper(DriverContext* context, DWORD fields) {
  const bool sized = (fields & DM_PAPERLENGTH) && (fields & DM_PAPERWIDTH) &&
                     static_cast<SHORT>(OptGetValue(context, kItemPaperLength)) > 0 &&
                     static_cast<SHORT>(OptGetValue(context, kItemPaperWidth)) > 0;
  if (sized && !(fields & DM_PAPERSIZE)) {
    DmDeriveSrcPaperCustom(context);
    return true;
  }
  if (fields & DM_PAPERSIZE) {
    DmDeriveSrcPaper(context, OptGetValue(context, kItemPaperSize), kItemPaperSize);
    return true;
  }
  return false;
}

void SyncEnvironment(DriverContext* context) {
  OptSetValue(context, kItemPresentUIMode, OptGetValue(context, kItemUIModeChange) ? 1 : 0);
  OptSetValue(context, kItemBidiSupport, PrnIsBidiEnabled(context) ? 1 : 0);
  OptSetValue(context, kItemServerClientMode, PrnIsOnServer(context) ? 1 : 0);
}

bool ModelCodeIsEmpty(DriverContext* context) {
  const ItemTableRow* row = OptFindItem(context->itemTable, kItemModelCode);
  const BYTE* text = OptGetItemAddress(context, row);
  return text && text[0] == 0;
}

void DeriveOutputPaper(DriverContext* context) {
  DmDeriveDstPaper(context, OptGetValue(context, kItemOutPaperSize), kItemOutPaperSize);
}

}  // namespace

void DmApplyPublicToItems(DriverContext* context, const PrivateDevmode* incoming) {
  if (!Usable(context)) return;
  const DWORD own = OptGetValue(context, kItemFields);
  const DWORD fields = incoming ? own & DmLoadU32(incoming->bytes, kDmOffFields) : own;

  if (fields & DM_DUPLEX) ApplyDuplex(context);
  if (fields & DM_MEDIATYPE) {
    // Only the low 16 bits travel, as a signed value.
    const SHORT media = static_cast<SHORT>(OptGetValue(context, kItemDmMediaType) & 0xFFFF);
    OptSetValue(context, kItemVdmMediaType, static_cast<DWORD>(static_cast<LONG>(media)));
  }
  DmReselectStamp(context);
  if (!(context->work && (context->work->mergeFlags & kMergeKeepResolution))) DmSyncResolutionFromPublic(context);
  // Orientation or a form name alone: the paper the record holds.
  if (!ApplySourcePaper(context, fields) && (fields & (DM_ORIENTATION | DM_FORMNAME))) ApplySourcePaper(context, own);
  DeriveOutputPaper(context);
  SyncEnvironment(context);
  if (ModelCodeIsEmpty(context)) CfgBuildModelCode(context);
  OptSetValue(context, kItemUIStart, 0);
  DmRunDefaultTable(context, kHandlersTest);
}

void DmResync(DriverContext* context, int callType) {
  if (!Usable(context)) return;
  DmSyncItemsFromPublic(context, callType);
  DmSetPublicDuplex(context);
  DmSetPublicMediaType(context);
  DmCopyDeviceConfig(context);
}

void DmSyncItemsFromPublic(DriverContext* context, int callType) {
  if (!Usable(context)) return;
  DmSyncResolutionFromItems(context);
  DmDeriveSrcPaper(context, OptGetValue(context, kItemPaperSize), kItemPaperSize);
  DeriveOutputPaper(context);
  SyncEnvironment(context);
  if (callType == 1 || callType == 3 || callType == 4) CfgBuildModelCode(context);
  OptSetValue(context, kItemUIStart, 0);
}

void DmSetPublicDuplex(DriverContext* context) {
  if (!Usable(context)) return;
  if (!OptGetValue(context, kItemFuncSelectDuplex)) {
    OptSetValue(context, kItemDuplex, kSimplex);
    return;
  }
  const DWORD duplex = static_cast<SHORT>(OptGetValue(context, kItemDuplex));
  if (OptGetValue(context, kItemCustomFunc0) && duplex != kLongEdge && duplex != kShortEdge) return;
  const DWORD binding = OptGetValue(context, kItemDuplexType);
  DWORD value = kSimplex;
  if (binding != 0) value = IsTopBinding(binding) == IsLandscape(context) ? kLongEdge : kShortEdge;
  OptSetValue(context, kItemDuplex, value);
}

void DmSetPublicMediaType(DriverContext* context) {
  if (!Usable(context)) return;
  OptSetValue(context, kItemDmMediaType, OptGetValue(context, kItemVdmMediaType));
}

void DmSyncResolutionFromPublic(DriverContext* context) {
  if (!Usable(context)) return;
  const DWORD quality = OptGetValue(context, kItemPrintQuality);
  OptSetValue(context, kItemYResolution, quality);
  // The draft levels (-4..-1) name no resolution; the items are dots per inch.
  const LONG dpi = static_cast<SHORT>(quality);
  const DWORD items = dpi > 0 ? static_cast<DWORD>(dpi) : ContextModelDefaults(context).defaultResolution;
  OptSetValue(context, kItemDstResolutionW, items);
  OptSetValue(context, kItemDstResolutionH, items);
}

void DmSyncResolutionFromItems(DriverContext* context) {
  if (!Usable(context)) return;
  const DWORD dpi = OptGetValue(context, kItemDstResolutionW);
  OptSetValue(context, kItemDstResolutionH, dpi);
  OptSetValue(context, kItemPrintQuality, dpi);
  OptSetValue(context, kItemYResolution, dpi);
}

void DmReselectStamp(DriverContext* context) {
  if (!Usable(context) || !OptGetValue(context, kItemFuncSelectWaterMark)) return;
  const DWORD kind = OptGetValue(context, kItemWmKind);
  if (kind == 1 || kind == 2 || kind == 3 || kind == 128) LstLoadStamp(context, OptGetValue(context, kItemWmID));
}
