#include <gtest/gtest.h>

#include "core/winerror.h"
#include "eng_test_support.h"

namespace velm::test {
namespace {

using EngObjectsTest = EngTest;

TEST_F(EngObjectsTest, PalettesMapColoursBothWays) {
  const ULONG entries[3] = {RGB(0, 0, 0), RGB(255, 0, 0), RGB(0, 0, 255)};  // PALETTEENTRY order
  const HPALETTE indexed = EngCreatePalette(PAL_INDEXED, 3, const_cast<ULONG*>(entries), 0, 0, 0);
  platform::PaletteFacts facts;
  ASSERT_TRUE(platform::QueryPalette(indexed, facts));
  EXPECT_EQ(facts.rgb, (std::vector<ULONG>{0x000000, 0xFF0000, 0x0000FF}));
  EXPECT_EQ(platform::PaletteValueFromRgb(indexed, 0xE01010), 1u);
  EXPECT_EQ(platform::PaletteValueFromRgb(indexed, 0x1010C0), 2u);
  const HPALETTE bitfields = EngCreatePalette(PAL_BITFIELDS, 0, nullptr, 0x7C00, 0x03E0, 0x001F);
  EXPECT_EQ(platform::PaletteValueFromRgb(bitfields, 0xFF0000), 0x7C00u);
  EXPECT_EQ(platform::PaletteRgbFromValue(bitfields, 0x03E0), 0x00FF00u);
  const HPALETTE rgb = EngCreatePalette(PAL_RGB, 0, nullptr, 0, 0, 0);
  EXPECT_EQ(platform::PaletteValueFromRgb(rgb, 0x112233), 0x332211u);

  XLATEOBJ* table = platform::CreateXlate(indexed, bitfields, XO_HOST_ICM);
  EXPECT_EQ(table->flXlate, XO_TABLE | XO_HOST_ICM);
  EXPECT_EQ(table->cEntries, 3u);
  EXPECT_EQ(XLATEOBJ_iXlate(table, 1), 0x7C00u);
  EXPECT_EQ(XLATEOBJ_iXlate(table, 7), 0u);  // past the table
  ULONG copy[4] = {};
  EXPECT_EQ(XLATEOBJ_cGetPalette(table, XO_SRCPALETTE, 0, nullptr), 3u);
  EXPECT_EQ(XLATEOBJ_cGetPalette(table, XO_SRCPALETTE, 2, copy), 2u);
  EXPECT_EQ(copy[1], 0xFF0000u);
  EXPECT_EQ(XLATEOBJ_cGetPalette(table, XO_DESTPALETTE, 4, copy), 0u);  // not indexed
  XLATEOBJ* computed = platform::CreateXlate(bitfields, rgb);
  EXPECT_EQ(computed->flXlate, 0u);
  EXPECT_EQ(XLATEOBJ_iXlate(computed, 0x001F), 0xFF0000u);  // blue, red in the low byte
  XLATEOBJ* trivial = platform::CreateXlate(rgb, rgb);
  EXPECT_EQ(trivial->flXlate, XO_TRIVIAL);
  EXPECT_EQ(XLATEOBJ_iXlate(nullptr, 42), 42u);

  EXPECT_EQ(EngCreatePalette(PAL_INDEXED, 0, nullptr, 0, 0, 0), nullptr);
  EXPECT_EQ(EngCreatePalette(PAL_CMYK, 0, nullptr, 0, 0, 0), nullptr);
  for (XLATEOBJ* x : {table, computed, trivial}) platform::DeleteXlate(x);
  for (HPALETTE p : {indexed, bitfields, rgb}) EXPECT_TRUE(EngDeletePalette(p));
  EXPECT_FALSE(EngDeletePalette(rgb));
}

TEST_F(EngObjectsTest, TransformsReportTheirKindAndApplyBothWays) {
  XFORMOBJ* identity = platform::CreateXformObj(XFORML{1, 0, 0, 1, 0, 0});
  XFORMOBJ* offset = platform::CreateXformObj(XFORML{1, 0, 0, 1, 5, 0});
  XFORMOBJ* scale = platform::CreateXformObj(XFORML{2, 0, 0, 3, 0, 0});
  XFORMOBJ* general = platform::CreateXformObj(XFORML{0, 1, -1, 0, 10, 20});  // a quarter turn
  XFORMOBJ* flat = platform::CreateXformObj(XFORML{1, 0, 2, 0, 0, 0});
  EXPECT_EQ(XFORMOBJ_iGetXform(identity, nullptr), GX_IDENTITY);
  EXPECT_EQ(XFORMOBJ_iGetXform(offset, nullptr), GX_OFFSET);
  EXPECT_EQ(XFORMOBJ_iGetXform(scale, nullptr), GX_SCALE);
  EXPECT_EQ(XFORMOBJ_iGetXform(general, nullptr), GX_GENERAL);
  POINTL in[2] = {{3, 4}, {-1, 0}}, out[2];
  ASSERT_TRUE(XFORMOBJ_bApplyXform(general, XF_LTOL, 2, in, out));
  EXPECT_EQ(out[0].x, 10 - 4);
  EXPECT_EQ(out[0].y, 20 + 3);
  POINTL back[2];
  ASSERT_TRUE(XFORMOBJ_bApplyXform(general, XF_INV_LTOL, 2, out, back));
  EXPECT_EQ(back[0].x, 3);
  EXPECT_EQ(back[0].y, 4);
  POINTFIX fixed[2];
  ASSERT_TRUE(XFORMOBJ_bApplyXform(scale, XF_LTOFX, 1, in, fixed));
  EXPECT_EQ(fixed[0].x, 6 * 16);
  EXPECT_EQ(fixed[0].y, 12 * 16);
  ASSERT_TRUE(XFORMOBJ_bApplyXform(scale, XF_INV_FXTOL, 1, fixed, back));
  EXPECT_EQ(back[0].x, 3);
  EXPECT_FALSE(XFORMOBJ_bApplyXform(flat, XF_INV_LTOL, 1, in, out));  // no inverse
  EXPECT_FALSE(XFORMOBJ_bApplyXform(scale, 7, 1, in, out));
  for (XFORMOBJ* x : {identity, offset, scale, general, flat}) platform::DeleteXformObj(x);
}

// A driver's brush realization for the brush test.
int g_realizations = 0;
BOOL g_realizeAnswer = TRUE;
ULONG g_seenHatch = 0;
BOOL RealizeForTest(BRUSHOBJ* pbo, SURFOBJ*, SURFOBJ* pattern, SURFOBJ*, XLATEOBJ* xlate, ULONG hatch) {
  ++g_realizations;
  g_seenHatch = hatch;
  if (!pattern || !xlate || xlate->cEntries != 2 || !g_realizeAnswer) return FALSE;
  // A realization that asks for itself gets nothing rather than recursing.
  EXPECT_EQ(BRUSHOBJ_pvGetRbrush(pbo), nullptr);
  auto* block = static_cast<ULONG*>(BRUSHOBJ_pvAllocRbrush(pbo, 8));
  if (!block) return FALSE;
  block[0] = 0xCAFE;
  return TRUE;
}

TEST_F(EngObjectsTest, BrushesAreRealizedOnceThroughTheTargetsDevice) {
  DRVFN hook{INDEX_DrvRealizeBrush, platform::HookAs<PFN>(&RealizeForTest)};
  const HDEV hdev = platform::CreateEngineDevice(DRVENABLEDATA{DDI_DRIVER_VERSION_NT5, 1, &hook});
  Bitmap target(4, 4, BMF_24BPP);
  ASSERT_TRUE(EngAssociateSurface(target.handle(), hdev, 0));
  g_realizations = 0;

  BRUSHOBJ* hatch = platform::CreateHatchBrushObj(HS_CROSS, 0xFF0000, 0xFFFFFF, target.so(), BR_HOST_ICM);
  EXPECT_EQ(hatch->flColorType, BR_HOST_ICM);
  EXPECT_EQ(BRUSHOBJ_ulGetBrushColor(hatch), 0xFFFFFFFFu);
  auto* realized = static_cast<ULONG*>(BRUSHOBJ_pvGetRbrush(hatch));
  ASSERT_NE(realized, nullptr);
  EXPECT_EQ(realized[0], 0xCAFEu);
  EXPECT_EQ(g_seenHatch, HS_CROSS);
  EXPECT_EQ(BRUSHOBJ_pvGetRbrush(hatch), realized);
  EXPECT_EQ(g_realizations, 1);

  g_realizeAnswer = FALSE;
  BRUSHOBJ* refused = platform::CreateHatchBrushObj(HS_VERTICAL, 0, 0xFFFFFF, target.so());
  EXPECT_EQ(BRUSHOBJ_pvGetRbrush(refused), nullptr);
  EXPECT_EQ(refused->pvRbrush, nullptr);
  g_realizeAnswer = TRUE;

  BRUSHOBJ* solid = platform::CreateSolidBrushObj(0x123456, RGB(0x12, 0x34, 0x56));
  EXPECT_EQ(BRUSHOBJ_ulGetBrushColor(solid), RGB(0x12, 0x34, 0x56));
  EXPECT_EQ(BRUSHOBJ_pvGetRbrush(solid), nullptr);  // no target: nobody to ask
  EXPECT_EQ(platform::CreateHatchBrushObj(6, 0, 0, nullptr), nullptr);
  for (BRUSHOBJ* b : {hatch, refused, solid}) platform::DeleteBrushObj(b);
  platform::DeleteEngineDevice(hdev);
}

}  // namespace
}  // namespace velm::test
