// The constraint-query command engine: an application applies a job's SET lines as a base, then
// proposes single changes and fetches what the driver changed. Measured: applying a 20-line base
// (the context reopened, every line applied, the full constraint pass, the command set and the
// comparison), and updates with their change lists (each update applied with its rules, the
// pass, the comparison and the base refreshed, then the list fetched).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "bench_machine.h"
#include "exclude/exc_session.h"
#include "exclude/velmexc.h"

namespace {

using Machine = velm::bench::BenchPrinter;

Machine& TheMachine() {
  static Machine machine;
  return machine;
}

std::string Line(const char* name, const char* value) { return std::string("@PJL SET ") + name + " = " + value + " \r\n"; }

const std::string& TwentyLineBase() {
  static const std::string base =
      Line("APLPAGESIZE", "A4") + Line("APLPAGELAYOUT", "PORTRAIT") + Line("PAPER", "SAME") + Line("TRAY", "TRAY1") +
      Line("COLLATE", "SORT") + Line("OUTBIN", "UPPER") + Line("DUPLEX", "ON") + Line("STAPLE", "OFF") +
      Line("PUNCH", "OFF") + Line("COPIES", "2") + Line("SCALETYPE", "OFF") + Line("BINDING", "LEFT") +
      Line("NUP", "OFF") + Line("NUPENCLOSURE", "OFF") + Line("MEDIATYPE", "PLAIN") + Line("COLORSELECT", "MONO") +
      Line("SIMPLEXBINDING", "LEFT") + Line("DSTRESOLUTIONW", "600") + Line("BOOKLET", "OFF") +
      Line("FORCEFEED", "ALL");
  return base;
}

EXCSESSION OpenSession() {
  TheMachine();
  EXCSESSION session = ExcGetExclusive("Velm Printer");
  if (!session) std::abort();
  return session;
}

void BM_ApplyTwentyLineBase(benchmark::State& state) {
  EXCSESSION session = OpenSession();
  uint32_t changes = 0;
  for (auto _ : state) {
    const int32_t result = ExcSetCommandBase(session, TwentyLineBase().c_str(), &changes);
    if (result < 0) std::abort();
    benchmark::DoNotOptimize(result);
  }
  ExcFreeExclusive(session);
}
BENCHMARK(BM_ApplyTwentyLineBase)->Unit(benchmark::kMicrosecond);

// A6 from the cassette: the tray falls back to automatic selection, so the update has a change
// list to hand out. Each iteration then puts the base back by updates of its own (A4, then the
// cassette), so no set-up runs outside the timing; the figure is per update (each with its change
// list fetched when there is one), A6 in every iteration with a change list.
void BM_UpdateWithChangeList(benchmark::State& state) {
  EXCSESSION session = OpenSession();
  uint32_t size = 0;
  if (ExcSetCommandBase(session, TwentyLineBase().c_str(), &size) < 0) std::abort();
  const std::string updates[] = {Line("APLPAGESIZE", "A6"), Line("APLPAGESIZE", "A4"), Line("TRAY", "TRAY1")};
  char changes[4096];
  int64_t count = 0;
  for (auto _ : state) {
    for (const std::string& update : updates) {
      const int32_t result = ExcUpdateCommand(session, update.c_str(), &size);
      if (result < 0 || (&update == &updates[0] && result != 1)) {
        state.SkipWithError("the update did not give the expected change list");
        ExcFreeExclusive(session);
        return;
      }
      if (result == 1 && ExcGetCommandChange(session, sizeof(changes), changes, &size) != 0) std::abort();
      benchmark::DoNotOptimize(changes);
      ++count;
    }
  }
  state.SetItemsProcessed(count);
  state.counters["s/update"] = benchmark::Counter(double(count), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  ExcFreeExclusive(session);
}
BENCHMARK(BM_UpdateWithChangeList)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
