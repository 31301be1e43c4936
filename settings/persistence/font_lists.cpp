#include "settings/persistence/font_lists.h"

#include <algorithm>
#include <cstring>

#include "settings/items/block_handles.h"
#include "settings/context/open_steps.h"
#include "settings/description/access.h"
#include "settings/items/store.h"
#include "settings/context/memory.h"
#include "settings/persistence/printer_data.h"
#include "settings/items/settings_record.h"

namespace {

// No list comes near this many entries; a larger count read from printer data is not believed.
constexpr LONG kMaxFontEntries = 4096;
constexpr DWORD kNameUnits = 32;
constexpr DWORD kValueNameChars = 40;

enum class ListForm { kRecords, kTable };
enum class ModelList { kDeviceFonts, kFontCartridges, kFontSubstitutes };

struct FontList {
  WORD countId;
  WORD handleId;
  DWORD entryBytes;
  ListForm form;
  ModelList model;
  const WCHAR* countName;  // kRecords: the count and the block's names
  const WCHAR* blockName;
};

constexpr FontList kDeviceFonts{10006, 10007, kDeviceFontBytes, ListForm::kRecords, ModelList::kDeviceFonts,
                                WSTR("DeviceFontNum"), WSTR("DeviceFont")};
constexpr FontList kOptionFonts{10008, 10009, kDeviceFontBytes, ListForm::kRecords, ModelList::kFontCartridges,
                                WSTR("OptionFontNum"), WSTR("OptionFont")};
constexpr FontList kFontTable{10004, 10005, kFontTableRowBytes, ListForm::kTable, ModelList::kFontSubstitutes,
                              nullptr, nullptr};
constexpr const FontList* kLists[] = {&kFontTable, &kDeviceFonts, &kOptionFonts};

// The value names of the current and the default font table.
struct TableNames {
  const WCHAR* count;
  const WCHAR* lastCount;
  const WCHAR* trueTypeHalf;  // formats of one row's halves, numbered from 1
  const WCHAR* deviceHalf;
};
constexpr TableNames kCurrentTable{WSTR("FontTableNum"), WSTR("LastFontTableNum"), WSTR("TTFontTable%d"), WSTR("DevFontTable%d")};
constexpr TableNames kDefaultTable{WSTR("DefFontTableNum"), WSTR("DefFontTableNum"), WSTR("TTFontDefTable%d"),
                                   WSTR("DevFontDefTable%d")};
const TableNames& NamesFor(DWORD flags) { return (flags & kFontDefaultTable) ? kDefaultTable : kCurrentTable; }

enum class ReadResult { kDone, kNoCount, kFailed, kNoMemory };

// A block of `count` entries, owned until handed on.
class OwnedBlock {
 public:
  OwnedBlock() = default;
  ~OwnedBlock() { SysFree(bytes_); }
  OwnedBlock(const OwnedBlock&) = delete;
  OwnedBlock& operator=(const OwnedBlock&) = delete;
  bool Allocate(SIZE_T size) {
    bytes_ = static_cast<BYTE*>(SysAlloc(size));
    return bytes_ != nullptr;
  }
  BYTE* bytes() const { return bytes_; }
  LONG count = 0;

