// Imports: what a plain import never reads, the model section, the steps after an import, the
// quality file refreshed from its companion, and files that are damaged, cut short or too long.
#include <cstring>
#include <string>

#include "settings/context/settings_history.h"
#include "settings/devmode/item_checks.h"
#include "settings/persistence/paths.h"
#include "settings/persistence/settings_export_fixture.h"

namespace {

std::string Record(DriverContext* c) {
  return std::string(reinterpret_cast<const char*>(c->settings), sizeof(SettingsRecord));
}

TEST_F(SettingsExportTest, PlainImportSkipsPasswordsConfigurationAndWorkItemsAndClearsThePresetNumber) {
  DriverContext* c = Fresh(printer_);
  OptSetValue(c, kItemLanguageID, 1);
  OptSetString(c, Row(c, 220), u"mine");
  const DWORD size = OptGetValue(c, 4);
  const DWORD extra = OptGetValue(c, 5);
  const std::string driverVersion = Bytes(c, 905), binName = Bytes(c, 907);
  // Building the record marked its rows; the import's own marks are what count here.
  for (int i = 0; i < c->itemTable->count; ++i) c->itemTable->rows[i].changed = 0;
  Write(file_, "[Velm Printer]\r\n" + HeaderLines(1) +
                   "dmSize=0\r\ndmDriverExtra=7\r\nvdmJOBPassword=theirs\r\nvdmStoredPassword=theirs\r\n"
                   "vdmPresetNo=3\r\nvdmServerLogCode=1\r\nvdmPrinterMemory=512\r\nwdmDriverVersion=9.9\r\n"
                   "wdmPrintPostTray1Name=Top\r\nwdmCustomFunc0=1\r\ndmCopies=4\r\n");
  ASSERT_TRUE(XferSection(printer_, c, file_.c_str(), kXferRead));
  EXPECT_EQ(OptGetValue(c, 12), 4u);
  EXPECT_EQ(OptGetValue(c, 41) & 0xFF, 255u);
  EXPECT_EQ(Bytes(c, 220).substr(0, 5), std::string("mine\0", 5));
  EXPECT_EQ(Bytes(c, 221), std::string(9, '\0'));
  EXPECT_EQ(OptGetValue(c, 4), size);
  EXPECT_EQ(OptGetValue(c, 5), extra);
  for (WORD id : {916, 10001, 10012}) EXPECT_EQ(OptGetValue(c, id), 0u) << id;
  EXPECT_EQ(Bytes(c, 905), driverVersion);
  EXPECT_EQ(Bytes(c, 907), binName);
  EXPECT_EQ(Row(c, 12)->changed, 1);
  EXPECT_EQ(Row(c, 10012)->changed, 0);
}

TEST_F(SettingsExportTest, ModelSectionIsReadWhenItHasAHeaderAndThePrinterNameComesBack) {
  DriverContext* c = Fresh(printer2_);
  Write(file_, "[Velm Printer 2]\r\n" + HeaderLines(0) + "dmCopies=2\r\n[Velm Printer Driver]\r\n" + HeaderLines(0) +
                   "dmCopies=3\r\n");
  ASSERT_TRUE(XferLoad(printer2_, file_.c_str(), 0, c));
  EXPECT_EQ(OptGetValue(c, 12), 3u);
  EXPECT_EQ(PrinterName(c), u"Velm Printer 2");
  // Groups read the printer's own section unless asked to look for the model section.
  Write(file_, "[Velm Printer 2]\r\n" + HeaderLines(0) + "vdmHalftone=2\r\n[Velm Printer Driver]\r\n" + HeaderLines(0) +
                   "vdmHalftone=3\r\n");
  ASSERT_TRUE(XferLoad(printer2_, file_.c_str(), kXferGroupQuality, c));
  EXPECT_EQ(OptGetValue(c, 153), 2u);
  ASSERT_TRUE(XferLoad(printer2_, file_.c_str(), kXferGroupQuality | kXferModelSectionTest, c));
  EXPECT_EQ(OptGetValue(c, 153), 3u);
  // Without a header in the model section the printer's section is read.
  Write(file_, "[Velm Printer 2]\r\n" + HeaderLines(0) + "dmCopies=5\r\n[Velm Printer Driver]\r\ndmCopies=6\r\n");
  ASSERT_TRUE(XferLoad(printer2_, file_.c_str(), 0, c));
  EXPECT_EQ(OptGetValue(c, 12), 5u);
}

TEST_F(SettingsExportTest, AfterAnImportTheDevmodeFollowsThisSystemsKind) {
  Write(file_, "[Velm Printer]\r\n" + HeaderLines(0) + "dmFields=" + std::to_string(0x03800000u) +
                   "\r\ndmICMMethod=3\r\ndmICMIntent=4\r\n"
                   "vdmICMProgram=2\r\nvdmICMType=2\r\nvdmICMIntent=3\r\nvdmUIModeChange=1\r\n");
  for (DWORD kind : {0u, 1u, 2u, 3u}) {
    SCOPED_TRACE(kind);
    DriverContext* c = Fresh(printer_);
    OptSetValue(c, 716, kind);
    ASSERT_TRUE(XferLoad(printer_, file_.c_str(), 0, c));
    const bool icm = kind <= 1;
    EXPECT_EQ(OptGetValue(c, 27), icm ? 1u : 3u);
    EXPECT_EQ(OptGetValue(c, 28), icm ? 1u : 4u);
    EXPECT_EQ(OptGetValue(c, 149), icm ? 0u : 2u);
    EXPECT_EQ(OptGetModelValueById(c, 150), static_cast<DWORD>(icm ? DescGetDefaultValue(150, c) : 4523));  // graphics
    EXPECT_EQ(OptGetModelValueById(c, 151), static_cast<DWORD>(icm ? DescGetDefaultValue(151, c) : 4534));  // absolute
    // The ICM and media-type bits follow the kind; the re-validation merge keeps the others.
    const DWORD media = kind == 0 || kind == 3 ? 0x02000000u : 0;
    EXPECT_EQ(OptGetValue(c, 6) & 0x03800000u, (icm ? 0u : 0x01800000u) | media);
    EXPECT_EQ(OptGetValue(c, 716), kind);
    EXPECT_EQ(OptGetValue(c, 41) & 0xFF, 255u);
    EXPECT_EQ(OptGetValue(c, 40), 1u);
    EXPECT_EQ(OptGetValue(c, 180), c->work->locale.countryDigit);
  }
  // A refused file changes none of it.
  DriverContext* c = Fresh(printer_);
  OptSetValue(c, 716, 0);
  OptSetValue(c, 41, 3);
  OptSetValue(c, kItemLanguageID, 5);
  const std::string before = Record(c);
  ASSERT_TRUE(XferLoad(printer_, file_.c_str(), 0, c));
  EXPECT_EQ(CtxGetTransferStatus(c), 1u);
  EXPECT_EQ(Record(c), before);
}

TEST_F(SettingsExportTest, StampTransferLeavesTheTableMarksAndPresetRowsAsTheyWere) {
  DriverContext* c = Fresh(printer_);
  std::vector<LONG> marks;
  for (int i = 0; i < c->itemTable->count; ++i) marks.push_back(c->itemTable->rows[i].preset);
  OptSetValue(c, 895, 3);
  {
    XferPrinterNameStandIn section(c, u"Stamp1us");
    ASSERT_TRUE(XferSave(printer_, file_.c_str(), kXferGroupStamp, c));
    ASSERT_TRUE(XferLoad(printer_, file_.c_str(), kXferGroupStamp, c));
  }
  const std::string text = Read(file_);
  EXPECT_EQ(text.find("RstVersion"), std::string::npos);
  EXPECT_NE(text.find("\r\nwdmWmPatternKind=3\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nvdmWmKind="), std::string::npos);
  for (int i = 0; i < c->itemTable->count; ++i) EXPECT_EQ(c->itemTable->rows[i].preset, marks[i]) << i;
  // The stamp group reads no header even when the section has one that does not match.
  Write(file_, "[Stamp1us]\r\nRstVersion=900\r\nwdmWmPatternKind=7\r\n");
  XferPrinterNameStandIn section(c, u"Stamp1us");
  ASSERT_TRUE(XferLoad(printer_, file_.c_str(), kXferGroupStamp, c));
  EXPECT_EQ(CtxGetTransferStatus(c), 0u);
  EXPECT_EQ(OptGetValue(c, 895), 7u);
}

TEST_F(SettingsExportTest, DamagedNumbersRefuseTheWholeSection) {
  DriverContext* c = Fresh(printer_);
  const char* damaged[] = {
      "dmCopies=12x",        "dmCopies=",
      "dmCopies=-",          "dmCopies= 4",
      "dmCopies=70000",      "vdmMachineID=256",
      "vdmSaturation=-129",  "vdmSmoothing=2",
      "dmFields=4294967296", "dmFields=99999999999999999999999999",
      "dmCopies=0x10",
  };
  for (const char* line : damaged) {
    SCOPED_TRACE(line);
    Write(file_, "[Velm Printer]\r\n" + HeaderLines(0) + "dmOrientation=2\r\n" + line + "\r\nvdmHalftone=2\r\n");
    const std::string before = Record(c);
    EXPECT_FALSE(XferSection(printer_, c, file_.c_str(), kXferRead));
    EXPECT_EQ(Record(c), before);
  }
  // The widest values of each type are sound.
  Write(file_, "[Velm Printer]\r\n" + HeaderLines(0) +
                   "dmFields=4294967295\r\ndmOrientation=-32768\r\nvdmSaturation=-128\r\nvdmMachineID=255\r\n");
  ASSERT_TRUE(XferSection(printer_, c, file_.c_str(), kXferRead));
  EXPECT_EQ(OptGetValue(c, 6), 0xFFFFFFFFu);
  EXPECT_EQ(OptGetValue(c, 7), 0xFFFF8000u);
}

TEST_F(SettingsExportTest, CutShortOversizedAndForeignFilesReadNoMoreThanTheyHold) {
  DriverContext* c = Fresh(printer_);
  // Cut in the middle of a line: the lines before it are read, the cut value is a value.
  OptSetString(c, Row(c, 867), u"");
  Write(file_, "[Velm Printer]\r\n" + HeaderLines(0) + "dmCopies=9\r\nwdmUserSetName=Hal");
  ASSERT_TRUE(XferSection(printer_, c, file_.c_str(), kXferRead));
  EXPECT_EQ(OptGetValue(c, 12), 9u);
  // A string longer than its field is cut to the field, and the next entries still read.
  const std::string longName(5000, 'N');
  Write(file_, "[Velm Printer]\r\n" + HeaderLines(0) + "wdmUserSetName=" + longName + "\r\ndmCopies=8\r\n");
  ASSERT_TRUE(XferSection(printer_, c, file_.c_str(), kXferRead));
  EXPECT_EQ(Bytes(c, 867), std::string(36, 'N') + '\0');
  EXPECT_EQ(OptGetValue(c, 12), 8u);
  // A section longer than any this library writes is refused.
  std::string huge = "[Velm Printer]\r\n" + HeaderLines(0) + "dmCopies=2\r\n";
  while (huge.size() <= kXferMaxSectionBytes) huge += "; filler filler filler filler filler filler filler\r\n";
  Write(file_, huge + "[Next]\r\n");
  const std::string before = Record(c);
  EXPECT_FALSE(XferSection(printer_, c, file_.c_str(), kXferRead));
  EXPECT_EQ(Record(c), before);
  // Bytes that are not text: NULs end the text for the readers, nothing else is read.
  std::string binary = "[Velm Printer]\r\n" + HeaderLines(0) + std::string("dmCopies=3\0dmCopies=4\r\n", 23);
  for (int i = 0; i < 512; ++i) binary += static_cast<char>((i * 37) & 0xFF);
  Write(file_, binary);
  EXPECT_TRUE(XferSection(printer_, c, file_.c_str(), kXferRead));
  EXPECT_EQ(OptGetValue(c, 12), 3u);
  // An absent file is a mismatch, and stays absent.
  const std::u16string absent = u"C:\\Settings\\absent.rst";
  EXPECT_TRUE(XferSection(printer_, c, absent.c_str(), kXferRead));
  EXPECT_EQ(CtxGetTransferStatus(c), 1u);
  EXPECT_FALSE(std::filesystem::exists(Host(absent)));
  // A file too large to load is refused whole.
  std::string enormous(kIniMaxFileBytes + 1, ';');
  Write(file_, enormous);
  EXPECT_FALSE(XferSection(printer_, c, file_.c_str(), kXferRead));
}

TEST_F(SettingsExportTest, QualityFileWithForeignHeaderIsRefreshedFromItsCompanion) {
  DriverContext* c = Fresh(printer_);
  OptSetValue(c, kItemLanguageID, 1);
  OptSetValue(c, 153, 1);
  const std::u16string quality = u"C:\\Settings\\fine.rsf";
  Write(quality,
        "[Velm Printer]\r\nRstVersion=100\r\nRstMachine=130\r\nRstLanguage=1\r\nvdmHalftone=4\r\n"
        "[condition]\r\nold=1\r\n");
  std::string condition;
  for (int i = 0; condition.size() < 3 * kXferSectionCopyChars; ++i) condition += "rule" + std::to_string(i) + "=1\r\n";
  Write(std::u16string(PrnGetDriverDirectory(c)) + u"fine.rsq",
        "[us]\r\nvdmHalftone=3\r\nReadonly=1\r\n[condition]\r\n" + condition + "[disable]\r\nd=2\r\n");

  ASSERT_TRUE(XferLoad(printer_, quality.c_str(), kXferGroupQuality, c));
  EXPECT_EQ(CtxGetTransferStatus(c), 1u);
  EXPECT_EQ(OptGetValue(c, 153), 1u);  // the refresh leaves the settings as they were
  const std::string text = Read(quality);
  EXPECT_EQ(text.rfind("[Velm Printer]\r\n" + HeaderLines(1) + "vdmDstResolutionW=", 0), 0u) << text.substr(0, 120);
  EXPECT_NE(text.find("\r\nvdmHalftone=3\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nReadonly=1\r\n"), std::string::npos);
  EXPECT_NE(text.find("[condition]\r\n" + condition), std::string::npos);
  EXPECT_EQ(text.find("old=1"), std::string::npos);
  EXPECT_NE(text.find("[disable]\r\nd=2\r\n"), std::string::npos);
  EXPECT_EQ(DmHistoryDepth(c), 0u);

  // Now it loads.
  ASSERT_TRUE(XferLoad(printer_, quality.c_str(), kXferGroupQuality, c));
  EXPECT_EQ(CtxGetTransferStatus(c), 0u);
  EXPECT_EQ(OptGetValue(c, 153), 3u);

  // Without a companion the file is left alone.
  const std::u16string lone = u"C:\\Settings\\lone.rsf";
  Write(lone, "[Velm Printer]\r\nRstVersion=100\r\nvdmHalftone=4\r\n");
  ASSERT_TRUE(XferLoad(printer_, lone.c_str(), kXferGroupQuality, c));
  EXPECT_EQ(CtxGetTransferStatus(c), 1u);
  EXPECT_EQ(Read(lone), "[Velm Printer]\r\nRstVersion=100\r\nvdmHalftone=4\r\n");
}

TEST_F(SettingsExportTest, NameStandInsNestAndComeBack) {
  DriverContext* c = Fresh(printer_);
  {
    XferPrinterNameStandIn outer(c, PrnGetDriverName(c));
    EXPECT_EQ(PrinterName(c), u"Velm Printer Driver");
    {
      XferPrinterNameStandIn inner(c, u"FreeSize0us");
      EXPECT_EQ(PrinterName(c), u"FreeSize0us");
    }
    EXPECT_EQ(PrinterName(c), u"Velm Printer Driver");
    const std::u16string tooLong(kNameChars, u'x');
    XferPrinterNameStandIn refused(c, tooLong.c_str());
    EXPECT_FALSE(refused.active());
    EXPECT_EQ(PrinterName(c), u"Velm Printer Driver");
  }
  EXPECT_EQ(PrinterName(c), u"Velm Printer");
}

}  // namespace

