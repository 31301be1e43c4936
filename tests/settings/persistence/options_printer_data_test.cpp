// Items stored in printer data: encodings, the round trip, short and long values, the section-2
// save rules and the load on open.
#include <cstring>

#include "settings/persistence/options_fixture.h"
#include "settings/persistence/printer_data.h"
#include "settings/items/settings_record.h"

namespace {

constexpr WORD kServerUse = 10001;   // u8 "ServerUse"
constexpr WORD kUserCodeUse = 10002; // u8 "UserCodeUse"
constexpr WORD kRam = 10012;         // u32 "RAM"
constexpr WORD kDuplex = 10014;      // bit "Duplex"
constexpr WORD kTray1Paper = 10175;  // s16 "Tray1Paper"
constexpr WORD kModelCode = 10274;   // ANSI 33 "Other"
constexpr WORD kLogging = 10275;     // u32 "Logging", REG_DWORD

TEST_F(OptionPersistenceTest, EveryKindOfItemRoundTripsThroughPrinterData) {
  DriverContext* c = Context(printer_);
  OptSetValue(c, kServerUse, 0xAB);
  OptSetValue(c, kTray1Paper, static_cast<DWORD>(-3));
  OptSetValue(c, kRam, 0xF0000001);
  OptSetValue(c, kDuplex, 1);
  OptSetString(c, Row(c, kModelCode), u"0101870207d014");
  OptSetValue(c, kLogging, 7);
  ASSERT_EQ(CfgSaveClass(printer_, c, kSectionConfig, 0), 1);

  EXPECT_EQ(Data(u"ServerUse").type, REG_BINARY);
  EXPECT_EQ(Data(u"ServerUse").bytes, Le(0xAB, 1));
  EXPECT_EQ(Data(u"Tray1Paper").bytes, Le(0xFFFD, 2));
  EXPECT_EQ(Data(u"RAM").bytes, Le(0xF0000001, 4));
  EXPECT_EQ(Data(u"Duplex").type, REG_BINARY);
  EXPECT_EQ(Data(u"Duplex").bytes, Le(1, 4));
  const Value model = Data(u"Other");
  EXPECT_EQ(model.type, REG_BINARY);
  ASSERT_EQ(model.bytes.size(), 33u);  // the whole field, not the text
  EXPECT_EQ(model.bytes.substr(0, 15), std::string("0101870207d014\0", 15));
  EXPECT_EQ(Data(u"Logging").type, REG_DWORD);
  EXPECT_EQ(Data(u"Logging").bytes, Le(7, 4));

  DriverContext* fresh = Context(printer_);
  CfgLoadClass(printer_, fresh, kSectionConfig, 0, nullptr);
  EXPECT_EQ(OptGetValue(fresh, kServerUse), 0xABu);
  EXPECT_EQ(OptGetValue(fresh, kTray1Paper), static_cast<DWORD>(-3));
  EXPECT_EQ(OptGetValue(fresh, kRam), 0xF0000001u);
  EXPECT_EQ(OptGetValue(fresh, kDuplex), 1u);
  EXPECT_EQ(OptGetValue(fresh, kLogging), 7u);
  EXPECT_EQ(std::memcmp(OptGetItemAddress(fresh, Row(fresh, kModelCode)), OptGetItemAddress(c, Row(c, kModelCode)), 33),
            0);
}

TEST_F(OptionPersistenceTest, WideStringsTravelAsTheirWholeField) {
  DriverContext* c = Context(printer_);
  // No section-2 row is wide text yet: the model-code field serves as one of 32 bytes.
  ItemTableRow* row = Row(c, kModelCode);
  row->descriptor = MakeItemDescriptor(kSectionConfig, kTypeWide, 32);
  OptSetString(c, row, u"\u00e9t\u00e9");
  ASSERT_TRUE(CfgWritePrinterDataEntry(printer_, c, row));
  const Value v = Data(u"Other");
  EXPECT_EQ(v.type, REG_BINARY);
  EXPECT_EQ(v.bytes, std::string("\xe9\0t\0\xe9\0", 6) + std::string(26, '\0'));
  OptSetString(c, row, u"");
  ASSERT_TRUE(CfgReadPrinterDataEntry(printer_, c, row, 0, nullptr));
  WCHAR text[20];
  OptGetString(c, row, text, 20);
  EXPECT_EQ(std::u16string(text), u"\u00e9t\u00e9");
}

TEST_F(OptionPersistenceTest, ShortValuesReadZeroExtendedAndLongOnesFailAlone) {
  DriverContext* c = Context(printer_);
  OptSetValue(c, kRam, 0xFFFFFFFF);
  OptSetValue(c, kTray1Paper, 77);
  OptSetString(c, Row(c, kModelCode), u"old text that is long");
  SetData(u"RAM", REG_BINARY, Le(0x1234, 2));
  SetData(u"Tray1Paper", REG_BINARY, Le(5, 4));          // two bytes too many
  SetData(u"Other", REG_BINARY, std::string("new", 3));  // no terminator, shorter than the field
  SetData(u"Duplex", REG_BINARY, Le(1, 4));

  EXPECT_TRUE(CfgReadPrinterDataEntry(printer_, c, Row(c, kRam), 0, nullptr));
  EXPECT_FALSE(CfgReadPrinterDataEntry(printer_, c, Row(c, kTray1Paper), 0, nullptr));
  EXPECT_EQ(OptGetValue(c, kRam), 0x1234u);
  EXPECT_EQ(OptGetValue(c, kTray1Paper), 77u);
  EXPECT_FALSE(CfgReadPrinterDataEntry(printer_, c, Row(c, kUserCodeUse), 0, nullptr));  // absent

  OptSetValue(c, kDuplex, 0);
  CfgLoadClass(printer_, c, kSectionConfig, 0, nullptr);  // the long value does not stop the walk
  EXPECT_EQ(OptGetValue(c, kDuplex), 1u);
  const BYTE* field = OptGetItemAddress(c, Row(c, kModelCode));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(field), 33), std::string("new", 3) + std::string(30, '\0'));
}

