// The INI engine and the system's profile functions side by side: the same cases read through
// both, files written by either read back alike through both, and the profile wrappers.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "core/machine_root.h"
#include "core/memory.h"
#include "settings/persistence/ini_engine.h"
#include "settings/persistence/profile_wrappers.h"
#include "support/temp_root.h"
#include "win32.h"

namespace {

using velm::test::ReadHostFile;
using velm::test::WriteHostFile;

constexpr WCHAR kPath[] = u"C:\\_velm\\qnset.ini";

class IniAgreementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateDirectoryW(u"C:\\_velm", nullptr));
    host_ = root_.OnDriveC("_velm/qnset.ini");
  }
  void TearDown() override { velm::platform::SetAllocationFault(0); }

  // The value as the engine reads it: whole file, section, key from the top; nullopt when absent.
  static std::optional<std::u16string> Engine(const WCHAR* section, const WCHAR* key) {
    char* text = IniLoadFile(kPath);
    EXPECT_NE(text, nullptr);
    std::optional<std::u16string> value;
    WCHAR buffer[512];
    LONG cursor = 0;
    if (const char* found = IniFindSection(section, text))
      if (IniLookupString(key, buffer, 512, found, &cursor) >= 0) value = buffer;
    IniFreeFile(text);
    return value;
  }
  // The value as the profile functions read it, through the wrapper.
  static std::optional<std::u16string> Profile(const WCHAR* section, const WCHAR* key) {
    WCHAR buffer[512];
    if (IniProfileLookupString(section, key, buffer, 512, kPath) < 0) return std::nullopt;
    return std::u16string(buffer);
  }

  velm::test::TempMachineRoot root_;
  std::filesystem::path host_;
};

struct ReadCase {
  const char* file;
  const WCHAR* section;
  const WCHAR* key;
  std::optional<std::u16string> value;
};

// Rules both readers follow: case, line ends, comments, duplicates, section bounds.
const ReadCase kSharedRules[] = {
    {"[Printer]\r\nTray=1\r\n", u"PRINTER", u"tray", u"1"},
    {"[printer]\nTray=1\n", u"Printer", u"TRAY", u"1"},             // LF-only lines
    {"[P]\r\nk=a=b\r\n", u"P", u"k", u"a=b"},                       // '=' inside the value
    {"[P]\r\nk=\r\n", u"P", u"k", u""},                             // empty, not absent
    {"[P]\r\nother=1\r\n", u"P", u"k", std::nullopt},
    {"[P]\r\n;k=1\r\n", u"P", u"k", std::nullopt},                  // a comment is no entry
    {"[P]\r\n\r\n\r\nk=after blanks\r\n", u"P", u"k", u"after blanks"},
    {"[P]\r\nk=1\r\n[Q]\r\nj=2\r\n", u"P", u"j", std::nullopt},     // the section ends at a header
    {"[Q]\r\nk=no\r\n[P]\r\nk=yes\r\n", u"P", u"k", u"yes"},
    {"[P]\r\nk=first\r\n[P]\r\nk=second\r\n", u"P", u"k", u"first"},  // the first section wins
    {"[P]\r\nk=first\r\nk=second\r\n", u"P", u"k", u"first"},         // and its first entry
    {"[P]junk\r\nk=1\r\n", u"P", u"k", u"1"},
    {"[P]\r\nk=last line", u"P", u"k", u"last line"},
    {"[P]", u"P", u"k", std::nullopt},
    {"k=outside\r\n[P]\r\n", u"P", u"k", std::nullopt},
    {"", u"P", u"k", std::nullopt},
    {"[P,1,]\r\nk=safe\r\n", u"P[1]", u"k", std::nullopt},  // the engine takes names as given
};

TEST_F(IniAgreementTest, BothReadersFollowTheSameRules) {
  for (const ReadCase& c : kSharedRules) {
    WriteHostFile(host_, c.file);
    SCOPED_TRACE(c.file);
    EXPECT_EQ(Engine(c.section, c.key), c.value);
    // The wrapper makes the name safe first: "P[1]" is read as "P,1,".
    const bool safeNamed = std::u16string(c.section).find(u'[') != std::u16string::npos;
    EXPECT_EQ(Profile(c.section, c.key), safeNamed ? std::optional<std::u16string>(u"safe") : c.value);
  }
}

