// `velm print`: a job devmode from item assignments, and the command run on a root that
// `velm setup` made.
#include "print_command.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "core/machine_root.h"
#include "core/unicode.h"
#include "job_decoder.h"
#include "printer_fixture.h"
#include "settings/context/cache.h"
#include "settings/context/process_state.h"
#include "settings/items/settings_record.h"
#include "spool/winspool.h"
#include "support/temp_root.h"

namespace velm::tools {
namespace {

class JobDevmodeTest : public PrinterTest {};

TEST_F(JobDevmodeTest, ItemsByNumberOrNameLandInTheDevmode) {
  std::vector<BYTE> devmode;
  std::string error;
  ASSERT_TRUE(BuildJobDevmode(printer_, {{"vdmRasterMode", "1"}, {"47", "0x1234"}, {"12", "3"}, {"350", "Mincho"}},
                              &devmode, &error))
      << error;
  ASSERT_EQ(devmode.size(), kDmSize);
  EXPECT_EQ(DmLoadU16(devmode.data(), kDmOffSize), kDmPublicSize);
  EXPECT_EQ(DmLoadU16(devmode.data(), kDmOffDriverExtra), kDmPrivateSize);
  EXPECT_EQ(DmLoadU32(devmode.data(), kDmOffModelTag), kModelTagPriv);
  EXPECT_EQ(DmLoadU8(devmode.data(), 903) & 0x20, 0x20);  // item 183, bit 5 of byte 903
  EXPECT_EQ(DmLoadU16(devmode.data(), 506), 0x1234);     // item 47
  EXPECT_EQ(DmLoadU16(devmode.data(), 86), 3);           // dmCopies
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(devmode.data()) + 407), "Mincho");
  EXPECT_EQ(devmode[0], 'V');  // dmDeviceName: the printer's name
  // A public field set is marked, as an application marks it, so that the driver takes it.
  EXPECT_EQ(DmLoadU32(devmode.data(), 72) & DM_COPIES, DM_COPIES);
}

TEST_F(JobDevmodeTest, AssignmentsThatCannotReachTheDriverAreRefused) {
  std::vector<BYTE> devmode;
  std::string error;
  EXPECT_FALSE(BuildJobDevmode(printer_, {{"nosuch", "1"}}, &devmode, &error));
  EXPECT_EQ(error, "no item \"nosuch\"");
  EXPECT_FALSE(BuildJobDevmode(printer_, {{"10001", "1"}}, &devmode, &error));
  EXPECT_EQ(error, "item 10001 is not part of the devmode, so a job cannot carry it");
  EXPECT_FALSE(BuildJobDevmode(printer_, {{"183", "on"}}, &devmode, &error));
  EXPECT_EQ(error, "item 183 takes a number, not \"on\"");
  ItemAssignment assignment;
  EXPECT_FALSE(ParseItemAssignment("=1", &assignment));
  EXPECT_FALSE(ParseItemAssignment("183", &assignment));
  EXPECT_TRUE(ParseItemAssignment("183=", &assignment));
  EXPECT_EQ(assignment.item, "183");
}

// A model description cut short, or with bytes changed, is refused with what it lacks, or it
// prints a whole job: a cut one its job-start PJL, language and page PJL in a job that decodes
// with its page; a changed one (whose texts may differ) a job that decodes with its page.
class DamagedDescriptionTest : public JobDevmodeTest {
 protected:
  // Prints the built-in page with `text` as the description: the job, or "" and the reason.
  std::string PrintWith(const std::string& text, std::string* error) {
    test::WriteHostFile(Description(), text);
    SysLibraryDetach();  // each library forgets the description it compiled before
    SysLibraryAttach(nullptr);
    PrintOptions options;
    options.output = root_.path() / "job.bin";
    if (!PrintToJobFile(options, nullptr, error)) return {};
    return test::ReadHostFile(options.output);
  }
  std::filesystem::path Description() const {
    return root_.OnDriveC("Windows/System32/spool/drivers/w32x86/3/" + platform::Utf16ToUtf8(kModelDataFile));
  }
};

