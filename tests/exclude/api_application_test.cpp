// The application interface as a program uses it, through the library loaded by name: the
// level, enabling and disabling, the devmodes of each mode and the credentials they carry.
#include <gtest/gtest.h>

#include <filesystem>

#include "api_fixture.h"
#include "core/handles.h"
#include "settings/services/job_credentials.h"

namespace velm::test {
namespace {

constexpr uint32_t kModes[] = {1, 17, 2, 18, 4};
constexpr WORD kPrnMethod = 222;  // kept in the settings INI

class ApiApplicationTest : public ApiTest {
 protected:
  void TearDown() override {
    if (context_) disable_(context_);
    ApiTest::TearDown();
  }
  VELMAPICONTEXT Enable() {
    context_ = enable_(kPrinter);
    EXPECT_NE(context_, nullptr) << GetLastError();
    return context_;
  }
  void WriteSettingsIni(const std::string& text) { WriteHostFile(root_.OnDriveC("_velm/qnset.ini"), text); }

  VELMAPICONTEXT context_ = nullptr;
};

TEST_F(ApiApplicationTest, LevelIsTheMachinesVelmApiKeyElseThree) {
  EXPECT_EQ(checkApiVer_(nullptr), 0);
  EXPECT_EQ(checkApiVer_(""), 0);
  EXPECT_EQ(checkApiVer_(kPrinter), 3) << "no settings INI";
  const std::pair<std::string, int32_t> cases[] = {
      {"[VELMAPI]\r\nVELMAPIVer=2\r\n", 2},  {"[VELMAPI]\r\nVELMAPIVer=0\r\n", 0},
      {"[VELMAPI]\r\nVELMAPIVer=1\r\n", 1},  {"[VELMAPI]\r\nVELMAPIVer=7\r\n", 7},
      {"[VELMAPI]\r\nVELMAPIVer=-1\r\n", 3}, {"[VELMAPI]\r\nOther=1\r\n", 3},
      {"[Velm Printer]\r\nVELMAPIVer=1\r\n", 3},
  };
  for (const auto& [text, level] : cases) {
    WriteSettingsIni(text);
    EXPECT_EQ(checkApiVer_(kPrinter), level) << text;
  }
  // Before NT 5 the settings INI is the system directory's.
  WriteHostFile(root_.OnDriveC("Windows/System32/qnset.ini"), "[VELMAPI]\r\nVELMAPIVer=1\r\n");
  ASSERT_TRUE(platform::SetMachineSetting("os", "nt4"));
  EXPECT_EQ(checkApiVer_(kPrinter), 1);
}

TEST_F(ApiApplicationTest, EnableRefusesWhatNamesNoPrinter) {
  EXPECT_EQ(enable_(nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(enable_("No Such Printer"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PRINTER_NAME);
  // One character more than a name may have is refused, never cut to a name that may exist.
  EXPECT_EQ(enable_(std::string(kApiNameChars, 'x').c_str()), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(disable_(nullptr), 1);
}

TEST_F(ApiApplicationTest, EnableAndDisablePairsLeaveNothingOpen) {
  // The first pair loads the model description and opens the settings mutex, which stay.
  disable_(enable_(kPrinter));
  // Kernel handles come from one counter: a handle opened and closed marks where it stands.
  const auto mark = [] {
    HANDLE h = nullptr;
    EXPECT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"Velm Printer"), &h, nullptr));
    ClosePrinter(h);
    return reinterpret_cast<uintptr_t>(h);
  };
  const uint64_t live = platform::LiveAllocationCount();
  const uintptr_t before = mark();
  for (int round = 0; round < 2; ++round) {
    VELMAPICONTEXT first = enable_(kPrinter), second = enable_(kPrinter);
    ASSERT_TRUE(first && second && first != second);
    for (uint32_t mode : kModes) {
      EXPECT_FALSE(Devmode(first, mode).empty()) << mode;
      EXPECT_EQ(getDevmode_(second, mode, nullptr), static_cast<int32_t>(kDmSize)) << mode;
    }
    EXPECT_EQ(GetModuleHandleW((kDriverFolder + u"qnjobcr.dll").c_str()), nullptr);
    EXPECT_EQ(disable_(second), 1);
    EXPECT_EQ(disable_(first), 1);
    EXPECT_EQ(platform::LiveAllocationCount(), live) << round;
  }
  const uintptr_t after = mark();
  for (uintptr_t h = before + 4; h < after; h += 4)
    EXPECT_EQ(platform::LookupHandle(reinterpret_cast<HANDLE>(h)), nullptr) << "handle " << h << " left open";
}

TEST_F(ApiApplicationTest, FiveModesAnswerTheSizeOthersAndAGonePrinterMinusOne) {
  EXPECT_EQ(getDevmode_(nullptr, 1, nullptr), -1);
  VELMAPICONTEXT context = Enable();
  for (uint32_t mode : {0u, 3u, 5u, 16u, 20u}) EXPECT_EQ(getDevmode_(context, mode, nullptr), -1) << mode;
  for (uint32_t mode : kModes) {
    const std::vector<BYTE> devmode = Devmode(context, mode);
    ASSERT_FALSE(devmode.empty()) << mode;
    EXPECT_EQ(ItemOf(devmode, 19), ItemOf(devmode, 64) != 0 ? 1u : 0u) << "collate is sort on, mode " << mode;
  }
  ASSERT_EQ(platform::DeleteSpoolPrinter(u"Velm Printer"), ERROR_SUCCESS);
  EXPECT_EQ(getDevmode_(context, 4, nullptr), -1);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PRINTER_NAME);
}

TEST_F(ApiApplicationTest, CurrentAndDefaultsReloadStoredOptionsRederivedKeepsTheContexts) {
  WriteSettingsIni("[Velm Printer]\r\nPrnMethod=3\r\n");
  VELMAPICONTEXT context = Enable();
  for (uint32_t mode : kModes) EXPECT_EQ(ItemOf(Devmode(context, mode), kPrnMethod), 3u) << mode;
  WriteSettingsIni("[Velm Printer]\r\nPrnMethod=2\r\n");
  EXPECT_EQ(ItemOf(Devmode(context, 4), kPrnMethod), 3u);
  EXPECT_EQ(ItemOf(Devmode(context, 1), kPrnMethod), 2u);
  WriteSettingsIni("[Velm Printer]\r\nPrnMethod=1\r\n");
  EXPECT_EQ(ItemOf(Devmode(context, 2), kPrnMethod), 1u);
  EXPECT_EQ(ItemOf(Devmode(context, 4), kPrnMethod), 1u);
}

TEST_F(ApiApplicationTest, CredentialsWrittenInOneContextAreReadInAnother) {
  const std::vector<std::pair<WORD, std::u16string>> credentials = {
      {216, u"12345678"}, {217, u"Owner Name"}, {220, u"4711"}, {215, u"uid"},
      {219, u"Report.txt"}, {243, u"0049 30 123456"}, {221, u"9876"}};
  DriverContext* writer = CtxCreate(Open(), 0, 0);
  ASSERT_NE(writer, nullptr);
  for (const auto& [item, text] : credentials) OptSetString(writer, OptFindItem(writer->itemTable, item), text.c_str());
  ASSERT_EQ(JcDispatch(writer, kJcWriteOnce, kJcMaskCredentials), 0u);
  CtxDestroyEx(writer, kReleaseDestroy);

  VELMAPICONTEXT context = Enable();
  for (uint32_t mode : {1u, 2u}) {
    const std::vector<BYTE> devmode = Devmode(context, mode);
    for (const auto& [item, text] : credentials) EXPECT_EQ(TextOf(devmode, item), text) << mode << " item " << item;
  }
  // A service that is missing or fails leaves the items as the rebuilt record has them: empty.
  const auto service = root_.OnDriveC("Windows/System32/spool/drivers/w32x86/3/qnjobcr.dll");
  std::filesystem::rename(service, service.string() + ".aside");
  EXPECT_EQ(TextOf(Devmode(context, 2), 216), u"");
  std::filesystem::rename(service.string() + ".aside", service);
  for (const char* fault : {"qnjobcr_fail_interface", "qnjobcr_fail_open", "qnjobcr_fail_read"}) {
    ASSERT_TRUE(platform::SetMachineSetting(fault, "5"));
    const std::vector<BYTE> devmode = Devmode(context, 2);
    ASSERT_FALSE(devmode.empty()) << fault;
    EXPECT_EQ(TextOf(devmode, 216), u"") << fault;
    ASSERT_TRUE(platform::EraseMachineSetting(fault));
  }
  EXPECT_EQ(TextOf(Devmode(context, 2), 216), u"12345678");
}

TEST_F(ApiApplicationTest, ModesAgainstThePrintersStoredDevmode) {
  StoreDevmode({{kProbeItem, kProbeValue}, {41, 3}, {40, 1}, {64, 1}, {19, 0}, {70, 0}, {104, 50}, {107, 60}});
  VELMAPICONTEXT context = Enable();
  const std::vector<BYTE> rederived = Devmode(context, 4);
  ASSERT_EQ(ItemOf(rederived, kProbeItem), kProbeValue) << "a context is built from the printer's devmode";
  EXPECT_EQ(ItemOf(rederived, 41), 3u);
  EXPECT_EQ(ItemOf(rederived, 40), 0u);

  const std::vector<BYTE> defaults = Devmode(context, 2);
  EXPECT_EQ(ItemOf(defaults, kProbeItem), kProbeValue);
  EXPECT_EQ(static_cast<BYTE>(ItemOf(defaults, 41)), 255);
  EXPECT_EQ(ItemOf(defaults, 19), 1u);
  for (WORD item = 104; item <= 107; ++item) EXPECT_EQ(ItemOf(defaults, item), 0u) << "margins off: " << item;

  const std::vector<BYTE> current = Devmode(context, 1);
  EXPECT_EQ(ItemOf(current, 4), kDmPublicSize);
  EXPECT_EQ(ItemOf(current, 5), kDmPrivateSize);
  EXPECT_NE(ItemOf(current, kProbeItem), kProbeValue) << "the current settings start from the model";
}

}  // namespace
}  // namespace velm::test
