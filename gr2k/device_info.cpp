// What DrvEnablePDEV tells the engine about the device (GDIINFO, DEVINFO and the default
// palette) and the band a raster page is drawn in.
#include <algorithm>
#include <cstring>

#include "gr2k/pdev.h"
#include "settings/items/store.h"

namespace {

constexpr ULONG kGdiVersion = 0x500;
constexpr FLONG kTextCaps = 0x581F;
constexpr FLONG kRasterGraphicsCaps = 0x430;
constexpr FLONG kVectorGraphicsCaps = 0x1F;
constexpr FLONG kOneBitPaletteCaps = 0x800000;
constexpr DWORD kAllColors = 0xFFFFFF;
constexpr DWORD kBandBudgetBytes = 307200;
constexpr BYTE kFontPrecisionString = 1;
constexpr BYTE kFontClipStroke = 2;
constexpr BYTE kFontFixedRoman = 0x11;
// The device's default face: "明朝".
constexpr WCHAR kDefaultFontFace[] = WSTR("\u660E\u671D");

// Device colours: the primaries and secondaries as CIE chromaticities, the white point, the
// gammas and the dye impurities, as the halftoning of the engine expects them.
constexpr COLORINFO kDeviceColors = {
    {6380, 3350, 0}, {2345, 6075, 0}, {1410, 932, 0}, {2000, 2450, 0},
    {5210, 2100, 0}, {4750, 5100, 0}, {3127, 3290, 0}, 12500, 12500, 12500,
    585,             120,             0,              0,              0,  10000,
};

struct CodePageCharset {
  USHORT codePage;
  BYTE charset;
};
constexpr CodePageCharset kCharsets[] = {
    {1252, ANSI_CHARSET},   {932, SHIFTJIS_CHARSET},   {949, HANGUL_CHARSET}, {1361, JOHAB_CHARSET},
    {936, GB2312_CHARSET}, {950, CHINESEBIG5_CHARSET}, {1255, HEBREW_CHARSET},
};

BYTE CurrentCharset() {
  USHORT oem = 0, ansi = 0;
  EngGetCurrentCodePage(&oem, &ansi);
  for (const CodePageCharset& row : kCharsets)
    if (row.codePage == ansi) return row.charset;
  return ANSI_CHARSET;
}

// Colour depth and palette size: 1-bit rasters, 24-bit vector colour, 8-bit otherwise; vector
// colour mode 1 claims one bit but a palette of 8 (or 2) colours.
void FillColorDepth(const PdevSettings& s, GDIINFO& gdi) {
  struct Depth {
    ULONG bits, planes, colors, paletteEntries;
  };
  Depth depth{8, 3, kAllColors, kAllColors};
  if (s.rasterMode) {
    if (s.colorMode == 1 && s.colorChoice == 1) depth = {1, 1, 2, 2};
  } else if (s.colorMode == 1) {
    depth = s.colorChoice == 2 ? Depth{1, 1, 8, 20} : Depth{1, 1, 2, 2};
  } else if (s.colorMode == 2) {
    depth = {24, 1, kAllColors, kAllColors};
  }
  gdi.cBitsPixel = depth.bits;
  gdi.cPlanes = depth.planes;
  gdi.ulNumColors = depth.colors;
  gdi.ulNumPalReg = depth.paletteEntries;
}

void FillDefaultFont(const RenderPdev* pdev, LOGFONTW& font) {
  const PdevSettings& s = pdev->settings;
  font = LOGFONTW{};
  if (s.rasterMode || s.language != 0 || s.defaultFace[0] == 0) return;
  const LONG resolution = static_cast<LONG>(s.resolution);
  font.lfHeight = (resolution * 10 + resolution / 2) / 72;
  font.lfWidth = font.lfHeight / 2;
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = CurrentCharset();
  font.lfOutPrecision = kFontPrecisionString;
  font.lfClipPrecision = kFontClipStroke;
  font.lfQuality = 0;
  font.lfPitchAndFamily = kFontFixedRoman;
  std::memcpy(font.lfFaceName, kDefaultFontFace, sizeof kDefaultFontFace);
}

}  // namespace

ULONG PdevHalftonePatternSize(DWORD resolution) {
  struct Step {
    DWORD from;
    ULONG size;
  };
  constexpr Step kSteps[] = {{2400, 15}, {1800, 13}, {1200, 11}, {900, 9}, {400, 7}, {180, 5}};
  ULONG size = 3;
  for (const Step& step : kSteps) {
    if (resolution >= step.from) {
      size = step.size;
      break;
    }
  }
  return size > 15 ? 5 : size;
}

