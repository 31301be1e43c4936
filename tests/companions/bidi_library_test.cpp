// The bidirectional device-query library stand-in as its callers see it: the table its export
// fills, the device its file describes, the size-then-read protocol of its records, the failures
// and time-outs the file injects, and its call log.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "companions/qnbidint/bidi_interface.h"
#include "core/machine_root.h"
#include "core/memory.h"
#include "core/modules.h"
#include "core/winerror.h"
#include "support/temp_root.h"

namespace velm::bidi {
namespace {

constexpr const char16_t* kDriverFolder = u"C:\\Windows\\System32\\spool\\drivers\\w32x86\\3\\";

class BidiLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto driverDir = root_.OnDriveC("Windows/System32/spool/drivers/w32x86/3");
    for (const char* name : {"qnbidint", "qnbidi9x"})
      std::filesystem::copy_file(test::ModuleDir() / (std::string(name) + ".so"),
                                 driverDir / (std::string(name) + ".dll"));
    Load(u"qnbidint.dll");
  }
  void TearDown() override {
    if (handle_) table_.close(&table_, handle_);
    if (module_) FreeLibrary(module_);
  }

  void Load(const std::u16string& name) {
    if (module_) FreeLibrary(module_);
    module_ = LoadLibraryW((kDriverFolder + name).c_str());
    ASSERT_NE(module_, nullptr) << GetLastError();
    const auto init = reinterpret_cast<BidiInitializeProc>(
        reinterpret_cast<void (*)()>(GetProcAddress(module_, kInitializeExport)));
    ASSERT_NE(init, nullptr);
    ASSERT_TRUE(init(&table_));
  }
  static void Device(const std::string& text) {
    std::filesystem::create_directories(platform::MachineStore("bidi"));
    test::WriteHostFile(platform::MachineStore("bidi") / "device.txt", text);
  }
  static std::string CallLog() {
    const auto file = platform::MachineStore("bidi") / "calls.log";
    return std::filesystem::exists(file) ? test::ReadHostFile(file) : std::string();
  }
  void Open() {
    DWORD status = 0;
    ASSERT_TRUE(table_.open(&table_, u"Velm Printer", &handle_, &status)) << GetLastError();
    ASSERT_EQ(status, 1u);
  }
  BidiResult Ask() {
    BidiResult result = nullptr;
    BYTE work[kQueryWorkBytes] = {};
    EXPECT_TRUE(table_.query(&table_, handle_, &result, kQueryFull, work)) << GetLastError();
    return result;
  }
  // A record through the size query and the read, or "<error N>".
  std::string Record(BidiResult result, DWORD code) {
    DWORD needed = 0;
    const auto error = [] { return "<error " + std::to_string(GetLastError()) + ">"; };
    if (table_.readRecord(result, code, nullptr, 0, &needed) < 0) return error();
    std::string bytes(needed, '\0');
    DWORD copied = 0;
    const LONG read = table_.readRecord(result, code, bytes.data(), needed, &copied);
    if (read < 0) return error();
    bytes.resize(static_cast<size_t>(read));
    return bytes;
  }
  static std::string U32s(std::initializer_list<DWORD> values) {
    std::string bytes;
    for (DWORD v : values) bytes.append(reinterpret_cast<const char*>(&v), 4);
    return bytes;
  }

  test::TempMachineRoot root_;
  HMODULE module_ = nullptr;
  BidiInterface table_{};
  BidiHandle handle_ = nullptr;
};

