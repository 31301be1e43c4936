#include "core/strings.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <limits>
#include <string>

#include "core/machine_root.h"
#include "core/unicode.h"
#include "support/temp_root.h"

namespace velm::platform {
namespace {

std::u16string Fmt(const WCHAR* format, ...) {
  WCHAR buffer[256];
  va_list args;
  va_start(args, format);
  const HRESULT hr = StringCchVPrintfW(buffer, 256, format, args);
  va_end(args);
  EXPECT_EQ(hr, S_OK) << Utf16ToUtf8(format);
  return buffer;
}

TEST(StringsFormatTest, IntegersFlagsWidthAndPrecision) {
  EXPECT_EQ(Fmt(u"%d %i %u", -5, 7, 4000000000u), u"-5 7 4000000000");
  EXPECT_EQ(Fmt(u"[%5d|%-5d|%05d|%+d|% d]", 42, 42, -42, 42, 42), u"[   42|42   |-0042|+42| 42]");
  EXPECT_EQ(Fmt(u"%x %X %#x %#X %o %#o %#x", 255, 255, 255, 255, 8, 8, 0), u"ff FF 0xff 0XFF 10 010 0");
  EXPECT_EQ(Fmt(u"[%.3d|%.0d|%08.3d|%#.0o]", 7, 0, 7, 0), u"[007||     007|0]");
  EXPECT_EQ(Fmt(u"[%*d|%-*d|%*d|%.*d]", 5, 42, 4, 1, -3, 9, 3, 5), u"[   42|1   |9  |005]");
  EXPECT_EQ(Fmt(u"%d%%", 50), u"50%");
}

TEST(StringsFormatTest, SizeModifiersFollowWindowsWidths) {
  // l is LONG, 32 bits, whatever the host's long is.
  EXPECT_EQ(Fmt(u"%ld %lu %lx", LONG{-1}, DWORD{0xFFFFFFFF}, DWORD{0xABCDEF01}), u"-1 4294967295 abcdef01");
  EXPECT_EQ(Fmt(u"%I64d %lld %llu", INT64_MIN, -2LL, UINT64_MAX),
            u"-9223372036854775808 -2 18446744073709551615");
  EXPECT_EQ(Fmt(u"%hd %hu %hhu %hhd", 70000, 70000, 257, 200), u"4464 4464 1 -56");
  EXPECT_EQ(Fmt(u"%Iu %zu %I32d", size_t{1} << 40, size_t{3}, -7), u"1099511627776 3 -7");
  EXPECT_EQ(Fmt(u"%p", reinterpret_cast<void*>(0xBEEF)), u"000000000000BEEF");
}

TEST(StringsFormatTest, StringsAndCharactersWideAndNarrow) {
  test::TempMachineRoot root;
  EXPECT_EQ(Fmt(u"%s|%ls|%ws|%S|%hs", u"w1", u"w2", u"w3", "n1", "n2"), u"w1|w2|w3|n1|n2");
  EXPECT_EQ(Fmt(u"%s|%hs", static_cast<const WCHAR*>(nullptr), static_cast<const char*>(nullptr)), u"(null)|(null)");
  EXPECT_EQ(Fmt(u"[%6s|%-6s|%.2s|%6.2s]", u"abc", u"abc", u"abc", u"abc"), u"[   abc|abc   |ab|    ab]");
  EXPECT_EQ(Fmt(u"%c%C%hc%lc%3c", u'W', 'n', 'h', u'l', u'x'), u"Wnhl  x");
  // A precision bounds the read: this field has no NUL.
  const char field[3] = {'a', 'b', 'c'};
  EXPECT_EQ(Fmt(u"%.3hs", field), u"abc");
  EXPECT_EQ(Fmt(u"%hs", "caf\xE9"), u"café");  // through the ANSI code page
  ASSERT_TRUE(SetMachineSetting("codepage", "932"));
  EXPECT_EQ(Fmt(u"%hs", "\x93\xFA\x96\x7B"), u"日本");
  EXPECT_EQ(Fmt(u"%.3hs", "\x93\xFA\x96\x7B"), u"日");  // never half a character
}

TEST(StringsFormatTest, FloatingPoint) {
  EXPECT_EQ(Fmt(u"%.2f|%08.2f|%+.1f|%-6.1f|", 3.14159, -1.5, 2.0, 0.5), u"3.14|-0001.50|+2.0|0.5   |");
  EXPECT_EQ(Fmt(u"%e|%G|%g", 12345.678, 0.000012, 100.0), u"1.234568e+04|1.2E-05|100");
  EXPECT_EQ(Fmt(u"%06.1f", -std::numeric_limits<double>::infinity()), u"  -inf");  // no zeros in inf
}

TEST(StringsFormatTest, InvalidFormatsWriteNothingThroughArguments) {
  WCHAR buffer[16] = u"untouched";
  int count = 0;
  EXPECT_EQ(swprintf_s(buffer, 16, u"ab%n", &count), -1);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(buffer[0], u'\0');
  for (const WCHAR* format : {u"%y", u"abc%", u"%99999999999d", u"%.5000f"}) {
    EXPECT_EQ(StringCchPrintfW(buffer, 16, format, 1.0), STRSAFE_E_INVALID_PARAMETER) << Utf16ToUtf8(format);
    EXPECT_EQ(buffer[0], u'\0');
  }
  EXPECT_EQ(wsprintfW(buffer, u"x%y"), 0);
}

TEST(StringsFormatTest, EveryBoundedFunctionCutsAndTerminates) {
  WCHAR buffer[8];
  auto reset = [&] { std::fill(std::begin(buffer), std::end(buffer), u'X'); };

  reset();
  EXPECT_EQ(swprintf_s(buffer, 5, u"%s", u"abcdef"), -1);  // all or nothing
  EXPECT_EQ(buffer[0], u'\0');
  EXPECT_EQ(swprintf_s(buffer, 5, u"%d", 1234), 4);

  reset();
  EXPECT_EQ(_snwprintf(buffer, 5, u"%s", u"abcde"), -1);  // exactly full is still cut, with its NUL
  EXPECT_EQ(std::u16string(buffer), u"abcd");
  EXPECT_EQ(buffer[5], u'X');
  EXPECT_EQ(_snwprintf(buffer, 6, u"%s", u"abcde"), 5);
  EXPECT_EQ(_snwprintf(nullptr, 0, u"%d", 12345), 5);
  EXPECT_EQ(swprintf(buffer, 3, u"%d", 12345), -1);
  EXPECT_EQ(std::u16string(buffer), u"12");

  reset();
  EXPECT_EQ(StringCchPrintfW(buffer, 5, u"abc%s", u"def"), STRSAFE_E_INSUFFICIENT_BUFFER);
  EXPECT_EQ(std::u16string(buffer), u"abcd");
  EXPECT_EQ(buffer[5], u'X');
  EXPECT_EQ(StringCbPrintfW(buffer, 6, u"%d", 123456), STRSAFE_E_INSUFFICIENT_BUFFER);  // 3 units
  EXPECT_EQ(std::u16string(buffer), u"12");
  EXPECT_EQ(StringCbPrintfW(buffer, 1, u"x"), STRSAFE_E_INVALID_PARAMETER);
  EXPECT_EQ(StringCchPrintfW(buffer, 0, u"x"), STRSAFE_E_INVALID_PARAMETER);
  // A cut never leaves the first half of a surrogate pair.
  EXPECT_EQ(StringCchPrintfW(buffer, 3, u"a%s", u"\U0001F600"), STRSAFE_E_INSUFFICIENT_BUFFER);
  EXPECT_EQ(std::u16string(buffer), u"a");

  std::u16string big(1100, u'X');
  EXPECT_EQ(wsprintfW(big.data(), u"%2000d", 1), 1023);
  EXPECT_EQ(big[1023], u'\0');
  EXPECT_EQ(big[1024], u'X');
}

}  // namespace
}  // namespace velm::platform
