// The shared file operations: deletes and copies whatever the attributes, time comparison,
// install copy from the driver folder, extension tests, keeping an INI's time, and the security
// of the settings folders.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/machine_root.h"
#include "machine_setup.h"
#include "settings/context/driver_context.h"
#include "spool/spool_store.h"
#include "support/file_security.h"
#include "support/temp_root.h"
#include "ui2k/store/file_utils.h"

namespace {

using velm::test::AceView;
using velm::test::ReadSecurity;

constexpr char kEveryone[] = "S-1-1-0";
constexpr char kAdmins[] = "S-1-5-32-544";
constexpr BYTE kInheritBoth = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

class FileUtilsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(velm::tools::InstallDriver({velm::test::ModuleDir(), {}}, &error)) << error;
    ASSERT_TRUE(velm::tools::AddPrinter({}, &error)) << error;
    ASSERT_TRUE(velm::platform::SetMachineSetting("administrator", "1"));
    defaults_ = kModelDefaults;
    work_ = std::make_unique<ContextWorkArea>();
    context_.modelDefaults = &defaults_;
    context_.work = work_.get();
    PRINTER_DEFAULTSW access{nullptr, nullptr, PRINTER_ALL_ACCESS};
    ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"Velm Printer"), &context_.printer, &access));
  }
  void TearDown() override {
    velm::platform::ClearFileFaults();
    ClosePrinter(context_.printer);
  }

  static void Make(const std::u16string& path, const std::string& bytes, ULONGLONG time = 0) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    if (time) {
      const FILETIME when{static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
      ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &when));
    }
    CloseHandle(h);
  }
  static std::string Bytes(const std::u16string& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    char buffer[256];
    DWORD read = 0;
    ReadFile(h, buffer, sizeof buffer, &read, nullptr);
    CloseHandle(h);
    return std::string(buffer, read);
  }
  static ULONGLONG WriteTime(const std::u16string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    EXPECT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data));
    return ULONGLONG{data.ftLastWriteTime.dwHighDateTime} << 32 | data.ftLastWriteTime.dwLowDateTime;
  }
  static std::vector<std::u16string> Names(const std::u16string& pattern) {
    std::vector<std::u16string> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do names.emplace_back(data.cFileName);
    while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
  }

  static inline const std::u16string kDriverDir{velm::platform::kDriverDirectory};
  static inline const std::u16string kSystemDir = u"C:\\Windows\\system32\\";
  static constexpr ULONGLONG kOld = 130'000'000'000'000'000ULL;
  static constexpr ULONGLONG kNew = kOld + 10'000'000;  // one second later

  velm::test::TempMachineRoot root_;
  ModelDefaults defaults_;
  std::unique_ptr<ContextWorkArea> work_;
  DriverContext context_{};
};

