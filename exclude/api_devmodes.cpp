#include "exclude/api_devmodes.h"

#include <algorithm>
#include <cstring>

#include "data/item_ids.h"
#include "exclude/api_contexts.h"
#include "exclude/caps_records.h"
#include "exclude/status_records.h"
#include "exclude/velmexc.h"
#include "settings/constraints/condition_items.h"
#include "settings/constraints/eval.h"
#include "settings/context/open_steps.h"
#include "settings/devmode/derived_items.h"
#include "settings/description/access.h"
#include "settings/persistence/font_lists.h"
#include "settings/devmode/item_checks.h"
#include "settings/items/saved_settings_values.h"
#include "settings/items/store.h"
#include "settings/services/job_credentials.h"
#include "settings/devmode/locale_defaults.h"
#include "settings/context/memory.h"
#include "settings/persistence/options.h"
#include "settings/devmode/paper_geometry.h"
#include "settings/services/platform_tests.h"
#include "settings/services/bidi_query.h"
#include "settings/services/bidi_saved_info.h"
#include "settings/devmode/environment.h"
#include "settings/devmode/record_build.h"
#include "settings/persistence/user_lists.h"
#include "settings/context/settings_history.h"
#include "settings/items/settings_record.h"
#include "settings/context/boundary.h"

namespace {

constexpr WORD kItemFirstMargin = kItemBindMargin;  // 104..107: binding margins, face margins
constexpr WORD kItemLastMargin = kItemMarginEven;
constexpr WORD kItemFirstPlane = kItemPlaneUseCMYKCyan;  // 164..167: the CMYK plane selection
constexpr WORD kItemLastPlane = kItemPlaneUseCMYKBlack;

constexpr DWORD kScaleFitToPaper = 2;
constexpr DWORD kFirstQualityList = 32;
constexpr DWORD kLastQualityList = 39;
constexpr DWORD kResolutionReset = 600;
constexpr DWORD kResolutionBothReset = 3;
constexpr DWORD kResolutionBothHigh = 4;
constexpr DWORD kMemoryMarkWithCard = 160;
constexpr DWORD kMemoryMark = 32;
constexpr WORD kCustomPaper = 256;

// The finisher switches whose positions outlive a paper re-derivation while their node is hidden.
struct FinisherPair {
  WORD switchItem;
  WORD positionItem;
};
constexpr FinisherPair kFinishers[] = {{kItemFuncSelectDuplex, 102}, {66, 136}, {65, 134}};

bool IsKnownMode(DWORD mode) {
  return mode == kApiModeCurrent || mode == (kApiModeCurrent | kApiModeBidi) || mode == kApiModeDefaults ||
         mode == (kApiModeDefaults | kApiModeBidi) || mode == kApiModeRederived;
}

DWORD Get(DriverContext* context, WORD item) { return OptGetValue(context, item); }
void Set(DriverContext* context, WORD item, DWORD value) { OptSetValue(context, item, value); }

void ResetToModelDefault(DriverContext* context, WORD item) {
  if (ItemTableRow* row = OptFindItem(context->itemTable, item)) OptResetToDefault(context, row);
}

bool IsNodeHidden(DriverContext* context, WORD item) {
  const DescNode* node = DescGetNode(item, context);
  return node && CondIsHidden(node, 0, context);
}

// All eight credential items, read in one session that is closed and unloaded again; a service
// that is absent or fails leaves the items as they are.
void ReadJobCredentials(DriverContext* context) { JcDispatch(context, kJcReadOnce, kJcMaskCredentials); }

// The record rebuilt from the printer's devmode or the model (context kind 0), the way an open
// builds it, after its font lists are freed, and the stored settings loaded into it. When the
// build or the load fails the previous record comes back with its font lists read again, so
// that the context is never left half built.
BOOL RebuildRecord(DriverContext* context) {
  SettingsRecord* previous = static_cast<SettingsRecord*>(SysAlloc(sizeof(SettingsRecord)));
  if (!previous) return FALSE;
  CfgFreeFontBlobs(context);
  std::memcpy(previous, context->settings, sizeof(SettingsRecord));
  std::memset(context->settings, 0, sizeof(SettingsRecord));
  DmWritePrivateHeader(&context->settings->devmode, ContextModelDefaults(context));
  const BOOL built = DmBuildForContext(context, kKindOrdinary) && CfgLoad(context->printer, kCfgLoadAll, context);
  if (!built) {
    const DWORD error = GetLastError();
    CfgFreeFontBlobs(context);
    std::memcpy(context->settings, previous, sizeof(SettingsRecord));
    CfgLoadFontLists(context->printer, context);
    SetLastError(error);
  }
  SysFree(previous);
  return built;
}

// FALSE (ERROR_NOT_ENOUGH_MEMORY) when the stored settings could not be read: the record would
// answer defaults in their place.
BOOL BuildCurrent(DriverContext* context, DWORD mode) {
  HANDLE printer = context->printer;
  DmSetDefaults(context);
  ApiCommonResets(context, kApiModeCurrent);
  CfgFreeFontBlobs(context);
  if (!CfgLoad(printer, kCfgLoadAll, context)) return FALSE;
  if (mode & kApiModeBidi) ApiRefreshBidi(context);
  if (!CfgLoad(printer, kCfgLoadDevice, context)) return FALSE;
  ReadJobCredentials(context);
  DmSetCountryDefaults(context);
  if (ContextModelDefaults(context).modelVariant == 1) Set(context, kItemPaperSize, context->work->locale.paperSize);
  ApiFixFinisher(context);
  return TRUE;
}

BOOL BuildDefaults(DriverContext* context, DWORD mode) {
  HANDLE printer = context->printer;
  if (!RebuildRecord(context)) return FALSE;
  ApiCommonResets(context, kApiModeDefaults);
  if (mode & kApiModeBidi) ApiRefreshBidi(context);
  ApiSetMarginDefaults(context);
  if (Get(context, kItemFuncSelectMargin) == 0) {
    ResetToModelDefault(context, kItemSimplexBindType);
    for (WORD item = kItemFirstMargin; item <= kItemLastMargin; ++item) Set(context, item, 0);
  }
  ReadJobCredentials(context);
  Set(context, kItemTSE, SysIsTerminalServer(printer) ? 1 : 0);
  Set(context, kItemAdmin, SysIsAdministrator() ? 1 : 0);
  ApiFixFinisher(context);
  return TRUE;
}

void BuildRederived(DriverContext* context) {
  ApiCommonResets(context, kApiModeRederived);
  if (CondGetItemValue(context, kItemResolutionOverCheck) == 1) {
    Set(context, kItemPrompt, 1);
    CondApplyNodeRules(DescGetNode(kItemDstResolutionBoth, context), context);
    Set(context, kItemPrompt, 0);
  }
  if (ApiResolutionResetNeeded(context) == 1) {
    Set(context, kItemDstResolutionW, kResolutionReset);
    Set(context, kItemDstResolutionH, kResolutionReset);
    Set(context, kItemDstResolutionBoth, kResolutionBothReset);
    DmResync(context, kResyncMerge);
  }
  ApiFixFinisher(context);
}

}  // namespace

