// Every value type read and written at its width, checked by the bytes of the record.
#include "settings/items/store_fixture.h"

namespace {

using Bytes = std::vector<BYTE>;

TEST_F(ItemStoreTest, NumbersAreReadAtTheirWidthAndSignAndWrittenTruncated) {
  const struct {
    WORD id;
    size_t at;      // record offset
    DWORD written;
    Bytes stored;   // the field and the byte after it
    DWORD read;
  } cases[] = {
      {41, 374, 0x1FF, {0xFF, 0}, 0xFFFFFFFF},               // s8
      {41, 374, 0x7F, {0x7F, 0}, 0x7F},
      {7, 76, 0x18001, {0x01, 0x80, 0}, 0xFFFF8001},         // s16
      {39, 372, 0x1FE, {0xFE, 0}, 0xFE},                     // u8
      {92, 528, 0x12345, {0x45, 0x23}, 0x2345},              // u16 (item 93 follows)
      {92, 528, 0xFFFF, {0xFF, 0xFF}, 0xFFFF},
      {714, 224, 0xDEADBEEF, {0xEF, 0xBE, 0xAD, 0xDE, 0}, 0xDEADBEEF},  // u32
      {10005, kConfigBase + 16, 0x01020304, {4, 3, 2, 1, 0}, 0x01020304},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    ASSERT_TRUE(OptSetValue(context_, c.id, c.written));
    EXPECT_EQ(At(c.at, c.stored.size()), c.stored);
    EXPECT_EQ(OptGetValue(context_, c.id), c.read);
  }
  // s32: no row has the type, so a context's own row is retyped.
  ItemTableRow* row = Row(kItemJobBinder);
  row->descriptor = MakeItemDescriptor(kSectionDevmode, kTypeS32, 4);
  ASSERT_TRUE(OptWriteRaw(context_, row, 0x80000001));
  EXPECT_EQ(At(224, 4), (Bytes{0x01, 0, 0, 0x80}));
  EXPECT_EQ(OptReadRaw(context_, row), 0x80000001u);
}

TEST_F(ItemStoreTest, BitsInEachByteOfTheirWordLeaveTheirNeighboursAlone) {
  // Items 10014..10045 are bits 0..31 of the word at section-2 offset 52.
  const size_t word = kConfigBase + 52;
  const struct {
    WORD id;
    size_t byte;
    BYTE mask;
  } bits[] = {{10014, 0, 0x01}, {10015, 0, 0x02}, {10022, 1, 0x01}, {10031, 2, 0x02}, {10045, 3, 0x80}};
  for (const auto& bit : bits) {
    SCOPED_TRACE(bit.id);
    std::memset(record_ + word, 0x5A, 4);
    Bytes expected(4, 0x5A);
    expected[bit.byte] |= bit.mask;
    ASSERT_TRUE(OptSetValue(context_, bit.id, 2));  // any non-zero value sets it
    EXPECT_EQ(At(word, 4), expected);
    EXPECT_EQ(OptGetValue(context_, bit.id), 1u);
    expected[bit.byte] &= static_cast<BYTE>(~bit.mask);
    ASSERT_TRUE(OptSetValue(context_, bit.id, 0));
    EXPECT_EQ(At(word, 4), expected);
    EXPECT_EQ(OptGetValue(context_, bit.id), 0u);
  }
}

TEST_F(ItemStoreTest, ByteItemsAreReachedByAddressAndWrittenFromASizedSource) {
  // Item 712: 32 binary bytes at 285; item 713 follows at 317.
  ItemTableRow* row = Row(712);
  std::memset(record_ + 285, 0xEE, 64);
  EXPECT_EQ(OptGetItemAddress(context_, row), record_ + 285);
  EXPECT_EQ(OptReadRaw(context_, row), 0u);
  EXPECT_FALSE(OptWriteRaw(context_, row, 0x1234));  // no address fits a number
  EXPECT_EQ(row->changed, 0);
  const BYTE five[] = {1, 0, 2, 0, 3};  // zeros inside binary data are kept
  ASSERT_TRUE(OptWriteBytes(context_, row, five, sizeof five));
  EXPECT_EQ(At(285, 7), (Bytes{1, 0, 2, 0, 3, 0, 0}));
  const Bytes longer(40, 0x77);
  ASSERT_TRUE(OptWriteBytes(context_, row, longer.data(), 40));
  EXPECT_EQ(At(285, 33), [] { Bytes b(32, 0x77); b.push_back(0xEE); return b; }());
  ASSERT_TRUE(OptWriteBytes(context_, row, nullptr, 40));
  EXPECT_EQ(At(285, 32), Bytes(32, 0));
  // A string written with 0, the null pointer of the old interface, is zero-filled too.
  std::memset(record_ + 228, 'x', 16);
  ASSERT_TRUE(OptSetValue(context_, 707, 0));
  EXPECT_EQ(At(228, 17), Bytes(17, 0));
  EXPECT_FALSE(OptWriteBytes(context_, Row(41), five, 1));
}

TEST_F(ItemStoreTest, WhatReachesNoFieldReadsZeroAndWritesNothing) {
  ItemTableRow* none = Row(41);
  EXPECT_EQ(OptGetValue(context_, 963, &none), 0u);
  EXPECT_EQ(none, nullptr);
  EXPECT_FALSE(OptSetValue(context_, 5000, 1));
  EXPECT_FALSE(OptSetValue(context_, 0, 1));
  EXPECT_EQ(context_->work->dirty, 0u);
  ItemTableRow* row = Row(41);
  row->offset = static_cast<WORD>(kDmSize);  // past its section
  EXPECT_FALSE(OptWriteRaw(context_, row, 1));
  DriverContext* names = CtxCreateEx(nullptr, 0, kKindNamesOnly, 0, 0, nullptr);
  EXPECT_FALSE(OptSetValue(names, 7, 1));
  CtxDestroyEx(names, kReleaseDestroy);
  // The section bases come from the record: one that puts section 2 outside it reaches nothing.
  DmStoreU16(record_, 363, 3800);
  EXPECT_EQ(OptGetItemAddress(context_, Row(10005)), nullptr);
}

}  // namespace
