#include <filesystem>

#include "spool_fixture.h"

namespace velm::platform {
namespace {

namespace fs = std::filesystem;

std::vector<uint64_t> GetJob(HANDLE h, DWORD id, DWORD level) {
  DWORD needed = 0;
  EXPECT_FALSE(GetJobW(h, id, level, nullptr, 0, &needed));
  auto buffer = AlignedBuffer(needed);
  EXPECT_TRUE(GetJobW(h, id, level, reinterpret_cast<BYTE*>(buffer.data()), needed, &needed));
  return buffer;
}

DWORD StartDoc(HANDLE h, const char16_t* name, const char16_t* output = nullptr) {
  DOC_INFO_1W doc{const_cast<LPWSTR>(name), const_cast<LPWSTR>(output), nullptr};
  return StartDocPrinterW(h, 1, reinterpret_cast<LPBYTE>(&doc));
}

bool Write(HANDLE h, const std::string& bytes) {
  DWORD written = 0;
  return WritePrinter(h, const_cast<char*>(bytes.data()), static_cast<DWORD>(bytes.size()), &written) &&
         written == bytes.size();
}

TEST_F(SpoolTest, AJobKeepsItsBytesWithDocumentUserAndStatus) {
  const std::vector<BYTE> devmode = MakeDevmode(4, 2);
  ASSERT_EQ(UpdateSpoolPrinter(u"Office", [&](SpoolPrinter& p) { p.devmode.assign(devmode.begin(), devmode.end()); }),
            ERROR_SUCCESS);
  HANDLE h = Open(u"Office", PRINTER_ACCESS_USE);
  const DWORD id = StartDoc(h, u"Quarterly report");
  ASSERT_NE(id, 0u);
  auto one = GetJob(h, id, 1);
  EXPECT_EQ(reinterpret_cast<JOB_INFO_1W*>(one.data())->Status, JOB_STATUS_SPOOLING);
  for (int page = 0; page < 2; ++page) {
    ASSERT_TRUE(StartPagePrinter(h));
    ASSERT_TRUE(Write(h, page == 0 ? std::string("\x1b%-12345X@PJL\r\n", 15) : std::string("page two", 8)));
    ASSERT_TRUE(EndPagePrinter(h));
  }
  ASSERT_TRUE(EndDocPrinter(h));

  EXPECT_EQ(test::ReadHostFile(SpoolJobFile(id)), std::string("\x1b%-12345X@PJL\r\npage two", 23));
  auto two = GetJob(h, id, 2);
  const auto* job = reinterpret_cast<JOB_INFO_2W*>(two.data());
  EXPECT_EQ(std::u16string(job->pDocument), u"Quarterly report");
  EXPECT_EQ(std::u16string(job->pUserName), u"user");
  EXPECT_EQ(std::u16string(job->pPrinterName), u"Office");
  EXPECT_EQ(std::u16string(job->pDatatype), u"RAW");
  EXPECT_EQ(job->Status, 0u);
  EXPECT_EQ(job->TotalPages, 2u);
  EXPECT_EQ(job->Size, 23u);
  ASSERT_NE(job->pDevMode, nullptr);
  EXPECT_EQ(job->pDevMode->dmOrientation, 2);
}

TEST_F(SpoolTest, WritingNeedsAStartedDocumentAndOnlyOneAtATime) {
  HANDLE h = Open(u"Office");
  EXPECT_FALSE(Write(h, "x"));
  EXPECT_EQ(GetLastError(), ERROR_SPL_NO_STARTDOC);
  EXPECT_FALSE(EndDocPrinter(h));
  EXPECT_EQ(GetLastError(), ERROR_SPL_NO_STARTDOC);
  ASSERT_NE(StartDoc(h, u"one"), 0u);
  EXPECT_EQ(StartDoc(h, u"two"), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PRINTER_STATE);
  ASSERT_TRUE(AbortPrinter(h));
  SpoolState state;
  ASSERT_EQ(ReadSpoolState(state), ERROR_SUCCESS);
  EXPECT_TRUE(state.jobs.empty());
}

TEST_F(SpoolTest, SetJobControlsTheJobAndCancelStopsItsWriter) {
  HANDLE h = Open(u"Office");
  const DWORD id = StartDoc(h, u"doc");
  ASSERT_TRUE(Write(h, "abc"));
  ASSERT_TRUE(SetJobW(h, id, 0, nullptr, JOB_CONTROL_PAUSE));
  EXPECT_EQ(FindSpoolJob(id)->status, JOB_STATUS_SPOOLING | JOB_STATUS_PAUSED);
  auto one = GetJob(h, id, 1);
  auto* info = reinterpret_cast<JOB_INFO_1W*>(one.data());
  std::u16string renamed = u"renamed";
  info->pDocument = renamed.data();
  info->Priority = 0;
  EXPECT_FALSE(SetJobW(h, id, 1, reinterpret_cast<LPBYTE>(info), 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PRIORITY);
  info->Priority = 50;
  info->Status = 0;  // the spooler's own bits stay
  ASSERT_TRUE(SetJobW(h, id, 1, reinterpret_cast<LPBYTE>(info), 0));
  EXPECT_EQ(FindSpoolJob(id)->document, renamed);
  EXPECT_EQ(FindSpoolJob(id)->status, JOB_STATUS_SPOOLING);

  // Another user without administer rights may not touch the job.
  ASSERT_TRUE(SetMachineSetting("user", "someone"));
  HANDLE stranger = Open(u"Office", PRINTER_ACCESS_USE);
  EXPECT_FALSE(SetJobW(stranger, id, 0, nullptr, JOB_CONTROL_CANCEL));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  ASSERT_TRUE(SetMachineSetting("user", "user"));

  ASSERT_TRUE(SetJobW(h, id, 0, nullptr, JOB_CONTROL_CANCEL));
  EXPECT_FALSE(Write(h, "more"));
  EXPECT_EQ(GetLastError(), ERROR_PRINT_CANCELLED);
  EXPECT_TRUE(EndDocPrinter(h));
  EXPECT_FALSE(FindSpoolJob(id));
  EXPECT_FALSE(fs::exists(SpoolJobFile(id)));
}

TEST_F(SpoolTest, AnOutputFileGetsTheJobAndClosingEndsTheDocument) {
  HANDLE h = nullptr;
  ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"Office"), &h, nullptr));
  const DWORD id = StartDoc(h, u"to file", u"C:\\Windows\\Temp\\out.prn");
  ASSERT_TRUE(Write(h, "job bytes"));
  ASSERT_TRUE(ClosePrinter(h));
  EXPECT_EQ(test::ReadHostFile(root_.OnDriveC("Windows/Temp/out.prn")), "job bytes");
  EXPECT_FALSE(FindSpoolJob(id).has_value());  // printed, and its writer is gone
}

