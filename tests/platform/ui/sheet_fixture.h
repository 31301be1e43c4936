// A machine root with the sheet tests' resource module loaded, a clean window manager, and
// unexpected boxes, dialogs and sheets turned into test failures.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "support/temp_root.h"
#include "ui/commdlg.h"
#include "ui/compstui.h"
#include "ui/controls.h"
#include "ui/prsht.h"
#include "ui/ui_driver.h"
#include "ui/winuser.h"

namespace velm::test {

class SheetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UiResetAll();
    ui::FailOnUnexpected([this](const std::string& text) {
      if (!allowUnexpected_) ADD_FAILURE() << "unexpected: " << text;
    });
    const std::filesystem::path target = root_.OnDriveC("Drivers/SheetRes.dll");
    std::filesystem::create_directories(target.parent_path());
    std::filesystem::copy_file(ModuleDir() / "test_ui_resource_module.so", target,
                               std::filesystem::copy_options::overwrite_existing);
    resources_ = LoadLibraryExW(u"C:\\Drivers\\SheetRes.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(resources_, nullptr) << GetLastError();
  }

  void TearDown() override {
    UiResetAll();
    ui::FailOnUnexpected(nullptr);
    if (resources_) FreeLibrary(resources_);
  }

  // A page of the test module's template `id`, with `lParam` for its procedure.
  HPROPSHEETPAGE MakePage(WORD id, DLGPROC procedure, LPARAM lParam, DWORD flags = 0) {
    PROPSHEETPAGEW page{};
    page.dwSize = sizeof page;
    page.dwFlags = flags;
    page.hInstance = resources_;
    page.pszTemplate = MAKEINTRESOURCEW(id);
    page.pfnDlgProc = procedure;
    page.lParam = lParam;
    return CreatePropertySheetPageW(&page);
  }

  TempMachineRoot root_;
  HMODULE resources_ = nullptr;
  bool allowUnexpected_ = false;
};

}  // namespace velm::test
