// A machine root with the driver and its printer set up, made once for a benchmark run.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "machine_setup.h"
#include "settings/process_state.h"

namespace velm::bench {

inline std::filesystem::path MakeBenchMachine() {
  std::string pattern = (std::filesystem::temp_directory_path() / "velm-bench-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) std::abort();
  std::string error;
  if (!velm::tools::SetupMachine(pattern, {VELM_MODULE_DIR, {}}, &error)) {
    std::fprintf(stderr, "setup failed: %s\n", error.c_str());
    std::abort();
  }
  SysLibraryAttach(nullptr);
  return pattern;
}

}  // namespace velm::bench
