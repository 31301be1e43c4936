// Loads and saves that run out of memory: they fail, no default read in place of a stored value
// is ever saved over it, and a save cut short leaves each stored setting as it was or as saved.
#include <map>
#include <sstream>

#include "core/memory.h"
#include "data/item_ids.h"
#include "settings/devmode/merge.h"
#include "settings/persistence/options_fixture.h"

namespace {

constexpr WORD kOverlayPath = 875;  // ANSI 521 "OverlayDataPath"

// A stored path longer than the item holds, with other settings around it.
const std::string& LongPathIni() {
  static const std::string text =
      "[Velm Printer]\r\nPrnMethod=3\r\nOverlayDataPath=C:\\" + std::string(3000, 'p') + "\r\nFrontFunc=7\r\n";
  return text;
}

std::string OverlayLine(const std::string& text) {
  const size_t at = text.find("OverlayDataPath=");
  if (at == std::string::npos) return "";
  return text.substr(at, text.find("\r\n", at) - at);
}

TEST_F(OptionPersistenceTest, ALoadWithoutMemoryFailsAndKeepsTheItem) {
  DriverContext* c = Context(printer_);
  c->work->kind = kKindOrdinary;
  WriteIni(c, LongPathIni());
  OptSetString(c, Row(c, kOverlayPath), u"before");
  velm::platform::SetAllocationFault(1);
  EXPECT_EQ(CfgLoad(printer_, kCfgLoadSettings, c), 0);
  velm::platform::SetAllocationFault(0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  WCHAR path[8];
  OptGetString(c, Row(c, kOverlayPath), path, 8);
  EXPECT_EQ(std::u16string(path), u"before");
  // With memory the same load reads the path, cut to the item.
  ASSERT_EQ(CfgLoad(printer_, kCfgLoadSettings, c), 1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(OptGetItemAddress(c, Row(c, kOverlayPath))), 4), "C:\\p");
}

// Opens a context with each allocation of the open failing in turn and saves whatever opened:
// an open either fails with ERROR_NOT_ENOUGH_MEMORY or saves what an open with memory saves.
TEST_F(OptionPersistenceTest, NoOpenWithoutMemorySavesADefaultOverTheStoredValue) {
  const std::filesystem::path ini = Ini(Context(printer_));
  velm::test::WriteHostFile(ini, LongPathIni());
  const uint64_t before = velm::platform::AllocationCount();
  DriverContext* whole = CtxCreateEx(printer_, 0, kKindOrdinary, 0, 0, nullptr);
  const uint64_t total = velm::platform::AllocationCount() - before;
  ASSERT_NE(whole, nullptr);
  ASSERT_EQ(CfgSave(printer_, whole), 1);
  CtxDestroyEx(whole, kReleaseDestroy);
  const std::string saved = velm::test::ReadHostFile(ini);
  ASSERT_EQ(OverlayLine(saved).size(), std::string("OverlayDataPath=").size() + 520);

  int failed = 0;
  for (uint64_t n = 1; n <= total; ++n) {
    velm::test::WriteHostFile(ini, LongPathIni());
    velm::platform::SetAllocationFault(n);
    DriverContext* context = CtxCreateEx(printer_, 0, kKindOrdinary, 0, 0, nullptr);
    velm::platform::SetAllocationFault(0);
    if (!context) {
      ++failed;
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY)) << "allocation " << n;
      // The open may have stored the job-action word it migrated, never anything it did not read.
      EXPECT_EQ(OverlayLine(velm::test::ReadHostFile(ini)), OverlayLine(LongPathIni())) << "allocation " << n;
      continue;
    }
    EXPECT_EQ(CfgSave(printer_, context), 1) << "allocation " << n;
    CtxDestroyEx(context, kReleaseDestroy);
    EXPECT_EQ(OverlayLine(velm::test::ReadHostFile(ini)), OverlayLine(saved)) << "allocation " << n;
  }
  EXPECT_GT(failed, 0);
}

// A merge that reloads the stored settings, each allocation failing in turn, then a save: a
// merge either fails with ERROR_NOT_ENOUGH_MEMORY, or the save writes the path it read.
TEST_F(OptionPersistenceTest, NoMergeWithoutMemorySavesADefaultOverTheStoredValue) {
  const std::filesystem::path ini = Ini(Context(printer_));
  velm::test::WriteHostFile(ini, LongPathIni());
  DriverContext* c = CtxCreateEx(printer_, 0, kKindOrdinary, 0, 0, nullptr);
  ASSERT_NE(c, nullptr);
  contexts_.push_back(c);
  const DWORD flags = kMergeInterface | kMergeUpdate | kMergeReloadStored;
  ASSERT_EQ(CfgSave(printer_, c), 1);
  const std::string saved = OverlayLine(velm::test::ReadHostFile(ini));
  const uint64_t before = velm::platform::AllocationCount();
  ASSERT_EQ(DmMerge(c, nullptr, flags), 1);
  const uint64_t total = velm::platform::AllocationCount() - before;

  int failed = 0;
  for (uint64_t n = 1; n <= total; ++n) {
    velm::test::WriteHostFile(ini, LongPathIni());
    OptSetString(c, Row(c, kOverlayPath), u"");
    velm::platform::SetAllocationFault(n);
    const int merged = DmMerge(c, nullptr, flags);
    velm::platform::SetAllocationFault(0);
    if (!merged) {
      ++failed;
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY)) << "allocation " << n;
      continue;
    }
    ASSERT_EQ(CfgSave(printer_, c), 1) << "allocation " << n;
    EXPECT_EQ(OverlayLine(velm::test::ReadHostFile(ini)), saved) << "allocation " << n;
  }
  EXPECT_GT(failed, 0);
}

