#include "exclude/caps_records.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <vector>

#include "data/item_ids.h"
#include "exclude/api_contexts.h"
#include "exclude/api_model_tests.h"
#include "exclude/status_records.h"
#include "exclude/velmexc.h"
#include "settings/constraints/eval.h"
#include "settings/constraints/option_availability.h"
#include "settings/context/boundary.h"
#include "settings/context/memory.h"
#include "settings/context/settings_history.h"
#include "settings/description/access.h"
#include "settings/description/parse_result.h"
#include "settings/devmode/model_defaults.h"
#include "settings/items/store.h"
#include "settings/items/unit_conversion.h"
#include "settings/persistence/user_lists.h"
#include "settings/services/device_caps.h"
#include "settings/services/feature_test.h"
#include "settings/services/platform_tests.h"
#include "settings/services/resource_strings.h"

const DWORD kApiWaterMarkKinds[4] = {1, 2, 3, 128};

namespace {

constexpr DWORD kTrayExcludedFromSeparators = 7;
constexpr DWORD kJobTypeJobText = 255;
constexpr WORD kPaperListKind = 257;
constexpr DWORD kMaxListEntries = 1024;

DWORD Item(DriverContext* context, WORD item) { return OptGetValue(context, item); }

// A list of DWORD entries of `count`, copied into the caller's buffer when it holds them.
LONG GiveList(const DWORD* values, LONG count, void* buffer, DWORD capacity) {
  if (count < 0 || !buffer) return count;
  if (static_cast<DWORD>(count) > capacity) return -1;
  std::memcpy(buffer, values, static_cast<size_t>(count) * sizeof(DWORD));
  return count;
}

// The item's command values whose condition lists hold; 0 when there are none or memory ran out.
LONG CommandValues(DriverContext* context, WORD item, void* buffer, DWORD capacity) {
  DWORD values[kMaxListEntries];
  DWORD count = 0;
  if (CondGetAllowedValues(context, item, kMaxListEntries, values, &count) != kListDone) return 0;
  return GiveList(values, static_cast<LONG>(count), buffer, capacity);
}

// The item's model list values the constraints do not disable; -1 without.
LONG ModelValues(DriverContext* context, WORD item, void* buffer, DWORD capacity) {
  DWORD values[kMaxListEntries];
  if (CapsGetAllowedValues(context, nullptr, item) > static_cast<int>(kMaxListEntries)) return -1;
  return GiveList(values, CapsGetAllowedValues(context, values, item), buffer, capacity);
}

BOOL ItemRange(DriverContext* context, WORD item, LONG* minimum, LONG* maximum) {
  const DescNode* node = nullptr;
  if (DescGetNodeKind(item, context, &node) != kUiNumeric) return FALSE;
  DescRange range;
  if (!DescNodeRange(context->description, node, &range)) return FALSE;
  *minimum = range.minimum;
  *maximum = range.maximum;
  return TRUE;
}

// A margin range end in 0.1 mm; -1 without a range.
LONG MarginEnd(DriverContext* context, WORD item, bool maximum) {
  LONG low = 0, high = 0;
  if (!ItemRange(context, item, &low, &high)) return -1;
  return static_cast<LONG>(DmDotsToUnits(kUnitTenthMm, static_cast<DWORD>(maximum ? high : low), kSettingsDpi));
}

// Two 16-bit halves into the caller's out pair; the result packs them as second << 16 | first.
LONG GivePair(DWORD first, DWORD second, void* buffer) {
  if (buffer) {
    const WORD pair[2] = {static_cast<WORD>(first), static_cast<WORD>(second)};
    std::memcpy(buffer, pair, sizeof pair);
  }
  return static_cast<LONG>((second & 0xFFFF) << 16 | (first & 0xFFFF));
}

// A name list in `width`-byte ANSI entries for the ids of `ids`: each id takes the name of the
// equal model id, an id without one the "no name" string.
using IdsOf = LONG (*)(DriverContext*, void*, DWORD);
using ModelIdsOf = LONG (*)(DriverContext*, DWORD*, DWORD);
using ModelNamesOf = LONG (*)(DriverContext*, WCHAR*, DWORD width, DWORD capacity);
LONG NameList(DriverContext* context, void* buffer, DWORD capacity, DWORD width, IdsOf ids, ModelIdsOf modelIds,
              ModelNamesOf modelNames) {
  const LONG count = ids(context, nullptr, 0);
  if (count <= 0 || !buffer) return count;
  if (static_cast<DWORD>(count) > capacity || static_cast<DWORD>(count) > kMaxListEntries) return -1;
  std::vector<DWORD> wanted(static_cast<size_t>(count));
  if (ids(context, wanted.data(), static_cast<DWORD>(count)) != count) return -1;
  const LONG modelCount = modelIds(context, nullptr, 0);
  std::vector<DWORD> known;
  std::vector<WCHAR> names;
  if (modelCount > 0 && static_cast<DWORD>(modelCount) <= kMaxListEntries) {
    known.resize(static_cast<size_t>(modelCount));
    names.assign(static_cast<size_t>(modelCount) * width, 0);
    if (modelIds(context, known.data(), static_cast<DWORD>(modelCount)) != modelCount ||
        modelNames(context, names.data(), width, static_cast<DWORD>(modelCount)) != modelCount)
      known.clear();
  }
  WCHAR noName[kCapsNameBytes] = {};
  ResLoadString(context, kStringNoName, noName, width, FALSE);
  BYTE* out = static_cast<BYTE*>(buffer);
  for (LONG i = 0; i < count; ++i) {
    const auto match = std::find(known.begin(), known.end(), wanted[static_cast<size_t>(i)]);
    const WCHAR* name = match != known.end() ? &names[static_cast<size_t>(match - known.begin()) * width] : noName;
    BYTE* entry = out + static_cast<size_t>(i) * width;
    std::memset(entry, 0, width);
    WideCharToMultiByte(CP_ACP, 0, name, -1, reinterpret_cast<char*>(entry), static_cast<int>(width) - 1, nullptr,
                        nullptr);
    entry[width - 1] = 0;
  }
  return count;
}

// ---- Id and name callbacks --------------------------------------------------------------------

template <WORD item, BOOL usableOnly>
LONG ModelIds(DriverContext* context, DWORD* ids, DWORD capacity) {
  return ApiListValueIds(context, item, usableOnly, ids, capacity);
}
template <WORD item, BOOL usableOnly>
LONG ModelNames(DriverContext* context, WCHAR* names, DWORD width, DWORD capacity) {
  return ApiListValueNames(context, item, usableOnly, names, width, capacity);
}
template <WORD item>
LONG PaperIds(DriverContext* context, DWORD* ids, DWORD capacity) {
  std::vector<WORD> work(ids ? capacity : 0);
  const LONG count = ApiCapPaperIds(context, ids ? work.data() : nullptr, capacity, item);
  for (LONG i = 0; ids && i < count; ++i) ids[i] = work[static_cast<size_t>(i)];
  return count;
}
template <WORD item>
LONG PaperNames(DriverContext* context, WCHAR* names, DWORD width, DWORD capacity) {
  const int count = CapsGetValueNames(context, nullptr, width, item);
  if (names && count > 0 && static_cast<DWORD>(count) > capacity) return -1;
  return CapsGetValueNames(context, names, width, item);
}

// ---- Handlers ---------------------------------------------------------------------------------

LONG Always(DriverContext*, void*, DWORD) { return 1; }
LONG TrayIds(DriverContext* c, void* b, DWORD n) { return CommandValues(c, kItemDefaultSource, b, n); }
LONG TrayNames(DriverContext* c, void* b, DWORD n) {
  return NameList(c, b, n, kCapsTrayNameBytes, TrayIds, ModelIds<kItemDefaultSource, TRUE>,
                  ModelNames<kItemDefaultSource, TRUE>);
}
LONG MediaIds(DriverContext* c, void* b, DWORD n) { return CommandValues(c, kItemVdmMediaType, b, n); }
LONG MediaNames(DriverContext* c, void* b, DWORD n) {
  return NameList(c, b, n, kCapsNameBytes, MediaIds, ModelIds<kItemVdmMediaType, FALSE>,
                  ModelNames<kItemVdmMediaType, FALSE>);
}
LONG OutputTrayIds(DriverContext* c, void* b, DWORD n) {
  DWORD values[kMaxListEntries];
  DWORD count = 0;
  if (CondGetAllowedValues(c, kItemOutputTrayID, kMaxListEntries, values, &count) != kListDone) return 0;
  DWORD list[kMaxListEntries + 1] = {0};
  DWORD kept = 1;
  for (DWORD i = 0; i < count; ++i)
    if (values[i] != 0) list[kept++] = values[i];
  if (kept < 3) kept = 1;
  return GiveList(list, static_cast<LONG>(kept), b, n);
}
LONG OutputTrayNames(DriverContext* c, void* b, DWORD n) {
  return NameList(c, b, n, kCapsNameBytes, OutputTrayIds, ModelIds<kItemOutputTrayID, FALSE>,
                  ModelNames<kItemOutputTrayID, FALSE>);
}
LONG ColourMachine(DriverContext* c, void*, DWORD) { return Item(c, kItemMachineColor) == 1 ? 1 : 0; }
LONG CapabilityWord(DriverContext* c, void*, DWORD) { return ContextModelDefaults(c).capabilityWord != 0 ? 1 : 0; }
LONG PaperIdList(DriverContext* c, void* b, DWORD n) { return PaperIds<kItemPaperSize>(c, static_cast<DWORD*>(b), n); }
LONG PaperNameList(DriverContext* c, void* b, DWORD n) {
  const LONG count = CapsGetValueNames(c, nullptr, kCapsNameBytes, kItemPaperSize);
  if (count <= 0 || !b) return count;
  if (static_cast<DWORD>(count) > n) return -1;
  std::vector<WCHAR> names(static_cast<size_t>(count) * kCapsNameBytes);
  if (CapsGetValueNames(c, names.data(), kCapsNameBytes, kItemPaperSize) != count) return -1;
  BYTE* out = static_cast<BYTE*>(b);
  for (LONG i = 0; i < count; ++i) {
    char* entry = reinterpret_cast<char*>(out + static_cast<size_t>(i) * kCapsNameBytes);
    std::memset(entry, 0, kCapsNameBytes);
    if (WideCharToMultiByte(CP_ACP, 0, &names[static_cast<size_t>(i) * kCapsNameBytes], -1, entry, kCapsNameBytes,
                            nullptr, nullptr) <= 0)
      return -1;
  }
  return count;
}
LONG PaperSizes(DriverContext* c, void* b, DWORD n) {
  const LONG count = CapsGetPaperSizes(c, nullptr, kItemPaperSize);
  if (count <= 0 || !b) return count;
  if (static_cast<DWORD>(count) > n) return -1;
  std::vector<POINT> sizes(static_cast<size_t>(count));
  if (CapsGetPaperSizes(c, sizes.data(), kItemPaperSize) != count) return -1;
  DWORD* out = static_cast<DWORD*>(b);
  for (LONG i = 0; i < count; ++i) {
    out[2 * i] = static_cast<DWORD>(sizes[static_cast<size_t>(i)].x);
    out[2 * i + 1] = static_cast<DWORD>(sizes[static_cast<size_t>(i)].y);
  }
  return count;
}
LONG MaxExtent(DriverContext* c, void* b, DWORD) {
  POINT extent{};
  CapsGetMaxExtent(c, &extent);
  return GivePair(static_cast<DWORD>(extent.x), static_cast<DWORD>(extent.y), b);
}
LONG MinExtent(DriverContext* c, void* b, DWORD) {
  POINT extent{};
  CapsGetMinExtent(c, &extent);
  return GivePair(static_cast<DWORD>(extent.x), static_cast<DWORD>(extent.y), b);
}
LONG OutputPaperIds(DriverContext* c, void* b, DWORD n) { return CommandValues(c, kItemOutPaperSize, b, n); }
LONG OutputPaperNames(DriverContext* c, void* b, DWORD n) {
  return NameList(c, b, n, kCapsNameBytes, OutputPaperIds, PaperIds<kItemOutPaperSize>, PaperNames<kItemOutPaperSize>);
}
LONG CopiesMax(DriverContext* c, void*, DWORD) { return CapsGetCopiesMax(c); }
LONG JobTypes(DriverContext* c, void* b, DWORD n) {
  OptSetValue(c, kItemJobBinder, SysIsFeatureInstalled(kFeatureCountedCompanion) ? 1 : 0);
  DWORD values[kMaxListEntries + 1];
  if (CapsGetAllowedValues(c, nullptr, kItemPrnMethod) > static_cast<int>(kMaxListEntries)) return -1;
  LONG count = CapsGetAllowedValues(c, values, kItemPrnMethod);
  if (count >= 0 && (ApiReadFunctionSwitches(c) & kApiFuncUserCode)) values[count++] = kJobTypeJobText;
  return GiveList(values, count, b, n);
}
LONG ScaleTypes(DriverContext* c, void*, DWORD) {
  DWORD values[kMaxListEntries];
  if (CapsGetAllowedValues(c, nullptr, kItemScaleType) > static_cast<int>(kMaxListEntries)) return -1;
  const int count = CapsGetAllowedValues(c, values, kItemScaleType);
  if (count < 0) return -1;
  return std::any_of(values, values + count, [](DWORD v) { return v >= 1 && v <= 3; }) ? 1 : 0;
}
LONG ScaleEnds(DriverContext* c, void* b, bool maximum) {
  LONG low1, high1, low2, high2;
  if (!ItemRange(c, kItemScaleH, &low1, &high1) || !ItemRange(c, kItemScaleV, &low2, &high2)) return -1;
  return GivePair(static_cast<DWORD>(maximum ? high1 : low1), static_cast<DWORD>(maximum ? high2 : low2), b);
}
LONG ScaleMax(DriverContext* c, void* b, DWORD) { return ScaleEnds(c, b, true); }
LONG ScaleMin(DriverContext* c, void* b, DWORD) { return ScaleEnds(c, b, false); }
LONG CoverSheets(DriverContext* c, void*, DWORD) {
  return ApiIsItemUsable(c, kItemFuncSelectCover, 0, kApiUsableNotDisabled) && CapsCanCollate(c) ? 1 : 0;
}
// More than one source tray of row 2's list other than tray 7.
LONG SeparatorSheets(DriverContext* c, void*, DWORD) {
  if (!ApiIsItemUsable(c, kItemFuncSelectMark, 0, kApiUsableNotDisabled)) return 0;
  DWORD trays[kMaxListEntries];
  const LONG count = TrayIds(c, trays, kMaxListEntries);
  return std::count_if(trays, trays + std::max<LONG>(count, 0),
                       [](DWORD t) { return t != kTrayExcludedFromSeparators; }) > 1
             ? 1
             : 0;
}
LONG DuplexUnit(DriverContext* c, void*, DWORD) { return Item(c, kItemSourceOptionTypeDuplex) != 0 ? 1 : 0; }
LONG OddMarginMax(DriverContext* c, void*, DWORD) { return MarginEnd(c, kItemMarginOdd, true); }
LONG OddMarginMin(DriverContext* c, void*, DWORD) { return MarginEnd(c, kItemMarginOdd, false); }
LONG EvenMarginMax(DriverContext* c, void*, DWORD) { return MarginEnd(c, kItemMarginEven, true); }
LONG EvenMarginMin(DriverContext* c, void*, DWORD) { return MarginEnd(c, kItemMarginEven, false); }
LONG BindMarginMax(DriverContext* c, void*, DWORD) { return MarginEnd(c, kItemBindMargin, true); }
LONG BindMarginMin(DriverContext* c, void*, DWORD) { return MarginEnd(c, kItemBindMargin, false); }
LONG BindMargin2Max(DriverContext* c, void*, DWORD) { return MarginEnd(c, kItemBindMargin2, true); }
LONG BindMargin2Min(DriverContext* c, void*, DWORD) { return MarginEnd(c, kItemBindMargin2, false); }
LONG HasBindMargin2Range(DriverContext* c, void*, DWORD) {
  LONG low, high;
  return ItemRange(c, kItemBindMargin2, &low, &high) ? 1 : 0;
}
LONG WatermarkKinds(DriverContext* c, void* b, DWORD n) {
  DWORD kinds[4];
  LONG count = 0;
  const DWORD switches = ApiReadFunctionSwitches(c);
  for (DWORD kind : kApiWaterMarkKinds) {
    if (kind == 3 && !ApiIsControlFeatureOn(c, kApiWatermarkKind3Page, kApiWatermarkKind3Control)) continue;
    if (kind == 128 && !(switches & kApiFuncPatternStamp)) continue;
    kinds[count++] = kind;
  }
  return GiveList(kinds, count, b, n);
}
// The scratch slot and the stored stamps: the count (stamps + 1), or -1 when it passes the
// capacity. With a buffer each stored stamp is loaded in turn on a copy of the settings, which
// is put back afterwards, and `visit(entry)` fills entries 1..count-1.
template <class Visit>
LONG StampList(DriverContext* c, void* b, DWORD n, Visit visit) {
  const DWORD stamps = LstGetStampCount(c);
  const LONG count = static_cast<LONG>(stamps) + 1;
  if (!b) return count;
  if (static_cast<DWORD>(count) > n) return -1;
  if (stamps == 0) return count;
  if (!DmHistoryPush(c)) return -1;
  for (DWORD i = 0; i < stamps; ++i) {
    LstLoadStamp(c, i);
    visit(i + 1);
  }
  DmHistoryPop(c, TRUE);
  return count;
}
LONG WatermarkNumbers(DriverContext* c, void* b, DWORD n) {
  DWORD* out = static_cast<DWORD*>(b);
  if (out && n > 0) out[0] = kApiScratchStamp;
  return StampList(c, b, n, [&](DWORD entry) { out[entry] = Item(c, kItemWmID) + 1; });
}
LONG WatermarkNames(DriverContext* c, void* b, DWORD n) {
  BYTE* out = static_cast<BYTE*>(b);
  if (out && n > 0) std::memset(out, 0, kCapsNameBytes);
  return StampList(c, b, n, [&](DWORD entry) {
    char* name = reinterpret_cast<char*>(out + static_cast<size_t>(entry) * kCapsNameBytes);
    std::memset(name, 0, kCapsNameBytes);
    const DWORD kind = Item(c, kItemWmKind);
    const WORD nameItem = kind == 1 || kind == 128 ? kItemWmCharName : kind == 2 || kind == 3 ? kItemWmImageName : 0;
    if (!nameItem) return;
    WCHAR text[kCapsNameBytes] = {};
    OptGetString(c, OptFindItem(c->itemTable, nameItem), text, kCapsNameBytes);
    WideCharToMultiByte(CP_ACP, 0, text, -1, name, kCapsNameBytes - 1, nullptr, nullptr);
    name[kCapsNameBytes - 1] = 0;
  });
}
LONG SortValues(DriverContext* c, void* b, DWORD n) { return CommandValues(c, kItemSortType, b, n); }
LONG StapleValues(DriverContext* c, void* b, DWORD n) { return CommandValues(c, kItemStapleType, b, n); }
LONG PunchValues(DriverContext* c, void* b, DWORD n) { return CommandValues(c, kItemPunchType, b, n); }
template <WORD item>
LONG Present(DriverContext* c, void*, DWORD) { return OptIsItemPresent(c, item) ? 1 : 0; }
LONG OrderlyOutput(DriverContext* c, void*, DWORD) {
  return ApiIsItemUsable(c, kItemExtOutputOrderly, 0, kApiUsableNotDisabled);
}
LONG Emulations(DriverContext* c, void* b, DWORD n) {
  if (ContextModelDefaults(c).modelVariant == 1) return -1;
  return ModelValues(c, kItemEmulation, b, n);
}
LONG PrintAreas(DriverContext* c, void* b, DWORD n) { return ModelValues(c, 182, b, n); }
LONG JobBinder(DriverContext* c, void*, DWORD) {
  return ApiIsTerminalServerRestricted(c) ? 0 : SysIsFeatureInstalled(kFeatureCountedCompanion) ? 1 : 0;
}
LONG HardDisk(DriverContext* c, void*, DWORD) {
  return ApiIsTerminalServerRestricted(c) ? 0 : Item(c, kItemOutputOptionTypeHDD) != 0 ? 1 : 0;
}
template <WORD item>
LONG UsableUnlessTerminalServer(DriverContext* c, void*, DWORD) {
  return ApiIsTerminalServerRestricted(c) ? 0 : ApiIsItemUsable(c, item, 0, kApiUsableNotDisabled);
}
LONG ResolutionIds(DriverContext* c, void* b, DWORD n) {
  const LONG count = CapsGetResolutionIds(c, nullptr);
  if (!b || count <= 0) return count;
  if (static_cast<DWORD>(count) > n) return -1;
  return CapsGetResolutionIds(c, static_cast<LONG*>(b));
}
LONG PlaneSelection(DriverContext* c, void*, DWORD) {
  return ApiIsControlFeatureOn(c, kApiPlaneSelectionPage, kApiPlaneSelectionControl) &&
                 OptIsItemPresent(c, kItemPlaneUseCMYKCyan)
             ? 1
             : 0;
}
LONG MarkPaper(DriverContext* c, void* b, DWORD n) {
  if (SeparatorSheets(c, nullptr, 0) == 0) return 0;
  const DescNode* node = DescGetNode(kItemMarkPaperType, c);
  DWORD values[kMaxListEntries + 1];
  LONG count;
  if (node && !CondIsDisabled(node, 0, c)) {
    if (CapsGetAllowedValues(c, nullptr, kItemMarkPaperType) > static_cast<int>(kMaxListEntries)) return -1;
    count = CapsGetAllowedValues(c, values, kItemMarkPaperType);
    if (count < 0) return -1;
    values[count++] = 0;
  } else {
    values[0] = 1, values[1] = 0;
    count = 2;
  }
  return GiveList(values, count, b, n);
}

}  // namespace

