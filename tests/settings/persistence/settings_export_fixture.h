// Two printers on the driver ("Velm Printer", "Velm Printer 2"), the shared settings folder in
// place, and helpers to write and read settings files as host bytes and to give every item of a
// set a value a fresh context does not hold.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "settings/persistence/options_fixture.h"
#include "settings/description/access.h"
#include "settings/services/help_language.h"
#include "settings/persistence/settings_export.h"
#include "settings/persistence/folders.h"
#include "settings/services/spooler_info.h"

class SettingsExportTest : public OptionPersistenceTest {
 protected:
  void SetUp() override {
    OptionPersistenceTest::SetUp();
    std::string error;
    velm::tools::PrinterOptions second;
    second.name = u"Velm Printer 2";
    ASSERT_TRUE(velm::tools::AddPrinter(second, &error)) << error;
    printer2_ = Open(u"Velm Printer 2");
    WCHAR shared[MAX_PATH];
    ASSERT_GT(PathReadSharedDirNoCtx(shared, MAX_PATH), 0u);
    std::filesystem::create_directories(Host(shared));
    std::filesystem::create_directories(Host(u"C:\\Settings"));
  }

  // A fresh context on `printer` whose system kind is 2, as on this system, and whose language
  // is 0, as the headers of the files written here say (a new record takes the help file's).
  DriverContext* Fresh(HANDLE printer) {
    DriverContext* c = Context(printer);
    if (c) OptSetValue(c, 716, 2);
    if (c) OptSetValue(c, kItemLanguageID, 0);
    return c;
  }

  static std::u16string PrinterName(DriverContext* c) { return PrnGetPrinterName(c); }

  static std::filesystem::path Host(const std::u16string& path) {
    velm::platform::MappedPath mapped;
    DWORD error = 0;
    EXPECT_TRUE(velm::platform::MapPath(path, mapped, error)) << error;
    return mapped.host;
  }
  static std::string Read(const std::u16string& path) { return velm::test::ReadHostFile(Host(path)); }
  static void Write(const std::u16string& path, const std::string& bytes) {
    velm::test::WriteHostFile(Host(path), bytes);
  }
  static std::u16string SharedFile(const WCHAR* name) {
    WCHAR path[MAX_PATH];
    EXPECT_GT(PathMakeSharedFile(name, path, MAX_PATH), 0u);
    return path;
  }

  // The item's stored bytes (a bit as one byte 0/1).
  static std::string Bytes(DriverContext* c, WORD id) {
    const ItemTableRow* row = Row(c, id);
    const int type = DescriptorType(row->descriptor);
    if (IsBitType(type)) return std::string(1, static_cast<char>(OptReadRaw(c, row)));
    const int width = type == kTypeS8 || type == kTypeU8 ? 1 : type == kTypeS16 || type == kTypeU16 ? 2 : 4;
    const size_t n = IsNumberType(type) ? width : DescriptorLength(row->descriptor);
    return std::string(reinterpret_cast<const char*>(OptGetItemAddress(c, row)), n);
  }

  // Gives every item of `ids` a value of its type that differs from a zeroed record's.
  static void Distinct(DriverContext* c, const std::vector<WORD>& ids) {
    for (WORD id : ids) {
      ItemTableRow* row = Row(c, id);
      const int type = DescriptorType(row->descriptor);
      if (IsBitType(type)) {
        OptWriteRaw(c, row, 1);
      } else if (IsNumberType(type)) {
        OptWriteRaw(c, row, 0x5A000000u + id * 7u + 3u);
      } else {
        const std::u16string text =
            u"v" + std::u16string(1, static_cast<char16_t>(u'a' + id % 26)) + std::u16string(id % 5, u'x');
        ASSERT_TRUE(OptSetString(c, row, text.c_str())) << id;
      }
    }
  }

  // Identifiers of rows 0..903 (every row with `all`) that are named, outside 430..858 and the font
  // lists 10004..10009 (whose handles must stay the record's own), and pass `keep`.
  static std::vector<WORD> Ids(DriverContext* c, const std::function<bool(const ItemTableRow&)>& keep,
                               bool all = false) {
    std::vector<WORD> ids;
    for (int i = 0; i < c->itemTable->count && (all || i <= 903); ++i) {
      const ItemTableRow& row = c->itemTable->rows[i];
      if ((row.id >= 430 && row.id <= 858) || (row.id >= 10004 && row.id <= 10009)) continue;
      if (row.name && keep(row)) ids.push_back(row.id);
    }
    return ids;
  }

  HANDLE printer2_ = nullptr;
  const std::u16string file_ = u"C:\\Settings\\office.rst";
};

// The four header lines of a section written by a context with language `language` and kind 2.
inline std::string HeaderLines(int language) {
  return "RstVersion=200\r\nRstMachine=130\r\nRstLanguage=" + std::to_string(language) + "\r\nRstOSKind=2\r\n";
}
