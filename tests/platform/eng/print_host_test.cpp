#include "eng/print_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "core/memory.h"
#include "core/winerror.h"
#include "eng/page_description.h"
#include "spool/spool_store.h"
#include "spool/winspool.h"
#include "support/temp_root.h"

namespace velm::test {
namespace {

using platform::PrintJob;
using platform::PrintResult;

// What the test driver wrote: its call lines, and the shadow pages of vector mode.
struct DriverOutput {
  std::vector<std::string> lines;
  struct Page {
    LONG width = 0, height = 0, stride = 0;
    std::string bits;
    ULONG Rgb(LONG x, LONG y) const {
      const auto* p = reinterpret_cast<const BYTE*>(bits.data()) + y * stride + 3 * x;
      return p[0] | p[1] << 8 | p[2] << 16;
    }
  };
  std::vector<Page> pages;
  // The first words of the lines.
  std::vector<std::string> Calls() const {
    std::vector<std::string> calls;
    for (const std::string& line : lines) calls.push_back(line.substr(0, line.find(' ')));
    return calls;
  }
  bool Has(const std::string& line) const { return std::find(lines.begin(), lines.end(), line) != lines.end(); }
};

DriverOutput Parse(const std::string& output) {
  DriverOutput parsed;
  size_t at = 0;
  while (at < output.size()) {
    const size_t end = output.find('\n', at);
    if (end == std::string::npos) break;
    const std::string line = output.substr(at, end - at);
    at = end + 1;
    parsed.lines.push_back(line);
    DriverOutput::Page page;
    if (std::sscanf(line.c_str(), "Page %d %d %d", &page.width, &page.height, &page.stride) == 3) {
      page.bits = output.substr(at, static_cast<size_t>(page.stride) * page.height);
      at += page.bits.size();
      parsed.pages.push_back(std::move(page));
    }
  }
  return parsed;
}

bool Contains(const std::vector<std::string>& lines, const std::string& wanted) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& line) { return line.find(wanted) != std::string::npos; });
}

class PrintHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::filesystem::path driver = root_.OnDriveC("Windows/System32/spool/drivers/w32x86/3/velmgr.dll");
    std::filesystem::create_directories(driver.parent_path());
    std::filesystem::copy_file(ModuleDir() / "test_graphics_module.so", driver);
    liveAllocations_ = platform::LiveAllocationCount();
    platform::TakeEngineCalls();
  }
  void TearDown() override {
    EXPECT_EQ(platform::LiveAllocationCount(), liveAllocations_);
    EXPECT_EQ(platform::LiveEngineObjects().Total(), 0u);
  }
  void Configure(const std::string& config) { WriteHostFile(root_.path() / "test_graphics.conf", config); }
  PrintResult Run(const std::string& pages, PrintJob job = {}) {
    job.pages = pages;
    job.keepPageRasters = true;
    PrintResult result = platform::RunPrintJob(job);
    EXPECT_EQ(result.leaked.Total(), 0u) << "engine objects left by the job";
    return result;
  }

  TempMachineRoot root_;
  uint64_t liveAllocations_ = 0;
};

TEST_F(PrintHostTest, ARasterJobRunsTheHooksInOrderAndWalksTheBands) {
  Configure("mode=raster\nwidth=64\nheight=40\nband=16\nbpp=24\n");
  const PrintResult result = Run("fill 0 0 64 40 red\n");
  ASSERT_TRUE(result.ok) << result.message;
  EXPECT_EQ(result.pages, 1u);
  const DriverOutput out = Parse(result.output);
  EXPECT_EQ(out.Calls(), (std::vector<std::string>{"EnablePDEV", "CompletePDEV", "EnableSurface", "StartDoc",
                                                   "StartPage", "StartBanding", "BitBlt", "NextBand", "BitBlt",
                                                   "NextBand", "BitBlt", "NextBand", "EndDoc", "DisableSurface",
                                                   "DisablePDEV"}));
  EXPECT_TRUE(out.Has("StartDoc Document 1"));
  EXPECT_TRUE(out.Has("NextBand 32"));
  EXPECT_TRUE(out.Has("EndDoc 0"));
  EXPECT_TRUE(Contains(out.lines, "BitBlt rop4=0xF0F0 clip=1:"));  // the fill is larger than a band
  EXPECT_TRUE(Contains(out.lines, "(0,-32,64,8) brush=0xFF0000"));
  EXPECT_TRUE(Contains(result.calls, "DrvNextBand -> TRUE (-1,-1)"));
  ASSERT_EQ(result.rasters.size(), 1u);
  const platform::PageRaster& page = result.rasters[0];
  EXPECT_EQ(page.width, 64);
  EXPECT_EQ(page.height, 40);
  for (LONG y : {0, 15, 16, 39}) EXPECT_EQ(page.Rgb(63, y), 0xFF0000u) << y;
}

