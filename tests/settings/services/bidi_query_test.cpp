// The device query against the fake device: trays, paper, media, options and memory into their
// items, the default trays, the answers it must not trust, failures that leave the settings as
// they were, and the switches and connector that keep it from asking.
#include <cstring>

#include "settings/services/bidi_query_fixture.h"
#include "settings/devmode/model_hooks.h"
#include "settings/persistence/options.h"

namespace {

constexpr WORD kTray1Field = 10111, kTray2Field = 10112, kTray3Field = 10113, kTray4Field = 10114;
constexpr WORD kLctField = 10136, kMpField = 10139;
constexpr WORD kTray1Orient = 10143, kTray2Orient = 10144;
constexpr WORD kTray1Paper = 10175, kTray2Paper = 10176, kTray3Paper = 10177, kTray4Paper = 10178;
constexpr WORD kMpPaper = 10203;
constexpr WORD kTray1Media = 10207, kTray2Media = 10208, kTray3Media = 10209, kTray4Media = 10210;
constexpr WORD kTray1Lock = 10239, kTray2Lock = 10240;
constexpr WORD kOneStepCount = 10110;

TEST_F(BidiQueryTest, TraysGiveTheirPresentPaperOrientationMediaAndLockItems) {
  Device(
      "model velm c5000\n"       // the name compares without regard to case
      "tray 3 23 1 1\n"          // Letter from the first table, plain, locked
      "tray 4 22 3 0\n"          // Letter from the second table: paper lies the other way; media 2
      "tray 5 2 2048 0\n"        // no paper, no media
      "tray 6 31 262 0\n"        // paper 28 and media 262, which the model's lists do not hold
      "tray 99 23 1 1\n"         // a tray the driver does not know
      "tray 2 21 9 0\n");        // the multi-purpose tray: Legal, media 264
  DriverContext* c = Context();
  OptSetValue(c, kLctField, 1);  // a tray the device no longer reports
  OptSetValue(c, kTray2Orient, 0);
  ASSERT_TRUE(BidiQuery(c, nullptr, 0)) << GetLastError();
  EXPECT_EQ(Get(c, kItemBiDirect), 1u);
  for (WORD field : {kTray1Field, kTray2Field, kTray3Field, kTray4Field, kMpField})
    EXPECT_EQ(Get(c, field), 1u) << field;
  EXPECT_EQ(Get(c, kLctField), 0u);
  EXPECT_EQ(Get(c, kTray1Paper), 1u);
  EXPECT_EQ(Get(c, kTray1Orient), 0u);
  EXPECT_EQ(Get(c, kTray2Paper), 1u);
  EXPECT_EQ(Get(c, kTray2Orient), 1u);
  EXPECT_EQ(Get(c, kTray3Paper), 0u);
  EXPECT_EQ(Get(c, kTray4Paper), 0u);
  EXPECT_EQ(Get(c, kMpPaper), 5u);
  EXPECT_EQ(Get(c, kTray1Media), 1u);
  EXPECT_EQ(Get(c, kTray2Media), 2u);
  EXPECT_EQ(Get(c, kTray3Media), 0u);
  EXPECT_EQ(Get(c, kTray4Media), 0u);
  EXPECT_EQ(Get(c, 10235), 264u);
  EXPECT_EQ(Get(c, kTray1Lock), 1u);
  EXPECT_EQ(Get(c, kTray2Lock), 0u);
  EXPECT_EQ(Calls(),
            "qnbidint init\nqnbidint open Velm Printer\nqnbidint close\n"  // the connection test
            "qnbidint init\nqnbidint open Velm Printer\nqnbidint model\nqnbidint query 0x2011c\n"
            "qnbidint record 1 size\nqnbidint record 1\nqnbidint record 20 size\nqnbidint record 20\n"
            "qnbidint record 21 size\nqnbidint record 21\nqnbidint record 23 size\nqnbidint record 23\n"
            "qnbidint record 2 size\nqnbidint record 11 size\nqnbidint record 8 size\n"
            "qnbidint class 15\nqnbidint classrecord 15 258 size\nqnbidint classrecord 15 2 size\n"
            "qnbidint classrecord 15 259 size\nqnbidint close\n");
}

TEST_F(BidiQueryTest, EachOptionalUnitSetsItsItemAndOnlyWhenReported) {
  DriverContext* c = Context();
  std::vector<WORD> items;
  for (const BidiOptionCodeRow* row = BidiGetOptionCodeTable(0); row->item; ++row) items.push_back(row->item);
  for (const BidiOptionCodeRow* row = BidiGetOptionCodeTable(0); row->item; ++row) {
    Device("model VELM C5000\noption " + std::to_string(row->code) + " 999\n");
    OptSetValue(c, kOneStepCount, 0);
    ASSERT_TRUE(BidiQuery(c, nullptr, 0)) << row->code;
    for (WORD item : items) EXPECT_EQ(Get(c, item), item == row->item ? 1u : 0u) << row->code << " " << item;
    EXPECT_EQ(Get(c, kOneStepCount), row->code == 101 ? 1u : 0u) << row->code;
  }
  Device("model VELM C5000\n");
  ASSERT_TRUE(BidiQuery(c, nullptr, 0));
  for (WORD item : items) EXPECT_EQ(Get(c, item), 0u) << item;
}

TEST_F(BidiQueryTest, MemoryTypeAndVersionsGoToTheirItems) {
  Device("model VELM C5000\nmemory 67108864\nmemorytype 2\nsystem 1.02 build 77 of a long text\nemulation E2.1\n");
  DriverContext* c = Context();
  OptSetValue(c, kItemPrinterMemoryType, 1);
  ASSERT_TRUE(BidiQuery(c, nullptr, 0));
  EXPECT_EQ(Get(c, kItemPrinterMemory), 65536u);
  EXPECT_EQ(Get(c, kItemPrinterMemoryType), 0u);
  EXPECT_EQ(Text(c, kItemSystemVersion), "1.02 build 77 o");  // cut to the field
  EXPECT_EQ(Text(c, kItemEmulationVersion), "E2.1");
  Device("model VELM C5000\nmemorytype 1\n");
  ASSERT_TRUE(BidiQuery(c, nullptr, 0));
  EXPECT_EQ(Get(c, kItemPrinterMemoryType), 1u);
  EXPECT_EQ(Get(c, kItemPrinterMemory), 65536u);  // no memory record: kept
  Device("model VELM C5000\nmemorytype 3\n");
  ASSERT_TRUE(BidiQuery(c, nullptr, 0));
  EXPECT_EQ(Get(c, kItemPrinterMemoryType), 1u);  // an unknown type changes nothing
  // A record of the caller's own takes the answers; the context's stays as it was.
  SettingsRecord other = *c->settings;
  const SettingsRecord before = *c->settings;
  Device("model VELM C5000\nmemory 2097152\n");
  ASSERT_TRUE(BidiQuery(c, &other, 0));
  EXPECT_EQ(std::memcmp(&before, c->settings, sizeof before), 0);
  DWORD memory = 0;
  std::memcpy(&memory, other.config + 44, 4);  // item 10012
  EXPECT_EQ(memory, 2048u);
}

TEST_F(BidiQueryTest, TheDefaultTraysFollowThePriorityList) {
  DriverContext* c = Context();
  const auto query = [&](const std::string& trays) {
    OptSetValue(c, kItemCoverDefTray, 77);
    OptSetValue(c, kItemMPDefTray, 77);
    Device("model VELM C5000\n" + trays);
    EXPECT_TRUE(BidiQuery(c, nullptr, 0));
    return std::make_pair(Get(c, kItemCoverDefTray), Get(c, kItemMPDefTray));
  };
  EXPECT_EQ(query("tray 1 23 1 4\ntray 5 23 1 4\ntray 7 23 1 8\n"), std::make_pair(2u, 11u));
  EXPECT_EQ(query("tray 2 23 1 12\ntray 1 23 1 0\n"), std::make_pair(4u, 4u));
  // 8 is listed before 11 but has no tray slot: its tray value is 0.
  EXPECT_EQ(query("tray 11 23 1 4\ntray 8 0 0 4\n"), std::make_pair(0u, 77u));
  // 12 is not listed: it never wins, and tray 3 is taken for it.
  EXPECT_EQ(query("tray 12 23 1 8\n"), std::make_pair(77u, 1u));
  // Trays the driver does not know do not count; no tray with the bit leaves the items alone.
  EXPECT_EQ(query("tray 99 23 1 12\ntray 4 23 1 0\n"), std::make_pair(77u, 77u));
}

TEST_F(BidiQueryTest, AnswersAreTakenOnlyAsFarAsTheyReach) {
  DriverContext* c = Context();
  OptSetValue(c, kTray2Paper, 9);
  // Record 1 holds one whole identifier and a part of another; record 20 covers the first tray
  // only; record 21 is missing, so media takes its default; the memory record is longer than any
  // answer may be and is passed over; the system version has no terminator.
  Device(
      "model VELM C5000\n"
      "record 1 03000000 04000000 05\n"
      "record 20 17000000\n"
      "record 21\n"
      "record 23 01000000 01000000\n"
      "memory 1048576\nsize record:11 100000\n"
      "record 8 3100 2E00 3200\n"
      "claim record:20 4000\n");
  ASSERT_TRUE(BidiQuery(c, nullptr, 0)) << GetLastError();
  EXPECT_EQ(Get(c, kTray1Field), 1u);
  EXPECT_EQ(Get(c, kTray2Field), 1u);
  EXPECT_EQ(Get(c, kTray3Field), 0u);
  EXPECT_EQ(Get(c, kTray1Paper), 1u);
  EXPECT_EQ(Get(c, kTray2Paper), 9u);
  EXPECT_EQ(Get(c, kTray1Media), 1u);
  EXPECT_EQ(Get(c, kTray2Media), 1u);
  EXPECT_NE(Get(c, kItemPrinterMemory), 1024u);
  EXPECT_EQ(Text(c, kItemSystemVersion), "1.2");
  // Error 102 and a class size query refused with error 5 that gives a size still go on.
  Device("model VELM C5000\nfail query 102\nfail class 102\nfail classsize:258 5\nmemorytype 2\n");
  OptSetValue(c, kItemPrinterMemoryType, 1);
  ASSERT_TRUE(BidiQuery(c, nullptr, 0));
  EXPECT_EQ(Get(c, kItemPrinterMemoryType), 0u);
}

// What a failed query may change: vdmBiDirect and the two version items.
void ExpectRecordUnchanged(DriverContext* c, const SettingsRecord& before) {
  SettingsRecord expected = before;
  SettingsRecord now = *c->settings;
  for (SettingsRecord* r : {&expected, &now}) {
    r->devmode.bytes[1245] = 0;
    std::memset(r->config + 208, 0, 32);
  }
  EXPECT_EQ(std::memcmp(&expected, &now, sizeof now), 0);
  EXPECT_EQ(Get(c, kItemBiDirect), 0u);
  EXPECT_EQ(Text(c, kItemSystemVersion), "");
  EXPECT_EQ(Text(c, kItemEmulationVersion), "");
}

TEST_F(BidiQueryTest, AFailedOrAbsentLibraryLeavesTheSettingsAsTheyWere) {
  DriverContext* c = Context();
  OptSetValue(c, kTray1Field, 1);
  OptSetValue(c, kTray1Paper, 9);
  OptSetValue(c, 10014, 1);
  SetText(c, kItemSystemVersion, u"old");
  OptSetValue(c, kItemBiDirect, 1);
  const std::string good = "model VELM C5000\ntray 4 23 1 0\noption 15\nmemory 1048576\nsystem 2.0\n";
  const struct {
    std::string device;
    DWORD error;
  } cases[] = {
      {good + "fail classrecord:2\n", ERROR_GEN_FAILURE},  // halfway: trays and options applied
      {good + "timeout record:23\n", ERROR_TIMEOUT},
      {good + "fail record:1 6\n", ERROR_INVALID_HANDLE},
      {good + "fail query 31\n", ERROR_GEN_FAILURE},
      {good + "fail class 8\n", ERROR_NOT_ENOUGH_MEMORY},
      {good + "openstatus 0\n", ERROR_INVALID_PRINTER_STATE},
      {good + "fail init 50\n", ERROR_NOT_SUPPORTED},
      {"model VELM C6000\n", ERROR_NOT_SUPPORTED},        // another model
      {"", ERROR_TIMEOUT},                                  // no device answers
  };
  for (const auto& test : cases) {
    SetText(c, kItemSystemVersion, u"old");
    const SettingsRecord before = *c->settings;
    if (test.device.empty())
      std::filesystem::remove(velm::platform::MachineStore("bidi") / "device.txt");
    else
      Device(test.device);
    EXPECT_FALSE(BidiQuery(c, nullptr, 0)) << test.device;
    EXPECT_EQ(GetLastError(), test.error) << test.device;
    ExpectRecordUnchanged(c, before);
  }
  std::filesystem::remove(velm::platform::MachineStore("bidi") / "device.txt");
  std::filesystem::remove(DriverFile("qnbidint.dll"));
  const SettingsRecord before = *c->settings;
  EXPECT_FALSE(BidiQuery(c, nullptr, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  ExpectRecordUnchanged(c, before);
  // Nothing was saved anywhere.
  EXPECT_EQ(Data(u"BidiFlag"), "<absent>");
  EXPECT_EQ(Data(u"Tray2Paper"), "<absent>");
  EXPECT_EQ(UserIniText(), "");
}

TEST_F(BidiQueryTest, SwitchesAndTheQueueDecideWhetherTheDeviceIsAsked) {
  Device("model VELM C6000\ntray 3 23 1 0\n");
  DriverContext* c = Context();
  OptSetValue(c, kItemBiDirect, 1);
  Switch(c, u"bIsBIDISupportForVELM", u"0");
  EXPECT_TRUE(BidiQuery(c, nullptr, 0));
  EXPECT_EQ(Get(c, kItemBiDirect), 0u);
  EXPECT_EQ(Get(c, kTray1Field), 0u);
  EXPECT_EQ(Calls(), "");  // the library was not even loaded
  Switch(c, u"bIsBIDISupportForVELM", u"1");
  EXPECT_FALSE(BidiQuery(c, nullptr, 0));  // a C6000 answers
  Switch(c, u"bIsBIDISupportForVELMModel", u"2");  // only 1 is on
  Calls();
  EXPECT_TRUE(BidiQuery(c, nullptr, 0));
  EXPECT_EQ(Get(c, kTray1Field), 1u);
  EXPECT_EQ(Calls().find("model"), std::string::npos);

  // A queue without bidirectional support is not asked.
  velm::tools::PrinterOptions plain;
  plain.name = u"Plain";
  std::string error;
  ASSERT_TRUE(velm::tools::AddPrinter(plain, &error)) << error;
  PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE h = nullptr;
  ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"Plain"), &h, &defaults));
  opened_.push_back(h);
  DriverContext* plainContext = Context(h);
  Calls();
  EXPECT_FALSE(BidiQuery(plainContext, nullptr, 0));
  EXPECT_EQ(Calls(), "");
}

