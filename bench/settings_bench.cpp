// The settings library's hot paths: item reads and writes by identifier (a dense identifier, one
// of the printer-configuration range found by search, and one with no row), and opening a
// context with and without the reuse cache.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/machine_root.h"
#include "bench_machine.h"
#include "machine_setup.h"
#include "settings/context/cache.h"
#include "settings/items/store.h"
#include "settings/context/memory.h"
#include "settings/context/process_state.h"
#include "settings/services/spooler_info.h"

namespace {

constexpr WORD kDenseItem = 7;       // dmOrientation, s16, by index
constexpr WORD kConfigItem = 10175;  // tray paper of slot 0, s16, by binary search
constexpr WORD kMissingItem = 5000;  // between the two ranges: no row

// A machine root with the driver and its printer, made once for the whole run.
using Machine = velm::bench::BenchPrinter;

Machine& TheMachine() {
  static Machine machine;
  return machine;
}

void ReadById(benchmark::State& state, WORD id) {
  DriverContext* context = CtxCreate(TheMachine().printer, 0, 0);
  DWORD sum = 0;
  for (auto _ : state) {
    sum += OptGetValue(context, id);
    benchmark::DoNotOptimize(sum);
  }
  CtxDestroyEx(context, kReleaseDestroy);
}

void WriteById(benchmark::State& state, WORD id) {
  DriverContext* context = CtxCreate(TheMachine().printer, 0, 0);
  DWORD value = 0;
  for (auto _ : state) benchmark::DoNotOptimize(OptSetValue(context, id, ++value & 0x7FFF));
  CtxDestroyEx(context, kReleaseDestroy);
}

void BM_ItemReadDense(benchmark::State& state) { ReadById(state, kDenseItem); }
void BM_ItemReadConfig(benchmark::State& state) { ReadById(state, kConfigItem); }
void BM_ItemReadMissing(benchmark::State& state) { ReadById(state, kMissingItem); }
void BM_ItemWriteDense(benchmark::State& state) { WriteById(state, kDenseItem); }
void BM_ItemWriteConfig(benchmark::State& state) { WriteById(state, kConfigItem); }

// Open and close: the close puts the context back, the next open takes it.
void BM_ContextOpenCached(benchmark::State& state) {
  HANDLE printer = TheMachine().printer;
  CtxDestroy(CtxCreate(printer, 0, 0));
  for (auto _ : state) CtxDestroy(CtxCreate(printer, 0, 0));
  CtxFlushCache(1);
}

// Open and close: every open builds a new context, every close destroys it.
void BM_ContextOpenUncached(benchmark::State& state) {
  HANDLE printer = TheMachine().printer;
  for (auto _ : state) CtxDestroyEx(CtxCreate(printer, 0, 0), kReleaseDestroy);
}

// The spooler's PRINTER_INFO_2, which every open asks for to learn the printer's name: the
// floor under both kinds of open.
void BM_PrinterInfoQuery(benchmark::State& state) {
  HANDLE printer = TheMachine().printer;
  for (auto _ : state) SysFree(PrnGetPrinterInfo(printer, 2));
}

BENCHMARK(BM_ItemReadDense);
BENCHMARK(BM_ItemReadConfig);
BENCHMARK(BM_ItemReadMissing);
BENCHMARK(BM_ItemWriteDense);
BENCHMARK(BM_ItemWriteConfig);
BENCHMARK(BM_ContextOpenCached);
BENCHMARK(BM_ContextOpenUncached);
BENCHMARK(BM_PrinterInfoQuery);

}  // namespace

BENCHMARK_MAIN();
