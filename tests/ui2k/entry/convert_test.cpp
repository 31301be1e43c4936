// Silent document properties, DrvConvertDevMode and DevQueryPrintEx: sizes and errors, foreign
// devmodes, the mode bytes by system, the installing count, form matching, random devmodes.
#include <atomic>
#include <random>
#include <thread>

#include "entry_fixture.h"
#include "settings/context/open_steps.h"
#include "ui2k/entry/devmode_convert.h"

namespace velm::test {
namespace {

class ConvertTest : public EntryTest {};

TEST_F(ConvertTest, DocumentPropertiesWithoutModeAnswersTheSizeAndCallsNoSpooler) {
  int spoolerCalls = 0;
  platform::SetSpoolCallHook([&](const platform::SpoolCall&) -> std::optional<platform::SpoolFault> {
    ++spoolerCalls;
    return std::nullopt;
  });
  std::vector<BYTE> out(1260);
  EXPECT_EQ(DrvDocumentProperties(nullptr, printer_, g_printerName.data(), Dm(out), nullptr, 0), 1260);
  EXPECT_EQ(DrvDocumentProperties(nullptr, printer_, g_printerName.data(), nullptr, nullptr, DM_COPY), 1260);
  EXPECT_EQ(spoolerCalls, 0);
  EXPECT_TRUE(UiSeamCalls().empty());
}

TEST_F(ConvertTest, AForeignDevmodeGivesOurDefaultsWithItsValidatedPublicFields) {
  std::vector<BYTE> foreign = DefaultDevmode();
  foreign[349] ^= 0xFF;  // another model's tag
  foreign[1000] = 0x5A;  // a private byte of that model
  Dm(foreign)->dmCopies = 7;
  Dm(foreign)->dmOrientation = 2;
  Dm(foreign)->dmScale = 30000;  // out of range: validated
  std::vector<BYTE> out(1260);
  EXPECT_EQ(DrvDocumentProperties(nullptr, printer_, g_printerName.data(), Dm(out), Dm(foreign),
                                  DM_IN_BUFFER | DM_COPY),
            IDOK);
  const std::vector<BYTE> defaults = DefaultDevmode();
  EXPECT_EQ(Dm(out)->dmCopies, 7);
  EXPECT_EQ(Dm(out)->dmOrientation, 2);
  EXPECT_NE(Dm(out)->dmScale, 30000);
  EXPECT_EQ(std::memcmp(out.data() + 349, defaults.data() + 349, 12), 0) << "our model tag, size and version";
  EXPECT_EQ(out[1000], defaults[1000]);
}

struct ModeCase {
  const char* os;
  DWORD fMode;
  BYTE callSrc, osKind, noPermission;
};

class ModeBytesTest : public ConvertTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(ModeBytesTest, SilentPropertiesSetTheModeBytesBySystem) {
  const ModeCase c = GetParam();
  ASSERT_TRUE(platform::SetMachineSetting("os", c.os));
  std::vector<BYTE> out(1260);
  ASSERT_EQ(DrvDocumentProperties(nullptr, printer_, g_printerName.data(), Dm(out), nullptr, DM_COPY | c.fMode), IDOK);
  EXPECT_EQ(out[1241], c.callSrc);
  EXPECT_EQ(out[1242], c.osKind);
  EXPECT_EQ(out[1246], c.noPermission);
  EXPECT_EQ(out[1253], 0) << "document properties";
}

INSTANTIATE_TEST_SUITE_P(Systems, ModeBytesTest,
                         ::testing::Values(ModeCase{"nt10", 0, 1, 2, 0}, ModeCase{"2000", DM_NOPERMISSION, 1, 2, 1},
                                           ModeCase{"nt4", 0, 0, 1, 0}, ModeCase{"nt4", DM_USER_DEFAULT, 1, 1, 0}));

TEST_F(ConvertTest, ConvertRefusesWhatItCannotDoWithTheRightErrors) {
  std::vector<BYTE> in = DefaultDevmode();
  std::vector<BYTE> out(1260);
  EXPECT_FALSE(DrvConvertDevMode(g_printerName.data(), Dm(in), Dm(out), nullptr, CDM_CONVERT));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  LONG needed = 1227;
  EXPECT_FALSE(DrvConvertDevMode(g_printerName.data(), Dm(in), Dm(out), &needed, CDM_CONVERT351));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(needed, 1228);
  needed = 1228;
  EXPECT_TRUE(DrvConvertDevMode(g_printerName.data(), Dm(in), Dm(out), &needed, CDM_CONVERT351));
  EXPECT_EQ(Dm(out)->dmSpecVersion, 0x320);
  EXPECT_EQ(Dm(out)->dmSize, 188);
  EXPECT_EQ(Dm(out)->dmDriverVersion, 0x350);
  EXPECT_EQ(Dm(out)->dmDriverExtra, 1040);
  EXPECT_EQ(std::memcmp(out.data() + 188, in.data() + 220, 1040), 0) << "the private part follows the 188 bytes";

  needed = 1259;
  EXPECT_FALSE(DrvConvertDevMode(g_printerName.data(), nullptr, Dm(out), &needed, CDM_DRIVER_DEFAULT));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(needed, 1260);

  // CDM_CONVERT: the output's own sizes are read only when the byte count covers them.
  needed = 10;
  EXPECT_FALSE(DrvConvertDevMode(g_printerName.data(), Dm(in), Dm(out), &needed, CDM_CONVERT));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  std::vector<BYTE> target = DefaultDevmode();
  needed = 1259;
  EXPECT_FALSE(DrvConvertDevMode(g_printerName.data(), Dm(in), Dm(target), &needed, CDM_CONVERT));
  needed = 1260;
  EXPECT_FALSE(DrvConvertDevMode(g_printerName.data(), nullptr, Dm(target), &needed, CDM_CONVERT));

  SetLastError(0);
  needed = 1260;
  EXPECT_FALSE(DrvConvertDevMode(g_printerName.data(), Dm(in), Dm(out), &needed, 0x80));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(UiInstalling.load(), 0);
}

TEST_F(ConvertTest, DriverDefaultAndConvertInstallWithTheInstallingCountRaised) {
  static std::atomic<DWORD> flagsSeen{0};
  flagsSeen = 0;
  seams_.instRunPendingInstSet = [](UiContext* ui) { flagsSeen |= ui->driver->work->creationFlags; };
  seams_.instInitializePrinter = [](HANDLE, int kind) -> BOOL {
    UiNoteSeamCall("InstInitializePrinter " + std::to_string(kind));
    return UiInstalling.load() > 0;
  };
  std::vector<BYTE> out(1260);
  LONG needed = 1260;
  EXPECT_TRUE(DrvConvertDevMode(g_printerName.data(), nullptr, Dm(out), &needed, CDM_DRIVER_DEFAULT));
  EXPECT_EQ(UiInstalling.load(), 0);
  EXPECT_EQ(std::memcmp(out.data() + 220, "VELM", 4), 0) << "a printer just initialised gives the default devmode";
  EXPECT_EQ(Dm(out)->dmSize, 220);
  EXPECT_EQ(Dm(out)->dmDriverExtra, 1040);
  EXPECT_EQ(std::memcmp(out.data() + 276, "QCOMMON", 8), 0);
  EXPECT_EQ(Count(UiSeamCalls(), "InstInitializePrinter 0"), 1);
  EXPECT_EQ(Count(UiSeamCalls(), "InstWriteStamp 1 2"), 1);

  std::vector<BYTE> in = DefaultDevmode();
  needed = 1260;
  EXPECT_TRUE(DrvConvertDevMode(g_printerName.data(), Dm(in), Dm(out), &needed, CDM_CONVERT));
  EXPECT_EQ(UiInstalling.load(), 0);
  EXPECT_TRUE(flagsSeen.load() & 0x40000) << "contexts opened while installing keep to the shared folder";
  EXPECT_EQ(Count(UiSeamCalls(), "InstWriteStamp 1 2"), 2) << "same model: install kind 2";

  // Failures on the way leave the count as it was.
  seams_.instWriteStamp = [](HANDLE, int, int) -> BOOL { return FALSE; };
  needed = 1260;
  EXPECT_FALSE(DrvConvertDevMode(g_printerName.data(), Dm(in), Dm(out), &needed, CDM_CONVERT));
  EXPECT_EQ(UiInstalling.load(), 0);
  platform::SetOpenPrinterRefusal([](std::u16string_view, ACCESS_MASK) { return true; });
  needed = 1260;
  EXPECT_FALSE(DrvConvertDevMode(g_printerName.data(), nullptr, Dm(out), &needed, CDM_DRIVER_DEFAULT));
  EXPECT_EQ(UiInstalling.load(), 0);
}

TEST_F(ConvertTest, TwoThreadsInstallingDoNotClearEachOthersCount) {
  static std::atomic<int> inside{0};
  static std::atomic<bool> sawBoth{false};
  seams_.instInitializePrinter = [](HANDLE, int) -> BOOL {
    ++inside;
    for (int i = 0; i < 200 && inside.load() < 2; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (UiInstalling.load() == 2) sawBoth = true;
    --inside;
    return UiInstalling.load() > 0;
  };
  auto run = [] {
    std::vector<BYTE> out(1260);
    LONG needed = 1260;
    DrvConvertDevMode(g_printerName.data(), nullptr, reinterpret_cast<DEVMODEW*>(out.data()), &needed,
                      CDM_DRIVER_DEFAULT);
  };
  std::thread a(run), b(run);
  a.join();
  b.join();
  EXPECT_TRUE(sawBoth.load());
  EXPECT_EQ(UiInstalling.load(), 0);
}

TEST_F(ConvertTest, JobQueryMatchesFormsAndNeverRefusesTheJob) {
  DEVQUERYPRINT_INFO info{};
  info.cbSize = sizeof info;
  info.hPrinter = printer_;
  EXPECT_FALSE(DevQueryPrintEx(nullptr));
  EXPECT_TRUE(DevQueryPrintEx(&info));

  std::vector<BYTE> job = DefaultDevmode();
  info.pDevMode = Dm(job);
  Dm(job)->dmFields = DM_PAPERLENGTH | DM_PAPERWIDTH;
  Dm(job)->dmPaperWidth = 2104;   // 0.4 mm wider than A4
  Dm(job)->dmPaperLength = 2966;  // 0.4 mm shorter
  EXPECT_TRUE(DevQueryPrintEx(&info));
  EXPECT_EQ(std::u16string(Dm(job)->dmFormName), u"A4");
  EXPECT_EQ(Dm(job)->dmPaperWidth, 2100);
  EXPECT_EQ(Dm(job)->dmPaperLength, 2970);
  EXPECT_TRUE(Dm(job)->dmFields & DM_FORMNAME);
  const SHORT a4Index = Dm(job)->dmPaperSize;
  EXPECT_GT(a4Index, 0);

  job = DefaultDevmode();
  info.pDevMode = Dm(job);
  Dm(job)->dmFields = DM_PAPERLENGTH | DM_PAPERWIDTH;
  Dm(job)->dmPaperWidth = 2111;  // 1.1 mm off (the tolerance is 1 mm): a custom size as it is
  Dm(job)->dmPaperLength = 2970;
  std::memset(Dm(job)->dmFormName, 0, sizeof Dm(job)->dmFormName);
  EXPECT_TRUE(DevQueryPrintEx(&info));
  EXPECT_EQ(Dm(job)->dmPaperWidth, 2111);
  EXPECT_EQ(Dm(job)->dmFormName[0], 0);

  job = DefaultDevmode();
  info.pDevMode = Dm(job);
  Dm(job)->dmFields = DM_PAPERSIZE;
  Dm(job)->dmPaperSize = a4Index;
  EXPECT_TRUE(DevQueryPrintEx(&info));
  EXPECT_EQ(std::u16string(Dm(job)->dmFormName), u"A4");

  job = DefaultDevmode();
  info.pDevMode = Dm(job);
  Dm(job)->dmFields = DM_FORMNAME;
  const std::u16string a4 = u"A4";
  std::memset(Dm(job)->dmFormName, 0, sizeof Dm(job)->dmFormName);
  std::memcpy(Dm(job)->dmFormName, a4.data(), a4.size() * 2);
  EXPECT_TRUE(DevQueryPrintEx(&info));
  EXPECT_EQ(Dm(job)->dmPaperSize, a4Index);
  EXPECT_EQ(Dm(job)->dmPaperWidth, 2100);
}

struct ShapeCase {
  WORD inSize, inExtra;
  WORD outSize, outExtra, outSpec;
};

class ApplyShapeTest : public ConvertTest, public ::testing::WithParamInterface<ShapeCase> {};

TEST_P(ApplyShapeTest, TheOutputTakesTheSmallerOfTheInputsShapes) {
  const ShapeCase c = GetParam();
  std::vector<BYTE> source = DefaultDevmode();
  std::vector<BYTE> in(1260);
  Dm(in)->dmSize = c.inSize;
  Dm(in)->dmDriverExtra = c.inExtra;
  Dm(in)->dmDriverVersion = 0x123;
  std::vector<BYTE> out(1300, 0xAB);
  EXPECT_EQ(DmConvertForApply(Dm(source), Dm(in), Dm(out)), 1);
  EXPECT_EQ(Dm(out)->dmSize, c.outSize);
  EXPECT_EQ(Dm(out)->dmDriverExtra, c.outExtra);
  EXPECT_EQ(Dm(out)->dmSpecVersion, static_cast<WORD>(c.outSpec));
  EXPECT_EQ(out[c.outSize + c.outExtra], 0xAB) << "nothing written past the shape";
  EXPECT_EQ(std::memcmp(out.data() + c.outSize, source.data() + 220, c.outExtra), 0);
}

INSTANTIATE_TEST_SUITE_P(Shapes, ApplyShapeTest,
                         ::testing::Values(ShapeCase{220, 1040, 220, 1040, 0x401}, ShapeCase{188, 1040, 188, 1040, 0x320},
                                           ShapeCase{220, 100, 220, 100, 0x401}, ShapeCase{220, 2000, 220, 1040, 0x401}));

TEST_F(ConvertTest, ApplyWithoutInputCopiesTheWholeSourceAndWithoutOutputFails) {
  std::vector<BYTE> source = DefaultDevmode();
  std::vector<BYTE> out(1260);
  EXPECT_EQ(DmConvertForApply(Dm(source), nullptr, Dm(out)), 1);
  EXPECT_EQ(out, source);
  EXPECT_EQ(DmConvertForApply(Dm(source), nullptr, nullptr), -1);
}

// Devmodes of random bytes under random sizes, through the conversion and the job query.
TEST_F(ConvertTest, RandomDevmodesAreRefusedOrConvertedWithoutHarm) {
  std::mt19937 random(34);
  DEVQUERYPRINT_INFO info{};
  info.cbSize = sizeof info;
  info.hPrinter = printer_;
  for (int round = 0; round < 150; ++round) {
    std::vector<BYTE> in = DefaultDevmode();
    const int flips = 1 + static_cast<int>(random() % 40);
    for (int i = 0; i < flips; ++i) in[random() % in.size()] = static_cast<BYTE>(random());
    // The claimed sizes must stay within the buffer, as a caller's devmode does.
    const WORD size = static_cast<WORD>(random() % 221);
    Dm(in)->dmSize = size;
    Dm(in)->dmDriverExtra = static_cast<WORD>(random() % (1261 - size));
    std::vector<BYTE> out = DefaultDevmode();
    LONG needed = static_cast<LONG>(random() % 1400);
    const DWORD modes[] = {CDM_CONVERT, CDM_CONVERT351, CDM_DRIVER_DEFAULT, 0, 3};
    const DWORD mode = modes[random() % 5];
    std::vector<BYTE> big(4096);
    DrvConvertDevMode(g_printerName.data(), Dm(in), mode == CDM_CONVERT ? Dm(out) : Dm(big), &needed, mode);
    info.pDevMode = Dm(in);
    EXPECT_TRUE(DevQueryPrintEx(&info)) << round;
    EXPECT_EQ(UiInstalling.load(), 0);
  }
}

}  // namespace
}  // namespace velm::test
