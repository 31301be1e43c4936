// Lookups over the item, symbol, page and message tables, and the table's own consistency.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "settings/items/table.h"

namespace {

const ItemTable* Table() { return OptGetStaticItemTable(); }

// A context's own copy of the item table.
struct TableCopy {
  std::vector<ItemTableRow> rows;
  ItemTable table{};
  TableCopy() : rows(Table()->rows, Table()->rows + Table()->count) {
    table = {static_cast<SHORT>(rows.size()), rows.data()};
  }
};

TEST(ItemLookupTest, FindItemAcrossTheIdentifierRanges) {
  EXPECT_EQ(OptFindItem(Table(), 0), nullptr);
  EXPECT_EQ(OptFindItem(static_cast<const ItemTable*>(nullptr), 7), nullptr);
  for (WORD id = 1; id <= 962; ++id) {
    const ItemTableRow* row = OptFindItem(Table(), id);
    ASSERT_NE(row, nullptr) << id;
    ASSERT_EQ(row->id, id);
  }
  const ItemTableRow* last = OptFindItem(Table(), 962);
  EXPECT_EQ(DescriptorSection(last->descriptor), 3);
  // 963..1239 are row indices of the configuration rows, not identifiers.
  for (WORD id : {963, 964, 1000, 1238, 1239, 1240, 5000, 9999, 10000, 10278, 65535}) {
    EXPECT_EQ(OptFindItem(Table(), id), nullptr) << id;
  }
  for (WORD id = 10001; id <= 10277; ++id) {
    const ItemTableRow* row = OptFindItem(Table(), id);
    ASSERT_NE(row, nullptr) << id;
    ASSERT_EQ(row->id, id);
  }
  EXPECT_EQ(OptFindItem(Table(), 10001), &Table()->rows[962]);
  EXPECT_EQ(OptFindItem(Table(), 10277), &Table()->rows[1238]);
}

TEST(ItemLookupTest, FindItemInAContextCopy) {
  TableCopy copy;
  ItemTableRow* row = OptFindItem(&copy.table, 10150);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row, &copy.rows[962 + 149]);
  row->changed = 1;  // the copy is the context's to mark
  EXPECT_EQ(OptFindItem(&copy.table, 10150)->changed, 1);
  EXPECT_EQ(Table()->rows[962 + 149].changed, 0);
  // A miss ends with the search: a row moved out of its place (so that only a scan of every row
  // would reach it) is not found, while the rows the index and the search reach still are.
  std::swap(copy.rows[10], copy.rows[1100]);
  EXPECT_EQ(OptFindItem(&copy.table, 11), nullptr);
  EXPECT_EQ(OptFindItem(&copy.table, 12)->id, 12);
  EXPECT_EQ(OptFindItem(&copy.table, 10277)->id, 10277);
  // A shorter table never reads past its count.
  ItemTable head = {5, copy.rows.data()};
  EXPECT_EQ(OptFindItem(&head, 6), nullptr);
  EXPECT_EQ(OptFindItem(&head, 10001), nullptr);
}

TEST(ItemLookupTest, FindItemByKey) {
  EXPECT_EQ(OptFindItemByKey(Table(), 0), nullptr);
  const ItemTableRow* binder = OptFindItemByKey(Table(), 714);
  ASSERT_NE(binder, nullptr);
  EXPECT_EQ(binder->id, 714);
  // No row carries the key, but its symbol row names the item.
  TableCopy copy;
  OptFindItem(&copy.table, 7)->key = 0;
  const ItemTableRow* orientation = OptFindItemByKey(&copy.table, 7);
  ASSERT_NE(orientation, nullptr);
  EXPECT_EQ(orientation->id, 7);
  // A symbol row of a page names no item; a key with neither row nor symbol finds nothing.
  ASSERT_NE(OptFindSymbolByKey(1002), nullptr);
  EXPECT_EQ(OptFindItemByKey(Table(), 1002), nullptr);
  EXPECT_EQ(OptFindItemByKey(Table(), 30000), nullptr);
  EXPECT_EQ(OptFindItemByKey(Table(), -1), nullptr);
}

