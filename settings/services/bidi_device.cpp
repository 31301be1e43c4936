#include "settings/services/bidi_device.h"

#include <algorithm>
#include <cstring>

#include "settings/services/platform_tests.h"
#include "settings/persistence/paths.h"
#include "settings/services/spooler_info.h"

namespace bidi = velm::bidi;

namespace {

constexpr const WCHAR* kLibrary = WSTR("qnbidint.dll");
constexpr const WCHAR* kLibrary9x = WSTR("qnbidi9x.dll");

bool TableComplete(const bidi::BidiInterface& t) {
  return t.open && t.close && t.query && t.queryClass && t.modelName && t.reserved && t.readRecord &&
         t.readClassRecord;
}

// The read of a record once its size is known: at most `needed` bytes, and no more than the
// library says it copied.
BOOL Take(LONG copied, DWORD needed, BidiAnswer* answer) {
  if (copied < 0) return FALSE;
  answer->size = std::min(static_cast<DWORD>(copied), needed);
  return TRUE;
}

}  // namespace

BOOL BidiLoad(DriverContext* context, DWORD flags, BidiDevice* device) {
  if (!context || !device) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *device = BidiDevice{};
  const WCHAR* name = (flags & kBidiUse9xLibrary) && SysIsWin9x() ? kLibrary9x : kLibrary;
  const WCHAR* folder = PrnGetDriverDirectory(context);
  WCHAR path[MAX_PATH];
  if (!folder || !PathJoin(path, MAX_PATH, {folder, name})) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  device->module = LoadLibraryW(path);
  if (!device->module) return FALSE;
  const FARPROC proc = GetProcAddress(device->module, bidi::kInitializeExport);
  if (!proc) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return FALSE;
  }
  const auto initialize = reinterpret_cast<bidi::BidiInitializeProc>(reinterpret_cast<void (*)()>(proc));
  SetLastError(ERROR_SUCCESS);
  if (!initialize(&device->table)) {
    if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_GEN_FAILURE);
    device->table = bidi::BidiInterface{};
    return FALSE;
  }
  if (!TableComplete(device->table)) {
    device->table = bidi::BidiInterface{};
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
  }
  return TRUE;
}

BOOL BidiOpen(DriverContext* context, BidiDevice* device) {
  if (!device || !device->table.open) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const WCHAR* printer = PrnGetPrinterName(context);
  DWORD status = 0;
  bidi::BidiHandle handle = nullptr;
  const BOOL opened = device->table.open(&device->table, printer ? printer : WSTR(""), &handle, &status);
  device->handle = handle;
  if (!opened) return FALSE;
  if (!handle || status == 0) {
    SetLastError(ERROR_INVALID_PRINTER_STATE);
    return FALSE;
  }
  return TRUE;
}

void BidiRelease(BidiDevice* device) {
  if (!device) return;
  const DWORD error = GetLastError();
  if (device->handle && device->table.close) device->table.close(&device->table, device->handle);
  if (device->module) FreeLibrary(device->module);
  *device = BidiDevice{};
  SetLastError(error);
}

BOOL BidiReadModelName(BidiDevice* device, WCHAR* name) {
  name[0] = 0;
  if (!device->table.modelName(&device->table, device->handle, name)) {
    name[0] = 0;
    return FALSE;
  }
  name[bidi::kModelNameChars - 1] = 0;
  return TRUE;
}

BOOL BidiAsk(BidiDevice* device, DWORD flags, bidi::BidiResult* result) {
  BYTE work[bidi::kQueryWorkBytes] = {};
  *result = nullptr;
  const BOOL asked = device->table.query(&device->table, device->handle, result, flags, work);
  return *result && (asked || GetLastError() == bidi::kErrorAnswerKept);
}

BOOL BidiAskClass(BidiDevice* device, DWORD recordClass, bidi::BidiResult* result) {
  *result = nullptr;
  const BOOL asked = device->table.queryClass(device->handle, result, recordClass, 1);
  return *result && (asked || GetLastError() == bidi::kErrorAnswerKept);
}

BOOL BidiReadRecord(BidiDevice* device, bidi::BidiResult result, DWORD code, BidiAnswer* answer) {
  answer->size = 0;
  DWORD needed = 0;
  if (device->table.readRecord(result, code, nullptr, 0, &needed) < 0) return FALSE;
  if (needed == 0 || needed > kBidiMaxAnswerBytes) return TRUE;
  DWORD copied = 0;
  return Take(device->table.readRecord(result, code, answer->bytes, needed, &copied), needed, answer);
}

BOOL BidiReadClassRecord(BidiDevice* device, bidi::BidiResult result, DWORD recordClass, DWORD subCode,
                         BidiAnswer* answer) {
  answer->size = 0;
  DWORD needed = 0;
  if (!device->table.readClassRecord(result, recordClass, subCode, nullptr, 0, &needed) &&
      !(GetLastError() == ERROR_ACCESS_DENIED && needed != 0))
    return FALSE;
  if (needed == 0 || needed > kBidiMaxAnswerBytes) return TRUE;
  DWORD copied = 0;
  if (!device->table.readClassRecord(result, recordClass, subCode, answer->bytes, needed, &copied)) return FALSE;
  return Take(static_cast<LONG>(std::min<DWORD>(copied, kBidiMaxAnswerBytes)), needed, answer);
}

DWORD BidiAnswerCount(const BidiAnswer& answer) { return answer.size / sizeof(DWORD); }

DWORD BidiAnswerNumber(const BidiAnswer& answer, DWORD index) {
  if (index >= BidiAnswerCount(answer)) return 0;
  DWORD value = 0;
  std::memcpy(&value, answer.bytes + index * sizeof(DWORD), sizeof value);  // little-endian, as the build
  return value;
}

DWORD BidiAnswerText(const BidiAnswer& answer, WCHAR* text, DWORD capacity) {
  if (capacity == 0) return 0;
  const DWORD available = answer.size / sizeof(WCHAR);
  DWORD chars = 0;
  while (chars < available && chars + 1 < capacity) {
    WCHAR c = 0;
    std::memcpy(&c, answer.bytes + chars * sizeof(WCHAR), sizeof c);
    if (c == 0) break;
    text[chars++] = c;
  }
  text[chars] = 0;
  return chars;
}
