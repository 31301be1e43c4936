#include "settings/devmode/record_build.h"

#include <cstring>

#include "data/item_ids.h"
#include "settings/context/open_steps.h"
#include "settings/devmode/derived_items.h"
#include "settings/devmode/environment.h"
#include "settings/services/help_language.h"
#include "settings/devmode/item_checks.h"
#include "settings/devmode/item_defaults.h"
#include "settings/items/store.h"
#include "settings/context/memory.h"
#include "settings/devmode/public_fields.h"
#include "settings/services/spooler_info.h"

namespace {

constexpr size_t kOffSpecVersion = 64;
constexpr size_t kOffDriverVersion = 66;
constexpr BYTE kSignature[4] = {'V', 'E', 'L', 'M'};


bool HasRecord(const DriverContext* context) { return context && context->settings && context->itemTable; }

bool IsFontItem(WORD id) { return id >= kItemFirstFontList && id <= kItemLastFontList; }

// Items the frame owns: the layout's size and version fields and the machine identifier. They
// say which driver and model wrote the bytes, so no model default may replace them.
bool IsFrameItem(WORD id) { return (id >= kItemSpecVersion && id <= kItemDriverExtra) || id == kItemMachineID; }

void WriteFrame(PrivateDevmode* devmode, const ModelDefaults& defaults) {
  BYTE* bytes = devmode->bytes;
  DmWritePrivateHeader(devmode, defaults);
  bytes[kDmOffMachineId] = defaults.machineId;
  bytes[kDmOffModelVariant] = defaults.modelVariant;
  DmStoreU16(bytes, kOffSpecVersion, static_cast<WORD>(defaults.specVersion));
  DmStoreU16(bytes, kOffDriverVersion, static_cast<WORD>(defaults.driverVersion));
  DmStoreU16(bytes, kDmOffSize, kDmPublicSize);
  DmStoreU16(bytes, kDmOffDriverExtra, kDmPrivateSize);
}

// The record zeroed, the font-list items excepted: their blocks belong to the record.
void ClearRecord(DriverContext* context) {
  DWORD fonts[kItemLastFontList - kItemFirstFontList + 1];
  for (WORD id = kItemFirstFontList; id <= kItemLastFontList; ++id) fonts[id - kItemFirstFontList] = OptGetValue(context, id);
  std::memset(context->settings, 0, sizeof(SettingsRecord));
  DmWritePrivateHeader(&context->settings->devmode, ContextModelDefaults(context));
  for (WORD id = kItemFirstFontList; id <= kItemLastFontList; ++id) {
    if (fonts[id - kItemFirstFontList] != 0) OptSetValue(context, id, fonts[id - kItemFirstFontList]);
  }
}

// The printer's devmode, from a PRINTER_INFO_2 the caller frees with SysFree; null without one.
const BYTE* PrinterDevmode(DriverContext* context, void** info) {
  auto* printerInfo = static_cast<PRINTER_INFO_2W*>(PrnGetPrinterInfo(context->printer, 2));
  *info = printerInfo;
  return printerInfo ? reinterpret_cast<const BYTE*>(printerInfo->pDevMode) : nullptr;
}

// Whether a devmode whose public and private sizes are this layout's (so it holds kDmSize
// bytes, as the spooler hands it) is this driver's own.
bool IsOwnFullDevmode(const BYTE* devmode, const ModelDefaults& defaults) {
  return DmLoadU16(devmode, kDmOffSize) == kDmPublicSize && DmLoadU16(devmode, kDmOffDriverExtra) == kDmPrivateSize &&
         DmHasOwnPrivatePart(reinterpret_cast<const PrivateDevmode*>(devmode), defaults);
}

// A stored devmode is input like any other: its public fields are judged as it is taken.
void CopyIntoRecord(DriverContext* context, const BYTE* devmode) {
  std::memcpy(context->settings->devmode.bytes, devmode, kDmSize);
  DmRestoreSectionBases(&context->settings->devmode);
  DmCheckStoredPublic(context);
}

}  // namespace

// ---- Compatibility ----------------------------------------------------------------------------

BOOL DmIsCompatible(const PrivateDevmode* devmode, const ModelDefaults& defaults) {
  if (!devmode) return FALSE;
  const BYTE* bytes = devmode->bytes;
  const BYTE variant = bytes[kDmOffModelVariant];
  const bool variantAgrees =
      (defaults.modelVariant == 0 && variant == 0) || (defaults.modelVariant == 1 && variant == 1);
  return DmLoadU32(bytes, kDmOffModelTag) == defaults.modelTag &&
         DmLoadU32(bytes, kDmOffPrivateSize) == kDmPrivateSize &&
         (DmLoadU32(bytes, kDmOffFormatVersion) & 0xFFFF) == (defaults.formatVersion & 0xFFFF) &&
         bytes[kDmOffMachineId] == defaults.machineId && variantAgrees;
}

