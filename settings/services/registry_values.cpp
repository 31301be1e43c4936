#include "settings/services/registry_values.h"

BOOL SysReadHklmValue(const WCHAR* subKey, const WCHAR* valueName, DWORD* type, BYTE* data, DWORD* size) {
  if (!subKey || !size) return FALSE;
  HKEY key = nullptr;
  if (RegOpenKeyW(HKEY_LOCAL_MACHINE, subKey, &key) != ERROR_SUCCESS) return FALSE;
  const LONG status = RegQueryValueExW(key, valueName, nullptr, type, data, size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

BOOL SysReadDriverRegValue(const WCHAR* valueName, DWORD* type, BYTE* data, DWORD* size) {
  return SysReadHklmValue(kDriverRegistryKey, valueName, type, data, size);
}
