// velm_codepagegen and velm_rescomp --fonts against broken copies of the device code page and
// the device fonts: each fault is refused with a message that names it, and nothing is written.
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "support/temp_root.h"

namespace fs = std::filesystem;
using velm::test::ReadHostFile;
using velm::test::WriteHostFile;

namespace {

class DeviceTextGenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    folder_ = fs::temp_directory_path() / ("velm-devtext-" + std::to_string(seed()));
    fs::create_directories(folder_);
    for (const char* file : {"device_code_page.txt", "device_fonts.txt"})
      fs::copy_file(velm::test::SourceDir() / "data" / file, folder_ / file);
  }
  void TearDown() override { fs::remove_all(folder_); }

  int Run(const std::string& arguments, std::string* err) {
    const std::string command = arguments + " 2> \"" + (folder_ / "err.txt").string() + "\" > /dev/null";
    const int status = std::system(command.c_str());
    *err = ReadHostFile(folder_ / "err.txt");
    return status;
  }
  int RunCodePage(std::string* err) {
    return Run("\"" + (velm::test::BuildDir() / "bin" / "velm_codepagegen").string() + "\" --data \"" +
                   folder_.string() + "\" --out \"" + (folder_ / "out.cpp").string() + "\"",
               err);
  }
  int RunFonts(std::string* err) {
    return Run("\"" + (velm::test::BuildDir() / "bin" / "velm_rescomp").string() + "\" --fonts \"" +
                   (folder_ / "device_fonts.txt").string() + "\" --out \"" + (folder_ / "out.cpp").string() + "\"",
               err);
  }

  void Replace(const std::string& file, const std::string& from, const std::string& to) {
    std::string text = ReadHostFile(folder_ / file);
    const size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
    WriteHostFile(folder_ / file, text);
  }

  void ExpectRefused(int status, const std::string& err, const std::string& message) {
    EXPECT_NE(status, 0);
    EXPECT_NE(err.find(message), std::string::npos) << "stderr: " << err;
    EXPECT_FALSE(fs::exists(folder_ / "out.cpp"));
  }

  fs::path folder_;
};

TEST_F(DeviceTextGenTest, TheDataPassesAndIsWritten) {
  std::string err;
  ASSERT_EQ(RunCodePage(&err), 0) << err;
  const std::string tables = ReadHostFile(folder_ / "out.cpp");
  EXPECT_NE(tables.find("kDeviceRowTable[256] = {\n  0x9F80, 0x0000, 0x0000, 0x0180, 0x0240,"), std::string::npos);
  EXPECT_NE(tables.find("{0x80, 0x20AC}, {0x99, 0x2122},\n};"), std::string::npos);
  fs::remove(folder_ / "out.cpp");
  ASSERT_EQ(RunFonts(&err), 0) << err;
}

TEST_F(DeviceTextGenTest, TheCodePageMustMatchItsDerivation) {
  struct Case {
    const char* from;
    const char* to;
    const char* message;
  } cases[] = {
      {"row 04 02 low", "row 04 02 whole", "row 04 is 0280, code page 932 gives 0240"},
      {"row 04 02 low", "row 04 01 low", "lead byte 01 used twice"},
      {"row 04 02 low\nrow 20 03 low", "row 20 03 low\nrow 04 02 low", "row 04 out of order or twice"},
      {"special 80 20AC\n", "", "31 specials, not 32"},
      {"special 80 20AC", "special 80 0041", "a special below 256 outside 80..9F is never searched"},
      {"marked 81 82 83", "marked 82 83", "byte 81 is a lead byte of code page 932 but not marked"},
  };
  for (const Case& c : cases) {
    TearDown();  // a fresh copy for each case
    SetUp();
    Replace("device_code_page.txt", c.from, c.to);
    std::string err;
    ExpectRefused(RunCodePage(&err), err, c.message);
  }
}

TEST_F(DeviceTextGenTest, TheDeviceFontsAreChecked) {
  struct Case {
    const char* from;
    const char* to;
    const char* message;
  } cases[] = {
      {"face 3 \"@ｺﾞｼｯｸ\" 3", "face 3 \"@ｺﾞｼｯｸ\" 2", "kind 2 uses glyph set 3"},
      {"face 2 \"明朝\"", "face 2 \"ゴシック\"", "face 2 is not the device face of kind 1"},
      {"ifi usWinWeight 400", "ifi usWinWeight 70000", "usWinWeight out of range"},
      {"ifi usWinWeight 400", "ifi usWeight 400", "expected: ifi <IFIMETRICS field> <number>"},
      {"glyphset 3 20-7E", "glyphset 3 80-80 20-7E", "range 80-80 adds no character"},
      {"glyphset 2 20-7E A1-DF 8140-9FFC E040-FCFC\n", "", "glyph set 2 is missing or empty"},
  };
  for (const Case& c : cases) {
    TearDown();  // a fresh copy for each case
    SetUp();
    Replace("device_fonts.txt", c.from, c.to);
    std::string err;
    ExpectRefused(RunFonts(&err), err, c.message);
  }
}

}  // namespace
