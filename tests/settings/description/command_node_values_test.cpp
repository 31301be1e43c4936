// The command-node codec over a small description: each kind both ways, the scale pair's
// direction and its guards, the resolution form, and the texts around a value.
#include <gtest/gtest.h>

#include <string>

#include "settings/devmode/item_checks_fixture.h"
#include "settings/description/command_node_values.h"
#include "core/machine_root.h"
#include "support/temp_root.h"

namespace {

constexpr WORD kOrientation = 7, kCopies = 12, kScale = 11, kPanningWidth = 33, kResolution = 42, kDuplexOn = 61,
               kMarginOdd = 106, kUserId = 215, kFormName = 20, kIcmMethod = 27, kIcmIntent = 28;

class CommandNodeValuesTest : public ItemCheckTest {
 protected:
  void SetUp() override {
    ItemCheckTest::SetUp();
    UseDescription(
        "*FileVersion: 3.60\n"
        "*OpenUI *ZMD_dmOrientation: PickOne\n*ZMD_dmOrientation DMORIENTATION_PORTRAIT: \"PORTRAIT\"\n"
        "*ZMD_dmOrientation DMORIENTATION_LANDSCAPE: \"\"\n*OptionCommand: { \"@PJL SET OR = \" \" <0D0A>\" }\n"
        "*CloseUI\n*OpenUI *ZMD_dmOrientation 3: PickOne\n*OptionCommand: { \"O3=\" \";\" }\n*CloseUI\n"
        "*OpenUI *ZMD_vdmFuncSelectDuplex: Boolean\n*ZMD_vdmFuncSelectDuplex True: \"YES\"\n"
        "*ZMD_vdmFuncSelectDuplex False: \"NO\"\n*CloseUI\n"
        // multiplier 10 before the quotes, divisor 1 inside: text = value * 10
        "*OpenUI *ZMD_dmCopies: Numeric\n*NumericValue: 10 \"1 1 1 999\"\n*OptionCommand: { \"C=\" \";\" }\n*CloseUI\n"
        "*OpenUI *ZMD_dmScale: Numeric\n*NumericValue: 1 \"10 100 25 400\"\n*CloseUI\n"
        "*OpenUI *ZMD_dmPanningWidth: Numeric\n*NumericValue: 60000 \"1 0 0 1\"\n*CloseUI\n"
        "*OpenUI *ZMD_dmICMIntent: Numeric\n*NumericValue: 0 \"1 0 0 9\"\n*CloseUI\n"
        "*OpenUI *ZMD_dmICMMethod: Numeric\n*NumericValue: 1 \"0 0 0 9\"\n*CloseUI\n"
        "*OpenUI *ZMD_vdmMarginOdd: Numeric\n*NumericValue: 1 \"2 0 0 4800\"\n*CloseUI\n"
        "*OpenUI *ZMD_vdmUserID: String\n*StringValue: 8 ASCII\n*OptionCommand: { \"U=%\"\" \"%\";\" }\n*CloseUI\n"
        "*OpenUI *ZMD_dmFormName: String\n*StringValue: 31 MultiByte\n*OptionCommand: { \"F=\" \";\" }\n*CloseUI\n"
        "*OpenUI *ZMD_vdmMediaType: Identity *ZMD_dmOrientation\n*CloseUI\n"
        "*OpenUI *ZMD_vdmNUPLine: PickOne|TypeUnknown\n*CloseUI\n");
  }

  const DescNode* Node(WORD item, SHORT key = 0) { return CmdFindCommandNode(context_, item, key); }
  CmdValueKind Kind(WORD item) { return CmdKindOfNode(Node(item)); }

