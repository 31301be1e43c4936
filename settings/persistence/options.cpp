#include "settings/persistence/options.h"

#include <cstring>

#include "data/item_ids.h"
#include "settings/services/bidi_saved_info.h"
#include "settings/context/open_steps.h"
#include "settings/persistence/font_lists.h"
#include "settings/items/store.h"
#include "settings/context/locks.h"
#include "settings/persistence/printer_data.h"
#include "settings/persistence/profile_wrappers.h"
#include "settings/constraints/condition_items.h"
#include "settings/constraints/eval.h"
#include "settings/persistence/file_primitives.h"
#include "settings/persistence/paths.h"
#include "settings/items/settings_record.h"
#include "settings/services/spooler_info.h"

namespace {

// Loads walk the rows from the first private item (row 34, identifier 35) and leave out rows
// 429..729 (identifiers 430..730: the devmode's copy of the configuration block and the
// environment bytes, which are derived, not stored).
constexpr int kFirstLoadRow = 34;
constexpr int kFirstUnloadedRow = 429;
constexpr int kLastUnloadedRow = 729;


// Creation flags whose contexts never read the settings INI.
constexpr DWORD kCreateWithoutIni = 0x01000000 | 0x02000000 | 0x00010000;

constexpr WCHAR kDriverDataKey[] = WSTR("PrinterDriverData");
constexpr DWORD kNumberChars = 16;
// The largest value an entry can carry: a field of the longest section as widened text.
constexpr DWORD kTextChars = kDmWorkSize + 1;
constexpr DWORD kScratchBytes = kTextChars * sizeof(WCHAR);

// Text types that no row uses yet: 13 and 15 wide text, 14 ANSI text (widened in printer data).
constexpr int kTypeWideText = 13;
constexpr int kTypeAnsiText = 14;
constexpr int kTypeWideText2 = 15;
constexpr int kTypeRawBytes = 12;  // raw bytes, as type 9

enum class Encoding { kNone, kNumber, kBit, kBytes, kAnsiString, kWideString, kAnsiText, kWideText };

Encoding EncodingOf(int type) {
  if (IsNumberType(type)) return Encoding::kNumber;
  if (IsBitType(type)) return Encoding::kBit;
  switch (type) {
    case kTypeAnsi:
    case kTypeAnsiAlt:
      return Encoding::kAnsiString;
    case kTypeWide:
    case kTypeWideAlt:
      return Encoding::kWideString;
    case kTypeAnsiText:
      return Encoding::kAnsiText;
    case kTypeWideText:
    case kTypeWideText2:
      return Encoding::kWideText;
    case kTypeBytes:
    case kTypeRawBytes:
      return Encoding::kBytes;
    default:
      return Encoding::kNone;
  }
}

bool IsActionItem(WORD id) { return id >= kItemFirstAction && id <= kItemLastAction; }

// The INI section of a row: its group, or the printer's name (which the profile wrappers make
// safe). Null when neither is known.
const WCHAR* SectionOf(DriverContext* context, const ItemTableRow* row) {
  if (row->group && row->group[0]) return row->group;
  const WCHAR* printer = PrnGetPrinterName(context);
  return printer && printer[0] ? printer : nullptr;
}

// A text type handled as the string type of the same width, so that the item store's string
// functions serve it. The copy's writes mark the copy; the caller marks the row.
ItemTableRow AsStringRow(const ItemTableRow* row, int type) {
  ItemTableRow copy = *row;
  copy.descriptor = MakeItemDescriptor(DescriptorSection(row->descriptor), type, DescriptorLength(row->descriptor));
  return copy;
}

BOOL SetStringAs(DriverContext* context, ItemTableRow* row, int type, const WCHAR* text) {
  ItemTableRow copy = AsStringRow(row, type);
  if (!OptSetString(context, &copy, text)) return FALSE;
  row->changed = 1;
  return TRUE;
}

// ---- Printer data ------------------------------------------------------------------------------

// The bytes a printer-data value of the row has.
DWORD PrinterDataBytes(const ItemTableRow* row) {
  const int type = DescriptorType(row->descriptor);
  const DWORD length = static_cast<DWORD>(DescriptorLength(row->descriptor));
  switch (EncodingOf(type)) {
    case Encoding::kNumber:
      return NumberTypeWidth(type);
    case Encoding::kBit:
      return sizeof(DWORD);
    case Encoding::kAnsiText:
      return (length + 1) * sizeof(WCHAR);
    case Encoding::kNone:
      return 0;
    default:
      return length;
  }
}

bool ReadFromServer(HANDLE printer, const ItemTableRow* row, const CfgServerValueReader* reader, BYTE* data,
                    DWORD bytes) {
  if (!reader || !reader->size || !reader->read) return false;
  DWORD size = 0;
  if (!reader->size(reader->state, kDriverDataKey, row->keyName, &size) || size != bytes) return false;
  if (!reader->read(reader->state, kDriverDataKey, row->keyName, data, size)) return false;
  // The local copy serves the next load that has no server at hand; a client that may not write
  // printer data still takes the value.
  PrnSetData(printer, row->keyName, row->id == kItemLogging ? REG_DWORD : REG_BINARY, data, size);
  return true;
}

// Stores a printer-data value (zero-extended to its width) into the row's item.
BOOL StorePrinterData(DriverContext* context, ItemTableRow* row, const BYTE* data) {
  const int type = DescriptorType(row->descriptor);
  const DWORD length = static_cast<DWORD>(DescriptorLength(row->descriptor));
  switch (EncodingOf(type)) {
    case Encoding::kNumber:
    case Encoding::kBit:
      return OptWriteRaw(context, row, DmLoadU32(data, 0));
    case Encoding::kAnsiText: {
      WCHAR text[kTextChars];
      for (DWORD i = 0; i < length; ++i) text[i] = static_cast<WCHAR>(DmLoadU16(data, i * sizeof(WCHAR)));
      text[length] = 0;
      return SetStringAs(context, row, kTypeAnsi, text);
    }
    case Encoding::kNone:
      return FALSE;
    default:
      return OptWriteBytes(context, row, data, length);
  }
}

// ---- INI text ----------------------------------------------------------------------------------

// The characters an INI value of the row may have, NUL included; 0 for a row without a text form.
DWORD IniValueChars(const ItemTableRow* row) {
  switch (EncodingOf(DescriptorType(row->descriptor))) {
    case Encoding::kNumber:
    case Encoding::kBit:
      return kNumberChars;
    case Encoding::kBytes:
    case Encoding::kNone:
      return 0;
    default:
      return static_cast<DWORD>(DescriptorLength(row->descriptor)) + 1;
  }
}

// Decimal text as the row's number. u32 text reads its whole range, and a negative number as
// its two's complement ("-1" is 4294967295), so that every value written reads back.
DWORD ParseNumber(const WCHAR* text, int type) {
  switch (type) {
    case kTypeS32:
      return static_cast<DWORD>(_wtol(text));
    case kTypeU32:
      return static_cast<DWORD>(wcstoul(text, nullptr, 10));
    default:
      return static_cast<DWORD>(_wtoi(text));
  }
}

bool FormatNumber(DWORD value, int type, WCHAR* out) {
  switch (type) {
    case kTypeS32:
      return swprintf_s(out, kNumberChars, WSTR("%ld"), static_cast<LONG>(value)) > 0;
    case kTypeU8:
    case kTypeU16:
      return swprintf_s(out, kNumberChars, WSTR("%u"), static_cast<UINT>(value)) > 0;
    case kTypeU32:
      return swprintf_s(out, kNumberChars, WSTR("%lu"), static_cast<ULONG>(value)) > 0;
    default:
      return swprintf_s(out, kNumberChars, WSTR("%d"), static_cast<int>(static_cast<LONG>(value))) > 0;
  }
}

// The row's value as INI text into `out` (kTextChars characters).
bool FormatIniValue(DriverContext* context, const ItemTableRow* row, WCHAR* out) {
  const int type = DescriptorType(row->descriptor);
  const DWORD chars = IniValueChars(row);
  if (!OptGetItemAddress(context, row)) return false;
  switch (EncodingOf(type)) {
    case Encoding::kNumber:
    case Encoding::kBit:
      return FormatNumber(OptReadRaw(context, row), type, out);
    case Encoding::kAnsiString:
    case Encoding::kWideString:
      OptGetString(context, row, out, chars);
      return true;
    case Encoding::kAnsiText:
    case Encoding::kWideText: {
      const ItemTableRow copy =
          AsStringRow(row, EncodingOf(type) == Encoding::kAnsiText ? kTypeAnsi : kTypeWide);
      OptGetString(context, &copy, out, chars);
      return true;
    }
    default:
      return false;
  }
}

// kUnreadable: the store could not be read (no memory); unlike an absent key it must not leave
// the item at a default that a later save would write over the stored value.
enum class IniRead { kRead, kAbsent, kSkipped, kFailed, kUnreadable };

IniRead ReadIni(DriverContext* context, ItemTableRow* row, const WCHAR* iniPath, const char* sectionText,
                LONG* cursor) {
  if (!row) return IniRead::kFailed;
  if (!row->keyName || !PathHasDrive(iniPath)) return IniRead::kSkipped;
  const DWORD chars = IniValueChars(row);
  if (chars == 0 || !OptGetItemAddress(context, row)) return IniRead::kFailed;
  WCHAR value[kTextChars];
  LONG found;
  if (sectionText) {
    found = IniLookupString(row->keyName, value, chars, sectionText, cursor);
  } else {
    const WCHAR* section = SectionOf(context, row);
    if (!section) return IniRead::kFailed;
    found = IniProfileLookupString(section, row->keyName, value, chars, iniPath);
  }
  if (found == kIniLookupFailed) return IniRead::kUnreadable;
  if (found < 0) return IniRead::kAbsent;
  const int type = DescriptorType(row->descriptor);
  BOOL stored;
  switch (EncodingOf(type)) {
    case Encoding::kNumber:
    case Encoding::kBit:
      stored = OptWriteRaw(context, row, ParseNumber(value, type));
      break;
    case Encoding::kAnsiText:
      stored = SetStringAs(context, row, kTypeAnsi, value);
      break;
    case Encoding::kWideText:
      stored = SetStringAs(context, row, kTypeWide, value);
      break;
    default:
      stored = OptSetString(context, row, value);
      break;
  }
  return stored ? IniRead::kRead : IniRead::kFailed;
}

// ---- The job-action word -------------------------------------------------------------------

// Row 224 seen as the whole u16 word under the group key.
bool MakeActionGroupRow(DriverContext* context, ItemTableRow* group) {
  const ItemTableRow* first = OptFindItem(context->itemTable, kItemFirstAction);
  if (!first) return false;
  *group = *first;
  group->keyName = kActionGroupKey;
  group->descriptor = MakeItemDescriptor(DescriptorSection(first->descriptor), kTypeU16, 2);
  return true;
}

// Gives each action item the side effects of a write (changed mark, dirty flag, change group),
// as if its bit had been read on its own.
void MarkActionItemsRead(DriverContext* context) {
  for (WORD id = kItemFirstAction; id <= kItemLastAction; ++id) {
    if (ItemTableRow* row = OptFindItem(context->itemTable, id)) OptWriteRaw(context, row, OptReadRaw(context, row));
  }
}

// False when the INI could not be read; the word is then not written back.
bool LoadActionGroup(DriverContext* context, const WCHAR* iniPath) {
  ItemTableRow group;
  if (!MakeActionGroupRow(context, &group)) return true;
  const IniRead read = ReadIni(context, &group, iniPath, nullptr, nullptr);
  if (read == IniRead::kRead) MarkActionItemsRead(context);
  if (read == IniRead::kUnreadable) return false;
  if (read != IniRead::kAbsent) return true;
  // A settings INI from before the word: take the bits from their own keys and store the word.
  for (WORD id = kItemFirstAction; id <= kItemLastAction; ++id) {
    ItemTableRow* row = OptFindItem(context->itemTable, id);
    if (row && ReadIni(context, row, iniPath, nullptr, nullptr) == IniRead::kUnreadable) return false;
  }
  CfgWriteIniEntry(context, &group, iniPath, nullptr);
  return true;
}

BOOL SaveActionGroup(DriverContext* context, const WCHAR* iniPath) {
  ItemTableRow group;
  return MakeActionGroupRow(context, &group) && CfgWriteIniEntry(context, &group, iniPath, nullptr);
}

// ---- Walks ---------------------------------------------------------------------------------

bool SkipsIni(const DriverContext* context) {
  const ContextWorkArea* work = context->work;
  return work && (work->kind == kKindResync || (work->creationFlags & kCreateWithoutIni));
}

const WCHAR* SettingsIniOf(DriverContext* context) {
  const WCHAR* path = PathGetSettingsIni(context);
  return path ? path : WSTR("");
}

// Whether the row's value differs from the saved copy: bits as values, everything else byte by
// byte over the field.
bool DiffersFromSaved(DriverContext* context, const ItemTableRow* row) {
  const int type = DescriptorType(row->descriptor);
  if (IsBitType(type)) return OptReadRaw(context, row) != OptReadSavedRaw(context, row);
  const BYTE* current = OptGetItemAddress(context, row);
  const BYTE* saved = OptGetSavedAddress(context, row);
  if (!current || !saved) return true;
  const DWORD bytes = IsNumberType(type) ? NumberTypeWidth(type) : static_cast<DWORD>(DescriptorLength(row->descriptor));
  return std::memcmp(current, saved, bytes) != 0;
}

bool HasRecord(const DriverContext* context) { return context && context->itemTable && context->settings; }

int LoadFailed() {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return 0;
}

// The font lists; only a list that failed for want of memory fails the load (a damaged list
// stays empty, as the font-list loader leaves it).
int LoadFontLists(HANDLE printer, DriverContext* context) {
  return CfgLoadFontLists(printer, context) || GetLastError() != ERROR_NOT_ENOUGH_MEMORY ? 1 : 0;
}

}  // namespace

