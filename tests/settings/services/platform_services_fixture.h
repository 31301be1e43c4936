// A machine root with the driver installed and "Velm Printer" on it, a driver context over an
// open handle to that printer, and helpers the platform-services tests share.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/machine_root.h"
#include "core/path_map.h"
#include "machine_setup.h"
#include "settings/context/driver_context.h"
#include "settings/services/platform_tests.h"
#include "support/temp_root.h"

class PlatformServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(velm::tools::InstallDriver({velm::test::ModuleDir(), {}}, &error)) << error;
    ASSERT_TRUE(velm::tools::AddPrinter({}, &error)) << error;
    SysResetTerminalServerCache();
    defaults_ = kModelDefaults;
    work_ = std::make_unique<ContextWorkArea>();
    context_.modelDefaults = &defaults_;
    context_.work = work_.get();
    context_.printer = Open(u"Velm Printer");
  }

  void TearDown() override {
    for (HANDLE h : opened_) ClosePrinter(h);
    SysResetTerminalServerCache();
  }

  HANDLE Open(const std::u16string& name) {
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE h = nullptr;
    EXPECT_TRUE(OpenPrinterW(const_cast<LPWSTR>(name.c_str()), &h, &defaults)) << "error " << GetLastError();
    opened_.push_back(h);
    return h;
  }

  // A context of its own over another printer.
  void UsePrinter(const std::u16string& name) {
    *work_ = ContextWorkArea{};
    context_.printer = Open(name);
  }

  // The host file behind a Windows path.
  static std::filesystem::path Host(std::u16string_view windowsPath) {
    velm::platform::MappedPath mapped;
    DWORD error = 0;
    EXPECT_TRUE(velm::platform::MapPath(windowsPath, mapped, error));
    return mapped.host;
  }

  velm::test::TempMachineRoot root_;
  ModelDefaults defaults_;
  std::unique_ptr<ContextWorkArea> work_;
  DriverContext context_{};
  std::vector<HANDLE> opened_;
};

inline const std::u16string kInstalledDriverDirectory(velm::platform::kDriverDirectory);
inline const std::u16string kFallbackDriverDirectory = u"C:\\Windows\\system32\\spool\\drivers\\w32x86\\2\\";
