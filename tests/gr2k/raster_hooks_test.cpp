// The raster hooks in vector mode, hook by hook in this process: the records of fills and blits
// for the ROP edge cases, palettes and grey ramps, images sent from their own memory or through a
// copy, alpha in 32-bit copies, cut-out 24-bit parts, stretched, mirrored, reduced and strip-sent
// images, and the colour-management handles.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "driver_fixture.h"
#include "gr2k/brushes.h"
#include "gr2k/image_senders.h"

namespace velm::test {
namespace {

// A bitmap the test fills, freed with it.
class Bitmap {
 public:
  Bitmap(LONG w, LONG h, ULONG format, FLONG flags = BMF_TOPDOWN) {
    handle_ = reinterpret_cast<HSURF>(EngCreateBitmap(SIZEL{w, h}, 0, format, flags, nullptr));
    so_ = handle_ ? EngLockSurface(handle_) : nullptr;
  }
  ~Bitmap() {
    if (so_) EngUnlockSurface(so_);
    if (handle_) EngDeleteSurface(handle_);
  }
  SURFOBJ* so() const { return so_; }
  // Row y counted from the top.
  BYTE* Row(LONG y) const { return static_cast<BYTE*>(so_->pvScan0) + static_cast<ptrdiff_t>(y) * so_->lDelta; }

