// The settings folders by Windows version, the registry's shared folder, the feature test, the
// file primitives and the names built from the driver folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/machine_root.h"
#include "settings/services/platform_services_fixture.h"
#include "settings/persistence/driver_ini.h"
#include "settings/services/feature_test.h"
#include "settings/persistence/file_primitives.h"
#include "settings/services/registry_values.h"
#include "settings/persistence/folders.h"
#include "settings/persistence/paths.h"
#include "support/temp_root.h"
#include "win32.h"

namespace {

using velm::platform::SetMachineSetting;

using FolderProc = DWORD (*)(WCHAR*, DWORD);

std::u16string Folder(FolderProc proc, DWORD capacity = MAX_PATH) {
  std::u16string buffer(capacity, u'#');
  const DWORD length = proc(buffer.data(), capacity);
  EXPECT_EQ(length, std::char_traits<char16_t>::length(buffer.c_str()));
  buffer.resize(length);
  return buffer;
}

void SetRegistryValue(const WCHAR* subKey, const WCHAR* name, DWORD type, const void* data, DWORD size) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, subKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
  RegCloseKey(key);
}

void SetSharedDirValue(const std::u16string& folder, DWORD type = REG_SZ) {
  SetRegistryValue(kDriverRegistryKey, u"_VELMDirectory", type, folder.c_str(),
                   static_cast<DWORD>((folder.size() + 1) * sizeof(WCHAR)));
}

class SettingsFoldersTest : public ::testing::Test {
 protected:
  void SetUp() override { user_ = std::u16string(u"C:\\Users\\") + Utf16(velm::platform::MachineSetting("user", "user")); }
  static std::u16string Utf16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }
  velm::test::TempMachineRoot root_;
  std::u16string user_;
};

TEST_F(SettingsFoldersTest, ThePerUserFolderFollowsTheWindowsVersion) {
  ASSERT_TRUE(SetMachineSetting("os", "nt10"));
  EXPECT_EQ(Folder(PathGetUserDirNoCtx), user_ + u"\\AppData\\LocalLow\\_velm");
  WCHAR ini[MAX_PATH];
  ASSERT_GT(PathBuildSettingsIni(ini, 1), 0u);
  EXPECT_EQ(std::u16string(ini), user_ + u"\\AppData\\LocalLow\\_velm\\qnset.ini");
  ASSERT_TRUE(SetMachineSetting("os", "xp"));
  EXPECT_EQ(Folder(PathGetUserDirNoCtx), user_ + u"\\_velm");
  const std::u16string userName = user_.substr(user_.rfind(u'\\') + 1);
  ASSERT_TRUE(SetMachineSetting("os", "nt4"));
  EXPECT_EQ(Folder(PathGetUserDirNoCtx), u"C:\\Windows\\system32\\quirn\\_velm\\" + userName);
}

TEST_F(SettingsFoldersTest, APerUserFolderThatCannotBeBuiltIsNoFolder) {
  ASSERT_TRUE(SetMachineSetting("os", "nt10"));
  // Too long for the caller's buffer: nothing, not a cut path.
  EXPECT_EQ(Folder(PathGetUserDirNoCtx, static_cast<DWORD>(user_.size() + 20)), u"");
  // The known folder does not exist: the system's call fails, and so does the folder.
  std::filesystem::remove_all(root_.OnDriveC("Users/" + velm::platform::MachineSetting("user", "user") +
                                             "/AppData/LocalLow"));
  EXPECT_EQ(Folder(PathGetUserDirNoCtx), u"");
  // So the settings INI falls back to the shared folder.
  WCHAR ini[MAX_PATH];
  ASSERT_GT(PathBuildSettingsIni(ini, 1), 0u);
  EXPECT_EQ(std::u16string(ini), u"C:\\_velm\\qnset.ini");
}

TEST_F(SettingsFoldersTest, TheProfileFolderComesWithTheThreadOrTheProcessToken) {
  EXPECT_EQ(Folder(PathGetProfileDir), user_);
  ASSERT_TRUE(ImpersonateSelf(SecurityImpersonation));
  EXPECT_EQ(Folder(PathGetProfileDir), user_);
  ASSERT_TRUE(RevertToSelf());
  EXPECT_EQ(Folder(PathGetProfileDir, 4), u"");
}

