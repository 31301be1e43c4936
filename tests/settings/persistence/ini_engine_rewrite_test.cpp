// The INI engine's writers: the section text builder and the one rewrite that moves a section
// to the top of its file, with every failure leaving the old file as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

#include "core/files.h"
#include "core/machine_root.h"
#include "core/memory.h"
#include "settings/persistence/ini_engine.h"
#include "settings/persistence/profile_wrappers.h"
#include "settings/context/locks.h"
#include "support/temp_root.h"
#include "win32.h"

namespace {

using velm::test::ReadHostFile;
using velm::test::WriteHostFile;

constexpr WCHAR kPath[] = u"C:\\_velm\\qnset.ini";

class IniRewriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateDirectoryW(u"C:\\_velm", nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    host_ = root_.OnDriveC("_velm/qnset.ini");
  }
  void TearDown() override {
    velm::platform::ClearFileFaults();
    velm::platform::SetAllocationFault(0);
    IniFreeSectionText(&text_);
  }

  // Builds "[name]" and the entries into text_.
  void Build(const WCHAR* name, std::initializer_list<std::pair<const WCHAR*, const WCHAR*>> entries) {
    IniFreeSectionText(&text_);
    ASSERT_TRUE(IniAppendSection(&text_, name));
    for (const auto& [key, value] : entries) ASSERT_TRUE(IniAppendEntry(&text_, key, value));
  }
  BOOL Replace(const WCHAR* name) { return IniReplaceSection(kPath, name, text_.bytes, text_.length); }
  // Files in the settings folder other than the settings INI (left-over temporary files).
  size_t Strays() const {
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(host_.parent_path()))
      if (entry.path().filename() != "qnset.ini") ++count;
    return count;
  }

  velm::test::TempMachineRoot root_;
  std::filesystem::path host_;
  IniSectionText text_{};
};

// Comments, blank lines, LF-only lines, a header in lower case and a last line without its end.
const std::string kOld =
    "; kept comment\r\n"
    "\r\n"
    "[other printer]\r\n"
    "x=1\r\n"
    "[Velm Printer]\r\n"
    "old=gone\r\n"
    "; this comment belongs to the replaced span\r\n"
    "[third]\n"
    "lf=only\n"
    "\n"
    "[lower]\r\n"
    "tail=no line end";


TEST_F(IniRewriteTest, TheSectionMovesToTheTopAndEveryOtherByteIsKept) {
  WriteHostFile(host_, kOld);
  Build(u"velm printer", {{u"Tray1", u"2"}, {u"Comment", u""}});
  ASSERT_TRUE(Replace(u"VELM PRINTER")) << GetLastError();
  const std::string rewritten =
      "; kept comment\r\n\r\n"
      "[velm printer]\r\nTray1=2\r\nComment=\r\n"
      "[other printer]\r\nx=1\r\n"
      "[third]\nlf=only\n\n[lower]\r\ntail=no line end";
  EXPECT_EQ(ReadHostFile(host_), rewritten);
  EXPECT_EQ(Strays(), 0u);
  // The lines before the first header stay there at every rewrite.
  ASSERT_TRUE(Replace(u"velm printer"));
  EXPECT_EQ(ReadHostFile(host_), rewritten);
  // A first line without its line end is kept apart from the section that follows it.
  WriteHostFile(host_, "; note");
  ASSERT_TRUE(Replace(u"velm printer"));
  EXPECT_EQ(ReadHostFile(host_), "; note\r\n[velm printer]\r\nTray1=2\r\nComment=\r\n");
}

TEST_F(IniRewriteTest, WithoutAnOldSectionTheWholeOldFileFollowsTheNewOne) {
  WriteHostFile(host_, "[a]\r\nk=v");
  Build(u"b", {{u"n", u"1"}});
  ASSERT_TRUE(Replace(u"b"));
  EXPECT_EQ(ReadHostFile(host_), "[b]\r\nn=1\r\n[a]\r\nk=v");
  // A new text without its last line end is still kept apart from what follows.
  ASSERT_TRUE(IniReplaceSection(kPath, u"c", "[c]\r\nz=9", 8));
  EXPECT_EQ(ReadHostFile(host_), "[c]\r\nz=9\r\n[b]\r\nn=1\r\n[a]\r\nk=v");
  // An empty text removes the section.
  ASSERT_TRUE(IniReplaceSection(kPath, u"b", "", 0));
  EXPECT_EQ(ReadHostFile(host_), "[c]\r\nz=9\r\n[a]\r\nk=v");
  // A NUL would hide every later section from the readers: such a text is refused.
  EXPECT_FALSE(IniReplaceSection(kPath, u"c", "[c]\r\nz=9\r\n", 11));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(ReadHostFile(host_), "[c]\r\nz=9\r\n[a]\r\nk=v");
}