TEST(ItemLookupTest, NamesAndSymbols) {
  EXPECT_EQ(std::u16string(OptGetItemName(Table(), 7)), u"dmOrientation");
  EXPECT_EQ(OptGetItemName(Table(), 711), nullptr);
  EXPECT_EQ(OptGetItemName(Table(), 5000), nullptr);
  EXPECT_EQ(OptFindSymbolByName(nullptr), nullptr);
  EXPECT_EQ(OptFindSymbolByName("ZMD_vdmjobbinder"), nullptr);  // exact, not folded
  EXPECT_EQ(OptFindSymbolByName("ZMD_"), nullptr);
  EXPECT_EQ(OptFindSymbolByKey(0), nullptr);
  const ItemSymbolRow* orient = OptFindSymbolByName("ZMD_PrintPaperOrient");
  ASSERT_NE(orient, nullptr);
  EXPECT_EQ(orient->itemId, 827);
  EXPECT_EQ(OptFindValueSymbol(0, 0), nullptr);
  EXPECT_EQ(OptFindValueSymbol(714, 99), nullptr);
  EXPECT_EQ(OptFindValueSymbolByName(nullptr), nullptr);
  EXPECT_STREQ(OptFindValueSymbol(714, 1)->name, "VDMJOBBINDER_PASSTHROUGH");
}

TEST(ItemLookupTest, ValueMapWalks) {
  const ItemValueMapRow* papers = OptFindItem(Table(), 8)->valueMap;
  DWORD out = 12345;
  // Paper 0 is listed without a model value: it counts as unmapped and passes through.
  EXPECT_FALSE(OptMapToModelValue(papers, 0, &out));
  EXPECT_EQ(out, 12345u);
  EXPECT_FALSE(OptMapToModelValue(papers, 999, &out));  // absent from the map
  EXPECT_TRUE(OptMapToModelValue(papers, 9, &out));
  EXPECT_TRUE(OptMapToStoredValue(papers, out, &out));
  EXPECT_EQ(out, 9u);
  EXPECT_FALSE(OptMapToStoredValue(papers, kNoModelValue, &out));
  EXPECT_FALSE(OptMapToStoredValue(papers, 0, &out));
  EXPECT_FALSE(OptMapToModelValue(nullptr, 1, &out));
  // The second list of the binding gives other model values for the same stored values.
  const ItemValueMapRow* first = OptFindItem(Table(), 102)->valueMap;
  DWORD portrait = 0, landscape = 0;
  ASSERT_TRUE(OptMapToModelValue(first, 1, &portrait));
  ASSERT_TRUE(OptMapToModelValue(OptGetSecondValueMap(first), 1, &landscape));
  EXPECT_NE(portrait, landscape);
  EXPECT_EQ(OptSelectValueMap(first, true), OptGetSecondValueMap(first));
  EXPECT_EQ(OptSelectValueMap(first, false), first);
  // A map without a second list keeps its first, whatever follows it in memory.
  const ItemValueMapRow* orientation = OptFindItem(Table(), 7)->valueMap;
  EXPECT_EQ(OptSelectValueMap(orientation, true), orientation);
  EXPECT_EQ(OptSelectValueMap(nullptr, true), nullptr);
}

// The value space of the model description: a value symbol stands for its model value, and an
// item read by a Judge gives its stored value through the item's value map. On a mapped item
// the two agree exactly when the stored value is the symbol's.
TEST(ItemLookupTest, JudgeOnAMappedItemComparesModelValues) {
  const ItemSymbolRow* item = OptFindSymbolByName("ZMD_dmOrientation");
  const ValueSymbolRow* landscape = OptFindValueSymbolByName("DMORIENTATION_LANDSCAPE");
  const ValueSymbolRow* portrait = OptFindValueSymbolByName("DMORIENTATION_PORTRAIT");
  ASSERT_NE(item, nullptr);
  ASSERT_NE(landscape, nullptr);
  ASSERT_NE(portrait, nullptr);
  EXPECT_EQ(landscape->value, 2u);
  EXPECT_EQ(landscape->modelValue, 2027u);
  EXPECT_EQ(portrait->modelValue, 2026u);
  const ItemTableRow* row = OptFindItem(Table(), static_cast<WORD>(item->itemId));
  auto judgeEquals = [&](DWORD stored, const ValueSymbolRow* constant) {
    DWORD pushed = stored;
    OptMapToModelValue(row->valueMap, stored, &pushed);
    return pushed == constant->modelValue;
  };
  EXPECT_TRUE(judgeEquals(2, landscape));
  EXPECT_FALSE(judgeEquals(1, landscape));
  EXPECT_TRUE(judgeEquals(1, portrait));
  EXPECT_FALSE(judgeEquals(2, portrait));
}

