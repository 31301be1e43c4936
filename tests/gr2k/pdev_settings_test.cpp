// What a PDEV reads from its settings, and what it tells the engine about the device: GDIINFO,
// DEVINFO, the palette and the surface for the four kinds of surface.
#include <gtest/gtest.h>

#include <cstring>

#include "driver_fixture.h"

namespace velm::test {
namespace {

using Items = std::vector<std::pair<WORD, DWORD>>;

class PdevSettingsTest : public DriverTest {
 protected:
  // A PDEV over the small page and `items`, with its surface.
  RenderPdev* EnableWith(const Items& items) {
    g_testItems = SmallPage();
    g_testItems.insert(g_testItems.end(), items.begin(), items.end());
    RenderPdev* pdev = Enable();
    if (pdev) {
      EXPECT_NE(DrvEnableSurface(reinterpret_cast<DHPDEV>(pdev)), nullptr) << GetLastError();
    }
    return pdev;
  }
  void Disable(RenderPdev* pdev) {
    DrvDisableSurface(reinterpret_cast<DHPDEV>(pdev));
    DrvDisablePDEV(reinterpret_cast<DHPDEV>(pdev));
  }
  platform::SurfaceFacts Facts(RenderPdev* pdev) {
    platform::SurfaceFacts facts;
    EXPECT_TRUE(platform::QuerySurface(pdev->surface, facts));
    return facts;
  }
  platform::PaletteFacts Palette() {
    platform::PaletteFacts facts;
    EXPECT_TRUE(platform::QueryPalette(devinfo_.hpalDefault, facts));
    return facts;
  }
  ULONG SurfaceFormat(RenderPdev* pdev) {
    SURFOBJ* surface = EngLockSurface(pdev->surface);
    const ULONG format = surface ? surface->iBitmapFormat : 0;
    if (surface) EngUnlockSurface(surface);
    return format;
  }
};

TEST_F(PdevSettingsTest, ItemsSetThroughTheStoreAreWhatThePdevReads) {
  g_testTexts = {{350, u"Mincho"}, {364, u"Gothic"}};
  RenderPdev* pdev = EnableWith({{12, 3}, {7, 2}, {14, 0}, {177, 0}, {181, 1}, {182, 2}, {15, 2}, {249, 0x80},
                                 {394, 1}, {395, 1}, {372, 0}, {149, 1}, {150, 1}, {222, 1}, {247, 1}, {8, 9}});
  ASSERT_NE(pdev, nullptr);
  const PdevSettings& s = pdev->settings;
  EXPECT_EQ(s.copies, 3u);
  EXPECT_EQ(s.orientationIndex, 1u);
  EXPECT_EQ(s.resolution, 600u);  // item 14 is 0
  EXPECT_TRUE(s.emfSpool);
  EXPECT_EQ(s.printArea, 0u);  // the model offers areas 0 and 1 only: the merge repairs 2
  EXPECT_EQ(s.colorChoice, 2u);
  EXPECT_TRUE(s.eudc);               // bit 0x80 of item 249
  EXPECT_TRUE(s.deviceFontsUsable);  // item 394 picks item 395
  EXPECT_EQ(s.printType, 1u);  // locked: a stored job would need the hard disk
  EXPECT_TRUE(s.apiUse);
  EXPECT_EQ(std::u16string(s.defaultFace), u"Mincho");
  EXPECT_EQ(std::u16string(s.secondFace), u"Gothic");
  // Item 364 is a text here: its face name never switches drawing off.
  EXPECT_FALSE(s.drawNothing);
  const PageGeometry& g = pdev->geometry;
  EXPECT_EQ(g.paperWidth, 1200u);
  EXPECT_EQ(g.paperLength, 1000u);
  EXPECT_EQ(g.widthTenthMm, 1000u * 254 / 600);
  EXPECT_EQ(g.paperId, 9u);
  EXPECT_EQ(pdev->outputLibraryName, std::u16string_view(u"qnoutlib.dll"));
  // GDIINFO: sizes in millimetres for print area 2 (which only another model can offer), the
  // page and its offset.
  pdev->settings.printArea = 2;
  PdevFillGdiInfo(pdev, &gdi_, sizeof gdi_);
  EXPECT_EQ(gdi_.ulHorzSize, 42u);
  EXPECT_EQ(gdi_.ulVertSize, 33u);
  EXPECT_EQ(gdi_.ulHorzRes, 1000u);
  EXPECT_EQ(gdi_.ulVertRes, 800u);
  EXPECT_EQ(gdi_.szlPhysSize.cx, 1200);
  EXPECT_EQ(gdi_.ptlPhysOffset.x, 100);
  // DEVINFO: vector caps, EMF on (journaling allowed), colour management asked for.
  EXPECT_EQ(devinfo_.flGraphicsCaps, 0x1Fu | GCAPS_ICM);
  Disable(pdev);
}

TEST_F(PdevSettingsTest, ResolutionZeroIsSixHundredEverywhere) {
  RenderPdev* pdev = EnableWith({{14, 0}});
  ASSERT_NE(pdev, nullptr);
  EXPECT_EQ(gdi_.ulLogPixelsX, 600u);
  EXPECT_EQ(gdi_.ulAspectX, 600u);
  EXPECT_EQ(gdi_.ulAspectXY, 848u);
  EXPECT_EQ(gdi_.denStyleStep, 24);
  EXPECT_EQ(gdi_.ulHTPatternSize, 7u);
  // Print area other than 2: micrometres, negative.
  EXPECT_EQ(static_cast<LONG>(gdi_.ulHorzSize), -42300);
  // No default face: the default fonts stay empty.
  EXPECT_EQ(devinfo_.lfDefaultFont.lfHeight, 0);
  Disable(pdev);

  // The default face in language 0, whose fonts are named by face.
  g_testTexts = {{350, u"Mincho"}};
  pdev = EnableWith({{14, 0}, {177, 0}});
  ASSERT_NE(pdev, nullptr);
  const LOGFONTW& font = devinfo_.lfAnsiFixFont;
  EXPECT_EQ(font.lfHeight, 87);
  EXPECT_EQ(font.lfWidth, 43);
  EXPECT_EQ(font.lfWeight, 400);
  EXPECT_EQ(font.lfOutPrecision, 1);
  EXPECT_EQ(font.lfClipPrecision, 2);
  EXPECT_EQ(font.lfPitchAndFamily, 0x11);
  EXPECT_EQ(std::u16string(font.lfFaceName), u"\u660E\u671D");
  EXPECT_EQ(font.lfCharSet, ANSI_CHARSET);
  Disable(pdev);
}

TEST_F(PdevSettingsTest, TheDefaultFontFollowsTheCodePageAndIsEmptyForALanguage) {
  platform::SetMachineSetting("codepage", "932");
  g_testTexts = {{350, u"Mincho"}};
  RenderPdev* pdev = EnableWith({{177, 0}});
  ASSERT_NE(pdev, nullptr);
  EXPECT_EQ(devinfo_.lfDefaultFont.lfCharSet, SHIFTJIS_CHARSET);
  Disable(pdev);
  pdev = EnableWith({{177, 1}});
  ASSERT_NE(pdev, nullptr);
  EXPECT_EQ(devinfo_.lfDefaultFont.lfHeight, 0);
  Disable(pdev);
}

TEST_F(PdevSettingsTest, TheFourKindsOfSurface) {
  struct Case {
    const char* name;
    Items items;
    ULONG bits, planes, colors, registers, htSize, htFormat;
    FLONG caps;
    ULONG dither;
    USHORT cell;
    ULONG palette, surfaceFormat;
    FLONG hooks;
    bool banding;
  } cases[] = {
      {"raster 1-bit", {{183, 1}, {184, 1}, {15, 1}, {14, 1200}}, 1, 1, 2, 2, 11, HT_FORMAT_1BPP,
       0x430 | GCAPS_DONTJOURNAL | 0x800000, BMF_1BPP, 12, PAL_INDEXED, BMF_1BPP, 0x0B, true},
      {"raster 24-bit", {{183, 1}, {184, 1}, {15, 2}, {14, 2400}}, 8, 3, 0xFFFFFF, 0xFFFFFF, 15, HT_FORMAT_24BPP,
       0x430 | GCAPS_DONTJOURNAL, BMF_24BPP, 0, PAL_BGR, BMF_24BPP, 0x0B, true},
      // The 1-bit palette belongs to raster mode only.
      {"vector 1-bit", {{376, 1}, {184, 1}, {15, 1}, {14, 100}}, 1, 1, 2, 2, 3, HT_FORMAT_1BPP,
       0x1F | GCAPS_DONTJOURNAL, BMF_24BPP, 0, PAL_BGR, BMF_1BPP, 0x4EB | HOOK_STRETCHBLTROP, false},
      {"vector colour", {{184, 2}, {351, 1}, {181, 1}}, 24, 1, 0xFFFFFF, 0xFFFFFF, 7, HT_FORMAT_24BPP, 0x1F,
       BMF_24BPP, 0, PAL_BGR, BMF_24BPP, 0x4EB, false},
      // Colour mode 1 with colour choice 2 claims eight colours in twenty registers.
      {"vector mode 1", {{184, 1}, {15, 2}}, 1, 1, 8, 20, 7, HT_FORMAT_24BPP, 0x1F | GCAPS_DONTJOURNAL, BMF_24BPP,
       0, PAL_BGR, BMF_24BPP, 0x4EB | HOOK_STRETCHBLTROP, false},
  };
  for (const Case& c : cases) {
    RenderPdev* pdev = EnableWith(c.items);
    ASSERT_NE(pdev, nullptr) << c.name;
    EXPECT_EQ(gdi_.cBitsPixel, c.bits) << c.name;
    EXPECT_EQ(gdi_.cPlanes, c.planes) << c.name;
    EXPECT_EQ(gdi_.ulNumColors, c.colors) << c.name;
    EXPECT_EQ(gdi_.ulNumPalReg, c.registers) << c.name;
    EXPECT_EQ(gdi_.ulHTPatternSize, c.htSize) << c.name;
    EXPECT_EQ(gdi_.ulHTOutputFormat, c.htFormat) << c.name;
    EXPECT_EQ(devinfo_.flGraphicsCaps, c.caps) << c.name;
    EXPECT_EQ(devinfo_.iDitherFormat, c.dither) << c.name;
    EXPECT_EQ(devinfo_.cxDither, c.cell) << c.name;
    EXPECT_EQ(devinfo_.cyDither, c.cell) << c.name;
    const platform::PaletteFacts palette = Palette();
    EXPECT_EQ(palette.mode, c.palette) << c.name;
    if (c.palette == PAL_INDEXED) {
      EXPECT_EQ(palette.rgb, (std::vector<ULONG>{0x000000, 0xFFFFFF}));
    }
    EXPECT_EQ(SurfaceFormat(pdev), c.surfaceFormat) << c.name;
    const platform::SurfaceFacts facts = Facts(pdev);
    EXPECT_EQ(facts.hooks, c.hooks) << c.name;
    EXPECT_EQ(facts.banding, c.banding) << c.name;
    if (c.banding) {
      EXPECT_EQ(pdev->bandHeight, 800u) << c.name;  // the small page fits one band
    }
    Disable(pdev);
  }
}

TEST_F(PdevSettingsTest, TheColourForceTurnsVectorColourModeZeroIntoTwo) {
  RenderPdev* pdev = EnableWith({{407, 1}});
  ASSERT_NE(pdev, nullptr);
  EXPECT_EQ(pdev->settings.colorMode, 2u);
  Disable(pdev);
  pdev = EnableWith({{407, 1}, {183, 1}});
  ASSERT_NE(pdev, nullptr);
  EXPECT_EQ(pdev->settings.colorMode, 0u);
  Disable(pdev);
}

TEST_F(PdevSettingsTest, PassThroughMakesAVectorSurfaceWhateverTheRasterItemSays) {
  RenderPdev* pdev = EnableWith({{183, 1}, {714, 1}});
  ASSERT_NE(pdev, nullptr);
  EXPECT_TRUE(pdev->settings.passThrough);
  EXPECT_FALSE(pdev->settings.rasterMode);
  EXPECT_EQ(Facts(pdev).hooks, 0x4EBu | HOOK_STRETCHBLTROP);
  EXPECT_EQ(devinfo_.flGraphicsCaps & 0xFFFFu, 0x1Fu | GCAPS_DONTJOURNAL);
  Disable(pdev);
}

TEST_F(PdevSettingsTest, DirectPageNeedsAnUnscaledPageThatFitsAndAPlainPrintType) {
  // The rule reads the items as the PDEV finds them. Some of the values below (print types 5 and
  // 7, the booklet) are not offered by the shipped model, so a merge would repair them: they are
  // set on the PDEV's context and read again, as a context of another model would hold them.
  const Items fits = {{53, 800}, {54, 1000}, {92, 100}, {93, 100}, {59, 0}, {94, 1}, {222, 0}};
  struct Case {
    Items extra;
    bool direct;
  } cases[] = {
      {{}, true},
      {{{53, 801}}, false},        // the output page is longer
      {{{92, 101}}, false},        // scaled
      {{{59, 1}, {94, 9}}, false}, // booklet n-up
      {{{59, 1}, {94, 4}}, true},
      {{{222, 5}}, false},
      {{{222, 7}}, false},
  };
  RenderPdev* pdev = EnableWith({});
  ASSERT_NE(pdev, nullptr);
  for (const Case& c : cases) {
    for (const auto& [id, value] : fits) OptSetValue(pdev->context, id, value);
    for (const auto& [id, value] : c.extra) OptSetValue(pdev->context, id, value);
    PdevReadSettings(pdev);
    EXPECT_EQ(pdev->settings.directPage, c.direct) << c.extra.size();
  }
  // Through a merge: an output paper (A4) longer than the small page.
  Disable(pdev);
  pdev = EnableWith({{50, 9}});
  ASSERT_NE(pdev, nullptr);
  EXPECT_FALSE(pdev->settings.directPage);
  Disable(pdev);
}

TEST(PdevGeometryTest, BandHeightIsABudgetOfOneBitRowsAtMostThePage) {
  EXPECT_EQ(PdevBandHeight(4960, 7016), 512u);
  EXPECT_EQ(PdevBandHeight(4960, 300), 300u);
  EXPECT_EQ(PdevBandHeight(32, 100000), 76832u);
  EXPECT_EQ(PdevBandHeight(65535, 100000), 64u);
  EXPECT_EQ(PdevBandHeight(0, 100), 0u);
  EXPECT_EQ(PdevBandHeight(100, 0), 0u);
  for (auto [resolution, size] : {std::pair{2400u, 15u}, {1800u, 13u}, {1200u, 11u}, {900u, 9u}, {400u, 7u},
                                  {399u, 5u}, {180u, 5u}, {179u, 3u}})
    EXPECT_EQ(PdevHalftonePatternSize(resolution), size) << resolution;
}

TEST_F(PdevSettingsTest, TheCallerSizesBoundWhatIsWritten) {
  GDIINFO gdi;
  DEVINFO info;
  std::memset(&gdi, 0xAB, sizeof gdi);
  std::memset(&info, 0xAB, sizeof info);
  CtxFlushCache(1);
  auto* pdev = reinterpret_cast<RenderPdev*>(DrvEnablePDEV(nullptr, nullptr, 0, nullptr, 8,
                                                          reinterpret_cast<ULONG*>(&gdi), 4, &info, hdev_,
                                                          nullptr, printer_));
  ASSERT_NE(pdev, nullptr);
  EXPECT_EQ(gdi.ulVersion, 0x500u);
  EXPECT_EQ(gdi.ulTechnology, DT_RASPRINTER);
  EXPECT_EQ(gdi.ulHorzSize, 0xABABABABu);
  EXPECT_EQ(info.flGraphicsCaps, 0x1Fu | GCAPS_DONTJOURNAL);
  EXPECT_EQ(info.lfDefaultFont.lfHeight, static_cast<LONG>(0xABABABAB));
  DrvDisablePDEV(reinterpret_cast<DHPDEV>(pdev));
}

TEST_F(PdevSettingsTest, APageWithoutAUsableSizeHasNoPdevAndAFailedAssociateNoSurface) {
  // A user paper of no size that no public field marks (the merge derives none), and pages
  // larger than the model's largest paper (21590 dots at 1200 dpi: 10795 at 600).
  const std::vector<std::pair<WORD, DWORD>> unusable[] = {
      {{6, 0}, {8, 384}, {44, 0}, {45, 0}, {46, 0}, {47, 0}, {183, 1}},
      {{6, 0}, {8, 384}, {44, 1000}, {45, 1000}, {46, 800}, {47, 0}, {183, 1}},
      {{6, 0}, {8, 384}, {44, 10796}, {45, 1000}, {46, 800}, {47, 800}, {183, 1}},
      {{6, 0}, {8, 384}, {44, 1000}, {45, 1000}, {46, 800}, {47, 52629}, {183, 1}},
  };
  for (const auto& items : unusable) {
    g_testItems = items;
    EXPECT_EQ(Enable(), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
  g_testItems = {{6, 0}, {8, 384}, {44, 10795}, {45, 10795}, {46, 10795}, {47, 10795}, {183, 1}};
  RenderPdev* pdev = Enable();
  ASSERT_NE(pdev, nullptr);  // the largest paper itself is usable
  DrvDisablePDEV(reinterpret_cast<DHPDEV>(pdev));

  // A surface the engine will not associate is deleted again.
  g_testItems = SmallPage();
  pdev = Enable();
  ASSERT_NE(pdev, nullptr);
  platform::EngineFaults faults;
  faults.failAssociate = true;
  platform::SetEngineFaults(faults);
  EXPECT_EQ(DrvEnableSurface(reinterpret_cast<DHPDEV>(pdev)), nullptr);
  platform::SetEngineFaults({});
  EXPECT_EQ(platform::LiveEngineObjects().surfaces, 0u);
  DrvDisablePDEV(reinterpret_cast<DHPDEV>(pdev));
}

}  // namespace
}  // namespace velm::test
