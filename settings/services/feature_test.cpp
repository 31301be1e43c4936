#include "settings/services/feature_test.h"

#include "settings/services/registry_values.h"

namespace {
constexpr WCHAR kCountedCompanionKey[] = WSTR("Software\\QUIRN\\Fusebay\\VodEduduv");
constexpr WCHAR kInstallCount[] = WSTR("INSTALL_COUNT");
}  // namespace

BOOL SysIsFeatureInstalled(DWORD kind) {
  if (kind != kFeatureCountedCompanion) return FALSE;
  BYTE data[sizeof(DWORD)] = {};
  DWORD size = sizeof data;
  if (!SysReadHklmValue(kCountedCompanionKey, kInstallCount, nullptr, data, &size) || size != sizeof data)
    return FALSE;
  return (data[0] | data[1] | data[2] | data[3]) != 0;
}
