// The job-control bridge: which items each mask moves between the option store, printer data and
// the service; the passwords kept out of printer data; clearing; the language record; the
// notify calls and the synchronisation at load.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "core/machine_root.h"
#include "data/item_ids.h"
#include "settings/items/table.h"
#include "settings/services/job_credentials.h"
#include "ui2k/entry/entry_fixture.h"
#include "ui2k/install/job_control_bridge.h"

namespace velm::test {
namespace {

struct KindCase {
  DWORD kind;
  WORD item;
  const char16_t* altName;  // null: kept out of printer data
  const char16_t* value;
};
const KindCase kKinds[] = {
    {1, kItemUserCode, u"JcUserCode", u"1234"},      {2, kItemOwnerName, u"JcOwnerName", u"Owner"},
    {3, kItemJOBPassword, nullptr, u"9876"},       {4, kItemUserID, u"JcUserID", u"uid7"},
    {5, kItemDocumentName, u"JcDocumentName", u"Doc"}, {6, kItemTelNo, u"JcTelNo", u"5550100"},
    {7, kItemTelLine, u"JcTelLine", u"3"},          {8, kItemStoredPassword, nullptr, u"4321"},
};

class BridgeTest : public EntryTest {
 protected:
  void SetUp() override {
    EntryTest::SetUp();
    ASSERT_TRUE(std::filesystem::exists(root_.OnDriveC("Windows/System32/spool/drivers/w32x86/3/qnjobcr.dll")));
    std::filesystem::remove(platform::MachineStore("jobcr") / "calls.log");
  }
  void TearDown() override {
    for (UiContext* ui : contexts_) {
      JcBridgeClose(ui);
      UiDestroyContext(ui);
    }
    platform::EraseMachineSetting("qnjobcr_versions");
    platform::EraseMachineSetting("qnjobcr_fail_open");
    EntryTest::TearDown();
  }
  UiContext* NewContext() {
    CtxFlushCache(1);
    UiContext* ui = UiCreateContext(printer_, 0, kKindOrdinary, kUiCreateSheet, 0, nullptr);
    EXPECT_NE(ui, nullptr);
    contexts_.push_back(ui);
    return ui;
  }
  static std::u16string Text(UiContext* ui, WORD item) {
    if (item == kItemTelLine) return std::u16string(1, static_cast<char16_t>(u'0' + OptGetValue(ui->driver, item)));
    WCHAR text[80] = {};
    OptGetString(ui->driver, OptFindItem(ui->driver->itemTable, item), text, 80);
    return text;
  }
  static void Set(UiContext* ui, const KindCase& c) {
    if (c.item == kItemTelLine) {
      ASSERT_TRUE(OptSetValue(ui->driver, c.item, static_cast<DWORD>(c.value[0] - u'0')));
    } else {
      ASSERT_TRUE(OptSetString(ui->driver, OptFindItem(ui->driver->itemTable, c.item), c.value));
    }
  }
  void SetAll(UiContext* ui) {
    for (const KindCase& c : kKinds) Set(ui, c);
  }
  bool HasValue(const char16_t* name) {
    BYTE data[256];
    DWORD type = 0, needed = 0;
    return GetPrinterDataW(printer_, const_cast<LPWSTR>(name), &type, data, sizeof data, &needed) == ERROR_SUCCESS;
  }
  // Every printer-data value's bytes, one after the other.
  std::string AllPrinterData() {
    std::string all;
    for (DWORD i = 0;; ++i) {
      WCHAR name[256];
      BYTE data[4096];
      DWORD nameBytes = 0, type = 0, dataBytes = 0;
      if (EnumPrinterDataW(printer_, i, name, sizeof name, &nameBytes, &type, data, sizeof data, &dataBytes) !=
          ERROR_SUCCESS)
        break;
      all.append(reinterpret_cast<const char*>(data), dataBytes);
    }
    return all;
  }
  static std::string ServiceLog() {
    std::ifstream in(platform::MachineStore("jobcr") / "calls.log");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::vector<UiContext*> contexts_;
};

TEST_F(BridgeTest, AKindOtherThanTheEightIsRefused) {
  WORD item = 0;
  EXPECT_EQ(JcBridgeItemOfKind(9, &item), 0x20000001u);
  EXPECT_EQ(JcBridgeItemOfKind(0, &item), 0x20000001u);
  EXPECT_EQ(JcBridgeItemOfKind(256, &item), 0x20000001u);
  EXPECT_EQ(JcBridgeItemOfKind(7, &item), 0u);
  EXPECT_EQ(item, kItemTelLine);
}

TEST_F(BridgeTest, EachMaskBitMovesExactlyItsItemThroughPrinterDataAndTheService) {
  for (const KindCase& c : kKinds) {
    SCOPED_TRACE(static_cast<int>(c.kind));
    const DWORD mask = 1u << (c.kind - 1);
    for (const KindCase& other : kKinds)
      if (other.altName) DeletePrinterDataW(printer_, const_cast<LPWSTR>(other.altName));
    std::filesystem::remove(platform::MachineStore("jobcr") / "calls.log");
    UiContext* writer = NewContext();
    SetAll(writer);
    EXPECT_EQ(JcBridgeStoreOptions(writer, mask), TRUE);
    ASSERT_EQ(JcBridgeOpen(writer), 0u);
    EXPECT_EQ(JcBridgeWriteOptions(writer, mask), 0u);
    JcBridgeClose(writer);
    EXPECT_EQ(ServiceLog(), "write Velm Printer " + std::to_string(c.kind) + "\n");
    for (const KindCase& other : kKinds) {
      if (other.altName) {
        EXPECT_EQ(HasValue(other.altName), other.kind == c.kind && c.altName != nullptr);
      }
    }

    UiContext* fromData = NewContext();
    const std::u16string before = Text(fromData, c.item);
    JcBridgeRefreshOptions(fromData, kJcMaskCredentials);  // FALSE: the other values are absent
    EXPECT_EQ(Text(fromData, c.item), c.altName ? c.value : before);
    for (const KindCase& other : kKinds) {
      if (other.kind != c.kind) {
        EXPECT_NE(Text(fromData, other.item), other.value) << other.kind;
      }
    }

    UiContext* fromService = NewContext();
    ASSERT_EQ(JcBridgeOpen(fromService), 0u);
    EXPECT_EQ(JcBridgeReadOptions(fromService, kJcMaskCredentials), 0u);
    EXPECT_EQ(Text(fromService, c.item), c.value);
    JcBridgeClose(fromService);
    // Empty the service again for the next kind.
    JcBridgeOpen(fromService);
    JcBridgeWriteTableOptions(fromService, kJcMaskCredentials);
    JcBridgeClose(fromService);
  }
}

TEST_F(BridgeTest, StoringTheSheetMaskKeepsThePasswordsOutOfPrinterData) {
  UiContext* ui = NewContext();
  ASSERT_TRUE(OptSetString(ui->driver, OptFindItem(ui->driver->itemTable, kItemJOBPassword), u"pw4711"));
  ASSERT_TRUE(OptSetString(ui->driver, OptFindItem(ui->driver->itemTable, kItemStoredPassword), u"st0815"));
  ASSERT_TRUE(OptSetString(ui->driver, OptFindItem(ui->driver->itemTable, kItemOwnerName), u"Owner"));
  EXPECT_TRUE(JcBridgeStoreOptions(ui, 159));
  EXPECT_TRUE(HasValue(u"JcOwnerName"));
  const std::string data = AllPrinterData();
  for (const char16_t* secret : {u"pw4711", u"st0815"}) {
    const std::u16string wide(secret);
    EXPECT_EQ(data.find(std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2)), std::string::npos);
    EXPECT_EQ(data.find(std::string(wide.begin(), wide.end())), std::string::npos);
  }
  EXPECT_FALSE(JcBridgeReadOptionFileAlt(ui, 3));
  EXPECT_FALSE(JcBridgeReadOptionFileAlt(ui, 8));
}

// A print server publishes its user code as "UserCode" (9 ANSI bytes); the user-code credential
// (written as text) neither overwrites it nor is read from it.
TEST_F(BridgeTest, TheUserCodeCredentialLeavesTheServersUserCodeAlone) {
  char published[9] = "4321";
  ASSERT_EQ(SetPrinterDataW(printer_, const_cast<LPWSTR>(u"UserCode"), REG_BINARY, reinterpret_cast<LPBYTE>(published),
                            sizeof published),
            ERROR_SUCCESS);
  UiContext* ui = NewContext();
  Set(ui, kKinds[0]);
  EXPECT_TRUE(JcBridgeStoreOptions(ui, kJcBridgeMaskUserCode));
  char read[16] = {};
  DWORD type = 0, needed = 0;
  ASSERT_EQ(GetPrinterDataW(printer_, const_cast<LPWSTR>(u"UserCode"), &type, reinterpret_cast<LPBYTE>(read),
                            sizeof read, &needed),
            ERROR_SUCCESS);
  EXPECT_EQ(std::string(read, needed), std::string(published, sizeof published));

  ASSERT_EQ(DeletePrinterDataW(printer_, const_cast<LPWSTR>(u"JcUserCode")), ERROR_SUCCESS);
  UiContext* fresh = NewContext();
  EXPECT_FALSE(JcBridgeRefreshOptions(fresh, kJcBridgeMaskUserCode));
  EXPECT_EQ(Text(fresh, kItemUserCode), u"");
}

TEST_F(BridgeTest, ClearingTheTelephoneLineLeavesItsNeighboursBytes) {
  UiContext* ui = NewContext();
  ASSERT_TRUE(OptSetString(ui->driver, OptFindItem(ui->driver->itemTable, kItemTelNo), u"5550100"));
  ASSERT_TRUE(OptSetValue(ui->driver, kItemTelLine, 5));
  const BYTE* devmode = ui->driver->settings->devmode.bytes;
  const ItemTableRow* line = OptFindItem(ui->driver->itemTable, kItemTelLine);
  const std::string before(reinterpret_cast<const char*>(devmode), 1260);
  JcBridgeClearOptions(ui, 0x40);
  const std::string after(reinterpret_cast<const char*>(devmode), 1260);
  EXPECT_EQ(OptGetValue(ui->driver, kItemTelLine), 0u);
  EXPECT_EQ(after.substr(0, line->offset), before.substr(0, line->offset));
  EXPECT_EQ(after.substr(line->offset + 4), before.substr(line->offset + 4));
  EXPECT_EQ(Text(ui, kItemTelNo), u"5550100");
}

TEST_F(BridgeTest, TheLanguageRecordCarriesTheValueAndItsIdentifier) {
  BYTE record[8];
  ASSERT_TRUE(JcBridgeLanguageRecord(6, record));  // French: primary 0x0C
  EXPECT_EQ(std::string(reinterpret_cast<char*>(record), 8), std::string("\x08\x00\x00\x00\x06\x00\x0c\x00", 8));
  ASSERT_TRUE(JcBridgeLanguageRecord(16, record));  // simplified Chinese: sub-language 2, primary 4
  EXPECT_EQ(std::string(reinterpret_cast<char*>(record), 8), std::string("\x08\x00\x00\x00\x10\x00\x04\x08", 8));
  EXPECT_FALSE(JcBridgeLanguageRecord(0xFFFE, record));

  UiContext* ui = NewContext();
  ASSERT_TRUE(OptSetValue(ui->driver, kItemLanguageID, 6));
  EXPECT_EQ(JcBridgeSendLanguage(ui), 0u);  // no session: nothing sent
  EXPECT_EQ(JcBridgeNotify(ui, 2), 0u);
  EXPECT_EQ(ServiceLog(), "");
  ASSERT_EQ(JcBridgeOpen(ui), 0u);
  EXPECT_EQ(JcBridgeSendLanguage(ui), 0u);
  EXPECT_EQ(JcBridgeNotify(ui, 258), 0u);
  EXPECT_EQ(ServiceLog(), "notify Velm Printer 1 0800000006000c00\nnotify Velm Printer 258\n");
}

TEST_F(BridgeTest, TheIdentityItemsAreWrittenOnlyFromInterfaceVersion258) {
  ASSERT_TRUE(platform::SetMachineSetting("qnjobcr_versions", "257"));
  UiContext* ui = NewContext();
  ASSERT_EQ(JcBridgeOpen(ui), 0u);
  EXPECT_EQ(JcBridgeWriteOptions(ui, 1792), 0u);
  EXPECT_EQ(ServiceLog(), "");
  JcBridgeClose(ui);
  ASSERT_TRUE(platform::EraseMachineSetting("qnjobcr_versions"));
  ASSERT_EQ(JcBridgeOpen(ui), 0u);
  EXPECT_EQ(JcBridgeWriteOptions(ui, 1792), 0u);
  EXPECT_EQ(ServiceLog(), "write Velm Printer 256\nwrite Velm Printer 257\nwrite Velm Printer 258\n");
}

TEST_F(BridgeTest, SyncTakesTheUserCodeInForceWhenNoSessionOpens) {
  ASSERT_TRUE(platform::SetMachineSetting("qnjobcr_fail_open", "5"));
  UiContext* ui = NewContext();
  ASSERT_TRUE(OptSetValue(ui->driver, kItemLogCodeUse, 1));
  ASSERT_TRUE(OptSetString(ui->driver, OptFindItem(ui->driver->itemTable, kItemLogCode), u"2468"));
  JcBridgeSync(ui);
  EXPECT_EQ(Text(ui, kItemUserCode), u"2468");
  EXPECT_EQ(ServiceLog(), "");  // the writes had no session

  ASSERT_TRUE(platform::EraseMachineSetting("qnjobcr_fail_open"));
  UiContext* opened = NewContext();
  JcBridgeSync(opened);
  EXPECT_EQ(ServiceLog(), "write Velm Printer 256\nwrite Velm Printer 257\nwrite Velm Printer 258\n");
}

}  // namespace
}  // namespace velm::test
