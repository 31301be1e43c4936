// The job-control text of the shipped description: each builder measured and then written, as
// the packet writer runs it, for the settings of an ordinary job. The page start and page end
// together are the PJL cost of every page.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>

#include "bench_machine.h"
#include "gr2k/pjl_templates.h"
#include "settings/context/cache.h"
#include "settings/items/store.h"
#include "settings/context/process_state.h"

namespace {

struct Machine : velm::bench::BenchPrinter {
  DriverContext* context = nullptr;

  Machine() {
    context = CtxCreate(printer, 0, 0);
    if (!context) std::abort();
    // A4 portrait, automatic tray, plain paper, one copy at 600 dpi in colour.
    const std::pair<WORD, DWORD> items[] = {{8, 9}, {7, 1}, {13, 7}, {29, 1}, {12, 1}, {42, 600}, {15, 2}};
    for (const auto& [id, value] : items) OptSetValue(context, id, value);
  }
  ~Machine() { CtxDestroyEx(context, kReleaseDestroy); }
};

Machine& TheMachine() {
  static Machine machine;
  return machine;
}

// Measures and writes one template; the bytes it gave.
DWORD BuildOnce(PjlBuilder builder, DriverContext* context, std::string* buffer) {
  DWORD measured = 0, written = 0;
  if (builder(context, nullptr, 0, &measured) < 0) std::abort();
  buffer->resize(measured);
  if (builder(context, buffer->data(), measured, &written) < 0) std::abort();
  return written;
}

void BM_PjlJobStart(benchmark::State& state) {
  DriverContext* context = TheMachine().context;
  std::string buffer;
  uint64_t bytes = 0;
  for (auto _ : state) bytes += BuildOnce(PjlBuildJobStart, context, &buffer);
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

void BM_PjlPageStartAndEnd(benchmark::State& state) {
  DriverContext* context = TheMachine().context;
  std::string buffer;
  uint64_t bytes = 0;
  for (auto _ : state) {
    bytes += BuildOnce(PjlBuildPageStart, context, &buffer);
    bytes += BuildOnce(PjlBuildPageEnd, context, &buffer);
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
  state.SetItemsProcessed(state.iterations());  // pages
}

BENCHMARK(BM_PjlJobStart);
BENCHMARK(BM_PjlPageStartAndEnd);

}  // namespace

BENCHMARK_MAIN();