TEST_F(FileUtilsTest, DeletesReadOnlyFilesOneByOneAndByPattern) {
  Make(u"C:\\ro.txt", "x");
  ASSERT_TRUE(SetFileAttributesW(u"C:\\ro.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  EXPECT_FALSE(DeleteFileW(u"C:\\ro.txt"));
  EXPECT_TRUE(FsDeleteFile(u"C:\\ro.txt"));
  EXPECT_EQ(GetFileAttributesW(u"C:\\ro.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(FsDeleteFile(u"C:\\ro.txt"));

  ASSERT_TRUE(CreateDirectoryW(u"C:\\d", nullptr));
  ASSERT_TRUE(CreateDirectoryW(u"C:\\d\\keep.tmp", nullptr));
  Make(u"C:\\d\\a.tmp", "a");
  Make(u"C:\\d\\b.tmp", "b");
  Make(u"C:\\d\\c.txt", "c");
  ASSERT_TRUE(SetFileAttributesW(u"C:\\d\\b.tmp", FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(FsDeleteMatching(u"C:\\d\\*.tmp"));
  EXPECT_EQ(Names(u"C:\\d\\*"), (std::vector<std::u16string>{u".", u"..", u"c.txt", u"keep.tmp"}));
  EXPECT_FALSE(FsDeleteMatching(u"C:\\d\\*.tmp"));
}

TEST_F(FileUtilsTest, CopiesAreNormalAndReadOnlyIsCleared) {
  Make(u"C:\\src.txt", "data");
  ASSERT_TRUE(SetFileAttributesW(u"C:\\src.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  ASSERT_TRUE(FsCopyFile(u"C:\\src.txt", u"C:\\copy.txt", TRUE));
  EXPECT_EQ(GetFileAttributesW(u"C:\\copy.txt"), FILE_ATTRIBUTE_NORMAL);
  EXPECT_FALSE(FsCopyFile(u"C:\\src.txt", u"C:\\copy.txt", TRUE));
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);

  ASSERT_TRUE(FsClearReadOnly(u"C:\\src.txt"));
  EXPECT_EQ(GetFileAttributesW(u"C:\\src.txt"), FILE_ATTRIBUTE_HIDDEN);
  EXPECT_TRUE(FsClearReadOnly(u"C:\\copy.txt"));
  EXPECT_FALSE(FsClearReadOnly(u"C:\\missing.txt"));
}

TEST_F(FileUtilsTest, ComparesLastWriteTimesInBothModes) {
  struct Case {
    ULONGLONG first, second;
    DWORD mode;
    BOOL expected;
  };
  const Case cases[] = {
      {kOld, kOld, kFsTimesEqual, TRUE},      {kOld, kNew, kFsTimesEqual, FALSE},
      {kNew, kOld, kFsTimesEqual, FALSE},     {kOld, kOld, kFsSecondNotOlder, TRUE},
      {kOld, kNew, kFsSecondNotOlder, TRUE},  {kNew, kOld, kFsSecondNotOlder, FALSE},
  };
  for (const Case& c : cases) {
    Make(u"C:\\first", "1", c.first);
    Make(u"C:\\second", "2", c.second);
    EXPECT_EQ(FsCompareFileTime(u"C:\\first", u"C:\\second", c.mode), c.expected)
        << c.first << " " << c.second << " mode " << c.mode;
  }
  // Opening without access rights is not stopped by an open that shares nothing.
  HANDLE held = CreateFileW(u"C:\\second", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(FsCompareFileTime(u"C:\\first", u"C:\\second", kFsSecondNotOlder));
  EXPECT_TRUE(FsCompareFileTime(u"C:\\second", u"C:\\first", kFsSecondNotOlder));
  CloseHandle(held);
  for (DWORD mode : {kFsTimesEqual, kFsSecondNotOlder}) {
    EXPECT_FALSE(FsCompareFileTime(u"C:\\first", u"C:\\missing", mode));
    EXPECT_FALSE(FsCompareFileTime(u"C:\\missing", u"C:\\first", mode));
  }
}

TEST_F(FileUtilsTest, CreatingAFolderThatExistsSucceedsButAFileOfThatNameDoesNot) {
  EXPECT_TRUE(FsCreateFolder(u"C:\\made"));
  EXPECT_TRUE(FsCreateFolder(u"C:\\made"));
  Make(u"C:\\plain", "x");
  EXPECT_FALSE(FsCreateFolder(u"C:\\plain"));
  EXPECT_FALSE(FsCreateFolder(u"C:\\no\\such"));
}

TEST_F(FileUtilsTest, InstallCopiesFromTheDriverFolderIntoTheSystemFolder) {
  Make(kDriverDir + u"pkg.dat", "new", kNew);
  // A missing target is installed in every mode.
  for (DWORD mode : {kFsInstallIfMissing, DWORD{0}}) {
    SCOPED_TRACE(mode);
    DeleteFileW((kSystemDir + u"pkg.dat").c_str());
    ASSERT_TRUE(FsInstallFile(&context_, u"pkg.dat", u"pkg.dat", mode));
    EXPECT_EQ(Bytes(kSystemDir + u"pkg.dat"), "new");
    EXPECT_EQ(GetFileAttributesW((kSystemDir + u"pkg.dat").c_str()), FILE_ATTRIBUTE_NORMAL);
  }
  // An older target: kept by mode 1, replaced (read-only or not) by the other modes.
  Make(kSystemDir + u"pkg.dat", "old", kOld);
  ASSERT_TRUE(SetFileAttributesW((kSystemDir + u"pkg.dat").c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(FsInstallFile(&context_, u"pkg.dat", u"pkg.dat", kFsInstallIfMissing));
  EXPECT_EQ(Bytes(kSystemDir + u"pkg.dat"), "old");
  EXPECT_TRUE(FsInstallFile(&context_, u"pkg.dat", u"pkg.dat", 0));
  EXPECT_EQ(Bytes(kSystemDir + u"pkg.dat"), "new");
  EXPECT_EQ(WriteTime(kSystemDir + u"pkg.dat"), kNew);
  // A target as new as the source, or newer, is current.
  Make(u"C:\\target.dat", "mine", kNew + 1);
  EXPECT_TRUE(FsInstallFile(&context_, u"pkg.dat", u"C:\\target.dat", 2));
  EXPECT_EQ(Bytes(u"C:\\target.dat"), "mine");
  // Nothing of the replacement is left behind.
  EXPECT_EQ(Names(kSystemDir + u"*.TMP"), std::vector<std::u16string>{});
}

TEST_F(FileUtilsTest, InstallAnswersForTheSamePathAndAMissingSource) {
  Make(u"C:\\same.dat", "x");
  EXPECT_TRUE(FsInstallFile(&context_, u"C:\\same.dat", u"c:\\SAME.DAT", 0));
  EXPECT_TRUE(FsInstallFile(&context_, (kDriverDir + u"none.dat").c_str(), u"none.dat", 0) == FALSE);
  EXPECT_FALSE(FsInstallFile(&context_, u"none.dat", u"C:\\none.dat", kFsInstallIfMissing));
  EXPECT_EQ(GetFileAttributesW(u"C:\\none.dat"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(FileUtilsTest, AFailedReplacementKeepsTheOldTarget) {
  Make(kDriverDir + u"big.dat", "new contents", kNew);
  Make(u"C:\\big.dat", "old", kOld);
  velm::platform::SetFileFault({velm::platform::FileFaultKind::kWrite, u".TMP", 4, 0});
  EXPECT_FALSE(FsInstallFile(&context_, u"big.dat", u"C:\\big.dat", 0));
  EXPECT_EQ(Bytes(u"C:\\big.dat"), "old");
  EXPECT_EQ(Names(u"C:\\*.TMP"), std::vector<std::u16string>{});
  velm::platform::ClearFileFaults();
  // An open target that refuses to be replaced keeps its contents too.
  HANDLE held = CreateFileW(u"C:\\big.dat", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_FALSE(FsInstallFile(&context_, u"big.dat", u"C:\\big.dat", 0));
  CloseHandle(held);
  EXPECT_EQ(Bytes(u"C:\\big.dat"), "old");
  EXPECT_TRUE(FsInstallFile(&context_, u"big.dat", u"C:\\big.dat", 0));
  EXPECT_EQ(Bytes(u"C:\\big.dat"), "new contents");
}

TEST_F(FileUtilsTest, ExtensionTests) {
  struct Case {
    const char16_t* name;
    DWORD base, extension;
    BOOL shortExtension;
  };
  const Case cases[] = {
      {u"a.txt", 1, 3, TRUE},       {u"archive.tar.gz", 11, 2, TRUE}, {u"page.html", 4, 4, FALSE},
      {u"plain", 5, 0, FALSE},      {u"dot.", 3, 0, FALSE},           {u"C:\\dir.d\\file", 13, 0, FALSE},
      {u"C:\\dir\\x.r", 8, 1, TRUE}, {u"", 0, 0, FALSE},
  };
  for (const Case& c : cases) {
    DWORD extension = 99;
    EXPECT_EQ(FsSplitExtension(c.name, &extension), c.base) << testing::PrintToString(std::u16string(c.name));
    EXPECT_EQ(extension, c.extension);
    EXPECT_EQ(FsHasShortExtension(c.name), c.shortExtension);
  }
}

TEST_F(FileUtilsTest, WritingAKeyKeepsTheIniLastWriteTime) {
  Make(u"C:\\kept.ini", "[S]\r\nA=1\r\n", kOld);
  ASSERT_TRUE(FsWriteIniKeepTime(u"S", u"B", u"2", u"C:\\kept.ini"));
  WCHAR value[8] = {};
  GetPrivateProfileStringW(u"S", u"B", u"", value, 8, u"C:\\kept.ini");
  EXPECT_EQ(std::u16string(value), u"2");
  EXPECT_EQ(WriteTime(u"C:\\kept.ini"), kOld);
  // A plain write moves it, so the test above means something.
  ASSERT_TRUE(WritePrivateProfileStringW(u"S", u"C", u"3", u"C:\\kept.ini"));
  WritePrivateProfileStringW(nullptr, nullptr, nullptr, u"C:\\kept.ini");
  EXPECT_NE(WriteTime(u"C:\\kept.ini"), kOld);
}

TEST_F(FileUtilsTest, TheSharedFolderIsHiddenAdminOwnedAndOpenOnItsOwn) {
  ASSERT_TRUE(CreateDirectoryW(u"C:\\_velm", nullptr));
  Make(u"C:\\_velm\\qnuser.ini", "");
  ASSERT_TRUE(FsCreateSharedFolder());
  EXPECT_TRUE(GetFileAttributesW(u"C:\\_velm") & FILE_ATTRIBUTE_HIDDEN);
  const velm::test::SecurityView folder = ReadSecurity(u"C:\\_velm");
  EXPECT_EQ(folder.owner, kAdmins);
  EXPECT_EQ(folder.aces, (std::vector<AceView>{{0, kInheritBoth, kFsOpenAccess, kEveryone}}));
  // The file keeps no security of its own: its owner is the user's, its entry inherited.
  const velm::test::SecurityView file = ReadSecurity(u"C:\\_velm\\qnuser.ini");
  EXPECT_NE(file.owner, kAdmins);
  EXPECT_EQ(file.aces, (std::vector<AceView>{{0, INHERITED_ACE, kFsOpenAccess, kEveryone}}));
  EXPECT_EQ(GetFileAttributesW(u"C:\\_velm\\qnuser.ini") & FILE_ATTRIBUTE_HIDDEN, 0u);
}

TEST_F(FileUtilsTest, AUserWhoIsNoAdministratorCannotHandTheSharedFolderToAdministrators) {
  ASSERT_TRUE(velm::platform::SetMachineSetting("administrator", "0"));
  EXPECT_FALSE(FsCreateSharedFolder());
  EXPECT_EQ(GetLastError(), ERROR_INVALID_OWNER);
  EXPECT_TRUE(GetFileAttributesW(u"C:\\_velm") & FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(FileUtilsTest, SecuringFoldersFromNt5CoversTheSharedFolderAndItsFiles) {
  ASSERT_TRUE(FsCreateFolder(u"C:\\_velm"));
  ASSERT_TRUE(FsCreateFolder(u"C:\\_velm\\sub"));
  Make(u"C:\\_velm\\sub\\a.rsd", "");
  ASSERT_TRUE(InstSecurePrinterFolders(&context_));
  for (const char16_t* path : {u"C:\\_velm", u"C:\\_velm\\sub", u"C:\\_velm\\sub\\a.rsd"}) {
    SCOPED_TRACE(testing::PrintToString(std::u16string(path)));
    EXPECT_EQ(ReadSecurity(path).aces, (std::vector<AceView>{{0, kInheritBoth, kFsOpenAccess, kEveryone}}));
  }
  EXPECT_FALSE(ReadSecurity((kSystemDir + u"quirn").c_str()).ok);
}

TEST_F(FileUtilsTest, SecuringFoldersBeforeNt5CoversThePerUserFolders) {
  ASSERT_TRUE(velm::platform::SetMachineSetting("os", "nt4"));
  const std::u16string perUser = kSystemDir + u"quirn\\_velm\\user";
  ASSERT_TRUE(FsCreateFolder((kSystemDir + u"quirn").c_str()));
  ASSERT_TRUE(FsCreateFolder((kSystemDir + u"quirn\\_velm").c_str()));
  ASSERT_TRUE(FsCreateFolder(perUser.c_str()));
  ASSERT_TRUE(FsCreateFolder(u"C:\\_velm"));
  ASSERT_TRUE(InstSecurePrinterFolders(&context_));
  EXPECT_EQ(ReadSecurity(perUser.c_str()).aces, (std::vector<AceView>{{0, kInheritBoth, kFsOpenAccess, kEveryone}}));
  EXPECT_FALSE(ReadSecurity(u"C:\\_velm").daclPresent);
  EXPECT_FALSE(ReadSecurity(kSystemDir.c_str()).daclPresent);
}

}  // namespace
