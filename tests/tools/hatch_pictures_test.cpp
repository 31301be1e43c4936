// Hatched fills of every style, as blits and as filled paths, printed in vector mode and in
// raster mode and drawn from their jobs. In vector mode the driver sends a hatch as a 32 x 32
// one-bit tile of its 8 x 8 pattern with every bit 4 x 4 pixels; in raster mode the engine
// fills the bands with the 8 x 8 pattern itself. Each picture must hold its hatch whole, pixel
// for pixel, across tile and band edges; the two modes may differ only inside the hatches.
#include <gtest/gtest.h>

#include <string>

#include "page_compare.h"
#include "printer_fixture.h"

namespace velm::tools {
namespace {

const std::vector<ItemAssignment> kPage = {{"6", "0"}, {"47", "400"}, {"46", "300"}, {"246", "1"}};

// The 8 x 8 hatches, bit 7 the leftmost pixel.
constexpr uint8_t kHatches[6][8] = {
    {0x00, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00}, {0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08},
    {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01}, {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80},
    {0x08, 0x08, 0x08, 0x08, 0xFF, 0x08, 0x08, 0x08}, {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81},
};

// Each style as a blit in the top row and as a filled path in the second; 60 pixels wide,
// 70 high, so that every fill crosses tile edges (every 32 pixels) both ways.
struct HatchedArea {
  int style;
  int32_t left, top;
  bool path;
};
constexpr int32_t kSide = 60, kHeight = 70;

std::vector<HatchedArea> Areas() {
  std::vector<HatchedArea> areas;
  for (int style = 0; style < 6; ++style) {
    areas.push_back({style, 10 + 64 * style, 10, false});
    areas.push_back({style, 10 + 64 * style, 110, true});
  }
  return areas;
}

std::string HatchPage() {
  std::string page;
  for (const HatchedArea& a : Areas()) {
    const std::string box = std::to_string(a.left) + " " + std::to_string(a.top) + " " +
                            std::to_string(a.left + kSide) + " " + std::to_string(a.top + kHeight);
    page += a.path ? "rect " + box + " brush=black hatch=" + std::to_string(a.style) + "\n"
                   : "fill " + box + " black hatch=" + std::to_string(a.style) + "\n";
  }
  return page;
}

// The pixels of the areas that do not show the hatch at `scale` pixels a bit, from the page's
// origin; the edges of filled paths (sampled at pixel centres) are left out.
std::string Misdrawn(const jobrender::Canvas& page, int32_t scale) {
  std::string faults;
  for (const HatchedArea& a : Areas()) {
    const int32_t inset = a.path ? 2 : 0;
    uint32_t wrong = 0;
    for (int32_t y = a.top + inset; y < a.top + kHeight - inset; ++y) {
      for (int32_t x = a.left + inset; x < a.left + kSide - inset; ++x) {
        const bool line = (kHatches[a.style][(y / scale) % 8] >> (7 - (x / scale) % 8)) & 1;
        wrong += page.At(x, y) != (line ? 0x000000u : 0xFFFFFFu);
      }
    }
    if (wrong) {
      faults += "style " + std::to_string(a.style) + (a.path ? " path" : " blit") + ": " + std::to_string(wrong) +
                " pixels\n";
    }
  }
  return faults;
}

class HatchPicturesTest : public PrinterTest {};

TEST_F(HatchPicturesTest, EachModeDrawsEveryHatchWholeAtItsScale) {
  const struct {
    const char* rasterMode;
    int32_t scale;  // pixels a hatch bit
  } modes[] = {{"0", 4}, {"1", 1}};
  for (const auto& mode : modes) {
    std::vector<ItemAssignment> items = kPage;
    items.push_back({"vdmRasterMode", mode.rasterMode});
    PrintedPages printed;
    std::string error;
    ASSERT_TRUE(PrintAndDraw(printer_, HatchPage(), items, false, &printed, &error)) << error;
    EXPECT_TRUE(printed.rendering.problems.empty()) << printed.rendering.problems.front();
    ASSERT_EQ(printed.rendering.pages.size(), 1u);
    EXPECT_EQ(Misdrawn(printed.rendering.pages[0], mode.scale), "") << "raster mode " << mode.rasterMode;
  }
}

TEST_F(HatchPicturesTest, TheModesDifferOnlyInsideTheHatches) {
  const ModeComparison hatches = CompareModes(printer_, HatchPage(), kPage);
  ASSERT_TRUE(hatches.printed) << hatches.error;
  EXPECT_TRUE(hatches.problems.empty()) << hatches.problems.front();
  ASSERT_EQ(hatches.pages.size(), 1u);
  EXPECT_TRUE(hatches.Within({12u * kSide * kHeight, kHeight})) << hatches.Describe();
}

}  // namespace
}  // namespace velm::tools
