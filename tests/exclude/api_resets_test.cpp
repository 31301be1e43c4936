// The steps behind the devmodes, run in this process on an application context whose items the
// tests set first: the common resets, the fit-to-paper scale, the resolution reset of mode 4, the
// paper's re-derivation with a custom size, and a rebuild that fails.
#include <gtest/gtest.h>

#include <cstring>

#include "api_fixture.h"
#include "settings/settings_history.h"
#include "settings/unit_conversion.h"

namespace velm::test {
namespace {

class ApiResetsTest : public ApiTest {
 protected:
  void SetUp() override {
    ApiTest::SetUp();
    context_ = ApiEnable(kPrinter);
    ASSERT_NE(context_, nullptr);
  }
  void TearDown() override {
    ApiDisable(context_);
    ApiTest::TearDown();
  }
  void SetItems(const std::vector<std::pair<WORD, DWORD>>& items) {
    for (const auto& [id, value] : items) ASSERT_TRUE(OptSetValue(context_, id, value)) << id;
  }
  DWORD Item(WORD id) { return OptGetValue(context_, id); }

  // A4 portrait at `dpi`, as source and output paper.
  std::vector<std::pair<WORD, DWORD>> Page(DWORD dpi) {
    return {{7, 1}, {8, 9}, {50, 1024}, {14, dpi}, {42, dpi}, {43, dpi}};
  }

