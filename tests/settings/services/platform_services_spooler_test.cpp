#include <vector>

#include "core/memory.h"
#include "settings/services/platform_services_fixture.h"
#include "settings/context/memory.h"
#include "settings/services/spooler_info.h"

namespace {

using velm::platform::SetSpoolCallHook;
using velm::platform::SpoolCall;
using velm::platform::SpoolFault;

// Removes the spooler hook when a test ends, whatever happens.
struct HookGuard {
  ~HookGuard() { SetSpoolCallHook({}); }
};

TEST_F(PlatformServicesTest, SizedQueriesTakeOnlyTheWindowsProtocol) {
  HookGuard guard;
  void* info = PrnGetPrinterInfo(context_.printer, 2);
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(std::u16string(static_cast<PRINTER_INFO_2W*>(info)->pPrinterName), u"Velm Printer");
  SysFree(info);
  info = PrnGetDriverInfo(context_.printer, 3);
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(std::u16string(static_cast<DRIVER_INFO_3W*>(info)->pName), velm::tools::kDriverName);
  SysFree(info);

  // Answers of the first call that are not "insufficient buffer, n bytes" give nothing.
  const SpoolFault strange[] = {{ERROR_SUCCESS, 64}, {ERROR_INVALID_HANDLE, 64}, {ERROR_INSUFFICIENT_BUFFER, 0}};
  for (const SpoolFault& fault : strange) {
    SetSpoolCallHook([&](const SpoolCall& call) -> std::optional<SpoolFault> {
      if (call.bufferSize == 0) return fault;
      return std::nullopt;
    });
    EXPECT_EQ(PrnGetPrinterInfo(context_.printer, 2), nullptr) << fault.error;
  }

  // The block handed to the second call is zeroed.
  SetSpoolCallHook([](const SpoolCall& call) -> std::optional<SpoolFault> {
    if (call.bufferSize == 0) return SpoolFault{ERROR_INSUFFICIENT_BUFFER, 48};
    return SpoolFault{ERROR_SUCCESS, 48};
  });
  auto* block = static_cast<BYTE*>(PrnGetPrinterInfo(context_.printer, 2));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(std::vector<BYTE>(block, block + 48), std::vector<BYTE>(48, 0));
  SysFree(block);
}

TEST_F(PlatformServicesTest, InformationThatGrowsBetweenTheTwoCallsGivesNothing) {
  HookGuard guard;
  SetSpoolCallHook([](const SpoolCall& call) -> std::optional<SpoolFault> {
    if (call.function == "GetPrinterW" && call.bufferSize != 0)
      velm::platform::UpdateSpoolPrinter(u"Velm Printer", [](auto& p) { p.comment += u"longer and longer"; });
    return std::nullopt;
  });
  EXPECT_EQ(PrnGetPrinterInfo(context_.printer, 2), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  // Nothing was learnt, so the cache stays open for a later query.
  EXPECT_FALSE(PrnIsOnServer(&context_));
  EXPECT_EQ(work_->printerInfo.serverKind, kServerKindUnknown);
}

TEST_F(PlatformServicesTest, AFailedAllocationGivesNothing) {
  velm::platform::SetAllocationFault(1);
  EXPECT_EQ(PrnGetPrinterInfo(context_.printer, 2), nullptr);
  velm::platform::SetAllocationFault(0);
}

TEST_F(PlatformServicesTest, TheCacheTakesTheServerKindAndNamesOnceAndAttributesOnce) {
  std::u16string server = u"\\\\SRV", printer = u"\\\\SRV\\P", driver = u"D";
  PRINTER_INFO_2W info{};
  info.pServerName = server.data();
  info.pPrinterName = printer.data();
  info.pDriverName = driver.data();
  info.Attributes = PRINTER_ATTRIBUTE_NETWORK;
  std::u16string kept = u"Kept";
  std::copy(kept.begin(), kept.end(), work_->printerName);
  PrnCacheInfo2(&info, &context_);
  EXPECT_EQ(work_->printerInfo.serverKind, kServerKindConnection);
  EXPECT_EQ(std::u16string(work_->printerName), u"Kept");  // filled only while empty
  EXPECT_EQ(std::u16string(work_->driverName), u"D");
  EXPECT_EQ(work_->printerInfo.attributesCached, 1u);

  PRINTER_INFO_2W later{};
  std::u16string other = u"Other";
  later.pDriverName = other.data();
  later.Attributes = PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_ENABLE_BIDI;
  PrnCacheInfo2(&later, &context_);
  EXPECT_EQ(work_->printerInfo.serverKind, kServerKindConnection);
  EXPECT_EQ(std::u16string(work_->driverName), u"D");
  EXPECT_EQ(work_->printerInfo.attributes, PRINTER_ATTRIBUTE_NETWORK);
  EXPECT_FALSE(PrnIsBidiEnabled(&context_));
}

TEST_F(PlatformServicesTest, AConnectionIsOnAServerAndALocalPrinterIsNotEachAskedOnce) {
  HookGuard guard;
  int queries = 0;
  SetSpoolCallHook([&](const SpoolCall& call) -> std::optional<SpoolFault> {
    if (call.function == "GetPrinterW") ++queries;
    return std::nullopt;
  });
  EXPECT_FALSE(PrnIsOnServer(&context_));
  EXPECT_EQ(work_->printerInfo.serverKind, kServerKindLocal);
  EXPECT_EQ(queries, 2);  // the size query and the query
  EXPECT_FALSE(PrnIsOnServer(&context_));
  EXPECT_FALSE(PrnIsBidiEnabled(&context_));
  EXPECT_EQ(std::u16string(PrnGetPrinterName(&context_)), u"Velm Printer");
  EXPECT_EQ(std::u16string(PrnGetDriverName(&context_)), velm::tools::kDriverName);
  EXPECT_EQ(queries, 2);

  std::string error;
  velm::tools::PrinterOptions connection;
  connection.serverName = u"\\\\PRINTSRV";
  connection.bidi = true;
  ASSERT_TRUE(velm::tools::AddPrinter(connection, &error)) << error;
  UsePrinter(u"\\\\PRINTSRV\\Velm Printer");
  queries = 0;
  EXPECT_TRUE(PrnIsOnServer(&context_));
  EXPECT_TRUE(PrnIsOnServer(&context_));
  EXPECT_TRUE(PrnIsBidiEnabled(&context_));
  EXPECT_EQ(PrnTestAttributes(PRINTER_ATTRIBUTE_ENABLE_BIDI | PRINTER_ATTRIBUTE_LOCAL, &context_),
            PRINTER_ATTRIBUTE_ENABLE_BIDI);
  EXPECT_EQ(queries, 2);
}

TEST_F(PlatformServicesTest, AnUnknownDriverNameFallsBackWithoutBeingKept) {
  HANDLE closed = Open(u"Velm Printer");
  ClosePrinter(closed);
  opened_.pop_back();
  context_.printer = closed;
  EXPECT_EQ(std::u16string(PrnGetDriverName(&context_)), u"JP");
  EXPECT_EQ(work_->driverName[0], 0);
  EXPECT_EQ(std::u16string(PrnGetPrinterName(&context_)), u"");
  EXPECT_EQ(PrnTestAttributes(~0u, &context_), 0u);
}

// Points the driver's data file somewhere else.
void SetDataFile(const std::u16string& dataFile) {
  velm::platform::SpoolState state;
  ASSERT_EQ(velm::platform::ReadSpoolState(state), ERROR_SUCCESS);
  velm::platform::SpoolDriver driver = state.drivers.at(0);
  driver.dataFile = dataFile;
  ASSERT_EQ(velm::platform::AddSpoolDriver(driver), ERROR_SUCCESS);
}

TEST_F(PlatformServicesTest, TheDriverDirectoryAlwaysEndsInABackslash) {
  EXPECT_EQ(std::u16string(PrnGetDriverDirectory(&context_)), kInstalledDriverDirectory);
  EXPECT_EQ(std::u16string(work_->driverDirectory), kInstalledDriverDirectory);

  SetDataFile(u"C:\\drv\\x\\model.dsc");
  EXPECT_EQ(std::u16string(PrnGetDriverDirectory(&context_)), u"C:\\drv\\x\\");
  // A data file without a folder names no directory: the system's fallback, as for no answer.
  SetDataFile(u"model.dsc");
  EXPECT_EQ(std::u16string(PrnGetDriverDirectory(&context_)), kFallbackDriverDirectory);
  // A folder too long for the buffer is never cut short into another folder.
  SetDataFile(u"C:\\" + std::u16string(300, u'd') + u"\\model.dsc");
  EXPECT_EQ(std::u16string(PrnGetDriverDirectory(&context_)), kFallbackDriverDirectory);

  ASSERT_EQ(velm::platform::EditSpoolState([](auto& s) {
              s.drivers.clear();
              return DWORD{ERROR_SUCCESS};
            }),
            ERROR_SUCCESS);
  WCHAR buffer[MAX_PATH];
  EXPECT_EQ(PrnGetDriverDirectoryTo(context_.printer, buffer), kFallbackDriverDirectory.size());
  EXPECT_EQ(std::u16string(buffer), kFallbackDriverDirectory);
}

}  // namespace
