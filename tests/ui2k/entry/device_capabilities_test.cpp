// Device capabilities asked as applications ask them: DeviceCapabilitiesW loads the printer's
// interface library from the driver folder. Lists are asked for their count first, then filled.
// Expected values come from the model description (data/model/qnvelm.dsc) and the English strings.
#include <gmock/gmock.h>

#include <filesystem>

#include "core/machine_root.h"
#include "data/item_ids.h"
#include "entry_fixture.h"
#include "settings/items/store.h"
#include "ui2k/entry/device_capabilities.h"

namespace velm::test {
namespace {

class DevCapsTest : public EntryTest {
 protected:
  int Ask(WORD index, void* output = nullptr, const DEVMODEW* devmode = nullptr) {
    return DeviceCapabilitiesW(g_printerName.c_str(), nullptr, index, static_cast<LPWSTR>(output), devmode);
  }

  // A list of `T`, `per` of them an entry: count first, then a buffer of that size filled.
  template <typename T>
  std::vector<T> List(WORD index, size_t per = 1, const DEVMODEW* devmode = nullptr) {
    const int count = Ask(index, nullptr, devmode);
    if (count <= 0) return {};
    std::vector<T> out(size_t(count) * per);
    EXPECT_EQ(Ask(index, out.data(), devmode), count);
    return out;
  }

  std::vector<std::u16string> Names(WORD index, size_t width) {
    const std::vector<char16_t> fields = List<char16_t>(index, width);
    std::vector<std::u16string> names;
    for (size_t at = 0; at < fields.size(); at += width) {
      const auto field = fields.begin() + static_cast<ptrdiff_t>(at);
      EXPECT_EQ(*(field + static_cast<ptrdiff_t>(width) - 1), u'\0');
      names.emplace_back(&*field);
    }
    return names;
  }

  void SetData(const char16_t* name, std::vector<BYTE> bytes) {
    ASSERT_EQ(SetPrinterDataW(printer_, const_cast<LPWSTR>(name), REG_BINARY, bytes.data(), DWORD(bytes.size())),
              ERROR_SUCCESS);
  }
  void SetFlag(const char16_t* name, BYTE on) { SetData(name, {on, 0, 0, 0}); }

  // The printer's default devmode; an empty one removes it.
  void SetPrinterDevmode(std::string devmode) {
    ASSERT_EQ(platform::UpdateSpoolPrinter(g_printerName, [&](platform::SpoolPrinter& p) { p.devmode = devmode; }),
              ERROR_SUCCESS);
  }
  // The driver's default devmode with byte `offset` set to `value`.
  std::string DriverDevmodeWith(size_t offset, BYTE value) {
    std::vector<BYTE> devmode = DefaultDevmode();
    devmode[offset] = value;
    return std::string(devmode.begin(), devmode.end());
  }

