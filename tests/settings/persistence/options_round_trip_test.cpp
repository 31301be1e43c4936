// Every persisted item of the table, saved by one context and loaded by another.
#include <string>
#include <vector>

#include "settings/persistence/options_fixture.h"

namespace {

int Width(int type) { return type == kTypeS8 || type == kTypeU8 ? 1 : type == kTypeS16 || type == kTypeU16 ? 2 : 4; }

TEST_F(OptionPersistenceTest, EveryPersistedItemRoundTripsWithItsTypeAndSize) {
  DriverContext* saver = Context(printer_);
  Ini(saver);
  std::vector<WORD> printerData, ini;
  int n = 0;
  for (int i = 0; i < saver->itemTable->count; ++i) {
    ItemTableRow& row = saver->itemTable->rows[i];
    const int section = DescriptorSection(row.descriptor);
    const int type = DescriptorType(row.descriptor);
    const bool inPrinterData = section == kSectionConfig && row.storage == kStorageDevmode;
    if (!row.keyName || !(inPrinterData || row.storage == kStorageSettingsIni)) continue;
    (inPrinterData ? printerData : ini).push_back(row.id);
    ++n;
    if (IsBitType(type)) {
      OptWriteRaw(saver, &row, n & 1);
    } else if (IsNumberType(type)) {
      OptWriteRaw(saver, &row, 0x9E3779B9u * static_cast<DWORD>(n));
    } else {
      const std::u16string text = u"v" + std::u16string(row.keyName);
      ASSERT_TRUE(OptSetString(saver, &row, text.c_str())) << row.id;
    }
  }
  OptSetValue(saver, 231, 1);  // a job-action bit without a key of its own
  EXPECT_EQ(printerData.size(), 70u);
  EXPECT_EQ(ini.size(), 10u);
  ASSERT_EQ(CfgSaveClass(printer_, saver, kCfgAllSections, 0), 1);

  for (WORD id : printerData) {
    const ItemTableRow* row = Row(saver, id);
    const int type = DescriptorType(row->descriptor);
    const Value v = Data(row->keyName);
    ASSERT_EQ(v.error, static_cast<DWORD>(ERROR_SUCCESS)) << id;
    EXPECT_EQ(v.type, id == 10275 ? REG_DWORD : REG_BINARY) << id;
    const size_t size = IsBitType(type) ? 4 : IsNumberType(type) ? Width(type) : DescriptorLength(row->descriptor);
    EXPECT_EQ(v.bytes.size(), size) << id;
  }

  DriverContext* loader = Context(printer_);
  CfgLoadClass(printer_, loader, kCfgAllSections, 0, nullptr);
  for (const std::vector<WORD>* ids : {&printerData, &ini}) {
    for (WORD id : *ids) {
      const ItemTableRow* row = Row(saver, id);
      const size_t bytes = IsNumberType(DescriptorType(row->descriptor)) ? Width(DescriptorType(row->descriptor))
                                                                        : DescriptorLength(row->descriptor);
      if (IsBitType(DescriptorType(row->descriptor))) {
        EXPECT_EQ(OptGetValue(loader, id), OptGetValue(saver, id)) << id;
      } else {
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(OptGetItemAddress(loader, row)), bytes),
                  std::string(reinterpret_cast<const char*>(OptGetItemAddress(saver, row)), bytes))
            << id;
      }
    }
  }
  // The job-action word carries the bits without keys of their own too.
  for (WORD id = kItemFirstAction; id <= kItemLastAction; ++id)
    EXPECT_EQ(OptGetValue(loader, id), OptGetValue(saver, id)) << id;
}

}  // namespace
