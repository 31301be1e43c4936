// Applies arbitrary command bases on a constraint-query session (see command_base_fuzz.h for the
// input's form). The first input sets up a machine root of its own with the driver installed.
//   build/fuzz/bin/fuzz_command_base <new-inputs-folder> fuzz/corpus/command_base -runs=100000
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "core/machine_root.h"
#include "fuzz/command_base_fuzz.h"
#include "machine_setup.h"
#include "settings/process_state.h"
#include "spool/spool_store.h"

namespace {

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "command base fuzz set-up: %s\n", what.c_str());
  std::abort();
}

EXCSESSION Session() {
  static EXCSESSION session = [] {
    namespace fs = std::filesystem;
    std::string root = (fs::temp_directory_path() / "velm-command-base-fuzz-XXXXXX").string();
    if (!mkdtemp(root.data())) Fail("no temporary folder");
    std::string error;
    if (!velm::platform::CreateMachineRoot(root, &error)) Fail(error);
    velm::platform::SetMachineRoot(root);
    if (!velm::tools::InstallDriver({VELM_FUZZ_MODULE_DIR, {}}, &error)) Fail(error);
    if (!velm::tools::AddPrinter({}, &error)) Fail(error);
    SysLibraryAttach(nullptr);
    // Every base reopens the context, which loads and frees the terminal-server test library and
    // the job-credential service. Held loaded here they stay mapped under libFuzzer's counters.
    for (const char16_t* name : {u"qntsetst.dll", u"qnjobcr.dll"}) {
      if (!LoadLibraryW((std::u16string(velm::platform::kDriverDirectory) + name).c_str())) Fail("cannot load a companion");
    }
    EXCSESSION s = ExcGetExclusive("Velm Printer");
    if (!s) Fail("no session");
    return s;
  }();
  return session;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string failure = velm::fuzz::CheckCommandBase(Session(), data, size);
  if (!failure.empty()) {
    std::fprintf(stderr, "command base: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
