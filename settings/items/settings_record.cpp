#include "settings/items/settings_record.h"

#include <cstring>

#include "settings/services/string_convert.h"

namespace {

// Narrows `text` into a header name field, zero-filled; a full field keeps no NUL.
void NarrowIntoField(const WCHAR* text, BYTE* field) {
  char narrow[kDmHeaderNameSize + 1];
  const int length = StrWideToAnsi(narrow, sizeof narrow, text);
  std::memset(field, 0, kDmHeaderNameSize);
  std::memcpy(field, narrow, static_cast<size_t>(length));
}

}  // namespace

WORD DmGetPublicSize(DmPlatform platform) {
  return platform == DmPlatform::kWin9x ? kDm9xPublicSize : kDmPublicSize;
}

WORD DmGetPrivateSize(DmPlatform platform) {
  return platform == DmPlatform::kWin9x ? kDm9xPrivateSize : kDmPrivateSize;
}

DWORD DmGetSize(DmPlatform platform) { return platform == DmPlatform::kWin9x ? kDm9xSize : kDmSize; }

DWORD DmGetConfigSize() { return kDmConfigSize; }

DWORD DmGetRecordSize(DmPlatform platform) {
  return platform == DmPlatform::kWin9x ? kDm9xRecordSize : kDmRecordSize;
}

BYTE* DmGetPrivatePart(PrivateDevmode* devmode) {
  if (!devmode) return nullptr;
  const WORD publicSize = DmLoadU16(devmode->bytes, kDmOffSize);
  return publicSize < kDmSize ? devmode->bytes + publicSize : nullptr;
}

BYTE* DmGetPrivateHeader(PrivateDevmode* devmode) { return DmGetPrivatePart(devmode); }

const BYTE* DmGetSection(const SettingsRecord* record, int section) {
  if (!record || section < 1 || section > 3) return nullptr;
  const BYTE* bytes = record->devmode.bytes;
  const DWORD base = DmLoadU16(bytes, kDmOffSectionBase + 2 * (section - 1));
  if (base + kDmSectionSize[section] > kDmRecordSize) return nullptr;
  return bytes + base;
}

BYTE* DmGetSection(SettingsRecord* record, int section) {
  return const_cast<BYTE*>(DmGetSection(static_cast<const SettingsRecord*>(record), section));
}

BYTE* DmGetConfigSection(SettingsRecord* record) { return DmGetSection(record, 2); }

void DmWritePrivateHeader(PrivateDevmode* devmode, const ModelDefaults& defaults) {
  if (!devmode) return;
  BYTE* bytes = devmode->bytes;
  std::memcpy(bytes + kDmOffSignature, "VELM", 4);
  DmStoreU32(bytes, kDmOffJobBinder, 0);  // its low byte is the signature's NUL
  DmStoreU32(bytes, kDmOffModelTag, defaults.modelTag);
  DmStoreU32(bytes, kDmOffPrivateSize, kDmPrivateSize);
  DmStoreU32(bytes, kDmOffFormatVersion, defaults.formatVersion);
  DmStoreU16(bytes, kDmOffSectionBase, 0);
  DmStoreU16(bytes, kDmOffSectionBase + 2, static_cast<WORD>(kDmSize));
  DmStoreU16(bytes, kDmOffSectionBase + 4, static_cast<WORD>(kDmSize + kDmConfigSize));
}

void DmFillHeaderNames(PrivateDevmode* devmode, const ModelDefaults& defaults) {
  if (!devmode) return;
  BYTE* bytes = devmode->bytes;
  NarrowIntoField(defaults.settingsIniName, bytes + kDmOffIniName);
  NarrowIntoField(defaults.versionString1, bytes + kDmOffVersion1);
  NarrowIntoField(defaults.versionString2, bytes + kDmOffVersion2);
  std::memset(bytes + kDmOffCommonTag, 0, kDmOffCommonVersion - kDmOffCommonTag);
  bytes[kDmOffCommonVersion] = 0;
  std::memset(bytes + kDmOffSummary, 0, kDmOffModelTag - kDmOffSummary);
}

DWORD DmGetStateFlags(const PrivateDevmode* devmode) {
  return devmode ? DmLoadU32(devmode->bytes, kDmOffStateFlags) : 0;
}

void DmSetStateFlags(PrivateDevmode* devmode, DWORD flags) {
  if (devmode) DmStoreU32(devmode->bytes, kDmOffStateFlags, flags);
}
