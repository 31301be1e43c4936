// The line buffer (growth, counted NULs, whole-or-nothing appends) and the watermark lines of a
// stamp built through the shipped description and through nodes of odd shapes.
#include <gtest/gtest.h>

#include <string>

#include "core/memory.h"
#include "exclude/line_buffer.h"
#include "exclude/watermark_lines.h"
#include "settings/devmode/item_checks_fixture.h"

namespace {

std::string Text(const ExcLineBuffer& b) { return std::string(b.text, b.length); }

class LineBufferTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(ExcLineBufferInit(&buffer_)); }
  void TearDown() override {
    velm::platform::SetAllocationFault(0);
    ExcLineBufferFree(&buffer_);
  }
  bool ZeroFrom(DWORD at) const {
    for (DWORD i = at; i < buffer_.capacity; ++i)
      if (buffer_.text[i]) return false;
    return true;
  }
  ExcLineBuffer buffer_{};
};

TEST_F(LineBufferTest, GrowsIn4096StepsKeepingTheTextAndAZeroTail) {
  EXPECT_EQ(buffer_.capacity, 4096u);
  EXPECT_TRUE(ZeroFrom(0));
  const std::string first(4095, 'a');
  ASSERT_TRUE(ExcLineBufferAppend(&buffer_, first.data(), DWORD(first.size())));
  EXPECT_EQ(buffer_.capacity, 4096u);  // 4095 bytes and the NUL fit
  ASSERT_TRUE(ExcLineBufferAppendString(&buffer_, "b"));
  EXPECT_EQ(buffer_.capacity, 8192u);
  EXPECT_EQ(Text(buffer_), first + "b");
  EXPECT_TRUE(ZeroFrom(4096));
  const std::string big(10000, 'c');
  ASSERT_TRUE(ExcLineBufferAppend(&buffer_, big.data(), DWORD(big.size())));
  EXPECT_EQ(buffer_.capacity, 16384u);  // 14096 + NUL, rounded up to the step
  EXPECT_EQ(Text(buffer_), first + "b" + big);
}

TEST_F(LineBufferTest, ListsCountEveryNulAndLinesHaveTheirBlanks) {
  ASSERT_TRUE(ExcLineBufferAppendSetLine(&buffer_, "COPIES", "3"));
  EXPECT_EQ(Text(buffer_), "@PJL SET COPIES = 3 \r\n");
  ExcLineBufferTruncate(&buffer_, 0);
  EXPECT_TRUE(ZeroFrom(0));
  ASSERT_TRUE(ExcLineBufferAppendListEntry(&buffer_, "A4"));
  ASSERT_TRUE(ExcLineBufferAppendListEntry(&buffer_, ""));
  ASSERT_TRUE(ExcLineBufferAppendNul(&buffer_));
  EXPECT_EQ(Text(buffer_), std::string("A4\0\0\0", 5));
  ExcLineBufferTruncate(&buffer_, 99);  // past the end: nothing
  EXPECT_EQ(buffer_.length, 5u);
}

TEST_F(LineBufferTest, RefusedGrowthLeavesTheBufferAsItWas) {
  ASSERT_TRUE(ExcLineBufferAppendString(&buffer_, "keep"));
  EXPECT_FALSE(ExcLineBufferReserve(&buffer_, 0xFFFFFFFFu));  // would wrap a 32-bit size
  EXPECT_FALSE(ExcLineBufferReserve(&buffer_, kExcLineBufferMaxBytes));
  const std::string big(5000, 'x');
  velm::platform::SetAllocationFault(1);
  EXPECT_FALSE(ExcLineBufferAppend(&buffer_, big.data(), DWORD(big.size())));
  velm::platform::SetAllocationFault(1);
  EXPECT_FALSE(ExcLineBufferAppendSetLine(&buffer_, "NAME", big.c_str()));
  velm::platform::SetAllocationFault(0);
  EXPECT_EQ(Text(buffer_), "keep");
  EXPECT_EQ(buffer_.capacity, 4096u);
  EXPECT_TRUE(ZeroFrom(4));
  EXPECT_FALSE(ExcLineBufferAppendString(&buffer_, nullptr));
  EXPECT_FALSE(ExcLineBufferInit(nullptr));
  ExcLineBufferFree(nullptr);
}

// ---- Watermark lines --------------------------------------------------------------------------