// ---- Whole contexts ----------------------------------------------------------------------------

int CfgLoadOnOpen(DriverContext* context) {
  if (!HasRecord(context)) return 1;
  if (!CfgLoad(context->printer, kCfgLoadAll, context)) return 0;
  if (OptGetValue(context, kItemServerClientMode) != 1 && BidiGetSavedFlag(context)) {
    // Saved information that could not be read stays saved for a later open.
    if (!BidiLoadSavedInfo(context)) return GetLastError() == ERROR_NOT_ENOUGH_MEMORY ? 0 : 1;
    if (BidiCanWritePrinterData(context)) {
      CfgSaveClass(context->printer, context, kSectionConfig, kCfgSaveAllDeviceInfo);
      BidiClearSavedSection(context);
    }
  }
  return 1;
}

int CfgLoad(HANDLE printer, int cls, DriverContext* context) {
  switch (cls) {
    case kCfgLoadAll:
      return CfgLoadClass(printer, context, kCfgAllSections, 0, nullptr) && LoadFontLists(printer, context);
    case kCfgLoadSettings:
      return CfgLoadClass(printer, context, kSectionWork, 0, nullptr) &&
             CfgLoadClass(printer, context, kSectionDevmode, 0, nullptr);
    case kCfgLoadDevice:
      return CfgLoadClass(printer, context, kSectionConfig, 0, nullptr) && LoadFontLists(printer, context);
    default:
      return 1;
  }
}

