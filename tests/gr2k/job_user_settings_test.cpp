// The per-user job items: what the job-credential service holds for the printing user reaches
// the job's PJL, whoever else prints on the printer; a service that is absent or refuses leaves
// the job as its devmode and the stored options make it; the items outlive a device reset; and
// values longer than their fields are cut.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "companions/qnjobcr/job_credentials.h"
#include "core/path_map.h"
#include "core/profile.h"
#include "core/unicode.h"
#include "driver_fixture.h"
#include "gr2k/job_user_settings.h"
#include "settings/persistence/paths.h"

namespace velm::test {
namespace {

namespace jc = jobcr;

constexpr char16_t kServicePath[] = u"C:\\Windows\\System32\\spool\\drivers\\w32x86\\3\\qnjobcr.dll";
constexpr int kPrintLocked = 1;

class JobUserSettingsTest : public DriverTest {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    SetUser("alice");
  }
  void TearDown() override {
    DriverTest::TearDown();
    for (const char* key : {"qnjobcr_versions", "qnjobcr_fail_interface", "qnjobcr_fail_open", "qnjobcr_fail_read",
                            "qnjobcr_fail_user_read", "user"})
      platform::EraseMachineSetting(key);
  }

  static void SetUser(const std::string& user) { ASSERT_TRUE(platform::SetMachineSetting("user", user)); }

  // Registers `text` for the logged-on user on the printer, as the user's own settings do.
  static void Register(DWORD item, const std::u16string& text) {
    HMODULE module = LoadLibraryW(kServicePath);
    ASSERT_NE(module, nullptr);
    auto get = reinterpret_cast<jc::JCGetInterfaceProc>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, "JCGetInterface")));
    auto dispose = reinterpret_cast<jc::JCDisposeInterfaceProc>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, "JCDisposeInterface")));
    jc::JcInterface* table = nullptr;
    ASSERT_EQ(get(jc::kVersion258, &table), 0u);
    jc::JcSessionHandle session = nullptr;
    ASSERT_EQ(table->open(tools::kDefaultPrinterName.data(), &session), 0u);
    EXPECT_EQ(table->write(session, item, jc::kKindText, text.c_str(), static_cast<DWORD>((text.size() + 1) * 2)), 0u);
    table->close(session);
    dispose(table);
    FreeLibrary(module);
  }

  // The print type stored for the logged-on user (the document start takes it from there).
  void StorePrintType(int type) {
    DriverContext* context = CtxCreate(printer_, 0, kCreateGraphics);
    ASSERT_NE(context, nullptr);
    const std::u16string value = platform::Utf8ToUtf16(std::to_string(type));
    const WCHAR* ini = PathGetSettingsIni(context);
    platform::MappedPath mapped;
    DWORD error = 0;
    ASSERT_TRUE(ini && platform::MapPath(ini, mapped, error)) << error;
    std::filesystem::create_directories(mapped.host.parent_path());
    EXPECT_TRUE(WritePrivateProfileStringW(tools::kDefaultPrinterName.data(), u"PrnMethod", value.c_str(), ini));
    CtxDestroy(context);
  }

  // The job-start PJL of a job printed through the print host (each job start when the job was
  // reset between pages).
  std::vector<std::string> JobStarts(const std::string& pages, const std::vector<tools::ItemAssignment>& items) {
    const platform::PrintResult result = PrintThroughHost(pages, items);
    EXPECT_TRUE(result.ok) << result.message;
    std::vector<std::string> starts;
    for (const jobdump::Packet& packet : JobOf(result).packets)
      if (packet.type == 0xF3 && !packet.text.starts_with("@PJL SET JOBNAME")) starts.push_back(packet.text);
    return starts;
  }
  std::string JobStart(const std::vector<tools::ItemAssignment>& items = {}) {
    const std::vector<std::string> starts = JobStarts("", items);
    return starts.empty() ? std::string() : starts.front();
  }

  static std::string Line(const std::string& command, const std::string& value) {
    return "@PJL SET " + command + " = \"" + value + "\" \r\n";
  }
  static std::string Text(DriverContext* context, WORD item) {
    const ItemTableRow* row = OptFindItem(context->itemTable, item);
    const char* field = reinterpret_cast<const char*>(OptGetItemAddress(context, row));
    return std::string(field, strnlen(field, static_cast<size_t>(DescriptorLength(row->descriptor))));
  }
};

