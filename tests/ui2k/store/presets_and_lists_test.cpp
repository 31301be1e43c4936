// Presets applied, edited and applied again; the fallback to preset 0; quality sets reloaded and a
// quality file without its companion; stamps deleted; the free sizes and their table.
#include "settings/context/settings_history.h"
#include "settings/persistence/user_lists.h"
#include "settings/services/help_language.h"
#include "stored_settings_fixture.h"
#include "ui2k/store/presets.h"
#include "ui2k/store/quality_sets.h"
#include "ui2k/store/stamps_and_free_sizes.h"

namespace velm::test {
namespace {

constexpr WORD kWmDensity = 112;

class ListsTest : public StoredSettingsTest {
 protected:
  std::string Lang() const { return platform::Utf16ToUtf8(CfgLanguageCodeOfItem(ui_->driver)); }
  std::string Printer() const { return "[" + PrinterName() + "]\r\n"; }
  std::vector<BYTE> Record() const {
    const BYTE* bytes = reinterpret_cast<const BYTE*>(ui_->driver->settings);
    return {bytes, bytes + sizeof(SettingsRecord)};
  }
  std::u16string IniValue(const std::u16string& key) const {
    WCHAR value[600] = {};
    GetPrivateProfileStringW(PrnGetPrinterName(ui_->driver), key.c_str(), u"<none>", value, 600, SettingsIni().c_str());
    return value;
  }
  void WritePresets(int machine1 = 130, int machine0 = 130) const {
    Write("_velm/qnset.ini", Printer() + "Count=2\r\nPresetList0=C:\\sets\\p0.rst\r\nPresetList0Name=Standard\r\n"
                             "PresetList0Comment=As delivered\r\nPresetList1=C:\\sets\\p1.rst\r\nPresetList1Name=Poster\r\n"
                             "PresetList1Comment=Large print\r\n");
    Write("sets/p0.rst", Header(PrinterName(), 200, machine0) + "vdmWmDensity=10\r\n");
    Write("sets/p1.rst", Header(PrinterName(), 200, machine1) + "vdmWmDensity=50\r\n");
  }
};

TEST_F(ListsTest, APresetIsAppliedEditedAndAppliedAgainWithItsTexts) {
  WritePresets();
  ASSERT_TRUE(RstSavePresetByIndex(ui_, 1));
  EXPECT_EQ(OptGetValue(ctx(), kWmDensity), 50u);
  EXPECT_STREQ(ui_->state.presetName, "Poster");
  EXPECT_STREQ(ui_->state.presetComment, "Large print");
  EXPECT_TRUE(RstIsPresetWritable(ui_, 1));
  EXPECT_FALSE(RstIsPresetWritable(ui_, 16));

  OptSetValue(ctx(), kWmDensity, 70);
  strcpy(ui_->state.presetName, "Big");
  strcpy(ui_->state.presetComment, "Seventy");
  ASSERT_TRUE(RstEditPreset(ui_, u"PresetList1"));
  EXPECT_NE(Read("sets/p1.rst").find("vdmWmDensity=70"), std::string::npos);
  EXPECT_EQ(IniValue(u"PresetList1Name"), u"Big");
  EXPECT_EQ(IniValue(u"PresetList1Comment"), u"Seventy");

  OptSetValue(ctx(), kWmDensity, 1);
  ui_->state.presetName[0] = 0;
  ASSERT_TRUE(RstApplyPreset(ui_, u"PresetList1"));
  EXPECT_EQ(OptGetValue(ctx(), kWmDensity), 70u);
  EXPECT_STREQ(ui_->state.presetName, "Big");
  // Applied once, the preset comes from its memory slot: the file is not read again.
  Write("sets/p1.rst", Header(PrinterName()) + "vdmWmDensity=90\r\n");
  OptSetValue(ctx(), kWmDensity, 1);
  ASSERT_TRUE(RstApplyPreset(ui_, u"PresetList1"));
  EXPECT_EQ(OptGetValue(ctx(), kWmDensity), 70u);
  // Any other index empties the texts.
  EXPECT_TRUE(RstSavePresetByIndex(ui_, 16));
  EXPECT_STREQ(ui_->state.presetName, "");
  EXPECT_STREQ(ui_->state.presetComment, "");
  EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(ListsTest, PresetTextsAreCutWholeWithTheirTerminator) {
  WritePresets();
  const std::string name(60, 'n');
  const std::string comment(700, 'c');
  Write("_velm/qnset.ini", Printer() + "Count=1\r\nPresetList0=C:\\sets\\p0.rst\r\nPresetList0Name=" + name +
                               "\r\nPresetList0Comment=" + comment + "\r\n");
  std::memset(ui_->state.presetName, 'x', sizeof ui_->state.presetName);
  ASSERT_TRUE(RstSavePresetByIndex(ui_, 0));
  EXPECT_EQ(std::string(ui_->state.presetName), name.substr(0, 35));
  EXPECT_EQ(std::string(ui_->state.presetComment), comment.substr(0, 511));
}

TEST_F(ListsTest, APresetOfAnotherMachineFallsBackToPresetZeroAndLosesItsFile) {
  WritePresets(131);
  ASSERT_TRUE(RstApplyPreset(ui_, u"PresetList1"));
  EXPECT_EQ(OptGetValue(ctx(), kWmDensity), 10u);
  EXPECT_EQ(IniValue(u"PresetList1"), u"");
  EXPECT_EQ(IniValue(u"PresetList0"), u"C:\\sets\\p0.rst");
  EXPECT_STREQ(ui_->state.presetName, "Poster");
  const auto shown = TakeMessages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_TRUE(Mentions(shown[0], StringOf(kRstMsgHeaderMismatch)));
  EXPECT_EQ(shown[0].caption, g_printerName);
}

TEST_F(ListsTest, AFailingPresetZeroKeepsItsEntryAndIsNotTriedTwice) {
  WritePresets(130, 131);
  OptSetValue(ctx(), kWmDensity, 3);
  EXPECT_TRUE(RstApplyPreset(ui_, u"PresetList0"));
  EXPECT_EQ(OptGetValue(ctx(), kWmDensity), 3u);
  EXPECT_EQ(IniValue(u"PresetList0"), u"C:\\sets\\p0.rst");
  EXPECT_EQ(TakeMessages().size(), 1u);
}

TEST_F(ListsTest, TheQualityListReloadsThroughItsSeamAndLeavesTheSettings) {
  Write("_velm/qnset.ini", Printer() + "QualityCount=2\r\nQualityList0=C:\\sets\\q0.rsq\r\nQualityList0Name=Fine\r\n"
                                       "QualityList1=C:\\sets\\q1.rsq\r\nQualityList1Name=Draft\r\n");
  Write("sets/q0.rsq", Header(PrinterName()) + "vdmHalftone=2\r\n");
  Write("sets/q1.rsq", Header(PrinterName()) + "vdmHalftone=3\r\n");
  const auto before = Record();
  UiGetSeams().lstReloadQualityList(ui_);
  EXPECT_EQ(Record(), before);
  // Each file saved back whole (every quality row), with its name in the list.
  for (const char* file : {"sets/q0.rsq", "sets/q1.rsq"}) {
    const std::string text = Read(file);
    EXPECT_NE(text.find("vdmSmoothing="), std::string::npos) << file;
    EXPECT_NE(text.find("RstOSKind="), std::string::npos) << file;
  }
  EXPECT_NE(Read("sets/q1.rsq").find("vdmHalftone=3"), std::string::npos);
  EXPECT_EQ(IniValue(u"QualityList0Name"), u"Fine");
  EXPECT_EQ(IniValue(u"QualityList1Name"), u"Draft");
  EXPECT_EQ(DmHistoryDepth(ctx()), 0u);

  ASSERT_TRUE(RstLoadQualityByKey(ui_, u"QualityList1"));
  EXPECT_EQ(OptGetValue(ctx(), 153), 3u);
  WCHAR name[40] = {};
  OptGetString(ctx(), OptFindItem(ctx()->itemTable, kItemUserSetName), name, 40);
  EXPECT_EQ(std::u16string(name), u"Draft");
}

TEST_F(ListsTest, AQualityFileOfAnotherModelWithoutItsCompanionIsLeftByteForByte) {
  Write("_velm/qnset.ini", Printer() + "QualityCount=1\r\nQualityList0=C:\\sets\\q0.rsq\r\n");
  const std::string text = Header(PrinterName(), 200, 131) + "vdmHalftone=2\r\n";
  Write("sets/q0.rsq", text);
  EXPECT_TRUE(RstLoadQualityByKey(ui_, u"QualityList0"));
  EXPECT_EQ(CtxGetTransferStatus(ctx()), kXferStatusHeaderMismatch);
  EXPECT_EQ(Read("sets/q0.rsq"), text);
  EXPECT_TRUE(TakeMessages().empty());  // a quality load is quiet
}

TEST_F(ListsTest, AStampIsDeletedFromTheMiddleAndAnIndexPastTheEndChangesNothing) {
  const std::string lang = Lang();
  Write("_velm/qnset.ini", "[" + lang + "]\r\nStampCount=3\r\n[Stamp0" + lang + "]\r\nvdmWmDensity=10\r\n[Stamp1" + lang +
                               "]\r\nvdmWmDensity=20\r\n[Stamp2" + lang + "]\r\nvdmWmDensity=30\r\n");
  const std::string before = Read("_velm/qnset.ini");
  EXPECT_EQ(RstDeleteStamp(ui_, 3), 0);
  EXPECT_EQ(RstDeleteStamp(ui_, 7), 0);
  EXPECT_EQ(Read("_velm/qnset.ini"), before);

  const auto record = Record();
  EXPECT_EQ(RstDeleteStamp(ui_, 1), 1);
  EXPECT_EQ(Record(), record);
  const std::u16string ini = SettingsIni();
  const std::u16string wlang = platform::Utf8ToUtf16(lang);
  EXPECT_EQ(GetPrivateProfileIntW(wlang.c_str(), u"StampCount", -1, ini.c_str()), 2u);
  EXPECT_EQ(GetPrivateProfileIntW((u"Stamp0" + wlang).c_str(), u"vdmWmDensity", -1, ini.c_str()), 10u);
  EXPECT_EQ(GetPrivateProfileIntW((u"Stamp1" + wlang).c_str(), u"vdmWmDensity", -1, ini.c_str()), 30u);
  EXPECT_EQ(Read("_velm/qnset.ini").find("[Stamp2" + lang + "]"), std::string::npos);
}

TEST_F(ListsTest, TheInterfacesStampCarriesThePatternItemsTheirRowsMark) {
  const std::string lang = Lang();
  Write("_velm/qnset.ini", "[" + lang + "]\r\nStampCount=1\r\n[Stamp0" + lang +
                               "]\r\nvdmWmDensity=44\r\nwdmWmTileX=77\r\ndmCopies=9\r\n");
  const DWORD copies = OptGetValue(ctx(), kItemCopies);
  ASSERT_TRUE(RstLoadStamp(ui_, 0));
  EXPECT_EQ(OptGetValue(ctx(), kWmDensity), 44u);
  EXPECT_EQ(OptGetValue(ctx(), kItemWmTileX), 77u);
  EXPECT_EQ(OptGetValue(ctx(), kItemCopies), copies);
  EXPECT_EQ(OptGetValue(ctx(), kItemWmID), 0u);
}

TEST_F(ListsTest, TheFreeSizeTableHoldsNamesAndSizesInDots) {
  const std::string lang = Lang();
  Write("_velm/qnset.ini", "[FreeSize3" + lang +
                               "]\r\nwdmFreeSizeName=Card\r\nwdmFreeSizeWidth=2400\r\nwdmFreeSizeLength=3600\r\n");
  RstLoadFreeSizeTable(ui_);
  const FreeSizeSlot& card = ui_->state.freeSizeTable[3];
  EXPECT_STREQ(card.userName, "Card");
  EXPECT_EQ(card.width, 2400u);
  EXPECT_EQ(card.length, 3600u);
  EXPECT_EQ(platform::Utf8ToUtf16(card.displayName), StringOf(112));
  EXPECT_NE(std::string(card.displayName2).find("Card"), std::string::npos) << card.displayName2;
  const FreeSizeSlot& a4 = ui_->state.freeSizeTable[0];
  EXPECT_EQ(a4.width, 9921u);
  EXPECT_EQ(a4.length, 14031u);
  EXPECT_EQ(platform::Utf8ToUtf16(a4.displayName), StringOf(109));
  // The work area's own slot is as it was.
  FreeSizeSlot slot{};
  LstGetFreeSizeSlot(ctx(), 3, &slot);
  EXPECT_STRNE(slot.userName, "Card");

  ASSERT_TRUE(RstReloadFreeSizes(ui_));
  const std::string ini = Read("_velm/qnset.ini");
  for (int n = 0; n < 10; ++n) EXPECT_NE(ini.find("[FreeSize" + std::to_string(n) + lang + "]"), std::string::npos) << n;
  EXPECT_NE(ini.find("wdmFreeSizeWidth=2400"), std::string::npos);
}

}  // namespace
}  // namespace velm::test
