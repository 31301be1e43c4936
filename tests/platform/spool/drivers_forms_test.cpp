#include "spool_fixture.h"

namespace velm::platform {
namespace {

std::vector<uint64_t> GetDriver(HANDLE h, DWORD level, LPCWSTR environment = nullptr) {
  DWORD needed = 0;
  EXPECT_FALSE(GetPrinterDriverW(h, const_cast<LPWSTR>(environment), level, nullptr, 0, &needed));
  auto buffer = AlignedBuffer(needed);
  EXPECT_TRUE(GetPrinterDriverW(h, const_cast<LPWSTR>(environment), level, reinterpret_cast<BYTE*>(buffer.data()), needed, &needed));
  return buffer;
}

TEST_F(SpoolTest, DriverInformationAtLevelsOneToThree) {
  HANDLE h = Open(u"Office", PRINTER_ACCESS_USE);
  auto one = GetDriver(h, 1);
  EXPECT_EQ(std::u16string(reinterpret_cast<DRIVER_INFO_1W*>(one.data())->pName), u"Test Driver");
  auto two = GetDriver(h, 2);
  const auto* d2 = reinterpret_cast<DRIVER_INFO_2W*>(two.data());
  EXPECT_EQ(d2->cVersion, 3u);
  EXPECT_EQ(std::u16string(d2->pEnvironment), u"Windows NT x86");
  EXPECT_EQ(std::u16string(d2->pConfigFile), u"C:\\Windows\\System32\\spool\\drivers\\w32x86\\3\\ui.dll");
  auto three = GetDriver(h, 3);
  const auto* d3 = reinterpret_cast<DRIVER_INFO_3W*>(three.data());
  EXPECT_EQ(std::u16string(d3->pDataFile), u"C:\\Windows\\System32\\spool\\drivers\\w32x86\\3\\model.dsc");
  // The dependent files: NUL-separated, a second NUL at the end.
  const std::u16string deps(d3->pDependentFiles, 2 * 11 + 1);
  EXPECT_EQ(deps, std::u16string(u"C:\\x\\a.dll\0C:\\x\\b.dll\0\0", 23));

  DWORD needed = 0;
  EXPECT_FALSE(GetPrinterDriverW(h, const_cast<LPWSTR>(u"Windows x64"), 3, nullptr, 0, &needed));
  EXPECT_EQ(GetLastError(), ERROR_UNKNOWN_PRINTER_DRIVER);
  EXPECT_FALSE(GetPrinterDriverW(h, nullptr, 4, nullptr, 0, &needed));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_LEVEL);
  // A printer whose driver was removed has no driver information.
  ASSERT_EQ(EditSpoolState([](SpoolState& s) {
              s.drivers.clear();
              return ERROR_SUCCESS;
            }),
            ERROR_SUCCESS);
  EXPECT_FALSE(GetPrinterDriverW(h, nullptr, 3, nullptr, 0, &needed));
  EXPECT_EQ(GetLastError(), ERROR_UNKNOWN_PRINTER_DRIVER);
}

TEST_F(SpoolTest, DriverDirectoryOfEachEnvironment) {
  char16_t path[MAX_PATH];
  DWORD needed = 0;
  ASSERT_TRUE(GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(path), sizeof path, &needed));
  EXPECT_EQ(std::u16string(path), u"C:\\Windows\\System32\\spool\\drivers\\w32x86");
  EXPECT_EQ(needed, sizeof(u"C:\\Windows\\System32\\spool\\drivers\\w32x86"));
  EXPECT_FALSE(GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(path), needed - 2, &needed));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  ASSERT_TRUE(GetPrinterDriverDirectoryW(const_cast<LPWSTR>(u"\\\\VELMHOST"), const_cast<LPWSTR>(u"Windows x64"), 1, reinterpret_cast<BYTE*>(path),
                                         sizeof path, &needed));
  EXPECT_EQ(std::u16string(path), u"C:\\Windows\\System32\\spool\\drivers\\x64");
  EXPECT_FALSE(GetPrinterDriverDirectoryW(nullptr, const_cast<LPWSTR>(u"Windows IA64"), 1, reinterpret_cast<BYTE*>(path), sizeof path,
                                          &needed));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_ENVIRONMENT);
}

