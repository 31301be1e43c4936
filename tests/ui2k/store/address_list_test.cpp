// The address list file: loading with its limits and double-byte rule, editing the ring, and
// saving without ever losing what the file held.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/machine_root.h"
#include "support/temp_root.h"
#include "ui2k/store/address_list.h"

namespace {

constexpr char16_t kPath[] = u"C:\\_velm\\qnaddr.csv";

using Fields = std::vector<std::u16string>;

class AddressListTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(CreateDirectoryW(u"C:\\_velm", nullptr)); }
  void TearDown() override {
    CsvFreeList(list_);
    velm::platform::ClearFileFaults();
  }

  void WriteFile(const std::string& bytes) { velm::test::WriteHostFile(root_.OnDriveC("_velm/qnaddr.csv"), bytes); }
  std::string FileBytes() const { return velm::test::ReadHostFile(root_.OnDriveC("_velm/qnaddr.csv")); }

  // Loads the file into list_ (freeing an earlier one); the status.
  DWORD Load() {
    CsvFreeList(list_);
    list_ = nullptr;
    DWORD status = 0xFFFFFFFF;
    EXPECT_TRUE(CsvLoadList(kPath, &list_, &status));
    return status;
  }

  static Fields FieldsOf(const CsvRecord* record) {
    Fields fields;
    for (DWORD f = 1; f <= kCsvFieldCount; ++f) fields.emplace_back(CsvFieldText(record, f));
    return fields;
  }
  // Every record of the ring in order, checking the ring's links, numbers and counts on the way.
  std::vector<Fields> Records() const {
    std::vector<Fields> records;
    DWORD unnamed = 0;
    const CsvNode* node = list_->head;
    for (DWORD i = 0; i < list_->count; ++i, node = node->next) {
      EXPECT_EQ(node->next->prev, node);
      EXPECT_EQ(node->record->number, i + 1);
      if (!node->record->field1[0]) ++unnamed;
      records.push_back(FieldsOf(node->record));
    }
    EXPECT_EQ(node, list_->head);
    if (list_->count) EXPECT_EQ(list_->head->prev, list_->tail);
    else EXPECT_EQ(list_->tail, nullptr);
    EXPECT_EQ(unnamed, list_->unnamedCount);
    return records;
  }

  static std::u16string Widen932(const std::string& bytes) {
    std::u16string text(bytes.size(), u'\0');
    const int n = MultiByteToWideChar(932, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                                      static_cast<int>(text.size()));
    text.resize(static_cast<size_t>(n));
    return text;
  }

  velm::test::TempMachineRoot root_;
  CsvList* list_ = nullptr;
};

const std::string k64(64, 'n');

TEST_F(AddressListTest, LoadsListsLimitsAndShortLinesAndSavesThemBack) {
  WriteFile(
      // fields at their limits, '|' lists
      k64 + ",b,c,d,e," + std::string(32, '6') + ",a|b|c,|x|,1234,12345678,1,2,3\r\n" +
      "\r\n\n" +                 // empty lines are skipped
      "sh\rort,two\n" +          // a '\r' anywhere is ignored; missing fields stay empty
      ",unnamed,,,,,,,,,,,,extra,more\n" +  // extra fields are skipped
      "last,no,newline");
  EXPECT_EQ(Load(), kCsvStatusOk);
  const Fields empty(kCsvFieldCount);
  std::vector<Fields> expected(4, empty);
  expected[0] = {std::u16string(64, u'n'), u"b", u"c", u"d", u"e", std::u16string(32, u'6'), u"a|b|c", u"|x|",
                 u"1234", u"12345678", u"1", u"2", u"3"};
  expected[1][0] = u"short";
  expected[1][1] = u"two";
  expected[2][1] = u"unnamed";
  expected[3][0] = u"last";
  expected[3][1] = u"no";
  expected[3][2] = u"newline";
  EXPECT_EQ(Records(), expected);
  EXPECT_EQ(list_->unnamedCount, 1u);

  ASSERT_TRUE(CsvSaveList(list_, kPath));
  EXPECT_EQ(FileBytes(), k64 + ",b,c,d,e," + std::string(32, '6') + ",a|b|c,|x|,1234,12345678,1,2,3\r\n" +
                             "short,two,,,,,,,,,,,\r\n"
                             ",unnamed,,,,,,,,,,,\r\n"
                             "last,no,newline,,,,,,,,,,\r\n");
  EXPECT_EQ(Load(), kCsvStatusOk);
  EXPECT_EQ(Records(), expected);
}

