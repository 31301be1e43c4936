// Settings-file imports under arbitrary text: the first byte of an input chooses the transfer
// (kImportFlags), the rest is the whole file. The context is one of kind 2 whose printer is named
// "Fuzz", with a fresh record. Shared by the fuzz target and the test that replays its corpus.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "settings/context/driver_context.h"
#include "settings/items/store.h"
#include "settings/persistence/options.h"
#include "settings/persistence/settings_export.h"

namespace velm::fuzz {

inline constexpr WCHAR kImportPrinterName[] = u"Fuzz";

inline constexpr DWORD kImportFlags[] = {
    kXferRead,
    kXferRead | kXferGroupQuality,
    kXferRead | kXferGroupStamp,
    kXferRead | kXferGroupFreeSize,
    kXferRead | kXferGroupSrcFreeSize,
    kXferRead | kXferGroupDeviceInfo,
    kXferRead | kXferRsdSection,
    kXferRead | kXferCompanion | kXferGroupQuality,
    kXferRead | kXferTransferRows | kXferWorkRows,
};

// Whether an import with `flags` may write the item of `row`: the rules of the transfer filters,
// stated from the item table's marks.
inline bool ImportMayWrite(const ItemTableRow& row, DWORD flags) {
  const WORD id = row.id;
  if (id >= 430 && id <= 858) return false;
  if (flags & kXferGroupQuality) return row.transfer2 != 0;
  if (flags & kXferGroupStamp) return row.transfer || row.preset || (id >= 894 && id <= 903);
  if (flags & kXferGroupFreeSize) return id >= 859 && id <= 861;
  if (flags & kXferGroupSrcFreeSize) return id >= 862 && id <= 864;
  if (flags & kXferGroupDeviceInfo) return OptIsDeviceInfoId(id) != FALSE;
  if (flags & kXferRsdSection) return row.transfer != 0;
  if (flags & kXferWorkRows) return row.transfer && DescriptorSection(row.descriptor) == kSectionWork;
  return id > 5 && id != 220 && id != 221 && id <= 904;
}

// Per record byte, the bits an import with `flags` may change.
inline std::vector<BYTE> ImportWriteMask(DriverContext* context, DWORD flags) {
  std::vector<BYTE> mask(sizeof(SettingsRecord), 0);
  const BYTE* base = reinterpret_cast<const BYTE*>(context->settings);
  for (int i = 0; i < context->itemTable->count; ++i) {
    const ItemTableRow& row = context->itemTable->rows[i];
    const BYTE* field = OptGetItemAddress(context, &row);
    if (!field || !ImportMayWrite(row, flags)) continue;
    const int type = DescriptorType(row.descriptor);
    const size_t at = static_cast<size_t>(field - base);
    if (IsBitType(type)) {
      mask[at + BitByteIndex(type)] |= BitMask(type);
      continue;
    }
    const size_t n = type == kTypeS8 || type == kTypeU8     ? 1
                     : type == kTypeS16 || type == kTypeU16 ? 2
                     : IsNumberType(type)                   ? 4
                                                            : static_cast<size_t>(DescriptorLength(row.descriptor));
    for (size_t k = 0; k < n && at + k < mask.size(); ++k) mask[at + k] = 0xFF;
  }
  return mask;
}

// Imports one input into `context` and puts its record back afterwards; "" when every invariant
// held, else what broke: a refused or mismatched file changed the record, or an import changed
// a bit outside its items.
inline std::string CheckSettingsImport(DriverContext* context, const uint8_t* data, size_t size) {
  if (size == 0 || size > (1u << 20)) return {};
  const DWORD flags = kImportFlags[data[0] % (sizeof kImportFlags / sizeof kImportFlags[0])];
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);  // owns a NUL after the bytes
  const std::string before(reinterpret_cast<const char*>(context->settings), sizeof(SettingsRecord));
  const BOOL read = XferReadText(context, u"C:\\fuzz.rst", text.c_str(), static_cast<DWORD>(text.size()), flags);
  const DWORD status = CtxGetTransferStatus(context);
  const auto* after = reinterpret_cast<const BYTE*>(context->settings);
  std::string failure;
  if (!read || status != kXferStatusMatched) {
    if (std::memcmp(after, before.data(), before.size()) != 0) failure = "a refused import changed the record";
  } else {
    const std::vector<BYTE> mask = ImportWriteMask(context, flags);
    for (size_t i = 0; i < before.size() && failure.empty(); ++i) {
      if ((after[i] ^ static_cast<BYTE>(before[i])) & ~mask[i])
        failure = "record byte " + std::to_string(i) + " changed outside the import's items";
    }
  }
  std::memcpy(context->settings, before.data(), before.size());
  return failure;
}

}  // namespace velm::fuzz