TEST_F(BidiQueryTest, TheShortQueryReadsOnlyVersionsAndTheWin9xLibraryOnlyOnThatPlatform) {
  Device("model VELM C5000\ntray 3 23 1 0\nmemory 1048576\nmemorytype 2\nsystem S1\nemulation E1\n");
  DriverContext* c = Context();
  OptSetValue(c, kItemPrinterMemoryType, 1);
  ASSERT_TRUE(BidiQuery(c, nullptr, kBidiQueryShort | kBidiUse9xLibrary));
  EXPECT_EQ(Get(c, kTray1Field), 0u);
  EXPECT_NE(Get(c, kItemPrinterMemory), 1024u);
  EXPECT_EQ(Get(c, kItemPrinterMemoryType), 0u);
  EXPECT_EQ(Text(c, kItemSystemVersion), "S1");
  EXPECT_EQ(Text(c, kItemEmulationVersion), "E1");
  const std::string calls = Calls();
  EXPECT_NE(calls.find("qnbidint query 0x104"), std::string::npos);
  EXPECT_EQ(calls.find("qnbidi9x"), std::string::npos);
  ASSERT_TRUE(velm::platform::SetMachineSetting("os", "9x"));
  const BOOL queried = BidiQueryDevice(c);
  ASSERT_TRUE(velm::platform::EraseMachineSetting("os"));
  EXPECT_TRUE(queried);
  EXPECT_NE(Calls().find("qnbidi9x query 0x2011c"), std::string::npos);
}