TEST_F(AddressListTest, DoubleByteNamesKeepTheirBytesTogether) {
  ASSERT_TRUE(velm::platform::SetMachineSetting("codepage", "932"));
  std::string name;
  for (int i = 0; i < 64; ++i) name += "\x82\xA0";  // 64 double-byte characters, 128 bytes
  const std::string minus = "\x81\x7C";             // its second byte is '|'
  WriteFile(name + ",x\r\n" +
            "N\x82,second,third\r\n" +  // a lead byte before ',': the ',' is no separator
            "v," + std::string(5, ',') + minus + "|y\r\n");
  EXPECT_EQ(Load(), kCsvStatusOk);
  const std::vector<Fields> first = Records();
  ASSERT_EQ(first.size(), 3u);
  EXPECT_EQ(first[0][0], Widen932(name));
  EXPECT_EQ(first[0][0].size(), 64u);
  EXPECT_EQ(first[1][0][0], u'N');
  EXPECT_EQ(first[1][1], u"third");  // "N?," and "second" are one field
  EXPECT_EQ(first[2][6], Widen932(minus) + u"|y");

  ASSERT_TRUE(CsvSaveList(list_, kPath));
  EXPECT_EQ(FileBytes().substr(0, name.size() + 3), name + ",x,");
  EXPECT_EQ(Load(), kCsvStatusOk);
  const std::vector<Fields> again = Records();
  EXPECT_EQ(again[0], first[0]);
  EXPECT_EQ(again[2], first[2]);
  EXPECT_EQ(again[1][2], first[1][2]);
}

TEST_F(AddressListTest, AddsAndRemovesByPositionKeepingTheRingAndCounts) {
  WriteFile("A\r\n,u1\r\nB\r\n,u2\r\nC\r\n");
  ASSERT_EQ(Load(), kCsvStatusOk);
  auto names = [&] {
    std::vector<std::u16string> out;
    for (const Fields& f : Records()) out.push_back(f[0].empty() ? u"_" + f[1] : f[0]);
    return out;
  };
  auto add = [&](DWORD before, DWORD counting, const char16_t* name) {
    CsvRecord* record = CsvAddRecord(list_, before, counting);
    ASSERT_NE(record, nullptr);
    ASSERT_TRUE(CsvSetField(list_, record, 1, name));
  };
  add(2, kCsvCountAll, u"D");    // before ",u1"
  add(3, kCsvCountNamed, u"E");  // before "B", the third named
  add(1, kCsvCountAll, u"F");    // a new head
  add(0, kCsvCountAll, u"G");    // at the end
  add(99, kCsvCountNamed, u"H"); // past the last: at the end
  using Names = std::vector<std::u16string>;
  EXPECT_EQ(names(), (Names{u"F", u"A", u"D", u"_u1", u"E", u"B", u"_u2", u"C", u"G", u"H"}));
  EXPECT_EQ(list_->unnamedCount, 2u);

  EXPECT_TRUE(CsvRemoveRecord(list_, 1));  // the head
  EXPECT_TRUE(CsvRemoveRecord(list_, 7));  // the tail: "H" is the seventh named now
  EXPECT_TRUE(CsvRemoveRecord(list_, 3));  // "E": unnamed records are not counted
  EXPECT_FALSE(CsvRemoveRecord(list_, 6));
  EXPECT_FALSE(CsvRemoveRecord(list_, 0));
  EXPECT_EQ(names(), (Names{u"A", u"D", u"_u1", u"B", u"_u2", u"C", u"G"}));
  EXPECT_EQ(CsvFindNamed(list_, 2)->field1, std::u16string(u"D"));

  // Naming and unnaming a record moves the unnamed count.
  ASSERT_TRUE(CsvSetField(list_, CsvFindNamed(list_, 1), 1, u""));
  EXPECT_EQ(list_->unnamedCount, 3u);

  ASSERT_TRUE(CsvSaveList(list_, kPath));
  const std::vector<Fields> saved = Records();
  EXPECT_EQ(Load(), kCsvStatusOk);
  EXPECT_EQ(Records(), saved);
}

TEST_F(AddressListTest, ThePoolRunsOutAtAThousandRecords) {
  WriteFile("");
  ASSERT_EQ(Load(), kCsvStatusOk);
  for (DWORD i = 0; i < kCsvMaxRecords; ++i) ASSERT_NE(CsvAddRecord(list_, 1, kCsvCountAll), nullptr) << i;
  EXPECT_EQ(CsvAddRecord(list_, 0, kCsvCountAll), nullptr);
  EXPECT_EQ(list_->count, kCsvMaxRecords);
  EXPECT_EQ(list_->unnamedCount, kCsvMaxRecords);
  ASSERT_TRUE(CsvSetField(list_, list_->tail->record, 1, u"last"));
  ASSERT_TRUE(CsvRemoveRecord(list_, 1));
  EXPECT_EQ(list_->tail->record->number, kCsvMaxRecords - 1);
  EXPECT_NE(CsvAddRecord(list_, 0, kCsvCountAll), nullptr);
}

TEST_F(AddressListTest, EmptyAndMissingFilesGiveAnEmptyList) {
  WriteFile("");
  EXPECT_EQ(Load(), kCsvStatusOk);
  EXPECT_EQ(list_->count, 0u);
  ASSERT_TRUE(DeleteFileW(kPath));
  EXPECT_EQ(Load(), kCsvStatusNotFound);
  EXPECT_EQ(list_->count, 0u);
  // A missing list is written when the first record is saved.
  ASSERT_TRUE(CsvSetField(list_, CsvAddRecord(list_, 0, kCsvCountAll), 1, u"first"));
  ASSERT_TRUE(CsvSaveList(list_, kPath));
  EXPECT_EQ(FileBytes(), "first,,,,,,,,,,,,\r\n");
  CsvFreeList(list_);
  list_ = nullptr;
  DWORD status = 0;
  ASSERT_TRUE(CsvLoadList(u"C:\\no\\such\\qnaddr.csv", &list_, &status));
  EXPECT_EQ(status, kCsvStatusNotFound);
}

