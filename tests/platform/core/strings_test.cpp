#include "core/strings.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <string>

#include "core/machine_root.h"
#include "core/unicode.h"
#include "support/temp_root.h"

namespace velm::platform {
namespace {

TEST(StringsTest, LstrFunctionsBoundAndTolerateNull) {
  WCHAR buffer[8];
  EXPECT_EQ(lstrlenW(nullptr), 0);
  EXPECT_EQ(lstrcpynW(buffer, u"abcdef", 4), buffer);
  EXPECT_EQ(std::u16string(buffer), u"abc");
  EXPECT_EQ(lstrcpynW(buffer, u"zz", 0), buffer);
  EXPECT_EQ(std::u16string(buffer), u"abc");
  EXPECT_EQ(lstrcatW(buffer, u"de"), buffer);
  EXPECT_EQ(std::u16string(buffer), u"abcde");
  EXPECT_EQ(lstrcpyW(nullptr, u"x"), nullptr);
  EXPECT_LT(lstrcmpW(u"abc", u"abd"), 0);
  EXPECT_LT(lstrcmpW(nullptr, u""), 0);
  EXPECT_EQ(lstrcmpiW(u"Section_Name", u"SECTION_name"), 0);
  EXPECT_NE(lstrcmpiW(u"\u00C4", u"\u00E4"), 0);  // ASCII folding only
  EXPECT_EQ(lstrcmpiA("KeyName", "KEYNAME"), 0);
}

TEST(StringsTest, AnsiFunctionsWalkDoubleByteCharacters) {
  test::TempMachineRoot root;
  ASSERT_TRUE(SetMachineSetting("codepage", "932"));
  const char text[] = "a\x93\xFA" "b";  // "a日b"
  char buffer[8];
  EXPECT_EQ(std::string(lstrcpynA(buffer, text, 3)), "a");  // not "a" and half of 日
  EXPECT_EQ(std::string(lstrcpynA(buffer, text, 4)), "a\x93\xFA");
  EXPECT_EQ(CharNextA(text), text + 1);
  EXPECT_EQ(CharNextA(text + 1), text + 3);
  EXPECT_EQ(CharNextA(text + 4), text + 4);  // at the NUL
  EXPECT_EQ(CharPrevA(text, text + 3), text + 1);
  EXPECT_EQ(CharPrevA(text, text + 1), text);
  EXPECT_EQ(CharPrevA(text, text), text);
  // 0x83 0x41 and 0x83 0x61 are two characters whose trail bytes look like 'A' and 'a'.
  EXPECT_NE(lstrcmpiA("\x83\x41", "\x83\x61"), 0);
  EXPECT_EQ(lstrcmpiA("x\x83\x41Y", "X\x83\x41y"), 0);
}

TEST(StringsTest, CaseMappingInPlaceAndSingleCharacter) {
  WCHAR text[] = u"abc\u00E9 \u00FF\u0153 \u00DF\u00F7";
  EXPECT_EQ(CharUpperW(text), text);
  EXPECT_EQ(std::u16string(text), u"ABC\u00C9 \u0178\u0152 \u00DF\u00F7");
  CharLowerW(text);
  EXPECT_EQ(std::u16string(text), u"abc\u00E9 \u00FF\u0153 \u00DF\u00F7");
  const auto upper = reinterpret_cast<uintptr_t>(CharUpperW(reinterpret_cast<LPWSTR>(static_cast<uintptr_t>(u'q'))));
  EXPECT_EQ(upper, static_cast<uintptr_t>(u'Q'));
}

TEST(StringsTest, SafeCopyCatAndLength) {
  WCHAR buffer[6];
  EXPECT_EQ(StringCchCopyW(buffer, 6, u"abcdefgh"), STRSAFE_E_INSUFFICIENT_BUFFER);
  EXPECT_EQ(std::u16string(buffer), u"abcde");
  EXPECT_EQ(StringCchCopyW(buffer, 6, nullptr), STRSAFE_E_INVALID_PARAMETER);
  EXPECT_EQ(buffer[0], u'\0');
  EXPECT_EQ(StringCchCopyW(buffer, 0, u"a"), STRSAFE_E_INVALID_PARAMETER);
  EXPECT_EQ(StringCchCopyW(buffer, STRSAFE_MAX_CCH + 1, u"a"), STRSAFE_E_INVALID_PARAMETER);
  const WCHAR unterminated[3] = {u'x', u'y', u'z'};
  EXPECT_EQ(StringCchCopyNW(buffer, 6, unterminated, 3), S_OK);  // reads no further than 3
  EXPECT_EQ(std::u16string(buffer), u"xyz");
  EXPECT_EQ(StringCchCatW(buffer, 6, u"12"), S_OK);
  EXPECT_EQ(StringCchCatW(buffer, 6, u"34"), STRSAFE_E_INSUFFICIENT_BUFFER);
  EXPECT_EQ(std::u16string(buffer), u"xyz12");
  WCHAR full[3] = {u'a', u'b', u'c'};
  EXPECT_EQ(StringCchCatW(full, 3, u"d"), STRSAFE_E_INVALID_PARAMETER);  // no NUL: left alone
  EXPECT_EQ(full[2], u'c');
  EXPECT_EQ(StringCbCopyW(buffer, 8, u"abcd"), STRSAFE_E_INSUFFICIENT_BUFFER);
  EXPECT_EQ(std::u16string(buffer), u"abc");
  EXPECT_EQ(StringCbCatW(buffer, sizeof buffer, u"de"), S_OK);
  size_t length = 99;
  EXPECT_EQ(StringCchLengthW(u"abc", 4, &length), S_OK);
  EXPECT_EQ(length, 3u);
  EXPECT_EQ(StringCchLengthW(u"abc", 3, &length), STRSAFE_E_INVALID_PARAMETER);
  EXPECT_EQ(length, 0u);
}

TEST(StringsTest, WtoiSkipsBlanksTakesSignStopsAndSaturates) {
  struct Case {
    const WCHAR* text;
    int value;
    bool range;
  };
  const Case cases[] = {
      {u" \t42abc", 42, false},          {u"-17", -17, false},  {u"+8", 8, false},
      {u"007", 7, false},                {u"0x1A", 0, false},   {u"", 0, false},
      {u"- 5", 0, false},                {u"abc", 0, false},    {u"2147483647", INT_MAX, false},
      {u"2147483648", INT_MAX, true},    {u"-2147483648", INT_MIN, false},
      {u"-99999999999", INT_MIN, true},  {u"999999999999999999999999", INT_MAX, true},
  };
  for (const Case& c : cases) {
    errno = 0;
    EXPECT_EQ(_wtoi(c.text), c.value) << Utf16ToUtf8(c.text);
    EXPECT_EQ(errno == ERANGE, c.range) << Utf16ToUtf8(c.text);
    EXPECT_EQ(_wtol(c.text), c.value);
  }
  EXPECT_EQ(_wtoi(nullptr), 0);
}

TEST(StringsTest, WcstolAndNumberText) {
  WCHAR* end = nullptr;
  const WCHAR* hex = u"0x1Az";
  EXPECT_EQ(wcstol(hex, &end, 0), 26);
  EXPECT_EQ(end, hex + 4);
  EXPECT_EQ(wcstol(u"012", nullptr, 0), 10);
  EXPECT_EQ(wcstol(u" -z", nullptr, 36), -35);
  const WCHAR* none = u"  zz";
  EXPECT_EQ(wcstol(none, &end, 10), 0);
  EXPECT_EQ(end, none);
  errno = 0;
  EXPECT_EQ(wcstol(u"2147483648", nullptr, 10), INT32_MAX);
  EXPECT_EQ(errno, ERANGE);
  EXPECT_EQ(wcstoul(u"4294967295", nullptr, 10), 0xFFFFFFFFu);
  EXPECT_EQ(wcstoul(u"-1", nullptr, 10), 0xFFFFFFFFu);
  errno = 0;
  EXPECT_EQ(wcstoul(u"4294967296", nullptr, 10), 0xFFFFFFFFu);
  EXPECT_EQ(errno, ERANGE);

  WCHAR text[40];
  EXPECT_EQ(std::u16string(_itow(-123, text, 10)), u"-123");
  EXPECT_EQ(std::u16string(_itow(INT_MIN, text, 10)), u"-2147483648");
  EXPECT_EQ(std::u16string(_ltow(-1, text, 16)), u"ffffffff");
  EXPECT_EQ(std::u16string(_ultow(0xFFFFFFFFu, text, 2)), std::u16string(32, u'1'));
  errno = 0;
  EXPECT_EQ(std::u16string(_itow(5, text, 37)), u"");
  EXPECT_EQ(errno, EINVAL);
}

TEST(StringsTest, RuntimeWideHelpers) {
  WCHAR buffer[8];
  EXPECT_EQ(wcslen(u"abc"), 3u);
  wcsncpy(buffer, u"ab", 5);
  EXPECT_EQ(buffer[2], u'\0');
  EXPECT_EQ(buffer[4], u'\0');  // padded
  wcsncat(buffer, u"cdefgh", 3);
  EXPECT_EQ(std::u16string(buffer), u"abcde");
  EXPECT_LT(wcscmp(u"a", u"b"), 0);
  EXPECT_EQ(wcsncmp(u"abX", u"abY", 2), 0);
  const WCHAR* path = u"C:\\dir\\file.ini";
  EXPECT_EQ(wcschr(path, u'\\'), path + 2);
  EXPECT_EQ(wcsrchr(path, u'\\'), path + 6);
  EXPECT_EQ(wcschr(path, u'\0'), path + 15);
  EXPECT_EQ(wcsstr(path, u"file"), path + 7);
  EXPECT_EQ(wcsstr(path, u"nope"), nullptr);
  EXPECT_EQ(_wcsicmp(u"Hello", u"hELLO"), 0);
  EXPECT_LT(_wcsicmp(u"_", u"A"), 0);  // ordered as lower case, as the C runtime does
  EXPECT_EQ(_wcsnicmp(u"abcX", u"ABCy", 3), 0);
  EXPECT_EQ(_stricmp("HeLLo", "hello"), 0);
  EXPECT_NE(_stricmp("\xC4", "\xE4"), 0);
  EXPECT_EQ(_strnicmp("abcX", "ABCy", 3), 0);
  EXPECT_LT(_strnicmp("abcX", "ABCy", 4), 0);
}

}  // namespace
}  // namespace velm::platform
