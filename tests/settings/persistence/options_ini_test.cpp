// Items stored in the settings INI: the text of each type, absent and empty values, the job-action
// word and its migration, and the contexts that do not read the INI.
#include "settings/persistence/options_fixture.h"

namespace {

constexpr WORD kPresetNo = 41;        // s8
constexpr WORD kUnitWord = 42;        // u16 (the destination resolution)
constexpr WORD kUserCode = 216;       // ANSI 9
constexpr WORD kPrnMethod = 222;      // u8 "PrnMethod"
constexpr WORD kActionSecurity = 224; // bit 0
constexpr WORD kActionProof = 225;    // bit 1 "ACT_PROOFPRINT"
constexpr WORD kActionStored = 226;   // bit 2
constexpr WORD kAction7 = 231;        // bit 7, no key of its own
constexpr WORD kFrontFunc = 249;      // u32 "FrontFunc"
constexpr WORD kOverlayPath = 875;    // ANSI 521 "OverlayDataPath"

// Makes a row of the context's own table an INI item under `key`, as the settings-file transfer
// does for one entry.
ItemTableRow* AsIniRow(ItemTableRow* row, const WCHAR* key) {
  row->storage = kStorageSettingsIni;
  row->keyName = key;
  return row;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(OptionPersistenceTest, NumbersAndStringsRoundTripThroughTheIni) {
  DriverContext* c = Context(printer_);
  const WCHAR* ini = PathGetSettingsIni(c);
  Ini(c);
  ItemTableRow* s8 = AsIniRow(Row(c, kPresetNo), u"PresetNo");
  ItemTableRow* u16 = AsIniRow(Row(c, kUnitWord), u"Resolution");
  OptWriteRaw(c, s8, static_cast<DWORD>(-5));
  OptWriteRaw(c, u16, 65535);
  OptSetValue(c, kFrontFunc, 4000000000u);
  OptSetValue(c, kActionProof, 1);
  OptSetString(c, Row(c, kOverlayPath), u"C:\\overlay\\form.dat");
  for (ItemTableRow* row : {s8, u16, Row(c, kFrontFunc), Row(c, kOverlayPath)})
    ASSERT_TRUE(CfgWriteIniEntry(c, row, ini, nullptr)) << row->id;
  ASSERT_TRUE(CfgWriteIniEntry(c, AsIniRow(Row(c, kActionProof), u"Proof"), ini, nullptr));
  const std::string text = IniText(c);
  EXPECT_TRUE(Has(text, "[Velm Printer]")) << text;
  EXPECT_TRUE(Has(text, "PresetNo=-5\r\n")) << text;
  EXPECT_TRUE(Has(text, "Resolution=65535\r\n")) << text;
  EXPECT_TRUE(Has(text, "FrontFunc=4000000000\r\n")) << text;
  EXPECT_TRUE(Has(text, "Proof=1\r\n")) << text;
  EXPECT_TRUE(Has(text, "OverlayDataPath=C:\\overlay\\form.dat\r\n")) << text;

  for (ItemTableRow* row : {s8, u16, Row(c, kFrontFunc), Row(c, kActionProof)}) OptWriteRaw(c, row, 0);
  OptSetString(c, Row(c, kOverlayPath), u"");
  for (ItemTableRow* row : {s8, u16, Row(c, kFrontFunc), Row(c, kOverlayPath), Row(c, kActionProof)})
    EXPECT_TRUE(CfgReadIniEntry(c, row, ini, nullptr, nullptr)) << row->id;
  EXPECT_EQ(OptReadRaw(c, s8), static_cast<DWORD>(-5));
  EXPECT_EQ(OptReadRaw(c, u16), 65535u);
  EXPECT_EQ(OptGetValue(c, kFrontFunc), 4000000000u);  // past the signed range
  EXPECT_EQ(OptGetValue(c, kActionProof), 1u);
  WCHAR path[64];
  OptGetString(c, Row(c, kOverlayPath), path, 64);
  EXPECT_EQ(std::u16string(path), u"C:\\overlay\\form.dat");
}

TEST_F(OptionPersistenceTest, AbsentKeysLeaveItemsAndEmptyValuesClearStrings) {
  DriverContext* c = Context(printer_);
  const WCHAR* ini = PathGetSettingsIni(c);
  WriteIni(c, "[Velm Printer]\r\nOverlayDataPath=\r\nFrontFunc=-1\r\n");
  OptSetValue(c, kPrnMethod, 5);
  OptSetString(c, Row(c, kOverlayPath), u"kept until read");
  EXPECT_FALSE(CfgReadIniEntry(c, Row(c, kPrnMethod), ini, nullptr, nullptr));
  EXPECT_EQ(OptGetValue(c, kPrnMethod), 5u);
  EXPECT_TRUE(CfgReadIniEntry(c, Row(c, kOverlayPath), ini, nullptr, nullptr));
  EXPECT_EQ(*OptGetItemAddress(c, Row(c, kOverlayPath)), 0);
  EXPECT_TRUE(CfgReadIniEntry(c, Row(c, kFrontFunc), ini, nullptr, nullptr));
  EXPECT_EQ(OptGetValue(c, kFrontFunc), 0xFFFFFFFFu);  // older text wrote u32 values signed
  // A path that is no drive path, and a row without a key, do nothing and succeed.
  EXPECT_TRUE(CfgReadIniEntry(c, Row(c, kPrnMethod), u"qnset.ini", nullptr, nullptr));
  EXPECT_TRUE(CfgWriteIniEntry(c, Row(c, kAction7), ini, nullptr));
}

TEST_F(OptionPersistenceTest, StringsLongerThanTheirFieldKeepATerminator) {
  DriverContext* c = Context(printer_);
  const WCHAR* ini = PathGetSettingsIni(c);
  WriteIni(c, "[Velm Printer]\r\nUserCode=123456789012\r\n");
  ItemTableRow* code = AsIniRow(Row(c, kUserCode), u"UserCode");
  code->group = nullptr;
  ASSERT_TRUE(CfgReadIniEntry(c, code, ini, nullptr, nullptr));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(OptGetItemAddress(c, code)), 9), std::string("12345678\0", 9));
}

