#include "settings/services/spooler_info.h"

#include <string_view>

#include "settings/context/memory.h"
#include "settings/persistence/paths.h"

namespace {

// No printer or driver answer comes near this; a larger size is not believed.
constexpr DWORD kMaxInfoBytes = 4u << 20;
constexpr const WCHAR* kFallbackDriverFolder = WSTR("\\spool\\drivers\\w32x86\\2\\");

template <class Query>
void* SizedQuery(Query query) {
  DWORD needed = 0;
  if (query(nullptr, 0, &needed) || GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed == 0 ||
      needed > kMaxInfoBytes)
    return nullptr;
  void* block = SysAlloc(needed);
  if (!block) return nullptr;
  if (!query(static_cast<BYTE*>(block), needed, &needed)) {
    SysFree(block);
    return nullptr;
  }
  return block;
}

// Copies `name` into an empty cache field; a name that does not fit is not cut short.
void FillOnce(WCHAR (&field)[kNameChars], const WCHAR* name) {
  if (field[0] != 0 || !name) return;
  if (!PathJoin(field, kNameChars, {name})) field[0] = 0;
}

// Asks the spooler for PRINTER_INFO_2 and fills the cache from it.
void QueryInfo2(DriverContext* context) {
  if (auto* info = static_cast<PRINTER_INFO_2W*>(PrnGetPrinterInfo(context->printer, 2))) {
    PrnCacheInfo2(info, context);
    SysFree(info);
  }
}

bool HasWork(const DriverContext* context) { return context && context->work; }

}  // namespace

void* PrnGetDriverInfo(HANDLE printer, DWORD level) {
  return SizedQuery([&](LPBYTE buffer, DWORD size, LPDWORD needed) {
    return GetPrinterDriverW(printer, nullptr, level, buffer, size, needed);
  });
}

void* PrnGetPrinterInfo(HANDLE printer, DWORD level) {
  return SizedQuery([&](LPBYTE buffer, DWORD size, LPDWORD needed) {
    return GetPrinterW(printer, level, buffer, size, needed);
  });
}

void* PrnGetJobInfo(HANDLE printer, DWORD jobId, DWORD level) {
  return SizedQuery([&](LPBYTE buffer, DWORD size, LPDWORD needed) {
    return GetJobW(printer, jobId, level, buffer, size, needed);
  });
}

void PrnCacheInfo2(const PRINTER_INFO_2W* info, DriverContext* context) {
  if (!info || !HasWork(context)) return;
  ContextWorkArea& work = *context->work;
  PrinterInfoCache& cache = work.printerInfo;
  if (cache.serverKind == kServerKindUnknown)
    cache.serverKind = info->pServerName && info->pServerName[0] ? kServerKindConnection : kServerKindLocal;
  FillOnce(work.printerName, info->pPrinterName);
  FillOnce(work.driverName, info->pDriverName);
  if (!cache.attributesCached) {
    cache.attributes = info->Attributes;
    cache.attributesCached = 1;
  }
}

const WCHAR* PrnGetPrinterName(DriverContext* context) {
  if (!HasWork(context)) return nullptr;
  if (context->work->printerName[0] == 0) QueryInfo2(context);
  return context->work->printerName;
}

const WCHAR* PrnGetDriverName(DriverContext* context) {
  if (!HasWork(context)) return nullptr;
  if (context->work->driverName[0] == 0) QueryInfo2(context);
  // The fallback is answered, not stored: a later PRINTER_INFO_2 may still fill the name.
  if (context->work->driverName[0] == 0) return ContextModelDefaults(context).driverNameFallback;
  return context->work->driverName;
}

DWORD PrnTestAttributes(DWORD mask, DriverContext* context) {
  if (!HasWork(context)) return 0;
  if (!context->work->printerInfo.attributesCached) QueryInfo2(context);
  return context->work->printerInfo.attributes & mask;
}

BOOL PrnIsBidiEnabled(DriverContext* context) {
  return PrnTestAttributes(PRINTER_ATTRIBUTE_ENABLE_BIDI, context) != 0;
}

BOOL PrnIsOnServer(DriverContext* context) {
  if (!HasWork(context)) return FALSE;
  if (context->work->printerInfo.serverKind == kServerKindUnknown) QueryInfo2(context);
  return context->work->printerInfo.serverKind == kServerKindConnection;
}

DWORD PrnGetDriverDirectoryTo(HANDLE printer, WCHAR* buffer) {
  if (!buffer) return 0;
  buffer[0] = 0;
  DWORD length = 0;
  if (auto* info = static_cast<DRIVER_INFO_3W*>(PrnGetDriverInfo(printer, 3))) {
    // The folder of the data file, final backslash included; a path without one names no folder.
    const WStringView dataFile = info->pDataFile ? info->pDataFile : WSTR("");
    const size_t slash = dataFile.rfind(WCH('\\'));
    if (slash != WStringView::npos) length = PathJoin(buffer, MAX_PATH, {dataFile.substr(0, slash + 1)});
    SysFree(info);
  }
  if (length != 0) return length;
  WCHAR system[MAX_PATH];
  const UINT systemLength = GetSystemDirectoryW(system, MAX_PATH);
  if (systemLength == 0 || systemLength >= MAX_PATH) return 0;
  return PathJoin(buffer, MAX_PATH, {WStringView(system, systemLength), kFallbackDriverFolder});
}

const WCHAR* PrnGetDriverDirectory(DriverContext* context) {
  if (!HasWork(context)) return nullptr;
  return PrnGetDriverDirectoryTo(context->printer, context->work->driverDirectory) ? context->work->driverDirectory
                                                                                   : nullptr;
}
