// The capability records through the library loaded by name: the bitmap, the rows against the
// model's own queries, the all-capabilities record's layout as bytes, hand-out and give-back,
// and the capacity every internal list call keeps.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "api_fixture.h"
#include "exclude/caps_records.h"
#include "settings/constraints/option_availability.h"
#include "settings/persistence/user_lists.h"
#include "settings/services/device_caps.h"

namespace velm::test {
namespace {

DWORD U32(const BYTE* p, DWORD offset) {
  DWORD v;
  std::memcpy(&v, p + offset, 4);
  return v;
}

class CapsRecordsTest : public ApiTest {
 protected:
  void SetUp() override {
    ApiTest::SetUp();
    getCaps_ = Bind<VELMDrvGetCapsProc>("VELMDrvGetCaps");
    ASSERT_NE(getCaps_, nullptr);
    WriteHostFile(root_.OnDriveC("_velm/qnset.ini"), "");
    context_ = enable_(kPrinter);
    ASSERT_NE(context_, nullptr);
  }
  void TearDown() override {
    disable_(context_);
    ApiTest::TearDown();
  }
  // A row's list through the export: the count asked first, then the entries.
  std::vector<BYTE> List(DWORD row, DWORD entryBytes, intptr_t* count) {
    *count = getCaps_(context_, row, nullptr);
    std::vector<BYTE> bytes(static_cast<size_t>(std::max<intptr_t>(*count, 0)) * entryBytes + 16, 0xEE);
    if (*count > 0) EXPECT_EQ(getCaps_(context_, row, bytes.data()), *count) << row;
    for (size_t i = bytes.size() - 16; i < bytes.size(); ++i) EXPECT_EQ(bytes[i], 0xEE) << "row " << row << " wrote past";
    bytes.resize(bytes.size() - 16);
    return bytes;
  }
  DriverContext* Context() { return reinterpret_cast<DriverContext*>(context_); }

