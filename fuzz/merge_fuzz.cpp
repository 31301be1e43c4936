// Merges arbitrary devmodes into a context of the model's defaults (see merge_fuzz.h for the
// input's form). The first input sets up a machine root of its own with the driver installed.
//   build/fuzz/bin/fuzz_merge <new-inputs-folder> fuzz/corpus/merge -runs=1000000
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "core/machine_root.h"
#include "fuzz/merge_fuzz.h"
#include "machine_setup.h"
#include "settings/process_state.h"
#include "spool/spool_store.h"

namespace {

struct MergeMachine {
  DriverContext* context = nullptr;
  SettingsRecord start{};
};

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "merge fuzz set-up: %s\n", what.c_str());
  std::abort();
}

MergeMachine& Machine() {
  static MergeMachine machine = [] {
    namespace fs = std::filesystem;
    std::string root = (fs::temp_directory_path() / "velm-merge-fuzz-XXXXXX").string();
    if (!mkdtemp(root.data())) Fail("no temporary folder");
    std::string error;
    if (!velm::platform::CreateMachineRoot(root, &error)) Fail(error);
    velm::platform::SetMachineRoot(root);
    if (!velm::tools::InstallDriver({VELM_FUZZ_MODULE_DIR, {}}, &error)) Fail(error);
    if (!velm::tools::AddPrinter({}, &error)) Fail(error);
    SysLibraryAttach(nullptr);
    // Every merge asks the terminal-server test library, loading and freeing it. Held loaded here,
    // it stays mapped: libFuzzer keeps the coverage counters of every instrumented module it saw,
    // and a module unmapped under them crashes the fuzzer itself.
    const std::u16string testLibrary = std::u16string(velm::platform::kDriverDirectory) + u"qntsetst.dll";
    if (!LoadLibraryW(testLibrary.c_str())) Fail("cannot load the terminal-server test library");
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE printer = nullptr;
    if (!OpenPrinterW(velm::tools::kDefaultPrinterName.data(), &printer, &defaults)) Fail("cannot open the printer");
    MergeMachine m;
    m.context = CtxCreateEx(printer, 0, kKindModelDefaults, 0, 0, nullptr);
    if (!m.context) Fail("no context");
    m.start = *m.context->settings;
    return m;
  }();
  return machine;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MergeMachine& machine = Machine();
  const std::string failure = velm::fuzz::CheckMerge(machine.context, machine.start, data, size);
  if (!failure.empty()) {
    std::fprintf(stderr, "merge: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
