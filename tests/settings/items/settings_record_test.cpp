// The private devmode and settings record as byte formats: sizes, the header image, the name
// fields and the section bases.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/machine_root.h"
#include "settings/devmode/model_defaults.h"
#include "settings/items/settings_record.h"
#include "support/temp_root.h"

namespace {

std::unique_ptr<SettingsRecord> FilledRecord(BYTE fill) {
  auto record = std::make_unique<SettingsRecord>();
  std::memset(record.get(), fill, sizeof(SettingsRecord));
  return record;
}

TEST(SettingsRecordTest, SizesByPlatform) {
  EXPECT_EQ(DmGetPublicSize(DmPlatform::kNt), 220);
  EXPECT_EQ(DmGetPrivateSize(DmPlatform::kNt), 1040);
  EXPECT_EQ(DmGetSize(DmPlatform::kNt), 1260u);
  EXPECT_EQ(DmGetConfigSize(), 508u);
  EXPECT_EQ(DmGetRecordSize(DmPlatform::kNt), 3808u);
  EXPECT_EQ(DmGetPublicSize(DmPlatform::kWin9x), 148);
  EXPECT_EQ(DmGetPrivateSize(DmPlatform::kWin9x), 1048);
  EXPECT_EQ(DmGetSize(DmPlatform::kWin9x), 1196u);
  EXPECT_EQ(DmGetRecordSize(DmPlatform::kWin9x), 3744u);
}

TEST(SettingsRecordTest, HeaderWriteGoldenBytes) {
  auto record = FilledRecord(0xAA);
  DmWritePrivateHeader(&record->devmode, kModelDefaults);
  const BYTE* b = record->devmode.bytes;

  std::vector<BYTE> expected(367 - 220, 0xAA);  // bytes 220..366
  const BYTE head[] = {'V', 'E', 'L', 'M', 0, 0, 0, 0};
  std::memcpy(expected.data(), head, sizeof(head));
  const BYTE tail[] = {'p', 'r', 'i', 'v',         // 349 model tag
                       0x10, 0x04, 0x00, 0x00,     // 353 private size 1040
                       0x03, 0x00, 0x03, 0x00,     // 357 version 0x00030003
                       0x00, 0x00,                 // 361 section 1 at 0
                       0xEC, 0x04,                 // 363 section 2 at 1260
                       0xE8, 0x06};                // 365 section 3 at 1768
  std::memcpy(expected.data() + (349 - 220), tail, sizeof(tail));
  EXPECT_EQ(std::vector<BYTE>(b + 220, b + 367), expected);
  EXPECT_EQ(b[219], 0xAA);
  EXPECT_EQ(b[367], 0xAA);
  for (size_t i = 368; i < sizeof(SettingsRecord); ++i) {
    ASSERT_EQ(reinterpret_cast<const BYTE*>(record.get())[i], 0xAA) << "byte " << i;
  }
}

TEST(SettingsRecordTest, SectionsFollowTheStoredBases) {
  auto record = FilledRecord(0);
  DmWritePrivateHeader(&record->devmode, kModelDefaults);
  BYTE* base = record->devmode.bytes;
  EXPECT_EQ(DmGetSection(record.get(), 1), base);
  EXPECT_EQ(DmGetSection(record.get(), 2), base + 1260);
  EXPECT_EQ(DmGetSection(record.get(), 3), base + 1768);
  EXPECT_EQ(DmGetConfigSection(record.get()), record->config);
  EXPECT_EQ(DmGetSection(record.get(), 0), nullptr);
  EXPECT_EQ(DmGetSection(record.get(), 4), nullptr);

  // The u16 at 363 decides where section 2 is.
  DmStoreU16(base, 363, 1300);
  EXPECT_EQ(DmGetConfigSection(record.get()), base + 1300);
  // A base that would put the section past the record is refused.
  DmStoreU16(base, 363, 3808 - 508 + 1);
  EXPECT_EQ(DmGetConfigSection(record.get()), nullptr);
  DmStoreU16(base, 365, 0xFFFF);
  EXPECT_EQ(DmGetSection(record.get(), 3), nullptr);
  DmStoreU16(base, 361, 3808 - 1260);
  EXPECT_EQ(DmGetSection(record.get(), 1), base + 3808 - 1260);
  DmStoreU16(base, 361, 3808 - 1260 + 1);
  EXPECT_EQ(DmGetSection(record.get(), 1), nullptr);
}

TEST(SettingsRecordTest, PrivatePartFollowsDmSize) {
  auto record = FilledRecord(0);
  BYTE* base = record->devmode.bytes;
  DmStoreU16(base, 68, 220);
  EXPECT_EQ(DmGetPrivatePart(&record->devmode), base + 220);
  EXPECT_EQ(DmGetPrivateHeader(&record->devmode), base + 220);
  DmStoreU16(base, 68, 1260);
  EXPECT_EQ(DmGetPrivatePart(&record->devmode), nullptr);
  EXPECT_EQ(DmGetPrivatePart(nullptr), nullptr);
}

TEST(SettingsRecordTest, HeaderNamesNarrowedIntoSixteenBytes) {
  auto record = FilledRecord(0xAA);
  BYTE* b = record->devmode.bytes;
  ModelDefaults defaults = kModelDefaults;
  defaults.settingsIniName = u"abcdefghijklmnopqrstuvwxyz.ini";
  DmFillHeaderNames(&record->devmode, defaults);

  EXPECT_EQ(std::memcmp(b + 228, "abcdefghijklmnop", 16), 0);  // no room for a NUL
  const BYTE version[16] = {'0', '1', '.', '0', '0'};
  EXPECT_EQ(std::memcmp(b + 244, version, 16), 0);
  EXPECT_EQ(std::memcmp(b + 260, version, 16), 0);
  for (int i = 276; i <= 348; ++i) ASSERT_EQ(b[i], 0) << "byte " << i;
  EXPECT_EQ(b[227], 0xAA);
  EXPECT_EQ(b[349], 0xAA);

  // A short name leaves the rest of its field zero, whatever was there.
  DmFillHeaderNames(&record->devmode, kModelDefaults);
  const BYTE ini[16] = {'q', 'n', 's', 'e', 't', '.', 'i', 'n', 'i'};
  EXPECT_EQ(std::memcmp(b + 228, ini, 16), 0);
}

TEST(SettingsRecordTest, HeaderNamesNeverSplitADoubleByteCharacter) {
  velm::test::TempMachineRoot root;
  ASSERT_TRUE(velm::platform::SetMachineSetting("codepage", "932"));
  auto record = FilledRecord(0xAA);
  BYTE* b = record->devmode.bytes;
  ModelDefaults defaults = kModelDefaults;
  defaults.settingsIniName = u"abcdefghijklmno\u65E5.ini";  // 15 bytes, then a two-byte character
  defaults.versionString1 = u"abcdefghijklmn\u65E5";         // exactly 16 bytes
  DmFillHeaderNames(&record->devmode, defaults);
  EXPECT_EQ(std::memcmp(b + 228, "abcdefghijklmno", 15), 0);
  EXPECT_EQ(b[243], 0);
  EXPECT_EQ(std::memcmp(b + 244, "abcdefghijklmn", 14), 0);
  EXPECT_EQ(b[258], 0x93);  // the character's two bytes in code page 932
  EXPECT_EQ(b[259], 0xFA);
}

TEST(SettingsRecordTest, StateFlagsTouchOnlyTheirWord) {
  auto record = FilledRecord(0x5A);
  DmSetStateFlags(&record->devmode, kDmStateConstraintPassDone | kDmStateItem394Default);
  const BYTE* b = record->devmode.bytes;
  EXPECT_EQ(b[857], 0x5A);
  EXPECT_EQ(b[858], 0x00);
  EXPECT_EQ(b[859], 0x24);  // 0x04 pass done, 0x20 item 394 has a model default
  EXPECT_EQ(b[860], 0x00);
  EXPECT_EQ(b[861], 0x00);
  EXPECT_EQ(b[862], 0x5A);
  EXPECT_EQ(DmGetStateFlags(&record->devmode), 0x2400u);
  EXPECT_EQ(DmGetStateFlags(nullptr), 0u);
}

TEST(SettingsRecordTest, LittleEndianAccessAtOddOffsets) {
  BYTE bytes[8] = {};
  DmStoreU32(bytes, 1, 0x11223344);
  EXPECT_EQ(bytes[1], 0x44);
  EXPECT_EQ(bytes[4], 0x11);
  EXPECT_EQ(DmLoadU32(bytes, 1), 0x11223344u);
  DmStoreU16(bytes, 5, 0xBEEF);
  EXPECT_EQ(bytes[5], 0xEF);
  EXPECT_EQ(DmLoadU16(bytes, 5), 0xBEEF);
}

}  // namespace
