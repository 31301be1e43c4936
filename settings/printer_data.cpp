#include "settings/printer_data.h"

#include <cstring>

#include "settings/memory.h"
#include "settings/public_fields.h"
#include "settings/settings_record.h"
#include "settings/spooler_info.h"

namespace {

// DEVMODEW versions this layout can come in (the sizes 188, 212 and 220 name them).
constexpr WORD kKnownSpecVersions[] = {0x320, 0x400, 0x401};
constexpr size_t kDmOffSpecVersion = 64;

bool IsKnownSpecVersion(WORD version) {
  for (WORD known : kKnownSpecVersions)
    if (version == known) return true;
  return false;
}

// Whether `devmode` (dmSize + dmDriverExtra bytes, as the spooler hands it) is this driver's:
// its header must place the sections exactly where this layout does, or items would be read
// from the wrong bytes.
bool IsOwnDevmode(const BYTE* devmode, const ModelDefaults& defaults) {
  if (!IsKnownSpecVersion(DmLoadU16(devmode, kDmOffSpecVersion)) || DmLoadU16(devmode, kDmOffSize) != kDmPublicSize ||
      DmLoadU16(devmode, kDmOffDriverExtra) != kDmPrivateSize)
    return false;
  PrivateDevmode expected{};
  DmWritePrivateHeader(&expected, defaults);
  const auto same = [&](size_t offset, size_t bytes) {
    return std::memcmp(devmode + offset, expected.bytes + offset, bytes) == 0;
  };
  return same(kDmOffSignature, 4) && same(kDmOffModelTag, 8) && same(kDmOffSectionBase, 6);
}

}  // namespace

BOOL PrnGetData(HANDLE printer, const WCHAR* name, void* data, DWORD size, DWORD* read, DWORD* type) {
  if (read) *read = 0;
  if (!name || (size > 0 && !data)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (size > 0) std::memset(data, 0, size);
  DWORD needed = 0;
  DWORD valueType = 0;
  const DWORD status = GetPrinterDataW(printer, name, &valueType, static_cast<LPBYTE>(data), size, &needed);
  if (status != ERROR_SUCCESS) {
    // A failed read may have left part of a value behind.
    if (size > 0) std::memset(data, 0, size);
    SetLastError(status);
    return FALSE;
  }
  if (read) *read = needed;
  if (type) *type = valueType;
  return TRUE;
}

BOOL PrnSetData(HANDLE printer, const WCHAR* name, DWORD type, const void* data, DWORD size) {
  if (!name || (size > 0 && !data)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const DWORD status = SetPrinterDataW(printer, name, type, static_cast<const BYTE*>(data), size);
  if (status != ERROR_SUCCESS) {
    SetLastError(status);
    return FALSE;
  }
  return TRUE;
}

BOOL PrnSetDataBinary(HANDLE printer, const WCHAR* name, const void* data, DWORD size) {
  return PrnSetData(printer, name, REG_BINARY, data, size);
}

BOOL DmLoadFromPrinter(DriverContext* context) {
  if (!context || !context->settings) return FALSE;
  auto* info = static_cast<PRINTER_INFO_2W*>(PrnGetPrinterInfo(context->printer, 2));
  if (!info) return FALSE;
  const auto* devmode = reinterpret_cast<const BYTE*>(info->pDevMode);
  const bool own = devmode && IsOwnDevmode(devmode, ContextModelDefaults(context));
  if (own) std::memcpy(context->settings->devmode.bytes, devmode, kDmSize);
  SysFree(info);
  if (!own) return FALSE;
  DmValidatePublic(context);
  return TRUE;
}
