// Sessions and the simple questions: opening and freeing, the settings INI path, the devmode in
// the ANSI layout, printer options, printer values and watermark lines, with the size protocol
// of each.
#include <cstring>

#include "core/machine_root.h"
#include "core/memory.h"
#include "exc_fixture.h"
#include "settings/services/job_credentials.h"
#include "settings/persistence/paths.h"
#include "settings/persistence/user_lists.h"

namespace velm::test {
namespace {

class ExcSessionTest : public ExcTest {
 protected:
  static bool CachesEmpty() {
    for (const auto& table : SysProcessState().cacheTables)
      for (const auto& slot : table)
        if (slot.context) return false;
    return true;
  }
};

TEST_F(ExcSessionTest, OpeningRefusesWhatNamesNoPrinterAndFreeingEmptiesTheCaches) {
  EXPECT_EQ(ExcGetExclusive(nullptr), nullptr);
  EXPECT_EQ(ExcGetExclusive(""), nullptr);
  EXPECT_EQ(ExcGetExclusive("No Such Printer"), nullptr);
  ExcFreeExclusive(nullptr);
  EXCSESSION s = Session();
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->slotCount, kExcSlotCount);
  EXPECT_NE(s->context, nullptr);
  EXPECT_EQ(s->baseLength, 0u);
  Close(s);
  EXPECT_TRUE(CachesEmpty());
}

TEST_F(ExcSessionTest, AFailedAllocationAtAnyStepLeavesNothingBehind) {
  // Every allocation of the open fails in turn; each open answers null or a whole session.
  for (uint64_t nth = 1; nth < 400; ++nth) {
    platform::SetAllocationFault(nth);
    EXCSESSION s = ExcGetExclusive(kPrinter);
    platform::SetAllocationFault(0);
    if (s) {
      EXPECT_TRUE(s->enabled && s->values && s->context) << nth;
      ExcFreeExclusive(s);
      if (nth > 40) break;
    }
    EXPECT_TRUE(CachesEmpty()) << nth;
  }
}

TEST_F(ExcSessionTest, TheServicesUserCodeIsStoredCutToEightBytes) {
  DriverContext* writer = CtxCreate(Open(), 0, 0);
  ASSERT_NE(writer, nullptr);
  ASSERT_EQ(JcDispatch(writer, kJcOpen, 0), 0u);
  const JcSession service = JcGetSession(writer);
  const std::u16string code = u"123456789";
  ASSERT_EQ(service.table->write(service.session, jobcr::kItemUserCode, jobcr::kKindText, code.c_str(),
                                 DWORD(code.size() + 1) * 2),
            0u);
  JcDispatch(writer, kJcClose, 0);
  CtxDestroyEx(writer, kReleaseDestroy);

  EXCSESSION s = Session();
  ASSERT_NE(s, nullptr);
  const BYTE* field = OptGetItemAddress(s->context, OptFindItem(s->context->itemTable, 216));
  ASSERT_NE(field, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(field)), "12345678");
}

