// The source- and output-paper geometry items: standard papers from the shipped description's
// paper records, user papers from the free-size slots and the custom size, clamping to the custom
// limits, the landscape swap, refused papers, and values that would go below zero.
#include "settings/devmode/paper_geometry.h"

#include "settings/devmode/derived_items_fixture.h"
#include "settings/devmode/derived_items.h"
#include "settings/devmode/item_checks.h"

namespace {

using velm::test::DerivedItemsTest;
using velm::test::g_disabledPapers;
using velm::test::AsRecord;
using velm::test::Incoming;

constexpr WORD kFields = 6, kPaperSize = 8, kPaperLength = 9, kPaperWidth = 10, kPrintQuality = 14, kResolutionW = 42,
               kResolutionH = 43, kSrcLength = 44, kOutPaper = 50, kDstLength = 51, kUnit = 179, kCustomWidth = 860,
               kCustomLength = 861;
using Dots = std::vector<DWORD>;

using PaperGeometryTest = DerivedItemsTest;

TEST_F(PaperGeometryTest, AStandardPaperTakesItsRecordAndMetricSize) {
  Set(kFields, DM_PAPERLENGTH | DM_PAPERWIDTH | DM_ORIENTATION);
  // A4 at 600 dpi: "99 99 4763 6818 7016 4961", metric "2100 2970".
  ASSERT_TRUE(DmDeriveSrcPaper(context_, 9, kPaperSize));
  EXPECT_EQ(Items(kSrcLength, 6), (Dots{7016, 4961, 6818, 4763, 99, 99}));
  EXPECT_EQ(Public(kPaperLength), 2970);
  EXPECT_EQ(Public(kPaperWidth), 2100);
  EXPECT_EQ(Get(kFields), DWORD(DM_PAPERSIZE | DM_ORIENTATION));  // no longer a custom size

  // Landscape turns the portrait record and the metric size.
  Set(7, 2);
  ASSERT_TRUE(DmDeriveSrcPaper(context_, 9, kPaperSize));
  EXPECT_EQ(Items(kSrcLength, 6), (Dots{4961, 7016, 4763, 6818, 99, 99}));
  EXPECT_EQ(Public(kPaperLength), 2100);
  EXPECT_EQ(Public(kPaperWidth), 2970);

  // The output paper: 1024 is the source's standard paper, a paper of its own its own record.
  Set(7, 1);
  ASSERT_TRUE(DmDeriveDstPaper(context_, 1024, kOutPaper));
  EXPECT_EQ(Items(kDstLength, 6), (Dots{7016, 4961, 6818, 4763, 99, 99}));
  Set(kResolutionW, 1200);
  ASSERT_TRUE(DmDeriveDstPaper(context_, 8, kOutPaper));  // A3: "198 198 13635 19447 19843 14031"
  EXPECT_EQ(Items(kDstLength, 6), (Dots{19843, 14031, 19447, 13635, 198, 198}));
}

TEST_F(PaperGeometryTest, ARefusedOrUnrecordedPaperChangesNothing) {
  g_disabledPapers = {3008};  // A3
  ASSERT_EQ(OptCheckValue(kPaperSize, 8, context_), 0) << "item 8's check refuses a paper the constraints disable";
  Set(kFields, DM_PAPERLENGTH | DM_PAPERWIDTH);
  Set(kPaperLength, 1234);
  for (WORD id = kSrcLength; id <= 56; ++id) {
    if (id != kOutPaper) Set(id, id);
  }
  const std::vector<BYTE> before = Record();
  EXPECT_FALSE(DmDeriveSrcPaper(context_, 8, kPaperSize));
  EXPECT_FALSE(DmDeriveSrcPaperOriented(context_, 8, kPaperSize));
  EXPECT_FALSE(DmDeriveDstPaper(context_, 8, kOutPaper));
  EXPECT_TRUE(Record() == before);

  // A paper with no record at this resolution, and one the list lacks, are refused as well.
  Set(kResolutionW, 400);
  const std::vector<BYTE> at400 = Record();
  EXPECT_FALSE(DmDeriveSrcPaper(context_, 9, kPaperSize));
  EXPECT_FALSE(DmDeriveDstPaper(context_, 9, kOutPaper));
  EXPECT_FALSE(DmDeriveSrcPaper(context_, 2, kPaperSize));
  EXPECT_TRUE(Record() == at400);
}

TEST_F(PaperGeometryTest, AFreeSizeIsClampedToTheCustomLimits) {
  Set(kFields, DM_ORIENTATION);
  SetSlot(2, 20000, 14031);  // wider than the widest custom paper (14408 dots)
  ASSERT_TRUE(DmDeriveSrcPaper(context_, 386, kPaperSize));
  // Width 14408 and length 14031 at 600 dpi, less the free size's margins of 99.
  EXPECT_EQ(Items(kSrcLength, 6), (Dots{7015, 7204, 6817, 7006, 99, 99}));
  EXPECT_EQ(Public(kPaperWidth), 3050);  // 14408 dots, rounded up to 0.1 mm
  EXPECT_EQ(Public(kPaperLength), 2970);
  EXPECT_EQ(Get(kFields), DWORD(DM_ORIENTATION | DM_PAPERSIZE | DM_PAPERLENGTH | DM_PAPERWIDTH));

  // Too narrow: the narrowest custom paper, 4250 dots.
  SetSlot(3, 100, 14031);
  ASSERT_TRUE(DmDeriveSrcPaper(context_, 387, kPaperSize));
  EXPECT_EQ(Get(kSrcLength + 1), 2125u);

  // In 0.01 inch the widest paper shown is 12.00 inch: 14400 dots, not 14408.
  Set(kUnit, 1);
  ASSERT_TRUE(DmDeriveSrcPaper(context_, 386, kPaperSize));
  EXPECT_EQ(Get(kSrcLength + 1), 7200u);
}

TEST_F(PaperGeometryTest, TheOrientedFormSwapsTheItemsButNotThePublicSize) {
  SetSlot(2, 9921, 14031);  // A4 in dots
  Set(7, 2);
  ASSERT_TRUE(DmDeriveSrcPaper(context_, 386, kPaperSize));
  EXPECT_EQ(Items(kSrcLength, 2), (Dots{7015, 4960}));
  ASSERT_TRUE(DmDeriveSrcPaperOriented(context_, 386, kPaperSize));
  EXPECT_EQ(Items(kSrcLength, 2), (Dots{4960, 7015}));
  EXPECT_EQ(Public(kPaperLength), 2970);
  EXPECT_EQ(Public(kPaperWidth), 2100);
  // Portrait never swaps.
  Set(7, 1);
  ASSERT_TRUE(DmDeriveSrcPaperOriented(context_, 386, kPaperSize));
  EXPECT_EQ(Items(kSrcLength, 2), (Dots{7015, 4960}));
}

TEST_F(PaperGeometryTest, TheCustomPaperIsTheRecordsOwnSizeElseItems860And861) {
  Set(kFields, 0);
  Set(kCustomWidth, 9921);
  Set(kCustomLength, 14031);
  // 200 x 150 mm: 4724 x 3543 dots at 600 dpi; the public size stays as it is.
  Set(kPaperLength, 2000);
  Set(kPaperWidth, 1500);
  ASSERT_TRUE(DmDeriveSrcPaper(context_, 256, kPaperSize));
  EXPECT_EQ(Items(kSrcLength, 6), (Dots{4724, 3543, 4526, 3345, 99, 99}));
  EXPECT_EQ(Public(kPaperLength), 2000);
  EXPECT_EQ(Public(kPaperWidth), 1500);
  EXPECT_EQ(Get(kFields), DWORD(DM_PAPERSIZE));
  // The output paper of the custom size is the same size.
  ASSERT_TRUE(DmDeriveDstPaper(context_, 256, kPaperSize));
  EXPECT_EQ(Items(kDstLength, 2), (Dots{4724, 3543}));
  // A record without a custom size of its own takes the size of items 860 and 861.
  Set(kPaperLength, 0);
  ASSERT_TRUE(DmDeriveSrcPaper(context_, 256, kPaperSize));
  EXPECT_EQ(Items(kSrcLength, 6), (Dots{7015, 4960, 6817, 4762, 99, 99}));
}

TEST_F(PaperGeometryTest, TheCustomDevmodeSizeIsTakenAtThePrintQuality) {
  // Length and width marked, no paper size: 2100 x 2970 (0.1 mm) at dmPrintQuality 600.
  Set(kFields, DM_PAPERLENGTH | DM_PAPERWIDTH);
  Set(kPaperLength, 2970);
  Set(kPaperWidth, 2100);
  const PrivateDevmode incoming = AsRecord(Incoming(DM_PAPERLENGTH | DM_PAPERWIDTH));
  DmApplyPublicToItems(context_, &incoming);
  EXPECT_EQ(Items(kSrcLength, 6), (Dots{7015, 4960, 6817, 4762, 99, 99}));
  EXPECT_EQ(Get(kFields), DWORD(DM_PAPERLENGTH | DM_PAPERWIDTH));

  // A draft level is no resolution: the model's 600 dpi is used, not 65534.
  Set(kPrintQuality, static_cast<DWORD>(-2));
  for (WORD id = kSrcLength; id < kSrcLength + 6; ++id) Set(id, 0);
  DmDeriveSrcPaperCustom(context_);
  EXPECT_EQ(Items(kSrcLength, 6), (Dots{7015, 4960, 6817, 4762, 99, 99}));
  Set(kPrintQuality, 1200);
  DmDeriveSrcPaperCustom(context_);
  EXPECT_EQ(Items(kSrcLength, 2), (Dots{14030, 9920}));
}

TEST_F(PaperGeometryTest, ACustomSizeIsHeldToTheModelsSmallestAndLargestPaper) {
  // 1 mm, none, a negative length and 9 m all become a paper the model has: at 600 dpi the
  // smallest is 6992 x 4250 dots at 1200 dpi, the largest 21590 x 14408.
  struct Case {
    SHORT length, width;
    DWORD dotsLength, dotsWidth;
  };
  for (const Case& c : {Case{10, 10, 3496, 2125}, Case{0, 1, 3496, 2125}, Case{-300, 2100, 3496, 4960},
                        Case{30000, 30000, 10795, 7204}}) {
    Set(kPaperLength, static_cast<DWORD>(c.length));
    Set(kPaperWidth, static_cast<DWORD>(c.width));
    DmDeriveSrcPaperCustom(context_);
    EXPECT_EQ(Items(kSrcLength, 6), (Dots{c.dotsLength, c.dotsWidth, c.dotsLength - 198, c.dotsWidth - 198, 99, 99}))
        << c.length << " x " << c.width;
  }
  // An empty free-size slot as output paper (no clamp there): printable sizes stop at zero.
  ASSERT_TRUE(DmDeriveDstPaper(context_, 388, kOutPaper));
  EXPECT_EQ(Items(kDstLength, 6), (Dots{0, 0, 0, 0, 99, 99}));
}

TEST_F(PaperGeometryTest, OutputAsSourceCopiesAUserSourcePaper) {
  Set(kPaperSize, 386);
  for (WORD i = 0; i < 6; ++i) Set(kSrcLength + i, 1000 + i);
  ASSERT_TRUE(DmDeriveDstPaper(context_, 1024, kOutPaper));
  EXPECT_EQ(Items(kDstLength, 6), Items(kSrcLength, 6));
  EXPECT_EQ(Items(kDstLength, 6), (Dots{1000, 1001, 1002, 1003, 1004, 1005}));
}

TEST_F(PaperGeometryTest, AUserOutputPaperScalesLengthAndWidthToTheirOwnResolutions) {
  Set(kResolutionW, 600);
  Set(kResolutionH, 1200);
  SetSlot(3, 20000, 14031);
  ASSERT_TRUE(DmDeriveDstPaper(context_, 387, kOutPaper));
  // Length at item 43's 1200 dpi, width at item 42's 600 dpi, neither clamped.
  EXPECT_EQ(Items(kDstLength, 6), (Dots{14031, 10000, 13833, 9802, 99, 99}));
  Set(7, 2);
  ASSERT_TRUE(DmDeriveDstPaperOriented(context_, 387, kOutPaper));
  EXPECT_EQ(Items(kDstLength, 2), (Dots{20000, 7015}));
}

}  // namespace
