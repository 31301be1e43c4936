#include "settings/items/store.h"

#include <algorithm>
#include <cstring>

#include "settings/constraints/write_rules.h"
#include "settings/items/settings_record.h"
#include "settings/services/string_convert.h"

namespace {

constexpr WCHAR kNotAString[] = WSTR("wrong");

bool IsAnsiType(int type) { return type == kTypeAnsi || type == kTypeAnsiAlt; }
bool IsWideType(int type) { return type == kTypeWide || type == kTypeWideAlt; }

// The bytes a field covers from its offset: its width, the bytes up to its bit, or its length.
DWORD FieldExtent(DWORD descriptor) {
  const int type = DescriptorType(descriptor);
  if (IsNumberType(type)) return NumberTypeWidth(type);
  if (IsBitType(type)) return static_cast<DWORD>(BitByteIndex(type)) + 1;
  return IsByteType(type) ? static_cast<DWORD>(DescriptorLength(descriptor)) : 0;
}

BYTE* FieldAddress(SettingsRecord* record, const ItemTableRow* row) {
  if (!record || !row) return nullptr;
  const int section = DescriptorSection(row->descriptor);
  BYTE* base = DmGetSection(record, section);
  const DWORD extent = FieldExtent(row->descriptor);
  if (!base || extent == 0 || row->offset + extent > kDmSectionSize[section]) return nullptr;
  return base + row->offset;
}

DWORD ReadField(const BYTE* field, int type) {
  switch (type) {
    case kTypeS8:
      return static_cast<DWORD>(static_cast<LONG>(static_cast<signed char>(field[0])));
    case kTypeS16:
      return static_cast<DWORD>(static_cast<LONG>(static_cast<SHORT>(DmLoadU16(field, 0))));
    case kTypeU8:
      return field[0];
    case kTypeU16:
      return DmLoadU16(field, 0);
    case kTypeS32:
    case kTypeU32:
      return DmLoadU32(field, 0);
    default:
      if (IsBitType(type)) return (field[BitByteIndex(type)] & BitMask(type)) ? 1 : 0;
      return 0;
  }
}

// Numbers and bits; a byte type takes only 0, as a zero-fill of `length` bytes.
bool WriteField(BYTE* field, DWORD descriptor, DWORD value) {
  const int type = DescriptorType(descriptor);
  switch (type) {
    case kTypeS8:
    case kTypeU8:
      field[0] = static_cast<BYTE>(value);
      return true;
    case kTypeS16:
    case kTypeU16:
      DmStoreU16(field, 0, static_cast<WORD>(value));
      return true;
    case kTypeS32:
    case kTypeU32:
      DmStoreU32(field, 0, value);
      return true;
    default:
      if (IsBitType(type)) {
        BYTE& byte = field[BitByteIndex(type)];
        byte = value ? static_cast<BYTE>(byte | BitMask(type)) : static_cast<BYTE>(byte & ~BitMask(type));
        return true;
      }
      if (!IsByteType(type) || value != 0) return false;
      std::memset(field, 0, static_cast<size_t>(DescriptorLength(descriptor)));
      return true;
  }
}

void AfterWrite(DriverContext* context, ItemTableRow* row, DWORD value) {
  row->changed = 1;
  if (context->work) context->work->dirty = 1;
  CondFollowItemWrite(context, row->id, value);
  if (const DWORD group = row->flags & kRowChangeGroupMask) CtxRaiseChangeMask(context, group);
}

ItemTableRow* FindRow(DriverContext* context, WORD id) {
  return context ? OptFindItem(context->itemTable, id) : nullptr;
}

SettingsRecord* Record(DriverContext* context) { return context ? context->settings : nullptr; }
SettingsRecord* SavedRecord(DriverContext* context) {
  return context && context->work ? context->work->savedCopy : nullptr;
}

}  // namespace

BYTE* OptGetItemAddress(DriverContext* context, const ItemTableRow* row) { return FieldAddress(Record(context), row); }

BYTE* OptGetSavedAddress(DriverContext* context, const ItemTableRow* row) {
  return FieldAddress(SavedRecord(context), row);
}

DWORD OptReadRaw(DriverContext* context, const ItemTableRow* row) {
  const BYTE* field = OptGetItemAddress(context, row);
  return field ? ReadField(field, DescriptorType(row->descriptor)) : 0;
}

DWORD OptReadSavedRaw(DriverContext* context, const ItemTableRow* row) {
  const BYTE* field = OptGetSavedAddress(context, row);
  return field ? ReadField(field, DescriptorType(row->descriptor)) : 0;
}

BOOL OptWriteRaw(DriverContext* context, ItemTableRow* row, DWORD value) {
  BYTE* field = OptGetItemAddress(context, row);
  if (!field || !WriteField(field, row->descriptor, value)) return FALSE;
  AfterWrite(context, row, value);
  return TRUE;
}

