#include "settings/services/user_code.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "settings/description/image_fixture.h"
#include "settings/items/store.h"

namespace velm::test {
namespace {

constexpr WORD kServerCode = 10001;
constexpr WORD kCodeInUse = 10002;
constexpr WORD kCode = 10003;
constexpr WORD kProviderCode = 10273;
constexpr WORD kCodeFixed = 724;
constexpr WCHAR kFile[] = u"C:\\_velm\\qndef.ini";

class UserCodeTest : public DescriptionMachineTest {
 protected:
  void SetUp() override {
    DescriptionMachineTest::SetUp();
    std::filesystem::create_directories(root_.OnDriveC("_velm"));  // made when the driver is installed
    CfgSetUserCodeSwitch([](DriverContext*) { return 1; });
  }
  void TearDown() override {
    CfgSetUserCodeSwitch(nullptr);
    for (DriverContext* c : contexts_) CtxDestroyEx(c, kReleaseDestroy);
    DescriptionMachineTest::TearDown();
  }

  DriverContext* Context(const tools::PrinterOptions& options = {}) {
    std::string error;
    if (options.name != tools::kDefaultPrinterName || !options.serverName.empty()) {
      EXPECT_TRUE(tools::AddPrinter(options, &error)) << error;
    }
    DriverContext* c = CtxCreate(Open(tools::PrinterFullName(options)), 0, 0);
    EXPECT_NE(c, nullptr);
    contexts_.push_back(c);
    return c;
  }
  // The items the load fills: in use, the code, the provider's code, fixed.
  static std::string Items(DriverContext* c) {
    const auto text = [&](WORD id) {
      WCHAR buffer[32] = {};
      OptGetString(c, OptFindItem(c->itemTable, id), buffer, 32);
      const std::u16string wide(buffer);
      return std::string(wide.begin(), wide.end());
    };
    return std::to_string(OptGetValue(c, kCodeInUse)) + " " + text(kCode) + " " + text(kProviderCode) + " " +
           std::to_string(OptGetValue(c, kCodeFixed));
  }
  static void Preset(DriverContext* c) {
    OptSetValue(c, kCodeInUse, 1);
    OptSetString(c, OptFindItem(c->itemTable, kCode), u"9999");
    OptSetValue(c, kCodeFixed, 1);
  }
  // A key of qndef.ini as the system's profile functions read it; "<absent>" when it is not there.
  static std::string Key(const WCHAR* section, const WCHAR* key) {
    WCHAR buffer[64];
    GetPrivateProfileStringW(section, key, u"<absent>", buffer, 64, kFile);
    const std::u16string wide(buffer);
    return std::string(wide.begin(), wide.end());
  }
  static void Write(const WCHAR* section, const WCHAR* key, const WCHAR* value) {
    ASSERT_TRUE(WritePrivateProfileStringW(section, key, value, kFile));
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, kFile);
  }
  bool FileExists() const { return std::filesystem::exists(root_.OnDriveC("_velm/qndef.ini")); }

  std::vector<DriverContext*> contexts_;
};

TEST_F(UserCodeTest, AFirstRunCreatesTheFileWithNoCode) {
  DriverContext* c = Context();
  Preset(c);
  EXPECT_EQ(CfgLoadUserCodeIfEnabled(c), 1);
  EXPECT_EQ(Items(c), "0   0");
  EXPECT_EQ(Key(u"Velm Printer", u"UserCode"), "0");
  EXPECT_EQ(Key(u"Velm Printer", u"UserCodeString"), "");
  EXPECT_EQ(Key(u"Quirn UserCode", u"MRUUserCode"), "");
  EXPECT_EQ(Key(u"Velm Printer", u"UserCodeFIX"), "<absent>");
}

TEST_F(UserCodeTest, APrinterWithoutItsOwnSectionTakesTheMostRecentCodeAndRecordsIt) {
  Write(u"Quirn UserCode", u"MRUUserCode", u"4321");
  Write(u"Other Printer", u"UserCode", u"1");
  DriverContext* c = Context();
  EXPECT_EQ(CfgLoadUserCodeIfEnabled(c), 1);
  EXPECT_EQ(Items(c), "0 4321 4321 0");
  EXPECT_EQ(Key(u"Velm Printer", u"UserCode"), "0");
  EXPECT_EQ(Key(u"Velm Printer", u"UserCodeString"), "4321");

  // An empty "UserCode" counts as none as well.
  Write(u"Velm Printer", u"UserCode", u"");
  Write(u"Quirn UserCode", u"MRUUserCode", u"");
  EXPECT_EQ(CfgReadUserCode(c), 1);
  EXPECT_EQ(Items(c), "0   0");
  EXPECT_EQ(Key(u"Velm Printer", u"UserCodeString"), "");
}

TEST_F(UserCodeTest, ThePrintersOwnValuesAreLoadedAndTheCodeCutToItsField) {
  Write(u"Velm Printer", u"UserCode", u"1");
  Write(u"Velm Printer", u"UserCodeString", u"1234");
  Write(u"Velm Printer", u"UserCodeFIX", u"1");
  Write(u"Quirn UserCode", u"MRUUserCode", u"4321");
  DriverContext* c = Context();
  EXPECT_EQ(CfgLoadUserCodeIfEnabled(c), 1);
  EXPECT_EQ(Items(c), "1 1234 1234 1");

  Write(u"Velm Printer", u"UserCode", u"abc");  // present: read as a number, which is 0
  Write(u"Velm Printer", u"UserCodeString", u"123456789012");
  EXPECT_EQ(CfgReadUserCode(c), 1);
  EXPECT_EQ(Items(c), "0 12345678 12345678 1");
  EXPECT_EQ(Key(u"Velm Printer", u"UserCode"), "abc");  // nothing written back
}

TEST_F(UserCodeTest, WithTheSwitchOffNothingIsReadOrWritten) {
  CfgSetUserCodeSwitch(nullptr);  // the model's own switch: off
  DriverContext* c = Context();
  Preset(c);
  EXPECT_EQ(CfgLoadUserCodeIfEnabled(c), 1);
  EXPECT_FALSE(FileExists());
  EXPECT_EQ(Items(c), "1 9999  1");
}

TEST_F(UserCodeTest, AServerPrinterThatPublishesACodeKeepsItsValues) {
  tools::PrinterOptions connection;
  connection.serverName = u"\\\\SERVER";
  DriverContext* c = Context(connection);
  Preset(c);
  OptSetValue(c, kServerCode, 1);
  EXPECT_EQ(CfgLoadUserCodeIfEnabled(c), 1);
  EXPECT_FALSE(FileExists());
  EXPECT_EQ(Items(c), "1 9999  1");

  // Without a published code the server printer reads its own values like any other.
  OptSetValue(c, kServerCode, 0);
  EXPECT_EQ(CfgLoadUserCodeIfEnabled(c), 1);
  EXPECT_EQ(Items(c), "0   0");
  EXPECT_TRUE(FileExists());
}

TEST_F(UserCodeTest, APrinterNameWithBracketsNamesASafeSection) {
  tools::PrinterOptions options;
  options.name = u"Velm [Floor 2]";
  DriverContext* c = Context(options);
  Write(u"Velm ,Floor 2,", u"UserCode", u"1");
  Write(u"Velm ,Floor 2,", u"UserCodeString", u"77");
  EXPECT_EQ(CfgLoadUserCodeIfEnabled(c), 1);
  EXPECT_EQ(Items(c), "1 77 77 0");
}

}  // namespace
}  // namespace velm::test