 private:
  BYTE* bytes_ = nullptr;
};

void StoreName(BYTE* at, const WCHAR* name) {
  for (DWORD i = 0; i < kNameUnits; ++i) DmStoreU16(at, i * sizeof(WCHAR), name[i]);
}

// The model description's default list in its printer-data form; count 0 when it has none.
bool ReadModelList(DriverContext* context, const FontList& list, OwnedBlock& block) {
  DWORD count = 0;
  if (list.model == ModelList::kFontSubstitutes) {
    DescFontSubstitute* rows = DescGetFontSubstitutes(context, &count);
    if (rows && block.Allocate(SIZE_T(count) * kFontTableRowBytes)) {
      for (DWORD i = 0; i < count; ++i) {
        StoreName(block.bytes() + i * kFontTableRowBytes, rows[i].trueType);
        StoreName(block.bytes() + i * kFontTableRowBytes + kFontTableHalfBytes, rows[i].device);
      }
      block.count = static_cast<LONG>(count);
    }
    SysFree(rows);
  } else {
    DescFontRow* rows = list.model == ModelList::kDeviceFonts ? DescGetDeviceFonts(context, &count)
                                                              : DescGetFontCartridges(context, &count);
    if (rows && block.Allocate(SIZE_T(count) * kDeviceFontBytes)) {
      for (DWORD i = 0; i < count; ++i) {
        DmStoreU32(block.bytes(), i * kDeviceFontBytes, rows[i].number);
        StoreName(block.bytes() + i * kDeviceFontBytes + sizeof(DWORD), rows[i].name);
      }
      block.count = static_cast<LONG>(count);
    }
    SysFree(rows);
  }
  return block.count > 0;
}

bool WriteCount(HANDLE printer, const WCHAR* name, LONG count) {
  BYTE bytes[2];
  DmStoreU16(bytes, 0, static_cast<WORD>(count));
  return PrnSetDataBinary(printer, name, bytes, sizeof bytes);
}

// The count of `name`: kNoCount when the value is absent, kFailed when it is not 2 bytes or is
// out of range.
ReadResult ReadCount(HANDLE printer, const WCHAR* name, LONG* count) {
  BYTE bytes[2];
  DWORD read = 0;
  *count = 0;
  if (!PrnGetData(printer, name, bytes, sizeof bytes, &read))
    return GetLastError() == ERROR_FILE_NOT_FOUND ? ReadResult::kNoCount : ReadResult::kFailed;
  const LONG value = static_cast<SHORT>(DmLoadU16(bytes, 0));
  if (read != sizeof bytes || value < 0 || value > kMaxFontEntries) return ReadResult::kFailed;
  *count = value;
  return ReadResult::kDone;
}

// Reads exactly `bytes` of value `name`.
bool ReadExact(HANDLE printer, const WCHAR* name, BYTE* data, DWORD bytes) {
  DWORD read = 0;
  return PrnGetData(printer, name, data, bytes, &read) && read == bytes;
}

bool HalfName(WCHAR (&name)[kValueNameChars], const WCHAR* format, LONG row) {
  return swprintf_s(name, kValueNameChars, format, static_cast<int>(row)) > 0;
}

// Reads a list into a new block; *count and *handle are set only on kDone.
ReadResult ReadList(HANDLE printer, const FontList& list, DWORD flags, LONG* count, DWORD* handle) {
  *count = 0;
  *handle = 0;
  const TableNames& names = NamesFor(flags);
  LONG n = 0;
  const ReadResult counted = ReadCount(printer, list.form == ListForm::kTable ? names.count : list.countName, &n);
  if (counted != ReadResult::kDone || n == 0) return counted;
  DWORD blockHandle = 0;
  BYTE* block = static_cast<BYTE*>(SysBlockAlloc(SIZE_T(n) * list.entryBytes, &blockHandle));
  if (!block) return ReadResult::kNoMemory;
  bool read = true;
  if (list.form == ListForm::kRecords) {
    read = ReadExact(printer, list.blockName, block, static_cast<DWORD>(n) * list.entryBytes);
  } else {
    BYTE trueType[kFontTableHalfBytes];
    BYTE device[kFontTableHalfBytes];
    WCHAR name[kValueNameChars];
    for (LONG row = 0; read && row < n; ++row) {
      read = HalfName(name, names.trueTypeHalf, row + 1) && ReadExact(printer, name, trueType, sizeof trueType) &&
             HalfName(name, names.deviceHalf, row + 1) && ReadExact(printer, name, device, sizeof device);
      if (read) CfgJoinFontTables(trueType, device, block + row * kFontTableRowBytes);
    }
  }
  if (!read) {
    SysBlockFree(blockHandle);
    return ReadResult::kFailed;
  }
  *count = n;
  *handle = blockHandle;
  return ReadResult::kDone;
}

bool WriteRecords(HANDLE printer, const FontList& list, const BYTE* bytes, LONG count) {
  // The block goes first: a reader trusts the count, so it must never announce a block that
  // was not written.
  if (count > 0 && !PrnSetDataBinary(printer, list.blockName, bytes, static_cast<DWORD>(count) * list.entryBytes))
    return false;
  return WriteCount(printer, list.countName, count);
}

bool WriteList(HANDLE printer, const FontList& list, const BYTE* bytes, LONG count, DWORD flags) {
  return list.form == ListForm::kTable ? CfgWriteFontTables(printer, bytes, count, flags)
                                       : WriteRecords(printer, list, bytes, count);
}

// Whether count and bytes differ from the list in the saved copy of the record.
bool DiffersFromSaved(DriverContext* context, const FontList& list, const BYTE* bytes, LONG count) {
  if (!context->work || !context->work->savedCopy) return true;
  if (static_cast<SHORT>(OptGetSavedValue(context, list.countId)) != count) return true;
  if (count <= 0) return false;
  SIZE_T size = 0;
  const void* saved = SysBlockGet(OptGetSavedValue(context, list.handleId), &size);
  const SIZE_T used = SIZE_T(count) * list.entryBytes;
  return !saved || size < used || std::memcmp(saved, bytes, used) != 0;
}

BOOL SaveList(HANDLE printer, DriverContext* context, const FontList& list, DWORD flags) {
  if (!context) return FALSE;
  OwnedBlock model;
  const BYTE* bytes = nullptr;
  LONG count = 0;
  if (flags & kFontFromModel) {
    if (!ReadModelList(context, list, model)) return FALSE;
    bytes = model.bytes();
    count = model.count;
  } else {
    count = static_cast<SHORT>(OptGetValue(context, list.countId));
    if (count < 0) return FALSE;
    SIZE_T size = 0;
    bytes = static_cast<const BYTE*>(SysBlockGet(OptGetValue(context, list.handleId), &size));
    if (count > 0 && (!bytes || size < SIZE_T(count) * list.entryBytes)) return FALSE;
  }
  const bool onlyWhenChanged = (flags & kFontOnlyWhenChanged) && context->work && context->work->kind == kKindOrdinary;
  if (onlyWhenChanged && !DiffersFromSaved(context, list, bytes, count)) return TRUE;
  return WriteList(printer, list, bytes, count, flags) ? TRUE : FALSE;
}

void ClearList(DriverContext* context, const FontList& list) {
  if (const DWORD handle = OptGetValue(context, list.handleId)) {
    SysBlockFree(handle);
    OptSetValue(context, list.handleId, 0);
  }
  if (OptGetValue(context, list.countId) != 0) OptSetValue(context, list.countId, 0);
}

// kDone, or why the list stays empty.
ReadResult LoadList(HANDLE printer, DriverContext* context, const FontList& list) {
  ClearList(context, list);
  LONG count = 0;
  DWORD handle = 0;
  ReadResult result = ReadList(printer, list, 0, &count, &handle);
  if (result == ReadResult::kNoCount) {
    OwnedBlock model;
    if (!ReadModelList(context, list, model)) return ReadResult::kDone;
    // A printer whose data this caller may not write keeps an empty list until one who may opens it.
    if (!WriteList(printer, list, model.bytes(), model.count, 0)) return ReadResult::kDone;
    result = ReadList(printer, list, 0, &count, &handle);
    if (result == ReadResult::kNoCount) return ReadResult::kDone;
  }
  if (result != ReadResult::kDone) return result;
  OptSetValue(context, list.countId, static_cast<DWORD>(count));
  OptSetValue(context, list.handleId, handle);
  return ReadResult::kDone;
}

}  // namespace

