// The registry functions: typed values with exact sizes, the size-query protocol, names
// without regard to case, stable enumeration, delete rules, handles and access.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/machine_root.h"
#include "core/registry.h"
#include "core/unicode.h"
#include "core/winerror.h"
#include "support/temp_root.h"

namespace velm::platform {
namespace {

std::string Bytes(std::u16string_view text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

class RegistryTest : public ::testing::Test {
 protected:
  test::TempMachineRoot root_;
  std::vector<HKEY> opened_;

  void TearDown() override {
    for (HKEY key : opened_) RegCloseKey(key);
  }
  HKEY Create(HKEY parent, const char16_t* path, DWORD* disposition = nullptr, REGSAM access = KEY_ALL_ACCESS) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(parent, path, 0, nullptr, 0, access, nullptr, &key, disposition), ERROR_SUCCESS);
    opened_.push_back(key);
    return key;
  }
  HKEY Open(HKEY parent, const char16_t* path, REGSAM access = KEY_READ) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(parent, path, 0, access, &key), ERROR_SUCCESS);
    opened_.push_back(key);
    return key;
  }
  static LONG Set(HKEY key, const char16_t* name, DWORD type, const std::string& data) {
    return RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(data.size()));
  }
  static std::string Query(HKEY key, const char16_t* name, DWORD* type = nullptr) {
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, name, nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    std::string data(size, '\0');
    EXPECT_EQ(RegQueryValueExW(key, name, nullptr, type, reinterpret_cast<BYTE*>(data.data()), &size), ERROR_SUCCESS);
    EXPECT_EQ(size, data.size());
    return data;
  }
  static std::vector<std::u16string> SubkeyNames(HKEY key) {
    std::vector<std::u16string> names;
    char16_t name[256];
    for (DWORD i = 0;; ++i) {
      DWORD length = 256;
      const LONG result = RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (result == ERROR_NO_MORE_ITEMS) break;
      EXPECT_EQ(result, ERROR_SUCCESS);
      if (result != ERROR_SUCCESS) break;
      names.emplace_back(name, length);
    }
    return names;
  }
  static std::vector<std::u16string> ValueNames(HKEY key) {
    std::vector<std::u16string> names;
    char16_t name[256];
    for (DWORD i = 0;; ++i) {
      DWORD length = 256;
      const LONG result = RegEnumValueW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (result == ERROR_NO_MORE_ITEMS) break;
      EXPECT_EQ(result, ERROR_SUCCESS);
      if (result != ERROR_SUCCESS) break;
      names.emplace_back(name, length);
    }
    return names;
  }
};

