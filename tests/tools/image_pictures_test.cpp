// Picture checks of images, brushes and raster operations: each page is printed in vector mode
// (the driver's records) and in raster mode (the engine's bands), both drawn by the job renderer,
// and compared pixel for pixel. Where the driver's own rules print something other than what the
// engine draws, the raster page is given that other thing instead, and each such substitution
// is named where it is made:
//   - an 8 x 8 1-bit pattern is printed with every pixel doubled (a 16 x 16 pattern);
//   - a hatch is printed with every pixel as 4 x 4 (a 32 x 32 pattern);
//   - 8- and 24-bit patterns of other sizes are stretched to an edge of 4, 8, 16 or 32 pixels;
//   - 16-bit pattern components are printed as c * 255 >> 5;
//   - BLACKNESS and WHITENESS print each other's colour (the device ROPs of mixes 1 and 16).
// Set VELM_PICTURES to a folder to keep both pictures of every page as PNG files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "page_compare.h"
#include "printer_fixture.h"

namespace velm::tools {
namespace {

// A 400 x 300 page of a colour machine: 24-bit images keep their colours.
const std::vector<ItemAssignment> kColourPage = {{"6", "0"}, {"47", "400"}, {"46", "300"}, {"246", "1"}};

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string text;
  char two[3];
  for (uint8_t byte : bytes) {
    std::snprintf(two, sizeof two, "%02X", byte);
    text += two;
  }
  return text;
}

// A 1-bit pattern of `side` rows of 4 bytes (side 16 or 32) whose pixel (x, y) is bit
// (x / scale, y / scale) of the 8 x 8 `rows`.
std::string Enlarged1Bit(const uint8_t rows[8], int scale) {
  const int side = 8 * scale;
  std::vector<uint8_t> bytes(static_cast<size_t>(side) * 4, 0);
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x)
      if ((rows[y / scale] >> (7 - x / scale)) & 1) bytes[y * 4 + x / 8] |= 0x80 >> (x % 8);
  return "pattern=" + Hex(bytes) + " patternbits=1 patternsize=" + std::to_string(side) + "," + std::to_string(side);
}

constexpr uint8_t kHatches[6][8] = {
    {0x00, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00}, {0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08},
    {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01}, {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80},
    {0x08, 0x08, 0x08, 0x08, 0xFF, 0x08, 0x08, 0x08}, {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81}};

// 24-bit pixels (blue, green, red) of a w x h pattern, rows padded to 4 bytes.
std::string Rgb24(int w, int h, uint32_t (*colour)(int x, int y)) {
  const int rowBytes = (w * 3 + 3) / 4 * 4;
  std::vector<uint8_t> bytes(static_cast<size_t>(rowBytes) * h, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t rgb = colour(x, y);
      bytes[y * rowBytes + 3 * x] = static_cast<uint8_t>(rgb);
      bytes[y * rowBytes + 3 * x + 1] = static_cast<uint8_t>(rgb >> 8);
      bytes[y * rowBytes + 3 * x + 2] = static_cast<uint8_t>(rgb >> 16);
    }
  return "pattern=" + Hex(bytes) + " patternbits=24 patternsize=" + std::to_string(w) + "," + std::to_string(h);
}

uint32_t Tricolour(int x, int y) {
  const uint32_t colours[3] = {0xD02020, 0x20A040, 0x3040E0};
  return colours[(x + 2 * y) % 3];
}

// The 4 x 4 tricolour pattern stretched to 8 x 8 by nearest pixels: what the driver prints.
uint32_t TricolourDoubled(int x, int y) { return Tricolour(x / 2, y / 2); }

// A 16-bit 5-5-5 pattern of three colours, and its colours as the driver prints them.
constexpr uint16_t k555[3] = {(31 << 10) | (4 << 5) | 2, (3 << 10) | (25 << 5) | 9, (12 << 10) | (6 << 5) | 30};
std::string Rgb555() {
  std::vector<uint8_t> bytes;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const uint16_t value = k555[(x + y) % 3];
      bytes.push_back(static_cast<uint8_t>(value));
      bytes.push_back(static_cast<uint8_t>(value >> 8));
    }
  return "pattern=" + Hex(bytes) + " patternbits=16";
}
uint32_t Rgb555AsPrinted(int x, int y) {
  const uint16_t v = k555[(x + y) % 3];
  const uint32_t r = ((v >> 10) & 31) * 255 >> 5, g = ((v >> 5) & 31) * 255 >> 5, b = (v & 31) * 255 >> 5;
  return (r << 16) | (g << 8) | b;
}

