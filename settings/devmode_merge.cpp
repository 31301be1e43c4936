#include "settings/devmode_merge.h"

#include <cstring>

#include "settings/item_store.h"
#include "settings/memory.h"
#include "settings/settings_record.h"

namespace {

constexpr WORD kItemMergePrompt = 885;

// Environment bytes the record keeps over any merge; 1247, 1248, 1250..1252 and 1254 come from
// the incoming devmode.
constexpr size_t kKeptEnvironmentBytes[] = {1241, 1242, 1243, 1244, 1245, 1246, 1249, 1253, 1255, 1256};
constexpr size_t kOffFrontFunctions = 832;  // u32 (item 249): only its low byte survives a merge
constexpr size_t kSectionBaseBytes = 6;

bool IsCurrentLayout(const DEVMODEW* devmode) {
  return devmode->dmSize == kDmPublicSize && devmode->dmDriverExtra == kDmPrivateSize;
}

// Whether the private header of `devmode` names the same model as the record's.
bool SameModel(const BYTE* devmode, const BYTE* record) {
  return DmLoadU32(devmode, kDmOffModelTag) == DmLoadU32(record, kDmOffModelTag) &&
         DmLoadU32(devmode, kDmOffPrivateSize) == DmLoadU32(record, kDmOffPrivateSize) &&
         (DmLoadU32(devmode, kDmOffFormatVersion) & 0xFFFF) == (DmLoadU32(record, kDmOffFormatVersion) & 0xFFFF) &&
         DmLoadU8(devmode, kDmOffModelVariant) == DmLoadU8(record, kDmOffModelVariant);
}

}  // namespace

int DmMerge(DriverContext* context, const DEVMODEW* incoming, DWORD flags) {
  if (!context || !context->settings || !context->work) return 1;
  context->work->mergeFlags = flags;
  if (!(flags & (kMergeInterface | kMergeUpdate))) return 1;
  OptSetValue(context, kItemMergePrompt, (flags & kMergePrompt) ? 1 : 0);

  BYTE* record = context->settings->devmode.bytes;
  auto* scratch = static_cast<BYTE*>(SysAlloc(kDmSize));
  if (!scratch) return 0;
  std::memcpy(scratch, record, kDmSize);
  // A devmode of another layout needs converting first, which is not built: it brings nothing.
  if (incoming && IsCurrentLayout(incoming)) std::memcpy(scratch, incoming, kDmSize);
  if (!SameModel(scratch, record)) std::memcpy(scratch + kDmPublicSize, record + kDmPublicSize, kDmPrivateSize);

  BYTE kept[sizeof kKeptEnvironmentBytes / sizeof kKeptEnvironmentBytes[0]];
  for (size_t i = 0; i < sizeof kept; ++i) kept[i] = record[kKeptEnvironmentBytes[i]];
  const DWORD frontFunctions = DmLoadU32(record, kOffFrontFunctions);
  BYTE sectionBases[kSectionBaseBytes];
  std::memcpy(sectionBases, record + kDmOffSectionBase, kSectionBaseBytes);

  std::memcpy(record + kDmPublicSize, scratch + kDmPublicSize, kDmPrivateSize);
  for (size_t i = 0; i < sizeof kept; ++i) record[kKeptEnvironmentBytes[i]] = kept[i];
  DmStoreU32(record, kOffFrontFunctions, frontFunctions & 0xFF);
  std::memcpy(record + kDmOffSectionBase, sectionBases, kSectionBaseBytes);
  SysFree(scratch);
  return 1;
}
