#include "core/resources.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "core/machine_root.h"
#include "core/modules.h"
#include "core/winerror.h"
#include "support/temp_root.h"

namespace velm::platform {
namespace {
namespace fs = std::filesystem;

// The test module's resources: see tests/platform/core/modules/resource_module.cpp.
class ResourcesTest : public ::testing::Test {
 protected:
  void SetUp() override { module_ = Load("test_resource_module.so", u"Res.dll"); }
  void TearDown() override {
    if (module_) FreeLibrary(module_);
  }

  HMODULE Load(const char* built, const std::u16string& name, DWORD flags = 0) {
    const fs::path target = root_.OnDriveC("Drivers/" + std::string(name.begin(), name.end()));
    fs::create_directories(target.parent_path());
    fs::copy_file(test::ModuleDir() / built, target, fs::copy_options::overwrite_existing);
    const HMODULE module = LoadLibraryExW((u"C:\\Drivers\\" + name).c_str(), nullptr, flags);
    EXPECT_NE(module, nullptr) << GetLastError();
    return module;
  }
  static std::u16string String(HMODULE module, UINT id, int capacity = 64) {
    WCHAR buffer[64];
    const int length = LoadStringW(module, id, buffer, capacity);
    EXPECT_EQ(std::char_traits<char16_t>::length(buffer), static_cast<size_t>(length));
    return std::u16string(buffer, length);
  }

  test::TempMachineRoot root_;
  HMODULE module_ = nullptr;
};

TEST_F(ResourcesTest, StringsAreFoundByNumberAcrossTablesAndCutToTheBuffer) {
  EXPECT_EQ(String(module_, 1), u"One");
  EXPECT_EQ(String(module_, 2), u"Two words");
  EXPECT_EQ(String(module_, 16), u"Sixteen");
  // Absent or empty strings, and ids of tables the module does not have, read as "".
  EXPECT_EQ(String(module_, 15), u"");
  EXPECT_EQ(String(module_, 3), u"");
  EXPECT_EQ(String(module_, 40), u"");
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);

  // A short buffer takes capacity-1 characters and a NUL, and nothing past it.
  WCHAR buffer[8];
  std::fill(std::begin(buffer), std::end(buffer), u'#');
  EXPECT_EQ(LoadStringW(module_, 2, buffer, 4), 3);
  EXPECT_EQ(std::u16string(buffer, 5), std::u16string(u"Two\0#", 5));
  EXPECT_EQ(LoadStringW(module_, 2, buffer, 1), 0);
  EXPECT_EQ(buffer[0], 0);

  // bufferMax 0 hands out a pointer to the text in place, without its NUL.
  const WCHAR* text = nullptr;
  EXPECT_EQ(LoadStringW(module_, 16, reinterpret_cast<LPWSTR>(&text), 0), 7);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::u16string(text, 7), u"Sixteen");

  EXPECT_EQ(LoadStringW(module_, 1, nullptr, 10), 0);
  EXPECT_EQ(LoadStringW(module_, 1, buffer, -1), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(ResourcesTest, TheUsersUiLanguageChoosesAmongTheModulesLanguages) {
  EXPECT_EQ(String(module_, 1), u"One");  // English (US) when the user's language is absent
  SetMachineSetting("userlang", "1041");
  EXPECT_EQ(String(module_, 1), u"イチ");
  // A table only English has is found whatever the user's language.
  EXPECT_EQ(String(module_, 16), u"Sixteen");
  SetMachineSetting("userlang", "1036");
  EXPECT_EQ(String(module_, 1), u"One");

  // An asked language: exact, else the same primary language, else not found.
  const HRSRC japanese = FindResourceExW(module_, RT_STRING, MAKEINTRESOURCEW(1), 0x0411);
  const HRSRC british = FindResourceExW(module_, RT_STRING, MAKEINTRESOURCEW(1), 0x0809);
  const HRSRC english = FindResourceW(module_, MAKEINTRESOURCEW(1), RT_STRING);
  ASSERT_NE(japanese, nullptr);
  EXPECT_EQ(british, english);
  EXPECT_NE(japanese, english);
  EXPECT_EQ(FindResourceExW(module_, RT_STRING, MAKEINTRESOURCEW(1), 0x040C), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_LANG_NOT_FOUND);
}

TEST_F(ResourcesTest, RawResourcesAreFoundByNumberOrByDecimalNameAndReadInPlace) {
  const HRSRC data = FindResourceW(module_, MAKEINTRESOURCEW(7), RT_RCDATA);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(FindResourceW(module_, u"#7", u"#10"), data);
  EXPECT_EQ(SizeofResource(module_, data), 4u);
  const void* bytes = LockResource(LoadResource(module_, data));
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(std::memcmp(bytes, "DATA", 4), 0);

  EXPECT_EQ(FindResourceW(module_, MAKEINTRESOURCEW(8), RT_RCDATA), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
  EXPECT_EQ(FindResourceW(module_, MAKEINTRESOURCEW(7), RT_DIALOG), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
  // Named resources do not exist; a name that is not "#<number>" finds nothing.
  EXPECT_EQ(FindResourceW(module_, u"DATA", RT_RCDATA), nullptr);
  EXPECT_EQ(FindResourceW(module_, u"#7x", RT_RCDATA), nullptr);

  // A handle is only good with the module that gave it.
  const HMODULE other = Load("test_resource_module.so", u"Other.dll");
  EXPECT_EQ(SizeofResource(other, data), 0u);
  EXPECT_EQ(LoadResource(other, data), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_DATA_NOT_FOUND);
  FreeLibrary(other);
}

TEST_F(ResourcesTest, ADataFileLoadReadsTheSameResources) {
  const HMODULE data = Load("test_resource_module.so", u"Data.dll", LOAD_LIBRARY_AS_DATAFILE);
  EXPECT_EQ(String(data, 2), u"Two words");
  FreeLibrary(data);
}

TEST_F(ResourcesTest, ModulesWithoutOrWithADamagedImageHaveNoResources) {
  const HMODULE damaged = Load("test_damaged_resource_module.so", u"Damaged.dll");
  EXPECT_EQ(FindResourceW(damaged, MAKEINTRESOURCEW(1), RT_STRING), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_DATA_NOT_FOUND);
  EXPECT_EQ(String(damaged, 1), u"");
  FreeLibrary(damaged);

  const HMODULE plain = Load("test_counting_module.so", u"Plain.dll");
  EXPECT_EQ(String(plain, 1), u"");
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_DATA_NOT_FOUND);
  FreeLibrary(plain);
}

TEST_F(ResourcesTest, AFreedModulesResourcesAreGone) {
  const HMODULE module = Load("test_resource_module.so", u"Gone.dll");
  ASSERT_EQ(String(module, 1), u"One");
  ASSERT_TRUE(FreeLibrary(module));
  EXPECT_EQ(String(module, 1), u"");
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

}  // namespace
}  // namespace velm::platform
