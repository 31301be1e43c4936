#include "settings/persistence/settings_export.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "data/item_ids.h"
#include "settings/description/access.h"
#include "settings/devmode/merge.h"
#include "settings/persistence/file_primitives.h"
#include "settings/services/help_language.h"
#include "settings/devmode/item_checks.h"
#include "settings/items/saved_settings_values.h"
#include "settings/items/store.h"
#include "settings/items/table.h"
#include "settings/devmode/locale_defaults.h"
#include "settings/context/locks.h"
#include "settings/context/memory.h"
#include "settings/persistence/options.h"
#include "settings/persistence/profile_wrappers.h"
#include "settings/constraints/condition_items.h"
#include "settings/constraints/eval.h"
#include "settings/persistence/user_lists.h"
#include "settings/persistence/folders.h"
#include "settings/context/settings_history.h"
#include "settings/items/settings_record.h"
#include "settings/services/spooler_info.h"

namespace {

// Every transfer leaves out rows 429..857 (identifiers 430..858: the devmode's copy of the
// configuration block, the environment bytes and the computed bits, all derived) and, unless it
// carries the device-information group, stops after row 903 (identifier 904).
constexpr int kFirstDerivedRow = 429;
constexpr int kLastDerivedRow = 857;
constexpr int kLastOrdinaryRow = 903;

constexpr WORD kFirstPatternItem = kItemWmPatternSize; // the stamp's pattern and tile items
constexpr WORD kLastPatternItem = kItemWmTileFlags;
constexpr WORD kFreeSizeItems = 3;
constexpr WORD kFirstUserCodeItem = kItemServerLogCode;
constexpr WORD kLastUserCodeItem = kItemLogCode;


constexpr DWORD kFieldIcmMethod = 0x00800000;
constexpr DWORD kFieldIcmIntent = 0x01000000;
constexpr DWORD kFieldMediaType = 0x02000000;
// Re-validation after an import: the update merge, without reloading the stored items.
constexpr DWORD kImportMergeFlags = 0x10000008;

constexpr DWORD kNumberChars = 24;  // longer number text is damaged
constexpr DWORD kIdChars = 8;
constexpr DWORD kValueChars = 64;  // a key copied between files as it stands
constexpr DWORD kSectionChars = kIniMaxNameChars + 1;
constexpr WORD kAbsent = 0xFFFF;

inline constexpr WCHAR kConditionSection[] = WSTR("condition");
inline constexpr WCHAR kDisableSection[] = WSTR("disable");

bool Usable(const DriverContext* context) {
  return context && context->itemTable && context->settings && context->work;
}

bool IsPlainImport(DWORD flags) { return (flags & ~kXferQuiet) == kXferRead; }
bool IsPlainExport(DWORD flags) { return (flags & ~kXferQuiet) == kXferWrite; }
bool IsPlainSave(DWORD flags) { return (flags & ~(kXferWrite | kXferQuiet)) == 0; }
bool IsPlainLoad(DWORD flags) { return (flags & ~(kXferRead | kXferQuiet)) == 0; }
bool HasHeader(DWORD flags) {
  return !(flags & (kXferGroupStamp | kXferGroupFreeSize | kXferGroupSrcFreeSize | kXferPrinterItemFile));
}
bool IsPatternItem(WORD id) { return id >= kFirstPatternItem && id <= kLastPatternItem; }
bool InRange(WORD id, WORD first, WORD count) { return id >= first && id < first + count; }

// ---- Numbers --------------------------------------------------------------------------------

// Decimal text with an optional '-' and at most ten digits, as `*value`.
bool ParseDecimal(const WCHAR* text, long long* value) {
  const bool negative = *text == WCH('-');
  if (negative) ++text;
  long long n = 0;
  int digits = 0;
  for (; *text; ++text, ++digits) {
    if (*text < WCH('0') || *text > WCH('9') || digits == 10) return false;
    n = n * 10 + (*text - WCH('0'));
  }
  if (digits == 0) return false;
  *value = negative ? -n : n;
  return true;
}

// Whether `text` is a value this library could have written for a number or bit of `type`: a
// decimal number of the item's width read either signed or unsigned, a bit 0 or 1.
bool IsNumberText(const WCHAR* text, int type) {
  long long value = 0;
  if (!ParseDecimal(text, &value)) return false;
  if (IsBitType(type)) return value == 0 || value == 1;
  const int bits = type == kTypeS8 || type == kTypeU8 ? 8 : type == kTypeS16 || type == kTypeU16 ? 16 : 32;
  return value >= -(1LL << (bits - 1)) && value < (1LL << bits);
}

// A header value: a decimal number below 0xFFFF (which stands for "absent").
bool ParseHeaderNumber(const WCHAR* text, WORD* out) {
  long long value = 0;
  if (*text == WCH('-') || !ParseDecimal(text, &value) || value >= kAbsent) return false;
  *out = static_cast<WORD>(value);
  return true;
}

// The key's text looked up for a check, without moving the reader's cursor: -1 when absent.
LONG LookupForCheck(const WCHAR* key, WCHAR* text, const char* sectionText, LONG* cursor) {
  return IniLookupString(key, text, kNumberChars, sectionText, cursor);
}

// Whether a found value (its length `found`) may be read into `row`. Strings are cut to their
// field by the reader; numbers must be whole numbers of their width.
bool IsAcceptableValue(const ItemTableRow& row, const WCHAR* text, LONG found) {
  const int type = DescriptorType(row.descriptor);
  if (!IsNumberType(type) && !IsBitType(type)) return true;
  return found < static_cast<LONG>(kNumberChars) - 1 && IsNumberText(text, type);
}

// ---- Sections and entries -------------------------------------------------------------------

// The safe name of the section a transfer with `flags` addresses into `out` (kSectionChars).
bool ChooseSection(DriverContext* context, DWORD flags, bool write, WCHAR* out) {
  const WCHAR* name;
  if (flags & kXferRsdSection) {
    name = kXferRsdSectionName;
  } else if (flags & kXferCompanion) {
    name = write ? PrnGetPrinterName(context) : CfgLanguageCodeOfItem(context);
  } else if (write && (flags & kXferLanguageSection)) {
    name = CfgLanguageCodeOfItem(context);
  } else if (write && IsPlainSave(flags)) {
    name = PrnGetDriverName(context);
  } else {
    name = PrnGetPrinterName(context);
  }
  if (!name || !name[0]) {
    SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  return IniMakeSectionName(name, out, kSectionChars) != FALSE;
}

// The key under which row `index` travels in a transfer with `flags`, or null when it does not
// take part. `number` (kIdChars) holds the decimal key of an unnamed public field.
const WCHAR* EntryKey(const ItemTable& table, int index, DWORD flags, bool write, const XferPolicy& policy,
                      WCHAR* number) {
  if (index >= kFirstDerivedRow && index <= kLastDerivedRow) return nullptr;
  const ItemTableRow& row = table.rows[index];
  const WORD id = row.id;
  if (write && !(flags & kXferGroupStamp) && IsPatternItem(id)) return nullptr;
  if (!write && IsPlainImport(flags) && !XferIsImportId(id)) return nullptr;
  if (write && IsPlainExport(flags) && !XferIsExportId(id)) return nullptr;
  if ((flags & kXferTransferRows) && (!write || (flags & kXferModelSectionTest)) && !row.transfer) return nullptr;
  if ((flags & kXferRsdSection) && !row.transfer) return nullptr;
  if ((flags & kXferGroupQuality) && !row.transfer2) return nullptr;
  // A stamp is every preset item (transfer flag or preset mark) with the pattern and tile items
  // taken in by identifier, so that no row of the context's table is marked for it; a policy may
  // take the marked rows alone.
  if ((flags & kXferGroupStamp) && !row.transfer && !row.preset && (policy.stampMarkedRowsOnly || !IsPatternItem(id)))
    return nullptr;
  if ((flags & kXferGroupFreeSize) && !InRange(id, kItemFreeSizeName, kFreeSizeItems)) return nullptr;
  if ((flags & kXferGroupDeviceInfo) && !OptIsDeviceInfoId(id)) return nullptr;
  if ((flags & kXferWorkRows) && DescriptorSection(row.descriptor) != kSectionWork) return nullptr;
  if (flags & kXferGroupSrcFreeSize) {
    if (!InRange(id, kItemSrcFreeSizeName, kFreeSizeItems)) return nullptr;
    // A free-size section has one set of keys, the free size's, whichever items it goes to.
    return OptGetItemName(&table, static_cast<WORD>(id - kItemSrcFreeSizeName + kItemFreeSizeName));
  }
  if (row.name) return row.name;
  if (id >= 1 && id <= kItemLastPublic && swprintf_s(number, kIdChars, WSTR("%u"), static_cast<UINT>(id)) > 0) return number;
  return nullptr;
}

// Calls `visit(row, key)` for every entry of a transfer with `flags`, in table order, while it
// answers true; false when a visit stopped the walk.
template <typename Visit>
bool WalkEntries(DriverContext* context, DWORD flags, bool write, const XferPolicy& policy, Visit visit) {
  ItemTable& table = *context->itemTable;
  const int last = (flags & kXferGroupDeviceInfo) ? table.count - 1 : std::min<int>(kLastOrdinaryRow, table.count - 1);
  for (int i = 0; i <= last; ++i) {
    WCHAR number[kIdChars];
    const WCHAR* key = EntryKey(table, i, flags, write, policy, number);
    if (key && !visit(table.rows[i], key)) return false;
  }
  return true;
}

// The row as one entry of the transfer: its own section and key replaced by the transfer's.
ItemTableRow EntryRow(const ItemTableRow& row, const WCHAR* section, const WCHAR* key) {
  ItemTableRow entry = row;
  entry.group = section;
  entry.keyName = key;
  return entry;
}

// After a read through the entry copy: the real row carries the changed mark.
void MarkRead(DriverContext* context, ItemTableRow& row, DWORD flags) {
  row.changed = 1;
  context->work->dirty = 1;
  if (IsPlainImport(flags) && row.id == kItemPresetNo) OptWriteRaw(context, &row, kPresetNoneIndex);
}

bool ReadEntries(DriverContext* context, const WCHAR* file, const WCHAR* section, const char* sectionText,
                 DWORD flags, const XferPolicy& policy) {
  // First pass: every number present must be one, so that a damaged section changes nothing.
  LONG cursor = 0;
  const bool sound = WalkEntries(context, flags, false, policy, [&](ItemTableRow& row, const WCHAR* key) {
    WCHAR text[kNumberChars];
    const LONG found = LookupForCheck(key, text, sectionText, &cursor);
    return found < 0 || IsAcceptableValue(row, text, found);
  });
  if (!sound) {
    SetLastError(ERROR_INVALID_DATA);
    return false;
  }
  cursor = 0;
  WalkEntries(context, flags, false, policy, [&](ItemTableRow& row, const WCHAR* key) {
    ItemTableRow entry = EntryRow(row, section, key);
    if (CfgReadIniEntry(context, &entry, file, sectionText, &cursor)) MarkRead(context, row, flags);
    return true;
  });
  return true;
}

bool WriteSection(DriverContext* context, const WCHAR* file, DWORD flags, const XferPolicy& policy) {
  WCHAR section[kSectionChars];
  if (!ChooseSection(context, flags, true, section)) return false;
  IniSectionText text{};
  bool built = IniAppendSection(&text, section) && (!HasHeader(flags) || XferWriteHeader(context, &text));
  built = built && WalkEntries(context, flags, true, policy, [&](ItemTableRow& row, const WCHAR* key) {
            const ItemTableRow entry = EntryRow(row, section, key);
            return CfgWriteIniEntry(context, &entry, file, &text) != FALSE;
          });
  // The user's file first: it is what the export is for. The printer-item file of the shared
  // folder follows; its failure leaves the user's file written and is reported apart.
  const bool written = built && IniReplaceSection(file, section, text.bytes, text.length);
  IniFreeSectionText(&text);
  if (written && IsPlainExport(flags) && !XferSavePrinterItems(file, kXferPrinterItemFile, context))
    CtxSetTransferStatus(context, kXferStatusSharedFileNotWritten);
  return written;
}

// Whether `section` of `file` holds "RstVersion" (through the profile functions, which neither
// create the file nor read more than the key).
bool HasVersionKeyIn(const WCHAR* file, const WCHAR* section) {
  if (!PathHasDrive(file) || !section || !section[0]) return false;
  WCHAR value[kNumberChars];
  return IniProfileLookupString(section, kXferVersionKey, value, kNumberChars, file) >= 0;
}

// What the plain export takes along from the user lists: the free sizes of the current papers,
// the current stamp and quality set, loaded into their items.
void LoadCurrentLists(DriverContext* context) {
  const int source = OptGetUserSizeSlot(context, kItemPaperSize);
  if (source >= 0) LstLoadSrcFreeSize(context, source);
  const int output = OptGetUserSizeSlot(context, kItemOutPaperSize);
  if (output >= 0) LstLoadFreeSize(context, output);
  const int stamp = LstGetStampIndex(context);
  if (stamp >= 0) LstLoadStamp(context, static_cast<DWORD>(stamp));
  const int quality = LstGetQualityIndex(context);
  if (quality >= 0) LstLoadQuality(context, quality);
}

// The steps after a plain import that read its section; `osKind` is item 716 before the read.
bool AfterPlainImport(DriverContext* context, DWORD osKind, const XferPolicy& policy) {
  if (policy.rederiveLists)
    policy.rederiveLists(policy.owner, context);
  else
    LstRederiveAfterImport(context);
  DWORD fields = OptGetValue(context, kItemFields);
  if (osKind == 0 || osKind == 1) {
    OptSetValue(context, kItemICMMethod, 1);
    OptSetValue(context, kItemDmICMIntent, 1);
    fields &= ~(kFieldIcmMethod | kFieldIcmIntent);
    OptSetValue(context, kItemICMProgram, 0);
    for (WORD id : {kItemICMType, kItemVdmICMIntent})
      OptSetModelValueById(context, id, static_cast<DWORD>(DescGetDefaultValue(id, context)));
  }
  fields = (osKind == 0 || osKind == 3) ? fields | kFieldMediaType : fields & ~kFieldMediaType;
  OptSetValue(context, kItemFields, fields);
  OptSetValue(context, kItemOSKind, osKind);
  if (policy.afterSystemKind) policy.afterSystemKind(policy.owner, context);
  OptSetValue(context, kItemPresetNo, kPresetNoneIndex);
  const bool uiModeChange = OptGetValue(context, kItemUIModeChange) == 1;
  if (uiModeChange) OptSetValue(context, kItemUIModeChange, 0);
  DmSetCountryDefaults(context);
  const int merged = policy.revalidate ? policy.revalidate(policy.owner, context, kImportMergeFlags)
                                       : DmMerge(context, nullptr, kImportMergeFlags);
  if (uiModeChange) OptSetValue(context, kItemUIModeChange, 1);
  return merged != 0;
}

// Copies section `section` of `source` over the same section of `target`, read whole however
// long it is (a list cut short answers size-2 and is read again in a larger buffer).
bool CopyProfileSection(const WCHAR* section, const WCHAR* source, const WCHAR* target) {
  DWORD chars = kXferSectionCopyChars;
  WCHAR* lines = nullptr;
  DWORD length = 0;
  for (;;) {
    lines = static_cast<WCHAR*>(SysAlloc(static_cast<SIZE_T>(chars) * sizeof(WCHAR)));
    if (!lines) return false;
    length = GetPrivateProfileSectionW(section, lines, chars, source);
    if (length != chars - 2) break;
    SysFree(lines);
    if (chars >= kIniMaxFileBytes) return false;
    chars *= 2;
  }
  bool copied = IniProfileWriteString(section, nullptr, nullptr, target) != FALSE;
  if (copied && length > 0) {
    copied = WritePrivateProfileSectionW(section, lines, target) != FALSE;
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, target);
  }
  SysFree(lines);
  return copied;
}

// ---- The printer-item file ------------------------------------------------------------------

// Calls `visit(row)` for every printer item a transfer with `flags` takes, while it answers true.
template <typename Visit>
bool WalkPrinterItems(DriverContext* context, DWORD flags, Visit visit) {
  WORD first = 0;
  WORD last = 0;
  for (int n = 0; XferItemRange(n, &first, &last); ++n) {
    for (DWORD id = first; id <= last; ++id) {
      ItemTableRow* row = OptFindItem(context->itemTable, static_cast<WORD>(id));
      if (!row || !row->name || !XferIsSettingId(row->id)) continue;
      if ((flags & kXferPrinterItemFile) && id >= kFirstUserCodeItem && id <= kLastUserCodeItem) continue;
      if (!visit(*row)) return false;
    }
  }
  return true;
}

bool IsFontItem(WORD id) { return id >= kItemFirstFontList && id <= kItemLastFontList; }

}  // namespace