BOOL DmHasOwnPrivatePart(const PrivateDevmode* devmode, const ModelDefaults& defaults) {
  return devmode && std::memcmp(devmode->bytes + kDmOffSignature, kSignature, sizeof kSignature) == 0 &&
         DmIsCompatible(devmode, defaults);
}

void DmRestoreSectionBases(PrivateDevmode* devmode) {
  if (!devmode) return;
  DmStoreU16(devmode->bytes, kDmOffSectionBase, 0);
  DmStoreU16(devmode->bytes, kDmOffSectionBase + 2, static_cast<WORD>(kDmSize));
  DmStoreU16(devmode->bytes, kDmOffSectionBase + 4, static_cast<WORD>(kDmSize + kDmConfigSize));
}

// ---- Building ---------------------------------------------------------------------------------

BOOL DmBuildForContext(DriverContext* context, int kind) {
  if (!HasRecord(context)) return FALSE;
  // A record that stood before, or a refused devmode, leaves nothing behind in the new one.
  ClearRecord(context);
  if (kind != kKindModelDefaults && DmLoadFromPrinter(context)) {
    if (kind == kKindResync) DmSyncItemsFromPublic(context, kResyncBuild);
    return TRUE;
  }
  DmSetDefaults(context);
  DmTakePrinterDevmode(context);
  return TRUE;
}

void DmSetDefaults(DriverContext* context) {
  if (!HasRecord(context)) return;
  DmResetAllToDefaults(context);
  DmSetDriverVersionItem(context);
  DmValidatePublic(context);
  DmRunDefaultTable(context, kDefaultModeFix);
  DmSyncItemsFromPublic(context, kResyncBuild);
  DmFillHeaderNames(&context->settings->devmode, ContextModelDefaults(context));
  DmSetEnvironment(context);
  const WORD language = CfgHelpLanguageId(context);
  OptSetValue(context, kItemLanguageID, language);
  OptSetValue(context, kItemHelpLanguageID, language);
  DmResetJobActions(context, FALSE);
}

void DmResetAllToDefaults(DriverContext* context) {
  if (!HasRecord(context)) return;
  WriteFrame(&context->settings->devmode, ContextModelDefaults(context));
  ItemTable& table = *context->itemTable;
  for (int i = 0; i < table.count; ++i) {
    ItemTableRow& row = table.rows[i];
    if (IsFrameItem(row.id) || IsFontItem(row.id)) continue;
    OptResetToDefault(context, &row);
  }
}

void DmSetDriverVersionItem(DriverContext* context) {
  if (!HasRecord(context)) return;
  const WCHAR* version = ContextModelDefaults(context).descriptionVersion;
  OptSetString(context, OptFindItem(context->itemTable, kItemWdmDriverVersion), version ? version : WSTR(""));
}

BOOL DmLoadFromPrinter(DriverContext* context) {
  if (!HasRecord(context)) return FALSE;
  void* info = nullptr;
  const BYTE* devmode = PrinterDevmode(context, &info);
  const bool own = devmode && IsOwnFullDevmode(devmode, ContextModelDefaults(context));
  if (own) CopyIntoRecord(context, devmode);
  SysFree(info);
  return own ? TRUE : FALSE;
}

void DmTakePrinterDevmode(DriverContext* context) {
  if (!HasRecord(context)) return;
  void* info = nullptr;
  const BYTE* devmode = PrinterDevmode(context, &info);
  const BYTE* record = context->settings->devmode.bytes;
  const auto sameNonZero = [&](size_t offset) {
    const WORD value = DmLoadU16(devmode, offset);
    return value != 0 && value == DmLoadU16(record, offset);
  };
  if (devmode && sameNonZero(kDmOffDriverExtra) && sameNonZero(kOffDriverVersion) && sameNonZero(kDmOffSize) &&
      IsOwnFullDevmode(devmode, ContextModelDefaults(context)))
    CopyIntoRecord(context, devmode);
  SysFree(info);
}

// ---- Shorthands -------------------------------------------------------------------------------

LONG DmGetPrintQuality(DriverContext* context) {
  return static_cast<LONG>(OptGetValue(context, kItemPrintQuality));
}

BOOL DmSetPrintQuality(DriverContext* context, LONG quality) {
  return OptSetValue(context, kItemPrintQuality, static_cast<DWORD>(quality));
}

DWORD DmGetDstResolutionW(DriverContext* context) { return OptGetValue(context, kItemDstResolutionW); }

DWORD DmGetDstResolutionH(DriverContext* context) { return OptGetValue(context, kItemDstResolutionH); }

BOOL DmSetDstResolution(DriverContext* context, DWORD across, DWORD along) {
  const BOOL w = OptSetValue(context, kItemDstResolutionW, across);
  const BOOL h = OptSetValue(context, kItemDstResolutionH, along);
  return w && h;
}
