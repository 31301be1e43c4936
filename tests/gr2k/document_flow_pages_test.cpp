// Pages and bands driven hook by hook in this process: the band walk for page heights around
// multiples of the band height, spooled pages that reach the band walk without a page start,
// pass-through's first page, and the document hooks' own edge cases.
#include <gtest/gtest.h>

#include <string>

#include "driver_fixture.h"

namespace velm::test {
namespace {

class DocumentFlowPagesTest : public DriverTest {
 protected:
  RenderPdev* Start(const std::vector<std::pair<WORD, DWORD>>& items, const char16_t* name = u"Report") {
    g_testItems = SmallPage();
    g_testItems.insert(g_testItems.end(), items.begin(), items.end());
    spoolJob_ = OpenSpoolJob();
    RenderPdev* pdev = Enable();
    if (!pdev || !DrvEnableSurface(reinterpret_cast<DHPDEV>(pdev))) return nullptr;
    surface_ = Surface(pdev);
    if (!DrvStartDoc(&surface_, const_cast<LPWSTR>(name), spoolJob_)) return nullptr;
    return pdev;
  }
  jobdump::Job Finish(RenderPdev* pdev) {
    EXPECT_TRUE(DrvEndDoc(&surface_, 0));
    DrvDisableSurface(reinterpret_cast<DHPDEV>(pdev));
    DrvDisablePDEV(reinterpret_cast<DHPDEV>(pdev));
    return CloseSpoolJob(spoolJob_);
  }
  // Walks one page in bands as the engine does; `mark` draws a black line across the page at
  // that page line (when it lies in the band). The band origins in order.
  std::vector<POINTL> WalkBands(RenderPdev* pdev, LONG mark) {
    std::vector<POINTL> origins;
    POINTL origin{};
    EXPECT_TRUE(DrvStartBanding(&surface_, &origin));
    for (int guard = 0; guard < 100 && !(origin.x == -1 && origin.y == -1); ++guard) {
      origins.push_back(origin);
      SURFOBJ* band = EngLockSurface(pdev->surface);
      band->dhpdev = reinterpret_cast<DHPDEV>(pdev);
      RECTL line{0, mark - origin.y, band->sizlBitmap.cx, mark - origin.y + 1};
      if (line.top >= 0 && line.top < band->sizlBitmap.cy) {
        BRUSHOBJ* black = platform::CreateSolidBrushObj(0);
        EXPECT_TRUE(DrvBitBlt(band, nullptr, nullptr, nullptr, nullptr, &line, nullptr, nullptr, black, nullptr,
                              0xF0F0));
        platform::DeleteBrushObj(black);
      }
      EngUnlockSurface(band);
      EXPECT_TRUE(DrvNextBand(&surface_, &origin));
    }
    return origins;
  }

