#include "settings/context/locks.h"

#include "settings/context/driver_context.h"
#include "settings/context/process_state.h"

namespace {

constexpr const WCHAR* kGlobalMutexName = WSTR("Global\\VelmMutexTse");

bool ValidLock(int n) { return n == 1 || n == 2; }

bool CallerHoldsMutex(const DriverContext* context) {
  return context && context->work && (context->work->kindFlags & kKindHoldsGlobalMutex);
}

}  // namespace

void SysCreateLock(int n) {
  if (!ValidLock(n)) return;
  ProcessState& state = SysProcessState();
  std::lock_guard creating(state.creation);
  if (state.sectionState[n - 1] == kSectionCreated) return;
  if (InitializeCriticalSectionAndSpinCount(&state.sections[n - 1], kLockSpinCount))
    state.sectionState[n - 1] = kSectionCreated;
}

void SysDeleteLock(int n) {
  if (!ValidLock(n)) return;
  ProcessState& state = SysProcessState();
  std::lock_guard creating(state.creation);
  if (state.sectionState[n - 1] != kSectionCreated) return;
  state.sectionState[n - 1] = kSectionNotCreated;
  DeleteCriticalSection(&state.sections[n - 1]);
}

void SysEnterLock(int n) {
  if (!ValidLock(n)) return;
  ProcessState& state = SysProcessState();
  if (state.sectionState[n - 1] == kSectionNotCreated) SysCreateLock(n);
  if (state.sectionState[n - 1] == kSectionCreated) EnterCriticalSection(&state.sections[n - 1]);
}

void SysLeaveLock(int n) {
  if (!ValidLock(n)) return;
  ProcessState& state = SysProcessState();
  if (state.sectionState[n - 1] == kSectionCreated) LeaveCriticalSection(&state.sections[n - 1]);
}

HANDLE SysCreateGlobalMutex() {
  SECURITY_DESCRIPTOR descriptor;
  SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), &descriptor, FALSE};
  const bool nullDacl = InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
                        SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE);
  return CreateMutexW(nullDacl ? &attributes : nullptr, FALSE, kGlobalMutexName);
}

BOOL SysLockGlobalMutex(const DriverContext* context) {
  if (CallerHoldsMutex(context)) return FALSE;
  ProcessState& state = SysProcessState();
  HANDLE mutex = state.globalMutex;
  if (!mutex) {
    std::lock_guard creating(state.creation);
    mutex = state.globalMutex;
    if (!mutex) {
      mutex = SysCreateGlobalMutex();
      state.globalMutex = mutex;
    }
  }
  if (!mutex) return FALSE;
  const DWORD result = WaitForSingleObject(mutex, INFINITE);
  // An owner that died without releasing leaves the mutex abandoned; the wait still owns it.
  return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

void SysUnlockGlobalMutex(const DriverContext* context) {
  if (CallerHoldsMutex(context)) return;
  if (HANDLE mutex = SysProcessState().globalMutex) ReleaseMutex(mutex);
}