const CapsRow kCapsRows[kCapsRowCount] = {
    {1, 1, 3, 0, Always, {}},           {2, 1, 3, 0, TrayIds, {}},          {3, 1, 3, 0, TrayNames, {}},
    {4, 1, 3, 0, MediaIds, {}},         {5, 1, 3, 0, MediaNames, {}},       {6, 1, 3, 0, OutputTrayIds, {}},
    {7, 1, 3, 0, OutputTrayNames, {}},  {8, 1, 3, 0, ColourMachine, {}},    {9, 1, 3, 0, CapabilityWord, {}},
    {10, 1, 3, 0, PaperIdList, {}},     {11, 1, 3, 0, PaperNameList, {}},   {12, 1, 3, 0, PaperSizes, {}},
    {13, 1, 3, 0, MaxExtent, {}},       {14, 1, 3, 0, MinExtent, {}},       {15, 1, 3, 0, OutputPaperIds, {}},
    {16, 1, 3, 0, OutputPaperNames, {}}, {17, 1, 3, 0, CopiesMax, {}},      {18, 1, 3, 0, JobTypes, {}},
    {19, 1, 3, 0, ScaleTypes, {}},      {20, 1, 3, 0, ScaleMax, {}},        {21, 1, 3, 0, ScaleMin, {}},
    {22, 1, 3, 0, CoverSheets, {}},     {23, 1, 3, 0, SeparatorSheets, {}}, {24, 1, 3, 0, Always, {}},
    {25, 1, 3, 0, DuplexUnit, {}},      {26, 1, 3, 0, OddMarginMax, {}},    {27, 1, 3, 0, OddMarginMin, {}},
    {28, 1, 3, 0, EvenMarginMax, {}},   {29, 1, 3, 0, EvenMarginMin, {}},   {30, 1, 3, 0, WatermarkKinds, {}},
    {31, 1, 3, 0, Always, {}},          {32, 1, 3, 0, WatermarkNumbers, {}}, {33, 1, 3, 0, WatermarkNames, {}},
    {34, 1, 3, 0, HasBindMargin2Range, {}}, {35, 1, 3, 0, BindMarginMax, {}}, {36, 1, 3, 0, BindMarginMin, {}},
    {37, 1, 3, 0, BindMargin2Max, {}},  {38, 1, 3, 0, BindMargin2Min, {}},  {39, 1, 3, 0, SortValues, {}},
    {40, 1, 3, 0, StapleValues, {}},    {41, 1, 3, 0, PunchValues, {}},     {42, 1, 3, 0, Present<kItemExtOutputDirection>, {}},
    {43, 1, 3, 0, OrderlyOutput, {}},   {44, 1, 3, 0, Present<kItemExtOutputWhitePaper>, {}},
    {45, 1, 3, 0, Emulations, {}},      {46, 1, 3, 0, Present<kItemUserID>, {}},
    {47, 1, 3, 0, PrintAreas, {}},      {48, 1, 3, 0, Present<kItemPaperRotation>, {}},
    {49, 1, 3, 0, JobBinder, {}},       {50, 1, 3, 0, HardDisk, {}},        {51, 1, 3, 0, HardDisk, {}},
    {52, 1, 3, 0, UsableUnlessTerminalServer<kItemActionStored>, {}},
    {53, 1, 3, 0, UsableUnlessTerminalServer<kItemActionOverlay>, {}},
    {54, 1, 3, 0, ResolutionIds, {}},   {55, 1, 3, 0, PlaneSelection, {}},  {56, 1, 3, 0, MarkPaper, {}},
};

