// The PDEV's life: every hook refuses a PDEV that is not one, a failed enable leaves nothing
// behind whichever allocation fails, and a device reset hands the open document on.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "driver_fixture.h"

namespace velm::test {
namespace {

using Hook = std::function<LONG_PTR()>;

class PdevLifecycleTest : public DriverTest {};

// Every hook of the table, called on `surface` (whose PDEV is `dhpdev`), answering what it
// returned as a number.
std::vector<std::pair<std::string, Hook>> EveryHook(DHPDEV dhpdev, SURFOBJ* surface) {
  static RECTL rect{0, 0, 1, 1};
  static POINTL point{0, 0};
  auto n = [](auto value) { return static_cast<LONG_PTR>(value); };
  auto p = [](auto* value) { return reinterpret_cast<LONG_PTR>(value); };
  return {
      {"DisablePDEV", [=] { return DrvDisablePDEV(dhpdev), LONG_PTR{0}; }},
      {"CompletePDEV", [=] { return DrvCompletePDEV(dhpdev, nullptr), LONG_PTR{0}; }},
      {"ResetPDEV", [=, &n] { return n(DrvResetPDEV(dhpdev, dhpdev)); }},
      {"EnableSurface", [=, &p] { return p(DrvEnableSurface(dhpdev)); }},
      {"DisableSurface", [=] { return DrvDisableSurface(dhpdev), LONG_PTR{0}; }},
      {"StartPage", [=, &n] { return n(DrvStartPage(surface)); }},
      {"SendPage", [=, &n] { return n(DrvSendPage(surface)); }},
      {"StartDoc", [=, &n] { return n(DrvStartDoc(surface, nullptr, 1)); }},
      {"EndDoc", [=, &n] { return n(DrvEndDoc(surface, 0)); }},
      {"StartBanding", [=, &n] { return n(DrvStartBanding(surface, &point)); }},
      {"NextBand", [=, &n] { return n(DrvNextBand(surface, &point)); }},
      {"BitBlt", [=, &n] { return n(DrvBitBlt(surface, nullptr, nullptr, nullptr, nullptr, &rect, nullptr, nullptr,
                                             nullptr, nullptr, 0xF0F0)); }},
      {"StretchBlt", [=, &n] { return n(DrvStretchBlt(surface, surface, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                     &rect, &rect, nullptr, COLORONCOLOR)); }},
      // The path hooks answer DDI_ERROR (-1).
      {"StrokePath", [=, &n] { return n(DrvStrokePath(surface, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                     0x0D0D)) + 1; }},
      {"FillPath", [=, &n] { return n(DrvFillPath(surface, nullptr, nullptr, nullptr, nullptr, 0x0D0D, 0)) + 1; }},
      {"StrokeAndFillPath", [=, &n] { return n(DrvStrokeAndFillPath(surface, nullptr, nullptr, nullptr, nullptr,
                                                                   nullptr, nullptr, nullptr, 0x0D0D, 0)) + 1; }},
      {"RealizeBrush", [=, &n] { return n(DrvRealizeBrush(nullptr, surface, nullptr, nullptr, nullptr, 0)); }},
      {"Escape", [=, &n] { return n(DrvEscape(surface, 8, 0, nullptr, 0, nullptr)); }},
      {"GetGlyphMode", [=, &n] { return n(DrvGetGlyphMode(dhpdev, nullptr)); }},
      {"DitherColor", [=, &n] { return n(DrvDitherColor(dhpdev, 0, 0, nullptr)); }},
      {"CopyBits", [=, &n] { return n(DrvCopyBits(surface, surface, nullptr, nullptr, &rect, &point)); }},
      {"QueryFont", [=, &p] { return p(DrvQueryFont(dhpdev, 0, 1, nullptr)); }},
      {"QueryFontData", [=, &n] { return n(DrvQueryFontData(dhpdev, nullptr, 1, 0, nullptr, nullptr, 0)) + 1; }},
      {"QueryFontTree", [=, &p] { return p(DrvQueryFontTree(dhpdev, 0, 1, 3, nullptr)); }},
      {"IcmCreateColorTransform", [=, &p] { return p(DrvIcmCreateColorTransform(dhpdev, nullptr, nullptr, 0, nullptr,
                                                                               0, nullptr, 0, 0)); }},
      {"IcmDeleteColorTransform", [=, &n] { return n(DrvIcmDeleteColorTransform(dhpdev, nullptr)); }},
      {"StretchBltROP", [=, &n] { return n(DrvStretchBltROP(surface, surface, nullptr, nullptr, nullptr, nullptr,
                                                           nullptr, &rect, &rect, nullptr, COLORONCOLOR, nullptr,
                                                           0xCCCC)); }},
      {"QueryAdvanceWidths", [=, &n] { return n(DrvQueryAdvanceWidths(dhpdev, nullptr, 0, nullptr, nullptr, 0)); }},
      {"TextOut", [=, &n] { return n(DrvTextOut(surface, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                               nullptr, nullptr, 0x0D0D)); }},
  };
}

TEST_F(PdevLifecycleTest, EveryHookRefusesAPdevThatIsNotOne) {
  RenderPdev* pdev = Enable();
  ASSERT_NE(pdev, nullptr);
  ASSERT_NE(DrvEnableSurface(reinterpret_cast<DHPDEV>(pdev)), nullptr);
  const DWORD flags = pdev->flags;
  auto check = [&](DHPDEV dhpdev, SURFOBJ* surface, const char* how) {
    const auto hooks = EveryHook(dhpdev, surface);
    EXPECT_EQ(hooks.size(), 29u);  // the table's thirty less DrvEnablePDEV, which makes the PDEV
    for (const auto& [name, call] : hooks) {
      SetLastError(0);
      EXPECT_EQ(call(), 0) << name << " " << how;
      EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << name << " " << how;
    }
  };
  pdev->magicTail ^= 1;
  SURFOBJ surface = Surface(pdev);
  check(reinterpret_cast<DHPDEV>(pdev), &surface, "with a damaged tail");
  pdev->magicTail ^= 1;
  pdev->magicHead = 0;
  check(reinterpret_cast<DHPDEV>(pdev), &surface, "with a damaged head");
  pdev->magicHead = kPdevMagic;
  SURFOBJ noPdev{};
  check(nullptr, &noPdev, "without a PDEV");
  check(nullptr, nullptr, "without a surface");
  // Nothing was touched: the PDEV is whole and frees as usual.
  EXPECT_EQ(pdev->flags, flags);
  EXPECT_NE(pdev->surface, nullptr);
  DrvDisableSurface(reinterpret_cast<DHPDEV>(pdev));
  DrvDisablePDEV(reinterpret_cast<DHPDEV>(pdev));
}

TEST_F(PdevLifecycleTest, AFailedAllocationAnywhereInEnableLeavesNothingBehind) {
  g_testItems.push_back({183, 1});
  const uint64_t live = platform::LiveAllocationCount();
  const uint64_t before = platform::AllocationCount();
  RenderPdev* pdev = Enable();
  ASSERT_NE(pdev, nullptr);
  const uint64_t allocations = platform::AllocationCount() - before;
  DrvDisablePDEV(reinterpret_cast<DHPDEV>(pdev));
  // Some allocations only cost the context a cached answer; the others fail the enable. Either
  // way nothing may stay behind.
  uint64_t refused = 0;
  for (uint64_t n = 1; n <= allocations; ++n) {
    platform::SetAllocationFault(n);
    pdev = Enable();
    platform::SetAllocationFault(0);
    if (pdev) {
      DrvDisablePDEV(reinterpret_cast<DHPDEV>(pdev));
    } else {
      ++refused;
    }
    CtxFlushCache(1);
    ASSERT_EQ(platform::LiveAllocationCount(), live) << "allocation " << n;
    ASSERT_EQ(platform::LiveEngineObjects().palettes, 0u) << "allocation " << n;
  }
  EXPECT_GE(refused, 4u);  // the list, the PDEV, the context's own blocks, the saved devmode...
}

TEST_F(PdevLifecycleTest, TheEnableFailsWithoutTheLibraryAttach) {
  SysProcessState().module = nullptr;
  EXPECT_EQ(Enable(), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_DLL_INIT_FAILED);
  SysProcessState().module = GetModuleHandleW(nullptr);
}

TEST_F(PdevLifecycleTest, ADisabledPdevFreesEveryBlockOfADocument) {
  const DWORD spoolJob = OpenSpoolJob();
  RenderPdev* pdev = Enable();
  ASSERT_NE(pdev, nullptr);
  ASSERT_NE(DrvEnableSurface(reinterpret_cast<DHPDEV>(pdev)), nullptr);
  SURFOBJ surface = Surface(pdev);
  ASSERT_TRUE(DrvStartDoc(&surface, const_cast<LPWSTR>(u"Report"), spoolJob));
  for (int page = 0; page < 2; ++page) {
    ASSERT_TRUE(DrvStartPage(&surface));
    // More than the inline chunk holds, so that further chunks come and go.
    for (int i = 0; i < 3000; ++i) ASSERT_NE(StrmEmitRect(&pdev->stream, kRectFill, {i, 0, i + 1, 1}), nullptr);
    ASSERT_TRUE(GlyphCacheAdd(&pdev->glyphs, 1, 2, 3, 4));
    ASSERT_TRUE(DrvSendPage(&surface));
  }
  ASSERT_TRUE(DrvEndDoc(&surface, 0));
  DrvDisableSurface(reinterpret_cast<DHPDEV>(pdev));
  DrvDisablePDEV(reinterpret_cast<DHPDEV>(pdev));
  const jobdump::Job job = CloseSpoolJob(spoolJob);
  EXPECT_EQ(job.pages, 2u);
  EXPECT_EQ(RecordsOf(job, 0x10).size(), 6000u);
}

TEST_F(PdevLifecycleTest, AResetBeforeTheDocumentCarriesNothing) {
  RenderPdev* old = Enable();
  ASSERT_NE(old, nullptr);
  old->pageCounter = 5;
  RenderPdev* next = Enable();
  ASSERT_NE(next, nullptr);
  EXPECT_TRUE(DrvResetPDEV(reinterpret_cast<DHPDEV>(old), reinterpret_cast<DHPDEV>(next)));
  EXPECT_EQ(next->flags, 0u);
  EXPECT_EQ(next->pageCounter, 0u);
  EXPECT_EQ(old->flags, 0u);
  DrvDisablePDEV(reinterpret_cast<DHPDEV>(old));
  DrvDisablePDEV(reinterpret_cast<DHPDEV>(next));
}

TEST_F(PdevLifecycleTest, AResetHandsTheDocumentToTheNewPdevWhichStartsAFreshStream) {
  const DWORD spoolJob = OpenSpoolJob();
  RenderPdev* old = Enable();
  ASSERT_NE(old, nullptr);
  SURFOBJ oldSurface = Surface(old);
  ASSERT_TRUE(DrvStartDoc(&oldSurface, const_cast<LPWSTR>(u"Ten chars!"), spoolJob));
  ASSERT_TRUE(DrvStartPage(&oldSurface));
  ASSERT_TRUE(DrvSendPage(&oldSurface));
  ASSERT_TRUE(DrvStartPage(&oldSurface));
  ASSERT_TRUE(DrvSendPage(&oldSurface));

  RenderPdev* next = Enable();
  ASSERT_NE(next, nullptr);
  ASSERT_TRUE(DrvResetPDEV(reinterpret_cast<DHPDEV>(old), reinterpret_cast<DHPDEV>(next)));
  EXPECT_EQ(next->pageCounter, 2u);
  EXPECT_EQ(next->jobId, spoolJob);
  EXPECT_EQ(next->flags, kPdevFlagContinuation | kPdevFlagDocument);
  EXPECT_NE(old->flags & kPdevFlagContinuation, 0u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(next->jobName), next->jobNameLength), "Ten chars!");
  EXPECT_NE(next->jobName, old->jobName);
  // The new stream is its own: empty, on its own inline chunk.
  EXPECT_EQ(next->stream.head, &next->stream.first);
  EXPECT_EQ(next->stream.bytesBuffered, 0u);
  EXPECT_NE(next->stream.outputModule, nullptr);
  EXPECT_EQ(old->stream.outputModule, nullptr);
  DrvDisablePDEV(reinterpret_cast<DHPDEV>(old));

