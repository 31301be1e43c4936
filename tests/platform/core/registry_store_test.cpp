// The registry's store: its pinned byte format, corrupt stores, nesting bounds, and changes
// made by other processes.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "core/machine_root.h"
#include "core/registry.h"
#include "core/registry_hive.h"
#include "core/winerror.h"
#include "support/temp_root.h"

namespace velm::platform {
namespace {

std::filesystem::path MachineHive() { return MachineStore("registry") / "machine.hive"; }

// Runs `body` in a child process and checks that it exits with 0.
template <class Body>
void InChild(Body body) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) ::_exit(body() ? 0 : 1);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

LONG SetDword(HKEY key, const char16_t* name, DWORD value) {
  return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

TEST(RegistryStoreTest, TheStoredFormatIsPinnedByteForByte) {
  RegistryHive hive;
  hive.nextId = 3;
  hive.root.values.push_back({u"v", REG_DWORD, std::string("\1\0\0\0", 4)});
  hive.root.AddSubkey(u"K", 2, 0x0102030405060708ull);
  const std::string expected = std::string("VELMREG1", 8) + std::string("\3\0\0\0\0\0\0\0", 8) +
                               std::string(16, '\0') + std::string("\0\0", 2) +          // root: id, time, ""
                               std::string("\1\0\0\0", 4) +                               // one value
                               std::string("\1\0v\0\4\0\0\0\4\0\0\0\1\0\0\0", 16) +      // "v" REG_DWORD 1
                               std::string("\1\0\0\0", 4) +                               // one subkey
                               std::string("\2\0\0\0\0\0\0\0\x08\x07\x06\x05\x04\x03\x02\x01", 16) +
                               std::string("\1\0K\0", 4) + std::string(8, '\0');          // "K", empty
  EXPECT_EQ(SerializeHive(hive), expected);
  RegistryHive parsed;
  ASSERT_TRUE(ParseHive(expected, parsed));
  EXPECT_EQ(SerializeHive(parsed), expected);
}

TEST(RegistryStoreTest, CorruptStoresGiveBadDbAndAreNeverOverwritten) {
  test::TempMachineRoot root;
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Velm\\Sub", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(SetDword(key, u"a", 1), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(key, u"b", 2), ERROR_SUCCESS);
  const std::string good = test::ReadHostFile(MachineHive());

  // Every truncation is refused.
  for (size_t length = 0; length < good.size(); ++length) {
    test::WriteHostFile(MachineHive(), good.substr(0, length));
    HKEY opened = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Velm", 0, KEY_READ, &opened), ERROR_BADDB) << length;
    EXPECT_EQ(SetDword(key, u"c", 3), ERROR_BADDB) << length;
    EXPECT_EQ(test::ReadHostFile(MachineHive()), good.substr(0, length));
  }
  // Every damaged byte is either refused or read as some well-formed hive, never a crash.
  for (size_t at = 0; at < good.size(); ++at) {
    std::string bad = good;
    bad[at] = static_cast<char>(bad[at] ^ 0xA5);
    test::WriteHostFile(MachineHive(), bad);
    DWORD size = 0;
    const LONG result = RegQueryValueExW(key, u"a", nullptr, nullptr, nullptr, &size);
    EXPECT_TRUE(result == ERROR_SUCCESS || result == ERROR_BADDB || result == ERROR_KEY_DELETED ||
                result == ERROR_FILE_NOT_FOUND)
        << at << ": " << result;
  }
  // Counts far beyond the data.
  std::string huge = good;
  huge.replace(8 + 8 + 16 + 2, 4, "\xff\xff\xff\xff");
  test::WriteHostFile(MachineHive(), huge);
  EXPECT_EQ(RegQueryValueExW(key, u"a", nullptr, nullptr, nullptr, nullptr), ERROR_BADDB);
  test::WriteHostFile(MachineHive(), good);
  EXPECT_EQ(RegQueryValueExW(key, u"b", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  RegCloseKey(key);
}

TEST(RegistryStoreTest, KeysNestAsDeepAsWindowsAllowsAndNoDeeper) {
  test::TempMachineRoot root;
  std::u16string path = u"k";
  for (int i = 1; i < 512; ++i) path += u"\\k";
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(SetDword(key, u"deep", 1), ERROR_SUCCESS);
  EXPECT_EQ(RegCreateKeyExW(key, u"one more", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_INVALID_PARAMETER);
  RegCloseKey(key);
}

TEST(RegistryStoreTest, ChangesByAnotherProcessAreSeenByTheNextCall) {
  test::TempMachineRoot root;
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Velm", &key), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(key, u"count", 1), ERROR_SUCCESS);
  InChild([] {
    HKEY child = nullptr;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"software\\velm", 0, KEY_ALL_ACCESS, &child) == ERROR_SUCCESS &&
           SetDword(child, u"count", 2) == ERROR_SUCCESS && RegCreateKeyW(child, u"FromChild", &child) == 0;
  });
  DWORD value = 0, size = sizeof value;
  EXPECT_EQ(RegQueryValueExW(key, u"count", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size), ERROR_SUCCESS);
  EXPECT_EQ(value, 2u);
  char16_t name[32];
  DWORD length = 32;
  EXPECT_EQ(RegEnumKeyExW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(name), u"FromChild");

  InChild([] { return RegDeleteTreeW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Velm") == ERROR_SUCCESS; });
  EXPECT_EQ(RegQueryValueExW(key, u"count", nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
  RegCloseKey(key);
}

TEST(RegistryStoreTest, WritersInTwoProcessesLoseNoChanges) {
  test::TempMachineRoot root;
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Velm", &key), ERROR_SUCCESS);
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    children[c] = ::fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      bool ok = true;
      for (int i = 0; i < 25; ++i) {
        const std::u16string name = (c ? u"b" : u"a") + std::u16string(1, static_cast<char16_t>(u'A' + i));
        ok = SetDword(key, name.c_str(), static_cast<DWORD>(i)) == ERROR_SUCCESS && ok;
      }
      ::_exit(ok ? 0 : 1);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  DWORD values = 0;
  EXPECT_EQ(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                             nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(values, 50u);
  RegCloseKey(key);
}

}  // namespace
}  // namespace velm::platform