TEST_F(JobUserSettingsTest, TwoUsersOfOnePrinterEachPrintWithTheirOwnCredentials) {
  // The graphics library asks for 259 first; a service without it is read the session's way.
  for (const char* versions : {"257,258,259", "257,258"}) {
    SCOPED_TRACE(versions);
    ASSERT_TRUE(platform::SetMachineSetting("qnjobcr_versions", versions));
    for (const auto& [user, id, password] : {std::tuple{"alice", u"ALICE01", u"1111"}, {"bob", u"BOB02", u"2222"}}) {
      SetUser(user);
      Register(jc::kItemUserId, id);
      Register(jc::kItemJobPassword, password);
      StorePrintType(kPrintLocked);
    }
    for (const auto& [user, id, password] : {std::tuple{"alice", "ALICE01", "1111"}, {"bob", "BOB02", "2222"}}) {
      SetUser(user);
      const std::string start = JobStart({{"215", "DEVMODE"}});
      EXPECT_NE(start.find("@PJL SET JOBTYPE = LOCKED"), std::string::npos) << start;
      EXPECT_NE(start.find(Line("USERID", id)), std::string::npos) << start;
      EXPECT_NE(start.find(Line("LOCKEDPASSWORD", password)), std::string::npos) << start;
    }
  }
}

TEST_F(JobUserSettingsTest, AnAbsentOrRefusingServiceLeavesTheDevmodesValuesAndTheJobPrints) {
  Register(jc::kItemUserId, u"ALICE01");
  StorePrintType(kPrintLocked);
  ASSERT_NE(JobStart({{"215", "DEVMODE"}}).find(Line("USERID", "ALICE01")), std::string::npos);
  const struct {
    const char* key;
    const char* value;
  } faults[] = {
      {"qnjobcr_versions", ""},          // no version granted
      {"qnjobcr_fail_interface", "5"},   //
      {"qnjobcr_fail_open", "0x2000000A"},
      {"qnjobcr_fail_read", "31"},
  };
  for (const auto& fault : faults) {
    SCOPED_TRACE(fault.key);
    ASSERT_TRUE(platform::SetMachineSetting(fault.key, fault.value));
    EXPECT_NE(JobStart({{"215", "DEVMODE"}}).find(Line("USERID", "DEVMODE")), std::string::npos);
    platform::EraseMachineSetting(fault.key);
  }
  std::filesystem::remove(root_.OnDriveC("Windows/System32/spool/drivers/w32x86/3/qnjobcr.dll"));
  EXPECT_NE(JobStart({{"215", "DEVMODE"}}).find(Line("USERID", "DEVMODE")), std::string::npos);
}

TEST_F(JobUserSettingsTest, ValuesLongerThanTheirBufferAreCutAndOnlyTheAskedItemsAreRead) {
  Register(jc::kItemUserId, u"ABCDEFGHIJKL");
  Register(jc::kItemDocumentName, u"Twenty characters!!!");
  Register(jc::kItemTelephoneNumber, u"0123456789");
  StorePrintType(kPrintLocked);
  const std::string start = JobStart();
  EXPECT_NE(start.find(Line("USERID", "ABCDEFGH")), std::string::npos) << start;

  // In this process (a stored job, which would show the document name, needs a hard disk): the
  // telephone number is not asked for.
  RenderPdev* pdev = Enable();
  ASSERT_NE(pdev, nullptr);
  EXPECT_TRUE(JobReadControlValues(pdev->context, printer_, 0, kJobCredentialMask));
  EXPECT_EQ(Text(pdev->context, kItemUserID), "ABCDEFGH");
  EXPECT_EQ(Text(pdev->context, kItemDocumentName), "Twenty character");
  EXPECT_EQ(Text(pdev->context, kItemTelNo), "");
  EXPECT_TRUE(JobReadControlValues(pdev->context, printer_, 0, 0x20));
  EXPECT_EQ(Text(pdev->context, kItemTelNo), "0123456789");
  DrvDisablePDEV(reinterpret_cast<DHPDEV>(pdev));
}

