// The output library failing: at the start of the job, in the middle of a page and at its end,
// by refusing a write or by taking fewer bytes than offered. Each failure is the hook's FALSE,
// the abort flag, a page start that fails from then on, and nothing left behind.
#include <gtest/gtest.h>

#include <string>

#include "driver_fixture.h"
#include "gr2k/pjl_templates.h"

namespace velm::test {
namespace {

constexpr char kThreePages[] = "rect 1 1 2 2 brush=black\npage\nrect 1 1 2 2 brush=black\npage\n";

class DocumentFlowFaultsTest : public DriverTest {
 protected:
  // The packets of the clean three-page job this fixture prints.
  jobdump::Job CleanJob() {
    const platform::PrintResult result = PrintThroughHost(kThreePages, {});
    EXPECT_TRUE(result.ok) << result.message;
    return JobOf(result);
  }
  static size_t Offset(const jobdump::Job& job, uint8_t type, size_t page) {
    for (const jobdump::Packet& packet : job.packets)
      if (packet.type == type && packet.page == page) return packet.offset;
    ADD_FAILURE() << "no packet";
    return 0;
  }
  static bool Logged(const platform::PrintResult& result, const std::string& line) {
    return std::find(result.calls.begin(), result.calls.end(), line) != result.calls.end();
  }
  // A job the output library gave up on: the hook named failed, the job was ended as aborted,
  // and neither engine objects nor the library stay behind (allocations: the fixture's check).
  void ExpectAborted(const platform::PrintResult& result, const std::string& failedHook, size_t pages,
                     const std::string& output = "1") {
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.message, failedHook + " failed");
    EXPECT_TRUE(Logged(result, failedHook + " -> FALSE"));
    EXPECT_TRUE(Logged(result, "DrvEndDoc ED_ABORTDOC -> TRUE"));
    EXPECT_EQ(result.pages, pages);
    EXPECT_EQ(result.leaked.Total(), 0u);
    EXPECT_EQ(GetModuleHandleW(u"qnoutlib.dll"), nullptr);
    const std::string log = OutputLog();
    EXPECT_TRUE(log.ends_with("EndDoc " + output + "\nClose " + output + "\n")) << log;
  }
  void Limit(size_t bytes, const char* fault = "fail") {
    platform::SetMachineSetting("qnoutlib_write_limit", std::to_string(bytes));
    platform::SetMachineSetting("qnoutlib_write_fault", fault);
    WriteHostFile(root_.OnDriveC("outlib.log"), "");
  }
};

TEST_F(DocumentFlowFaultsTest, TheFirstWriteFailingFailsTheFirstPage) {
  Limit(0);
  ExpectAborted(PrintThroughHost(kThreePages, {}), "DrvStartPage", 0);
}

TEST_F(DocumentFlowFaultsTest, ALibraryThatGivesNoOutputFailsTheFirstPage) {
  platform::SetMachineSetting("qnoutlib_start", "refuse");
  // The document still starts (nothing of the start's answer is relied on); its writes fail.
  ExpectAborted(PrintThroughHost(kThreePages, {}), "DrvStartPage", 0, "0");
}

TEST_F(DocumentFlowFaultsTest, AWriteFailingInsideAPageFailsThatPage) {
  const jobdump::Job clean = CleanJob();
  for (const char* fault : {"fail", "short"}) {
    Limit(Offset(clean, 0xF5, 2) + 12, fault);
    ExpectAborted(PrintThroughHost(kThreePages, {}), "DrvSendPage", 2);
  }
}

TEST_F(DocumentFlowFaultsTest, TheLastWriteFailingFailsTheLastPage) {
  const jobdump::Job clean = CleanJob();
  const jobdump::Packet& last = clean.packets.back();
  ASSERT_EQ(last.type, 0xF1);
  Limit(last.offset + 8 + last.length - 1);
  ExpectAborted(PrintThroughHost(kThreePages, {}), "DrvSendPage", 3);
}

// The same failures seen from inside: the abort flag, and the next page start refused.
class DocumentFlowAbortTest : public DriverTest {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    spoolJob_ = OpenSpoolJob();
    pdev_ = Enable();
    ASSERT_NE(pdev_, nullptr);
    surface_ = Surface(pdev_);
  }
  void TearDown() override {
    if (pdev_) {
      EXPECT_TRUE(DrvEndDoc(&surface_, ED_ABORTDOC));
      DrvDisablePDEV(reinterpret_cast<DHPDEV>(pdev_));
    }
    AbortPrinter(printer_);
    DriverTest::TearDown();
  }
  void Start(size_t limit, const char* fault) {
    platform::SetMachineSetting("qnoutlib_write_limit", std::to_string(limit));
    platform::SetMachineSetting("qnoutlib_write_fault", fault);
    ASSERT_TRUE(DrvStartDoc(&surface_, const_cast<LPWSTR>(u"Report"), spoolJob_));
  }
  void ExpectAbortedFromNowOn() {
    EXPECT_NE(pdev_->flags & kPdevFlagAbort, 0u);
    SetLastError(0);
    EXPECT_FALSE(DrvStartPage(&surface_));
    EXPECT_EQ(GetLastError(), ERROR_CANCELLED);
  }
  // The length of the PJL text a template builder gives for this PDEV.
  size_t Pjl(PjlBuilder builder) const {
    DWORD length = 0;
    EXPECT_GE(builder(pdev_->context, nullptr, 0, &length), 0);
    return length;
  }
  // Page 1 of the job: F3 with the job start, F3 JOBNAME "Report" (8 + 29), F4 with the page
  // start, F0 (8), F5 with the page start and end records (8 + 20), F1 with the page end.
  size_t PageOneBytes() const {
    return 8 + Pjl(PjlBuildJobStart) + 37 + 8 + Pjl(PjlBuildPageStart) + 8 + 28 + 8 + Pjl(PjlBuildPageEnd);
  }

