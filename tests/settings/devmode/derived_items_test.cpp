// Public fields and the items that stand for the same choices: duplex and its binding, media
// type, resolution, which public fields a merge carries into the items, the environment bytes,
// and the way back from the items into the public fields.
#include "settings/devmode/derived_items.h"

#include <tuple>

#include "settings/devmode/derived_items_fixture.h"

namespace {

using velm::test::DerivedItemsTest;
using velm::test::AsRecord;
using velm::test::Incoming;

constexpr WORD kFields = 6, kOrientation = 7, kPaperSize = 8, kPrintQuality = 14, kDuplex = 16, kYResolution = 17,
               kMediaType = 29, kUiModeChange = 40, kResolutionW = 42, kResolutionH = 43, kSrcLength = 44,
               kDstLength = 51, kDuplexOn = 61, kBinding = 102, kItemMedia = 378, kPresentUi = 721, kBidiSupport = 722,
               kServerClient = 723, kUiStart = 880, kDuplexKept = 916;
constexpr DWORD kPortrait = 1, kLandscape = 2;

class PublicFieldsTest : public DerivedItemsTest {
 protected:
  void SetUp() override {
    DerivedItemsTest::SetUp();
    Set(kFields, DM_ORIENTATION | DM_PAPERSIZE | DM_DUPLEX | DM_PRINTQUALITY | DM_YRESOLUTION | DM_MEDIATYPE);
  }
  // Applies a caller's devmode that marks `fields` after the public fields were merged.
  void Apply(DWORD fields) {
    const PrivateDevmode incoming = AsRecord(Incoming(fields));
    DmApplyPublicToItems(context_, &incoming);
  }
  // The binding after a caller's dmDuplex in `orientation`, duplex being on with `binding`.
  DWORD BindingAfter(DWORD binding, DWORD duplex, DWORD orientation) {
    Set(kDuplexOn, 1);
    Set(kBinding, binding);
    Set(kDuplex, duplex);
    Set(kOrientation, orientation);
    Apply(DM_DUPLEX);
    return Get(kBinding);
  }
  DWORD PublicDuplex(DWORD on, DWORD binding, DWORD orientation, DWORD duplex = 1) {
    Set(kDuplexOn, on);
    Set(kBinding, binding);
    Set(kOrientation, orientation);
    Set(kDuplex, duplex);
    DmSetPublicDuplex(context_);
    return Get(kDuplex);
  }
};

TEST_F(PublicFieldsTest, ADuplexRequestTurnsDuplexOnWithTheMatchingBinding) {
  // {dmDuplex, orientation, binding}: long edge of a portrait page binds at the side (left).
  for (const auto& [duplex, orientation, binding] :
       {std::tuple{2u, kPortrait, 3u}, {2u, kLandscape, 1u}, {3u, kPortrait, 1u}, {3u, kLandscape, 3u}}) {
    Set(kDuplexOn, 0);
    Set(kBinding, 0);
    Set(kDuplex, duplex);
    Set(kOrientation, orientation);
    Apply(DM_DUPLEX);
    EXPECT_EQ(Get(kDuplexOn), 1u) << duplex << " " << orientation;
    EXPECT_EQ(Get(kBinding), binding) << duplex << " " << orientation;
  }
}

TEST_F(PublicFieldsTest, WithDuplexOnTheBindingTurnsToTheRequestedFamily) {
  // Side family (2 in portrait, 3 in landscape): booklets keep their kind.
  EXPECT_EQ(BindingAfter(17, 2, kPortrait), 19u);
  EXPECT_EQ(BindingAfter(18, 3, kLandscape), 18u);
  EXPECT_EQ(BindingAfter(2, 2, kPortrait), 2u);
  EXPECT_EQ(BindingAfter(1, 3, kLandscape), 3u);
  EXPECT_EQ(BindingAfter(0, 2, kPortrait), 3u);
  // Top family (2 in landscape, 3 in portrait).
  EXPECT_EQ(BindingAfter(19, 2, kLandscape), 17u);
  EXPECT_EQ(BindingAfter(3, 2, kLandscape), 1u);
  EXPECT_EQ(BindingAfter(0, 3, kPortrait), 1u);
  // The shipped model offers no folded booklet (20..22): the item check that ends the apply
  // puts the binding back to the model's default (left).
  EXPECT_EQ(BindingAfter(20, 2, kPortrait), 3u);
  EXPECT_EQ(BindingAfter(21, 3, kPortrait), 3u);
}

TEST_F(PublicFieldsTest, SimplexTurnsDuplexOffUnlessTheModelKeepsIt) {
  Set(kDuplexOn, 1);
  Set(kBinding, 3);
  Set(kDuplex, 1);
  Apply(DM_DUPLEX);
  EXPECT_EQ(Get(kDuplexOn), 0u);
  EXPECT_EQ(Get(kBinding), 3u);

  Set(kDuplexKept, 1);
  Set(kDuplexOn, 1);
  Apply(DM_DUPLEX);
  EXPECT_EQ(Get(kDuplexOn), 1u);

  // Without DM_DUPLEX in the caller's devmode (or the record's) duplex is not touched.
  Set(kDuplexKept, 0);
  Apply(DM_ORIENTATION);
  EXPECT_EQ(Get(kDuplexOn), 1u);
  Set(kFields, DM_ORIENTATION);
  Apply(DM_DUPLEX);
  EXPECT_EQ(Get(kDuplexOn), 1u);
}

TEST_F(PublicFieldsTest, DmDuplexFollowsTheBindingAndOrientation) {
  EXPECT_EQ(PublicDuplex(0, 3, kPortrait, 2), 1u);
  EXPECT_EQ(PublicDuplex(1, 0, kPortrait, 2), 1u);  // on without a binding reports simplex
  EXPECT_EQ(PublicDuplex(1, 17, kLandscape), 2u);
  EXPECT_EQ(PublicDuplex(1, 17, kPortrait), 3u);
  EXPECT_EQ(PublicDuplex(1, 19, kPortrait), 2u);
  EXPECT_EQ(PublicDuplex(1, 19, kLandscape), 3u);
  // The kept-duplex feature leaves a simplex dmDuplex alone, but not a duplex one.
  Set(kDuplexKept, 1);
  EXPECT_EQ(PublicDuplex(1, 3, kPortrait, 1), 1u);
  EXPECT_EQ(PublicDuplex(1, 3, kPortrait, 3), 2u);
}

TEST_F(PublicFieldsTest, ADuplexRequestSurvivesTheWayThereAndBack) {
  for (const DWORD orientation : {kPortrait, kLandscape}) {
    for (const DWORD duplex : {2u, 3u}) {
      for (const DWORD before : {0u, 1u, 2u, 3u, 17u, 18u, 19u}) {
        Set(kDuplexOn, before != 0);
        Set(kBinding, before);
        Set(kDuplex, duplex);
        Set(kOrientation, orientation);
        Apply(DM_DUPLEX);
        Set(kDuplex, 1);
        DmSetPublicDuplex(context_);
        EXPECT_EQ(Get(kDuplex), duplex) << orientation << " " << duplex << " " << before;
      }
    }
  }
}

TEST_F(PublicFieldsTest, MediaTypeTravelsAsItsLow16BitsSigned) {
  Set(kItemMedia, 3);
  Set(kMediaType, 0x10101);
  Apply(DM_DUPLEX);  // not marked: item 378 stays
  EXPECT_EQ(Get(kItemMedia), 3u);
  Apply(DM_MEDIATYPE);
  EXPECT_EQ(Get(kItemMedia), 257u);
  // 0x18000 arrives as 0xFFFF8000, which the model does not offer: the check ends at plain.
  Set(kMediaType, 0x18000);
  Apply(DM_MEDIATYPE);
  EXPECT_EQ(Get(kItemMedia), 1u);

  Set(kItemMedia, 513);
  DmSetPublicMediaType(context_);
  EXPECT_EQ(Get(kMediaType), 513u);
}

TEST_F(PublicFieldsTest, ResolutionSyncsBothWays) {
  Set(kPrintQuality, 1200);
  DmSyncResolutionFromPublic(context_);
  EXPECT_EQ(Items(kResolutionW, 2), (std::vector<DWORD>{1200, 1200}));
  EXPECT_EQ(Public(kYResolution), 1200);
  // A draft level stays public; the items keep a resolution.
  Set(kPrintQuality, static_cast<DWORD>(-3));
  DmSyncResolutionFromPublic(context_);
  EXPECT_EQ(Items(kResolutionW, 2), (std::vector<DWORD>{600, 600}));
  EXPECT_EQ(Public(kYResolution), -3);

  Set(kResolutionW, 300);
  Set(kResolutionH, 1200);
  DmSyncResolutionFromItems(context_);
  EXPECT_EQ(Get(kResolutionH), 300u);
  EXPECT_EQ(Public(kPrintQuality), 300);
  EXPECT_EQ(Public(kYResolution), 300);
}

TEST_F(PublicFieldsTest, AMergeCarriesResolutionAndPaperIntoTheItems) {
  Set(kPrintQuality, 1200);
  Set(kUiStart, 1);
  Apply(DM_PAPERSIZE | DM_PRINTQUALITY);
  EXPECT_EQ(Get(kResolutionW), 1200u);
  // A4 at 1200 dpi: "198 198 9525 13635 14031 9921", on both sides (output as source).
  const std::vector<DWORD> a4{14031, 9921, 13635, 9525, 198, 198};
  EXPECT_EQ(Items(kSrcLength, 6), a4);
  EXPECT_EQ(Items(kDstLength, 6), a4);
  EXPECT_EQ(Get(kUiStart), 0u);

  // Merge flag 0x10000000 keeps the items' resolution.
  context_->work->mergeFlags = 0x10000000;
  Set(kPrintQuality, 300);
  Apply(DM_PRINTQUALITY);
  EXPECT_EQ(Get(kResolutionW), 1200u);
}

TEST_F(PublicFieldsTest, PaperSizeMarkedOnOneSideOnlyFallsBackToTheOrientation) {
  Set(kPaperSize, 8);  // A3 at 600: "99 99 6818 9723 9921 7016"
  // Paper size in the caller's devmode only: not applied, nor without the orientation.
  Set(kFields, DM_DUPLEX);
  const std::vector<DWORD> before = Items(kSrcLength, 2);
  ASSERT_NE(before, (std::vector<DWORD>{9921, 7016}));
  Apply(DM_PAPERSIZE | DM_DUPLEX);
  EXPECT_EQ(Items(kSrcLength, 2), before);
  // The orientation alone sends the record's own dmFields through the same tests.
  Set(kFields, DM_ORIENTATION | DM_PAPERSIZE);
  Apply(DM_ORIENTATION);
  EXPECT_EQ(Items(kSrcLength, 2), (std::vector<DWORD>{9921, 7016}));
}

TEST_F(PublicFieldsTest, EnvironmentBytesFollowTheQueue) {
  Set(kUiModeChange, 1);
  Apply(0);
  EXPECT_EQ(Items(kPresentUi, 3), (std::vector<DWORD>{1, 0, 0}));

  // A connection to a server with bidirectional support enabled.
  std::string error;
  velm::tools::PrinterOptions options;
  options.name = u"Velm Shared";
  options.serverName = u"\\\\SERVER";
  options.bidi = true;
  ASSERT_TRUE(velm::tools::AddPrinter(options, &error)) << error;
  DriverContext* shared = CtxCreate(Open(velm::tools::PrinterFullName(options)), 0, 0);
  ASSERT_NE(shared, nullptr);
  DmSyncItemsFromPublic(shared, kResyncMerge);
  EXPECT_EQ(OptGetValue(shared, kPresentUi), 0u);
  EXPECT_EQ(OptGetValue(shared, kBidiSupport), 1u);
  EXPECT_EQ(OptGetValue(shared, kServerClient), 1u);
  CtxDestroyEx(shared, kReleaseDestroy);
}

TEST_F(PublicFieldsTest, AResyncCarriesTheItemsBackIntoThePublicFields) {
  Set(kResolutionW, 1200);
  Set(kDuplexOn, 1);
  Set(kBinding, 1);
  Set(kOrientation, kLandscape);
  Set(kItemMedia, 5);
  Set(kPaperSize, 9);
  Set(kUiStart, 1);
  DmResync(context_, kResyncBuild);
  EXPECT_EQ(Public(kPrintQuality), 1200);
  EXPECT_EQ(Public(kYResolution), 1200);
  EXPECT_EQ(Get(kResolutionH), 1200u);
  EXPECT_EQ(Public(kDuplex), 2);  // top binding of a landscape page: long edge
  EXPECT_EQ(Get(kMediaType), 5u);
  // A4 landscape at 1200 dpi.
  EXPECT_EQ(Items(kSrcLength, 6), (std::vector<DWORD>{9921, 14031, 9525, 13635, 198, 198}));
  EXPECT_EQ(Items(kDstLength, 6), Items(kSrcLength, 6));
  EXPECT_EQ(Get(kUiStart), 0u);
}

}  // namespace
