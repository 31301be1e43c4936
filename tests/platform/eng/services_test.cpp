#include <gtest/gtest.h>

#include "core/machine_root.h"
#include "core/winerror.h"
#include "eng_test_support.h"
#include "support/temp_root.h"

namespace velm::test {
namespace {

class EngServicesTest : public EngTest {
 protected:
  void TearDown() override {
    platform::SetPrinterWriteSink(nullptr);
    platform::SetPrinterWriteFault({});
    EngTest::TearDown();
  }
  TempMachineRoot root_;
};

TEST_F(EngServicesTest, PrinterWritesGoToTheSinkUntilTheFaultLimit) {
  char data[] = "abcdef";
  DWORD written = 99;
  EXPECT_FALSE(EngWritePrinter(nullptr, data, 6, &written));  // to the spooler: no such printer
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(written, 0u);

  std::string captured;
  HANDLE seen = nullptr;
  platform::SetPrinterWriteSink([&](HANDLE printer, const BYTE* bytes, DWORD size, DWORD* done) {
    seen = printer;
    captured.append(reinterpret_cast<const char*>(bytes), size);
    *done = size;
    return TRUE;
  });
  const HANDLE printer = reinterpret_cast<HANDLE>(0x42);
  ASSERT_TRUE(EngWritePrinter(printer, data, 6, &written));
  EXPECT_EQ(written, 6u);
  EXPECT_EQ(seen, printer);

  platform::SetPrinterWriteFault({.limit = 10, .shortWrite = true});
  ASSERT_TRUE(EngWritePrinter(printer, data, 6, &written));
  ASSERT_TRUE(EngWritePrinter(printer, data, 6, &written));
  EXPECT_EQ(written, 4u);  // a short write, answered TRUE
  ASSERT_TRUE(EngWritePrinter(printer, data, 6, &written));
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(captured, "abcdefabcdefabcd");

  platform::SetPrinterWriteFault({.limit = 3});
  SetLastError(0);
  EXPECT_FALSE(EngWritePrinter(printer, data, 6, &written));
  EXPECT_EQ(GetLastError(), ERROR_WRITE_FAULT);
  EXPECT_EQ(written, 3u);
  EXPECT_EQ(captured.substr(16), "abc");
}

TEST_F(EngServicesTest, CodePageConversionsNeverSplitACharacter) {
  USHORT oem = 0, ansi = 0;
  EngGetCurrentCodePage(&oem, &ansi);
  EXPECT_EQ(ansi, 1252);
  EXPECT_EQ(oem, 437);
  ASSERT_TRUE(platform::SetMachineSetting("codepage", "932"));
  EngGetCurrentCodePage(&oem, &ansi);
  EXPECT_EQ(ansi, 932);
  WCHAR text[] = u"A\u65E5\u672C";  // A, then two double-byte characters
  char out[8] = {};
  ULONG bytes = 0;
  EngUnicodeToMultiByteN(out, 4, &bytes, text, 6);
  EXPECT_EQ(bytes, 3u);  // the second character does not fit whole
  EXPECT_EQ(out[0], 'A');
  WCHAR back[4] = {};
  EngMultiByteToUnicodeN(back, sizeof back, &bytes, out, 3);
  EXPECT_EQ(bytes, 4u);
  EXPECT_EQ(back[1], u'\u65E5');
}

TEST_F(EngServicesTest, LocalTimeFollowsTheMachineClock) {
  ASSERT_TRUE(platform::SetMachineSetting("clock_local", "2024-02-29 13:45:07.250"));
  ENG_TIME_FIELDS time{};
  EngQueryLocalTime(&time);
  EXPECT_EQ(time.usYear, 2024);
  EXPECT_EQ(time.usMonth, 2);
  EXPECT_EQ(time.usDay, 29);
  EXPECT_EQ(time.usHour, 13);
  EXPECT_EQ(time.usSecond, 7);
  EXPECT_EQ(time.usMilliseconds, 250);
  EXPECT_EQ(time.usWeekday, 4);  // a Thursday
}

TEST_F(EngServicesTest, EngineMemoryComesFromTheCountedAllocator) {
  const uint64_t live = platform::LiveAllocationCount();
  auto* block = static_cast<BYTE*>(EngAllocMem(FL_ZERO_MEMORY, 32, 0x74736574));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block[31], 0);
  EXPECT_EQ(platform::LiveAllocationCount(), live + 1);
  EngFreeMem(block);
  EngFreeMem(nullptr);
  platform::SetAllocationFault(1);
  EXPECT_EQ(EngAllocMem(0, 8, 0), nullptr);
  platform::SetAllocationFault(0);
  EXPECT_EQ(platform::LiveAllocationCount(), live);
}

}  // namespace
}  // namespace velm::test