TEST_F(PrintHostTest, CallsTheSurfaceDoesNotHookAreDrawnByTheEngineIntoTheBand) {
  Configure("mode=raster\nwidth=40\nheight=40\nband=16\nbpp=24\n");
  const PrintResult result = Run(
      "path brush=blue : M 10 10 L 30 10 L 30 30 L 10 30 Z\n"
      "line 0 35 39 35 pen=green\n"
      "text 2 8 \"I\" size=8 color=red\n");
  ASSERT_TRUE(result.ok) << result.message;
  EXPECT_TRUE(Contains(result.calls, "EngFillPath -> TRUE"));
  EXPECT_TRUE(Contains(result.calls, "EngStrokePath -> TRUE"));
  EXPECT_TRUE(Contains(result.calls, "DrvTextOut -> TRUE"));
  const DriverOutput out = Parse(result.output);
  EXPECT_TRUE(out.Has("TextOut glyphs=1 batches=1 face=0 bits=5x7 text=I"));
  const platform::PageRaster& page = result.rasters.at(0);
  EXPECT_EQ(page.Rgb(20, 20), 0x0000FFu);  // drawn across two bands
  EXPECT_EQ(page.Rgb(20, 15), 0x0000FFu);
  EXPECT_EQ(page.Rgb(20, 16), 0x0000FFu);
  EXPECT_EQ(page.Rgb(5, 5), 0xFFFFFFu);
  EXPECT_EQ(page.Rgb(20, 35), 0x00FF00u);
  EXPECT_EQ(page.Rgb(4, 4), 0xFF0000u);  // the stem of the I
  EXPECT_EQ(page.Rgb(2, 4), 0xFFFFFFu);
}

TEST_F(PrintHostTest, AOneBitBandMapsColoursThroughTheDevicePalette) {
  Configure("mode=raster\nwidth=32\nheight=8\nband=8\nbpp=1\n");
  const PrintResult result = Run("fill 0 0 16 8 black\nfill 16 0 32 8 #E0E0E0\n");
  ASSERT_TRUE(result.ok) << result.message;
  const platform::PageRaster& page = result.rasters.at(0);
  EXPECT_EQ(page.format, BMF_1BPP);
  EXPECT_EQ(page.Value(3, 3), 0u);
  EXPECT_EQ(page.Value(20, 3), 1u);
  EXPECT_EQ(page.Rgb(20, 3), 0xFFFFFFu);
  EXPECT_EQ(page.ToPpm().substr(0, 12), "P6\n32 8\n255\n");
}

// One source bitmap serves every band of the page: each band gets the part of the image under it,
// copied or stretched, and a page keeps no raster unless the job asks.
TEST_F(PrintHostTest, AnImageAcrossBandsIsDrawnIntoEachFromOneSource) {
  Configure("mode=raster\nwidth=32\nheight=40\nband=16\nbpp=24\nhooks=0\n");
  const PrintResult result = Run(
      "image 0 0 16 40 16 40 bpp=8 fill=checker\n"
      "image 16 0 32 40 2 5 fill=hex:000000FFFFFF0000FFFFFF0000000000000000FFFFFF0000FFFFFF0000000000000000FFFFFF0000\n");
  ASSERT_TRUE(result.ok) << result.message;
  const platform::PageRaster& page = result.rasters.at(0);
  for (LONG y : {0, 7, 8, 15, 16, 23, 24, 31, 32, 39}) {
    EXPECT_EQ(page.Rgb(3, y), (y / 8) % 2 ? 0xFFFFFFu : 0x000000u) << y;
    EXPECT_EQ(page.Rgb(11, y), (y / 8) % 2 ? 0x000000u : 0xFFFFFFu) << y;
    // Source rows alternate black-white and white-black, eight target rows each.
    EXPECT_EQ(page.Rgb(18, y), (y / 8) % 2 ? 0xFFFFFFu : 0x000000u) << y;
    EXPECT_EQ(page.Rgb(29, y), (y / 8) % 2 ? 0x000000u : 0xFFFFFFu) << y;
  }
  PrintJob job;
  job.pages = "image 0 0 16 40 16 40\n";
  const PrintResult unkept = platform::RunPrintJob(job);
  ASSERT_TRUE(unkept.ok) << unkept.message;
  EXPECT_TRUE(unkept.rasters.empty());
  EXPECT_EQ(unkept.leaked.Total(), 0u);
}

