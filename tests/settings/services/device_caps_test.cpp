#include "settings/services/device_caps.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "settings/description/image_fixture.h"
#include "settings/items/store.h"
#include "settings/items/settings_record.h"

namespace velm::test {
namespace {

constexpr DWORD kFreeSizesLoaded = 0x4000000;  // change-mask once-flag of the free-size load

using Pairs = std::vector<std::pair<LONG, LONG>>;

// A context on "Velm Printer" and the shipped description, into which a test may put a sample
// description of its own.
class DeviceCapsTest : public DescriptionMachineTest {
 protected:
  void SetUp() override {
    DescriptionMachineTest::SetUp();
    context_ = CtxCreate(Open(), 0, 0);
    ASSERT_NE(context_, nullptr);
    shipped_ = context_->description;
    // The slots below stand as the free sizes; the load must not replace them.
    CtxRaiseChangeMask(context_, kFreeSizesLoaded);
  }
  void TearDown() override {
    if (context_) context_->description = shipped_;
    CtxDestroyEx(context_, kReleaseDestroy);
    DescriptionMachineTest::TearDown();
  }

  void UseDescription(const std::string& text) {
    std::string remarks;
    sample_ = CompileText(text, &remarks);
    ASSERT_TRUE(sample_);
    ASSERT_EQ(remarks, "") << text;
    context_->description = sample_.get();
  }
  // Free-size slot `slot`: display name and size in 1200-dpi dots.
  void SetSlot(int slot, const std::string& name, DWORD width, DWORD length) {
    BYTE* bytes = context_->work->freeSizeSlots[slot];
    std::memset(bytes, 0, 64);
    std::memcpy(bytes, name.data(), name.size());
    DmStoreU32(bytes, 192, width);
    DmStoreU32(bytes, 196, length);
  }
  void Set(WORD id, DWORD value) { ASSERT_TRUE(OptSetValue(context_, id, value)) << id; }

  // The names by the two-call protocol: the count first, then a buffer of that size.
  std::vector<std::u16string> Names(WORD item, DWORD width = 64) {
    const int count = CapsGetValueNames(context_, nullptr, width, item);
    if (count <= 0) return {};
    std::vector<WCHAR> buffer(size_t(count) * width, u'#');
    EXPECT_EQ(CapsGetValueNames(context_, buffer.data(), width, item), count);
    std::vector<std::u16string> names;
    for (int i = 0; i < count; ++i) {
      const WCHAR* field = buffer.data() + size_t(i) * width;
      names.emplace_back(field);
      for (DWORD k = names.back().size(); k < width; ++k) EXPECT_EQ(field[k], 0) << "field " << i << " not zero-filled";
    }
    return names;
  }
  Pairs Sizes(WORD item = 8) {
    const int count = CapsGetPaperSizes(context_, nullptr, item);
    if (count <= 0) return {};
    std::vector<POINT> points(count);
    EXPECT_EQ(CapsGetPaperSizes(context_, points.data(), item), count);
    Pairs sizes;
    for (const POINT& p : points) sizes.emplace_back(p.x, p.y);
    return sizes;
  }
  std::vector<DWORD> Allowed(WORD item) {
    const int count = CapsGetAllowedValues(context_, nullptr, item);
    if (count <= 0) return {};
    std::vector<DWORD> values(count);
    EXPECT_EQ(CapsGetAllowedValues(context_, values.data(), item), count);
    return values;
  }
  Pairs Resolutions() {
    const int count = CapsListResolutions(context_, nullptr, kCapsResolutionPairs);
    std::vector<LONG> out(2 * size_t(count));
    EXPECT_EQ(CapsListResolutions(context_, out.data(), kCapsResolutionPairs), count);
    Pairs pairs;
    for (int i = 0; i < count; ++i) pairs.emplace_back(out[2 * i], out[2 * i + 1]);
    return pairs;
  }
  std::vector<LONG> ResolutionIds() {
    const int count = CapsGetResolutionIds(context_, nullptr);
    std::vector<LONG> ids(count);
    EXPECT_EQ(CapsGetResolutionIds(context_, ids.data()), count);
    return ids;
  }

