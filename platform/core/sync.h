// Locks: critical sections, mutexes and events, and the wait on any kernel handle.
//
// A mutex is re-entrant for the thread that owns it: each wait by the owner adds one level and
// each ReleaseMutex takes one away. A named mutex holds across processes: every process that
// opens the name shares a lock file under the machine root's "locks" store, locked exclusively
// while some thread of the process owns the mutex. "Global\" and "Local\" name the same
// namespace, as on a machine with one session. A mutex whose owner ended (thread exit, process
// exit, or the last handle closed) without releasing it is abandoned: the next wait owns it and
// answers WAIT_ABANDONED. Events are local to the process.
#pragma once

#include "core/handles.h"
#include "core/wintypes.h"

constexpr DWORD WAIT_OBJECT_0 = velm::platform::kWaitObject0;
constexpr DWORD WAIT_ABANDONED = velm::platform::kWaitAbandoned0;
constexpr DWORD WAIT_ABANDONED_0 = velm::platform::kWaitAbandoned0;
constexpr DWORD WAIT_FAILED = velm::platform::kWaitFailed;

constexpr DWORD MUTEX_MODIFY_STATE = 0x0001;
constexpr DWORD MUTEX_ALL_ACCESS = 0x001F0001;
constexpr DWORD EVENT_MODIFY_STATE = 0x0002;
constexpr DWORD EVENT_ALL_ACCESS = 0x001F0003;

// A critical section the caller owns. Its lock lives on the heap between Initialize… and
// DeleteCriticalSection; a section that is used while still zeroed gets its lock on first use.
struct CRITICAL_SECTION {
  void* Lock;        // the stand-in's recursive lock
  DWORD SpinCount;   // kept for the caller; the lock waits without spinning
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;
using PCRITICAL_SECTION = CRITICAL_SECTION*;

extern "C" {
void InitializeCriticalSection(LPCRITICAL_SECTION section);
// FALSE with ERROR_NOT_ENOUGH_MEMORY when the lock cannot be made.
BOOL InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION section, DWORD spinCount);
// Re-entrant: the owning thread enters again without blocking and must leave as often.
void EnterCriticalSection(LPCRITICAL_SECTION section);
// TRUE when the section is now held by the caller; FALSE at once when another thread holds it.
BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section);
// A thread that does not hold the section leaves nothing: the holder keeps it.
void LeaveCriticalSection(LPCRITICAL_SECTION section);
void DeleteCriticalSection(LPCRITICAL_SECTION section);

// Creates a mutex, or opens the existing one of the same name (then ERROR_ALREADY_EXISTS is set
// and `initialOwner` is ignored, as on Windows). The security attributes are accepted and not
// enforced: every user of the machine may open every mutex.
HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCWSTR name);
// Opens a named mutex that some process has open; null with ERROR_FILE_NOT_FOUND otherwise.
HANDLE OpenMutexW(DWORD desiredAccess, BOOL inheritHandle, LPCWSTR name);
// Gives up one level of ownership. FALSE with ERROR_NOT_OWNER when the caller does not own it.
BOOL ReleaseMutex(HANDLE mutex);

// Events of this process: manual-reset events stay signalled until ResetEvent, auto-reset ones
// release one waiter. A name gives the same event to every caller in the process.
HANDLE CreateEventW(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState, LPCWSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

// Waits for any kernel object (INFINITE or a time-out in milliseconds): WAIT_OBJECT_0,
// WAIT_ABANDONED (a mutex whose owner ended without releasing it, now owned by the caller),
// WAIT_TIMEOUT, or WAIT_FAILED with the last error set (ERROR_INVALID_HANDLE for a bad handle).
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
}
