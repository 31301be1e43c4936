#include "gr2k/escapes.h"

#include <cstdlib>
#include <cstring>

#include "data/item_ids.h"
#include "gr2k/device_text.h"
#include "gr2k/drawing_hooks.h"
#include "gr2k/pdev.h"
#include "settings/items/settings_record.h"
#include "settings/items/store.h"

namespace {

constexpr ULONG kEscFailed = 0xFFFFFFFF;  // -1
constexpr char kTechnology[] = "VELM";
constexpr DWORD kOutputLibraryBytes = 128;  // the name's most bytes, without its NUL
constexpr DWORD kNumberTextBytes = 32;      // enough digits for any 32-bit value and its sign
constexpr DWORD kItemBytesMax = 1024;       // the longest string item a setter can reach
// Escapes 123 to 125 name identifiers no row has; they write nothing.
constexpr WORD kMissingItem983 = 983, kMissingItem984 = 984, kMissingItem985 = 985;

struct ItemEscape {
  ULONG escape;
  WORD item;
};

// Setters: the input is the item's value (strings in the item's own form).
constexpr ItemEscape kSetters[] = {
    {kEscUserCode, kItemUserCode},
    {kEscOwnerName, kItemOwnerName},
    {kEscJobPassword, kItemJOBPassword},
    {kEscUserId, kItemUserID},
    {kEscDocumentName, kItemDocumentName},
    {kEscTelephoneNumber, kItemTelNo},
    {kEscStoredPassword, kItemStoredPassword},
    {kEscSetting983, kMissingItem983},
    {kEscSetting985, kMissingItem985},
    {kEscSetting984, kMissingItem984},
};

// Readers: the item's value as a u16.
constexpr ItemEscape kReaders[] = {
    {kEscPaperSource, kItemDefaultSource},
    {kEscPrintType, kItemPrnMethod},
    {kEscApiUse, kItemAPIUse},
};

constexpr ULONG kSupported[] = {QUERYESCSUPPORT,     SETCOPYCOUNT,  GETTECHNOLOGY, GETDEVICEUNITS,
                                kEscVersion,         kEscOutputLibrary};

template <size_t N>
const ItemEscape* Find(const ItemEscape (&table)[N], ULONG escape) {
  for (const ItemEscape& row : table) {
    if (row.escape == escape) return &row;
  }
  return nullptr;
}

// Copies `bytes` to the output when it holds them all; 0 otherwise.
ULONG Answer(const void* bytes, ULONG size, ULONG cjOut, PVOID pvOut) {
  if (!pvOut || cjOut < size) return 0;
  std::memcpy(pvOut, bytes, size);
  return 1;
}

ULONG QuerySupport(const RenderPdev* pdev, ULONG cjIn, const BYTE* in) {
  if (!in || cjIn < sizeof(WORD)) return 0;
  const WORD escape = DmLoadU16(in, 0);
  if (escape == SETCOPYCOUNT) return kEscCopyCountSupport;
  return EscIsSupported(pdev, escape) ? 1 : 0;
}

ULONG SetCopyCount(RenderPdev* pdev, ULONG cjIn, const BYTE* in, ULONG cjOut, PVOID pvOut) {
  if (!in || cjIn < sizeof(DWORD)) return kEscFailed;
  if (pvOut && cjOut < sizeof(DWORD)) return 0;
  DWORD copies = DmLoadU32(in, 0);
  if (copies > kMaxCopies - 1) copies = kMaxCopies;
  if (copies == 0) copies = 1;
  pdev->settings.copies = copies;
  OptWriteRaw(pdev->context, OptFindItem(pdev->context->itemTable, kItemCopies), copies);
  if (pvOut) std::memcpy(pvOut, &copies, sizeof copies);
  return 1;
}

// The records buffered so far leave first, then the application's bytes as they are.
ULONG PassThrough(RenderPdev* pdev, ULONG cjIn, const BYTE* in) {
  if (!in || cjIn < sizeof(WORD)) return kEscFailed;
  const WORD count = DmLoadU16(in, 0);
  if (cjIn - sizeof(WORD) < count) return kEscFailed;
  if (!StrmFlush(&pdev->stream) || !StrmWrite(&pdev->stream, in + sizeof(WORD), count)) {
    pdev->flags |= kPdevFlagAbort;
    return kEscFailed;
  }
  return count;
}

ULONG DeviceUnits(const RenderPdev* pdev, ULONG cjOut, PVOID pvOut) {
  const bool page = (pdev->flags & kPdevFlagPageOpen) != 0;
  const float units[4] = {static_cast<float>(pdev->geometry.printableWidth),
                          static_cast<float>(pdev->geometry.printableLength),
                          page ? static_cast<float>(pdev->geometry.xOffset) : 0.0f,
                          page ? static_cast<float>(pdev->geometry.yOffset) : 0.0f};
  return Answer(units, sizeof units, cjOut, pvOut);
}

// A string item takes at most its length less its terminator from the input; a number item
// takes a u32. No row, no input or a short one: nothing is written.
ULONG SetItem(RenderPdev* pdev, WORD item, ULONG cjIn, const BYTE* in) {
  ItemTableRow* row = OptFindItem(pdev->context->itemTable, item);
  if (!row || !in) return 0;
  const int type = DescriptorType(row->descriptor);
  if (IsByteType(type)) {
    const DWORD length = static_cast<DWORD>(DescriptorLength(row->descriptor));
    const DWORD terminator = type == kTypeWide || type == kTypeWideAlt ? 2 : type == kTypeBytes ? 0 : 1;
    if (length > kItemBytesMax || length < terminator) return 0;
    BYTE value[kItemBytesMax] = {};
    std::memcpy(value, in, cjIn < length - terminator ? cjIn : length - terminator);
    return OptWriteBytes(pdev->context, row, value, length) ? 1 : 0;
  }
  if (cjIn < sizeof(DWORD)) return 0;
  return OptWriteRaw(pdev->context, row, DmLoadU32(in, 0)) ? 1 : 0;
}

// The decimal value of at most cjIn bytes of ANSI text.
ULONG SetNumberFromText(RenderPdev* pdev, WORD item, ULONG cjIn, const BYTE* in) {
  ItemTableRow* row = OptFindItem(pdev->context->itemTable, item);
  if (!row || !in) return 0;
  char text[kNumberTextBytes] = {};
  std::memcpy(text, in, cjIn < sizeof text - 1 ? cjIn : sizeof text - 1);
  return OptWriteRaw(pdev->context, row, static_cast<DWORD>(std::atoi(text))) ? 1 : 0;
}

ULONG ReadItem(RenderPdev* pdev, WORD item, ULONG cjOut, PVOID pvOut) {
  if (!pvOut) return 1;
  const WORD value = static_cast<WORD>(OptGetValue(pdev->context, item));
  return Answer(&value, sizeof value, cjOut, pvOut);
}

// Whole wide characters of the input, at most the field less its NUL.
ULONG KeepText(RenderPdev* pdev, ULONG cjIn, const BYTE* in) {
  if (!in) return 0;
  std::memset(pdev->escapeText, 0, sizeof pdev->escapeText);
  DWORD chars = cjIn / sizeof(WCHAR);
  if (chars > kEscapeTextChars - 1) chars = kEscapeTextChars - 1;
  std::memcpy(pdev->escapeText, in, chars * sizeof(WCHAR));
  return 1;
}

ULONG OutputLibraryName(const RenderPdev* pdev, ULONG cjOut, PVOID pvOut) {
  BYTE name[kOutputLibraryBytes + 1] = {};
  const WCHAR* wide = pdev->outputLibraryName;
  DWORD chars = 0;
  while (wide && chars < kOutputLibraryBytes && wide[chars]) ++chars;
  const DWORD bytes = chars ? TxtUnicodeToDevice(name, kOutputLibraryBytes, wide, chars * sizeof(WCHAR), 0) : 0;
  return Answer(name, bytes + 1, cjOut, pvOut);
}

}  // namespace

