// Text in vector mode: the records of the resident, device-font and downloaded paths, decoded
// from the job, and the font queries' figures worked out by hand.
#include <gtest/gtest.h>

#include "driver_fixture.h"
#include "gr2k/device_fonts.h"
#include "gr2k/text_out.h"
#include "job_render.h"

namespace velm::test {
namespace {

using jobdump::Record;

class TextOutTest : public DriverTest {
 protected:
  jobdump::Job Print(const std::string& pages, std::vector<tools::ItemAssignment> items = {}) {
    const platform::PrintResult result = PrintThroughHost(pages, items);
    EXPECT_TRUE(result.ok) << result.error;
    return JobOf(result);
  }

  // The records this process's PDEV holds in its stream, decoded.
  static std::vector<Record> Buffered(RenderPdev* pdev) {
    const CommandStream& s = pdev->stream;
    std::vector<Record> records;
    std::string error;
    EXPECT_TRUE(jobdump::DecodeRecords(s.firstData, static_cast<size_t>(s.first.write - s.firstData), &records, &error))
        << error;
    return records;
  }
  static size_t Count(const std::vector<Record>& records, uint8_t opcode) {
    size_t n = 0;
    for (const Record& r : records) n += r.opcode == opcode;
    return n;
  }
};

TEST_F(TextOutTest, AFixedPitchStringIsOneRunWithOneStep) {
  const jobdump::Job job = Print("text 40 100 \"Velm\" size=16\n");
  const auto selects = RecordsOf(job, 0x50);
  ASSERT_EQ(selects.size(), 1u);
  EXPECT_EQ(selects[0]->Get("kind"), kFontKindResident);
  EXPECT_EQ(selects[0]->Get("height"), 16);
  EXPECT_EQ(selects[0]->Get("style") & 0x2208, 0x0008);  // resident: 0x0008 alone of the kind bits
  const auto runs = RecordsOf(job, 0x52);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0]->steps, (std::vector<uint16_t>{12}));  // 6 units of 2 pixels
  EXPECT_EQ(runs[0]->codes, (std::vector<uint16_t>{'V', 'e', 'l', 'm'}));
  EXPECT_EQ(runs[0]->Get("x"), 40);
  EXPECT_EQ(runs[0]->Get("y"), 100 - 14);  // the cell top: 7 units above the baseline
}

TEST_F(TextOutTest, ADeviceFontIsSelectedByItsFaceName) {
  const jobdump::Job job = Print("text 40 100 \"AB\" size=16 device=1\ntext 40 140 \"C\" size=24 device=2\n");
  const auto selects = RecordsOf(job, 0x50);
  ASSERT_EQ(selects.size(), 2u);
  EXPECT_EQ(selects[0]->face, u"\uFF7A\uFF9E\uFF7C\uFF6F\uFF78");
  EXPECT_EQ(selects[1]->face, u"\u660E\u671D");
  EXPECT_EQ(selects[1]->Get("height"), 24);
  const auto runs = RecordsOf(job, 0x52);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0]->steps, (std::vector<uint16_t>{12}));  // 750 of 1000 units at 16 pixels
  EXPECT_EQ(runs[1]->Get("y"), 140 - 21);                  // 875 of 1000 units at 24 pixels
}

TEST_F(TextOutTest, DownloadedGlyphsGoOncePerPageAndArePlaced) {
  const jobdump::Job job =
      Print("text 40 100 \"ABA\" size=16 underline\npage\ntext 40 100 \"AB\" size=16\n", {{"vdmDeviceFontOK", "1"}, {"vdmDeviceFontOK2", "1"}});
  ASSERT_EQ(RecordsOf(job, 0x56).size(), 2u);
  std::vector<size_t> perPage(3);
  for (const Record* r : RecordsOf(job, 0x54)) ++perPage[r->page];
  EXPECT_EQ(perPage[1], 2u);  // A and B, A once
  EXPECT_EQ(perPage[2], 2u);  // downloaded again on the next page
  const auto placed = RecordsOf(job, 0x55);
  ASSERT_EQ(placed.size(), 2u);
  ASSERT_EQ(placed[0]->placed.size(), 3u);
  EXPECT_EQ(placed[0]->placed[0].dx, 0);
  EXPECT_EQ(placed[0]->placed[1].dx, 12);
  EXPECT_EQ(placed[0]->placed[2].code, 'A');
  EXPECT_EQ(placed[0]->Get("y"), 100 - 14);
  // The underline follows the glyphs as a filled rectangle.
  EXPECT_FALSE(RecordsOf(job, 0x10).empty());
  EXPECT_TRUE(jobrender::DrawJob(job).problems.empty());
}

TEST_F(TextOutTest, TheSelectAndTheGlyphsAreSentOncePerPageForOneFont) {
  g_testItems.push_back({kItemDeviceFontOK, 1});
  g_testItems.push_back({kItemDeviceFontOK2, 1});
  RenderPdev* pdev = Enable();
  ASSERT_NE(pdev, nullptr);
  FONTOBJ* font = platform::CreateEngineFontObj(16, 600);
  STROBJ* first = platform::CreateStrObj(font, u"AB", POINTL{10, 50});
  STROBJ* second = platform::CreateStrObj(font, u"BA", POINTL{10, 80});
  BRUSHOBJ brush{0, nullptr, 0};
  ASSERT_TRUE(TxtTextOut(pdev, first, font, nullptr, nullptr, nullptr, &brush, nullptr, 0x0D0D));
  ASSERT_TRUE(TxtTextOut(pdev, second, font, nullptr, nullptr, nullptr, &brush, nullptr, 0x0D0D));
  std::vector<Record> records = Buffered(pdev);
  EXPECT_EQ(Count(records, 0x56), 1u);
  EXPECT_EQ(Count(records, 0x54), 2u);
  EXPECT_EQ(Count(records, 0x55), 2u);
  // A new page forgets both.
  StrmReset(&pdev->stream);
  GraphicsStateCacheReset(&pdev->cache);
  GlyphCacheClear(&pdev->glyphs);
  ASSERT_TRUE(TxtTextOut(pdev, second, font, nullptr, nullptr, nullptr, &brush, nullptr, 0x0D0D));
  records = Buffered(pdev);
  EXPECT_EQ(Count(records, 0x56), 1u);
  EXPECT_EQ(Count(records, 0x54), 2u);
  platform::DeleteStrObj(first);
  platform::DeleteStrObj(second);
  platform::DeleteFontObj(font);
  DrvDisablePDEV(reinterpret_cast<DHPDEV>(pdev));
}

