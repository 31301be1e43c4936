#include "settings/persistence/printer_data.h"

#include <cstring>

BOOL PrnGetData(HANDLE printer, const WCHAR* name, void* data, DWORD size, DWORD* read, DWORD* type) {
  if (read) *read = 0;
  if (!name || (size > 0 && !data)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (size > 0) std::memset(data, 0, size);
  DWORD needed = 0;
  DWORD valueType = 0;
  const DWORD status = GetPrinterDataW(printer, const_cast<LPWSTR>(name), &valueType, static_cast<LPBYTE>(data), size, &needed);
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
  const DWORD status = SetPrinterDataW(printer, const_cast<LPWSTR>(name), type, static_cast<LPBYTE>(const_cast<void*>(data)), size);
  if (status != ERROR_SUCCESS) {
    SetLastError(status);
    return FALSE;
  }
  return TRUE;
}

BOOL PrnSetDataBinary(HANDLE printer, const WCHAR* name, const void* data, DWORD size) {
  return PrnSetData(printer, name, REG_BINARY, data, size);
}

BOOL PrnDeleteData(HANDLE printer, const WCHAR* name) {
  if (!name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const DWORD status = DeletePrinterDataW(printer, const_cast<LPWSTR>(name));
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
    SetLastError(status);
    return FALSE;
  }
  return TRUE;
}