TEST_F(RegistryTest, EveryTypeRoundTripsWithItsExactBytes) {
  const struct {
    const char16_t* name;
    DWORD type;
    std::string data;
  } values[] = {
      {u"_VELMDirectory", REG_SZ, Bytes(std::u16string(u"C:\\Velm", 8))},  // with its NUL
      {u"Unterminated", REG_SZ, Bytes(u"ab")},                              // kept as given
      {u"Expand", REG_EXPAND_SZ, Bytes(std::u16string(u"%SystemRoot%\\x", 15))},
      {u"Multi", REG_MULTI_SZ, Bytes(std::u16string(u"a\0bc\0\0", 6))},
      {u"INSTALL_COUNT", REG_DWORD, std::string("\x78\x56\x34\x12", 4)},
      {u"Quad", REG_QWORD, std::string("\x08\x07\x06\x05\x04\x03\x02\x01", 8)},
      {u"Blob", REG_BINARY, std::string("\x00\xff\x00\x0d\x0a", 5)},
      {u"Nothing", REG_NONE, std::string()},
  };
  HKEY key = Create(HKEY_LOCAL_MACHINE, u"SOFTWARE\\QUIRN\\VelmDrv");
  for (const auto& v : values) EXPECT_EQ(Set(key, v.name, v.type, v.data), ERROR_SUCCESS) << Utf16ToUtf8(v.name);

  HKEY again = Open(HKEY_LOCAL_MACHINE, u"SOFTWARE\\QUIRN\\VelmDrv");
  for (const auto& v : values) {
    DWORD type = 99;
    EXPECT_EQ(Query(again, v.name, &type), v.data) << Utf16ToUtf8(v.name);
    EXPECT_EQ(type, v.type) << Utf16ToUtf8(v.name);
  }
  EXPECT_EQ(RegSetValueExW(key, u"NullData", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryTest, SizeQueryGivesTheSizeAndShortBuffersGetMoreData) {
  HKEY key = Create(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Velm");
  ASSERT_EQ(Set(key, u"v", REG_BINARY, std::string(16, 'x')), ERROR_SUCCESS);
  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExW(key, u"v", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 16u);
  EXPECT_EQ(type, REG_BINARY);

  BYTE buffer[16] = {};
  size = 15;
  type = 0;
  EXPECT_EQ(RegQueryValueExW(key, u"v", nullptr, &type, buffer, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 16u);
  EXPECT_EQ(type, REG_BINARY);
  EXPECT_EQ(buffer[0], 0);  // nothing copied
  size = 16;
  EXPECT_EQ(RegQueryValueExW(key, u"v", nullptr, nullptr, buffer, &size), ERROR_SUCCESS);
  EXPECT_EQ(buffer[15], 'x');

  EXPECT_EQ(RegQueryValueExW(key, u"v", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExW(key, u"v", nullptr, nullptr, buffer, nullptr), ERROR_INVALID_PARAMETER);
  DWORD reserved = 0;
  EXPECT_EQ(RegQueryValueExW(key, u"v", &reserved, nullptr, nullptr, &size), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegQueryValueExW(key, u"absent", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);

  HKEY missing = reinterpret_cast<HKEY>(1);
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Absent", 0, KEY_READ, &missing), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(missing, nullptr);
  EXPECT_EQ(RegOpenKeyW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Absent", &missing), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, NamesMatchWithoutRegardToCaseAndKeepTheirFirstSpelling) {
  DWORD disposition = 0;
  HKEY key = Create(HKEY_LOCAL_MACHINE, u"Software\\Quirn\\Fusebay\\VodEduduv", &disposition);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  ASSERT_EQ(Set(key, u"INSTALL_COUNT", REG_DWORD, std::string("\1\0\0\0", 4)), ERROR_SUCCESS);

  HKEY same = Open(HKEY_LOCAL_MACHINE, u"SOFTWARE\\QUIRN\\fusebay\\VODEDUDUV\\", KEY_ALL_ACCESS);
  EXPECT_EQ(Query(same, u"install_count"), std::string("\1\0\0\0", 4));
  ASSERT_EQ(Set(same, u"Install_Count", REG_DWORD, std::string("\2\0\0\0", 4)), ERROR_SUCCESS);
  EXPECT_EQ(ValueNames(key), std::vector<std::u16string>{u"INSTALL_COUNT"});
  EXPECT_EQ(Query(key, u"INSTALL_COUNT"), std::string("\2\0\0\0", 4));

  Create(HKEY_LOCAL_MACHINE, u"SOFTWARE\\quirn", &disposition);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  EXPECT_EQ(SubkeyNames(Open(HKEY_LOCAL_MACHINE, u"software")), std::vector<std::u16string>{u"Quirn"});
}

TEST_F(RegistryTest, TheDefaultValueHasTheEmptyName) {
  HKEY key = Create(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Velm");
  ASSERT_EQ(Set(key, nullptr, REG_SZ, Bytes(std::u16string(u"d", 2))), ERROR_SUCCESS);
  EXPECT_EQ(Query(key, u""), Bytes(std::u16string(u"d", 2)));
  ASSERT_EQ(Set(key, u"named", REG_DWORD, std::string(4, '\0')), ERROR_SUCCESS);
  EXPECT_EQ(ValueNames(key), (std::vector<std::u16string>{u"", u"named"}));
  EXPECT_EQ(RegDeleteValueW(key, u""), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExW(key, nullptr, nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, EnumerationOrderIsStableAndEndsWithNoMoreItems) {
  HKEY key = Create(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Velm");
  for (const char16_t* name : {u"b", u"A", u"c", u"B2"}) Create(key, name);
  for (const char16_t* name : {u"z", u"a", u"m"}) ASSERT_EQ(Set(key, name, REG_BINARY, "12345"), ERROR_SUCCESS);
  ASSERT_EQ(Set(key, u"A", REG_BINARY, "1"), ERROR_SUCCESS);  // setting again keeps the place

  const std::vector<std::u16string> subkeys{u"A", u"b", u"B2", u"c"};
  const std::vector<std::u16string> values{u"z", u"a", u"m"};
  EXPECT_EQ(SubkeyNames(key), subkeys);
  EXPECT_EQ(ValueNames(key), values);
  HKEY other = Open(HKEY_LOCAL_MACHINE, u"software\\velm");
  EXPECT_EQ(SubkeyNames(other), subkeys);
  EXPECT_EQ(ValueNames(other), values);

  char16_t name[4];
  DWORD length = 2;  // "B2" needs 3 with its NUL
  EXPECT_EQ(RegEnumKeyExW(key, 2, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  length = 3;
  EXPECT_EQ(RegEnumKeyExW(key, 2, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(length, 2u);

  BYTE data[8];
  DWORD type = 0, size = 4;
  length = 4;
  EXPECT_EQ(RegEnumValueW(key, 0, name, &length, nullptr, &type, data, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 5u);
  size = 8;
  length = 4;
  EXPECT_EQ(RegEnumValueW(key, 0, name, &length, nullptr, &type, data, &size), ERROR_SUCCESS);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), "12345");
  EXPECT_EQ(type, REG_BINARY);
  length = 4;
  EXPECT_EQ(RegEnumValueW(key, 3, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
}

TEST_F(RegistryTest, QueryInfoCountsAndMeasures) {
  HKEY key = Create(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Velm");
  Create(key, u"short");
  Create(key, u"longer name");
  ASSERT_EQ(Set(key, u"v", REG_BINARY, std::string(300, 'x')), ERROR_SUCCESS);
  ASSERT_EQ(Set(key, u"value name", REG_DWORD, std::string(4, 'x')), ERROR_SUCCESS);
  DWORD subkeys = 0, maxSubkey = 0, values = 0, maxName = 0, maxData = 0;
  FILETIME written{};
  EXPECT_EQ(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &maxSubkey, nullptr, &values, &maxName,
                             &maxData, nullptr, &written),
            ERROR_SUCCESS);
  EXPECT_EQ(subkeys, 2u);
  EXPECT_EQ(maxSubkey, 11u);
  EXPECT_EQ(values, 2u);
  EXPECT_EQ(maxName, 10u);
  EXPECT_EQ(maxData, 300u);
  EXPECT_NE(written.dwHighDateTime, 0u);
}

TEST_F(RegistryTest, KeysWithSubkeysAreDeletedOnlyAsATree) {
  HKEY velm = Create(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Velm");
  HKEY leaf = Create(velm, u"Parent\\Leaf");
  Create(velm, u"Parent\\Other\\Deeper");
  ASSERT_EQ(Set(velm, u"v", REG_DWORD, std::string(4, '\0')), ERROR_SUCCESS);

  EXPECT_EQ(RegDeleteKeyW(velm, u"Parent"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyW(velm, u"parent\\LEAF"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyW(velm, u"Parent\\Leaf"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegQueryValueExW(leaf, u"v", nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
  Create(velm, u"Parent\\Leaf");  // a new key of the same name is not the deleted one
  EXPECT_EQ(RegQueryValueExW(leaf, u"v", nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);

  EXPECT_EQ(RegDeleteTreeW(velm, u"Parent"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteTreeW(velm, u"Parent"), ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(SubkeyNames(velm).empty());

  Create(velm, u"Again");
  EXPECT_EQ(RegDeleteTreeW(velm, nullptr), ERROR_SUCCESS);  // contents go, the key stays
  EXPECT_TRUE(SubkeyNames(velm).empty());
  EXPECT_TRUE(ValueNames(velm).empty());
  EXPECT_EQ(RegDeleteValueW(velm, u"v"), ERROR_FILE_NOT_FOUND);

  EXPECT_EQ(RegDeleteKeyW(velm, u""), ERROR_SUCCESS);  // the key itself
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Velm", 0, KEY_READ, &leaf), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u""), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, nullptr), ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryTest, HandlesArePredefinedOrOpenedAndCheckedOnEveryCall) {
  EXPECT_EQ(reinterpret_cast<uintptr_t>(HKEY_LOCAL_MACHINE), 0xFFFFFFFF80000002ull);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(HKEY_CLASSES_ROOT), 0xFFFFFFFF80000000ull);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);

  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Velm", &key), ERROR_SUCCESS);
  HKEY same = nullptr;
  EXPECT_EQ(RegOpenKeyW(key, u"", &same), ERROR_SUCCESS);
  EXPECT_EQ(same, key);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegQueryValueExW(key, u"v", nullptr, nullptr, nullptr, nullptr), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegQueryValueExW(nullptr, u"v", nullptr, nullptr, nullptr, nullptr), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegOpenKeyExW(HKEY_PERFORMANCE_DATA, u"x", 0, KEY_READ, &key), ERROR_INVALID_HANDLE);

  EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"\\SOFTWARE", 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr),
            ERROR_BAD_PATHNAME);
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\\\Velm", 0, KEY_READ, &key), ERROR_BAD_PATHNAME);
  const std::u16string tooLong(256, u'k');
  EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, tooLong.c_str(), 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr),
            ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryTest, HandlesGrantOnlyTheAccessAskedFor) {
  Create(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Velm\\Existing");
  HKEY reader = Open(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Velm", KEY_READ | KEY_WOW64_64KEY);
  EXPECT_EQ(Set(reader, u"v", REG_DWORD, std::string(4, '\0')), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteValueW(reader, u"v"), ERROR_ACCESS_DENIED);
  HKEY sub = nullptr;
  EXPECT_EQ(RegCreateKeyExW(reader, u"New", 0, nullptr, 0, KEY_READ, nullptr, &sub, nullptr), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegCreateKeyExW(reader, u"existing", 0, nullptr, 0, KEY_READ, nullptr, &sub, nullptr), ERROR_SUCCESS);
  opened_.push_back(sub);

  HKEY writer = Open(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Velm", KEY_WRITE);
  EXPECT_EQ(Set(writer, u"v", REG_DWORD, std::string(4, '\0')), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExW(writer, u"v", nullptr, nullptr, nullptr, nullptr), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Query(reader, u"v"), std::string(4, '\0'));
}

TEST_F(RegistryTest, CurrentUserAndClassesRootAreViewsOfOtherKeys) {
  ASSERT_TRUE(SetMachineSetting("user", "alice"));
  EXPECT_EQ(ValueNames(HKEY_CURRENT_USER).size(), 0u);  // present before anything is written
  HKEY key = Create(HKEY_CURRENT_USER, u"Software\\Velm");
  ASSERT_EQ(Set(key, u"who", REG_SZ, Bytes(std::u16string(u"alice", 6))), ERROR_SUCCESS);
  EXPECT_EQ(Query(Open(HKEY_USERS, u"Alice\\Software\\Velm"), u"who"), Bytes(std::u16string(u"alice", 6)));

  ASSERT_TRUE(SetMachineSetting("user", "bob"));
  HKEY none = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Velm", 0, KEY_READ, &none), ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(SubkeyNames(HKEY_CURRENT_USER).empty());

  Create(HKEY_CLASSES_ROOT, u".velm");
  EXPECT_EQ(SubkeyNames(Open(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes")), std::vector<std::u16string>{u".velm"});
  EXPECT_EQ(SubkeyNames(HKEY_USERS), std::vector<std::u16string>{u"alice"});
}

}  // namespace
}  // namespace velm::platform