TEST_F(BidiLibraryTest, TheDeviceFileGivesTheRecordsOfAQuery) {
  Device(
      "# two trays\n"
      "model VELM C5000\n"
      "tray 3 23 1 0x5\n"
      "tray 12 22 3 8\r\n"
      "option 1 101 0xCB\n"
      "memory 67108864\n"
      "memorytype 2\n"
      "system 1.02\n"
      "emulation E 2.1\n");
  Open();
  WCHAR name[kModelNameChars];
  ASSERT_TRUE(table_.modelName(&table_, handle_, name));
  EXPECT_EQ(std::u16string(name), u"VELM C5000");
  const BidiResult result = Ask();
  EXPECT_EQ(Record(result, kRecordTrayIds), U32s({3, 12}));
  EXPECT_EQ(Record(result, kRecordTrayPaper), U32s({23, 22}));
  EXPECT_EQ(Record(result, kRecordTrayMedia), U32s({1, 3}));
  EXPECT_EQ(Record(result, kRecordTrayAttributes), U32s({5, 8}));
  EXPECT_EQ(Record(result, kRecordOptions), U32s({1, 101, 203}));
  EXPECT_EQ(Record(result, kRecordMemory), U32s({67108864}));
  EXPECT_EQ(Record(result, kRecordSystemVersion), std::string("1\0.\0" "0\0" "2\0\0\0", 10));
  EXPECT_EQ(Record(result, 99), "");

  BidiResult versions = nullptr;
  ASSERT_TRUE(table_.queryClass(handle_, &versions, kClassVersions, 1));
  DWORD needed = 0;
  ASSERT_TRUE(table_.readClassRecord(versions, kClassVersions, kClassMemoryType, nullptr, 0, &needed));
  ASSERT_EQ(needed, 4u);
  DWORD type = 0;
  ASSERT_TRUE(table_.readClassRecord(versions, kClassVersions, kClassMemoryType, &type, 4, &needed));
  EXPECT_EQ(type, 2u);
  // A query result is not a class result, and the other way round.
  EXPECT_FALSE(table_.readClassRecord(result, kClassVersions, kClassMemoryType, nullptr, 0, &needed));
  EXPECT_EQ(table_.readRecord(versions, kRecordTrayIds, nullptr, 0, &needed), -1);
}

