#include "settings/devmode/merge.h"

#include <cstring>

#include "data/item_ids.h"
#include "settings/constraints/eval.h"
#include "settings/context/open_steps.h"
#include "settings/devmode/derived_items.h"
#include "settings/description/access.h"
#include "settings/devmode/environment.h"
#include "settings/devmode/versions.h"
#include "settings/items/store.h"
#include "settings/context/memory.h"
#include "settings/persistence/options.h"
#include "settings/devmode/paper_geometry.h"
#include "settings/devmode/public_fields.h"
#include "settings/devmode/record_build.h"
#include "settings/services/user_code.h"

namespace {

constexpr DWORD kPaperCustom = 256;

constexpr size_t kOffDriverVersion = 66;
constexpr size_t kHeaderEnd = 76;                // past dmFields: the least a devmode can be
constexpr size_t kOffFrontFunctions = 832;       // u32 (item 249): only its low byte survives
constexpr size_t kOffUserCodeDll = 1254;

// Environment bytes of the record that no merge replaces.
constexpr size_t kKeptEnvironmentBytes[] = {1241, 1242, 1243, 1244, 1245, 1246, 1249, 1253, 1255, 1256};

bool Usable(const DriverContext* context) { return context && context->settings && context->itemTable && context->work; }

// Whether `bytes` bytes hold the whole devmode its header claims.
bool FitsGivenBytes(const BYTE* devmode, size_t bytes) {
  if (!devmode || bytes < kHeaderEnd) return false;
  const size_t size = DmLoadU16(devmode, kDmOffSize);
  return size >= kHeaderEnd && size + DmLoadU16(devmode, kDmOffDriverExtra) <= bytes;
}

}  // namespace

BOOL DmConvertIncoming(DriverContext* context, const DEVMODEW* incoming, size_t bytes, PrivateDevmode* scratch) {
  if (!Usable(context) || !scratch) return FALSE;
  const PrivateDevmode& record = context->settings->devmode;
  *scratch = record;
  const auto* given = reinterpret_cast<const BYTE*>(incoming);
  if (!FitsGivenBytes(given, bytes)) return FALSE;
  // The conversion keeps the target's size and version fields: they must describe this layout,
  // whatever the record's public fields say.
  const ModelDefaults& defaults = ContextModelDefaults(context);
  DmStoreU16(scratch->bytes, kDmOffSize, kDmPublicSize);
  DmStoreU16(scratch->bytes, kDmOffDriverExtra, kDmPrivateSize);
  DmStoreU16(scratch->bytes, kOffDriverVersion, static_cast<WORD>(defaults.driverVersion));
  const LONG converted = DmConvertBytes(given, bytes, scratch->bytes, kDmSize);
  const WORD extra = DmLoadU16(given, kDmOffDriverExtra);
  // A private part cut short of its header would mix another driver's bytes with this record's
  // header; one of another model, or another machine identifier, is foreign.
  if (converted < 0 || extra < kDmPrivateHeaderBytes || !DmHasOwnPrivatePart(scratch, defaults))
    std::memcpy(scratch->bytes + kDmPublicSize, record.bytes + kDmPublicSize, kDmPrivateSize);
  return TRUE;
}

void DmTakePrivatePart(DriverContext* context, const PrivateDevmode* scratch, BOOL keepUserCodeDll) {
  if (!Usable(context) || !scratch) return;
  BYTE* record = context->settings->devmode.bytes;
  BYTE kept[sizeof kKeptEnvironmentBytes / sizeof kKeptEnvironmentBytes[0]];
  for (size_t i = 0; i < sizeof kept; ++i) kept[i] = record[kKeptEnvironmentBytes[i]];
  const BYTE userCodeDll = record[kOffUserCodeDll];
  const BYTE frontFunctions = record[kOffFrontFunctions];

  std::memcpy(record + kDmPublicSize, scratch->bytes + kDmPublicSize, kDmPrivateSize);
  for (size_t i = 0; i < sizeof kept; ++i) record[kKeptEnvironmentBytes[i]] = kept[i];
  if (keepUserCodeDll) record[kOffUserCodeDll] = userCodeDll;
  DmStoreU32(record, kOffFrontFunctions, frontFunctions);
  DmRestoreSectionBases(&context->settings->devmode);
}

int DmMergeBytes(DriverContext* context, const DEVMODEW* incoming, size_t bytes, DWORD flags) {
  if (!Usable(context)) return 1;
  context->work->mergeFlags = flags;
  if (!(flags & (kMergeInterface | kMergeUpdate))) return 1;
  OptSetValue(context, kItemPrompt, (flags & kMergePrompt) ? 1 : 0);

  auto* scratch = static_cast<PrivateDevmode*>(SysAlloc(sizeof(PrivateDevmode)));
  if (!scratch) return 0;
  const BOOL converted = DmConvertIncoming(context, incoming, bytes, scratch);
  DmTakePrivatePart(context, scratch, FALSE);
  const int result = DmMergeFinish(context, scratch, converted, flags, nullptr, nullptr);
  SysFree(scratch);
  return result;
}

int DmMergeFinish(DriverContext* context, const PrivateDevmode* scratch, BOOL converted, DWORD flags,
                  void (*afterPublicFields)(DriverContext* context, void* argument), void* argument) {
  if (!Usable(context) || !scratch) return 1;
  PrivateDevmode* devmode = &context->settings->devmode;
  DWORD state = DmGetStateFlags(devmode) & ~kDmStateItem394Default;
  if (DescGetDefaultValue(kItemDeviceFontSelect, context) != 0) state |= kDmStateItem394Default;
  DmSetStateFlags(devmode, state);

  DmMergePublicFields(context, scratch);
  if (afterPublicFields) afterPublicFields(context, argument);

  if (!(flags & kMergeKeepStored) && (flags & kMergeReloadStored) &&
      !CfgLoad(context->printer, kCfgLoadSettings, context)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  CfgLoadUserCodeIfEnabled(context);
  DmApplyPublicToItems(context, converted ? scratch : nullptr);
  DmResetJobActions(context, FALSE);
  DmCopyDeviceConfig(context);
  OptSetValue(context, kItemUIStart, 0);

  if (flags & kMergeApplyRules) CondApplyAllRules(context);
  if (context->work->mergeFlags & (kMergeFullResync | kMergePrompt))
    DmResync(context, kResyncMerge);
  else
    DmDeriveDstPaper(context, OptGetValue(context, kItemOutPaperSize), kItemOutPaperSize);

  if (static_cast<SHORT>(OptGetValue(context, kItemPaperSize)) == static_cast<SHORT>(kPaperCustom) &&
      OptGetValue(context, kItemUserPaperField))
    OptSetValue(context, kItemFields, OptGetValue(context, kItemFields) | DM_PAPERSIZE);
  return 1;
}

int DmMerge(DriverContext* context, const DEVMODEW* incoming, DWORD flags) {
  const auto* given = reinterpret_cast<const BYTE*>(incoming);
  const size_t bytes = given ? size_t{DmLoadU16(given, kDmOffSize)} + DmLoadU16(given, kDmOffDriverExtra) : 0;
  return DmMergeBytes(context, incoming, bytes, flags);
}
