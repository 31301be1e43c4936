#include "settings/services/platform_services_fixture.h"
#include "settings/persistence/paths.h"

namespace {

using velm::platform::SetMachineSetting;

// Folder sources with answers a test chooses; an empty answer is a folder that cannot be built.
std::u16string g_userDir;
std::u16string g_sharedDir;

DWORD Answer(const std::u16string& folder, WCHAR* buffer, DWORD capacity) {
  if (folder.empty()) return 0;
  return PathJoin(buffer, capacity, {folder});
}
DWORD UserDir(DriverContext*, WCHAR* buffer, DWORD capacity) { return Answer(g_userDir, buffer, capacity); }
DWORD SharedDir(DriverContext*, WCHAR* buffer, DWORD capacity) { return Answer(g_sharedDir, buffer, capacity); }
const SettingsFolderSources kTestFolders{UserDir, SharedDir};

class SettingsPathsTest : public PlatformServicesTest {
 protected:
  void SetUp() override {
    PlatformServicesTest::SetUp();
    g_userDir = u"C:\\Users\\user\\AppData\\LocalLow\\_velm";
    g_sharedDir = u"C:\\_velm";
  }
  std::u16string Select() {
    SysResetTerminalServerCache();
    const WCHAR* path = PathSelectSettingsIni(&context_, kTestFolders);
    EXPECT_EQ(path == nullptr, work_->settingsIniPath[0] == 0);
    return path ? std::u16string(path) : u"(none)";
  }
};

TEST_F(SettingsPathsTest, ADriveNameIsUsedAsItStands) {
  defaults_.settingsIniName = u"X:\\a\\qnset.ini";
  ASSERT_TRUE(SetMachineSetting("terminal_server", "1"));
  EXPECT_EQ(Select(), u"X:\\a\\qnset.ini");
  EXPECT_EQ(std::u16string(work_->settingsIniPath), u"X:\\a\\qnset.ini");
}

TEST_F(SettingsPathsTest, TheFolderFollowsTheSessionTheFlagAndWhatCanBeBuilt) {
  ASSERT_TRUE(SetMachineSetting("terminal_server", "0"));
  EXPECT_EQ(Select(), u"C:\\_velm\\qnset.ini");
  ASSERT_TRUE(SetMachineSetting("terminal_server", "1"));
  EXPECT_EQ(Select(), u"C:\\Users\\user\\AppData\\LocalLow\\_velm\\qnset.ini");
  work_->creationFlags = kCreateSharedFolderOnly;
  EXPECT_EQ(Select(), u"C:\\_velm\\qnset.ini");
  work_->creationFlags = 0;
  g_userDir.clear();
  EXPECT_EQ(Select(), u"C:\\_velm\\qnset.ini");
  g_sharedDir.clear();
  EXPECT_EQ(Select(), u"(none)");
  // A path that would not fit is refused whole, never cut.
  g_sharedDir = u"C:\\" + std::u16string(250, u's');
  EXPECT_EQ(Select(), u"(none)");
}

TEST_F(SettingsPathsTest, TheSessionAnswerIsTheProcesssKeptOne) {
  ASSERT_TRUE(SetMachineSetting("terminal_server", "1"));
  EXPECT_EQ(Select(), u"C:\\Users\\user\\AppData\\LocalLow\\_velm\\qnset.ini");
  ASSERT_TRUE(SetMachineSetting("terminal_server", "0"));
  // Without a reset the first answer still holds.
  EXPECT_EQ(std::u16string(PathSelectSettingsIni(&context_, kTestFolders)),
            u"C:\\Users\\user\\AppData\\LocalLow\\_velm\\qnset.ini");
}

TEST_F(SettingsPathsTest, WithoutAContextTheModeChoosesTheFolder) {
  WCHAR buffer[MAX_PATH];
  EXPECT_EQ(PathBuildSettingsIniFrom(buffer, 1, kTestFolders), 46u);
  EXPECT_EQ(std::u16string(buffer), u"C:\\Users\\user\\AppData\\LocalLow\\_velm\\qnset.ini");
  EXPECT_GT(PathBuildSettingsIniFrom(buffer, 0, kTestFolders), 0u);
  EXPECT_EQ(std::u16string(buffer), u"C:\\_velm\\qnset.ini");
  g_userDir.clear();
  g_sharedDir.clear();
  EXPECT_EQ(PathBuildSettingsIniFrom(buffer, 1, kTestFolders), 0u);
  EXPECT_EQ(buffer[0], 0);
}

TEST_F(SettingsPathsTest, TheSettingsPathsLieInTheSettingsFolders) {
  ASSERT_TRUE(SetMachineSetting("terminal_server", "0"));
  EXPECT_EQ(std::u16string(PathGetSettingsIni(&context_)), u"C:\\_velm\\qnset.ini");
  WCHAR buffer[MAX_PATH];
  EXPECT_GT(PathBuildSettingsIni(buffer, 1), 0u);
  EXPECT_TRUE(std::u16string(buffer).ends_with(u"\\AppData\\LocalLow\\_velm\\qnset.ini"));
  EXPECT_GT(PathBuildSettingsIni(buffer, 0), 0u);
  EXPECT_EQ(std::u16string(buffer), u"C:\\_velm\\qnset.ini");
}

TEST_F(SettingsPathsTest, TheDriverIniLiesInTheDriverFolderUnlessNamedWithADrive) {
  EXPECT_EQ(std::u16string(PathGetApiIni(&context_)), kInstalledDriverDirectory + u"qndrv.ini");
  EXPECT_EQ(std::u16string(work_->driverIniPath), kInstalledDriverDirectory + u"qndrv.ini");
  defaults_.driverIniName = u"D:\\config\\qndrv.ini";
  EXPECT_EQ(std::u16string(PathGetApiIni(&context_)), u"D:\\config\\qndrv.ini");
}

TEST_F(SettingsPathsTest, LocalizingReplacesTheTwoLettersBeforeTheExtension) {
  WCHAR out[MAX_PATH];
  auto localize = [&](std::u16string_view name, std::u16string_view code) -> std::u16string {
    return PathLocalizeFileName(name, code, out, MAX_PATH) ? std::u16string(out) : u"(none)";
  };
  EXPECT_EQ(localize(u"qnresus.dll", u"fr"), u"qnresfr.dll");
  EXPECT_EQ(localize(u"C:\\drv\\qnresus.dll", u"gm"), u"C:\\drv\\qnresgm.dll");
  EXPECT_EQ(localize(u"qnres", u"fr"), u"qnres");                  // no extension
  EXPECT_EQ(localize(u"u.dll", u"fr"), u"u.dll");                  // one letter before it
  EXPECT_EQ(localize(u"C:\\dir.xy\\qnres", u"fr"), u"C:\\dir.xy\\qnres");  // the dot is the folder's
  EXPECT_EQ(localize(u"qnresus.dll", u"f"), u"(none)");
  EXPECT_EQ(PathLocalizeFileName(u"qnresus.dll", u"fr", out, 11), 0u);  // no room for the NUL
}

TEST_F(SettingsPathsTest, TheHelpLanguageIsReadOnceAndTheLocalizedFileWaitsForItsParts) {
  // The printer names no help file: the default language, kept from then on.
  EXPECT_EQ(std::u16string(CfgGetHelpLanguageCached(&context_)), u"us");
  std::u16string fr = u"fr";
  std::copy(fr.begin(), fr.end(), work_->languageCode);
  EXPECT_EQ(std::u16string(CfgGetHelpLanguageCached(&context_)), u"fr");
  // The description does not name its resource library yet, so there is no localized file.
  EXPECT_EQ(PathGetLocalizedModelFile(&context_), nullptr);
  EXPECT_EQ(work_->localizedModelFile[0], 0);
}

TEST(PathJoinTest, FitsExactlyOrLeavesNothing) {
  WCHAR out[8];
  EXPECT_EQ(PathJoin(out, 8, {u"C:\\", u"abcd"}), 7u);
  EXPECT_EQ(std::u16string(out), u"C:\\abcd");
  EXPECT_EQ(PathJoin(out, 8, {u"C:\\", u"abcde"}), 0u);
  EXPECT_EQ(out[0], 0);
}

}  // namespace