LONG ApiCapPaperIds(DriverContext* context, WORD* ids, DWORD capacity, WORD item) {
  const DescNode* node = DescGetNode(item, context);
  if (!context || !node) return -1;
  const WORD kind = DescUiKind(DescNodeType(node));
  const bool paperList = item == kItemPaperSize;
  if (paperList ? kind != kPaperListKind : !DescIsListType(kind)) return -1;
  const ModelDescription* d = context->description;
  LONG count = 0;
  for (const DescValue* value = DescNodeFirstValue(d, node); value; value = DescNextValue(d, value)) {
    const WORD model = DescValueValue(value);
    const ValueSymbolRow* symbol = OptFindValueSymbolByModel(DescNodeItemId(node), model);
    // A model value without a devmode value has nothing to tell a program: it is left out.
    if (!symbol) continue;
    if (paperList && CondIsDisabled(node, model, context)) continue;
    if (ids) {
      if (static_cast<DWORD>(count) >= capacity) return -1;
      ids[count] = static_cast<WORD>(symbol->value);
    }
    ++count;
  }
  return count > 0 ? count : -1;
}

LONG ApiCallCapsRow(DriverContext* context, DWORD row, void* buffer, DWORD capacity) {
  if (row < 1 || row > kCapsRowCount || !kCapsRows[row - 1].handler) return 0;
  return kCapsRows[row - 1].handler(context, buffer, capacity);
}

