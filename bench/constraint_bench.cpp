// The full constraint re-pass over the shipped model description: changing one setting in a
// property sheet runs it, so it must stay far below what a person notices. Measured on an office
// set-up without a conflict (every rule's Judge runs, none fires) and on settings with conflicts
// that the pass resolves (rules fire in several items and write them), set again before every
// pass.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <utility>

#include "bench_machine.h"
#include "settings/constraints/eval.h"
#include "settings/items/store.h"
#include "settings/context/process_state.h"

namespace {

using Machine = velm::bench::BenchPrinter;

Machine& TheMachine() {
  static Machine machine;
  return machine;
}

DriverContext* OpenContext() {
  DriverContext* context = CtxCreate(TheMachine().printer, 0, 0);
  if (!context || !context->description) std::abort();
  return context;
}

// An office printer: duplex unit, all trays and a FinMk2 finisher installed, Tray 1 loaded with
// A4; an A4 job from Tray 1, stapled and collated into the finisher.
void SetUpOffice(DriverContext* context) {
  const std::pair<WORD, DWORD> settings[] = {
      {7, 1},     {8, 9},     {50, 1024}, {13, 1},   {29, 1},     {14, 600},  {10014, 1}, {10113, 1},
      {10114, 1}, {10136, 1}, {10058, 1}, {10070, 1}, {10175, 9}, {10143, 1}, {66, 1},    {136, 1},
      {64, 1},    {129, 1},   {57, 32},   {61, 1},   {102, 3},
  };
  for (const auto& [item, value] : settings) OptSetValue(context, item, value);
}

void BM_RepassWithoutConflicts(benchmark::State& state) {
  DriverContext* context = OpenContext();
  SetUpOffice(context);
  CondReapplyAll(context);
  for (auto _ : state) benchmark::DoNotOptimize(CondReapplyAll(context));
  if (OptGetValue(context, 66) != 1 || OptGetValue(context, 61) != 1) std::abort();  // nothing fired
  CtxDestroyEx(context, kReleaseDestroy);
}

void BM_RepassResolvingConflicts(benchmark::State& state) {
  DriverContext* context = OpenContext();
  SetUpOffice(context);
  for (auto _ : state) {
    OptSetValue(context, 8, 8);      // A3 from Tray 1: automatic selection
    OptSetValue(context, 29, 2);     // transparencies with duplex on: duplex off, fed from the bypass
    OptSetValue(context, 61, 1);
    OptSetValue(context, 13, 1);
    OptSetValue(context, 57, 2);     // stapled sets to the upper tray, uncollated: finisher, collated
    OptSetValue(context, 129, 0);
    OptSetValue(context, 59, 1);     // n-up with zoom: zoom off
    OptSetValue(context, 58, 1);
    OptSetValue(context, 65, 1);     // punch on a finisher without one is checked too
    benchmark::DoNotOptimize(CondReapplyAll(context));
  }
  if (OptGetValue(context, 61) != 0 || OptGetValue(context, 13) != 4 || OptGetValue(context, 57) != 32 ||
      OptGetValue(context, 58) != 0)
    std::abort();
  CtxDestroyEx(context, kReleaseDestroy);
}

BENCHMARK(BM_RepassWithoutConflicts)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RepassResolvingConflicts)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