TEST_F(ExcSessionTest, IniFileNameSizeProtocolAndTerminalServerPath) {
  ASSERT_TRUE(platform::SetMachineSetting("terminal_server", "0"));
  WCHAR wide[MAX_PATH];
  ASSERT_GT(PathBuildSettingsIni(wide, 0), 0u);
  char shared[MAX_PATH];
  WideCharToMultiByte(CP_ACP, 0, wide, -1, shared, MAX_PATH, nullptr, nullptr);
  const uint32_t length = static_cast<uint32_t>(std::strlen(shared));

  std::string buffer(length, 'x');
  uint32_t needed = 0;
  EXPECT_EQ(ExcGetIniFileName(kPrinter, length, buffer.data(), &needed), kExcMore);
  EXPECT_EQ(needed, length + 1);
  EXPECT_EQ(buffer, std::string(length, 'x'));
  buffer.assign(length + 1, 'x');
  EXPECT_EQ(ExcGetIniFileName(kPrinter, length + 1, buffer.data(), nullptr), kExcDone);
  EXPECT_STREQ(buffer.c_str(), shared);
  EXPECT_EQ(ExcGetIniFileName("No Such Printer", 300, buffer.data(), &needed), kExcFailed);
  EXPECT_EQ(ExcGetIniFileName(nullptr, 300, buffer.data(), &needed), kExcFailed);

  ASSERT_TRUE(platform::SetMachineSetting("terminal_server", "1"));
  ASSERT_GT(PathBuildSettingsIni(wide, 1), 0u);
  char perUser[MAX_PATH];
  WideCharToMultiByte(CP_ACP, 0, wide, -1, perUser, MAX_PATH, nullptr, nullptr);
  ASSERT_STRNE(perUser, shared);
  buffer.assign(MAX_PATH, 0);
  EXPECT_EQ(ExcGetIniFileName(kPrinter, MAX_PATH, buffer.data(), &needed), kExcDone);
  EXPECT_STREQ(buffer.c_str(), perUser);
}

TEST_F(ExcSessionTest, DriverDevmodeReportsItsSizeFirstThenChecksBufferThenMode) {
  uint32_t needed = 0;
  EXPECT_EQ(ExcGetDriverDevmode(kPrinter, 1, 5000, nullptr, &needed), kExcMore);
  EXPECT_EQ(needed, 1196u);
  std::vector<BYTE> ansi(1196 + 16, 0xCC);
  needed = 0;
  EXPECT_EQ(ExcGetDriverDevmode(kPrinter, 1, 1195, ansi.data(), &needed), kExcMore);
  EXPECT_EQ(needed, 1196u);
  EXPECT_EQ(ExcGetDriverDevmode(kPrinter, 2, 5000, ansi.data(), &needed), kExcFailed);
  EXPECT_EQ(needed, 1196u);
  EXPECT_EQ(ExcGetDriverDevmode(kPrinter, 2, 5000, nullptr, nullptr), kExcMore);  // the buffer is checked first
  EXPECT_EQ(ExcGetDriverDevmode("No Such Printer", 1, 5000, ansi.data(), nullptr), kExcFailed);
  for (size_t i = 0; i < ansi.size(); ++i) ASSERT_EQ(ansi[i], 0xCC) << "written on a failure at " << i;
}

TEST_F(ExcSessionTest, DriverDevmodeInTheAnsiLayout) {
  const std::string name(40, 'P');
  std::string error;
  tools::PrinterOptions options;
  options.name = std::u16string(name.begin(), name.end());
  ASSERT_TRUE(tools::AddPrinter(options, &error)) << error;
  // The wide devmode the conversion starts from, built the same way.
  HANDLE printer = nullptr;
  ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(std::u16string(name.begin(), name.end()).c_str()), &printer, nullptr));
  opened_.push_back(printer);
  DriverContext* context = CtxCreate(printer, reinterpret_cast<ULONG_PTR>(printer), kCreateExclusive);
  ASSERT_NE(context, nullptr);
  std::vector<BYTE> wide(kDmSize);
  ASSERT_EQ(ApiGetDevmode(context, 1, wide.data()), static_cast<LONG>(kDmSize));
  CtxDestroyEx(context, kReleaseDestroy);

  std::vector<BYTE> ansi(1196 + 16, 0xCC);
  uint32_t needed = 0;
  ASSERT_EQ(ExcGetDriverDevmode(name.c_str(), 1, 1196, ansi.data(), &needed), kExcDone);
  for (size_t i = 1196; i < ansi.size(); ++i) ASSERT_EQ(ansi[i], 0xCC) << "written past the devmode";
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(ansi.data())), name.substr(0, 31));
  for (size_t i = 31; i < 32; ++i) EXPECT_EQ(ansi[i], 0);
  EXPECT_EQ(DmLoadU16(ansi.data(), 36), 156);   // dmSize
  EXPECT_EQ(DmLoadU16(ansi.data(), 38), 1040);  // dmDriverExtra
  EXPECT_EQ(DmLoadU16(ansi.data(), 32), DmLoadU16(wide.data(), 64));  // dmSpecVersion
  EXPECT_EQ(std::memcmp(ansi.data() + 40, wide.data() + 72, 30), 0);  // dmFields .. dmCollate
  // dmFormName narrowed.
  std::string form;
  for (size_t i = 102; i < 166 && wide[i]; i += 2) form += static_cast<char>(wide[i]);
  EXPECT_FALSE(form.empty());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(ansi.data() + 70)), form);
  EXPECT_EQ(std::memcmp(ansi.data() + 156, "VELM", 4), 0);  // the private part follows at once
  EXPECT_EQ(std::memcmp(ansi.data() + 102, wide.data() + 166, 1094), 0);
}

