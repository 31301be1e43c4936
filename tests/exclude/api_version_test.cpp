// The interface level: where the machine sets it, what each setting gives, and what the
// process keeps of it; the function switches beside it.
#include <gtest/gtest.h>

#include "api_fixture.h"
#include "core/registry.h"

namespace velm::test {
namespace {

class ApiVersionTest : public ApiTest {
 protected:
  void SetUp() override {
    ApiTest::SetUp();
    LoadModule();
  }
  // The shared settings INI of an NT 5 and later machine, and the system directory's.
  void WriteSharedIni(const std::string& text) { WriteHostFile(root_.OnDriveC("_velm/qnset.ini"), text); }
  void WriteSystemIni(const std::string& text) {
    WriteHostFile(root_.OnDriveC("Windows/System32/qnset.ini"), text);
  }
};

TEST_F(ApiVersionTest, LevelIsTheVelmApiKeyOrThree) {
  EXPECT_EQ(api_.checkApiVer(kPrinter), 3) << "no settings INI";
  const std::pair<std::string, int32_t> cases[] = {
      {"[VELMAPI]\r\nVELMAPIVer=2\r\n", 2},
      {"[VELMAPI]\r\nVELMAPIVer=0\r\n", 0},
      {"[VELMAPI]\r\nVELMAPIVer=1\r\n", 1},
      {"[VELMAPI]\r\nVELMAPIVer=7\r\n", 7},   // a later level is passed on as it stands
      {"[VELMAPI]\r\nVELMAPIVer=-1\r\n", 3},  // the "not set" answer itself
      {"[VELMAPI]\r\nVELMAPIVer=+4\r\n", 4},
      {"[VELMAPI]\r\nVELMAPIVer=2x\r\n", 2},  // leading digits
      {"[VELMAPI]\r\nOther=1\r\n", 3},
      {"[Velm Printer]\r\nVELMAPIVer=1\r\n", 3},  // only the VELMAPI section counts
      {"[velmapi]\r\nvelmapiver=1\r\n", 1},
  };
  for (const auto& [text, level] : cases) {
    WriteSharedIni(text);
    EXPECT_EQ(api_.checkApiVer(kPrinter), level) << text;
  }
  // The printer name only has to be there: the level is the machine's.
  WriteSharedIni("[VELMAPI]\r\nVELMAPIVer=2\r\n");
  EXPECT_EQ(api_.checkApiVer("No Such Printer"), 2);
}

TEST_F(ApiVersionTest, EmptyNamesAnswerZeroAndKeepTheLevel) {
  EXPECT_EQ(api_.checkApiVer(nullptr), 0);
  EXPECT_EQ(api_.checkApiVer(""), 0);

  WriteSharedIni("[VELMAPI]\r\nVELMAPIVer=2\r\n");
  EXPECT_EQ(ApiCheckVersion(kPrinter), 2);
  EXPECT_EQ(ApiCheckVersion(""), 0);
  EXPECT_EQ(ApiCheckVersion(nullptr), 0);
  EXPECT_EQ(ApiGetLevel(), 2);
  WriteSharedIni("");
  EXPECT_EQ(ApiCheckVersion(kPrinter), 3);
  EXPECT_EQ(ApiGetLevel(), 3);
}

TEST_F(ApiVersionTest, SharedFolderOnNt5AndLaterSystemDirectoryBefore) {
  WriteSharedIni("[VELMAPI]\r\nVELMAPIVer=2\r\n");
  WriteSystemIni("[VELMAPI]\r\nVELMAPIVer=1\r\n");
  for (const char* os : {"nt10", "xp", "2000"}) {
    ASSERT_TRUE(platform::SetMachineSetting("os", os));
    EXPECT_EQ(api_.checkApiVer(kPrinter), 2) << os;
  }
  for (const char* os : {"nt4", "9x"}) {
    ASSERT_TRUE(platform::SetMachineSetting("os", os));
    EXPECT_EQ(api_.checkApiVer(kPrinter), 1) << os;
  }
  // The registry may move the shared folder; the terminal server's per-user folder never counts.
  ASSERT_TRUE(platform::SetMachineSetting("os", "nt10"));
  ASSERT_TRUE(platform::SetMachineSetting("terminal_server", "1"));
  EXPECT_EQ(api_.checkApiVer(kPrinter), 2);
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\QUIRN\\VelmDrv", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  const std::u16string moved = u"C:\\Settings";
  ASSERT_EQ(RegSetValueExW(key, u"_VELMDirectory", 0, REG_SZ, reinterpret_cast<const BYTE*>(moved.c_str()),
                           static_cast<DWORD>((moved.size() + 1) * 2)),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(api_.checkApiVer(kPrinter), 3);
  WriteHostFile(root_.OnDriveC("Settings/qnset.ini"), "[VELMAPI]\r\nVELMAPIVer=0\r\n");
  EXPECT_EQ(api_.checkApiVer(kPrinter), 0);
}

TEST_F(ApiVersionTest, LevelIniPathTakesADrivePathAsItStands) {
  ModelDefaults defaults = kModelDefaults;
  WCHAR path[MAX_PATH];
  ASSERT_GT(ApiGetLevelIniPath(defaults, path, MAX_PATH), 0u);
  EXPECT_EQ(std::u16string(path), u"C:\\_velm\\qnset.ini");
  defaults.settingsIniName = u"D:\\conf\\qnset.ini";
  ASSERT_GT(ApiGetLevelIniPath(defaults, path, MAX_PATH), 0u);
  EXPECT_EQ(std::u16string(path), u"D:\\conf\\qnset.ini");
  // A path that does not fit is no path (and so the default level), never one cut short.
  EXPECT_EQ(ApiGetLevelIniPath(defaults, path, 10), 0u);
  EXPECT_EQ(path[0], 0);
  defaults.settingsIniName = u"";
  EXPECT_EQ(ApiGetLevelIniPath(defaults, path, MAX_PATH), 0u);
}

TEST_F(ApiVersionTest, FunctionSwitchesComeFromTheDriverIni) {
  DriverContext* context = ApiEnable(kPrinter);
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(ApiReadFunctionSwitches(context), 0u);
  WriteHostFile(root_.OnDriveC("Windows/System32/spool/drivers/w32x86/3/qndrv.ini"),
                "[VELMAPI]\r\nVELMAPIFunc1=258\r\n");
  EXPECT_EQ(ApiReadFunctionSwitches(context), 258u);
  ApiDisable(context);
}

}  // namespace
}  // namespace velm::test