// ---- The all-capabilities record ------------------------------------------------------------------

namespace {

enum CapsFieldKind : BYTE { kValue, kList, kHalves };
struct CapsField {
  WORD offset;     // the value, the pair's count, or the two halves
  BYTE row;        // capability row
  BYTE statusRow;  // whose supported bit asks for it
  CapsFieldKind kind;
  BYTE entryBytes;
};
constexpr CapsField kAllCapsFields[] = {
    {4, 1, 1, kValue, 0},      {8, 2, 2, kList, 4},       {16, 3, 2, kList, 24},     {24, 4, 3, kList, 4},
    {32, 5, 3, kList, 64},     {40, 6, 4, kList, 4},      {48, 7, 4, kList, 64},     {56, 8, 5, kValue, 0},
    {60, 9, 6, kValue, 0},     {64, 10, 7, kList, 4},     {72, 11, 7, kList, 64},    {80, 12, 7, kList, 8},
    {88, 13, 7, kHalves, 0},   {92, 14, 7, kHalves, 0},   {96, 15, 8, kList, 4},     {104, 16, 8, kList, 64},
    {112, 17, 9, kValue, 0},   {116, 18, 10, kList, 4},   {124, 19, 11, kValue, 0},  {128, 20, 11, kHalves, 0},
    {132, 21, 11, kHalves, 0}, {136, 22, 12, kValue, 0},  {140, 23, 13, kValue, 0},  {144, 24, 14, kValue, 0},
    {148, 25, 15, kValue, 0},  {152, 26, 15, kValue, 0},  {156, 27, 15, kValue, 0},  {160, 28, 15, kValue, 0},
    {164, 29, 15, kValue, 0},  {168, 30, 16, kList, 4},   {176, 31, 17, kValue, 0},  {180, 32, 17, kList, 4},
    {188, 33, 17, kList, 64},  {196, 34, 18, kValue, 0},  {200, 35, 18, kValue, 0},  {204, 36, 18, kValue, 0},
    {208, 37, 18, kValue, 0},  {212, 38, 18, kValue, 0},  {216, 39, 19, kList, 4},   {224, 40, 20, kList, 4},
    {232, 41, 21, kList, 4},   {240, 42, 22, kValue, 0},  {244, 43, 23, kValue, 0},  {248, 44, 24, kValue, 0},
    {252, 45, 25, kList, 4},   {260, 46, 26, kValue, 0},  {264, 47, 27, kList, 4},   {272, 48, 28, kValue, 0},
    {276, 49, 29, kValue, 0},  {280, 50, 30, kValue, 0},  {284, 51, 31, kValue, 0},  {288, 52, 32, kValue, 0},
    {292, 53, 33, kValue, 0},  {296, 54, 34, kList, 4},   {304, 55, 35, kValue, 0},  {308, 56, 13, kList, 4},
};
static_assert(kAllCapsFields[std::size(kAllCapsFields) - 1].offset + 8 == kCapsAllRecordBytes,
              "the last pair ends the record");
constexpr WORD kBitmapOffset = 0;

void Put(BYTE* record, DWORD offset, DWORD value) { std::memcpy(record + offset, &value, 4); }

void FillSupportedRows(BYTE* bitmap) {
  std::memset(bitmap, 0, kStatusBitmapBytes);
  for (DWORD row = 1; row <= kStatusRowCount; ++row)
    if (StatusFindRow(row)->supported) StatusMarkRow(bitmap, row);
}

struct PendingList {
  WORD pointerOffset;
  std::vector<BYTE> bytes;
};

}  // namespace

