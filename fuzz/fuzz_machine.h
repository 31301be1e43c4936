// The machine a fuzz target runs on: a machine root of its own in a temporary folder, with the
// driver installed and the default printer added, set up by the first input.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <string>

#include "core/machine_root.h"
#include "machine_setup.h"
#include "settings/context/process_state.h"
#include "spool/spool_store.h"

namespace velm::fuzz {

[[noreturn]] inline void FailSetUp(const char* target, const std::string& what) {
  std::fprintf(stderr, "%s fuzz set-up: %s\n", target, what.c_str());
  std::abort();
}

// Sets up the machine for `target` and keeps the companion libraries `held` loaded: code under
// test loads and frees them on every input, and libFuzzer keeps the coverage counters of every
// instrumented module it saw, so a module unmapped under them would crash the fuzzer itself.
inline void SetUpFuzzMachine(const char* target, std::initializer_list<const char16_t*> held) {
  namespace fs = std::filesystem;
  std::string root = (fs::temp_directory_path() / (std::string("velm-") + target + "-fuzz-XXXXXX")).string();
  if (!mkdtemp(root.data())) FailSetUp(target, "no temporary folder");
  std::string error;
  if (!platform::CreateMachineRoot(root, &error)) FailSetUp(target, error);
  platform::SetMachineRoot(root);
  if (!tools::InstallDriver({VELM_FUZZ_MODULE_DIR, {}}, &error)) FailSetUp(target, error);
  if (!tools::AddPrinter({}, &error)) FailSetUp(target, error);
  SysLibraryAttach(nullptr);
  for (const char16_t* name : held) {
    if (!LoadLibraryW((std::u16string(platform::kDriverDirectory) + name).c_str())) {
      FailSetUp(target, "cannot load a companion library");
    }
  }
}

}  // namespace velm::fuzz
