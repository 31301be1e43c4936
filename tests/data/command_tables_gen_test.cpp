// velm_tablegen against broken copies of the PJL command table and the device-code tables: each
// kind of bad row is refused with a message that names it, and no tables are written.
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

class CommandTablesGenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    folder_ = fs::temp_directory_path() / ("velm-cmdgen-" + std::to_string(seed()));
    fs::create_directories(folder_);
    fs::copy(velm::test::SourceDir() / "data", folder_ / "data", fs::copy_options::recursive);
  }
  void TearDown() override { fs::remove_all(folder_); }

  // Runs the generator; its status, and what it printed to stdout and stderr.
  int Run(std::string* out, std::string* err) {
    const std::string command = "\"" + (velm::test::BuildDir() / "bin" / "velm_tablegen").string() + "\" --data \"" +
                                (folder_ / "data").string() + "\" --out \"" + (folder_ / "tables.cpp").string() +
                                "\" > \"" + (folder_ / "out.txt").string() + "\" 2> \"" +
                                (folder_ / "err.txt").string() + "\"";
    const int status = std::system(command.c_str());
    *out = ReadHostFile(folder_ / "out.txt");
    *err = ReadHostFile(folder_ / "err.txt");
    return status;
  }

  // Replaces the first occurrence of `from` in a data file (it must be there).
  void Replace(const std::string& file, const std::string& from, const std::string& to) {
    std::string text = ReadHostFile(folder_ / "data" / file);
    const size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
    WriteHostFile(folder_ / "data" / file, text);
  }

  void ExpectRefused(const std::string& message) {
    std::string out, err;
    EXPECT_NE(Run(&out, &err), 0);
    EXPECT_NE(err.find(message), std::string::npos) << "stderr: " << err;
    EXPECT_FALSE(fs::exists(folder_ / "tables.cpp"));
  }

  fs::path folder_;
};

TEST_F(CommandTablesGenTest, TheTablesPassAndAreWritten) {
  std::string out, err;
  ASSERT_EQ(Run(&out, &err), 0) << err;
  EXPECT_NE(out.find("command rows                 48 [48]"), std::string::npos) << out;
  EXPECT_NE(out.find("command value rows          149 [149]"), std::string::npos) << out;
  EXPECT_NE(out.find("option-code rows             14 [14]"), std::string::npos) << out;
  EXPECT_NE(out.find("watermark fields             18 [18]"), std::string::npos) << out;
  const std::string tables = ReadHostFile(folder_ / "tables.cpp");
  EXPECT_NE(tables.find("{129u, 0u, 0x1u, 0x3u, 0x1u, \"COLLATE\", nullptr, &kValueList_V1, nullptr, nullptr},"),
            std::string::npos);
  EXPECT_NE(tables.find("{&kChain_C5[1], 0x0u, 452u, 1u},"), std::string::npos);
  EXPECT_NE(tables.find("{10064u, 204u},\n    {0, 0},"), std::string::npos);
  EXPECT_NE(tables.find("{0x10u, 2u, 0x4u, 116u},"), std::string::npos);
  EXPECT_NE(tables.find("kExcWaterMarkKeyword[2] = {\"WMKORDER\", \"PAPER\"};"), std::string::npos);
}

TEST_F(CommandTablesGenTest, CommandRowsAreChecked) {
  Replace("pjl_commands.txt", "command TRAY              13     dmDefaultSource", "command TRAY 13 dmPaperSize");
  ExpectRefused("item 13 is \"dmDefaultSource\", not \"dmPaperSize\"");
}

TEST_F(CommandTablesGenTest, TwoCommandsForOneItem) {
  Replace("pjl_commands.txt", "command OUTBIN            57 ", "command OUTBIN            13 ");
  ExpectRefused("item 13 has two commands");
}

TEST_F(CommandTablesGenTest, AValueTheItemCannotHold) {
  Replace("pjl_commands.txt", "value V4 ON 1 cond=C9", "value V4 ON 2 cond=C9");
  ExpectRefused("item 61 of command DUPLEX cannot hold 2");
}

