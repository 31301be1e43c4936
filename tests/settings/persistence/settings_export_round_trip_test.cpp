// Every kind of transfer section exported by one printer and imported into a fresh one: the
// items of the section arrive equal, every other item stays as the fresh context had it.
#include <functional>
#include <set>
#include <string>

#include "settings/devmode/merge.h"
#include "settings/persistence/settings_export_fixture.h"

namespace {

using Keep = std::function<bool(const ItemTableRow&)>;

class SettingsExportRoundTripTest : public SettingsExportTest {
 protected:
  // Gives the candidate rows of the walk distinct values in an exporter on printer 1, exports
  // with `flags` under `section` (null: the section the flags choose), imports into a fresh
  // context on printer 2 with `importFlags`, and checks that exactly the rows `transfers` keeps
  // arrived (those in `changedOnImport` are left to the caller).
  void RoundTrip(DWORD flags, DWORD importFlags, const WCHAR* section, const Keep& transfers, bool all = false,
                 const std::set<WORD>& changedOnImport = {}) {
    DriverContext* exporter = Fresh(printer_);
    const std::vector<WORD> candidates = Ids(
        exporter, [](const ItemTableRow&) { return true; }, all);
    Distinct(exporter, candidates);
    Settle(exporter);
    {
      XferPrinterNameStandIn standIn(exporter, section ? section : PrnGetPrinterName(exporter));
      ASSERT_TRUE(XferSave(printer_, file_.c_str(), flags, exporter));
    }
    importer_ = Fresh(printer2_);
    Settle(importer_);
    DriverContext* before = Fresh(printer2_);
    Settle(before);
    {
      XferPrinterNameStandIn standIn(importer_, section ? section : PrnGetPrinterName(importer_));
      ASSERT_TRUE(XferLoad(printer2_, file_.c_str(), importFlags, importer_));
    }
    EXPECT_EQ(CtxGetTransferStatus(importer_), 0u);
    int arrived = 0;
    for (WORD id : candidates) {
      if (changedOnImport.count(id)) continue;
      const bool moves = transfers(*Row(exporter, id));
      arrived += moves;
      EXPECT_EQ(Bytes(importer_, id), Bytes(moves ? exporter : before, id)) << id << (moves ? " moves" : " stays");
    }
    EXPECT_GT(arrived, 0);
  }

  // Values that keep the exporter's lists out of the way and the importer's language equal; then
  // the re-validation that ends a plain import, so that every context holds values that it keeps.
  void Settle(DriverContext* c) {
    OptSetValue(c, kItemLanguageID, 1);
    OptSetValue(c, 716, 2);
    OptSetValue(c, 8, 9);  // no free-size paper
    OptSetValue(c, 50, 9);
    // No custom size: a length and width marked without the paper would make the paper 256.
    OptSetValue(c, 6, OptGetValue(c, 6) & ~DWORD{DM_PAPERLENGTH | DM_PAPERWIDTH});
    OptSetValue(c, 63, 0);   // no stamp
    OptSetValue(c, 185, 0);  // no quality set
    OptSetValue(c, 90, 0);   // no scale mirroring
    // Twice: the check of item 95 sets item 94 after 94's own check, so one pass may leave a
    // value the next pass changes.
    for (int pass = 0; pass < 2; ++pass) ASSERT_EQ(DmMerge(c, nullptr, kImportRevalidation), 1);
  }
  static constexpr DWORD kImportRevalidation = 0x10000008;

