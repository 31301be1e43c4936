// How a context's record comes to be: from the model's defaults, from the printer's stored
// devmode, or from defaults when the stored devmode is not this driver's; and the compatibility
// test that guards every private part taken from outside.
#include <gtest/gtest.h>

#include "core/machine_root.h"
#include "settings/devmode/record_build_fixture.h"
#include "settings/devmode/device_config.h"
#include "settings/devmode/environment.h"
#include "settings/services/help_language.h"
#include "settings/persistence/paths.h"

namespace {

using velm::platform::SetMachineSetting;

constexpr WORD kPresetNo = 41, kCopies = 12, kResolutionW = 42, kResolutionH = 43, kPrintQuality = 14;

PrivateDevmode HeaderOnly(const ModelDefaults& d = kModelDefaults) {
  PrivateDevmode devmode{};
  DmWritePrivateHeader(&devmode, d);
  devmode.bytes[kDmOffMachineId] = d.machineId;
  return devmode;
}

TEST(RecordCompatibilityTest, EveryHeaderFieldMustAgreeButTheVersionsHighHalf) {
  const PrivateDevmode own = HeaderOnly();
  ASSERT_TRUE(DmIsCompatible(&own));
  const struct {
    const char* what;
    size_t at;
    BYTE value;
  } mismatches[] = {
      {"model tag", kDmOffModelTag, 'P'},        {"private size", kDmOffPrivateSize, 0x18},
      {"version", kDmOffFormatVersion, 0x04},    {"machine identifier", kDmOffMachineId, 131},
      {"variant", kDmOffModelVariant, 1},
  };
  for (const auto& m : mismatches) {
    PrivateDevmode d = own;
    d.bytes[m.at] = m.value;
    EXPECT_FALSE(DmIsCompatible(&d)) << m.what;
  }
  PrivateDevmode later = own;
  DmStoreU16(later.bytes, kDmOffFormatVersion + 2, 0x7777);
  EXPECT_TRUE(DmIsCompatible(&later));
  EXPECT_FALSE(DmIsCompatible(nullptr));

  // The signature counts only for a private part to be taken.
  PrivateDevmode unsigned_ = own;
  unsigned_.bytes[kDmOffSignature] = 'X';
  EXPECT_TRUE(DmIsCompatible(&unsigned_));
  EXPECT_FALSE(DmHasOwnPrivatePart(&unsigned_));
  EXPECT_TRUE(DmHasOwnPrivatePart(&own));

  // A model of variant 1 wants byte 857 = 1; a variant the test does not know matches nothing.
  ModelDefaults variant = kModelDefaults;
  variant.modelVariant = 1;
  PrivateDevmode one = own;
  one.bytes[kDmOffModelVariant] = 1;
  EXPECT_TRUE(DmIsCompatible(&one, variant));
  EXPECT_FALSE(DmIsCompatible(&own, variant));
  variant.modelVariant = 2;
  PrivateDevmode two = own;
  two.bytes[kDmOffModelVariant] = 2;
  EXPECT_FALSE(DmIsCompatible(&two, variant));
}

TEST_F(RecordBuildTest, ARecordOfDefaultsPassesItsOwnTestAndCarriesTheModelsDefaults) {
  DriverContext* c = Build(Open(), kKindModelDefaults);
  PrivateDevmode& d = c->settings->devmode;
  EXPECT_TRUE(DmHasOwnPrivatePart(&d));
  EXPECT_EQ(DmLoadU16(d.bytes, 361), 0);
  EXPECT_EQ(DmLoadU16(d.bytes, 363), 1260);
  EXPECT_EQ(DmLoadU16(d.bytes, 365), 1768);
  // The frame: this layout's sizes and versions, the machine identifier, the variant.
  EXPECT_EQ(DmLoadU16(d.bytes, 64), 0x401);
  EXPECT_EQ(DmLoadU16(d.bytes, 66), 0x400);
  EXPECT_EQ(DmLoadU16(d.bytes, kDmOffSize), kDmPublicSize);
  EXPECT_EQ(DmLoadU16(d.bytes, kDmOffDriverExtra), kDmPrivateSize);
  EXPECT_EQ(Get(c, 39), 130u);
  EXPECT_EQ(d.bytes[kDmOffModelVariant], 0);
  // Model defaults through the value maps, and the items that follow them.
  EXPECT_EQ(Get(c, 7), 1u);
  EXPECT_EQ(Get(c, 8), 9u);
  EXPECT_EQ(Get(c, kResolutionW), 600u);
  EXPECT_EQ(Get(c, kResolutionH), 600u);
  EXPECT_EQ(std::vector<DWORD>({Get(c, 44), Get(c, 45)}), std::vector<DWORD>({7016, 4961}));  // A4 at 600 dpi
  EXPECT_EQ(Text(c, 905), u"3.60");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(d.bytes + kDmOffIniName)), "qnset.ini");
  EXPECT_EQ(Get(c, kItemLanguageID), CfgHelpLanguageId(c));
  EXPECT_EQ(Get(c, 178), Get(c, kItemLanguageID));
  EXPECT_EQ(DmGetEnvironmentByte(c, kEnvCallSrc), 1);
  EXPECT_EQ(DmGetEnvironmentByte(c, kEnvOsKind), kOsKindNt5);
  EXPECT_EQ(DmGetEnvironmentByte(c, kEnvBatchInst), 1);
  // What the open's snapshot holds is the record as built.
  EXPECT_EQ(std::memcmp(c->work->savedCopy, c->settings, sizeof(SettingsRecord)), 0);
  EXPECT_EQ(DmGetPrintQuality(c), static_cast<LONG>(Get(c, kPrintQuality)));
  EXPECT_EQ(DmGetDstResolutionW(c), 600u);
}

