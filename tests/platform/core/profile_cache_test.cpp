// The profile functions keep a file's parsed text between calls; what another process writes is
// seen at the next read all the same, even a rewrite in place of the same size within the file
// system's timestamp granularity, and a change of the machine's code page decodes the text anew.
#include <gtest/gtest.h>

#include <string>

#include "core/machine_root.h"
#include "core/profile.h"
#include "support/another_process.h"
#include "support/temp_root.h"

namespace velm::platform {
namespace {

constexpr const char16_t* kFile = u"C:\\Data\\cached.ini";

class ProfileCacheTest : public ::testing::Test {
 protected:
  test::TempMachineRoot root_;
  std::filesystem::path host_ = root_.OnDriveC("Data/cached.ini");

  std::u16string Value(const char16_t* key) {
    char16_t buffer[32];
    const DWORD n = GetPrivateProfileStringW(u"s", key, u"-", buffer, 32, kFile);
    return std::u16string(buffer, n);
  }
};

using test::InAnotherProcess;

TEST_F(ProfileCacheTest, RewritesInPlaceByAnotherProcessAreSeenAtOnce) {
  test::WriteHostFile(host_, "[s]\r\nv=a\r\n");
  for (int round = 0; round < 20; ++round) {
    const std::string last = round % 2 ? "a" : "b";
    ASSERT_EQ(Value(u"v"), round % 2 ? u"b" : u"a") << round;  // read, and kept, here
    ASSERT_TRUE(InAnotherProcess([&] {
      test::WriteHostFile(host_, "[s]\r\nv=c\r\n");  // same size, same inode
      test::WriteHostFile(host_, "[s]\r\nv=" + last + "\r\n");
      return true;
    }));
    EXPECT_EQ(Value(u"v"), round % 2 ? u"a" : u"b") << round;
  }
}

TEST_F(ProfileCacheTest, WritesOfAnotherProcessThroughTheProfileFunctionsAreSeen) {
  test::WriteHostFile(host_, "[s]\r\nv=1\r\n");
  EXPECT_EQ(Value(u"v"), u"1");
  ASSERT_TRUE(InAnotherProcess([] { return WritePrivateProfileStringW(u"s", u"w", u"2", kFile) != FALSE; }));
  EXPECT_EQ(Value(u"w"), u"2");
  ASSERT_TRUE(InAnotherProcess([] { return WritePrivateProfileStringW(u"s", nullptr, nullptr, kFile) != FALSE; }));
  EXPECT_EQ(Value(u"v"), u"-");
  EXPECT_EQ(Value(u"w"), u"-");
}

TEST_F(ProfileCacheTest, AFileRemovedByAnotherProcessGivesTheDefault) {
  test::WriteHostFile(host_, "[s]\r\nv=1\r\n");
  EXPECT_EQ(Value(u"v"), u"1");
  ASSERT_TRUE(InAnotherProcess([&] { return std::filesystem::remove(host_); }));
  EXPECT_EQ(Value(u"v"), u"-");
}

TEST_F(ProfileCacheTest, AChangedCodePageDecodesTheTextAnew) {
  test::WriteHostFile(host_, "[s]\r\nv=\x93\xfa\r\n");  // 日 in 932, two characters in 1252
  EXPECT_EQ(Value(u"v"), u"\u201C\u00FA");
  ASSERT_TRUE(SetMachineSetting("codepage", "932"));
  EXPECT_EQ(Value(u"v"), u"日");
}

}  // namespace
}  // namespace velm::platform
