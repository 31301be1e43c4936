// The settings library's process state: set up when a driver library is loaded into a process
// and torn down when it is unloaded. Each of the three libraries carries its own.
#pragma once

#include <atomic>
#include <mutex>

#include "win32.h"

struct DriverContext;

// One slot of the context reuse cache: a closed context and the tick of its release.
struct ContextCacheSlot {
  DriverContext* context;
  DWORD stamp;
};

constexpr DWORD kLockSpinCount = 4000;
constexpr DWORD kSectionNotCreated = 0;
constexpr DWORD kSectionCreated = 1;
constexpr DWORD kAnswerUnknown = 0;
constexpr DWORD kAnswerYes = 1;
constexpr DWORD kAnswerNo = 2;

struct ProcessState {
  HINSTANCE module = nullptr;
  // The two locks of the context cache tables (table n under section n).
  CRITICAL_SECTION sections[2] = {};
  std::atomic<DWORD> sectionState[2] = {kSectionNotCreated, kSectionNotCreated};
  ContextCacheSlot cacheTables[2][2] = {};
  std::atomic<HANDLE> globalMutex{nullptr};  // "Global\VelmMutexTse", opened on first use
  std::atomic<DWORD> terminalServer{kAnswerUnknown};
  // Makes the creation of a section or of the mutex handle happen once when threads race.
  std::mutex creation;
};

ProcessState& SysProcessState();

// Process attach of the library that carries the settings library: clears the cache tables,
// creates both sections and starts without a mutex handle.
void SysLibraryAttach(HINSTANCE instance);
// Process detach: destroys every cached context, deletes the sections that exist and closes the
// mutex handle.
void SysLibraryDetach();
// The module entry of each driver library, which the loader runs when the library is first
// loaded into a process and when its last reference is freed: attach, detach, always TRUE.
BOOL SysLibraryEntry(HINSTANCE instance, DWORD reason);
