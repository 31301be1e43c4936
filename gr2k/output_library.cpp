#include "gr2k/output_library.h"

#include <cstdint>
#include <cstring>
#include <string_view>

#include "gr2k/pdev.h"
#include "settings/context/memory.h"
#include "settings/persistence/paths.h"
#include "settings/services/spooler_info.h"

namespace {

constexpr DWORD kPathVariableChars = 4096;
constexpr WCHAR kPathVariable[] = WSTR("PATH");

// The 32-bit output handle as the handle every call passes.
HANDLE OutputHandle(DWORD value) { return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value)); }

template <class Function>
Function Entry(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// Adds `folder` to PATH unless PATH holds it already. Not being able to is not fatal: the
// library itself is loaded by its full path.
void AddToPathVariable(RenderPdev* pdev, WStringView folder) {
  WCHAR first[kPathVariableChars];
  WCHAR* value = first;
  DWORD capacity = kPathVariableChars;
  DWORD length = GetEnvironmentVariableW(kPathVariable, first, capacity);
  WCHAR* longer = nullptr;
  if (length >= capacity) {
    // Too long for the first buffer: `length` is what it needs, terminator included.
    capacity = length + static_cast<DWORD>(folder.size()) + 2;
    longer = static_cast<WCHAR*>(PdevMemAlloc(pdev->allocations, static_cast<SIZE_T>(capacity) * sizeof(WCHAR)));
    if (!longer) return;
    length = GetEnvironmentVariableW(kPathVariable, longer, capacity);
    value = longer;
    if (length >= capacity) {
      PdevMemFree(pdev->allocations, longer);
      return;
    }
  }
  if (WStringView(value, length).find(folder) == WStringView::npos) {
    const SIZE_T chars = static_cast<SIZE_T>(length) + folder.size() + 2;
    if (auto* joined = static_cast<WCHAR*>(PdevMemAlloc(pdev->allocations, chars * sizeof(WCHAR)))) {
      std::memcpy(joined, value, length * sizeof(WCHAR));
      joined[length] = WCH(';');
      std::memcpy(joined + length + 1, folder.data(), folder.size() * sizeof(WCHAR));
      joined[length + 1 + folder.size()] = 0;
      SetEnvironmentVariableW(kPathVariable, joined);
      PdevMemFree(pdev->allocations, joined);
    }
  }
  if (longer) PdevMemFree(pdev->allocations, longer);
}

}  // namespace

BOOL OutBuildLibraryPath(RenderPdev* pdev, WCHAR* path, DWORD capacity) {
  if (!pdev->outputLibraryName || !pdev->outputLibraryName[0] || !path || capacity == 0) return FALSE;
  path[0] = 0;
  auto* info = static_cast<DRIVER_INFO_2W*>(PrnGetDriverInfo(pdev->printer, 2));
  if (!info) return FALSE;
  BOOL built = FALSE;
  const WCHAR* driverPath = info->pDriverPath;
  DWORD length = 0;
  while (driverPath && length <= kOutMaxDriverPathChars && driverPath[length]) ++length;
  if (driverPath && length <= kOutMaxDriverPathChars) {
    const WStringView full(driverPath, length);
    const size_t slash = full.rfind(WCH('\\'));
    if (slash != WStringView::npos) {
      const WStringView folder = full.substr(0, slash);
      AddToPathVariable(pdev, folder);
      built = PathJoin(path, capacity, {folder, WSTR("\\"), pdev->outputLibraryName}) != 0;
    }
  }
  SysFree(info);
  return built;
}

BOOL OutBind(RenderPdev* pdev) {
  WCHAR path[MAX_PATH];
  if (!OutBuildLibraryPath(pdev, path, MAX_PATH)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
  }
  const HMODULE module = LoadLibraryW(path);
  if (!module) return FALSE;
  CommandStream& stream = pdev->stream;
  stream.outputModule = module;
  stream.writeCallback = Entry<StrmWriteFn>(module, kOutWritePrinter);
  auto startDoc = Entry<OutStartDocFn>(module, kOutStartDocEx);
  if (!startDoc) startDoc = Entry<OutStartDocFn>(module, kOutStartDoc);
  stream.outputHandle = startDoc ? OutputHandle(startDoc(pdev->printer, pdev->jobId)) : nullptr;
  return TRUE;
}

void OutCall(RenderPdev* pdev, const char* entry) {
  if (!pdev->stream.outputModule) return;
  if (const auto call = Entry<OutHandleFn>(pdev->stream.outputModule, entry)) call(pdev->stream.outputHandle);
}

void OutRelease(RenderPdev* pdev) {
  CommandStream& stream = pdev->stream;
  if (!stream.outputModule) return;
  OutCall(pdev, kOutEndDoc);
  OutCall(pdev, kOutClose);
  // The write function belongs to the module: once it is unloaded nothing may call it.
  stream.writeCallback = nullptr;
  stream.outputHandle = nullptr;
  if (FreeLibrary(stream.outputModule)) stream.outputModule = nullptr;
}
