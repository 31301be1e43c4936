// The document sheet as a user works it, through the property-sheet host of the stand-in: one
// combo change on the basic page through to the page's refresh (the paper combo, which the
// description's constraints tie to the source, the media and the finishing, against the n-up
// combo, which no constraint names), and opening the sheet with every page created against
// opening it with its first page only.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <string>

#include "bench_machine.h"
#include "data/item_ids.h"
#include "data/page_ids.h"
#include "settings/items/store.h"
#include "ui/ui_driver.h"
#include "ui2k/entry/property_sheets.h"
#include "ui2k/entry/ui_context.h"
#include "ui2k/pages/page_framework.h"

extern "C" LONG DrvDocumentPropertySheets(PPROPSHEETUI_INFO info, LPARAM lParam);

namespace {

using velm::bench::BenchPrinter;
namespace ui = velm::ui;

BenchPrinter& Printer() {
  static BenchPrinter printer;
  return printer;
}

// Something modal that the script did not expect (a message box, a dialog) ends the run.
void StopOnUnexpected() {
  ui::FailOnUnexpected([](const std::string& what) {
    std::fprintf(stderr, "unexpected: %s\n", what.c_str());
    std::abort();
  });
}

// The document sheet over the printer's defaults, driven by `script`, then cancelled.
void OpenDocumentSheet(const std::function<void(ui::Sheet&)>& script) {
  DOCUMENTPROPERTYHEADER header{};
  header.cbSize = sizeof header;
  header.hPrinter = Printer().printer;
  header.pszPrinterName = const_cast<LPWSTR>(u"Velm Printer");
  header.fMode = DM_PROMPT;
  ui::Host().open(DrvDocumentPropertySheets, reinterpret_cast<LPARAM>(&header), [&](ui::Sheet& sheet) {
    script(sheet);
    if (sheet.open()) sheet.pressCancel();
  });
}

// Each iteration picks the other of two rows of `control` on the basic page, as a user does: the
// selection and its notification, the commit, the constraint pass and the page's refresh, all
// run before select() returns.
void ComboChange(benchmark::State& state, WORD control, WORD item) {
  StopOnUnexpected();
  OpenDocumentSheet([&](ui::Sheet& sheet) {
    ui::Page page = sheet.activate(kPageBasic);
    ui::Ctl combo = page.ctl(control);
    if (combo.rows().size() < 2 || !combo.isEnabled()) {
      state.SkipWithError("the combo offers no choice");
      return;
    }
    const int first = combo.selection() == 0 ? 1 : 0;
    const int rows[2] = {first, combo.selection() < 0 ? 1 - first : combo.selection()};
    UiContext* context = PageContextOf(page.hwnd());
    DWORD values[2] = {};
    for (int i = 0; i < 2; ++i)
      values[i] = static_cast<DWORD>(SendMessageW(combo.hwnd(), CB_GETITEMDATA, rows[i], 0));
    int next = 0;
    for (auto _ : state) {
      combo.select(rows[next]);
      page.pump();
      next ^= 1;
    }
    // The last change stands in the item: the work measured was the whole change.
    if (OptGetModelValueById(context->driver, item) != values[next ^ 1]) state.SkipWithError("the change was not stored");
  });
  ui::FailOnUnexpected(nullptr);
}

void BM_PaperComboChange(benchmark::State& state) { ComboChange(state, kCtlPaperSizeCombo, kItemPaperSize); }
void BM_UnconstrainedComboChange(benchmark::State& state) { ComboChange(state, kCtlNupTypeCombo, kItemNUPType); }

// Opening the document sheet: every page created (each tab clicked once) against the first page.
void SheetOpen(benchmark::State& state, bool everyPage) {
  StopOnUnexpected();
  size_t pages = 0;
  for (auto _ : state) {
    OpenDocumentSheet([&](ui::Sheet& sheet) {
      if (!everyPage) return;
      const auto ids = sheet.pageIds();
      for (WORD id : ids) sheet.activate(id);
      pages = ids.size();
    });
  }
  if (everyPage) state.counters["pages"] = static_cast<double>(pages);
  ui::FailOnUnexpected(nullptr);
}

void BM_SheetOpenEveryPage(benchmark::State& state) { SheetOpen(state, true); }
void BM_SheetOpenFirstPage(benchmark::State& state) { SheetOpen(state, false); }

BENCHMARK(BM_PaperComboChange)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UnconstrainedComboChange)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SheetOpenEveryPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SheetOpenFirstPage)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