TEST_F(PrintHostTest, AVectorJobHandsEveryCallToTheDriver) {
  Configure("mode=vector\nwidth=60\nheight=30\n");
  const PrintResult result = Run(
      "fill 0 0 10 10 red\n"
      "path brush=blue pen=black : M 20 5 L 40 5 L 40 25 Z\n"
      "image 45 5 55 15 10 10 bpp=8 fill=checker\n"
      "image 0 20 20 30 5 5 fill=green\n"
      "line 0 29 10 29\n");
  ASSERT_TRUE(result.ok) << result.message;
  const DriverOutput out = Parse(result.output);
  EXPECT_EQ(out.Calls(), (std::vector<std::string>{"EnablePDEV", "CompletePDEV", "EnableSurface", "StartDoc",
                                                   "StartPage", "BitBlt", "StrokeAndFillPath", "CopyBits",
                                                   "StretchBlt", "LineTo", "SendPage", "Page", "EndDoc",
                                                   "DisableSurface", "DisablePDEV"}));
  EXPECT_TRUE(out.Has("CopyBits (45,5,55,15) xlate=2"));  // a table from the grey palette
  EXPECT_TRUE(out.Has("StretchBlt (0,20,20,30) from (0,0,5,5) mode=3"));
  EXPECT_TRUE(result.rasters.empty());  // a device surface has no bits
  ASSERT_EQ(out.pages.size(), 1u);
  const DriverOutput::Page& page = out.pages[0];
  EXPECT_EQ(page.Rgb(5, 5), 0xFF0000u);
  EXPECT_EQ(page.Rgb(36, 9), 0x0000FFu);
  EXPECT_EQ(page.Rgb(45, 5), 0x000000u);
  EXPECT_EQ(page.Rgb(53, 5), 0xFFFFFFu);
  EXPECT_EQ(page.Rgb(10, 25), 0x00FF00u);
  EXPECT_EQ(page.Rgb(5, 29), 0x000000u);
}

// On a surface only the driver draws, the engine draws the path's shape into a mask and hands
// the driver its region to fill: a blit of the path's bounds clipped to the shape.
TEST_F(PrintHostTest, APathHookAnsweringFalseHandsThePathToTheEngine) {
  Configure("mode=vector\nwidth=20\nheight=20\nrefuse=FillPath\n");
  const PrintResult result = Run("path brush=blue : M 0 0 L 10 0 L 10 10 Z\nfill 0 0 4 4 red rop=0x5A5A\n");
  ASSERT_TRUE(result.ok) << result.message;
  EXPECT_TRUE(Contains(result.calls, "DrvFillPath -> FALSE (engine fallback requested)"));
  EXPECT_TRUE(Contains(result.calls, "region fill -> TRUE"));
  EXPECT_TRUE(platform::TakeEngineCalls().empty());
  const DriverOutput out = Parse(result.output);
  const std::vector<std::string> calls = out.Calls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "BitBlt"), 2);  // the region, then the fill
}

