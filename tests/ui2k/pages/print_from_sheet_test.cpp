// Printing from the document sheet: what a user chooses on the basic page and confirms with OK
// reaches the printed job. The test page is printed through the graphics host with the devmode
// the sheet returned, and the job is read back as `velm dump` shows it.
#include <string>

#include "eng/print_host.h"
#include "job_decoder.h"
#include "pages_fixture.h"
#include "spool/spool_store.h"

namespace velm::test {
namespace {

class PrintFromSheetTest : public PagesTest {
 protected:
  // The row of `combo` (rows hold model values) for the stored value `stored` of `item`, or -1.
  static int RowOf(UiContext* ui, ui::Ctl combo, WORD item, DWORD stored) {
    const DWORD model = OptRawToModelValue(ui->driver, OptFindItem(ui->driver->itemTable, item), stored);
    const LRESULT count = SendMessageW(combo.hwnd(), CB_GETCOUNT, 0, 0);
    for (LRESULT n = 0; n < count; ++n)
      if (static_cast<DWORD>(SendMessageW(combo.hwnd(), CB_GETITEMDATA, static_cast<WPARAM>(n), 0)) == model)
        return static_cast<int>(n);
    return -1;
  }

  // The test page printed with `devmode`; the job as `velm dump` prints it.
  std::string PrintTestPage(const DEVMODEW* devmode) {
    platform::PrintJob job;
    const BYTE* record = reinterpret_cast<const BYTE*>(devmode);
    job.devmode.assign(record, record + devmode->dmSize + devmode->dmDriverExtra);
    job.printer = printer_;
    job.documentName = u"Test page";
    const platform::PrintResult printed = platform::RunPrintJob(job);
    EXPECT_TRUE(printed.ok) << printed.message;
    EXPECT_EQ(printed.pages, 1u);
    const std::string stream = ReadHostFile(platform::SpoolJobFile(printed.spoolJob));
    jobdump::Job decoded;
    std::string error;
    const auto* bytes = reinterpret_cast<const uint8_t*>(stream.data());
    EXPECT_TRUE(jobdump::DecodeJob(bytes, stream.size(), {}, &decoded, &error)) << error;
    return jobdump::RenderJob(decoded);
  }
};

TEST_F(PrintFromSheetTest, PaperDuplexAndCopiesSetOnTheBasicPageReachTheJob) {
  std::vector<BYTE> out(4096, 0);
  const ui::HostResult result = Document(
      [&](ui::Sheet& sheet) {
        ui::Page basic = sheet.activate(kPageBasic);
        ui::Ctl paper = basic.ctl(kCtlPaperSizeCombo);
        const int letter = RowOf(ContextOf(basic), paper, kItemPaperSize, DMPAPER_LETTER);
        ASSERT_GE(letter, 0);
        paper.select(letter);
        basic.ctl(kCtlDuplexCheck).check();
        // Typed, then one step up with the spin; leaving the edit commits it.
        basic.ctl(kCtlCopiesEdit).focus().setText(u"").type(u"3");
        basic.ctl(kCtlCopiesEditSpin).scroll(SB_LINEUP);
        paper.focus();
        EXPECT_EQ(basic.ctl(kCtlCopiesEdit).text(), u"4");
        // OK checks the whole sheet: the user accepts what it reports (the trays hold other
        // paper; the tests' own question while collate is off).
        ui::onMessageBox(
            [](const UiMessageBoxCall& box) { return (box.type & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK; });
        sheet.pressOk();
      },
      &out);
  ASSERT_EQ(result.returned, CPSUI_OK);
  const DEVMODEW* devmode = reinterpret_cast<const DEVMODEW*>(out.data());
  EXPECT_EQ(devmode->dmPaperSize, DMPAPER_LETTER);
  EXPECT_EQ(devmode->dmCopies, 4);
  EXPECT_NE(devmode->dmDuplex, DMDUP_SIMPLEX);

  const std::string dump = PrintTestPage(devmode);
  for (const char* line : {"@PJL SET PAPER = LETTER", "@PJL SET DUPLEX = ON", "@PJL SET QTY = 4"})
    EXPECT_NE(dump.find(line), std::string::npos) << line << " missing from\n" << dump;
}

}  // namespace
}  // namespace velm::test
