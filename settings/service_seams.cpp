#include "settings/service_seams.h"

// Not built yet: see the header. Each clears the caller's buffer so that no stale text is used.

DWORD PathGetUserDir(DriverContext*, WCHAR* buffer, DWORD capacity) {
  if (buffer && capacity) buffer[0] = 0;
  return 0;
}

DWORD PathGetUserDirNoCtx(WCHAR* buffer, DWORD capacity) { return PathGetUserDir(nullptr, buffer, capacity); }

DWORD PathGetSharedDir(DriverContext*, WCHAR* buffer, DWORD capacity) {
  if (buffer && capacity) buffer[0] = 0;
  return 0;
}

DWORD PathReadSharedDirNoCtx(WCHAR* buffer, DWORD capacity) { return PathGetSharedDir(nullptr, buffer, capacity); }

const WCHAR* CfgHelpLanguageCode(DriverContext*) { return nullptr; }

const WCHAR* DescGetLangFileBase(DriverContext*) { return nullptr; }
