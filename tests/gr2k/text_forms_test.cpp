// The text call's other forms, decoded from the job: glyph-index strings, vertical strings,
// the face "EUDC" and a strike-out, on the download path and the resident one.
#include <gtest/gtest.h>

#include "driver_fixture.h"
#include "gr2k/text_out.h"

namespace velm::test {
namespace {

class TextFormsTest : public DriverTest {
 protected:
  jobdump::Job Print(const std::string& pages, std::vector<tools::ItemAssignment> items) {
    const platform::PrintResult result = PrintThroughHost(pages, items);
    EXPECT_TRUE(result.ok) << result.error;
    return JobOf(result);
  }
  const std::vector<tools::ItemAssignment> kDownload = {{"vdmDeviceFontOK", "1"}, {"vdmDeviceFontOK2", "1"}};
};

TEST_F(TextFormsTest, GlyphRecordsCarryTheStringsKindInTheirFlags) {
  const jobdump::Job job = Print("text 40 100 \"AB\" size=16 glyphindex\ntext 40 140 \"C\" size=16\n", kDownload);
  const auto data = RecordsOf(job, 0x54);
  ASSERT_EQ(data.size(), 3u);
  EXPECT_EQ(data[0]->Get("flags"), 0x04);  // glyph indices
  EXPECT_EQ(data[2]->Get("flags"), 0x08);  // characters
  const auto placed = RecordsOf(job, 0x55);
  ASSERT_EQ(placed.size(), 2u);
  EXPECT_EQ(placed[0]->Get("flags"), 0x04);
  EXPECT_EQ(placed[1]->Get("flags"), 0x08);
}

TEST_F(TextFormsTest, AVerticalStringGoesGlyphByGlyphDownTheColumn) {
  const jobdump::Job job = Print("text 40 100 \"AB\" size=16 vertical\n", kDownload);
  const auto selects = RecordsOf(job, 0x56);
  ASSERT_EQ(selects.size(), 1u);
  EXPECT_EQ(selects[0]->Get("style") & 0x0040, 0x0040);  // the direction bit
  EXPECT_TRUE(RecordsOf(job, 0x55).empty());
  const auto glyphs = RecordsOf(job, 0x53);
  ASSERT_EQ(glyphs.size(), 2u);
  // Cells of 16 pixels (ascent 14, descent 2) one under the other; the record's point is the
  // baseline moved up by the ascent.
  EXPECT_EQ(glyphs[0]->Get("x"), 40);
  EXPECT_EQ(glyphs[0]->Get("y"), 100 - 14);
  EXPECT_EQ(glyphs[1]->Get("y"), 116 - 14);
  EXPECT_EQ(glyphs[1]->Get("originy"), 116 - 14);
}

TEST_F(TextFormsTest, TheEudcFaceIsNeverCached) {
  const jobdump::Job job = Print("text 40 100 \"AA\" size=16 face=EUDC\n", kDownload);
  EXPECT_TRUE(RecordsOf(job, 0x53).empty());
  EXPECT_TRUE(RecordsOf(job, 0x54).empty());
  ASSERT_EQ(RecordsOf(job, 0x57).size(), 2u);  // the same glyph twice, bitmap each time
  const auto selects = RecordsOf(job, 0x56);
  ASSERT_EQ(selects.size(), 1u);
  EXPECT_EQ(selects[0]->face, u"EUDC");
}

TEST_F(TextFormsTest, WithEudcOnTheEudcFaceIsDrawnAsOutlines) {
  const jobdump::Job job = Print("text 40 100 \"AB\" size=16 face=EUDC\n", {{"361", "1"}});
  const auto selects = RecordsOf(job, 0x50);
  ASSERT_EQ(selects.size(), 1u);
  EXPECT_EQ(selects[0]->Get("kind"), kFontKindOutline);
  EXPECT_EQ(selects[0]->face.substr(0, 5), u"EUDC_");  // the font's identifier appended
  EXPECT_EQ(RecordsOf(job, 0x51).size(), 2u);
}

TEST_F(TextFormsTest, AStrikeOutFollowsTheUnderline) {
  const jobdump::Job job = Print("text 40 100 \"Strike\" size=16 underline strikeout\n", {});
  const auto rects = RecordsOf(job, 0x10);
  ASSERT_EQ(rects.size(), 2u);
  // Six cells of 12 pixels from x 40; the underline a pixel under the baseline, the strike-out
  // 3/8 of the size above it, each 2 pixels thick.
  EXPECT_EQ(rects[0]->Get("top"), 101);
  EXPECT_EQ(rects[1]->Get("left"), 40);
  EXPECT_EQ(rects[1]->Get("right"), 112);
  EXPECT_EQ(rects[1]->Get("top"), 94);
  EXPECT_EQ(rects[1]->Get("bottom"), 96);
}

TEST_F(TextFormsTest, TurnedTextGoesGlyphByGlyph) {
  // Resident: the select carries the turn (the transform's angle of -90 negated), then one 0x51
  // per glyph at its baseline point moved by the ascent (14) along the turn.
  jobdump::Job job = Print("text 40 100 \"AB\" size=16 rotate=90\n", {});
  auto selects = RecordsOf(job, 0x50);
  ASSERT_EQ(selects.size(), 1u);
  EXPECT_EQ(selects[0]->Get("rotation"), 90);
  auto glyphs = RecordsOf(job, 0x51);
  ASSERT_EQ(glyphs.size(), 2u);
  EXPECT_EQ(glyphs[0]->Get("x"), 40 - 14);
  EXPECT_EQ(glyphs[0]->Get("y"), 100);
  EXPECT_EQ(glyphs[1]->Get("y"), 100 - 12);  // the next cell up the page
  // Downloaded: rotated strings are never placed.
  job = Print("text 40 100 \"AB\" size=16 rotate=180\n", kDownload);
  EXPECT_TRUE(RecordsOf(job, 0x55).empty());
  EXPECT_EQ(RecordsOf(job, 0x53).size(), 2u);
}

TEST_F(TextFormsTest, MirroredTextIsOutlinedOrSentUncached) {
  jobdump::Job job = Print("text 40 100 \"AB\" size=16 mirror\n", {});
  auto selects = RecordsOf(job, 0x50);
  ASSERT_EQ(selects.size(), 1u);
  EXPECT_EQ(selects[0]->Get("kind"), kFontKindOutline);
  EXPECT_EQ(RecordsOf(job, 0x51).size(), 2u);
  job = Print("text 40 100 \"AA\" size=16 mirror\n", kDownload);
  EXPECT_EQ(RecordsOf(job, 0x57).size(), 2u);
  EXPECT_TRUE(RecordsOf(job, 0x54).empty());
  // Mirrored and turned a quarter: the diagonal is 0, the mirror is still seen.
  job = Print("text 40 100 \"AB\" size=16 mirror rotate=90\n", {});
  selects = RecordsOf(job, 0x50);
  ASSERT_EQ(selects.size(), 1u);
  EXPECT_EQ(selects[0]->Get("kind"), kFontKindOutline);
}

}  // namespace
}  // namespace velm::test
