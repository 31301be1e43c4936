// The device fonts as the library's resources: golden bytes of the metrics resources, the
// glyph sets' handles (code page 932 codes), and text in a device font carrying those handles.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "driver_fixture.h"
#include "gr2k/device_fonts.h"
#include "settings/context/process_state.h"

namespace velm::test {
namespace {

std::vector<BYTE> Resource(WORD type, WORD id) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(type));
  if (!found) return {};
  const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
  return std::vector<BYTE>(data, data + SizeofResource(module, found));
}

std::vector<BYTE> Slice(const std::vector<BYTE>& bytes, size_t at, size_t count) {
  if (at + count > bytes.size()) return {};
  return std::vector<BYTE>(bytes.begin() + at, bytes.begin() + at + count);
}

struct HeaderCase {
  WORD id;
  std::vector<BYTE> header;  // bytes 0..33 of the 72-byte header; the rest is zero
  size_t size;
};

TEST(DeviceFontResourceTest, MetricsResourcesHaveTheirHeaderBytes) {
  const HeaderCase cases[] = {
      // "VFNT", header 72, version 1, 268 bytes, IFIMETRICS at 72 of 196 bytes (184 + "ｺﾞｼｯｸ" and
      // its NUL), glyph set 2, code page 932, the face in code page 932.
      {1,
       {0x56, 0x46, 0x4E, 0x54, 0x48, 0x00, 0x01, 0x00, 0x0C, 0x01, 0x00, 0x00, 0x48, 0x00, 0x00, 0x00, 0xC4,
        0x00, 0x00, 0x00, 0x02, 0x00, 0xA4, 0x03, 0xBA, 0xDE, 0xBC, 0xAF, 0xB8, 0x00, 0x00, 0x00, 0x00, 0x00},
       268},
      // "@明朝": 184 + 8 bytes of name, glyph set 3.
      {4,
       {0x56, 0x46, 0x4E, 0x54, 0x48, 0x00, 0x01, 0x00, 0x08, 0x01, 0x00, 0x00, 0x48, 0x00, 0x00, 0x00, 0xC0,
        0x00, 0x00, 0x00, 0x03, 0x00, 0xA4, 0x03, 0x40, 0x96, 0xBE, 0x92, 0xA9, 0x00, 0x00, 0x00, 0x00, 0x00},
       264},
  };
  for (const HeaderCase& c : cases) {
    const std::vector<BYTE> bytes = Resource(kFontMetricsResourceType, c.id);
    ASSERT_EQ(bytes.size(), c.size) << c.id;
    EXPECT_EQ(Slice(bytes, 0, c.header.size()), c.header) << c.id;
    EXPECT_EQ(Slice(bytes, 34, 72 - 34), std::vector<BYTE>(72 - 34, 0)) << c.id;
  }
}

TEST(DeviceFontResourceTest, TheMetricsSitAtTheirIfiMetricsOffsets) {
  const std::vector<BYTE> bytes = Resource(kFontMetricsResourceType, 1);
  ASSERT_EQ(bytes.size(), 268u);
  const size_t ifi = 72;
  struct Field {
    size_t at;
    std::vector<BYTE> expected;
  };
  const Field fields[] = {
      {0, {0xC4, 0x00, 0x00, 0x00}},                          // cjThis 196
      {8, {0xB8, 0, 0, 0, 0xB8, 0, 0, 0, 0xB8, 0, 0, 0, 0xB8, 0, 0, 0}},  // the four names at 184
      {44, {0x80, 0x31, 0x90, 0x01}},                         // Shift-JIS, fixed modern, weight 400
      {48, {0x00, 0x18, 0x08, 0x10}},                         // integer, constant, right-handed, DBCS fixed
      {56, {0xE8, 0x03, 0x08, 0x00, 0x6B, 0x03, 0x7D, 0x00}}, // em 1000, 8 ppem, ascender 875, descender 125
      {76, {0xEE, 0x02, 0xDC, 0x05}},                         // 750 and 1500
      {100, {0x7D, 0x00, 0x83, 0xFF, 0x7D, 0x00, 0x77, 0x01}},  // underscore 125 at -125, strike-out 125 at 375
      {112, {0x20, 0x00, 0xE5, 0xFF}},                        // U+0020 .. U+FFE5
      {144, {0, 0, 0, 0, 0x6B, 0x03, 0, 0, 0xDC, 0x05, 0, 0, 0x83, 0xFF, 0xFF, 0xFF}},  // 0, 875, 1500, -125
      {184, {0x7A, 0xFF, 0x9E, 0xFF, 0x7C, 0xFF, 0x6F, 0xFF, 0x78, 0xFF, 0x00, 0x00}},
  };
  for (const Field& f : fields) EXPECT_EQ(Slice(bytes, ifi + f.at, f.expected.size()), f.expected) << f.at;
  // The Mincho faces are roman.
  EXPECT_EQ(Slice(Resource(kFontMetricsResourceType, 2), ifi + 45, 1), std::vector<BYTE>{0x11});
}

class DeviceFontTest : public DriverTest {};

HGLYPH HandleOf(const FD_GLYPHSET* set, WCHAR c) {
  for (ULONG i = 0; i < set->cRuns; ++i) {
    const WCRUN& run = set->awcrun[i];
    if (c >= run.wcLow && c - run.wcLow < run.cGlyphs) return run.phg[c - run.wcLow];
  }
  return 0xFFFFFFFF;
}