// ---- Sections -------------------------------------------------------------------------------

const XferPolicy kXferLibraryPolicy = {};

BOOL XferSection(HANDLE printer, DriverContext* context, const WCHAR* file, DWORD flags) {
  return XferSectionWithPolicy(printer, context, file, flags, kXferLibraryPolicy);
}

BOOL XferSectionWithPolicy(HANDLE printer, DriverContext* context, const WCHAR* file, DWORD flags,
                           const XferPolicy& policy) {
  (void)printer;  // the context's own handle serves every store a section touches
  if (!Usable(context)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  CtxSetTransferStatus(context, kXferStatusMatched);
  if (!PathHasDrive(file)) {
    SetLastError(ERROR_INVALID_NAME);
    return FALSE;
  }
  if (flags & kXferPrinterItemFile) return XferPrinterItems(context, file, flags);
  if (flags & kXferRead) {
    // An absent file reads as an empty one; the import does not leave one behind.
    if (!PathExists(file)) return XferReadTextWithPolicy(context, file, "", 0, flags, policy);
    DWORD bytes = 0;
    char* text = IniLoadFile(file, &bytes);
    if (!text) return FALSE;
    const BOOL read = XferReadTextWithPolicy(context, file, text, bytes, flags, policy);
    IniFreeFile(text);
    return read;
  }
  if (flags & kXferWrite) return WriteSection(context, file, flags, policy) ? TRUE : FALSE;
  SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE;
}

BOOL XferReadText(DriverContext* context, const WCHAR* file, const char* fileText, DWORD fileBytes, DWORD flags) {
  return XferReadTextWithPolicy(context, file, fileText, fileBytes, flags, kXferLibraryPolicy);
}

BOOL XferReadTextWithPolicy(DriverContext* context, const WCHAR* file, const char* fileText, DWORD fileBytes,
                            DWORD flags, const XferPolicy& policy) {
  if (!Usable(context) || !fileText) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  CtxSetTransferStatus(context, kXferStatusMatched);
  WCHAR section[kSectionChars];
  if (!ChooseSection(context, flags, false, section)) return FALSE;
  const char* sectionText = IniFindSection(section, fileText);
  DWORD start = 0;
  DWORD span = 0;
  if (sectionText && IniFindSectionSpan(section, fileText, fileBytes, &start, &span) && span > kXferMaxSectionBytes) {
    SetLastError(ERROR_INVALID_DATA);
    return FALSE;
  }
  LONG cursor = 0;
  const auto accepted = [&] {
    return policy.checkHeader ? policy.checkHeader(policy.owner, context, file, sectionText, flags) != FALSE
                              : XferCheckHeader(context, sectionText, &cursor) != FALSE;
  };
  if (HasHeader(flags) && !(flags & kXferCompanion) && !accepted()) {
    CtxSetTransferStatus(context, kXferStatusHeaderMismatch);
    return TRUE;
  }
  // An absent section has nothing to give.
  if (!sectionText) return TRUE;
  return ReadEntries(context, file, section, sectionText, flags, policy) ? TRUE : FALSE;
}

BOOL XferLoad(HANDLE printer, const WCHAR* file, DWORD flags, DriverContext* context) {
  return XferLoadWithPolicy(printer, file, flags, context, kXferLibraryPolicy);
}

BOOL XferLoadWithPolicy(HANDLE printer, const WCHAR* file, DWORD flags, DriverContext* context,
                        const XferPolicy& policy) {
  if (!Usable(context)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const SettingsMutexHold hold(context);
  flags = (flags | kXferRead) & ~kXferWrite;
  const bool plain = IsPlainLoad(flags);
  // A file exported from a printer of this model keeps its settings under the driver's name.
  std::optional<XferPrinterNameStandIn> modelSection;
  if ((plain || (flags & kXferModelSectionTest)) && HasVersionKeyIn(file, PrnGetDriverName(context)))
    modelSection.emplace(context, PrnGetDriverName(context));
  const DWORD osKind = OptGetValue(context, kItemOSKind);
  if (!XferSectionWithPolicy(printer, context, file, flags, policy)) return FALSE;
  const bool mismatch = CtxGetTransferStatus(context) == kXferStatusHeaderMismatch;
  if (mismatch && (flags & kXferGroupQuality)) {
    // A missing companion leaves the user's file as it is (the copy refuses it).
    WCHAR companion[MAX_PATH];
    if (PathMakeRsqName(context, file, kRsqExtensionRsq, companion))
      XferCopySettingsFile(context, file, companion, kXferGroupQuality);
    CtxSetTransferStatus(context, kXferStatusHeaderMismatch);
    return TRUE;
  }
  if (!plain || mismatch) return TRUE;
  // The steps after the read address the printer's own sections (its quality set's key).
  modelSection.reset();
  return AfterPlainImport(context, osKind, policy) ? TRUE : FALSE;
}

BOOL XferSave(HANDLE printer, const WCHAR* file, DWORD flags, DriverContext* context) {
  if (!Usable(context)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const SettingsMutexHold hold(context);
  if (!IsPlainSave(flags) || !PathHasDrive(file)) return XferSaveSection(printer, file, flags, context);
  auto* aside = static_cast<SettingsRecord*>(SysAlloc(sizeof(SettingsRecord)));
  if (!aside) return FALSE;
  std::memcpy(aside, context->settings, sizeof(SettingsRecord));
  LoadCurrentLists(context);
  const BOOL saved = XferSection(printer, context, file, kXferWrite | (flags & kXferQuiet));
  std::memcpy(context->settings, aside, sizeof(SettingsRecord));
  SysFree(aside);
  return saved;
}

BOOL XferSaveSection(HANDLE printer, const WCHAR* file, DWORD flags, DriverContext* context) {
  if (!Usable(context)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const SettingsMutexHold hold(context);
  return XferSection(printer, context, file, (flags | kXferWrite) & ~kXferRead);
}

// ---- Header ---------------------------------------------------------------------------------

namespace {

struct HeaderEntry {
  const WCHAR* key;
  WCHAR value[kNumberChars];
};

// The four header keys and their values as text; false when one cannot be formatted.
bool HeaderEntries(DriverContext* context, HeaderEntry (&entries)[4]) {
  const ModelDefaults& model = ContextModelDefaults(context);
  const struct {
    const WCHAR* key;
    DWORD value;
  } header[] = {
      {kXferVersionKey, model.settingsFileVersion},
      {kXferMachineKey, model.machineId},
      {kXferLanguageKey, OptGetValue(context, kItemLanguageID)},
      {kXferOSKindKey, OptGetValue(context, kItemOSKind)},
  };
  for (int i = 0; i < 4; ++i) {
    entries[i].key = header[i].key;
    if (swprintf_s(entries[i].value, kNumberChars, WSTR("%u"), static_cast<UINT>(header[i].value)) <= 0) return false;
  }
  return true;
}

}  // namespace

BOOL XferWriteHeader(DriverContext* context, IniSectionText* text) {
  HeaderEntry entries[4];
  if (!context || !text || !HeaderEntries(context, entries)) return FALSE;
  for (const HeaderEntry& entry : entries)
    if (!IniAppendEntry(text, entry.key, entry.value)) return FALSE;
  return TRUE;
}

BOOL XferWriteHeaderKeys(DriverContext* context, const WCHAR* file, const WCHAR* section) {
  HeaderEntry entries[4];
  if (!context || !PathHasDrive(file) || !section || !section[0] || !HeaderEntries(context, entries)) return FALSE;
  for (const HeaderEntry& entry : entries)
    if (!IniProfileWriteString(section, entry.key, entry.value, file)) return FALSE;
  return TRUE;
}

BOOL XferCheckHeader(DriverContext* context, const char* sectionText, LONG* cursor) {
  if (!context || !sectionText) return FALSE;
  LONG own = 0;
  if (!cursor) cursor = &own;
  WORD values[3] = {};
  const WCHAR* keys[3] = {kXferVersionKey, kXferMachineKey, kXferLanguageKey};
  for (int i = 0; i < 3; ++i) {
    WCHAR text[kNumberChars];
    const LONG found = LookupForCheck(keys[i], text, sectionText, cursor);
    if (found <= 0 || found >= static_cast<LONG>(kNumberChars) - 1 || !ParseHeaderNumber(text, &values[i]))
      return FALSE;
  }
  const ModelDefaults& model = ContextModelDefaults(context);
  return values[1] == model.machineId && values[2] == OptGetValue(context, kItemLanguageID) &&
         XferVersionMatches(values[0], static_cast<WORD>(model.settingsFileVersion));
}

BOOL XferVersionMatches(WORD a, WORD b) { return a / 100 == b / 100; }

BOOL XferHeaderApplies(DWORD flags) {
  return (flags & kXferRead) && HasHeader(flags) && !(flags & kXferCompanion) ? TRUE : FALSE;
}

BOOL XferSectionName(DriverContext* context, DWORD flags, WCHAR* out, DWORD capacity) {
  if (!Usable(context) || !out || capacity < kSectionChars) return FALSE;
  return ChooseSection(context, flags, (flags & kXferRead) == 0, out) ? TRUE : FALSE;
}

BOOL XferHasVersionKey(const WCHAR* file, DriverContext* context) {
  return context && HasVersionKeyIn(file, PrnGetPrinterName(context)) ? TRUE : FALSE;
}

WORD XferReadOSKind(const WCHAR* file, DriverContext* context) {
  const WCHAR* section = context ? PrnGetPrinterName(context) : nullptr;
  if (!PathHasDrive(file) || !section || !section[0]) return kAbsent;
  WCHAR text[kNumberChars];
  WORD kind = kAbsent;
  if (IniProfileLookupString(section, kXferOSKindKey, text, kNumberChars, file) <= 0 || !ParseHeaderNumber(text, &kind))
    return kAbsent;
  return kind;
}

// ---- Entry filters --------------------------------------------------------------------------

BOOL XferIsImportId(WORD id) {
  if (id <= 5 || id == 220 || id == 221) return FALSE;
  if ((id >= 430 && id <= 858) || (id >= 905 && id <= 947)) return FALSE;
  return id >= kItemFirstConfig && id <= kItemLastConfig ? FALSE : TRUE;
}

BOOL XferIsExportId(WORD id) { return id == 0 || id == 220 || id == 221 ? FALSE : TRUE; }

BOOL XferIsSettingId(WORD id) { return id > 5 ? TRUE : FALSE; }

// ---- The printer-item text file -------------------------------------------------------------

BOOL XferItemRange(int n, WORD* first, WORD* last) {
  static constexpr WORD kRanges[][2] = {{kItemFirstConfig, kItemLastConfig}, {907, 947}};
  if (n < 0 || n >= static_cast<int>(sizeof kRanges / sizeof kRanges[0]) || !first || !last) return FALSE;
  *first = kRanges[n][0];
  *last = kRanges[n][1];
  return TRUE;
}

BOOL XferPrinterItems(DriverContext* context, const WCHAR* file, DWORD flags) {
  const bool read = (flags & kXferRead) != 0;
  const WCHAR* section = read && (flags & kXferPrinterItemFile) && context ? CfgLanguageCodeOfItem(context)
                                                                          : kXferPrinterItemSection;
  return XferPrinterItemsInSection(context, file, section, flags);
}

BOOL XferPrinterItemsInSection(DriverContext* context, const WCHAR* file, const WCHAR* section, DWORD flags) {
  if (!Usable(context) || !file || !file[0] || !section || !section[0]) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const bool read = (flags & kXferRead) != 0;
  if (!read) {
    // One rewrite of the section rather than a profile write per item: some three hundred keys.
    // A path that is not a drive path takes nothing, as every entry writer does.
    if (!PathHasDrive(file)) return TRUE;
    IniSectionText text{};
    bool built = IniAppendSection(&text, section);
    built = built && WalkPrinterItems(context, flags, [&](ItemTableRow& row) {
              // The font lists are blocks of the record, named by handle: never written as values.
              if (IsFontItem(row.id)) return IniAppendEntry(&text, row.name, WSTR("0")) != FALSE;
              const ItemTableRow entry = EntryRow(row, section, row.name);
              return CfgWriteIniEntry(context, &entry, file, &text) != FALSE;
            });
    const bool written = built && IniReplaceSection(file, section, text.bytes, text.length);
    IniFreeSectionText(&text);
    return written ? TRUE : FALSE;
  }
  bool unreadable = false;
  const bool sound = WalkPrinterItems(context, flags, [&](ItemTableRow& row) {
    if (IsFontItem(row.id)) return true;
    WCHAR text[kNumberChars];
    const LONG found = IniProfileLookupString(section, row.name, text, kNumberChars, file);
    unreadable |= found == kIniLookupFailed;
    return !unreadable && (found < 0 || IsAcceptableValue(row, text, found));
  });
  if (!sound) {
    SetLastError(unreadable ? ERROR_NOT_ENOUGH_MEMORY : ERROR_INVALID_DATA);
    return FALSE;
  }
  // A value that cannot be read for want of memory ends the transfer as a failure, so that no
  // caller takes the section as read and removes it.
  const bool taken = WalkPrinterItems(context, flags, [&](ItemTableRow& row) {
    if (IsFontItem(row.id)) return true;
    ItemTableRow entry = EntryRow(row, section, row.name);
    SetLastError(ERROR_SUCCESS);
    if (CfgReadIniEntry(context, &entry, file, nullptr, nullptr)) MarkRead(context, row, flags);
    return GetLastError() != ERROR_NOT_ENOUGH_MEMORY;
  });
  if (!taken) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return taken ? TRUE : FALSE;
}

BOOL XferSavePrinterItems(const WCHAR* file, DWORD flags, DriverContext* context) {
  WCHAR shared[MAX_PATH];
  if (flags & kXferPrinterItemFile) {
    if (!PathMakeSharedFile(kXferPrinterItemFileName, shared, MAX_PATH)) return FALSE;
    file = shared;
  }
  return XferPrinterItems(context, file, (flags | kXferWrite) & ~kXferRead);
}

// ---- Companion files ------------------------------------------------------------------------

BOOL XferCopySettingsFile(DriverContext* context, const WCHAR* target, const WCHAR* source, DWORD group) {
  if (!Usable(context) || !PathHasDrive(target) || !PathHasDrive(source)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!PathExists(source)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  const SettingsMutexHold hold(context);
  bool copied =
      CopyProfileSection(kConditionSection, source, target) && CopyProfileSection(kDisableSection, source, target);
  if (!copied || !DmHistoryPush(context)) return FALSE;
  const DWORD flags = group | kXferCompanion;
  copied = XferSection(context->printer, context, source, flags | kXferRead) &&
           XferSection(context->printer, context, target, flags | kXferWrite);
  WCHAR readonly[kValueChars];
  if (copied &&
      IniProfileLookupString(CfgLanguageCodeOfItem(context), kXferReadonlyKey, readonly, kValueChars, source) >= 0)
    copied = IniProfileWriteString(PrnGetPrinterName(context), kXferReadonlyKey, readonly, target) != FALSE;
  DmHistoryPop(context, TRUE);
  return copied ? TRUE : FALSE;
}

// ---- The printer name a transfer addresses --------------------------------------------------

XferPrinterNameStandIn::XferPrinterNameStandIn(DriverContext* context, const WCHAR* name) {
  if (!context || !context->work || !name || static_cast<DWORD>(lstrlenW(name)) >= kNameChars) return;
  // Asked first, so that the name given back is the printer's, not an empty cache.
  PrnGetPrinterName(context);
  work_ = context->work;
  std::memcpy(saved_, work_->printerName, sizeof saved_);
  // The stand-in may be the work area's own driver name: copied, never aliased.
  WCHAR standIn[kNameChars];
  lstrcpynW(standIn, name, kNameChars);
  std::memcpy(work_->printerName, standIn, sizeof standIn);
}

XferPrinterNameStandIn::~XferPrinterNameStandIn() {
  if (work_) std::memcpy(work_->printerName, saved_, sizeof saved_);
}