TEST_F(OptionPersistenceTest, EntriesGoThroughTheEngineWhenASectionTextIsGiven) {
  DriverContext* c = Context(printer_);
  const WCHAR* ini = PathGetSettingsIni(c);
  OptSetValue(c, kPrnMethod, 3);
  OptSetValue(c, kFrontFunc, 0x80);
  IniSectionText text{};
  ASSERT_TRUE(IniAppendSection(&text, u"Velm Printer"));
  ASSERT_TRUE(CfgWriteIniEntry(c, Row(c, kFrontFunc), ini, &text));
  ASSERT_TRUE(CfgWriteIniEntry(c, Row(c, kPrnMethod), ini, &text));
  EXPECT_EQ(std::string(text.bytes, text.length), "[Velm Printer]\r\nFrontFunc=128\r\nPrnMethod=3\r\n");
  OptSetValue(c, kPrnMethod, 0);
  OptSetValue(c, kFrontFunc, 0);
  const char* section = IniFindSection(u"Velm Printer", text.bytes);
  LONG cursor = 0;
  EXPECT_TRUE(CfgReadIniEntry(c, Row(c, kFrontFunc), ini, section, &cursor));
  EXPECT_TRUE(CfgReadIniEntry(c, Row(c, kPrnMethod), ini, section, &cursor));
  EXPECT_EQ(OptGetValue(c, kFrontFunc), 0x80u);
  EXPECT_EQ(OptGetValue(c, kPrnMethod), 3u);
  IniFreeSectionText(&text);
}

TEST_F(OptionPersistenceTest, OldPerBitActionKeysMigrateToTheWordOnFirstLoad) {
  DriverContext* c = Context(printer_);
  WriteIni(c, "[Velm Printer]\r\nACT_PROOFPRINT=1\r\n");
  CfgLoadClass(printer_, c, kSectionDevmode, 0, nullptr);
  EXPECT_EQ(OptGetValue(c, kActionProof), 1u);
  EXPECT_EQ(OptGetValue(c, kActionSecurity), 0u);
  EXPECT_TRUE(Has(IniText(c), "vdmAction=2\r\n")) << IniText(c);  // bit 1 of the word

  // From now on only the word counts.
  WriteIni(c, "[Velm Printer]\r\nACT_PROOFPRINT=1\r\nvdmAction=5\r\n");
  CfgLoadClass(printer_, c, kSectionDevmode, 0, nullptr);
  EXPECT_EQ(OptGetValue(c, kActionSecurity), 1u);
  EXPECT_EQ(OptGetValue(c, kActionProof), 0u);
  EXPECT_EQ(OptGetValue(c, kActionStored), 1u);
  EXPECT_EQ(Row(c, kAction7)->changed, 1);
}

TEST_F(OptionPersistenceTest, SavingWritesTheActionWordOnceAndNoBitKeys) {
  DriverContext* c = Context(printer_);
  Ini(c);
  OptSetValue(c, kActionStored, 1);
  OptSetValue(c, kAction7, 1);
  OptSetValue(c, kPrnMethod, 2);
  ASSERT_EQ(CfgSave(printer_, c), 1);
  const std::string text = IniText(c);
  EXPECT_TRUE(Has(text, "vdmAction=132\r\n")) << text;
  EXPECT_TRUE(Has(text, "PrnMethod=2\r\n")) << text;
  EXPECT_FALSE(Has(text, "ACT_")) << text;
}

TEST_F(OptionPersistenceTest, ResyncContextsAndSomeCallersDoNotReadTheIni) {
  DriverContext* probe = Context(printer_);
  WriteIni(probe, "[Velm Printer]\r\nPrnMethod=3\r\nvdmAction=1\r\n");
  SetData(u"RAM", REG_BINARY, Le(32, 4));

  DriverContext* resync = Context(printer_);
  resync->work->kind = kKindResync;
  CfgLoadClass(printer_, resync, kCfgAllSections, 0, nullptr);
  EXPECT_EQ(OptGetValue(resync, kPrnMethod), 0u);
  EXPECT_EQ(OptGetValue(resync, kActionSecurity), 0u);
  EXPECT_EQ(OptGetValue(resync, 10012), 32u);  // printer data is still read

  DriverContext* table1 = Context(printer_, kKindNoDriverName, kCreateCacheTable1);
  CfgLoadClass(printer_, table1, kCfgAllSections, 0, nullptr);
  EXPECT_EQ(OptGetValue(table1, kPrnMethod), 0u);

  CfgLoadClass(printer_, probe, kCfgAllSections, 0, nullptr);
  EXPECT_EQ(OptGetValue(probe, kPrnMethod), 3u);
  EXPECT_EQ(OptGetValue(probe, kActionSecurity), 1u);
}

}  // namespace
