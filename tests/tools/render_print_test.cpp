// Jobs printed through the driver and drawn by the job renderer: a raster-mode page is the print
// host's own page raster pixel for pixel; the vector-and-raster comparison the drawing tests
// call; `velm render` on whole and damaged job files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "page_compare.h"
#include "printer_fixture.h"
#include "settings/context/cache.h"
#include "settings/context/process_state.h"
#include "spool/winspool.h"
#include "support/temp_root.h"
#include "ui/png_writer.h"

namespace velm::tools {
namespace {

// A small page (item 6 = 0: no public field marks it; items 47 and 46 its printable size).
const std::vector<ItemAssignment> kSmallPage = {{"6", "0"}, {"47", "160"}, {"46", "120"}};

constexpr char kDrawing[] =
    "fill 0 0 160 10 #204060\n"
    "fill 10 12 70 40 red hatch=2 bg=#FFFF80\n"
    "rect 80 12 150 40 pen=black brush=#40C040 width=3\n"
    "path brush=blue winding : M 20 50 L 60 110 L 100 50 L 20 90 L 100 90 Z\n"
    "line 110 50 150 110 140 50 pen=#A00000 width=5\n"
    "line 110 115 155 115 pen=black style=4,2\n"
    "text 4 118 \"Velm 1\" size=8 color=black\n"
    "image 120 60 152 92 16 16 bpp=8 fill=checker\n"
    "image 104 12 112 20 8 8 bpp=24\n";

class RenderPrintTest : public PrinterTest {
 protected:
  // Prints pages in vector and in raster mode and expects the pictures to agree: nothing
  // either rendering could not draw, the largest differing box at most 2 pixels on a side.
  void ExpectModesAgree(const std::string& pages, const std::vector<ItemAssignment>& items, const std::string& what) {
    const ModeComparison comparison = CompareModes(printer_, pages, items);
    ASSERT_TRUE(comparison.printed) << what << ": " << comparison.error;
    EXPECT_TRUE(comparison.problems.empty()) << what << ": " << comparison.problems.front();
    ASSERT_FALSE(comparison.pages.empty()) << what;
    EXPECT_TRUE(comparison.Within({600, 2})) << what << ": " << comparison.Describe();
  }

