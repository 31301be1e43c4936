// `velm query` against an installed printer: the changed lines of a base and of an update, the
// acceptable values, and clear refusals of bad input.
#include <gtest/gtest.h>

#include "machine_setup.h"
#include "query_command.h"
#include "support/temp_root.h"

namespace velm::test {
namespace {

class QueryCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(tools::InstallDriver({ModuleDir(), {}}, &error)) << error;
    ASSERT_TRUE(tools::AddPrinter({}, &error)) << error;
  }
  TempMachineRoot root_;
};

constexpr char kJob[] =
    "\x1b%-12345X@PJL JOB\n"
    "@PJL SET APLPAGESIZE = A4\n"
    "  @PJL SET APLPAGELAYOUT = PORTRAIT\r\n"
    "@PJL SET PAPER = SAME\n"
    "@PJL SET TRAY = TRAY1\n"
    "@PJL SET STAPLE = OFF\n"
    "@PJL ENTER LANGUAGE = VELM\n";

TEST_F(QueryCommandTest, SetLinesAreTakenFromAJobAndEndedWithCrLf) {
  EXPECT_EQ(tools::ExtractSetLines(kJob),
            "@PJL SET APLPAGESIZE = A4\r\n  @PJL SET APLPAGELAYOUT = PORTRAIT\r\n@PJL SET PAPER = SAME\r\n"
            "@PJL SET TRAY = TRAY1\r\n@PJL SET STAPLE = OFF\r\n");
}

TEST_F(QueryCommandTest, ReportsTheChangedLinesAndTheAcceptableValues) {
  tools::QueryOptions options{"Velm Printer", kJob, "", {"STAPLE", "TRAY"}};
  std::string out, error;
  ASSERT_TRUE(tools::RunQuery(options, &out, &error)) << error;
  EXPECT_EQ(out, "changed: none\nvalues STAPLE: OFF\nvalues TRAY: ALL TRAY1 TRAY2\n");
  options.update = "@PJL SET APLPAGESIZE = A6";
  options.values = {};
  out.clear();
  ASSERT_TRUE(tools::RunQuery(options, &out, &error)) << error;
  EXPECT_EQ(out, "update: @PJL SET APLPAGESIZE = A6\nchanged:\n  @PJL SET TRAY = ALL\n");
}

TEST_F(QueryCommandTest, BadInputIsRefusedWithAReason) {
  std::string out, error;
  EXPECT_FALSE(tools::RunQuery({"Velm Printer", "no set lines here\n", "", {}}, &out, &error));
  EXPECT_NE(error.find("no \"@PJL SET\" lines"), std::string::npos) << error;
  EXPECT_FALSE(tools::RunQuery({"No Such Printer", kJob, "", {}}, &out, &error));
  EXPECT_NE(error.find("cannot be opened"), std::string::npos) << error;
  EXPECT_FALSE(tools::RunQuery({"Velm Printer", "@PJL SET TRAY = ALL\n", "", {}}, &out, &error));
  EXPECT_NE(error.find("lacks"), std::string::npos) << error;
  EXPECT_FALSE(tools::RunQuery({"Velm Printer", std::string(kJob) + "@PJL SET COPIES=2\n", "", {}}, &out, &error));
  EXPECT_NE(error.find("malformed"), std::string::npos) << error;
  EXPECT_FALSE(tools::RunQuery({"Velm Printer", kJob, "@PJL SET DUPLEX=ON", {}}, &out, &error));
  EXPECT_NE(error.find("update"), std::string::npos) << error;
}

}  // namespace
}  // namespace velm::test
