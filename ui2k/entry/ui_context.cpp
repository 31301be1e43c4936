#include "ui2k/entry/ui_context.h"

#include <cstring>

#include "settings/context/memory.h"
#include "settings/devmode/environment.h"
#include "settings/devmode/record_build.h"
#include "settings/services/feature_test.h"
#include "settings/services/platform_tests.h"
#include "settings/services/spooler_info.h"
#include "ui2k/entry/caps_summary.h"
#include "ui2k/entry/seams.h"

namespace {

std::atomic<LONG> g_openContexts{0};

void FreePages(PageTable& pages) {
  if (pages.rows) {
    for (SHORT i = 0; i < pages.count; ++i) SysFree(pages.rows[i].items);
    SysFree(pages.rows);
  }
  pages = PageTable{};
}

// The page rows and each page's item rows, copied so that a sheet may change them.
BOOL CopyPages(const PageTable* source, PageTable& copy) {
  copy = PageTable{};
  if (!source || source->count <= 0 || !source->rows) return TRUE;
  const size_t count = static_cast<size_t>(source->count);
  copy.rows = static_cast<PageTemplate*>(SysAlloc(sizeof(PageTemplate) * count));
  if (!copy.rows) return FALSE;
  copy.count = source->count;
  std::memcpy(copy.rows, source->rows, sizeof(PageTemplate) * count);
  for (size_t i = 0; i < count; ++i) copy.rows[i].items = nullptr;
  for (size_t i = 0; i < count; ++i) {
    const PageTemplate& page = source->rows[i];
    if (!page.items || page.itemCount == 0) continue;
    const size_t bytes = sizeof(PageItemTemplate) * page.itemCount;
    copy.rows[i].items = static_cast<PageItemTemplate*>(SysAlloc(bytes));
    if (!copy.rows[i].items) {
      FreePages(copy);
      return FALSE;
    }
    std::memcpy(copy.rows[i].items, page.items, bytes);
  }
  return TRUE;
}

}  // namespace

UiContext* UiCreateContext(HANDLE printer, ULONG_PTR callerValue, WORD kindWord, DWORD creationFlags, DWORD extra,
                           const PRINTER_INFO_2W* info) {
  auto* ui = static_cast<UiContext*>(SysAlloc(sizeof(UiContext)));
  if (!ui) return nullptr;
  *ui = UiContext{};
  ui->driver = CtxCreateEx(printer, callerValue, kindWord, creationFlags, extra, info);
  if (!ui->driver || !CopyPages(ui->driver->pageTemplates, ui->pages)) {
    CtxDestroyEx(ui->driver, kReleaseDestroy);
    SysFree(ui);
    return nullptr;
  }
  ContextWorkArea& work = *ui->driver->work;
  // The cache hands back a context only to the same creation flags and, for silent properties,
  // to the same state word.
  if (creationFlags & kCreateInterface) work.state = extra;
  work.mergeFlags = work.creationFlags;
  g_openContexts.fetch_add(1);
  if ((kindWord & kKindMask) == kKindOrdinary) UiGetSeams().instRunPendingInstSet(ui);
  return ui;
}

void UiDestroyContext(UiContext* ui) { UiDestroyContextEx(ui, kReleaseToTable2); }

void UiDestroyContextEx(UiContext* ui, int releaseKind) {
  if (!ui) return;
  for (HBRUSH& brush : ui->state.brushes) {
    if (brush) DeleteObject(brush);
    brush = nullptr;
  }
  SysFree(ui->state.bidiCopy);
  FontSubDropKeptTable(ui);
  FreePages(ui->pages);
  CtxDestroyEx(ui->driver, releaseKind);
  SysFree(ui);
  g_openContexts.fetch_sub(1);
}

LONG UiOpenContextCount() { return g_openContexts.load(); }

DWORD UiGetStateFlags(const UiContext* ui) { return ui && ui->driver->work ? ui->driver->work->mergeFlags : 0; }

void UiSetStateFlags(UiContext* ui, DWORD flags) {
  if (ui && ui->driver->work) ui->driver->work->mergeFlags = flags;
}

BOOL UiIsNt5OrLater() { return SysIsNt5OrLater(); }

BOOL UiIsConnectionPrinter(UiContext* ui) { return ui && PrnIsOnServer(ui->driver); }

BOOL UiSetModeByte(UiContext* ui, WORD item, BYTE value) { return ui && DmSetEnvironmentByte(ui->driver, item, value); }

BYTE UiGetModeByte(UiContext* ui, WORD item) { return ui ? DmGetEnvironmentByte(ui->driver, item) : 0; }

void UiSetJbInstalled(UiContext* ui) {
  UiSetModeByte(ui, kEnvJbInstalled, SysIsFeatureInstalled(kFeatureCountedCompanion) ? 1 : 0);
}

void UiSetModeBytes(UiContext* ui, DWORD fMode) {
  if (!ui) return;
  const bool nt5 = UiIsNt5OrLater();
  UiSetModeByte(ui, kEnvCallSrc, nt5 || (fMode & DM_USER_DEFAULT) ? 1 : 0);
  UiSetModeByte(ui, kEnvOsKind, nt5 ? kOsKindNt5 : kOsKindNt4);
  UiSetModeByte(ui, kEnvNoPermission, (fMode & DM_NOPERMISSION) ? 1 : 0);
  UiSetModeByte(ui, kEnvServerClientMode, UiIsConnectionPrinter(ui) ? 1 : 0);
  UiSetModeByte(ui, kEnvPropertyType, ui->state.sheetKind == kUiSheetDevice ? 1 : 0);
  UiSetJbInstalled(ui);
}

void UiRestoreModeBytesAfterMerge(UiContext* ui, BYTE rememberedUserCodeGet) {
  UiSetJbInstalled(ui);
  const BYTE inUse = rememberedUserCodeGet == 1 ? 1 : 0;
  UiSetModeByte(ui, kEnvUserCodeGet, inUse);
  UiSetModeByte(ui, kEnvUserCodeDll, inUse);
}

void DmLoadUiDefaults(UiContext* ui) {
  if (!ui || !ui->driver->settings) return;
  DmSetDefaults(ui->driver);
  DmFillCommonHeader(ui, &ui->driver->settings->devmode);
  UiSetModeBytes(ui, ui->state.fMode);
}
