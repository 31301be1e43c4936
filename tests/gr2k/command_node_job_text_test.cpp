// The job stream and the command-node codec agree: a job-start template writes exactly the line
// the codec builds for the same node, and the codec parses the job's number back. The scale
// pairs here are lopsided, so that reading them the other way round would show.
#include <gtest/gtest.h>

#include <string>

#include "gr2k/pjl_templates.h"
#include "settings/description/command_node_values.h"
#include "settings/description/access.h"
#include "settings/description/image_fixture.h"
#include "settings/items/store.h"

namespace velm::test {
namespace {

constexpr WORD kScale = 11, kResolution = 42, kMarginOdd = 106;

class CommandNodeJobTextTest : public DescriptionMachineTest {
 protected:
  void SetUp() override {
    DescriptionMachineTest::SetUp();
    context_ = CtxCreate(Open(), 0, 0);
    ASSERT_NE(context_, nullptr);
    shipped_ = context_->description;
    std::string remarks;
    image_ = CompileText(
        "*FileVersion: 3.60\n"
        "*OpenUI *ZMD_dmScale: Numeric\n*NumericValue: 3 \"2 100 1 1000\"\n"
        "*OptionCommand: { \"@PJL SET SCALE = \" \" <0D0A>\" }\n*CloseUI\n"
        "*OpenUI *ZMD_vdmMarginOdd: Numeric\n*NumericValue: 1 \"2 0 0 65535\"\n"
        "*OptionCommand: { \"@PJL SET MARGINODD = \" \" <0D0A>\" }\n*CloseUI\n"
        "*CommandGroup: JobStart {\n Type: GroupType ZMD_dmScale\n}\n"
        "*CommandGroup: PageStart {\n Type: GroupType ZMD_vdmMarginOdd\n}\n",
        &remarks);
    ASSERT_TRUE(image_);
    ASSERT_EQ(remarks, "");
    context_->description = image_.get();
  }
  void TearDown() override {
    context_->description = shipped_;
    CtxDestroyEx(context_, kReleaseDestroy);
    DescriptionMachineTest::TearDown();
  }

  std::string Run(PjlBuilder builder) {
    DWORD length = 0;
    builder(context_, nullptr, 0, &length);
    std::string text(length, '\0');
    EXPECT_EQ(builder(context_, text.data(), length, &length), 0);
    return text;
  }
  std::string CodecLine(WORD item) {
    ItemTableRow* row = OptFindItem(context_->itemTable, item);
    const DescNode* node = CmdFindCommandNode(context_, item, 0);
    char line[kCmdValueTextBytes + 64];
    CmdFormatLine(context_, row, node, CmdKindOfNode(node), OptGetModelValue(context_, row), line, sizeof line);
    return line;
  }
  LONG ParseBack(WORD item, const char* text) {
    DWORD value = 0;
    EXPECT_TRUE(CmdParseValue(context_, OptFindItem(context_->itemTable, item), CmdFindCommandNode(context_, item, 0),
                              kCmdKindNumber, text, &value));
    return LONG(value);
  }

  DriverContext* context_ = nullptr;
  ModelDescription* shipped_ = nullptr;
  Image image_;
};

TEST_F(CommandNodeJobTextTest, TheNumberBeforeTheQuotesMultipliesInBothWriters) {
  ASSERT_TRUE(OptSetValue(context_, kScale, 50));
  EXPECT_EQ(Run(PjlBuildJobStart), "@PJL SET SCALE = 75 \r\n");  // 50 * 3 / 2
  EXPECT_EQ(CodecLine(kScale), Run(PjlBuildJobStart));
  EXPECT_EQ(ParseBack(kScale, "75"), 50);
  // 0 is a number like any other, not an absent value.
  ASSERT_TRUE(OptSetValue(context_, kScale, 0));
  EXPECT_EQ(Run(PjlBuildJobStart), "@PJL SET SCALE = 0 \r\n");
}

TEST_F(CommandNodeJobTextTest, LengthsAgreeAtTheResolution) {
  ASSERT_TRUE(OptSetValue(context_, kResolution, 600));
  ASSERT_TRUE(OptSetValue(context_, kMarginOdd, 600));
  EXPECT_EQ(Run(PjlBuildPageStart), "@PJL SET MARGINODD = 150 \r\n");  // 600 * 600 / (2 * 1200)
  EXPECT_EQ(CodecLine(kMarginOdd), Run(PjlBuildPageStart));
  EXPECT_EQ(ParseBack(kMarginOdd, "150"), 600);
  ASSERT_TRUE(OptSetValue(context_, kMarginOdd, 1));
  EXPECT_EQ(Run(PjlBuildPageStart), "@PJL SET MARGINODD = 1 \r\n");
  // Without a resolution neither writer has a number to give.
  ASSERT_TRUE(OptSetValue(context_, kResolution, 0));
  EXPECT_EQ(Run(PjlBuildPageStart), "");
  EXPECT_EQ(CodecLine(kMarginOdd), "");
}

}  // namespace
}  // namespace velm::test
