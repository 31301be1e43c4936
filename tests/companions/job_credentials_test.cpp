// The job-credential service as its callers see it: loaded by name from the driver folder,
// interfaces by version, sessions, every item and kind through the needed-size protocol,
// refusals, the fault switches, and its store across reloads, damage and processes.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "companions/qnjobcr/job_credentials.h"
#include "core/machine_root.h"
#include "core/memory.h"
#include "core/modules.h"
#include "core/unicode.h"
#include "core/winerror.h"
#include "support/temp_root.h"

namespace velm::jobcr {
namespace {

constexpr const char16_t* kModulePath = u"C:\\Windows\\System32\\spool\\drivers\\w32x86\\3\\qnjobcr.dll";
constexpr DWORD kTextItems[] = {1, 2, 3, 4, 5, 6, 7, 8, 256, 257};

std::filesystem::path StoreFile() { return platform::MachineStore("jobcr") / "credentials"; }

std::u16string TextOf(const void* bytes, DWORD size) {
  std::u16string text(size / 2, u'\0');
  std::memcpy(text.data(), bytes, text.size() * 2);
  return text;
}

class JobCredentialsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto driverDir = root_.OnDriveC("Windows/System32/spool/drivers/w32x86/3");
    std::filesystem::copy_file(test::ModuleDir() / "qnjobcr.so", driverDir / "qnjobcr.dll");
    Load();
  }
  void TearDown() override { Unload(); }

  void Load() {
    module_ = LoadLibraryW(kModulePath);
    ASSERT_NE(module_, nullptr) << GetLastError();
    getInterface_ = Bind<JCGetInterfaceProc>("JCGetInterface");
    dispose_ = Bind<JCDisposeInterfaceProc>("JCDisposeInterface");
    ASSERT_NE(getInterface_, nullptr);
    ASSERT_NE(dispose_, nullptr);
  }
  template <class Proc>
  Proc Bind(const char* name) {
    return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(module_, name)));
  }
  void Unload() {
    for (JcInterface* i : interfaces_) dispose_(i);
    interfaces_.clear();
    if (module_ != nullptr) FreeLibrary(module_);
    module_ = nullptr;
  }

  JcInterface* Interface(DWORD version) {
    JcInterface* i = nullptr;
    EXPECT_EQ(getInterface_(version, &i), kResultOk);
    if (i != nullptr) interfaces_.push_back(i);
    return i;
  }
  JcSessionHandle Open(JcInterface* i, const char16_t* printer = u"Velm Printer") {
    JcSessionHandle session = nullptr;
    EXPECT_EQ(i->open(printer, &session), kResultOk);
    EXPECT_NE(session, nullptr);
    return session;
  }
  DWORD WriteText(JcInterface* i, JcSessionHandle s, DWORD item, std::u16string text) {
    return i->write(s, item, kKindText, text.c_str(), static_cast<DWORD>((text.size() + 1) * 2));
  }
  // The stored text through a size query and a read, or "<error N>".
  std::u16string ReadText(JcInterface* i, JcSessionHandle s, DWORD item) {
    DWORD needed = 0;
    DWORD status = i->read(s, item, kKindText, nullptr, 0, &needed);
    if (status != kResultOk) return u"<error " + platform::Utf8ToUtf16(std::to_string(status)) + u">";
    std::vector<char> buffer(needed);
    DWORD again = 0;
    status = i->read(s, item, kKindText, buffer.data(), needed, &again);
    EXPECT_EQ(status, kResultOk);
    EXPECT_EQ(again, needed);
    std::u16string text = TextOf(buffer.data(), needed);
    EXPECT_EQ(text.back(), u'\0');
    text.pop_back();
    return text;
  }
  DWORD Flags(JcInterface* i, JcSessionHandle s, DWORD item) {
    DWORD flags = 0xFFFF;
    EXPECT_EQ(i->query(s, item, &flags), kResultOk);
    return flags;
  }

  test::TempMachineRoot root_;
  HMODULE module_ = nullptr;
  JCGetInterfaceProc getInterface_ = nullptr;
  JCDisposeInterfaceProc dispose_ = nullptr;
  std::vector<JcInterface*> interfaces_;
};

