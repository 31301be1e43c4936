// Open files: creation dispositions, reading, writing and seeking, sharing, faults, times.
#include <sys/wait.h>
#include <unistd.h>

#include "files_fixture.h"

namespace velm::platform {
namespace {

using HandlesTest = FilesTest;

constexpr DWORD kCrcError = 23;  // any error a test chooses for its fault

TEST_F(HandlesTest, CreationDispositionsAndTheirErrors) {
  const char16_t* file = u"C:\\Temp\\f.txt";
  EXPECT_EQ(OpenError(file, GENERIC_READ, 0, OPEN_EXISTING), ERROR_PATH_NOT_FOUND);  // no C:\Temp yet
  EXPECT_EQ(OpenError(file, GENERIC_WRITE, 0, CREATE_ALWAYS), ERROR_PATH_NOT_FOUND);  // folders are not made
  ASSERT_TRUE(CreateDirectoryW(u"C:\\Temp", nullptr));
  EXPECT_EQ(OpenError(file, GENERIC_READ, 0, OPEN_EXISTING), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(OpenError(file, GENERIC_WRITE, 0, TRUNCATE_EXISTING), ERROR_FILE_NOT_FOUND);

  HANDLE h = Open(file, GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  Write(h, "0123456789");
  CloseHandle(h);
  EXPECT_EQ(OpenError(file, GENERIC_WRITE, 0, CREATE_NEW), ERROR_FILE_EXISTS);

  // OPEN_ALWAYS keeps the contents and says the file was there.
  h = Open(file, GENERIC_READ, FILE_SHARE_READ, OPEN_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(GetFileSize(h, nullptr), 10u);
  CloseHandle(h);
  // ... and creates an absent file, saying nothing.
  h = Open(u"C:\\Temp\\new.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  CloseHandle(h);
  EXPECT_TRUE(std::filesystem::exists(root_.OnDriveC("Temp/new.txt")));

  // CREATE_ALWAYS empties an existing file and says it was there.
  h = Open(file, GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(GetFileSize(h, nullptr), 0u);
  Write(h, "abc");
  CloseHandle(h);
  EXPECT_EQ(OpenError(file, GENERIC_READ, 0, TRUNCATE_EXISTING), ERROR_INVALID_PARAMETER);
  h = Open(file, GENERIC_WRITE, 0, TRUNCATE_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_EQ(HostBytes("Temp/f.txt"), "");

  // A folder is not a file.
  EXPECT_EQ(OpenError(u"C:\\Temp", GENERIC_READ, 0, OPEN_EXISTING), ERROR_ACCESS_DENIED);
  EXPECT_EQ(OpenError(u"C:\\Temp", GENERIC_WRITE, 0, CREATE_ALWAYS), ERROR_ACCESS_DENIED);
  EXPECT_EQ(OpenError(u"C:\\Temp", GENERIC_WRITE, 0, CREATE_NEW), ERROR_FILE_EXISTS);
  EXPECT_EQ(OpenError(u"C:\\Temp", GENERIC_READ, 0, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS), 0u);
  EXPECT_EQ(OpenError(u"C:\\Temp\\bad|name", GENERIC_READ, 0, OPEN_EXISTING), ERROR_INVALID_NAME);
  EXPECT_EQ(OpenError(file, GENERIC_READ, 0x8, OPEN_EXISTING), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(OpenError(file, GENERIC_READ, 0, 6), ERROR_INVALID_PARAMETER);
}

TEST_F(HandlesTest, ReadWriteAndSeekRoundTrip) {
  HANDLE h = Open(u"C:\\data.bin", GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  Write(h, "hello world");
  EXPECT_EQ(SetFilePointer(h, 6, nullptr, FILE_BEGIN), 6u);
  EXPECT_EQ(Read(h, 100), "world");
  // At the end a read succeeds with nothing.
  DWORD read = 99;
  char byte;
  EXPECT_TRUE(ReadFile(h, &byte, 1, &read, nullptr));
  EXPECT_EQ(read, 0u);

  // Before the start: refused, and the pointer stays where it was.
  EXPECT_EQ(SetFilePointer(h, -4, nullptr, FILE_CURRENT), 7u);
  EXPECT_EQ(SetFilePointer(h, -8, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
  EXPECT_EQ(Read(h, 4), "orld");
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, 7), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  // Past the end: a write there fills the gap with zeros.
  EXPECT_EQ(SetFilePointer(h, 3, nullptr, FILE_END), 14u);
  Write(h, "!");
  EXPECT_EQ(HostBytes("data.bin"), std::string("hello world\0\0\0!", 15));

  // The high part carries 64-bit positions; without it the position must fit 32 bits.
  LONG high = 1;
  EXPECT_EQ(SetFilePointer(h, 16, &high, FILE_BEGIN), 16u);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  EXPECT_EQ(high, 1);
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  LARGE_INTEGER move, now;
  move.QuadPart = -3;
  ASSERT_TRUE(SetFilePointerEx(h, move, &now, FILE_END));
  EXPECT_EQ(now.QuadPart, 12);

  // Cut at the pointer.
  ASSERT_TRUE(SetEndOfFile(h));
  LARGE_INTEGER size;
  ASSERT_TRUE(GetFileSizeEx(h, &size));
  EXPECT_EQ(size.QuadPart, 12);
  DWORD sizeHigh = 7;
  EXPECT_EQ(GetFileSize(h, &sizeHigh), 12u);
  EXPECT_EQ(sizeHigh, 0u);
  EXPECT_EQ(GetFileType(h), FILE_TYPE_DISK);

  // A positioned read leaves the pointer after what it read.
  OVERLAPPED at{};
  at.u.s.Offset = 2;
  char two[2];
  ASSERT_TRUE(ReadFile(h, two, 2, &read, &at));
  EXPECT_EQ(std::string(two, 2), "ll");
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 4u);
  EXPECT_TRUE(CloseHandle(h));
}

TEST_F(HandlesTest, HandlesAllowOnlyWhatTheyWereOpenedFor) {
  Make(u"C:\\f.txt", "abc");
  HANDLE reader = Open(u"C:\\f.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
  HANDLE writer = Open(u"C:\\f.txt", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  DWORD n = 0;
  char buffer[4];
  EXPECT_FALSE(WriteFile(reader, "x", 1, &n, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(SetEndOfFile(reader));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(ReadFile(writer, buffer, 1, &n, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  CloseHandle(reader);
  CloseHandle(writer);
  // A closed handle is gone for every call.
  EXPECT_FALSE(ReadFile(reader, buffer, 1, &n, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(CloseHandle(reader));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(GetFileSize(INVALID_HANDLE_VALUE, nullptr), INVALID_FILE_SIZE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(HandlesTest, ExistingNamesAreFoundWithoutRegardToCase) {
  test::WriteHostFile(root_.OnDriveC("Windows/QnSet.INI"), "[s]\r\n");
  HANDLE h = Open(u"c:\\WINDOWS\\qnset.ini", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Read(h, 10), "[s]\r\n");
  CloseHandle(h);
  // Rewriting through another spelling replaces the same file rather than adding one.
  Make(u"C:\\windows\\QNSET.ini", "new");
  EXPECT_EQ(HostBytes("Windows/QnSet.INI"), "new");
  EXPECT_FALSE(std::filesystem::exists(root_.OnDriveC("Windows/QNSET.ini")));
  // A new name keeps the case it was given.
  Make(u"C:\\Windows\\NewFile.Txt", "");
  EXPECT_TRUE(std::filesystem::exists(root_.OnDriveC("Windows/NewFile.Txt")));
}

TEST_F(HandlesTest, ShareModesRefuseConflictingOpensInOneProcess) {
  const char16_t* file = u"C:\\shared.txt";
  Make(file, "x");
  HANDLE exclusive = Open(file, GENERIC_READ, 0, OPEN_EXISTING);
  ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
  EXPECT_EQ(OpenError(file, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(OpenError(file, GENERIC_WRITE, 0, CREATE_ALWAYS), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(HostBytes("shared.txt"), "x");  // the refused CREATE_ALWAYS did not empty it
  // An open for no data access (to read times) is not a conflict, as on Windows.
  EXPECT_EQ(OpenError(file, 0, FILE_SHARE_READ, OPEN_EXISTING), 0u);
  CloseHandle(exclusive);

  HANDLE reader = Open(file, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  EXPECT_EQ(OpenError(file, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), 0u);
  EXPECT_EQ(OpenError(file, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING), ERROR_SHARING_VIOLATION);
  CloseHandle(reader);

  // The second open must share what the first one holds, too.
  HANDLE writer = Open(file, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(OpenError(file, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(OpenError(file, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING), 0u);
  EXPECT_FALSE(DeleteFileW(file));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  CloseHandle(writer);

  HANDLE deletable = Open(file, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING);
  ASSERT_NE(deletable, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(DeleteFileW(file));
  CloseHandle(deletable);
  EXPECT_EQ(OpenError(file, GENERIC_READ, 0, OPEN_EXISTING), ERROR_FILE_NOT_FOUND);
}

TEST_F(HandlesTest, ShareModesHoldAgainstAnotherProcess) {
  const char16_t* file = u"C:\\locked.txt";
  Make(file, "x");
  HANDLE mine = Open(file, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING);
  ASSERT_NE(mine, INVALID_HANDLE_VALUE);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const DWORD error = OpenError(file, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    ::_exit(error == ERROR_SHARING_VIOLATION ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  CloseHandle(mine);
}

TEST_F(HandlesTest, InjectedFaultsFailOpensReadsAndWrites) {
  Make(u"C:\\target.ini", "0123456789");
  SetFileFault({FileFaultKind::kOpen, u"TARGET.INI"});
  EXPECT_EQ(OpenError(u"C:\\other.ini", GENERIC_WRITE, 0, CREATE_ALWAYS), 0u);  // another path is untouched
  EXPECT_EQ(OpenError(u"C:\\target.ini", GENERIC_READ, 0, OPEN_EXISTING), ERROR_ACCESS_DENIED);
  EXPECT_EQ(OpenError(u"C:\\target.ini", GENERIC_READ, 0, OPEN_EXISTING), 0u);  // only the next open

  // A write that crosses the limit writes the bytes before it and nothing after.
  SetFileFault({FileFaultKind::kWrite, u"target.ini", 6});
  HANDLE h = Open(u"C:\\target.ini", GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  Write(h, "abcd");
  DWORD written = 99;
  EXPECT_FALSE(WriteFile(h, "efgh", 4, &written, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
  EXPECT_EQ(written, 2u);
  EXPECT_FALSE(WriteFile(h, "ijk", 3, &written, nullptr));
  EXPECT_EQ(written, 0u);
  CloseHandle(h);
  EXPECT_EQ(HostBytes("target.ini"), "abcdef");

  ClearFileFaults();
  SetFileFault({FileFaultKind::kRead, u"", 3, kCrcError});
  h = Open(u"C:\\target.ini", GENERIC_READ, 0, OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  char buffer[8];
  DWORD read = 0;
  EXPECT_FALSE(ReadFile(h, buffer, 5, &read, nullptr));
  EXPECT_EQ(GetLastError(), kCrcError);
  EXPECT_EQ(read, 3u);
  CloseHandle(h);
}

TEST_F(HandlesTest, TimesRoundTripAndDeleteOnCloseRemovesTheFile) {
  HANDLE h = Open(u"C:\\t.txt", GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_FLAG_WRITE_THROUGH);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  Write(h, "durable");
  const FILETIME when{0x12345600, 0x01D00000};
  ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &when));
  FILETIME written{}, created{};
  ASSERT_TRUE(GetFileTime(h, &created, nullptr, &written));
  EXPECT_EQ(written.dwLowDateTime, when.dwLowDateTime);
  EXPECT_EQ(written.dwHighDateTime, when.dwHighDateTime);
  EXPECT_NE(created.dwHighDateTime, 0u);
  CloseHandle(h);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ASSERT_TRUE(GetFileAttributesExW(u"C:\\t.txt", GetFileExInfoStandard, &data));
  EXPECT_EQ(data.ftLastWriteTime.dwLowDateTime, when.dwLowDateTime);
  EXPECT_EQ(data.nFileSizeLow, 7u);

  h = Open(u"C:\\gone.tmp", GENERIC_WRITE, FILE_SHARE_DELETE, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetFileAttributesW(u"C:\\gone.tmp"), FILE_ATTRIBUTE_ARCHIVE);
  CloseHandle(h);
  EXPECT_EQ(GetFileAttributesW(u"C:\\gone.tmp"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

}  // namespace
}  // namespace velm::platform
