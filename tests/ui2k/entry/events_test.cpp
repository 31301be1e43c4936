// Printer events with their identities, the delete-connection writes, the upgrade, and the
// fallback chain of access rights.
#include <fstream>
#include <sstream>

#include "data/item_ids.h"
#include "entry_fixture.h"
#include "ui2k/install/job_control_bridge.h"
#include "settings/persistence/paths.h"

namespace velm::test {
namespace {

using Calls = std::vector<std::string>;
const Calls kAsSpooler = {"RevertToPrinterSelf", "ImpersonatePrinterClient"};

struct EventCase {
  const char* name;
  int event;
  BOOL result;
  Calls identity;
  Calls seams;  // seam calls that must be among the ones made
};

class EventTest : public EntryTest, public ::testing::WithParamInterface<EventCase> {};

TEST_P(EventTest, RunsItsHandlerUnderItsIdentity) {
  const EventCase& c = GetParam();
  EXPECT_EQ(DrvPrinterEvent(g_printerName.data(), c.event, 0, 0), c.result);
  EXPECT_EQ(platform::PrinterIdentityCalls(), c.identity);
  const Calls made = UiSeamCalls();
  for (const std::string& call : c.seams) EXPECT_EQ(Count(made, call), 1) << call;
  EXPECT_TRUE(platform::IsImpersonatingPrinterClient());
}

INSTANTIATE_TEST_SUITE_P(
    Events, EventTest,
    ::testing::Values(
        EventCase{"addConnection", PRINTER_EVENT_ADD_CONNECTION, TRUE, kAsSpooler,
                  {"InstInitializePrinter 2", "InstWriteStamp 1 2"}},
        EventCase{"deleteConnection", PRINTER_EVENT_DELETE_CONNECTION, TRUE, kAsSpooler, {}},
        EventCase{"initialize", PRINTER_EVENT_INITIALIZE, TRUE, kAsSpooler,
                  {"InstHasInstallData", "InstInitializePrinter 1", "InstWriteStamp 1 1"}},
        EventCase{"deletePrinter", PRINTER_EVENT_DELETE, TRUE, {}, {}},
        EventCase{"cacheRefresh", PRINTER_EVENT_CACHE_REFRESH, TRUE, kAsSpooler, {"InstRefreshDriverFiles"}},
        EventCase{"unknown", 99, TRUE, {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// The job-credential service's log of writes and notifications.
std::string ServiceLog() {
  std::ifstream in(platform::MachineStore("jobcr") / "calls.log");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST_F(EntryTest, DeletingAConnectionOrPrinterTellsTheService) {
  std::filesystem::remove(platform::MachineStore("jobcr") / "calls.log");
  EXPECT_TRUE(DrvPrinterEvent(g_printerName.data(), PRINTER_EVENT_DELETE_CONNECTION, 0, 0));
  EXPECT_EQ(ServiceLog(), "notify Velm Printer 2\nnotify Velm Printer 3\nnotify Velm Printer 4\n"
                          "notify Velm Printer 5\nnotify Velm Printer 8\n");
  std::filesystem::remove(platform::MachineStore("jobcr") / "calls.log");
  EXPECT_TRUE(DrvPrinterEvent(g_printerName.data(), PRINTER_EVENT_DELETE, 0, 0));
  EXPECT_EQ(ServiceLog(), "notify Velm Printer 256\nnotify Velm Printer 257\nnotify Velm Printer 258\n");
}

TEST_F(EntryTest, DeleteConnectionEmptiesTheUserCodeAndResetsTheInstallMarks) {
  UiContext* ui = UiCreateContext(printer_, 0, kKindOrdinary, kUiCreateSheet, 0, nullptr);
  ASSERT_NE(ui, nullptr);
  ASSERT_EQ(JcBridgeOpen(ui), 0u);
  ASSERT_TRUE(OptSetString(ui->driver, OptFindItem(ui->driver->itemTable, kItemUserCode), u"1234"));
  ASSERT_EQ(JcBridgeWriteOptions(ui, kJcBridgeMaskUserCode), 0u);
  JcBridgeClose(ui);
  UiDestroyContext(ui);
  std::filesystem::remove(platform::MachineStore("jobcr") / "calls.log");
  WCHAR ini[MAX_PATH];
  ASSERT_GT(PathBuildSettingsIni(ini, 0), 0u);
  std::u16string folder(ini);
  CreateDirectoryW(folder.substr(0, folder.rfind(u'\\')).c_str(), nullptr);
  ASSERT_TRUE(WritePrivateProfileStringW(g_printerName.c_str(), u"BatchInstallDone", u"1", ini));
  ASSERT_TRUE(WritePrivateProfileStringW(g_printerName.c_str(), u"DrvInstVersion", u"3.60", ini));
  EXPECT_TRUE(DrvPrinterEvent(g_printerName.data(), PRINTER_EVENT_DELETE_CONNECTION, 0, 0));
  EXPECT_EQ(ServiceLog().rfind("write Velm Printer 1\n", 0), 0u) << "the user code is emptied first";
  WCHAR text[16] = {};
  GetPrivateProfileStringW(g_printerName.c_str(), u"BatchInstallDone", u"x", text, 16, ini);
  EXPECT_EQ(std::u16string(text), u"0");
  GetPrivateProfileStringW(g_printerName.c_str(), u"DrvInstVersion", u"x", text, 16, ini);
  EXPECT_EQ(std::u16string(text), u"");
}

TEST_F(EntryTest, FailedStepsAndRefusedOpensFailTheEventsThatReportThem) {
  seams_.instWriteStamp = [](HANDLE, int, int) -> BOOL { return FALSE; };
  EXPECT_FALSE(DrvPrinterEvent(g_printerName.data(), PRINTER_EVENT_ADD_CONNECTION, 0, 0));
  seams_.instWriteStamp = kUiSeamsRecording.instWriteStamp;
  seams_.instInitializePrinter = [](HANDLE, int) -> BOOL { return FALSE; };
  EXPECT_FALSE(DrvPrinterEvent(g_printerName.data(), PRINTER_EVENT_ADD_CONNECTION, 0, 0));
  EXPECT_FALSE(DrvPrinterEvent(g_printerName.data(), PRINTER_EVENT_INITIALIZE, 0, 0));

  // Delete-connection falls back from all access to the server's, then to use.
  static std::vector<ACCESS_MASK> asked;
  asked.clear();
  platform::SetOpenPrinterRefusal([](std::u16string_view, ACCESS_MASK access) {
    asked.push_back(access);
    return access != PRINTER_ACCESS_USE;
  });
  UiClearSeamCalls();
  EXPECT_TRUE(DrvPrinterEvent(g_printerName.data(), PRINTER_EVENT_DELETE_CONNECTION, 0, 0));
  EXPECT_EQ(asked, (std::vector<ACCESS_MASK>{PRINTER_ALL_ACCESS, SERVER_ALL_ACCESS, PRINTER_ACCESS_USE}));
  EXPECT_NE(ServiceLog().find("notify Velm Printer 8\n"), std::string::npos);
  platform::SetOpenPrinterRefusal([](std::u16string_view, ACCESS_MASK) { return true; });
  EXPECT_FALSE(DrvPrinterEvent(g_printerName.data(), PRINTER_EVENT_CACHE_REFRESH, 0, 0));
  EXPECT_FALSE(DrvPrinterEvent(g_printerName.data(), PRINTER_EVENT_ADD_CONNECTION, 0, 0));
  EXPECT_TRUE(DrvPrinterEvent(g_printerName.data(), PRINTER_EVENT_DELETE, 0, 0));
  EXPECT_EQ(UiInstalling.load(), 0);

  // Without a token the identity is left as it is.
  platform::SetOpenPrinterRefusal({});
  platform::SetRevertToPrinterSelfFails(true);
  platform::ClearPrinterIdentityCalls();
  EXPECT_TRUE(DrvPrinterEvent(g_printerName.data(), PRINTER_EVENT_CACHE_REFRESH, 0, 0));
  EXPECT_EQ(platform::PrinterIdentityCalls(), Calls{"RevertToPrinterSelf"});
}

TEST_F(EntryTest, UpgradeTakesLevelOneOnlyAndClosesWhatItOpened) {
  DRIVER_UPGRADE_INFO_1W info{g_printerName.data(), nullptr};
  SetLastError(0);
  EXPECT_FALSE(DrvUpgradePrinter(2, reinterpret_cast<LPBYTE>(&info)));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(DrvUpgradePrinter(1, nullptr));
  DeletePrinterDataW(printer_, const_cast<LPWSTR>(u"LastFontTableNum"));
  EXPECT_TRUE(DrvUpgradePrinter(1, reinterpret_cast<LPBYTE>(&info)));
  BYTE count[2];
  DWORD type = 0, needed = 0;
  EXPECT_EQ(GetPrinterDataW(printer_, const_cast<LPWSTR>(u"LastFontTableNum"), &type, count, sizeof count, &needed),
            static_cast<DWORD>(ERROR_SUCCESS));  // the font table was saved
  EXPECT_EQ(Count(UiSeamCalls(), "InstRegisterDriverFiles"), 1);
  seams_.instRegisterDriverFiles = [](UiContext*) -> BOOL { return FALSE; };
  EXPECT_FALSE(DrvUpgradePrinter(1, reinterpret_cast<LPBYTE>(&info)));
  seams_.instEnsurePrinterReady = [](HANDLE) -> LONG { return 0; };
  EXPECT_FALSE(DrvUpgradePrinter(1, reinterpret_cast<LPBYTE>(&info)));
}

}  // namespace
}  // namespace velm::test