 private:
  HSURF handle_ = nullptr;
  SURFOBJ* so_ = nullptr;
};

const jobdump::Record* Last(const jobdump::Job& job, uint8_t opcode) {
  const auto found = RecordsOf(job, opcode);
  return found.empty() ? nullptr : found.back();
}

class RasterHooksTest : public VectorPageTest {
 protected:
  // A page of one stretch of `source`, the copy's memory short (its first allocation fails) when
  // asked; the page's job.
  jobdump::Job StretchPage(RenderPdev* pdev, SURFOBJ* source, XLATEOBJ* xlate, RECTL target, RECTL from,
                           bool shortOfMemory) {
    platform::SetAllocationFault(shortOfMemory ? 1 : 0);
    EXPECT_TRUE(DrvStretchBlt(device_, source, nullptr, nullptr, xlate, nullptr, nullptr, &target, &from, nullptr,
                              COLORONCOLOR));
    platform::SetAllocationFault(0);
    return Finish(pdev);
  }
};

TEST_F(RasterHooksTest, FillsGiveTheirRecordsColoursAndDeviceRops) {
  struct Case {
    ROP4 rop4;
    bool brush;  // a solid red brush
    const char* opcodes;
    int64_t rgb1;
    int64_t rop;
    int64_t twoColours;  // colour flag 0x08
  };
  const Case cases[] = {
      {0xAAAA, true, "", 0, 0, 0},                         // the destination stays: nothing written
      {0x0000, false, "40 30 32 31 10", 0x000000, 0xFF, 1},  // BLACKNESS: mix 1, the table's end
      {0xFFFF, false, "40 30 32 31 10", 0xFFFFFF, 0x00, 1},  // WHITENESS
      {0xF0F0, true, "40 30 32 31 10", 0xFF0000, 0xCC, 1},   // PATCOPY with a solid brush
      {0x5555, false, "40 30 32 31 10", 0xFFFFFF, 0x55, 1},  // DSTINVERT without a brush: white
      {0x5A5A, true, "40 30 32 31 10", 0xFF0000, 0x66, 1},   // PATINVERT
      {0xAAF0, true, "40 30 32 31 10", 0xFF0000, 0xCC, 0},   // background kept: colour kind 1
  };
  for (const Case& c : cases) {
    RenderPdev* pdev = Start();
    ASSERT_NE(pdev, nullptr);
    BRUSHOBJ* red = c.brush ? platform::CreateSolidBrushObj(0xFF0000) : nullptr;
    RECTL rect{10, 20, 60, 40};
    EXPECT_TRUE(DrvBitBlt(device_, nullptr, nullptr, nullptr, nullptr, &rect, nullptr, nullptr, red, nullptr, c.rop4));
    platform::DeleteBrushObj(red);
    const jobdump::Job job = Finish(pdev);
    EXPECT_EQ(Opcodes(job), c.opcodes) << std::hex << c.rop4;
    if (!*c.opcodes) continue;
    EXPECT_EQ(Last(job, 0x30)->Get("rgb1"), c.rgb1) << std::hex << c.rop4;
    EXPECT_EQ((Last(job, 0x30)->Get("flags") >> 3) & 1, c.twoColours) << std::hex << c.rop4;
    EXPECT_EQ(Last(job, 0x32)->Get("value"), c.twoColours ? 2 : 1) << std::hex << c.rop4;
    EXPECT_EQ(Last(job, 0x31)->Get("rop"), c.rop) << std::hex << c.rop4;
    const jobdump::Record* fill = Last(job, 0x10);
    EXPECT_EQ(fill->Get("kind"), 1);
    EXPECT_EQ(fill->Get("left"), 10);
    EXPECT_EQ(fill->Get("bottom"), 40);
  }
}

TEST_F(RasterHooksTest, ASourceBlitSendsItsStateThenTheImageWithAPaletteUnlessGrey) {
  struct Case {
    ULONG entries[2];
    int64_t noPalette;
    std::vector<uint8_t> palette;
  };
  const Case cases[] = {
      {{0x000000, 0xFFFFFF}, 1, {}},                                   // the grey ramp: no palette
      {{0xFF0000, 0x0000FF}, 0, {0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF}},  // red, then blue, red first
  };
  for (const Case& c : cases) {
    RenderPdev* pdev = Start();
    ASSERT_NE(pdev, nullptr);
    Bitmap source(8, 2, BMF_1BPP);
    source.Row(0)[0] = 0xF0;
    source.Row(1)[0] = 0x0F;
    XLATEOBJ* xlate = platform::CreateTableXlate(c.entries, 2);
    RECTL rect{100, 50, 108, 52};
    POINTL zero{0, 0};
    EXPECT_TRUE(DrvBitBlt(device_, source.so(), nullptr, nullptr, xlate, &rect, &zero, nullptr, nullptr, nullptr, 0xCCCC));
    platform::DeleteXlate(xlate);
    const jobdump::Job job = Finish(pdev);
    EXPECT_EQ(Opcodes(job), "32 31 30 20");
    const jobdump::Record* image = Last(job, 0x20);
    EXPECT_EQ(image->Get("blit"), 1);
    EXPECT_EQ(image->Get("nopalette"), c.noPalette);
    EXPECT_EQ(image->palette, c.palette);
    EXPECT_EQ(image->Get("left"), 100);
    EXPECT_EQ(image->Get("width"), 8);
    EXPECT_EQ(image->data, (std::vector<uint8_t>{0xF0, 0, 0, 0, 0x0F, 0, 0, 0}));
    EXPECT_EQ(Last(job, 0x30)->Get("rgb1"), 0xFFFFFF);  // no brush: white
    EXPECT_EQ(Last(job, 0x31)->Get("rop"), 0xCC);
  }
}

TEST_F(RasterHooksTest, HostColourManagementMarksTheImageAndTheColour) {
  for (const bool managed : {false, true}) {
    RenderPdev* pdev = Start();
    ASSERT_NE(pdev, nullptr);
    Bitmap source(8, 1, BMF_1BPP);
    const ULONG entries[2] = {0x102030, 0x405060};
    XLATEOBJ* xlate = platform::CreateTableXlate(entries, 2, managed ? XO_HOST_ICM : 0);
    BRUSHOBJ* brush = platform::CreateSolidBrushObj(0x00FF00, RGB(0, 255, 0), managed ? BR_HOST_ICM : 0);
    RECTL rect{0, 0, 8, 1};
    POINTL zero{0, 0};
    EXPECT_TRUE(DrvBitBlt(device_, source.so(), nullptr, nullptr, xlate, &rect, &zero, nullptr, brush, nullptr, 0xCCCC));
    platform::DeleteBrushObj(brush);
    platform::DeleteXlate(xlate);
    const jobdump::Job job = Finish(pdev);
    EXPECT_EQ(Last(job, 0x20)->Get("hosticm"), managed ? 1 : 0);
    EXPECT_EQ(Last(job, 0x30)->Get("marked"), managed ? 1 : 0);
    EXPECT_EQ(Last(job, 0x30)->Get("rgb1"), 0x00FF00);  // the brush's colours
  }
}

TEST_F(RasterHooksTest, ImagesThatFitAreSentFromTheirOwnMemory) {
  struct Case {
    ULONG format;
    LONG width;
    bool copied;  // converted to 24 bit first
  };
  const Case cases[] = {{BMF_1BPP, 32, false},  {BMF_4BPP, 8, false},  {BMF_8BPP, 4, false},
                        {BMF_24BPP, 4, false}, {BMF_16BPP, 4, true}, {BMF_32BPP, 4, true}};
  RenderPdev* pdev = Start();
  ASSERT_NE(pdev, nullptr);
  for (const Case& c : cases) {
    Bitmap source(c.width, 4, c.format);
    std::memset(source.so()->pvBits, 0xFF, source.so()->cjBits);  // opaque alpha where there is one
    RECTL rect{0, 0, c.width, 4};
    POINTL zero{0, 0};
    const uint64_t before = platform::AllocationCount();
    EXPECT_TRUE(DrvCopyBits(device_, source.so(), nullptr, nullptr, &rect, &zero));
    EXPECT_EQ(platform::AllocationCount() - before > 0, c.copied) << c.format;
  }
  const jobdump::Job job = Finish(pdev);
  const auto images = RecordsOf(job, 0x20);
  ASSERT_EQ(images.size(), std::size(cases));
  const int64_t bits[] = {1, 4, 8, 24, 24, 24};
  for (size_t i = 0; i < images.size(); ++i) EXPECT_EQ(images[i]->Get("bits"), bits[i]);
}

TEST_F(RasterHooksTest, AnyAlphaBelowOpaqueCombinesA32BitCopyWithThePage) {
  for (const BYTE alpha : {BYTE{0xFF}, BYTE{0x80}}) {
    RenderPdev* pdev = Start();
    ASSERT_NE(pdev, nullptr);
    Bitmap source(3, 2, BMF_32BPP);
    std::memset(source.so()->pvBits, 0xFF, source.so()->cjBits);
    source.Row(1)[4 * 2 + 3] = alpha;  // the last pixel's
    RECTL rect{0, 0, 3, 2};
    POINTL zero{0, 0};
    EXPECT_TRUE(DrvCopyBits(device_, source.so(), nullptr, nullptr, &rect, &zero));
    const jobdump::Job job = Finish(pdev);
    EXPECT_EQ(Last(job, 0x31)->Get("rop"), alpha == 0xFF ? 0xCC : 0x88);
  }
}

TEST_F(RasterHooksTest, APartOfA24BitBitmapIsCutStraightIntoTheRecord) {
  RenderPdev* pdev = Start();
  ASSERT_NE(pdev, nullptr);
  Bitmap source(5, 4, BMF_24BPP, 0);  // bottom-up
  for (LONG y = 0; y < 4; ++y)
    for (LONG x = 0; x < 15; ++x) source.Row(y)[x] = static_cast<BYTE>(y * 16 + x);
  RECTL rect{20, 30, 22, 33};
  POINTL from{2, 1};
  const uint64_t before = platform::AllocationCount();
  EXPECT_TRUE(DrvCopyBits(device_, source.so(), nullptr, nullptr, &rect, &from));
  EXPECT_EQ(platform::AllocationCount(), before);
  const jobdump::Job job = Finish(pdev);
  const jobdump::Record* image = Last(job, 0x20);
  EXPECT_EQ(image->Get("format"), 0x24);
  EXPECT_EQ(image->Get("width"), 2);
  EXPECT_EQ(image->Get("rows"), 3);
  EXPECT_EQ(image->Get("right"), 22);
  // Rows of 8 bytes: 6 copied from x = 2 onwards, 2 zero.
  const std::vector<uint8_t> rows = {0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0, 0, 0x26, 0x27, 0x28, 0x29,
                                     0x2A, 0x2B, 0,    0,    0x36, 0x37, 0x38, 0x39, 0x3A, 0x3B, 0, 0};
  EXPECT_EQ(image->data, rows);
}

TEST_F(RasterHooksTest, StretchedImagesAreMirroredReducedOrStripSent) {
  // A 4 x 2 8-bit grey source: columns 10, 20, 30, 40; the second row 50 more.
  const auto fill = [](Bitmap& source) {
    for (LONG y = 0; y < 2; ++y)
      for (LONG x = 0; x < 4; ++x) source.Row(y)[x] = static_cast<BYTE>(10 * (x + 1) + 50 * y);
  };
  ULONG grey[256];
  for (ULONG i = 0; i < 256; ++i) grey[i] = i * 0x010101;
  struct Case {
    const char* what;
    RECTL target;
    bool shortOfMemory;  // the copy's bits cannot be had
    std::vector<uint8_t> rows;
    int64_t width;
    int64_t reduced;
  };
  const Case cases[] = {
      {"as it is", {0, 0, 8, 4}, false, {10, 20, 30, 40, 60, 70, 80, 90}, 4, 0},
      {"mirrored left-right", {8, 0, 0, 4}, false, {40, 30, 20, 10, 90, 80, 70, 60}, 4, 0},
      {"mirrored top-bottom", {0, 4, 8, 0}, false, {60, 70, 80, 90, 10, 20, 30, 40}, 4, 0},
      {"in strips", {8, 4, 0, 0}, true, {90, 80, 70, 60, 40, 30, 20, 10}, 4, 0},
  };
  for (const Case& c : cases) {
    RenderPdev* pdev = Start();
    ASSERT_NE(pdev, nullptr);
    Bitmap source(4, 2, BMF_8BPP);
    fill(source);
    XLATEOBJ* xlate = platform::CreateTableXlate(grey, 256);
    const jobdump::Job job = StretchPage(pdev, source.so(), xlate, c.target, RECTL{0, 0, 4, 2}, c.shortOfMemory);
    platform::DeleteXlate(xlate);
    const jobdump::Record* image = Last(job, 0x20);
    ASSERT_NE(image, nullptr) << c.what;
    EXPECT_EQ(image->Get("nopalette"), 1) << c.what;
    EXPECT_EQ(image->Get("width"), c.width) << c.what;
    EXPECT_EQ(image->Get("cx"), 8) << c.what;
    EXPECT_EQ(image->data, c.rows) << c.what;
  }
}

TEST_F(RasterHooksTest, ShortMemoryReducesA1BitImageAndHalvesA32BitStrip) {
  {
    RenderPdev* pdev = Start();
    ASSERT_NE(pdev, nullptr);
    Bitmap source(16, 8, BMF_1BPP);
    // Mirrored, so a copy is needed.
    const jobdump::Job job = StretchPage(pdev, source.so(), nullptr, RECTL{16, 8, 0, 0}, RECTL{0, 0, 16, 8}, true);
    const jobdump::Record* image = Last(job, 0x20);
    EXPECT_EQ(image->Get("reduced"), 1);
    EXPECT_EQ(image->Get("width"), 8);  // half the size
    EXPECT_EQ(image->Get("rows"), 4);
    EXPECT_EQ(image->Get("cx"), 16);
  }
  {
    RenderPdev* pdev = Start();
    ASSERT_NE(pdev, nullptr);
    Bitmap source(4, 4, BMF_32BPP);
    for (LONG y = 0; y < 4; ++y)
      for (LONG x = 0; x < 4; ++x) std::memset(source.Row(y) + 4 * x, static_cast<int>(16 * y + x), 4);
    // Smaller both ways: halved.
    const jobdump::Job job = StretchPage(pdev, source.so(), nullptr, RECTL{0, 0, 2, 2}, RECTL{0, 0, 4, 4}, true);
    const jobdump::Record* image = Last(job, 0x20);
    EXPECT_EQ(image->Get("format"), 0x20024);
    EXPECT_EQ(image->Get("width"), 2);
    EXPECT_EQ(image->Get("rows"), 2);
    // Every second pixel of every second row, three bytes each, rows padded to 8.
    EXPECT_EQ(image->data, (std::vector<uint8_t>{0x00, 0x00, 0x00, 0x02, 0x02, 0x02, 0, 0, 0x20, 0x20, 0x20, 0x22,
                                                 0x22, 0x22, 0, 0}));
  }
}

TEST_F(RasterHooksTest, ADirectPageSendsALarge24BitImageAtItsPrintedSize) {
  RenderPdev* pdev = Start();
  ASSERT_NE(pdev, nullptr);
  pdev->settings.directPage = TRUE;
  Bitmap source(40, 30, BMF_24BPP);
  const jobdump::Job job = StretchPage(pdev, source.so(), nullptr, RECTL{0, 0, 10, 6}, RECTL{0, 0, 40, 30}, false);
  EXPECT_EQ(Last(job, 0x20)->Get("width"), 10);
  EXPECT_EQ(Last(job, 0x20)->Get("rows"), 6);
}

TEST_F(RasterHooksTest, AOneBitVectorSurfaceLeavesStretchesToTheEngine) {
  RenderPdev* pdev = Start({{376, 1}, {184, 1}, {15, 1}});
  ASSERT_NE(pdev, nullptr);
  ASSERT_TRUE(PdevIsOneBit(pdev));
  Bitmap source(4, 4, BMF_24BPP);
  RECTL target{0, 0, 8, 8}, from{0, 0, 4, 4};
  platform::TakeEngineCalls();
  EXPECT_TRUE(DrvStretchBlt(device_, source.so(), nullptr, nullptr, nullptr, nullptr, nullptr, &target, &from, nullptr,
                            COLORONCOLOR));
  const std::vector<std::string> calls = platform::TakeEngineCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].rfind("EngStretchBlt device mode=4", 0), 0u) << calls[0];
  EXPECT_EQ(Opcodes(Finish(pdev)), "");
}

