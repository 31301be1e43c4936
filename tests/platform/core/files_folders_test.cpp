// The machine's folders, paths, temporary files and environment variables.
#include <cstring>
#include <set>

#include "core/machine_root.h"
#include "core/memory.h"
#include "core/modules.h"
#include "core/process.h"
#include "core/security.h"
#include "files_fixture.h"

namespace velm::platform {
namespace {

using FoldersTest = FilesTest;

std::u16string Text(const WCHAR* buffer) { return buffer; }

template <class Function>
Function Proc(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

TEST_F(FoldersTest, SystemFoldersFollowTheSizeRule) {
  WCHAR buffer[64];
  std::fill(std::begin(buffer), std::end(buffer), u'#');
  EXPECT_EQ(GetSystemDirectoryW(buffer, 19), 20u);  // "C:\Windows\system32" is 19 characters
  EXPECT_EQ(buffer[0], u'#');                        // a short buffer is not written
  EXPECT_EQ(GetSystemDirectoryW(nullptr, 0), 20u);
  EXPECT_EQ(GetSystemDirectoryW(buffer, 20), 19u);
  EXPECT_EQ(Text(buffer), u"C:\\Windows\\system32");
  EXPECT_EQ(GetWindowsDirectoryW(buffer, 64), 10u);
  EXPECT_EQ(Text(buffer), u"C:\\Windows");
  EXPECT_EQ(GetSystemWindowsDirectoryW(buffer, 64), 10u);
}

TEST_F(FoldersTest, TempFilesGetUniqueNamesInTheUsersTempFolder) {
  WCHAR temp[MAX_PATH];
  const DWORD length = GetTempPathW(MAX_PATH, temp);
  EXPECT_EQ(Text(temp), u"C:\\Users\\user\\AppData\\Local\\Temp\\");
  EXPECT_EQ(length, Text(temp).size());

  std::set<std::u16string> names;
  for (int i = 0; i < 20; ++i) {
    WCHAR name[MAX_PATH];
    const UINT number = GetTempFileNameW(temp, u"velm", 0, name);
    ASSERT_NE(number, 0u);
    names.insert(name);
    EXPECT_EQ(Text(name).substr(0, Text(temp).size() + 3), Text(temp) + u"vel");
    EXPECT_EQ(GetFileAttributesW(name), FILE_ATTRIBUTE_ARCHIVE);  // made, so nobody else takes it
  }
  EXPECT_EQ(names.size(), 20u);

  WCHAR name[MAX_PATH];
  EXPECT_EQ(GetTempFileNameW(u"C:\\Windows", u"ab", 0x1A2B, name), 0x1A2Bu);
  EXPECT_EQ(Text(name), u"C:\\Windows\\ab1A2B.TMP");
  EXPECT_EQ(GetFileAttributesW(name), INVALID_FILE_ATTRIBUTES);  // a given number only forms the name
  EXPECT_EQ(GetTempFileNameW(u"C:\\Nowhere", u"ab", 0, name), 0u);
  EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);

  // TMP decides, as on Windows.
  ASSERT_TRUE(SetEnvironmentVariableW(u"TMP", u"C:\\Windows\\Temp"));
  GetTempPathW(MAX_PATH, temp);
  EXPECT_EQ(Text(temp), u"C:\\Windows\\Temp\\");
}

TEST_F(FoldersTest, KnownFoldersAreTheUsersAndComeFromTaskMemory) {
  // The driver finds both calls by name in the system's modules.
  HMODULE shell = LoadLibraryW(u"shell32.dll");
  HMODULE ole = LoadLibraryW(u"ole32.dll");
  auto* getFolder = Proc<decltype(&SHGetKnownFolderPath)>(shell, "SHGetKnownFolderPath");
  auto* freeTask = Proc<decltype(&CoTaskMemFree)>(ole, "CoTaskMemFree");
  ASSERT_NE(getFolder, nullptr);
  ASSERT_NE(freeTask, nullptr);
  const uint64_t live = LiveAllocationCount();
  PWSTR path = reinterpret_cast<PWSTR>(1);
  ASSERT_EQ(getFolder(FOLDERID_LocalAppDataLow, 0, nullptr, &path), S_OK);
  EXPECT_EQ(Text(path), u"C:\\Users\\user\\AppData\\LocalLow");
  EXPECT_EQ(LiveAllocationCount(), live + 1);
  freeTask(path);
  EXPECT_EQ(LiveAllocationCount(), live);
  FreeLibrary(shell);
  FreeLibrary(ole);
  ASSERT_EQ(SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &path), S_OK);
  EXPECT_EQ(Text(path), u"C:\\Users\\user\\AppData\\Roaming");
  CoTaskMemFree(path);