TEST_F(IniAgreementTest, TheReadersDifferOnlyOnTextTheLibraryNeverWrites) {
  // The profile functions trim names and values, strip enclosing quotes and take indented
  // headers; the engine takes the text as it stands. No writer of the library produces these.
  struct Difference {
    const char* file;
    std::optional<std::u16string> engine;
    std::optional<std::u16string> profile;
  };
  const Difference differences[] = {
      {"[P]\r\nk = 1\r\n", std::nullopt, u"1"},
      {"[P]\r\n k=1\r\n", std::nullopt, u"1"},
      {"[P]\r\nk= 1 \r\n", u" 1 ", u"1"},
      {"[P]\r\nk=\"1\"\r\n", u"\"1\"", u"1"},
      {"[ P ]\r\nk=1\r\n", std::nullopt, u"1"},
      {" [P]\r\nk=1\r\n", std::nullopt, u"1"},
  };
  for (const Difference& d : differences) {
    WriteHostFile(host_, d.file);
    SCOPED_TRACE(d.file);
    EXPECT_EQ(Engine(u"P", u"k"), d.engine);
    EXPECT_EQ(Profile(u"P", u"k"), d.profile);
  }
}

// Values that the readers would take differently if they were written as given.
const WCHAR* const kValues[] = {
    u"plain", u"", u"  padded  ", u"\"quoted\"", u"'single'", u"\" both \"", u"\"half", u"a=b", u";semi",
    u"[bracket", u"line\r\nbreak", u"tab\tinside", u"caf\u00e9", u"\t", u"\"\"",
};

TEST_F(IniAgreementTest, WhatEitherWriterWritesReadsBackAlikeThroughBoth) {
  IniSectionText text{};
  ASSERT_TRUE(IniAppendSection(&text, u"Engine Printer"));
  std::u16string key = u"ka";
  for (const WCHAR* value : kValues) {
    ASSERT_TRUE(IniAppendEntry(&text, key.c_str(), value));
    ASSERT_TRUE(IniProfileWriteString(u"Profile Printer", key.c_str(), value, kPath));
    ++key[1];
  }
  ASSERT_TRUE(IniReplaceSection(kPath, u"Engine Printer", text.bytes, text.length));
  IniFreeSectionText(&text);
  key = u"ka";
  for (const WCHAR* value : kValues) {
    std::u16string expected = value;
    expected.resize(std::char_traits<char16_t>::length(IniNormalizeValue(expected.data())));
    SCOPED_TRACE(std::string(key.begin(), key.end()));
    for (const WCHAR* section : {u"engine printer", u"PROFILE PRINTER"}) {
      EXPECT_EQ(Engine(section, key.c_str()), expected);
      EXPECT_EQ(Profile(section, key.c_str()), expected);
    }
    ++key[1];
  }
}

TEST_F(IniAgreementTest, EachReaderSeesTheOthersWritesAndDeletesAtOnce) {
  ASSERT_TRUE(IniProfileWriteString(u"A", u"k", u"1", kPath));
  ASSERT_TRUE(IniProfileWriteString(u"B", u"k", u"2", kPath));
  EXPECT_EQ(Engine(u"A", u"k"), u"1");
  // The engine's rewrite of B, then the profile reading it and writing beside it.
  ASSERT_TRUE(IniReplaceSection(kPath, u"B", "[B]\r\nk=3\r\nj=4\r\n", 15));
  EXPECT_EQ(Profile(u"B", u"k"), u"3");
  EXPECT_EQ(Profile(u"A", u"k"), u"1");
  ASSERT_TRUE(IniProfileWriteString(u"B", u"n", u"5", kPath));
  EXPECT_EQ(Engine(u"B", u"n"), u"5");
  EXPECT_EQ(Engine(u"B", u"j"), u"4");
  // Deleting a key, then a whole section, through the profile.
  ASSERT_TRUE(IniProfileWriteString(u"B", u"j", nullptr, kPath));
  EXPECT_EQ(Engine(u"B", u"j"), std::nullopt);
  EXPECT_EQ(Engine(u"B", u"k"), u"3");
  ASSERT_TRUE(IniProfileWriteString(u"B", nullptr, nullptr, kPath));
  EXPECT_EQ(Engine(u"B", u"k"), std::nullopt);
  EXPECT_EQ(Engine(u"A", u"k"), u"1");
  // Deleting through the engine: an empty text.
  ASSERT_TRUE(IniReplaceSection(kPath, u"A", "", 0));
  EXPECT_EQ(Profile(u"A", u"k"), std::nullopt);
  EXPECT_EQ(ReadHostFile(host_), "");
}

