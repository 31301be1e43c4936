// A machine root with the driver installed and its one printer open, the settings library
// attached to this process: the fixture of the tests that print jobs through the print host.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "machine_setup.h"
#include "settings/context/cache.h"
#include "settings/context/process_state.h"
#include "spool/winspool.h"
#include "support/temp_root.h"

namespace velm::tools {

class PrinterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(InstallDriver({test::ModuleDir(), {}}, &error)) << error;
    ASSERT_TRUE(AddPrinter({}, &error)) << error;
    ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(kDefaultPrinterName.data()), &printer_, nullptr));
    SysLibraryAttach(nullptr);
  }
  void TearDown() override {
    CtxFlushCache(1);
    SysLibraryDetach();
    ClosePrinter(printer_);
  }
  test::TempMachineRoot root_;
  HANDLE printer_ = nullptr;
};

}  // namespace velm::tools
