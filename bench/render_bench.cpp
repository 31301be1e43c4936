// The job renderer on the raster-mode test page: one A4 page at 600 dpi sent as the engine's
// 24-bit bands, decoded once, then drawn per iteration. Figures: the time to draw the page and
// the size of its PNG at 600 and at 150 dpi.
#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench_machine.h"
#include "page_compare.h"
#include "spool/spool_store.h"

namespace {

struct RasterPage {
  velm::jobdump::Job job;
  velm::jobrender::Canvas page;

  RasterPage() {
    velm::bench::MakeBenchMachine();
    std::u16string name(velm::tools::kDefaultPrinterName);
    HANDLE printer = nullptr;
    if (!OpenPrinterW(name.data(), &printer, nullptr)) std::abort();
    velm::tools::PrintedPages printed;
    std::string error;
    // The model's defaults (A4 at 600 dpi) on a colour machine, in raster mode.
    if (!velm::tools::PrintAndDraw(printer, "", {{"246", "1"}, {"vdmRasterMode", "1"}}, false, &printed, &error)) {
      std::fprintf(stderr, "raster page: %s\n", error.c_str());
      std::abort();
    }
    std::ifstream in(velm::platform::SpoolJobFile(printed.result.spoolJob), std::ios::binary);
    std::ostringstream spooled;
    spooled << in.rdbuf();
    const std::string bytes = spooled.str();
    if (!velm::jobdump::DecodeJob(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), {}, &job, &error)) {
      std::abort();
    }
    page = printed.rendering.pages.at(0);
  }
};

RasterPage& Page() {
  static RasterPage page;
  return page;
}

void BM_DrawRasterTestPage(benchmark::State& state) {
  RasterPage& raster = Page();
  for (auto _ : state) benchmark::DoNotOptimize(velm::jobrender::DrawJob(raster.job));
  state.counters["pixels"] = double(raster.page.width) * raster.page.height;
}
BENCHMARK(BM_DrawRasterTestPage)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_PngOfRasterTestPage(benchmark::State& state) {
  RasterPage& raster = Page();
  size_t bytes = 0;
  for (auto _ : state) bytes = velm::jobrender::PagePng(raster.page, static_cast<uint32_t>(state.range(0))).size();
  state.counters["png_bytes"] = double(bytes);
}
BENCHMARK(BM_PngOfRasterTestPage)->Arg(600)->Arg(150)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