std::vector<FORM_INFO_1W> Forms(HANDLE h, std::vector<uint64_t>& storage) {
  DWORD needed = 0, count = 0;
  EXPECT_FALSE(EnumFormsW(h, 1, nullptr, 0, &needed, &count));
  storage = AlignedBuffer(needed);
  EXPECT_TRUE(EnumFormsW(h, 1, reinterpret_cast<BYTE*>(storage.data()), needed, &needed, &count));
  const auto* forms = reinterpret_cast<FORM_INFO_1W*>(storage.data());
  return std::vector<FORM_INFO_1W>(forms, forms + count);
}

TEST_F(SpoolTest, StandardFormsAreInThousandthsOfAMillimetreInPaperSizeOrder) {
  HANDLE h = Open(u"Office", PRINTER_ACCESS_USE);
  std::vector<uint64_t> storage;
  const std::vector<FORM_INFO_1W> forms = Forms(h, storage);
  ASSERT_GE(forms.size(), 43u);
  struct Expect {
    int paper;  // DMPAPER_ number: form n is paper size n
    std::u16string name;
    LONG cx, cy;
  } expected[] = {
      {1, u"Letter", 215900, 279400}, {5, u"Legal", 215900, 355600},     {8, u"A3", 297000, 420000},
      {9, u"A4", 210000, 297000},     {11, u"A5", 148000, 210000},       {12, u"B4 (JIS)", 257000, 364000},
      {13, u"B5 (JIS)", 182000, 257000},
  };
  for (const Expect& e : expected) {
    const FORM_INFO_1W& f = forms[e.paper - 1];
    EXPECT_EQ(std::u16string(f.pName), e.name);
    EXPECT_EQ(f.Size.cx, e.cx);
    EXPECT_EQ(f.Size.cy, e.cy);
    EXPECT_EQ(f.Flags, FORM_BUILTIN);
    EXPECT_EQ(f.ImageableArea.right, e.cx);
  }
  BYTE buffer[256];
  DWORD needed = 0;
  ASSERT_TRUE(GetFormW(h, const_cast<LPWSTR>(u"a4"), 1, buffer, sizeof buffer, &needed));
  EXPECT_EQ(reinterpret_cast<FORM_INFO_1W*>(buffer)->Size.cy, 297000);
  EXPECT_FALSE(GetFormW(h, const_cast<LPWSTR>(u"A4 Extra Wide"), 1, buffer, sizeof buffer, &needed));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_FORM_NAME);
}

TEST_F(SpoolTest, AddedFormsAreCheckedKeptAndListedAfterTheBuiltInOnes) {
  HANDLE h = Open(u"Office");
  std::u16string name = u"Postcard 4x6";
  FORM_INFO_1W form{FORM_USER, name.data(), {101600, 152400}, {0, 0, 101600, 152400}};
  ASSERT_TRUE(AddFormW(h, 1, reinterpret_cast<LPBYTE>(&form)));
  EXPECT_FALSE(AddFormW(h, 1, reinterpret_cast<LPBYTE>(&form)));
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
  std::u16string builtin = u"Letter";
  FORM_INFO_1W clash = form;
  clash.pName = builtin.data();
  EXPECT_FALSE(AddFormW(h, 1, reinterpret_cast<LPBYTE>(&clash)));
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
  std::u16string other = u"Odd";
  FORM_INFO_1W outside{FORM_USER, other.data(), {1000, 1000}, {0, 0, 1001, 1000}};
  EXPECT_FALSE(AddFormW(h, 1, reinterpret_cast<LPBYTE>(&outside)));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_FORM_SIZE);

  std::vector<uint64_t> storage;
  const std::vector<FORM_INFO_1W> forms = Forms(Open(u"Office", PRINTER_ACCESS_USE), storage);
  EXPECT_EQ(std::u16string(forms.back().pName), name);
  EXPECT_EQ(forms.back().Flags, FORM_USER);

  HANDLE user = Open(u"Office", PRINTER_ACCESS_USE);
  EXPECT_FALSE(DeleteFormW(user, const_cast<LPWSTR>(name.c_str())));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(DeleteFormW(h, const_cast<LPWSTR>(u"A4")));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(DeleteFormW(h, const_cast<LPWSTR>(name.c_str())));
}

}  // namespace
}  // namespace velm::platform