BOOL CfgSaveDeviceFonts(HANDLE printer, DriverContext* context, DWORD flags) {
  return SaveList(printer, context, kDeviceFonts, flags);
}

BOOL CfgSaveOptionFonts(HANDLE printer, DriverContext* context, DWORD flags) {
  return SaveList(printer, context, kOptionFonts, flags);
}

BOOL CfgSaveFontTables(HANDLE printer, DriverContext* context, DWORD flags) {
  return SaveList(printer, context, kFontTable, flags);
}

BOOL CfgWriteFontTables(HANDLE printer, const BYTE* rows, LONG count, DWORD flags) {
  if (count < 0 || count > kMaxFontEntries || (count > 0 && !rows)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const TableNames& names = NamesFor(flags);
  // Rows past the new count are deleted afterwards, so that a shorter table reloads whole; the
  // larger of the two old counts says how far the old table reached.
  LONG oldCount = 0;
  LONG oldLastCount = 0;
  ReadCount(printer, names.count, &oldCount);
  ReadCount(printer, names.lastCount, &oldLastCount);
  bool written = WriteCount(printer, names.count, count);
  BYTE trueType[kFontTableHalfBytes];
  BYTE device[kFontTableHalfBytes];
  WCHAR name[kValueNameChars];
  for (LONG row = 0; row < count; ++row) {
    CfgSplitFontTables(rows + row * kFontTableRowBytes, trueType, device);
    written &= HalfName(name, names.trueTypeHalf, row + 1) && PrnSetDataBinary(printer, name, trueType, sizeof trueType);
    written &= HalfName(name, names.deviceHalf, row + 1) && PrnSetDataBinary(printer, name, device, sizeof device);
  }
  written &= WriteCount(printer, names.lastCount, count);
  for (LONG row = count; row < std::max(oldCount, oldLastCount); ++row) {
    written &= HalfName(name, names.trueTypeHalf, row + 1) && PrnDeleteData(printer, name);
    written &= HalfName(name, names.deviceHalf, row + 1) && PrnDeleteData(printer, name);
  }
  return written ? TRUE : FALSE;
}

BOOL CfgReadFontTables(HANDLE printer, DWORD flags, LONG* count, DWORD* handle) {
  LONG n = 0;
  DWORD h = 0;
  const bool read = ReadList(printer, kFontTable, flags, &n, &h) == ReadResult::kDone;
  if (count) *count = n;
  if (handle) *handle = h;
  else SysBlockFree(h);
  return read ? TRUE : FALSE;
}

void CfgSplitFontTables(const BYTE* row, BYTE* trueTypeHalf, BYTE* deviceHalf) {
  std::memcpy(trueTypeHalf, row, kFontTableHalfBytes);
  std::memcpy(deviceHalf, row + kFontTableHalfBytes, kFontTableHalfBytes);
}

void CfgJoinFontTables(const BYTE* trueTypeHalf, const BYTE* deviceHalf, BYTE* row) {
  std::memcpy(row, trueTypeHalf, kFontTableHalfBytes);
  std::memcpy(row + kFontTableHalfBytes, deviceHalf, kFontTableHalfBytes);
}

BOOL CfgLoadFontLists(HANDLE printer, DriverContext* context) {
  if (!context || !context->settings) return FALSE;
  bool loaded = true;
  bool noMemory = false;
  for (const FontList* list : kLists) {
    const ReadResult result = LoadList(printer, context, *list);
    loaded &= result == ReadResult::kDone;
    noMemory |= result == ReadResult::kNoMemory;
  }
  if (noMemory) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return loaded ? TRUE : FALSE;
}

void CfgFreeFontBlobs(DriverContext* context) {
  if (!context || !context->settings) return;
  for (const FontList* list : kLists) ClearList(context, *list);
}
