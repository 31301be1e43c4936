// The INI engine's readers: finding sections and spans, and reading keys from a moving cursor.
#include <gtest/gtest.h>

#include <string>

#include "core/machine_root.h"
#include "settings/ini_engine.h"
#include "support/temp_root.h"

namespace {

class IniReadTest : public ::testing::Test {
 protected:
  // The value of `key` read from the section `section` of `text` at `*cursor`.
  static std::u16string Get(const char* sectionText, const WCHAR* key, LONG* cursor, DWORD capacity = 64,
                            const WCHAR* fallback = u"<default>") {
    std::u16string out(capacity, u'#');
    const DWORD length = IniGetString(key, fallback, out.data(), capacity, sectionText, cursor);
    out.resize(length);
    return out;
  }
  velm::test::TempMachineRoot root_;
};

constexpr char kFile[] =
    "; settings\r\n"
    "[Alpha]\r\n"
    "a=1\r\n"
    "[beta printer]\n"       // LF-only lines
    "Tray1=one\n"
    "Tray10=ten\n"
    "empty=\n"
    "spaced =no\n"
    "\n"
    "[ Gamma ]\r\n"
    "g=3\r\n"
    "[Delta]junk\r\n"
    "d=4";                   // a last line without its ending

TEST_F(IniReadTest, HeadersMatchWholeNamesWithoutTrimmingAndWithoutCase) {
  const char* beta = IniFindSection(u"BETA Printer", kFile);
  ASSERT_NE(beta, nullptr);
  EXPECT_EQ(std::string(beta, 10), "Tray1=one\n");
  EXPECT_EQ(IniFindSection(u"Gamma", kFile), nullptr);     // "[ Gamma ]" has blanks in it
  EXPECT_NE(IniFindSection(u" Gamma ", kFile), nullptr);   // found as it stands
  EXPECT_NE(IniFindSection(u"Delta", kFile), nullptr);     // "]" closes the name, the rest is ignored
  EXPECT_EQ(IniFindSection(u"Alph", kFile), nullptr);      // "]" must follow the name at once
  EXPECT_EQ(IniFindSection(u"Alphabet", kFile), nullptr);
  EXPECT_EQ(IniFindSection(u"settings", kFile), nullptr);  // a comment is no header
  EXPECT_EQ(IniFindSection(nullptr, kFile), nullptr);
  EXPECT_EQ(IniFindSection(u"Alpha", nullptr), nullptr);
  // A header that is the file's last line leads to the end of the text.
  const char* last = IniFindSection(u"x", "a=1\r\n[x]");
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(*last, '\0');
  // Only a '[' at the very start of a line opens a header.
  EXPECT_EQ(IniFindSection(u"x", " [x]\r\nk=v\r\n"), nullptr);
}

TEST_F(IniReadTest, ASpanRunsFromTheHeaderToTheNextLineThatOpensWithABracket) {
  const std::string text = std::string(kFile, sizeof kFile - 1);
  DWORD start = 0;
  DWORD span = 0;
  ASSERT_TRUE(IniFindSectionSpan(u"beta printer", text.data(), static_cast<DWORD>(text.size()), &start, &span));
  // The blank line before "[ Gamma ]" belongs to the span.
  EXPECT_EQ(text.substr(start, span), "[beta printer]\nTray1=one\nTray10=ten\nempty=\nspaced =no\n\n");
  ASSERT_TRUE(IniFindSectionSpan(u"delta", text.data(), static_cast<DWORD>(text.size()), &start, &span));
  EXPECT_EQ(text.substr(start), "[Delta]junk\r\nd=4");
  EXPECT_EQ(start + span, text.size());
  EXPECT_FALSE(IniFindSectionSpan(u"none", text.data(), static_cast<DWORD>(text.size()), &start, &span));
  // The length bounds the search, and a NUL is an ordinary byte in it.
  const std::string withNul("a=\0b\r\n[S]\r\nk=v\r\n", 16);
  ASSERT_TRUE(IniFindSectionSpan(u"s", withNul.data(), static_cast<DWORD>(withNul.size()), &start, &span));
  EXPECT_EQ(start, 6u);
  EXPECT_FALSE(IniFindSectionSpan(u"s", withNul.data(), 8, &start, &span));
}

TEST_F(IniReadTest, KeysNeedTheEqualsSignAtOnceAndMatchWholeNames) {
  const char* beta = IniFindSection(u"beta printer", kFile);
  LONG cursor = 0;
  EXPECT_EQ(Get(beta, u"tray1", &cursor), u"one");
  EXPECT_EQ(Get(beta, u"TRAY10", &cursor), u"ten");
  cursor = 0;
  EXPECT_EQ(Get(beta, u"Tray", &cursor), u"<default>");
  EXPECT_EQ(Get(beta, u"spaced", &cursor), u"<default>");  // "spaced =no": the blank is part of the key
  EXPECT_EQ(Get(beta, u"spaced ", &cursor), u"no");
  // "key=" is an empty value: length 0, not the default; the lookup tells it from an absent key.
  cursor = 0;
  WCHAR value[8];
  EXPECT_EQ(IniGetString(u"empty", u"dflt", value, 8, beta, &cursor), 0u);
  EXPECT_EQ(std::u16string(value), u"");
  cursor = 0;
  EXPECT_EQ(IniLookupString(u"empty", value, 8, beta, &cursor), 0);
  EXPECT_EQ(IniLookupString(u"absent", value, 8, beta, &cursor), -1);
  // No text: the default.
  EXPECT_EQ(Get(nullptr, u"a", &cursor, 64, u"dflt"), u"dflt");
  // The section ends at the next header: keys of later sections are not found.
  cursor = 0;
  EXPECT_EQ(Get(IniFindSection(u"alpha", kFile), u"Tray1", &cursor), u"<default>");
  // The last line of a file needs no line end.
  cursor = 0;
  EXPECT_EQ(Get(IniFindSection(u"delta", kFile), u"d", &cursor), u"4");
}

TEST_F(IniReadTest, TheCursorFollowsReadsAndWrapsOnceForKeysBehindIt) {
  const char* text = "[S]\r\nk1=a\r\nk2=b\r\nk3=c\r\n[T]\r\nk4=d\r\n";
  const char* section = IniFindSection(u"S", text);
  LONG cursor = 0;
  // In file order each read matches at the cursor and moves it to the next line.
  EXPECT_EQ(Get(section, u"k1", &cursor), u"a");
  EXPECT_EQ(cursor, 6);
  EXPECT_EQ(Get(section, u"k2", &cursor), u"b");
  EXPECT_EQ(Get(section, u"k3", &cursor), u"c");
  EXPECT_EQ(section[cursor], '[');  // at the section's end
  // In reverse order every key is still found, each search wrapping once.
  EXPECT_EQ(Get(section, u"k3", &cursor), u"c");
  EXPECT_EQ(Get(section, u"k2", &cursor), u"b");
  EXPECT_EQ(Get(section, u"k1", &cursor), u"a");
  EXPECT_EQ(cursor, 6);
  // An absent key searched from the middle comes round to the start: the cursor stays.
  EXPECT_EQ(Get(section, u"k4", &cursor), u"<default>");
  EXPECT_EQ(cursor, 6);
  // Searched from the section's end, it ends at the end again: the cursor goes back to 0.
  cursor = 18;
  ASSERT_EQ(section[cursor], '[');
  EXPECT_EQ(Get(section, u"k4", &cursor), u"<default>");
  EXPECT_EQ(cursor, 0);
  // From the top, an absent key leaves the cursor at 0, and so does an empty section.
  EXPECT_EQ(Get(section, u"nope", &cursor), u"<default>");
  EXPECT_EQ(cursor, 0);
  const char* emptySection = IniFindSection(u"E", "[E]\r\n[F]\r\nk=v\r\n");
  cursor = 0;
  EXPECT_EQ(Get(emptySection, u"k", &cursor), u"<default>");
  EXPECT_EQ(cursor, 0);
  // A null cursor reads from the top and keeps nothing.
  EXPECT_EQ(Get(section, u"k3", nullptr), u"c");
}

TEST_F(IniReadTest, ValuesAreCutToTheCapacityAndNumbersToTenCharacters) {
  const char* section = IniFindSection(u"S", "[S]\r\nlong=abcdefghij\r\nn=12345678901\r\nneg=-42x\r\nz=\r\nw=  7\r\n");
  LONG cursor = 0;
  EXPECT_EQ(Get(section, u"long", &cursor, 5), u"abcd");
  EXPECT_EQ(Get(section, u"long", &cursor, 5, u"0123456789"), u"abcd");
  EXPECT_EQ(Get(section, u"missing", &cursor, 5, u"0123456789"), u"0123");  // the default is cut too
  EXPECT_EQ(IniGetInt(u"n", -1, section, &cursor), 1234567890);            // "12345678901" read as ten characters
  EXPECT_EQ(IniGetInt(u"neg", -1, section, &cursor), -42);
  EXPECT_EQ(IniGetInt(u"z", 77, section, &cursor), 77);  // empty: the default
  EXPECT_EQ(IniGetInt(u"w", 77, section, &cursor), 7);   // _wtoi skips leading blanks
  EXPECT_EQ(IniGetInt(u"absent", 77, section, &cursor), 77);
  // A value longer than the caller's buffer is cut, however long it is.
  const std::string big = "[S]\r\nv=" + std::string(5000, 'x') + "\r\n";
  cursor = 0;
  EXPECT_EQ(Get(IniFindSection(u"S", big.c_str()), u"v", &cursor, 3000), std::u16string(2999, u'x'));
}

TEST_F(IniReadTest, ValuesEndAtCrLfOrNulAndKeepBlanksAndQuotes) {
  const char* section = IniFindSection(u"S", "[S]\r\na= \"x\" \r\nb=1\r2\nc=3");
  LONG cursor = 0;
  EXPECT_EQ(Get(section, u"a", &cursor), u" \"x\" ");
  EXPECT_EQ(Get(section, u"b", &cursor), u"1");  // a lone CR ends the value, not the line
  EXPECT_EQ(Get(section, u"c", &cursor), u"3");
}

TEST_F(IniReadTest, DoubleByteNamesCompareTheirTrailBytesExactly) {
  ASSERT_TRUE(velm::platform::SetMachineSetting("codepage", "932"));
  // U+30A2 is 83 41 and U+30C2 is 83 61 in code page 932: the trail bytes differ only as 'A'
  // and 'a' do, and still name different characters.
  const char* text = "[\x83\x61]\r\nk=other\r\n[\x83\x41]\r\nk=mine\r\n";
  const char* section = IniFindSection(u"\u30A2", text);
  ASSERT_NE(section, nullptr);
  LONG cursor = 0;
  EXPECT_EQ(Get(section, u"k", &cursor), u"mine");
  // Single-byte letters beside them still fold.
  const char* mixed = IniFindSection(u"a\u30A2b", "[A\x83\x41" "B]\r\n\x83\x41x=\x83\x61\r\n");
  ASSERT_NE(mixed, nullptr);
  cursor = 0;
  EXPECT_EQ(Get(mixed, u"\u30A2X", &cursor), u"\u30C2");
  EXPECT_EQ(Get(mixed, u"\u30C2X", &cursor), u"<default>");
}

}  // namespace
