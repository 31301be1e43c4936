// VELMDrvGetDevmode as an application calls it through the loaded library: its results, the
// printer's stored settings in each mode, and the job credentials the service holds.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "api_fixture.h"
#include "settings/job_credentials.h"

namespace velm::test {
namespace {

constexpr WORD kPrnMethod = 222;  // vdmPrnMethod, kept in the settings INI
constexpr uint32_t kAllModes[] = {1, 17, 2, 18, 4};

class ApiDevmodeTest : public ApiTest {
 protected:
  void SetUp() override {
    ApiTest::SetUp();
    LoadModule();
  }
  void TearDown() override {
    if (context_) api_.disable(context_);
    ApiTest::TearDown();
  }
  VELMAPICONTEXT Enable() {
    context_ = api_.enable(kPrinter);
    EXPECT_NE(context_, nullptr) << GetLastError();
    return context_;
  }
  void WriteSettingsIni(const std::string& text) { WriteHostFile(root_.OnDriveC("_velm/qnset.ini"), text); }

  // Credentials written to the service through the job-credential interface of a context of this
  // process, one item per devmode item.
  void WriteCredentials(const std::vector<std::pair<WORD, std::u16string>>& items) {
    DriverContext* writer = CtxCreate(Open(), 0, 0);
    ASSERT_NE(writer, nullptr);
    for (const auto& [item, text] : items) OptSetString(writer, OptFindItem(writer->itemTable, item), text.c_str());
    EXPECT_EQ(JcDispatch(writer, kJcWriteOnce, kJcMaskCredentials), 0u);
    CtxDestroyEx(writer, kReleaseDestroy);
  }