int CfgLoadEntries(HANDLE printer, DriverContext* context, int section, DWORD flags,
                   const CfgServerValueReader* reader) {
  if (!HasRecord(context)) return 1;
  const SettingsMutexHold hold(context);
  const bool iniAllowed = !SkipsIni(context);
  const WCHAR* iniPath = iniAllowed ? SettingsIniOf(context) : WSTR("");
  bool actionGroup = false;
  ItemTable& table = *context->itemTable;
  for (int i = kFirstLoadRow; i < table.count; ++i) {
    if (i >= kFirstUnloadedRow && i <= kLastUnloadedRow) continue;
    ItemTableRow& row = table.rows[i];
    const int rowSection = DescriptorSection(row.descriptor);
    if (section != kCfgAllSections && rowSection != section) continue;
    if (row.storage == kStorageSettingsIni) {
      if (!iniAllowed) continue;
      if (IsActionItem(row.id)) {
        actionGroup |= row.id == kItemFirstAction;
        continue;
      }
      if (ReadIni(context, &row, iniPath, nullptr, nullptr) == IniRead::kUnreadable) return LoadFailed();
    } else if (rowSection == kSectionConfig && row.storage == kStorageDevmode) {
      SetLastError(ERROR_SUCCESS);
      if (!CfgReadPrinterDataEntry(printer, context, &row, flags, reader) && GetLastError() == ERROR_NOT_ENOUGH_MEMORY)
        return LoadFailed();
    }
  }
  if (actionGroup && !LoadActionGroup(context, iniPath)) return LoadFailed();
  return 1;
}