TEST_F(PrintHostTest, WithoutHooksEveryDrawingCallGoesToTheEngine) {
  Configure("mode=vector\nwidth=20\nheight=20\nhooks=0\n");
  const PrintResult result = Run("fill 1 2 3 4 red\ntext 2 10 \"A\"\n");
  ASSERT_TRUE(result.ok) << result.message;
  EXPECT_TRUE(Contains(result.calls, "EngBitBlt rop4=0xF0F0 -> TRUE"));
  EXPECT_TRUE(Contains(result.calls, "EngTextOut -> TRUE"));
  const std::vector<std::string> engine = platform::TakeEngineCalls();
  ASSERT_EQ(engine.size(), 2u);
  EXPECT_EQ(engine[0], "EngBitBlt device rop4=0xF0F0 (1,2,3,4)");
  EXPECT_FALSE(Contains(Parse(result.output).lines, "BitBlt rop4"));
}

TEST_F(PrintHostTest, PatternBrushesAreRealizedByTheDriver) {
  Configure("mode=vector\nwidth=20\nheight=20\n");
  const PrintResult result = Run("fill 0 0 8 8 red hatch=2\nfill 8 0 16 8 blue pattern=FF00FF00FF00FF00\n");
  ASSERT_TRUE(result.ok) << result.message;
  const DriverOutput out = Parse(result.output);
  EXPECT_TRUE(out.Has("RealizeBrush hatch=2 pattern=8x8 colours=2"));
  EXPECT_TRUE(out.Has("RealizeBrush hatch=6 pattern=8x8 colours=2"));
  EXPECT_TRUE(Contains(out.lines, "brush=realized"));
  const DriverOutput::Page& page = out.pages.at(0);
  EXPECT_EQ(page.Rgb(0, 0), 0xFF0000u);  // the forward diagonal starts top-left
  EXPECT_EQ(page.Rgb(1, 0), 0xFFFFFFu);
  EXPECT_EQ(page.Rgb(9, 0), 0x0000FFu);
  EXPECT_EQ(page.Rgb(9, 1), 0xFFFFFFu);
}

TEST_F(PrintHostTest, CurvesReachADriverWithoutBezierSupportFlattened) {
  const std::string curve = "path pen=black : M 0 0 C 10 0 10 10 0 10\n";
  Configure("mode=vector\nwidth=20\nheight=20\ncaps=0x1F\n");
  PrintResult result = Run(curve);
  ASSERT_TRUE(result.ok) << result.message;
  EXPECT_TRUE(Contains(Parse(result.output).lines, "StrokePath records=1 points=4 curves"));
  Configure("mode=vector\nwidth=20\nheight=20\ncaps=0x1E\n");
  result = Run(curve);
  ASSERT_TRUE(result.ok) << result.message;
  const std::vector<std::string> lines = Parse(result.output).lines;
  EXPECT_TRUE(Contains(lines, "StrokePath records=1"));
  EXPECT_FALSE(Contains(lines, "curves"));
}

TEST_F(PrintHostTest, ClipRegionsKeepOneObjectPerBand) {
  Configure("mode=raster\nwidth=40\nheight=10\nband=10\n");
  const PrintResult result = Run("clip 0 0 10 10 20 0 30 10\nfill 0 0 40 10 red\nfill 0 0 40 10 blue\n");
  ASSERT_TRUE(result.ok) << result.message;
  std::vector<std::string> clips;
  for (const std::string& line : Parse(result.output).lines) {
    const size_t at = line.find("clip=");
    if (at != std::string::npos) clips.push_back(line.substr(at, line.find(' ', at) - at));
  }
  ASSERT_EQ(clips.size(), 2u);
  EXPECT_EQ(clips[0], clips[1]);
  EXPECT_EQ(clips[0].substr(0, 7), "clip=3:");
  const platform::PageRaster& page = result.rasters.at(0);
  EXPECT_EQ(page.Rgb(5, 5), 0x0000FFu);
  EXPECT_EQ(page.Rgb(15, 5), 0xFFFFFFu);
  EXPECT_EQ(page.Rgb(25, 5), 0x0000FFu);
}