  const GUID unknown = {0x01020304, 0x0506, 0x0708, {1, 2, 3, 4, 5, 6, 7, 8}};
  EXPECT_EQ(SHGetKnownFolderPath(unknown, 0, nullptr, &path), E_INVALIDARG);
  EXPECT_EQ(path, nullptr);

  // Another user: the folder follows the machine's user, and must exist unless asked to be made.
  ASSERT_TRUE(SetMachineSetting("user", "alice"));
  EXPECT_EQ(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &path), static_cast<HRESULT>(0x80070002));
  EXPECT_EQ(path, nullptr);
  ASSERT_EQ(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DONT_VERIFY, nullptr, &path), S_OK);
  EXPECT_EQ(Text(path), u"C:\\Users\\alice\\AppData\\Local");
  CoTaskMemFree(path);
  ASSERT_EQ(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &path), S_OK);
  CoTaskMemFree(path);
  EXPECT_TRUE(std::filesystem::is_directory(root_.OnDriveC("Users/alice/AppData/Local")));
}

TEST_F(FoldersTest, ProfileDirectoryFollowsTheSizeProtocol) {
  // Reached as the driver reaches it: by name, from the system's module, with the process token.
  HMODULE userenv = LoadLibraryW(u"UserEnv.dll");
  ASSERT_NE(userenv, nullptr);
  auto* getProfile = Proc<decltype(&GetUserProfileDirectoryW)>(userenv, "GetUserProfileDirectoryW");
  ASSERT_NE(getProfile, nullptr);
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));

  DWORD size = 0;
  EXPECT_FALSE(getProfile(token, nullptr, &size));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(size, 14u);  // "C:\Users\user" and its NUL
  WCHAR buffer[32] = {u'#'};
  size = 13;
  EXPECT_FALSE(getProfile(token, buffer, &size));
  EXPECT_EQ(size, 14u);
  EXPECT_EQ(buffer[0], u'#');
  ASSERT_TRUE(getProfile(token, buffer, &size));
  EXPECT_EQ(Text(buffer), u"C:\\Users\\user");
  EXPECT_FALSE(getProfile(token, buffer, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  CloseHandle(token);
  EXPECT_FALSE(getProfile(token, buffer, &size));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  FreeLibrary(userenv);
}

TEST_F(FoldersTest, EnvironmentComesFromTheMachineRoot) {
  ASSERT_TRUE(SetMachineSetting("computer", "PRINTSRV"));
  const char16_t* source = u"%SystemRoot%\\x;%windir%;%TEMP%;%Tmp%;%USERPROFILE%;%LOCALAPPDATA%;%APPDATA%;"
                           u"%ProgramFiles%;%USERNAME%@%COMPUTERNAME%;%HOME%;%nope%TEMP%;50%";
  const std::u16string expected =
      u"C:\\Windows\\x;C:\\Windows;C:\\Users\\user\\AppData\\Local\\Temp;C:\\Users\\user\\AppData\\Local\\Temp;"
      u"C:\\Users\\user;C:\\Users\\user\\AppData\\Local;C:\\Users\\user\\AppData\\Roaming;C:\\Program Files;"
      u"user@PRINTSRV;%HOME%;%nopeC:\\Users\\user\\AppData\\Local\\Temp;50%";
  const DWORD needed = ExpandEnvironmentStringsW(source, nullptr, 0);
  EXPECT_EQ(needed, expected.size() + 1);
  std::u16string out(needed, u'#');
  EXPECT_EQ(ExpandEnvironmentStringsW(source, out.data(), needed - 1), needed);
  EXPECT_EQ(out[0], u'#');
  EXPECT_EQ(ExpandEnvironmentStringsW(source, out.data(), needed), needed);
  EXPECT_EQ(out.c_str(), expected);

  WCHAR value[64];
  EXPECT_EQ(GetEnvironmentVariableW(u"windir", value, 4), 11u);
  EXPECT_EQ(GetEnvironmentVariableW(u"WINDIR", value, 64), 10u);
  EXPECT_EQ(Text(value), u"C:\\Windows");
  EXPECT_EQ(GetEnvironmentVariableW(u"HOME", value, 64), 0u);  // the host's variables are not the machine's
  EXPECT_EQ(GetLastError(), ERROR_ENVVAR_NOT_FOUND);

  ASSERT_TRUE(SetEnvironmentVariableW(u"PATH", u"C:\\Windows;C:\\Drivers"));
  EXPECT_EQ(GetEnvironmentVariableW(u"Path", value, 64), 21u);
  EXPECT_EQ(Text(value), u"C:\\Windows;C:\\Drivers");
  ASSERT_TRUE(SetEnvironmentVariableW(u"Path", nullptr));
  EXPECT_EQ(GetEnvironmentVariableW(u"PATH", value, 64), 0u);
  EXPECT_FALSE(SetEnvironmentVariableW(u"A=B", u"x"));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(FoldersTest, FullPathsAndTheCurrentDirectory) {
  WCHAR buffer[MAX_PATH];
  EXPECT_EQ(GetCurrentDirectoryW(MAX_PATH, buffer), 19u);
  EXPECT_EQ(Text(buffer), u"C:\\Windows\\System32");
  ASSERT_TRUE(SetCurrentDirectoryW(u"c:\\users"));
  EXPECT_EQ(GetCurrentDirectoryW(0, nullptr), 9u);  // "C:\users", as given

  LPWSTR filePart = nullptr;
  EXPECT_EQ(GetFullPathNameW(u"user\\..\\user\\x.ini", MAX_PATH, buffer, &filePart), 19u);
  EXPECT_EQ(Text(buffer), u"C:\\users\\user\\x.ini");
  ASSERT_NE(filePart, nullptr);
  EXPECT_EQ(Text(filePart), u"x.ini");
  EXPECT_EQ(GetFullPathNameW(u"\\Temp\\", MAX_PATH, buffer, &filePart), 8u);
  EXPECT_EQ(Text(buffer), u"C:\\Temp\\");
  EXPECT_EQ(filePart, nullptr);
  EXPECT_EQ(GetFullPathNameW(u"*.ini", MAX_PATH, buffer, nullptr), 14u);
  EXPECT_EQ(Text(buffer), u"C:\\users\\*.ini");
  EXPECT_EQ(GetFullPathNameW(u"x.ini", 5, buffer, nullptr), 15u);

  EXPECT_FALSE(SetCurrentDirectoryW(u"C:\\Missing"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  Make(u"C:\\plain.txt", "");
  EXPECT_FALSE(SetCurrentDirectoryW(u"C:\\plain.txt"));
  EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);

  // Long and short forms are the path itself, once it exists.
  EXPECT_EQ(GetShortPathNameW(u"C:\\plain.txt", buffer, MAX_PATH), 12u);
  EXPECT_EQ(Text(buffer), u"C:\\plain.txt");
  EXPECT_EQ(GetLongPathNameW(u"C:\\none.txt", buffer, MAX_PATH), 0u);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetShortPathNameW(u"C:\\no\\none.txt", buffer, MAX_PATH), 0u);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

}  // namespace
}  // namespace velm::platform
