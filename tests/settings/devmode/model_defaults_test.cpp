#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "settings/devmode/model_defaults.h"

namespace {

const ModelDefaults& md = kModelDefaults;

struct NumberField {
  const char* name;
  long long actual;
  long long expected;
};

TEST(ModelDefaultsTest, NumbersHoldTheModelsValues) {
  const NumberField fields[] = {
      {"specVersion", md.specVersion, 0x401},
      {"driverVersion", md.driverVersion, 0x400},
      {"publicFieldsMask", md.publicFieldsMask, 0x7F03},
      {"rangeScaleMax", md.rangeScaleMax, 999},
      {"reserved18", md.reserved18, 1},
      {"reserved20", md.reserved20, 4},
      {"capabilityWord", md.capabilityWord, 90},
      {"defaultResolution", md.defaultResolution, 600},
      {"reserved32", md.reserved32, 0},
      {"defaultOrientation", md.defaultOrientation, 1},
      {"defaultPaperSize", md.defaultPaperSize, 9},
      {"defaultPaperLength", md.defaultPaperLength, 0},
      {"defaultPaperWidth", md.defaultPaperWidth, 0},
      {"defaultScale", md.defaultScale, 100},
      {"defaultCopies", md.defaultCopies, 1},
      {"defaultDefaultSource", md.defaultDefaultSource, 7},
      {"defaultPrintQuality", md.defaultPrintQuality, 600},
      {"defaultColor", md.defaultColor, 2},
      {"defaultDuplex", md.defaultDuplex, 1},
      {"defaultYResolution", md.defaultYResolution, 600},
      {"defaultTTOption", md.defaultTTOption, 3},
      {"defaultCollate", md.defaultCollate, 0},
      {"reserved62", md.reserved62, 0},
      {"defaultIcmMethod", md.defaultIcmMethod, 1},
      {"defaultIcmIntent", md.defaultIcmIntent, 1},
      {"defaultMediaType", md.defaultMediaType, 1},
      {"defaultDitherType", md.defaultDitherType, 1},
      {"scaleMin", md.scaleMin, 1},
      {"scaleMax", md.scaleMax, 1000},
      {"copiesMin", md.copiesMin, 1},
      {"copiesMax", md.copiesMax, 999},
      {"reserved104", md.reserved104, 0},
      {"formatVersion", md.formatVersion, 0x00030003},
      {"item35To38Defaults[0]", md.item35To38Defaults[0], 0},
      {"item35To38Defaults[3]", md.item35To38Defaults[3], 0},
      {"machineId", md.machineId, 130},
      {"modelVariant", md.modelVariant, 0},
      {"item42Default", md.item42Default, 600},
      {"item43Default", md.item43Default, 600},
      {"trayPaperDefaults[0]", md.trayPaperDefaults[0], 9},
      {"trayPaperDefaults[1]", md.trayPaperDefaults[1], 9},
      {"trayPaperDefaults[2]", md.trayPaperDefaults[2], 9},
      {"trayPaperDefaults[3]", md.trayPaperDefaults[3], 9},
      {"languageDefault", md.languageDefault, 0},
      {"item178Default", md.item178Default, 0},
      {"item179Default", md.item179Default, 0},
      {"item182Default", md.item182Default, 0},
      {"item245Default", md.item245Default, 16},
      {"item441Default", md.item441Default, 32},
      {"reserved156", md.reserved156, 0},
      {"reserved172", md.reserved172, 0},
      {"reserved180", md.reserved180, 0},
      {"settingsFileVersion", md.settingsFileVersion, 200},
      {"customWidthMin", md.customWidthMin, 4250},
      {"customWidthMax", md.customWidthMax, 14408},
      {"customLengthMin", md.customLengthMin, 6992},
      {"customLengthMax", md.customLengthMax, 21590},
  };
  for (const auto& f : fields) EXPECT_EQ(f.actual, f.expected) << f.name;
}

TEST(ModelDefaultsTest, StringsHoldTheModelsNames) {
  struct {
    const char* name;
    const WCHAR* actual;
    const char16_t* expected;
  } fields[] = {
      {"settingsIniName", md.settingsIniName, u"qnset.ini"},
      {"outputLibraryName", md.outputLibraryName, u"qnoutlib.dll"},
      {"defaultFormName", md.defaultFormName, u"A4"},
      {"versionString1", md.versionString1, u"01.00"},
      {"versionString2", md.versionString2, u"01.00"},
      {"driverNameFallback", md.driverNameFallback, u"JP"},
      {"driverIniName", md.driverIniName, u"qndrv.ini"},
      {"companionLibraryName", md.companionLibraryName, u"qnauxa.dll"},
      {"ownLibraryName", md.ownLibraryName, u"velmexc.dll"},
      {"resourceDataLibraryName", md.resourceDataLibraryName, u"qnresdat.dll"},
      {"descriptionVersion", md.descriptionVersion, u"3.60"},
  };
  for (const auto& f : fields) {
    ASSERT_NE(f.actual, nullptr) << f.name;
    EXPECT_EQ(std::u16string(f.actual), std::u16string(f.expected)) << f.name;
  }
}

TEST(ModelDefaultsTest, ModelTagIsTheBytesPriv) {
  unsigned char bytes[4];
  std::memcpy(bytes, &md.modelTag, 4);  // the host is little-endian, as the devmode is
  EXPECT_EQ(std::memcmp(bytes, "priv", 4), 0);
}

// The item-defaults block was thirteen s16; its 0x900 entry must come back from the bytes.
TEST(ModelDefaultsTest, ItemDefaultBytesRebuildTheSixteenBitBlock) {
  EXPECT_EQ(md.languageDefault | (md.item178Default << 8), 0);
  EXPECT_EQ(md.item179Default | (md.reservedByte9 << 8), 0x900);
  EXPECT_EQ(md.item182Default | (md.reservedByte0 << 8), 0);
}

}  // namespace
