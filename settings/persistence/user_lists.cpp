#include "settings/persistence/user_lists.h"

#include <atomic>
#include <cstring>

#include "data/item_ids.h"
#include "settings/services/help_language.h"
#include "settings/devmode/item_checks.h"
#include "settings/items/store.h"
#include "settings/context/locks.h"
#include "settings/persistence/profile_wrappers.h"
#include "settings/constraints/condition_items.h"
#include "settings/constraints/eval.h"
#include "settings/context/settings_history.h"
#include "settings/persistence/paths.h"
#include "settings/services/spooler_info.h"

namespace {

constexpr WCHAR kStampCountKey[] = WSTR("StampCount");
// Room for every key and section name of the lists ("QualityList7Name", "Stamp256fr").
constexpr DWORD kKeyChars = 32;

std::atomic<const LstTransfers*> g_transfers{&kLstTransfers};

const LstTransfers& Transfers() { return *g_transfers.load(std::memory_order_acquire); }

bool Usable(const DriverContext* context) {
  return context && context->work && context->settings && context->itemTable;
}

DWORD FormatKey(WCHAR* buffer, DWORD capacity, const WCHAR* prefix, LONG n, const WCHAR* suffix) {
  if (!buffer || capacity == 0) return 0;
  const int written = swprintf_s(buffer, capacity, WSTR("%s%ld%s"), prefix, n, suffix);
  return written < 0 ? 0 : static_cast<DWORD>(written);  // cut short: "" already
}

DWORD Refuse(WCHAR* buffer, DWORD capacity) {
  if (buffer && capacity > 0) buffer[0] = 0;
  return 0;
}

// A list section stands in for the printer's name while its transfer runs. Nested list transfers
// each keep the name they replaced, so every one of them puts back what it found.
class PrinterNameSwap {
 public:
  PrinterNameSwap(ContextWorkArea* work, const WCHAR* section) : work_(work) {
    std::memcpy(saved_, work->printerName, sizeof saved_);
    lstrcpynW(work->printerName, section, static_cast<int>(kNameChars));
  }
  ~PrinterNameSwap() { std::memcpy(work_->printerName, saved_, sizeof saved_); }
  PrinterNameSwap(const PrinterNameSwap&) = delete;
  PrinterNameSwap& operator=(const PrinterNameSwap&) = delete;

 private:
  ContextWorkArea* work_;
  WCHAR saved_[kNameChars];
};

// The path that "QualityList%d" of the printer's section names, into `path` (kQualityPathChars).
// A path longer than MAX_PATH is refused: cut short, it would name another file.
constexpr DWORD kQualityPathChars = MAX_PATH + 1;
bool QualityFile(DriverContext* context, int n, WCHAR* path) {
  path[0] = 0;
  WCHAR key[kKeyChars];
  const WCHAR* ini = PathGetSettingsIni(context);
  const WCHAR* printer = PrnGetPrinterName(context);
  if (!LstFormatQualityKey(key, kKeyChars, n, FALSE) || !ini || !ini[0] || !printer || !printer[0]) return false;
  if (IniProfileGetString(printer, key, WSTR(""), path, kQualityPathChars, ini) >= MAX_PATH) path[0] = 0;
  return path[0] != 0;
}

}  // namespace

// ---- Keys and section names -------------------------------------------------------------------

DWORD LstFormatPresetKey(WCHAR* buffer, DWORD capacity, int n, int form) {
  static constexpr const WCHAR* kSuffixes[] = {WSTR(""), WSTR("Name"), WSTR("Comment")};
  if (n < 0 || n >= kLstPresetSlots || form < kPresetKeyPath || form > kPresetKeyComment)
    return Refuse(buffer, capacity);
  return FormatKey(buffer, capacity, WSTR("PresetList"), n, kSuffixes[form]);
}

DWORD LstFormatQualityKey(WCHAR* buffer, DWORD capacity, int n, BOOL name) {
  if (n < 0 || n >= kLstQualitySets) return Refuse(buffer, capacity);
  return FormatKey(buffer, capacity, WSTR("QualityList"), n, name ? WSTR("Name") : WSTR(""));
}

DWORD LstFormatStampKey(DriverContext* context, DWORD n, WCHAR* buffer, DWORD capacity) {
  if (!context || n > kLstScratchStamp) return Refuse(buffer, capacity);
  return FormatKey(buffer, capacity, WSTR("Stamp"), static_cast<LONG>(n), CfgLanguageCodeOfItem(context));
}

DWORD LstFormatFreeSizeKey(DriverContext* context, int n, WCHAR* buffer, DWORD capacity) {
  if (!context || n < 0 || n >= kLstFreeSizeSlots) return Refuse(buffer, capacity);
  return FormatKey(buffer, capacity, WSTR("FreeSize"), n, CfgLanguageCodeOfItem(context));
}

// ---- List transfers ---------------------------------------------------------------------------

const LstTransfers kLstTransfers = {XferLoad, XferSave};

void LstSetTransfers(const LstTransfers* transfers) {
  g_transfers.store(transfers ? transfers : &kLstTransfers, std::memory_order_release);
}

BOOL LstTransferSection(DriverContext* context, const WCHAR* section, DWORD flags) {
  const bool read = (flags & kXferRead) != 0;
  if (!context || !context->work || !section || !section[0] || read == ((flags & kXferWrite) != 0)) return FALSE;
  if (static_cast<DWORD>(lstrlenW(section)) >= kNameChars) return FALSE;
  const WCHAR* ini = PathGetSettingsIni(context);
  if (!ini || !ini[0]) return FALSE;
  WCHAR file[kPathChars];
  lstrcpynW(file, ini, static_cast<int>(kPathChars));
  PrinterNameSwap swap(context->work, section);
  const LstTransfers& transfers = Transfers();
  return read ? transfers.load(context->printer, file, flags, context)
              : transfers.save(context->printer, file, flags, context);
}

