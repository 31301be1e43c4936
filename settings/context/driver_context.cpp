#include "settings/context/driver_context.h"

#include <cstring>
#include <new>

#include "settings/items/block_handles.h"
#include "settings/context/cache.h"
#include "settings/context/open_steps.h"
#include "settings/items/store.h"
#include "settings/context/memory.h"
#include "settings/context/settings_history.h"
#include "settings/persistence/paths.h"
#include "settings/services/spooler_info.h"

std::atomic<LONG> UiInstalling{0};

namespace {

// The font blocks of section 2: a count item, the item holding the block's handle, and the size
// of one entry.
struct FontBlockItems {
  WORD countId;
  WORD handleId;
  DWORD entryBytes;
};
constexpr FontBlockItems kFontBlocks[] = {
    {10004, 10005, 128},  // font table
    {10006, 10007, 68},   // device fonts
    {10008, 10009, 68},   // option fonts
};

const ContextWorkArea kWorkAreaTemplate{};
const SettingsRecord kTemplateRecord{};

DriverContext MakeTemplate() {
  DriverContext t{};
  int count = 0;
  // The template only points at constant data; nothing writes through it.
  t.itemTable = const_cast<ItemTable*>(OptGetStaticItemTable());
  t.pageTemplates = OptGetStaticPageTable();
  t.itemSymbols = OptGetItemSymbols(&count);
  t.valueSymbols = OptGetValueSymbols(&count);
  t.messages = OptGetMessageRow(0);
  t.modelDefaults = const_cast<ModelDefaults*>(&kModelDefaults);
  t.settings = const_cast<SettingsRecord*>(&kTemplateRecord);
  t.work = const_cast<ContextWorkArea*>(&kWorkAreaTemplate);
  return t;
}

template <class T>
T* AllocCopy(const T& source) {
  void* block = SysAlloc(sizeof(T));
  return block ? new (block) T(source) : nullptr;
}

// The context's own item table: the header with its rows behind it in one block.
ItemTable* CopyItemTable(const ItemTable& source) {
  const size_t rowsBytes = sizeof(ItemTableRow) * static_cast<size_t>(source.count);
  static_assert(sizeof(ItemTable) % alignof(ItemTableRow) == 0);
  void* block = SysAlloc(sizeof(ItemTable) + rowsBytes);
  if (!block) return nullptr;
  auto* table = static_cast<ItemTable*>(block);
  table->count = source.count;
  table->rows = reinterpret_cast<ItemTableRow*>(static_cast<BYTE*>(block) + sizeof(ItemTable));
  std::memcpy(table->rows, source.rows, rowsBytes);
  return table;
}

SettingsRecord* AllocRecord() { return static_cast<SettingsRecord*>(SysAlloc(sizeof(SettingsRecord))); }

// Frees what a context owns, in the close order. Works on a context an open left half built.
void FreeContext(DriverContext* context, int releaseKind) {
  const ContextOpenSteps& steps = CtxOpenSteps();
  CtxFreeSnapshot(context);
  if (releaseKind == kReleaseToTable2 || releaseKind == kReleaseToTable1 || releaseKind == kReleaseDestroy)
    steps.cfgFreeFontBlobs(context);
  steps.resFreeDlls(context);
  steps.condFreeStack(context);
  steps.descRelease(context);
  SysFree(context->itemTable);
  context->itemTable = nullptr;
  SysFree(context->modelDefaults);
  context->modelDefaults = nullptr;
  SysFree(context->settings);
  context->settings = nullptr;
  if (ContextWorkArea* work = context->work) {
    for (SettingsRecord*& record : work->history) {
      SysFree(record);
      record = nullptr;
    }
    DmHistoryFreeDeeper(context);
    SysFree(work->overrides);
    work->overrides = nullptr;
    steps.lstPresetSlots(context, nullptr, kPresetSlotsFree);
    SysFree(work);
    context->work = nullptr;
  }
  SysFree(context);
}

// A new context, opened in this order (steps 5 to 8 of an open; the caller did 1 to 4):
//  5. a copy of the template with the caller's printer and value; its own item table, model
//     defaults and work area (job-credential session and printer information cleared, then
//     filled from `info`); three zeroed history records; the kind, kind flags and creation flags;
//  6. kinds 0, 1, 3: the driver name; all kinds: the help language code, no override array, a
//     zeroed saved copy of the record, the preset slots forgotten;
//  7. kinds 0..3: the model description, then the constraint evaluation stack;
//  8. kinds 0..3: the settings record (zeroed, private header written, then built for the kind),
//     kind 0: the stored settings, the device configuration mirrored into the devmode, the
//     snapshot. Other kinds have no record.
// Any failure destroys what was built and answers null.
DriverContext* BuildContext(HANDLE printer, ULONG_PTR callerValue, WORD kindWord, DWORD creationFlags,
                            const PRINTER_INFO_2W* info) {
  const ContextOpenSteps& steps = CtxOpenSteps();
  const DriverContext& model = CtxGetTemplate();
  const WORD kind = kindWord & kKindMask;
  const bool withRecord = kind <= kKindLastWithRecord;

  // 5.
  DriverContext* context = static_cast<DriverContext*>(SysAlloc(sizeof(DriverContext)));
  if (!context) return nullptr;
  *context = model;
  // Until each is its own copy, none of the template's pointers may be freed with the context.
  context->itemTable = nullptr;
  context->modelDefaults = nullptr;
  context->settings = nullptr;
  context->work = nullptr;
  context->printer = printer;
  context->callerValue = callerValue;
  context->itemTable = CopyItemTable(*model.itemTable);
  context->modelDefaults = context->itemTable ? AllocCopy(*model.modelDefaults) : nullptr;
  context->work = context->modelDefaults ? AllocCopy(*model.work) : nullptr;
  if (!context->work) {
    FreeContext(context, kReleaseDestroy);
    return nullptr;
  }
  ContextWorkArea& work = *context->work;
  std::memset(work.jobCredentialSession, 0, sizeof work.jobCredentialSession);
  work.printerInfo = PrinterInfoCache{};
  PrnCacheInfo2(info, context);
  for (SettingsRecord*& record : work.history) {
    record = AllocRecord();
    if (!record) {
      FreeContext(context, kReleaseDestroy);
      return nullptr;
    }
  }
  work.kindFlags = kindWord & kKindFlagsMask;
  work.kind = kind;
  work.creationFlags = creationFlags;

  // 6.
  if (kind == kKindOrdinary || kind == kKindResync || kind == kKindModelDefaults) PrnGetDriverName(context);
  CfgGetHelpLanguageCached(context);
  work.dirty = 0;
  std::memset(work.changeMasks, 0, sizeof work.changeMasks);
  work.overrides = nullptr;
  work.savedCopy = AllocRecord();
  if (!work.savedCopy) {
    FreeContext(context, kReleaseDestroy);
    return nullptr;
  }
  steps.lstPresetSlots(context, nullptr, kPresetSlotsForget);

  if (!withRecord) return context;

  // 7.
  if (!steps.descLoad(context) || steps.condAllocStack(context) == -1) {
    FreeContext(context, kReleaseDestroy);
    return nullptr;
  }

  // 8.
  context->settings = AllocRecord();
  if (!context->settings) {
    FreeContext(context, kReleaseDestroy);
    return nullptr;
  }
  // The section bases make sections 2 and 3 addressable before anything is built into them.
  DmWritePrivateHeader(&context->settings->devmode, *context->modelDefaults);
  if (!steps.dmBuildForContext(context, kind)) {
    FreeContext(context, kReleaseDestroy);
    return nullptr;
  }
  // A context whose stored settings could not be read would save defaults over them.
  if (kind == kKindOrdinary && !steps.cfgLoadOnOpen(context)) {
    FreeContext(context, kReleaseDestroy);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  steps.dmCopyDeviceConfig(context);
  CtxSnapshotDevmode(context);
  return context;
}

}  // namespace

const DriverContext& CtxGetTemplate() {
  static const DriverContext kTemplate = MakeTemplate();
  return kTemplate;
}

DriverContext* CtxCreateEx(HANDLE printer, ULONG_PTR callerValue, WORD kindWord, DWORD creationFlags, DWORD extra,
                           const PRINTER_INFO_2W* info) {
  // 1. While a printer is being installed, contexts keep to the shared settings folder.
  if (UiInstalling.load(std::memory_order_relaxed) > 0) creationFlags |= kCreateSharedFolderOnly;
  // 2. The printer's information, asked of the spooler when not given.
  PRINTER_INFO_2W* fetched = nullptr;
  if (!info) info = fetched = static_cast<PRINTER_INFO_2W*>(PrnGetPrinterInfo(printer, 2));
  // 3.
  if (creationFlags == kCreateGraphics) creationFlags = kCreateGraphicsStored;
  // 4. A cached context for the same printer name, once the expired ones are gone.
  CtxFlushCache(0);
  const WCHAR* name = info ? info->pPrinterName : nullptr;
  PRINTER_INFO_2W* named = nullptr;
  if ((!name || !name[0]) && !fetched) {
    named = static_cast<PRINTER_INFO_2W*>(PrnGetPrinterInfo(printer, 2));
    name = named ? named->pPrinterName : nullptr;
  }
  DriverContext* context = CtxCacheTake(ContextCacheRequest{printer, kindWord, creationFlags, extra, name});
  if (context) {
    // The handle the context was cached with may be closed by now.
    context->printer = printer;
    context->callerValue = callerValue;
  } else {
    // 5 to 8.
    context = BuildContext(printer, callerValue, kindWord, creationFlags, info);
  }
  SysFree(named);
  SysFree(fetched);
  return context;
}

DriverContext* CtxCreate(HANDLE printer, ULONG_PTR callerValue, DWORD creationFlags) {
  return CtxCreateEx(printer, callerValue, kKindOrdinary, creationFlags, 0, nullptr);
}

void CtxDestroyEx(DriverContext* context, int releaseKind) {
  if (!context) return;
  if ((releaseKind == kReleaseToTable2 || releaseKind == kReleaseToTable1) &&
      !(OptGetValue(context, kItemJobBinder) & 1)) {
    CtxCacheOffer(context, releaseKind == kReleaseToTable2 ? 2 : 1);
    return;
  }
  FreeContext(context, releaseKind);
}

void CtxDestroy(DriverContext* context) { CtxDestroyEx(context, kReleaseToTable2); }

void CtxFreeSnapshot(DriverContext* context) {
  if (!context || !context->work || !context->work->savedCopy) return;
  for (const FontBlockItems& block : kFontBlocks) {
    SysBlockFree(OptGetSavedValue(context, block.handleId));
    OptSetSavedValue(context, block.handleId, 0);
  }
  SysFree(context->work->savedCopy);
  context->work->savedCopy = nullptr;
}

BOOL CtxSnapshotDevmode(DriverContext* context) {
  if (!context || !context->work || !context->settings) return FALSE;
  ContextWorkArea& work = *context->work;
  if (work.savedCopy) {
    for (const FontBlockItems& block : kFontBlocks) SysBlockFree(OptGetSavedValue(context, block.handleId));
  } else if (!(work.savedCopy = AllocRecord())) {
    return FALSE;
  }
  std::memcpy(work.savedCopy, context->settings, sizeof(SettingsRecord));
  for (const FontBlockItems& block : kFontBlocks) {
    const LONG count = static_cast<LONG>(OptGetSavedValue(context, block.countId));
    const DWORD handle = OptGetSavedValue(context, block.handleId);
    // Nothing of the record's block may stay shared with the copy.
    OptSetSavedValue(context, block.handleId, 0);
    if (count == 0 && handle == 0) continue;
    SIZE_T available = 0;
    const void* source = SysBlockGet(handle, &available);
    const SIZE_T bytes = static_cast<SIZE_T>(count > 0 ? count : 0) * block.entryBytes;
    DWORD copyHandle = 0;
    void* copy = source && bytes > 0 && bytes <= available ? SysBlockAlloc(bytes, &copyHandle) : nullptr;
    if (copy) {
      std::memcpy(copy, source, bytes);
      OptSetSavedValue(context, block.handleId, copyHandle);
    } else {
      OptSetSavedValue(context, block.countId, 0);
    }
  }
  return TRUE;
}