TEST_F(ExcSessionTest, PrinterOptionsFollowTheInstalledOptions) {
  EXCSESSION s = Session();
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(Options(s, "OUTBIN"), (std::vector<std::string>{"UPPER", "LOWER"}));
  SetItem(s, 487, 1);
  EXPECT_EQ(Options(s, "OUTBIN"), (std::vector<std::string>{"UPPER", "LOWER", "FINISHERPROOF", "FINISHERSHIFT"}));

  // The size protocol: sum of texts and NULs + 1; one byte short is refused untouched.
  uint32_t needed = 0;
  const uint32_t size = 6 + 6 + 14 + 14 + 1;
  std::string buffer(size, 'x');
  EXPECT_EQ(ExcGetPrinterOption(s, "OUTBIN", size - 1, buffer.data(), &needed), kExcMore);
  EXPECT_EQ(needed, size);
  EXPECT_EQ(buffer, std::string(size, 'x'));
  EXPECT_EQ(ExcGetPrinterOption(s, "OUTBIN", size, buffer.data(), nullptr), kExcDone);
  EXPECT_EQ(buffer.back(), '\0');

  // Every value rejected, unknown names and job-only commands: 0 with size 0.
  SetItem(s, 487, 0);
  for (const char* command : {"PUNCHHOLE", "NOSUCH", "APLPAGESIZE", "TRAYPAPER1"}) {
    needed = 7;
    EXPECT_EQ(ExcGetPrinterOption(s, command, size, buffer.data(), &needed), kExcDone) << command;
    EXPECT_EQ(needed, 0u) << command;
  }
  EXPECT_EQ(ExcGetPrinterOption(nullptr, "OUTBIN", size, buffer.data(), &needed), kExcFailed);
}

TEST_F(ExcSessionTest, PrinterValuesAsTableTextOnlyWhenTheirSideSettingsHold) {
  EXCSESSION s = Session();
  ASSERT_NE(s, nullptr);
  SetItem(s, 604, 9);
  std::string buffer(2, 'x');
  uint32_t needed = 0;
  EXPECT_EQ(ExcGetPrinterValue(s, "TRAYPAPER1", 2, buffer.data(), &needed), kExcMore);
  EXPECT_EQ(needed, 3u);
  EXPECT_EQ(buffer, "xx");
  buffer.assign(3, 'x');
  EXPECT_EQ(ExcGetPrinterValue(s, "TRAYPAPER1", 3, buffer.data(), nullptr), kExcDone);
  EXPECT_EQ(buffer, std::string("A4\0", 3));
  SetItem(s, 604, 77);  // no row of that value and no "none" row
  EXPECT_EQ(Value(s, "TRAYPAPER1"), "");
  SetItem(s, 572, 1);
  EXPECT_EQ(Value(s, "TRAYPAPERORIENT1"), "LANDSCAPE");

  SetItem(s, 431, 0);  // USERCODE is reported only while item 431 is 1
  needed = 9;
  EXPECT_EQ(ExcGetPrinterValue(s, "USERCODE", 3, buffer.data(), &needed), kExcDone);
  EXPECT_EQ(needed, 0u);
  EXPECT_EQ(ExcGetPrinterValue(s, "COLLATE", 3, buffer.data(), &needed), kExcDone);  // not a printer value
  EXPECT_EQ(needed, 0u);
  EXPECT_EQ(ExcGetPrinterValue(nullptr, "TRAYPAPER1", 3, buffer.data(), &needed), kExcFailed);
}

