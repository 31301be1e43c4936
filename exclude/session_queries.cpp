// The session exports that answer simple questions: the settings INI path, the driver devmode in
// the ANSI layout, printer options, printer values and the watermark lines.
#include <algorithm>
#include <cstring>

#include "data/item_ids.h"
#include "exclude/api_contexts.h"
#include "exclude/api_devmodes.h"
#include "exclude/command_engine.h"
#include "exclude/exc_session.h"
#include "exclude/line_buffer.h"
#include "exclude/velmexc.h"
#include "exclude/watermark_lines.h"
#include "settings/context/cache.h"
#include "settings/items/store.h"
#include "settings/context/memory.h"
#include "settings/services/platform_tests.h"
#include "settings/persistence/paths.h"
#include "settings/items/settings_record.h"
#include "settings/persistence/user_lists.h"
#include "settings/context/boundary.h"

namespace {

constexpr DWORD kAnsiNameBytes = 32;   // dmDeviceName and dmFormName of the ANSI layout
constexpr DWORD kWideNameBytes = 64;
constexpr DWORD kAnsiDevmodeSize = kDmSize - (kWideNameBytes - kAnsiNameBytes) * 2;  // 1196
constexpr size_t kWideSpecVersion = 64;   // dmSpecVersion .. dmCollate: 38 bytes
constexpr size_t kAnsiSpecVersion = 32;
constexpr size_t kSpecToCollateBytes = 38;
constexpr size_t kWideFormName = 102;
constexpr size_t kAnsiFormName = 70;
constexpr size_t kWideAfterFormName = 166;
constexpr size_t kAnsiAfterFormName = 102;
static_assert(kAnsiDevmodeSize == 1196);
static_assert(kAnsiFormName + kAnsiNameBytes == kAnsiAfterFormName);


// The wide devmode `wide` (kDmSize bytes, changed: its dmSize loses 64) in the ANSI layout.
bool ConvertDevmode(BYTE* wide, BYTE* ansi, const char* printerName) {
  const WORD publicSize = DmLoadU16(wide, kDmOffSize) - (kWideNameBytes - kAnsiNameBytes) * 2;
  // The sizes come from the record; a pair that would leave either layout is refused before the
  // caller's buffer is touched.
  const size_t rest = size_t{publicSize} + DmLoadU16(wide, kDmOffDriverExtra);
  if (rest < kAnsiAfterFormName || rest > kAnsiDevmodeSize) return false;
  DmStoreU16(wide, kDmOffSize, publicSize);
  std::memcpy(ansi + kAnsiSpecVersion, wide + kWideSpecVersion, kSpecToCollateBytes);
  std::memcpy(ansi + kAnsiAfterFormName, wide + kWideAfterFormName, rest - kAnsiAfterFormName);

  WCHAR form[kAnsiNameBytes];
  std::memcpy(form, wide + kWideFormName, sizeof(form));
  const int formChars = static_cast<int>(std::find(form, form + kAnsiNameBytes, WCH('\0')) - form);
  char narrowed[kAnsiNameBytes * 2] = {};
  const int formBytes = formChars ? WideCharToMultiByte(GetACP(), 0, form, formChars, narrowed, sizeof(narrowed),
                                                        nullptr, nullptr)
                                  : 0;
  std::memset(ansi + kAnsiFormName, 0, kAnsiNameBytes);
  std::memcpy(ansi + kAnsiFormName, narrowed, std::clamp(formBytes, 0, static_cast<int>(kAnsiNameBytes)));

  std::memset(ansi, 0, kAnsiNameBytes);
  const void* end = std::memchr(printerName, 0, kAnsiNameBytes - 1);
  std::memcpy(ansi, printerName, end ? static_cast<const char*>(end) - printerName : kAnsiNameBytes - 1);
  return true;
}

}  // namespace

DRIVER_EXPORT int32_t ExcGetIniFileName(const char* printerName, uint32_t size,
                                                                           char* buffer, uint32_t* needed) try {
  WCHAR name[kApiNameChars];
  if (!ApiWidenPrinterName(printerName, name)) return kExcFailed;
  HANDLE printer = nullptr;
  if (!OpenPrinterW(name, &printer, nullptr)) return kExcFailed;
  const BOOL perUser = SysIsTerminalServer(printer);
  ClosePrinter(printer);
  WCHAR path[MAX_PATH];
  if (PathBuildSettingsIni(path, perUser ? 1 : 0) == 0) return kExcFailed;
  char narrowed[MAX_PATH];
  if (WideCharToMultiByte(CP_ACP, 0, path, -1, narrowed, MAX_PATH, nullptr, nullptr) <= 0) return kExcFailed;
  const DWORD length = static_cast<DWORD>(std::strlen(narrowed));
  const DWORD required = length ? length + 1 : 0;
  ExcReportSize(needed, required);
  return ExcCopyOut(narrowed, required, size, buffer);
} catch (...) {
  return SysFailAtBoundary(int32_t{kExcFailed});
}