void ApiCommonResets(DriverContext* context, DWORD mode) {
  Set(context, kItemUIModeChange, 0);
  Set(context, kItemPresentUIMode, 0);
  CtxClearChangeMask(context, kChangeMaskFreeSizesLoaded);
  if (mode == kApiModeCurrent) {
    Set(context, kItemPresetNo, kPresetNoneIndex);
    Set(context, kItemQualityListUse, 0);
    Set(context, kItemQualityListNo, 0);
  } else if (mode == kApiModeDefaults) {
    Set(context, kItemPresetNo, kPresetNoneIndex);
    ApiReapplyQualityPlanes(context);
  }
  DmDeriveSrcPaper(context, Get(context, kItemPaperSize), kItemPaperSize);
  DmDeriveDstPaper(context, Get(context, kItemOutPaperSize), kItemOutPaperSize);
  ApiRecomputeFitScale(context);
}

void ApiRecomputeFitScale(DriverContext* context) {
  if (Get(context, kItemFuncSelectScale) != 1 || Get(context, kItemScaleType) != kScaleFitToPaper) return;
  const DWORD srcWidth = Get(context, kItemSrcPaperWidthDot);
  const DWORD srcLength = Get(context, kItemSrcPaperLengthDot);
  if (srcWidth == 0 || srcLength == 0) return;
  const uint64_t across = uint64_t{Get(context, kItemDstPaperWidthDot)} * 100 / srcWidth;
  const uint64_t along = uint64_t{Get(context, kItemDstPaperLengthDot)} * 100 / srcLength;
  const DWORD scale = static_cast<DWORD>(std::min<uint64_t>(std::min(across, along), 0xFFFF));
  OptSetModelValueById(context, kItemScaleH, scale);
  OptSetModelValueById(context, kItemScaleV, scale);
}

