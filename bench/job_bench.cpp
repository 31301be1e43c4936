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
  std::u16string name{velm::tools::kDefaultPrinterName};
  std::vector<BYTE> devmode;        // the model's defaults: A4 at 600 dpi, vector mode
  std::vector<BYTE> rasterDevmode;  // the same in raster mode

  JobMachine() {
    velm::bench::MakeBenchMachine();
    HANDLE printer = nullptr;
    if (!OpenPrinterW(name.data(), &printer, nullptr)) std::abort();
    std::string error;
    if (!velm::tools::BuildJobDevmode(printer, {}, &devmode, &error) ||
        !velm::tools::BuildJobDevmode(printer, {{"vdmRasterMode", "1"}}, &rasterDevmode, &error)) {
      std::fprintf(stderr, "job devmode: %s\n", error.c_str());
      std::abort();
    }
    ClosePrinter(printer);
  }
};

JobMachine& Machine() {
  static JobMachine machine;
  return machine;
}

// Runs `pages` as one job per iteration, as an application prints it: the printer opened, the
// job run, its bytes counted from the spooler's file, the printer closed (which lets the spooler
// drop the printed job). Counts pages and bytes.
void RunJobs(benchmark::State& state, const std::string& pages, bool raster = false) {
  JobMachine& machine = Machine();
  uint64_t bytes = 0, printed = 0;
  PrintJob job;
  job.devmode = raster ? machine.rasterDevmode : machine.devmode;
  job.pages = pages;
  for (auto _ : state) {
    if (!OpenPrinterW(machine.name.data(), &job.printer, nullptr)) std::abort();
    const PrintResult result = velm::platform::RunPrintJob(job);
    std::error_code failed;
    if (result.ok) bytes += std::filesystem::file_size(velm::platform::SpoolJobFile(result.spoolJob), failed);
    ClosePrinter(job.printer);
    if (!result.ok) {
      state.SkipWithError(result.message.c_str());
      break;
    }
    printed += result.pages;
  }
  state.counters["pages/s"] = benchmark::Counter(double(printed), benchmark::Counter::kIsRate);
  state.counters["job_bytes"] = benchmark::Counter(printed ? double(bytes) / double(printed) : 0);
  state.SetBytesProcessed(int64_t(bytes));
}

// The built-in test page.
void BM_TestPage(benchmark::State& state) { RunJobs(state, ""); }
BENCHMARK(BM_TestPage)->Unit(benchmark::kMillisecond);

// One A4 page (4960 x 7016 dots at 600 dpi, less the margins the geometry leaves) covered by a
// 24-bit image of the same size, in raster mode: the image is copied into the bands, not stretched.
void BM_FullPageImage(benchmark::State& state) {
  RunJobs(state, "image 0 0 4760 6816 4760 6816 bpp=24 fill=gradient\n", true);
}
BENCHMARK(BM_FullPageImage)->Unit(benchmark::kMillisecond)->Iterations(3);

// A vector page of drawing: 200 filled and outlined rectangles, 200 lines (every fourth wide,
// every fifth dashed) and 60 lines of text.
std::string DrawingPage() {
  std::string page;
  for (int i = 0; i < 200; ++i) {
    const int x = 100 + (i % 20) * 230, y = 100 + (i / 20) * 300;
    page += "rect " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(x + 200) + " " +
            std::to_string(y + 120) + " pen=black brush=#" + (i % 2 ? "C0C0FF" : "FFE0A0") + "\n";
  }
  for (int i = 0; i < 200; ++i) {
    const int y = 3200 + i * 8;
    page += "line 100 " + std::to_string(y) + " 4600 " + std::to_string(y + (i % 7) * 10) + " pen=#" +
            (i % 3 ? "000000" : "A00000") + (i % 4 == 0 ? " width=3" : "") + (i % 5 == 0 ? " style=12,4" : "") + "\n";
  }
  for (int i = 0; i < 60; ++i) {
    page += "text 100 " + std::to_string(4900 + i * 32) + " \"Line " + std::to_string(i) +
            " of the benchmark page: paths, rectangles and text together\" size=24\n";
  }
  return page;
}

void BM_DrawingPage(benchmark::State& state) { RunJobs(state, DrawingPage()); }
BENCHMARK(BM_DrawingPage)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
