// Merges arbitrary devmodes into a context of the model's defaults (see merge_fuzz.h for the
// input's form). The first input sets up a machine root of its own with the driver installed.
//   build/fuzz/bin/fuzz_merge <new-inputs-folder> fuzz/corpus/merge -runs=1000000
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_machine.h"
#include "fuzz/merge_fuzz.h"

namespace {

struct MergeMachine {
  DriverContext* context = nullptr;
  SettingsRecord start{};
};

[[noreturn]] void Fail(const std::string& what) { velm::fuzz::FailSetUp("merge", what); }

MergeMachine& Machine() {
  static MergeMachine machine = [] {
    // Every merge asks the terminal-server test library, loading and freeing it.
    velm::fuzz::SetUpFuzzMachine("merge", {u"qntsetst.dll"});
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE printer = nullptr;
    if (!OpenPrinterW(const_cast<LPWSTR>(velm::tools::kDefaultPrinterName.data()), &printer, &defaults)) Fail("cannot open the printer");
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