TEST_F(AddressListTest, AFileHeldWithoutReadSharingIsASharingViolationAndIsNotOverwritten) {
  WriteFile("kept\r\n");
  HANDLE held = CreateFileW(kPath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Load(), kCsvStatusSharing);
  EXPECT_EQ(list_->count, 0u);
  CloseHandle(held);
  EXPECT_FALSE(CsvSaveList(list_, kPath));
  EXPECT_EQ(list_->status, kCsvStatusSharing);
  EXPECT_EQ(FileBytes(), "kept\r\n");
}

TEST_F(AddressListTest, MoreThanAThousandRecordsLoadInPartAndAreNotSavedOver) {
  std::string text;
  for (int i = 1; i <= 1001; ++i) text += "name" + std::to_string(i) + ",1\r\n";
  WriteFile(text);
  EXPECT_EQ(Load(), kCsvStatusTooManyRecords);
  EXPECT_EQ(list_->count, 1000u);
  EXPECT_EQ(std::u16string(list_->tail->record->field1), u"name1000");
  EXPECT_FALSE(CsvSaveList(list_, kPath));
  EXPECT_EQ(list_->status, kCsvStatusTooManyRecords);
  EXPECT_EQ(FileBytes(), text);
}

TEST_F(AddressListTest, AFieldTooLongEndsTheLoad) {
  const std::string value64(64, 'v');
  std::string thousandValues = "v";
  for (int i = 1; i < 1000; ++i) thousandValues += "|v";
  const struct {
    std::string line;
    DWORD status;
  } cases[] = {
      {k64 + "x", kCsvStatusFieldTooLong},
      {"n,,,,," + std::string(33, '6'), kCsvStatusFieldTooLong},
      {"n,,,,,," + value64 + "|" + value64 + "x", kCsvStatusFieldTooLong},
      {"n,,,,,," + thousandValues, kCsvStatusOk},
      {"n,,,,,," + thousandValues + "|v", kCsvStatusFieldTooLong},
      {"n,,,,,,,,12345", kCsvStatusFieldTooLong},
      {"n,,,,,,,,,,,,12", kCsvStatusFieldTooLong},
      {"n,,,,,,,,,,,,1," + value64, kCsvStatusOk},
      {"n,,,,,,,,,,,,1," + value64 + "x", kCsvStatusFieldTooLong},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line.substr(0, 40));
    WriteFile("before\r\n" + c.line + "\r\nafter\r\n");
    EXPECT_EQ(Load(), c.status);
    EXPECT_EQ(list_->count, c.status == kCsvStatusOk ? 3u : 1u);
    if (c.status != kCsvStatusOk) {
      EXPECT_FALSE(CsvSaveList(list_, kPath));
    }
  }
}

TEST_F(AddressListTest, SeparatorsInsideValuesAreWrittenAsBlanks) {
  WriteFile("");
  ASSERT_EQ(Load(), kCsvStatusOk);
  CsvRecord* record = CsvAddRecord(list_, 0, kCsvCountAll);
  ASSERT_TRUE(CsvSetField(list_, record, 1, u"a,b\r\nc"));
  const WCHAR* values[] = {u"x|y", u"z"};
  ASSERT_TRUE(CsvSetListValues(list_, record, 7, values, 2));
  EXPECT_EQ(std::u16string(CsvFieldText(record, 7)), u"x y|z");
  EXPECT_FALSE(CsvSetListValues(list_, record, 6, values, 2));
  EXPECT_FALSE(CsvSetField(list_, record, 10, u"123456789"));
  EXPECT_FALSE(CsvSetField(list_, record, 14, u""));
  ASSERT_TRUE(CsvSaveList(list_, kPath));
  EXPECT_EQ(FileBytes(), "a b  c,,,,,,x y|z,,,,,,\r\n");
}

TEST_F(AddressListTest, AFailedSaveLeavesTheOldFileWhole) {
  WriteFile("old,1\r\n");
  ASSERT_EQ(Load(), kCsvStatusOk);
  ASSERT_TRUE(CsvSetField(list_, CsvAddRecord(list_, 0, kCsvCountAll), 1, u"new"));
  velm::platform::SetFileFault({velm::platform::FileFaultKind::kWrite, u".TMP", 5, 0});
  EXPECT_FALSE(CsvSaveList(list_, kPath));
  EXPECT_EQ(list_->status, ERROR_DISK_FULL);
  EXPECT_EQ(FileBytes(), "old,1\r\n");
  WIN32_FIND_DATAW data;
  EXPECT_EQ(FindFirstFileW(u"C:\\_velm\\*.TMP", &data), INVALID_HANDLE_VALUE);
}

}  // namespace
