// Kernel handles of the stand-in: every object that CloseHandle and the wait functions take
// (files, mappings, mutexes, processes, tokens, find handles) lives in one handle table.
#pragma once

#include <memory>

#include "core/wintypes.h"

namespace velm::platform {

constexpr DWORD kWaitObject0 = 0;
constexpr DWORD kWaitAbandoned0 = 0x80;
constexpr DWORD kWaitTimeout = 258;
constexpr DWORD kWaitFailed = 0xFFFFFFFF;

class KernelObject {
 public:
  virtual ~KernelObject() = default;
  // WaitForSingleObject on this object; objects that cannot be waited on fail.
  virtual DWORD Wait(DWORD milliseconds);
  // Called when one handle to the object is closed (the object lives while handles remain).
  virtual void OnHandleClosed() {}
};

// A new handle to `object`; never null and never INVALID_HANDLE_VALUE.
HANDLE RegisterHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);
template <class T>
std::shared_ptr<T> LookupHandleAs(HANDLE handle) {
  return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}
// Removes the handle; false when it was not open.
bool ReleaseHandle(HANDLE handle);

}  // namespace velm::platform

extern "C" {
// Closes a kernel handle of any kind. FALSE with ERROR_INVALID_HANDLE for an unknown handle.
BOOL CloseHandle(HANDLE handle);
}