TEST_F(JobUserSettingsTest, TheValuesOutliveADeviceResetInBothModes) {
  Register(jc::kItemUserId, u"ALICE01");
  StorePrintType(kPrintLocked);
  for (const char* raster : {"0", "1"}) {
    SCOPED_TRACE(raster);
    const std::vector<std::string> starts = JobStarts("rect 10 10 50 50 brush=black\nreset\npage\nrect 10 10 50 50 brush=black\n",
                                                      {{"215", "DEVMODE"}, {"183", raster}});
    ASSERT_EQ(starts.size(), 2u);
    for (const std::string& start : starts) EXPECT_NE(start.find(Line("USERID", "ALICE01")), std::string::npos);
  }
}

// The spooler renders a job under its own account: version 259 reads the job owner's values.
TEST_F(JobUserSettingsTest, UserKeyedReadsFollowTheJobsOwnerAndFallBackToTheLoggedOnUser) {
  ASSERT_TRUE(platform::SetMachineSetting("qnjobcr_versions", "257,258,259"));
  Register(jc::kItemUserId, u"ALICE01");
  SetUser("SYSTEM");
  Register(jc::kItemUserId, u"SYSTEM1");
  SetUser("alice");
  const DWORD spoolJob = OpenSpoolJob();
  SetUser("SYSTEM");
  RenderPdev* pdev = Enable();
  ASSERT_NE(pdev, nullptr);
  EXPECT_TRUE(JobReadControlValues(pdev->context, printer_, spoolJob, kJobCredentialMask));
  EXPECT_EQ(Text(pdev->context, kItemUserID), "ALICE01");

  // A failed user-keyed read is read again the session's way (the logged-on user's).
  ASSERT_TRUE(platform::SetMachineSetting("qnjobcr_fail_user_read", "87"));
  EXPECT_TRUE(JobReadControlValues(pdev->context, printer_, spoolJob, kJobCredentialMask));
  EXPECT_EQ(Text(pdev->context, kItemUserID), "SYSTEM1");
  platform::EraseMachineSetting("qnjobcr_fail_user_read");

  // The spooler's "UNKNOWN" owner is nobody: the logged-on user's values.
  std::u16string unknown = u"UNKNOWN";
  JOB_INFO_1W info{};
  info.pUserName = unknown.data();
  info.Priority = 1;
  SetUser("alice");
  ASSERT_TRUE(SetJobW(printer_, spoolJob, 1, reinterpret_cast<LPBYTE>(&info), 0));
  SetUser("SYSTEM");
  OptSetString(pdev->context, OptFindItem(pdev->context->itemTable, kItemUserID), u"");
  EXPECT_TRUE(JobReadControlValues(pdev->context, printer_, spoolJob, kJobCredentialMask));
  EXPECT_EQ(Text(pdev->context, kItemUserID), "SYSTEM1");

  // Without a 259 interface every read is the session's.
  ASSERT_TRUE(platform::SetMachineSetting("qnjobcr_versions", "258"));
  SetUser("alice");
  EXPECT_TRUE(JobReadControlValues(pdev->context, printer_, spoolJob, kJobCredentialMask));
  EXPECT_EQ(Text(pdev->context, kItemUserID), "ALICE01");
  DrvDisablePDEV(reinterpret_cast<DHPDEV>(pdev));
  EXPECT_TRUE(EndDocPrinter(printer_));
}