TEST_F(DamagedDescriptionTest, EveryCutIsRefusedOrPrintsAWholeJob) {
  const std::string whole = test::ReadHostFile(Description());
  ASSERT_GT(whole.size(), 15470u);
  std::vector<size_t> cuts = {0, 1, 15470, whole.size() - 2, whole.size()};
  for (size_t cut = 997; cut < whole.size(); cut += whole.size() / 29) cuts.push_back(cut);
  size_t refused = 0;
  for (size_t cut : cuts) {
    std::string error;
    const std::string job = PrintWith(whole.substr(0, cut), &error);
    if (job.empty()) {
      ++refused;
      EXPECT_NE(error.find("is refused: it lacks"), std::string::npos) << "cut at " << cut << ": " << error;
      continue;
    }
    for (const char* line : {"\x1b%-12345X@PJL", "@PJL ENTER LANGUAGE = VELM", "@PJL SET PAPER = "})
      EXPECT_NE(job.find(line), std::string::npos) << "cut at " << cut << " lacks " << line;
    jobdump::Job decoded;
    EXPECT_TRUE(jobdump::DecodeJob(reinterpret_cast<const uint8_t*>(job.data()), job.size(), {}, &decoded, &error))
        << "cut at " << cut << ": " << error;
    EXPECT_EQ(decoded.pages, 1u) << "cut at " << cut;
  }
  EXPECT_GE(refused, cuts.size() - 2);  // the whole file prints, and at most a cut in its last line end
}

TEST_F(DamagedDescriptionTest, ChangedBytesAreRefusedOrPrintAJobThatDecodes) {
  const std::string whole = test::ReadHostFile(Description());
  uint32_t seed = 25;
  for (int n = 0; n < 12; ++n) {
    std::string changed = whole;
    for (int i = 0; i < 4; ++i) {
      seed = seed * 1103515245u + 12345u;
      changed[(seed >> 8) % changed.size()] = static_cast<char>(seed >> 24);
    }
    std::string error;
    const std::string job = PrintWith(changed, &error);
    if (job.empty()) {
      EXPECT_FALSE(error.empty()) << n;
      continue;
    }
    jobdump::Job decoded;
    ASSERT_TRUE(jobdump::DecodeJob(reinterpret_cast<const uint8_t*>(job.data()), job.size(), {}, &decoded, &error))
        << n << ": " << error;
    EXPECT_EQ(decoded.pages, 1u) << n;
  }
}

TEST(PrintCommandTest, PrintsPagesOfAFileOnARootOfVelmSetup) {
  test::TempMachineRoot root;
  const std::string velm = (test::BuildDir() / "bin" / "velm").string();
  const std::string log = (root.path() / "out.txt").string();
  const std::string quiet = " > '" + log + "' 2>&1";
  ASSERT_EQ(std::system(("'" + velm + "' setup '" + root.path().string() + "'" + quiet).c_str()), 0)
      << test::ReadHostFile(log);
  const std::filesystem::path pages = root.path() / "pages.txt";
  test::WriteHostFile(pages, "fill 0 0 10 10 black\npage\nfill 0 0 10 10 black\n");
  const std::filesystem::path job = root.path() / "job.bin";
  // A small raster page set by its items: with no public field marked (item 6 is dmFields), the
  // driver derives no page from the public fields.
  const std::string print = "VELM_ROOT='" + root.path().string() + "' '" + velm +
                            "' print --set vdmRasterMode=1 --set 6=0 --set 47=64 --set 46=40 '" +
                            pages.string() + "' -o '" + job.string() + "'";
  ASSERT_EQ(std::system((print + quiet).c_str()), 0) << test::ReadHostFile(log);
  EXPECT_NE(test::ReadHostFile(log).find("printed 2 page(s)"), std::string::npos) << test::ReadHostFile(log);
  const std::string bytes = test::ReadHostFile(job);
  jobdump::Job decoded;
  std::string error;
  ASSERT_TRUE(jobdump::DecodeJob(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), {}, &decoded, &error))
      << error;
  EXPECT_EQ(decoded.pages, 2u);
  size_t images = 0;
  for (const jobdump::Record& record : decoded.records) images += record.opcode == 0x20;
  EXPECT_EQ(images, 2u);

  // A setting the devmode cannot carry stops the command before anything is printed.
  const std::string refused = "VELM_ROOT='" + root.path().string() + "' '" + velm + "' print --set 10001=1 -o '" +
                              (root.path() / "other.bin").string() + "'";
  EXPECT_NE(std::system((refused + quiet).c_str()), 0);
  EXPECT_NE(test::ReadHostFile(log).find("not part of the devmode"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(root.path() / "other.bin"));
}

}  // namespace
}  // namespace velm::tools