TEST_F(DeviceFontTest, GlyphSetsHandCodePage932Codes) {
  RenderPdev* pdev = Enable();
  ASSERT_NE(pdev, nullptr);
  const DHPDEV dh = reinterpret_cast<DHPDEV>(pdev);
  const auto* gothic = static_cast<const FD_GLYPHSET*>(DrvQueryFontTree(dh, 0, 1, QFT_GLYPHSET, nullptr));
  const auto* mincho = static_cast<const FD_GLYPHSET*>(DrvQueryFontTree(dh, 0, 2, QFT_GLYPHSET, nullptr));
  const auto* vertical = static_cast<const FD_GLYPHSET*>(DrvQueryFontTree(dh, 0, 3, QFT_GLYPHSET, nullptr));
  ASSERT_NE(gothic, nullptr);
  ASSERT_NE(vertical, nullptr);
  EXPECT_EQ(gothic, mincho);  // one set, loaded once, for kinds 0 and 1
  EXPECT_NE(gothic, vertical);
  const struct {
    WCHAR c;
    HGLYPH expected;
  } cases[] = {{u'A', 0x41}, {u'\uFF71', 0xB1}, {u'\u65E5', 0x93FA}, {u'\u3042', 0x82A0},
               {u'\u00A7', 0x8198}, {u'\uE000', 0xF040}, {u'\u0E01', 0xFFFFFFFF}};
  for (const auto& c : cases) {
    EXPECT_EQ(HandleOf(gothic, c.c), c.expected) << std::hex << unsigned{c.c};
    EXPECT_EQ(HandleOf(vertical, c.c), c.expected) << std::hex << unsigned{c.c};
  }
  // Half-width katakana are narrow, the double-byte characters wide: 24 pixels an em.
  FONTOBJ* font = platform::CreateDeviceFontObj(1, DrvQueryFont(dh, 0, 1, nullptr), XFORML{0.024f, 0, 0, 0.024f, 0, 0}, 600);
  HGLYPH glyphs[2] = {HandleOf(gothic, u'\uFF71'), HandleOf(gothic, u'\u65E5')};
  USHORT widths[2] = {};
  ASSERT_TRUE(DrvQueryAdvanceWidths(dh, font, 0, glyphs, widths, 2));
  EXPECT_EQ(widths[0], 288);
  EXPECT_EQ(widths[1], 576);
  platform::DeleteFontObj(font);
  DrvDisablePDEV(dh);
}

TEST_F(DeviceFontTest, ResidentTextCarriesTheDeviceCodes) {
  const platform::PrintResult result = PrintThroughHost("text 40 100 \"A\xEF\xBD\xB1\xE6\x97\xA5\" size=16 device=1\n", {});
  ASSERT_TRUE(result.ok) << result.error;
  const jobdump::Job job = JobOf(result);
  const auto runs = RecordsOf(job, 0x52);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0]->codes, (std::vector<uint16_t>{0x41, 0xB1, 0x93FA}));  // A, ｱ, 日
}

TEST_F(DeviceFontTest, TheFontsComeFromTheLibrarysOwnResources) {
  // The installed library carries them; a module without them gives no device font and keeps
  // nothing (the fixture counts the blocks).
  const HMODULE own = SysProcessState().module;
  const HMODULE library = LoadLibraryW(platform::kDefaultGraphicsDriver);
  const HMODULE without = LoadLibraryW(u"C:\\Windows\\System32\\spool\\drivers\\w32x86\\3\\qnoutlib.dll");
  ASSERT_NE(library, nullptr);
  ASSERT_NE(without, nullptr);
  for (const auto& [module, fonts] : {std::pair{library, kDeviceFontCount}, std::pair{without, DWORD{0}}}) {
    SysProcessState().module = module;
    RenderPdev* pdev = Enable();
    SysProcessState().module = own;
    ASSERT_NE(pdev, nullptr);
    EXPECT_EQ(devinfo_.cFonts, fonts);
    EXPECT_EQ(pdev->fonts != nullptr, fonts != 0);
    if (fonts) {
      EXPECT_NE(DrvQueryFontTree(reinterpret_cast<DHPDEV>(pdev), 0, 4, QFT_GLYPHSET, nullptr), nullptr);
    }
    DrvDisablePDEV(reinterpret_cast<DHPDEV>(pdev));
  }
  FreeLibrary(without);
  FreeLibrary(library);
}

TEST_F(DeviceFontTest, AJobNameIsWrittenInTheMachinesCodePage) {
  // The job-control text is read in the machine's code page: on a code page 932 machine a
  // name with half-width katakana and double-byte characters goes out in Shift-JIS.
  ASSERT_TRUE(platform::SetMachineSetting("codepage", "932"));
  const platform::PrintResult result = PrintThroughHost("", {}, u"A\uFF71\u65E5\u672C");
  ASSERT_TRUE(result.ok) << result.message;
  const jobdump::Job job = JobOf(result);
  ASSERT_GE(job.packets.size(), 2u);
  EXPECT_EQ(job.packets[1].text, "@PJL SET JOBNAME = \"A\xB1\x93\xFA\x96\x7B\"\r\n");
}

}  // namespace
}  // namespace velm::test