  DWORD spoolJob_ = 0;
  RenderPdev* pdev_ = nullptr;
  SURFOBJ surface_{};
};

TEST_F(DocumentFlowAbortTest, AShortWriteAtTheJobStartAborts) {
  Start(3, "short");
  EXPECT_FALSE(DrvStartPage(&surface_));
  ExpectAbortedFromNowOn();
}

TEST_F(DocumentFlowAbortTest, AShortWriteInsideAPageAbortsAndTheNextPageStartFails) {
  Start(PageOneBytes() + 8 + Pjl(PjlBuildPageStart) + 8 + 5, "short");
  ASSERT_TRUE(DrvStartPage(&surface_));
  ASSERT_TRUE(DrvSendPage(&surface_));
  EXPECT_EQ(pdev_->flags & kPdevFlagAbort, 0u);
  ASSERT_TRUE(DrvStartPage(&surface_));  // F4 and F0 still fit
  EXPECT_FALSE(DrvSendPage(&surface_));  // the records do not
  ExpectAbortedFromNowOn();
  // The page bookkeeping is closed all the same.
  EXPECT_EQ(pdev_->flags & kPdevFlagPageOpen, 0u);
  EXPECT_EQ(pdev_->stream.bytesBuffered, 0u);
}

TEST_F(DocumentFlowAbortTest, AFailedWriteOfThePageEndAborts) {
  Start(PageOneBytes() - 1, "fail");
  ASSERT_TRUE(DrvStartPage(&surface_));
  EXPECT_FALSE(DrvSendPage(&surface_));
  ExpectAbortedFromNowOn();
}

TEST_F(DocumentFlowFaultsTest, AnAllocationFailingAnywhereInAJobLeavesNothingBehind) {
  platform::PrintJob job;
  std::string error;
  ASSERT_TRUE(tools::BuildJobDevmode(printer_, {}, &job.devmode, &error)) << error;
  job.printer = printer_;
  job.pages = kThreePages;
  const uint64_t before = platform::AllocationCount();
  ASSERT_TRUE(platform::RunPrintJob(job).ok);
  const uint64_t allocations = platform::AllocationCount() - before;
  const uint64_t live = platform::LiveAllocationCount();
  size_t failed = 0;
  // Some allocations only cost an answer that is asked again later; the others fail the job.
  for (uint64_t n = 1; n <= allocations; ++n) {
    job.allocationFaultAt = n;
    const platform::PrintResult result = platform::RunPrintJob(job);
    ASSERT_EQ(platform::LiveAllocationCount(), live) << "allocation " << n << ": " << result.message;
    ASSERT_EQ(result.leaked.Total(), 0u) << "allocation " << n;
    ASSERT_EQ(GetModuleHandleW(u"qnoutlib.dll"), nullptr) << "allocation " << n;
    failed += !result.ok;
  }
  EXPECT_GT(failed, 10u);
}

}  // namespace
}  // namespace velm::test
