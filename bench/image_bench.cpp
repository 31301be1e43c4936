// A full A4 page at 600 dpi as one 24-bit image (4960 x 7016, 104 MB) sent to image records the
// way DrvCopyBits sends it: from the bitmap's own memory into the command stream, and out through
// the output library's write function (here a sink that only counts). Beside it, a plain memory
// copy of the same bytes in the same run. Both report bytes per second of the image; their ratio
// is in bench/README.md.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "gr2k/image_senders.h"
#include "gr2k/pdev.h"

namespace {

constexpr LONG kWidth = 4960, kHeight = 7016;

BOOL WINAPI CountingWrite(HANDLE output, LPVOID, DWORD count, LPDWORD written) {
  *static_cast<uint64_t*>(output) += count;
  *written = count;
  return TRUE;
}

// A bitmap of the page, filled with a gradient so that no stage can take a shortcut.
struct PageImage {
  HSURF handle = nullptr;
  SURFOBJ* so = nullptr;
  PageImage() {
    handle = reinterpret_cast<HSURF>(EngCreateBitmap(SIZEL{kWidth, kHeight}, 0, BMF_24BPP, BMF_TOPDOWN, nullptr));
    so = EngLockSurface(handle);
    for (LONG y = 0; y < kHeight; ++y) {
      BYTE* row = static_cast<BYTE*>(so->pvScan0) + static_cast<ptrdiff_t>(y) * so->lDelta;
      for (LONG x = 0; x < kWidth * 3; ++x) row[x] = static_cast<BYTE>(x + y);
    }
  }
  ~PageImage() {
    EngUnlockSurface(so);
    EngDeleteSurface(handle);
  }
  size_t Bytes() const { return static_cast<size_t>(so->lDelta) * kHeight; }
};

PageImage& Image() {
  static PageImage image;
  return image;
}

void BM_PageImageToRecords(benchmark::State& state) {
  auto pdev = std::make_unique<RenderPdev>();
  pdev->allocations = PdevMemCreateList();
  pdev->settings.machineColor = TRUE;
  pdev->settings.colorChoice = 2;
  uint64_t written = 0;
  DWORD pageCounter = 1;
  pdev->stream.owner = {pdev.get(), &PdevStreamAlloc, &PdevStreamFree, &pdev->flags, &pageCounter, FALSE};
  pdev->stream.outputModule = reinterpret_cast<HMODULE>(&written);
  pdev->stream.outputHandle = &written;
  pdev->stream.writeCallback = &CountingWrite;
  StrmReset(&pdev->stream);
  PageImage& image = Image();
  const RECTL page{0, 0, kWidth, kHeight};
  const POINTL zero{0, 0};
  for (auto _ : state) {
    if (!ImgEmitBand(pdev.get(), nullptr, image.so, &zero, &page) || !StrmFlush(&pdev->stream)) {
      state.SkipWithError("the image was not sent");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * image.Bytes()));
  state.counters["sent_MB"] = static_cast<double>(written) / state.iterations() / 1e6;
  PdevMemDestroy(pdev->allocations);
}

void BM_PageImageMemoryCopy(benchmark::State& state) {
  PageImage& image = Image();
  std::vector<BYTE> copy(image.Bytes());
  for (auto _ : state) {
    std::memcpy(copy.data(), image.so->pvScan0, copy.size());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * image.Bytes()));
}

}  // namespace

BENCHMARK(BM_PageImageToRecords)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PageImageMemoryCopy)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