// A printed job leaves the store when the handle that wrote it closes, unless its printer keeps
// printed documents; a job another handle still writes, or one of another printer, stays.
TEST_F(SpoolTest, PrintedJobsGoWhenTheirWriterClosesUnlessThePrinterKeepsThem) {
  ASSERT_EQ(AddPrinter(u"Archive", u"", PRINTER_ATTRIBUTE_KEEPPRINTEDJOBS), ERROR_SUCCESS);
  HANDLE office = nullptr, archive = nullptr, other = nullptr;
  ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"Office"), &office, nullptr) && OpenPrinterW(const_cast<LPWSTR>(u"Archive"), &archive, nullptr) &&
              OpenPrinterW(const_cast<LPWSTR>(u"Office"), &other, nullptr));
  const DWORD printed = StartDoc(office, u"one");
  ASSERT_TRUE(Write(office, "one") && EndDocPrinter(office));
  const DWORD second = StartDoc(office, u"two");
  ASSERT_TRUE(Write(office, "two") && EndDocPrinter(office));
  const DWORD kept = StartDoc(archive, u"kept");
  ASSERT_TRUE(Write(archive, "kept") && EndDocPrinter(archive));
  const DWORD writing = StartDoc(other, u"still writing");
  ASSERT_TRUE(Write(other, "more"));
  EXPECT_TRUE(FindSpoolJob(printed).has_value());  // its writer is still open

  ASSERT_TRUE(ClosePrinter(office));
  ASSERT_TRUE(ClosePrinter(archive));
  for (DWORD gone : {printed, second}) {
    EXPECT_FALSE(FindSpoolJob(gone).has_value()) << gone;
    EXPECT_FALSE(fs::exists(SpoolJobFile(gone))) << gone;
  }
  ASSERT_TRUE(FindSpoolJob(kept).has_value());
  EXPECT_EQ(FindSpoolJob(kept)->status, 0u);
  EXPECT_EQ(test::ReadHostFile(SpoolJobFile(kept)), "kept");
  ASSERT_TRUE(FindSpoolJob(writing).has_value());
  EXPECT_EQ(FindSpoolJob(writing)->status, JOB_STATUS_SPOOLING);
  ASSERT_TRUE(ClosePrinter(other));
  EXPECT_FALSE(FindSpoolJob(writing).has_value());
}

