// The steps behind the exports, run in this process on contexts whose items the tests set: the
// handle a context holds, allocation failures, the resets of each mode, the fit-to-paper scale,
// the resolution reset of mode 4 and the custom paper size.
#include <gtest/gtest.h>

#include "api_fixture.h"
#include "settings/items/unit_conversion.h"

namespace velm::test {
namespace {

class ApiInternalsTest : public ApiContextTest {
 protected:
  DWORD Item(WORD id) { return OptGetValue(context_, id); }
  // Runs `mode` and answers whether it gave the devmode.
  bool Run(DWORD mode) { return ApiGetDevmode(context_, mode, nullptr) == static_cast<LONG>(kDmSize); }

  // A4 portrait at `dpi`, as source and output paper.
  static Items Page(DWORD dpi) { return {{7, 1}, {8, 9}, {50, 1024}, {14, dpi}, {42, dpi}, {43, dpi}}; }
};

TEST_F(ApiInternalsTest, ContextHoldsOnlyTheHandleItCameWith) {
  EXPECT_EQ(std::u16string(context_->work->printerName), u"Velm Printer");
  ASSERT_TRUE(Run(kApiModeCurrent));
  EXPECT_EQ(context_->printer, nullptr);
  EXPECT_EQ(context_->callerValue, 0u);
  // A constraint-query context gets its own handle back, open.
  HANDLE printer = Open();
  DriverContext* query = CtxCreate(printer, reinterpret_cast<ULONG_PTR>(printer), 0x100000);
  ASSERT_NE(query, nullptr);
  EXPECT_EQ(ApiGetDevmode(query, kApiModeCurrent, nullptr), static_cast<LONG>(kDmSize));
  EXPECT_EQ(query->printer, printer);
  DWORD size = 0;
  EXPECT_FALSE(GetPrinterW(printer, 2, nullptr, 0, &size));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  CtxDestroyEx(query, kReleaseDestroy);
  // Windows 9x devmodes are not built.
  ASSERT_TRUE(platform::SetMachineSetting("os", "me"));
  EXPECT_FALSE(Run(kApiModeCurrent));
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
}

TEST_F(ApiInternalsTest, AllocationFailuresLeaveNothingAndTheRecordAsItWas) {
  ASSERT_TRUE(Run(kApiModeDefaults));  // the font lists it loads stay with the record
  const uint64_t live = platform::LiveAllocationCount();
  bool lostSnapshot = false, refusedDefaults = false;
  for (uint64_t n = 1; n < 10000; ++n) {
    SetItems(context_, {{kProbeItem, kProbeValue}});
    const std::vector<BYTE> before(context_->settings->devmode.bytes, context_->settings->devmode.bytes + kDmSize);
    const uint64_t start = platform::AllocationCount();
    platform::SetAllocationFault(n);
    DriverContext* other = ApiEnable(kPrinter);
    const bool ran = Run(kApiModeDefaults);
    const bool reached = platform::AllocationCount() - start >= n;
    platform::SetAllocationFault(0);
    lostSnapshot |= other && !ApiGetLockSnapshot(other);
    ApiDisable(other);
    if (!ran) {
      refusedDefaults = true;
      EXPECT_EQ(std::memcmp(before.data(), context_->settings->devmode.bytes, kDmSize), 0) << n;
    }
    // A font list that could not be read stays empty; nothing is left over.
    EXPECT_LE(platform::LiveAllocationCount(), live) << n;
    if (!reached) break;
  }
  EXPECT_TRUE(lostSnapshot) << "a context without lock snapshot is still a context";
  EXPECT_TRUE(refusedDefaults);
  ASSERT_TRUE(Run(kApiModeDefaults));
  EXPECT_EQ(platform::LiveAllocationCount(), live);
}

TEST_F(ApiInternalsTest, EachModeResetsItsItems) {
  const Items marked = {{41, 3}, {185, 1}, {188, 33}, {40, 1}, {721, 1}};
  SetItems(context_, marked);
  CtxRaiseChangeMask(context_, 0x4000000);
  ASSERT_TRUE(Run(kApiModeRederived));
  EXPECT_EQ(Item(41), 3u);
  EXPECT_EQ(Item(188), 33u);
  EXPECT_EQ(Item(40) + Item(721), 0u);
  EXPECT_EQ(CtxGetChangeMask(context_) & 0x4000000, 0u);
  SetItems(context_, marked);
  ASSERT_TRUE(Run(kApiModeCurrent));
  EXPECT_EQ(static_cast<BYTE>(Item(41)), 255);
  EXPECT_EQ(Item(185) + Item(188) + Item(40) + Item(721), 0u);
  SetItems(context_, marked);
  ASSERT_TRUE(Run(kApiModeDefaults));
  EXPECT_EQ(static_cast<BYTE>(Item(41)), 255);
}

TEST_F(ApiInternalsTest, FitToPaperScaleIsTheSmallerRatioUnlessASideIsZero) {
  SetItems(context_, Page(600));
  SetItems(context_, {{50, 8}, {58, 1}, {90, 2}, {92, 100}, {93, 100}});  // A4 onto A3
  ASSERT_TRUE(Run(kApiModeRederived));
  EXPECT_EQ(Item(92), std::min(7016u * 100 / 4961, 9921u * 100 / 7016));
  EXPECT_EQ(Item(93), Item(92));
  // A source paper that cannot be derived and has no width has no ratio.
  SetItems(context_, {{8, 0}, {45, 0}, {92, 100}, {93, 100}});
  ASSERT_TRUE(Run(kApiModeRederived));
  EXPECT_EQ(Item(92), 100u);
}

TEST_F(ApiInternalsTest, Mode4PutsTheResolutionBackWhenThePageOrTheMemoryCannotTakeIt) {
  struct Case {
    const char* what;
    DWORD machine, dpi, scale, duplexUnit, card, memory, both;
    bool fits, reset;
  };
  // A4 at 300 percent is 42093 dots long: too long but at 600 dpi.
  const Case cases[] = {
      {"another machine, page too large", 131, 1200, 300, 0, 0, 0, 4, false, false},
      {"page too large at 1200 dpi", 130, 1200, 300, 0, 0, 0, 4, false, true},
      {"the page fits at 1200 dpi", 130, 1200, 100, 0, 0, 0, 4, true, false},
      {"600 dpi, no duplex unit", 130, 600, 300, 0, 0, 32, 4, true, false},
      {"duplex at the memory mark", 130, 600, 100, 1, 0, 32, 4, true, true},
      {"duplex above the memory mark", 130, 600, 100, 1, 0, 64, 4, true, false},
      {"duplex, resolution not 4", 130, 600, 100, 1, 0, 32, 2, true, false},
      {"card memory moves the mark", 130, 600, 100, 1, 1, 32, 4, true, false},
      {"duplex at the card's mark", 130, 600, 100, 1, 1, 160, 4, true, true},
  };
  for (const Case& c : cases) {
    SetItems(context_, Page(c.dpi));
    SetItems(context_, {{39, c.machine}, {58, 1}, {90, 3}, {92, c.scale}, {93, c.scale}, {10014, c.duplexUnit},
                        {61, 1}, {299, c.card}, {10063, c.card}, {10012, c.memory}, {248, c.both}, {885, 7}});
    ASSERT_TRUE(Run(kApiModeRederived)) << c.what;
    EXPECT_EQ(Item(42), c.reset ? 600u : c.dpi) << c.what;
    EXPECT_EQ(Item(43), Item(42)) << c.what;
    EXPECT_EQ(Item(14), Item(42)) << c.what;
    EXPECT_EQ(Item(248), c.reset ? 3u : c.both) << c.what;
    // The resolution rules run, under the prompt flag, for a page that fits.
    EXPECT_EQ(Item(885), c.fits ? 0u : 7u) << c.what;
  }
}

TEST_F(ApiInternalsTest, MarkedCustomSizeOutlivesThePapersReDerivation) {
  SetItems(context_, Page(600));
  const DWORD marked = DM_PAPERLENGTH | DM_PAPERWIDTH;
  SetItems(context_, {{6, 0}, {9, 1234}, {10, 567}});
  ApiRederivePaper(context_);
  EXPECT_EQ(Item(9), 2970u) << "unmarked: A4's own length";
  SetItems(context_, {{6, marked}, {9, 1234}, {10, 567}});
  ApiRederivePaper(context_);
  EXPECT_EQ(Item(9), 1234u);
  EXPECT_EQ(Item(6) & marked, marked);
  EXPECT_EQ(Item(44), 7016u);
  // As the paper, the custom size gives the source paper its geometry in every devmode.
  SetItems(context_, {{8, 256}, {6, marked}, {9, 2000}, {10, 1500}});
  ASSERT_TRUE(Run(kApiModeRederived));
  EXPECT_EQ(Item(9), 2000u);
  EXPECT_EQ(Item(44), DmTenthMmToDots(2000, 600));
  EXPECT_EQ(Item(45), DmTenthMmToDots(1500, 600));
}

TEST_F(ApiInternalsTest, LevelKeptAndItsIniPath) {
  WriteHostFile(root_.OnDriveC("_velm/qnset.ini"), "[VELMAPI]\r\nVELMAPIVer=2\r\n");
  EXPECT_EQ(ApiCheckVersion(kPrinter), 2);
  EXPECT_EQ(ApiCheckVersion(""), 0);
  EXPECT_EQ(ApiGetLevel(), 2);
  ModelDefaults defaults = kModelDefaults;
  defaults.settingsIniName = u"D:\\conf\\qnset.ini";
  WCHAR path[MAX_PATH];
  ASSERT_GT(ApiGetLevelIniPath(defaults, path, MAX_PATH), 0u);
  EXPECT_EQ(std::u16string(path), u"D:\\conf\\qnset.ini");
  EXPECT_EQ(ApiGetLevelIniPath(defaults, path, 10), 0u) << "a path cut short is no path";
  // The function switches beside the level, in the driver INI.
  WriteHostFile(root_.OnDriveC("Windows/System32/spool/drivers/w32x86/3/qndrv.ini"), "[VELMAPI]\r\nVELMAPIFunc1=258\r\n");
  EXPECT_EQ(ApiReadFunctionSwitches(context_), 258u);
}

}  // namespace
}  // namespace velm::test
