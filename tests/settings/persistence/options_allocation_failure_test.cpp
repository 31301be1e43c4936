// Loads that run out of memory: they fail, and no default read in place of a stored value is
// ever saved over it.
#include "core/memory.h"
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

}  // namespace