  SURFOBJ surface = Surface(next);
  ASSERT_TRUE(DrvStartDoc(&surface, const_cast<LPWSTR>(u"Ten chars!"), spoolJob));
  ASSERT_TRUE(DrvStartPage(&surface));
  ASSERT_TRUE(DrvSendPage(&surface));
  ASSERT_TRUE(DrvEndDoc(&surface, 0));
  DrvDisablePDEV(reinterpret_cast<DHPDEV>(next));

  const jobdump::Job job = CloseSpoolJob(spoolJob);
  // The new PDEV's first page starts the job again, without JOBNAME.
  EXPECT_EQ(PacketSequence(job), "F3 F3 F4 F0 F5 F1 F4 F0 F5 F1 F3 F4 F0 F5 F1");
  EXPECT_EQ(job.packets[1].text, "@PJL SET JOBNAME = \"Ten chars!\"\r\n");
  EXPECT_EQ(job.packets[1].length, 33u);
  // The library was loaded and started once, and ended once by the new PDEV.
  const std::string log = OutputLog();
  EXPECT_EQ(log.find("StartDocEx"), log.rfind("StartDocEx"));
  EXPECT_NE(log.find("StartDocEx"), std::string::npos);
  EXPECT_EQ(log.substr(log.find("EndDoc")), "EndDoc 1\nClose 1\n");
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1 + 6 + 2) << log;
}

}  // namespace
}  // namespace velm::test
