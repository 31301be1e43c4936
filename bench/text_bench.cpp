// Text calls per second: a page of 60 lines of 80 characters sent through the text hook's
// vector path, with the page's end after each page (records flushed to a counting sink, the
// select and glyph caches cleared, so every page selects and downloads afresh).
//
// Cases: the resident device font (one select, one 0x52 run per line) and glyphs downloaded
// from the engine's font (0x54 for each glyph new on the page, then one 0x55 per line).
// items_per_second counts text calls; bytes_per_second the job bytes written.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "eng/engine_objects.h"
#include "gr2k/device_fonts.h"
#include "gr2k/pdev.h"
#include "gr2k/text_out.h"
#include "settings/context/process_state.h"

namespace {

constexpr int kLines = 60, kColumns = 80;
constexpr LONG kCellHeight = 50, kLineStep = 100;  // 12-point cells at 600 dpi

BOOL WINAPI CountingWrite(HANDLE output, LPVOID, DWORD count, LPDWORD written) {
  *static_cast<uint64_t*>(output) += count;
  *written = count;
  return TRUE;
}

// A PDEV that keeps only what the text hook and the stream need.
struct TextPdev {
  std::unique_ptr<RenderPdev> pdev = std::make_unique<RenderPdev>();
  uint64_t written = 0;
  DWORD pageCounter = 1;

  explicit TextPdev(bool download) {
    RenderPdev* p = pdev.get();
    p->allocations = PdevMemCreateList();
    p->settings.deviceFontsUsable = download;
    p->stream.owner = {p, &PdevStreamAlloc, &PdevStreamFree, &p->flags, &pageCounter, FALSE};
    p->stream.outputModule = reinterpret_cast<HMODULE>(&written);
    p->stream.outputHandle = &written;
    p->stream.writeCallback = &CountingWrite;
    StrmReset(&p->stream);
    p->glyphs.allocContext = p;
    p->glyphs.alloc = PdevStreamAlloc;
    p->glyphs.free = PdevStreamFree;
    DevFontTableLoad(p);
  }
  ~TextPdev() {
    DevFontTableFree(pdev.get());
    GlyphCacheClear(&pdev->glyphs);
    PdevMemDestroy(pdev->allocations);
  }
  // The page's end: records out, caches forgotten.
  bool EndPage() {
    RenderPdev* p = pdev.get();
    if (!StrmFlush(&p->stream)) return false;
    StrmReset(&p->stream);
    GraphicsStateCacheReset(&p->cache);
    GlyphCacheClear(&p->glyphs);
    return true;
  }
};

// Line n of the page: printable ASCII from a different starting character on each line.
std::u16string Line(int n) {
  std::u16string line;
  for (int i = 0; i < kColumns; ++i) line += static_cast<char16_t>(0x21 + (i + n) % 94);
  return line;
}

void RunPage(benchmark::State& state, bool download) {
  SysProcessState().module = GetModuleHandleW(nullptr);  // the font resources are this program's
  TextPdev page(download);
  if (!download && !page.pdev->fonts) {
    state.SkipWithError("no device fonts");
    return;
  }
  FONTOBJ* font = nullptr;
  if (download) {
    font = velm::platform::CreateEngineFontObj(kCellHeight, 600);
  } else {
    IFIMETRICS* ifi = page.pdev->fonts->fonts[0].metrics;
    const FLOATL scale = static_cast<FLOATL>(kCellHeight) / ifi->fwdUnitsPerEm;
    font = velm::platform::CreateDeviceFontObj(1, ifi, XFORML{scale, 0, 0, scale, 0, 0}, 600);
  }
  std::vector<STROBJ*> lines;
  for (int n = 0; n < kLines; ++n)
    lines.push_back(velm::platform::CreateStrObj(font, Line(n), POINTL{100, 200 + n * kLineStep}));
  BRUSHOBJ brush{0, nullptr, 0};
  for (auto _ : state) {
    for (STROBJ* line : lines) {
      if (!TxtTextOut(page.pdev.get(), line, font, nullptr, nullptr, nullptr, &brush, nullptr, 0x0D0D)) {
        state.SkipWithError("a text call failed");
        break;
      }
    }
    if (!page.EndPage()) state.SkipWithError("the page was not written");
  }
  state.SetItemsProcessed(state.iterations() * kLines);
  state.SetBytesProcessed(static_cast<int64_t>(page.written));
  state.counters["page_kB"] = static_cast<double>(page.written) / std::max<int64_t>(1, state.iterations()) / 1e3;
  for (STROBJ* line : lines) velm::platform::DeleteStrObj(line);
  velm::platform::DeleteFontObj(font);
}

void BM_TextResidentPage(benchmark::State& state) { RunPage(state, false); }
void BM_TextDownloadedPage(benchmark::State& state) { RunPage(state, true); }

}  // namespace

BENCHMARK(BM_TextResidentPage)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_TextDownloadedPage)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK_MAIN();
