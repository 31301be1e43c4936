#include "settings/persistence/file_primitives.h"

#include <string_view>

#include "settings/persistence/paths.h"
#include "settings/services/spooler_info.h"

namespace {
bool IsDriveLetter(WCHAR c) { return (c >= WCH('A') && c <= WCH('Z')) || (c >= WCH('a') && c <= WCH('z')); }
}  // namespace

BOOL PathIsAbsolute(const WCHAR* path) {
  if (!path) return FALSE;
  if (IsDriveLetter(path[0]) && path[1] == WCH(':') && path[2] == WCH('\\')) return TRUE;
  return path[0] == WCH('\\') && path[1] == WCH('\\');
}

BOOL PathExists(const WCHAR* path) {
  if (!path || !path[0]) return FALSE;
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FALSE;
  CloseHandle(file);
  return TRUE;
}

const WCHAR* PathGetFileName(const WCHAR* path) {
  if (!path) return nullptr;
  const WCHAR* slash = wcsrchr(path, WCH('\\'));
  return slash ? slash + 1 : path;
}

const WCHAR* PathGetExtension(const WCHAR* path, DWORD* length) {
  if (length) *length = 0;
  const WCHAR* name = PathGetFileName(path);
  const WCHAR* dot = name ? wcsrchr(name, WCH('.')) : nullptr;
  if (!dot) return nullptr;
  if (length) *length = static_cast<DWORD>(wcslen(dot + 1));
  return dot + 1;
}

LONG PathReadWhole(HANDLE file, void* buffer, DWORD count) {
  DWORD done = 0;
  if (count > 0x7FFFFFFF || !ReadFile(file, buffer, count, &done, nullptr) || done != count) return -1;
  return static_cast<LONG>(count);
}

LONG PathWriteWhole(HANDLE file, const void* buffer, DWORD count) {
  DWORD done = 0;
  if (count > 0x7FFFFFFF || !WriteFile(file, buffer, count, &done, nullptr) || done != count) return -1;
  return static_cast<LONG>(count);
}

DWORD PathMakeRsqName(DriverContext* context, const WCHAR* path, DWORD flag, WCHAR* buffer) {
  if (!buffer) return 0;
  buffer[0] = 0;
  const WCHAR* directory = path ? PrnGetDriverDirectory(context) : nullptr;
  if (!directory) return 0;
  const WStringView name = PathGetFileName(path);
  DWORD extensionLength = 0;
  const WCHAR* extension = PathGetExtension(path, &extensionLength);
  const WCHAR* replacement = (flag & kRsqExtensionRsq) ? WSTR("rsq") : (flag & kRsqExtensionRsd) ? WSTR("rsd") : nullptr;
  if (!extension || !replacement) return PathJoin(buffer, MAX_PATH, {directory, name});
  return PathJoin(buffer, MAX_PATH, {directory, name.substr(0, name.size() - extensionLength), replacement});
}