constexpr WORD kOpaque = 110, kDensity = 112, kEffect = 113, kPosition = 114, kPageRange = 116, kStartPage = 117,
               kEndPage = 118, kAngle = 119, kFontName = 121, kFontPoint = 122, kRed = 124, kGreen = 125, kBlue = 126,
               kFontStyle = 127, kImageScale = 128, kStampText = 869, kStampImage = 870;

class WaterMarkLinesTest : public ItemCheckTest {
 protected:
  void SetUp() override {
    ItemCheckTest::SetUp();
    UseDescription(velm::test::ShippedDescriptionText());
    ASSERT_TRUE(ExcLineBufferInit(&buffer_));
    // A text stamp: "DRAFT" in 48-point bold Arial, red, at 45 degrees.
    const std::pair<WORD, DWORD> values[] = {{kOpaque, 1},    {kDensity, 80}, {kEffect, 2},     {kPosition, 0},
                                             {kStartPage, 2}, {kEndPage, 5},  {kAngle, 45},     {kFontPoint, 48},
                                             {kRed, 255},     {kGreen, 0},    {kBlue, 0},       {kFontStyle, 1},
                                             {kImageScale, 150}};
    for (const auto& [id, value] : values) Set(id, value);
    SetText(kStampText, u"DRAFT");
    SetText(kFontName, u"Arial");
    SetText(kStampImage, u"C:\\LOGO.BMP");
  }
  void TearDown() override {
    velm::platform::SetAllocationFault(0);
    ExcLineBufferFree(&buffer_);
    ItemCheckTest::TearDown();
  }
  void SetText(WORD id, const std::u16string& text) { ASSERT_TRUE(OptSetString(context_, Row(id), text.c_str())); }
  std::string Build(int kind) {
    ExcLineBufferTruncate(&buffer_, 0);
    EXPECT_EQ(ExcBuildWaterMarkLines(&buffer_, context_, kind), 0);
    return Text(buffer_);
  }

  ExcLineBuffer buffer_{};
};

const std::string kTextLook =
    "@PJL SET WMKPOSITION = CENTER \r\n@PJL SET WMKOPAQUE = ON \r\n@PJL SET WMKDENSITY = 80 \r\n"
    "@PJL SET WMKEFFECT = SHADOW \r\n@PJL SET WMKANGLE = 45 \r\n@PJL SET WMKFONTNAME = \"Arial\" \r\n"
    "@PJL SET WMKFONTSIZE = 48 \r\n@PJL SET WMKFONTSTYLE = BOLD \r\n@PJL SET WMKCOLORR = 255 \r\n"
    "@PJL SET WMKCOLORG = 0 \r\n@PJL SET WMKCOLORB = 0 \r\n";

TEST_F(WaterMarkLinesTest, TextStampWithoutAndWithItsPageRange) {
  EXPECT_EQ(Build(kExcWaterMarkText), "@PJL SET WMKCHAR = \"DRAFT\" \r\n@PJL SET WMKPAGE = OFF \r\n"
                                      "@PJL SET WMKORDER = PAPER \r\n" + kTextLook + std::string(1, '\0'));
  Set(kPageRange, 1);
  EXPECT_EQ(Build(kExcWaterMarkText), "@PJL SET WMKCHAR = \"DRAFT\" \r\n@PJL SET WMKPAGE = ON \r\n"
                                      "@PJL SET WMKSTARTPAGE = 2 \r\n@PJL SET WMKENDPAGE = 5 \r\n"
                                      "@PJL SET WMKORDER = PAPER \r\n" + kTextLook + std::string(1, '\0'));
}

TEST_F(WaterMarkLinesTest, ImageStampTakesOnlyItsRows) {
  EXPECT_EQ(Build(kExcWaterMarkImage), "@PJL SET WMKIMAGE = \"C:\\LOGO.BMP\" \r\n@PJL SET WMKPAGE = OFF \r\n"
                                       "@PJL SET WMKORDER = PAPER \r\n@PJL SET WMKPOSITION = CENTER \r\n"
                                       "@PJL SET WMKOPAQUE = ON \r\n@PJL SET WMKSCALE = 150 \r\n" +
                                           std::string(1, '\0'));
}