TEST_F(PrintHostTest, AFailedPageHookAbortsTheDocument) {
  for (const char* hook : {"StartPage", "NextBand"}) {
    Configure(std::string("mode=raster\nwidth=20\nheight=20\nrefuse=") + hook + "\n");
    const PrintResult result = Run("fill 0 0 5 5 red\n");
    EXPECT_FALSE(result.ok) << hook;
    EXPECT_EQ(result.message, std::string("Drv") + hook + " failed");
    const DriverOutput out = Parse(result.output);
    EXPECT_TRUE(out.Has("EndDoc 1")) << hook;
    EXPECT_EQ(out.lines.back(), "DisablePDEV");
  }
  Configure("mode=raster\nwidth=20\nheight=20\nnobands=1\n");
  const PrintResult result = Run("fill 0 0 5 5 red\n");
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.message, "a banding surface without band hooks");
}

TEST_F(PrintHostTest, ResetMovesTheDocumentToANewPdev) {
  Configure("mode=vector\nwidth=10\nheight=10\n");
  const PrintResult result = Run("fill 0 0 5 5 red\nreset\npage\nfill 0 0 5 5 blue\n");
  ASSERT_TRUE(result.ok) << result.message;
  EXPECT_EQ(result.pages, 2u);
  const DriverOutput out = Parse(result.output);
  EXPECT_EQ(out.Calls(),
            (std::vector<std::string>{"EnablePDEV", "CompletePDEV", "EnableSurface", "StartDoc", "StartPage", "BitBlt",
                                      "SendPage", "Page", "EnablePDEV", "CompletePDEV", "ResetPDEV", "DisableSurface",
                                      "DisablePDEV", "EnableSurface", "StartDoc", "StartPage", "BitBlt", "SendPage",
                                      "Page", "EndDoc", "DisableSurface", "DisablePDEV"}));
  EXPECT_EQ(out.pages.at(1).Rgb(2, 2), 0x0000FFu);
  Configure("mode=vector\nwidth=10\nheight=10\nnoreset=1\n");
  const PrintResult without = Run("fill 0 0 5 5 red\nreset\npage\nfill 0 0 5 5 blue\n");
  ASSERT_TRUE(without.ok) << without.message;
  EXPECT_FALSE(Contains(Parse(without.output).lines, "ResetPDEV"));
}

TEST_F(PrintHostTest, EscapesAndDeviceFontsReachTheDriver) {
  Configure("mode=vector\nwidth=100\nheight=40\n");
  const PrintResult result =
      Run("escape 4096 0102\ntext 5 20 \"AB\" size=10 device=1\ntext 5 30 \"C\" size=10 device=2\n");
  ASSERT_TRUE(result.ok) << result.message;
  const DriverOutput out = Parse(result.output);
  EXPECT_TRUE(out.Has("Escape 4096 2"));
  EXPECT_TRUE(Contains(result.calls, "DrvEscape 4096 -> 2"));
  EXPECT_TRUE(Contains(result.calls, "DrvQueryFont 1 -> IFIMETRICS"));
  EXPECT_TRUE(out.Has("TextOut glyphs=2 batches=1 face=1 bits=none text=AB"));
  EXPECT_TRUE(Contains(result.calls, "device font 2 mapped to the engine font"));
}

TEST_F(PrintHostTest, WriteFaultsEndTheJobWithoutLeaving) {
  Configure("mode=raster\nwidth=20\nheight=20\nband=8\n");
  const PrintResult whole = Run("fill 0 0 20 20 red hatch=1\n");
  ASSERT_TRUE(whole.ok);
  // The job fails unless the driver's EndDoc line got through: later hooks cannot fail.
  for (uint64_t limit = 0; limit < whole.output.size(); limit += 7) {
    PrintJob job;
    job.writeFault.limit = limit;
    job.writeFault.shortWrite = limit % 2 != 0;
    const PrintResult result = Run("fill 0 0 20 20 red hatch=1\n", job);
    EXPECT_EQ(result.ok, result.output.find("EndDoc 0\n") != std::string::npos) << limit;
    EXPECT_EQ(result.output.size(), limit);  // everything up to the fault, nothing after it
  }
}

