#include "exclude/api_contexts.h"

#include <atomic>

#include "data/item_ids.h"
#include "exclude/caps_records.h"
#include "exclude/status_records.h"
#include "exclude/velmexc.h"
#include "settings/context/cache.h"
#include "settings/devmode/item_checks.h"
#include "settings/items/store.h"
#include "settings/context/memory.h"
#include "settings/services/platform_tests.h"
#include "settings/persistence/profile_wrappers.h"
#include "settings/devmode/environment.h"
#include "settings/devmode/record_build.h"
#include "settings/persistence/user_lists.h"
#include "settings/persistence/folders.h"
#include "settings/persistence/paths.h"
#include "settings/services/spooler_info.h"
#include "settings/context/boundary.h"

namespace {

constexpr DWORD kCapsMarginRange = 34;      // capability row: the model gives item 105 a range

// Written without a lock: it is one 32-bit value that only the checks write.
std::atomic<LONG> g_apiLevel{0};

bool IsDrivePath(const WCHAR* name) { return name && name[0] && name[1] == WCH(':'); }

void ResetToModelDefault(DriverContext* context, WORD item) {
  if (ItemTableRow* row = OptFindItem(context->itemTable, item)) OptResetToDefault(context, row);
}

// vdmOSKind of the system the library runs on.
DWORD PlatformKind() {
  if (SysIsWin9x()) return SysIsWin9xMinor() ? 3 : 0;
  return SysIsNt5OrLater() ? 2 : 1;
}

}  // namespace

// ---- Level -------------------------------------------------------------------------------------

DWORD ApiGetLevelIniPath(const ModelDefaults& defaults, WCHAR* path, DWORD capacity) {
  if (!path || capacity == 0) return 0;
  path[0] = 0;
  const WCHAR* name = defaults.settingsIniName;
  if (!name || !name[0]) return 0;
  if (IsDrivePath(name)) return PathJoin(path, capacity, {name});
  return PathMakeSharedFile(name, path, capacity);
}

LONG ApiCheckVersion(const char* printerName) {
  if (!printerName || !printerName[0]) return 0;
  WCHAR path[MAX_PATH];
  LONG level = -1;
  if (ApiGetLevelIniPath(kModelDefaults, path, MAX_PATH))
    level = static_cast<LONG>(IniProfileGetInt(kApiSection, kApiLevelKey, -1, path));
  if (level == -1) level = kApiDefaultLevel;
  g_apiLevel.store(level, std::memory_order_relaxed);
  return level;
}

LONG ApiGetLevel() { return g_apiLevel.load(std::memory_order_relaxed); }

DWORD ApiReadFunctionSwitches(DriverContext* context) {
  if (!context || !context->work) return 0;
  const WCHAR* name = ContextModelDefaults(context).driverIniName;
  WCHAR path[MAX_PATH] = {};
  if (SysIsWin9x() && !IsDrivePath(name)) {
    WCHAR system[MAX_PATH];
    if (!name || !SysGetSystemDir(system, MAX_PATH) || !PathJoin(path, MAX_PATH, {system, WSTR("\\"), name})) return 0;
  } else {
    // The driver folder is asked of the printer, which an application context holds only during
    // a call.
    ApiPrinterScope scope{};
    if (!context->printer && !ApiReopenPrinter(context, &scope)) return 0;
    const WCHAR* built = PathGetApiIni(context);
    const DWORD length = built ? PathJoin(path, MAX_PATH, {built}) : 0;
    ApiReleasePrinter(context, &scope);
    if (length == 0) return 0;
  }
  return IniProfileGetInt(kApiSection, kApiFunctionsKey, 0, path);
}

// ---- Contexts ----------------------------------------------------------------------------------

BOOL ApiWidenPrinterName(const char* printerName, WCHAR* wide) {
  wide[0] = 0;
  if (!printerName || !printerName[0]) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // The whole name or nothing: a failed conversion sets ERROR_INSUFFICIENT_BUFFER.
  if (MultiByteToWideChar(CP_ACP, 0, printerName, -1, wide, static_cast<int>(kApiNameChars)) <= 0) {
    wide[0] = 0;
    return FALSE;
  }
  return TRUE;
}

ApiLockSnapshot* ApiGetLockSnapshot(const DriverContext* context) {
  return context && context->work ? context->work->apiLockSnapshot : nullptr;
}

