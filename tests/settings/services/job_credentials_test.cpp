// The job-credential interface against the installed service: credentials carried between
// contexts, the driver's own items by interface version, the dispatcher's codes and results,
// a service that is missing or fails, and values longer than their items.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "settings/context/context_fixture.h"
#include "core/unicode.h"
#include "settings/description/access.h"
#include "settings/services/help_language.h"
#include "settings/services/job_credentials.h"
#include "settings/constraints/condition_items.h"
#include "settings/constraints/eval.h"

namespace {

namespace jc = velm::jobcr;
using velm::platform::EraseMachineSetting;
using velm::platform::SetMachineSetting;

class JobCredentialsTest : public ContextTest {
 protected:
  void TearDown() override {
    for (DriverContext* c : contexts_) Destroy(c, false);
    ContextTest::TearDown();
  }

  DriverContext* NewContext() {
    DriverContext* c = CtxCreate(Open(), 0, 0);
    EXPECT_NE(c, nullptr);
    contexts_.push_back(c);
    return c;
  }
  // Destroyed, not cached, so that the next context starts from the printer.
  void Destroy(DriverContext* c, bool forget = true) {
    JcDispatch(c, kJcClose, 0);
    CtxDestroyEx(c, kReleaseDestroy);
    if (forget) std::erase(contexts_, c);
  }
  std::filesystem::path ServiceFile() const {
    return root_.OnDriveC("Windows/System32/spool/drivers/w32x86/3/qnjobcr.dll");
  }

  static ItemTableRow* Row(DriverContext* c, WORD id) { return OptFindItem(c->itemTable, id); }
  static std::u16string Text(DriverContext* c, WORD id) {
    WCHAR buffer[80];
    OptGetString(c, Row(c, id), buffer, 80);
    return buffer;
  }
  static void SetText(DriverContext* c, WORD id, const std::u16string& text) {
    ASSERT_TRUE(OptSetString(c, Row(c, id), text.c_str()));
  }
  // The service's value of `item` through the context's open session: the text, "<none>" or "<error N>".
  static std::u16string ServiceText(DriverContext* c, DWORD item) {
    const JcSession s = JcGetSession(c);
    if (!s.session) return u"<no session>";
    DWORD needed = 0;
    DWORD status = s.table->read(s.session, item, jc::kKindText, nullptr, 0, &needed);
    if (status == ERROR_SUCCESS) {
      std::u16string text(needed / 2, u'\0');
      status = s.table->read(s.session, item, jc::kKindText, text.data(), needed, &needed);
      if (status == ERROR_SUCCESS) return text.substr(0, text.find(u'\0'));
    }
    if (status == ERROR_INVALID_DATA) return u"<none>";
    return u"<error " + velm::platform::Utf8ToUtf16(std::to_string(status)) + u">";
  }
  static void ServiceWrite(DriverContext* c, DWORD item, const std::u16string& text) {
    const JcSession s = JcGetSession(c);
    ASSERT_NE(s.session, nullptr);
    ASSERT_EQ(s.table->write(s.session, item, jc::kKindText, text.c_str(), DWORD(text.size() + 1) * 2), 0u);
  }