  DWORD spoolJob_ = 0;
  SURFOBJ surface_{};
};

TEST_F(DocumentFlowPagesTest, BandsCoverThePageAndNeverStartBelowIt) {
  // 4960 pixels across, one bit: 512-line bands.
  const DWORD heights[] = {300, 511, 512, 513, 1023, 1024, 1025};
  const size_t bands[] = {1, 1, 1, 2, 2, 2, 3};
  for (size_t i = 0; i < std::size(heights); ++i) {
    const DWORD height = heights[i];
    RenderPdev* pdev = Start({{47, 4960}, {46, height}, {183, 1}, {184, 1}, {15, 1}});
    ASSERT_NE(pdev, nullptr) << height;
    const DWORD bandHeight = std::min<DWORD>(512, height);
    ASSERT_EQ(pdev->bandHeight, bandHeight);
    ASSERT_TRUE(DrvStartPage(&surface_));
    const LONG mark = static_cast<LONG>(height) - 1;  // the page's last line
    const std::vector<POINTL> origins = WalkBands(pdev, mark);
    ASSERT_EQ(origins.size(), bands[i]) << height;
    const jobdump::Job job = Finish(pdev);
    const auto images = RecordsOf(job, 0x20);
    ASSERT_EQ(images.size(), bands[i]) << height;
    for (size_t b = 0; b < images.size(); ++b) {
      const jobdump::Record& image = *images[b];
      EXPECT_EQ(origins[b].y, static_cast<LONG>(b * bandHeight));
      EXPECT_EQ(image.Get("top"), static_cast<int64_t>(b * bandHeight)) << height;
      EXPECT_EQ(image.Get("bottom"), static_cast<int64_t>((b + 1) * bandHeight)) << height;
      EXPECT_EQ(image.Get("rows"), bandHeight);
      EXPECT_EQ(image.Get("bits"), 1);
      EXPECT_EQ(image.Get("nopalette"), 1);
      EXPECT_EQ(image.Get("raster"), 1);
    }
    // The last line of the page is black in the last band, at its own place.
    const jobdump::Record& last = *images.back();
    const size_t stride = (4960 + 31) / 32 * 4;
    const size_t row = static_cast<size_t>(mark) - (images.size() - 1) * bandHeight;
    EXPECT_EQ(last.data[row * stride], 0x00) << height;
    if (row > 0) {
      EXPECT_EQ(last.data[(row - 1) * stride], 0xFF) << height;
    }
    // Page start, the band ROP, the bands, page end.
    EXPECT_EQ(job.records.front().opcode, 0x60);
    EXPECT_EQ(job.records[1].opcode, 0x31);
    EXPECT_EQ(job.records[1].Get("rop"), 0xCC);
    EXPECT_EQ(job.records.back().opcode, 0x61);
  }
}

TEST_F(DocumentFlowPagesTest, SpooledPagesThatComeStraightToTheBandsStillStart) {
  RenderPdev* pdev = Start({{47, 64}, {46, 40}, {183, 1}, {181, 1}});
  ASSERT_NE(pdev, nullptr);
  for (int page = 0; page < 2; ++page) EXPECT_EQ(WalkBands(pdev, 0).size(), 1u);
  EXPECT_EQ(pdev->pageCounter, 2u);
  const jobdump::Job job = Finish(pdev);
  EXPECT_EQ(PacketSequence(job), "F3 F3 F4 F0 F5 F1 F4 F0 F5 F1");
  EXPECT_EQ(RecordsOf(job, 0x60).size(), 2u);
}

TEST_F(DocumentFlowPagesTest, PassThroughLeavesTheFirstPageToTheApplication) {
  RenderPdev* pdev = Start({{714, 1}});
  ASSERT_NE(pdev, nullptr);
  for (int page = 0; page < 2; ++page) {
    ASSERT_TRUE(DrvStartPage(&surface_));
    ASSERT_NE(StrmEmitRect(&pdev->stream, kRectFill, {1, 1, 2, 2}), nullptr);
    ASSERT_TRUE(DrvSendPage(&surface_));
  }
  const jobdump::Job job = Finish(pdev);
  EXPECT_EQ(PacketSequence(job), "F3 F3 F4 F0 F5 F1");
  EXPECT_EQ(RecordsOf(job, 0x10).size(), 1u);
}

TEST_F(DocumentFlowPagesTest, APageSentWithoutAStartStillCounts) {
  RenderPdev* pdev = Start({});
  ASSERT_NE(pdev, nullptr);
  ASSERT_TRUE(DrvStartPage(&surface_));
  ASSERT_TRUE(DrvStartPage(&surface_));  // already open: nothing more
  ASSERT_TRUE(DrvSendPage(&surface_));
  EXPECT_EQ(pdev->pageCounter, 1u);
  EXPECT_TRUE(DrvSendPage(&surface_));
  EXPECT_EQ(pdev->pageCounter, 2u);
  EXPECT_EQ(pdev->flags & kPdevFlagPageOpen, 0u);
  DrvEndDoc(&surface_, 0);
  DrvDisableSurface(reinterpret_cast<DHPDEV>(pdev));
  DrvDisablePDEV(reinterpret_cast<DHPDEV>(pdev));
  EndDocPrinter(printer_);
}

TEST_F(DocumentFlowPagesTest, ASecondDocumentStartEndsTheFirstBinding) {
  RenderPdev* pdev = Start({});
  ASSERT_NE(pdev, nullptr);
  ASSERT_TRUE(DrvStartDoc(&surface_, const_cast<LPWSTR>(u"Again"), spoolJob_));
  ASSERT_TRUE(DrvStartPage(&surface_));
  ASSERT_TRUE(DrvSendPage(&surface_));
  const jobdump::Job job = Finish(pdev);
  EXPECT_EQ(job.packets[1].text, "@PJL SET JOBNAME = \"Again\"\r\n");
  const std::string log = OutputLog();
  // The library was ended and unloaded before it was loaded and started again.
  EXPECT_TRUE(log.find("EndDoc 1\nClose 1\nStartDocEx") != std::string::npos) << log;
  EXPECT_TRUE(log.ends_with("EndDoc 1\nClose 1\n")) << log;
  EXPECT_EQ(GetModuleHandleW(u"qnoutlib.dll"), nullptr);
}

TEST_F(DocumentFlowPagesTest, ALongNameIsCutToItsLimit) {
  const std::u16string name(300, u'n');
  RenderPdev* pdev = Start({}, name.c_str());
  ASSERT_NE(pdev, nullptr);
  EXPECT_EQ(pdev->jobNameLength, kJobNameBytes);
  ASSERT_TRUE(DrvStartPage(&surface_));
  ASSERT_TRUE(DrvSendPage(&surface_));
  const jobdump::Job job = Finish(pdev);
  EXPECT_EQ(job.packets[1].length, kJobNameBytes + 23);
}

}  // namespace
}  // namespace velm::test