  // The value formatted on its own ("" for no text); the model value is the stored one here.
  std::string Format(WORD item, DWORD value) {
    char out[kCmdValueTextBytes];
    const DWORD n = CmdFormatValue(context_, Row(item), Node(item), Kind(item), value, out, sizeof out);
    EXPECT_EQ(n, std::strlen(out));
    return out;
  }
  std::string Line(WORD item, DWORD value) {
    char out[kCmdValueTextBytes];
    CmdFormatLine(context_, Row(item), Node(item), Kind(item), value, out, sizeof out);
    return out;
  }
  // The parse's answer and value as "ok value" or "no value".
  std::string Parse(WORD item, const char* text) {
    DWORD value = 12345;
    const BOOL ok = CmdParseValue(context_, Row(item), Node(item), Kind(item), text, &value);
    return std::string(ok ? "ok " : "no ") + std::to_string(LONG(value));
  }
};

TEST_F(CommandNodeValuesTest, NamesAndOnOffBothWays) {
  EXPECT_EQ(Kind(kOrientation), kCmdKindName);
  EXPECT_EQ(Format(kOrientation, 2026), "PORTRAIT");
  EXPECT_EQ(Format(kOrientation, 2027), "");  // an entry without text
  EXPECT_EQ(Format(kOrientation, 5), "");     // no entry
  EXPECT_EQ(Parse(kOrientation, "PORTRAIT"), "ok 2026");
  EXPECT_EQ(Parse(kOrientation, "portrait"), "no 0");
  EXPECT_EQ(Parse(kOrientation, ""), "no 0");  // the empty entry text is no name

  EXPECT_EQ(Kind(kDuplexOn), kCmdKindOnOff);
  EXPECT_EQ(Format(kDuplexOn, 1), "YES");
  EXPECT_EQ(Format(kDuplexOn, 7), "YES");
  EXPECT_EQ(Format(kDuplexOn, 0), "NO");
  EXPECT_EQ(Parse(kDuplexOn, "YES"), "ok 1");
  EXPECT_EQ(Parse(kDuplexOn, "NO"), "ok 0");
  EXPECT_EQ(Parse(kDuplexOn, "MAYBE"), "no 0");

  // The kinds a node selects; PickMany and TypeUnknown write nothing.
  EXPECT_EQ(Kind(kCopies), kCmdKindNumber);
  EXPECT_EQ(Kind(kUserId), kCmdKindString);
  EXPECT_EQ(Kind(96), kCmdKindNone);
  EXPECT_EQ(CmdKindOfValueType(0x8), kCmdKindNumber);
  EXPECT_EQ(CmdKindOfValueType(0x20), kCmdKindNone);
}

TEST_F(CommandNodeValuesTest, TheNumberBeforeTheQuotesMultipliesAndTheOneInsideDivides) {
  EXPECT_EQ(Format(kCopies, 3), "30");
  EXPECT_EQ(Parse(kCopies, "30"), "ok 3");
  EXPECT_EQ(Format(kScale, 250), "25");
  EXPECT_EQ(Parse(kScale, "25"), "ok 250");
  // 0 is "0"; a value that is not 0 never becomes 0 either way, and keeps its sign.
  EXPECT_EQ(Format(kScale, 0), "0");
  EXPECT_EQ(Parse(kScale, "0"), "no 0");  // below the node's range
  EXPECT_EQ(Format(kScale, 7), "1");
  EXPECT_EQ(Format(kScale, DWORD(-7)), "-1");  // dmScale is signed
  EXPECT_EQ(Parse(kCopies, "4"), "ok 1");
  EXPECT_EQ(Parse(kCopies, "-4"), "no 0");  // below the node's range
  EXPECT_EQ(Parse(kCopies, "+40"), "ok 4");
  // Not a number, or no value of any item.
  for (const char* text : {"", "-", "3x", " 3", "0x10", "12345678901"}) EXPECT_EQ(Parse(kCopies, text), "no 0") << text;
  // Past 32 bits either way: no text, no value.
  EXPECT_EQ(Format(kPanningWidth, 0xFFFFFFFF), "");
  EXPECT_EQ(Parse(kScale, "4294967295"), "no 0");
}

TEST_F(CommandNodeValuesTest, AZeroScaleFieldOrResolutionGivesNoTextAndParsesTo0) {
  for (WORD item : {kIcmIntent, kIcmMethod}) {  // multiplier 0, divisor 0
    EXPECT_EQ(Format(item, 5), "") << item;
    EXPECT_EQ(Format(item, 0), "") << item;
    EXPECT_EQ(Parse(item, "5"), "no 0") << item;
    EXPECT_EQ(Parse(item, "0"), "no 0") << item;
  }
  ASSERT_TRUE(CmdIsResolutionDependent(Row(kMarginOdd)));
  Set(kResolution, 0);
  EXPECT_EQ(Format(kMarginOdd, 600), "");
  EXPECT_EQ(Parse(kMarginOdd, "150"), "no 0");
  LONGLONG number = 9;
  EXPECT_FALSE(CmdScaleToText(context_, nullptr, 5, FALSE, &number));
  EXPECT_EQ(number, 0);
}

TEST_F(CommandNodeValuesTest, LengthsScaleWithTheResolution) {
  // value * 1 * dpi / (2 * 1200), and back.
  Set(kResolution, 600);
  EXPECT_EQ(Format(kMarginOdd, 600), "150");
  EXPECT_EQ(Parse(kMarginOdd, "150"), "ok 600");
  EXPECT_EQ(Format(kMarginOdd, 3), "1");  // 0.75 dots
  Set(kResolution, 2400);
  EXPECT_EQ(Format(kMarginOdd, 600), "600");
  // The same node without the resolution: value * 1 / 2.
  LONGLONG number = 0;
  EXPECT_TRUE(CmdScaleToText(context_, Node(kMarginOdd), 600, FALSE, &number));
  EXPECT_EQ(number, 300);
}

TEST_F(CommandNodeValuesTest, StringsAreQuotedAloneAndBareBetweenTheNodeTexts) {
  ASSERT_TRUE(OptSetString(context_, Row(kUserId), u"BOB"));
  EXPECT_EQ(Format(kUserId, 0), "\"BOB\"");
  EXPECT_EQ(Line(kUserId, 0), "U=\"BOB\";");
  ASSERT_TRUE(OptSetString(context_, Row(kFormName), u"Brief"));
  EXPECT_EQ(Line(kFormName, 0), "F=Brief;");
  // Quotes and line ends of the settings cannot end the value.
  ASSERT_TRUE(OptSetString(context_, Row(kUserId), u"a\"b\r\n"));
  EXPECT_EQ(Format(kUserId, 0), "\"a b  \"");
  // An empty string has no text and no line.
  ASSERT_TRUE(OptSetString(context_, Row(kUserId), u""));
  EXPECT_EQ(Format(kUserId, 0), "");
  EXPECT_EQ(Line(kUserId, 0), "");
  DWORD value = 1;
  EXPECT_FALSE(CmdParseValue(context_, Row(kUserId), Node(kUserId), kCmdKindString, "\"X\"", &value));
  EXPECT_EQ(value, 0u);

  char out[8];
  EXPECT_TRUE(CmdParseString("\"ALICE\"", out, sizeof out));
  EXPECT_STREQ(out, "ALICE");
  EXPECT_TRUE(CmdParseString("ALICE", out, sizeof out));
  EXPECT_STREQ(out, "ALICE");
  EXPECT_TRUE(CmdParseString("\"", out, sizeof out));  // one quote is no pair
  EXPECT_STREQ(out, "\"");
  EXPECT_FALSE(CmdParseString("ABCDEFGH", out, sizeof out));
  EXPECT_STREQ(out, "");
}

// Text bound for a quoted PJL value: quotes and control bytes become blanks, and a lead byte
// left alone at the end is dropped, or the printer would read the closing quote as its trail.
TEST(LineBreakersTest, QuotesAndControlBytesBlankAndALoneLeadByteIsDropped) {
  velm::test::TempMachineRoot root;
  ASSERT_TRUE(velm::platform::SetMachineSetting("codepage", "932"));
  const struct {
    std::string text, sent;
  } cases[] = {
      {"plain", "plain"},
      {"a\"b", "a b"},
      {"a\r\n@PJL SET X=1", "a  @PJL SET X=1"},
      {std::string("\x01\x1b%\x7f\x00z", 6), std::string("  %\x7f z", 6)},
      {"ab\x81", "ab"},                  // a lead byte without its trail byte
      {"ab\x81\x40", "ab\x81\x40"},        // a whole double-byte character
      {"\x81\"", "\x81 "},               // the blank is taken as the trail: the quote is gone
      {"\x81\x81\x81", "\x81\x81"},       // a trail byte in the lead range, then a lone lead
      {"", ""},
  };
  for (const auto& c : cases) {
    std::string bytes = c.text;
    bytes.resize(CmdBlankLineBreakers(bytes.data(), DWORD(bytes.size())));
    EXPECT_EQ(bytes, c.sent) << c.text;
  }
}

TEST_F(CommandNodeValuesTest, LinesAndNodesAroundTheValue) {
  EXPECT_EQ(Line(kOrientation, 2026), "@PJL SET OR = PORTRAIT \r\n");
  EXPECT_EQ(Line(kOrientation, 2027), "");  // no text: no line at all
  EXPECT_EQ(Line(kCopies, 2), "C=20;");
  // A node without texts writes the value alone.
  EXPECT_EQ(Line(kDuplexOn, 1), "YES");
  // A line that does not fit is not cut.
  char small[5];  // "C=20;" and its NUL need 6
  EXPECT_EQ(CmdFormatLine(context_, Row(kCopies), Node(kCopies), kCmdKindNumber, 2, small, sizeof small), 0u);
  EXPECT_STREQ(small, "");
  EXPECT_EQ(CmdLineBytes(context_, Node(kOrientation)), std::strlen("@PJL SET OR = ") + 3 + kCmdValueTextBytes);

  // The numbered record, an Identity record for any key, and no record for a number not given.
  const char *prefix = nullptr, *suffix = nullptr;
  CmdNodeTexts(context_, Node(kOrientation, 3), &prefix, &suffix);
  EXPECT_STREQ(prefix, "O3=");
  EXPECT_EQ(Node(kOrientation, 2), nullptr);
  EXPECT_NE(Node(378, 5), nullptr);
  EXPECT_EQ(Node(kOrientation, 0), DescLookupNode(kOrientation, context_));
  CmdNodeTexts(context_, nullptr, &prefix, &suffix);
  EXPECT_STREQ(prefix, "");
  EXPECT_STREQ(suffix, "");
}

TEST_F(CommandNodeValuesTest, WithoutADescriptionNothingIsFoundOrFormatted) {
  const DescNode* node = Node(kCopies);
  context_->description = nullptr;
  EXPECT_EQ(Node(kOrientation), nullptr);
  char out[16] = "x";
  EXPECT_EQ(CmdFormatValue(context_, Row(kCopies), node, kCmdKindNumber, 1, out, sizeof out), 0u);
  EXPECT_STREQ(out, "");
  LONG lower = 1, upper = 1, fallback = 1;
  EXPECT_FALSE(CmdNodeRange(context_, node, &lower, &upper, &fallback));
  EXPECT_EQ(lower | upper | fallback, 0);
}

}  // namespace