BOOL OptWriteBytes(DriverContext* context, ItemTableRow* row, const void* source, DWORD size) {
  BYTE* field = OptGetItemAddress(context, row);
  if (!field || !IsByteType(DescriptorType(row->descriptor))) return FALSE;
  const DWORD length = static_cast<DWORD>(DescriptorLength(row->descriptor));
  const DWORD copied = source ? std::min(size, length) : 0;
  if (copied) std::memmove(field, source, copied);
  std::memset(field + copied, 0, length - copied);
  AfterWrite(context, row, 0);
  return TRUE;
}

BOOL OptWriteSavedRaw(DriverContext* context, const ItemTableRow* row, DWORD value) {
  BYTE* field = OptGetSavedAddress(context, row);
  return field && WriteField(field, row->descriptor, value);
}

DWORD OptGetValue(DriverContext* context, WORD id, ItemTableRow** row) {
  ItemTableRow* found = FindRow(context, id);
  if (row) *row = found;
  return OptReadRaw(context, found);
}

BOOL OptSetValue(DriverContext* context, WORD id, DWORD value) {
  ItemTableRow* row = FindRow(context, id);
  return row ? OptWriteRaw(context, row, value) : FALSE;
}

DWORD OptGetSavedValue(DriverContext* context, WORD id) { return OptReadSavedRaw(context, FindRow(context, id)); }

BOOL OptSetSavedValue(DriverContext* context, WORD id, DWORD value) {
  const ItemTableRow* row = FindRow(context, id);
  return row ? OptWriteSavedRaw(context, row, value) : FALSE;
}

DWORD OptGetString(DriverContext* context, const ItemTableRow* row, WCHAR* buffer, DWORD capacity) {
  if (!buffer || capacity == 0) return 0;
  buffer[0] = 0;
  const int type = row ? DescriptorType(row->descriptor) : 0;
  if (!IsAnsiType(type) && !IsWideType(type)) {
    const DWORD length = std::min<DWORD>(capacity - 1, sizeof kNotAString / sizeof(WCHAR) - 1);
    std::memcpy(buffer, kNotAString, length * sizeof(WCHAR));
    buffer[length] = 0;
    return length;
  }
  const BYTE* field = OptGetItemAddress(context, row);
  if (!field) return 0;
  const DWORD length = static_cast<DWORD>(DescriptorLength(row->descriptor));
  if (IsAnsiType(type)) {
    // A field from a foreign devmode may fill its length without a NUL. No section is longer
    // than the work section, so the field fits.
    char text[kDmWorkSize + 1];
    std::memcpy(text, field, length);
    text[length] = 0;
    return static_cast<DWORD>(StrAnsiToWide(buffer, static_cast<int>(std::min<DWORD>(capacity, 0x7FFFFFFF)), text));
  }
  DWORD written = 0;
  for (DWORD at = 0; at + sizeof(WCHAR) <= length && written + 1 < capacity; at += sizeof(WCHAR)) {
    const WCHAR unit = static_cast<WCHAR>(DmLoadU16(field, at));
    if (unit == 0) break;
    buffer[written++] = unit;
  }
  buffer[written] = 0;
  return written;
}

BOOL OptSetString(DriverContext* context, ItemTableRow* row, const WCHAR* text) {
  const int type = row ? DescriptorType(row->descriptor) : 0;
  if (!IsAnsiType(type) && !IsWideType(type)) return FALSE;
  // An ANSI field never holds a text changed on the way in: one the code page cannot hold whole
  // is refused and the field keeps what it had.
  if (IsAnsiType(type) && text && !StrConvertsToAnsiExactly(text)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return FALSE;
  }
  if (!OptWriteRaw(context, row, 0)) return FALSE;
  if (!text) return TRUE;
  BYTE* field = OptGetItemAddress(context, row);
  const DWORD length = static_cast<DWORD>(DescriptorLength(row->descriptor));
  if (IsAnsiType(type)) {
    StrWideToAnsi(reinterpret_cast<char*>(field), static_cast<int>(length), text);
    return TRUE;
  }
  const DWORD room = length / sizeof(WCHAR);
  for (DWORD i = 0; i + 1 < room && text[i]; ++i) DmStoreU16(field, i * sizeof(WCHAR), text[i]);
  return TRUE;
}

void CtxRaiseChangeMask(DriverContext* context, DWORD bits) {
  if (!context || !context->work) return;
  DWORD& mask = context->work->changeMasks[3];
  if (bits == 0) {
    mask = 0;
    return;
  }
  if (bits & kChangeMaskLowHalf) mask &= ~kChangeMaskLowHalf;
  mask |= bits;
}

DWORD CtxGetChangeMask(const DriverContext* context) {
  return context && context->work ? context->work->changeMasks[3] : 0;
}

void CtxClearChangeMask(DriverContext* context, DWORD bits) {
  if (!context || !context->work) return;
  DWORD* masks = context->work->changeMasks;
  masks[3] &= ~bits;
  if (const DWORD top = bits & kChangeMaskTopBits) {
    for (int i = 0; i < 3; ++i) masks[i] &= ~top;
  }
}

void CtxSetTransferStatus(DriverContext* context, DWORD status) {
  if (context && context->work) context->work->transferStatus = status;
}

DWORD CtxGetTransferStatus(const DriverContext* context) {
  return context && context->work ? context->work->transferStatus : 0;
}