TEST_F(OptionPersistenceTest, ServerValuesAreReadThroughTheCallersReaderAndKeptLocally) {
  struct Server {
    std::u16string asked;
    std::string value = Le(512, 4);
  } server;
  const CfgServerValueReader reader{
      &server,
      [](void* s, const WCHAR* key, const WCHAR* name, DWORD* bytes) -> BOOL {
        auto& self = *static_cast<Server*>(s);
        self.asked = std::u16string(key) + u"\\" + name;
        *bytes = static_cast<DWORD>(self.value.size());
        return TRUE;
      },
      [](void* s, const WCHAR*, const WCHAR*, BYTE* data, DWORD bytes) -> BOOL {
        std::memcpy(data, static_cast<Server*>(s)->value.data(), bytes);
        return TRUE;
      }};
  DriverContext* c = Context(printer_);
  ASSERT_TRUE(CfgReadPrinterDataEntry(printer_, c, Row(c, kRam), kCfgFromServer, &reader));
  EXPECT_EQ(server.asked, u"PrinterDriverData\\RAM");
  EXPECT_EQ(OptGetValue(c, kRam), 512u);
  EXPECT_EQ(Data(u"RAM").bytes, Le(512, 4));
  server.value = Le(9, 2);  // not the item's size: neither taken nor kept
  EXPECT_FALSE(CfgReadPrinterDataEntry(printer_, c, Row(c, kRam), kCfgFromServer, &reader));
  EXPECT_EQ(OptGetValue(c, kRam), 512u);
  EXPECT_FALSE(CfgReadPrinterDataEntry(printer_, c, Row(c, kRam), kCfgFromServer, nullptr));
}

