// Whole print jobs through the print host: the velmgr library loaded by name from the driver
// folder, the job's devmode built from the printer's settings, every byte the driver writes
// counted as the spooler received them. Figures: pages per second and job bytes per second.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bench_machine.h"
#include "eng/print_host.h"
#include "spool/spool_store.h"
#include "print_command.h"
#include "win32.h"

namespace {

using velm::platform::PrintJob;
using velm::platform::PrintResult;

struct JobMachine {
  HANDLE printer = nullptr;
  std::vector<BYTE> devmode;

  JobMachine() {
    velm::bench::MakeBenchMachine();
    std::u16string name(velm::tools::kDefaultPrinterName);
    if (!OpenPrinterW(const_cast<LPWSTR>(name.data()), &printer, nullptr)) std::abort();
    std::string error;
    // The model's defaults: A4 at 600 dpi.
    if (!velm::tools::BuildJobDevmode(printer, {}, &devmode, &error)) {
      std::fprintf(stderr, "job devmode: %s\n", error.c_str());
      std::abort();
    }
  }
};

JobMachine& Machine() {
  static JobMachine machine;
  return machine;
}

// Runs `pages` as one job per iteration; counts pages and bytes.
void RunJobs(benchmark::State& state, const std::string& pages) {
  JobMachine& machine = Machine();
  uint64_t bytes = 0, printed = 0;
  PrintJob job;
  job.printer = machine.printer;
  job.devmode = machine.devmode;
  job.pages = pages;
  for (auto _ : state) {
    const PrintResult result = velm::platform::RunPrintJob(job);
    if (!result.ok) {
      state.SkipWithError(result.message.c_str());
      break;
    }
    printed += result.pages;
    // The spooler keeps each job's bytes in a file of the machine root: count them, then drop it.
    const std::filesystem::path spooled = velm::platform::SpoolJobFile(result.spoolJob);
    std::error_code failed;
    bytes += std::filesystem::file_size(spooled, failed);
    std::filesystem::remove(spooled, failed);
  }
  state.counters["pages/s"] = benchmark::Counter(double(printed), benchmark::Counter::kIsRate);
  state.SetBytesProcessed(int64_t(bytes));
}

// The built-in test page.
void BM_TestPage(benchmark::State& state) { RunJobs(state, ""); }
BENCHMARK(BM_TestPage)->Unit(benchmark::kMillisecond);

// One A4 page (4960 x 7016 dots at 600 dpi, less the margins the geometry leaves) covered by a
// 24-bit image of the same size: the image is copied, not stretched.
void BM_FullPageImage(benchmark::State& state) {
  RunJobs(state, "image 0 0 4760 6816 4760 6816 bpp=24 fill=gradient\n");
}
BENCHMARK(BM_FullPageImage)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