// Every value symbol of a mapped item agrees with the item's map, and every other one carries
// its stored value as its model value.
TEST(ItemLookupTest, ValueSymbolsAgreeWithValueMaps) {
  int count = 0;
  const ValueSymbolRow* symbols = OptGetValueSymbols(&count);
  ASSERT_GT(count, 0);
  for (int i = 0; i < count; ++i) {
    const ValueSymbolRow& s = symbols[i];
    const ItemTableRow* row = OptFindItem(Table(), static_cast<WORD>(s.itemId));
    ASSERT_NE(row, nullptr) << s.name;
    EXPECT_EQ(s.key, row->key) << s.name;
    if (!row->valueMap) {
      EXPECT_EQ(s.modelValue, s.value) << s.name;
      continue;
    }
    DWORD model = 0;
    const bool inFirst = OptMapToModelValue(row->valueMap, s.value, &model) && model == s.modelValue;
    const bool inSecond = OptMapToModelValue(OptGetSecondValueMap(row->valueMap), s.value, &model) &&
                          model == s.modelValue;
    EXPECT_TRUE(inFirst || inSecond) << s.name;
    EXPECT_EQ(OptFindValueSymbolByModel(static_cast<WORD>(s.itemId), s.modelValue), &s) << s.name;
  }
}

TEST(ItemLookupTest, PagesAndControlRows) {
  const PageTable* pages = OptGetStaticPageTable();
  const PageTemplate* basic = OptFindPage(pages, 1002);
  ASSERT_NE(basic, nullptr);
  EXPECT_STREQ(basic->name, "ZMD_IDD_BASIC");
  EXPECT_EQ(OptFindPage(pages, 999), nullptr);
  EXPECT_EQ(OptFindPageByName(nullptr, "ZMD_IDD_EDIT")->id, 1003);
  EXPECT_EQ(OptFindPageByName(pages, "ZMD_IDD_NONE"), nullptr);
  EXPECT_EQ(OptFindPageByName(pages, nullptr), nullptr);
  // The static pages carry the rows of their sources: the basic page begins with its saved-settings
  // combo, and the saved-settings icon list stands on the preset page.
  ASSERT_NE(OptGetPageItem(basic, 0), nullptr);
  EXPECT_EQ(OptGetPageItem(basic, 0)->controlId, 2036);
  EXPECT_EQ(OptGetPageItem(basic, 0)->itemId, 41);
  EXPECT_EQ(OptGetPageItem(basic, 50), nullptr);
  ASSERT_NE(OptFindPageItem(pages, nullptr, 2001), nullptr);
  EXPECT_EQ(OptFindPageItem(pages, nullptr, 2001)->controlType, 0x32);

  // A context's copy with bound rows.
  std::vector<PageTemplate> rows(pages->rows, pages->rows + pages->count);
  PageItemTemplate preset[2] = {};
  preset[0].itemId = 41;
  preset[0].controlId = 2001;
  preset[1].itemId = 7;
  preset[1].controlId = 2010;
  PageItemTemplate edit[1] = {};
  edit[0].itemId = 63;
  edit[0].controlId = 2010;
  rows[0].items = preset;
  rows[0].itemCount = 2;
  rows[2].items = edit;
  rows[2].itemCount = 1;
  PageTable copy = {static_cast<SHORT>(rows.size()), rows.data()};
  EXPECT_EQ(OptGetPageItem(&rows[0], 1), &preset[1]);
  EXPECT_EQ(OptGetPageItem(&rows[0], 2), nullptr);
  EXPECT_EQ(OptFindPageItem(&copy, &rows[2], 2010), &edit[0]);
  EXPECT_EQ(OptFindPageItem(&copy, nullptr, 2010), &preset[1]);  // first page in table order
  EXPECT_EQ(OptFindPageItem(&copy, &rows[2], 2001), nullptr);
  EXPECT_EQ(OptFindPage(&copy, 1003), &rows[2]);
}

