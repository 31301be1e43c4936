// Section names of printer names: names the ANSI code page holds keep the form they always had;
// names it cannot hold get a form of their own, so two such printers never share a section.
#include <gtest/gtest.h>

#include <string>

#include "settings/persistence/ini_engine.h"
#include "settings/persistence/profile_wrappers.h"
#include "support/temp_root.h"
#include "win32.h"

namespace {

constexpr WCHAR kPath[] = u"C:\\_velm\\qnset.ini";

TEST(SectionNameTest, ExactNamesKeepTheirFormAndOthersGetTheMarkedOne) {
  velm::test::TempMachineRoot root;  // code page 1252
  const struct {
    std::u16string name;
    std::u16string section;  // empty: refused
  } cases[] = {
      {u"Velm Printer", u"Velm Printer"},
      {u"Lab [2]", u"Lab ,2,"},
      {u"Caf\u00e9 50%", u"Caf\u00e9 50%"},  // é is in the code page
      {u"Lab \u4e2d", u"[Lab %4E2D"},
      {u"Lab \u6587", u"[Lab %6587"},
      {u"Lab ?", u"Lab ?"},                      // what "Lab 中" used to become
      {u"50% \u4e2d", u"[50%0025 %4E2D"},        // '%' is escaped in the marked form
      {u"[\u4e2d]", u"[%005B%4E2D%005D"},
      {u"\u0100", u"[%0100"},                   // a best-fit "A" is not the character
      {std::u16string(52, u'\u4e2d'), u""},     // 261 characters in the marked form
  };
  for (const auto& c : cases) {
    WCHAR section[kIniMaxNameChars + 1];
    const BOOL made = IniMakeSectionName(c.name.c_str(), section, kIniMaxNameChars + 1);
    EXPECT_EQ(made != FALSE, !c.section.empty()) << c.section.size();
    if (made) {
      EXPECT_EQ(std::u16string(section), c.section);
    }
  }
}

TEST(SectionNameTest, TwoPrintersOutsideTheCodePageKeepTheirOwnSettings) {
  velm::test::TempMachineRoot root;
  ASSERT_TRUE(CreateDirectoryW(u"C:\\_velm", nullptr));
  ASSERT_TRUE(IniProfileWriteString(u"Lab \u4e2d", u"dmPrintQuality", u"1200", kPath));
  ASSERT_TRUE(IniProfileWriteString(u"Lab \u6587", u"dmPrintQuality", u"300", kPath));
  ASSERT_TRUE(IniProfileWriteString(u"Lab ?", u"dmPrintQuality", u"600", kPath));
  EXPECT_EQ(IniProfileGetInt(u"Lab \u4e2d", u"dmPrintQuality", 0, kPath), 1200u);
  EXPECT_EQ(IniProfileGetInt(u"Lab \u6587", u"dmPrintQuality", 0, kPath), 300u);
  EXPECT_EQ(IniProfileGetInt(u"Lab ?", u"dmPrintQuality", 0, kPath), 600u);

  // The engine's rewrite finds the same section as the profile functions.
  IniSectionText text{};
  WCHAR section[kIniMaxNameChars + 1];
  ASSERT_TRUE(IniMakeSectionName(u"Lab \u4e2d", section, kIniMaxNameChars + 1));
  ASSERT_TRUE(IniAppendSection(&text, section));
  ASSERT_TRUE(IniAppendEntry(&text, u"dmPrintQuality", u"2400"));
  ASSERT_TRUE(IniReplaceSection(kPath, section, text.bytes, text.length));
  IniFreeSectionText(&text);
  EXPECT_EQ(IniProfileGetInt(u"Lab \u4e2d", u"dmPrintQuality", 0, kPath), 2400u);
  EXPECT_EQ(IniProfileGetInt(u"Lab \u6587", u"dmPrintQuality", 0, kPath), 300u);
  char* file = IniLoadFile(kPath);
  ASSERT_NE(file, nullptr);
  EXPECT_NE(std::string(file).find("[[Lab %4E2D]\r\ndmPrintQuality=2400\r\n"), std::string::npos) << file;
  IniFreeFile(file);
}

}  // namespace
