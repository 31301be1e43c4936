// A machine root with the driver (and so the bidirectional library stand-ins) installed and
// "Velm Printer" on a queue with bidirectional support, the settings library attached, the
// driver INI naming the model "VELM C5000", and helpers for the fake device's file and call
// log, "qnuser.ini" and the printer's data.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/machine_root.h"
#include "core/path_map.h"
#include "machine_setup.h"
#include "settings/services/bidi_query.h"
#include "settings/services/bidi_saved_info.h"
#include "settings/context/cache.h"
#include "settings/context/driver_context.h"
#include "settings/services/help_language.h"
#include "settings/items/store.h"
#include "settings/services/platform_tests.h"
#include "settings/context/process_state.h"
#include "settings/persistence/paths.h"
#include "support/temp_root.h"

inline DWORD Get(DriverContext* c, WORD id) { return OptGetValue(c, id); }
inline void SetText(DriverContext* c, WORD id, const WCHAR* text) {
  ASSERT_TRUE(OptSetString(c, OptFindItem(c->itemTable, id), text));
}
// An ANSI text item.
inline std::string Text(DriverContext* c, WORD id) {
  const ItemTableRow* row = OptFindItem(c->itemTable, id);
  return reinterpret_cast<const char*>(OptGetItemAddress(c, row));
}

class BidiQueryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(velm::tools::InstallDriver({velm::test::ModuleDir(), {}}, &error)) << error;
    velm::tools::PrinterOptions options;
    options.bidi = true;
    ASSERT_TRUE(velm::tools::AddPrinter(options, &error)) << error;
    velm::test::WriteHostFile(DriverFile("qndrv.ini"), "[Models]\r\nVelm Printer Driver=VELM C5000\r\n");
    SysLibraryAttach(nullptr);
    printer_ = Open();
  }
  void TearDown() override {
    for (DriverContext* c : contexts_) CtxDestroyEx(c, kReleaseDestroy);
    CtxFlushCache(1);
    SysLibraryDetach();
    for (HANDLE h : opened_) ClosePrinter(h);
  }

  HANDLE Open(ACCESS_MASK access = PRINTER_ALL_ACCESS) {
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, access};
    HANDLE h = nullptr;
    EXPECT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"Velm Printer"), &h, &defaults)) << GetLastError();
    opened_.push_back(h);
    return h;
  }
  // An ordinary context (kind 0: stored settings loaded on open), never one from the cache.
  DriverContext* Context(HANDLE printer = nullptr) {
    DriverContext* c = CtxCreateEx(printer ? printer : printer_, 0, kKindOrdinary, 0, 0, nullptr);
    EXPECT_NE(c, nullptr);
    if (c) contexts_.push_back(c);
    return c;
  }
  void Close(DriverContext* c) {
    std::erase(contexts_, c);
    CtxDestroyEx(c, kReleaseDestroy);
  }

  std::filesystem::path DriverFile(const std::string& name) {
    return root_.OnDriveC("Windows/System32/spool/drivers/w32x86/3/" + name);
  }
  static void Device(const std::string& text) {
    std::filesystem::create_directories(velm::platform::MachineStore("bidi"));
    velm::test::WriteHostFile(velm::platform::MachineStore("bidi") / "device.txt", text);
  }
  // The calls the library stand-ins logged since the last look.
  static std::string Calls() {
    const auto file = velm::platform::MachineStore("bidi") / "calls.log";
    if (!std::filesystem::exists(file)) return {};
    std::string log = velm::test::ReadHostFile(file);
    std::filesystem::remove(file);
    return log;
  }

  static std::filesystem::path Host(const WCHAR* path) {
    velm::platform::MappedPath mapped;
    DWORD error = 0;
    EXPECT_TRUE(velm::platform::MapPath(path ? path : u"", mapped, error));
    std::filesystem::create_directories(mapped.host.parent_path());
    return mapped.host;
  }
  static std::filesystem::path UserIni() {
    WCHAR path[MAX_PATH];
    EXPECT_GT(BidiGetUserIniPath(path), 0u);
    return Host(path);
  }
  static void WriteUserIni(const std::string& text) { velm::test::WriteHostFile(UserIni(), text); }
  static std::string UserIniText() {
    return std::filesystem::exists(UserIni()) ? velm::test::ReadHostFile(UserIni()) : std::string();
  }
  // Sets a switch of the settings INI's language section.
  void Switch(DriverContext* c, const WCHAR* key, const WCHAR* value) {
    Host(PathGetSettingsIni(c));
    ASSERT_TRUE(WritePrivateProfileStringW(CfgLanguageCodeOfItem(c), key, value, PathGetSettingsIni(c)));
  }

  // The printer data value `name` as bytes, or "<absent>".
  std::string Data(const std::u16string& name) {
    BYTE buffer[64];
    DWORD type = 0, needed = 0;
    if (GetPrinterDataW(printer_, const_cast<LPWSTR>(name.c_str()), &type, buffer, sizeof buffer, &needed) != ERROR_SUCCESS)
      return "<absent>";
    return std::string(reinterpret_cast<char*>(buffer), needed);
  }
  void SetData(const std::u16string& name, DWORD value) {
    ASSERT_EQ(SetPrinterDataW(printer_, const_cast<LPWSTR>(name.c_str()), REG_BINARY, reinterpret_cast<BYTE*>(&value), 4),
              ERROR_SUCCESS);
  }

  velm::test::TempMachineRoot root_;
  HANDLE printer_ = nullptr;
  std::vector<HANDLE> opened_;
  std::vector<DriverContext*> contexts_;
};
