// The store's decoded copy in each process never hides what another process wrote: the writer
// here is a child process (fork), which rewrites the store twice in quick succession with values
// of the same size, the case a stat alone could mistake for no change.
#include "spool_fixture.h"
#include "support/another_process.h"

namespace velm::platform {
namespace {

namespace fs = std::filesystem;
using test::InAnotherProcess;

DWORD ReadByte(HANDLE h, const char16_t* name) {
  BYTE value = 0;
  DWORD type = 0, needed = 0;
  const DWORD error = GetPrinterDataW(h, const_cast<LPWSTR>(name), &type, &value, 1, &needed);
  return error == ERROR_SUCCESS ? value : 0x100 + error;
}

// Twenty rounds of a child rewriting a value (twice, to the same size) and the printer's comment,
// each checked by this process at once.
void ExpectEveryChangeOfAnotherProcessSeen(HANDLE h) {
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

TEST_F(SpoolTest, WhatAnotherProcessWritesIsSeenAtOnce) { ExpectEveryChangeOfAnotherProcessSeen(Open(u"Office")); }

// A store whose change counter cannot be made (its name taken by a folder): every read checks
// the files' stamps instead, and still sees every change.
class SpoolWithoutCounterTest : public SpoolTest {
 protected:
  void SetUp() override {
    fs::create_directories(MachineStore("spool") / ".changes");
    SpoolTest::SetUp();
  }
};

TEST_F(SpoolWithoutCounterTest, WhatAnotherProcessWritesIsSeenAtOnce) {
  ExpectEveryChangeOfAnotherProcessSeen(Open(u"Office"));
}

// The counter as the store file holds it (eight bytes, little-endian).
uint64_t ChangeCount() {
  const std::string bytes = test::ReadHostFile(MachineStore("spool") / ".changes");
  uint64_t count = 0;
  for (size_t i = 0; i < 8 && i < bytes.size(); ++i) count |= uint64_t{static_cast<uint8_t>(bytes[i])} << (8 * i);
  return bytes.size() == 8 ? count : 0;
}

// Every kind of store change, each made by another process while this one holds a checked copy of
// everything it then looks at: each raises the counter and is seen here at once.
TEST_F(SpoolTest, EveryStoreChangeOfAnotherProcessRaisesTheCounterAndIsSeen) {
  HANDLE h = Open(u"Office");
  const BYTE seven = 7;
  ASSERT_EQ(SetPrinterDataW(h, const_cast<LPWSTR>(u"x"), kRegBinary, const_cast<BYTE*>(&seven), 1), ERROR_SUCCESS);
  const uint32_t office = FindSpoolPrinter(u"Office")->id;
  const auto inChild = [](auto step) { return InAnotherProcess([&] { return step() == ERROR_SUCCESS; }); };
  uint64_t count = ChangeCount();
  const auto raised = [&] {
    const uint64_t now = ChangeCount();
    const bool up = now > count;
    count = now;
    return up;
  };
  EXPECT_GT(count, 0u);

  ASSERT_TRUE(inChild([this] { return AddPrinter(u"Second"); }));
  EXPECT_TRUE(raised());
  EXPECT_TRUE(FindSpoolPrinter(u"Second").has_value());

  EXPECT_EQ(ReadByte(h, u"x"), 7u);
  ASSERT_TRUE(inChild([&] {
    return EditPrinterValues(office, [](std::vector<SpoolValue>& values) {
      values.at(0).data = "\x09";
      return DWORD{ERROR_SUCCESS};
    });
  }));
  EXPECT_TRUE(raised());
  EXPECT_EQ(ReadByte(h, u"x"), 9u);

  ASSERT_TRUE(inChild([] { return DeleteSpoolPrinter(u"Office"); }));
  EXPECT_TRUE(raised());
  EXPECT_FALSE(FindSpoolPrinter(u"Office").has_value());
  std::vector<SpoolValue> values;
  ASSERT_EQ(ReadPrinterValues(office, values), ERROR_SUCCESS);
  EXPECT_TRUE(values.empty());
  EXPECT_EQ(ReadByte(h, u"x"), 0x100u + ERROR_FILE_NOT_FOUND);
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

// The comment, job count and devmode orientation that GetPrinterW level 2 shows.
std::u16string Comment(HANDLE h) {
  DWORD needed = 0;
  GetPrinterW(h, 2, nullptr, 0, &needed);
  auto buffer = AlignedBuffer(needed);
  if (!GetPrinterW(h, 2, reinterpret_cast<BYTE*>(buffer.data()), needed, &needed)) return u"(failed)";
  const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
  const auto digit = [](int n) { return std::u16string(1, static_cast<char16_t>(u'0' + n)); };
  return std::u16string(info->pComment) + u"/" + digit(static_cast<int>(info->cJobs)) + u"/" +
         (info->pDevMode ? digit(info->pDevMode->dmOrientation) : u"-");
}

// GetPrinterW keeps what it laid out while the store is the same: a change of another process
// (same-sized comments, a job) and a change of user (each user's own devmode) are seen at once.
TEST_F(SpoolTest, ThePrinterQueryShowsEveryChangeAndEachUsersDevmode) {
  const std::vector<BYTE> portrait = MakeDevmode(0, 1), landscape = MakeDevmode(0, 2);
  ASSERT_EQ(UpdateSpoolPrinter(u"Office", [&](SpoolPrinter& p) {
              p.comment = u"x0";
              p.devmode.assign(portrait.begin(), portrait.end());
              p.userDevmodes = {{u"other", std::string(landscape.begin(), landscape.end())}};
            }),
            ERROR_SUCCESS);
  HANDLE h = Open(u"Office");
  EXPECT_EQ(Comment(h), u"x0/0/1");
  EXPECT_EQ(Comment(h), u"x0/0/1");
  for (int round = 1; round <= 5; ++round) {
    ASSERT_TRUE(InAnotherProcess([&] {
      return UpdateSpoolPrinter(u"Office", [&](SpoolPrinter& p) {
               p.comment = u"x" + std::u16string(1, static_cast<char16_t>(u'0' + round));
             }) == ERROR_SUCCESS;
    }));
    EXPECT_EQ(Comment(h), u"x" + std::u16string(1, static_cast<char16_t>(u'0' + round)) + u"/0/1") << round;
  }
  ASSERT_TRUE(SetMachineSetting("user", "other"));
  EXPECT_EQ(Comment(h), u"x5/0/2");
  ASSERT_TRUE(SetMachineSetting("user", "user"));
  EXPECT_EQ(Comment(h), u"x5/0/1");
  DOC_INFO_1W doc{const_cast<LPWSTR>(u"doc"), nullptr, nullptr};
  ASSERT_NE(StartDocPrinterW(h, 1, reinterpret_cast<LPBYTE>(&doc)), 0u);
  EXPECT_EQ(Comment(h), u"x5/1/1");
  ASSERT_TRUE(AbortPrinter(h));
}

// A job's bytes gather in the writer's buffer but are in the job's file at the end of each page,
// and a cancelled job refuses the next write even when it would fit in the buffer.
TEST_F(SpoolTest, AJobsBytesReachItsFileByTheEndOfEachPage) {
  HANDLE h = Open(u"Office");
  DOC_INFO_1W doc{const_cast<LPWSTR>(u"doc"), nullptr, nullptr};
  const DWORD id = StartDocPrinterW(h, 1, reinterpret_cast<LPBYTE>(&doc));
  ASSERT_NE(id, 0u);
  std::string expected;
  for (int page = 0; page < 3; ++page) {
    ASSERT_TRUE(StartPagePrinter(h));
    for (int piece = 0; piece < 7 + 20 * page; ++piece) {
      std::string bytes(4093 + page, static_cast<char>('a' + piece % 26));
      DWORD written = 0;
      ASSERT_TRUE(WritePrinter(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written));
      ASSERT_EQ(written, bytes.size());
      expected += bytes;
    }
    ASSERT_TRUE(EndPagePrinter(h));
    EXPECT_EQ(test::ReadHostFile(SpoolJobFile(id)), expected) << page;
  }
  ASSERT_TRUE(InAnotherProcess([&] {
    HANDLE child = nullptr;
    PRINTER_DEFAULTSW all{nullptr, nullptr, PRINTER_ALL_ACCESS};
    return OpenPrinterW(const_cast<LPWSTR>(u"Office"), &child, &all) &&
           SetJobW(child, id, 0, nullptr, JOB_CONTROL_CANCEL) && ClosePrinter(child);
  }));
  char one = 'z';
  DWORD written = 0;
  EXPECT_FALSE(WritePrinter(h, &one, 1, &written));
  EXPECT_EQ(GetLastError(), ERROR_PRINT_CANCELLED);
  EXPECT_TRUE(EndDocPrinter(h));
  EXPECT_FALSE(FindSpoolJob(id).has_value());
}

}  // namespace
}  // namespace velm::platform
