// The INI engine's readers: finding sections and spans, and reading keys from a moving cursor.
#include <gtest/gtest.h>

#include <string>

#include "core/machine_root.h"
#include "core/memory.h"
#include "settings/persistence/ini_engine.h"
#include "support/temp_root.h"

namespace {

// The value of `key` in the section at `sectionText`, read at *cursor.
std::u16string Get(const char* sectionText, const WCHAR* key, LONG* cursor, DWORD capacity = 64,
                   const WCHAR* fallback = u"<default>") {
  std::u16string out(capacity, u'#');
  out.resize(IniGetString(key, fallback, out.data(), capacity, sectionText, cursor));
  return out;
}

class IniReadTest : public ::testing::Test {
 protected:
  velm::test::TempMachineRoot root_;
};

constexpr char kFile[] =
    "; settings\r\n"
    "[Alpha]\r\n"
    "a=1\r\n"
    "[beta printer]\n"  // LF-only lines
    "Tray1=one\n"
    "Tray10=ten\n"
    "empty=\n"
    "spaced =no\n"
    "quoted= \"q\" \n"
    "\n"
    "[ Gamma ]\r\n"
    "g=3\r\n"
    "[Delta]junk\r\n"
    "d=4";  // a last line without its ending

TEST_F(IniReadTest, HeadersMatchWholeNamesWithoutTrimmingAndWithoutCase) {
  const char* beta = IniFindSection(u"BETA Printer", kFile);
  ASSERT_NE(beta, nullptr);
  EXPECT_EQ(std::string(beta, 10), "Tray1=one\n");
  EXPECT_EQ(IniFindSection(u"Gamma", kFile), nullptr);
  EXPECT_NE(IniFindSection(u" Gamma ", kFile), nullptr);
  EXPECT_NE(IniFindSection(u"Delta", kFile), nullptr);  // "]" closes the name, the rest is ignored
  EXPECT_EQ(IniFindSection(u"Alph", kFile), nullptr);
  EXPECT_EQ(IniFindSection(u"settings", kFile), nullptr);
  EXPECT_EQ(IniFindSection(u"x", " [x]\r\nk=v\r\n"), nullptr);  // '[' must open the line
  const char* last = IniFindSection(u"x", "a=1\r\n[x]");
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(*last, '\0');
}

TEST_F(IniReadTest, ASpanRunsFromTheHeaderToTheNextLineThatOpensWithABracket) {
  const std::string text(kFile, sizeof kFile - 1);
  DWORD start = 0;
  DWORD span = 0;
  ASSERT_TRUE(IniFindSectionSpan(u"beta printer", text.data(), static_cast<DWORD>(text.size()), &start, &span));
  EXPECT_EQ(text.substr(start, span),
            "[beta printer]\nTray1=one\nTray10=ten\nempty=\nspaced =no\nquoted= \"q\" \n\n");
  ASSERT_TRUE(IniFindSectionSpan(u"delta", text.data(), static_cast<DWORD>(text.size()), &start, &span));
  EXPECT_EQ(start + span, text.size());
  // The length bounds the search, and a NUL is an ordinary byte in it.
  const std::string withNul("a=\0b\r\n[S]\r\nk=v\r\n", 16);
  ASSERT_TRUE(IniFindSectionSpan(u"s", withNul.data(), 16, &start, &span));
  EXPECT_EQ(start, 6u);
  EXPECT_FALSE(IniFindSectionSpan(u"s", withNul.data(), 8, &start, &span));
}

TEST_F(IniReadTest, KeysNeedTheEqualsSignAtOnceAndKeepTheirValueAsWritten) {
  const char* beta = IniFindSection(u"beta printer", kFile);
  LONG cursor = 0;
  EXPECT_EQ(Get(beta, u"tray1", &cursor), u"one");
  EXPECT_EQ(Get(beta, u"TRAY10", &cursor), u"ten");
  EXPECT_EQ(Get(beta, u"Tray", &cursor), u"<default>");
  EXPECT_EQ(Get(beta, u"spaced", &cursor), u"<default>");  // the blank belongs to the key
  EXPECT_EQ(Get(beta, u"quoted", &cursor), u" \"q\" ");   // nothing trimmed, no quotes taken
  EXPECT_EQ(Get(beta, u"empty", &cursor), u"");           // length 0, not the default
  WCHAR value[8];
  EXPECT_EQ(IniLookupString(u"empty", value, 8, beta, &cursor), 0);
  EXPECT_EQ(IniLookupString(u"absent", value, 8, beta, &cursor), -1);
  EXPECT_EQ(Get(nullptr, u"a", &cursor, 64, u"dflt"), u"dflt");
  EXPECT_EQ(Get(IniFindSection(u"alpha", kFile), u"Tray1", &cursor), u"<default>");  // other section
  EXPECT_EQ(Get(IniFindSection(u"delta", kFile), u"d", &cursor), u"4");
  LONG top = 0;
  EXPECT_EQ(Get(IniFindSection(u"S", "[S]\r\nb=1\r2\n"), u"b", &top), u"1");  // a lone CR ends the value
}

TEST_F(IniReadTest, TheCursorFollowsReadsAndWrapsOnceForKeysBehindIt) {
  const char* section = IniFindSection(u"S", "[S]\r\nk1=a\r\nk2=b\r\nk3=c\r\n[T]\r\nk4=d\r\n");
  LONG cursor = 0;
  EXPECT_EQ(Get(section, u"k1", &cursor), u"a");
  EXPECT_EQ(cursor, 6);
  EXPECT_EQ(Get(section, u"k2", &cursor), u"b");
  EXPECT_EQ(Get(section, u"k3", &cursor), u"c");
  EXPECT_EQ(section[cursor], '[');
  // In reverse order every key is still found, each search wrapping once.
  EXPECT_EQ(Get(section, u"k3", &cursor), u"c");
  EXPECT_EQ(Get(section, u"k2", &cursor), u"b");
  EXPECT_EQ(Get(section, u"k1", &cursor), u"a");
  // Absent, searched from the middle: the search comes back to its start and the cursor stays.
  EXPECT_EQ(Get(section, u"k4", &cursor), u"<default>");
  EXPECT_EQ(cursor, 6);
  // Absent, searched from the section's end: it ends at the end again and the cursor goes to 0.
  cursor = 18;
  EXPECT_EQ(Get(section, u"k4", &cursor), u"<default>");
  EXPECT_EQ(cursor, 0);
  LONG empty = 0;
  EXPECT_EQ(Get(IniFindSection(u"E", "[E]\r\n[F]\r\nk=v\r\n"), u"k", &empty), u"<default>");
  EXPECT_EQ(Get(section, u"k3", nullptr), u"c");
}

TEST_F(IniReadTest, ValuesAreCutToTheCapacityAndNumbersToTenCharacters) {
  const char* section = IniFindSection(u"S", "[S]\r\nlong=abcdefghij\r\nn=12345678901\r\nneg=-42x\r\nz=\r\n");
  LONG cursor = 0;
  EXPECT_EQ(Get(section, u"long", &cursor, 5), u"abcd");
  EXPECT_EQ(Get(section, u"missing", &cursor, 5, u"0123456789"), u"0123");
  EXPECT_EQ(IniGetInt(u"n", -1, section, &cursor), 1234567890);
  EXPECT_EQ(IniGetInt(u"neg", -1, section, &cursor), -42);
  EXPECT_EQ(IniGetInt(u"z", 77, section, &cursor), 77);
  EXPECT_EQ(IniGetInt(u"absent", 77, section, &cursor), 77);
  const std::string big = "[S]\r\nv=" + std::string(5000, 'x') + "\r\n";
  cursor = 0;
  EXPECT_EQ(Get(IniFindSection(u"S", big.c_str()), u"v", &cursor, 3000), std::u16string(2999, u'x'));
}

TEST_F(IniReadTest, DoubleByteNamesCompareTheirTrailBytesExactly) {
  ASSERT_TRUE(velm::platform::SetMachineSetting("codepage", "932"));
  // U+30A2 is 83 41 and U+30C2 is 83 61 in code page 932: trail bytes that differ only as 'A'
  // and 'a' do, in different characters.
  const char* text = "[\x83\x61]\r\nk=other\r\n[a\x83\x41]\r\n\x83\x41x=\x83\x61\r\n";
  const char* section = IniFindSection(u"A\u30A2", text);
  ASSERT_NE(section, nullptr);
  LONG cursor = 0;
  EXPECT_EQ(Get(section, u"\u30A2X", &cursor), u"\u30C2");
  EXPECT_EQ(Get(section, u"\u30C2X", &cursor), u"<default>");
  EXPECT_EQ(IniFindSection(u"\u30A2", text), nullptr);
}

}  // namespace

namespace {

// A value longer than the buffer is cut there without memory of its own: every allocation
// failing changes nothing, and a double-byte character is never split.
TEST_F(IniReadTest, ALongValueIsCutWithoutAllocating) {
  ASSERT_TRUE(velm::platform::SetMachineSetting("codepage", "932"));
  std::string big = "[S]\r\nv=x";
  for (int i = 0; i < 3000; ++i) big += "\x83\x41";  // U+30A2
  big += "\r\n";
  const char* section = IniFindSection(u"S", big.c_str());
  ASSERT_NE(section, nullptr);
  velm::platform::SetAllocationFault(1);
  LONG cursor = 0;
  const std::u16string value = Get(section, u"v", &cursor, 2041, u"<default>");
  velm::platform::SetAllocationFault(0);
  EXPECT_EQ(value, u"x" + std::u16string(2039, u'\u30A2'));
}

}  // namespace
