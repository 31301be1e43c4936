// `velm caps` against an installed printer: index names, the answers' lines, lists entry by entry.
#include <gtest/gtest.h>

#include "caps_command.h"
#include "printer_fixture.h"
#include "ui/wingdi.h"

namespace velm::test {
namespace {

using CapsCommandTest = tools::PrinterTest;

TEST(CapsIndexTest, NumbersAndNamesInAnyCase) {
  const std::pair<const char*, int> cases[] = {
      {"2", 2}, {"0x21", 33}, {"DC_PAPERS", 2}, {"papers", 2}, {"dc_nup", 33}, {"MediaReady", 29},
      {"", -1}, {"DC_", -1}, {"nosuch", -1}, {"2x", -1}, {"65536", -1}};
  for (const auto& [text, index] : cases) {
    WORD parsed = 0;
    EXPECT_EQ(tools::ParseCapsIndex(text, &parsed), index >= 0) << text;
    if (index >= 0) {
      EXPECT_EQ(parsed, index) << text;
    }
  }
}

TEST_F(CapsCommandTest, PrintsEachAnswerAndListsEntryByEntry) {
  std::string out, error;
  ASSERT_TRUE(tools::RunCaps({u"Velm Printer", {DC_SIZE, DC_BINNAMES, DC_PERSONALITY, DC_MAXEXTENT, 0}}, &out, &error))
      << error;
  EXPECT_EQ(out,
            "DC_SIZE (8): 220\n"
            "DC_BINNAMES (12): 4\n"
            "  [0] \"Auto Select\"\n"
            "  [1] \"Tray 1\"\n"
            "  [2] \"Tray 2\"\n"
            "  [3] \"Bypass Tray\"\n"
            "DC_PERSONALITY (25): 1 \"VELM\"\n"
            "DC_MAXEXTENT (5): 299502570 (width 3050, length 4570)\n"
            "index 0 (0): -1\n");
}

TEST_F(CapsCommandTest, AnUnknownPrinterIsRefused) {
  std::string out, error;
  EXPECT_FALSE(tools::RunCaps({u"No Such Printer", {}}, &out, &error));
  EXPECT_NE(error.find("No Such Printer"), std::string::npos);
  EXPECT_EQ(out, "");
}

}  // namespace
}  // namespace velm::test
