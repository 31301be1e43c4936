// The document and device sheets through the stand-in's common property-sheet host: the reasons,
// the header, cancel and apply, the level-7 update per reason, the permission bytes, and the
// host missing.
#include "entry_fixture.h"

namespace velm::test {
namespace {

// Wraps the driver's sheet function to see what the host hands it and what it answers.
struct SheetSpy {
  PFNPROPSHEETUI driver = nullptr;
  PFNCOMPROPSHEET host = nullptr;
  std::vector<WORD> reasons;
  int okResults = 0;
  PROPSHEETUI_INFO_HEADER header{};
};
SheetSpy g_spy;

LONG_PTR CountingComPropSheet(HANDLE sheet, UINT function, LPARAM a, LPARAM b) {
  if (function == CPSFUNC_SET_RESULT && b == CPSUI_OK) ++g_spy.okResults;
  return g_spy.host(sheet, function, a, b);
}

LONG SpySheet(PPROPSHEETUI_INFO info, LPARAM lParam) {
  g_spy.reasons.push_back(info->Reason);
  if (info->Reason == PROPSHEETUI_REASON_INIT) {
    g_spy.host = info->pfnComPropSheet;
    info->pfnComPropSheet = CountingComPropSheet;
  }
  const LONG answer = g_spy.driver(info, lParam);
  if (info->Reason == PROPSHEETUI_REASON_GET_INFO_HEADER)
    g_spy.header = *reinterpret_cast<PROPSHEETUI_INFO_HEADER*>(lParam);
  return answer;
}

class SheetsTest : public EntryTest {
 protected:
  ui::HostResult RunDocument(DOCUMENTPROPERTYHEADER& header, bool ok) {
    g_spy = SheetSpy{};
    g_spy.driver = DrvDocumentPropertySheets;
    return ui::Host().open(SpySheet, reinterpret_cast<LPARAM>(&header),
                           [ok](ui::Sheet& sheet) { ok ? sheet.pressOk() : sheet.pressCancel(); });
  }
  DOCUMENTPROPERTYHEADER Header(DEVMODEW* in, DEVMODEW* out, DWORD fMode) {
    DOCUMENTPROPERTYHEADER header{};
    header.cbSize = sizeof header;
    header.hPrinter = printer_;
    header.pszPrinterName = g_printerName.data();
    header.pdmIn = in;
    header.pdmOut = out;
    header.fMode = fMode;
    return header;
  }
};

TEST_F(SheetsTest, DocumentSheetCancelledRunsEveryReasonAndAnswersCancel) {
  std::vector<BYTE> in = DefaultDevmode();
  std::vector<BYTE> out(1260, 0xEE);
  DOCUMENTPROPERTYHEADER header = Header(Dm(in), Dm(out), DM_IN_BUFFER | DM_PROMPT | DM_COPY);
  g_page.commitOnApply = false;
  const ui::HostResult result = RunDocument(header, false);
  EXPECT_EQ(result.returned, CPSUI_CANCEL);
  EXPECT_EQ(result.result, static_cast<DWORD>(CPSUI_CANCEL));
  EXPECT_EQ(g_spy.reasons, (std::vector<WORD>{PROPSHEETUI_REASON_INIT, PROPSHEETUI_REASON_GET_INFO_HEADER,
                                              PROPSHEETUI_REASON_DESTROY}));
  EXPECT_EQ(g_spy.header.Flags, PSUIHDRF_NOAPPLYNOW | PSUIHDRF_PROPTITLE);
  EXPECT_EQ(g_spy.header.Flags, 6);
  EXPECT_EQ(std::u16string(g_spy.header.pTitle), g_printerName);
  EXPECT_EQ(g_spy.header.IconID, 64082u);
  EXPECT_EQ(g_spy.okResults, 0);
  EXPECT_EQ(out, std::vector<BYTE>(1260, 0xEE)) << "a cancelled sheet writes nothing back";
  EXPECT_EQ(Count(UiSeamCalls(), "SheetAddPages 1"), 1);
}

TEST_F(SheetsTest, DocumentSheetCommittedOnApplyWritesTheDevmodeBackAndAnswersOk) {
  std::vector<BYTE> in = DefaultDevmode();
  Dm(in)->dmCopies = 4;
  std::vector<BYTE> out(1260, 0);
  DOCUMENTPROPERTYHEADER header = Header(Dm(in), Dm(out), DM_IN_BUFFER | DM_PROMPT | DM_UPDATE | DM_COPY);
  const ui::HostResult result = RunDocument(header, true);
  EXPECT_EQ(result.returned, CPSUI_OK);
  EXPECT_EQ(result.result, static_cast<DWORD>(CPSUI_OK));
  // The commit on apply sends CPSUI_OK once; the DESTROY that follows an OK on NT 5 finishes the
  // result again (Result 1 and a second CPSUI_OK), as the sheet's close is described.
  EXPECT_EQ(g_spy.okResults, 2);
  EXPECT_EQ(std::memcmp(out.data() + 220, "VELM", 4), 0);
  EXPECT_EQ(Dm(out)->dmSize, 220);
  EXPECT_EQ(Dm(out)->dmDriverExtra, 1040);
  EXPECT_EQ(Dm(out)->dmCopies, 4);
  EXPECT_EQ(out[285 + 1], 0) << "the written-back summary never asks to be applied";
}

// The first sheet after the device reported its options: cancelling it still keeps what the
// device said (the copy taken at INIT is committed) and answers OK; once the ex flag is set a
// cancel is a cancel.
TEST_F(SheetsTest, ACancelledFirstUseBidiSheetKeepsTheDeviceCopyAndAnswersOk) {
  const DWORD one = 1;
  ASSERT_EQ(SetPrinterDataW(printer_, const_cast<LPWSTR>(u"BidiFlag"), 3, reinterpret_cast<LPBYTE>(const_cast<DWORD*>(&one)), 4),
            static_cast<DWORD>(ERROR_SUCCESS));
  std::vector<BYTE> in = DefaultDevmode();
  std::vector<BYTE> out(1260);
  DOCUMENTPROPERTYHEADER header = Header(Dm(in), Dm(out), DM_IN_BUFFER | DM_PROMPT | DM_COPY);
  g_page.commitOnApply = false;
  ui::HostResult result = RunDocument(header, false);
  EXPECT_EQ(result.returned, CPSUI_CANCEL);
  EXPECT_EQ(result.result, static_cast<DWORD>(CPSUI_OK));
  EXPECT_EQ(g_spy.okResults, 1);
  EXPECT_EQ(Count(UiSeamCalls(), "BidiUiApplyDefaults"), 2);
  EXPECT_EQ(Count(UiSeamCalls(), "BidiUiSetExFlag"), 1);

  seams_.bidiUiGetExFlag = [](UiContext*) -> DWORD { return 1; };
  result = RunDocument(header, false);
  EXPECT_EQ(result.result, static_cast<DWORD>(CPSUI_CANCEL));
  EXPECT_EQ(g_spy.okResults, 0);
}

TEST_F(SheetsTest, DocumentSheetWithoutInfoIsSilentAndAFailedReadinessRefuses) {
  DOCUMENTPROPERTYHEADER header = Header(nullptr, nullptr, 0);
  UiClearSeamCalls();
  EXPECT_EQ(DrvDocumentPropertySheets(nullptr, reinterpret_cast<LPARAM>(&header)), 1260);
  EXPECT_TRUE(UiSeamCalls().empty()) << "fMode 0 does not ask whether the printer is ready";
  EXPECT_EQ(DrvDocumentPropertySheets(nullptr, 0), -1);

  seams_.instEnsurePrinterReady = [](HANDLE) -> LONG { return 0; };
  std::vector<BYTE> out(1260);
  header = Header(nullptr, Dm(out), DM_COPY);
  EXPECT_EQ(DrvDocumentPropertySheets(nullptr, reinterpret_cast<LPARAM>(&header)), -1);
}

struct DeviceCase {
  WORD flags;
  BYTE noPermission;
  DWORD mayChange;
};

class DeviceSheetTest : public SheetsTest, public ::testing::WithParamInterface<DeviceCase> {};

TEST_P(DeviceSheetTest, UpdatesThePublishingOncePerReasonAndKeepsThePermission) {
  const DeviceCase c = GetParam();
  DEVICEPROPERTYHEADER header{};
  header.cbSize = sizeof header;
  header.Flags = c.flags;
  header.hPrinter = printer_;
  header.pszPrinterName = g_printerName.data();
  ui::watchWrites();
  g_spy = SheetSpy{};
  g_spy.driver = DrvDevicePropertySheets;
  g_page.commitOnApply = false;
  const ui::HostResult result =
      ui::Host().open(SpySheet, reinterpret_cast<LPARAM>(&header), [](ui::Sheet& sheet) { sheet.pressCancel(); });
  EXPECT_EQ(result.returned, CPSUI_CANCEL);
  int level7 = 0;
  for (const platform::ObservedWrite& write : ui::writes())
    if (write.kind == platform::ObservedWrite::Kind::kSetPrinter && write.number == 7) {
      ++level7;
      DWORD action = 0;
      std::memcpy(&action, write.bytes.data(), sizeof action);
      EXPECT_EQ(action, DSPRINT_UPDATE);
    }
  EXPECT_EQ(level7, static_cast<int>(g_spy.reasons.size())) << "INIT, GET_INFO_HEADER and DESTROY";
  EXPECT_EQ(g_page.noPermission, c.noPermission);
  EXPECT_EQ(g_page.mayChange, c.mayChange);
  EXPECT_EQ(std::u16string(g_spy.header.pTitle), g_printerName);
}

INSTANTIATE_TEST_SUITE_P(Permission, DeviceSheetTest,
                         ::testing::Values(DeviceCase{0, 0, 1}, DeviceCase{DPS_NOPERMISSION, 1, 0}));

TEST_F(SheetsTest, PrinterPropertiesMarksNoPermissionWhenPermissionCannotBeWritten) {
  seams_.instSetPermission = [](HANDLE) -> BOOL { return FALSE; };
  g_page.commitOnApply = false;
  ui::onSheet([](ui::Sheet& sheet) { sheet.pressCancel(); });
  EXPECT_TRUE(PrinterProperties(nullptr, printer_));
  EXPECT_EQ(g_page.noPermission, 1);
  EXPECT_EQ(g_page.mayChange, 0u);
}

TEST_F(SheetsTest, AMissingHostLibraryOrEntryIsAFailureNotASuccess) {
  for (bool library : {true, false}) {
    SCOPED_TRACE(library ? "library" : "entry");
    if (library) platform::WithdrawSystemModule(u"compstui.dll", true);
    else platform::WithdrawSystemExport("CommonPropertySheetUIW", true);
    EXPECT_FALSE(PrinterProperties(nullptr, printer_));
    std::vector<BYTE> out(1260);
    EXPECT_EQ(DrvDocumentProperties(nullptr, printer_, g_printerName.data(), Dm(out), nullptr, DM_PROMPT | DM_COPY), -1);
    UiResetAll();  // gives the library and its entry back
  }
}

}  // namespace
}  // namespace velm::test