TEST_F(BidiQueryTest, APrinterTheConnectorServesIsNotAsked) {
  Device("model VELM C5000\ntray 3 23 1 0\n");
  DriverContext* c = Context();
  EXPECT_EQ(BidiGetConnectorState(c), kBidiConnectorNone);
  ASSERT_TRUE(velm::platform::SetMachineSetting("terminal_server", "1"));
  SysResetTerminalServerCache();
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\QUIRN\\Orvane Printer Driver", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const DWORD one = 1;
  ASSERT_EQ(RegSetValueExW(key, u"TQBIDI_FLG", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_FALSE(BidiIsConnectorInstalled());  // the library file is missing
  velm::test::WriteHostFile(root_.OnDriveC("Windows/System32/TQBIDISS.dll"), "");
  EXPECT_TRUE(BidiIsConnectorInstalled());
  EXPECT_EQ(BidiGetConnectorState(c), kBidiConnectorIdle);
  SetData(u"TorbelConnection", 1);
  EXPECT_EQ(BidiGetConnectorState(c), kBidiConnectorServes);
  Calls();
  EXPECT_TRUE(BidiQuery(c, nullptr, 0));
  SysResetTerminalServerCache();
  EXPECT_EQ(Calls(), "");
  EXPECT_EQ(Get(c, kTray1Field), 0u);
}

}  // namespace