TEST_F(PrintHostTest, AllocationFaultsInTurnLeaveNothingBehind) {
  Configure("mode=raster\nwidth=24\nheight=24\nband=8\n");
  const std::string pages = "fill 0 0 24 24 red hatch=3\nimage 0 0 12 12 6 6 bpp=4\ntext 1 20 \"x\"\n";
  const uint64_t before = platform::AllocationCount();
  ASSERT_TRUE(Run(pages).ok);
  const uint64_t allocations = platform::AllocationCount() - before;
  EXPECT_GE(allocations, 4u);  // the band, the image, the hatch pattern, the realization
  for (uint64_t nth = 1; nth <= allocations + 1; ++nth) {
    PrintJob job;
    job.allocationFaultAt = nth;
    const PrintResult result = Run(pages, job);
    if (nth > allocations) {
      EXPECT_TRUE(result.ok) << result.message;
    }
    EXPECT_EQ(platform::LiveAllocationCount(), liveAllocations_) << nth;
  }
}

TEST_F(PrintHostTest, WithAPrinterTheDocumentBecomesASpoolerJob) {
  platform::SpoolDriver driver;
  driver.name = u"Velm Driver";
  driver.driverPath = platform::kDefaultGraphicsDriver;
  ASSERT_EQ(platform::AddSpoolDriver(driver), ERROR_SUCCESS);
  platform::SpoolPrinter printer;
  printer.name = u"Office";
  printer.portName = u"LPT1:";
  printer.driverName = driver.name;
  printer.attributes = PRINTER_ATTRIBUTE_LOCAL;
  ASSERT_EQ(platform::AddSpoolPrinter(printer), ERROR_SUCCESS);
  PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ACCESS_USE};
  HANDLE handle = nullptr;
  ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"Office"), &handle, &defaults));

  Configure("mode=vector\nwidth=10\nheight=10\n");
  PrintJob job;
  job.printer = handle;
  job.documentName = u"Report";
  const PrintResult result = Run("fill 0 0 5 5 red\npage\nfill 0 0 5 5 blue\n", job);
  ASSERT_TRUE(result.ok) << result.message;
  EXPECT_TRUE(result.output.empty());
  ASSERT_NE(result.spoolJob, 0u);
  const DriverOutput out = Parse(ReadHostFile(platform::SpoolJobFile(result.spoolJob)));
  EXPECT_TRUE(out.Has("StartDoc Report " + std::to_string(result.spoolJob)));  // the spooler's job id
  EXPECT_EQ(out.pages.size(), 2u);
  const std::optional<platform::SpoolJob> spooled = platform::FindSpoolJob(result.spoolJob);
  ASSERT_TRUE(spooled.has_value());
  EXPECT_EQ(spooled->document, u"Report");
  EXPECT_EQ(spooled->totalPages, 2u);

  // A job that fails is taken back from the spooler.
  Configure("mode=vector\nwidth=10\nheight=10\nrefuse=SendPage\n");
  const PrintResult failed = Run("fill 0 0 5 5 red\n", job);
  EXPECT_FALSE(failed.ok);
  ASSERT_NE(failed.spoolJob, 0u);
  EXPECT_FALSE(platform::FindSpoolJob(failed.spoolJob).has_value());
  EXPECT_TRUE(Contains(failed.calls, "AbortPrinter -> TRUE"));
  EXPECT_TRUE(ClosePrinter(handle));
}

TEST_F(PrintHostTest, TheBuiltInTestPagePrints) {
  Configure("mode=raster\nwidth=800\nheight=600\nband=128\n");
  const PrintResult result = Run("");
  ASSERT_TRUE(result.ok) << result.message;
  const platform::PageRaster& page = result.rasters.at(0);
  EXPECT_EQ(page.Rgb(100, 150), 0xFF0000u);
  EXPECT_EQ(page.Rgb(20, 300), 0x000000u);  // the border
  EXPECT_EQ(page.Rgb(10, 10), 0xFFFFFFu);
  Configure("mode=vector\nwidth=800\nheight=600\n");
  const PrintResult vector = Run("");
  ASSERT_TRUE(vector.ok) << vector.message;
}

