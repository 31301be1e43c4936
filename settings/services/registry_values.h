// Values the library reads from the machine's registry (HKEY_LOCAL_MACHINE).
#pragma once

#include "win32.h"

// The key of the driver's own machine-wide values.
inline constexpr WCHAR kDriverRegistryKey[] = WSTR("SOFTWARE\\QUIRN\\VelmDrv");

// RegQueryValueExW of `valueName` under HKLM `subKey`: `type` (optional) receives the value's
// type, `data` up to *size bytes and *size the bytes copied. TRUE on success; FALSE when the key
// or value is absent or the data does not fit (*size then holds what it needs).
BOOL SysReadHklmValue(const WCHAR* subKey, const WCHAR* valueName, DWORD* type, BYTE* data, DWORD* size);
// The same under the driver's key.
BOOL SysReadDriverRegValue(const WCHAR* valueName, DWORD* type, BYTE* data, DWORD* size);
// Writes `text` as the REG_SZ value `valueName` under the driver's key, creating the key when it
// is missing. TRUE on success.
BOOL SysWriteDriverRegText(const WCHAR* valueName, const WCHAR* text);
