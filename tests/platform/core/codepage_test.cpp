#include "core/codepage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "core/machine_root.h"
#include "core/winerror.h"
#include "support/temp_root.h"

namespace velm::platform {
namespace {

// "日本語" and half-width "ｱｲｳ" in code page 932.
const std::string kNihongo932 = "\x93\xFA\x96\x7B\x8C\xEA";
const std::string kKatakana932 = "\xB1\xB2\xB3";

std::u16string ToWide(UINT cp, const std::string& bytes, DWORD flags = 0) {
  const int n = MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::u16string out(static_cast<size_t>(n), u'\0');
  if (n > 0) {
    EXPECT_EQ(MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()), out.data(), n), n);
  }
  return out;
}

std::string ToBytes(UINT cp, const std::u16string& text, BOOL* usedDefault = nullptr, LPCSTR defaultChar = nullptr,
                    DWORD flags = 0) {
  const int n = WideCharToMultiByte(cp, flags, text.data(), static_cast<int>(text.size()), nullptr, 0, defaultChar,
                                    usedDefault);
  std::string out(static_cast<size_t>(n), '\0');
  if (n > 0) {
    EXPECT_EQ(WideCharToMultiByte(cp, flags, text.data(), static_cast<int>(text.size()), out.data(), n, defaultChar,
                                  usedDefault),
              n);
  }
  return out;
}

TEST(CodePageTest, Cp1252UpperHalfRoundTripsEveryByte) {
  test::TempMachineRoot root;
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  const std::u16string wide = ToWide(1252, all, MB_PRECOMPOSED | MB_ERR_INVALID_CHARS);
  ASSERT_EQ(wide.size(), all.size());
  EXPECT_EQ(wide[0x80 - 1], u'\u20AC');  // euro sign
  EXPECT_EQ(wide[0x81 - 1], u'\u0081');  // undefined byte keeps its value
  EXPECT_EQ(wide[0x9F - 1], u'\u0178');
  EXPECT_EQ(wide[0xE9 - 1], u'\u00E9');
  BOOL used = TRUE;
  EXPECT_EQ(ToBytes(1252, wide, &used), all);
  EXPECT_FALSE(used);
  EXPECT_EQ(ToBytes(CP_ACP, wide), all);
}

TEST(CodePageTest, Cp932DoubleByteAndHalfWidthKatakanaRoundTrip) {
  test::TempMachineRoot root;
  const std::string bytes = "A" + kNihongo932 + kKatakana932 + "\\";
  const std::u16string wide = ToWide(932, bytes, MB_ERR_INVALID_CHARS);
  EXPECT_EQ(wide, u"A日本語ｱｲｳ\\");
  EXPECT_EQ(ToBytes(932, wide), bytes);
  // No best fit: the yen sign and the wave dash have no exact counterpart in 932.
  BOOL used = FALSE;
  EXPECT_EQ(ToBytes(932, u"\u00A5\u301C", &used, nullptr, WC_NO_BEST_FIT_CHARS), "??");
  EXPECT_TRUE(used);
}

TEST(CodePageTest, AnsiCodePageFollowsTheMachineSetting) {
  test::TempMachineRoot root;
  EXPECT_EQ(GetACP(), 1252u);
  EXPECT_EQ(GetOEMCP(), 437u);
  EXPECT_FALSE(IsDBCSLeadByte(0x93));
  ASSERT_TRUE(SetMachineSetting("codepage", "932"));
  EXPECT_EQ(GetACP(), 932u);
  EXPECT_EQ(GetOEMCP(), 932u);
  EXPECT_TRUE(IsDBCSLeadByte(0x93));
  EXPECT_EQ(AnsiToWide(kNihongo932), u"日本語");
  EXPECT_EQ(WideToAnsi(u"日本語"), kNihongo932);
  ASSERT_TRUE(SetMachineSetting("codepage", "1252"));
  EXPECT_EQ(GetACP(), 1252u);
  EXPECT_EQ(WideToAnsi(u"日本語"), "???");
  ASSERT_TRUE(SetMachineSetting("codepage", "bogus"));
  EXPECT_EQ(GetACP(), 1252u);
}

