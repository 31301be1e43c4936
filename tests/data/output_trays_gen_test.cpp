// The generator's check of the output trays against the model description.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "support/temp_root.h"

namespace fs = std::filesystem;
using velm::test::BuildDir;
using velm::test::ReadHostFile;
using velm::test::SourceDir;
using velm::test::WriteHostFile;

namespace {

class OutputTraysGenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("velm-trays-" + std::to_string(std::random_device{}()));
    fs::create_directories(folder_);
    fs::copy(SourceDir() / "data", folder_ / "data", fs::copy_options::recursive);
  }
  void TearDown() override { fs::remove_all(folder_); }

  // The generator's exit status; its messages into err_.
  int Run() {
    const std::string command = "\"" + (BuildDir() / "bin" / "velm_tablegen").string() + "\" --data \"" +
                                (folder_ / "data").string() + "\" --output-trays \"" + (folder_ / "trays.cpp").string() +
                                "\" > /dev/null 2> \"" + (folder_ / "err.txt").string() + "\"";
    const int status = std::system(command.c_str());
    err_ = ReadHostFile(folder_ / "err.txt");
    return status;
  }
  void Append(const std::string& line) {
    const fs::path file = folder_ / "data" / "output_trays.txt";
    WriteHostFile(file, ReadHostFile(file) + line + "\n");
  }

  fs::path folder_;
  std::string err_;
};

TEST_F(OutputTraysGenTest, TheShippedTraysPassAndAreWritten) {
  ASSERT_EQ(Run(), 0) << err_;
  const std::string trays = ReadHostFile(folder_ / "trays.cpp");
  EXPECT_NE(trays.find("{10047, 31, 32}"), std::string::npos);
  EXPECT_NE(trays.find("{-1, 0, 0}"), std::string::npos);
  EXPECT_NE(trays.find("kUiOutputTrayBitCount = 5;"), std::string::npos);
}

TEST_F(OutputTraysGenTest, TraysTheDescriptionDoesNotOfferAndBadRowsAreRefused) {
  Append("bit VDMOUTPUTTRAYID_LOWER 5");  // a value of item 57, but not offered
  Append("bit VDMOUTPUTTRAYID_UPPER 6");  // a second bit for a tray
  Append("bit VDMOUTPUTTRAYID_DEFAULT 9");
  Append("table vdmSourceOptionTypeDuplex VDMOUTPUTTRAYID_UPPER VDMOUTPUTTRAYID_UPPER");  // after the end row
  Append("table dmCopies VDMOUTPUTTRAYID_UPPER VDMOUTPUTTRAYID_UPPER");
  EXPECT_NE(Run(), 0);
  for (const char* fault : {"VDMOUTPUTTRAYID_LOWER is not an output tray the description offers",
                            "VDMOUTPUTTRAYID_UPPER has a bit already", "a bit is 0..7", "a row after the end row",
                            "dmCopies is not an installed-option item"})
    EXPECT_NE(err_.find(fault), std::string::npos) << fault << "\n" << err_;
  EXPECT_FALSE(fs::exists(folder_ / "trays.cpp"));
}

}  // namespace
