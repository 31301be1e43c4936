// Reading "@PJL SET" lines: what the parser accepts, what it refuses, and where a token ends.
#include <gtest/gtest.h>

#include <string>

#include "exclude/command_lines.h"

namespace {

struct Parsed {
  int result;
  std::string name;
  std::string value;
};

Parsed Parse(const std::string& text) {
  char name[kExcTokenBytes] = "x";
  char value[kExcTokenBytes] = "x";
  const int result = ExcParseSetLine(text.c_str(), name, value);
  return {result, name, value};
}

TEST(CommandLinesTest, WellFormedLinesGiveTheirTokensAndLength) {
  const std::string line = "@PJL SET COPIES = 3 \r\n";
  Parsed p = Parse(line + "@PJL SET DUPLEX = ON \r\n");
  EXPECT_EQ(p.result, static_cast<int>(line.size()));
  EXPECT_EQ(p.name, "COPIES");
  EXPECT_EQ(p.value, "3");
  // Blanks are spaces or tabs, any number of them, and none are needed after "=" or before CR LF.
  p = Parse(" \t@PJL\tSET \t COPIES\t=\t12\t \r\n");
  EXPECT_EQ(p.result, 28);
  EXPECT_EQ(p.name, "COPIES");
  EXPECT_EQ(p.value, "12");
  EXPECT_EQ(Parse("@PJL SET COPIES =3\r\n").value, "3");
}

TEST(CommandLinesTest, MalformedLinesOfEveryKindAreRefused) {
  for (const char* text : {
           "@PJL SET COPIES=3 \r\n",        // the name swallows "=" and the line has none
           "@PJL SET COPIES= 3 \r\n",       // the same
           "@pjl SET COPIES = 3 \r\n",      // "@PJL" is case-sensitive
           "@PJL set COPIES = 3 \r\n",      // and so is "SET"
           "@PJLSET COPIES = 3 \r\n",       // keywords are separated by blanks
           "@PJL SETCOPIES = 3 \r\n",
           "@PJL SET COPIES = 3 \r",        // no LF
           "@PJL SET COPIES = 3 \n",        // no CR
           "@PJL SET COPIES = 3 ",          // no line end at all
           "@PJL SET COPIES = \r\n",        // no value
           "@PJL SET COPIES = 3 4\r\n",     // a value cannot contain blanks
           "@PJL SET = 3\r\n",              // no name
           "\r\n",                          // an empty line is not a SET line
           "@PJL JOB\r\n",
       }) {
    const Parsed p = Parse(text);
    EXPECT_EQ(p.result, kExcLineMalformed) << text;
    EXPECT_EQ(p.name, "") << text;
    EXPECT_EQ(p.value, "") << text;
  }
}

TEST(CommandLinesTest, TokensStopBelow260Bytes) {
  const std::string long259(259, 'N');
  const std::string long260(260, 'N');
  Parsed p = Parse("@PJL SET " + long259 + " = " + long259 + " \r\n");
  EXPECT_GT(p.result, 0);
  EXPECT_EQ(p.name, long259);
  EXPECT_EQ(p.value, long259);
  EXPECT_EQ(Parse("@PJL SET " + long260 + " = 1 \r\n").result, kExcLineMalformed);
  EXPECT_EQ(Parse("@PJL SET COPIES = " + long260 + " \r\n").result, kExcLineMalformed);
  EXPECT_EQ(Parse("@PJL SET COPIES = " + std::string(100000, '9') + " \r\n").result, kExcLineMalformed);
}

TEST(CommandLinesTest, EndOfBlockAndNullArguments) {
  EXPECT_EQ(Parse("").result, kExcLineEnd);
  EXPECT_EQ(Parse(" \t ").result, kExcLineEnd);
  char name[kExcTokenBytes];
  char value[kExcTokenBytes];
  EXPECT_EQ(ExcParseSetLine(nullptr, name, value), kExcLineEnd);
  EXPECT_EQ(ExcParseSetLine("@PJL SET A = B \r\n", nullptr, value), kExcLineEnd);
  EXPECT_EQ(ExcParseSetLine("@PJL SET A = B \r\n", name, nullptr), kExcLineEnd);
}

TEST(CommandLinesTest, FindLineValueTakesTheFirstLineAndStopsAtAMalformedOne) {
  const char* block =
      "@PJL SET TRAY = TRAY1 \r\n"
      "@PJL SET PAPER = A4 \r\n"
      "@PJL SET TRAY = TRAY2 \r\n"
      "@PJL SET BROKEN=1 \r\n"
      "@PJL SET COPIES = 2 \r\n";
  char value[kExcTokenBytes];
  EXPECT_TRUE(ExcFindLineValue(block, "TRAY", value));
  EXPECT_STREQ(value, "TRAY1");
  EXPECT_TRUE(ExcFindLineValue(block, "PAPER", value));
  EXPECT_STREQ(value, "A4");
  EXPECT_FALSE(ExcFindLineValue(block, "COPIES", value));
  EXPECT_STREQ(value, "");
  EXPECT_FALSE(ExcFindLineValue(block, "PAP", value));  // names compare whole
  EXPECT_FALSE(ExcFindLineValue(nullptr, "PAPER", value));
}

}  // namespace