  DriverContext* context_ = nullptr;
};

TEST_F(ApiResetsTest, EachModeResetsItsItems) {
  const std::vector<std::pair<WORD, DWORD>> marked = {{41, 3}, {185, 1}, {188, 33}, {40, 1}, {721, 1}};
  SetItems(marked);
  CtxRaiseChangeMask(context_, 0x4000000);
  ASSERT_FALSE(Devmode(context_, kApiModeRederived).empty());
  EXPECT_EQ(Item(41), 3u);
  EXPECT_EQ(Item(185), 1u);
  EXPECT_EQ(Item(188), 33u);
  EXPECT_EQ(Item(40), 0u);
  EXPECT_EQ(Item(721), 0u);
  EXPECT_EQ(CtxGetChangeMask(context_) & 0x4000000, 0u);

  SetItems(marked);
  ASSERT_FALSE(Devmode(context_, kApiModeCurrent).empty());
  EXPECT_EQ(static_cast<BYTE>(Item(41)), 255);
  EXPECT_EQ(Item(185), 0u);
  EXPECT_EQ(Item(188), 0u);
  EXPECT_EQ(Item(40), 0u);
  EXPECT_EQ(Item(721), 0u);

  SetItems(marked);
  ASSERT_FALSE(Devmode(context_, kApiModeDefaults).empty());
  EXPECT_EQ(static_cast<BYTE>(Item(41)), 255);
  EXPECT_EQ(Item(40), 0u);
  EXPECT_EQ(DmHistoryDepth(context_), 0u) << "the quality list's history copy is popped";
}

TEST_F(ApiResetsTest, DevmodeHandedOutIsTheContextsRecord) {
  SetItems(Page(600));
  SetItems({{kProbeItem, kProbeValue}});
  const std::vector<BYTE> devmode = Devmode(context_, kApiModeRederived);
  ASSERT_EQ(devmode.size(), kDmSize);
  EXPECT_EQ(std::memcmp(devmode.data(), context_->settings->devmode.bytes, kDmSize), 0);
  EXPECT_EQ(ItemOf(devmode, kProbeItem), kProbeValue);
  // A size query does the same work.
  OptSetValue(context_, 40, 1);
  EXPECT_EQ(ApiGetDevmode(context_, kApiModeRederived, nullptr), static_cast<LONG>(kDmSize));
  EXPECT_EQ(Item(40), 0u);
}

TEST_F(ApiResetsTest, FitToPaperScaleIsTheSmallerRatioOfOutputToSource) {
  SetItems(Page(600));
  SetItems({{50, 8}, {58, 1}, {90, 2}, {92, 100}, {93, 100}});  // A4 onto A3
  ASSERT_FALSE(Devmode(context_, kApiModeRederived).empty());
  ASSERT_EQ(Item(45), 4961u);
  ASSERT_EQ(Item(52), 7016u);
  EXPECT_EQ(Item(92), 7016u * 100 / 4961);
  EXPECT_EQ(Item(93), 9921u * 100 / 7016);

  // Only fit to paper (scale type 2) with scale on.
  SetItems({{90, 3}, {92, 100}, {93, 100}});
  ASSERT_FALSE(Devmode(context_, kApiModeRederived).empty());
  EXPECT_EQ(Item(92), 100u);
  SetItems({{58, 0}, {90, 2}});
  ASSERT_FALSE(Devmode(context_, kApiModeRederived).empty());
  EXPECT_EQ(Item(92), 100u);

  // A source paper without width or length has no ratio: the scale stays.
  SetItems({{58, 1}, {8, 0}, {45, 0}});
  ASSERT_FALSE(Devmode(context_, kApiModeRederived).empty());
  EXPECT_EQ(Item(92), 100u);
  EXPECT_EQ(Item(93), 100u);
}

// ---- Mode 4: the resolution reset -----------------------------------------------------------------

// A4 scaled to 300 percent does not fit at 1200 dpi (its scaled length is 42093 dots).
std::vector<std::pair<WORD, DWORD>> Oversized() { return {{58, 1}, {90, 3}, {92, 300}, {93, 300}}; }

TEST_F(ApiResetsTest, OtherMachinesKeepTheirResolution) {
  SetItems(Page(1200));
  SetItems(Oversized());
  SetItems({{248, 4}});
  for (DWORD machine : {0u, 129u, 131u}) {
    SetItems({{39, machine}});
    ASSERT_FALSE(Devmode(context_, kApiModeRederived).empty());
    EXPECT_EQ(Item(42), 1200u) << machine;
    EXPECT_EQ(Item(43), 1200u) << machine;
    EXPECT_EQ(Item(248), 4u) << machine;
    EXPECT_EQ(ApiResolutionResetNeeded(context_), 0) << machine;
  }
}

TEST_F(ApiResetsTest, PageTooLargeForTheResolutionGoesBackTo600) {
  SetItems(Page(1200));
  SetItems(Oversized());
  SetItems({{39, 130}, {248, 4}, {885, 7}});
  EXPECT_FALSE(ApiCheckPaperDots(context_));
  ASSERT_FALSE(Devmode(context_, kApiModeRederived).empty());
  EXPECT_EQ(Item(42), 600u);
  EXPECT_EQ(Item(43), 600u);
  EXPECT_EQ(Item(14), 600u);
  EXPECT_EQ(Item(248), 3u);
  EXPECT_EQ(Item(885), 7u) << "the resolution rules run only for a page that fits";

  // Unscaled the page fits at 1200 dpi and nothing changes (no duplex unit).
  SetItems(Page(1200));
  SetItems({{58, 0}, {248, 4}});
  EXPECT_TRUE(ApiCheckPaperDots(context_));
  ASSERT_FALSE(Devmode(context_, kApiModeRederived).empty());
  EXPECT_EQ(Item(42), 1200u);
  EXPECT_EQ(Item(248), 4u);
  EXPECT_EQ(Item(885), 0u);
}

TEST_F(ApiResetsTest, At600TheResolutionStaysWithoutDuplexUnit) {
  SetItems(Page(600));
  SetItems(Oversized());
  SetItems({{39, 130}, {248, 4}, {10014, 0}, {61, 1}, {10012, 32}});
  EXPECT_TRUE(ApiCheckPaperDots(context_)) << "600 dpi is never too much";
  ASSERT_FALSE(Devmode(context_, kApiModeRederived).empty());
  EXPECT_EQ(Item(42), 600u);
  EXPECT_EQ(Item(248), 4u);
}

TEST_F(ApiResetsTest, DuplexAtTheMemoryMarkLeavesTheHighResolution) {
  SetItems(Page(600));
  SetItems({{39, 130}, {10014, 1}, {61, 1}});
  struct Case {
    DWORD cardSupported, cardInstalled, memory, both, duplexOn;
    int reset;
  };
  const Case cases[] = {
      {0, 0, 32, 4, 1, 1},   {0, 0, 64, 4, 1, 0},  {0, 0, 32, 3, 1, 0},  {0, 0, 32, 4, 0, 0},
      {1, 0, 32, 4, 1, 1},   {0, 1, 32, 4, 1, 1},  {1, 1, 32, 4, 1, 0},  {1, 1, 160, 4, 1, 1},
  };
  for (const Case& c : cases) {
    SetItems({{299, c.cardSupported}, {10063, c.cardInstalled}, {10012, c.memory}, {248, c.both}, {61, c.duplexOn}});
    EXPECT_EQ(ApiResolutionResetNeeded(context_), c.reset)
        << c.cardSupported << c.cardInstalled << " memory " << c.memory << " 248=" << c.both << " duplex " << c.duplexOn;
  }
  SetItems({{299, 1}, {10063, 1}, {10012, 160}, {248, 4}, {61, 1}});
  ASSERT_FALSE(Devmode(context_, kApiModeRederived).empty());
  EXPECT_EQ(Item(248), 3u);
  EXPECT_EQ(Item(42), 600u);
}

// ---- The finisher fix-up ----------------------------------------------------------------------------

TEST_F(ApiResetsTest, CollateIsSortOn) {
  SetItems(Page(600));
  SetItems({{64, 1}, {19, 0}});
  ASSERT_FALSE(Devmode(context_, kApiModeRederived).empty());
  EXPECT_EQ(Item(19), 1u);
  SetItems({{64, 0}, {19, 1}});
  ASSERT_FALSE(Devmode(context_, kApiModeCurrent).empty());
  EXPECT_EQ(Item(19), Item(64) != 0 ? 1u : 0u);
}

TEST_F(ApiResetsTest, PaperReDerivationKeepsAMarkedCustomSize) {
  SetItems(Page(600));
  const DWORD fields = Item(6) & ~(DM_PAPERLENGTH | DM_PAPERWIDTH);
  const DWORD marked = fields | DM_PAPERLENGTH | DM_PAPERWIDTH;
  // Unmarked: A4's own size.
  SetItems({{6, fields}, {9, 1234}, {10, 567}});
  ApiRederivePaper(context_);
  EXPECT_EQ(Item(9), 2970u);
  EXPECT_EQ(Item(10), 2100u);
  EXPECT_EQ(Item(44), 7016u);
  // Marked: the fields stay, and the source paper is still A4.
  SetItems({{6, marked}, {9, 1234}, {10, 567}});
  ApiRederivePaper(context_);
  EXPECT_EQ(Item(9), 1234u);
  EXPECT_EQ(Item(10), 567u);
  EXPECT_EQ(Item(6) & marked, marked);
  EXPECT_EQ(Item(44), 7016u);

  // The custom size as the paper: a devmode of any mode takes its geometry from the fields.
  SetItems({{8, 256}, {6, marked}, {9, 2000}, {10, 1500}});
  ASSERT_FALSE(Devmode(context_, kApiModeRederived).empty());
  EXPECT_EQ(Item(9), 2000u);
  EXPECT_EQ(Item(10), 1500u);
  EXPECT_EQ(Item(6) & marked, marked);
  EXPECT_EQ(Item(44), DmTenthMmToDots(2000, 600));
  EXPECT_EQ(Item(45), DmTenthMmToDots(1500, 600));
}

// ---- Failures -------------------------------------------------------------------------------------

TEST_F(ApiResetsTest, RebuildThatCannotBeMadeLeavesTheRecord) {
  SetItems(Page(600));
  // The font lists the defaults load stay with the record: counted from the first call on.
  ASSERT_FALSE(Devmode(context_, kApiModeDefaults).empty());
  const uint64_t live = platform::LiveAllocationCount();
  bool failed = false;
  for (uint64_t n = 1;; ++n) {
    SetItems({{kProbeItem, kProbeValue}});
    std::vector<BYTE> before(context_->settings->devmode.bytes, context_->settings->devmode.bytes + kDmSize);
    const uint64_t start = platform::AllocationCount();
    platform::SetAllocationFault(n);
    const LONG size = ApiGetDevmode(context_, kApiModeDefaults, nullptr);
    const bool faultReached = platform::AllocationCount() - start >= n;
    platform::SetAllocationFault(0);
    EXPECT_EQ(context_->printer, nullptr) << n;
    if (size == -1) {
      failed = true;
      EXPECT_EQ(std::memcmp(before.data(), context_->settings->devmode.bytes, kDmSize), 0) << "allocation " << n;
    } else {
      EXPECT_EQ(size, static_cast<LONG>(kDmSize));
    }
    // A font list that could not be read is missing; nothing is left over.
    EXPECT_LE(platform::LiveAllocationCount(), live) << "allocation " << n;
    if (!faultReached) break;
    ASSERT_LT(n, 10000u);
  }
  EXPECT_TRUE(failed);
  ASSERT_FALSE(Devmode(context_, kApiModeDefaults).empty());
  EXPECT_EQ(platform::LiveAllocationCount(), live);
}

TEST_F(ApiResetsTest, NullContextAndWindows9xGiveMinusOne) {
  EXPECT_EQ(ApiGetDevmode(nullptr, kApiModeCurrent, nullptr), -1);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  ASSERT_TRUE(platform::SetMachineSetting("os", "me"));
  EXPECT_EQ(ApiGetDevmode(context_, kApiModeCurrent, nullptr), -1);
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
}

}  // namespace
}  // namespace velm::test