BOOL CfgSaveActionGroup(DriverContext* context) {
  if (!HasRecord(context)) return FALSE;
  const SettingsMutexHold hold(context);
  return SaveActionGroup(context, SettingsIniOf(context));
}

int CfgSave(HANDLE printer, DriverContext* context) {
  const int work = CfgSaveClass(printer, context, kSectionWork, 0);
  const DWORD workError = GetLastError();
  const int devmode = CfgSaveClass(printer, context, kSectionDevmode, 0);
  if (!work) SetLastError(workError);  // the first failure's reason
  return work && devmode ? 1 : 0;
}

int CfgSaveClass(HANDLE printer, DriverContext* context, int section, DWORD flags) {
  if (!HasRecord(context)) return 0;
  const SettingsMutexHold hold(context);
  const ContextWorkArea* work = context->work;
  const bool onlyDiffering = work && work->kind == kKindOrdinary && section == kSectionConfig && work->savedCopy &&
                             static_cast<LONG>(flags) >= 0;
  const WCHAR* iniPath = SettingsIniOf(context);
  // Asked once, and only when a user-code row comes up.
  int userCodeWithheld = -1;
  bool written = true;
  DWORD firstError = ERROR_SUCCESS;
  const auto note = [&](BOOL ok) {
    if (!ok && written) firstError = GetLastError();
    written = written && ok;
  };
  bool actionGroup = false;
  ItemTable& table = *context->itemTable;
  for (int i = 0; i < table.count; ++i) {
    ItemTableRow& row = table.rows[i];
    const int rowSection = DescriptorSection(row.descriptor);
    if (section != kCfgAllSections && rowSection != section) continue;
    if (row.id >= kItemFirstFontList && row.id <= kItemLastFontList) continue;
    if (row.id == kItemLogCodeUse || row.id == kItemLogCode) {
      if (userCodeWithheld < 0)
        userCodeWithheld = PrnIsOnServer(context) && OptGetValue(context, kItemServerLogCode) == 0 ? 1 : 0;
      if (userCodeWithheld) continue;
    }
    if ((flags & kCfgDeviceInfoOnly) && !OptIsDeviceInfoEntry(&row)) continue;
    if (IsActionItem(row.id)) {
      actionGroup |= row.storage == kStorageSettingsIni;
      continue;
    }
    if (rowSection == kSectionConfig && row.storage == kStorageDevmode) {
      if (onlyDiffering && !DiffersFromSaved(context, &row)) continue;
      note(CfgWritePrinterDataEntry(printer, context, &row));
    } else if (row.storage == kStorageSettingsIni) {
      if (onlyDiffering && !DiffersFromSaved(context, &row)) continue;
      note(CfgWriteIniEntry(context, &row, iniPath, nullptr));
    }
  }
  if (actionGroup) note(SaveActionGroup(context, iniPath));
  // The reason of the first write that failed, whatever the later writes left as the last error.
  if (!written) SetLastError(firstError != ERROR_SUCCESS ? firstError : ERROR_WRITE_FAULT);
  return written ? 1 : 0;
}