// ---- Quality sets -----------------------------------------------------------------------------

BOOL LstLoadQuality(DriverContext* context, int n) {
  WCHAR path[kQualityPathChars];
  if (!Usable(context) || !QualityFile(context, n, path)) return FALSE;
  return Transfers().load(context->printer, path, kXferGroupQuality | kXferRead, context);
}

BOOL LstSaveQuality(DriverContext* context, int n) {
  WCHAR path[kQualityPathChars];
  if (!Usable(context)) return FALSE;
  // The set's file and its name in the settings INI change together.
  SettingsMutexHold hold(context);
  if (!QualityFile(context, n, path)) return FALSE;
  if (!Transfers().save(context->printer, path, kXferGroupQuality | kXferWrite, context)) return FALSE;
  WCHAR key[kKeyChars];
  WCHAR name[kNameChars];
  LstFormatQualityKey(key, kKeyChars, n, TRUE);
  OptGetString(context, OptFindItem(context->itemTable, kItemUserSetName), name, kNameChars);
  return IniProfileWriteString(PrnGetPrinterName(context), key, name, PathGetSettingsIni(context));
}

// ---- Stamps -----------------------------------------------------------------------------------

DWORD LstGetStampCount(DriverContext* context) {
  const WCHAR* ini = context ? PathGetSettingsIni(context) : nullptr;
  if (!ini || !ini[0]) return 0;
  const INT count = static_cast<INT>(IniProfileGetInt(CfgLanguageCodeOfItem(context), kStampCountKey, 0, ini));
  if (count <= 0) return 0;
  return static_cast<DWORD>(count) > kLstStampSlots ? kLstStampSlots : static_cast<DWORD>(count);
}

BOOL LstSetStampCount(DriverContext* context, DWORD count) {
  const WCHAR* ini = context ? PathGetSettingsIni(context) : nullptr;
  if (!ini || !ini[0] || count > kLstStampSlots) return FALSE;
  WCHAR text[16];
  _ultow(count, text, 10);
  return IniProfileWriteString(CfgLanguageCodeOfItem(context), kStampCountKey, text, ini);
}

BOOL LstLoadStamp(DriverContext* context, DWORD n) {
  WCHAR section[kKeyChars];
  if (!Usable(context) || !LstFormatStampKey(context, n, section, kKeyChars)) return FALSE;
  const BOOL loaded = LstTransferSection(context, section, kXferGroupStamp | kXferRead);
  OptSetValue(context, kItemWmID, n);
  return loaded;
}

BOOL LstSaveStamp(DriverContext* context, DWORD n) {
  WCHAR section[kKeyChars];
  if (!Usable(context) || !LstFormatStampKey(context, n, section, kKeyChars)) return FALSE;
  SettingsMutexHold hold(context);
  OptSetValue(context, kItemWmID, n);
  // The count grows only once the section exists, so that it never lists a stamp never written.
  BOOL saved = LstTransferSection(context, section, kXferGroupStamp | kXferWrite);
  if (saved && n != kLstScratchStamp && n >= LstGetStampCount(context)) saved = LstSetStampCount(context, n + 1);
  LstPresetSlots(context, nullptr, kPresetSlotsFree);
  return saved;
}

BOOL LstDeleteStamp(DriverContext* context, DWORD n) {
  if (!Usable(context)) return FALSE;
  SettingsMutexHold hold(context);
  const DWORD count = LstGetStampCount(context);
  if (n >= count || !DmHistoryPush(context)) return FALSE;
  BOOL moved = TRUE;
  for (DWORD i = n + 1; moved && i < count; ++i) moved = LstLoadStamp(context, i) && LstSaveStamp(context, i - 1);
  WCHAR last[kKeyChars];
  if (moved) moved = LstSetStampCount(context, count - 1);
  if (moved && LstFormatStampKey(context, count - 1, last, kKeyChars))
    IniProfileWriteString(last, nullptr, nullptr, PathGetSettingsIni(context));
  DmHistoryPop(context, TRUE);
  return moved;
}

// ---- After an import --------------------------------------------------------------------------

void LstRederiveSrcFreeSize(DriverContext* context) {
  const int srcSlot = LstPaperToFreeSizeSlot(OptGetValue(context, kItemPaperSize));
  if (srcSlot < 0) return;
  LstStoreSrcFreeSize(context, srcSlot);
  LstSelectFreeSize(context, srcSlot);
  LstSaveFreeSize(context, srcSlot);
}

DWORD LstClampStampIndex(DriverContext* context) {
  const DWORD count = LstGetStampCount(context);
  DWORD stamp = OptGetValue(context, kItemWmID);
  if (stamp > count) {
    stamp = count;
    OptSetValue(context, kItemWmID, stamp);
  }
  return stamp;
}

void LstRederiveAfterImport(DriverContext* context) {
  if (!Usable(context)) return;
  const int outSlot = LstPaperToFreeSizeSlot(OptGetValue(context, kItemOutPaperSize));
  if (outSlot >= 0 && LstLoadFreeSize(context, outSlot)) LstStoreFreeSize(context, outSlot);

  LstRederiveSrcFreeSize(context);
  LstSaveStamp(context, LstClampStampIndex(context));

  const int quality = LstGetQualityIndex(context);
  if (quality >= 0) LstSaveQuality(context, quality);
}
