// The font substitution table: a shorter table saved over a longer one, the default table's reset
// and install, set and cancel, and the substitute of a face.
#include <cstring>
#include <string>

#include "data/item_ids.h"
#include "settings/items/block_handles.h"
#include "settings/persistence/font_lists.h"
#include "ui2k/entry/entry_fixture.h"
#include "ui2k/store/font_substitution.h"

namespace velm::test {
namespace {

// One 64-byte half holding `name` (at most 32 units, unterminated when it has 32).
std::string Half(const std::u16string& name) {
  std::string half(64, '\0');
  std::memcpy(half.data(), name.data(), std::min<size_t>(name.size(), 32) * 2);
  return half;
}
std::string Row(const std::u16string& face, const std::u16string& device) { return Half(face) + Half(device); }

class FontSubTest : public UiContextTest {
 protected:
  // The value `name` of the printer's data, or "<none>".
  std::string Value(const std::u16string& name) {
    std::string bytes(256, '\0');
    DWORD type = 0, needed = 0;
    if (GetPrinterDataW(printer_, const_cast<LPWSTR>(name.c_str()), &type, reinterpret_cast<BYTE*>(bytes.data()),
                        static_cast<DWORD>(bytes.size()), &needed) != ERROR_SUCCESS)
      return "<none>";
    return bytes.substr(0, needed);
  }
  void SetValue(const std::u16string& name, const std::string& bytes) {
    ASSERT_EQ(SetPrinterDataW(printer_, const_cast<LPWSTR>(name.c_str()), REG_BINARY,
                              reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data())), static_cast<DWORD>(bytes.size())),
              static_cast<DWORD>(ERROR_SUCCESS));
  }
  void DeleteValue(const std::u16string& name) { DeletePrinterDataW(printer_, const_cast<LPWSTR>(name.c_str())); }
  static std::string Table(UiContext* ui) {
    const LONG count = static_cast<SHORT>(OptGetValue(ui->driver, kItemFontTableNum));
    const void* block = SysBlockGet(OptGetValue(ui->driver, kItemFontTable));
    return block && count > 0 ? std::string(static_cast<const char*>(block), count * 128) : std::string();
  }
  static std::u16string Substitute(UiContext* ui, const std::u16string& face) {
    WCHAR out[40] = {};
    FontSubFindSubstitute(ui, face.c_str(), out, 40);
    return out;
  }
  static std::u16string FaceName(UiContext* ui, LONG index) {
    WCHAR out[40] = {u'x'};
    FontSubGetFaceName(ui, index, out, 40);
    return out;
  }
};

TEST_F(FontSubTest, AShorterTableDeletesTheRowsPastItAndReloadsWhole) {
  const std::string three = Row(u"Arial", u"Helvetica") + Row(u"Times", u"Roman") + Row(u"Courier New", u"Courier");
  ASSERT_TRUE(FontSubSetTable(ui_, reinterpret_cast<const BYTE*>(three.data()), 3));
  ASSERT_TRUE(FontSubWriteTableValues(ui_, 0));
  EXPECT_EQ(Value(u"DevFontTable3"), Half(u"Courier"));
  const std::string two = three.substr(0, 256);
  ASSERT_TRUE(FontSubSetTable(ui_, reinterpret_cast<const BYTE*>(two.data()), 2));
  ASSERT_TRUE(FontSubWriteTableValues(ui_, 0));
  EXPECT_EQ(Value(u"FontTableNum"), std::string("\x02\x00", 2));
  EXPECT_EQ(Value(u"LastFontTableNum"), std::string("\x02\x00", 2));
  EXPECT_EQ(Value(u"TTFontTable3"), "<none>");
  EXPECT_EQ(Value(u"DevFontTable3"), "<none>");
  EXPECT_EQ(Value(u"TTFontTable2"), Half(u"Times"));

  UiContext* fresh = NewContext();
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(Table(fresh), two);
  UiDestroyContext(fresh);
}

TEST_F(FontSubTest, TheDefaultFormWritesItsOwnNamesAndIsInstalledOnlyOnce) {
  DeleteValue(u"DefFontTableNum");
  const std::string one = Row(u"Arial", u"Helvetica");
  ASSERT_TRUE(FontSubSetTable(ui_, reinterpret_cast<const BYTE*>(one.data()), 1));
  ASSERT_TRUE(FontSubInstallDefaultTable(ui_));
  EXPECT_EQ(Value(u"DefFontTableNum"), std::string("\x01\x00", 2));
  EXPECT_EQ(Value(u"TTFontDefTable1"), Half(u"Arial"));
  const std::string other = Row(u"Times", u"Roman");
  ASSERT_TRUE(FontSubSetTable(ui_, reinterpret_cast<const BYTE*>(other.data()), 1));
  ASSERT_TRUE(FontSubInstallDefaultTable(ui_));
  EXPECT_EQ(Value(u"TTFontDefTable1"), Half(u"Arial"));
}