TEST(ItemLookupTest, Messages) {
  EXPECT_EQ(OptGetMessageRow(-1), nullptr);
  EXPECT_EQ(OptGetMessageRow(OptGetMessageCount()), nullptr);
  EXPECT_EQ(OptFindMessageByName(nullptr), nullptr);
  EXPECT_EQ(OptFindMessageByName("ZMD_NoSuchMessage"), nullptr);
  const MessageRow* scale = OptFindMessageByName("ZMD_ScaleIllegalMessage");
  ASSERT_NE(scale, nullptr);
  EXPECT_EQ(scale, OptGetMessageRow(0));
}

// The compiled table, checked on its own: every field inside its section, no two fields on one
// byte, no two bit items on one bit, bits inside the word they name.
TEST(ItemLookupTest, CompiledLayoutHasNoOverlaps) {
  const int sizes[4] = {0, 1260, 508, 2040};
  std::vector<int> bytes[4], bits[4];
  for (int s = 1; s <= 3; ++s) {
    bytes[s].assign(sizes[s], 0);
    bits[s].assign(sizes[s] * 8, 0);
  }
  for (int n = 0; n < Table()->count; ++n) {
    const ItemTableRow& row = Table()->rows[n];
    const int section = DescriptorSection(row.descriptor);
    const int type = DescriptorType(row.descriptor);
    const int length = DescriptorLength(row.descriptor);
    ASSERT_GE(section, 1) << row.id;
    ASSERT_LE(row.offset + length, sizes[section]) << row.id;
    if (IsBitType(type)) {
      ASSERT_LT(BitByteIndex(type), length) << row.id;
      const int byte = row.offset + BitByteIndex(type);
      const int bit = byte * 8 + (type - kTypeFirstBit) % 8;
      EXPECT_LE(bytes[section][byte], 0) << "item " << row.id << " shares byte " << byte;
      EXPECT_EQ(bits[section][bit], 0) << "item " << row.id << " shares a bit with " << bits[section][bit];
      bits[section][bit] = row.id;
      bytes[section][byte] = -1;
      continue;
    }
    for (int b = row.offset; b < row.offset + length; ++b) {
      EXPECT_EQ(bytes[section][b], 0) << "item " << row.id << " overlaps at byte " << b;
      bytes[section][b] = row.id;
    }
  }
  // Nothing on the header's own bytes, the variant byte or the state flags.
  for (int b : {220, 221, 222, 223, 349, 353, 357, 361, 363, 365, 857, 858, 859, 860, 861}) {
    EXPECT_EQ(bytes[1][b], 0) << "byte " << b;
  }
}

}  // namespace

namespace {

// The generated name order holds every named row once, in name order, with rows of one name in
// table order, as a lookup by binary search needs.
template <class Row>
void ExpectNameOrder(const Row* rows, int count, const int* order, int ordered) {
  std::vector<int> named;
  for (int i = 0; i < count; ++i)
    if (rows[i].name && rows[i].name[0]) named.push_back(i);
  std::vector<int> listed(order, order + ordered);
  std::vector<int> sorted = listed;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, named);
  for (int i = 1; i < ordered; ++i) {
    const std::string_view before(rows[order[i - 1]].name), after(rows[order[i]].name);
    ASSERT_TRUE(before < after || (before == after && order[i - 1] < order[i])) << before << " " << after;
  }
}

TEST(SymbolLookupTest, TheNameOrdersCoverEveryNamedRowInOrder) {
  int count = 0, ordered = 0;
  const ItemSymbolRow* items = OptGetItemSymbols(&count);
  const int* order = OptGetItemSymbolsByName(&ordered);
  ExpectNameOrder(items, count, order, ordered);
  const ValueSymbolRow* values = OptGetValueSymbols(&count);
  order = OptGetValueSymbolsByName(&ordered);
  ExpectNameOrder(values, count, order, ordered);
}

}  // namespace
