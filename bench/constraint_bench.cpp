// The full constraint re-pass over the shipped model description: changing one setting in a
// property sheet runs it, so it must stay far below what a person notices. Measured on settings
// without a conflict (every Judge runs, no rule fires) and on settings with conflicts that the
// pass resolves (rules fire and write items), set again before every pass.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

#include "bench_machine.h"
#include "settings/constraint_eval.h"
#include "settings/item_store.h"
#include "settings/process_state.h"

namespace {

struct Machine {
  std::filesystem::path root;
  HANDLE printer = nullptr;

  Machine() {
    root = velm::bench::MakeBenchMachine();
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (!OpenPrinterW(u"Velm Printer", &printer, &defaults)) std::abort();
  }
  ~Machine() {
    SysLibraryDetach();
    ClosePrinter(printer);
    std::filesystem::remove_all(root);
  }
};

Machine& TheMachine() {
  static Machine machine;
  return machine;
}

DriverContext* OpenContext() {
  DriverContext* context = CtxCreate(TheMachine().printer, 0, 0);
  if (!context || !context->description) std::abort();
  return context;
}

void BM_RepassWithoutConflicts(benchmark::State& state) {
  DriverContext* context = OpenContext();
  for (auto _ : state) benchmark::DoNotOptimize(CondReapplyAll(context));
  CtxDestroyEx(context, kReleaseDestroy);
}

void BM_RepassResolvingConflicts(benchmark::State& state) {
  DriverContext* context = OpenContext();
  for (auto _ : state) {
    OptSetValue(context, 8, 43);     // JPOST paper with duplex on: duplex goes off
    OptSetValue(context, 61, 1);
    OptSetValue(context, 10047, 0);  // staple and punch without a finisher: both go off
    OptSetValue(context, 66, 1);
    OptSetValue(context, 65, 1);
    benchmark::DoNotOptimize(CondReapplyAll(context));
  }
  if (OptGetValue(context, 61) != 0 || OptGetValue(context, 66) != 0) std::abort();
  CtxDestroyEx(context, kReleaseDestroy);
}

BENCHMARK(BM_RepassWithoutConflicts)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RepassResolvingConflicts)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