TEST_F(RasterHooksTest, AMaskedBlitSendsTheMaskThenTheImageWhitenedOutsideIt) {
  RenderPdev* pdev = Start();
  ASSERT_NE(pdev, nullptr);
  Bitmap source(8, 1, BMF_24BPP), mask(8, 1, BMF_1BPP);
  std::memset(source.Row(0), 0x40, 24);
  mask.Row(0)[0] = 0xF0;
  RECTL rect{0, 0, 8, 1};
  POINTL zero{0, 0};
  EXPECT_TRUE(DrvBitBlt(device_, source.so(), mask.so(), nullptr, nullptr, &rect, &zero, &zero, nullptr, nullptr,
                        0xAACC));
  const jobdump::Job job = Finish(pdev);
  EXPECT_EQ(Opcodes(job), "32 31 30 31 20 31 20");
  const auto rops = RecordsOf(job, 0x31);
  EXPECT_EQ(rops[1]->Get("rop"), 0xEE);
  EXPECT_EQ(rops[2]->Get("rop"), 0x88);
  EXPECT_EQ(Last(job, 0x32)->Get("value"), 1);
  const auto images = RecordsOf(job, 0x20);
  EXPECT_EQ(images[0]->Get("bits"), 1);
  EXPECT_EQ(images[0]->data, (std::vector<uint8_t>{0xF0, 0, 0, 0}));
  std::vector<uint8_t> whitened(24, 0xFF);
  std::fill_n(whitened.begin(), 12, 0x40);
  EXPECT_EQ(images[1]->data, whitened);
}

