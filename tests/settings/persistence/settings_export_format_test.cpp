// The text of a transfer section: golden exports, the header and its compatibility rules, where
// the section goes in a file, and values that hold line breaks.
#include <string>

#include "core/files.h"
#include "core/memory.h"
#include "settings/persistence/settings_export_fixture.h"

namespace {

// Values of the quality group's 25 rows, in table order, as the settings INI writes them.
struct Golden {
  WORD id;
  DWORD value;
  const char* line;
};
const Golden kQualityRows[] = {
    {42, 1200, "vdmDstResolutionW=1200"},
    {43, 600, "vdmDstResolutionH=600"},
    {149, 3, "vdmICMProgram=3"},
    {152, 4, "vdmDeviceFontUse=4"},
    {153, 2, "vdmHalftone=2"},
    {154, 1, "vdmSmoothing=1"},
    {159, 0xFB, "vdmSaturation=-5"},
    {160, 0x80, "vdmRedBalance=-128"},
    {161, 127, "vdmGreenBalance=127"},
    {162, 0, "vdmBlueBalance=0"},
    {164, 255, "vdmPlaneUseCMYKCyan=255"},
    {165, 1, "vdmPlaneUseCMYKMagenta=1"},
    {166, 0, "vdmPlaneUseCMYKYellow=0"},
    {167, 7, "vdmPlaneUseCMYKBlack=7"},
    {173, 65535, "vdmScreen=65535"},
    {174, 0xFF, "vdmLightness=-1"},
    {175, 9, "vdmSharpness=9"},
    {183, 0, "vdmRasterMode=0"},
    {184, 2, "vdmColorMode=2"},
    {188, 33, "vdmQualityListNo=33"},
    {189, 5, "vdmQualityLevel=5"},
    {190, 6, "vdmQualityText=6"},
    {248, 1, "vdmDstResolutionBoth=1"},
    {395, 1, "vdmDeviceFontOK2=1"},
    {868, 1, "wdmUserSetMark=1"},
};

TEST_F(SettingsExportTest, QualityGroupExportIsHeaderThenTheSecondTransferSetInTableOrder) {
  DriverContext* c = Fresh(printer_);
  OptSetValue(c, kItemLanguageID, 6);
  OptSetValue(c, 153, 2);
  for (const Golden& g : kQualityRows) ASSERT_TRUE(OptSetValue(c, g.id, g.value)) << g.id;
  // Items outside the group and the stamp's pattern items stay out.
  OptSetValue(c, 7, 2);
  OptSetValue(c, 895, 4);
  ASSERT_TRUE(XferSave(printer_, file_.c_str(), kXferGroupQuality, c));
  std::string expected = "[Velm Printer]\r\n" + HeaderLines(6);
  for (const Golden& g : kQualityRows) expected += std::string(g.line) + "\r\n";
  EXPECT_EQ(Read(file_), expected);
}

TEST_F(SettingsExportTest, FreeSizeGroupExportHasNoHeaderAndSourceFreeSizesShareItsKeys) {
  DriverContext* c = Fresh(printer_);
  OptSetString(c, Row(c, 859), u"Poster");
  OptSetValue(c, 860, 9921);
  OptSetValue(c, 861, 14031);
  {
    XferPrinterNameStandIn section(c, u"FreeSize3fr");
    ASSERT_TRUE(section.active());
    ASSERT_TRUE(XferSave(printer_, file_.c_str(), kXferGroupFreeSize, c));
  }
  EXPECT_EQ(Read(file_),
            "[FreeSize3fr]\r\nwdmFreeSizeName=Poster\r\nwdmFreeSizeWidth=9921\r\nwdmFreeSizeLength=14031\r\n");
  EXPECT_EQ(PrinterName(c), u"Velm Printer");

  // The source-tray free size reads the same section into items 862..864.
  XferPrinterNameStandIn section(c, u"FreeSize3fr");
  ASSERT_TRUE(XferLoad(printer_, file_.c_str(), kXferGroupSrcFreeSize, c));
  WCHAR name[64];
  OptGetString(c, Row(c, 862), name, 64);
  EXPECT_EQ(std::u16string(name), u"Poster");
  EXPECT_EQ(OptGetValue(c, 863), 9921u);
  EXPECT_EQ(OptGetValue(c, 864), 14031u);
}

TEST_F(SettingsExportTest, PlainExportWritesTheModelSectionHeaderFirstAndNeverThePasswords) {
  DriverContext* c = Fresh(printer_);
  OptSetValue(c, kItemLanguageID, 1);
  OptSetString(c, Row(c, 220), u"1234");
  OptSetString(c, Row(c, 221), u"5678");
  // A public field without a name travels under its number.
  c->itemTable->rows[18].name = nullptr;  // dmCollate, identifier 19
  OptSetValue(c, 19, 1);
  ASSERT_TRUE(XferSave(printer_, file_.c_str(), 0, c));
  const std::string text = Read(file_);
  EXPECT_EQ(text.rfind("[Velm Printer Driver]\r\n" + HeaderLines(1) + "dmDeviceName=", 0), 0u) << text.substr(0, 200);
  EXPECT_EQ(text.find("vdmJOBPassword"), std::string::npos);
  EXPECT_EQ(text.find("vdmStoredPassword"), std::string::npos);
  EXPECT_NE(text.find("\r\n19=1\r\n"), std::string::npos);
  // Derived rows and rows past 904 stay out; the work rows before it come along.
  EXPECT_EQ(text.find("vdmIniFileName"), std::string::npos);
  EXPECT_EQ(text.find("wdmDriverVersion="), std::string::npos);
  EXPECT_NE(text.find("\r\nwdmSpoolDirAllUsers="), std::string::npos);
  EXPECT_EQ(text.find("wdmWmPatternSize"), std::string::npos);
  // ... and the printer items go to the shared "qnexport.txt".
  const std::string items = Read(SharedFile(kXferPrinterItemFileName));
  EXPECT_EQ(items.rfind("[VelmPrnSection]\r\n", 0), 0u);
  EXPECT_EQ(items.find("vdmServerLogCode="), std::string::npos);
  EXPECT_NE(items.find("\r\nvdmFontTable=0\r\n"), std::string::npos);
  EXPECT_NE(items.find("wdmPrintPostTray1Name="), std::string::npos);
}

TEST_F(SettingsExportTest, HeaderRulesDecideWhetherAnythingIsRead) {
  DriverContext* c = Fresh(printer_);
  OptSetValue(c, kItemLanguageID, 1);
  struct Case {
    const char* header;
    DWORD status;
  } cases[] = {
      {"RstVersion=250\r\nRstMachine=130\r\nRstLanguage=1\r\n", 0},  // 250 / 100 = 200 / 100
      {"RstVersion=299\r\nRstMachine=130\r\nRstLanguage=1\r\n", 0},
      {"RstVersion=300\r\nRstMachine=130\r\nRstLanguage=1\r\n", 1},
      {"RstVersion=199\r\nRstMachine=130\r\nRstLanguage=1\r\n", 1},
      {"RstVersion=200\r\nRstMachine=130\r\n", 1},                     // no language
      {"RstMachine=130\r\nRstLanguage=1\r\n", 1},                      // no version
      {"RstVersion=200\r\nRstMachine=131\r\nRstLanguage=1\r\n", 1},    // another model
      {"RstVersion=200\r\nRstMachine=130\r\nRstLanguage=6\r\n", 1},    // another language
      {"RstVersion=65736\r\nRstMachine=130\r\nRstLanguage=1\r\n", 1},  // 200 only when cut to 16 bits
      {"RstVersion=200abc\r\nRstMachine=130\r\nRstLanguage=1\r\n", 1},
      {"RstVersion=\r\nRstMachine=130\r\nRstLanguage=1\r\n", 1},
      {"RstLanguage=1\r\nRstMachine=130\r\nRstVersion=200\r\n", 0},  // any order
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.header);
    OptSetValue(c, 7, 1);
    Write(file_, std::string("[Velm Printer]\r\n") + k.header + "dmOrientation=2\r\n");
    CtxSetTransferStatus(c, 7);
    EXPECT_TRUE(XferSection(printer_, c, file_.c_str(), kXferRead));
    EXPECT_EQ(CtxGetTransferStatus(c), k.status);
    EXPECT_EQ(OptGetValue(c, 7), k.status == 0 ? 2u : 1u);
  }
  // No section at all is a mismatch too; a group without a header reads without one.
  Write(file_, "[Other]\r\nRstVersion=200\r\n");
  EXPECT_TRUE(XferSection(printer_, c, file_.c_str(), kXferRead));
  EXPECT_EQ(CtxGetTransferStatus(c), 1u);
  Write(file_, "[Velm Printer]\r\nwdmFreeSizeWidth=500\r\n");
  EXPECT_TRUE(XferSection(printer_, c, file_.c_str(), kXferRead | kXferGroupFreeSize));
  EXPECT_EQ(CtxGetTransferStatus(c), 0u);
  EXPECT_EQ(OptGetValue(c, 860), 500u);
}

