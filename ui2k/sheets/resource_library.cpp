#include "ui2k/sheets/resource_library.h"

#include "settings/context/process_state.h"
#include "settings/services/resource_strings.h"

namespace {

// Characters of the file name replaced for the preview library, counted from the end.
struct Replacement {
  size_t fromEnd;
  WCHAR with;
};
constexpr Replacement kPreviewReplacements[] = {{8, WCH('C')}, {6, WCH('X')}, {5, WCH('X')}};

// The file-name part of a path: after its last backslash or slash.
LPCWSTR FileNameOf(LPCWSTR path) {
  LPCWSTR name = path;
  for (LPCWSTR at = path; *at; ++at)
    if (*at == WCH('\\') || *at == WCH('/')) name = at + 1;
  return name;
}

BOOL Refuse(WCHAR* path, DWORD capacity, DWORD error) {
  if (path && capacity) path[0] = 0;
  SetLastError(error);
  return FALSE;
}

}  // namespace

HINSTANCE UiResInstance(DriverContext* context) { return reinterpret_cast<HINSTANCE>(ResLoadDll(context)); }

LPCWSTR UiResTemplate(WORD pageId) { return MAKEINTRESOURCEW(pageId); }

HCURSOR UiResLoadCursor(DriverContext* context, WORD id) {
  const HINSTANCE instance = UiResInstance(context);
  return instance ? LoadCursorW(instance, MAKEINTRESOURCEW(id)) : nullptr;
}

BOOL UiResPreviewLibraryName(LPCWSTR driverDirectory, LPCWSTR driverPath, WCHAR* path, DWORD capacity) {
  if (!driverDirectory || !driverPath || !path || capacity == 0) return Refuse(path, capacity, ERROR_INVALID_PARAMETER);
  LPCWSTR name = FileNameOf(driverPath);
  const size_t nameChars = static_cast<size_t>(lstrlenW(name));
  if (nameChars < kUiResPreviewNameMinChars) return Refuse(path, capacity, ERROR_INVALID_NAME);
  if (FAILED(StringCchCopyW(path, capacity, driverDirectory))) return Refuse(path, capacity, ERROR_INSUFFICIENT_BUFFER);
  const size_t start = static_cast<size_t>(lstrlenW(path));
  if (FAILED(StringCchCatW(path, capacity, name))) return Refuse(path, capacity, ERROR_INSUFFICIENT_BUFFER);
  for (const Replacement& replacement : kPreviewReplacements) path[start + nameChars - replacement.fromEnd] = replacement.with;
  return TRUE;
}

HMODULE UiResLoadPreviewLibrary(DriverContext* context) {
  if (!context || !context->work) return nullptr;
  if (!context->secondResourceLibrary) {
    WCHAR ownPath[MAX_PATH] = {};
    WCHAR path[MAX_PATH] = {};
    const DWORD chars = GetModuleFileNameW(SysProcessState().module, ownPath, MAX_PATH);
    if (chars == 0 || chars >= MAX_PATH) return nullptr;
    if (UiResPreviewLibraryName(context->work->driverDirectory, ownPath, path, MAX_PATH))
      context->secondResourceLibrary = LoadLibraryW(path);
  }
  return context->secondResourceLibrary;
}
