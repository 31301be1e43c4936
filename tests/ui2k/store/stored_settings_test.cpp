// Stored settings files: a saved file loaded back into a fresh context with the fix-ups, the
// shared copy, the header check and its message, refused loads, free names, the list test that
// writes nothing, and the default file.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "core/memory.h"
#include "settings/context/locks.h"
#include "settings/persistence/user_lists.h"
#include "stored_settings_fixture.h"
#include "ui2k/store/file_utils.h"

namespace velm::test {
namespace {

std::vector<BYTE> RecordOf(DriverContext* context) {
  const BYTE* bytes = reinterpret_cast<const BYTE*>(context->settings);
  return {bytes, bytes + sizeof(SettingsRecord)};
}

TEST_F(StoredSettingsTest, ASavedFileLoadsBackItemByItemWithTheFixUps) {
  OptSetValue(ctx(), kItemCopies, 7);
  OptSetValue(ctx(), 112, 66);  // vdmWmDensity
  OptSetValue(ctx(), kItemPresetNo, 3);
  OptSetValue(ctx(), kItemUIModeChange, 1);
  WCHAR path[kRstPathChars];
  std::filesystem::create_directories(Host("_velm"));
  ASSERT_TRUE(RstNextFreeFileName(ui_, path));
  // A plain export: the model section (the driver's name), which any printer of the model reads.
  ASSERT_TRUE(RstTransferOptions(ui_, path, kXferWrite));
  ASSERT_NE(DriverName(), PrinterName());
  ASSERT_TRUE(RstWriteSharedCopy(ui_, 0));

  UiContext* fresh = NewContext();
  ASSERT_NE(fresh, nullptr);
  OptSetValue(fresh->driver, kItemOSKind, 3);  // the system kind before the load stays
  const DWORD fieldsBefore = OptGetValue(fresh->driver, kItemFields);
  ASSERT_TRUE(RstLoadFile(fresh->driver->printer, path, kRstLoadPlain, fresh));
  EXPECT_EQ(CtxGetTransferStatus(fresh->driver), kXferStatusMatched);
  // Every item a plain load reads equals the saved one, but those the fix-ups set.
  const ItemTable& table = *ctx()->itemTable;
  int compared = 0;
  for (int i = 0; i < 904 && i < table.count; ++i) {
    const ItemTableRow& row = table.rows[i];
    // Set by the fix-ups: item 41, dmFields, and the country defaults' locale.
    if (!row.name || !XferIsImportId(row.id) || row.id == kItemPresetNo || row.id == kItemFields ||
        row.id == kItemLocaleID)
      continue;
    EXPECT_EQ(OptReadRaw(fresh->driver, &fresh->driver->itemTable->rows[i]), OptReadRaw(ctx(), &table.rows[i]))
        << platform::Utf16ToUtf8(row.name);
    ++compared;
  }
  EXPECT_GT(compared, 300);
  EXPECT_EQ(OptGetValue(fresh->driver, kItemCopies), 7u);
  EXPECT_EQ(OptGetValue(fresh->driver, 112), 66u);
  EXPECT_EQ(OptGetValue(fresh->driver, kItemPresetNo) & 0xFF, 255u);
  EXPECT_EQ(OptGetValue(fresh->driver, kItemOSKind), 3u);
  // Kind 3: the media-type field is present; item 40 is back; the merge ran with its flags.
  EXPECT_EQ(OptGetValue(fresh->driver, kItemFields) & 0x02000000u, 0x02000000u) << fieldsBefore;
  EXPECT_EQ(OptGetValue(fresh->driver, kItemUIModeChange), 1u);
  EXPECT_EQ(UiGetStateFlags(fresh), 0x10000008u);
  EXPECT_NE(fresh->driver->work->locale.paperSize, 0u);  // the country defaults were applied
  UiDestroyContext(fresh);

  // The shared copy: the transfer-flag items under the fixed section of qnexport.txt.
  const std::string shared = Read("_velm/qnexport.txt");
  EXPECT_NE(shared.find("[VelmRsdSection]\r\nRstVersion=200\r\nRstMachine=130\r\n"), std::string::npos) << shared;
}

struct HeaderCase {
  const char* what;
  int version, machine, language;  // -1 machine: absent; 0xFFFF language: absent
  DWORD flags;
  bool accepted;
  bool message;
};

TEST_F(StoredSettingsTest, TheHeaderCheckAcceptsCompatibleFilesAndSaysWhyItRefuses) {
  const int language = static_cast<int>(OptGetValue(ctx(), kItemLanguageID));
  const HeaderCase cases[] = {
      {"version 250 against 200", 250, 130, language, kXferRead, true, false},
      {"version 300", 300, 130, language, kXferRead, false, true},
      {"another machine", 200, 131, language, kXferRead, false, true},
      {"no machine", 200, -1, language, kXferRead, false, true},
      {"another language", 200, 130, language + 1, kXferRead, false, true},
      {"no language", 200, 130, 0xFFFF, kXferRead, false, true},
      {"stamp group", 300, 131, language, kXferRead | 0x20, true, false},
      {"free-size group", 300, 131, language, kXferRead | 0x80, true, false},
      {"source free-size group", 300, 131, language, kXferRead | 0x200, true, false},
      {"printer-item file", 300, 131, language, kXferRead | 0x8, true, false},
      {"companion", 300, 131, language, kXferRead | 0x2000, true, false},
      {"no read flag", 300, 131, language, kXferWrite, true, false},
      {"quiet", 300, 130, language, kXferRead | 0x8000, false, false},
      {"quality", 300, 130, language, kXferRead | 0x10, false, false},
  };
  for (const HeaderCase& c : cases) {
    Write("rst/h.rst", Header(PrinterName(), c.version, c.machine, c.language) + "dmCopies=9\r\n");
    TakeMessages();
    EXPECT_EQ(RstCheckHeader(ui_, Win("rst/h.rst").c_str(), c.flags), c.accepted ? TRUE : FALSE) << c.what;
    const auto shown = TakeMessages();
    ASSERT_EQ(shown.size(), c.message ? 1u : 0u) << c.what;
    if (c.message) {
      EXPECT_TRUE(Mentions(shown[0], StringOf(kRstMsgHeaderMismatch))) << c.what;
      EXPECT_TRUE(Mentions(shown[0], u"h.rst")) << c.what;
      EXPECT_EQ(shown[0].caption, g_printerName) << c.what;
      EXPECT_EQ(shown[0].type & MB_ICONWARNING, static_cast<UINT>(MB_ICONWARNING));
    }
  }
}

TEST_F(StoredSettingsTest, AMismatchIsNoErrorButReadsNothingAndLeavesStateOne) {
  Write("rst/other.rst", Header(PrinterName(), 200, 131) + "dmCopies=9\r\n");
  const auto before = RecordOf(ctx());
  EXPECT_TRUE(RstLoadFile(ctx()->printer, Win("rst/other.rst").c_str(), kRstLoadPlain, ui_));
  EXPECT_EQ(CtxGetTransferStatus(ctx()), kXferStatusHeaderMismatch);
  EXPECT_EQ(RecordOf(ctx()), before);
  EXPECT_EQ(TakeMessages().size(), 1u);  // shown once
  EXPECT_TRUE(RstTransferOptions(ui_, Win("rst/other.rst").c_str(), kXferRead | kXferQuiet));
  EXPECT_EQ(CtxGetTransferStatus(ctx()), kXferStatusHeaderMismatch);
  EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(StoredSettingsTest, RefusedLoadsLeaveTheOptionStoreUnchanged) {
  Write("rst/good.rst", Header(PrinterName()) + "dmCopies=9\r\n");
  const auto before = RecordOf(ctx());
  // Not a drive path.
  EXPECT_FALSE(RstLoadFile(ctx()->printer, u"\\\\server\\share\\good.rst", kRstLoadPlain, ui_));
  EXPECT_FALSE(RstLoadFile(ctx()->printer, u"rst\\good.rst", kRstLoadPlain, ui_));
  EXPECT_FALSE(RstTransferOptions(ui_, u"good.rst", kXferRead));
  EXPECT_EQ(RecordOf(ctx()), before);
  // Each allocation of the load failing in turn: either the load failed with nothing read, or it
  // got through.
  bool succeeded = false;
  for (uint64_t n = 1; n < 400 && !succeeded; ++n) {
    platform::SetAllocationFault(n);
    const BOOL loaded = RstTransferOptions(ui_, Win("rst/good.rst").c_str(), kXferRead);
    platform::SetAllocationFault(0);
    if (loaded) {
      succeeded = true;
    } else {
      EXPECT_EQ(RecordOf(ctx()), before) << "allocation " << n;
    }
  }
  EXPECT_TRUE(succeeded);
  EXPECT_EQ(OptGetValue(ctx(), kItemCopies), 9u);
  // RstLoadFile's own buffers failing: nothing read.
  OptSetValue(ctx(), kItemCopies, 1);
  const auto again = RecordOf(ctx());
  platform::SetAllocationFault(1);
  EXPECT_FALSE(RstLoadFile(ctx()->printer, Win("rst/good.rst").c_str(), kRstLoadPlain, ui_));
  platform::SetAllocationFault(0);
  EXPECT_EQ(RecordOf(ctx()), again);
}

TEST_F(StoredSettingsTest, TheNextFreeNameSkipsTakenFilesAndNoneIsHandedOutWhenAllAreTaken) {
  const std::string taken = "[" + PrinterName() + "]\r\nRstMachine=130\r\n";
  for (int n = 0; n < 3; ++n) Write("_velm/user000" + std::to_string(n) + ".rst", taken);
  WCHAR path[kRstPathChars];
  ASSERT_TRUE(RstNextFreeFileName(ui_, path));
  EXPECT_EQ(std::u16string(path), u"C:\\_velm\\user0003.rst");
  EXPECT_FALSE(Exists("_velm/user0003.rst"));

  for (int n = 3; n < 10000; ++n) {
    char name[32];
    snprintf(name, sizeof name, "_velm/user%04d.rst", n);
    Write(name, taken);
  }
  const auto lastTime = std::filesystem::last_write_time(Host("_velm/user9999.rst"));
  path[0] = u'x';
  EXPECT_FALSE(RstNextFreeFileName(ui_, path));
  EXPECT_EQ(path[0], 0);
  EXPECT_EQ(Read("_velm/user9999.rst"), taken);
  EXPECT_EQ(std::filesystem::last_write_time(Host("_velm/user9999.rst")), lastTime);
  EXPECT_FALSE(Exists("_velm/user10000.rst"));
}

TEST_F(StoredSettingsTest, AListedFileIsFoundUnderAnotherSpellingAndNoFileIsWritten) {
  const std::string ini = "[" + PrinterName() +
                          "]\r\nCount=2\r\nPresetList0=C:\\sets\\one.rst\r\nPresetList1=C:\\sets\\missing.rst\r\n"
                          "QualityCount=1\r\nQualityList0=C:\\sets\\q.rsq\r\n";
  Write("_velm/qnset.ini", ini);
  Write("sets/one.rst", Header(PrinterName()));
  Write("sets/q.rsq", Header(PrinterName()));
  Write("sets/free.rst", Header(PrinterName()));
  const auto time = std::filesystem::last_write_time(Host("sets/one.rst"));
  EXPECT_TRUE(RstIsStoredSettingsFile(ui_, u"c:\\SETS\\sub\\..\\One.RST"));
  EXPECT_TRUE(RstIsStoredSettingsFile(ui_, u"C:\\sets\\q.rsq"));
  EXPECT_FALSE(RstIsStoredSettingsFile(ui_, u"C:\\sets\\free.rst"));
  EXPECT_EQ(Read("sets/one.rst"), Header(PrinterName()));
  EXPECT_EQ(std::filesystem::last_write_time(Host("sets/one.rst")), time);
  EXPECT_EQ(Read("sets/free.rst"), Header(PrinterName()));
  EXPECT_FALSE(Exists("sets/missing.rst"));
  EXPECT_EQ(Read("_velm/qnset.ini"), ini);
}

TEST_F(StoredSettingsTest, TheDefaultFileGivesExactlyThePrinterItems) {
  Write("Windows/System32/velm.ini", "[" + PrinterName() + "]\r\nDefaultRst=C:\\def\\d.rsb\r\n");
  Write("def/d.rsb", "[" + PrinterName() +
                         "]\r\nvdmCartridgeNum=3\r\nwdmPrintPostTray1Name=Post\r\ndmCopies=9\r\nvdmLanguageID=99\r\n");
  const DWORD copies = OptGetValue(ctx(), kItemCopies);
  const DWORD language = OptGetValue(ctx(), kItemLanguageID);
  ASSERT_TRUE(RstApplyDefaultFile(ui_));
  EXPECT_EQ(OptGetValue(ctx(), 10010), 3u);
  WCHAR tray[20] = {};
  OptGetString(ctx(), OptFindItem(ctx()->itemTable, 907), tray, 20);
  EXPECT_EQ(std::u16string(tray), u"Post");
  EXPECT_EQ(OptGetValue(ctx(), kItemCopies), copies);
  EXPECT_EQ(OptGetValue(ctx(), kItemLanguageID), language);
  // Its header is written into the printer's section.
  EXPECT_NE(Read("def/d.rsb").find("RstVersion=200"), std::string::npos);
  // No install data: nothing.
  Write("Windows/System32/velm.ini", "");
  EXPECT_FALSE(RstApplyDefaultFile(ui_));
}

// ---- Two processes ------------------------------------------------------------------------------

TEST_F(StoredSettingsTest, ALoadWaitsForASaveOfAnotherProcessAndSeesIt) {
  constexpr WORD kWmDensity = 112;  // a transfer-flag item, which list loads read
  Write("rst/shared.rst", Header(PrinterName()) + "vdmWmDensity=2\r\n");
  // This process holds the global mutex while the other one starts its load; it saves, then lets go.
  ASSERT_TRUE(SysLockGlobalMutex(ctx()));
  const pid_t child = ::fork();
  if (child == 0) {
    UiContext* other = UiCreateContext(printer_, 0, kKindOrdinary, kUiCreateSheet, 0, nullptr);
    if (!other) ::_exit(90);
    const BOOL loaded = RstLoadFile(other->driver->printer, Win("rst/shared.rst").c_str(), kRstLoadList, other);
    ::_exit(loaded ? static_cast<int>(OptGetValue(other->driver, kWmDensity)) : 91);
  }
  ASSERT_GT(child, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  OptSetValue(ctx(), kWmDensity, 5);
  EXPECT_TRUE(RstTransferOptions(ui_, Win("rst/shared.rst").c_str(), kXferWrite | kXferTransferRows));
  SysUnlockGlobalMutex(ctx());
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  // The load came after the save and read it whole; the save is in the file.
  EXPECT_EQ(WEXITSTATUS(status), 5);
  EXPECT_NE(Read("rst/shared.rst").find("vdmWmDensity=5"), std::string::npos);
}

}  // namespace
}  // namespace velm::test