TEST_F(JobUserSettingsTest, TheMergeKeepsTheContextsValuesThatFitTheirLimit) {
  ASSERT_TRUE(platform::SetMachineSetting("qnjobcr_versions", ""));
  std::vector<BYTE> devmode;
  std::string error;
  CtxSetOpenSteps(nullptr);
  ASSERT_TRUE(tools::BuildJobDevmode(printer_, {{"215", "DEVMODE"}, {"217", "devmode owner"}}, &devmode, &error))
      << error;
  CtxSetOpenSteps(&kTestItemSteps);
  const auto* job = reinterpret_cast<const DEVMODEW*>(devmode.data());
  RenderPdev* pdev = Enable();
  ASSERT_NE(pdev, nullptr);
  DriverContext* c = pdev->context;
  ItemTableRow* owner = OptFindItem(c->itemTable, kItemOwnerName);
  ItemTableRow* id = OptFindItem(c->itemTable, kItemUserID);

  // Eight characters are kept over the devmode; nine (a field without its terminator) are not.
  ASSERT_TRUE(OptSetString(c, id, u"CONTEXT8"));
  ASSERT_TRUE(OptSetString(c, owner, u""));
  OptSetValue(c, kItemTelLine, 300);
  EXPECT_TRUE(JobMergeUserSettings(c, job, kMergeForDocument, printer_, 0));
  EXPECT_EQ(Text(c, kItemUserID), "CONTEXT8");
  EXPECT_EQ(Text(c, kItemOwnerName), "devmode owner");  // an empty value is not put back
  EXPECT_EQ(OptGetValue(c, kItemTelLine), 300u);
  ASSERT_TRUE(OptWriteBytes(c, id, "CONTEXT09", 9));
  EXPECT_TRUE(JobMergeUserSettings(c, job, kMergeForDocument, printer_, 0));
  EXPECT_EQ(Text(c, kItemUserID), "DEVMODE");
  DrvDisablePDEV(reinterpret_cast<DHPDEV>(pdev));
}

TEST_F(JobUserSettingsTest, CollationFollowsTheDevmodesFields) {
  ASSERT_TRUE(platform::SetMachineSetting("qnjobcr_versions", ""));
  RenderPdev* pdev = Enable();
  ASSERT_NE(pdev, nullptr);
  DriverContext* c = pdev->context;
  DEVMODEW devmode{};
  devmode.dmSpecVersion = DM_SPECVERSION;
  devmode.dmSize = sizeof devmode;
  const struct {
    DWORD fields;
    SHORT collate;
    DWORD before;
    DWORD after;
  } cases[] = {
      {0, DMCOLLATE_TRUE, 1, 0},               // not named: off
      {DM_COLLATE, DMCOLLATE_TRUE, 0, 1},      // asked for: on
      {DM_COLLATE, DMCOLLATE_FALSE, 1, 1},     // named but not asked: as the merge left it
  };
  for (const auto& test : cases) {
    devmode.dmFields = test.fields;
    devmode.dmCollate = test.collate;
    OptSetValue(c, kItemFuncSelectSort, test.before);
    EXPECT_TRUE(JobMergeUserSettings(c, &devmode, kMergeForDocument, printer_, 0));
    EXPECT_EQ(OptGetValue(c, kItemFuncSelectSort), test.after) << test.fields << " " << test.collate;
  }
  DrvDisablePDEV(reinterpret_cast<DHPDEV>(pdev));
}

TEST_F(JobUserSettingsTest, ADeviceResetCopiesEveryJobItem) {
  RenderPdev* from = Enable();
  ASSERT_NE(from, nullptr);
  const std::pair<WORD, const char16_t*> texts[] = {
      {kItemUserCode, u"UC1"},      {kItemOwnerName, u"Owner"},       {kItemJOBPassword, u"4321"},
      {kItemUserID, u"ID7"},        {kItemDocumentName, u"Plans"},    {kItemTelNo, u"555-0100"},
      {kItemStoredPassword, u"99"},
  };
  for (const auto& [item, text] : texts)
    ASSERT_TRUE(OptSetString(from->context, OptFindItem(from->context->itemTable, item), text));
  OptSetValue(from->context, kItemTelLine, 2);
  CtxFlushCache(1);
  DriverContext* to = CtxCreate(printer_, 0, kCreateGraphics);
  ASSERT_NE(to, nullptr);
  JobCopyUserSettings(to, from->context);
  for (const auto& [item, text] : texts) EXPECT_EQ(Text(to, item), platform::Utf16ToUtf8(text)) << item;
  EXPECT_EQ(OptGetValue(to, kItemTelLine), 2u);
  CtxDestroy(to);
  DrvDisablePDEV(reinterpret_cast<DHPDEV>(from));
}

}  // namespace
}  // namespace velm::test