TEST_F(RasterHooksTest, ColourTransformsAreKeptInThePdevAndCarriedOver) {
  RenderPdev* pdev = Enable();
  ASSERT_NE(pdev, nullptr);
  const DHPDEV handle = reinterpret_cast<DHPDEV>(pdev);
  LOGCOLORSPACEW space{};
  BYTE profile[128] = {1};
  const size_t live = platform::LiveColorHandles();
  const HANDLE transform = DrvIcmCreateColorTransform(handle, &space, nullptr, 0, nullptr, 0, profile, sizeof profile, 0);
  ASSERT_NE(transform, nullptr);
  EXPECT_EQ(pdev->colorTransform, transform);
  EXPECT_NE(pdev->colorProfile, nullptr);
  EXPECT_EQ(platform::LiveColorHandles(), live + 2);
  EXPECT_TRUE(DrvIcmDeleteColorTransform(handle, transform));
  EXPECT_EQ(platform::LiveColorHandles(), live);
  EXPECT_EQ(pdev->colorTransform, nullptr);

  platform::SetColorProfileOpenFails(true);
  EXPECT_EQ(DrvIcmCreateColorTransform(handle, &space, nullptr, 0, nullptr, 0, profile, sizeof profile, 0), nullptr);
  platform::SetColorProfileOpenFails(false);
  EXPECT_EQ(platform::LiveColorHandles(), live);

  // A reset in the middle of a document hands both handles to the new PDEV.
  const DWORD spoolJob = OpenSpoolJob();
  SURFOBJ surface = Surface(pdev);
  ASSERT_TRUE(DrvStartDoc(&surface, const_cast<LPWSTR>(u"Colours"), spoolJob));
  const HANDLE carried = DrvIcmCreateColorTransform(handle, &space, nullptr, 0, nullptr, 0, profile, sizeof profile, 0);
  RenderPdev* next = Enable();
  ASSERT_NE(next, nullptr);
  ASSERT_TRUE(DrvResetPDEV(handle, reinterpret_cast<DHPDEV>(next)));
  EXPECT_EQ(next->colorTransform, carried);
  EXPECT_EQ(next->colorProfile, pdev->colorProfile);
  DrvDisablePDEV(handle);
  EXPECT_TRUE(DrvIcmDeleteColorTransform(reinterpret_cast<DHPDEV>(next), carried));
  EXPECT_EQ(platform::LiveColorHandles(), live);
  SURFOBJ nextSurface = Surface(next);
  ASSERT_TRUE(DrvStartDoc(&nextSurface, const_cast<LPWSTR>(u"Colours"), spoolJob));
  ASSERT_TRUE(DrvStartPage(&nextSurface));
  ASSERT_TRUE(DrvSendPage(&nextSurface));
  ASSERT_TRUE(DrvEndDoc(&nextSurface, 0));
  DrvDisablePDEV(reinterpret_cast<DHPDEV>(next));
  CloseSpoolJob(spoolJob);
}