TEST_F(ExcSessionTest, WaterMarkListWithoutStampsAndWithStampsKeepsTheSettings) {
  EXCSESSION s = Session();
  ASSERT_NE(s, nullptr);
  uint32_t needed = 5;
  char buffer[16] = {};
  EXPECT_EQ(ExcGetWaterMarkList(s, 0, sizeof(buffer), buffer, &needed), kExcDone);
  EXPECT_EQ(needed, 0u);
  EXPECT_EQ(ExcGetWaterMarkList(nullptr, 0, sizeof(buffer), buffer, &needed), kExcFailed);

  // Text, image, text; the settings are byte for byte as before every list.
  std::u16string folder = PathGetSettingsIni(s->context);
  folder.resize(folder.rfind(u'\\'));
  CreateDirectoryW(folder.c_str(), nullptr);
  for (DWORD kind : {1u, 2u, 1u}) {
    SetItem(s, 109, kind);
    SetItem(s, 116, kind == 2 ? 1 : 0);
    ASSERT_TRUE(OptSetString(s->context, OptFindItem(s->context->itemTable, 869), u"DRAFT"));
    ASSERT_TRUE(OptSetString(s->context, OptFindItem(s->context->itemTable, 870), u"logo.bmp"));
    ASSERT_TRUE(LstSaveStamp(s->context, LstGetStampCount(s->context))) << GetLastError();
  }
  SetItem(s, 109, 0);
  const std::vector<BYTE> before(reinterpret_cast<BYTE*>(s->context->settings),
                                 reinterpret_cast<BYTE*>(s->context->settings) + sizeof(SettingsRecord));
  std::string lists[3];
  for (int kind : {0, 1, 7}) {
    lists[kind == 0 ? 0 : kind == 1 ? 1 : 2] =
        Fetch([&](uint32_t n, char* b, uint32_t* p) { return ExcGetWaterMarkList(s, kind, n, b, p); });
    EXPECT_EQ(std::memcmp(before.data(), s->context->settings, before.size()), 0) << kind;
  }
  // Kind 0: both text stamps, each block with its NUL, then one more; no image lines, and no
  // page range while the page switch is off.
  const std::vector<std::string> text = SplitList(lists[0]);
  ASSERT_EQ(text.size(), 2u);
  EXPECT_EQ(text[0], text[1]);
  EXPECT_NE(text[0].find(SetLine("WMKCHAR", "\"DRAFT\"")), std::string::npos) << text[0];
  EXPECT_EQ(text[0].find("WMKIMAGE"), std::string::npos);
  EXPECT_EQ(text[0].find("WMKSTARTPAGE"), std::string::npos);
  // Any kind but 0 is the image kind.
  const std::vector<std::string> image = SplitList(lists[1]);
  ASSERT_EQ(image.size(), 1u);
  EXPECT_EQ(lists[2], lists[1]);
  EXPECT_NE(image[0].find(SetLine("WMKIMAGE", "\"logo.bmp\"")), std::string::npos) << image[0];
  EXPECT_NE(image[0].find("WMKSTARTPAGE"), std::string::npos);
  EXPECT_EQ(image[0].find("WMKCHAR"), std::string::npos);
  // The size protocol: one byte short is refused.
  uint32_t size = 0;
  std::string shortBuffer(lists[1].size() - 1, 'x');
  EXPECT_EQ(ExcGetWaterMarkList(s, 1, static_cast<uint32_t>(shortBuffer.size()), shortBuffer.data(), &size), kExcMore);
  EXPECT_EQ(size, lists[1].size());
}

}  // namespace
}  // namespace velm::test