TEST_F(SpoolTest, DeletingAPrinterTakesItsDataAndJobsAlong) {
  HANDLE h = Open(u"Office");
  const BYTE v = 1;
  ASSERT_EQ(SetPrinterDataW(h, const_cast<LPWSTR>(u"x"), kRegBinary, const_cast<LPBYTE>(&v), 1), ERROR_SUCCESS);
  const DWORD id = StartDoc(h, u"doc");
  ASSERT_TRUE(EndDocPrinter(h));
  const uint32_t printerId = FindSpoolPrinter(u"Office")->id;
  ASSERT_EQ(DeleteSpoolPrinter(u"Office"), ERROR_SUCCESS);
  EXPECT_FALSE(fs::exists(SpoolJobFile(id)));
  std::vector<SpoolValue> values;
  ASSERT_EQ(ReadPrinterValues(printerId, values), ERROR_SUCCESS);
  EXPECT_TRUE(values.empty());
  DWORD type = 0, needed = 0;
  EXPECT_EQ(GetPrinterDataW(h, const_cast<LPWSTR>(u"x"), &type, nullptr, 0, &needed), ERROR_FILE_NOT_FOUND);
}

TEST_F(SpoolTest, ADamagedStoreIsRefusedAndNeverHalfRead) {
  const fs::path file = MachineStore("spool") / "spooler";
  const std::string good = test::ReadHostFile(file);
  ASSERT_GT(good.size(), 16u);
  SpoolState state;
  for (const std::string& bad : {good.substr(0, good.size() - 1), std::string("VSPL\1\0\0\0", 8) + good.substr(8, 12) +
                                                                     std::string("\xff\xff\xff\x7f", 4),
                                 good + "x", std::string("garbage")}) {
    test::WriteHostFile(file, bad);
    NoteSpoolStoreChanged();
    EXPECT_EQ(ReadSpoolState(state), ERROR_INVALID_DATA);
    HANDLE h = nullptr;
    EXPECT_FALSE(OpenPrinterW(const_cast<LPWSTR>(u"Office"), &h, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PRINTER_NAME);
    // An edit refuses too, and leaves the damaged file as it was for someone to look at.
    EXPECT_EQ(AddPrinter(u"New"), ERROR_INVALID_DATA);
    EXPECT_EQ(test::ReadHostFile(file), bad);
  }
  test::WriteHostFile(file, good);
  fs::resize_file(file, (64u << 20) + 1);  // beyond the store's bound (sparse, so cheap)
  NoteSpoolStoreChanged();
  EXPECT_EQ(ReadSpoolState(state), ERROR_INVALID_DATA);
}

}  // namespace
}  // namespace velm::platform
