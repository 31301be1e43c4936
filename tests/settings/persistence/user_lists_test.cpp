#include "settings/persistence/user_lists.h"

#include "settings/devmode/item_checks.h"
#include "settings/persistence/profile_wrappers.h"
#include "settings/persistence/paths.h"
#include "settings/persistence/user_lists_fixture.h"

namespace velm::test {
namespace {

std::u16string Key(DWORD (*format)(WCHAR*, DWORD, int, int), int n, int form, DWORD capacity = 64) {
  WCHAR buffer[64] = u"x";
  format(buffer, capacity, n, form);
  return buffer;
}

TEST(UserListsKeysTest, KeysAreFormattedWithinTheirRanges) {
  EXPECT_EQ(Key(LstFormatPresetKey, 0, kPresetKeyPath), u"PresetList0");
  EXPECT_EQ(Key(LstFormatPresetKey, 15, kPresetKeyName), u"PresetList15Name");
  EXPECT_EQ(Key(LstFormatPresetKey, 4, kPresetKeyComment), u"PresetList4Comment");
  EXPECT_EQ(Key(LstFormatPresetKey, 16, kPresetKeyPath), u"");
  EXPECT_EQ(Key(LstFormatPresetKey, -1, kPresetKeyPath), u"");
  EXPECT_EQ(Key(LstFormatPresetKey, 1, 3), u"");
  EXPECT_EQ(Key(LstFormatPresetKey, 12, kPresetKeyName, 16), u"") << "cut short is refused, not cut";
  EXPECT_EQ(Key(LstFormatPresetKey, 12, kPresetKeyName, 17), u"PresetList12Name");
  WCHAR buffer[32];
  EXPECT_EQ(LstFormatQualityKey(buffer, 32, 7, TRUE), 16u);
  EXPECT_EQ(std::u16string(buffer), u"QualityList7Name");
  EXPECT_EQ(LstFormatQualityKey(buffer, 32, 8, FALSE), 0u);
}

TEST(UserListsKeysTest, TheSlotTableAnswersMinusOneForNoSlot) {
  EXPECT_EQ(LstPaperToFreeSizeSlot(389), 5);
  EXPECT_EQ(LstPaperToFreeSizeSlot(256), 9);
  EXPECT_EQ(LstPaperToFreeSizeSlot(384), 0);
  for (DWORD paper : {0u, 9u, 383u, 393u, 1024u}) {
    EXPECT_EQ(LstPaperToFreeSizeSlot(paper), -1) << paper;
    EXPECT_FALSE(LstIsFreeSizePaper(paper)) << paper;
  }
  EXPECT_EQ(LstSlotToPaper(9, 10), 256u);
  EXPECT_EQ(LstSlotToPaper(9, 9), 0u);
  EXPECT_EQ(LstSlotToPaper(0, 10), 384u);
  EXPECT_EQ(LstSlotToPaper(10, 11), 0u);
  EXPECT_EQ(LstSlotToPaper(-1, 10), 0u);
  EXPECT_EQ(OptUserSizeSlotOf(-256), -1);  // the item checks ask the same table
  EXPECT_EQ(OptUserSizeSlotOf(392), 8);
}

// ---- Presets -----------------------------------------------------------------------------------

TEST_F(UserListsTest, APresetRestoresOnlyItsOwnItemsAndBits) {
  Set(109, 2);              // stamp kind: a transfer row
  SetText(121, u"Serif");   // stamp face name
  Set(230, 1);              // a transfer bit of the job-action word
  Set(224, 0);              // a bit of the same word that no preset holds
  Set(7, 1);                // orientation: neither mark
  EXPECT_EQ(LstPresetSlots(context_, u"PresetList4", kPresetSlotsSave), 1);

  Set(109, 3);
  SetText(121, u"Mono");
  Set(230, 0);
  Set(224, 1);
  Set(7, 2);
  EXPECT_EQ(LstPresetSlots(context_, u"PresetList4", kPresetSlotsRestore), 1);
  EXPECT_EQ(Get(109), 2u);
  EXPECT_EQ(Text(121), u"Serif");
  EXPECT_EQ(Get(230), 1u);
  EXPECT_EQ(Get(224), 1u) << "the word's other bits stay";
  EXPECT_EQ(Get(7), 2u);

  for (const char16_t* key : {u"presetlist4", u"PresetList16", u"PresetList04", u" PresetList4", u""})
    EXPECT_EQ(LstPresetSlots(context_, key, kPresetSlotsRestore), 0) << std::string(key, key + 2);
  EXPECT_EQ(LstPresetSlots(context_, nullptr, kPresetSlotsSave), 0);
  EXPECT_EQ(LstPresetSlots(context_, u"PresetList5", kPresetSlotsRestore), 0) << "an empty slot";
  EXPECT_EQ(LstPresetSlots(context_, u"PresetList4", 7), 0);

  EXPECT_EQ(LstPresetSlots(context_, nullptr, kPresetSlotsFree), 1);
  EXPECT_EQ(context_->work->presetSlots[4], nullptr);
  EXPECT_EQ(LstPresetSlots(context_, u"PresetList4", kPresetSlotsRestore), 0);
}

TEST_F(UserListsTest, ThePresetSlotSizeFollowsTheStaticMarksOnly) {
  DWORD bytes = 0;
  const ItemTable* table = OptGetStaticItemTable();
  for (SHORT i = 0; i < table->count; ++i) {
    if (table->rows[i].transfer || table->rows[i].preset) bytes += DescriptorLength(table->rows[i].descriptor);
  }
  EXPECT_EQ(LstPresetSlotBytes(), bytes);
  ASSERT_EQ(LstPresetSlots(context_, u"PresetList0", kPresetSlotsSave), 1);
  // A transfer that marks more rows of the context's copy (even the longest) must not make a
  // later save write past the block sized at the first one.
  Row(context_, 866)->preset = 1;
  Row(context_, 7)->preset = 1;
  Set(7, 2);
  SetText(866, std::u16string(500, u'c'));
  EXPECT_EQ(LstPresetSlots(context_, u"PresetList0", kPresetSlotsSave), 1);
  Set(7, 1);
  EXPECT_EQ(LstPresetSlots(context_, u"PresetList0", kPresetSlotsRestore), 1);
  EXPECT_EQ(Get(7), 1u) << "not a preset item of the static table";
}

// ---- Stamps ------------------------------------------------------------------------------------

TEST_F(UserListsTest, SavingAStampRaisesTheCountPastIt) {
  ASSERT_TRUE(LstSetStampCount(context_, 3));
  LstPresetSlots(context_, u"PresetList2", kPresetSlotsSave);
  Set(109, 1);
  SetText(869, u"DRAFT");
  ASSERT_TRUE(LstSaveStamp(context_, 5));
  EXPECT_EQ(LstGetStampCount(context_), 6u);
  EXPECT_EQ(Get(120), 5u);
  EXPECT_EQ(context_->work->presetSlots[2], nullptr) << "a stamp save frees the preset slots";
  ASSERT_EQ(g_transferCalls.size(), 1u);
  EXPECT_EQ(g_transferCalls[0].section, u"Stamp5us");
  EXPECT_EQ(g_transferCalls[0].flags, kXferGroupStamp | kXferWrite);
  EXPECT_EQ(PrinterName(), u"Velm Printer");

  ASSERT_TRUE(LstSaveStamp(context_, kLstScratchStamp));
  EXPECT_EQ(LstGetStampCount(context_), 6u);
  ASSERT_TRUE(LstSaveStamp(context_, 2));
  EXPECT_EQ(LstGetStampCount(context_), 6u);
  EXPECT_FALSE(LstSaveStamp(context_, 257));

  g_failTransfers = true;
  EXPECT_FALSE(LstSaveStamp(context_, 9));
  EXPECT_EQ(LstGetStampCount(context_), 6u) << "no count for a stamp never written";
  EXPECT_EQ(PrinterName(), u"Velm Printer") << "the printer's name is back after a failed transfer";

  // Reloaded in another context.
  g_failTransfers = false;
  DriverContext* fresh = Fresh();
  EXPECT_TRUE(LstLoadStamp(fresh, 5));
  EXPECT_EQ(Get(109, fresh), 1u);
  EXPECT_EQ(Text(869, fresh), u"DRAFT");
  EXPECT_EQ(Get(120, fresh), 5u);
}

TEST_F(UserListsTest, AStampTextTheCodePageCannotHoldIsRefusedNotChanged) {
  // The stamp's text and its name are ANSI fields (869, 871).
  for (WORD id : {869, 871}) {
    ItemTableRow* row = OptFindItem(context_->itemTable, id);
    ASSERT_TRUE(OptSetString(context_, row, u"Draft"));
    SetLastError(0);
    EXPECT_FALSE(OptSetString(context_, row, u"Draft \u4e2d"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    WCHAR text[40] = {};
    OptGetString(context_, row, text, 40);
    EXPECT_EQ(std::u16string(text), u"Draft") << id;
    EXPECT_TRUE(OptSetString(context_, row, u"Caf\u00e9"));  // in the code page
  }
}

TEST_F(UserListsTest, ADamagedStampCountListsNoMoreThanThereCanBe) {
  const std::u16string ini = PathGetSettingsIni(context_);
  for (auto [text, count] : {std::pair{u"-4", 0u}, {u"99999", 256u}, {u"abc", 0u}, {u"256", 256u}, {u"12", 12u}}) {
    ASSERT_TRUE(IniProfileWriteString(u"us", u"StampCount", text, ini.c_str()));
    EXPECT_EQ(LstGetStampCount(context_), count) << std::string(text, text + 2);
  }
  EXPECT_FALSE(LstSetStampCount(context_, 257));
}

TEST_F(UserListsTest, DeletingAStampMovesTheLaterOnesUp) {
  for (DWORD n = 0; n < 3; ++n) {
    Set(110, n + 10);
    ASSERT_TRUE(LstSaveStamp(context_, n));
  }
  Set(110, 77);
  const std::vector<BYTE> before = Record();
  ASSERT_TRUE(LstDeleteStamp(context_, 1));
  EXPECT_EQ(Record(), before) << "the settings are as they were";
  EXPECT_EQ(LstGetStampCount(context_), 2u);
  ASSERT_TRUE(LstLoadStamp(context_, 1));
  EXPECT_EQ(Get(110), 12u);
  EXPECT_EQ(IniText(context_).find("[Stamp2us]"), std::string::npos);
  EXPECT_FALSE(LstDeleteStamp(context_, 2));
}

// ---- List transfers ----------------------------------------------------------------------------

TEST_F(UserListsTest, NestedListTransfersEachPutBackTheNameTheyFound) {
  static std::vector<std::u16string> seen;
  seen.clear();
  g_duringTransfer = [](DriverContext* c) {
    seen.push_back(c->work->printerName);
    if (seen.size() == 1) {
      LstTransferSection(c, u"Inner", kXferGroupFreeSize | kXferRead);
      seen.push_back(c->work->printerName);
    }
  };
  EXPECT_TRUE(LstTransferSection(context_, u"Outer", kXferGroupFreeSize | kXferWrite));
  EXPECT_EQ(seen, (std::vector<std::u16string>{u"Outer", u"Inner", u"Outer"}));
  EXPECT_EQ(PrinterName(), u"Velm Printer");
  EXPECT_FALSE(LstTransferSection(context_, u"X", kXferGroupFreeSize));  // neither read nor write
  EXPECT_FALSE(LstTransferSection(context_, u"X", kXferGroupFreeSize | kXferRead | kXferWrite));
  EXPECT_FALSE(LstTransferSection(context_, std::u16string(260, u'x').c_str(), kXferGroupFreeSize | kXferRead));
}

// ---- Quality sets ------------------------------------------------------------------------------

TEST_F(UserListsTest, AQualitySetLivesInTheFileItsKeyNames) {
  const std::u16string ini = PathGetSettingsIni(context_);
  const std::u16string file = ini.substr(0, ini.rfind(u'\\')) + u"\\Fine.rsq";
  ASSERT_TRUE(IniProfileWriteString(u"Velm Printer", u"QualityList2", file.c_str(), ini.c_str()));
  WriteHostFile(Ini(context_).parent_path() / "Fine.rsq", "[condition]\r\na=1\r\n");
  Set(183, 1);  // a row of the second transfer set
  SetText(867, u"Fine\r\n[Evil]\r\nKey=1");
  ASSERT_TRUE(LstSaveQuality(context_, 2));
  ASSERT_EQ(g_transferCalls.size(), 1u);
  EXPECT_EQ(g_transferCalls[0].file, file);
  EXPECT_EQ(g_transferCalls[0].flags, kXferGroupQuality | kXferWrite);
  EXPECT_EQ(g_transferCalls[0].section, u"Velm Printer");
  const std::string text = IniText(context_);
  EXPECT_NE(text.find("QualityList2Name=Fine  [Evil]  Key=1\r\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("\n[Evil]"), std::string::npos);
  EXPECT_NE(ReadHostFile(Ini(context_).parent_path() / "Fine.rsq").find("[condition]"), std::string::npos);

  DriverContext* fresh = Fresh();
  EXPECT_TRUE(LstLoadQuality(fresh, 2));
  EXPECT_EQ(Get(183, fresh), 1u);

  g_transferCalls.clear();
  EXPECT_FALSE(LstLoadQuality(fresh, 3)) << "no file listed";
  EXPECT_FALSE(LstLoadQuality(fresh, 8));
  EXPECT_TRUE(g_transferCalls.empty());
  ASSERT_TRUE(IniProfileWriteString(u"Velm Printer", u"QualityList3", u"\\\\server\\q.rsq", ini.c_str()));
  EXPECT_FALSE(LstLoadQuality(fresh, 3)) << "not a drive path";
  const std::u16string longPath = u"C:\\" + std::u16string(MAX_PATH, u'q');
  ASSERT_TRUE(IniProfileWriteString(u"Velm Printer", u"QualityList4", longPath.c_str(), ini.c_str()));
  g_transferCalls.clear();
  EXPECT_FALSE(LstSaveQuality(fresh, 4)) << "a path too long is not cut into another";
  EXPECT_TRUE(g_transferCalls.empty());
}

// ---- After an import ---------------------------------------------------------------------------

TEST_F(UserListsTest, AnImportReDerivesTheLists) {
  // Stored: output free size 2.
  Set(860, 5000);
  Set(861, 7000);
  SetText(859, u"Stored");
  ASSERT_TRUE(LstSaveFreeSize(context_, 2));
  ASSERT_TRUE(LstSetStampCount(context_, 2));
  // Imported: output paper 386 (slot 2), source paper 389 (slot 5) with its free size, stamp 9.
  Set(50, 386);
  Set(8, 389);
  SetText(862, u"Imported");
  Set(863, 1111);
  Set(864, 2222);
  Set(120, 9);
  Set(109, 2);
  LstRederiveAfterImport(context_);

  FreeSizeSlot slot;
  ASSERT_TRUE(LstGetFreeSizeSlot(context_, 2, &slot));
  EXPECT_STREQ(slot.userName, "Stored");
  EXPECT_EQ(slot.width, 5000u);
  ASSERT_TRUE(LstGetFreeSizeSlot(context_, 5, &slot));
  EXPECT_STREQ(slot.userName, "Imported");
  EXPECT_EQ(Text(859), u"Imported");
  EXPECT_EQ(Get(860), 1111u);
  EXPECT_EQ(Get(120), 2u) << "held to the count";
  EXPECT_EQ(LstGetStampCount(context_), 3u);

  DriverContext* fresh = Fresh();
  ASSERT_TRUE(LstLoadFreeSize(fresh, 5));
  EXPECT_EQ(Text(859, fresh), u"Imported");
  EXPECT_EQ(Get(861, fresh), 2222u);
  ASSERT_TRUE(LstLoadStamp(fresh, 2));
  EXPECT_EQ(Get(109, fresh), 2u);
}

}  // namespace
}  // namespace velm::test
