#include "gr2k/device_fonts.h"

#include <cstring>

#include "gr2k/pdev.h"

namespace {

// The four resident faces share one design: an em of 1000 units, the printer's 6 x 8 cell
// (half-width characters 750 units wide, full-width 1500), the baseline 875 units down.
constexpr FWORD kEm = 1000, kAscender = 875, kDescender = 125, kNarrow = 750, kWide = 1500;

struct DeviceFaceRow {
  const WCHAR* face;
  USHORT weight;
  BYTE pitchAndFamily;
};
const DeviceFaceRow kFaces[kDeviceFontCount] = {
    {WSTR("\xFF7A\xFF9E\xFF7C\xFF6F\xFF78"), FW_NORMAL, FIXED_PITCH | FF_MODERN},  // ｺﾞｼｯｸ
    {WSTR("\x660E\x671D"), FW_NORMAL, FIXED_PITCH | FF_ROMAN},                      // 明朝
    {WSTR("@\xFF7A\xFF9E\xFF7C\xFF6F\xFF78"), FW_NORMAL, FIXED_PITCH | FF_MODERN},
    {WSTR("@\x660E\x671D"), FW_NORMAL, FIXED_PITCH | FF_ROMAN},
};

// What the glyph sets cover: printable ASCII and the half-width katakana, handles the codes.
struct GlyphRun {
  WCHAR first;
  USHORT count;
};
constexpr GlyphRun kRuns[] = {{0x20, 0x5F}, {0xFF61, 0x3F}};
constexpr DWORD kRunCount = sizeof kRuns / sizeof kRuns[0];

size_t NameLength(const WCHAR* s) {
  size_t n = 0;
  while (s[n]) ++n;
  return n;
}

IFIMETRICS* BuildMetrics(RenderPdev* pdev, const DeviceFaceRow& row) {
  const size_t nameBytes = (NameLength(row.face) + 1) * sizeof(WCHAR);
  const size_t bytes = sizeof(IFIMETRICS) + ((nameBytes + 3) & ~size_t{3});
  auto* block = static_cast<BYTE*>(PdevMemAlloc(pdev->allocations, bytes));
  if (!block) return nullptr;
  std::memset(block, 0, bytes);
  IFIMETRICS ifi{};
  ifi.cjThis = static_cast<ULONG>(bytes);
  ifi.dpwszFamilyName = ifi.dpwszStyleName = ifi.dpwszFaceName = ifi.dpwszUniqueName = sizeof(IFIMETRICS);
  ifi.jWinCharSet = SHIFTJIS_CHARSET;
  ifi.jWinPitchAndFamily = row.pitchAndFamily;
  ifi.usWinWeight = row.weight;
  ifi.flInfo = FM_INFO_INTEGER_WIDTH | FM_INFO_CONSTANT_WIDTH | FM_INFO_DBCS_FIXED_PITCH | FM_INFO_RIGHT_HANDED;
  ifi.fwdUnitsPerEm = kEm;
  ifi.fwdLowestPPEm = 8;
  ifi.fwdWinAscender = ifi.fwdMacAscender = ifi.fwdTypoAscender = kAscender;
  ifi.fwdWinDescender = kDescender;
  ifi.fwdMacDescender = ifi.fwdTypoDescender = -kDescender;
  ifi.fwdAveCharWidth = kNarrow;
  ifi.fwdMaxCharInc = kWide;
  ifi.fwdCapHeight = kAscender;
  ifi.fwdXHeight = 625;
  ifi.fwdUnderscoreSize = 125;
  ifi.fwdUnderscorePosition = -125;
  ifi.fwdStrikeoutSize = 125;
  ifi.fwdStrikeoutPosition = 375;
  ifi.chFirstChar = 0x20;
  ifi.chLastChar = 0xDF;
  ifi.chDefaultChar = '?';
  ifi.chBreakChar = 0x20;
  ifi.wcFirstChar = 0x20;
  ifi.wcLastChar = 0xFF9F;
  ifi.wcDefaultChar = WCH('?');
  ifi.wcBreakChar = 0x20;
  ifi.ptlBaseline = POINTL{1, 0};
  ifi.ptlAspect = POINTL{1, 1};
  ifi.ptlCaret = POINTL{0, 1};
  ifi.rclFontBox = RECTL{0, kAscender, kWide, -kDescender};
  std::memcpy(block, &ifi, sizeof ifi);
  std::memcpy(block + sizeof ifi, row.face, nameBytes);
  return reinterpret_cast<IFIMETRICS*>(block);
}

FD_GLYPHSET* BuildGlyphSet(RenderPdev* pdev) {
  const size_t bytes = offsetof(FD_GLYPHSET, awcrun) + kRunCount * sizeof(WCRUN);
  auto* set = static_cast<FD_GLYPHSET*>(PdevMemAlloc(pdev->allocations, bytes));
  if (!set) return nullptr;
  std::memset(static_cast<void*>(set), 0, bytes);
  set->cjThis = static_cast<ULONG>(bytes);
  set->cRuns = kRunCount;
  for (DWORD i = 0; i < kRunCount; ++i) {
    set->awcrun[i] = WCRUN{kRuns[i].first, kRuns[i].count, nullptr};
    set->cGlyphsSupported += kRuns[i].count;
  }
  return set;
}

bool SameName(const WCHAR* a, const WCHAR* b) {
  while (*a && *a == *b) ++a, ++b;
  return *a == *b;
}

}  // namespace