// Tiles of realized brushes, read back from the brush object.
class BrushTileTest : public RasterHooksTest {
 protected:
  const RealizedBrush* Realize(BRUSHOBJ* brush) {
    return static_cast<const RealizedBrush*>(BRUSHOBJ_pvGetRbrush(brush));
  }
  static std::vector<uint8_t> TileRow(const RealizedBrush* brush, DWORD row) {
    const DWORD bytes = brush->bitsPerPixel == 1 ? 4 : 96;
    const BYTE* at = BrushTile(brush) + row * bytes;
    return std::vector<uint8_t>(at, at + bytes);
  }
};

TEST_F(BrushTileTest, OneBitPatternsAreInvertedAndDoubledAndHatchesEnlarged) {
  RenderPdev* pdev = Start();
  ASSERT_NE(pdev, nullptr);
  Bitmap pattern(8, 8, BMF_1BPP);
  for (LONG y = 0; y < 8; ++y) pattern.Row(y)[0] = y == 0 ? 0xF0 : 0xFF;
  const ULONG entries[2] = {0x112233, 0x445566};
  XLATEOBJ* xlate = platform::CreateTableXlate(entries, 2);
  BRUSHOBJ* brush = platform::CreatePatternBrushObj(pattern.so(), xlate, device_);
  const RealizedBrush* tile = Realize(brush);
  ASSERT_NE(tile, nullptr);
  EXPECT_EQ(tile->kind, kBrushOneBit);
  EXPECT_EQ(tile->color1, 0x112233u);  // entry 0 paints the pattern's 0 bits
  EXPECT_EQ(tile->color2, 0x445566u);
  EXPECT_EQ(TileRow(tile, 0), (std::vector<uint8_t>{0x00, 0xFF, 0x00, 0xFF}));
  EXPECT_EQ(TileRow(tile, 1), (std::vector<uint8_t>{0x00, 0xFF, 0x00, 0xFF}));
  EXPECT_EQ(TileRow(tile, 2), (std::vector<uint8_t>{0, 0, 0, 0}));
  EXPECT_EQ(TileRow(tile, 16), (std::vector<uint8_t>{0x00, 0xFF, 0x00, 0xFF}));
  platform::DeleteBrushObj(brush);
  platform::DeleteXlate(xlate);

  BRUSHOBJ* hatch = platform::CreateHatchBrushObj(0, 0xFF0000, 0xFFFFFF, device_);
  const RealizedBrush* lines = Realize(hatch);
  ASSERT_NE(lines, nullptr);
  EXPECT_EQ(lines->color1, 0xFF0000u);
  EXPECT_EQ(lines->color2, 0xFFFFFFu);
  for (DWORD row = 0; row < 32; ++row) {
    const uint8_t expected = row >= 16 && row < 20 ? 0xFF : 0x00;
    EXPECT_EQ(TileRow(lines, row), std::vector<uint8_t>(4, expected)) << row;
  }
  platform::DeleteBrushObj(hatch);
  Finish(pdev);
}