TEST_F(SettingsFoldersTest, TheSharedFolderIsTheRegistrysWhenItNamesOne) {
  EXPECT_EQ(Folder(PathReadSharedDirNoCtx), u"C:\\_velm");
  SetSharedDirValue(u"E:\\Office\\Shared");
  EXPECT_EQ(Folder(PathReadSharedDirNoCtx), u"E:\\Office\\Shared");
  WCHAR ini[MAX_PATH];
  ASSERT_GT(PathBuildSettingsIni(ini, 0), 0u);
  EXPECT_EQ(std::u16string(ini), u"E:\\Office\\Shared\\qnset.ini");
  WCHAR file[MAX_PATH];
  EXPECT_GT(PathMakeSharedFile(u"qnuser.ini", file, MAX_PATH), 0u);
  EXPECT_EQ(std::u16string(file), u"E:\\Office\\Shared\\qnuser.ini");
  // An empty value, or one of another type, names no folder.
  SetSharedDirValue(u"");
  EXPECT_EQ(Folder(PathReadSharedDirNoCtx), u"C:\\_velm");
  SetSharedDirValue(u"E:\\Binary", REG_BINARY);
  EXPECT_EQ(Folder(PathReadSharedDirNoCtx), u"C:\\_velm");
  // A value without its NUL is read up to its end.
  const std::u16string unterminated = u"F:\\Cut";
  SetRegistryValue(kDriverRegistryKey, u"_VELMDirectory", REG_SZ, unterminated.data(),
                   static_cast<DWORD>(unterminated.size() * sizeof(WCHAR)));
  EXPECT_EQ(Folder(PathReadSharedDirNoCtx), u"F:\\Cut");
}

TEST_F(SettingsFoldersTest, BeforeNt5TheSharedFolderIsTheSystemDirectory) {
  SetSharedDirValue(u"E:\\Office\\Shared");
  WCHAR folder[MAX_PATH];
  ASSERT_TRUE(SetMachineSetting("os", "nt4"));
  EXPECT_GT(PathGetSharedDir(nullptr, folder, MAX_PATH), 0u);
  EXPECT_EQ(std::u16string(folder), u"C:\\Windows\\system32");
  ASSERT_TRUE(SetMachineSetting("os", "2000"));
  EXPECT_GT(PathGetSharedDir(nullptr, folder, MAX_PATH), 0u);
  EXPECT_EQ(std::u16string(folder), u"E:\\Office\\Shared");
  EXPECT_EQ(Folder(SysGetSystemDir), u"C:\\Windows\\system32");
  EXPECT_EQ(Folder(SysGetSystemDir, 19), u"");
}

TEST_F(SettingsFoldersTest, TheFeatureTestAsksOnlyForTheCountedCompanion) {
  constexpr WCHAR kKey[] = u"Software\\QUIRN\\Fusebay\\VodEduduv";
  EXPECT_FALSE(SysIsFeatureInstalled(kFeatureCountedCompanion));
  DWORD count = 0;
  SetRegistryValue(kKey, u"INSTALL_COUNT", REG_DWORD, &count, sizeof count);
  EXPECT_FALSE(SysIsFeatureInstalled(kFeatureCountedCompanion));
  count = 0x01000000;  // any byte of the count
  SetRegistryValue(kKey, u"INSTALL_COUNT", REG_DWORD, &count, sizeof count);
  EXPECT_TRUE(SysIsFeatureInstalled(kFeatureCountedCompanion));
  EXPECT_FALSE(SysIsFeatureInstalled(1));
  EXPECT_FALSE(SysIsFeatureInstalled(3));
  const WORD shortCount = 1;  // not a DWORD
  SetRegistryValue(kKey, u"INSTALL_COUNT", REG_BINARY, &shortCount, sizeof shortCount);
  EXPECT_FALSE(SysIsFeatureInstalled(kFeatureCountedCompanion));
}