// ---- One entry ---------------------------------------------------------------------------------

BOOL CfgReadPrinterDataEntry(HANDLE printer, DriverContext* context, ItemTableRow* row, DWORD flags,
                             const CfgServerValueReader* reader) {
  if (!row) return FALSE;
  if (!row->keyName) return TRUE;
  const DWORD bytes = PrinterDataBytes(row);
  if (bytes == 0 || bytes > kScratchBytes || !OptGetItemAddress(context, row)) return FALSE;
  // Zeroed, so that a shorter value reads zero-extended; numbers are taken as 4 bytes.
  BYTE scratch[kScratchBytes];
  std::memset(scratch, 0, bytes < sizeof(DWORD) ? sizeof(DWORD) : bytes);
  const bool read = (flags & kCfgFromServer) ? ReadFromServer(printer, row, reader, scratch, bytes)
                                             : PrnGetData(printer, row->keyName, scratch, bytes) != FALSE;
  return read && StorePrinterData(context, row, scratch);
}

BOOL CfgReadIniEntry(DriverContext* context, ItemTableRow* row, const WCHAR* iniPath, const char* sectionText,
                     LONG* cursor) {
  const IniRead read = ReadIni(context, row, iniPath, sectionText, cursor);
  return read == IniRead::kRead || read == IniRead::kSkipped;
}

