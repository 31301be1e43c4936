// The font lists in printer data: the halves of the font table, a table taken whole or not at all,
// seeding from the model description, the default table's names and the change rule.
#include <cstring>

#include "settings/persistence/options_fixture.h"
#include "settings/items/block_handles.h"
#include "settings/context/open_steps.h"
#include "settings/description/access.h"
#include "settings/persistence/font_lists.h"
#include "settings/persistence/printer_data.h"
#include "settings/context/memory.h"

namespace {

constexpr WORD kTableCount = 10004, kTableBlock = 10005;
constexpr WORD kDeviceCount = 10006, kDeviceBlock = 10007;
constexpr WORD kOptionCount = 10008;

// A font table of `count` rows, each byte telling its row and place.
std::string TableRows(int count) {
  std::string rows;
  for (int r = 0; r < count; ++r)
    for (int b = 0; b < 128; ++b) rows += static_cast<char>(r * 128 + b);
  return rows;
}

// Puts `rows` into the context as its font table.
void SetTable(DriverContext* c, const std::string& rows) {
  DWORD handle = 0;
  void* block = SysBlockAlloc(rows.size(), &handle);
  ASSERT_NE(block, nullptr);
  std::memcpy(block, rows.data(), rows.size());
  OptSetValue(c, kTableCount, static_cast<DWORD>(rows.size() / 128));
  OptSetValue(c, kTableBlock, handle);
}

std::string Block(DriverContext* c, WORD countId, WORD handleId, size_t entry) {
  const void* block = SysBlockGet(OptGetValue(c, handleId));
  const size_t count = static_cast<SHORT>(OptGetValue(c, countId));
  return block ? std::string(static_cast<const char*>(block), count * entry) : std::string();
}

TEST_F(OptionPersistenceTest, AFontTableIsStoredAsHalvesBetweenItsCounts) {
  DriverContext* c = Context(printer_);
  const std::string rows = TableRows(3);
  SetTable(c, rows);
  ASSERT_TRUE(CfgSaveFontTables(printer_, c, 0));
  EXPECT_EQ(Data(u"FontTableNum").bytes, Le(3, 2));
  EXPECT_EQ(Data(u"LastFontTableNum").bytes, Le(3, 2));
  EXPECT_EQ(Data(u"TTFontTable1").bytes, rows.substr(0, 64));
  EXPECT_EQ(Data(u"DevFontTable1").bytes, rows.substr(64, 64));
  EXPECT_EQ(Data(u"TTFontTable3").bytes, rows.substr(256, 64));
  EXPECT_EQ(Data(u"DevFontTable3").bytes, rows.substr(320, 64));
  EXPECT_EQ(Data(u"TTFontTable4").error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  DriverContext* fresh = Context(printer_);
  ASSERT_TRUE(CfgLoadFontLists(printer_, fresh));
  EXPECT_EQ(Block(fresh, kTableCount, kTableBlock, 128), rows);

  DeleteData(u"DevFontTable2");
  EXPECT_FALSE(CfgLoadFontLists(printer_, fresh));
  EXPECT_EQ(OptGetValue(fresh, kTableCount), 0u);
  EXPECT_EQ(OptGetValue(fresh, kTableBlock), 0u);
  LONG count = -1;
  DWORD handle = 1;
  EXPECT_FALSE(CfgReadFontTables(printer_, 0, &count, &handle));
  EXPECT_EQ(count, 0);
  EXPECT_EQ(handle, 0u);
}

TEST_F(OptionPersistenceTest, AShorterTableDeletesTheRowsTheOldCountsReached) {
  const std::string rows = TableRows(3);
  const BYTE* bytes = reinterpret_cast<const BYTE*>(rows.data());
  for (DWORD flags : {DWORD{0}, kFontDefaultTable}) {
    const std::u16string trueType = flags ? u"TTFontDefTable" : u"TTFontTable";
    const std::u16string device = flags ? u"DevFontDefTable" : u"DevFontTable";
    ASSERT_TRUE(CfgWriteFontTables(printer_, bytes, 3, flags));
    ASSERT_TRUE(CfgWriteFontTables(printer_, bytes, 1, flags));
    EXPECT_EQ(Data(trueType + u"1").bytes, rows.substr(0, 64));
    for (const std::u16string& gone : {trueType + u"2", device + u"2", trueType + u"3", device + u"3"}) {
      EXPECT_EQ(Data(gone).error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    }
    // Only a "LastFontTableNum" of an interrupted save still reaches row 3.
    ASSERT_TRUE(CfgWriteFontTables(printer_, bytes, 3, flags));
    if (!flags) {
      ASSERT_TRUE(PrnSetDataBinary(printer_, u"FontTableNum", "\x01\x00", 2));
    }
    ASSERT_TRUE(CfgWriteFontTables(printer_, bytes, 0, flags));
    EXPECT_EQ(Data(device + u"3").error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  }
}

TEST_F(OptionPersistenceTest, TheDefaultTableHasNamesOfItsOwn) {
  const std::string rows = TableRows(2);
  ASSERT_TRUE(CfgWriteFontTables(printer_, reinterpret_cast<const BYTE*>(rows.data()), 2, kFontDefaultTable));
  EXPECT_EQ(Data(u"DefFontTableNum").bytes, Le(2, 2));
  EXPECT_EQ(Data(u"TTFontDefTable2").bytes, rows.substr(128, 64));
  EXPECT_EQ(Data(u"DevFontDefTable2").bytes, rows.substr(192, 64));
  EXPECT_EQ(Data(u"FontTableNum").error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  LONG count = 0;
  DWORD handle = 0;
  ASSERT_TRUE(CfgReadFontTables(printer_, kFontDefaultTable, &count, &handle));
  EXPECT_EQ(count, 2);
  EXPECT_EQ(std::memcmp(SysBlockGet(handle), rows.data(), rows.size()), 0);
  SysBlockFree(handle);

  // An empty table is its counts alone.
  ASSERT_TRUE(CfgWriteFontTables(printer_, nullptr, 0, 0));
  EXPECT_EQ(Data(u"FontTableNum").bytes, Le(0, 2));
  EXPECT_EQ(Data(u"TTFontTable1").error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(OptionPersistenceTest, APrinterWithoutListsIsSeededFromTheModel) {
  DriverContext* c = Context(printer_);
  DWORD modelCount = 0;
  DescFontRow* model = DescGetDeviceFonts(c, &modelCount);
  ASSERT_NE(model, nullptr) << "the shipped description lists device fonts";
  ASSERT_TRUE(CfgLoadFontLists(printer_, c));
  EXPECT_EQ(Data(u"DeviceFontNum").bytes, Le(modelCount, 2));
  ASSERT_EQ(OptGetValue(c, kDeviceCount), modelCount);
  const std::string block = Block(c, kDeviceCount, kDeviceBlock, kDeviceFontBytes);
  EXPECT_EQ(block, Data(u"DeviceFont").bytes);
  // Each record: the number, then 32 UTF-16 units of name.
  EXPECT_EQ(DmLoadU32(reinterpret_cast<const BYTE*>(block.data()), 0), model[0].number);
  EXPECT_EQ(DmLoadU16(reinterpret_cast<const BYTE*>(block.data()), 4), model[0].name[0]);
  SysFree(model);
  EXPECT_NE(Data(u"OptionFontNum").error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_GT(OptGetValue(c, kTableCount), 0u);  // the FontTbl record's pairs
  EXPECT_EQ(Data(u"LastFontTableNum").bytes, Le(OptGetValue(c, kTableCount), 2));
}

TEST_F(OptionPersistenceTest, ASeedThatCannotBeWrittenLeavesTheListsEmpty) {
  HANDLE user = Open(u"Velm Printer", PRINTER_ACCESS_USE);
  DriverContext* c = Context(user);
  EXPECT_TRUE(CfgLoadFontLists(user, c));
  EXPECT_EQ(OptGetValue(c, kDeviceCount), 0u);
  EXPECT_EQ(OptGetValue(c, kOptionCount), 0u);
  EXPECT_EQ(OptGetValue(c, kTableCount), 0u);
  EXPECT_EQ(Data(u"DeviceFontNum").error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(OptionPersistenceTest, OnlyChangedListsAreWrittenWhenAskedOnAnOrdinaryContext) {
  DriverContext* c = Context(printer_, kKindOrdinary);  // seeds and snapshots the lists
  DeleteData(u"DeviceFont");
  ASSERT_TRUE(CfgSaveDeviceFonts(printer_, c, kFontOnlyWhenChanged));
  EXPECT_EQ(Data(u"DeviceFont").error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  // One byte of the record's block changed.
  static_cast<BYTE*>(SysBlockGet(OptGetValue(c, kDeviceBlock)))[5] ^= 1;
  ASSERT_TRUE(CfgSaveDeviceFonts(printer_, c, kFontOnlyWhenChanged));
  EXPECT_EQ(Data(u"DeviceFont").bytes, Block(c, kDeviceCount, kDeviceBlock, kDeviceFontBytes));
}

TEST_F(OptionPersistenceTest, FreeingTheBlobsClearsTheItems) {
  DriverContext* c = Context(printer_);
  const DWORD before = SysBlockCount();
  ASSERT_TRUE(CfgLoadFontLists(printer_, c));
  EXPECT_EQ(SysBlockCount(), before + 3);
  ASSERT_TRUE(CfgLoadFontLists(printer_, c));  // a reload frees what it replaces
  EXPECT_EQ(SysBlockCount(), before + 3);
  CfgFreeFontBlobs(c);
  EXPECT_EQ(SysBlockCount(), before);
  for (WORD id = 10004; id <= 10009; ++id) EXPECT_EQ(OptGetValue(c, id), 0u) << id;
}

}  // namespace
