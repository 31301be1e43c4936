// Modules loaded by name, as Windows loads DLLs. A module is an ELF shared object at the
// mapped path of its Windows name; "kernel32.dll", "shell32.dll", "ole32.dll", "userenv.dll",
// "advapi32.dll" and the other system names resolve to the stand-in itself, so GetProcAddress
// finds the Win32 functions by name. A module's exported DllMain runs with DLL_PROCESS_ATTACH
// on its first load and DLL_PROCESS_DETACH when its last reference is freed.
#pragma once

#include "core/wintypes.h"

constexpr DWORD DLL_PROCESS_DETACH = 0;
constexpr DWORD DLL_PROCESS_ATTACH = 1;
constexpr DWORD DLL_THREAD_ATTACH = 2;
constexpr DWORD DLL_THREAD_DETACH = 3;

constexpr DWORD DONT_RESOLVE_DLL_REFERENCES = 0x00000001;
constexpr DWORD LOAD_LIBRARY_AS_DATAFILE = 0x00000002;
constexpr DWORD LOAD_WITH_ALTERED_SEARCH_PATH = 0x00000008;
constexpr DWORD LOAD_LIBRARY_AS_IMAGE_RESOURCE = 0x00000020;
constexpr DWORD LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR = 0x00000100;
constexpr DWORD LOAD_LIBRARY_SEARCH_SYSTEM32 = 0x00000800;

// The entry point every module exports under the name "DllMain".
using DllEntryProc = BOOL (*)(HINSTANCE instance, DWORD reason, LPVOID reserved);

extern "C" {
HMODULE LoadLibraryW(LPCWSTR fileName);
HMODULE LoadLibraryExW(LPCWSTR fileName, HANDLE reserved, DWORD flags);
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
BOOL FreeLibrary(HMODULE module);
HMODULE GetModuleHandleW(LPCWSTR moduleName);
DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);
}