TEST_F(CommandTablesGenTest, AValueTwiceInOneList) {
  Replace("pjl_commands.txt", "value V20 COLOR 2", "value V20 COLOR 1");
  ExpectRefused("value 1 twice in list V20");
}

TEST_F(CommandTablesGenTest, UnknownAndUnusedChains) {
  Replace("pjl_commands.txt", "value V4 ON 1 cond=C9", "value V4 ON 1 cond=C99");
  ExpectRefused("unknown chain C99");
  std::string out, err;
  Run(&out, &err);
  EXPECT_NE(err.find("chain C9 is used by nothing"), std::string::npos) << err;
}

TEST_F(CommandTablesGenTest, AChainTermOnAnUnknownItem) {
  Replace("pjl_commands.txt", "chain C6  449=1", "chain C6  963=1");
  ExpectRefused("chain C6: unknown item 963");
}

TEST_F(CommandTablesGenTest, BookletFamiliesMustBeBindingValues) {
  Replace("pjl_commands.txt", "booklet 2 20", "booklet 2 21");
  ExpectRefused("binding code 23 is not a value of the binding command");
}

TEST_F(CommandTablesGenTest, RequiredCommandsMustExist) {
  Replace("pjl_commands.txt", "required 8 7 50 13", "required 8 7 50 16");
  ExpectRefused("required item 16 has no command");
}

TEST_F(CommandTablesGenTest, WaterMarkRowsNameTheirItems) {
  Replace("pjl_commands.txt", "watermark 0     0    string   121  vdmWmFontName",
          "watermark 0     0    string   121  vdmWmFont");
  ExpectRefused("item 121 is \"vdmWmFontName\", not \"vdmWmFont\"");
}

TEST_F(CommandTablesGenTest, AWaterMarkSkipMayNotRunPastTheList) {
  Replace("pjl_commands.txt", "watermark 0     0    numeric  126  vdmWmColorB",
          "watermark 0     1    numeric  126  vdmWmColorB");
  ExpectRefused("skip 1 runs past the last watermark field");
}

TEST_F(CommandTablesGenTest, TheKeywordRowAndItsPairGoTogether) {
  Replace("pjl_commands.txt", "wmkeyword WMKORDER PAPER", "");
  ExpectRefused("a keyword row needs wmkeyword");
}

TEST_F(CommandTablesGenTest, TheKeywordRowNamesNoItem) {
  Replace("pjl_commands.txt", "watermark all   0    keyword  0    -", "watermark all   0    keyword  116  vdmWmPage");
  ExpectRefused("the keyword row names no item");
}

TEST_F(CommandTablesGenTest, WaterMarkKindsAreTextImageOrAll) {
  Replace("pjl_commands.txt", "watermark 1     0    string   870", "watermark 2     0    string   870");
  ExpectRefused("kinds");
}

TEST_F(CommandTablesGenTest, AnOptionCodeTwice) {
  Replace("bidi_device_codes.txt", "option 10064 204", "option 10064 203");
  ExpectRefused("option code 203 twice");
}

TEST_F(CommandTablesGenTest, TrayTablesOutOfStep) {
  Replace("bidi_device_codes.txt", "table traylock 10241 5", "table traylock 10242 5");
  ExpectRefused("item 10242 is not the slot that trayfield gives this tray");
}

TEST_F(CommandTablesGenTest, AResultOfZeroWouldEndTheTable) {
  Replace("bidi_device_codes.txt", "table media 263 4", "table media 0 4");
  ExpectRefused("result 0 is outside 1..65535");
}

TEST_F(CommandTablesGenTest, ASideEffectOfNoOptionRow) {
  Replace("bidi_device_codes.txt", "sideeffect 10023 101", "sideeffect 10023 102");
  ExpectRefused("item 10023 with code 102 is no option row");
}

}  // namespace
