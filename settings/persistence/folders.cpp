#include "settings/persistence/folders.h"

#include <string_view>

#include "settings/services/platform_tests.h"
#include "settings/services/registry_values.h"
#include "settings/persistence/file_primitives.h"
#include "settings/persistence/paths.h"

namespace {

constexpr WCHAR kSharedDirValue[] = WSTR("_VELMDirectory");
constexpr WCHAR kFolderName[] = WSTR("_velm");

using GetKnownFolderPathProc = HRESULT (*)(REFKNOWNFOLDERID, DWORD, HANDLE, PWSTR*);
using TaskMemFreeProc = void (*)(LPVOID);
using GetProfileDirectoryProc = BOOL (*)(HANDLE, LPWSTR, LPDWORD);

template <class Proc>
Proc ProcOf(HMODULE module, const char* name) {
  FARPROC proc = module ? GetProcAddress(module, name) : nullptr;
  return proc ? reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(proc)) : nullptr;
}

// Starts every answer empty, so that a failure never leaves an older folder in the buffer.
bool Clear(WCHAR* buffer, DWORD capacity) {
  if (!buffer || capacity == 0) return false;
  buffer[0] = 0;
  return true;
}

// The registry's folder, when it names one.
DWORD RegistrySharedDir(WCHAR* buffer, DWORD capacity) {
  WCHAR value[MAX_PATH] = {};
  DWORD type = 0;
  DWORD size = sizeof value - sizeof(WCHAR);  // room for a NUL the value may lack
  if (!SysReadDriverRegValue(kSharedDirValue, &type, reinterpret_cast<BYTE*>(value), &size) || type != REG_SZ)
    return 0;
  value[size / sizeof(WCHAR)] = 0;
  return value[0] ? PathJoin(buffer, capacity, {value}) : 0;
}

// LocalAppDataLow + "\_velm", through the shell and COM libraries loaded for the call.
DWORD LowIntegrityUserDir(WCHAR* buffer, DWORD capacity) {
  HMODULE shell = LoadLibraryW(WSTR("shell32.dll"));
  HMODULE com = LoadLibraryW(WSTR("ole32.dll"));
  const auto getPath = ProcOf<GetKnownFolderPathProc>(shell, "SHGetKnownFolderPath");
  const auto freePath = ProcOf<TaskMemFreeProc>(com, "CoTaskMemFree");
  DWORD length = 0;
  PWSTR path = nullptr;
  // Without the means to free the path the call is not made at all.
  if (getPath && freePath && SUCCEEDED(getPath(FOLDERID_LocalAppDataLow, 0, nullptr, &path)) && path) {
    if (wcslen(path) < capacity) length = PathJoin(buffer, capacity, {path, WSTR("\\"), kFolderName});
    freePath(path);
  }
  if (com) FreeLibrary(com);
  if (shell) FreeLibrary(shell);
  return length;
}

DWORD UserDir(DriverContext* context, WCHAR* buffer, DWORD capacity) {
  if (!Clear(buffer, capacity)) return 0;
  if (context && context->work) {
    const WCHAR* ini = context->work->settingsIniPath;
    const WCHAR* slash = PathHasDrive(ini) ? wcsrchr(ini, WCH('\\')) : nullptr;
    if (slash) return PathJoin(buffer, capacity, {WStringView(ini, slash - ini)});
  }
  if (SysIsNt6OrLater()) return LowIntegrityUserDir(buffer, capacity);
  WCHAR profile[MAX_PATH];
  const DWORD profileLength = PathGetProfileDir(profile, MAX_PATH);
  if (profileLength == 0) return 0;
  if (SysIsNt5OrLater()) return PathJoin(buffer, capacity, {profile, WSTR("\\"), kFolderName});
  WCHAR system[MAX_PATH];
  if (!SysGetSystemDir(system, MAX_PATH)) return 0;
  const WCHAR* slash = wcsrchr(profile, WCH('\\'));
  const WCHAR* user = slash ? slash + 1 : profile;
  return PathJoin(buffer, capacity, {system, WSTR("\\quirn\\"), kFolderName, WSTR("\\"), user});
}

}  // namespace

DWORD SysGetSystemDir(WCHAR* buffer, DWORD capacity) {
  if (!Clear(buffer, capacity)) return 0;
  const UINT length = GetSystemDirectoryW(buffer, capacity);
  if (length == 0 || length >= capacity) {
    buffer[0] = 0;
    return 0;
  }
  return length;
}

DWORD PathReadSharedDir(WCHAR* buffer, DWORD capacity) {
  if (!Clear(buffer, capacity)) return 0;
  if (const DWORD length = RegistrySharedDir(buffer, capacity)) return length;
  WCHAR system[MAX_PATH];
  if (!SysGetSystemDir(system, MAX_PATH)) return 0;
  const WCHAR* slash = wcschr(system, WCH('\\'));
  if (!slash) return 0;
  return PathJoin(buffer, capacity, {WStringView(system, slash - system + 1), kFolderName});
}

DWORD PathReadSharedDirNoCtx(WCHAR* buffer, DWORD capacity) { return PathReadSharedDir(buffer, capacity); }

DWORD PathGetSharedDir(DriverContext*, WCHAR* buffer, DWORD capacity) {
  return SysIsNt5OrLater() ? PathReadSharedDir(buffer, capacity) : SysGetSystemDir(buffer, capacity);
}

DWORD PathGetProfileDir(WCHAR* buffer, DWORD capacity) {
  if (!Clear(buffer, capacity)) return 0;
  HMODULE userEnv = LoadLibraryW(WSTR("UserEnv.dll"));
  const auto getProfile = ProcOf<GetProfileDirectoryProc>(userEnv, "GetUserProfileDirectoryW");
  HANDLE token = nullptr;
  bool opened = false;
  if (getProfile) {
    opened = OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token);
    if (!opened && GetLastError() == ERROR_NO_TOKEN) opened = OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
  }
  DWORD size = capacity;
  DWORD length = 0;
  if (opened && getProfile(token, buffer, &size)) length = static_cast<DWORD>(wcslen(buffer));
  else buffer[0] = 0;
  if (opened) CloseHandle(token);
  if (userEnv) FreeLibrary(userEnv);
  return length;
}

DWORD PathGetUserDir(DriverContext* context, WCHAR* buffer, DWORD capacity) {
  return UserDir(context, buffer, capacity);
}

DWORD PathGetUserDirNoCtx(WCHAR* buffer, DWORD capacity) { return UserDir(nullptr, buffer, capacity); }

DWORD PathMakeSharedFile(const WCHAR* fileName, WCHAR* buffer, DWORD capacity) {
  if (!Clear(buffer, capacity) || !fileName) return 0;
  WCHAR folder[MAX_PATH];
  if (!PathGetSharedDir(nullptr, folder, MAX_PATH)) return 0;
  return PathJoin(buffer, capacity, {folder, WSTR("\\"), fileName});
}
