// The settings folders: the shared one ("_velm" on the system drive, or the folder the registry
// value "_VELMDirectory" names) and the per-user one (under the user's LocalAppDataLow or
// profile, by Windows version), and the system folders they are built from.
//
// Every function writes a folder without a final backslash into `buffer` of `capacity`
// characters and answers its length; 0 (and "") when it cannot be built or does not fit.
#pragma once

#include "settings/context/driver_context.h"
#include "win32.h"

// The system directory ("C:\Windows\system32").
DWORD SysGetSystemDir(WCHAR* buffer, DWORD capacity);

// The shared settings folder as the machine states it: the REG_SZ value "_VELMDirectory" of
// HKLM "SOFTWARE\QUIRN\VelmDrv" when present and not empty, else the system directory cut after
// its drive and first backslash + "_velm" ("C:\_velm").
DWORD PathReadSharedDir(WCHAR* buffer, DWORD capacity);
// The same for callers without a context.
DWORD PathReadSharedDirNoCtx(WCHAR* buffer, DWORD capacity);
// The shared settings folder of this Windows: PathReadSharedDir on NT 5 and later, the system
// directory before.
DWORD PathGetSharedDir(DriverContext* context, WCHAR* buffer, DWORD capacity);

// The user's profile directory, asked of "UserEnv.dll" (loaded for the call) with the thread's
// token, or the process's when the thread has none.
DWORD PathGetProfileDir(WCHAR* buffer, DWORD capacity);

// The per-user settings folder, first match: the folder of the context's settings INI when that
// path is already a drive path ("D:\x\qnset.ini" gives "D:\x"); on NT 6 and later the known
// folder LocalAppDataLow + "\_velm"; on NT 5 the profile directory + "\_velm"; before, the system
// directory + "\quirn\_velm\" + the last component of the profile directory.
DWORD PathGetUserDir(DriverContext* context, WCHAR* buffer, DWORD capacity);
// The same without a context, so without the settings INI shortcut.
DWORD PathGetUserDirNoCtx(WCHAR* buffer, DWORD capacity);

// The shared settings folder + "\" + `fileName`.
DWORD PathMakeSharedFile(const WCHAR* fileName, WCHAR* buffer, DWORD capacity);
