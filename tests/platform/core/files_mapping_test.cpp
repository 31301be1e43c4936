// File mapping and the 16-bit file calls.
#include <cstring>

#include "core/machine_root.h"
#include "files_fixture.h"

namespace velm::platform {
namespace {

using MappingTest = FilesTest;

TEST_F(MappingTest, ViewsSeeTheFileAndTheFileSeesViews) {
  HANDLE file = Open(u"C:\\model.dat", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  Write(file, "*VelmDescription: 1.0\n");
  HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READWRITE, 0, 0, nullptr);
  ASSERT_NE(mapping, nullptr);
  auto* view = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0));
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(std::string(view, 22), "*VelmDescription: 1.0\n");

  // Both ways: a write through the handle shows in the view, a store in the view in the file.
  SetFilePointer(file, 18, nullptr, FILE_BEGIN);
  Write(file, "2");
  EXPECT_EQ(view[18], '2');
  view[20] = '5';
  // The view outlives the handles that made it.
  CloseHandle(mapping);
  CloseHandle(file);
  EXPECT_EQ(view[0], '*');
  EXPECT_TRUE(FlushViewOfFile(view + 20, 1));
  EXPECT_TRUE(UnmapViewOfFile(view));
  EXPECT_EQ(HostBytes("model.dat"), "*VelmDescription: 2.5\n");
  EXPECT_FALSE(UnmapViewOfFile(view));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_ADDRESS);
}

TEST_F(MappingTest, MappingsRefuseWhatTheirFileOrProtectionForbids) {
  Make(u"C:\\empty.dat", "");
  Make(u"C:\\data.dat", std::string(100, 'd'));
  HANDLE empty = Open(u"C:\\empty.dat", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  EXPECT_EQ(CreateFileMappingW(empty, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_INVALID);
  CloseHandle(empty);

  HANDLE reader = Open(u"C:\\data.dat", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  EXPECT_EQ(CreateFileMappingW(reader, nullptr, PAGE_READWRITE, 0, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(CreateFileMappingW(reader, nullptr, PAGE_READONLY, 0, 200, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
  HANDLE mapping = CreateFileMappingW(reader, nullptr, PAGE_READONLY, 0, 0, nullptr);
  ASSERT_NE(mapping, nullptr);
  EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_READ, 0, 4096, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MAPPED_ALIGNMENT);
  EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 101), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(MapViewOfFile(reader, FILE_MAP_READ, 0, 0, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

  // While a view lives the file cannot lose the bytes under it.
  void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(OpenError(u"C:\\data.dat", GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING), ERROR_SHARING_VIOLATION);
  CloseHandle(reader);
  CloseHandle(mapping);
  // Sharing ended with the handles; the view still keeps the bytes from being cut away.
  EXPECT_EQ(OpenError(u"C:\\data.dat", GENERIC_WRITE, 0, OPEN_EXISTING), 0u);
  EXPECT_EQ(OpenError(u"C:\\data.dat", GENERIC_WRITE, 0, CREATE_ALWAYS), ERROR_USER_MAPPED_FILE);
  EXPECT_EQ(static_cast<const char*>(view)[99], 'd');
  ASSERT_TRUE(UnmapViewOfFile(view));
  HANDLE writer = Open(u"C:\\data.dat", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(CreateFileMappingW(writer, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);  // cannot read its file
  CloseHandle(writer);

  HANDLE both = Open(u"C:\\data.dat", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING);
  mapping = CreateFileMappingW(both, nullptr, PAGE_READONLY, 0, 0, nullptr);
  view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
  ASSERT_NE(view, nullptr);
  SetFilePointer(both, 10, nullptr, FILE_BEGIN);
  EXPECT_FALSE(SetEndOfFile(both));
  EXPECT_EQ(GetLastError(), ERROR_USER_MAPPED_FILE);
  EXPECT_FALSE(DeleteFileW(u"C:\\data.dat"));
  ASSERT_TRUE(UnmapViewOfFile(view));
  EXPECT_TRUE(SetEndOfFile(both));
  CloseHandle(mapping);
  CloseHandle(both);
}

TEST_F(MappingTest, NamedMemoryMappingsAreSharedByName) {
  HANDLE first = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, u"Local\\VelmShared");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  HANDLE second = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, u"Local\\VelmShared");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  auto* a = static_cast<char*>(MapViewOfFile(first, FILE_MAP_ALL_ACCESS, 0, 0, 0));
  auto* b = static_cast<char*>(MapViewOfFile(second, FILE_MAP_READ, 0, 0, 0));
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b[100], 0);
  a[100] = 'v';
  EXPECT_EQ(b[100], 'v');
  UnmapViewOfFile(a);
  UnmapViewOfFile(b);
  CloseHandle(first);
  CloseHandle(second);
  // Once every handle is gone the name is free again.
  HANDLE third = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, u"Local\\VelmShared");
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  CloseHandle(third);
}

TEST_F(MappingTest, SixteenBitCallsReadAFieldOfABitmapHeader) {
  // A bitmap file header (14 bytes) followed by the 40-byte info header's size field.
  std::string bitmap = "BM" + std::string(12, '\0');
  const uint32_t infoSize = 40;
  bitmap.append(reinterpret_cast<const char*>(&infoSize), 4);
  bitmap += std::string(36, '\0');
  test::WriteHostFile(root_.OnDriveC("Images/Mark.BMP"), bitmap);

  const HFILE file = _lopen("C:\\images\\mark.bmp", OF_READ);
  ASSERT_NE(file, HFILE_ERROR);
  EXPECT_EQ(_llseek(file, 14, 0), 14);
  uint32_t field = 0;
  EXPECT_EQ(_lread(file, &field, 4), 4u);
  EXPECT_EQ(field, 40u);
  EXPECT_EQ(_llseek(file, 0, 2), 54);
  EXPECT_EQ(_lread(file, &field, 4), 0u);
  EXPECT_EQ(_lwrite(file, "x", 1), static_cast<UINT>(HFILE_ERROR));  // opened for reading only
  EXPECT_EQ(_lclose(file), 0);
  EXPECT_EQ(_lclose(file), HFILE_ERROR);

  EXPECT_EQ(_lopen("C:\\images\\none.bmp", OF_READ), HFILE_ERROR);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(_lopen("C:\\images\\mark.bmp", 3), HFILE_ERROR);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(MappingTest, SixteenBitCallsWriteAndCutAndUseTheAnsiCodePage) {
  const HFILE file = _lcreat("C:\\caf\xE9.txt", 0);  // 0xE9 is e-acute in code page 1252
  ASSERT_NE(file, HFILE_ERROR);
  EXPECT_EQ(_lwrite(file, "abcdef", 6), 6u);
  EXPECT_EQ(_llseek(file, -2, 1), 4);
  EXPECT_EQ(_lwrite(file, "", 0), 0u);  // writing nothing cuts the file here
  EXPECT_EQ(_lclose(file), 0);
  EXPECT_EQ(HostBytes("caf\xC3\xA9.txt"), "abcd");
  EXPECT_NE(GetFileAttributesW(u"C:\\caf\u00e9.txt"), INVALID_FILE_ATTRIBUTES);

  const HFILE exclusive = _lopen("C:\\caf\xE9.txt", OF_READWRITE | OF_SHARE_EXCLUSIVE);
  ASSERT_NE(exclusive, HFILE_ERROR);
  EXPECT_EQ(_lopen("C:\\caf\xE9.txt", OF_READ), HFILE_ERROR);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  _lclose(exclusive);
}

}  // namespace
}  // namespace velm::platform
