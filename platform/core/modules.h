// Modules loaded by name, as Windows loads DLLs. A module is an ELF shared object at the
// mapped path of its Windows name; "kernel32.dll", "shell32.dll", "ole32.dll", "userenv.dll",
// "advapi32.dll" and the other system names resolve to the stand-in itself, so GetProcAddress
// finds the Win32 functions by name. A module's exported DllMain (or, when it has none, its
// DllEntryPoint) runs with DLL_PROCESS_ATTACH on its first load and DLL_PROCESS_DETACH when its
// last reference is freed.
//
// A module is one host file: "C:\X\A.DLL" and "c:\x\a.dll" name the same module. A bare name
// ("qnx", "qnx.dll") is first matched against the modules already loaded, then searched in the
// executable's folder (when it lies inside the machine root), "C:\Windows\System32",
// "C:\Windows" and the current directory; ".dll" is appended to a name without extension
// (a name ending in '.' has none). Every loader call holds one recursive loader lock, so a
// DllMain may load and free modules itself.
//
// HMODULE values are the loader's own numbers (64 KB apart, never reused in a process), not
// dlopen handles: a freed handle stays invalid. Modules loaded as data files carry low bit 1
// (LOAD_LIBRARY_AS_DATAFILE) or 2 (LOAD_LIBRARY_AS_IMAGE_RESOURCE), as on Windows.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

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

// The entry point a module exports under the name "DllMain" or "DllEntryPoint".
using DllEntryProc = BOOL (*)(HINSTANCE instance, DWORD reason, LPVOID reserved);

extern "C" {
// Loads a module, or adds a reference to it when it is loaded already. Null with
// ERROR_MOD_NOT_FOUND (no such file), ERROR_BAD_EXE_FORMAT (not a loadable object),
// ERROR_DLL_INIT_FAILED (its DllMain refused the attach) or ERROR_PROC_NOT_FOUND (it needs a
// symbol no loaded object has). `flags` may ask for a data-file load (no code runs) or limit
// the search to System32; DONT_RESOLVE_DLL_REFERENCES is refused with ERROR_NOT_SUPPORTED.
HMODULE LoadLibraryW(LPCWSTR fileName);
// LoadLibraryW of a name in the machine's ANSI code page.
HMODULE LoadLibraryA(LPCSTR fileName);
HMODULE LoadLibraryExW(LPCWSTR fileName, HANDLE reserved, DWORD flags);
// An export of `module` (null = the executable) by name; only the module's own exports, not
// those of the objects it depends on. Ordinals are not supported (ERROR_PROC_NOT_FOUND).
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
// Drops one reference; the last runs DLL_PROCESS_DETACH and unloads the module. System
// modules and the executable stay loaded. FALSE with ERROR_MOD_NOT_FOUND for an unknown handle.
BOOL FreeLibrary(HMODULE module);
// A loaded module by name, without adding a reference (null = the executable). Modules loaded
// as data files are not found, as on Windows.
HMODULE GetModuleHandleW(LPCWSTR moduleName);
// The Windows path the module was loaded from. A short buffer receives size-1 characters and a
// NUL; the call then answers `size` with ERROR_INSUFFICIENT_BUFFER.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);
}

namespace velm::platform {

struct ModuleInfo {
  std::filesystem::path host;  // the file that was mapped (the stand-in itself for system names)
  std::u16string windowsPath;  // what GetModuleFileNameW answers
  bool dataOnly = false;       // loaded as a data file or image resource: no code, no exports
};

// What the loader knows of `module` (null = the executable); false for an unknown handle.
// Resource functions read data modules through this.
bool QueryModule(HMODULE module, ModuleInfo& info);

// Test switches for a machine that lacks a system library or one of its entries. A withdrawn
// system name ("compstui.dll") is not found by LoadLibrary or GetModuleHandle; a withdrawn
// export is not found by GetProcAddress in any system module. Handles taken before stay valid.
// WithdrawSystemModule answers false for a name that is not a system name.
bool WithdrawSystemModule(std::u16string_view name, bool withdrawn);
void WithdrawSystemExport(std::string_view procName, bool withdrawn);

// A code module's own switch, for a stand-in of a library built without some of its entries
// (a module calls it from its DllMain): GetProcAddress no longer finds `procName` in `module`
// until the module is unloaded. False for a handle that is not a loaded code module.
bool WithholdModuleExport(HMODULE module, std::string_view procName);

}  // namespace velm::platform
