// The store's decoded copy in each process never hides what another process wrote: the writer
// here is a child process (fork), which rewrites the store twice in quick succession with values
// of the same size, the case a stat alone could mistake for no change.
#include "spool_fixture.h"
#include "support/another_process.h"

namespace velm::platform {
namespace {

using test::InAnotherProcess;

DWORD ReadByte(HANDLE h, const char16_t* name) {
  BYTE value = 0;
  DWORD type = 0, needed = 0;
  const DWORD error = GetPrinterDataW(h, const_cast<LPWSTR>(name), &type, &value, 1, &needed);
  return error == ERROR_SUCCESS ? value : 0x100 + error;
}

TEST_F(SpoolTest, WhatAnotherProcessWritesIsSeenAtOnce) {
  HANDLE h = Open(u"Office");
  const BYTE one = 1;
  ASSERT_EQ(SetPrinterDataW(h, const_cast<LPWSTR>(u"level"), kRegBinary, const_cast<BYTE*>(&one), 1), ERROR_SUCCESS);
  for (int round = 0; round < 20; ++round) {
    EXPECT_EQ(ReadByte(h, u"level"), 1u);  // cached here
    ASSERT_TRUE(InAnotherProcess([&] {
      HANDLE child = nullptr;
      PRINTER_DEFAULTSW all{nullptr, nullptr, PRINTER_ALL_ACCESS};
      if (!OpenPrinterW(const_cast<LPWSTR>(u"Office"), &child, &all)) return false;
      const BYTE values[2] = {2, 1};
      bool ok = true;
      for (const BYTE& v : values) ok = ok && SetPrinterDataW(child, const_cast<LPWSTR>(u"level"), kRegBinary,
                                                              const_cast<BYTE*>(&v), 1) == ERROR_SUCCESS;
      ok = ok && SetPrinterDataW(child, const_cast<LPWSTR>(u"level"), kRegBinary, const_cast<BYTE*>(&values[0]),
                                 1) == ERROR_SUCCESS;
      ok = ok && UpdateSpoolPrinter(u"Office", [&](SpoolPrinter& p) { p.comment = u"round " + std::u16string(1, u'a' + round % 2); }) == ERROR_SUCCESS;
      return ok;
    }));
    EXPECT_EQ(ReadByte(h, u"level"), 2u) << round;
    EXPECT_EQ(FindSpoolPrinter(u"Office")->comment, u"round " + std::u16string(1, u'a' + round % 2)) << round;
    ASSERT_EQ(SetPrinterDataW(h, const_cast<LPWSTR>(u"level"), kRegBinary, const_cast<BYTE*>(&one), 1), ERROR_SUCCESS);
  }
}

// A value this process wrote is read back from its own copy, and a printer added by another
// process shows up in the next read of the store.
TEST_F(SpoolTest, TheStoreIsReadAgainOnlyWhenItChanged) {
  SpoolState before;
  ASSERT_EQ(ReadSpoolState(before), ERROR_SUCCESS);
  ASSERT_TRUE(InAnotherProcess([&] { return AddPrinter(u"Second") == ERROR_SUCCESS; }));
  EXPECT_TRUE(FindSpoolPrinter(u"Second").has_value());
  SpoolState after;
  ASSERT_EQ(ReadSpoolState(after), ERROR_SUCCESS);
  EXPECT_EQ(after.printers.size(), before.printers.size() + 1);
  EXPECT_GT(after.generation, before.generation);
}

}  // namespace
}  // namespace velm::platform