// 8 x 8 patterns of 4, 8 and 32 bits, printed as the engine draws them.
std::string Indexed(int bits) {
  std::vector<uint8_t> bytes;
  for (int y = 0; y < 8; ++y) {
    if (bits == 4) {
      for (int x = 0; x < 8; x += 2) bytes.push_back(static_cast<uint8_t>(((x + y) % 16) << 4 | ((x + y + 5) % 16)));
    } else if (bits == 8) {
      for (int x = 0; x < 8; ++x) bytes.push_back(static_cast<uint8_t>(x * 32 + y * 4));
    } else {
      for (int x = 0; x < 8; ++x) {
        const uint32_t rgb = Tricolour(x, y);
        bytes.insert(bytes.end(), {static_cast<uint8_t>(rgb), static_cast<uint8_t>(rgb >> 8),
                                   static_cast<uint8_t>(rgb >> 16), 0xFF});
      }
    }
  }
  return "pattern=" + Hex(bytes) + " patternbits=" + std::to_string(bits);
}

class ImagePicturesTest : public PrinterTest {
 protected:

  // Prints `vector` in vector mode and `raster` in raster mode and counts the pixels whose
  // colours differ, page by page; keeps the pictures when VELM_PICTURES names a folder.
  std::vector<uint64_t> Differing(const std::string& name, const std::string& vector, const std::string& raster) {
    PrintedPages printed[2];
    const std::string pages[2] = {vector, raster};
    for (int mode = 0; mode < 2; ++mode) {
      std::vector<ItemAssignment> items = kColourPage;
      items.push_back({"vdmRasterMode", mode ? "1" : "0"});
      std::string error;
      EXPECT_TRUE(PrintAndDraw(printer_, pages[mode], items, false, &printed[mode], &error)) << error;
      for (const std::string& problem : printed[mode].rendering.problems) ADD_FAILURE() << problem;
    }
    std::vector<uint64_t> counts;
    const auto& a = printed[0].rendering.pages;
    const auto& b = printed[1].rendering.pages;
    EXPECT_EQ(a.size(), b.size());
    for (size_t p = 0; p < std::min(a.size(), b.size()); ++p) {
      uint64_t differing = 0;
      for (int32_t y = 0; y < a[p].height; ++y)
        for (int32_t x = 0; x < a[p].width; ++x) differing += a[p].At(x, y) != b[p].At(x, y);
      counts.push_back(differing);
      if (const char* folder = std::getenv("VELM_PICTURES")) {
        for (int mode = 0; mode < 2; ++mode) {
          const std::vector<uint8_t> png = jobrender::PagePng(mode ? b[p] : a[p], 600);
          std::ofstream(std::string(folder) + "/" + name + "-" + std::to_string(p + 1) + (mode ? "-raster" : "-vector") +
                            ".png",
                        std::ios::binary)
              .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
        }
      }
    }
    return counts;
  }
};

TEST_F(ImagePicturesTest, ImagesOfEveryFormatCopiedStretchedAndMirroredPrintAsTheEngineDrawsThem) {
  const std::string page =
      // Copied (DrvCopyBits): every format, a bottom-up one, 32 bits opaque and half transparent.
      "image 10 10 42 42 32 32 bpp=1 fill=checker\n"
      "image 50 10 82 42 32 32 bpp=4\n"
      "image 90 10 122 42 32 32 bpp=8\n"
      "image 130 10 162 42 32 32 bpp=16\n"
      "image 170 10 202 42 32 32 bpp=24\n"
      "image 210 10 242 42 32 32 bpp=32 alpha=255\n"
      "image 250 10 282 42 32 32 bpp=24 bottomup\n"
      "image 290 10 322 42 32 32 bpp=32 alpha=128\n"  // on white: AND with the page is a copy
      // Stretched (DrvStretchBlt) up and down.
      "image 10 60 74 108 32 24 bpp=24\n"
      "image 90 60 106 72 32 24 bpp=8\n"
      "image 120 60 184 108 16 12 bpp=4\n"
      "image 200 60 264 108 16 12 bpp=1 fill=checker\n"
      "image 280 60 296 76 32 32 bpp=32 alpha=255\n"
      "image 300 60 390 100 30 20 bpp=16\n"
      // Mirrored.
      "image 74 120 10 168 32 24 bpp=24\n"
      "image 90 168 154 120 32 24 bpp=8\n"
      "image 234 168 170 120 32 24 bpp=16\n"
      "image 300 168 250 120 10 10 bpp=4\n"
      // Blits with ROPs over a coloured ground (DrvBitBlt): source AND page, a brush mixed in,
      // a masked blit, and a stretch with a ROP and brush (DrvStretchBltROP).
      "fill 0 180 400 300 #C0E0A0\n"
      "image 10 190 42 222 32 32 bpp=24 rop=0x8888\n"
      "image 50 190 82 222 32 32 bpp=8 rop=0xB8B8 brush=#FF4000\n"
      "image 90 190 122 222 32 32 bpp=24 rop=0xAACC mask\n"
      "image 130 190 162 222 32 32 bpp=16 rop=0x6666\n"
      "image 170 190 234 254 32 32 bpp=24 rop=0x8888 brush=#80C0FF\n"
      "image 250 190 282 222 32 32 bpp=1 fill=checker rop=0xE2E2 brush=blue\n";
  const std::vector<uint64_t> differing = Differing("images", page, page);
  ASSERT_EQ(differing.size(), 1u);
  EXPECT_EQ(differing[0], 0u);
}