// The INI's keys by "section/key", each with its value.
std::map<std::string, std::string> IniKeys(const std::string& text) {
  std::map<std::string, std::string> keys;
  std::istringstream lines(text);
  std::string line, section;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line.front() == '[') {
      section = line;
    } else if (const size_t equals = line.find('='); equals != std::string::npos) {
      keys[section + "/" + line.substr(0, equals)] = line.substr(equals + 1);
    }
  }
  return keys;
}

// The printer's data values by name.
std::map<std::u16string, std::string> PrinterData(HANDLE printer) {
  std::map<std::u16string, std::string> values;
  for (DWORD index = 0;; ++index) {
    WCHAR name[256];
    BYTE data[4096];
    DWORD nameBytes = 0, type = 0, dataBytes = 0;
    if (EnumPrinterDataW(printer, index, name, sizeof name, &nameBytes, &type, data, sizeof data, &dataBytes) !=
        ERROR_SUCCESS)
      break;
    values[name] = std::string(reinterpret_cast<char*>(data), dataBytes);
  }
  return values;
}

// Every setting that was stored is still there, holding what was stored or what the save
// writes; nothing else appears. True when `after` is all that the save writes.
template <class Key>
bool EachKeyStoredOrSaved(const std::map<Key, std::string>& stored, const std::map<Key, std::string>& saved,
                          const std::map<Key, std::string>& after, uint64_t n) {
  for (const auto& [key, value] : stored) EXPECT_EQ(after.count(key), 1u) << "allocation " << n;
  for (const auto& [key, value] : after) {
    const auto was = stored.find(key), is = saved.find(key);
    EXPECT_TRUE((was != stored.end() && was->second == value) || (is != saved.end() && is->second == value))
        << "allocation " << n;
  }
  return after == saved;
}

// A save of every section (the INI and the printer data) with each allocation failing in turn,
// over stored settings that differ from the context's: no stored setting is lost or replaced by
// a default, settings the driver does not own are kept, and a save that did not write
// everything answers 0 with ERROR_NOT_ENOUGH_MEMORY.
TEST_F(OptionPersistenceTest, NoSaveWithoutMemoryLosesAStoredSetting) {
  constexpr DWORD kEveryRow = 0x80000000;  // not only the rows that differ from the saved copy
  const std::filesystem::path ini = Ini(Context(printer_));
  const std::string storedIni = LongPathIni() + "[Other Program]\r\nKeep=1\r\n";
  velm::test::WriteHostFile(ini, storedIni);
  DriverContext* c = CtxCreateEx(printer_, 0, kKindOrdinary, 0, 0, nullptr);
  ASSERT_NE(c, nullptr);
  contexts_.push_back(c);
  ASSERT_EQ(CfgSaveClass(printer_, c, kCfgAllSections, kEveryRow), 1);
  const std::map<std::u16string, std::string> storedData = PrinterData(printer_);
  OptSetString(c, Row(c, kItemOvlPath), u"C:\\new");
  OptSetValue(c, kItemPrnMethod, 2);
  OptSetValue(c, kItemFrontFunc, 0x80);
  for (const ItemTableRow* row = c->itemTable->rows; row < c->itemTable->rows + c->itemTable->count; ++row) {
    if (DescriptorSection(row->descriptor) == kSectionConfig && row->storage == kStorageDevmode &&
        DescriptorType(row->descriptor) == kTypeU8)
      OptSetValue(c, row->id, OptGetValue(c, row->id) ^ 1);
  }

  const uint64_t before = velm::platform::AllocationCount();
  ASSERT_EQ(CfgSaveClass(printer_, c, kCfgAllSections, kEveryRow), 1);
  const uint64_t total = velm::platform::AllocationCount() - before;
  const std::map<std::string, std::string> savedIni = IniKeys(velm::test::ReadHostFile(ini));
  const std::map<std::u16string, std::string> savedData = PrinterData(printer_);
  ASSERT_EQ(savedIni.at("[Velm Printer]/OverlayDataPath"), "C:\\new");
  ASSERT_NE(savedData, storedData);

  // The whole save, and CfgSave (the INI only), each allocation failing in turn.
  struct Save {
    const char* name;
    int (*save)(HANDLE, DriverContext*);
    bool printerData;
  };
  const Save saves[] = {
      {"every section", [](HANDLE p, DriverContext* c) { return CfgSaveClass(p, c, kCfgAllSections, kEveryRow); },
       true},
      {"CfgSave", CfgSave, false},
  };
  int failed = 0;
  for (const Save& save : saves) {
    for (uint64_t n = 1; n <= total; ++n) {
      velm::test::WriteHostFile(ini, storedIni);
      for (const auto& [name, bytes] : storedData) {
        Value was = Data(name);
        ASSERT_EQ(was.error, DWORD{ERROR_SUCCESS});
        SetData(name, was.type, bytes);
      }
      SetLastError(ERROR_SUCCESS);
      velm::platform::SetAllocationFault(n);
      const int answer = save.save(printer_, c);
      velm::platform::SetAllocationFault(0);
      const DWORD error = GetLastError();
      const bool wholeIni =
          EachKeyStoredOrSaved(IniKeys(storedIni), savedIni, IniKeys(velm::test::ReadHostFile(ini)), n);
      const bool wholeData = EachKeyStoredOrSaved(storedData, save.printerData ? savedData : storedData,
                                                  PrinterData(printer_), n);
      if (answer == 1) {
        EXPECT_TRUE(wholeIni && wholeData) << save.name << ", allocation " << n << " answered 1 but did not save";
      } else {
        ++failed;
        EXPECT_EQ(error, DWORD{ERROR_NOT_ENOUGH_MEMORY}) << save.name << ", allocation " << n;
      }
    }
  }
  EXPECT_GT(failed, 0);
}

}  // namespace
