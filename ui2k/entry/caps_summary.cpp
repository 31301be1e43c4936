#include "ui2k/entry/caps_summary.h"

#include <cstring>
#include <iterator>

#include "data/item_ids.h"
#include "settings/constraints/eval.h"
#include "settings/context/memory.h"
#include "settings/context/open_steps.h"
#include "settings/description/access.h"
#include "settings/devmode/derived_items.h"
#include "settings/devmode/record_build.h"
#include "settings/items/store.h"
#include "settings/items/table.h"
#include "settings/persistence/options.h"
#include "settings/services/device_caps.h"
#include "ui2k/entry/seams.h"

namespace {

constexpr size_t kPrivateStart = kDmPublicSize;
constexpr size_t kOffTag = kPrivateStart + 56;
constexpr size_t kOffVersionByte = kPrivateStart + 64;
constexpr size_t kOffSummary = kPrivateStart + 65;
constexpr char kCommonTag[8] = "QCOMMON";
static_assert(kOffTag == kDmOffCommonTag && kOffVersionByte == kDmOffCommonVersion && kOffSummary == kDmOffSummary);

constexpr LONG kUnknown = -1;  // what a code the table does not know writes

struct CodeValue {
  BYTE code;
  LONG value;
};

// The value of `code` in `map`, kUnknown when it is not there.
template <size_t N>
LONG Lookup(const CodeValue (&map)[N], BYTE code) {
  for (const CodeValue& row : map)
    if (row.code == code) return row.value;
  return kUnknown;
}

constexpr CodeValue kSortTypes[] = {{2, 1}, {3, 4}, {4, 6}};
constexpr CodeValue kStaplePositions[] = {{2, 34}, {3, 33}, {4, 50}, {5, 49}, {6, 50}, {7, 49},
                                          {8, 65}, {9, 67}, {10, 66}, {11, 50}, {12, 49}};
constexpr CodeValue kOutputTrays[] = {{1, 0}, {2, 2}, {3, 13}, {4, 4}, {16, 14}, {17, 1}};
constexpr BYTE kFirstNumberedBin = 5, kLastNumberedBin = 13, kNumberedBinOffset = 10;
constexpr BYTE kTrayFromTableThird = 14, kTrayFromTableSecond = 15;
constexpr CodeValue kResolutions[] = {{1, 400}, {2, 600}, {3, 1200}};
constexpr CodeValue kPrintAreas[] = {{1, 0}, {2, 1}};
constexpr WORD kScaleCodeFirst = 16385;
constexpr LONG kScalePercents[] = {67, 70, 75, 80, 88, 100, 115};  // 16385..16391
struct NupLayout {
  BYTE code;
  LONG kind;
  LONG type;
};
constexpr NupLayout kNupLayouts[] = {{3, 1, 2}, {4, 2, 33}, {5, 2, 34}, {6, 2, 37}, {7, 2, 38}};
constexpr CodeValue kOutPapers[] = {{1, 8},   {2, 9},   {3, 11}, {4, 70}, {5, 12},  {6, 13},  {7, 88},  {8, 1},
                                    {9, 5},   {10, 43}, {11, 6}, {12, 3}, {13, 267}, {14, 268}, {15, 66}, {18, 269}};

DWORD BitOf(WORD item) {
  for (size_t i = 0; i < std::size(kSummaryItems); ++i)
    if (kSummaryItems[i] == item) return 1u << i;
  return 0;
}

// Sets items and collects their bits.
struct Applier {
  DriverContext* context;
  DWORD bits = 0;
  void Set(WORD item, LONG value) {
    OptSetValue(context, item, static_cast<DWORD>(value));
    bits |= BitOf(item);
  }
  // A switch item (0 for code 1, else 1) and, for a code past 1, the item its map gives.
  template <size_t N>
  void Switched(BYTE code, WORD switchItem, WORD valueItem, const CodeValue (&map)[N]) {
    if (code == 0) return;
    if (code == 1) return Set(switchItem, 0);
    const LONG value = Lookup(map, code);
    Set(switchItem, 1);
    Set(valueItem, value);
  }
};

LONG OutputTrayFromTable(DriverContext* context, BYTE code) {
  const UiOutputTrayRow* row = kUiOutputTrayTable;
  while (row->item != -1 && OptGetSavedValue(context, static_cast<WORD>(row->item)) == 0) ++row;
  return code == kTrayFromTableThird ? row->third : row->second;
}

// The context's devmode put back at the end of a summary apply, whatever happens in between.
class DevmodeAside {
 public:
  explicit DevmodeAside(DriverContext* context) : context_(context) {
    saved_ = static_cast<PrivateDevmode*>(SysAlloc(sizeof(PrivateDevmode)));
    if (saved_) *saved_ = context->settings->devmode;
  }
  ~DevmodeAside() {
    if (!saved_) return;
    context_->settings->devmode = *saved_;
    SysFree(saved_);
  }
  bool ok() const { return saved_ != nullptr; }
  DevmodeAside(const DevmodeAside&) = delete;
  DevmodeAside& operator=(const DevmodeAside&) = delete;