TEST(CodePageTest, LeadBytesAndCodePageInfo) {
  test::TempMachineRoot root;
  EXPECT_TRUE(IsDBCSLeadByteEx(932, 0x81));
  EXPECT_TRUE(IsDBCSLeadByteEx(932, 0x9F));
  EXPECT_TRUE(IsDBCSLeadByteEx(932, 0xFC));
  EXPECT_FALSE(IsDBCSLeadByteEx(932, 0xA1));  // half-width katakana are single bytes
  EXPECT_FALSE(IsDBCSLeadByteEx(932, 'A'));
  EXPECT_FALSE(IsDBCSLeadByteEx(CP_UTF8, 0xE6));
  SetLastError(0);
  EXPECT_FALSE(IsDBCSLeadByteEx(12345, 0x81));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  CPINFO info;
  ASSERT_TRUE(GetCPInfo(932, &info));
  EXPECT_EQ(info.MaxCharSize, 2u);
  EXPECT_EQ(info.DefaultChar[0], '?');
  const BYTE leads[MAX_LEADBYTES] = {0x81, 0x9F, 0xE0, 0xFC};
  EXPECT_EQ(std::memcmp(info.LeadByte, leads, sizeof leads), 0);
  ASSERT_TRUE(GetCPInfo(CP_ACP, &info));
  EXPECT_EQ(info.MaxCharSize, 1u);
  EXPECT_EQ(info.LeadByte[0], 0);
  ASSERT_TRUE(GetCPInfo(CP_UTF8, &info));
  EXPECT_EQ(info.MaxCharSize, 4u);
  EXPECT_FALSE(GetCPInfo(932, nullptr));

  for (UINT cp : {1252u, 932u, 437u, CP_UTF8}) EXPECT_TRUE(IsValidCodePage(cp)) << cp;
  EXPECT_FALSE(IsValidCodePage(CP_ACP));
  EXPECT_FALSE(IsValidCodePage(12345));
}

TEST(CodePageTest, InvalidSequencesFailStrictlyOrBecomeTheDefault) {
  test::TempMachineRoot root;
  struct Case {
    UINT cp;
    std::string bytes;
    std::u16string lax;
  };
  const Case cases[] = {
      {932, "\x93", u"\u30FB"},                    // lead byte at the end
      {932, "\x93=", u"\u30FB="},                 // lead byte before a byte that cannot trail: '=' is kept
      {932, std::string("\x93\0", 2), std::u16string(u"\u30FB\0", 2)},  // the NUL is never swallowed
      {932, "\x85\x40", u"\u30FB"},                // well-formed pair that maps to nothing
      {932, "\xFD", u"\u30FB"},                    // undefined single byte
      {CP_UTF8, "\xC3\x28", u"\uFFFD("},           // bad continuation keeps the next character
      {CP_UTF8, "\xC0\xAF", u"\uFFFD\uFFFD"},      // overlong
      {CP_UTF8, "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // encoded surrogate
      {CP_UTF8, "\xE6\x97", u"\uFFFD"},            // truncated
  };
  for (const Case& c : cases) {
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(c.cp, MB_ERR_INVALID_CHARS, c.bytes.data(), static_cast<int>(c.bytes.size()),
                                  nullptr, 0),
              0)
        << c.cp << " " << c.bytes;
    EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
    EXPECT_EQ(ToWide(c.cp, c.bytes), c.lax) << c.cp << " " << c.bytes;
  }
  EXPECT_EQ(ToWide(CP_UTF8, "\xF0\x9F\x98\x80", MB_ERR_INVALID_CHARS), u"\U0001F600");

  // Unpaired surrogates going out to UTF-8.
  const std::u16string lone(1, u'\xD800');
  EXPECT_EQ(ToBytes(CP_UTF8, lone), "\xEF\xBF\xBD");
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone.data(), 1, nullptr, 0, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
}