TEST_F(BrushTileTest, ColourPatternsBecome24BitTilesTopRowFirst) {
  RenderPdev* pdev = Start();
  ASSERT_NE(pdev, nullptr);
  // 16 bit 5-5-5: red 31, green 16, blue 1 -> each c * 255 >> 5.
  Bitmap rgb555(8, 8, BMF_16BPP);
  for (LONG y = 0; y < 8; ++y)
    for (LONG x = 0; x < 8; ++x) {
      const WORD value = (31 << 10) | (16 << 5) | 1;
      rgb555.Row(y)[2 * x] = static_cast<BYTE>(value);
      rgb555.Row(y)[2 * x + 1] = static_cast<BYTE>(value >> 8);
    }
  BRUSHOBJ* brush = platform::CreatePatternBrushObj(rgb555.so(), nullptr, device_);
  const RealizedBrush* tile = Realize(brush);
  ASSERT_NE(tile, nullptr);
  EXPECT_EQ(tile->kind, kBrushRgb);
  EXPECT_EQ(TileRow(tile, 5)[0], 7);     // blue 1 * 255 >> 5
  EXPECT_EQ(TileRow(tile, 5)[1], 127);   // green
  EXPECT_EQ(TileRow(tile, 5)[2], 247);   // red
  platform::DeleteBrushObj(brush);

  // A bottom-up 24-bit pattern of three colours: its top row (the last in memory) comes first.
  Bitmap upward(8, 8, BMF_24BPP, 0);
  for (LONG y = 0; y < 8; ++y)
    for (LONG x = 0; x < 8; ++x) {
      BYTE* at = upward.Row(y) + 3 * x;
      at[0] = static_cast<BYTE>(y == 0 ? 0x11 : x % 2 ? 0x22 : 0x33);
      at[1] = at[2] = 0;
    }
  brush = platform::CreatePatternBrushObj(upward.so(), nullptr, device_);
  tile = Realize(brush);
  ASSERT_NE(tile, nullptr);
  EXPECT_EQ(tile->kind, kBrushRgb);
  EXPECT_EQ(TileRow(tile, 0)[0], 0x11);
  EXPECT_EQ(TileRow(tile, 8)[0], 0x11);
  EXPECT_EQ(TileRow(tile, 1)[3], 0x22);
  platform::DeleteBrushObj(brush);

  // Two colours in an 8 x 8 24-bit pattern make a 1-bit tile: the first colour's pixels are set.
  Bitmap twoColour(8, 8, BMF_24BPP);
  for (LONG y = 0; y < 8; ++y)
    for (LONG x = 0; x < 8; ++x) std::memset(twoColour.Row(y) + 3 * x, x < 4 ? 0x80 : 0x00, 3);
  DWORD first = 0, second = 0;
  EXPECT_TRUE(BrushTwoColorTest(twoColour.so(), &first, &second));
  EXPECT_EQ(first, 0x808080u);
  EXPECT_EQ(second, 0u);
  brush = platform::CreatePatternBrushObj(twoColour.so(), nullptr, device_);
  tile = Realize(brush);
  ASSERT_NE(tile, nullptr);
  EXPECT_EQ(tile->kind, kBrushOneBit);
  EXPECT_EQ(TileRow(tile, 3), (std::vector<uint8_t>{0xFF, 0x00, 0xFF, 0x00}));
  platform::DeleteBrushObj(brush);
  EXPECT_FALSE(BrushTwoColorTest(upward.so(), &first, &second));  // three colours
  Finish(pdev);
}

TEST(RopToMixTest, TheSixteenSourcelessRopsGiveMixesOneToSixteen) {
  const BYTE rops[16] = {0x00, 0x05, 0x0A, 0x0F, 0x50, 0x55, 0x5A, 0x5F, 0xA0, 0xA5, 0xAA, 0xAF, 0xF0, 0xF5, 0xFA, 0xFF};
  int mapped = 0;
  for (int rop = 0; rop < 256; ++rop) mapped += RopToMix3(static_cast<BYTE>(rop)) != 0;
  EXPECT_EQ(mapped, 16);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(RopToMix3(rops[i]), i + 1);
  EXPECT_EQ(RopToMix(0xAAF0), (11u << 8) | 13u);
  EXPECT_EQ(RopToMix(0xCCCC), 0u);
  ColorDescriptor color{};
  ColorSetKindFromMix(&color, RopToMix(0xAAF0), 1);
  EXPECT_EQ(color.mix, 13u);
  EXPECT_EQ(color.kind, 1u);
  EXPECT_TRUE(color.hasThird);
}

}  // namespace
}  // namespace velm::test