BYTE* ApiBuildAllCaps(DriverContext* context) {
  BYTE head[kCapsAllRecordBytes] = {};
  BYTE bitmap[kStatusBitmapBytes];
  FillSupportedRows(bitmap);
  std::vector<PendingList> lists;
  lists.push_back({kBitmapOffset, std::vector<BYTE>(bitmap, bitmap + sizeof bitmap)});
  LONG watermarkSwitch = 0, marginRange = 0;
  for (const CapsField& field : kAllCapsFields) {
    if (!StatusIsMarked(bitmap, field.statusRow)) continue;
    if ((field.row == 32 || field.row == 33) && (watermarkSwitch == 0 || watermarkSwitch == -1)) continue;
    if (field.row >= 35 && field.row <= 38 && marginRange == 0) continue;
    if (field.kind == kValue) {
      const LONG value = ApiCallCapsRow(context, field.row, nullptr, 0);
      if (field.row == 31) watermarkSwitch = value;
      if (field.row == 34) marginRange = value;
      Put(head, field.offset, static_cast<DWORD>(value));
      continue;
    }
    if (field.kind == kHalves) {
      ApiCallCapsRow(context, field.row, head + field.offset, 1);
      continue;
    }
    const LONG count = ApiCallCapsRow(context, field.row, nullptr, 0);
    if (count == 0 || count == -1 || static_cast<DWORD>(count) > kMaxListEntries) continue;
    std::vector<BYTE> bytes(static_cast<size_t>(count) * field.entryBytes);
    const LONG filled = ApiCallCapsRow(context, field.row, bytes.data(), static_cast<DWORD>(count));
    if (filled == 0 || filled == -1) continue;
    bytes.resize(static_cast<size_t>(filled) * field.entryBytes);
    Put(head, field.offset, static_cast<DWORD>(filled));
    lists.push_back({static_cast<WORD>(field.offset + 4), std::move(bytes)});
  }
  size_t total = kCapsAllRecordBytes;
  for (const PendingList& list : lists) total += (list.bytes.size() + 3) & ~size_t{3};
  BYTE* record = static_cast<BYTE*>(SysAlloc(total));
  if (!record) return nullptr;
  std::memcpy(record, head, kCapsAllRecordBytes);
  DWORD at = kCapsAllRecordBytes;
  for (const PendingList& list : lists) {
    std::memcpy(record + at, list.bytes.data(), list.bytes.size());
    Put(record, list.pointerOffset, at);
    at += static_cast<DWORD>((list.bytes.size() + 3) & ~size_t{3});
  }
  return record;
}

