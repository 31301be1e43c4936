// Applies arbitrary command bases on a constraint-query session (see command_base_fuzz.h for the
// input's form). The first input sets up a machine root of its own with the driver installed.
//   build/fuzz/bin/fuzz_command_base <new-inputs-folder> fuzz/corpus/command_base -runs=100000
#include <cstdio>
#include <cstdlib>

#include "fuzz/command_base_fuzz.h"
#include "fuzz/fuzz_machine.h"

namespace {

EXCSESSION Session() {
  static EXCSESSION session = [] {
    // Every base reopens the context, which loads and frees the terminal-server test library and
    // the job-credential service.
    velm::fuzz::SetUpFuzzMachine("command-base", {u"qntsetst.dll", u"qnjobcr.dll"});
    EXCSESSION s = ExcGetExclusive("Velm Printer");
    if (!s) velm::fuzz::FailSetUp("command-base", "no session");
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