TEST(CodePageTest, SizeQueriesShortBuffersAndTerminators) {
  test::TempMachineRoot root;
  WCHAR wide[8];
  EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", -1, nullptr, 0), 4);  // -1 counts the NUL
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", -1, wide, 3), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  ASSERT_EQ(MultiByteToWideChar(1252, 0, "abc", -1, wide, 4), 4);
  EXPECT_EQ(std::u16string(wide), u"abc");
  EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", 2, wide, 8), 2);  // a count converts no NUL

  char bytes[8];
  EXPECT_EQ(WideCharToMultiByte(932, 0, u"日本語", -1, nullptr, 0, nullptr, nullptr), 7);
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(932, 0, u"日本語", -1, bytes, 6, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  ASSERT_EQ(WideCharToMultiByte(932, 0, u"日本語", -1, bytes, 7, nullptr, nullptr), 7);
  EXPECT_EQ(std::string(bytes), kNihongo932);

  BOOL used = FALSE;
  EXPECT_EQ(ToBytes(1252, u"a\u65E5b", &used, "*"), "a*b");
  EXPECT_TRUE(used);
}

TEST(CodePageTest, BadArgumentsAndFlagsAreRefused) {
  test::TempMachineRoot root;
  WCHAR wide[4];
  char bytes[4];
  BOOL used;
  struct Case {
    std::function<int()> call;
    DWORD error;
  };
  const Case cases[] = {
      {[&] { return MultiByteToWideChar(1252, 0, "a", 0, wide, 4); }, ERROR_INVALID_PARAMETER},
      {[&] { return MultiByteToWideChar(1252, 0, nullptr, 1, wide, 4); }, ERROR_INVALID_PARAMETER},
      {[&] { return MultiByteToWideChar(1252, 0, "a", -2, wide, 4); }, ERROR_INVALID_PARAMETER},
      {[&] { return MultiByteToWideChar(1252, 0, "a", 1, nullptr, 4); }, ERROR_INVALID_PARAMETER},
      {[&] { return MultiByteToWideChar(12345, 0, "a", 1, wide, 4); }, ERROR_INVALID_PARAMETER},
      {[&] { return MultiByteToWideChar(1252, MB_COMPOSITE, "a", 1, wide, 4); }, ERROR_INVALID_FLAGS},
      {[&] { return MultiByteToWideChar(CP_UTF8, MB_PRECOMPOSED, "a", 1, wide, 4); }, ERROR_INVALID_FLAGS},
      {[&] { return WideCharToMultiByte(1252, 0, u"a", 0, bytes, 4, nullptr, nullptr); }, ERROR_INVALID_PARAMETER},
      {[&] { return WideCharToMultiByte(1252, WC_COMPOSITECHECK, u"a", 1, bytes, 4, nullptr, nullptr); },
       ERROR_INVALID_FLAGS},
      {[&] { return WideCharToMultiByte(CP_UTF8, WC_NO_BEST_FIT_CHARS, u"a", 1, bytes, 4, nullptr, nullptr); },
       ERROR_INVALID_FLAGS},
      {[&] { return WideCharToMultiByte(CP_UTF8, 0, u"a", 1, bytes, 4, nullptr, &used); }, ERROR_INVALID_PARAMETER},
      {[&] { return WideCharToMultiByte(CP_UTF8, 0, u"a", 1, bytes, 4, "?", nullptr); }, ERROR_INVALID_PARAMETER},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SetLastError(0);
    EXPECT_EQ(cases[i].call(), 0) << i;
    EXPECT_EQ(GetLastError(), cases[i].error) << i;
  }
}

TEST(CodePageTest, BoundedNarrowingNeverSplitsADoubleByteCharacter) {
  test::TempMachineRoot root;
  ASSERT_TRUE(SetMachineSetting("codepage", "932"));
  char field[8];
  std::memset(field, 'X', sizeof field);
  // "a日本" needs 5 bytes; a 5-byte field holds "a日" and the NUL, never half of 本.
  EXPECT_EQ(WideToAnsiBounded(u"a日本", field, 5), 3u);
  EXPECT_EQ(std::string(field), "a\x93\xFA");
  EXPECT_EQ(field[5], 'X');
  EXPECT_EQ(WideToAnsiBounded(u"a日本", field, 6), 5u);
  EXPECT_EQ(std::string(field), "a\x93\xFA\x96\x7B");
  EXPECT_EQ(WideToAnsiBounded(u"日", field, 2), 0u);
  EXPECT_EQ(field[0], '\0');
  std::memset(field, 'X', sizeof field);
  EXPECT_EQ(WideToAnsiBounded(u"abc", field, 0), 0u);
  EXPECT_EQ(field[0], 'X');

  EXPECT_EQ(AnsiCharLength(CP_ACP, kNihongo932), 2u);
  EXPECT_EQ(AnsiCharLength(CP_ACP, "\x93"), 1u);
  EXPECT_EQ(AnsiCharLength(CP_ACP, kKatakana932), 1u);
}

}  // namespace
}  // namespace velm::platform