TEST_F(RecordBuildTest, AStoredDevmodeOfThisModelIsTakenByEveryKind) {
  PrivateDevmode stored = DefaultsDevmode();
  SetIn(&stored, kPresetNo, 3);
  SetIn(&stored, kCopies, 5);
  SetIn(&stored, kResolutionW, 1200);
  SetIn(&stored, 430, 1);  // the configuration copy in the devmode: the open copies section 2 over it
  DmStoreU16(stored.bytes, 363, 2);  // a section base from outside is never taken
  const HANDLE printer = PrinterWith(u"Stored", stored);

  DriverContext* ordinary = Build(printer, kKindOrdinary);
  EXPECT_EQ(Get(ordinary, kPresetNo), 3u);
  EXPECT_EQ(Get(ordinary, kCopies), 5u);
  EXPECT_EQ(Get(ordinary, kResolutionH), 600u);
  EXPECT_EQ(Get(ordinary, 430), 0u);
  EXPECT_EQ(DmLoadU16(ordinary->settings->devmode.bytes, 363), 1260);

  // Kind 1 re-syncs what follows the items: item 43 and the public resolution follow item 42.
  DriverContext* resync = Build(printer, kKindResync);
  EXPECT_EQ(Get(resync, kPresetNo), 3u);
  EXPECT_EQ(Get(resync, kResolutionH), 1200u);
  EXPECT_EQ(Get(resync, kPrintQuality), 1200u);

  // Kind 3 builds the defaults, then still takes the stored devmode, which matches them.
  DriverContext* defaults = Build(printer, kKindModelDefaults);
  EXPECT_EQ(Get(defaults, kPresetNo), 3u);
  EXPECT_EQ(Get(defaults, kResolutionH), 600u);
  EXPECT_EQ(DmLoadU16(defaults->settings->devmode.bytes, 363), 1260);
}

TEST_F(RecordBuildTest, AForeignStoredDevmodeLeavesNothingBehind) {
  const PrivateDevmode reference = DefaultsDevmode();
  PrivateDevmode foreign = reference;
  SetIn(&foreign, kPresetNo, 3);
  foreign.bytes[kDmOffModelVariant] = 1;
  DmStoreU32(foreign.bytes, kDmOffStateFlags, 0xFFFFFFFF);
  foreign.bytes[941] = 0xEE;  // an alignment gap of the configuration copy
  const HANDLE printer = PrinterWith(u"Foreign", foreign);

  // Kind 3 on this printer builds exactly what it builds on a printer without a devmode.
  EXPECT_EQ(Bytes(Build(printer, kKindModelDefaults)), Bytes(reference));
  DriverContext* ordinary = Build(printer, kKindOrdinary);
  EXPECT_TRUE(DmHasOwnPrivatePart(&ordinary->settings->devmode));
  EXPECT_EQ(ordinary->settings->devmode.bytes[kDmOffModelVariant], 0);
  EXPECT_EQ(DmGetStateFlags(&ordinary->settings->devmode), DmGetStateFlags(&reference));
  EXPECT_EQ(ordinary->settings->devmode.bytes[941], 0);
  EXPECT_EQ(Get(ordinary, kPresetNo), 0u);
}