TEST_F(OptionPersistenceTest, SectionTwoSaveOfAnOrdinaryContextWritesOnlyChangedValues) {
  DriverContext* c = Context(printer_, kKindOrdinary);
  // Nothing stored yet: the open wrote nothing but the seeded font lists.
  EXPECT_EQ(Data(u"RAM").error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  OptSetValue(c, kRam, 256);
  ASSERT_EQ(CfgSaveClass(printer_, c, kSectionConfig, 0), 1);
  EXPECT_EQ(Data(u"RAM").bytes, Le(256, 4));
  EXPECT_EQ(Data(u"Duplex").error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(Data(u"ServerUse").error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  // Every device-information value, changed or not, and nothing else.
  ASSERT_EQ(CfgSaveClass(printer_, c, kSectionConfig, kCfgSaveAllDeviceInfo), 1);
  EXPECT_EQ(Data(u"Duplex").bytes, Le(OptGetValue(c, 10014), 4));
  EXPECT_EQ(Data(u"Tray1Lock").error, static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(Data(u"Other").error, static_cast<DWORD>(ERROR_SUCCESS));      // 10274
  EXPECT_EQ(Data(u"CoverTray").error, static_cast<DWORD>(ERROR_SUCCESS));  // 10276
  EXPECT_EQ(Data(u"DllUserCode").error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));  // 10273
  EXPECT_EQ(Data(u"Logging").error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));      // 10275
  EXPECT_EQ(Data(u"ServerUse").error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(OptionPersistenceTest, UserCodeRowsOfAServerPrinterWithoutAServerCodeAreNotSaved) {
  std::string error;
  velm::tools::PrinterOptions options;
  options.serverName = u"\\\\SERVER";
  ASSERT_TRUE(velm::tools::AddPrinter(options, &error)) << error;
  printer_ = Open(velm::tools::PrinterFullName(options));
  DriverContext* c = Context(printer_);
  OptSetValue(c, kUserCodeUse, 1);
  ASSERT_EQ(CfgSaveClass(printer_, c, kSectionConfig, 0), 1);
  EXPECT_EQ(Data(u"UserCodeUse").error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(Data(u"ServerUse").bytes, Le(0, 1));
  OptSetValue(c, kServerUse, 1);
  ASSERT_EQ(CfgSaveClass(printer_, c, kSectionConfig, 0), 1);
  EXPECT_EQ(Data(u"UserCodeUse").bytes, Le(1, 1));
}

TEST_F(OptionPersistenceTest, ASaveWithoutPermissionReportsFailureAndWritesNothing) {
  HANDLE user = Open(u"Velm Printer", PRINTER_ACCESS_USE);
  DriverContext* c = Context(user);
  OptSetValue(c, kRam, 64);
  EXPECT_EQ(CfgSaveClass(user, c, kSectionConfig, 0), 0);
  EXPECT_EQ(Data(u"RAM").error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(OptionPersistenceTest, AnOrdinaryOpenLoadsThePrintersStoredValues) {
  SetData(u"RAM", REG_BINARY, Le(1024, 4));
  SetData(u"Tray1Paper", REG_BINARY, Le(9, 2));
  DriverContext* c = Context(printer_, kKindOrdinary);
  EXPECT_EQ(OptGetValue(c, kRam), 1024u);
  EXPECT_EQ(OptGetValue(c, kTray1Paper), 9u);
  // The snapshot follows the load, so nothing counts as changed yet.
  EXPECT_EQ(OptGetSavedValue(c, kRam), 1024u);
}

TEST_F(OptionPersistenceTest, PrinterDataReadsZeroTheBufferFirst) {
  SetData(u"Short", REG_BINARY, "\x01");
  BYTE buffer[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  DWORD read = 0;
  ASSERT_TRUE(PrnGetData(printer_, u"Short", buffer, 4, &read));
  EXPECT_EQ(read, 1u);
  EXPECT_EQ(DmLoadU32(buffer, 0), 1u);
  std::memset(buffer, 0xEE, 4);
  SetData(u"Long", REG_BINARY, Le(0x01020304, 4) + "x");
  EXPECT_FALSE(PrnGetData(printer_, u"Long", buffer, 4, &read));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MORE_DATA));
  EXPECT_EQ(DmLoadU32(buffer, 0), 0u);
}

}  // namespace
