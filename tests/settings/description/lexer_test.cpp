// The description lexer: byte classes, statement shapes, values over several lines, malformed
// statements, double-byte pairs, and the number readers.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "settings/description/description_fixture.h"
#include "settings/description/lexer.h"

namespace {

using velm::test::Text;

// Every statement of `text`: "keyword|option|translation|value" for a statement (a keyword
// alone ends in "|*"), "!<issue number>@<line>" for a malformed one.
std::vector<std::string> Lex(std::string_view text, bool doubleByte = false) {
  const DescLeadBytes lead = doubleByte ? DescLeadBytes::DoubleByteTestPage() : DescLeadBytes{};
  DescReader reader(text.data(), text.size());
  DescStatement statement;
  std::vector<std::string> out;
  for (;;) {
    DescIssue issue{};
    const DescLex lexed = DescLexStatement(&reader, lead, &statement, &issue);
    if (lexed == DescLex::kEnd) return out;
    if (lexed == DescLex::kMalformed) {
      out.push_back("!" + std::to_string(static_cast<int>(issue)) + "@" + std::to_string(statement.line));
      continue;
    }
    std::string line = Text(statement.keyword);
    if (statement.keywordOnly) {
      out.push_back(line + "|*");
      continue;
    }
    line += "|" + Text(statement.option) + "|" + Text(statement.translation) + "|" + Text(statement.value);
    out.push_back(line);
  }
}

std::string Bad(DescIssue issue, int line) { return "!" + std::to_string(static_cast<int>(issue)) + "@" + std::to_string(line); }

TEST(DescriptionLexerTest, ByteClassesSeparateKeywordsFromOptionTokens) {
  // `/` belongs to names but not to option tokens; `:` to neither; `*`, `=`, `"` and brackets
  // are option bytes but not name bytes.
  EXPECT_TRUE(DescCharIs('/', kCharName));
  EXPECT_FALSE(DescCharIs('/', kCharToken));
  EXPECT_FALSE(DescCharIs(':', kCharName | kCharToken));
  for (int c : {'*', '=', '"', '(', '{', '}', '|', '~', '-', '.'}) {
    EXPECT_TRUE(DescCharIs(c, kCharToken)) << char(c);
    EXPECT_FALSE(DescCharIs(c, kCharName)) << char(c);
  }
  for (int c : {'@', '[', '\\', ']', '^', '_', '`', 'z', 'Q', '7'}) EXPECT_TRUE(DescCharIs(c, kCharName | kCharToken)) << char(c);
  EXPECT_EQ(kDescCharClass['5'], kCharDigit | kCharToken | kCharName);
  EXPECT_EQ(kDescCharClass['e'], kCharHexLetter | kCharOption | kCharToken | kCharName);
  EXPECT_EQ(kDescCharClass[' '], kCharBlank | kCharOption | kCharDelimiter);
  EXPECT_EQ(kDescCharClass['\r'], kCharLineEnd | kCharDelimiter);
  for (int c = 0x7F; c < 0x100; ++c) EXPECT_EQ(kDescCharClass[c], 0) << c;
  EXPECT_EQ(kDescCharClass[0], 0);
}

TEST(DescriptionLexerTest, OnlyLinesThatBeginWithAStarCount) {
  const std::string text =
      "\xEF\xBB\xBF*Bom: 1\n"  // a byte-order mark hides the first line
      " *Indented: 2\n"
      "\t*Tab: 3\n"
      "*% a comment: 4\n"
      "Stray: 5\n"
      "\n\r\n"
      "*Real: 6\n";
  EXPECT_EQ(Lex(text), std::vector<std::string>{"Real|||6"});
}

TEST(DescriptionLexerTest, StatementShapes) {
  EXPECT_EQ(Lex("*A: v\n*B opt: v w \n*C opt tr:v\n*D  opt \t tr  :  v\n*E:\n"),
            (std::vector<std::string>{"A|||v", "B|opt||v w ", "C|opt|tr|v", "D|opt|tr|v", "E|||"}));
  // Option tokens take quotes, stars and brackets; keywords take `/`.
  EXPECT_EQ(Lex("*OpenUI *X 2: PickOne\n*a/b \"x\"(y): z\n"),
            (std::vector<std::string>{"OpenUI|*X|2|PickOne", "a/b|\"x\"(y)||z"}));
  // A keyword alone, ended by LF, CR LF, CR or the end of the file.
  EXPECT_EQ(Lex("*CloseUI\n*CloseUI\r\n*CloseUI\r*CloseUI"),
            (std::vector<std::string>{"CloseUI|*", "CloseUI|*", "CloseUI|*", "CloseUI|*"}));
}

TEST(DescriptionLexerTest, MalformedStatementsAreSkippedAndTheParseGoesOn) {
  const std::string text =
      "*CloseUI \n"               // a blank after a lone keyword: an empty option
      "*OpenUI *X/Text: PickOne\n"  // `/` ends the option, and no colon follows
      "*A b c d: v\n"             // three words before the colon
      "*\n"                       // no keyword
      "*: v\n"
      "*Z: ok\n";
  EXPECT_EQ(Lex(text), (std::vector<std::string>{Bad(DescIssue::kEmptyOption, 1), Bad(DescIssue::kMissingColon, 2),
                                                 Bad(DescIssue::kMissingColon, 3), Bad(DescIssue::kNoKeyword, 4),
                                                 Bad(DescIssue::kNoKeyword, 5), "Z|||ok"}));
}

TEST(DescriptionLexerTest, ValuesRunOverLinesInsideQuotesParenthesesAndBraces) {
  const std::string text =
      "*Q: \"one\ntwo\" tail\n"
      "*B: {x\n*% not a comment inside braces\n y}\n"
      "*P: (p\r\nq) (r)\n"
      "*N: 1\n";
  EXPECT_EQ(Lex(text), (std::vector<std::string>{"Q|||\"one\ntwo\" tail",
                                                 "B|||{x\n*% not a comment inside braces\n y}",
                                                 "P|||(p\r\nq) (r)", "N|||1"}));
}

TEST(DescriptionLexerTest, BracketErrorsSkipTheStatement) {
  const std::string text =
      "*A: \"x(y\"\n"        // 1: ( inside quotes
      "*A: \"x}\"\n"         // 2: } inside quotes
      "*A: x}\n"             // 3: } without {
      "*A: (x{y})\n"         // 4: { inside parentheses
      "*A: )\n"              // 5
      "*A: \"50%\n"          // 6: line end after %
      "*A: {x\n"             // 7: the error is on line 8; the rest of line 8 is skipped,
      "  \"(\" y\n"          //    line 9 does not begin with `*`
      "}\n"
      "*Z: ok\n";
  EXPECT_EQ(Lex(text), (std::vector<std::string>{
                           Bad(DescIssue::kBracketInQuotes, 1), Bad(DescIssue::kBracketInQuotes, 2),
                           Bad(DescIssue::kUnbalancedBracket, 3), Bad(DescIssue::kUnbalancedBracket, 4),
                           Bad(DescIssue::kUnbalancedBracket, 5), Bad(DescIssue::kLineEndAfterPercent, 6),
                           Bad(DescIssue::kBracketInQuotes, 7), "Z|||ok"}));
  // Escaped, the same bytes are text.
  EXPECT_EQ(Lex("*A: \"x%(y%} %\" z\"\n"), std::vector<std::string>{"A|||\"x%(y%} %\" z\""});
}

TEST(DescriptionLexerTest, TheFileMayNotEndInsideAValue) {
  EXPECT_EQ(Lex("*A: \"open"), std::vector<std::string>{Bad(DescIssue::kUnterminatedValue, 1)});
  EXPECT_EQ(Lex("*A: {\n{x}\n"), std::vector<std::string>{Bad(DescIssue::kUnterminatedValue, 1)});
  EXPECT_EQ(Lex("*A: \"a%"), std::vector<std::string>{Bad(DescIssue::kLineEndAfterPercent, 1)});
  // A complete value may end with the file.
  EXPECT_EQ(Lex("*A: \"done\""), std::vector<std::string>{"A|||\"done\""});
}

TEST(DescriptionLexerTest, DoubleBytePairsAreCopiedWithoutLookingAtTheTrailByte) {
  // 0x83 is a lead byte of the test page; its trail byte here is `}` and, in the second
  // statement, `(` inside quotes.
  const std::string text = "*A: \"\x83}\"\n*B: \x83(\n*C: ok\n";
  EXPECT_EQ(Lex(text, true), (std::vector<std::string>{"A|||\"\x83}\"", "B|||\x83(", "C|||ok"}));
  // Without double-byte characters the same bytes are errors.
  EXPECT_EQ(Lex(text, false), (std::vector<std::string>{Bad(DescIssue::kBracketInQuotes, 1),
                                                        Bad(DescIssue::kUnterminatedValue, 2)}));
  // A lead byte at the end of the file or of a line is kept alone: it takes no line end along.
  EXPECT_EQ(Lex("*A: x\x83", true), std::vector<std::string>{"A|||x\x83"});
  EXPECT_EQ(Lex("*A: x\x83\n*B: y\n", true), (std::vector<std::string>{"A|||x\x83", "B|||y"}));
}

TEST(DescriptionLexerTest, LinesAreCountedOnceForEachLineEnd) {
  EXPECT_EQ(Lex("\r\n\n\r*A ?\r\n*B: \"x\r\ny\"\n*C ?"),
            (std::vector<std::string>{Bad(DescIssue::kMissingColon, 4), "B|||\"x\r\ny\"",
                                      Bad(DescIssue::kMissingColon, 7)}));
}

TEST(DescriptionLexerTest, NumberReaders) {
  EXPECT_FALSE(StrIsDigits(""));
  EXPECT_TRUE(StrIsDigits("0123456789"));
  EXPECT_FALSE(StrIsDigits("12a"));
  EXPECT_FALSE(StrIsDigits("-1"));
  EXPECT_EQ(StrHexDigitValue('0'), 0);
  EXPECT_EQ(StrHexDigitValue('a'), 10);
  EXPECT_EQ(StrHexDigitValue('F'), 15);
  EXPECT_EQ(StrHexDigitValue('g'), -1);
  EXPECT_EQ(StrHexDigitValue(-1), -1);

  struct Case {
    const char* text;
    bool ok;
    LONG value;
    size_t consumed;
  };
  const Case cases[] = {
      {"12", true, 12, 2},          {"-12", true, -12, 3},       {"1-2", true, -12, 3},
      {"12=Name", true, 12, 2},     {"7 8", true, 7, 1},         {"1x2", true, 12, 3},
      {"x", false, 0, 1},           {"=5", false, 0, 0},         {"", false, 0, 0},
      {"2147483647", true, 2147483647, 10},                      {"-2147483648", true, LONG(-2147483647 - 1), 11},
      {"2147483648", false, 0, 10},  {"99999999999999999999", false, 0, 0},
  };
  for (const Case& c : cases) {
    LONG value = 0;
    size_t consumed = 0;
    EXPECT_EQ(StrReadSignedDecimal(c.text, &value, &consumed), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(value, c.value) << c.text;
      EXPECT_EQ(consumed, c.consumed) << c.text;
    }
  }
}

TEST(DescriptionLexerTest, ValueTokens) {
  const DescLeadBytes lead = DescLeadBytes::DoubleByteTestPage();
  DescTokenizer tokens("Judge1 123 12a ==\n&&! ( ) { } : \"q%\"x\" - \x83\x40 \"open", lead);
  const std::vector<std::pair<DescTokenKind, std::string>> expected = {
      {DescTokenKind::kName, "Judge1"},      {DescTokenKind::kNumber, "123"},   {DescTokenKind::kName, "12a"},
      {DescTokenKind::kOperator, "=="},     {DescTokenKind::kOperator, "&&!"}, {DescTokenKind::kOpenParen, "("},
      {DescTokenKind::kCloseParen, ")"},    {DescTokenKind::kOpenBrace, "{"},  {DescTokenKind::kCloseBrace, "}"},
      {DescTokenKind::kColon, ":"},         {DescTokenKind::kQuoted, "\"q%\"x\""}, {DescTokenKind::kOther, "-"},
      {DescTokenKind::kOther, "\x83\x40"},  {DescTokenKind::kOther, "\"open"},  {DescTokenKind::kEnd, ""},
      {DescTokenKind::kEnd, ""},
  };
  for (const auto& [kind, text] : expected) {
    const DescToken token = tokens.Next();
    EXPECT_EQ(token.kind, kind) << text;
    EXPECT_EQ(std::string(token.text), text);
  }
}

}  // namespace
