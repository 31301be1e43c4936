// What the printer interface's tests need of the spooler: level-7 publishing reported, an access
// refused on request, and the identity calls recorded.
#include "core/write_observer.h"
#include "spool_fixture.h"

namespace velm::platform {
namespace {

TEST_F(SpoolTest, LevelSevenIsReportedWithItsActionAndNeedsAdministration) {
  std::vector<ObservedWrite> seen;
  auto previous = SetWriteObserver([&](const ObservedWrite& write) { seen.push_back(write); });
  PRINTER_INFO_7W publish{nullptr, DSPRINT_UPDATE};
  EXPECT_TRUE(SetPrinterW(Open(u"Office"), 7, reinterpret_cast<LPBYTE>(&publish), 0));
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].kind, ObservedWrite::Kind::kSetPrinter);
  EXPECT_EQ(seen[0].number, 7u);
  EXPECT_EQ(seen[0].bytes, std::string("\x02\0\0\0", 4));
  EXPECT_FALSE(SetPrinterW(Open(u"Office", PRINTER_ACCESS_USE), 7, reinterpret_cast<LPBYTE>(&publish), 0));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(SetPrinterW(Open(u"Office"), 7, nullptr, 0));
  SetWriteObserver(previous);
  EXPECT_EQ(seen.size(), 1u);
}

TEST_F(SpoolTest, ARefusedAccessFailsOnlyThatOpen) {
  SetOpenPrinterRefusal([](std::u16string_view name, ACCESS_MASK access) {
    return name == u"Office" && access == PRINTER_ALL_ACCESS;
  });
  EXPECT_EQ(Open(u"Office"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_NE(Open(u"Office", PRINTER_READ), nullptr);
  SetOpenPrinterRefusal({});
  EXPECT_NE(Open(u"Office"), nullptr);
}

TEST_F(SpoolTest, IdentityCallsAreRecordedAndARevertCanHandOutNoToken) {
  ClearPrinterIdentityCalls();
  HANDLE token = RevertToPrinterSelf();
  EXPECT_TRUE(ImpersonatePrinterClient(token));
  SetRevertToPrinterSelfFails(true);
  EXPECT_EQ(RevertToPrinterSelf(), nullptr);
  EXPECT_TRUE(IsImpersonatingPrinterClient());
  SetRevertToPrinterSelfFails(false);
  EXPECT_EQ(PrinterIdentityCalls(),
            (std::vector<std::string>{"RevertToPrinterSelf", "ImpersonatePrinterClient", "RevertToPrinterSelf"}));
}

}  // namespace
}  // namespace velm::platform