// The engine's face with device fonts off: its handles are characters, sent as code page 932
// codes (half-width katakana one byte, 漢 0x8A 0xBF); a string holding a character that code
// page lacks goes as outlines instead.
TEST_F(TextOutTest, TheEngineFaceSendsResidentCodesInTheDeviceCodePage) {
  const struct {
    const char* text;
    int kind;
    std::vector<uint16_t> residentCodes;
  } cases[] = {
      {"\"\uFF71\uFF72\u6F22\"", kFontKindResident, {0xB1, 0xB2, 0x8ABF}},
      {"\"A\uFF71 \u6F22\"", kFontKindResident, {'A', 0xB1, ' ', 0x8ABF}},
      {"\"\u00E9\u6F22\"", kFontKindOutline, {}},
  };
  for (const auto& c : cases) {
    const jobdump::Job job = Print(std::string("text 40 100 ") + c.text + " size=16\n");
    const auto selects = RecordsOf(job, 0x50);
    ASSERT_EQ(selects.size(), 1u) << c.text;
    EXPECT_EQ(selects[0]->Get("kind"), c.kind) << c.text;
    std::vector<uint16_t> codes;
    for (const Record* r : RecordsOf(job, 0x52)) codes.insert(codes.end(), r->codes.begin(), r->codes.end());
    size_t outlines = 0;
    for (const Record* r : RecordsOf(job, 0x51)) {
      if (r->Has("figure")) ++outlines;
      else codes.push_back(static_cast<uint16_t>(r->Get("code")));
    }
    EXPECT_EQ(codes, c.residentCodes) << c.text;
    EXPECT_EQ(outlines, c.kind == kFontKindOutline ? 2u : 0u) << c.text;
  }
}

TEST_F(TextOutTest, FontQueriesAnswerHandWorkedFigures) {
  RenderPdev* pdev = Enable();
  ASSERT_NE(pdev, nullptr);
  ASSERT_EQ(devinfo_.cFonts, kDeviceFontCount);
  const DHPDEV dh = reinterpret_cast<DHPDEV>(pdev);
  IFIMETRICS* ifi = DrvQueryFont(dh, 0, 1, nullptr);
  ASSERT_NE(ifi, nullptr);
  EXPECT_EQ(DrvQueryFont(dh, 0, 5, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_NE(DrvQueryFontTree(dh, 0, 3, QFT_GLYPHSET, nullptr), nullptr);
  EXPECT_EQ(DrvQueryFontTree(dh, 0, 1, QFT_LIGATURES, nullptr), nullptr);
  // 24 pixels an em: (4096, 0) becomes 98.304 pixels, 1572 in 28.4.
  FONTOBJ* font = platform::CreateDeviceFontObj(1, ifi, XFORML{0.024f, 0, 0, 0.024f, 0, 0}, 600);
  HGLYPH glyphs[3] = {'A', 0x8640, 0x82A0};
  USHORT widths[3] = {};
  ASSERT_TRUE(DrvQueryAdvanceWidths(dh, font, 0, glyphs, widths, 3));
  EXPECT_EQ(widths[0], 288);  // (750 * 1572 >> 12) = 287, + 8, & ~15
  EXPECT_EQ(widths[1], 288);
  EXPECT_EQ(widths[2], 576);  // (1500 * 1572 >> 12) = 575, + 8, & ~15
  EXPECT_FALSE(DrvQueryAdvanceWidths(dh, font, 2, glyphs, widths, 3));
  EXPECT_EQ(DrvQueryFontData(dh, font, QFD_MAXEXTENTS, 0, nullptr, nullptr, 0), 124);
  FD_DEVICEMETRICS metrics{};
  ASSERT_EQ(DrvQueryFontData(dh, font, QFD_MAXEXTENTS, 0, nullptr, &metrics, sizeof metrics), 124);
  EXPECT_EQ(metrics.cxMax, 576u);                 // 1500 units: 36 pixels, 576 in 28.4
  EXPECT_EQ(metrics.fxMaxAscender, 336);           // 875 units: 21 pixels
  EXPECT_EQ(metrics.fxMaxDescender, 48);           // 125 units: 3 pixels
  GLYPHDATA data{};
  EXPECT_EQ(DrvQueryFontData(dh, font, QFD_GLYPHANDBITMAP, 'A', nullptr, nullptr, 0), 0);
  ASSERT_EQ(DrvQueryFontData(dh, font, QFD_GLYPHANDBITMAP, 'A', &data, nullptr, 0), 0);
  EXPECT_EQ(data.fxD, 288);
  EXPECT_EQ(data.fxInkTop, 336);
  EXPECT_EQ(data.fxInkBottom, -48);
  EXPECT_EQ(DrvQueryFontData(dh, font, 7, 'A', &data, nullptr, 0), -1);
  platform::DeleteFontObj(font);
  DrvDisablePDEV(dh);
}

}  // namespace
}  // namespace velm::test
