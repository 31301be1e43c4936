// Compiling the shipped model description against loading its cache file: the first context of
// every process pays one of the two, so loading must cost a small part of compiling. Measured
// end to end (with the platform's file calls) and on the bytes alone.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench_machine.h"
#include "machine_setup.h"
#include "settings/description/cache.h"
#include "settings/description/compiler.h"
#include "settings/description/parser.h"
#include "settings/context/process_state.h"
#include "spool/spool_store.h"

namespace {

// A machine root with the driver, its description and its cache file, made once for the run.
struct Machine {
  std::filesystem::path root;
  std::u16string description;
  std::u16string cache;
  std::string text;   // the description file
  std::string block;  // its cache file

  Machine() {
    root = velm::bench::MakeBenchMachine();
    description = std::u16string(velm::platform::kDriverDirectory) + std::u16string(velm::tools::kModelDataFile);
    cache = std::u16string(velm::platform::kDriverDirectory) + u"qnvelm.BCS";
    DescOrigin origin = DescOrigin::kNone;
    if (!DescLoadFile(description.c_str(), nullptr, &origin) || origin != DescOrigin::kCompiled) std::abort();
    DescFreeAll();
    text = ReadWhole(description);
    block = ReadWhole(cache);
  }
  static std::string ReadWhole(const std::u16string& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    if (!ReadFile(file, bytes.data(), DWORD(bytes.size()), &read, nullptr) || read != bytes.size()) std::abort();
    CloseHandle(file);
    return bytes;
  }
  ~Machine() {
    SysLibraryDetach();
    std::filesystem::remove_all(root);
  }
};

Machine& TheMachine() {
  static Machine machine;
  return machine;
}

// The first load of a process without a usable cache file: parse, compile, write the cache file.
void BM_FirstLoadCompiles(benchmark::State& state) {
  const Machine& machine = TheMachine();
  DeleteFileW(machine.cache.c_str());
  for (auto _ : state) {
    DescOrigin origin = DescOrigin::kNone;
    DescLoadFile(machine.description.c_str(), nullptr, &origin);
    if (origin != DescOrigin::kCompiled) {
      state.SkipWithError("not compiled");
      break;
    }
    state.PauseTiming();
    DescFreeAll();
    DeleteFileW(machine.cache.c_str());
    state.ResumeTiming();
  }
  DescLoadFile(machine.description.c_str(), nullptr);  // leave the cache file for the next ones
  DescFreeAll();
}

// The first load of a process with a good cache file: both files opened, the block read, its
// stamp, checksum and links checked.
void BM_FirstLoadReadsTheCacheFile(benchmark::State& state) {
  const Machine& machine = TheMachine();
  for (auto _ : state) {
    DescOrigin origin = DescOrigin::kNone;
    DescLoadFile(machine.description.c_str(), nullptr, &origin);
    if (origin != DescOrigin::kCacheFile) {
      state.SkipWithError("not loaded from the cache file");
      break;
    }
    state.PauseTiming();
    DescFreeAll();
    state.ResumeTiming();
  }
}

// Every later load in the process: the process list.
void BM_LaterLoadFindsTheList(benchmark::State& state) {
  const std::u16string& path = TheMachine().description;
  DescLoadFile(path.c_str(), nullptr);
  for (auto _ : state) benchmark::DoNotOptimize(DescLoadFile(path.c_str(), nullptr));
  DescFreeAll();
}

// The work on the bytes alone, without the file calls of the platform: the text parsed and
// compiled, against a cache block's checksum and links checked.
void BM_BytesCompiled(benchmark::State& state) {
  const std::string& text = TheMachine().text;
  for (auto _ : state) {
    DescParseResult* result = DescParseText(text.data(), text.size());
    ModelDescription* description = DescBuildImage(result, {});
    if (!description) state.SkipWithError("compile failed");
    DescFreeParseResult(result);
    DescFreeImage(description);
  }
}

void BM_BytesChecked(benchmark::State& state) {
  const std::string& block = TheMachine().block;
  const auto* bytes = reinterpret_cast<const BYTE*>(block.data());
  for (auto _ : state) {
    const bool good = DescLoadU64(bytes + kDescOffStampChecksum) == DescImageChecksum(bytes, DWORD(block.size())) &&
                      DescValidateImage(bytes, DWORD(block.size()));
    if (!good) state.SkipWithError("block refused");
  }
}

BENCHMARK(BM_FirstLoadCompiles)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FirstLoadReadsTheCacheFile)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LaterLoadFindsTheList)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BytesCompiled)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BytesChecked)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