DWORD PdevBandHeight(DWORD width, DWORD height) {
  if (width == 0 || height == 0) return 0;
  const DWORD rowBytes = (width / 32 + ((width % 32) != 0)) * 4;
  DWORD lines = (kBandBudgetBytes / rowBytes / 32 + 1) * 32;
  if (lines == 0) lines = 2;
  return std::min(lines, height);
}

void PdevFillGdiInfo(RenderPdev* pdev, GDIINFO* out, ULONG size) {
  const PdevSettings& s = pdev->settings;
  const PageGeometry& g = pdev->geometry;
  GDIINFO gdi{};
  gdi.ulVersion = kGdiVersion;
  gdi.ulTechnology = DT_RASPRINTER;
  if (s.printArea == 2) {
    gdi.ulHorzSize = g.widthTenthMm / 10;
    gdi.ulVertSize = g.lengthTenthMm / 10;
  } else {
    gdi.ulHorzSize = static_cast<ULONG>(-static_cast<int64_t>(g.widthTenthMm) * 100);
    gdi.ulVertSize = static_cast<ULONG>(-static_cast<int64_t>(g.lengthTenthMm) * 100);
  }
  gdi.ulHorzRes = g.printableWidth;
  gdi.ulVertRes = g.printableLength;
  pdev->bandWidth = g.printableWidth;
  pdev->pageHeight = g.printableLength;
  FillColorDepth(s, gdi);
  gdi.flRaster = 0;
  gdi.ulLogPixelsX = gdi.ulLogPixelsY = s.resolution;
  gdi.ulAspectX = gdi.ulAspectY = s.resolution;
  gdi.flTextCaps = kTextCaps;
  gdi.ulAspectXY = s.resolution * 1414 / 1000;
  gdi.xStyleStep = 1;
  gdi.yStyleStep = 1;
  gdi.denStyleStep = static_cast<LONG>(s.resolution / 25);
  gdi.ptlPhysOffset = POINTL{static_cast<LONG>(g.xOffset), static_cast<LONG>(g.yOffset)};
  gdi.szlPhysSize = SIZEL{static_cast<LONG>(g.paperWidth), static_cast<LONG>(g.paperLength)};
  gdi.ciDevice = kDeviceColors;
  gdi.ulDevicePelsDPI = 0;
  gdi.ulPrimaryOrder = PRIMARY_ORDER_CBA;
  gdi.ulHTPatternSize = PdevHalftonePatternSize(s.resolution);
  gdi.ulHTOutputFormat = PdevIsOneBit(pdev) ? HT_FORMAT_1BPP : HT_FORMAT_24BPP;
  gdi.flHTFlags = HT_FLAG_HAS_BLACK_DYE;
  std::memcpy(out, &gdi, std::min<size_t>(size, sizeof gdi));
}

BOOL PdevFillDevInfo(RenderPdev* pdev, DEVINFO* out, ULONG size) {
  const PdevSettings& s = pdev->settings;
  DEVINFO info{};
  info.flGraphicsCaps = s.rasterMode ? kRasterGraphicsCaps : kVectorGraphicsCaps;
  if (!s.emfSpool) info.flGraphicsCaps |= GCAPS_DONTJOURNAL;
  if (s.colorChoice == 2 && s.icmProgram == 1 && s.icmType == 1) info.flGraphicsCaps |= GCAPS_ICM;
  FillDefaultFont(pdev, info.lfDefaultFont);
  info.lfAnsiVarFont = info.lfDefaultFont;
  info.lfAnsiFixFont = info.lfDefaultFont;
  info.cFonts = pdev->fontCount;

  if (pdev->palette) EngDeletePalette(pdev->palette);
  pdev->palette = nullptr;
  if (s.rasterMode && s.colorMode == 1 && s.colorChoice == 1) {
    // Entry 0 black, entry 1 white: a band filled with 0xFF bytes is a white page.
    ULONG entries[2] = {0x000000, 0xFFFFFF};
    const ULONG cell = 2 * (PdevHalftonePatternSize(s.resolution) / 2 + 1);
    info.flGraphicsCaps |= kOneBitPaletteCaps;
    info.iDitherFormat = BMF_1BPP;
    info.cxDither = info.cyDither = static_cast<USHORT>(cell);
    pdev->palette = EngCreatePalette(PAL_INDEXED, 2, entries, 0, 0, 0);
  } else {
    info.iDitherFormat = BMF_24BPP;
    pdev->palette = EngCreatePalette(PAL_BGR, 0, nullptr, 0, 0, 0);
  }
  if (!pdev->palette) return FALSE;
  info.hpalDefault = pdev->palette;
  std::memcpy(out, &info, std::min<size_t>(size, sizeof info));
  return TRUE;
}
