// Files and folders by name: move, copy, delete, folders, attributes, and searching folders.
#include <algorithm>
#include <vector>

#include "files_fixture.h"

namespace velm::platform {
namespace {

using OperationsTest = FilesTest;

std::vector<std::u16string> FindAll(const char16_t* pattern, DWORD* error = nullptr) {
  std::vector<std::u16string> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(pattern, &data);
  if (find == INVALID_HANDLE_VALUE) {
    if (error) *error = GetLastError();
    return names;
  }
  do names.emplace_back(data.cFileName);
  while (FindNextFileW(find, &data));
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
  EXPECT_TRUE(FindClose(find));
  return names;
}

TEST_F(OperationsTest, MoveReplacesOnlyWhenAskedTo) {
  Make(u"C:\\a.txt", "source");
  Make(u"C:\\b.txt", "target");
  EXPECT_FALSE(MoveFileExW(u"C:\\a.txt", u"C:\\b.txt", 0));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_FALSE(MoveFileW(u"C:\\a.txt", u"C:\\b.txt"));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(HostBytes("a.txt"), "source");
  EXPECT_EQ(HostBytes("b.txt"), "target");

  ASSERT_TRUE(MoveFileExW(u"C:\\a.txt", u"C:\\B.TXT", MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
  EXPECT_EQ(HostBytes("b.txt"), "source");
  EXPECT_EQ(GetFileAttributesW(u"C:\\a.txt"), INVALID_FILE_ATTRIBUTES);

  // A file moves to a new name and into another folder; a change of case only renames.
  ASSERT_TRUE(CreateDirectoryW(u"C:\\Dir", nullptr));
  ASSERT_TRUE(MoveFileW(u"C:\\b.txt", u"C:\\dir\\c.txt"));
  EXPECT_EQ(HostBytes("Dir/c.txt"), "source");
  ASSERT_TRUE(MoveFileExW(u"C:\\Dir\\c.txt", u"C:\\Dir\\C.TXT", 0));
  EXPECT_EQ(FindAll(u"C:\\Dir\\*.txt"), std::vector<std::u16string>{u"C.TXT"});

  EXPECT_FALSE(MoveFileExW(u"C:\\none.txt", u"C:\\x.txt", 0));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(MoveFileExW(u"C:\\Dir\\C.TXT", u"C:\\NoDir\\x.txt", 0));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(MoveFileExW(u"C:\\Dir\\C.TXT", u"D:\\x.txt", 0));
  EXPECT_EQ(GetLastError(), ERROR_NOT_SAME_DEVICE);
  EXPECT_FALSE(MoveFileExW(u"C:\\Dir\\C.TXT", u"C:\\x.txt", MOVEFILE_DELAY_UNTIL_REBOOT));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(OperationsTest, MoveRefusesToReplaceFoldersReadOnlyAndOpenFiles) {
  Make(u"C:\\src.txt", "s");
  Make(u"C:\\ro.txt", "r");
  Make(u"C:\\open.txt", "o");
  ASSERT_TRUE(CreateDirectoryW(u"C:\\Folder", nullptr));
  ASSERT_TRUE(SetFileAttributesW(u"C:\\ro.txt", FILE_ATTRIBUTE_READONLY));
  for (const char16_t* target : {u"C:\\Folder", u"C:\\ro.txt", u"C:\\open.txt"}) {
    HANDLE open = Open(u"C:\\open.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING);
    EXPECT_FALSE(MoveFileExW(u"C:\\src.txt", target, MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    CloseHandle(open);
  }
  // The source itself open without delete sharing cannot move.
  HANDLE held = Open(u"C:\\src.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  EXPECT_FALSE(MoveFileExW(u"C:\\src.txt", u"C:\\moved.txt", 0));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  CloseHandle(held);
  EXPECT_TRUE(MoveFileExW(u"C:\\src.txt", u"C:\\open.txt", MOVEFILE_REPLACE_EXISTING));
}

TEST_F(OperationsTest, CopyHonoursFailIfExistsAndKeepsAttributes) {
  Make(u"C:\\from.txt", "payload");
  Make(u"C:\\to.txt", "old");
  EXPECT_FALSE(CopyFileW(u"C:\\from.txt", u"C:\\to.txt", TRUE));
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
  EXPECT_EQ(HostBytes("to.txt"), "old");
  ASSERT_TRUE(CopyFileW(u"C:\\from.txt", u"C:\\to.txt", FALSE));
  EXPECT_EQ(HostBytes("to.txt"), "payload");

  ASSERT_TRUE(SetFileAttributesW(u"C:\\from.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  ASSERT_TRUE(CopyFileW(u"C:\\from.txt", u"C:\\copy.txt", TRUE));
  EXPECT_EQ(GetFileAttributesW(u"C:\\copy.txt"), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  // The copy is read-only now, so a second copy onto it is refused.
  EXPECT_FALSE(CopyFileW(u"C:\\from.txt", u"C:\\copy.txt", FALSE));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(CopyFileW(u"C:\\missing.txt", u"C:\\x.txt", FALSE));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(CopyFileW(u"C:\\from.txt", u"C:\\NoDir\\x.txt", FALSE));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);

  // A copy that fails part way leaves no half file behind.
  SetFileFault({FileFaultKind::kWrite, u"half.txt", 3});
  EXPECT_FALSE(CopyFileW(u"C:\\to.txt", u"C:\\half.txt", FALSE));
  EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
  EXPECT_EQ(GetFileAttributesW(u"C:\\half.txt"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(OperationsTest, FoldersAreCreatedAndRemovedWithWindowsErrors) {
  ASSERT_TRUE(CreateDirectoryW(u"C:\\Work", nullptr));
  EXPECT_FALSE(CreateDirectoryW(u"C:\\work", nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_FALSE(CreateDirectoryW(u"C:\\No\\Deeper", nullptr));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  Make(u"C:\\Work\\file.txt", "");
  EXPECT_FALSE(RemoveDirectoryW(u"C:\\Work"));
  EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);
  EXPECT_FALSE(RemoveDirectoryW(u"C:\\Work\\file.txt"));
  EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
  EXPECT_FALSE(DeleteFileW(u"C:\\Work"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(RemoveDirectoryW(u"C:\\Missing"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  ASSERT_TRUE(DeleteFileW(u"C:\\WORK\\FILE.TXT"));
  EXPECT_FALSE(DeleteFileW(u"C:\\Work\\file.txt"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  ASSERT_TRUE(SetCurrentDirectoryW(u"C:\\Work"));
  EXPECT_FALSE(RemoveDirectoryW(u"C:\\Work"));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  ASSERT_TRUE(SetCurrentDirectoryW(u"C:\\"));
  EXPECT_TRUE(RemoveDirectoryW(u"C:\\Work"));
  EXPECT_EQ(GetFileAttributesW(u"C:\\Work"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetFileAttributesW(u"C:\\Work\\x"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(OperationsTest, ReadOnlyFilesRefuseWritesAndDeletes) {
  Make(u"C:\\ro.ini", "keep");
  EXPECT_EQ(GetFileAttributesW(u"C:\\ro.ini"), FILE_ATTRIBUTE_ARCHIVE);
  ASSERT_TRUE(SetFileAttributesW(u"C:\\ro.ini", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(GetFileAttributesW(u"C:\\ro.ini"), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(OpenError(u"C:\\ro.ini", GENERIC_WRITE, 0, OPEN_EXISTING), ERROR_ACCESS_DENIED);
  EXPECT_EQ(OpenError(u"C:\\ro.ini", GENERIC_READ, 0, CREATE_ALWAYS), ERROR_ACCESS_DENIED);
  EXPECT_EQ(OpenError(u"C:\\ro.ini", GENERIC_READ, 0, OPEN_EXISTING), 0u);
  EXPECT_FALSE(DeleteFileW(u"C:\\ro.ini"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(HostBytes("ro.ini"), "keep");

  ASSERT_TRUE(SetFileAttributesW(u"C:\\ro.ini", FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetFileAttributesW(u"C:\\ro.ini"), FILE_ATTRIBUTE_NORMAL);
  EXPECT_TRUE(DeleteFileW(u"C:\\ro.ini"));
}

TEST_F(OperationsTest, KeptAttributesFollowTheFileAndDieWithIt) {
  Make(u"C:\\h.txt", "");
  ASSERT_TRUE(SetFileAttributesW(u"C:\\h.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  ASSERT_TRUE(MoveFileW(u"C:\\h.txt", u"C:\\Windows\\h2.txt"));
  EXPECT_EQ(GetFileAttributesW(u"C:\\Windows\\h2.txt"), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  ASSERT_TRUE(DeleteFileW(u"C:\\Windows\\h2.txt"));
  Make(u"C:\\Windows\\h2.txt", "");
  EXPECT_EQ(GetFileAttributesW(u"C:\\Windows\\h2.txt"), FILE_ATTRIBUTE_ARCHIVE);
  // A folder's kept bits move with the folder's contents.
  ASSERT_TRUE(CreateDirectoryW(u"C:\\Old", nullptr));
  Make(u"C:\\Old\\in.txt", "");
  ASSERT_TRUE(SetFileAttributesW(u"C:\\Old\\in.txt", FILE_ATTRIBUTE_HIDDEN));
  ASSERT_TRUE(MoveFileExW(u"C:\\Old", u"C:\\New", 0));
  EXPECT_EQ(GetFileAttributesW(u"C:\\New"), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(GetFileAttributesW(u"C:\\New\\in.txt"), FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(OperationsTest, FindMatchesWildcardsWithoutRegardToCase) {
  ASSERT_TRUE(CreateDirectoryW(u"C:\\Find", nullptr));
  for (const char16_t* name : {u"C:\\Find\\Alpha.txt", u"C:\\Find\\beta.TXT", u"C:\\Find\\gamma.log", u"C:\\Find\\noext"})
    Make(name, "12345");
  ASSERT_TRUE(CreateDirectoryW(u"C:\\Find\\Sub", nullptr));

  EXPECT_EQ(FindAll(u"C:\\find\\*.txt"), (std::vector<std::u16string>{u"Alpha.txt", u"beta.TXT"}));
  EXPECT_EQ(FindAll(u"C:\\Find\\?ETA.*"), std::vector<std::u16string>{u"beta.TXT"});
  EXPECT_EQ(FindAll(u"C:\\Find\\*a*.???"), (std::vector<std::u16string>{u"Alpha.txt", u"beta.TXT", u"gamma.log"}));
  EXPECT_EQ(FindAll(u"C:\\Find\\*.*"),
            (std::vector<std::u16string>{u".", u"..", u"Alpha.txt", u"beta.TXT", u"gamma.log", u"noext", u"Sub"}));
  EXPECT_EQ(FindAll(u"C:\\Find\\ALPHA.TXT"), std::vector<std::u16string>{u"Alpha.txt"});  // as the disk spells it
  EXPECT_EQ(FindAll(u"C:\\Find\\?"), std::vector<std::u16string>{u"."});

  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(u"C:\\Find\\s*", &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
  FindClose(find);
  find = FindFirstFileW(u"C:\\Find\\gamma.log", &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_EQ(data.nFileSizeLow, 5u);
  EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_ARCHIVE);
  FindClose(find);

  DWORD error = 0;
  EXPECT_TRUE(FindAll(u"C:\\Find\\*.doc", &error).empty());
  EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(FindAll(u"C:\\Nowhere\\*", &error).empty());
  EXPECT_EQ(error, ERROR_PATH_NOT_FOUND);
  // A drive's root lists no "." or "..".
  const auto top = FindAll(u"C:\\*");
  EXPECT_EQ(std::count(top.begin(), top.end(), u"."), 0);
  EXPECT_EQ(std::count(top.begin(), top.end(), u"Find"), 1);
  // Relative patterns search the current directory.
  ASSERT_TRUE(SetCurrentDirectoryW(u"C:\\Find"));
  EXPECT_EQ(FindAll(u"g*"), std::vector<std::u16string>{u"gamma.log"});
}

TEST_F(OperationsTest, HostLinksOutOfTheRootAreRefused) {
  const std::filesystem::path outside = root_.path().parent_path() / (root_.path().filename().string() + "-outside");
  std::filesystem::create_directories(outside);
  test::WriteHostFile(outside / "secret.txt", "secret");
  std::filesystem::create_directory_symlink(outside, root_.OnDriveC("Escape"));
  EXPECT_EQ(OpenError(u"C:\\Escape\\secret.txt", GENERIC_READ, 0, OPEN_EXISTING), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(DeleteFileW(u"C:\\Escape\\secret.txt"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  const auto top = FindAll(u"C:\\*");
  EXPECT_EQ(std::count(top.begin(), top.end(), u"Escape"), 0);
  EXPECT_EQ(test::ReadHostFile(outside / "secret.txt"), "secret");
  std::filesystem::remove_all(outside);
}

}  // namespace
}  // namespace velm::platform
