#include <sys/wait.h>
#include <unistd.h>

#include "spool_fixture.h"

namespace velm::platform {
namespace {

struct Value {
  DWORD type = 0;
  std::vector<BYTE> bytes;
};

// Reads a value through the size protocol; the error code of the second call.
DWORD Read(HANDLE h, const std::u16string& name, Value& out) {
  DWORD needed = 0;
  DWORD error = GetPrinterDataW(h, const_cast<LPWSTR>(name.c_str()), &out.type, nullptr, 0, &needed);
  if (error != ERROR_MORE_DATA && error != ERROR_SUCCESS) return error;
  out.bytes.assign(needed, 0xEE);
  return GetPrinterDataW(h, const_cast<LPWSTR>(name.c_str()), &out.type, out.bytes.data(), needed, &needed);
}

DWORD Write(HANDLE h, const std::u16string& name, DWORD type, const void* data, DWORD size) {
  return SetPrinterDataW(h, const_cast<LPWSTR>(name.c_str()), type, const_cast<LPBYTE>(static_cast<const BYTE*>(data)), size);
}

TEST_F(SpoolTest, TypedValuesComeBackWithTheirTypeAndExactSize) {
  HANDLE h = Open(u"Office");
  const BYTE one = 7;
  const uint16_t two = 0x1234;
  const uint32_t four = 0xCAFEF00D;
  std::vector<BYTE> row(64);
  for (size_t i = 0; i < row.size(); ++i) row[i] = static_cast<BYTE>(i);
  const std::u16string help = u"qnresfr.hlp";  // REG_SZ with its NUL: 24 bytes
  const char16_t multi[] = u"a\0bc\0";       // REG_MULTI_SZ: "a", "bc", end
  struct Case {
    std::u16string name;
    DWORD type;
    const void* data;
    DWORD size;
  } cases[] = {
      {u"Byte", kRegBinary, &one, 1},           {u"DeviceFontNum", kRegBinary, &two, 2},
      {u"vdmLogging", kRegDword, &four, 4},     {u"TTFontTable1", kRegBinary, row.data(), 64},
      {u"HelpFileName", kRegSz, help.c_str(), static_cast<DWORD>((help.size() + 1) * 2)},
      {u"Names", kRegMultiSz, multi, sizeof multi},
      {u"Empty", kRegBinary, nullptr, 0},
  };
  for (const Case& c : cases) ASSERT_EQ(Write(h, c.name, c.type, c.data, c.size), ERROR_SUCCESS) << Utf16ToUtf8(c.name);
  // A second handle (as another library of the driver would open) sees the same values.
  HANDLE other = Open(u"Office", PRINTER_ACCESS_USE);
  for (const Case& c : cases) {
    Value v;
    ASSERT_EQ(Read(other, c.name, v), ERROR_SUCCESS);
    EXPECT_EQ(v.type, c.type);
    ASSERT_EQ(v.bytes.size(), c.size);
    if (c.size) {
      EXPECT_EQ(std::memcmp(v.bytes.data(), c.data, c.size), 0);
    }
  }
  // Rewriting a value replaces its type and size.
  ASSERT_EQ(Write(h, u"TTFontTable1", kRegBinary, &two, 2), ERROR_SUCCESS);
  Value v;
  ASSERT_EQ(Read(h, u"ttfonttable1", v), ERROR_SUCCESS);
  EXPECT_EQ(v.bytes.size(), 2u);
}

TEST_F(SpoolTest, AShortBufferAsksForMoreAndAnAbsentValueIsNotFound) {
  HANDLE h = Open(u"Office");
  const uint32_t four = 42;
  ASSERT_EQ(Write(h, u"Count", kRegBinary, &four, 4), ERROR_SUCCESS);
  BYTE small[3] = {9, 9, 9};
  DWORD type = 0, needed = 0;
  EXPECT_EQ(GetPrinterDataW(h, const_cast<LPWSTR>(u"Count"), &type, small, sizeof small, &needed), ERROR_MORE_DATA);
  EXPECT_EQ(needed, 4u);
  EXPECT_EQ(small[0], 9);  // nothing written
  needed = 77;
  EXPECT_EQ(GetPrinterDataW(h, const_cast<LPWSTR>(u"Missing"), &type, small, sizeof small, &needed), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetPrinterDataW(h, const_cast<LPWSTR>(u"Count"), &type, small, sizeof small, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(GetPrinterDataW(h, const_cast<LPWSTR>(u"Count"), &type, nullptr, 4, &needed), ERROR_INVALID_PARAMETER);
}

TEST_F(SpoolTest, OnlyAdministerHandlesChangePrinterData) {
  HANDLE admin = Open(u"Office");
  HANDLE user = Open(u"Office", PRINTER_ACCESS_USE);
  const BYTE flag = 1;
  ASSERT_EQ(Write(admin, u"BidiFlag", kRegBinary, &flag, 1), ERROR_SUCCESS);
  Value v;
  EXPECT_EQ(Read(user, u"BidiFlag", v), ERROR_SUCCESS);
  EXPECT_EQ(Write(user, u"BidiFlag", kRegBinary, &flag, 1), ERROR_ACCESS_DENIED);
  EXPECT_EQ(DeletePrinterDataW(user, const_cast<LPWSTR>(u"BidiFlag")), ERROR_ACCESS_DENIED);
  EXPECT_EQ(DeletePrinterDataW(admin, const_cast<LPWSTR>(u"BidiFlag")), ERROR_SUCCESS);
  EXPECT_EQ(DeletePrinterDataW(admin, const_cast<LPWSTR>(u"BidiFlag")), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Read(user, u"BidiFlag", v), ERROR_FILE_NOT_FOUND);
}

TEST_F(SpoolTest, KeysKeepTheirValuesApart) {
  HANDLE h = Open(u"Office");
  uint32_t a = 1, b = 2;
  ASSERT_EQ(SetPrinterDataExW(h, u"Velm\\Saved", u"Mode", kRegDword, reinterpret_cast<BYTE*>(&a), 4),
            ERROR_SUCCESS);
  ASSERT_EQ(SetPrinterDataW(h, const_cast<LPWSTR>(u"Mode"), kRegDword, const_cast<LPBYTE>(reinterpret_cast<const BYTE*>(&b)), 4), ERROR_SUCCESS);
  uint32_t got = 0;
  DWORD type = 0, needed = 0;
  ASSERT_EQ(GetPrinterDataExW(h, u"velm\\saved", u"Mode", &type, reinterpret_cast<BYTE*>(&got), 4, &needed),
            ERROR_SUCCESS);
  EXPECT_EQ(got, a);
  ASSERT_EQ(GetPrinterDataExW(h, u"PrinterDriverData", u"Mode", &type, reinterpret_cast<BYTE*>(&got), 4, &needed),
            ERROR_SUCCESS);
  EXPECT_EQ(got, b);
  EXPECT_EQ(DeletePrinterDataExW(h, u"Velm\\Saved", u"Mode"), ERROR_SUCCESS);
  EXPECT_EQ(GetPrinterDataW(h, const_cast<LPWSTR>(u"Mode"), &type, reinterpret_cast<BYTE*>(&got), 4, &needed), ERROR_SUCCESS);
  EXPECT_EQ(SetPrinterDataExW(h, u"", u"Mode", kRegDword, reinterpret_cast<BYTE*>(&a), 4),
            ERROR_INVALID_PARAMETER);
}

TEST_F(SpoolTest, EnumPrinterDataSizesOnceThenWalksEveryValue) {
  HANDLE h = Open(u"Office");
  std::vector<BYTE> big(100, 5);
  BYTE small = 1;
  ASSERT_EQ(Write(h, u"A", kRegBinary, &small, 1), ERROR_SUCCESS);
  ASSERT_EQ(Write(h, u"LongerName", kRegBinary, big.data(), 100), ERROR_SUCCESS);
  ASSERT_EQ(SetPrinterDataExW(h, u"Other", u"Hidden", kRegBinary, &small, 1), ERROR_SUCCESS);
  DWORD nameBytes = 0, dataBytes = 0, type = 0;
  ASSERT_EQ(EnumPrinterDataW(h, 0, nullptr, 0, &nameBytes, &type, nullptr, 0, &dataBytes), ERROR_SUCCESS);
  EXPECT_EQ(nameBytes, sizeof(u"LongerName"));
  EXPECT_EQ(dataBytes, 100u);
  std::vector<char16_t> name(nameBytes / 2);
  std::vector<BYTE> data(dataBytes);
  std::vector<std::u16string> seen;
  DWORD index = 0;
  DWORD error;
  while ((error = EnumPrinterDataW(h, index, name.data(), nameBytes, &nameBytes, &type, data.data(), dataBytes,
                                   &dataBytes)) == ERROR_SUCCESS) {
    seen.push_back(name.data());
    ++index;
    nameBytes = static_cast<DWORD>(name.size() * 2);
    dataBytes = static_cast<DWORD>(data.size());
  }
  EXPECT_EQ(error, ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(seen, (std::vector<std::u16string>{u"A", u"LongerName"}));
  char16_t tiny[2];
  EXPECT_EQ(EnumPrinterDataW(h, 1, tiny, sizeof tiny, &nameBytes, &type, data.data(), 100, &dataBytes),
            ERROR_MORE_DATA);
  EXPECT_EQ(nameBytes, sizeof(u"LongerName"));
}

TEST_F(SpoolTest, WritersInSeveralProcessesLoseNothing) {
  constexpr int kChildren = 3;
  constexpr int kValuesEach = 25;
  pid_t children[kChildren];
  for (int c = 0; c < kChildren; ++c) {
    children[c] = ::fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      HANDLE h = nullptr;
      PRINTER_DEFAULTSW all{nullptr, nullptr, PRINTER_ALL_ACCESS};
      int failures = OpenPrinterW(const_cast<LPWSTR>(u"Office"), &h, &all) ? 0 : 1;
      for (int i = 0; i < kValuesEach; ++i) {
        const uint32_t v = static_cast<uint32_t>(c * 1000 + i);
        const std::u16string name = u"P" + Utf8ToUtf16(std::to_string(c)) + u"_" + Utf8ToUtf16(std::to_string(i));
        failures += SetPrinterDataW(h, const_cast<LPWSTR>(name.c_str()), kRegBinary, const_cast<LPBYTE>(reinterpret_cast<const BYTE*>(&v)), 4) != 0;
      }
      ::_exit(failures == 0 ? 0 : 1);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  HANDLE h = Open(u"Office");
  for (int c = 0; c < kChildren; ++c)
    for (int i = 0; i < kValuesEach; ++i) {
      Value v;
      const std::u16string name = u"P" + Utf8ToUtf16(std::to_string(c)) + u"_" + Utf8ToUtf16(std::to_string(i));
      ASSERT_EQ(Read(h, name, v), ERROR_SUCCESS) << c << " " << i;
      uint32_t got = 0;
      std::memcpy(&got, v.bytes.data(), 4);
      EXPECT_EQ(got, static_cast<uint32_t>(c * 1000 + i));
    }
}

}  // namespace
}  // namespace velm::platform