  // Prints in raster mode, keeping the host's rasters, and checks every pixel of every page:
  // `expected` turns the raster's colour into the colour the job carries.
  template <class Expected>
  void ExpectRasterPagesDrawn(const std::string& pages, std::vector<ItemAssignment> items, Expected expected) {
    items.push_back({"vdmRasterMode", "1"});
    PrintedPages printed;
    std::string error;
    ASSERT_TRUE(PrintAndDraw(printer_, pages, items, true, &printed, &error)) << error;
    EXPECT_TRUE(printed.rendering.problems.empty()) << printed.rendering.problems.front();
    ASSERT_EQ(printed.rendering.pages.size(), printed.result.rasters.size());
    ASSERT_FALSE(printed.result.rasters.empty());
    for (size_t i = 0; i < printed.result.rasters.size(); ++i) {
      const platform::PageRaster& raster = printed.result.rasters[i];
      const jobrender::Canvas& page = printed.rendering.pages[i];
      ASSERT_EQ(page.width, raster.width);
      ASSERT_EQ(page.height, raster.height);
      uint64_t differing = 0;
      for (LONG y = 0; y < raster.height; ++y) {
        for (LONG x = 0; x < raster.width; ++x) {
          if (page.At(x, y) != expected(raster.Rgb(x, y)) && ++differing <= 5) {
            ADD_FAILURE() << "page " << i + 1 << " (" << x << "," << y << "): drawn " << std::hex << page.At(x, y)
                          << ", raster " << raster.Rgb(x, y);
          }
        }
      }
      EXPECT_EQ(differing, 0u) << "page " << i + 1;
    }
  }

};

uint32_t Same(uint32_t rgb) { return rgb; }

// The driver's grey rows: (R * 306 + G * 601 + B * 117) >> 10.
uint32_t Grey(uint32_t rgb) {
  const uint32_t g = (((rgb >> 16) & 0xFF) * 306 + ((rgb >> 8) & 0xFF) * 601 + (rgb & 0xFF) * 117) >> 10;
  return g * 0x010101;
}

TEST_F(RenderPrintTest, ARasterModePageDrawsThePrintHostsPageRasterPixelForPixel) {
  std::vector<ItemAssignment> colour = kSmallPage;
  colour.push_back({"246", "1"});  // a colour machine: bands leave as 24-bit rows
  ExpectRasterPagesDrawn(std::string(kDrawing) + "page\nfill 5 5 20 20 green\n", colour, Same);
}

TEST_F(RenderPrintTest, AGreyRasterModePageDrawsThePageRasterInGrey) {
  ExpectRasterPagesDrawn(kDrawing, kSmallPage, Grey);
}

TEST_F(RenderPrintTest, TheBuiltInTestPageInRasterModeIsThePageRasterAtA4AndSixHundredDpi) {
  ExpectRasterPagesDrawn("", {{"246", "1"}}, Same);
}

TEST_F(RenderPrintTest, TheModeComparisonReportsPixelsAndTheLargestBoxThatDiffer) {
  // Both modes draw a blank page alike.
  ModeComparison same = CompareModes(printer_, "fill 0 0 1 1 white\n", kSmallPage);
  ASSERT_TRUE(same.printed) << same.error;
  ASSERT_EQ(same.pages.size(), 1u);
  EXPECT_TRUE(same.Within({0, 0})) << same.Describe();
  // BLACKNESS prints white in vector mode (the device ROP of mix 1), so each fill shows whole.
  const ModeComparison fill = CompareModes(
      printer_, "fill 10 20 40 30 black rop=0x0000\nfill 100 100 101 101 black rop=0x0000\n", kSmallPage);
  ASSERT_TRUE(fill.printed) << fill.error;
  ASSERT_EQ(fill.pages.size(), 1u);
  EXPECT_EQ(fill.pages[0].differing, 30u * 10 + 1);
  EXPECT_EQ(fill.pages[0].boxWidth, 30);
  EXPECT_EQ(fill.pages[0].boxHeight, 10);
  EXPECT_EQ(fill.pages[0].boxLeft, 10);
  EXPECT_EQ(fill.pages[0].boxTop, 20);
  EXPECT_FALSE(fill.Within({400, 20}));
  EXPECT_TRUE(fill.Within({301, 30}));
  EXPECT_EQ(fill.Describe(), "page 1: 301 pixels differ; largest box 30 x 10 at (10,20)\n");
}

// Text in both modes: resident text, a device face (mapped to the engine's font in raster mode,
// where the driver offers no device font), several sizes and an underline; then the same page
// with device fonts usable, where the engine's font is downloaded as glyph bitmaps. Sizes are
// multiples of 8 and black (the raster band of this page is one bit deep), where the device faces' design (an em of 1000, advance 750, ascent 875)
// lands on the engine font's whole pixels. Tolerance: the largest differing box may be 2
// pixels wide (a glyph edge at most 2 pixels off at 600 dpi, two columns of ink unmatched
// within the comparison's one-pixel neighbourhood); no count beyond what such edges make.
TEST_F(RenderPrintTest, TextPagesAgreeInVectorAndRasterMode) {
  constexpr char kText[] =
      "text 4 20 \"Velm 16\" size=16\n"
      "text 90 14 \"eight px\" size=8\n"
      "text 4 48 \"Dev 1\" size=16 device=1\n"
      "text 4 84 \"Big_24\" size=24 underline\n"
      "text 4 112 \"black 16\" size=16\n";
  for (const bool download : {false, true}) {
    std::vector<ItemAssignment> items = kSmallPage;
    if (download) items.insert(items.end(), {{"vdmDeviceFontOK", "1"}, {"vdmDeviceFontOK2", "1"}});
    ExpectModesAgree(kText, items, download ? "downloaded" : "resident");
  }
  if (const char* out = std::getenv("VELM_TEXT_PNG")) {
    PrintedPages printed;
    std::string error;
    ASSERT_TRUE(PrintAndDraw(printer_, kText, kSmallPage, false, &printed, &error)) << error;
    const std::vector<uint8_t> png = jobrender::PagePng(printed.rendering.pages.at(0), 600);
    FILE* f = std::fopen(out, "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(png.data(), 1, png.size(), f);
    std::fclose(f);
  }
}

// The text call's other forms in both modes, on a colour machine so that colours compare too:
// opaque coloured text, a strike-out beside an underline, a glyph-index string, the face "EUDC"
// (drawn as outlines when EUDC is on) and a vertical string; resident, downloaded, and with EUDC
// on. Tolerance as for the page above: glyph edges at most 2 pixels apart at 600 dpi.
TEST_F(RenderPrintTest, TextFormsAgreeInVectorAndRasterMode) {
  constexpr char kText[] =
      "text 4 20 \"Opaque\" size=16 color=red bg=#FFFF00\n"
      "text 4 48 \"Struck\" size=16 strikeout underline\n"
      "text 4 76 \"Index\" size=16 glyphindex color=blue\n"
      "text 4 104 \"Eudc\" size=16 face=EUDC\n"
      "text 130 12 \"VERT\" size=16 vertical\n";
  const std::vector<std::pair<const char*, std::vector<ItemAssignment>>> variants = {
      {"resident", {}},
      {"downloaded", {{"vdmDeviceFontOK", "1"}, {"vdmDeviceFontOK2", "1"}}},
      {"EUDC on", {{"361", "1"}}},
  };
  for (const auto& [what, extra] : variants) {
    std::vector<ItemAssignment> items = kSmallPage;
    items.push_back({"246", "1"});
    items.insert(items.end(), extra.begin(), extra.end());
    ExpectModesAgree(kText, items, what);
  }
}

// Turned and mirrored text in both modes: each quarter turn and a mirrored string, then turns of
// other angles, resident (one glyph record each, drawn turned; mirrored strings as outlines)
// and downloaded (turned bitmaps glyph by glyph; mirrored strings uncached). Tolerance as above:
// a turned glyph's pixels may land one pixel off on either side of its edges (the device turns
// the glyph about its cell's corner, the engine about its baseline origin, each rounding once).
TEST_F(RenderPrintTest, TurnedAndMirroredTextAgreesInVectorAndRasterMode) {
  constexpr char kText[] =
      "text 40 60 \"R0\" size=16\n"
      "text 40 150 \"R90\" size=16 rotate=90\n"
      "text 100 20 \"R180\" size=16 rotate=180\n"
      "text 110 40 \"R270\" size=16 rotate=270\n"
      "text 100 110 \"Mirror\" size=16 mirror\n"
      "page\n"
      "text 40 60 \"Thirty\" size=16 rotate=30\n"
      "text 150 150 \"R135\" size=16 rotate=135\n"
      "text 10 100 \"M300\" size=16 rotate=300 mirror\n"
      "text 150 60 \"M90\" size=16 rotate=90 mirror\n";
  for (const bool download : {false, true}) {
    std::vector<ItemAssignment> items = {{"6", "0"}, {"47", "160"}, {"46", "160"}};
    if (download) items.insert(items.end(), {{"vdmDeviceFontOK", "1"}, {"vdmDeviceFontOK2", "1"}});
    ExpectModesAgree(kText, items, download ? "downloaded" : "resident");
  }
}

TEST(PictureComparisonTest, OnePixelOfEdgeDisplacementIsAllowed) {
  const auto canvas = [](int32_t left) {
    jobrender::Canvas c{12, 6, 600, 600, std::vector<uint8_t>(12 * 6 * 3, 0xFF)};
    for (int32_t y = 1; y < 5; ++y) {
      for (int32_t x = left; x < left + 4; ++x) std::fill_n(c.rgb.begin() + (y * 12 + x) * 3, 3, 0);
    }
    return c;
  };
  EXPECT_EQ(ComparePictures(canvas(3), canvas(4)).differing, 0u);  // moved by one pixel
  const PictureDifference two = ComparePictures(canvas(3), canvas(5));
  // Moved by two: the outer columns have no match within one pixel, the inner ones none but at
  // the corners (where white lies diagonally near); two boxes of 2 x 4.
  EXPECT_EQ(two.differing, 12u);
  EXPECT_EQ(two.boxWidth, 2);
  EXPECT_EQ(two.boxHeight, 4);
  EXPECT_EQ(ComparePictures(canvas(3), jobrender::Canvas{11, 6, 600, 600, {}}).sameSize, false);
}

TEST_F(RenderPrintTest, VelmRenderWritesAPictureAndReportsADamagedJob) {
  const std::string velm = (test::BuildDir() / "bin" / "velm").string();
  const std::string log = (root_.path() / "out.txt").string();
  const std::string quiet = " > '" + log + "' 2>&1";
  PrintedPages printed;
  std::string error;
  std::vector<ItemAssignment> items = kSmallPage;
  items.push_back({"vdmRasterMode", "1"});
  ASSERT_TRUE(PrintAndDraw(printer_, kDrawing, items, false, &printed, &error)) << error;
  const std::string bytes = test::ReadHostFile(platform::SpoolJobFile(printed.result.spoolJob));
  const std::filesystem::path job = root_.path() / "job.bin";
  test::WriteHostFile(job, bytes);
  const std::string prefix = (root_.path() / "page").string();
  ASSERT_EQ(std::system(("'" + velm + "' render '" + job.string() + "' -o '" + prefix + "' --dpi 600" + quiet).c_str()), 0)
      << test::ReadHostFile(log);
  EXPECT_NE(test::ReadHostFile(log).find("page 1: 160 x 120 pixels at 600 dpi drawn in"), std::string::npos)
      << test::ReadHostFile(log);
  const std::string png = test::ReadHostFile(prefix + "-1.png");
  DWORD width = 0, height = 0;
  std::vector<BYTE> rgb;
  ASSERT_TRUE(ui::DecodePng(reinterpret_cast<const BYTE*>(png.data()), png.size(), &width, &height, &rgb));
  EXPECT_EQ(width, 160u);
  EXPECT_EQ(rgb, printed.rendering.pages[0].rgb);

  // At the default 150 dpi the picture is a quarter of the page's size each way.
  ASSERT_EQ(std::system(("'" + velm + "' render '" + job.string() + "' -o '" + prefix + "'" + quiet).c_str()), 0);
  const std::string small = test::ReadHostFile(prefix + "-1.png");
  ASSERT_TRUE(ui::DecodePng(reinterpret_cast<const BYTE*>(small.data()), small.size(), &width, &height, &rgb));
  EXPECT_EQ(width, 40u);
  EXPECT_EQ(height, 30u);

  // Cut short before its page-end packet: the page is drawn, the damage told, exit 1.
  jobdump::Job decoded;
  ASSERT_TRUE(jobdump::DecodeJob(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), {}, &decoded, &error));
  const jobdump::Packet& pageEnd = decoded.packets.back();
  ASSERT_EQ(pageEnd.type, 0xF1);
  test::WriteHostFile(job, bytes.substr(0, pageEnd.offset));
  std::filesystem::remove(prefix + "-1.png");
  EXPECT_NE(std::system(("'" + velm + "' render '" + job.string() + "' -o '" + prefix + "'" + quiet).c_str()), 0);
  std::string told = test::ReadHostFile(log);
  EXPECT_NE(told.find("damaged job: offset " + std::to_string(pageEnd.offset) + ": job ends inside a page"),
            std::string::npos) << told;
  EXPECT_TRUE(std::filesystem::exists(prefix + "-1.png"));
  // Cut in the middle of its records: nothing of the page can be drawn.
  test::WriteHostFile(job, bytes.substr(0, pageEnd.offset - 10));
  EXPECT_NE(std::system(("'" + velm + "' render '" + job.string() + "' -o '" + prefix + "'" + quiet).c_str()), 0);
  told = test::ReadHostFile(log);
  EXPECT_NE(told.find("runs past the end"), std::string::npos) << told;
  // Bytes that are no job at all.
  test::WriteHostFile(job, "not a job");
  EXPECT_NE(std::system(("'" + velm + "' render '" + job.string() + "' -o '" + prefix + "'" + quiet).c_str()), 0);
  EXPECT_NE(test::ReadHostFile(log).find("no page drawn"), std::string::npos);
}

}  // namespace
}  // namespace velm::tools
