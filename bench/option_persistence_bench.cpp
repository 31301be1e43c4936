// Saving and loading one printer's whole settings as INI text, the way a settings export does:
// every named item of the devmode and work sections under its own name in the printer's
// section. Once through the INI engine (one section text, one rewrite; one read of the file and
// a cursor) and once with one profile call per key.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_machine.h"
#include "settings/context/cache.h"
#include "settings/persistence/ini_engine.h"
#include "settings/items/store.h"
#include "settings/persistence/options.h"
#include "settings/persistence/paths.h"

namespace {

constexpr WCHAR kSection[] = u"Velm Printer";
constexpr int kLastExportedRow = 903;

struct Machine : velm::bench::BenchPrinter {
  DriverContext* context = nullptr;
  const WCHAR* ini = nullptr;
  std::vector<ItemTableRow*> rows;  // the context's own rows, keyed by their names

  Machine() : BenchPrinter(kSection) {
    context = CtxCreate(printer, 0, 0);
    ini = context ? PathGetSettingsIni(context) : nullptr;
    if (!ini) std::abort();
    std::u16string folder(ini);
    folder.resize(folder.rfind(u'\\'));
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) std::abort();
    for (int i = 34; i <= kLastExportedRow && i < context->itemTable->count; ++i) {
      ItemTableRow& row = context->itemTable->rows[i];
      const int type = DescriptorType(row.descriptor);
      if (!row.name || DescriptorSection(row.descriptor) == kSectionConfig || type == kTypeBytes) continue;
      row.keyName = row.name;
      row.group = nullptr;
      rows.push_back(&row);
    }
  }
  ~Machine() { CtxDestroyEx(context, kReleaseDestroy); }
};

Machine& TheMachine() {
  static Machine machine;
  return machine;
}

void SaveThroughEngine(Machine& m) {
  IniSectionText text{};
  IniAppendSection(&text, kSection);
  for (ItemTableRow* row : m.rows) CfgWriteIniEntry(m.context, row, m.ini, &text);
  if (!IniReplaceSection(m.ini, kSection, text.bytes, text.length)) std::abort();
  IniFreeSectionText(&text);
}

void BM_SaveAllThroughEngine(benchmark::State& state) {
  Machine& m = TheMachine();
  for (auto _ : state) SaveThroughEngine(m);
  state.counters["keys"] = static_cast<double>(m.rows.size());
}

void BM_SaveAllOneProfileCallPerKey(benchmark::State& state) {
  Machine& m = TheMachine();
  for (auto _ : state) {
    for (ItemTableRow* row : m.rows) CfgWriteIniEntry(m.context, row, m.ini, nullptr);
  }
  state.counters["keys"] = static_cast<double>(m.rows.size());
}

void BM_LoadAllThroughEngine(benchmark::State& state) {
  Machine& m = TheMachine();
  SaveThroughEngine(m);
  for (auto _ : state) {
    char* text = IniLoadFile(m.ini);
    const char* section = IniFindSection(kSection, text);
    LONG cursor = 0;
    for (ItemTableRow* row : m.rows) CfgReadIniEntry(m.context, row, m.ini, section, &cursor);
    IniFreeFile(text);
  }
  state.counters["keys"] = static_cast<double>(m.rows.size());
}

void BM_LoadAllOneProfileCallPerKey(benchmark::State& state) {
  Machine& m = TheMachine();
  SaveThroughEngine(m);
  for (auto _ : state) {
    for (ItemTableRow* row : m.rows) CfgReadIniEntry(m.context, row, m.ini, nullptr, nullptr);
  }
  state.counters["keys"] = static_cast<double>(m.rows.size());
}

BENCHMARK(BM_SaveAllThroughEngine)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveAllOneProfileCallPerKey)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAllThroughEngine)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAllOneProfileCallPerKey)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
