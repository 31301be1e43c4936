// A machine root with the driver installed over a model description that carries the tests' own
// alerts and rules besides the shipped ones, the real pages added by the sheets, the page
// seams over a small preset list, and a check that every UI context opened was destroyed.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "data/item_ids.h"
#include "data/page_ids.h"
#include "machine_setup.h"
#include "settings/context/cache.h"
#include "settings/context/process_state.h"
#include "settings/items/store.h"
#include "settings/services/resource_strings.h"
#include "support/temp_root.h"
#include "ui/ui_driver.h"
#include "ui2k/entry/property_sheets.h"
#include "ui2k/entry/seams.h"
#include "ui2k/entry/ui_context.h"
#include "ui2k/pages/page_framework.h"
#include "ui2k/pages/page_seams.h"

extern "C" {
LONG DrvDocumentPropertySheets(PPROPSHEETUI_INFO info, LPARAM lParam);
LONG DrvDevicePropertySheets(PPROPSHEETUI_INFO info, LPARAM lParam);
LONG DrvDocumentProperties(HWND, HANDLE, LPWSTR, PDEVMODEW, PDEVMODEW, DWORD);
}

namespace velm::test {

// The tests' additions to the model description: copies disabled while they are 77, alerts on
// copies (over 900), collate (off: a property alert asking yes or no), the print-type dialog's
// sub-method (1 and 2: refusals whose focus differs; 3: the job-type confirmation) and the
// watermark switch, and a rule that opens the rotation dialog when smoothing is switched on.
inline constexpr char kTestStatements[] =
    "*Judge 901=TestCopies77: ZMD_dmCopies == 77\n"
    "*Judge 902=TestCopiesTooMany: ZMD_dmCopies > 900\n"
    "*Judge 903=TestCollateOff: ZMD_dmCollate == 0\n"
    "*Judge 904=TestSubOne: ZMD_vdmPrnMethodSub == 1\n"
    "*Judge 905=TestSubTwo: ZMD_vdmPrnMethodSub == 2\n"
    "*Judge 906=TestSubThree: ZMD_vdmPrnMethodSub == 3\n"
    "*Judge 907=TestWatermarkOn: ZMD_vdmFuncSelectWaterMark == 1\n"
    "*Judge 908=TestSmoothingOn: ZMD_vdmSmoothing == 1\n"
    "*Action 901=TestOpenRotation: { {ZMD_IDD_DIALOG_ROTATION 0} }\n"
    "*Transact 901=TestRotationRule: { {TestSmoothingOn TestOpenRotation} }\n"
    "*Alert 901=TestCopiesAlert: { {TestCopiesTooMany ZMD_ScaleIllegalMessage MB_ICONSTOP MB_OK AlertDialog NULL} }\n"
    "*Alert 902=TestCollateAlert: {\n"
    "  {TestCollateOff ZMD_MarkMessage MB_ICONQUESTION MB_YESNO AlertProperty NULL}\n}\n"
    "*Alert 903=TestSubAlert: {\n"
    "  {TestSubOne ZMD_SecurityUserIdNullMessage MB_ICONSTOP MB_YESNO AlertDialog NULL}\n"
    "  {TestSubTwo ZMD_StoredOwnerNullMessage MB_ICONSTOP MB_YESNO AlertDialog NULL}\n"
    "  {TestSubThree ZMD_JobTypeCheckMessage MB_ICONSTOP MB_YESNO AlertDialog NULL}\n}\n"
    "*Alert 904=TestWatermarkAlert: {\n"
    "  {TestWatermarkOn ZMD_OverlayStampMessage MB_ICONEXCLAMATION MB_OKCANCEL AlertProperty NULL}\n}\n";
inline constexpr char kTestExclusiveEntries[] =
    "  {ZMD_dmCopies TestCopies77 NULL NULL TestCopiesAlert NULL NULL}\n"
    "  {ZMD_dmCollate NULL NULL NULL TestCollateAlert NULL NULL}\n"
    "  {ZMD_vdmPrnMethodSub NULL NULL NULL TestSubAlert NULL NULL}\n"
    "  {ZMD_vdmFuncSelectWaterMark NULL NULL NULL TestWatermarkAlert NULL NULL}\n"
    "  {ZMD_vdmSmoothing NULL NULL NULL NULL TestRotationRule NULL}\n";

// The saved settings the page seams keep: names, read-only marks, what was written.
struct PresetList {
  std::vector<std::u16string> names;
  std::vector<bool> readOnly;
  std::vector<int> edited;    // indexes written by RstEditPreset
  std::vector<std::u16string> appended;
  std::vector<int> applied;   // RstSavePresetByIndex
};
inline PresetList g_presets;

// Counts of the control-class handlers the tests' class saw, by control type.
struct ClassCalls {
  int fill = 0, showValue = 0, message = 0;
};
inline ClassCalls g_classCalls;

inline PageSeams TestPageSeams() {
  PageSeams seams = kPageSeamsRecording;
  seams.dlgGetPresetCount = [](UiContext*) -> DWORD { return static_cast<DWORD>(g_presets.names.size()); };
  seams.dlgFindPresetByName = [](UiContext*, const WCHAR* name, int preferred) -> int {
    int found = -1;
    for (size_t i = 0; i < g_presets.names.size(); ++i)
      if (g_presets.names[i] == name && (found < 0 || static_cast<int>(i) == preferred)) found = static_cast<int>(i);
    return found;
  };
  seams.rstIsPresetWritable = [](UiContext*, int index) -> BOOL {
    return index >= 0 && index < static_cast<int>(g_presets.readOnly.size()) ? !g_presets.readOnly[index] : TRUE;
  };
  seams.rstEditPreset = [](UiContext*, int index) -> BOOL { return g_presets.edited.push_back(index), TRUE; };
  seams.dlgAppendPreset = [](UiContext*, const WCHAR* name) -> int {
    g_presets.appended.push_back(name);
    g_presets.names.push_back(name);
    g_presets.readOnly.push_back(false);
    return static_cast<int>(g_presets.names.size()) - 1;
  };
  seams.rstSavePresetByIndex = [](UiContext*, int index) { g_presets.applied.push_back(index); };
  return seams;
}

// A control class for every control type that counts what the framework asks of it.
inline const CtlClass kCountingClass = {
    0,
    nullptr,
    [](UiContext*, HWND, PageItemTemplate*, UINT, WPARAM, LPARAM) -> LRESULT { return ++g_classCalls.fill, 0; },
    [](UiContext*, HWND, PageItemTemplate*, UINT, WPARAM, LPARAM) -> LRESULT { return ++g_classCalls.showValue, 0; },
    nullptr,
    [](UiContext*, HWND, PageItemTemplate*, UINT, WPARAM, LPARAM) -> LRESULT { return ++g_classCalls.message, 1; },
    nullptr,
};

class PagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::filesystem::path data = root_.path() / "model-data";
    std::filesystem::create_directories(data / "model");
    std::filesystem::copy(SourceDir() / "data" / "install", data / "install",
                          std::filesystem::copy_options::recursive);
    std::string text = ReadHostFile(SourceDir() / "data" / "model" / "qnvelm.dsc");
    // The shipped user-id alert would answer the focus the print-type refusals give the user-id
    // edit: the tests' own alerts stand alone there.
    const std::string userIdAlert = "{ZMD_vdmUserID NULL NULL NULL UserIdAlert NULL NULL}";
    const size_t userId = text.find(userIdAlert);
    ASSERT_NE(userId, std::string::npos);
    text.replace(userId, userIdAlert.size(), "{ZMD_vdmUserID NULL NULL NULL NULL NULL NULL}");
    // The statements go before the conditions, which name them.
    const std::string exclusiveStart = "*Exclusive: {\n";
    const size_t exclusive = text.find(exclusiveStart);
    ASSERT_NE(exclusive, std::string::npos);
    text.insert(exclusive, std::string(kTestStatements) + exclusiveStart + kTestExclusiveEntries);
    text.erase(exclusive + std::string(kTestStatements).size() + exclusiveStart.size() +
                   std::string(kTestExclusiveEntries).size(),
               exclusiveStart.size());
    WriteHostFile(data / "model" / "qnvelm.dsc", text);

