#include "core/handles.h"

#include <mutex>
#include <unordered_map>

#include "core/winerror.h"

namespace velm::platform {

namespace {
std::mutex g_tableMutex;
std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>>& Table() {
  static auto* table = new std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>>();
  return *table;
}
uintptr_t g_next = 0x100;
}  // namespace

DWORD KernelObject::Wait(DWORD) {
  SetLastError(ERROR_INVALID_HANDLE);
  return kWaitFailed;
}

HANDLE RegisterHandle(std::shared_ptr<KernelObject> object) {
  std::lock_guard lock(g_tableMutex);
  const uintptr_t value = g_next;
  g_next += 4;
  Table().emplace(value, std::move(object));
  return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle) {
  std::lock_guard lock(g_tableMutex);
  const auto it = Table().find(reinterpret_cast<uintptr_t>(handle));
  return it == Table().end() ? nullptr : it->second;
}

bool ReleaseHandle(HANDLE handle) {
  std::shared_ptr<KernelObject> object;
  {
    std::lock_guard lock(g_tableMutex);
    const auto it = Table().find(reinterpret_cast<uintptr_t>(handle));
    if (it == Table().end()) return false;
    object = std::move(it->second);
    Table().erase(it);
  }
  object->OnHandleClosed();
  return true;
}

}  // namespace velm::platform

extern "C" BOOL CloseHandle(HANDLE handle) {
  // The pseudo handles of the current process and thread close without effect, as on Windows.
  const intptr_t value = reinterpret_cast<intptr_t>(handle);
  if (value == -1 || value == -2) return TRUE;
  if (!velm::platform::ReleaseHandle(handle)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
