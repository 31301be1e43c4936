// Reading INI files with Windows' rules and size conventions.
#include <gtest/gtest.h>

#include <string>

#include "core/machine_root.h"
#include "core/profile.h"
#include "core/winerror.h"
#include "support/temp_root.h"

namespace velm::platform {
namespace {

constexpr const char16_t* kFile = u"C:\\Data\\read.ini";

class ProfileReadTest : public ::testing::Test {
 protected:
  test::TempMachineRoot root_;

  void Write(const std::string& text) { test::WriteHostFile(root_.OnDriveC("Data/read.ini"), text); }

  std::u16string Get(const char16_t* section, const char16_t* key, const char16_t* fallback = u"?") {
    char16_t buffer[256];
    const DWORD n = GetPrivateProfileStringW(section, key, fallback, buffer, 256, kFile);
    return std::u16string(buffer, n);
  }
};

TEST_F(ProfileReadTest, NamesIgnoreCaseValuesAreTrimmedAndLoseOnePairOfQuotes) {
  Write("; a=comment\r\n"
        "  [ Fonts ]  trailing\n"
        "Plain=value\r\n"
        "  Spaced  =  two words  \r\n"
        "dq=\"quoted  \"\r\n"
        "sq='single'\r\n"
        "mixed=\"half'\r\n"
        "twice=\"\"x\"\"\r\n"
        "eq=a=b\r\n"
        ";hidden=1\r\n"
        "nokey\r\n"
        "[fonts]\r\n"
        "plain=second section of the same name is not read\r\n");
  EXPECT_EQ(Get(u"FONTS", u"plain"), u"value");
  EXPECT_EQ(Get(u"fonts", u"SPACED"), u"two words");
  EXPECT_EQ(Get(u"Fonts", u"dq"), u"quoted  ");
  EXPECT_EQ(Get(u"Fonts", u"sq"), u"single");
  EXPECT_EQ(Get(u"Fonts", u"mixed"), u"\"half'");
  EXPECT_EQ(Get(u"Fonts", u"twice"), u"\"x\"");
  EXPECT_EQ(Get(u"Fonts", u"eq"), u"a=b");
  EXPECT_EQ(Get(u"Fonts", u";hidden"), u"?");
  EXPECT_EQ(Get(u"Fonts", u"nokey"), u"?");
  EXPECT_EQ(Get(u" Fonts ", u" plain "), u"value");
}

TEST_F(ProfileReadTest, ValueAndDefaultFollowTheSizeRules) {
  Write("[s]\r\nk=abcdef\r\n");
  char16_t buffer[8] = {};
  EXPECT_EQ(GetPrivateProfileStringW(u"s", u"k", u"", buffer, 7, kFile), 6u);
  EXPECT_EQ(std::u16string(buffer), u"abcdef");
  EXPECT_EQ(GetPrivateProfileStringW(u"s", u"k", u"", buffer, 6, kFile), 5u);  // cut to size-1
  EXPECT_EQ(std::u16string(buffer), u"abcde");
  EXPECT_EQ(GetLastError(), ERROR_MORE_DATA);
  EXPECT_EQ(GetPrivateProfileStringW(u"s", u"k", u"", buffer, 1, kFile), 0u);
  EXPECT_EQ(buffer[0], 0);
  buffer[0] = u'x';
  EXPECT_EQ(GetPrivateProfileStringW(u"s", u"k", u"", buffer, 0, kFile), 0u);
  EXPECT_EQ(buffer[0], u'x');

  EXPECT_EQ(GetPrivateProfileStringW(u"s", u"missing", nullptr, buffer, 8, kFile), 0u);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetPrivateProfileStringW(u"s", u"missing", u"dflt  ", buffer, 8, kFile), 4u);  // trailing blanks go
  EXPECT_EQ(std::u16string(buffer), u"dflt");
  EXPECT_EQ(GetPrivateProfileStringW(u"s", u"k", u"dflt", buffer, 8, u"C:\\Data\\absent.ini"), 4u);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(ProfileReadTest, KeyAndSectionListsAreDoubleNulAndCutToSizeMinusTwo) {
  Write("[one]\r\nalpha=1\r\n; c=x\r\nbeta=2\r\nloose\r\n[Two]\n[three]\r\n");
  char16_t buffer[32];
  DWORD n = GetPrivateProfileStringW(u"ONE", nullptr, u"", buffer, 32, kFile);
  EXPECT_EQ(std::u16string(buffer, n + 1), std::u16string(u"alpha\0beta\0\0", 12));
  n = GetPrivateProfileSectionNamesW(buffer, 32, kFile);
  EXPECT_EQ(std::u16string(buffer, n + 1), std::u16string(u"one\0Two\0three\0\0", 15));
  EXPECT_EQ(n, 14u);

  // "one\0Two\0three\0" needs 15 units: with 9, the list is cut and ends in two NULs.
  n = GetPrivateProfileSectionNamesW(buffer, 9, kFile);
  EXPECT_EQ(n, 7u);
  EXPECT_EQ(std::u16string(buffer, 9), std::u16string(u"one\0Two\0\0", 9));
  n = GetPrivateProfileStringW(u"one", nullptr, u"", buffer, 5, kFile);
  EXPECT_EQ(n, 3u);
  EXPECT_EQ(std::u16string(buffer, 5), std::u16string(u"alp\0\0", 5));

  n = GetPrivateProfileStringW(u"nosuch", nullptr, u"dflt", buffer, 32, kFile);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(buffer[1], 0);
  EXPECT_EQ(GetPrivateProfileSectionNamesW(buffer, 32, u"C:\\Data\\absent.ini"), 0u);
}

TEST_F(ProfileReadTest, SectionReadGivesEntriesWithQuotesKept) {
  Write("[s]\r\n k = \"v\" \r\n\r\n; note\r\nbare line\r\nz=\r\n[t]\r\nq=1\r\n");
  char16_t buffer[64];
  DWORD n = GetPrivateProfileSectionW(u"S", buffer, 64, kFile);
  EXPECT_EQ(std::u16string(buffer, n + 1), std::u16string(u"k=\"v\"\0bare line\0z=\0\0", 20));
  n = GetPrivateProfileSectionW(u"s", buffer, 8, kFile);
  EXPECT_EQ(n, 6u);
  EXPECT_EQ(std::u16string(buffer, 8), std::u16string(u"k=\"v\"\0\0\0", 8));
  EXPECT_EQ(GetPrivateProfileSectionW(u"none", buffer, 64, kFile), 0u);
}

TEST_F(ProfileReadTest, IntTakesTheLeadingNumberAndKeepsTheDefaultForAbsentKeys) {
  Write("[n]\r\nmixed=102abc\r\nempty=\r\nneg=-5\r\nplus= +7 \r\nhex=0x1F\r\nHEX2=0XffZ\r\n"
        "word=abc\r\nquoted=\"12\"\r\nhuge=4294967297\r\nzerox=0x\r\n");
  EXPECT_EQ(GetPrivateProfileIntW(u"n", u"mixed", 9, kFile), 102u);
  EXPECT_EQ(GetPrivateProfileIntW(u"n", u"empty", 9, kFile), 0u);
  EXPECT_EQ(static_cast<INT>(GetPrivateProfileIntW(u"n", u"neg", 9, kFile)), -5);
  EXPECT_EQ(GetPrivateProfileIntW(u"n", u"plus", 9, kFile), 7u);
  EXPECT_EQ(GetPrivateProfileIntW(u"n", u"hex", 9, kFile), 31u);
  EXPECT_EQ(GetPrivateProfileIntW(u"n", u"hex2", 9, kFile), 255u);
  EXPECT_EQ(GetPrivateProfileIntW(u"n", u"word", 9, kFile), 0u);
  EXPECT_EQ(GetPrivateProfileIntW(u"n", u"quoted", 9, kFile), 12u);
  EXPECT_EQ(GetPrivateProfileIntW(u"n", u"huge", 9, kFile), 1u);  // 32 bits, wrapping
  EXPECT_EQ(GetPrivateProfileIntW(u"n", u"zerox", 9, kFile), 0u);
  EXPECT_EQ(static_cast<INT>(GetPrivateProfileIntW(u"n", u"absent", -1, kFile)), -1);
  EXPECT_EQ(GetPrivateProfileIntW(u"n", u"absent", 0xFFFF, kFile), 0xFFFFu);
  EXPECT_EQ(GetPrivateProfileIntW(u"n", u"mixed", 0xFFFF, u"C:\\Data\\absent.ini"), 0xFFFFu);
}

TEST_F(ProfileReadTest, Utf16FilesAreNotReadAndEveryCallSeesTheFileAsItIsNow) {
  Write(std::string("\xFF\xFE[\0s\0]\0", 8));
  EXPECT_EQ(Get(u"s", u"k"), u"?");
  EXPECT_EQ(GetLastError(), ERROR_INVALID_DATA);
  Write("[s]\nk=1\n");
  EXPECT_EQ(Get(u"s", u"k"), u"1");
  Write("[s]\nk=2\n");
  EXPECT_EQ(Get(u"s", u"k"), u"2");
}

TEST_F(ProfileReadTest, BareNamesAreInTheWindowsDirectoryAndWinIniIsTheProfile) {
  test::WriteHostFile(root_.OnDriveC("Windows/bare.ini"), "[s]\r\nk=bare\r\n");
  test::WriteHostFile(root_.OnDriveC("Windows/win.ini"), "[windows]\r\ndevice=Velm,winspool,LPT1:\r\n");
  char16_t buffer[64];
  EXPECT_EQ(GetPrivateProfileStringW(u"s", u"k", u"", buffer, 64, u"bare.ini"), 4u);
  EXPECT_EQ(GetProfileStringW(u"windows", u"device", u"", buffer, 64), 19u);
  EXPECT_EQ(std::u16string(buffer), u"Velm,winspool,LPT1:");
  EXPECT_EQ(GetProfileIntW(u"windows", u"absent", 3), 3u);
}

TEST_F(ProfileReadTest, AnsiFormsFollowTheSameRules) {
  Write("[s]\r\nk=\"abcdef\"\r\nj=1\r\n");
  char buffer[16];
  EXPECT_EQ(GetPrivateProfileStringA("S", "K", "", buffer, 16, "C:\\Data\\read.ini"), 6u);
  EXPECT_STREQ(buffer, "abcdef");
  EXPECT_EQ(GetPrivateProfileStringA("s", "k", "", buffer, 4, "C:\\Data\\read.ini"), 3u);
  EXPECT_STREQ(buffer, "abc");
  const DWORD n = GetPrivateProfileStringA("s", nullptr, "", buffer, 16, "C:\\Data\\read.ini");
  EXPECT_EQ(std::string(buffer, n + 1), std::string("k\0j\0\0", 5));
  EXPECT_EQ(GetPrivateProfileIntA("s", "j", 7, "C:\\Data\\read.ini"), 1u);
}

}  // namespace
}  // namespace velm::platform
