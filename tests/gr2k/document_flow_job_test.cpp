// Jobs through the real path: the print host loads velmgr.dll by name from a fresh root's
// driver folder, the driver loads the output library from there, and the spooler job it writes
// is read back with the job decoder.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "core/files.h"
#include "core/path_map.h"
#include "driver_fixture.h"

namespace velm::test {
namespace {

constexpr char kThreePages[] =
    "rect 100 100 400 300 brush=black\n"
    "page\n"
    "text 200 200 \"two\"\n"
    "page\n"
    "line 10 10 500 500\n";

class DocumentFlowJobTest : public DriverTest {
 protected:
  std::string PrinterText() const {
    char text[32];
    std::snprintf(text, sizeof text, "%#llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(printer_)));
    return text;
  }
  static std::u16string PathVariable() {
    WCHAR buffer[16384];
    const DWORD length = GetEnvironmentVariableW(u"PATH", buffer, 16384);
    return length < 16384 ? std::u16string(buffer, length) : std::u16string();
  }
  static size_t Count(const std::u16string& text, std::u16string_view part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::u16string::npos; at = text.find(part, at + 1)) ++count;
    return count;
  }
};

TEST_F(DocumentFlowJobTest, AThreePageJobHasThePacketsOfItsPagesInOrder) {
  const platform::PrintResult result = PrintThroughHost(kThreePages, {}, u"Quarterly");
  ASSERT_TRUE(result.ok) << result.message;
  EXPECT_EQ(result.pages, 3u);
  EXPECT_EQ(result.leaked.Total(), 0u);
  const jobdump::Job job = JobOf(result);
  EXPECT_EQ(PacketSequence(job), "F3 F3 F4 F0 F5 F1 F4 F0 F5 F1 F4 F0 F5 F1");
  // The job-control templates of the description open the job and end every page.
  EXPECT_TRUE(job.packets[0].text.starts_with("\x1b%-12345X@PJL \r\n")) << job.packets[0].text;
  for (const jobdump::Packet& packet : job.packets) {
    if (packet.type == 0xF1) {
      EXPECT_EQ(packet.text, "@PJL SET PAGEEND = ON \r\n");
    }
  }
  EXPECT_EQ(job.packets[1].text, "@PJL SET JOBNAME = \"Quarterly\"\r\n");
  EXPECT_EQ(job.packets[1].length, 9u + 23);

  // Each page's records run from its page start to its page end; nothing else is drawn yet in
  // vector mode.
  ASSERT_EQ(job.pages, 3u);
  std::vector<std::vector<uint8_t>> pages(4);
  for (const jobdump::Record& record : job.records) pages.at(record.page).push_back(record.opcode);
  for (size_t page = 1; page <= 3; ++page) {
    ASSERT_GE(pages[page].size(), 2u) << page;
    EXPECT_EQ(pages[page].front(), 0x60) << page;
    EXPECT_EQ(pages[page].back(), 0x61) << page;
  }
  const jobdump::Record& start = job.records.front();
  // The model's A4 at 600 dpi, printable inside 99-pixel margins.
  EXPECT_EQ(start.Get("width"), 4763);
  EXPECT_EQ(start.Get("height"), 6818);
  EXPECT_EQ(start.Get("xres"), 600);
  EXPECT_EQ(start.Get("yres"), 600);

  // The output library was loaded once for the document, started with the printer and the
  // spooler's job, told of every page, ended and unloaded.
  const std::string h = " 1\n";
  EXPECT_EQ(OutputLog(), "StartDocEx " + PrinterText() + " " + std::to_string(result.spoolJob) + " -> 1\n" +
                             "StartPage" + h + "EndPage" + h + "StartPage" + h + "EndPage" + h + "StartPage" + h +
                             "EndPage" + h + "EndDoc" + h + "Close" + h);
  EXPECT_EQ(GetModuleHandleW(u"qnoutlib.dll"), nullptr);
}

TEST_F(DocumentFlowJobTest, AnApplicationsSettingsReachThePjlAndThePage) {
  // Three copies of an A3 job printed on both sides at 1200 dpi, as an application's devmode
  // asks: its public fields become the settings the templates and the page records read.
  const platform::PrintResult result = PrintThroughHost(
      "rect 100 100 400 300 brush=black\n", {{"dmCopies", "3"}, {"dmPaperSize", "8"}, {"dmDuplex", "2"},
                                              {"dmPrintQuality", "1200"}, {"dmYResolution", "1200"}});
  ASSERT_TRUE(result.ok) << result.message;
  const jobdump::Job job = JobOf(result);
  EXPECT_EQ(PacketSequence(job), "F3 F3 F4 F0 F5 F1");
  const std::string& start = job.packets[0].text;
  EXPECT_NE(start.find("@PJL SET QTY = 3 \r\n"), std::string::npos) << start;
  EXPECT_NE(start.find("@PJL SET RESOLUTION = 1200 \r\n"), std::string::npos) << start;
  EXPECT_NE(start.find("@PJL SET DUPLEX = ON \r\n"), std::string::npos) << start;
  EXPECT_EQ(start.find("@PJL SET DUPLEX = OFF"), std::string::npos) << start;
  const std::string& page = job.packets[2].text;
  EXPECT_NE(page.find("A3"), std::string::npos) << page;
  const jobdump::Record& first = job.records.front();
  EXPECT_EQ(first.Get("xres"), 1200);
  EXPECT_EQ(first.Get("yres"), 1200);
  // A3 (297 x 420 mm) at 1200 dpi is about 14031 x 19843 dots before its margins.
  EXPECT_GT(first.Get("width"), 13000);
  EXPECT_GT(first.Get("height"), 19000);
}

TEST_F(DocumentFlowJobTest, AJobNameCannotBreakItsLine) {
  const platform::PrintResult result = PrintThroughHost("", {}, u"Say \"hi\"\r\nnow");
  ASSERT_TRUE(result.ok) << result.message;
  const jobdump::Job job = JobOf(result);
  ASSERT_GE(job.packets.size(), 2u);
  EXPECT_EQ(job.packets[1].text, "@PJL SET JOBNAME = \"Say  hi   now\"\r\n");
  // A job without a name has no JOBNAME packet.
  const platform::PrintResult unnamed = PrintThroughHost("", {}, u"");
  ASSERT_TRUE(unnamed.ok) << unnamed.message;
  EXPECT_EQ(PacketSequence(JobOf(unnamed)), "F3 F4 F0 F5 F1");
}

TEST_F(DocumentFlowJobTest, ARasterPageOfTwoBandHeightsIsSentInTwoBands) {
  // 4960 pixels across: 512-line bands; the page is exactly two of them. No public field is
  // marked, so the driver derives no page from them and keeps the items as given.
  const platform::PrintResult result =
      PrintThroughHost("fill 0 600 4960 610 black\n", {{"6", "0"}, {"47", "4960"}, {"46", "1024"}, {"183", "1"}});
  ASSERT_TRUE(result.ok) << result.message;
  EXPECT_EQ(std::count_if(result.calls.begin(), result.calls.end(),
                          [](const std::string& call) { return call.starts_with("DrvNextBand"); }),
            2);
  const jobdump::Job job = JobOf(result);
  const auto images = RecordsOf(job, 0x20);
  ASSERT_EQ(images.size(), 2u);
  for (size_t i = 0; i < images.size(); ++i) {
    EXPECT_EQ(images[i]->Get("top"), static_cast<int64_t>(512 * i));
    EXPECT_EQ(images[i]->Get("rows"), 512);
    EXPECT_EQ(images[i]->Get("width"), 4960);
    EXPECT_EQ(images[i]->Get("raster"), 1);
  }
  // The black bar lies in the second band, 88 lines down; the rest is white.
  const std::vector<uint8_t>& rows = images[1]->data;
  const size_t stride = rows.size() / 512;
  EXPECT_EQ(rows[88 * stride], 0x00);
  EXPECT_EQ(rows[87 * stride], 0xFF);
  EXPECT_EQ(images[0]->data[88 * stride], 0xFF);
}

TEST_F(DocumentFlowJobTest, WithoutStartDocExTheOutputLibraryStartsTheSameDocument) {
  std::filesystem::copy_file(ModuleDir() / "test_outlib_without_start_doc_ex.so",
                             root_.OnDriveC("Windows/System32/spool/drivers/w32x86/3/qnoutlib.dll"),
                             std::filesystem::copy_options::overwrite_existing);
  const platform::PrintResult result = PrintThroughHost("", {});
  ASSERT_TRUE(result.ok) << result.message;
  const std::string log = OutputLog();
  EXPECT_TRUE(log.starts_with("StartDoc " + PrinterText() + " " + std::to_string(result.spoolJob) + " -> 1\n"))
      << log;
}

TEST_F(DocumentFlowJobTest, TheDriverFolderJoinsPathOnce) {
  const std::u16string folder = u"C:\\Windows\\System32\\spool\\drivers\\w32x86\\3";
  // Longer than the first buffer the driver reads it into.
  const std::u16string longPath = u"C:\\Tools;" + std::u16string(5000, u'x');
  ASSERT_TRUE(SetEnvironmentVariableW(u"PATH", longPath.c_str()));
  ASSERT_TRUE(PrintThroughHost("", {}).ok);
  EXPECT_EQ(PathVariable(), longPath + u";" + folder);
  ASSERT_TRUE(PrintThroughHost("", {}).ok);
  EXPECT_EQ(Count(PathVariable(), folder), 1u);
  ASSERT_TRUE(SetEnvironmentVariableW(u"PATH", nullptr));
}

TEST_F(DocumentFlowJobTest, AMissingOutputLibraryFailsTheDocumentStart) {
  std::filesystem::remove(root_.OnDriveC("Windows/System32/spool/drivers/w32x86/3/qnoutlib.dll"));
  const platform::PrintResult result = PrintThroughHost("", {});
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.message, "DrvStartDoc failed");
  EXPECT_EQ(result.error, ERROR_MOD_NOT_FOUND);
  EXPECT_EQ(result.leaked.Total(), 0u);
}

}  // namespace
}  // namespace velm::test