 private:
  DriverContext* context_;
  PrivateDevmode* saved_;
};

void CopyOut(DriverContext* context, PrivateDevmode* devmode) { *devmode = context->settings->devmode; }

// The stored values the model allows for `item` (at most `capacity`); the count, 0 for none.
int AllowedValues(DriverContext* context, WORD item, DWORD* values, int capacity) {
  const int count = CapsGetAllowedValues(context, nullptr, item);
  if (count <= 0 || count > capacity) return count <= 0 ? 0 : -1;
  return CapsGetAllowedValues(context, values, item);
}

struct ValueBit {
  DWORD value;
  BYTE byte;  // index in the record
  BYTE bit;
};
constexpr ValueBit kSortBits[] = {{1, 2, 0x01}, {4, 2, 0x02}, {6, 2, 0x04}};
constexpr ValueBit kPunchBits[] = {{1, 4, 0x01}, {2, 4, 0x02}, {3, 4, 0x04}};
constexpr ValueBit kStapleBits[] = {{1, 5, 0x20},  {2, 5, 0x10},  {17, 5, 0x08}, {18, 5, 0x04},
                                    {33, 5, 0x02}, {34, 5, 0x01}, {65, 5, 0x40}, {67, 5, 0x80},
                                    {49, 6, 0x04}, {50, 6, 0x02}, {66, 6, 0x01}};
constexpr ValueBit kOutPaperBits[] = {{8, 13, 0x01},  {9, 13, 0x02},  {11, 13, 0x04},  {70, 13, 0x08},
                                      {12, 13, 0x10}, {13, 13, 0x20}, {88, 13, 0x40},  {1, 13, 0x80},
                                      {5, 14, 0x01},  {43, 14, 0x02}, {6, 14, 0x04},   {3, 14, 0x08},
                                      {267, 14, 0x10}, {268, 14, 0x20}, {66, 14, 0x40}, {269, 15, 0x02}};
constexpr ValueBit kResolutionBits[] = {{400, 10, 0x01}, {600, 10, 0x02}, {1200, 10, 0x04}};
constexpr BYTE kOutputTrayByte = 7;

constexpr int kMaxValues = 1024;

template <size_t N>
void MarkAllowed(DriverContext* context, WORD item, const ValueBit (&bits)[N], BYTE* record, DWORD* values) {
  const int count = AllowedValues(context, item, values, kMaxValues);
  for (int i = 0; i < count; ++i)
    for (const ValueBit& row : bits)
      if (row.value == values[i]) record[row.byte] |= row.bit;
}

}  // namespace

void DmFillCommonHeader(UiContext* ui, PrivateDevmode* devmode) {
  if (!ui || !devmode) return;
  DmFillHeaderNames(devmode, ContextModelDefaults(ui->driver));
  std::memcpy(devmode->bytes + kOffTag, kCommonTag, sizeof kCommonTag);
  devmode->bytes[kOffVersionByte] = kCommonHeaderVersion;
}

DWORD DmApplySummaryBytes(UiContext* ui, const BYTE* record) {
  Applier apply{ui->driver};
  DriverContext* context = ui->driver;

  const BYTE duplex = record[2];
  if (duplex == 1) apply.Set(kItemFuncSelectDuplex, 0);
  else if (duplex != 0) {
    apply.Set(kItemFuncSelectDuplex, 1);
    apply.Set(kItemDuplexType, duplex >= 2 && duplex <= 4 ? duplex - 1 : kUnknown);
  }

  const BYTE sort = record[3];
  apply.Switched(sort, kItemFuncSelectSort, kItemSortType, kSortTypes);
  if (sort != 0) OptSetValue(context, kItemCollate, OptGetSavedValue(context, kItemFuncSelectSort) ? 1 : 0);

  const BYTE punch = record[4];
  if (punch == 1) apply.Set(kItemFuncSelectPunch, 0);
  else if (punch >= 2 && punch <= 4) {
    apply.Set(kItemFuncSelectPunch, 1);
    apply.Set(kItemPunchType, punch - 1);
  } else if (punch != 0) {
    apply.Set(kItemPunchType, kUnknown);
  }

  apply.Switched(record[5], kItemFuncSelectStaple, kItemStapleType, kStaplePositions);

  const BYTE tray = record[6];
  if (tray >= kFirstNumberedBin && tray <= kLastNumberedBin) apply.Set(kItemOutputTrayID, tray + kNumberedBinOffset);
  else if (tray == kTrayFromTableThird || tray == kTrayFromTableSecond) apply.Set(kItemOutputTrayID, OutputTrayFromTable(context, tray));
  else if (tray != 0) apply.Set(kItemOutputTrayID, Lookup(kOutputTrays, tray));

  if (record[7] != 0) apply.Set(kItemDstResolutionW, Lookup(kResolutions, record[7]));
  if (record[8] != 0) apply.Set(kItemExtPrintArea, Lookup(kPrintAreas, record[8]));

  const WORD scale = DmLoadU16(record, 10);
  if (scale != 0) {
    apply.Set(kItemFuncSelectScale, 1);
    apply.Set(kItemScaleType, 1);
    const bool coded = scale >= kScaleCodeFirst && scale < kScaleCodeFirst + std::size(kScalePercents);
    apply.Set(kItemScaleH, coded ? kScalePercents[scale - kScaleCodeFirst] : scale);
  }

  const BYTE nup = record[12];
  if (nup == 1) apply.Set(kItemFuncSelectNup, 0);
  else if (nup != 0) {
    apply.Set(kItemFuncSelectNup, 1);
    LONG kind = kUnknown, type = kUnknown;
    if (nup == 2) {
      kind = 1;
      type = OptGetValue(context, kItemOrientation) == 1 ? 1 : 3;
    }
    for (const NupLayout& row : kNupLayouts)
      if (row.code == nup) kind = row.kind, type = row.type;
    apply.Set(kItemNUPPOSTKind, kind);
    apply.Set(kItemNUPType, type);
  }

  if (record[13] != 0) apply.Set(kItemOutPaperSize, Lookup(kOutPapers, record[13]));
  return apply.bits;
}

