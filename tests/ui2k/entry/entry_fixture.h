// A machine root with the driver and its printer, the settings library attached, the interface's
// seams recording (the page framework's seam adds one test page whose apply commits the sheet),
// and a check that every UI context opened was destroyed.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/machine_root.h"
#include "machine_setup.h"
#include "settings/context/cache.h"
#include "settings/context/process_state.h"
#include "settings/devmode/environment.h"
#include "settings/items/store.h"
#include "spool/spool_store.h"
#include "support/temp_root.h"
#include "ui/ui_driver.h"
#include "ui2k/entry/caps_summary.h"
#include "ui2k/entry/install_entries.h"
#include "ui2k/entry/property_sheets.h"
#include "ui2k/entry/seams.h"
#include "ui2k/entry/sheet_commit.h"
#include "ui2k/entry/ui_context.h"

extern "C" {
LONG DrvDocumentPropertySheets(PPROPSHEETUI_INFO info, LPARAM lParam);
LONG DrvDevicePropertySheets(PPROPSHEETUI_INFO info, LPARAM lParam);
LONG DrvDocumentProperties(HWND, HANDLE, LPWSTR, PDEVMODEW, PDEVMODEW, DWORD);
BOOL PrinterProperties(HWND, HANDLE);
BOOL DrvConvertDevMode(LPWSTR, PDEVMODEW, PDEVMODEW, PLONG, DWORD);
BOOL DevQueryPrintEx(PDEVQUERYPRINT_INFO);
BOOL DrvUpgradePrinter(DWORD, LPBYTE);
BOOL DrvPrinterEvent(LPWSTR, INT, DWORD, LPARAM);
}

namespace velm::test {

inline std::u16string g_printerName = u"Velm Printer";

// What the test page does on apply, and what the sheet's seam saw.
struct PageScript {
  bool commitOnApply = true;
  DWORD changed = 0;
  UiContext* ui = nullptr;  // the sheet's context while it runs
  BYTE noPermission = 0xFF;
  DWORD mayChange = 0xFF;
  HMODULE resources = nullptr;
};
inline PageScript g_page;

inline INT_PTR TestPageProc(HWND, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == PSN_APPLY && g_page.ui) {
    g_page.ui->state.changed = g_page.changed;
    if (g_page.commitOnApply) SheetCommit(g_page.ui);
  }
  return FALSE;
}

inline UiSeams TestSeams() {
  UiSeams seams = kUiSeamsRecording;
  seams.sheetAddPages = [](UiContext* ui, WORD kind) -> BOOL {
    UiNoteSeamCall("SheetAddPages " + std::to_string(kind));
    g_page.ui = ui;
    g_page.noPermission = DmGetEnvironmentByte(ui->driver, kEnvNoPermission);
    g_page.mayChange = ui->state.mayChange;
    PROPSHEETPAGEW page{};
    page.dwSize = sizeof page;
    page.hInstance = g_page.resources;
    page.pszTemplate = MAKEINTRESOURCEW(500);
    page.pfnDlgProc = TestPageProc;
    HPROPSHEETPAGE handle = CreatePropertySheetPageW(&page);
    if (!ui->state.pfnComPropSheet(ui->state.hComPropSheet, CPSFUNC_ADD_HPROPSHEETPAGE,
                                   reinterpret_cast<LPARAM>(handle), 0)) {
      DestroyPropertySheetPage(handle);
      return FALSE;
    }
    return TRUE;
  };
  return seams;
}

class EntryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(tools::InstallDriver({ModuleDir(), {}}, &error)) << error;
    ASSERT_TRUE(tools::AddPrinter({}, &error)) << error;
    UiResetAll();
    ui::FailOnUnexpected([](const std::string& text) { ADD_FAILURE() << "unexpected: " << text; });
    const std::filesystem::path target = root_.OnDriveC("Drivers/SheetRes.dll");
    std::filesystem::create_directories(target.parent_path());
    std::filesystem::copy_file(ModuleDir() / "test_ui_resource_module.so", target,
                               std::filesystem::copy_options::overwrite_existing);
    g_page = PageScript{};
    g_page.resources = LoadLibraryExW(u"C:\\Drivers\\SheetRes.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(g_page.resources, nullptr);
    SysLibraryAttach(nullptr);
    seams_ = TestSeams();
    UiSetSeams(&seams_);
    UiClearSeamCalls();
    platform::ClearPrinterIdentityCalls();
    printer_ = Open(PRINTER_ALL_ACCESS);
  }
  void TearDown() override {
    EXPECT_EQ(UiOpenContextCount(), 0) << "a UI context was not destroyed, or destroyed twice";
    EXPECT_EQ(UiInstalling.load(), 0);
    CtxFlushCache(1);
    UiSetSeams(nullptr);
    SysLibraryDetach();
    for (HANDLE h : opened_) ClosePrinter(h);
    platform::SetOpenPrinterRefusal({});
    platform::SetRevertToPrinterSelfFails(false);
    platform::SetSpoolCallHook({});
    if (g_page.resources) FreeLibrary(g_page.resources);
    UiResetAll();
    ui::FailOnUnexpected(nullptr);
  }

  HANDLE Open(ACCESS_MASK access) {
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, access};
    HANDLE h = nullptr;
    EXPECT_TRUE(OpenPrinterW(const_cast<LPWSTR>(g_printerName.c_str()), &h, &defaults)) << GetLastError();
    opened_.push_back(h);
    return h;
  }

  // The driver's default devmode, as silent document properties give it.
  std::vector<BYTE> DefaultDevmode() {
    std::vector<BYTE> out(1260);
    EXPECT_EQ(DrvDocumentProperties(nullptr, printer_, g_printerName.data(), Dm(out), nullptr, DM_COPY), IDOK);
    return out;
  }
  static DEVMODEW* Dm(std::vector<BYTE>& bytes) { return reinterpret_cast<DEVMODEW*>(bytes.data()); }

  static int Count(const std::vector<std::string>& calls, const std::string& call) {
    int n = 0;
    for (const std::string& c : calls) n += c == call;
    return n;
  }

  TempMachineRoot root_;
  UiSeams seams_{};
  HANDLE printer_ = nullptr;
  std::vector<HANDLE> opened_;
};


// EntryTest with an ordinary sheet context of the test printer opened for each test.
class UiContextTest : public EntryTest {
 protected:
  void SetUp() override {
    EntryTest::SetUp();
    ui_ = NewContext();
    ASSERT_NE(ui_, nullptr);
  }
  void TearDown() override {
    UiDestroyContext(ui_);
    EntryTest::TearDown();
  }
  // A fresh context: the reuse cache is emptied first.
  UiContext* NewContext() {
    CtxFlushCache(1);
    return UiCreateContext(printer_, 0, kKindOrdinary, kUiCreateSheet, 0, nullptr);
  }

  UiContext* ui_ = nullptr;
};

}  // namespace velm::test