TEST_F(IniAgreementTest, WrappersStoreBracketedNamesUnderCommas) {
  ASSERT_TRUE(IniProfileWriteString(u"Office [2nd floor]", u"Tray1", u"7", kPath));
  EXPECT_EQ(ReadHostFile(host_), "[Office ,2nd floor,]\r\nTray1=7\r\n");
  EXPECT_EQ(IniProfileGetInt(u"Office [2nd floor]", u"Tray1", -1, kPath), 7u);
  WCHAR value[8];
  EXPECT_EQ(IniProfileGetString(u"Office [2nd floor]", u"Tray1", u"", value, 8, kPath), 1u);
  EXPECT_EQ(std::u16string(value), u"7");
  EXPECT_EQ(Engine(u"Office ,2nd floor,", u"Tray1"), u"7");
  // On the 9x platform a character whose low byte leads a double-byte character shields the next.
  ASSERT_TRUE(velm::platform::SetMachineSetting("codepage", "932"));
  ASSERT_TRUE(velm::platform::SetMachineSetting("os", "9x"));
  WCHAR name[] = u"\u3081[[";
  EXPECT_EQ(std::u16string(IniMakeSafeSectionName(name)), u"\u3081[,");
}

TEST_F(IniAgreementTest, AWriteAnswersItsOwnResultNotTheFlushs) {
  // The flush call alone answers FALSE, as the system's does.
  EXPECT_FALSE(WritePrivateProfileStringW(nullptr, nullptr, nullptr, kPath));
  EXPECT_TRUE(IniProfileWriteString(u"P", u"k", u"v", kPath));
  // A failed write keeps its own error.
  EXPECT_FALSE(IniProfileWriteString(u"P", u"k", u"v", u"C:\\missing\\qnset.ini"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  // Names the readers would not agree on are refused before anything is written.
  const std::string before = ReadHostFile(host_);
  EXPECT_FALSE(IniProfileWriteString(u" P", u"k", u"v", kPath));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(IniProfileWriteString(u"P", u"k ", u"v", kPath));
  EXPECT_FALSE(IniProfileWriteString(u"P", u"a=b", u"v", kPath));
  EXPECT_EQ(ReadHostFile(host_), before);
}

TEST_F(IniAgreementTest, WrappersFallBackToTheDefaultWhenTheyCannotCall) {
  ASSERT_TRUE(IniProfileWriteString(u"P", u"n", u"5", kPath));
  const std::string before = ReadHostFile(host_);
  WCHAR value[4];
  velm::platform::SetAllocationFault(1);
  EXPECT_EQ(IniProfileGetInt(u"P", u"n", -1, kPath), static_cast<UINT>(-1));
  velm::platform::SetAllocationFault(1);
  EXPECT_EQ(IniProfileGetString(u"P", u"n", u"default", value, 4, kPath), 3u);
  EXPECT_EQ(std::u16string(value), u"def");
  for (uint64_t nth : {1, 2}) {  // the section's copy, the value's copy
    velm::platform::SetAllocationFault(nth);
    EXPECT_FALSE(IniProfileWriteString(u"P", u"n", u"6", kPath));
  }
  velm::platform::SetAllocationFault(0);
  EXPECT_EQ(ReadHostFile(host_), before);
  // A name longer than 260 characters is refused, never cut into another printer's name.
  const std::u16string longName(261, u'p');
  EXPECT_EQ(IniProfileGetInt(longName.c_str(), u"n", 42, kPath), 42u);
  EXPECT_FALSE(IniProfileWriteString(longName.c_str(), u"n", u"1", kPath));
  EXPECT_TRUE(IniProfileWriteString(longName.substr(1).c_str(), u"n", u"1", kPath));
}

TEST_F(IniAgreementTest, TheLookupTellsAnAbsentKeyFromAnEmptyValue) {
  WriteHostFile(host_, "[P]\r\nempty=\r\nsoh=\x01\r\n");
  WCHAR value[4] = u"xyz";
  EXPECT_EQ(IniProfileLookupString(u"P", u"empty", value, 4, kPath), 0);
  EXPECT_EQ(IniProfileLookupString(u"P", u"absent", value, 4, kPath), -1);
  EXPECT_EQ(value[0], 0);
  EXPECT_EQ(IniProfileLookupString(u"Q", u"empty", value, 4, kPath), -1);
  EXPECT_EQ(IniProfileLookupString(u"P", u"soh", value, 4, kPath), 1);  // a value equal to a probe
  EXPECT_EQ(value[0], u'\x01');
  EXPECT_EQ(IniProfileLookupString(u"P", u"soh", value, 1, kPath), 0);  // found, with room for nothing
  EXPECT_EQ(IniProfileLookupString(u"P", u"absent", value, 1, kPath), -1);
}

}  // namespace