  std::filesystem::path DriverFile(const char* name) {
    return root_.OnDriveC(std::string("Windows/System32/spool/drivers/w32x86/3/") + name);
  }
};

// Answers that need no printer: the same with and without the model description.
struct ConstantCase {
  WORD index;
  int answer;
};
constexpr ConstantCase kConstants[] = {
    {DC_SIZE, 220},        {DC_EXTRA, 1040},           {DC_VERSION, 0x401},       {DC_DRIVER, 0x400},
    {DC_ORIENTATION, 90},  {DC_COPIES, 999},           {DC_FILEDEPENDENCIES, 0},  {DC_BINADJUST, -1},
    {DC_EMF_COMPLIANT, -1}, {DC_DATATYPE_PRODUCED, -1}, {DC_PRINTRATEUNIT, 1},     {DC_NUP, 5},
    {DC_PERSONALITY, 1},   {DC_MANUFACTURER, -1},      {DC_MODEL, -1},            {DC_PRINTERMEM, -1},
    {0, -1},               {34, -1},                   {0xFFFF, -1},
    // The custom extents in 0.1 mm, length << 16 | width: 4250 x 6992 and 14408 x 21590 dots at
    // 1200 dpi, each the smallest length whose dots (1200 x (a / 254) + 1200 x (a mod 254) / 254)
    // reach them: 900 (4251), 1480 (6992), 3050 (14409, back as the even 14408), 4570 (21590).
    {DC_MINEXTENT, 1480 << 16 | 900}, {DC_MAXEXTENT, 4570 << 16 | 3050},
};
constexpr WORD kContextIndexes[] = {DC_FIELDS,    DC_PAPERS,      DC_PAPERSIZE, DC_BINS,      DC_DUPLEX,
                                    DC_BINNAMES,  DC_ENUMRESOLUTIONS, DC_TRUETYPE, DC_PAPERNAMES, DC_COLLATE,
                                    DC_PRINTRATE, DC_MEDIAREADY,  DC_STAPLE,    DC_PRINTRATEPPM, DC_COLORDEVICE};

TEST_F(DevCapsTest, ConstantsAnswerWithAndWithoutTheModelDescription) {
  SetFlag(u"Duplex", 1);
  SetPrinterDevmode(DriverDevmodeWith(OptFindItem(CtxGetTemplate().itemTable, kItemMachineColor)->offset, 1));
  for (const ConstantCase& c : kConstants) EXPECT_EQ(Ask(c.index), c.answer) << c.index;
  for (WORD index : kContextIndexes) EXPECT_NE(Ask(index), -1) << index;

  std::filesystem::remove(DriverFile("qnvelm.dsc"));
  std::filesystem::remove(DriverFile("qnvelm.BCS"));
  for (const ConstantCase& c : kConstants) EXPECT_EQ(Ask(c.index), c.answer) << c.index;
  for (WORD index : kContextIndexes) EXPECT_EQ(Ask(index), -1) << index;
}

TEST_F(DevCapsTest, NupAndPersonalityWriteTheirBuffersAndNothingBeyond) {
  DWORD counts[6] = {0, 0, 0, 0, 0, 0xA5A5A5A5};
  EXPECT_EQ(Ask(DC_NUP, counts), 5);
  EXPECT_THAT(counts, ::testing::ElementsAre(1, 2, 4, 9, 16, 0xA5A5A5A5));

  std::u16string text(40, u'\xAAAA');
  EXPECT_EQ(Ask(DC_PERSONALITY, text.data()), 1);
  EXPECT_EQ(text.substr(0, 32), std::u16string(u"VELM") + std::u16string(28, u'\0'));
  EXPECT_EQ(text.substr(32), std::u16string(8, u'\xAAAA'));
}

// The description's paper list in order, named by strings 3000 + code, sized by *PageMMValue; the
// free sizes 1..9 (384..392) and the custom size (256) take their slots' names and sizes.
TEST_F(DevCapsTest, PaperListsFollowTheDescription) {
  const std::vector<WORD> papers = List<WORD>(DC_PAPERS);
  const std::vector<WORD> model = {1, 3, 5, 6, 7, 8, 9, 11, 70, 12, 13, 88, 14, 513, 514, 93, 517, 43};
  ASSERT_GE(papers.size(), model.size());
  EXPECT_EQ(std::vector<WORD>(papers.begin(), papers.begin() + model.size()), model);

  const std::vector<std::u16string> names = Names(DC_PAPERNAMES, kDevCapsPaperNameChars);
  ASSERT_EQ(names.size(), papers.size());
  const std::vector<std::u16string> modelNames = {
      u"Letter", u"Ledger",   u"Legal",    u"Statement", u"Executive",         u"A3",
      u"A4",     u"A5",       u"A6",       u"B4 (JIS)",  u"B5 (JIS)",          u"B6 (JIS)",
      u"Folio",  u"Foolscap", u"Government Letter", u"16K", u"16K (185 x 260 mm)", u"Postcard"};
  EXPECT_EQ(std::vector<std::u16string>(names.begin(), names.begin() + modelNames.size()), modelNames);

  const std::vector<POINT> sizes = List<POINT>(DC_PAPERSIZE);
  ASSERT_EQ(sizes.size(), papers.size());
  const std::vector<std::pair<LONG, LONG>> modelSizes = {
      {2159, 2794}, {2794, 4318}, {2159, 3556}, {1397, 2159}, {1842, 2667}, {2970, 4200},
      {2100, 2970}, {1480, 2100}, {1050, 1480}, {2570, 3640}, {1820, 2570}, {1280, 1820},
      {2100, 3300}, {2032, 3302}, {2032, 2667}, {1460, 2150}, {1850, 2600}, {1000, 1480}};
  for (size_t i = 0; i < modelSizes.size(); ++i) {
    EXPECT_EQ(sizes[i].x, modelSizes[i].first) << i;
    EXPECT_EQ(sizes[i].y, modelSizes[i].second) << i;
  }
}

// The trays the description lists, in its order, that the installed options allow: Tray 3,
// Tray 4 and the large-capacity tray only when installed.
TEST_F(DevCapsTest, BinsAndTheirNamesPairUpAndFollowTheInstalledTrays) {
  EXPECT_EQ(List<WORD>(DC_BINS), (std::vector<WORD>{7, 1, 3, 4}));
  EXPECT_EQ(Names(DC_BINNAMES, kDevCapsBinNameChars),
            (std::vector<std::u16string>{u"Auto Select", u"Tray 1", u"Tray 2", u"Bypass Tray"}));
  for (const char16_t* tray : {u"Tray3Field", u"Tray4Field", u"LCTField"}) SetFlag(tray, 1);
  EXPECT_EQ(List<WORD>(DC_BINS), (std::vector<WORD>{7, 1, 3, 2, 256, 11, 4}));
  EXPECT_EQ(Names(DC_BINNAMES, kDevCapsBinNameChars),
            (std::vector<std::u16string>{u"Auto Select", u"Tray 1", u"Tray 2", u"Tray 3", u"Tray 4",
                                         u"Large Capacity Tray", u"Bypass Tray"}));
}

TEST_F(DevCapsTest, ResolutionsAreTheDescriptionsDpiPairs) {
  EXPECT_EQ(List<LONG>(DC_ENUMRESOLUTIONS, 2), (std::vector<LONG>{300, 300, 600, 600, 1200, 1200}));
}

// A custom size in the caller's devmode adds the paper length and width to the merged fields.
TEST_F(DevCapsTest, FieldsAreThoseOfTheMergedDevmode) {
  const auto own = static_cast<DWORD>(Ask(DC_FIELDS));
  EXPECT_EQ(own & (DM_PAPERLENGTH | DM_PAPERWIDTH), 0u);
  std::vector<BYTE> devmode = DefaultDevmode();
  DEVMODEW* dm = Dm(devmode);
  dm->dmPaperSize = 256;
  dm->dmPaperWidth = 1500;
  dm->dmPaperLength = 2000;
  dm->dmFields |= DM_PAPERSIZE | DM_PAPERLENGTH | DM_PAPERWIDTH;
  EXPECT_EQ(static_cast<DWORD>(Ask(DC_FIELDS, nullptr, dm)), own | DM_PAPERLENGTH | DM_PAPERWIDTH);
}

TEST_F(DevCapsTest, MediaReadyListsEachLoadedPaperOnceAndNamesFreeSizesBySlot) {
  const std::u16string freeSize2 = Names(DC_PAPERNAMES, kDevCapsPaperNameChars)[19 + 2];
  EXPECT_EQ(Ask(DC_MEDIAREADY), 0);
  // Trays 1 and 2 hold A4, tray 3 free size 2, tray 4 Letter but is not there, the multi-purpose
  // tray nothing, the large-capacity tray Legal.
  const struct {
    const char16_t* tray;
    BYTE present;
    WORD paper;
  } trays[] = {{u"Tray1", 1, 9}, {u"Tray2", 1, 9}, {u"Tray3", 1, 385}, {u"Tray4", 0, 1}, {u"MPTray", 1, 0}, {u"LCT", 1, 5}};
  for (const auto& t : trays) {
    SetFlag((std::u16string(t.tray) + u"Field").c_str(), t.present);
    SetData((std::u16string(t.tray) + u"Paper").c_str(), {BYTE(t.paper & 0xFF), BYTE(t.paper >> 8)});
  }
  const std::vector<std::u16string> ready = Names(DC_MEDIAREADY, kDevCapsPaperNameChars);
  EXPECT_EQ(ready, (std::vector<std::u16string>{u"A4", freeSize2, u"Legal"}));
}

TEST_F(DevCapsTest, DuplexReadsThePrinterDataValue) {
  EXPECT_EQ(Ask(DC_DUPLEX), -1);
  SetData(u"Duplex", {1});
  EXPECT_EQ(Ask(DC_DUPLEX), 1);
  // Narrower than a DWORD: the rest of the DWORD it is read into is zero.
  SetData(u"Duplex", {0});
  EXPECT_EQ(Ask(DC_DUPLEX), 0);
  SetData(u"Duplex", {0, 0, 0, 0});
  EXPECT_EQ(Ask(DC_DUPLEX), 0);
  SetData(u"Duplex", {0, 0, 0, 1});
  EXPECT_EQ(Ask(DC_DUPLEX), 1);
}

TEST_F(DevCapsTest, ColourDeviceAndTrueTypeFollowThePrinterDevmode) {
  const size_t colorByte = OptFindItem(CtxGetTemplate().itemTable, kItemMachineColor)->offset;
  const size_t frontFunc = OptFindItem(CtxGetTemplate().itemTable, kItemFrontFunc)->offset;
  EXPECT_EQ(Ask(DC_COLORDEVICE), -1);
  SetPrinterDevmode(DriverDevmodeWith(colorByte, 1));
  EXPECT_EQ(Ask(DC_COLORDEVICE), 1);
  SetPrinterDevmode(DriverDevmodeWith(colorByte, 0));
  EXPECT_EQ(Ask(DC_COLORDEVICE), 0);

  SetPrinterDevmode(DriverDevmodeWith(frontFunc, 0x81));
  EXPECT_EQ(Ask(DC_TRUETYPE), DCTT_BITMAP | DCTT_SUBDEV);
  SetPrinterDevmode(DriverDevmodeWith(frontFunc, 0x80));
  EXPECT_EQ(Ask(DC_TRUETYPE), DCTT_BITMAP);
}

// Stored settings that are not ready: the context queries answer -1 without opening a context,
// the constants still answer (the worker in this process, whose readiness seam the test sets).
TEST_F(DevCapsTest, SettingsNotReadyAnswerOnlyTheConstants) {
  seams_.instEnsurePrinterReady = [](HANDLE) -> LONG { return UiNoteSeamCall("NotReady"), 0; };
  for (WORD index : kContextIndexes)
    EXPECT_EQ(UiDeviceCapabilities(printer_, g_printerName.data(), index, nullptr, nullptr), 0xFFFFFFFFu) << index;
  EXPECT_EQ(Count(UiSeamCalls(), "NotReady"), static_cast<int>(std::size(kContextIndexes)));
  for (const ConstantCase& c : kConstants)
    EXPECT_EQ(UiDeviceCapabilities(printer_, g_printerName.data(), c.index, nullptr, nullptr), DWORD(c.answer)) << c.index;
  EXPECT_EQ(Count(UiSeamCalls(), "NotReady"), static_cast<int>(std::size(kContextIndexes)));
}

TEST_F(DevCapsTest, CollateAndStapleFollowTheInstalledFinisher) {
  EXPECT_EQ(Ask(DC_COLLATE), 1);
  EXPECT_EQ(Ask(DC_STAPLE), 0);
  SetFlag(u"FinMk1", 1);
  EXPECT_EQ(Ask(DC_COLLATE), 1);
  EXPECT_EQ(Ask(DC_STAPLE), 1);
}

TEST_F(DevCapsTest, PrintRateComesFromTheDriverIni) {
  EXPECT_EQ(Ask(DC_PRINTRATE), 30);
  EXPECT_EQ(Ask(DC_PRINTRATEPPM), 30);
  std::filesystem::remove(DriverFile("qndrv.ini"));
  EXPECT_EQ(Ask(DC_PRINTRATE), 0);
  EXPECT_EQ(Ask(DC_PRINTRATEPPM), 0);
}

TEST_F(DevCapsTest, PrintRateIniNamedWithADriveIsTakenAsItIs) {
  ASSERT_TRUE(CreateDirectoryW(u"C:\\Elsewhere", nullptr));
  ASSERT_TRUE(WritePrivateProfileStringW(u"Velm Printer Driver", u"PPM", u"45", u"C:\\Elsewhere\\rate.ini"));
  DriverContext* context = CtxCreate(printer_, 0, kDevCapsCreationFlags);
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(DevCapsPrintRate(context), 30u);
  context->modelDefaults->driverIniName = u"C:\\Elsewhere\\rate.ini";
  context->work->driverIniPath[0] = 0;
  EXPECT_EQ(DevCapsPrintRate(context), 45u);
  context->modelDefaults->driverIniName = kModelDefaults.driverIniName;
  CtxDestroyEx(context, kReleaseDestroy);
}

// The spooler asks on one printer handle while the library stays loaded.
TEST_F(DevCapsTest, ASecondQueryWithin500MsReusesTheCachedContext) {
  HMODULE library = LoadLibraryW(u"C:\\Windows\\System32\\spool\\drivers\\w32x86\\3\\velmui.dll");
  ASSERT_NE(library, nullptr);
  using Entry = DWORD (*)(HANDLE, PWSTR, WORD, PVOID, PDEVMODEW);
  const auto entry =
      reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(GetProcAddress(library, "DrvDeviceCapabilities")));
  ASSERT_NE(entry, nullptr);
  const auto staple = [&] { return entry(printer_, g_printerName.data(), DC_STAPLE, nullptr, nullptr); };
  ASSERT_TRUE(platform::SetMachineSetting("clock_ms", "100000"));
  EXPECT_EQ(staple(), 0u);
  SetFlag(u"FinMk1", 1);
  ASSERT_TRUE(platform::SetMachineSetting("clock_ms", "100400"));
  EXPECT_EQ(staple(), 0u);  // the context of the first query, as it was
  ASSERT_TRUE(platform::SetMachineSetting("clock_ms", "101000"));
  EXPECT_EQ(staple(), 1u);
  FreeLibrary(library);
}

}  // namespace
}  // namespace velm::test
