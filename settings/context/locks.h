// The process locks that guard the context cache tables, and the settings mutex that every
// process of the machine shares.
#pragma once

#include "win32.h"

struct DriverContext;

// Lock n (1 or 2) guards context cache table n. Entering creates the lock when it does not
// exist yet (once, however many threads race to it); other numbers do nothing.
void SysEnterLock(int n);
void SysLeaveLock(int n);
// Creation and deletion of lock n, for the library's attach and detach.
void SysCreateLock(int n);
void SysDeleteLock(int n);

// The mutex "Global\VelmMutexTse": not owned at creation, and with a null DACL so that every
// user's processes may open it. Null when it cannot be created.
HANDLE SysCreateGlobalMutex();
// Takes the settings mutex (creating the handle on first use), waiting without a time-out. It
// is re-entrant for the thread that holds it. A context whose kind flags say that its caller
// holds the mutex already (0x100) takes nothing. TRUE when this call took it.
BOOL SysLockGlobalMutex(const DriverContext* context = nullptr);
// Gives back what SysLockGlobalMutex took for the same context; harmless when nothing was taken.
void SysUnlockGlobalMutex(const DriverContext* context = nullptr);

// Holds the global settings mutex for a scope, unless the context's caller holds it already.
class SettingsMutexHold {
 public:
  explicit SettingsMutexHold(const DriverContext* context) : context_(context), held_(SysLockGlobalMutex(context)) {}
  ~SettingsMutexHold() {
    if (held_) SysUnlockGlobalMutex(context_);
  }
  SettingsMutexHold(const SettingsMutexHold&) = delete;
  SettingsMutexHold& operator=(const SettingsMutexHold&) = delete;

 private:
  const DriverContext* context_;
  BOOL held_;
};
