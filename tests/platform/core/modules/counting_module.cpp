// A module for the loader tests. Its DllMain appends one line per call to <root>/dllmain.log
// and refuses the attach while <root>/dllmain.refuse exists. Built with COUNTING_ENTRY_POINT the
// same entry is exported as DllEntryPoint instead, for a module that has no DllMain.
#include <filesystem>
#include <fstream>

#include "core/machine_root.h"
#include "core/modules.h"
#include "core/unicode.h"

namespace {
std::filesystem::path RootFile(const char* name) { return velm::platform::MachineRoot() / name; }
}  // namespace

#ifdef COUNTING_ENTRY_POINT
#define COUNTING_ENTRY DllEntryPoint
#else
#define COUNTING_ENTRY DllMain
#endif

extern "C" BOOL COUNTING_ENTRY(HINSTANCE instance, DWORD reason, LPVOID) {
  std::ofstream log(RootFile("dllmain.log"), std::ios::app);
  if (reason == DLL_PROCESS_ATTACH) {
    WCHAR path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(instance, path, MAX_PATH);
    // The loader lock is held here; loading another module must not deadlock.
    HMODULE kernel = LoadLibraryW(u"kernel32.dll");
    const bool nested = kernel && FreeLibrary(kernel);
    log << "attach " << velm::platform::Utf16ToUtf8({path, length}) << (nested ? "" : " (nested load failed)")
        << "\n";
    return std::filesystem::exists(RootFile("dllmain.refuse")) ? FALSE : TRUE;
  }
  if (reason == DLL_PROCESS_DETACH) log << "detach\n";
  return TRUE;
}

extern "C" int ModuleAnswer() { return 42; }