TEST_F(PrintHostTest, BadJobsAreRefusedWithTheirReason) {
  Configure("mode=raster\n");
  PrintJob job;
  job.driverPath = u"C:\\Windows\\System32\\spool\\drivers\\w32x86\\3\\missing.dll";
  PrintResult result = Run("fill 0 0 1 1 red\n", job);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, ERROR_MOD_NOT_FOUND);

  PrintJob shortDevmode;
  shortDevmode.devmode.assign(100, 0);
  shortDevmode.devmode[68] = 220;  // dmSize says more than there is
  result = Run("fill 0 0 1 1 red\n", shortDevmode);
  EXPECT_EQ(result.error, ERROR_INVALID_PARAMETER);
  // A whole 1260-byte devmode whose dmSize + dmDriverExtra claim 9,452 bytes more.
  PrintJob longClaim;
  longClaim.devmode.assign(1260, 0);
  longClaim.devmode[68] = 220;
  longClaim.devmode[70] = BYTE((1040 + 9452) & 0xFF);
  longClaim.devmode[71] = BYTE((1040 + 9452) >> 8);
  result = Run("fill 0 0 1 1 red\n", longClaim);
  EXPECT_EQ(result.error, ERROR_INVALID_PARAMETER);
  EXPECT_EQ(result.message, "devmode shorter than dmSize + dmDriverExtra");

  result = Run("fill 0 0 1\n");
  EXPECT_EQ(result.error, ERROR_INVALID_DATA);
  EXPECT_EQ(result.message, "page description: line 1: needs L T R B");
  EXPECT_TRUE(result.output.empty());
}

TEST(PageDescriptionTest, ErrorsNameTheLineAndTheFault) {
  const std::pair<const char*, const char*> cases[] = {
      {"flood 1 2", "line 1: unknown call \"flood\""},
      {"\n\nfill 0 0 1 1 mauve", "line 3: bad colour \"mauve\""},
      {"fill 0 0 1 1 red rop=0x10000", "line 1: bad rop \"0x10000\""},
      {"text 1 2 \"open", "line 1: unterminated text"},
      {"text 1 2 plain", "line 1: text needs X Y \"TEXT\""},
      {"image 0 0 2 2 2 2 bpp=8 fill=hex:0000", "line 1: hex image needs 8 bytes"},
      {"image 0 0 2 2 2 2 bpp=3", "line 1: bpp is 1, 4, 8, 16, 24 or 32"},
      {"path pen=red : L 1 1", "line 1: a path starts with M"},
      {"path pen=red : M 1 1 C 2 2", "line 1: path step C lacks points"},
      {"rect 0 0 5 5", "line 1: rect needs a pen or a brush"},
      {"fill 0 0 5 5 red hatch=6", "line 1: bad hatch \"6\""},
      {"fill 0 0 5 5 red shiny", "line 1: unexpected \"shiny\""},
      {"line 0 0 2000000 0", "line 1: bad coordinate \"2000000\""},
      {"fill 0 0 1 1 red\nreset", "reset with no page after it"},
      {"fill 0 0 5 5 red pattern=00 patternbits=8 patternsize=2,2", "line 1: the pattern needs 8 bytes"},
      {"fill 0 0 5 5 red pattern=00 patternbits=2", "line 1: patternbits is 1, 4, 8, 16, 24 or 32"},
      {"fill 0 0 5 5 red pattern=00 patternsize=3", "line 1: patternsize is W,H"},
      {"image 0 0 2 2 2 2 bpp=32 alpha=256", "line 1: bad alpha \"256\""},
  };
  for (const auto& [text, message] : cases) {
    platform::PageDescription description;
    std::string error;
    EXPECT_FALSE(platform::ParsePageDescription(text, description, error)) << text;
    EXPECT_EQ(error, message) << text;
  }
}

