// A machine root with the driver and its printer set up, made once for a benchmark run.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "machine_setup.h"
#include "settings/context/process_state.h"
#include "win32.h"

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

// The machine with its printer open for all access; taken down (library detached, printer
// closed, root removed) when the program ends.
struct BenchPrinter {
  std::filesystem::path root;
  HANDLE printer = nullptr;

  explicit BenchPrinter(const char16_t* name = u"Velm Printer") {
    root = MakeBenchMachine();
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (!OpenPrinterW(const_cast<LPWSTR>(name), &printer, &defaults)) std::abort();
  }
  ~BenchPrinter() {
    SysLibraryDetach();
    ClosePrinter(printer);
    std::filesystem::remove_all(root);
  }
  BenchPrinter(const BenchPrinter&) = delete;
  BenchPrinter& operator=(const BenchPrinter&) = delete;
};

}  // namespace velm::bench