  DriverContext* importer_ = nullptr;
};

bool Between(WORD id, WORD first, WORD last) { return id >= first && id <= last; }

TEST_F(SettingsExportRoundTripTest, PlainExportImportsIntoAnotherPrinterThroughTheModelSection) {
  // Read by the import but set afterwards: the preset number, the field mask's media bit, the
  // locale digit, the merge's prompt mark and the front-function word it trims, and the stamp
  // index that the lists re-derive against the importing printer's stamps.
  const std::set<WORD> after = {6, 41, 120, 180, 885, 249};
  RoundTrip(
      0, 0, nullptr,
      [](const ItemTableRow& row) {
        return row.id > 5 && row.id != 220 && row.id != 221 && !Between(row.id, 894, 903) && row.id <= 904;
      },
      false, after);
  EXPECT_EQ(OptGetValue(importer_, 41) & 0xFF, 255u);
  EXPECT_EQ(OptGetValue(importer_, 6) & 0x02000000u, 0u);
  EXPECT_EQ(PrinterName(importer_), u"Velm Printer 2");
}

TEST_F(SettingsExportRoundTripTest, QualityGroupCarriesTheSecondTransferSet) {
  RoundTrip(kXferGroupQuality, kXferGroupQuality, u"Quality",
            [](const ItemTableRow& row) { return row.transfer2 != 0; });
}

TEST_F(SettingsExportRoundTripTest, StampGroupCarriesThePresetItemsAndThePatternItems) {
  RoundTrip(kXferGroupStamp, kXferGroupStamp, u"Stamp2us",
            [](const ItemTableRow& row) { return row.transfer || row.preset || Between(row.id, 894, 903); });
}

TEST_F(SettingsExportRoundTripTest, FreeSizeGroupsCarryTheirThreeItems) {
  RoundTrip(kXferGroupFreeSize, kXferGroupFreeSize, u"FreeSize4us",
            [](const ItemTableRow& row) { return Between(row.id, 859, 861); });
  RoundTrip(kXferGroupSrcFreeSize, kXferGroupSrcFreeSize, u"FreeSize5us",
            [](const ItemTableRow& row) { return Between(row.id, 862, 864); });
}

TEST_F(SettingsExportRoundTripTest, DeviceInformationGroupCarriesTheDeviceInformationItems) {
  RoundTrip(
      kXferGroupDeviceInfo, kXferGroupDeviceInfo, u"Velm Printer",
      [](const ItemTableRow& row) { return OptIsDeviceInfoId(row.id) != FALSE; }, true);
}

TEST_F(SettingsExportRoundTripTest, FixedAndLanguageSectionsAndSectionThreeRows) {
  // The stamp's pattern items are written by the stamp group alone.
  RoundTrip(kXferRsdSection, kXferRsdSection, nullptr,
            [](const ItemTableRow& row) { return row.transfer && !Between(row.id, 894, 903); });
  // Written under the language code, read back from it as a companion read.
  RoundTrip(kXferLanguageSection | kXferGroupQuality, kXferCompanion | kXferGroupQuality, nullptr,
            [](const ItemTableRow& row) { return row.transfer2 != 0; });
  RoundTrip(kXferWorkRows | kXferTransferRows | kXferModelSectionTest, kXferWorkRows | kXferTransferRows, u"Work",
            [](const ItemTableRow& row) {
              return row.transfer && DescriptorSection(row.descriptor) == kSectionWork && !Between(row.id, 894, 903);
            });
}

TEST_F(SettingsExportRoundTripTest, PrinterItemFileCarriesTheConfigurationButNotTheUserCodeOrFonts) {
  DriverContext* exporter = Fresh(printer_);
  std::vector<WORD> ids;
  for (WORD first : {WORD(10001), WORD(907)}) {
    const WORD last = first == 907 ? 947 : 10277;
    for (DWORD id = first; id <= last; ++id)
      if (OptGetItemName(exporter->itemTable, static_cast<WORD>(id)) && (id < 10004 || id > 10009))
        ids.push_back(static_cast<WORD>(id));
  }
  Distinct(exporter, ids);
  OptSetValue(exporter, 10004, 3);  // a font-table count: written as 0, never read
  ASSERT_TRUE(XferSavePrinterItems(nullptr, kXferPrinterItemFile, exporter));
  const std::u16string shared = SharedFile(kXferPrinterItemFileName);
  EXPECT_NE(Read(shared).find("\r\nvdmFontTableNum=0\r\n"), std::string::npos);
  DriverContext* importer = Fresh(printer2_);
  DriverContext* before = Fresh(printer2_);
  OptSetValue(importer, 10004, 2);
  ASSERT_TRUE(XferPrinterItems(importer, shared.c_str(), kXferRead));
  EXPECT_EQ(OptGetValue(importer, 10004), 2u);
  for (WORD id : ids) {
    const bool moves = id > 10003 || id < 10001;
    EXPECT_EQ(Bytes(importer, id), Bytes(moves ? exporter : before, id)) << id;
  }
  // A read with the printer-item flag takes the language section instead.
  Write(shared, "[us]\r\nvdmPrinterMemory=64\r\nvdmServerLogCode=1\r\n[VelmPrnSection]\r\nvdmPrinterMemory=32\r\n");
  OptSetValue(importer, kItemLanguageID, 1);
  ASSERT_TRUE(XferPrinterItems(importer, shared.c_str(), kXferRead | kXferPrinterItemFile));
  EXPECT_EQ(OptGetValue(importer, 10012), 64u);
  EXPECT_EQ(OptGetValue(importer, 10001), OptGetValue(before, 10001));
}

}  // namespace
