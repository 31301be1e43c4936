#include "settings/services/resource_strings.h"

#include <climits>
#include <cstring>

#include "data/item_ids.h"
#include "settings/context/open_steps.h"
#include "settings/items/store.h"
#include "settings/persistence/paths.h"
#include "settings/items/settings_record.h"
#include "settings/services/string_convert.h"
#include "settings/items/unit_conversion.h"
#include "settings/persistence/user_lists.h"

namespace {

constexpr ResDecorationRow kDecorationRows[] = {
    {29, 907, kDecorateAppendItem},    {30, 908, kDecorateAppendItem},    {31, 909, kDecorateAppendItem},
    {32, 910, kDecorateAppendItem},    {33, 911, kDecorateAppendItem},    {34, 912, kDecorateAppendItem},
    {35, 913, kDecorateAppendItem},    {36, 914, kDecorateAppendItem},    {37, 915, kDecorateAppendItem},
    {50017, 907, kDecorateAppendItem}, {50018, 908, kDecorateAppendItem}, {50019, 909, kDecorateAppendItem},
    {50020, 910, kDecorateAppendItem}, {50021, 911, kDecorateAppendItem}, {50022, 912, kDecorateAppendItem},
    {50023, 913, kDecorateAppendItem}, {50024, 914, kDecorateAppendItem}, {50025, 915, kDecorateAppendItem},
    {109, 0, kDecorateUserSize},       {110, 1, kDecorateUserSize},       {111, 2, kDecorateUserSize},
    {112, 3, kDecorateUserSize},       {113, 4, kDecorateUserSize},       {114, 5, kDecorateUserSize},
    {115, 6, kDecorateUserSize},       {116, 7, kDecorateUserSize},       {117, 8, kDecorateUserSize},
    {118, 9, kDecorateUserSize},       {153, 0, kDecorateUnitName},       {154, 0, kDecorateUnitName},
    {0, 0, 0},
};
static_assert(sizeof(kDecorationRows) / sizeof(kDecorationRows[0]) == 31);

constexpr DWORD kBinNameChars = 17;    // the bin name items hold 16 characters and a NUL
constexpr DWORD kUnitNameChars = 17;   // a unit name is cut to 16 characters
constexpr LONG kBitmapInfoHeaderOffset = 14;
constexpr DWORD kBitmapInfoHeaderSize = 40;

const ResDecorationRow* FindRow(UINT id) {
  for (const ResDecorationRow* row = kDecorationRows; row->stringId != 0; ++row)
    if (row->stringId == id) return row;
  return nullptr;
}

int Capacity(DWORD capacity) { return capacity > INT_MAX ? INT_MAX : static_cast<int>(capacity); }

// The name of the current display unit into `buffer` ("" without the library).
void LoadUnitName(DriverContext* context, WCHAR* buffer, DWORD capacity) {
  buffer[0] = 0;
  if (const HMODULE library = ResLoadDll(context))
    LoadStringW(library, OptIsMetricUnit(context) ? kStringMetricUnit : kStringInchUnit, buffer, Capacity(capacity));
}

void AppendItemText(DriverContext* context, WORD item, WCHAR* buffer, DWORD capacity) {
  WCHAR text[kBinNameChars] = {};
  OptGetString(context, OptFindItem(context->itemTable, item), text, kBinNameChars);
  StringCchCatW(buffer, capacity, WSTR(":"));
  StringCchCatW(buffer, capacity, text);
}

void WriteUserSize(DriverContext* context, DWORD slot, WCHAR* buffer, DWORD capacity) {
  buffer[0] = 0;
  FreeSizeSlot slotData;
  if (!LstGetFreeSizeSlot(context, static_cast<int>(slot), &slotData)) return;  // no such slot
  char name[sizeof(slotData.userName) + 1] = {};
  std::memcpy(name, slotData.userName, sizeof(slotData.userName));  // the field need not end with a NUL
  WCHAR wide[sizeof(name)] = {};
  StrAnsiToWide(wide, sizeof(name), name);

  const bool metric = OptIsMetricUnit(context);
  const int unit = metric ? kUnitTenthMm : kUnitHundredthInch;
  const DWORD scale = metric ? 10 : 100;
  const DWORD width = DmDotsToUnits(unit, slotData.width, kSettingsDpi);
  const DWORD length = DmDotsToUnits(unit, slotData.length, kSettingsDpi);
  WCHAR size[64];
  StringCchPrintfW(size, 64, metric ? WSTR("(%lu.%01lu x %lu.%01lu") : WSTR("(%lu.%02lu x %lu.%02lu"), width / scale,
                   width % scale, length / scale, length % scale);
  WCHAR unitName[kUnitNameChars];
  LoadUnitName(context, unitName, kUnitNameChars);

  StringCchCopyW(buffer, capacity, wide);
  StringCchCatW(buffer, capacity, size);
  StringCchCatW(buffer, capacity, unitName);
  StringCchCatW(buffer, capacity, WSTR(")"));
}

}  // namespace

const ResDecorationRow* ResGetDecorationTable() { return kDecorationRows; }

HMODULE ResLoadDll(DriverContext* context) {
  if (!context) return nullptr;
  if (!context->resourceLibrary) {
    if (const WCHAR* path = PathGetLocalizedModelFile(context)) context->resourceLibrary = LoadLibraryW(path);
  }
  return context->resourceLibrary;
}

void ResFreeDlls(DriverContext* context) {
  if (!context) return;
  if (context->resourceLibrary) FreeLibrary(context->resourceLibrary);
  if (context->secondResourceLibrary) FreeLibrary(context->secondResourceLibrary);
  context->resourceLibrary = nullptr;
  context->secondResourceLibrary = nullptr;
}

int ResLoadString(DriverContext* context, UINT id, WCHAR* buffer, DWORD capacity, BOOL decorate) {
  if (!buffer || capacity == 0) return 0;
  buffer[0] = 0;
  const HMODULE library = ResLoadDll(context);
  if (!library) return 0;
  LoadStringW(library, id, buffer, Capacity(capacity));
  if (decorate) ResDecorate(context, id, buffer, capacity);
  return lstrlenW(buffer);
}

void ResDecorate(DriverContext* context, UINT id, WCHAR* buffer, DWORD capacity) {
  const ResDecorationRow* row = FindRow(id);
  if (!context || !buffer || capacity == 0 || !row) return;
  switch (row->kind) {
    case kDecorateAppendItem: AppendItemText(context, row->target, buffer, capacity); break;
    case kDecorateUserSize: WriteUserSize(context, row->target, buffer, capacity); break;
    case kDecorateUnitName: LoadUnitName(context, buffer, capacity); break;
    default: break;
  }
}

BOOL ResOpenBitmapFile(LPCSTR path, HFILE* file) {
  if (file) *file = HFILE_ERROR;
  if (!path || !file) return FALSE;
  const HFILE opened = _lopen(path, OF_READ);
  if (opened == HFILE_ERROR) return FALSE;
  BYTE header[4] = {};
  const bool accepted = _llseek(opened, kBitmapInfoHeaderOffset, FILE_BEGIN) == kBitmapInfoHeaderOffset &&
                        _lread(opened, header, sizeof header) == sizeof header &&
                        DmLoadU32(header, 0) == kBitmapInfoHeaderSize;
  if (!accepted) {
    _lclose(opened);
    return FALSE;
  }
  *file = opened;
  return TRUE;
}