TEST_F(SettingsExportTest, HeaderQueriesReadThePrinterSection) {
  DriverContext* c = Fresh(printer_);
  Write(file_, "[Velm Printer Driver]\r\nRstVersion=200\r\n[Velm Printer]\r\nRstOSKind=3\r\n");
  EXPECT_FALSE(XferHasVersionKey(file_.c_str(), c));
  EXPECT_EQ(XferReadOSKind(file_.c_str(), c), 3);
  Write(file_, "[Velm Printer]\r\nRstVersion=1\r\nRstOSKind=x\r\n");
  EXPECT_TRUE(XferHasVersionKey(file_.c_str(), c));
  EXPECT_EQ(XferReadOSKind(file_.c_str(), c), 0xFFFF);
  EXPECT_TRUE(XferVersionMatches(200, 299));
  EXPECT_FALSE(XferVersionMatches(200, 300));
}

TEST_F(SettingsExportTest, ExportMovesItsSectionToTheTopAndKeepsTheOthersByteForByte) {
  DriverContext* c = Fresh(printer_);
  const std::string comment = "; comment\r\n";
  const std::string before = "[A]\r\nk=1\r\n\r\n";
  const std::string after = "[b]\nx = y \n[C]\r\nz=\"q\"";
  const std::string others = before + after;
  Write(file_, comment + before + "[Velm Printer]\r\nold=1\r\nRstVersion=1\r\n" + after);
  ASSERT_TRUE(XferSave(printer_, file_.c_str(), kXferGroupQuality, c));
  const std::string text = Read(file_);
  // First among the sections; the text before every section stays before it.
  ASSERT_EQ(text.rfind(comment + "[Velm Printer]\r\n" + HeaderLines(0), 0), 0u);
  const size_t end = text.find("wdmUserSetMark=0\r\n");
  ASSERT_NE(end, std::string::npos);
  EXPECT_EQ(text.substr(end + 18), others);
  EXPECT_EQ(text.find("old=1"), std::string::npos);

  // A path that is not a drive path is refused and nothing is touched.
  for (const WCHAR* path : {u"\\\\server\\share\\x.rst", u"relative.rst", u""}) {
    CtxSetTransferStatus(c, 1);
    EXPECT_FALSE(XferSave(printer_, path, kXferGroupQuality, c));
    EXPECT_FALSE(XferLoad(printer_, path, 0, c));
    EXPECT_EQ(CtxGetTransferStatus(c), 0u);
  }
  EXPECT_EQ(Read(file_), text);
}