TEST_F(ImagePicturesTest, FillsWithSolidHatchedAndPatternBrushesPrintAsTheEngineDrawsThem) {
  std::string vector = "fill 0 0 400 300 white\n", raster = vector;
  const auto both = [&](const std::string& line) {
    vector += line + "\n";
    raster += line + "\n";
  };
  both("fill 10 10 60 50 red");
  both("fill 70 10 120 50 " "#204080" " rop=0x5A5A");
  for (int hatch = 0; hatch < 6; ++hatch) {
    const std::string at = "fill " + std::to_string(10 + 60 * hatch) + " 60 " + std::to_string(60 + 60 * hatch) + " 100 ";
    // A hatch prints every pixel as 4 x 4.
    vector += at + "blue hatch=" + std::to_string(hatch) + " bg=#FFFFA0\n";
    raster += at + "blue " + Enlarged1Bit(kHatches[hatch], 4) + " bg=#FFFFA0\n";
  }
  // An 8 x 8 1-bit pattern prints doubled.
  const uint8_t bricks[8] = {0xFF, 0x80, 0x80, 0x80, 0xFF, 0x08, 0x08, 0x08};
  vector += "fill 10 110 60 150 #A02020 pattern=FF808080FF080808 bg=#F0E0D0\n";
  raster += "fill 10 110 60 150 #A02020 " + Enlarged1Bit(bricks, 2) + " bg=#F0E0D0\n";
  // Patterns of 4, 8 and 32 bits and 24-bit ones of three colours print as they are.
  both("fill 70 110 120 150 black " + Indexed(4));
  both("fill 130 110 180 150 black " + Indexed(8));
  both("fill 190 110 240 150 black " + Indexed(32));
  both("fill 250 110 300 150 black " + Rgb24(8, 8, Tricolour));
  both("fill 310 110 360 150 black " + Rgb24(8, 8, Tricolour) + " patternbottomup");
  // 16-bit components print as c * 255 >> 5; a 4 x 4 24-bit pattern prints stretched to 8 x 8.
  vector += "fill 10 160 60 200 black " + Rgb555() + "\n";
  raster += "fill 10 160 60 200 black " + Rgb24(8, 8, Rgb555AsPrinted) + "\n";
  vector += "fill 70 160 120 200 black " + Rgb24(4, 4, Tricolour) + "\n";
  raster += "fill 70 160 120 200 black " + Rgb24(8, 8, TricolourDoubled) + "\n";
  // A 16 x 16 1-bit pattern prints at its own size.
  both("fill 130 160 180 200 #008000 " + Enlarged1Bit(bricks, 2) + " bg=white");
  const std::vector<uint64_t> differing = Differing("fills", vector, raster);
  ASSERT_EQ(differing.size(), 1u);
  EXPECT_EQ(differing[0], 0u);
}

TEST_F(ImagePicturesTest, EverySourcelessRopOfTheMixTablePrintsAsTheEngineCombinesIt) {
  // Each of the sixteen ROP3s without a source, with a hatch-like brush over a two-colour ground.
  const int rops[16] = {0x00, 0x05, 0x0A, 0x0F, 0x50, 0x55, 0x5A, 0x5F, 0xA0, 0xA5, 0xAA, 0xAF, 0xF0, 0xF5, 0xFA, 0xFF};
  std::string vector = "fill 0 0 400 300 #3080C0\nfill 0 0 400 150 #E0C040\n", raster = vector;
  for (int i = 0; i < 16; ++i) {
    const int x = 10 + 48 * (i % 8), y = 100 + 100 * (i / 8);
    const std::string rect =
        "fill " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(x + 40) + " " + std::to_string(y + 90);
    char rop[16];
    // BLACKNESS and WHITENESS print each other's colour.
    const int printed = rops[i] == 0x00 ? 0xFF : rops[i] == 0xFF ? 0x00 : rops[i];
    std::snprintf(rop, sizeof rop, " rop=0x%02X%02X", rops[i], rops[i]);
    vector += rect + " #C02060 " + Rgb24(8, 8, Tricolour) + rop + "\n";
    std::snprintf(rop, sizeof rop, " rop=0x%02X%02X", printed, printed);
    raster += rect + " #C02060 " + Rgb24(8, 8, Tricolour) + rop + "\n";
  }
  const std::vector<uint64_t> differing = Differing("rops", vector, raster);
  ASSERT_EQ(differing.size(), 1u);
  EXPECT_EQ(differing[0], 0u);
}

}  // namespace
}  // namespace velm::tools
