// Writing INI files: only the touched lines change, deletes, the flush call, refused input,
// temporary file and rename, and text in a double-byte code page.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "core/machine_root.h"
#include "core/profile.h"
#include "core/winerror.h"
#include "support/temp_root.h"

namespace velm::platform {
namespace {

constexpr const char16_t* kFile = u"C:\\Data\\write.ini";

const std::string kText =
    "; leading comment\r\n"
    "[First]\r\n"
    "a=1\r\n"
    "\r\n"
    "[Second]\n"
    "key = old value\n"
    "; note\r\n"
    "other=x\r\n"
    "\r\n"
    "   \r\n"
    "[Third]\r\n"
    "last=end";

class ProfileWriteTest : public ::testing::Test {
 protected:
  test::TempMachineRoot root_;
  std::filesystem::path host_ = root_.OnDriveC("Data/write.ini");

  void Write(const std::string& text) { test::WriteHostFile(host_, text); }
  std::string Read() { return test::ReadHostFile(host_); }
  static std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
  }
};

TEST_F(ProfileWriteTest, SettingKeysChangesOnlyTheirLinesAndKeepsEveryOtherByte) {
  Write(kText);
  std::string expected = kText;

  ASSERT_TRUE(WritePrivateProfileStringW(u"SECOND", u"KEY", u"new", kFile));
  expected = Replaced(expected, "key = old value\n", "key=new\n");
  EXPECT_EQ(Read(), expected);

  ASSERT_TRUE(WritePrivateProfileStringW(u"second", u"added", u"2", kFile));
  expected = Replaced(expected, "other=x\r\n", "other=x\r\nadded=2\r\n");
  EXPECT_EQ(Read(), expected);

  ASSERT_TRUE(WritePrivateProfileStringW(u"Third", u"more", u"3", kFile));
  expected += "\r\nmore=3\r\n";
  EXPECT_EQ(Read(), expected);

  ASSERT_TRUE(WritePrivateProfileStringW(u"Fourth", u"k", u"v", kFile));
  expected += "[Fourth]\r\nk=v\r\n";
  EXPECT_EQ(Read(), expected);

  char16_t buffer[16];
  EXPECT_EQ(GetPrivateProfileStringW(u"second", u"key", u"", buffer, 16, kFile), 3u);
  EXPECT_EQ(std::u16string(buffer), u"new");
}

TEST_F(ProfileWriteTest, NewFilesAreCreatedButNotTheirFolders) {
  std::filesystem::create_directories(host_.parent_path());
  ASSERT_TRUE(WritePrivateProfileStringW(u"s", u"k", u"v", kFile));
  EXPECT_EQ(Read(), "[s]\r\nk=v\r\n");
  EXPECT_FALSE(WritePrivateProfileStringW(u"s", u"k", u"v", u"C:\\NoFolder\\x.ini"));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(std::filesystem::exists(root_.OnDriveC("NoFolder")));
  ASSERT_TRUE(WritePrivateProfileStringA("s", "k", "v", "bare.ini"));
  EXPECT_EQ(test::ReadHostFile(root_.OnDriveC("Windows/bare.ini")), "[s]\r\nk=v\r\n");
  ASSERT_TRUE(WriteProfileStringW(u"windows", u"device", u"Velm"));
  EXPECT_EQ(test::ReadHostFile(root_.OnDriveC("Windows/win.ini")), "[windows]\r\ndevice=Velm\r\n");
}

TEST_F(ProfileWriteTest, NullValueDeletesTheKeyAndNullKeyTheWholeSection) {
  Write(kText);
  ASSERT_TRUE(WritePrivateProfileStringW(u"first", u"A", nullptr, kFile));
  std::string expected = Replaced(kText, "a=1\r\n", "");
  EXPECT_EQ(Read(), expected);

  ASSERT_TRUE(WritePrivateProfileStringW(u"Second", nullptr, nullptr, kFile));
  expected = Replaced(expected, "[Second]\nkey = old value\n; note\r\nother=x\r\n\r\n   \r\n", "");
  EXPECT_EQ(Read(), expected);

  ASSERT_TRUE(WritePrivateProfileStringW(u"Third", u"last", nullptr, kFile));
  expected = Replaced(expected, "last=end", "");
  EXPECT_EQ(Read(), expected);

  // Deleting what is not there succeeds and writes nothing, not even a new file.
  ASSERT_TRUE(WritePrivateProfileStringW(u"Third", u"nothing", nullptr, kFile));
  ASSERT_TRUE(WritePrivateProfileStringW(u"Nothing", nullptr, nullptr, kFile));
  EXPECT_EQ(Read(), expected);
  ASSERT_TRUE(WritePrivateProfileStringW(u"s", nullptr, nullptr, u"C:\\Data\\absent.ini"));
  EXPECT_FALSE(std::filesystem::exists(root_.OnDriveC("Data/absent.ini")));
}

TEST_F(ProfileWriteTest, TheFlushCallReturnsFalseAndTouchesNothing) {
  Write(kText);
  SetLastError(123);
  EXPECT_EQ(WritePrivateProfileStringW(nullptr, nullptr, nullptr, kFile), FALSE);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  EXPECT_EQ(WritePrivateProfileStringA(nullptr, nullptr, nullptr, "C:\\Data\\write.ini"), FALSE);
  EXPECT_EQ(Read(), kText);
  EXPECT_FALSE(WritePrivateProfileStringW(nullptr, u"k", u"v", kFile));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(ProfileWriteTest, TextThatWouldChangeTheFilesStructureIsRefused) {
  Write(kText);
  struct Case {
    const char16_t* section;
    const char16_t* key;
    const char16_t* value;
  } cases[] = {
      {u"First", u"a", u"1\r\n[Evil]"}, {u"First", u"a\nb", u"1"}, {u"First", u"a=b", u"1"},
      {u"Fir]st", u"a", u"1"},          {u"First", u"[x", u"1"},   {u"First", u";x", u"1"},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(WritePrivateProfileStringW(c.section, c.key, c.value, kFile));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
  EXPECT_FALSE(WritePrivateProfileSectionW(u"First", u"ok=1\0[Evil]\0", kFile));
  EXPECT_EQ(Read(), kText);
}

TEST_F(ProfileWriteTest, Utf16FilesAreNotWritten) {
  const std::string utf16("\xFF\xFE[\0s\0]\0", 8);
  Write(utf16);
  EXPECT_FALSE(WritePrivateProfileStringW(u"s", u"k", u"v", kFile));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_DATA);
  EXPECT_FALSE(WritePrivateProfileSectionW(u"s", u"k=v\0", kFile));
  EXPECT_EQ(Read(), utf16);
}

TEST_F(ProfileWriteTest, WriteSectionReplacesTheWholeSpanOrAppendsTheSection) {
  Write(kText);
  ASSERT_TRUE(WritePrivateProfileSectionW(u"first", u"x=1\0y = 2\0", kFile));
  std::string expected = Replaced(kText, "[First]\r\na=1\r\n\r\n", "[First]\r\nx=1\r\ny = 2\r\n");
  EXPECT_EQ(Read(), expected);

  ASSERT_TRUE(WritePrivateProfileSectionW(u"Third", u"\0", kFile));  // empty list: header only
  expected = Replaced(expected, "[Third]\r\nlast=end", "[Third]\r\n");
  EXPECT_EQ(Read(), expected);

  ASSERT_TRUE(WritePrivateProfileSectionA("New", "p=q\0", "C:\\Data\\write.ini"));
  expected += "[New]\r\np=q\r\n";
  EXPECT_EQ(Read(), expected);

  ASSERT_TRUE(WritePrivateProfileSectionW(u"new", nullptr, kFile));
  expected = Replaced(expected, "[New]\r\np=q\r\n", "");
  EXPECT_EQ(Read(), expected);
}

TEST_F(ProfileWriteTest, ChangesReplaceTheFileThroughARename) {
  Write(kText);
  const std::filesystem::path before = root_.OnDriveC("Data/before.ini");
  std::filesystem::create_hard_link(host_, before);
  ASSERT_TRUE(WritePrivateProfileStringW(u"First", u"a", u"2", kFile));
  EXPECT_EQ(test::ReadHostFile(before), kText);  // the old file was never written in place
  size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(host_.parent_path())) ++files;
  EXPECT_EQ(files, 2u);  // no temporary file left behind
}

TEST_F(ProfileWriteTest, WritersInTwoProcessesLoseNoChanges) {
  Write("[s]\r\n");
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    children[c] = ::fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      bool ok = true;
      for (int i = 0; i < 20; ++i) {
        const std::u16string key = (c ? u"b" : u"a") + std::u16string(1, static_cast<char16_t>(u'A' + i));
        ok = WritePrivateProfileStringW(u"s", key.c_str(), u"1", kFile) && ok;
      }
      ::_exit(ok ? 0 : 1);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  char16_t buffer[512];
  const DWORD n = GetPrivateProfileSectionW(u"s", buffer, 512, kFile);
  EXPECT_EQ(n, 40u * 5u);  // 40 lines of "xY=1" and their NULs
}

TEST_F(ProfileWriteTest, DoubleByteTextRoundTripsInCodePage932) {
  ASSERT_TRUE(SetMachineSetting("codepage", "932"));
  // 0x83 0x5D ("ゾ") and 0x83 0x5C ("ソ") end in ']' and '\' as single bytes would.
  const std::string kept = "[\x93\xfa]\r\n\x96\xbc=\x83\x5d\n";  // [日] 名=ゾ, LF only
  Write(kept);
  ASSERT_TRUE(WritePrivateProfileStringW(u"ゾ設定", u"ソ名前", u"日本語", kFile));
  EXPECT_EQ(Read(), kept + "[\x83\x5d\x90\xdd\x92\xe8]\r\n\x83\x5c\x96\xbc\x91\x4f=\x93\xfa\x96\x7b\x8c\xea\r\n");

  char16_t wide[32];
  EXPECT_EQ(GetPrivateProfileStringW(u"ゾ設定", u"ソ名前", u"", wide, 32, kFile), 3u);
  EXPECT_EQ(std::u16string(wide), u"日本語");
  EXPECT_EQ(GetPrivateProfileStringW(u"日", u"名", u"", wide, 32, kFile), 1u);
  EXPECT_EQ(std::u16string(wide), u"ゾ");
  const DWORD n = GetPrivateProfileSectionNamesW(wide, 32, kFile);
  EXPECT_EQ(std::u16string(wide, n + 1), std::u16string(u"日\0ゾ設定\0\0", 7));

  char narrow[32];
  EXPECT_EQ(GetPrivateProfileStringA("\x83\x5d\x90\xdd\x92\xe8", "\x83\x5c\x96\xbc\x91\x4f", "", narrow, 32,
                                     "C:\\Data\\write.ini"),
            6u);
  EXPECT_STREQ(narrow, "\x93\xfa\x96\x7b\x8c\xea");
  // Cut short, a double-byte character is never split.
  EXPECT_EQ(GetPrivateProfileStringA("\x83\x5d\x90\xdd\x92\xe8", "\x83\x5c\x96\xbc\x91\x4f", "", narrow, 4,
                                     "C:\\Data\\write.ini"),
            2u);
  EXPECT_STREQ(narrow, "\x93\xfa");

  ASSERT_TRUE(WritePrivateProfileStringW(u"日", u"名", u"x", kFile));  // the LF-only line keeps its ending
  EXPECT_EQ(Read().substr(0, 12), "[\x93\xfa]\r\n\x96\xbc=x\n[");
}

}  // namespace
}  // namespace velm::platform
