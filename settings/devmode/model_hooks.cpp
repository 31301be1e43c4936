#include "settings/devmode/model_hooks.h"

#include "data/item_ids.h"
#include "settings/constraints/command_code_data.h"
#include "settings/items/store.h"

namespace {

constexpr WORD kItemFirstModelFeature = kItemCustomFunc0;
constexpr WORD kItemLastModelFeature = kItemCustomFunc31;

// One build of the driver serves one family; bit 7 selects the second kind of remote-management
// connection, bit 0 (clear) the first.
constexpr DWORD kBuildFeatureBits = 0x80;

// The two-character codes that stand for a memory class in the model code.
struct MemoryClassCodes {
  char size[3];
  char count[3];
};
constexpr MemoryClassCodes kClassSmall = {"00", "05"};
constexpr MemoryClassCodes kClassMiddle = {"01", "0a"};
constexpr MemoryClassCodes kClassLarge = {"02", "14"};
constexpr char kModelCodeBase[] = "0101870207d014";
constexpr char kModelCodeBaseNoDeviceFonts[] = "0100870207d014";
constexpr int kModelCodeLength = 14;

// The class codes of `memory`, or null when the base stays as it is.
const MemoryClassCodes* MemoryClassOf(DWORD memory, bool cardMemory) {
  if (cardMemory) {
    if (memory == 160) return &kClassSmall;
    if (memory == 192) return &kClassMiddle;
    return &kClassLarge;
  }
  if (memory == 32) return &kClassSmall;
  if (memory == 64) return &kClassMiddle;
  if (memory >= 96) return &kClassLarge;
  return nullptr;
}

}  // namespace

const BidiOptionCodeRow* BidiGetOptionCodeTable(DWORD) { return kBidiOptionCodes; }

const BidiTranslationRow* BidiGetTrayTable(int group) {
  return group >= 0 && group < kBidiTrayGroupCount ? kBidiTrayTables[group] : nullptr;
}

const BidiTranslationRow* BidiGetTrayValueTable() { return kBidiTrayValues; }

const BidiTranslationRow* BidiGetPaperTable(BOOL second) { return second ? kBidiPapersSecond : kBidiPapers; }

const BidiTranslationRow* BidiGetMediaTable() { return kBidiMedia; }

int BidiIsGroupedOptionCode(DWORD code) {
  for (DWORD i = 0; i < kBidiGroupedCodeCount; ++i) {
    if (kBidiGroupedCodes[i] == code) return 1;
  }
  return 0;
}

BOOL BidiApplyOptionSideEffect(DWORD item, DWORD code, DWORD* changed, DriverContext* context) {
  if (!context) return FALSE;
  for (DWORD i = 0; i < kBidiOptionSideEffectCount; ++i) {
    const BidiOptionSideEffect& effect = kBidiOptionSideEffects[i];
    if (effect.item != item || effect.code != code) continue;
    if (!OptSetValue(context, static_cast<WORD>(effect.target), effect.value)) return FALSE;
    if (changed) *changed = 1;
    return TRUE;
  }
  return FALSE;
}

BOOL CfgBuildModelCode(DriverContext* context) {
  if (!context || !context->settings) return FALSE;
  const bool noDeviceFonts = (OptGetValue(context, kItemNoDeviceFont) & 0xFF) != 0;
  WCHAR text[kModelCodeLength + 1];
  const char* base = noDeviceFonts ? kModelCodeBaseNoDeviceFonts : kModelCodeBase;
  for (int i = 0; i <= kModelCodeLength; ++i) text[i] = static_cast<WCHAR>(base[i]);

  const bool cardMemory =
      OptGetValue(context, kItemSupportCardMemory) == 1 && OptGetValue(context, kItemOutputOptionTypeCardMemory) == 1;
  if (const MemoryClassCodes* codes = MemoryClassOf(OptGetValue(context, kItemPrinterMemory), cardMemory)) {
    text[6] = static_cast<WCHAR>(codes->size[0]);
    text[7] = static_cast<WCHAR>(codes->size[1]);
    text[12] = static_cast<WCHAR>(codes->count[0]);
    text[13] = static_cast<WCHAR>(codes->count[1]);
  }
  return OptSetString(context, OptFindItem(context->itemTable, kItemModelCode), text);
}

int CfgUserCodeSwitch(DriverContext*) { return 0; }

int SysTestFeatureBit(DWORD n) { return n < 32 ? static_cast<int>((kBuildFeatureBits >> n) & 1) : 0; }

DWORD OptGetUserPaperItem(DriverContext* context, WORD item) {
  if (item < kItemFirstModelFeature || item > kItemLastModelFeature) return 0;
  return OptGetValue(context, item);
}
