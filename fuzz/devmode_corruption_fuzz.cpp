// Damaged devmodes through every way a devmode reaches the driver (see devmode_corruption.h).
// An input is the devmode itself; the buffer is zero-padded to the sizes its header claims, as
// the graphics system would hand no less. The first input sets up a machine root of its own.
// The seeds (corpus/devmode_corruption) are the driver's own devmode, older and foreign layouts,
// and the damage that once found faults; the fuzz preset replays them as a test.
//   build/fuzz/bin/fuzz_devmode_corruption <new-inputs-folder> fuzz/corpus/devmode_corruption
#include <cstdio>
#include <cstdlib>

#include "fuzz/devmode_corruption.h"
#include "fuzz/fuzz_machine.h"
#include "print_command.h"

namespace {

velm::fuzz::DevmodeCorruptionMachine& Machine() {
  static velm::fuzz::DevmodeCorruptionMachine* machine = [] {
    // PDEVs and application contexts load and free every companion in turn.
    velm::fuzz::SetUpFuzzMachine("devmode_corruption", {u"qntsetst.dll", u"qnoutlib.dll", u"qnjobcr.dll",
                                                        u"qnbidint.dll", u"qnbidi9x.dll", u"qnresus.dll",
                                                        u"qnresjp.dll", u"velmui.dll"});
    HANDLE printer = nullptr;
    std::vector<BYTE> good;
    std::string error;
    if (!OpenPrinterW(const_cast<LPWSTR>(velm::tools::kDefaultPrinterName.data()), &printer, nullptr) ||
        !velm::tools::BuildJobDevmode(printer, {}, &good, &error))
      velm::fuzz::FailSetUp("devmode_corruption", "no devmode of the driver: " + error);
    ClosePrinter(printer);
    auto* m = new velm::fuzz::DevmodeCorruptionMachine;
    const std::string failure = m->SetUp(velm::tools::kDefaultPrinterName.data(), good);
    if (!failure.empty()) velm::fuzz::FailSetUp("devmode_corruption", failure);
    return m;
  }();
  return *machine;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0x20000) return 0;
  const std::vector<BYTE> devmode = velm::fuzz::DevmodeFromInput(data, size);
  if (devmode.empty()) return 0;
  const std::string failure = Machine().Check(devmode);
  if (!failure.empty()) {
    std::fprintf(stderr, "devmode corruption: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