DWORD DevFontTableLoad(RenderPdev* pdev) {
  pdev->fonts = nullptr;
  auto* table = static_cast<DevFontTable*>(PdevMemAlloc(pdev->allocations, sizeof(DevFontTable)));
  if (!table) return 0;
  std::memset(static_cast<void*>(table), 0, sizeof(DevFontTable));
  for (DWORD i = 0; i < kDeviceFontCount; ++i) {
    IFIMETRICS* metrics = BuildMetrics(pdev, kFaces[i]);
    if (!metrics) {
      for (DWORD j = 0; j < i; ++j) PdevMemFree(pdev->allocations, table->fonts[j].metrics);
      PdevMemFree(pdev->allocations, table);
      return 0;
    }
    const int index = DevFontFaceIndex(IfiFaceName(metrics));
    table->fonts[i] = DeviceFont{static_cast<BYTE>(index < 0 ? kFaceGothicVertical : index), metrics};
  }
  table->count = kDeviceFontCount;
  pdev->fonts = table;
  return table->count;
}

void DevFontTableFree(RenderPdev* pdev) {
  DevFontTable* table = pdev->fonts;
  pdev->fonts = nullptr;
  if (!table) return;
  for (const DeviceFont& font : table->fonts) PdevMemFree(pdev->allocations, font.metrics);
  for (FD_GLYPHSET* set : table->glyphSets) PdevMemFree(pdev->allocations, set);
  PdevMemFree(pdev->allocations, table);
}

const DeviceFont* DevFontAt(const RenderPdev* pdev, ULONG face) {
  if (!pdev->fonts || face < 1 || face > pdev->fonts->count) return nullptr;
  return &pdev->fonts->fonts[face - 1];
}

FD_GLYPHSET* DevFontGlyphSet(RenderPdev* pdev, BYTE kind) {
  if (!pdev->fonts) return nullptr;
  FD_GLYPHSET*& set = pdev->fonts->glyphSets[kind >= kFaceGothicVertical ? 1 : 0];
  if (!set) set = BuildGlyphSet(pdev);
  return set;
}

int DevFontFaceIndex(const WCHAR* face) {
  if (!face) return -1;
  for (DWORD i = 0; i < kDeviceFontCount; ++i) {
    if (SameName(face, kFaces[i].face)) return static_cast<int>(i);
  }
  return -1;
}

const WCHAR* IfiFaceName(const IFIMETRICS* ifi) {
  if (!ifi || ifi->dpwszFaceName <= 0 || static_cast<ULONG>(ifi->dpwszFaceName) >= ifi->cjThis) return WSTR("");
  return reinterpret_cast<const WCHAR*>(reinterpret_cast<const BYTE*>(ifi) + ifi->dpwszFaceName);
}

LONG DevFontGlyphWidth(const IFIMETRICS* ifi, HGLYPH code) {
  const bool narrow = code < 256 || code == 0x8640 || (code >> 8) == 0x85;
  return narrow ? ifi->fwdAveCharWidth : ifi->fwdMaxCharInc;
}