TEST_F(RecordBuildTest, OnlyTheDriversOwnDevmodeIsLoadedFromThePrinter) {
  PrivateDevmode own = DefaultsDevmode();
  SetIn(&own, kPresetNo, 3);
  DmStoreU16(own.bytes, kDmOffFormatVersion + 2, 0x0009);  // a later version's high half
  const struct {
    const char16_t* name;
    size_t at;
    size_t width;
    DWORD value;
  } refused[] = {
      {u"Signature", kDmOffSignature, 1, 'X'},     {u"Tag", kDmOffModelTag, 1, 'q'},
      {u"Machine", kDmOffMachineId, 1, 0x5A},       {u"Version", kDmOffFormatVersion, 1, 2},
      {u"Header size", kDmOffPrivateSize, 2, 1048},
  };
  DriverContext* taking = Build(PrinterWith(u"Own", own), kKindModelDefaults);
  ASSERT_TRUE(DmLoadFromPrinter(taking));
  EXPECT_EQ(Get(taking, kPresetNo), 3u);
  for (const auto& r : refused) {
    PrivateDevmode bad = own;
    if (r.width == 1) bad.bytes[r.at] = static_cast<BYTE>(r.value);
    else DmStoreU16(bad.bytes, r.at, static_cast<WORD>(r.value));
    DriverContext* c = Build(PrinterWith(r.name, bad), kKindModelDefaults);
    const std::vector<BYTE> before = Bytes(c);
    EXPECT_FALSE(DmLoadFromPrinter(c)) << std::string(r.name, r.name + std::char_traits<char16_t>::length(r.name));
    EXPECT_EQ(Bytes(c), before);
  }
  // Whole devmodes of another layout: a longer private part, a shorter public one.
  std::vector<BYTE> longer = Bytes(own);
  longer.resize(kDmSize + 8);
  DmStoreU16(longer.data(), kDmOffDriverExtra, kDmPrivateSize + 8);
  std::vector<BYTE> shorter(own.bytes, own.bytes + 212);
  shorter.insert(shorter.end(), own.bytes + kDmPublicSize, own.bytes + kDmSize);
  DmStoreU16(shorter.data(), kDmOffSize, 212);
  for (const auto& [name, bytes] : {std::pair{u"Longer", longer}, std::pair{u"Shorter", shorter}}) {
    DriverContext* c = Build(PrinterWith(name, bytes), kKindModelDefaults);
    EXPECT_FALSE(DmLoadFromPrinter(c));
    EXPECT_EQ(Get(c, kPresetNo), 0u);
  }
}

TEST_F(RecordBuildTest, AResetKeepsTheFrameAndTheFontListsAndEmptiesText) {
  DriverContext* c = Build(Open(), kKindModelDefaults);
  OptSetValue(c, 10004, 3);
  std::memset(c->settings->devmode.bytes, 0xAB, kDmSize);
  DmResetAllToDefaults(c);
  EXPECT_TRUE(DmHasOwnPrivatePart(&c->settings->devmode));
  EXPECT_EQ(DmLoadU16(c->settings->devmode.bytes, kDmOffSize), kDmPublicSize);
  EXPECT_EQ(Get(c, 10004), 3u);
  EXPECT_EQ(Text(c, 350), u"");   // a string item: emptied, its default being a number
  EXPECT_EQ(Text(c, 707), u"");
  EXPECT_EQ(Get(c, kPresetNo), 0u);  // 0 less 119 is no preset number
  EXPECT_EQ(Get(c, 8), 9u);
}

// ---- Environment bytes and job actions ---------------------------------------------------------