  VELMAPICONTEXT context_ = nullptr;
};

TEST_F(ApiDevmodeTest, FiveModesAnswerTheDevmodeSizeAndNoOtherMode) {
  EXPECT_EQ(api_.getDevmode(nullptr, 1, nullptr), -1);
  VELMAPICONTEXT context = Enable();
  for (uint32_t mode : {0u, 3u, 5u, 8u, 16u, 19u, 20u, 0x80000001u}) {
    SetLastError(0);
    EXPECT_EQ(api_.getDevmode(context, mode, nullptr), -1) << mode;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << mode;
  }
  for (uint32_t mode : kAllModes) {
    EXPECT_EQ(api_.getDevmode(context, mode, nullptr), static_cast<int32_t>(kDmSize)) << mode;
    EXPECT_FALSE(ModuleDevmode(context, mode).empty()) << mode;
  }
}

TEST_F(ApiDevmodeTest, PrinterGoneSinceEnableGivesMinusOne) {
  VELMAPICONTEXT context = Enable();
  ASSERT_EQ(platform::DeleteSpoolPrinter(u"Velm Printer"), ERROR_SUCCESS);
  for (uint32_t mode : kAllModes) {
    SetLastError(0);
    EXPECT_EQ(api_.getDevmode(context, mode, nullptr), -1) << mode;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PRINTER_NAME) << mode;
  }
}

TEST_F(ApiDevmodeTest, Windows9xIsRefused) {
  VELMAPICONTEXT context = Enable();
  ASSERT_TRUE(platform::SetMachineSetting("os", "9x"));
  EXPECT_EQ(api_.getDevmode(context, 1, nullptr), -1);
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
}

TEST_F(ApiDevmodeTest, StoredOptionsAreReloadedByCurrentAndDefaultsOnly) {
  WriteSettingsIni("[Velm Printer]\r\nPrnMethod=3\r\n");
  VELMAPICONTEXT context = Enable();
  for (uint32_t mode : kAllModes) EXPECT_EQ(ItemOf(ModuleDevmode(context, mode), kPrnMethod), 3u) << mode;
  // Changed behind the context's back: the current settings and the defaults read the INI again;
  // the re-derived settings are the context's own.
  WriteSettingsIni("[Velm Printer]\r\nPrnMethod=2\r\n");
  EXPECT_EQ(ItemOf(ModuleDevmode(context, 4), kPrnMethod), 3u);
  EXPECT_EQ(ItemOf(ModuleDevmode(context, 1), kPrnMethod), 2u);
  WriteSettingsIni("[Velm Printer]\r\nPrnMethod=1\r\n");
  EXPECT_EQ(ItemOf(ModuleDevmode(context, 2), kPrnMethod), 1u);
  EXPECT_EQ(ItemOf(ModuleDevmode(context, 4), kPrnMethod), 1u);
}

TEST_F(ApiDevmodeTest, CollateFollowsSortInEveryMode) {
  VELMAPICONTEXT context = Enable();
  for (uint32_t mode : kAllModes) {
    const std::vector<BYTE> devmode = ModuleDevmode(context, mode);
    ASSERT_FALSE(devmode.empty()) << mode;
    EXPECT_EQ(ItemOf(devmode, 19), ItemOf(devmode, 64) != 0 ? 1u : 0u) << mode;
  }
}

TEST_F(ApiDevmodeTest, BidirectionalModesEqualTheirPlainModesWithoutSavedDeviceInformation) {
  VELMAPICONTEXT context = Enable();
  EXPECT_EQ(ModuleDevmode(context, 17), ModuleDevmode(context, 1));
  EXPECT_EQ(ModuleDevmode(context, 18), ModuleDevmode(context, 2));
}

TEST_F(ApiDevmodeTest, CredentialsWrittenInOneContextReachTheDevmodesOfAnother) {
  const std::vector<std::pair<WORD, std::u16string>> credentials = {
      {216, u"12345678"}, {217, u"Owner Name"}, {220, u"4711"}, {215, u"uid"},
      {219, u"Report.txt"}, {243, u"0049 30 123456"}, {221, u"9876"}};
  WriteCredentials(credentials);
  VELMAPICONTEXT context = Enable();
  for (uint32_t mode : {1u, 2u}) {
    const std::vector<BYTE> devmode = ModuleDevmode(context, mode);
    ASSERT_FALSE(devmode.empty());
    for (const auto& [item, text] : credentials) EXPECT_EQ(TextOf(devmode, item), text) << mode << " item " << item;
    EXPECT_EQ(ItemOf(devmode, kItemUserCodeGet), 0u);
    EXPECT_EQ(ItemOf(devmode, kItemUserCodeDll), 0u);
  }
  EXPECT_EQ(GetModuleHandleW((kDriverFolder + u"qnjobcr.dll").c_str()), nullptr);
}

TEST_F(ApiDevmodeTest, AbsentOrFailingServiceLeavesTheCredentialsEmpty) {
  WriteCredentials({{216, u"12345678"}, {217, u"Owner Name"}});
  VELMAPICONTEXT context = Enable();
  ASSERT_EQ(TextOf(ModuleDevmode(context, 2), 216), u"12345678");

  const std::filesystem::path service = root_.OnDriveC("Windows/System32/spool/drivers/w32x86/3/qnjobcr.dll");
  const std::filesystem::path aside = service.string() + ".aside";
  std::filesystem::rename(service, aside);
  std::vector<BYTE> devmode = ModuleDevmode(context, 2);
  ASSERT_FALSE(devmode.empty()) << "a missing service fails no devmode";
  EXPECT_EQ(TextOf(devmode, 216), u"");
  EXPECT_EQ(TextOf(devmode, 217), u"");
  std::filesystem::rename(aside, service);

  for (const char* fault : {"qnjobcr_fail_interface", "qnjobcr_fail_open", "qnjobcr_fail_query", "qnjobcr_fail_read"}) {
    ASSERT_TRUE(platform::SetMachineSetting(fault, "5"));
    devmode = ModuleDevmode(context, 2);
    ASSERT_FALSE(devmode.empty()) << fault;
    EXPECT_EQ(TextOf(devmode, 216), u"") << fault;
    ASSERT_TRUE(platform::EraseMachineSetting(fault));
  }
  EXPECT_EQ(TextOf(ModuleDevmode(context, 2), 216), u"12345678");
}

// ---- The printer's stored devmode ---------------------------------------------------------------

TEST_F(ApiDevmodeTest, DefaultsAreThePrintersStoredDevmodeReset) {
  if (!StoredDevmodeIsLoaded()) GTEST_SKIP() << "contexts are not yet built from the printer's devmode";
  StoreDevmode({{kProbeItem, kProbeValue}, {41, 3}, {40, 1}, {64, 1}, {19, 0}, {70, 0}, {104, 50}, {107, 60}});
  VELMAPICONTEXT context = Enable();
  const std::vector<BYTE> defaults = ModuleDevmode(context, 2);
  ASSERT_FALSE(defaults.empty());
  EXPECT_EQ(ItemOf(defaults, kProbeItem), kProbeValue);
  EXPECT_EQ(static_cast<BYTE>(ItemOf(defaults, 41)), 255);  // no preset
  EXPECT_EQ(ItemOf(defaults, 40), 0u);
  EXPECT_EQ(ItemOf(defaults, 721), 0u);
  EXPECT_EQ(ItemOf(defaults, 19), 1u);
  // Margins off: the margins are cleared.
  for (WORD item = 104; item <= 107; ++item) EXPECT_EQ(ItemOf(defaults, item), 0u) << item;
}

TEST_F(ApiDevmodeTest, RederivedKeepsWhatTheContextWasBuiltFrom) {
  if (!StoredDevmodeIsLoaded()) GTEST_SKIP() << "contexts are not yet built from the printer's devmode";
  StoreDevmode({{kProbeItem, kProbeValue}, {41, 3}, {64, 0}, {19, 1}});
  VELMAPICONTEXT context = Enable();
  const std::vector<BYTE> rederived = ModuleDevmode(context, 4);
  ASSERT_FALSE(rederived.empty());
  EXPECT_EQ(ItemOf(rederived, kProbeItem), kProbeValue);
  EXPECT_EQ(ItemOf(rederived, 41), 3u);
  EXPECT_EQ(ItemOf(rederived, 19), 0u);
}

TEST_F(ApiDevmodeTest, CurrentSettingsStartFromTheModelNotTheStoredDevmode) {
  if (!ModelDefaultsAreBuilt()) GTEST_SKIP() << "records of model defaults are not built yet";
  StoreDevmode({{kProbeItem, kProbeValue}});
  VELMAPICONTEXT context = Enable();
  const std::vector<BYTE> current = ModuleDevmode(context, 1);
  ASSERT_FALSE(current.empty());
  EXPECT_EQ(ItemOf(current, 4), kDmPublicSize);
  EXPECT_EQ(ItemOf(current, 5), kDmPrivateSize);
  EXPECT_NE(ItemOf(current, kProbeItem), kProbeValue);
  EXPECT_EQ(static_cast<BYTE>(ItemOf(current, 41)), 255);
}

}  // namespace
}  // namespace velm::test
