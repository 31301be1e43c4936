// Jobs as applications print them: the print host runs velmgr.dll with a public DEVMODEW that
// carries only the fields and bits the application set. The job's PJL and its page record must
// carry the paper, media, tray and collation asked for.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver_fixture.h"
#include "support/application_devmode.h"

namespace velm::test {
namespace {

constexpr size_t kOffPaperSize = kAppOffPaperSize, kOffPaperLength = kAppOffPaperLength,
                 kOffPaperWidth = kAppOffPaperWidth, kOffCopies = kAppOffCopies, kOffSource = kAppOffSource,
                 kOffCollate = kAppOffCollate, kOffMediaType = kAppOffMediaType;

// An application's devmode at 600 dpi.
AppDevmode At600(DWORD fields) {
  return AppDevmode(fields | DM_PRINTQUALITY).S16(kAppOffPrintQuality, 600);
}

class ApplicationJobTest : public DriverTest {
 protected:
  jobdump::Job Print(const AppDevmode& app) {
    CtxFlushCache(1);
    platform::PrintJob job;
    job.printer = printer_;
    job.devmode = app.bytes;
    job.pages = "rect 100 100 400 300 brush=black\n";
    job.documentName = u"Report";
    const platform::PrintResult result = platform::RunPrintJob(job);
    EXPECT_TRUE(result.ok) << result.message;
    return JobOf(result);
  }
  static std::string JobStart(const jobdump::Job& job) { return job.packets.size() > 0 ? job.packets[0].text : ""; }
  static std::string PageStart(const jobdump::Job& job) { return job.packets.size() > 2 ? job.packets[2].text : ""; }
  static bool Has(const std::string& text, const std::string& line) { return text.find(line) != std::string::npos; }
};

TEST_F(ApplicationJobTest, ACustomSizePrintsAtTheApplicationsSize) {
  // 200 x 150 mm: 4724 x 3543 dots at 600 dpi before the margins.
  const jobdump::Job job = Print(At600(DM_PAPERSIZE | DM_PAPERLENGTH | DM_PAPERWIDTH)
                                     .S16(kOffPaperSize, DMPAPER_USER).S16(kOffPaperLength, 2000)
                                     .S16(kOffPaperWidth, 1500));
  EXPECT_TRUE(Has(PageStart(job), "@PJL SET PAPER = CUSTOM \r\n")) << PageStart(job);
  ASSERT_FALSE(job.records.empty());
  const jobdump::Record& page = job.records.front();
  EXPECT_NEAR(page.Get("width"), 3543 - 2 * 99, 60);
  EXPECT_NEAR(page.Get("height"), 4724 - 2 * 99, 60);
}

TEST_F(ApplicationJobTest, TheMediaTypeAskedForIsTheJobs) {
  const jobdump::Job job = Print(At600(DM_MEDIATYPE).U32(kOffMediaType, DMMEDIA_GLOSSY));
  EXPECT_TRUE(Has(PageStart(job), "@PJL SET MEDIATYPE = GLOSSY \r\n")) << PageStart(job);
}

TEST_F(ApplicationJobTest, AFormNamePrintsOnThePaperOfThatName) {
  const jobdump::Job job = Print(At600(DM_FORMNAME).Form(u"Letter"));
  EXPECT_TRUE(Has(PageStart(job), "@PJL SET PAPER = LETTER \r\n")) << PageStart(job);
  ASSERT_FALSE(job.records.empty());
  EXPECT_NEAR(job.records.front().Get("width"), 4902, 10);  // 8.5 inches at 600 dpi less the margins
}

TEST_F(ApplicationJobTest, AStandardBinPrintsFromItsTray) {
  const jobdump::Job job = Print(At600(DM_DEFAULTSOURCE).S16(kOffSource, DMBIN_MIDDLE));
  EXPECT_TRUE(Has(PageStart(job), "@PJL SET MEDIASOURCE = TRAY2 \r\n")) << PageStart(job);
}

TEST_F(ApplicationJobTest, CollatedCopiesAreSortedAndUncollatedOnesAreNot) {
  const jobdump::Job collated =
      Print(At600(DM_COPIES | DM_COLLATE).S16(kOffCopies, 3).S16(kOffCollate, DMCOLLATE_TRUE));
  EXPECT_TRUE(Has(JobStart(collated), "@PJL SET QTY = 3 \r\n")) << JobStart(collated);
  EXPECT_TRUE(Has(JobStart(collated), "@PJL SET COLLATE = SORT \r\n")) << JobStart(collated);
  const jobdump::Job plain = Print(At600(DM_COPIES | DM_COLLATE).S16(kOffCopies, 3).S16(kOffCollate, 0));
  EXPECT_TRUE(Has(JobStart(plain), "@PJL SET COLLATE = OFF \r\n")) << JobStart(plain);
}

}  // namespace
}  // namespace velm::test