TEST_F(RecordBuildTest, TheEnvironmentFollowsTheSystemThePrinterAndTheCaller) {
  velm::tools::PrinterOptions options;
  options.name = u"Shared";
  options.serverName = u"\\\\SERVER";
  options.bidi = true;
  std::string error;
  ASSERT_TRUE(velm::tools::AddPrinter(options, &error)) << error;
  ASSERT_TRUE(SetMachineSetting("os", "nt4"));
  ASSERT_TRUE(SetMachineSetting("terminal_server", "1"));
  DriverContext* c = CtxCreateEx(Open(velm::tools::PrinterFullName(options)), 0,
                                 kKindModelDefaults | kKindForceAdmin, 0, 0, nullptr);
  ASSERT_NE(c, nullptr);
  contexts_.push_back(c);
  OptSetValue(c, 40, 1);
  OptSetValue(c, 10002, 1);
  std::memset(c->settings->devmode.bytes + kDmOffEnvironment, 0x77, 16);
  DmSetEnvironment(c);
  const std::vector<BYTE> expected{1, kOsKindNt4, 1, 0, 0, 0, 1, 1, 1, 1, 0, 0, 0, 0, 1, 1};
  const BYTE* env = c->settings->devmode.bytes + kDmOffEnvironment;
  EXPECT_EQ(std::vector<BYTE>(env, env + 16), expected);

  // Without the kind flag, the administrator test answers.
  DriverContext* plain = Build(Open(), kKindModelDefaults);
  ASSERT_TRUE(SetMachineSetting("administrator", "1"));
  DmSetEnvironment(plain);
  EXPECT_EQ(DmGetEnvironmentByte(plain, kEnvAdmin), 1);
  ASSERT_TRUE(SetMachineSetting("administrator", "0"));
  DmSetEnvironment(plain);
  EXPECT_EQ(DmGetEnvironmentByte(plain, kEnvAdmin), 0);
  EXPECT_EQ(DmGetEnvironmentByte(plain, kEnvServerClientMode), 0);

  EXPECT_TRUE(DmSetEnvironmentByte(plain, kEnvBiDirect, 1));
  EXPECT_EQ(DmGetEnvironmentByte(plain, kEnvBiDirect), 1);
  EXPECT_FALSE(DmSetEnvironmentByte(plain, 714, 1));
  EXPECT_FALSE(DmSetEnvironmentByte(plain, 731, 1));
  EXPECT_EQ(DmGetEnvironmentByte(plain, 714), 0);
}

TEST_F(RecordBuildTest, JobActionsAreClearedOnlyOnATerminalServer) {
  DriverContext* c = Build(Open(), kKindModelDefaults);
  const auto setActions = [&] {
    for (WORD id = 224; id <= 239; ++id) OptSetValue(c, id, 1);
  };
  IniFile(c);
  const auto storedWord = [&] {
    WCHAR text[16] = {};
    GetPrivateProfileStringW(u"Velm Printer", u"vdmAction", u"absent", text, 16, PathGetSettingsIni(c));
    return std::u16string(text);
  };
  setActions();
  DmResetJobActions(c, TRUE);
  EXPECT_EQ(Get(c, 224), 1u);
  EXPECT_EQ(Get(c, 239), 1u);
  EXPECT_EQ(storedWord(), u"absent");

  ASSERT_TRUE(SetMachineSetting("terminal_server", "1"));
  DmResetJobActions(c, FALSE);
  for (WORD id = 224; id <= 239; ++id) EXPECT_EQ(Get(c, id), 0u) << id;
  EXPECT_EQ(storedWord(), u"absent");
  setActions();
  DmResetJobActions(c, TRUE);
  EXPECT_EQ(Get(c, 231), 0u);
  EXPECT_EQ(storedWord(), u"0");
}

// ---- Device configuration --------------------------------------------------------------------

TEST_F(RecordBuildTest, TheDeviceConfigurationIsCopiedFieldByFieldAroundTheGaps) {
  DriverContext* c = Build(Open(), kKindModelDefaults);
  SettingsRecord& r = *c->settings;
  for (DWORD i = 0; i < kDmConfigSize; ++i) r.config[i] = static_cast<BYTE>(i * 7 + 1);
  std::memset(r.devmode.bytes + 892, 0xEE, 1241 - 892);
  const BYTE environment = r.devmode.bytes[kDmOffEnvironment];
  DmCopyDeviceConfig(c);
  // After the user code, after each s16 count (the u32 handles follow at multiples of four), after
  // the memory type and after the long text.
  const size_t gaps[] = {903, 906, 907, 914, 915, 922, 923, 930, 931, 941, 942, 943, 1174, 1175};
  size_t copied = 0;
  for (size_t at = 892; at < 1241; ++at) {
    const bool gap = std::find(std::begin(gaps), std::end(gaps), at) != std::end(gaps);
    EXPECT_EQ(r.devmode.bytes[at], gap ? 0xEE : r.config[at - 892]) << "byte " << at;
    copied += gap ? 0 : 1;
  }
  EXPECT_EQ(copied, 1241u - 892 - std::size(gaps));
  EXPECT_EQ(r.devmode.bytes[kDmOffEnvironment], environment);
}

}  // namespace