  DriverContext* context_ = nullptr;
  ModelDescription* shipped_ = nullptr;
  Image sample_;
};

// ---- The shipped description -------------------------------------------------------------

TEST_F(DeviceCapsTest, PaperNamesAndSizesOfTheShippedDescription) {
  SetSlot(2, "Card", 4724, 6992);     // paper 386
  SetSlot(9, "Banner", 4250, 21590);  // the custom size, 256
  const std::vector<std::u16string> names = Names(8);
  const std::vector<std::u16string> expected = {
      u"Letter", u"Ledger", u"Legal", u"Statement", u"Executive", u"A3", u"A4", u"A5", u"A6", u"B4 (JIS)",
      u"B5 (JIS)", u"B6 (JIS)", u"Folio", u"Foolscap", u"Government Letter", u"16K", u"16K (185 x 260 mm)",
      u"Postcard", u"Banner", u"", u"", u"Card", u"", u"", u"", u"", u"", u""};
  EXPECT_EQ(names, expected);

  const Pairs sizes = Sizes();
  ASSERT_EQ(sizes.size(), expected.size());
  EXPECT_EQ(sizes[0], std::make_pair(2159, 2794));
  EXPECT_EQ(sizes[6], std::make_pair(2100, 2970));
  EXPECT_EQ(sizes[17], std::make_pair(1000, 1480));
  // User papers give their slot's size, rounded up to the 0.1 mm that covers the dots.
  EXPECT_EQ(sizes[18], std::make_pair(900, 4570));
  EXPECT_EQ(sizes[21], std::make_pair(1000, 1480));
  EXPECT_EQ(sizes[19], std::make_pair(0, 0));

  // Names longer than the field are cut, with a NUL in the field's last place.
  const std::vector<std::u16string> shortNames = Names(8, 4);
  EXPECT_EQ(shortNames[0], u"Let");
  EXPECT_EQ(shortNames[6], u"A4");
  EXPECT_EQ(CapsGetValueNames(context_, nullptr, 0, 8), -1);
}

TEST_F(DeviceCapsTest, BinsOfTheShippedDescription) {
  EXPECT_EQ(Names(13), (std::vector<std::u16string>{u"Auto Select", u"Tray 1", u"Tray 2", u"Tray 3", u"Tray 4",
                                                     u"Large Capacity Tray", u"Bypass Tray"}));
  // Trays 3, 4 and the large-capacity tray are disabled until they are installed.
  EXPECT_EQ(Allowed(13), (std::vector<DWORD>{7, 1, 3, 4}));
  Set(10113, 1);
  EXPECT_EQ(Allowed(13), (std::vector<DWORD>{7, 1, 3, 2, 4}));
  EXPECT_EQ(CapsGetPaperSizes(context_, nullptr, 13), -1);  // not a paper list
  EXPECT_EQ(Names(12), std::vector<std::u16string>{});      // copies: a range, no list
  EXPECT_EQ(CapsGetValueNames(context_, nullptr, 64, 12), -1);
}

TEST_F(DeviceCapsTest, ResolutionsAndRangesOfTheShippedDescription) {
  EXPECT_EQ(Resolutions(), (Pairs{{300, 300}, {600, 600}, {1200, 1200}}));
  EXPECT_EQ(ResolutionIds(), (std::vector<LONG>{1, 3, 4}));

  EXPECT_EQ(CapsGetCopiesMax(context_), 999);
  CapsRange ranges[2];
  EXPECT_EQ(CapsGetPaperScaleRanges(context_, ranges), 2);
  EXPECT_EQ(std::make_pair(ranges[0].minimum, ranges[0].maximum), std::make_pair(25, 400));
  EXPECT_EQ(std::make_pair(ranges[1].minimum, ranges[1].maximum), std::make_pair(25, 400));
  EXPECT_EQ(CapsGetMarginRanges(context_, ranges), 2);  // the margin dialog's nodes
  EXPECT_EQ(std::make_pair(ranges[0].minimum, ranges[0].maximum), std::make_pair(0, 2400));
  EXPECT_EQ(std::make_pair(ranges[1].minimum, ranges[1].maximum), std::make_pair(0, 2400));
  // The face margins have the ranges of their query commands.
  EXPECT_EQ(CapsGetOddEvenMarginRanges(context_, ranges), 2);
  EXPECT_EQ(std::make_pair(ranges[0].minimum, ranges[0].maximum), std::make_pair(0, 2362));
  EXPECT_EQ(std::make_pair(ranges[1].minimum, ranges[1].maximum), std::make_pair(0, 2362));

  // No range for items 860 and 861: the model limits, 4250..14408 x 6992..21590 dots.
  POINT extent{};
  EXPECT_EQ(CapsGetMinExtent(context_, &extent), 1480 << 16 | 900);
  EXPECT_EQ(std::make_pair(extent.x, extent.y), std::make_pair(900, 1480));
  EXPECT_EQ(CapsGetMaxExtent(context_, &extent), 4570 << 16 | 3050);
  EXPECT_EQ(CapsGetMaxExtent(context_, nullptr), 4570 << 16 | 3050);

  EXPECT_TRUE(OptIsItemPresent(context_, 8));
  EXPECT_FALSE(OptIsItemPresent(context_, 248));
  // The model's default has the duplex unit installed: take it out first.
  EXPECT_TRUE(CapsSetItem(1, 10014, 0, context_));
  EXPECT_FALSE(OptHasDeviceInfo(context_));
  EXPECT_TRUE(CapsSetItem(1, 10014, 1, context_));
  EXPECT_TRUE(OptHasDeviceInfo(context_));
}

// ---- A sample description -------------------------------------------------------------------

// Papers A4, A6 (disabled in landscape) and free size 3; copies 1..99; item 42 a range; scale,
// margin and free-size width ranges.
const std::string kSample = R"(*FileVersion: 3.60
*UIResDLLName: "qnresus.dll"
*OpenUI *ZMD_dmPaperSize: PickPage
*ZMD_dmPaperSize: IDList { {DMPAPERSIZE_A4 "A4"} {DMPAPERSIZE_A6 "A6"} {DMPAPERSIZE_FREESIZE3 "CUSTOM"} }
*DefaultZMD_dmPaperSize: DMPAPERSIZE_A4
*CloseUI
*PageMMValue DMPAPERSIZE_A4: "2100 2970"
*PageMMValue DMPAPERSIZE_A6: "1050 1480"
*OpenUI *ZMD_dmCopies: Numeric
*NumericValue: 1 "1 1 1 99"
*CloseUI
*OpenUI *ZMD_vdmDstResolutionW: Numeric
*NumericValue: 1 "1 600 300 1200"
*CloseUI
*OpenUI *ZMD_vdmScaleH: Numeric
*NumericValue: 1 "1 100 20 300"
*CloseUI
*OpenUI *ZMD_vdmBindMargin2: Numeric
*NumericValue: 1 "1 0 0 2400"
*CloseUI
*OpenUI *ZMD_vdmMarginEven: Numeric
*NumericValue: 1 "1 0 10 1200"
*CloseUI
*OpenUI *ZMD_wdmFreeSizeWidth: Numeric
*NumericValue: 1 "1 4800 4800 12000"
*CloseUI
*OpenUI *ZMD_vdmPosterType: TypeUnknown
*CloseUI
*Judge 1=Landscape: ZMD_dmOrientation == DMORIENTATION_LANDSCAPE
*Item 1=PaperValues: { {DMPAPERSIZE_A6 Landscape NULL} }
*Exclusive: { {ZMD_dmPaperSize NULL NULL PaperValues NULL NULL NULL} }
)";

std::string ResolutionIdList(const std::string& values) {
  return "*OpenUI *ZMD_vdmDstResolutionBoth: PickOne\n*ZMD_vdmDstResolutionBoth: IDList { " + values +
         " }\n*CloseUI\n";
}

TEST_F(DeviceCapsTest, APaperTheConstraintsDisableLeavesNamesSizesAndAllowedValuesAlike) {
  UseDescription(kSample);
  SetSlot(2, "Card", 4724, 6992);
  Set(7, 1);
  EXPECT_EQ(Names(8), (std::vector<std::u16string>{u"A4", u"A6", u"Card"}));
  EXPECT_EQ(Sizes(), (Pairs{{2100, 2970}, {1050, 1480}, {1000, 1480}}));
  EXPECT_EQ(Allowed(8), (std::vector<DWORD>{9, 70, 386}));
  Set(7, 2);
  EXPECT_EQ(Names(8), (std::vector<std::u16string>{u"A4", u"Card"}));
  EXPECT_EQ(Sizes(), (Pairs{{2100, 2970}, {1000, 1480}}));
  EXPECT_EQ(Allowed(8), (std::vector<DWORD>{9, 386}));
}

TEST_F(DeviceCapsTest, RangesAndExtentsOfASampleDescription) {
  UseDescription(kSample);
  EXPECT_EQ(CapsGetCopiesMax(context_), 99);
  CapsRange ranges[2];
  EXPECT_EQ(CapsGetPaperScaleRanges(context_, ranges), 1);
  EXPECT_EQ(std::make_pair(ranges[0].minimum, ranges[0].maximum), std::make_pair(20, 300));
  EXPECT_EQ(std::make_pair(ranges[1].minimum, ranges[1].maximum), std::make_pair(0, 0));
  EXPECT_EQ(CapsGetMarginRanges(context_, ranges), 1);
  EXPECT_EQ(std::make_pair(ranges[1].minimum, ranges[1].maximum), std::make_pair(0, 2400));
  EXPECT_EQ(CapsGetOddEvenMarginRanges(context_, ranges), 1);
  EXPECT_EQ(std::make_pair(ranges[1].minimum, ranges[1].maximum), std::make_pair(10, 1200));

  // Item 860's range, 4800..12000 dots (101.6..254.0 mm), narrows the width; the length keeps
  // the model's limits.
  EXPECT_EQ(CapsGetMinExtent(context_, nullptr), 1480 << 16 | 1016);
  EXPECT_EQ(CapsGetMaxExtent(context_, nullptr), 4570 << 16 | 2540);

  EXPECT_FALSE(OptIsItemPresent(context_, 99));  // a TypeUnknown record only
  EXPECT_TRUE(OptIsItemPresent(context_, 860));
}

TEST_F(DeviceCapsTest, ResolutionIdsCollapseOnlyConsecutiveEqualPairs) {
  // Item 42 is a range, so item 248's ids are the list; 17 and 18 are 600 x 600 as well.
  UseDescription(kSample + ResolutionIdList("VDMDSTRESOLUTIONBOTH_600X600 VDMDSTRESOLUTIONBOTH_600X600_A "
                                            "VDMDSTRESOLUTIONBOTH_1200X1200 VDMDSTRESOLUTIONBOTH_600X600_B"));
  EXPECT_EQ(Resolutions(), (Pairs{{600, 600}, {1200, 1200}, {600, 600}}));
  EXPECT_EQ(ResolutionIds(), (std::vector<LONG>{3, 17, 4, 18}));
}

TEST_F(DeviceCapsTest, ResolutionsFallBackToTheCurrentValueThenTheModelDefault) {
  UseDescription(kSample);  // item 42 a range, no list for item 248
  Set(42, 1200);
  EXPECT_EQ(Resolutions(), (Pairs{{1200, 1200}}));
  EXPECT_EQ(ResolutionIds(), (std::vector<LONG>{4}));
  Set(42, 0);
  EXPECT_EQ(Resolutions(), (Pairs{{600, 600}}));
  EXPECT_EQ(ResolutionIds(), (std::vector<LONG>{3}));

  // A list for item 42 gives its dpi values.
  UseDescription("*OpenUI *ZMD_vdmDstResolutionW: PickOne\n"
                 "*ZMD_vdmDstResolutionW: IDList { VDMDSTRESOLUTIONW_300 VDMDSTRESOLUTIONW_2400 }\n*CloseUI\n");
  EXPECT_EQ(Resolutions(), (Pairs{{300, 300}, {2400, 2400}}));
  EXPECT_EQ(ResolutionIds(), (std::vector<LONG>{1, 5}));

  UseDescription("*OpenUI *ZMD_dmColor: PickOne\n*ZMD_dmColor: IDList { DMCOLOR_MONO }\n*CloseUI\n");
  EXPECT_EQ(Resolutions(), (Pairs{{600, 600}}));
}

TEST_F(DeviceCapsTest, ResolutionTableLookups) {
  EXPECT_EQ(CapsResolutionIdFromDpi(600, 600), 3);  // the first of the three 600 x 600 rows
  EXPECT_EQ(CapsResolutionIdFromDpi(600, 300), 0);
  ASSERT_NE(CapsFindResolution(17), nullptr);
  EXPECT_EQ(CapsFindResolution(17)->xDpi, 600);
  EXPECT_EQ(CapsFindResolution(6), nullptr);
  EXPECT_EQ(CapsFindResolution(0), nullptr);
  ASSERT_NE(CapsResolutionFromXDpi(1200), nullptr);
  EXPECT_EQ(CapsResolutionFromXDpi(1200)->id, 4);
  EXPECT_EQ(CapsResolutionFromXDpi(720), nullptr);
}

}  // namespace
}  // namespace velm::test
