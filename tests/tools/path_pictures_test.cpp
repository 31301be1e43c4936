// Paths printed through the driver in vector mode and in raster mode and drawn from their jobs:
// polygons under both fill rules, curves, wide lines with their joins and ends, styled lines,
// hatched fills, strokes with fills and clips by rectangles and regions agree within one pixel
// of edge displacement; whole pages of text, images, brushes and paths together agree within
// the tolerances of text.
#include <gtest/gtest.h>

#include <string>

#include "page_compare.h"
#include "printer_fixture.h"

namespace velm::tools {
namespace {

// A colour machine (24-bit bands) with a small printable page.
const std::vector<ItemAssignment> kPage = {{"6", "0"}, {"47", "400"}, {"46", "300"}, {"246", "1"}};

constexpr char kPaths[] =
    "path brush=#4060C0 : M 20 20 L 120 20 L 70 100 Z\n"
    "path brush=#C06040 : M 140 20 L 180 110 L 220 20 L 130 75 L 230 75 Z\n"
    "path brush=#C06040 winding : M 250 20 L 290 110 L 330 20 L 240 75 L 340 75 Z\n"
    "path pen=black : M 20 140 C 60 100 100 180 140 140\n"
    "path brush=#60C060 : M 350 20 C 400 20 400 100 350 100 C 380 80 380 40 350 20\n"
    "path pen=#A00000 width=6 join=miter cap=butt : M 160 130 L 200 170 L 240 130\n"
    "path pen=#0000A0 width=6 join=bevel cap=square : M 260 130 L 300 170 L 340 130\n"
    "path pen=#008080 width=7 : M 20 180 L 60 150 L 100 180\n"
    "line 20 200 380 200 pen=black width=5 style=12,6\n"
    "line 20 212 380 212 pen=#800080 geometric style=12,4\n"
    "line 20 222 380 222 pen=black geometric style=6,2,4,4\n"
    "path pen=green brush=#FFFF80 : M 300 230 L 380 230 L 380 290 L 300 290 Z M 310 240 L 370 240 L 340 280 Z\n"
    "path brush=red bg=white mix=7 : M 220 230 L 290 230 L 255 290 Z\n"
    "clip 20 235 100 285 120 245 200 290\n"
    "path brush=#808000 pen=black width=3 : M 10 230 L 210 230 L 210 295 L 10 295 Z\n"
    "clip 30 150 130 190\n"
    "path pen=#404040 width=4 : M 10 185 L 140 150\n"
    "clip none\n";

class PathPicturesTest : public PrinterTest {};

TEST_F(PathPicturesTest, APageOfPathsAgreesInVectorAndRasterMode) {
  const ModeComparison paths = CompareModes(printer_, kPaths, kPage);
  ASSERT_TRUE(paths.printed) << paths.error;
  EXPECT_TRUE(paths.problems.empty()) << paths.problems.front();
  ASSERT_EQ(paths.pages.size(), 1u);
  EXPECT_TRUE(paths.Within({0, 0})) << paths.Describe();
}

// Three pages of every kind of drawing; the vector job decodes without an error (CompareModes
// decodes both) and each page agrees within the tolerance of text.
TEST_F(PathPicturesTest, WholePagesOfTextImagesBrushesAndPathsAgree) {
  const std::string pages = std::string("text 20 30 \"Paths and text 16\" size=16 color=black\n") + kPaths +
                            "page\n"
                            "fill 10 10 200 60 red pattern=AA55AA55AA55AA55 bg=#FFFFC0\n"
                            "image 220 10 300 70 40 30 bpp=24\n"
                            "rect 20 80 180 160 pen=blue brush=#C0C0FF width=3\n"
                            "path pen=black width=2 : M 200 90 C 260 40 320 200 380 100\n"
                            "text 20 200 \"Page two\" size=24 color=black\n"
                            "page\n"
                            "image 10 10 110 110 16 16 bpp=8 fill=checker\n"
                            "line 120 20 380 120 pen=red width=9 style=20,10\n"
                            "path brush=green winding : M 150 150 L 250 290 L 350 150 L 130 240 L 370 240 Z\n"
                            "text 20 280 \"Page three\" size=16 color=black\n";
  const ModeComparison whole = CompareModes(printer_, pages, kPage);
  ASSERT_TRUE(whole.printed) << whole.error;
  EXPECT_TRUE(whole.problems.empty()) << whole.problems.front();
  ASSERT_EQ(whole.pages.size(), 3u);
  EXPECT_TRUE(whole.Within({600, 2})) << whole.Describe();
}

}  // namespace
}  // namespace velm::tools