int DmApplyCapsSummary(UiContext* ui, PrivateDevmode* devmode) {
  if (!ui || !devmode || !ui->driver->settings) return 1;
  const BYTE* record = devmode->bytes + kOffSummary;
  if (record[1] != kSummaryMark) return 1;
  DriverContext* context = ui->driver;
  UiSetStateFlags(ui, UiGetStateFlags(ui) | kUiFlagSummaryApplied);

  const BYTE kind = record[0];
  if (kind == kSummaryReset) {
    DmLoadUiDefaults(ui);
    CopyOut(context, devmode);
    return 1;
  }
  if (kind == kSummaryQuery || kind == kSummaryResetAndQuery) {
    if (kind == kSummaryResetAndQuery) {
      DmLoadUiDefaults(ui);
      if (!CfgLoad(context->printer, kCfgLoadDevice, context)) return 0;
      DmCopyDeviceConfig(context);
      CopyOut(context, devmode);
    }
    if (!UiGetSeams().bidiUiQueryForSummary(ui)) return 0;
    CopyOut(context, devmode);
    return 1;
  }

  BYTE bytes[kUiRecordBytes];
  std::memcpy(bytes, record, sizeof bytes);
  DevmodeAside aside(context);
  if (!aside.ok()) return 0;
  context->settings->devmode = *devmode;
  DmRestoreSectionBases(&context->settings->devmode);
  Applier apply{context};
  apply.Set(kItemJobBinder, 0);
  const DWORD bits = apply.bits | DmApplySummaryBytes(ui, bytes);
  for (size_t i = 0; i < std::size(kSummaryItems); ++i)
    if (bits & (1u << i)) CondApplyNodeRules(DescGetNode(kSummaryItems[i], context), context);
  DmSyncResolutionFromItems(context);
  DmSetPublicDuplex(context);
  CopyOut(context, devmode);
  return 1;
}

void DmBuildCapsRecord(UiContext* ui, BYTE* record) {
  std::memset(record, 0, kUiRecordBytes);
  DriverContext* context = ui->driver;
  record[1] = OptHasDeviceInfo(context) ? 7 : 0;
  record[3] = 3;
  record[11] = 1;
  record[12] = 63;
  record[17] = 1;
  auto* values = static_cast<DWORD*>(SysAlloc(sizeof(DWORD) * kMaxValues));
  if (!values) return;
  MarkAllowed(context, kItemSortType, kSortBits, record, values);
  MarkAllowed(context, kItemPunchType, kPunchBits, record, values);
  MarkAllowed(context, kItemStapleType, kStapleBits, record, values);
  MarkAllowed(context, kItemOutPaperSize, kOutPaperBits, record, values);
  const int trays = AllowedValues(context, kItemOutputTrayID, values, kMaxValues);
  for (int i = 0; i < trays; ++i)
    for (size_t b = 0; b < kUiOutputTrayBitCount; ++b)
      if (kUiOutputTrayBits[b].tray == values[i]) record[kOutputTrayByte] |= static_cast<BYTE>(1u << kUiOutputTrayBits[b].bit);
  SysFree(values);

  LONG pairs[2 * 64];
  const int resolutions = CapsListResolutions(context, nullptr, kCapsResolutionPairs);
  if (resolutions > 0 && resolutions <= 64) {
    CapsListResolutions(context, pairs, kCapsResolutionPairs);
    for (int i = 0; i < resolutions; ++i)
      for (const ValueBit& row : kResolutionBits)
        if (pairs[2 * i] == pairs[2 * i + 1] && static_cast<DWORD>(pairs[2 * i]) == row.value) record[row.byte] |= row.bit;
  }
}

void DmBuildCapsSummary(UiContext* ui) {
  if (!ui || !ui->driver->settings) return;
  BYTE record[kUiRecordBytes];
  DmBuildCapsRecord(ui, record);
  ItemTable* table = ui->driver->itemTable;
  OptWriteBytes(ui->driver, OptFindItem(table, kItemQcomCaps), record, sizeof record);
  const BYTE empty[kUiRecordBytes] = {};
  OptWriteBytes(ui->driver, OptFindItem(table, kItemQcomMember), empty, sizeof empty);
}