LONG ApiFreeAllCaps(BYTE* record) {
  SysFree(record);
  return 1;
}

intptr_t ApiGetCaps(DriverContext* context, DWORD capability, void* buffer) {
  if (!context || !context->settings) return -1;
  if (capability == kCapsFreeAll) return ApiFreeAllCaps(static_cast<BYTE*>(buffer));
  if (capability == 0) {
    if (buffer) FillSupportedRows(static_cast<BYTE*>(buffer));
    return kStatusBitmapBytes;
  }
  if (capability != kCapsBuildAll && (capability < 1 || capability > kCapsRowCount)) return 0;
  // A context that holds its printer (during enable, or a query session's) keeps it.
  ApiPrinterScope scope{};
  if (!context->printer && !ApiReopenPrinter(context, &scope)) return -1;
  const intptr_t result = capability == kCapsBuildAll
                              ? reinterpret_cast<intptr_t>(ApiBuildAllCaps(context))
                              : ApiCallCapsRow(context, capability, buffer, kCapsUnbounded);
  ApiReleasePrinter(context, &scope);
  return result;
}

DRIVER_EXPORT intptr_t VELMDrvGetCaps(VELMAPICONTEXT context, uint32_t capability, void* buffer) try {
  return ApiGetCaps(reinterpret_cast<DriverContext*>(context), capability, buffer);
} catch (...) {
  return SysFailAtBoundary(intptr_t{-1});
}
