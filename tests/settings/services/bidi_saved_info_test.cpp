// What a device query leaves behind: the device information in printer data for the next
// context, the flags in printer data and "qnuser.ini", the keys of "qnuser.ini" that clearing
// the saved information removes and those it keeps, and what an opening context concludes.
#include "settings/services/bidi_query_fixture.h"
#include "settings/persistence/options.h"

namespace {

constexpr WORD kTray1Field = 10111, kTray1Paper = 10175, kMailBox2 = 10057;
constexpr WORD kServerClientMode = 723;

const std::string kDevice = "model VELM C5000\ntray 3 23 1 0\noption 15\nmemory 33554432\n";

TEST_F(BidiQueryTest, TheResultIsKeptForAFreshContext) {
  Device(kDevice);
  DriverContext* c = Context();
  ASSERT_TRUE(BidiQuery(c, nullptr, 0));
  Close(c);
  EXPECT_EQ(Data(u"BidiFlag"), std::string("\1\0\0\0", 4));
  EXPECT_EQ(Data(u"RAM"), std::string("\0\x80\0\0", 4));

  DriverContext* fresh = Context();
  EXPECT_EQ(Get(fresh, kTray1Field), 1u);
  EXPECT_EQ(Get(fresh, kTray1Paper), 1u);
  EXPECT_EQ(Get(fresh, kMailBox2), 1u);
  EXPECT_EQ(Get(fresh, kItemPrinterMemory), 32768u);
  Calls();
  ASSERT_TRUE(BidiRefreshOnOpen(fresh, TRUE));
  EXPECT_EQ(Get(fresh, kItemBiDirect), 1u);
  EXPECT_EQ(Calls(), "");  // the flag says a query succeeded: the device is not asked again
}

TEST_F(BidiQueryTest, APrivilegedQueryClearsTheSavedKeysAndKeepsTheOthers) {
  Device(kDevice);
  WriteUserIni(
      "[Other Printer]\r\nBidiFlag=1\r\nvdmPrinterMemory=5\r\n"
      "[Velm Printer]\r\nBidiFlag=1\r\nRstVersion=200\r\nBidiExFlag=1\r\nvdmPrinterMemory=123\r\n"
      "VDMTRAYPAPERTRAY1=9\r\n; a note\r\nCustom=x\r\n");
  DriverContext* c = Context();  // the open moves the saved information over and clears it
  EXPECT_FALSE(BidiGetSavedFlag(c));
  EXPECT_EQ(UserIniText(),
            "[Velm Printer]\r\nBidiExFlag=1\r\n; a note\r\nCustom=x\r\n"
            "[Other Printer]\r\nBidiFlag=1\r\nvdmPrinterMemory=5\r\n");
  WriteUserIni("[Velm Printer]\r\nBidiFlag=1\r\nBidiExFlag=0\r\n");
  ASSERT_TRUE(BidiQuery(c, nullptr, 0));
  EXPECT_EQ(UserIniText(), "[Velm Printer]\r\nBidiExFlag=0\r\n");
  // A section that held only saved keys goes altogether.
  WriteUserIni("[Velm Printer]\r\nBidiFlag=1\r\nvdmPrinterMemory=123\r\n[Other Printer]\r\nA=1\r\n");
  EXPECT_TRUE(BidiClearSavedSection(c));
  EXPECT_EQ(UserIniText(), "[Other Printer]\r\nA=1\r\n");
}

TEST_F(BidiQueryTest, AClientThatMayNotWritePrinterDataKeepsTheResultInItsContext) {
  Device(kDevice);
  WriteUserIni("[Velm Printer]\r\nBidiExFlag=1\r\n");
  DriverContext* c = Context(Open(PRINTER_ACCESS_USE));
  EXPECT_FALSE(BidiCanWritePrinterData(c));
  ASSERT_TRUE(BidiQuery(c, nullptr, 0));
  EXPECT_EQ(Get(c, kItemBiDirect), 1u);
  EXPECT_EQ(Get(c, kTray1Field), 1u);
  EXPECT_EQ(Data(u"BidiFlag"), "<absent>");
  EXPECT_EQ(Data(u"RAM"), "<absent>");
  EXPECT_NE(UserIniText().find("BidiExFlag=1"), std::string::npos);
}

TEST_F(BidiQueryTest, AClientsResultReachesTheNextPrivilegedOpenThroughTheUserIni) {
  Device(kDevice);
  UserIni();  // the shared settings folder, as installing makes it
  DriverContext* client = Context(Open(PRINTER_ACCESS_USE));
  ASSERT_TRUE(BidiQuery(client, nullptr, 0));
  Close(client);
  EXPECT_NE(UserIniText().find("BidiFlag=1"), std::string::npos) << UserIniText();
  EXPECT_EQ(Data(u"RAM"), "<absent>");

  DriverContext* admin = Context();  // may write printer data: takes the saved result over
  EXPECT_EQ(Get(admin, kItemPrinterMemory), 32768u);
  EXPECT_EQ(Get(admin, kTray1Field), 1u);
  EXPECT_EQ(Data(u"RAM"), std::string("\0\x80\0\0", 4));
  EXPECT_EQ(UserIniText().find("BidiFlag=1"), std::string::npos) << UserIniText();
}

TEST_F(BidiQueryTest, TheSavedFlagIsAbsentUnlessWritten) {
  UserIni();  // the shared settings folder, as installing makes it
  DriverContext* c = Context();
  EXPECT_EQ(BidiReadSavedFlag(c), kBidiSavedFlagAbsent);
  EXPECT_FALSE(BidiGetSavedFlag(c));
  ASSERT_TRUE(BidiSetSavedFlag(c, 0));
  EXPECT_EQ(BidiReadSavedFlag(c), 0u);
  EXPECT_FALSE(BidiGetSavedFlag(c));
  ASSERT_TRUE(BidiSetSavedFlag(c, 1));
  EXPECT_TRUE(BidiGetSavedFlag(c));
  EXPECT_FALSE(BidiGetPrinterDataFlag(c));
  EXPECT_TRUE(BidiCanWritePrinterData(c));
  EXPECT_EQ(Data(u"BidiFlag"), std::string(4, '\0'));  // written back as it read: absent is 0
}

TEST_F(BidiQueryTest, RefreshOnOpenTakesTheFlagFromTheRightPlace) {
  Device(kDevice);
  DriverContext* c = Context();
  const struct {
    DWORD serverClient;
    const WCHAR* userFlag;  // null: absent
    DWORD dataFlag;
    BOOL query;
    DWORD biDirect;
    bool asked;
  } cases[] = {
      {0, nullptr, 1, TRUE, 1, false},  // no flag in qnuser.ini: printer data decides
      {0, u"0", 1, FALSE, 0, false},    // else qnuser.ini decides
      {0, u"1", 0, TRUE, 1, false},
      {1, u"1", 0, FALSE, 0, false},    // a client of a server printer: printer data decides
      {1, u"0", 1, TRUE, 1, false},
      {0, nullptr, 0, TRUE, 1, true},   // no query succeeded yet: ask the device
      {0, nullptr, 2, TRUE, 1, true},   // only bit 0 counts
  };
  for (const auto& test : cases) {
    OptSetValue(c, kServerClientMode, test.serverClient);
    OptSetValue(c, kItemBiDirect, 7);
    if (test.userFlag)
      ASSERT_TRUE(BidiSetSavedFlag(c, test.userFlag[0] == u'1'));
    else
      WriteUserIni("");
    SetData(u"BidiFlag", test.dataFlag);
    Calls();
    EXPECT_TRUE(BidiRefreshOnOpen(c, test.query));
    EXPECT_EQ(Get(c, kItemBiDirect), test.biDirect) << test.serverClient << " " << test.dataFlag;
    EXPECT_EQ(Calls().find("query") != std::string::npos, test.asked) << test.serverClient << " " << test.dataFlag;
  }
  // A set flag gives vdmBiDirect the query switch.
  Switch(c, u"bIsBIDISupportForVELM", u"0");
  SetData(u"BidiFlag", 1);
  ASSERT_TRUE(BidiRefreshOnOpen(c, TRUE));
  EXPECT_EQ(Get(c, kItemBiDirect), 0u);
}

}  // namespace