TEST_F(IniRewriteTest, AMissingFileIsCreatedButNeverItsFolderAndOnlyDrivePathsAreTaken) {
  Build(u"P", {{u"k", u"v"}});
  ASSERT_TRUE(Replace(u"P"));
  EXPECT_EQ(ReadHostFile(host_), "[P]\r\nk=v\r\n");
  EXPECT_FALSE(IniReplaceSection(u"C:\\nowhere\\qnset.ini", u"P", text_.bytes, text_.length));
  EXPECT_FALSE(std::filesystem::exists(root_.OnDriveC("nowhere")));
  EXPECT_FALSE(IniReplaceSection(u"\\\\server\\share\\qnset.ini", u"P", text_.bytes, text_.length));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_PATHNAME));
  EXPECT_EQ(IniLoadFile(u"qnset.ini"), nullptr);
}

TEST_F(IniRewriteTest, AFileThatCannotBeReadIsLeftAlone) {
  WriteHostFile(host_, kOld);
  Build(u"Velm Printer", {{u"k", u"v"}});
  velm::platform::SetFileFault({velm::platform::FileFaultKind::kRead, u"qnset.ini", 10});
  EXPECT_FALSE(Replace(u"Velm Printer"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_READ_FAULT));
  velm::platform::ClearFileFaults();
  // Held open by a writer that shares nothing: refused, not taken for an empty file.
  HANDLE locked = CreateFileW(kPath, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(Replace(u"Velm Printer"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  CloseHandle(locked);
  EXPECT_EQ(ReadHostFile(host_), kOld);
  EXPECT_EQ(Strays(), 0u);
}

TEST_F(IniRewriteTest, AWriteThatFailsAfterAnyNumberOfBytesLeavesTheOldFileWhole) {
  WriteHostFile(host_, kOld);
  Build(u"Velm Printer", {{u"Tray1", u"2"}, {u"Tray2", u"3"}});
  DWORD start = 0;
  DWORD span = 0;
  ASSERT_TRUE(IniFindSectionSpan(u"Velm Printer", kOld.data(), static_cast<DWORD>(kOld.size()), &start, &span));
  const size_t total = text_.length + kOld.size() - span;
  for (uint64_t after : {uint64_t{0}, uint64_t{1}, uint64_t{text_.length}, uint64_t{total - 1}}) {
    velm::platform::SetFileFault({velm::platform::FileFaultKind::kWrite, u".tmp", after});
    EXPECT_FALSE(Replace(u"Velm Printer")) << after;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
    velm::platform::ClearFileFaults();
    EXPECT_EQ(ReadHostFile(host_), kOld) << after;
    EXPECT_EQ(Strays(), 0u) << after;
  }
  velm::platform::SetFileFault({velm::platform::FileFaultKind::kWrite, u".tmp", total});
  EXPECT_TRUE(Replace(u"Velm Printer"));
  EXPECT_EQ(ReadHostFile(host_).size(), total);
}

TEST_F(IniRewriteTest, EveryFailedAllocationLeavesTheOldFileWholeAndNothingLeaks) {
  WriteHostFile(host_, kOld);
  Build(u"Velm Printer", {{u"Tray1", u"2"}});
  const uint64_t live = velm::platform::LiveAllocationCount();
  bool succeeded = false;
  int failures = 0;
  for (uint64_t nth = 1; nth < 64 && !succeeded; ++nth) {
    velm::platform::SetAllocationFault(nth);
    succeeded = Replace(u"Velm Printer");
    velm::platform::SetAllocationFault(0);
    if (!succeeded) {
      ++failures;
      EXPECT_EQ(ReadHostFile(host_), kOld) << nth;
    }
    EXPECT_EQ(velm::platform::LiveAllocationCount(), live) << nth;
    EXPECT_EQ(Strays(), 0u) << nth;
  }
  EXPECT_TRUE(succeeded);
  EXPECT_GT(failures, 0);
}

TEST_F(IniRewriteTest, AFailedRenameOrACrashBeforeItLeavesTheOldFileWhole) {
  WriteHostFile(host_, kOld);
  Build(u"Velm Printer", {{u"k", u"v"}});
  // The rename is refused (a read-only target): the old file stays, the new text goes away.
  ASSERT_TRUE(SetFileAttributesW(kPath, FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(Replace(u"Velm Printer"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  ASSERT_TRUE(SetFileAttributesW(kPath, FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(ReadHostFile(host_), kOld);
  EXPECT_EQ(Strays(), 0u);
  // A process that died between writing its temporary file and renaming it left the file
  // behind; the settings INI is the old one, and the next rewrite of that file removes it.
  // Temporary files of other files, and files that only look like them, stay.
  WriteHostFile(host_.parent_path() / "qnset.ini.~0000ABCD.TMP", "[Velm Printer]\r\nhalf");
  WriteHostFile(host_.parent_path() / "QNSET.INI.~12345678.tmp", "[Velm Printer]\r\nhalf");
  WriteHostFile(host_.parent_path() / "other.ini.~0000ABCD.TMP", "");
  WriteHostFile(host_.parent_path() / "qnset.ini.~notmine.TMP", "");
  ASSERT_TRUE(Replace(u"Velm Printer"));
  EXPECT_EQ(ReadHostFile(host_).rfind("; kept comment\r\n\r\n[Velm Printer]\r\nk=v\r\n", 0), 0u);
  EXPECT_EQ(Strays(), 2u);
  EXPECT_TRUE(std::filesystem::exists(host_.parent_path() / "other.ini.~0000ABCD.TMP"));
  EXPECT_TRUE(std::filesystem::exists(host_.parent_path() / "qnset.ini.~notmine.TMP"));
}

TEST_F(IniRewriteTest, TheBuilderGrowsInsteadOfCuttingAndWritesOnlyWhatBothReadersReadAlike) {
  ASSERT_TRUE(IniAppendSection(&text_, u"Big"));
  const std::u16string longValue(520, u'v');
  for (char16_t i = 0; i < 100; ++i) {
    const std::u16string key = {u'K', static_cast<char16_t>(u'A' + i % 26), static_cast<char16_t>(u'a' + i / 26)};
    ASSERT_TRUE(IniAppendEntry(&text_, key.c_str(), longValue.c_str()));
  }
  EXPECT_EQ(text_.length, 7u + 100u * (3u + 1u + 520u + 2u));  // past the first 32 KB, nothing cut
  // A growth that fails leaves the text as it was.
  const std::string before(text_.bytes, text_.length + 1);
  velm::platform::SetAllocationFault(1);
  EXPECT_FALSE(IniAppendEntry(&text_, u"more", std::u16string(70000, u'x').c_str()));
  velm::platform::SetAllocationFault(0);
  EXPECT_EQ(std::string(text_.bytes, text_.length + 1), before);
  IniFreeSectionText(&text_);

  // Empty names append nothing; names no reader could find again are refused.
  EXPECT_TRUE(IniAppendSection(&text_, u""));
  EXPECT_TRUE(IniAppendEntry(&text_, u"", u"x"));
  EXPECT_EQ(text_.length, 0u);
  for (const WCHAR* bad : {u" P", u"P\t", u"a]b", u"a[b", u"a\nb"}) EXPECT_FALSE(IniAppendSection(&text_, bad));
  for (const WCHAR* bad : {u"k=v", u"[k", u";k", u" k", u"k\r"}) EXPECT_FALSE(IniAppendEntry(&text_, bad, u"1"));
  EXPECT_FALSE(IniAppendSection(&text_, std::u16string(261, u'n').c_str()));
  EXPECT_FALSE(IniAppendEntry(&text_, u"k", nullptr));
  // Values: line breaks become blanks; blanks at either end and enclosing quotes go.
  ASSERT_TRUE(IniAppendEntry(&text_, u"a", u"one\r\ntwo\nthree"));
  ASSERT_TRUE(IniAppendEntry(&text_, u"b", u"  \"'x y'\" \t"));
  ASSERT_TRUE(IniAppendEntry(&text_, u"c", u"\"half"));
  EXPECT_EQ(std::string(text_.bytes, text_.length), "a=one  two three\r\nb=x y\r\nc=\"half\r\n");
}

TEST_F(IniRewriteTest, LoadingReadsTheWholeFileOnceWithANulAfterIt) {
  WriteHostFile(host_, kOld);
  DWORD bytes = 0;
  char* text = IniLoadFile(kPath, &bytes);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::string(text, bytes + 1), kOld + '\0');
  IniFreeFile(text);
  // An absent file is created empty, as the system's open-always creates it.
  char* created = IniLoadFile(u"C:\\_velm\\new.ini", &bytes);
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(bytes, 0u);
  IniFreeFile(created);
  EXPECT_TRUE(std::filesystem::exists(root_.OnDriveC("_velm/new.ini")));
  velm::platform::SetAllocationFault(1);
  EXPECT_EQ(IniLoadFile(kPath), nullptr);
  velm::platform::SetAllocationFault(0);
  std::filesystem::resize_file(host_, kIniMaxFileBytes + 1);
  EXPECT_EQ(IniLoadFile(kPath), nullptr);
  // Nor does a rewrite make a file over the limit.
  std::filesystem::resize_file(host_, kIniMaxFileBytes - 4);
  EXPECT_FALSE(IniReplaceSection(kPath, u"P", "[P]\r\nk=v\r\n", 10));
  EXPECT_EQ(std::filesystem::file_size(host_), kIniMaxFileBytes - 4);
}

// One process's rounds: under the settings mutex, read its counter through the engine and
// write its section back with the counter one higher. 0 when every round succeeded.
int CountInOwnSection(const WCHAR* section, int rounds) {
  for (int i = 0; i < rounds; ++i) {
    SysLockGlobalMutex();
    char* file = IniLoadFile(kPath);
    LONG cursor = 0;
    const int count = file ? IniGetInt(u"count", 0, IniFindSection(section, file), &cursor) : -1;
    IniFreeFile(file);
    WCHAR digits[12];
    swprintf(digits, 12, u"%d", count + 1);
    IniSectionText text{};
    const bool ok = count >= 0 && IniAppendSection(&text, section) && IniAppendEntry(&text, u"count", digits) &&
                    IniReplaceSection(kPath, section, text.bytes, text.length);
    IniFreeSectionText(&text);
    SysUnlockGlobalMutex();
    if (!ok) return 1;
  }
  return 0;
}

TEST_F(IniRewriteTest, RewritesFromTwoProcessesUnderTheSettingsMutexLoseNothing) {
  WriteHostFile(host_, "[Third]\r\nk=v\r\n");
  constexpr int kRounds = 25;
  const WCHAR* sections[2] = {u"First Printer", u"Second Printer"};
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    children[c] = ::fork();
    if (children[c] == 0) ::_exit(CountInOwnSection(sections[c], kRounds));
    ASSERT_GT(children[c], 0);
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  char* file = IniLoadFile(kPath);
  ASSERT_NE(file, nullptr);
  for (const WCHAR* section : sections) EXPECT_EQ(IniGetInt(u"count", -1, IniFindSection(section, file), nullptr), kRounds);
  EXPECT_NE(IniFindSection(u"Third", file), nullptr);
  IniFreeFile(file);
  EXPECT_EQ(Strays(), 0u);
}

// Writers that do not take the settings mutex themselves: one process writes keys one at a time
// through the profile wrapper, the other rewrites its own section. Neither loses the other's
// writes, because both writers hold the settings mutex.
TEST_F(IniRewriteTest, ProfileWritesAndRewritesFromTwoProcessesLoseNothing) {
  WriteHostFile(host_, "[Keys]\r\n");
  constexpr int kRounds = 60;
  pid_t writer = ::fork();
  if (writer == 0) {
    for (int i = 0; i < kRounds; ++i) {
      WCHAR key[16];
      swprintf(key, 16, u"k%d", i);
      if (!IniProfileWriteString(u"Keys", key, u"1", kPath)) ::_exit(1);
    }
    ::_exit(0);
  }
  ASSERT_GT(writer, 0);
  pid_t rewriter = ::fork();
  if (rewriter == 0) {
    for (int i = 0; i < kRounds; ++i)
      if (!IniReplaceSection(kPath, u"Other", "[Other]\r\nn=1\r\n", 14)) ::_exit(1);
    ::_exit(0);
  }
  ASSERT_GT(rewriter, 0);
  for (pid_t child : {writer, rewriter}) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  char* file = IniLoadFile(kPath);
  ASSERT_NE(file, nullptr);
  int kept = 0;
  for (int i = 0; i < kRounds; ++i) {
    WCHAR key[16];
    swprintf(key, 16, u"k%d", i);
    kept += IniGetInt(key, 0, IniFindSection(u"Keys", file), nullptr);
  }
  EXPECT_EQ(kept, kRounds);
  IniFreeFile(file);
}

}  // namespace