TEST_F(SettingsFoldersTest, PathPrimitivesSplitWindowsPaths) {
  for (const WCHAR* absolute : {u"C:\\x", u"z:\\", u"\\\\server\\share"}) EXPECT_TRUE(PathIsAbsolute(absolute));
  for (const WCHAR* relative : {u"C:x", u"\\x", u"1:\\x", u""}) EXPECT_FALSE(PathIsAbsolute(relative));
  EXPECT_EQ(std::u16string(PathGetFileName(u"D:\\u\\a.b.rst")), u"a.b.rst");
  DWORD length = 9;
  EXPECT_EQ(std::u16string(PathGetExtension(u"D:\\u\\a.b.rst", &length)), u"rst");
  EXPECT_EQ(length, 3u);
  EXPECT_EQ(PathGetExtension(u"D:\\dir.x\\name", &length), nullptr);  // a dot in a folder is no extension
  ASSERT_TRUE(CreateDirectoryW(u"C:\\d", nullptr));
  EXPECT_FALSE(PathExists(u"C:\\d"));  // a folder
  HANDLE file = CreateFileW(u"C:\\d\\f.txt", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(PathWriteWhole(file, "abcdef", 6), 6);
  SetFilePointer(file, 1, nullptr, FILE_BEGIN);
  char bytes[8] = {};
  EXPECT_EQ(PathReadWhole(file, bytes, 4), 4);
  EXPECT_EQ(PathReadWhole(file, bytes, 4), -1);  // only one byte is left
  CloseHandle(file);
  EXPECT_TRUE(PathExists(u"C:\\D\\F.TXT"));
}

// Names built from a printer's driver folder, and what the driver INI says of the model.
class DriverFolderNamesTest : public PlatformServicesTest {};

TEST_F(DriverFolderNamesTest, RsqNamesTakeTheDriverFolderAndReplaceTheExtension) {
  WCHAR name[MAX_PATH];
  EXPECT_GT(PathMakeRsqName(&context_, u"D:\\u\\a.rst", kRsqExtensionRsq, name), 0u);
  EXPECT_EQ(std::u16string(name), kInstalledDriverDirectory + u"a.rsq");
  EXPECT_GT(PathMakeRsqName(&context_, u"D:\\u\\a.rst", kRsqExtensionRsd, name), 0u);
  EXPECT_EQ(std::u16string(name), kInstalledDriverDirectory + u"a.rsd");
  EXPECT_GT(PathMakeRsqName(&context_, u"D:\\u\\noext", kRsqExtensionRsq, name), 0u);
  EXPECT_EQ(std::u16string(name), kInstalledDriverDirectory + u"noext");
  EXPECT_EQ(PathMakeRsqName(&context_, (u"D:\\" + std::u16string(250, u'n') + u".rst").c_str(), 0x10, name), 0u);
  EXPECT_EQ(name[0], 0);
}

TEST_F(DriverFolderNamesTest, TheModelNameComesFromTheDriverIniUnderTheDriversName) {
  EXPECT_EQ(CfgReadModelName(&context_), nullptr);
  const std::u16string ini = kInstalledDriverDirectory + u"qndrv.ini";
  const std::u16string driver(velm::tools::kDriverName);
  ASSERT_TRUE(WritePrivateProfileStringW(u"Models", driver.c_str(), u"VELM C4000", ini.c_str()));
  const WCHAR* model = CfgReadModelName(&context_);
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(std::u16string(model), u"VELM C4000");
  EXPECT_EQ(model, work_->modelName);
  // The field holds 32 characters.
  ASSERT_TRUE(WritePrivateProfileStringW(u"Models", driver.c_str(), std::u16string(40, u'm').c_str(), ini.c_str()));
  EXPECT_EQ(std::u16string(CfgReadModelName(&context_)), std::u16string(32, u'm'));
  ASSERT_TRUE(WritePrivateProfileStringW(u"Models", driver.c_str(), u"", ini.c_str()));
  EXPECT_EQ(CfgReadModelName(&context_), nullptr);
}

TEST_F(DriverFolderNamesTest, ADrivePathSettingsIniNamesThePerUserFolder) {
  ASSERT_TRUE(SetMachineSetting("os", "nt10"));
  WCHAR folder[MAX_PATH];
  lstrcpyW(work_->settingsIniPath, u"D:\\x\\qnset.ini");
  EXPECT_EQ(PathGetUserDir(&context_, folder, MAX_PATH), 4u);
  EXPECT_EQ(std::u16string(folder), u"D:\\x");
  // Without a drive path, or without a context, the folder is the version's.
  lstrcpyW(work_->settingsIniPath, u"qnset.ini");
  EXPECT_GT(PathGetUserDir(&context_, folder, MAX_PATH), 0u);
  EXPECT_TRUE(std::u16string(folder).ends_with(u"\\AppData\\LocalLow\\_velm"));
  // The settings INI of a terminal-server session lies there; elsewhere in the shared folder.
  work_->settingsIniPath[0] = 0;
  ASSERT_TRUE(SetMachineSetting("terminal_server", "0"));
  SysResetTerminalServerCache();
  ASSERT_NE(PathGetSettingsIni(&context_), nullptr);
  EXPECT_EQ(std::u16string(work_->settingsIniPath), u"C:\\_velm\\qnset.ini");
}

}  // namespace
