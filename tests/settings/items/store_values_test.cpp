// Model values through the value maps and the override array, and strings.
#include "settings/items/store_fixture.h"
#include "settings/context/memory.h"

namespace {

TEST_F(ItemStoreTest, ValueMapsTranslateBothWaysAndPassUnmappedValuesThrough) {
  ItemTableRow* orientation = Row(kItemOrientation);
  EXPECT_EQ(OptRawToModelValue(context_, orientation, 2), 2027u);
  EXPECT_EQ(OptModelToRawValue(context_, orientation, 2027), 2u);
  EXPECT_EQ(OptRawToModelValue(context_, orientation, 5), 5u);
  EXPECT_FALSE(OptIsRawValueMapped(context_, orientation, 5));
  EXPECT_EQ(OptModelToRawValue(context_, orientation, 2999), 2999u);
  // Paper size 0 is listed only without a model value: unmapped, it passes through; and the
  // marker 0xFFFF is no model value to translate back.
  ItemTableRow* paper = Row(8);
  EXPECT_FALSE(OptIsRawValueMapped(context_, paper, 0));
  EXPECT_EQ(OptRawToModelValue(context_, paper, 0), 0u);
  EXPECT_EQ(OptModelToRawValue(context_, paper, 0xFFFF), 0xFFFFu);
  EXPECT_TRUE(OptIsRawValueMapped(context_, paper, 9));
  ASSERT_TRUE(OptSetModelValueById(context_, kItemOrientation, 2027));
  EXPECT_EQ(At(76, 2), (std::vector<BYTE>{2, 0}));
  EXPECT_EQ(OptGetModelValueById(context_, kItemOrientation), 2027u);
}

// The current saved setting is stored as its index (255 none) in a signed byte; the high indexes
// must not read back negative.
TEST_F(ItemStoreTest, TheCurrentSavedSettingIsStoredAsItsIndex) {
  struct Case { DWORD model; BYTE stored; } const cases[] = {{119, 0}, {127, 8}, {128, 9}, {131, 12}, {134, 15}, {118, 255}};
  for (const Case& c : cases) {
    ASSERT_TRUE(OptSetModelValueById(context_, kItemPresetNo, c.model)) << c.model;
    EXPECT_EQ(At(374, 1), (std::vector<BYTE>{c.stored})) << c.model;
    EXPECT_EQ(OptGetModelValueById(context_, kItemPresetNo), c.model) << c.model;
  }
  OptSetValue(context_, kItemPresetNo, 255);  // a raw write of none, as imports and resets do
  EXPECT_EQ(OptGetModelValueById(context_, kItemPresetNo), 118u);
}

TEST_F(ItemStoreTest, NupAndBindingUseTheirSecondListInLandscape) {
  for (WORD id : {WORD{95}, WORD{102}}) {
    SCOPED_TRACE(id);
    ItemTableRow* row = Row(id);
    OptSetValue(context_, kItemOrientation, 1);
    const DWORD portrait = OptRawToModelValue(context_, row, 1);
    OptSetValue(context_, kItemOrientation, 2);
    const DWORD landscape = OptRawToModelValue(context_, row, 1);
    EXPECT_EQ(portrait, id == 95 ? 2301u : 2500u);
    EXPECT_EQ(landscape, id == 95 ? 2351u : 2520u);
    EXPECT_EQ(OptModelToRawValue(context_, row, landscape), 1u);
    EXPECT_EQ(OptModelToRawValue(context_, row, portrait), portrait);  // means nothing in landscape
  }
  // Punch and staple positions follow the print paper's orientation, not item 7: a 2-up layout
  // turns the landscape document's sheet portrait.
  EXPECT_EQ(OptRawToModelValue(context_, Row(134), 1), 2620u);
  OptSetValue(context_, 59, 1);
  OptSetValue(context_, 95, 1);
  EXPECT_EQ(OptRawToModelValue(context_, Row(134), 1), 2600u);
}

TEST_F(ItemStoreTest, TheOverrideArrayWinsOnReadsAndRecordsWrites) {
  context_->work->overrides = static_cast<LONG*>(SysAlloc(sizeof(LONG) * context_->itemTable->count));
  ItemTableRow* orientation = Row(kItemOrientation);
  LONG& entry = context_->work->overrides[orientation - context_->itemTable->rows];
  entry = 4242;
  EXPECT_EQ(OptGetModelValue(context_, orientation), 4242u);
  ASSERT_TRUE(OptSetModelValue(context_, orientation, 2027));
  EXPECT_EQ(entry, 2027);
  EXPECT_EQ(OptGetValue(context_, kItemOrientation), 2u);
}

TEST_F(ItemStoreTest, StringsKeepATerminatorAndNeverReachTheNextField) {
  // Item 707: ANSI, 16 bytes at 228; item 708 follows.
  ItemTableRow* ini = Row(707);
  record_[244] = 'N';
  ASSERT_TRUE(OptSetString(context_, ini, u"abcdefghijklmnopqrstuvwxyz"));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(record_ + 228)), "abcdefghijklmno");
  EXPECT_EQ(record_[244], 'N');
  EXPECT_EQ(ini->changed, 1);
  WCHAR text[64];
  ASSERT_TRUE(OptSetString(context_, ini, u"caf\u00e9"));  // narrowed through code page 1252
  EXPECT_EQ(At(228, 5), (std::vector<BYTE>{'c', 'a', 'f', 0xE9, 0}));
  OptGetString(context_, ini, text, 64);
  EXPECT_EQ(std::u16string(text), u"caf\u00e9");
  // A field from elsewhere that fills its length without a NUL is read to its end, and the
  // caller's buffer bounds the text too.
  std::memset(record_ + 228, 'A', 16);
  EXPECT_EQ(OptGetString(context_, ini, text, 64), 16u);
  EXPECT_EQ(OptGetString(context_, ini, text, 5), 4u);
  EXPECT_EQ(std::u16string(text), u"AAAA");

  // Item 1: wide, 64 bytes at 0; item 2 follows.
  record_[64] = 0x33;
  ASSERT_TRUE(OptSetString(context_, Row(1), std::u16string(40, u'\u20AC').c_str()));
  EXPECT_EQ(At(60, 5), (std::vector<BYTE>{0xAC, 0x20, 0, 0, 0x33}));
  EXPECT_EQ(OptGetString(context_, Row(1), text, 64), 31u);

  EXPECT_EQ(OptGetString(context_, Row(41), text, 64), 5u);  // not a string
  EXPECT_EQ(std::u16string(text), u"wrong");
  EXPECT_FALSE(OptSetString(context_, Row(41), u"1"));
}

}  // namespace
