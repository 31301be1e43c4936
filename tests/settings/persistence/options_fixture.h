// A machine root with the driver and "Velm Printer", the settings library attached with its own
// open steps, and helpers to look at the printer's data and settings INI as raw bytes.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/machine_root.h"
#include "core/path_map.h"
#include "machine_setup.h"
#include "settings/context/cache.h"
#include "settings/context/driver_context.h"
#include "settings/items/store.h"
#include "settings/persistence/options.h"
#include "settings/context/process_state.h"
#include "settings/persistence/paths.h"
#include "support/temp_root.h"

class OptionPersistenceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(velm::tools::InstallDriver({velm::test::ModuleDir(), {}}, &error)) << error;
    ASSERT_TRUE(velm::tools::AddPrinter({}, &error)) << error;
    SysLibraryAttach(nullptr);
    printer_ = Open(u"Velm Printer");
  }
  void TearDown() override {
    for (DriverContext* c : contexts_) CtxDestroyEx(c, kReleaseDestroy);
    CtxFlushCache(1);
    SysLibraryDetach();
    for (HANDLE h : opened_) ClosePrinter(h);
  }

  HANDLE Open(const std::u16string& name, ACCESS_MASK access = PRINTER_ALL_ACCESS) {
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, access};
    HANDLE h = nullptr;
    EXPECT_TRUE(OpenPrinterW(const_cast<LPWSTR>(name.c_str()), &h, &defaults)) << GetLastError();
    opened_.push_back(h);
    return h;
  }

  // A context whose open loads nothing (kind 2); tests then set the kind they need.
  DriverContext* Context(HANDLE printer, WORD kind = kKindNoDriverName, DWORD creationFlags = 0) {
    DriverContext* c = CtxCreateEx(printer, 0, kind, creationFlags, 0, nullptr);
    EXPECT_NE(c, nullptr);
    if (c) contexts_.push_back(c);
    return c;
  }
  static ItemTableRow* Row(DriverContext* c, WORD id) {
    ItemTableRow* row = OptFindItem(c->itemTable, id);
    EXPECT_NE(row, nullptr) << id;
    return row;
  }

  struct Value {
    DWORD error = ERROR_FILE_NOT_FOUND;
    DWORD type = 0;
    std::string bytes;
  };
  Value Data(const std::u16string& name, HANDLE printer = nullptr) {
    Value v;
    BYTE buffer[4096];
    DWORD needed = 0;
    v.error = GetPrinterDataW(printer ? printer : printer_, const_cast<LPWSTR>(name.c_str()), &v.type, buffer, sizeof buffer, &needed);
    if (v.error == ERROR_SUCCESS) v.bytes.assign(reinterpret_cast<char*>(buffer), needed);
    return v;
  }
  void SetData(const std::u16string& name, DWORD type, const std::string& bytes) {
    ASSERT_EQ(SetPrinterDataW(printer_, const_cast<LPWSTR>(name.c_str()), type, const_cast<LPBYTE>(reinterpret_cast<const BYTE*>(bytes.data())),
                              static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
  }
  void DeleteData(const std::u16string& name) { DeletePrinterDataW(printer_, const_cast<LPWSTR>(name.c_str())); }

  // The settings INI of `c` on the host, its folder made.
  std::filesystem::path Ini(DriverContext* c) {
    const WCHAR* path = PathGetSettingsIni(c);
    EXPECT_NE(path, nullptr);
    velm::platform::MappedPath mapped;
    DWORD error = 0;
    EXPECT_TRUE(velm::platform::MapPath(path ? path : u"", mapped, error));
    std::filesystem::create_directories(mapped.host.parent_path());
    return mapped.host;
  }
  std::string IniText(DriverContext* c) { return velm::test::ReadHostFile(Ini(c)); }
  void WriteIni(DriverContext* c, const std::string& text) { velm::test::WriteHostFile(Ini(c), text); }

  velm::test::TempMachineRoot root_;
  HANDLE printer_ = nullptr;
  std::vector<HANDLE> opened_;
  std::vector<DriverContext*> contexts_;
};

// Little-endian bytes of a number of `width` bytes.
inline std::string Le(DWORD value, int width) {
  std::string bytes;
  for (int i = 0; i < width; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
  return bytes;
}
