// The user code: the provider's binding and query with the stand-in's answers, the mode bytes and
// printer data it leaves, the user's own code put aside and back, and the server's user code.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "core/machine_root.h"
#include "data/item_ids.h"
#include "settings/services/user_code.h"
#include "ui2k/entry/entry_fixture.h"
#include "ui2k/install/user_code.h"

namespace velm::test {
namespace {

constexpr char16_t kProvidersKey[] = u"Software\\QUIRN\\qnucode\\Providers";
constexpr char16_t kProviderPath[] = u"C:\\Program Files\\Quirn\\qnucode.dll";

int SwitchOn(DriverContext*) { return 1; }

// Item 10003 as the user-code writer saw it.
std::u16string g_writtenCode;

class UserCodeTest : public EntryTest {
 protected:
  void SetUp() override {
    EntryTest::SetUp();
    InstallProvider("qnucode.so");
    Register(REG_SZ, kProviderPath);
    std::filesystem::remove(platform::MachineStore("qnucode") / "calls.log");
    CfgSetUserCodeSwitch(SwitchOn);
    seams_.instWriteUserCodeSection = [](UiContext* ui, int mode) {
      UiNoteSeamCall("InstWriteUserCodeSection " + std::to_string(mode));
      g_writtenCode = Text(ui, kItemLogCode);
    };
    g_writtenCode.clear();
    CtxFlushCache(1);
    ui_ = UiCreateContext(printer_, 0, kKindOrdinary, kUiCreateSheet, 0, nullptr);
    ASSERT_NE(ui_, nullptr);
    SetText(kItemLogCode, u"555");
    UiClearSeamCalls();
  }
  void TearDown() override {
    UiDestroyContext(ui_);
    CfgSetUserCodeSwitch(nullptr);
    for (const char* key : {"qnucode_open", "qnucode_get", "qnucode_code", "qnucode_exports"})
      platform::EraseMachineSetting(key);
    EntryTest::TearDown();
  }
  void InstallProvider(const char* module) {
    const std::filesystem::path target = root_.OnDriveC("Program Files/Quirn/qnucode.dll");
    std::filesystem::create_directories(target.parent_path());
    std::filesystem::copy_file(ModuleDir() / module, target, std::filesystem::copy_options::overwrite_existing);
  }
  static bool ProviderLoaded() { return GetModuleHandleW(kProviderPath) != nullptr; }
  static void Register(DWORD type, const std::u16string& path) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kProvidersKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, u"ProviderDLL", 0, type, reinterpret_cast<const BYTE*>(path.c_str()),
                   static_cast<DWORD>((path.size() + 1) * sizeof(char16_t)));
    RegCloseKey(key);
  }
  static std::u16string Text(UiContext* ui, WORD item) {
    WCHAR text[40] = {};
    OptGetString(ui->driver, OptFindItem(ui->driver->itemTable, item), text, 40);
    return text;
  }
  void SetText(WORD item, const char16_t* text) {
    ASSERT_TRUE(OptSetString(ui_->driver, OptFindItem(ui_->driver->itemTable, item), text));
  }
  static std::string ProviderLog() {
    std::ifstream in(platform::MachineStore("qnucode") / "calls.log");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  int PrinterByte(const char16_t* name) {
    BYTE data[16] = {};
    DWORD type = 0, needed = 0;
    if (GetPrinterDataW(printer_, const_cast<LPWSTR>(name), &type, data, sizeof data, &needed) != ERROR_SUCCESS)
      return -1;
    return needed == 1 && type == REG_BINARY ? data[0] : -2;
  }
  void SetPrinterBytes(const char16_t* name, const void* data, DWORD size) {
    ASSERT_EQ(SetPrinterDataW(printer_, const_cast<LPWSTR>(name), REG_BINARY,
                              static_cast<LPBYTE>(const_cast<void*>(data)), size),
              ERROR_SUCCESS);
  }
  void MakeConnection() { ui_->driver->work->printerInfo.serverKind = kServerKindConnection; }

  UiContext* ui_ = nullptr;
};

struct ProviderCase {
  const char* name;
  const char* open;
  const char* get;
  const char* code;
  DWORD result;
  DWORD inUse;                 // item 10002 afterwards
  const char16_t* userCode;    // item 10003 afterwards
  const char16_t* dllCode;     // item 10273 afterwards (null: not checked)
  const char* log;
};

class ProviderQueryTest : public UserCodeTest, public ::testing::WithParamInterface<ProviderCase> {};

TEST_P(ProviderQueryTest, TheProvidersAnswerDecidesTheCodeItems) {
  const ProviderCase& c = GetParam();
  platform::SetMachineSetting("qnucode_open", c.open);
  platform::SetMachineSetting("qnucode_get", c.get);
  platform::SetMachineSetting("qnucode_code", c.code);
  ASSERT_TRUE(OptSetValue(ui_->driver, kItemLogCodeUse, 1));
  UcInitOptionStates(ui_);
  const BYTE inUse = c.result == kUcProviderCode ? 1 : 0;
  EXPECT_EQ(OptGetValue(ui_->driver, kItemLogCodeUse), c.inUse);
  EXPECT_EQ(Text(ui_, kItemLogCode), c.userCode);
  if (c.dllCode) { EXPECT_EQ(Text(ui_, kItemDllLogCode), c.dllCode); }
  EXPECT_EQ(UiGetModeByte(ui_, kEnvUserCodeGet), inUse);
  EXPECT_EQ(UiGetModeByte(ui_, kEnvUserCodeDll), inUse);
  EXPECT_EQ(PrinterByte(u"DllUserCodeUse"), inUse);
  EXPECT_EQ(ProviderLog(), c.log);
  EXPECT_FALSE(ProviderLoaded());
  const bool saved = c.result != kUcNoProvider;
  EXPECT_EQ(Count(UiSeamCalls(), "InstWriteUserCodeSection 1"), saved ? 1 : 0);
  if (saved) { EXPECT_EQ(g_writtenCode, c.userCode); }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ProviderQueryTest,
    ::testing::Values(
        ProviderCase{"code", "0", "0", "1234", kUcProviderCode, 1, u"1234", u"1234", "open 0\nclose\n"},
        ProviderCase{"fullBufferCutTo8", "0", "0", "fill", kUcProviderCode, 1, u"01234567", u"01234567",
                     "open 0\nclose\n"},
        ProviderCase{"emptyCodeKeepsOwn", "0", "0", "", kUcProviderNoCode, 0, u"555", nullptr, "open 0\nclose\n"},
        ProviderCase{"noCode232", "0", "232", "1234", kUcProviderNoCode, 0, u"555", nullptr, "open 0\nclose\n"},
        ProviderCase{"getFails", "0", "5", "1234", kUcNoProvider, 1, u"555", nullptr, "open 0\nclose\n"},
        ProviderCase{"openFails", "31", "0", "1234", kUcNoProvider, 1, u"555", nullptr, "open 31\n"}),
    [](const ::testing::TestParamInfo<ProviderCase>& info) { return info.param.name; });

struct BindingCase {
  const char* name;
  bool installed;       // the provider's library is at the registered path
  DWORD type;
  const char16_t* path;
  const char* exports;  // the entry points the provider offers (null: all three)
};

class ProviderBindingTest : public UserCodeTest, public ::testing::WithParamInterface<BindingCase> {};

TEST_P(ProviderBindingTest, AProviderThatCannotBeBoundIsNoProvider) {
  const BindingCase& c = GetParam();
  std::filesystem::remove(root_.OnDriveC("Program Files/Quirn/qnucode.dll"));
  if (c.installed) InstallProvider("qnucode.so");
  Register(c.type, c.path);
  if (c.exports) platform::SetMachineSetting("qnucode_exports", c.exports);
  platform::SetMachineSetting("qnucode_code", "1234");
  EXPECT_EQ(UcQueryProvider(ui_), kUcNoProvider);
  EXPECT_EQ(Text(ui_, kItemLogCode), u"555");
  EXPECT_EQ(Count(UiSeamCalls(), "InstWriteUserCodeSection 1"), 0);
  EXPECT_EQ(ProviderLog(), "");  // never opened
  EXPECT_FALSE(ProviderLoaded());
}

INSTANTIATE_TEST_SUITE_P(
    Failures, ProviderBindingTest,
    ::testing::Values(BindingCase{"notAString", true, REG_EXPAND_SZ, kProviderPath, nullptr},
                      BindingCase{"emptyPath", true, REG_SZ, u"", nullptr},
                      BindingCase{"libraryMissing", false, REG_SZ, kProviderPath, nullptr},
                      BindingCase{"openEntryMissing", true, REG_SZ, kProviderPath,
                                  "ZUCCloseUCDataA,ZUCGetClientUserCodeA"},
                      BindingCase{"closeEntryMissing", true, REG_SZ, kProviderPath,
                                  "ZUCOpenUCDataA,ZUCGetClientUserCodeA"},
                      BindingCase{"getEntryMissing", true, REG_SZ, kProviderPath, "ZUCOpenUCDataA,ZUCCloseUCDataA"}),
    [](const ::testing::TestParamInfo<BindingCase>& info) { return info.param.name; });

// The setting only takes entries away: with all three listed the provider binds and answers.
TEST_F(UserCodeTest, AProviderOfferingAllThreeEntriesBinds) {
  platform::SetMachineSetting("qnucode_exports", "ZUCGetClientUserCodeA,ZUCOpenUCDataA,ZUCCloseUCDataA");
  platform::SetMachineSetting("qnucode_code", "1234");
  EXPECT_EQ(UcQueryProvider(ui_), kUcProviderCode);
  EXPECT_EQ(ProviderLog(), "open 0\nclose\n");
}

TEST_F(UserCodeTest, WithTheSwitchOffNothingIsAskedOrWritten) {
  CfgSetUserCodeSwitch(nullptr);
  platform::SetMachineSetting("qnucode_code", "1234");
  UcInitOptionStates(ui_);
  UcStoreUserCode(ui_);
  EXPECT_EQ(ProviderLog(), "");
  EXPECT_EQ(PrinterByte(u"DllUserCodeUse"), -1);
  EXPECT_EQ(Text(ui_, kItemLogCode), u"555");
  EXPECT_TRUE(UiSeamCalls().empty());
}

TEST_F(UserCodeTest, StoringSavesTheProvidersCodeAndPutsTheUsersOwnBack) {
  platform::SetMachineSetting("qnucode_code", "1234");
  UcInitOptionStates(ui_);
  UcInitOptionStates(ui_);  // a second query keeps the user's own code aside, not the provider's
  UiClearSeamCalls();
  UcStoreUserCode(ui_);
  EXPECT_EQ(UiSeamCalls(), std::vector<std::string>{"InstWriteUserCodeSection 1"});
  EXPECT_EQ(g_writtenCode, u"1234");
  EXPECT_EQ(Text(ui_, kItemLogCode), u"555");
  SetText(kItemLogCode, u"777");
  UcStoreUserCode(ui_);
  EXPECT_EQ(g_writtenCode, u"777");
}

TEST_F(UserCodeTest, AConnectionDoesNotSaveTheProvidersCode) {
  MakeConnection();
  platform::SetMachineSetting("qnucode_code", "1234");
  EXPECT_EQ(UcQueryProvider(ui_), kUcProviderCode);
  EXPECT_EQ(Text(ui_, kItemLogCode), u"1234");
  EXPECT_EQ(Count(UiSeamCalls(), "InstWriteUserCodeSection 1"), 0);
}

struct ServerCase {
  const char* name;
  bool connection;
  BYTE serverUse;
  DWORD inUse;
  const char16_t* code;
};

class ServerUserCodeTest : public UserCodeTest, public ::testing::WithParamInterface<ServerCase> {};

TEST_P(ServerUserCodeTest, OnlyAConnectionTakesTheServersCode) {
  const ServerCase& c = GetParam();
  if (c.connection) MakeConnection();
  SetPrinterBytes(u"ServerUse", &c.serverUse, 1);
  const BYTE use = 1;
  SetPrinterBytes(u"UserCodeUse", &use, 1);
  SetPrinterBytes(u"UserCode", "4321\0\0\0\0", 9);
  UcLoadServerUserCode(ui_);
  EXPECT_EQ(OptGetValue(ui_->driver, kItemLogCodeUse), c.inUse);
  EXPECT_EQ(Text(ui_, kItemLogCode), c.code);
}

// Without the server's code the user-code settings load; with no "qndef.ini" yet: not in use, no code.
INSTANTIATE_TEST_SUITE_P(Printers, ServerUserCodeTest,
                         ::testing::Values(ServerCase{"connectionWithServerUse", true, 1, 1, u"4321"},
                                           ServerCase{"connectionWithoutServerUse", true, 0, 0, u""},
                                           ServerCase{"localWithServerUse", false, 1, 0, u""}),
                         [](const ::testing::TestParamInfo<ServerCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velm::test