// Runs `body` in a child process and answers whether it exited with 0.
template <class Body>
pid_t StartChild(Body body) {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(body() ? 0 : 1);
  return child;
}
bool ChildSucceeded(pid_t child) {
  int status = 0;
  return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST_F(JobCredentialsTest, GrantsVersions257And258AndNothingElse) {
  JcInterface* v258 = nullptr;
  JcInterface* v257 = nullptr;
  ASSERT_EQ(getInterface_(258, &v258), kResultOk);
  ASSERT_EQ(getInterface_(257, &v257), kResultOk);
  ASSERT_NE(v258, nullptr);
  EXPECT_NE(v258, v257);
  // Each interface handed out is given back once.
  EXPECT_EQ(dispose_(v258), kResultOk);
  EXPECT_EQ(dispose_(v257), kResultOk);
  EXPECT_EQ(dispose_(v257), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(dispose_(nullptr), ERROR_INVALID_PARAMETER);
  for (DWORD version : {0u, 256u, 259u, 260u}) {
    JcInterface* i = reinterpret_cast<JcInterface*>(1);
    EXPECT_EQ(getInterface_(version, &i), ERROR_NOT_SUPPORTED) << version;
    EXPECT_EQ(i, nullptr);
  }
  EXPECT_EQ(getInterface_(258, nullptr), ERROR_INVALID_PARAMETER);
  // Only the two entry points are exported; the calls are reached through the table alone.
  EXPECT_EQ(GetProcAddress(module_, "Open"), nullptr);
}

TEST_F(JobCredentialsTest, EveryItemRoundTripsInItsKind) {
  JcInterface* i = Interface(258);
  JcSessionHandle s = Open(i);
  for (DWORD item : kTextItems) {
    EXPECT_EQ(Flags(i, s, item), 0u) << item;
    const std::u16string text = u"value " + platform::Utf8ToUtf16(std::to_string(item)) + u" \u00e9\u4e2d";
    ASSERT_EQ(WriteText(i, s, item, text), kResultOk) << item;
    EXPECT_EQ(Flags(i, s, item), kFlagHasValue) << item;
  }
  for (DWORD item : kTextItems) {
    EXPECT_EQ(ReadText(i, s, item), u"value " + platform::Utf8ToUtf16(std::to_string(item)) + u" \u00e9\u4e2d");
  }
  const DWORD language = (1u << 10) | 0x09;
  ASSERT_EQ(i->write(s, kItemLanguage, kKindNumber, &language, 4), kResultOk);
  DWORD needed = 0;
  DWORD value = 0;
  EXPECT_EQ(i->read(s, kItemLanguage, kKindNumber, nullptr, 0, &needed), kResultOk);
  EXPECT_EQ(needed, 4u);
  EXPECT_EQ(i->read(s, kItemLanguage, kKindNumber, &value, 4, &needed), kResultOk);
  EXPECT_EQ(value, language);
  EXPECT_EQ(i->close(s), kResultOk);
}

TEST_F(JobCredentialsTest, ReadsFollowTheNeededSizeProtocol) {
  JcInterface* i = Interface(258);
  JcSessionHandle s = Open(i);
  DWORD needed = 99;
  char buffer[64];
  // No value: nothing to read, and the size query says so.
  EXPECT_EQ(i->read(s, kItemUserCode, kKindText, nullptr, 0, &needed), ERROR_INVALID_DATA);
  EXPECT_EQ(needed, 0u);
  ASSERT_EQ(WriteText(i, s, kItemUserCode, u"12345"), kResultOk);
  EXPECT_EQ(i->read(s, kItemUserCode, kKindText, nullptr, 0, &needed), kResultOk);
  EXPECT_EQ(needed, 12u);
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(i->read(s, kItemUserCode, kKindText, buffer, 11, &needed), kResultBufferTooSmall);
  EXPECT_EQ(needed, 12u);
  EXPECT_EQ(buffer[0], 'x');
  EXPECT_EQ(i->read(s, kItemUserCode, kKindText, buffer, 12, &needed), kResultOk);
  EXPECT_EQ(TextOf(buffer, 12), std::u16string(u"12345", 6));
  EXPECT_EQ(i->read(s, kItemUserCode, kKindText, nullptr, 12, &needed), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(i->read(s, kItemUserCode, kKindText, buffer, 12, nullptr), ERROR_INVALID_PARAMETER);
}

TEST_F(JobCredentialsTest, TextIsKeptUpToItsTerminatorAndEmptyTextClears) {
  JcInterface* i = Interface(258);
  JcSessionHandle s = Open(i);
  // A caller sends its whole item buffer: the text and whatever follows the terminator.
  char16_t itemBuffer[65];
  std::fill(std::begin(itemBuffer), std::end(itemBuffer), u'#');
  std::memcpy(itemBuffer, u"0123", 10);
  ASSERT_EQ(i->write(s, kItemTelephoneNumber, kKindText, itemBuffer, sizeof itemBuffer), kResultOk);
  EXPECT_EQ(ReadText(i, s, kItemTelephoneNumber), u"0123");
  // Text without a terminator is terminated.
  ASSERT_EQ(i->write(s, kItemOwnerName, kKindText, u"owner", 10), kResultOk);
  EXPECT_EQ(ReadText(i, s, kItemOwnerName), u"owner");
  ASSERT_EQ(WriteText(i, s, kItemOwnerName, u""), kResultOk);
  EXPECT_EQ(Flags(i, s, kItemOwnerName), 0u);
  EXPECT_EQ(i->write(s, kItemOwnerName, kKindText, nullptr, 0), kResultOk);
  // Too long to keep, an odd size or a size without data: refused, the value stays.
  const std::u16string longText(kMaxValueBytes / 2, u'a');
  EXPECT_EQ(WriteText(i, s, kItemTelephoneNumber, longText), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(i->write(s, kItemTelephoneNumber, kKindText, u"ab", 3), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(i->write(s, kItemTelephoneNumber, kKindText, nullptr, 4), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(ReadText(i, s, kItemTelephoneNumber), u"0123");
  EXPECT_EQ(WriteText(i, s, kItemTelephoneNumber, longText.substr(1)), kResultOk);
}

TEST_F(JobCredentialsTest, UnknownItemsAndWrongKindsAreRefusedAndStoreNothing) {
  JcInterface* i = Interface(258);
  JcSessionHandle s = Open(i);
  const DWORD number = 7;
  DWORD flags = 0;
  DWORD needed = 0;
  char buffer[16];
  for (DWORD item : {0u, 9u, 255u, 259u, 0xFFFFFFFFu}) {
    EXPECT_EQ(i->query(s, item, &flags), ERROR_NOT_SUPPORTED) << item;
    EXPECT_EQ(i->read(s, item, kKindText, buffer, sizeof buffer, &needed), ERROR_NOT_SUPPORTED) << item;
    EXPECT_EQ(WriteText(i, s, item, u"x"), ERROR_NOT_SUPPORTED) << item;
  }
  for (DWORD kind : {0u, 2u, 3u, 4u}) {
    EXPECT_EQ(i->write(s, kItemUserCode, kind, u"1", 4), ERROR_INVALID_DATATYPE) << kind;
    EXPECT_EQ(i->read(s, kItemUserCode, kind, nullptr, 0, &needed), ERROR_INVALID_DATATYPE) << kind;
  }
  EXPECT_EQ(i->write(s, kItemLanguage, kKindText, u"1", 4), ERROR_INVALID_DATATYPE);
  EXPECT_EQ(i->write(s, kItemLanguage, kKindNumber, &number, 2), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(i->query(s, kItemUserCode, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(std::filesystem::exists(StoreFile()));
}

TEST_F(JobCredentialsTest, Version257CarriesOnlyTheCredentialItems) {
  JcInterface* v258 = Interface(258);
  JcSessionHandle s258 = Open(v258);
  ASSERT_EQ(WriteText(v258, s258, kItemSignature, u"VELM"), kResultOk);
  JcInterface* v257 = Interface(257);
  JcSessionHandle s = Open(v257);
  const DWORD language = 0x409;
  DWORD flags = 0;
  DWORD needed = 0;
  for (DWORD item : {kItemSignature, kItemVersionText, kItemLanguage}) {
    EXPECT_EQ(v257->query(s, item, &flags), ERROR_NOT_SUPPORTED) << item;
    EXPECT_EQ(v257->read(s, item, kKindText, nullptr, 0, &needed), ERROR_NOT_SUPPORTED) << item;
  }
  EXPECT_EQ(WriteText(v257, s, kItemSignature, u"X"), ERROR_NOT_SUPPORTED);
  EXPECT_EQ(v257->write(s, kItemLanguage, kKindNumber, &language, 4), ERROR_NOT_SUPPORTED);
  EXPECT_EQ(WriteText(v257, s, kItemStoredPassword, u"pw"), kResultOk);
  EXPECT_EQ(ReadText(v258, s258, kItemStoredPassword), u"pw");
  EXPECT_EQ(ReadText(v258, s258, kItemSignature), u"VELM");
}

TEST_F(JobCredentialsTest, SessionsAreCheckedAndValuesKeptPerPrinterAndUser) {
  JcInterface* i = Interface(258);
  JcSessionHandle none = reinterpret_cast<JcSessionHandle>(1);
  EXPECT_EQ(i->open(nullptr, &none), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(i->open(u"", &none), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(i->open(std::u16string(257, u'p').c_str(), &none), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(i->open(u"Velm Printer", nullptr), ERROR_INVALID_PARAMETER);

  JcSessionHandle a = Open(i, u"Printer A");
  JcSessionHandle b = Open(i, u"Printer B");
  ASSERT_EQ(WriteText(i, a, kItemDocumentName, u"for A"), kResultOk);
  EXPECT_EQ(Flags(i, b, kItemDocumentName), 0u);
  JcSessionHandle aAgain = Open(i, u"PRINTER a");  // printer names compare without case
  EXPECT_EQ(ReadText(i, aAgain, kItemDocumentName), u"for A");
  ASSERT_TRUE(platform::SetMachineSetting("user", "someone else"));
  JcSessionHandle other = Open(i, u"Printer A");
  EXPECT_EQ(Flags(i, other, kItemDocumentName), 0u);
  ASSERT_EQ(WriteText(i, other, kItemDocumentName, u"theirs"), kResultOk);
  EXPECT_EQ(ReadText(i, a, kItemDocumentName), u"for A");  // a session keeps the user it opened as

  EXPECT_EQ(i->close(a), kResultOk);
  DWORD flags = 0;
  DWORD needed = 0;
  EXPECT_EQ(i->close(a), ERROR_INVALID_HANDLE);
  EXPECT_EQ(i->query(a, kItemUserCode, &flags), ERROR_INVALID_HANDLE);
  EXPECT_EQ(i->read(a, kItemDocumentName, kKindText, nullptr, 0, &needed), ERROR_INVALID_HANDLE);
  EXPECT_EQ(WriteText(i, nullptr, kItemUserCode, u"1"), ERROR_INVALID_HANDLE);
}

TEST_F(JobCredentialsTest, NotifyChecksItsSessionAndLanguageRecordAndLogsPerPrinter) {
  JcInterface* i = Interface(kVersion257);
  JcSessionHandle session = Open(i, u"Printer A");
  const BYTE record[8] = {8, 0, 0, 0, 6, 0, 0x0c, 0};
  const BYTE wrongSize[8] = {9, 0, 0, 0, 6, 0, 0x0c, 0};
  EXPECT_EQ(i->notify(reinterpret_cast<JcSessionHandle>(std::uintptr_t{999}), 2, nullptr, 0), ERROR_INVALID_HANDLE);
  EXPECT_EQ(i->notify(session, kNotifyLanguage, record, 7), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(i->notify(session, kNotifyLanguage, wrongSize, 8), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(i->notify(session, kNotifyLanguage, nullptr, 8), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(i->notify(session, kNotifyLanguage, record, 8), kResultOk);
  EXPECT_EQ(i->notify(session, kNotifyDeletePrinter, nullptr, 0), kResultOk);
  const char16_t code[] = u"42";
  EXPECT_EQ(i->write(session, kItemUserCode, kKindText, code, sizeof code), kResultOk);
  std::ifstream in(platform::MachineStore("jobcr") / "calls.log", std::ios::binary);
  const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(log, "notify Printer A 1 0800000006000c00\nnotify Printer A 258\nwrite Printer A 1\n");
  EXPECT_EQ(i->close(session), kResultOk);
}

TEST_F(JobCredentialsTest, StatusSlotsAnswerWhatTheMachineSays) {
  JcInterface* i = Interface(257);
  EXPECT_EQ(i->status0(u"Velm Printer"), 0u);
  EXPECT_EQ(i->status1(u"Velm Printer"), 0u);
  EXPECT_EQ(i->status0(nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(i->status1(u""), ERROR_INVALID_PARAMETER);
  ASSERT_TRUE(platform::SetMachineSetting("qnjobcr_status0", "3"));
  ASSERT_TRUE(platform::SetMachineSetting("qnjobcr_status1", "0x20000005"));
  EXPECT_EQ(i->status0(u"Velm Printer"), 3u);
  EXPECT_EQ(i->status1(u"Velm Printer"), 0x20000005u);
}

TEST_F(JobCredentialsTest, FaultSwitchesFailEachCall) {
  JcInterface* i = Interface(258);
  JcSessionHandle s = Open(i);
  ASSERT_EQ(WriteText(i, s, kItemUserId, u"id"), kResultOk);
  DWORD flags = 0;
  DWORD needed = 0;
  char buffer[32];

  ASSERT_TRUE(platform::SetMachineSetting("qnjobcr_versions", "257"));
  JcInterface* refused = nullptr;
  EXPECT_EQ(getInterface_(258, &refused), ERROR_NOT_SUPPORTED);
  EXPECT_NE(Interface(257), nullptr);
  ASSERT_TRUE(platform::SetMachineSetting("qnjobcr_fail_interface", "5"));
  EXPECT_EQ(getInterface_(257, &refused), 5u);
  EXPECT_EQ(refused, nullptr);

  ASSERT_TRUE(platform::SetMachineSetting("qnjobcr_fail_open", "0x2000000A"));
  JcSessionHandle failed = nullptr;
  EXPECT_EQ(i->open(u"Velm Printer", &failed), 0x2000000Au);
  EXPECT_EQ(failed, nullptr);
  ASSERT_TRUE(platform::SetMachineSetting("qnjobcr_fail_query", "31"));
  EXPECT_EQ(i->query(s, kItemUserId, &flags), 31u);
  ASSERT_TRUE(platform::SetMachineSetting("qnjobcr_fail_write", "32"));
  EXPECT_EQ(WriteText(i, s, kItemUserId, u"new"), 32u);
  ASSERT_TRUE(platform::SetMachineSetting("qnjobcr_short_buffer", "1"));
  EXPECT_EQ(i->read(s, kItemUserId, kKindText, nullptr, 0, &needed), kResultOk);
  EXPECT_EQ(i->read(s, kItemUserId, kKindText, buffer, sizeof buffer, &needed), kResultBufferTooSmall);
  EXPECT_EQ(needed, 6u);
  ASSERT_TRUE(platform::SetMachineSetting("qnjobcr_fail_read", "13"));
  EXPECT_EQ(i->read(s, kItemUserId, kKindText, nullptr, 0, &needed), 13u);

  for (const char* key : {"qnjobcr_fail_query", "qnjobcr_fail_write", "qnjobcr_fail_read", "qnjobcr_short_buffer"}) {
    ASSERT_TRUE(platform::EraseMachineSetting(key));
  }
  EXPECT_EQ(ReadText(i, s, kItemUserId), u"id");  // the failed write changed nothing
}

TEST_F(JobCredentialsTest, ValuesOutliveTheModule) {
  JcInterface* i = Interface(258);
  JcSessionHandle s = Open(i);
  ASSERT_EQ(WriteText(i, s, kItemJobPassword, u"secret"), kResultOk);
  const DWORD language = 0x411;
  ASSERT_EQ(i->write(s, kItemLanguage, kKindNumber, &language, 4), kResultOk);
  EXPECT_EQ(i->close(s), kResultOk);
  Unload();
  Load();
  i = Interface(258);
  s = Open(i);
  EXPECT_EQ(ReadText(i, s, kItemJobPassword), u"secret");
  DWORD value = 0;
  DWORD needed = 0;
  EXPECT_EQ(i->read(s, kItemLanguage, kKindNumber, &value, 4, &needed), kResultOk);
  EXPECT_EQ(value, language);
}

TEST_F(JobCredentialsTest, TheStoreFormatIsPinned) {
  JcInterface* i = Interface(258);
  JcSessionHandle s = Open(i, u"P");
  ASSERT_EQ(WriteText(i, s, kItemUserCode, u"7"), kResultOk);
  const DWORD language = 0x0409;
  ASSERT_EQ(i->write(s, kItemLanguage, kKindNumber, &language, 4), kResultOk);
  const std::string record1 = std::string("\4\0u\0s\0e\0r\0", 10) + std::string("\1\0P\0", 4) +
                              std::string("\1\0\0\0\1\0\0\0\4\0\0\0" "7\0\0\0", 16);
  const std::string record2 = std::string("\4\0u\0s\0e\0r\0", 10) + std::string("\1\0P\0", 4) +
                              std::string("\2\1\0\0\4\0\0\0\4\0\0\0" "\x09\x04\0\0", 16);
  EXPECT_EQ(test::ReadHostFile(StoreFile()), std::string("VELMJCR1\2\0\0\0", 12) + record1 + record2);
}

TEST_F(JobCredentialsTest, ADamagedStoreIsRefusedAndNeverRewritten) {
  JcInterface* i = Interface(258);
  JcSessionHandle s = Open(i, u"P");
  ASSERT_EQ(WriteText(i, s, kItemUserCode, u"7"), kResultOk);
  const std::string good = test::ReadHostFile(StoreFile());
  std::string badKind = good;
  badKind[12 + 14 + 4] = 4;  // the text item claims to be a number
  std::string unterminated = good;
  unterminated[good.size() - 2] = 'x';
  const std::string damaged[] = {
      "", "VELMJCR2" + good.substr(8), good.substr(0, good.size() - 1), good + "x",
      std::string("VELMJCR1\xff\xff\xff\xff", 12), badKind, unterminated,
      std::string("VELMJCR1\1\0\0\0\0\0", 14) + good.substr(14),  // a user name of no characters
  };
  DWORD flags = 0;
  DWORD needed = 0;
  for (const std::string& bytes : damaged) {
    test::WriteHostFile(StoreFile(), bytes);
    EXPECT_EQ(i->query(s, kItemUserCode, &flags), ERROR_BADDB);
    EXPECT_EQ(i->read(s, kItemUserCode, kKindText, nullptr, 0, &needed), ERROR_BADDB);
    EXPECT_EQ(WriteText(i, s, kItemOwnerName, u"o"), ERROR_BADDB);
    EXPECT_EQ(test::ReadHostFile(StoreFile()), bytes);
  }
  test::WriteHostFile(StoreFile(), good);
  EXPECT_EQ(ReadText(i, s, kItemUserCode), u"7");
}

TEST_F(JobCredentialsTest, ProcessesShareTheStore) {
  JcInterface* i = Interface(258);
  JcSessionHandle s = Open(i);
  // One process writes what another then reads.
  ASSERT_TRUE(ChildSucceeded(StartChild([&] { return WriteText(i, s, kItemUserCode, u"from child") == 0; })));
  EXPECT_EQ(ReadText(i, s, kItemUserCode), u"from child");
  // Writers at once in several processes lose none of each other's values.
  constexpr int kChildren = 6;
  pid_t children[kChildren];
  for (int c = 0; c < kChildren; ++c) {
    children[c] = StartChild([&, c] {
      const std::u16string printer = u"Printer " + platform::Utf8ToUtf16(std::to_string(c));
      JcSessionHandle mine = nullptr;
      if (i->open(printer.c_str(), &mine) != 0) return false;
      for (DWORD item = 1; item <= 8; ++item) {
        if (WriteText(i, mine, item, printer) != 0) return false;
      }
      return i->close(mine) == 0;
    });
  }
  for (pid_t child : children) EXPECT_TRUE(ChildSucceeded(child));
  for (int c = 0; c < kChildren; ++c) {
    const std::u16string printer = u"Printer " + platform::Utf8ToUtf16(std::to_string(c));
    JcSessionHandle mine = Open(i, printer.c_str());
    for (DWORD item = 1; item <= 8; ++item) EXPECT_EQ(ReadText(i, mine, item), printer) << c << " " << item;
  }
}

// Each allocation of a write, a read and an open failing in turn: the call answers
// ERROR_NOT_ENOUGH_MEMORY or works, and the store keeps every value it held or takes the new one.
TEST_F(JobCredentialsTest, EachAllocationFailingIsNotEnoughMemoryAndLosesNoValue) {
  JcInterface* i = Interface(kVersion258);
  JcSessionHandle s = Open(i);
  ASSERT_EQ(WriteText(i, s, kItemOwnerName, u"owner"), kResultOk);
  ASSERT_EQ(WriteText(i, s, kItemUserCode, u"old"), kResultOk);
  int failed = 0;
  for (uint64_t n = 1; n <= 200; ++n) {
    ASSERT_EQ(WriteText(i, s, kItemUserCode, u"old"), kResultOk);
    platform::SetAllocationFault(n);
    const DWORD written = WriteText(i, s, kItemUserCode, u"new");
    JcSessionHandle opened = nullptr;
    const DWORD open = i->open(u"Velm Printer", &opened);
    platform::SetAllocationFault(0);
    EXPECT_TRUE(written == kResultOk || written == ERROR_NOT_ENOUGH_MEMORY) << n << ": " << written;
    EXPECT_TRUE(open == kResultOk || open == ERROR_NOT_ENOUGH_MEMORY) << n << ": " << open;
    if (opened != nullptr) i->close(opened);
    failed += written != kResultOk;
    EXPECT_EQ(ReadText(i, s, kItemUserCode), written == kResultOk ? u"new" : u"old") << n;
    EXPECT_EQ(ReadText(i, s, kItemOwnerName), u"owner") << n;

    platform::SetAllocationFault(n);
    DWORD needed = 0;
    char buffer[64];
    const DWORD read = i->read(s, kItemOwnerName, kKindText, buffer, sizeof buffer, &needed);
    platform::SetAllocationFault(0);
    EXPECT_TRUE(read == kResultOk || read == ERROR_NOT_ENOUGH_MEMORY) << n << ": " << read;
  }
  EXPECT_GT(failed, 0);
}

}  // namespace
}  // namespace velm::jobcr