DRIVER_EXPORT int32_t ExcGetDriverDevmode(const char* printerName, int32_t mode,
                                                                             uint32_t size, void* buffer,
                                                                             uint32_t* needed) try {
  ExcReportSize(needed, kAnsiDevmodeSize);
  if (!buffer || size < kAnsiDevmodeSize) return kExcMore;
  if (mode != 1) return kExcFailed;
  WCHAR name[kApiNameChars];
  if (!ApiWidenPrinterName(printerName, name)) return kExcFailed;
  HANDLE printer = nullptr;
  if (!OpenPrinterW(name, &printer, nullptr)) return kExcFailed;
  int32_t result = kExcFailed;
  DriverContext* context = CtxCreate(printer, reinterpret_cast<ULONG_PTR>(printer), kCreateExclusive);
  if (context) {
    BYTE* wide = static_cast<BYTE*>(SysAlloc(kDmSize));
    if (wide && ApiGetDevmode(context, kApiModeCurrent, wide) == static_cast<LONG>(kDmSize) &&
        ConvertDevmode(wide, static_cast<BYTE*>(buffer), printerName)) {
      result = kExcDone;
    }
    SysFree(wide);
    CtxDestroy(context);
    CtxFlushCache(1);
  }
  ClosePrinter(printer);
  return result;
} catch (...) {
  return SysFailAtBoundary(int32_t{kExcFailed});
}

DRIVER_EXPORT int32_t ExcGetPrinterOption(EXCSESSION session, const char* command,
                                                                             uint32_t size, char* buffer,
                                                                             uint32_t* needed) try {
  if (!session) return kExcFailed;
  ExcReportSize(needed, 0);
  const ExcCommandRow* row = ExcFindCommand(session, command, kExcAccessPrinterOption);
  if (!row || !row->values || row->values->count == 0) return kExcDone;
  ExcLineBuffer list{};
  if (!ExcLineBufferInit(&list)) return kExcFailed;
  int32_t result = kExcDone;
  for (DWORD i = 0; i < row->values->count && result == kExcDone; ++i) {
    const ExcValueRow& value = row->values->rows[i];
    if (!row->name && !(value.commandName && std::strcmp(value.commandName, command) == 0)) continue;
    if (!value.text || !ExcIsValueAcceptable(session->context, row, &value)) continue;
    if (!ExcLineBufferAppendListEntry(&list, value.text)) result = kExcFailed;
  }
  if (result == kExcDone && list.length > 0) {
    if (!ExcLineBufferAppendNul(&list)) {
      result = kExcFailed;
    } else {
      result = ExcHandOut(list.text, list.length, size, buffer, needed);
    }
  }
  ExcLineBufferFree(&list);
  return result;
} catch (...) {
  return SysFailAtBoundary(int32_t{kExcFailed});
}

DRIVER_EXPORT int32_t ExcGetPrinterValue(EXCSESSION session, const char* command,
                                                                            uint32_t size, char* buffer,
                                                                            uint32_t* needed) try {
  if (!session) return kExcFailed;
  ExcReportSize(needed, 0);
  const ExcCommandRow* row = ExcFindCommand(session, command, kExcAccessPrinterValue);
  if (!row) return kExcDone;
  const DWORD length = ExcFormatPrinterValue(row, session->context, buffer ? size : 0, buffer);
  ExcReportSize(needed, length);
  return size < length || (length && !buffer) ? kExcMore : kExcDone;
} catch (...) {
  return SysFailAtBoundary(int32_t{kExcFailed});
}

DRIVER_EXPORT int32_t ExcGetWaterMarkList(EXCSESSION session, int32_t kind,
                                                                             uint32_t size, char* buffer,
                                                                             uint32_t* needed) try {
  if (!session || !session->context || !session->context->settings) return kExcFailed;
  ExcReportSize(needed, 0);
  DriverContext* context = session->context;
  ExcLineBuffer lines{};
  // Loading a stamp writes work items past the devmode too, so the whole record is kept aside.
  auto* saved = static_cast<SettingsRecord*>(SysAlloc(sizeof(SettingsRecord)));
  if (!saved || !ExcLineBufferInit(&lines)) {
    SysFree(saved);
    return kExcFailed;
  }
  std::memcpy(saved, context->settings, sizeof(SettingsRecord));
  const int builderKind = kind != 0 ? kExcWaterMarkImage : kExcWaterMarkText;
  const DWORD wanted = kind != 0 ? 2 : 1;
  int result = kExcDone;
  const DWORD count = LstGetStampCount(context);
  for (DWORD i = 0; i < count && result == kExcDone; ++i) {
    if (!LstLoadStamp(context, i) || OptGetValue(context, kItemWmKind) != wanted) continue;
    result = ExcBuildWaterMarkLines(&lines, context, builderKind);
  }
  std::memcpy(context->settings, saved, sizeof(SettingsRecord));
  SysFree(saved);
  if (result == kExcDone && lines.length > 0) {
    if (!ExcLineBufferAppendNul(&lines)) {
      result = kExcFailed;
    } else {
      result = ExcHandOut(lines.text, lines.length, size, buffer, needed);
    }
  }
  ExcLineBufferFree(&lines);
  return result;
} catch (...) {
  return SysFailAtBoundary(int32_t{kExcFailed});
}