TEST_F(SettingsExportTest, AFailedAllocationOrWriteLeavesTheFileAsItWas) {
  DriverContext* c = Fresh(printer_);
  ASSERT_TRUE(XferSave(printer_, file_.c_str(), kXferGroupQuality, c));
  const std::string expected = Read(file_);
  const std::string old = "[Velm Printer]\r\nold=1\r\n[Other]\r\nk=v\r\n";
  bool saved = false;
  for (uint64_t n = 1; n < 200 && !saved; ++n) {
    Write(file_, old);
    velm::platform::SetAllocationFault(n);
    saved = XferSave(printer_, file_.c_str(), kXferGroupQuality, c) != FALSE;
    velm::platform::SetAllocationFault(0);
    EXPECT_EQ(Read(file_), saved ? expected + "[Other]\r\nk=v\r\n" : old) << n;
  }
  EXPECT_TRUE(saved);
  Write(file_, old);
  velm::platform::SetFileFault({velm::platform::FileFaultKind::kWrite, u"", 10, 0});
  EXPECT_FALSE(XferSave(printer_, file_.c_str(), kXferGroupQuality, c));
  velm::platform::ClearFileFaults();
  EXPECT_EQ(Read(file_), old);
}

TEST_F(SettingsExportTest, LineBreaksInAValueNeverMakeKeysOrSections) {
  DriverContext* c = Fresh(printer_);
  OptSetValue(c, kItemLanguageID, 1);
  OptSetValue(c, 7, 1);
  ASSERT_TRUE(OptSetString(c, Row(c, 866), u"first\r\n[Velm Printer]\r\ndmOrientation=2\nlast"));
  OptSetString(c, Row(c, 867), u"after");
  ASSERT_TRUE(XferSave(printer_, file_.c_str(), 0, c));
  const std::string text = Read(file_);
  EXPECT_NE(text.find("\r\nwdmPresetComment=first  [Velm Printer]  dmOrientation=2 last\r\n"), std::string::npos);
  EXPECT_EQ(text.find("\r\n[Velm Printer]"), std::string::npos);

  DriverContext* d = Fresh(printer2_);
  OptSetValue(d, kItemLanguageID, 1);
  ASSERT_TRUE(XferLoad(printer2_, file_.c_str(), 0, d));
  EXPECT_EQ(CtxGetTransferStatus(d), 0u);
  WCHAR value[600];
  OptGetString(d, Row(d, 866), value, 600);
  EXPECT_EQ(std::u16string(value), u"first  [Velm Printer]  dmOrientation=2 last");
  OptGetString(d, Row(d, 867), value, 600);
  EXPECT_EQ(std::u16string(value), u"after");
  EXPECT_EQ(OptGetValue(d, 7), 1u);
}

}  // namespace