BOOL CfgWriteEntry(HANDLE printer, DriverContext* context, ItemTableRow* row) {
  if (!row) return FALSE;
  if (DescriptorSection(row->descriptor) == kSectionConfig && row->storage == kStorageDevmode)
    return CfgWritePrinterDataEntry(printer, context, row);
  if (row->storage == kStorageSettingsIni) return CfgWriteIniEntry(context, row, SettingsIniOf(context), nullptr);
  return TRUE;
}

BOOL CfgWritePrinterDataEntry(HANDLE printer, DriverContext* context, const ItemTableRow* row) {
  if (!row) return FALSE;
  if (!row->keyName) return TRUE;
  const BYTE* field = OptGetItemAddress(context, row);
  if (!field) return FALSE;
  const int type = DescriptorType(row->descriptor);
  const DWORD length = static_cast<DWORD>(DescriptorLength(row->descriptor));
  BYTE number[sizeof(DWORD)];
  if (row->id == kItemLogging) {
    DmStoreU32(number, 0, OptReadRaw(context, row));
    return PrnSetData(printer, row->keyName, REG_DWORD, number, sizeof number);
  }
  switch (EncodingOf(type)) {
    case Encoding::kNumber:
    case Encoding::kBit:
      DmStoreU32(number, 0, OptReadRaw(context, row));
      return PrnSetDataBinary(printer, row->keyName, number, PrinterDataBytes(row));
    case Encoding::kWideText:
      return PrnSetData(printer, row->keyName, REG_SZ, field, length);
    case Encoding::kAnsiText: {
      WCHAR text[kTextChars];
      const ItemTableRow copy = AsStringRow(row, kTypeAnsi);
      const DWORD chars = OptGetString(context, &copy, text, length + 1);
      BYTE wide[kScratchBytes];
      for (DWORD i = 0; i <= chars; ++i) DmStoreU16(wide, i * sizeof(WCHAR), text[i]);
      return PrnSetData(printer, row->keyName, REG_SZ, wide, (chars + 1) * sizeof(WCHAR));
    }
    case Encoding::kNone:
      return FALSE;
    default:
      return PrnSetDataBinary(printer, row->keyName, field, length);
  }
}

BOOL CfgWriteIniEntry(DriverContext* context, const ItemTableRow* row, const WCHAR* iniPath, IniSectionText* text) {
  if (!row) return FALSE;
  if (!row->keyName || !PathHasDrive(iniPath)) return TRUE;
  WCHAR value[kTextChars];
  if (!FormatIniValue(context, row, value)) return FALSE;
  if (text) return IniAppendEntry(text, row->keyName, value);
  const WCHAR* section = SectionOf(context, row);
  return section && IniProfileWriteString(section, row->keyName, value, iniPath);
}

// ---- Device information ------------------------------------------------------------------------

BOOL OptIsDeviceInfoId(WORD id) {
  return (id >= 10012 && id <= 10272) || id == 10274 || id == 10276 || id == 10277;
}

BOOL OptIsDeviceInfoEntry(const ItemTableRow* row) { return row && OptIsDeviceInfoId(row->id); }
