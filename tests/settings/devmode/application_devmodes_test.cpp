// Devmodes as applications make them: a public DEVMODEW with only the fields and bits the
// application set, merged through every kind of merge the libraries make. What the application
// asked for (custom size, media, form, tray, collation) must reach the items that the
// constraints, the page geometry and the job text read, and stay there.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "settings/devmode/record_build_fixture.h"
#include "settings/items/unit_conversion.h"
#include "support/application_devmode.h"

namespace {

// The merges the libraries make: the graphics library's at enable, its document start, and the
// interface's with the prompt (which also re-syncs the public fields from the items).
constexpr DWORD kMergeKinds[] = {0x10008, 0x20008, 0x2000000 | 8 | 4};

constexpr WORD kSrcLength = 44, kSrcWidth = 45, kDstLength = 51, kDstWidth = 52;
constexpr WORD kResolution = 42, kMediaItem = 378;

using velm::test::AppDevmode;
constexpr size_t kOffPaperSize = velm::test::kAppOffPaperSize, kOffPaperLength = velm::test::kAppOffPaperLength,
                 kOffPaperWidth = velm::test::kAppOffPaperWidth, kOffCopies = velm::test::kAppOffCopies,
                 kOffSource = velm::test::kAppOffSource, kOffCollate = velm::test::kAppOffCollate,
                 kOffMediaType = velm::test::kAppOffMediaType;

class ApplicationDevmodeTest : public RecordBuildTest {
 protected:
  // A fresh context of the printer's defaults (A4) merged with `app` through `flags`.
  DriverContext* Merged(const AppDevmode& app, DWORD flags) {
    DriverContext* c = Build(Open(), kKindModelDefaults);
    if (!c) return nullptr;
    EXPECT_EQ(DmMergeBytes(c, app.get(), app.bytes.size(), flags), 1);
    return c;
  }
  // Dots at the context's resolution of `tenthMm`.
  static DWORD Dots(DriverContext* c, DWORD tenthMm) { return tenthMm * Get(c, kResolution) / 254; }
};

TEST_F(ApplicationDevmodeTest, ACustomSizeIsTheApplicationsOwnInEveryMerge) {
  // 200 x 150 mm (length 2000, width 1500 tenths of a millimetre), as DMPAPER_USER with its
  // bits, and as the length and width alone.
  const AppDevmode asks[] = {
      AppDevmode(DM_PAPERSIZE | DM_PAPERLENGTH | DM_PAPERWIDTH)
          .S16(kOffPaperSize, 256).S16(kOffPaperLength, 2000).S16(kOffPaperWidth, 1500),
      AppDevmode(DM_PAPERLENGTH | DM_PAPERWIDTH).S16(kOffPaperLength, 2000).S16(kOffPaperWidth, 1500),
  };
  for (const AppDevmode& app : asks) {
    for (DWORD flags : kMergeKinds) {
      SCOPED_TRACE(testing::Message() << "fields 0x" << std::hex << app.get()->dmFields << " flags 0x" << flags);
      DriverContext* c = Merged(app, flags);
      ASSERT_NE(c, nullptr);
      EXPECT_EQ(static_cast<SHORT>(Get(c, 8)), 256);
      EXPECT_EQ(static_cast<SHORT>(Get(c, 9)), 2000);
      EXPECT_EQ(static_cast<SHORT>(Get(c, 10)), 1500);
      EXPECT_EQ(Get(c, 6) & (DM_PAPERLENGTH | DM_PAPERWIDTH), DWORD{DM_PAPERLENGTH | DM_PAPERWIDTH});
      // Source and output paper alike, within a dot of the size asked for.
      for (WORD length : {kSrcLength, kDstLength}) EXPECT_NEAR(Get(c, length), Dots(c, 2000), 2) << length;
      for (WORD width : {kSrcWidth, kDstWidth}) EXPECT_NEAR(Get(c, width), Dots(c, 1500), 2) << width;
    }
  }
}

TEST_F(ApplicationDevmodeTest, ACustomSizeOutsideTheModelsRangeIsHeldToIt) {
  // 20 x 15 mm is below the model's smallest custom paper: the limit, not the free-size slot.
  const AppDevmode app = AppDevmode(DM_PAPERSIZE | DM_PAPERLENGTH | DM_PAPERWIDTH)
                             .S16(kOffPaperSize, 256).S16(kOffPaperLength, 200).S16(kOffPaperWidth, 150);
  DriverContext* c = Merged(app, kMergeKinds[0]);
  ASSERT_NE(c, nullptr);
  const ModelDefaults& model = ContextModelDefaults(c);
  EXPECT_EQ(static_cast<DWORD>(static_cast<SHORT>(Get(c, 9))), DmDotsToUnits(kUnitTenthMm, model.customLengthMin, 1200));
  EXPECT_EQ(static_cast<DWORD>(static_cast<SHORT>(Get(c, 10))), DmDotsToUnits(kUnitTenthMm, model.customWidthMin, 1200));
}

TEST_F(ApplicationDevmodeTest, TheApplicationsMediaTypeReachesTheMediaItemAndStays) {
  for (DWORD flags : kMergeKinds) {
    SCOPED_TRACE(flags);
    DriverContext* c = Merged(AppDevmode(DM_MEDIATYPE).U32(kOffMediaType, 3), flags);  // glossy
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(Get(c, 29), 3u);
    EXPECT_EQ(Get(c, kMediaItem), 3u);
  }
  // A media type the model does not list is not taken.
  DriverContext* c = Merged(AppDevmode(DM_MEDIATYPE).U32(kOffMediaType, 999), kMergeKinds[0]);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(Get(c, kMediaItem), 1u);
}

TEST_F(ApplicationDevmodeTest, AFormNameAloneSelectsThePaperOfThatName) {
  const struct {
    std::u16string form;
    SHORT paper;
  } cases[] = {
      {u"Letter", 1},   // the model's paper name
      {u"LEGAL", 5},    // letter case aside
      {u"A3", 8},
      {u"Envelope #10", 9},  // no such paper in the model, nor a form of a model paper's size: stays A4
  };
  for (const auto& k : cases) {
    for (DWORD flags : kMergeKinds) {
      SCOPED_TRACE(testing::Message() << std::string(k.form.begin(), k.form.end()) << " flags 0x" << std::hex << flags);
      DriverContext* c = Merged(AppDevmode(DM_FORMNAME).Form(k.form), flags);
      ASSERT_NE(c, nullptr);
      EXPECT_EQ(static_cast<SHORT>(Get(c, 8)), k.paper);
      EXPECT_EQ(Text(c, 20), k.form);
    }
  }
}

TEST_F(ApplicationDevmodeTest, AFormOfTheSpoolerSelectsTheModelsPaperOfItsSize) {
  // A form the model has no name for, of A5's size (148 x 210 mm).
  std::u16string name = u"Half A4";
  FORM_INFO_1W form{FORM_USER, name.data(), {148000, 210000}, {0, 0, 148000, 210000}};
  ASSERT_TRUE(AddFormW(Open(), 1, reinterpret_cast<LPBYTE>(&form)));
  DriverContext* c = Merged(AppDevmode(DM_FORMNAME).Form(name), kMergeKinds[0]);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(static_cast<SHORT>(Get(c, 8)), 11);
}

TEST_F(ApplicationDevmodeTest, StandardBinsSelectTheTrayTheyNameWhenItIsInstalled) {
  constexpr WORD kTray3Installed = 10113, kLctInstalled = 10136;
  const struct {
    SHORT bin;
    SHORT stored;   // with every tray installed
    SHORT absent;   // with the lower tray and the large-capacity tray missing
  } cases[] = {
      {DMBIN_UPPER, 1, 1},  {DMBIN_MIDDLE, 3, 3}, {DMBIN_LOWER, 2, DMBIN_AUTO}, {DMBIN_MANUAL, 4, 4},
      {DMBIN_LARGECAPACITY, 11, DMBIN_AUTO},      {DMBIN_AUTO, 7, 7},           {DMBIN_FORMSOURCE, 7, 7},
  };
  for (const auto& k : cases) {
    for (DWORD flags : kMergeKinds) {
      for (bool installed : {true, false}) {
        SCOPED_TRACE(testing::Message() << "bin " << k.bin << " flags 0x" << std::hex << flags << " " << installed);
        DriverContext* c = Build(Open(), kKindModelDefaults);
        ASSERT_NE(c, nullptr);
        OptSetValue(c, kTray3Installed, installed);
        OptSetValue(c, kLctInstalled, installed);
        const AppDevmode app = AppDevmode(DM_DEFAULTSOURCE).S16(kOffSource, k.bin);
        ASSERT_EQ(DmMergeBytes(c, app.get(), app.bytes.size(), flags), 1);
        EXPECT_EQ(static_cast<SHORT>(Get(c, 13)), installed ? k.stored : k.absent);
      }
    }
  }
}

TEST_F(ApplicationDevmodeTest, CollatedCopiesAreKept) {
  const AppDevmode app =
      AppDevmode(DM_COPIES | DM_COLLATE).S16(kOffCopies, 3).S16(kOffCollate, DMCOLLATE_TRUE);
  for (DWORD flags : kMergeKinds) {
    SCOPED_TRACE(flags);
    DriverContext* c = Merged(app, flags);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(Get(c, 12), 3u);
    EXPECT_EQ(Get(c, 19), 1u);
  }
}

}  // namespace
