// A fresh machine root with one driver and a local printer "Office", and the helpers the
// spooler tests share.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/machine_root.h"
#include "core/unicode.h"
#include "core/winerror.h"
#include "spool/spool_store.h"
#include "spool/winspool.h"
#include "support/temp_root.h"

namespace velm::platform {

// Registry value types, as the printer-data callers pass them.
constexpr DWORD kRegSz = 1;
constexpr DWORD kRegBinary = 3;
constexpr DWORD kRegDword = 4;
constexpr DWORD kRegMultiSz = 7;

class SpoolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SpoolDriver driver;
    driver.name = u"Test Driver";
    driver.driverPath = u"C:\\Windows\\System32\\spool\\drivers\\w32x86\\3\\gr.dll";
    driver.dataFile = u"C:\\Windows\\System32\\spool\\drivers\\w32x86\\3\\model.dsc";
    driver.configFile = u"C:\\Windows\\System32\\spool\\drivers\\w32x86\\3\\ui.dll";
    driver.dependentFiles = {u"C:\\x\\a.dll", u"C:\\x\\b.dll"};
    ASSERT_EQ(AddSpoolDriver(driver), ERROR_SUCCESS);
    ASSERT_EQ(AddPrinter(u"Office"), ERROR_SUCCESS);
  }

  DWORD AddPrinter(const std::u16string& name, const std::u16string& server = u"", DWORD attributes = 0,
                   SpoolAdminAccess access = SpoolAdminAccess::kAdministrators) {
    SpoolPrinter p;
    p.name = server.empty() ? name : server + u"\\" + name;
    p.serverName = server;
    p.portName = u"LPT1:";
    p.driverName = u"Test Driver";
    p.attributes = attributes | (server.empty() ? PRINTER_ATTRIBUTE_LOCAL : PRINTER_ATTRIBUTE_NETWORK);
    p.adminAccess = access;
    return AddSpoolPrinter(p);
  }

  // Opens a printer with the rights asked for; null when the open fails.
  HANDLE Open(const std::u16string& name, ACCESS_MASK access = PRINTER_ALL_ACCESS) {
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, access};
    HANDLE h = nullptr;
    if (!OpenPrinterW(const_cast<LPWSTR>(name.c_str()), &h, &defaults)) return nullptr;
    opened_.push_back(h);
    return h;
  }

  void TearDown() override {
    for (HANDLE h : opened_) ClosePrinter(h);
  }

  // A devmode of `extra` private bytes, filled with a pattern.
  static std::vector<BYTE> MakeDevmode(WORD extra, BYTE fill) {
    std::vector<BYTE> bytes(sizeof(DEVMODEW) + extra, fill);
    DEVMODEW dm{};
    dm.dmSize = sizeof(DEVMODEW);
    dm.dmDriverExtra = extra;
    dm.dmSpecVersion = DM_SPECVERSION;
    dm.dmOrientation = fill;
    std::memcpy(bytes.data(), &dm, sizeof dm);
    return bytes;
  }

  test::TempMachineRoot root_;
  std::vector<HANDLE> opened_;
};

// A buffer aligned as the spooler's callers allocate one.
inline std::vector<uint64_t> AlignedBuffer(DWORD bytes) { return std::vector<uint64_t>((bytes + 7) / 8 + 1); }

// Whether `p` points inside [begin, begin + size).
inline bool Inside(const void* p, const void* begin, size_t size) {
  const auto* b = static_cast<const BYTE*>(begin);
  const auto* q = static_cast<const BYTE*>(p);
  return q >= b && q < b + size;
}

}  // namespace velm::platform