void ApiReapplyQualityPlanes(DriverContext* context) {
  const DWORD list = Get(context, kItemQualityListNo);
  if (Get(context, kItemQualityListUse) != 1 || list < kFirstQualityList || list > kLastQualityList) return;
  if (!DmHistoryPush(context)) return;
  LstLoadQuality(context, static_cast<int>(list - kFirstQualityList));
  DWORD planes[kItemLastPlane - kItemFirstPlane + 1];
  for (WORD item = kItemFirstPlane; item <= kItemLastPlane; ++item) planes[item - kItemFirstPlane] = Get(context, item);
  DmHistoryPop(context, TRUE);
  for (WORD item = kItemFirstPlane; item <= kItemLastPlane; ++item) Set(context, item, planes[item - kItemFirstPlane]);
}

BOOL ApiCheckPaperDots(DriverContext* context) {
  DmSyncResolutionFromItems(context);
  return DmCheckResolutionFit(context, FALSE);
}

int ApiResolutionResetNeeded(DriverContext* context) {
  if (Get(context, kItemMachineID) != kApiMachineResolutionLimited) return 0;
  const DWORD mark = Get(context, kItemSupportCardMemory) && Get(context, kItemOutputOptionTypeCardMemory)
                         ? kMemoryMarkWithCard
                         : kMemoryMark;
  if (!ApiCheckPaperDots(context)) return 1;
  if (Get(context, kItemSourceOptionTypeDuplex) == 0) return 0;
  if (Get(context, kItemFuncSelectDuplex) == 0) return 0;
  return Get(context, kItemPrinterMemory) == mark && Get(context, kItemDstResolutionBoth) == kResolutionBothHigh ? 1 : 0;
}

void ApiRefreshBidi(DriverContext* context) {
  if (!BidiGetSavedFlag(context)) return;
  BidiLoadSavedInfo(context);
  BidiQueryDevice(context);
}

void ApiRederivePaper(DriverContext* context) {
  const DWORD fields = Get(context, kItemFields);
  const bool customMarked = (fields & DM_PAPERLENGTH) && (fields & DM_PAPERWIDTH);
  const DWORD length = Get(context, kItemPaperLength);
  const DWORD width = Get(context, kItemPaperWidth);
  const DWORD paper = Get(context, kItemPaperSize);
  if (customMarked && static_cast<WORD>(paper) == kCustomPaper) {
    DmDeriveSrcPaperCustom(context);
  } else {
    DmDeriveSrcPaper(context, paper, kItemPaperSize);
  }
  DmDeriveDstPaper(context, Get(context, kItemOutPaperSize), kItemOutPaperSize);
  if (customMarked) {
    Set(context, kItemPaperLength, length);
    Set(context, kItemPaperWidth, width);
    Set(context, kItemFields, Get(context, kItemFields) | DM_PAPERLENGTH | DM_PAPERWIDTH);
  }
}

void ApiFixFinisher(DriverContext* context) {
  bool hidden[std::size(kFinishers)];
  DWORD kept[std::size(kFinishers)] = {};
  for (size_t i = 0; i < std::size(kFinishers); ++i) {
    hidden[i] = IsNodeHidden(context, kFinishers[i].switchItem);
    if (hidden[i]) kept[i] = Get(context, kFinishers[i].positionItem);
  }
  ApiRederivePaper(context);
  for (size_t i = 0; i < std::size(kFinishers); ++i)
    if (hidden[i] && IsNodeHidden(context, kFinishers[i].switchItem)) Set(context, kFinishers[i].positionItem, kept[i]);
  Set(context, kItemCollate, Get(context, kItemFuncSelectSort) != 0 ? 1 : 0);
}

LONG ApiGetDevmode(DriverContext* context, DWORD mode, void* buffer) {
  if (!context || !context->settings || !context->work || !IsKnownMode(mode)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  if (SysIsWin9x()) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return -1;
  }
  ApiPrinterScope scope;
  if (!ApiReopenPrinter(context, &scope)) return -1;
  BOOL built = TRUE;
  switch (mode & ~kApiModeBidi) {
    case kApiModeCurrent: built = BuildCurrent(context, mode); break;
    case kApiModeDefaults: built = BuildDefaults(context, mode); break;
    default: BuildRederived(context); break;
  }
  if (built && buffer) std::memcpy(buffer, context->settings->devmode.bytes, kDmSize);
  ApiReleasePrinter(context, &scope);
  return built ? static_cast<LONG>(kDmSize) : -1;
}

DRIVER_EXPORT int32_t VELMDrvGetDevmode(VELMAPICONTEXT context, uint32_t mode,
                                                                           void* devmode) try {
  return ApiGetDevmode(reinterpret_cast<DriverContext*>(context), mode, devmode);
} catch (...) {
  return SysFailAtBoundary(int32_t{-1});
}