BOOL EscIsSupported(const RenderPdev* pdev, ULONG escape) {
  if (escape == PASSTHROUGH) return pdev && pdev->settings.passThrough;
  if (escape >= kEscUserCode && escape <= kEscApiUse) return TRUE;
  for (ULONG supported : kSupported) {
    if (supported == escape) return TRUE;
  }
  return FALSE;
}

extern "C" ULONG DrvEscape(SURFOBJ* pso, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut) {
  RenderPdev* pdev = PdevFromSurface(pso);
  if (!pdev || !EscIsSupported(pdev, iEsc)) return 0;
  const auto* in = static_cast<const BYTE*>(pvIn);
  if (!in) cjIn = 0;
  switch (iEsc) {
    case QUERYESCSUPPORT: return QuerySupport(pdev, cjIn, in);
    case SETCOPYCOUNT: return SetCopyCount(pdev, cjIn, in, cjOut, pvOut);
    case PASSTHROUGH: return PassThrough(pdev, cjIn, in);
    case GETTECHNOLOGY: return Answer(kTechnology, sizeof kTechnology, cjOut, pvOut);
    case GETDEVICEUNITS: return DeviceUnits(pdev, cjOut, pvOut);
    case kEscTelephoneLine: return SetNumberFromText(pdev, kItemTelLine, cjIn, in);
    case kEscApplicationText: return KeepText(pdev, cjIn, in);
    case kEscIgnoredText: return 1;
    case kEscVersion: return Answer(kEscVersionText, sizeof kEscVersionText, cjOut, pvOut);
    case kEscOutputLibrary: return OutputLibraryName(pdev, cjOut, pvOut);
    default: break;
  }
  if (const ItemEscape* setter = Find(kSetters, iEsc)) return SetItem(pdev, setter->item, cjIn, in);
  if (const ItemEscape* reader = Find(kReaders, iEsc)) return ReadItem(pdev, reader->item, cjOut, pvOut);
  return 0;
}