TEST(PageDescriptionTest, PatternsImageBrushesMasksAndAlphaAreRead) {
  platform::PageDescription description;
  std::string error;
  ASSERT_TRUE(platform::ParsePageDescription(
      "fill 0 0 5 5 red pattern=0102030405060708 patternbits=24 patternsize=2,1 patternbottomup\n"
      "image 9 0 1 8 8 8 bpp=32 alpha=128 mask rop=0xAACC brush=blue hatch=2 fill=green\n",
      description, error))
      << error;
  const platform::PageCall& fill = description.pages[0].calls[0];
  EXPECT_EQ(fill.patternBits, 24u);
  EXPECT_EQ(fill.patternWidth, 2);
  EXPECT_EQ(fill.patternHeight, 1);
  EXPECT_TRUE(fill.patternRows);
  EXPECT_TRUE(fill.patternBottomUp);
  EXPECT_EQ(fill.pattern.size(), 8u);
  const platform::PageCall& image = description.pages[0].calls[1];
  EXPECT_EQ(image.rect.left, 9);  // mirrored: kept as given
  EXPECT_EQ(image.alpha, 128);
  EXPECT_TRUE(image.mask);
  EXPECT_EQ(image.rop4, 0xAACCu);
  EXPECT_TRUE(image.hasBrush);
  EXPECT_EQ(image.brush, 0x0000FFu);
  EXPECT_EQ(image.hatch, 2u);
  EXPECT_EQ(image.fillColour, 0x00FF00u);
}

TEST(PageDescriptionTest, PagesClipsAndCallsAreRead) {
  platform::PageDescription description;
  std::string error;
  ASSERT_TRUE(platform::ParsePageDescription(
      "# two pages\n"
      "clip 0 0 5 5\n"
      "text 1 9 \"say \\\"hi\\\"\" size=12 color=#102030 # a comment after a call\n"
      "clip none\n"
      "line 0 0 4 4 8 0 pen=red width=3 style=2,1\n"
      "reset\n"
      "page\n"
      "path brush=blue winding : M 0.5 0 L 4 0 C 4 4 0 4 0 0 Z\n"
      "image 0 0 4 2 2 2 bpp=1 fill=hex:4000000080000000 bottomup\n",
      description, error))
      << error;
  ASSERT_EQ(description.pages.size(), 2u);
  const platform::DescribedPage& first = description.pages[0];
  EXPECT_FALSE(first.resetBefore);
  ASSERT_EQ(first.calls.size(), 2u);
  EXPECT_EQ(first.calls[0].clip, 0);
  EXPECT_EQ(first.calls[0].text, u"say \"hi\"");
  EXPECT_EQ(first.calls[0].brush, 0x102030u);
  EXPECT_EQ(first.calls[1].clip, -1);
  EXPECT_EQ(first.calls[1].points.size(), 3u);
  EXPECT_EQ(first.calls[1].style, (std::vector<LONG>{2, 1}));
  const platform::DescribedPage& second = description.pages[1];
  EXPECT_TRUE(second.resetBefore);
  EXPECT_TRUE(second.calls[0].winding);
  EXPECT_EQ(second.calls[0].steps[0].points[0].x, 8);  // 0.5 in 28.4
  EXPECT_EQ(second.calls[0].steps.size(), 4u);
  EXPECT_EQ(second.calls[1].bits.size(), 8u);
  EXPECT_TRUE(second.calls[1].bottomUp);
}

// Damaged descriptions (the test page with bytes changed, cut or repeated) are parsed or
// refused, never read past their end; the sanitizer builds check the memory side.
TEST(PageDescriptionTest, DamagedDescriptionsAreParsedOrRefused) {
  const std::string page(platform::BuiltInTestPage());
  uint32_t seed = 12345;
  const auto next = [&] { return seed = seed * 1103515245 + 12345, (seed >> 16) & 0x7FFF; };
  const char alphabet[] = " \t\n\"#:=,.-0123456789xXabcdefMLCZ";
  int refused = 0;
  for (int round = 0; round < 2000; ++round) {
    std::string text = page;
    for (int edits = 1 + next() % 4; edits > 0; --edits) {
      const size_t at = next() % text.size();
      switch (next() % 3) {
        case 0: text[at] = alphabet[next() % (sizeof alphabet - 1)]; break;
        case 1: text.erase(at, next() % 16); break;
        default: text.insert(at, text.substr(next() % text.size(), next() % 32)); break;
      }
    }
    platform::PageDescription description;
    std::string error;
    if (!platform::ParsePageDescription(text, description, error)) {
      ++refused;
      EXPECT_EQ(error.rfind("line ", 0) == 0 || error == "reset with no page after it", true) << error;
      EXPECT_TRUE(description.pages.empty());
    }
  }
  EXPECT_GT(refused, 100);
}

}  // namespace
}  // namespace velm::test