TEST_F(BidiLibraryTest, ReadsKeepToTheBufferAndResultsEndWithTheDevice) {
  Device("tray 3 23 1 0\ntray 4 23 1 0\nmodel " + std::string(40, 'M') + "\n");
  Open();
  WCHAR name[kModelNameChars];
  ASSERT_TRUE(table_.modelName(&table_, handle_, name));
  EXPECT_EQ(std::u16string(name), std::u16string(32, u'M'));  // cut to the buffer, terminated
  const BidiResult result = Ask();
  BYTE small[4] = {};
  DWORD needed = 0;
  EXPECT_EQ(table_.readRecord(result, kRecordTrayIds, small, sizeof small, &needed), -1);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(needed, 8u);
  ASSERT_TRUE(table_.close(&table_, handle_));
  handle_ = nullptr;
  EXPECT_EQ(table_.readRecord(result, kRecordTrayIds, nullptr, 0, &needed), -1);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(BidiLibraryTest, WithoutADeviceFileNoDeviceAnswers) {
  DWORD status = 9;
  EXPECT_FALSE(table_.open(&table_, u"Velm Printer", &handle_, &status));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
  EXPECT_EQ(handle_, nullptr);
  EXPECT_EQ(status, 0u);
  // A line the file cannot be read by counts as no device.
  Device("tray 3 23\n");
  EXPECT_FALSE(table_.open(&table_, u"Velm Printer", &handle_, &status));
  EXPECT_NE(CallLog().find("cannot read line 1"), std::string::npos);
}

TEST_F(BidiLibraryTest, TheFileInjectsFailuresTimeOutsAndOddAnswers) {
  Device(
      "openstatus 0\n"
      "fail query 102\n"
      "timeout class\n"
      "fail record:2 5\n"
      "record 1 03000000 0400\n"
      "size record:20 100000\n"
      "claim record:21 64\n"
      "tray 3 23 1 0\n");
  DWORD status = 1;
  ASSERT_TRUE(table_.open(&table_, u"Velm Printer", &handle_, &status));
  EXPECT_EQ(status, 0u);
  // Error 102: the query fails and still hands out its result.
  BidiResult result = nullptr;
  BYTE work[kQueryWorkBytes] = {};
  EXPECT_FALSE(table_.query(&table_, handle_, &result, kQueryShort, work));
  EXPECT_EQ(GetLastError(), kErrorAnswerKept);
  ASSERT_NE(result, nullptr);
  BidiResult versions = nullptr;
  EXPECT_FALSE(table_.queryClass(handle_, &versions, kClassVersions, 1));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
  EXPECT_EQ(versions, nullptr);
  EXPECT_EQ(Record(result, kRecordOptions), "<error 5>");
  EXPECT_EQ(Record(result, kRecordTrayIds), std::string("\x03\0\0\0\x04\0", 6));
  DWORD needed = 0;
  EXPECT_EQ(table_.readRecord(result, kRecordTrayPaper, nullptr, 0, &needed), 100000);
  BYTE buffer[8] = {};
  EXPECT_EQ(table_.readRecord(result, kRecordTrayMedia, buffer, sizeof buffer, &needed), 64);
  EXPECT_EQ(needed, 64u);
  EXPECT_EQ(buffer[0], 1);
}

TEST_F(BidiLibraryTest, AClassSizeQueryMayFailWithAccessDeniedAndStillGiveTheSize) {
  Device("memorytype 1\nfail classsize:258 5\n");
  Open();
  BidiResult versions = nullptr;
  ASSERT_TRUE(table_.queryClass(handle_, &versions, kClassVersions, 1));
  DWORD needed = 0;
  EXPECT_FALSE(table_.readClassRecord(versions, kClassVersions, kClassMemoryType, nullptr, 0, &needed));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(needed, 4u);
  DWORD type = 0;
  EXPECT_TRUE(table_.readClassRecord(versions, kClassVersions, kClassMemoryType, &type, 4, &needed));
  EXPECT_EQ(type, 1u);
}

TEST_F(BidiLibraryTest, EveryCallIsLoggedUnderTheLibrarysName) {
  Device("fail init\n");
  const auto init = reinterpret_cast<BidiInitializeProc>(
      reinterpret_cast<void (*)()>(GetProcAddress(module_, kInitializeExport)));
  BidiInterface table{};
  EXPECT_FALSE(init(&table));
  EXPECT_EQ(table.open, nullptr);
  Device("");
  Load(u"qnbidi9x.dll");
  Open();
  Ask();
  EXPECT_EQ(CallLog(),
            "qnbidint init\n"
            "qnbidint init\n"
            "qnbidi9x init\n"
            "qnbidi9x open Velm Printer\n"
            "qnbidi9x query 0x2011c\n");
}

// Each allocation of an open and a query failing in turn: the call fails with
// ERROR_NOT_ENOUGH_MEMORY (never as a device that does not answer) or works.
TEST_F(BidiLibraryTest, EachAllocationFailingIsNotEnoughMemory) {
  Device("model VELM X\ntray 1 9 0 0\nmemory 64\n");
  int failed = 0;
  for (uint64_t n = 1; n <= 120; ++n) {
    BidiHandle handle = nullptr;
    DWORD status = 0;
    platform::SetAllocationFault(n);
    const BOOL opened = table_.open(&table_, u"Velm Printer", &handle, &status);
    const DWORD openError = GetLastError();
    BidiResult result = nullptr;
    BYTE work[kQueryWorkBytes] = {};
    const BOOL asked = opened && table_.query(&table_, handle, &result, kQueryFull, work);
    const DWORD askError = GetLastError();
    platform::SetAllocationFault(0);
    if (!opened) {
      EXPECT_EQ(openError, DWORD{ERROR_NOT_ENOUGH_MEMORY}) << "allocation " << n;
    } else if (!asked) {
      EXPECT_EQ(askError, DWORD{ERROR_NOT_ENOUGH_MEMORY}) << "allocation " << n;
    }
    failed += !opened || !asked;
    if (handle) table_.close(&table_, handle);
  }
  EXPECT_GT(failed, 0);
}

}  // namespace
}  // namespace velm::bidi
