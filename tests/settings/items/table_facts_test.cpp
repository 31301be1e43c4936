// The item table against the facts the model family's description fixes: identifiers, places,
// types, keys and marks. Every expected value here is written out, never taken from the code.
#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "settings/items/table.h"

namespace {

const ItemTable* Table() { return OptGetStaticItemTable(); }

const ItemTableRow& Row(WORD id) {
  const ItemTableRow* row = OptFindItem(Table(), id);
  EXPECT_NE(row, nullptr) << "item " << id;
  static const ItemTableRow kNone{};
  return row ? *row : kNone;
}

std::u16string Wide(const WCHAR* text) { return text ? std::u16string(text) : std::u16string(u"<null>"); }

struct Place {
  WORD id;
  int section;
  int type;
  int length;
  int offset;
};

void ExpectPlace(const Place& p) {
  const ItemTableRow& row = Row(p.id);
  EXPECT_EQ(DescriptorSection(row.descriptor), p.section) << "item " << p.id;
  EXPECT_EQ(DescriptorType(row.descriptor), p.type) << "item " << p.id;
  EXPECT_EQ(DescriptorLength(row.descriptor), p.length) << "item " << p.id;
  EXPECT_EQ(row.offset, p.offset) << "item " << p.id;
}

TEST(ItemTableFactsTest, RowsHoldIdentifiersInOrder) {
  ASSERT_EQ(Table()->count, 1239);
  for (int n = 0; n < 1239; ++n) {
    const int expected = n < 962 ? n + 1 : 10001 + (n - 962);
    ASSERT_EQ(Table()->rows[n].id, expected) << "row " << n;
  }
}

TEST(ItemTableFactsTest, SectionsFollowTheIdentifierRanges) {
  int perSection[4] = {};
  for (int n = 0; n < Table()->count; ++n) {
    const ItemTableRow& row = Table()->rows[n];
    const int id = row.id;
    const int expected = id <= 730 ? 1 : (id >= 907 && id <= 947) || id >= 10001 ? 2 : 3;
    EXPECT_EQ(DescriptorSection(row.descriptor), expected) << "item " << id;
    ++perSection[DescriptorSection(row.descriptor)];
  }
  EXPECT_EQ(perSection[0], 0);
  EXPECT_EQ(perSection[1], 730);
  EXPECT_EQ(perSection[2], 318);
  EXPECT_EQ(perSection[3], 191);
}

TEST(ItemTableFactsTest, PublicRowsSitAtDevmodeOffsets) {
  struct Public {
    WORD id;
    const char16_t* name;
    int type;
    int length;
    int offset;
  };
  const Public rows[] = {
      {1, u"dmDeviceName", 11, 64, 0},      {2, u"dmSpecVersion", 5, 2, 64},     {3, u"dmDriverVersion", 5, 2, 66},
      {4, u"dmSize", 5, 2, 68},             {5, u"dmDriverExtra", 5, 2, 70},     {6, u"dmFields", 6, 4, 72},
      {7, u"dmOrientation", 2, 2, 76},      {8, u"dmPaperSize", 2, 2, 78},       {9, u"dmPaperLength", 2, 2, 80},
      {10, u"dmPaperWidth", 2, 2, 82},      {11, u"dmScale", 2, 2, 84},          {12, u"dmCopies", 2, 2, 86},
      {13, u"dmDefaultSource", 2, 2, 88},   {14, u"dmPrintQuality", 2, 2, 90},   {15, u"dmColor", 2, 2, 92},
      {16, u"dmDuplex", 2, 2, 94},          {17, u"dmYResolution", 2, 2, 96},    {18, u"dmTTOption", 2, 2, 98},
      {19, u"dmCollate", 2, 2, 100},        {20, u"dmFormName", 11, 64, 102},    {21, u"dmLogPixels", 5, 2, 166},
      {22, u"dmBitsPerPel", 6, 4, 168},     {23, u"dmPelsWidth", 6, 4, 172},     {24, u"dmPelsHeight", 6, 4, 176},
      {25, u"dmDisplayFlags", 6, 4, 180},   {26, u"dmDisplayFrequency", 6, 4, 184}, {27, u"dmICMMethod", 6, 4, 188},
      {28, u"dmICMIntent", 6, 4, 192},      {29, u"dmMediaType", 6, 4, 196},     {30, u"dmDitherType", 6, 4, 200},
      {31, u"dmICCManufacturer", 6, 4, 204}, {32, u"dmICCModel", 6, 4, 208},     {33, u"dmPanningWidth", 6, 4, 212},
      {34, u"dmPanningHeight", 6, 4, 216},
  };
  for (const Public& p : rows) {
    ExpectPlace({p.id, 1, p.type, p.length, p.offset});
    EXPECT_EQ(Wide(Row(p.id).name), p.name);
  }
  // Exactly these two rows are wide strings.
  int wide = 0;
  for (int n = 0; n < Table()->count; ++n) wide += DescriptorType(Table()->rows[n].descriptor) == kTypeWide;
  EXPECT_EQ(wide, 2);
}

TEST(ItemTableFactsTest, HeaderAndEnvironmentRows) {
  const Place header[] = {{707, 1, 10, 16, 228}, {708, 1, 10, 16, 244}, {709, 1, 10, 16, 260},
                          {710, 1, 10, 8, 276},  {711, 1, 4, 1, 284},   {712, 1, 10, 32, 285},
                          {713, 1, 10, 32, 317}, {714, 1, 6, 4, 224}};
  for (const Place& p : header) ExpectPlace(p);
  EXPECT_EQ(Wide(Row(707).name), u"vdmIniFileName");
  EXPECT_EQ(Wide(Row(708).name), u"vdmiCDCVerStr");
  EXPECT_EQ(Wide(Row(709).name), u"vdmzvPJLVerStr");
  EXPECT_EQ(Wide(Row(714).name), u"vdmJobBinder");
  EXPECT_EQ(Row(707).code, 5u);

  const char* environment[] = {"vdmCallSrc",     "vdmOSKind",        "vdmBatchInst",    "vdmPrintLog",
                               "vdmBiDirect",    "vdmNoPermission",  "vdmPresentUIMode", "vdmBidiSupport",
                               "vdmServerClientMode", "vdmUserCodeFIX", "vdmUserCodeGet", "vdmJBInstalled",
                               "vdmPropertyType", "vdmUserCodeDLL", "vdmTSE",          "vdmAdmin"};
  for (int k = 0; k < 16; ++k) {
    ExpectPlace({static_cast<WORD>(715 + k), 1, kTypeU8, 1, 1241 + k});
    const ItemSymbolRow* symbol = OptFindSymbolByName((std::string("ZMD_") + environment[k]).c_str());
    ASSERT_NE(symbol, nullptr) << environment[k];
    EXPECT_EQ(symbol->itemId, 715 + k);
  }
}

TEST(ItemTableFactsTest, PrivateRowsWithGivenPlaces) {
  ExpectPlace({35, 1, kTypeU8, 1, 368});
  ExpectPlace({36, 1, kTypeU8, 1, 369});
  ExpectPlace({39, 1, kTypeU8, 1, 372});
  ExpectPlace({41, 1, kTypeS8, 1, 374});
  ExpectPlace({249, 1, kTypeU32, 4, 832});
  EXPECT_EQ(Wide(Row(39).name), u"vdmMachineID");
  EXPECT_EQ(Wide(Row(41).name), u"vdmPresetNo");
  // The sixteen job-action bits of items 224..239 are bytes 752 and 753.
  for (int k = 0; k < 16; ++k) {
    const ItemTableRow& row = Row(static_cast<WORD>(224 + k));
    ASSERT_TRUE(IsBitType(DescriptorType(row.descriptor)));
    EXPECT_EQ(row.offset + BitByteIndex(DescriptorType(row.descriptor)), 752 + k / 8) << "item " << 224 + k;
    EXPECT_EQ(BitMask(DescriptorType(row.descriptor)), 1 << (k % 8)) << "item " << 224 + k;
  }
  // The job-credential strings start at byte 614.
  int first = 10000;
  for (WORD id : {215, 216, 217, 218, 219, 220, 221}) first = std::min<int>(first, Row(id).offset);
  EXPECT_EQ(first, 614);
}

TEST(ItemTableFactsTest, ConfigurationBlockFirstFields) {
  const Place fields[] = {{10001, 2, kTypeU8, 1, 0},  {10002, 2, kTypeU8, 1, 1},   {10003, 2, kTypeAnsi, 9, 2},
                          {10004, 2, kTypeS16, 2, 12}, {10005, 2, kTypeU32, 4, 16}, {10006, 2, kTypeS16, 2, 20},
                          {10007, 2, kTypeU32, 4, 24}, {10008, 2, kTypeS16, 2, 28}, {10009, 2, kTypeU32, 4, 32}};
  for (const Place& p : fields) ExpectPlace(p);
  EXPECT_EQ(DescriptorType(Row(10274).descriptor), kTypeAnsi);
  EXPECT_EQ(DescriptorLength(Row(10274).descriptor), 33);
}

TEST(ItemTableFactsTest, WorkRowsWithGivenWidths) {
  EXPECT_EQ(Wide(Row(859).name), u"wdmFreeSizeName");
  EXPECT_EQ(Wide(Row(865).name), u"wdmPresetName");
  EXPECT_EQ(Wide(Row(866).name), u"wdmPresetComment");
  EXPECT_EQ(DescriptorLength(Row(866).descriptor), 513);
  EXPECT_EQ(Wide(Row(875).name), u"wdmOvlPath");
  EXPECT_EQ(DescriptorLength(Row(875).descriptor), 521);
  EXPECT_EQ(Wide(Row(905).name), u"wdmDriverVersion");
  EXPECT_EQ(DescriptorLength(Row(905).descriptor), 9);
  for (WORD id : {866, 875, 905}) EXPECT_EQ(DescriptorType(Row(id).descriptor), kTypeAnsi);
  // Computed items: one bit each, words at section-3 offsets 0, 4, 8, 12.
  for (int k = 0; k < 128; ++k) {
    const ItemTableRow& row = Row(static_cast<WORD>(731 + k));
    const int type = DescriptorType(row.descriptor);
    ASSERT_TRUE(IsBitType(type)) << "item " << 731 + k;
    EXPECT_EQ(DescriptorSection(row.descriptor), 3);
    EXPECT_EQ(row.offset + BitByteIndex(type), 4 * (k / 32) + (k % 32) / 8) << "item " << 731 + k;
    EXPECT_EQ(BitMask(type), 1 << (k % 8)) << "item " << 731 + k;
  }
}

TEST(ItemTableFactsTest, StorageClassesGroupsAndKeys) {
  struct Keyed {
    WORD id;
    const char16_t* group;  // null: no group
    const char16_t* key;
    SHORT storage;
  };
  const Keyed keyed[] = {
      {222, nullptr, u"PrnMethod", 2},         {224, nullptr, u"ACT_SECUREPRINT", 2},
      {225, nullptr, u"ACT_PROOFPRINT", 2},    {226, nullptr, u"ACT_LOCALSTORAGEPRINT", 2},
      {228, nullptr, u"ACT_FILEMERGEPRINT", 2}, {229, nullptr, u"ACT_REMOTEPRINT", 2},
      {230, nullptr, u"ACT_FORMOVERLAY", 2},   {247, nullptr, u"APIUseFlag", 2},
      {249, nullptr, u"FrontFunc", 2},         {875, nullptr, u"OverlayDataPath", 2},
      {10001, u"PRINTLOG", u"ServerUse", 1},   {10002, u"PRINTLOG", u"UserCodeUse", 1},
      {216, u"PRINTLOG", u"UserCode", 1},      {10273, u"PRINTLOG", u"DllUserCode", 1},
      {10277, u"COVER_MARK", u"MarkTray", 1},  {10274, u"OTHER", u"Other", 1},
  };
  for (const Keyed& k : keyed) {
    const ItemTableRow& row = Row(k.id);
    EXPECT_EQ(row.storage, k.storage) << "item " << k.id;
    EXPECT_EQ(Wide(row.group), k.group ? k.group : u"<null>") << "item " << k.id;
    EXPECT_EQ(Wide(row.keyName), k.key) << "item " << k.id;
  }
  for (int k = 0; k < 9; ++k) {
    const ItemTableRow& row = Row(static_cast<WORD>(907 + k));
    EXPECT_EQ(Wide(row.group), u"BINNAME");
    EXPECT_EQ(Wide(row.keyName), u"Tray" + std::u16string(1, char16_t(u'1' + k)));
    EXPECT_EQ(DescriptorType(row.descriptor), kTypeAnsi);
    EXPECT_EQ(DescriptorLength(row.descriptor), 17);
  }
  int perStorage[3] = {};
  std::set<WORD> iniRows;
  for (int n = 0; n < Table()->count; ++n) {
    const ItemTableRow& row = Table()->rows[n];
    ASSERT_GE(row.storage, 0);
    ASSERT_LE(row.storage, 2);
    ++perStorage[row.storage];
    if (row.storage == 2) iniRows.insert(row.id);
  }
  EXPECT_EQ(iniRows, (std::set<WORD>{222, 224, 225, 226, 228, 229, 230, 247, 249, 875}));
  EXPECT_EQ(perStorage[0], 66);
  EXPECT_EQ(perStorage[1], 1163);
}

TEST(ItemTableFactsTest, CodesAndTransferMarks) {
  const std::set<WORD> coded = {1, 104, 106, 107, 223, 707, 882, 883, 884};
  const std::set<WORD> second = {42,  43,  149, 152, 153, 154, 159, 160, 161, 162, 164, 165, 166,
                                 167, 173, 174, 175, 183, 184, 188, 189, 190, 248, 395, 868};
  int transfer = 0;
  for (int n = 0; n < Table()->count; ++n) {
    const ItemTableRow& row = Table()->rows[n];
    EXPECT_EQ(row.code != 0, coded.count(row.id) == 1) << "item " << row.id;
    EXPECT_EQ(row.transfer2, second.count(row.id) ? 1u : 0u) << "item " << row.id;
    EXPECT_EQ(row.preset, second.count(row.id) ? 1 : 0) << "item " << row.id;
    EXPECT_EQ(row.changed, 0);
    EXPECT_EQ(row.reserved, 0u);
    EXPECT_EQ(row.flags, 0u);
    transfer += row.transfer;
  }
  EXPECT_EQ(Row(1).code, 3u);
  EXPECT_EQ(Row(104).code, 2u);
  EXPECT_EQ(Row(223).code, 1u);
  EXPECT_EQ(Row(882).code, 101u);
  EXPECT_EQ(Row(883).code, 6u);
  EXPECT_EQ(Row(884).code, 7u);
  EXPECT_EQ(transfer, 41);
}

TEST(ItemTableFactsTest, ValueMapsWhereTheyAreGiven) {
  const ItemValueMapRow* orientation = Row(7).valueMap;
  ASSERT_NE(orientation, nullptr);
  EXPECT_EQ(orientation[0].storedValue, 1u);
  EXPECT_EQ(orientation[0].modelValue, 2026);
  EXPECT_EQ(orientation[1].storedValue, 2u);
  EXPECT_EQ(orientation[1].modelValue, 2027);
  EXPECT_EQ(orientation[2].modelValue, 0);  // the end
  for (WORD id : {8, 13, 15}) EXPECT_NE(Row(id).valueMap, nullptr) << "item " << id;
  // The n-up, binding, punch and staple lists have a second list right after the first end.
  for (WORD id : {95, 102, 134, 136}) {
    const ItemValueMapRow* first = Row(id).valueMap;
    ASSERT_NE(first, nullptr) << "item " << id;
    const ItemValueMapRow* end = first;
    while (end->modelValue != 0) ++end;
    EXPECT_EQ(OptGetSecondValueMap(first), end + 1) << "item " << id;
  }
  EXPECT_EQ(OptGetSecondValueMap(orientation), nullptr);
}

TEST(ItemTableFactsTest, ResolutionAndLanguageTables) {
  const CapsResolutionRow expected[] = {{1, 300, 300}, {2, 400, 400}, {3, 600, 600}, {4, 1200, 1200},
                                        {5, 2400, 2400}, {17, 600, 600}, {18, 600, 600}, {0, 0, 0}};
  const CapsResolutionRow* table = CapsGetResolutionTable();
  for (size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(table[i].id, expected[i].id);
    EXPECT_EQ(table[i].xDpi, expected[i].xDpi);
    EXPECT_EQ(table[i].yDpi, expected[i].yDpi);
  }
  struct Lang {
    WORD value, primary, sub, cls;
    const char16_t* code;
  };
  const Lang languages[] = {{0, 0x11, 0, 9, u"jp"}, {1, 0x09, 0, 1, u"us"}, {2, 0x05, 0, 1, u"cz"},
                            {3, 0x06, 0, 1, u"dn"}, {4, 0x07, 0, 1, u"gm"}, {5, 0x0A, 0, 1, u"sp"},
                            {6, 0x0C, 0, 1, u"fr"}, {7, 0x10, 0, 1, u"it"}, {8, 0x0E, 0, 1, u"hn"},
                            {9, 0x13, 0, 1, u"dt"}, {10, 0x14, 0, 1, u"nw"}, {11, 0x15, 0, 1, u"pl"},
                            {12, 0x16, 0, 1, u"pr"}, {13, 0x0B, 0, 1, u"fn"}, {14, 0x1D, 0, 1, u"sw"},
                            {16, 0x04, 2, 9, u"cs"}, {17, 0x04, 1, 9, u"ct"}};
  const ResLanguageRow* rows = ResGetLanguageTable();
  for (size_t i = 0; i < std::size(languages); ++i) {
    EXPECT_EQ(rows[i].value, languages[i].value);
    EXPECT_EQ(rows[i].primaryLanguage, languages[i].primary);
    EXPECT_EQ(rows[i].subLanguage, languages[i].sub);
    EXPECT_EQ(rows[i].languageClass, languages[i].cls);
    EXPECT_EQ(Wide(rows[i].code), languages[i].code);
  }
  EXPECT_EQ(rows[std::size(languages)].value, kLanguageEnd);
  EXPECT_EQ(JcIsSupported(), 1);
}

TEST(ItemTableFactsTest, MessagesAndPages) {
  ASSERT_EQ(OptGetMessageCount(), 36);
  for (int n = 0; n < 36; ++n) EXPECT_EQ(OptGetMessageRow(n)->id, 257 + n);
  const std::pair<const char*, WORD> given[] = {
      {"ZMD_ScaleIllegalMessage", 235},         {"ZMD_SecurityPasswordNullMessage", 10005},
      {"ZMD_StoredOwnerNullMessage", 10007},    {"ZMD_MargeIllegalMessage", 10009},
      {"ZMD_MainteDelMessage", 10016},          {"ZMD_PresetSaveMessage", 10031},
      {"ZMD_UserCodeOnNullMessage", 10036},     {"ZMD_PrintSizeIllegalMessage", 10002},
      {"ZMD_ResolutionSizeOverMessage", 10045}, {"ZMD_MarkMessage", 10047},
      {"ZMD_AddressDelMessage", 10054},         {"ZMD_OverlayStampMessage", 10058}};
  for (size_t k = 0; k < std::size(given); ++k) {
    const MessageRow* row = OptFindMessageByName(given[k].first);
    ASSERT_NE(row, nullptr) << given[k].first;
    EXPECT_EQ(row->id, 257 + 3 * k) << given[k].first;
    EXPECT_EQ(row->stringId, given[k].second) << given[k].first;
  }
  EXPECT_NE(OptFindMessageByName("ZMD_DeviceNotExistMessage"), nullptr);
  EXPECT_NE(OptFindMessageByName("ZMD_PostcardMessage"), nullptr);

  struct PageFact {
    WORD id;
    const char* name;
    DWORD kind;
    DWORD help;
  };
  const PageFact pages[] = {
      {1001, "ZMD_IDD_PRESET", 0x1, 20101},          {1002, "ZMD_IDD_BASIC", 0x11, 22001},
      {1003, "ZMD_IDD_EDIT", 0x11, 22301},           {1004, "ZMD_IDD_FINISH", 0x11, 22701},
      {1005, "ZMD_IDD_OTHERS", 0x11, 22801},         {1006, "ZMD_IDD_PRINTQUALITY", 0x1, 21401},
      {1010, "ZMD_IDD_DIALOG_INIT", 0x5, 20301},     {1011, "ZMD_IDD_DIALOG_OPTION", 0x6, 21001},
      {1009, "ZMD_IDD_TTF", 0x2, 23201},             {1008, "ZMD_IDD_USER_CODE", 0x2, 23301},
      {1015, "ZMD_IDD_DIALOG_PRINTPOST", 0x6, 20801}, {1007, "ZMD_IDD_MAINTENANCE", 0x4, 20201},
      {1012, "ZMD_IDD_DIALOG_ROTATION", 0x4, 20401}, {1013, "ZMD_IDD_DIALOG_UNIT", 0x4, 20501},
      {1014, "ZMD_IDD_DIALOG_SORT", 0x4, 20601},     {1016, "ZMD_IDD_DIALOG_ACTION", 0x4, 20701},
      {1017, "ZMD_IDD_DIALOG_FREESIZE", 0x4, 20901}, {1018, "ZMD_IDD_DIALOG_SCALE", 0x4, 21101},
      {1019, "ZMD_IDD_DIALOG_PRINTTYPE", 0x4, 21201}, {1020, "ZMD_IDD_DIALOG_STATUS", 0x4, 0},
      {1021, "ZMD_IDD_DIALOG_USER_PQC", 0x20, 21601}, {4004, "ZMD_IDD_DIALOG_USER_TTF", 0x20, 21701},
      {1029, "ZMD_IDD_DIALOG_USER_OTHERS", 0x20, 21801}, {1022, "ZMD_IDD_DIALOG_STAMP_CHAR", 0x4, 22401},
      {1023, "ZMD_IDD_DIALOG_STAMP_IMAGE", 0x4, 22501}, {1024, "ZMD_IDD_DIALOG_MARGIN", 0x4, 22601},
      {1030, "ZMD_IDD_DIALOG_COVER", 0x4, 22101},    {1031, "ZMD_IDD_DIALOG_MARK", 0x4, 22201},
      {1034, "ZMD_IDD_DIALOG_REMOTE", 0x4, 23001},   {1035, "ZMD_IDD_DIALOG_ADDRESS", 0x4, 23101},
      {1036, "ZMD_IDD_DIALOG_ICM", 0x4, 0},          {1037, "ZMD_IDD_DIALOG_OVERLAY", 0x4, 23501},
      {1065, "ZMD_IDD_DIALOG_HIDDEN_FUNC", 0x4, 0},  {1032, "ZMD_IDD_DIALOG_SAVE_PRESET", 0x4, 21301},
      {1033, "ZMD_IDD_DIALOG_SAVE_USER", 0x4, 21901}, {1025, "ZMD_IDD_DIALOG_VERSION", 0x4, 0},
      {1026, "ZMD_IDD_DIALOG_USERCODE_CHANGE", 0x4, 0}, {1027, "ZMD_IDD_DIALOG_USERCODE_INPUT", 0x4, 0},
      {1028, "ZMD_IDD_DIALOG_USERCODE_CONFIRMATION", 0x4, 0}, {4005, "ZMD_IDD_DIALOG_PASSWORD_INPUT", 0x4, 0},
      {4006, "ZMD_IDD_DLG_STATUS", 0x4, 0},          {4001, "ZMD_FILEOPEN", 0x100, 0},
      {4002, "ZMD_RSTOPENSAVE", 0x200, 0},           {4003, "ZMD_FILEREFER", 0x400, 0},
      {4007, "ZMD_RPOSAVE", 0x800, 0},               {4008, "ZMD_RPOREFER", 0x1000, 0},
      {4015, "ZMD_IDD_DIALOG_CREATE_MIDFILES", 0x8000, 0}};
  const PageTable* table = OptGetStaticPageTable();
  ASSERT_EQ(table->count, 47);
  for (size_t i = 0; i < std::size(pages); ++i) {
    const PageTemplate& row = table->rows[i];
    EXPECT_EQ(row.id, pages[i].id);
    EXPECT_STREQ(row.name, pages[i].name);
    EXPECT_EQ(row.kind, pages[i].kind) << pages[i].name;
    EXPECT_EQ(row.helpBase, pages[i].help) << pages[i].name;
    // The page's name is the item symbol its key names.
    const ItemSymbolRow* symbol = OptFindSymbolByKey(static_cast<SHORT>(row.symbolKey));
    ASSERT_NE(symbol, nullptr) << pages[i].name;
    EXPECT_STREQ(symbol->name, pages[i].name);
  }
}

// The symbol names the model description uses: "ZMD_" + the item name, keyed like the row.
TEST(ItemTableFactsTest, NamedItemsHaveTheirSymbols) {
  for (int n = 0; n < Table()->count; ++n) {
    const ItemTableRow& row = Table()->rows[n];
    if (!row.name) continue;
    ASSERT_NE(row.key, 0) << "item " << row.id;
    const ItemSymbolRow* symbol = OptFindSymbolByKey(row.key);
    ASSERT_NE(symbol, nullptr) << "item " << row.id;
    EXPECT_EQ(symbol->itemId, row.id);
    const std::u16string name(row.name);
    EXPECT_EQ(std::string(symbol->name), "ZMD_" + std::string(name.begin(), name.end()));
  }
  const ItemSymbolRow* binder = OptFindSymbolByName("ZMD_vdmJobBinder");
  ASSERT_NE(binder, nullptr);
  EXPECT_EQ(binder->itemId, 714);
  const ValueSymbolRow* off = OptFindValueSymbolByName("VDMJOBBINDER_OFF");
  ASSERT_NE(off, nullptr);
  EXPECT_EQ(off->itemId, 714);
  EXPECT_EQ(off->value, 0u);
}

}  // namespace
