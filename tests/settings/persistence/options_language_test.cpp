// The display language from the help file name and the defaults that follow the user's locale.
#include "settings/persistence/options_fixture.h"
#include "settings/services/help_language.h"
#include "settings/devmode/locale_defaults.h"

namespace {

std::string Wide(const std::u16string& text) {
  return std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(char16_t));
}

TEST(HelpLanguageTest, TheTwoLettersBeforeTheExtensionNameTheLanguage) {
  EXPECT_EQ(CfgLanguageIdFromFileName(u"abcfr.chm"), 6);
  EXPECT_EQ(std::u16string(CfgLanguageCodeFromFileName(u"abcfr.chm")), u"fr");
  EXPECT_EQ(CfgLanguageIdFromFileName(u"a.chm"), 1);
  EXPECT_EQ(std::u16string(CfgLanguageCodeFromFileName(u"a.chm")), u"us");
  EXPECT_EQ(CfgLanguageIdFromFileName(u"xxCS.hlp"), 16);
  EXPECT_EQ(CfgLanguageIdFromFileName(u"C:\\help.gm\\qnhlpjp.v2.chm"), 1);  // "v2" is no code
  EXPECT_EQ(CfgLanguageIdFromFileName(u"C:\\help.gm\\qnhlpit"), 1);         // no extension
  EXPECT_EQ(CfgLanguageIdFromFileName(u"C:\\d.jp\\qnhlpit.chm"), 7);        // the file's own dot
  EXPECT_EQ(CfgLanguageIdFromFileName(nullptr), 1);
}

TEST(HelpLanguageTest, LanguageValuesGiveTheirLanguageIdentifiers) {
  WORD primary = 0, sub = 0;
  ASSERT_TRUE(ResFindLanguage(17, &primary, &sub));
  EXPECT_EQ(primary, 0x04);
  EXPECT_EQ(sub, 1);
  ASSERT_TRUE(ResFindLanguage(0, &primary, &sub));
  EXPECT_EQ(primary, 0x11);
  EXPECT_EQ(sub, 0);
  EXPECT_FALSE(ResFindLanguage(15, &primary, &sub));
  EXPECT_EQ(primary, 0);
  EXPECT_TRUE(ResIsLanguageValue(14));
  EXPECT_FALSE(ResIsLanguageValue(15));
  EXPECT_FALSE(ResIsLanguageValue(0xFFFF));
}

TEST_F(OptionPersistenceTest, ThePrintersHelpFileAndItem177GiveTheLanguageCodes) {
  DriverContext* c = Context(printer_);
  SetData(u"HelpFileName", REG_SZ, Wide(u"qnhlpfr.chm"));
  EXPECT_EQ(CfgHelpLanguageId(c), 6);
  EXPECT_EQ(std::u16string(CfgHelpLanguageCode(c)), u"fr");
  DeleteData(u"HelpFileName");
  EXPECT_EQ(CfgHelpLanguageId(c), 1);
  EXPECT_EQ(std::u16string(CfgHelpLanguageCode(c)), u"us");

  OptSetValue(c, kItemLanguageID, 4);
  EXPECT_EQ(std::u16string(CfgLanguageCodeOfItem(c)), u"gm");
  OptSetValue(c, kItemLanguageID, 15);
  EXPECT_EQ(std::u16string(CfgLanguageCodeOfItem(c)), u"us");
}

TEST_F(OptionPersistenceTest, TheHelpLanguageOfANewContextComesFromThePrinter) {
  SetData(u"HelpFileName", REG_SZ, Wide(u"C:\\drivers\\qnhlpsw.chm"));
  DriverContext* c = Context(printer_);
  EXPECT_EQ(std::u16string(CfgGetHelpLanguageCached(c)), u"sw");
}

TEST_F(OptionPersistenceTest, AHelpFileNameTooLongForTheBufferIsNotCut) {
  SetData(u"HelpFileName", REG_SZ, Wide(u"abcdefr.chm"));
  WCHAR name[8];
  EXPECT_EQ(CfgReadHelpFileName(printer_, name, 8), 0u);
  EXPECT_EQ(name[0], 0);
  WCHAR whole[12];
  EXPECT_EQ(CfgReadHelpFileName(printer_, whole, 12), 11u);
}

TEST_F(OptionPersistenceTest, TheUsersCountryChoosesUnitsAndPaper) {
  DriverContext* c = Context(printer_);
  ASSERT_TRUE(velm::platform::SetMachineSetting("country", "33"));
  DmSetCountryDefaults(c);
  EXPECT_EQ(c->work->locale.countryDigit, 0u);
  EXPECT_EQ(c->work->locale.inchUnits, 0u);
  EXPECT_EQ(c->work->locale.paperSize, 9u);
  EXPECT_EQ(OptGetValue(c, kItemLocaleID), 0u);

  ASSERT_TRUE(velm::platform::SetMachineSetting("country", "1"));
  DmSetCountryDefaults(c);
  EXPECT_EQ(c->work->locale.countryDigit, 1u);
  EXPECT_EQ(c->work->locale.inchUnits, 1u);
  EXPECT_EQ(c->work->locale.paperSize, 1u);
  EXPECT_EQ(OptGetValue(c, kItemLocaleID), 1u);

  ASSERT_TRUE(velm::platform::SetMachineSetting("country", "55"));
  EXPECT_EQ(SysGetCountryDigit(), 5u);
  ASSERT_TRUE(velm::platform::SetMachineSetting("country", "44"));
  EXPECT_EQ(SysGetCountryDigit(), 0u);
}

}  // namespace