    std::string error;
    ASSERT_TRUE(tools::InstallDriver({ModuleDir(), data}, &error)) << error;
    ASSERT_TRUE(tools::AddPrinter({}, &error)) << error;
    UiResetAll();
    ui::FailOnUnexpected([](const std::string& what) { ADD_FAILURE() << "unexpected: " << what; });
    SysLibraryAttach(nullptr);
    UiSetSeams(nullptr);
    UiClearSeamCalls();
    g_presets = PresetList{};
    g_classCalls = ClassCalls{};
    pageSeams_ = TestPageSeams();
    PageSetSeams(&pageSeams_);
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"Velm Printer"), &printer_, &defaults));
  }
  void TearDown() override {
    EXPECT_EQ(UiOpenContextCount(), 0) << "a UI context was not destroyed";
    CtxFlushCache(1);
    PageSetSeams(nullptr);
    UiSetSeams(nullptr);
    SysLibraryDetach();
    if (printer_) ClosePrinter(printer_);
    UiResetAll();
    ui::FailOnUnexpected(nullptr);
  }

  // The installed model description changed by `edit` and installed again; the description
  // loaded while the printer was added is dropped with the library.
  void ReinstallModel(const std::function<void(std::string&)>& edit) {
    const std::filesystem::path data = root_.path() / "model-data";
    std::string text = ReadHostFile(data / "model" / "qnvelm.dsc");
    edit(text);
    WriteHostFile(data / "model" / "qnvelm.dsc", text);
    SysLibraryDetach();
    std::string error;
    ASSERT_TRUE(tools::InstallDriver({ModuleDir(), data}, &error)) << error;
    SysLibraryAttach(nullptr);
  }
  // The description's block that opens with `head`, through its closing "}" line, replaced by `block`.
  static void ReplaceBlock(std::string& text, const std::string& head, const std::string& block) {
    const size_t start = text.find(head);
    ASSERT_NE(start, std::string::npos) << head;
    text.replace(start, text.find("\n}\n", start) + 3 - start, block);
  }

  // Every control shows through the counting class.
  void UseCountingClass() {
    pageSeams_.ctlFindClass = [](WORD) -> const CtlClass* { return &kCountingClass; };
  }

  // The document sheet over `in` (the printer's defaults when empty), driven by `script`.
  ui::HostResult Document(std::function<void(ui::Sheet&)> script, std::vector<BYTE>* out = nullptr,
                          DEVMODEW* in = nullptr) {
    DOCUMENTPROPERTYHEADER header{};
    header.cbSize = sizeof header;
    header.hPrinter = printer_;
    header.pszPrinterName = const_cast<LPWSTR>(u"Velm Printer");
    header.pdmIn = in;
    header.pdmOut = out ? reinterpret_cast<DEVMODEW*>(out->data()) : nullptr;
    header.fMode = DM_PROMPT | (in ? DM_IN_BUFFER : 0) | (out ? DM_UPDATE | DM_COPY : 0);
    return ui::Host().open(DrvDocumentPropertySheets, reinterpret_cast<LPARAM>(&header), Closing(std::move(script)));
  }
  // A script that cancels its sheet when it leaves it open.
  static std::function<void(ui::Sheet&)> Closing(std::function<void(ui::Sheet&)> script) {
    return [script](ui::Sheet& sheet) {
      script(sheet);
      if (sheet.open()) sheet.pressCancel();
    };
  }
  ui::HostResult Device(std::function<void(ui::Sheet&)> script) {
    DEVICEPROPERTYHEADER header{};
    header.cbSize = sizeof header;
    header.hPrinter = printer_;
    header.pszPrinterName = const_cast<LPWSTR>(u"Velm Printer");
    return ui::Host().open(DrvDevicePropertySheets, reinterpret_cast<LPARAM>(&header), Closing(std::move(script)));
  }

  static UiContext* ContextOf(ui::Page page) { return PageContextOf(page.hwnd()); }
  static std::u16string String(UiContext* ui, UINT id) {
    WCHAR text[kUiTextChars] = {};
    ResLoadString(ui->driver, id, text, kUiTextChars, FALSE);
    return text;
  }
  static int Count(const std::string& call) {
    int n = 0;
    for (const std::string& c : UiSeamCalls()) n += c == call;
    return n;
  }

  TempMachineRoot root_;
  PageSeams pageSeams_{};
  HANDLE printer_ = nullptr;
};

}  // namespace velm::test
