#include "spool_fixture.h"

namespace velm::platform {
namespace {

TEST_F(SpoolTest, OpenFindsPrintersByNameAndRefusesUnknownOnes) {
  HANDLE h = nullptr;
  EXPECT_FALSE(OpenPrinterW(const_cast<LPWSTR>(u"Nowhere"), &h, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PRINTER_NAME);
  EXPECT_EQ(h, nullptr);
  EXPECT_NE(Open(u"OFFICE"), nullptr);                // case does not matter
  EXPECT_NE(Open(u"\\\\VELMHOST\\Office"), nullptr);  // this computer's own name
  EXPECT_EQ(Open(u"\\\\OTHER\\Office"), nullptr);
  // A null name opens the print server, which has no printer information.
  HANDLE server = Open(u"", SERVER_ALL_ACCESS);
  ASSERT_NE(server, nullptr);
  DWORD needed = 0;
  EXPECT_FALSE(GetPrinterW(server, 2, nullptr, 0, &needed));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(SpoolTest, SizedQueryFailsUntilTheBufferFitsAndKeepsStringsInside) {
  HANDLE h = Open(u"Office");
  ASSERT_NE(h, nullptr);
  DWORD needed = 0;
  EXPECT_FALSE(GetPrinterW(h, 2, nullptr, 0, &needed));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  ASSERT_GT(needed, sizeof(PRINTER_INFO_2W));

  auto buffer = AlignedBuffer(needed);
  auto* bytes = reinterpret_cast<BYTE*>(buffer.data());
  DWORD again = 0;
  EXPECT_FALSE(GetPrinterW(h, 2, bytes, needed - 1, &again));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(again, needed);

  ASSERT_TRUE(GetPrinterW(h, 2, bytes, needed, &again));
  const auto* info = reinterpret_cast<PRINTER_INFO_2W*>(bytes);
  EXPECT_EQ(info->pServerName, nullptr);  // a local printer
  EXPECT_EQ(std::u16string(info->pPrinterName), u"Office");
  EXPECT_EQ(std::u16string(info->pDriverName), u"Test Driver");
  EXPECT_EQ(std::u16string(info->pPortName), u"LPT1:");
  EXPECT_EQ(info->Attributes, PRINTER_ATTRIBUTE_LOCAL);
  for (LPWSTR s : {info->pPrinterName, info->pShareName, info->pPortName, info->pDriverName, info->pComment,
                   info->pPrintProcessor, info->pDatatype})
    EXPECT_TRUE(Inside(s, bytes, needed));
  EXPECT_EQ(info->pDevMode, nullptr);  // none stored yet

  EXPECT_FALSE(GetPrinterW(h, 3, bytes, needed, &again));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_LEVEL);
}

TEST_F(SpoolTest, ASizeChangeBetweenTheTwoCallsFailsTheSecondOne) {
  HANDLE h = Open(u"Office");
  DWORD needed = 0;
  EXPECT_FALSE(GetPrinterW(h, 2, nullptr, 0, &needed));
  // Another process gives the printer a long comment after the size query.
  ASSERT_EQ(UpdateSpoolPrinter(u"Office", [](SpoolPrinter& p) { p.comment = std::u16string(200, u'x'); }),
            ERROR_SUCCESS);
  auto buffer = AlignedBuffer(needed);
  DWORD grown = 0;
  EXPECT_FALSE(GetPrinterW(h, 2, reinterpret_cast<BYTE*>(buffer.data()), needed, &grown));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(grown, needed + 400);
}

// Two calls of the size protocol, returning the block.
std::vector<uint64_t> GetPrinter(HANDLE h, DWORD level) {
  DWORD needed = 0;
  GetPrinterW(h, level, nullptr, 0, &needed);
  auto buffer = AlignedBuffer(needed);
  EXPECT_TRUE(GetPrinterW(h, level, reinterpret_cast<BYTE*>(buffer.data()), needed, &needed));
  return buffer;
}

std::vector<BYTE> DevmodeBytes(const DEVMODEW* dm) {
  if (!dm) return {};
  const auto* b = reinterpret_cast<const BYTE*>(dm);
  return std::vector<BYTE>(b, b + dm->dmSize + dm->dmDriverExtra);
}

TEST_F(SpoolTest, AUsersOwnDevmodeShadowsThePrintersDefaultUntilRemoved) {
  HANDLE h = Open(u"Office");
  const std::vector<BYTE> shared = MakeDevmode(1040, 1);
  const std::vector<BYTE> mine = MakeDevmode(1040, 2);
  PRINTER_INFO_8W eight{reinterpret_cast<LPDEVMODEW>(const_cast<BYTE*>(shared.data()))};
  ASSERT_TRUE(SetPrinterW(h, 8, reinterpret_cast<LPBYTE>(&eight), 0));
  PRINTER_INFO_9W nine{reinterpret_cast<LPDEVMODEW>(const_cast<BYTE*>(mine.data()))};
  ASSERT_TRUE(SetPrinterW(h, 9, reinterpret_cast<LPBYTE>(&nine), 0));

  auto two = GetPrinter(h, 2);
  EXPECT_EQ(DevmodeBytes(reinterpret_cast<PRINTER_INFO_2W*>(two.data())->pDevMode), mine);
  auto level8 = GetPrinter(h, 8);
  EXPECT_EQ(DevmodeBytes(reinterpret_cast<PRINTER_INFO_8W*>(level8.data())->pDevMode), shared);
  auto level9 = GetPrinter(h, 9);
  EXPECT_EQ(DevmodeBytes(reinterpret_cast<PRINTER_INFO_9W*>(level9.data())->pDevMode), mine);

  // Another user sees the printer's default.
  ASSERT_TRUE(SetMachineSetting("user", "other"));
  two = GetPrinter(h, 2);
  EXPECT_EQ(DevmodeBytes(reinterpret_cast<PRINTER_INFO_2W*>(two.data())->pDevMode), shared);
  ASSERT_TRUE(SetMachineSetting("user", "user"));

  nine.pDevMode = nullptr;
  ASSERT_TRUE(SetPrinterW(h, 9, reinterpret_cast<LPBYTE>(&nine), 0));
  two = GetPrinter(h, 2);
  EXPECT_EQ(DevmodeBytes(reinterpret_cast<PRINTER_INFO_2W*>(two.data())->pDevMode), shared);
}

TEST_F(SpoolTest, DevmodesWithInsaneSizesAreNeitherStoredNorHandedOut) {
  HANDLE h = Open(u"Office");
  std::vector<BYTE> bad = MakeDevmode(0, 1);
  DEVMODEW* dm = reinterpret_cast<DEVMODEW*>(bad.data());
  dm->dmSize = 12;
  PRINTER_INFO_8W eight{dm};
  EXPECT_FALSE(SetPrinterW(h, 8, reinterpret_cast<LPBYTE>(&eight), 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  // A stored devmode whose sizes disagree with its length (a damaged record) reads as none.
  std::vector<BYTE> good = MakeDevmode(16, 1);
  ASSERT_EQ(UpdateSpoolPrinter(u"Office", [&](SpoolPrinter& p) {
              p.devmode.assign(reinterpret_cast<const char*>(good.data()), good.size() - 1);
            }),
            ERROR_SUCCESS);
  auto level8 = GetPrinter(h, 8);
  EXPECT_EQ(reinterpret_cast<PRINTER_INFO_8W*>(level8.data())->pDevMode, nullptr);
}

TEST_F(SpoolTest, OnlyAdministratorsGetAdministerRights) {
  ASSERT_TRUE(SetMachineSetting("administrator", "0"));
  EXPECT_EQ(Open(u"Office", PRINTER_ALL_ACCESS), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  HANDLE user = Open(u"Office", PRINTER_ACCESS_USE);
  ASSERT_NE(user, nullptr);
  auto two = GetPrinter(user, 2);
  EXPECT_FALSE(SetPrinterW(user, 2, reinterpret_cast<LPBYTE>(two.data()), 0));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  const std::vector<BYTE> mine = MakeDevmode(8, 3);
  PRINTER_INFO_9W nine{reinterpret_cast<LPDEVMODEW>(const_cast<BYTE*>(mine.data()))};
  EXPECT_TRUE(SetPrinterW(user, 9, reinterpret_cast<LPBYTE>(&nine), 0));  // a user's own default

  // A printer's own security can open it to everyone, or close it to everyone.
  ASSERT_EQ(AddPrinter(u"Open", u"", 0, SpoolAdminAccess::kEveryone), ERROR_SUCCESS);
  EXPECT_NE(Open(u"Open", PRINTER_ALL_ACCESS), nullptr);
  ASSERT_TRUE(SetMachineSetting("administrator", "1"));
  ASSERT_EQ(AddPrinter(u"Closed", u"\\\\SRV", 0, SpoolAdminAccess::kNobody), ERROR_SUCCESS);
  EXPECT_EQ(Open(u"\\\\SRV\\Closed", PRINTER_ALL_ACCESS), nullptr);
  EXPECT_NE(Open(u"\\\\SRV\\Closed", PRINTER_ACCESS_USE), nullptr);
}

TEST_F(SpoolTest, SetPrinterLevelTwoChangesTheRecordButNotWhatThePrinterIs) {
  HANDLE h = Open(u"Office");
  auto two = GetPrinter(h, 2);
  auto* info = reinterpret_cast<PRINTER_INFO_2W*>(two.data());
  std::u16string name = u"Office 2";
  std::u16string comment = u"second floor";
  info->pPrinterName = name.data();
  info->pComment = comment.data();
  info->Attributes = PRINTER_ATTRIBUTE_NETWORK | PRINTER_ATTRIBUTE_ENABLE_BIDI;
  ASSERT_TRUE(SetPrinterW(h, 2, reinterpret_cast<LPBYTE>(info), 0));
  const auto stored = FindSpoolPrinter(u"Office 2");
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->comment, comment);
  EXPECT_EQ(stored->attributes, PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_ENABLE_BIDI);
  EXPECT_FALSE(FindSpoolPrinter(u"Office"));

  ASSERT_EQ(AddPrinter(u"Taken"), ERROR_SUCCESS);
  std::u16string taken = u"taken";
  info->pPrinterName = taken.data();
  EXPECT_FALSE(SetPrinterW(h, 2, reinterpret_cast<LPBYTE>(info), 0));
  EXPECT_EQ(GetLastError(), ERROR_PRINTER_ALREADY_EXISTS);
  std::u16string driver = u"No Such Driver";
  info->pPrinterName = name.data();
  info->pDriverName = driver.data();
  EXPECT_FALSE(SetPrinterW(h, 2, reinterpret_cast<LPBYTE>(info), 0));
  EXPECT_EQ(GetLastError(), ERROR_UNKNOWN_PRINTER_DRIVER);

  EXPECT_TRUE(SetPrinterW(h, 0, nullptr, PRINTER_CONTROL_PAUSE));
  EXPECT_EQ(FindSpoolPrinter(u"Office 2")->status, PRINTER_STATUS_PAUSED);
}

TEST_F(SpoolTest, EnumPrintersTellsLocalPrintersFromConnections) {
  ASSERT_EQ(AddPrinter(u"Shared", u"", PRINTER_ATTRIBUTE_SHARED), ERROR_SUCCESS);
  ASSERT_EQ(AddPrinter(u"Remote", u"\\\\SRV"), ERROR_SUCCESS);
  auto names = [](DWORD flags) {
    DWORD needed = 0, count = 0;
    EnumPrintersW(flags, nullptr, 4, nullptr, 0, &needed, &count);
    auto buffer = AlignedBuffer(needed);
    EXPECT_TRUE(EnumPrintersW(flags, nullptr, 4, reinterpret_cast<BYTE*>(buffer.data()), needed, &needed, &count));
    std::vector<std::u16string> out;
    const auto* info = reinterpret_cast<PRINTER_INFO_4W*>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
      out.push_back(info[i].pPrinterName + (info[i].pServerName ? u" @" + std::u16string(info[i].pServerName) : u""));
    return out;
  };
  EXPECT_EQ(names(PRINTER_ENUM_LOCAL), (std::vector<std::u16string>{u"Office", u"Shared"}));
  EXPECT_EQ(names(PRINTER_ENUM_CONNECTIONS), (std::vector<std::u16string>{u"\\\\SRV\\Remote @\\\\SRV"}));
  EXPECT_EQ(names(PRINTER_ENUM_LOCAL | PRINTER_ENUM_SHARED), (std::vector<std::u16string>{u"Shared"}));

  DWORD needed = 0, count = 7;
  BYTE small[8];
  EXPECT_FALSE(EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, small, sizeof small, &needed, &count));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(count, 0u);
  EXPECT_GT(needed, 2 * sizeof(PRINTER_INFO_2W));
}

TEST_F(SpoolTest, RevertingToSelfHandsOutATokenThatImpersonationTakesBack) {
  EXPECT_TRUE(IsImpersonatingPrinterClient());
  HANDLE token = RevertToPrinterSelf();
  ASSERT_NE(token, nullptr);
  EXPECT_FALSE(IsImpersonatingPrinterClient());
  EXPECT_TRUE(ImpersonatePrinterClient(token));
  EXPECT_TRUE(IsImpersonatingPrinterClient());
  EXPECT_FALSE(ImpersonatePrinterClient(token));  // the token was closed
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

}  // namespace
}  // namespace velm::platform