TEST_F(WaterMarkLinesTest, RowsWithoutTextAreTakenBackWhole) {
  // An empty font name and a position the description does not name leave no trace; the
  // keyword line is there whatever else is missing.
  SetText(kFontName, u"");
  Set(kPosition, 3);
  const std::string text = Build(kExcWaterMarkText);
  EXPECT_EQ(text.find("WMKFONTNAME"), std::string::npos);
  EXPECT_EQ(text.find("WMKPOSITION"), std::string::npos);
  EXPECT_NE(text.find("@PJL SET WMKOPAQUE = ON \r\n@PJL SET WMKDENSITY = 80 \r\n"), std::string::npos);
  EXPECT_NE(text.find("@PJL SET WMKORDER = PAPER \r\n"), std::string::npos);
  // A page-range row that writes nothing skips nothing: the page rows follow.
  UseDescription("*FileVersion: 3.60\n"
                 "*OpenUI *ZMD_vdmWmStartPage: Numeric\n*NumericValue: 1 \"1 1 1 999\"\n"
                 "*OptionCommand: { \"@PJL SET WMKSTARTPAGE = \" \" <0D0A>\" }\n*CloseUI\n");
  EXPECT_EQ(Build(kExcWaterMarkText), "@PJL SET WMKSTARTPAGE = 2 \r\n@PJL SET WMKORDER = PAPER \r\n" +
                                          std::string(1, '\0'));
}

TEST_F(WaterMarkLinesTest, TheValueBringsItsOwnQuotes) {
  // A node's quote next to the value is dropped on its side only; a node without quotes gets the
  // string's own.
  UseDescription("*FileVersion: 3.60\n"
                 "*OpenUI *ZMD_wdmWmChar: String\n*StringValue: 32 MultiByte\n"
                 "*OptionCommand: { \"C=%\"\" \";\" }\n*CloseUI\n"
                 "*OpenUI *ZMD_vdmWmFontName: String\n*StringValue: 31 MultiByte\n"
                 "*OptionCommand: { \"F=\" \"%\"%\";\" }\n*CloseUI\n"
                 "*OpenUI *ZMD_vdmWmAngle: Numeric\n*NumericValue: 1 \"1 0 0 359\"\n"
                 "*OptionCommand: { \"A=%\"\" \"%\";\" }\n*CloseUI\n");
  EXPECT_EQ(Build(kExcWaterMarkText),
            "C=\"DRAFT\";@PJL SET WMKORDER = PAPER \r\nA=45;F=\"Arial\"\";" + std::string(1, '\0'));
}

TEST_F(WaterMarkLinesTest, TheNulFollowsOnlyWrittenLinesAndFailuresTakeEverythingBack) {
  ASSERT_TRUE(ExcLineBufferAppendString(&buffer_, "before"));
  // Lines are appended after what the buffer holds, with their NUL. A kind that no row serves
  // alone still gets the rows for all kinds.
  ASSERT_EQ(ExcBuildWaterMarkLines(&buffer_, context_, 7), 0);
  EXPECT_EQ(Text(buffer_).substr(0, 6), "before");
  EXPECT_EQ(Text(buffer_).back(), '\0');
  EXPECT_EQ(Text(buffer_).find("WMKCHAR"), std::string::npos);

  ExcLineBufferTruncate(&buffer_, 6);
  EXPECT_EQ(ExcBuildWaterMarkLines(&buffer_, nullptr, 0), -1);
  EXPECT_EQ(ExcBuildWaterMarkLines(nullptr, context_, 0), -1);
  // Lines past the first 4096 bytes need the buffer to grow; when it cannot, nothing of this
  // call stays.
  const std::string filler(4000, 'f');
  ASSERT_TRUE(ExcLineBufferAppendString(&buffer_, filler.c_str()));
  velm::platform::SetAllocationFault(1);
  EXPECT_EQ(ExcBuildWaterMarkLines(&buffer_, context_, 0), -1);
  velm::platform::SetAllocationFault(0);
  EXPECT_EQ(Text(buffer_), "before" + filler);
  ASSERT_EQ(ExcBuildWaterMarkLines(&buffer_, context_, 0), 0);
  EXPECT_EQ(buffer_.capacity, 8192u);
  EXPECT_EQ(Text(buffer_).substr(4006, 28), "@PJL SET WMKCHAR = \"DRAFT\" \r");
}

}  // namespace
