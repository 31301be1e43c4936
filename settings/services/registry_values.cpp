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

BOOL SysWriteDriverRegText(const WCHAR* valueName, const WCHAR* text) {
  if (!valueName || !text) return FALSE;
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kDriverRegistryKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return FALSE;
  const DWORD size = static_cast<DWORD>((lstrlenW(text) + 1) * sizeof(WCHAR));
  const LONG status = RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}