  VELMDrvGetCapsProc getCaps_ = nullptr;
  VELMAPICONTEXT context_ = nullptr;
};

TEST_F(CapsRecordsTest, SupportedRowsBitmapAndFixedRows) {
  EXPECT_EQ(getCaps_(context_, 0, nullptr), 32);
  BYTE bitmap[33];
  std::memset(bitmap, 0xEE, sizeof bitmap);
  EXPECT_EQ(getCaps_(context_, 0, bitmap), 32);
  const BYTE golden[32] = {0xFF, 0xFF, 0xFF, 0xFF, 0xE0};
  EXPECT_EQ(std::memcmp(bitmap, golden, 32), 0);
  EXPECT_EQ(bitmap[32], 0xEE);
  for (DWORD row : {1u, 24u, 31u}) EXPECT_EQ(getCaps_(context_, row, nullptr), 1) << row;
  for (DWORD row : {57u, 100u, 0x80000003u}) EXPECT_EQ(getCaps_(context_, row, nullptr), 0) << row;
  EXPECT_EQ(getCaps_(nullptr, 1, nullptr), -1);
  EXPECT_EQ(getCaps_(context_, kCapsFreeAll, nullptr), 1) << "a null record is accepted";
}

TEST_F(CapsRecordsTest, ListRowsMatchTheModelsQueries) {
  struct Case {
    DWORD row;
    WORD item;
  };
  // Command-table rows: the values whose condition lists hold.
  for (const Case& c : {Case{2, kItemDefaultSource}, Case{4, kItemVdmMediaType}, Case{15, kItemOutPaperSize},
                        Case{39, kItemSortType}, Case{40, kItemStapleType}, Case{41, kItemPunchType}}) {
    DWORD values[256];
    DWORD count = 0;
    ASSERT_EQ(CondGetAllowedValues(Context(), c.item, 256, values, &count), kListDone);
    intptr_t got = 0;
    const std::vector<BYTE> list = List(c.row, 4, &got);
    ASSERT_EQ(got, static_cast<intptr_t>(count)) << c.row;
    EXPECT_EQ(std::memcmp(list.data(), values, count * 4), 0) << c.row;
  }
  // Name rows: one fixed-width, NUL-terminated entry per id.
  for (const auto& [idRow, nameRow, width] : {std::tuple{2u, 3u, 24u}, {4u, 5u, 64u}, {6u, 7u, 64u}, {15u, 16u, 64u}}) {
    intptr_t ids = 0, names = 0;
    List(idRow, 4, &ids);
    const std::vector<BYTE> list = List(nameRow, width, &names);
    EXPECT_EQ(names, ids) << nameRow;
    for (intptr_t i = 0; i < names; ++i) EXPECT_EQ(list[static_cast<size_t>(i) * width + width - 1], 0) << nameRow;
  }
  // Output trays: 0 first, then the non-zero values.
  intptr_t trays = 0;
  const std::vector<BYTE> outputTrays = List(6, 4, &trays);
  ASSERT_GE(trays, 1);
  EXPECT_EQ(U32(outputTrays.data(), 0), 0u);
  // Papers: ids, names and sizes agree in count; sizes as the paper query gives them.
  intptr_t papers = 0, paperNames = 0, sizes = 0;
  List(10, 4, &papers);
  List(11, 64, &paperNames);
  const std::vector<BYTE> dims = List(12, 8, &sizes);
  EXPECT_GT(papers, 0);
  EXPECT_EQ(paperNames, sizes);
  std::vector<POINT> points(static_cast<size_t>(sizes));
  ASSERT_EQ(CapsGetPaperSizes(Context(), points.data(), kItemPaperSize), sizes);
  for (intptr_t i = 0; i < sizes; ++i) {
    EXPECT_EQ(U32(dims.data(), static_cast<DWORD>(i * 8)), static_cast<DWORD>(points[static_cast<size_t>(i)].x));
    EXPECT_EQ(U32(dims.data(), static_cast<DWORD>(i * 8 + 4)), static_cast<DWORD>(points[static_cast<size_t>(i)].y));
  }
  // Rows 13 and 14 pack their out pair as length << 16 | width.
  for (DWORD row : {13u, 14u}) {
    WORD pair[2] = {};
    const intptr_t packed = getCaps_(context_, row, pair);
    EXPECT_EQ(packed, static_cast<intptr_t>(pair[1]) << 16 | pair[0]) << row;
    EXPECT_NE(pair[0], 0) << row;
  }
}

TEST_F(CapsRecordsTest, WatermarkRows) {
  // Neither the kind-3 page feature nor the pattern switch: kinds 1 and 2.
  intptr_t count = 0;
  std::vector<BYTE> kinds = List(30, 4, &count);
  ASSERT_EQ(count, 2);
  EXPECT_EQ(U32(kinds.data(), 0), 1u);
  EXPECT_EQ(U32(kinds.data(), 4), 2u);
  WriteHostFile(root_.OnDriveC("Windows/System32/spool/drivers/w32x86/3/qndrv.ini"), "[VELMAPI]\r\nVELMAPIFunc1=2\r\n");
  kinds = List(30, 4, &count);
  ASSERT_EQ(count, 3);
  EXPECT_EQ(U32(kinds.data(), 8), 128u);

  // Two stored stamps: the scratch slot first, then each stamp's number + 1, with their names.
  DriverContext* context = Context();
  OptSetValue(context, kItemWmKind, 1);
  OptSetString(context, OptFindItem(context->itemTable, kItemWmCharName), u"First");
  ASSERT_TRUE(LstSaveStamp(context, 0));
  OptSetValue(context, kItemWmKind, 2);
  OptSetString(context, OptFindItem(context->itemTable, kItemWmImageName), u"Second");
  ASSERT_TRUE(LstSaveStamp(context, 1));
  OptSetValue(context, kItemWmID, 7);
  const std::vector<BYTE> before(context->settings->devmode.bytes, context->settings->devmode.bytes + kDmSize);
  const std::vector<BYTE> numbers = List(32, 4, &count);
  ASSERT_EQ(count, 3);
  EXPECT_EQ(U32(numbers.data(), 0), 256u);
  EXPECT_EQ(U32(numbers.data(), 4), 1u);
  EXPECT_EQ(U32(numbers.data(), 8), 2u);
  const std::vector<BYTE> names = List(33, 64, &count);
  ASSERT_EQ(count, 3);
  EXPECT_EQ(names[0], 0);
  EXPECT_STREQ(reinterpret_cast<const char*>(names.data() + 64), "First");
  EXPECT_STREQ(reinterpret_cast<const char*>(names.data() + 128), "Second");
  EXPECT_TRUE(std::equal(before.begin(), before.end(), context->settings->devmode.bytes)) << "the settings are put back";
}

TEST_F(CapsRecordsTest, TerminalServerAndMarkPaperRows) {
  DriverContext* context = Context();
  OptSetValue(context, kItemTSE, 1);
  for (DWORD row = 49; row <= 53; ++row) EXPECT_EQ(getCaps_(context_, row, nullptr), 0) << row;
  OptSetValue(context, kItemTSE, 0);
  // Separator sheets with trays to spare: the mark paper's kinds (blank 1, printed 2) and a
  // closing 0.
  ASSERT_EQ(getCaps_(context_, 23, nullptr), 1);
  intptr_t count = 0;
  const std::vector<BYTE> kinds = List(56, 4, &count);
  ASSERT_EQ(count, 3);
  EXPECT_EQ(U32(kinds.data(), 0), 1u);
  EXPECT_EQ(U32(kinds.data(), 4), 2u);
  EXPECT_EQ(U32(kinds.data(), 8), 0u);
}

TEST_F(CapsRecordsTest, ListCallsKeepTheirCapacity) {
  for (DWORD row : {2u, 4u, 6u, 10u, 11u, 12u, 15u, 16u, 30u, 32u, 54u}) {
    const LONG count = ApiCallCapsRow(Context(), row, nullptr, 0);
    if (count <= 1) continue;
    std::vector<BYTE> buffer(static_cast<size_t>(count) * 64, 0xEE);
    EXPECT_EQ(ApiCallCapsRow(Context(), row, buffer.data(), static_cast<DWORD>(count - 1)), -1) << row;
  }
}

// The record's fields, by offset: a pair's count and list, or a u32 value.
struct PairField {
  DWORD offset;
  DWORD row;
  DWORD entryBytes;
};
constexpr PairField kPairs[] = {{8, 2, 4},     {16, 3, 24},   {24, 4, 4},    {32, 5, 64},   {40, 6, 4},
                                {48, 7, 64},   {64, 10, 4},   {72, 11, 64},  {80, 12, 8},   {96, 15, 4},
                                {104, 16, 64}, {116, 18, 4},  {168, 30, 4},  {180, 32, 4},  {188, 33, 64},
                                {216, 39, 4},  {224, 40, 4},  {232, 41, 4},  {252, 45, 4},  {264, 47, 4},
                                {296, 54, 4},  {308, 56, 4}};
constexpr std::pair<DWORD, DWORD> kValues[] = {{4, 1},   {56, 8},   {60, 9},   {112, 17}, {124, 19}, {136, 22},
                                               {140, 23}, {144, 24}, {148, 25}, {152, 26}, {156, 27}, {160, 28},
                                               {164, 29}, {176, 31}, {196, 34}, {240, 42}, {244, 43}, {248, 44},
                                               {260, 46}, {272, 48}, {276, 49}, {280, 50}, {284, 51}, {288, 52},
                                               {292, 53}, {304, 55}};
constexpr std::pair<DWORD, DWORD> kHalves[] = {{88, 13}, {92, 14}, {128, 20}, {132, 21}};

TEST_F(CapsRecordsTest, AllCapabilitiesRecordAgainstTheRows) {
  const uint64_t live = platform::LiveAllocationCount();
  const intptr_t handle = getCaps_(context_, kCapsBuildAll, nullptr);
  ASSERT_NE(handle, 0);
  const BYTE* record = reinterpret_cast<const BYTE*>(handle);
  const BYTE golden[32] = {0xFF, 0xFF, 0xFF, 0xFF, 0xE0};
  ASSERT_NE(U32(record, 0), 0u);
  EXPECT_EQ(std::memcmp(record + U32(record, 0), golden, 32), 0);
  for (const PairField& p : kPairs) {
    intptr_t count = 0;
    const std::vector<BYTE> direct = List(p.row, p.entryBytes, &count);
    if (count <= 0) {
      EXPECT_EQ(U32(record, p.offset), 0u) << p.offset;
      EXPECT_EQ(U32(record, p.offset + 4), 0u) << p.offset;
      continue;
    }
    ASSERT_EQ(U32(record, p.offset), static_cast<DWORD>(count)) << p.offset;
    ASSERT_GE(U32(record, p.offset + 4), kCapsAllRecordBytes) << p.offset;
    EXPECT_EQ(std::memcmp(record + U32(record, p.offset + 4), direct.data(), direct.size()), 0) << p.offset;
  }
  const bool marginRange = getCaps_(context_, 34, nullptr) != 0;
  for (const auto& [offset, row] : kValues) EXPECT_EQ(U32(record, offset), static_cast<DWORD>(getCaps_(context_, row, nullptr))) << offset;
  for (DWORD offset : {200u, 204u, 208u, 212u}) {
    if (marginRange) continue;
    EXPECT_EQ(U32(record, offset), 0u) << "no range for item 105: " << offset;
  }
  for (const auto& [offset, row] : kHalves) {
    WORD pair[2] = {};
    getCaps_(context_, row, pair);
    EXPECT_EQ(std::memcmp(record + offset, pair, 4), 0) << offset;
  }
  EXPECT_EQ(getCaps_(context_, kCapsFreeAll, const_cast<BYTE*>(record)), 1);
  // Pairs of hand-out and give-back leave nothing allocated.
  for (int round = 0; round < 3; ++round)
    EXPECT_EQ(getCaps_(context_, kCapsFreeAll, reinterpret_cast<void*>(getCaps_(context_, kCapsBuildAll, nullptr))), 1);
  EXPECT_EQ(platform::LiveAllocationCount(), live);
}

// The shipped description's answers, worked out from its text: copies "1 1 1 999", scale
// "1 100 25 400" both ways, face margins "0 .. 2362" dots (499.96 -> 500 tenths of a millimetre),
// item 105's range "0 .. 2400" dots (508 tenths of a millimetre); Letter is 215.9 x 279.4 mm; trays 7, 1, 3 are strings 2206, 2200, 2201.
TEST_F(CapsRecordsTest, ShippedDescriptionAsGoldenValues) {
  struct Value {
    DWORD row;
    intptr_t expected;
  };
  const Value values[] = {{17, 999}, {20, 400 << 16 | 400}, {21, 25 << 16 | 25}, {26, 500}, {27, 0}, {28, 500},
                          {29, 0},   {34, 1},                {35, 508},           {38, 0},   {19, 1}};
  for (const Value& v : values) EXPECT_EQ(getCaps_(context_, v.row, nullptr), v.expected) << v.row;
  WORD pair[2] = {};
  getCaps_(context_, 20, pair);
  EXPECT_EQ(pair[0], 400);
  EXPECT_EQ(pair[1], 400);

  struct Ids {
    DWORD row;
    std::vector<DWORD> ids;
  };
  const Ids lists[] = {{2, {7, 1, 3}}, {6, {0, 2, 4}}, {30, {1, 2}}, {39, {1, 0}}, {54, {1, 3, 4}}};
  for (const Ids& l : lists) {
    intptr_t count = 0;
    const std::vector<BYTE> got = List(l.row, 4, &count);
    ASSERT_EQ(count, static_cast<intptr_t>(l.ids.size())) << l.row;
    EXPECT_EQ(std::memcmp(got.data(), l.ids.data(), got.size()), 0) << l.row;
  }
  intptr_t count = 0;
  std::vector<BYTE> trays = List(3, 24, &count);
  ASSERT_EQ(count, 3);
  std::vector<BYTE> golden(72, 0);
  std::memcpy(&golden[0], "Auto Select", 11);
  std::memcpy(&golden[24], "Tray 1", 6);
  std::memcpy(&golden[48], "Tray 2", 6);
  EXPECT_EQ(trays, golden);
  const std::vector<BYTE> sizes = List(12, 8, &count);
  ASSERT_GT(count, 0);
  EXPECT_EQ(U32(sizes.data(), 0), 2159u);
  EXPECT_EQ(U32(sizes.data(), 4), 2794u);
  const std::vector<BYTE> names = List(11, 64, &count);
  EXPECT_STREQ(reinterpret_cast<const char*>(names.data()), "Letter");

  // The record with item 105's range: row 34's value 1 at 196, the maximum 508 at 200.
  BYTE* record = reinterpret_cast<BYTE*>(getCaps_(context_, kCapsBuildAll, nullptr));
  ASSERT_NE(record, nullptr);
  const BYTE range[8] = {1, 0, 0, 0, 0xFC, 0x01, 0, 0};
  EXPECT_EQ(std::memcmp(record + 196, range, 8), 0);
  const BYTE limits[8] = {0x90, 0x01, 0x90, 0x01, 0x19, 0x00, 0x19, 0x00};  // scale 400, 400; 25, 25
  EXPECT_EQ(std::memcmp(record + 128, limits, 8), 0);
  const BYTE copies[4] = {0xE7, 0x03, 0, 0};
  EXPECT_EQ(std::memcmp(record + 112, copies, 4), 0);
  getCaps_(context_, kCapsFreeAll, record);
}

}  // namespace
}  // namespace velm::test