TEST_F(SettingsExportTest, AnImportOfAModelSectionSavesTheQualitySetUnderThePrintersOwnSection) {
  DriverContext* c = Fresh(printer_);
  const std::u16string ini = PathGetSettingsIni(c);
  const std::u16string quality = u"C:\\Settings\\fine.rsf";
  Write(ini, "[Velm Printer]\r\nQualityList2=" + std::string(quality.begin(), quality.end()) + "\r\n");
  // A plain export of another printer: its settings under the driver's name, quality set 2 in use.
  Write(file_, "[Velm Printer Driver]\r\n" + HeaderLines(0) +
                   "vdmQualityListUse=1\r\nvdmQualityListNo=34\r\nvdmHalftone=4\r\n");
  ASSERT_TRUE(XferLoad(printer_, file_.c_str(), 0, c));
  ASSERT_EQ(LstGetQualityIndex(c), 2);
  const std::string saved = Read(quality);
  EXPECT_EQ(saved.rfind("[Velm Printer]\r\n" + HeaderLines(0), 0), 0u) << saved;
  EXPECT_NE(saved.find("\r\nvdmHalftone=4\r\n"), std::string::npos) << saved;
  EXPECT_NE(Read(ini).find("[Velm Printer]\r\nQualityList2="), std::string::npos);
  EXPECT_NE(Read(ini).find("QualityList2Name="), std::string::npos) << Read(ini);
  EXPECT_EQ(PrinterName(c), u"Velm Printer");
}

TEST_F(SettingsExportTest, AnExportWhoseSharedFileCannotBeWrittenStillWritesTheUsersFile) {
  DriverContext* c = Fresh(printer_);
  OptSetValue(c, 12, 4);
  // The shared printer-item file is a folder: it cannot be replaced.
  const std::u16string shared = SharedFile(kXferPrinterItemFileName);
  std::filesystem::create_directories(Host(shared));
  ASSERT_TRUE(XferSave(printer_, file_.c_str(), kXferWrite, c));
  EXPECT_EQ(CtxGetTransferStatus(c), kXferStatusSharedFileNotWritten);
  EXPECT_NE(Read(file_).find("\r\ndmCopies=4\r\n"), std::string::npos);
  // With the shared folder writable again, both are written and the status is clear.
  std::filesystem::remove_all(Host(shared));
  OptSetValue(c, 12, 5);
  ASSERT_TRUE(XferSave(printer_, file_.c_str(), kXferWrite, c));
  EXPECT_EQ(CtxGetTransferStatus(c), kXferStatusMatched);
  EXPECT_NE(Read(file_).find("\r\ndmCopies=5\r\n"), std::string::npos);
  EXPECT_NE(Read(shared).find("[VelmPrnSection]"), std::string::npos);
}
