// Runs of DrvEscape calls from arbitrary bytes through a printed job (see escape_calls.h for the
// input's form and what is checked). The first input sets up a machine root of its own.
//   build/fuzz/bin/fuzz_escape <new-inputs-folder> fuzz/corpus/escape
#include <cstdio>
#include <cstdlib>

#include "fuzz/escape_calls.h"
#include "fuzz/fuzz_machine.h"

namespace {

HANDLE Printer() {
  static HANDLE printer = [] {
    // Each job loads and frees the graphics library, and its PDEVs every companion in turn.
    velm::fuzz::SetUpFuzzMachine("escape", {u"velmgr.dll", u"velmui.dll", u"qntsetst.dll", u"qnoutlib.dll",
                                            u"qnjobcr.dll", u"qnbidint.dll", u"qnbidi9x.dll", u"qnresus.dll",
                                            u"qnresjp.dll"});
    HANDLE opened = nullptr;
    if (!OpenPrinterW(const_cast<LPWSTR>(velm::tools::kDefaultPrinterName.data()), &opened, nullptr))
      velm::fuzz::FailSetUp("escape", "the printer does not open");
    return opened;
  }();
  return printer;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  const std::string failure = velm::fuzz::CheckEscapeJob(Printer(), data, size);
  if (!failure.empty()) {
    std::fprintf(stderr, "escape: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
