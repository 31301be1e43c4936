// Quoted texts of the description: escapes, hex bytes, line ends, double-byte pairs, and the
// statements that keep them (command strings, option commands, library names).
#include <string>

#include <gtest/gtest.h>

#include "settings/description/description_fixture.h"
#include "settings/description/lexer.h"

namespace {

using velm::test::ParseDescription;
using velm::test::Text;

// The decoded text, or "<none>" when there is no complete quoted text.
std::string Decode(std::string_view text, bool doubleByte = false, std::string* rest = nullptr) {
  const DescLeadBytes lead = doubleByte ? DescLeadBytes::DoubleByteTestPage() : DescLeadBytes{};
  DescString out;
  std::string_view after;
  if (!DescDecodeQuoted(text, lead, &out, &after)) return "<none>";
  if (rest) *rest = std::string(after);
  return Text(out);
}

TEST(DescriptionDecodeTest, EscapesAndHexBytes) {
  EXPECT_EQ(Decode("\"a%\"b\""), "a\"b");
  EXPECT_EQ(Decode("\"<41 42>\""), "AB");
  EXPECT_EQ(Decode("\"%%-12345X%<\""), "%-12345X<");
  EXPECT_EQ(Decode("\"x<1b>y<0D0A>\""), "x\x1By\r\n");
  EXPECT_EQ(Decode("\"<00>\""), std::string(1, '\0'));
  // Inside hex mode bytes that are not hex digits are skipped, and an odd digit is dropped.
  EXPECT_EQ(Decode("\"a<ZZ 4-1>b\""), "aAb");
  EXPECT_EQ(Decode("\"<414>\""), "A");
  // An escape inside hex mode is passed over as a pair: `%>` does not end hex mode.
  EXPECT_EQ(Decode("\"<4%>1>\""), "A");
  EXPECT_EQ(Decode("\"<>\""), "");
}

TEST(DescriptionDecodeTest, LineEndsInsideQuotesAreDropped) {
  EXPECT_EQ(Decode("\"one\r\ntwo\nthree\rfour\""), "onetwothreefour");
  EXPECT_EQ(Decode("\"<41\r\n42>\""), "AB");
}

TEST(DescriptionDecodeTest, FromTheFirstQuoteToTheNext) {
  std::string rest;
  EXPECT_EQ(Decode("IDList \"first\" \"second\"", false, &rest), "first");
  EXPECT_EQ(rest, " \"second\"");
  EXPECT_EQ(Decode("no quotes"), "<none>");
  EXPECT_EQ(Decode("\"never closed"), "<none>");
  EXPECT_EQ(Decode("\"ends in an escape%\""), "<none>");
  EXPECT_EQ(Decode("\"\""), "");
}

TEST(DescriptionDecodeTest, DoubleBytePairsAreCopiedRaw) {
  // The trail byte of 0x83 is a quote: with double-byte characters it is text.
  EXPECT_EQ(Decode("\"\x83\"x\"", true), "\x83\"x");
  EXPECT_EQ(Decode("\"\x83\"x\"", false), "\x83");
  EXPECT_EQ(Decode("\"\x83}\"", true), "\x83}");
  EXPECT_EQ(Decode("\"<\x83\x41>\"", true), "");  // in hex mode the pair is skipped whole
}

TEST(DescriptionDecodeTest, StatementsKeepTheirDecodedTexts) {
  const auto result = ParseDescription(
      "*UIResDLLName: \"qnres<75>s.dll\"\n"
      "*ExcDepDLLName: \"dep%\".dll\"\n"
      "*CommandString 7: \"<1B>%%-12345X@PJL<0D0A>\"\n"
      "*CommandString -2: \"\"\n"
      "*CommandString 3: unquoted\n"
      "*CommandString x: \"no number\"\n"
      "*OpenUI *ZMD_vdmUserID: String\n"
      "*OptionCommand: { \"@PJL SET USERID = %\"\" \"%\" <0D0A>\" }\n"
      "*CloseUI\n");
  ASSERT_TRUE(result);
  EXPECT_TRUE(result->hasUiResDllName);
  EXPECT_EQ(result->uiResDllName, u"qnresus.dll");
  EXPECT_EQ(result->excDepDllName, u"dep\".dll");
  ASSERT_EQ(result->commandStrings.size(), 2u);
  EXPECT_EQ(result->commandStrings[0].number, 7);
  EXPECT_EQ(Text(result->commandStrings[0].text), "\x1B%-12345X@PJL\r\n");
  // The image stores the bytes and a terminator.
  EXPECT_EQ(result->commandStrings[0].text.size() + 1, 16u);
  EXPECT_EQ(result->commandStrings[1].number, -2);
  EXPECT_EQ(result->commandStrings[1].text.size() + 1, 1u);
  EXPECT_EQ(velm::test::IssueKinds(*result), (std::vector<DescIssue>{DescIssue::kSyntax, DescIssue::kBadNumber}));
  const DescUiRecord& record = result->records.at(0);
  EXPECT_TRUE(record.hasCommand);
  EXPECT_EQ(Text(record.commandPrefix), "@PJL SET USERID = \"");
  EXPECT_EQ(Text(record.commandSuffix), "\" \r\n");
}

TEST(DescriptionDecodeTest, FileVersionIsTheRawValue) {
  const auto result = ParseDescription("*FileVersion: 3.60\n");
  ASSERT_TRUE(result);
  EXPECT_EQ(std::u16string(result->version), u"3.60");
  // Quotes and blanks stay (and then the version no longer matches); at most 15 characters.
  const auto quoted = ParseDescription("*FileVersion: \"3.60\" \n");
  EXPECT_EQ(std::u16string(quoted->version), u"\"3.60\" ");
  const auto longer = ParseDescription("*FileVersion: 0123456789abcdefghij\n");
  EXPECT_EQ(std::u16string(longer->version), u"0123456789abcde");
}

}  // namespace