void ApiSetMarginDefaults(DriverContext* context) {
  const intptr_t range = VELMDrvGetCaps(reinterpret_cast<VELMAPICONTEXT>(context), kCapsMarginRange, nullptr);
  if (range == 0 || range == -1) return;
  ResetToModelDefault(context, kItemSimplexBindType);
  ResetToModelDefault(context, kItemBindMargin);
}

DriverContext* ApiEnable(const char* printerName) {
  WCHAR name[kApiNameChars];
  if (!ApiWidenPrinterName(printerName, name)) return nullptr;
  HANDLE printer = nullptr;
  if (!OpenPrinterW(const_cast<LPWSTR>(name), &printer, nullptr)) return nullptr;
  // The 9x spooler is asked for DC_FIELDS here, which loads the driver there; this platform
  // has nothing to load and no devmode layout of that system, so the call is left out.
  DriverContext* context = CtxCreate(printer, reinterpret_cast<ULONG_PTR>(printer), kCreateApplication);
  if (!context || !context->settings || !context->work) {
    const DWORD error = context ? ERROR_INVALID_DATA : GetLastError();
    CtxDestroyEx(context, kReleaseDestroy);
    ClosePrinter(printer);
    SetLastError(error);
    return nullptr;
  }
  ApiSetMarginDefaults(context);
  // The spooler's name for the printer, which the open filled in; the caller's as a fallback.
  ContextWorkArea& work = *context->work;
  if (work.printerName[0] == 0) PathJoin(work.printerName, kNameChars, {name});
  work.apiLockSnapshot = static_cast<ApiLockSnapshot*>(SysAlloc(sizeof(ApiLockSnapshot)));
  if (work.apiLockSnapshot) ApiRefreshLockSnapshot(context);
  DmSetEnvironment(context);
  OptSetValue(context, kItemOSKind, PlatformKind());
  ClosePrinter(printer);
  context->printer = nullptr;
  context->callerValue = 0;
  return context;
}

void ApiDisable(DriverContext* context) {
  if (!context) return;
  if (context->work) {
    SysFree(context->work->apiLockSnapshot);
    context->work->apiLockSnapshot = nullptr;
  }
  CtxDestroy(context);
  CtxFlushCache(1);
}

// ---- Reopening the printer ---------------------------------------------------------------------

BOOL ApiReopenPrinter(DriverContext* context, ApiPrinterScope* scope) {
  *scope = ApiPrinterScope{nullptr, context->printer, context->callerValue};
  const WCHAR* name = context->work ? context->work->printerName : nullptr;
  if (!name || !name[0]) {
    SetLastError(ERROR_INVALID_PRINTER_NAME);
    return FALSE;
  }
  HANDLE printer = nullptr;
  if (!OpenPrinterW(const_cast<LPWSTR>(name), &printer, nullptr)) return FALSE;
  scope->opened = printer;
  context->printer = printer;
  context->callerValue = reinterpret_cast<ULONG_PTR>(printer);
  return TRUE;
}

void ApiReleasePrinter(DriverContext* context, ApiPrinterScope* scope) {
  if (!scope->opened) return;
  const DWORD error = GetLastError();
  ClosePrinter(scope->opened);
  SetLastError(error);
  scope->opened = nullptr;
  context->printer = scope->previousPrinter;
  context->callerValue = scope->previousCallerValue;
}

// ---- Exports -----------------------------------------------------------------------------------

DRIVER_EXPORT int32_t VELMDrvCheckAPIVer(const char* printerName) try {
  return ApiCheckVersion(printerName);
} catch (...) {
  return SysFailAtBoundary(int32_t{0});
}

DRIVER_EXPORT VELMAPICONTEXT VELMDrvEnable(const char* printerName) try {
  if (!printerName || !printerName[0]) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  ApiCheckVersion(printerName);
  return reinterpret_cast<VELMAPICONTEXT>(ApiEnable(printerName));
} catch (...) {
  return SysFailAtBoundary(VELMAPICONTEXT{});
}

DRIVER_EXPORT int32_t VELMDrvDisable(VELMAPICONTEXT context) try {
  ApiDisable(reinterpret_cast<DriverContext*>(context));
  return 1;
} catch (...) {
  return SysFailAtBoundary(int32_t{1});
}
