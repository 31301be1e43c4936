#include "core/path_map.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "core/winerror.h"
#include "support/temp_root.h"

namespace velm::platform {
namespace {

namespace fs = std::filesystem;

class PathMapTest : public ::testing::Test {
 protected:
  test::TempMachineRoot root_;

  MappedPath Map(std::u16string_view path) {
    MappedPath out;
    DWORD error = 0;
    EXPECT_TRUE(MapPath(path, out, error)) << "error " << error;
    return out;
  }
  DWORD Refused(std::u16string_view path) {
    MappedPath out;
    DWORD error = 0;
    EXPECT_FALSE(MapPath(path, out, error));
    return error;
  }
};

TEST_F(PathMapTest, DrivePathsFindExistingComponentsWithoutRegardToCase) {
  test::WriteHostFile(root_.OnDriveC("Windows/System32/QnSet.ini"), "x");
  const MappedPath m = Map(u"c:\\WINDOWS\\system32\\qnset.INI");
  EXPECT_EQ(m.host, root_.OnDriveC("Windows/System32/QnSet.ini"));
  EXPECT_EQ(m.full, u"C:\\WINDOWS\\system32\\qnset.INI");
}

// A folder's listing is kept while the folder's stamp stays; a name made in another case
// afterwards is found, even when the folder's modification time is put back (its change time
// cannot be), and one removed is no longer found.
TEST_F(PathMapTest, NamesMadeOrRemovedAfterALookupAreSeen) {
  const fs::path windows = root_.OnDriveC("Windows");
  fs::create_directories(windows);
  const timespec old[2] = {{1000000000, 0}, {1000000000, 0}};  // long settled
  ASSERT_EQ(::utimensat(AT_FDCWD, windows.c_str(), old, 0), 0);
  EXPECT_EQ(Map(u"C:\\Windows\\settings\\x.ini").host, windows / "settings" / "x.ini");
  EXPECT_EQ(Map(u"C:\\Windows\\settings\\x.ini").host, windows / "settings" / "x.ini");
  fs::create_directories(windows / "Settings");
  ASSERT_EQ(::utimensat(AT_FDCWD, windows.c_str(), old, 0), 0);
  EXPECT_EQ(Map(u"C:\\Windows\\settings\\x.ini").host, windows / "Settings" / "x.ini");
  fs::remove(windows / "Settings");
  ASSERT_EQ(::utimensat(AT_FDCWD, windows.c_str(), old, 0), 0);
  EXPECT_EQ(Map(u"C:\\Windows\\settings\\x.ini").host, windows / "settings" / "x.ini");
}

TEST_F(PathMapTest, MissingComponentsKeepTheirCaseAndSlashesAreSeparators) {
  EXPECT_EQ(Map(u"C:/Windows/NewDir/File.TXT").host, root_.OnDriveC("Windows/NewDir/File.TXT"));
}

TEST_F(PathMapTest, DotDotResolvesAndStopsAtTheDriveRoot) {
  EXPECT_EQ(Map(u"C:\\Windows\\..\\Users\\.\\user").host, root_.OnDriveC("Users/user"));
  EXPECT_EQ(Map(u"C:\\..\\..\\..\\Windows").host, root_.OnDriveC("Windows"));
  EXPECT_EQ(Map(u"C:\\..\\..").full, u"C:\\");
}

TEST_F(PathMapTest, RelativePathsUseTheCurrentDirectory) {
  EXPECT_EQ(Map(u"x.dll").full, u"C:\\Windows\\System32\\x.dll");
  EXPECT_EQ(Map(u"\\Temp\\y").full, u"C:\\Temp\\y");
  EXPECT_EQ(Map(u"D:\\data").host, root_.path() / "d" / "data");
}

TEST_F(PathMapTest, UncPathsLiveUnderUnc) {
  EXPECT_EQ(Map(u"\\\\Server\\Share\\dir\\f").host, root_.path() / "unc" / "Server" / "Share" / "dir" / "f");
  EXPECT_EQ(Map(u"\\\\?\\UNC\\srv\\sh\\f").full, u"\\\\srv\\sh\\f");
}

TEST_F(PathMapTest, TrailingDotsAndBlanksOfAComponentAreDropped) {
  EXPECT_EQ(Map(u"C:\\Windows\\name. .").full, u"C:\\Windows\\name");
}

TEST_F(PathMapTest, BadPathsAreRefusedWithWindowsErrors) {
  EXPECT_EQ(Refused(u""), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(Refused(u"C:\\a<b"), ERROR_INVALID_NAME);
  EXPECT_EQ(Refused(u"C:\\a\\b:stream"), ERROR_INVALID_NAME);
  EXPECT_EQ(Refused(u"C:\\a?"), ERROR_INVALID_NAME);
  EXPECT_EQ(Refused(u"1:\\x"), ERROR_INVALID_NAME);
  EXPECT_EQ(Refused(u"\\\\onlyserver"), ERROR_BAD_PATHNAME);
  EXPECT_EQ(Refused(std::u16string(300, u'a')), ERROR_FILENAME_EXCED_RANGE);
}

TEST_F(PathMapTest, HostPathsMapBackToWindowsPaths) {
  EXPECT_EQ(HostToWindowsPath(root_.OnDriveC("Windows/System32")), u"C:\\Windows\\System32");
  EXPECT_EQ(HostToWindowsPath("/definitely/outside"), u"");
}

}  // namespace
}  // namespace velm::platform
