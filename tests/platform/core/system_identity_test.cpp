#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "core/identity.h"
#include "core/machine_root.h"
#include "core/winerror.h"
#include "support/temp_root.h"

namespace velm::platform {
namespace {

std::u16string Info(LCID locale, LCTYPE type) {
  WCHAR buffer[80] = {};
  const int n = GetLocaleInfoW(locale, type, buffer, 80);
  return n > 0 ? std::u16string(buffer, n - 1) : u"<failed>";
}

TEST(IdentityTest, UserNameFollowsTheSizeProtocol) {
  test::TempMachineRoot root;
  ASSERT_TRUE(SetMachineSetting("user", "printer-admin"));  // 13 characters
  DWORD size = 0;
  EXPECT_FALSE(GetUserNameW(nullptr, &size));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(size, 14u);
  WCHAR name[32] = {};
  size = 13;  // no room for the NUL
  EXPECT_FALSE(GetUserNameW(name, &size));
  EXPECT_EQ(size, 14u);
  EXPECT_EQ(name[0], 0);
  ASSERT_TRUE(GetUserNameW(name, &size));
  EXPECT_EQ(size, 14u);  // counts the NUL
  EXPECT_EQ(std::u16string(name), u"printer-admin");
  EXPECT_FALSE(GetUserNameW(name, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(IdentityTest, ComputerNameFollowsItsOwnSizeProtocol) {
  test::TempMachineRoot root;
  ASSERT_TRUE(SetMachineSetting("computer", "office-pc"));
  WCHAR name[32] = {};
  DWORD size = 9;  // the name fits, its NUL does not
  EXPECT_FALSE(GetComputerNameW(name, &size));
  EXPECT_EQ(GetLastError(), ERROR_BUFFER_OVERFLOW);
  EXPECT_EQ(size, 10u);
  ASSERT_TRUE(GetComputerNameW(name, &size));
  EXPECT_EQ(size, 9u);  // does not count the NUL
  EXPECT_EQ(std::u16string(name), u"OFFICE-PC");

  ASSERT_TRUE(SetMachineSetting("computer", "a-very-long-machine-name"));
  size = 32;
  ASSERT_TRUE(GetComputerNameW(name, &size));
  EXPECT_EQ(size, MAX_COMPUTERNAME_LENGTH);
  EXPECT_EQ(std::u16string(name), u"A-VERY-LONG-MAC");
}

TEST(IdentityTest, LanguagesComeFromTheSettingsAndThreadLocaleIsPerThread) {
  test::TempMachineRoot root;
  ASSERT_TRUE(SetMachineSetting("userlang", "1031"));
  ASSERT_TRUE(SetMachineSetting("systemlang", "1041"));
  EXPECT_EQ(GetUserDefaultLangID(), 0x0407);
  EXPECT_EQ(GetUserDefaultUILanguage(), 0x0407);
  EXPECT_EQ(GetUserDefaultLCID(), 0x0407u);
  EXPECT_EQ(GetSystemDefaultLangID(), 0x0411);
  EXPECT_EQ(GetSystemDefaultUILanguage(), 0x0411);
  EXPECT_EQ(GetSystemDefaultLCID(), 0x0411u);
  ASSERT_TRUE(SetMachineSetting("userlang", "not a number"));
  EXPECT_EQ(GetUserDefaultLangID(), 0x0409);

  std::thread([] {
    EXPECT_EQ(GetThreadLocale(), 0x0409u);
    EXPECT_TRUE(SetThreadLocale(0x040C));
    EXPECT_EQ(GetThreadLocale(), 0x040Cu);
    std::thread([] { EXPECT_EQ(GetThreadLocale(), 0x0409u); }).join();
    EXPECT_FALSE(SetThreadLocale(0x0999));
    EXPECT_EQ(GetThreadLocale(), 0x040Cu);
  }).join();
}

TEST(IdentityTest, LocaleInfoAnswersTheUserOverrideAndTheTables) {
  test::TempMachineRoot root;
  ASSERT_TRUE(SetMachineSetting("country", "33"));
  ASSERT_TRUE(SetMachineSetting("systemlang", "1041"));
  ASSERT_TRUE(SetMachineSetting("codepage", "932"));
  EXPECT_EQ(Info(LOCALE_USER_DEFAULT, LOCALE_ICOUNTRY), u"33");
  EXPECT_EQ(Info(0x0409, LOCALE_ICOUNTRY), u"33");  // the user's locale, however it is named
  EXPECT_EQ(Info(LOCALE_USER_DEFAULT, LOCALE_ICOUNTRY | LOCALE_NOUSEROVERRIDE), u"1");
  EXPECT_EQ(Info(LOCALE_USER_DEFAULT, LOCALE_SISO639LANGNAME), u"en");
  EXPECT_EQ(Info(LOCALE_USER_DEFAULT, LOCALE_SENGLANGUAGE), u"English");
  EXPECT_EQ(Info(LOCALE_USER_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE), u"1252");
  EXPECT_EQ(Info(LOCALE_SYSTEM_DEFAULT, LOCALE_ICOUNTRY), u"81");
  EXPECT_EQ(Info(LOCALE_SYSTEM_DEFAULT, LOCALE_SISO3166CTRYNAME), u"JP");
  EXPECT_EQ(Info(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE), u"932");
  EXPECT_EQ(Info(0x0407, LOCALE_SNAME), u"de-DE");
  EXPECT_EQ(Info(0x0407, LOCALE_ILANGUAGE), u"0407");
  EXPECT_EQ(Info(0x0007, LOCALE_SISO3166CTRYNAME), u"DE");  // neutral sublanguage: the default one
  DWORD number = 0;
  EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_ICOUNTRY | LOCALE_RETURN_NUMBER,
                           reinterpret_cast<LPWSTR>(&number), 2),
            2);
  EXPECT_EQ(number, 33u);
}

TEST(IdentityTest, LocaleInfoSizeQueryAndErrors) {
  test::TempMachineRoot root;
  EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SENGCOUNTRY, nullptr, 0), 14);  // "United States" + NUL
  WCHAR small[13] = {};
  EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SENGCOUNTRY, small, 13), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  WCHAR buffer[8] = {};
  EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, 0x7777, buffer, 8), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_FLAGS);
  EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SENGLANGUAGE | LOCALE_RETURN_NUMBER, buffer, 8), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_FLAGS);
  EXPECT_EQ(GetLocaleInfoW(0x0999, LOCALE_ICOUNTRY, buffer, 8), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace
}  // namespace velm::platform