  std::vector<DriverContext*> contexts_;
};

constexpr WORD kCredentialItems[] = {216, 217, 220, 215, 219, 243, 221};

TEST(JobCredentialsTableTest, BuffersAreTwiceTheirAnsiItemsAndMasksOneBitPerRow) {
  const ItemTable* table = OptGetStaticItemTable();
  for (const JcItemMapRow& map : kJcItemMap) {
    const ItemTableRow* row = OptFindItem(table, map.devmodeItem);
    ASSERT_NE(row, nullptr) << map.item;
    if (map.item == jc::kItemTelephoneLine) {
      EXPECT_EQ(DescriptorType(row->descriptor), kTypeU32);
      EXPECT_EQ(map.bufferBytes, 32u);
    } else {
      EXPECT_EQ(DescriptorType(row->descriptor), kTypeAnsi) << map.item;
      EXPECT_EQ(map.bufferBytes, 2u * DescriptorLength(row->descriptor)) << map.item;
    }
  }
  for (size_t i = 0; i < std::size(kJcItemMaskTable); ++i) EXPECT_EQ(kJcItemMaskTable[i].mask, 1u << i);
}

TEST_F(JobCredentialsTest, CredentialsWrittenInOneContextAreReadInAnother) {
  DriverContext* a = NewContext();
  const std::u16string values[] = {u"12345678", u"Owner Name", u"jobpw", u"uid", u"Report.txt",
                                   u"0049 30 123456", u"stored"};
  for (size_t i = 0; i < std::size(kCredentialItems); ++i) SetText(a, kCredentialItems[i], values[i]);
  OptSetValue(a, kItemTelLine, 2);
  EXPECT_EQ(JcDispatch(a, kJcWriteOnce, kJcMaskCredentials), 0u);
  EXPECT_EQ(JcGetSession(a).module, nullptr);
  Destroy(a);

  DriverContext* b = NewContext();
  EXPECT_EQ(Text(b, 216), u"");
  OptSetValue(b, kItemUserCodeGet, 1);
  OptSetValue(b, kItemUserCodeDLL, 1);
  EXPECT_EQ(JcDispatch(b, kJcReadOnce, kJcMaskCredentials), 0u);
  for (size_t i = 0; i < std::size(kCredentialItems); ++i) EXPECT_EQ(Text(b, kCredentialItems[i]), values[i]);
  EXPECT_EQ(OptGetValue(b, kItemTelLine), 2u);
  EXPECT_EQ(OptGetValue(b, kItemUserCodeGet), 0u);
  EXPECT_EQ(OptGetValue(b, kItemUserCodeDLL), 0u);
  EXPECT_EQ(JcGetSession(b).module, nullptr);  // opened, read, closed and unloaded

  // The line travels as decimal text, signed so that every stored value comes back.
  ASSERT_EQ(JcDispatch(b, kJcOpen, 0), 0u);
  EXPECT_EQ(ServiceText(b, jc::kItemTelephoneLine), u"2");
  OptSetValue(b, kItemTelLine, 0xFFFFFFFF);
  EXPECT_EQ(JcDispatch(b, kJcWrite, 0x40), 0u);
  EXPECT_EQ(ServiceText(b, jc::kItemTelephoneLine), u"-1");
  OptSetValue(b, kItemTelLine, 0);
  EXPECT_EQ(JcDispatch(b, kJcRead, 0x40), 0u);
  EXPECT_EQ(OptGetValue(b, kItemTelLine), 0xFFFFFFFFu);
}

TEST_F(JobCredentialsTest, DriverItemsAreWrittenFromVersion258Only) {
  DriverContext* a = NewContext();
  SetText(a, kItemWdmDriverVersion, u"3.60");
  OptSetValue(a, kItemLanguageID, 17);
  ASSERT_TRUE(SetMachineSetting("qnjobcr_versions", "257"));
  ASSERT_EQ(JcDispatch(a, kJcOpen, 0), 0u);
  EXPECT_EQ(JcGetSession(a).version, 257u);
  EXPECT_EQ(JcDispatch(a, kJcWrite, 0x700), 0u);
  JcDispatch(a, kJcClose, 0);

  ASSERT_TRUE(EraseMachineSetting("qnjobcr_versions"));
  ASSERT_EQ(JcDispatch(a, kJcOpen, 0), 0u);
  EXPECT_EQ(JcGetSession(a).version, 258u);
  EXPECT_EQ(ServiceText(a, jc::kItemSignature), u"<none>");  // nothing reached the service under 257
  WORD primary = 0;
  WORD sub = 0;
  const bool known = ResFindLanguage(17, &primary, &sub);
  EXPECT_EQ(JcDispatch(a, kJcWrite, 0x700), known ? 0u : DWORD(ERROR_NOT_FOUND));
  EXPECT_EQ(ServiceText(a, jc::kItemSignature), u"VELM");
  EXPECT_EQ(ServiceText(a, jc::kItemVersionText), u"3.60");
  const JcSession s = JcGetSession(a);
  DWORD language = 0;
  DWORD needed = 0;
  const DWORD status = s.table->read(s.session, jc::kItemLanguage, jc::kKindNumber, &language, 4, &needed);
  if (known) {
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(language, (DWORD(sub) << 10) | primary);
  } else {
    EXPECT_EQ(status, DWORD(ERROR_INVALID_DATA));  // no language: nothing is sent in its place
  }
}

TEST_F(JobCredentialsTest, AMissingOrRefusingServiceIsReportedAndChangesNothing) {
  DriverContext* a = NewContext();
  SetText(a, 216, u"keep");
  OptSetValue(a, kItemUserCodeGet, 1);
  const JcSession empty{};
  auto expectNothingLoaded = [&] {
    const JcSession s = JcGetSession(a);
    EXPECT_EQ(std::memcmp(&s, &empty, sizeof s), 0);
  };

  // A library without the exports; it is not loaded earlier in this test, so the file is read anew.
  std::filesystem::copy_file(velm::test::ModuleDir() / "qntsetst.so", ServiceFile(),
                             std::filesystem::copy_options::overwrite_existing);
  EXPECT_EQ(JcDispatch(a, kJcOpen, 0), DWORD(ERROR_PROC_NOT_FOUND));
  expectNothingLoaded();
  std::filesystem::remove(ServiceFile());
  EXPECT_EQ(JcDispatch(a, kJcOpen, 0), DWORD(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(JcDispatch(a, kJcReadOnce, kJcMaskCredentials), DWORD(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(JcDispatch(a, kJcStatus0, 0), DWORD(ERROR_MOD_NOT_FOUND));
  expectNothingLoaded();
  EXPECT_EQ(Text(a, 216), u"keep");
  EXPECT_EQ(OptGetValue(a, kItemUserCodeGet), 1u);  // a failed load ends the code

  std::filesystem::copy_file(velm::test::ModuleDir() / "qnjobcr.so", ServiceFile());
  ASSERT_TRUE(SetMachineSetting("qnjobcr_versions", ""));
  EXPECT_EQ(JcDispatch(a, kJcOpen, 0), DWORD(ERROR_NOT_SUPPORTED));
  ASSERT_TRUE(SetMachineSetting("qnjobcr_fail_interface", "5"));
  EXPECT_EQ(JcDispatch(a, kJcWriteOnce, kJcMaskCredentials), 5u);
  expectNothingLoaded();
  ASSERT_TRUE(EraseMachineSetting("qnjobcr_fail_interface"));
  ASSERT_TRUE(EraseMachineSetting("qnjobcr_versions"));
  ASSERT_TRUE(SetMachineSetting("qnjobcr_fail_open", "31"));
  EXPECT_EQ(JcDispatch(a, kJcOpen, 0), 31u);
  EXPECT_NE(JcGetSession(a).module, nullptr);  // loaded, no session
  EXPECT_EQ(JcGetSession(a).session, nullptr);
  EXPECT_EQ(JcDispatch(a, kJcClose, 0), 0u);
  expectNothingLoaded();
}

TEST_F(JobCredentialsTest, DispatcherResultsForBadItemsCodesAndNoSession) {
  DriverContext* a = NewContext();
  SetText(a, 216, u"keep");
  EXPECT_EQ(JcDispatch(a, 0x1234, 0), DWORD(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(JcDispatch(nullptr, kJcRead, 1), DWORD(ERROR_INVALID_PARAMETER));
  // No session: nothing is read or written.
  EXPECT_EQ(JcDispatch(a, kJcRead, kJcMaskAll), 0u);
  EXPECT_EQ(JcDispatch(a, kJcWrite, kJcMaskAll), 0u);
  EXPECT_EQ(JcWriteOneItem(a, 9), 0u);
  ASSERT_EQ(JcDispatch(a, kJcOpen, 0), 0u);
  EXPECT_EQ(ServiceText(a, jc::kItemUserCode), u"<none>");
  for (DWORD item : {0u, 9u, 255u, 259u, 0xFFFFFFFFu}) {
    EXPECT_EQ(JcReadOneItem(a, item), kJcResultUnknownItem) << item;
    EXPECT_EQ(JcWriteOneItem(a, item), kJcResultUnknownItem) << item;
  }
  // The driver's items have no devmode item to read into.
  for (DWORD item : {256u, 257u, 258u}) EXPECT_EQ(JcReadOneItem(a, item), kJcResultUnknownItem) << item;
  EXPECT_EQ(JcDispatch(a, kJcRead, kJcMaskAll), kJcResultUnknownItem);
  EXPECT_EQ(JcDispatch(a, kJcOpenReadAll, 0), 0u);
  EXPECT_EQ(Text(a, 216), u"keep");  // the service holds no value: the item stays
  // The status slots answer for the printer, and leave the session they found.
  const JcSession before = JcGetSession(a);
  ASSERT_TRUE(SetMachineSetting("qnjobcr_status0", "3"));
  ASSERT_TRUE(SetMachineSetting("qnjobcr_status1", "0x20000005"));
  OptSetValue(a, kItemUserCodeDLL, 1);
  EXPECT_EQ(JcDispatch(a, kJcStatus0, 0), 3u);
  EXPECT_EQ(OptGetValue(a, kItemUserCodeDLL), 0u);
  EXPECT_EQ(JcDispatch(a, kJcStatus1, 0), 0x20000005u);
  EXPECT_EQ(JcDispatch(a, kJcReadOnce, kJcMaskCredentials), 0u);
  EXPECT_EQ(JcDispatch(a, kJcWriteOnce, kJcMaskCredentials), 0u);
  EXPECT_EQ(JcDispatch(a, kJcOpen, 0), 0u);
  EXPECT_EQ(JcGetSession(a).module, before.module);
  EXPECT_EQ(JcGetSession(a).session, before.session);
  EXPECT_EQ(ServiceText(a, jc::kItemUserCode), u"keep");
  // Alone, the status codes load and unload.
  JcDispatch(a, kJcClose, 0);
  EXPECT_EQ(JcDispatch(a, kJcStatus1, 0), 0x20000005u);
  EXPECT_EQ(JcGetSession(a).module, nullptr);
}

TEST_F(JobCredentialsTest, LongValuesAreCutToTheirItemAndTerminated) {
  DriverContext* a = NewContext();
  SetText(a, 217, u"owner");  // the field after the user code
  ASSERT_EQ(JcDispatch(a, kJcOpen, 0), 0u);
  ServiceWrite(a, jc::kItemUserCode, u"ABCDEFGHIJKLMNOPQRSTUVWXYZ");
  const std::u16string longNumber(200, u'7');
  ServiceWrite(a, jc::kItemTelephoneNumber, longNumber);
  EXPECT_EQ(JcDispatch(a, kJcRead, 0x21), 0u);
  EXPECT_EQ(Text(a, 216), u"ABCDEFGH");
  EXPECT_EQ(OptGetItemAddress(a, Row(a, 216))[8], 0);
  EXPECT_EQ(Text(a, 217), u"owner");
  EXPECT_EQ(Text(a, 243), longNumber.substr(0, 64));

  // The one-shot read of the 9x platform keeps to the caller's buffer in the same way.
  ASSERT_TRUE(SetMachineSetting("os", "9x"));
  WCHAR buffer[12];
  std::fill(std::begin(buffer), std::end(buffer), u'x');
  EXPECT_TRUE(JcReadItemDirect(a->printer, jc::kItemUserCode, jc::kKindText, buffer));
  EXPECT_EQ(std::u16string(buffer), u"ABCDEFGH");
  EXPECT_EQ(buffer[9], u'x');
  EXPECT_FALSE(JcReadItemDirect(a->printer, jc::kItemOwnerName, jc::kKindText, buffer));  // no value
  EXPECT_EQ(buffer[0], 0);
  EXPECT_FALSE(JcReadItemDirect(a->printer, jc::kItemUserCode, jc::kKindNumber, buffer));  // the wrong kind
  EXPECT_FALSE(JcReadItemDirect(a->printer, jc::kItemSignature, jc::kKindText, buffer));
  EXPECT_FALSE(JcReadItemDirect(a->printer, jc::kItemUserCode, jc::kKindText, nullptr));
}

TEST_F(JobCredentialsTest, AFailedReadLeavesTheItemAsItWas) {
  DriverContext* a = NewContext();
  SetText(a, 216, u"old");
  ASSERT_EQ(JcDispatch(a, kJcOpen, 0), 0u);
  ServiceWrite(a, jc::kItemUserCode, u"new");
  ASSERT_TRUE(SetMachineSetting("qnjobcr_fail_query", "31"));
  EXPECT_EQ(JcReadOneItem(a, jc::kItemUserCode), 31u);
  ASSERT_TRUE(EraseMachineSetting("qnjobcr_fail_query"));
  ASSERT_TRUE(SetMachineSetting("qnjobcr_fail_read", "32"));
  EXPECT_EQ(JcReadOneItem(a, jc::kItemUserCode), 32u);
  ASSERT_TRUE(SetMachineSetting("qnjobcr_fail_read", "13"));  // "no value" from the size query
  EXPECT_EQ(JcReadOneItem(a, jc::kItemUserCode), 0u);
  ASSERT_TRUE(EraseMachineSetting("qnjobcr_fail_read"));
  ASSERT_TRUE(SetMachineSetting("qnjobcr_short_buffer", "1"));
  EXPECT_EQ(JcReadOneItem(a, jc::kItemUserCode), kJcResultUnknownItem);  // the service's "too small"
  EXPECT_EQ(Text(a, 216), u"old");
  ASSERT_TRUE(EraseMachineSetting("qnjobcr_short_buffer"));
  EXPECT_EQ(JcReadOneItem(a, jc::kItemUserCode), 0u);
  EXPECT_EQ(Text(a, 216), u"new");
}

TEST_F(JobCredentialsTest, ClearEmptiesTheMaskedItemsThenWritesThem) {
  DriverContext* a = NewContext();
  for (WORD id : kCredentialItems) SetText(a, id, u"v");
  OptSetValue(a, kItemTelLine, 7);
  ASSERT_EQ(JcDispatch(a, kJcOpen, 0), 0u);
  ASSERT_EQ(JcDispatch(a, kJcWrite, kJcMaskCredentials), 0u);
  // The user code alone, then all of them.
  EXPECT_EQ(JcDispatch(a, kJcClearWrite, 0x1), 0u);
  EXPECT_EQ(Text(a, 216), u"");
  EXPECT_EQ(ServiceText(a, jc::kItemUserCode), u"<none>");
  EXPECT_EQ(ServiceText(a, jc::kItemOwnerName), u"v");
  EXPECT_EQ(JcDispatch(a, kJcClearWrite, kJcMaskCredentials), 0u);
  const DWORD lineDefault = static_cast<DWORD>(DescGetDefaultValue(kItemTelLine, a));
  EXPECT_EQ(OptGetValue(a, kItemTelLine), lineDefault);
  for (const JcItemMapRow& map : kJcItemMap) {
    if (map.item == jc::kItemTelephoneLine) {
      EXPECT_EQ(ServiceText(a, map.item), velm::platform::Utf8ToUtf16(std::to_string(LONG(lineDefault))));
    } else {
      EXPECT_EQ(Text(a, map.devmodeItem), u"") << map.item;
      EXPECT_EQ(ServiceText(a, map.item), u"<none>") << map.item;
    }
  }
}

}  // namespace