struct ResetCase {
  const char* name;
  const char* count;  // "DefFontTableNum", or null for none
  bool dropHalf;      // "DevFontDefTable2" missing
  BOOL result;
  int rows;
};

class FontSubResetTest : public FontSubTest, public ::testing::WithParamInterface<ResetCase> {};

TEST_P(FontSubResetTest, TakesTheDefaultTableWholeOrLeavesItEmpty) {
  const ResetCase& c = GetParam();
  const std::string rows = Row(u"Arial", u"Helvetica") + Row(u"Times", u"Roman");
  ASSERT_TRUE(CfgWriteFontTables(printer_, reinterpret_cast<const BYTE*>(rows.data()), 2, kFontDefaultTable));
  if (c.count) SetValue(u"DefFontTableNum", std::string(c.count, 2));
  else DeleteValue(u"DefFontTableNum");
  if (c.dropHalf) DeleteValue(u"DevFontDefTable2");
  const std::string current = Row(u"Old", u"Older");
  ASSERT_TRUE(FontSubSetTable(ui_, reinterpret_cast<const BYTE*>(current.data()), 1));
  const DWORD blocks = SysBlockCount();
  EXPECT_EQ(FontSubResetDefaultTable(ui_), c.result);
  EXPECT_EQ(Table(ui_), rows.substr(0, c.rows * 128));
  EXPECT_EQ(SysBlockCount(), blocks - 1 + (c.rows > 0 ? 1 : 0));  // the old table was freed
}

INSTANTIATE_TEST_SUITE_P(Cases, FontSubResetTest,
                         ::testing::Values(ResetCase{"missing", nullptr, false, TRUE, 0},
                                           ResetCase{"zero", "\x00\x00", false, TRUE, 0},
                                           ResetCase{"whole", "\x02\x00", false, TRUE, 2},
                                           ResetCase{"halfMissing", "\x02\x00", true, FALSE, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FontSubTest, CancelPutsBackACopyOfTheTableBeforeTheFirstChange) {
  const std::string original = Row(u"Arial", u"Helvetica");
  ASSERT_TRUE(FontSubSetTable(ui_, reinterpret_cast<const BYTE*>(original.data()), 1));
  FontSubDropKeptTable(ui_);  // the table in force before the page opened

  const std::string first = Row(u"Times", u"Roman") + Row(u"Symbol", u"Symbol");
  const std::string second = Row(u"Courier New", u"Courier");
  ASSERT_TRUE(FontSubSetTable(ui_, reinterpret_cast<const BYTE*>(first.data()), 2));
  ASSERT_TRUE(FontSubSetTable(ui_, reinterpret_cast<const BYTE*>(second.data()), 1));  // frees `first`'s block
  EXPECT_EQ(Table(ui_), second);
  FontSubRestoreTable(ui_);
  EXPECT_EQ(Table(ui_), original);
  FontSubRestoreTable(ui_);  // nothing kept any more
  EXPECT_EQ(Table(ui_), original);
}

TEST_F(FontSubTest, AFaceMapsToItsRowElseToTheFirstDeviceFont) {
  ASSERT_GT(FontSubGetFaceCount(ui_), 0);
  const std::u16string first = FaceName(ui_, 0);
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(FaceName(ui_, FontSubGetFaceCount(ui_)), u"");
  EXPECT_EQ(FaceName(ui_, -1), u"");

  const std::u16string longFace = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdef";  // 32 units, no terminator in the row
  const std::string rows = Row(u"Arial", u"Helvetica") + Row(longFace, u"Courier") + Row(u"Arial", u"Second");
  ASSERT_TRUE(FontSubSetTable(ui_, reinterpret_cast<const BYTE*>(rows.data()), 3));
  EXPECT_EQ(Substitute(ui_, u"Arial"), u"Helvetica");
  EXPECT_EQ(Substitute(ui_, longFace), u"Courier");
  EXPECT_EQ(Substitute(ui_, longFace + u"g"), first);
  EXPECT_EQ(Substitute(ui_, longFace.substr(0, 31)), first);
  EXPECT_EQ(Substitute(ui_, u"Aria"), first);
  EXPECT_EQ(Substitute(ui_, u"Wingdings"), first);
}

}  // namespace
}  // namespace velm::test
